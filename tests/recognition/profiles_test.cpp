// Recognition profiles and "profiles.xml": the first start, system profiles
// put back after hand edits, user profiles through save and reload, refused
// and damaged files, copies and contexts, and profiles used from two threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "../support/FileHolder.h"
#include "RecTestSupport.h"
#include "recognition/LanguageTables.h"
#include "xml/LiteDom.h"

namespace {

const char kProfilesStart[] = "<profiles>\r\n";

class Profiles : public ::testing::Test {
  protected:
    TempDir data_;
    rt::MessageCollector messages_;
    std::unique_ptr<RecVexaModule> module_;

    std::wstring folder(const wchar_t* language = L"English") const {
        return data_.path() + L"\\" + language;
    }
    std::wstring file(const wchar_t* language = L"English") const {
        return folder(language) + L"\\profiles.xml";
    }
    RecVexaModule& start(const wchar_t* language = L"English") {
        module_.reset();
        module_ = std::make_unique<RecVexaModule>(rt::englishLibrary(), language, data_.path());
        EXPECT_TRUE(module_->load());
        return *module_;
    }
    // Writes the file as a user would leave it, before the module starts.
    void writeFile(const std::string& text, const wchar_t* language = L"English") {
        CreateDirectoryW(folder(language).c_str(), nullptr);
        ASSERT_TRUE(rt::writeBytes(file(language), text));
    }
    RecProfile& profile(const wchar_t* name) {
        RecProfile* p = module_->findProfile(name);
        EXPECT_NE(p, nullptr) << rt::narrow(name);
        static RecProfile none(nullptr);
        return p ? *p : none;
    }
    // The profile element of that name in the file on disk.
    bool elementOf(const wchar_t* name, CLiteElem& out, CLiteDom& dom) {
        if (!dom.load(file().c_str())) return false;
        CLiteElem root;
        return dom.getRoot(root) && root.findChildByAttr(out, L"profile", L"name", name);
    }
    std::wstring attr(const wchar_t* profileName, const wchar_t* attribute) {
        CLiteDom dom;
        CLiteElem e;
        std::wstring value = L"(no profile)";
        if (elementOf(profileName, e, dom) && !e.getAttrString(attribute, value))
            value = L"(absent)";
        return value;
    }
};

TEST_F(Profiles, TheFirstStartWritesTheSystemProfiles) {
    start();
    ASSERT_TRUE(rt::exists(file()));
    EXPECT_FALSE(rt::exists(file() + L".bak")) << "there was nothing to keep";
    EXPECT_EQ(module_->profileNames(), (std::vector<std::wstring>{L"#sys-correct", L"#sys-default",
                                                                  L"#sys-macro", L"#sys-numeric"}));
    const std::string text = rt::readBytes(file());
    EXPECT_EQ(text.rfind(kProfilesStart, 0), 0u) << "no declaration, CRLF lines: " << text;
    EXPECT_LT(text.find("name=\"#sys-correct\""), text.find("name=\"#sys-default\""))
        << "profiles in the order of their names";
    struct Expect {
        const wchar_t* profile;
        const wchar_t* attribute;
        const wchar_t* value;
    } expected[] = {
        {L"#sys-default", L"description", L"System default profile"},
        {L"#sys-default", L"lexGenFile", L"default"},
        {L"#sys-default", L"userDicts", L"default"},
        {L"#sys-default", L"softBreaksOnly", L"false"},
        {L"#sys-default", L"recTimeout", L"1200"},
        {L"#sys-default", L"enableGate", L"false"},
        {L"#sys-default", L"capitalization", L"(absent)"},
        {L"#sys-default", L"useRecCtxFromProfile", L"(absent)"},
        {L"#sys-correct", L"recTimeout", L"900"},
        {L"#sys-correct", L"sepLet", L"true"},
        {L"#sys-correct", L"userDicts", L"(absent)"},
        {L"#sys-macro", L"lexGenFile", L"empty"},
        {L"#sys-macro", L"wordSegm", L"false"},
        {L"#sys-macro", L"userDicts", L"#sys-macro"},
        {L"#sys-numeric", L"lexGenFile", L"numeric"},
        {L"#sys-numeric", L"addSpaceAfter", L"false"},
    };
    for (const Expect& e : expected)
        EXPECT_EQ(attr(e.profile, e.attribute), e.value)
            << rt::narrow(e.profile) << " " << rt::narrow(e.attribute);
    EXPECT_EQ(module_->getCurrentProfile(), module_->findProfile(L"#sys-default"));
    EXPECT_TRUE(profile(L"#sys-macro").hasRecContext()) << "English preloads its macro profile";
    EXPECT_TRUE(messages_.texts().empty());

    start(L"German");
    EXPECT_EQ(module_->profileNames(),
              (std::vector<std::wstring>{L"#sys-correct", L"#sys-default", L"#sys-numeric"}));
}

// Contexts are made ahead only for the system profiles of a language with an
// installed keyboard layout; English keeps its macro profile ready without one.
TEST_F(Profiles, SystemProfilesArePreloadedOnlyWithAKeyboardLayout) {
    const HKL english = reinterpret_cast<HKL>(0x04090409);
    const HKL german = reinterpret_cast<HKL>(0x04070407);
    using Names = std::vector<std::wstring>;
    struct Case {
        const wchar_t* language;
        HKL layout;
        Names preloaded;
    } cases[] = {
        {L"English", english, {L"#sys-correct", L"#sys-default", L"#sys-macro", L"#sys-numeric"}},
        {L"English", german, {L"#sys-macro"}},
        {L"German", german, {L"#sys-correct", L"#sys-default", L"#sys-numeric"}},
        {L"German", english, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(rt::narrow(c.language) + " with the layout " +
                     std::to_string(reinterpret_cast<uintptr_t>(c.layout)));
        LanguageTables::setProcessLayoutSource(
            [&](int) { return std::vector<HKL>{c.layout}; });
        // A user profile besides, which is never made ahead.
        writeFile("<profiles><profile name=\"mine\"/></profiles>", c.language);
        start(c.language);
        LanguageTables::setProcessLayoutSource(nullptr);
        Names preloaded;
        for (const std::wstring& name : module_->profileNames())
            if (module_->findProfile(name.c_str())->hasRecContext()) preloaded.push_back(name);
        EXPECT_EQ(preloaded, c.preloaded);
        EXPECT_TRUE(messages_.texts().empty());
    }
}

TEST_F(Profiles, ALoadWithNothingToRepairLeavesTheFileAlone) {
    start();
    {
        RecProfile mine(module_.get());
        mine.name = L"Caf\u00e9 notes";  // a text that once needed the code page repair
        mine.description = L"r\u00e9sum\u00e9s";
        ASSERT_TRUE(module_->addProfile(mine, false));
    }
    ASSERT_TRUE(module_->saveProfiles(false));
    const std::string saved = rt::readBytes(file());
    for (int i = 0; i < 2; ++i) {
        start();
        EXPECT_FALSE(module_->profilesChanged());
        EXPECT_EQ(rt::readBytes(file()), saved);
        EXPECT_FALSE(rt::exists(file() + L".bak")) << "no save, so no backup";
    }
    EXPECT_EQ(profile(L"Caf\u00e9 notes").description, L"r\u00e9sum\u00e9s");
}

TEST_F(Profiles, AHandEditedSystemProfileIsPutBack) {
    struct Case {
        const char* what;
        std::string edited;  // the profile element as the user left it
        const wchar_t* name;
        std::function<void(const RecProfile&)> check;
    } cases[] = {
        {"#sys-numeric reads words again",
         "<profile name=\"#sys-numeric\" lexGenFile=\"numeric\" sepLet=\"false\"/>",
         L"#sys-numeric",
         [](const RecProfile& p) {
             EXPECT_TRUE(p.sepLet);
             EXPECT_EQ(p.description, L"System numeric profile");
             EXPECT_FALSE(p.wordSegm);
         }},
        {"#sys-macro with a dictionary of its own",
         "<profile name=\"#sys-macro\" lexGenFile=\"default\" userDicts=\"mine\"/>", L"#sys-macro",
         [](const RecProfile& p) {
             EXPECT_EQ(p.lexGenFile(), L"empty");
             EXPECT_EQ(p.userDicts, std::vector<std::wstring>{L"#sys-macro"});
         }},
        {"#sys-default keeps what the user may tune",
         "<profile name=\"#sys-default\" lexGenFile=\"numeric\" lexGenStandard=\"false\" "
         "userDicts=\"other\" capitalization=\"all\" addSpaceAfter=\"false\" recTimeout=\"800\"/>",
         L"#sys-default",
         [](const RecProfile& p) {
             EXPECT_EQ(p.lexGenFile(), L"default");
             EXPECT_TRUE(p.lexGenStandard);
             EXPECT_EQ(p.userDicts, std::vector<std::wstring>{L"default"});
             EXPECT_EQ(p.capitalization, kCapsAll);
             EXPECT_FALSE(p.addSpaceAfter);
             EXPECT_EQ(p.recTimeout, 800);
         }},
    };
    for (const Case& c : cases) {
        const std::string text = "<profiles>" + c.edited + "</profiles>";
        writeFile(text);
        DeleteFileW((file() + L".bak").c_str());
        start();
        c.check(profile(c.name));
        EXPECT_EQ(rt::readBytes(file() + L".bak"), text) << c.what << ": the old file is kept";
        start();
        c.check(profile(c.name));
        EXPECT_FALSE(module_->profilesChanged()) << c.what << ": repaired once";
    }
}

TEST_F(Profiles, AUserProfileSurvivesSaveAndReload) {
    start();
    auto made = std::make_unique<RecProfile>(module_.get());
    RecProfile& mine = *made;
    mine.name = L"Names | places";
    mine.description = L"People and towns";
    mine.setLexGenFile(L"numeric.BAN");
    mine.lexGenStandard = false;
    mine.sepLet = true;
    mine.wordSegm = false;
    mine.softBreaksOnly = false;
    mine.wordMultiLine = true;
    mine.addSpaceAfter = false;
    mine.capitalization = kCapsFirst;
    mine.gateDisabled = false;
    mine.preloadContext = false;
    mine.recTimeout = 500;
    mine.userDicts = {L"names", L"towns|villages"};
    EXPECT_EQ(mine.lexGenFile(), L"numeric") << "the extension is cut in any case";
    ASSERT_TRUE(module_->addProfile(mine, false));
    EXPECT_FALSE(module_->addProfile(mine, false)) << "a second profile of that name";
    ASSERT_TRUE(module_->saveProfiles(true));
    EXPECT_TRUE(rt::exists(file() + L".bak"));
    made.reset();  // a profile never outlives its module

    start();
    const RecProfile& back = profile(L"Names | places");
    EXPECT_EQ(back.description, L"People and towns");
    EXPECT_EQ(back.lexGenFile(), L"numeric");
    EXPECT_FALSE(back.lexGenStandard);
    EXPECT_TRUE(back.sepLet);
    EXPECT_FALSE(back.wordSegm);
    EXPECT_FALSE(back.softBreaksOnly);
    EXPECT_TRUE(back.wordMultiLine);
    EXPECT_FALSE(back.addSpaceAfter);
    EXPECT_EQ(back.capitalization, kCapsFirst);
    EXPECT_FALSE(back.gateDisabled);
    EXPECT_FALSE(back.preloadContext);
    EXPECT_EQ(back.recTimeout, 500);
    EXPECT_EQ(back.userDicts, (std::vector<std::wstring>{L"names", L"towns|villages"}));
    EXPECT_FALSE(back.hasRecContext()) << "only system profiles are preloaded";
    EXPECT_EQ(attr(L"Names || places", L"capitalization"), L"first")
        << "a bar in a name is doubled";
    EXPECT_EQ(attr(L"Names || places", L"userDicts"), L"names|towns||villages");

    EXPECT_TRUE(module_->removeProfile(L"Names | places"));
    EXPECT_FALSE(module_->removeProfile(L"Names | places"));
    ASSERT_TRUE(module_->saveProfiles(true));
    start();
    EXPECT_EQ(module_->findProfile(L"Names | places"), nullptr);
}

TEST_F(Profiles, ValuesTheSchemaDoesNotKnowAreLeftAtTheirDefaults) {
    writeFile(
        "<profiles><profile name=\"loud\" capitalization=\"shout\" lexGenFile=\"default.Ban\" "
        "colour=\"red\"/></profiles>");
    start();
    const RecProfile& p = profile(L"loud");
    EXPECT_EQ(p.capitalization, kCapsNotSet);
    EXPECT_EQ(p.lexGenFile(), L"default");
    ASSERT_TRUE(module_->saveProfiles(false));
    EXPECT_EQ(attr(L"loud", L"capitalization"), L"(absent)");
}

TEST_F(Profiles, AFileWithoutProfilesGetsTheSystemOnesAndABackup) {
    writeFile("<profiles/>");
    start();
    EXPECT_EQ(module_->profileNames().size(), 4u);
    EXPECT_EQ(rt::readBytes(file() + L".bak"), "<profiles/>");
    EXPECT_TRUE(messages_.texts().empty());
}

TEST_F(Profiles, ARefusedProfileEndsTheLoadAndIsReported) {
    const std::string good = "<profile name=\"a-first\"/>";
    const std::string after = "<profile name=\"z-after\"/>";
    struct Case {
        const char* what;
        std::string profile;
        bool refused;
    } cases[] = {
        {"disabled", "<profile name=\"m\" enabled=\"false\"/>", true},
        {"another language", "<profile name=\"m\" onlyForLanguage=\"German\"/>", true},
        {"a pattern of the language", "<profile name=\"m\" onlyForLanguage=\"Eng*\"/>", false},
        {"a list with the language", "<profile name=\"m\" onlyForLanguage=\"German|English\"/>",
         false},
        {"borrows a context and has dictionaries",
         "<profile name=\"m\" useRecCtxFromProfile=\"#sys-default\" userDicts=\"\"/>", true},
        {"borrows a context", "<profile name=\"m\" useRecCtxFromProfile=\"#sys-default\"/>", false},
        {"a second profile of a name", "<profile name=\"a-first\" sepLet=\"true\"/>", true},
    };
    for (const Case& c : cases) {
        const std::string text = "<profiles>" + good + c.profile + after + "</profiles>";
        writeFile(text);
        DeleteFileW((file() + L".bak").c_str());
        messages_.clear();
        start();
        EXPECT_NE(module_->findProfile(L"a-first"), nullptr) << c.what;
        if (c.refused) {
            EXPECT_TRUE(
                messages_.saw(L"Error during recognition profiles loading for English.\n"
                              L"Recognition in English will not work correctly.\n"
                              L"Please set right English profiles or reinstall Scribix"))
                << c.what;
            EXPECT_EQ(module_->findProfile(L"z-after"), nullptr) << c.what;
            EXPECT_EQ(module_->findProfile(L"#sys-default"), nullptr) << c.what;
            EXPECT_EQ(module_->getCurrentProfile(), module_->findProfile(L"a-first")) << c.what;
            EXPECT_EQ(rt::readBytes(file()), text) << c.what << ": the file stays as it is";
        } else {
            EXPECT_TRUE(messages_.texts().empty()) << c.what;
            EXPECT_NE(module_->findProfile(L"m"), nullptr) << c.what;
            EXPECT_NE(module_->findProfile(L"z-after"), nullptr) << c.what;
            EXPECT_NE(module_->findProfile(L"#sys-default"), nullptr) << c.what;
        }
    }
}

// A file that is there but cannot be read as profiles, whether damaged or
// held by another program that lets no one read it: the loading message, no
// system profile added, no profiles at all, and the user's file exactly as it
// was (not moved, not copied, not written).
TEST_F(Profiles, ADamagedOrUnreadableFileIsReportedAndLeftAsItIs) {
    const std::string good = "<profiles><profile name=\"mine\"/></profiles>";
    struct Case {
        const char* what;
        std::string bytes;
        bool held;  // by another program that lets others move it but not read it
    } cases[] = {
        {"cut short", "<profiles>\r\n\t<profile name=\"mine\" sepLet=\"tr", false},
        {"not a profiles file", "<bindings><bind/></bindings>", false},
        {"empty", "", false},
        {"held by another program", good, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(c.bytes);
        std::unique_ptr<FileHolder> holder;
        if (c.held) {
            holder = std::make_unique<FileHolder>(file(), FILE_SHARE_DELETE);
            ASSERT_TRUE(holder->held());
        }
        messages_.clear();
        start();
        EXPECT_EQ(messages_.texts(),
                  std::vector<std::wstring>{
                      L"Error during recognition profiles loading for English.\n"
                      L"Recognition in English will not work correctly.\n"
                      L"Please set right English profiles or reinstall Scribix"});
        EXPECT_TRUE(module_->profileNames().empty());
        EXPECT_EQ(module_->getDefaultProfile(), nullptr);
        EXPECT_EQ(module_->getCurrentProfile(), nullptr);
        holder.reset();
        EXPECT_EQ(rt::readBytes(file()), c.bytes) << "the user's file is untouched";
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((folder() + L"\\*").c_str(), &found);
        std::vector<std::wstring> names;
        if (h != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
            } while (FindNextFileW(h, &found));
            FindClose(h);
        }
        EXPECT_EQ(names, std::vector<std::wstring>{L"profiles.xml"}) << "nothing made beside it";
    }
    // Once the other program lets go, the file loads as it always did.
    start();
    EXPECT_NE(module_->findProfile(L"mine"), nullptr);
    EXPECT_NE(module_->findProfile(L"#sys-default"), nullptr);
}

TEST_F(Profiles, AFailedSaveLosesNothing) {
    start();
    const std::string before = rt::readBytes(file());
    {
        RecProfile mine(module_.get());
        mine.name = L"mine";
        ASSERT_TRUE(module_->addProfile(mine, false));
    }
    // A backup that cannot be made abandons the save.
    ASSERT_TRUE(CreateDirectoryW((file() + L".bak").c_str(), nullptr));
    EXPECT_FALSE(module_->saveProfiles(true));
    EXPECT_EQ(rt::readBytes(file()), before);
    RemoveDirectoryW((file() + L".bak").c_str());
    // A file that cannot be replaced stays whole, and nothing is left beside it.
    HANDLE held = CreateFileW(file().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(module_->saveProfiles(false));
    CloseHandle(held);
    EXPECT_EQ(rt::readBytes(file()), before);
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder() + L"\\*.tmp").c_str(), &found);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "no half-written file is left";
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
    EXPECT_TRUE(module_->saveProfiles(true));
    EXPECT_EQ(rt::readBytes(file() + L".bak"), before);
}

TEST_F(Profiles, ACopyNeverOwnsTheOriginalsContext) {
    start();
    RecProfile original(module_.get());
    original.name = L"original";
    ASSERT_TRUE(original.createRecContext());
    ASSERT_TRUE(original.hasRecContext());
    {
        RecProfile copy(original);
        EXPECT_FALSE(copy.hasRecContext());
        EXPECT_EQ(copy.name, L"original");
    }
    // The copy is gone and the original's context still works.
    const auto list = rt::recognize(original, rt::inkOf("house"));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(rt::textOf(*list), L"house");

    // Storing a profile stores a copy that makes its own context.
    ASSERT_TRUE(module_->addProfile(original, false));
    RecProfile& stored = profile(L"original");
    EXPECT_FALSE(stored.hasRecContext());
    const auto again = rt::recognize(stored, rt::inkOf("garden"));
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(rt::textOf(*again), L"garden");
    EXPECT_NE(stored.recContext(), original.recContext());
    // Replacing it releases only the stored profile's own context.
    ASSERT_TRUE(module_->addProfile(original, true));
    const auto still = rt::recognize(original, rt::inkOf("house"));
    ASSERT_NE(still, nullptr);
    EXPECT_EQ(rt::textOf(*still), L"house");
}

TEST_F(Profiles, AReloadWaitsForARecognitionInProgress) {
    start();
    std::atomic<bool> stop{false};
    std::atomic<int> read{0};
    std::atomic<int> wrong{0};
    const std::vector<PSO_POINT> ink = rt::inkOf("house");
    std::thread recognizer([&] {
        while (!stop) {
            RecModule::ProfileLock lock = module_->lockProfiles();
            RecProfile* p = module_->findProfile(L"#sys-default");
            if (!p) continue;
            p->startSession(0);
            p->addInk(ink.data(), static_cast<int>(ink.size()));
            p->endSession();
            std::unique_ptr<RecWordList> list(p->getAnswers(false));
            if (!list || rt::textOf(*list) != L"house") ++wrong;
            ++read;
        }
    });
    for (int i = 0; i < 8; ++i) {
        module_->loadProfiles();
        while (read < i + 1) Sleep(1);
    }
    stop = true;
    recognizer.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_GE(read, 8);
}

}  // namespace
