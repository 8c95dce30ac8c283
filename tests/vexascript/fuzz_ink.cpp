// libFuzzer target over what reaches the recognizer from outside: the ink
// point list with its session flags and guide, lexicon bytes and user
// dictionary bytes. Besides faults it checks that every stroke of a session
// belongs to exactly one answer block and that a dictionary dump loads back.
//
// Input: byte 0 picks the case (ink, lexicon, dictionary), bytes 1-4 the
// session flags, the rest is the case's data (for ink: int16 x, y pairs).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "BanFormat.h"
#include "VexaScript.h"

namespace {

const std::vector<uint8_t>& smallLexicon() {
    static const std::vector<uint8_t> bytes = [] {
        ban::Lexicon lex;
        lex.words = {"a", "an", "and", "ink", "in", "on", "pen", "the", "word", "words"};
        return ban::build(lex);
    }();
    return bytes;
}

#define check(ok) checkAt(ok, __LINE__)

void checkAt(bool ok, int line) {
    if (ok) return;
    std::fprintf(stderr, "fuzz_ink.cpp:%d: check failed\n", line);
    std::abort();
}

void readEverything(PSO_HRC ctx) {
    const int32_t strokes = PSO_GetNumStrokes(ctx);
    std::vector<int> owners(strokes > 0 ? strokes : 0, 0);
    const int32_t blocks = PSO_GetNumAnswerBlocks(ctx);
    for (int32_t b = 0; b < blocks; ++b) {
        const int32_t alts = PSO_GetNumWordsInAnswerBlock(ctx, b);
        check(alts >= 1 && alts <= PSO_MAX_ALTERNATIVES);
        for (int32_t a = 0; a < alts; ++a) {
            char text[PSO_TEXT_BUFFER];
            PSO_WCHAR wide[PSO_TEXT_BUFFER];
            int32_t weight = 0, count = 0;
            std::vector<int32_t> numbers(strokes + 1);
            check(PSO_GetWordFromAnswerBlock(ctx, b, a, text, &weight, numbers.data(), &count,
                                             strokes + 1) == PSO_OK);
            check(weight >= 1 && weight <= 100 && std::strlen(text) <= PSO_MAX_WORD_CHARS);
            if (a == 0)
                for (int32_t i = 0; i < count; ++i) {
                    check(numbers[i] >= 0 && numbers[i] < strokes);
                    ++owners[numbers[i]];
                }
            check(PSO_GetWordFromAnswerBlockW(ctx, b, a, wide, nullptr, nullptr, nullptr, 0) ==
                  PSO_OK);
            int32_t values[2];
            check(PSO_GetExtraAnswerData(ctx, b, a, PSO_EXTRA_ALT_VALUES, 0, values) == 2);
        }
        int32_t confidence = -1, line = -1, word = -1;
        check(PSO_GetAnswerConfidence(ctx, b, &confidence) == PSO_OK);
        check(confidence >= 0 && confidence <= 100);
        PSO_POINT baseline[4];
        check(PSO_GetRecWordBaseline(ctx, b, 0, baseline) == PSO_OK);
        check(PSO_GetAnswerLineInfo(ctx, b, &line, &word) == PSO_OK);
        const int32_t chars = PSO_GetAnsBlockLowLevelInfo(ctx, b, nullptr, 0);
        std::vector<PSO_CHAR_INFO> info(chars > 0 ? chars : 1);
        check(PSO_GetAnsBlockLowLevelInfo(ctx, b, info.data(), chars) == chars);
        const int32_t parts = PSO_GetExtraAnswerData(ctx, b, 0, PSO_EXTRA_PART_COUNT, 0, nullptr);
        for (int32_t p = 0; p < parts; ++p) {
            const int32_t n =
                PSO_GetExtraAnswerData(ctx, b, 0, PSO_EXTRA_PART_STROKE_COUNT, p, nullptr);
            std::vector<int32_t> part(n > 0 ? n : 1);
            check(PSO_GetExtraAnswerData(ctx, b, 0, PSO_EXTRA_PART_STROKES, p, part.data()) == n);
        }
    }
    if (blocks > 0)
        for (int n : owners) check(n == 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    const uint8_t kind = data[0] % 3;
    uint32_t flags;
    std::memcpy(&flags, data + 1, 4);
    data += 5;
    size -= 5;
    PSO_HRC ctx = PSO_CreateRecognitionContext();
    check(ctx != nullptr);
    if (kind == 0) {
        const auto& lex = smallLexicon();
        check(PSO_AddLexGeneratorToRecContext(ctx, lex.data(), static_cast<int32_t>(lex.size())) ==
              PSO_OK);
        const PSO_SESSION_START start{0, flags};
        check(PSO_StartRecognitionSession(ctx, &start) == PSO_OK);
        if ((flags & PSO_SF_BOXED) && size >= sizeof(PSO_GUIDE)) {
            PSO_GUIDE guide;
            std::memcpy(&guide, data, sizeof guide);
            PSO_SetExtraSessionParameters(ctx, PSO_EXTRA_GUIDE, reinterpret_cast<intptr_t>(&guide));
            data += sizeof guide;
            size -= sizeof guide;
        }
        std::vector<PSO_POINT> points(size / sizeof(PSO_POINT));
        if (!points.empty()) std::memcpy(points.data(), data, points.size() * sizeof(PSO_POINT));
        // In up to three calls, as a caller adding strokes one after the other.
        const size_t third = points.size() / 3;
        size_t at = 0;
        for (size_t part : {third, third, points.size() - 2 * third}) {
            if (part)
                PSO_AddInkToRecSession(ctx, points.data() + at, static_cast<int32_t>(part), 0,
                                       nullptr, 0);
            at += part;
        }
        const int32_t end = PSO_EndRecognitionSession(ctx);
        check(end == PSO_OK);
        readEverything(ctx);
    } else if (kind == 1) {
        if (PSO_AddLexGeneratorToRecContext(ctx, data, static_cast<int32_t>(size)) == PSO_OK) {
            const PSO_POINT ink[] = {{10, 10}, {12, 60}, {0, -1}, {30, 30}, {60, 32}};
            const PSO_SESSION_START start{0, flags};
            check(PSO_StartRecognitionSession(ctx, &start) == PSO_OK);
            check(PSO_AddInkToRecSession(ctx, ink, 5, 0, nullptr, 0) == PSO_OK);
            check(PSO_EndRecognitionSession(ctx) == PSO_OK);
            readEverything(ctx);
        }
    } else {
        // As a caller hands bytes over: ended by a NUL.
        std::vector<uint8_t> bytes(data, data + size);
        bytes.push_back(0);
        PSO_HUSERDICT d = PSO_AddUserDictToRecContext(ctx, bytes.data());
        if (d) {
            const int32_t n = PSO_DumpUserDictToMemoryBuffer(ctx, d, nullptr);
            check(n >= 0);
            std::vector<uint8_t> dump(n > 0 ? n + 1 : 1);
            check(PSO_DumpUserDictToMemoryBuffer(ctx, d, dump.data()) == n);
            check(std::memchr(dump.data(), 0, n > 0 ? n : 0) == nullptr);
            dump[n > 0 ? n : 0] = 0;
            check(n == 0 || PSO_AddUserDictToRecContext(ctx, dump.data()) != nullptr);
            int32_t count = 0;
            PSO_UserDict_Features(ctx, d, &count);
            int32_t seen = 0;
            auto countWords = [](const char*, void* p) -> int32_t {
                ++*static_cast<int32_t*>(p);
                return 1;
            };
            check(PSO_UserDict_EnumWords(ctx, d, countWords, &seen) == PSO_OK);
            check(seen == count);
        }
    }
    check(PSO_DeleteRecognitionContext(ctx) == PSO_OK);
    return 0;
}
