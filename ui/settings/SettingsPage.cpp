#include "ui/settings/SettingsPage.h"

#include <commctrl.h>

#include <typeinfo>

#include "ui/settings/SettingsHost.h"
#include "win/PostedRecord.h"

std::wstring windowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(length + 1, L'\0');
    const int got = GetWindowTextW(window, &text[0], length + 1);
    text.resize(got > 0 ? got : 0);
    return text;
}

std::wstring SettingsPage::text(int id) const { return windowText(item(id)); }

void SettingsPage::changed() { markSettingsChanged(hwnd_); }

void SettingsPage::setupSpin(int spinId, int minimum, int maximum, int step, int value) {
    HWND spin = item(spinId);
    SendMessageW(spin, UDM_SETRANGE32, minimum, maximum);
    UDACCEL accel = {0, static_cast<UINT>(step)};
    SendMessageW(spin, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&accel));
    HWND buddy = reinterpret_cast<HWND>(SendMessageW(spin, UDM_GETBUDDY, 0, 0));
    if (buddy) SetDlgItemInt(hwnd_, GetDlgCtrlID(buddy), value, TRUE);
}

INT_PTR SettingsPage::start(SettingsPage* self, HWND page, LPARAM lParam) {
    self->hwnd_ = page;
    self->owner_ = win::OwnerThread(win::readableTypeName(typeid(*self)));
    self->owner_.adopt();
    SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    placeSettingsPage(page);
    self->load();
    return TRUE;
}

INT_PTR SettingsPage::dispatch(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    SettingsPage* self = reinterpret_cast<SettingsPage*>(GetWindowLongPtrW(page, DWLP_USER));
    if (!self) return FALSE;
    // The system calls it on the page's thread; a direct call from another
    // thread would work the page off its owner.
    self->owner_.check("settings page procedure");
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(page, DWLP_USER, 0);
        delete self;
        return FALSE;
    }
    if (message == WM_COMMAND) {
        if (isSettingsPageCommand(wParam, lParam)) {
            switch (LOWORD(wParam)) {
                case kSettingsApply:
                case kSettingsOk:
                    if (!self->apply(LOWORD(wParam) == kSettingsOk)) refusePageCommand(lParam);
                    break;
                case kSettingsReset:
                    self->load();
                    break;
            }
            return TRUE;
        }
        if (LOWORD(wParam) == kSettingsCancel && win::peekRecord<SettingsPageAnswer>(lParam)) {
            self->cancel();
            return TRUE;
        }
        return self->onControl(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))
                   ? TRUE
                   : FALSE;
    }
    INT_PTR result = 0;
    if (self->onMessage(message, wParam, lParam, &result)) {
        if (message == WM_CTLCOLORDLG || message == WM_CTLCOLORSTATIC ||
            message == WM_CTLCOLORBTN || message == WM_DRAWITEM)
            return result;
        SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return FALSE;
}
