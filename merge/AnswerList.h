// The library's answer list: up to 100 items ranked by value 0, sorted lazily.
#pragma once

#include <cstdint>
#include <memory>

#include "AnswerItem.h"
#include "Tessel.h"

namespace tessel {

class AnswerListImpl final : public AnswerList {
  public:
    // Builds the list with its 100 items; check ready() afterwards.
    AnswerListImpl();
    ~AnswerListImpl();
    AnswerListImpl(const AnswerListImpl&) = delete;
    AnswerListImpl& operator=(const AnswerListImpl&) = delete;

    // The item array could be had.
    bool ready() const { return items_ != nullptr; }

    void clear() override;
    int add(const AnswerItem* item) override;
    AnswerItem* itemAt(int32_t index) override;
    int setListValue(int32_t value) override;
    int32_t listValue() const override { return listValue_; }
    int32_t count() const override { return count_; }
    const char* textAt(int32_t index) override;
    int32_t valueAt(int32_t index, int32_t valueIndex) override;
    void release() override;

    // Set on a list made by a rescaling, so that it is not rescaled again.
    bool prepared() const { return prepared_ != 0; }
    void setPrepared(bool prepared) { prepared_ = prepared ? 1 : 0; }

  private:
    void makeItems();
    void sortIfNeeded();
    AnswerItemImpl* itemOrNull(int32_t index);

    uint8_t prepared_ = 0;
    AnswerItemImpl* items_ = nullptr;
    int32_t listValue_ = TSL_VALUE_UNSET;
    int32_t count_ = 0;
    int32_t sorted_ = 1;
};

// The library's own list behind an interface pointer (lists come from
// TslCreateAnswerList).
inline AnswerListImpl* listImpl(AnswerList* list) { return static_cast<AnswerListImpl*>(list); }

// A list the library makes for itself (a rescaled copy, a merge's middle
// result), released when it goes out of scope.
struct ListRelease {
    void operator()(AnswerListImpl* list) const {
        if (list) list->release();
    }
};
using OwnedList = std::unique_ptr<AnswerListImpl, ListRelease>;
// A new empty list (list value unset), or null without memory.
OwnedList makeOwnedList();

}  // namespace tessel
