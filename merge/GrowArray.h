// Growable array of the merging library: an element count, a capacity and an
// owned block of elements. One template serves the three kinds the library
// keeps (doubles, 32-bit integers and records such as net units).
//
// Nothing here throws: a block that cannot be had is reported by a false result
// and the array keeps its old size, so a loader can fail cleanly instead of
// leaving a half-sized record behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

namespace tessel {

template <class T>
class GrowArray {
    static_assert(std::is_nothrow_move_constructible<T>::value,
                  "elements are moved when the block grows");
    static_assert(std::is_nothrow_default_constructible<T>::value,
                  "new elements are default-made without a failure path");

  public:
    GrowArray() = default;
    GrowArray(const GrowArray&) = delete;
    GrowArray& operator=(const GrowArray&) = delete;
    GrowArray(GrowArray&& other) noexcept { swap(other); }
    GrowArray& operator=(GrowArray&& other) noexcept {
        if (this != &other) {
            release();
            swap(other);
        }
        return *this;
    }
    ~GrowArray() { release(); }

    // Appends one element; false without memory (the array is unchanged).
    bool append(T value) {
        if (count_ == capacity_ && !reallocate(capacity_ < 4 ? 4 : capacity_ * 2)) return false;
        new (block_ + count_) T(std::move(value));
        ++count_;
        return true;
    }

    // Count 0; the block is kept for reuse.
    void clear() { destroyFrom(0); }

    // Frees the elements and the block.
    void release() {
        destroyFrom(0);
        ::operator delete(static_cast<void*>(block_), std::nothrow);
        block_ = nullptr;
        capacity_ = 0;
    }

    // Sets the count to n: the first min(count, n) elements stay, new ones are
    // default-made (0 for numbers). A count above the capacity grows the block
    // to n + 1 elements; without memory the array keeps its old size and false
    // is returned.
    bool setCount(size_t n) {
        if (n > capacity_ && !reallocate(n + 1)) return false;
        if (n < count_) {
            destroyFrom(n);
        } else {
            for (; count_ < n; ++count_) new (block_ + count_) T();
        }
        return true;
    }

    size_t count() const { return count_; }
    size_t capacity() const { return capacity_; }
    T* data() { return block_; }
    const T* data() const { return block_; }
    T& operator[](size_t i) { return block_[i]; }
    const T& operator[](size_t i) const { return block_[i]; }
    T* begin() { return block_; }
    T* end() { return block_ + count_; }
    const T* begin() const { return block_; }
    const T* end() const { return block_ + count_; }

    void swap(GrowArray& other) noexcept {
        std::swap(block_, other.block_);
        std::swap(count_, other.count_);
        std::swap(capacity_, other.capacity_);
    }

  private:
    bool reallocate(size_t capacity) {
        if (capacity > SIZE_MAX / sizeof(T)) return false;
        T* fresh = static_cast<T*>(::operator new(capacity * sizeof(T), std::nothrow));
        if (!fresh) return false;
        for (size_t i = 0; i < count_; ++i) {
            new (fresh + i) T(std::move(block_[i]));
            block_[i].~T();
        }
        ::operator delete(static_cast<void*>(block_), std::nothrow);
        block_ = fresh;
        capacity_ = capacity;
        return true;
    }

    void destroyFrom(size_t n) {
        while (count_ > n) block_[--count_].~T();
    }

    T* block_ = nullptr;
    size_t count_ = 0;
    size_t capacity_ = 0;
};

}  // namespace tessel
