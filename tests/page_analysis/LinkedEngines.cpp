#include "LinkedEngines.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include "Platform.h"
#include "outside/VexaScript.h"
#include "shape/VexaShape2.h"

namespace engines {

namespace {

Knobs g_knobs;
int g_live = 0;

// Module handles: the address of one of these tags.
char g_recognizerTag, g_shaperTag;

using Entry = void (*)();
#define ENTRY(name) \
    { #name, reinterpret_cast < Entry>(&::name) }

const std::map<std::string, Entry>& recognizerEntries() {
    static const std::map<std::string, Entry> table = {
        ENTRY(PSO_GetRecognizerInfo),          ENTRY(PSO_CreateRecognitionContext),
        ENTRY(PSO_DeleteRecognitionContext),   ENTRY(PSO_StartRecognitionSession),
        ENTRY(PSO_EndRecognitionSession),      ENTRY(PSO_AddInkToRecSession),
        ENTRY(PSO_GetNumAnswerBlocks),         ENTRY(PSO_GetNumWordsInAnswerBlock),
        ENTRY(PSO_GetWordFromAnswerBlock),     ENTRY(PSO_GetWordFromAnswerBlockW),
        ENTRY(PSO_SetExtraSessionParameters),  ENTRY(PSO_GetAnswerConfidence),
        ENTRY(PSO_GetExtraAnswerData),         ENTRY(PSO_GetRecWordBaseline),
        ENTRY(PSO_GetAnswerLineInfo),          ENTRY(PSO_GetAnsBlockLowLevelInfo),
        ENTRY(PSO_AddLexGeneratorToRecContext)};
    return table;
}

const std::map<std::string, Entry>& shaperEntries() {
    static const std::map<std::string, Entry> table = {ENTRY(GetShaperVerNumber),
                                                       ENTRY(InitShaper),
                                                       ENTRY(DestroyShaper),
                                                       ENTRY(SetShaperProperty),
                                                       ENTRY(FinalizeShapes),
                                                       ENTRY(FinalizeShapesEx),
                                                       ENTRY(ResetShaper),
                                                       ENTRY(AddStroke2Shaper),
                                                       ENTRY(AddStroke2ShaperEx),
                                                       ENTRY(GetShapedStrokesNum),
                                                       ENTRY(GetShapeNum),
                                                       ENTRY(GetShapeAt),
                                                       ENTRY(GetShapeAnswerNum),
                                                       ENTRY(GetShapeAnswerAt),
                                                       ENTRY(ClearShapeAnswer),
                                                       ENTRY(GetFinishedShapeNum),
                                                       ENTRY(GetFinishedShapeAt),
                                                       ENTRY(isShapeFinished),
                                                       ENTRY(ApplyVexaAlign),
                                                       ENTRY(CreateShapeAnswerAt),
                                                       ENTRY(ClearShaperOutput),
                                                       ENTRY(DestroyShapeAnswer),
                                                       ENTRY(StrokeToShapeAnswer),
                                                       ENTRY(CopyVSAnswer),
                                                       ENTRY(GetTable),
                                                       ENTRY(GetStrokeTable),
                                                       ENTRY(SetTableCellXML),
                                                       ENTRY(GenerateTablesXML),
                                                       ENTRY(SetXMLforShapeAnswer)};
    return table;
}
#undef ENTRY

PSO_HRC PSO_CALL noContext() { return nullptr; }

// Shapers made while the count lasts give no shape.
std::set<Shaper*> g_shapeless;
Shaper* VEXASHAPE_API countedInitShaper() {
    Shaper* s = InitShaper();
    if (g_knobs.shapelessPasses > 0) {
        --g_knobs.shapelessPasses;
        g_shapeless.insert(s);
    }
    return s;
}
int16_t VEXASHAPE_API countedGetShapeNum(Shaper* s) {
    return g_shapeless.count(s) ? 0 : GetShapeNum(s);
}
void VEXASHAPE_API countedDestroyShaper(Shaper* s) {
    g_shapeless.erase(s);
    DestroyShaper(s);
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

void* load(const char* path) {
    const std::string p = path;
    void* module = nullptr;
    if (endsWith(p, "VexaScript.dll") && g_knobs.recognizer) module = &g_recognizerTag;
    if (endsWith(p, "VexaShape2.dll") && g_knobs.shaper) module = &g_shaperTag;
    if (module) ++g_live;
    return module;
}

void* symbol(void* module, const char* name) {
    if (g_knobs.missing.count(name)) return nullptr;
    const auto own = g_knobs.replaced.find(name);
    if (own != g_knobs.replaced.end()) return reinterpret_cast<void*>(own->second);
    if (module == &g_recognizerTag && g_knobs.nullRecContext &&
        !std::strcmp(name, "PSO_CreateRecognitionContext"))
        return reinterpret_cast<void*>(&noContext);
    if (module == &g_shaperTag) {
        if (!std::strcmp(name, "InitShaper")) return reinterpret_cast<void*>(&countedInitShaper);
        if (!std::strcmp(name, "GetShapeNum")) return reinterpret_cast<void*>(&countedGetShapeNum);
        if (!std::strcmp(name, "DestroyShaper"))
            return reinterpret_cast<void*>(&countedDestroyShaper);
    }
    const auto& table = module == &g_recognizerTag ? recognizerEntries() : shaperEntries();
    const auto it = table.find(name);
    return it == table.end() ? nullptr : reinterpret_cast<void*>(it->second);
}

void unload(void* module) {
    if (module) --g_live;
}

const ombra::ModuleLoader kLoader = {load, symbol, unload};

}  // namespace

Scope::Scope(const Knobs& knobs) {
    g_knobs = knobs;
    char pattern[] = "/tmp/ombra-test-XXXXXX";
    folder_ = mkdtemp(pattern);
    folder_ += "/";
    if (knobs.lexicon) {
        std::ofstream out(folder_ + "default.ban", std::ios::binary);
        if (!knobs.emptyLexicon) {
            std::ifstream in(OMBRA_TEST_LEXICON, std::ios::binary);
            out << in.rdbuf();
        }
    }
    ombra::setModuleLoader(&kLoader);
    ombra::setOwnDirectory(folder_.c_str());
}

Scope::~Scope() {
    ombra::setModuleLoader(nullptr);
    ombra::setOwnDirectory(nullptr);
    std::remove((folder_ + "default.ban").c_str());
    rmdir(folder_.c_str());
    g_knobs = Knobs();
}

int Scope::liveModules() { return g_live; }

}  // namespace engines
