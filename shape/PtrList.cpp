#include "PtrList.h"

#include <string.h>

#include "Memory.h"

namespace vexa {

namespace {
constexpr int32_t kGrowth = 8;
}

void ptrListInit(PtrList* list) {
    list->count = 0;
    list->capacity = 0;
    list->items = nullptr;
    list->cursor = -1;
}

void ptrListFree(PtrList* list) {
    freeBlock(list->items);
    ptrListInit(list);
}

void ptrListReset(PtrList* list) {
    list->count = 0;
    list->cursor = -1;
}

int32_t ptrListCount(const PtrList* list) { return list->count; }

bool ptrListReserve(PtrList* list, int32_t capacity) {
    if (capacity <= list->capacity) return true;
    void** items = static_cast<void**>(allocBlock(sizeof(void*) * static_cast<size_t>(capacity)));
    if (!items) return false;
    if (list->count) memcpy(items, list->items, sizeof(void*) * static_cast<size_t>(list->count));
    freeBlock(list->items);
    list->items = items;
    list->capacity = capacity;
    return true;
}

int32_t ptrListAppend(PtrList* list, void* item) {
    if (list->count == list->capacity && !ptrListReserve(list, list->capacity + kGrowth)) return 0;
    list->items[list->count++] = item;
    return list->count;
}

void* ptrListGet(const PtrList* list, int32_t index) {
    if (index < 0 || index >= list->count) return nullptr;
    return list->items[index];
}

int32_t ptrListSet(PtrList* list, int32_t index, void* item) {
    if (index < 0 || index >= list->count) return -1;
    list->items[index] = item;
    return index;
}

bool ptrListInsertAt(PtrList* list, int32_t index, void* item) {
    if (index < 0 || index > list->count) return false;
    if (list->count == list->capacity && !ptrListReserve(list, list->capacity + kGrowth))
        return false;
    memmove(list->items + index + 1, list->items + index,
            sizeof(void*) * static_cast<size_t>(list->count - index));
    list->items[index] = item;
    ++list->count;
    return true;
}

void* ptrListRemoveAt(PtrList* list, int32_t index) {
    if (index < 0 || index >= list->count) return nullptr;
    void* item = list->items[index];
    memmove(list->items + index, list->items + index + 1,
            sizeof(void*) * static_cast<size_t>(list->count - index - 1));
    --list->count;
    if (list->cursor >= list->count) list->cursor = list->count - 1;
    return item;
}

bool ptrListRemove(PtrList* list, void* item) {
    int32_t i = ptrListIndexOf(list, item);
    if (i < 0) return false;
    ptrListRemoveAt(list, i);
    return true;
}

void* ptrListFirst(PtrList* list) {
    if (!list->count) {
        list->cursor = -1;
        return nullptr;
    }
    list->cursor = 0;
    return list->items[0];
}

void* ptrListLast(PtrList* list) {
    list->cursor = list->count - 1;
    return list->count ? list->items[list->cursor] : nullptr;
}

void* ptrListNext(PtrList* list) {
    if (list->cursor + 1 >= list->count) {
        list->cursor = list->count;
        return nullptr;
    }
    return list->items[++list->cursor];
}

void* ptrListPrevious(PtrList* list) {
    if (list->cursor <= 0) {
        list->cursor = -1;
        return nullptr;
    }
    if (list->cursor > list->count) list->cursor = list->count;
    return list->items[--list->cursor];
}

void* ptrListCurrent(const PtrList* list) { return ptrListGet(list, list->cursor); }

void* ptrListRemoveCurrent(PtrList* list) {
    int32_t at = list->cursor;
    if (at < 0 || at >= list->count) return nullptr;
    void* item = ptrListRemoveAt(list, at);
    list->cursor = at - 1;
    return item;
}

int32_t ptrListIndexOf(const PtrList* list, const void* item) {
    for (int32_t i = 0; i < list->count; ++i)
        if (list->items[i] == item) return i;
    return -1;
}

int32_t ptrListAppendUnique(PtrList* list, void* item) {
    int32_t i = ptrListIndexOf(list, item);
    if (i >= 0) return i;
    return ptrListAppend(list, item) ? list->count - 1 : -1;
}

LinkNode* linkNodeCreate() {
    LinkNode* node = static_cast<LinkNode*>(allocZeroed(sizeof(LinkNode)));
    if (!node) return nullptr;
    node->partner = 0xFFFF;
    node->from = 2048;
    node->to = 2048;
    return node;
}

LinkNode* linkNodeCopy(const LinkNode* node) {
    LinkNode* copy = static_cast<LinkNode*>(allocBlock(sizeof(LinkNode)));
    if (copy) *copy = *node;
    return copy;
}

void linkNodeFree(LinkNode* node) { freeBlock(node); }

void linkNodeSetPoint(LinkNode* node, const int16_t* points, int32_t index) {
    node->x = points[2 * index];
    node->y = points[2 * index + 1];
}

void linkNodesLink(LinkNode* a, int16_t indexA, LinkNode* b, int16_t indexB) {
    a->other = b;
    a->partner = static_cast<uint16_t>(indexB);
    a->index = indexA;
    b->other = a;
    b->partner = static_cast<uint16_t>(indexA);
    b->index = indexB;
}

void linkNodeSwapEnds(LinkNode* node) {
    int32_t t = node->from;
    node->from = node->to;
    node->to = t;
}

}  // namespace vexa
