#include "ui/bars/FloatingBar.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "ink/LocalInkManager.h"
#include "ui/bars/BarFramework.h"
#include "ui/tips/Tips.h"
#include "win/ScopedLock.h"

namespace {

double nowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        if (!QueryPerformanceFrequency(&f)) f.QuadPart = 0;
        return f;
    }();
    if (frequency.QuadPart == 0) return static_cast<double>(GetTickCount());
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// Dispatches what waits for the animated window, and the thread's paints.
// Everything else waits until the animation is over: one of those messages
// may end the bar while its animation still runs on it (the program's close,
// which deletes the bars, comes as a message to the service window).
void dispatchPending(HWND window) {
    MSG m;
    while ((window && PeekMessageW(&m, window, 0, 0, PM_REMOVE)) ||
           PeekMessageW(&m, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

// A message other than a paint waits for `window`.
bool inputWaiting(HWND window) {
    MSG m;
    return PeekMessageW(&m, window, 0, WM_PAINT - 1, PM_NOREMOVE) ||
           PeekMessageW(&m, window, WM_PAINT + 1, WM_NCPAINT - 1, PM_NOREMOVE) ||
           PeekMessageW(&m, window, WM_NCPAINT + 1, 0xFFFFFFFF, PM_NOREMOVE);
}

bool screenSaverRunning() {
    BOOL running = FALSE;  // the query may leave it unwritten
    if (!SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0)) return false;
    return running != FALSE;
}

constexpr int kAutoHideDelayMs = 3000;

}  // namespace

// --- CIterated and CMorphed ---

bool CIterated::run(int mode, int steps, int ms, bool interruptible, bool* interrupted) {
    if (interrupted) *interrupted = false;
    if (running_ || steps < 1) return false;
    running_ = true;
    dispatchPending(interruptWindow());
    const AnimationCurve curve{static_cast<double>(ms), steps, mode};
    const double start = nowMs();
    for (int i = 0;;) {
        iterationStep(i);
        if (i >= steps - 1) break;
        if (interruptible && inputWaiting(interruptWindow())) {
            if (interrupted) *interrupted = true;
            break;
        }
        for (;;) {
            const double elapsed = nowMs() - start;
            const int due = curve.stepAt(elapsed);
            if (due > i) {
                i = std::min(due, steps - 1);
                break;
            }
            const double wait = curve.valueAt(i + 1) - elapsed;
            Sleep(static_cast<DWORD>(std::max(1.0, wait)));
        }
    }
    running_ = false;
    return true;
}

RECT CMorphed::morphRect(const RECT& s, const RECT& t, int i, int steps) {
    if (steps <= 1 || i >= steps - 1) return t;
    const int n = i + 1;
    const int left = s.left + (t.left - s.left) * n / steps;
    const int top = s.top + (t.top - s.top) * n / steps;
    const int sw = s.right - s.left, sh = s.bottom - s.top;
    const int w = sw + ((t.right - t.left) - sw) * n / steps;
    const int h = sh + ((t.bottom - t.top) - sh) * n / steps;
    return {left, top, left + w, top + h};
}

bool CMorphed::morphTo(const RECT* target, int ms) {
    RECT current;
    HWND window = morphWindow();
    if (!target || ms < 1 || morphing_ || !window || !GetWindowRect(window, &current) ||
        EqualRect(&current, target))
        return false;
    morphStart_ = current;
    morphTarget_ = *target;
    morphLast_ = current;
    morphSteps_ = std::max({static_cast<int>(std::abs(target->left - current.left)),
                            static_cast<int>(std::abs(target->top - current.top)),
                            static_cast<int>(std::abs(target->right - current.right)),
                            static_cast<int>(std::abs(target->bottom - current.bottom)), 1});
    morphing_ = true;
    run(2, morphSteps_, ms, false, nullptr);
    morphing_ = false;
    return true;
}

void CMorphed::morphStep(int i) {
    const RECT r = morphRect(morphStart_, morphTarget_, i, morphSteps_);
    if (EqualRect(&r, &morphLast_)) return;
    morphLast_ = r;
    onMorphRect(r);
    SetWindowPos(morphWindow(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    dispatchPending(morphWindow());
}

// --- CDragged ---

CDragged::CDragged() { desktop_ = desktopRect(); }

bool CDragged::beginDrag(int x, int y) {
    if (dragging_) return false;
    dragging_ = true;
    dragStart_ = {x, y};
    edgeHits_ = 0;
    dragDistance_ = 0;
    dragStartTick_ = GetTickCount();
    GetCursorPos(&dragStartCursor_);
    return true;
}

void CDragged::setDragAnchor(int x, int y) {
    if (!dragging_) return;
    dragStart_ = {x, y};
    edgeHits_ = 0;
}

bool CDragged::endDrag() {
    const bool was = dragging_;
    dragging_ = false;
    edgeHits_ = 0;
    RECT r;
    if (dragWindow() && GetWindowRect(dragWindow(), &r)) storePosition(r.left, r.top);
    return was;
}

void CDragged::dragStep(int x, int y) {
    edgeHits_ = 0;
    if (!dragging_ || (x == dragStart_.x && y == dragStart_.y)) return;
    RECT r;
    if (!GetWindowRect(dragWindow(), &r)) return;
    int dx = x - dragStart_.x, dy = y - dragStart_.y;
    // At an edge the cut part of the motion moves the reference instead, so
    // the pen must come back past it before the bar follows again.
    if (dx < 0 && r.left + dx < desktop_.left) {
        const int cut = std::min(0, static_cast<int>(desktop_.left - r.left));
        dragStart_.x += dx - cut;
        dx = cut;
        edgeHits_ |= EDGE_LEFT;
    } else if (dx > 0 && r.right + dx > desktop_.right) {
        const int cut = std::max(0, static_cast<int>(desktop_.right - r.right));
        dragStart_.x += dx - cut;
        dx = cut;
        edgeHits_ |= EDGE_RIGHT;
    }
    if (dy < 0 && r.top + dy < desktop_.top) {
        const int cut = std::min(0, static_cast<int>(desktop_.top - r.top));
        dragStart_.y += dy - cut;
        dy = cut;
        edgeHits_ |= EDGE_TOP;
    } else if (dy > 0 && r.bottom + dy > desktop_.bottom) {
        const int cut = std::max(0, static_cast<int>(desktop_.bottom - r.bottom));
        dragStart_.y += dy - cut;
        dy = cut;
        edgeHits_ |= EDGE_BOTTOM;
    }
    dragDistance_ += std::max(std::abs(dx), std::abs(dy));
    if (dx || dy) {
        SetWindowPos(dragWindow(), nullptr, r.left + dx, r.top + dy, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateWindow(dragWindow());
    }
}

bool CDragged::acceptSystemParamsChanges() {
    const RECT old = desktop_;
    desktop_ = desktopRect();
    if (EqualRect(&old, &desktop_) || !dragWindow()) return true;
    RECT r;
    if (!GetWindowRect(dragWindow(), &r)) {
        debugTrace(
            L"======= Dragged:acceptSystemParamsChanges() pT->GetWindowRect(rcOrigin) "
            L"FAILED!!!!\n");
        return false;
    }
    const int w = r.right - r.left, h = r.bottom - r.top;
    const int left = (r.left - old.left) < (old.right - r.left)
                         ? desktop_.left + (r.left - old.left)
                         : desktop_.right - (old.right - r.left);
    const int top = (r.top - old.top) < (old.bottom - r.top)
                        ? desktop_.top + (r.top - old.top)
                        : desktop_.bottom - (old.bottom - r.top);
    if (left != r.left || top != r.top) {
        storePosition(left, top);
        SetWindowPos(dragWindow(), nullptr, left, top, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateWindow(dragWindow());
    }
    return true;
}

// --- buttons and frame ---

int BarButton::width() const { return hasImage ? image.width() / 6 : 0; }
int BarButton::height() const { return hasImage ? image.height() : 0; }

int BarButton::pictureIndex() const {
    if (flags & DISABLED) return 4;
    const bool down = (flags & (TOGGLED_ON | PRESSED)) != 0;
    if (flags & HOVER) return down ? 3 : 1;
    return down ? 2 : 0;
}

void BarButton::paint(HDC dc) const {
    if ((flags & HIDDEN) || !hasImage) return;
    const int w = width(), h = height();
    const int index = pictureIndex();
    const RECT source = {index * w, 0, index * w + w, h};
    image.drawImage(dc, rect, source);
}

void BarFrame::paint(HDC dc, const RECT& o) const {
    if (!present()) return;
    const int iw = image.width(), ih = image.height();
    // Source and destination columns and rows: margin, middle, margin.
    const int sx[4] = {0, static_cast<int>(inner.left), static_cast<int>(inner.right), iw};
    const int sy[4] = {0, static_cast<int>(inner.top), static_cast<int>(inner.bottom), ih};
    const int dx[4] = {static_cast<int>(o.left), static_cast<int>(o.left + margins.left),
                       static_cast<int>(o.right - margins.right), static_cast<int>(o.right)};
    const int dy[4] = {static_cast<int>(o.top), static_cast<int>(o.top + margins.top),
                       static_cast<int>(o.bottom - margins.bottom), static_cast<int>(o.bottom)};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            const RECT d = {dx[col], dy[row], dx[col + 1], dy[row + 1]};
            const RECT s = {sx[col], sy[row], sx[col + 1], sy[row + 1]};
            if (d.right > d.left && d.bottom > d.top && s.right > s.left && s.bottom > s.top)
                image.drawImage(dc, d, s);
        }
}

// --- the ink client ---

FloatingBarClient::FloatingBarClient(const wchar_t* name, CVexaBar* bar)
    : LocalVexaBarClient(name), bar_(bar) {}

FloatingBarClient::~FloatingBarClient() {
    if (CVexaBar* bar = bar_) {
        bar_ = nullptr;
        bar->forgetClient();
        delete bar;
    }
}

int FloatingBarClient::onNotify(int event, LPARAM argument) {
    if (!bar_) return baseNotify(event, argument);
    if (barThread_ && barThread_ != GetCurrentThreadId()) {
        // Not the bar's thread: the bar sees the event on its own, in order
        // with the rest of its messages. A bar whose window is gone has
        // nothing left to update.
        PostMessageW(window_, WM_BAR_CLIENT_EVENT, static_cast<WPARAM>(event), argument);
        return 0;
    }
    return bar_->onClientNotify(event, argument);
}

void FloatingBarClient::setWindow(HWND window) {
    window_ = window;
    barThread_ = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    record().areaCount = window ? 1 : 0;
    record().areas = window ? &window_ : nullptr;
}

// --- CVexaBar ---

CVexaBar::CVexaBar(const wchar_t* clientName, DWORD style, DWORD exStyle)
    : style_(style), exStyle_(exStyle) {
    InitializeCriticalSection(&buttonsLock_);
    client_ = new FloatingBarClient(clientName, this);
    clickMaxDistance_ = generalSettings().barClickMaxDist;
    reloadLayoutState();
}

CVexaBar::~CVexaBar() {
    checkOwner("deleted");
    *alive_ = false;
    if (client_) {
        client_->detachBar();
        // Unregistered and deleted by the manager, which first waits for a
        // notification that another thread may be giving it right now.
        LocalInkManager* manager = getLocalInkManager();
        if (manager && manager->isRegistered(client_) && manager->unregisterClient(client_, true))
            client_ = nullptr;
    }
    if (hwnd()) {
        KillTimer(hwnd(), BAR_TIMER_AUTO_HIDE);
        KillTimer(hwnd(), BAR_TIMER_KEEP_ON_TOP);
    }
    if (shown_) {
        shown_ = false;
        if (LocalInkManager* manager = getLocalInkManager()) manager->endMouseTransparent();
    }
    if (tooltip_) DestroyWindow(tooltip_);
    tooltip_ = nullptr;
    // Before the bar window goes: the tip window is owned by it.
    delete tips_;
    tips_ = nullptr;
    delete client_;
    client_ = nullptr;
    removeAllButtons();
    DeleteCriticalSection(&buttonsLock_);
    // win::Window's destructor destroys the window.
}

bool CVexaBar::registerBarClass(HINSTANCE instance) {
    win::WindowClass c;
    c.name = FLOATING_BAR_CLASS;
    c.procedure = win::Window::windowProc;
    c.instance = instance;
    c.cursor = LoadCursorW(nullptr, IDC_ARROW);
    return win::registerClass(c);
}

bool CVexaBar::createBar(HWND owner) {
    HINSTANCE instance = getInstance() ? getInstance() : GetModuleHandleW(nullptr);
    if (!registerBarClass(instance)) return false;
    win::CreateParams p;
    p.exStyle = exStyle_;
    p.className = FLOATING_BAR_CLASS;
    p.title = client_ ? client_->name() : L"";
    p.style = style_;
    p.x = position_.x;
    p.y = position_.y;
    p.width = 10;
    p.height = 10;
    p.owner = owner;
    p.instance = instance;
    // Bars belong to the main thread, whose loop paints and moves them.
    if (!create(p, true)) return false;
    onCreate();
    return true;
}

void CVexaBar::onCreate() {
    onClientNotify(INK_EVENT_READ_ICON_SETTINGS, 0);
    using SetLayered = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    if (auto fn = reinterpret_cast<SetLayered>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetLayeredWindowAttributes"))))
        fn(hwnd(), kBarTransparentColour, 255, LWA_COLORKEY | LWA_ALPHA);
    if (client_) {
        client_->setWindow(hwnd());
        client_->registerSelf();
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    tooltip_ =
        CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr,
                        WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, hwnd(), nullptr, getInstance(), nullptr);
    if (tooltip_) {
        SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 3000);
        SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_INITIAL, 1000);
        SendMessageW(tooltip_, TTM_SETDELAYTIME, TTDT_RESHOW, 1200);
    }
    layoutButtons(sizeMode_);
    ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    slideIn(200);
    SetTimer(hwnd(), BAR_TIMER_KEEP_ON_TOP, kAutoHideDelayMs, nullptr);
}

int CVexaBar::onClientNotify(int event, LPARAM argument) {
    return client_ ? client_->baseNotify(event, argument) : 0;
}

void CVexaBar::storePosition(int x, int y) {
    // Parked windows are never a place to come back to.
    if (x < kParkedPosition && y < kParkedPosition) position_ = {x, y};
}

void CVexaBar::reloadLayoutState() {
    if (hwnd()) {
        KillTimer(hwnd(), BAR_TIMER_AUTO_HIDE);
        SetTimer(hwnd(), BAR_TIMER_AUTO_HIDE, kAutoHideDelayMs, nullptr);
    }
    acceptSystemParamsChanges();
    const int cx = GetSystemMetrics(SM_CXVSCROLL), cy = GetSystemMetrics(SM_CYVSCROLL);
    penStrip_ = {cx / 2, cy / 2};
    touchStrip_ = {3 * cx / 2, 3 * cy / 2};
}

void CVexaBar::onInputType() {
    if (sizeModeSetting_ == SIZE_FOLLOW_INPUT) {
        const bool touch = (hookLibrary().getLastInputType() & 4) != 0;
        if (touch != inputIsTouch_) {
            inputIsTouch_ = touch;
            layoutButtons(touch ? 1 : 0);
        }
    }
    slideIn(300);
}

void CVexaBar::keepOnTop() {
    if (!hwnd() || dragging() || morphing() || openModalBarCount() != 0 || isWordListMenuOpen() ||
        !IsWindowVisible(hwnd()))
        return;
    SetWindowPos(hwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CVexaBar::paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd(), &client);
    HBRUSH key = CreateSolidBrush(kBarTransparentColour);
    FillRect(dc, &client, key);
    DeleteObject(key);
    frame_.paint(dc, client);
    win::ScopedLock lock(buttonsLock_);
    for (BarButton* b : buttons_) b->paint(dc);
}

bool CVexaBar::calcBarSize(bool vertical, SIZE* size) {
    if (!size || buttons_.empty()) return false;
    const int w = buttons_.front()->width(), h = buttons_.front()->height();
    const int n = buttonCount();
    const SIZE area = vertical ? SIZE{w, n * h} : SIZE{n * w, h};
    if (!frameOuterSize(area, size)) *size = area;
    return true;
}

bool CVexaBar::frameInnerRect(SIZE outer, RECT* inner) {
    if (!frame_.present() || !inner) return false;
    *inner = {frame_.margins.left, frame_.margins.top, outer.cx - frame_.margins.right,
              outer.cy - frame_.margins.bottom};
    return true;
}

bool CVexaBar::frameOuterSize(SIZE client, SIZE* outer) {
    if (!frame_.present() || !outer) return false;
    const RECT& m = frame_.margins;
    const bool hasInner = (m.left | m.top | m.right | m.bottom) != 0;
    *outer = hasInner ? SIZE{client.cx + m.left + m.right, client.cy + m.top + m.bottom}
                      : SIZE{frame_.image.width(), frame_.image.height()};
    return outer->cx >= 1 && outer->cy >= 1;
}

void CVexaBar::arrangeButtons(const RECT& r) {
    win::ScopedLock lock(buttonsLock_);
    const int n = buttonCount();
    if (n == 0) return;
    const BarButton* last = buttons_.back();
    const int stepX = n > 1 ? ((r.right - r.left) - last->width()) / (n - 1) : 0;
    const int stepY = n > 1 ? ((r.bottom - r.top) - last->height()) / (n - 1) : 0;
    for (int i = 0; i < n; ++i) {
        BarButton* b = buttons_[i];
        int x = r.left + i * stepX, y = r.top + i * stepY;
        if (b->flags & BarButton::CENTRED) {
            if (vertical_)
                x = r.left + ((r.right - r.left) - b->width()) / 2;
            else
                y = r.top + ((r.bottom - r.top) - b->height()) / 2;
        }
        b->rect = {x, y, x + b->width(), y + b->height()};
        if (tooltip_) {
            TTTOOLINFOW info = {};
            info.cbSize = TTTOOLINFOW_V2_SIZE;
            info.uFlags = 0;  // the bar relays its mouse messages itself
            info.hwnd = hwnd();
            info.uId = b->id;
            info.rect = b->rect;
            info.hinst = getInstance();
            info.lpszText = MAKEINTRESOURCEW(b->tipStringId);
            SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
            SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        }
    }
}

void CVexaBar::removeAllButtons() {
    checkOwner("removeAllButtons");
    win::ScopedLock lock(buttonsLock_);
    for (BarButton* b : buttons_) {
        if (tooltip_) {
            TTTOOLINFOW info = {};
            info.cbSize = TTTOOLINFOW_V2_SIZE;
            info.hwnd = hwnd();
            info.uId = b->id;
            SendMessageW(tooltip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
        }
        delete b;
    }
    buttons_.clear();
}

BarButton* CVexaBar::addButton(UINT id, const wchar_t* imageName, int tipStringId, unsigned flags) {
    checkOwner("addButton");
    BarButton* b = new BarButton;
    b->id = id;
    b->flags = flags;
    b->tipStringId = tipStringId;
    b->hasImage = imageName && b->image.load(imageName, true);
    if (!b->hasImage) debugTrace(L"Bar: button image missing\n");
    win::ScopedLock lock(buttonsLock_);
    buttons_.push_back(b);
    return b;
}

BarButton* CVexaBar::buttonAt(POINT p) {
    win::ScopedLock lock(buttonsLock_);
    for (BarButton* b : buttons_)
        if (!(b->flags & BarButton::HIDDEN) && PtInRect(&b->rect, p)) return b;
    return nullptr;
}

BarButton* CVexaBar::findButton(UINT id) {
    // The button is the owner thread's: another thread's pointer could be freed under it.
    checkOwner("findButton");
    win::ScopedLock lock(buttonsLock_);
    for (BarButton* b : buttons_)
        if (b->id == id) return b;
    return nullptr;
}

void CVexaBar::relayout() {
    checkOwner("relayout");
    SIZE size;
    if (!calcBarSize(vertical_, &size)) return;
    RECT inner = {0, 0, size.cx, size.cy};
    frameInnerRect(size, &inner);
    arrangeButtons(inner);
    refreshButtons();
    if (hwnd())
        SetWindowPos(hwnd(), nullptr, position_.x, position_.y, size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void CVexaBar::placeAt(const RECT& requested, bool snap) {
    checkOwner("placeAt");
    const RECT d = desktop_;
    bool v = vertical_;
    if (layoutMode_ == LAYOUT_AUTOMATIC) {
        const bool side = requested.left <= d.left || requested.right >= d.right;
        const bool topBottom = requested.top <= d.top || requested.bottom >= d.bottom;
        if (side && !topBottom) v = true;
        if (topBottom && !side) v = false;
    }
    const bool orientationChanged = v != vertical_;
    vertical_ = v;
    SIZE size;
    if (!calcBarSize(vertical_, &size)) return;
    RECT r = {requested.left, requested.top, requested.left + size.cx, requested.top + size.cy};
    if (snap) {
        if (requested.right == d.right) OffsetRect(&r, d.right - r.right, 0);
        if (requested.bottom == d.bottom) OffsetRect(&r, 0, d.bottom - r.bottom);
    }
    if (r.left < d.left) OffsetRect(&r, d.left - r.left, 0);
    if (r.right > d.right) OffsetRect(&r, d.right - r.right, 0);
    if (r.top < d.top) OffsetRect(&r, 0, d.top - r.top);
    if (r.bottom > d.bottom) OffsetRect(&r, 0, d.bottom - r.bottom);
    position_ = {r.left, r.top};
    RECT current = {};
    if (hwnd()) GetWindowRect(hwnd(), &current);
    const bool sizeChanged =
        (current.right - current.left) != size.cx || (current.bottom - current.top) != size.cy;
    if (!orientationChanged && !sizeChanged) {
        if (hwnd())
            SetWindowPos(hwnd(), nullptr, r.left, r.top, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    if (orientationChanged) onOrientation(vertical_);
    RECT inner = {0, 0, size.cx, size.cy};
    frameInnerRect(size, &inner);
    arrangeButtons(inner);
    if (hwnd()) {
        SetWindowPos(hwnd(), nullptr, r.left, r.top, size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(hwnd(), nullptr, FALSE);
    }
}

void CVexaBar::onOrientation(bool vertical) { vertical_ = vertical; }

void CVexaBar::flipOrientation(bool vertical) {
    if (vertical == vertical_ || morphing()) return;
    vertical_ = vertical;
    onOrientation(vertical);
    SIZE size;
    if (!calcBarSize(vertical_, &size)) return;
    POINT cursor;
    GetCursorPos(&cursor);
    RECT r = {cursor.x - size.cx / 2, cursor.y - size.cy / 2, 0, 0};
    r.right = r.left + size.cx;
    r.bottom = r.top + size.cy;
    keepRectInDesktop(&r);
    RECT inner = {0, 0, size.cx, size.cy};
    frameInnerRect(size, &inner);
    arrangeButtons(inner);
    refreshButtons();
    if (!morphTo(&r, 250))
        SetWindowPos(hwnd(), nullptr, r.left, r.top, size.cx, size.cy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    storePosition(r.left, r.top);
    InvalidateRect(hwnd(), nullptr, FALSE);
    if (dragging()) {
        // The drag keeps its grip: the cursor's place in the new shape.
        POINT c;
        GetCursorPos(&c);
        ScreenToClient(hwnd(), &c);
        setDragAnchor(c.x, c.y);
    }
}

void CVexaBar::slideIn(int ms) {
    if (!hwnd()) return;
    RECT r;
    if (!GetWindowRect(hwnd(), &r)) return;
    const RECT& d = desktop_;
    if (r.left < d.left) OffsetRect(&r, d.left - r.left, 0);
    if (r.right > d.right) OffsetRect(&r, d.right - r.right, 0);
    if (r.top < d.top) OffsetRect(&r, 0, d.top - r.top);
    if (r.bottom > d.bottom) OffsetRect(&r, 0, d.bottom - r.bottom);
    slidOut_ = false;
    KillTimer(hwnd(), BAR_TIMER_AUTO_HIDE);
    morphTo(&r, ms);
    SetTimer(hwnd(), BAR_TIMER_AUTO_HIDE, kAutoHideDelayMs, nullptr);
}

void CVexaBar::slideOut(int ms) {
    if (!hwnd()) return;
    RECT r;
    if (!GetWindowRect(hwnd(), &r)) return;
    // A parked window (20000 and beyond) is hidden, not at an edge.
    if (r.left >= kParkedPosition || r.top >= kParkedPosition) {
        debugTrace(L"Bar: slide out refused for a parked window\n");
        return;
    }
    // The strip for the input that came last, whether or not the bar's size
    // follows the input (inputIsTouch_ changes only when it does).
    const bool touch = (hookLibrary().getLastInputType() & 4) != 0;
    const SIZE strip = touch ? touchStrip_ : penStrip_;
    const RECT& d = desktop_;
    const RECT before = r;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (r.left <= d.left) {
        r.left = d.left + strip.cx - w;
    } else if (r.right >= d.right) {
        r.left = d.right - strip.cx;
    }
    r.right = r.left + w;
    if (r.top <= d.top) {
        r.top = d.top + strip.cy - h;
    } else if (r.bottom >= d.bottom) {
        r.top = d.bottom - strip.cy;
    }
    r.bottom = r.top + h;
    if (EqualRect(&before, &r)) return;
    hideTip(true);
    slidOut_ = true;
    morphTo(&r, ms);
}

bool CVexaBar::cursorOverBar() const {
    POINT c;
    GetCursorPos(&c);
    for (HWND w = WindowFromPoint(c); w; w = GetParent(w))
        if (w == hwnd()) return true;
    return false;
}

void CVexaBar::startAutoHideTimer() {
    if (hwnd()) SetTimer(hwnd(), BAR_TIMER_AUTO_HIDE, kAutoHideDelayMs, nullptr);
}

bool CVexaBar::largeForSetting() const {
    switch (sizeModeSetting_) {
        case SIZE_FOLLOW_INPUT:
            return inputIsTouch_;
        case SIZE_LARGE:
            return true;
        default:
            return false;
    }
}

void CVexaBar::useFrame(const wchar_t* image, bool large) {
    // The frame's inner rectangle in its image, and the margins drawn at each size.
    static constexpr RECT kInner = {12, 12, 52, 52};
    static constexpr RECT kMarginsLarge = {7, 7, 7, 7};
    static constexpr RECT kMarginsSmall = {5, 5, 5, 5};
    if (!frame_.present()) frame_.image.load(image, true);
    frame_.inner = kInner;
    frame_.margins = large ? kMarginsLarge : kMarginsSmall;
}

void CVexaBar::setButtonState(BarButton* b, bool disabled, bool on) {
    checkOwner("setButtonState");
    if (!b) return;
    unsigned flags = b->flags & ~(BarButton::DISABLED | BarButton::TOGGLED_ON);
    if (disabled) flags |= BarButton::DISABLED;
    if (on) flags |= BarButton::TOGGLED_ON;
    if (flags == b->flags) return;
    b->flags = flags;
    if (hwnd()) InvalidateRect(hwnd(), &b->rect, FALSE);
}

bool CVexaBar::onTimer(UINT_PTR id) {
    if (id == BAR_TIMER_AUTO_HIDE) {
        KillTimer(hwnd(), BAR_TIMER_AUTO_HIDE);
        if (openModalBarCount() == 0 && !dragging() && !morphing()) {
            if (cursorOverBar())
                slideIn(slideInMs_);
            else if (autoHide_)
                slideOut(slideOutMs_);
        }
        if (autoHide_) startAutoHideTimer();
        return true;
    }
    if (id == BAR_TIMER_KEEP_ON_TOP) {
        if (!screenSaverRunning()) keepOnTop();
        return true;
    }
    return false;
}

void CVexaBar::checkPosition() {
    RECT r;
    if (!hwnd() || !GetWindowRect(hwnd(), &r)) return;
    debugTrace(L"Bar: position check %d,%d -> %d,%d\n", static_cast<int>(position_.x),
               static_cast<int>(position_.y), static_cast<int>(r.left), static_cast<int>(r.top));
    if (r.left < kParkedPosition && r.top < kParkedPosition) position_ = {r.left, r.top};
    PostMessageW(hwnd(), WM_COMMAND, BAR_CMD_KEEP_ON_TOP, 0);
}

void CVexaBar::showAtStart(POINT point) {
    checkOwner("showAtStart");
    if (shown_ || !hwnd()) return;
    SetWindowPos(hwnd(), nullptr, point.x, point.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    storePosition(point.x, point.y);
    shown_ = true;
    if (LocalInkManager* manager = getLocalInkManager()) manager->beginMouseTransparent();
    ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
}

void CVexaBar::hideBar() {
    checkOwner("hideBar");
    if (!shown_) return;
    shown_ = false;
    hideTip(true);
    if (LocalInkManager* manager = getLocalInkManager()) manager->endMouseTransparent();
    if (hwnd()) ShowWindow(hwnd(), SW_HIDE);
}

bool CVexaBar::showTip(int x, int y, const wchar_t* text, UINT_PTR tag, bool force) {
    if (!text || !*text || !hwnd() || dragging() || morphing()) return false;
    if (!IsWindowVisible(hwnd())) return false;
    RECT r;
    if (!GetWindowRect(hwnd(), &r) || r.left >= kParkedPosition || r.top >= kParkedPosition)
        return false;
    if (!tips_) tips_ = new (std::nothrow) Tips(hwnd(), 0, 16);
    return tips_ && tips_->show(x, y, text, Tips::kShowTimeMs, tag, false, force);
}

bool CVexaBar::showButtonTip(const BarButton* button, bool force) {
    if (!button || (button->flags & BarButton::HIDDEN) || !button->tipStringId) return false;
    const wchar_t* text = nullptr;
    const int length = LoadStringW(GetModuleHandleW(nullptr), button->tipStringId,
                                   reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || !text) return false;
    const std::wstring tip(text, static_cast<size_t>(length));
    return showTip(button->rect.left, button->rect.bottom, tip.c_str(),
                   reinterpret_cast<UINT_PTR>(button), force);
}

void CVexaBar::hideTip(bool reset) {
    if (tips_) tips_->hide(reset);
}

void CVexaBar::relayToTooltip(UINT message, WPARAM wParam, LPARAM lParam) {
    if (!tooltip_) return;
    MSG m = {hwnd(), message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
    GetCursorPos(&m.pt);
    SendMessageW(tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&m));
}

void CVexaBar::onHover(POINT p, bool leave) {
    bool changed = false;
    {
        win::ScopedLock lock(buttonsLock_);
        for (BarButton* b : buttons_) {
            const bool over = !leave && PtInRect(&b->rect, p);
            const bool was = (b->flags & BarButton::HOVER) != 0;
            if (over == was) continue;
            b->flags = over ? (b->flags | BarButton::HOVER) : (b->flags & ~BarButton::HOVER);
            changed = true;
        }
    }
    if (!leave && !tracking_) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, hwnd(), 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
    if (leave) tracking_ = false;
    if (changed) InvalidateRect(hwnd(), nullptr, FALSE);
}

void CVexaBar::onMouseDown(POINT p) {
    BarButton* b = buttonAt(p);
    pressedButton_ = b && !(b->flags & BarButton::DISABLED) ? b->id : 0;
    RECT r;
    GetWindowRect(hwnd(), &r);
    pressPosition_ = {r.left, r.top};
    mouseDown_ = true;
    hideTip(true);
    SetCapture(hwnd());
    beginDrag(p.x, p.y);
}

void CVexaBar::onMouseMove(POINT p, bool nonClient) {
    if (dragging()) {
        dragStep(p.x, p.y);
        const unsigned hits = edgeHits();
        const bool side = (hits & (EDGE_LEFT | EDGE_RIGHT)) != 0;
        const bool topBottom = (hits & (EDGE_TOP | EDGE_BOTTOM)) != 0;
        if (hits && !(side && topBottom) && layoutMode_ == LAYOUT_AUTOMATIC)
            PostMessageW(hwnd(), WM_COMMAND, side ? BAR_CMD_MAKE_VERTICAL : BAR_CMD_MAKE_HORIZONTAL,
                         0);
        return;
    }
    if (slidOut_) slideIn(300);
}

void CVexaBar::onMouseUp(POINT p) {
    if (!mouseDown_) return;
    mouseDown_ = false;
    const int distance = dragDistance();
    endDrag();
    if (GetCapture() == hwnd()) ReleaseCapture();
    BarButton* b = buttonAt(p);
    if (pressedButton_ && distance <= clickMaxDistance_ && b && b->id == pressedButton_) {
        SetWindowPos(hwnd(), nullptr, pressPosition_.x, pressPosition_.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        storePosition(pressPosition_.x, pressPosition_.y);
        pressedButton_ = 0;
        const std::shared_ptr<bool> alive = alive_;
        onButton(b);
        if (!*alive) return;
    }
    pressedButton_ = 0;
}

LRESULT CVexaBar::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            DestroyWindow(hwnd());
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd(), &ps);
            RECT client;
            GetClientRect(hwnd(), &client);
            {
                BufferedPaint buffer(dc, &client);
                paint(buffer.dc());
            }
            EndPaint(hwnd(), &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_WINDOWPOSCHANGING: {
            WINDOWPOS* wp = reinterpret_cast<WINDOWPOS*>(lParam);
            if (wp && !(wp->flags & SWP_NOMOVE) && (wp->x > 32000 || wp->y > 32000)) {
                wp->flags |= SWP_NOMOVE | SWP_NOSIZE;
                debugTrace(L"Bar: a move beyond 32000 refused\n");
            }
            return 0;
        }
        case WM_WINDOWPOSCHANGED: {
            const WINDOWPOS* wp = reinterpret_cast<const WINDOWPOS*>(lParam);
            if (wp && !(wp->flags & SWP_NOMOVE)) {
                // Positions of 20000 and more are parked windows: never stored.
                if (wp->x < kParkedPosition && wp->y < kParkedPosition) {
                    // A drag stores its end itself; a bar slid out to the edge
                    // keeps the place it will slide back to.
                    if (!dragging() && !slidOut_) {
                        position_ = {wp->x, wp->y};
                        PostMessageW(hwnd(), WM_COMMAND, BAR_CMD_KEEP_ON_TOP, 0);
                    }
                } else {
                    debugTrace(L"Bar: a parked position is not stored\n");
                }
            }
            return DefWindowProcW(hwnd(), message, wParam, lParam);
        }
        case WM_TIMER:
            if (onTimer(wParam)) return 0;
            break;
        case WM_BAR_CLIENT_EVENT:
            onClientNotify(static_cast<int>(wParam), lParam);
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case BAR_CMD_MAKE_VERTICAL:
                    flipOrientation(true);
                    return 0;
                case BAR_CMD_MAKE_HORIZONTAL:
                    flipOrientation(false);
                    return 0;
                case BAR_CMD_KEEP_ON_TOP:
                    if (GetTickCount() - lastKeepOnTopTick_ >= 1001) {
                        lastKeepOnTopTick_ = GetTickCount();
                        keepOnTop();
                    }
                    return 0;
                case BAR_CMD_REFRESH_BUTTONS:
                    refreshButtons();
                    return 0;
                case BAR_CMD_CHECK_POSITION:
                    checkPosition();
                    return 0;
                default:
                    break;
            }
            break;
        case WM_LBUTTONDOWN:
            relayToTooltip(message, wParam, lParam);
            onMouseDown(unpackPoint(lParam));
            return 0;
        case WM_MOUSEMOVE: {
            relayToTooltip(message, wParam, lParam);
            const POINT p = unpackPoint(lParam);
            onHover(p, false);
            onMouseMove(p, false);
            return 0;
        }
        case WM_MOUSELEAVE:
            onHover({-1, -1}, true);
            return 0;
        case WM_LBUTTONUP:
            relayToTooltip(message, wParam, lParam);
            onMouseUp(unpackPoint(lParam));
            return 0;
        case WM_NCMOUSEMOVE: {
            POINT p = unpackPoint(lParam);
            ScreenToClient(hwnd(), &p);
            onMouseMove(p, true);
            break;
        }
        case WM_NCLBUTTONUP:
            if (dragging()) endDrag();
            break;
        case WM_CAPTURECHANGED:
            if (mouseDown_ && reinterpret_cast<HWND>(lParam) != hwnd()) {
                mouseDown_ = false;
                pressedButton_ = 0;
                endDrag();
            }
            break;
        case WM_RBUTTONUP:
            relayToTooltip(message, wParam, lParam);
            onContextMenu(unpackPoint(lParam));
            return 0;
        case WM_RBUTTONDOWN:
            relayToTooltip(message, wParam, lParam);
            return 0;
        case 0x011A /* WM_GESTURENOTIFY */:
            if (CGestureHelpAPI::available()) {
                // zoom, pan, rotate, two-finger tap, press-and-tap: all of them
                struct {
                    DWORD id, want, block;
                } config = {0, 1, 0};
                CGestureHelpAPI::setGestureConfig(hwnd(), 0, 1, &config, sizeof config);
            }
            break;
        case 0x0119 /* WM_GESTURE */:
            if (CGestureHelpAPI::available()) {
                struct {
                    UINT cbSize;
                    DWORD dwFlags, dwID;
                    HWND hwndTarget;
                    POINTS ptsLocation;
                    DWORD dwInstanceID, dwSequenceID;
                    ULONGLONG ullArguments;
                    UINT cbExtraArgs;
                } info = {};
                info.cbSize = sizeof info;
                HANDLE handle = reinterpret_cast<HANDLE>(lParam);
                if (CGestureHelpAPI::getGestureInfo(handle, &info) &&
                    (info.dwID == 3 || info.dwID == 4 || info.dwID == 5 || info.dwID == 7) &&
                    onGesture(info.dwID, info.dwFlags,
                              POINT{info.ptsLocation.x, info.ptsLocation.y}, info.ullArguments)) {
                    CGestureHelpAPI::closeGestureInfoHandle(handle);
                    return 0;
                }
            }
            break;
        default:
            break;
    }
    return defaultProc(message, wParam, lParam);
}
