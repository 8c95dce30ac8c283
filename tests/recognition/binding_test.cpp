// The binding model: name patterns, record matching, the order of records in
// a context, the file "binding.xml", the classification of focused fields
// over hand-made accessible trees, and the lookup of the profile for a window.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <set>
#include <thread>
#include <vector>

#include "core/Settings.h"
#include "recognition/BindClassify.h"
#include "recognition/Binding.h"
#include "recognition/ProfileChooser.h"
#include "recognition/RecMgr.h"
#include "tests/recognition/BindingTestSupport.h"
#include "tests/recognition/RecTestSupport.h"
#include "tests/support/TempDir.h"
#include "xml/LiteDom.h"

namespace {

using rt::narrow;
using rt::readBytes;
using rt::writeBytes;

CBindElem record(const wchar_t* name, int role, const wchar_t* signature, const wchar_t* profile,
                 int winId = -1, int pos = -1) {
    CBindElem r;
    r.name = name;
    r.role = role;
    r.id = -1;
    r.pos = pos;
    r.winId = winId;
    r.signature = signature;
    r.profile = profile;
    return r;
}

CBindElem candidate(const wchar_t* name, int role, const wchar_t* signature, int winId = -1,
                    int pos = 0) {
    CBindElem c;
    c.name = name;
    c.role = role;
    c.pos = pos;
    c.winId = winId;
    c.signature = signature;
    return c;
}

// --- Name patterns and record matching ---

TEST(BindPatterns, MatchNamePattern) {
    struct Case {
        const wchar_t* value;
        const wchar_t* pattern;
        bool matches;
    } cases[] = {
        {L"", L"", true},
        {L"Name", L"", false},
        {L"", L"*", true},
        {L"anything", L"*", true},
        {L"anything", L"**", true},
        {L"File name", L"File*", true},
        {L"file name", L"File*", false},  // letter case counts
        {L"Fil", L"File*", false},
        {L"My File name", L"*File*", true},
        {L"My file", L"*File*", false},
        {L"Fi", L"*File*", false},
        {L"Save as", L"*as", true},
        {L"as", L"*as", true},
        {L"s", L"*as", false},
        {L"Save As", L"*as", false},
        {L"Save", L"Save", true},
        {L"Save ", L"Save", false},
        {L"9,10,42", L"9,10*", true},
        {L"9,1", L"9,10*", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MatchNamePattern(c.value, c.pattern), c.matches)
            << "value '" << narrow(c.value) << "' pattern '" << narrow(c.pattern) << "'";
}

TEST(BindPatterns, RecordMatchesCandidate) {
    struct Case {
        const char* what;
        CBindElem stored;
        CBindElem candidate;
        bool matches;
    } cases[] = {
        {"all any", record(L"*", -1, L"*", L"p"), candidate(L"x", 42, L"9,10"), true},
        {"role differs", record(L"*", 42, L"*", L"p"), candidate(L"x", 46, L"9"), false},
        {"role equal", record(L"*", 42, L"*", L"p"), candidate(L"x", 42, L"9"), true},
        {"pos differs", record(L"*", -1, L"*", L"p", -1, 3), candidate(L"x", 42, L"", -1, 4),
         false},
        {"winId -1 matches any", record(L"", 42, L"", L"p", -1), candidate(L"", 42, L"", 1001),
         true},
        {"winId 0 (missing in the file) needs 0", record(L"", 42, L"", L"p", 0),
         candidate(L"", 42, L"", 1001), false},
        {"winId 0 matches 0", record(L"", 42, L"", L"p", 0), candidate(L"", 42, L"", 0), true},
        {"signature pattern", record(L"*", 42, L"9,18*", L"p"), candidate(L"x", 42, L"9,18,10"),
         true},
        {"signature differs", record(L"*", 42, L"9,18", L"p"), candidate(L"x", 42, L"9,10"), false},
        {"name exact", record(L"Name:", 42, L"*", L"p"), candidate(L"Name:", 42, L""), true},
        {"name differs", record(L"Name:", 42, L"*", L"p"), candidate(L"Name", 42, L""), false},
        {"empty name pattern needs an empty name", record(L"", 42, L"*", L"p"),
         candidate(L"x", 42, L""), false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.stored.matches(c.candidate), c.matches) << c.what;
}

// --- The tree: lookups and changes ---

TEST(BindTree, FirstMatchingRecordWinsAndStarFirstBeatsExact) {
    CBindTree tree;
    CBindContext context;
    context.type = BIND_CONTEXT_WINAPP;
    context.binds = {record(L"User*", 42, L"*", L"Star"), record(L"User name", 42, L"*", L"Exact")};
    tree.modules[L"notes.exe"].name = L"notes.exe";
    tree.modules[L"notes.exe"].contexts.push_back(context);

    CBindElem found;
    ASSERT_TRUE(tree.findBinding(L"Notes.EXE", BIND_CONTEXT_WINAPP, L"",
                                 candidate(L"User name", 42, L"9,10"), found));
    EXPECT_EQ(found.profile, L"Star");
    EXPECT_FALSE(tree.findBinding(L"notes.exe", BIND_CONTEXT_DIALOG, L"",
                                  candidate(L"User name", 42, L"9,10"), found));
    EXPECT_FALSE(tree.findBinding(L"other.exe", BIND_CONTEXT_WINAPP, L"",
                                  candidate(L"User name", 42, L"9,10"), found));
}

TEST(BindTree, OnlyTheFirstContextOfATypeAndDocIsSearched) {
    CBindTree tree;
    CBindContext first, second;
    first.type = second.type = BIND_CONTEXT_DIALOG;
    first.doc = second.doc = L"Find";
    first.binds = {record(L"Other", 42, L"*", L"First")};
    second.binds = {record(L"*", 42, L"*", L"Second")};
    tree.modules[L"notes.exe"].contexts = {first, second};

    CBindElem found;
    EXPECT_FALSE(tree.findBinding(L"notes.exe", BIND_CONTEXT_DIALOG, L"Find",
                                  candidate(L"What", 42, L"18"), found));
    EXPECT_FALSE(tree.findBinding(L"notes.exe", BIND_CONTEXT_DIALOG, L"find",
                                  candidate(L"Other", 42, L"18"), found))
        << "the doc compares exactly";
    EXPECT_TRUE(tree.findBinding(L"notes.exe", BIND_CONTEXT_DIALOG, L"Find",
                                 candidate(L"Other", 42, L"18"), found));
}

std::vector<std::wstring> profilesOf(const CBindTree& tree, const wchar_t* module) {
    std::vector<std::wstring> out;
    auto it = tree.modules.find(module);
    if (it == tree.modules.end()) return out;
    for (const CBindContext& c : it->second.contexts)
        for (const CBindElem& r : c.binds) out.push_back(r.profile);
    return out;
}

TEST(BindTree, SetBindingKeepsSpecificRecordsBeforeGeneralOnes) {
    CBindTree tree;
    EXPECT_TRUE(tree.setBinding(L"Notes.exe", BIND_CONTEXT_WINAPP, L"",
                                record(L"*", 42, L"*", L"General")));
    ASSERT_EQ(tree.modules.count(L"notes.exe"), 1u) << "module names are kept in lower case";
    // A field the general record covers goes before it.
    tree.setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"", record(L"Title", 42, L"9", L"Titles"));
    // One it does not cover goes to the end.
    tree.setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"", record(L"List", 33, L"9", L"Lists"));
    EXPECT_EQ(profilesOf(tree, L"notes.exe"),
              (std::vector<std::wstring>{L"Titles", L"General", L"Lists"}));

    // The same element again replaces its record; an empty profile erases it.
    tree.setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"", record(L"Title", 42, L"9", L"Names"));
    EXPECT_EQ(profilesOf(tree, L"notes.exe"),
              (std::vector<std::wstring>{L"Names", L"General", L"Lists"}));
    tree.setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"", record(L"Title", 42, L"9", L""));
    EXPECT_EQ(profilesOf(tree, L"notes.exe"), (std::vector<std::wstring>{L"General", L"Lists"}));

    // Unbinding what was never bound adds nothing.
    tree.setBinding(L"other.exe", BIND_CONTEXT_WINAPP, L"", record(L"X", 42, L"", L""));
    tree.setBinding(L"notes.exe", BIND_CONTEXT_DIALOG, L"Find", record(L"X", 42, L"", L""));
    EXPECT_EQ(tree.modules.count(L"other.exe"), 0u);
    EXPECT_EQ(tree.modules[L"notes.exe"].contexts.size(), 1u);
    EXPECT_FALSE(tree.setBinding(L"", BIND_CONTEXT_WINAPP, L"", record(L"X", 42, L"", L"p")));
}

// --- The file ---

class BindingFileTest : public ::testing::Test {
  protected:
    TempDir dir_;
    CProfileChooser chooser_;

    std::wstring write(const char* name, const std::string& text) {
        const std::wstring path = dir_.file(std::wstring(name, name + strlen(name)));
        EXPECT_TRUE(writeBytes(path, text));
        return path;
    }
};

TEST_F(BindingFileTest, FirstStartWritesAnEmptyFileAndLaterStartsReadIt) {
    ASSERT_TRUE(chooser_.initBindings(dir_.path()));
    const std::wstring path = dir_.file(L"binding.xml");
    EXPECT_EQ(readBytes(path), "<bindings/>\r\n");
    EXPECT_EQ(chooser_.bindingsPath(), path);

    write("binding.xml",
          "<bindings><module name=\"a.exe\"><context type=\"WinApp\"><bind profile=\"P\" "
          "role=\"42\"/></context></module></bindings>");
    CProfileChooser later;
    ASSERT_TRUE(later.initBindings(dir_.path()));
    EXPECT_EQ(profilesOf(later.bindTree(), L"a.exe"), std::vector<std::wstring>{L"P"});
}

TEST_F(BindingFileTest, WritesSortedAttributesOnlyWhenNotEmptyOrZero) {
    CBindElem full = record(L"Name*", 42, L"9,10", L"Names", -1, 0);
    full.id = 0;
    full.description = L"the name field";
    full.checkLevel = 2;
    chooser_.setBinding(L"Notes.exe", BIND_CONTEXT_DIALOG, L"Find", full);
    CBindElem bare;
    bare.profile = L"Bare";
    chooser_.setBinding(L"abc.exe", BIND_CONTEXT_WINAPP, L"", bare);
    const std::wstring path = dir_.file(L"binding.xml");
    ASSERT_TRUE(chooser_.saveBindings(path));
    EXPECT_EQ(readBytes(path),
              "<bindings>\r\n"
              "\t<module name=\"abc.exe\">\r\n"
              "\t\t<context type=\"WinApp\">\r\n"
              "\t\t\t<bind profile=\"Bare\"/>\r\n"
              "\t\t</context>\r\n"
              "\t</module>\r\n"
              "\t<module name=\"notes.exe\">\r\n"
              "\t\t<context doc=\"Find\" type=\"Dialog\">\r\n"
              "\t\t\t<bind checkLevel=\"2\" description=\"the name field\" name=\"Name*\" "
              "profile=\"Names\" role=\"42\" signature=\"9,10\" winId=\"-1\"/>\r\n"
              "\t\t</context>\r\n"
              "\t</module>\r\n"
              "</bindings>\r\n");

    // Read back, every field is as it was.
    CProfileChooser reader;
    ASSERT_TRUE(reader.loadBindings(path));
    CBindElem found;
    ASSERT_TRUE(reader.findBinding(L"notes.exe", BIND_CONTEXT_DIALOG, L"Find",
                                   candidate(L"Name: ", 42, L"9,10"), found));
    EXPECT_TRUE(found == full);
    // An empty path saves to the remembered one.
    EXPECT_TRUE(reader.saveBindings(L""));
    CProfileChooser none;
    EXPECT_FALSE(none.saveBindings(L""));
    EXPECT_FALSE(none.loadBindings(L""));
}

TEST_F(BindingFileTest, ReadsHandEditedFiles) {
    const std::wstring path = write(
        "binding.xml",
        "<bindings>\n"
        "  <comment-like/>\n"
        "  <module name=\"Upper.EXE\"><context type=\"WinApp\"><bind profile=\"U\"/></context>"
        "</module>\n"
        "  <module name=\"b.exe\">\n"
        "    <context type=\"winapp\"><bind profile=\"WrongCase\"/></context>\n"
        "    <context><bind profile=\"NoType\"/></context>\n"
        "    <context type=\"WebDoc\" doc=\"Mail\"><bind role=\"x42\" profile=\"Bad number\"/>"
        "<other/></context>\n"
        "  </module>\n"
        "  <module name=\"c.exe\"><context type=\"WinApp\"><bind profile=\"Old\"/></context>"
        "</module>\n"
        "  <module name=\"c.exe\"><context type=\"Dialog\" doc=\"D\"><bind profile=\"New\"/>"
        "</context></module>\n"
        "</bindings>\n");
    ASSERT_TRUE(chooser_.loadBindings(path));
    const CBindTree tree = chooser_.bindTree();
    EXPECT_EQ(profilesOf(tree, L"b.exe"), std::vector<std::wstring>{L"Bad number"})
        << "contexts of unknown types are dropped";
    EXPECT_EQ(profilesOf(tree, L"c.exe"), std::vector<std::wstring>{L"New"})
        << "a second module of one name replaces the first";
    const CBindElem& bad = tree.modules.at(L"b.exe").contexts[0].binds[0];
    EXPECT_EQ(bad.role, 0) << "a number that does not parse reads as 0";
    EXPECT_EQ(bad.winId, 0) << "a missing winId reads as 0";

    // A hand-written capital module name is never found: lookups lower-case.
    CBindElem found;
    EXPECT_FALSE(chooser_.findBinding(L"Upper.EXE", BIND_CONTEXT_WINAPP, L"",
                                      candidate(L"", 0, L"", 0), found));
}

TEST_F(BindingFileTest, AFileThatCannotBeReadLeavesTheTree) {
    chooser_.setBinding(L"keep.exe", BIND_CONTEXT_WINAPP, L"", record(L"*", -1, L"*", L"Kept"));
    const struct {
        const char* name;
        const char* text;
    } cases[] = {
        {"broken.xml", "<bindings><module name=\"x.exe\">"},
        {"other-root.xml", "<apps-filter><module name=\"x.exe\"/></apps-filter>"},
        {"empty.xml", ""},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(chooser_.loadBindings(write(c.name, c.text))) << c.name;
        EXPECT_EQ(profilesOf(chooser_.bindTree(), L"keep.exe"), std::vector<std::wstring>{L"Kept"})
            << c.name;
    }
    EXPECT_FALSE(chooser_.loadBindings(dir_.file(L"missing.xml")));
}

TEST_F(BindingFileTest, UnbindingAnUnknownModuleLeavesTheFileUnchanged) {
    ASSERT_TRUE(chooser_.initBindings(dir_.path()));
    const std::wstring path = dir_.file(L"binding.xml");
    const std::string before = readBytes(path);
    EXPECT_TRUE(
        chooser_.setBinding(L"never.exe", BIND_CONTEXT_WINAPP, L"", record(L"", 42, L"", L"")));
    ASSERT_TRUE(chooser_.saveBindings(L""));
    EXPECT_EQ(readBytes(path), before);
}

// A save that cannot replace the file leaves it whole: here another program
// holds it open without letting it be replaced.
TEST_F(BindingFileTest, AFailedSaveKeepsTheOldFile) {
    chooser_.setBinding(L"a.exe", BIND_CONTEXT_WINAPP, L"", record(L"*", -1, L"*", L"P"));
    const std::wstring path = dir_.file(L"binding.xml");
    ASSERT_TRUE(chooser_.saveBindings(path));
    const std::string before = readBytes(path);
    chooser_.setBinding(L"b.exe", BIND_CONTEXT_WINAPP, L"", record(L"*", -1, L"*", L"Q"));
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(chooser_.saveBindings(L""));
    CloseHandle(held);
    EXPECT_EQ(readBytes(path), before) << "the old bindings, whole";
    // Nothing of the attempt is left beside it.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(dir_.file(L"*").c_str(), &found);
    std::vector<std::wstring> files;
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                files.push_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    EXPECT_EQ(files, std::vector<std::wstring>{L"binding.xml"});
    // Once the file is free the save goes through.
    EXPECT_TRUE(chooser_.saveBindings(L""));
    EXPECT_NE(readBytes(path).find("b.exe"), std::string::npos);
}

// --- Classification of the focused field ---

class ClassifyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        alive_ = FakeAccessible::alive();
    }
    void TearDown() override {
        EXPECT_EQ(FakeAccessible::alive(), alive_) << "an object was not released";
        CoUninitialize();
    }
    LONG alive_ = 0;
};

TEST_F(ClassifyTest, ContextsOfFakeTrees) {
    // A plain window below the desktop: WinApp, and the doc is dropped.
    {
        FakeTree t;
        FakeAccessible* desktop = t.add(nullptr, 9, L"Desktop");
        FakeAccessible* app = t.add(desktop, 9, L"Notes - readme.txt");
        FakeAccessible* client = t.add(app, 10, L"Notes");
        FakeAccessible* edit = t.add(client, 42, L"Text");
        BindClassification c;
        ASSERT_TRUE(ClassifyBindContext(CAccElem(edit, 0), c));
        EXPECT_EQ(c.type, BIND_CONTEXT_WINAPP);
        EXPECT_EQ(c.doc, L"");
        EXPECT_EQ(c.candidate.signature, L"9,10");
        EXPECT_EQ(c.candidate.name, L"Text");
        EXPECT_EQ(c.candidate.role, 42);
        EXPECT_EQ(c.candidate.winId, -1) << "a named element carries no control id";
        EXPECT_EQ(c.top.object(), static_cast<IAccessible*>(app));
    }
    // A pane: WebDoc named by the pane's parent, else by the pane itself.
    {
        FakeTree t;
        FakeAccessible* browser = t.add(nullptr, 9, L"Browser");
        FakeAccessible* pane = t.add(browser, 16, L"Page");
        FakeAccessible* group = t.add(pane, 20, nullptr);
        FakeAccessible* edit = t.add(group, 42, L"Search");
        BindClassification c;
        ASSERT_TRUE(ClassifyBindContext(CAccElem(edit, 0), c));
        EXPECT_EQ(c.type, BIND_CONTEXT_WEBDOC);
        EXPECT_EQ(c.doc, L"Browser");
        EXPECT_EQ(c.candidate.signature, L"16,20");
    }
    {
        FakeTree t;
        FakeAccessible* document = t.add(nullptr, 15, L"Letter");
        FakeAccessible* edit = t.add(document, 42, L"Body");
        BindClassification c;
        ASSERT_TRUE(ClassifyBindContext(CAccElem(edit, 0), c));
        EXPECT_EQ(c.type, BIND_CONTEXT_WEBDOC);
        EXPECT_EQ(c.doc, L"Letter");
    }
    // A role 0 in the chain leaves only its comma.
    {
        FakeTree t;
        FakeAccessible* desktop = t.add(nullptr, 9, L"Desktop");
        FakeAccessible* app = t.add(desktop, 9, L"App");
        FakeAccessible* odd = t.add(app, 0, nullptr);
        FakeAccessible* edit = t.add(odd, 42, L"E");
        BindClassification c;
        ASSERT_TRUE(ClassifyBindContext(CAccElem(edit, 0), c));
        EXPECT_EQ(c.candidate.signature, L"9,");
    }
    // More than 8 parents of one role in a row: the walk gives up, type stays 0.
    {
        FakeTree t;
        FakeAccessible* desktop = t.add(nullptr, 9, L"Desktop");
        FakeAccessible* inner = t.chain(t.add(desktop, 9, L"App"), 20, 9);
        FakeAccessible* edit = t.add(inner, 42, L"Deep");
        BindClassification c;
        ASSERT_TRUE(ClassifyBindContext(CAccElem(edit, 0), c));
        EXPECT_EQ(c.type, BIND_CONTEXT_UNKNOWN);
        EXPECT_EQ(c.candidate.signature, L"20,20,20,20,20,20,20,20");
    }
    {
        FakeTree t;
        FakeAccessible* desktop = t.add(nullptr, 9, L"Desktop");
        FakeAccessible* inner = t.chain(t.add(desktop, 9, L"App"), 20, 8);
        FakeAccessible* edit = t.add(inner, 42, L"Deep");
        BindClassification c;
        ASSERT_TRUE(ClassifyBindContext(CAccElem(edit, 0), c));
        EXPECT_EQ(c.type, BIND_CONTEXT_WINAPP) << "8 in a row are still climbed";
    }
    BindClassification none;
    EXPECT_FALSE(ClassifyBindContext(CAccElem(), none));
}

// Real windows give the dialog class and the control ids.
class ClassifyWindowsTest : public ClassifyTest {
  protected:
    void SetUp() override {
        ClassifyTest::SetUp();
        dialog_ = CreateWindowExW(0, L"#32770", L"Find", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        edit_ = CreateWindowExW(0, L"EDIT", L"", WS_CHILD, 10, 10, 100, 20, dialog_,
                                reinterpret_cast<HMENU>(1001), GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(dialog_ && edit_);
    }
    void TearDown() override {
        DestroyWindow(dialog_);
        ClassifyTest::TearDown();
    }
    HWND dialog_ = nullptr, edit_ = nullptr;
};

TEST_F(ClassifyWindowsTest, ADialogWindowNamesTheContext) {
    FakeTree t;
    FakeAccessible* desktop = t.add(nullptr, 9, L"Desktop");
    FakeAccessible* dialog = t.add(desktop, 9, L"Find");
    dialog->window = dialog_;
    FakeAccessible* client = t.add(dialog, 10, nullptr);
    FakeAccessible* edit = t.add(client, 42, nullptr);
    edit->window = edit_;
    BindClassification c;
    ASSERT_TRUE(ClassifyBindContext(CAccElem(edit, 0), c));
    EXPECT_EQ(c.type, BIND_CONTEXT_DIALOG);
    EXPECT_EQ(c.doc, L"Find");
    EXPECT_EQ(c.candidate.signature, L"18,10");
    EXPECT_EQ(c.candidate.winId, 1001) << "an unnamed field is known by its control id";
    EXPECT_EQ(c.top.object(), static_cast<IAccessible*>(dialog));
}

TEST_F(ClassifyWindowsTest, AListItemIsKnownByItsPlaceNotItsText) {
    FakeTree t;
    FakeAccessible* desktop = t.add(nullptr, 9, L"Desktop");
    FakeAccessible* app = t.add(desktop, 9, L"App");
    FakeAccessible* list = t.add(app, 33, L"Files");
    FakeAccessible* item = t.add(list, 34, L"readme.txt");
    item->window = edit_;
    BindClassification c;
    ASSERT_TRUE(ClassifyBindContext(CAccElem(item, 0), c));
    EXPECT_EQ(c.candidate.name, L"");
    EXPECT_EQ(c.candidate.winId, 1001);
    EXPECT_EQ(c.candidate.signature, L"9,33");
}

TEST_F(ClassifyWindowsTest, FindsTheBoundFieldsOfAContext) {
    FakeTree t;
    FakeAccessible* desktop = t.add(nullptr, 9, L"Desktop");
    FakeAccessible* dialog = t.add(desktop, 9, L"Find");
    dialog->window = dialog_;
    FakeAccessible* client = t.add(dialog, 10, nullptr);
    FakeAccessible* what = t.add(client, 42, L"What");
    what->location = {10, 10, 110, 30};
    FakeAccessible* where = t.add(client, 42, L"Where", 0x100000 | 0x40);  // read-only
    FakeAccessible* with = t.add(client, 42, L"With");
    with->location = {10, 40, 110, 60};
    (void)where;

    BindClassification c;
    ASSERT_TRUE(ClassifyBindContext(CAccElem(what, 0), c));
    CBindContext context;
    context.type = BIND_CONTEXT_DIALOG;
    context.doc = L"Find";
    context.binds = {record(L"W*", 42, L"18,10", L"Words"), record(L"Nothing", 42, L"18,10", L"N")};
    std::vector<BoundField> found;
    findBoundFields(context, c.top, found);
    ASSERT_EQ(found.size(), 2u) << "the read-only field is skipped";
    EXPECT_EQ(found[0].record.profile, L"Words");
    EXPECT_EQ(found[0].rect.top, 10);
    EXPECT_EQ(found[1].rect.top, 40);

    int calls = 0;
    found.clear();
    findBoundFields(context, c.top, found, [&] { return ++calls > 2; });
    EXPECT_TRUE(found.empty()) << "a cancelled walk stops";

    // A walk that fails (here its cancel check runs out of memory) ends with
    // nothing found; the next walk finds the fields again.
    calls = 0;
    EXPECT_NO_THROW(findBoundFields(context, c.top, found, [&]() -> bool {
        if (++calls > 3) throw std::bad_alloc();
        return false;
    }));
    EXPECT_TRUE(found.empty());
    findBoundFields(context, c.top, found);
    EXPECT_EQ(found.size(), 2u);
}

// --- The profile for a window ---

class ProfileForWindowTest : public ClassifyTest {
  protected:
    void SetUp() override {
        ClassifyTest::SetUp();
        saved_ = generalSettings();
        window_ = CreateWindowExW(0, L"STATIC", L"target", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        hooks_.focus = window_;
        chooser().clear(-1);
    }
    void TearDown() override {
        RemovePropW(window_, CProfileChooser::kWindowProperty);
        DestroyWindow(window_);
        CProfileChooser::setElementSource(nullptr);
        chooser().clear(-1);
        chooser().setBindTree(CBindTree());
        generalSettings() = saved_;
        ClassifyTest::TearDown();
    }
    static CProfileChooser& chooser() { return getRecMgr().profileChooser(); }
    void setProperty(const wchar_t* name) {
        SetPropW(window_, CProfileChooser::kWindowProperty,
                 reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(GlobalAddAtomW(name))));
    }

    GeneralSettings saved_;
    HWND window_ = nullptr;
    BindingHookLibrary hooks_;
    HookLibraryScope scope_{&hooks_};
};

// The focused element the tests serve: a name field of a notes dialog.
FakeAccessible* g_focused = nullptr;
bool servedElement(HWND, CAccElem& element) {
    element = g_focused ? CAccElem(g_focused, 0) : CAccElem();
    return g_focused != nullptr;
}

TEST_F(ProfileForWindowTest, PropertyThenBindingTreeThenNothing) {
    FakeTree t;
    FakeAccessible* desktop = t.add(nullptr, 9, L"Desktop");
    FakeAccessible* app = t.add(desktop, 9, L"Notes");
    FakeAccessible* pane = t.add(app, 16, L"Page");
    g_focused = t.add(pane, 42, L"Name");
    CProfileChooser::setElementSource(servedElement);
    chooser().setBinding(L"notes.exe", BIND_CONTEXT_WEBDOC, L"Notes",
                         record(L"Na*", 42, L"16", L"Names"));

    struct Case {
        const char* what;
        const wchar_t* property;
        int useContextReco;
        bool skip;
        const wchar_t* module;
        const wchar_t* expected;  // null: not found
    } cases[] = {
        {"the tree, by the module's file name", nullptr, 1, false,
         L"C:\\Program Files\\Notes\\NOTES.EXE", L"Names"},
        {"no context lookup while the setting is off", nullptr, 0, false, L"notes.exe", nullptr},
        {"the property holds even with the setting off", L"From property", 0, false, L"notes.exe",
         L"From property"},
        {"the property comes before the tree", L"From property", 1, false, L"notes.exe",
         L"From property"},
        {"skipped for a short selection", L"From property", 1, true, L"notes.exe", nullptr},
        {"another module", nullptr, 1, false, L"other.exe", nullptr},
        {"no module known", nullptr, 1, false, L"", nullptr},
    };
    for (const Case& c : cases) {
        RemovePropW(window_, CProfileChooser::kWindowProperty);
        if (c.property) setProperty(c.property);
        generalSettings().useContextReco = c.useContextReco;
        hooks_.module = c.module;
        std::wstring name;
        const bool found = chooser().findBoundProfile(window_, nullptr, c.skip, name);
        EXPECT_EQ(found, c.expected != nullptr) << c.what;
        EXPECT_EQ(name, c.expected ? c.expected : L"") << c.what;
    }
    std::wstring name;
    EXPECT_FALSE(chooser().findBoundProfile(nullptr, nullptr, false, name));
    g_focused = nullptr;
}

TEST_F(ProfileForWindowTest, TheHookLibrarysFocusedElementIsClassified) {
    // A window that serves its own tree, as the hook library reports it.
    FakeTree t;
    FakeAccessible* desktop = t.add(nullptr, 9, L"Desktop");
    FakeAccessible* app = t.add(desktop, 9, L"Notes");
    FakeAccessible* field = t.add(app, 42, L"Subject");
    FakeAccessibleWindow served(L"BindingServedWindow", field);
    hooks_.hasElement = true;
    hooks_.element = {served.handle(), OBJID_CLIENT, CHILDID_SELF};
    hooks_.module = L"notes.exe";
    generalSettings().useContextReco = 1;
    chooser().setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"",
                         record(L"Subject", 42, L"9", L"Subjects"));
    std::wstring name;
    EXPECT_TRUE(chooser().findBoundProfile(window_, nullptr, false, name));
    EXPECT_EQ(name, L"Subjects");

    // Once its window is gone, the element comes from the window itself.
    hooks_.element.hwnd = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x7FFF0));
    EXPECT_FALSE(chooser().findBoundProfile(window_, nullptr, false, name));
}

bool shortSelection(HWND) { return true; }
bool noSelection(HWND) { return false; }

TEST_F(ProfileForWindowTest, APendingChoiceIsReportedAsFound) {
    setProperty(L"Bound");
    chooser().setChoice(L"Chosen", PROFILE_SCOPE_ONCE);
    std::wstring name;
    EXPECT_TRUE(getProfileForWindow(nullptr, name, false, false));
    EXPECT_EQ(name, L"Chosen");
    EXPECT_TRUE(chooser().isSet()) << "not consumed";
    EXPECT_TRUE(getProfileForWindow(nullptr, name, true, false));
    EXPECT_EQ(name, L"Chosen");
    EXPECT_FALSE(chooser().isSet()) << "a consuming take of a Once choice clears it";

    chooser().setChoice(L"Always", PROFILE_SCOPE_ALWAYS);
    EXPECT_TRUE(getProfileForWindow(nullptr, name, true, false));
    EXPECT_TRUE(chooser().isSet());
    chooser().clear(-1);

    // No choice: the window's own binding, unless a short selection is corrected.
    EXPECT_TRUE(getProfileForWindow(nullptr, name, true, false, noSelection));
    EXPECT_EQ(name, L"Bound");
    EXPECT_FALSE(getProfileForWindow(nullptr, name, true, false, shortSelection));
    EXPECT_EQ(name, L"");
    EXPECT_TRUE(getProfileForWindow(nullptr, name, true, true, shortSelection))
        << "the caller's selection flag looks up anyway";
}

// The recognition thread and the binding thread read the tree while the
// binding menus change it.
TEST(BindingThreads, ReadersAndAWriterShareTheTree) {
    CProfileChooser chooser;
    std::atomic<bool> stop{false};
    std::atomic<int> reads{0};
    // What a reader sees is always one whole state of the tree: a found
    // record is the one asked for, and a context holds whole records, each
    // once.
    std::atomic<int> torn{0};
    auto reader = [&] {
        CBindElem found;
        while (!stop) {
            if (chooser.findBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"",
                                    candidate(L"Field 7", 42, L"9"), found) &&
                (found.name != L"Field 7" || found.profile != L"P" || found.role != 42))
                ++torn;
            CBindContext context;
            if (chooser.copyContext(L"notes.exe", BIND_CONTEXT_WINAPP, L"", context)) {
                std::set<std::wstring> names;
                for (const CBindElem& r : context.binds)
                    if (r.profile != L"P" || r.name.rfind(L"Field ", 0) != 0 ||
                        !names.insert(r.name).second)
                        ++torn;
                if (context.binds.size() > 10) ++torn;
            }
            ++reads;
        }
    };
    std::thread a(reader), b(reader);
    for (int round = 0; round < 300 || reads < 2000; ++round) {
        for (int i = 0; i < 10; ++i) {
            const std::wstring name = L"Field " + std::to_wstring(i);
            chooser.setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"",
                               record(name.c_str(), 42, L"9", round % 2 ? L"" : L"P"));
        }
    }
    stop = true;
    a.join();
    b.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(torn.load(), 0) << "a reader saw a tree in the middle of a change";
}

}  // namespace
