// The UTF-16 string buffer, the growable byte buffer and the UTF-8 codec.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "xml/GrowBuffer.h"
#include "xml/Utf8.h"
#include "xml/XMLString.h"
#include "xml_test_util.h"

using xmltest::N;
using xmltest::X;

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
    std::vector<uint8_t> v;
    for (int b : list) v.push_back(static_cast<uint8_t>(b));
    return v;
}

TEST(GrowBuffer, GrowsByTheStepOrTheRequestWhicheverIsLarger) {
    GrowBuffer b;
    ASSERT_TRUE(b.reserve(1));
    EXPECT_EQ(b.capacity(), 32u);  // small buffers grow by 32
    ASSERT_TRUE(b.append(std::string(32, 'x').data(), 32));
    ASSERT_TRUE(b.reserve(100));
    EXPECT_EQ(b.capacity(), 32u + 100u);  // the request is larger than the step
    ASSERT_TRUE(b.append(std::string(100, 'y').data(), 100));
    ASSERT_TRUE(b.reserve(1));
    EXPECT_EQ(b.capacity(), 132u + (132u / 4 + 32));  // above 128 bytes: a quarter plus 32
    b.free();
    EXPECT_EQ(b.capacity(), 0u);
    EXPECT_EQ(b.size(), 0u);
    EXPECT_EQ(b.data(), nullptr);
}

TEST(CXMLString, StartsEmptyAndStaysTerminated) {
    CXMLString s;
    ASSERT_NE(s.text(), nullptr);
    EXPECT_EQ(s.text()[0], 0);
    EXPECT_EQ(s.length(), 0u);
    s.appendChar('a');
    s.appendChar(0);  // a NUL appends nothing
    s.appendChar('b');
    EXPECT_EQ(s.length(), 2u);
    EXPECT_EQ(s.text()[2], 0);
    s.removeLast(1);
    EXPECT_EQ(N(s.str()), "a");
    EXPECT_EQ(s.text()[1], 0);
    s.assign(nullptr);
    EXPECT_EQ(s.length(), 0u);
    s.free();
    EXPECT_EQ(s.capacityBytes(), 0u);
}

TEST(CXMLString, AppendFormatGrowsUntilTheTextFits) {
    CXMLString s;
    s.append(XS("x="));
    // The result is far longer than twice the format: it has to grow and format again.
    const XString big(5000, 'q');
    const size_t n = s.appendFormat(XS("[%s|%d|%u|%04d/%02u|%08X|%c|%x|%hs]"), big.c_str(), -42,
                                    42u, 7, 3u, 0xBEEFu, 'Z', 255u, "narrow");
    const std::string expected =
        "[" + std::string(5000, 'q') + "|-42|42|0007/03|0000BEEF|Z|ff|narrow]";
    EXPECT_EQ(n, expected.size());
    EXPECT_EQ(N(s.str()), "x=" + expected);
    EXPECT_EQ(s.text()[s.length()], 0);
}

TEST(CXMLString, FormatReportsWhenTheTextDoesNotFit) {
    xchar out[6];
    auto format = [&](const xchar* f, ...) {
        va_list args;
        va_start(args, f);
        const int n = xmlFormatV(out, 6, f, args);
        va_end(args);
        return n;
    };
    EXPECT_EQ(format(XS("%d"), 12345), 5);
    EXPECT_EQ(format(XS("%d"), 123456), -1);
    EXPECT_EQ(format(XS("%5s|"), XS("a")), -1);
    EXPECT_EQ(format(XS("%-3s|"), XS("a")), 4);
    EXPECT_EQ(N(out), "a  |");
}

struct ReplaceCase {
    const char* text;
    const char* find;
    const char* replacement;
    size_t count;
    const char* result;
};

class ReplaceAll : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAll, ReplacesLeftToRightWithoutRescanning) {
    const ReplaceCase& c = GetParam();
    CXMLString s;
    s.assign(X(c.text).c_str());
    EXPECT_EQ(s.replaceAll(X(c.find).c_str(), X(c.replacement).c_str()), c.count);
    EXPECT_EQ(N(s.str()), c.result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplaceAll,
    ::testing::Values(ReplaceCase{"a]]>b]]>", "]]>", "]]&gt;", 2, "a]]&gt;b]]&gt;"},
                      ReplaceCase{"aaa", "a", "aa", 3, "aaaaaa"},  // inserted text not searched
                      ReplaceCase{"a--b---c", "--", "..", 2, "a..b..-c"},
                      ReplaceCase{"abc", "", "x", 0, "abc"},     // empty find
                      ReplaceCase{"ab", "abc", "x", 0, "ab"},    // longer than the text
                      ReplaceCase{"abc", "z", "x", 0, "abc"},    // absent
                      ReplaceCase{"a?>b", "?>", "", 1, "ab"}));  // empty replacement

TEST(CXMLString, TrimTrailingNulsKeepsTheRest) {
    CXMLString s;
    const xchar text[] = {'a', 0, 'b', 0, 0};
    s.append(text, 5);
    EXPECT_EQ(s.length(), 5u);
    s.trimTrailingNuls();
    EXPECT_EQ(s.length(), 3u);
    EXPECT_EQ(s.text()[1], 0);
    EXPECT_EQ(s.text()[2], 'b');
    EXPECT_EQ(s.text()[3], 0);
}

// ---------------------------------------------------------------- codec

struct EncodeCase {
    unsigned c;
    std::vector<uint8_t> utf8;  // empty: invalid
};

class EncodeChar : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeChar, EncodesOneUnit) {
    const EncodeCase& c = GetParam();
    uint8_t out[4] = {};
    const size_t n = utf8::encodeChar(static_cast<xchar>(c.c), out);
    EXPECT_EQ(n, c.utf8.size());
    EXPECT_EQ(utf8::encodedLength(static_cast<xchar>(c.c)), c.utf8.size());
    EXPECT_EQ(std::vector<uint8_t>(out, out + n), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(Cases, EncodeChar,
                         ::testing::Values(EncodeCase{0x41, bytes({0x41})},
                                           EncodeCase{0x7F, bytes({0x7F})},
                                           EncodeCase{0xE9, bytes({0xC3, 0xA9})},
                                           EncodeCase{0x20AC, bytes({0xE2, 0x82, 0xAC})},
                                           EncodeCase{0xFFFD, bytes({0xEF, 0xBF, 0xBD})},
                                           EncodeCase{0xD800, {}}, EncodeCase{0xDFFF, {}},
                                           EncodeCase{0xFFFE, {}}, EncodeCase{0xFFFF, {}}));

struct DecodeCase {
    std::vector<uint8_t> utf8;
    size_t length;  // 0: broken
    char32_t c;
};

class DecodeChar : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeChar, ReadsOneSequence) {
    const DecodeCase& d = GetParam();
    char32_t c = 0;
    EXPECT_EQ(utf8::decodeChar(d.utf8.data(), d.utf8.size(), &c), d.length);
    EXPECT_EQ(utf8::sequenceLength(d.utf8.data(), d.utf8.size()), d.length);
    if (d.length) {
        EXPECT_EQ(c, d.c);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeChar,
    ::testing::Values(DecodeCase{bytes({0x41}), 1, 0x41}, DecodeCase{bytes({0xC3, 0xA9}), 2, 0xE9},
                      DecodeCase{bytes({0xE2, 0x82, 0xAC}), 3, 0x20AC},
                      // Four bytes give the whole code point (a pair in UTF-16).
                      DecodeCase{bytes({0xF0, 0x9F, 0x98, 0x80}), 4, 0x1F600},
                      DecodeCase{bytes({0xE2, 0x82}), 0, 0},  // cut by the end
                      DecodeCase{bytes({0x80, 0x41}), 0, 0},  // stray continuation
                      DecodeCase{bytes({0xC3, 0x41}), 0, 0},  // missing continuation
                      DecodeCase{bytes({0xFE}), 0, 0}, DecodeCase{bytes({0xFF}), 0, 0},
                      DecodeCase{bytes({0xC0, 0x80}), 0, 0},                    // overlong NUL
                      DecodeCase{bytes({0xE0, 0x80, 0xBC}), 0, 0},              // overlong '<'
                      DecodeCase{bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), 0, 0},  // five bytes
                      DecodeCase{bytes({0xF4, 0x90, 0x80, 0x80}), 0, 0}));      // past U+10FFFF

TEST(Utf8, SupplementaryCharactersTravelAsSurrogatePairs) {
    const std::string smile = "a\xF0\x9F\x98\x80z";
    CXMLString s;
    EXPECT_EQ(utf8::utf8ToUtf16(reinterpret_cast<const uint8_t*>(smile.data()), smile.size(), s),
              4u);
    ASSERT_EQ(s.length(), 4u);
    EXPECT_EQ(static_cast<unsigned>(s.text()[1]), 0xD83Du);
    EXPECT_EQ(static_cast<unsigned>(s.text()[2]), 0xDE00u);
    EXPECT_EQ(utf8::utf8Length(s.text(), s.length()), smile.size());
    GrowBuffer back;
    EXPECT_EQ(appendUtf16AsUtf8(s.text(), s.length(), back), smile.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.data()), back.size()), smile);
    EXPECT_EQ(utf8::utf8CharCount(reinterpret_cast<const uint8_t*>(smile.data()), smile.size()),
              4u);
}

TEST(Utf8, InvalidCharactersStopConversion) {
    const xchar loneHigh[] = {'a', 'b', static_cast<xchar>(0xD83D), 'c'};
    EXPECT_EQ(utf8::utf8Length(loneHigh, 4), 0u);
    GrowBuffer out;
    EXPECT_EQ(appendUtf16AsUtf8(loneHigh, 4, out), 0u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data()), out.size()), "ab");
    uint8_t fixed[16];
    EXPECT_EQ(utf8::utf16ToUtf8(loneHigh, 4, fixed, sizeof fixed), 0u);
    const xchar nonChar[] = {static_cast<xchar>(0xFFFF)};
    EXPECT_EQ(utf8::utf16ToUtf8(nonChar, 1, fixed, sizeof fixed), 0u);

    // A surrogate encoded in three bytes decodes but is rejected; what came before stays.
    const std::string encodedSurrogate = "ok\xED\xA0\x80";
    CXMLString s;
    EXPECT_EQ(utf8::utf8ToUtf16(reinterpret_cast<const uint8_t*>(encodedSurrogate.data()),
                                encodedSurrogate.size(), s),
              0u);
    EXPECT_EQ(N(s.str()), "ok");
}

TEST(Utf8, FixedBufferReportsHowMuchWentIn) {
    const XString text =
        X("ab\xE2\x82\xAC"
          "cd");  // a, b, euro, c, d
    uint8_t out[4];
    size_t converted = 99;
    // The euro sign no longer fits after "ab" plus nothing: 2 + 3 > 4.
    EXPECT_EQ(utf8::utf16ToUtf8(text.data(), text.size(), out, 4, &converted), 2u);
    EXPECT_EQ(converted, 2u);
    EXPECT_EQ(utf8::utf16ToUtf8(text.data(), text.size(), out, 4), 0u);
    uint8_t big[16];
    EXPECT_EQ(utf8::utf16ToUtf8(text.data(), text.size(), big, sizeof big, &converted), 7u);
    EXPECT_EQ(converted, 5u);
}

TEST(Utf8, LongTextArrivesWholeThroughTheBlocks) {
    // 20 000 characters go through the 8192-character block three times.
    std::string utf8;
    for (int i = 0; i < 20000; ++i)
        utf8 += (i % 3 == 0) ? "\xE2\x82\xAC" : (i % 3 == 1 ? "x" : "\xC3\xA9");
    CXMLString s;
    EXPECT_EQ(
        utf8::utf8ToUtf16Trimmed(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), s),
        20000u);
    ASSERT_EQ(s.length(), 20000u);
    EXPECT_EQ(N(s.str()), utf8);
    XString w;
    EXPECT_EQ(utf8::utf8ToUtf16(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), w),
              20000u);
    EXPECT_EQ(N(w), utf8);
}

TEST(Utf8, WideStringConversionEndsAtANul) {
    const std::string withNul("ab\0cd", 5);
    XString w;
    EXPECT_EQ(
        utf8::utf8ToUtf16(reinterpret_cast<const uint8_t*>(withNul.data()), withNul.size(), w), 3u);
    EXPECT_EQ(N(w), "ab");
}

TEST(Utf8, FixedArrayNeedsRoomForTheTerminator) {
    const std::string text = "abc";
    xchar out[4];
    EXPECT_EQ(utf8::utf8ToUtf16(reinterpret_cast<const uint8_t*>(text.data()), 3, out, 4), 3u);
    EXPECT_EQ(out[3], 0);
    EXPECT_EQ(utf8::utf8ToUtf16(reinterpret_cast<const uint8_t*>(text.data()), 3, out, 3), 0u);
}

}  // namespace
