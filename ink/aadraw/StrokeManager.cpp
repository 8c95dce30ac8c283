#include "ink/aadraw/StrokeManager.h"

#include <new>

namespace aadraw {

StrokeBuffer* SingleStrokeManager::getBuffer(const MonoBrush* owner, const Rect& region) {
    const Rect area =
        region.empty() ? Rect{region.left, region.top, region.left, region.top} : region;
    const size_t pixels = size_t(area.width()) * size_t(area.height());
    if (pixels > capacity_ || !block_) {
        std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[pixels ? pixels : 1]);
        if (!grown) return nullptr;
        block_ = std::move(grown);
        capacity_ = pixels;
    }
    return new (std::nothrow) MonoStrokeBuffer(owner, area, block_.get());
}

void SingleStrokeManager::releaseBuffer(StrokeBuffer* buffer) { delete buffer; }

}  // namespace aadraw
