#include "ink/LocalInkManager.h"

#include <new>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "ink/IconsManager.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/ShellLink.h"
#include "core/Settings.h"
#include "core/SystemHooks.h"
#include "core/Trace.h"
#include "ink/KeyboardOutput.h"
#include "ink/LiveInk.h"
#include "ink/LocalClient.h"
#include "core/MemoryBlocks.h"
#include "ink/PenEventThread.h"
#include "win/ScopedLock.h"

namespace {

bool keyDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

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
    InitializeCriticalSection(&deliveryLock_);
    loadPenState();
}

LocalInkManager::~LocalInkManager() {
    savePenState();
    // No stroke may reach a client that is being deleted.
    stopPenEventThread();
    IconsManager* icons = icons_;
    icons_ = nullptr;
    bool iconsRegistered = false;
    for (;;) {
        LocalClient* client = nullptr;
        {
            win::ScopedLock lock(lock_);
            if (clientCount_ == 0) break;
            client = clients_[--clientCount_];
            clients_[clientCount_] = nullptr;
            if (active_ == client) active_ = nullptr;
        }
        if (client == static_cast<LocalClient*>(icons)) iconsRegistered = true;
        waitForNotificationsOf(client);
        if (client->stopThreads()) delete client;
    }
    if (icons && !iconsRegistered) delete icons;
    DeleteCriticalSection(&deliveryLock_);
    DeleteCriticalSection(&lock_);
}

bool LocalInkManager::stopThreads() {
    bool ended = stopPenEventThread();
    for (LocalClient* client : clients()) ended = client->stopThreads() && ended;
    return ended;
}

bool destroyLocalInkManager(LocalInkManager* manager) {
    if (!manager) return true;
    if (!manager->stopThreads()) {
        debugTrace(L"LocalInkManager: a thread did not end; the manager and its clients stay\n");
        return false;
    }
    delete manager;
    return true;
}

bool LocalInkManager::createIconsManager() {
    if (!penEventThreadStarted_) penEventThreadStarted_ = startPenEventThread();
    if (!icons_) {
        icons_ = new (std::nothrow) IconsManager;
        if (icons_) icons_->addIcon(1);
    }
    return icons_ != nullptr;
}

IconsManager* LocalInkManager::getIconsManager() const { return icons_; }

LocalClient* LocalInkManager::getActiveClient() const {
    win::ScopedLock lock(lock_);
    return active_;
}

int LocalInkManager::registerClient(LocalClient* client) {
    if (!client || client->record().registrable != 1) return 0;
    win::ScopedLock lock(lock_);
    for (int i = 0; i < clientCount_; ++i)
        if (clients_[i] == client) return 1;
    if (clientCount_ + 1 >= kMaxClients + 1) return 0;
    if (client->record().flags & CLIENT_REGISTER_FIRST) {
        for (int i = clientCount_; i > 0; --i) clients_[i] = clients_[i - 1];
        clients_[0] = client;
    } else {
        clients_[clientCount_] = client;
    }
    ++clientCount_;
    return 1;
}

int LocalInkManager::unregisterClient(LocalClient* client, bool deleteAfterwards) {
    bool found = false;
    {
        win::ScopedLock lock(lock_);
        for (int i = 0; i < clientCount_; ++i) {
            if (clients_[i] != client) continue;
            for (int j = i; j + 1 < clientCount_; ++j) clients_[j] = clients_[j + 1];
            clients_[--clientCount_] = nullptr;
            found = true;
            break;
        }
        // The pen-event thread must not hand the next stroke to a client that left.
        if (found && active_ == client) active_ = nullptr;
        if (found && client == static_cast<LocalClient*>(icons_)) icons_ = nullptr;
    }
    if (found && deleteAfterwards) {
        // Waits for a stroke being handed to it right now, and for its
        // notifications on other threads.
        EnterCriticalSection(&deliveryLock_);
        LeaveCriticalSection(&deliveryLock_);
        waitForNotificationsOf(client);
        // A thread of its own that did not end keeps it alive.
        if (client->stopThreads())
            delete client;
        else
            debugTrace(L"LocalInkManager: a client's thread did not end; the client stays\n");
    }
    return found ? 1 : 0;
}

bool LocalInkManager::isRegistered(const LocalClient* client) const {
    win::ScopedLock lock(lock_);
    for (int i = 0; i < clientCount_; ++i)
        if (clients_[i] == client) return true;
    return false;
}

std::vector<LocalClient*> LocalInkManager::clients() const {
    win::ScopedLock lock(lock_);
    return std::vector<LocalClient*>(clients_, clients_ + clientCount_);
}

LocalClient* LocalInkManager::findClientAt(HWND focusWindow, int x, int y) {
    const std::vector<LocalClient*> list = clients();
    if (list.empty()) return nullptr;
    const bool markup = serviceState().markupMode;
    LocalClient* markupClient = markup ? shellLink().markupBarClient() : nullptr;
    if (markup && !shellLink().markupBarExists()) return nullptr;
    LocalClient* found = nullptr;
    // Clients may register or leave while the test runs: walk a copy.
    for (LocalClient* client : list) {
        if (!isRegistered(client)) continue;
        if (markup) {
            if (client == markupClient) return client;
            continue;
        }
        if (client->record().enabled && client->claimsPoint(focusWindow, x, y)) {
            found = client;
            break;
        }
    }
    if (!found || (found->record().flags & CLIENT_TAKES_PEN_DOWN)) return nullptr;
    return found;
}

LocalClient* LocalInkManager::activateClient(LocalClient* client, HWND window, int x, int y) {
    {
        win::ScopedLock lock(lock_);
        active_ = nullptr;
        if (!client) return nullptr;
        active_ = client;
        ++activations_;
    }
    if (!client->beginInk(window, x, y)) {
        {
            win::ScopedLock lock(lock_);
            if (active_ == client) active_ = nullptr;
        }
        broadcastEvent(INK_EVENT_REFUSED, reinterpret_cast<LPARAM>(client));
        return nullptr;
    }
    applyClientInkParams(client);
    broadcastEvent(INK_EVENT_ACCEPTED, reinterpret_cast<LPARAM>(client));
    return client;
}

void LocalInkManager::applyClientInkParams(LocalClient* client) {
    auto handle = [](HICON icon) { return static_cast<int>(reinterpret_cast<INT_PTR>(icon)); };
    const LocalClientRecord& r = client->record();
    HICON cursor1 = nullptr, cursor2 = nullptr;
    client->cursors(cursor1, cursor2);
    const int extraPoints = getPenState().useMouseExtraPoints;
    const int markupCursor = handle(appGlobals().markupCursor);
    const bool markupKeys =
        generalSettings().markupAvailable && keyDown(VK_CONTROL) && keyDown(VK_SHIFT);
    if (serviceState().markupMode)
        applyInkDriverParams(1, 1, 0, 0, 0, extraPoints, markupCursor, markupCursor);
    else if (markupKeys)
        applyInkDriverParams(1, 1, r.inkParam1, r.inkParam2, r.inkParam3, extraPoints,
                             handle(cursor2), markupCursor);
    else
        applyInkDriverParams(1, 1, r.inkParam1, r.inkParam2, r.inkParam3, extraPoints,
                             handle(cursor2), handle(cursor1));
}

unsigned LocalInkManager::activationCount() const {
    win::ScopedLock lock(lock_);
    return activations_;
}

int LocalInkManager::beginActiveInk() {
    int startHold = 0, endHold = 0;
    {
        win::ScopedLock lock(lock_);
        if (!active_) return 0;
        startHold = active_->record().inkParam2;
        endHold = active_->record().inkParam3;
    }
    resetPenEventState(startHold, endHold);
    updateScreenMetrics();
    return 1;
}

bool LocalInkManager::activeClientTakesInk() const {
    win::ScopedLock lock(lock_);
    return !active_ || active_->record().inkMode != kInkModeStreamPoints;
}

bool LocalInkManager::activeClientPen(int32_t words[4]) const {
    win::ScopedLock lock(lock_);
    if (!active_) return false;
    active_->penWords(words);
    return true;
}

void LocalInkManager::passStrokeToActiveClient(InkPoint* points, int count) {
    win::ScopedLock delivery(deliveryLock_);
    LocalClient* client = getActiveClient();
    if (client) {
        client->onStrokes(points, count);
    } else {
        RECT area;
        if (pointListBounds(points, count, 14, 14, &area)) restoreScreenArea(area);
        freeMemory(points);
    }
}

void LocalInkManager::notifyActiveClient() {
    win::ScopedLock delivery(deliveryLock_);
    if (LocalClient* client = getActiveClient()) client->onReset();
}

void LocalInkManager::releaseActiveClient(LocalClient* client, bool wait) {
    {
        win::ScopedLock lock(lock_);
        if (!client || active_ != client) return;
        active_ = nullptr;
    }
    if (appGlobals().inkDriverMode == 1) {
        applyInkDriverParams(getPenState().penOn, 0, 0, 0, 0, 0, 0, 0);
        if (wait) Sleep(100);
    }
    client->onNotify(INK_EVENT_RELEASED, reinterpret_cast<LPARAM>(client));
}

void LocalInkManager::reselectActiveClient() {
    win::ScopedLock lock(lock_);
    if (!active_) return;
    for (int i = 0; i < clientCount_; ++i)
        if (clients_[i] == active_) return;
    active_ = nullptr;
}

void LocalInkManager::unlockInking() { hookLibrary().lockInking(0); }

int LocalInkManager::broadcastEvent(int code, LPARAM argument) {
    int result = 0;
    const DWORD thread = GetCurrentThreadId();
    // A client may leave (and be deleted) inside its own notification: walk a copy.
    for (LocalClient* client : clients()) {
        {
            // Registered and marked as being notified in one step, so that an
            // unregistering thread either sees the mark or the client is skipped.
            win::ScopedLock lock(lock_);
            if (!isRegistered(client)) continue;
            notifying_.push_back({client, thread});
        }
        result = client->onNotify(code, argument);
        win::ScopedLock lock(lock_);
        for (auto it = notifying_.begin(); it != notifying_.end(); ++it) {
            if (it->client == client && it->thread == thread) {
                notifying_.erase(it);
                break;
            }
        }
    }
    return result;
}

void LocalInkManager::waitForNotificationsOf(const LocalClient* client) const {
    const DWORD self = GetCurrentThreadId();
    for (;;) {
        {
            win::ScopedLock lock(lock_);
            bool elsewhere = false;
            for (const Notifying& n : notifying_)
                elsewhere = elsewhere || (n.client == client && n.thread != self);
            if (!elsewhere) return;
        }
        // The notified client may be sending to this thread: answer while waiting.
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        Sleep(1);
    }
}

int LocalInkManager::typeTextByKeys(HWND window, const wchar_t* text, bool wantSpace, HKL layout) {
    return typeTextToTarget(window, text, wantSpace, layout);
}

void LocalInkManager::setPenOn(int on) {
    HWND service = getServiceWindow();
    if (service) KillTimer(service, TIMER_AUTO_PEN_OFF);
    serviceState().autoPenOffPending = false;
    {
        win::ScopedLock lock(lock_);
        if (pen_.penOn == on) return;
        pen_.penOn = on;
        ++pen_.version;
    }
    applyInkDriverParams(on, 0, 1, 0, 0, 0, 0, 0);
    broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

PenState LocalInkManager::getPenState() const {
    win::ScopedLock lock(lock_);
    return pen_;
}

void LocalInkManager::setPenState(const PenState& state, bool force) {
    bool changed = force;
    if (force || state.penOn != getPenState().penOn) setPenOn(state.penOn);
    {
        win::ScopedLock lock(lock_);
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
        if (changed) ++pen_.version;
    }
    if (changed) broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

void LocalInkManager::loadPenState() {
    {
        win::ScopedLock lock(lock_);
        pen_.penOn = 0;
    }
    const PenState loaded = defaultPenState();
    setPenOn(loaded.penOn);
    {
        win::ScopedLock lock(lock_);
        pen_.useMouseExtraPoints = loaded.useMouseExtraPoints;
        pen_.type = loaded.type;
        pen_.width = loaded.width;
        pen_.color = loaded.color;
        pen_.antialiasing = loaded.antialiasing;
        ++pen_.version;
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
        win::ScopedLock lock(lock_);
        if (transparentLevel_++ == 0) hookLibrary().setMouseTransparent();
    }
    broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

void LocalInkManager::endMouseTransparent() {
    {
        win::ScopedLock lock(lock_);
        if (transparentLevel_ == 1) hookLibrary().unsetMouseTransparent();
        if (transparentLevel_ > 0) --transparentLevel_;
    }
    broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

bool LocalInkManager::isMouseTransparent() const {
    win::ScopedLock lock(lock_);
    return transparentLevel_ > 0;
}

InkManagerMode LocalInkManager::mode() const {
    win::ScopedLock lock(lock_);
    return mode_;
}

InkManagerMode LocalInkManager::setMode(InkManagerMode mode) {
    win::ScopedLock lock(lock_);
    const InkManagerMode previous = mode_;
    mode_ = mode;
    return previous;
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
