// The 32-bit tree reaches VexaScript.dll as its callers do: loaded by file
// name, every function bound by its undecorated name.
#include <gtest/gtest.h>
#include <windows.h>

#include "PsoBinding.h"

namespace {

template <class F>
bool bind(HMODULE dll, const char* name, F& out) {
    out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
    EXPECT_NE(reinterpret_cast<void*>(out), nullptr) << name << " is not exported by name";
    return out != nullptr;
}

PsoApi* load() {
    HMODULE dll = LoadLibraryW(L"VexaScript.dll");
    if (!dll) return nullptr;
    static PsoApi api;
    bool ok = true;
#define PSO_BIND(f) ok = bind(dll, "PSO_" #f, api.f) && ok
    PSO_BIND(GetRecognizerInfo);
    PSO_BIND(CreateRecognitionContext);
    PSO_BIND(DeleteRecognitionContext);
    PSO_BIND(StartRecognitionSession);
    PSO_BIND(EndRecognitionSession);
    PSO_BIND(AddInkToRecSession);
    PSO_BIND(SetExtraSessionParameters);
    PSO_BIND(GetNumAnswerBlocks);
    PSO_BIND(GetNumWordsInAnswerBlock);
    PSO_BIND(GetWordFromAnswerBlock);
    PSO_BIND(GetWordFromAnswerBlockW);
    PSO_BIND(GetAnswerConfidence);
    PSO_BIND(GetExtraAnswerData);
    PSO_BIND(GetNumStrokes);
    PSO_BIND(GetStrokeLen);
    PSO_BIND(GetStroke);
    PSO_BIND(GetRecWordBaseline);
    PSO_BIND(GetAnswerLineInfo);
    PSO_BIND(GetAnsBlockLowLevelInfo);
    PSO_BIND(AddLexGeneratorToRecContext);
    PSO_BIND(AddUserDictToRecContext);
    PSO_BIND(DumpUserDictToMemoryBuffer);
    PSO_BIND(UserDict_Features);
    PSO_BIND(UserDict_AddWord);
    PSO_BIND(UserDict_Clear);
    PSO_BIND(UserDict_EnumWords);
    PSO_BIND(RemoveUserDictFromRecContext);
#undef PSO_BIND
    return ok ? &api : nullptr;
}

}  // namespace

const PsoApi* pso() {
    static const PsoApi* api = load();
    EXPECT_NE(api, nullptr) << "VexaScript.dll cannot be loaded or lacks a function";
    return api;
}

const char* psoSource() { return "VexaScript.dll"; }
