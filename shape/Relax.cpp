#include "Relax.h"

#include <initializer_list>

#include "AlignLinks.h"
#include "FixedMath.h"

namespace vexa {

namespace {

bool isBoxVariable(const VariableLayout& layout, int32_t j) { return j < 3 * layout.boxCount; }

int32_t linkValue(const RelaxRow& row, int32_t j) {
    return clamp32(static_cast<int64_t>(row.closeness[j]) * row.limits[j] / kLinkDivisor);
}

}  // namespace

bool variableFrozen(const VariableLayout& layout, int32_t j) {
    const int32_t o = layout.owner[j];
    return o < layout.boxCount ? layout.boxIds[o] < 0 : layout.shapeIds[o - layout.boxCount] < 0;
}

int32_t relaxCoordinate(const VariableLayout& layout, const RelaxRow& row, int32_t i,
                        int32_t* strength, int32_t* linkKind) {
    const int32_t pass = 10 - row.passesLeft;
    const int64_t cur = row.values[i];
    const int32_t ownOwner = layout.owner[i];
    const bool ownIsVertex = !isBoxVariable(layout, i);
    int32_t best = 1000;
    int32_t acceptance = 0;
    if (row.stepMode) {
        const int32_t end = row.mode ? layout.n : 3 * layout.boxCount;
        for (int32_t j = 0; j < end; ++j) {
            if (ownIsVertex && layout.owner[j] == ownOwner) continue;
            if (row.limits[j] == kNeverLinked || row.closeness[j] < 0 || row.marks[j] < 1) continue;
            const int32_t r = linkValue(row, j);
            if (r < best) best = r;
        }
        acceptance = best + 5;
        if (acceptance < 80 && (pass < 6 || pass > 8)) acceptance = 80;
    }
    int64_t sum = 0;
    int32_t count = 0;
    bool up = true, down = true, moved = false;
    int32_t frozenValues = 0, frozenValue = 0;
    int32_t strongest = 0, kind = 0;
    for (int32_t j = 0; j < layout.n; ++j) {
        if (j == i) continue;
        int32_t r = linkValue(row, j);
        const bool sameShape = ownIsVertex && layout.owner[j] == ownOwner;
        if (sameShape && row.limits[j] >= 18 && row.closeness[j] == 0) r = 87;
        if (r >= kLinkCutoff || row.limits[j] == kNeverLinked || row.closeness[j] < 0) continue;
        if (row.mode) {
            if (row.marks[j] < 1) continue;
            if (row.stepMode && r >= acceptance) continue;
        } else {
            if (!(row.marks[j] == 2 || (row.marks[j] == 1 && r < 80))) continue;
            if (row.stepMode && r >= (best + 5 > 80 ? best + 5 : 80)) continue;
        }
        const int32_t w = row.values[j];
        if (isBoxVariable(layout, j)) {
            sum += 2 * static_cast<int64_t>(w);
            count += 2;
            kind = j % 3 == 1 ? 1 : 2;
        } else {
            sum += w;
            count += 1;
            const int32_t shape = layout.owner[j] - layout.boxCount;
            if (layout.owner[j] != ownOwner && isRigidKind(layout.kinds[shape])) kind = 1;
        }
        if (w != cur && w != cur + 1) up = false;
        if (w != cur && w != cur - 1) down = false;
        if (w != cur) moved = true;
        if (variableFrozen(layout, j) && absValue(static_cast<int64_t>(w) - cur) <= 1 &&
            (frozenValues == 0 || w != frozenValue)) {
            ++frozenValues;
            frozenValue = w;
        }
        if (kLinkCutoff - r > strongest) strongest = kLinkCutoff - r;
    }
    if (row.gridStep > 6) {
        const int64_t step = row.gridStep, origin = row.gridOrigin;
        const int64_t g = origin + ((cur - origin) / step) * step;
        const int64_t g2 = cur < origin ? g - step : g + step;
        for (int64_t line : {g, g2}) {
            if (absValue(line - cur) < 4) {
                sum += line;
                count += 1;
                if (strongest < 1) strongest = 1;
            }
        }
    }
    *strength = strongest;
    *linkKind = kind;
    if (pass <= 7 && row.late && up && moved) return clamp32(cur + 1);
    if (pass >= 8 && row.late && moved) {
        if (frozenValues == 1 && (up || down)) return frozenValue;
        if (up) return clamp32(cur + 1);
    }
    if (row.mode && row.late && down && moved && !row.forbidDown) return clamp32(cur - 1);
    if (count == 0) return clamp32(cur);
    const int64_t m = cur * count;
    if (absValue(sum - m) <= count) return clamp32((sum + count / 2) / count);
    if (sum > m) return clamp32((sum + count - 1) / count);
    return clamp32(sum / count);
}

namespace {

// Extents of a vertex shape that say whether it can pull a box.
void shapeExtents(const int32_t* x, const int32_t* y, int32_t first, int32_t count, int32_t kind,
                  int64_t* ex, int64_t* ey) {
    *ex = *ey = 0;
    if (count < 2) return;
    const int32_t* px = x + first;
    const int32_t* py = y + first;
    if (kind == kSolverTriangle && count >= 3) {
        for (int a = 0; a < 3; ++a)
            for (int b = a + 1; b < 3; ++b) {
                const int64_t dx = absValue(static_cast<int64_t>(px[a]) - px[b]);
                const int64_t dy = absValue(static_cast<int64_t>(py[a]) - py[b]);
                if (dx > *ex) *ex = dx;
                if (dy > *ey) *ey = dy;
            }
    } else if (kind == kSolverParallelogram && count >= 3) {
        const int64_t a = absValue(static_cast<int64_t>(px[0]) - px[1]);
        const int64_t b = absValue(static_cast<int64_t>(px[1]) - px[2]);
        *ex = a > b ? a : b;
        const int64_t c = absValue(static_cast<int64_t>(py[0]) - py[1]);
        const int64_t d = absValue(static_cast<int64_t>(py[1]) - py[2]);
        *ey = c > d ? c : d;
    } else if (isConnectorKind(kind)) {
        *ex = absValue(static_cast<int64_t>(px[count - 1]) - px[0]);
        *ey = absValue(static_cast<int64_t>(py[count - 1]) - py[0]);
    } else {
        *ex = absValue(static_cast<int64_t>(px[1]) - px[0]);
        *ey = absValue(static_cast<int64_t>(py[1]) - py[0]);
    }
}

}  // namespace

void markCandidates(const VariableLayout& layout, const int32_t* tolX, const int32_t* tolY,
                    const int32_t* x, const int32_t* y, int32_t i, bool late, uint16_t* marks) {
    const int32_t tx = tolX[i] < 1 ? 1 : tolX[i];
    const int32_t ty = tolY[i] < 1 ? 1 : tolY[i];
    const int32_t boxVars = 3 * layout.boxCount;
    for (int32_t j = 0; j < boxVars; ++j)
        marks[j] = (ratio1024(tolX[j], tx) >= 512 || ratio1024(tolY[j], ty) >= 512) ? 2 : 0;
    const int32_t shapes =
        layout.n > boxVars ? layout.owner[layout.n - 1] - layout.boxCount + 1 : 0;
    for (int32_t k = 0; k < shapes; ++k) {
        const int32_t first = boxVars + layout.offsets[k];
        const int32_t count = layout.offsets[k + 1] - layout.offsets[k];
        int64_t ex, ey;
        shapeExtents(x, y, first, count, layout.kinds[k], &ex, &ey);
        uint16_t mark = (ratio1024(ex, tx) >= 512 || ratio1024(ey, ty) >= 512) ? 2 : 0;
        if (isConnectorKind(layout.kinds[k])) mark = 0;
        for (int32_t v = 0; v < count; ++v) marks[first + v] = mark;
    }
    for (int32_t j = 0; j < layout.n; ++j) {
        if (late && marks[j] == 0) marks[j] = 1;
        if (variableFrozen(layout, j) && marks[j] < 1) marks[j] = 1;
    }
}

void markVertexCandidates(const VariableLayout& layout, int32_t kind, int32_t pass,
                          uint16_t* marks) {
    const int32_t boxVars = 3 * layout.boxCount;
    for (int32_t j = 0; j < layout.n; ++j) {
        if (!isRigidKind(kind) || j < boxVars) {
            marks[j] = 2;
            continue;
        }
        const int32_t other = layout.kinds[layout.owner[j] - layout.boxCount];
        marks[j] = (isRigidKind(other) || pass >= 7) ? 2 : 0;
    }
}

int32_t clusterSize(int32_t s, const int32_t* sizes, const int32_t* weights, int32_t boxCount,
                    const int32_t* centreLimitsX, const int32_t* centreLimitsY, int32_t limit,
                    int32_t self, int32_t other, int32_t* agreed) {
    *agreed = 0;
    const int64_t tol = sizeTolerance(s + 1);
    if (2 * tol == 0) return s;
    int64_t sum = 0;
    int32_t count = 0;
    bool foreign = false;
    for (int32_t j = 0; j < 2 * boxCount; ++j) {
        if (j == other) continue;
        const int32_t centre = 3 * (j / 2) + 1;
        if (centreLimitsX[centre] == kNeverLinked || centreLimitsY[centre] == kNeverLinked)
            continue;
        const int64_t diff = absValue(static_cast<int64_t>(sizes[j]) - s);
        if (diff * weights[j] * 3 / (2 * tol) >= limit) continue;
        sum += sizes[j];
        ++count;
        if (j != self) foreign = true;
    }
    if (count == 0) return s;
    if (count >= 2 && foreign) *agreed = 1;
    return clamp32((sum + count / 2) / count);
}

}  // namespace vexa
