// The shape recognizer's growable list of pointers (count, capacity, items,
// cursor) and the link node of the joining rules.
//
// The list does not own what its items point to; it grows by 8 slots when
// full. The cursor (-1 = none) serves first/next/previous/current iteration.
#ifndef VEXASHAPE_PTRLIST_H
#define VEXASHAPE_PTRLIST_H

#include <stdint.h>

namespace vexa {

struct PtrList {
    int32_t count;
    int32_t capacity;
    void** items;
    int32_t cursor;
};

void ptrListInit(PtrList* list);
// Releases the item array (not the items) and initialises the list.
void ptrListFree(PtrList* list);
// Forgets the items, keeps the capacity.
void ptrListReset(PtrList* list);
int32_t ptrListCount(const PtrList* list);
// Grows to at least `capacity` slots; false when memory is short.
bool ptrListReserve(PtrList* list, int32_t capacity);
// The new count, or 0 when memory is short.
int32_t ptrListAppend(PtrList* list, void* item);
void* ptrListGet(const PtrList* list, int32_t index);
// The index, or -1 out of range.
int32_t ptrListSet(PtrList* list, int32_t index, void* item);
// Inserts before `index` (0..count); false out of range or when memory is short.
bool ptrListInsertAt(PtrList* list, int32_t index, void* item);
bool ptrListRemove(PtrList* list, void* item);
void* ptrListRemoveAt(PtrList* list, int32_t index);
void* ptrListFirst(PtrList* list);
void* ptrListLast(PtrList* list);
void* ptrListNext(PtrList* list);
void* ptrListPrevious(PtrList* list);
void* ptrListCurrent(const PtrList* list);
void* ptrListRemoveCurrent(PtrList* list);
int32_t ptrListIndexOf(const PtrList* list, const void* item);
// The item's index; appended unless present. -1 when memory is short.
int32_t ptrListAppendUnique(PtrList* list, void* item);

template <class T>
inline T* ptrAt(const PtrList* list, int32_t index) {
    return static_cast<T*>(ptrListGet(list, index));
}

// A node of the joining rules: a point, its partner and an index.
struct LinkNode {
    int16_t x, y;
    uint16_t partner;  // 0xFFFF: none
    int16_t index;
    LinkNode* other;
    int32_t from, to;  // the two ends; 2048 when unset
};

LinkNode* linkNodeCreate();
LinkNode* linkNodeCopy(const LinkNode* node);
void linkNodeFree(LinkNode* node);
void linkNodeSetPoint(LinkNode* node, const int16_t* points, int32_t index);
void linkNodesLink(LinkNode* a, int16_t indexA, LinkNode* b, int16_t indexB);
void linkNodeSwapEnds(LinkNode* node);

}  // namespace vexa

#endif
