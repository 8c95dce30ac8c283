// The five exports of Tessel.dll.
#include <new>

#include "AnswerItem.h"
#include "AnswerList.h"
#include "AnswerMerger.h"
#include "Tessel.h"

using tessel::AnswerItemImpl;
using tessel::AnswerListImpl;
using tessel::AnswerMergerImpl;

namespace {

AnswerMerger* loadMerger(AnswerMergerImpl* merger, const char* configPath) {
    if (!tessel::loadMergerModel(*merger, configPath)) {
        merger->release();
        return nullptr;
    }
    return merger;
}

}  // namespace

AnswerItem* TSL_CDECL TslCreateAnswerItem(void) { return new (std::nothrow) AnswerItemImpl(); }

AnswerList* TSL_CDECL TslCreateAnswerList(void) { return tessel::makeOwnedList().release(); }

AnswerMerger* TSL_CDECL TslLoad(const char* configPath) {
    if (!configPath) return nullptr;
    AnswerMergerImpl* merger = new (std::nothrow) AnswerMergerImpl();
    return merger ? loadMerger(merger, configPath) : nullptr;
}

AnswerMerger* TSL_CDECL TslLoadForLexgen(const char* configPath, void* userData,
                                         TslLexgenCallback callback) {
    if (!configPath || !userData || !callback) return nullptr;
    AnswerMergerImpl* merger = new (std::nothrow) AnswerMergerImpl();
    if (!merger) return nullptr;
    merger->lexgen.userData = userData;
    merger->lexgen.callback = callback;
    return loadMerger(merger, configPath);
}

int TSL_STDCALL MergeWriteAnswer(const void* first, int32_t second, const void* third,
                                 int32_t fourth, int32_t fifth) {
    return first && third ? 1 : 0;
}
