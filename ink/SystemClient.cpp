// The system client: its record, settings, stroke input, the recognition
// thread's life and the operations the rest of the program calls. The
// thread's steps and the delivery are in SystemClientRecognition.cpp.
#include "ink/SystemClient.h"

#include <objbase.h>

#include <mutex>
#include <new>
#include <string>

#include "ink/InkStroke.h"
#include "ink/InkTrace.h"
#include "ink/LiveInk.h"
#include "core/MemoryBlocks.h"
#include "ink/PenEventThread.h"
#include "ink/RecResult.h"
#include "recognition/RecMgr.h"
#include "ink/LocalInkManager.h"
#include "core/PendingServices.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "win/Checks.h"

namespace {

constexpr wchar_t kClientName[] = L"InnerSystemClient";
constexpr wchar_t kEventName[] = L"SystemClientRecognitionEvent";
// How long the destructor waits for the recognition thread to end: a delivery
// in progress types, waits 300 ms and may wait for the target's answers.
constexpr DWORD kJoinTimeoutMs = 10000;

std::atomic<SystemClient*> g_client{nullptr};
std::atomic<DWORD> g_lastDeliveryTick{0};
std::atomic<bool> g_lastSpaceAfter{false};

// The recognition thread's handle, for the pen-event thread's priority change.
std::mutex g_threadLock;
HANDLE g_thread = nullptr;

// The name of the profile chosen for the last writing; the result slot
// forgets it (under its own lock) while the recognition thread sets it.
std::mutex g_profileLock;
std::wstring g_lastWritingProfile;

// Waits for `handle` while answering the messages other threads send to this
// one: the recognition thread may be sending to the service window (the
// stickers) while the UI thread deletes the client.
bool waitAnsweringSentMessages(HANDLE handle, DWORD timeoutMs) {
    const DWORD started = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - started;
        if (elapsed >= timeoutMs) return false;
        const DWORD woke =
            MsgWaitForMultipleObjects(1, &handle, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
        if (woke == WAIT_OBJECT_0) return true;
        if (woke != WAIT_OBJECT_0 + 1) return false;
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

// ---- what gestures and loops mean ----

GestureAction systemGestureAction(int32_t gestureCode) {
    struct Entry {
        uint32_t code;
        GestureAction action;
    };
    static const Entry kActions[] = {
        {0x400, {GestureAction::DELIVER, 3}},        // undo
        {0x8, {GestureAction::DELIVER, 4}},          // copy
        {0x4, {GestureAction::DELIVER, 8}},          // backspace
        {0x40, {GestureAction::DELIVER, 5}},         // cut
        {0x800, {GestureAction::DELIVER, 9}},        // tab
        {0x4000, {GestureAction::DELIVER, 13}},      // enter
        {0x8000, {GestureAction::DELIVER, 32}},      // space
        {0x1000, {GestureAction::PENDING, 1}},       // correction
        {0x200, {GestureAction::PENDING, 2}},        // punctuation
        {0x80000000u, {GestureAction::PENDING, 6}},  // paste
    };
    if (gestureCode == 0) return {GestureAction::NONE, 0};
    for (const Entry& entry : kActions)
        if (entry.code == static_cast<uint32_t>(gestureCode)) return entry.action;
    return {GestureAction::END_WRITING, 0};
}

bool strokeCoversWriting(const RECT& writing, const RECT& stroke) {
    RECT common;
    if (!IntersectRect(&common, &writing, &stroke)) return false;
    const int64_t commonArea =
        int64_t{common.right - common.left} * int64_t{common.bottom - common.top};
    const int64_t writingArea =
        int64_t{writing.right - writing.left} * int64_t{writing.bottom - writing.top};
    return 3 * commonArea >= 2 * writingArea;
}

// ---- the client ----

LocalClientRecord SystemClient::defaultRecord() {
    LocalClientRecord r = {};
    lstrcpynW(r.name, kClientName, 60);
    r.enabled = 1;
    r.registrable = 1;
    r.flags = 5;
    r.inkParam1 = 1;    // "isClickAllowed"
    r.inkParam2 = 500;  // "startHoldTimeout"
    r.inkParam3 = 500;  // "endHoldTimeout"
    r.penType = 1;
    r.penWidth = 3;
    r.penColor = RGB(255, 0, 0);
    r.penAntialiasing = 1;
    r.inkMode = 1;
    return r;
}

SystemClient::SystemClient(const LocalClientRecord* record) : LocalClient(record) {
    InitializeCriticalSection(&lock_);
    InitializeCriticalSection(&settingsLock_);
    readSettings();
    applySettingsToPenThread();
    getRecMgr().setCurrentLanguage(recDir().c_str());

    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    event_ = CreateEventW(&inheritable, TRUE, FALSE, kEventName);
    if (!event_) {
        showMessage(L"Could not open interprocess event (RecognitionEvent).");
    } else {
        thread_ = CreateThread(&inheritable, 0, threadMain, this, 0, nullptr);
        if (!thread_) {
            debugTrace(L"SystemClient: the recognition thread did not start (%d)\n",
                       static_cast<int>(GetLastError()));
            CloseHandle(event_);
            event_ = nullptr;
        }
    }
    {
        std::lock_guard<std::mutex> guard(g_threadLock);
        g_thread = thread_;
    }
    g_client = this;
}

SystemClient::~SystemClient() {
    SystemClient* self = this;
    g_client.compare_exchange_strong(self, nullptr);
    // The thread reads the trace and the event: it goes first.
    const bool joined = stopRecognitionThread();
    writeSettings();
    if (!joined) {
        // Deleting cannot keep the object: whoever deletes a client first
        // has its thread stopped (stopThreads) and keeps the client when it
        // did not end. A checked run says so; otherwise what the thread may
        // still touch (trace, event, lock) is at least not freed here.
        debugTrace(L"SystemClient: deleted while its recognition thread runs\n");
        if (win::checkedRun())
            win::failCheck("SystemClient deleted while its recognition thread runs\n");
        return;
    }
    delete trace_;
    trace_ = nullptr;
    if (event_) CloseHandle(event_);
    event_ = nullptr;
    DeleteCriticalSection(&lock_);
    DeleteCriticalSection(&settingsLock_);
}

std::wstring SystemClient::recDir() const {
    win::ScopedLock lock(settingsLock_);
    return settings_.recDir;
}

bool SystemClient::stopRecognitionThread() {
    if (!thread_) return true;
    stopping_ = true;
    SetEvent(event_);
    // A delivery may wait for a target that does not answer: the handle stays,
    // so that the thread is never taken for ended while it can still run.
    if (!waitAnsweringSentMessages(thread_, kJoinTimeoutMs)) return false;
    {
        std::lock_guard<std::mutex> guard(g_threadLock);
        if (g_thread == thread_) g_thread = nullptr;
    }
    CloseHandle(thread_);
    thread_ = nullptr;
    return true;
}

DWORD WINAPI SystemClient::threadMain(void* self) {
    static_cast<SystemClient*>(self)->runRecognition();
    return 0;
}

int SystemClient::onNotify(int code, LPARAM) {
    switch (code) {
        case INK_EVENT_PEN_CHANGED: {
            LocalInkManager* manager = inkManager();
            if (!manager) return 0;
            const PenState pen = manager->getPenState();
            // The event comes with every change of the mouse-transparent
            // level too: the cursors are made again only for a new pen. It
            // comes from the recognition thread and the UI thread: the pen is
            // compared, taken and its cursors made in one step.
            takePen(pen.type, pen.width, pen.color, pen.antialiasing, pen.version, true);
            return 0;
        }
        case INK_EVENT_WRITE_ICON_SETTINGS:
            writeSettings();
            return 0;
        case INK_EVENT_READ_ICON_SETTINGS:
            readSettings();
            return 0;
        case 7: {
            const std::wstring language = getRecMgr().currentLanguage();
            win::ScopedLock lock(settingsLock_);
            lstrcpynW(settings_.recDir, language.c_str(), 128);
            return 0;
        }
        default:
            return 0;
    }
}

int SystemClient::onStrokes(InkPoint* points, int count) {
    LocalInkManager* manager = inkManager();
    RECT area;
    const bool bounded = pointListBounds(points, count, 14, 14, &area);
    bool kept = false;
    if (manager && manager->getActiveClient() == this) {
        int32_t pen[kPenWords];
        penWords(pen);
        win::ScopedLock lock(lock_);
        if (!trace_) {
            trace_ = new (std::nothrow) InkTrace(this);
            traceWindow_ = inkWindow();
        }
        if (trace_) {
            InkStroke* stroke = new (std::nothrow) InkStroke(points, count, pen);
            if (stroke) {
                points = nullptr;  // the stroke's now, also when the trace cannot take it
                kept = trace_->AddStroke(stroke) >= 0;
            }
            if (kept) activationAtStroke_ = manager->activationCount();
        }
    }
    if (!kept) {
        if (bounded) restoreScreenArea(area);
        freeMemory(points);
    }
    if (event_) SetEvent(event_);
    return kept ? 1 : 0;
}

void SystemClient::onReset() { setCurrentRecResult(nullptr, false, true); }

// ---- settings ----

namespace {

// One value of the client's settings, in the order they are written.
struct SettingField {
    const wchar_t* name;
    int type;
    void* field;
};

}  // namespace

template <typename F>
void SystemClient::forEachSetting(F visit) {
    LocalClientRecord& r = record();
    SystemClientSettings& s = settings_;
    const SettingField fields[] = {
        {L"isClickAllowed", SETTING_NUMBER, &r.inkParam1},
        {L"startHoldTimeout", SETTING_NUMBER, &r.inkParam2},
        {L"endHoldTimeout", SETTING_NUMBER, &r.inkParam3},
        {L"waitNextStrokeTimeout", SETTING_NUMBER_DIRECT, &s.waitNextStrokeTimeout},
        {L"waitGestureEndTimeout", SETTING_NUMBER_DIRECT, &s.waitGestureEndTimeout},
        {L"recDir", SETTING_STRING, s.recDir},
        {L"priorityInkCollector", SETTING_NUMBER, &s.priorityInkCollector},
        {L"priorityRecInter", SETTING_NUMBER, &s.priorityRecInter},
        {L"priorityRecFinal", SETTING_NUMBER, &s.priorityRecFinal},
        {L"priorityMouseCollector", SETTING_NUMBER, &s.priorityMouseCollector},
    };
    for (const SettingField& f : fields) visit(f.name, f.type, f.field);
}

void SystemClient::readSettings() {
    win::ScopedLock lock(settingsLock_);
    const int recDirSize = static_cast<int>(sizeof settings_.recDir / sizeof(wchar_t));
    forEachSetting([&](const wchar_t* value, int type, void* field) {
        ReadSetting(name(), value, field, type, type == SETTING_STRING ? recDirSize : 0);
    });
    // The stored waits may hold anything: each runs within its sane range.
    SystemClientSettings& s = settings_;
    s.waitNextStrokeTimeout = clampedWaitNextStroke(s.waitNextStrokeTimeout);
    s.waitGestureEndTimeout =
        clampedWaitGestureEnd(s.waitGestureEndTimeout, s.waitNextStrokeTimeout);
}

void SystemClient::writeSettings() {
    win::ScopedLock lock(settingsLock_);
    forEachSetting([&](const wchar_t* value, int type, void* field) {
        WriteSetting(name(), value, field, type, 0);
    });
}

void SystemClient::applySettingsToPenThread() {
    setWaitNextStrokeTimeout(settings_.waitNextStrokeTimeout);
    setPenThreadPriorities(settings_.priorityInkCollector, settings_.priorityRecFinal);
}

// ---- the profile of the last writing ----

std::wstring getLastWritingProfile() {
    std::lock_guard<std::mutex> guard(g_profileLock);
    return g_lastWritingProfile;
}

void setLastWritingProfile(const std::wstring& name) {
    std::lock_guard<std::mutex> guard(g_profileLock);
    g_lastWritingProfile = name;
}

void forgetLastWritingProfile() {
    std::lock_guard<std::mutex> guard(g_profileLock);
    g_lastWritingProfile.clear();
}

// ---- the program's system client ----

SystemClient* getSystemClient() { return g_client; }

bool startSystemClient(HINSTANCE) {
    const LocalClientRecord record = SystemClient::defaultRecord();
    auto* client = new (std::nothrow) SystemClient(&record);
    if (!client) return false;
    client->onNotify(INK_EVENT_PEN_CHANGED, 0);
    if (!client->registerSelf()) {
        // A recognition thread that did not end keeps the client alive, as the
        // manager keeps its clients: freed, the thread would run on in it.
        if (client->stopThreads())
            delete client;
        else
            debugTrace(L"SystemClient: not registered, and its thread did not end; it stays\n");
        return false;
    }
    return true;
}

bool getSystemClientTimeouts(int* waitNextStroke, int* startHold, int* endHold) {
    SystemClient* client = g_client;
    if (!client) return false;
    if (waitNextStroke) *waitNextStroke = client->settings().waitNextStrokeTimeout;
    if (startHold) *startHold = client->record().inkParam2;
    if (endHold) *endHold = client->record().inkParam3;
    return true;
}

bool setSystemClientTimeouts(const int* waitNextStroke, const int* startHold, const int* endHold) {
    SystemClient* client = g_client;
    if (!client) return false;
    SystemClientSettings& s = client->settings();
    if (waitNextStroke) s.waitNextStrokeTimeout = clampedWaitNextStroke(*waitNextStroke);
    if (startHold) client->record().inkParam2 = *startHold;
    if (endHold) client->record().inkParam3 = *endHold;
    if (s.waitGestureEndTimeout > s.waitNextStrokeTimeout)
        s.waitGestureEndTimeout = s.waitNextStrokeTimeout;
    client->onNotify(INK_EVENT_WRITE_ICON_SETTINGS, 0);
    setWaitNextStrokeTimeout(s.waitNextStrokeTimeout);
    return true;
}

void setRecognitionThreadPriority(int priority) {
    std::lock_guard<std::mutex> guard(g_threadLock);
    if (g_thread) SetThreadPriority(g_thread, priority);
}

DWORD getLastResultDeliveryTick() { return g_lastDeliveryTick; }

void noteResultDelivery() { g_lastDeliveryTick = GetTickCount(); }

void noteRecognitionSpaceAfter(bool spaceAfter) { g_lastSpaceAfter = spaceAfter; }

bool lastRecognitionSpaceAfter() { return g_lastSpaceAfter; }
