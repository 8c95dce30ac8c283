// Shape sessions keep one shaper per horizontal band of the page; the unit of
// a band owns it, gives it the band's strokes and writes its shapes.
#ifndef OMBRA_SHAPEUNIT_H
#define OMBRA_SHAPEUNIT_H

#include <cstdint>

#include "PageTree.h"

namespace ombra {

class COmbraStroke;

constexpr int32_t kShapeBandHeight = 16000;
constexpr int32_t kShapeBandMargin = 4000;

class CShapeUnit : public COmbraUnit {
  public:
    // Null without memory or when the shape library gives no shaper.
    static CShapeUnit* make(COmbraSession* session, int32_t bandTop);
    ~CShapeUnit() override;

    // Whether the stroke belongs to this unit's band (with the margin).
    bool accepts(const COmbraStroke& stroke) const;
    // Gives stroke i to the shaper; false when the shaper refused it.
    bool takeStroke(int index);
    int recognizeUnit() override;
    int writeXml(CCharArray& out, int position) override;
    // Band units are not copied: each owns its shaper.
    COmbraUnit* clone() const override { return nullptr; }

    Shaper* shaper = nullptr;
    int32_t bandTop = 0;

  private:
    CShapeUnit(COmbraSession* session) : COmbraUnit(session, kUnitShape) {}
};

// The new band's top for a stroke that opens it.
int32_t shapeBandTopFor(int32_t strokeTop);

class CShapesGroup : public COmbraGroup {
  public:
    explicit CShapesGroup(COmbraSession* session) : COmbraGroup(session, kGroupShapes) {}
    void clear() override {
        COmbraGroup::clear();
        groupKind = kGroupShapes;
    }
};

}  // namespace ombra

#endif
