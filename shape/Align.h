// The alignment core: which finished shapes take part in a pass, how they are
// split into boxes and vertex shapes for the solver, how the results go back
// into the shapes and their answers, the disposition of every pair, and the
// driver of table detection.
#ifndef VEXASHAPE_ALIGN_H
#define VEXASHAPE_ALIGN_H

#include <stdint.h>

#include "AlignContext.h"
#include "Shaper.h"

namespace vexa {

constexpr int kAlignTablesFlag = 0x200;

// One alignment pass over the newest finished shapes; the finished count.
int16_t applyVexaAlign(Shaper* shaper, int flags);

// mode = (flags & 0x200) + 1. 1 when a pass ran.
int alignShapes(AlignContext* context, int mode);

// Rebuilds the n x n disposition (row a, column b, written for a < b). The
// old one is freed; none is left when memory is short.
void computeDisposition(AlignContext* context);

// A parallelogram of five vertices, closed, with sides along the axes.
bool isAxisRectangle(const AlignSlot& slot);
// The box of a circle or of an ellipse whose direction lies along an axis;
// vertical: the ellipse's own first axis is upright.
bool axisEllipseBox(const AlignSlot& slot, int32_t box[4], bool* vertical, bool* circle);

// Disposition bits.
enum DispositionBits : uint32_t {
    kSameWidth = 0x01,
    kSameHeight = 0x02,
    kOneCollinearPair = 0x04,
    kCollinearPairs = 0x08,
    kOneContact = 0x10,
    kContacts = 0x20,
    kEdgeAlong = 0x30,
    kLineSpansRectangle = 0x40,
    kSecondFirstEndOnFirst = 0x80,
    kSecondLastEndOnFirst = 0x100,
    kFirstFirstEndOnSecond = 0x200,
    kFirstLastEndOnSecond = 0x400,
};

}  // namespace vexa

#endif
