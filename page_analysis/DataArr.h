// The growable arrays of the page tree. They grow by 64 entries at a time, or
// by half their capacity once that is more, so that a page of a hundred
// thousand strokes is not copied over and over; they never own what their
// pointers point to: the owners delete their items.
#ifndef OMBRA_DATAARR_H
#define OMBRA_DATAARR_H

#include <cstring>
#include <new>

namespace ombra {

template <class T>
class CDataArr {
  public:
    static constexpr int kGrowth = 64;

    CDataArr() = default;
    CDataArr(const CDataArr&) = delete;
    CDataArr& operator=(const CDataArr&) = delete;
    virtual ~CDataArr() { delete[] items_; }

    int count() const { return count_; }
    int capacity() const { return capacity_; }
    T* data() { return items_; }
    const T* data() const { return items_; }

    // The item, or a zero value outside 0..count-1.
    T get(int i) const { return i >= 0 && i < count_ ? items_[i] : T(); }
    void set(int i, T item) {
        if (i >= 0 && i < count_) items_[i] = item;
    }

    // False (and the item dropped) when the array cannot grow.
    bool append(T item) { return insert(count_, item); }

    // Items from p on move up by one.
    bool insert(int p, T item) {
        if (p < 0 || p > count_) return false;
        if (count_ == capacity_ &&
            !reserve(capacity_ + (capacity_ / 2 > kGrowth ? capacity_ / 2 : kGrowth)))
            return false;
        std::memmove(items_ + p + 1, items_ + p, sizeof(T) * (count_ - p));
        items_[p] = item;
        ++count_;
        return true;
    }

    // Later items move down by one, order kept.
    void remove(int i) {
        if (i < 0 || i >= count_) return;
        std::memmove(items_ + i, items_ + i + 1, sizeof(T) * (count_ - i - 1));
        --count_;
    }

    int indexOf(T item) const {
        for (int i = 0; i < count_; ++i)
            if (items_[i] == item) return i;
        return -1;
    }

    // Count 0; the block stays.
    void clear() { count_ = 0; }

    // A zero-filled block of at least n entries, old items kept.
    bool reserve(int n) {
        if (n <= capacity_) return true;
        T* block = new (std::nothrow) T[n];
        if (!block) return false;
        std::memset(static_cast<void*>(block), 0, sizeof(T) * n);
        if (count_) std::memcpy(static_cast<void*>(block), items_, sizeof(T) * count_);
        delete[] items_;
        items_ = block;
        capacity_ = n;
        return true;
    }

  protected:
    int count_ = 0;
    int capacity_ = 0;
    T* items_ = nullptr;
};

// The growing text buffer of results. Writers chain positions: each returns
// the number of characters it added.
class CCharArray : public CDataArr<char> {
  public:
    // Formats at the position; the text ends with a zero and the count becomes
    // position + length + 1. The length written, or -1 without memory.
    int appendFormat(int position, const char* format, ...);
    // The same for a text taken as it stands.
    int appendText(int position, const char* text);
    int appendText(int position, const char* text, int length);
    // Characters zeroed, count 0.
    void wipe();
    const char* text() const { return items_ ? items_ : ""; }
};

}  // namespace ombra

#endif
