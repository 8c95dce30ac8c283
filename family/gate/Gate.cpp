#include "Gate.h"

#include <array>
#include <mutex>
#include <set>
#include <vector>

#include "CharClassifier.h"

namespace {

struct GateTable {
    std::vector<std::array<float, 64>> forms;
};

std::mutex& lock() {
    static std::mutex m;
    return m;
}

std::set<const void*>& live() {
    static std::set<const void*> s;
    return s;
}

}  // namespace

extern "C" {

PSO_HRC PSO_CALL GateCreateContext(void) {
    try {
        auto* table = new GateTable();
        for (const vexa::CharForm& f : vexa::charForms())
            table->forms.push_back(
                vexa::CharClassifier::features(f.strokes, 0.5f * vexa::kGridXHeight).gate);
        std::lock_guard<std::mutex> guard(lock());
        live().insert(table);
        return reinterpret_cast<PSO_HRC>(table);
    } catch (...) {
        return nullptr;
    }
}

int32_t PSO_CALL GateDeleteContext(PSO_HRC context) {
    {
        std::lock_guard<std::mutex> guard(lock());
        if (!context || !live().erase(context)) return PSO_ERR_NO_CONTEXT;
    }
    delete reinterpret_cast<GateTable*>(context);
    return PSO_OK;
}

int32_t GateFormCount(PSO_HRC context) {
    std::lock_guard<std::mutex> guard(lock());
    if (!context || !live().count(context)) return 0;
    return static_cast<int32_t>(reinterpret_cast<GateTable*>(context)->forms.size());
}

}  // extern "C"
