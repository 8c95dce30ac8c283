// One element of the accessibility tree: an accessible object and a child id
// (0 for the object itself, else a simple child of it). The 64-bit hook
// library follows the focus with it inside hooked processes, and the program
// finds the focused field of the target application with the same class.
//
// Every operation that answers false (or 0, or an empty text) leaves the
// element as it was. An element belongs to the thread that made it.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>
#include <vector>

// The interface every query asks for. Declared here rather than taken from the
// import libraries, whose copy the linker may resolve to a code thunk.
inline constexpr IID kIidAccessible = {
    0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

// The most children read from one element: the count comes from another
// process's accessibility server and must not size a list by itself.
inline constexpr LONG kMaxAccChildren = 10000;

class CAccElem {
  public:
    CAccElem() = default;
    CAccElem(IAccessible* object, LONG childId);  // takes its own reference
    CAccElem(const CAccElem& other);
    CAccElem& operator=(const CAccElem& other);
    virtual ~CAccElem();

    bool isAttached() const { return m_object != nullptr; }
    IAccessible* object() const { return m_object; }
    LONG childId() const { return m_childId; }

    // The element an accessibility event names. With `raiseReader` the
    // system's screen-reader flag is on during the call (some applications
    // build their accessible tree only for screen readers).
    bool fromEvent(HWND window, LONG objectId, LONG childId, bool raiseReader = false);
    bool fromPoint(POINT screenPoint);
    // The window's client object (`client`) or its window object.
    bool fromWindow(HWND window, bool client);
    // The focused element inside `window`, looked for through at most two
    // levels of objects. `hasFocus` tells whether any focus was reported;
    // with `fixLocationToo` an element without a location gives way to its
    // parent. True only when the element ends up attached.
    bool fromWindowFocus(HWND window, bool* hasFocus, bool fixLocationToo, bool raiseReader);

    LONG getRole() const;
    LONG getRoleText(std::wstring* text) const;
    LONG getState() const;
    LONG getStateText(std::wstring* text) const;
    // The name with no-break spaces as blanks, trimmed at both ends.
    bool getName(std::wstring* name) const;
    bool getParent(CAccElem* parent) const;
    bool hasParent() const;
    // Screen rectangle; with `clip`, cut to the element's window, and an empty
    // cut answers false.
    bool getLocation(RECT* rect, bool clip = false) const;
    void fixLocation();
    LONG getChildCount() const;
    // Appends the children; returns the size of the vector afterwards (0 when
    // there are none, without touching it).
    int getChildren(std::vector<CAccElem>* children) const;
    bool getWindow(HWND* window) const;
    // The outermost list of an unbroken chain of list and list-item ancestors.
    bool findEnclosingList(CAccElem* list) const;

    void clear();

  private:
    void attach(IAccessible* object, LONG childId);  // takes over `object`'s reference
    bool takeAnswer(HRESULT hr, IAccessible* object, VARIANT* child);
    VARIANT self() const;

    IAccessible* m_object = nullptr;
    LONG m_childId = CHILDID_SELF;
};

// Roles, states and object ids the system reads off elements.
enum : LONG {
    kRoleCaret = 7,         // ROLE_SYSTEM_CARET
    kRoleClient = 10,       // ROLE_SYSTEM_CLIENT
    kRoleDocument = 15,     // ROLE_SYSTEM_DOCUMENT
    kRoleList = 33,         // ROLE_SYSTEM_LIST
    kRoleListItem = 34,     // ROLE_SYSTEM_LISTITEM
    kRoleIndicator = 39,    // ROLE_SYSTEM_INDICATOR
    kRoleText = 42,         // ROLE_SYSTEM_TEXT
    kRolePushButton = 43,   // ROLE_SYSTEM_PUSHBUTTON
    kRoleComboBox = 46,     // ROLE_SYSTEM_COMBOBOX
    kStateReadOnly = 0x40,  // STATE_SYSTEM_READONLY
};
