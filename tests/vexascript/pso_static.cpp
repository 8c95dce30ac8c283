// The native tree links the recognizer core directly.
#include "PsoBinding.h"

const PsoApi* pso() {
    static const PsoApi api = {PSO_GetRecognizerInfo,
                               PSO_CreateRecognitionContext,
                               PSO_DeleteRecognitionContext,
                               PSO_StartRecognitionSession,
                               PSO_EndRecognitionSession,
                               PSO_AddInkToRecSession,
                               PSO_SetExtraSessionParameters,
                               PSO_GetNumAnswerBlocks,
                               PSO_GetNumWordsInAnswerBlock,
                               PSO_GetWordFromAnswerBlock,
                               PSO_GetWordFromAnswerBlockW,
                               PSO_GetAnswerConfidence,
                               PSO_GetExtraAnswerData,
                               PSO_GetNumStrokes,
                               PSO_GetStrokeLen,
                               PSO_GetStroke,
                               PSO_GetRecWordBaseline,
                               PSO_GetAnswerLineInfo,
                               PSO_GetAnsBlockLowLevelInfo,
                               PSO_AddLexGeneratorToRecContext,
                               PSO_AddUserDictToRecContext,
                               PSO_DumpUserDictToMemoryBuffer,
                               PSO_UserDict_Features,
                               PSO_UserDict_AddWord,
                               PSO_UserDict_Clear,
                               PSO_UserDict_EnumWords,
                               PSO_RemoveUserDictFromRecContext};
    return &api;
}

const char* psoSource() { return "static"; }
