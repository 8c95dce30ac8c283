// A recognition result bound to its target (window and keyboard layout), and
// the process-wide slot of the current, previous and restorable result.
//
// The slot is changed by the recognition thread and read by the UI thread
// while the other may replace it: results are handed out by shared ownership,
// so a reader keeps the result (and the word list it took) alive for as long
// as it holds it, whatever the slot does meanwhile.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "ink/InkTrace.h"
#include "recognition/RecWordList.h"
#include "core/VexaSuper.h"

#ifdef _WIN32
#include <windows.h>
using RecTargetWindow = HWND;
using RecKeyboardLayout = HKL;
#else
using RecTargetWindow = void*;
using RecKeyboardLayout = void*;
#endif

class RecResult : public VexaSuper {
    VEXA_CLASS(RecResult, VexaSuper)

  public:
    // Takes `ink` (the strokes of the writing; null when not made from ink)
    // and `words` (may be null).
    RecResult(RecTargetWindow target, InkTrace* ink, RecWordList* words, RecKeyboardLayout layout);
    ~RecResult() override;
    RecResult(const RecResult&) = delete;
    RecResult& operator=(const RecResult&) = delete;

    RecTargetWindow target() const { return target_; }
    RecKeyboardLayout layout() const { return layout_; }
    InkTrace* ink() const { return ink_.get(); }

    // The word list now (null when none); the holder keeps it alive even when
    // the result's list is replaced meanwhile.
    std::shared_ptr<const RecWordList> wordList() const;
    // Takes `words` in place of the present list.
    void setWordList(RecWordList* words);

    // Characters the typing routine reported for this result's text; -1 until typed.
    int typedLength() const { return typedLength_; }
    void setTypedLength(int length) { typedLength_ = length; }

  private:
    const RecTargetWindow target_;
    const RecKeyboardLayout layout_;
    std::unique_ptr<InkTrace> ink_;
    mutable std::mutex wordsLock_;
    std::shared_ptr<const RecWordList> words_;
    std::atomic<int> typedLength_{-1};
};

using RecResultRef = std::shared_ptr<RecResult>;

// Takes a new result into shared ownership; null when memory runs out (the
// result is then deleted).
RecResultRef adoptRecResult(RecResult* result);

// The current result (null when none); the caller's reference keeps it alive.
RecResultRef getCurrentRecResult();
// The current result's keyboard layout, or null.
RecKeyboardLayout getCurrentRecResultLayout();

// Makes `result` (or none) current. A new result drops the pending profile
// override of level 0; none forgets the profile of the last writing. Making
// the current result current again changes nothing. Otherwise the current one
// becomes the previous one (restorable when `keepRestorable`). With `notify`,
// the change is announced after the slot's lock is let go.
void setCurrentRecResult(RecResultRef result, bool keepRestorable, bool notify);

// The current result goes; the previous one comes back when it is restorable.
// No announcement.
void restorePreviousRecResult();

// Takes `words` into the current result in place of its list; false (and the
// list deleted) when there is no current result. With `notify`, announced.
bool replaceCurrentWordList(RecWordList* words, bool notify);

// Drops the current and the previous result (shut-down).
void clearRecResults();

// True when a previous result is kept and may be made current again.
bool isPreviousRecResultRestorable();
RecResultRef getPreviousRecResult();

// What the slot tells the rest of the program. Each entry may be null (then
// nothing happens); the program installs them at start-up, the binding work
// and the system client provide the first two.
struct RecResultEvents {
    // Drops the pending profile choice (a "UseProfile" command's) up to `level`.
    void (*clearPendingProfileChoice)(int level) = nullptr;
    // Forgets the name of the profile chosen for the last writing.
    void (*forgetLastWritingProfile)() = nullptr;
    // The current result changed: event 6 to every ink client.
    void (*resultChanged)() = nullptr;
};
void setRecResultEvents(const RecResultEvents& events);
