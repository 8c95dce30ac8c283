// Keyboard simulation and text output: the only way text leaves the program.
//
// Recognized text reaches the application under the pen as synthetic
// keystrokes into its focused window, adapted to a few known window classes.
// Characters that the keyboard layout has a plain key for (with or without
// Shift) are typed with that key, so the target sees ordinary key presses;
// every other character goes as a Unicode key event. The length of the last
// insertion is kept so that the next text can replace it.
//
// Control codes inside a text to type:
//   3   first of a text of two or more characters: replace the last insertion
//       first; alone: Ctrl+Z
//   4, 5, 6   Ctrl+C, Ctrl+X, Ctrl+V
//   7   the next character is a virtual-key code, pressed and released directly
//   8   Backspace (typed like any character)
//   10  ignored
//
// The typing state (last insertion, Caps Lock, delays) is process-wide and not
// locked: the recognition thread, the ink-blot client and the UI thread type,
// one at a time as the user works.
#pragma once

#include <windows.h>

// Target flags (getTargetInputFlags).
enum TargetInputFlag : int {
    TARGET_LEFT_RIGHT_AFTER = 2,   // press Left then Right after typing
    TARGET_BACKSPACE_REPLACE = 4,  // the last insertion is replaced with Backspaces
    TARGET_SPACE_AFTER = 16,       // a space follows the text
    TARGET_DELETE_AFTER = 32,      // press Delete after typing (not when replacing)
    TARGET_SLOW = 64,              // wait around keys that need Shift and after Backspace
};

// The control codes of a text to type.
enum TypingCode : wchar_t {
    TYPE_REPLACE_OR_UNDO = 3,
    TYPE_COPY = 4,
    TYPE_CUT = 5,
    TYPE_PASTE = 6,
    TYPE_VIRTUAL_KEY = 7,
    TYPE_BACKSPACE = 8,
    TYPE_IGNORED = 10,
};

// The platform's keyboard as typing uses it: key lookup per layout and event
// injection. By default the calls go to the system; tests put a recorder in
// its place.
class KeyboardDevice {
  public:
    virtual ~KeyboardDevice() = default;

    // The key (low byte) and shift state (high byte: 1 Shift, 2 Ctrl, 4 Alt)
    // that produce `ch` under `layout` (0: this thread's layout); -1 when none.
    virtual SHORT keyForChar(wchar_t ch, HKL layout);
    // The scan code of a virtual key under `layout` (0: this thread's layout).
    virtual BYTE scanCode(BYTE virtualKey, HKL layout);
    // One key event (flags: KEYEVENTF_KEYUP...).
    virtual void keyEvent(BYTE virtualKey, BYTE scan, DWORD flags);
    // A character as a Unicode key event, down and up.
    virtual void unicodeChar(wchar_t ch);
    // Toggle state of Caps Lock as this thread sees it.
    virtual bool capsLockToggled();
    // Whether Caps Lock was pressed since the last query.
    virtual bool capsLockPressedSinceLastQuery();
    virtual void pause(DWORD ms);
};

// The device in use: the system's unless a test has set another.
KeyboardDevice& keyboardDevice();
// Puts `device` in place (null: the system's again); returns the one it replaces.
KeyboardDevice* setKeyboardDevice(KeyboardDevice* device);

// The flags for typing `text` into `window`, by its class (exact, case-sensitive):
// "RichEdit20W" 2, "EXCEL7" 32, "IHWindowClass" 64, always 4, 16 with wantSpace.
// Without a window, or when its class cannot be read, only the foreground
// window's class decides: "TSSHELLWND" and "AbiWord" add 64.
int getTargetInputFlags(HWND window, const wchar_t* text, bool wantSpace);

// Types `text` into the focused window (which `window` names, for its class)
// and returns the number of characters that a following replacement erases:
// the new length of the last insertion, 0 for an empty text or one with
// control codes. `layout` is the keyboard layout of the target (0: this
// thread's).
int typeTextToTarget(HWND window, const wchar_t* text, bool wantSpace, HKL layout);

// The character a value picked on the punctuation bar stands for. The bar's
// symbols are characters of the Western code page (1252), in which 128 is the
// euro sign: a value of 128 to 255, or -128 to -1 (the same byte taken
// signed), is that code page's character; any other value is left as it is.
// (Typed as Alt with keypad codes, the code page did this mapping; typed as
// Unicode, 128 would be a control character.)
int characterOfPickedValue(int value);

// One character or control code. Without keepCapsState Caps Lock is read anew.
void typeChar(UINT code, bool keepCapsState, HKL layout);

// Ctrl down, the key down and up, Ctrl up; then sleeps `pauseMs` when non-zero.
void pressWithCtrl(WORD virtualKey, DWORD pauseMs);

// For the macro player and the command handlers; each clears the current
// recognition result first (keeping the restorable one).
// typeCharKey: `typeChar`, or with keyOnly the key that produces the character
// without any modifier (a letter the layout lacks: its upper-case letter's key;
// any other character without a key is dropped).
void typeCharKey(UINT code, HKL layout, bool keyOnly);
// The virtual key down and up, with its scan code.
void typeVirtualKey(WORD virtualKey);
// `typeCharKey` for each character.
void typeString(const wchar_t* text, HKL layout, bool keyOnly);
// A punctuation bar's answer typed as what it is: a keyboard key (its virtual
// key plus 0x10000), "..." (1), undo (2, Ctrl+Z), redo (3, Ctrl+Y), or a
// character (128-255 and -128..-1 are code-page values: 128 is the euro sign).
// 0 types nothing.
void typeBarAnswer(int value, HKL layout);

// The length of the last insertion (a restored result gives its own back).
void setLastTypedLength(int length);
int getLastTypedLength();

// Forgets the typing state (shut-down).
void releaseTypingState();

// Brings `window` to the foreground, also past the system's foreground lock;
// non-zero when it became the foreground window.
BOOL forceForegroundWindow(HWND window);
