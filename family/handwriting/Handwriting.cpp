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

// Forms people write that the recognizer was not given: other shapes and
// proportions, other stroke orders and numbers of strokes. Same description
// language and grid as the recognizer's forms.
struct OtherSpec {
    char ch;
    const char* strokes;
};

// clang-format off
const OtherSpec kOtherForms[] = {
    {'a', "4.3,4.2 4.3,10 | a:2.1,7,2.1,3,30,350"},            // stem first, bowl apart
    {'a', "a:2,7.2,2,2.8,50,370 ! 4,4.4 ! 4,9.2 4.6,10"},       // round bowl, stem with a foot
    {'a', "0.6,4.9 1.8,4 3.1,4.2 3.8,5.4 3.8,10 | 3.8,7 a:2.1,8.5,1.7,1.5,70,300 3.8,9.5"},
    {'b', "0,0 0,10 | a:2.1,7,2.1,3,170,-170"},
    {'c', "a:2.2,7,2.2,3,65,300"},
    {'d', "4.2,0 4.2,10 | a:2,7,2,3,20,355"},
    {'d', "a:2,7.2,2,2.8,50,370 ! 4,0.2 ! 4,9.2 4.6,10"},
    {'e', "0.3,7.3 3.9,6.8 a:2.1,6.6,1.8,2.5,10,330"},
    {'f', "0,4 3.5,4 | 3.8,1 3,0.1 2,0.3 1.5,1.5 1.5,10"},       // bar first
    {'f', "3.8,0.6 2.6,0 1.6,0.8 1.6,13 | 0.2,4.2 3.4,4.2"},     // long, past the baseline
    {'g', "a:2,7,2,3,40,360 | 4,4 4,13 ! 0.8,13.6"},
    {'g', "a:2,6,1.7,1.9,90,455 | 2.6,7.9 a:2,11.5,2,2,75,435"}, // two storeys
    {'h', "0,0 0,10 ! 0,6.8 a:2,7,2,2.4,170,0 4,10"},
    {'i', "2,2 2.1,2.1 | 2,4 2,10"},                             // dot first
    {'k', "0,0 0,10 | 3.6,4 0.2,7.3 | 0.2,7.3 3.8,10"},
    {'k', "0,0 0,10 ! 0,7.4 a:1.7,5.9,1.4,1.3,200,-90 ! 3.8,10"},
    {'m', "0,4 0,10 | 0,7 a:1.5,6.5,1.5,2.3,165,0 3,10 | 3,7 a:4.5,6.5,1.5,2.3,165,0 6,10"},
    {'n', "0,4 0,10 ! 0,6.5 a:2,6.8,2,2.4,175,0 4,10"},
    {'q', "4,4 4,14 | a:2,7,2,3,40,360"},
    {'r', "0,4 0,10 ! 0,6.4 1.4,4.6 3.6,4.2"},
    {'s', "3.5,4.5 2.2,4 0.8,4.4 0.6,5.8 2,6.9 3.3,7.8 3.4,9.2 2,10 0.3,9.4"},
    {'t', "0,4 3,4 | 1.5,1.5 1.5,10"},                           // bar first
    {'t', "1.5,1.5 1.5,9 2.2,10 3.2,9.6 | 0.2,4.2 3.2,3.8"},
    {'u', "0,4 0,8.6 a:1.8,8.4,1.8,1.6,180,360 3.6,4 ! 3.6,9.3 4.2,10"},
    {'v', "0,4 1.8,9.5 2.2,10 4,4"},
    {'w', "0,4 1.2,10 ! 2,6 ! 2.8,10 ! 4,4"},                    // narrow
    {'w', "0,4 0.6,9 1.5,10 2.4,9 2.5,6 | 2.5,6 2.6,9 3.5,10 4.4,9 5,4"},  // round, two strokes
    {'w', "0,4 1.5,10 ! 3,5.5 | 3,5.5 4.5,10 ! 6,4"},
    {'x', "4,4 0,10 | 0,4 4,10"},
    {'y', "0,4 0,7.5 a:2,7.5,2,2,180,360 4,4 ! 4,13.4"},
    {'z', "0,4 4,4 ! 0.2,10 ! 4.2,10"},
    {'A', "0,10 2.5,0 ! 5,10 | 0.8,6 4.2,6"},
    {'A', "1,6.5 4,6.5 | 2.5,0 0,10 | 2.5,0 5,10"},
    {'B', "0,0 0,10 | 0,0 2.4,0 a:2.4,2.4,2,2.4,90,-90 0.4,4.8 | 0.4,4.8 3,4.8 a:3,7.4,2.2,2.6,90,-90 0,10"},
    {'D', "0,0 0,10 ! 1.5,10 a:1.5,5,3.5,5,-90,90 0,0"},
    {'E', "0,0 0,10 ! 4.5,10 | 0,0 4.5,0 | 0,5 3.5,5"},
    {'E', "4.5,0 0,0 ! 0,5 ! 3.5,5 | 0,5 0,10 ! 4.5,10"},
    {'F', "0,5 3.5,5 | 4.5,0 0,0 ! 0,10"},
    {'G', "a:3,5,3,5,50,340 ! 6,5.4 | 3.4,5.4 6,5.4"},
    {'H', "0,0 0,10 | 0,5 5,5 | 5,0 5,10"},
    {'K', "0,0 0,10 | 4.5,0 0.3,5.5 | 0.3,5.5 4.8,10"},
    {'M', "0,10 0,0 | 0,0 3,6 ! 6,0 | 6,0 6,10"},
    {'N', "0,10 0,0 | 0,0 5,10 | 5,10 5,0"},
    {'P', "0,10 0,0 ! 2.2,0 a:2.2,2.5,2.4,2.5,90,-90 0,5"},
    {'R', "0,10 0,0 ! 2,0 a:2,2.6,2.5,2.6,90,-90 0.2,5.2 | 1.6,5.2 4.8,10"},
    {'T', "2.5,0 2.5,10 | 0,0 5,0"},
    {'W', "0,0 2,10 ! 4,3 | 4,3 6,10 ! 8,0"},
    {'Y', "0,0 2.5,5 ! 5,0 | 2.5,5 2.5,10"},
    {'1', "2.5,0 2.5,10"},
    {'4', "2.5,0 0,7 ! 4.5,7 | 3.4,3.6 3.4,10"},
    {'5', "4,0 0.6,0 | 0.6,0 0.4,4.6 ! a:2,6.8,2.2,2.7,125,-150"},
    {'7', "0,0.4 4.5,0 ! 1,10"},
    {'8', "a:2,2.4,1.7,2.4,270,-90 a:2,7.4,2,2.6,90,450"},
    {'9', "a:2,2.8,2,2.8,10,370 ! 3.9,4 3.8,10"},
};
// clang-format on

std::vector<std::vector<std::vector<Polyline>>> otherFormsByChar() {
    std::vector<std::vector<std::vector<Polyline>>> table(256);
    for (const OtherSpec& spec : kOtherForms) {
        std::vector<Polyline> strokes = vexa::parseFormStrokes(spec.strokes);
        if (!strokes.empty())
            table[static_cast<unsigned char>(spec.ch)].push_back(std::move(strokes));
    }
    return table;
}

const std::vector<std::vector<std::vector<Polyline>>>& otherForms() {
    static const auto table = otherFormsByChar();
    return table;
}

// The point of a stroke where it turns most sharply (at least `minTurn`
// radians over a short stretch), or 0 when it has no such corner.
size_t sharpestCorner(const Polyline& s, double minTurn) {
    size_t best = 0;
    double bestTurn = minTurn;
    const size_t w = 3;
    for (size_t i = w; i + w < s.size(); ++i) {
        const Pt a = s[i] - s[i - w], b = s[i + w] - s[i];
        const double la = std::hypot(a.x, a.y), lb = std::hypot(b.x, b.y);
        if (la < 1e-3 || lb < 1e-3) continue;
        const double c = std::clamp((a.x * b.x + a.y * b.y) / (la * lb), -1.0, 1.0);
        const double turn = std::acos(c);
        if (turn > bestTurn) {
            bestTurn = turn;
            best = i;
        }
    }
    return best;
}

// Varies the strokes of a form as people do: a stroke lifted at its corner
// becomes two, and two strokes where the pen would only jump a little run
// together into one. True when anything changed.
bool varyStrokes(std::vector<Polyline>& strokes, Random& rng) {
    bool changed = false;
    for (size_t k = 0; k + 1 < strokes.size(); ++k) {
        if (dist(strokes[k].back(), strokes[k + 1].front()) < 1.6f && rng.chance(0.5)) {
            strokes[k].insert(strokes[k].end(), strokes[k + 1].begin(), strokes[k + 1].end());
            strokes.erase(strokes.begin() + static_cast<long>(k) + 1);
            changed = true;
        }
    }
    for (size_t k = 0; k < strokes.size(); ++k) {
        const size_t c = sharpestCorner(strokes[k], 1.0);
        if (c == 0 || !rng.chance(0.6)) continue;
        Polyline tail(strokes[k].begin() + static_cast<long>(c), strokes[k].end());
        strokes[k].resize(c + 1);
        strokes.insert(strokes.begin() + static_cast<long>(k) + 1, std::move(tail));
        changed = true;
        ++k;
    }
    return changed;
}

bool isSmallLetter(unsigned char ch) { return ch >= 'a' && ch <= 'z'; }

// Of a character's own forms, one written with the fewest strokes (for
// joined writing: its first stroke runs on into the next letter).
const vexa::CharForm* fewestStrokes(unsigned char ch, Random& rng) {
    const vexa::CharForm* best = nullptr;
    int seen = 0;
    for (const vexa::CharForm* f : formTable()[ch]) {
        if (best && f->strokes.size() > best->strokes.size()) continue;
        if (!best || f->strokes.size() < best->strokes.size()) seen = 0;
        if (rng.next() % static_cast<uint64_t>(++seen) == 0) best = f;
    }
    return best;
}

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
    // Joined writing: the stroke the pen is still drawing, and its letters.
    Polyline open;
    std::vector<size_t> openChars;
    auto closeOpen = [&] {
        if (open.empty()) return;
        for (size_t c : openChars)
            out.chars[c].strokes.push_back(static_cast<int>(out.strokes.size()));
        out.strokes.push_back(std::move(open));
        open.clear();
        openChars.clear();
    };
    auto flushHeld = [&] {
        closeOpen();
        for (auto& h : held) {
            out.chars[h.first].strokes.push_back(static_cast<int>(out.strokes.size()));
            out.strokes.push_back(std::move(h.second));
        }
        held.clear();
    };
    bool joinedFromPrevious = false;

    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(text[i]);
        if (ch == '\n') {
            flushHeld();
            ++line;
            cursor = lineStart = o.originX;
            joinedFromPrevious = false;
            continue;
        }
        if (ch == ' ') {
            flushHeld();
            // The whole gap between the words, at least a little more than a letter gap.
            const double gap =
                std::max(letterGap + 0.1, v.wordGap + v.wordGapJitter * rng.normal());
            cursor += (gap - letterGap) * xh;
            joinedFromPrevious = false;
            continue;
        }
        const bool joinNext =
            o.joined > 0 && !o.separateLetters && isSmallLetter(ch) && i + 1 < text.size() &&
            isSmallLetter(static_cast<unsigned char>(text[i + 1])) && rng.chance(o.joined);
        const bool joining = joinNext || joinedFromPrevious;

        // The letter's strokes on the grid.
        std::vector<Polyline> grid;
        bool own = true;
        if (joining) {
            const vexa::CharForm* form = fewestStrokes(ch, rng);
            if (form) grid = form->strokes;
        } else if (o.forms == FormChoice::Other && !otherForms()[ch].empty() && rng.chance(0.75)) {
            const auto& others = otherForms()[ch];
            grid = others[rng.next() % others.size()];
            own = false;
        } else if (const vexa::CharForm* form = pickForm(ch, rng)) {
            grid = form->strokes;
            if (o.forms == FormChoice::Other && varyStrokes(grid, rng)) own = false;
        }
        if (grid.empty()) {
            ++out.skipped;
            closeOpen();
            joinedFromPrevious = false;
            continue;
        }
        Box formBox;
        for (const Polyline& g : grid) formBox.add(vexa::boxOf(g));

        // This letter's transform: size, width, slant, place on the line, bending.
        const double size = unit * std::max(0.5, 1 + v.sizeJitter * rng.normal());
        const double width = std::max(0.5, 1 + v.widthJitter * rng.normal());
        const double shear = std::tan(slant + v.slantJitterDeg * kPi / 180 * rng.normal());
        const double baseline = o.originY + line * o.lineSpacing * xh +
                                v.baselineJitter * xh * rng.normal() + tilt * (cursor - lineStart);
        const double phase1 = rng.uniform(0, 2 * kPi), phase2 = rng.uniform(0, 2 * kPi);
        const double bend = v.wobble * xh;
        const double left = cursor - formBox.l * size * width;
        auto place = [&](Pt g) {
            const double dy = (g.y - vexa::kGridBaseline) * size;  // negative above the baseline
            double x = left + g.x * size * width - shear * dy;
            double y = baseline + dy;
            x += bend * std::sin(2 * kPi * g.y / vexa::kGridCapHeight + phase1);
            y += bend * std::sin(2 * kPi * g.x / 5 + phase2);
            return Pt{static_cast<float>(x), static_cast<float>(y)};
        };

        std::vector<size_t> order(grid.size());
        for (size_t k = 0; k < order.size(); ++k) order[k] = k;
        if (!joining && order.size() > 1 && rng.chance(v.shuffleStrokes))
            for (size_t k = order.size() - 1; k > 0; --k)
                std::swap(order[k], order[rng.next() % (k + 1)]);
        // Only a mark written last (a dot or a bar, not a stem after its bar) waits.
        const bool delay = !joining && hasDelayableMark(ch) && grid.size() > 1 &&
                           vexa::boxOf(grid.back()).height() < 0.5f * formBox.height() &&
                           rng.chance(v.delayedMarks);

        WrittenChar wc;
        wc.ch = ch;
        wc.line = line;
        wc.ownForm = own;
        wc.joinedToNext = joinNext;
        const size_t index = out.chars.size();
        out.chars.push_back(wc);
        auto penOf = [&](const Polyline& placed) {
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
            return pen;
        };
        for (size_t k : order) {
            Polyline placed;
            for (Pt g : grid[k]) placed.push_back(place(g));
            if (joining && k == 0) {
                // The main stroke: the pen comes over from the previous letter
                // on a ligature that sags towards the line, and stays down.
                if (joinedFromPrevious && !open.empty()) {
                    const Pt p = open.back(), q = placed.front();
                    const Pt c{p.x + 0.4f * (q.x - p.x),
                               std::max(p.y, q.y) + static_cast<float>(0.1 * xh)};
                    Polyline ligature;
                    for (int t = 1; t < 16; ++t) {
                        const float u = t / 16.0f;
                        ligature.push_back(p * ((1 - u) * (1 - u)) + c * (2 * u * (1 - u)) +
                                           q * (u * u));
                    }
                    ligature.push_back(q);
                    ligature.insert(ligature.end(), placed.begin() + 1, placed.end());
                    placed.swap(ligature);
                    placed.insert(placed.begin(), p);
                    const Polyline pen = penOf(placed);
                    open.insert(open.end(), pen.begin() + 1, pen.end());
                    for (Pt p : pen) out.chars[index].box.add(p);
                } else {
                    closeOpen();
                    open = penOf(placed);
                    for (Pt p : open) out.chars[index].box.add(p);
                }
                openChars.push_back(index);
                continue;
            }
            Polyline pen = penOf(placed);
            if (rng.chance(v.reverseStroke)) std::reverse(pen.begin(), pen.end());
            for (Pt p : pen) out.chars[index].box.add(p);
            if (joining || (delay && k + 1 == grid.size())) {
                held.push_back({index, std::move(pen)});
                continue;
            }
            out.chars[index].strokes.push_back(static_cast<int>(out.strokes.size()));
            out.strokes.push_back(std::move(pen));
        }
        if (!joinNext) closeOpen();
        joinedFromPrevious = joinNext;
        const double right = left + formBox.r * size * width;
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
