#include "Splash.h"

#include "core/AppGlobals.h"
#include "core/Settings.h"

#include <cstdio>

namespace {

constexpr wchar_t kSplashClass[] = L"sxSplashWndClass";

CSplashWnd* g_splash = nullptr;  // UI thread only

bool registerSplashClass(HINSTANCE instance) {
    win::WindowClass c;
    c.name = kSplashClass;
    c.procedure = win::Window::windowProc;
    c.instance = instance;
    return win::registerClass(c);
}

// True when `cancel` was signalled within `milliseconds`.
bool cancelled(HANDLE cancel, DWORD milliseconds) {
    return WaitForSingleObject(cancel, milliseconds) == WAIT_OBJECT_0;
}

}  // namespace

CSplashWnd::CSplashWnd(HWND owner, int x, int y, UINT bitmapId, int morphMs, int showingMs,
                       int lifeMs)
    : owner_(owner), centre_{x, y}, morphMs_(morphMs), showingMs_(showingMs), lifeMs_(lifeMs) {
    creator_.adopt();
    cancel_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ended_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bitmap_ = LoadBitmapW(getInstance(), MAKEINTRESOURCEW(bitmapId));
    if (bitmap_) {
        BITMAP info;
        if (GetObjectW(bitmap_, sizeof info, &info)) size_ = {info.bmWidth, info.bmHeight};
        memory_ = CreateCompatibleDC(nullptr);
        if (memory_) previousBitmap_ = SelectObject(memory_, bitmap_);
    }
    if (!start(L"sxSplashWndThread")) markEnded();
}

CSplashWnd::~CSplashWnd() {
    creator_.check("deleted");
    cancel();
    join(INFINITE);  // the window goes with its thread
    if (memory_) {
        SelectObject(memory_, previousBitmap_);
        DeleteDC(memory_);
    }
    if (bitmap_) DeleteObject(bitmap_);
    if (cancel_) CloseHandle(cancel_);
    if (ended_) CloseHandle(ended_);
}

RECT CSplashWnd::targetRect() const {
    RECT r;
    r.left = centre_.x - size_.cx / 2;
    r.top = centre_.y - size_.cy / 2;
    r.right = r.left + size_.cx;
    r.bottom = r.top + size_.cy;
    return r;
}

void CSplashWnd::cancel() {
    if (cancel_) SetEvent(cancel_);
}

bool CSplashWnd::ended() const {
    return !ended_ || WaitForSingleObject(ended_, 0) == WAIT_OBJECT_0;
}

void CSplashWnd::markEnded() {
    if (ended_) SetEvent(ended_);
}

void CSplashWnd::waitUntilEnded() {
    if (ended_) win::waitAnsweringSentMessages(ended_, INFINITE);
}

bool CSplashWnd::onStart() {
    win::CreateParams p;
    p.exStyle = WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    p.className = kSplashClass;
    p.style = WS_POPUP | WS_VISIBLE;
    p.x = centre_.x;
    p.y = centre_.y;
    p.width = 1;
    p.height = 1;
    p.owner = owner_;
    p.instance = getInstance();
    if (!registerSplashClass(p.instance) || !create(p)) {
        markEnded();
        return false;
    }
    post([this] { work(); });
    return true;
}

void CSplashWnd::onEnd() {
    // The window goes with its own thread, whatever ended the loop.
    if (hwnd()) DestroyWindow(hwnd());
    markEnded();
}

void CSplashWnd::work() {
    checkOwner("work");
    const RECT target = targetRect();
    morphTo(&target, morphMs_);
    if (!cancelled(cancel_, showingMs_)) {
        long left = static_cast<long>(lifeMs_) - morphMs_ - showingMs_;
        while (left > 0 && !appGlobals().startupFinished) {
            const DWORD step = left < 250 ? static_cast<DWORD>(left) : 250;
            if (cancelled(cancel_, step)) break;
            left -= static_cast<long>(step);
        }
    }
    markEnded();
    PostMessageW(hwnd(), WM_CLOSE, 0, 0);
}

void CSplashWnd::paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd(), &client);
    if (memory_ && size_.cx > 0 && size_.cy > 0) {
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, 0, 0, client.right, client.bottom, memory_, 0, 0, size_.cx, size_.cy,
                   SRCCOPY);
    }
}

LRESULT CSplashWnd::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd(), &ps);
            paint(dc);
            EndPaint(hwnd(), &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            paint(reinterpret_cast<HDC>(wParam));
            return 1;
        case WM_USER:
            return 0;
        case WM_DESTROY:
            markEnded();
            PostQuitMessage(0);
            return 0;
        default:
            return defaultProc(message, wParam, lParam);
    }
}

bool startSplash(HWND owner, int x, int y, UINT bitmapId, int morphMs, int showingMs, int lifeMs) {
    endSplash();
    g_splash = new CSplashWnd(owner, x, y, bitmapId, morphMs, showingMs, lifeMs);
    return !g_splash->ended();
}

bool splashEnded() { return !g_splash || g_splash->ended(); }

void waitForSplash() {
    if (g_splash) g_splash->waitUntilEnded();
}

void endSplash() {
    if (!g_splash) return;
    if (!g_splash->ended()) {
        const RECT where = g_splash->targetRect();
        g_splash->cancel();
        g_splash->join(INFINITE);
        RedrawWindow(nullptr, &where, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }
    delete g_splash;
    g_splash = nullptr;
}

wchar_t* getVersionText(wchar_t* buffer) {
    wchar_t vendor[128] = L"ps";
    if (!ReadSetting(nullptr, L"Vendor", vendor, SETTING_STRING, 128)) lstrcpyW(vendor, L"ps");
    _snwprintf(buffer, 160, L"%d.%d.%d.%ls", 4, 0, 42, vendor);
    buffer[159] = L'\0';
    return buffer;
}
