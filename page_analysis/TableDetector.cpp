#include "TableDetector.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <string>

#include "BandTests.h"
#include "Session.h"
#include "TableGroup.h"
#include "TextGroup.h"

namespace ombra {

namespace {

bool axisNear(int64_t dx, int64_t dy) {
    dx = std::llabs(dx);
    dy = std::llabs(dy);
    return !(dy < 3 * dx && dx < 3 * dy);
}

// 0: no line; 1: a short axis-near segment; 2: a long one; 3: a polyline of
// long axis-near segments.
int lineValue(const VSANSWER* a, int64_t W, int64_t H) {
    if (!a || a->kind != 6 || !a->vertices) return 0;
    if (a->vertexCount == 2) {
        const int64_t dx = int64_t(a->vertices[2]) - a->vertices[0];
        const int64_t dy = int64_t(a->vertices[3]) - a->vertices[1];
        if (!axisNear(dx, dy)) return 0;
        return std::llabs(dx) >= W || std::llabs(dy) >= H ? 2 : 1;
    }
    if (a->vertexCount == 3 || a->vertexCount == 4) {
        for (int k = 0; k + 1 < a->vertexCount; ++k) {
            const int64_t dx = int64_t(a->vertices[2 * k + 2]) - a->vertices[2 * k];
            const int64_t dy = int64_t(a->vertices[2 * k + 3]) - a->vertices[2 * k + 1];
            if (!axisNear(dx, dy) || (std::llabs(dx) < W && std::llabs(dy) < H)) return 0;
        }
        return 3;
    }
    return 0;
}

// A cell's handwriting as a text group: an empty one when it fails the plain
// pass or the text test.
CTextGroup* makeCell(COmbraSession* session, const std::vector<int>& cellStrokes) {
    CTextGroup* cell = new (std::nothrow) CTextGroup(session);
    if (!cell) return nullptr;
    for (int index : cellStrokes) cell->addStroke(index);
    if (cell->strokes.count() && (!cell->runShaper(0) || !cell->isTextGroup())) {
        delete cell;
        cell = new (std::nothrow) CTextGroup(session);
    }
    return cell;
}

bool columnTable(COmbraGroup& band, const std::vector<int>& rulingStrokes,
                 std::vector<COmbraGroup*>& out) {
    COmbraSession* session = band.session;
    const int64_t L = band.box.left, R = band.box.right;
    std::vector<int64_t> xs;
    for (int index : rulingStrokes) {
        const VSANSWER* a = band.answerHolding(false, index);
        if (!a || a->vertexCount != 2 || a->vertices[0] != a->vertices[2]) return false;
        xs.push_back(a->vertices[0]);
    }
    std::sort(xs.begin(), xs.end());
    if (xs.front() < L || R < xs.back()) return false;
    const bool leftCell = L < xs.front(), rightCell = xs.back() < R;
    const int n = static_cast<int>(xs.size());
    const int cells = n - 1 + (leftCell ? 1 : 0) + (rightCell ? 1 : 0);
    if (cells < 2) return false;
    std::vector<std::vector<int>> content(cells);
    for (int i = 0; i < band.strokes.count(); ++i) {
        const int index = band.strokes.get(i);
        if (std::find(rulingStrokes.begin(), rulingStrokes.end(), index) != rulingStrokes.end())
            continue;
        const COmbraStroke* s = session->stroke(index);
        if (!s) continue;
        int column = -1;
        if (s->box.right < xs.front()) {
            column = 0;
        } else if (s->box.left > xs.back()) {
            column = cells - 1;
        } else {
            for (int k = 1; k < n && column < 0; ++k)
                if (xs[k - 1] < s->box.left && s->box.right < xs[k])
                    column = k - 1 + (leftCell ? 1 : 0);
        }
        if (column < 0) return false;  // the stroke crosses a ruling
        content[column].push_back(index);
    }
    CTableGroup* table = new (std::nothrow) CTableGroup(session);
    if (!table || !table->copyFrom(band)) {
        delete table;
        return false;
    }
    table->groupKind = kGroupTable;
    table->box = band.box;
    const char* noBorders =
        "\t\t<TD WIDTH=\"%%%d\" style='border-top:none;border-bottom:none;border-left:none;"
        "border-right:none'>\n";
    const char* leftBorder =
        "\t\t<TD WIDTH=\"%%%d\" style='border-top:none;border-bottom:none;border-left:.5pt solid "
        "windowtext;border-right:none'>\n";
    const char* bothBorders =
        "\t\t<TD WIDTH=\"%%%d\" style='border-top:none;border-bottom:none;border-left:.5pt solid "
        "windowtext;border-right:.5pt solid windowtext'>\n";
    CCharArray html;
    int at = 0;
    auto add = [&](int k) {
        if (k > 0) at += k;
    };
    add(html.appendText(at, "<TABLE BORDER=\"0\" cellpadding=\"0\" cellspacing=\"0\">\n"));
    add(html.appendFormat(at, "\t<TR HEIGHT=\"%%%d\">\n", static_cast<int>(band.box.height())));
    std::vector<int> offsets;
    auto cell = [&](const char* format, int64_t width) {
        add(html.appendFormat(at, format, static_cast<int>(width)));
        offsets.push_back(at);
        add(html.appendText(at, "</TD>\n"));
    };
    if (leftCell) cell(noBorders, xs.front() - L);
    for (int k = 1; k < n; ++k)
        cell(k == n - 1 && !rightCell ? bothBorders : leftBorder, xs[k] - xs[k - 1]);
    if (rightCell) cell(leftBorder, R - xs.back());
    add(html.appendText(at, "\t</TR>\n"));
    add(html.appendText(at, "</TABLE>\n"));
    table->html.assign(html.text(), at);
    table->offsets = offsets;
    table->offsets.push_back(at);
    table->cellCount = cells;
    for (int c = 0; c < cells; ++c) {
        CTextGroup* group = makeCell(session, content[c]);
        if (!group || !table->addChild(group)) {
            delete group;
            delete table;
            return false;
        }
    }
    out.push_back(table);
    return true;
}

}  // namespace

bool detectTableGroups(COmbraGroup& band, std::vector<COmbraGroup*>& out) {
    COmbraSession* session = band.session;
    if (!session || !session->hasShaper() || band.strokes.count() < 2) return false;
    const int64_t T = band.box.top, B = band.box.bottom, L = band.box.left, R = band.box.right;
    const int64_t W = (R - L) * 2 / 3, H = (B - T) * 3 / 5;
    const int64_t m = typicalStrokeHeight(*session, band);
    if (!band.runShaper(1) || !band.runShaper(2)) return false;

    std::vector<int> rulings, lineStrokes;
    const VSANSWER* frame = nullptr;
    for (int i = 0; i < band.strokes.count(); ++i) {
        const int index = band.strokes.get(i);
        const VSANSWER* templ = band.answerHolding(true, index);
        const VSANSWER* plain = band.answerHolding(false, index);
        if (!templ || !plain) return false;
        if (templ->kind == 2 && std::string(templ->name, strnlen(templ->name, 32)) == "PARA" &&
            templ->vertexCount >= 3 &&
            std::llabs(int64_t(templ->vertices[4]) - templ->vertices[0]) >= W &&
            std::llabs(int64_t(templ->vertices[5]) - templ->vertices[1]) >= H) {
            if (frame && frame != templ) return false;
            frame = templ;
            continue;
        }
        const int value = lineValue(plain, W, H);
        if (value < 2) continue;
        lineStrokes.push_back(index);
        const int64_t tall = (B - T) * 2 / 3;
        if (tall >= 2 * m && plain->vertexCount == 2 && plain->vertices[0] == plain->vertices[2] &&
            std::llabs(int64_t(plain->vertices[3]) - plain->vertices[1]) > tall)
            rulings.push_back(index);
    }
    if (!rulings.empty() && rulings.size() == lineStrokes.size() && !frame) {
        if (B - T < 2 * m) return false;
        if (!columnTable(band, rulings, out)) return false;
        session->advanceProgress(band.strokes.count() / 7, false);
        return true;
    }
    // Framed tables are built by the shape recognizer's grid detection.
    return false;
}

}  // namespace ombra
