// Helpers that drive a shaper through its exports and read back what it holds;
// the same code serves the native tests, the DLL test and the fuzz target.
#pragma once

#include <string.h>

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

// The tables of the last alignment with their HTML, and the stroke-to-table
// map of the newest 32 shapes; a checksum of all of it.
inline unsigned long readTables(Shaper* s) {
    unsigned long sum = 0;
    if (const uint32_t* d = GetpDisposition(s)) sum += d[0];
    for (int16_t i = 0; i < 32; ++i) sum += static_cast<uint16_t>(GetStrokeTable(s, i));
    GenerateTablesXML(s);
    uint16_t count = 0;
    const VSTABLE* tables = GetTable(s, &count);
    for (int t = 0; tables && t < count; ++t) {
        const VSTABLE& table = tables[t];
        sum += table.done;
        for (int c = 0; table.cells && c < table.cellCount; ++c) {
            for (int16_t v : table.cells[c].corners) sum += static_cast<uint16_t>(v);
            if (table.cells[c].text)
                sum += strlen(table.cells[c].text) + strlen(table.cells[c].text + 700);
        }
        if (table.html) sum += strlen(table.html) + table.htmlLength;
        for (int c = 0; table.offsets && c < table.cellCount + 2; ++c) sum += table.offsets[c];
    }
    return sum;
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
    return sum + readTables(s);
}

}  // namespace shapetest
