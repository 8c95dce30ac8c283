#include "Shaper.h"

#include "AlignContext.h"
#include "Memory.h"
#include "ShapeRecords.h"
#include "Templates.h"

namespace vexa {

const uint16_t kDefaultTuning[kTuningCount] = {3,  5,  8,   180, 15,  30,  8,
                                               20, 80, 200, 200, 320, 200, 150};

int32_t tuningOf(const Shape* shape, Tuning index) {
    return shape && shape->owner ? shape->owner->tuning[index] : kDefaultTuning[index];
}

namespace {

void freeShapesOf(PtrList* list) {
    for (int i = 0; i < list->count; ++i) freeShape(ptrAt<Shape>(list, i));
    ptrListReset(list);
}

}  // namespace

Shaper* createShaper() {
    Shaper* s = static_cast<Shaper*>(allocZeroed(sizeof(Shaper)));
    if (!s) return nullptr;
    s->plainScale = kPlainScale;
    s->beautify = 1;
    for (int i = 0; i < kTuningCount; ++i) s->tuning[i] = kDefaultTuning[i];
    ptrListInit(&s->pendingShapes);
    ptrListInit(&s->finishedShapes);
    s->resolution = kDefaultResolution;
    // 16384 / 30, not 16384 / 60: strokes come in at half their size until the
    // caller sets its resolution.
    s->exScale = kDefaultExScale;
    s->templates = createShapeTemplates();
    s->alignContext = createAlignContext();
    if (!s->templates || !s->alignContext) {
        destroyShaper(s);
        return nullptr;
    }
    return s;
}

void destroyShaper(Shaper* s) {
    if (!s) return;
    resetShaper(s);
    ptrListFree(&s->pendingShapes);
    ptrListFree(&s->finishedShapes);
    destroyShapeTemplates(s->templates);
    // The disposition belongs to the alignment context.
    destroyAlignContext(s->alignContext);
    freeBlock(s);
}

void resetShaper(Shaper* s) {
    s->strokeCounter = 0;
    freeShapesOf(&s->pendingShapes);
    freeShapesOf(&s->finishedShapes);
    alignContextForget(s->alignContext);
}

void clearShaperOutput(Shaper* s) { freeShapesOf(&s->finishedShapes); }

bool setShaperProperty(Shaper* s, const void* value, uint16_t id) {
    if (!s || id > 3 || (!value && id != 0)) return false;
    switch (id) {
        case 0:
            s->outputOffsetX = 0;
            s->outputOffsetY = 0;
            return true;
        case 1: {
            const int32_t* offsets = static_cast<const int32_t*>(value);
            s->outputOffsetX = offsets[0];
            s->outputOffsetY = offsets[1];
            return true;
        }
        case 2: {
            // Only resolutions that give a scale from 1 to 16384 are taken: 0 or a
            // negative value would divide by zero or give a negative scale, and a
            // larger one a scale of 0.
            const int32_t r = *static_cast<const int32_t*>(value);
            if (r < kMinResolution || r > kMaxResolution) return false;
            s->resolution = r;
            s->exScale = 16384 / r;
            return true;
        }
        default:
            s->alignMode = *static_cast<const uint16_t*>(value);
            return true;
    }
}

}  // namespace vexa
