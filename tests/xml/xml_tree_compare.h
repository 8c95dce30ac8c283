// Text conversions and a structural comparison of two trees, for the tests
// and the fuzz target (no test framework needed).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "xml/GrowBuffer.h"
#include "xml/Utf8.h"
#include "xml/XMLDocument.h"

namespace xmltest {

// A UTF-8 literal as library text.
inline XString X(const std::string& utf8) {
    XString out;
    if (!utf8.empty())
        utf8::utf8ToUtf16(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), out);
    return out;
}

// Library text as UTF-8 (for messages and comparisons with literals).
inline std::string N(const XString& text) {
    GrowBuffer bytes;
    if (!text.empty()) appendUtf16AsUtf8(text.data(), text.size(), bytes);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Structural comparison of two trees (kinds, names, attributes, texts, order);
// empty when they are the same, else where they first differ.
inline std::string nodeDiff(const CXMLNode* a, const CXMLNode* b) {
    if (!a || !b) return a == b ? "" : "missing node";
    if (a->isElement() != b->isElement() || a->isContent() != b->isContent() ||
        a->isComment() != b->isComment() || a->isPInstr() != b->isPInstr() ||
        a->isCData() != b->isCData())
        return "node kinds differ";
    if (a->isContent()) {
        auto x = static_cast<const CXMLContent*>(a), y = static_cast<const CXMLContent*>(b);
        return x->text() == y->text() ? ""
                                      : "text '" + N(x->text()) + "' vs '" + N(y->text()) + "'";
    }
    if (a->isComment())
        return static_cast<const CXMLComment*>(a)->text() ==
                       static_cast<const CXMLComment*>(b)->text()
                   ? ""
                   : "comments differ";
    if (a->isCData())
        return static_cast<const CXMLCData*>(a)->text() == static_cast<const CXMLCData*>(b)->text()
                   ? ""
                   : "CDATA differs";
    if (a->isPInstr()) {
        auto x = static_cast<const CXMLPInstr*>(a), y = static_cast<const CXMLPInstr*>(b);
        return x->target() == y->target() && x->data() == y->data() ? "" : "PIs differ";
    }
    // Elements, without recursion.
    std::vector<std::pair<const CXMLElement*, const CXMLElement*>> work{
        {static_cast<const CXMLElement*>(a), static_cast<const CXMLElement*>(b)}};
    while (!work.empty()) {
        auto [x, y] = work.back();
        work.pop_back();
        if (x->name() != y->name()) return "names '" + N(x->name()) + "' vs '" + N(y->name()) + "'";
        if (x->attributeCount() != y->attributeCount())
            return "attribute counts of " + N(x->name());
        for (auto i = x->attributes().begin(), j = y->attributes().begin();
             i != x->attributes().end(); ++i, ++j) {
            const CXMLAttribute *p = &*i, *q = &*j;
            if (p->name() != q->name() || p->value() != q->value())
                return "attribute " + N(p->name()) + "='" + N(p->value()) + "' vs " + N(q->name()) +
                       "='" + N(q->value()) + "'";
        }
        if (x->childCount() != y->childCount()) return "child counts of " + N(x->name());
        for (size_t i = 0; i < x->childCount(); ++i) {
            const CXMLNode *p = x->child(i), *q = y->child(i);
            if (p->isElement() && q->isElement())
                work.emplace_back(static_cast<const CXMLElement*>(p),
                                  static_cast<const CXMLElement*>(q));
            else if (std::string d = nodeDiff(p, q); !d.empty())
                return d + " in " + N(x->name());
        }
    }
    return "";
}

inline std::string treeDiff(const CXMLDocument& a, const CXMLDocument& b) {
    if (a.topNodes().size() != b.topNodes().size()) return "top-level node counts differ";
    for (size_t i = 0; i < a.topNodes().size(); ++i)
        if (std::string d = nodeDiff(a.topNodes()[i], b.topNodes()[i]); !d.empty()) return d;
    return nodeDiff(a.root(), b.root());
}

}  // namespace xmltest
