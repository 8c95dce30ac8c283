// Rescalings of a Rec2 list before it is merged: the Tpc rescaling replaces
// the scores by a fixed table by rank; the Hmm rescaling re-ranks the answers
// by vocabulary level and word-shape statistics. Each makes a prepared copy,
// so that a list is rescaled at most once.
#pragma once

#include "Tessel.h"

namespace tessel {

class AnswerMergerImpl;

// Fill out with a rescaled copy of in and mark out prepared; 0 when a list is null.
int rescaleTpc(AnswerList* in, AnswerList* out);
int rescaleHmm(const AnswerMergerImpl& merger, AnswerList* in, AnswerList* out);

}  // namespace tessel
