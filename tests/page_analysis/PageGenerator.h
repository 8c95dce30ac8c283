// Generated pages for the accuracy test and the benchmark: bands of
// handwriting from the generator, lists (numbered, lettered, dashed), nested
// drawn shapes, column tables between two rulings and charts of labelled
// frames, each band recorded as made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PageInk.h"

struct MadeBand {
    int kind = 0;                    // the group kind the band should become
    int lines = 0;                   // text lines written (text bands)
    std::vector<std::string> words;  // in reading order
    int listItems = 0;               // a list of this many items (text bands)
};

struct MadePage {
    PageInk ink;
    std::vector<MadeBand> bands;
};

// A page of three to five bands of every kind.
MadePage makePage(uint32_t seed);
// A page of `lines` lines of text followed by one three-column table.
MadePage makeTextAndTablePage(int lines, uint32_t seed);
