#include "xml/XMLDocument.h"

#include <new>

#include "xml/Utf8.h"
#include "xml/XMLCharClass.h"
#include "xml/XMLPlatform.h"

namespace {

const uint32_t kBlockSize = 0x80000;

// A text that is a line feed followed only by TABs: the writer's indentation.
bool isIndentation(const XString& text) {
    if (text.empty() || text[0] != '\n') return false;
    for (size_t i = 1; i < text.size(); ++i)
        if (text[i] != '\t') return false;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- document

CXMLDocument::CXMLDocument() = default;

CXMLDocument::~CXMLDocument() { reset(); }

CXMLDocument::CXMLDocument(const CXMLDocument& other) { *this = other; }

CXMLDocument& CXMLDocument::operator=(const CXMLDocument& other) {
    if (this == &other) return *this;
    reset();
    for (const CXMLNode* n : other.m_top)
        if (CXMLNode* c = n->clone()) appendTopNode(c);
    if (other.m_root) m_root = other.m_root->cloneElement();
    m_error = other.m_error;
    m_errorText = other.m_errorText;
    m_line = other.m_line;
    return *this;
}

void CXMLDocument::reset() {
    for (CXMLNode* n : m_top) delete n;
    m_top.clear();
    delete m_root;
    m_root = nullptr;
    m_error = 0;
    m_errorText.clear();
    m_line = 1;
}

void CXMLDocument::setRoot(CXMLElement* root) {
    if (root == m_root) return;
    delete m_root;
    m_root = root;
}

CXMLElement* CXMLDocument::createRoot(const xchar* name) {
    if (!xmlIsValidName(name)) return nullptr;
    CXMLElement* e = new (std::nothrow) CXMLElement(name);
    if (e) setRoot(e);
    return e;
}

CXMLElement* CXMLDocument::detachRoot() {
    CXMLElement* r = m_root;
    m_root = nullptr;
    return r;
}

bool CXMLDocument::appendTopNode(CXMLNode* node) {
    if (!node) return false;
    try {
        m_top.push_back(node);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

const xchar* CXMLDocument::errorName(int code) {
    static const xchar* const kNames[] = {
        XS("NONE"),           XS("NO_MEMORY"),      XS("INVALID_REF"),     XS("INVALID_DOC"),
        XS("INVALID_ROOT"),   XS("INCOMPLETE_DOC"), XS("UNEXPECTED_CHAR"), XS("DUPLICATE_ATTR"),
        XS("UNKNOWN_ERROR"),  XS("CANCELLED"),      XS("CANT_OPEN_FILE"),  XS("CANT_SEEK_FILE"),
        XS("CANT_SIZE_FILE"), XS("CANT_READ_FILE"), XS("CANT_WRITE_FILE"), XS("INVALID_UTF8_DATA"),
    };
    if (code < 0 || code >= static_cast<int>(sizeof kNames / sizeof kNames[0]))
        return XS("<unknown>");
    return kNames[code];
}

void CXMLDocument::setError(int code, const XString& text) {
    m_error = code;
    m_errorText = text;
}

void CXMLDocument::setError(int code, const xchar* text, size_t length) {
    m_error = code;
    m_errorText.assign(text ? text : XS(""), text ? length : 0);
}

bool CXMLDocument::finishLoad(bool parsed, const CXMLParser& parser,
                              const std::vector<CXMLElement*>& open, bool streamForm) {
    if (!parsed) {
        if (m_error == 0) {
            // A broken UTF-8 sequence in bytes held in memory stops the parse
            // like any character without a transition: error 6 with the
            // pending token. (A stream reports it as error 15 with its path
            // before it gets here.)
            if (streamForm) {
                CXMLString text;
                text.appendFormat(XS("'%c' -- \"%s\""), parser.lastChar(), parser.token().text());
                setError(XML_ERROR_UNEXPECTED_CHAR, text.str());
            } else {
                setError(XML_ERROR_UNEXPECTED_CHAR, parser.token().text(), parser.token().length());
            }
        }
        return false;
    }
    if (!m_root) {
        if (m_error == 0) setError(XML_ERROR_INVALID_DOC, XS("no root element"));
    } else if (!open.empty()) {
        XString names;
        for (const CXMLElement* e : open) {
            if (!names.empty()) names += ' ';
            names += '/';
            names += e->name();
        }
        setError(XML_ERROR_INCOMPLETE_DOC, names);
    }
    return m_error == 0;
}

template <class Unit>
bool CXMLDocument::loadWhole(const Unit* input, size_t length, unsigned flags) {
    reset();
    CXMLDocumentLoader loader(*this, flags);
    CXMLParser parser(&loader);
    bool parsed;
    try {
        parsed = parser.parse(input, length) && loader.flushText();
    } catch (const std::bad_alloc&) {
        setError(XML_ERROR_NO_MEMORY, XString());
        return false;
    }
    return finishLoad(parsed, parser, loader.openElements(), false);
}

bool CXMLDocument::loadText(const xchar* text, size_t length, unsigned flags) {
    return loadWhole(text, length, flags);
}

bool CXMLDocument::loadBytes(const uint8_t* bytes, size_t length, unsigned flags) {
    return loadWhole(bytes, length, flags);
}

bool CXMLDocument::loadStream(IXMLStream& stream, unsigned flags) {
    reset();
    uint64_t size = 0;
    if (!stream.getSize(&size) || size == 0) {
        setError(XML_ERROR_CANT_SIZE_FILE, xstr(stream.getPath()));
        return false;
    }
    std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kBlockSize]);
    if (!block) {
        setError(XML_ERROR_NO_MEMORY, XString());
        return false;
    }
    CXMLDocumentLoader loader(*this, flags);
    CXMLParser parser(&loader);
    try {
        uint64_t done = 0;
        while (done < size) {
            const uint64_t left = size - done;
            const uint32_t want = left < kBlockSize ? static_cast<uint32_t>(left) : kBlockSize;
            uint32_t got = 0;
            if (!stream.read(block.get(), want, &got)) {
                setError(XML_ERROR_CANT_READ_FILE, xstr(stream.getErrorText()));
                return false;
            }
            if (got == 0) break;
            uint32_t usable = got;
            // Only a block that ends inside a multi-byte sequence, with more data
            // behind it, is cut before that sequence; the stream goes back so
            // that the next block starts with the whole sequence.
            if (done + got < size) {
                const uint8_t* b = block.get();
                uint32_t lead = got;
                for (uint32_t back = 1; back <= 6 && back <= got; ++back) {
                    if (!utf8::isContinuationByte(b[got - back])) {
                        lead = got - back;
                        break;
                    }
                }
                if (lead == got) {
                    setError(XML_ERROR_INVALID_UTF8_DATA, xstr(stream.getPath()));
                    return false;
                }
                const uint32_t need = static_cast<uint32_t>(utf8::leadLength(b[lead]));
                if (need > 1 && lead + need > got) {
                    if (lead == 0) {
                        // The read gave only part of one character: read the rest of it.
                        while (got < need && done + got < size) {
                            uint32_t more = 0;
                            if (!stream.read(block.get() + got, need - got, &more)) {
                                setError(XML_ERROR_CANT_READ_FILE, xstr(stream.getErrorText()));
                                return false;
                            }
                            if (more == 0) break;
                            got += more;
                        }
                        usable = got;
                    } else {
                        const uint32_t cut = got - lead;
                        if (!stream.seek(-static_cast<int64_t>(cut), XML_SEEK_CURRENT, nullptr)) {
                            setError(XML_ERROR_CANT_SEEK_FILE, xstr(stream.getErrorText()));
                            return false;
                        }
                        usable = lead;
                    }
                }
            }
            if (!parser.parse(block.get(), usable)) {
                if (parser.brokenInput()) {
                    setError(XML_ERROR_INVALID_UTF8_DATA, xstr(stream.getPath()));
                    return false;
                }
                return finishLoad(false, parser, loader.openElements(), true);
            }
            done += usable;
        }
        if (!loader.flushText()) return finishLoad(false, parser, loader.openElements(), true);
    } catch (const std::bad_alloc&) {
        setError(XML_ERROR_NO_MEMORY, XString());
        return false;
    }
    return finishLoad(true, parser, loader.openElements(), true);
}

bool CXMLDocument::loadFile(const xchar* path, unsigned flags) {
    reset();
    std::unique_ptr<IXMLStream> stream;
    XString error;
    if (!path || !xmlOpenFileStream(path, stream, error)) {
        setError(XML_ERROR_CANT_OPEN_FILE, error);
        return false;
    }
    return loadStream(*stream, flags);
}

bool CXMLDocument::saveText(CXMLString& out, unsigned flags) const {
    xmlwrite::setAtLineStart(flags, false);
    for (const CXMLNode* n : m_top) xmlwrite::setAtLineStart(flags, n->write(out, flags, 0));
    if (m_root) m_root->write(out, flags, 0);
    return out.terminate();
}

bool CXMLDocument::saveBytes(GrowBuffer& out, unsigned flags) const {
    CXMLString text;
    if (!saveText(text, flags)) return false;
    if (!text.length()) return true;
    return appendUtf16AsUtf8(text.text(), text.length(), out) != 0;
}

// ---------------------------------------------------------------- loader

CXMLDocumentLoader::CXMLDocumentLoader(CXMLDocument& document, unsigned flags,
                                       std::vector<CXMLElement*>* openElements)
    : m_doc(document), m_flags(flags), m_open(openElements ? openElements : &m_ownStack) {
    m_open->clear();
}

CXMLDocumentLoader::Target CXMLDocumentLoader::target() const {
    if (!m_open->empty()) return kElement;
    return m_doc.m_root ? kDrop : kTop;
}

CXMLNode* CXMLDocumentLoader::lastNode() const {
    switch (target()) {
        case kElement:
            return m_open->back()->lastChild();
        case kTop:
            return m_doc.m_top.empty() ? nullptr : m_doc.m_top.back();
        case kDrop:
            break;
    }
    return nullptr;
}

bool CXMLDocumentLoader::place(CXMLNode* node, const xchar* what) {
    const Target t = target();
    bool placed = false;
    if (t == kDrop) {
        delete node;
        return true;
    }
    if (node)
        placed = t == kElement ? m_open->back()->appendChild(node) : m_doc.appendTopNode(node);
    if (!placed) {
        delete node;
        m_doc.setError(XML_ERROR_NO_MEMORY,
                       t == kTop ? XString(XS("root ")) + what : m_open->back()->name());
        return false;
    }
    return true;
}

bool CXMLDocumentLoader::flushText() {
    if (!m_textPending) return true;
    m_textPending = false;
    if ((m_flags & XML_LOAD_DROP_INDENT) && isIndentation(m_text)) return true;
    if (target() == kDrop) return true;
    // Adjacent text merges (texts can meet when the markup between them was dropped).
    CXMLNode* last = lastNode();
    if (last && last->isContent()) {
        static_cast<CXMLContent*>(last)->appendText(m_text.data(), m_text.size());
        return true;
    }
    return place(new (std::nothrow) CXMLContent(m_text), XS("content"));
}

bool CXMLDocumentLoader::elementBegin(const xchar* name, size_t length) {
    if (!flushText()) return false;
    CXMLElement* e = new (std::nothrow) CXMLElement(XString(name, length));
    if (!e) {
        m_doc.setError(XML_ERROR_NO_MEMORY, name, length);
        return false;
    }
    if (!m_open->empty()) {
        if (m_flags & XML_LOAD_ROOT_ONLY) {
            delete e;
            m_doc.setError(XML_ERROR_CANCELLED, name, length);
            return false;
        }
        if (!m_open->back()->appendChild(e)) {
            delete e;
            m_doc.setError(XML_ERROR_NO_MEMORY, name, length);
            return false;
        }
    } else if (m_doc.m_root) {
        delete e;
        m_doc.setError(XML_ERROR_INVALID_DOC, name, length);
        return false;
    } else {
        m_doc.m_root = e;
    }
    m_open->push_back(e);
    return true;
}

bool CXMLDocumentLoader::elementEnd(const xchar* name, size_t length) {
    if (!flushText()) return false;
    m_attribute = nullptr;
    if (m_open->empty()) {
        m_doc.setError(XML_ERROR_INVALID_DOC, name, length);
        return false;
    }
    const XString& open = m_open->back()->name();
    if (open.size() == length && open.compare(0, length, name, length) == 0) {
        m_open->pop_back();
        return true;
    }
    m_doc.setError(XML_ERROR_INVALID_DOC, name, length);
    return (m_flags & XML_LOAD_CONTINUE_ON_MISMATCH) != 0;
}

bool CXMLDocumentLoader::attributeName(const xchar* name, size_t length) {
    m_attribute = nullptr;
    if (m_open->empty()) {
        m_doc.setError(XML_ERROR_INVALID_DOC, name, length);
        return false;
    }
    bool duplicate = false;
    CXMLAttribute* a =
        m_open->back()->insertAttribute(XString(name, length), XString(), &duplicate);
    if (!a) {
        m_doc.setError(duplicate ? XML_ERROR_DUPLICATE_ATTR : XML_ERROR_NO_MEMORY, name, length);
        return false;
    }
    m_attribute = a;
    return true;
}

bool CXMLDocumentLoader::attributeValue(const xchar* value, size_t length) {
    if (!m_attribute) {
        m_doc.setError(XML_ERROR_INVALID_DOC, value, length);
        return false;
    }
    m_attribute->setValue(XString(value, length));
    m_attribute = nullptr;
    return true;
}

bool CXMLDocumentLoader::text(const xchar* text, size_t length) {
    if (!length) return true;
    if (!m_textPending) {
        m_text.assign(text, length);
        m_textPending = true;
    } else {
        m_text.append(text, length);
    }
    return true;
}

bool CXMLDocumentLoader::unknownEntity(const xchar* token, size_t length) {
    m_doc.setError(XML_ERROR_INVALID_REF, token, length);
    return false;
}

bool CXMLDocumentLoader::badCharRef(const xchar* token, size_t length) {
    m_doc.setError(XML_ERROR_INVALID_REF, token, length);
    return false;
}

bool CXMLDocumentLoader::comment(const xchar* text, size_t length) {
    if (!flushText()) return false;
    if (m_flags & XML_LOAD_NO_COMMENTS) return true;
    return place(new (std::nothrow) CXMLComment(XString(text, length)), XS("comment"));
}

bool CXMLDocumentLoader::piTarget(const xchar* target, size_t length) {
    if (!flushText()) return false;
    if (m_flags & XML_LOAD_NO_PINSTR) return true;
    return place(new (std::nothrow) CXMLPInstr(XString(target, length), XString()), XS("PInstr"));
}

bool CXMLDocumentLoader::piData(const xchar* data, size_t length) {
    if (m_flags & XML_LOAD_NO_PINSTR) return true;
    CXMLNode* last = lastNode();
    // No error code of its own: the load ends with the syntax error.
    if (!last || !last->isPInstr()) return false;
    static_cast<CXMLPInstr*>(last)->setData(XString(data, length));
    return true;
}

bool CXMLDocumentLoader::cdata(const xchar* text, size_t length) {
    if (!flushText()) return false;
    if (m_flags & XML_LOAD_NO_CDATA) return true;
    return place(new (std::nothrow) CXMLCData(XString(text, length)), XS("CDATA"));
}

bool CXMLDocumentLoader::declaration() { return flushText(); }

bool CXMLDocumentLoader::newLine() {
    ++m_doc.m_line;
    return true;
}
