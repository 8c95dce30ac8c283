// Recognized words are grouped into lines by how well each one continues a
// line: the vertical fit of its ends to its neighbour's (following the line's
// slope) and the horizontal gap between them.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "TextGroup.h"
#include "TextUnit.h"
#include "Session.h"

namespace ombra {

namespace {

constexpr int kJoin = 151;
constexpr int kSplit = 170;
constexpr int kOpenLine = 40;

// ya at x <= xa, yb at x >= xb, linear in 1/128 between.
int64_t ramp(int64_t x, int64_t xa, int64_t ya, int64_t xb, int64_t yb) {
    if (x <= xa) return ya;
    if (x >= xb) return yb;
    const int64_t w = ((xb - x) * 128) / std::max<int64_t>(1, xb - xa);
    return (ya * w + yb * (128 - w)) >> 7;
}

int64_t wordSlope(const _LSTRAPEZ& w, int64_t T) {
    const int64_t width = int64_t(w.xRight) - w.xLeft;
    const int64_t hl = int64_t(w.bottomLeft) - w.topLeft, hr = int64_t(w.bottomRight) - w.topRight;
    if (width <= 0 || 3 * hl < T || 3 * hr < T) return 0;
    const int64_t q =
        ((int64_t(w.topRight) + w.bottomRight) / 2 - (int64_t(w.topLeft) + w.bottomLeft) / 2) *
        1024 / width;
    return std::min<int64_t>(std::max<int64_t>(q, -1024), 1024);
}

int64_t meanHeight(const _LSTRAPEZ& w) {
    return ((int64_t(w.bottomLeft) - w.topLeft) + (int64_t(w.bottomRight) - w.topRight)) / 2;
}

}  // namespace

void CTextGroup::buildWordList() {
    for (int i = 0; i < wordList.count(); ++i) delete wordList.get(i);
    wordList.clear();
    for (int u = 0; u < units.count(); ++u) {
        COmbraUnit* unit = units.get(u);
        if (unit->kind != kUnitWord) continue;
        CTextUnit* word = static_cast<CTextUnit*>(unit);
        const WordSummary& s = word->summary;
        _LSTRAPEZ* t =
            new _LSTRAPEZ{s.xLeft,       s.xRight, s.topLeft,    s.bottomLeft, s.topRight,
                          s.bottomRight, s.height, s.meanStroke, word};
        if (!wordList.append(t)) {
            delete t;
            throw std::bad_alloc();
        }
        // Sorted in at once: writing order, equal indices keeping their order.
        for (int i = wordList.count() - 1;
             i > 0 && wordList.get(i - 1)->meanStroke > wordList.get(i)->meanStroke; --i) {
            _LSTRAPEZ* a = wordList.get(i - 1);
            wordList.set(i - 1, wordList.get(i));
            wordList.set(i, a);
        }
    }
}

int32_t CTextGroup::groupTolerance() const {
    const int64_t k = wordList.count();
    if (!k) return 0;
    int64_t sum = 0;
    for (int i = 0; i < k; ++i) sum += wordList.get(i)->height;
    const int64_t m = (sum + k / 2) / k;
    int64_t count = 0, s = 0;
    for (int i = 0; i < k; ++i) {
        const int64_t h = wordList.get(i)->height;
        if (3 * h <= m * 4) {
            ++count;
            s += h;
        }
    }
    if (count > std::min<int64_t>(k / 4, 3)) return static_cast<int32_t>((s + count / 2) / count);
    return static_cast<int32_t>(m);
}

int CTextGroup::fitScore(const _LSTRAPEZ& P, const _LSTRAPEZ& N, int64_t height,
                         int64_t slope) const {
    const int64_t H = session ? session->lineHeight : 32;
    const int64_t c = std::max<int64_t>(tolerance, H * 3 / 5);
    const int64_t a = std::max<int64_t>(height, H * 3 / 5);
    int64_t g = 0;
    if (N.xLeft >= P.xRight)
        g = std::min(std::max(slope * (int64_t(N.xLeft) - P.xRight) / 1024, -c / 2), c / 2);
    const int64_t dy = int64_t(P.topRight) + P.bottomRight - N.topLeft - N.bottomLeft;
    const int64_t t = std::min(std::llabs(dy) / 2, std::llabs(dy + 2 * g) / 2);
    const int64_t hN = int64_t(N.bottomLeft) - N.topLeft, hP = int64_t(P.bottomRight) - P.topRight;
    const int64_t v = std::max(hN / 2, hP / 2);
    const int64_t w = (std::max(hN, hP) + 2 * a) / 3;
    const int64_t l = (c + 2 * (hP + hN)) / 5;
    const int64_t C = std::max(std::min(hN, (hN + c) / 2), std::min(hP, (hP + c) / 2));
    int64_t limit = C >= std::max(w, l) ? C : std::max(w, l);
    limit = std::max(limit, v + 1);
    if (t > limit) return -1;
    const int64_t E = t <= v ? 100 : t >= limit ? 0 : ramp(t, v, 100, limit, 0);
    if (N.xLeft <= std::max<int64_t>(P.xLeft, P.xRight - 4 * a / 3)) return -1;
    const int64_t gap = int64_t(N.xLeft) - P.xRight;
    const int64_t I = ramp(gap, -4 * a / 3, 0, a / 4, 100);
    const int64_t J = ramp(gap, 2 * a, 100, 10 * a, 33);
    return static_cast<int>(E + std::min(I, J));
}

int CTextGroup::lineHeightOf(const _LSLINE& line) const { return line.height; }

void CTextGroup::refreshLine(_LSLINE& line) const {
    const int n = line.words.count();
    if (!n) return;
    int64_t sum = 0;
    line.top = INT32_MAX;
    line.bottom = INT32_MIN;
    for (int i = 0; i < n; ++i) {
        const _LSTRAPEZ* w = line.words.get(i);
        sum += w->height;
        line.top = std::min({line.top, w->topLeft, w->topRight});
        line.bottom = std::max({line.bottom, w->bottomLeft, w->bottomRight});
    }
    line.height = static_cast<int32_t>(sum / n);
}

int64_t CTextGroup::lineSlopeAt(const _LSLINE& line, int i) const {
    const _LSTRAPEZ* w = line.words.get(i);
    if (!w) return 0;
    if (i > 0) {
        const _LSTRAPEZ* p = line.words.get(i - 1);
        const int64_t hp = meanHeight(*p), hw = meanHeight(*w);
        const int64_t px = (int64_t(p->xLeft) + p->xRight) / 2,
                      wx = (int64_t(w->xLeft) + w->xRight) / 2;
        if (3 * hp >= 2 * tolerance && 2 * hw >= tolerance && hp <= 2 * hw && hw <= 2 * hp &&
            px != wx) {
            const int64_t py =
                (int64_t(p->topLeft) + p->bottomLeft + p->topRight + p->bottomRight) / 4;
            const int64_t wy =
                (int64_t(w->topLeft) + w->bottomLeft + w->topRight + w->bottomRight) / 4;
            return std::min<int64_t>(std::max<int64_t>((wy - py) * 1024 / (wx - px), -1024), 1024);
        }
    }
    return wordSlope(*w, tolerance);
}

int CTextGroup::groupWordsIntoLines() {
    for (int i = 0; i < lines.count(); ++i) delete lines.get(i);
    lines.clear();
    _LSLINE* current = nullptr;
    auto newLine = [&]() {
        _LSLINE* line = new _LSLINE;
        if (!lines.append(line)) {
            delete line;
            throw std::bad_alloc();
        }
        return line;
    };
    auto fitIn = [&](const _LSLINE& line, const _LSTRAPEZ& p, int pIndex, const _LSTRAPEZ& n,
                     bool flat) {
        return fitScore(p, n, line.height, flat ? 0 : lineSlopeAt(line, pIndex));
    };
    for (int wi = 0; wi < wordList.count(); ++wi) {
        _LSTRAPEZ* w = wordList.get(wi);
        if (wi > 0 && current) {
            _LSTRAPEZ* prev = wordList.get(wi - 1);
            const int pi = current->words.indexOf(prev);
            if (pi >= 0) {
                const int L = fitIn(*current, *prev, pi, *w, false);
                if (L > kJoin && pi == current->words.count() - 1) {
                    current->words.append(w);
                    refreshLine(*current);
                    continue;
                }
                if (L > kSplit && pi + 1 < current->words.count()) {
                    const _LSTRAPEZ* next = current->words.get(pi + 1);
                    const int viaNext = fitIn(*current, *prev, pi, *next, false) +
                                        std::max(fitScore(*next, *w, current->height, 0), 20);
                    if (viaNext < L) {
                        _LSLINE* split = newLine();
                        for (int k = 0; k <= pi; ++k)
                            split->words.append(current->words.get(0)), current->words.remove(0);
                        split->words.append(w);
                        refreshLine(*split);
                        refreshLine(*current);
                        current = split;
                        continue;
                    }
                }
            }
        }
        // The best place among the lines near the word.
        const int64_t meanBottom = (int64_t(w->bottomLeft) + w->bottomRight) / 2;
        const int64_t meanTop = (int64_t(w->topLeft) + w->topRight) / 2;
        int f = -1, c = -1, e = -1;
        _LSLINE *endLine = nullptr, *startLine = nullptr, *insideLine = nullptr;
        int insideAt = 0;
        for (int li = lines.count() - 1; li >= 0; --li) {
            _LSLINE* line = lines.get(li);
            const int n = line->words.count();
            if (!n) continue;
            if (!(int64_t(line->top) - 3 * tolerance < meanBottom &&
                  int64_t(line->bottom) + 3 * tolerance > meanTop))
                continue;
            const int end = fitIn(*line, *line->words.get(n - 1), n - 1, *w, false);
            if (end > f) {
                f = end;
                endLine = line;
            }
            const int start =
                fitScore(*w, *line->words.get(0), line->height, lineSlopeAt(*line, 0));
            if (start > c) {
                c = start;
                startLine = line;
            }
            for (int k = 0; k + 1 < n; ++k) {
                const _LSTRAPEZ* a = line->words.get(k);
                const _LSTRAPEZ* b = line->words.get(k + 1);
                int C = fitIn(*line, *a, k, *w, false);
                if (C <= 0) continue;
                const int D = fitScore(*w, *b, line->height, lineSlopeAt(*line, k + 1));
                C = D <= 0 ? -1 : C + D - std::max(0, fitScore(*a, *b, line->height, 0));
                if (C > e) {
                    e = C;
                    insideLine = line;
                    insideAt = k + 1;
                }
            }
        }
        if (std::max({f, c, e}) < kOpenLine) {
            current = newLine();
            current->words.append(w);
        } else if (f >= kOpenLine && c >= kOpenLine && c + f >= e && endLine != startLine) {
            endLine->words.append(w);
            for (int k = 0; k < startLine->words.count(); ++k)
                endLine->words.append(startLine->words.get(k));
            const int gone = lines.indexOf(startLine);
            lines.remove(gone);
            delete startLine;
            current = endLine;
        } else if (f >= std::max(c, e)) {
            endLine->words.append(w);
            current = endLine;
        } else if (c < e) {
            insideLine->words.insert(insideAt, w);
            current = insideLine;
        } else {
            startLine->words.insert(0, w);
            current = startLine;
        }
        refreshLine(*current);
    }
    return lines.count();
}

bool CTextGroup::sortLines() {
    const int n = lines.count();
    for (int i = 0; i < n; ++i)
        if (!lines.get(i)) return false;
    for (int pass = 0; pass < n; ++pass) {
        bool swapped = false;
        for (int i = 0; i + 1 < n - pass; ++i) {
            _LSLINE* a = lines.get(i);
            _LSLINE* b = lines.get(i + 1);
            if (int64_t(a->top) + a->bottom > int64_t(b->top) + b->bottom) {
                lines.set(i, b);
                lines.set(i + 1, a);
                swapped = true;
            }
        }
        if (!swapped) break;
    }
    return true;
}

}  // namespace ombra
