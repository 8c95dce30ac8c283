// A shaper's alignment state: the slots of the newest finished shapes that an
// alignment pass straightens against one another, the disposition and the
// tables it finds.
#ifndef VEXASHAPE_ALIGNCONTEXT_H
#define VEXASHAPE_ALIGNCONTEXT_H

#include <stdint.h>

#include "VexaShape2.h"

namespace vexa {

constexpr int32_t kAlignCapacity = 32;
constexpr uint16_t kNoTable = 0xFFFF;
constexpr uint16_t kExcludedFromTables = 0xFFFE;

// One shape of a pass. The arrays are borrowed from the shape's first answer
// (and its point list); the pass changes them in place.
struct AlignSlot {
    VSANSWER* answer;
    uint16_t vertexCount;
    int16_t* vertices;
    uint16_t paramBytes;
    uint8_t* params;
    int16_t alignId;  // negative: frozen
    uint16_t tableMark;
    uint16_t kind;
    uint32_t changed;
    uint32_t closed;
    uint16_t drawnCount;
    const int16_t* drawn;  // the drawn points the point indexes refer to
    const int16_t* pointIndexes;
};

struct AlignContext {
    int32_t capacity;
    uint32_t scale;
    uint32_t snap;
    int16_t shapeCount;
    AlignSlot slots[kAlignCapacity];
    int32_t gridX, gridY;  // two i16 halves each: origin, step
    uint32_t* disposition;
    VSTABLE* tables;
    int16_t tableCount;
};

AlignContext* createAlignContext();
void destroyAlignContext(AlignContext* context);
// Forgets the shapes of the last pass.
void alignContextForget(AlignContext* context);
// Frees the tables of the last pass.
void freeAlignTables(AlignContext* context);

// Fills the next slot; 0 when all are in use.
int addAlignSlot(AlignContext* context, VSANSWER* answer, int16_t alignId, uint16_t vertexCount,
                 int16_t* vertices, uint16_t drawnCount, const int16_t* drawn);

}  // namespace vexa

#endif
