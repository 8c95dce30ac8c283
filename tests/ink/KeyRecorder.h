// A keyboard that records what typing sends instead of sending it, over a
// small US-like layout, so tests can compare the key strokes as text:
//   "+A" / "-A"  key A down / up (modifiers by name: Shift, Ctrl, Alt)
//   "U+20AC"     a Unicode key event (down and up)
//   "pause:10"   a wait
#pragma once

#include <windows.h>

#include <string>

#include "ink/KeyboardOutput.h"

namespace typingtest {

// Layouts the recorder knows besides the default one.
inline HKL germanLayout() { return reinterpret_cast<HKL>(static_cast<UINT_PTR>(0x04070407)); }
inline HKL cyrillicLayout() { return reinterpret_cast<HKL>(static_cast<UINT_PTR>(0x04190419)); }

class KeyRecorder : public KeyboardDevice {
  public:
    KeyRecorder() { previous_ = setKeyboardDevice(this); }
    ~KeyRecorder() override { setKeyboardDevice(previous_); }
    KeyRecorder(const KeyRecorder&) = delete;
    KeyRecorder& operator=(const KeyRecorder&) = delete;

    SHORT keyForChar(wchar_t ch, HKL layout) override {
        lastLayout = layout;
        if (layout == cyrillicLayout()) {
            if (ch == 0x0436) return ';';  // the key of "zh" on that layout
            if ((ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z')) return -1;
        }
        if (layout == germanLayout() && ch == 0x20AC) return 0x0600 | 'E';  // AltGr+E
        if (ch >= L'a' && ch <= L'z') return static_cast<SHORT>(ch - L'a' + L'A');
        if (ch >= L'A' && ch <= L'Z') return static_cast<SHORT>(0x100 | ch);
        if (ch >= L'0' && ch <= L'9') return static_cast<SHORT>(ch);
        switch (ch) {
            case L' ':
                return VK_SPACE;
            case L'!':
                return 0x100 | '1';
            case L',':
                return VK_OEM_COMMA;
            case L'.':
                return VK_OEM_PERIOD;
            case L'\b':
                return VK_BACK;
            case L'\r':
                return VK_RETURN;
            case L'\t':
                return VK_TAB;
            case 1:
                return 0x200 | 'A';  // Ctrl+A, as the system answers for code 1
            default:
                return -1;
        }
    }
    BYTE scanCode(BYTE virtualKey, HKL) override {
        return static_cast<BYTE>(virtualKey == 0xFF ? 1 : virtualKey + 1);
    }
    void keyEvent(BYTE virtualKey, BYTE scan, DWORD flags) override {
        add(std::string(flags & KEYEVENTF_KEYUP ? "-" : "+") + keyName(virtualKey));
        if (scan != 0 && scan != static_cast<BYTE>(virtualKey + 1)) badScanCodes = true;
        if (scan == 0) rawKeys += keyName(virtualKey) + " ";
    }
    void unicodeChar(wchar_t ch) override {
        char text[16];
        wsprintfA(text, "U+%04X", static_cast<unsigned>(ch));
        add(text);
    }
    bool capsLockToggled() override { return capsToggled; }
    bool capsLockPressedSinceLastQuery() override { return capsPressed; }
    void pause(DWORD ms) override { add("pause:" + std::to_string(ms)); }

    static std::string keyName(BYTE virtualKey) {
        switch (virtualKey) {
            case VK_SHIFT:
                return "Shift";
            case VK_CONTROL:
                return "Ctrl";
            case VK_MENU:
                return "Alt";
            case VK_BACK:
                return "Back";
            case VK_RETURN:
                return "Return";
            case VK_TAB:
                return "Tab";
            case VK_SPACE:
                return "Space";
            case VK_LEFT:
                return "Left";
            case VK_RIGHT:
                return "Right";
            case VK_DELETE:
                return "Delete";
            case VK_OEM_COMMA:
                return "Comma";
            case VK_OEM_PERIOD:
                return "Period";
            case VK_F5:
                return "F5";
            case ';':
                return ";";
            default:
                break;
        }
        if ((virtualKey >= 'A' && virtualKey <= 'Z') || (virtualKey >= '0' && virtualKey <= '9'))
            return std::string(1, static_cast<char>(virtualKey));
        if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
            return "Num" + std::to_string(virtualKey - VK_NUMPAD0);
        char text[8];
        wsprintfA(text, "#%02X", virtualKey);
        return text;
    }

    void clear() {
        log.clear();
        rawKeys.clear();
        badScanCodes = false;
    }

    std::string log;      // the events, separated by blanks
    std::string rawKeys;  // keys sent without a scan code
    bool badScanCodes = false;
    bool capsToggled = false;
    bool capsPressed = false;
    HKL lastLayout = nullptr;

  private:
    void add(const std::string& event) {
        if (!log.empty()) log += ' ';
        log += event;
    }
    KeyboardDevice* previous_;
};

}  // namespace typingtest
