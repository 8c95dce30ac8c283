#include "TextGroup.h"

#include <algorithm>
#include <new>

#include "BandTests.h"
#include "LineFinder.h"
#include "Session.h"
#include "TextUnit.h"

namespace ombra {

namespace {

constexpr int kTextLineMode = 3;
constexpr int32_t kInkMargin = 100;

bool isPolyline(const VSANSWER* a) { return a && a->kind == 6; }

FRect answerBox(const VSANSWER* a) {
    FRect r;
    for (int k = 0; a && k < a->vertexCount; ++k)
        r.grow(a->vertices[2 * k], a->vertices[2 * k + 1]);
    return r;
}

// |dx| + |dy| between vertices k and k + 1 of the answer.
int64_t vertexSpan(const VSANSWER* a, int k) {
    return std::llabs(int64_t(a->vertices[2 * k + 2]) - a->vertices[2 * k]) +
           std::llabs(int64_t(a->vertices[2 * k + 3]) - a->vertices[2 * k + 1]);
}

// Whether the stroke ends near where it began: a loop drawn around something.
bool closesOnItself(const COmbraStroke& s, int64_t H) {
    const int n = s.count;
    if (n < 2) return false;
    const int64_t e = s.width() + s.height();
    auto dist = [&](int i) {
        return octagonalDistance(int64_t(s.x(i)) - s.x(0), int64_t(s.y(i)) - s.y(0));
    };
    if (dist(n - 1) > std::max(e / 5, 3 * H)) return false;
    const int64_t near = std::max(e / 10, H / 2);
    for (int i = n - 1; i >= 4 * n / 5 && i > 0; --i)
        if (dist(i) < near) return true;
    return false;
}

}  // namespace

CTextGroup::~CTextGroup() { freeLines(); }

CTextGroup* CTextGroup::replacing(COmbraGroup* band) {
    CTextGroup* text = new (std::nothrow) CTextGroup(band->session);
    if (text && !text->copyFrom(*band)) {
        delete text;
        text = nullptr;
    }
    if (text) {
        text->groupKind = kGroupText;
        for (int i = 0; i < text->strokes.count(); ++i) {
            const COmbraStroke* s = text->session->stroke(text->strokes.get(i));
            if (s) text->box.grow(s->box);
        }
    }
    delete band;
    return text;
}

void CTextGroup::freeLines() {
    for (int i = 0; i < lines.count(); ++i) delete lines.get(i);
    lines.clear();
    for (int i = 0; i < wordList.count(); ++i) delete wordList.get(i);
    wordList.clear();
}

void CTextGroup::clear() {
    COmbraGroup::clear();
    groupKind = kGroupText;
    paragraphPass = true;
}

void CTextGroup::deleteContents() {
    freeLines();
    COmbraGroup::deleteContents();
}

COmbraGroup* CTextGroup::cloneGroup() const {
    CTextGroup* copy = new (std::nothrow) CTextGroup(session);
    if (!copy) return nullptr;
    if (!copy->copyFrom(*this)) {
        delete copy;
        return nullptr;
    }
    copy->groupKind = kGroupText;
    copy->paragraphPass = paragraphPass;
    return copy;
}

void CTextGroup::filterStrokes(std::vector<int>& kept) {
    const int n = strokes.count();
    const int64_t a = std::max<int64_t>(typicalStrokeHeight(*session, *this), 1);
    const int64_t H = session->lineHeight;
    // Without any shape answer (no shape library) every stroke is read.
    const bool shapesKnown = plainAnswers.count() > 0;
    std::vector<bool> out(n, false);
    for (int i = 0; i < n; ++i) {
        const int index = strokes.get(i);
        COmbraStroke* s = session->stroke(index);
        if (!s || s->count < 1) {
            out[i] = true;
            continue;
        }
        s->boxedMark = 0;
        if (!shapesKnown) continue;
        const VSANSWER* answer = answerHolding(false, index);
        if (!answer) {
            out[i] = true;
            continue;
        }
        const int64_t h = answerBox(answer).height();
        const int points = answer->vertexCount;
        switch (answer->kind) {
            case 1:
            case 2:
            case 3:
                out[i] = 2 * h > 5 * a;
                break;
            case 4:  // a one-headed arrow: its shaft, the first two points
                out[i] = points >= 2 && 2 * vertexSpan(answer, 0) > 5 * a;
                break;
            case 5:  // a two-headed arrow: the fourth and the fifth point
                out[i] = points >= 5 && 2 * vertexSpan(answer, 3) > 5 * a;
                break;
            case 6:
                out[i] = (points > 3 && 2 * h > 7 * a) || (points > 2 && 2 * h > 9 * a) ||
                         2 * h > 11 * a;
                break;
            default:
                break;
        }
        if (out[i]) continue;
        // A loop drawn around other strokes boxes them.
        const int64_t w = s->width(), sh = s->height();
        if (2 * (w + sh) > 9 * a && w > 0 && sh > 0 && closesOnItself(*s, H)) {
            int64_t coverW = 0, coverH = 0;
            for (int j = 0; j < n; ++j) {
                const COmbraStroke* o = session->stroke(strokes.get(j));
                if (!o || j == i) continue;
                const int64_t ow = std::min<int64_t>(s->box.right, o->box.right) -
                                   std::max<int64_t>(s->box.left, o->box.left);
                const int64_t oh = std::min<int64_t>(s->box.bottom, o->box.bottom) -
                                   std::max<int64_t>(s->box.top, o->box.top);
                if (ow <= 0 || oh <= 0) continue;
                coverW += ow * (oh * 16 / std::max<int64_t>(o->height(), 1));
                coverH += oh * (ow * 16 / std::max<int64_t>(o->width(), 1));
            }
            if (coverW / 16 > sh / 2 && coverH / 16 > w / 2) {
                out[i] = true;
                for (int j = 0; j < n; ++j) {
                    COmbraStroke* o = session->stroke(strokes.get(j));
                    if (!o || j == i) continue;
                    const int64_t ow = std::min<int64_t>(s->box.right, o->box.right) -
                                       std::max<int64_t>(s->box.left, o->box.left);
                    const int64_t oh = std::min<int64_t>(s->box.bottom, o->box.bottom) -
                                       std::max<int64_t>(s->box.top, o->box.top);
                    if (4 * ow >= 3 * o->width() && 4 * oh >= 3 * o->height()) o->boxedMark = 15;
                }
                continue;
            }
        }
        if (isPolyline(answer) && points == 2) {
            const int64_t dx = int64_t(answer->vertices[2]) - answer->vertices[0];
            const int64_t dy = int64_t(answer->vertices[3]) - answer->vertices[1];
            const int64_t squared = dx * dx + dy * dy;
            if (3 * squared >= a * a * 25 && std::llabs(dx) >= 2 * std::llabs(dy)) {
                lineShapes.push_back(index);
                out[i] = true;
            } else if (4 * squared >= a * a * 121) {
                out[i] = true;
            }
        }
    }
    for (int i = 0; i < n; ++i)
        if (!out[i]) kept.push_back(strokes.get(i));
}

int CTextGroup::recognizeLines(const std::vector<int>& kept) {
    std::vector<const COmbraStroke*> inOrder;
    for (int index : kept) {
        const COmbraStroke* stroke = session->stroke(index);
        if (!stroke) {
            lastError() = 106;
            return 5;
        }
        inOrder.push_back(stroke);
    }
    const int64_t H = session->lineHeight;
    const int64_t b = LineFinder::tolerance(typicalStrokeHeight(*session, *this), H);
    std::vector<int> lineOf;
    LineFinder finder(b, H);
    const int count = finder.find(inOrder, lineOf);
    session->advanceProgress(strokes.count() / 5, false);
    if (session->reportProgress()) return OMBRA_CANCELLED;

    RecognizerBinding* rec = session->recognizer;
    PSO_HRC rc = session->recContext();
    int failed = 0;  // a line or block that gave no word: the others are read
    for (int line = 0; line < count; ++line) {
        if (session->startRecognition(kTextLineMode) != PSO_OK) {
            lastError() = 105;
            return 1;
        }
        RecognitionScope open(session);
        int64_t left = INT64_MAX, top = INT64_MAX;
        for (size_t i = 0; i < kept.size(); ++i) {
            if (lineOf[i] != line) continue;
            left = std::min<int64_t>(left, inOrder[i]->box.left);
            top = std::min<int64_t>(top, inOrder[i]->box.top);
        }
        const int32_t ox = static_cast<int32_t>(std::max<int64_t>(left - kInkMargin, INT32_MIN));
        const int32_t oy = static_cast<int32_t>(std::max<int64_t>(top - kInkMargin, INT32_MIN));
        std::vector<int> given;
        for (size_t i = 0; i < kept.size(); ++i) {
            if (lineOf[i] != line) continue;
            bool taken = false;
            session->addInk(kept[i], ox, oy, &taken);
            if (taken) given.push_back(kept[i]);
        }
        if (given.empty()) {
            // No ink could be given for this line: it holds no word, and the
            // failure is reported once the other lines are read.
            lastError() = 107;
            if (!failed) failed = 107;
            continue;
        }
        if (rec->AddInkToRecSession(rc, nullptr, 0, 0, nullptr, 1) != PSO_OK) {
            lastError() = 108;
            return 1;
        }
        session->advanceProgress(static_cast<int>(given.size()), false);
        if (session->reportProgress()) return OMBRA_CANCELLED;
        const int blocks = rec->GetNumAnswerBlocks(rc);
        for (int k = 0; k < blocks; ++k) {
            int error = 0;
            CTextUnit* word = CTextUnit::fromBlock(session, k, given, ox, oy, &error);
            if (!word) {
                if (error == 2) {
                    lastError() = 2;
                    return 2;
                }
                lastError() = 109;
                if (!failed) failed = 109;
                continue;
            }
            if (!addUnit(word)) {
                delete word;
                lastError() = 2;
                return 2;
            }
        }
    }
    return failed ? -failed : 0;
}

int CTextGroup::recognize() {
    if (!session) {
        lastError() = 101;
        return 1;
    }
    if (recognized) {
        lastError() = 102;
        return 1;
    }
    if (!session->hasRecognizer()) {
        lastError() = 103;
        return 1;
    }
    if (!strokes.count()) {
        lastError() = 104;
        return 1;
    }
    recognized = true;
    std::vector<int> kept;
    filterStrokes(kept);
    const int r = recognizeLines(kept);
    if (r > 0) return r;
    const int lineFailure = -r;  // 107 or 109: reported at the end
    if (splitParts()) {
        lastError() = 2;
        return 2;
    }
    if (!units.count()) {
        lastError() = 110;
        return 1;
    }
    buildWordList();
    tolerance = groupTolerance();
    if (groupWordsIntoLines() <= 0) {
        lastError() = 111;
        return 1;
    }
    const int step = strokes.count() / 5;
    session->advanceProgress(step, false);
    if (session->reportProgress()) return OMBRA_CANCELLED;
    if (!sortLines()) {
        lastError() = 112;
        return 1;
    }
    if (!markUnderlines()) {
        lastError() = 113;
        return 1;
    }
    session->advanceProgress(strokes.count() / 7, false);
    if (session->reportProgress()) return OMBRA_CANCELLED;
    if (const int failed = reRecognizeMarkedWords()) {
        lastError() = failed == 2 ? 2 : 114;
        return failed == 2 ? 2 : 1;
    }
    session->advanceProgress(step, false);
    if (session->reportProgress()) return OMBRA_CANCELLED;
    if (!removeUnderlineWords()) {
        lastError() = 115;
        return 1;
    }
    session->advanceProgress(step, false);
    if (session->reportProgress()) return OMBRA_CANCELLED;
    markParagraphs();
    if (paragraphPass) {
        markContent();
        markNeighbourhood();
    }
    markNoWords();
    if (paragraphPass) markLists();
    session->advanceProgress(step, false);
    if (session->reportProgress()) return OMBRA_CANCELLED;
    if (lineFailure) {
        lastError() = lineFailure;
        return 1;
    }
    return 0;
}

int CTextGroup::writeXml(CCharArray& out, int position) {
    if (!lines.count()) return 0;
    int at = position;
    auto add = [&](int n) {
        if (n > 0) at += n;
    };
    add(out.appendText(at, "<P>"));
    // A pass that found the line list broken (a missing line or word) has
    // failed the group; what it read is written all the same, so the missing
    // entries are passed over.
    auto nextLine = [&](int k) -> const _LSLINE* {
        for (int n = k + 1; n < lines.count(); ++n)
            if (lines.get(n)) return lines.get(n);
        return nullptr;
    };
    bool listOpen = false, runOfBlanks = false;
    for (int k = 0; k < lines.count(); ++k) {
        if (!lines.get(k)) continue;
        const _LSLINE& line = *lines.get(k);
        const bool marked = line.listStart || line.listEnd || line.itemStart;
        if (!line.content && !marked) {
            if (!runOfBlanks) add(out.appendText(at, "<Line id=\"0\"/>"));
            runOfBlanks = true;
            continue;
        }
        runOfBlanks = false;
        if (line.listStart) {
            static const char kTypes[] = "1aA*-";
            const char type = kTypes[std::min<int32_t>(std::max<int32_t>(line.listType, 0), 4)];
            const char marker = line.markerStyle == kMarkerParen ? ')'
                                : line.markerStyle == kMarkerDot ? '.'
                                                                 : '_';
            add(out.appendFormat(at, "<List Type=\"%c%c\"", type, marker));
            if (line.listType == kListNumbers)
                add(out.appendFormat(at, " Start=\"%d\"", line.startValue));
            else if (line.listType == kListSmallLetters || line.listType == kListCapitals)
                add(out.appendFormat(at, " Start=\"%c\"", static_cast<char>(line.startValue)));
            add(out.appendText(at, ">"));
            listOpen = true;
        }
        if (line.itemStart) {
            if (!line.listStart) add(out.appendText(at, "</LI>"));
            add(out.appendText(at, "<LI>"));
        }
        add(out.appendFormat(at, "<Line id=\"%d\">", k));
        if (!line.noWords) {
            for (int w = 0; w < line.words.count(); ++w) {
                const _LSTRAPEZ* place = line.words.get(w);
                if (!place || !place->word) continue;
                add(out.appendFormat(at, "<Word id=\"%d\">", w));
                add(place->word->writeXml(out, at));
                add(out.appendText(at, "</Word>"));
            }
        }
        add(out.appendText(at, "</Line>"));
        if (line.listEnd) {
            add(out.appendText(at, "</LI></List>"));
            listOpen = false;
        }
        if (line.paragraphEnd && !listOpen && !line.listEnd)
            add(out.appendText(at, "<Line id=\"0\"/>"));
        const _LSLINE* next = nextLine(k);
        if (next && !listOpen && (line.paragraphEnd || next->startsParagraph()))
            add(out.appendText(at, "</P><P>"));
    }
    add(out.appendText(at, "</P>"));
    return at - position;
}

}  // namespace ombra
