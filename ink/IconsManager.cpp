#include "ink/IconsManager.h"

#include <shellapi.h>

#include <cstddef>
#include <new>

#include "core/AppGlobals.h"
#include "ink/LocalInkManager.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "core/ShellLink.h"
#include "resources/resource.h"
#include "win/ScopedLock.h"

namespace {

constexpr wchar_t kClientName[] = L"InnerIconsManagerClient";
constexpr UINT kPenIconKind = 1;
constexpr int kTipLength = 32;
// The menu variant of the notification-area icon.
constexpr LPARAM kIconMenuVariant = 6;

// The press-and-hold state all icons share (UI thread).
struct HoldState {
    bool timerArmed = false;
    UINT lastIconId = 0;
    POINT lastCursorPos = {-1000, 0};
};
HoldState g_hold;
BOOL(WINAPI* g_cursorSource)(POINT*) = GetCursorPos;
BOOL(WINAPI* g_notifySink)(DWORD, PNOTIFYICONDATAW) = Shell_NotifyIconW;

void disarmHoldTimer() {
    if (!g_hold.timerArmed) return;
    g_hold.timerArmed = false;
    if (HWND service = getServiceWindow()) KillTimer(service, iconHoldTimerId(g_hold.lastIconId));
}

void openProgramMenu() {
    if (HWND service = getServiceWindow())
        PostMessageW(service, WM_INK_MAIN_MENU, 1, kIconMenuVariant);
}

bool penOnPictureWanted() {
    LocalInkManager* manager = getLocalInkManager();
    const ServiceState& service = serviceState();
    return manager && !isMainMenuOpen() && !service.markupMode && manager->getPenState().penOn &&
           !manager->isMouseTransparent() && !service.autoPenOffPending;
}

}  // namespace

UINT_PTR iconHoldTimerId(UINT iconId) {
    return (static_cast<UINT_PTR>(iconId) << 16) | TIMER_ICON_HOLD;
}

InkIcon::InkIcon(UINT id, bool holdEnabled, IconsManager* owner)
    : id_(id), holdEnabled_(holdEnabled ? 1 : 0), owner_(owner) {
    InitializeCriticalSection(&lock_);
}

InkIcon::~InkIcon() { DeleteCriticalSection(&lock_); }

void InkIcon::setCursorSource(BOOL(WINAPI* source)(POINT*)) {
    g_cursorSource = source ? source : GetCursorPos;
}

void InkIcon::setNotifySink(BOOL(WINAPI* sink)(DWORD, PNOTIFYICONDATAW)) {
    g_notifySink = sink ? sink : Shell_NotifyIconW;
}

void InkIcon::resetHoldState() {
    disarmHoldTimer();
    g_hold = HoldState();
}

bool InkIcon::notify(DWORD action) {
    NOTIFYICONDATAW data = {};
    // The size of the version-3 structure: the fields every system since XP reads.
    data.cbSize = offsetof(NOTIFYICONDATAW, hBalloonIcon);
    if (action == NIM_ADD || !window_) window_ = getServiceWindow();
    data.hWnd = window_;
    data.uID = id_;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_INK_ICON_NOTIFY;
    data.hIcon = icon_;
    lstrcpynW(data.szTip, tip_, ARRAYSIZE(data.szTip));
    return g_notifySink(action, &data) != FALSE;
}

bool InkIcon::add() {
    win::ScopedLock lock(lock_);
    updateState();
    notify(NIM_ADD);
    return true;
}

bool InkIcon::remove() {
    win::ScopedLock lock(lock_);
    notify(NIM_DELETE);
    return true;
}

bool InkIcon::modify() {
    win::ScopedLock lock(lock_);
    if (!updateState()) return false;
    notify(NIM_MODIFY);
    return true;
}

bool InkIcon::updateState() { return false; }

bool InkIcon::trackMouse(UINT message) {
    if (g_hold.timerArmed &&
        (g_hold.lastIconId != id_ || (message >= ICON_LEFT_DOWN && message <= ICON_RIGHT_DOUBLE)))
        disarmHoldTimer();
    if (g_hold.lastIconId != id_) {
        g_hold.lastCursorPos.x = -1000;
        g_hold.lastIconId = id_;
        pressed_ = 0;
    }
    if (message > ICON_HOLD_EXPIRED) return false;
    switch (message) {
        case ICON_MOUSE_MOVE:
            if (holdEnabled_) g_cursorSource(&g_hold.lastCursorPos);
            return true;
        case ICON_LEFT_DOWN: {
            pressed_ = 1;
            disarmHoldTimer();
            const int timeout = owner_ ? owner_->holdTimeout() : 0;
            HWND service = getServiceWindow();
            if (holdEnabled_ && timeout != 0 && service) {
                g_hold.timerArmed = true;
                SetTimer(service, iconHoldTimerId(id_), static_cast<UINT>(timeout), nullptr);
            }
            return true;
        }
        case ICON_LEFT_UP:
        case ICON_RIGHT_UP: {
            const bool wasPressed = pressed_ == 1;
            pressed_ = 0;
            return wasPressed;
        }
        case ICON_LEFT_DOUBLE:
        case ICON_RIGHT_DOUBLE:
            pressed_ = 0;
            return true;
        case ICON_RIGHT_DOWN:
            pressed_ = 1;
            return true;
        case ICON_HOLD_EXPIRED: {
            if (!holdEnabled_ || !g_hold.timerArmed) return false;
            disarmHoldTimer();
            POINT now;
            if (!g_cursorSource(&now)) return false;
            const LONG dx = now.x - g_hold.lastCursorPos.x, dy = now.y - g_hold.lastCursorPos.y;
            if (dx <= -4 || dx >= 4 || dy <= -4 || dy >= 4) return false;
            pressed_ = 0;
            return true;
        }
        default:
            return false;
    }
}

void InkIcon::onMouse(UINT message) { trackMouse(message); }

PenIcon::PenIcon(UINT id, IconsManager* owner) : InkIcon(id, true, owner) {}

bool PenIcon::updateState() {
    if (!tip_[0]) LoadStringW(getInstance(), IDS_PEN_ON_OFF, tip_, kTipLength + 1);
    const int state = penOnPictureWanted() ? 1 : 0;
    if (state == state_) return false;
    state_ = state;
    const int size = GetSystemMetrics(SM_CXSMICON);
    icon_ = static_cast<HICON>(LoadImageW(getInstance(),
                                          MAKEINTRESOURCEW(state ? IDI_PEN_ON : IDI_PEN_OFF),
                                          IMAGE_ICON, size, size, LR_SHARED));
    return true;
}

void PenIcon::onMouse(UINT message) {
    if (!trackMouse(message)) return;
    LocalInkManager* manager = getLocalInkManager();
    switch (message) {
        case ICON_MOUSE_MOVE:
            shellLink().wakeMainBar(300);
            break;
        case ICON_LEFT_UP:
        case ICON_LEFT_DOUBLE:
            if (manager && !manager->isMouseTransparent() && !isMainMenuOpen())
                manager->setPenOn(state_ == 1 ? 0 : 1);
            if (message == ICON_LEFT_DOUBLE) openProgramMenu();
            break;
        case ICON_RIGHT_UP:
        case ICON_HOLD_EXPIRED:
            openProgramMenu();
            break;
        default:
            break;
    }
}

IconsManager::IconsManager() : LocalMonitoringClient(kClientName) {
    ReadSetting(kClientName, L"IconHoldTimeout", &holdTimeout_, SETTING_NUMBER_DIRECT, 0);
    registerSelf();
}

IconsManager::~IconsManager() {
    WriteSetting(kClientName, L"IconHoldTimeout", &holdTimeout_, SETTING_NUMBER_DIRECT, 0);
    for (int i = 0; i < count_; ++i) {
        icons_[i]->remove();
        delete icons_[i];
        icons_[i] = nullptr;
    }
    count_ = 0;
    unregisterSelf(false);
}

int IconsManager::onNotify(int code, LPARAM argument) {
    LocalMonitoringClient::onNotify(code, argument);
    switch (code) {
        case 3:
            for (int i = 0; i < count_; ++i) icons_[i]->modify();
            break;
        case 4:
            WriteSetting(kClientName, L"IconHoldTimeout", &holdTimeout_, SETTING_NUMBER_DIRECT, 0);
            break;
        case 5:
            ReadSetting(kClientName, L"IconHoldTimeout", &holdTimeout_, SETTING_NUMBER_DIRECT, 0);
            break;
        default:
            break;
    }
    return 0;
}

InkIcon* IconsManager::iconById(UINT id) const {
    for (int i = 0; i < count_; ++i)
        if (icons_[i]->id() == id) return icons_[i];
    return nullptr;
}

bool IconsManager::addIcon(UINT kind) {
    if (iconById(kind)) return true;
    if (kind != kPenIconKind || count_ != 0) return false;
    auto* icon = new (std::nothrow) PenIcon(kPenIconKind, this);
    if (!icon) return false;
    icons_[count_++] = icon;
    icon->add();
    return true;
}

LRESULT IconsManager::onTrayMessage(UINT id, UINT message) {
    InkIcon* icon = iconById(id);
    if (!icon) return 0;
    icon->onMouse(message);
    return 1;
}

LRESULT iconsManagerMessage(UINT iconId, UINT mouseMessage) {
    LocalInkManager* manager = getLocalInkManager();
    IconsManager* icons = manager ? manager->getIconsManager() : nullptr;
    return icons ? icons->onTrayMessage(iconId, mouseMessage) : 0;
}
