#include "ShapeUnit.h"

#include <new>
#include <vector>

#include "Session.h"

namespace ombra {

namespace {

int16_t clamp16(int64_t v) {
    return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

}  // namespace

int32_t shapeBandTopFor(int32_t strokeTop) {
    return strokeTop >= 3744 ? strokeTop - kShapeBandMargin : -256;
}

CShapeUnit* CShapeUnit::make(COmbraSession* session, int32_t bandTop) {
    ShaperBinding* b = session ? session->shaper : nullptr;
    if (!b || !b->loaded()) return nullptr;
    CShapeUnit* unit = new (std::nothrow) CShapeUnit(session);
    if (!unit) return nullptr;
    unit->shaper = b->InitShaper();
    if (!unit->shaper) {
        delete unit;
        return nullptr;
    }
    unit->bandTop = bandTop;
    const int32_t offset[2] = {0, bandTop};
    b->SetShaperProperty(unit->shaper, offset, VS_PROPERTY_OUTPUT_OFFSET);
    return unit;
}

CShapeUnit::~CShapeUnit() {
    if (shaper && session && session->shaper && session->shaper->DestroyShaper)
        session->shaper->DestroyShaper(shaper);
}

bool CShapeUnit::accepts(const COmbraStroke& s) const {
    return int64_t(s.box.bottom) < int64_t(bandTop) + kShapeBandHeight + kShapeBandMargin &&
           int64_t(bandTop) - kShapeBandMargin < s.box.top;
}

bool CShapeUnit::takeStroke(int index) {
    COmbraStroke* s = session->stroke(index);
    ShaperBinding* b = session->shaper;
    if (!s || !b || !shaper || s->count < 1) return false;
    if (s->flags & OMBRA_STROKE_NO_LINE_ID) s->lineId = -1;
    // The shape recognizer works in 16-bit units relative to the band's top.
    std::vector<int16_t> points(2 * static_cast<size_t>(s->count));
    for (int i = 0; i < s->count; ++i) {
        points[2 * i] = clamp16(s->x(i));
        points[2 * i + 1] = clamp16(int64_t(s->y(i)) - bandTop);
    }
    const ShaperStroke record = {static_cast<int16_t>(s->id), s->count > 32767 ? 32767 : s->count,
                                 points.data(), static_cast<int16_t>(s->lineId)};
    b->SetShaperProperty(shaper, &session->lineHeight, VS_PROPERTY_RESOLUTION);
    int shaperFlags = (s->flags & OMBRA_STROKE_NO_SEGMENTATION) ? 44 : 12;
    if (session->flags & OMBRA_SESSION_SHAPES_ALIGN) shaperFlags |= VS_STROKE_ALIGN;
    if (b->AddStroke2ShaperEx(shaper, &record, shaperFlags) == 0xFFFF) return false;
    addStroke(index);
    return true;
}

int CShapeUnit::recognizeUnit() {
    if (shaper && session && (session->flags & OMBRA_SESSION_FINALIZE))
        session->shaper->FinalizeShapes(shaper);
    return 0;
}

int CShapeUnit::writeXml(CCharArray& out, int position) {
    ShaperBinding* b = session ? session->shaper : nullptr;
    if (!b || !shaper || !b->servesAnswers()) return 0;
    int at = position;
    const int n = b->GetShapeNum(shaper);
    for (int i = 0; i < n; ++i) {
        Shape* shape = b->GetShapeAt(shaper, static_cast<uint16_t>(i));
        if (!shape) continue;
        VSANSWER* answer = b->CreateShapeAnswerAt(shape, 0);
        if (!answer) continue;
        if (answer->alignValue != 0) {
            b->SetXMLforShapeAnswer(shaper, answer, i);
            if (answer->xmlText) {
                const int w = out.appendText(at, answer->xmlText);
                if (w > 0) at += w;
            }
        }
        b->DestroyShapeAnswer(answer);
    }
    return at - position;
}

}  // namespace ombra
