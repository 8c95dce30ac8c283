#include "LineFinder.h"

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "BandTests.h"
#include "Ink.h"

namespace ombra {

namespace {

int64_t positive(int64_t v) { return v > 0 ? v : 0; }

}  // namespace

const FRect& LineFinder::box(int s) const { return (*strokes_)[s]->box; }

int LineFinder::value(int s) const { return simpleStrokeValue(*(*strokes_)[s], H_); }

void LineFinder::open(int s) {
    const FRect& r = box(s);
    rightEdge_ = r.right;
    leftLimit2_ = std::min<int64_t>(r.left, rightEdge_ - b_);
    leftLimit_ = std::max(std::min<int64_t>(r.left, rightEdge_ - 2 * b_), rightEdge_ - 3 * b_);
    top_ = r.top;
    bottom_ = r.bottom;
    first_ = r;
    lineStrokes_.assign(1, s);
    lineOf_[s] = current_;
    refit();
}

void LineFinder::refit() {
    int64_t D = bottom_, C = top_;
    for (int s : lineStrokes_) {
        const FRect& r = box(s);
        if (r.right < leftLimit_ || r.left > rightEdge_) continue;
        D = std::min<int64_t>(D, r.top);
        C = std::max<int64_t>(C, r.bottom);
    }
    if (C <= D) return;
    const int64_t m = positive((5 * b_ / 4 - positive((C - D) - 3 * b_ / 2)) / 2);
    bottom_ = C + std::max(m, H_ / 4);
    top_ = D - std::max(m, H_ / 3);
}

void LineFinder::pullLeft(int s) {
    const FRect& r = box(s);
    if (r.width() < 3 * (rightEdge_ - leftLimit_) && r.height() < 3 * (bottom_ - top_) &&
        value(s) != 2 && r.left < leftLimit_)
        leftLimit_ = (leftLimit_ + 4 * int64_t(r.left) + 2) / 5;
}

void LineFinder::close() {
    LineTrapezoid t;
    bool firstStroke = true;
    for (int s : lineStrokes_) {
        const FRect& r = box(s);
        if (firstStroke || r.left < t.xLeft) {
            t.xLeft = r.left;
            t.topLeft = r.top;
            t.bottomLeft = r.bottom;
        }
        if (firstStroke || r.right > t.xRight) {
            t.xRight = r.right;
            t.topRight = r.top;
            t.bottomRight = r.bottom;
        }
        firstStroke = false;
    }
    // Each end takes in the strokes near it in full, the strokes further in
    // by as much as they reach past their own height.
    auto widen = [](int64_t& top, int64_t& bottom, const FRect& r, int64_t d) {
        const int64_t inward = d > r.height() ? d - r.height() : 0;
        top = std::min(top, r.top + inward);
        bottom = std::max(bottom, r.bottom - inward);
    };
    for (int s : lineStrokes_) {
        const FRect& r = box(s);
        widen(t.topLeft, t.bottomLeft, r, r.left - t.xLeft);
        widen(t.topRight, t.bottomRight, r, t.xRight - r.right);
    }
    lines_.push_back(t);
}

bool LineFinder::overlaps(int s) const {
    const FRect& r = box(s);
    return r.top <= bottom_ + (extra_ ? b_ : 0) && r.bottom >= top_ &&
           r.left <= rightEdge_ + 3 * b_;
}

int LineFinder::sizeTest(int s, int v) const {
    const FRect& r = box(s);
    const int64_t w = r.width(), h = r.height(), a = b_;
    if ((w <= a / 3 && h <= a / 3) || w + h <= a / 2) return 2;
    return (v == 2 || v == 3) && w + h <= a ? 1 : 0;
}

int LineFinder::attach(int s, int64_t a, bool currentOnly) const {
    const FRect& r = box(s);
    const int64_t n = s;
    auto distance = [&](int64_t top, int64_t bottom, int64_t left, int64_t right) {
        int64_t below = positive(r.top - bottom);
        // Looking at the current line only, marks below it are never its own.
        if (currentOnly && below > 0) below = std::max(below, a + 1);
        return std::max({below, positive(top - r.bottom) / 2, positive(r.left - right),
                         positive(left - r.right)});
    };
    auto weighted = [&](int64_t d, int64_t i) { return n ? d * (3 * n - i) / (3 * n) : d; };
    if (weighted(distance(top_, bottom_, leftLimit_, rightEdge_), n) < a) return current_;
    int best = -1;
    int64_t bestDistance = a;
    for (int i = s - 1; i >= 0; --i) {
        if (currentOnly && lineOf_[i] != current_) continue;
        const FRect& o = box(i);
        const int64_t d = weighted(distance(o.top, o.bottom, o.left, o.right), i);
        if (d >= a) continue;
        if (lineOf_[i] == current_) return current_;
        if (d < bestDistance) {
            bestDistance = d;
            best = lineOf_[i];
        }
    }
    return best;
}

int LineFinder::find(const std::vector<const COmbraStroke*>& strokes, std::vector<int>& lineOf) {
    strokes_ = &strokes;
    const int n = static_cast<int>(strokes.size());
    lineOf_.assign(n, 0);
    lines_.clear();
    current_ = 0;
    extra_ = false;
    if (!n) {
        lineOf = lineOf_;
        return 0;
    }
    open(0);
    for (int s = 1; s < n; ++s) {
        const FRect& r = box(s);
        if (overlaps(s)) {
            bool joined = false;
            if (r.right >= rightEdge_) {
                rightEdge_ = r.right;
                const int64_t L = leftLimit2_;
                leftLimit_ = std::min<int64_t>(L, r.left);
                leftLimit2_ = std::max<int64_t>(L, r.left);
                leftLimit2_ = std::min(leftLimit2_, rightEdge_ - b_);
                leftLimit_ =
                    std::max(std::min(leftLimit_, rightEdge_ - 2 * b_), rightEdge_ - 3 * b_);
                pullLeft(s);
                lineStrokes_.push_back(s);
                refit();
                joined = true;
            } else if (r.left >= leftLimit_) {
                lineStrokes_.push_back(s);
                refit();
                pullLeft(s);
                joined = true;
            }
            if (joined) {
                lineOf_[s] = current_;
                extra_ = false;
                continue;
            }
        }
        const int v = value(s);
        int line = -1, r2 = 0;
        if (v == 2) {
            line = attach(s, std::max<int64_t>(b_ / 6, 1), false);
        } else if (v == 3) {
            const bool inside = r.width() < rightEdge_ - leftLimit_ &&
                                2 * r.height() < 3 * (bottom_ - top_) &&
                                r.centreX() > first_.left && r.centreX() < first_.right &&
                                r.centreY() > top_ && r.centreY() < bottom_;
            if (inside) line = attach(s, std::max<int64_t>(b_ / 3, 1), true);
        }
        if (line < 0 && v != 2) {
            r2 = sizeTest(s, v);
            if (r2 > 0) line = attach(s, std::max<int64_t>(3 * b_ / 10, 1), r2 == 1);
        }
        if (line >= 0) {
            lineOf_[s] = line;
            pullLeft(s);
            continue;
        }
        close();
        ++current_;
        open(s);
        if (v == 2 || r2 > 0) extra_ = true;
    }
    close();
    std::vector<int> merged;
    const int count = mergeLines(lines_, b_, merged);
    for (int& l : lineOf_) l = merged[l];
    lineOf = lineOf_;
    return count;
}

int mergeLines(const std::vector<LineTrapezoid>& lines, int64_t b, std::vector<int>& merged) {
    const int n = static_cast<int>(lines.size());
    merged.assign(n, -1);
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) {
        return ((lines[x].xLeft + lines[x].xRight) >> 1) <
               ((lines[y].xLeft + lines[y].xRight) >> 1);
    });
    auto S = [](const LineTrapezoid& t) {
        return (t.bottomLeft - t.topLeft) + (t.bottomRight - t.topRight);
    };
    auto overlap = [](const LineTrapezoid& a, const LineTrapezoid& r) {
        const int64_t bottom = std::min({a.bottomLeft, a.bottomRight, r.bottomLeft, r.bottomRight});
        const int64_t top = std::max({a.topLeft, a.topRight, r.topLeft, r.topRight});
        return positive(bottom - top);
    };
    std::vector<LineTrapezoid> made;
    for (int index : order) {
        const LineTrapezoid& R = lines[index];
        int into = -1;
        for (size_t k = 0; k < made.size(); ++k) {
            LineTrapezoid& A = made[k];
            if (R.xLeft > A.xLeft && R.xRight < A.xRight &&
                overlap(A, R) >= std::max(2 * b / 5, std::min(2 * S(R) / 5, S(A) / 4)))
                into = static_cast<int>(k);
            if (R.xLeft < A.xLeft && R.xRight > A.xRight &&
                overlap(A, R) >= std::max(2 * b / 5, std::min(2 * S(A) / 5, S(R) / 4))) {
                into = static_cast<int>(k);
                A = R;
            }
            if (R.xLeft <= A.xRight + 2 * b) {
                const int64_t ov = positive(std::min(A.bottomRight, R.bottomLeft) -
                                            std::max(A.topRight, R.topLeft));
                const int64_t heights =
                    std::min(A.bottomRight - A.topRight, R.bottomLeft - R.topLeft);
                if (ov >= std::max(2 * b / 5, 2 * heights / 3)) {
                    into = static_cast<int>(k);
                    A = R;
                }
            }
        }
        if (into < 0) {
            into = static_cast<int>(made.size());
            made.push_back(R);
        }
        merged[index] = into;
    }
    return static_cast<int>(made.size());
}

}  // namespace ombra
