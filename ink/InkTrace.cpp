#include "ink/InkTrace.h"

#include <algorithm>
#include <atomic>

#include "core/MemoryBlocks.h"

namespace {

std::atomic<InkTrace::ScreenRestore> screenRestore{nullptr};

// The array grows 20 slots at a time (80 bytes in the 32-bit program).
constexpr int kSlotsPerStep = 20;

}  // namespace

InkTrace::InkTrace(void* owner) : owner_(owner) {}

InkTrace::~InkTrace() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    for (int i = 0; i < count_; ++i) delete strokes_[i];
    freeMemory(strokes_);
    strokes_ = nullptr;
    count_ = 0;
}

int InkTrace::AddStroke(InkStroke* stroke) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!stroke) return count_;
    constexpr int slot = sizeof(InkStroke*);
    void* grown = nullptr;
    if (!strokes_)
        grown = allocMemory(kSlotsPerStep * slot);
    else if (count_ < INT32_MAX / slot - kSlotsPerStep)
        grown = ensureMemorySize(strokes_, slot * (count_ + 1), slot * kSlotsPerStep);
    if (!grown) {
        delete stroke;
        return -1;
    }
    strokes_ = static_cast<InkStroke**>(grown);
    strokes_[count_++] = stroke;
    return count_;
}

InkStroke* InkTrace::getStroke(int index) const {
    return index >= 0 && index < count_ ? strokes_[index] : nullptr;
}

int InkTrace::find(const InkStroke* stroke) const {
    if (!stroke) return -1;
    for (int i = 0; i < count_; ++i)
        if (strokes_[i] == stroke) return i;
    return -1;
}

InkStroke* InkTrace::getNextStroke(const InkStroke* stroke) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!stroke) return count_ > 0 ? strokes_[0] : nullptr;
    const int index = find(stroke);
    return index >= 0 && index + 1 < count_ ? strokes_[index + 1] : nullptr;
}

int InkTrace::moveStrokesAfter(const InkStroke* stroke, InkTrace& to) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    const int index = find(stroke);
    if (index < 0 || &to == this) return 0;
    int moved = 0;
    for (int i = index + 1; i < count_; ++i) {
        // A stroke the other trace cannot take is deleted there, as AddStroke says.
        to.AddStroke(strokes_[i]);
        strokes_[i] = nullptr;
        ++moved;
    }
    count_ = index + 1;
    return moved;
}

int InkTrace::indexOf(const InkStroke* stroke) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return find(stroke);
}

bool InkTrace::GetBounds(const InkStroke* fromStroke, const InkStroke* toStroke, InkRect* rect) {
    if (!rect) return false;
    int first = 0;
    if (fromStroke) {
        first = find(fromStroke);
        if (first < 0) return false;
    }
    bool found = false;
    for (int i = first; i < count_; ++i) {
        InkStroke* stroke = strokes_[i];
        if (stroke && stroke->computeBounds(false)) {
            const InkRect& b = *stroke->bounds();
            if (!found) {
                *rect = b;
                found = true;
            } else {
                rect->left = std::min(rect->left, b.left);
                rect->top = std::min(rect->top, b.top);
                rect->right = std::max(rect->right, b.right);
                rect->bottom = std::max(rect->bottom, b.bottom);
            }
        }
        if (stroke == toStroke) break;
    }
    return found;
}

void InkTrace::redrawArea(int dx, int dy) {
    InkRect area;
    if (!GetBounds(nullptr, nullptr, &area)) return;
    area.left -= dx;
    area.top -= dy;
    area.right += dx;
    area.bottom += dy;
    if (ScreenRestore restore = screenRestore.load()) restore(area);
}

void InkTrace::setScreenRestore(ScreenRestore restore) { screenRestore.store(restore); }
