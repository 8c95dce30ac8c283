// The passes over a text group's sorted lines: paragraph breaks, lists and
// their items, underlined and struck words, and lines written without words.
#include <algorithm>
#include <cstdlib>
#include <map>

#include "Session.h"
#include "TextGroup.h"
#include "TextUnit.h"

namespace ombra {

namespace {

struct Marker {
    int type = -1;  // ListType, -1 none
    int style = 0;
    int32_t start = 0;
};

// The marker style of the character after a marker: nothing or a blank,
// ")" or "."; 0 for anything else.
int styleAt(uint16_t c) {
    return c == 0 || c == ' ' ? kMarkerBlank : c == ')' ? kMarkerParen : c == '.' ? kMarkerDot : 0;
}

// A leading number, dash or letter of an alternative's text, as a list starts.
Marker markerOf(const TextAlternative& alt) {
    Marker m;
    const uint16_t* t = alt.text;
    if (t[0] >= '0' && t[0] <= '9') {
        int value = 0, i = 0;
        while (i < 3 && t[i] >= '0' && t[i] <= '9') value = value * 10 + (t[i++] - '0');
        const int style = styleAt(t[i]);
        if (value <= 36 && style && !(t[i] >= '0' && t[i] <= '9')) {
            m.type = kListNumbers;
            m.style = style;
            m.start = value;
        }
        return m;
    }
    if (t[0] == '-' || (t[0] == '_' && t[1] == 0)) {
        m.type = kListDashes;
        m.style = kMarkerBlank;
        return m;
    }
    const bool small = t[0] >= 'a' && t[0] <= 'c', capital = t[0] >= 'A' && t[0] <= 'C';
    if (small || capital) {
        const int style = styleAt(t[1]);
        const bool first = t[0] == 'a' || t[0] == 'A';
        if (style && (first || style != kMarkerBlank)) {
            m.type = small ? kListSmallLetters : kListCapitals;
            m.style = style;
            m.start = t[0];
        }
    }
    return m;
}

bool isBullet(const COmbraSession& session, const CTextUnit& word, int64_t lineHeight) {
    if (word.strokes.count() != 1) return false;
    const COmbraStroke* s = session.stroke(word.strokes.get(0));
    if (!s) return false;
    const int64_t w = s->width(), h = s->height(), path = s->pathLength;
    if (3 * (w + h) > 5 * lineHeight) return false;
    return path >= 3 * (w + h) + 3 ||
           (path >= 2 * (w + h + 1) && path * s->strokeWidth * 2 / 3 >= w * h);
}

void moveToFront(CTextUnit& word, int alt) {
    if (alt <= 0 || alt >= word.altCount) return;
    const TextAlternative chosen = word.alts[alt];
    for (int i = alt; i > 0; --i) word.alts[i] = word.alts[i - 1];
    word.alts[0] = chosen;
}

// How many alternatives the search for the next item reads at distance k.
int altsToTry(int type, int k) {
    switch (type) {
        case kListNumbers:
            return k <= 8 ? kMaxAlternatives : k <= 18 ? 5 : 2;
        case kListSmallLetters:
        case kListCapitals:
            return k <= 4 ? kMaxAlternatives : k <= 12 ? 4 : k <= 25 ? 2 : 0;
        case kListDashes:
            return k == 1 ? kMaxAlternatives : k == 2 ? 4 : k == 3 ? 1 : 0;
        default:
            return 0;
    }
}

// The dominant value among the strokes of the line's words; -1 for none.
int32_t dominant(const COmbraSession& session, const _LSLINE& line, bool width) {
    std::map<int32_t, int> counts;
    for (int w = 0; w < line.words.count(); ++w) {
        const CTextUnit* word = line.words.get(w)->word;
        for (int i = 0; i < word->strokes.count(); ++i)
            if (const COmbraStroke* s = session.stroke(word->strokes.get(i)))
                ++counts[width ? s->strokeWidth : s->attribute];
    }
    int32_t best = -1;
    int most = 0;
    for (const auto& c : counts)
        if (c.second > most) {
            most = c.second;
            best = c.first;
        }
    return best;
}

// The line through two baseline-box points at x, in 1/1024 steps.
int64_t along(const Point32& a, const Point32& b, int64_t x) {
    if (b.x == a.x) return a.y;
    const int64_t w = (x - a.x) * 1024 / (int64_t(b.x) - a.x);
    return a.y + (((int64_t(b.y) - a.y) * w) >> 10);
}

bool flatLine(const VSANSWER* a) {
    if (!a || a->kind != 6 || a->vertexCount != 2) return false;
    const int64_t dx = int64_t(a->vertices[2]) - a->vertices[0];
    const int64_t dy = int64_t(a->vertices[3]) - a->vertices[1];
    return std::llabs(dx) >= 3 * std::llabs(dy);
}

}  // namespace

int underlineTest(const _LSTRAPEZ& word, int64_t xa, int64_t ya, int64_t xb, int64_t yb,
                  int64_t T) {
    const int64_t L = word.xLeft, R = word.xRight;
    if ((R - L) * 3 / 4 >= std::min(xb, R) - std::max(xa, L)) return 0;
    const int64_t xl = std::max(xa, L), xr = std::min(xb, R);
    auto lineAt = [&](int64_t x) {
        if (xb == xa) return ya;
        return ya + (((yb - ya) * ((x - xa) * 1024 / (xb - xa))) >> 10);
    };
    const int64_t yl = lineAt(xl), yr = lineAt(xr);
    const CTextUnit* w = word.word;
    const int64_t bl = along(w->baseline[1], w->baseline[3], xl);
    const int64_t br = along(w->baseline[1], w->baseline[3], xr);
    const int64_t tl = along(w->baseline[0], w->baseline[2], xl);
    const int64_t tr = along(w->baseline[0], w->baseline[2], xr);
    const int64_t t = word.height, f = w->meanWidth();
    const bool under = yl - bl <= T + t && bl - yl <= f / 2 && yr - br <= T + t &&
                       br - yr <= f / 2 && xr - xl >= std::llabs(yl - bl) + std::llabs(yr - br);
    if (under) return 1;
    const int64_t ml = (bl + tl) / 2, mr = (br + tr) / 2;
    if (std::llabs(yl - ml) < t && std::llabs(yr - mr) < t &&
        std::llabs((yl + yr) - (ml + mr)) < t * 3 / 5)
        return 2;
    return 0;
}

bool CTextGroup::markUnderlines() {
    for (int l = 0; l < lines.count(); ++l) {
        const _LSLINE* line = lines.get(l);
        if (!line) return false;
        for (int w = 0; w < line->words.count(); ++w)
            if (!line->words.get(w) || !line->words.get(w)->word) return false;
    }
    for (int index : lineShapes) {
        const VSANSWER* a = answerHolding(false, index);
        if (!a || a->vertexCount != 2) continue;
        int64_t xa = a->vertices[0], ya = a->vertices[1], xb = a->vertices[2], yb = a->vertices[3];
        if (xa > xb) {
            std::swap(xa, xb);
            std::swap(ya, yb);
        }
        for (int l = 0; l < lines.count(); ++l) {
            const _LSLINE* line = lines.get(l);
            for (int w = 0; w < line->words.count(); ++w) {
                const _LSTRAPEZ* word = line->words.get(w);
                const int mark = underlineTest(*word, xa, ya, xb, yb, tolerance);
                if (mark == 1) word->word->style |= kStyleUnderlined;
                if (mark == 2) word->word->style |= kStyleStruck;
            }
        }
    }
    return true;
}

bool CTextGroup::removeUnderlineWords() {
    for (int l = lines.count() - 1; l >= 0; --l) {
        _LSLINE* line = lines.get(l);
        if (!line) return false;
        for (int w = line->words.count() - 1; w >= 0; --w) {
            _LSTRAPEZ* candidate = line->words.get(w);
            if (!candidate || !candidate->word) return false;
            CTextUnit* word = candidate->word;
            if (word->strokes.count() != 1) continue;
            const VSANSWER* a = answerHolding(false, word->strokes.get(0));
            if (!flatLine(a)) continue;
            int64_t xa = a->vertices[0], ya = a->vertices[1], xb = a->vertices[2],
                    yb = a->vertices[3];
            if (xa > xb) {
                std::swap(xa, xb);
                std::swap(ya, yb);
            }
            _LSTRAPEZ* underlined = nullptr;
            for (int li = l; li >= l - 1 && li >= 0 && !underlined; --li) {
                const _LSLINE* other = lines.get(li);
                if (!other) return false;
                for (int k = other->words.count() - 1; k >= 0 && !underlined; --k) {
                    _LSTRAPEZ* target = other->words.get(k);
                    if (!target || !target->word) return false;
                    if (target != candidate &&
                        underlineTest(*target, xa, ya, xb, yb, tolerance) == 1)
                        underlined = target;
                }
            }
            if (!underlined) continue;
            const int unit = units.indexOf(word), listed = wordList.indexOf(candidate);
            if (unit < 0 || listed < 0) return false;
            underlined->word->style |= kStyleUnderlined;
            line->words.remove(w);
            units.remove(unit);
            wordList.remove(listed);
            delete word;
            delete candidate;
        }
        if (!line->words.count()) {
            lines.remove(l);
            delete line;
        } else {
            refreshLine(*line);
        }
    }
    return true;
}

void CTextGroup::markParagraphs() {
    const int n = lines.count();
    for (int i = 0; i < n; ++i) {
        _LSLINE& line = *lines.get(i);
        line.paragraphEnd = line.styleChange = line.indent = false;
        line.dominantAttribute = dominant(*session, line, false);
        line.dominantWidth = dominant(*session, line, true);
        bool all = line.words.count() > 0;
        for (int w = 0; w < line.words.count() && all; ++w)
            all = line.words.get(w)->word->style & kStyleUnderlined;
        line.underlined = all;
    }
    if (n < 2) return;
    int64_t gaps = 0;
    for (int i = 0; i + 1 < n; ++i)
        gaps += std::max<int64_t>(0, int64_t(lines.get(i + 1)->top) - lines.get(i)->bottom);
    const int64_t K = gaps / (n - 1);
    for (int i = 0; i + 1 < n; ++i) {
        _LSLINE& line = *lines.get(i);
        const _LSLINE& next = *lines.get(i + 1);
        const int64_t g = std::max<int64_t>(0, int64_t(next.top) - line.bottom);
        const int64_t heights =
            (int64_t(line.bottom) - line.top) + (int64_t(next.bottom) - next.top);
        if (g > std::max<int64_t>(K, 1) * 7 / 4 && g >= (heights + 2) / 2) line.paragraphEnd = true;
    }
    for (int i = 1; i < n; ++i) {
        _LSLINE& line = *lines.get(i);
        const _LSLINE& prev = *lines.get(i - 1);
        // Only -1 means none: stroke values may be negative.
        if (line.dominantAttribute != -1 && prev.dominantAttribute != -1 &&
            line.dominantAttribute != prev.dominantAttribute)
            line.styleChange = true;
        if (line.dominantWidth != -1 && prev.dominantWidth != -1 &&
            line.dominantWidth != prev.dominantWidth)
            line.styleChange = true;
    }
    for (int i = 0; i + 1 < n; ++i) {
        _LSLINE& line = *lines.get(i);
        const _LSLINE& next = *lines.get(i + 1);
        if (!line.words.count() || !next.words.count()) continue;
        const int64_t shift = int64_t(line.words.get(0)->xLeft) - next.words.get(0)->xLeft;
        if (2 * shift > 3 * int64_t(line.height)) line.indent = true;
    }
}

void CTextGroup::markNoWords() {
    if (lines.count() < 2) return;
    const bool keepWords =
        parent && (parent->groupKind == kGroupChart || parent->groupKind == kGroupTable);
    for (int i = 0; i < lines.count(); ++i) {
        _LSLINE& line = *lines.get(i);
        line.noWords =
            !keepWords && line.words.count() == 1 && line.words.get(0)->word->strokes.count() <= 1;
    }
}

void CTextGroup::markLists() {
    const int n = lines.count();
    for (int i = 0; i < n; ++i) {
        _LSLINE* first = lines.get(i);
        if (!first->content || !first->words.count()) continue;
        CTextUnit* head = first->words.get(0)->word;
        Marker m;
        int matched = 0;
        for (int a = 0; a < head->altCount && m.type < 0; ++a) {
            m = markerOf(head->alts[a]);
            matched = a;
        }
        if (m.type < 0 && isBullet(*session, *head, first->height)) {
            m.type = kListBullets;
            m.style = kMarkerBlank;
            matched = head->altCount - 1;
        }
        if (m.type < 0) continue;
        // Collect the items that follow.
        std::vector<std::pair<int, int>> items = {{i, matched}};
        Marker previous = m;
        for (int from = i;;) {
            int found = -1, foundAlt = 0;
            for (int j = from + 1, k = 1; j < n; ++j, ++k) {
                const _LSLINE* line = lines.get(j);
                if (!line->words.count()) break;
                CTextUnit* word = line->words.get(0)->word;
                if (previous.type == kListBullets) {
                    if (k > 2) break;
                    if (isBullet(*session, *word, line->height)) {
                        found = j;
                        foundAlt = word->altCount - 1;
                        break;
                    }
                    continue;
                }
                const int tries = std::min(altsToTry(previous.type, k), word->altCount);
                if (!tries && previous.type != kListNumbers) break;
                for (int a = 0; a < tries && found < 0; ++a) {
                    const Marker next = markerOf(word->alts[a]);
                    bool fits = false;
                    const TextAlternative& alt = word->alts[a];
                    if (previous.type == kListDashes) {
                        fits = (alt.text[0] == '-' || alt.text[0] == '_') && alt.text[1] == 0;
                    } else if (previous.type == kListSmallLetters ||
                               previous.type == kListCapitals) {
                        // Any next letter, past "c" too, with the same marker style.
                        fits = alt.text[0] == previous.start + 1 &&
                               styleAt(alt.text[1]) == previous.style;
                    } else {
                        fits = next.type == previous.type && next.style == previous.style &&
                               next.start == previous.start + 1;
                    }
                    if (fits) {
                        found = j;
                        foundAlt = a;
                    }
                }
                if (found >= 0) break;
            }
            if (found < 0) break;
            items.push_back({found, foundAlt});
            if (previous.type != kListBullets && previous.type != kListDashes) ++previous.start;
            from = found;
        }
        if (items.size() < 2) continue;
        for (const auto& item : items) {
            _LSLINE* line = lines.get(item.first);
            line->itemStart = true;
            moveToFront(*line->words.get(0)->word, item.second);
        }
        first->listStart = true;
        first->listType = m.type;
        first->markerStyle = m.style;
        first->startValue = m.start;
        lines.get(items.back().first)->listEnd = true;
        i = items.back().first;
    }
}

}  // namespace ombra
