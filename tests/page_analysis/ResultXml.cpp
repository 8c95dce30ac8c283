#include "ResultXml.h"

#include <cstring>

#include "xml/XMLDocument.h"

namespace {

std::string narrow(const XString& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) out += static_cast<char>(s[i]);
    return out;
}

std::string textOf(const CXMLElement* e) {
    XString text;
    e->getText(text, true);
    return narrow(text);
}

void walk(const CXMLElement* e, ResultXml& r) {
    const std::string name = narrow(e->name());
    ++r.counts[name];
    if (name == "Alt") r.alts.push_back(textOf(e));
    if (name == "Style") r.styles.push_back(textOf(e));
    if (name == "Word") {
        for (size_t i = 0; const CXMLElement* c = e->childElementAt(i); ++i)
            if (narrow(c->name()) == "Alt") {
                r.firstAlts.push_back(textOf(c));
                break;
            }
    }
    if (name == "Shape") {
        for (size_t i = 0; const CXMLElement* c = e->childElementAt(i); ++i)
            if (narrow(c->name()) == "Name") r.shapeNames.push_back(textOf(c));
    }
    for (size_t i = 0; const CXMLElement* c = e->childElementAt(i); ++i) walk(c, r);
}

}  // namespace

ResultXml readResult(const char* text) {
    ResultXml r;
    if (!text) return r;
    CXMLDocument doc;
    if (!doc.loadBytes(reinterpret_cast<const uint8_t*>(text), std::strlen(text), 0) ||
        doc.errorCode() != XML_ERROR_NONE || !doc.root())
        return r;
    r.wellFormed = true;
    r.root = narrow(doc.root()->name());
    walk(doc.root(), r);
    return r;
}
