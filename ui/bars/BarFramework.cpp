#include "ui/bars/BarFramework.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <memory>
#include <new>
#include <typeinfo>

#include "core/AppGlobals.h"
#include "core/MemoryBlocks.h"
#include "core/PendingServices.h"
#include "ink/LiveInk.h"
#include "ink/LocalInkManager.h"
#include "ui/bars/BarGeometry.h"
#include "ui/tips/Tips.h"
#include "win/PostedRecord.h"
#include "win/ScopedLock.h"

namespace {

volatile LONG g_openModalBars = 0;

CRITICAL_SECTION* registeredLock() {
    static CRITICAL_SECTION section;
    static const bool made = (InitializeCriticalSection(&section), true);
    (void)made;
    return &section;
}
BarMaster* g_registeredMaster = nullptr;

constexpr UINT_PTR kTipTimer = 1;
constexpr int kFarAway = 500;  // a hidden bar waits this far above-left of the desktop

}  // namespace

LONG openModalBarCount() { return InterlockedCompareExchange(&g_openModalBars, 0, 0); }

void registerBarMaster(BarMaster* master) {
    win::ScopedLock lock(*registeredLock());
    g_registeredMaster = master;
}

void unregisterBarMaster(BarMaster* master) {
    win::ScopedLock lock(*registeredLock());
    if (g_registeredMaster == master) g_registeredMaster = nullptr;
}

bool isBarMasterRegistered() {
    win::ScopedLock lock(*registeredLock());
    return g_registeredMaster != nullptr;
}

void postToBarMaster(UINT code, WPARAM wParam, LPARAM lParam) {
    win::ScopedLock lock(*registeredLock());
    if (g_registeredMaster)
        g_registeredMaster->postMsgToMaster(code, static_cast<LPARAM>(wParam), lParam);
}

// --- clients ---

// The three ink parameters stay 0: a bar takes the pen's points as its own
// presses and releases, so the hook library lets no click through and the
// pen-event thread runs no hold test for it.
LocalSystemBarClient::LocalSystemBarClient(const wchar_t* name) : LocalClient(name, 1, 11, 1) {}

// --- units ---

BarUnit::BarUnit(BarMaster* master, UINT id, unsigned behaviour, const wchar_t* tipText)
    : behaviour_(behaviour), id_(id), master_(master) {
    if (tipText) {
        const size_t n = wcslen(tipText) + 1;
        tipText_ = new (std::nothrow) wchar_t[n];
        if (tipText_) wmemcpy(tipText_, tipText, n);
    }
}

BarUnit::~BarUnit() { delete[] tipText_; }

LRESULT BarUnit::notifyMaster(UINT code, LPARAM a, LPARAM b) {
    return master_ ? master_->onMessage(code, a, b) : 0;
}

void BarUnit::postToMaster(UINT code, LPARAM a, LPARAM b) {
    if (master_) master_->postMsgToMaster(code, a, b);
}

void BarUnit::setState(unsigned newState, bool silent) {
    const unsigned old = state_;
    if (newState == old) return;
    const unsigned tracked = behaviour_ & UNIT_TRACK_MASK;
    const unsigned changed = (old ^ newState) & tracked;
    if (changed == 0) return;
    // Only tracked bits change: a bit the unit does not track keeps its value.
    state_ = (old & ~tracked) | (newState & tracked);
    if (!silent) {
        for (int k = 0; k <= 5; ++k) {
            const unsigned bit = 1u << k;
            if (!(changed & bit)) continue;
            const int n = (state_ & bit) ? 2 * k + 1 : 2 * k + 2;
            notifyMaster(BAR_UNIT_STATE, n, reinterpret_cast<LPARAM>(this));
        }
        if ((changed & UNIT_HOVER) && !(state_ & UNIT_HOVER) && master_) master_->hideTip(true);
    }
    repaint();
}

void BarUnit::setStateBits(unsigned bits, bool on, bool silent) {
    setState(on ? (state_ | bits) : (state_ & ~bits), silent);
}

LRESULT BarUnit::onEvent(UINT code, LPARAM, LPARAM b) {
    const POINT p = unpackPoint(b);
    const bool isEnabled = enabled();
    if (!isEnabled && !isDragHandle()) return 0;
    switch (code) {
        case BAR_MOVE:
            if (!isEnabled) break;
            if (hitTest(p.x, p.y)) {
                setStateBits(UNIT_HOVER, true, false);
            } else {
                if (state_ & UNIT_PRESSED) setStateBits(UNIT_PRESSED, false, false);
                setStateBits(UNIT_HOVER, false, false);
            }
            break;
        case BAR_PRESS:
            if (isDragHandle() && hitTest(p.x, p.y)) {
                if (master_) master_->beginDrag(p.x, p.y);
            } else if (isEnabled && hitTest(p.x, p.y)) {
                setStateBits(UNIT_PRESSED, true, false);
            }
            break;
        case BAR_RELEASE:
            if (master_ && master_->dragging()) master_->endDrag();
            if (!isEnabled) break;
            if (!(state_ & UNIT_PRESSED) && !(behaviour_ & UNIT_RELEASE_ANYWAY)) break;
            setStateBits(UNIT_PRESSED, false, false);
            if (master_ && master_->pressed() && hitTest(p.x, p.y)) {
                setSelected(!(state_ & UNIT_SELECTED), false);
                if (behaviour_ & UNIT_REPORTS_PICK)
                    postToMaster(BAR_UNIT_PICKED, id_, reinterpret_cast<LPARAM>(this));
            }
            break;
        default:
            break;
    }
    return 0;
}

BarRectUnit::BarRectUnit(BarMaster* master, UINT id, unsigned behaviour, const wchar_t* tipText,
                         const RECT& rect)
    : BarUnit(master, id, behaviour, tipText), rect_(rect) {}

bool BarRectUnit::hitTest(int x, int y) { return PtInRect(&rect_, POINT{x, y}) != FALSE; }

void BarRectUnit::repaint() {
    if (master_ && master_->window()) InvalidateRect(master_->window(), &rect_, FALSE);
}

BarBitmapUnit::BarBitmapUnit(BarMaster* master, UINT id, unsigned behaviour, const wchar_t* tipText,
                             LayeredBitmap* face)
    : BarUnit(master, id, behaviour, tipText), face_(face) {}

BarSmartBitmapUnit::BarSmartBitmapUnit(BarMaster* master, UINT id, unsigned behaviour,
                                       const wchar_t* tipText, LayeredBitmap* face, COLORREF key)
    : BarBitmapUnit(master, id, behaviour, tipText, face), key_(key) {
    if (face_) mask_ = face_->unitMask(key_, &maskBounds_);
}

BarSmartBitmapUnit::~BarSmartBitmapUnit() {
    if (mask_) DeleteObject(mask_);
}

bool BarSmartBitmapUnit::hitTest(int x, int y) {
    return face_ && x >= 0 && y >= 0 && face_->keyAt(x, y, true) == key_;
}

void BarSmartBitmapUnit::paint(HDC dc) {
    const int layer = LayeredBitmap::layerForState(state_);
    if (!face_ || layer == LAYER_NONE) return;
    face_->paintUnitLayer(dc, layer, mask_);
}

void BarSmartBitmapUnit::repaint() {
    const int layer = LayeredBitmap::layerForState(state_);
    if (!face_ || layer == LAYER_NONE) return;
    BarBitmapMaster* bitmapMaster = master_ && master_->isKindOf(L"BarBitmapMaster")
                                        ? static_cast<BarBitmapMaster*>(master_)
                                        : nullptr;
    if (master_ && master_->window() && bitmapMaster && bitmapMaster->windowDC()) {
        face_->paintUnitLayer(bitmapMaster->windowDC(), layer, mask_);
        return;
    }
    face_->composeUnitLayer(layer, mask_);
    if (master_ && master_->window()) {
        RECT r = maskBounds_;
        const POINT offset = face_->faceOffset();
        OffsetRect(&r, offset.x, offset.y);
        InvalidateRect(master_->window(), &r, FALSE);
    }
}

// --- master ---

BarMaster::BarMaster(const POINT* position, LPARAM owner)
    : LocalSystemBarClient(L"bar-master"), owner_(owner) {
    if (position) {
        position_ = *position;
    } else {
        GetCursorPos(&position_);
    }
    unitCapacity_ = 20;
    units_ = static_cast<BarUnit**>(std::calloc(unitCapacity_, sizeof(BarUnit*)));
    if (!units_) unitCapacity_ = 0;
}

void BarMaster::checkOwner(const char* operation) const {
    ownerThread_.check(operation, typeid(*this).name());
}

BarMaster::~BarMaster() {
    checkOwner("deleted");
    deleteAllUnits();
    std::free(units_);
    units_ = nullptr;
    unregisterBarMaster(this);
    if (LocalInkManager* manager = inkManager()) {
        manager->releaseActiveClient(this, false);
        if (manager->isRegistered(this)) manager->unregisterClient(this, false);
    }
    delete tips_;
    tips_ = nullptr;
    detachWindow();
}

void BarMaster::detachWindow() {
    if (window_) releaseWindowResources();
    if (window_ && IsWindow(window_)) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        if (ownsWindow_) PostMessageW(window_, WM_CLOSE, 0, 0);
    }
    window_ = nullptr;
}

void BarMaster::setAreaWindow(HWND window) {
    areaWindow_ = window;
    record().flags |= CLIENT_AREAS_ARE_WINDOWS;
    record().areaCount = window ? 1 : 0;
    record().areas = window ? &areaWindow_ : nullptr;
}

int BarMaster::beginInk(HWND window, int x, int y) {
    if (hitTest(window, x, y) <= 0) return 0;
    return LocalClient::beginInk(window, x, y);
}

void BarMaster::paint(HDC) {}

bool BarMaster::setAlpha(int percent) {
    using SetLayered = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    auto fn = reinterpret_cast<SetLayered>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetLayeredWindowAttributes")));
    if (!fn || !window_) return false;
    SetWindowLongPtrW(window_, GWL_EXSTYLE,
                      GetWindowLongPtrW(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
    return fn(window_, 0, static_cast<BYTE>(percent * 255 / 100), LWA_ALPHA) != FALSE;
}

void BarMaster::rebuild() {
    checkOwner("rebuild");
    Sleep(1);
    buildUnits();
    registerSelf();
}

void BarMaster::beginDrag(int x, int y) {
    const unsigned old = barFlags_;
    dragOrigin_ = {x, y};
    savedPenType_ = record().penType;
    savedInkMode_ = record().inkMode;
    record().penType = 0;
    record().inkMode = 2;
    barFlags_ |= BAR_DRAGGING;
    onStateChanged(old, barFlags_);
}

void BarMaster::endDrag() {
    const unsigned old = barFlags_;
    record().penType = savedPenType_;
    record().inkMode = savedInkMode_;
    barFlags_ &= ~BAR_DRAGGING;
    if (old != barFlags_) onStateChanged(old, barFlags_);
}

void BarMaster::dragTo(int x, int y) {
    checkOwner("dragTo");
    if (!dragging() || (x == dragOrigin_.x && y == dragOrigin_.y) || !window_) return;
    RECT r;
    if (!GetWindowRect(window_, &r)) return;
    const int nx = r.left + x - dragOrigin_.x, ny = r.top + y - dragOrigin_.y;
    SetWindowPos(window_, nullptr, nx, ny, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    position_ = {nx, ny};
}

void BarMaster::moveTo(int x, int y) {
    checkOwner("moveTo");
    position_ = {x, y};
    if (window_)
        SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void BarMaster::show() {
    checkOwner("show");
    if (!window_) return;
    if (ownsWindow_ && !IsWindowVisible(window_)) ShowWindow(window_, SW_SHOWNOACTIVATE);
    InvalidateRect(window_, nullptr, FALSE);
}

void BarMaster::hide() {
    checkOwner("hide");
    if (ownsWindow_ && window_ && IsWindow(window_)) {
        ShowWindow(window_, SW_HIDE);
        UpdateWindow(window_);
    }
}

void BarMaster::close(bool deleteAfter) {
    checkOwner("close");
    HWND window = window_;
    if (window) releaseWindowResources();
    if (window && IsWindow(window)) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
    window_ = nullptr;
    // Unregistering may delete this object: nothing of it is touched afterwards.
    const bool deleting = deleteAfter && !kept_;
    if (LocalInkManager* manager = inkManager()) {
        if (manager->isRegistered(this)) {
            manager->unregisterClient(this, deleting);
            return;
        }
    }
    if (deleting) delete this;
}

void BarMaster::showTip(int x, int y, const wchar_t* text, BarUnit* unit) {
    if (!text || !*text || dragging() || (unit && unit->hidden()) || !window_) return;
    if (!tips_) tips_ = new (std::nothrow) Tips(window_, 0, 16);
    if (tips_) tips_->show(x, y, text, 5000, reinterpret_cast<UINT_PTR>(unit), false, false);
}

void BarMaster::hideTip(bool force) {
    if (tips_) tips_->hide(force);
}

void BarMaster::trackHover(int x, int y, bool forced) {
    LocalInkManager* manager = inkManager();
    if (manager && manager->getActiveClient() == this && !manager->isMouseTransparent()) return;
    const bool wasHovering = hoverPoint_.x != -1;
    hoverPoint_ = {x, y};
    lastMoveTick_ = GetTickCount();
    if (wasHovering) {
        if (!forced && std::abs(x - tipAnchor_.x) <= 4 && std::abs(y - tipAnchor_.y) <= 4) return;
        tipAnchor_ = {x, y};
        tipTick_ = GetTickCount();
    } else {
        tipAnchor_ = {x, y};
        tipTick_ = GetTickCount();
        if (window_) SetTimer(window_, kTipTimer, 200, nullptr);
    }
}

void BarMaster::onTipTimer() {
    if (!window_) return;
    if (!IsWindowVisible(window_)) {
        hideTip(true);
        return;
    }
    POINT cursor;
    GetCursorPos(&cursor);
    LocalInkManager* manager = inkManager();
    const bool anyActive = manager && manager->getActiveClient() != nullptr;
    HWND under = WindowFromPoint(cursor);
    if (!anyActive && under != window_) {
        // The pointer has left the bar.
        hoverPoint_.x = -1;
        KillTimer(window_, kTipTimer);
        hideTip(true);
        dispatchToUnits(BAR_MOVE, kAllUnits, 0, packPoint(-100, -100));
        return;
    }
    POINT client = cursor;
    ScreenToClient(window_, &client);
    trackHover(client.x, client.y, false);
    const DWORD now = GetTickCount();
    if (now - tipTick_ < 400) return;
    if (std::abs(client.x - tipAnchor_.x) <= 4 && std::abs(client.y - tipAnchor_.y) <= 4) {
        if (BarUnit* unit = unitAt(client.x, client.y))
            showTip(client.x, client.y, unit->getTipText(), unit);
    }
    tipAnchor_ = client;
    tipTick_ = now;
}

LRESULT BarMaster::onMessage(UINT code, LPARAM a, LPARAM b) {
    switch (code) {
        case BAR_UNIT_STATE: {
            BarUnit* unit = reinterpret_cast<BarUnit*>(b);
            (void)unit;  // the unit repaints itself after setState
            return 0;
        }
        case BAR_MOVE: {
            const POINT p = unpackPoint(b);
            trackHover(p.x, p.y, false);
            return dispatchToUnits(BAR_MOVE, kAllUnits, a, b);
        }
        case BAR_PRESS: {
            const POINT p = unpackPoint(b);
            trackHover(p.x, p.y, true);
            const LRESULT r = dispatchToUnits(BAR_PRESS, kAllUnits, a, b);
            pressed_ = true;
            return r;
        }
        case BAR_RELEASE: {
            const POINT p = unpackPoint(b);
            trackHover(p.x, p.y, true);
            const LRESULT r = dispatchToUnits(BAR_RELEASE, kAllUnits, a, b);
            pressed_ = false;
            return r;
        }
        case BAR_TIMER:
            if (a == static_cast<LPARAM>(kTipTimer)) onTipTimer();
            return 0;
        case BAR_NC_HIT_TEST: {
            POINT p = unpackPoint(b);
            if (window_) ScreenToClient(window_, &p);
            BarUnit* unit = unitAt(p.x, p.y);
            return unit && unit->isDragHandle() ? HTCAPTION : HTCLIENT;
        }
        case BAR_FIRST_SHOW:
            rebuild();
            return 0;
        case BAR_CLOSE_REQUEST:
            close(a != 0);
            return 0;  // this object may be gone
        case BAR_PEN_DRAG: {
            // The grip follows the pen where the window is now: steps that
            // waited in the queue do not move it twice.
            POINT p = unpackPoint(b);
            if (a) {
                endDrag();
            } else if (window_) {
                ScreenToClient(window_, &p);
                dragTo(p.x, p.y);
            }
            return 0;
        }
        case BAR_CLIENT_EVENT:
            onNotify(static_cast<int>(a), b);
            return 0;  // this object may be gone
        default:
            return 0;
    }
}

LRESULT BarMaster::dispatchToUnits(UINT code, UINT unitId, LPARAM a, LPARAM b) {
    for (int i = 0; i < unitCount_; ++i) {
        BarUnit* unit = units_[i];
        if (!unit || (unitId != kAllUnits && unit->id() != unitId)) continue;
        if (LRESULT r = unit->onEvent(code, a, b)) return r;
    }
    return 0;
}

void BarMaster::deleteAllUnits() {
    checkOwner("deleteAllUnits");
    for (int i = 0; i < unitCount_; ++i) delete units_[i];
    unitCount_ = 0;
}

BarUnit* BarMaster::addUnit(BarUnit* unit) {
    checkOwner("addUnit");
    if (!unit) return nullptr;
    if (unitCount_ >= unitCapacity_) {
        void* grown = std::realloc(units_, (unitCapacity_ + 1) * sizeof(BarUnit*));
        if (!grown) {
            deleteAllUnits();
            delete unit;
            return nullptr;
        }
        units_ = static_cast<BarUnit**>(grown);
        ++unitCapacity_;
    }
    units_[unitCount_++] = unit;
    return unit;
}

BarUnit* BarMaster::unitAt(int x, int y) const {
    for (int i = 0; i < unitCount_; ++i)
        if (units_[i] && units_[i]->hitTest(x, y)) return units_[i];
    return nullptr;
}

BarUnit* BarMaster::findUnitById(UINT id) const {
    for (int i = 0; i < unitCount_; ++i)
        if (units_[i] && units_[i]->id() == id) return units_[i];
    return nullptr;
}

bool BarMaster::postMsgToWindow(HWND window, UINT code, LPARAM a, LPARAM b) {
    std::unique_ptr<MsgToMaster> message(new (std::nothrow) MsgToMaster(code, a, b));
    return message && window &&
           win::postRecord(window, WM_BAR_MSG_TO_MASTER, 0, std::move(message));
}

void BarMaster::postMsgToMaster(UINT code, LPARAM a, LPARAM b) {
    postMsgToWindow(window_, code, a, b);
}

void BarMaster::postMsgToUnits(UINT code, UINT unitId, LPARAM a, LPARAM b) {
    std::unique_ptr<MsgToMaster> message(new (std::nothrow) MsgToMaster(code, a, b, unitId));
    if (message && window_) win::postRecord(window_, WM_BAR_MSG_TO_UNITS, 0, std::move(message));
}

void BarMaster::postMsgToMasterDelayed(HWND window, UINT code, LPARAM a, LPARAM b, int delayMs) {
    MsgToMaster* message = new (std::nothrow) MsgToMaster(code, a, b);
    if (!message) return;
    const LPARAM param = win::recordParam(message);
    // Undelivered (the window went meanwhile), the record is taken back and freed.
    if (!postDelayed(window, WM_BAR_MSG_TO_MASTER, 0, param, delayMs,
                     [](LPARAM lParam) { win::takeRecord<MsgToMaster>(lParam); }))
        win::takeRecord<MsgToMaster>(param);
}

bool BarMaster::handOffToOwner(int event, LPARAM argument) {
    if (ownerThread_.isCurrent()) return false;
    // Not on the bar's thread: its window and units are not this thread's to
    // touch. The bar sees the event again on its own thread.
    postMsgToMaster(BAR_CLIENT_EVENT, event, argument);
    return true;
}

void BarMaster::setSticky(bool sticky) {
    if (sticky)
        barFlags_ |= BAR_STICKY;
    else
        barFlags_ &= ~BAR_STICKY;
}

void BarMaster::runModal(int event) {
    checkOwner("runModal");
    InterlockedIncrement(&g_openModalBars);
    LocalInkManager* manager = inkManager();
    HWND bar = window_;
    HWND service = getServiceWindow();
    if (event && manager) manager->broadcastEvent(event, reinterpret_cast<LPARAM>(bar));
    const bool transparent = bar && IsWindow(bar) && manager && !manager->getPenState().penOn &&
                             !manager->isMouseTransparent();
    if (transparent) manager->beginMouseTransparent();
    const bool sticky = (barFlags_ & BAR_STICKY) != 0;
    bool quit = false;
    WPARAM quitCode = 0;
    MSG message;
    while (bar && IsWindow(bar)) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // WM_QUIT ends the loop; it is posted again below so that the
            // thread's own loop ends too.
            quit = true;
            quitCode = message.wParam;
            break;
        }
        if (got == -1) break;
        const UINT m = message.message;
        const bool forOthers = message.hwnd != bar;
        if (!sticky && forOthers &&
            (m == WM_LBUTTONDOWN || m == WM_NCLBUTTONDOWN || m == WM_RBUTTONDOWN ||
             m == WM_SETFOCUS || m == 3025 || m == 3048))
            PostMessageW(bar, WM_CLOSE, 0, 0);
        TranslateMessage(&message);
        DispatchMessageW(&message);
        if ((message.hwnd == bar || (service && message.hwnd == service)) &&
            (m == WM_CLOSE || m == WM_DESTROY))
            break;
    }
    // The program may have been closed inside the loop: its ink manager is gone then.
    if (manager != getLocalInkManager()) manager = nullptr;
    if (transparent && manager) manager->endMouseTransparent();
    if (event && manager) manager->broadcastEvent(event, 0);
    InterlockedDecrement(&g_openModalBars);
    if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

BarMaster* BarMaster::fromWindow(HWND window) {
    return window ? reinterpret_cast<BarMaster*>(GetWindowLongPtrW(window, GWLP_USERDATA))
                  : nullptr;
}

// --- bitmap masters ---

BarBitmapMaster::BarBitmapMaster(const POINT* position, LPARAM owner, LayeredBitmap* face,
                                 HWND window, HWND parent, const wchar_t* title)
    : BarMaster(position, owner), face_(face) {
    if (window) {
        window_ = window;
    } else {
        const RECT d = desktopRect();
        window_ =
            CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, BAR_WINDOW_CLASS,
                            title ? title : L"", WS_POPUP, d.left - kFarAway, d.top - kFarAway, 100,
                            100, parent, nullptr, getInstance(), this);
        if (window_) {
            SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                         SWP_ASYNCWINDOWPOS | SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW |
                             SWP_NOACTIVATE | SWP_NOZORDER);
            ShowWindow(window_, SW_SHOWNOACTIVATE);
            ownsWindow_ = true;
        }
    }
    setAreaWindow(window_);
    if (window_) {
        windowDC_ = GetDC(window_);
        postMsgToMaster(BAR_FIRST_SHOW, 0, 0);
    }
}

BarBitmapMaster::~BarBitmapMaster() {
    releaseWindowResources();
    delete face_;
    face_ = nullptr;
}

void BarBitmapMaster::releaseWindowResources() {
    if (windowDC_) ReleaseDC(window_, windowDC_);
    windowDC_ = nullptr;
}

int BarBitmapMaster::onNotify(int event, LPARAM argument) {
    // A new result is announced on the recognition thread, a pen change on
    // whichever thread made it: the bar is closed, repainted or moved on its
    // own thread, not under its feet.
    if (handOffToOwner(event, argument)) return LocalSystemBarClient::onNotify(event, argument);
    if ((event == INK_EVENT_ACCEPTED && argument != reinterpret_cast<LPARAM>(this)) ||
        event == INK_EVENT_RESULT_CHANGED) {
        if (!(barFlags_ & BAR_STICKY)) {
            close(true);
            return 0;  // this object may be gone
        }
    } else if (event == INK_EVENT_PEN_CHANGED) {
        for (int i = 0; i < unitCount_; ++i)
            if (units_[i]) units_[i]->repaint();
        keepInDesktop();
    }
    return LocalSystemBarClient::onNotify(event, argument);
}

void BarBitmapMaster::keepInDesktop() {
    if (!face_) return;
    const RECT d = desktopRect();
    RECT r = {position_.x, position_.y, position_.x + face_->width(),
              position_.y + face_->layerHeight()};
    if (r.right > d.right) OffsetRect(&r, d.right - r.right, 0);
    if (r.left < d.left) OffsetRect(&r, d.left - r.left, 0);
    if (r.bottom > d.bottom) OffsetRect(&r, 0, d.bottom - r.bottom);
    if (r.top < d.top) OffsetRect(&r, 0, d.top - r.top);
    if (r.left != position_.x || r.top != position_.y) moveTo(r.left, r.top);
}

void BarBitmapMaster::paint(HDC dc) {
    if (face_) face_->faceBlit(dc);
    for (int i = 0; i < unitCount_; ++i)
        if (units_[i]) units_[i]->paint(dc);
}

LRESULT BarBitmapMaster::onMessage(UINT code, LPARAM a, LPARAM b) {
    if (code == BAR_QUERY_DC) return reinterpret_cast<LRESULT>(windowDC_);
    return BarMaster::onMessage(code, a, b);
}

namespace {
// The last entry of the list that is a point, or -1.
int lastRealPoint(const InkPoint* points, int count) {
    for (int i = count - 1; i >= 0; --i)
        if (points[i].x != kInkControlX) return i;
    return -1;
}
}  // namespace

int BarBitmapMaster::onStrokes(InkPoint* points, int count) {
    if (!points || count <= 0) {
        freeMemory(points);
        return 1;
    }
    POINT first = {points[0].x >> 2, points[0].y >> 2};
    if (window_) ScreenToClient(window_, &first);
    if (LocalInkManager* manager = inkManager()) manager->releaseActiveClient(this, false);
    const int last = lastRealPoint(points, count);
    if (last >= 0 && unitCount_ > 0) {
        const RECT box = strokeBounds(points, count, 0, 0);
        if (box.right - box.left < 10 && box.bottom - box.top < 10) {
            postMsgToMaster(BAR_PRESS, 0, packPoint(first.x, first.y));
            postMsgToMaster(BAR_RELEASE, 0, packPoint(first.x, first.y));
        }
    }
    freeMemory(points);
    return 1;
}

BarSmartBitmapMaster::BarSmartBitmapMaster(const POINT* position, LPARAM owner, LayeredBitmap* face,
                                           HWND window, HWND parent, const wchar_t* title)
    : BarBitmapMaster(position, owner, face, window, parent, title) {
    record().inkMode = 2;
    record().penType = 0;
}

void BarSmartBitmapMaster::paint(HDC dc) {
    if (face_) face_->faceBlit(dc);
}

LRESULT BarSmartBitmapMaster::onMessage(UINT code, LPARAM a, LPARAM b) {
    const LRESULT r = BarBitmapMaster::onMessage(code, a, b);
    if (code == BAR_RELEASE) InterlockedExchange(&strokePressed_, 0);
    return r;
}

int BarSmartBitmapMaster::onStrokes(InkPoint* points, int count) {
    if (!points || count <= 0) {
        // An empty chunk is ignored.
        return 0;
    }
    auto toClient = [this](const InkPoint& p) {
        POINT c = {p.x >> 2, p.y >> 2};
        if (window_) ScreenToClient(window_, &c);
        return c;
    };
    LocalInkManager* manager = inkManager();
    bool penUp = false;
    for (int i = 0; i < count; ++i)
        if (pointIsMarker(points[i])) penUp = true;
    const int last = lastRealPoint(points, count);
    if (last >= 0) lastPenPoint_ = toClient(points[last]);
    if (dragging()) {
        // The drag itself moves the window on the bar's thread, to the pen's
        // place on the screen.
        const LPARAM screen = last >= 0 ? packPoint(points[last].x >> 2, points[last].y >> 2) : 0;
        if (penUp) {
            postMsgToMaster(BAR_PEN_DRAG, 1, screen);
            if (manager) manager->releaseActiveClient(this, false);
            ShowCursor(TRUE);
            // The stroke is over: the next pen-down is a new press.
            InterlockedExchange(&strokePressed_, 0);
        } else if (last >= 0) {
            postMsgToMaster(BAR_PEN_DRAG, 0, screen);
        }
        freeMemory(points);
        return 1;
    }
    if (last >= 0 && !InterlockedExchange(&strokePressed_, 1)) {
        const POINT first = toClient(points[0].x == kInkControlX ? points[last] : points[0]);
        postMsgToMaster(BAR_PRESS, 0, packPoint(first.x, first.y));
    }
    bool stillPressed = strokePressed_ != 0;
    for (int i = 0; i < count; ++i) {
        if (!pointIsMarker(points[i])) continue;
        if (manager) manager->releaseActiveClient(this, false);
        postMsgToMaster(BAR_RELEASE, 0, packPoint(lastPenPoint_.x, lastPenPoint_.y));
        InterlockedExchange(&strokePressed_, 0);
        stillPressed = false;
    }
    if (stillPressed) postMsgToMaster(BAR_MOVE, 0, packPoint(lastPenPoint_.x, lastPenPoint_.y));
    freeMemory(points);
    return 1;
}

// --- the bar window ---

LRESULT CALLBACK MenuBarWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        auto* made = static_cast<BarMaster*>(create ? create->lpCreateParams : nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(made));
        if (made) made->ownerThread_.adopt();
        return 0;
    }
    BarMaster* master = BarMaster::fromWindow(window);
    // Posted records are freed even when the master is gone; an argument that
    // is not a record of this process is no record at all.
    if (message == WM_BAR_MSG_TO_MASTER || message == WM_BAR_MSG_TO_UNITS) {
        const std::unique_ptr<MsgToMaster> record = win::takeRecord<MsgToMaster>(lParam);
        if (!record) return 0;
        const UINT code = record->code, unitId = record->unitId;
        const LPARAM a = record->a, b = record->b;
        if (!master) return 0;
        return message == WM_BAR_MSG_TO_MASTER ? master->onMessage(code, a, b)
                                               : master->dispatchToUnits(code, unitId, a, b);
    }
    if (!master) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_DESTROY: {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            if (master->window_ == window) {
                master->releaseWindowResources();
                master->window_ = nullptr;
            }
            const bool deleting = !master->kept();
            if (LocalInkManager* manager = master->inkManager()) {
                if (manager->isRegistered(master)) {
                    manager->unregisterClient(master, deleting);
                    return 0;
                }
            }
            if (deleting) delete master;
            return 0;
        }
        case WM_MOVE:
            if (!master->dragging() && IsWindowVisible(window)) {
                RECT r;
                GetWindowRect(window, &r);
                master->position_ = {r.left, r.top};
            }
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_ACTIVE || LOWORD(wParam) == WA_CLICKACTIVE) return 0;
            break;
        case WM_SETFOCUS:
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(window, &ps);
            const int w = ps.rcPaint.right, h = ps.rcPaint.bottom;
            if (w > 0 && h > 0) {
                HDC memory = CreateCompatibleDC(dc);
                HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
                HGDIOBJ old = SelectObject(memory, bitmap);
                master->paint(memory);
                BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, w - ps.rcPaint.left, h - ps.rcPaint.top,
                       memory, ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
                SelectObject(memory, old);
                DeleteObject(bitmap);
                DeleteDC(memory);
            }
            EndPaint(window, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_MOVING:
            if (!master->dragging()) {
                RECT* proposed = reinterpret_cast<RECT*>(lParam);
                RECT current;
                GetWindowRect(window, &current);
                if (proposed && !EqualRect(proposed, &current)) {
                    SetWindowPos(window, nullptr, proposed->left, proposed->top,
                                 proposed->right - proposed->left, proposed->bottom - proposed->top,
                                 SWP_NOZORDER | SWP_NOACTIVATE);
                    master->hideTip(false);
                    return 1;
                }
            }
            break;
        case WM_EXITSIZEMOVE: {
            RECT r;
            GetWindowRect(window, &r);
            master->position_ = {r.left, r.top};
            return master->onMessage(BAR_MOVE_ENDED, static_cast<LPARAM>(wParam), lParam);
        }
        case WM_WINDOWPOSCHANGED:
            return master->onMessage(BAR_POSITION_CHANGED, static_cast<LPARAM>(wParam), lParam);
        case WM_NCHITTEST:
            return master->onMessage(BAR_NC_HIT_TEST, static_cast<LPARAM>(wParam), lParam);
        case WM_NCRBUTTONDOWN:
        case WM_RBUTTONDOWN:
            return master->onMessage(BAR_RBUTTON_DOWN, static_cast<LPARAM>(wParam), lParam);
        case WM_RBUTTONUP:
            return master->onMessage(BAR_RBUTTON_UP, static_cast<LPARAM>(wParam), lParam);
        case WM_LBUTTONDOWN:
            return master->onMessage(BAR_PRESS, static_cast<LPARAM>(wParam), lParam);
        case WM_LBUTTONUP:
            return master->onMessage(BAR_RELEASE, static_cast<LPARAM>(wParam), lParam);
        case WM_MOUSEMOVE: {
            const POINT p = unpackPoint(lParam);
            const POINT& last = master->lastMousePoint_;
            if (std::abs(p.x - last.x) + std::abs(p.y - last.y) > 4) {
                master->lastMousePoint_ = p;
                return master->onMessage(BAR_MOVE, static_cast<LPARAM>(wParam), lParam);
            }
            break;
        }
        case WM_TIMER:
            return master->onMessage(BAR_TIMER, static_cast<LPARAM>(wParam), lParam);
        case 0x0119 /* WM_GESTURE */:
            master->onMessage(BAR_GESTURE, static_cast<LPARAM>(wParam), lParam);
            break;
        case 0x011A /* WM_GESTURENOTIFY */:
            master->onMessage(BAR_GESTURE_NOTIFY, static_cast<LPARAM>(wParam), lParam);
            break;
        case WM_BAR_CLOSE_ANIMATED: {
            RECT former;
            GetWindowRect(window, &former);
            const RECT d = desktopRect();
            SetWindowPos(window, nullptr, d.left - kFarAway, d.top - kFarAway, 100, 100,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            ShowWindow(window, SW_HIDE);
            UpdateWindow(window);
            refreshBarButtons();
            UpdateWindow(GetDesktopWindow());
            clearLiveInk(&former);
            Sleep(500);
            PostMessageW(window, WM_CLOSE, 0, 0);
            break;
        }
        case WM_BAR_COALESCED: {
            MSG waiting;
            while (PeekMessageW(&waiting, window, WM_BAR_COALESCED, WM_BAR_COALESCED, PM_REMOVE)) {
            }
            master->onMessage(BAR_COALESCED, static_cast<LPARAM>(wParam), lParam);
            break;
        }
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK BarMaster::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return MenuBarWndProc(window, message, wParam, lParam);
}
