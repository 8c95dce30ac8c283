// Bindings of recognition profiles to applications, to their dialogs and web
// documents, and to single input fields in them.
//
// The tree: executable name (lower case) -> contexts (a kind of window and a
// document name) -> bind records describing accessible elements by role,
// name, position, control id and the chain of roles above them. It is kept in
// "binding.xml" in the user's data folder:
//
//   <bindings>
//     <module name="notepad.exe">
//       <context doc="Save As" type="Dialog">
//         <bind name="File*" profile="Files" role="42" signature="18,10" winId="-1"/>
//
// Lookups are first-match: the first context of a type and document is the
// only one searched, and within it the first record that matches wins, so the
// order of the records is their precedence (a more specific record is
// inserted before the general one it would otherwise fall under).
#pragma once

#include <map>
#include <string>
#include <vector>

#include "core/Deletable.h"

class CLiteElem;

// The kinds of context a field lives in.
enum BindContextType {
    BIND_CONTEXT_UNKNOWN = 0,
    BIND_CONTEXT_WINAPP = 1,  // the application's main windows
    BIND_CONTEXT_DIALOG = 2,  // a dialog, by its title
    BIND_CONTEXT_WEBDOC = 3,  // a pane or document, by its name
};

// "Unknown", "WinApp", "Dialog", "WebDoc"; null for any other value.
const wchar_t* bindContextTypeName(int type);
// The type named exactly (letter case included); false for any other text.
bool parseBindContextType(const wchar_t* text, int& type);

// Compares `value` with `pattern`, case-sensitively: an empty pattern matches
// only an empty value; "*" and "**" match anything; "abc*" a value starting
// with "abc"; "*abc*" one containing it; "*abc" one ending with it; any other
// pattern only itself.
bool MatchNamePattern(const std::wstring& value, const std::wstring& pattern);

// One bind record: a stored description of an accessible element, or a
// candidate built from the focused element. A negative number in a stored
// record matches any value.
class CBindElem {
  public:
    CBindElem() = default;
    CBindElem(const CBindElem&) = default;
    CBindElem& operator=(const CBindElem&) = default;
    virtual ~CBindElem() = default;

    // This stored record against a candidate: role, id, pos and winId (each
    // when not negative), then the candidate's signature and name against
    // this record's patterns.
    bool matches(const CBindElem& candidate) const;
    // The fields that identify a record in its context: role, id, pos, winId,
    // signature and name (strings exactly).
    bool sameElement(const CBindElem& other) const;
    // Every field equal.
    bool operator==(const CBindElem& other) const;
    bool operator!=(const CBindElem& other) const { return !(*this == other); }
    void clear() { *this = CBindElem(); }

    std::wstring name;         // pattern for the accessible name
    std::wstring description;  // free text
    int role = 0;              // accessible role
    int id = 0;
    int pos = 0;             // accessible child id
    int winId = 0;           // control id of the element's window when it has no name, else -1
    std::wstring signature;  // roles above the element, outermost first, "9,10"
    int checkLevel = 0;      // stored and copied only
    std::wstring profile;    // the bound profile; empty means "unbind"
};

class CBindContext {
  public:
    int type = BIND_CONTEXT_UNKNOWN;
    std::wstring doc;  // the dialog's or document's name; empty for WinApp
    std::vector<CBindElem> binds;

    // The first record matching `candidate`; null when none does.
    const CBindElem* findMatch(const CBindElem& candidate) const;
};

class CBindModule {
  public:
    virtual ~CBindModule() = default;

    // The first context of that type and document (exact compare).
    CBindContext* findContext(int type, const std::wstring& doc);
    const CBindContext* findContext(int type, const std::wstring& doc) const;

    std::wstring name;  // the executable's file name
    std::vector<CBindContext> contexts;
};

class CBindTree {
  public:
    virtual ~CBindTree() = default;

    // The first context of `module` (lower-cased here) with that type and doc.
    const CBindContext* findContext(const std::wstring& module, int type,
                                    const std::wstring& doc) const;
    // The record bound to `candidate` in that context, copied to `found`.
    bool findBinding(const std::wstring& module, int type, const std::wstring& doc,
                     const CBindElem& candidate, CBindElem& found) const;
    // Adds, replaces or (with an empty profile) removes the record. True
    // unless the module name is empty.
    bool setBinding(const std::wstring& module, int type, const std::wstring& doc,
                    const CBindElem& record);

    // Replaces the modules by the ones under `root` ("bindings"); a context of
    // an unknown type is skipped, a second module of one name replaces the
    // contexts of the first.
    void readFrom(const CLiteElem& root);
    // Appends the "module" elements to `root`.
    bool writeTo(CLiteElem& root) const;

    bool empty() const { return modules.empty(); }
    void clear() { modules.clear(); }

    std::map<std::wstring, CBindModule> modules;  // keyed by name, ordinal compare
    std::wstring path;                            // the binding file
};

// The lower-case form of an executable's name, as the tree keys it.
std::wstring bindModuleKey(const std::wstring& module);
// The file name of a module path ("C:\\Apps\\Edit.EXE" -> "Edit.EXE").
std::wstring moduleFileName(const std::wstring& path);

// A snapshot of the binding of one field, attached to a sticker so that the
// binding menus know which record a sticker stands for, and compared so that
// unchanged stickers are kept when the marks are rebuilt.
class CBindingInfo : public CDeletableByPtr {
    VEXA_CLASS(CBindingInfo, CDeletableByPtr)

  public:
    CBindingInfo();
    CBindingInfo(const std::wstring& module, int type, const std::wstring& doc,
                 const CBindElem& record);
    ~CBindingInfo() override = default;

    virtual bool equals(const CBindingInfo& other) const;
    // A new object with state 1 and the same fields; the caller owns it.
    virtual CBindingInfo* clone() const;
    // Module and doc empty, type -1, the record emptied with winId -1.
    void reset();

    int state = 1;
    std::wstring module;
    int type = -1;
    std::wstring doc;
    CBindElem elem;
};
