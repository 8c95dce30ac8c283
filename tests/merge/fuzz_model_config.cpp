// libFuzzer target: the model configuration reader (and, on the same bytes,
// the study-file and vocabulary readers) on arbitrary files. The folder holds
// the nets, study file and vocabulary that the seed configurations name, so
// that mutated lines reach every key.
#include <cstdint>
#include <string>

#include "AnswerMerger.h"
#include "MergeStudy.h"
#include "WordLevelList.h"
#include "merge_test_util.h"

namespace {

const mergetest::TempDir& workDir() {
    static const mergetest::TempDir dir("fuzz_model_config");
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const mergetest::TempDir& dir = workDir();
    using mergetest::encodeNet;
    using mergetest::sampleNet;
    mergetest::writeFile(dir.path("rec1.net"), encodeNet(sampleNet(1005, 6, 3)));
    mergetest::writeFile(dir.path("rec2.net"), encodeNet(sampleNet(1002, 3, 2)));
    mergetest::writeFile(dir.path("cross.net"), encodeNet(sampleNet(0, 2, 2)));
    mergetest::writeFile(dir.path("vocabulary.txt"), "the 7\n\"new york\" 12\n");
    const std::string study = mergetest::studyText(mergetest::pairStudyDescription());
    mergetest::writeScrambled(dir.path("merge.sqr"), study, 249);
    mergetest::writeScrambled(dir.path("dist.sqr"), study, 249);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = workDir().path("model.cfg");
    mergetest::writeFile(path, std::string(reinterpret_cast<const char*>(data), size));

    tessel::AnswerMergerImpl merger;
    tessel::loadMergerModel(merger, path.c_str());

    tessel::releaseMergeStudy(tessel::readMergeStudyFile(("\"" + path + "\"").c_str()));

    tessel::WordLevelList vocabulary;
    tessel::readWordLevelList(vocabulary, path.c_str());
    return 0;
}
