// The node model and the writer: layouts, escaping, attribute order, and the
// element operations the document layer builds on.
#include <gtest/gtest.h>

#include <string>

#include "xml/XMLDocument.h"
#include "xml_test_util.h"

using xmltest::N;
using xmltest::save;
using xmltest::X;

namespace {

// A document with a root of that name; the test fills it.
struct Doc {
    CXMLDocument doc;
    CXMLElement* root;
    explicit Doc(const char* name = "r") : root(doc.createRoot(X(name).c_str())) {}
};

TEST(XMLWriter, AttributesAreWrittenInCodeUnitOrder) {
    Doc d;
    for (const char* name : {"ab", "a", "_x", "B", "Z9"})
        d.root->addAttribute(X(name).c_str(), XS("1"));
    EXPECT_EQ(save(d.doc, 0), "<r B=\"1\" Z9=\"1\" _x=\"1\" a=\"1\" ab=\"1\"/>");
}

struct ValueCase {
    const char* value;
    const char* written;
};

class AttributeValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(AttributeValue, IsTrimmedAndEscapedSoThatItReadsBack) {
    Doc d;
    d.root->addAttribute(XS("v"), X(GetParam().value).c_str());
    const std::string out = save(d.doc, 0);
    EXPECT_EQ(out, std::string("<r v=\"") + GetParam().written + "\"/>");
    // Whatever was written reads back as the trimmed value.
    CXMLDocument back;
    ASSERT_TRUE(xmltest::load(back, out));
    EXPECT_EQ(N(back.root()->findAttribute(XS("v"))->value()), N(xmlTrim(X(GetParam().value))));
}

INSTANTIATE_TEST_SUITE_P(Cases, AttributeValue,
                         ::testing::Values(ValueCase{"  two  spaces  ", "two  spaces"},
                                           ValueCase{"<&>'\"", "&lt;&amp;&gt;&apos;&quot;"},
                                           ValueCase{"a\x01"
                                                     "b",
                                                     "a&#x1;b"},
                                           // TAB, LF and CR inside a value become references.
                                           ValueCase{"a\tb\nc\rd", "a&#x9;b&#xa;c&#xd;d"},
                                           ValueCase{"&amp;lt;", "&amp;amp;lt;"},
                                           ValueCase{"caf\xC3\xA9 \xF0\x9F\x98\x80",
                                                     "caf\xC3\xA9 \xF0\x9F\x98\x80"}));

TEST(XMLWriter, TextIsEscapedAndCarriageReturnsKept) {
    Doc d;
    d.root->createText(X("a<b>&'\"\r\n\t\x01z").c_str());
    const std::string out = save(d.doc, 0);
    EXPECT_EQ(out, "<r>a&lt;b&gt;&amp;&apos;&quot;&#xd;\n\t&#x1;z</r>");
    CXMLDocument back;
    ASSERT_TRUE(xmltest::load(back, out));
    EXPECT_EQ(xmltest::treeDiff(d.doc, back), "");
}

TEST(XMLWriter, CommentsPIsAndCDataAreRewrittenSoTheyStayWellFormed) {
    Doc d;
    d.root->createComment(XS("a--b"));
    d.root->createCData(XS("x]]>y"));
    d.root->createPInstr(XS("t"), XS("one?>two"));
    d.root->createPInstr(XS("empty"), XS(""));
    EXPECT_EQ(save(d.doc, 0), "<r><!--a..b--><![CDATA[x]]&gt;y]]><?t one..two?><?empty?></r>");
}

TEST(XMLWriter, FlagsZeroWriteEverythingOnOneLine) {
    Doc d;
    d.root->createElement(XS("a"))->createText(XS("t"));
    d.root->createElement(XS("b"));
    d.root->createComment(XS("c"));
    EXPECT_EQ(save(d.doc, 0), "<r><a>t</a><b/><!--c--></r>");
}

TEST(XMLWriter, IndentedLayoutPutsEachNodeOnItsOwnLine) {
    Doc d;
    d.root->createElement(XS("a"));
    d.root->createElement(XS("b"))->createElement(XS("c"));
    EXPECT_EQ(save(d.doc, XML_WRITE_INDENT),
              "<r>\r\n\t<a/>\r\n\t<b>\r\n\t\t<c/>\r\n\t</b>\r\n</r>\r\n");
    EXPECT_EQ(save(d.doc, XML_WRITE_LINES), "<r>\r\n<a/>\r\n<b>\r\n<c/>\r\n</b>\r\n</r>\r\n");
}

TEST(XMLWriter, TextStaysOnTheLineOfItsTags) {
    Doc d;
    d.root->createElement(XS("a"))->createText(XS("only text"));
    CXMLElement* mixed = d.root->createElement(XS("m"));
    mixed->createText(XS("before"));
    mixed->createElement(XS("e"));
    mixed->createText(XS("after"));
    EXPECT_EQ(save(d.doc, XML_WRITE_INDENT),
              "<r>\r\n\t<a>only text</a>\r\n\t<m>before<e/>after</m>\r\n</r>\r\n");
}

TEST(XMLWriter, SingleQuotesAndSkippedNodeKinds) {
    Doc d;
    d.root->addAttribute(XS("q"), XS("it's"));
    d.root->createComment(XS("c"));
    d.root->createPInstr(XS("p"), XS("d"));
    d.root->createCData(XS("x"));
    d.root->createElement(XS("e"));
    EXPECT_EQ(save(d.doc, XML_WRITE_SINGLE_QUOTES | XML_WRITE_NO_COMMENTS | XML_WRITE_NO_PINSTR |
                              XML_WRITE_NO_CDATA),
              "<r q='it&apos;s'><e/></r>");
    EXPECT_EQ(save(d.doc, XML_WRITE_INDENT | XML_WRITE_NO_COMMENTS | XML_WRITE_NO_PINSTR),
              "<r q=\"it&apos;s\">\r\n\t<![CDATA[x]]>\r\n\t<e/>\r\n</r>\r\n");
}

TEST(XMLElement, AdjacentTextMerges) {
    Doc d;
    CXMLContent* first = d.root->createText(XS("ab"));
    CXMLContent* second = d.root->createText(XS("cd"));
    EXPECT_EQ(first, second);
    EXPECT_EQ(d.root->childCount(), 1u);
    EXPECT_EQ(N(first->text()), "abcd");
    d.root->createElement(XS("e"));
    EXPECT_NE(d.root->createText(XS("x")), first);
}

TEST(XMLElement, NamesMustBeValid) {
    Doc d;
    for (const char* bad : {"", "1a", "-a", "a b", "a<", ".x"})
        EXPECT_EQ(d.root->createElement(X(bad).c_str()), nullptr) << bad;
    for (const char* good : {"a", "_a", ":a", "a-1.b", "caf\xC3\xA9", "\xE4\xB8\xAD"})
        EXPECT_NE(d.root->createElement(X(good).c_str()), nullptr) << good;
    // A combining character may continue a name but not start one.
    EXPECT_EQ(d.root->createElement(X("\xCC\x80"
                                      "a")
                                        .c_str()),
              nullptr);
    EXPECT_NE(d.root->createElement(X("a\xCC\x80").c_str()), nullptr);
    EXPECT_EQ(d.root->createPInstr(XS("1"), XS("d")), nullptr);
    EXPECT_EQ(d.doc.createRoot(XS("no good")), nullptr);
}

TEST(XMLElement, SetAttributeReportsChangesAndRemovesWithEmptyValues) {
    Doc d;
    EXPECT_TRUE(d.root->setAttribute(XS("a"), XS("1")));
    EXPECT_FALSE(d.root->setAttribute(XS("a"), XS("1")));  // unchanged
    EXPECT_TRUE(d.root->setAttribute(XS("a"), XS("2")));
    EXPECT_FALSE(d.root->setAttribute(XS("missing"), XS("")));
    EXPECT_TRUE(d.root->setAttribute(XS("a"), nullptr));
    EXPECT_EQ(d.root->findAttribute(XS("a")), nullptr);
    EXPECT_NE(d.root->addAttribute(XS("n"), 7), nullptr);
    EXPECT_EQ(d.root->addAttribute(XS("n"), XS("dup")), nullptr);
    EXPECT_EQ(d.root->addAttribute(XS("bad name"), XS("x")), nullptr);
    EXPECT_NE(d.root->addAttributeUnsigned(XS("u"), 4000000000u), nullptr);
    EXPECT_EQ(N(d.root->findAttribute(XS("u"))->value()), "4000000000");
    EXPECT_EQ(d.root->removeAllAttributes(), 2u);
}

TEST(XMLElement, ChildOperations) {
    Doc d;
    CXMLElement* a = d.root->createElement(XS("x"));
    d.root->createText(XS("t"));
    CXMLElement* b = d.root->createElement(XS("x"));
    CXMLElement* c = d.root->createElement(XS("y"));
    EXPECT_EQ(d.root->childElement(XS("x"), 1), b);
    EXPECT_EQ(d.root->childElement(XS("x"), 2), nullptr);
    EXPECT_EQ(d.root->childElementAt(2), c);
    EXPECT_EQ(d.root->lastChild(), c);
    EXPECT_TRUE(d.root->detachChild(b));
    EXPECT_TRUE(d.root->insertBefore(b, a));
    EXPECT_EQ(d.root->childElementAt(0), b);
    EXPECT_TRUE(d.root->removeChild(a));
    EXPECT_FALSE(d.root->removeChild(a));
    EXPECT_EQ(save(d.doc, 0), "<r><x/>t<y/></r>");
    d.root->removeAllChildren();
    EXPECT_EQ(d.root->childCount(), 0u);
}

TEST(XMLElement, TextOfDescendantsIsCollectedDepthFirst) {
    Doc d;
    d.root->createText(XS("a"));
    CXMLElement* e = d.root->createElement(XS("e"));
    e->createText(XS("b"));
    e->createElement(XS("f"))->createText(XS("c"));
    d.root->createText(XS("d"));
    XString text;
    EXPECT_TRUE(d.root->getText(text));
    EXPECT_EQ(N(text), "ad");
    EXPECT_TRUE(d.root->getText(text, true));
    EXPECT_EQ(N(text), "abcd");
    EXPECT_FALSE(d.root->createElement(XS("empty"))->getText(text));
}

TEST(XMLElement, CloneIsADeepCopy) {
    Doc d;
    d.root->addAttribute(XS("k"), XS("v"));
    CXMLElement* e = d.root->createElement(XS("e"));
    e->createCData(XS("cd"));
    e->createComment(XS("co"));
    e->createPInstr(XS("p"), XS("d"));
    CXMLDocument copy(d.doc);
    EXPECT_EQ(xmltest::treeDiff(d.doc, copy), "");
    e->createText(XS("changed"));
    EXPECT_NE(xmltest::treeDiff(d.doc, copy), "");
}

TEST(XMLElement, TypedAttributesRoundTrip) {
    Doc d;
    CXMLElement& e = *d.root;
    EXPECT_TRUE(e.setAttr(XS("i"), -17));
    EXPECT_EQ(e.getAttr(XS("i"), 0), -17);
    EXPECT_TRUE(e.setAttr(XS("u"), 4000000000u));
    EXPECT_EQ(e.getAttr(XS("u"), 0u), 4000000000u);
    EXPECT_TRUE(e.setAttr(XS("b"), true));
    EXPECT_EQ(N(e.findAttribute(XS("b"))->value()), "true");
    EXPECT_TRUE(e.getAttr(XS("b"), false));
    const XMLColor color{0x12, 0xAB, 0xFF};
    EXPECT_TRUE(e.setAttr(XS("c"), color));
    EXPECT_EQ(N(e.findAttribute(XS("c"))->value()), "#12abff");
    EXPECT_TRUE(e.getAttr(XS("c"), XMLColor{}) == color);
    EXPECT_TRUE(e.setAttr(XS("d"), 2.5));
    EXPECT_EQ(e.getAttr(XS("d"), 0.0), 2.5);
    const XMLGuid guid{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_TRUE(e.setAttr(XS("g"), guid));
    EXPECT_EQ(N(e.findAttribute(XS("g"))->value()), "{12345678-9ABC-DEF0-0102-030405060708}");
    const XMLGuid read = e.getAttr(XS("g"), XMLGuid{});
    EXPECT_EQ(read.Data1, guid.Data1);
    EXPECT_EQ(read.Data4[7], 8);
    XMLDateTime when;
    ASSERT_TRUE(xmlParseDateTime(XS("2024/02/29 13:05:09"), when));
    EXPECT_TRUE(e.setAttr(XS("t"), when));
    EXPECT_EQ(N(e.findAttribute(XS("t"))->value()), "2024/02/29 13:05:09");
    EXPECT_TRUE(e.getAttr(XS("t"), XMLDateTime{}) == when);
    // Missing or unreadable values give the default.
    EXPECT_EQ(e.getAttr(XS("missing"), 5), 5);
    EXPECT_EQ(e.getAttr(XS("c"), 5), 5);
    // Set only when changed.
    EXPECT_FALSE(e.updateAttr(XS("i"), -17));
    EXPECT_TRUE(e.updateAttr(XS("i"), 3));
}

TEST(XMLElement, TypedChildTextsRoundTrip) {
    Doc d;
    EXPECT_TRUE(d.root->setChildValue(XS("count"), 12));
    EXPECT_TRUE(d.root->setChildValue(XS("name"), XString(XS("box"))));
    EXPECT_EQ(d.root->getChildValue(XS("count"), 0), 12);
    EXPECT_FALSE(d.root->updateChildValue(XS("count"), 12));
    EXPECT_TRUE(d.root->updateChildValue(XS("count"), 13));
    EXPECT_EQ(save(d.doc, 0), "<r><count>13</count><name>box</name></r>");
    EXPECT_EQ(d.root->getChildValue(XS("absent"), -1), -1);
}

struct DateCase {
    const char* text;
    bool valid;
    const char* written;  // as written back
};

class DateTimeText : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateTimeText, IsReadInItsTwoForms) {
    XMLDateTime t;
    ASSERT_EQ(xmlParseDateTime(X(GetParam().text).c_str(), t), GetParam().valid);
    if (GetParam().valid) {
        EXPECT_EQ(N(xmlFormatDateTime(t)), GetParam().written);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DateTimeText,
    ::testing::Values(DateCase{"2001/02/03", true, "2001/02/03 00:00:00"},
                      DateCase{"1899/12/30 00:00:00", true, "1899/12/30 00:00:00"},
                      DateCase{"1899/12/29 12:00:00", true, "1899/12/29 12:00:00"},
                      DateCase{"2001/2/3 4:05:06", false, ""},  // 16 characters
                      DateCase{"2001/02/30", false, ""},        // no such day
                      DateCase{"2001-02-03", false, ""},
                      DateCase{"2023/02/29 10:00:00", false, ""}));

TEST(XMLValues, GuidsAreReadInBothForms) {
    XMLGuid g;
    ASSERT_TRUE(xmlParseGuid(XS("[12345678-9abc-DEF0-0102030405060708]"), g));
    EXPECT_EQ(N(xmlFormatGuid(g)), "{12345678-9ABC-DEF0-0102-030405060708}");
    EXPECT_FALSE(xmlParseGuid(XS("{12345678-9ABC-DEF0-0102-03040506070}"), g));
    EXPECT_FALSE(xmlParseGuid(XS("{12345678-9ABC-DEF0-0102-03040506070G}"), g));
}

TEST(XMLValues, NumbersAreReadFromTheStart) {
    int i = 0;
    EXPECT_TRUE(xmlParseInt(XS("  42abc"), i));
    EXPECT_EQ(i, 42);
    EXPECT_TRUE(xmlParseInt(XS("-7"), i));
    EXPECT_EQ(i, -7);
    EXPECT_FALSE(xmlParseInt(XS("abc"), i));
    EXPECT_TRUE(xmlParseInt(XS("99999999999"), i));
    EXPECT_EQ(i, 2147483647);
    double v = 0;
    EXPECT_TRUE(xmlParseDouble(XS(" \t1.25e2x"), v));
    EXPECT_EQ(v, 125.0);
    EXPECT_FALSE(xmlParseDouble(XS("x1"), v));
}

}  // namespace
