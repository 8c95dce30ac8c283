// A recognizer module that recognizes nothing: every call answers "no" (an
// empty handle, false, an error code), so that a test overrides only what it
// looks at (a user dictionary that knows words, the recognizer's name).
// Windows tests only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "recognition/RecModule.h"

class StubRecModule : public RecModule {
    VEXA_CLASS(StubRecModule, RecModule)

  public:
    // What the recognizer-side calls answer that have nothing to give.
    static constexpr int32_t kNoAnswer = 2;

    using RecModule::RecModule;
    bool checkWord(PSO_HRC, const wchar_t*) override { return false; }
    PSO_HUSERDICT LoadUserDictFromFile(PSO_HRC, const wchar_t*, bool) override { return nullptr; }
    bool SaveUserDictToFile(PSO_HRC, PSO_HUSERDICT, const wchar_t*, const wchar_t*) override {
        return false;
    }
    PSO_HRC createRecContext(RecProfile&) override { return nullptr; }
    RecWordList* getAnswers(PSO_HRC, int, bool) override { return nullptr; }
    bool getWordVariants(PSO_HRC, const wchar_t*, std::vector<std::wstring>&, int) override {
        return false;
    }
    const wchar_t* getUserDictExtension() const override { return L".voc"; }
    bool addWordToUserDict(PSO_HRC, PSO_HUSERDICT, const wchar_t*) override { return false; }
    bool enumUserDictWords(PSO_HRC, PSO_HUSERDICT, UserDictWordCallback, void*) override {
        return false;
    }
    int32_t PSO_GetRecognizerInfo(int32_t, char* buffer) override {
        buffer[0] = 0;
        return 0;
    }
    PSO_HRC PSO_CreateRecognitionContext() override { return nullptr; }
    int32_t PSO_DeleteRecognitionContext(PSO_HRC) override { return kNoAnswer; }
    int32_t PSO_StartRecognitionSession(PSO_HRC, const PSO_SESSION_START*) override {
        return kNoAnswer;
    }
    int32_t PSO_EndRecognitionSession(PSO_HRC) override { return kNoAnswer; }
    int32_t PSO_AddInkToRecSession(PSO_HRC, const PSO_POINT*, int32_t, int32_t, int32_t*,
                                   int32_t) override {
        return kNoAnswer;
    }
    int32_t PSO_SetExtraSessionParameters(PSO_HRC, int32_t, intptr_t) override {
        return kNoAnswer;
    }
    int32_t PSO_GetNumAnswerBlocks(PSO_HRC) override { return 0; }
    int32_t PSO_GetNumWordsInAnswerBlock(PSO_HRC, int32_t) override { return 0; }
    int32_t PSO_GetWordFromAnswerBlock(PSO_HRC, int32_t, int32_t, char*, int32_t*, int32_t*,
                                       int32_t*, int32_t) override {
        return kNoAnswer;
    }
    int32_t PSO_GetAnswerConfidence(PSO_HRC, int32_t, int32_t*) override { return kNoAnswer; }
    int32_t PSO_GetExtraAnswerData(PSO_HRC, int32_t, int32_t, int32_t, int32_t, void*) override {
        return kNoAnswer;
    }
    int32_t PSO_GetNumStrokes(PSO_HRC) override { return 0; }
    int32_t PSO_GetStrokeLen(PSO_HRC, int32_t) override { return 0; }
    int32_t PSO_GetStroke(PSO_HRC, int32_t, PSO_POINT*, int32_t) override { return kNoAnswer; }
    int32_t PSO_AddLexGeneratorToRecContext(PSO_HRC, const void*, int32_t) override {
        return kNoAnswer;
    }
    PSO_HUSERDICT PSO_AddUserDictToRecContext(PSO_HRC, const void*) override {
        return nullptr;
    }
    int32_t PSO_DumpUserDictToMemoryBuffer(PSO_HRC, PSO_HUSERDICT, void*) override {
        return kNoAnswer;
    }
    int32_t PSO_UserDict_Features(PSO_HRC, PSO_HUSERDICT, int32_t*) override { return kNoAnswer; }
    int32_t PSO_UserDict_AddWord(PSO_HRC, PSO_HUSERDICT, const char*) override {
        return kNoAnswer;
    }
    int32_t PSO_UserDict_Clear(PSO_HRC, PSO_HUSERDICT) override { return kNoAnswer; }
    int32_t PSO_UserDict_EnumWords(PSO_HRC, PSO_HUSERDICT, PSO_ENUMWORDS_CALLBACK, void*) override {
        return kNoAnswer;
    }
};
