#include "ConfNet.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace tessel {

namespace {

constexpr int32_t kVersionThreshold = 1000;
constexpr int32_t kFirstVersionWithKernelShape = 1003;
constexpr int32_t kFirstVersionWithoutLegacyValue = 1005;

// Checked little-endian reads from a stream.
class NetReader {
  public:
    explicit NetReader(FILE* stream) : stream_(stream) {}

    bool int32(int32_t* out) {
        unsigned char b[4];
        if (std::fread(b, 1, 4, stream_) != 4) return false;
        const uint32_t v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
                           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
        *out = static_cast<int32_t>(v);
        return true;
    }

    bool float64(double* out) { return float64s(out, 1); }

    bool float64s(GrowArray<double>& out) { return float64s(out.data(), out.count()); }

    // One read for the whole run; the bytes are then put in host order in place.
    bool float64s(double* out, size_t count) {
        if (count == 0) return true;
        unsigned char* bytes = reinterpret_cast<unsigned char*>(out);
        if (std::fread(bytes, 8, count, stream_) != count) return false;
        for (size_t k = 0; k < count; ++k) {
            const unsigned char* b = bytes + 8 * k;
            uint64_t v = 0;
            for (int i = 7; i >= 0; --i) v = v << 8 | b[i];
            std::memcpy(out + k, &v, sizeof v);
        }
        return true;
    }

    // Bytes left after the current position, or -1 when the stream cannot tell.
    long long remaining() {
        const long here = std::ftell(stream_);
        if (here < 0 || std::fseek(stream_, 0, SEEK_END) != 0) return -1;
        const long end = std::ftell(stream_);
        if (std::fseek(stream_, here, SEEK_SET) != 0 || end < here) return -1;
        return end - here;
    }

  private:
    FILE* stream_;
};

long long unitBlockBytes(int32_t version, int32_t dim) {
    const long long shape = version < kFirstVersionWithKernelShape ? 8 : 24;
    return 12 + 8LL * dim + 8LL * dim * dim + shape;
}

bool readUnit(NetReader& in, int32_t version, int32_t outputs, ConfNetUnit& unit) {
    if (!in.float64(&unit.weight) || !in.int32(&unit.output)) return false;
    if (unit.output < 0 || unit.output >= outputs) return false;
    if (!in.float64s(unit.centre) || !in.float64s(unit.matrix)) return false;
    if (version < kFirstVersionWithKernelShape) {
        if (!in.float64(&unit.prior)) return false;
        unit.logPrior = std::log(unit.prior);
        unit.power = 1.0;
        unit.scale = 0.5;
        return true;
    }
    if (!in.float64(&unit.logPrior)) return false;
    unit.prior = std::exp(unit.logPrior);
    return in.float64(&unit.power) && in.float64(&unit.scale);
}

}  // namespace

bool readConfNetStream(ConfNet& net, FILE* stream) {
    if (!stream) return false;
    NetReader in(stream);
    ConfNet fresh;
    int32_t first = 0;
    if (!in.int32(&first)) return false;
    if (first >= kVersionThreshold) {
        fresh.version = first;
        if (!in.int32(&fresh.dim)) return false;
    } else {
        fresh.dim = first;
    }
    int32_t unitCount = 0;
    if (!in.int32(&unitCount) || !in.int32(&fresh.outputs)) return false;
    if (fresh.dim < 1 || fresh.dim > kConfNetMaxDim || unitCount < 1 ||
        unitCount > kConfNetMaxUnits || fresh.outputs < 0 || fresh.outputs > kConfNetMaxOutputs)
        return false;

    // A file too short for what its header announces is refused before
    // anything is sized for it (k is at least 1).
    const bool legacy = fresh.version < kFirstVersionWithoutLegacyValue;
    const long long needed = 12LL * fresh.outputs + (legacy ? 8 : 0) + 4 + 8 +
                             unitCount * unitBlockBytes(fresh.version, fresh.dim);
    const long long available = in.remaining();
    if (available >= 0 && available < needed) return false;

    const size_t dim = static_cast<size_t>(fresh.dim);
    if (!fresh.units.setCount(static_cast<size_t>(unitCount))) return false;
    for (ConfNetUnit& unit : fresh.units)
        if (!unit.centre.setCount(dim) || !unit.matrix.setCount(dim * dim)) return false;
    if (!fresh.outputDoubles.setCount(static_cast<size_t>(fresh.outputs)) ||
        !fresh.outputInts.setCount(static_cast<size_t>(fresh.outputs)))
        return false;

    for (int32_t& v : fresh.outputInts)
        if (!in.int32(&v)) return false;
    if (!in.float64s(fresh.outputDoubles)) return false;
    if (legacy && !in.float64(&fresh.legacyValue)) return false;
    int32_t k = 0;
    if (!in.int32(&k) || k < 1 || k > kConfNetMaxAuxValues) return false;
    if (!fresh.auxValues.setCount(static_cast<size_t>(k)) || !in.float64s(fresh.auxValues))
        return false;
    for (ConfNetUnit& unit : fresh.units)
        if (!readUnit(in, fresh.version, fresh.outputs, unit)) return false;

    net = std::move(fresh);
    return true;
}

bool readConfNet(ConfNet& net, const char* path) {
    if (!path) return false;
    FILE* stream = std::fopen(path, "rb");
    if (!stream) return false;
    const bool ok = readConfNetStream(net, stream);
    std::fclose(stream);
    return ok;
}

}  // namespace tessel
