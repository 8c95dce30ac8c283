// The recognizer module of a language that the Windows Tablet PC recognizer
// reads instead of the recognizer library: engine folders without
// "VexaScript.dll", every folder with `useTPCRecsOnly`, and the folders made
// for keyboard languages. Each profile's context is a recognizer context of
// the language's default platform recognizer with an ink object that
// collects the session's strokes; a user dictionary is the context's word
// list, kept in a ".voc.win" word-list file.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "outside/TabletPc.h"
#include "recognition/RecModule.h"

// What one profile recognizes with. The module's context handle points to one.
class RecWinContext {
  public:
    RecWinContext() = default;
    virtual ~RecWinContext();
    RecWinContext(const RecWinContext&) = delete;
    RecWinContext& operator=(const RecWinContext&) = delete;

    IInkRecognizers* recognizers = nullptr;
    IInkRecognizerContext* recoContext = nullptr;
    IInkDisp* ink = nullptr;
    std::vector<std::wstring> wordList;  // the user dictionary's words
    std::wstring factoid;
    std::vector<LONG> strokeIds;  // the strokes added since the last recognition
    int strokeCount = 0;
    uint32_t sessionFlags = 0;
    PSO_GUIDE guide{};
    LONG inkOffsetX = 0;  // minus the guide's left and top
    LONG inkOffsetY = 0;
    std::unique_ptr<RecWordList> lastResult;

    // The box of the session's points in ink space; empty while no point was added.
    bool hasInk = false;
    RECT inkBox{};
    bool guideSet = false;

    // COM was entered for this context on that thread; deleting the context
    // leaves it there once.
    bool comEntered = false;
    DWORD comThread = 0;
};

class RecWinModule : public RecModule {
    VEXA_CLASS(RecWinModule, RecModule)

  public:
    RecWinModule(const std::wstring& languageName, const std::wstring& dataFolder);
    // Releases every profile's context.
    ~RecWinModule() override;

    // The text the module's description begins with.
    static const char kInfoText[];

    bool checkWord(PSO_HRC context, const wchar_t* word) override;
    PSO_HUSERDICT LoadUserDictFromFile(PSO_HRC context, const wchar_t* path,
                                       bool mayBeMissing) override;
    bool SaveUserDictToFile(PSO_HRC context, PSO_HUSERDICT dictionary, const wchar_t* path,
                            const wchar_t* backupExtension) override;
    PSO_HRC createRecContext(RecProfile& profile) override;
    RecWordList* getAnswers(PSO_HRC context, int capitalization, bool stopAtWeakBlock) override;
    bool getWordVariants(PSO_HRC context, const wchar_t* word, std::vector<std::wstring>& out,
                         int maximum) override;
    const wchar_t* getUserDictExtension() const override { return L".voc.win"; }
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

    // The weight of an alternate of that confidence: strong 90, intermediate
    // 60, poor 30, anything else 0.
    static uint32_t weightOfConfidence(InkRecognitionConfidence confidence);
    // The weight of alternate `index` of `count` that carries no confidence:
    // the first half intermediate, the rest poor.
    static uint32_t weightWithoutConfidence(int index, int count);

  private:
    static RecWinContext* contextOf(PSO_HRC context) {
        return reinterpret_cast<RecWinContext*>(context);
    }
    bool initContext(RecWinContext& context);
    void freeContext(RecWinContext* context);
    void cleanPreviousSession(RecWinContext& context);
    bool addStroke(RecWinContext& context, const PSO_POINT* points, int count);
    bool recognizeWord(RecWinContext& context);
    RecWordList* buildResult(IInkRecognitionResult* result);
    // A platform word list with the context's words, set on its recognizer
    // context. `failureTrace` names the caller in the trace of a failed creation.
    bool resetDictionaryInWinContext(RecWinContext& context, const wchar_t* failureTrace);
    bool setGuide(RecWinContext& context, const PSO_GUIDE& guide);
    // The text in the module's case; capitalization as in RecCapitalization.
    std::wstring recase(const std::wstring& text, int capitalization) const;
};
