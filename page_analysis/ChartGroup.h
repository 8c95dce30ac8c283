// A band found to be a chart: frames with labels written inside them. The
// frames write nothing; each frame's labels are a text group of their own.
#ifndef OMBRA_CHARTGROUP_H
#define OMBRA_CHARTGROUP_H

#include "PageTree.h"

namespace ombra {

class CChartGroup : public COmbraGroup {
  public:
    explicit CChartGroup(COmbraSession* session) : COmbraGroup(session, kGroupChart) {}
    void clear() override {
        COmbraGroup::clear();
        groupKind = kGroupChart;
    }
};

}  // namespace ombra

#endif
