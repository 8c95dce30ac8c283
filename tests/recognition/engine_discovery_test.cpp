// Engine discovery and the recognizer manager over program folders of the
// tests' own: which folders become which modules, the current language and
// its fallbacks, the recognizer's description, file paths of a module.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <set>

#include "RecTestSupport.h"
#include "StubRecModule.h"
#include "recognition/RecEnv.h"
#include "recognition/RecMgr.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"

namespace {

// A module over the platform recognizer, as far as the manager can tell.
class FakeWinModule : public StubRecModule {
    VEXA_CLASS(FakeWinModule, StubRecModule)

  public:
    using StubRecModule::StubRecModule;
    const wchar_t* getUserDictExtension() const override { return L".voc.win"; }
    int32_t PSO_GetRecognizerInfo(int32_t, char* buffer) override {
        std::strcpy(buffer, "Scribix WinRec Bridge v 1.0.0.");
        return 0;
    }
};

class FakePlatform : public PlatformRecognizers {
  public:
    bool isAvailable = false;
    std::set<LANGID> recognized;  // primary languages it has a recognizer for
    bool available() override { return isAvailable; }
    bool hasDefaultRecognizer(LANGID language) override {
        return recognized.count(PRIMARYLANGID(language)) != 0;
    }
    RecModule* createModule(const std::wstring& name, const std::wstring& data) override {
        return new FakeWinModule(name, data);
    }
};

enum Folder { kWithLibrary, kEmpty };

struct Layout {
    const wchar_t* name;
    Folder folder;
};

// A program folder of its own with engine folders (a copy of the installed
// library in those that have it) and a user data folder.
class ProgramFolder {
  public:
    explicit ProgramFolder(std::initializer_list<Layout> folders) {
        for (const Layout& f : folders) {
            const std::wstring dir = program_.file(f.name);
            EXPECT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
            if (f.folder == kWithLibrary) {
                EXPECT_TRUE(CopyFileW(rt::englishLibrary().c_str(),
                                      (dir + L"\\VexaScript.dll").c_str(), FALSE));
            }
        }
        rt::writeBytes(program_.file(L"readme.txt"), "not an engine");
    }
    const std::wstring& path() const { return program_.path(); }
    const std::wstring& data() const { return data_.path(); }

  private:
    TempDir program_;
    TempDir data_;
};

std::set<std::wstring> moduleNames(const RecMgr& mgr) {
    std::set<std::wstring> names;
    for (const auto& entry : mgr.modules()) names.insert(entry.first);
    return names;
}

std::string describe(const std::set<std::wstring>& names) {
    std::string s;
    for (const std::wstring& n : names) s += rt::narrow(n) + " ";
    return s;
}

class EngineDiscovery : public ::testing::Test {
  protected:
    rt::SettingsScope settings_;
    rt::MessageCollector messages_;
    FakePlatform platform_;
};

TEST_F(EngineDiscovery, FoldersBecomeModulesByLibraryLocaleAndSettings) {
    struct Case {
        const char* what;
        bool platformAvailable;
        int useTPCRecsOnly;
        std::vector<const wchar_t*> vexa;  // expected library modules
        std::vector<const wchar_t*> win;   // expected platform modules
    } cases[] = {
        {"library folders only", false, 0, {L"English", L"German"}, {}},
        {"the platform serves the empty folder", true, 0, {L"English", L"German"}, {L"French"}},
        {"platform only, as the setting asks", true, 1, {}, {L"English", L"French", L"German"}},
        {"platform only, but there is none", false, 1, {}, {}},
    };
    for (const Case& c : cases) {
        ProgramFolder program({{L"English", kWithLibrary},
                               {L"German", kWithLibrary},
                               {L"French", kEmpty},
                               {L"Klingon", kWithLibrary}});
        WriteSetting(nullptr, L"useTPCRecsOnly", &c.useTPCRecsOnly, SETTING_NUMBER, 0);
        const int noAutoCreate = 0;
        WriteSetting(nullptr, L"autoCreateRecForTPC", &noAutoCreate, SETTING_NUMBER, 0);
        platform_.isAvailable = c.platformAvailable;
        RecMgr mgr;
        mgr.setDataFolder(program.data());
        mgr.setPlatformRecognizers(&platform_);
        ASSERT_TRUE(mgr.loadEngines(program.path().c_str()));
        std::set<std::wstring> expected(c.vexa.begin(), c.vexa.end());
        expected.insert(c.win.begin(), c.win.end());
        EXPECT_EQ(moduleNames(mgr), expected) << c.what << ": " << describe(moduleNames(mgr));
        for (const wchar_t* name : c.vexa) {
            RecModule* m = mgr.getModule(name);
            ASSERT_NE(m, nullptr) << c.what;
            EXPECT_EQ(m->isKindOf(L"RecVexaModule"), 1) << c.what;
            EXPECT_EQ(m->engineFolder(), program.path() + L"\\" + name) << c.what;
            EXPECT_TRUE(rt::exists(program.data() + L"\\" + name + L"\\profiles.xml")) << c.what;
        }
        for (const wchar_t* name : c.win) {
            RecModule* m = mgr.getModule(name);
            ASSERT_NE(m, nullptr) << c.what;
            EXPECT_EQ(m->isKindOf(L"RecVexaModule"), 0) << c.what;
        }
        EXPECT_EQ(mgr.getModule(L"Klingon"), nullptr) << "no locale: never a module";
    }
}

TEST_F(EngineDiscovery, FindsFoldersOnlyAndTheLibraryInThem) {
    ProgramFolder program({{L"English", kWithLibrary}, {L"French", kEmpty}});
    RecEnv env(program.path().c_str());
    EXPECT_EQ(env.baseFolder(), program.path() + L"\\");
    std::map<std::wstring, std::wstring> found;
    for (const RecEngineInfo& e : env.engines()) {
        EXPECT_EQ(e.folder, program.path() + L"\\" + e.name);
        found[e.name] = e.libraryPath;
    }
    ASSERT_EQ(found.size(), 2u) << "the text file is no engine";
    EXPECT_EQ(found[L"English"], program.path() + L"\\English\\VexaScript.dll");
    EXPECT_EQ(found[L"French"], L"");
    // Without a base folder the program's own folder is searched.
    RecEnv own(nullptr);
    EXPECT_EQ(own.baseFolder(), rt::binFolder() + L"\\");
    bool english = false;
    for (const RecEngineInfo& e : own.engines())
        if (e.name == L"English" && !e.libraryPath.empty()) english = true;
    EXPECT_TRUE(english) << "the installed layout has its English engine";
}

TEST_F(EngineDiscovery, KeyboardLanguagesThePlatformReadsGetAnEmptyFolder) {
    ProgramFolder program({{L"English", kWithLibrary}, {L"German", kEmpty}});
    platform_.isAvailable = true;
    platform_.recognized = {LANG_GERMAN, LANG_RUSSIAN, LANG_FRENCH};
    RecMgr mgr;
    mgr.setDataFolder(program.data());
    mgr.setPlatformRecognizers(&platform_);
    mgr.setLayoutSource([](int maxCount) {
        EXPECT_EQ(maxCount, 20);
        return std::vector<HKL>{reinterpret_cast<HKL>(0x04070407),   // German: has a folder
                                reinterpret_cast<HKL>(0x04190419),   // Russian: recognized
                                reinterpret_cast<HKL>(0x04110411),   // Japanese: not recognized
                                reinterpret_cast<HKL>(0x000000C8)};  // no language of the table
    });
    ASSERT_TRUE(mgr.loadEngines(program.path().c_str()));
    EXPECT_TRUE(rt::exists(program.path() + L"\\Russian"));
    EXPECT_FALSE(rt::exists(program.path() + L"\\Japanese"));
    EXPECT_NE(mgr.getModule(L"Russian"), nullptr) << "the new folder yields a platform module";
    EXPECT_EQ(moduleNames(mgr), (std::set<std::wstring>{L"English", L"German", L"Russian"}));

    // With the setting off nothing is made.
    ProgramFolder other({{L"English", kWithLibrary}});
    const int off = 0;
    WriteSetting(nullptr, L"autoCreateRecForTPC", &off, SETTING_NUMBER, 0);
    RecMgr quiet;
    quiet.setDataFolder(other.data());
    quiet.setPlatformRecognizers(&platform_);
    quiet.setLayoutSource([](int) { return std::vector<HKL>{reinterpret_cast<HKL>(0x04190419)}; });
    ASSERT_TRUE(quiet.loadEngines(other.path().c_str()));
    EXPECT_FALSE(rt::exists(other.path() + L"\\Russian"));
}

class Manager : public EngineDiscovery {
  protected:
    void SetUp() override {
        program_ = std::make_unique<ProgramFolder>(
            std::initializer_list<Layout>{{L"English", kWithLibrary}, {L"German", kWithLibrary}});
        mgr_.setDataFolder(program_->data());
        mgr_.setPlatformRecognizers(&platform_);
        ASSERT_TRUE(mgr_.loadEngines(program_->path().c_str()));
    }
    std::unique_ptr<ProgramFolder> program_;
    RecMgr mgr_;
};

TEST_F(Manager, TheCurrentLanguageFallsBackToEnglish) {
    EXPECT_EQ(mgr_.currentLanguage(), L"");
    EXPECT_EQ(mgr_.getCurrentModule(), mgr_.getModule(L"English")) << "empty counts as English";
    struct Case {
        const wchar_t* asked;
        bool result;
        const wchar_t* current;
    } cases[] = {
        {L"German", true, L"German"}, {nullptr, true, L"English"},    {L"German", true, L"German"},
        {L"", true, L"English"},      {L"Russian", true, L"English"}, {L"german", true, L"English"},
        {L"German", true, L"German"}, {L"German", true, L"German"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(mgr_.setCurrentLanguage(c.asked), c.result);
        EXPECT_EQ(mgr_.currentLanguage(), c.current);
        EXPECT_EQ(mgr_.getCurrentModule(), mgr_.getModule(c.current));
    }
}

// The main bar hears of each change of the language, on its own thread:
// the manager posts the bar's event to the service window.
TEST_F(Manager, AChangedLanguageIsToldToTheMainBar) {
    HWND service = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
    appGlobals().serviceWindow = service;
    auto posted = [service] {
        int told = 0;
        MSG msg;
        while (PeekMessageW(&msg, service, WM_INK_MAIN_BAR, WM_INK_MAIN_BAR, PM_REMOVE))
            if (msg.wParam == 2 && msg.lParam == kMainBarLanguageChanged) ++told;
        return told;
    };
    const struct {
        const wchar_t* asked;
        int told;
    } cases[] = {{L"German", 1}, {L"German", 0}, {L"Russian", 1}, {L"English", 0}};
    for (const auto& c : cases) {
        mgr_.setCurrentLanguage(c.asked);
        EXPECT_EQ(posted(), c.told) << rt::narrow(c.asked);
    }
    appGlobals().serviceWindow = nullptr;
    DestroyWindow(service);
}

TEST_F(Manager, WithoutEnglishAnUnknownLanguageChangesNothing) {
    ProgramFolder germanOnly({{L"German", kWithLibrary}});
    RecMgr mgr;
    mgr.setDataFolder(germanOnly.data());
    mgr.setPlatformRecognizers(&platform_);
    ASSERT_TRUE(mgr.loadEngines(germanOnly.path().c_str()));
    ASSERT_TRUE(mgr.setCurrentLanguage(L"German"));
    EXPECT_FALSE(mgr.setCurrentLanguage(L"Russian"));
    EXPECT_EQ(mgr.currentLanguage(), L"German");
    EXPECT_FALSE(mgr.setCurrentLanguage(L"English"));
    EXPECT_EQ(mgr.currentLanguage(), L"German");
}

// The hook library as far as the focused field's keyboard layout goes.
class FocusLayout : public HookLibrary {
  public:
    explicit FocusLayout(UINT_PTR layout) : layout_(reinterpret_cast<HKL>(layout)) {}
    HKL askLastFocusKeyboardLayout() override { return layout_; }

  private:
    HKL layout_;
};

TEST_F(Manager, TheFocusedFieldsLayoutPicksTheLanguage) {
    struct Case {
        UINT_PTR layout;
        const wchar_t* language;
    } cases[] = {{0x04070407, L"German"},
                 {0x04090409, L"English"},
                 {0x04190419, L"English"},   // Russian has no module here
                 {0x000000C8, L"English"}};  // a language of no table
    for (const Case& c : cases) {
        FocusLayout focus(c.layout);
        HookLibrary* previous = setHookLibrary(&focus);
        EXPECT_TRUE(mgr_.selectLanguageOfFocus());
        setHookLibrary(previous);
        EXPECT_EQ(mgr_.currentLanguage(), c.language) << std::hex << c.layout;
    }
}

TEST_F(Manager, TheProcessLocaleIsLeftAlone) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_TRUE(mgr_.setCurrentLanguage(L"German"));
    mgr_.getModule(L"German")->loadProfiles();
    EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before) << "each module keeps its own locale";
    EXPECT_EQ(mgr_.getModule(L"German")->locale().codePage(), 1252u);
}

TEST_F(Manager, ProfilesComeFromTheCurrentLanguage) {
    ASSERT_TRUE(mgr_.setCurrentLanguage(L"English"));
    RecProfile* input = mgr_.getProfileForInput();
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(input->name, L"#sys-default");
    EXPECT_EQ(input->module(), mgr_.getModule(L"English"));
    EXPECT_EQ(mgr_.getDefaultProfile(), input);
    EXPECT_EQ(mgr_.getCurrentProfile(), input);
    EXPECT_TRUE(mgr_.hasProfile(L"#sys-macro"));
    ASSERT_TRUE(mgr_.setCurrentLanguage(L"German"));
    EXPECT_FALSE(mgr_.hasProfile(L"#sys-macro")) << "macros are English only";
    EXPECT_EQ(mgr_.getProfileForInput()->module(), mgr_.getModule(L"German"));
    EXPECT_EQ(mgr_.findProfile(L"#sys-numeric")->name, L"#sys-numeric");
    EXPECT_EQ(mgr_.findProfile(L"nothing"), nullptr);
}

TEST_F(Manager, TheRecognizerInfoShowsTheRegisteredSign) {
    std::wstring info;
    ASSERT_TRUE(mgr_.getRecognizerInfo(L"German", info));
    EXPECT_EQ(info.find(L"(R)"), std::wstring::npos);
    EXPECT_EQ(info.rfind(L"VexaScript\u00AE Handwriting Recognizer", 0), 0u) << rt::narrow(info);
    std::wstring current;
    ASSERT_TRUE(mgr_.getRecognizerInfo(nullptr, current));
    EXPECT_EQ(current, info);
    EXPECT_FALSE(mgr_.getRecognizerInfo(L"Russian", info));
    EXPECT_EQ(info, L"");
}

TEST(SystemProfileNames, AreExactAndCaseSensitive) {
    struct Case {
        const wchar_t* name;
        bool system;
    } cases[] = {{L"#sys-default", true},
                 {L"#sys-macro", true},
                 {L"#sys-numeric", true},
                 {L"#sys-correct", true},
                 {L"#SYS-DEFAULT", false},
                 {L"#sys-default ", false},
                 {L"", false},
                 {nullptr, false},
                 {L"default", false}};
    for (const Case& c : cases)
        EXPECT_EQ(RecMgr::isSystemProfileName(c.name), c.system)
            << (c.name ? rt::narrow(c.name) : "null");
}

TEST(ModulePaths, RelativeNamesLandInTheEngineOrDataFolder) {
    rt::EnglishModule e;
    const std::wstring engine = rt::binFolder() + L"\\English";
    const std::wstring data = e.data.path() + L"\\English";
    struct Case {
        const wchar_t* name;
        const wchar_t* extension;
        bool inData;
        std::wstring path;
    } cases[] = {
        {L"standard", nullptr, false, engine + L"\\standard"},
        {L"custom", L"", true, data + L"\\custom"},
        {L"default", L".voc", true, data + L"\\default.voc"},
        {L"C:\\lists\\mine", L".voc", true, L"C:\\lists\\mine"},
        {L"\\\\server\\share\\mine", L".voc", false, L"\\\\server\\share\\mine"},
        {L"\\mine", L".voc", true, L"\\mine"},
    };
    for (const Case& c : cases) {
        std::wstring path;
        ASSERT_TRUE(e.module->makeFilePath(c.name, c.extension, c.inData, path));
        EXPECT_EQ(path, c.path) << rt::narrow(c.name);
    }
    std::wstring none;
    EXPECT_FALSE(e.module->makeFilePath(nullptr, L".voc", true, none));
    EXPECT_EQ(e.module->getProfilesFilePath(), data + L"\\profiles.xml");
}

}  // namespace
