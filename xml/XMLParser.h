// The library's XML reader: a character-driven state machine whose transitions
// come from a static table, reporting what it recognises through a callback
// interface.
//
// Accepted syntax: elements, attributes in single or double quotes, character
// data, the five predefined entities, decimal and hexadecimal character
// references, comments, processing instructions, CDATA sections, and a DOCTYPE
// declaration that is skipped. CR LF, a lone CR and a lone LF each count as one
// line feed. Characters outside the Basic Multilingual Plane arrive as
// surrogate pairs; a lone surrogate is a syntax error.
#pragma once

#include <cstdint>
#include <vector>

#include "xml/XMLChar.h"
#include "xml/XMLString.h"

// The parser's client. Each operation returns false to stop the parse; an
// operation that fails on purpose records its error first, so that a syntax
// error is reported only when no callback did.
class IXMLParserCallback {
  public:
    virtual bool elementBegin(const xchar* name, size_t length) = 0;
    virtual bool elementEnd(const xchar* name, size_t length) = 0;
    virtual bool attributeName(const xchar* name, size_t length) = 0;
    virtual bool attributeValue(const xchar* value, size_t length) = 0;
    virtual bool text(const xchar* text, size_t length) = 0;
    virtual bool unknownEntity(const xchar* token, size_t length) = 0;
    virtual bool badCharRef(const xchar* token, size_t length) = 0;
    virtual bool comment(const xchar* text, size_t length) = 0;
    virtual bool piTarget(const xchar* target, size_t length) = 0;
    virtual bool piData(const xchar* data, size_t length) = 0;
    virtual bool cdata(const xchar* text, size_t length) = 0;
    virtual bool declaration() = 0;
    virtual bool newLine() = 0;

  protected:
    ~IXMLParserCallback() = default;
};

class CXMLParser {
  public:
    explicit CXMLParser(IXMLParserCallback* callback);

    // State 0, empty token, no pending CR.
    void reset();
    // The core step; false when no transition matches, the transition is an
    // error, or a callback asked to stop.
    bool feed(xchar c);
    bool parse(const xchar* text, size_t length);
    bool parse(const xchar* text);
    // UTF-8 input; a broken sequence stops the parse (brokenInput() tells).
    bool parse(const uint8_t* bytes, size_t length);

    // The token collected so far (the text of a syntax error).
    const CXMLString& token() const { return m_token; }
    // The character the last step was given (after CR became LF).
    xchar lastChar() const { return m_last; }
    int state() const { return m_state; }
    bool brokenInput() const { return m_broken; }

    // Decodes the value of a character reference token ("65" or "x41"); 0 when
    // it is not one or its value is 0 or above 0xFFFF.
    static unsigned charRefValue(const xchar* token, size_t length);
    // The preparation of an attribute value: each literal TAB, LF or CR becomes
    // one space, references are decoded once, left to right (one that does not
    // decode stays as written), and the result is trimmed of white space.
    static void prepareAttributeValue(const xchar* raw, size_t length, XString& out);

  private:
    bool step(unsigned c);
    bool perform(unsigned actions);
    bool callback(unsigned number);
    bool feedRefed();
    // Takes a run of ASCII characters that keep the state as it is; returns its length.
    template <class Unit>
    size_t takeRun(const Unit* p, size_t n);

    IXMLParserCallback* m_callback;
    int m_state = 0;
    bool m_collecting = false;
    bool m_afterCR = false;
    bool m_highSurrogate = false;
    bool m_broken = false;
    xchar m_last = 0;
    // Declaration counter: quote flags and the depth of angle brackets.
    bool m_declApostrophe = false;
    bool m_declQuote = false;
    int m_declDepth = 0;
    CXMLString m_token;
    std::vector<XString> m_tokenStack;
    XString m_value;   // scratch for prepared values
    XString m_refeed;  // an unknown entity's name to be read again as text
};
