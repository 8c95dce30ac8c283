#include "Tables.h"

#include <string.h>

#include "Align.h"
#include "AlignRun.h"
#include "FixedMath.h"
#include "Memory.h"
#include "ShapeAnswer.h"

namespace vexa {

namespace {

bool boxesOverlap(const int32_t* a, const int32_t* b) {
    return a[0] < b[2] && b[0] < a[2] && a[1] < b[3] && b[1] < a[3];
}

bool upright(const int32_t* l) { return l[0] == l[2]; }
bool level(const int32_t* l) { return l[1] == l[3]; }
int32_t lo(int32_t a, int32_t b) { return a < b ? a : b; }
int32_t hi(int32_t a, int32_t b) { return a < b ? b : a; }

void setEnd(TableShape& s, int index, int32_t value) {
    s.line[index] = value;
    if (s.line2) s.line2[index] = value;
}

// A line's extent along its direction and its position across it.
struct Span {
    bool vertical;
    int32_t from, to, at;
};

Span spanOf(const int32_t* l) {
    if (upright(l)) return Span{true, lo(l[1], l[3]), hi(l[1], l[3]), l[0]};
    return Span{false, lo(l[0], l[2]), hi(l[0], l[2]), l[1]};
}

// Whether line j joins the group that seed s starts.
bool joinsSeed(const Span& s, const int32_t* line) {
    if (!upright(line) && !level(line)) return false;
    const Span j = spanOf(line);
    const int32_t length = s.to - s.from;
    if (j.vertical == s.vertical) {
        if (j.at != s.at) return false;
        const int32_t before = s.from - j.from > 0 ? s.from - j.from : 0;
        const int32_t after = j.to - s.to > 0 ? j.to - s.to : 0;
        return before <= 25 && after <= 25 && before + after <= length / 3;
    }
    const int32_t out = j.at < s.from ? s.from - j.at : (j.at > s.to ? j.at - s.to : 0);
    return out <= 25 && 2 * out <= length / 3 && j.from <= s.at && s.at <= j.to;
}

}  // namespace

int32_t findTableCandidates(TableShape* shapes, int count, const uint16_t* slotMarks,
                            TableSearch* search) {
    search->count = 0;
    bool userExcluded[kAlignCapacity] = {};
    for (int i = 0; i < count; ++i) {
        search->member[i] = kNoTable;
        search->frame[i] = kNoTable;
        if (slotMarks[i] == kExcludedFromTables && shapes[i].role != kTableNone) {
            search->member[i] = kExcludedFromTables;
            userExcluded[i] = true;
        }
    }
    // Line ends within 1 of one another meet exactly.
    for (int a = 0; a < count; ++a) {
        if (shapes[a].role != kTableLine) continue;
        for (int ea = 0; ea < 2; ++ea)
            for (int b = 0; b < count; ++b) {
                if (shapes[b].role != kTableLine) continue;
                for (int eb = 0; eb < 2; ++eb) {
                    if (a == b && ea == eb) continue;
                    for (int d = 0; d < 2; ++d) {
                        const int32_t v = shapes[a].line[2 * ea + d];
                        if (absValue(static_cast<int64_t>(shapes[b].line[2 * eb + d]) - v) <= 1)
                            setEnd(shapes[b], 2 * eb + d, v);
                    }
                }
            }
    }
    for (int r = 0; r < count; ++r) {
        if (shapes[r].role != kTableRectangle || userExcluded[r]) continue;
        const int32_t* b = shapes[r].box;
        const int32_t box[4] = {b[kBoxLeft], b[kBoxTop], b[kBoxRight], b[kBoxBottom]};
        bool overlaps = false;
        for (int k = 0; k < search->count; ++k)
            overlaps = overlaps || boxesOverlap(box, search->box[k]);
        if (overlaps) continue;
        const int k = search->count++;
        search->frame[k] = static_cast<uint16_t>(r);
        memcpy(search->box[k], box, sizeof(box));
        search->member[r] = static_cast<uint16_t>(k);
        for (int i = 0; i < count; ++i) {
            if (shapes[i].role != kTableLine || userExcluded[i]) continue;
            const int32_t* l = shapes[i].line;
            if (!upright(l) && !level(l)) {
                search->member[i] = kExcludedFromTables;
                continue;
            }
            if (search->member[i] != kNoTable) continue;
            const bool inside = l[0] >= box[0] && l[0] <= box[2] && l[2] >= box[0] &&
                                l[2] <= box[2] && l[1] >= box[1] && l[1] <= box[3] &&
                                l[3] >= box[1] && l[3] <= box[3];
            if (inside) search->member[i] = static_cast<uint16_t>(k);
        }
    }
    int lastLine = -1;
    for (int i = 0; i < count; ++i)
        if (shapes[i].role == kTableLine) lastLine = i;
    for (int seed = 0; seed < lastLine; ++seed) {
        if (shapes[seed].role != kTableLine || search->member[seed] != kNoTable) continue;
        const int32_t* sl = shapes[seed].line;
        if (!upright(sl) && !level(sl)) continue;
        const Span s = spanOf(sl);
        const uint16_t k = static_cast<uint16_t>(search->count);
        uint16_t before[kAlignCapacity];
        int joined = 0;
        int32_t box[4] = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
        for (int j = 0; j < count; ++j) {
            before[j] = search->member[j];
            if (shapes[j].role != kTableLine || userExcluded[j]) continue;
            if (search->member[j] != kNoTable && search->member[j] != kExcludedFromTables) continue;
            if (!joinsSeed(s, shapes[j].line)) continue;
            search->member[j] = k;
            ++joined;
            const Span js = spanOf(shapes[j].line);
            if (js.vertical) {
                box[1] = lo(box[1], js.from);
                box[3] = hi(box[3], js.to);
            } else {
                box[0] = lo(box[0], js.from);
                box[2] = hi(box[2], js.to);
            }
        }
        // A line alone is no table.
        bool keep = joined >= 2 && box[0] <= box[2] && box[1] <= box[3];
        for (int c = 0; keep && c < search->count; ++c) keep = !boxesOverlap(box, search->box[c]);
        if (!keep) {
            for (int j = 0; j < count; ++j)
                if (search->member[j] == k && before[j] != k) search->member[j] = kNoTable;
            continue;
        }
        search->frame[k] = kNoTable;
        memcpy(search->box[k], box, sizeof(box));
        ++search->count;
        for (int j = 0; j < count; ++j) {
            if (shapes[j].role != kTableLine || search->member[j] != kNoTable) continue;
            const int32_t* l = shapes[j].line;
            const Span js = spanOf(l);
            const int32_t length = js.to - js.from;
            auto overlapOf = [&](int32_t a, int32_t b) {
                const int32_t o = lo(js.to, b) - hi(js.from, a);
                return o > 0 ? o : 0;
            };
            bool onBorder = false;
            if (upright(l) && !level(l))
                onBorder = (absValue(static_cast<int64_t>(js.at) - box[0]) <= 1 ||
                            absValue(static_cast<int64_t>(js.at) - box[2]) <= 1) &&
                           2 * overlapOf(box[1], box[3]) > length;
            else if (level(l) && !upright(l))
                onBorder = (absValue(static_cast<int64_t>(js.at) - box[1]) <= 1 ||
                            absValue(static_cast<int64_t>(js.at) - box[3]) <= 1) &&
                           2 * overlapOf(box[0], box[2]) > length;
            if (onBorder) search->member[j] = k;
        }
    }
    return search->count;
}

namespace {

// A ruling's run: vertical (x fixed) or horizontal (y fixed).
struct Ruling {
    bool vertical;
    int32_t at, from, to;  // position across, extent along
};

bool rulingOf(const TableShape& s, Ruling* r) {
    if (s.role != kTableLine) return false;
    const int32_t* l = s.line;
    if (upright(l) && !level(l)) {
        *r = Ruling{true, l[0], lo(l[1], l[3]), hi(l[1], l[3])};
        return true;
    }
    if (level(l) && !upright(l)) {
        *r = Ruling{false, l[1], lo(l[0], l[2]), hi(l[0], l[2])};
        return true;
    }
    return false;
}

constexpr int kNoNeighbour = -1;
constexpr int kBoxLow = -2;   // the box's left (or top) side
constexpr int kBoxHigh = -3;  // its right (or bottom) side

}  // namespace

bool spaceRulings(TableShape* shapes, int count, const TableSearch& search) {
    bool anyCentred = false;
    for (int k = 0; k < search.count; ++k) {
        const int32_t* box = search.box[k];
        bool member[kAlignCapacity] = {};
        Ruling ruling[kAlignCapacity];
        bool isRuling[kAlignCapacity] = {};
        for (int i = 0; i < count; ++i) {
            isRuling[i] = rulingOf(shapes[i], &ruling[i]);
            member[i] = isRuling[i] && search.member[i] == k && shapes[i].alignId >= 0 &&
                        ruling[i].to - ruling[i].from > 6;
        }
        // Junctions: the perpendicular members an end of each member rests on.
        int junction[kAlignCapacity][2];
        int left[kAlignCapacity], right[kAlignCapacity];
        bool centre[kAlignCapacity] = {};
        for (int i = 0; i < count; ++i) {
            junction[i][0] = junction[i][1] = kNoNeighbour;
            left[i] = right[i] = kNoNeighbour;
            if (!member[i]) continue;
            const Ruling& L = ruling[i];
            const int32_t* l = shapes[i].line;
            const int32_t firstAlong = L.vertical ? l[1] : l[0];
            const int32_t secondAlong = L.vertical ? l[3] : l[2];
            for (int j = 0; j < count; ++j) {
                if (!member[j] || ruling[j].vertical == L.vertical) continue;
                if (ruling[j].from > L.at || ruling[j].to < L.at) continue;
                if (ruling[j].at == firstAlong) junction[i][0] = j;
                if (ruling[j].at == secondAlong) junction[i][1] = j;
            }
            // Neighbours: the nearest parallel runs on either side that overlap
            // at least half of this one.
            const int32_t length = L.to - L.from;
            int32_t nearLow = INT32_MIN, nearHigh = INT32_MAX;
            auto consider = [&](int32_t at, int32_t from, int32_t to, int id) {
                if (!(to - L.from > 6 && L.to - from > 6)) return;
                const int32_t overlap = lo(to, L.to) - hi(from, L.from);
                if (overlap <= 0 || ratio1024(overlap, length) < 512) return;
                if (at < L.at && at > nearLow) {
                    nearLow = at;
                    left[i] = id;
                } else if (at > L.at && at < nearHigh) {
                    nearHigh = at;
                    right[i] = id;
                }
            };
            if (L.vertical) {
                consider(box[0], box[1], box[3], kBoxLow);
                consider(box[2], box[1], box[3], kBoxHigh);
            } else {
                consider(box[1], box[0], box[2], kBoxLow);
                consider(box[3], box[0], box[2], kBoxHigh);
            }
            for (int j = 0; j < count; ++j)
                if (j != i && isRuling[j] && ruling[j].vertical == L.vertical &&
                    ruling[j].to - ruling[j].from >= 7)
                    consider(ruling[j].at, ruling[j].from, ruling[j].to, j);
            if (left[i] == kNoNeighbour || right[i] == kNoNeighbour) continue;
            // Straight runs have no spread: the test is on the two gaps alone.
            const int64_t gapLeft = static_cast<int64_t>(nearLow) - L.at;
            const int64_t gapRight = static_cast<int64_t>(nearHigh) - L.at;
            const int64_t a = absValue(gapRight + gapLeft);
            centre[i] = gapRight - gapLeft > 0 && a * 1024 / (gapRight - gapLeft) < 170;
        }
        // Spacing in quarter units: each centred member moves toward the middle
        // of its neighbours, all members of a round from the state before it.
        int64_t cur[kAlignCapacity], next[kAlignCapacity];
        for (int i = 0; i < count; ++i)
            cur[i] = isRuling[i] ? 4 * static_cast<int64_t>(ruling[i].at) : 0;
        auto positionOf = [&](int id, bool vertical) -> int64_t {
            if (id == kBoxLow) return 4 * static_cast<int64_t>(vertical ? box[0] : box[1]);
            if (id == kBoxHigh) return 4 * static_cast<int64_t>(vertical ? box[2] : box[3]);
            return cur[id];
        };
        bool centred = false;
        for (int round = 0; round < 20; ++round) {
            for (int i = 0; i < count; ++i) next[i] = cur[i];
            for (int direction = 0; direction < 2; ++direction)
                for (int i = 0; i < count; ++i) {
                    if (!centre[i] || ruling[i].vertical != (direction == 0)) continue;
                    if (4 * (static_cast<int64_t>(ruling[i].to) - ruling[i].from) <= 24) continue;
                    const bool v = ruling[i].vertical;
                    next[i] = (cur[i] + positionOf(left[i], v) + 1 + positionOf(right[i], v)) / 3;
                    centred = true;
                }
            for (int i = 0; i < count; ++i) cur[i] = next[i];
        }
        for (int i = 0; i < count; ++i) {
            if (!member[i]) continue;
            const int32_t at = clamp32(shiftRight(cur[i], 2));
            const int across = ruling[i].vertical ? 0 : 1;
            setEnd(shapes[i], across, at);
            setEnd(shapes[i], 2 + across, at);
            ruling[i].at = at;
        }
        // Ends that rested on a junction go back onto it.
        for (int i = 0; i < count; ++i) {
            if (!member[i]) continue;
            const int along = ruling[i].vertical ? 1 : 0;
            for (int e = 0; e < 2; ++e) {
                const int j = junction[i][e];
                if (j < 0) continue;
                const int32_t v = shapes[i].line[2 * e + along];
                if (absValue(static_cast<int64_t>(v) - ruling[j].at) < 25)
                    setEnd(shapes[i], 2 * e + along, ruling[j].at);
            }
        }
        anyCentred = anyCentred || centred;
    }
    return anyCentred;
}

namespace {

void setRuling(GridCell& cell, int side, const int16_t* vertices, uint16_t count) {
    cell.rule[side] = 1;
    cell.ruling[side] = vertices;
    cell.rulingCount[side] = count;
}

enum Side { kLeft, kTop, kRight, kBottom };

// Inserts a ruling: a level line splits the row it crosses and rules the
// cells above and below it; an upright line the same with columns. Bands are
// the rows (or columns) the line cuts across; `at` is its position, [from, to]
// its extent along the bands.
void insertRuling(Grid& g, bool level, int32_t at, int32_t from, int32_t to, const int16_t* v) {
    int& bands = level ? g.rows : g.columns;
    const int across = level ? g.columns : g.rows;
    auto cell = [&](int band, int k) -> GridCell& { return level ? g.at(band, k) : g.at(k, band); };
    const int lowSide = level ? kTop : kLeft, highSide = level ? kBottom : kRight;
    auto low = [&](GridCell& c) -> int32_t& { return level ? c.top : c.left; };
    auto high = [&](GridCell& c) -> int32_t& { return level ? c.bottom : c.right; };
    int b = 0;
    while (b < bands && high(cell(b, 0)) <= at) ++b;
    int lineBand;
    if (b == bands) {
        lineBand = bands;  // at or beyond the last band's far side
    } else if (low(cell(b, 0)) < at) {
        if (bands >= g.stride) return;
        for (int k = 0; k < across; ++k) {
            for (int band = bands; band > b; --band) cell(band, k) = cell(band - 1, k);
            GridCell& first = cell(b, k);
            GridCell& second = cell(b + 1, k);
            high(first) = at;
            first.rule[highSide] = 0;
            low(second) = at;
            second.rule[lowSide] = 0;
        }
        ++bands;
        lineBand = b + 1;
    } else {
        lineBand = b;
    }
    for (int k = 0; k < across; ++k) {
        GridCell& probe = cell(lineBand < bands ? lineBand : bands - 1, k);
        const int32_t probeLow = level ? probe.left : probe.top;
        const int32_t probeHigh = level ? probe.right : probe.bottom;
        if (probeLow < from - 1 || probeHigh > to + 1) continue;
        if (lineBand < bands) setRuling(cell(lineBand, k), lowSide, v, 2);
        if (lineBand > 0) setRuling(cell(lineBand - 1, k), highSide, v, 2);
    }
}

bool isLine(const AlignSlot& slot) { return slot.kind == kKindPolyline && slot.vertexCount == 2; }

// Whether end e of line i rests on a shape of table t.
bool endAttached(const AlignContext* context, int i, int e, uint16_t t, const Grid& g,
                 const int32_t* box) {
    const int n = context->shapeCount;
    const uint32_t* d = context->disposition;
    for (int j = 0; d && j < n; ++j) {
        if (j == i || context->slots[j].tableMark != t) continue;
        const uint32_t bits = j < i ? d[j * n + i] : d[i * n + j];
        const uint32_t want = j < i ? (e ? kSecondLastEndOnFirst : kSecondFirstEndOnFirst)
                                    : (e ? kFirstLastEndOnSecond : kFirstFirstEndOnSecond);
        if (bits & want) return true;
    }
    if (g.framed) return false;
    // Without a frame, an end on a side of the box that the other end is not on.
    const int16_t* v = context->slots[i].vertices;
    const int32_t px = v[2 * e], py = v[2 * e + 1], qx = v[2 - 2 * e], qy = v[3 - 2 * e];
    return (px == box[0] && qx != box[0]) || (px == box[2] && qx != box[2]) ||
           (py == box[1] && qy != box[1]) || (py == box[3] && qy != box[3]);
}

}  // namespace

void buildTables(AlignContext* context, const TableSearch& search, int32_t shift) {
    const int n = context->shapeCount;
    context->tables =
        static_cast<VSTABLE*>(allocZeroed(sizeof(VSTABLE) * static_cast<size_t>(search.count)));
    GridCell* cells = static_cast<GridCell*>(
        allocZeroed(sizeof(GridCell) * static_cast<size_t>(n + 1) * static_cast<size_t>(n + 1)));
    if (!context->tables || !cells) {
        freeBlock(cells);
        freeBlock(context->tables);
        context->tables = nullptr;
        return;
    }
    for (int k = 0; k < search.count; ++k) {
        // Shapes carry the number of the table record they end up in, so
        // that a candidate without a grid leaves no gap in the numbering.
        const uint16_t t = static_cast<uint16_t>(context->tableCount);
        const int32_t* box = search.box[k];
        Grid g = {1, 1, n + 1, cells, search.frame[k] != kNoTable};
        memset(cells, 0,
               sizeof(GridCell) * static_cast<size_t>(n + 1) * static_cast<size_t>(n + 1));
        GridCell& first = g.at(0, 0);
        first.left = box[0];
        first.top = box[1];
        first.right = box[2];
        first.bottom = box[3];
        if (g.framed) {
            AlignSlot& frame = context->slots[search.frame[k]];
            if (frame.tableMark != kExcludedFromTables) frame.tableMark = t;
            // The frame is written back as (l,t) (l,b) (r,b) (r,t) (l,t).
            const int16_t* v = frame.vertices;
            setRuling(first, kLeft, v, 2);
            setRuling(first, kBottom, v + 2, 2);
            setRuling(first, kRight, v + 4, 2);
            setRuling(first, kTop, v + 6, 2);
        }
        for (int round = 0; round < n; ++round) {
            int pick = -1;
            for (int i = 0; i < n && pick < 0; ++i) {
                const AlignSlot& slot = context->slots[i];
                if (slot.tableMark != kNoTable || !isLine(slot)) continue;
                if (endAttached(context, i, 0, t, g, box) && endAttached(context, i, 1, t, g, box))
                    pick = i;
            }
            if (pick < 0) break;
            AlignSlot& line = context->slots[pick];
            line.tableMark = t;
            const int16_t* v = line.vertices;
            if (v[0] != v[2])
                insertRuling(g, true, v[1], lo(v[0], v[2]), hi(v[0], v[2]), v);
            else
                insertRuling(g, false, v[0], lo(v[1], v[3]), hi(v[1], v[3]), v);
        }
        if (g.rows == 1 && g.columns == 1) {
            for (int i = 0; i < n; ++i)
                if (context->slots[i].tableMark == t) context->slots[i].tableMark = kNoTable;
            continue;
        }
        for (int r = 0; r < g.rows; ++r)
            for (int c = 0; c < g.columns; ++c) g.at(r, c).emit = 1;
        VSTABLE* table = &context->tables[context->tableCount++];
        makeTableCells(g, table, shift);
    }
    freeBlock(cells);
}

}  // namespace vexa
