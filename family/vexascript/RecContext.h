// A recognition context: its lexicon, its user dictionaries and one session
// at a time (ink, parameters, answers). The exported PSO_ functions check
// their arguments and call these operations.
#ifndef SCRIBIX_VEXASCRIPT_RECCONTEXT_H
#define SCRIBIX_VEXASCRIPT_RECCONTEXT_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Lexicon.h"
#include "Recognizer.h"
#include "VexaScript.h"

namespace vexa {

class RecContext {
  public:
    // Lexicon and dictionaries.
    bool setLexicon(const void* bytes, size_t size);
    bool hasLexicon() const { return lexicon_ != nullptr; }
    UserDict* addUserDict(const void* bytes, size_t size);  // null when refused
    bool ownsDict(const UserDict* d) const;
    bool removeUserDict(const UserDict* d);  // false when the context holds no such one
    // Whether the lexicon or a user dictionary holds the word as written.
    bool knows(const std::string& word) const;
    // Words near the given one, nearest first: (text, PSO_SOURCE_*).
    std::vector<std::pair<std::string, int>> variants(const std::string& word, size_t max) const;

    // Session.
    int32_t start(uint32_t flags);
    int32_t setExtra(int32_t kind, intptr_t value);
    // Adds the strokes of an ink point list.
    int32_t addInk(const PSO_POINT* points, int32_t count, int32_t* strokesAdded);
    int32_t recognizeNow();
    int32_t end();

    const std::vector<AnswerBlock>& answers() const { return answers_; }
    const std::vector<std::vector<PSO_POINT>>& strokes() const { return strokes_; }

  private:
    std::shared_ptr<const LexiconData> lexicon_;
    std::vector<std::unique_ptr<UserDict>> dicts_;

    bool open_ = false;
    bool recognized_ = false;
    uint32_t flags_ = 0, extraFlags_ = 0;
    PSO_PROGRESS_CALLBACK progress_ = nullptr;
    intptr_t userData_ = 0;
    bool hasGuide_ = false;
    GuideBox guide_;
    std::vector<std::vector<PSO_POINT>> strokes_;
    size_t points_ = 0;
    std::vector<AnswerBlock> answers_;
};

}  // namespace vexa

#endif
