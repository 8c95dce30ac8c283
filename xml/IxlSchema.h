// The typed schema layer: the fixed vocabularies of the macro file and the
// profiles file, with numeric ids and value types for their elements and
// attributes, and the tree of typed records read from a document.
//
// The ids below are what the packed blob (PlainElem.h) carries; code that reads
// macros or profiles from the blob names attributes by them.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "xml/XMLChar.h"

class CXMLElement;

// Value types.
enum IxlValueType {
    IXLVAL_NONE = 0,
    IXLVAL_INT = 1,
    IXLVAL_BOOL = 2,
    IXLVAL_STR = 3,
    IXLVAL_ENUM = 4,    // held as the word's number
    IXLVAL_ARRSTR = 5,  // a list of strings ("|"-separated in the file)
};

// Schema kinds of IxlScribixHelper.
enum IxlKind { IXL_KIND_NONE = 0, IXL_KIND_MACRO = 1, IXL_KIND_PROFILE = 3 };

// ---- the macro file: <macroses><macro name=".." type=".." ...>body</macro></macroses>
enum IxlMacroElement { IXL_MACROSES = 0, IXL_MACRO = 1 };
enum IxlMacroAttr {
    IXL_MACRO_NAME = 1,         // string
    IXL_MACRO_TYPE = 2,         // enumeration IxlMacroType
    IXL_MACRO_BODY = 3,         // string: the element's text, line feeds as CR
    IXL_MACRO_DESCRIPTION = 4,  // string
    IXL_MACRO_PARAM = 5,        // string
    IXL_MACRO_ATTR_SLOTS = 6,   // table size for fillPlainElemAttrTable
};
enum IxlMacroType {
    IXL_MACRO_KEYSTROKE = 0,
    IXL_MACRO_LAUNCH = 1,
    IXL_MACRO_USE_PROFILE = 2,
    IXL_MACRO_ASSIGN_PROFILE = 3,
};

// ---- the profiles file: <profiles><profile name=".." .../></profiles>
enum IxlProfileElement { IXL_PROFILES = 0, IXL_PROFILE = 1 };
enum IxlProfileAttr {
    IXL_PROFILE_NAME = 1,                // string list (patterns)
    IXL_PROFILE_ENABLED = 2,             // boolean
    IXL_PROFILE_LEX_GEN_FILE = 3,        // string
    IXL_PROFILE_SEP_LET = 4,             // boolean
    IXL_PROFILE_WORD_SEGM = 5,           // boolean
    IXL_PROFILE_WORD_MULTI_LINE = 6,     // boolean
    IXL_PROFILE_ADD_SPACE_AFTER = 7,     // boolean
    IXL_PROFILE_ENABLE_GATE = 8,         // boolean
    IXL_PROFILE_REC_TIMEOUT = 9,         // integer
    IXL_PROFILE_USER_DICTS = 10,         // string list
    IXL_PROFILE_PRELOAD_CONTEXT = 11,    // boolean
    IXL_PROFILE_USE_REC_CTX_FROM = 12,   // string ("useRecCtxFromProfile")
    IXL_PROFILE_ONLY_FOR_LANGUAGE = 13,  // string (a pattern or a list of patterns)
    IXL_PROFILE_DEFAULT = 14,            // boolean
    IXL_PROFILE_LEX_GEN_STANDARD = 15,   // boolean
    IXL_PROFILE_DESCRIPTION = 16,        // string
    IXL_PROFILE_CAPITALIZATION = 17,     // enumeration IxlCapitalization
    IXL_PROFILE_SOFT_BREAKS_ONLY = 18,   // boolean
    IXL_PROFILE_ATTR_SLOTS = 19,         // table size for fillPlainElemAttrTable
};
enum IxlCapitalization { IXL_CAPS_ALL = 0, IXL_CAPS_FIRST = 1, IXL_CAPS_NONE = 2 };

// One entry of a schema table: an element {name, id} (type 0), followed by its
// attributes {name, id, type, enumeration words}; an attribute with an empty
// name stands for the element's text; an element with an empty name ends the table.
struct IxlSchemaEntry {
    const xchar* name;
    int id;
    int type;
    const xchar* words;  // "a,b,c" for an enumeration
};

extern const IxlSchemaEntry kIxlMacroSchema[];
extern const IxlSchemaEntry kIxlProfileSchema[];

// The schema as maps: element name -> {id, attribute name -> {id, type, words}}.
class IxlIndexer {
  public:
    struct Attr {
        int id = -1;
        int type = 0;
        std::map<XString, int> words;  // enumeration word -> number
    };
    struct Element {
        int id = -1;
        std::map<XString, Attr> attributes;
        bool hasText = false;
        Attr text;
    };

    explicit IxlIndexer(const IxlSchemaEntry* table);
    virtual ~IxlIndexer();

    const Element* element(const XString& name) const;
    // The attribute with that id of any element (null when unknown).
    const XString* attributeName(int elementId, int attrId) const;
    // Trace of the metadata ("IxlIndexer MetaData:").
    void dump() const;

  private:
    std::map<XString, Element> m_elements;
};

// One typed value.
class CIxlAttr {
  public:
    CIxlAttr() = default;
    virtual ~CIxlAttr();

    int id() const { return m_id; }
    int type() const { return m_type; }
    int intValue() const { return m_int; }          // IXLVAL_INT, IXLVAL_ENUM, IXLVAL_BOOL (0/1)
    const XString& text() const { return m_text; }  // IXLVAL_STR
    const std::vector<XString>& list() const { return m_list; }  // IXLVAL_ARRSTR

    void setInt(int id, int type, int value);
    void setText(int id, XString text);
    void setList(int id, std::vector<XString> list);

  private:
    int m_id = -1;
    int m_type = 0;
    int m_int = 0;
    XString m_text;
    std::vector<XString> m_list;
};

// A record per element: its id, its values in attribute-name order (the
// element text's value last) and its child records in document order.
struct IxlRecord {
    int id = -1;
    std::vector<std::unique_ptr<CIxlAttr>> attrs;
    std::vector<IxlRecord*> children;  // owned

    IxlRecord() = default;
    IxlRecord(const IxlRecord&) = delete;
    IxlRecord& operator=(const IxlRecord&) = delete;
    ~IxlRecord();  // deletes the subtree without recursion
};

// Builds the record tree of an element. Elements the schema does not know are
// left out with their subtrees; null when the root itself is unknown.
std::unique_ptr<IxlRecord> ixlBuildRecords(const IxlIndexer& indexer, const CXMLElement& root);

// Splits a text into tokens between separator characters. Runs of separators
// give no empty tokens; a separator written twice in a row stands for one
// literal separator inside a token ("||" in a name list is a "|" in a name);
// each token is trimmed of white space after it is cut. True when there is at
// least one token.
bool splitTokens(const XString& text, std::vector<XString>& out, const xchar* separators);
