// The system client's recognition thread: it takes the writing's strokes in
// order, tells gestures from ink on the first stroke, feeds the ink to the
// recognition session, runs a handwritten macro for a closing loop, and when
// no stroke follows within the wait it delivers the result: the current
// recognition result, typed into the target at once.
#include <objbase.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "gestures/gestures.h"
#include "ink/InkSmoother.h"
#include "ink/InkStroke.h"
#include "ink/InkTrace.h"
#include "ink/KeyboardOutput.h"
#include "core/MemoryBlocks.h"
#include "ink/PenEventThread.h"
#include "ink/RecResult.h"
#include "recognition/RecWordList.h"
#include "ink/SelectionCorrection.h"
#include "ink/SystemClient.h"
#include "ink/TargetText.h"
#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "ink/LocalInkManager.h"
#include "core/PendingServices.h"
#include "ink/InkCollectorBridge.h"
#include "core/ServiceMessages.h"
#include "core/ServiceWork.h"
#include "core/Settings.h"
#include "core/ShellLink.h"
#include "core/SystemHooks.h"
#include "core/Trace.h"

namespace {

constexpr int kProfileStickerMs = 8000;
constexpr DWORD kAfterTypingMs = 300;
constexpr DWORD kAfterMenuMs = 50;

// A stroke that the collector sends to cancel the writing: (30000, -2) first.
bool isCancelMarker(const InkStroke& stroke) {
    return stroke.points() && stroke.count() > 0 && isFinishMarker(stroke.points()[0]);
}

// A one-character text of `code` (an allocMemory block), or null.
wchar_t* characterText(wchar_t code) {
    auto* text = static_cast<wchar_t*>(allocMemory(2 * static_cast<int>(sizeof(wchar_t))));
    if (!text) return nullptr;
    text[0] = code;
    text[1] = L'\0';
    return text;
}

// The gesture test of a first stroke: it sees the stroke in sixteenths of a
// pixel (quarter pixels shifted by 2), in 16-bit coordinates. Those would wrap
// from pixel 2048 on, so the stroke is first moved to its own corner (a
// gesture is a shape: where it lies does not matter), and a stroke too wide
// even then is tested with less precision rather than wrapped.
int32_t gestureOfStroke(const InkStroke& stroke) {
    const InkPoint* points = stroke.points();
    const int count = stroke.count();
    if (!points || count < 1) return 0;
    int left = INT16_MAX, top = INT16_MAX, right = INT16_MIN, bottom = INT16_MIN;
    for (int i = 0; i < count; ++i) {
        if (isSeparator(points[i])) continue;
        left = std::min<int>(left, points[i].x);
        top = std::min<int>(top, points[i].y);
        right = std::max<int>(right, points[i].x);
        bottom = std::max<int>(bottom, points[i].y);
    }
    if (left > right) return 0;
    int shift = 2;
    while (shift > 0 && std::max(right - left, bottom - top) > (INT16_MAX >> shift)) --shift;
    std::vector<InkPoint> moved(points, points + count);
    for (InkPoint& p : moved)
        if (!isSeparator(p)) p = makeInkPoint(p.x - left, p.y - top);
    InkPoint* smoothed = nullptr;
    int smoothedCount = 0;
    if (!smoothInkPoints(moved.data(), count, &smoothed, &smoothedCount, shift, true)) return 0;
    const int32_t code = GestureCheck(static_cast<int32_t>(GESTURE_MASK_SYSTEM_CLIENT),
                                      reinterpret_cast<const int32_t*>(smoothed), smoothedCount, 1);
    freeMemory(smoothed);
    return code;
}

// The stickers' tip windows belong to the UI thread, which alone can
// destroy them: the service window clears them (at once, without one).
void clearStickers() {
    if (HWND service = getServiceWindow())
        SendMessageW(service, WM_INK_CLEAR_STICKERS, 0, 0);
    else
        shellLink().clearStickers();
}

// Keys go to the foreground window. Another window may have come to the
// front while the user wrote (a window of the program, a notification area
// that pops up, a dialog): the writing's target is brought back first, so
// that a result traced as delivered has reached its field.
void bringTargetToFront(HWND target) {
    HWND root = target && IsWindow(target) ? GetAncestor(target, GA_ROOT) : nullptr;
    if (!root) root = hookLibrary().getTargetFgrWindow();
    if (!root || !IsWindow(root) || GetForegroundWindow() == root) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(root, &pid);
    if (pid == GetCurrentProcessId()) return;  // the program's own bars take no keys
    forceForegroundWindow(root);
}

// What the tests and the trace reader see of each delivery: the current
// result's text afterwards.
void traceCurrentResult() {
    RecResultRef current = getCurrentRecResult();
    if (!current) {
        debugTrace(L"SystemClient: no current result\n");
        return;
    }
    std::shared_ptr<const RecWordList> words = current->wordList();
    wchar_t* text = words ? words->joinText(false) : nullptr;
    debugTrace(L"SystemClient: current result \"%s\"\n", text ? text : L"");
    freeMemory(text);
}

}  // namespace

void SystemClient::runRecognition() {
    setThreadPriority(settings_.priorityRecInter);
    const bool com = SUCCEEDED(CoInitialize(nullptr));
    debugTrace(L"SystemClient: the recognition thread runs\n");
    writing_.wait = INFINITE;
    for (;;) {
        const DWORD waited = WaitForSingleObject(event_, writing_.wait);
        if (stopping_ || waited == WAIT_FAILED) break;
        ResetEvent(event_);

        TakenStroke taken = takeNextStroke(false);
        if (!taken.stroke) {
            // The writing is over when the pen has rested for the whole wait
            // too: a long stroke still being written wakes the pen thread.
            if (waited == WAIT_TIMEOUT && GetTickCount() - getLastPenWakeTick() >= writing_.wait)
                finishWriting();
            continue;
        }
        if (isCancelMarker(*taken.stroke)) {
            cancelWriting(writing_.wait != INFINITE);
            continue;
        }
        if (writing_.wait == INFINITE) {
            if (!beginWriting(*taken.stroke)) continue;
            checkTarget();
        } else if (writing_.pendingGesture) {
            // More ink after a pending gesture: it was ink, from the first stroke on.
            writing_.pendingGesture = 0;
            taken = takeNextStroke(true);
            checkTarget();
        }
        if (addStrokes(taken)) writing_.wait = static_cast<DWORD>(settings_.waitNextStrokeTimeout);
    }
    writing_.session.abandon();
    if (com) CoUninitialize();
}

SystemClient::TakenStroke SystemClient::takeNextStroke(bool rewind) {
    win::ScopedLock lock(lock_);
    if (!trace_) return {};
    if (rewind) lastTaken_ = nullptr;
    InkStroke* next = trace_->getNextStroke(lastTaken_);
    if (!next) return {};
    lastTaken_ = next;
    return {next, trace_->getNextStroke(next) != nullptr};
}

void SystemClient::setThreadPriority(int setting) {
    const int priority = threadPriorityOf(setting - 100);
    if (GetThreadPriority(GetCurrentThread()) != priority)
        SetThreadPriority(GetCurrentThread(), priority);
}

void SystemClient::finishWriting() {
    if (isTabletCollectorInUse() && hookLibrary().isTabletInputMissing()) closeTabletCollector();
    writing_.wait = INFINITE;
    if (LocalInkManager* manager = inkManager()) manager->unlockInking();
    if (writing_.pendingGesture) {
        const wchar_t code = writing_.pendingGesture;
        writing_.pendingGesture = 0;
        deliver(characterText(code), nullptr);
        return;
    }
    setThreadPriority(settings_.priorityRecFinal);
    RecWordList* list = writing_.session.finish();
    wchar_t* text = list ? list->joinText(false) : nullptr;
    if (list && !text) {
        // Nothing was read from the ink: no result takes the previous one's place.
        delete list;
        list = nullptr;
    }
    deliver(text, list);
    setThreadPriority(settings_.priorityRecInter);
}

void SystemClient::cancelWriting(bool underWay) {
    if (underWay)
        debugTrace(L"SystemClient:TRACE_IGNORE-->finish %d/%d\n",
                   static_cast<int>(GetTickCount() - getLastPenWakeTick()),
                   static_cast<int>(writing_.wait));
    // With no writing under way the marker itself is all there is to drop.
    writing_.session.abandon();
    deliver(nullptr, nullptr);
    writing_.wait = INFINITE;
}

bool SystemClient::beginWriting(const InkStroke& stroke) {
    writing_.pendingGesture = 0;
    writing_.inkStarted = false;
    writing_.macroRan = false;
    writing_.layout = nullptr;
    getRecMgr().selectLanguageOfFocus(&writing_.layout);

    const int32_t code = gestureOfStroke(stroke);
    const GestureAction action = systemGestureAction(code);
    switch (action.kind) {
        case GestureAction::NONE:
            return true;
        case GestureAction::DELIVER:
            deliver(characterText(action.code), nullptr);
            writing_.wait = INFINITE;
            return false;
        case GestureAction::PENDING:
            writing_.pendingGesture = action.code;
            writing_.wait = static_cast<DWORD>(settings_.waitGestureEndTimeout);
            return false;
        case GestureAction::END_WRITING:
        default:
            deliver(nullptr, nullptr);
            writing_.wait = INFINITE;
            return false;
    }
}

void SystemClient::checkTarget() {
    HWND target;
    {
        win::ScopedLock lock(lock_);
        target = traceWindow_;
    }
    writing_.targetKind = 0;
    writing_.needSpace = false;
    writing_.partial = false;
    writing_.charBefore = 0;
    writing_.selectionLeftMoved = false;
    writing_.targetSelection =
        checkTargetSelection(target, writing_.targetKind, writing_.needSpace, writing_.partial,
                             writing_.charBefore, &writing_.selectionLeftMoved);
    chooseProfileAndShowSticker(target, writing_.targetSelection && writing_.partial);
}

void SystemClient::chooseProfileAndShowSticker(HWND target, bool skipBinding) {
    RecMgr& manager = getRecMgr();
    CProfileChooser& chooser = manager.profileChooser();
    RECT area;
    bool haveArea = false;
    if (!chooser.isSet()) haveArea = chooser.chooseForWindow(target, &area, skipBinding);
    std::wstring name;
    chooser.take(name, false);
    if (!name.empty() && !manager.hasProfile(name.c_str())) name.clear();
    setLastWritingProfile(name);
    if (!generalSettings().showCurrentRecProfile || name.empty()) return;

    if (!haveArea && !(target && GetWindowRect(target, &area))) return;
    std::wstring text = name;
    const std::wstring language = manager.currentLanguage();
    if (!language.empty() && language != L"English") {
        wchar_t decorated[200];
        _snwprintf(decorated, 200, L"%ls (%.2ls)", name.c_str(), language.c_str());
        decorated[199] = L'\0';
        text = decorated;
    }
    clearStickers();
    shellLink().addSticker(area.left, area.top, 5, kProfileStickerMs, text.c_str());
    if (HWND service = getServiceWindow()) SendMessageW(service, WM_INK_SHOW_STICKERS, 0, 0);
}

bool SystemClient::addStrokes(TakenStroke taken) {
    while (taken.stroke) {
        const InkStroke& stroke = *taken.stroke;
        if (isCancelMarker(stroke)) {
            cancelWriting(true);
            return false;
        }
        RECT box;
        const bool bounded = pointListBounds(stroke.points(), stroke.count(), 0, 0, &box);
        if (!writing_.inkStarted) {
            writing_.inkStarted = true;
            writing_.spaceAfter = false;
            if (writing_.session.beginForInput()) {
                // A replaced selection that ended with a blank keeps one after the
                // new text; one that did not, gets none. Deliberately not the
                // other way round: dropping the space when the selection ended
                // with one would join the new text to the word that follows.
                writing_.spaceAfter = writing_.session.addSpaceAfter() &&
                                      !(writing_.targetSelection && !writing_.needSpace);
            }
            if (bounded)
                writing_.box = box;
            else
                SetRectEmpty(&writing_.box);
        } else if (bounded) {
            if (strokeCoversWriting(writing_.box, box) &&
                isClosedLoop(stroke.points(), stroke.count()) && !taken.moreWaiting && tryMacro()) {
                writing_.macroRan = true;
                // The writing was delivered: its trace is gone, and strokes
                // arriving now belong to the next writing.
                writing_.wait = INFINITE;
                return false;
            }
            UnionRect(&writing_.box, &writing_.box, &box);
        }
        if (writing_.session.isOpen()) writing_.session.addInk(stroke.points(), stroke.count());
        taken = takeNextStroke(false);
    }
    return true;
}

bool SystemClient::tryMacro() {
    RecModule* module = getRecMgr().getModule(recDir().c_str());
    if (!module || !module->hasMacros() || !module->findProfile(L"#sys-macro")) return false;
    WritingSession macro;
    if (!macro.begin(module, L"#sys-macro")) return false;
    std::vector<InkStroke*> strokes;
    HWND target;
    {
        win::ScopedLock lock(lock_);
        target = traceWindow_;
        for (int i = 0; trace_ && i < trace_->count(); ++i) strokes.push_back(trace_->getStroke(i));
    }
    // Only this thread ends a trace, so its strokes stay while it reads them.
    for (InkStroke* stroke : strokes)
        if (stroke) macro.addInk(stroke->points(), stroke->count());
    RecWordList* answers = macro.finish();
    wchar_t* name = answers ? answers->joinText(false) : nullptr;
    debugTrace(L"SystemClient: circled writing read as \"%ls\"\n", name ? name : L"");
    bool ran = false;
    if (name && module->hasMacro(name)) {
        writing_.session.abandon();
        deliver(nullptr, nullptr);
        module->runMacro(name, target, hookLibrary().getTargetModuleName());
        ran = true;
    }
    freeMemory(name);
    delete answers;
    return ran;
}

// ---- delivery ----

void SystemClient::deliver(wchar_t* text, RecWordList* list) {
    LocalInkManager* manager = inkManager();
    const GeneralSettings& general = generalSettings();
    if (general.showCurrentRecProfile) clearStickers();
    noteResultDelivery();
    if (manager) manager->unlockInking();

    InkTrace* trace;
    HWND target;
    bool nextWritingBegan = false;
    bool nextStrokesWaiting = false;
    {
        win::ScopedLock lock(lock_);
        trace = trace_;
        target = traceWindow_;
        trace_ = nullptr;
        traceWindow_ = nullptr;
        // Strokes after the last one taken came after the writing ended: they
        // are the next writing's, which goes on while this one is delivered.
        if (trace && lastTaken_ && trace->getNextStroke(lastTaken_)) {
            if (auto* next = new (std::nothrow) InkTrace(this)) {
                if (trace->moveStrokesAfter(lastTaken_, *next) > 0) {
                    trace_ = next;
                    traceWindow_ = inkWindow();
                } else {
                    delete next;
                }
            }
        }
        lastTaken_ = nullptr;
        nextStrokesWaiting = trace_ != nullptr;
        // A pen-down after the last stroke began the next writing too.
        nextWritingBegan = nextStrokesWaiting ||
                           (manager && manager->activationCount() != activationAtStroke_);
    }
    if (nextStrokesWaiting && event_) SetEvent(event_);
    const HKL layout = writing_.layout;
    const bool spaceAfter = writing_.spaceAfter;
    const wchar_t charBefore = writing_.charBefore;
    const bool selectionLeftMoved = writing_.selectionLeftMoved;
    writing_.selectionLeftMoved = false;
    writing_.inkStarted = false;
    writing_.pendingGesture = 0;

    if (general.autoPenOffMode) {
        // The timer is the service window's: its thread arms it.
        const UINT delay = autoPenOffDelayMs(general.autoPenOffTimeout);
        runOnServiceThread([delay] {
            if (HWND service = getServiceWindow())
                SetTimer(service, TIMER_AUTO_PEN_OFF, delay, nullptr);
        });
    }

    // The writing ends: the pen lets go of this client and the live ink goes;
    // not from under the next writing, whose pen is down already.
    if (manager && !nextWritingBegan) manager->releaseActiveClient(this, true);
    if (trace) {
        trace->redrawArea(0, 0);
        if (HWND front = hookLibrary().getTargetFgrWindow()) UpdateWindow(front);
    }

    if (text && (text[0] == 1 || text[0] == 2)) {
        deliverPendingGesture(text[0], trace, target);
        freeMemory(text);
        delete list;
        return;
    }

    const bool restore = text && text[0] == TYPE_REPLACE_OR_UNDO && text[1] == 0;
    RecResultRef made;
    if (restore) {
        restorePreviousRecResult();
    } else if (text || list) {
        if (auto* result = new (std::nothrow) RecResult(target, trace, list, layout)) {
            trace = nullptr;  // the result's now, and the list with it
            list = nullptr;
            made = adoptRecResult(result);
            if (made) {
                // The word-list menu types its corrections of this text as it is typed here.
                noteRecognitionSpaceAfter(spaceAfter);
                setCurrentRecResult(made, true, true);
            }
        }
    }
    const bool recognized = made && made->wordList();
    delete list;

    if (text && recognized && selectionLeftMoved) {
        // The target kept its selection widened over the character before the
        // caret: what is typed now would replace it. The writing stays the
        // current result, and nothing is typed.
        debugTrace(L"SystemClient: the target's selection was left moved; nothing typed\n");
        freeMemory(text);
        text = nullptr;
    }
    if (text) {
        if (manager) {
            bringTargetToFront(target);
            // Recognized words stand apart from what is before them in the field:
            // the profile's space comes only after a writing, so without this
            // blank a writing put right after a word would run into it.
            if (recognized && leadingSpaceWanted(charBefore, text)) typeChar(L' ', false, layout);
            const int typed =
                manager->typeTextByKeys(target, text, spaceAfter && recognized, layout);
            if (restore) {
                if (RecResultRef restored = getCurrentRecResult())
                    setLastTypedLength(restored->typedLength());
            } else if (made) {
                made->setTypedLength(typed);
            }
        }
        freeMemory(text);
        Sleep(kAfterTypingMs);
        RecResultRef current = getCurrentRecResult();
        if (current && current->target() != target) setCurrentRecResult(nullptr, true, true);
        if (recognized) showWordListMenu(target);
    }
    if (text || made || restore) traceCurrentResult();
    delete trace;
}

void SystemClient::deliverPendingGesture(wchar_t code, InkTrace* trace, HWND target) {
    POINT at = {0, 0};
    if (trace) {
        InkPixel last;
        if (InkStroke* first = trace->getStroke(0); first && first->getLastPoint(&last)) at = last;
    }
    delete trace;
    if (code == 2) {
        setCurrentRecResult(nullptr, true, true);
        postOutputRecord(getServiceWindow(),
                         OutputRecord{nullptr, hookLibrary().getLastFocusWindow(), {0, 0}, 1, 0});
        traceCurrentResult();
        return;
    }
    const WordListBarSettings& menu = wordListBarSettings();
    if (menu.autoShow != 2) at = menu.customMenuPosition;
    RecResultRef current = getCurrentRecResult();
    std::shared_ptr<const RecWordList> words = current ? current->wordList() : nullptr;
    // A posted request: the service window takes the list only while it is
    // still the current result's.
    showWordListForSelection(target, words.get(), at, false, true);
}

void SystemClient::showWordListMenu(HWND target) {
    LocalInkManager* manager = inkManager();
    const WordListBarSettings& menu = wordListBarSettings();
    if (!manager || menu.autoShow == 0 || manager->getActiveClient()) return;
    // The pen turns mouse for a moment so that the menu can be tapped; with no
    // menu to tap, the press of a writing that follows at once would be given
    // to the field as a click (moving its caret) instead of being ink.
    if (!correctionServices().hasWordListMenu()) return;
    RecResultRef current = getCurrentRecResult();
    std::shared_ptr<const RecWordList> words = current ? current->wordList() : nullptr;
    const RecWord* first = words ? words->wordAt(0) : nullptr;
    const RecAlt* best = first ? first->altAt(0) : nullptr;
    if (!best || static_cast<int32_t>(best->score()) <= 1) return;
    POINT at = menu.customMenuPosition;
    if (menu.autoShow == 2) GetCursorPos(&at);
    manager->beginMouseTransparent();
    if (!manager->getActiveClient()) {
        showWordListForSelection(target, words.get(), at, false, true);
        Sleep(kAfterMenuMs);
    }
    manager->endMouseTransparent();
}
