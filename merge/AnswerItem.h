// The library's answer item: an owned text and 16 values.
#pragma once

#include "Tessel.h"

namespace tessel {

class AnswerItemImpl final : public AnswerItem {
  public:
    AnswerItemImpl() { reset(); }
    ~AnswerItemImpl() { freeText(); }
    AnswerItemImpl(const AnswerItemImpl&) = delete;
    AnswerItemImpl& operator=(const AnswerItemImpl&) = delete;
    // Moves carry the text and values (not the list membership); lists move
    // their items while sorting.
    AnswerItemImpl(AnswerItemImpl&& other) noexcept;
    AnswerItemImpl& operator=(AnswerItemImpl&& other) noexcept;

    int copyFrom(const AnswerItem* other) override;
    int setText(const char* text) override;
    int setValue(int32_t value, int32_t index) override;
    const char* text() const override { return text_; }
    int32_t value(int32_t index) const override;
    void release() override;

    // No text, every value unset.
    void reset();
    // Makes this a list's own item: release() then leaves it to the list.
    void holdInList() { heldByList_ = true; }
    // Value 0 without the range check, for sorting.
    int32_t score() const { return values_[0]; }

  private:
    void freeText();

    char* text_ = nullptr;
    int32_t values_[TSL_VALUE_COUNT];
    bool heldByList_ = false;
};

}  // namespace tessel
