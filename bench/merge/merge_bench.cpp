// Load time of a merge model of realistic size: three confidence nets of a few
// hundred units over 11 to 16 features, two study files and a vocabulary of
// 60000 words, beside the time to read the same files' bytes (the reference).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "ConfNet.h"
#include "MergeStudy.h"
#include "Tessel.h"
#include "WordLevelList.h"
#include "harness.h"
#include "merge_test_util.h"

namespace {

// Distinct lower-case words of 3 to 12 letters with levels, in no order.
std::string vocabularyText(int words) {
    std::string text;
    uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return state >> 16;
    };
    for (int i = 0; i < words; ++i) {
        std::string word;
        for (int n = 3 + static_cast<int>(next() % 10); n > 0; --n)
            word += static_cast<char>('a' + next() % 26);
        text += word + std::to_string(i) + " " + std::to_string(next() % 16) + "\n";
    }
    return text;
}

size_t readAll(const std::vector<std::string>& paths) {
    std::vector<char> buffer(1 << 16);
    size_t total = 0;
    for (const std::string& path : paths) {
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f) continue;
        while (size_t n = std::fread(buffer.data(), 1, buffer.size(), f)) total += n;
        std::fclose(f);
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Harness h(argc, argv);
    const mergetest::TempDir dir("bench_model");
    using mergetest::encodeNet;
    using mergetest::sampleNet;
    mergetest::writeFile(dir.path("rec1.net"), encodeNet(sampleNet(1005, 16, 400)));
    mergetest::writeFile(dir.path("rec2.net"), encodeNet(sampleNet(1004, 11, 300)));
    mergetest::writeFile(dir.path("cross.net"), encodeNet(sampleNet(1005, 16, 400)));
    mergetest::writeFile(dir.path("vocabulary.txt"), vocabularyText(60000));
    const std::string study = mergetest::studyText(mergetest::pairStudyDescription());
    mergetest::writeScrambled(dir.path("merge.sqr"), study, 249);
    mergetest::writeScrambled(dir.path("dist.sqr"), study, 249);
    mergetest::writeScrambled(dir.path("model.cfg"),
                              "Rec1 Conf Features = VSConfNormVoc\n"
                              "Rec2 Conf Features = HMMVoc\n"
                              "Cross Conf Features = List5\n"
                              "Rec1 Conf Net = rec1.net\n"
                              "Rec2 Conf Net = rec2.net\n"
                              "Cross Conf Net = cross.net\n"
                              "Rec1/Rec2 weight = 0.8\n"
                              "Rec1/Rec2 delta = 0.9\n"
                              "Rec1-Rec2 alpha = 1.1\n"
                              "Voc Stat Qual = 2\n"
                              "Lex Stat Qual = 0.5\n"
                              "Non Voc Weight = 3\n"
                              "Merge Sqr = merge.sqr\n"
                              "Conf->Dist Sqr = dist.sqr\n"
                              "Voc = vocabulary.txt\n"
                              "Rescale Hmm List = yes\n");
    const std::vector<std::string> files = {dir.path("model.cfg"),      dir.path("rec1.net"),
                                            dir.path("rec2.net"),       dir.path("cross.net"),
                                            dir.path("vocabulary.txt"), dir.path("merge.sqr"),
                                            dir.path("dist.sqr")};
    const std::string config = dir.path("model.cfg");
    if (AnswerMerger* probe = TslLoad(config.c_str())) {
        probe->release();
    } else {
        std::fprintf(stderr, "the benchmark model does not load\n");
        return 1;
    }

    h.add(
        "reference: read the model's bytes (" + std::to_string(readAll(files) >> 10) + " KiB)",
        [&] { bench::keep(readAll(files)); }, "model");
    h.add(
        "TslLoad + release: whole model",
        [&] {
            AnswerMerger* merger = TslLoad(config.c_str());
            bench::keep(merger);
            merger->release();
        },
        "model");
    h.add(
        "readConfNet: 400 units over 16 features",
        [&] {
            tessel::ConfNet net;
            bench::keep(tessel::readConfNet(net, dir.path("rec1.net").c_str()));
        },
        "net");
    h.add(
        "readWordLevelList: 60000 words",
        [&] {
            tessel::WordLevelList list;
            bench::keep(tessel::readWordLevelList(list, dir.path("vocabulary.txt").c_str()));
        },
        "list");
    h.add(
        "readMergeStudyFile",
        [&] {
            tessel::releaseMergeStudy(tessel::readMergeStudyFile(dir.path("merge.sqr").c_str()));
        },
        "file");
    return h.run();
}
