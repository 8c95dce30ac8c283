#include "AnswerItem.h"

#include <cstring>
#include <new>

namespace tessel {

namespace {

bool validIndex(int32_t index) { return index >= 0 && index < TSL_VALUE_COUNT; }

}  // namespace

AnswerItemImpl::AnswerItemImpl(AnswerItemImpl&& other) noexcept : text_(other.text_) {
    std::memcpy(values_, other.values_, sizeof values_);
    other.text_ = nullptr;
}

AnswerItemImpl& AnswerItemImpl::operator=(AnswerItemImpl&& other) noexcept {
    if (this != &other) {
        freeText();
        text_ = other.text_;
        other.text_ = nullptr;
        std::memcpy(values_, other.values_, sizeof values_);
    }
    return *this;
}

void AnswerItemImpl::reset() {
    freeText();
    for (int32_t& v : values_) v = TSL_VALUE_UNSET;
}

void AnswerItemImpl::freeText() {
    delete[] text_;
    text_ = nullptr;
}

int AnswerItemImpl::copyFrom(const AnswerItem* other) {
    if (!other) return 0;
    if (other == this) return text_ ? 1 : 0;
    if (!setText(other->text())) return 0;
    for (int32_t i = 0; i < TSL_VALUE_COUNT; ++i) values_[i] = other->value(i);
    return 1;
}

int AnswerItemImpl::setText(const char* text) {
    if (!text || !*text) {
        freeText();
        return 0;
    }
    // Copy before freeing: the text may be this item's own.
    const size_t size = std::strlen(text) + 1;
    char* copy = new (std::nothrow) char[size];
    if (copy) std::memcpy(copy, text, size);
    freeText();
    text_ = copy;
    return copy ? 1 : 0;
}

int AnswerItemImpl::setValue(int32_t value, int32_t index) {
    if (!validIndex(index)) return 0;
    values_[index] = value;
    return 1;
}

int32_t AnswerItemImpl::value(int32_t index) const {
    return validIndex(index) ? values_[index] : -1;
}

void AnswerItemImpl::release() {
    if (!heldByList_) delete this;
}

}  // namespace tessel
