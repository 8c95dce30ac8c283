#include "TableGroup.h"

#include <new>

namespace ombra {

namespace {

// What an empty cell holds. A named entity would make the result invalid XML:
// a numeric reference to the no-break space is the same to an HTML reader.
const char kEmptyCell[] = "<p>&#160;</p>";

}  // namespace

void CTableGroup::clear() {
    COmbraGroup::clear();
    groupKind = kGroupTable;
    html.clear();
    offsets.clear();
    cellCount = 0;
}

void CTableGroup::deleteContents() {
    COmbraGroup::deleteContents();
    html.clear();
    offsets.clear();
    cellCount = 0;
}

COmbraGroup* CTableGroup::cloneGroup() const {
    CTableGroup* copy = new (std::nothrow) CTableGroup(session);
    if (!copy) return nullptr;
    if (!copyTreeInto(*copy, false)) {
        delete copy;
        return nullptr;
    }
    copy->html = html;
    copy->cellCount = cellCount;
    copy->offsets = offsets;
    return copy;
}

int CTableGroup::writeXml(CCharArray& out, int position) {
    if (html.empty() || cellCount != children.count() ||
        static_cast<int>(offsets.size()) != cellCount + 1 ||
        offsets.back() != static_cast<int>(html.size()))
        return 0;
    int at = position, from = 0;
    auto add = [&](int n) {
        if (n > 0) at += n;
    };
    for (int c = 0; c < cellCount; ++c) {
        const int to = offsets[c];
        if (to < from || to > static_cast<int>(html.size())) return 0;
        add(out.appendText(at, html.data() + from, to - from));
        COmbraGroup* cell = children.get(c);
        if (cell && cell->strokes.count() > 0)
            add(cell->writeXml(out, at));
        else
            add(out.appendText(at, kEmptyCell));
        from = to;
    }
    add(out.appendText(at, html.data() + from, static_cast<int>(html.size()) - from));
    return at - position;
}

}  // namespace ombra
