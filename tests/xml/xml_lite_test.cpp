// The document, element and attribute wrappers: ownership, lookups and typed values.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "xml/LiteDom.h"
#include "xml_test_util.h"

using xmltest::N;
using xmltest::X;

namespace {

CLiteDom parse(const std::string& utf8) {
    CLiteDom dom;
    EXPECT_TRUE(dom.loadFromBytes(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()))
        << N(dom.getErrorInfo());
    return dom;
}

std::string text(const CLiteDom& dom, unsigned flags = 0) {
    return xmltest::save(*dom.document(), flags);
}

TEST(CLiteElem, OnlyOwnedElementsCanBeAttachedAndOnlyOnce) {
    CLiteDom dom = parse("<r><a/><b/></r>");
    CLiteElem root, a;
    ASSERT_TRUE(dom.getRoot(root));
    ASSERT_TRUE(root.findChild(a, XS("a")));
    EXPECT_FALSE(a.ownsObject());
    CLiteElem b;
    ASSERT_TRUE(root.findChild(b, XS("b")));
    EXPECT_FALSE(b.appendChild(a));  // a belongs to the tree already

    CLiteElem fresh(XS("new"));
    EXPECT_TRUE(fresh.ownsObject());
    EXPECT_TRUE(b.appendChild(fresh));
    EXPECT_FALSE(fresh.ownsObject());  // now a reference into the tree
    EXPECT_FALSE(root.appendChild(fresh));
    EXPECT_TRUE(fresh.setAttribute(XS("still"), XS("usable")));
    EXPECT_EQ(text(dom), "<r><a/><b><new still=\"usable\"/></b></r>");
}

TEST(CLiteElem, WrappersOfChildrenLeaveTheDocumentIntact) {
    CLiteDom dom = parse("<r><a x=\"1\"/></r>");
    {
        CLiteElem root, a;
        ASSERT_TRUE(dom.getRoot(root));
        ASSERT_TRUE(root.findChild(a, XS("a")));
        CLiteAttr x;
        ASSERT_TRUE(a.findAttribute(x, XS("x")));
        CLiteElem copy(a);  // a copy of a reference is a reference
        EXPECT_FALSE(copy.ownsObject());
        EXPECT_EQ(copy.getXMLElement(), a.getXMLElement());
    }
    EXPECT_EQ(text(dom), "<r><a x=\"1\"/></r>");
}

TEST(CLiteElem, CopiesOfOwnedElementsAreDeep) {
    CLiteElem owned(XS("e"));
    owned.setAttribute(XS("k"), XS("v"));
    CLiteElem copy(owned);
    EXPECT_TRUE(copy.ownsObject());
    EXPECT_NE(copy.getXMLElement(), owned.getXMLElement());
    copy.setAttribute(XS("k"), XS("changed"));
    XString v;
    owned.getAttrString(XS("k"), v);
    EXPECT_EQ(N(v), "v");
    CLiteElem assigned;
    assigned.assign(owned);
    EXPECT_TRUE(assigned.ownsObject());
}

TEST(CLiteElem, RemoveChildTakesReferencesOnly) {
    CLiteDom dom = parse("<r><a/>t<b/></r>");
    CLiteElem root, a;
    dom.getRoot(root);
    root.findChild(a, XS("a"));
    CLiteElem owned(XS("a"));
    EXPECT_FALSE(root.removeChild(owned));
    EXPECT_TRUE(root.removeChild(a));
    EXPECT_TRUE(a.isEmpty());
    EXPECT_FALSE(root.removeChild(a));
    EXPECT_EQ(text(dom), "<r>t<b/></r>");
    EXPECT_TRUE(root.removeAllChildElements());
    EXPECT_EQ(text(dom), "<r>t</r>");
}

TEST(CLiteDom, SetRootTakesAnOwnedElement) {
    CLiteDom dom;
    CLiteElem ref;
    EXPECT_FALSE(dom.getRoot(ref));
    CLiteElem root(XS("settings"));
    EXPECT_TRUE(dom.setRoot(root));
    EXPECT_FALSE(root.ownsObject());
    EXPECT_FALSE(dom.setRoot(root));  // a reference now
    CLiteElem other(XS("other"));
    EXPECT_TRUE(dom.setRoot(other));  // the old root goes
    EXPECT_EQ(text(dom), "<other/>");
    CLiteDom copy(dom);
    EXPECT_NE(copy.document(), dom.document());
    EXPECT_EQ(text(copy), "<other/>");
    EXPECT_EQ(N(dom.getErrorInfo()), "error=NONE token='' line=1\n");
}

TEST(CLiteElem, LookupsSkipOtherNodes) {
    CLiteDom dom = parse("<r>t<!--c--><a k=\"1\"/><b k=\"2\"/><a k=\"2\"/></r>");
    CLiteElem root, e;
    dom.getRoot(root);
    ASSERT_TRUE(root.getChildElement(e, 1));
    XString name;
    e.getName(name);
    EXPECT_EQ(N(name), "b");
    EXPECT_FALSE(root.getChildElement(e, 3));
    ASSERT_TRUE(root.findChild(e, XS("a"), 1));
    XString k;
    e.getAttrString(XS("k"), k);
    EXPECT_EQ(N(k), "2");
    EXPECT_FALSE(root.findChild(e, nullptr));
    ASSERT_TRUE(root.findChildByAttr(e, XS("a"), XS("k"), XS("2")));
    EXPECT_EQ(e.getXMLElement(), root.getXMLElement()->childElement(XS("a"), 1));
    ASSERT_TRUE(root.findChildByAttr(e, nullptr, XS("k"), XS("2")));
    e.getName(name);
    EXPECT_EQ(N(name), "b");
    EXPECT_FALSE(root.findChildByAttr(e, XS(""), XS("k"), XS("3")));
    // A non-element node has no name.
    CLiteElem textNode;
    textNode.attach(root.getXMLElement()->child(0));
    EXPECT_FALSE(textNode.getName(name));
    EXPECT_EQ(name, XString());
}

TEST(CLiteElem, AttributeAccessors) {
    CLiteDom dom =
        parse("<r yes=\"YES\" one=\"1\" num=\"42ab\" word=\"ab\" neg=\"-5\" empty=\"\"/>");
    CLiteElem r;
    dom.getRoot(r);
    bool flag = false;
    EXPECT_TRUE(r.getAttrBool(XS("yes"), flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(r.getAttrBool(XS("one"), flag));  // exists, but "1" is not true
    EXPECT_FALSE(flag);
    EXPECT_FALSE(r.getAttrBool(XS("missing"), flag));
    int n = 7;
    EXPECT_TRUE(r.getAttrInt(XS("num"), n));
    EXPECT_EQ(n, 42);
    EXPECT_FALSE(r.getAttrInt(XS("word"), n));
    EXPECT_EQ(n, 0);
    n = 7;
    EXPECT_FALSE(r.getAttrInt(XS("word"), n, false));
    EXPECT_EQ(n, 7);
    EXPECT_TRUE(r.getAttrInt(XS("neg"), n));
    EXPECT_EQ(n, -5);
    XString s = X("keep");
    EXPECT_FALSE(r.getAttrString(XS("missing"), s, false));
    EXPECT_EQ(N(s), "keep");
    EXPECT_FALSE(r.getAttrString(XS("missing"), s));
    EXPECT_TRUE(s.empty());
    EXPECT_TRUE(r.getAttrString(XS("empty"), s));

    EXPECT_TRUE(r.setAttribute(XS("a"), XS("v")));
    EXPECT_FALSE(r.setAttribute(XS("a"), XS("v")));
    EXPECT_TRUE(r.setAttribute(XS("a"), XS("V")));  // case-sensitive
    EXPECT_FALSE(r.setAttribute(XS("nothing"), XS("")));
    EXPECT_TRUE(r.setAttribute(XS("a"), nullptr));
    EXPECT_EQ(r.removeAllAttributes(), 6u);
}

TEST(CLiteElem, NarrowNamesAndValuesAreConverted) {
    CLiteElem e("item");
    EXPECT_TRUE(e.setAttribute("name", "plain"));
    EXPECT_TRUE(e.setAttrBool("on", true));
    XString v;
    EXPECT_TRUE(e.getAttrString("name", v));
    EXPECT_EQ(N(v), "plain");
    EXPECT_TRUE(e.getAttrString(XS("on"), v));
    EXPECT_EQ(N(v), "true");
    CLiteAttr a("k", "w");
    XString name;
    a.getName(name);
    EXPECT_EQ(N(name), "k");
}

TEST(CLiteElem, TextAndCData) {
    CLiteDom dom =
        parse("<r><w>  \n\t </w><t> a <b/>b </t><c><![CDATA[one]]><![CDATA[two]]></c></r>");
    CLiteElem r, w, t, c;
    dom.getRoot(r);
    r.findChild(w, XS("w"));
    r.findChild(t, XS("t"));
    r.findChild(c, XS("c"));
    XString out = X("old");
    EXPECT_FALSE(w.getText(out));
    EXPECT_TRUE(out.empty());
    out = X("old");
    EXPECT_FALSE(w.tryGetText(out));
    EXPECT_EQ(N(out), "old");
    EXPECT_TRUE(t.getText(out));
    EXPECT_EQ(N(out), "a b");
    EXPECT_TRUE(t.addText(XS("!")));
    EXPECT_TRUE(t.getText(out));
    EXPECT_EQ(N(out), "a b !");
    EXPECT_TRUE(c.getCData(out));
    EXPECT_EQ(N(out), "one");
    EXPECT_TRUE(c.setCData(XS("uno")));
    EXPECT_TRUE(c.setCData(nullptr));
    EXPECT_TRUE(c.getCData(out));
    EXPECT_EQ(N(out), "two");
    EXPECT_TRUE(w.setCData(XS("new")));
    EXPECT_EQ(text(dom),
              "<r><w>  \n\t <![CDATA[new]]></w><t> a <b/>b !</t><c><![CDATA[two]]></c></r>");
}

TEST(CLiteElem, CopyContentAndClear) {
    CLiteDom dom = parse("<r><a k=\"1\"><x/></a><b/></r>");
    CLiteElem r, a, b;
    dom.getRoot(r);
    r.findChild(a, XS("a"));
    r.findChild(b, XS("b"));
    EXPECT_TRUE(b.copyContentFrom(a));
    EXPECT_EQ(text(dom), "<r><a k=\"1\"><x/></a><a k=\"1\"><x/></a></r>");
    EXPECT_TRUE(a.copyContentFrom(r));  // from its own ancestor
    EXPECT_EQ(text(dom), "<r><r><a k=\"1\"><x/></a><a k=\"1\"><x/></a></r><a k=\"1\"><x/></a></r>");
    CLiteElem empty;
    EXPECT_FALSE(b.copyContentFrom(empty));
    EXPECT_TRUE(b.clear());
    XString name = X("x");
    b.getName(name);
    EXPECT_TRUE(name.empty());
}

TEST(CLiteAttr, OwnershipAndValues) {
    CLiteAttr owned(XS("k"), XS("v"));
    EXPECT_TRUE(owned.ownsObject());
    CLiteAttr copy(owned);
    EXPECT_TRUE(copy.ownsObject());
    EXPECT_NE(copy.getXMLAttribute(), owned.getXMLAttribute());
    CLiteDom dom = parse("<r b=\"2\" a=\"1\"/>");
    CLiteElem r;
    dom.getRoot(r);
    CLiteAttr first;
    ASSERT_TRUE(r.getAttribute(first, 0));
    XString name, value;
    first.getName(name);
    first.getValue(value);
    EXPECT_EQ(N(name) + "=" + N(value), "a=1");
    EXPECT_TRUE(first.setValue("changed"));
    EXPECT_FALSE(r.getAttribute(first, 2));
    EXPECT_EQ(text(dom), "<r a=\"changed\" b=\"2\"/>");
}

struct TypedCase {
    const char* name;
    int number;
    bool flag;
    const char* value;
};

class TypedValues : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TypedValues, RoundTripThroughAFile) {
    const TypedCase& c = GetParam();
    CLiteDom dom;
    CLiteElem root(XS("r"));
    dom.setRoot(root);
    EXPECT_TRUE(root.setAttrInt(X(c.name), c.number));
    EXPECT_TRUE(root.setAttrBool(X(std::string(c.name) + "Flag"), c.flag));
    EXPECT_TRUE(root.setAttribute(X(std::string(c.name) + "Text"), X(c.value)));
    CLiteAttr attr;
    ASSERT_TRUE(root.findAttribute(attr, X(std::string(c.name) + "Text")));
    XString direct;
    attr.getValue(direct);
    EXPECT_EQ(N(direct), c.value);

    // Written as the program writes files, then read back.
    const std::string written = text(dom, XML_WRITE_INDENT);
    CLiteDom back = parse(written);
    CLiteElem r;
    back.getRoot(r);
    int n = 0;
    bool f = !c.flag;
    XString s;
    EXPECT_TRUE(r.getAttrInt(X(c.name), n));
    EXPECT_EQ(n, c.number);
    EXPECT_TRUE(r.getAttrBool(X(std::string(c.name) + "Flag"), f));
    EXPECT_EQ(f, c.flag);
    EXPECT_TRUE(r.getAttrString(X(std::string(c.name) + "Text"), s));
    EXPECT_EQ(N(s), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypedValues,
    ::testing::Values(TypedCase{"zero", 0, false, "plain"},
                      TypedCase{"neg", -1, true, "two  inner  spaces"},
                      TypedCase{"low", INT_MIN, true, "tab\there, line\nbreak, cr\rtoo"},
                      TypedCase{"high", INT_MAX, false, "<markup> & \"quotes\" 'too'"},
                      TypedCase{"timeout", 1200, true, "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"},
                      TypedCase{"ctl", 5, false, "bell\x07 and \x1F"}));

}  // namespace
