#include "Align.h"

#include <string.h>

#include "AlignAges.h"
#include "AlignRun.h"
#include "AlignSolver.h"
#include "FixedMath.h"
#include "Memory.h"
#include "ShapeAnswer.h"
#include "ShapeRecords.h"
#include "Tables.h"

namespace vexa {

namespace {

constexpr int kMaxAlignedVertices = 128;

enum SlotRole : uint8_t { kRoleNone, kRoleEllipseBox, kRoleRectangle, kRoleVertexShape };

// How each slot was split for the solver.
struct SlotPlan {
    uint8_t role;
    int32_t object;  // box index, or vertex-shape index
    bool swappedEnd, swappedStart;
    int16_t idBefore;
    int32_t oldBox[4];     // an ellipse's box before solving
    int32_t oldCentre[2];  // a turned ellipse's centre before solving
    bool verticalEllipse, circle;
};

// Params of the answer as int16 values (circle cx, cy, r; ellipse cx, cy, a, b, cos, sin).
int16_t* paramsOf(const AlignSlot& slot) { return reinterpret_cast<int16_t*>(slot.params); }

}  // namespace

bool isAxisRectangle(const AlignSlot& slot) {
    if (slot.kind != kKindParallelogram || slot.vertexCount != 5 || !slot.closed) return false;
    const int16_t* v = slot.vertices;
    if (v[0] != v[8] || v[1] != v[9]) return false;
    for (int k = 0; k < 4; ++k)
        if (v[2 * k] != v[2 * k + 2] && v[2 * k + 1] != v[2 * k + 3]) return false;
    return true;
}

bool axisEllipseBox(const AlignSlot& slot, int32_t box[4], bool* vertical, bool* circle) {
    if (slot.kind != kKindEllipse || (slot.vertexCount != 32 && slot.vertexCount != 33))
        return false;
    const int16_t* p = paramsOf(slot);
    int32_t rx, ry;
    *vertical = false;
    *circle = false;
    if (p && slot.paramBytes == 6) {
        rx = ry = p[2];
        *circle = true;
    } else if (p && slot.paramBytes >= 12 && (p[4] == 0 || p[5] == 0)) {
        *vertical = p[4] == 0;
        rx = *vertical ? p[3] : p[2];
        ry = *vertical ? p[2] : p[3];
    } else {
        return false;
    }
    box[0] = p[0] - rx;
    box[1] = p[1] - ry;
    box[2] = p[0] + rx;
    box[3] = p[1] + ry;
    return true;
}

namespace {

int32_t solverKindOf(const AlignSlot& slot) {
    // A polyline of this many vertices is a scribble: like a curve it is
    // neither moved nor a target, and it would make the link tables huge.
    if (slot.vertexCount > kMaxAlignedVertices) return 0;
    switch (slot.kind) {
        case kKindTriangle:
            return kSolverTriangle;
        case kKindParallelogram:
            return kSolverParallelogram;
        case kKindArrow:
            return kSolverArrow;
        case kKindDoubleArrow:
            return kSolverDoubleArrow;
        case kKindEllipse:
            return kSolverRotatedEllipse;
        case kKindPolyline: {
            // A closed outline is solved as a closed figure, not as a line: its
            // closing vertex repeats its first (not free, put back after each
            // pass), and it is no connector, whose two ends the attachment,
            // the connector links and the age rules would take for two
            // separate line ends and so open it or join boxes through it. Its
            // first vertex is a target as a line's is (the cost factors).
            const int16_t* v = slot.vertices;
            const int n = slot.vertexCount;
            const bool closed =
                slot.closed && n > 2 && v[0] == v[2 * n - 2] && v[1] == v[2 * n - 1];
            return closed ? kSolverClosedPolyline : kSolverOpenPolyline;
        }
        default:
            return 0;
    }
}

void swapVertices(int16_t* v, int a, int b) {
    for (int d = 0; d < 2; ++d) {
        const int16_t t = v[2 * a + d];
        v[2 * a + d] = v[2 * b + d];
        v[2 * b + d] = t;
    }
}

void cornerRoles(const int16_t* v, const int32_t box[4], int32_t roles[4]) {
    for (int k = 0; k < 4; ++k) {
        const bool left = v[2 * k] == box[0], top = v[2 * k + 1] == box[1];
        roles[k] = top ? (left ? 0 : 1) : (left ? 3 : 2);
    }
}

int32_t packRoles(const int32_t roles[4]) {
    return roles[0] | roles[1] << 4 | roles[2] << 8 | roles[3] << 12;
}

// The reference point of vertex v: its drawn position, or the vertex itself.
void referenceOf(const AlignSlot& slot, int v, int32_t* out) {
    int32_t x = slot.vertices[2 * v], y = slot.vertices[2 * v + 1];
    if (slot.drawn && slot.pointIndexes) {
        const int16_t i = slot.pointIndexes[v];
        if (i >= 0 && i < slot.drawnCount) {
            x = slot.drawn[2 * i];
            y = slot.drawn[2 * i + 1];
        }
    }
    out[0] = x;
    out[1] = y;
}

// Snaps a coordinate to the previous vertex's when within 3.
void snapChain(int16_t* v, int from, int to) {
    for (int m = from + 1; m <= to; ++m)
        for (int d = 0; d < 2; ++d)
            if (absValue(static_cast<int64_t>(v[2 * m + d]) - v[2 * m - 2 + d]) < 3)
                v[2 * m + d] = v[2 * m - 2 + d];
}

void copyVertex(int16_t* v, int to, int from) {
    v[2 * to] = v[2 * from];
    v[2 * to + 1] = v[2 * from + 1];
}

void writeEllipseBack(AlignSlot& slot, const SlotPlan& plan, const int32_t* box) {
    auto centre = [](int64_t lo, int64_t hi) { return clamp32((lo + hi + 1) / 2); };
    const int32_t cx = centre(box[kBoxLeft], box[kBoxRight]);
    const int32_t cy = centre(box[kBoxTop], box[kBoxBottom]);
    const int64_t width = static_cast<int64_t>(box[kBoxRight]) - box[kBoxLeft];
    const int64_t height = static_cast<int64_t>(box[kBoxBottom]) - box[kBoxTop];
    const int64_t a = width < 4 ? 1 : width / 2;
    const int64_t b = height < 2 ? 1 : height / 2;
    const int32_t ocx = centre(plan.oldBox[0], plan.oldBox[2]);
    const int32_t ocy = centre(plan.oldBox[1], plan.oldBox[3]);
    for (int v = 0; v < slot.vertexCount; ++v) {
        const int64_t dx = slot.vertices[2 * v] - ocx, dy = slot.vertices[2 * v + 1] - ocy;
        const int64_t adx = absValue(dx), ady = absValue(dy);
        const int64_t r = ratio1024(adx, a) * adx / a + ratio1024(ady, b) * ady / b;
        // The square root of r / 1024, times 1024, to first order.
        const int64_t rho = r / 2 + 512;
        const int64_t mx = (adx * 1024 + rho / 2) / rho, my = (ady * 1024 + rho / 2) / rho;
        slot.vertices[2 * v] = clamp16(cx + (dx < 0 ? -mx : mx));
        slot.vertices[2 * v + 1] = clamp16(cy + (dy < 0 ? -my : my));
    }
    int16_t* p = paramsOf(slot);
    if (!p) return;
    p[0] = clamp16(cx);
    p[1] = clamp16(cy);
    if (plan.circle) {
        p[2] = clamp16(a);
    } else if (slot.paramBytes >= 12) {
        p[2] = clamp16(plan.verticalEllipse ? b : a);
        p[3] = clamp16(plan.verticalEllipse ? a : b);
    }
}

void writeVertexShapeBack(AlignSlot& slot, const SlotPlan& plan, int32_t kind, const int32_t* out) {
    const int n = slot.vertexCount;
    int16_t* v = slot.vertices;
    if (kind == kSolverRotatedEllipse) {
        // The solver's point 0 is the centre, not the first outline vertex:
        // the outline moves by the centre's shift.
        const int64_t sx = static_cast<int64_t>(out[0]) - plan.oldCentre[0];
        const int64_t sy = static_cast<int64_t>(out[1]) - plan.oldCentre[1];
        for (int m = 0; m < n; ++m) {
            v[2 * m] = clamp16(static_cast<int64_t>(v[2 * m]) + sx);
            v[2 * m + 1] = clamp16(static_cast<int64_t>(v[2 * m + 1]) + sy);
        }
        if (int16_t* p = paramsOf(slot)) {
            p[0] = clamp16(static_cast<int64_t>(p[0]) + sx);
            p[1] = clamp16(static_cast<int64_t>(p[1]) + sy);
        }
        return;
    }
    for (int m = 0; m < 2 * n; ++m) v[m] = clamp16(out[m]);
    const bool arrow = kind == kSolverArrow || kind == kSolverDoubleArrow;
    if (!(isRigidKind(kind) || arrow || n <= 4)) return;
    if (kind == kSolverArrow && n >= 5) {
        snapChain(v, 0, n - 4);
        copyVertex(v, n - 2, n - 4);
    } else if (kind == kSolverDoubleArrow && n >= 8) {
        snapChain(v, 3, n - 4);
        copyVertex(v, n - 2, n - 4);
        copyVertex(v, 1, 3);
    } else if (!arrow) {
        snapChain(v, 0, n - 1);
        if (isRigidKind(kind)) copyVertex(v, 0, n - 1);
    }
}

// Drawn forms of the run's objects for the connector distances: the drawn
// points with the vertices' point indexes, or the vertices themselves when
// the indexes do not fit the drawn points (or the drawn points are too many
// to measure every reference point against).
struct DrawnForms {
    DrawnRun runs[kAlignCapacity];
    void* block = nullptr;
    ~DrawnForms() { freeBlock(block); }
};

bool indexesFit(const AlignSlot& slot) {
    if (!slot.drawn || !slot.pointIndexes) return false;
    for (int v = 0; v < slot.vertexCount; ++v) {
        const int16_t i = slot.pointIndexes[v];
        if (i < 0 || i >= slot.drawnCount || (v && i < slot.pointIndexes[v - 1])) return false;
    }
    return true;
}

bool makeDrawnForms(const AlignContext* context, const SlotPlan* plans, int32_t boxCount,
                    DrawnForms* forms) {
    int64_t points = 0, refs = 0;
    bool useDrawn = true;
    for (int pass = 0; pass < 2; ++pass) {
        points = refs = 0;
        for (int i = 0; i < context->shapeCount; ++i) {
            const AlignSlot& slot = context->slots[i];
            if (plans[i].role == kRoleNone) continue;
            points += useDrawn && indexesFit(slot) ? slot.drawnCount : slot.vertexCount;
            refs += slot.vertexCount;
        }
        if (refs * points <= (int64_t{1} << 22)) break;
        useDrawn = false;
    }
    forms->block = allocBlock(sizeof(int32_t) * static_cast<size_t>(2 * points + refs + 2));
    if (!forms->block) return false;
    int32_t* p = static_cast<int32_t*>(forms->block);
    for (int i = 0; i < context->shapeCount; ++i) {
        const AlignSlot& slot = context->slots[i];
        const SlotPlan& plan = plans[i];
        if (plan.role == kRoleNone) continue;
        const int32_t object = plan.role == kRoleVertexShape ? boxCount + plan.object : plan.object;
        DrawnRun& run = forms->runs[object];
        const bool drawn = useDrawn && indexesFit(slot);
        const int n = drawn ? slot.drawnCount : slot.vertexCount;
        const int16_t* src = drawn ? slot.drawn : slot.vertices;
        run.points = p;
        run.count = n;
        for (int k = 0; k < 2 * n; ++k) *p++ = src[k];
        run.refs = p;
        const bool rotated = plan.role == kRoleVertexShape && slot.kind == kKindEllipse;
        run.refCount = rotated ? 0 : slot.vertexCount;
        if (plan.role == kRoleEllipseBox) run.refCount = slot.vertexCount > 1 ? 2 : 1;
        for (int v = 0; v < run.refCount; ++v) {
            const int m = plan.role == kRoleEllipseBox && v == 1 ? slot.vertexCount - 1 : v;
            *p++ = drawn ? slot.pointIndexes[m] : m;
        }
    }
    return true;
}

// The working block of one pass.
struct PassMemory {
    void* block = nullptr;
    ~PassMemory() { freeBlock(block); }
};

}  // namespace

int alignShapes(AlignContext* context, int mode) {
    const int count = context->shapeCount;
    if (count <= 0) return 0;
    bool anyNew = false;
    for (int i = 0; i < count; ++i) {
        if (!context->slots[i].vertices || context->slots[i].vertexCount < 1) return 0;
        if (context->slots[i].alignId == 0) anyNew = true;
    }
    if (!anyNew) return 0;
    context->gridX = context->gridY = 0;

    SlotPlan plans[kAlignCapacity] = {};
    int32_t ellipses = 0, rectangles = 0, shapes = 0, vertices = 0;
    bool connectors = false;
    for (int i = 0; i < count; ++i) {
        AlignSlot& slot = context->slots[i];
        SlotPlan& plan = plans[i];
        plan.idBefore = slot.alignId;
        const int n = slot.vertexCount;
        const bool arrow = slot.kind == kKindArrow || slot.kind == kKindDoubleArrow;
        int16_t* v = slot.vertices;
        if (arrow && n >= 5 && v[2 * (n - 4)] == v[2 * (n - 1)] &&
            v[2 * (n - 4) + 1] == v[2 * (n - 1) + 1]) {
            swapVertices(v, n - 2, n - 1);
            plan.swappedEnd = true;
        }
        if (slot.kind == kKindDoubleArrow && n >= 8 && v[0] == v[6] && v[1] == v[7]) {
            swapVertices(v, 0, 1);
            plan.swappedStart = true;
        }
        int32_t box[4];
        if (axisEllipseBox(slot, box, &plan.verticalEllipse, &plan.circle)) {
            plan.role = kRoleEllipseBox;
            memcpy(plan.oldBox, box, sizeof(box));
            ++ellipses;
        } else if (isAxisRectangle(slot)) {
            plan.role = kRoleRectangle;
            ++rectangles;
        } else if (const int32_t kind = solverKindOf(slot)) {
            plan.role = kRoleVertexShape;
            plan.object = shapes++;
            vertices += kind == kSolverRotatedEllipse ? 3 : n;
            if (isConnectorKind(kind)) connectors = true;
        }
    }
    const int32_t B = ellipses + rectangles;
    int32_t nextEllipse = 0, nextRectangle = ellipses;
    for (int i = 0; i < count; ++i) {
        if (plans[i].role == kRoleEllipseBox) plans[i].object = nextEllipse++;
        if (plans[i].role == kRoleRectangle) plans[i].object = nextRectangle++;
    }

    const size_t ints = static_cast<size_t>(2 * kBoxFields * B + (shapes + 1) + shapes +
                                            4 * vertices + 2 * vertices);
    const size_t links = connectors && B > 0 ? static_cast<size_t>(B) * shapes : 0;
    const size_t bytes = sizeof(int32_t) * ints + sizeof(int32_t*) * 2 * (shapes + 1) +
                         sizeof(int16_t) * (B + shapes) + sizeof(uint16_t) * links + 64;
    PassMemory memory;
    memory.block = allocZeroed(bytes);
    if (!memory.block) return 0;
    int32_t** pointers = static_cast<int32_t**>(memory.block);
    int32_t* p = reinterpret_cast<int32_t*>(pointers + 2 * (shapes + 1));
    AlignRun run = {};
    run.ellipseCount = ellipses;
    run.boxCount = B;
    run.shapeCount = shapes;
    run.vertsIn = pointers;
    run.vertsOut = pointers + shapes + 1;
    run.boxesIn = p;
    p += kBoxFields * B;
    run.boxesOut = p;
    p += kBoxFields * B;
    run.offsets = p;
    p += shapes + 1;
    run.kinds = p;
    p += shapes;
    int32_t* vin = p;
    p += 2 * vertices;
    int32_t* vout = p;
    p += 2 * vertices;
    int32_t* reference = p;
    p += 2 * vertices;
    run.reference = reference;
    int16_t* ids = reinterpret_cast<int16_t*>(p);
    run.boxIds = ids;
    run.shapeIds = ids + B;
    run.connectorLinks = links ? reinterpret_cast<uint16_t*>(ids + B + shapes) : nullptr;
    run.mode = 1;
    run.snap = context->snap ? 1 : 0;
    run.flags = mode;

    int32_t offset = 0;
    for (int i = 0; i < count; ++i) {
        AlignSlot& slot = context->slots[i];
        SlotPlan& plan = plans[i];
        const int16_t* v = slot.vertices;
        if (plan.role == kRoleEllipseBox || plan.role == kRoleRectangle) {
            int32_t* box = run.boxesIn + kBoxFields * plan.object;
            if (plan.role == kRoleEllipseBox) {
                memcpy(box, plan.oldBox, sizeof(plan.oldBox));
            } else {
                box[0] = box[2] = v[0];
                box[1] = box[3] = v[1];
                for (int k = 1; k < 4; ++k) {
                    if (v[2 * k] < box[0]) box[0] = v[2 * k];
                    if (v[2 * k] > box[2]) box[2] = v[2 * k];
                    if (v[2 * k + 1] < box[1]) box[1] = v[2 * k + 1];
                    if (v[2 * k + 1] > box[3]) box[3] = v[2 * k + 1];
                }
                int32_t roles[4];
                cornerRoles(v, box, roles);
                box[kBoxRoles] = packRoles(roles);
            }
            // A box of zero size is still a box: its width and height are 1.
            if (box[2] == box[0]) box[2] = box[0] + 1;
            if (box[3] == box[1]) box[3] = box[1] + 1;
            const int32_t w = box[2] - box[0], h = box[3] - box[1];
            if (plan.role == kRoleRectangle && absValue(static_cast<int64_t>(w) - h) < 6) {
                const int32_t side = (w + h) / 2;
                box[2] = box[0] + side;
                box[3] = box[1] + side;
            }
            box[kBoxSlot] = i;
            run.boxIds[plan.object] = slot.alignId;
        } else if (plan.role == kRoleVertexShape) {
            const int32_t k = plan.object;
            const int32_t kind = solverKindOf(slot);
            run.kinds[k] = kind;
            run.offsets[k] = offset;
            run.vertsIn[k] = vin + 2 * offset;
            run.vertsOut[k] = vout + 2 * offset;
            run.shapeIds[k] = slot.alignId;
            int32_t* in = run.vertsIn[k];
            if (kind == kSolverRotatedEllipse) {
                const int16_t* q = paramsOf(slot);
                const bool ok = q && slot.paramBytes >= 12;
                in[0] = ok ? q[0] : v[0];
                in[1] = ok ? q[1] : v[1];
                in[2] = in[0] + (ok ? q[2] : 0);
                in[3] = in[1] + (ok ? q[3] : 0);
                in[4] = ok ? q[4] : 1024;
                in[5] = ok ? q[5] : 0;
                plan.oldCentre[0] = in[0];
                plan.oldCentre[1] = in[1];
                for (int m = 0; m < 3; ++m) {
                    reference[2 * (offset + m)] = in[2 * m];
                    reference[2 * (offset + m) + 1] = in[2 * m + 1];
                }
                offset += 3;
            } else {
                for (int m = 0; m < slot.vertexCount; ++m) {
                    in[2 * m] = v[2 * m];
                    in[2 * m + 1] = v[2 * m + 1];
                    referenceOf(slot, m, reference + 2 * (offset + m));
                }
                offset += slot.vertexCount;
            }
        }
    }
    run.offsets[shapes] = offset;

    // A lone box has nothing to align with but itself: it holds still.
    int16_t loneBoxId = 0;
    if (B == 1) {
        loneBoxId = run.boxIds[0];
        run.boxIds[0] = -1;
    }
    DrawnForms forms;
    ConnectorDistances distances = {};
    if (makeDrawnForms(context, plans, B, &forms) &&
        buildConnectorDistances(forms.runs, B + shapes, &distances))
        run.distances = &distances;
    solveAlignment(run);
    freeConnectorDistances(&distances);
    if (B == 1) run.boxIds[0] = loneBoxId;

    TableSearch search;
    search.count = 0;
    TableShape tableShapes[kAlignCapacity] = {};
    if (mode & kAlignTablesFlag) {
        uint16_t marks[kAlignCapacity];
        bool eligible = ellipses == 0;
        for (int i = 0; i < count; ++i) {
            const SlotPlan& plan = plans[i];
            marks[i] = context->slots[i].tableMark;
            TableShape& t = tableShapes[i];
            if (plan.role == kRoleRectangle) {
                t.role = kTableRectangle;
                t.box = run.boxesOut + kBoxFields * plan.object;
                t.alignId = run.boxIds[plan.object];
            } else if (plan.role == kRoleVertexShape) {
                const int32_t k = plan.object;
                if (run.kinds[k] != kSolverOpenPolyline || vertexCountOf(run, k) != 2) {
                    eligible = false;
                    continue;
                }
                t.role = kTableLine;
                t.line = run.vertsOut[k];
                t.line2 = run.vertsIn[k];
                t.alignId = run.shapeIds[k];
            }
        }
        if (eligible && findTableCandidates(tableShapes, count, marks, &search) > 0)
            spaceRulings(tableShapes, count, search);
    }

    updateAlignmentAges(run);
    for (int i = 0; i < count; ++i) {
        AlignSlot& slot = context->slots[i];
        const SlotPlan& plan = plans[i];
        if (plan.role == kRoleNone) continue;
        int16_t newId;
        if (plan.role == kRoleVertexShape) {
            const int32_t k = plan.object;
            writeVertexShapeBack(slot, plan, run.kinds[k], run.vertsOut[k]);
            newId = run.shapeIds[k];
            slot.changed = (plan.idBefore == -1 && newId == -1) ? 0 : 1;
        } else {
            const int32_t* box = run.boxesOut + kBoxFields * plan.object;
            if (plan.role == kRoleEllipseBox) {
                writeEllipseBack(slot, plan, box);
            } else {
                const int16_t l = clamp16(box[kBoxLeft]), t = clamp16(box[kBoxTop]);
                const int16_t r = clamp16(box[kBoxRight]), b = clamp16(box[kBoxBottom]);
                const int16_t corners[10] = {l, t, l, b, r, b, r, t, l, t};
                memcpy(slot.vertices, corners, sizeof(corners));
            }
            newId = run.boxIds[plan.object];
            slot.changed = plan.idBefore == -1 ? 0 : 1;
        }
        slot.alignId = newId;
        const int n = slot.vertexCount;
        if (plan.swappedEnd) swapVertices(slot.vertices, n - 2, n - 1);
        if (plan.swappedStart) swapVertices(slot.vertices, 0, 1);
    }

    computeDisposition(context);
    if (mode & kAlignTablesFlag) {
        freeAlignTables(context);
        for (int i = 0; i < count; ++i) {
            uint16_t& mark = context->slots[i].tableMark;
            if (mark != kExcludedFromTables) mark = kNoTable;
            if (search.count > 0 && search.member[i] == kExcludedFromTables)
                mark = search.member[i];
        }
        if (search.count > 0) buildTables(context, search, log2Round(context->scale));
    }
    return 1;
}

int16_t applyVexaAlign(Shaper* s, int flags) {
    const int16_t finished = static_cast<int16_t>(s->finishedShapes.count);
    if (!s->alignContext && !(s->alignContext = createAlignContext())) return finished;
    AlignContext* context = s->alignContext;
    context->scale = static_cast<uint32_t>(s->exScale);
    context->snap = s->alignMode != 0 ? 1 : 0;
    context->shapeCount = 0;
    const int first = finished > context->capacity ? finished - context->capacity : 0;
    Shape* taken[kAlignCapacity];
    int takenCount = 0;
    for (int i = first; i < finished; ++i) {
        Shape* shape = ptrAt<Shape>(&s->finishedShapes, i);
        VSANSWER* a = shape ? answerAt(shape, 0) : nullptr;
        if (!a || a->vertexCount < 1 || !a->vertices) continue;
        uint16_t drawnCount = 0;
        const int16_t* drawn = nullptr;
        if (a->kind == kKindCurve || (a->alignedVertices && a->vertexIndexes)) {
            if (shape->points) {
                drawnCount = shape->points->count;
                drawn = reinterpret_cast<const int16_t*>(shape->points->points);
            }
        } else {
            const int n = a->vertexCount;
            int16_t* aligned =
                static_cast<int16_t*>(allocBlock(sizeof(int16_t) * 2 * static_cast<size_t>(n)));
            int16_t* indexes =
                static_cast<int16_t*>(allocBlock(sizeof(int16_t) * static_cast<size_t>(n)));
            freeBlock(a->alignedVertices);
            freeBlock(a->vertexIndexes);
            a->alignedVertices = aligned;
            a->vertexIndexes = indexes;
            if (!aligned || !indexes) {
                freeBlock(aligned);
                freeBlock(indexes);
                a->alignedVertices = nullptr;
                a->vertexIndexes = nullptr;
                continue;
            }
            memcpy(aligned, a->vertices, sizeof(int16_t) * 2 * static_cast<size_t>(n));
            for (int m = 0; m < n; ++m) indexes[m] = static_cast<int16_t>(m);
            drawnCount = static_cast<uint16_t>(n);
            drawn = aligned;
        }
        if (!addAlignSlot(context, a, static_cast<int16_t>(shape->alignGroup),
                          static_cast<uint16_t>(a->vertexCount), a->vertices, drawnCount, drawn))
            break;
        taken[takenCount++] = shape;
    }
    // A pass that does not run still leaves the disposition of the shapes it
    // was given: callers read n x n entries for the n shapes taken.
    if (!alignShapes(context, (flags & kAlignTablesFlag) + 1)) computeDisposition(context);
    s->disposition = context->disposition;
    for (int k = 0; k < takenCount; ++k) {
        Shape* shape = taken[k];
        const AlignSlot& slot = context->slots[k];
        const int n = slot.vertexCount < shape->outputCount ? slot.vertexCount : shape->outputCount;
        for (int i = 0; i < n && shape->output; ++i) {
            shape->output[2 * i] = slot.vertices[2 * i];
            shape->output[2 * i + 1] = slot.vertices[2 * i + 1];
        }
        // A closed outline's output has its first point once more behind the
        // vertices; it moves with the first, or the drawn outline would open.
        if (shape->output && shape->closed && shape->outputCount == slot.vertexCount + 1 && n > 0) {
            shape->output[2 * n] = shape->output[0];
            shape->output[2 * n + 1] = shape->output[1];
        }
        shape->alignGroup = static_cast<uint16_t>(slot.alignId);
        VSANSWER* a = answerAt(shape, 0);
        a->alignValue = static_cast<int32_t>(slot.changed);
        a->alignId = slot.alignId;
    }
    return finished;
}

}  // namespace vexa
