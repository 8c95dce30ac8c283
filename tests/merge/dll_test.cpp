// Tessel.dll as an outside caller meets it: the five exports bound by name,
// items and lists made, filled, read and released through their own
// operations, and a model loaded through the library's file layer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "Tessel.h"
#include "merge_test_util.h"

namespace {

using CreateItemFn = AnswerItem*(__cdecl*)();
using CreateListFn = AnswerList*(__cdecl*)();
using LoadFn = AnswerMerger*(__cdecl*)(const char*);
using LoadForLexgenFn = AnswerMerger*(__cdecl*)(const char*, void*, TslLexgenCallback);
using MergeWriteAnswerFn = int(__stdcall*)(const void*, int32_t, const void*, int32_t, int32_t);

class TesselDll : public ::testing::Test {
  protected:
    void SetUp() override {
        dll_ = LoadLibraryW(L"Tessel.dll");
        ASSERT_NE(dll_, nullptr);
        createItem_ = bind<CreateItemFn>("TslCreateAnswerItem");
        createList_ = bind<CreateListFn>("TslCreateAnswerList");
        load_ = bind<LoadFn>("TslLoad");
        loadForLexgen_ = bind<LoadForLexgenFn>("TslLoadForLexgen");
        mergeWriteAnswer_ = bind<MergeWriteAnswerFn>("_MergeWriteAnswer@20");
        ASSERT_TRUE(createItem_ && createList_ && load_ && loadForLexgen_ && mergeWriteAnswer_);
    }
    void TearDown() override {
        if (dll_) FreeLibrary(dll_);
    }

    template <class Fn>
    Fn bind(const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    }

    HMODULE dll_ = nullptr;
    CreateItemFn createItem_ = nullptr;
    CreateListFn createList_ = nullptr;
    LoadFn load_ = nullptr;
    LoadForLexgenFn loadForLexgen_ = nullptr;
    MergeWriteAnswerFn mergeWriteAnswer_ = nullptr;
};

TEST_F(TesselDll, ExportsOnlyTheDecoratedStdcallName) {
    EXPECT_EQ(GetProcAddress(dll_, "MergeWriteAnswer"), nullptr);
    EXPECT_EQ(GetProcAddress(dll_, "MergeWriteAnswer@20"), nullptr);
    int a = 0, c = 0;
    EXPECT_EQ(mergeWriteAnswer_(&a, 2, &c, 4, 5), 1);
    EXPECT_EQ(mergeWriteAnswer_(&a, 2, nullptr, 4, 5), 0);
    EXPECT_EQ(mergeWriteAnswer_(nullptr, 2, &c, 4, 5), 0);
}

TEST_F(TesselDll, ItemsAndListsLiveAndDieThroughTheirOperations) {
    AnswerItem* item = createItem_();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->value(0), TSL_VALUE_UNSET);
    EXPECT_EQ(item->value(16), -1);
    EXPECT_EQ(item->setValue(5, 16), 0);
    EXPECT_EQ(item->setText(""), 0);

    AnswerList* list = createList_();
    ASSERT_NE(list, nullptr);
    list->clear();
    EXPECT_EQ(list->listValue(), 0);
    const struct {
        const char* text;
        int32_t score;
    } answers[] = {{"ten", 10}, {"thirty", 30}, {"twenty", 20}};
    for (const auto& a : answers) {
        ASSERT_EQ(item->setText(a.text), 1);
        item->setValue(a.score, 0);
        item->setValue(a.score + 1, 11);
        ASSERT_EQ(list->add(item), 1);
    }
    EXPECT_EQ(list->count(), 3);
    EXPECT_STREQ(list->textAt(0), "thirty");
    EXPECT_EQ(list->valueAt(0, 11), 31);
    EXPECT_STREQ(list->itemAt(2)->text(), "ten");
    EXPECT_EQ(list->itemAt(3), nullptr);
    EXPECT_EQ(list->setListValue(64), 1);
    EXPECT_EQ(list->listValue(), 64);

    AnswerItem* copy = createItem_();
    ASSERT_EQ(copy->copyFrom(list->itemAt(1)), 1);
    EXPECT_STREQ(copy->text(), "twenty");
    copy->release();
    item->release();
    list->release();
}

// The complete small model of fixtures/confident.cfg (configuration and study
// made by the scrambler, nets written here), merged through the exports alone.
TEST_F(TesselDll, MergesWithTheCompleteSmallModel) {
    mergetest::TempDir dir("DllModel");
    mergetest::installConfidentModel(dir);
    AnswerMerger* merger = load_(dir.path("confident.cfg").c_str());
    ASSERT_NE(merger, nullptr);
    EXPECT_EQ(merger->featureCount(), 7);

    AnswerList* rec1 = createList_();
    AnswerList* rec2 = createList_();
    AnswerList* out = createList_();
    AnswerItem* item = createItem_();
    mergetest::fillExampleLists(rec1, rec2, item);
    EXPECT_EQ(merger->merge(rec1, rec2, out), 1);
    ASSERT_EQ(out->count(), 3);
    EXPECT_STREQ(out->textAt(0), "cat");
    EXPECT_EQ(out->valueAt(0, 0), (80 + 71) / 2);
    EXPECT_EQ(out->valueAt(0, 11), 11);
    EXPECT_EQ(out->valueAt(0, 1), TSL_VALUE_UNSET);

    // Confidences 95 and 82 for the two lists; the study lifts the agreed top.
    EXPECT_EQ(merger->mergeWithConfidence(rec1, rec2, out), 1);
    EXPECT_EQ(rec1->listValue(), 95);
    EXPECT_EQ(rec2->listValue(), 82);
    ASSERT_EQ(out->count(), 3);
    EXPECT_STREQ(out->textAt(0), "cat");
    EXPECT_EQ(out->valueAt(0, 0), 171);
    EXPECT_EQ(out->listValue(), 95);
    EXPECT_STREQ(out->textAt(2), "cut");

    AnswerList* prepared = createList_();
    EXPECT_EQ(merger->prepareRec2List(rec2, prepared), 1);
    int32_t features[7];
    EXPECT_EQ(merger->computeFeatures(features, rec1, rec2, out), 7);
    EXPECT_EQ(features[0], 20) << "Rec1: s - 60";
    for (AnswerList* list : {rec1, rec2, out, prepared}) list->release();
    item->release();
    merger->release();

    mergetest::writeScrambled(dir.path("model.cfg"), "Rec1 Conf Net = absent.net\n");
    EXPECT_EQ(load_(dir.path("model.cfg").c_str()), nullptr);
}

int __cdecl fixedClass(const char* word, void* userData, signed char* result) {
    *result = static_cast<signed char>(*static_cast<int*>(userData));
    return 1;
}

TEST_F(TesselDll, LexiconGeneratorCallbackCrossesTheBoundary) {
    mergetest::TempDir dir("DllLexgen");
    mergetest::writeScrambled(dir.path("model.cfg"), "Voc = not-read.txt\n");
    int r = 5;
    EXPECT_EQ(loadForLexgen_(dir.path("model.cfg").c_str(), &r, nullptr), nullptr);
    AnswerMerger* merger = loadForLexgen_(dir.path("model.cfg").c_str(), &r, fixedClass);
    ASSERT_NE(merger, nullptr);
    EXPECT_EQ(merger->lexgenClass("word"), 4);
    r = 40;
    EXPECT_EQ(merger->lexgenClass("word"), 15);
    merger->release();
}

}  // namespace
