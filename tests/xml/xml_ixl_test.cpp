// The typed schema layer: records from the macro and profile files, the packed
// PlainElem blob, wildcard patterns and token splitting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml/IxlScribixHelper.h"
#include "xml_test_util.h"

using xmltest::N;
using xmltest::ScratchDir;
using xmltest::X;

namespace {

// Loads a document given as text through a scratch file.
struct Loaded {
    ScratchDir dir;
    IxlScribixHelper helper;
    std::vector<uint8_t> blob;
    Loaded(int kind, const std::string& content, const char* name = "doc")
        : dir(std::string("ixl_") + name), helper(kind) {
        xmltest::writeBytes(dir / "file.xml", content);
        loaded = helper.load(xmltest::pathText(dir / "file.xml").c_str());
        if (loaded) pack();
    }
    void pack() {
        const size_t size = helper.packPlain(nullptr, 0);
        blob.assign(size, 0xCD);
        if (size) packed = helper.packPlain(blob.data(), blob.size());
    }
    const PlainElem* root() const { return reinterpret_cast<const PlainElem*>(blob.data()); }
    std::vector<const PlainElem*> items() const {
        std::vector<const PlainElem*> v;
        for (const PlainElem* c = root()->firstChild(); c < root()->end(); c = c->next())
            v.push_back(c);
        return v;
    }
    bool loaded = false;
    size_t packed = 0;
};

// The strings of a text entry: one, or the items of a list.
std::vector<std::string> strings(const PlainAttr* a) {
    std::vector<std::string> out;
    if (!a) return out;
    const xchar* p = a->text();
    if (!a->isList()) return {N(p)};
    for (; *p; p += xstrlen(p) + 1) out.push_back(N(p));
    return out;
}

// Every byte of the blob is used: the headers end where the strings begin,
// and the last string ends at the last byte.
void expectFilledExactly(const std::vector<uint8_t>& blob) {
    ASSERT_GE(blob.size(), 4u);
    const PlainElem* root = reinterpret_cast<const PlainElem*>(blob.data());
    const size_t headers = root->m_nSize;
    size_t end = headers;
    std::vector<const PlainElem*> walk{root};
    while (!walk.empty()) {
        const PlainElem* e = walk.back();
        walk.pop_back();
        for (int i = 0; i < e->m_nAttr; ++i) {
            const PlainAttr* a = e->attrs() + i;
            if (!a->isText()) continue;
            const uint8_t* at = reinterpret_cast<const uint8_t*>(a) + a->m_Value;
            EXPECT_GE(static_cast<size_t>(at - blob.data()), headers);
            const xchar* p = a->text();
            if (a->isList()) {
                while (*p) p += xstrlen(p) + 1;
            } else {
                p += xstrlen(p);
            }
            const size_t stop = reinterpret_cast<const uint8_t*>(p + 1) - blob.data();
            if (stop > end) end = stop;
        }
        for (const PlainElem* c = e->firstChild(); c < e->end(); c = c->next()) walk.push_back(c);
    }
    EXPECT_EQ(end, blob.size());
    for (uint8_t b : blob) ASSERT_NE(b, 0xCD) << "an unwritten byte is left";
}

TEST(IxlMacros, SampleFileFillsItsBlobExactly) {
    Loaded l(IXL_KIND_MACRO, xmltest::sample("macro.xml"), "macro");
    ASSERT_TRUE(l.loaded);
    ASSERT_GT(l.blob.size(), 0u);
    EXPECT_EQ(l.packed, l.blob.size());
    expectFilledExactly(l.blob);
    EXPECT_EQ(l.root()->m_Id, IXL_MACROSES);
    const auto items = l.items();
    ASSERT_EQ(items.size(), 9u);

    const PlainAttr* slots[IXL_MACRO_ATTR_SLOTS];
    fillPlainElemAttrTable(items[0], slots, IXL_MACRO_ATTR_SLOTS);
    EXPECT_EQ(items[0]->m_Id, IXL_MACRO);
    EXPECT_EQ(strings(slots[IXL_MACRO_NAME]), std::vector<std::string>{"sig"});
    EXPECT_EQ(slots[IXL_MACRO_TYPE]->intValue(), IXL_MACRO_KEYSTROKE);
    EXPECT_EQ(strings(slots[IXL_MACRO_DESCRIPTION]),
              std::vector<std::string>{"Signature & greeting"});
    EXPECT_EQ(strings(slots[IXL_MACRO_BODY]),
              std::vector<std::string>{"Best regards,{ENTER}Ann <ann@example.org>"});
    EXPECT_EQ(slots[IXL_MACRO_PARAM], nullptr);

    fillPlainElemAttrTable(items[1], slots, IXL_MACRO_ATTR_SLOTS);
    EXPECT_EQ(slots[IXL_MACRO_TYPE]->intValue(), IXL_MACRO_LAUNCH);
    EXPECT_EQ(strings(slots[IXL_MACRO_PARAM]), std::vector<std::string>{"/new"});

    // The body's line feed becomes a carriage return.
    EXPECT_EQ(strings(findAttrEntry(items[2], IXL_MACRO_BODY)),
              std::vector<std::string>{"12 Main St\rSpringfield"});
    // No text at all: no body entry.
    EXPECT_EQ(findAttrEntry(items[3], IXL_MACRO_BODY), nullptr);
    EXPECT_EQ(findAttrEntry(items[3], IXL_MACRO_TYPE)->intValue(), IXL_MACRO_USE_PROFILE);
    // Characters outside the BMP survive as pairs.
    EXPECT_EQ(strings(findAttrEntry(items[4], IXL_MACRO_BODY)),
              std::vector<std::string>{"\xF0\x9F\x98\x80 ok"});
    // A body in a CDATA section.
    EXPECT_EQ(strings(findAttrEntry(items[5], IXL_MACRO_BODY)),
              std::vector<std::string>{"if (a < b) x = \"y\";"});
    // "@" takes the element's text.
    EXPECT_EQ(strings(findAttrEntry(items[6], IXL_MACRO_DESCRIPTION)),
              std::vector<std::string>{"Typed as it is"});
    EXPECT_EQ(findAttrEntry(items[7], IXL_MACRO_TYPE)->intValue(), IXL_MACRO_ASSIGN_PROFILE);
    EXPECT_EQ(strings(findAttrEntry(items[7], IXL_MACRO_DESCRIPTION)),
              std::vector<std::string>{"tab\tinside"});
}

TEST(IxlProfiles, SampleFileFillsItsBlobExactly) {
    Loaded l(IXL_KIND_PROFILE, xmltest::sample("profiles.xml"), "profiles");
    ASSERT_TRUE(l.loaded);
    expectFilledExactly(l.blob);
    const auto items = l.items();
    ASSERT_EQ(items.size(), 5u);
    const PlainAttr* slots[IXL_PROFILE_ATTR_SLOTS];

    fillPlainElemAttrTable(items[0], slots, IXL_PROFILE_ATTR_SLOTS);
    EXPECT_EQ(slots[IXL_PROFILE_NAME]->m_Type, IXLVAL_STR);  // one name: a string
    EXPECT_EQ(strings(slots[IXL_PROFILE_NAME]), std::vector<std::string>{"#sys-default"});
    EXPECT_EQ(slots[IXL_PROFILE_REC_TIMEOUT]->intValue(), 1200);
    EXPECT_TRUE(slots[IXL_PROFILE_WORD_SEGM]->boolValue());
    EXPECT_FALSE(slots[IXL_PROFILE_SEP_LET]->boolValue());
    EXPECT_EQ(slots[IXL_PROFILE_CAPITALIZATION], nullptr);

    fillPlainElemAttrTable(items[2], slots, IXL_PROFILE_ATTR_SLOTS);
    // Two names: a list; "||" is a "|" inside a name.
    EXPECT_EQ(slots[IXL_PROFILE_NAME]->m_Type, IXLVAL_ARRSTR);
    EXPECT_EQ(strings(slots[IXL_PROFILE_NAME]),
              (std::vector<std::string>{"Mail", "Letters|Notes"}));
    EXPECT_EQ(slots[IXL_PROFILE_REC_TIMEOUT]->intValue(), 500);
    EXPECT_EQ(slots[IXL_PROFILE_CAPITALIZATION]->intValue(), IXL_CAPS_FIRST);
    EXPECT_EQ(strings(slots[IXL_PROFILE_USER_DICTS]),
              (std::vector<std::string>{"default", "mail"}));
    // "Eng*" is stored compiled: a prefix pattern.
    EXPECT_TRUE(
        matchPatternList(XS("English"), slots[IXL_PROFILE_ONLY_FOR_LANGUAGE]->text(), false));
    EXPECT_FALSE(
        matchPatternList(XS("German"), slots[IXL_PROFILE_ONLY_FOR_LANGUAGE]->text(), false));

    fillPlainElemAttrTable(items[3], slots, IXL_PROFILE_ATTR_SLOTS);
    EXPECT_TRUE(slots[IXL_PROFILE_ENABLED]->boolValue());  // "YES"
    EXPECT_TRUE(slots[IXL_PROFILE_DEFAULT]->boolValue());
    EXPECT_EQ(slots[IXL_PROFILE_CAPITALIZATION]->intValue(), IXL_CAPS_NONE);
    // "*word*" is a substring pattern, one character shorter than its text.
    EXPECT_TRUE(matchPatternList(XS("keyword list"), slots[IXL_PROFILE_NAME]->text(), false));

    // A capitalization the schema does not know is left out.
    fillPlainElemAttrTable(items[4], slots, IXL_PROFILE_ATTR_SLOTS);
    EXPECT_EQ(slots[IXL_PROFILE_CAPITALIZATION], nullptr);
    EXPECT_NE(slots[IXL_PROFILE_DESCRIPTION], nullptr);
}

TEST(IxlPack, SizeCountsTheCompiledPatterns) {
    // Each "*x*" name compiles one character shorter than it is written.
    std::string doc = "<profiles>";
    for (int i = 0; i < 20; ++i) doc += "<profile name=\"*n" + std::to_string(i) + "*|**\"/>";
    doc += "</profiles>";
    Loaded l(IXL_KIND_PROFILE, doc, "patterns");
    ASSERT_TRUE(l.loaded);
    EXPECT_EQ(l.packed, l.blob.size());
    expectFilledExactly(l.blob);
    EXPECT_EQ(l.root()->m_nSize, 4u + 20u * 8u);
}

TEST(IxlPack, IntegerRangeAndSizeLimits) {
    Loaded ok(IXL_KIND_PROFILE,
              "<profiles><profile recTimeout=\"500\"/><profile recTimeout=\"-100\"/></profiles>",
              "ints");
    ASSERT_TRUE(ok.loaded);
    EXPECT_EQ(ok.items()[0]->attrs()[0].intValue(), 500);
    EXPECT_EQ(ok.items()[1]->attrs()[0].intValue(), -100);

    Loaded wide(IXL_KIND_PROFILE,
                "<profiles><profile recTimeout=\"200\"/><profile recTimeout=\"-200\"/></profiles>",
                "wide");
    ASSERT_TRUE(wide.loaded);
    EXPECT_EQ(wide.helper.packPlain(nullptr, 0), 0u);

    // More than 64 KB of strings cannot be packed.
    Loaded big(IXL_KIND_PROFILE,
               "<profiles><profile description=\"" + std::string(40000, 'x') + "\"/></profiles>",
               "big");
    ASSERT_TRUE(big.loaded);
    EXPECT_EQ(big.helper.packPlain(nullptr, 0), 0u);

    // A buffer smaller than the size is refused.
    std::vector<uint8_t> small(ok.blob.size() - 1);
    EXPECT_EQ(ok.helper.packPlain(small.data(), small.size()), 0u);
}

TEST(IxlRecords, UnknownElementsAreLeftOutAndUnknownRootsRefused) {
    Loaded l(IXL_KIND_PROFILE,
             "<profiles><profile name=\"a\" extra=\"1\"/><other><profile name=\"x\"/></other>"
             "<profile name=\"b\"/></profiles>",
             "unknown");
    ASSERT_TRUE(l.loaded);
    ASSERT_EQ(l.items().size(), 2u);
    EXPECT_EQ(l.items()[0]->m_nAttr, 1);

    Loaded wrongRoot(IXL_KIND_PROFILE, "<macroses/>", "root");
    EXPECT_FALSE(wrongRoot.loaded);

    Loaded broken(IXL_KIND_PROFILE, "<profiles><profile></profiles>", "broken");
    EXPECT_FALSE(broken.loaded);
}

TEST(IxlRecords, ElementTextRulesForMacros) {
    Loaded l(IXL_KIND_MACRO,
             "<macroses><macro name=\"@\">x\ny</macro><macro name=\"m\"><![CDATA[a\nb]]></macro>"
             "<macro name=\"s\">  two spaces kept  </macro></macroses>",
             "text");
    ASSERT_TRUE(l.loaded);
    const auto items = l.items();
    // "@" takes the element's text (trimmed, as CLiteElem gives it) ...
    EXPECT_EQ(strings(findAttrEntry(items[0], IXL_MACRO_NAME)), std::vector<std::string>{"x\ny"});
    // ... while the body keeps the text whole, line feeds as carriage returns.
    EXPECT_EQ(strings(findAttrEntry(items[0], IXL_MACRO_BODY)), std::vector<std::string>{"x\ry"});
    EXPECT_EQ(strings(findAttrEntry(items[1], IXL_MACRO_BODY)), std::vector<std::string>{"a\rb"});
    EXPECT_EQ(strings(findAttrEntry(items[2], IXL_MACRO_BODY)),
              std::vector<std::string>{"  two spaces kept  "});
    // Values are in attribute-name order, the body last.
    EXPECT_EQ(items[0]->attrs()[items[0]->m_nAttr - 1].m_Id, IXL_MACRO_BODY);
}

struct PatternCase {
    const char* pattern;
    const char* compiled;  // kind character shown as \3 \4 \5
    const char* text;
    bool matches;
};

class Patterns : public ::testing::TestWithParam<PatternCase> {};

TEST_P(Patterns, CompileAndMatch) {
    const PatternCase& c = GetParam();
    const XString compiled = ixlCompilePattern(X(c.pattern));
    EXPECT_EQ(N(compiled), c.compiled);
    EXPECT_EQ(matchPatternList(X(c.text).c_str(), compiled.c_str(), false), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Patterns,
    ::testing::Values(PatternCase{"word", "word", "word", true},
                      PatternCase{"word", "word", "Word", false},  // case-sensitive
                      PatternCase{"word", "word", "words", false},
                      PatternCase{"*ing", "\3ing", "writing", true},  // suffix
                      PatternCase{"*ing", "\3ing", "ing", true},
                      PatternCase{"*ing", "\3ing", "ng", false},
                      PatternCase{"pre*", "\4pre", "prefix", true},  // prefix
                      PatternCase{"pre*", "\4pre", "apre", false},
                      PatternCase{"*mid*", "\5mid", "amidst", true},  // substring
                      PatternCase{"*mid*", "\5mid", "mi", false},
                      PatternCase{"*", "\4", "anything", false},  // a lone star matches nothing
                      PatternCase{"*", "\4", "", false},
                      PatternCase{"**", "\5", "anything", true},  // two stars match all
                      PatternCase{"**", "\5", "", true}, PatternCase{"", "", "", true},
                      PatternCase{"", "", "x", false}));

TEST(Patterns, ListsMatchAnyItem) {
    XString list = ixlCompilePattern(XS("Eng*")) + xchar(0) + ixlCompilePattern(XS("*man")) +
                   xchar(0) + xchar(0);
    EXPECT_TRUE(matchPatternList(XS("English"), list.c_str(), true));
    EXPECT_TRUE(matchPatternList(XS("German"), list.c_str(), true));
    EXPECT_FALSE(matchPatternList(XS("French"), list.c_str(), true));
    // Without the list flag only the first pattern counts.
    EXPECT_FALSE(matchPatternList(XS("German"), list.c_str(), false));
}

struct SplitCase {
    const char* text;
    std::vector<std::string> tokens;
};

class SplitTokens : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitTokens, CutsTrimsAndUnescapes) {
    std::vector<XString> out;
    EXPECT_EQ(splitTokens(X(GetParam().text), out, XS("|")), !GetParam().tokens.empty());
    std::vector<std::string> got;
    for (const XString& t : out) got.push_back(N(t));
    EXPECT_EQ(got, GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(Cases, SplitTokens,
                         ::testing::Values(SplitCase{"a|b", {"a", "b"}}, SplitCase{"a||b", {"a|b"}},
                                           SplitCase{"|a|", {"a"}},
                                           SplitCase{" x | y ", {"x", "y"}},
                                           SplitCase{"a| |b", {"a", "", "b"}},
                                           SplitCase{"a|||b", {"a|", "b"}}, SplitCase{"", {}},
                                           SplitCase{"|", {}}, SplitCase{"single", {"single"}}));

TEST(IxlScribixHelper, KindsAndMissingFiles) {
    IxlScribixHelper none;
    EXPECT_FALSE(none.load(XS("whatever.xml")));
    EXPECT_FALSE(none.setKind(2));
    EXPECT_TRUE(none.isEmpty());

    ScratchDir dir("ixl_missing");
    const XString path = xmltest::pathText(dir / "profiles.xml");
    IxlScribixHelper profiles(IXL_KIND_PROFILE);
    ASSERT_TRUE(profiles.load(path.c_str()));
    EXPECT_TRUE(profiles.isEmpty());
    EXPECT_GT(profiles.packPlain(nullptr, 0), 0u);  // the root record alone
    ASSERT_TRUE(profiles.save());
    EXPECT_EQ(xmltest::readBytes(dir / "profiles.xml"), "<profiles/>\r\n");

    // An existing file that does not load is not replaced by an empty document.
    xmltest::writeBytes(dir / "bad.xml", "<profiles><profile>");
    IxlScribixHelper bad(IXL_KIND_PROFILE);
    EXPECT_FALSE(bad.load(xmltest::pathText(dir / "bad.xml").c_str()));
    EXPECT_FALSE(bad.isLoaded());
}

TEST(IxlScribixHelper, ItemOperations) {
    ScratchDir dir("ixl_items");
    xmltest::writeBytes(dir / "macro.xml", xmltest::sample("macro.xml"));
    const XString path = xmltest::pathText(dir / "macro.xml");
    IxlScribixHelper macros(IXL_KIND_MACRO);
    ASSERT_TRUE(macros.load(path.c_str(), true));
    EXPECT_EQ(macros.records(), nullptr);  // document only
    EXPECT_FALSE(macros.isEmpty());

    std::vector<XString> names;
    ASSERT_TRUE(macros.getMacroNames(names));
    std::vector<std::string> n;
    for (const XString& s : names) n.push_back(N(s));
    EXPECT_EQ(n, (std::vector<std::string>{"sig", "notes", "addr", "num", "smile", "code", "echo",
                                           "bind", "euro"}));

    CLiteElem first, found;
    ASSERT_TRUE(macros.getFirstItem(first));
    XString name;
    first.getAttrString(XS("name"), name);
    EXPECT_EQ(N(name), "sig");
    EXPECT_TRUE(macros.findItemByName(found, XS("addr")));
    EXPECT_FALSE(macros.findItemByName(found, XS("ADDR")));  // case-sensitive
    ASSERT_TRUE(macros.findItemByName(found, XS("addr")));
    EXPECT_TRUE(macros.removeItem(found));

    CLiteElem added(XS("macro"));
    added.setAttribute(XS("name"), XS("new"));
    added.setAttribute(XS("type"), XS("keystroke"));
    added.addText(XS("typed"));
    EXPECT_TRUE(macros.appendItem(added));
    EXPECT_FALSE(macros.appendItem(added));  // the root owns it now
    ASSERT_TRUE(macros.save());

    IxlScribixHelper reloaded(IXL_KIND_MACRO);
    ASSERT_TRUE(reloaded.load(path.c_str()));
    EXPECT_TRUE(reloaded.findItemByName(found, XS("new")));
    EXPECT_FALSE(reloaded.findItemByName(found, XS("addr")));
    EXPECT_GT(reloaded.packPlain(nullptr, 0), 0u);
}

TEST(IxlScribixHelper, DebugAidsDescribeTheRecords) {
    Loaded l(IXL_KIND_PROFILE, xmltest::sample("profiles.xml"), "debug");
    ASSERT_TRUE(l.loaded);
    std::unique_ptr<CXMLElement> copy(l.helper.recordsAsElements());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->childCount(), 5u);
    EXPECT_EQ(N(copy->childElementAt(2)->findAttribute(XS("a1"))->value()), "Mail|Letters|Notes");
    EXPECT_EQ(N(ixlStarred(XS("x"))), "*x*");
}

}  // namespace
