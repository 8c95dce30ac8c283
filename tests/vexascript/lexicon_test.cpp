// The ".ban" lexicon format, the lexicons built from wamerican, and the
// banmake tool that makes them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "BanFormat.h"
#include "TestSupport.h"

namespace {

std::vector<uint8_t> bytesOf(const std::vector<char>& v) { return {v.begin(), v.end()}; }

ban::Lexicon parsed(const std::vector<uint8_t>& bytes) {
    ban::Lexicon lex;
    std::string error;
    EXPECT_TRUE(ban::parse(bytes.data(), bytes.size(), lex, error)) << error;
    return lex;
}

TEST(BanFormat, BuildSortsAndUniquesAndParseGivesItBack) {
    ban::Lexicon in;
    in.flags = ban::kFlagWordsOnly;
    in.charset = "abc";
    in.words = {"house", "houses", "Boston", "house", "a", "caf\xE9"};
    size_t dropped = 9;
    const std::vector<uint8_t> bytes = ban::build(in, &dropped);
    EXPECT_EQ(dropped, 0u);
    const ban::Lexicon out = parsed(bytes);
    EXPECT_EQ(out.flags, ban::kFlagWordsOnly);
    EXPECT_EQ(out.charset, "abc");
    EXPECT_EQ(out.words, (std::vector<std::string>{"Boston", "a", "caf\xE9", "house", "houses"}));
    // Shared prefixes make it compact: "houses" costs 3 bytes after "house".
    EXPECT_EQ(bytes.size(), ban::kHeaderSize + 3 + (2 + 6) + (2 + 1) + (2 + 4) + (2 + 5) + 3);
}

TEST(BanFormat, BuildDropsWordsItCannotHold) {
    ban::Lexicon in;
    in.words = {"ok", "", std::string(80, 'x'), "tab\there", std::string(79, 'y')};
    size_t dropped = 0;
    const ban::Lexicon out = parsed(ban::build(in, &dropped));
    EXPECT_EQ(dropped, 3u);
    EXPECT_EQ(out.words.size(), 2u);
}

// A valid lexicon changed by `damage`, its checksum made right again when asked.
std::vector<uint8_t> damaged(const std::function<void(std::vector<uint8_t>&)>& damage,
                             bool fixChecksum) {
    ban::Lexicon in;
    in.words = {"alpha", "beta", "gamma"};
    std::vector<uint8_t> b = ban::build(in);
    damage(b);
    if (fixChecksum && b.size() >= ban::kHeaderSize)
        ban::putU32(b, 28, ban::fnv1a(b.data() + ban::kHeaderSize, b.size() - ban::kHeaderSize));
    return b;
}

TEST(BanFormat, DamagedFilesAreRefused) {
    using B = std::vector<uint8_t>;
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const size_t words = ban::kHeaderSize;  // no character set: the words follow the header
    const std::vector<Case> cases = {
        {"empty", {}},
        {"header cut short", damaged([](B& b) { b.resize(30); }, false)},
        {"last byte missing", damaged([](B& b) { b.pop_back(); }, false)},
        {"a byte more", damaged([](B& b) { b.push_back(0); }, false)},
        {"magic", damaged([](B& b) { b[0] = 'W'; }, false)},
        {"text-mode copy", damaged([](B& b) { b[5] = '\n'; }, false)},
        {"version", damaged([](B& b) { b[8] = 2; }, false)},
        {"header size", damaged([](B& b) { b[10] = 48; }, false)},
        {"unknown flag", damaged([](B& b) { b[12] = 0x10; }, false)},
        {"code page", damaged([](B& b) { b[16] = 0xE9; }, false)},
        {"checksum", damaged([](B& b) { b.back() ^= 1; }, false)},
        {"reserved bytes", damaged([](B& b) { b[35] = 1; }, true)},
        {"count larger than the block", damaged([](B& b) { b[20] = 200; }, true)},
        {"count smaller than the block", damaged([](B& b) { b[20] = 2; }, true)},
        {"shared longer than the word before", damaged([&](B& b) { b[words] = 3; }, true)},
        {"words out of order", damaged([&](B& b) { b[words + 2] = 'z'; }, true)},
        {"control byte in a word", damaged([&](B& b) { b[words + 3] = 0x07; }, true)},
        {"rest beyond the block", damaged([&](B& b) { b[words + 1] = 200; }, true)},
    };
    for (const Case& c : cases) {
        ban::Lexicon lex;
        std::string error;
        EXPECT_FALSE(ban::parse(c.bytes.data(), c.bytes.size(), lex, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

TEST(BanFormat, CodePage1252MapsBothWays) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(ban::unicodeToCp1252(ban::cp1252ToUnicode(static_cast<unsigned char>(b))), b)
            << b;
    EXPECT_EQ(ban::cp1252ToUnicode(0x80), 0x20ACu);  // euro sign
    EXPECT_EQ(ban::cp1252ToUnicode(0xE9), 0xE9u);    // e acute
    EXPECT_EQ(ban::unicodeToCp1252(0x2019), 0x92);   // right single quotation mark
    EXPECT_EQ(ban::unicodeToCp1252(0x65E5), -1);     // not in the code page
}

TEST(BuiltLexicons, EnglishNumericAndEmpty) {
    const ban::Lexicon english = parsed(bytesOf(vt::lexicon("default")));
    EXPECT_EQ(english.flags, 0u);
    EXPECT_GT(english.words.size(), 70000u);
    auto has = [&](const char* w) {
        return std::binary_search(english.words.begin(), english.words.end(), std::string(w));
    };
    for (const char* w : {"house", "Boston", "I'm", "can't", "a", "zoo", "caf\xE9"})
        EXPECT_TRUE(has(w)) << w;
    EXPECT_FALSE(has("dog's")) << "possessives are left out";

    const ban::Lexicon numeric = parsed(bytesOf(vt::lexicon("numeric")));
    EXPECT_EQ(numeric.flags, ban::kFlagNumbers);
    EXPECT_TRUE(numeric.words.empty());
    EXPECT_NE(numeric.charset.find('7'), std::string::npos);
    EXPECT_EQ(numeric.charset.find('a'), std::string::npos);

    const ban::Lexicon empty = parsed(bytesOf(vt::lexicon("empty")));
    EXPECT_EQ(empty.flags, ban::kFlagWordsOnly);
    EXPECT_TRUE(empty.words.empty());
}

#ifdef BANMAKE_TOOL
TEST(Banmake, MakesALexiconFromAUtf8ListAndListsItBack) {
    const std::string list = "banmake_test_words.txt", out = "banmake_test.ban";
    {
        std::ofstream f(list, std::ios::binary);
        f << "zebra\r\n  apple "
             "\n\ncaf\xC3\xA9\ndog's\n\xE6\x97\xA5\xE6\x9C\xAC\napple\nna\xEF\x76\x65\n";
    }
    const std::string report =
        vt::runTool(std::string(BANMAKE_TOOL) + " --skip-possessives " + list + " " + out);
    EXPECT_NE(report.find("4 words"), std::string::npos) << report;
    EXPECT_NE(report.find("1 skipped"), std::string::npos) << report;
    EXPECT_NE(report.find("1 not in code page 1252"), std::string::npos) << report;
    std::ifstream in(out, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    // A byte that is not UTF-8 (0xEF here) is taken as code page 1252.
    EXPECT_EQ(parsed(bytes).words,
              (std::vector<std::string>{"apple", "caf\xE9", "na\xEFve", "zebra"}));
    EXPECT_EQ(vt::runTool(std::string(BANMAKE_TOOL) + " --list " + out),
              "apple\ncaf\xC3\xA9\nna\xC3\xAFve\nzebra\n");
    std::remove(list.c_str());
    std::remove(out.c_str());
}
#endif

}  // namespace
