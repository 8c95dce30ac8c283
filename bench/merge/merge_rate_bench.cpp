// Merges per second of two 10-answer lists that share six answers: the plain
// merge with the default weights, the same with the Hmm rescaling of the
// realistic model, and the merge with confidences of that model (three nets of
// a few hundred units, the study lookup). The reference copies the two lists'
// twenty answers into a third list, the least a merge must do.
#include <cstdio>
#include <string>
#include <vector>

#include "AnswerMerger.h"
#include "Tessel.h"
#include "bench_model.h"
#include "harness.h"
#include "merge_test_util.h"

namespace {

// Ten answers of one recognizer; `offset` shifts the texts so that two lists
// share 10 - offset of them. Every value an answer may carry is set.
mergetest::Owned<AnswerList> recognizerList(int offset, int32_t top) {
    static const char* const kWords[] = {"their", "there", "the",   "then",  "them",
                                         "these", "they",  "thee",  "theme", "thus",
                                         "this",  "those", "three", "throw"};
    std::vector<mergetest::TestAnswer> answers;
    for (int i = 0; i < 10; ++i) {
        mergetest::TestAnswer a{kWords[i + offset], top - 4 * i, {}};
        for (int32_t k = 1; k < TSL_VALUE_COUNT; ++k) a.values[k] = (i * 7 + k * 3) % 40 + 1;
        answers.push_back(a);
    }
    return mergetest::makeList(answers, 0);
}

}  // namespace

int main(int argc, char** argv) {
    bench::Harness h(argc, argv);
    const mergetest::TempDir dir("bench_merge_rate");
    const std::string config = benchmodel::writeModel(dir);
    mergetest::Owned<AnswerMerger> model(TslLoad(config.c_str()));
    if (!model) {
        std::fprintf(stderr, "the benchmark model does not load\n");
        return 1;
    }
    tessel::AnswerMergerImpl plain;  // no model data: weight, delta, alpha 1
    auto rec1 = recognizerList(0, 90);
    auto rec2 = recognizerList(4, 85);
    mergetest::Owned<AnswerList> out(TslCreateAnswerList());
    if (plain.merge(rec1.get(), rec2.get(), out.get()) != 1 || out->count() != 14 ||
        model->mergeWithConfidence(rec1.get(), rec2.get(), out.get()) != 1 || out->count() == 0) {
        std::fprintf(stderr, "the benchmark lists do not merge\n");
        return 1;
    }

    h.add(
        "reference: copy the 20 answers into a list",
        [&] {
            out->clear();
            for (AnswerList* list : {rec1.get(), rec2.get()})
                for (int32_t i = 0; i < list->count(); ++i) out->add(list->itemAt(i));
            bench::keep(out->count());
        },
        "merge");
    h.add(
        "merge: two 10-answer lists",
        [&] { bench::keep(plain.merge(rec1.get(), rec2.get(), out.get())); }, "merge");
    h.add(
        "merge: with the Hmm rescaling (vocabulary)",
        [&] { bench::keep(model->merge(rec1.get(), rec2.get(), out.get())); }, "merge");
    h.add(
        "mergeWithConfidence: nets and study",
        [&] { bench::keep(model->mergeWithConfidence(rec1.get(), rec2.get(), out.get())); },
        "merge");
    return h.run();
}
