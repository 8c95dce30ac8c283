// libFuzzer target: the confidence-net reader on arbitrary bytes. A net that
// reads must be one the evaluation can walk without leaving its arrays.
#include <cstdint>
#include <cstdio>

#include <vector>

#include "ConfNet.h"
#include "ConfNetEval.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!stream) return 0;
    tessel::ConfNet net;
    const bool ok = tessel::readConfNetStream(net, stream);
    std::fclose(stream);
    if (!ok) return 0;
    const size_t dim = static_cast<size_t>(net.dim);
    if (dim < 1 || dim > 100 || net.units.count() < 1 || net.units.count() > 500 ||
        net.outputs < 1 || net.outputs > 500 ||
        net.outputInts.count() != static_cast<size_t>(net.outputs) ||
        net.outputDoubles.count() != static_cast<size_t>(net.outputs) ||
        net.auxValues.count() < 1 || net.auxValues.count() > 3)
        __builtin_trap();
    for (const tessel::ConfNetUnit& unit : net.units) {
        if (unit.output < 0 || unit.output >= net.outputs || unit.centre.count() != dim ||
            unit.matrix.count() != dim * dim)
            __builtin_trap();
    }
    // Evaluate it at the file's first bytes read as features.
    tessel::ConfNetWork work;
    if (!tessel::prepareConfNetWork(net, work)) return 0;
    std::vector<double> x(dim);
    for (size_t i = 0; i < dim; ++i) x[i] = static_cast<double>(data[i % size]) - 128.0;
    tessel::evalConfNet(net, x.data(), work, nullptr);
    return 0;
}
