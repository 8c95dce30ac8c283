// Coverage stamps of one pen size: one stamp (size x size coverage bytes) for
// each of the 8 x 8 sub-pixel phases, made on first use and kept for the life
// of the process in a table per nib shape, so pens of the same size share them.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

namespace aadraw {

constexpr int kPhases = 8;  // sub-pixel positions per axis (eighths of a pixel)

class StampSet {
  public:
    explicit StampSet(int size) : size_(size) {}
    ~StampSet();

    StampSet(const StampSet&) = delete;
    StampSet& operator=(const StampSet&) = delete;

    int size() const { return size_; }

    // The stamp of phase (x, y) when made, else null.
    const uint8_t* stamp(int phaseX, int phaseY) const {
        return stamps_[phaseY * kPhases + phaseX].load(std::memory_order_acquire);
    }

    // Publishes a freshly made stamp (size x size bytes from new[]); when
    // another thread was first its stamp wins and `made` is freed. Returns the
    // stamp in place.
    const uint8_t* publish(int phaseX, int phaseY, uint8_t* made);

  private:
    int size_;
    std::atomic<uint8_t*> stamps_[kPhases * kPhases] = {};
};

// A process-wide table of stamp sets keyed by a pen's size parameters (compared
// exactly), 4093 buckets; sets are never removed before exit.
template <class Key>
class StampTable {
  public:
    ~StampTable() {
        for (Node*& head : buckets_) {
            while (head) {
                Node* next = head->next;
                delete head;
                head = next;
            }
        }
    }

    // The set for `key`, made with stamps of `size` pixels when missing;
    // null when memory runs out.
    StampSet* find(const Key& key, uint32_t hash, int size) {
        std::lock_guard<std::mutex> guard(lock_);
        Node*& head = buckets_[hash % kBuckets];
        for (Node* node = head; node; node = node->next)
            if (node->key == key) return &node->set;
        Node* node = new (std::nothrow) Node(key, size, head);
        if (!node) return nullptr;
        head = node;
        return &node->set;
    }

  private:
    static constexpr uint32_t kBuckets = 4093;

    struct Node {
        Node(const Key& k, int size, Node* n) : key(k), set(size), next(n) {}
        Key key;
        StampSet set;
        Node* next;
    };

    std::mutex lock_;
    Node* buckets_[kBuckets] = {};
};

}  // namespace aadraw
