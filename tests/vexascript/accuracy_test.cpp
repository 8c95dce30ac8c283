// Accuracy on generated handwriting: lexicon words written with moderate
// variation, and single characters written into letter boxes in
// separate-letter mode. Both figures are printed. The sample sizes come from
// the command line (--words=N, --chars=N per character), so that the Wine
// run can take a smaller sample than the native one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "BanFormat.h"
#include "CharForms.h"
#include "TestSupport.h"

namespace {

int gWords = 2000;
int gCharSamples = 12;

// Lexicon words the generator can write (a few carry letters with accents,
// which have no written form), drawn with a fixed seed.
std::vector<std::string> drawWords(int count) {
    const std::vector<char>& bytes = vt::lexicon("default");
    ban::Lexicon lex;
    std::string error;
    EXPECT_TRUE(ban::parse(bytes.data(), bytes.size(), lex, error)) << error;
    std::vector<std::string> writable;
    for (const std::string& w : lex.words)
        if (handwriting::canWrite(w)) writable.push_back(w);
    std::vector<std::string> out;
    uint64_t state = 0x5EED;
    for (int i = 0; i < count && !writable.empty(); ++i) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        out.push_back(writable[(state >> 33) % writable.size()]);
    }
    return out;
}

TEST(Accuracy, LexiconWordsWithModerateVariation) {
    vt::Context ctx;
    const std::vector<std::string> words = drawWords(gWords);
    ASSERT_EQ(words.size(), static_cast<size_t>(gWords));
    int first = 0, among = 0;
    std::vector<std::string> misses;
    for (size_t i = 0; i < words.size(); ++i) {
        const auto r =
            vt::recognize(ctx, vt::ink(words[i], static_cast<uint32_t>(i + 1)), vt::kDefaultFlags);
        const bool one = r.blocks.size() == 1;
        if (one && r.blocks[0].alts[0].text == words[i]) ++first;
        if (one && r.blocks[0].has(words[i]))
            ++among;
        else if (misses.size() < 10)
            misses.push_back(words[i] + " (seed " + std::to_string(i + 1) + ") -> " + r.text());
    }
    const double top1 = 100.0 * first / words.size(), topN = 100.0 * among / words.size();
    std::printf(
        "[accuracy] %zu lexicon words, moderate variation (%s): first alternative %.2f%%, "
        "among the alternatives %.2f%%\n",
        words.size(), psoSource(), top1, topN);
    for (const std::string& m : misses) std::printf("[accuracy]   not among them: %s\n", m.c_str());
    EXPECT_GE(top1, 95.0);
    EXPECT_GE(topN, 99.0);
}

TEST(Accuracy, SingleCharactersInSeparateLetterMode) {
    vt::Context ctx;
    const PSO_GUIDE guide = vt::letterBox();
    int total = 0, first = 0, among = 0;
    std::map<std::string, int> confusions;
    for (unsigned char ch : vexa::recognizableCharacters()) {
        for (int s = 0; s < gCharSamples; ++s) {
            const std::string text(1, static_cast<char>(ch));
            const auto r = vt::recognize(
                ctx, vt::ink(text, 1000 + 97 * s + ch, handwriting::Variation::moderate(), true),
                vt::kLetterBoxFlags, &guide);
            ++total;
            const bool one = r.blocks.size() == 1;
            if (one && r.blocks[0].alts[0].text == text)
                ++first;
            else
                ++confusions[text + " -> " + r.text()];
            if (one && r.blocks[0].has(text)) ++among;
        }
    }
    const double top1 = 100.0 * first / total, topN = 100.0 * among / total;
    std::printf(
        "[accuracy] %d single characters (%zu kinds), separate letters in boxes (%s): "
        "first alternative %.2f%%, among the alternatives %.2f%%\n",
        total, vexa::recognizableCharacters().size(), psoSource(), top1, topN);
    for (const auto& c : confusions)
        std::printf("[accuracy]   %s (%d)\n", c.first.c_str(), c.second);
    EXPECT_GE(top1, 95.0);
    EXPECT_GE(topN, 99.0);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (!std::strncmp(argv[i], "--words=", 8)) gWords = std::atoi(argv[i] + 8);
        if (!std::strncmp(argv[i], "--chars=", 8)) gCharSamples = std::atoi(argv[i] + 8);
    }
    return RUN_ALL_TESTS();
}
