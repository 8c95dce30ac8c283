#include "Handwriting.h"

#include <algorithm>
#include <cmath>

#include "CharForms.h"

namespace handwriting {

using vexa::Box;
using vexa::Polyline;
using vexa::Pt;

namespace {

constexpr double kPi = 3.14159265358979;

// A small, fully specified random generator (splitmix64), so that a seed
// gives the same writing with every compiler and library.
class Random {
  public:
    explicit Random(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 0x632BE59BD9B4E019ull) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return (next() >> 11) * (1.0 / 9007199254740992.0); }
    double uniform(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    double normal() {
        const double u = std::max(uniform(), 1e-12), v = uniform();
        return std::sqrt(-2 * std::log(u)) * std::cos(2 * kPi * v);
    }
    bool chance(double p) { return p > 0 && uniform() < p; }

  private:
    uint64_t state_;
};

std::vector<std::vector<const vexa::CharForm*>> formsByChar() {
    std::vector<std::vector<const vexa::CharForm*>> table(256);
    for (const vexa::CharForm& f : vexa::charForms())
        if (f.genWeight > 0) table[f.ch].push_back(&f);
    return table;
}

const std::vector<std::vector<const vexa::CharForm*>>& formTable() {
    static const auto table = formsByChar();
    return table;
}

const vexa::CharForm* pickForm(unsigned char ch, Random& rng) {
    const auto& forms = formTable()[ch];
    if (forms.empty()) return nullptr;
    double total = 0;
    for (const auto* f : forms) total += f->genWeight;
    double r = rng.uniform() * total;
    for (const auto* f : forms) {
        r -= f->genWeight;
        if (r <= 0) return f;
    }
    return forms.back();
}

// Marks that people often add after the rest of the word: the dot of i and
// j (their last stroke) and the bar of t and f (their last stroke).
bool hasDelayableMark(unsigned char ch) { return ch == 'i' || ch == 'j' || ch == 't' || ch == 'f'; }

}  // namespace

Variation Variation::none() {
    Variation v;
    v.letterGap = 0.32;
    v.wordGap = 1.35;
    return v;
}

Variation Variation::moderate() {
    Variation v;
    v.slantRangeDeg = 10;
    v.slantJitterDeg = 2.5;
    v.sizeJitter = 0.06;
    v.widthJitter = 0.06;
    v.letterGap = 0.32;
    v.letterGapJitter = 0.08;
    v.wordGap = 1.35;
    v.wordGapJitter = 0.15;
    v.baselineJitter = 0.05;
    v.tiltRangeDeg = 2;
    v.pointJitter = 0.012;
    v.wobble = 0.04;
    v.reverseStroke = 0.12;
    v.shuffleStrokes = 0.1;
    v.delayedMarks = 0.1;
    return v;
}

Variation Variation::careless() {
    Variation v;
    v.slantRangeDeg = 16;
    v.slantJitterDeg = 5;
    v.sizeJitter = 0.12;
    v.widthJitter = 0.12;
    v.letterGap = 0.28;
    v.letterGapJitter = 0.12;
    v.wordGap = 1.4;
    v.wordGapJitter = 0.25;
    v.baselineJitter = 0.1;
    v.tiltRangeDeg = 4;
    v.pointJitter = 0.025;
    v.wobble = 0.09;
    v.reverseStroke = 0.25;
    v.shuffleStrokes = 0.25;
    v.delayedMarks = 0.3;
    return v;
}

bool canWrite(const std::string& text) {
    for (unsigned char c : text)
        if (c != ' ' && c != '\n' && formTable()[c].empty()) return false;
    return true;
}

Writing write(const std::string& text, const Options& o) {
    Writing out;
    Random rng(o.seed);
    const Variation& v = o.variation;
    const double xh = o.xHeight;
    const double unit = xh / vexa::kGridXHeight;  // ink units per grid unit
    const double slant = rng.uniform(-v.slantRangeDeg, v.slantRangeDeg) * kPi / 180;
    const double tilt = std::tan(rng.uniform(-v.tiltRangeDeg, v.tiltRangeDeg) * kPi / 180);
    const double letterGap = o.separateLetters ? std::max(v.letterGap, 0.75) : v.letterGap;
    const double letterGapJitter = o.separateLetters ? v.letterGapJitter * 0.5 : v.letterGapJitter;

    double cursor = o.originX;
    int line = 0;
    double lineStart = o.originX;
    // Marks held back until the end of the current word.
    std::vector<std::pair<size_t, Polyline>> held;
    auto flushHeld = [&] {
        for (auto& h : held) {
            out.chars[h.first].strokes.push_back(static_cast<int>(out.strokes.size()));
            out.strokes.push_back(std::move(h.second));
        }
        held.clear();
    };

    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch == '\n') {
            flushHeld();
            ++line;
            cursor = lineStart = o.originX;
            continue;
        }
        if (ch == ' ') {
            flushHeld();
            // The whole gap between the words, at least a little more than a letter gap.
            const double gap =
                std::max(letterGap + 0.1, v.wordGap + v.wordGapJitter * rng.normal());
            cursor += (gap - letterGap) * xh;
            continue;
        }
        const vexa::CharForm* form = pickForm(ch, rng);
        if (!form) {
            ++out.skipped;
            continue;
        }
        // This letter's transform: size, width, slant, place on the line, bending.
        const double size = unit * std::max(0.5, 1 + v.sizeJitter * rng.normal());
        const double width = std::max(0.5, 1 + v.widthJitter * rng.normal());
        const double shear = std::tan(slant + v.slantJitterDeg * kPi / 180 * rng.normal());
        const double baseline = o.originY + line * o.lineSpacing * xh +
                                v.baselineJitter * xh * rng.normal() + tilt * (cursor - lineStart);
        const double phase1 = rng.uniform(0, 2 * kPi), phase2 = rng.uniform(0, 2 * kPi);
        const double bend = v.wobble * xh;
        const double left = cursor - form->box.l * size * width;
        auto place = [&](Pt g) {
            const double dy = (g.y - vexa::kGridBaseline) * size;  // negative above the baseline
            double x = left + g.x * size * width - shear * dy;
            double y = baseline + dy;
            x += bend * std::sin(2 * kPi * g.y / vexa::kGridCapHeight + phase1);
            y += bend * std::sin(2 * kPi * g.x / 5 + phase2);
            return Pt{static_cast<float>(x), static_cast<float>(y)};
        };

        std::vector<size_t> order(form->strokes.size());
        for (size_t k = 0; k < order.size(); ++k) order[k] = k;
        if (order.size() > 1 && rng.chance(v.shuffleStrokes))
            for (size_t k = order.size() - 1; k > 0; --k)
                std::swap(order[k], order[rng.next() % (k + 1)]);
        const bool delay =
            hasDelayableMark(ch) && form->strokes.size() > 1 && rng.chance(v.delayedMarks);

        WrittenChar wc;
        wc.ch = ch;
        wc.line = line;
        const size_t index = out.chars.size();
        for (size_t k : order) {
            Polyline placed;
            for (Pt g : form->strokes[k]) placed.push_back(place(g));
            // Pen positions along the stroke, a little uneven, with a little noise.
            const double step = o.step * xh * (0.8 + 0.4 * rng.uniform());
            Polyline pen = vexa::resampleBySpacing(placed, static_cast<float>(step));
            if (pen.size() == 1) {  // a dot: a short touch
                const Pt d{static_cast<float>(0.025 * xh * rng.normal()),
                           static_cast<float>(0.025 * xh * rng.normal())};
                pen = {pen[0], pen[0] + d};
            }
            for (Pt& p : pen) {
                p.x += static_cast<float>(v.pointJitter * xh * rng.normal());
                p.y += static_cast<float>(v.pointJitter * xh * rng.normal());
            }
            if (rng.chance(v.reverseStroke)) std::reverse(pen.begin(), pen.end());
            for (Pt p : pen) wc.box.add(p);
            if (delay && k + 1 == form->strokes.size()) {
                held.push_back({index, std::move(pen)});
                continue;
            }
            wc.strokes.push_back(static_cast<int>(out.strokes.size()));
            out.strokes.push_back(std::move(pen));
        }
        out.chars.push_back(std::move(wc));
        const double right = left + form->box.r * size * width;
        cursor = right + std::max(0.06, letterGap + letterGapJitter * rng.normal()) * xh;
    }
    flushHeld();
    return out;
}

namespace {

PSO_POINT toPoint(Pt p) {
    // Keep real positions clear of the marker values (y = -1, -2, -3).
    const auto clamp = [](float v) {
        return static_cast<int16_t>(std::clamp(std::lround(v), 0L, 29999L));
    };
    return PSO_POINT{clamp(p.x), clamp(p.y)};
}

}  // namespace

std::vector<PSO_POINT> Writing::strokePoints(size_t stroke) const {
    std::vector<PSO_POINT> out;
    for (Pt p : strokes[stroke]) out.push_back(toPoint(p));
    out.push_back(PSO_POINT{30000, -1});
    return out;
}

std::vector<PSO_POINT> Writing::pointList(bool separators) const {
    std::vector<PSO_POINT> out;
    for (size_t s = 0; s < strokes.size(); ++s) {
        std::vector<PSO_POINT> pts = strokePoints(s);
        if (!separators) pts.pop_back();
        out.insert(out.end(), pts.begin(), pts.end());
    }
    return out;
}

}  // namespace handwriting
