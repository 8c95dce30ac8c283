// A shaper's alignment state: the slots of the newest finished shapes that an
// alignment pass straightens against one another, the disposition and the
// tables it finds.
#ifndef VEXASHAPE_ALIGNCONTEXT_H
#define VEXASHAPE_ALIGNCONTEXT_H

#include <stdint.h>

namespace vexa {

constexpr int32_t kAlignCapacity = 32;

struct AlignContext {
    int32_t capacity;
    uint32_t scale;
    uint32_t snap;
    int16_t shapeCount;
};

AlignContext* createAlignContext();
void destroyAlignContext(AlignContext* context);
// Forgets the shapes of the last pass.
void alignContextForget(AlignContext* context);

}  // namespace vexa

#endif
