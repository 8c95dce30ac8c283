#include "AlignContext.h"

#include "Memory.h"

namespace vexa {

AlignContext* createAlignContext() {
    AlignContext* context = static_cast<AlignContext*>(allocZeroed(sizeof(AlignContext)));
    if (context) context->capacity = kAlignCapacity;
    return context;
}

void freeAlignTables(AlignContext* context) {
    for (int t = 0; t < context->tableCount; ++t) {
        VSTABLE* table = &context->tables[t];
        for (int c = 0; table->cells && c < table->cellCount; ++c) freeBlock(table->cells[c].text);
        freeBlock(table->cells);
        freeBlock(table->html);
        freeBlock(table->offsets);
    }
    freeBlock(context->tables);
    context->tables = nullptr;
    context->tableCount = 0;
}

void destroyAlignContext(AlignContext* context) {
    if (!context) return;
    freeAlignTables(context);
    freeBlock(context->disposition);
    freeBlock(context);
}

void alignContextForget(AlignContext* context) {
    if (context) context->shapeCount = 0;
}

int addAlignSlot(AlignContext* context, VSANSWER* answer, int16_t alignId, uint16_t vertexCount,
                 int16_t* vertices, uint16_t drawnCount, const int16_t* drawn) {
    if (context->shapeCount >= context->capacity) return 0;
    AlignSlot& slot = context->slots[context->shapeCount++];
    slot = AlignSlot{};
    slot.answer = answer;
    slot.vertexCount = vertexCount;
    slot.vertices = vertices;
    slot.paramBytes = answer->params ? answer->paramLength : 0;
    slot.params = answer->params;
    slot.alignId = alignId;
    slot.tableMark = static_cast<uint16_t>(answer->tableValue);
    slot.kind = static_cast<uint16_t>(answer->kind);
    slot.closed = answer->closed ? 1 : 0;
    slot.drawnCount = drawnCount;
    slot.drawn = drawn;
    slot.pointIndexes = answer->vertexIndexes;
    return 1;
}

}  // namespace vexa
