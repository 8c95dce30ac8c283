#include "LocalInkManager.h"

#include "AppGlobals.h"
#include "HookLibrary.h"
#include "ServiceMessages.h"
#include "ServiceWindow.h"
#include "Settings.h"
#include "SystemHooks.h"

namespace {

class Lock {
  public:
    explicit Lock(CRITICAL_SECTION& section) : section_(section) {
        EnterCriticalSection(&section_);
    }
    ~Lock() { LeaveCriticalSection(&section_); }

  private:
    CRITICAL_SECTION& section_;
};

// The built-in pen, then the stored pen values, then the start switch or
// "startInPenOnMode", then the stored "useMouseExtraPoints".
PenState defaultPenState() {
    PenState state;
    PenSettings stored;
    loadPenSettings(nullptr, &stored);
    state.type = stored.type;
    state.width = stored.width;
    state.antialiasing = stored.antialiasing;
    state.color = stored.color;
    const AppGlobals& g = appGlobals();
    state.penOn =
        g.commandSwitchGiven ? (g.switchPenState ? 1 : 0) : generalSettings().startInPenOnMode;
    ReadSetting(nullptr, L"useMouseExtraPoints", &state.useMouseExtraPoints, SETTING_NUMBER, 0);
    return state;
}

}  // namespace

LocalInkManager::LocalInkManager() {
    InitializeCriticalSection(&lock_);
    loadPenState();
}

LocalInkManager::~LocalInkManager() {
    savePenState();
    DeleteCriticalSection(&lock_);
}

bool LocalInkManager::createIconsManager() { return true; }

LocalClient* LocalInkManager::findClientAt(HWND, int, int) { return nullptr; }

LocalClient* LocalInkManager::activateClient(LocalClient*, HWND, int, int) { return nullptr; }

int LocalInkManager::beginActiveInk() { return 0; }

int LocalInkManager::broadcastEvent(int, LPARAM) { return 0; }

void LocalInkManager::setPenOn(int on) {
    HWND service = getServiceWindow();
    if (service) KillTimer(service, TIMER_AUTO_PEN_OFF);
    serviceState().autoPenOffPending = false;
    {
        Lock lock(lock_);
        if (pen_.penOn == on) return;
        pen_.penOn = on;
    }
    applyInkDriverParams(on, 0, 1, 0, 0, 0, 0, 0);
    broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

PenState LocalInkManager::getPenState() const {
    Lock lock(lock_);
    return pen_;
}

void LocalInkManager::setPenState(const PenState& state, bool force) {
    bool changed = force;
    if (force || state.penOn != getPenState().penOn) setPenOn(state.penOn);
    {
        Lock lock(lock_);
        if (force || state.type != pen_.type || state.width != pen_.width ||
            state.color != pen_.color || state.antialiasing != pen_.antialiasing) {
            pen_.type = state.type;
            pen_.width = state.width;
            pen_.color = state.color;
            pen_.antialiasing = state.antialiasing;
            changed = true;
        }
        if (force || (state.useMouseExtraPoints != 0) != (pen_.useMouseExtraPoints != 0)) {
            pen_.useMouseExtraPoints = state.useMouseExtraPoints;
            changed = true;
        }
    }
    if (changed) broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

void LocalInkManager::loadPenState() {
    {
        Lock lock(lock_);
        pen_.penOn = 0;
    }
    const PenState loaded = defaultPenState();
    setPenOn(loaded.penOn);
    {
        Lock lock(lock_);
        pen_.useMouseExtraPoints = loaded.useMouseExtraPoints;
        pen_.type = loaded.type;
        pen_.width = loaded.width;
        pen_.color = loaded.color;
        pen_.antialiasing = loaded.antialiasing;
    }
    broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

void LocalInkManager::savePenState() {
    const PenState state = getPenState();
    PenSettings stored;
    stored.type = state.type;
    stored.width = state.width;
    stored.color = state.color;
    stored.antialiasing = state.antialiasing;
    savePenSettings(nullptr, &stored);
    WriteSetting(nullptr, L"useMouseExtraPoints", &state.useMouseExtraPoints, SETTING_NUMBER, 0);
    writeGeneralSettings();
}

void LocalInkManager::beginMouseTransparent() {
    {
        Lock lock(lock_);
        if (transparentLevel_++ == 0) hookLibrary().setMouseTransparent();
    }
    broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

void LocalInkManager::endMouseTransparent() {
    {
        Lock lock(lock_);
        if (transparentLevel_ == 1) hookLibrary().unsetMouseTransparent();
        if (transparentLevel_ > 0) --transparentLevel_;
    }
    broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

bool LocalInkManager::isMouseTransparent() const {
    Lock lock(lock_);
    return transparentLevel_ > 0;
}

MouseTransparentScope::MouseTransparentScope(bool active)
    : manager_(active ? getLocalInkManager() : nullptr) {
    if (manager_) manager_->beginMouseTransparent();
}

MouseTransparentScope::~MouseTransparentScope() {
    // The manager may have been shut down while a dialog or menu ran.
    if (manager_ && manager_ == getLocalInkManager()) manager_->endMouseTransparent();
}

void enterBindingMode() {
    if (HWND service = getServiceWindow()) PostMessageW(service, WM_INK_BINDING_PANEL, 1, 0);
}

void leaveBindingMode() {
    if (HWND service = getServiceWindow()) PostMessageW(service, WM_INK_BINDING_PANEL, 0, 0);
}
