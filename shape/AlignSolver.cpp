#include "AlignSolver.h"

#include <initializer_list>
#include <string.h>

#include "AlignGeometry.h"
#include "AlignLinks.h"
#include "FixedMath.h"
#include "Memory.h"

namespace vexa {

namespace {

constexpr int32_t kPasses = 10;

int32_t minOf(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t maxOf(int32_t a, int32_t b) { return a > b ? a : b; }

void copyInputsToOutputs(AlignRun& run) {
    if (run.boxCount > 0)
        memcpy(run.boxesOut, run.boxesIn,
               sizeof(int32_t) * kBoxFields * static_cast<size_t>(run.boxCount));
    for (int32_t k = 0; k < run.shapeCount; ++k)
        memcpy(run.vertsOut[k], run.vertsIn[k],
               sizeof(int32_t) * 2 * static_cast<size_t>(vertexCountOf(run, k)));
}

// All working arrays of one run in one block.
struct Working {
    void* block;
};

bool allocateState(SolverState& s, Working& w) {
    const size_t n = static_cast<size_t>(s.n), B = static_cast<size_t>(s.boxCount);
    const size_t ints = n * 12 + 6 * n + B * 2 + n * n * 4;
    const size_t shorts = n + B * B;
    w.block = allocZeroed(sizeof(int32_t) * ints + sizeof(uint16_t) * shorts + 16);
    if (!w.block) return false;
    int32_t* p = static_cast<int32_t*>(w.block);
    auto take = [&](size_t count) {
        int32_t* r = p;
        p += count;
        return r;
    };
    s.owner = take(n);
    s.x = take(n);
    s.y = take(n);
    s.tolX = take(n);
    s.tolY = take(n);
    s.tolC = take(n);
    s.refX = take(n);
    s.refY = take(n);
    s.straightRun = take(n);
    s.scratch = take(9 * n);
    s.width = take(B);
    s.height = take(B);
    s.closeX = take(n * n);
    s.closeY = take(n * n);
    s.limitX = take(n * n);
    s.limitY = take(n * n);
    uint16_t* q = reinterpret_cast<uint16_t*>(p);
    s.marks = q;
    s.boxConnected = s.run->connectorLinks ? q + n : nullptr;
    return true;
}

// Size weights of the other boxes toward box b: the farther apart and the
// less alike, the less another box's size pulls this one's.
void sizeWeights(const SolverState& s, int32_t b, int32_t* weights) {
    const AlignRun& run = *s.run;
    const int32_t* own = run.boxesIn + kBoxFields * b;
    const Box ownBox = {own[kBoxLeft], own[kBoxRight], own[kBoxTop], own[kBoxBottom]};
    for (int32_t j = 0; j < s.boxCount; ++j) {
        const int32_t* other = run.boxesIn + kBoxFields * j;
        const Box otherBox = {other[kBoxLeft], other[kBoxRight], other[kBoxTop], other[kBoxBottom]};
        const int32_t gx =
            intervalGap(own[kBoxLeft], own[kBoxRight], other[kBoxLeft], other[kBoxRight]);
        const int32_t gy =
            intervalGap(own[kBoxTop], own[kBoxBottom], other[kBoxTop], other[kBoxBottom]);
        const int32_t tx = maxOf(minOf(s.tolX[3 * b + 1], s.tolX[3 * j + 1]), 1);
        const int32_t ty = maxOf(minOf(s.tolY[3 * b + 1], s.tolY[3 * j + 1]), 1);
        const int64_t gaps = (static_cast<int64_t>(ratio1024(gx, tx)) + ratio1024(gy, ty)) / 2;
        const int64_t sum = gaps + boxSimilarity(&ownBox, &otherBox, 2, nullptr);
        int32_t weight = lerpClamped(0, 2850, 870, 1950, clamp32(sum));
        if ((b < run.ellipseCount) != (j < run.ellipseCount)) weight *= 2;
        weights[2 * j] = weight;
        weights[2 * j + 1] = 3 * weight;
    }
}

struct AxisResult {
    int32_t low, high;
};

// Reconciles one axis of a box from its relaxed low edge, high edge and
// centre with their strengths and the clustered size.
int32_t reconciledSize(int32_t L, int32_t R, int32_t C, int32_t sL, int32_t sR, int32_t sC,
                       int32_t W, int32_t f, int32_t pass, int32_t* sizeClass) {
    int32_t w, k = 0;
    if (!(f > 0 && sL > 0 && sR > 0)) {
        if (sL == 0 || sR == 0) k = f > 0 ? 2 : 0;
        w = ((sL > 0 || sR > 0) && f != 2) ? R - L : W;
        if (sC > 0) {
            if (sL > 0 && f < 2) {
                w = (w + 1 + 2 * (C - L)) / 2;
                if (f == 0) k = 1;
            }
            if (sR > 0 && f < 2) {
                w = (w + 1 + 2 * (R - C)) / 2;
                if (f == 0) k = 1;
            }
        }
        if (sL > 0 && sR > 0) {
            w = R - L;
            k = 2;
        }
    } else if (pass <= 7 && (sL < 181 || sR < 181)) {
        k = 4;
        w = (sL < 141 || sR < 141) ? (W + (R - L) + 1) / 2 : (2 * (W + 2 * (R - L)) + 3) / 6;
    } else {
        w = R - L;
        k = 4;
    }
    *sizeClass = k;
    return w;
}

AxisResult anchored(int32_t L, int32_t R, int32_t C, int32_t sL, int32_t sR, int32_t sC,
                    int32_t w) {
    const int32_t a = maxOf(sL, sR);
    const bool centre = (a < 111 && a < sC) || (a < 141 && a + 20 < sC) || (a < 171 && a + 35 < sC);
    if (centre) {
        const int32_t low = C - (w + 1) / 2;
        return {low, low + w};
    }
    if (sL >= sR && sL >= 0) return {L, L + w};
    return {R - w, R};
}

void squareUp(int32_t* w, int32_t kw, int32_t* h, int32_t kh) {
    if (kw == kh) {
        *w = *h = (*w + *h + 1) / 2;
        return;
    }
    int32_t* winner = kw > kh ? w : h;
    int32_t* other = kw > kh ? h : w;
    if (absValue(static_cast<int64_t>(kw) - kh) == 1)
        *winner = *other = (2 * (*other + 2 * *winner) + 3) / 6;
    else
        *other = *winner;
}

// Per vertex the attachment targets it found near in pass 0: a mark per
// ellipse box and per segment of every vertex shape.
struct AttachMarks {
    uint8_t* ellipses = nullptr;     // vertices x ellipse boxes
    uint8_t* segments = nullptr;     // vertices x segments
    uint8_t* shapes = nullptr;       // vertices x vertex shapes (rotated ellipses)
    int32_t* segmentBase = nullptr;  // per vertex shape: its first segment
    int32_t segmentCount = 0;
    void* block = nullptr;
    ~AttachMarks() { freeBlock(block); }
};

bool allocateMarks(const AlignRun& run, int32_t vertices, AttachMarks* m) {
    int64_t segments = 0;
    for (int32_t k = 0; k < run.shapeCount; ++k)
        segments += vertexCountOf(run, k) > 1 ? vertexCountOf(run, k) - 1 : 0;
    const size_t bytes =
        sizeof(int32_t) * (static_cast<size_t>(run.shapeCount) + 1) +
        static_cast<size_t>(vertices) * (run.ellipseCount + segments + run.shapeCount) + 8;
    m->block = allocZeroed(bytes);
    if (!m->block) return false;
    m->segmentBase = static_cast<int32_t*>(m->block);
    m->ellipses = reinterpret_cast<uint8_t*>(m->segmentBase + run.shapeCount + 1);
    m->segments = m->ellipses + static_cast<size_t>(vertices) * run.ellipseCount;
    m->segmentCount = static_cast<int32_t>(segments);
    m->shapes = m->segments + static_cast<size_t>(vertices) * segments;
    int32_t base = 0;
    for (int32_t k = 0; k < run.shapeCount; ++k) {
        m->segmentBase[k] = base;
        base += vertexCountOf(run, k) > 1 ? vertexCountOf(run, k) - 1 : 0;
    }
    return true;
}

int64_t roundedDiv(int64_t num, int64_t den) {
    return num >= 0 ? (num + den / 2) / den : -((-num + den / 2) / den);
}

class Passes {
  public:
    Passes(SolverState& s, bool allActive, AttachMarks* marks)
        : s_(s), run_(*s.run), allActive_(allActive), attachMarks_(marks) {}

    void run() {
        for (int32_t pass = 0; pass < kPasses; ++pass) {
            relaxBoxes(pass);
            relaxVertexShapes(pass);
            copyBoxesBack();
        }
    }

  private:
    RelaxRow row(bool xAxis, int32_t i, int32_t pass, bool late, bool stepMode) const {
        const int64_t n = s_.n;
        RelaxRow r;
        r.values = xAxis ? s_.x : s_.y;
        r.closeness = (xAxis ? s_.closeX : s_.closeY) + i * n;
        r.limits = (xAxis ? s_.limitX : s_.limitY) + i * n;
        r.marks = s_.marks;
        r.late = late;
        r.stepMode = stepMode;
        const int16_t* grid = xAxis ? run_.gridX : run_.gridY;
        r.gridOrigin = grid[0];
        r.gridStep = pass <= 7 ? grid[1] : 0;
        r.mode = run_.mode != 0;
        r.passesLeft = kPasses - pass;
        r.forbidDown = allActive_;
        return r;
    }

    int32_t relax(bool xAxis, int32_t i, int32_t pass, bool late, bool stepMode, int32_t* strength,
                  int32_t* kind) {
        const int32_t v =
            relaxCoordinate(s_.layout, row(xAxis, i, pass, late, stepMode), i, strength, kind);
        (xAxis ? s_.x : s_.y)[i] = v;
        return v;
    }

    void relaxBoxes(int32_t pass) {
        const int32_t B = s_.boxCount;
        int32_t* sizes = s_.scratch;
        int32_t* weights = s_.scratch + 2 * B;
        for (int32_t b = 0; b < B; ++b) {
            int32_t* out = run_.boxesOut + kBoxFields * b;
            const int32_t* in = run_.boxesIn + kBoxFields * b;
            if (run_.boxIds[b] < 0) {
                memcpy(out, in, sizeof(int32_t) * kBoxFields);
                continue;
            }
            const bool lateEdges = pass >= 7 && !run_.snap;
            const bool lateCentre = pass >= 8 && !run_.snap;
            const bool late = pass >= 8;
            int32_t sL[2], sR[2], sC[2], kind;
            int32_t L[2], R[2], C[2];
            const int32_t lo = 3 * b, mid = lo + 1, hi = lo + 2;
            markCandidates(s_.layout, s_.tolX, s_.tolY, s_.x, s_.y, lo, lateEdges, s_.marks);
            L[0] = relax(true, lo, pass, late, false, &sL[0], &kind);
            L[1] = relax(false, lo, pass, late, false, &sL[1], &kind);
            markCandidates(s_.layout, s_.tolX, s_.tolY, s_.x, s_.y, hi, lateEdges, s_.marks);
            R[0] = relax(true, hi, pass, late, false, &sR[0], &kind);
            R[1] = relax(false, hi, pass, late, false, &sR[1], &kind);
            markCandidates(s_.layout, s_.tolX, s_.tolY, s_.x, s_.y, mid, lateCentre, s_.marks);
            C[0] = relax(true, mid, pass, late, false, &sC[0], &kind);
            C[1] = relax(false, mid, pass, late, false, &sC[1], &kind);

            for (int32_t j = 0; j < B; ++j) {
                sizes[2 * j] = s_.width[j];
                sizes[2 * j + 1] = s_.height[j];
            }
            sizeWeights(s_, b, weights);
            const int64_t n = s_.n;
            const int32_t* cx = s_.limitX + mid * n;
            const int32_t* cy = s_.limitY + mid * n;
            int32_t fx = 0, fy = 0;
            int32_t W =
                clusterSize(s_.width[b], sizes, weights, B, cx, cy, 206, 2 * b, 2 * b + 1, &fx);
            for (int32_t j = 0; j < B; ++j) {
                weights[2 * j] *= 3;
                weights[2 * j + 1] /= 3;
            }
            int32_t H =
                clusterSize(s_.height[b], sizes, weights, B, cx, cy, 206, 2 * b + 1, 2 * b, &fy);
            int32_t Wt = W;
            if (pass >= 3 && tangentCircle(b, pass, &Wt, C, sC)) {
                W = H = Wt;
                fx = fy = 2;
            }

            int32_t kw, kh;
            int32_t w = reconciledSize(L[0], R[0], C[0], sL[0], sR[0], sC[0], W, fx, pass, &kw);
            int32_t h = reconciledSize(L[1], R[1], C[1], sL[1], sR[1], sC[1], H, fy, pass, &kh);
            const int64_t inW = static_cast<int64_t>(in[kBoxRight]) - in[kBoxLeft];
            const int64_t inH = static_cast<int64_t>(in[kBoxBottom]) - in[kBoxTop];
            if (absValue(inW - inH) < 3) squareUp(&w, kw, &h, kh);
            const AxisResult ax = anchored(L[0], R[0], C[0], sL[0], sR[0], sC[0], w);
            const AxisResult ay = anchored(L[1], R[1], C[1], sL[1], sR[1], sC[1], h);
            memcpy(out, in, sizeof(int32_t) * kBoxFields);
            out[kBoxLeft] = ax.low;
            out[kBoxRight] = ax.high;
            out[kBoxTop] = ay.low;
            out[kBoxBottom] = ay.high;
        }
    }

    bool isCircle(int32_t b) const {
        const int32_t* in = run_.boxesIn + kBoxFields * b;
        const int64_t w = static_cast<int64_t>(in[kBoxRight]) - in[kBoxLeft];
        const int64_t h = static_cast<int64_t>(in[kBoxBottom]) - in[kBoxTop];
        return b < run_.ellipseCount && absValue(w - h) < 3;
    }

    // A circle that nearly touches other circles (from outside or inside)
    // is sized and shifted to touch the best one or two exactly. *width gets
    // the new width; the centres and their strengths change with a shift.
    bool tangentCircle(int32_t i, int32_t pass, int32_t* width, int32_t* C, int32_t* sC) {
        if (!isCircle(i)) return false;
        struct Touch {
            int64_t error, change, shiftX, shiftY;
        } touches[2] = {{175, 0, 0, 0}, {175, 0, 0, 0}};
        const int64_t cxi = s_.x[3 * i + 1], cyi = s_.y[3 * i + 1];
        const int64_t wi = static_cast<int64_t>(s_.x[3 * i + 2]) - s_.x[3 * i];
        for (int32_t j = 0; j < run_.ellipseCount; ++j) {
            if (j == i || !isCircle(j)) continue;
            const int64_t dx = s_.x[3 * j + 1] - cxi, dy = s_.y[3 * j + 1] - cyi;
            const int64_t d = isqrtLarge(static_cast<uint64_t>(dx * dx + dy * dy));
            const int64_t wj = static_cast<int64_t>(s_.x[3 * j + 2]) - s_.x[3 * j];
            if (d <= 0 || wi <= 0 || wj <= 0) continue;
            const int64_t errors[3] = {absValue(2 * d - wi - wj), absValue(wi - wj - 2 * d),
                                       absValue(wj - wi - 2 * d)};
            int kind = 0;
            for (int e = 1; e < 3; ++e)
                if (errors[e] < errors[kind]) kind = e;
            if (kind != 0 && absValue(wi - wj) < 2) continue;
            int64_t small = wi < wj ? wi : wj;
            if (small > 120) small = 120;
            const int64_t scaled = ratio1024(errors[kind], small);
            if (scaled >= 175) continue;
            const int64_t span = kind == 0 ? 2 * d : (kind == 1 ? 2 * (wj + d) : 2 * (wj - d));
            const int64_t target = (span * wi + (wi + wj) / 2) / (wi + wj);
            Touch t = {scaled, target - wi, 0, 0};
            if (pass <= 7 && absValue(t.change) > 1) {
                t.shiftX = roundedDiv(t.change * dx, d);
                t.shiftY = roundedDiv(t.change * dy, d);
            }
            if (scaled < touches[0].error) {
                touches[1] = touches[0];
                touches[0] = t;
            } else if (scaled < touches[1].error) {
                touches[1] = t;
            }
        }
        if (touches[0].error >= 175) return false;
        Touch t = touches[0];
        if (touches[1].error < 175) {
            auto blend = [](int64_t a, int64_t b) {
                const int64_t v = 2 * a + b;
                return v >= 1 ? (v + 1) / 3 : (v - 1) / 3;
            };
            t.change = blend(t.change, touches[1].change);
            t.shiftX = blend(t.shiftX, touches[1].shiftX);
            t.shiftY = blend(t.shiftY, touches[1].shiftY);
        }
        auto clamp2 = [](int64_t v) { return v < -2 ? -2 : (v > 2 ? 2 : v); };
        t.shiftX = clamp2(t.shiftX);
        t.shiftY = clamp2(t.shiftY);
        const int64_t D = t.change;
        if (D != 0) {
            const int64_t left = absValue(D) - absValue(t.shiftX) - absValue(t.shiftY);
            t.change = left <= 0 ? 0 : roundedDiv(D * left, absValue(D));
        }
        *width = clamp32(wi + t.change);
        sC[0] = sC[1] = 5;
        if (t.shiftX) {
            C[0] = clamp32(C[0] + t.shiftX);
            sC[0] = 100;
        }
        if (t.shiftY) {
            C[1] = clamp32(C[1] + t.shiftY);
            sC[1] = 100;
        }
        return true;
    }

    void relaxVertexShapes(int32_t pass) {
        for (int32_t k = 0; k < run_.shapeCount; ++k) {
            if (run_.shapeIds[k] < 0) continue;
            const int32_t kind = run_.kinds[k];
            const int32_t count = vertexCountOf(run_, k);
            const int32_t first = 3 * s_.boxCount + run_.offsets[k];
            int32_t* out = run_.vertsOut[k];
            for (int32_t m = 0; m < count; ++m) {
                if (isFixedVertex(kind, m, count)) continue;
                const int32_t j = first + m;
                markVertexCandidates(s_.layout, kind, pass, s_.marks);
                const bool rigidLate = isRigidKind(kind) && pass >= 6 && pass <= 8;
                const bool stepMode =
                    isEndPoint(kind, m, count) || rigidLate || (count == 3 && m == 1 && pass >= 5);
                int32_t sx, kx, sy, ky;
                out[2 * m] = relax(true, j, pass, pass >= 7, stepMode, &sx, &kx);
                out[2 * m + 1] = relax(false, j, pass, pass >= 7, stepMode, &sy, &ky);
                if (attachMarks_ && (isEndPoint(kind, m, count) || isRigidKind(kind)))
                    attach(k, m, pass, sx, sy, kx, ky);
            }
            repair(k, pass);
            // Coordinates go back to the shapes as 16-bit values; a repair of a
            // degenerate figure (an arrow head carried by a shaft of almost no
            // length) must not grow them pass after pass beyond that range.
            for (int32_t q = 0; q < 2 * count; ++q) out[q] = clamp16(out[q]);
            int32_t* in = run_.vertsIn[k];
            memcpy(in, out, sizeof(int32_t) * 2 * static_cast<size_t>(count));
            for (int32_t m = 0; m < count; ++m) {
                s_.x[first + m] = out[2 * m];
                s_.y[first + m] = out[2 * m + 1];
            }
        }
    }

    // Pulls a line end or a figure's corner onto the outline of an ellipse or
    // onto a side of another figure that it nearly touches.
    void attach(int32_t k, int32_t m, int32_t pass, int32_t sx, int32_t sy, int32_t kx,
                int32_t ky) {
        const int32_t kind = run_.kinds[k], count = vertexCountOf(run_, k);
        const int32_t* in = run_.vertsIn[k];
        int32_t* out = run_.vertsOut[k];
        const int32_t vertex = run_.offsets[k] + m;
        const int32_t j = 3 * s_.boxCount + vertex;
        const bool rigid = isRigidKind(kind), connector = isConnectorKind(kind);
        const int64_t vx = out[2 * m], vy = out[2 * m + 1];
        // A coordinate that ran off by more than a unit is measured where it was drawn.
        const int64_t ex = absValue(vx - in[2 * m]) > 1 ? in[2 * m] : vx;
        const int64_t ey = absValue(vy - in[2 * m + 1]) > 1 ? in[2 * m + 1] : vy;
        int32_t neighbour = -1;
        if (!rigid) {
            if (m == 0)
                neighbour = 1;
            else if (kind == kSolverDoubleArrow && m == 1)
                neighbour = 4;
            else
                neighbour = m - 1;
            if (neighbour >= count) neighbour = -1;
        }
        int dir = 0;
        if (neighbour >= 0) {
            if (absValue(static_cast<int64_t>(in[2 * neighbour]) - in[2 * m]) < 3) dir = 1;
            if (absValue(static_cast<int64_t>(in[2 * neighbour + 1]) - in[2 * m + 1]) < 3) dir = 2;
        }
        const ConnectorDistances* cd = run_.distances;
        const int32_t object = s_.boxCount + k;
        const bool refs = cd && cd->objectRef[object + 1] - cd->objectRef[object] == count;
        const int64_t ref = refs ? cd->objectRef[object] + m : -1;
        auto distanceTo = [&](int32_t segment) -> int64_t {
            return ref >= 0 ? cd->toSegment[ref * cd->segmentCount + segment] : 65535;
        };
        const int64_t t = s_.tolC[j];
        int64_t best = 327, tx = 0, ty = 0;
        int target = 0;  // 1 an ellipse box, 2 a segment

        for (int32_t b = 0; !rigid && b < run_.ellipseCount; ++b) {
            uint8_t& mark =
                attachMarks_->ellipses[static_cast<int64_t>(vertex) * run_.ellipseCount + b];
            if (pass == 0)
                mark = 0;
            else if (!mark)
                continue;
            const int32_t* box = run_.boxesIn + kBoxFields * b;
            const int64_t cx = (static_cast<int64_t>(box[kBoxLeft]) + box[kBoxRight] + 1) / 2;
            const int64_t cy = (static_cast<int64_t>(box[kBoxTop]) + box[kBoxBottom] + 1) / 2;
            int64_t a = (static_cast<int64_t>(box[kBoxRight]) - box[kBoxLeft] + 1) / 2;
            int64_t bb = (static_cast<int64_t>(box[kBoxBottom]) - box[kBoxTop] + 1) / 2;
            if (a < 1) a = 1;
            if (bb < 1) bb = 1;
            const int64_t dx = ex - cx, dy = ey - cy;
            const int64_t rx = dx * 1024 / a, ry = dy * 1024 / bb;
            const int64_t rho = isqrtLarge(static_cast<uint64_t>(rx * rx + ry * ry));
            const int64_t e = absValue(rho - 1024);
            // The coordinate the end segment runs across counts as weakly held.
            const int64_t wx = dir == 1 ? 10 : lerpClamped(120, 192, 10, 30, sx);
            const int64_t wy = dir == 2 ? 10 : lerpClamped(120, 192, 10, 30, sy);
            const int64_t w = wx > wy ? wx : wy;
            const int64_t mm = 2 * a * bb / (a + bb);
            const int64_t S = distanceTo(cd ? cd->objectSeg[b] : 0) * w * 3 / 2;
            const int64_t near = e * (mm < 61 ? mm : 61) / 61;
            int64_t score = S < near ? S : near;
            if (e * 4 / 5 > score) score = e * 4 / 5;
            if (score >= 327 || score >= t * (a + bb) * 500 / (2 * a * bb)) continue;
            if (pass == 0) mark = 1;
            if (score >= best) continue;
            best = score;
            target = 1;
            if (score < 5 || rho == 0) {
                tx = ex;
                ty = ey;
            } else {
                tx = cx + roundedDiv(dx * 1024, rho);
                ty = cy + roundedDiv(dy * 1024, rho);
            }
            if (pass <= 2 && score >= 50 && connector && neighbour >= 0) {
                int32_t ox, oy;
                if (rayEllipse(clamp32(ex - cx), clamp32(ey - cy), clamp32(a), clamp32(bb),
                               clamp32(ex - in[2 * neighbour]), clamp32(ey - in[2 * neighbour + 1]),
                               &ox, &oy)) {
                    tx = cx + ox;
                    ty = cy + oy;
                }
            }
        }

        // Rotated ellipses, measured in their own frame.
        for (int32_t k2 = 0; !rigid && k2 < run_.shapeCount; ++k2) {
            if (k2 == k || run_.kinds[k2] != kSolverRotatedEllipse || vertexCountOf(run_, k2) < 3)
                continue;
            uint8_t& mark =
                attachMarks_->shapes[static_cast<int64_t>(vertex) * run_.shapeCount + k2];
            if (pass == 0)
                mark = 0;
            else if (!mark)
                continue;
            const int32_t* q = run_.vertsIn[k2];
            const int64_t cx = q[0], cy = q[1];
            int64_t a = absValue(static_cast<int64_t>(q[2]) - cx);
            int64_t bb = absValue(static_cast<int64_t>(q[3]) - cy);
            if (a < 1) a = 1;
            if (bb < 1) bb = 1;
            const int64_t dx = ex - cx, dy = ey - cy;
            const int64_t d2 = dx * dx + dy * dy, r2 = a * a + bb * bb;
            if (d2 > 2 * r2 && d2 > r2 + 1048576) continue;
            const int64_t cs = q[4], sn = q[5];
            const int64_t u = (dx * cs + dy * sn) / 1024, v = (dy * cs - dx * sn) / 1024;
            const int64_t ru = u * 1024 / a, rv = v * 1024 / bb;
            const int64_t rho = isqrtLarge(static_cast<uint64_t>(ru * ru + rv * rv));
            const int64_t e = absValue(rho - 1024);
            const int64_t mm = 2 * a * bb / (a + bb);
            if (e >= lerpClamped(60, 170, 261, 130, clamp32(mm))) continue;
            if (e >= t * (a + bb) * 500 / (2 * a * bb)) continue;
            if (pass == 0) mark = 1;
            const int64_t score = e * 4 / 5;
            if (score >= 327 || score >= best || rho == 0) continue;
            best = score;
            target = 2;
            // Onto the outline along the ray from the centre, back in page axes.
            const int64_t pu = roundedDiv(u * 1024, rho), pv = roundedDiv(v * 1024, rho);
            tx = cx + roundedDiv(pu * cs - pv * sn, 1024);
            ty = cy + roundedDiv(pu * sn + pv * cs, 1024);
        }

        for (int32_t k2 = 0; kx + ky < 2 && t != 0 && k2 < run_.shapeCount; ++k2) {
            const int32_t kind2 = run_.kinds[k2], n2 = vertexCountOf(run_, k2);
            const bool polyline = kind2 == kSolverOpenPolyline || kind2 == kSolverClosedPolyline;
            if (k2 == k || !(isRigidKind(kind2) || (polyline && n2 <= 5))) continue;
            const int32_t* p = run_.vertsIn[k2];
            for (int32_t s = 0; s + 1 < n2; ++s) {
                uint8_t& mark =
                    attachMarks_
                        ->segments[static_cast<int64_t>(vertex) * attachMarks_->segmentCount +
                                   attachMarks_->segmentBase[k2] + s];
                if (pass == 0)
                    mark = 0;
                else if (!mark)
                    continue;
                const int64_t x0 = p[2 * s], y0 = p[2 * s + 1], x1 = p[2 * s + 2],
                              y1 = p[2 * s + 3];
                const int64_t ux = x1 - x0, uy = y1 - y0;
                const int64_t L2 = ux * ux + uy * uy;
                if (L2 == 0) continue;
                // Only where the point's foot falls strictly inside the segment.
                if ((ex - x0) * ux + (ey - y0) * uy <= 0 || (ex - x1) * -ux + (ey - y1) * -uy <= 0)
                    continue;
                if ((x0 == x1 || y0 == y1) && !polyline && !connector) continue;
                const int64_t cross = ux * (ey - y0) - uy * (ex - x0);
                if (absValue(cross) > 16384) continue;
                const int64_t q = cross * cross / L2;
                if (q > 500000) continue;
                const int64_t D = distanceTo(cd ? cd->objectSeg[s_.boxCount + k2] + s : 0);
                const int64_t tt = t * t < 1650 ? t * t : 1650;
                const int64_t byCross = q * 3000 / tt;
                const int64_t byDistance =
                    D * lerpClamped(5, 60, 25, 250, clamp32(D * 20 / (t + 1)));
                const int64_t score = byCross < byDistance ? byCross : byDistance;
                if (score >= 327) continue;
                mark = 1;
                if (score >= best) continue;
                best = score;
                target = 2;
                if (3 * cross * cross / L2 == 0) {
                    tx = ex;
                    ty = ey;
                } else {
                    const int64_t dot = (ex - x1) * (x0 - x1) + (ey - y1) * (y0 - y1);
                    tx = x1 + ((x0 - x1) * dot + L2 / 2) / L2;
                    ty = y1 + ((y0 - y1) * dot + L2 / 2) / L2;
                }
                if (pass <= 2 && score >= 50 && connector && neighbour >= 0) {
                    const int32_t a0[2] = {p[2 * s], p[2 * s + 1]};
                    const int32_t a1[2] = {p[2 * s + 2], p[2 * s + 3]};
                    const int32_t b0[2] = {in[2 * neighbour], in[2 * neighbour + 1]};
                    const int32_t b1[2] = {clamp32(ex), clamp32(ey)};
                    int32_t cut[2];
                    if (segmentIntersection(a0, a1, b0, b1, cut)) {
                        const int64_t fx = cut[0] - ex, fy = cut[1] - ey;
                        const int64_t gx = ex - tx, gy = ey - ty;
                        if (fx * fx + fy * fy <= 3 * (gx * gx + gy * gy)) {
                            tx = cut[0];
                            ty = cut[1];
                        }
                    }
                }
            }
        }
        if (!target) return;
        const int64_t d = 327 - best;
        auto settle = [&](int64_t v, int64_t goal, int32_t strength, int32_t linkKind,
                          bool across) {
            const bool partWay =
                ((d * 3 <= strength || pass < 8) && across) ||
                (linkKind != 0 && d <= 3 * strength && (d <= 2 * strength || pass < 5)) ||
                target == 2;
            if (!partWay || absValue(goal - v) <= 1) return goal;
            return across ? (goal + 1 + 2 * v) / 3 : (goal + 1 + v) / 2;
        };
        out[2 * m] = clamp32(settle(vx, tx, sx, kx, dir == 1));
        out[2 * m + 1] = clamp32(settle(vy, ty, sy, ky, dir == 2));
        s_.x[j] = out[2 * m];
        s_.y[j] = out[2 * m + 1];
    }

    void repair(int32_t k, int32_t pass) {
        const int32_t kind = run_.kinds[k];
        const int32_t count = vertexCountOf(run_, k);
        const int32_t* in = run_.vertsIn[k];
        int32_t* out = run_.vertsOut[k];
        switch (kind) {
            case kSolverArrow:
            case kSolverDoubleArrow:
                rebuildArrowHead(in, out, count, kind == kSolverDoubleArrow);
                break;
            case kSolverParallelogram:
                if (count >= 5) {
                    out[2 * (count - 1)] = out[0];
                    out[2 * (count - 1) + 1] = out[1];
                    const int64_t ex = static_cast<int64_t>(out[0]) - out[2] + out[4] - out[6];
                    const int64_t ey = static_cast<int64_t>(out[1]) - out[3] + out[5] - out[7];
                    if (pass <= 6)
                        regularizeParallelogram(out, true);
                    else if (pass < 9 || absValue(ex) > 6 || absValue(ey) > 6)
                        regularizeParallelogram(out, false);
                }
                break;
            case kSolverTriangle:
                if (count >= 4) {
                    out[6] = out[0];
                    out[7] = out[1];
                    const int o = equilateralOrientation(out);
                    if (o) snapEquilateral(out, o, pass >= 8);
                }
                break;
            case kSolverClosedPolyline:
                if (count >= 2) {
                    out[2 * (count - 1)] = out[0];
                    out[2 * (count - 1) + 1] = out[1];
                }
                break;
            case kSolverRotatedEllipse:
                if (count >= 3) {
                    // Size and direction stay; the second point follows the centre.
                    out[2] = in[2] + (out[0] - in[0]);
                    out[3] = in[3] + (out[1] - in[1]);
                    out[4] = in[4];
                    out[5] = in[5];
                }
                break;
            default:
                break;
        }
    }

    void copyBoxesBack() {
        for (int32_t b = 0; b < s_.boxCount; ++b) {
            int32_t* in = run_.boxesIn + kBoxFields * b;
            const int32_t* out = run_.boxesOut + kBoxFields * b;
            for (int f : {kBoxLeft, kBoxTop, kBoxRight, kBoxBottom, kBoxExtra}) in[f] = out[f];
            const int64_t l = in[kBoxLeft], r = in[kBoxRight], t = in[kBoxTop], bo = in[kBoxBottom];
            s_.x[3 * b] = in[kBoxLeft];
            s_.x[3 * b + 1] = clamp32((l + r + 1) / 2);
            s_.x[3 * b + 2] = in[kBoxRight];
            s_.y[3 * b] = in[kBoxTop];
            s_.y[3 * b + 1] = clamp32((t + bo + 1) / 2);
            s_.y[3 * b + 2] = in[kBoxBottom];
            s_.width[b] = r - l ? clamp32(r - l) : 4;
            s_.height[b] = bo - t ? clamp32(bo - t) : 4;
        }
    }

    SolverState& s_;
    AlignRun& run_;
    bool allActive_;
    AttachMarks* attachMarks_;
};

}  // namespace

void solveAlignment(AlignRun& run) {
    copyInputsToOutputs(run);
    const int32_t B = run.boxCount, K = run.shapeCount;
    const int32_t V = K > 0 ? run.offsets[K] : 0;
    const int64_t n = 3 * static_cast<int64_t>(B) + V;
    if (n == 0 || n > kMaxAlignVariables) return;
    SolverState s = {};
    s.run = &run;
    s.boxCount = B;
    s.vertexCount = V;
    s.n = static_cast<int32_t>(n);
    Working w;
    if (!allocateState(s, w)) return;
    for (int32_t b = 0; b < B; ++b)
        for (int e = 0; e < 3; ++e) s.owner[3 * b + e] = b;
    for (int32_t k = 0; k < K; ++k)
        for (int32_t v = run.offsets[k]; v < run.offsets[k + 1]; ++v) s.owner[3 * B + v] = B + k;
    s.layout = {s.n, B, s.owner, run.kinds, run.offsets, run.boxIds, run.shapeIds};

    // A connector that touches an aligned box wakes up when the run is not
    // in its finishing mode; afterwards every frozen shape counts alike.
    for (int32_t k = 0; k < K; ++k) {
        if (!run.mode && run.connectorLinks && isConnectorKind(run.kinds[k]) &&
            run.shapeIds[k] >= -9 && run.shapeIds[k] <= -1) {
            for (int32_t b = 0; b < B; ++b)
                if (run.boxIds[b] >= 0 && run.connectorLinks[b * K + k] > 0) run.shapeIds[k] = 15;
        }
        if (run.shapeIds[k] < 0) run.shapeIds[k] = -1;
    }
    bool allActive = true;
    for (int32_t b = 0; b < B; ++b)
        if (run.boxIds[b] < 0) allActive = false;
    for (int32_t k = 0; k < K; ++k)
        if (run.shapeIds[k] < 0) allActive = false;

    buildTolerances(s);
    for (int32_t j = 0; j < s.n; ++j) {
        const bool vertex = j >= 3 * B;
        s.refX[j] =
            vertex && run.reference ? run.reference[2 * (j - 3 * B)] : (vertex ? s.x[j] : -100);
        s.refY[j] =
            vertex && run.reference ? run.reference[2 * (j - 3 * B) + 1] : (vertex ? s.y[j] : -100);
    }
    buildConnectorLinks(s);
    buildLinkTables(s);
    AttachMarks marks;
    const bool attaching = V > 0 && allocateMarks(run, V, &marks);
    Passes(s, allActive, attaching ? &marks : nullptr).run();
    freeBlock(w.block);
}

}  // namespace vexa
