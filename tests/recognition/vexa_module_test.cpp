// The recognizer library module over the installed English engine: ink from
// the handwriting generator read back as word lists, casing, word variants,
// word checks, session flags, and the library bound by name.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "../support/TraceCapture.h"
#include "RecTestSupport.h"

namespace {

using rt::EnglishModule;

class VexaModule : public ::testing::Test {
  protected:
    EnglishModule english_;
    RecVexaModule& module() { return *english_.module; }
    RecProfile& profile(const wchar_t* name) {
        RecProfile* p = module().findProfile(name);
        EXPECT_NE(p, nullptr);
        return *p;
    }
    // A user profile of the module, added and returned.
    RecProfile& addUserProfile(const wchar_t* name, int capitalization,
                               const wchar_t* lexicon = L"default") {
        RecProfile p(&module());
        p.name = name;
        p.capitalization = capitalization;
        p.setLexGenFile(lexicon);
        p.userDicts.clear();
        EXPECT_TRUE(module().addProfile(p, true));
        return profile(name);
    }
};

TEST(VexaModuleClass, IsARecModuleByName) {
    EnglishModule e;
    EXPECT_STREQ(e.module->className(), L"RecVexaModule");
    EXPECT_EQ(e.module->isKindOf(L"RecVexaModule"), 1);
    EXPECT_EQ(e.module->isKindOf(L"RecModule"), 1);
    EXPECT_EQ(e.module->isKindOf(L"VexaSuper"), 1);
    EXPECT_EQ(e.module->isKindOf(L"RecWinModule"), 0);
    EXPECT_EQ(e.module->isKindOf(L"recmodule"), 0);
    EXPECT_EQ(e.module->engineFolder(), rt::binFolder() + L"\\English");
    EXPECT_TRUE(e.module->hasGate()) << "Gate_T.dll lies in the engine folder";
    EXPECT_NE(e.module->localeLanguageId(), 0);
}

TEST(VexaModuleClass, AMissingLibraryFailsTheLoad) {
    TempDir data;
    RecVexaModule m(data.file(L"English\\VexaScript.dll"), L"English", data.path());
    EXPECT_FALSE(m.load());
    EXPECT_FALSE(m.isLibraryLoaded());
}

TEST_F(VexaModule, HandwritingComesBackAsTheWrittenWordsWithAlternatives) {
    const auto list = rt::recognize(profile(L"#sys-default"), rt::inkOf("hello world", 3));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(rt::textOf(*list), L"hello world");
    ASSERT_EQ(list->wordCount(), 2);
    EXPECT_FALSE(list->madeFromText());
    for (int w = 0; w < list->wordCount(); ++w) {
        const RecWord* word = list->wordAt(w);
        EXPECT_GE(word->altCount(), 2) << "ranked alternatives";
        for (int a = 1; a < word->altCount(); ++a)
            EXPECT_LE(word->altAt(a)->score(), word->altAt(a - 1)->score()) << "best first";
        EXPECT_GT(word->integerCount(), 0) << "the word's strokes travel with it";
    }
    EXPECT_EQ(list->wordAt(2), nullptr);
    EXPECT_EQ(list->wordAt(-1), nullptr);
}

TEST_F(VexaModule, EachStrokeAddedOnItsOwnReadsTheSame) {
    handwriting::Options o;
    o.seed = 4;
    const handwriting::Writing w = handwriting::write("garden", o);
    RecProfile& p = profile(L"#sys-default");
    RecModule::ProfileLock lock = module().lockProfiles();
    ASSERT_TRUE(p.startSession(0));
    EXPECT_TRUE(p.isSessionOpen());
    for (size_t s = 0; s < w.strokes.size(); ++s) {
        const std::vector<PSO_POINT> pts = w.strokePoints(s);
        ASSERT_TRUE(p.addInk(pts.data(), static_cast<int>(pts.size())));
    }
    ASSERT_TRUE(p.endSession());
    EXPECT_FALSE(p.isSessionOpen());
    std::unique_ptr<RecWordList> list(p.getAnswers(false));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(rt::textOf(*list), L"garden");
}

TEST_F(VexaModule, CapitalizationOfTheProfileCasesEveryAlternative) {
    struct Case {
        int capitalization;
        const char* written;
        const wchar_t* read;
    } cases[] = {
        {kCapsAll, "Garden party", L"GARDEN PARTY"},
        {kCapsFirst, "garden party", L"Garden Party"},
        {kCapsNone, "Garden Party", L"garden party"},
        {kCapsNotSet, "Garden", L"Garden"},
    };
    for (const Case& c : cases) {
        RecProfile& p = addUserProfile(L"casing", c.capitalization);
        const auto list = rt::recognize(p, rt::inkOf(c.written, 5));
        ASSERT_NE(list, nullptr) << c.written;
        EXPECT_EQ(rt::textOf(*list), c.read) << c.written;
        for (int w = 0; w < list->wordCount(); ++w) {
            for (const std::wstring& alt : rt::altsOf(*list->wordAt(w))) {
                std::wstring upper = alt, lower = alt;
                CharUpperW(&upper[0]);
                CharLowerW(&lower[0]);
                if (c.capitalization == kCapsAll) {
                    EXPECT_EQ(alt, upper);
                } else if (c.capitalization == kCapsNone) {
                    EXPECT_EQ(alt, lower);
                } else if (c.capitalization == kCapsFirst) {
                    EXPECT_EQ(alt.substr(1), lower.substr(1)) << rt::narrow(alt);
                }
            }
        }
    }
}

TEST_F(VexaModule, CasingUsesTheLanguageOfTheModule) {
    const ModuleLocale& l = module().locale();
    std::string s = "\xE9t\xE9 \xE0 la mer";  // "été à la mer" in code page 1252
    l.toUpper(s);
    EXPECT_EQ(s, "\xC9T\xC9 \xC0 LA MER");
    l.toLower(s);
    EXPECT_EQ(s, "\xE9t\xE9 \xE0 la mer");
    l.capitalizeFirst(s);
    EXPECT_EQ(s, "\xC9t\xE9 \xE0 la mer");
}

TEST_F(VexaModule, AWeakFirstAlternativeEndsTheListOnlyWhenAsked) {
    // The "empty" lexicon requires dictionary words: an unknown word is weak.
    RecProfile& p = addUserProfile(L"wordsOnly", kCapsNotSet, L"empty");
    const auto ink = rt::inkOf("house", 7);
    const auto forClient = rt::recognize(p, ink, false);
    ASSERT_NE(forClient, nullptr);
    ASSERT_EQ(forClient->wordCount(), 1);
    EXPECT_EQ(forClient->wordAt(0)->altAt(0)->score(), 1u);
    const auto forMenu = rt::recognize(p, ink, true);
    ASSERT_NE(forMenu, nullptr) << "an empty list, not null";
    EXPECT_EQ(forMenu->wordCount(), 0);
}

TEST_F(VexaModule, AnEmptySessionGivesAnEmptyList) {
    const auto list = rt::recognize(profile(L"#sys-default"), {});
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->wordCount(), 0);
    EXPECT_EQ(list->joinText(false), nullptr);
}

TEST_F(VexaModule, WordVariantsAreNearWordsOfTheLexicon) {
    RecProfile& p = profile(L"#sys-default");
    std::vector<std::wstring> variants;
    ASSERT_TRUE(p.getWordVariants(L"hause", &variants, 5));
    EXPECT_FALSE(variants.empty());
    EXPECT_LE(variants.size(), 5u);
    EXPECT_NE(std::find(variants.begin(), variants.end(), L"house"), variants.end());
    EXPECT_FALSE(p.getWordVariants(L"hause", &variants, 0));
    EXPECT_TRUE(variants.empty());
    EXPECT_FALSE(p.getWordVariants(nullptr, &variants, 5));
}

TEST_F(VexaModule, CheckWordAsksTheEngineUpTo79Characters) {
    RecProfile& p = profile(L"#sys-default");
    EXPECT_TRUE(p.checkWord(L"house"));
    EXPECT_FALSE(p.checkWord(L"qxzvq"));
    EXPECT_FALSE(p.checkWord(nullptr));
    const std::wstring w79(79, L'a'), w80(80, L'a');
    // 79 characters reach the engine (which knows no such word); 80 never do.
    EXPECT_FALSE(p.checkWord(w79.c_str()));
    EXPECT_FALSE(p.checkWord(w80.c_str()));
    PSO_HUSERDICT d = p.getFirstUserDict()->handle();
    const std::wstring long79 = std::wstring(78, L'z') + L"y";
    ASSERT_TRUE(p.addWord(d, long79.c_str()));
    EXPECT_TRUE(p.checkWord(long79.c_str())) << "a word of 79 characters is asked for";
}

TEST_F(VexaModule, TextOutsideTheCodePageIsNeverPassedOnAsQuestionMarks) {
    RecProfile& p = profile(L"#sys-default");
    const UserDict* d = p.getFirstUserDict();
    ASSERT_NE(d, nullptr);
    TraceCapture traces;
    const wchar_t* foreign = L"\u043c\u0438\u0440";  // Cyrillic: not in code page 1252
    EXPECT_FALSE(p.addWord(d->handle(), foreign));
    EXPECT_TRUE(traces.contains("cannot be written in code page 1252")) << traces.text();
    EXPECT_FALSE(p.checkWord(foreign));
    std::vector<std::wstring> variants;
    EXPECT_FALSE(p.getWordVariants(foreign, &variants, 5));
    std::vector<std::wstring> words;
    p.enumUserDictWords(
        d->name(),
        [](const wchar_t* w, void* out) {
            static_cast<std::vector<std::wstring>*>(out)->push_back(w);
            return 1;
        },
        &words);
    for (const std::wstring& w : words) EXPECT_EQ(w.find(L'?'), std::wstring::npos);
    // A word the code page holds goes in as written.
    EXPECT_TRUE(p.addWord(d->handle(), L"caf\u00e9"));
    EXPECT_TRUE(p.checkWord(L"caf\u00e9"));
}

TEST_F(VexaModule, SessionFlagsFollowTheProfileAndTheGate) {
    ASSERT_TRUE(module().hasGate());
    struct Case {
        bool sepLet, wordSegm, softBreaks, multiLine, gateDisabled, standard;
        const wchar_t* lexicon;
        uint32_t flags;
    } cases[] = {
        {false, true, false, false, true, true, L"default", 0x1 | 0x40000},
        {true, true, true, true, true, true, L"default", 0x4 | 0x1 | 0x8 | 0x10 | 0x40000},
        {false, true, false, false, false, true, L"default", 0x1},
        {false, true, false, false, false, true, L"Default", 0x1 | 0x80000},
        {false, true, false, false, false, false, L"default", 0x1 | 0x80000},
        {false, false, true, false, false, true, L"numeric", 0x8 | 0x80000},
    };
    for (const Case& c : cases) {
        RecProfile p(&module());
        p.sepLet = c.sepLet;
        p.wordSegm = c.wordSegm;
        p.softBreaksOnly = c.softBreaks;
        p.wordMultiLine = c.multiLine;
        p.gateDisabled = c.gateDisabled;
        p.lexGenStandard = c.standard;
        p.setLexGenFile(c.lexicon);
        EXPECT_EQ(p.sessionFlags(), c.flags) << rt::narrow(c.lexicon);
    }
}

TEST_F(VexaModule, AProfileThatBorrowsAContextNeverMakesOne) {
    RecProfile p(&module());
    p.name = L"borrower";
    p.useRecCtxFromProfile = L"#sys-default";
    EXPECT_TRUE(p.createRecContext());
    EXPECT_FALSE(p.hasRecContext());
    EXPECT_FALSE(p.startSession(0));
    std::unique_ptr<RecWordList> none(p.getAnswers(false));
    EXPECT_EQ(none, nullptr);
}

TEST_F(VexaModule, RecognizerInfoNamesTheLibrary) {
    char info[512] = {};
    ASSERT_EQ(module().PSO_GetRecognizerInfo(2, info), 0);
    EXPECT_NE(std::strstr(info, "VexaScript"), nullptr) << info;
}

TEST(RussianModule, PoundAndYenBytesStayWhateverTheCodePage) {
    TempDir data;
    RecVexaModule russian(rt::englishLibrary(), L"Russian", data.path());
    ASSERT_NE(russian.localeLanguageId(), 0);
    EXPECT_EQ(russian.locale().codePage(), 1251u);
    EXPECT_EQ(russian.answerToWide("\xA3\xA5\xEC\xE8\xF0"), L"\u00A3\u00A5\u043c\u0438\u0440");
    // Another language converts the whole text by its code page.
    RecVexaModule english(rt::englishLibrary(), L"English", data.path());
    EXPECT_EQ(english.answerToWide("\xA3\xA5"), L"\u00A3\u00A5");
    russian.setRussianByteMapping(false);
    EXPECT_EQ(russian.answerToWide("\xA3\xA5"), L"\u0408\u0490");
}

// A library that reports more variant records than it was given room for.
class OverstatingModule : public RecVexaModule {
  public:
    using RecVexaModule::RecVexaModule;
    int32_t PSO_GetExtraAnswerData(PSO_HRC context, int32_t block, int32_t alternative,
                                   int32_t request, int32_t index, void* buffer) override {
        if (request != PSO_EXTRA_WORD_VARIANTS) return -1;
        roomGiven = index;
        char* records = static_cast<char*>(buffer);
        for (int32_t i = 0; i < index; ++i) {
            char* r = records + i * PSO_VARIANT_RECORD;
            std::memset(r, 0, PSO_VARIANT_RECORD);
            r[0] = static_cast<char>('a' + i);
            const int32_t flag = i == 0 ? 1 : 0;  // only the first is a lexicon word
            std::memcpy(r + PSO_TEXT_BUFFER, &flag, sizeof flag);
        }
        return 100000;
    }
    int32_t roomGiven = 0;
};

TEST(WordVariants, TheLibrarysCountIsCappedAtTheRoomGiven) {
    TempDir data;
    OverstatingModule m(rt::englishLibrary(), L"English", data.path());
    std::vector<std::wstring> variants;
    ASSERT_TRUE(m.getWordVariants(reinterpret_cast<PSO_HRC>(1), L"word", variants, 5));
    EXPECT_EQ(m.roomGiven, 6);
    ASSERT_EQ(variants.size(), 1u) << "only the records within the room are read";
    EXPECT_EQ(variants[0], L"a");
}

// A library whose answers, word checks and user dictionaries the test sets,
// recording what the module hands it. Nothing is loaded: every call the
// test does not script answers as a library without that function would.
class ScriptedLibrary : public RecVexaModule {
  public:
    using RecVexaModule::RecVexaModule;
    struct Alt {
        std::string text;
        int32_t weight;
    };
    // Answer blocks and their alternatives; the call for failBlock/failAlt fails.
    std::vector<std::vector<Alt>> blocks;
    int32_t blockCount = -1;  // what GetNumAnswerBlocks says (-1: the size of blocks)
    int failBlock = -1, failAlt = -1;
    // Words the check answers "known" for, and the words it was asked.
    std::vector<std::string> asked;
    // What the dictionary calls received and give back.
    std::vector<std::string> handedOver;  // the bytes, read up to the NUL after them
    std::string dump;
    int32_t dumpSizeSaid = -1;    // >= 0: the size the library claims, whatever its dump
    std::vector<bool> dumpCalls;  // with a buffer?
    bool hasRemove = false;
    int removes = 0, clears = 0;

    PSO_HRC PSO_CreateRecognitionContext() override { return reinterpret_cast<PSO_HRC>(0x10); }
    int32_t PSO_GetNumAnswerBlocks(PSO_HRC) override {
        return blockCount >= 0 ? blockCount : static_cast<int32_t>(blocks.size());
    }
    int32_t PSO_GetNumWordsInAnswerBlock(PSO_HRC, int32_t block) override {
        return block < static_cast<int32_t>(blocks.size())
                   ? static_cast<int32_t>(blocks[block].size())
                   : -PSO_ERR_BAD_ARG;
    }
    int32_t PSO_GetWordFromAnswerBlock(PSO_HRC, int32_t block, int32_t alt, char* text,
                                       int32_t* weight, int32_t* strokes, int32_t* strokeCount,
                                       int32_t room) override {
        if (block == failBlock && alt == failAlt) return PSO_ERR_FAILED;
        const Alt& a = blocks[block][alt];
        std::strncpy(text, a.text.c_str(), PSO_TEXT_BUFFER);
        *weight = a.weight;
        if (strokes && strokeCount && room > 0) {
            strokes[0] = block;
            *strokeCount = 1;
        }
        return PSO_OK;
    }
    int32_t PSO_GetExtraAnswerData(PSO_HRC, int32_t, int32_t, int32_t request, int32_t,
                                   void* buffer) override {
        if (request != PSO_EXTRA_CHECK_WORD) return -1;
        char* word = static_cast<char*>(buffer);
        asked.push_back(std::string(word, strnlen(word, PSO_TEXT_BUFFER)));
        const int32_t known = 1;
        std::memcpy(buffer, &known, sizeof known);
        return 0;
    }
    PSO_HUSERDICT PSO_AddUserDictToRecContext(PSO_HRC, const void* bytes) override {
        if (!bytes) return reinterpret_cast<PSO_HUSERDICT>(0x20);
        handedOver.push_back(static_cast<const char*>(bytes));
        return reinterpret_cast<PSO_HUSERDICT>(0x21);
    }
    int32_t PSO_DumpUserDictToMemoryBuffer(PSO_HRC, PSO_HUSERDICT, void* buffer) override {
        dumpCalls.push_back(buffer != nullptr);
        if (dumpSizeSaid >= 0) return dumpSizeSaid;
        if (buffer) std::memcpy(buffer, dump.data(), dump.size());
        return static_cast<int32_t>(dump.size());
    }
    int32_t PSO_RemoveUserDictFromRecContext(PSO_HRC, PSO_HUSERDICT) override {
        if (!hasRemove) return PSO_ERR_NOT_SUPPORTED;
        ++removes;
        return PSO_OK;
    }
    int32_t PSO_UserDict_Clear(PSO_HRC, PSO_HUSERDICT) override {
        ++clears;
        return PSO_OK;
    }
};

const PSO_HRC kContext = reinterpret_cast<PSO_HRC>(0x10);

TEST(ScriptedAnswers, AWordListOrNothing) {
    using Alt = ScriptedLibrary::Alt;
    struct Case {
        const char* what;
        std::vector<std::vector<Alt>> blocks;
        int failBlock, failAlt;
        bool stopAtWeakBlock;
        bool isNull;
        std::vector<std::vector<std::wstring>> words;  // the alternatives of each word
    } cases[] = {
        {"every word", {{{"hello", 90}, {"hallo", 60}}, {{"world", 80}}}, -1, -1, false, false,
         {{L"hello", L"hallo"}, {L"world"}}},
        {"a failure at a later alternative", {{{"hello", 90}}, {{"world", 80}, {"word", 40}}}, 1,
         1, false, true, {}},
        {"a failure at the first alternative of a later word",
         {{{"hello", 90}}, {{"world", 80}}}, 1, 0, false, true, {}},
        {"a first alternative of weight 0 ends the answer",
         {{{"hello", 90}}, {{"xq", 0}, {"x", 30}}, {{"world", 80}}}, -1, -1, false, false,
         {{L"hello"}}},
        {"weight 0 on the first word: an empty list", {{{"xq", 0}}, {{"world", 80}}}, -1, -1,
         false, false, {}},
        {"weight 1 stays for the system client",
         {{{"hello", 90}}, {{"xq", 1}}, {{"world", 80}}}, -1, -1, false, false,
         {{L"hello"}, {L"xq"}, {L"world"}}},
        {"weight 1 ends the answer for the word menu",
         {{{"hello", 90}}, {{"xq", 1}}, {{"world", 80}}}, -1, -1, true, false, {{L"hello"}}},
        {"a later alternative of weight 0 is kept", {{{"hello", 90}, {"hallo", 0}}}, -1, -1,
         false, false, {{L"hello", L"hallo"}}},
        {"a block without alternatives ends the answer", {{{"hello", 90}}, {}, {{"world", 80}}},
         -1, -1, false, false, {{L"hello"}}},
    };
    TempDir data;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedLibrary library(rt::englishLibrary(), L"English", data.path());
        library.blocks = c.blocks;
        library.failBlock = c.failBlock;
        library.failAlt = c.failAlt;
        std::unique_ptr<RecWordList> list(
            library.getAnswers(kContext, kCapsNotSet, c.stopAtWeakBlock));
        if (c.isNull) {
            EXPECT_EQ(list, nullptr) << "no part of an answer that failed on the way";
            continue;
        }
        ASSERT_NE(list, nullptr);
        std::vector<std::vector<std::wstring>> words;
        for (int i = 0; i < list->wordCount(); ++i) words.push_back(rt::altsOf(*list->wordAt(i)));
        EXPECT_EQ(words, c.words);
    }
}

TEST(ScriptedWords, CheckWordAsksTheLibraryForWordsOfUpTo79Characters) {
    TempDir data;
    ScriptedLibrary library(rt::englishLibrary(), L"English", data.path());
    // The library would know any word: only the module's own limit refuses.
    const std::string w79(79, 'a'), w80(80, 'b');
    EXPECT_TRUE(library.checkWord(kContext, std::wstring(w79.begin(), w79.end()).c_str()));
    EXPECT_FALSE(library.checkWord(kContext, std::wstring(w80.begin(), w80.end()).c_str()));
    EXPECT_EQ(library.asked, std::vector<std::string>{w79}) << "80 characters are never asked";
}

// The dictionary calls as the family's library takes them: a file's bytes
// with a NUL after them (the library reads up to the first NUL), and a dump
// into a buffer of the size the library gave first.
TEST(ScriptedDictionaries, TheLibraryGetsTheFileEndedByANulAndAsMuchRoomAsItAsked) {
    TempDir data;
    rt::MessageCollector messages;
    const std::string header = "Nubo dict v.1.01  ";
    struct Case {
        const char* what;
        std::string file;
        bool handedOver;
    } cases[] = {
        {"a dump", header + "1 2b9f5ad8\nword\n", true},
        {"the header alone", header, true},
        {"an old list", "alpha\r\nbeta", true},
        // Read up to its NUL, the file would be taken for less than it holds.
        {"a file holding a NUL byte", std::string("alpha\r\n\0beta", 12), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedLibrary library(rt::englishLibrary(), L"English", data.path());
        library.dump = header + "2 00000000\nalpha\nbeta\n";
        const std::wstring path = data.file(L"mine.voc");
        ASSERT_TRUE(rt::writeBytes(path, c.file));
        const PSO_HUSERDICT d = library.LoadUserDictFromFile(kContext, path.c_str(), false);
        EXPECT_EQ(d != nullptr, c.handedOver);
        if (c.handedOver)
            EXPECT_EQ(library.handedOver, std::vector<std::string>{c.file});
        else
            EXPECT_TRUE(library.handedOver.empty());
        if (c.file.compare(0, header.size(), header) == 0 || !c.handedOver) {
            EXPECT_EQ(rt::readBytes(path), c.file) << "the file is left as it is";
        } else {
            // The old list is saved again in the library's form at once.
            EXPECT_EQ(library.dumpCalls, (std::vector<bool>{false, true}));
            EXPECT_EQ(rt::readBytes(path), library.dump);
            EXPECT_EQ(rt::readBytes(path + L".BAK"), c.file);
        }
        DeleteFileW((path + L".BAK").c_str());
    }
}

// Sizes from outside never size an allocation unbounded: a dump the library
// claims to be huge is not taken (the file stays), and a dictionary file
// larger than any word list is not read.
TEST(ScriptedDictionaries, HugeSizesFromTheLibraryOrTheDiskAreRefused) {
    TempDir data;
    rt::MessageCollector messages;
    ScriptedLibrary library(rt::englishLibrary(), L"English", data.path());
    const std::wstring path = data.file(L"mine.voc");
    const std::string kept = "Nubo dict v.1.01  1 2b9f5ad8\nword\n";
    ASSERT_TRUE(rt::writeBytes(path, kept));
    library.dumpSizeSaid = 0x7FFFFFF0;
    EXPECT_FALSE(library.SaveUserDictToFile(kContext, reinterpret_cast<PSO_HUSERDICT>(0x21),
                                            path.c_str(), L".BAK"));
    EXPECT_EQ(library.dumpCalls, std::vector<bool>{false}) << "no buffer for the claimed size";
    EXPECT_EQ(rt::readBytes(path), kept);

    // 64 MB and one byte, made without writing them (a file of holes).
    const std::wstring huge = data.file(L"huge.voc");
    HANDLE file = CreateFileW(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = (int64_t(64) << 20) + 1;
    ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
    EXPECT_EQ(library.LoadUserDictFromFile(kContext, huge.c_str(), true), nullptr);
    EXPECT_TRUE(library.handedOver.empty());
}

// A copy of the library without PSO_RemoveUserDictFromRecContext: a reload
// empties the old copy of the dictionary instead of dropping it.
TEST(ScriptedDictionaries, AReloadDropsTheOldCopyOrEmptiesItWithoutTheRemoveCall) {
    TempDir data;
    rt::MessageCollector messages;
    for (bool hasRemove : {true, false}) {
        SCOPED_TRACE(hasRemove ? "with the call" : "without it");
        ScriptedLibrary library(rt::englishLibrary(), L"English", data.path());
        library.hasRemove = hasRemove;
        RecProfile profile(&library);
        profile.name = L"mine";
        profile.userDicts = {L"mine"};
        ASSERT_TRUE(profile.createRecContext());
        const std::wstring key = profile.userDictKey(L"mine");
        ASSERT_TRUE(profile.reloadUserDict(key.c_str()));
        EXPECT_EQ(library.removes, hasRemove ? 1 : 0);
        EXPECT_EQ(library.clears, hasRemove ? 0 : 1);
        EXPECT_NE(profile.findUserDict(key.c_str()), nullptr);
        profile.releaseRecContext();
    }
    EXPECT_TRUE(messages.texts().empty());
}

}  // namespace
