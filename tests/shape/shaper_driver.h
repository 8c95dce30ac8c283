// Helpers that drive a shaper through its exports and read back what it holds;
// the same code serves the native tests, the DLL test and the fuzz target.
#pragma once

#include <memory>
#include <string>

#include "VexaShape2.h"

namespace shapetest {

struct ShaperDeleter {
    void operator()(Shaper* s) const { DestroyShaper(s); }
};
struct AnswerDeleter {
    void operator()(VSANSWER* a) const { DestroyShapeAnswer(a); }
};
using ShaperPtr = std::unique_ptr<Shaper, ShaperDeleter>;
using AnswerPtr = std::unique_ptr<VSANSWER, AnswerDeleter>;

// The name of answer 0 of shape i ("" when there is none).
inline std::string bestName(Shaper* s, int i) {
    Shape* shape = GetShapeAt(s, static_cast<uint16_t>(i));
    if (!shape) return "";
    AnswerPtr a(CreateShapeAnswerAt(shape, 0));
    return a ? std::string(a->name, strnlen(a->name, sizeof(a->name))) : "";
}

// Touches everything a caller can read, so that sanitizers see every byte.
// Returns a checksum that depends on all of it.
inline unsigned long readEverything(Shaper* s) {
    unsigned long sum = GetShapedStrokesNum(s);
    const int n = GetShapeNum(s);
    for (int i = 0; i < n; ++i) {
        Shape* shape = GetShapeAt(s, static_cast<uint16_t>(i));
        if (!shape) continue;
        sum += isShapeFinished(shape);
        for (int j = 0; j < GetShapeAnswerNum(shape); ++j) {
            AnswerPtr a(CreateShapeAnswerAt(shape, static_cast<int16_t>(j)));
            if (!a) continue;
            for (int k = 0; k < 2 * a->vertexCount; ++k)
                sum += static_cast<uint16_t>(a->vertices[k]);
            SetXMLforShapeAnswer(s, a.get(), i);
            if (a->xmlText) sum += std::string(a->xmlText).size();
            AnswerPtr c(CopyVSAnswer(a.get()));
            if (c) sum += static_cast<unsigned long>(c->kind);
        }
    }
    uint32_t count = 0;
    for (const double* p = GetFirstStrokeFromOut(s, &count); p;
         p = GetNextStrokeFromOut(s, &count)) {
        for (uint32_t k = 0; k < 2 * count; ++k) sum += static_cast<unsigned long>(p[k] + 40000);
        const int16_t* idx = GetCurrIndexesFromOut(s, &count);
        for (uint32_t k = 0; idx && k < count; ++k) sum += static_cast<uint16_t>(idx[k]);
    }
    for (const double* p = GetFirstStrokeFromBuf(s, &count); p; p = GetNextStrokeFromBuf(s, &count))
        for (uint32_t k = 0; k < 2 * count; ++k) sum += static_cast<unsigned long>(p[k] + 40000);
    return sum;
}

}  // namespace shapetest
