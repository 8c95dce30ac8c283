#include "bench_model.h"

#include <cstdint>

namespace benchmodel {

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

}  // namespace

std::string writeModel(const mergetest::TempDir& dir, std::vector<std::string>* files) {
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
    if (files) {
        *files = {dir.path("model.cfg"), dir.path("rec1.net"),       dir.path("rec2.net"),
                  dir.path("cross.net"), dir.path("vocabulary.txt"), dir.path("merge.sqr"),
                  dir.path("dist.sqr")};
    }
    return dir.path("model.cfg");
}

}  // namespace benchmodel
