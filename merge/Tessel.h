// Tessel: merges the ranked answer lists of two handwriting recognizers (Rec1
// and Rec2) into one ranked list with confidences, from a merge model read at
// load time (a configuration file, confidence nets, study tables, a vocabulary).
//
// The library hands out three interface objects, each a table of virtual
// operations in the order declared here: AnswerItem (one answer), AnswerList
// (a ranked list of at most 100 answers) and AnswerMerger (a loaded model).
// Every object is freed only through its own release operation: memory never
// crosses the library boundary. Failures are answered by 0, -1 or null; the
// library reports nothing else, starts no threads and takes no locks (use each
// object from one thread at a time).
//
// Calling order:
//   AnswerMerger* m = TslLoad("C:\\models\\merge.cfg");
//   AnswerList *rec1 = TslCreateAnswerList(), *rec2 = ..., *out = ...;
//   AnswerItem* item = TslCreateAnswerItem();
//   item->setText("word"); item->setValue(80, 0);                    // the score
//   for (int k : {2, 7, 11, 12}) item->setValue(0, k);                 // carried values
//   rec1->add(item);                                                   // copies the item
//   m->merge(rec1, rec2, out);
//   for (int i = 0; i < out->count(); ++i) use(out->textAt(i), out->valueAt(i, 0));
//   item->release(); rec1->release(); ...; m->release();
//
// The exports are __cdecl except _MergeWriteAnswer@20 (__stdcall); the object
// operations use the compiler's member calling convention (thiscall on 32-bit
// Windows). Lists handed to a merger must come from TslCreateAnswerList.
#ifndef SCRIBIX_TESSEL_H
#define SCRIBIX_TESSEL_H

#include <stdint.h>

#if defined(_WIN32)
#define TSL_CDECL __cdecl
#define TSL_STDCALL __stdcall
#else
#define TSL_CDECL
#define TSL_STDCALL
#endif

// Answer values are signed 32-bit; this one means "not set".
#define TSL_VALUE_UNSET ((int32_t)0x80000000)
#define TSL_VALUE_COUNT 16
#define TSL_LIST_CAPACITY 100

// One answer: an owned 8-bit text (or none) and 16 values. Value 0 is the
// score (higher is better; lists rank by it); value 1 receives the score an
// answer had before a rescaling; values 2, 7, 11 and 12 travel unchanged from
// input answers to merged answers.
class AnswerItem {
  public:
    // Takes the other's text (as setText) and, when that succeeded, its 16
    // values. 0 when the other has no text (this item is then left without text).
    virtual int copyFrom(const AnswerItem* other) = 0;
    // Stores an owned copy; a null or empty text leaves the item without text
    // and gives 0, as does lack of memory.
    virtual int setText(const char* text) = 0;
    // 0 for an index outside 0..15 (nothing stored), else 1.
    virtual int setValue(int32_t value, int32_t index) = 0;
    virtual const char* text() const = 0;
    // -1 for an index outside 0..15, else the value (possibly TSL_VALUE_UNSET).
    virtual int32_t value(int32_t index) const = 0;
    // Frees a standalone item. Items returned by AnswerList::itemAt belong to
    // their list; releasing one of those does nothing.
    virtual void release() = 0;

  protected:
    ~AnswerItem() = default;
};

// A ranked list of at most 100 answers. Reads by index sort the list first
// when needed (by value 0, highest first; the order of equal scores is not kept).
class AnswerList {
  public:
    // Count 0, list value 0.
    virtual void clear() = 0;
    // Appends a copy of the item; 0 when the list is full or the item has no text.
    virtual int add(const AnswerItem* item) = 0;
    // The list's own item (valid until the list changes), or null outside 0..count-1.
    virtual AnswerItem* itemAt(int32_t index) = 0;
    virtual int setListValue(int32_t value) = 0;
    // The list's confidence, a percentage; TSL_VALUE_UNSET on a new list.
    virtual int32_t listValue() const = 0;
    virtual int32_t count() const = 0;
    // Outside 0..count-1: null.
    virtual const char* textAt(int32_t index) = 0;
    // Outside 0..count-1: TSL_VALUE_UNSET; a value index outside 0..15: -1.
    virtual int32_t valueAt(int32_t index, int32_t valueIndex) = 0;
    // Frees every item and the list.
    virtual void release() = 0;

  protected:
    ~AnswerList() = default;
};

// A loaded merge model.
class AnswerMerger {
  public:
    // The Rec1 (Cross) channel's confidence of the list written as its list value; 1.
    virtual int scoreRec1List(AnswerList* list) = 0;
    virtual int scoreCrossList(AnswerList* list) = 0;
    // Weighted rank fusion of the two lists into out (at most 100 answers, the
    // score in value 0, values 2, 7, 11 and 12 carried over, the rest unset);
    // always 1. Every input answer needs values 0, 2, 7, 11 and 12: one unset
    // leaves out empty, as does a missing list or an out that is an input.
    virtual int merge(AnswerList* rec1, AnswerList* rec2, AnswerList* out) = 0;
    // The merge with confidences: the lists are scored by their channels (their
    // list values are written), merged, and the top answers lifted by the
    // probabilities of the merge study; out's list value is the best of them as
    // a percentage. 1 on success (out empty when a list value stays unset),
    // 0 when a list is missing or a step fails.
    virtual int mergeWithConfidence(AnswerList* rec1, AnswerList* rec2, AnswerList* out) = 0;
    // flag 0: 0; else computes the feature vector into scratch space and drops it; 1.
    virtual int probeFeatures(AnswerList* rec1, AnswerList* rec2, AnswerList* merged,
                              int32_t flag) = 0;
    virtual void release() = 0;
    // Class of a word by the lexicon-generator callback; -1 without one or when it fails.
    virtual int32_t lexgenClass(const char* word) = 0;
    // Total number of features of the three channels.
    virtual int32_t featureCount() const = 0;
    // Writes the three channels' feature vectors one after another (featureCount()
    // integers at most); returns how many were written, 0 for a null array.
    virtual int32_t computeFeatures(int32_t* out, AnswerList* rec1, AnswerList* rec2,
                                    AnswerList* merged) = 0;
    // Prepares a Rec2 list for merging (a rescaled copy into out when the model
    // asks for one) and marks it prepared; 0 on failure.
    virtual int prepareRec2List(AnswerList* rec2, AnswerList* out) = 0;

  protected:
    ~AnswerMerger() = default;
};

// Lexicon-generator callback: writes a class for the word into *result and
// returns non-zero on success.
typedef int(TSL_CDECL* TslLexgenCallback)(const char* word, void* userData, signed char* result);

#ifdef __cplusplus
extern "C" {
#endif

// A fresh item (no text, every value unset), or null without memory.
AnswerItem* TSL_CDECL TslCreateAnswerItem(void);
// An empty list with room for 100 answers, or null without memory.
AnswerList* TSL_CDECL TslCreateAnswerList(void);
// A merger loaded from the model configuration file, or null when the path is
// null or the model cannot be loaded completely.
AnswerMerger* TSL_CDECL TslLoad(const char* configPath);
// As TslLoad, for a lexicon generator whose callback gives vocabulary levels
// (the configuration's vocabulary file is then not read). Null when any
// argument is null.
AnswerMerger* TSL_CDECL TslLoadForLexgen(const char* configPath, void* userData,
                                         TslLexgenCallback callback);
// Exported as _MergeWriteAnswer@20. Writes nothing: 0 when the first or the
// third argument is null, else 1.
int TSL_STDCALL MergeWriteAnswer(const void* first, int32_t second, const void* third,
                                 int32_t fourth, int32_t fifth);

#ifdef __cplusplus
}
#endif

#endif  // SCRIBIX_TESSEL_H
