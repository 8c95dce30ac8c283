// Word shapes of answer texts: an answer is described by the pattern of its
// letters, digits and punctuation (a time, a phone number, a date, an amount,
// a word followed by a comma), so that features and rescaling can treat data
// and words apart. rawWordShape gives one of 100 raw classes; wordShapeClass
// folds a few of them together for the features, whose per-class model data
// is indexed by the folded class.
#pragma once

#include <cstdint>

namespace tessel {

constexpr int32_t kWordShapeClasses = 100;

// The class vocabulary, also used in reports; a few indices have no name.
extern const char* const kWordShapeNames[kWordShapeClasses];

// The raw class (0..99) of an answer text; `lastIndex` is the length minus one.
// An empty or null text is class 0, a text no test describes class 99.
int32_t rawWordShape(const char* text, int32_t lastIndex);

// The class the features use: the raw class with a few folded together.
int32_t wordShapeClass(const char* text);

// Model data per class, fixed in the library.
struct WordShapeTraits {
    int8_t frontCut;      // characters dropped from the start before a vocabulary lookup
    int8_t backCut;       // characters dropped from the end
    int8_t dataKind;      // 1 may be pure data, 3 and 4 are data
    int8_t weight;        // class weight, 0..7
    double lexStatistic;  // percentages: the Hmm rescaling's statistic,
    double statisticA;    // and the two class statistics of the features
    double statisticB;
};
const WordShapeTraits& wordShapeTraits(int32_t shapeClass);

}  // namespace tessel
