// The text-file layer: line scrambling both ways, tracked streams, and the
// path, blank, case and number helpers.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TextFile.h"
#include "merge_test_util.h"

namespace {

using mergetest::readUnscrambled;
using mergetest::TempDir;
using mergetest::writeScrambled;

TEST(Scrambling, KnownLines) {
    // Line 0, positions 0 and 1 shift by 18; line 1 by 20; line 2 by 3; 'z'
    // plus 18 passes 122 and comes round to '1'.
    const struct {
        const char* plain;
        uint64_t line;
        const char* scrambled;
    } cases[] = {{"AB", 0, "ST"}, {"A", 1, "U"},       {"A", 2, "D"},
                 {"z", 0, "1"},   {"\t\n", 0, "\t\n"}, {"{|}~\x7f\x80\xff", 5, "{|}~\x7f\x80\xff"}};
    for (const auto& c : cases) {
        std::string s = c.plain;
        tessel::scrambleLine(&s[0], s.size(), c.line);
        EXPECT_EQ(s, c.scrambled) << c.plain << " on line " << c.line;
        tessel::unscrambleLine(&s[0], s.size(), c.line);
        EXPECT_EQ(s, c.plain);
    }
}

TEST(Scrambling, EveryByteAtEveryPositionRoundTrips) {
    const uint64_t lines[] = {0, 1, 2, 15, 16, 17, 255, 1000, 46341, 65536, uint64_t(1) << 27};
    std::string all(600 * 256, '\0');
    for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<char>(i % 256);
    for (uint64_t n : lines) {
        std::string s = all;
        tessel::scrambleLine(&s[0], s.size(), n);
        for (size_t i = 0; i < s.size(); ++i) {
            const unsigned char plain = static_cast<unsigned char>(all[i]);
            const unsigned char coded = static_cast<unsigned char>(s[i]);
            if (plain < 32 || plain > 122)
                ASSERT_EQ(coded, plain) << "byte " << int(plain) << " must stay";
            else
                ASSERT_TRUE(coded >= 32 && coded <= 122) << "byte " << int(plain);
        }
        tessel::unscrambleLine(&s[0], s.size(), n);
        ASSERT_EQ(s, all) << "line " << n;
    }
}

TEST(Scrambling, UnscramblingStaysInThePrintableRange) {
    for (int c = 32; c <= 122; ++c) {
        for (size_t j = 0; j < 40; ++j) {
            std::string s(j + 1, static_cast<char>(c));
            tessel::unscrambleLine(&s[0], s.size(), j * 3);
            const unsigned char got = static_cast<unsigned char>(s[j]);
            ASSERT_TRUE(got >= 32 && got <= 122) << c << " at " << j;
        }
    }
}

// Every byte a text stream carries, in lines whose lengths run across the
// reader's buffer: the scrambled file reads back as the plain one.
TEST(Scrambling, FilesRoundTripThroughTheTrackedReader) {
    TempDir dir("ScramblingFiles");
    std::vector<char> bytes;
    for (int b = 1; b < 256; ++b) {
#if defined(_WIN32)
        // A Windows text stream ends at Ctrl-Z and folds "\r\n".
        if (b == 26 || b == '\r') continue;
#endif
        if (b != '\n') bytes.push_back(static_cast<char>(b));
    }
    for (size_t width : {size_t(519), size_t(249)}) {
        std::string plain;
        size_t next = 0;
        for (size_t length : {size_t(0), size_t(1), width - 2, width - 1, width, width + 1,
                              2 * width - 1, 2 * width, 2 * width + 1, 3 * width + 7, size_t(5)}) {
            for (size_t i = 0; i < length; ++i) plain += bytes[next++ % bytes.size()];
            plain += '\n';
        }
        plain += "no final line feed";
        const std::string path = dir.path("file" + std::to_string(width));
        writeScrambled(path, plain, width);
        EXPECT_NE(mergetest::readFile(path), plain);
        EXPECT_EQ(readUnscrambled(path, width), plain) << "width " << width;
    }
}

TEST(Scrambling, NulEndsWhatTheReaderUnscrambles) {
    // The reader sees each piece as a C string; the scrambler leaves what
    // follows a NUL byte as it is, so the text before it still reads back.
    TempDir dir("ScramblingNul");
    std::string plain("before");
    plain += '\0';
    plain += "after\nnext line\n";
    writeScrambled(dir.path("zero-byte"), plain);
    const std::string scrambled = mergetest::readFile(dir.path("zero-byte"));
    EXPECT_EQ(scrambled.substr(7, 5), "after");
    EXPECT_EQ(readUnscrambled(dir.path("zero-byte")), "before" + std::string("next line\n"));
}

TEST(TrackedFiles, OnlyTrackedStreamsAreUnscrambled) {
    TempDir dir("TrackedFiles");
    writeScrambled(dir.path("s"), "Rec1/Rec2 weight = 1\n");
    char line[64];
    FILE* plain = std::fopen(dir.path("s").c_str(), "rb");
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(tessel::readScrambledLine(line, sizeof line, plain), nullptr);
    EXPECT_STRNE(line, "Rec1/Rec2 weight = 1\n");
    std::fclose(plain);
    FILE* tracked = tessel::openTracked(dir.path("s").c_str(), 1, 0);
    ASSERT_NE(tracked, nullptr);
    ASSERT_NE(tessel::readScrambledLine(line, sizeof line, tracked), nullptr);
    EXPECT_STREQ(line, "Rec1/Rec2 weight = 1\n");
    EXPECT_EQ(tessel::readScrambledLine(line, sizeof line, tracked), nullptr);
    EXPECT_EQ(tessel::readScrambledLine(line, 1, tracked), nullptr);
    tessel::closeTracked(tracked);
}

TEST(TrackedFiles, ModeKinds) {
    TempDir dir("TrackedModes");
    const std::string path = dir.path("w");
    EXPECT_EQ(tessel::openTracked(path.c_str(), 3, 0), nullptr);
    EXPECT_EQ(tessel::openTracked(path.c_str(), 0, 0), nullptr);
    EXPECT_EQ(tessel::openTracked(nullptr, 1, 0), nullptr);
    EXPECT_EQ(tessel::openTracked(dir.path("absent").c_str(), 1, 0), nullptr);
    auto write = [&](int kind, int append, const char* text) {
        FILE* f = tessel::openTracked(path.c_str(), kind, append);
        ASSERT_NE(f, nullptr);
        std::fputs(text, f);
        tessel::closeTracked(f);
    };
    auto contents = [&] {
        std::string all;
        FILE* in = std::fopen(path.c_str(), tessel::kReadTextMode);
        char line[16];
        while (std::fgets(line, sizeof line, in)) all += line;
        std::fclose(in);
        return all;
    };
    write(2, 0, "one\n");
    write(4, 3, "two\n");  // 3 appends
    EXPECT_EQ(contents(), "one\ntwo\n");
    write(2, 1, "three\n");  // anything else writes anew
    EXPECT_EQ(contents(), "three\n");
    tessel::closeTracked(nullptr);
}

struct SplitCase {
    const char* path;
    const char* drive;
    const char* directory;
    const char* name;
    const char* extension;
};

TEST(Paths, SplitPath) {
    const SplitCase cases[] = {
        {"C:\\models\\merge.cfg", "C:", "\\models\\", "merge", ".cfg"},
        {"merge.cfg", "", "", "merge", ".cfg"},
        {"dir/sub/file", "", "dir/sub/", "file", ""},
        {"a.b\\c", "", "a.b\\", "c", ""},
        {"\\x:y\\f.e", "", "\\x:y\\", "f", ".e"},
        {"C:file.tar.gz", "C:", "", "file.tar", ".gz"},
        {".hidden", "", "", "", ".hidden"},
        {"dir\\", "", "dir\\", "", ""},
        {"", "", "", "", ""},
    };
    for (const SplitCase& c : cases) {
        char drive[261], directory[261], name[261], extension[261];
        EXPECT_TRUE(tessel::splitPath(c.path, drive, directory, name, extension)) << c.path;
        EXPECT_STREQ(drive, c.drive) << c.path;
        EXPECT_STREQ(directory, c.directory) << c.path;
        EXPECT_STREQ(name, c.name) << c.path;
        EXPECT_STREQ(extension, c.extension) << c.path;
    }
}

TEST(Paths, SplitPathEmptiesOverlongParts) {
    const std::string longName(261, 'n');
    const std::string path = "C:\\dir\\" + longName + ".ext";
    char drive[261], directory[261], name[261], extension[261];
    EXPECT_FALSE(tessel::splitPath(path.c_str(), drive, directory, name, extension));
    EXPECT_STREQ(directory, "\\dir\\");
    EXPECT_STREQ(name, "");
    EXPECT_STREQ(extension, ".ext");
    EXPECT_TRUE(tessel::splitPath(path.c_str(), drive, directory, nullptr, extension))
        << "a part not asked for is not checked";
    const std::string exactly(260, 'n');
    EXPECT_TRUE(tessel::splitPath(exactly.c_str(), nullptr, nullptr, name, nullptr));
    EXPECT_EQ(std::string(name), exactly);
}

TEST(Paths, MakePath) {
#if defined(_WIN32)
    const std::string sep = "\\";
#else
    const std::string sep = "/";
#endif
    char out[261];
    EXPECT_TRUE(tessel::makePath(out, "C:", "\\models\\", "net", ".bin"));
    EXPECT_STREQ(out, "C:\\models\\net.bin");
    EXPECT_TRUE(tessel::makePath(out, "C:", "models", "net", "bin"));
    EXPECT_EQ(std::string(out), "C:models" + sep + "net.bin");
    EXPECT_TRUE(tessel::makePath(out, nullptr, "dir/", "net", nullptr));
    EXPECT_STREQ(out, "dir/net");
    EXPECT_TRUE(tessel::makePath(out, "", "", "", ""));
    EXPECT_STREQ(out, "");

    const std::string dir250(250, 'd');
    EXPECT_FALSE(tessel::makePath(out, "C:", (dir250 + "\\").c_str(), "networks1", ".bin"));
    EXPECT_EQ(std::string(out), "C:" + dir250 + "\\") << "stops at what fitted";
    EXPECT_FALSE(tessel::makePath(out, std::string(261, 'x').c_str(), "d\\", "n", ".e"));
    EXPECT_STREQ(out, "") << "an over-long drive gives nothing";
    EXPECT_TRUE(tessel::makePath(out, "", std::string(259, 'd').c_str(), "", ""));
    EXPECT_EQ(std::strlen(out), 260u) << "the separator just fits";
}

TEST(TextHelpers, NormaliseBlanks) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {{"  a   b  ", "a b"}, {"\ta\t=\t1\r\n", "a = 1"},  {"", ""},
                 {" \t\n ", ""},       {"Out Dir = ", "Out Dir ="}, {"x", "x"},
                 {"a\v\fb", "a b"}};
    for (const auto& c : cases) {
        std::string s = c.in;
        tessel::normaliseBlanks(&s[0]);
        EXPECT_STREQ(s.c_str(), c.out) << '"' << c.in << '"';
    }
}

TEST(TextHelpers, CaseChangesTouchOnlyAsciiLetters) {
    char s[] = "AbZ az@[`{\xc4\xe4 09";
    tessel::toLowerAscii(s);
    EXPECT_STREQ(s, "abz az@[`{\xc4\xe4 09");
    tessel::toUpperAscii(s);
    EXPECT_STREQ(s, "ABZ AZ@[`{\xc4\xe4 09");
    tessel::toLowerAscii(nullptr);
}

TEST(TextHelpers, Numbers) {
    double d = -1;
    const char* end = nullptr;
    EXPECT_TRUE(tessel::parseDouble("0.7 ; rest", &d, &end));
    EXPECT_EQ(d, 0.7);
    EXPECT_STREQ(end, " ; rest");
    EXPECT_TRUE(tessel::parseDouble(" -1e3x", &d));
    EXPECT_EQ(d, -1000.0);
    for (const char* bad : {"", "x1", "nan", "inf", "-infinity", "1e999", "."})
        EXPECT_FALSE(tessel::parseDouble(bad, &d)) << bad;

    int32_t i = 0;
    const struct {
        const char* text;
        bool ok;
        int32_t value;
    } ints[] = {{"12", true, 12},
                {"-12x", true, -12},
                {"0x1F", true, 31},
                {"010", true, 8},
                {"2147483647", true, INT32_MAX},
                {"-2147483648", true, INT32_MIN},
                {"2147483648", false, 0},
                {"abc", false, 0},
                {"", false, 0}};
    for (const auto& c : ints) {
        EXPECT_EQ(tessel::parseInt32(c.text, &i), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(i, c.value) << c.text;
        }
    }
}

}  // namespace
