// The page is cut into horizontal bands at stroke-free gaps measured in line
// heights; each band is then told apart as a table, a chart, text or shapes.
#include <algorithm>
#include <new>
#include <vector>

#include "ChartGroup.h"
#include "Session.h"
#include "TableDetector.h"
#include "TextGroup.h"

namespace ombra {

std::vector<int64_t> COmbraSession::findBandCuts() const {
    std::vector<int64_t> cuts;
    const int64_t h = lineHeight;
    if (h <= 0) return cuts;
    struct Entry {
        int64_t tag, at;
        int64_t depth;
    };
    std::vector<Entry> entries;
    for (int i = 0; i < ink.count(); ++i) {
        const COmbraStroke* s = ink.stroke(i);
        if (!s || s->count < 1 || (s->flags & OMBRA_STROKE_NO_SEGMENTATION)) continue;
        entries.push_back({2 * int64_t(i), s->box.top, 0});
        entries.push_back({2 * int64_t(i) + 1, s->box.bottom, 0});
    }
    if (entries.empty()) return cuts;
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.at != b.at ? a.at < b.at : a.tag < b.tag;
    });
    int64_t depth = 0;
    for (Entry& e : entries) {
        depth += (e.tag & 1) ? -1 : 1;
        if (depth < 0) return cuts;
        e.depth = depth;
    }
    cuts.push_back(entries.front().at - 1);
    for (size_t i = 0; i + 1 < entries.size(); ++i) {
        const int64_t a = entries[i].at, b = entries[i + 1].at, d = entries[i].depth;
        const int64_t last = cuts.back(), mid = (a + b + 1) / 2, gap = b - a, band = mid - last;
        const bool acrossFew = d / std::max<int64_t>(1, gap / h) < band * (band / 2000) / 32000;
        const bool wideGap = d == 0 && gap * 10 / h >= 30;
        const bool tallBand = d == 0 && band / h >= 10 && gap * 10 / h >= 20;
        if ((acrossFew || wideGap || tallBand) && mid > last) cuts.push_back(mid);
    }
    if (entries.back().at + 1 > cuts.back()) cuts.push_back(entries.back().at + 1);
    return cuts;
}

int COmbraSession::segmentPage() {
    if (!root) return 1;
    const std::vector<int64_t> cuts = findBandCuts();
    for (size_t k = 0; k + 1 < cuts.size(); ++k) {
        COmbraGroup* band = new (std::nothrow) COmbraGroup(this, kGroupBand);
        if (!band) return 2;
        band->parent = root;
        for (int i = 0; i < ink.count(); ++i) {
            const COmbraStroke* s = ink.stroke(i);
            if (!s || s->count < 1 || (s->flags & OMBRA_STROKE_NO_SEGMENTATION)) continue;
            const int64_t centre = (int64_t(s->box.top) + s->box.bottom + 1) / 2;
            if (centre >= cuts[k] && centre < cuts[k + 1]) band->addStroke(i);
        }
        if (!band->strokes.count()) {
            delete band;
            continue;
        }
        COmbraGroup* result = classifyBand(band);
        if (!result) continue;
        if (!root->addChild(result)) {
            delete result;
            return 2;
        }
    }
    return 0;
}

COmbraGroup* COmbraSession::classifyBand(COmbraGroup* band) {
    // Without the shape library (a page session that does not need it) every
    // band is read as text.
    if (!hasShaper()) return CTextGroup::replacing(band);
    // A band whose strokes give no shape is dropped alone: the bands after it
    // are still analysed.
    if (!band->runShaper(0)) {
        delete band;
        return nullptr;
    }
    std::vector<COmbraGroup*> tableGroups;
    if (detectTableGroups(*band, tableGroups)) {
        delete band;
        for (size_t i = 0; i + 1 < tableGroups.size(); ++i)
            if (!root->addChild(tableGroups[i])) delete tableGroups[i];
        return tableGroups.empty() ? nullptr : tableGroups.back();
    }
    if (COmbraGroup* chart = band->detectChart()) {
        delete band;
        return chart;
    }
    if (band->isTextGroup()) return CTextGroup::replacing(band);
    band->groupKind = kGroupBand;
    return band;
}

}  // namespace ombra
