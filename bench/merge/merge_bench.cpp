// Load time of a merge model of realistic size: three confidence nets of a few
// hundred units over 11 to 16 features, two study files and a vocabulary of
// 60000 words, beside the time to read the same files' bytes (the reference).
#include <cstdio>
#include <string>
#include <vector>

#include "ConfNet.h"
#include "MergeStudy.h"
#include "Tessel.h"
#include "WordLevelList.h"
#include "bench_model.h"
#include "harness.h"
#include "merge_test_util.h"

namespace {

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
    std::vector<std::string> files;
    const std::string config = benchmodel::writeModel(dir, &files);
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
