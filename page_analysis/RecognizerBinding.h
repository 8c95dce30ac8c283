// The handwriting recognizer library, loaded from the page-analysis library's
// folder and bound by name. One recognition context serves every session of
// an Ombra context; a library that lacks a mandatory entry, or gives no
// context, leaves the binding empty (not loaded).
#ifndef OMBRA_RECOGNIZERBINDING_H
#define OMBRA_RECOGNIZERBINDING_H

#include "Platform.h"
#include "outside/VexaScript.h"

namespace ombra {

class RecognizerBinding {
  public:
    RecognizerBinding() = default;
    ~RecognizerBinding() { unload(); }
    RecognizerBinding(const RecognizerBinding&) = delete;
    RecognizerBinding& operator=(const RecognizerBinding&) = delete;

    bool load(const char* path);
    void unload();
    // The bytes of a lexicon file handed to the recognizer; false when the file
    // is empty or unreadable or the recognizer refuses it.
    bool addLexGeneratorFile(const char* path);
    // A further recognition context, with the lexicon the first one took;
    // null when the recognizer gives none or refuses the lexicon now. Freed
    // with closeContext before the binding is unloaded.
    PSO_HRC openContext();
    void closeContext(PSO_HRC context);

    bool loaded() const { return loaded_; }
    PSO_HRC context() const { return context_; }

    void* module = nullptr;
    char path[kPathChars] = {};
    decltype(&::PSO_GetRecognizerInfo) GetRecognizerInfo = nullptr;
    decltype(&::PSO_CreateRecognitionContext) CreateRecognitionContext = nullptr;
    decltype(&::PSO_DeleteRecognitionContext) DeleteRecognitionContext = nullptr;
    decltype(&::PSO_StartRecognitionSession) StartRecognitionSession = nullptr;
    decltype(&::PSO_EndRecognitionSession) EndRecognitionSession = nullptr;
    decltype(&::PSO_AddInkToRecSession) AddInkToRecSession = nullptr;
    decltype(&::PSO_GetNumAnswerBlocks) GetNumAnswerBlocks = nullptr;
    decltype(&::PSO_GetNumWordsInAnswerBlock) GetNumWordsInAnswerBlock = nullptr;
    decltype(&::PSO_GetWordFromAnswerBlock) GetWordFromAnswerBlock = nullptr;
    decltype(&::PSO_GetWordFromAnswerBlockW) GetWordFromAnswerBlockW = nullptr;
    decltype(&::PSO_SetExtraSessionParameters) SetExtraSessionParameters = nullptr;
    decltype(&::PSO_GetAnswerConfidence) GetAnswerConfidence = nullptr;
    decltype(&::PSO_GetExtraAnswerData) GetExtraAnswerData = nullptr;
    decltype(&::PSO_GetRecWordBaseline) GetRecWordBaseline = nullptr;
    decltype(&::PSO_GetAnswerLineInfo) GetAnswerLineInfo = nullptr;
    decltype(&::PSO_GetAnsBlockLowLevelInfo) GetAnsBlockLowLevelInfo = nullptr;
    decltype(&::PSO_AddLexGeneratorToRecContext) AddLexGeneratorToRecContext = nullptr;

  private:
    // Reads the file and gives its bytes to the context; true when taken.
    bool giveLexicon(PSO_HRC context, const char* file);

    PSO_HRC context_ = nullptr;
    bool loaded_ = false;
    char lexicon_[kPathChars] = {};  // the lexicon file the first context took
};

}  // namespace ombra

#endif
