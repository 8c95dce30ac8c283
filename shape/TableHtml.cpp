// Tables as HTML: the cell step turns a grid into cells with row and column
// spans, each with an opening and a closing text; the assembly joins them
// into one text per table and records where each cell's content belongs.
#include <stdio.h>
#include <string.h>

#include "FixedMath.h"
#include "Memory.h"
#include "Tables.h"

namespace vexa {

namespace {

constexpr int kCellText = 1400;
constexpr int kClosingAt = 700;
const char kSolid[] = ".5pt solid windowtext";

enum Side { kLeft, kTop, kRight, kBottom };

// Appends to a zero-terminated buffer of `size` bytes, cutting what does not fit.
void append(char* buffer, int size, const char* text) {
    const size_t used = strlen(buffer);
    if (used + 1 >= static_cast<size_t>(size)) return;
    snprintf(buffer + used, static_cast<size_t>(size) - used, "%s", text);
}

struct P {
    int64_t x, y;
};

// The coordinate of a ruling polyline across `along` (the other axis' value):
// linear on a segment that spans it, else the vertex nearest along.
int64_t acrossAt(const int16_t* v, int n, int64_t along, bool wantY) {
    const int a = wantY ? 0 : 1, c = wantY ? 1 : 0;
    int nearest = 0;
    int64_t best = INT64_MAX;
    for (int i = 0; i < n; ++i) {
        const int64_t d = absValue(v[2 * i + a] - along);
        if (d < best) {
            best = d;
            nearest = i;
        }
        if (i + 1 < n) {
            const int64_t s0 = v[2 * i + a], s1 = v[2 * i + 2 + a];
            if (s0 != s1 && ((s0 <= along && along <= s1) || (s1 <= along && along <= s0))) {
                const int64_t f = (along - s0) * 1024 / (s1 - s0);
                return v[2 * i + c] + (((v[2 * i + 2 + c] - v[2 * i + c]) * f) >> 10);
            }
        }
    }
    return n > 0 ? v[2 * nearest + c] : 0;
}

// A corner refined where its two rulings meet.
P refined(P corner, const GridCell& vCell, int vSide, const GridCell& hCell, int hSide) {
    const int16_t* vr = vCell.ruling[vSide];
    const int16_t* hr = hCell.ruling[hSide];
    if (!vCell.rule[vSide] || !hCell.rule[hSide] || !vr || !hr) return corner;
    const int vn = vCell.rulingCount[vSide], hn = hCell.rulingCount[hSide];
    if (vn < 1 || hn < 1) return corner;
    int64_t x = (static_cast<int64_t>(vr[0]) + vr[2 * (vn - 1)]) / 2, y = corner.y;
    for (int k = 0; k < 3; ++k) {
        y = acrossAt(hr, hn, x, true);
        x = acrossAt(vr, vn, y, false);
    }
    return P{x, y};
}

int16_t toCallerUnits(int64_t v, int32_t shift) {
    return clamp16(shift < 0 ? v * 1024 : shiftRight(v * 1024, shift));
}

void cellCorners(Grid& g, int r, int c, int r2, int c2, int32_t shift, int16_t* out) {
    const GridCell& tl = g.at(r, c);
    const GridCell& tr = g.at(r, c2);
    const GridCell& br = g.at(r2, c2);
    const GridCell& bl = g.at(r2, c);
    P p[4] = {{tl.left, tl.top}, {tr.right, tr.top}, {br.right, br.bottom}, {bl.left, bl.bottom}};
    p[0] = refined(p[0], tl, kLeft, tl, kTop);
    p[1] = refined(p[1], tr, kRight, tr, kTop);
    p[2] = refined(p[2], br, kRight, br, kBottom);
    p[3] = refined(p[3], bl, kLeft, bl, kBottom);
    // A side without a ruling is pushed outward a little, so that writing
    // that runs past the open side stays in the cell.
    if (!g.at(r2, c).rule[kLeft]) {
        p[0].x -= (p[1].x - p[0].x) / 6;
        p[3].x -= (p[2].x - p[3].x) / 6;
    }
    // The open right side moves by a sixth like the left one; tripling the
    // width would reach far into the next table.
    if (!g.at(r2, c2).rule[kRight]) {
        p[1].x += (p[1].x - p[0].x) / 6;
        p[2].x += (p[2].x - p[3].x) / 6;
    }
    if (!g.at(r, c).rule[kTop]) {
        p[0].y -= (p[3].y - p[0].y) / 9;
        p[1].y -= (p[2].y - p[1].y) / 9;
    }
    if (!g.at(r2, c).rule[kBottom]) {
        p[3].y += (p[3].y - p[0].y) / 6;
        p[2].y += (p[2].y - p[1].y) / 6;
    }
    for (int k = 0; k < 4; ++k) {
        out[2 * k] = toCallerUnits(p[k].x, shift);
        out[2 * k + 1] = toCallerUnits(p[k].y, shift);
    }
}

}  // namespace

bool makeTableCells(Grid& g, VSTABLE* table, int32_t shift) {
    const int total = g.rows * g.columns;
    table->cells =
        static_cast<VSTABLECELL*>(allocZeroed(sizeof(VSTABLECELL) * static_cast<size_t>(total)));
    table->offsets =
        static_cast<uint32_t*>(allocZeroed(sizeof(uint32_t) * static_cast<size_t>(total + 2)));
    if (!table->cells || !table->offsets) {
        freeBlock(table->cells);
        freeBlock(table->offsets);
        table->cells = nullptr;
        table->offsets = nullptr;
        return false;
    }
    char opening[kClosingAt] = "";
    char closing[kClosingAt] = "";
    char text[200];
    int counter = 0;
    const int lastRow = g.rows - 1, lastColumn = g.columns - 1;
    for (int r = 0; r < g.rows; ++r) {
        // Sizes are given in the caller's units, like the corners.
        snprintf(text, sizeof(text), "\t<TR HEIGHT=\"%d\">\n",
                 toCallerUnits(static_cast<int64_t>(g.at(r, 0).bottom) - g.at(r, 0).top, shift));
        append(opening, sizeof(opening), text);
        for (int c = 0; c < g.columns; ++c) {
            GridCell& cell = g.at(r, c);
            if (cell.covered || !cell.emit) continue;
            int r2 = r, c2 = c;
            if (!cell.rule[kBottom])
                while (r2 < lastRow && !g.at(r2, c).rule[kBottom]) ++r2;
            if (!cell.rule[kRight])
                while (c2 < lastColumn && !g.at(r, c2).rule[kRight]) ++c2;
            const int64_t width = static_cast<int64_t>(g.at(r2, c2).right) - cell.left;
            const int64_t height = static_cast<int64_t>(g.at(r2, c2).bottom) - cell.top;
            snprintf(text, sizeof(text),
                     "\t\t<TD WIDTH=\"%d\" HEIGHT=\"%d\" COLSPAN=\"%d\" ROWSPAN=\"%d\" style='",
                     toCallerUnits(width, shift), toCallerUnits(height, shift), c2 - c + 1,
                     r2 - r + 1);
            append(opening, sizeof(opening), text);
            char border[64];
            if (r > 0 || g.framed || g.at(0, c).rule[kTop])
                snprintf(border, sizeof(border), "border-top:%s", kSolid);
            else
                snprintf(border, sizeof(border), "border-top:none");
            append(opening, sizeof(opening), border);
            if (r2 == lastRow && (g.framed || g.at(r2, c).rule[kBottom]))
                snprintf(border, sizeof(border), ";border-bottom:%s", kSolid);
            else
                snprintf(border, sizeof(border), ";border-bottom:none");
            append(opening, sizeof(opening), border);
            if (c > 0 || g.framed || g.at(r, 0).rule[kLeft])
                snprintf(border, sizeof(border), ";border-left:%s", kSolid);
            else
                snprintf(border, sizeof(border), ";border-left:none");
            append(opening, sizeof(opening), border);
            if (c2 == lastColumn && (g.framed || g.at(r, c2).rule[kRight]))
                snprintf(border, sizeof(border), ";border-right:%s", kSolid);
            else
                snprintf(border, sizeof(border), ";border-right:none");
            append(opening, sizeof(opening), border);
            append(opening, sizeof(opening), "'>\n");
            append(closing, sizeof(closing),
                   c2 == lastColumn ? "\t\t</TD>\n\t</TR>\n" : "\t\t</TD>\n");
            VSTABLECELL& out = table->cells[counter];
            cellCorners(g, r, c, r2, c2, shift, out.corners);
            out.text = static_cast<char*>(allocZeroed(kCellText));
            if (out.text) {
                memcpy(out.text, opening, strlen(opening) + 1);
                memcpy(out.text + kClosingAt, closing, strlen(closing) + 1);
            }
            ++counter;
            opening[0] = closing[0] = '\0';
            for (int rr = r; rr <= r2; ++rr)
                for (int cc = c; cc <= c2; ++cc) g.at(rr, cc).covered = 1;
        }
        // A row whose cells are all covered from above drops its row text.
        opening[0] = '\0';
    }
    table->done = 1;
    table->cellCount = static_cast<int16_t>(counter);
    return true;
}

void generateTablesHtml(AlignContext* context) {
    static const char kHead[] = "<TABLE BORDER=\"0\" cellpadding=\"0\" cellspacing=\"0\">\n";
    static const char kTail[] = "</TABLE>\n";
    for (int t = 0; t < context->tableCount; ++t) {
        VSTABLE* table = &context->tables[t];
        if (!table->done || !table->cells) continue;
        size_t length = 100 + 10;
        for (int i = 0; i < table->cellCount; ++i) {
            const char* text = table->cells[i].text;
            if (text) length += strlen(text) + strlen(text + kClosingAt) + 1;
        }
        freeBlock(table->html);
        table->html = nullptr;
        table->htmlLength = 0;
        // The length is reported in 16 bits.
        if (length > 0xFFFF) continue;
        char* html = static_cast<char*>(allocZeroed(length));
        if (!html) continue;
        size_t used = 0;
        auto put = [&](const char* s) {
            const size_t n = strlen(s);
            memcpy(html + used, s, n);
            used += n;
        };
        put(kHead);
        table->offsets[0] = 0;
        for (int i = 0; i < table->cellCount; ++i) {
            const char* text = table->cells[i].text;
            if (text) put(text);
            table->offsets[i + 1] = static_cast<uint32_t>(used);
            if (text) put(text + kClosingAt);
        }
        put(kTail);
        html[used] = '\0';
        table->offsets[table->cellCount + 1] = static_cast<uint32_t>(used);
        table->html = html;
        table->htmlLength = static_cast<uint16_t>(used);
    }
}

}  // namespace vexa
