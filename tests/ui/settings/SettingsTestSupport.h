// What the settings dialog tests share: settings of their own, the user's
// answers to message boxes, xdotool clicks and keys, and the tab control.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include "core/AppGlobals.h"
#include "core/Settings.h"
#include "tests/support/HostShell.h"
#include "ui/settings/SettingsMessages.h"

namespace st {

// One message box as the dialogs showed it.
struct Shown {
    std::wstring text;
    std::wstring caption;
    UINT type;
};

// Points the settings at a key of the test's own and answers the message
// boxes: each answer is taken from `answers` in turn (IDOK when none is left).
class SettingsFixture {
  public:
    SettingsFixture() {
        key_ =
            L"Software\\Zorvane\\ScribixTest\\settings-" + std::to_wstring(GetCurrentProcessId());
        RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
        setSettingsRootKey(key_.c_str());
        resetSettingsToDefaults();
        // The dialogs come from the test program's own resources.
        appGlobals().instance = GetModuleHandleW(nullptr);
        setSettingsMessageSink(
            [this](HWND, const std::wstring& text, const std::wstring& caption, UINT type) {
                shown.push_back({text, caption, type});
                if (answers.empty()) return IDOK;
                const int answer = answers.front();
                answers.erase(answers.begin());
                return answer;
            });
    }
    ~SettingsFixture() {
        setSettingsMessageSink(nullptr);
        setSettingsFileSink(nullptr);
        setSettingsRootKey(nullptr);
        RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
        resetSettingsToDefaults();
    }
    std::vector<Shown> shown;
    std::vector<int> answers;

  private:
    std::wstring key_;
};

// A number stored under the test's key (or its subkey); `fallback` when missing.
inline int storedNumber(const wchar_t* subkey, const wchar_t* name, int fallback = -12345) {
    int value = fallback;
    ReadSetting(subkey, name, &value, SETTING_NUMBER, 0);
    return value;
}

inline bool xdotool(const std::string& arguments) {
    return hostshell::run("xdotool " + arguments, 10000);
}

// A left click in the middle of a control, as the user makes it.
inline bool clickControl(HWND control) {
    RECT rect = {};
    if (!GetWindowRect(control, &rect)) return false;
    const int x = (rect.left + rect.right) / 2, y = (rect.top + rect.bottom) / 2;
    return xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1");
}

// The titles of a tab control's tabs.
inline std::vector<std::wstring> tabTitles(HWND tab) {
    std::vector<std::wstring> titles;
    const int count = static_cast<int>(SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[80] = {};
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 80;
        SendMessageW(tab, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        titles.push_back(text);
    }
    return titles;
}

inline HWND tabOf(HWND dialog) { return FindWindowExW(dialog, nullptr, WC_TABCONTROLW, nullptr); }
inline int selectedTab(HWND dialog) {
    return static_cast<int>(SendMessageW(tabOf(dialog), TCM_GETCURSEL, 0, 0));
}
// The rectangle of tab `index` on the screen.
inline RECT tabRect(HWND dialog, int index) {
    RECT rect = {};
    HWND tab = tabOf(dialog);
    SendMessageW(tab, TCM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&rect));
    MapWindowPoints(tab, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
inline bool clickTab(HWND dialog, int index) {
    const RECT rect = tabRect(dialog, index);
    return xdotool("mousemove " + std::to_string((rect.left + rect.right) / 2) + " " +
                   std::to_string((rect.top + rect.bottom) / 2) + " click 1");
}

inline bool isChecked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
inline std::wstring itemText(HWND dialog, int id) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(dialog, id, text, 1024);
    return text;
}

}  // namespace st
