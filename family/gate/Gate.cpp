#include "Gate.h"

#include <array>
#include <memory>
#include <vector>

#include "CharClassifier.h"
#include "HandleRegistry.h"

namespace {

struct GateTable {
    std::vector<std::array<float, 64>> forms;
};

vexa::HandleRegistry<GateTable>& tables() {
    static vexa::HandleRegistry<GateTable> registry;
    return registry;
}

}  // namespace

extern "C" {

PSO_HRC PSO_CALL GateCreateContext(void) {
    try {
        auto table = std::make_unique<GateTable>();
        for (const vexa::CharForm& f : vexa::charForms())
            table->forms.push_back(
                vexa::CharClassifier::features(f.strokes, 0.5f * vexa::kGridXHeight).gate);
        return reinterpret_cast<PSO_HRC>(tables().add(std::move(table)));
    } catch (...) {
        return nullptr;
    }
}

int32_t PSO_CALL GateDeleteContext(PSO_HRC context) {
    return tables().remove(context) ? PSO_OK : PSO_ERR_NO_CONTEXT;
}

int32_t GateFormCount(PSO_HRC context) {
    const GateTable* table = tables().find(context);
    return table ? static_cast<int32_t>(table->forms.size()) : 0;
}

}  // extern "C"
