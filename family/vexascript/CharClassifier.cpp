#include "CharClassifier.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace vexa {

namespace {

constexpr float kPi = 3.14159265f;
constexpr int kMaxStrokePoints = 12;
constexpr int kCloudPoints = 24;
constexpr float kDirectionWeight = 0.15f;  // tangent difference beside point distance
constexpr float kShapeScale = 6.0f;        // elastic distance to cost
constexpr float kStrokeCountPenalty = 0.12f;
constexpr float kTouching = 0.12f;  // of the ink's size: strokes this close run together
// A match over strokes run together pays a little: it is less sure of the
// stroke order than a match stroke by stroke.
constexpr float kJoinedPenalty = 0.03f;
constexpr size_t kMaxPairedStrokes = 5;
constexpr float kDotLength = 0.25f;  // of the ink's size: shorter strokes are dots
// Gate: a class is matched in full only when its coarse distance is within
// this margin of the best one.
constexpr float kGateMargin = 0.55f;
constexpr float kWideGateMargin = 0.9f;
constexpr size_t kGateClasses = 14;
constexpr size_t kWideGateClasses = 24;
// Classes asked for by a dictionary must also rank among the gate's best.
constexpr size_t kGateRank = 24;
constexpr size_t kWideGateRank = 40;

std::vector<Pt> tangents(const std::vector<Pt>& p) {
    std::vector<Pt> d(p.size());
    if (p.size() < 2) return d;
    for (size_t i = 0; i < p.size(); ++i) {
        const Pt a = p[i == 0 ? 0 : i - 1], b = p[i + 1 == p.size() ? i : i + 1];
        const float len = dist(a, b);
        d[i] = len > 1e-6f ? (b - a) * (1 / len) : Pt{0, 0};
    }
    return d;
}

void addToGate(std::array<float, 64>& gate, Pt mid, float angle, float weight, bool anyAngle) {
    const float u = std::clamp((mid.x + 0.5f) * 4 - 0.5f, 0.0f, 3.0f);
    const float v = std::clamp((mid.y + 0.5f) * 4 - 0.5f, 0.0f, 3.0f);
    const int u0 = std::min(2, static_cast<int>(u)), v0 = std::min(2, static_cast<int>(v));
    const float fu = u - u0, fv = v - v0;
    float ow[4] = {0, 0, 0, 0};
    if (anyAngle) {
        ow[0] = ow[1] = ow[2] = ow[3] = 0.25f;
    } else {
        float a = std::fmod(angle, kPi);
        if (a < 0) a += kPi;
        const float o = a / (kPi / 4);
        const int o0 = static_cast<int>(o) % 4;
        const float fo = o - std::floor(o);
        ow[o0] += 1 - fo;
        ow[(o0 + 1) % 4] += fo;
    }
    const float cw[4] = {(1 - fu) * (1 - fv), fu * (1 - fv), (1 - fu) * fv, fu * fv};
    const int cells[4] = {v0 * 4 + u0, v0 * 4 + u0 + 1, (v0 + 1) * 4 + u0, (v0 + 1) * 4 + u0 + 1};
    for (int c = 0; c < 4; ++c)
        for (int o = 0; o < 4; ++o) gate[cells[c] * 4 + o] += weight * cw[c] * ow[o];
}

// Dynamic time warping between two point runs with their tangents; `reverse`
// walks b backwards (the stroke written the other way).
float warp(const std::vector<Pt>& a, const std::vector<Pt>& da, const std::vector<Pt>& b,
           const std::vector<Pt>& db, bool reverse) {
    const size_t n = a.size(), m = b.size();
    if (n == 0 || m == 0) return 1;
    float row[kMaxStrokePoints + 1], prev[kMaxStrokePoints + 1];
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < m; ++j) {
            const size_t jb = reverse ? m - 1 - j : j;
            const Pt t = reverse ? db[jb] * -1.0f : db[jb];
            const float c = dist(a[i], b[jb]) + kDirectionWeight * dist(da[i], t);
            float best;
            if (i == 0 && j == 0)
                best = 0;
            else if (i == 0)
                best = row[j - 1];
            else if (j == 0)
                best = prev[j];
            else
                best = std::min({prev[j], row[j - 1], prev[j - 1]});
            row[j] = c + best;
        }
        std::copy(row, row + m, prev);
    }
    return prev[m - 1] / (0.5f * static_cast<float>(n + m));
}

float chamfer(const std::vector<Pt>& a, const std::vector<Pt>& b) {
    if (a.empty() || b.empty()) return 1;
    auto oneWay = [](const std::vector<Pt>& p, const std::vector<Pt>& q) {
        float sum = 0;
        for (Pt x : p) {
            float best = kNoCost;
            for (Pt y : q) best = std::min(best, dist(x, y));
            sum += best;
        }
        return sum / p.size();
    };
    return 0.5f * (oneWay(a, b) + oneWay(b, a));
}

// Stroke by stroke, with the best pairing of the strokes (as many on both sides).
float pairedDistance(const ShapeFeatures& s, const ShapeFeatures& t);

}  // namespace

const CharClassifier& CharClassifier::instance() {
    static const CharClassifier classifier;
    return classifier;
}

CharClassifier::CharClassifier() : forms_(charForms()) {
    classIndex_.fill(-1);
    for (size_t f = 0; f < forms_.size(); ++f) {
        const unsigned char ch = forms_[f].ch;
        if (classIndex_[ch] < 0) {
            classIndex_[ch] = static_cast<int>(classes_.size());
            classes_.push_back(ch);
            classForms_.emplace_back();
        }
        classForms_[classIndex_[ch]].push_back(static_cast<int>(f));
        formClass_.push_back(classIndex_[ch]);
        formFeatures_.push_back(features(forms_[f].strokes, 0.5f * kGridXHeight));
        joinedFeatures_.push_back(features(joinTouching(forms_[f].strokes), 0.5f * kGridXHeight));
    }
}

std::vector<Polyline> CharClassifier::joinTouching(const std::vector<Polyline>& strokes) {
    Box box;
    for (const Polyline& s : strokes) box.add(boxOf(s));
    const float near = kTouching * std::max({box.width(), box.height(), 1e-3f});
    std::vector<Polyline> out;
    for (const Polyline& s : strokes) {
        if (s.empty()) continue;
        if (out.empty() || lengthOf(s) < near || lengthOf(out.back()) < near) {
            out.push_back(s);
            continue;
        }
        Polyline& last = out.back();
        // Either stroke may have been written either way.
        Polyline next = s;
        const float ends[4] = {dist(last.back(), next.front()), dist(last.back(), next.back()),
                               dist(last.front(), next.front()), dist(last.front(), next.back())};
        const int best = static_cast<int>(std::min_element(ends, ends + 4) - ends);
        if (ends[best] > near) {
            out.push_back(s);
            continue;
        }
        if (best >= 2) std::reverse(last.begin(), last.end());
        if (best == 1 || best == 3) std::reverse(next.begin(), next.end());
        last.insert(last.end(), next.begin(), next.end());
    }
    return out;
}

float CharClassifier::joinedDistance(const ShapeFeatures& s, size_t form) const {
    const ShapeFeatures& t = joinedFeatures_[form];
    if (s.pts.size() != t.pts.size() || s.pts.size() > kMaxPairedStrokes) return kNoCost;
    return pairedDistance(s, t);
}

ShapeFeatures CharClassifier::features(const std::vector<Polyline>& strokes, float minScale) {
    ShapeFeatures f;
    for (const Polyline& s : strokes) f.box.add(boxOf(s));
    const float scale = std::max({f.box.width(), f.box.height(), minScale, 1e-3f});
    const Pt centre{f.box.cx(), f.box.cy()};
    std::vector<float> lengths;
    float total = 0;
    for (const Polyline& s : strokes) {
        lengths.push_back(lengthOf(s));
        total += lengths.back();
    }
    const size_t k = strokes.size();
    for (size_t i = 0; i < k; ++i) {
        const float share = total > 0 ? lengths[i] / total : 1.0f / k;
        f.share.push_back(share);
        Polyline norm;
        norm.reserve(strokes[i].size());
        for (Pt p : strokes[i]) norm.push_back((p - centre) * (1 / scale));
        // A dot has no direction to speak of: its few points are pen noise.
        const bool dot = lengths[i] / scale < kDotLength;
        const int count =
            dot ? 1
                : std::clamp(static_cast<int>(std::lround(2 + 12 * share)), 3, kMaxStrokePoints);
        f.pts.push_back(resample(norm, count));
        f.dirs.push_back(tangents(f.pts.back()));
        const int cloud = std::max(1, static_cast<int>(std::lround(kCloudPoints * share)));
        const Polyline c = resample(norm, cloud);
        f.cloud.insert(f.cloud.end(), c.begin(), c.end());
        // Coarse picture: short pieces of the stroke by place and orientation.
        if (dot) {
            addToGate(f.gate, f.pts.back()[0], 0, 0.05f, true);
            continue;
        }
        const Polyline dense = resampleBySpacing(norm, 0.04f);
        for (size_t j = 1; j < dense.size(); ++j) {
            const Pt d = dense[j] - dense[j - 1];
            addToGate(f.gate, (dense[j] + dense[j - 1]) * 0.5f, std::atan2(d.y, d.x),
                      dist(dense[j], dense[j - 1]), false);
        }
    }
    const float sum = std::accumulate(f.gate.begin(), f.gate.end(), 0.0f);
    if (sum > 0)
        for (float& g : f.gate) g /= sum;
    return f;
}

float CharClassifier::gateDistance(const ShapeFeatures& s, size_t form) const {
    const ShapeFeatures& t = formFeatures_[form];
    float d = 0;
    for (size_t i = 0; i < s.gate.size(); ++i) d += std::fabs(s.gate[i] - t.gate[i]);
    const float strokes = std::fabs(static_cast<float>(s.pts.size()) - t.pts.size());
    return d + 0.15f * std::min(strokes, 3.0f);
}

float CharClassifier::elasticDistance(const ShapeFeatures& s, size_t form) const {
    const ShapeFeatures& t = formFeatures_[form];
    const size_t k = s.pts.size(), m = t.pts.size();
    if (k == 0 || m == 0) return 1;
    if (k != m || k > kMaxPairedStrokes) {
        const float extra = std::fabs(static_cast<float>(k) - static_cast<float>(m));
        return chamfer(s.cloud, t.cloud) * 1.3f + kStrokeCountPenalty * extra;
    }
    return pairedDistance(s, t);
}

namespace {

float pairedDistance(const ShapeFeatures& s, const ShapeFeatures& t) {
    const size_t k = s.pts.size(), m = t.pts.size();
    float d[kMaxPairedStrokes][kMaxPairedStrokes], w[kMaxPairedStrokes][kMaxPairedStrokes];
    for (size_t i = 0; i < k; ++i) {
        for (size_t j = 0; j < m; ++j) {
            d[i][j] = std::min(warp(s.pts[i], s.dirs[i], t.pts[j], t.dirs[j], false),
                               warp(s.pts[i], s.dirs[i], t.pts[j], t.dirs[j], true));
            w[i][j] = 0.5f * (s.share[i] + t.share[j]) + 0.1f;
        }
    }
    int perm[kMaxPairedStrokes];
    std::iota(perm, perm + k, 0);
    float best = kNoCost;
    do {
        float num = 0, den = 0;
        for (size_t i = 0; i < k; ++i) {
            num += w[i][perm[i]] * d[i][perm[i]];
            den += w[i][perm[i]];
        }
        best = std::min(best, num / den);
    } while (std::next_permutation(perm, perm + k));
    return best;
}

}  // namespace

float CharClassifier::frameDistance(const Box& ink, const Frame& frame, size_t form) const {
    const float hx = std::max(frame.xHeight, 1e-3f);
    const float base = frame.baselineAt(ink.cx());
    const Box& fb = forms_[form].box;
    const float top = (base - ink.t) / hx, bottom = (base - ink.b) / hx, width = ink.width() / hx;
    const float ftop = (kGridBaseline - fb.t) / kGridXHeight;
    const float fbottom = (kGridBaseline - fb.b) / kGridXHeight;
    const float fwidth = fb.width() / kGridXHeight;
    return 0.5f * (std::fabs(top - ftop) + std::fabs(bottom - fbottom)) +
           0.25f * std::fabs(width - fwidth);
}

// ---- GroupScorer ---------------------------------------------------------------------

GroupScorer::GroupScorer(const std::vector<Polyline>& strokes, float minScale, GateMode gate)
    : features_(CharClassifier::features(strokes, minScale)), gateMode_(gate) {
    const CharClassifier& c = CharClassifier::instance();
    shape_.assign(c.formCount(), std::nanf(""));
    const std::vector<Polyline> joined = CharClassifier::joinTouching(strokes);
    if (joined.size() < strokes.size()) {
        joined_ = CharClassifier::features(joined, minScale);
        joinedShape_.assign(c.formCount(), std::nanf(""));
    }
    for (auto& v : classCost_) v.assign(c.classCount(), std::nanf(""));
}

void GroupScorer::gateAll() {
    if (gated_) return;
    gated_ = true;
    const CharClassifier& c = CharClassifier::instance();
    gate_.resize(c.formCount());
    classGate_.assign(c.classCount(), kNoCost);
    for (size_t f = 0; f < c.formCount(); ++f) {
        gate_[f] = c.gateDistance(features_, f);
        const int cls = c.classOfForm(f);
        classGate_[cls] = std::min(classGate_[cls], gate_[f]);
        bestGate_ = std::min(bestGate_, gate_[f]);
    }
    byGate_.resize(c.classCount());
    std::iota(byGate_.begin(), byGate_.end(), 0);
    std::sort(byGate_.begin(), byGate_.end(),
              [&](int a, int b) { return classGate_[a] < classGate_[b]; });
    classRank_.resize(c.classCount());
    for (size_t r = 0; r < byGate_.size(); ++r) classRank_[byGate_[r]] = r;
}

float GroupScorer::formShape(size_t form) {
    if (std::isnan(shape_[form])) {
        const CharClassifier& c = CharClassifier::instance();
        shape_[form] = c.elasticDistance(features_, form);
        // Run together only when the strokes do not pair up as they are.
        if (c.form(form).strokes.size() != features_.pts.size()) {
            const float j = c.joinedDistance(joinedShape_.empty() ? features_ : joined_, form);
            if (j < kNoCost) shape_[form] = std::min(shape_[form], j + kJoinedPenalty);
        }
    }
    return shape_[form];
}

float GroupScorer::classCost(int cls, const Frame& frame, int fi, bool pastGate) {
    if (cls < 0) return kNoCost;
    float& cached = classCost_[fi & 3][cls];
    // A class the gate ruled out is only matched when asked to pass the gate.
    if (!std::isnan(cached) && (cached < kNoCost || !pastGate)) return cached;
    const CharClassifier& c = CharClassifier::instance();
    if (gateMode_ != GateMode::Off && !pastGate) {
        gateAll();
        const bool wide = gateMode_ == GateMode::Wide;
        const float margin = wide ? kWideGateMargin : kGateMargin;
        if (classGate_[cls] > bestGate_ + margin ||
            classRank_[cls] >= (wide ? kWideGateRank : kGateRank))
            return cached = kNoCost;
    }
    // Forms written with as many strokes as the ink are matched stroke by
    // stroke; the others only when the class has no such form.
    const auto& forms = c.formsOf(cls);
    const size_t strokes = features_.pts.size();
    const size_t joined = joinedShape_.empty() ? strokes : joined_.pts.size();
    auto sameCount = [&](int f) {
        return c.form(f).strokes.size() == strokes || c.joinedStrokeCount(f) == joined;
    };
    const bool paired = std::any_of(forms.begin(), forms.end(), sameCount);
    float best = kNoCost;
    for (int f : forms) {
        if (paired && !sameCount(f)) continue;
        const float cost = kShapeScale * formShape(f) +
                           frame.weight * c.frameDistance(features_.box, frame, f) +
                           c.form(f).penalty;
        best = std::min(best, cost);
    }
    return cached = best;
}

void GroupScorer::best(const Frame& frame, int fi, const std::vector<bool>& allowed, size_t count,
                       std::vector<std::pair<float, int>>& out) {
    out.clear();
    const CharClassifier& c = CharClassifier::instance();
    std::vector<int> candidates;
    if (gateMode_ != GateMode::Off) {
        gateAll();
        const size_t keep = gateMode_ == GateMode::Wide ? kWideGateClasses : kGateClasses;
        for (int cls : byGate_) {
            if (candidates.size() >= keep) break;
            if (static_cast<size_t>(cls) < allowed.size() && allowed[cls])
                candidates.push_back(cls);
        }
    } else {
        for (size_t cls = 0; cls < c.classCount(); ++cls)
            if (cls < allowed.size() && allowed[cls]) candidates.push_back(static_cast<int>(cls));
    }
    for (int cls : candidates) {
        const float cost = classCost(cls, frame, fi);
        if (cost < kNoCost) out.push_back({cost, cls});
    }
    std::sort(out.begin(), out.end());
    if (out.size() > count) out.resize(count);
}

}  // namespace vexa
