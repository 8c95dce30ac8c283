// The system client: the ink client for writing over any application window.
//
// It collects the strokes of one writing into an ink trace (the pen-event
// thread hands them over, one `onStrokes` each), and its own recognition
// thread decides stroke by stroke and by time-outs whether the writing is a
// gesture, a handwritten macro or text. Text is recognized with the profile
// chosen for the target field, becomes the current recognition result and is
// typed into the target at once; the word-list menu and the punctuation bar
// are reached through the service window.
//
// Threads: `onStrokes` and `onReset` run on the pen-event thread, the
// notifications on the UI thread, everything else on the recognition thread.
// The trace and the last stroke the thread took are guarded by the client's
// lock; the recognition thread is stopped and joined before the client goes.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "ink/LocalClient.h"
#include "ink/WritingSession.h"
#include "win/ScopedLock.h"

class InkStroke;
class InkTrace;
class RecWordList;

// What a gesture code means for the system client.
struct GestureAction {
    enum Kind { NONE, DELIVER, PENDING, END_WRITING };
    Kind kind;
    wchar_t code;  // DELIVER: the character to deliver; PENDING: the pending code
};
// 0: the stroke is ink; a known code: a character to deliver (space,
// backspace, enter, tab, copy, cut, undo) or a pending code (correction,
// punctuation, paste) that more ink cancels; any other: the writing ends.
GestureAction systemGestureAction(int32_t gestureCode);

// The closed-loop test of a later stroke against the writing so far: the
// boxes intersect and three times the intersection covers at least twice the
// writing's box.
bool strokeCoversWriting(const RECT& writing, const RECT& stroke);

// A negative "waitGestureEndTimeout" (an endless wait) runs as its default,
// never above the wait for the next stroke.
constexpr int kDefaultWaitGestureEnd = 600;
constexpr int clampedWaitGestureEnd(int milliseconds, int waitNextStroke) {
    return milliseconds >= 0                         ? milliseconds
           : kDefaultWaitGestureEnd < waitNextStroke ? kDefaultWaitGestureEnd
                                                     : waitNextStroke;
}

// The client's values under its settings subkey "InnerSystemClient".
struct SystemClientSettings {
    int waitNextStrokeTimeout = 1000;
    int waitGestureEndTimeout = 600;
    wchar_t recDir[128] = L"English";
    int priorityInkCollector = 101;
    int priorityRecInter = 98;
    int priorityRecFinal = 102;
    int priorityMouseCollector = 102;
};

class SystemClient : public LocalClient {
    VEXA_CLASS(SystemClient, LocalClient)

  public:
    // The client record of the program's system client.
    static LocalClientRecord defaultRecord();

    // Loads the settings, selects "recDir" in the recognizer manager, makes
    // the recognition event and starts the recognition thread. The client
    // takes strokes even when the thread could not be started.
    explicit SystemClient(const LocalClientRecord* record);
    // Stops and joins the recognition thread, then deletes the trace, saves
    // the settings and closes the event.
    ~SystemClient() override;

    // 3 pen changed, 4 write the settings, 5 read them, 7 the current language changed.
    int onNotify(int code, LPARAM argument) override;
    // Appends the stroke to the writing's trace while this client is the
    // active one (otherwise the ink is erased and the points freed), then
    // wakes the recognition thread. 1 when the stroke was kept.
    int onStrokes(InkPoint* points, int count) override;
    // A stroke was cancelled: the current result is finished.
    void onReset() override;

    const SystemClientSettings& settings() const { return settings_; }
    SystemClientSettings& settings() { return settings_; }
    // "recDir", read under the settings lock: the UI thread writes it (the
    // language changed, the settings read again) while the recognition
    // thread reads it.
    std::wstring recDir() const;
    bool isRecognitionThreadRunning() const { return thread_ != nullptr; }
    bool stopThreads() override { return stopRecognitionThread(); }

  private:
    static DWORD WINAPI threadMain(void* self);
    void runRecognition();
    // False when the thread did not end in time; it is then still taken for
    // running, and a later call waits again.
    bool stopRecognitionThread();

    // ---- the recognition thread's steps ----
    struct TakenStroke {
        InkStroke* stroke = nullptr;
        bool moreWaiting = false;  // another stroke follows it in the trace
    };
    // The stroke after the last one taken (the first one after `rewind`).
    TakenStroke takeNextStroke(bool rewind);
    void finishWriting();
    // The writing is dropped (`underWay`: it had begun), nothing delivered.
    void cancelWriting(bool underWay);
    // The first stroke of a writing: the language of the focus, then the gesture test.
    // True when the stroke goes on as ink.
    bool beginWriting(const InkStroke& stroke);
    // What the target holds, then the profile to use and its sticker.
    void checkTarget();
    void chooseProfileAndShowSticker(HWND target, bool skipBinding);
    // Every stroke available from `first` on; false when the writing ended
    // meanwhile (a macro ran, or the writing was cancelled).
    bool addStrokes(TakenStroke first);
    // The whole writing read with the "#sys-macro" profile; true when it
    // named a macro, which ran instead of the writing's delivery.
    bool tryMacro();
    void setThreadPriority(int setting);

    // ---- delivery (recognition thread) ----
    // Ends the writing: the text (an allocMemory block or null, freed here)
    // and the list (null, or taken here) go out as the current result and as
    // keystrokes to the target; with neither, the writing is only dropped.
    void deliver(wchar_t* text, RecWordList* list);
    void deliverPendingGesture(wchar_t code, InkTrace* trace, HWND target);
    void showWordListMenu(HWND target);

    // Calls visit(name, type, field) for each value of the settings subkey.
    template <typename F>
    void forEachSetting(F visit);
    void readSettings();
    void writeSettings();
    void applySettingsToPenThread();

    SystemClientSettings settings_;
    // Guards "recDir" and the settings' reads and writes as a whole.
    mutable CRITICAL_SECTION settingsLock_;
    HANDLE event_ = nullptr;
    HANDLE thread_ = nullptr;
    std::atomic<bool> stopping_{false};

    // Guarded by lock_: the writing's strokes, its target and the last stroke taken.
    mutable CRITICAL_SECTION lock_;
    InkTrace* trace_ = nullptr;
    HWND traceWindow_ = nullptr;
    InkStroke* lastTaken_ = nullptr;
    // The ink manager's activation count when the last stroke was kept.
    unsigned activationAtStroke_ = 0;

    // The recognition thread's own state of the writing under way.
    struct Writing {
        DWORD wait = INFINITE;  // INFINITE: no writing under way
        wchar_t pendingGesture = 0;
        bool inkStarted = false;  // the first ink stroke was taken
        HKL layout = nullptr;
        int targetKind = 0;
        bool targetSelection = false;
        bool needSpace = false;
        bool partial = false;
        wchar_t charBefore = 0;
        // Reading charBefore left the target's selection widened over it.
        bool selectionLeftMoved = false;
        bool spaceAfter = false;
        RECT box = {0, 0, 0, 0};
        bool macroRan = false;
        int appliedPriority = 0;
        WritingSession session;
    };
    Writing writing_;
};

// The program's system client (null before start-up made it and after it went).
// Start-up makes it with startSystemClient (shell/PendingServices.h), which
// also declares the operations on the last writing's profile, the delivery
// time and the recognition thread's priority that are defined beside it.
SystemClient* getSystemClient();

// The name of the profile chosen for the last writing (empty when none).
std::wstring getLastWritingProfile();
void setLastWritingProfile(const std::wstring& name);

// For the settings pages: "waitNextStrokeTimeout" and the hold time-outs;
// false without a system client. Each argument may be null.
bool getSystemClientTimeouts(int* waitNextStroke, int* startHold, int* endHold);
// Stores the given values (null: unchanged), keeps "waitGestureEndTimeout"
// not above "waitNextStrokeTimeout", and saves the settings.
bool setSystemClientTimeouts(const int* waitNextStroke, const int* startHold, const int* endHold);

// Marks a delivery of a result now (getLastResultDeliveryTick).
void noteResultDelivery();
// Whether the last recognition's text was typed with a space after it (its
// profile's "addSpaceAfter", which may be the field's own profile): the
// word-list menu types its corrections of that text the same way.
void noteRecognitionSpaceAfter(bool spaceAfter);
bool lastRecognitionSpaceAfter();

// The delay of the automatic pen-off timer for "autoPenOffTimeout" seconds:
// within what a system timer holds (USER_TIMER_MAXIMUM); negative gives 0.
constexpr UINT autoPenOffDelayMs(int seconds) {
    return seconds <= 0                   ? 0u
           : seconds >= 0x7FFFFFFF / 1000 ? 0x7FFFFFFFu
                                          : static_cast<UINT>(seconds) * 1000u;
}
