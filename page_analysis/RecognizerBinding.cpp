#include "RecognizerBinding.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace ombra {

namespace {

template <class F>
void bind(void* module, const char* name, F& entry) {
    if (!entry)
        entry =
            reinterpret_cast<F>(reinterpret_cast<void (*)()>(moduleLoader().symbol(module, name)));
}

}  // namespace

bool RecognizerBinding::load(const char* file) {
    unload();
    if (!file) return false;
    module = moduleLoader().load(file);
    if (!module) return false;
    std::strncpy(path, file, kPathChars - 1);
    bind(module, "PSO_GetRecognizerInfo", GetRecognizerInfo);
    bind(module, "PSO_CreateRecognitionContext", CreateRecognitionContext);
    bind(module, "PSO_DeleteRecognitionContext", DeleteRecognitionContext);
    bind(module, "PSO_StartRecognitionSession", StartRecognitionSession);
    bind(module, "PSO_EndRecognitionSession", EndRecognitionSession);
    bind(module, "PSO_AddInkToRecSession", AddInkToRecSession);
    bind(module, "PSO_GetNumAnswerBlocks", GetNumAnswerBlocks);
    bind(module, "PSO_GetNumWordsInAnswerBlock", GetNumWordsInAnswerBlock);
    bind(module, "PSO_GetWordFromAnswerBlock", GetWordFromAnswerBlock);
    bind(module, "PSO_GetWordFromAnswerBlockW", GetWordFromAnswerBlockW);
    bind(module, "PSO_SetExtraSessionParameters", SetExtraSessionParameters);
    bind(module, "PSO_GetAnswerConfidence", GetAnswerConfidence);
    bind(module, "PSO_GetRecWordBaseline", GetRecWordBaseline);
    bind(module, "PSO_GetExtraAnswerData", GetExtraAnswerData);
    bind(module, "PSO_GetAnswerLineInfo", GetAnswerLineInfo);
    const bool mandatory =
        GetRecognizerInfo && CreateRecognitionContext && DeleteRecognitionContext &&
        StartRecognitionSession && EndRecognitionSession && AddInkToRecSession &&
        GetNumAnswerBlocks && GetNumWordsInAnswerBlock && GetWordFromAnswerBlock &&
        GetWordFromAnswerBlockW && SetExtraSessionParameters && GetAnswerConfidence &&
        GetRecWordBaseline && GetExtraAnswerData && GetAnswerLineInfo;
    if (!mandatory) {
        unload();
        return false;
    }
    bind(module, "PSO_GetAnsBlockLowLevelInfo", GetAnsBlockLowLevelInfo);
    bind(module, "PSO_AddLexGeneratorToRecContext", AddLexGeneratorToRecContext);
    context_ = CreateRecognitionContext();
    if (!context_) {
        unload();
        return false;
    }
    loaded_ = true;
    return true;
}

void RecognizerBinding::unload() {
    if (context_ && DeleteRecognitionContext) DeleteRecognitionContext(context_);
    if (module) moduleLoader().unload(module);
    // Zero the record: every entry, the path and the flag.
    module = nullptr;
    std::memset(path, 0, sizeof path);
    GetRecognizerInfo = nullptr;
    CreateRecognitionContext = nullptr;
    DeleteRecognitionContext = nullptr;
    StartRecognitionSession = nullptr;
    EndRecognitionSession = nullptr;
    AddInkToRecSession = nullptr;
    GetNumAnswerBlocks = nullptr;
    GetNumWordsInAnswerBlock = nullptr;
    GetWordFromAnswerBlock = nullptr;
    GetWordFromAnswerBlockW = nullptr;
    SetExtraSessionParameters = nullptr;
    GetAnswerConfidence = nullptr;
    GetExtraAnswerData = nullptr;
    GetRecWordBaseline = nullptr;
    GetAnswerLineInfo = nullptr;
    GetAnsBlockLowLevelInfo = nullptr;
    AddLexGeneratorToRecContext = nullptr;
    context_ = nullptr;
    loaded_ = false;
    std::memset(lexicon_, 0, sizeof lexicon_);
}

bool RecognizerBinding::addLexGeneratorFile(const char* file) {
    if (!giveLexicon(context_, file)) return false;
    std::strncpy(lexicon_, file, kPathChars - 1);
    return true;
}

PSO_HRC RecognizerBinding::openContext() {
    if (!loaded_) return nullptr;
    PSO_HRC context = CreateRecognitionContext();
    if (context && lexicon_[0] && !giveLexicon(context, lexicon_)) {
        DeleteRecognitionContext(context);
        context = nullptr;
    }
    return context;
}

void RecognizerBinding::closeContext(PSO_HRC context) {
    if (context && loaded_ && context != context_) DeleteRecognitionContext(context);
}

bool RecognizerBinding::giveLexicon(PSO_HRC context, const char* file) {
    if (!context || !AddLexGeneratorToRecContext || !file) return false;
    FILE* f = std::fopen(file, "rb");
    if (!f) return false;
    bool ok = false;
    if (std::fseek(f, 0, SEEK_END) == 0) {
        const long length = std::ftell(f);
        // The recognizer takes a 32-bit length; anything larger is no lexicon.
        if (length > 0 && length < 0x7FFFFFFF && std::fseek(f, 0, SEEK_SET) == 0) {
            char* bytes = new (std::nothrow) char[length];
            if (bytes && std::fread(bytes, 1, length, f) == static_cast<size_t>(length))
                ok = AddLexGeneratorToRecContext(context, bytes, static_cast<int32_t>(length)) ==
                     PSO_OK;
            delete[] bytes;
        }
    }
    std::fclose(f);
    return ok;
}

}  // namespace ombra
