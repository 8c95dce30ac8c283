// Confidence net: up to 500 kernel units over a feature vector of up to 100
// dimensions, each unit feeding one of the net's outputs; read from a binary
// little-endian file.
//
// File layout. Header: [int32 version, only when the first int32 is 1000 or
// more] int32 dim (1..100), int32 units (1..500), int32 outputs (0..500). Body:
// int32[outputs] per-output integers, double[outputs] per-output doubles,
// [double legacy value, below version 1005], int32 k (1..3), double[k]
// auxiliary values, then per unit: double weight, int32 output, double[dim]
// centre, double[dim * dim] matrix row by row, and either double prior (below
// version 1003) or double log prior, double power, double scale. A file
// without a version word has the oldest layout. Nothing after the last unit is read.
#pragma once

#include <cstdint>
#include <cstdio>

#include "GrowArray.h"

namespace tessel {

constexpr int32_t kConfNetMaxDim = 100;
constexpr int32_t kConfNetMaxUnits = 500;
constexpr int32_t kConfNetMaxOutputs = 500;
constexpr int32_t kConfNetMaxAuxValues = 3;

struct ConfNetUnit {
    int32_t output = 0;  // the output this unit feeds, 0..outputs - 1
    GrowArray<double> centre;
    GrowArray<double> matrix;  // dim x dim, row-major
    double prior = 0.0;
    double logPrior = 0.0;
    double weight = 0.0;
    double power = 0.0;  // exponent of the unit's kernel
    double scale = 0.0;  // factor applied to the distance before the power
};

struct ConfNet {
    int32_t version = 0;  // 0 for a file without a version word
    int32_t dim = 0;
    int32_t outputs = 0;
    GrowArray<double> outputDoubles;
    GrowArray<ConfNetUnit> units;
    double legacyValue = 0.0;
    GrowArray<double> auxValues;
    GrowArray<int32_t> outputInts;

    // Read from a file (the units are there).
    bool loaded() const { return units.count() > 0; }
};

// Reads the net file at `path` into `net`. Every read is checked, and so is
// each unit's output index; on any failure the result is false and `net` is
// left exactly as it was.
bool readConfNet(ConfNet& net, const char* path);
// The same from an open binary stream (left open).
bool readConfNetStream(ConfNet& net, FILE* stream);

}  // namespace tessel
