// The program's thin window layer: class registration, a window base whose
// messages go to member handlers through a message map, and the message loop.
#pragma once

#include <windows.h>

#include <cstddef>

#include "Checks.h"

namespace win {

// One window class. Unset fields take the system's defaults.
struct WindowClass {
    const wchar_t* name = nullptr;
    WNDPROC procedure = nullptr;  // Window::windowProc for classes of Window objects
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    UINT style = 0;
    int windowExtra = 0;
};

// Registers the class; true also when this process has registered it before.
bool registerClass(const WindowClass& windowClass);

// Where and how a window is made.
struct CreateParams {
    DWORD exStyle = 0;
    const wchar_t* className = nullptr;
    const wchar_t* title = L"";
    DWORD style = WS_POPUP;
    int x = 0, y = 0, width = 0, height = 0;
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;
};

// A window whose messages reach onMessage. The object lives at least as long
// as its window, on the thread that made it (its owner, which the object
// records): other threads post to the window and never use the object in
// place. destroy() from another thread posts WM_CLOSE; deleting the object
// while its window exists is for the owner thread only (checked runs fail
// loudly otherwise).
class Window {
  public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND hwnd() const { return hwnd_; }
    // Creates the window of a class registered with Window::windowProc. With
    // `mainThreadOnly`, checked runs also fail loudly when the calling thread
    // is not the program's main thread (windows that the main thread owns).
    HWND create(const CreateParams& params, bool mainThreadOnly = false);
    // Destroys the window (on its thread) now or, from another thread, soon.
    void destroy();
    // The thread that made the window.
    const OwnerThread& ownerThread() const { return owner_; }
    // In checked runs: `operation` must run on the owner thread.
    void checkOwner(const char* operation) const { owner_.check(operation); }

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  protected:
    virtual LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // After WM_NCDESTROY: the handle is gone.
    virtual void onDestroyed() {}
    LRESULT defaultProc(UINT message, WPARAM wParam, LPARAM lParam);

  private:
    HWND hwnd_ = nullptr;
    OwnerThread owner_{"window"};
};

// A message map: the handlers of one window class, looked up by message.
template <typename T>
struct MessageEntry {
    UINT message;
    LRESULT (T::*handler)(WPARAM wParam, LPARAM lParam);
};

// Calls the handler of `message` when the map has one; false otherwise.
template <typename T, size_t N>
bool dispatch(T* self, const MessageEntry<T> (&map)[N], UINT message, WPARAM wParam, LPARAM lParam,
              LRESULT* result) {
    for (const MessageEntry<T>& entry : map) {
        if (entry.message == message) {
            *result = (self->*entry.handler)(wParam, lParam);
            return true;
        }
    }
    return false;
}

// GetMessage, TranslateMessage, DispatchMessage until WM_QUIT (or an error);
// the WM_QUIT code.
int runMessageLoop();

// Handles the messages other threads have sent to this thread (nothing posted).
void handleSentMessages();

// Waits for `handle` while still answering messages sent to this thread, so a
// window of another thread that sends to ours cannot deadlock the wait.
DWORD waitAnsweringSentMessages(HANDLE handle, DWORD milliseconds);

}  // namespace win
