// Ombra.dll as its callers meet it: loaded by file name, its eight exports
// bound by name, driven through the calling order with the engine DLLs beside
// it, and copied alone into other folders to see what a missing engine or
// lexicon does.
#include <gtest/gtest.h>
#include <windows.h>

#include <climits>
#include <string>

#include "Ombra.h"
#include "PageInk.h"
#include "ResultXml.h"
#include "TempDir.h"

namespace {

#define OMBRA_EXPORTS(X)   \
    X(Ombra_GetVersionId)  \
    X(Ombra_CreateContext) \
    X(Ombra_CloseContext)  \
    X(Ombra_OpenSession)   \
    X(Ombra_CloseSession) X(Ombra_SetExtraSessionParameters) X(Ombra_AddStroke) X(Ombra_Recognize)

struct Library {
    HMODULE module = nullptr;
#define DECLARE(name) decltype(&::name) name = nullptr;
    OMBRA_EXPORTS(DECLARE)
#undef DECLARE
    int bound = 0;

    explicit Library(const std::wstring& path = L"Ombra.dll") {
        module = LoadLibraryW(path.c_str());
        if (!module) return;
#define BIND(name)                                                                                \
    name =                                                                                        \
        reinterpret_cast<decltype(name)>(reinterpret_cast<void*>(GetProcAddress(module, #name))); \
    if (name) ++bound;
        OMBRA_EXPORTS(BIND)
#undef BIND
    }
    ~Library() {
        if (module) FreeLibrary(module);
    }
};

std::wstring binFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

// A folder holding a copy of Ombra.dll and of the named files beside it.
void layOut(const TempDir& dir, std::initializer_list<const wchar_t*> files) {
    const std::wstring bin = binFolder();
    ASSERT_TRUE(CopyFileW((bin + L"Ombra.dll").c_str(), dir.file(L"Ombra.dll").c_str(), FALSE));
    for (const wchar_t* f : files)
        ASSERT_TRUE(CopyFileW((bin + f).c_str(), dir.file(f).c_str(), FALSE)) << f;
}

TEST(OmbraDll, BindsItsEightNames) {
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    EXPECT_EQ(lib.bound, 8);
    EXPECT_EQ(GetProcAddress(lib.module, "_Ombra_Recognize"), nullptr);
    char banner[64];
    ASSERT_EQ(lib.Ombra_GetVersionId(nullptr, 1, banner), 0);
    EXPECT_EQ(std::string(banner).rfind("Ombra\x99", 0), 0u);
}

TEST(OmbraDll, CallingOrderWithBothEngines) {
    Library lib;
    ASSERT_EQ(lib.bound, 8);
    OMBRA_CONTEXT context = nullptr;
    ASSERT_EQ(lib.Ombra_CreateContext(&context), 0);
    char text[64];
    ASSERT_EQ(lib.Ombra_GetVersionId(context, 2, text), 0);
    EXPECT_EQ(std::string(text).rfind("VexaScript", 0), 0u);
    ASSERT_EQ(lib.Ombra_GetVersionId(context, 3, text), 0);
    EXPECT_EQ(std::string(text).rfind("vexaShape", 0), 0u);

    // Recognizer session: the stand-in's words.
    OMBRA_SESSION words = nullptr;
    ASSERT_EQ(lib.Ombra_OpenSession(context, &words, OMBRA_SESSION_RECOGNIZER), 0);
    PageInk ink;
    ink.write("hello world", 100, 200, 24);
    ASSERT_EQ(ink.addTo(words, lib.Ombra_AddStroke), 0);
    const char* xml = nullptr;
    ASSERT_EQ(lib.Ombra_Recognize(words, &xml), 0);
    ResultXml r = readResult(xml);
    ASSERT_TRUE(r.wellFormed) << xml;
    EXPECT_EQ(r.firstAlts, (std::vector<std::string>{"hello", "world"})) << xml;

    // Shape session: shapes from the shape library.
    OMBRA_SESSION shapes = nullptr;
    ASSERT_EQ(lib.Ombra_OpenSession(context, &shapes, OMBRA_SESSION_SHAPES), 0);
    PageInk drawn;
    drawn.draw({{100, 100}, {400, 100}, {400, 300}, {100, 300}, {100, 100}});
    ASSERT_EQ(drawn.addTo(shapes, lib.Ombra_AddStroke), 0);
    ASSERT_EQ(lib.Ombra_Recognize(shapes, &xml), 0);
    r = readResult(xml);
    ASSERT_TRUE(r.wellFormed) << xml;
    ASSERT_EQ(r.shapeNames.size(), 1u) << xml;
    EXPECT_EQ(r.shapeNames[0].rfind("PARA", 0), 0u) << xml;

    // Page session: empty, then a text band and a column table.
    OMBRA_SESSION page = nullptr;
    ASSERT_EQ(lib.Ombra_OpenSession(context, &page, 0), 0);
    ASSERT_EQ(lib.Ombra_Recognize(page, &xml), 0);
    EXPECT_STREQ(xml, "<Ombra_RESULT ver=\"1.28\"></Ombra_RESULT>");
    PageInk writing;
    writing.write("the cat\nsat here", 100, 100);
    writing.draw({{400, 500}, {400, 700}});
    writing.draw({{800, 500}, {800, 700}});
    writing.write("dog", 150, 600);
    writing.write("sun", 500, 600);
    writing.write("map", 900, 600);
    ASSERT_EQ(writing.addTo(page, lib.Ombra_AddStroke), 0);
    ASSERT_EQ(lib.Ombra_Recognize(page, &xml), 0);
    r = readResult(xml);
    ASSERT_TRUE(r.wellFormed) << xml;
    EXPECT_EQ(r.firstAlts,
              (std::vector<std::string>{"the", "cat", "sat", "here", "dog", "sun", "map"}))
        << xml;
    EXPECT_EQ(r.count("TD"), 3) << xml;

    EXPECT_EQ(lib.Ombra_CloseSession(words), 0);
    EXPECT_EQ(lib.Ombra_CloseSession(words), 1);
    EXPECT_EQ(lib.Ombra_CloseContext(context), 0);  // closes the other two
    EXPECT_EQ(lib.Ombra_Recognize(shapes, &xml), 101);
    EXPECT_EQ(lib.Ombra_CloseContext(context), 1);
}

TEST(OmbraDll, BadInputGivesCodesNotFaults) {
    Library lib;
    ASSERT_EQ(lib.bound, 8);
    OMBRA_CONTEXT context = nullptr;
    ASSERT_EQ(lib.Ombra_CreateContext(&context), 0);
    for (int flags : {0, OMBRA_SESSION_RECOGNIZER, OMBRA_SESSION_SHAPES}) {
        SCOPED_TRACE(flags);
        OMBRA_SESSION s = nullptr;
        ASSERT_EQ(lib.Ombra_OpenSession(context, &s, flags), 0);
        PageInk ink;
        ink.add({});
        ink.add({50, 50});
        ink.add({INT_MIN, INT_MIN, INT_MAX, INT_MAX});
        for (const Ombra_STROKE& st : ink.strokes()) lib.Ombra_AddStroke(s, &st);
        const char* xml = nullptr;
        if (lib.Ombra_Recognize(s, &xml) == 0) {
            EXPECT_TRUE(readResult(xml).wellFormed) << xml;
        }
        EXPECT_EQ(lib.Ombra_CloseSession(s), 0);
        EXPECT_EQ(lib.Ombra_AddStroke(s, &ink.strokes()[1]), 5);
        EXPECT_EQ(lib.Ombra_Recognize(s, &xml), 101);
    }
    EXPECT_EQ(lib.Ombra_CloseContext(context), 0);
    EXPECT_EQ(lib.Ombra_CloseContext(context), 1);
}

TEST(OmbraDll, MissingEnginesAreNoErrorUntilASessionNeedsThem) {
    TempDir dir;
    layOut(dir, {});
    Library lib(dir.file(L"Ombra.dll"));
    ASSERT_EQ(lib.bound, 8);
    OMBRA_CONTEXT context = nullptr;
    ASSERT_EQ(lib.Ombra_CreateContext(&context), 0);
    OMBRA_SESSION s = nullptr;
    for (int flags : {0, OMBRA_SESSION_NO_SHAPER, OMBRA_SESSION_RECOGNIZER, OMBRA_SESSION_SHAPES,
                      OMBRA_SESSION_SHAPES_ALIGN}) {
        SCOPED_TRACE(flags);
        EXPECT_EQ(lib.Ombra_OpenSession(context, &s, flags), 4);
    }
    char text[64];
    EXPECT_EQ(lib.Ombra_GetVersionId(context, 2, text), 4);
    EXPECT_EQ(lib.Ombra_GetVersionId(context, 3, text), 4);
    EXPECT_EQ(lib.Ombra_CloseContext(context), 0);
}

TEST(OmbraDll, ShapeSessionsNeedTheShapeLibraryAndTextTheLexicon) {
    TempDir dir;
    layOut(dir, {L"VexaScript.dll"});  // no default.ban, no shape library
    Library lib(dir.file(L"Ombra.dll"));
    ASSERT_EQ(lib.bound, 8);
    OMBRA_CONTEXT context = nullptr;
    EXPECT_EQ(lib.Ombra_CreateContext(&context), 4) << "the lexicon is missing";
    ASSERT_NE(context, nullptr);
    OMBRA_SESSION s = nullptr;
    EXPECT_EQ(lib.Ombra_OpenSession(context, &s, OMBRA_SESSION_SHAPES), 4);
    EXPECT_EQ(lib.Ombra_OpenSession(context, &s, 0), 4);
    EXPECT_EQ(lib.Ombra_OpenSession(context, &s, OMBRA_SESSION_NO_SHAPER), 0);
    EXPECT_EQ(lib.Ombra_CloseContext(context), 0);
}

}  // namespace
