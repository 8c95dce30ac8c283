#include "ScreenCapture.h"

#include <objidl.h>
#include <objidl.h>
#include <propidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <string>

#include "ClipOutput.h"
#include "core/AppGlobals.h"
#include "core/Trace.h"
#include "ink/MouseEmulation.h"
#include "win/ScopedLock.h"
#include "win/UiThread.h"
#include "win/WinString.h"
#include "win/Window.h"

namespace {

constexpr UINT_PTR kPollTimer = 6498;
constexpr UINT kPollMs = 10;
constexpr int kLineThickness = 3;
constexpr COLORREF kLineCentre = RGB(153, 153, 153);
constexpr COLORREF kLineBackground = RGB(255, 255, 255);
constexpr COLORREF kLabelColour = RGB(240, 240, 240);
constexpr int kLabelOffset = 8;
constexpr int kLabelMarginX = 4;
constexpr int kLabelMarginY = 1;
constexpr int kHotEscape = 27;
constexpr int kHotSpace = 32;

HINSTANCE moduleInstance() { return getInstance() ? getInstance() : GetModuleHandleW(nullptr); }

bool registerCaptureClass(WNDPROC procedure) {
    WNDCLASSW wc = {};
    if (GetClassInfoW(moduleInstance(), SCREEN_CAPTURE_CLASS, &wc)) return true;
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = procedure;
    wc.hInstance = moduleInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = SCREEN_CAPTURE_CLASS;
    return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

UINT modifierMask() {
    UINT mask = 0;
    if (GetAsyncKeyState(VK_CONTROL) & 0x8000) mask |= 1;
    if (GetAsyncKeyState(VK_SHIFT) & 0x8000) mask |= 2;
    if (GetAsyncKeyState(VK_MENU) & 0x8000) mask |= 4;
    return mask;
}

// A picture of `width` by `height` compatible with the screen, in a DC of its own.
bool makePicture(int width, int height, HBITMAP* bitmap, HDC* dc) {
    HDC screen = GetDC(nullptr);
    *bitmap = width > 0 && height > 0 ? CreateCompatibleBitmap(screen, width, height) : nullptr;
    *dc = *bitmap ? CreateCompatibleDC(screen) : nullptr;
    ReleaseDC(nullptr, screen);
    if (!*bitmap || !*dc) {
        if (*bitmap) DeleteObject(*bitmap);
        if (*dc) DeleteDC(*dc);
        *bitmap = nullptr;
        *dc = nullptr;
        return false;
    }
    SelectObject(*dc, *bitmap);
    return true;
}

void freePicture(HBITMAP* bitmap, HDC* dc) {
    if (*dc) DeleteDC(*dc);
    if (*bitmap) DeleteObject(*bitmap);
    *dc = nullptr;
    *bitmap = nullptr;
}

// The tip picture of the program's resources, as a premultiplied 32-bit bitmap.
HBITMAP loadTipPicture(SIZE* size) {
    const void* bytes = nullptr;
    DWORD length = 0;
    if (!loadResourceByPath(L"ScreenCapture_XHairTip.png", &bytes, &length)) return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, length);
    if (!memory) return nullptr;
    memcpy(GlobalLock(memory), bytes, length);
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    HBITMAP result = nullptr;
    if (SUCCEEDED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        Gdiplus::Bitmap image(stream, FALSE);
        if (image.GetLastStatus() == Gdiplus::Ok &&
            image.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &result) == Gdiplus::Ok) {
            size->cx = static_cast<LONG>(image.GetWidth());
            size->cy = static_cast<LONG>(image.GetHeight());
        }
        stream->Release();
    } else {
        GlobalFree(memory);
    }
    return result;
}

RECT normalised(POINT a, POINT b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

// Copies the part of `dc` that `region` covers from `source` (same coordinates).
void copyThrough(HDC dc, HRGN region, HDC source) {
    RECT box;
    if (!region || GetRgnBox(region, &box) == NULLREGION || IsRectEmpty(&box)) return;
    SelectClipRgn(dc, region);
    BitBlt(dc, box.left, box.top, box.right - box.left, box.bottom - box.top, source, box.left,
           box.top, SRCCOPY);
    SelectClipRgn(dc, nullptr);
}

}  // namespace

// ------------------------------------------------------------------ life

CScreenCaptureCtrl* createScreenCapture(HWND owner, IScreenCaptureCallback* callback) {
    HANDLE existing = OpenMutexW(SYNCHRONIZE, FALSE, SCREEN_CAPTURE_MUTEX);
    if (existing) {
        CloseHandle(existing);
        return nullptr;
    }
    return createScreenCaptureUnchecked(owner, callback);
}

CScreenCaptureCtrl* createScreenCaptureUnchecked(HWND owner, IScreenCaptureCallback* callback) {
    auto* control = new CScreenCaptureCtrl(owner, callback);
    if (!control->start()) {
        control->release();
        return nullptr;
    }
    return control;
}

CScreenCaptureCtrl::CScreenCaptureCtrl(HWND owner, IScreenCaptureCallback* callback)
    : owner_(owner), callback_(callback) {
    InitializeCriticalSection(&callbackLock_);
    mutex_ = CreateMutexW(nullptr, FALSE, SCREEN_CAPTURE_MUTEX);
    tip_ = loadTipPicture(&tipSize_);
    HDC screen = GetDC(nullptr);
    const int height = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    font_ = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_SWISS, L"Tahoma");
    labelBrush_ = CreateSolidBrush(kLabelColour);
    labelPen_ = CreatePen(PS_SOLID, 1, kLabelColour);
}

CScreenCaptureCtrl::~CScreenCaptureCtrl() {
    releasePictures();
    if (tip_) DeleteObject(tip_);
    if (font_) DeleteObject(font_);
    if (labelBrush_) DeleteObject(labelBrush_);
    if (labelPen_) DeleteObject(labelPen_);
    if (thread_) CloseHandle(thread_);
    if (mutex_) CloseHandle(mutex_);
    DeleteCriticalSection(&callbackLock_);
}

bool CScreenCaptureCtrl::start() {
    if (!mutex_ || !registerCaptureClass(windowProc)) return false;
    // The thread's reference, taken before it runs: a close() that comes
    // first cannot free the object under it.
    addRef();
    thread_ = CreateThread(nullptr, 0, captureThreadProc, this, 0, &threadId_);
    if (thread_) return true;
    release();
    return false;
}

void CScreenCaptureCtrl::addRef() { InterlockedIncrement(&references_); }

void CScreenCaptureCtrl::release() {
    if (InterlockedDecrement(&references_) == 0) delete this;
}

void CScreenCaptureCtrl::close() {
    {
        win::ScopedLock lock(callbackLock_);
        callback_ = nullptr;
    }
    InterlockedExchange(&closing_, 1);
    // The thread's loop ends and its window goes with it. A thread that has
    // no queue yet sees the flag once it has one.
    if (threadId_) PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    if (thread_ && GetCurrentThreadId() != threadId_ &&
        win::waitAnsweringSentMessages(thread_, kCloseWaitMs) != WAIT_OBJECT_0)
        debugTrace(L"ScreenCaptureCtrl: the tool's thread did not end\n");
    release();
}

void CScreenCaptureCtrl::giveUp() { notifyCancelled(); }

void CScreenCaptureCtrl::notifyStarted() {
    win::ScopedLock lock(callbackLock_);
    if (callback_) callback_->started(this);
}

void CScreenCaptureCtrl::notifyCancelled() {
    win::ScopedLock lock(callbackLock_);
    if (callback_) callback_->cancelled(this);
}

bool CScreenCaptureCtrl::askHotKey(int id, LPARAM lParam) {
    win::ScopedLock lock(callbackLock_);
    return callback_ && callback_->hotKey(this, id, lParam);
}

void CScreenCaptureCtrl::notifyModifiers(UINT mask, UINT previous) {
    win::ScopedLock lock(callbackLock_);
    if (callback_) callback_->modifiersChanged(this, mask, previous);
}

RECT CScreenCaptureCtrl::computeCaptureArea(HWND owner) {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    RECT area = {x, y, x + GetSystemMetrics(SM_CXVIRTUALSCREEN),
                 y + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
    if (!IsRectEmpty(&area)) return area;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    HMONITOR monitor = MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST);
    if (monitor && GetMonitorInfoW(monitor, &info) && !IsRectEmpty(&info.rcMonitor))
        return info.rcMonitor;
    return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

DWORD WINAPI CScreenCaptureCtrl::captureThreadProc(void* parameter) {
    // The object's reference for this thread was taken before it started.
    auto* self = static_cast<CScreenCaptureCtrl*>(parameter);
    win::nameThisThread(L"ScreenCaptureCtrl");
    self->toolThread_.adopt();
    const DWORD waited = WaitForSingleObject(self->mutex_, 250);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        debugTrace(L"ScreenCaptureCtrl: another clipping tool holds the mutex\n");
        self->giveUp();
        self->release();
        return 0;
    }
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    if (!self->closing_) {
        self->area_ = computeCaptureArea(self->owner_);
        const RECT& a = self->area_;
        HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE,
                                      SCREEN_CAPTURE_CLASS, L"", WS_POPUP | WS_VISIBLE, a.left,
                                      a.top, a.right - a.left, a.bottom - a.top, nullptr, nullptr,
                                      moduleInstance(), self);
        if (window) {
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        } else {
            debugTrace(L"ScreenCaptureCtrl: the window could not be made\n");
            self->giveUp();
        }
    }
    // Ended by WM_QUIT while the window is still up: it goes with the thread.
    if (self->window_ && IsWindow(self->window_)) DestroyWindow(self->window_);
    ReleaseMutex(self->mutex_);
    self->release();
    return 0;
}

// ------------------------------------------------------------- window

LRESULT CALLBACK CScreenCaptureCtrl::windowProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    CScreenCaptureCtrl* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<CScreenCaptureCtrl*>(
            reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->window_ = window;
    } else {
        self = reinterpret_cast<CScreenCaptureCtrl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        // The window's reference goes with it, and so does the thread: one
        // tool ends completely, so the next one can start.
        PostQuitMessage(0);
        self->release();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->onMessage(message, wParam, lParam);
}

LRESULT CScreenCaptureCtrl::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    toolThread_.check("a window message");
    HWND w = window_;
    switch (message) {
        case WM_CREATE:
            onCreate();
            return 0;
        case WM_ACTIVATE:
            // While the window shows, the screen holds the window itself:
            // only a snapshot taken before it is shown is the user's screen.
            if (!IsWindowVisible(w) || !snapshot_) takeScreenSnapshot();
            return DefWindowProcW(w, message, wParam, lParam);
        case WM_SIZE:
            makeLinePictures();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(w, &ps);
            paint(dc);
            EndPaint(w, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_MOUSEMOVE: {
            if (busy_) return 0;
            HDC dc = GetDC(w);
            const POINT at = clamp(lParam);
            if (dragging_) {
                current_ = at;
                drawSelection(dc, at);
            } else {
                drawCrossHair(dc, at);
            }
            ReleaseDC(w, dc);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (!busy_) onButtonDown(clamp(lParam));
            return 0;
        case WM_LBUTTONUP:
            if (busy_) return 0;
            {
                const POINT at = clamp(lParam);
                if (GetCapture() == w && dragging_) finishCapture(at);
                if (GetCapture() == w) ReleaseCapture();
            }
            return 0;
        case WM_CAPTURECHANGED:
            if (dragging_) {
                dragging_ = false;
                ShowCursor(TRUE);
            }
            return 0;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
            if (!busy_) {
                SetCapture(w);
                SetFocus(w);
            }
            return 0;
        case WM_RBUTTONUP:
            if (!busy_ && GetCapture() == w) ReleaseCapture();
            return 0;
        case WM_KEYDOWN:
            if (busy_) return 0;
            if (wParam == VK_ESCAPE) {
                PostMessageW(w, WM_CLOSE, 0, 0);
            } else if (wParam == VK_SPACE) {
                if (!dragging_)
                    sendMouseClick();
                else
                    sendMouseLeftUp();
                InvalidateRect(w, nullptr, FALSE);
            }
            return 0;
        case WM_HOTKEY:
            if (askHotKey(static_cast<int>(wParam), lParam)) return 0;
            if (busy_) return 0;
            if (wParam == kHotEscape || wParam == kHotSpace)
                return onMessage(WM_KEYDOWN, wParam == kHotEscape ? VK_ESCAPE : VK_SPACE, 0);
            return 0;
        case WM_TIMER:
            if (wParam == kPollTimer) {
                const UINT mask = modifierMask();
                if (mask != modifiers_) {
                    notifyModifiers(mask, modifiers_);
                    modifiers_ = mask;
                }
            }
            return 0;
        case WM_DESTROY:
            UnregisterHotKey(w, kHotEscape);
            UnregisterHotKey(w, kHotSpace);
            KillTimer(w, kPollTimer);
            releasePictures();
            // The owner hears of the end once, after what the window held is let go.
            notifyCancelled();
            return 0;
        default:
            return DefWindowProcW(w, message, wParam, lParam);
    }
}

void CScreenCaptureCtrl::onCreate() {
    addRef();
    dragging_ = false;
    RegisterHotKey(window_, kHotEscape, 0, VK_ESCAPE);
    RegisterHotKey(window_, kHotSpace, 0, VK_SPACE);
    SetTimer(window_, kPollTimer, kPollMs, nullptr);
    // The screen as the user sees it, before the window covers it.
    takeScreenSnapshot();
    notifyStarted();
    SetForegroundWindow(window_);
}

void CScreenCaptureCtrl::takeScreenSnapshot() {
    const int width = area_.right - area_.left, height = area_.bottom - area_.top;
    if (!snapshot_ && !makePicture(width, height, &snapshot_, &snapshotDc_)) return;
    HDC screen = GetDC(nullptr);
    BitBlt(snapshotDc_, 0, 0, width, height, screen, area_.left, area_.top, SRCCOPY | CAPTUREBLT);
    ReleaseDC(nullptr, screen);
    // A shaded copy made from an older snapshot would no longer match.
    freePicture(&shaded_, &shadedDc_);
}

void CScreenCaptureCtrl::makeLinePictures() {
    RECT client;
    GetClientRect(window_, &client);
    freePicture(&vertical_, &verticalDc_);
    freePicture(&horizontal_, &horizontalDc_);
    HBRUSH background = CreateSolidBrush(kLineBackground);
    HBRUSH centre = CreateSolidBrush(kLineCentre);
    if (makePicture(kLineThickness, client.bottom, &vertical_, &verticalDc_)) {
        RECT all = {0, 0, kLineThickness, client.bottom}, line = {1, 0, 2, client.bottom};
        FillRect(verticalDc_, &all, background);
        FillRect(verticalDc_, &line, centre);
    }
    if (makePicture(client.right, kLineThickness, &horizontal_, &horizontalDc_)) {
        RECT all = {0, 0, client.right, kLineThickness}, line = {0, 1, client.right, 2};
        FillRect(horizontalDc_, &all, background);
        FillRect(horizontalDc_, &line, centre);
    }
    DeleteObject(background);
    DeleteObject(centre);
}

void CScreenCaptureCtrl::releasePictures() {
    freePicture(&snapshot_, &snapshotDc_);
    freePicture(&shaded_, &shadedDc_);
    freePicture(&vertical_, &verticalDc_);
    freePicture(&horizontal_, &horizontalDc_);
}

void CScreenCaptureCtrl::paint(HDC dc) {
    if (IsRectEmpty(&area_) || !snapshot_) return;
    BitBlt(dc, 0, 0, area_.right - area_.left, area_.bottom - area_.top, snapshotDc_, 0, 0,
           SRCCOPY);
    SetRectEmpty(&lastVertical_);
    SetRectEmpty(&lastHorizontal_);
    SetRectEmpty(&lastTip_);
    if (dragging_) {
        // Everything is drawn again from the snapshot: the selection too, to
        // the corner the cursor holds (whichever way the drag goes).
        selectionDrawn_ = false;
        drawSelection(dc, current_);
    } else {
        POINT cursor;
        GetCursorPos(&cursor);
        ScreenToClient(window_, &cursor);
        drawCrossHair(dc, cursor);
    }
}

POINT CScreenCaptureCtrl::clamp(LPARAM lParam) const {
    POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    // The selection's right and bottom are exclusive: the area's edge itself
    // is a place for the corner, so its last column and row can be clipped.
    const LONG width = area_.right - area_.left, height = area_.bottom - area_.top;
    p.x = std::max<LONG>(0, std::min<LONG>(p.x, width));
    p.y = std::max<LONG>(0, std::min<LONG>(p.y, height));
    return p;
}

void CScreenCaptureCtrl::restoreFromSnapshot(HDC dc, const RECT& r) {
    if (IsRectEmpty(&r) || !snapshotDc_) return;
    BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, snapshotDc_, r.left, r.top,
           SRCCOPY);
}

void CScreenCaptureCtrl::drawCrossHair(HDC dc, POINT at) {
    if (!snapshotDc_) return;
    restoreFromSnapshot(dc, lastVertical_);
    restoreFromSnapshot(dc, lastHorizontal_);
    restoreFromSnapshot(dc, lastTip_);
    SetRectEmpty(&lastTip_);
    RECT client;
    GetClientRect(window_, &client);
    if (tip_) {
        // Below and right of the cursor, kept inside the area.
        int x = at.x + 12, y = at.y + 12;
        if (x + tipSize_.cx > client.right) x = at.x - 12 - tipSize_.cx;
        if (y + tipSize_.cy > client.bottom) y = at.y - 12 - tipSize_.cy;
        HDC tipDc = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(tipDc, tip_);
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(dc, x, y, tipSize_.cx, tipSize_.cy, tipDc, 0, 0, tipSize_.cx, tipSize_.cy,
                   blend);
        SelectObject(tipDc, old);
        DeleteDC(tipDc);
        lastTip_ = {x, y, x + tipSize_.cx, y + tipSize_.cy};
    }
    if (verticalDc_) {
        lastVertical_ = {at.x - 1, 0, at.x - 1 + kLineThickness, client.bottom};
        BitBlt(dc, lastVertical_.left, 0, kLineThickness, client.bottom, verticalDc_, 0, 0,
               SRCCOPY);
    }
    if (horizontalDc_) {
        lastHorizontal_ = {0, at.y - 1, client.right, at.y - 1 + kLineThickness};
        BitBlt(dc, 0, lastHorizontal_.top, client.right, kLineThickness, horizontalDc_, 0, 0,
               SRCCOPY);
    }
}

void CScreenCaptureCtrl::onButtonDown(POINT at) {
    SetCapture(window_);
    SetFocus(window_);
    anchor_ = at;
    current_ = at;
    SetRectEmpty(&selection_);
    ShowCursor(FALSE);
    dragging_ = true;
    HDC dc = GetDC(window_);
    restoreFromSnapshot(dc, lastVertical_);
    restoreFromSnapshot(dc, lastHorizontal_);
    restoreFromSnapshot(dc, lastTip_);
    SetRectEmpty(&lastVertical_);
    SetRectEmpty(&lastHorizontal_);
    SetRectEmpty(&lastTip_);
    selectionDrawn_ = false;
    drawSelection(dc, at);
    ReleaseDC(window_, dc);
}

void CScreenCaptureCtrl::drawSelection(HDC dc, POINT at) {
    if (!snapshotDc_) return;
    const int width = area_.right - area_.left, height = area_.bottom - area_.top;
    if (!shaded_) {
        if (!makePicture(width, height, &shaded_, &shadedDc_)) return;
        BitBlt(shadedDc_, 0, 0, width, height, snapshotDc_, 0, 0, SRCCOPY);
        // The outside of a selection is the snapshot darkened by a third.
        HBITMAP black = nullptr;
        HDC blackDc = nullptr;
        if (makePicture(1, 1, &black, &blackDc)) {
            SetPixel(blackDc, 0, 0, RGB(0, 0, 0));
            BLENDFUNCTION blend = {AC_SRC_OVER, 0, 96, 0};
            AlphaBlend(shadedDc_, 0, 0, width, height, blackDc, 0, 0, 1, 1, blend);
            freePicture(&black, &blackDc);
        }
    }
    const RECT next = normalised(anchor_, at);
    if (!selectionDrawn_) {
        BitBlt(dc, 0, 0, width, height, shadedDc_, 0, 0, SRCCOPY);
        restoreFromSnapshot(dc, next);
    } else {
        // Only the strips that changed: what left the selection (and the old
        // label outside it) is shaded again, what joined it (and the old
        // label inside it) is the snapshot.
        HRGN before = CreateRectRgnIndirect(&lastSelection_);
        HRGN after = CreateRectRgnIndirect(&next);
        HRGN label = CreateRectRgnIndirect(&lastLabel_);
        HRGN shade = CreateRectRgn(0, 0, 0, 0);
        HRGN clear = CreateRectRgn(0, 0, 0, 0);
        if (before && after && label && shade && clear) {
            CombineRgn(shade, before, after, RGN_DIFF);
            CombineRgn(clear, after, before, RGN_DIFF);
            HRGN labelOutside = CreateRectRgn(0, 0, 0, 0);
            HRGN labelInside = CreateRectRgn(0, 0, 0, 0);
            if (labelOutside && labelInside) {
                CombineRgn(labelOutside, label, after, RGN_DIFF);
                CombineRgn(labelInside, label, after, RGN_AND);
                CombineRgn(shade, shade, labelOutside, RGN_OR);
                CombineRgn(clear, clear, labelInside, RGN_OR);
            }
            if (labelOutside) DeleteObject(labelOutside);
            if (labelInside) DeleteObject(labelInside);
            copyThrough(dc, shade, shadedDc_);
            copyThrough(dc, clear, snapshotDc_);
        }
        for (HRGN r : {before, after, label, shade, clear})
            if (r) DeleteObject(r);
    }
    selection_ = next;
    lastSelection_ = next;
    selectionDrawn_ = true;
    drawSizeLabel(dc, at);
}

void CScreenCaptureCtrl::drawSizeLabel(HDC dc, POINT at) {
    wchar_t text[64];
    _snwprintf(text, 64, L"%u x %upx", static_cast<unsigned>(selection_.right - selection_.left),
               static_cast<unsigned>(selection_.bottom - selection_.top));
    text[63] = 0;
    HGDIOBJ oldFont = SelectObject(dc, font_);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    const int w = size.cx + 2 * kLabelMarginX, h = size.cy + 2 * kLabelMarginY;
    // Beyond the corner the cursor holds.
    int x =
        at.x >= anchor_.x ? selection_.right + kLabelOffset : selection_.left - kLabelOffset - w;
    int y =
        at.y >= anchor_.y ? selection_.bottom + kLabelOffset : selection_.top - kLabelOffset - h;
    const int width = area_.right - area_.left, height = area_.bottom - area_.top;
    x = std::max(0, std::min(x, width - w));
    y = std::max(0, std::min(y, height - h));
    RECT box = {x, y, x + w, y + h};
    HGDIOBJ oldBrush = SelectObject(dc, labelBrush_);
    HGDIOBJ oldPen = SelectObject(dc, labelPen_);
    RoundRect(dc, box.left, box.top, box.right, box.bottom, 8, 8);
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc, RGB(0, 0, 0));
    DrawTextW(dc, text, -1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SetTextColor(dc, oldColour);
    SetBkMode(dc, oldMode);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldFont);
    lastLabel_ = box;
}

// The window a click at `screenPoint` means: the first visible top-level window
// in Z order other than ours that contains it (its child under the point with
// Ctrl held), else the desktop.
static HWND windowAtPoint(HWND own, POINT screenPoint, bool child) {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == own || !IsWindowVisible(w)) continue;
        RECT r;
        if (!GetWindowRect(w, &r) || !PtInRect(&r, screenPoint)) continue;
        if (child) {
            POINT p = screenPoint;
            ScreenToClient(w, &p);
            HWND inner = RealChildWindowFromPoint(w, p);
            if (inner) return inner;
        }
        return w;
    }
    return GetDesktopWindow();
}

void CScreenCaptureCtrl::finishCapture(POINT at) {
    const int cx = GetSystemMetrics(SM_CXDOUBLECLK), cy = GetSystemMetrics(SM_CYDOUBLECLK);
    RECT click = {anchor_.x - cx / 2, anchor_.y - cy / 2, anchor_.x - cx / 2 + cx,
                  anchor_.y - cy / 2 + cy};
    std::wstring title;
    if (PtInRect(&click, at)) {
        const POINT screenPoint = {at.x + area_.left, at.y + area_.top};
        HWND target = windowAtPoint(window_, screenPoint, (modifierMask() & 1) != 0);
        RECT r;
        GetWindowRect(target, &r);
        RECT inArea;
        if (!IntersectRect(&inArea, &r, &area_)) SetRectEmpty(&inArea);
        OffsetRect(&inArea, -area_.left, -area_.top);
        selection_ = inArea;
        if (target == GetDesktopWindow() || win::windowClassName(target) == L"Progman") {
            title = L"Desktop clip";
        } else {
            title = win::windowText(target);
            if (title.empty()) title = L"Window clip";
        }
    } else {
        selection_ = normalised(anchor_, at);
    }
    deliverClip(title.empty() ? nullptr : title.c_str());
}

void CScreenCaptureCtrl::deliverClip(const wchar_t* title) {
    if (IsRectEmpty(&selection_) || !snapshotDc_) return;
    const int width = selection_.right - selection_.left,
              height = selection_.bottom - selection_.top;
    HBITMAP clip = nullptr;
    HDC clipDc = nullptr;
    if (!makePicture(width, height, &clip, &clipDc)) return;
    const bool copied = BitBlt(clipDc, 0, 0, width, height, snapshotDc_, selection_.left,
                               selection_.top, SRCCOPY) != FALSE;
    DeleteDC(clipDc);
    if (copied) {
        win::ScopedLock lock(callbackLock_);
        if (callback_) {
            busy_ = true;
            UnregisterHotKey(window_, kHotEscape);
            UnregisterHotKey(window_, kHotSpace);
            callback_->done(this, &clip, title && *title ? title : nullptr);
        }
    }
    if (clip) DeleteObject(clip);
}
