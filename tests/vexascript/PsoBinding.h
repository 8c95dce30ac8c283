// The recognizer under test, reached through a table of its PSO_ functions:
// linked statically in the native tree (under the sanitizers), and in the
// 32-bit tree VexaScript.dll loaded by name and bound with GetProcAddress, as
// the program and the page analysis bind it.
#pragma once

#include "VexaScript.h"

struct PsoApi {
    decltype(&PSO_GetRecognizerInfo) GetRecognizerInfo;
    decltype(&PSO_CreateRecognitionContext) CreateRecognitionContext;
    decltype(&PSO_DeleteRecognitionContext) DeleteRecognitionContext;
    decltype(&PSO_StartRecognitionSession) StartRecognitionSession;
    decltype(&PSO_EndRecognitionSession) EndRecognitionSession;
    decltype(&PSO_AddInkToRecSession) AddInkToRecSession;
    decltype(&PSO_SetExtraSessionParameters) SetExtraSessionParameters;
    decltype(&PSO_GetNumAnswerBlocks) GetNumAnswerBlocks;
    decltype(&PSO_GetNumWordsInAnswerBlock) GetNumWordsInAnswerBlock;
    decltype(&PSO_GetWordFromAnswerBlock) GetWordFromAnswerBlock;
    decltype(&PSO_GetWordFromAnswerBlockW) GetWordFromAnswerBlockW;
    decltype(&PSO_GetAnswerConfidence) GetAnswerConfidence;
    decltype(&PSO_GetExtraAnswerData) GetExtraAnswerData;
    decltype(&PSO_GetNumStrokes) GetNumStrokes;
    decltype(&PSO_GetStrokeLen) GetStrokeLen;
    decltype(&PSO_GetStroke) GetStroke;
    decltype(&PSO_GetRecWordBaseline) GetRecWordBaseline;
    decltype(&PSO_GetAnswerLineInfo) GetAnswerLineInfo;
    decltype(&PSO_GetAnsBlockLowLevelInfo) GetAnsBlockLowLevelInfo;
    decltype(&PSO_AddLexGeneratorToRecContext) AddLexGeneratorToRecContext;
    decltype(&PSO_AddUserDictToRecContext) AddUserDictToRecContext;
    decltype(&PSO_DumpUserDictToMemoryBuffer) DumpUserDictToMemoryBuffer;
    decltype(&PSO_UserDict_Features) UserDict_Features;
    decltype(&PSO_UserDict_AddWord) UserDict_AddWord;
    decltype(&PSO_UserDict_Clear) UserDict_Clear;
    decltype(&PSO_UserDict_EnumWords) UserDict_EnumWords;
    decltype(&PSO_RemoveUserDictFromRecContext) RemoveUserDictFromRecContext;
};

// The bound table; fails the calling test (and answers null) when the
// library or one of its functions cannot be found.
const PsoApi* pso();

// Where the table comes from, for messages: "static" or "VexaScript.dll".
const char* psoSource();
