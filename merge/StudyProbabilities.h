// Study probabilities: a merge study's tables turn the confidences of up to
// three answer lists (Rec1, Rec2 and the merged list) into the probabilities
// that their top answers are right, by one-dimensional interpolation for a
// single recognizer and by bilinear interpolation over the confidence
// intervals of a pair, depending on whether the two top answers agree, differ
// or one is found in the other's list.
#pragma once

#include <cstdint>

#include "MergeStudy.h"
#include "Tessel.h"

namespace tessel {

// Fills out[i] for every recognizer the study's merge mode names (lists[0..2]
// are recognizers 1..3); the other entries, and all of them for a study read
// with a write mode or a mode that combines no pair, are left as they are.
// Each probability lies in 0..1.
void studyProbabilities(const MergeStudy& study, AnswerList* const lists[3], double out[3]);

// Piecewise-linear interpolation through (levels[j], probabilities[j]),
// extended along the outer segments.
double confidenceToProbability(const double* levels, const double* probabilities, int count,
                               double value);

// Bilinear interpolation in the pair block's table of one case (StudyPairCase)
// over the intervals of the first and the second recognizer's values; 0..1.
double pairProbability(const StudyPairBlock& block, int pairCase, double first, double second);

// The probabilities of a pair's two top answers; an empty text is a missing or
// rejected answer (0.0). Null outs are skipped.
void pairStudy(const StudyPairBlock& block, const char* firstText, double firstValue,
               double* firstOut, const char* secondText, double secondValue, double* secondOut,
               bool inList);

// The score gap between the list's top answer and the first answer equal to
// the text once both are normalised by the sub-type; -1 when none is.
int64_t rankGapInList(AnswerList* list, int32_t subType, const char* text);

// A top text normalised and filtered as the study's results of that sub-type
// were: out receives the text (at most 99 characters), empty when rejected.
void normaliseStudyText(const char* text, int32_t subType, char* out);
bool studyTextAccepted(const char* normalised, int32_t subType);

}  // namespace tessel
