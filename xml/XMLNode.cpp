#include "xml/XMLNode.h"

#include <algorithm>
#include <new>

#include "xml/Utf8.h"
#include "xml/XMLCharClass.h"

// ---------------------------------------------------------------- writing helpers

namespace xmlwrite {

void indent(CXMLString& out, unsigned flags, int depth) {
    if (!(flags & XML_WRITE_INDENT) || !(flags & XML_WRITE_AT_LINE_START)) return;
    // Past a sane depth the indentation stops growing: a file nested a hundred
    // thousand levels deep would otherwise be written as gigabytes of TABs.
    // The reader drops indentation of any width, so nothing else changes.
    if (depth > kMaxIndent) depth = kMaxIndent;
    for (int i = 0; i < depth; ++i) out.appendChar('\t');
}

bool lineBreak(CXMLString& out, unsigned flags) {
    if (!(flags & (XML_WRITE_INDENT | XML_WRITE_LINES))) return false;
    out.append(XS("\r\n"), 2);
    return true;
}

namespace {

void escape(CXMLString& out, const xchar* s, size_t n, bool attribute) {
    size_t run = 0;  // start of the stretch copied as it is
    auto flush = [&](size_t i) {
        if (i > run) out.append(s + run, i - run);
    };
    for (size_t i = 0; i < n; ++i) {
        const unsigned c = static_cast<unsigned>(s[i]);
        const xchar* entity = nullptr;
        switch (c) {
            case '&':
                entity = XS("&amp;");
                break;
            case '>':
                entity = XS("&gt;");
                break;
            case '<':
                entity = XS("&lt;");
                break;
            case '\'':
                entity = XS("&apos;");
                break;
            case '"':
                entity = XS("&quot;");
                break;
            default:
                break;
        }
        if (entity) {
            flush(i);
            out.append(entity);
            run = i + 1;
            continue;
        }
        if (c < 0x80 && c >= 0x20) continue;
        if (utf8::isHighSurrogate(c) && i + 1 < n &&
            utf8::isLowSurrogate(static_cast<unsigned>(s[i + 1]))) {
            ++i;  // a whole pair is written as it is
            continue;
        }
        const bool reference =
            !xmlclass::isValidChar(c) || c == '\r' || (attribute && (c == '\t' || c == '\n'));
        if (reference) {
            flush(i);
            out.appendFormat(XS("&#x%x;"), c);
            run = i + 1;
        }
    }
    flush(n);
}

}  // namespace

void escapeText(CXMLString& out, const xchar* text, size_t length) {
    escape(out, text, length, false);
}

void escapeAttribute(CXMLString& out, const xchar* text, size_t length) {
    escape(out, text, length, true);
}

}  // namespace xmlwrite

// ---------------------------------------------------------------- leaf nodes

CXMLNode* CXMLContent::clone() const { return new (std::nothrow) CXMLContent(m_text); }
CXMLNode* CXMLComment::clone() const { return new (std::nothrow) CXMLComment(m_text); }
CXMLNode* CXMLPInstr::clone() const { return new (std::nothrow) CXMLPInstr(m_target, m_data); }
CXMLNode* CXMLCData::clone() const { return new (std::nothrow) CXMLCData(m_text); }

bool CXMLContent::write(CXMLString& out, unsigned flags, int) const {
    // Text stays glued to the tag before it: take back the pending line break.
    if (flags & XML_WRITE_AT_LINE_START) out.removeLast(2);
    xmlwrite::escapeText(out, m_text.data(), m_text.size());
    return false;
}

bool CXMLComment::write(CXMLString& out, unsigned flags, int depth) const {
    if (flags & XML_WRITE_NO_COMMENTS) return (flags & XML_WRITE_AT_LINE_START) != 0;
    CXMLString text;
    text.assign(m_text.c_str(), m_text.size());
    text.replaceAll(XS("--"), XS(".."));
    xmlwrite::indent(out, flags, depth);
    out.append(XS("<!--"));
    out.append(text.text(), text.length());
    out.append(XS("-->"));
    return xmlwrite::lineBreak(out, flags);
}

bool CXMLPInstr::write(CXMLString& out, unsigned flags, int depth) const {
    if (flags & XML_WRITE_NO_PINSTR) return (flags & XML_WRITE_AT_LINE_START) != 0;
    CXMLString data;
    data.assign(m_data.c_str(), m_data.size());
    data.replaceAll(XS("?>"), XS(".."));
    xmlwrite::indent(out, flags, depth);
    out.append(XS("<?"));
    out.append(m_target);
    // Without data no blank follows the target: "<??>" and "<?t?>" read back as they were.
    if (data.length()) {
        out.appendChar(' ');
        out.append(data.text(), data.length());
    }
    out.append(XS("?>"));
    return xmlwrite::lineBreak(out, flags);
}

bool CXMLCData::write(CXMLString& out, unsigned flags, int depth) const {
    if (flags & XML_WRITE_NO_CDATA) return (flags & XML_WRITE_AT_LINE_START) != 0;
    CXMLString text;
    text.assign(m_text.c_str(), m_text.size());
    text.replaceAll(XS("]]>"), XS("]]&gt;"));
    xmlwrite::indent(out, flags, depth);
    out.append(XS("<![CDATA["));
    out.append(text.text(), text.length());
    out.append(XS("]]>"));
    return xmlwrite::lineBreak(out, flags);
}

// ---------------------------------------------------------------- names

int XMLNameLess::compare(const xchar* a, size_t an, const xchar* b, size_t bn) {
    const size_t n = an < bn ? an : bn;
    for (size_t i = 0; i < n; ++i) {
        const unsigned x = static_cast<uint16_t>(a[i]), y = static_cast<uint16_t>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return an < bn ? -1 : an > bn ? 1 : 0;
}

// ---------------------------------------------------------------- element

CXMLElement::~CXMLElement() {
    // Children are deleted from a work list, not by recursion: a child element
    // hands its own children to the list before it goes.
    std::vector<CXMLNode*> pending;
    pending.swap(m_children);
    while (!pending.empty()) {
        CXMLNode* node = pending.back();
        pending.pop_back();
        if (node->isElement()) {
            CXMLElement* e = static_cast<CXMLElement*>(node);
            if (pending.capacity() - pending.size() < e->m_children.size())
                pending.reserve(pending.size() + e->m_children.size() + pending.size() / 2);
            pending.insert(pending.end(), e->m_children.begin(), e->m_children.end());
            e->m_children.clear();
        }
        delete node;
    }
}

CXMLElement* CXMLElement::shallowCopy() const {
    CXMLElement* copy = new (std::nothrow) CXMLElement(m_name);
    if (!copy) return nullptr;
    try {
        copy->m_attributes = m_attributes;
    } catch (const std::bad_alloc&) {
        delete copy;
        return nullptr;
    }
    return copy;
}

CXMLNode* CXMLElement::clone() const {
    try {
        CXMLElement* root = shallowCopy();
        if (!root) return nullptr;
        std::vector<std::pair<const CXMLElement*, CXMLElement*>> work{{this, root}};
        while (!work.empty()) {
            auto [source, target] = work.back();
            work.pop_back();
            target->m_children.reserve(source->m_children.size());
            for (const CXMLNode* child : source->m_children) {
                CXMLNode* copy;
                if (child->isElement()) {
                    const CXMLElement* e = static_cast<const CXMLElement*>(child);
                    CXMLElement* ce = e->shallowCopy();
                    if (ce) work.emplace_back(e, ce);
                    copy = ce;
                } else {
                    copy = child->clone();
                }
                if (!copy) {
                    delete root;
                    return nullptr;
                }
                target->m_children.push_back(copy);
            }
        }
        return root;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

bool CXMLElement::write(CXMLString& out, unsigned flags, int depth) const {
    struct Frame {
        const CXMLElement* element;
        size_t next;
        int depth;
    };
    std::vector<Frame> open;
    const xchar quote = (flags & XML_WRITE_SINGLE_QUOTES) ? '\'' : '"';
    auto startTag = [&](const CXMLElement* e, int d) {
        xmlwrite::indent(out, flags, d);
        out.appendChar('<');
        out.append(e->m_name);
        for (const CXMLAttribute& a : e->m_attributes) {
            out.appendChar(' ');
            out.append(a.name());
            out.appendChar('=');
            out.appendChar(quote);
            const XString value = xmlTrim(a.value());
            xmlwrite::escapeAttribute(out, value.data(), value.size());
            out.appendChar(quote);
        }
        if (e->m_children.empty()) {
            out.append(XS("/>"), 2);
            xmlwrite::setAtLineStart(flags, xmlwrite::lineBreak(out, flags));
        } else {
            out.appendChar('>');
            xmlwrite::setAtLineStart(flags, xmlwrite::lineBreak(out, flags));
            open.push_back({e, 0, d});
        }
    };
    startTag(this, depth);
    while (!open.empty()) {
        Frame& top = open.back();
        if (top.next < top.element->m_children.size()) {
            const CXMLNode* child = top.element->m_children[top.next++];
            const int childDepth = top.depth + 1;
            if (child->isElement())
                startTag(static_cast<const CXMLElement*>(child), childDepth);
            else
                xmlwrite::setAtLineStart(flags, child->write(out, flags, childDepth));
        } else {
            xmlwrite::indent(out, flags, top.depth);
            out.append(XS("</"), 2);
            out.append(top.element->m_name);
            out.appendChar('>');
            open.pop_back();
            xmlwrite::setAtLineStart(flags, xmlwrite::lineBreak(out, flags));
        }
    }
    return (flags & XML_WRITE_AT_LINE_START) != 0;
}

CXMLElement* CXMLElement::childElement(const xchar* name, size_t index) const {
    if (!name) return nullptr;
    for (CXMLNode* n : m_children) {
        if (n->isElement() && static_cast<CXMLElement*>(n)->m_name == name) {
            if (index == 0) return static_cast<CXMLElement*>(n);
            --index;
        }
    }
    return nullptr;
}

CXMLElement* CXMLElement::childElementAt(size_t index) const {
    for (CXMLNode* n : m_children) {
        if (n->isElement()) {
            if (index == 0) return static_cast<CXMLElement*>(n);
            --index;
        }
    }
    return nullptr;
}

bool CXMLElement::appendChild(CXMLNode* node) {
    if (!node) return false;
    try {
        m_children.push_back(node);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CXMLElement::insertBefore(CXMLNode* node, CXMLNode* before) {
    if (!node) return false;
    try {
        auto it = std::find(m_children.begin(), m_children.end(), before);
        m_children.insert(it, node);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int CXMLElement::indexOf(const CXMLNode* node) const {
    for (size_t i = 0; i < m_children.size(); ++i)
        if (m_children[i] == node) return static_cast<int>(i);
    return -1;
}

bool CXMLElement::detachChild(CXMLNode* node) {
    const int i = node ? indexOf(node) : -1;
    if (i < 0) return false;
    m_children.erase(m_children.begin() + i);
    return true;
}

bool CXMLElement::removeChild(CXMLNode* node) {
    if (!detachChild(node)) return false;
    delete node;
    return true;
}

void CXMLElement::removeAllChildren() {
    // Hand the children to a temporary element whose destructor deletes them
    // without recursion.
    CXMLElement holder{XString()};
    holder.m_children.swap(m_children);
}

namespace {
// A new node appended to the parent; null when memory runs out.
template <class T, class... A>
T* appendNew(CXMLElement& parent, A&&... args) {
    T* node = new (std::nothrow) T(std::forward<A>(args)...);
    if (node && !parent.appendChild(node)) {
        delete node;
        return nullptr;
    }
    return node;
}
}  // namespace

CXMLElement* CXMLElement::createElement(const xchar* name) {
    if (!xmlIsValidName(name)) return nullptr;
    return appendNew<CXMLElement>(*this, XString(name));
}

CXMLContent* CXMLElement::createText(const xchar* text) { return createText(text, xstrlen(text)); }

CXMLContent* CXMLElement::createText(const xchar* text, size_t length) {
    CXMLNode* last = lastChild();
    if (last && last->isContent()) {
        CXMLContent* c = static_cast<CXMLContent*>(last);
        c->appendText(text, length);
        return c;
    }
    return appendNew<CXMLContent>(*this, XString(text ? text : XS(""), length));
}

namespace {
XString formatText(const xchar* format, va_list args) {
    CXMLString s;
    s.appendFormatV(format, args);
    return s.str();
}
}  // namespace

CXMLComment* CXMLElement::createComment(const xchar* text) {
    return appendNew<CXMLComment>(*this, xstr(text));
}

CXMLPInstr* CXMLElement::createPInstr(const xchar* target, const xchar* data) {
    if (!xmlIsValidName(target)) return nullptr;
    return appendNew<CXMLPInstr>(*this, xstr(target), xstr(data));
}

CXMLCData* CXMLElement::createCData(const xchar* text) {
    return appendNew<CXMLCData>(*this, xstr(text));
}

CXMLContent* CXMLElement::createTextFormat(const xchar* format, ...) {
    va_list args;
    va_start(args, format);
    const XString text = formatText(format, args);
    va_end(args);
    return createText(text.data(), text.size());
}

CXMLComment* CXMLElement::createCommentFormat(const xchar* format, ...) {
    va_list args;
    va_start(args, format);
    const XString text = formatText(format, args);
    va_end(args);
    return createComment(text.c_str());
}

CXMLPInstr* CXMLElement::createPInstrFormat(const xchar* target, const xchar* format, ...) {
    va_list args;
    va_start(args, format);
    const XString text = formatText(format, args);
    va_end(args);
    return createPInstr(target, text.c_str());
}

CXMLCData* CXMLElement::createCDataFormat(const xchar* format, ...) {
    va_list args;
    va_start(args, format);
    const XString text = formatText(format, args);
    va_end(args);
    return createCData(text.c_str());
}

CXMLAttribute* CXMLElement::findAttribute(const xchar* name) const {
    if (!name) return nullptr;
    return findAttribute(XString(name));
}

CXMLAttribute* CXMLElement::findAttribute(const XString& name) const {
    auto it = m_attributes.find(name);
    // The value may change in place; the name, which orders the set, cannot.
    return it == m_attributes.end() ? nullptr : const_cast<CXMLAttribute*>(&*it);
}

CXMLAttribute* CXMLElement::attributeAt(size_t index) const {
    if (index >= m_attributes.size()) return nullptr;
    auto it = m_attributes.begin();
    std::advance(it, index);
    return const_cast<CXMLAttribute*>(&*it);
}

CXMLAttribute* CXMLElement::insertAttribute(XString name, XString value, bool* duplicate) {
    if (duplicate) *duplicate = false;
    if (!xmlIsValidName(name.c_str())) return nullptr;
    try {
        auto [it, inserted] = m_attributes.emplace(std::move(name), std::move(value));
        if (!inserted) {
            if (duplicate) *duplicate = true;
            return nullptr;
        }
        return const_cast<CXMLAttribute*>(&*it);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

CXMLAttribute* CXMLElement::addAttribute(const xchar* name, const xchar* value) {
    if (!name) return nullptr;
    return insertAttribute(name, xstr(value));
}

CXMLAttribute* CXMLElement::addAttribute(const xchar* name, int value) {
    return addAttribute(name, XMLValueTraits<int>::format(value).c_str());
}

CXMLAttribute* CXMLElement::addAttributeUnsigned(const xchar* name, unsigned value) {
    return addAttribute(name, XMLValueTraits<unsigned>::format(value).c_str());
}

bool CXMLElement::setAttribute(const xchar* name, const xchar* value) {
    if (!name) return false;
    if (!value || !*value) return removeAttribute(name);
    CXMLAttribute* a = findAttribute(name);
    if (a && a->value() == value) return false;
    return replaceAttribute(name, XString(value));
}

bool CXMLElement::replaceAttribute(const xchar* name, const XString& value) {
    if (value.empty()) {
        removeAttribute(name);
        return true;
    }
    if (!xmlIsValidName(name)) return false;
    if (CXMLAttribute* a = findAttribute(name)) {
        a->setValue(value);
        return true;
    }
    return addAttribute(name, value.c_str()) != nullptr;
}

CXMLAttribute* CXMLElement::detachAttribute(const xchar* name) {
    if (!name) return nullptr;
    auto it = m_attributes.find(XString(name));
    if (it == m_attributes.end()) return nullptr;
    CXMLAttribute* a = new (std::nothrow) CXMLAttribute(it->name(), it->value());
    if (a) m_attributes.erase(it);
    return a;
}

bool CXMLElement::removeAttribute(const xchar* name) {
    if (!name) return false;
    auto it = m_attributes.find(XString(name));
    if (it == m_attributes.end()) return false;
    m_attributes.erase(it);
    return true;
}

size_t CXMLElement::removeAllAttributes() {
    const size_t n = m_attributes.size();
    m_attributes.clear();
    return n;
}

bool CXMLElement::getText(XString& out, bool deep) const {
    out.clear();
    if (!deep) {
        for (const CXMLNode* n : m_children)
            if (n->isContent()) out += static_cast<const CXMLContent*>(n)->text();
        return !out.empty();
    }
    // Depth first through the descendants, without recursion.
    std::vector<std::pair<const CXMLElement*, size_t>> stack{{this, 0}};
    while (!stack.empty()) {
        auto& [e, next] = stack.back();
        if (next >= e->m_children.size()) {
            stack.pop_back();
            continue;
        }
        const CXMLNode* n = e->m_children[next++];
        if (n->isContent())
            out += static_cast<const CXMLContent*>(n)->text();
        else if (n->isElement())
            stack.emplace_back(static_cast<const CXMLElement*>(n), 0);
    }
    return !out.empty();
}

bool CXMLElement::setChildText(const xchar* child, const XString& text) {
    CXMLElement* e = childElement(child);
    if (!e) e = createElement(child);
    if (!e) return false;
    for (size_t i = e->m_children.size(); i-- > 0;) {
        if (e->m_children[i]->isContent()) {
            delete e->m_children[i];
            e->m_children.erase(e->m_children.begin() + static_cast<ptrdiff_t>(i));
        }
    }
    return text.empty() || e->createText(text.data(), text.size()) != nullptr;
}

CXMLCData* CXMLElement::cdata(size_t index) const {
    for (CXMLNode* n : m_children) {
        if (n->isCData()) {
            if (index == 0) return static_cast<CXMLCData*>(n);
            --index;
        }
    }
    return nullptr;
}

bool CXMLElement::removeCData(size_t index) { return removeChild(cdata(index)); }
