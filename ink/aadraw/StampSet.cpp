#include "ink/aadraw/StampSet.h"

namespace aadraw {

StampSet::~StampSet() {
    for (auto& stamp : stamps_) delete[] stamp.load();
}

const uint8_t* StampSet::publish(int phaseX, int phaseY, uint8_t* made) {
    std::atomic<uint8_t*>& slot = stamps_[phaseY * kPhases + phaseX];
    uint8_t* expected = nullptr;
    if (slot.compare_exchange_strong(expected, made, std::memory_order_acq_rel)) return made;
    delete[] made;
    return expected;
}

}  // namespace aadraw
