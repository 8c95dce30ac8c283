// libFuzzer target: strokes of any points and flags through the exports,
// finishing with alignment (and tables), then everything read back. Input: a byte of shaper
// settings, then records of a flag word, a point count and that many x, y pairs.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <vector>

#include "VexaShape2.h"
#include "shaper_driver.h"

namespace {

template <class T>
bool take(const uint8_t*& data, size_t& size, T* out) {
    if (size < sizeof(T)) return false;
    memcpy(out, data, sizeof(T));
    data += sizeof(T);
    size -= sizeof(T);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    shapetest::ShaperPtr s(InitShaper());
    if (!s) return 0;
    uint8_t settings = 0;
    if (take(data, size, &settings)) {
        const int32_t resolution = 1 + settings * 64;
        if (settings & 1) SetShaperProperty(s.get(), &resolution, 2);
        const int32_t offsets[2] = {settings * 100, -settings};
        SetShaperProperty(s.get(), offsets, 1);
    }
    uint16_t flags = 0, count = 0;
    int16_t id = 0;
    while (take(data, size, &flags) && take(data, size, &count)) {
        const size_t n = count % 1500;
        std::vector<int16_t> points(2 * n);
        for (size_t i = 0; i < 2 * n && take(data, size, &points[i]); ++i) {
        }
        if (flags & 0x8000) {
            const ShaperStroke stroke = {id, static_cast<int32_t>(n), points.data(), id & 7};
            AddStroke2ShaperEx(s.get(), &stroke, flags & 0x1FE);
        } else {
            AddStroke2Shaper(s.get(), static_cast<int16_t>(n), points.data(), flags & 0x1FE);
        }
        if (flags & 0x4000) {
            VSANSWER answer = {};
            const VSVertexList list = {id, static_cast<int16_t>(n), points.data()};
            StrokeToShapeAnswer(&answer, &list);
            SetXMLforShapeAnswer(s.get(), &answer, id);
            ClearShapeAnswer(&answer);
        }
        ++id;
    }
    // Finishing aligns; the settings byte picks the table pass as well, and a
    // second pass finds every shape already aged.
    if (settings & 2) {
        FinalizeShapesEx(s.get(), 0x210);
        ApplyVexaAlignEx(s.get(), 0x200);
    } else {
        FinalizeShapes(s.get());
    }
    shapetest::readEverything(s.get());
    return 0;
}
