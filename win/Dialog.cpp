#include "Dialog.h"

namespace win {

INT_PTR Dialog::runModal(HINSTANCE module, LPCWSTR resource, HWND owner) {
    owner_ = OwnerThread(readableTypeName(typeid(*this)));
    owner_.adopt();
    return DialogBoxParamW(module, resource, owner, dialogProc, reinterpret_cast<LPARAM>(this));
}

bool Dialog::onCommand(WORD id, WORD) {
    if (id == IDOK || id == IDCANCEL) {
        end(id);
        return true;
    }
    return false;
}

INT_PTR CALLBACK Dialog::dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = window;
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return self->onInit() ? TRUE : FALSE;
    }
    self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    if (!self) return FALSE;
    if (message == WM_COMMAND)
        return self->onCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
    LRESULT result = 0;
    if (self->onMessage(message, wParam, lParam, &result)) {
        SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
        return TRUE;
    }
    return FALSE;
}

}  // namespace win
