#include "ink/RecResult.h"

#include <new>

namespace {

// The result lock and what it guards.
struct ResultSlot {
    std::mutex lock;
    RecResultRef current;
    RecResultRef previous;
    bool restorable = false;
    RecResultEvents events;
};

ResultSlot& slot() {
    static ResultSlot s;
    return s;
}

void announce(bool notify) {
    if (!notify) return;
    void (*changed)() = nullptr;
    {
        std::lock_guard<std::mutex> guard(slot().lock);
        changed = slot().events.resultChanged;
    }
    if (changed) changed();
}

}  // namespace

RecResult::RecResult(RecTargetWindow target, InkTrace* ink, RecWordList* words,
                     RecKeyboardLayout layout)
    : target_(target), layout_(layout), ink_(ink) {
    setWordList(words);
}

RecResult::~RecResult() = default;

std::shared_ptr<const RecWordList> RecResult::wordList() const {
    std::lock_guard<std::mutex> guard(wordsLock_);
    return words_;
}

void RecResult::setWordList(RecWordList* words) {
    std::shared_ptr<const RecWordList> taken;
    if (words) {
        try {
            taken.reset(words);
        } catch (const std::bad_alloc&) {
            // shared_ptr deletes the list itself when it cannot take it.
            return;
        }
    }
    std::shared_ptr<const RecWordList> old;
    {
        std::lock_guard<std::mutex> guard(wordsLock_);
        old.swap(words_);
        words_ = std::move(taken);
    }
    // `old` goes here, outside the lock, unless a reader still holds it.
}

RecResultRef adoptRecResult(RecResult* result) {
    if (!result) return nullptr;
    try {
        return RecResultRef(result);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

RecResultRef getCurrentRecResult() {
    std::lock_guard<std::mutex> guard(slot().lock);
    return slot().current;
}

RecKeyboardLayout getCurrentRecResultLayout() {
    std::lock_guard<std::mutex> guard(slot().lock);
    return slot().current ? slot().current->layout() : nullptr;
}

void setCurrentRecResult(RecResultRef result, bool keepRestorable, bool notify) {
    // Results that leave the slot are released after the lock is let go.
    RecResultRef dropped;
    {
        ResultSlot& s = slot();
        std::lock_guard<std::mutex> guard(s.lock);
        if (result) {
            if (s.events.clearPendingProfileChoice) s.events.clearPendingProfileChoice(0);
        } else if (s.events.forgetLastWritingProfile) {
            s.events.forgetLastWritingProfile();
        }
        if (result == s.current) return;
        const bool hadCurrent = s.current != nullptr;
        if (hadCurrent) {
            dropped = std::move(s.previous);
            s.previous = std::move(s.current);
        }
        s.restorable = keepRestorable && hadCurrent;
        s.current = std::move(result);
    }
    dropped.reset();
    announce(notify);
}

void restorePreviousRecResult() {
    RecResultRef dropped;
    {
        ResultSlot& s = slot();
        std::lock_guard<std::mutex> guard(s.lock);
        dropped = std::move(s.current);
        if (s.previous && s.restorable) s.current = std::move(s.previous);
        s.restorable = false;
    }
}

bool replaceCurrentWordList(RecWordList* words, bool notify) {
    {
        std::lock_guard<std::mutex> guard(slot().lock);
        if (!slot().current) {
            delete words;
            return false;
        }
        slot().current->setWordList(words);
    }
    announce(notify);
    return true;
}

void clearRecResults() {
    RecResultRef current, previous;
    ResultSlot& s = slot();
    std::lock_guard<std::mutex> guard(s.lock);
    current = std::move(s.current);
    previous = std::move(s.previous);
    s.restorable = false;
}

bool isPreviousRecResultRestorable() {
    std::lock_guard<std::mutex> guard(slot().lock);
    return slot().restorable && slot().previous;
}

RecResultRef getPreviousRecResult() {
    std::lock_guard<std::mutex> guard(slot().lock);
    return slot().previous;
}

void setRecResultEvents(const RecResultEvents& events) {
    std::lock_guard<std::mutex> guard(slot().lock);
    slot().events = events;
}
