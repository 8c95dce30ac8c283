// User dictionaries and their ".voc" files: load, add, save, reload, the
// one-time conversion of the old format, empty dictionaries, damaged files.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "../support/TraceCapture.h"
#include "RecTestSupport.h"

namespace {

const char kHeader[] = "Nubo dict v.1.01  ";

std::vector<std::wstring> wordsOf(RecProfile& p, const std::wstring& key) {
    std::vector<std::wstring> words;
    p.enumUserDictWords(
        key,
        [](const wchar_t* w, void* out) {
            static_cast<std::vector<std::wstring>*>(out)->push_back(w);
            return 1;
        },
        &words);
    return words;
}

bool has(const std::vector<std::wstring>& words, const wchar_t* word) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

class UserDicts : public ::testing::Test {
  protected:
    TempDir data_;
    rt::MessageCollector messages_;
    std::unique_ptr<RecVexaModule> module_;

    std::wstring languageFolder() const { return data_.path() + L"\\English"; }
    std::wstring file(const wchar_t* name) const { return languageFolder() + L"\\" + name; }

    // A module over the data folder, as at program start.
    RecVexaModule& start() {
        module_.reset();
        module_ = std::make_unique<RecVexaModule>(rt::englishLibrary(), L"English", data_.path());
        EXPECT_TRUE(module_->load());
        return *module_;
    }
    // A profile of the module with its own dictionaries and a context.
    RecProfile& userProfile(const wchar_t* name, std::vector<std::wstring> dicts) {
        RecProfile p(module_.get());
        p.name = name;
        p.userDicts = std::move(dicts);
        EXPECT_TRUE(module_->addProfile(p, true));
        RecProfile* stored = module_->findProfile(name);
        EXPECT_TRUE(stored->createRecContext());
        return *stored;
    }
    RecProfile& defaultProfile() { return *module_->findProfile(L"#sys-default"); }
    std::wstring defaultKey() { return defaultProfile().userDictKey(L"default"); }
};

TEST_F(UserDicts, KeysAreLowerCasedPathsInTheLanguageFolder) {
    start();
    RecProfile& p = defaultProfile();
    std::wstring expected = file(L"default.voc");
    CharLowerW(&expected[0]);
    EXPECT_EQ(defaultKey(), expected);
    EXPECT_EQ(p.userDictKey(L"DEFAULT"), expected) << "capitals meet in one entry";
    EXPECT_EQ(p.userDictKey(L"C:\\elsewhere\\Words.Txt"), L"c:\\elsewhere\\words.txt")
        << "an absolute name gets no extension";
    ASSERT_NE(p.findUserDict(nullptr), nullptr);
    EXPECT_EQ(p.findUserDict(nullptr)->name(), expected);
    EXPECT_TRUE(p.usesUserDict(expected));
}

TEST_F(UserDicts, WordsAddedAndSavedComeBackOnTheNextStart) {
    start();
    RecProfile& p = defaultProfile();
    const std::wstring key = defaultKey();
    EXPECT_FALSE(rt::exists(key)) << "a missing file is a new, empty dictionary";
    EXPECT_TRUE(wordsOf(p, key).empty());
    ASSERT_TRUE(p.addWord(p.findUserDict(key.c_str())->handle(), L"Zorvane"));
    ASSERT_TRUE(p.addWord(p.findUserDict(key.c_str())->handle(), L"scribbling"));
    ASSERT_TRUE(p.saveUserDict(key, true));
    EXPECT_EQ(rt::readBytes(key).compare(0, 18, kHeader), 0) << "the engine's dump, as it is";
    EXPECT_FALSE(rt::exists(key + L".BAK")) << "nothing was there to keep";

    ASSERT_TRUE(p.reloadUserDict(nullptr));
    EXPECT_TRUE(has(wordsOf(p, key), L"Zorvane"));

    start();
    const auto words = wordsOf(defaultProfile(), key);
    EXPECT_TRUE(has(words, L"Zorvane"));
    EXPECT_TRUE(has(words, L"scribbling"));
    EXPECT_TRUE(defaultProfile().checkWord(L"Zorvane"));
    EXPECT_TRUE(messages_.texts().empty());
}

// Every save in one profile reloads the file in the others: the engine's old
// copy must be dropped each time, or its context runs out of room and the
// user is told the dictionary feature is off.
TEST_F(UserDicts, AThousandReloadsKeepTheDictionaryOn) {
    start();
    RecProfile& p = defaultProfile();
    const std::wstring key = defaultKey();
    ASSERT_TRUE(p.addWord(p.findUserDict(key.c_str())->handle(), L"Zorvane"));
    ASSERT_TRUE(p.saveUserDict(key, false));
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(p.reloadUserDict(nullptr)) << "reload " << i;
    EXPECT_TRUE(p.checkWord(L"Zorvane"));
    EXPECT_TRUE(messages_.texts().empty());
}

TEST_F(UserDicts, AnOldFormatFileIsConvertedOnceAndKeptAsBak) {
    ASSERT_TRUE(CreateDirectoryW(languageFolder().c_str(), nullptr));
    const std::string old = "Zorvane\r\nscribbling\r\n";
    ASSERT_TRUE(rt::writeBytes(file(L"default.voc"), old));
    start();
    const std::wstring key = defaultKey();
    EXPECT_EQ(rt::readBytes(key + L".BAK"), old);
    EXPECT_EQ(rt::readBytes(key).compare(0, 18, kHeader), 0);
    EXPECT_TRUE(has(wordsOf(defaultProfile(), key), L"scribbling"));
    ASSERT_EQ(messages_.texts().size(), 1u);
    EXPECT_EQ(messages_.texts()[0], L"User dictionary " + key +
                                        L" has been converted to new format.\nThe old dictionary "
                                        L"was saved as " +
                                        key + L".BAK");

    messages_.clear();
    start();
    EXPECT_TRUE(messages_.texts().empty()) << "converted once";
    EXPECT_EQ(rt::readBytes(key + L".BAK"), old);
}

TEST_F(UserDicts, TheHeaderDecidesTheFormatBy18Bytes) {
    ASSERT_TRUE(CreateDirectoryW(languageFolder().c_str(), nullptr));
    // 17 bytes: an old list (one word), converted and backed up.
    ASSERT_TRUE(rt::writeBytes(file(L"default.voc"), "seventeen letters"));
    start();
    EXPECT_TRUE(rt::exists(defaultKey() + L".BAK"));
    // Exactly the 18 header bytes: the current format, never converted.
    DeleteFileW((defaultKey() + L".BAK").c_str());
    ASSERT_TRUE(rt::writeBytes(file(L"default.voc"), kHeader));
    messages_.clear();
    start();
    EXPECT_FALSE(rt::exists(defaultKey() + L".BAK"));
    EXPECT_FALSE(messages_.saw(L"converted"));
}

TEST_F(UserDicts, AnEmptyDictionaryHasNoFile) {
    start();
    RecProfile& p = defaultProfile();
    const std::wstring key = defaultKey();
    ASSERT_TRUE(p.addWord(p.findUserDict(key.c_str())->handle(), L"Zorvane"));
    ASSERT_TRUE(p.saveUserDict(key, false));
    ASSERT_TRUE(rt::exists(key));
    ASSERT_TRUE(p.clearUserDict(key));
    EXPECT_TRUE(p.saveUserDict(key, false));
    EXPECT_FALSE(rt::exists(key)) << "a dump of size 0 deletes the file";
    EXPECT_TRUE(p.saveUserDict(key, false)) << "and saving again still succeeds";
    // With a backup the words of the deleted file stay in it.
    ASSERT_TRUE(p.addWord(p.findUserDict(key.c_str())->handle(), L"Zorvane"));
    ASSERT_TRUE(p.saveUserDict(key, false));
    const std::string saved = rt::readBytes(key);
    ASSERT_TRUE(p.clearUserDict(key));
    EXPECT_TRUE(p.saveUserDict(key, true));
    EXPECT_FALSE(rt::exists(key));
    EXPECT_EQ(rt::readBytes(key + L".BAK"), saved);
}

TEST_F(UserDicts, ADamagedFileIsRefusedAndLeftAsItIs) {
    // A real dump to damage.
    start();
    RecProfile& p = defaultProfile();
    const std::wstring key = defaultKey();
    ASSERT_TRUE(p.addWord(p.findUserDict(key.c_str())->handle(), L"Zorvane"));
    ASSERT_TRUE(p.addWord(p.findUserDict(key.c_str())->handle(), L"scribbling"));
    ASSERT_TRUE(p.saveUserDict(key, false));
    const std::string dump = rt::readBytes(key);
    module_.reset();

    struct Case {
        const char* what;
        std::string bytes;
        const char* trace;
    } cases[] = {
        {"cut short", dump.substr(0, dump.size() - 3), "LoadUserDictFromFile: the engine refused"},
        {"garbage after the header", std::string(kHeader) + "\x01\xff\x7f\x02",
         "LoadUserDictFromFile: the engine refused"},
        // The library would read such a file only up to its first NUL.
        {"garbage with NUL bytes", std::string("\x00\x13\x8f\xfe\x01\x02garbage\x00\x1b", 16),
         "holds a NUL byte"},
        {"a list with a NUL byte", std::string("alpha\r\n\0beta\r\n", 14), "holds a NUL byte"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(rt::writeBytes(key, c.bytes)) << c.what;
        messages_.clear();
        TraceCapture traces;
        start();
        RecProfile& again = defaultProfile();
        EXPECT_EQ(again.findUserDict(key.c_str()), nullptr) << c.what;
        EXPECT_TRUE(traces.contains(c.trace)) << c.what;
        EXPECT_TRUE(messages_.saw(L"Error while loading the user dictionary -  " + key +
                                  L"\nUser dictionary feature is turned off."))
            << c.what;
        EXPECT_FALSE(again.saveUserDict(key, true)) << c.what;
        EXPECT_EQ(rt::readBytes(key), c.bytes) << c.what << ": the user's file is untouched";
        EXPECT_FALSE(rt::exists(key + L".BAK")) << c.what;
        // Recognition goes on without the dictionary.
        const auto list = rt::recognize(again, rt::inkOf("house"));
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(rt::textOf(*list), L"house");
    }
}

TEST_F(UserDicts, AFileThatCannotBeOpenedIsNotTakenForANewDictionary) {
    start();
    const std::wstring key = defaultKey();
    module_.reset();
    ASSERT_TRUE(rt::writeBytes(key, "Zorvane\r\n"));
    HANDLE locked = CreateFileW(key.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    TraceCapture traces;
    start();
    CloseHandle(locked);
    EXPECT_EQ(defaultProfile().findUserDict(key.c_str()), nullptr);
    EXPECT_TRUE(traces.contains("ERROR while reading")) << traces.text();
    EXPECT_EQ(rt::readBytes(key), "Zorvane\r\n");
    EXPECT_FALSE(rt::exists(key + L".BAK"));
}

TEST_F(UserDicts, ProfilesSharingAFileSeeEachOthersSavedWords) {
    start();
    RecProfile& a = userProfile(L"a", {L"Shared"});
    RecProfile& b = userProfile(L"b", {L"shared"});
    const std::wstring key = a.userDictKey(L"shared");
    ASSERT_EQ(b.userDictKey(L"SHARED"), key);
    ASSERT_TRUE(a.addWord(a.findUserDict(key.c_str())->handle(), L"Zorvane"));
    EXPECT_FALSE(has(wordsOf(b, key), L"Zorvane"));
    ASSERT_TRUE(a.saveUserDict(key, true));
    EXPECT_TRUE(module_->refreshUserDictInOtherProfiles(&a, key));
    EXPECT_TRUE(has(wordsOf(b, key), L"Zorvane"));

    PSO_HUSERDICT handle = nullptr;
    PSO_HRC context = nullptr;
    ASSERT_TRUE(module_->findUserDictHandle(key, handle, context));
    EXPECT_NE(handle, nullptr);
    EXPECT_TRUE(context == a.recContext() || context == b.recContext());
    EXPECT_TRUE(module_->addWordToUserDictInAllProfiles(L"penmanship", key));
    EXPECT_TRUE(has(wordsOf(a, key), L"penmanship"));
    EXPECT_TRUE(has(wordsOf(b, key), L"penmanship"));
    EXPECT_FALSE(module_->addWordToUserDictInAllProfiles(L"\u4e16\u754c", key))
        << "a word the code page cannot hold is reported, not added as \"??\"";
    EXPECT_FALSE(has(wordsOf(a, key), L"??"));
    EXPECT_FALSE(module_->addWordToUserDictInAllProfiles(L"penmanship", key + L"-unloaded"))
        << "a word no loaded dictionary took is reported, not counted as added";
}

TEST_F(UserDicts, AMissingFileIsMadeByTheFirstSaveWithWords) {
    start();
    RecProfile& p = userProfile(L"notes", {L"notes"});
    const std::wstring key = p.userDictKey(L"notes");
    ASSERT_NE(p.findUserDict(key.c_str()), nullptr);
    EXPECT_TRUE(p.saveUserDict(key, true));
    EXPECT_FALSE(rt::exists(key));
    ASSERT_TRUE(p.addWord(p.findUserDict(key.c_str())->handle(), L"Zorvane"));
    EXPECT_TRUE(p.saveUserDict(key, true));
    EXPECT_TRUE(rt::exists(key));
}

TEST_F(UserDicts, WithoutAContextEveryDictionaryOperationFails) {
    start();
    RecProfile p(module_.get());
    p.name = L"idle";
    p.userDicts = {L"idle"};
    const std::wstring key = p.userDictKey(L"idle");
    EXPECT_FALSE(p.loadUserDict(L"idle", false));
    EXPECT_FALSE(p.loadUserDicts(false));
    EXPECT_FALSE(p.reloadUserDict(nullptr));
    EXPECT_FALSE(p.saveUserDict(key, true));
    EXPECT_FALSE(p.clearUserDict(key));
    EXPECT_EQ(p.findUserDict(nullptr), nullptr);
    EXPECT_FALSE(p.addWord(nullptr, L"word"));
}

// What the user is shown, and whether another thread could take the profile
// lock of the watched module at that moment: a box shown while the lock is
// held stops every thread that needs the profiles (the program's main thread
// among them) until the user closes it.
class LockWatchingMessages {
  public:
    struct Shown {
        std::wstring text;
        bool lockFree;
    };
    explicit LockWatchingMessages(RecModule* watched) {
        watched_ = watched;
        shown_.clear();
        previous_ = setRecMessageSink(&LockWatchingMessages::show);
    }
    ~LockWatchingMessages() {
        setRecMessageSink(previous_);
        for (std::thread& t : waiting_) t.join();
        waiting_.clear();
    }
    static const std::vector<Shown>& shown() { return shown_; }

  private:
    static int show(const wchar_t* text, UINT) {
        auto taken = std::make_shared<std::atomic<bool>>(false);
        RecModule* module = watched_;
        std::thread other([module, taken] {
            RecModule::ProfileLock lock = module->lockProfiles();
            *taken = true;
        });
        for (int i = 0; i < 100 && !*taken; ++i) Sleep(10);
        shown_.push_back(Shown{text, *taken});
        // A thread still waiting gets the lock once its holder lets go.
        waiting_.push_back(std::move(other));
        return IDOK;
    }
    static RecModule* watched_;
    static std::vector<Shown> shown_;
    static std::vector<std::thread> waiting_;
    RecMessageSink previous_;
};
RecModule* LockWatchingMessages::watched_ = nullptr;
std::vector<LockWatchingMessages::Shown> LockWatchingMessages::shown_;
std::vector<std::thread> LockWatchingMessages::waiting_;

TEST_F(UserDicts, NoMessageIsShownWhileTheProfilesAreLocked) {
    ASSERT_TRUE(CreateDirectoryW(languageFolder().c_str(), nullptr));
    struct Case {
        const char* what;
        std::function<void()> arrange;
        const wchar_t* message;
    } cases[] = {
        {"a refused profiles file",
         [&] {
             ASSERT_TRUE(rt::writeBytes(file(L"profiles.xml"),
                                        "<profiles><profile name=\"x\" enabled=\"false\"/>"
                                        "</profiles>"));
         },
         L"Error during recognition profiles loading for English."},
        {"a dictionary in the old format",
         [&] { ASSERT_TRUE(rt::writeBytes(file(L"mine.voc"), "Zorvane\r\n")); },
         L"has been converted to new format."},
        {"a dictionary that cannot be read",
         [&] { ASSERT_TRUE(rt::writeBytes(file(L"mine.voc"), std::string("\x01\x02", 2))); },
         L"Error while loading the user dictionary"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteFileW(file(L"profiles.xml").c_str());
        DeleteFileW(file(L"mine.voc").c_str());
        DeleteFileW(file(L"mine.voc.BAK").c_str());
        c.arrange();
        auto module =
            std::make_unique<RecVexaModule>(rt::englishLibrary(), L"English", data_.path());
        // (Ends before the module: it waits for the threads that took its lock.)
        LockWatchingMessages messages(module.get());
        module->load();
        if (module->findProfile(L"#sys-default")) {
            RecProfile mine(module.get());
            mine.name = L"mine";
            mine.userDicts = {L"mine"};
            ASSERT_TRUE(module->addProfile(mine, true));
            // As the recognition thread does: the lock for the whole writing,
            // whose first session makes the context and loads the dictionaries.
            RecModule::ProfileLock lock = module->lockProfiles();
            module->findProfile(L"mine")->startSession(0);
            EXPECT_TRUE(LockWatchingMessages::shown().empty()) << "not while the lock is held";
        }
        ASSERT_EQ(LockWatchingMessages::shown().size(), 1u);
        EXPECT_NE(LockWatchingMessages::shown()[0].text.find(c.message), std::wstring::npos)
            << rt::narrow(LockWatchingMessages::shown()[0].text);
        EXPECT_TRUE(LockWatchingMessages::shown()[0].lockFree)
            << "the message was shown while the profiles were locked";
    }
}

}  // namespace
