#include "KeyboardOutput.h"

#include <cwchar>
#include <cwctype>

#include "RecResult.h"
#include "core/Settings.h"
#include "core/SyntheticInput.h"

namespace {

struct TypingState {
    int lastTypedLength = 0;
    bool capsLockOn = false;
    DWORD specialKeyDelay = 0;
    bool scanCodesKnown = false;
    BYTE shiftScan = 0;
    BYTE ctrlScan = 0;
};

TypingState g_typing;
KeyboardDevice g_systemKeyboard;
KeyboardDevice* g_keyboard = &g_systemKeyboard;

// Every key the typing sends goes through these two, so that the tick of the
// program's own last input is known to whoever judges the user's idleness.
void sendKey(BYTE virtualKey, BYTE scan, DWORD flags) {
    g_keyboard->keyEvent(virtualKey, scan, flags);
    noteSyntheticInputTick(GetTickCount());
}

void sendChar(wchar_t ch) {
    g_keyboard->unicodeChar(ch);
    noteSyntheticInputTick(GetTickCount());
}

void lookUpModifierScanCodes() {
    if (g_typing.scanCodesKnown) return;
    g_typing.shiftScan = g_keyboard->scanCode(VK_SHIFT, nullptr);
    g_typing.ctrlScan = g_keyboard->scanCode(VK_CONTROL, nullptr);
    g_typing.scanCodesKnown = true;
}

void pressAndRelease(BYTE virtualKey, BYTE scan) {
    sendKey(virtualKey, scan, 0);
    sendKey(virtualKey, scan, KEYEVENTF_KEYUP);
}

void pressKey(BYTE virtualKey, HKL layout) {
    pressAndRelease(virtualKey, g_keyboard->scanCode(virtualKey, layout));
}

// Caps Lock as the target will apply it: the toggle state, inverted when the
// key was pressed since the last query (this thread's view may lag behind).
bool readCapsLock() {
    bool on = g_keyboard->capsLockToggled();
    if (g_keyboard->capsLockPressedSinceLastQuery()) on = !on;
    return on;
}

// A character the layout has no plain key for. It goes as a Unicode key event
// on purpose, not as Alt with decimal keypad codes: those go through the
// target's ANSI code page and give the wrong character above 255 in plain
// edit controls, and where no keypad translation runs they type nothing; a
// Unicode key event arrives as it is.
void typeUnicode(UINT code) {
    if (code > 0xFFFF && code <= 0x10FFFF) {
        code -= 0x10000;
        sendChar(static_cast<wchar_t>(0xD800 + (code >> 10)));
        sendChar(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
        return;
    }
    sendChar(static_cast<wchar_t>(code));
}

bool classIs(const wchar_t* name, const wchar_t* expected) { return wcscmp(name, expected) == 0; }

bool isEditingCode(wchar_t code) {
    return code == TYPE_REPLACE_OR_UNDO || code == TYPE_COPY || code == TYPE_CUT ||
           code == TYPE_PASTE || code == TYPE_BACKSPACE;
}

}  // namespace

SHORT KeyboardDevice::keyForChar(wchar_t ch, HKL layout) {
    return layout ? VkKeyScanExW(ch, layout) : VkKeyScanW(ch);
}

BYTE KeyboardDevice::scanCode(BYTE virtualKey, HKL layout) {
    return static_cast<BYTE>(layout ? MapVirtualKeyExW(virtualKey, MAPVK_VK_TO_VSC, layout)
                                    : MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC));
}

void KeyboardDevice::keyEvent(BYTE virtualKey, BYTE scan, DWORD flags) {
    keybd_event(virtualKey, scan, flags, 0);
}

void KeyboardDevice::unicodeChar(wchar_t ch) {
    INPUT inputs[2] = {};
    for (int i = 0; i < 2; ++i) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wScan = ch;
        inputs[i].ki.dwFlags = KEYEVENTF_UNICODE | (i ? KEYEVENTF_KEYUP : 0);
    }
    SendInput(2, inputs, sizeof(INPUT));
}

bool KeyboardDevice::capsLockToggled() { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

bool KeyboardDevice::capsLockPressedSinceLastQuery() {
    return (GetAsyncKeyState(VK_CAPITAL) & 1) != 0;
}

void KeyboardDevice::pause(DWORD ms) { Sleep(ms); }

KeyboardDevice& keyboardDevice() { return *g_keyboard; }

KeyboardDevice* setKeyboardDevice(KeyboardDevice* device) {
    KeyboardDevice* previous = g_keyboard == &g_systemKeyboard ? nullptr : g_keyboard;
    g_keyboard = device ? device : &g_systemKeyboard;
    g_typing.scanCodesKnown = false;  // a new device answers for itself
    return previous;
}

int getTargetInputFlags(HWND window, const wchar_t* text, bool wantSpace) {
    int flags = TARGET_BACKSPACE_REPLACE | (wantSpace ? TARGET_SPACE_AFTER : 0);
    wchar_t name[100] = {};
    if (!window || !GetClassNameW(window, name, 100)) {
        HWND foreground = GetForegroundWindow();
        if (foreground && GetClassNameW(foreground, name, 100) &&
            (classIs(name, L"TSSHELLWND") || classIs(name, L"AbiWord")))
            flags |= TARGET_SLOW;
        return flags;
    }
    if (classIs(name, L"RichEdit20W")) flags |= TARGET_LEFT_RIGHT_AFTER;
    if (classIs(name, L"EXCEL7")) flags |= TARGET_DELETE_AFTER;
    if (classIs(name, L"IHWindowClass")) flags |= TARGET_SLOW;
    // The word processor's document window replaces with Backspaces like every other.
    if (classIs(name, L"_WwG")) flags |= TARGET_BACKSPACE_REPLACE;
    return flags;
}

int characterOfPickedValue(int value) {
    if (value >= -128 && value < 0) value += 256;
    if (value < 128 || value > 255) return value;
    const char byte = static_cast<char>(value);
    wchar_t character = 0;
    if (MultiByteToWideChar(1252, 0, &byte, 1, &character, 1) != 1) return value;
    return character;
}

void typeChar(UINT code, bool keepCapsState, HKL layout) {
    switch (code) {
        case TYPE_VIRTUAL_KEY:
        case TYPE_IGNORED:
            return;
        case TYPE_REPLACE_OR_UNDO:
            pressWithCtrl('Z', 0);
            return;
        case TYPE_COPY:
            pressWithCtrl('C', 0);
            return;
        case TYPE_CUT:
            pressWithCtrl('X', 0);
            return;
        case TYPE_PASTE:
            pressWithCtrl('V', 0);
            return;
        default:
            break;
    }
    lookUpModifierScanCodes();
    if (!keepCapsState) g_typing.capsLockOn = g_keyboard->capsLockToggled();

    SHORT key = code <= 0xFFFF ? g_keyboard->keyForChar(static_cast<wchar_t>(code), layout) : -1;
    if (key == -1 || (HIBYTE(key) & 6) != 0) {  // no key, or only with Ctrl or Alt (AltGr)
        typeUnicode(code);
        return;
    }
    bool shift = (HIBYTE(key) & 1) != 0;
    if (g_typing.capsLockOn && iswalpha(static_cast<wint_t>(code))) shift = !shift;
    const DWORD delay = g_typing.specialKeyDelay;
    if (shift) {
        sendKey(VK_SHIFT, g_typing.shiftScan, 0);
        if (delay) g_keyboard->pause(delay);
    }
    pressKey(LOBYTE(key), layout);
    if (shift) sendKey(VK_SHIFT, g_typing.shiftScan, KEYEVENTF_KEYUP);
    if (delay && (shift || code == TYPE_BACKSPACE)) g_keyboard->pause(delay);
}

int typeTextToTarget(HWND window, const wchar_t* text, bool wantSpace, HKL layout) {
    if (!text || !*text) {
        g_typing.lastTypedLength = 0;
        return 0;
    }
    const size_t length = wcslen(text);
    const int flags = getTargetInputFlags(window, text, wantSpace);
    g_typing.capsLockOn = readCapsLock();
    const int delay = generalSettings().delayAfterSendSpecSymb;
    g_typing.specialKeyDelay = (flags & TARGET_SLOW) && delay > 0 ? static_cast<DWORD>(delay) : 0;

    const bool replacing = length >= 2 && text[0] == TYPE_REPLACE_OR_UNDO;
    const wchar_t* typed = replacing ? text + 1 : text;
    if (replacing)
        for (int i = 0; i < g_typing.lastTypedLength; ++i) typeChar(TYPE_BACKSPACE, true, layout);

    // What a later replacement erases: the characters that reached the field.
    // A text that edits or moves the caret leaves nothing to erase safely.
    bool editing = false;
    int inserted = 0;
    for (const wchar_t* p = typed; *p; ++p) {
        if (*p == TYPE_VIRTUAL_KEY) {
            editing = true;
            if (p[1]) {
                ++p;
                pressAndRelease(static_cast<BYTE>(*p), 0);
            }
            continue;
        }
        if (isEditingCode(*p)) editing = true;
        if (*p != TYPE_IGNORED) ++inserted;
        typeChar(*p, true, layout);
    }
    if (flags & TARGET_SPACE_AFTER) typeChar(L' ', true, layout);
    if (editing) {
        g_typing.lastTypedLength = 0;
        return 0;
    }

    g_typing.lastTypedLength = inserted;
    if (length == 1 && (text[0] == L'\r' || text[0] == L'\t')) return g_typing.lastTypedLength;
    if (flags & TARGET_SPACE_AFTER) ++g_typing.lastTypedLength;
    if (!replacing && (flags & TARGET_DELETE_AFTER)) pressKey(VK_DELETE, nullptr);
    if (flags & TARGET_LEFT_RIGHT_AFTER) {
        pressKey(VK_LEFT, nullptr);
        pressKey(VK_RIGHT, nullptr);
    }
    return g_typing.lastTypedLength;
}

void pressWithCtrl(WORD virtualKey, DWORD pauseMs) {
    lookUpModifierScanCodes();
    sendKey(VK_CONTROL, g_typing.ctrlScan, 0);
    pressKey(static_cast<BYTE>(virtualKey), nullptr);
    sendKey(VK_CONTROL, g_typing.ctrlScan, KEYEVENTF_KEYUP);
    if (pauseMs) g_keyboard->pause(pauseMs);
}

void typeCharKey(UINT code, HKL layout, bool keyOnly) {
    setCurrentRecResult(nullptr, true, true);
    if (!keyOnly) {
        typeChar(code, false, layout);
        return;
    }
    SHORT key = code <= 0xFFFF ? g_keyboard->keyForChar(static_cast<wchar_t>(code), layout) : -1;
    BYTE virtualKey;
    if (key != -1)
        virtualKey = LOBYTE(key);
    else if (code >= L'a' && code <= L'z')
        virtualKey = static_cast<BYTE>(code - L'a' + L'A');
    else if (code >= L'A' && code <= L'Z')
        virtualKey = static_cast<BYTE>(code);
    else
        return;
    pressKey(virtualKey, layout);
}

void typeVirtualKey(WORD virtualKey) {
    setCurrentRecResult(nullptr, true, true);
    pressKey(static_cast<BYTE>(virtualKey), nullptr);
}

void typeString(const wchar_t* text, HKL layout, bool keyOnly) {
    setCurrentRecResult(nullptr, true, true);
    if (!text) return;
    for (const wchar_t* p = text; *p; ++p) typeCharKey(*p, layout, keyOnly);
}

void typeBarAnswer(int value, HKL layout) {
    // The bar's signs 128-255 are code-page values (128 is the euro sign).
    value = characterOfPickedValue(value);
    if (value <= 0) return;
    if (value & 0x10000)
        typeVirtualKey(static_cast<WORD>(value & 0xFFFF));
    else if (value == 1)
        typeString(L"...", layout, false);
    else if (value == 2)
        pressWithCtrl('Z', 0);
    else if (value == 3)
        pressWithCtrl('Y', 0);
    else
        typeCharKey(static_cast<UINT>(value), layout, false);
}

void setLastTypedLength(int length) { g_typing.lastTypedLength = length; }

int getLastTypedLength() { return g_typing.lastTypedLength; }

void releaseTypingState() { g_typing = TypingState(); }

BOOL forceForegroundWindow(HWND window) {
    if (!window) return FALSE;
    if (SetForegroundWindow(window) && GetForegroundWindow() == window) return TRUE;

    // Refused: lift the foreground lock for a moment and ask again with this
    // thread's input attached to the foreground window's thread.
    DWORD lockTimeout = 0;
    SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &lockTimeout, 0);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, 0);
    HWND foreground = GetForegroundWindow();
    const DWORD self = GetCurrentThreadId();
    const DWORD other = foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
    const bool attached = other && other != self && AttachThreadInput(self, other, TRUE);
    BringWindowToTop(window);
    SetForegroundWindow(window);
    if (attached) AttachThreadInput(self, other, FALSE);
    SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                          reinterpret_cast<PVOID>(static_cast<UINT_PTR>(lockTimeout)), 0);
    if (GetForegroundWindow() == window) return TRUE;

    using SwitchToThisWindowFn = void(WINAPI*)(HWND, BOOL);
    if (HMODULE user32 = GetModuleHandleW(L"user32")) {
        auto switchTo = reinterpret_cast<SwitchToThisWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, "SwitchToThisWindow")));
        if (switchTo) switchTo(window, TRUE);
    }
    return GetForegroundWindow() == window;
}
