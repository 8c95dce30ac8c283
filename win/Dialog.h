// A modal dialog from a dialog resource, with its messages going to members.
// The thread that runs it owns it: its window and state are that thread's
// (checked runs fail loudly on a use from another thread).
#pragma once

#include <windows.h>

#include "Checks.h"

namespace win {

class Dialog {
  public:
    virtual ~Dialog() = default;
    // Runs the dialog `resource` of `module` over `owner`; the code given to end().
    INT_PTR runModal(HINSTANCE module, LPCWSTR resource, HWND owner);

  protected:
    HWND hwnd() const {
        owner_.check("dialog window used");
        return hwnd_;
    }
    void checkOwner(const char* operation) const { owner_.check(operation); }
    void end(INT_PTR code) { EndDialog(hwnd_, code); }
    // WM_INITDIALOG; true lets the system set the focus.
    virtual bool onInit() { return true; }
    // WM_COMMAND; true when handled. The default closes on IDOK and IDCANCEL.
    virtual bool onCommand(WORD id, WORD notification);
    // Any other message; true when handled (the result goes to DWLP_MSGRESULT).
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        return false;
    }

  private:
    static INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    OwnerThread owner_{"dialog"};
};

}  // namespace win
