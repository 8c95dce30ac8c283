#include "xml/XMLParser.h"

#include "xml/Utf8.h"
#include "xml/XMLCharClass.h"

namespace {

// Match kinds.
enum : uint8_t { kAny = 0, kOne = 1, kClass = 2, kCounter = 3 };
// Classes for kClass.
enum : uint8_t { cSpace, cChar, cAnyChar, cNameStart, cName, cDigit, cHex };

// Actions: the low four bits name a callback.
enum : uint16_t {
    ElementBegin = 1,
    ElementEnd = 2,
    AttrName = 3,
    AttrValue = 4,
    Text = 5,
    Entity = 6,
    CharRef = 7,
    Comment = 8,
    PiTarget = 9,
    PiData = 10,
    CData = 11,
    Declaration = 12,
    Push = 0x010,
    Pop = 0x020,
    Clear = 0x100,
    Collect = 0x200,
    RemoveLast = 0x400,
    Stop = 0x800,
};

struct Transition {
    uint8_t state;
    uint8_t kind;
    uint16_t value;
    int8_t next;  // -1: syntax error
    uint16_t actions;
};

constexpr int kStates = 50;

// clang-format off
const Transition kTable[] = {
    // 0 between markup
    {0, kOne, '<', 2, 0}, {0, kOne, '&', 16, 0}, {0, kClass, cChar, 1, Collect},
    // 1 character data
    {1, kOne, '<', 2, Text}, {1, kOne, '&', 16, Text}, {1, kClass, cChar, 1, 0},
    // 2 after "<"
    {2, kClass, cNameStart, 3, Collect}, {2, kOne, '!', 21, Clear}, {2, kOne, '?', 23, Clear},
    {2, kOne, '/', 6, Collect},
    // 3 element name
    {3, kClass, cName, 3, 0}, {3, kClass, cSpace, 4, ElementBegin | Stop},
    {3, kOne, '/', 5, ElementBegin | Stop}, {3, kOne, '>', 0, ElementBegin},
    // 4 inside a start tag
    {4, kClass, cSpace, 4, 0}, {4, kClass, cNameStart, 9, Push | Collect}, {4, kOne, '/', 5, Stop},
    {4, kOne, '>', 0, 0},
    // 5 after "/" in a start tag
    {5, kOne, '>', 0, ElementEnd},
    // 6 after "</"
    {6, kClass, cNameStart, 7, Collect},
    // 7 end-tag name
    {7, kClass, cName, 7, 0}, {7, kClass, cSpace, 8, ElementEnd}, {7, kOne, '>', 0, ElementEnd},
    // 8 after an end-tag name
    {8, kClass, cSpace, 8, 0}, {8, kOne, '>', 0, 0},
    // 9 attribute name
    {9, kClass, cName, 9, 0}, {9, kClass, cSpace, 10, AttrName}, {9, kOne, '=', 11, AttrName},
    // 10 before "="
    {10, kClass, cSpace, 10, 0}, {10, kOne, '=', 11, 0},
    // 11 before the value
    {11, kClass, cSpace, 11, 0}, {11, kOne, '\'', 12, Clear}, {11, kOne, '"', 14, Clear},
    // 12, 13 value in apostrophes; 14, 15 in double quotes
    {12, kOne, '\'', 4, AttrValue | Pop | Stop}, {12, kOne, '<', -1, 0}, {12, kClass, cChar, 13, Collect},
    {13, kOne, '\'', 4, AttrValue | Pop | Stop}, {13, kOne, '<', -1, 0}, {13, kClass, cChar, 13, 0},
    {14, kOne, '"', 4, AttrValue | Pop | Stop}, {14, kOne, '<', -1, 0}, {14, kClass, cChar, 15, Collect},
    {15, kOne, '"', 4, AttrValue | Pop | Stop}, {15, kOne, '<', -1, 0}, {15, kClass, cChar, 15, 0},
    // 16 after "&"
    {16, kClass, cNameStart, 17, Collect}, {16, kOne, '#', 18, 0},
    // 17 entity name
    {17, kClass, cName, 17, 0}, {17, kOne, ';', 0, Entity | Stop},
    // 18 after "&#"
    {18, kClass, cDigit, 19, Collect}, {18, kOne, 'x', 20, Collect},
    // 19 decimal reference, 20 hexadecimal reference
    {19, kClass, cDigit, 19, 0}, {19, kOne, ';', 0, CharRef | Stop},
    {20, kClass, cHex, 20, 0}, {20, kOne, ';', 0, CharRef | Stop},
    // 21 after "<!"
    {21, kOne, '-', 28, 0}, {21, kOne, '[', 22, 0}, {21, kOne, 'D', 42, 0},
    // 22, 33 to 37: "<![CDATA["
    {22, kOne, 'C', 33, 0}, {33, kOne, 'D', 34, 0}, {34, kOne, 'A', 35, 0}, {35, kOne, 'T', 36, 0},
    {36, kOne, 'A', 37, 0}, {37, kOne, '[', 38, 0},
    // 23 after "<?"
    {23, kOne, '?', 27, PiTarget}, {23, kClass, cNameStart, 24, Collect},
    // 24 PI target
    {24, kClass, cName, 24, 0}, {24, kClass, cSpace, 25, PiTarget | Stop},
    {24, kOne, '?', 27, PiTarget | Clear},
    // 25 after the target
    {25, kClass, cSpace, 25, 0}, {25, kOne, '?', 27, Clear}, {25, kClass, cAnyChar, 26, Collect},
    // 26 PI data
    {26, kOne, '?', 27, Stop}, {26, kClass, cAnyChar, 26, 0},
    // 27 after "?"
    {27, kOne, '>', 0, PiData},
    // 28 after "<!-"
    {28, kOne, '-', 29, 0},
    // 29 comment start: a comment may itself start with "-", so collect it.
    {29, kOne, '-', 31, Collect}, {29, kClass, cAnyChar, 30, Collect},
    // 30 comment text
    {30, kOne, '-', 31, 0}, {30, kClass, cAnyChar, 30, 0},
    // 31 after one "-"
    {31, kOne, '-', 32, RemoveLast | Stop}, {31, kClass, cAnyChar, 30, 0},
    // 32 after "--"
    {32, kOne, '>', 0, Comment},
    // 38 CDATA start, 39 CDATA text, 40 after one "]", 41 after "]]"
    {38, kOne, ']', 40, Collect}, {38, kClass, cAnyChar, 39, Collect},
    {39, kOne, ']', 40, 0}, {39, kClass, cAnyChar, 39, 0},
    {40, kOne, ']', 41, 0}, {40, kClass, cAnyChar, 39, 0},
    {41, kOne, '>', 0, CData | Stop}, {41, kOne, ']', 41, 0}, {41, kClass, cAnyChar, 39, 0},
    // 42 to 47: "<!D" then O, C, T, Y, P, E
    {42, kOne, 'O', 43, 0}, {43, kOne, 'C', 44, 0}, {44, kOne, 'T', 45, 0}, {45, kOne, 'Y', 46, 0},
    {46, kOne, 'P', 47, 0}, {47, kOne, 'E', 48, 0},
    // 48 after the keyword DOCTYPE, 49 declaration body; after the closing ">"
    // the reader is between markup again, so text that follows is kept.
    {48, kCounter, 0, 49, Collect},
    {49, kCounter, 0, 49, 0}, {49, kClass, cChar, 0, Declaration | Clear},
};
// clang-format on

struct Dispatch {
    // Per state: first entry and count; per state and ASCII character: the
    // matching entry (-1 none), unless the state uses the counter.
    uint16_t first[kStates];
    uint8_t count[kStates];
    bool counter[kStates];
    int16_t ascii[kStates][128];
    // ASCII characters that keep the state without actions (line breaks
    // excepted, they are counted): a run of them can be taken in one go.
    bool run[kStates][128];
};

bool classMatches(uint8_t cls, unsigned c) {
    switch (cls) {
        case cSpace:
            return xmlclass::isSpace(c);
        case cChar:
        case cAnyChar:
            return xmlclass::isTextUnit(c);
        case cNameStart:
            return xmlclass::isNameStart(c);
        case cName:
            return xmlclass::isNameChar(c);
        case cDigit:
            return xmlclass::isDigit(c);
        case cHex:
            return xmlclass::isHexDigit(c);
    }
    return false;
}

bool plainMatch(const Transition& t, unsigned c) {
    switch (t.kind) {
        case kAny:
            return true;
        case kOne:
            return c == t.value;
        case kClass:
            return classMatches(static_cast<uint8_t>(t.value), c);
    }
    return false;
}

Dispatch buildDispatch() {
    Dispatch d{};
    const size_t n = sizeof kTable / sizeof kTable[0];
    for (int s = 0; s < kStates; ++s) {
        d.first[s] = 0;
        d.count[s] = 0;
        for (int c = 0; c < 128; ++c) d.ascii[s][c] = -1;
    }
    for (size_t i = n; i-- > 0;) d.first[kTable[i].state] = static_cast<uint16_t>(i);
    for (size_t i = 0; i < n; ++i) {
        ++d.count[kTable[i].state];
        if (kTable[i].kind == kCounter) d.counter[kTable[i].state] = true;
    }
    for (int s = 0; s < kStates; ++s) {
        for (unsigned c = 0; c < 128; ++c) {
            for (int k = 0; k < d.count[s]; ++k) {
                const Transition& t = kTable[d.first[s] + k];
                if (t.kind != kCounter && plainMatch(t, c)) {
                    d.ascii[s][c] = static_cast<int16_t>(d.first[s] + k);
                    d.run[s][c] = !d.counter[s] && t.next == s && c != '\r' && c != '\n';
                    break;
                }
            }
        }
    }
    return d;
}

const Dispatch& dispatch() {
    static const Dispatch d = buildDispatch();
    return d;
}

// The single character of a predefined entity, 0 for any other name.
xchar predefinedEntity(const xchar* name, size_t n) {
    auto is = [&](const char* word) {
        size_t i = 0;
        for (; word[i]; ++i)
            if (i >= n || name[i] != static_cast<xchar>(word[i])) return false;
        return i == n;
    };
    if (is("amp")) return '&';
    if (is("gt")) return '>';
    if (is("lt")) return '<';
    if (is("apos")) return '\'';
    if (is("quot")) return '"';
    return 0;
}

}  // namespace

CXMLParser::CXMLParser(IXMLParserCallback* callback) : m_callback(callback) {
    dispatch();
    reset();
}

void CXMLParser::reset() {
    m_state = 0;
    m_collecting = false;
    m_afterCR = false;
    m_highSurrogate = false;
    m_broken = false;
    m_last = 0;
    m_token.clear();
    m_tokenStack.clear();
    m_refeed.clear();
}

unsigned CXMLParser::charRefValue(const xchar* token, size_t n) {
    if (!n) return 0;
    unsigned value = 0;
    if (token[0] == 'x') {
        if (n < 2) return 0;
        for (size_t i = 1; i < n; ++i) {
            const unsigned c = static_cast<unsigned>(token[i]);
            unsigned h;
            if (c >= '0' && c <= '9')
                h = c - '0';
            else if (c >= 'a' && c <= 'f')
                h = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                h = c - 'A' + 10;
            else
                return 0;
            value = value * 16 + h;
            if (value > 0xFFFF) return 0;
        }
    } else {
        for (size_t i = 0; i < n; ++i) {
            const unsigned c = static_cast<unsigned>(token[i]);
            if (c < '0' || c > '9') return 0;
            value = value * 10 + (c - '0');
            if (value > 0xFFFF) return 0;
        }
    }
    return value;
}

void CXMLParser::prepareAttributeValue(const xchar* raw, size_t n, XString& out) {
    out.clear();
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const xchar c = raw[i];
        if (c == '&') {
            // A reference is decoded once; what does not decode stays as written.
            // Its length is not limited (leading zeros are valid); the scan
            // stops at the next "&", so every character is read at most twice.
            size_t end = i + 1;
            while (end < n && raw[end] != ';' && raw[end] != '&') ++end;
            if (end < n && raw[end] == ';' && end > i + 1) {
                const xchar* body = raw + i + 1;
                const size_t len = end - i - 1;
                xchar decoded = 0;
                if (body[0] == '#')
                    decoded = static_cast<xchar>(charRefValue(body + 1, len - 1));
                else
                    decoded = predefinedEntity(body, len);
                if (decoded) {
                    out.push_back(decoded);
                    i = end;
                    continue;
                }
            }
            out.push_back(c);
        } else if (c == '\t' || c == '\n' || c == '\r') {
            out.push_back(' ');
        } else {
            out.push_back(c);
        }
    }
    size_t first = 0, last = out.size();
    while (first < last && xmlIsWhite(static_cast<unsigned>(out[first]))) ++first;
    while (last > first && xmlIsWhite(static_cast<unsigned>(out[last - 1]))) --last;
    if (first || last < out.size()) out = out.substr(first, last - first);
}

bool CXMLParser::callback(unsigned number) {
    const xchar* t = m_token.text();
    const size_t n = m_token.length();
    switch (number) {
        case ElementBegin:
            return m_callback->elementBegin(t, n);
        case ElementEnd:
            return m_callback->elementEnd(t, n);
        case AttrName:
            return m_callback->attributeName(t, n);
        case AttrValue:
            prepareAttributeValue(t, n, m_value);
            return m_callback->attributeValue(m_value.c_str(), m_value.size());
        case Text:
            return m_callback->text(t, n);
        case Entity: {
            if (const xchar c = predefinedEntity(t, n)) return m_callback->text(&c, 1);
            if (!m_callback->unknownEntity(t, n)) return false;
            m_refeed.assign(t, n);  // read the name again as ordinary input
            return true;
        }
        case CharRef: {
            const unsigned v = charRefValue(t, n);
            if (v) {
                const xchar c = static_cast<xchar>(v);
                return m_callback->text(&c, 1);
            }
            return m_callback->badCharRef(t, n);
        }
        case Comment:
            return m_callback->comment(t, n);
        case PiTarget:
            return m_callback->piTarget(t, n);
        case PiData:
            return m_callback->piData(t, n);
        case CData: {
            // Drop the closing "]]" and undo the writer's "]]&gt;".
            m_value.assign(t, n >= 2 ? n - 2 : 0);
            const XString escaped = XS("]]&gt;");
            for (size_t at = 0; (at = m_value.find(escaped, at)) != XString::npos; at += 3)
                m_value.replace(at, escaped.size(), XS("]]>"));
            return m_callback->cdata(m_value.c_str(), m_value.size());
        }
        case Declaration:
            return m_callback->declaration();
    }
    return true;
}

bool CXMLParser::perform(unsigned actions) {
    if ((actions & 0x0F) && !callback(actions & 0x0F)) return false;
    if (actions & Push) m_tokenStack.push_back(m_token.str());
    if (actions & Pop) {
        if (m_tokenStack.empty()) {
            m_token.clear();
        } else {
            m_token.assign(m_tokenStack.back().c_str(), m_tokenStack.back().size());
            m_tokenStack.pop_back();
        }
    }
    if (actions & (Clear | Collect)) {
        m_token.clear();
        m_collecting = (actions & Collect) != 0;
    }
    if (actions & RemoveLast) m_token.removeLast(1);
    if (actions & Stop) m_collecting = false;
    return true;
}

bool CXMLParser::step(unsigned c) {
    const Dispatch& d = dispatch();
    const Transition* t = nullptr;
    if (c < 128 && !d.counter[m_state]) {
        const int i = d.ascii[m_state][c];
        if (i >= 0) t = &kTable[i];
    } else {
        for (int k = 0; k < d.count[m_state]; ++k) {
            const Transition& e = kTable[d.first[m_state] + k];
            bool matched;
            if (e.kind == kCounter) {
                if (m_state == 48) {
                    m_declApostrophe = m_declQuote = false;
                    m_declDepth = 1;
                }
                if (c == '"' && !m_declApostrophe)
                    m_declQuote = !m_declQuote;
                else if (c == '\'' && !m_declQuote)
                    m_declApostrophe = !m_declApostrophe;
                else if (c == '<' && !m_declQuote && !m_declApostrophe)
                    ++m_declDepth;
                else if (c == '>' && !m_declQuote && !m_declApostrophe)
                    --m_declDepth;
                matched = m_declDepth != 0 && xmlclass::isTextUnit(c);
            } else {
                matched = plainMatch(e, c);
            }
            if (matched) {
                t = &e;
                break;
            }
        }
    }
    if (!t || t->next < 0) return false;
    if (t->next != m_state) {
        m_state = t->next;
        if (t->actions && !perform(t->actions)) return false;
    }
    if (m_collecting) m_token.appendChar(static_cast<xchar>(c));
    return m_refeed.empty() || feedRefed();
}

bool CXMLParser::feedRefed() {
    XString text;
    text.swap(m_refeed);
    for (xchar c : text)
        if (!feed(c)) return false;
    return true;
}

bool CXMLParser::feed(xchar ch) {
    unsigned c = static_cast<unsigned>(ch);
    if (c == '\r') {
        c = '\n';
        m_afterCR = true;
    } else {
        const bool skip = c == '\n' && m_afterCR;
        m_afterCR = false;
        if (skip) return true;
    }
    m_last = static_cast<xchar>(c);
    if (c == '\n' && !m_callback->newLine()) return false;
    if (m_highSurrogate) {
        if (!utf8::isLowSurrogate(c)) return false;
        m_highSurrogate = false;
    } else if (utf8::isHighSurrogate(c)) {
        m_highSurrogate = true;
    } else if (utf8::isLowSurrogate(c)) {
        return false;
    }
    return step(c);
}

template <class Unit>
size_t CXMLParser::takeRun(const Unit* p, size_t n) {
    if (m_highSurrogate) return 0;
    const bool* run = dispatch().run[m_state];
    size_t k = 0;
    while (k < n && static_cast<unsigned>(p[k]) < 128 && run[static_cast<unsigned>(p[k])]) ++k;
    if (k == 0) return 0;
    if (m_collecting) m_token.appendAscii(p, k);
    m_afterCR = false;
    m_last = static_cast<xchar>(p[k - 1]);
    return k;
}

bool CXMLParser::parse(const xchar* text, size_t length) {
    size_t i = 0;
    while (i < length) {
        if (const size_t k = takeRun(text + i, length - i)) {
            i += k;
            continue;
        }
        if (!feed(text[i])) return false;
        ++i;
    }
    return true;
}

bool CXMLParser::parse(const xchar* text) { return parse(text, xstrlen(text)); }

bool CXMLParser::parse(const uint8_t* bytes, size_t length) {
    size_t i = 0;
    while (i < length) {
        if (bytes[i] < 0x80) {
            // A stretch of plain characters inside a name, a value or a text
            // needs no step of the machine each.
            if (const size_t k = takeRun(bytes + i, length - i)) {
                i += k;
                continue;
            }
            if (!feed(static_cast<xchar>(bytes[i]))) return false;
            ++i;
            continue;
        }
        char32_t c;
        const size_t n = utf8::decodeChar(bytes + i, length - i, &c);
        if (!n || utf8::isInvalidCodePoint(c)) {
            m_broken = true;
            return false;
        }
        i += n;
        xchar units[2];
        for (size_t k = 0, count = utf8::putUtf16(c, units); k < count; ++k)
            if (!feed(units[k])) return false;
    }
    return true;
}
