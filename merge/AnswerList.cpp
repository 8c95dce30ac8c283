#include "AnswerList.h"

#include <algorithm>
#include <new>

namespace tessel {

AnswerListImpl::AnswerListImpl() { makeItems(); }

AnswerListImpl::~AnswerListImpl() { delete[] items_; }

// Without memory the list stays without items (ready() is false, add fails)
// until a clear() gets them.
void AnswerListImpl::makeItems() {
    items_ = new (std::nothrow) AnswerItemImpl[TSL_LIST_CAPACITY];
    if (!items_) return;
    for (int32_t i = 0; i < TSL_LIST_CAPACITY; ++i) items_[i].holdInList();
}

void AnswerListImpl::clear() {
    count_ = 0;
    listValue_ = 0;
    sorted_ = 1;
    if (!items_) makeItems();
}

int AnswerListImpl::add(const AnswerItem* item) {
    if (!item || !items_ || count_ >= TSL_LIST_CAPACITY) return 0;
    AnswerItemImpl& slot = items_[count_];
    if (!slot.copyFrom(item)) return 0;
    if (sorted_ && count_ > 0 && items_[count_ - 1].score() < slot.score()) sorted_ = 0;
    ++count_;
    return 1;
}

void AnswerListImpl::sortIfNeeded() {
    if (sorted_) return;
    // Unset scores are the smallest integer, so they sort last by themselves.
    std::sort(items_, items_ + count_, [](const AnswerItemImpl& a, const AnswerItemImpl& b) {
        return a.score() > b.score();
    });
    sorted_ = 1;
}

AnswerItemImpl* AnswerListImpl::itemOrNull(int32_t index) {
    sortIfNeeded();
    if (index < 0 || index >= count_) return nullptr;
    return &items_[index];
}

AnswerItem* AnswerListImpl::itemAt(int32_t index) { return itemOrNull(index); }

int AnswerListImpl::setListValue(int32_t value) {
    listValue_ = value;
    return 1;
}

const char* AnswerListImpl::textAt(int32_t index) {
    AnswerItemImpl* item = itemOrNull(index);
    return item ? item->text() : nullptr;
}

int32_t AnswerListImpl::valueAt(int32_t index, int32_t valueIndex) {
    AnswerItemImpl* item = itemOrNull(index);
    return item ? item->value(valueIndex) : TSL_VALUE_UNSET;
}

void AnswerListImpl::release() { delete this; }

OwnedList makeOwnedList() {
    OwnedList list(new (std::nothrow) AnswerListImpl());
    if (list && !list->ready()) list.reset();
    return list;
}

}  // namespace tessel
