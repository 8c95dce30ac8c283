// The PlainElem blob: a record tree packed into one block of bytes, in which
// every string is a precompiled wildcard pattern. The recognition side keeps
// such a blob and matches names against it without touching XML again.
//
// Layout (little-endian): the records depth first, each a 4-byte PlainElem
// header followed by m_nAttr 4-byte PlainAttr entries, then its child records;
// all headers and entries come first, the string area follows them directly.
// A string is one compiled pattern, NUL-terminated; a list is its compiled
// items, each NUL-terminated, ended by an empty string.
//
// Walking a blob:
//   const PlainElem* root = static_cast<const PlainElem*>(blob);
//   for (const PlainElem* c = root->firstChild(); c < root->end(); c = c->next()) {
//       const PlainAttr* slots[IXL_PROFILE_ATTR_SLOTS];
//       fillPlainElemAttrTable(c, slots, IXL_PROFILE_ATTR_SLOTS);
//       if (slots[IXL_PROFILE_NAME] && matchPatternList(text, slots[IXL_PROFILE_NAME]->text(),
//                                                       slots[IXL_PROFILE_NAME]->isList())) ...
//   }
#pragma once

#include <cstddef>
#include <cstdint>

#include "xml/IxlSchema.h"
#include "xml/XMLChar.h"

#pragma pack(push, 1)

struct PlainAttr {
    uint8_t m_Id;
    uint8_t m_Type;    // IxlValueType, 1 to 5
    uint16_t m_Value;  // the value, or the byte offset from this entry to its text

    // Integers travel as 16-bit signed values.
    int intValue() const { return static_cast<int16_t>(m_Value); }
    bool boolValue() const { return m_Value != 0; }
    bool isList() const { return m_Type == IXLVAL_ARRSTR; }
    bool isText() const { return m_Type == IXLVAL_STR || m_Type == IXLVAL_ARRSTR; }
    // The compiled pattern (or the first item of a list).
    const xchar* text() const {
        return reinterpret_cast<const xchar*>(reinterpret_cast<const uint8_t*>(this) + m_Value);
    }
};

struct PlainElem {
    uint8_t m_Id;
    uint8_t m_nAttr;
    uint16_t m_nSize;  // bytes from this header to the end of its subtree's headers and entries

    const PlainAttr* attrs() const { return reinterpret_cast<const PlainAttr*>(this + 1); }
    const PlainElem* firstChild() const {
        return reinterpret_cast<const PlainElem*>(attrs() + m_nAttr);
    }
    // The end of this record's subtree, which is where its next sibling starts.
    const PlainElem* end() const {
        return reinterpret_cast<const PlainElem*>(reinterpret_cast<const uint8_t*>(this) + m_nSize);
    }
    const PlainElem* next() const { return end(); }
    bool hasChildren() const { return firstChild() < end(); }
};

#pragma pack(pop)

static_assert(sizeof(PlainElem) == 4 && sizeof(PlainAttr) == 4, "packed blob entries are 4 bytes");

// Packs a record tree. Returns its size, 0 on failure; with a null buffer only
// the size. Fails when the integers span both at least 128 and below -128, when
// the size is not between 1 and 65535, or when it exceeds the capacity.
size_t ixlPackPlain(const IxlRecord* root, void* buffer, size_t capacity);

// The compiled form of a pattern: the text itself (exact), \3 and the text
// without its leading '*' (suffix), \4 and the text without its trailing '*'
// (prefix; "*" alone gives \4 alone), \5 and the text without both stars
// (substring, for a text longer than one character), empty for an empty text.
XString ixlCompilePattern(const XString& text);

// Sets count slots to null, then puts each attribute entry of the record in the
// slot of its id (ids beyond the table are skipped).
void fillPlainElemAttrTable(const PlainElem* record, const PlainAttr** table, int count);
// The attribute entry with that id, or null.
const PlainAttr* findAttrEntry(const PlainElem* record, int id);

// True when the text matches the compiled pattern, or with isList any pattern
// of the list. Case-sensitive; a prefix pattern needs at least one character,
// so "*" matches nothing, while "**" matches every text.
bool matchPatternList(const xchar* text, const xchar* pattern, bool isList);

// Traces of a blob ("------PlainElem----- ..." and "Attr----- ..." lines).
void ixlDumpPlainElem(const void* blob, size_t size);
