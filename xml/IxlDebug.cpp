// Debugging aids of the typed schema layer: traces of the schema, the values
// and a copy of the records as elements. Nothing in the program calls them.
#include "xml/IxlScribixHelper.h"
#include "xml/XMLString.h"

namespace {
const xchar* typeName(int type) {
    switch (type) {
        case IXLVAL_INT:
            return XS("IXLVAL_INT");
        case IXLVAL_BOOL:
            return XS("IXLVAL_BOOL");
        case IXLVAL_STR:
            return XS("IXLVAL_STR");
        case IXLVAL_ENUM:
            return XS("IXLVAL_ENUM");
        case IXLVAL_ARRSTR:
            return XS("IXLVAL_ARRSTR");
    }
    return XS("IXLVAL_NONE");
}
}  // namespace

void IxlIndexer::dump() const {
    xmlDebugTrace(XS("IxlIndexer MetaData:\n"));
    for (const auto& [name, e] : m_elements) {
        xmlDebugTrace(XS("  element '%s' id=%d\n"), name.c_str(), e.id);
        for (const auto& [attrName, a] : e.attributes)
            xmlDebugTrace(XS("    attr '%s' id=%d type=%s words=%u\n"), attrName.c_str(), a.id,
                          typeName(a.type), static_cast<unsigned>(a.words.size()));
        if (e.hasText)
            xmlDebugTrace(XS("    text id=%d type=%s\n"), e.text.id, typeName(e.text.type));
    }
}

XString ixlStarred(const xchar* text) {
    CXMLString s;
    s.appendFormat(XS("*%s*"), text ? text : XS(""));
    return s.str();
}

void IxlScribixHelper::dumpValues() const {
    if (!m_records) return;
    std::vector<std::pair<const IxlRecord*, int>> walk{{m_records.get(), 0}};
    while (!walk.empty()) {
        auto [r, depth] = walk.back();
        walk.pop_back();
        const XString indent(static_cast<size_t>(depth) * 2, ' ');
        xmlDebugTrace(XS("%sRecord id=%d\n"), indent.c_str(), r->id);
        for (const auto& a : r->attrs) {
            switch (a->type()) {
                case IXLVAL_STR:
                    xmlDebugTrace(XS("%sAttr id=%d  iType=IXLVAL_STR val='%s'\n"), indent.c_str(),
                                  a->id(), a->text().c_str());
                    break;
                case IXLVAL_ARRSTR:
                    for (const XString& item : a->list())
                        xmlDebugTrace(XS("%sAttr id=%d  iType=IXLVAL_ARRSTR val='%s'\n"),
                                      indent.c_str(), a->id(), item.c_str());
                    break;
                default:
                    xmlDebugTrace(XS("%sAttr id=%d  iType=%s val=%d\n"), indent.c_str(), a->id(),
                                  typeName(a->type()), a->intValue());
                    break;
            }
        }
        for (size_t i = r->children.size(); i-- > 0;) walk.emplace_back(r->children[i], depth + 1);
    }
}

CXMLElement* IxlScribixHelper::recordsAsElements() const {
    if (!m_records) return nullptr;
    auto asElement = [](const IxlRecord& r) {
        CXMLElement* e = new CXMLElement(XS("child"));
        e->addAttribute(XS("id"), r.id);
        for (const auto& a : r.attrs) {
            CXMLString name;
            name.appendFormat(XS("a%d"), a->id());
            XString value;
            if (a->type() == IXLVAL_STR) {
                value = a->text();
            } else if (a->type() == IXLVAL_ARRSTR) {
                for (const XString& item : a->list()) {
                    if (!value.empty()) value += '|';
                    value += item;
                }
            } else {
                value = XMLValueTraits<int>::format(a->intValue());
            }
            e->addAttribute(name.text(), value.c_str());
        }
        return e;
    };
    CXMLElement* top = asElement(*m_records);
    std::vector<std::pair<const IxlRecord*, CXMLElement*>> walk{{m_records.get(), top}};
    while (!walk.empty()) {
        auto [r, e] = walk.back();
        walk.pop_back();
        for (const IxlRecord* c : r->children) {
            CXMLElement* ce = asElement(*c);
            e->appendChild(ce);
            walk.emplace_back(c, ce);
        }
    }
    return top;
}
