// CLiteDom, CLiteElem and CLiteAttr: the light wrappers through which the
// program reads and writes its XML files (profiles, macros, bindings, the
// application filter, the update answer, exported macros).
//
// Each wrapper refers to one object of the node model and knows whether it owns
// it:
// - what a constructor makes (a new document, an element with a name, an
//   attribute with name and value) is owned by the wrapper;
// - every lookup (root, child, attribute) gives a reference the tree still
//   owns; it stays valid while the tree holds the object;
// - appendChild and setRoot take an owned element: the tree takes it over and
//   the wrapper then refers to it without owning; they refuse a reference;
// - removeChild takes a reference to a child: the child is deleted and the
//   wrapper emptied; it refuses an owned element;
// - copying a wrapper deep-copies an owned object and shares a reference.
//
// Every operation returns false rather than throwing. Names and values are
// wide strings; narrow ones are converted with the thread's code page.
#pragma once

#include <cstdint>
#include <string>

#include "xml/XMLDocument.h"

// A name or value argument: a wide text, or a narrow one converted by the
// thread's code page. Null stays null.
class LiteText {
  public:
    LiteText(const xchar* text) : m_text(text) {}
    LiteText(const XString& text) : m_text(text.c_str()) {}
    LiteText(const char* text)
        : m_copy(xmlNarrowToWide(text)), m_text(text ? m_copy.c_str() : nullptr) {}
    LiteText(const std::string& text)
        : m_copy(xmlNarrowToWide(text.c_str())), m_text(m_copy.c_str()) {}
    LiteText(std::nullptr_t) : m_text(nullptr) {}
    const xchar* get() const { return m_text; }
    bool empty() const { return !m_text || !*m_text; }

  private:
    XString m_copy;
    const xchar* m_text;
};

class CLiteObj {
  public:
    enum Kind { kNone = 0, kDocument = 1, kElement = 2, kAttribute = 3 };
    virtual ~CLiteObj();
    bool isEmpty() const { return m_ref.object == nullptr; }
    bool ownsObject() const { return m_ref.owned; }

  protected:
    explicit CLiteObj(Kind kind) { m_ref.kind = kind; }
    CLiteObj(const CLiteObj&) = delete;
    CLiteObj& operator=(const CLiteObj&) = delete;
    // Releases the old object first.
    void setObject(void* object, bool owned);
    // Deletes the object when it is owned; the holder becomes empty.
    void release();
    // Gives up ownership without deleting (the object now belongs to a tree).
    void disown() { m_ref.owned = false; }

    struct Holder {
        void* object = nullptr;
        bool owned = false;
        Kind kind = kNone;
    };
    Holder m_ref;
};

class CLiteElem;
class CLiteAttr;

class CLiteDom : public CLiteObj {
  public:
    // A new empty document, owned.
    CLiteDom();
    CLiteDom(const CLiteDom& other);
    CLiteDom& operator=(const CLiteDom& other);

    // Loads a UTF-8 file; false on any error. Flags 0 drop the indentation the
    // writer adds (XML_LOAD_DROP_INDENT), so that a file loaded and saved again
    // comes out identical.
    bool load(LiteText path, unsigned flags = 0);
    bool loadFromString(const xchar* text, size_t length, unsigned flags = 0);
    bool loadFromBytes(const uint8_t* bytes, size_t length, unsigned flags = 0);
    // Serialises as UTF-8 (write flags 0 become XML_WRITE_INDENT: TABs and
    // CRLF) and puts the file in place only once it is completely written: a
    // failure leaves the old file as it was.
    bool save(LiteText path, unsigned flags = 0) const;

    bool getRoot(CLiteElem& out) const;
    // The document takes the owned element as its root (the old root is deleted).
    bool setRoot(CLiteElem& root);

    // "error=%s token='%s' line=%u\n" from the error name, text and line.
    XString getErrorInfo() const;

    CXMLDocument* document() const { return static_cast<CXMLDocument*>(m_ref.object); }
};

class CLiteElem : public CLiteObj {
  public:
    // Empty: refers to nothing.
    CLiteElem();
    // A new owned element with that name (no name check).
    explicit CLiteElem(LiteText name);
    CLiteElem(const CLiteElem& other);
    CLiteElem& operator=(const CLiteElem& other) { return assign(other); }
    CLiteElem& assign(const CLiteElem& other);

    // Replaces name, attributes and children by deep copies of the other's.
    bool copyContentFrom(const CLiteElem& other);

    // Empty for a node that is not an element.
    bool getName(XString& out) const;
    bool setName(LiteText name);
    // The texts of the text children joined and trimmed; false (out emptied)
    // when the result is empty. tryGetText leaves out untouched on failure.
    bool getText(XString& out) const;
    bool tryGetText(XString& out) const;
    // Appends a text child (merging with a text child that ends the list).
    bool addText(LiteText text);
    bool getCData(XString& out) const;
    // Replaces the first CDATA child's text or appends one; null removes it.
    bool setCData(LiteText text);

    // The wrapped element (null for another kind of node).
    CXMLElement* getXMLElement() const;
    CXMLNode* getXMLNode() const { return static_cast<CXMLNode*>(m_ref.object); }
    // Refers to the element without owning it.
    void attach(CXMLNode* node) { setObject(node, false); }

    bool getChildElement(CLiteElem& out, size_t index) const;
    bool findChild(CLiteElem& out, LiteText name, size_t index = 0) const;
    // The first child element (of that name; any name when null or empty)
    // whose attribute equals the value (case-sensitive).
    bool findChildByAttr(CLiteElem& out, LiteText elementName, LiteText attrName,
                         LiteText value) const;
    bool appendChild(CLiteElem& child);
    bool removeChild(CLiteElem& child);
    bool removeAllChildElements();
    // Removes the name, all attributes and all children.
    bool clear();
    size_t removeAllAttributes();

    bool getAttribute(CLiteAttr& out, size_t index) const;
    bool findAttribute(CLiteAttr& out, LiteText name) const;
    // True when the attribute exists (out = its value); when it is missing, out
    // is emptied if asked.
    bool getAttrString(LiteText name, XString& out, bool clearIfMissing = true) const;
    // Whether the attribute exists; out = the value is "true" or "yes" in any case.
    bool getAttrBool(LiteText name, bool& out) const;
    // True when the attribute exists and "%d" reads a number from its start;
    // otherwise false, and out becomes 0 if asked.
    bool getAttrInt(LiteText name, int& out, bool zeroIfMissing = true) const;
    // A non-empty value sets or replaces (false when it is already exactly
    // that); a null or empty value removes (false when there was none).
    bool setAttribute(LiteText name, LiteText value);
    bool setAttrInt(LiteText name, int value);
    bool setAttrBool(LiteText name, bool value);

  private:
    friend class CLiteDom;
};

class CLiteAttr : public CLiteObj {
  public:
    CLiteAttr();
    CLiteAttr(LiteText name, LiteText value);
    CLiteAttr(const CLiteAttr& other);
    CLiteAttr& operator=(const CLiteAttr& other);

    bool getName(XString& out) const;
    bool getValue(XString& out) const;
    bool setValue(LiteText value);

    CXMLAttribute* getXMLAttribute() const { return static_cast<CXMLAttribute*>(m_ref.object); }

  private:
    friend class CLiteElem;
    void refer(CXMLAttribute* a) { setObject(a, false); }
};
