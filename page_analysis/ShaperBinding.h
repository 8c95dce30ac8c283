// The shape recognizer library, loaded from the page-analysis library's folder
// and bound by name. A library that lacks a mandatory entry leaves the
// binding empty (not loaded).
#ifndef OMBRA_SHAPERBINDING_H
#define OMBRA_SHAPERBINDING_H

#include "Platform.h"
#include "shape/VexaShape2.h"

// The entries in the order of the record.
#define OMBRA_SHAPER_ENTRIES(X)                                                                    \
    X(GetShaperVerNumber)                                                                          \
    X(InitShaper)                                                                                  \
    X(DestroyShaper)                                                                               \
    X(SetShaperProperty)                                                                           \
    X(FinalizeShapes)                                                                              \
    X(FinalizeShapesEx)                                                                            \
    X(ResetShaper) X(AddStroke2Shaper) X(AddStroke2ShaperEx) X(GetShapedStrokesNum) X(GetShapeNum) \
        X(GetShapeAt) X(GetShapeAnswerNum) X(GetShapeAnswerAt) X(ClearShapeAnswer)                 \
            X(GetFinishedShapeNum) X(GetFinishedShapeAt) X(isShapeFinished) X(ApplyVexaAlign)      \
                X(CreateShapeAnswerAt) X(ClearShaperOutput) X(DestroyShapeAnswer)                  \
                    X(StrokeToShapeAnswer) X(CopyVSAnswer) X(GetTable) X(GetStrokeTable)           \
                        X(SetTableCellXML) X(GenerateTablesXML) X(SetXMLforShapeAnswer)

namespace ombra {

class ShaperBinding {
  public:
    ShaperBinding() = default;
    ~ShaperBinding() { unload(); }
    ShaperBinding(const ShaperBinding&) = delete;
    ShaperBinding& operator=(const ShaperBinding&) = delete;

    bool load(const char* path);
    void unload();
    bool loaded() const { return loaded_; }
    // Every shape pass makes and frees its own answer copies: a library without
    // these two optional entries cannot serve the page analysis.
    bool servesAnswers() const { return loaded_ && CreateShapeAnswerAt && DestroyShapeAnswer; }

    void* module = nullptr;
    char path[kPathChars] = {};
#define OMBRA_DECLARE_ENTRY(name) decltype(&::name) name = nullptr;
    OMBRA_SHAPER_ENTRIES(OMBRA_DECLARE_ENTRY)
#undef OMBRA_DECLARE_ENTRY

  private:
    bool loaded_ = false;
};

}  // namespace ombra

#endif
