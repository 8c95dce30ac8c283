// The "Reco" and "Macros" pages with their editors: the profile editor and
// the macro editor, keystroke recording, macro export and import, and the
// files a round trip writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <thread>

#include "recognition/LexiconTable.h"
#include "recognition/Macro.h"
#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "tests/recognition/RecTestSupport.h"
#include "tests/support/TempDir.h"
#include "tests/ui/settings/DialogDriver.h"
#include "tests/ui/settings/SettingsTestSupport.h"
#include "ui/settings/MacroEditor.h"
#include "ui/settings/ProfileEditor.h"
#include "ui/settings/SettingsHost.h"
#include "ui/settings/SettingsPages.h"
#include "win/Checks.h"
#include "xml/IxlScribixHelper.h"

namespace {

const wchar_t kCaption[] = L"Scribix Settings";
const std::string kReferences = SETTINGS_REFERENCES;
constexpr int kRecoTitle = 9, kMacrosTitle = 29;

std::string readFile(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool writeFile(const std::wstring& path, const std::string& text) {
    std::ofstream file(path.c_str(), std::ios::binary);
    file << text;
    return static_cast<bool>(file);
}

std::vector<std::wstring> listItems(HWND list) {
    std::vector<std::wstring> items;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

// The names of the "macro" (or "profile") children of a document's root.
std::vector<std::wstring> itemNames(const CLiteDom& dom) {
    std::vector<std::wstring> names;
    CLiteElem root, child;
    if (!dom.getRoot(root)) return names;
    for (size_t i = 0; root.getChildElement(child, i); ++i) {
        XString name;
        child.getAttrString(L"name", name);
        names.push_back(name.c_str());
    }
    return names;
}

std::wstring rootName(const CLiteDom& dom) {
    CLiteElem root;
    XString name;
    if (dom.getRoot(root)) root.getName(name);
    return name.c_str();
}

// The program's recognizer manager over the installed English engine, its
// user data in a folder of the test's own.
class EditorsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        getRecMgr().setDataFolder(data.path());
        ASSERT_TRUE(getRecMgr().loadEngines(nullptr));
        ASSERT_TRUE(getRecMgr().setCurrentLanguage(L"English"));
        module = getRecMgr().getModule(L"English");
        ASSERT_NE(module, nullptr);
        setRememberedSettingsPage(0);
        forceSettingsPageCount(6);
        st::xdotool("mousemove 400 300");
    }
    void TearDown() override { forceSettingsPageCount(0); }

    bool open(driver::Driver& steps, int titleId) {
        return steps.run([titleId] { openSettingsDialog(titleId); });
    }
    bool sawMessage(const std::wstring& text) const {
        for (const st::Shown& s : settings.shown)
            if (s.text == text) return true;
        return false;
    }
    std::wstring macroFile() const { return module->getMacroFilePath(); }

    st::SettingsFixture settings;
    TempDir data;
    RecModule* module = nullptr;
};

// ------------------------------------------------------------- profiles

TEST_F(EditorsTest, ANewProfileIsCheckedThenSavedIntoProfilesXml) {
    std::vector<std::wstring> before, after;
    bool removeForDefault = true;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND reco = settingsPageWindow(5);
        ASSERT_NE(reco, nullptr);
        before = listItems(GetDlgItem(reco, 3095));
        HWND list = GetDlgItem(reco, 3095);
        SendMessageW(list, LB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(L"#sys-default"));
        SendMessageW(reco, WM_COMMAND, MAKEWPARAM(3095, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        removeForDefault = IsWindowEnabled(GetDlgItem(reco, 3098)) != FALSE;
        const auto shot = screenshot::checkWindow(dialog, kReferences, "settings-reco");
        EXPECT_TRUE(shot.ok) << shot.message;
        driver::postClick(reco, 3096);  // "&New"
    });
    steps.then(L"New Profile", [&](HWND editor) {
        SetDlgItemTextW(editor, 3099, L"my invoices");
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(editor, IDOK))) << "a change enables Ok";
        driver::click(editor, IDOK);
        SetDlgItemTextW(editor, 3099, L"Invoices");
        SetDlgItemTextW(editor, 3100, L"Numbers and names of invoices");
        const auto shot = screenshot::checkWindow(editor, kReferences, "profile-editor-new");
        EXPECT_TRUE(shot.ok) << shot.message;
        driver::click(editor, IDOK);
    });
    steps.then(kCaption, [&](HWND dialog) {
        after = listItems(GetDlgItem(settingsPageWindow(5), 3095));
        driver::click(dialog, kSettingsOk);
    });
    ASSERT_TRUE(open(steps, kRecoTitle));
    EXPECT_NE(std::find(before.begin(), before.end(), L"#sys-default"), before.end());
    EXPECT_EQ(std::find(before.begin(), before.end(), L"#sys-macro"), before.end())
        << "the other system profiles stay hidden";
    EXPECT_FALSE(removeForDefault) << "a system profile cannot be removed";
    EXPECT_TRUE(sawMessage(L"No spaces are allowed in the profile name"));
    EXPECT_NE(std::find(after.begin(), after.end(), L"Invoices"), after.end());
    const std::string file = readFile(module->getProfilesFilePath());
    EXPECT_NE(file.find("name=\"Invoices\""), std::string::npos) << file;
    RecModule::ProfileLock lock = module->lockProfiles();
    ASSERT_NE(module->findProfile(L"Invoices"), nullptr) << "the module reloaded its profiles";
    EXPECT_EQ(module->findProfile(L"Invoices")->description, L"Numbers and names of invoices");
}

TEST_F(EditorsTest, TheDefaultProfileChangesItsCapitalsButNotItsNameOrLexicon) {
    std::unique_ptr<RecProfile> profile;
    {
        RecModule::ProfileLock lock = module->lockProfiles();
        profile = std::make_unique<RecProfile>(*module->findProfile(L"#sys-default"));
    }
    IxlScribixHelper document(IXL_KIND_PROFILE);
    ASSERT_TRUE(document.load(module->getProfilesFilePath().c_str(), true));
    EdpDlgState state;
    prepareProfileEditor(state, profile.get(), &document);
    ASSERT_TRUE(state.systemProfile && state.defaultProfile && state.lexiconFiles);
    struct Seen {
        bool name, lexicon, dictionary, capitals;
    } seen = {};
    driver::Driver steps;
    steps.then(L"Edit Profile", [&](HWND editor) {
        seen.name = IsWindowEnabled(GetDlgItem(editor, 3099)) != FALSE;
        seen.lexicon = IsWindowEnabled(GetDlgItem(editor, 3104)) != FALSE;
        seen.dictionary = IsWindowEnabled(GetDlgItem(editor, 3105)) != FALSE;
        seen.capitals = IsWindowEnabled(GetDlgItem(editor, 3112)) != FALSE;
        // The help line follows the mouse from control to control.
        const struct {
            HWND under;
            const wchar_t* help;
        } helps[] = {
            {GetDlgItem(editor, 3113), L"Augment recognized text with a space."},
            {FindWindowExW(GetDlgItem(editor, 3105), nullptr, L"Edit", nullptr),
             L"Optional user dictionary: type in dictionary name and press \"Edit\" to enter or "
             L"import additional terms such as customer or product names. You can also select "
             L"previously created user dictionary."},
            {GetDlgItem(editor, 3111), L""},
            {GetDlgItem(editor, IDCANCEL), L"Close the dialog box without any changes."},
        };
        for (const auto& h : helps) {
            SendMessageW(editor, WM_SETCURSOR, reinterpret_cast<WPARAM>(h.under), HTCLIENT);
            EXPECT_EQ(st::itemText(editor, 3114), h.help);
        }
        st::clickControl(GetDlgItem(editor, 3112));  // "Use of capital letters"
        driver::pump(100);
        EXPECT_TRUE(st::isChecked(editor, 3108)) << "\"First letter capital\" comes with it";
        driver::click(editor, IDOK);
    });
    ASSERT_TRUE(steps.run([&] { EXPECT_EQ(runProfileEditor(nullptr, state), 1); }));
    EXPECT_FALSE(seen.name);
    EXPECT_FALSE(seen.lexicon);
    EXPECT_FALSE(seen.dictionary);
    EXPECT_TRUE(seen.capitals);
    EXPECT_EQ(profile->name, L"#sys-default");
    EXPECT_EQ(profile->capitalization, kCapsFirst);
}

TEST_F(EditorsTest, RenamingOntoAnotherProfileAsksKeepingTheNameDoesNot) {
    IxlScribixHelper document(IXL_KIND_PROFILE);
    ASSERT_TRUE(document.load(module->getProfilesFilePath().c_str(), true));
    RecProfile other(module), edited(module);
    other.name = L"Letters";
    edited.name = L"Notes";
    ASSERT_TRUE(storeProfileIntoDocument(document, L"", other));
    ASSERT_TRUE(storeProfileIntoDocument(document, L"", edited));
    const struct {
        const wchar_t* newName;
        int answer;
        bool asked;
        int result;
    } cases[] = {
        {L"Notes", IDYES, false, 1},   // the name at opening
        {L"Letters", IDNO, true, -1},  // refused: the dialog stays (then cancelled)
        {L"Letters", IDYES, true, 1},
        {L"#sys-macro", IDOK, false, -1},  // reserved
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.newName, c.newName + wcslen(c.newName)));
        settings.shown.clear();
        settings.answers = {c.answer};
        RecProfile profile(edited);
        EdpDlgState state;
        prepareProfileEditor(state, &profile, &document);
        driver::Driver steps;
        steps.then(L"Edit Profile", [&](HWND editor) {
            SetDlgItemTextW(editor, 3099, c.newName);
            driver::click(editor, IDOK);
            // A refusal leaves the dialog open: the user then cancels.
            if (c.result != 1) driver::click(editor, IDCANCEL);
        });
        INT_PTR result = 0;
        ASSERT_TRUE(steps.run([&] { result = runProfileEditor(nullptr, state); }));
        const bool asked =
            !settings.shown.empty() &&
            settings.shown.front().text ==
                L"Another profile with this name is found.\nDo you want to replace it.";
        EXPECT_EQ(asked, c.asked);
        EXPECT_EQ(result, c.result == 1 ? 1 : 2);
        EXPECT_EQ(profile.name == c.newName, c.result == 1) << "only an accepted name is stored";
    }
    EXPECT_TRUE(sawMessage(L"The profile name is reserved for system usage."));
}

TEST_F(EditorsTest, ADictionaryNameMustBeAFileNameOfTheDataFolder) {
    const struct {
        const wchar_t* name;
        bool refused;
    } cases[] = {
        {L"clients", false},        {L"<none>", false}, {L"..\\..\\elsewhere", true},
        {L"c:\\temp\\words", true}, {L"a/b", true},     {L"what?", true},
    };
    for (const auto& c : cases) {
        RecProfile profile(module);
        profile.name = L"Named";
        EdpDlgState state;
        prepareProfileEditor(state, &profile, nullptr);
        settings.shown.clear();
        driver::Driver steps;
        steps.then(L"Edit Profile", [&](HWND editor) {
            SetDlgItemTextW(editor, 3105, c.name);
            SendMessageW(editor, WM_COMMAND, MAKEWPARAM(3105, CBN_EDITCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(editor, 3105)));
            driver::click(editor, IDOK);
            if (c.refused) driver::click(editor, IDCANCEL);
        });
        INT_PTR result = 0;
        ASSERT_TRUE(steps.run([&] { result = runProfileEditor(nullptr, state); }));
        EXPECT_EQ(result, c.refused ? 2 : 1);
        EXPECT_EQ(sawMessage(L"Wrong name for user dictionary"), c.refused);
    }
}

TEST_F(EditorsTest, AStandardLexiconPresetsTheSegmentationAndAChangeIsConfirmed) {
    RecProfile profile(module);
    profile.name = L"Amounts";
    EdpDlgState state;
    prepareProfileEditor(state, &profile, nullptr);
    bool presetLexical = false, backToLexical = false, askedOnce = false;
    driver::Driver steps;
    steps.then(L"Edit Profile", [&](HWND editor) {
        HWND combo = GetDlgItem(editor, 3104);
        SendMessageW(combo, CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(L"numeric"));
        SendMessageW(editor, WM_COMMAND, MAKEWPARAM(3104, CBN_SELENDOK),
                     reinterpret_cast<LPARAM>(combo));
        presetLexical = st::isChecked(editor, 3117);
        settings.answers = {IDNO};
        st::clickControl(GetDlgItem(editor, 3109));  // "Normal"
        driver::pump(100);
        askedOnce = settings.shown.size() == 1 && settings.shown[0].text.find(
                                                      L"The preset word segmentation mode for this "
                                                      L"lexicon is \"Lexical\"") == 0;
        backToLexical = st::isChecked(editor, 3117) && !st::isChecked(editor, 3109);
        driver::click(editor, IDCANCEL);
    });
    ASSERT_TRUE(steps.run([&] { runProfileEditor(nullptr, state); }));
    EXPECT_TRUE(presetLexical);
    EXPECT_TRUE(askedOnce);
    EXPECT_TRUE(backToLexical) << "\"No\" returns to the preset";
}

TEST_F(EditorsTest, TheDictionaryEditorFillsTheProfilesDictionaryWhichStoringSaves) {
    std::unique_ptr<RecProfile> profile;
    {
        RecModule::ProfileLock lock = module->lockProfiles();
        profile = std::make_unique<RecProfile>(*module->getDefaultProfile());
    }
    profile->name = L"Clients";
    profile->userDicts.clear();
    IxlScribixHelper document(IXL_KIND_PROFILE);
    ASSERT_TRUE(document.load(module->getProfilesFilePath().c_str(), true));
    EdpDlgState state;
    prepareProfileEditor(state, profile.get(), &document);
    bool comboAfterEdit = true;
    driver::Driver steps;
    steps.then(L"Edit Profile", [&](HWND editor) {
        SetDlgItemTextW(editor, 3105, L"clients");
        SendMessageW(editor, WM_COMMAND, MAKEWPARAM(3105, CBN_EDITCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(editor, 3105)));
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(editor, 3075)))
            << "a named dictionary can be edited";
        driver::postClick(editor, 3075);
    });
    steps.then(L"Edit User Dictionary - clients", [&](HWND dictionary) {
        SetDlgItemTextW(dictionary, 3074, L"Zorblax\r\nQuuxly");
        // A multi-line edit reports no change for text set from outside.
        SendMessageW(dictionary, WM_COMMAND, MAKEWPARAM(3074, EN_CHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dictionary, 3074)));
        driver::click(dictionary, 3071);  // "Submit changes"
    });
    steps.then(L"Edit Profile", [&](HWND editor) {
        comboAfterEdit = IsWindowEnabled(GetDlgItem(editor, 3105)) != FALSE;
        driver::click(editor, IDOK);
    });
    INT_PTR result = 0;
    ASSERT_TRUE(steps.run([&] { result = runProfileEditor(nullptr, state); }));
    ASSERT_EQ(result, 1);
    EXPECT_TRUE(state.dictionaryEdited);
    EXPECT_FALSE(comboAfterEdit) << "the edited dictionary keeps its name";
    EXPECT_EQ(profile->userDicts, std::vector<std::wstring>{L"clients"});
    ASSERT_TRUE(storeProfileIntoDocument(document, state.nameAtOpening, *profile));
    const std::wstring file = data.path() + L"\\English\\clients" + module->getUserDictExtension();
    EXPECT_NE(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES)
        << "storing saved the dictionary";
}

// A first dictionary edit that is cancelled leaves nothing behind: the
// dictionary it prepared is dropped, so that another name edited next is the
// one the profile keeps and stores.
TEST_F(EditorsTest, ACancelledFirstDictionaryEditDropsWhatItPrepared) {
    RecProfile profile(module);
    profile.name = L"Letters";
    profile.userDicts.clear();
    IxlScribixHelper document(IXL_KIND_PROFILE);
    ASSERT_TRUE(document.load(module->getProfilesFilePath().c_str(), true));
    EdpDlgState state;
    prepareProfileEditor(state, &profile, &document);
    auto nameDictionary = [](HWND editor, const wchar_t* name) {
        SetDlgItemTextW(editor, 3105, name);
        SendMessageW(editor, WM_COMMAND, MAKEWPARAM(3105, CBN_EDITCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(editor, 3105)));
    };
    bool comboAfterCancel = false;
    driver::Driver steps;
    steps.then(L"Edit Profile", [&](HWND editor) {
        nameDictionary(editor, L"alpha");
        driver::postClick(editor, 3075);
    });
    steps.then(L"Edit User Dictionary - alpha",
               [](HWND dictionary) { driver::click(dictionary, IDCANCEL); });
    steps.then(L"Edit Profile", [&](HWND editor) {
        comboAfterCancel = IsWindowEnabled(GetDlgItem(editor, 3105)) != FALSE;
        nameDictionary(editor, L"zeta");
        driver::postClick(editor, 3075);
    });
    steps.then(L"Edit User Dictionary - zeta", [](HWND dictionary) {
        SetDlgItemTextW(dictionary, 3074, L"Zorblax\r\nQuuxly");
        SendMessageW(dictionary, WM_COMMAND, MAKEWPARAM(3074, EN_CHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dictionary, 3074)));
        driver::click(dictionary, 3071);
    });
    steps.then(L"Edit Profile", [](HWND editor) { driver::click(editor, IDOK); });
    INT_PTR result = 0;
    ASSERT_TRUE(steps.run([&] { result = runProfileEditor(nullptr, state); }));
    ASSERT_EQ(result, 1);
    EXPECT_TRUE(comboAfterCancel) << "a cancelled edit leaves the name open";
    EXPECT_EQ(profile.userDicts, std::vector<std::wstring>{L"zeta"});
    std::vector<std::wstring> loaded;
    for (const auto& entry : profile.loadedUserDicts()) loaded.push_back(entry.first);
    EXPECT_EQ(loaded, std::vector<std::wstring>{profile.userDictKey(L"zeta")})
        << "only the edited dictionary stays loaded";
    ASSERT_TRUE(storeProfileIntoDocument(document, state.nameAtOpening, profile));
    const std::wstring extension = module->getUserDictExtension();
    EXPECT_EQ(GetFileAttributesW((data.path() + L"\\English\\alpha" + extension).c_str()),
              INVALID_FILE_ATTRIBUTES)
        << "the cancelled dictionary is not saved";
    const std::wstring zeta = data.path() + L"\\English\\zeta" + extension;
    ASSERT_NE(GetFileAttributesW(zeta.c_str()), INVALID_FILE_ATTRIBUTES) << "zeta is saved";
    // Read back through a profile of its own: the new words reached the disk.
    RecProfile reader(module);
    reader.userDicts = {L"zeta"};
    ASSERT_TRUE(reader.createRecContext());
    std::vector<std::wstring> words;
    reader.enumUserDictWords(
        reader.userDictKey(L"zeta"),
        [](const wchar_t* word, void* out) {
            static_cast<std::vector<std::wstring>*>(out)->push_back(word);
            return 1;
        },
        &words);
    std::sort(words.begin(), words.end());
    EXPECT_EQ(words, (std::vector<std::wstring>{L"Quuxly", L"Zorblax"}));
}

// "&Edit" refuses a dictionary name that "&Ok" refuses: no file outside the
// data folder is prepared.
TEST_F(EditorsTest, TheDictionaryEditRefusesANameOkRefuses) {
    RecProfile profile(module);
    profile.name = L"Named";
    EdpDlgState state;
    prepareProfileEditor(state, &profile, nullptr);
    driver::Driver steps;
    steps.then(L"Edit Profile", [&](HWND editor) {
        SetDlgItemTextW(editor, 3105, L"..\\..\\elsewhere");
        SendMessageW(editor, WM_COMMAND, MAKEWPARAM(3105, CBN_EDITCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(editor, 3105)));
        settings.shown.clear();
        driver::click(editor, 3075);
        driver::click(editor, IDCANCEL);
    });
    ASSERT_TRUE(steps.run([&] { runProfileEditor(nullptr, state); }, 20000));
    EXPECT_TRUE(sawMessage(L"Wrong name for user dictionary"));
    EXPECT_TRUE(profile.loadedUserDicts().empty());
    EXPECT_FALSE(profile.hasRecContext());
}

// Two engine folders, English and German, over the installed library.
class TwoLanguagesTest : public EditorsTest {
  protected:
    void SetUp() override {
        for (const wchar_t* language : {L"English", L"German"}) {
            const std::wstring folder = program.file(language);
            ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
            ASSERT_TRUE(CopyFileW(rt::englishLibrary().c_str(),
                                  (folder + L"\\VexaScript.dll").c_str(), FALSE));
        }
        getRecMgr().setDataFolder(data.path());
        ASSERT_TRUE(getRecMgr().loadEngines((program.path() + L"\\").c_str()));
        ASSERT_TRUE(getRecMgr().setCurrentLanguage(L"English"));
        ASSERT_NE(getRecMgr().getModule(L"German"), nullptr);
        module = getRecMgr().getModule(L"English");
        setRememberedSettingsPage(0);
        forceSettingsPageCount(6);
        st::xdotool("mousemove 400 300");
    }
    void TearDown() override {
        EditorsTest::TearDown();
        getRecMgr().loadEngines(nullptr);
    }
    TempDir program;
};

TEST_F(TwoLanguagesTest, ALanguageSwitchAsksAboutPendingProfileChanges) {
    const struct {
        int answer;
        const wchar_t* languageAfter;
        bool applyEnabledAfter;  // the English changes still wait
        bool englishSaved;
    } cases[] = {
        {IDCANCEL, L"English", true, false},
        {IDNO, L"German", true, false},
        {IDYES, L"German", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        DeleteFileW(module->getProfilesFilePath().c_str());
        module->loadProfiles();
        std::wstring language;
        bool applyEnabled = false;
        std::vector<std::wstring> asked;
        driver::Driver steps;
        steps.then(kCaption, [&](HWND) {
            // The page opens on the language it showed last: back to English.
            HWND reco = settingsPageWindow(5);
            HWND combo = GetDlgItem(reco, 3004);
            SendMessageW(combo, CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(L"English"));
            SendMessageW(reco, WM_COMMAND, MAKEWPARAM(3004, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(combo));
            driver::postClick(reco, 3096);
        });
        steps.then(L"New Profile", [&](HWND editor) {
            SetDlgItemTextW(editor, 3099, L"Switched");
            driver::click(editor, IDOK);
        });
        steps.then(kCaption, [&](HWND dialog) {
            HWND reco = settingsPageWindow(5);
            HWND combo = GetDlgItem(reco, 3004);
            settings.shown.clear();
            settings.answers = {c.answer};
            SendMessageW(combo, CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(L"German"));
            SendMessageW(reco, WM_COMMAND, MAKEWPARAM(3004, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(combo));
            language = st::itemText(reco, 3004);
            applyEnabled = IsWindowEnabled(GetDlgItem(dialog, kSettingsApply)) != FALSE;
            for (const st::Shown& s : settings.shown) asked.push_back(s.caption);
            driver::click(dialog, kSettingsCancel);
        });
        ASSERT_TRUE(open(steps, kRecoTitle));
        EXPECT_EQ(asked, std::vector<std::wstring>{L"Profiles Language Switch"});
        EXPECT_EQ(language, c.languageAfter);
        EXPECT_EQ(applyEnabled, c.applyEnabledAfter);
        const bool saved =
            readFile(module->getProfilesFilePath()).find("name=\"Switched\"") != std::string::npos;
        EXPECT_EQ(saved, c.englishSaved);
    }
}

TEST_F(EditorsTest, AdvancedOptionsApplyWithTheProfiles) {
    generalSettings().useProfileScope = 1;
    generalSettings().useContextReco = 0;
    bool scopeShown = false, applyAfter = false;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND) { driver::postClick(settingsPageWindow(5), 3100); });
    steps.then(L"Advanced recognition options", [&](HWND advanced) {
        scopeShown = st::isChecked(advanced, 3132);
        const auto shot = screenshot::checkWindow(advanced, kReferences, "advanced-reco");
        EXPECT_TRUE(shot.ok) << shot.message;
        st::clickControl(GetDlgItem(advanced, 3133));
        st::clickControl(GetDlgItem(advanced, 3129));
        driver::pump(100);
        driver::click(advanced, IDOK);
    });
    steps.then(kCaption, [&](HWND dialog) {
        applyAfter = IsWindowEnabled(GetDlgItem(dialog, kSettingsApply)) != FALSE;
        driver::click(dialog, kSettingsOk);
    });
    ASSERT_TRUE(open(steps, kRecoTitle));
    EXPECT_TRUE(scopeShown);
    EXPECT_TRUE(applyAfter);
    EXPECT_EQ(generalSettings().useProfileScope, 2);
    EXPECT_EQ(generalSettings().useContextReco, 1);
    EXPECT_EQ(st::storedNumber(nullptr, L"useProfileScope"), 2);
    EXPECT_EQ(st::storedNumber(nullptr, L"useContextReco"), 1);
}

TEST_F(EditorsTest, ProfilesThatCannotBeSavedStayInThePage) {
    const std::wstring path = module->getProfilesFilePath();
    std::vector<std::wstring> afterFailure;
    bool applyAfterFailure = false;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND) { driver::postClick(settingsPageWindow(5), 3096); });
    steps.then(L"New Profile", [&](HWND editor) {
        SetDlgItemTextW(editor, 3099, L"Kept");
        driver::click(editor, IDOK);
    });
    steps.then(kCaption, [&](HWND dialog) {
        DeleteFileW(path.c_str());
        CreateDirectoryW(path.c_str(), nullptr);
        settings.shown.clear();
        driver::click(dialog, kSettingsApply);
        afterFailure = listItems(GetDlgItem(settingsPageWindow(5), 3095));
        applyAfterFailure = IsWindowEnabled(GetDlgItem(dialog, kSettingsApply)) != FALSE;
        RemoveDirectoryW(path.c_str());
        driver::click(dialog, kSettingsOk);
    });
    ASSERT_TRUE(open(steps, kRecoTitle));
    EXPECT_NE(std::find(afterFailure.begin(), afterFailure.end(), L"Kept"), afterFailure.end());
    EXPECT_TRUE(applyAfterFailure);
    ASSERT_FALSE(settings.shown.empty());
    EXPECT_NE(settings.shown[0].text.find(L"could not be saved"), std::wstring::npos);
    EXPECT_NE(readFile(path).find("name=\"Kept\""), std::string::npos) << "saved once it could be";
}

// Profiles of the test's own in the language's profiles file.
void addProfiles(RecModule* module, std::initializer_list<const wchar_t*> names) {
    RecModule::ProfileLock lock = module->lockProfiles();
    for (const wchar_t* name : names) {
        RecProfile profile(module);
        profile.name = name;
        profile.description = std::wstring(L"about ") + name;
        module->addProfile(profile, true);
    }
    module->saveProfiles(false);
}

void selectProfile(HWND reco, const wchar_t* name) {
    HWND list = GetDlgItem(reco, 3095);
    SendMessageW(list, LB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(name));
    SendMessageW(reco, WM_COMMAND, MAKEWPARAM(3095, LBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// Removing a profile, and renaming one onto another with "Yes", change the
// page's document under the list: the page then fills its list again without
// reading the elements that are gone (the test prefix's heap checks show a
// read of freed memory).
TEST_F(EditorsTest, RemovingAndRenamingOntoAnotherRefillTheListWithoutTheGoneProfile) {
    addProfiles(module, {L"Alpha", L"Beta", L"Gamma"});
    std::vector<std::wstring> afterRemove, afterRename;
    std::wstring selectedAfterRename;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND) {
        HWND reco = settingsPageWindow(5);
        selectProfile(reco, L"Alpha");
        driver::click(reco, 3098);  // "Re&move"
        afterRemove = listItems(GetDlgItem(reco, 3095));
        selectProfile(reco, L"Gamma");
        driver::postClick(reco, 3097);  // "&Edit"
    });
    steps.then(L"Edit Profile", [&](HWND editor) {
        settings.answers = {IDYES};
        SetDlgItemTextW(editor, 3099, L"Beta");
        driver::click(editor, IDOK);
    });
    steps.then(kCaption, [&](HWND dialog) {
        HWND reco = settingsPageWindow(5);
        afterRename = listItems(GetDlgItem(reco, 3095));
        selectedAfterRename = st::itemText(reco, 3125);
        driver::click(dialog, kSettingsOk);
    });
    ASSERT_TRUE(open(steps, kRecoTitle));
    auto has = [](const std::vector<std::wstring>& v, const wchar_t* name) {
        return std::find(v.begin(), v.end(), name) != v.end();
    };
    EXPECT_FALSE(has(afterRemove, L"Alpha"));
    EXPECT_TRUE(has(afterRemove, L"Beta"));
    EXPECT_TRUE(has(afterRename, L"Beta"));
    EXPECT_FALSE(has(afterRename, L"Gamma"));
    EXPECT_EQ(selectedAfterRename, L"about Gamma") << "the renamed profile is selected";
    IxlScribixHelper saved(IXL_KIND_PROFILE);
    ASSERT_TRUE(saved.load(module->getProfilesFilePath().c_str(), true));
    const std::vector<std::wstring> names = itemNames(saved.dom());
    EXPECT_FALSE(has(names, L"Alpha"));
    EXPECT_FALSE(has(names, L"Gamma"));
    EXPECT_EQ(std::count(names.begin(), names.end(), L"Beta"), 1);
    CLiteElem beta;
    ASSERT_TRUE(saved.findItemByName(beta, L"Beta"));
    XString description;
    beta.getAttrString(L"description", description);
    EXPECT_EQ(std::wstring(description.c_str()), L"about Gamma") << "Gamma's settings under Beta";
}

// Options chosen in "Advanced..." wait for Apply in the page; a later edit of
// the profiles list does not put the stored ones back.
TEST_F(EditorsTest, AdvancedOptionsSurviveALaterProfileEdit) {
    generalSettings().useProfileScope = 1;
    generalSettings().useAppFilters = 0;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND) { driver::postClick(settingsPageWindow(5), 3100); });
    steps.then(L"Advanced recognition options", [&](HWND advanced) {
        CheckRadioButton(advanced, 3131, 3133, 3131);
        CheckDlgButton(advanced, 3136, BST_CHECKED);
        driver::click(advanced, IDOK);
    });
    steps.then(kCaption, [&](HWND) { driver::postClick(settingsPageWindow(5), 3096); });
    steps.then(L"New Profile", [&](HWND editor) {
        SetDlgItemTextW(editor, 3099, L"Later");
        driver::click(editor, IDOK);
    });
    steps.then(kCaption, [&](HWND dialog) { driver::click(dialog, kSettingsOk); });
    ASSERT_TRUE(open(steps, kRecoTitle));
    EXPECT_EQ(generalSettings().useProfileScope, 0);
    EXPECT_EQ(generalSettings().useAppFilters, 1);
    EXPECT_NE(readFile(module->getProfilesFilePath()).find("name=\"Later\""), std::string::npos);
}

// Apply without a change on the page leaves the language's profiles as they
// are: nothing is saved and the module does not load them again (which would
// release every profile's context and dictionaries).
TEST_F(EditorsTest, ApplyWithoutAPageChangeReloadsNothing) {
    addProfiles(module, {L"Kept"});
    const std::wstring path = module->getProfilesFilePath();
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        // Another writer adds a profile to the file meanwhile.
        std::string file = readFile(path);
        const size_t end = file.rfind("</profiles>");
        ASSERT_NE(end, std::string::npos);
        file.insert(end, "\t<profile name=\"FromOutside\"/>\r\n");
        ASSERT_TRUE(writeFile(path, file));
        driver::click(dialog, kSettingsApply);
        driver::click(dialog, kSettingsOk);
    });
    ASSERT_TRUE(open(steps, kRecoTitle));
    RecModule::ProfileLock lock = module->lockProfiles();
    EXPECT_NE(module->findProfile(L"Kept"), nullptr);
    EXPECT_EQ(module->findProfile(L"FromOutside"), nullptr) << "the profiles were not reloaded";
    EXPECT_NE(readFile(path).find("FromOutside"), std::string::npos) << "nor saved over";
}

TEST(ProfileEditorRules, ThePlatformRecognizerOffersItsThirteenLexiconsInTableOrder) {
    RecProfile profile(nullptr);
    const std::vector<std::wstring> expected = {
        L"currency", L"date",  L"default",   L"e-mail", L"empty", L"filename", L"numeric",
        L"percent",  L"phone", L"singlesym", L"time",   L"www",   L"zip"};
    EXPECT_EQ(profileEditorLexicons(profile, false, true), expected);
}

TEST(ProfileEditorRules, SegmentationPresets) {
    const struct {
        bool files, standard;
        const wchar_t* lexicon;
        int preset;
    } cases[] = {
        {true, true, L"e-mail", 3}, {true, true, L"default", 1}, {true, true, L"numeric", 2},
        {true, true, L"zip", 3},    {true, true, L"mine", 2},    {true, false, L"e-mail", 2},
        {true, true, L"", 2},       {false, true, L"e-mail", 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lexiconSegmentationPreset(c.files, c.standard, c.lexicon), c.preset) << c.lexicon;
}

TEST_F(EditorsTest, StoringAProfileReplacesRenamesOrAppends) {
    const struct {
        const wchar_t* nameAtOpening;
        const wchar_t* name;
        std::vector<std::wstring> after;
    } cases[] = {
        {L"", L"Zeta", {L"Alpha", L"Beta", L"Zeta"}},           // new: appended
        {L"Beta", L"Beta", {L"Alpha", L"Beta"}},                // same name: replaced in place
        {L"Alpha", L"Gamma", {L"Gamma", L"Beta"}},              // renamed: in the old place
        {L"Alpha", L"Beta", {L"Beta"}},                         // renamed onto another: one left
        {L"Missing", L"Delta", {L"Alpha", L"Beta", L"Delta"}},  // the old one is gone: appended
    };
    for (const auto& c : cases) {
        IxlScribixHelper document(IXL_KIND_PROFILE);
        ASSERT_TRUE(document.load(data.file(L"none.xml").c_str(), true));
        for (const wchar_t* name : {L"Alpha", L"Beta"}) {
            RecProfile p(module);
            p.name = name;
            ASSERT_TRUE(storeProfileIntoDocument(document, L"", p));
        }
        RecProfile profile(module);
        profile.name = c.name;
        profile.description = L"stored";
        EXPECT_TRUE(storeProfileIntoDocument(document, c.nameAtOpening, profile));
        EXPECT_EQ(itemNames(document.dom()), c.after) << c.nameAtOpening << " -> " << c.name;
        CLiteElem stored;
        ASSERT_TRUE(document.findItemByName(stored, c.name));
        XString description;
        stored.getAttrString(L"description", description);
        EXPECT_EQ(std::wstring(description.c_str()), L"stored");
    }
}

// ------------------------------------------------------------- macros

// Two macros in the macro file.
const char kTwoMacros[] =
    "<macroses>\r\n"
    "\t<macro description=\"My signature\" name=\"sig\" type=\"keystroke\">Best regards</macro>\r\n"
    "\t<macro description=\"Notes\" name=\"np\" type=\"launch\">notepad.exe</macro>\r\n"
    "</macroses>\r\n";

TEST_F(EditorsTest, ANewMacroIsCheckedThenSavedIntoMacroXml) {
    ASSERT_FALSE(macroFile().empty());
    ASSERT_TRUE(writeFile(macroFile(), kTwoMacros));
    std::vector<std::wstring> before, after;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND macros = settingsPageWindow(4);
        ASSERT_NE(macros, nullptr);
        before = listItems(GetDlgItem(macros, 3056));
        const auto shot = screenshot::checkWindow(dialog, kReferences, "settings-macros");
        EXPECT_TRUE(shot.ok) << shot.message;
        driver::postClick(macros, 3058);  // "&New"
    });
    steps.then(L"Edit Macro", [&](HWND editor) {
        const struct {
            const wchar_t* name;
            const wchar_t* body;
            const wchar_t* message;
        } refusals[] = {
            {L"my sig", L"x", L"No spaces are allowed in the macro name"},
            {L"", L"x", L"No macro name is specified"},
            {L"caf\u00e9 x", L"x", L"No spaces are allowed in the macro name"},
            {L"caf\u00e9", L"x",
             L"Only English letters and ASCII symbols are allowed in a macro name"},
            {L"addr", L"", L"Macro has an empty body."},
        };
        for (const auto& r : refusals) {
            settings.shown.clear();
            SetDlgItemTextW(editor, 3060, r.name);
            SetDlgItemTextW(editor, 3061, r.body);
            driver::click(editor, IDOK);
            ASSERT_EQ(settings.shown.size(), 1u);
            EXPECT_EQ(settings.shown[0].text, r.message);
        }
        // A launch macro needs its file.
        settings.shown.clear();
        st::clickControl(GetDlgItem(editor, 3128));
        driver::pump(100);
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(editor, 3061)));
        EXPECT_EQ(st::itemText(editor, 3065), L"File name/URL/Executable to launch:");
        driver::click(editor, IDOK);
        ASSERT_EQ(settings.shown.size(), 1u);
        EXPECT_EQ(settings.shown[0].text, L"File name field can not be empty.");
        st::clickControl(GetDlgItem(editor, 3127));
        driver::pump(100);
        SetDlgItemTextW(editor, 3060, L"addr");
        SetDlgItemTextW(editor, 3083, L"My address");
        SetDlgItemTextW(editor, 3061, L"1 Main Street{Enter}");
        const auto shot = screenshot::checkWindow(editor, kReferences, "macro-editor");
        EXPECT_TRUE(shot.ok) << shot.message;
        driver::click(editor, IDOK);
    });
    steps.then(kCaption, [&](HWND dialog) {
        after = listItems(GetDlgItem(settingsPageWindow(4), 3056));
        driver::click(dialog, kSettingsApply);
        driver::click(dialog, kSettingsCancel);
    });
    ASSERT_TRUE(open(steps, kMacrosTitle));
    EXPECT_EQ(before, (std::vector<std::wstring>{L"sig", L"np"}));
    EXPECT_EQ(after, (std::vector<std::wstring>{L"sig", L"np", L"addr"}));
    const std::string file = readFile(macroFile());
    EXPECT_NE(file.find("name=\"addr\""), std::string::npos) << file;
    EXPECT_NE(file.find("1 Main Street{Enter}"), std::string::npos) << file;
    EXPECT_NE(file.find("type=\"keystroke\""), std::string::npos) << file;
}

// What a macro typed, as one string: characters as themselves, keys as "[0D]".
class TypedKeys : public MacroLink {
  public:
    std::wstring typed;
    void typeCharKey(UINT code, HKL, bool) override { typed += static_cast<wchar_t>(code); }
    void typeVirtualKey(WORD key) override {
        wchar_t text[8];
        swprintf(text, 8, L"[%02X]", key);
        typed += text;
    }
    void typeString(const wchar_t* text, HKL, bool) override { typed += text; }
};

// A keystroke macro of three lines, typed into the editor as the user types
// it (its box gives CR LF between the lines), saved by Apply, read back by a
// program started again and played: three lines and two Enters.
TEST_F(EditorsTest, AThreeLineMacroTypedInTheEditorPlaysThreeLinesAndTwoEnters) {
    std::wstring inTheBox;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND) { driver::postClick(settingsPageWindow(4), 3058); });
    steps.then(L"Edit Macro", [&](HWND editor) {
        SetDlgItemTextW(editor, 3060, L"lines");
        SetForegroundWindow(editor);
        st::clickControl(GetDlgItem(editor, 3061));
        hostshell::run(
            "(sleep 0.3; xdotool type one; xdotool key Return; xdotool type two; "
            "xdotool key Return; xdotool type three) >/dev/null 2>&1 &",
            5000);
    });
    steps.thenAfter(2500, L"Edit Macro", [&](HWND editor) {
        inTheBox = st::itemText(editor, 3061);
        driver::click(editor, IDOK);
    });
    steps.then(kCaption, [&](HWND dialog) {
        driver::click(dialog, kSettingsApply);
        driver::click(dialog, kSettingsCancel);
    });
    ASSERT_TRUE(open(steps, kMacrosTitle));
    EXPECT_EQ(inTheBox, L"one\r\ntwo\r\nthree");
    const std::string file = readFile(macroFile());
    EXPECT_NE(file.find("name=\"lines\""), std::string::npos) << file;

    // The program starts again: its module reads the macro file anew.
    ASSERT_TRUE(getRecMgr().loadEngines(nullptr));
    RecModule* restarted = getRecMgr().getModule(L"English");
    ASSERT_NE(restarted, nullptr);
    ASSERT_TRUE(restarted->hasMacro(L"lines"));
    TypedKeys keys;
    setMacroLink(&keys);
    const bool ran = restarted->runMacro(L"lines", nullptr, nullptr);
    setMacroLink(nullptr);
    EXPECT_TRUE(ran);
    EXPECT_EQ(keys.typed, L"one\rtwo\rthree");
    EXPECT_EQ(std::count(keys.typed.begin(), keys.typed.end(), L'\r'), 2) << "two Enters";
}

TEST_F(EditorsTest, ALaunchMacroIsSplitForEditingAndJoinedAgain) {
    ASSERT_TRUE(writeFile(macroFile(),
                          "<macroses>"
                          "<macro name=\"doc\" type=\"launch\">\"C:\\My Apps\\viewer.exe\" "
                          "-page 2</macro>"
                          "<macro name=\"old\" param=\"-n\" type=\"launch\">notepad.exe</macro>"
                          "</macroses>"));
    IxlScribixHelper document(IXL_KIND_MACRO);
    ASSERT_TRUE(document.load(macroFile().c_str(), true));
    const struct {
        const wchar_t* name;
        const wchar_t* parameters;
        const wchar_t* body;
    } cases[] = {
        {L"doc", L"-page 2", L"\"C:\\My Apps\\viewer.exe\" -page 2"},
        {L"old", L"-n", L"notepad.exe -n"},
    };
    for (const auto& c : cases) {
        CLiteElem element;
        ASSERT_TRUE(document.findItemByName(element, c.name));
        MacroEditState state;
        state.document = &document;
        state.element = element.getXMLNode();
        std::wstring parameters;
        bool launchShown = false;
        driver::Driver steps;
        steps.then(L"Edit Macro", [&](HWND editor) {
            parameters = st::itemText(editor, 3087);
            launchShown = st::isChecked(editor, 3128) && IsWindowVisible(GetDlgItem(editor, 3086));
            driver::click(editor, IDOK);
        });
        INT_PTR result = 0;
        ASSERT_TRUE(steps.run([&] { result = runMacroEditor(nullptr, state); }));
        EXPECT_EQ(result, 1);
        EXPECT_TRUE(launchShown);
        EXPECT_EQ(parameters, c.parameters);
        CLiteElem written;
        ASSERT_TRUE(document.findItemByName(written, c.name));
        XString body, param;
        written.getText(body);
        EXPECT_EQ(std::wstring(body.c_str()), c.body);
        EXPECT_FALSE(written.getAttrString(L"param", param)) << "no \"param\" is written";
    }
}

TEST_F(EditorsTest, ExportThenImportAddsImportedNames) {
    ASSERT_TRUE(writeFile(macroFile(), kTwoMacros));
    const std::wstring exported = data.file(L"macro_export.xml");
    std::vector<std::wstring> requested;
    setSettingsFileSink([&](const FileDialogRequest& request, std::wstring& path, bool*) {
        requested.push_back(request.title);
        EXPECT_EQ(request.initialName, L"macro_export.xml");
        path = exported;
        return true;
    });
    std::vector<std::wstring> after;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND macros = settingsPageWindow(4);
        HWND list = GetDlgItem(macros, 3056);
        SendMessageW(list, LB_SETSEL, TRUE, 1);  // "np" only
        SendMessageW(macros, WM_COMMAND, MAKEWPARAM(3056, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        driver::click(macros, 3061);  // "Export"
        driver::click(macros, 3062);  // "Import"
        after = listItems(list);
        driver::click(dialog, kSettingsOk);
    });
    ASSERT_TRUE(open(steps, kMacrosTitle));
    EXPECT_EQ(requested,
              (std::vector<std::wstring>{L"Export selected macros", L"Import selected macros"}));
    CLiteDom file;
    ASSERT_TRUE(file.load(exported.c_str()));
    EXPECT_EQ(rootName(file), L"macroses");
    EXPECT_EQ(itemNames(file), std::vector<std::wstring>{L"np"});
    EXPECT_TRUE(sawMessage(L"Macro files saved successfully"));
    EXPECT_TRUE(
        sawMessage(L"Macros imported successfully.\nSuffix  '_imported'  is added to macros "
                   L"with duplicated names."));
    EXPECT_EQ(after, (std::vector<std::wstring>{L"sig", L"np", L"np_imported"}));
    const std::string saved = readFile(macroFile());
    EXPECT_NE(saved.find("name=\"np_imported\""), std::string::npos) << "OK saved the import";
}

TEST_F(EditorsTest, ImportAndExportOfFiles) {
    IxlScribixHelper document(IXL_KIND_MACRO);
    ASSERT_TRUE(writeFile(macroFile(), kTwoMacros));
    ASSERT_TRUE(document.load(macroFile().c_str(), true));
    // Every macro selected: the whole document as it is in memory.
    const std::wstring whole = data.file(L"whole.xml");
    CLiteElem root, first, second;
    ASSERT_TRUE(document.dom().getRoot(root));
    ASSERT_TRUE(root.getChildElement(first, 0));
    ASSERT_TRUE(root.getChildElement(second, 1));
    ASSERT_TRUE(writeMacroExport(document, {first.getXMLNode(), second.getXMLNode()}, true, whole));
    EXPECT_EQ(readFile(whole), kTwoMacros);

    const struct {
        const char* file;
        int result;
        bool suffix;
        std::vector<std::wstring> after;
    } cases[] = {
        {"<macroses><macro name=\"new\" type=\"keystroke\">n</macro></macroses>",
         1,
         false,
         {L"sig", L"np", L"new"}},
        {"<macroses><macro name=\"sig\" type=\"keystroke\">s</macro></macroses>",
         1,
         true,
         {L"sig", L"np", L"sig_imported"}},
        // The suffixed name exists too: the suffix is added once, without a further test.
        {"<macroses><macro name=\"sig\">a</macro><macro name=\"sig\">b</macro></macroses>",
         1,
         true,
         {L"sig", L"np", L"sig_imported", L"sig_imported"}},
        // Any root and element name: each child is a macro.
        {"<list><item name=\"x\" type=\"keystroke\">x</item></list>",
         1,
         false,
         {L"sig", L"np", L"x"}},
        // A child without a name stops the import; what came before it stays.
        {"<macroses><macro name=\"a\">a</macro><macro>b</macro></macroses>",
         -1,
         false,
         {L"sig", L"np", L"a"}},
        {"not xml", -1, false, {L"sig", L"np"}},
    };
    for (const auto& c : cases) {
        IxlScribixHelper target(IXL_KIND_MACRO);
        ASSERT_TRUE(target.load(macroFile().c_str(), true));
        const std::wstring path = data.file(L"import.xml");
        ASSERT_TRUE(writeFile(path, c.file));
        bool suffix = false;
        EXPECT_EQ(importMacroFile(target, path, suffix), c.result) << c.file;
        EXPECT_EQ(suffix, c.suffix) << c.file;
        EXPECT_EQ(itemNames(target.dom()), c.after) << c.file;
    }
}

TEST_F(EditorsTest, RemovingEveryMacroEmptiesTheDocument) {
    ASSERT_TRUE(writeFile(macroFile(), kTwoMacros));
    std::vector<std::wstring> after;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND macros = settingsPageWindow(4);
        HWND list = GetDlgItem(macros, 3056);
        SendMessageW(list, LB_SETSEL, TRUE, -1);
        SendMessageW(macros, WM_COMMAND, MAKEWPARAM(3056, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(macros, 3059))) << "no editing of several";
        driver::click(macros, 3057);  // "Re&move"
        after = listItems(list);
        driver::click(dialog, kSettingsOk);
    });
    ASSERT_TRUE(open(steps, kMacrosTitle));
    EXPECT_TRUE(after.empty());
    CLiteDom file;
    ASSERT_TRUE(file.load(macroFile().c_str()));
    EXPECT_TRUE(itemNames(file).empty());
    EXPECT_EQ(rootName(file), L"macroses");
}

// The keys recorded into an edit, message by message.
struct KeyEvent {
    UINT message;
    WPARAM key;
};
constexpr LPARAM kRepeat = 1 << 30;

TEST(KeystrokeRecording, KeysBecomeMacroText) {
    const struct {
        const char* what;
        std::vector<KeyEvent> events;
        const wchar_t* text;
    } cases[] = {
        {"ctrl shift a",
         {{WM_KEYDOWN, VK_CONTROL},
          {WM_KEYDOWN, VK_SHIFT},
          {WM_KEYDOWN, 'A'},
          {WM_CHAR, 1},
          {WM_KEYUP, 'A'},
          {WM_KEYUP, VK_SHIFT},
          {WM_KEYUP, VK_CONTROL}},
         L"{Ctrl+{Shift+A}}"},
        {"shift a",
         {{WM_KEYDOWN, VK_SHIFT},
          {WM_KEYDOWN, 'A'},
          {WM_CHAR, 'A'},
          {WM_KEYUP, 'A'},
          {WM_KEYUP, VK_SHIFT}},
         L"{Shift+A}"},
        {"ctrl c",
         {{WM_KEYDOWN, VK_CONTROL},
          {WM_KEYDOWN, 'C'},
          {WM_CHAR, 3},
          {WM_KEYUP, 'C'},
          {WM_KEYUP, VK_CONTROL}},
         L"{Ctrl+C}"},
        {"alt f4",
         {{WM_SYSKEYDOWN, VK_MENU},
          {WM_SYSKEYDOWN, VK_F4},
          {WM_SYSKEYUP, VK_F4},
          {WM_SYSKEYUP, VK_MENU}},
         L"{Alt+{F4}}"},
        {"plain letter", {{WM_KEYDOWN, 'Q'}, {WM_CHAR, 'q'}, {WM_KEYUP, 'Q'}}, L"q"},
        {"space alone", {{WM_KEYDOWN, VK_SPACE}, {WM_CHAR, ' '}, {WM_KEYUP, VK_SPACE}}, L" "},
        {"shift space",
         {{WM_KEYDOWN, VK_SHIFT}, {WM_KEYDOWN, VK_SPACE}, {WM_CHAR, ' '}, {WM_KEYUP, VK_SHIFT}},
         L"{Shift+{Space}}"},
        // The character of a key recorded by its name is not typed as well.
        {"enter and tab",
         {{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, '\r'}, {WM_KEYDOWN, VK_TAB}, {WM_CHAR, '\t'}},
         L"{Enter}{Tab}"},
        {"escape", {{WM_KEYDOWN, VK_ESCAPE}, {WM_CHAR, 27}}, L"{Esc}"},
        {"backspace", {{WM_KEYDOWN, VK_BACK}, {WM_CHAR, 8}}, L"{Bksp}"},
        {"number pad digit", {{WM_KEYDOWN, VK_NUMPAD5}, {WM_CHAR, '5'}}, L"{#5}"},
        {"arrows and keys",
         {{WM_KEYDOWN, VK_LEFT}, {WM_KEYDOWN, VK_HOME}, {WM_KEYDOWN, VK_DELETE}},
         L"{Left}{Home}{Del}"},
        {"system character", {{WM_SYSCHAR, 'x'}}, L""},
    };
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | ES_MULTILINE, 0, 0, 200, 100, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(edit, nullptr);
    for (const auto& c : cases) {
        SetWindowTextW(edit, L"");
        CKbdRecord recorder;
        ASSERT_TRUE(recorder.start(edit));
        for (const KeyEvent& e : c.events) SendMessageW(edit, e.message, e.key, 0);
        // A held key repeating adds nothing.
        SendMessageW(edit, WM_KEYDOWN, VK_LEFT, kRepeat);
        recorder.stop();
        wchar_t buffer[256] = {};
        GetWindowTextW(edit, buffer, 256);
        EXPECT_EQ(std::wstring(buffer), c.text) << c.what;
    }
    // Recording stopped: the edit's own procedure is back.
    SetWindowTextW(edit, L"");
    SendMessageW(edit, WM_CHAR, 'z', 0);
    wchar_t buffer[16] = {};
    GetWindowTextW(edit, buffer, 16);
    EXPECT_EQ(std::wstring(buffer), L"z");
    DestroyWindow(edit);
}

TEST_F(EditorsTest, TheRecordButtonRecordsKeysTypedOnTheKeyboard) {
    MacroEditState state;
    IxlScribixHelper document(IXL_KIND_MACRO);
    ASSERT_TRUE(document.load(data.file(L"none.xml").c_str(), true));
    state.document = &document;
    std::wstring recorded, buttonWhileRecording, buttonAfter;
    driver::Driver steps;
    steps.then(L"Edit Macro", [&](HWND editor) {
        SetForegroundWindow(editor);
        st::clickControl(GetDlgItem(editor, 3));  // "&Record"
        driver::pump(100);
        buttonWhileRecording = st::itemText(editor, 3);
        driver::typeLater("ctrl+c");
    });
    steps.thenAfter(1000, L"Edit Macro", [&](HWND editor) {
        recorded = st::itemText(editor, 3061);
        st::clickControl(GetDlgItem(editor, 3));
        driver::pump(100);
        buttonAfter = st::itemText(editor, 3);
        driver::click(editor, IDCANCEL);
    });
    ASSERT_TRUE(steps.run([&] { runMacroEditor(nullptr, state); }));
    EXPECT_EQ(buttonWhileRecording, L"Stop record");
    EXPECT_EQ(recorded, L"{Ctrl+C}");
    EXPECT_EQ(buttonAfter, L"Record");
    EXPECT_FALSE(state.recording);
}

// ------------------------------------------------------------- a page that refuses

TEST_F(EditorsTest, APageThatCannotSaveKeepsItsEditsAndTheOthersTheirs) {
    forceSettingsPageCount(8);
    ASSERT_TRUE(writeFile(macroFile(), kTwoMacros));
    const std::wstring imported = data.file(L"more.xml");
    ASSERT_TRUE(writeFile(
        imported, "<macroses><macro name=\"more\" type=\"keystroke\">m</macro></macroses>"));
    setSettingsFileSink([&](const FileDialogRequest&, std::wstring& path, bool*) {
        path = imported;
        return true;
    });
    HWND macrosBefore = nullptr, tuneupBefore = nullptr;
    struct {
        HWND macros, tuneup, general;
        bool apply;
        int tab;
        std::vector<std::wstring> items;
        std::wstring delay;
    } afterFailure = {};
    int delayApplied = 0;
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        // General (applied before Macros), Macros, then Tuneup (after Macros).
        driver::click(settingsPageWindow(0), 2042);
        CheckDlgButton(settingsPageWindow(0), 2042, BST_CHECKED);
        st::clickTab(dialog, 4);
        driver::pump(150);
        macrosBefore = settingsPageWindow(4);
        driver::click(macrosBefore, 3062);  // "Import": a change waiting for Apply
        st::clickTab(dialog, 6);
        driver::pump(150);
        tuneupBefore = settingsPageWindow(6);
        SetDlgItemTextW(tuneupBefore, 2038, L"33");
        // The macro file cannot be written now: a folder stands in its place.
        DeleteFileW(macroFile().c_str());
        CreateDirectoryW(macroFile().c_str(), nullptr);
        settings.shown.clear();
        driver::click(dialog, kSettingsApply);
        afterFailure.macros = settingsPageWindow(4);
        afterFailure.tuneup = settingsPageWindow(6);
        afterFailure.general = settingsPageWindow(0);
        afterFailure.apply = IsWindowEnabled(GetDlgItem(dialog, kSettingsApply)) != FALSE;
        afterFailure.tab = st::selectedTab(dialog);
        afterFailure.items = listItems(GetDlgItem(afterFailure.macros, 3056));
        afterFailure.delay = st::itemText(afterFailure.tuneup, 2038);
        // The folder goes: Apply again saves everything.
        RemoveDirectoryW(macroFile().c_str());
        driver::click(dialog, kSettingsApply);
        delayApplied = generalSettings().delayAfterSendSpecSymb;
        driver::click(dialog, kSettingsCancel);
    });
    ASSERT_TRUE(open(steps, 0));
    EXPECT_EQ(afterFailure.macros, macrosBefore) << "the refusing page keeps its window";
    EXPECT_EQ(afterFailure.items, (std::vector<std::wstring>{L"sig", L"np", L"more"}))
        << "and its edits";
    EXPECT_EQ(afterFailure.tuneup, tuneupBefore) << "a page Apply did not reach keeps its edits";
    EXPECT_EQ(afterFailure.delay, L"33");
    EXPECT_EQ(afterFailure.general, nullptr) << "a page that applied is made afresh";
    EXPECT_EQ(generalSettings().clearInkOnExit, 1);
    EXPECT_TRUE(afterFailure.apply) << "edits still wait to be applied";
    EXPECT_EQ(afterFailure.tab, 4) << "the refusing page is shown";
    ASSERT_FALSE(settings.shown.empty());
    EXPECT_NE(settings.shown[0].text.find(L"The macros could not be saved"), std::wstring::npos);
    EXPECT_EQ(delayApplied, 33);
    EXPECT_NE(readFile(macroFile()).find("name=\"more\""), std::string::npos);
}

// ------------------------------------------------------------- owners

// The settings dialog, its pages and the dialogs they open belong to the
// thread that runs the settings dialog.
struct OwnedDialog {
    const char* name;
    int titleId;             // the page the settings dialog opens on
    int pageIndex;           // that page
    int button;              // the page's button that opens the dialog; 0: the page itself
    const wchar_t* caption;  // the dialog's
    void (*use)(HWND);       // what another thread does to the dialog (to the page for 0)
    const char* check;       // what the check names
};

const OwnedDialog kOwnedDialogs[] = {
    {"SettingsHost", kRecoTitle, 5, 0, kCaption, [](HWND page) { markSettingsChanged(page); },
     "settings dialog: markSettingsChanged"},
    {"SettingsPage", kRecoTitle, 5, 0, kCaption,
     [](HWND page) { RecoPageProc(page, WM_NULL, 0, 0); },
     "\\(anonymous namespace\\)::RecoPage: settings page procedure"},
    {"ProfileEditor", kRecoTitle, 5, 3096, L"New Profile",
     [](HWND editor) { ProfileEditorDlgProc(editor, WM_NULL, 0, 0); },
     "profile editor: ProfileEditorDlgProc"},
    {"MacroEditor", kMacrosTitle, 4, 3058, L"Edit Macro",
     [](HWND editor) { MacroEditorDlgProc(editor, WM_NULL, 0, 0); },
     "macro editor: MacroEditorDlgProc"},
    {"AdvancedRecoOptions", kRecoTitle, 5, 3100, L"Advanced recognition options",
     [](HWND options) { AdvancedRecoDlgProc(options, WM_NULL, 0, 0); },
     "advanced recognition options: AdvancedRecoDlgProc"},
};

void PrintTo(const OwnedDialog& d, std::ostream* out) { *out << d.name; }

class OwnerTest : public EditorsTest, public ::testing::WithParamInterface<OwnedDialog> {};

// Used from another thread while open, each ends a checked run naming itself.
TEST_P(OwnerTest, UseFromAnotherThreadEndsTheRun) {
    const OwnedDialog& d = GetParam();
    ASSERT_TRUE(win::checkedRun());
    ASSERT_TRUE(writeFile(macroFile(), kTwoMacros));
    const auto useElsewhere = [&](HWND target) {
        EXPECT_EXIT(std::thread([&] { d.use(target); }).join(),
                    testing::ExitedWithCode(static_cast<int>(0xC000A0C1)),
                    std::string("thread check: ") + d.check + " on thread");
    };
    driver::Driver steps;
    steps.then(kCaption, [&](HWND dialog) {
        HWND page = settingsPageWindow(d.pageIndex);
        ASSERT_NE(page, nullptr);
        if (d.button) {
            driver::postClick(page, d.button);
            return;
        }
        useElsewhere(page);
        driver::click(dialog, kSettingsCancel);
    });
    if (d.button) {
        steps.then(d.caption, [&](HWND opened) {
            useElsewhere(opened);
            driver::click(opened, IDCANCEL);
        });
        steps.then(kCaption, [](HWND dialog) { driver::click(dialog, kSettingsCancel); });
    }
    ASSERT_TRUE(open(steps, d.titleId));
}

INSTANTIATE_TEST_SUITE_P(Dialogs, OwnerTest, ::testing::ValuesIn(kOwnedDialogs),
                         [](const ::testing::TestParamInfo<OwnedDialog>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
