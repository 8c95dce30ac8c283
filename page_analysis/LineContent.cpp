// Which lines of a text group look like writing: a score from the strokes'
// shapes and heights, how the strokes and words of the line follow each other,
// strokes boxed by loops and lines overlapping their neighbours; then the
// neighbourhood of each line confirms or overrules its own score.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "BandTests.h"
#include "Session.h"
#include "TextGroup.h"
#include "TextUnit.h"

namespace ombra {

namespace {

int64_t positive(int64_t v) { return v > 0 ? v : 0; }

// The second form of the pair score, between strokes of one word.
int wordPairScore(const FRect& p, const FRect& q, int64_t a) {
    if (q.bottom < p.top || p.bottom < q.top) return 4;
    if (p.right <= q.left && q.left <= int64_t(p.right) + 3 * a) return 0;
    if (q.left < int64_t(p.right) - a) return 4;
    return q.left < int64_t(p.right) - a / 3 ? 1 : 0;
}

int64_t interpolate(int64_t x, const EnvelopePoint& a, const EnvelopePoint& b) {
    const int64_t span = b.x - a.x;
    if (span == 0) return a.y;
    return ((x - a.x) * 1024 / span * b.y + (b.x - x) * 1024 / span * a.y) >> 10;
}

int64_t floorDiv(double v) { return static_cast<int64_t>(std::floor(v)); }

}  // namespace

int envelope(std::vector<EnvelopePoint>& points, int side) {
    std::stable_sort(points.begin(), points.end(),
                     [](const EnvelopePoint& a, const EnvelopePoint& b) { return a.x < b.x; });
    const int n = static_cast<int>(points.size());
    if (n <= 2) return n;
    std::vector<EnvelopePoint> kept = {points[0]};
    for (int i = 0; i < n - 1;) {
        int best = i + 1;
        int64_t bestSlope = INT64_MIN;
        for (int j = i + 1; j <= std::min(i + 4, n - 1); ++j) {
            const int64_t dx = points[j].x - points[i].x, dy = points[j].y - points[i].y;
            const int64_t slope = dx ? dy * 1024 / dx : (dy > 0 ? 30000 : -30000);
            if (slope * side >= bestSlope) {
                bestSlope = slope * side;
                best = j;
            }
        }
        kept.push_back(points[best]);
        i = best;
    }
    points = kept;
    return static_cast<int>(points.size());
}

LineGap lineGap(const _LSLINE& upper, const _LSLINE& lower) {
    std::vector<EnvelopePoint> U, D;
    for (int i = 0; i < upper.words.count(); ++i) {
        const _LSTRAPEZ* w = upper.words.get(i);
        U.push_back({w->xLeft, w->bottomLeft});
        U.push_back({w->xRight, w->bottomRight});
    }
    for (int i = 0; i < lower.words.count(); ++i) {
        const _LSTRAPEZ* w = lower.words.get(i);
        D.push_back({w->xLeft, w->topLeft});
        D.push_back({w->xRight, w->topRight});
    }
    LineGap gap;
    if (U.empty() || D.empty()) return gap;
    const int nu = envelope(U, 1), nd = envelope(D, -1);
    int64_t sum = 0, count = 0, least = INT64_MAX;
    auto sample = [&](int64_t g) {
        sum += g;
        ++count;
        least = std::min(least, g);
    };
    int iu = 0, id = 0;
    for (;;) {
        if (U[iu].x < D[id].x) {
            if (iu + 1 < nu && U[iu + 1].x < D[id].x) {
                ++iu;
                continue;
            }
            if (iu + 1 >= nu) break;
            sample(D[id].y - interpolate(D[id].x, U[iu], U[iu + 1]));
        } else {
            if (id + 1 < nd && D[id + 1].x <= U[iu].x) {
                ++id;
                continue;
            }
            if (id + 1 >= nd) break;
            sample(interpolate(U[iu].x, D[id], D[id + 1]) - U[iu].y);
        }
        if (iu + 1 >= nu || id + 1 >= nd) break;
        if (U[iu + 1].x < D[id + 1].x)
            ++iu;
        else
            ++id;
        if (iu + 1 >= nu || id + 1 >= nd) break;
    }
    if (count) {
        gap.mean = sum / count;
        gap.least = least;
    } else {
        gap.mean = gap.least = positive(int64_t(lower.top) - upper.bottom) +
                               positive(U.front().x - D.back().x) +
                               positive(D.front().x - U.back().x);
    }
    return gap;
}

void CTextGroup::markContent() {
    const int n = lines.count();
    for (int i = 0; i < n; ++i) {
        _LSLINE& line = *lines.get(i);
        line.content = true;
        line.noWords = false;
        line.contentScore = 0;
    }
    for (int li = 0; li < n; ++li) {
        _LSLINE& line = *lines.get(li);
        const int64_t h = line.height;
        std::vector<const COmbraStroke*> textLike;
        int64_t k = 0, B = 0;
        for (int w = 0; w < line.words.count(); ++w) {
            const CTextUnit* word = line.words.get(w)->word;
            for (int s = 0; s < word->strokes.count(); ++s) {
                const COmbraStroke* stroke = session->stroke(word->strokes.get(s));
                if (!stroke) continue;
                ++k;
                B += stroke->boxedMark;
                if (stroke->textFlag) textLike.push_back(stroke);
            }
        }
        if (!k) continue;
        const int64_t m = static_cast<int64_t>(textLike.size());
        int64_t points = 0, weighted = 0, heights = 0;
        for (const COmbraStroke* s : textLike) {
            points += s->count;
            weighted += s->height() * s->count;
            heights += s->height();
        }
        const int64_t D = points ? weighted / points : 0, C = m ? heights / m : 0;
        double V1 = 0, V2 = 0;
        int64_t F[3] = {0, 0, 0}, Q = 0, u = 0;
        for (int w = 0; w < line.words.count(); ++w) {
            const CTextUnit* word = line.words.get(w)->word;
            const COmbraStroke* previous = nullptr;
            for (int s = 0; s < word->strokes.count(); ++s) {
                const COmbraStroke* stroke = session->stroke(word->strokes.get(s));
                if (!stroke || !stroke->textFlag) continue;
                const int64_t sh = stroke->height();
                V1 += double(sh - D) * double(sh - D);
                V2 += double(sh - C) * double(sh - C);
                for (int f = 0; f < 3; ++f) F[f] += stroke->features[f];
                if (previous) {
                    const int64_t a = std::min<int64_t>(h, (previous->height() + sh) / 2);
                    Q += wordPairScore(previous->box, stroke->box, a);
                    ++u;
                }
                previous = stroke;
            }
            if (!w) continue;
            const _LSTRAPEZ& N = *line.words.get(w);
            const _LSTRAPEZ& P = *line.words.get(w - 1);
            const int64_t a3 = (int64_t(N.height) + P.height + h) / 3;
            const int64_t step = P.xRight < N.xLeft ? 0 : N.xLeft < int64_t(P.xRight) - a3 ? 8 : 4;
            const int64_t dX =
                std::llabs((int64_t(N.xLeft) + N.xRight) - (int64_t(P.xLeft) + P.xRight)) / 2;
            const int64_t dY =
                std::llabs((int64_t(N.topLeft) + N.bottomLeft + N.topRight + N.bottomRight) -
                           (int64_t(P.topLeft) + P.bottomLeft + P.topRight + P.bottomRight)) /
                4;
            auto oneTextStroke = [&](const _LSTRAPEZ& t) {
                if (t.word->strokes.count() != 1) return false;
                const COmbraStroke* s = session->stroke(t.word->strokes.get(0));
                return s && s->textFlag;
            };
            int64_t E;
            if (oneTextStroke(N) || oneTextStroke(P))
                E = step;
            else if (dX == 0)
                E = step + 8;
            else
                E = step + 2 * std::min<int64_t>(2 * dY / dX, 4);
            E = std::min<int64_t>(E, 14);
            Q += 2 * E;
            u += 2;
        }
        int64_t X = (k / 2 + B + 40 * k) / k - 40;
        if (X > 7) X = 3 * X - 14;
        if (m == 0) {
            if (X >= 7) line.content = false;
            continue;
        }
        int64_t G = 0;
        if (D && C)
            G = std::max(floorDiv(14 * std::floor(V1 / m) / (double(D) * D)),
                         floorDiv(7 * std::floor(V2 / m) / (double(C) * C))) -
                5;
        int64_t L = 0;
        for (int f = 0; f < 3; ++f) L += (m / 2 + 40 * m + F[f]) / m - 40;
        const int64_t R = u ? (u / 2 + 4 * Q + 40 * u) / u - 40 : 0;
        int64_t W = 0;
        if (li > 0) W += positive(-lineGap(*lines.get(li - 1), line).least);
        if (li + 1 < n) W += positive(-lineGap(line, *lines.get(li + 1)).least);
        if (li == 0 || li == n - 1) W = (3 * W + 1) / 2;
        const int64_t O = h > 0 ? std::min<int64_t>((h / 2 + 8 * W) / h, 9) : 0;
        const int64_t score = O + X + G + L + R;
        line.contentScore =
            static_cast<int32_t>(std::max<int64_t>(std::min<int64_t>(score, INT32_MAX), INT32_MIN));
        if (score > 0) line.content = false;
    }
}

void CTextGroup::markNeighbourhood() {
    const int n = lines.count();
    if (n < 2) return;
    std::vector<int64_t> mass(n);
    std::vector<bool> content(n);
    for (int i = 0; i < n; ++i) {
        const _LSLINE& line = *lines.get(i);
        int64_t strokesOf = 0;
        for (int w = 0; w < line.words.count(); ++w)
            strokesOf += line.words.get(w)->word->strokes.count();
        int64_t v = (5 * int64_t(line.words.count()) + 1) / 2 + strokesOf;
        if (v > 7) v = (v - 7) / 2 + 7;
        mass[i] = std::min<int64_t>(v, 12);
        content[i] = line.content;
    }
    std::vector<bool> marked(n, false);
    for (int i = 0; i < n; ++i) {
        const _LSLINE& line = *lines.get(i);
        const int64_t h = line.height;
        if (!content[i] || h <= 0) continue;
        int64_t sigma = 0, S = 0;
        for (int d : {-2, -1, 1, 2}) {
            const int j = i + d;
            if (j < 0 || j >= n) continue;
            const _LSLINE& other = *lines.get(j);
            const LineGap g = d < 0 ? lineGap(other, line) : lineGap(line, other);
            const int64_t e = std::max<int64_t>(1, g.least);
            const int64_t f = std::min<int64_t>(30 * h / (h + e), 30);
            int64_t c = other.contentScore;
            c = content[j] ? std::max<int64_t>(c, -14) : std::min<int64_t>(c, 10);
            sigma += mass[j] * c * f;
            S += (d == -1 || d == 1) ? std::max(f, (f + 21) / 2) : f;
        }
        if (S != 0 && sigma + (3 * mass[i] * line.contentScore * S) / 2 > 0) marked[i] = true;
    }
    for (int i = 0; i < n; ++i)
        if (marked[i]) lines.get(i)->content = false;
}

}  // namespace ombra
