// The gesture classifier. All geometry is integer arithmetic; products and
// sums are taken in 64 bits so that coordinates anywhere in the 16-bit range
// (and strokes of any length) cannot overflow.
#include "gestures.h"

#include <cstdlib>

namespace {

constexpr uint32_t kLines = 0x2184;
constexpr uint32_t kHorizontalLines = 0x84;
constexpr uint32_t kVerticalLines = 0x2100;
constexpr uint32_t kHorizontalBack = 0x48;
constexpr uint32_t kVerticalBack = 0x1200;
constexpr uint32_t kLShapes = 0xCC00;
constexpr uint32_t kCaret = 0x80000000u;
constexpr uint32_t kScratch = 0x40000000u;

// Every caller of the straightness test uses these.
constexpr int64_t kTolerance = 5;
constexpr int64_t kPercentage = 115;

struct Pt {
    int64_t x, y;
};

inline Pt at(const int32_t* p, int i) {
    uint32_t v = static_cast<uint32_t>(p[i]);
    return {static_cast<int16_t>(v & 0xFFFF), static_cast<int16_t>(v >> 16)};
}

inline bool isPenUp(int32_t v) { return static_cast<int16_t>(static_cast<uint32_t>(v) >> 16) == -1; }

struct Box {
    int64_t left = 0, top = 0, right = 0, bottom = 0;
    int64_t width() const { return right - left + 1; }
    int64_t height() const { return bottom - top + 1; }
};

inline int64_t absv(int64_t v) { return v < 0 ? -v : v; }
inline int64_t maxv(int64_t a, int64_t b) { return a > b ? a : b; }
inline int64_t minv(int64_t a, int64_t b) { return a < b ? a : b; }

int64_t octagonalDistance(Pt a, Pt b) {
    int64_t dx = absv(a.x - b.x), dy = absv(a.y - b.y);
    return maxv(maxv(dx, dy), (2 * (dx + dy) + 1) / 3);
}

int64_t pathLength(const int32_t* p, int n) {
    int64_t sum = 0;
    for (int i = 1; i < n; ++i) sum += octagonalDistance(at(p, i - 1), at(p, i));
    return sum;
}

void sumAxisPaths(const int32_t* p, int n, int64_t* sx, int64_t* sy) {
    *sx = *sy = 0;
    for (int i = 1; i < n; ++i) {
        Pt a = at(p, i - 1), b = at(p, i);
        *sx += absv(b.x - a.x);
        *sy += absv(b.y - a.y);
    }
}

// Skips leading pen-up markers, limits the run to the first stroke, computes
// its box and returns its path length.
int64_t strokeBounds(const int32_t** run, int* count, Box* box) {
    const int32_t* p = *run;
    int n = *count;
    while (n > 0 && isPenUp(p[0])) {
        ++p;
        --n;
    }
    int k = 0;
    while (k < n && !isPenUp(p[k])) ++k;
    *run = p;
    *count = k;
    *box = Box();
    if (k > 0) {
        Pt q = at(p, 0);
        box->left = box->right = q.x;
        box->top = box->bottom = q.y;
        for (int i = 1; i < k; ++i) {
            q = at(p, i);
            box->left = minv(box->left, q.x);
            box->right = maxv(box->right, q.x);
            box->top = minv(box->top, q.y);
            box->bottom = maxv(box->bottom, q.y);
        }
    }
    return pathLength(p, k);
}

// Squared distance of P from the line AB, rounded to nearest. The cross
// product is scaled down to 15 bits first, so the result stays bounded.
int64_t pointToLineDistanceSq(Pt a, Pt b, Pt p) {
    if (a.x == b.x && a.y == b.y) {
        int64_t dx = p.x - a.x, dy = p.y - a.y;
        return dx * dx + dy * dy;
    }
    int64_t cross = absv((p.x - a.x) * (b.y - a.y) - (p.y - a.y) * (b.x - a.x));
    int64_t len2 = (b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y);
    while (cross > 0x7FFF) {
        cross >>= 1;
        len2 = (len2 + 2) >> 2;
    }
    if (len2 == 0) return 0x7FFF;
    const int64_t kMax = 1073676289;  // 32767 squared
    return (cross * cross + minv(len2 / 2, kMax - cross * cross)) / len2;
}

// Index of the interior point farthest from the chord p0 - pk-1, taking the
// middle of a plateau of (nearly) equal distances.
int findFarthestFromChord(const int32_t* p, int k) {
    if (k <= 2) return 0;
    Pt p0 = at(p, 0), pn = at(p, k - 1);
    int64_t best = 0;
    int bestIndex = 0, plateauEnd = 0;
    for (int i = 1; i <= k - 2; ++i) {
        Pt q = at(p, i);
        int64_t d = absv((q.y - p0.y) * (pn.x - p0.x) - (q.x - p0.x) * (pn.y - p0.y));
        if (d > best) {
            best = d;
            bestIndex = plateauEnd = i;
        } else if (d >= best - 1 && plateauEnd != -1) {
            plateauEnd = i;
        } else {
            if (plateauEnd > bestIndex) bestIndex = (bestIndex + plateauEnd) >> 1;
            plateauEnd = -1;
        }
    }
    return plateauEnd > bestIndex ? (bestIndex + plateauEnd) >> 1 : bestIndex;
}

// Largest squared distance of an interior point lying beyond either end of the chord.
int64_t maxOvershootBeyondEnds(const int32_t* p, int k, int* index) {
    if (k < 3) return 0;
    Pt p0 = at(p, 0), pn = at(p, k - 1);
    int64_t dx = pn.x - p0.x, dy = pn.y - p0.y;
    int64_t best = 0;
    for (int i = 1; i <= k - 2; ++i) {
        Pt q = at(p, i);
        int64_t dot0 = (q.x - p0.x) * dx + (q.y - p0.y) * dy;
        int64_t dot1 = (q.x - pn.x) * dx + (q.y - pn.y) * dy;
        int64_t value;
        if (dot0 < 0 && dot1 < 0) {
            value = (q.x - p0.x) * (q.x - p0.x) + (q.y - p0.y) * (q.y - p0.y);
        } else if (dot0 >= 0 && dot1 > 0) {
            value = (q.x - pn.x) * (q.x - pn.x) + (q.y - pn.y) * (q.y - pn.y);
        } else {
            continue;
        }
        if (value > best) {
            best = value;
            *index = i;
        }
    }
    return best;
}

// The straightness test; writes the corner index whatever the outcome.
bool splitAtCorner(const int32_t* p, int k, int* cornerOut) {
    int corner = 0;
    bool straight;
    if (k <= 1) {
        straight = false;
    } else if (k == 2) {
        straight = true;
    } else {
        Pt p0 = at(p, 0), pn = at(p, k - 1);
        corner = findFarthestFromChord(p, k);
        int64_t a = pointToLineDistanceSq(p0, pn, at(p, corner));
        int g = 0;
        int64_t a2 = maxOvershootBeyondEnds(p, k, &g);
        if (a2 > a) {
            a = a2;
            corner = g;
        }
        if (a == 0) {
            straight = true;
        } else {
            int64_t chord = octagonalDistance(p0, pn);
            if (chord * chord / a <= kTolerance * kTolerance) {
                straight = false;
            } else {
                Pt pc = at(p, corner);
                int64_t legs = octagonalDistance(p0, pc) + octagonalDistance(pc, pn);
                if (legs * 100 / chord > kPercentage)
                    straight = false;
                else
                    straight = pathLength(p, k) * 100 / legs <= kPercentage;
            }
        }
    }
    if (cornerOut) *cornerOut = corner;
    return straight;
}

bool legsStraight(const int32_t* p, int n, int c) {
    return splitAtCorner(p, c, nullptr) && splitAtCorner(p + c, n - c, nullptr);
}

// The candidate when both legs at the corner are straight, else 0.
uint32_t withStraightLegs(uint32_t candidate, const int32_t* p, int n, int c) {
    return legsStraight(p, n, c) ? candidate : 0;
}

uint32_t classifyGesture(uint32_t mask, const int32_t* p, int n, const Box& box, int64_t scale) {
    if (n < 2) return 0;
    const int64_t w = box.width(), h = box.height();
    if (w < 20 * scale && h < 20 * scale) return 0;
    if (mask == 0) return 0;

    int c = 0;
    const bool straight = splitAtCorner(p, n, &c);
    const Pt p0 = at(p, 0), pn = at(p, n - 1);

    if (straight && (mask & kLines)) {
        const int64_t dx = absv(p0.x - pn.x), dy = absv(p0.y - pn.y);
        const bool diagonal = 3 * dx > dy && static_cast<double>(dx) < 3.5 * static_cast<double>(dy);
        if (!diagonal) {
            uint32_t r;
            if ((mask & kHorizontalLines) && dx >= 4 * dy)
                r = p0.x >= pn.x ? (mask & 0x4) : (mask & 0x80);
            else if ((mask & kVerticalLines) && p0.y < pn.y)
                r = mask & 0x2000;
            else
                r = mask & 0x100;
            if (r) return r;
        }
    }

    const uint32_t m = mask & ~kLines;
    if (m == 0) return 0;
    const Pt pc = at(p, c);
    const int64_t x0c = absv(p0.x - pc.x), xcn = absv(pc.x - pn.x), x0n = absv(p0.x - pn.x);
    const int64_t y0c = absv(p0.y - pc.y), ycn = absv(pc.y - pn.y), y0n = absv(p0.y - pn.y);

    if ((m & kHorizontalBack) && w / h > 4) {
        if (x0c > 2 * w / 3 && xcn > 2 * w / 3 && x0n < w / 3)
            return withStraightLegs(p0.x > pc.x ? 0x8 : 0x40, p, n, c);
    }
    if ((m & kVerticalBack) && h * 10 / w > 35) {
        if (y0c > 2 * h / 3 && ycn > 2 * h / 3 && y0n < h / 3)
            return withStraightLegs(p0.y > pc.y ? 0x200 : 0x1000, p, n, c);
    }
    if (m & kLShapes) {
        if (y0c >= 2 * x0c && xcn >= 3 * ycn && 5 * y0c / 4 < xcn) {
            uint32_t candidate;
            if (p0.y < pc.y)
                candidate = pc.x <= pn.x ? 0x8000 : 0x4000;
            else
                candidate = pc.x <= pn.x ? 0x800 : 0x400;
            return withStraightLegs(candidate, p, n, c);
        }
    }
    if (m & kCaret) {
        if (x0c / 4 <= y0c && xcn / 4 <= ycn && y0c / 3 <= x0c && ycn / 3 <= xcn &&
            p0.y > pc.y && pc.y < pn.y && 3 * y0n <= h)
            return withStraightLegs(kCaret, p, n, c);
    }
    if (m & kScratch) {
        int64_t sx, sy;
        sumAxisPaths(p, n, &sx, &sy);
        if (sx * 100 / w > 500 || sy * 100 / h > 500) return kScratch;
    }
    return 0;
}

// Points to drop at the start: a hook within the first `limit` of path length.
int trimStartHook(const int32_t* p, int n, int64_t limit) {
    if (n <= 1) return 0;
    int64_t sum = 0;
    for (int i = 1; i < n; ++i) {
        sum += octagonalDistance(at(p, i), at(p, i - 1));
        if (sum >= limit) {
            // (Two points always pass the straightness test, so a run of two
            // would keep its points anyway.)
            if (i < 3) return 0;
            int c = 0;
            return splitAtCorner(p, i, &c) ? 0 : c;
        }
    }
    return 0;
}

// Points to drop at the end: a hook within the last `limit` of path length.
int trimEndHook(const int32_t* p, int n, int64_t limit) {
    if (n <= 1) return 0;
    int64_t sum = 0;
    int t = -1;
    for (int j = n - 1; j >= 1; --j) {
        sum += octagonalDistance(at(p, j), at(p, j - 1));
        if (sum >= limit) {
            t = j + 1;
            break;
        }
    }
    // A tail of two points is always straight, so t = n - 2 would trim nothing either.
    if (t < 0 || t > n - 3) return 0;
    int c = 0;
    if (splitAtCorner(p + t, n - t, &c)) return 0;
    int drop = n - (t + c) - 1;
    return drop > 0 ? drop : 0;
}

}  // namespace

extern "C" int32_t GESTURES_CALL GestureCheck(int32_t mask, const int32_t* points, int32_t count,
                                              int32_t scale) {
    if (mask == 0 || points == nullptr || count <= 0) return 0;
    const uint32_t bits = static_cast<uint32_t>(mask);
    const int32_t* run = points;
    int n = count;
    Box box;
    const int64_t length = strokeBounds(&run, &n, &box);

    uint32_t r = classifyGesture(bits, run, n, box, scale);
    if (r) return static_cast<int32_t>(r);

    // Second pass: without the scratch-out, after trimming hooks at both ends.
    const uint32_t m2 = bits & ~kScratch;
    if (m2 == 0) return 0;
    const int64_t limit = length / 5;
    int s = trimStartHook(run, n, limit);
    if (s > 0) {
        run += s;
        n -= s;
    }
    int e = trimEndHook(run, n, limit);
    if (e > 0) n -= e;
    strokeBounds(&run, &n, &box);
    return static_cast<int32_t>(classifyGesture(m2, run, n, box, scale));
}
