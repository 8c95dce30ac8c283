// Shared helpers of the recognizer tests: the built lexicons, contexts that
// clean up after themselves, handwriting and one-call recognition, all over
// the PSO_ table of PsoBinding.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Handwriting.h"
#include "PsoBinding.h"

namespace vt {

// Bytes of a built lexicon ("default", "numeric", "empty").
const std::vector<char>& lexicon(const std::string& name);

// A recognition context, deleted at the end of the scope.
class Context {
  public:
    // With a lexicon name the context gets that lexicon.
    explicit Context(const std::string& lexiconName = "default");
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    PSO_HRC get() const { return handle_; }
    operator PSO_HRC() const { return handle_; }

  private:
    PSO_HRC handle_ = nullptr;
};

struct Alt {
    std::string text;
    int32_t weight = 0;
};

struct Block {
    std::vector<Alt> alts;
    std::vector<int32_t> strokes;
    bool has(const std::string& text) const;
};

struct Result {
    int32_t status = -1;  // of the end of the session
    std::vector<Block> blocks;
    // The first alternatives joined by blanks.
    std::string text() const;
};

// Reads the answers of the context's last recognition.
std::vector<Block> answers(PSO_HRC context);

// One session: start with `flags`, the guide when given, the ink in one
// call, end, answers.
Result recognize(PSO_HRC context, const std::vector<PSO_POINT>& ink, uint32_t flags,
                 const PSO_GUIDE* guide = nullptr);

// Handwriting of `text` as an ink point list.
std::vector<PSO_POINT> ink(
    const std::string& text, uint32_t seed,
    const handwriting::Variation& variation = handwriting::Variation::moderate(),
    bool separateLetters = false);

// The flags of the program's default profile: word segmentation.
constexpr uint32_t kDefaultFlags = PSO_SF_WORD_SEGMENTATION;

// One letter box of the word-list menu's row for letters of x-height 56
// written on the baseline y = 400: capital line on top, a third of the row
// under the baseline. And the flags of its "#sys-correct" session.
PSO_GUIDE letterBox();
constexpr uint32_t kLetterBoxFlags =
    PSO_SF_SEPARATE_LETTERS | PSO_SF_WORD_SEGMENTATION | PSO_SF_SOFT_BREAKS_ONLY | PSO_SF_BOXED;

#ifndef _WIN32
// Runs a command of the build host and answers its output; a failing command
// fails the test.
std::string runTool(const std::string& command);
#endif

}  // namespace vt
