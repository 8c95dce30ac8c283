#include "xml/PlainElem.h"

#include <climits>
#include <cstring>
#include <vector>

#include "xml/XMLString.h"

XString ixlCompilePattern(const XString& t) {
    const size_t n = t.size();
    if (n == 0) return XString();
    const bool front = t[0] == '*', back = t[n - 1] == '*';
    if (n > 1 && front && back) return xchar(5) + t.substr(1, n - 2);
    if (back) return xchar(4) + t.substr(0, n - 1);
    if (front) return xchar(3) + t.substr(1);
    return t;
}

namespace {

// The strings a value puts in the string area, compiled. An empty item of a
// list would read as the list's end, so it is left out.
void packedStrings(const CIxlAttr& a, std::vector<XString>& out) {
    out.clear();
    if (a.type() == IXLVAL_STR) {
        out.push_back(ixlCompilePattern(a.text()));
    } else if (a.type() == IXLVAL_ARRSTR) {
        for (const XString& item : a.list()) {
            XString c = ixlCompilePattern(item);
            if (!c.empty()) out.push_back(std::move(c));
        }
    }
}

// Characters (with terminators) a value takes in the string area.
size_t stringUnits(const CIxlAttr& a, std::vector<XString>& scratch) {
    if (a.type() != IXLVAL_STR && a.type() != IXLVAL_ARRSTR) return 0;
    packedStrings(a, scratch);
    size_t units = a.type() == IXLVAL_ARRSTR ? 1 : 0;
    for (const XString& s : scratch) units += s.size() + 1;
    return units;
}

bool isInteger(int type) { return type == IXLVAL_INT || type == IXLVAL_ENUM; }

}  // namespace

size_t ixlPackPlain(const IxlRecord* root, void* buffer, size_t capacity) {
    if (!root) return 0;
    // 1. Count records, entries, integers and string characters (as written).
    size_t records = 0, entries = 0, units = 0, integers = 0;
    int lowest = INT_MAX, highest = INT_MIN;
    std::vector<XString> scratch;
    std::vector<const IxlRecord*> walk{root};
    while (!walk.empty()) {
        const IxlRecord* r = walk.back();
        walk.pop_back();
        ++records;
        if (r->attrs.size() > 255) return 0;
        entries += r->attrs.size();
        for (const auto& a : r->attrs) {
            if (isInteger(a->type())) {
                ++integers;
                if (a->intValue() < lowest) lowest = a->intValue();
                if (a->intValue() > highest) highest = a->intValue();
            }
            units += stringUnits(*a, scratch);
        }
        for (const IxlRecord* c : r->children) walk.push_back(c);
        if (records + entries > 0x4000) return 0;  // far beyond 64 KB already
    }
    // 2. Integers that need more than a byte in both directions are refused.
    if (integers && highest >= 128 && lowest < -128) return 0;
    // 3. The size from what is actually written.
    const size_t headers = (records + entries) * 4;
    const size_t size = headers + units * sizeof(xchar);
    if (size < 1 || size > 65535) return 0;
    if (!buffer) return size;
    if (size > capacity) return 0;

    // 4. Write depth first; each record's size is filled in after its subtree.
    uint8_t* out = static_cast<uint8_t*>(buffer);
    size_t cursor = 0, strings = headers;
    struct Frame {
        const IxlRecord* record;
        size_t next;
        size_t header;
    };
    std::vector<Frame> open;
    auto writeRecord = [&](const IxlRecord* r) {
        PlainElem* h = reinterpret_cast<PlainElem*>(out + cursor);
        h->m_Id = static_cast<uint8_t>(r->id);
        h->m_nAttr = static_cast<uint8_t>(r->attrs.size());
        h->m_nSize = 0;
        open.push_back({r, 0, cursor});
        cursor += sizeof(PlainElem);
        for (const auto& a : r->attrs) {
            PlainAttr* e = reinterpret_cast<PlainAttr*>(out + cursor);
            e->m_Id = static_cast<uint8_t>(a->id());
            e->m_Type = static_cast<uint8_t>(a->type());
            if (a->type() == IXLVAL_STR || a->type() == IXLVAL_ARRSTR) {
                e->m_Value = static_cast<uint16_t>(strings - cursor);
                packedStrings(*a, scratch);
                for (const XString& s : scratch) {
                    std::memcpy(out + strings, s.data(), s.size() * sizeof(xchar));
                    strings += s.size() * sizeof(xchar);
                    const xchar nul = 0;
                    std::memcpy(out + strings, &nul, sizeof nul);
                    strings += sizeof(xchar);
                }
                if (a->type() == IXLVAL_ARRSTR) {
                    const xchar nul = 0;
                    std::memcpy(out + strings, &nul, sizeof nul);
                    strings += sizeof(xchar);
                }
            } else {
                e->m_Value = static_cast<uint16_t>(a->intValue());
            }
            cursor += sizeof(PlainAttr);
        }
    };
    writeRecord(root);
    while (!open.empty()) {
        Frame& top = open.back();
        if (top.next < top.record->children.size()) {
            writeRecord(top.record->children[top.next++]);
        } else {
            reinterpret_cast<PlainElem*>(out + top.header)->m_nSize =
                static_cast<uint16_t>(cursor - top.header);
            open.pop_back();
        }
    }
    return cursor == headers && strings == size ? size : 0;
}

void fillPlainElemAttrTable(const PlainElem* record, const PlainAttr** table, int count) {
    for (int i = 0; i < count; ++i) table[i] = nullptr;
    if (!record) return;
    for (int i = 0; i < record->m_nAttr; ++i) {
        const PlainAttr* a = record->attrs() + i;
        if (a->m_Id < count) table[a->m_Id] = a;
    }
}

const PlainAttr* findAttrEntry(const PlainElem* record, int id) {
    if (!record) return nullptr;
    for (int i = 0; i < record->m_nAttr; ++i)
        if (record->attrs()[i].m_Id == id) return record->attrs() + i;
    return nullptr;
}

namespace {

bool matchOne(const xchar* text, size_t textLen, const xchar* pattern) {
    const xchar kind = pattern[0];
    if (kind == 3 || kind == 4 || kind == 5) {
        const xchar* p = pattern + 1;
        const size_t n = xstrlen(p);
        switch (kind) {
            case 3:  // suffix
                return n <= textLen && std::memcmp(text + textLen - n, p, n * sizeof(xchar)) == 0;
            case 4:  // prefix: needs at least one character
                return n > 0 && n <= textLen && std::memcmp(text, p, n * sizeof(xchar)) == 0;
            default:  // substring: an empty one always occurs
                if (n == 0) return true;
                for (size_t i = 0; i + n <= textLen; ++i)
                    if (std::memcmp(text + i, p, n * sizeof(xchar)) == 0) return true;
                return false;
        }
    }
    const size_t n = xstrlen(pattern);
    return n == textLen && std::memcmp(text, pattern, n * sizeof(xchar)) == 0;
}

}  // namespace

bool matchPatternList(const xchar* text, const xchar* pattern, bool isList) {
    if (!text || !pattern) return false;
    const size_t textLen = xstrlen(text);
    if (!isList) return matchOne(text, textLen, pattern);
    for (const xchar* p = pattern; *p; p += xstrlen(p) + 1)
        if (matchOne(text, textLen, p)) return true;
    return false;
}

void ixlDumpPlainElem(const void* blob, size_t size) {
    if (!blob || size < sizeof(PlainElem)) return;
    const PlainElem* root = static_cast<const PlainElem*>(blob);
    std::vector<std::pair<const PlainElem*, int>> walk{{root, 0}};
    while (!walk.empty()) {
        auto [e, depth] = walk.back();
        walk.pop_back();
        xmlDebugTrace(XS("%*s------PlainElem----- m_Id=%d, m_nAttr=%d, m_nSize=%d\n"), depth * 2,
                      XS(""), e->m_Id, e->m_nAttr, e->m_nSize);
        for (int i = 0; i < e->m_nAttr; ++i) {
            const PlainAttr* a = e->attrs() + i;
            xmlDebugTrace(XS("%*sAttr----- m_Id=%d, m_Type=%d, m_Value=%d\n"), depth * 2 + 2,
                          XS(""), a->m_Id, a->m_Type, a->m_Value);
        }
        std::vector<const PlainElem*> children;
        for (const PlainElem* c = e->firstChild(); c < e->end() && c->m_nSize; c = c->next())
            children.push_back(c);
        for (size_t i = children.size(); i-- > 0;) walk.emplace_back(children[i], depth + 1);
    }
}
