// A band found to be a ruled table: the table's HTML from the shape
// recognizer, where each cell's content goes in it, and one text group per
// cell (the group's children, in cell order).
#ifndef OMBRA_TABLEGROUP_H
#define OMBRA_TABLEGROUP_H

#include <string>
#include <vector>

#include "PageTree.h"

namespace ombra {

class CTableGroup : public COmbraGroup {
  public:
    explicit CTableGroup(COmbraSession* session) : COmbraGroup(session, kGroupTable) {}

    void clear() override;
    void deleteContents() override;
    COmbraGroup* cloneGroup() const override;
    // The HTML with each cell's text written at its offset; nothing when the
    // cells and the offsets disagree.
    int writeXml(CCharArray& out, int position) override;

    std::string html;
    int cellCount = 0;
    // cellCount + 1 values: where each cell's content goes, then the HTML's length.
    std::vector<int> offsets;
};

}  // namespace ombra

#endif
