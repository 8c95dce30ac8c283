#include "PageTree.h"

#include <new>

#include "Session.h"

namespace ombra {

namespace {

ShaperBinding* shaperOf(COmbraSession* session) { return session ? session->shaper : nullptr; }

}  // namespace

COmbraUnit::~COmbraUnit() {
    destroyAnswers(templateAnswers);
    destroyAnswers(plainAnswers);
}

void COmbraUnit::destroyAnswers(CDataArr<VSANSWER*>& list) {
    ShaperBinding* shaper = shaperOf(session);
    for (int i = 0; i < list.count(); ++i)
        if (shaper && shaper->DestroyShapeAnswer) shaper->DestroyShapeAnswer(list.get(i));
    list.clear();
}

bool COmbraUnit::copyAnswersFrom(const COmbraUnit& other) {
    ShaperBinding* shaper = shaperOf(session);
    const CDataArr<VSANSWER*>* from[2] = {&other.templateAnswers, &other.plainAnswers};
    CDataArr<VSANSWER*>* to[2] = {&templateAnswers, &plainAnswers};
    for (int l = 0; l < 2; ++l) {
        for (int i = 0; i < from[l]->count(); ++i) {
            if (!shaper || !shaper->CopyVSAnswer) return false;
            VSANSWER* copy = shaper->CopyVSAnswer(from[l]->get(i));
            if (!copy) return false;
            if (!to[l]->append(copy)) {
                if (shaper->DestroyShapeAnswer) shaper->DestroyShapeAnswer(copy);
                return false;
            }
        }
    }
    return true;
}

bool COmbraUnit::copyUnitInto(COmbraUnit& copy) const {
    copy.parent = parent;
    for (int i = 0; i < strokes.count(); ++i)
        if (!copy.strokes.append(strokes.get(i))) return false;
    if (!copy.copyAnswersFrom(*this)) return false;
    copy.box = box;
    copy.meanX = meanX;
    copy.meanY = meanY;
    copy.pointTotal = pointTotal;
    return true;
}

COmbraUnit* COmbraUnit::clone() const {
    COmbraUnit* unit = new (std::nothrow) COmbraUnit(session, kind);
    if (unit && !copyUnitInto(*unit)) {
        delete unit;
        return nullptr;
    }
    return unit;
}

void COmbraUnit::reset() {
    destroyAnswers(templateAnswers);
    destroyAnswers(plainAnswers);
    strokes.clear();
    box.clear();
    meanX = meanY = 0;
    pointTotal = 0;
    session = nullptr;
    parent = nullptr;
}

bool COmbraUnit::addStroke(int index, bool measure) {
    if (!strokes.append(index)) return false;
    if (!measure || !session) return true;
    const COmbraStroke* s = session->stroke(index);
    if (!s) return true;
    box.grow(s->box);
    const int64_t total = pointTotal + s->count;
    if (total > 0) {
        meanX = static_cast<int32_t>((int64_t(meanX) * pointTotal + int64_t(s->meanX) * s->count) /
                                     total);
        meanY = static_cast<int32_t>((int64_t(meanY) * pointTotal + int64_t(s->meanY) * s->count) /
                                     total);
    }
    pointTotal = total;
    return true;
}

VSANSWER* COmbraUnit::answerHolding(bool templates, int strokeIndex) const {
    const COmbraStroke* s = session ? session->stroke(strokeIndex) : nullptr;
    if (!s) return nullptr;
    const uint16_t id = static_cast<uint16_t>(s->id);
    const CDataArr<VSANSWER*>& list = templates ? templateAnswers : plainAnswers;
    for (int i = 0; i < list.count(); ++i) {
        VSANSWER* a = list.get(i);
        for (int k = 0; a && a->aliases && k < a->strokeCount; ++k)
            if (a->aliases[k] == id) return a;
    }
    return nullptr;
}

bool COmbraUnit::addAnswer(bool templates, const VSANSWER* answer) {
    CDataArr<VSANSWER*>& list = templates ? templateAnswers : plainAnswers;
    if (!answer) return false;
    // One copy per answer: a listed answer of the same kind over the same
    // strokes is that answer already.
    for (int i = 0; i < list.count(); ++i) {
        const VSANSWER* a = list.get(i);
        if (a == answer) return true;
        if (a->kind != answer->kind || a->strokeCount != answer->strokeCount) continue;
        bool same = true;
        for (int k = 0; same && k < a->strokeCount; ++k)
            same = a->aliases && answer->aliases && a->aliases[k] == answer->aliases[k];
        if (same) return true;
    }
    ShaperBinding* shaper = shaperOf(session);
    if (!shaper || !shaper->CopyVSAnswer) return false;
    VSANSWER* copy = shaper->CopyVSAnswer(answer);
    if (!copy) return false;
    if (!list.append(copy)) {
        if (shaper->DestroyShapeAnswer) shaper->DestroyShapeAnswer(copy);
        return false;
    }
    return true;
}

// Groups ----------------------------------------------------------------------

void COmbraGroup::clear() {
    children.clear();
    units.clear();
}

void COmbraGroup::deleteContents() {
    for (int i = 0; i < units.count(); ++i) delete units.get(i);
    for (int i = 0; i < children.count(); ++i) delete children.get(i);
    units.clear();
    children.clear();
}

int COmbraGroup::writeXml(CCharArray& out, int position) {
    int written = 0;
    for (int i = 0; i < units.count(); ++i) {
        COmbraUnit* unit = units.get(i);
        const int n = unit ? unit->writeXml(out, position + written) : 0;
        if (n > 0) written += n;
    }
    for (int i = 0; i < children.count(); ++i) {
        COmbraGroup* child = children.get(i);
        const int n = child ? child->writeXml(out, position + written) : 0;
        if (n > 0) written += n;
    }
    return written;
}

bool COmbraGroup::copyTreeInto(COmbraGroup& copy, bool withUnits) const {
    if (!copy.copyFrom(*this)) return false;
    for (int i = 0; withUnits && i < units.count(); ++i) {
        COmbraUnit* unit = units.get(i)->clone();
        if (!unit || !copy.addUnit(unit)) {
            delete unit;
            return false;
        }
    }
    for (int i = 0; i < children.count(); ++i) {
        COmbraGroup* child = children.get(i)->cloneGroup();
        if (!child || !copy.addChild(child)) {
            delete child;
            return false;
        }
    }
    return true;
}

COmbraGroup* COmbraGroup::cloneGroup() const {
    COmbraGroup* copy = new (std::nothrow) COmbraGroup(session, groupKind);
    if (copy && !copyTreeInto(*copy, true)) {
        delete copy;
        return nullptr;
    }
    return copy;
}

int COmbraGroup::recognize() {
    for (int i = 0; i < units.count(); ++i) {
        const int r = units.get(i)->recognizeUnit();
        if (r) return r;
    }
    // Every band, cell and label is read on its own: one that fails (a lone
    // ruling classed as text, say) is left empty and the others are read all
    // the same; the first failure is the group's answer. A cancel stops at once.
    int failed = 0;
    for (int i = 0; i < children.count(); ++i) {
        COmbraGroup* child = children.get(i);
        if (!child) continue;
        const int r = child->recognize();
        if (r == OMBRA_CANCELLED) return r;
        if (r && child->strokes.count() > 0 && !failed) failed = r;
    }
    return failed;
}

bool COmbraGroup::addChild(COmbraGroup* child) {
    if (!child || !children.append(child)) return false;
    child->parent = this;
    return true;
}

bool COmbraGroup::addUnit(COmbraUnit* unit) {
    if (!unit || !units.append(unit)) return false;
    unit->parent = this;
    return true;
}

bool COmbraGroup::copyFrom(const COmbraGroup& other) {
    session = other.session;
    parent = other.parent;
    kind = other.kind;
    destroyAnswers(templateAnswers);
    destroyAnswers(plainAnswers);
    strokes.clear();
    for (int i = 0; i < other.strokes.count(); ++i)
        if (!strokes.append(other.strokes.get(i))) return false;
    box.clear();
    meanX = meanY = 0;
    pointTotal = 0;
    return copyAnswersFrom(other);
}

}  // namespace ombra
