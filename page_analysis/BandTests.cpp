#include "BandTests.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "Session.h"

namespace ombra {

namespace {

// Travel beyond the tolerance between reversals of one coordinate, plus the
// final stretch.
int64_t reversalTravel(const COmbraStroke& s, bool useY, int64_t tolerance) {
    const int n = s.count;
    if (n < 1) return 0;
    auto at = [&](int i) -> int64_t { return useY ? s.y(i) : s.x(i); };
    int64_t travel = 0, last = at(0);
    int direction = 0;
    for (int i = 1; i < n; ++i) {
        const int64_t d = at(i) - at(i - 1);
        if (!d) continue;
        const int dir = d > 0 ? 1 : -1;
        if (direction && dir != direction) {
            travel += std::max<int64_t>(0, std::llabs(at(i - 1) - last) - tolerance);
            last = at(i - 1);
        }
        direction = dir;
    }
    travel += std::max<int64_t>(0, std::llabs(at(n - 1) - last) - tolerance);
    return travel;
}

}  // namespace

int simpleStrokeValue(const COmbraStroke& s, int64_t h) {
    const int64_t o = h / 11;
    const int64_t excessWidth = std::max<int64_t>(0, reversalTravel(s, false, o) - s.width());
    const int64_t excessHeight = std::max<int64_t>(0, reversalTravel(s, true, o) - s.height());
    if (h / 3 < excessWidth + excessHeight) return 0;
    return s.height() * 9 >= s.width() * 4 ? 3 : 2;
}

void textFeatures(const COmbraStroke& s, int32_t out[3]) {
    out[0] = out[1] = out[2] = 0;
    const int64_t w = s.width(), h = s.height();
    const int n = s.count;
    if (w == 0 || h == 0 || n < 2) return;
    // Turning points of the vertical motion, small wiggles within t ignored.
    const int64_t t = std::max<int64_t>((h + 5) / 11, 1);
    std::vector<int64_t> turns;
    int direction = s.y(1) < s.y(0) ? -1 : 1;
    for (int i = 1; i + 1 < n;) {
        const int64_t cur = s.y(i);
        if ((int64_t(s.y(i + 1)) - cur) * direction >= 0) {
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < n && std::llabs(int64_t(s.y(j)) - cur) <= t) ++j;
        if (j < n && (int64_t(s.y(j)) - cur) * direction < 0) {
            turns.push_back(cur);
            direction = -direction;
        }
        i = j > i + 1 ? j - 1 : i + 1;
    }
    const int64_t count = static_cast<int64_t>(turns.size());
    int64_t amplitude = h;
    if (count >= 2) {
        int64_t sum = 0;
        for (size_t k = 1; k < turns.size(); ++k) sum += std::llabs(turns[k] - turns[k - 1]);
        amplitude = (sum + 2 * h + 1) / (count + 1);
        const int64_t mean = sum / (count - 1);
        std::vector<int64_t> sorted = turns;
        std::sort(sorted.begin(), sorted.end());
        const int64_t hi = sorted[count - count / 8 - 1], lo = sorted[count / 8];
        int64_t spread = 10;
        if (mean) {
            spread = (hi - lo) * 2 / mean - 4;
            spread *= count == 2 ? 2 : count == 3 ? 3 : 4;
            spread = std::min<int64_t>(spread, 15);
        }
        out[0] = static_cast<int32_t>(spread);
        int64_t regularity = 0;
        const int64_t pairs = count - 1;
        for (size_t k = 1; k < turns.size(); ++k) {
            const int64_t swing = std::llabs(turns[k] - turns[k - 1]);
            if (!swing || !mean)
                regularity += 10;
            else
                regularity += std::max(mean, swing) / std::min(mean, swing) - 2;
        }
        if (pairs > 4) regularity = regularity * 4 / pairs;
        out[1] = static_cast<int32_t>(regularity * 4);
    }
    // Backward travel: leftward runs after the first rightward run, each
    // counted beyond what a letter's own loop takes (4A/3).
    const int64_t allowance = amplitude * 4 / 3;
    int64_t backward = 0, run = 0;
    bool rightSeen = false;
    for (int i = 1; i < n; ++i) {
        const int64_t dx = int64_t(s.x(i)) - s.x(i - 1);
        if (dx > 0) {
            rightSeen = true;
            if (run) backward += std::max<int64_t>(0, run - allowance);
            run = 0;
        } else if (dx < 0 && rightSeen) {
            run -= dx;
        }
    }
    if (run) backward += std::max<int64_t>(0, run - allowance);
    const int64_t v = backward * 20 / w;
    out[2] =
        v == 1 ? 0 : static_cast<int32_t>(2 * std::min<int64_t>(std::max<int64_t>(v - 1, 0), 17));
}

int pairScore(const FRect& p, const FRect& q, int64_t a) {
    if (q.bottom < p.top || p.bottom < q.top) {
        if (int64_t(p.bottom) + 2 * a >= q.top) return 1;
        if (q.bottom < int64_t(p.top) - a || q.left < p.right || q.left > int64_t(p.right) + 3 * a)
            return 5;
        return 2;
    }
    if (p.right <= q.left && q.left <= int64_t(p.right) + 3 * a) return -2;
    if (q.left < int64_t(p.right) - a) return 4;
    return q.left < int64_t(p.right) - a / 3 ? 2 : 0;
}

int64_t typicalStrokeHeight(const COmbraSession& session, const COmbraUnit& group) {
    const int n = group.strokes.count();
    if (!n) return -1;
    int64_t sum = 0;
    for (int i = 0; i < n; ++i)
        if (const COmbraStroke* s = session.stroke(group.strokes.get(i))) sum += s->height();
    const int64_t mean = sum / n;
    int64_t typical = 0, k = 0;
    for (int i = 0; i < n; ++i) {
        const COmbraStroke* s = session.stroke(group.strokes.get(i));
        if (!s) continue;
        const int64_t h = s->height();
        if (2 * h >= mean && h <= 2 * mean) {
            typical += h;
            ++k;
        }
    }
    return k ? typical / k : mean;
}

// The band text test ---------------------------------------------------------

bool COmbraGroup::isTextGroup() {
    const int n = strokes.count();
    if (!n || !session) return false;
    const COmbraSession& ses = *session;
    int64_t heightSum = 0;
    for (int i = 0; i < n; ++i)
        if (const COmbraStroke* s = ses.stroke(strokes.get(i))) heightSum += s->height();
    const int64_t meanHeight = heightSum / n;

    std::vector<const COmbraStroke*> textLike;
    std::vector<const int32_t*> features;
    for (int i = 0; i < n; ++i) {
        COmbraStroke* s = ses.stroke(strokes.get(i));
        if (!s) continue;
        textFeatures(*s, s->features);
        // The flag stays on the stroke: the line content test reads it again.
        s->textFlag = 0;
        const VSANSWER* plain = answerHolding(false, strokes.get(i));
        if (plain && plain->vertexCount <= 2) continue;
        const int v = simpleStrokeValue(*s, ses.lineHeight);
        if (v == 2 || (v == 3 && s->height() < meanHeight / 3)) continue;
        s->textFlag = 1;
        textLike.push_back(s);
    }
    const int64_t k = static_cast<int64_t>(textLike.size());
    if (!k) return true;
    int64_t points = 0, weighted = 0, heights = 0;
    for (const COmbraStroke* s : textLike) {
        points += s->count;
        weighted += s->height() * s->count;
        heights += s->height();
    }
    if (!points) return false;
    const int64_t D = weighted / points, C = heights / k;
    if (!D || !C) return false;

    // Distinct attribute and width values (five at most are counted).
    auto distinct = [&](bool width) {
        std::vector<int32_t> seen;
        for (int i = 0; i < n && seen.size() < 5; ++i) {
            const COmbraStroke* s = ses.stroke(strokes.get(i));
            if (!s) continue;
            const int32_t v = width ? s->strokeWidth : s->attribute;
            if (std::find(seen.begin(), seen.end(), v) == seen.end()) seen.push_back(v);
        }
        return static_cast<int64_t>(seen.size());
    };
    const int64_t o = distinct(false), t = distinct(true);

    // The squared deviations in doubles: exact for any page of sane size, and
    // no overflow for strokes that span the whole coordinate range.
    int64_t E = 0, F[3] = {0, 0, 0};
    double V1 = 0, V2 = 0;
    for (size_t i = 0; i < textLike.size(); ++i) {
        const COmbraStroke* s = textLike[i];
        const int64_t h = s->height();
        V1 += double(D - h) * double(D - h) * s->count;
        V2 += double(C - h) * double(C - h);
        for (int f = 0; f < 3; ++f) F[f] += s->features[f];
        if (i) {
            const COmbraStroke* p = textLike[i - 1];
            const int64_t a = std::min<int64_t>(D, (p->height() + h) / 2);
            E += pairScore(p->box, s->box, a);
        }
    }
    int64_t G = 0;
    if (n >= 2) {
        const auto cut = [](double v) {
            return static_cast<int64_t>(v > 1e15 ? 1e15 : v < -1e15 ? -1e15 : v);
        };
        const int64_t g1 = cut(std::floor(std::floor(V1 / points) * 16 / (double(D) * D)));
        const int64_t g2 = cut(std::floor(std::floor(V2 / k) * 8 / (double(C) * C)));
        G = std::min(std::max(g1, g2), std::max(std::min(g1, g2), int64_t(12))) - 5;
    }
    const int64_t R = k / 2 + 40 * k;
    const int64_t L1 = (R + F[0]) / k, L2 = (R + F[1]) / k, L3 = (R + F[2]) / k;
    if (k > 1) E = E * 9 / (E > 0 ? 2 * k : 2 * k - 2);
    const int64_t score = (o >= 3 ? o - 2 : 0) + (t >= 3 ? t - 2 : 0) + E + L1 + L2 + L3 + G - 120;
    return score <= 2;
}

}  // namespace ombra
