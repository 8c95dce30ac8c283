#include "Window.h"

#include <typeinfo>

namespace win {

bool registerClass(const WindowClass& c) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.style = c.style;
    wc.lpfnWndProc = c.procedure;
    wc.cbWndExtra = c.windowExtra;
    wc.hInstance = c.instance;
    wc.hIcon = c.icon;
    wc.hCursor = c.cursor;
    wc.hbrBackground = c.background;
    wc.lpszClassName = c.name;
    if (RegisterClassExW(&wc)) return true;
    return GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

Window::~Window() {
    if (!hwnd_) return;
    owner_.check("deleted while its window exists");
    // The window must not call into a dead object, whichever thread it runs on.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    destroy();
}

HWND Window::create(const CreateParams& p, bool mainThreadOnly) {
    // The dynamic type is whole here: checked runs name the object by it.
    owner_ = OwnerThread(typeid(*this).name());
    if (mainThreadOnly)
        owner_.adoptOnMainThread("made");
    else
        owner_.adopt();
    return CreateWindowExW(p.exStyle, p.className, p.title, p.style, p.x, p.y, p.width, p.height,
                           p.owner, nullptr, p.instance, this);
}

void Window::destroy() {
    if (!hwnd_) return;
    HWND window = hwnd_;
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId())
        DestroyWindow(window);
    else
        PostMessageW(window, WM_CLOSE, 0, 0);
}

LRESULT Window::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return defaultProc(message, wParam, lParam);
}

LRESULT Window::defaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (self) {
            self->hwnd_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = self->onMessage(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd_ = nullptr;
        self->onDestroyed();
    }
    return result;
}

int runMessageLoop() {
    MSG msg;
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return got == 0 ? static_cast<int>(msg.wParam) : -1;
}

void handleSentMessages() {
    MSG msg;
    // Peeking for sent messages runs their window procedures; nothing else is removed.
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

DWORD waitAnsweringSentMessages(HANDLE handle, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD elapsed = GetTickCount() - start;
        DWORD left = milliseconds == INFINITE  ? INFINITE
                     : elapsed >= milliseconds ? 0
                                               : milliseconds - elapsed;
        const DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0 + 1) {
            handleSentMessages();
            continue;
        }
        return r;
    }
}

}  // namespace win
