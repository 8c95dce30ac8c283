#include "WordDecoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_map>

#include "StrokeCutter.h"

namespace vexa {

const char kNumberChars[] = "0123456789+-.,:/%$()#*=";

namespace {

constexpr int kMaxGroupStrokes = 4;
// A letter of joined writing is at most this many pieces (an m cut at every cusp).
constexpr int kMaxGroupPieces = 7;
// Passing over a piece of joined writing as the ligature between two letters.
constexpr float kLigatureCost = 0.2f;
constexpr float kLigaturePerX = 0.2f;  // and so much per x-height of its ink
constexpr size_t kMaxWordPieces = 160;
constexpr float kLigatureHeight = 1.8f;  // x-heights: from a descender up to a letter
constexpr float kLetterInk = 3.0f;       // x-heights of ink in a small letter
constexpr size_t kDictBeam = 48;
constexpr size_t kFreeBeam = 16;
constexpr size_t kFreeCandidates = 8;  // characters tried per group when reading letter by letter
constexpr float kBeamSpread = 4.0f;    // hypotheses this much worse than the best are dropped
// Readings outside every dictionary pay for it, a little more per letter.
constexpr float kFreeBase = 0.7f;
constexpr float kFreePerChar = 0.15f;
// Joined writing is read letter by letter far less surely than print: a word
// of the dictionaries that fits it nearly as well wins over its letters.
constexpr float kFreeJoinedBase = 3.5f;
constexpr float kFreeJoinedPerChar = 0.5f;
constexpr float kJoinedCapitalCost = 1.5f;
constexpr float kUserDictBonus = 0.3f;
// Where only words may be answered: a word this much worse than the best
// letter-by-letter reading is answered weak.
constexpr float kWordOnlyMargin = 2.0f;
constexpr float kInitialCapPenalty = 0.1f;
constexpr float kAllCapsPenalty = 0.3f;
constexpr float kPunctuationPenalty = 0.1f;

const char kLeadingPunctuation[] = "\"'([";
const char kTrailingPunctuation[] = ".,;:!?'\")]";

// Text without letters or digits.
bool isSigns(const std::string& text) {
    for (char c : text)
        if (isLetter1252(static_cast<unsigned char>(c)) || (c >= '0' && c <= '9')) return false;
    return true;
}

enum Mode : uint8_t { kExact, kInitialCap, kAllCaps };
enum Phase : uint8_t { kBefore, kInWord, kAfter };

struct Hyp {
    float cost = 0;
    float shape = 0;
    int32_t parent = -1;
    int32_t trie = 0;
    uint64_t hash = 1469598103934665603ull;
    int16_t from = 0, to = 0;  // the last character's strokes
    uint8_t ch = 0;
    uint8_t dict = 0;  // 0: letter by letter; 1 + index into the dictionaries
    uint8_t mode = kExact;
    uint8_t phase = kBefore;
    uint16_t letters = 0;  // letters of the dictionary word so far
    float charCost = 0;
};

struct Edge {
    int from = 0, to = 0;
    float cost = 0;    // plausibility of the group as one character
    float weight = 1;  // how much ink the group holds: its character cost counts that often
    std::unique_ptr<GroupScorer> scorer;
    std::vector<std::pair<float, int>> best[4];
    bool bestDone[4] = {false, false, false, false};
    bool ligature = false;  // a piece of joined writing passed over, no character
    bool joined = false;    // holds a piece of joined writing: a letter, never a sign
};

float xOverlapShare(const Box& a, const Box& b, float floor) {
    const float ov = std::min(a.r, b.r) - std::max(a.l, b.l);
    if (ov <= 0) return 0;
    return std::min(1.0f, ov / std::max(std::min(a.width(), b.width()), floor));
}

class Decoder {
  public:
    // `pieces`: when the strokes are pieces of joined writing, what each was cut from.
    Decoder(const std::vector<const Polyline*>& strokes, const std::vector<int>& cluster,
            const std::vector<Frame>& frames, const DecodeRules& rules,
            const std::vector<StrokePiece>* pieces = nullptr)
        : strokes_(strokes), cluster_(cluster), frames_(frames), rules_(rules), pieces_(pieces) {
        for (const Polyline* s : strokes) boxes_.push_back(boxOf(*s));
        hx_ = frames[0].xHeight;
        hxMax_ = hxMin_ = hx_;
        for (const Frame& f : frames) {
            hxMax_ = std::max(hxMax_, f.xHeight);
            hxMin_ = std::min(hxMin_, f.xHeight);
        }
        if (rules.lexicon && !rules.lexicon->empty()) dicts_.push_back(rules.lexicon);
        for (const Trie* t : rules.userDicts)
            if (t && !t->empty()) dicts_.push_back(t);
        if (pieces_) {
            const CharClassifier& c = CharClassifier::instance();
            lettersAllowed_ = rules.allowed;
            for (size_t k = 0; k < lettersAllowed_.size() && k < c.classCount(); ++k)
                lettersAllowed_[k] = lettersAllowed_[k] && isLetter1252(c.classChar(k));
        }
        buildLattice();
    }

    std::vector<Reading> run() {
        std::map<std::string, Reading> found;
        for (size_t fi = 0; fi < frames_.size() && fi < 4; ++fi)
            decodeOn(static_cast<int>(fi), found);
        std::vector<Reading> all;
        for (auto& f : found) all.push_back(std::move(f.second));
        std::sort(all.begin(), all.end(),
                  [](const Reading& a, const Reading& b) { return a.cost < b.cost; });
        if (rules_.lexiconOnly) {
            const bool anyWord = std::any_of(all.begin(), all.end(),
                                             [](const Reading& r) { return r.fromDictionary(); });
            if (anyWord) {
                float bestFree = kNoCost;
                for (const Reading& r : all)
                    if (!r.fromDictionary()) bestFree = std::min(bestFree, r.cost);
                all.erase(std::remove_if(all.begin(), all.end(),
                                         [](const Reading& r) { return !r.fromDictionary(); }),
                          all.end());
                // A word the ink fits far worse than its own letters is no
                // reading of it, only the nearest word there is.
                if (all[0].cost > bestFree + kWordOnlyMargin)
                    for (Reading& r : all) r.forced = true;
            } else if (all.size() > 1) {
                all.resize(1);
            }
        }
        if (all.size() > rules_.maxAlternatives) all.resize(rules_.maxAlternatives);
        return all;
    }

  private:
    void buildLattice() {
        const int n = static_cast<int>(strokes_.size());
        edgesFrom_.assign(n + 1, {});
        cut_.assign(n + 1, 0);
        for (int j = 1; j < n; ++j) {
            if (pieces_ && (*pieces_)[j].continues) continue;  // the shapes decide there
            // Cutting between two strokes that stand over each other is unlikely.
            float ov = 0;
            for (int p = std::max(0, j - 3); p < j; ++p)
                ov = std::max(ov, xOverlapShare(boxes_[p], boxes_[j], 0.15f * hx_));
            cut_[j] = 1.2f * std::max(0.0f, ov - 0.3f);
        }
        const int maxGroup = pieces_ ? kMaxGroupPieces : kMaxGroupStrokes;
        for (int i = 0; i < n; ++i) {
            if (pieces_ && isLigature(i)) {
                auto e = std::make_unique<Edge>();
                e->from = i;
                e->to = i + 1;
                e->cost = kLigatureCost + kLigaturePerX * lengthOf(*strokes_[i]) / hxMin_;
                e->ligature = true;
                edgesFrom_[i].push_back(edges_.size());
                edges_.push_back(std::move(e));
            }
            for (int len = 1; len <= maxGroup && i + len <= n; ++len) {
                float cost;
                if (!plausible(i, i + len, cost)) continue;
                auto e = std::make_unique<Edge>();
                e->from = i;
                e->to = i + len;
                e->cost = cost;
                // Reading several letters as one would otherwise pay for one poor fit only.
                e->weight = 0.5f;
                bool cut = false;
                float ink = 0;
                for (int k = i; k < i + len; ++k) {
                    e->weight += boxes_[k].size() < 0.25f * hx_ ? 0.15f : 0.5f;
                    cut = cut || (pieces_ && (*pieces_)[k].cut);
                    ink += lengthOf(*strokes_[k]);
                }
                // Pieces of joined writing are parts of letters: their ink, not
                // their number, tells how many letters a group may hold.
                e->weight = std::max(1.0f, cut ? ink / (kLetterInk * hxMin_) : e->weight);
                e->joined = cut;
                edgesFrom_[i].push_back(edges_.size());
                edges_.push_back(std::move(e));
            }
        }
    }

    // A piece of joined writing that may be the stroke from one letter to the
    // next: it runs rightwards and is no taller than a small letter.
    bool isLigature(int k) const {
        const StrokePiece& p = (*pieces_)[k];
        if (!p.cut) return false;
        return p.pts.back().x - p.pts.front().x > 0.15f * hxMin_ &&
               boxes_[k].height() < kLigatureHeight * hxMin_;
    }

    // Inside joined writing a letter is small; a capital only begins it.
    bool capitalInside(const Edge& e, unsigned char ch) const {
        if (!e.joined || toLower1252(ch) == ch) return false;
        for (int k = e.from; k < e.to; ++k)
            if ((*pieces_)[k].cut && !(*pieces_)[k].continues) return false;
        return true;
    }

    // Joined writing mostly begins with a small letter: a capital there
    // must show itself by more than a near fit.
    float joinedCapital(const Edge& e, unsigned char ch) const {
        return e.joined && toLower1252(ch) != ch ? kJoinedCapitalCost : 0.0f;
    }

    bool plausible(int from, int to, float& cost) {
        cost = 0;
        if (rules_.separateLetters) {
            // A letter is exactly the strokes of one cluster.
            const int c = cluster_[from];
            for (int k = from; k < to; ++k)
                if (cluster_[k] != c) return false;
            for (size_t k = 0; k < cluster_.size(); ++k)
                if ((static_cast<int>(k) < from || static_cast<int>(k) >= to) && cluster_[k] == c)
                    return false;
            return true;
        }
        if (to - from == 1) return true;
        Box all;
        std::vector<const Box*> byLeft;
        for (int k = from; k < to; ++k) {
            all.add(boxes_[k]);
            byLeft.push_back(&boxes_[k]);
        }
        if (all.width() > 1.9f * hxMax_) return false;
        std::sort(byLeft.begin(), byLeft.end(),
                  [](const Box* a, const Box* b) { return a->l < b->l; });
        float right = byLeft[0]->r, widest = 0;
        for (size_t k = 1; k < byLeft.size(); ++k) {
            widest = std::max(widest, byLeft[k]->l - right);
            right = std::max(right, byLeft[k]->r);
        }
        if (widest > 0.35f * hx_) return false;
        cost = 2.0f * std::max(0.0f, widest / hx_ - 0.1f);
        return true;
    }

    GroupScorer& scorer(Edge& e) {
        if (!e.scorer) {
            std::vector<Polyline> group;
            std::vector<int> origins;
            for (int k = e.from; k < e.to; ++k) {
                // The parts of one joined stroke are matched as the one stroke they are.
                if (pieces_ && (*pieces_)[k].continues) {
                    auto o = std::find(origins.begin(), origins.end(), (*pieces_)[k].origin);
                    if (o != origins.end()) {
                        Polyline& into = group[o - origins.begin()];
                        into.insert(into.end(), strokes_[k]->begin() + 1, strokes_[k]->end());
                        continue;
                    }
                }
                group.push_back(*strokes_[k]);
                origins.push_back(pieces_ ? (*pieces_)[k].origin : k);
            }
            e.scorer = std::make_unique<GroupScorer>(group, 0.5f * hx_, rules_.gate);
        }
        return *e.scorer;
    }

    const std::vector<std::pair<float, int>>& bestOf(Edge& e, int fi) {
        if (!e.bestDone[fi]) {
            scorer(e).best(frames_[fi], fi, e.joined ? lettersAllowed_ : rules_.allowed,
                           kFreeCandidates, e.best[fi]);
            e.bestDone[fi] = true;
        }
        return e.best[fi];
    }

    float charCost(Edge& e, int fi, unsigned char ch, bool pastGate = false) {
        const int cls = CharClassifier::instance().classOf(ch);
        if (cls < 0 || static_cast<size_t>(cls) >= rules_.allowed.size() || !rules_.allowed[cls])
            return kNoCost;
        if (e.joined && !isLetter1252(ch)) return kNoCost;
        if (capitalInside(e, ch)) return kNoCost;
        return scorer(e).classCost(cls, frames_[fi], fi, pastGate) + joinedCapital(e, ch);
    }

    void push(std::vector<int32_t>& beam, const Hyp& h) {
        beam.push_back(static_cast<int32_t>(arena_.size()));
        arena_.push_back(h);
    }

    Hyp extend(int32_t parent, const Edge& e, unsigned char ch, float cost, float baseCost) {
        cost *= e.weight;
        Hyp h = arena_[parent];
        h.parent = parent;
        h.ch = ch;
        h.from = static_cast<int16_t>(e.from);
        h.to = static_cast<int16_t>(e.to);
        h.charCost = cost;
        h.shape += cost;
        h.cost = baseCost + cost;
        h.hash = (h.hash ^ ch) * 1099511628211ull;
        return h;
    }

    void prune(std::vector<int32_t>& beam) {
        if (beam.empty()) return;
        auto cheaper = [&](int32_t a, int32_t b) { return arena_[a].cost < arena_[b].cost; };
        // Only the best few hundred can survive: sort just those.
        constexpr size_t kSorted = 8 * (kDictBeam + kFreeBeam);
        if (beam.size() > kSorted) {
            std::nth_element(beam.begin(), beam.begin() + kSorted, beam.end(), cheaper);
            beam.resize(kSorted);
        }
        std::sort(beam.begin(), beam.end(), cheaper);
        // Readings letter by letter pay for being no word only at the end: in
        // joined writing, where that is much, words and letters are kept each
        // against their own best.
        float limit[2] = {arena_[beam[0]].cost + kBeamSpread, arena_[beam[0]].cost + kBeamSpread};
        if (pieces_) {
            bool seenKind[2] = {false, false};
            for (int32_t i : beam) {
                const int kind = arena_[i].dict == 0 ? 0 : 1;
                if (seenKind[kind]) continue;
                seenKind[kind] = true;
                limit[kind] = arena_[i].cost + kBeamSpread;
            }
        }
        std::vector<int32_t> kept;
        std::unordered_map<uint64_t, bool> seen;
        size_t dicts = 0, free = 0;
        for (int32_t i : beam) {
            const Hyp& h = arena_[i];
            if (h.cost > limit[h.dict == 0 ? 0 : 1]) continue;
            const uint64_t key =
                h.dict == 0 ? h.hash
                            : (static_cast<uint64_t>(h.trie) << 24) ^ (uint64_t{h.dict} << 8) ^
                                  (uint64_t{h.mode} << 4) ^ h.phase ^ 0x8000000000000000ull;
            if (!seen.emplace(key, true).second) continue;
            if (h.dict == 0 ? free++ >= kFreeBeam : dicts++ >= kDictBeam) continue;
            kept.push_back(i);
        }
        beam.swap(kept);
    }

    void expandDict(int32_t hi, Edge& e, int fi, float base, std::vector<int32_t>& out) {
        const Hyp h = arena_[hi];
        const Trie& trie = *dicts_[h.dict - 1];
        // The user's own words are few: their letters are matched past the gate.
        const bool pastGate = dicts_[h.dict - 1] != rules_.lexicon;
        auto punctuation = [&](const char* set, uint8_t phase, int32_t trieNode) {
            for (const char* p = set; *p; ++p) {
                const float c = charCost(e, fi, static_cast<unsigned char>(*p));
                if (c >= kNoCost) continue;
                Hyp n =
                    extend(hi, e, static_cast<unsigned char>(*p), c, base + kPunctuationPenalty);
                n.phase = phase;
                n.trie = trieNode;
                push(out, n);
            }
        };
        if (h.phase == kBefore) punctuation(kLeadingPunctuation, kBefore, h.trie);
        if (h.phase == kAfter || (h.phase == kInWord && trie.node(h.trie).terminal)) {
            punctuation(kTrailingPunctuation, kAfter, h.trie);
            if (h.phase == kAfter) return;
        }
        const Trie::Node& node = trie.node(h.trie);
        for (uint32_t c = node.firstChild; c < node.firstChild + node.childCount; ++c) {
            unsigned char ch = trie.node(c).ch;
            if (h.mode == kAllCaps) {
                ch = toUpper1252(ch);
            } else if (h.mode == kInitialCap && h.letters == 0) {
                if (toUpper1252(ch) == ch) continue;  // already a capital: the exact form reads it
                ch = toUpper1252(ch);
            }
            const float cost = charCost(e, fi, ch, pastGate);
            if (cost >= kNoCost) continue;
            Hyp n = extend(hi, e, ch, cost, base);
            n.trie = static_cast<int32_t>(c);
            n.phase = kInWord;
            n.letters = static_cast<uint16_t>(h.letters + 1);
            push(out, n);
        }
    }

    void decodeOn(int fi, std::map<std::string, Reading>& found) {
        const int n = static_cast<int>(strokes_.size());
        std::vector<std::vector<int32_t>> beams(n + 1);
        arena_.clear();
        push(beams[0], Hyp{});
        for (size_t d = 0; d < dicts_.size(); ++d) {
            for (uint8_t mode : {kExact, kInitialCap, kAllCaps}) {
                Hyp h;
                h.dict = static_cast<uint8_t>(d + 1);
                h.mode = mode;
                h.trie = static_cast<int32_t>(Trie::root());
                h.cost = mode == kInitialCap ? kInitialCapPenalty
                         : mode == kAllCaps  ? kAllCapsPenalty
                                             : 0;
                push(beams[0], h);
            }
        }
        for (int i = 0; i < n; ++i) {
            prune(beams[i]);
            for (size_t ei : edgesFrom_[i]) {
                Edge& e = *edges_[ei];
                std::vector<int32_t>& out = beams[e.to];
                for (int32_t hi : beams[i]) {
                    const float base = arena_[hi].cost + cut_[i] + e.cost;
                    if (e.ligature) {
                        Hyp h = arena_[hi];
                        h.parent = hi;
                        h.ch = 0;
                        h.from = static_cast<int16_t>(e.from);
                        h.to = static_cast<int16_t>(e.to);
                        h.charCost = 0;
                        h.cost = base;
                        push(out, h);
                    } else if (arena_[hi].dict == 0) {
                        for (const auto& c : bestOf(e, fi)) {
                            const unsigned char ch = CharClassifier::instance().classChar(c.second);
                            if (capitalInside(e, ch)) continue;
                            push(out, extend(hi, e, ch, c.first + joinedCapital(e, ch), base));
                        }
                    } else {
                        expandDict(hi, e, fi, base, out);
                    }
                }
            }
        }
        prune(beams[n]);
        for (int32_t hi : beams[n]) {
            const Hyp& h = arena_[hi];
            Reading r;
            r.frame = fi;
            r.shapeCost = h.shape;
            for (int32_t k = hi; k >= 0 && arena_[k].parent >= 0; k = arena_[k].parent) {
                const Hyp& step = arena_[k];
                if (step.ch == 0) continue;  // a ligature
                CharSeg seg{step.from, step.to, step.ch, step.charCost};
                if (pieces_) {
                    // Back to the strokes the pieces were cut from.
                    int lo = (*pieces_)[seg.from].origin, hi = lo;
                    for (int p = seg.from; p < seg.to; ++p) {
                        lo = std::min(lo, (*pieces_)[p].origin);
                        hi = std::max(hi, (*pieces_)[p].origin);
                    }
                    seg.from = lo;
                    seg.to = hi + 1;
                }
                r.chars.push_back(seg);
            }
            std::reverse(r.chars.begin(), r.chars.end());
            for (const CharSeg& c : r.chars) r.text += static_cast<char>(c.ch);
            if (r.text.empty() || r.text.size() > PSO_MAX_WORD_CHARS) continue;
            if (h.dict == 0) {
                if (isNumberLike(r.text)) {
                    r.source = PSO_SOURCE_NUMBER;
                    r.cost = h.cost;
                } else if (isSigns(r.text)) {
                    r.source = PSO_SOURCE_FREE;  // punctuation alone: no dictionary could hold it
                    r.cost = h.cost;
                } else {
                    r.source = PSO_SOURCE_FREE;
                    const float base = pieces_ ? kFreeJoinedBase : kFreeBase;
                    const float per = pieces_ ? kFreeJoinedPerChar : kFreePerChar;
                    r.cost = h.cost + (dicts_.empty() ? 0 : base + per * r.text.size());
                }
            } else {
                const Trie& trie = *dicts_[h.dict - 1];
                const bool complete =
                    (h.phase == kInWord && trie.node(h.trie).terminal) || h.phase == kAfter;
                if (!complete || h.letters == 0) continue;
                const bool user = dicts_[h.dict - 1] != rules_.lexicon;
                r.source = user ? PSO_SOURCE_USER_DICT : PSO_SOURCE_LEXICON;
                r.cost = h.cost - (user ? kUserDictBonus : 0);
            }
            auto it = found.find(r.text);
            if (it == found.end() || r.cost < it->second.cost) found[r.text] = std::move(r);
        }
    }

    const std::vector<const Polyline*>& strokes_;
    const std::vector<int>& cluster_;
    const std::vector<Frame>& frames_;
    const DecodeRules& rules_;
    const std::vector<StrokePiece>* pieces_;
    std::vector<bool> lettersAllowed_;  // the session's classes that are letters
    std::vector<Box> boxes_;
    float hx_ = 1, hxMax_ = 1, hxMin_ = 1;
    std::vector<const Trie*> dicts_;
    std::vector<std::unique_ptr<Edge>> edges_;
    std::vector<std::vector<size_t>> edgesFrom_;
    std::vector<float> cut_;
    std::vector<Hyp> arena_;
};

}  // namespace

bool isNumberLike(const std::string& text) {
    // Punctuation around a number is read as around a word: "(12)", "42;".
    size_t from = 0, to = text.size();
    while (from < to && std::strchr(kLeadingPunctuation, text[from])) ++from;
    while (to > from && std::strchr(kTrailingPunctuation, text[to - 1])) --to;
    bool digit = false;
    for (char c : text.substr(from, to - from)) {
        if (c >= '0' && c <= '9')
            digit = true;
        else if (!std::strchr(kNumberChars, c))
            return false;
    }
    return digit;
}

std::vector<Reading> decodeWord(const std::vector<const Polyline*>& strokes,
                                const std::vector<int>& cluster, const std::vector<Frame>& frames,
                                const DecodeRules& rules) {
    if (strokes.empty() || frames.empty()) return {};
    if (!rules.separateLetters) {
        float hx = frames[0].xHeight, hxMax = hx;
        for (const Frame& f : frames) {
            hx = std::min(hx, f.xHeight);
            hxMax = std::max(hxMax, f.xHeight);
        }
        const std::vector<StrokePiece> pieces = cutJoinedStrokes(strokes, hx, hxMax);
        // Ink that cuts into more pieces than a long word has (one stroke
        // over a whole line, a scribble) is read as it was written: the search
        // over the cuts would take too long.
        if (pieces.size() <= kMaxWordPieces &&
            std::any_of(pieces.begin(), pieces.end(), [](const StrokePiece& p) { return p.cut; })) {
            std::vector<const Polyline*> parts;
            std::vector<int> clusters;
            for (const StrokePiece& p : pieces) {
                parts.push_back(&p.pts);
                clusters.push_back(cluster[p.origin]);
            }
            Decoder d(parts, clusters, frames, rules, &pieces);
            return d.run();
        }
    }
    Decoder d(strokes, cluster, frames, rules);
    return d.run();
}

}  // namespace vexa
