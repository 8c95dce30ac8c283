// What the page analysis learns about shapes comes from fresh shapers run over
// a group's strokes: plain passes tell lines and polylines, template passes
// frames and arrows. Charts are found from the template pass.
#include <algorithm>
#include <new>
#include <vector>

#include "ChartGroup.h"
#include "Session.h"
#include "TextGroup.h"

namespace ombra {

namespace {

constexpr int kPlainPassFlags = 0x82;
constexpr int kPlainBeautifiedFlags = 0x8A;
constexpr int kTemplatePassFlags = 0x10C;

int16_t clamp16(int64_t v) {
    return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

void shiftAnswer(VSANSWER* a, int32_t dx, int32_t dy) {
    for (int k = 0; k < a->vertexCount; ++k) {
        if (a->vertices) {
            a->vertices[2 * k] = clamp16(int64_t(a->vertices[2 * k]) + dx);
            a->vertices[2 * k + 1] = clamp16(int64_t(a->vertices[2 * k + 1]) + dy);
        }
        if (a->alignedVertices) {
            a->alignedVertices[2 * k] = clamp16(int64_t(a->alignedVertices[2 * k]) + dx);
            a->alignedVertices[2 * k + 1] = clamp16(int64_t(a->alignedVertices[2 * k + 1]) + dy);
        }
    }
}

bool strokeOfAnswer(const VSANSWER* a, uint16_t id) {
    for (int k = 0; a && a->aliases && k < a->strokeCount; ++k)
        if (a->aliases[k] == id) return true;
    return false;
}

}  // namespace

bool COmbraGroup::runShaper(int type) {
    if (!strokes.count()) return true;
    if (!session || !session->hasShaper()) return false;
    ShaperBinding& b = *session->shaper;
    CDataArr<VSANSWER*>& list = type <= 1 ? plainAnswers : templateAnswers;
    destroyAnswers(list);
    Shaper* shaper = b.InitShaper();
    if (!shaper) return false;
    b.SetShaperProperty(shaper, &session->lineHeight, VS_PROPERTY_RESOLUTION);
    const int32_t ox = box.left, oy = box.top;
    const int flags = type == 0   ? kPlainPassFlags
                      : type == 1 ? kPlainBeautifiedFlags
                                  : kTemplatePassFlags;
    std::vector<int16_t> points;
    for (int i = 0; i < strokes.count(); ++i) {
        if (i % 8 == 0) {
            session->advanceProgress(1, true);
            session->reportProgress();
        }
        const COmbraStroke* s = session->stroke(strokes.get(i));
        if (!s || s->count < 1) continue;
        const int n = std::min(s->count, 32767);
        points.resize(2 * static_cast<size_t>(n));
        for (int k = 0; k < n; ++k) {
            points[2 * k] = clamp16(int64_t(s->x(k)) - ox);
            points[2 * k + 1] = clamp16(int64_t(s->y(k)) - oy);
        }
        const ShaperStroke record = {static_cast<int16_t>(s->id), n, points.data(), 0};
        b.AddStroke2ShaperEx(shaper, &record, flags);
    }
    if (type == 2) b.FinalizeShapesEx(shaper, 0);
    if (type >= 3) b.FinalizeShapesEx(shaper, VS_FINALIZE_ALIGN);
    const int n = b.GetShapeNum(shaper);
    if (n < 1) {
        b.DestroyShaper(shaper);
        return false;
    }
    for (int i = 0; i < n; ++i) {
        Shape* shape = b.GetShapeAt(shaper, static_cast<uint16_t>(i));
        if (!shape || b.GetShapeAnswerNum(shape) < 1) continue;
        VSANSWER* a = b.CreateShapeAnswerAt(shape, 0);
        if (!a) continue;
        shiftAnswer(a, ox, oy);
        if (!list.append(a)) b.DestroyShapeAnswer(a);
    }
    b.DestroyShaper(shaper);
    return true;
}

COmbraGroup* COmbraGroup::detectChart() {
    const int n = strokes.count();
    if (n <= 2 || !session) return nullptr;
    for (int i = 0; i < n; ++i)
        if (COmbraStroke* s = session->stroke(strokes.get(i))) s->chartLabel = -1;
    if (!runShaper(2)) return nullptr;
    const int64_t h = session->lineHeight;
    std::vector<int> frames;
    int labelled = 0, shapeStrokes = 0;
    for (int a = 0; a < templateAnswers.count(); ++a) {
        const VSANSWER* answer = templateAnswers.get(a);
        if (answer->kind >= 1 && answer->kind <= 3) {
            FRect frame;
            for (int k = 0; k < answer->vertexCount; ++k)
                frame.grow(answer->vertices[2 * k], answer->vertices[2 * k + 1]);
            // Only a frame's strokes count as shape strokes: a small triangle
            // or ellipse among the labels is counted with the rest.
            if (frame.height() < 3 * h || frame.width() < 4 * h) continue;
            shapeStrokes += answer->strokeCount;
            frames.push_back(a);
            for (int i = 0; i < n; ++i) {
                COmbraStroke* s = session->stroke(strokes.get(i));
                if (!s || strokeOfAnswer(answer, static_cast<uint16_t>(s->id))) continue;
                if (!frame.contains(s->box)) continue;
                if (s->chartLabel < 0) ++labelled;
                s->chartLabel = a;
            }
        } else if (answer->kind == 4 || answer->kind == 5) {
            shapeStrokes += answer->strokeCount;
        }
    }
    const int rest = n - shapeStrokes > 0 ? n - shapeStrokes : 1;
    if (frames.size() < 2 || labelled * 100 / rest < 70) return nullptr;

    CChartGroup* chart = new (std::nothrow) CChartGroup(session);
    if (!chart || !chart->copyFrom(*this)) {
        delete chart;
        return nullptr;
    }
    chart->groupKind = kGroupChart;
    for (int frame : frames) {
        CTextGroup* labels = new (std::nothrow) CTextGroup(session);
        if (!labels || !chart->addChild(labels)) {
            delete labels;
            delete chart;
            return nullptr;
        }
        labels->paragraphPass = false;
        for (int i = 0; i < n; ++i) {
            const int index = strokes.get(i);
            const COmbraStroke* s = session->stroke(index);
            if (!s || s->chartLabel != frame) continue;
            const VSANSWER* templ = answerHolding(true, index);
            const VSANSWER* plain = answerHolding(false, index);
            if (!templ || !plain || !labels->addStroke(index) || !labels->addAnswer(true, templ) ||
                !labels->addAnswer(false, plain)) {
                delete chart;
                return nullptr;
            }
        }
    }
    return chart;
}

}  // namespace ombra
