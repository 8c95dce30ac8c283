#include "ShaperBinding.h"

#include <cstring>

namespace ombra {

namespace {

template <class F>
bool bind(void* module, const char* name, F& entry) {
    entry = boundEntry<F>(module, name);
    return entry != nullptr;
}

}  // namespace

bool ShaperBinding::load(const char* file) {
    unload();
    if (!file) return false;
    module = moduleLoader().load(file);
    if (!module) return false;
    std::strncpy(path, file, kPathChars - 1);
    const bool mandatory =
        bind(module, "SetShaperProperty", SetShaperProperty) &&
        bind(module, "InitShaper", InitShaper) && bind(module, "DestroyShaper", DestroyShaper) &&
        bind(module, "FinalizeShapes", FinalizeShapes) &&
        bind(module, "FinalizeShapesEx", FinalizeShapesEx) &&
        bind(module, "ResetShaper", ResetShaper) &&
        bind(module, "AddStroke2Shaper", AddStroke2Shaper) &&
        bind(module, "AddStroke2ShaperEx", AddStroke2ShaperEx) &&
        bind(module, "GetShapedStrokesNum", GetShapedStrokesNum) &&
        bind(module, "GetShapeNum", GetShapeNum) && bind(module, "GetShapeAt", GetShapeAt) &&
        bind(module, "GetShapeAnswerNum", GetShapeAnswerNum) &&
        bind(module, "GetShapeAnswerAt", GetShapeAnswerAt) &&
        bind(module, "ClearShapeAnswer", ClearShapeAnswer) &&
        bind(module, "GetShaperVerNumber", GetShaperVerNumber) &&
        bind(module, "StrokeToShapeAnswer", StrokeToShapeAnswer) &&
        bind(module, "CopyVSAnswer", CopyVSAnswer) && bind(module, "GetTable", GetTable) &&
        bind(module, "GetStrokeTable", GetStrokeTable) &&
        bind(module, "SetTableCellXML", SetTableCellXML) &&
        bind(module, "GenerateTablesXML", GenerateTablesXML) &&
        bind(module, "SetXMLforShapeAnswer", SetXMLforShapeAnswer);
    if (!mandatory) {
        unload();
        return false;
    }
    bind(module, "GetFinishedShapeNum", GetFinishedShapeNum);
    bind(module, "GetFinishedShapeAt", GetFinishedShapeAt);
    bind(module, "isShapeFinished", isShapeFinished);
    bind(module, "ApplyVexaAlign", ApplyVexaAlign);
    bind(module, "CreateShapeAnswerAt", CreateShapeAnswerAt);
    bind(module, "ClearShaperOutput", ClearShaperOutput);
    bind(module, "DestroyShapeAnswer", DestroyShapeAnswer);
    loaded_ = true;
    return true;
}

void ShaperBinding::unload() {
    void* held = module;
    // Zero the record before the library goes, so nothing can call into it.
    module = nullptr;
    std::memset(path, 0, sizeof path);
#define OMBRA_CLEAR_ENTRY(name) name = nullptr;
    OMBRA_SHAPER_ENTRIES(OMBRA_CLEAR_ENTRY)
#undef OMBRA_CLEAR_ENTRY
    loaded_ = false;
    if (held) moduleLoader().unload(held);
}

}  // namespace ombra
