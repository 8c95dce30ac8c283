// The profile chooser of the recognizer manager: the pending profile choice
// (set by the macro commands and by the lookup for the focused field) and the
// lookup of the profile bound to a window.
//
// A window names its profile through the window property
// "ScribixRecProfileProperty" (a global atom holding the profile's name); the
// program only reads it. Profiles bound to applications and fields come from
// the binding tree of "binding.xml", which the chooser owns.
//
// Threads: the recognition thread takes and sets the choice while the UI
// thread clears it (foreground changes, new results): the choice is guarded by
// its own lock. The binding tree is read by the recognition thread and the
// binding thread while the binding menus change it on the UI thread: it has a
// reader-writer lock of its own, and readers get copies, never references.
#pragma once

#include <windows.h>

#include <mutex>
#include <shared_mutex>  // std::shared_lock
#include <string>

#include "recognition/Binding.h"
#include "win/SharedLock.h"

class CAccElem;

// How long a pending choice lasts.
enum ProfileChoiceScope {
    PROFILE_SCOPE_ONCE = 0,    // the next recognition only
    PROFILE_SCOPE_FOCUS = 1,   // until the foreground window changes
    PROFILE_SCOPE_ALWAYS = 2,  // until cleared
};

class CProfileChooser {
  public:
    // The name of the window property that names a window's profile.
    static const wchar_t* const kWindowProperty;  // "ScribixRecProfileProperty"
    // The most characters of a profile name read from the property's atom.
    static constexpr int kMaxPropertyName = 128;

    // Makes `name` the pending choice; a negative scope takes the setting
    // "useProfileScope".
    void setChoice(const wchar_t* name, int scope);
    bool isSet() const;
    // The pending choice's name; false (and `name` emptied) when there is none.
    // A consuming take of a choice of scope Once clears it.
    bool take(std::wstring& name, bool consume);
    // A negative level always clears; otherwise the choice goes only when its
    // scope is not above the level.
    void clear(int level);

    // The profile bound to `window`: its window property, then (while the
    // setting "useContextReco" is on) the binding tree. With `skip`, or
    // without a window, nothing is found. `area`, when given, receives the
    // bound field's rectangle (the window's, for the property).
    bool findBoundProfile(HWND window, RECT* area, bool skip, std::wstring& name) const;
    // Looks `window` up and makes a found profile the pending choice (scope
    // Once); true when one was found.
    bool chooseForWindow(HWND window, RECT* area, bool skip);
    // The profile bound to `window` when the module of the current language
    // has it (the label the binding marks show); false otherwise.
    bool findBoundProfileChecked(HWND window, std::wstring& name) const;

    // --- The binding tree and "binding.xml" ---
    // A non-empty path is remembered; an empty one takes the remembered path
    // (none: false). A file that cannot be read or has another root leaves
    // the tree as it was.
    bool loadBindings(const std::wstring& path);
    // Writes the tree to the file in one step: a failed save leaves the old
    // file whole.
    bool saveBindings(const std::wstring& path);
    // At start: `folder`\binding.xml is loaded, or written empty when missing.
    bool initBindings(const std::wstring& folder);
    std::wstring bindingsPath() const;

    bool findBinding(const std::wstring& module, int type, const std::wstring& doc,
                     const CBindElem& candidate, CBindElem& found) const;
    bool setBinding(const std::wstring& module, int type, const std::wstring& doc,
                    const CBindElem& record);
    // A copy of the first context of that module, type and doc.
    bool copyContext(const std::wstring& module, int type, const std::wstring& doc,
                     CBindContext& context) const;
    // A copy of the whole tree, and its replacement (the binding panel edits a copy).
    CBindTree bindTree() const;
    void setBindTree(const CBindTree& tree);

    // Where the focused element of a window comes from; tests put fake
    // accessible trees in its place. Null: the hook library's last focused
    // element, else the window's own focus.
    using ElementSource = bool (*)(HWND window, CAccElem& element);
    static void setElementSource(ElementSource source);
    static bool focusedElementOf(HWND window, CAccElem& element);

  private:
    mutable std::mutex lock_;
    std::wstring choice_;
    int scope_ = PROFILE_SCOPE_ONCE;

    mutable win::SharedLock treeLock_;
    CBindTree tree_;
};

// The profile for the next recognition in `window` (null: the hook library's
// last focus window): the pending choice (consumed with `consume` when its
// scope is Once), else the bound profile, looked up only when `selection` is
// set or the window holds no short partial selection (`hasShortSelection`
// tells; null: none). True when a profile was found, `name` names it.
bool getProfileForWindow(HWND window, std::wstring& name, bool consume, bool selection,
                         bool (*hasShortSelection)(HWND window) = nullptr);

// The profile named by `window`'s property "ScribixRecProfileProperty";
// false when the window has none or the name is empty.
bool getWindowProfileProperty(HWND window, std::wstring& name);
