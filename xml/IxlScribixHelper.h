// IxlScribixHelper: one macro or profiles document with its typed record tree.
//
// The profile and macro code and their editors hold one of these:
//   IxlScribixHelper macros(IXL_KIND_MACRO);
//   macros.load(path);                 // the document and its typed records
//   size_t size = macros.packPlain(nullptr, 0);
//   std::vector<uint8_t> blob(size);
//   macros.packPlain(blob.data(), blob.size());   // walk it with PlainElem.h
// Editors load with domOnly, change items through CLiteElem, and save().
// A path that does not exist gives an empty document of the kind's root, which
// save() then writes as a new file.
#pragma once

#include <memory>
#include <vector>

#include "xml/IxlSchema.h"
#include "xml/LiteDom.h"
#include "xml/PlainElem.h"

class IxlScribixHelper {
  public:
    IxlScribixHelper();
    explicit IxlScribixHelper(int kind);
    virtual ~IxlScribixHelper();
    IxlScribixHelper(const IxlScribixHelper&) = delete;
    IxlScribixHelper& operator=(const IxlScribixHelper&) = delete;

    // IXL_KIND_MACRO: root "macroses", items "macro", key "name";
    // IXL_KIND_PROFILE: "profiles", "profile", "name"; any other kind clears the
    // schema and returns false. Clears the loaded flag.
    bool setKind(int kind);
    int kind() const { return m_kind; }

    // Loads the file; with domOnly only the document (what the editors use),
    // otherwise also the typed record tree. False without a kind, for an
    // existing file that does not load, or when the records cannot be built.
    bool load(const xchar* path, bool domOnly = false);
    bool isLoaded() const { return m_loaded; }

    // The PlainElem blob of the record tree: its size, 0 on failure; with a null
    // buffer only the size. A second call with a buffer of that size fills it exactly.
    size_t packPlain(void* buffer, size_t capacity) const;

    // Appends an owned element to the root; removes a child element of the root
    // (the ownership rules of CLiteElem).
    bool appendItem(CLiteElem& element);
    bool removeItem(CLiteElem& element);
    // The first item element of the root that carries the key attribute.
    bool getFirstItem(CLiteElem& out) const;
    // True when nothing is loaded or there is no such first item.
    bool isEmpty() const;
    // The item element whose key attribute equals the name (case-sensitive).
    bool findItemByName(CLiteElem& out, LiteText name) const;
    // The "name" of every "macro" child of the root, in document order.
    bool getMacroNames(std::vector<XString>& names) const;
    // Saves to the path given at load (TAB indentation, CRLF).
    bool save();

    CLiteDom& dom() { return m_dom; }
    const CLiteDom& dom() const { return m_dom; }
    const XString& path() const { return m_path; }
    const IxlRecord* records() const { return m_records.get(); }
    const IxlIndexer* indexer() const { return m_indexer.get(); }
    const xchar* rootName() const { return m_rootName; }
    const xchar* itemName() const { return m_itemName; }
    const xchar* keyName() const { return m_keyName; }

    // Traces of the typed values and a copy of the records as "child" elements
    // (debugging aids).
    void dumpValues() const;
    CXMLElement* recordsAsElements() const;

  private:
    int m_kind = IXL_KIND_NONE;
    const IxlSchemaEntry* m_schema = nullptr;
    const xchar* m_rootName = nullptr;
    const xchar* m_itemName = nullptr;
    const xchar* m_keyName = nullptr;
    bool m_loaded = false;
    XString m_path;
    CLiteDom m_dom;
    std::unique_ptr<IxlIndexer> m_indexer;
    std::unique_ptr<IxlRecord> m_records;
};

// Reads a whole file: returns its size (0 when it cannot be opened); with a
// buffer, the file is read into it when it fits, else (or when the read fails) 0.
size_t readFileToBuffer(const xchar* path, void* buffer, size_t capacity);

// A text wrapped in stars ("*%s*"): the pattern that finds it anywhere.
XString ixlStarred(const xchar* text);
