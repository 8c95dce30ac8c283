#include "Segmenter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "StrokeCutter.h"

namespace vexa {

namespace {

constexpr float kDescentRatio = (14 - kGridBaseline) / kGridXHeight;  // 0.67

float median(std::vector<float> v) {
    if (v.empty()) return 0;
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + mid, v.end());
    return v[mid];
}

float percentile(std::vector<float> v, float p) {
    if (v.empty()) return 0;
    const size_t at = std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5f));
    std::nth_element(v.begin(), v.begin() + at, v.end());
    return v[at];
}

// Takes the tremor out of a stroke: two passes of a [1 2 1] filter, the ends kept.
Polyline smooth(Polyline p) {
    for (int pass = 0; pass < 2 && p.size() > 2; ++pass) {
        Polyline q = p;
        for (size_t i = 1; i + 1 < p.size(); ++i) q[i] = (p[i - 1] + p[i] * 2 + p[i + 1]) * 0.25f;
        p.swap(q);
    }
    return p;
}

// Typical height of the writing's letters: the median height of the strokes
// that are not marks (dots, commas) beside the bigger strokes.
float typicalHeight(const std::vector<Box>& boxes) {
    std::vector<float> sizes;
    for (const Box& b : boxes) sizes.push_back(b.size());
    const float big = percentile(sizes, 0.8f);
    std::vector<float> heights;
    for (const Box& b : boxes)
        if (b.size() >= 0.35f * big) heights.push_back(std::max(b.height(), 0.3f * b.size()));
    return std::max(1.0f, median(heights));
}

constexpr float kNoiseDip = 0.15f;  // of a letter's height

// The boxes a stroke's letters would have: a stroke much wider than tall is
// joined writing, and its stretches from one low point to the next (where a
// letter meets the line, rising at least `minDip` on both sides: a bar's pen
// noise is no letter) stand for its letters; any other stroke is one box.
void letterBoxesOf(const Polyline& s, const Box& box, float minDip, std::vector<Box>& out) {
    if (box.width() < 1.6f * box.height() || s.size() < 10) {
        out.push_back(box);
        return;
    }
    size_t from = 0;
    for (size_t i : lowPoints(s, std::max(0.12f * box.height(), minDip))) {
        out.push_back(boxOf(
            Polyline(s.begin() + static_cast<long>(from), s.begin() + static_cast<long>(i) + 1)));
        from = i;
    }
    out.push_back(boxOf(Polyline(s.begin() + static_cast<long>(from), s.end())));
}

// Splits strokes (indices in writing order) into lines. A significant stroke
// begins the next line when it starts back on the left of what was written
// lately and below the current line's ink at that place (a line may drift up
// or down as it goes), or when it starts far below everything written lately.
std::vector<std::vector<int>> splitLines(const std::vector<Box>& boxes, float h0) {
    std::vector<std::vector<int>> lines;
    std::vector<float> sizes, bigSizes;
    for (const Box& b : boxes) sizes.push_back(b.size());
    const float big = percentile(sizes, 0.8f);
    for (float s : sizes)
        if (s >= 0.35f * big) bigSizes.push_back(s);
    // Flat strokes (bars, dashes) make the typical height small; the letter
    // size then comes from their length.
    const float unit = std::max(h0, median(bigSizes));
    std::vector<int> significantOfLine;
    for (size_t i = 0; i < boxes.size(); ++i) {
        const Box& b = boxes[i];
        const bool significant = b.size() >= 0.35f * big;
        if (!lines.empty() && significant && !significantOfLine.empty()) {
            const size_t n = significantOfLine.size();
            float bottom = boxes[significantOfLine.back()].b;
            float right = boxes[significantOfLine.back()].r;
            for (size_t k = n > 12 ? n - 12 : 0; k < n; ++k) {
                bottom = std::max(bottom, boxes[significantOfLine[k]].b);
                right = std::max(right, boxes[significantOfLine[k]].r);
            }
            // The lowest ink of the current line around a place, or the recent bottom.
            auto bottomNear = [&](const Box& at) {
                float near = -1e30f;
                for (int k : significantOfLine)
                    if (boxes[k].r >= at.l - 0.25f * unit && boxes[k].l <= at.r + 0.25f * unit)
                        near = std::max(near, boxes[k].b);
                return near > -1e30f ? near : bottom;
            };
            auto belowOnTheLeft = [&](const Box& x, float top) {
                return x.r < right - 0.5f * unit && top > bottomNear(x) + 0.4f * unit;
            };
            if (belowOnTheLeft(b, b.t) || b.t > bottom + 2.0f * unit) {
                // Small strokes just before (a dot, a short bar) that already lie
                // below the old line, by the new stroke, begin the new line with
                // it; a comma or a dot at the end of the old line stays there.
                auto byTheNewStroke = [&](const Box& x) {
                    return x.r >= b.l - unit && x.l <= b.r + unit && belowOnTheLeft(x, x.cy());
                };
                std::vector<int> moved;
                while (!lines.back().empty() && lines.back().back() > significantOfLine.back() &&
                       byTheNewStroke(boxes[lines.back().back()])) {
                    moved.insert(moved.begin(), lines.back().back());
                    lines.back().pop_back();
                }
                lines.emplace_back(moved);
                significantOfLine.clear();
            }
        }
        if (lines.empty()) lines.emplace_back();
        lines.back().push_back(static_cast<int>(i));
        if (significant) significantOfLine.push_back(static_cast<int>(i));
    }
    return lines;
}

// The slant of the writing: the weighted median of the horizontal drift of
// near-vertical pieces of ink.
float estimateShear(const std::vector<Polyline>& strokes) {
    std::vector<std::pair<float, float>> slopes;  // (dx/dy, weight)
    float total = 0;
    for (const Polyline& s : strokes) {
        for (size_t i = 1; i < s.size(); ++i) {
            const float dx = s[i].x - s[i - 1].x, dy = s[i].y - s[i - 1].y;
            if (std::fabs(dy) < 1e-6f || std::fabs(dx) > 0.6f * std::fabs(dy)) continue;
            slopes.push_back({dx / dy, std::fabs(dy)});
            total += std::fabs(dy);
        }
    }
    if (slopes.size() < 3 || total <= 0) return 0;
    std::sort(slopes.begin(), slopes.end());
    float acc = 0;
    for (const auto& s : slopes) {
        acc += s.second;
        if (acc >= total / 2) return std::clamp(s.first, -0.6f, 0.6f);
    }
    return 0;
}

float overlap(const Box& a, const Box& b) { return std::min(a.r, b.r) - std::max(a.l, b.l); }

// Late marks (an i dot, a t bar) written after the letters that follow them
// go back beside the letter they stand over.
void restoreLateMarks(std::vector<WorkStroke>& strokes, float h0) {
    for (size_t t = 2; t < strokes.size(); ++t) {
        const Box s = strokes[t].box;
        const bool small = s.size() < 0.45f * h0;
        const bool bar = s.height() < 0.45f * s.width() && s.width() < 1.5f * h0;
        if (!small && !bar) continue;
        const float tol = 0.15f * h0;
        auto covers = [&](const Box& o) {
            const float need = 0.5f * std::min(s.width(), o.width());
            const bool central =
                (s.cx() >= o.l - tol && s.cx() <= o.r + tol) || (o.cx() >= s.l && o.cx() <= s.r);
            return central && overlap(o, s) + tol >= need;
        };
        if (covers(strokes[t - 1].box)) continue;
        // Of the earlier strokes it stands over (with only strokes right of it
        // written since), the one whose middle is nearest.
        size_t target = t;
        float nearest = 0;
        for (size_t p = t - 1; p-- > 0;) {
            if (strokes[p + 1].box.cx() < s.l - tol) break;
            const Box& o = strokes[p].box;
            if (!covers(o)) continue;
            const float d = std::fabs(s.cx() - o.cx()) / std::max(o.width() / 2, tol);
            if (target == t || d < nearest) {
                target = p;
                nearest = d;
            }
        }
        if (target < t) {
            WorkStroke moved = std::move(strokes[t]);
            strokes.erase(strokes.begin() + t);
            strokes.insert(strokes.begin() + target + 1, std::move(moved));
        }
    }
}

struct Cluster {
    Box box;
    std::vector<int> strokes;
};

std::vector<Cluster> clustersOf(const std::vector<WorkStroke>& strokes, float tolerance) {
    std::vector<int> order(strokes.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](int a, int b) { return strokes[a].box.l < strokes[b].box.l; });
    std::vector<Cluster> out;
    for (int i : order) {
        const Box& b = strokes[i].box;
        if (!out.empty() && b.l <= out.back().box.r + tolerance) {
            out.back().box.add(b);
            out.back().strokes.push_back(i);
        } else {
            out.push_back({b, {i}});
        }
    }
    return out;
}

// The writing line from the letters' boxes: a robust baseline slope, then the
// baseline and x-height that let most letters sit as a small letter, a tall
// letter (capital, ascender, digit) or a descender.
std::vector<Frame> estimateFrames(const std::vector<Box>& boxes, float h0) {
    std::vector<const Box*> letters;
    for (const Box& b : boxes)
        if (b.size() >= 0.3f * h0) letters.push_back(&b);
    Frame f;
    if (letters.empty()) {
        Box all;
        for (const Box& b : boxes) all.add(b);
        f.base = all.b;
        f.xHeight = std::max(1.0f, h0);
        f.weight = 0.3f;
        return {f};
    }
    // Slope: the median of the slopes between letter bottoms.
    float slope = 0;
    if (letters.size() >= 4) {
        std::vector<float> slopes;
        for (size_t i = 0; i < letters.size(); ++i)
            for (size_t j = i + 1; j < letters.size(); ++j) {
                const float dx = letters[j]->cx() - letters[i]->cx();
                if (std::fabs(dx) > 0.5f * h0)
                    slopes.push_back((letters[j]->b - letters[i]->b) / dx);
            }
        slope = std::clamp(median(slopes), -0.2f, 0.2f);
    }
    const float x0 = letters.front()->cx();
    std::vector<float> tops, bottoms;
    for (const Box* b : letters) {
        const float d = slope * (b->cx() - x0);
        tops.push_back(b->t - d);
        bottoms.push_back(b->b - d);
    }
    struct Kind {
        float top, bottom;  // above the baseline, in x-heights
    };
    const Kind kinds[3] = {{1, 0}, {kCapRatio, 0}, {1, -kDescentRatio}};
    auto score = [&](float base, float hx) {
        float sum = 0;
        for (size_t i = 0; i < tops.size(); ++i) {
            float best = 0;
            for (const Kind& k : kinds) {
                // Errors relative to the letter's own expected height, so that the
                // small-letter and the capital reading of a line compare fairly.
                const float h = (k.top - k.bottom) * hx;
                const float et = std::fabs(tops[i] - (base - k.top * hx)) / h;
                const float eb = std::fabs(bottoms[i] - (base - k.bottom * hx)) / h;
                best =
                    std::max(best, std::max(0.0f, 1 - et / 0.2f) * std::max(0.0f, 1 - eb / 0.2f));
            }
            sum += best;
        }
        return sum;
    };
    float bestScore = -1, bestBase = 0, bestHx = 1;
    for (size_t i = 0; i < tops.size(); ++i) {
        const float h = std::max(bottoms[i] - tops[i], 1e-3f);
        for (const Kind& k : kinds) {
            const float hx = h / (k.top - k.bottom);
            const float base = bottoms[i] + k.bottom * hx;
            const float s = score(base, hx);
            if (s > bestScore + 1e-4f) {
                bestScore = s;
                bestBase = base;
                bestHx = hx;
            }
        }
    }
    f.base = bestBase;
    f.slope = slope;
    f.x0 = x0;
    f.xHeight = std::max(bestHx, 1e-2f);
    f.weight = letters.size() == 1 ? 0.5f : 1.0f;
    std::vector<Frame> frames{f};
    // Letters all of one height: small letters or capitals cannot be told apart
    // from the line alone; the reading decides.
    for (float ratio : {kCapRatio, 1 / kCapRatio}) {
        const float s = score(bestBase, bestHx / ratio);
        if (s >= 0.9f * bestScore) {
            Frame alt = f;
            alt.xHeight = bestHx / ratio;
            frames.push_back(alt);
            break;
        }
    }
    return frames;
}

float guideCapHeight(const GuideBox& g) {
    const float sixth = g.sixth > 0 ? g.sixth : g.height / 5;
    return std::max(1.0f, g.height - sixth);
}

float guideXHeight(const GuideBox& g) { return guideCapHeight(g) / kCapRatio; }

}  // namespace

std::vector<Line> segmentWriting(const std::vector<Polyline>& input, const SegmentOptions& o) {
    std::vector<Line> lines;
    std::vector<Box> boxes;
    for (const Polyline& s : input) boxes.push_back(boxOf(s));
    if (input.empty()) return lines;
    // A first measure from the strokes' boxes (too tall where words are
    // joined) only tells a letter's dip from pen noise.
    const float noise = kNoiseDip * typicalHeight(boxes);
    std::vector<Box> letterBoxes;
    for (size_t i = 0; i < input.size(); ++i) letterBoxesOf(input[i], boxes[i], noise, letterBoxes);
    const float h0 = typicalHeight(letterBoxes);
    std::vector<std::vector<int>> groups;
    if (o.oneLine || o.guide) {
        groups.emplace_back(input.size());
        std::iota(groups.back().begin(), groups.back().end(), 0);
    } else {
        groups = splitLines(boxes, h0);
    }

    for (const std::vector<int>& group : groups) {
        Line line;
        std::vector<Box> lineBoxes, lineLetters;
        for (int i : group) {
            lineBoxes.push_back(boxes[i]);
            letterBoxesOf(input[i], boxes[i], noise, lineLetters);
        }
        const float lh = typicalHeight(lineLetters);
        line.letterHeight = lh;
        // Work copies: evenly spaced points (bounded work for any ink).
        std::vector<Polyline> pts;
        std::vector<float> bottoms;
        for (int i : group) {
            const float len = lengthOf(input[i]);
            const float spacing = std::max(lh / 25, len / 400);
            // One or two pen positions are a tap, a dot whatever the unit of the ink.
            if (input[i].size() <= 2) {
                const Pt mid = (input[i].front() + input[i].back()) * 0.5f;
                pts.push_back({mid});
            } else {
                pts.push_back(smooth(resampleBySpacing(input[i], spacing)));
            }
            bottoms.push_back(boxes[i].b);
        }
        // A slant is only told from several strokes; a lone '/' is no slanted '|'.
        size_t significant = 0;
        for (const Box& b : lineBoxes) significant += b.size() >= 0.5f * lh;
        line.shear = o.guide || significant < 4 ? 0 : estimateShear(pts);
        line.shearY0 = median(bottoms);
        if (std::fabs(line.shear) < 0.02f) line.shear = 0;
        for (size_t k = 0; k < group.size(); ++k) {
            WorkStroke w;
            w.input = group[k];
            for (Pt p : pts[k]) w.pts.push_back({p.x - line.shear * (p.y - line.shearY0), p.y});
            w.box = boxOf(w.pts);
            line.strokes.push_back(std::move(w));
        }
        restoreLateMarks(line.strokes, lh);

        std::vector<Cluster> clusters = clustersOf(line.strokes, 0.02f * lh);
        if (o.guide && o.guide->height > 0) {
            Frame f;
            f.base = o.guide->top + guideCapHeight(*o.guide);
            f.xHeight = guideXHeight(*o.guide);
            f.x0 = o.guide->left;
            line.frames = {f};
        } else {
            // A cluster of one joined stroke stands in by its letters' boxes.
            std::vector<Box> frameBoxes;
            for (const Cluster& c : clusters) {
                if (c.strokes.size() == 1)
                    letterBoxesOf(line.strokes[c.strokes[0]].pts, c.box, kNoiseDip * lh,
                                  frameBoxes);
                else
                    frameBoxes.push_back(c.box);
            }
            line.frames = estimateFrames(frameBoxes, lh);
        }
        const float hx = line.frames[0].xHeight;
        // Letters written apart may have their own strokes a little apart too.
        if (o.separateLetters) clusters = clustersOf(line.strokes, 0.25f * hx);
        line.clusterOf.assign(line.strokes.size(), 0);
        for (size_t c = 0; c < clusters.size(); ++c)
            for (int s : clusters[c].strokes) line.clusterOf[s] = static_cast<int>(c);

        // Word pieces between gaps; a gap is judged against the x-height and the
        // usual gap between the letters of this line.
        std::vector<float> gapSizes;
        float right = clusters.empty() ? 0 : clusters[0].box.r;
        for (size_t c = 1; c < clusters.size(); ++c) {
            gapSizes.push_back(clusters[c].box.l - right);
            right = std::max(right, clusters[c].box.r);
        }
        // Letters written joined stand apart by nothing: they count among the
        // gaps the usual one is taken from, so that a word gap between joined
        // words stays a word gap.
        std::vector<float> letterGaps = gapSizes;
        for (const Cluster& c : clusters) {
            for (int k : c.strokes) {
                std::vector<Box> letters;
                letterBoxesOf(line.strokes[k].pts, line.strokes[k].box, kNoiseDip * lh, letters);
                letterGaps.insert(letterGaps.end(), letters.size() - 1, 0.0f);
            }
        }
        const float usual = std::max(0.0f, median(letterGaps));
        const float clear = std::max(0.85f * hx, 2.0f * usual);
        const float joined = std::max(0.5f * hx, 1.3f * usual);
        std::vector<std::vector<int>> pieceClusters(1);
        for (size_t c = 0; c < clusters.size(); ++c) {
            if (c > 0 && o.wordSegmentation) {
                const float g = gapSizes[c - 1];
                if (g > joined && !(o.softBreaksOnly && g <= clear)) {
                    PieceGap gap;
                    gap.size = g / hx;
                    gap.doubtful = g <= clear;
                    gap.doubt = gap.doubtful ? (clear - g) / std::max(clear - joined, 1e-3f) : 0;
                    line.gaps.push_back(gap);
                    pieceClusters.emplace_back();
                }
            }
            pieceClusters.back().push_back(static_cast<int>(c));
        }
        // Strokes of each piece in writing order; an over-long piece is cut
        // between its clusters so that the work for one word stays bounded.
        for (size_t p = 0; p < pieceClusters.size(); ++p) {
            std::vector<int> strokes;
            for (int c : pieceClusters[p])
                strokes.insert(strokes.end(), clusters[c].strokes.begin(),
                               clusters[c].strokes.end());
            std::sort(strokes.begin(), strokes.end());
            if (strokes.size() <= o.maxPieceStrokes) {
                line.pieces.push_back(std::move(strokes));
                continue;
            }
            // Whole clusters while they fit; a cluster bigger than a piece (a
            // scribble) in runs of its strokes in writing order.
            std::vector<std::vector<int>> chunks;
            std::vector<int> run;
            auto flush = [&] {
                if (run.empty()) return;
                std::sort(run.begin(), run.end());
                chunks.push_back(std::move(run));
                run.clear();
            };
            for (int c : pieceClusters[p]) {
                const std::vector<int>& members = clusters[c].strokes;
                if (run.size() + members.size() > o.maxPieceStrokes) flush();
                std::vector<int> sorted = members;
                std::sort(sorted.begin(), sorted.end());
                for (int m : sorted) {
                    if (run.size() == o.maxPieceStrokes) flush();
                    run.push_back(m);
                }
            }
            flush();
            for (size_t k = 0; k < chunks.size(); ++k) {
                // A cut inside a piece is a clear break between two pieces.
                if (k > 0)
                    line.gaps.insert(line.gaps.begin() + (line.pieces.size() - 1), PieceGap{});
                line.pieces.push_back(std::move(chunks[k]));
            }
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace vexa
