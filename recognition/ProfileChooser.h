// The profile chooser of the recognizer manager: the pending profile choice
// (set by the macro commands and by the lookup for the focused field) and the
// lookup of the profile bound to a window.
//
// A window names its profile through the window property
// "ScribixRecProfileProperty" (a global atom holding the profile's name); the
// program only reads it. Profiles bound to applications and fields by the
// binding file come from the binding tree, which this chooser does not hold
// yet: such a lookup finds nothing, so the caller takes its default profile.
//
// Threads: the recognition thread takes and sets the choice while the UI
// thread clears it (foreground changes, new results): the choice is guarded by
// its own lock.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>

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

  private:
    mutable std::mutex lock_;
    std::wstring choice_;
    int scope_ = PROFILE_SCOPE_ONCE;
};

// The profile named by `window`'s property "ScribixRecProfileProperty";
// false when the window has none or the name is empty.
bool getWindowProfileProperty(HWND window, std::wstring& name);
