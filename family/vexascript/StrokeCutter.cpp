#include "StrokeCutter.h"

#include <algorithm>
#include <cmath>

namespace vexa {

namespace {

// A stroke this much wider than an x-height holds more than one letter
// (the widest printed letters, m and w, are about one x-height wide).
constexpr float kJoinedWidth = 1.3f;
constexpr float kLetterDip = 0.3f;    // x-heights: a letter's low point on the line
constexpr float kMarkReach = 0.3f;    // x-heights: a mark may stand this far past the ends
constexpr float kMaxJoinedInk = 150;  // x-heights of ink in a long word
constexpr float kSpacing = 0.08f;     // of an x-height, between the points examined
constexpr float kWindow = 0.12f;      // the stretch on each side a turn is measured over
// Radians: a cut point turns at least this much; a round letter turns less
// over the window, a cusp or a ligature meeting a letter more.
constexpr float kMinTurn = 0.4f;
// A low point this much below the ink on both sides of it (in x-heights) is
// a cut too: where a ligature leaves a letter's round end.
constexpr float kMinDip = 0.2f;
constexpr float kMinPieceLen = 0.3f;  // of an x-height: pieces shorter than this are not cut off

float turnAt(const Polyline& p, size_t i, size_t w) {
    const Pt a = p[i] - p[i - w], b = p[i + w] - p[i];
    const float la = std::hypot(a.x, a.y), lb = std::hypot(b.x, b.y);
    if (la < 1e-6f || lb < 1e-6f) return 0;
    return std::acos(std::clamp((a.x * b.x + a.y * b.y) / (la * lb), -1.0f, 1.0f));
}

// Cut points of one stroke (indices into `p`, ascending): the sharpest
// turns, each a local maximum, not too close to another cut or an end.
std::vector<size_t> cutPoints(const Polyline& p, float hx) {
    const size_t w = std::max<size_t>(2, static_cast<size_t>(std::lround(kWindow / kSpacing)));
    const size_t minGap = static_cast<size_t>(std::lround(kMinPieceLen / kSpacing));
    std::vector<float> turn(p.size(), 0);
    for (size_t i = w; i + w < p.size(); ++i) turn[i] = turnAt(p, i, w);
    std::vector<size_t> order;
    for (size_t i = w; i + w < p.size(); ++i)
        if (turn[i] >= kMinTurn && turn[i] >= turn[i - 1] && turn[i] >= turn[i + 1])
            order.push_back(i);
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return turn[a] > turn[b]; });
    std::vector<size_t> cuts;
    for (size_t i : order) {
        if (i < minGap || i + minGap >= p.size()) continue;
        bool near = false;
        for (size_t c : cuts) near = near || (i > c ? i - c : c - i) < minGap;
        if (!near) cuts.push_back(i);
    }
    for (size_t i : lowPoints(p, kMinDip * hx)) {
        if (i < minGap || i + minGap >= p.size()) continue;
        bool near = false;
        for (size_t c : cuts) near = near || (i > c ? i - c : c - i) < minGap;
        if (!near) cuts.push_back(i);
    }
    std::sort(cuts.begin(), cuts.end());
    return cuts;
}

}  // namespace

std::vector<size_t> lowPoints(const Polyline& p, float dip) {
    std::vector<size_t> out;
    for (size_t i = 1; i + 1 < p.size(); ++i) {
        bool lowest = true;
        float riseL = 0, riseR = 0;
        for (size_t j = i; j-- > 0 && lowest && riseL < dip;) {
            if (p[j].y > p[i].y) lowest = false;
            riseL = std::max(riseL, p[i].y - p[j].y);
        }
        for (size_t j = i + 1; j < p.size() && lowest && riseR < dip; ++j) {
            if (p[j].y > p[i].y) lowest = false;
            riseR = std::max(riseR, p[i].y - p[j].y);
        }
        if (lowest && riseL >= dip && riseR >= dip) out.push_back(i);
    }
    return out;
}

std::vector<StrokePiece> cutJoinedStrokes(const std::vector<const Polyline*>& strokes, float hx,
                                          float hxMax) {
    hx = std::max(hx, 1e-3f);
    std::vector<StrokePiece> pieces;
    std::vector<Box> boxes;
    for (const Polyline* s : strokes) boxes.push_back(boxOf(*s));
    std::vector<bool> joined(strokes.size(), false);
    std::vector<Polyline> dense(strokes.size());
    for (size_t k = 0; k < strokes.size(); ++k) {
        // A stroke longer than a long word written joined (a scribble, a
        // stroke over a whole line) is not cut: it would only cost time.
        joined[k] = boxes[k].width() > kJoinedWidth * hx && strokes[k]->size() > 2 &&
                    lengthOf(*strokes[k]) < kMaxJoinedInk * hx;
        if (!joined[k]) continue;
        // The letters of a joined word meet the line again and again; a wide
        // capital written in one stroke (a Z, a W) twice at most, and only a
        // wide one may be two letters even at the largest x-height.
        dense[k] = resampleBySpacing(*strokes[k], kSpacing * hx);
        const size_t lows = lowPoints(dense[k], kLetterDip * hx).size();
        joined[k] = lows >= 3 || (lows == 2 && boxes[k].width() > kJoinedWidth * hxMax);
    }
    // A stroke over the span of a joined one is one of its marks; a dot or a
    // bar may stand a little past its ends (the bar of a t that begins it).
    auto overJoined = [&](size_t k) {
        if (joined[k]) return false;
        const bool bar = boxes[k].height() < 0.3f * boxes[k].width();
        const float reach = boxes[k].size() < 0.5f * hx || bar ? kMarkReach * hx : 0;
        for (size_t j = 0; j < strokes.size(); ++j)
            if (joined[j] && boxes[k].cx() > boxes[j].l - reach &&
                boxes[k].cx() < boxes[j].r + reach)
                return true;
        return false;
    };
    std::vector<size_t> marks;
    for (size_t k = 0; k < strokes.size(); ++k) {
        if (overJoined(k)) {
            marks.push_back(k);
            continue;
        }
        if (!joined[k]) {
            pieces.push_back({*strokes[k], static_cast<int>(k), false, false});
            continue;
        }
        const std::vector<size_t> cuts = cutPoints(dense[k], hx);
        size_t from = 0;
        for (size_t c = 0; c <= cuts.size(); ++c) {
            const size_t to = c < cuts.size() ? cuts[c] : dense[k].size() - 1;
            StrokePiece piece;
            piece.pts.assign(dense[k].begin() + static_cast<long>(from),
                             dense[k].begin() + static_cast<long>(to) + 1);
            piece.origin = static_cast<int>(k);
            piece.cut = !cuts.empty();
            piece.continues = c > 0;
            pieces.push_back(std::move(piece));
            from = to;
        }
    }
    // Each mark after the piece it stands over: the piece whose middle is
    // nearest to the mark's (the stem of a t or an i, not the ligature into it).
    for (size_t k : marks) {
        const float x = boxes[k].cx();
        size_t best = pieces.size();
        float nearest = kMarkReach * hx + 0.5f * boxes[k].width();
        for (size_t i = 0; i < pieces.size(); ++i) {
            if (!pieces[i].cut) continue;
            const Box b = boxOf(pieces[i].pts);
            const float d = std::fabs(b.cx() - x);
            if (d < nearest && b.height() > 0.4f * hx) {
                nearest = d;
                best = i;
            }
        }
        StrokePiece mark{*strokes[k], static_cast<int>(k), false, false};
        if (best == pieces.size())
            pieces.push_back(std::move(mark));
        else
            pieces.insert(pieces.begin() + static_cast<long>(best) + 1, std::move(mark));
        // A mark between two parts of a stroke: the part after it still runs on
        // from the part before it (grouping joins the parts of one stroke).
    }
    return pieces;
}

}  // namespace vexa
