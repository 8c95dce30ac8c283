// The disposition: for every pair of aligned shapes, which sizes are equal,
// which lines are collinear, where they touch, and which line ends rest on
// which shape. Callers read the entries of row a < column b.
#include <initializer_list>
#include <string.h>

#include "Align.h"
#include "FixedMath.h"
#include "Memory.h"
#include "ShapeAnswer.h"

namespace vexa {

namespace {

constexpr int kMaxLines = 80;
constexpr int kMaxContacts = 80;
constexpr int64_t kContactBudget = 1 << 16;

struct Pt {
    int32_t x, y;
};

// A slot's geometry as the disposition reads it.
struct Figure {
    const AlignSlot* slot;
    int n;
    const int16_t* v;
    bool rectangle, ellipseBox, line2;
    int32_t box[4];          // rectangle or ellipse box: left, top, right, bottom
    int shaftFrom, shaftTo;  // the vertices that count (arrows: the shaft)
    bool hasExtent;
};

Pt vertexOf(const Figure& f, int i) { return Pt{f.v[2 * i], f.v[2 * i + 1]}; }

Figure figureOf(const AlignSlot& slot) {
    Figure f = {};
    f.slot = &slot;
    // A slot without vertices (a pass that did not run may hold one) is no figure.
    if (!slot.vertices) return f;
    f.n = slot.vertexCount;
    f.v = slot.vertices;
    f.shaftFrom = 0;
    f.shaftTo = f.n - 1;
    bool vertical, circle;
    f.rectangle = isAxisRectangle(slot);
    if (f.rectangle) {
        f.box[0] = f.box[2] = f.v[0];
        f.box[1] = f.box[3] = f.v[1];
        for (int k = 1; k < 4; ++k) {
            if (f.v[2 * k] < f.box[0]) f.box[0] = f.v[2 * k];
            if (f.v[2 * k] > f.box[2]) f.box[2] = f.v[2 * k];
            if (f.v[2 * k + 1] < f.box[1]) f.box[1] = f.v[2 * k + 1];
            if (f.v[2 * k + 1] > f.box[3]) f.box[3] = f.v[2 * k + 1];
        }
    }
    f.ellipseBox = axisEllipseBox(slot, f.box, &vertical, &circle);
    f.line2 = slot.kind == kKindPolyline && f.n == 2;
    if (slot.kind == kKindArrow && f.n >= 4) f.shaftTo = f.n - 4;
    if (slot.kind == kKindDoubleArrow && f.n >= 7) {
        f.shaftFrom = 3;
        f.shaftTo = f.n - 4;
    }
    f.hasExtent = slot.kind != kKindCurve && slot.kind != kKindPoint && f.n > 0;
    return f;
}

void extents(const Figure& f, int32_t* w, int32_t* h) {
    int32_t x0 = INT32_MAX, x1 = INT32_MIN, y0 = INT32_MAX, y1 = INT32_MIN;
    for (int i = f.shaftFrom; i <= f.shaftTo; ++i) {
        const Pt p = vertexOf(f, i);
        if (p.x < x0) x0 = p.x;
        if (p.x > x1) x1 = p.x;
        if (p.y < y0) y0 = p.y;
        if (p.y > y1) y1 = p.y;
    }
    *w = x1 - x0;
    *h = y1 - y0;
}

struct Equation {
    int64_t a, b, c;
};

bool equationOf(Pt p, Pt q, Equation* e) {
    const int64_t dx = static_cast<int64_t>(q.x) - p.x, dy = static_cast<int64_t>(q.y) - p.y;
    const int64_t len = isqrtLarge(static_cast<uint64_t>(dx * dx + dy * dy));
    if (len == 0) return false;
    int64_t a = dy, b = -dx, c = -(a * p.x + b * p.y);
    if (a < 0 || (a == 0 && b < 0)) {
        a = -a;
        b = -b;
        c = -c;
    }
    *e = Equation{a * 32 / len, b * 32 / len, c * 32 / len};
    return true;
}

int linesOf(const Figure& f, Equation* out) {
    int count = 0;
    auto add = [&](Pt p, Pt q) {
        if (count < kMaxLines && equationOf(p, q, &out[count])) ++count;
    };
    if (f.ellipseBox) {
        const int32_t cx = (f.box[0] + f.box[2]) / 2, cy = (f.box[1] + f.box[3]) / 2;
        add(Pt{f.box[0], cy}, Pt{f.box[2], cy});
        add(Pt{cx, f.box[1]}, Pt{cx, f.box[3]});
        return count;
    }
    const uint16_t kind = f.slot->kind;
    if (kind == kKindCurve || kind == kKindPoint || kind == kKindEllipse) return 0;
    for (int i = f.shaftFrom; i < f.shaftTo; ++i) add(vertexOf(f, i), vertexOf(f, i + 1));
    if (f.rectangle) {
        const int32_t cx = (f.box[0] + f.box[2]) / 2, cy = (f.box[1] + f.box[3]) / 2;
        add(Pt{f.box[0], cy}, Pt{f.box[2], cy});
        add(Pt{cx, f.box[1]}, Pt{cx, f.box[3]});
    }
    return count;
}

struct Contact {
    Pt p;
    int vertex;  // the vertex it is, or -1 (side midpoints, ellipse points)
};

int contactsOf(const Figure& f, Contact* out) {
    int count = 0;
    if (f.ellipseBox) {
        const int32_t cx = (f.box[0] + f.box[2]) / 2, cy = (f.box[1] + f.box[3]) / 2;
        const Pt pts[4] = {{f.box[0], cy}, {f.box[2], cy}, {cx, f.box[1]}, {cx, f.box[3]}};
        for (const Pt& p : pts) out[count++] = Contact{p, -1};
        return count;
    }
    for (int i = f.shaftFrom; i <= f.shaftTo && count < kMaxContacts; ++i)
        out[count++] = Contact{vertexOf(f, i), i};
    if (f.rectangle) {
        const int32_t cx = (f.box[0] + f.box[2]) / 2, cy = (f.box[1] + f.box[3]) / 2;
        const Pt mids[4] = {{f.box[0], cy}, {f.box[2], cy}, {cx, f.box[1]}, {cx, f.box[3]}};
        for (const Pt& p : mids)
            if (count < kMaxContacts) out[count++] = Contact{p, -1};
    }
    return count;
}

// Squared distance from p to segment a b, as a comparison with limit:
// true when it is at most limit.
bool withinSquared(Pt p, Pt a, Pt b, int64_t limit) {
    const int64_t dx = static_cast<int64_t>(b.x) - a.x, dy = static_cast<int64_t>(b.y) - a.y;
    const int64_t px = static_cast<int64_t>(p.x) - a.x, py = static_cast<int64_t>(p.y) - a.y;
    const int64_t len2 = dx * dx + dy * dy;
    const int64_t dot = px * dx + py * dy;
    if (len2 == 0 || dot <= 0) return px * px + py * py <= limit;
    if (dot >= len2) {
        const int64_t qx = static_cast<int64_t>(p.x) - b.x, qy = static_cast<int64_t>(p.y) - b.y;
        return qx * qx + qy * qy <= limit;
    }
    const int64_t cr = px * dy - py * dx;
    // cr^2 / len2 <= limit; a cross product this large is far off any
    // segment of 16-bit coordinates, and below it the square fits.
    if (absValue(cr) >= (int64_t{1} << 31)) return false;
    return cr * cr <= limit * len2;
}

// The segment of the outline (the vertex polyline; for an ellipse its outline
// vertices) that p lies on, or -1.
int segmentUnder(const Figure& f, Pt p) {
    for (int i = 0; i + 1 < f.n; ++i)
        if (withinSquared(p, vertexOf(f, i), vertexOf(f, i + 1), 2)) return i;
    if (f.n == 1 && withinSquared(p, vertexOf(f, 0), vertexOf(f, 0), 2)) return 0;
    return -1;
}

// An edge of a at its contact vertex runs along b's segment s and the segment
// goes on beyond the contact in the edge's direction.
bool edgeAlong(const Figure& a, int vertex, const Figure& b, int s) {
    if (a.ellipseBox || b.n < 2) return false;
    const Pt c = vertexOf(a, vertex);
    const Pt s0 = vertexOf(b, s), s1 = vertexOf(b, s + 1);
    const int64_t sx = static_cast<int64_t>(s1.x) - s0.x, sy = static_cast<int64_t>(s1.y) - s0.y;
    const int64_t slen = isqrtLarge(static_cast<uint64_t>(sx * sx + sy * sy));
    for (int other : {vertex - 1, vertex + 1}) {
        if (other < 0 || other >= a.n) continue;
        const Pt o = vertexOf(a, other);
        const int64_t ex = static_cast<int64_t>(o.x) - c.x, ey = static_cast<int64_t>(o.y) - c.y;
        const int64_t elen = isqrtLarge(static_cast<uint64_t>(ex * ex + ey * ey));
        if (elen == 0 || slen == 0) continue;
        const int64_t sine = absValue(ratio1024(ex * sy - ey * sx, elen * slen));
        if (sine > 143) continue;
        const Pt end = (ex * sx + ey * sy) > 0 ? s1 : s0;
        if (absValue(static_cast<int64_t>(end.x) - c.x) +
                absValue(static_cast<int64_t>(end.y) - c.y) >
            5)
            return true;
    }
    return false;
}

// Outlines this far apart cannot touch.
bool boxesApart(const Figure& a, const Figure& b) {
    int32_t ba[4], bb[4];
    auto bounds = [](const Figure& f, int32_t* out) {
        out[0] = out[1] = INT32_MAX;
        out[2] = out[3] = INT32_MIN;
        for (int i = 0; i < f.n; ++i) {
            const Pt p = vertexOf(f, i);
            if (p.x < out[0]) out[0] = p.x;
            if (p.y < out[1]) out[1] = p.y;
            if (p.x > out[2]) out[2] = p.x;
            if (p.y > out[3]) out[3] = p.y;
        }
        if (f.ellipseBox)
            for (int k = 0; k < 4; ++k) out[k] = f.box[k];
    };
    bounds(a, ba);
    bounds(b, bb);
    return ba[2] + 2 < bb[0] || bb[2] + 2 < ba[0] || ba[3] + 2 < bb[1] || bb[3] + 2 < ba[1];
}

uint32_t contactBits(const Figure& a, const Figure& b) {
    // Scribbles of thousands of vertices are no outlines to touch: the search
    // would cost their product for every pair.
    if (static_cast<int64_t>(a.n) * b.n > kContactBudget || boxesApart(a, b)) return 0;
    Contact contacts[kMaxContacts];
    int hits = 0;
    Pt first = {0, 0};
    for (int side = 0; side < 2; ++side) {
        const Figure& from = side ? b : a;
        const Figure& onto = side ? a : b;
        const int n = contactsOf(from, contacts);
        for (int i = 0; i < n; ++i) {
            const int s = segmentUnder(onto, contacts[i].p);
            if (s < 0) continue;
            if (contacts[i].vertex >= 0 && edgeAlong(from, contacts[i].vertex, onto, s))
                return kEdgeAlong;
            if (hits == 0) {
                first = contacts[i].p;
                hits = 1;
            } else if (absValue(static_cast<int64_t>(contacts[i].p.x) - first.x) >= 4 ||
                       absValue(static_cast<int64_t>(contacts[i].p.y) - first.y) >= 4) {
                ++hits;
            }
        }
    }
    if (hits == 0) return 0;
    return hits == 1 ? kOneContact : kContacts;
}

bool within1(int32_t a, int32_t b) { return absValue(static_cast<int64_t>(a) - b) <= 1; }

bool spans(const Figure& rect, const Figure& line) {
    if (!rect.rectangle || !line.line2) return false;
    const Pt p = vertexOf(line, 0), q = vertexOf(line, 1);
    const int32_t* r = rect.box;
    if (p.y == q.y && p.y >= r[1] && p.y <= r[3]) {
        const int32_t lo = p.x < q.x ? p.x : q.x, hi = p.x < q.x ? q.x : p.x;
        return within1(lo, r[0]) && within1(hi, r[2]);
    }
    if (p.x == q.x && p.x >= r[0] && p.x <= r[2]) {
        const int32_t lo = p.y < q.y ? p.y : q.y, hi = p.y < q.y ? q.y : p.y;
        return within1(lo, r[1]) && within1(hi, r[3]);
    }
    return false;
}

// End e (0 first, 1 last) of the axis-parallel line `line` lies on `on`.
bool endOn(const Figure& line, int e, const Figure& on) {
    if (!line.line2) return false;
    const Pt p = vertexOf(line, 0), q = vertexOf(line, 1);
    const bool upright = p.x == q.x, level = p.y == q.y;
    if (upright == level) return false;
    const Pt end = e ? q : p;
    auto inRange = [](int32_t v, int32_t a, int32_t b) {
        const int32_t lo = a < b ? a : b, hi = a < b ? b : a;
        return v >= lo - 1 && v <= hi + 1;
    };
    if (on.line2) {
        const Pt a = vertexOf(on, 0), b = vertexOf(on, 1);
        if (upright && a.y == b.y) return within1(end.y, a.y) && inRange(end.x, a.x, b.x);
        if (level && a.x == b.x) return within1(end.x, a.x) && inRange(end.y, a.y, b.y);
        return false;
    }
    if (on.rectangle) {
        const int32_t* r = on.box;
        if (upright)
            return (within1(end.y, r[1]) || within1(end.y, r[3])) && inRange(end.x, r[0], r[2]);
        return (within1(end.x, r[0]) || within1(end.x, r[2])) && inRange(end.y, r[1], r[3]);
    }
    return false;
}

}  // namespace

void computeDisposition(AlignContext* context) {
    freeBlock(context->disposition);
    context->disposition = nullptr;
    const int n = context->shapeCount;
    if (n <= 0) return;
    uint32_t* d = static_cast<uint32_t*>(
        allocZeroed(sizeof(uint32_t) * static_cast<size_t>(n) * static_cast<size_t>(n)));
    if (!d) return;
    Equation la[kMaxLines], lb[kMaxLines];
    for (int a = 0; a < n; ++a) {
        const Figure fa = figureOf(context->slots[a]);
        int32_t wa = 0, ha = 0;
        if (fa.hasExtent) extents(fa, &wa, &ha);
        const int na = linesOf(fa, la);
        for (int b = a + 1; b < n; ++b) {
            const Figure fb = figureOf(context->slots[b]);
            uint32_t bits = 0;
            if (fa.hasExtent && fb.hasExtent) {
                int32_t wb, hb;
                extents(fb, &wb, &hb);
                if (wa && wb && absValue(static_cast<int64_t>(wa) - wb) <= 1) bits |= kSameWidth;
                if (ha && hb && absValue(static_cast<int64_t>(ha) - hb) <= 1) bits |= kSameHeight;
            }
            const int nb = linesOf(fb, lb);
            int pairs = 0;
            for (int i = 0; i < na; ++i)
                for (int j = 0; j < nb; ++j)
                    if (absValue(la[i].a - lb[j].a) < 4 && absValue(la[i].b - lb[j].b) < 4 &&
                        absValue(la[i].c - lb[j].c) < 65)
                        ++pairs;
            if (pairs == 1) bits |= kOneCollinearPair;
            if (pairs >= 2) bits |= kCollinearPairs;
            bits |= contactBits(fa, fb);
            if (spans(fa, fb) || spans(fb, fa)) bits |= kLineSpansRectangle;
            if (endOn(fb, 0, fa)) bits |= kSecondFirstEndOnFirst;
            if (endOn(fb, 1, fa)) bits |= kSecondLastEndOnFirst;
            if (endOn(fa, 0, fb)) bits |= kFirstFirstEndOnSecond;
            if (endOn(fa, 1, fb)) bits |= kFirstLastEndOnSecond;
            d[a * n + b] = bits;
        }
    }
    context->disposition = d;
}

}  // namespace vexa
