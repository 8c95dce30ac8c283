#include "AlignContext.h"

#include "Memory.h"

namespace vexa {

AlignContext* createAlignContext() {
    AlignContext* context = static_cast<AlignContext*>(allocZeroed(sizeof(AlignContext)));
    if (context) context->capacity = kAlignCapacity;
    return context;
}

void destroyAlignContext(AlignContext* context) { freeBlock(context); }

void alignContextForget(AlignContext* context) {
    if (context) context->shapeCount = 0;
}

}  // namespace vexa
