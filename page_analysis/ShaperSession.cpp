// Shape sessions: every stroke goes to the shaper of its horizontal band.
#include <new>

#include "Session.h"
#include "ShapeUnit.h"

namespace ombra {

CShaperSession::~CShaperSession() {
    // The band units destroy their shapers while the binding is still there.
    delete root;
    root = nullptr;
}

int CShaperSession::init(int sessionFlags) {
    if (!recognizer) return 1;
    if (COmbraSession::init(sessionFlags)) return 1;
    delete root;
    root = new (std::nothrow) CShapesGroup(this);
    return root ? 0 : 1;
}

int CShaperSession::release() { return shaper ? 0 : 1; }

int CShaperSession::addStroke(COmbraStroke* s) {
    if (COmbraSession::addStroke(s)) return 1;
    if (!root || !hasShaper()) return 1;
    const int index = ink.count() - 1;
    CShapeUnit* band = nullptr;
    for (int i = 0; i < root->units.count() && !band; ++i) {
        CShapeUnit* unit = static_cast<CShapeUnit*>(root->units.get(i));
        if (unit->accepts(*s)) band = unit;
    }
    if (!band) {
        band = CShapeUnit::make(this, shapeBandTopFor(s->box.top));
        if (!band) return 1;
        if (!root->addUnit(band)) {
            delete band;
            return 1;
        }
    }
    return band->takeStroke(index) ? 0 : 1;
}

int CShaperSession::recognize() {
    if (!root) return 1;
    const int r = root->recognize();
    if (r) return r;
    writeResult(false);
    return 0;
}

int CShaperSession::writeResult(bool empty) {
    return writeRoot(empty, "<Ombra_RESULT  ver=\"%s\">",
                     "<Ombra_RESULT  ver=\"%s\"></Ombra_RESULT>");
}

}  // namespace ombra
