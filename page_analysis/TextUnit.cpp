#include "TextUnit.h"

#include <algorithm>
#include <memory>
#include <new>

#include "Session.h"

namespace ombra {

int TextAlternative::length() const {
    int n = 0;
    while (n < kAltTextUnits && text[n]) ++n;
    return n;
}

COmbraUnit* CTextUnit::clone() const {
    CTextUnit* copy = new (std::nothrow) CTextUnit(session);
    if (!copy) return nullptr;
    if (!copyUnitInto(*copy)) {
        delete copy;
        return nullptr;
    }
    copy->confidence = confidence;
    copy->altCount = altCount;
    std::copy(alts, alts + kMaxAlternatives, copy->alts);
    std::copy(baseline, baseline + 4, copy->baseline);
    copy->style = style;
    copy->partCount = partCount;
    for (int i = 0; i < kMaxParts; ++i) copy->parts[i] = parts[i];
    copy->summary = summary;
    return copy;
}

void CTextUnit::reset() {
    COmbraUnit::reset();
    kind = kUnitWord;
    confidence = 0;
    altCount = 0;
    for (TextAlternative& a : alts) a = TextAlternative();
    for (Point32& p : baseline) p = Point32();
    style = 0;
    partCount = 0;
    for (std::vector<int>& p : parts) p.clear();
    summary = WordSummary();
}

int CTextUnit::writeXml(CCharArray& out, int position) {
    if (!session || !session->writer) return 0;
    int at = position;
    auto add = [&](int n) {
        if (n > 0) at += n;
    };
    add(out.appendFormat(at, "<Conf>%d</Conf>", confidence));
    if (style & (kStyleUnderlined | kStyleStruck | kStyleBold)) {
        add(out.appendText(at, "<Style>"));
        const char* sep = "";
        const struct {
            int bit;
            const char* mark;
        } marks[] = {{kStyleUnderlined, "U"}, {kStyleStruck, "S"}, {kStyleBold, "B"}};
        for (const auto& m : marks) {
            if (!(style & m.bit)) continue;
            add(out.appendFormat(at, "%s%s", sep, m.mark));
            sep = " ";
        }
        add(out.appendText(at, "</Style>"));
    }
    if (strokes.count() > 0) {
        for (int i = 0; i < strokes.count(); ++i) {
            const COmbraStroke* s = session->stroke(strokes.get(i));
            const int id = s ? s->id : 0;
            add(out.appendFormat(at, i ? " %d" : "<Aliases>%d", id));
        }
        add(out.appendText(at, "</Aliases>"));
    }
    for (int i = 0; i < altCount && i < kMaxAlternatives; ++i) {
        session->clearScratch();
        session->writer->reset();
        session->writer->encode(alts[i].text, alts[i].length());
        session->writer->flush();
        add(out.appendFormat(at, "<Alt w=\"%d\">%s</Alt>", alts[i].weight, session->scratch));
        session->clearScratch();
    }
    return at - position;
}

int32_t CTextUnit::meanWidth() const {
    const int n = strokes.count();
    if (!n || !session) return 0;
    int64_t sum = 0;
    for (int i = 0; i < n; ++i) {
        const COmbraStroke* s = session->stroke(strokes.get(i));
        if (s) sum += s->strokeWidth;
    }
    return static_cast<int32_t>((sum + n / 2) / n);
}

CTextUnit* CTextUnit::fromBlock(COmbraSession* session, int block, const std::vector<int>& given,
                                int32_t originX, int32_t originY, int* error) {
    RecognizerBinding* rec = session->recognizer;
    PSO_HRC rc = session->recContext();
    const int n = static_cast<int>(given.size());
    auto pageStroke = [&](int32_t number) {
        return number >= 0 && number < n ? given[number] : -1;
    };

    // Owned until it is handed out: every way out of here frees it.
    std::unique_ptr<CTextUnit> word(new (std::nothrow) CTextUnit(session));
    if (!word) {
        *error = 2;
        return nullptr;
    }
    auto fail = [&](int code) {
        *error = code;
        return static_cast<CTextUnit*>(nullptr);
    };

    const int alternatives =
        std::min<int>(rec->GetNumWordsInAnswerBlock(rc, block), kMaxAlternatives);
    int32_t confidence = 0;
    if (rec->GetAnswerConfidence(rc, block, &confidence) != PSO_OK) return fail(116);
    word->confidence = confidence;
    PSO_POINT points[4] = {};
    if (rec->GetRecWordBaseline(rc, block, 0, points) != PSO_OK) return fail(118);
    const int32_t scale = session->ink.scale ? session->ink.scale : 16;
    for (int i = 0; i < 4; ++i) {
        word->baseline[i].x = static_cast<int32_t>(originX + int64_t(points[i].x) * 16 / scale);
        word->baseline[i].y = static_cast<int32_t>(originY + int64_t(points[i].y) * 16 / scale);
    }

    int32_t numbers[kMaxAltStrokes];
    const int room = std::min(n, kMaxAltStrokes);
    const bool dot = points[0].x == points[1].x && points[0].y == points[1].y &&
                     points[0].x == points[2].x && points[0].y == points[2].y &&
                     points[0].x == points[3].x && points[0].y == points[3].y;
    if (dot) {
        // A word of dots only: one full stop, its strokes those of the first alternative.
        PSO_WCHAR text[kAltTextUnits] = {};
        int32_t weight = 0, count = 0;
        if (rec->GetWordFromAnswerBlockW(rc, block, 0, text, &weight, numbers, &count, room) !=
            PSO_OK)
            return fail(119);
        TextAlternative& a = word->alts[0];
        a.text[0] = '.';
        a.weight = 50;
        for (int k = 0; k < count && k < room; ++k) {
            const int s = pageStroke(numbers[k]);
            if (s >= 0) a.strokes[a.strokeCount++] = s;
        }
        word->altCount = 1;
    } else {
        for (int i = 0; i < alternatives; ++i) {
            PSO_WCHAR text[kAltTextUnits] = {};
            int32_t weight = 0, count = 0;
            if (rec->GetWordFromAnswerBlockW(rc, block, i, text, &weight, numbers, &count, room) !=
                PSO_OK) {
                if (i == 0) return fail(119);
                break;
            }
            TextAlternative& a = word->alts[i];
            for (int k = 0; k < kAltTextUnits - 1 && text[k]; ++k)
                a.text[k] = static_cast<uint16_t>(text[k]);
            a.weight = weight;
            for (int k = 0; k < count && k < room; ++k) {
                const int s = pageStroke(numbers[k]);
                if (s >= 0) a.strokes[a.strokeCount++] = s;
            }
            int32_t values[2] = {0, 0};
            if (rec->GetExtraAnswerData(rc, block, i, PSO_EXTRA_ALT_VALUES, 0, values) >= 0) {
                a.values[0] = values[0];
                a.values[1] = values[1];
            }
            word->altCount = i + 1;
            if (i) continue;
            const int32_t partCount =
                rec->GetExtraAnswerData(rc, block, 0, PSO_EXTRA_PART_COUNT, 0, nullptr);
            if (partCount > 1) {
                word->partCount = std::min<int>(partCount, kMaxParts);
                for (int p = 0; p < word->partCount; ++p) {
                    const int32_t c = rec->GetExtraAnswerData(
                        rc, block, 0, PSO_EXTRA_PART_STROKE_COUNT, p, nullptr);
                    // A part of the first alternative holds some of the
                    // strokes given, never more: a larger count is no count
                    // to size a buffer by.
                    if (c < 1 || c > n) return fail(121);
                    std::vector<int32_t> part(static_cast<size_t>(c));
                    if (rec->GetExtraAnswerData(rc, block, 0, PSO_EXTRA_PART_STROKES, p,
                                                part.data()) < 0)
                        return fail(120);
                    for (int32_t number : part) {
                        const int s = pageStroke(number);
                        if (s >= 0) word->parts[p].push_back(s);
                    }
                }
            }
        }
    }
    for (int k = 0; k < word->alts[0].strokeCount; ++k) word->addStroke(word->alts[0].strokes[k]);
    if (word->meanWidth() > session->ink.meanWidth) word->style |= kStyleBold;
    word->computeSummary();
    return word.release();
}

namespace {

// The line through a and b at x, also outside [a.x, b.x].
int32_t lineAt(const Point32& a, const Point32& b, int32_t x) {
    const int64_t w = (int64_t(b.x) - x) * 1024 / (int64_t(b.x) - a.x);
    return static_cast<int32_t>((w * a.y + (1024 - w) * b.y) >> 10);
}

}  // namespace

void CTextUnit::computeSummary() {
    const int n = strokes.count();
    if (!n || !session) return;
    int64_t indexSum = 0, heightSum = 0, middleSum = 0;
    int counted = 0;
    for (int i = 0; i < n; ++i) {
        const COmbraStroke* s = session->stroke(strokes.get(i));
        if (!s) continue;
        indexSum += strokes.get(i);
        heightSum += s->height();
        middleSum += (int64_t(s->box.top) + s->box.bottom) / 2;
        ++counted;
    }
    if (!counted) return;
    const int64_t hm = heightSum / counted, ym = middleSum / counted;
    summary.meanStroke = static_cast<int32_t>(indexSum / counted);
    const int64_t leftHeight = int64_t(baseline[1].y) - baseline[0].y;
    const int64_t rightHeight = int64_t(baseline[3].y) - baseline[2].y;
    const int64_t hb = ((leftHeight + rightHeight) / 2 + hm) / 2;

    int64_t tallest = -1;
    for (int i = 0; i < n; ++i) {
        const COmbraStroke* s = session->stroke(strokes.get(i));
        if (s && s->height() > tallest) tallest = s->height();
    }
    bool first = true;
    int64_t xl = 0, xr = 0, lt = 0, lb = 0, rt = 0, rb = 0, lct = 0, lcb = 0, rct = 0, rcb = 0;
    for (int i = 0; i < n; ++i) {
        const COmbraStroke* s = session->stroke(strokes.get(i));
        if (!s) continue;
        const int64_t h = s->height(), w = s->width();
        const bool counts = (h >= hm * 3 / 10 && w + h >= hm * 3 / 5) || h == tallest;
        if (!counts) continue;
        const int64_t e = std::max<int64_t>(0, w - hb);
        const int64_t tt = s->box.top + e, tb = s->box.bottom - e;
        if (first) {
            first = false;
            xl = s->box.left;
            xr = s->box.right;
            lt = rt = s->box.top;
            lb = rb = s->box.bottom;
            lct = rct = tt;
            lcb = rcb = tb;
            continue;
        }
        if (s->box.left < xl) {
            const int64_t d = xl - s->box.left;
            lt = std::min<int64_t>(s->box.top, lt + d / 2);
            lb = std::max<int64_t>(s->box.bottom, lb - d / 2);
            xl = s->box.left;
            lct = tt;
            lcb = tb;
        }
        if (s->box.right > xr) {
            const int64_t d = s->box.right - xr;
            rt = std::min<int64_t>(s->box.top, rt + d / 2);
            rb = std::max<int64_t>(s->box.bottom, rb - d / 2);
            xr = s->box.right;
            rct = tt;
            rcb = tb;
        }
    }
    if (baseline[2].x - baseline[0].x > 0 && baseline[3].x - baseline[1].x > 0) {
        lt = (lineAt(baseline[0], baseline[2], static_cast<int32_t>(xl)) + lt) / 2;
        rt = (lineAt(baseline[0], baseline[2], static_cast<int32_t>(xr)) + rt) / 2;
        lb = (lineAt(baseline[1], baseline[3], static_cast<int32_t>(xl)) + lb) / 2;
        rb = (lineAt(baseline[1], baseline[3], static_cast<int32_t>(xr)) + rb) / 2;
    }
    // Each end at least half the mean stroke height high.
    auto atLeast = [&](int64_t& top, int64_t& bottom) {
        const int64_t d = hm / 2 - (bottom - top);
        if (d <= 0) return;
        if (bottom < ym) {
            bottom += d;
        } else if (top > ym) {
            top -= d;
        } else {
            bottom += d / 2;
            top -= d / 2;
        }
    };
    atLeast(lt, lb);
    atLeast(rt, rb);
    summary.xLeft = static_cast<int32_t>(xl);
    summary.xRight = static_cast<int32_t>(xr);
    summary.height = static_cast<int32_t>(((lb - lt) + (rb - rt)) / 2);
    summary.topLeft = static_cast<int32_t>(std::min(lt, lct));
    summary.bottomLeft = static_cast<int32_t>(std::max(lb, lcb));
    summary.topRight = static_cast<int32_t>(std::min(rt, rct));
    summary.bottomRight = static_cast<int32_t>(std::max(rb, rcb));
}

}  // namespace ombra
