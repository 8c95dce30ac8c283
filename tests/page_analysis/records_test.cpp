// The records under the page tree: the answer-text encoding, the growable
// arrays, the word's XML and the table's XML.
#include <gtest/gtest.h>

#include <string>

#include "AnswerTextWriter.h"
#include "DataArr.h"
#include "ResultXml.h"
#include "Session.h"
#include "TableGroup.h"
#include "TextUnit.h"

namespace {

using namespace ombra;

void collect(void* user, const char* text, int length) {
    static_cast<std::string*>(user)->append(text, length);
}

std::string encoded(const std::u16string& text) {
    std::string out;
    AnswerTextWriter w(collect, &out);
    w.encode(reinterpret_cast<const uint16_t*>(text.data()), static_cast<int>(text.size()));
    w.flush();
    return out;
}

TEST(AnswerText, Encoding) {
    const struct {
        std::u16string text;
        const char* written;
    } cases[] = {
        {u"Stra\u00DFe", "Stra@DF:e"},
        {u"new york", "new_york"},
        {u"\u00E9", "@E9:"},
        {u"\u043C\u0438\u0440", "@043CDh:"},
        {u"\u043C\u0438\u0440 \u043C\u0438\u0440", "@043CDh_DDh:"},  // a blank stays in offset mode
        {u"\u043Cx", "@043C:x"},                                     // back to plain for a letter
        {u"\u00E9\u20AC", "@E9:@20AC:"},  // far from the base: a new number
        // Markup between letters: two digits and back; a run of it goes by offsets.
        {u"a<b", "a@3C:b"},
        {u"b>&\"'!,:@_", "b@003EXDeFknf{:"},
        {u"\u00E9\u00EA", "@00E9a:"},  // a near code after a small base: four digits, offsets
        {u"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        EXPECT_EQ(encoded(c.text), c.written);
    }
}

TEST(AnswerText, KeepsXmlMarkupOutForEveryCode) {
    std::u16string all;
    for (char16_t c = 1; c < 0x300; ++c) all += c;
    const std::string out = encoded(all);
    EXPECT_EQ(out.find_first_of("<>&\"' \x7F"), std::string::npos);
    for (unsigned char c : out) EXPECT_LT(c, 0x80);
}

TEST(AnswerText, LongTextsKeepOnlyTheWholePiecesThatFitTheScratch) {
    COmbraSession session(nullptr, nullptr, nullptr);
    ASSERT_EQ(session.init(0), 0);
    // Every code far from the one before: "@" and four digits each, 500 characters.
    std::u16string text;
    for (int i = 0; i < 100; ++i) text += static_cast<char16_t>(0x4E00 + (i % 2) * 100);
    session.writer->reset();
    session.writer->encode(reinterpret_cast<const uint16_t*>(text.data()), 100);
    session.writer->flush();
    EXPECT_EQ(session.scratchLength, 256) << "the second piece would overfill the scratch";
    EXPECT_EQ(std::string(session.scratch).size(), 256u);
}

TEST(Containers, ArraysGrowBySixtyFour) {
    CDataArr<int> a;
    for (int i = 0; i < 64; ++i) ASSERT_TRUE(a.append(i));
    EXPECT_EQ(a.capacity(), 64);
    ASSERT_TRUE(a.append(64));
    EXPECT_EQ(a.capacity(), 128);
    for (int i = 0; i < 65; ++i) EXPECT_EQ(a.get(i), i);
    EXPECT_EQ(a.get(-1), 0);
    EXPECT_EQ(a.get(65), 0);
    a.remove(0);
    EXPECT_EQ(a.get(0), 1);
    EXPECT_EQ(a.count(), 64);
    ASSERT_TRUE(a.insert(2, 99));
    EXPECT_EQ(a.get(1), 2);
    EXPECT_EQ(a.get(2), 99);
    EXPECT_EQ(a.get(3), 3);

    CCharArray text;
    const std::string long300(300, 'q');
    EXPECT_EQ(text.appendFormat(0, "%s", long300.c_str()), 300);
    EXPECT_EQ(text.capacity(), 429);
    EXPECT_EQ(text.appendFormat(300, "<%d>", 7), 3);
    EXPECT_EQ(std::string(text.text()), long300 + "<7>");
    EXPECT_EQ(text.count(), 304);
}

class WordXml : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(session.init(0), 0);
        for (int id : {11, 12, 13}) {
            const int32_t xy[2] = {id, id};
            const Ombra_STROKE r = {id, 1, 0, 0, 0, 0, 0, xy};
            ASSERT_EQ(session.addStroke(COmbraStroke::make(r)), 0);
        }
    }
    void alt(CTextUnit& w, int i, const std::u16string& text, int weight) {
        for (size_t k = 0; k < text.size(); ++k) w.alts[i].text[k] = text[k];
        w.alts[i].weight = weight;
        w.altCount = i + 1;
    }
    COmbraSession session{nullptr, nullptr, nullptr};
};

TEST_F(WordXml, ConfidenceStyleAliasesAndAlternatives) {
    CTextUnit first(&session), second(&session);
    first.confidence = 87;
    first.style = kStyleUnderlined;
    first.addStroke(0);
    first.addStroke(1);
    alt(first, 0, u"new", 90);
    alt(first, 1, u"now", 40);
    second.confidence = 64;
    second.addStroke(2);
    alt(second, 0, u"Stra\u00DFe", 70);
    CCharArray out;
    int at = first.writeXml(out, 0);
    at += second.writeXml(out, at);
    EXPECT_STREQ(out.text(),
                 "<Conf>87</Conf><Style>U</Style><Aliases>11 12</Aliases><Alt w=\"90\">new</Alt>"
                 "<Alt w=\"40\">now</Alt><Conf>64</Conf><Aliases>13</Aliases>"
                 "<Alt w=\"70\">Stra@DF:e</Alt>");
    EXPECT_EQ(at, static_cast<int>(std::string(out.text()).size()));

    CTextUnit styled(&session);
    styled.style = kStyleUnderlined | kStyleStruck | kStyleBold;
    CCharArray s;
    styled.writeXml(s, 0);
    EXPECT_STREQ(s.text(), "<Conf>0</Conf><Style>U S B</Style>");
}

TEST(TableXml, CellsGoAtTheirOffsetsAndAnEmptyCellStaysValidXml) {
    COmbraSession session(nullptr, nullptr, nullptr);
    ASSERT_EQ(session.init(0), 0);
    CTableGroup table(&session);
    table.html = "<TABLE><TR><TD></TD><TD></TD></TR></TABLE>";
    table.cellCount = 2;
    table.offsets = {15, 24, static_cast<int>(table.html.size())};
    table.addChild(new COmbraGroup(&session, kGroupText));
    table.addChild(new COmbraGroup(&session, kGroupText));
    CCharArray out;
    const int n = table.writeXml(out, 0);
    const std::string xml = out.text();
    EXPECT_EQ(n, static_cast<int>(xml.size()));
    EXPECT_EQ(xml, "<TABLE><TR><TD><p>&#160;</p></TD><TD><p>&#160;</p></TD></TR></TABLE>");
    EXPECT_TRUE(readResult(xml.c_str()).wellFormed);

    // Offsets that disagree with the cells or the HTML write nothing.
    table.offsets.back() = 5;
    CCharArray none;
    EXPECT_EQ(table.writeXml(none, 0), 0);
    table.offsets = {15, 24, static_cast<int>(table.html.size())};
    table.cellCount = 3;
    EXPECT_EQ(table.writeXml(none, 0), 0);
}

}  // namespace
