// The base of the settings pages: the page protocol of SettingsHost.h turned
// into member calls, and small helpers for their controls.
#pragma once

#include <windows.h>

#include <string>

#include "win/Checks.h"

class SettingsPage {
  public:
    virtual ~SettingsPage() = default;

    // The dialog procedure of a page class: makes the object on
    // WM_INITDIALOG, deletes it when the window goes.
    template <typename Page>
    static INT_PTR CALLBACK procedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) return start(new Page(), page, lParam);
        return dispatch(page, message, wParam, lParam);
    }

  protected:
    HWND hwnd() const { return hwnd_; }
    // Loads the controls from the settings in memory (opening and Reset).
    virtual void load() = 0;
    // Copies the controls into the settings in memory; false refuses.
    virtual bool apply(bool ok) { return true; }
    virtual void cancel() {}
    // A control's command; true when handled.
    virtual bool onControl(WORD id, WORD code, HWND control) { return false; }
    // Any other message; true when handled (`result` is the dialog's answer).
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
        return false;
    }

    // A user change.
    void changed();
    // A click or an edit of any control is a user change: marks it; true
    // when `code` was one.
    bool changedBy(WORD code) {
        if (code != BN_CLICKED && code != EN_CHANGE) return false;
        changed();
        return true;
    }

    // Control helpers.
    HWND item(int id) const { return GetDlgItem(hwnd_, id); }
    bool checked(int id) const { return IsDlgButtonChecked(hwnd_, id) == BST_CHECKED; }
    void setChecked(int id, bool on) {
        CheckDlgButton(hwnd_, id, on ? BST_CHECKED : BST_UNCHECKED);
    }
    void enable(int id, bool on) { EnableWindow(item(id), on ? TRUE : FALSE); }
    // The number in an edit, read without checks (as GetDlgItemInt reads it).
    unsigned number(int id) const { return GetDlgItemInt(hwnd_, id, nullptr, FALSE); }
    void setNumber(int id, int value) { SetDlgItemInt(hwnd_, id, value, TRUE); }
    std::wstring text(int id) const;
    void setText(int id, const std::wstring& text) { SetDlgItemTextW(hwnd_, id, text.c_str()); }
    // A spin control's range and step, and the value shown in its buddy.
    void setupSpin(int spinId, int minimum, int maximum, int step, int value);

  private:
    static INT_PTR start(SettingsPage* self, HWND page, LPARAM lParam);
    static INT_PTR dispatch(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    // The page is its host's thread's; it is named by its class.
    win::OwnerThread owner_{"settings page"};
};

// The text of a window.
std::wstring windowText(HWND window);
