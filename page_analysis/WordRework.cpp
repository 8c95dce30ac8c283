// Second readings of words: words the recognizer joined from several parts,
// and words read together with a stroke that underlines or strikes them.
#include <algorithm>
#include <cstdlib>

#include "Session.h"
#include "TextGroup.h"
#include "TextUnit.h"

namespace ombra {

namespace {

constexpr int kPartMode = 0;
constexpr int kMarkedWordMode = 11;
constexpr int32_t kPartMargin = 100;
constexpr int32_t kWordMargin = 200;
constexpr int kMostShare = 798;  // of 1024: the stroke spans about four fifths of the word

bool flatTwoPointLine(const VSANSWER* a) {
    if (!a || a->kind != 6 || a->vertexCount != 2 || !a->vertices) return false;
    const int64_t dx = int64_t(a->vertices[2]) - a->vertices[0];
    const int64_t dy = int64_t(a->vertices[3]) - a->vertices[1];
    return std::llabs(dx) >= 3 * std::llabs(dy);
}

_LSTRAPEZ trapezoidOf(CTextUnit* word) {
    const WordSummary& s = word->summary;
    return _LSTRAPEZ{s.xLeft,       s.xRight, s.topLeft,    s.bottomLeft, s.topRight,
                     s.bottomRight, s.height, s.meanStroke, word};
}

}  // namespace

int CTextGroup::recognizeStrokes(const std::vector<int>& strokeList, int mode, int32_t originX,
                                 int32_t originY, std::vector<CTextUnit*>& words) {
    if (session->startRecognition(mode) != PSO_OK) return 1;
    RecognitionScope open(session);
    std::vector<int> given;
    for (int index : strokeList) {
        bool taken = false;
        session->addInk(index, originX, originY, &taken);
        if (taken) given.push_back(index);
    }
    RecognizerBinding* rec = session->recognizer;
    if (given.empty() || rec->AddInkToRecSession(session->recContext(), nullptr, 0, 0, nullptr, 1))
        return 1;
    const int blocks = rec->GetNumAnswerBlocks(session->recContext());
    for (int b = 0; b < blocks; ++b) {
        int error = 0;
        CTextUnit* word = CTextUnit::fromBlock(session, b, given, originX, originY, &error);
        if (!word && error == 2) {
            for (CTextUnit* made : words) delete made;
            words.clear();
            return 2;
        }
        if (word) words.push_back(word);
    }
    return 0;
}

int CTextGroup::splitParts() {
    for (int u = units.count() - 1; u >= 0; --u) {
        CTextUnit* word = static_cast<CTextUnit*>(units.get(u));
        if (word->kind != kUnitWord || word->partCount < 2) continue;
        // Pieces joined across a gap of one line are one word; only a word that
        // goes on in another line (parts one above the other) is split.
        bool apart = true;
        FRect previous;
        for (int p = 0; p < word->partCount && apart; ++p) {
            FRect box;
            for (int index : word->parts[p])
                if (const COmbraStroke* s = session->stroke(index)) box.grow(s->box);
            if (p && !box.empty() && !previous.empty())
                apart = box.top > previous.bottom || box.bottom < previous.top;
            previous = box;
        }
        if (!apart) continue;
        std::vector<CTextUnit*> pieces;
        for (int p = 0; p < word->partCount; ++p) {
            int64_t left = INT64_MAX, top = INT64_MAX;
            for (int index : word->parts[p])
                if (const COmbraStroke* s = session->stroke(index)) {
                    left = std::min<int64_t>(left, s->box.left);
                    top = std::min<int64_t>(top, s->box.top);
                }
            if (word->parts[p].empty() || left == INT64_MAX) continue;
            if (recognizeStrokes(
                    word->parts[p], kPartMode,
                    static_cast<int32_t>(std::max<int64_t>(left - kPartMargin, INT32_MIN)),
                    static_cast<int32_t>(std::max<int64_t>(top - kPartMargin, INT32_MIN)),
                    pieces) == 2) {
                for (CTextUnit* piece : pieces) delete piece;
                return 2;
            }
        }
        if (pieces.empty()) continue;  // the joined reading stays
        units.remove(u);
        delete word;
        for (size_t k = 0; k < pieces.size(); ++k) {
            if (!units.insert(u + static_cast<int>(k), pieces[k])) {
                for (size_t j = k; j < pieces.size(); ++j) delete pieces[j];
                return 2;
            }
            pieces[k]->parent = this;
        }
    }
    return 0;
}

int CTextGroup::reRecognizeMarkedWords() {
    for (int l = 0; l < lines.count(); ++l) {
        _LSLINE* line = lines.get(l);
        if (!line) return 1;
        for (int w = 0; w < line->words.count(); ++w) {
            _LSTRAPEZ* place = line->words.get(w);
            if (!place || !place->word) return 1;
            CTextUnit* word = place->word;
            if (word->confidence > 90 || word->strokes.count() < 2) continue;
            const int64_t xl = word->summary.xLeft, xr = word->summary.xRight;
            int best = -1;
            int64_t bestShare = -1;
            const VSANSWER* mark = nullptr;
            for (int k = 0; k < word->strokes.count(); ++k) {
                const VSANSWER* a = answerHolding(false, word->strokes.get(k));
                if (!flatTwoPointLine(a)) continue;
                const int64_t lo = std::min(a->vertices[0], a->vertices[2]);
                const int64_t hi = std::max(a->vertices[0], a->vertices[2]);
                const int64_t share =
                    (std::min(xr, hi) - std::max(xl, lo)) * 1024 / std::max<int64_t>(xr - xl, 1);
                if (share > bestShare) {
                    bestShare = share;
                    best = k;
                    mark = a;
                }
            }
            if (best < 0 || bestShare <= kMostShare) continue;
            std::vector<int> rest;
            for (int k = 0; k < word->strokes.count(); ++k)
                if (k != best) rest.push_back(word->strokes.get(k));
            const int64_t top = std::min(word->summary.topLeft, word->summary.topRight);
            std::vector<CTextUnit*> again;
            if (recognizeStrokes(
                    rest, kMarkedWordMode,
                    static_cast<int32_t>(std::max<int64_t>(xl - kWordMargin, INT32_MIN)),
                    static_cast<int32_t>(std::max<int64_t>(top - kWordMargin, INT32_MIN)),
                    again) == 2)
                return 2;
            if (again.size() != 1) {
                for (CTextUnit* extra : again) delete extra;
                continue;
            }
            CTextUnit* fresh = again[0];
            int64_t xa = mark->vertices[0], ya = mark->vertices[1];
            int64_t xb = mark->vertices[2], yb = mark->vertices[3];
            if (xa > xb) {
                std::swap(xa, xb);
                std::swap(ya, yb);
            }
            const int found = underlineTest(trapezoidOf(fresh), xa, ya, xb, yb, tolerance);
            if (found == 1 && fresh->confidence > word->confidence + 5)
                fresh->style |= kStyleUnderlined;
            if (found == 2 && fresh->confidence > word->confidence + 20 &&
                bestShare * (xr - xl) >= 1024 * int64_t(word->summary.height))
                fresh->style |= kStyleStruck;
            if (!(fresh->style & (kStyleUnderlined | kStyleStruck))) {
                delete fresh;
                continue;
            }
            // The line keeps the old geometry; the word is the new reading.
            const int u = units.indexOf(word);
            if (u < 0) {
                delete fresh;
                return 1;  // a word of the lines that the group does not hold
            }
            units.set(u, fresh);
            fresh->parent = this;
            place->word = fresh;
            delete word;
        }
    }
    return 0;
}

}  // namespace ombra
