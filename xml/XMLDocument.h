// CXMLDocument: the top-level nodes and the root element of one XML document,
// loaded from UTF-16 text, UTF-8 bytes, a stream or a file and saved as text or
// UTF-8 bytes, with the error code, error text and line of the last load.
//
// Files are UTF-8; the writer adds no byte-order mark and no XML declaration of
// its own, and one read at the start of a file is kept (as a top-level text
// node and a processing instruction) and written back.
#pragma once

#include <cstdint>
#include <vector>

#include "xml/GrowBuffer.h"
#include "xml/XMLNode.h"
#include "xml/XMLParser.h"
#include "xml/XMLStream.h"

enum XMLError {
    XML_ERROR_NONE = 0,
    XML_ERROR_NO_MEMORY = 1,
    XML_ERROR_INVALID_REF = 2,
    XML_ERROR_INVALID_DOC = 3,
    XML_ERROR_INVALID_ROOT = 4,
    XML_ERROR_INCOMPLETE_DOC = 5,
    XML_ERROR_UNEXPECTED_CHAR = 6,
    XML_ERROR_DUPLICATE_ATTR = 7,
    XML_ERROR_UNKNOWN_ERROR = 8,
    XML_ERROR_CANCELLED = 9,
    XML_ERROR_CANT_OPEN_FILE = 10,
    XML_ERROR_CANT_SEEK_FILE = 11,
    XML_ERROR_CANT_SIZE_FILE = 12,
    XML_ERROR_CANT_READ_FILE = 13,
    XML_ERROR_CANT_WRITE_FILE = 14,
    XML_ERROR_INVALID_UTF8_DATA = 15,
};

// Load flags (the program passes 0 through CLiteDom, which reads it as
// XML_LOAD_DROP_INDENT).
enum : unsigned {
    // Drop a text that is a line feed followed only by TABs: the indentation
    // the writer produces.
    XML_LOAD_DROP_INDENT = 0x001,
    XML_LOAD_NO_COMMENTS = 0x010,
    XML_LOAD_NO_PINSTR = 0x020,
    XML_LOAD_NO_CDATA = 0x040,
    // Stop at the first start tag inside the root (error 9).
    XML_LOAD_ROOT_ONLY = 0x100,
    // An end tag that does not match is reported as error 3 but loading goes on.
    XML_LOAD_CONTINUE_ON_MISMATCH = 0x200,
};

class CXMLDocument {
  public:
    CXMLDocument();
    ~CXMLDocument();
    // A deep copy of the top-level nodes and the root; the error state is kept.
    CXMLDocument(const CXMLDocument& other);
    CXMLDocument& operator=(const CXMLDocument& other);

    // Deletes every node; error 0, empty text, line 1.
    void reset();

    bool loadText(const xchar* text, size_t length, unsigned flags);
    bool loadBytes(const uint8_t* bytes, size_t length, unsigned flags);
    // Reads the stream in blocks of at most 512 KB; a multi-byte character cut
    // by the end of a block is read again with the next one.
    bool loadStream(IXMLStream& stream, unsigned flags);
    // Opens an existing file for reading (read sharing) and loads it as a stream.
    bool loadFile(const xchar* path, unsigned flags);

    // The top-level nodes, then the root, at depth 0.
    bool saveText(CXMLString& out, unsigned flags) const;
    // saveText, then the text as UTF-8 appended to the buffer; false when a
    // character cannot be encoded.
    bool saveBytes(GrowBuffer& out, unsigned flags) const;

    CXMLElement* root() const { return m_root; }
    // Takes the element as the new root (the old one is deleted).
    void setRoot(CXMLElement* root);
    // Creates a root with the name (the name must be valid); null on failure.
    CXMLElement* createRoot(const xchar* name);
    // Hands the root to the caller.
    CXMLElement* detachRoot();
    const std::vector<CXMLNode*>& topNodes() const { return m_top; }
    bool appendTopNode(CXMLNode* node);

    int errorCode() const { return m_error; }
    const XString& errorText() const { return m_errorText; }
    unsigned line() const { return m_line; }
    // The name of a code ("NONE", "NO_MEMORY", ...; "<unknown>" for others).
    static const xchar* errorName(int code);
    void setError(int code, const XString& text);
    void setError(int code, const xchar* text, size_t length);

  private:
    friend class CXMLDocumentLoader;
    // Parses one whole input: UTF-16 text or UTF-8 bytes.
    template <class Unit>
    bool loadWhole(const Unit* input, size_t length, unsigned flags);
    // The checks after the input ended (no root, open elements) and the
    // generic syntax error.
    bool finishLoad(bool parsed, const CXMLParser& parser, const std::vector<CXMLElement*>& open,
                    bool streamForm);

    std::vector<CXMLNode*> m_top;
    CXMLElement* m_root = nullptr;
    int m_error = 0;
    XString m_errorText;
    unsigned m_line = 1;
};

// Builds a document's tree from the parser's callbacks. Consecutive texts are
// one run: with XML_LOAD_DROP_INDENT a run that is only a line feed and TABs is
// dropped when markup ends it.
class CXMLDocumentLoader : public IXMLParserCallback {
  public:
    // The stack of open elements may be supplied by the caller.
    CXMLDocumentLoader(CXMLDocument& document, unsigned flags,
                       std::vector<CXMLElement*>* openElements = nullptr);

    bool elementBegin(const xchar* name, size_t length) override;
    bool elementEnd(const xchar* name, size_t length) override;
    bool attributeName(const xchar* name, size_t length) override;
    bool attributeValue(const xchar* value, size_t length) override;
    bool text(const xchar* text, size_t length) override;
    bool unknownEntity(const xchar* token, size_t length) override;
    bool badCharRef(const xchar* token, size_t length) override;
    bool comment(const xchar* text, size_t length) override;
    bool piTarget(const xchar* target, size_t length) override;
    bool piData(const xchar* data, size_t length) override;
    bool cdata(const xchar* text, size_t length) override;
    bool declaration() override;
    bool newLine() override;

    const std::vector<CXMLElement*>& openElements() const { return *m_open; }
    // Places a pending text run (called when markup follows and at the end).
    bool flushText();

  private:
    enum Target { kDrop, kElement, kTop };
    Target target() const;
    // The node placed last where the next node goes; null when dropping or none.
    CXMLNode* lastNode() const;
    bool place(CXMLNode* node, const xchar* what);

    CXMLDocument& m_doc;
    unsigned m_flags;
    std::vector<CXMLElement*> m_ownStack;
    std::vector<CXMLElement*>* m_open;
    CXMLAttribute* m_attribute = nullptr;
    XString m_text;
    bool m_textPending = false;
};
