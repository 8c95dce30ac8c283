// Hands out the coverage buffers segments are drawn into.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ink/aadraw/StrokeBuffer.h"

namespace aadraw {

class StrokeManager {
  public:
    virtual ~StrokeManager() = default;

    // A zeroed buffer over `region` in the colour of `owner`; null when memory
    // runs out. Give it back with releaseBuffer.
    virtual StrokeBuffer* getBuffer(const MonoBrush* owner, const Rect& region) = 0;
    virtual void releaseBuffer(StrokeBuffer* buffer) = 0;
};

// Keeps one coverage block for all segments and grows it only when a region
// needs more pixels, so live ink allocates nothing per segment once warm.
class SingleStrokeManager : public StrokeManager {
  public:
    StrokeBuffer* getBuffer(const MonoBrush* owner, const Rect& region) override;
    void releaseBuffer(StrokeBuffer* buffer) override;

    size_t capacity() const { return capacity_; }

  private:
    std::unique_ptr<uint8_t[]> block_;
    size_t capacity_ = 0;
};

}  // namespace aadraw
