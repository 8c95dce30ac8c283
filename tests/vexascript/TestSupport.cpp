#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

namespace vt {

const std::vector<char>& lexicon(const std::string& name) {
    static std::map<std::string, std::vector<char>> cache;
    auto it = cache.find(name);
    if (it != cache.end()) return it->second;
    const std::string path = std::string(VEXA_LEXICON_DIR) + "/" + name + ".ban";
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    return cache[name] = std::vector<char>(std::istreambuf_iterator<char>(in),
                                           std::istreambuf_iterator<char>());
}

Context::Context(const std::string& lexiconName) {
    handle_ = pso()->CreateRecognitionContext();
    EXPECT_NE(handle_, nullptr);
    if (!lexiconName.empty()) {
        const std::vector<char>& bytes = lexicon(lexiconName);
        EXPECT_EQ(pso()->AddLexGeneratorToRecContext(handle_, bytes.data(),
                                                     static_cast<int32_t>(bytes.size())),
                  PSO_OK);
    }
}

Context::~Context() {
    if (handle_) pso()->DeleteRecognitionContext(handle_);
}

bool Block::has(const std::string& text) const {
    for (const Alt& a : alts)
        if (a.text == text) return true;
    return false;
}

std::string Result::text() const {
    std::string out;
    for (const Block& b : blocks) {
        if (!out.empty()) out += ' ';
        if (!b.alts.empty()) out += b.alts[0].text;
    }
    return out;
}

std::vector<Block> answers(PSO_HRC context) {
    std::vector<Block> out;
    const int32_t n = pso()->GetNumAnswerBlocks(context);
    for (int32_t b = 0; b < n; ++b) {
        Block block;
        const int32_t alts = pso()->GetNumWordsInAnswerBlock(context, b);
        for (int32_t a = 0; a < alts; ++a) {
            char text[PSO_TEXT_BUFFER] = {};
            int32_t weight = 0, count = 0;
            int32_t strokes[PSO_MAX_SESSION_STROKES];
            const bool first = a == 0;
            EXPECT_EQ(pso()->GetWordFromAnswerBlock(
                          context, b, a, text, &weight, first ? strokes : nullptr,
                          first ? &count : nullptr, PSO_MAX_SESSION_STROKES),
                      PSO_OK);
            block.alts.push_back({text, weight});
            if (first) block.strokes.assign(strokes, strokes + count);
        }
        out.push_back(block);
    }
    return out;
}

Result recognize(PSO_HRC context, const std::vector<PSO_POINT>& ink, uint32_t flags,
                 const PSO_GUIDE* guide) {
    Result r;
    const PSO_SESSION_START start{0, flags};
    EXPECT_EQ(pso()->StartRecognitionSession(context, &start), PSO_OK);
    if (guide) {
        EXPECT_EQ(pso()->SetExtraSessionParameters(context, PSO_EXTRA_GUIDE,
                                                   reinterpret_cast<intptr_t>(guide)),
                  PSO_OK);
    }
    if (!ink.empty()) {
        EXPECT_EQ(pso()->AddInkToRecSession(context, ink.data(), static_cast<int32_t>(ink.size()),
                                            0, nullptr, 0),
                  PSO_OK);
    }
    r.status = pso()->EndRecognitionSession(context);
    r.blocks = answers(context);
    return r;
}

std::vector<PSO_POINT> ink(const std::string& text, uint32_t seed,
                           const handwriting::Variation& variation, bool separateLetters) {
    handwriting::Options o;
    o.seed = seed;
    o.variation = variation;
    o.separateLetters = separateLetters;
    return handwriting::write(text, o).pointList();
}

PSO_GUIDE letterBox() {
    const double cap = 56 * 10.0 / 6;  // the capital height of x-height 56
    return PSO_GUIDE{24,
                     380,
                     static_cast<int32_t>(400 - cap),
                     90,
                     static_cast<int32_t>(cap * 1.5),
                     static_cast<int32_t>(cap * 0.5)};
}

#ifndef _WIN32
std::string runTool(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    EXPECT_NE(p, nullptr) << command;
    if (!p) return out;
    char buf[512];
    while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << command;
    return out;
}
#endif

}  // namespace vt
