#include "TableDetector.h"

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <new>
#include <string>

#include "BandTests.h"
#include "Session.h"
#include "TableGroup.h"
#include "TextGroup.h"

namespace ombra {

namespace {

int16_t clamp16(int64_t v) {
    return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

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

constexpr int kFrameFlags = 0x10C;
constexpr int kRulingFlags = 0x8C;
constexpr int kTableFinalize = 0x210;
constexpr int kMostTableRecords = 63;

struct Point64 {
    int64_t x, y;
};

// Winding-number test, as a polygon region with winding fill decides it.
bool insidePolygon(const std::vector<Point64>& poly, int64_t x, int64_t y) {
    int winding = 0;
    for (size_t i = 0; i + 1 < poly.size(); ++i) {
        const Point64& a = poly[i];
        const Point64& b = poly[i + 1];
        const int64_t cross = (b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y);
        if (a.y <= y) {
            if (b.y > y && cross > 0) ++winding;
        } else if (b.y <= y && cross < 0) {
            --winding;
        }
    }
    return winding != 0;
}

// Hands the shaper a piece of the stroke relative to the band's corner.
bool giveRecord(ShaperBinding& b, Shaper* shaper, const COmbraStroke& s, int from, int to,
                int64_t L, int64_t T, int flags) {
    std::vector<int16_t> points;
    for (int i = from; i <= to; ++i) {
        points.push_back(clamp16(int64_t(s.x(i)) - L));
        points.push_back(clamp16(int64_t(s.y(i)) - T));
    }
    const ShaperStroke record = {0, to - from + 1, points.data(), 0};
    return b.AddStroke2ShaperEx(shaper, &record, flags) != 0xFFFF;
}

int nearestPoint(const COmbraStroke& s, int64_t x, int64_t y) {
    int best = 0;
    int64_t bestDistance = INT64_MAX;
    for (int i = 0; i < s.count; ++i) {
        const int64_t dx = s.x(i) - x, dy = s.y(i) - y;
        const int64_t d = dx * dx + dy * dy;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return best;
}

class TableShaper {
  public:
    explicit TableShaper(ShaperBinding& b) : b_(b), shaper_(b.InitShaper()) {}
    ~TableShaper() {
        if (shaper_) b_.DestroyShaper(shaper_);
    }
    Shaper* get() const { return shaper_; }

  private:
    ShaperBinding& b_;
    Shaper* shaper_;
};

bool framedTable(COmbraGroup& band, const VSANSWER* frame, std::vector<COmbraGroup*>& out) {
    COmbraSession* session = band.session;
    ShaperBinding& b = *session->shaper;
    const int64_t T = band.box.top, L = band.box.left;
    const int64_t W = (int64_t(band.box.right) - L) * 2 / 3,
                  H = (int64_t(band.box.bottom) - T) * 3 / 5;
    if (frame && (frame->strokeCount < 1 || frame->strokeCount > 4)) return false;
    TableShaper table(b);
    if (!table.get()) return false;
    const uint16_t alignOn = 1;
    b.SetShaperProperty(table.get(), &alignOn, VS_PROPERTY_ALIGN_MODE);

    // Every record given: its page stroke and its shape number.
    std::vector<std::pair<int, int>> records;
    auto strokeWithId = [&](uint16_t id) {
        for (int i = 0; i < band.strokes.count(); ++i) {
            const COmbraStroke* s = session->stroke(band.strokes.get(i));
            if (s && static_cast<uint16_t>(s->id) == id) return band.strokes.get(i);
        }
        return -1;
    };
    std::vector<int> frameStrokes;
    if (frame) {
        for (int k = 0; k < frame->strokeCount; ++k) {
            const int index = frame->aliases ? strokeWithId(frame->aliases[k]) : -1;
            const COmbraStroke* s = session->stroke(index);
            if (!s || s->count < 1) return false;
            frameStrokes.push_back(index);
            if (!giveRecord(b, table.get(), *s, 0, s->count - 1, L, T, kFrameFlags)) return false;
            records.push_back({index, 0});
        }
        b.FinalizeShapesEx(table.get(), 0);
        if (b.GetShapeNum(table.get()) != 1) return false;
    }
    int shapeNumber = frame ? 1 : 0;
    for (int i = 0; i < band.strokes.count(); ++i) {
        const int index = band.strokes.get(i);
        if (std::find(frameStrokes.begin(), frameStrokes.end(), index) != frameStrokes.end())
            continue;
        const VSANSWER* plain = band.answerHolding(false, index);
        const COmbraStroke* s = session->stroke(index);
        if (!s || lineValue(plain, W, H) < 1) continue;
        for (int k = 0; k + 1 < plain->vertexCount; ++k) {
            const int from = nearestPoint(*s, plain->vertices[2 * k], plain->vertices[2 * k + 1]);
            const int to = nearestPoint(*s, plain->vertices[2 * k + 2], plain->vertices[2 * k + 3]);
            if (to - from + 1 < 2) break;
            if (static_cast<int>(records.size()) >= kMostTableRecords) return false;
            if (!giveRecord(b, table.get(), *s, from, to, L, T, kRulingFlags)) return false;
            records.push_back({index, shapeNumber++});
        }
    }
    b.FinalizeShapesEx(table.get(), kTableFinalize);
    b.GenerateTablesXML(table.get());
    uint16_t count = 0;
    const VSTABLE* tables = b.GetTable(table.get(), &count);
    int chosen = -1;
    for (int t = 0; tables && t < count; ++t) {
        const VSTABLE& r = tables[t];
        if (!r.done || !r.html || !r.offsets || !r.cells || r.cellCount < 1) continue;
        if (chosen < 0 || r.cellCount > tables[chosen].cellCount) chosen = t;
    }
    if (chosen < 0) return false;
    const VSTABLE& record = tables[chosen];

    CTableGroup* group = new (std::nothrow) CTableGroup(session);
    if (!group || !group->copyFrom(band)) {
        delete group;
        return false;
    }
    group->groupKind = kGroupTable;
    group->box = band.box;
    group->html.assign(record.html, std::strlen(record.html));
    group->cellCount = record.cellCount;
    for (int c = 1; c <= record.cellCount + 1; ++c)
        group->offsets.push_back(static_cast<int>(record.offsets[c]));
    std::vector<std::vector<Point64>> cells(record.cellCount);
    FRect tableBox;
    for (int c = 0; c < record.cellCount; ++c) {
        const int16_t* k = record.cells[c].corners;
        for (int p = 0; p < 4; ++p) {
            cells[c].push_back({k[2 * p], k[2 * p + 1]});
            tableBox.grow(k[2 * p], k[2 * p + 1]);
        }
        cells[c].push_back(cells[c].front());
    }
    std::vector<bool> tableStroke(session->ink.count(), false);
    for (const auto& r : records)
        if (b.GetStrokeTable(table.get(), static_cast<int16_t>(r.second)) == chosen)
            tableStroke[r.first] = true;

    // The strokes of each cell and around the table.
    enum { kAbove, kBelow, kLeft, kRight, kAround };
    std::vector<std::vector<int>> content(record.cellCount), around(kAround);
    int previousCell = 0;
    for (int i = 0; i < band.strokes.count(); ++i) {
        const int index = band.strokes.get(i);
        const COmbraStroke* s = session->stroke(index);
        if (!s || s->count < 1 || tableStroke[index]) continue;
        if (s->box.bottom <= T + tableBox.top) {
            around[kAbove].push_back(index);
            continue;
        }
        if (s->box.top >= T + tableBox.bottom) {
            around[kBelow].push_back(index);
            continue;
        }
        if (s->box.right <= L + tableBox.left) {
            around[kLeft].push_back(index);
            continue;
        }
        if (s->box.left >= L + tableBox.right) {
            around[kRight].push_back(index);
            continue;
        }
        std::vector<int> samples = {0};
        if (s->count == 2) samples.push_back(1);
        if (s->count > 2) samples = {0, (s->count + 1) / 3, (2 * s->count + 1) / 3};
        const size_t needed = samples.size() == 1 ? 1 : 2;
        int found = -1;
        for (int t = -1; t < record.cellCount && found < 0; ++t) {
            const int c = t < 0 ? previousCell : t;
            size_t inside = 0;
            for (int k : samples) inside += insidePolygon(cells[c], s->x(k) - L, s->y(k) - T);
            if (inside >= needed) found = c;
        }
        if (found >= 0) {
            content[found].push_back(index);
            previousCell = found;
            continue;
        }
        const int64_t cx = s->box.centreX() - L, cy = s->box.centreY() - T;
        const int64_t w = tableBox.width(), h = tableBox.height();
        if (cy < tableBox.top + h / 5)
            around[kAbove].push_back(index);
        else if (cy > tableBox.bottom - h / 5)
            around[kBelow].push_back(index);
        else if (cx < tableBox.left + w / 5)
            around[kLeft].push_back(index);
        else if (cx > tableBox.right - w / 5)
            around[kRight].push_back(index);
    }
    for (int c = 0; c < record.cellCount; ++c) {
        CTextGroup* cell = makeCell(session, content[c]);
        if (!cell || !group->addChild(cell)) {
            delete cell;
            delete group;
            return false;
        }
    }
    // Above, the table, below, then the neighbours left and right.
    auto neighbour = [&](int side) {
        if (around[side].empty()) return;
        CTextGroup* text = new (std::nothrow) CTextGroup(session);
        if (!text) return;
        for (int index : around[side]) text->addStroke(index);
        if (text->runShaper(0))
            out.push_back(text);
        else
            delete text;
    };
    neighbour(kAbove);
    out.push_back(group);
    neighbour(kBelow);
    neighbour(kLeft);
    neighbour(kRight);
    session->advanceProgress(band.strokes.count() / 7, false);
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
    if (frame) lineStrokes.push_back(-1);
    if (lineStrokes.size() < 2) return false;
    return framedTable(band, frame, out);
}

}  // namespace ombra
