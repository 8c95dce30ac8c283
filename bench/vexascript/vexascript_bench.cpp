// Recognition speed: the time to read one 10-letter word, and characters
// read per second over a set of lexicon words, printed and joined, beside the
// reference of a session that takes the same ink but reads nothing.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Handwriting.h"
#include "VexaScript.h"
#include "harness.h"

namespace {

std::vector<char> readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<PSO_POINT> inkOf(const std::string& text, uint32_t seed, double joined = 0) {
    handwriting::Options o;
    o.seed = seed;
    o.joined = joined;
    return handwriting::write(text, o).pointList();
}

// One session; with `read` false the ink is taken and given back, not read.
int32_t session(PSO_HRC ctx, const std::vector<PSO_POINT>& ink, uint32_t flags, bool read) {
    const PSO_SESSION_START start{0, flags};
    PSO_StartRecognitionSession(ctx, &start);
    PSO_AddInkToRecSession(ctx, ink.data(), static_cast<int32_t>(ink.size()), 0, nullptr, 0);
    if (!read) return PSO_GetNumStrokes(ctx);
    PSO_EndRecognitionSession(ctx);
    return PSO_GetNumAnswerBlocks(ctx);
}

}  // namespace

int main(int argc, char** argv) {
    bench::Harness h(argc, argv);
    const std::vector<char> lexicon = readFile(VEXA_LEXICON_FILE);
    if (lexicon.empty()) {
        std::fprintf(stderr, "cannot read %s\n", VEXA_LEXICON_FILE);
        return 1;
    }
    PSO_HRC ctx = PSO_CreateRecognitionContext();
    PSO_HRC bare = PSO_CreateRecognitionContext();
    PSO_AddLexGeneratorToRecContext(ctx, lexicon.data(), static_cast<int32_t>(lexicon.size()));

    const std::vector<PSO_POINT> tenLetters = inkOf("understand", 3);
    const char* words[] = {"a",       "the",       "house",       "garden",    "Boston",
                           "quickly", "elephant",  "handwriting", "window",    "I'm",
                           "numbers", "recognize", "paper",       "silver",    "Tuesday",
                           "jump",    "zebra",     "fox",         "yesterday", "kitchen"};
    std::vector<std::vector<PSO_POINT>> inks;
    size_t chars = 0;
    for (size_t i = 0; i < sizeof words / sizeof *words; ++i) {
        inks.push_back(inkOf(words[i], static_cast<uint32_t>(i + 1)));
        chars += std::strlen(words[i]);
    }
    const uint32_t flags = PSO_SF_WORD_SEGMENTATION;

    h.add(
        "reference: take a 10-letter word's ink, read nothing",
        [&] { bench::keep(session(ctx, tenLetters, flags, false)); }, "word");
    h.add(
        "read a 10-letter word (\"understand\", lexicon)",
        [&] { bench::keep(session(ctx, tenLetters, flags, true)); }, "word");
    h.add(
        "read a 10-letter word, gate off",
        [&] { bench::keep(session(ctx, tenLetters, flags | PSO_SF_GATE_OFF, true)); }, "word");
    h.add(
        "read a 10-letter word without a lexicon",
        [&] { bench::keep(session(bare, tenLetters, flags, true)); }, "word");

    // Characters per second: the median time of reading all the words, per character.
    std::vector<double> samples;
    for (int r = 0; r < (h.quick() ? 1 : 5); ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& ink : inks) bench::keep(session(ctx, ink, flags, true));
        samples.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    h.addMeasured("read 20 lexicon words of 1 to 11 letters, per character",
                  bench::median(samples) / chars, "char");

    // The same words joined letter to letter (a word of small letters in one stroke).
    std::vector<std::vector<PSO_POINT>> joinedInks;
    for (size_t i = 0; i < sizeof words / sizeof *words; ++i)
        joinedInks.push_back(inkOf(words[i], static_cast<uint32_t>(i + 1), 1));
    samples.clear();
    for (int r = 0; r < (h.quick() ? 1 : 5); ++r) {
        const auto start = std::chrono::steady_clock::now();
        for (const auto& ink : joinedInks) bench::keep(session(ctx, ink, flags, true));
        samples.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    h.addMeasured("read the 20 words joined, per character", bench::median(samples) / chars,
                  "char");

    const int result = h.run();
    PSO_DeleteRecognitionContext(ctx);
    PSO_DeleteRecognitionContext(bare);
    return result;
}
