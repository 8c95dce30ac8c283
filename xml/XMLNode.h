// The in-memory XML tree and its writer.
//
// A document holds top-level nodes and one root element; an element holds its
// name, its attributes (sorted by name, code unit by code unit) and its
// children in document order, and owns all of them. Trees of any depth are
// written, copied and deleted without recursion, so a deeply nested file
// cannot exhaust the stack.
//
// The writer is built so that a document loaded and saved again, any number of
// times, does not grow: indentation is written only on a fresh line, and a text
// node takes back the line break written before it, so the reader finds no
// added white space between tags except the indentation it drops.
#pragma once

#include <cstdarg>
#include <set>
#include <vector>

#include "xml/XMLChar.h"
#include "xml/XMLString.h"
#include "xml/XMLValues.h"

// Write flags (a bit set shared with the load flags of CXMLDocument).
enum : unsigned {
    XML_WRITE_INDENT = 0x01,         // a line break after each node, TAB indentation
    XML_WRITE_LINES = 0x02,          // a line break after each node, no indentation
    XML_WRITE_SINGLE_QUOTES = 0x04,  // attribute values in apostrophes
    XML_WRITE_AT_LINE_START = 0x08,  // internal: the output ends with a line break
    XML_WRITE_NO_COMMENTS = 0x10,
    XML_WRITE_NO_PINSTR = 0x20,
    XML_WRITE_NO_CDATA = 0x40,
};

class CXMLNode {
  public:
    virtual ~CXMLNode() = default;
    virtual bool isElement() const { return false; }
    virtual bool isContent() const { return false; }
    virtual bool isComment() const { return false; }
    virtual bool isPInstr() const { return false; }
    virtual bool isCData() const { return false; }
    // A deep copy owned by the caller; null when memory runs out.
    virtual CXMLNode* clone() const = 0;
    // Appends the node's text; returns whether the output now ends with a line break.
    virtual bool write(CXMLString& out, unsigned flags, int depth) const = 0;
};

// Character data.
class CXMLContent : public CXMLNode {
  public:
    explicit CXMLContent(XString text) : m_text(std::move(text)) {}
    bool isContent() const override { return true; }
    CXMLNode* clone() const override;
    bool write(CXMLString& out, unsigned flags, int depth) const override;
    const XString& text() const { return m_text; }
    void setText(XString text) { m_text = std::move(text); }
    void appendText(const xchar* s, size_t n) { m_text.append(s, n); }

  private:
    XString m_text;
};

class CXMLComment : public CXMLNode {
  public:
    explicit CXMLComment(XString text) : m_text(std::move(text)) {}
    bool isComment() const override { return true; }
    CXMLNode* clone() const override;
    bool write(CXMLString& out, unsigned flags, int depth) const override;
    const XString& text() const { return m_text; }
    void setText(XString text) { m_text = std::move(text); }

  private:
    XString m_text;
};

// A processing instruction: a target (a name) and its data.
class CXMLPInstr : public CXMLNode {
  public:
    CXMLPInstr(XString target, XString data)
        : m_target(std::move(target)), m_data(std::move(data)) {}
    bool isPInstr() const override { return true; }
    CXMLNode* clone() const override;
    bool write(CXMLString& out, unsigned flags, int depth) const override;
    const XString& target() const { return m_target; }
    const XString& data() const { return m_data; }
    void setData(XString data) { m_data = std::move(data); }

  private:
    XString m_target;
    XString m_data;
};

class CXMLCData : public CXMLNode {
  public:
    explicit CXMLCData(XString text) : m_text(std::move(text)) {}
    bool isCData() const override { return true; }
    CXMLNode* clone() const override;
    bool write(CXMLString& out, unsigned flags, int depth) const override;
    const XString& text() const { return m_text; }
    void setText(XString text) { m_text = std::move(text); }

  private:
    XString m_text;
};

// An attribute: {name, value}, owned by its element.
class CXMLAttribute {
  public:
    CXMLAttribute(XString name, XString value)
        : m_name(std::move(name)), m_value(std::move(value)) {}
    const XString& name() const { return m_name; }
    const XString& value() const { return m_value; }
    void setValue(XString value) { m_value = std::move(value); }

  private:
    XString m_name;
    XString m_value;
};

// Orders attributes by name, comparing code units as unsigned 16-bit values (a
// shorter name that is a prefix of another sorts first).
struct XMLNameLess {
    using is_transparent = void;
    static int compare(const xchar* a, size_t an, const xchar* b, size_t bn);
    bool operator()(const CXMLAttribute& a, const CXMLAttribute& b) const {
        return compare(a.name().data(), a.name().size(), b.name().data(), b.name().size()) < 0;
    }
    bool operator()(const CXMLAttribute& a, const XString& b) const {
        return compare(a.name().data(), a.name().size(), b.data(), b.size()) < 0;
    }
    bool operator()(const XString& a, const CXMLAttribute& b) const {
        return compare(a.data(), a.size(), b.name().data(), b.name().size()) < 0;
    }
};

class CXMLElement : public CXMLNode {
  public:
    // The attributes live in the nodes of the set: their addresses stay valid
    // while the element holds them.
    using AttributeMap = std::set<CXMLAttribute, XMLNameLess>;

    // No check of the name here; the creating operations of a parent check it.
    explicit CXMLElement(XString name) : m_name(std::move(name)) {}
    ~CXMLElement() override;
    CXMLElement(const CXMLElement&) = delete;
    CXMLElement& operator=(const CXMLElement&) = delete;

    bool isElement() const override { return true; }
    CXMLNode* clone() const override;
    CXMLElement* cloneElement() const { return static_cast<CXMLElement*>(clone()); }
    bool write(CXMLString& out, unsigned flags, int depth) const override;

    const XString& name() const { return m_name; }
    void setName(XString name) { m_name = std::move(name); }
    // An element with exactly that name (case-sensitive).
    bool isNamed(const xchar* name) const { return name && m_name == name; }

    // Exchanges name, attributes and children with another element.
    void swapContent(CXMLElement& other) {
        m_name.swap(other.m_name);
        m_attributes.swap(other.m_attributes);
        m_children.swap(other.m_children);
    }

    // ---- children
    size_t childCount() const { return m_children.size(); }
    CXMLNode* child(size_t index) const {
        return index < m_children.size() ? m_children[index] : nullptr;
    }
    CXMLNode* lastChild() const { return m_children.empty() ? nullptr : m_children.back(); }
    // The index-th child element with the name (counting child elements only, from 0).
    CXMLElement* childElement(const xchar* name, size_t index = 0) const;
    // The index-th child that is an element, whatever its name.
    CXMLElement* childElementAt(size_t index) const;
    // Takes ownership; false (node not taken) when memory runs out.
    bool appendChild(CXMLNode* node);
    // Inserts before `before` (appends when it is null or no child); takes ownership.
    bool insertBefore(CXMLNode* node, CXMLNode* before);
    // Removes and deletes a child; false when it is not a child.
    bool removeChild(CXMLNode* node);
    // Removes a child without deleting it; the caller owns it then.
    bool detachChild(CXMLNode* node);
    void removeAllChildren();
    int indexOf(const CXMLNode* node) const;

    // ---- creating and appending in one step (null when memory runs out or a name is invalid)
    CXMLElement* createElement(const xchar* name);
    // Adjacent text merges: when the last child is text, the text is appended to it.
    CXMLContent* createText(const xchar* text);
    CXMLContent* createText(const xchar* text, size_t length);
    CXMLComment* createComment(const xchar* text);
    CXMLPInstr* createPInstr(const xchar* target, const xchar* data);
    CXMLCData* createCData(const xchar* text);
    CXMLContent* createTextFormat(const xchar* format, ...);
    CXMLComment* createCommentFormat(const xchar* format, ...);
    CXMLPInstr* createPInstrFormat(const xchar* target, const xchar* format, ...);
    CXMLCData* createCDataFormat(const xchar* format, ...);

    // ---- attributes
    const AttributeMap& attributes() const { return m_attributes; }
    size_t attributeCount() const { return m_attributes.size(); }
    CXMLAttribute* findAttribute(const xchar* name) const;
    CXMLAttribute* findAttribute(const XString& name) const;
    // The index-th attribute in name order.
    CXMLAttribute* attributeAt(size_t index) const;
    // The name must be valid; false on a duplicate.
    CXMLAttribute* addAttribute(const xchar* name, const xchar* value);
    CXMLAttribute* addAttribute(const xchar* name, int value);
    CXMLAttribute* addAttributeUnsigned(const xchar* name, unsigned value);
    // Adds an attribute; null on an invalid name, a duplicate (then *duplicate
    // is set) or when memory runs out.
    CXMLAttribute* insertAttribute(XString name, XString value, bool* duplicate = nullptr);
    // A non-empty value sets or replaces the attribute: false when it exists
    // with exactly that value. A null or empty value removes it: false when
    // there was none.
    bool setAttribute(const xchar* name, const xchar* value);
    bool removeAttribute(const xchar* name);
    // Removes an attribute and returns it as a new object the caller owns.
    CXMLAttribute* detachAttribute(const xchar* name);
    size_t removeAllAttributes();

    // ---- typed attributes and child-element texts: get with default, set,
    // set only when changed (false when the value is already there).
    template <class T>
    T getAttr(const xchar* name, const T& def) const {
        const CXMLAttribute* a = findAttribute(name);
        T v;
        return a && XMLValueTraits<T>::parse(a->value().c_str(), v) ? v : def;
    }
    template <class T>
    bool setAttr(const xchar* name, const T& v) {
        return replaceAttribute(name, XMLValueTraits<T>::format(v));
    }
    template <class T>
    bool updateAttr(const xchar* name, const T& v) {
        return setAttribute(name, XMLValueTraits<T>::format(v).c_str());
    }
    template <class T>
    T getChildValue(const xchar* child, const T& def) const {
        const CXMLElement* e = childElement(child);
        XString text;
        T v;
        if (!e) return def;
        e->getText(text);
        return XMLValueTraits<T>::parse(text.c_str(), v) ? v : def;
    }
    template <class T>
    bool setChildValue(const xchar* child, const T& v) {
        return setChildText(child, XMLValueTraits<T>::format(v));
    }
    template <class T>
    bool updateChildValue(const xchar* child, const T& v) {
        const XString text = XMLValueTraits<T>::format(v);
        const CXMLElement* e = childElement(child);
        XString current;
        if (e && (e->getText(current), current == text)) return false;
        return setChildText(child, text);
    }

    // ---- text
    // The texts of the text children appended in order (with `deep`, also the
    // texts of descendant elements, depth first); true when the result is not empty.
    bool getText(XString& out, bool deep = false) const;
    // Replaces the text children of the first child element with that name by
    // one text (the child is created when missing).
    bool setChildText(const xchar* child, const XString& text);
    // The index-th CDATA child, and its removal.
    CXMLCData* cdata(size_t index = 0) const;
    bool removeCData(size_t index = 0);

  private:
    // Sets the attribute to the value whatever it held before (removes it for an empty value).
    bool replaceAttribute(const xchar* name, const XString& value);
    CXMLElement* shallowCopy() const;

    XString m_name;
    AttributeMap m_attributes;
    std::vector<CXMLNode*> m_children;
};

// Writing helpers shared by the node classes and the document.
namespace xmlwrite {
// The deepest indentation written (deeper levels are indented as this one).
constexpr int kMaxIndent = 64;
// Depth TABs when the output is at a fresh line of an indented layout.
void indent(CXMLString& out, unsigned flags, int depth);
// "\r\n" when a layout with line breaks is chosen; reports whether it was written.
bool lineBreak(CXMLString& out, unsigned flags);
// Carries whether the output now ends with a line break into the flags.
inline void setAtLineStart(unsigned& flags, bool atLineStart) {
    if (atLineStart)
        flags |= XML_WRITE_AT_LINE_START;
    else
        flags &= ~static_cast<unsigned>(XML_WRITE_AT_LINE_START);
}
// Text of character data: the five markup characters as entities, CR and every
// character that is not a valid XML character as a character reference.
void escapeText(CXMLString& out, const xchar* text, size_t length);
// An attribute value: as text, and TAB and LF as references too, so that the
// reader's normalisation gives the value back unchanged.
void escapeAttribute(CXMLString& out, const xchar* text, size_t length);
}  // namespace xmlwrite
