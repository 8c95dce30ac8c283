// The reader: error codes with their texts and lines, every node kind and how
// it is written back, the loader's flags, and loading from streams in blocks.
#include <gtest/gtest.h>

#include <string>

#include "xml/LiteDom.h"
#include "xml/XMLDocument.h"
#include "xml_test_util.h"

using xmltest::MemoryStream;
using xmltest::N;
using xmltest::save;
using xmltest::X;

namespace {

struct ErrorCase {
    const char* input;
    unsigned flags;
    const char* info;  // CLiteDom's error information
};

class ParserError : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ParserError, ReportsCodeTextAndLine) {
    const ErrorCase& c = GetParam();
    CLiteDom dom;
    const std::string in = c.input;
    EXPECT_FALSE(
        dom.loadFromBytes(reinterpret_cast<const uint8_t*>(in.data()), in.size(), c.flags));
    EXPECT_EQ(N(dom.getErrorInfo()), c.info);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParserError,
    ::testing::Values(
        ErrorCase{"<a>&foo;</a>", 0, "error=INVALID_REF token='foo' line=1\n"},
        ErrorCase{"<a>\n&#0;</a>", 0, "error=INVALID_REF token='0' line=2\n"},
        ErrorCase{"<a>&#x10000;</a>", 0, "error=INVALID_REF token='x10000' line=1\n"},
        ErrorCase{"<a/>\r\n<b/>", 0, "error=INVALID_DOC token='b' line=2\n"},
        ErrorCase{"<a>\r\r</b>", 0, "error=INVALID_DOC token='b' line=3\n"},
        ErrorCase{"<!-- only a comment -->", 0,
                  "error=INVALID_DOC token='no root element' line=1\n"},
        ErrorCase{"", 0, "error=INVALID_DOC token='no root element' line=1\n"},
        ErrorCase{"<a>\n<b>\ntext", 0, "error=INCOMPLETE_DOC token='/a /b' line=3\n"},
        ErrorCase{"<a>\n\n<b x='1' x=\"2\"/></a>", 0, "error=DUPLICATE_ATTR token='x' line=3\n"},
        ErrorCase{"<a><b/></a>", XML_LOAD_ROOT_ONLY, "error=CANCELLED token='b' line=1\n"},
        // With the mismatch flag the load goes on, and the open elements end it.
        ErrorCase{"<a><b></c></a>", XML_LOAD_CONTINUE_ON_MISMATCH,
                  "error=INCOMPLETE_DOC token='/a /b' line=1\n"},
        ErrorCase{"<a>&#X41;</a>", 0, "error=UNEXPECTED_CHAR token='a>&#' line=1\n"},
        ErrorCase{"<a>\n<!-- a -- b --></a>", 0, "error=UNEXPECTED_CHAR token=' a ' line=2\n"},
        ErrorCase{"<a>x\x01y</a>", 0, "error=UNEXPECTED_CHAR token='x' line=1\n"},
        ErrorCase{"<a b=\"<\"/>", 0, "error=UNEXPECTED_CHAR token='' line=1\n"},
        ErrorCase{"<!DOCTYPE>\n<a/>", 0, "error=UNEXPECTED_CHAR token='' line=1\n"},
        // A processing instruction after the root's end tag ends the load.
        ErrorCase{"<a/>\n<?pi data?>", 0, "error=UNEXPECTED_CHAR token='data' line=2\n"},
        // A broken UTF-8 sequence in bytes in memory stops the parse where it
        // stands: the pending token is the text (a stream names its file instead).
        ErrorCase{"<a>\xC3</a>", 0, "error=UNEXPECTED_CHAR token='a>' line=1\n"},
        ErrorCase{"<a>x\xED\xA0\x80</a>", 0, "error=UNEXPECTED_CHAR token='x' line=1\n"},
        ErrorCase{"<a>\n<bc\x80/></a>", 0, "error=UNEXPECTED_CHAR token='bc' line=2\n"}));

TEST(Parser, NulInsideTextIsAnError) {
    CXMLDocument doc;
    const std::string in("<a>x\0y</a>", 10);
    EXPECT_FALSE(xmltest::load(doc, in));
    EXPECT_EQ(doc.errorCode(), XML_ERROR_UNEXPECTED_CHAR);
    const XString text = X("<a>x") + xchar(0) + X("y</a>");
    EXPECT_FALSE(doc.loadText(text.data(), text.size(), 0));
    EXPECT_EQ(doc.errorCode(), XML_ERROR_UNEXPECTED_CHAR);
}

TEST(Parser, LoneSurrogatesInTextInputAreSyntaxErrors) {
    CXMLDocument doc;
    const XString high = X("<a>") + xchar(0xD83D) + X("</a>");
    EXPECT_FALSE(doc.loadText(high.data(), high.size(), 0));
    EXPECT_EQ(doc.errorCode(), XML_ERROR_UNEXPECTED_CHAR);
    const XString low = X("<a v='") + xchar(0xDE00) + X("'/>");
    EXPECT_FALSE(doc.loadText(low.data(), low.size(), 0));
    const XString pair = X("<a v='") + xchar(0xD83D) + xchar(0xDE00) + X("'/>");
    EXPECT_TRUE(doc.loadText(pair.data(), pair.size(), 0));
}

TEST(Parser, EveryNodeKindLoadsAndIsWrittenBack) {
    const std::string in =
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<!-- top -->\n"
        "<!DOCTYPE root [ <!ENTITY x \"y>z\"> <!-- '>' --> ]>\n"
        "<root b=\"2\" a='1'>\n"
        "  text &amp; more &#65;&#x42;\n"
        "  <child/>\n"
        "  <![CDATA[ <raw> ]]&gt; ]]>\n"
        "  <?pi some data?>\n"
        "  <!-- inner -->\n"
        "</root>\n"
        "<!-- after the root: dropped -->\n"
        "text after the root: dropped too\n";
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, in, XML_LOAD_DROP_INDENT)) << N(doc.errorText());
    EXPECT_EQ(doc.line(), 13u);
    ASSERT_EQ(doc.topNodes().size(), 3u);  // the byte-order mark, the declaration, the comment
    EXPECT_TRUE(doc.topNodes()[0]->isContent());
    EXPECT_TRUE(doc.topNodes()[1]->isPInstr());
    EXPECT_TRUE(doc.topNodes()[2]->isComment());
    const std::string out = save(doc, XML_WRITE_INDENT);
    EXPECT_EQ(out,
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
              "<!-- top -->\r\n"
              "<root a=\"1\" b=\"2\">\n"
              "  text &amp; more AB\n"
              "  <child/>\n"
              "  <![CDATA[ <raw> ]]&gt; ]]>\n"
              "  <?pi some data?>\n"
              "  <!-- inner -->\r\n"
              "</root>\r\n");
    // What was written reads back as the same tree, and writes the same again.
    CXMLDocument back;
    ASSERT_TRUE(xmltest::load(back, out, XML_LOAD_DROP_INDENT));
    EXPECT_EQ(xmltest::treeDiff(doc, back), "");
    EXPECT_EQ(save(back, XML_WRITE_INDENT), out);
}

TEST(Parser, TextPiecesMergeIntoOneNode) {
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, "<a>x&amp;y&#x41;&#66;</a>"));
    ASSERT_EQ(doc.root()->childCount(), 1u);
    EXPECT_EQ(N(static_cast<CXMLContent*>(doc.root()->child(0))->text()), "x&yAB");
}

struct ValueCase {
    const char* attribute;  // as written in the file
    const char* value;      // as read
};

class AttributeNormalisation : public ::testing::TestWithParam<ValueCase> {};

TEST_P(AttributeNormalisation, TurnsEachLiteralBreakIntoOneSpaceAndDecodesOnce) {
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, std::string("<a v=\"") + GetParam().attribute + "\"/>"));
    EXPECT_EQ(N(doc.root()->findAttribute(XS("v"))->value()), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AttributeNormalisation,
    ::testing::Values(ValueCase{"  x\ty\n\nz  ", "x y  z"},  // no collapsing of runs
                      ValueCase{"a\r\nb", "a b"},            // CR LF is one line feed
                      ValueCase{"two  spaces", "two  spaces"},
                      ValueCase{"&amp;lt;", "&lt;"},  // decoded once
                      ValueCase{"a&#9;b&#xa;c&#xD;d", "a\tb\nc\rd"},
                      ValueCase{"&#32;edge&#32;", "edge"},  // trimmed after decoding
                      ValueCase{"&unknown; & &#xZZ; &#X41;", "&unknown; & &#xZZ; &#X41;"},
                      ValueCase{"&#65;&#x42;&quot;&apos;&gt;", "AB\"'>"},
                      ValueCase{"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
                      // leading zeros make a reference long, not invalid
                      ValueCase{"&#x00000041;&#0000000000066;", "AB"},
                      ValueCase{"a&#x0000000000000000000000000000000043;b", "aCb"},
                      ValueCase{"&#x000000000000000000000000000000000;",
                                "&#x000000000000000000000000000000000;"},
                      ValueCase{"&#x000000010000; & &#x0000004", "&#x000000010000; & &#x0000004"}));

TEST(Parser, LongReferencesInText) {
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, "<a>&#x00000041;&#00000000000000066;</a>"));
    XString text;
    doc.root()->getText(text);
    EXPECT_EQ(text, XS("AB"));
}

TEST(Parser, ReferencesInText) {
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, "<a>&#x41;&#xffff;</a>"));
    XString text;
    doc.root()->getText(text);
    ASSERT_EQ(text.size(), 2u);
    EXPECT_EQ(text[0], 'A');
    EXPECT_EQ(static_cast<unsigned>(text[1]), 0xFFFFu);
    // Written back as a reference, since it cannot be written as a character.
    EXPECT_EQ(save(doc, 0), "<a>A&#xffff;</a>");
}

TEST(Parser, LineCounterCountsEachKindOfLineBreakOnce) {
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, "<a>\r\n\r\n\n</a>"));
    EXPECT_EQ(doc.line(), 4u);
    ASSERT_TRUE(xmltest::load(doc, "<a>\r\r\r</a>"));
    EXPECT_EQ(doc.line(), 4u);
}

TEST(Parser, CommentsThatStartWithAHyphenKeepIt) {
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, "<a><!---x--><!----></a>"));
    ASSERT_EQ(doc.root()->childCount(), 2u);
    EXPECT_EQ(N(static_cast<CXMLComment*>(doc.root()->child(0))->text()), "-x");
    EXPECT_EQ(N(static_cast<CXMLComment*>(doc.root()->child(1))->text()), "");
    EXPECT_EQ(save(doc, 0), "<a><!---x--><!----></a>");
}

TEST(Parser, TextAfterADeclarationIsKept) {
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, "<r><!DOCTYPE d [<!ELEMENT r ANY>]>hello</r>"));
    EXPECT_EQ(save(doc, 0), "<r>hello</r>");
}

TEST(Parser, ProcessingInstructionsWithoutDataRoundTrip) {
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc,
                              "<?"
                              "?><?t?><?u  spaced ?><a/>"));
    const std::string out = save(doc, 0);
    EXPECT_EQ(out,
              "<?"
              "?><?t?><?u spaced ?><a/>");
    CXMLDocument back;
    ASSERT_TRUE(xmltest::load(back, out));
    EXPECT_EQ(xmltest::treeDiff(doc, back), "");
}

TEST(Parser, NodesAfterTheRootAreDroppedWithoutError) {
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, "<a/>text<!-- c --><![CDATA[x]]>"));
    EXPECT_EQ(save(doc, 0), "<a/>");
}

struct FlagCase {
    unsigned flags;
    const char* written;
};

class LoadFlags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(LoadFlags, DropWhatTheyName) {
    const std::string in = "<!--top--><a>\n\t\t<!--c--><?p d?>\n x<![CDATA[cd]]><b/>\n</a>";
    CXMLDocument doc;
    ASSERT_TRUE(xmltest::load(doc, in, GetParam().flags)) << N(doc.errorText());
    EXPECT_EQ(save(doc, 0), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFlags,
    ::testing::Values(
        FlagCase{0, "<!--top--><a>\n\t\t<!--c--><?p d?>\n x<![CDATA[cd]]><b/>\n</a>"},
        FlagCase{XML_LOAD_DROP_INDENT, "<!--top--><a><!--c--><?p d?>\n x<![CDATA[cd]]><b/></a>"},
        FlagCase{XML_LOAD_NO_COMMENTS, "<a>\n\t\t<?p d?>\n x<![CDATA[cd]]><b/>\n</a>"},
        FlagCase{XML_LOAD_NO_PINSTR, "<!--top--><a>\n\t\t<!--c-->\n x<![CDATA[cd]]><b/>\n</a>"},
        FlagCase{XML_LOAD_NO_CDATA, "<!--top--><a>\n\t\t<!--c--><?p d?>\n x<b/>\n</a>"},
        // Dropped markup lets the texts around it meet: they merge.
        FlagCase{XML_LOAD_NO_COMMENTS | XML_LOAD_NO_PINSTR | XML_LOAD_NO_CDATA,
                 "<a>\n\t\t\n x<b/>\n</a>"}));

TEST(Parser, IndentationIsDroppedOnlyWhenMarkupEndsIt) {
    CXMLDocument doc;
    // "\n" followed by a reference is text, not indentation.
    ASSERT_TRUE(xmltest::load(doc, "<a>\n&lt;b&gt;</a>", XML_LOAD_DROP_INDENT));
    XString text;
    doc.root()->getText(text);
    EXPECT_EQ(N(text), "\n<b>");
}

TEST(Parser, PartialTreeStaysAfterAnError) {
    CXMLDocument doc;
    EXPECT_FALSE(xmltest::load(doc, "<a><b/><c x='1' x='2'/></a>"));
    ASSERT_NE(doc.root(), nullptr);
    EXPECT_NE(doc.root()->childElement(XS("b")), nullptr);
}

TEST(Parser, UnknownEntityCanBeReadAgainAsText) {
    // A client that lets unknown entities pass gets their names as text.
    struct Collect : IXMLParserCallback {
        std::string seen;
        bool elementBegin(const xchar*, size_t) override { return true; }
        bool elementEnd(const xchar*, size_t) override { return true; }
        bool attributeName(const xchar*, size_t) override { return true; }
        bool attributeValue(const xchar*, size_t) override { return true; }
        bool text(const xchar* t, size_t n) override {
            seen += N(XString(t, n)) + "|";
            return true;
        }
        bool unknownEntity(const xchar*, size_t) override { return true; }
        bool badCharRef(const xchar*, size_t) override { return true; }
        bool comment(const xchar*, size_t) override { return true; }
        bool piTarget(const xchar*, size_t) override { return true; }
        bool piData(const xchar*, size_t) override { return true; }
        bool cdata(const xchar*, size_t) override { return true; }
        bool declaration() override { return true; }
        bool newLine() override { return true; }
    } collect;
    CXMLParser parser(&collect);
    EXPECT_TRUE(parser.parse(XS("<a>x&nbsp;y</a>")));
    EXPECT_EQ(collect.seen, "x|nbspy|");
}

// ---------------------------------------------------------------- streams

// A document whose byte `at` (0-based) is the first byte of a multi-byte
// character, padded with text to `size` bytes.
std::string documentWithCharacterAt(size_t at, const std::string& character, size_t size) {
    std::string doc = "<r><t>";
    doc += std::string(at - doc.size(), 'a');
    doc += character;
    const std::string tail = "</t></r>";
    doc += std::string(size - doc.size() - tail.size(), 'b');
    return doc + tail;
}

struct SplitCase {
    size_t at;
    const char* character;
};

class BlockBoundary : public ::testing::TestWithParam<SplitCase> {};

TEST_P(BlockBoundary, CharacterAcrossTheBoundaryLoads) {
    const std::string ch = GetParam().character;
    const std::string bytes = documentWithCharacterAt(GetParam().at, ch, 600000);
    MemoryStream stream(bytes);
    CXMLDocument doc;
    ASSERT_TRUE(doc.loadStream(stream, 0)) << N(doc.errorText());
    XString text;
    doc.root()->childElement(XS("t"))->getText(text);
    const std::string expected = bytes.substr(6, bytes.size() - 6 - 8);
    EXPECT_EQ(N(text), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BlockBoundary,
    ::testing::Values(SplitCase{524286, "\xE2\x82\xAC"},  // the 524 288th byte is its middle byte
                      SplitCase{524287, "\xE2\x82\xAC"},  // only the lead byte in the first block
                      SplitCase{524285, "\xE2\x82\xAC"},  // ends exactly at the boundary
                      SplitCase{524285, "\xF0\x9F\x98\x80"}, SplitCase{524287, "\xC3\xA9"},
                      SplitCase{524288, "\xC3\xA9"}));  // starts the second block

TEST(LoadStream, SmallFilesEndingInAsciiLoad) {
    for (const std::string& in : {std::string("<a>\xE2\x82\xAC</a>"), std::string("<a/>"),
                                  std::string("<a>\xC3\xA9\xC3\xA9</a>\r\n")}) {
        MemoryStream stream(in);
        CXMLDocument doc;
        EXPECT_TRUE(doc.loadStream(stream, 0)) << in << ": " << N(doc.errorText());
        EXPECT_EQ(stream.seeks, 0);
    }
}

TEST(LoadStream, ShortReadsAreCarriedOn) {
    MemoryStream stream("<a>\xE2\x82\xAC\xE2\x82\xAC</a>");
    stream.maxRead = 4;  // every read ends inside a character or just after one
    CXMLDocument doc;
    ASSERT_TRUE(doc.loadStream(stream, 0)) << N(doc.errorText());
    XString text;
    doc.root()->getText(text);
    EXPECT_EQ(N(text), "\xE2\x82\xAC\xE2\x82\xAC");
}

TEST(LoadStream, Errors) {
    {
        MemoryStream empty("");
        CXMLDocument doc;
        EXPECT_FALSE(doc.loadStream(empty, 0));
        EXPECT_EQ(doc.errorCode(), XML_ERROR_CANT_SIZE_FILE);
    }
    {
        MemoryStream s("<a/>");
        s.failSize = true;
        CXMLDocument doc;
        EXPECT_FALSE(doc.loadStream(s, 0));
        EXPECT_EQ(doc.errorCode(), XML_ERROR_CANT_SIZE_FILE);
    }
    {
        MemoryStream s("<a/>");
        s.failRead = true;
        CXMLDocument doc;
        EXPECT_FALSE(doc.loadStream(s, 0));
        EXPECT_EQ(doc.errorCode(), XML_ERROR_CANT_READ_FILE);
        EXPECT_EQ(N(doc.errorText()), "read failed");
    }
    {
        MemoryStream s(documentWithCharacterAt(524287, "\xE2\x82\xAC", 600000));
        s.failSeek = true;
        CXMLDocument doc;
        EXPECT_FALSE(doc.loadStream(s, 0));
        EXPECT_EQ(doc.errorCode(), XML_ERROR_CANT_SEEK_FILE);
    }
    {
        MemoryStream s("<a>\xE2\x82");  // cut inside the last character
        CXMLDocument doc;
        EXPECT_FALSE(doc.loadStream(s, 0));
        EXPECT_EQ(doc.errorCode(), XML_ERROR_INVALID_UTF8_DATA);
        EXPECT_EQ(N(doc.errorText()), "memory.xml");
    }
    {
        // Syntax errors carry the offending character as well as the token.
        MemoryStream s("<a>\n<b c=d/></a>");
        CXMLDocument doc;
        EXPECT_FALSE(doc.loadStream(s, 0));
        EXPECT_EQ(doc.errorCode(), XML_ERROR_UNEXPECTED_CHAR);
        EXPECT_EQ(N(doc.errorText()), "'d' -- \"c=\"");
        EXPECT_EQ(doc.line(), 2u);
    }
}

}  // namespace
