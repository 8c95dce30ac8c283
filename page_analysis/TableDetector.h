// Tells whether a band is a ruled table: a band split by long vertical rulings
// into columns, or a frame with rulings inside that the shape recognizer
// turns into a grid of cells. Each cell's handwriting becomes a text group.
#ifndef OMBRA_TABLEDETECTOR_H
#define OMBRA_TABLEDETECTOR_H

#include <vector>

namespace ombra {

class COmbraGroup;

// True when the band is a table: `out` then holds the groups that replace the
// band, in page order (the table group among them). The band is left as it is.
bool detectTableGroups(COmbraGroup& band, std::vector<COmbraGroup*>& out);

}  // namespace ombra

#endif
