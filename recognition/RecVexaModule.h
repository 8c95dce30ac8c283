// The recognizer module of an engine folder that holds the recognizer library
// "VexaScript.dll": the library is loaded at run time and its 22 PSO_
// functions are bound by name; the module's operations (words, user
// dictionaries, contexts with their lexicon, answers as word lists) are built
// on them. Text crosses the library as 8-bit text in the code page of the
// module's locale.
#pragma once

#include <windows.h>

#include "recognition/RecModule.h"

class RecVexaModule : public RecModule {
    VEXA_CLASS(RecVexaModule, RecModule)

  public:
    RecVexaModule(const std::wstring& libraryPath, const std::wstring& languageName,
                  const std::wstring& dataFolder);
    // Releases every profile's context, then frees the library.
    ~RecVexaModule() override;

    bool load() override;
    bool isLibraryLoaded() const { return library_ != nullptr; }
    const std::wstring& libraryPath() const { return libraryPath_; }

    bool checkWord(PSO_HRC context, const wchar_t* word) override;
    PSO_HUSERDICT LoadUserDictFromFile(PSO_HRC context, const wchar_t* path,
                                       bool mayBeMissing) override;
    bool SaveUserDictToFile(PSO_HRC context, PSO_HUSERDICT dictionary, const wchar_t* path,
                            const wchar_t* backupExtension) override;
    PSO_HRC createRecContext(RecProfile& profile) override;
    RecWordList* getAnswers(PSO_HRC context, int capitalization, bool stopAtWeakBlock) override;
    bool getWordVariants(PSO_HRC context, const wchar_t* word, std::vector<std::wstring>& out,
                         int maximum) override;
    const wchar_t* getUserDictExtension() const override { return L".voc"; }
    bool addWordToUserDict(PSO_HRC context, PSO_HUSERDICT dictionary, const wchar_t* word) override;
    bool enumUserDictWords(PSO_HRC context, PSO_HUSERDICT dictionary, UserDictWordCallback callback,
                           void* parameter) override;

    int32_t PSO_GetRecognizerInfo(int32_t kind, char* buffer) override;
    PSO_HRC PSO_CreateRecognitionContext() override;
    int32_t PSO_DeleteRecognitionContext(PSO_HRC context) override;
    int32_t PSO_StartRecognitionSession(PSO_HRC context, const PSO_SESSION_START* start) override;
    int32_t PSO_EndRecognitionSession(PSO_HRC context) override;
    int32_t PSO_AddInkToRecSession(PSO_HRC context, const PSO_POINT* points, int32_t count,
                                   int32_t reserved, int32_t* strokesAdded,
                                   int32_t source) override;
    int32_t PSO_SetExtraSessionParameters(PSO_HRC context, int32_t kind, intptr_t value) override;
    int32_t PSO_GetNumAnswerBlocks(PSO_HRC context) override;
    int32_t PSO_GetNumWordsInAnswerBlock(PSO_HRC context, int32_t block) override;
    int32_t PSO_GetWordFromAnswerBlock(PSO_HRC context, int32_t block, int32_t alternative,
                                       char* text, int32_t* weight, int32_t* strokes,
                                       int32_t* strokeCount, int32_t room) override;
    int32_t PSO_GetAnswerConfidence(PSO_HRC context, int32_t block, int32_t* confidence) override;
    int32_t PSO_GetExtraAnswerData(PSO_HRC context, int32_t block, int32_t alternative,
                                   int32_t request, int32_t index, void* buffer) override;
    int32_t PSO_GetNumStrokes(PSO_HRC context) override;
    int32_t PSO_GetStrokeLen(PSO_HRC context, int32_t stroke) override;
    int32_t PSO_GetStroke(PSO_HRC context, int32_t stroke, PSO_POINT* buffer,
                          int32_t room) override;
    int32_t PSO_AddLexGeneratorToRecContext(PSO_HRC context, const void* bytes,
                                            int32_t length) override;
    PSO_HUSERDICT PSO_AddUserDictToRecContext(PSO_HRC context, const void* bytes) override;
    int32_t PSO_DumpUserDictToMemoryBuffer(PSO_HRC context, PSO_HUSERDICT dictionary,
                                           void* buffer) override;
    int32_t PSO_UserDict_Features(PSO_HRC context, PSO_HUSERDICT dictionary,
                                  int32_t* wordCount) override;
    int32_t PSO_UserDict_AddWord(PSO_HRC context, PSO_HUSERDICT dictionary,
                                 const char* word) override;
    int32_t PSO_UserDict_Clear(PSO_HRC context, PSO_HUSERDICT dictionary) override;
    int32_t PSO_UserDict_EnumWords(PSO_HRC context, PSO_HUSERDICT dictionary,
                                   PSO_ENUMWORDS_CALLBACK callback, void* param) override;
    int32_t PSO_RemoveUserDictFromRecContext(PSO_HRC context, PSO_HUSERDICT dictionary) override;

    // The engine's 8-bit answer text as wide text: byte by byte with the pound
    // and yen signs kept for "Russian", the whole string otherwise.
    std::wstring answerToWide(const char* text) const;

  private:
    // The library's entry points, bound by name; a missing one stays null
    // and is never called.
    struct Entries {
        decltype(&::PSO_GetRecognizerInfo) GetRecognizerInfo = nullptr;
        decltype(&::PSO_CreateRecognitionContext) CreateRecognitionContext = nullptr;
        decltype(&::PSO_DeleteRecognitionContext) DeleteRecognitionContext = nullptr;
        decltype(&::PSO_StartRecognitionSession) StartRecognitionSession = nullptr;
        decltype(&::PSO_EndRecognitionSession) EndRecognitionSession = nullptr;
        decltype(&::PSO_AddInkToRecSession) AddInkToRecSession = nullptr;
        decltype(&::PSO_SetExtraSessionParameters) SetExtraSessionParameters = nullptr;
        decltype(&::PSO_GetNumAnswerBlocks) GetNumAnswerBlocks = nullptr;
        decltype(&::PSO_GetNumWordsInAnswerBlock) GetNumWordsInAnswerBlock = nullptr;
        decltype(&::PSO_GetWordFromAnswerBlock) GetWordFromAnswerBlock = nullptr;
        decltype(&::PSO_GetAnswerConfidence) GetAnswerConfidence = nullptr;
        decltype(&::PSO_GetExtraAnswerData) GetExtraAnswerData = nullptr;
        decltype(&::PSO_GetNumStrokes) GetNumStrokes = nullptr;
        decltype(&::PSO_GetStrokeLen) GetStrokeLen = nullptr;
        decltype(&::PSO_GetStroke) GetStroke = nullptr;
        decltype(&::PSO_AddLexGeneratorToRecContext) AddLexGeneratorToRecContext = nullptr;
        decltype(&::PSO_AddUserDictToRecContext) AddUserDictToRecContext = nullptr;
        decltype(&::PSO_DumpUserDictToMemoryBuffer) DumpUserDictToMemoryBuffer = nullptr;
        decltype(&::PSO_UserDict_Features) UserDict_Features = nullptr;
        decltype(&::PSO_UserDict_AddWord) UserDict_AddWord = nullptr;
        decltype(&::PSO_UserDict_Clear) UserDict_Clear = nullptr;
        decltype(&::PSO_UserDict_EnumWords) UserDict_EnumWords = nullptr;
        decltype(&::PSO_RemoveUserDictFromRecContext) RemoveUserDictFromRecContext = nullptr;
    };
    void bindEntries();
    // The word in the module's code page; false (with a trace) when the code
    // page has no exact form for it.
    bool wordToBytes(const wchar_t* word, std::string& out, const wchar_t* operation) const;

    std::wstring libraryPath_;
    HMODULE library_ = nullptr;
    Entries pso_;
};
