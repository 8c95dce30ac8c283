// Accuracy on 1,000 generated hand-like one-stroke shapes (seeded): prints
// the share read as the intended kind and the confusion table.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

#include "VexaShape2.h"
#include "shape_generator.h"
#include "shaper_driver.h"

namespace {

constexpr int kShapes = 1000;
constexpr uint32_t kSeed = 20240611;

struct Tally {
    int confusion[9][9] = {};
    int correct = 0;
    std::map<std::string, std::pair<int, int>> byLabel;  // correct, total
};

Tally runSet(int flags) {
    Tally t;
    shapegen::Generator generator(kSeed);
    for (int i = 0; i < kShapes; ++i) {
        const shapegen::Sample s = generator.next();
        shapetest::ShaperPtr shaper(InitShaper());
        AddStroke2Shaper(shaper.get(), static_cast<int16_t>(s.points.size() / 2), s.points.data(),
                         flags);
        FinalizeShapes(shaper.get());
        int got = 0;
        if (GetShapeNum(shaper.get()) == 1) {
            shapetest::AnswerPtr a(CreateShapeAnswerAt(GetShapeAt(shaper.get(), 0), 0));
            if (a && a->kind >= 1 && a->kind <= 8) got = a->kind;
        }
        t.confusion[s.kind][got]++;
        auto& label = t.byLabel[s.label];
        ++label.second;
        if (got == s.kind) {
            ++t.correct;
            ++label.first;
        }
    }
    return t;
}

void print(const Tally& t, const char* title) {
    std::printf("%s: %d of %d read as intended (%.1f%%)\n", title, t.correct, kShapes,
                100.0 * t.correct / kShapes);
    std::printf("  intended \\ read");
    const int columns[] = {1, 2, 3, 4, 5, 6, 7, 8, 0};
    for (int c : columns) std::printf("%6s", shapegen::kindName(c));
    std::printf("\n");
    for (int r : {1, 2, 3, 4, 6, 7}) {
        std::printf("  %-15s", shapegen::kindName(r));
        for (int c : columns) std::printf("%6d", t.confusion[r][c]);
        std::printf("\n");
    }
    for (const auto& [label, counts] : t.byLabel)
        std::printf("    %-24s %4d / %d\n", label.c_str(), counts.first, counts.second);
}

TEST(Accuracy, GeneratedHandDrawnShapes) {
    const Tally t = runSet(0x0C);
    print(t, "templates, regularised");
    EXPECT_GE(t.correct, 970);
}

TEST(Accuracy, SameWithoutRegularising) {
    const Tally t = runSet(0x04);
    print(t, "templates");
    EXPECT_GE(t.correct, 970);
}

}  // namespace
