// Ruled tables among the aligned shapes: a frame rectangle, or a group of
// crossing straight lines, with the straight lines whose both ends rest on it.
// The candidate search runs on the solver's results before they go back to
// the shapes; the grid detection after, from the disposition; each grid
// becomes a table record with its cells (TableHtml.cpp).
#ifndef VEXASHAPE_TABLES_H
#define VEXASHAPE_TABLES_H

#include <stdint.h>

#include "AlignContext.h"

namespace vexa {

enum TableRole : uint8_t { kTableNone, kTableRectangle, kTableLine };

// A slot as the candidate search sees it.
struct TableShape {
    uint8_t role;
    int32_t* box;    // rectangle: the solver's box record
    int32_t* line;   // line: its two ends (x0, y0, x1, y1), where the write-back reads them
    int32_t* line2;  // a second copy of the ends kept equal, or null
    int16_t alignId;
};

struct TableSearch {
    int32_t count;
    uint16_t frame[kAlignCapacity];   // the frame's slot, or kNoTable
    int32_t box[kAlignCapacity][4];   // left, top, right, bottom
    uint16_t member[kAlignCapacity];  // per slot: its candidate, kNoTable or kExcludedFromTables
};

// The candidates of a pass whose every shape is a rectangle or a straight
// line (otherwise none); marks start from the slots' table marks. Snaps line
// ends that lie within 1 of one another. The candidate count.
int32_t findTableCandidates(TableShape* shapes, int count, const uint16_t* slotMarks,
                            TableSearch* search);

// Centres rulings that lie nearly halfway between their neighbours; true when
// any was centred.
bool spaceRulings(TableShape* shapes, int count, const TableSearch& search);

// After the write-back and the disposition: a grid per candidate, the slots'
// table marks, and a table record (with its cells) per grid.
void buildTables(AlignContext* context, const TableSearch& search, int32_t shift);

// The cell step of one grid (TableHtml.cpp).
struct GridCell {
    int32_t left, top, right, bottom;
    uint8_t rule[4];  // left, top, right, bottom
    uint8_t emit, covered;
    const int16_t* ruling[4];  // the ruling's vertices
    uint16_t rulingCount[4];
};
struct Grid {
    int32_t rows, columns, stride;
    GridCell* cells;  // stride x stride, row-major
    bool framed;
    GridCell& at(int32_t r, int32_t c) { return cells[r * stride + c]; }
};
bool makeTableCells(Grid& grid, VSTABLE* table, int32_t shift);

// The HTML of every made table, with the content offsets of its cells.
void generateTablesHtml(AlignContext* context);

}  // namespace vexa

#endif
