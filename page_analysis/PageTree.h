// The analysed page as a tree: the session's root group holds one child group
// per band; a group holds units (recognized words, shape units) and child
// groups (table cells, chart labels). Every node knows its session, its
// parent, the strokes it covers (indices into the session's ink), the shape
// answers that cover them, a box and the running mean point of its strokes.
#ifndef OMBRA_PAGETREE_H
#define OMBRA_PAGETREE_H

#include <cstdint>

#include "DataArr.h"
#include "FRect.h"
#include "shape/VexaShape2.h"

namespace ombra {

class COmbraSession;
class COmbraGroup;

enum UnitKind { kUnitWord = 1, kUnitShape = 2 };
enum GroupKind {
    kGroupBand = 0,
    kGroupText = 1,
    kGroupChart = 3,
    kGroupTable = 4,
    kGroupRoot = 5,
    kGroupShapes = 6
};

class COmbraUnit {
  public:
    COmbraUnit(COmbraSession* session, int kind) : kind(kind), session(session) {}
    COmbraUnit(const COmbraUnit&) = delete;
    COmbraUnit& operator=(const COmbraUnit&) = delete;
    // Destroys every answer of both lists through the session's shape library.
    virtual ~COmbraUnit();

    // A plain unit with the same session, parent, kind, strokes and copies of
    // all answers; null without memory.
    virtual COmbraUnit* clone() const;
    void release() { reset(); }
    virtual void reset();
    virtual int recognizeUnit() { return 0; }
    // Writes at the position; the number of characters added.
    virtual int writeXml(CCharArray& out, int position) { return 0; }

    // Adds the stroke index; with `measure` the box and the mean grow by it.
    bool addStroke(int index, bool measure = true);
    // The first answer of list A (templates) or B (plain passes) whose caller
    // ids hold the stroke's id; null for none.
    VSANSWER* answerHolding(bool templates, int strokeIndex) const;
    // Adds a copy unless that very answer is listed already.
    bool addAnswer(bool templates, const VSANSWER* answer);
    void destroyAnswers(CDataArr<VSANSWER*>& list);
    // Copies both answer lists of another node (answer by answer).
    bool copyAnswersFrom(const COmbraUnit& other);
    // Parent, strokes, copies of the answers, box and mean of this unit into
    // a new one; false without memory.
    bool copyUnitInto(COmbraUnit& copy) const;

    int kind;
    int reserved = 0;
    COmbraSession* session;
    COmbraGroup* parent = nullptr;
    CDataArr<int> strokes;
    CDataArr<VSANSWER*> templateAnswers;  // list A
    CDataArr<VSANSWER*> plainAnswers;     // list B
    FRect box;
    FRect box2;
    int32_t meanX = 0, meanY = 0;
    int64_t pointTotal = 0;
};

class COmbraGroup : public COmbraUnit {
  public:
    COmbraGroup(COmbraSession* session, int groupKind)
        : COmbraUnit(session, 0), groupKind(groupKind) {}
    ~COmbraGroup() override { deleteContents(); }

    // Counts to 0, nothing deleted.
    virtual void clear();
    virtual void deleteContents();
    int writeXml(CCharArray& out, int position) override;
    // A deep copy; null without memory.
    virtual COmbraGroup* cloneGroup() const;
    // This group's strokes and answers, and deep copies of its units (when
    // `withUnits`) and children, into a new group; false without memory.
    bool copyTreeInto(COmbraGroup& copy, bool withUnits) const;
    // Units' own recognition, then the children's; the first failure (children
    // without strokes are passed over).
    virtual int recognize();

    // Takes ownership; false without memory (then the caller still owns it).
    bool addChild(COmbraGroup* child);
    bool addUnit(COmbraUnit* unit);
    // Session, parent, kind and strokes of another group, copies of its answers;
    // box and mean left empty.
    bool copyFrom(const COmbraGroup& other);

    // A fresh shaper over the group's strokes: type 0 and 1 refill the plain
    // answers (list B), 2 the template answers, 3 and more the template
    // answers with alignment. False without a shaper or when no shape comes out.
    bool runShaper(int type);
    // Whether the strokes look like handwriting rather than drawing.
    bool isTextGroup();
    // A chart made of this band (frames with labels inside), or null.
    COmbraGroup* detectChart();

    int groupKind;
    CDataArr<COmbraGroup*> children;
    CDataArr<COmbraUnit*> units;
};

}  // namespace ombra

#endif
