#include "Recognizer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "BanFormat.h"
#include "VexaScript.h"
#include "WordDecoder.h"

namespace vexa {

namespace {

constexpr float kGapWeight = 1.5f;    // cost of deciding a doubtful gap against its size
constexpr float kWordPenalty = 0.5f;  // each word of a reading of several pieces
// A word is at most PSO_MAX_WORD_CHARS characters, and a character takes at
// least one stroke.
constexpr size_t kMaxSpanStrokes = PSO_MAX_WORD_CHARS;
// The cost of a span that nothing reads.
constexpr float kNoReadingCost = 1e6f;

class Run {
  public:
    Run(const Line& line, const DecodeRules& rules) : line_(line), rules_(rules) {}

    // The readings of the pieces a..b read as one word.
    const std::vector<Reading>& span(int a, int b) {
        auto key = std::make_pair(a, b);
        auto it = cache_.find(key);
        if (it != cache_.end()) return it->second;
        std::vector<int> positions;
        for (int p = a; p <= b; ++p)
            positions.insert(positions.end(), line_.pieces[p].begin(), line_.pieces[p].end());
        std::sort(positions.begin(), positions.end());
        std::vector<const Polyline*> strokes;
        std::vector<int> clusters;
        for (int s : positions) {
            strokes.push_back(&line_.strokes[s].pts);
            clusters.push_back(line_.clusterOf[s]);
        }
        std::vector<Reading> readings = decodeWord(strokes, clusters, line_.frames, rules_);
        if (readings.empty()) {
            // Nothing the session's rules allow fits (say, five strokes in one
            // cluster of separate letters, or no character allowed at all): the
            // ink is read without them and marked weak, never lost.
            DecodeRules loose = rules_;
            loose.separateLetters = false;
            loose.allowed.assign(loose.allowed.size(), true);
            readings = decodeWord(strokes, clusters, line_.frames, loose);
            for (Reading& r : readings) r.forced = true;
        }
        if (readings.empty() && !line_.frames.empty()) {
            // Ink that no character form takes even so is one unknown
            // character: every stroke of a session stays in an answer block.
            // Its cost is that of no reading, so the gaps are settled as if it
            // had none.
            Reading unknown;
            unknown.text = "?";
            unknown.cost = unknown.shapeCost = kNoReadingCost;
            unknown.forced = true;
            unknown.chars.push_back({0, static_cast<int>(strokes.size()), '?', kNoReadingCost});
            readings.push_back(std::move(unknown));
        }
        return cache_[key] = std::move(readings);
    }

    float cost(int a, int b) {
        const std::vector<Reading>& r = span(a, b);
        return r.empty() ? kNoReadingCost : r[0].cost;
    }

    size_t strokesOf(int a, int b) const {
        size_t n = 0;
        for (int p = a; p <= b; ++p) n += line_.pieces[p].size();
        return n;
    }

  private:
    const Line& line_;
    const DecodeRules& rules_;
    std::map<std::pair<int, int>, std::vector<Reading>> cache_;
};

// Splits pieces a..b (doubtful gaps between them) into words: every choice
// for a few pieces, else one gap after the other.
std::vector<std::pair<int, int>> settleGaps(Run& run, const Line& line, int a, int b) {
    const int r = b - a + 1;
    auto gapCost = [&](int gap, bool split) {
        const float d = line.gaps[gap].doubt;
        return kGapWeight * (split ? d : 1 - d);
    };
    std::vector<std::pair<int, int>> best;
    if (r <= 4) {
        float bestCost = 1e30f;
        for (int mask = 0; mask < (1 << (r - 1)); ++mask) {
            std::vector<std::pair<int, int>> spans;
            float cost = 0;
            int start = a;
            bool tooLong = false;
            for (int k = 0; k < r; ++k) {
                const bool last = k == r - 1;
                const bool split = last || (mask >> k & 1);
                if (!last) cost += gapCost(a + k, split);
                if (split) {
                    if (run.strokesOf(start, a + k) > kMaxSpanStrokes) tooLong = true;
                    spans.push_back({start, a + k});
                    start = a + k + 1;
                }
            }
            if (tooLong) continue;
            for (const auto& s : spans) cost += run.cost(s.first, s.second) + kWordPenalty;
            if (cost < bestCost) {
                bestCost = cost;
                best = spans;
            }
        }
        if (!best.empty()) return best;
    }
    int start = a;
    for (int k = a; k < b; ++k) {
        bool split = run.strokesOf(start, k + 1) > kMaxSpanStrokes;
        if (!split) {
            const float joined = run.cost(start, k + 1) + gapCost(k, false);
            split = run.cost(start, k) + run.cost(k + 1, k + 1) + gapCost(k, true) + kWordPenalty <=
                    joined;
        }
        if (split) {
            best.push_back({start, k});
            start = k + 1;
        }
    }
    best.push_back({start, b});
    return best;
}

// The character classes a session may read; `numbers`: digits and number signs only.
std::vector<bool> allowedClasses(uint32_t flags, const LexiconData* lex, bool numbers) {
    const CharClassifier& c = CharClassifier::instance();
    std::vector<bool> allowed(c.classCount(), true);
    for (size_t k = 0; k < c.classCount(); ++k) {
        const unsigned char ch = c.classChar(k);
        bool ok = true;
        if (numbers && !std::strchr(kNumberChars, ch)) ok = false;
        if ((flags & PSO_SF_CAPITALS_ONLY) && toUpper1252(ch) != ch) ok = false;
        if ((flags & PSO_SF_SMALL_ONLY) && toLower1252(ch) != ch) ok = false;
        if (lex && !lex->charset.empty() &&
            lex->charset.find(static_cast<char>(ch)) == std::string::npos)
            ok = false;
        allowed[k] = ok;
    }
    return allowed;
}

int clampInt(float v, int lo, int hi) {
    return std::clamp(static_cast<int>(std::lround(v)), lo, hi);
}

// Weights, scores and confidence of a block from the costs of its readings.
void weigh(AnswerBlock& block, const std::vector<Reading>& readings, bool wordsRequired) {
    for (size_t i = 0; i < readings.size(); ++i) {
        const Reading& r = readings[i];
        Alternative a;
        a.text = r.text;
        a.cost = r.cost;
        a.source = r.source;
        const float len = std::max<float>(1, r.text.size());
        a.shapeScore = clampInt(100 * std::exp(-r.shapeCost / len), 0, 100);
        if (i == 0) {
            const float perChar = r.cost / len;
            a.weight = clampInt(100 * std::exp(-0.8f * std::max(0.0f, perChar - 0.1f)), 2, 100);
            if (perChar > 2.5f || r.forced || (wordsRequired && !r.fromDictionary())) a.weight = 1;
        } else {
            const int previous = block.alts.back().weight;
            a.weight =
                clampInt(block.alts[0].weight * std::exp(-(r.cost - readings[0].cost) / 0.6f),
                         std::min(2, previous), std::max(previous, 1));
        }
        block.alts.push_back(a);
    }
    if (block.alts.empty()) return;
    const float w0 = static_cast<float>(block.alts[0].weight);
    const float lead = readings.size() > 1 ? readings[1].cost - readings[0].cost : 2.0f;
    block.confidence = clampInt(w0 * (1 - std::exp(-std::max(0.0f, lead) / 0.4f)), 0, 100);
    if (block.alts[0].weight == 1) block.confidence = 0;
}

bool inDictionaries(const RecSettings& s, const std::string& word) {
    if (s.lexicon && s.lexicon->trie.contains(word)) return true;
    for (const UserDict* d : s.userDicts)
        if (d && d->contains(word)) return true;
    return false;
}

void appendBlock(AnswerBlock& into, const AnswerBlock& from) {
    into.strokes.insert(into.strokes.end(), from.strokes.begin(), from.strokes.end());
    std::sort(into.strokes.begin(), into.strokes.end());
    into.parts.insert(into.parts.end(), from.parts.begin(), from.parts.end());
    into.chars.insert(into.chars.end(), from.chars.begin(), from.chars.end());
}

// Several blocks read as one word: the first alternatives joined, then the
// joins that change one block's alternative, by cost.
AnswerBlock concatenate(const std::vector<AnswerBlock>& blocks, size_t maxAlternatives) {
    AnswerBlock out = blocks[0];
    out.alts.clear();
    for (size_t k = 1; k < blocks.size(); ++k) appendBlock(out, blocks[k]);
    struct Choice {
        float cost;
        size_t block, alt;
    };
    std::vector<Choice> choices{{0, 0, 0}};
    float base = 0;
    for (const AnswerBlock& b : blocks) base += b.alts[0].cost;
    for (size_t k = 0; k < blocks.size(); ++k)
        for (size_t j = 1; j < blocks[k].alts.size(); ++j)
            choices.push_back({blocks[k].alts[j].cost - blocks[k].alts[0].cost, k, j});
    std::stable_sort(choices.begin(), choices.end(),
                     [](const Choice& a, const Choice& b) { return a.cost < b.cost; });
    int minWeight = 100, confidence = 100;
    for (const AnswerBlock& b : blocks) {
        minWeight = std::min(minWeight, b.alts[0].weight);
        confidence = std::min(confidence, b.confidence);
    }
    for (const Choice& c : choices) {
        if (out.alts.size() >= maxAlternatives) break;
        Alternative a;
        a.cost = base + c.cost;
        a.source = PSO_SOURCE_FREE;
        for (size_t k = 0; k < blocks.size(); ++k)
            a.text += blocks[k].alts[k == c.block ? c.alt : 0].text;
        if (a.text.size() > PSO_MAX_WORD_CHARS) continue;
        a.weight = out.alts.empty() ? minWeight
                                    : clampInt(minWeight * std::exp(-c.cost / 0.6f),
                                               std::min(2, minWeight), out.alts.back().weight);
        a.shapeScore = blocks[c.block].alts[c.alt].shapeScore;
        out.alts.push_back(a);
    }
    out.confidence = confidence;
    return out;
}

}  // namespace

std::vector<AnswerBlock> recognize(const std::vector<Polyline>& strokes, const RecSettings& s,
                                   bool& cancelled) {
    cancelled = false;
    std::vector<AnswerBlock> blocks;
    if (strokes.empty()) return blocks;
    SegmentOptions so;
    so.oneLine = (s.flags & PSO_SF_ONE_LINE) != 0;
    so.wordSegmentation = (s.flags & PSO_SF_WORD_SEGMENTATION) != 0;
    so.separateLetters = (s.flags & PSO_SF_SEPARATE_LETTERS) != 0;
    so.softBreaksOnly = (s.flags & PSO_SF_SOFT_BREAKS_ONLY) != 0;
    so.guide = s.hasGuide && (s.flags & PSO_SF_BOXED) ? &s.guide : nullptr;
    const std::vector<Line> lines = segmentWriting(strokes, so);

    DecodeRules rules;
    const LexiconData* lex = s.lexicon.get();
    const bool numbers =
        (s.flags & PSO_SF_NUMBERS_ONLY) || (lex && (lex->flags & ban::kFlagNumbers));
    rules.allowed = allowedClasses(s.flags, lex, numbers);
    if (lex && !numbers) rules.lexicon = &lex->trie;
    if (!numbers)
        for (const UserDict* d : s.userDicts)
            if (d) rules.userDicts.push_back(&d->trie());
    const bool wordsRequired =
        (s.flags & PSO_SF_LEXICON_ONLY) || (lex && (lex->flags & ban::kFlagWordsOnly));
    rules.lexiconOnly = wordsRequired;
    rules.separateLetters = so.separateLetters;
    rules.gate = (s.flags & PSO_SF_GATE_OFF)    ? GateMode::Off
                 : (s.flags & PSO_SF_GATE_WIDE) ? GateMode::Wide
                                                : GateMode::Normal;
    rules.maxAlternatives = std::clamp<size_t>(s.maxAlternatives, 1, PSO_MAX_ALTERNATIVES);

    const int total = static_cast<int>(strokes.size());
    int done = 0;
    std::vector<std::vector<AnswerBlock>> lineBlocks;
    for (size_t li = 0; li < lines.size(); ++li) {
        const Line& line = lines[li];
        Run run(line, rules);
        std::vector<std::pair<int, int>> spans;
        const int pieces = static_cast<int>(line.pieces.size());
        for (int a = 0; a < pieces;) {
            int b = a;
            while (b + 1 < pieces && line.gaps[b].doubtful) ++b;
            const auto settled = settleGaps(run, line, a, b);
            spans.insert(spans.end(), settled.begin(), settled.end());
            a = b + 1;
        }
        std::vector<AnswerBlock> out;
        for (const auto& span : spans) {
            const std::vector<Reading>& readings = run.span(span.first, span.second);
            done += static_cast<int>(run.strokesOf(span.first, span.second));
            if (s.progress && !s.progress(done, total)) {
                cancelled = true;
                return {};
            }
            if (readings.empty()) continue;
            AnswerBlock block;
            weigh(block, readings, wordsRequired);
            block.lineIndex = static_cast<int>(li);
            block.wordInLine = static_cast<int>(out.size());
            std::vector<int> positions;
            for (int p = span.first; p <= span.second; ++p) {
                std::vector<int> part;
                for (int pos : line.pieces[p]) {
                    positions.push_back(pos);
                    part.push_back(line.strokes[pos].input);
                }
                std::sort(part.begin(), part.end());
                block.parts.push_back(part);
            }
            std::sort(positions.begin(), positions.end());
            Box work;
            for (int pos : positions) {
                block.strokes.push_back(line.strokes[pos].input);
                work.add(line.strokes[pos].box);
            }
            std::sort(block.strokes.begin(), block.strokes.end());
            bool lower = false, dotsOnly = true;
            for (const CharSeg& c : readings[0].chars) {
                CharInfo info;
                info.ch = c.ch;
                info.score = clampInt(100 * std::exp(-c.cost), 0, 100);
                for (int k = c.from; k < c.to; ++k) {
                    const int input = line.strokes[positions[k]].input;
                    info.strokes.push_back(input);
                    info.box.add(boxOf(strokes[input]));
                }
                block.chars.push_back(info);
                lower = lower || (toUpper1252(c.ch) != c.ch);
                dotsOnly = dotsOnly && c.ch == '.';
            }
            // The writing line under the word, in ink coordinates.
            const Frame& f =
                line.frames[std::min<size_t>(readings[0].frame, line.frames.size() - 1)];
            const float height = lower ? f.xHeight : f.xHeight * kCapRatio;
            if (dotsOnly) {
                Box ink;
                for (int input : block.strokes) ink.add(boxOf(strokes[input]));
                for (Pt& p : block.line) p = {ink.cx(), ink.cy()};
            } else {
                const float bl = f.baselineAt(work.l), br = f.baselineAt(work.r);
                block.line[0] = line.toInk({work.l, bl - height});
                block.line[1] = line.toInk({work.l, bl});
                block.line[2] = line.toInk({work.r, br - height});
                block.line[3] = line.toInk({work.r, br});
            }
            out.push_back(std::move(block));
        }
        lineBlocks.push_back(std::move(out));
    }

    // A word broken over two lines: joined when only the join is a word.
    if (s.flags & PSO_SF_MULTI_LINE_WORDS) {
        for (size_t li = 0; li + 1 < lineBlocks.size(); ++li) {
            if (lineBlocks[li].empty() || lineBlocks[li + 1].empty()) continue;
            AnswerBlock& a = lineBlocks[li].back();
            AnswerBlock& b = lineBlocks[li + 1].front();
            std::string head = a.alts[0].text;
            if (head.size() > 1 && head.back() == '-') head.pop_back();
            const std::string joined = head + b.alts[0].text;
            if (joined.size() > PSO_MAX_WORD_CHARS || !inDictionaries(s, joined)) continue;
            if (inDictionaries(s, a.alts[0].text) && inDictionaries(s, b.alts[0].text)) continue;
            AnswerBlock merged = a;
            appendBlock(merged, b);
            merged.alts.resize(1);
            merged.alts[0].text = joined;
            merged.alts[0].cost = a.alts[0].cost + b.alts[0].cost;
            merged.alts[0].source = PSO_SOURCE_LEXICON;
            merged.alts[0].weight = std::min(a.alts[0].weight, b.alts[0].weight);
            merged.confidence = std::min(a.confidence, b.confidence);
            a = std::move(merged);
            lineBlocks[li + 1].erase(lineBlocks[li + 1].begin());
            for (size_t k = 0; k < lineBlocks[li + 1].size(); ++k)
                lineBlocks[li + 1][k].wordInLine = static_cast<int>(k);
        }
    }
    for (auto& lb : lineBlocks)
        for (auto& b : lb) blocks.push_back(std::move(b));

    // Without word segmentation the whole writing is one word.
    if (!(s.flags & PSO_SF_WORD_SEGMENTATION) && blocks.size() > 1) {
        size_t length = 0;
        for (const AnswerBlock& b : blocks) length += b.alts[0].text.size();
        if (length <= PSO_MAX_WORD_CHARS) blocks = {concatenate(blocks, rules.maxAlternatives)};
    }
    return blocks;
}

}  // namespace vexa
