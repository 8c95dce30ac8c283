#include "AlignAges.h"

#include <initializer_list>

#include "AlignRun.h"
#include "FixedMath.h"
#include "Memory.h"

namespace vexa {

namespace {

int32_t boxHalfPerimeter(const int32_t* box) {
    return boxMeanSize(box[kBoxLeft], box[kBoxTop], box[kBoxRight], box[kBoxBottom]);
}

int32_t shapeHalfPerimeter(const AlignRun& run, int32_t k) {
    const int32_t n = vertexCountOf(run, k);
    const int32_t* p = run.vertsIn[k];
    if (run.kinds[k] == kSolverRotatedEllipse && n >= 2)
        return clamp32(absValue(static_cast<int64_t>(p[2]) - p[0]) +
                       absValue(static_cast<int64_t>(p[3]) - p[1]));
    if (n < 2) return 4;
    Box box;
    boxClear(&box);
    for (int32_t m : {0, 1, n - 2, n - 1}) boxExtend(&box, p[2 * m], p[2 * m + 1]);
    return clamp32((static_cast<int64_t>(boxWidth(&box)) + boxHeight(&box)) / 2);
}

struct AgeLimits {
    int16_t age;   // ids from this age on are frozen
    int16_t life;  // frozen ids from this age on are frozen for good
};

void freeze(int16_t* id, AgeLimits limits) { *id = *id < limits.life ? -1 : -2; }

// Each shape ages once per call, however many new shapes there are.
void ageOnce(int16_t* id, uint8_t* aged) {
    if (*id < 0 || *aged) return;
    ++*id;
    *aged = 1;
}

// Every vertex shape ages once; it freezes when old, or when the new shape
// (half perimeter p) is not more than half its size.
void ageShapes(const AlignRun& run, int64_t p, AgeLimits limits, uint8_t* aged) {
    for (int32_t k = 0; k < run.shapeCount; ++k) {
        int16_t* id = &run.shapeIds[k];
        if (*id < 0) continue;
        ageOnce(id, &aged[k]);
        if (*id >= limits.age || 2 * p <= shapeHalfPerimeter(run, k)) freeze(id, limits);
    }
}

}  // namespace

void updateAlignmentAges(const AlignRun& run) {
    const int32_t B = run.boxCount, K = run.shapeCount;
    uint8_t* aged = static_cast<uint8_t*>(allocZeroed(static_cast<size_t>(B + K) + 1));
    if (!aged) return;
    const AgeLimits limits = run.mode ? AgeLimits{1, 11} : AgeLimits{5, 15};
    for (int32_t nb = 0; nb < B + K; ++nb) {
        const bool newBox = nb < B;
        const int16_t id = newBox ? run.boxIds[nb] : run.shapeIds[nb - B];
        if (id != 0) continue;
        if (newBox) {
            const int64_t p = boxHalfPerimeter(run.boxesIn + kBoxFields * nb);
            for (int32_t b = 0; b < B; ++b) {
                int16_t* bid = &run.boxIds[b];
                if (*bid < 0) continue;
                ageOnce(bid, &aged[b]);
                if (!(*bid < limits.age && 2 * p > boxHalfPerimeter(run.boxesIn + kBoxFields * b)))
                    freeze(bid, limits);
            }
            ageShapes(run, p, limits, aged + B);
        } else {
            const int32_t self = nb - B;
            const int64_t p = shapeHalfPerimeter(run, self);
            const bool connector = isConnectorKind(run.kinds[self]);
            for (int32_t b = 0; b < B; ++b) {
                int16_t* bid = &run.boxIds[b];
                if (*bid < 0) continue;
                ageOnce(bid, &aged[b]);
                const int64_t half = boxHalfPerimeter(run.boxesIn + kBoxFields * b);
                if (*bid >= limits.age) {
                    freeze(bid, limits);
                } else if (2 * p > half || connector) {
                    const bool bothEnds =
                        run.connectorLinks && run.connectorLinks[b * K + self] == 3;
                    if (connector && (3 * p <= half || bothEnds)) freeze(bid, limits);
                } else {
                    freeze(bid, limits);
                }
            }
            ageShapes(run, p, limits, aged + B);
        }
        break;  // the first new shape aged every other one: it is the only new shape
    }
    freeBlock(aged);
}

int32_t pointToPolylineDistance(int32_t n, const int32_t* v, int32_t x, int32_t y) {
    if (n < 2) return 65535;
    int64_t best = INT64_MAX;
    for (int32_t k = 0; k + 1 < n; ++k) {
        const int64_t ax = v[2 * k], ay = v[2 * k + 1], bx = v[2 * k + 2], by = v[2 * k + 3];
        const int64_t dx = bx - ax, dy = by - ay, px = x - ax, py = y - ay;
        const int64_t len2 = dx * dx + dy * dy;
        const int64_t dot = px * dx + py * dy;
        int64_t d2;
        if (len2 > 0 && dot > 0 && dot < len2) {
            // The foot's place along the segment as a 10-bit fraction.
            const int64_t t = ratio1024(dot, len2);
            const int64_t fx = ax + ((t * dx) >> 10), fy = ay + ((t * dy) >> 10);
            d2 = (x - fx) * (x - fx) + (y - fy) * (y - fy);
        } else {
            const int64_t qx = x - bx, qy = y - by;
            const int64_t a2 = px * px + py * py, b2 = qx * qx + qy * qy;
            d2 = a2 < b2 ? a2 : b2;
        }
        if (d2 < best) best = d2;
    }
    const int64_t root = isqrtLarge(static_cast<uint64_t>(best));
    return root > 65535 ? 65535 : static_cast<int32_t>(root);
}

namespace {

// A run's segments: between consecutive reference points, or one segment of
// all its drawn points when it has fewer than three references.
int32_t segmentsOf(const DrawnRun& run) { return run.refCount >= 3 ? run.refCount - 1 : 1; }

void segmentSpan(const DrawnRun& run, int32_t s, int32_t* from, int32_t* count) {
    if (run.refCount < 3) {
        *from = 0;
        *count = run.count;
        return;
    }
    *from = run.refs[s];
    *count = run.refs[s + 1] - run.refs[s] + 1;
}

}  // namespace

bool buildConnectorDistances(const DrawnRun* objects, int32_t count, ConnectorDistances* out) {
    *out = ConnectorDistances{};
    out->objectRef =
        static_cast<int32_t*>(allocZeroed(sizeof(int32_t) * 2 * (static_cast<size_t>(count) + 1)));
    if (!out->objectRef) return false;
    out->objectSeg = out->objectRef + count + 1;
    for (int32_t o = 0; o < count; ++o) {
        out->objectRef[o + 1] = out->objectRef[o] + objects[o].refCount;
        out->objectSeg[o + 1] = out->objectSeg[o] + segmentsOf(objects[o]);
    }
    const int64_t R = out->objectRef[count], S = out->objectSeg[count];
    out->refCount = static_cast<int32_t>(R);
    out->segmentCount = static_cast<int32_t>(S);
    out->toSegment =
        static_cast<uint16_t*>(allocBlock(sizeof(uint16_t) * static_cast<size_t>(R * S + 1)));
    out->toPoint =
        static_cast<uint16_t*>(allocBlock(sizeof(uint16_t) * static_cast<size_t>(R * R + 1)));
    if (!out->toSegment || !out->toPoint) {
        freeConnectorDistances(out);
        return false;
    }
    int64_t r = 0;
    for (int32_t a = 0; a < count; ++a) {
        for (int32_t i = 0; i < objects[a].refCount; ++i, ++r) {
            const int32_t* p = objects[a].points + 2 * objects[a].refs[i];
            int64_t s = 0, q = 0;
            for (int32_t b = 0; b < count; ++b) {
                const DrawnRun& run = objects[b];
                for (int32_t k = 0; k < segmentsOf(run); ++k, ++s) {
                    int32_t from, n;
                    segmentSpan(run, k, &from, &n);
                    out->toSegment[r * S + s] = static_cast<uint16_t>(
                        pointToPolylineDistance(n, run.points + 2 * from, p[0], p[1]));
                }
                for (int32_t k = 0; k < run.refCount; ++k, ++q) {
                    const int32_t* o = run.points + 2 * run.refs[k];
                    const int64_t dx = static_cast<int64_t>(o[0]) - p[0];
                    const int64_t dy = static_cast<int64_t>(o[1]) - p[1];
                    const int64_t d = isqrtLarge(static_cast<uint64_t>(dx * dx + dy * dy));
                    out->toPoint[r * R + q] = static_cast<uint16_t>(d > 65535 ? 65535 : d);
                }
            }
        }
    }
    return true;
}

void freeConnectorDistances(ConnectorDistances* d) {
    freeBlock(d->objectRef);
    freeBlock(d->toSegment);
    freeBlock(d->toPoint);
    *d = ConnectorDistances{};
}

}  // namespace vexa
