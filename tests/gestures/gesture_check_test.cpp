// GestureCheck over a table of strokes and masks. The same table runs natively
// (against the static library, under the sanitizers) and under Wine (against
// gestures.dll, imported by ordinal).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gestures.h"
#include "strokes.h"

namespace {

using strokes::join;
using strokes::penUps;
using strokes::polyline;
using strokes::repeat;

constexpr uint32_t kSystem = GESTURE_MASK_SYSTEM_CLIENT;  // 0x8000DE4C
constexpr uint32_t kMenu = GESTURE_MASK_WORD_MENU;        // 0x9304

struct Case {
    std::string name;
    std::vector<int32_t> points;
    uint32_t mask;
    int scale;
    uint32_t expected;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

uint32_t check(uint32_t mask, const std::vector<int32_t>& pts, int scale = 1) {
    return static_cast<uint32_t>(GestureCheck(static_cast<int32_t>(mask), pts.data(),
                                              static_cast<int32_t>(pts.size()), scale));
}

// Horizontal scribble in a box 100 wide whose horizontal travel is exactly
// `travel`: legs of 99 and a last short leg.
std::vector<int32_t> scribbleWithTravel(int travel) {
    return polyline({{0, 0}, {99, 2}, {0, 4}, {99, 6}, {0, 8}, {99, 10}, {99 - (travel - 495), 12}},
                    1);
}

const std::vector<int32_t> kZigzag =
    polyline({{100, 100}, {300, 105}, {100, 110}, {300, 115}, {100, 120}, {300, 125}, {100, 130}});

std::vector<Case> cases() {
    return {
        // Lines.
        {"LineRightToLeftSystemMask", polyline({{300, 100}, {100, 100}}), kSystem, 1, 0x4},
        {"LineLeftToRightNotInMask", polyline({{100, 100}, {300, 100}}), 0x4, 1, 0},
        {"LineLeftToRightInMask", polyline({{100, 100}, {300, 100}}), 0x80, 1, 0x80},
        {"LineLeftToRightSystemMask", polyline({{100, 100}, {300, 100}}), kSystem, 1, 0},
        {"LineUpwardsMenuMask", polyline({{100, 300}, {100, 100}}), kMenu, 1, 0x100},
        {"LineDownwards", polyline({{100, 100}, {100, 300}}), 0x2000, 1, 0x2000},
        {"LineDownwardsMenuMaskIsNothing", polyline({{100, 100}, {100, 300}}), kMenu, 1, 0},
        {"FlatLineExactly3point5IsNotDiagonal", polyline({{100, 120}, {170, 100}}), kMenu, 1, 0x100},
        {"FlatLine3point6JudgedByVerticalRule", polyline({{100, 120}, {172, 100}}), kMenu, 1, 0x100},
        {"FlatLine3point4IsDiagonal", polyline({{100, 120}, {168, 100}}), kMenu, 1, 0},
        {"DiagonalLineIsNoLine", polyline({{100, 100}, {200, 200}}), 0x2184, 1, 0},

        // Straightness at its edge: a bump whose squared distance a from the
        // chord gives chord^2 = 25 a is no line, 26 a can be; a is the rounded
        // quotient (384.51 here counts as 385, so chord^2 / a is 25, not 26).
        {"BumpAtChordSquared25TimesIsNoLine", polyline({{100, 100}, {150, 80}, {200, 100}}), 0x80,
         1, 0},
        {"BumpAtChordSquared26TimesIsALine", polyline({{100, 100}, {151, 80}, {202, 100}}), 0x80, 1,
         0x80},
        {"BumpRoundedUpTo25TimesIsNoLine", polyline({{100, 100}, {161, 81}, {200, 101}}), 0x80, 1,
         0},
        {"NegativeYMinus2IsAnOrdinaryCoordinate", polyline({{300, -2}, {100, -2}}), 0x4, 1, 0x4},

        // The minimum size: 20 * scale on either side.
        {"Width19IsTooSmall", polyline({{118, 100}, {100, 100}}), 0x4, 1, 0},
        {"Width20IsExamined", polyline({{119, 100}, {100, 100}}), 0x4, 1, 0x4},
        {"Width39AtScale2IsTooSmall", polyline({{138, 100}, {100, 100}}), 0x4, 2, 0},
        {"Width40AtScale2IsExamined", polyline({{139, 100}, {100, 100}}), 0x4, 2, 0x4},
        {"Height20IsExamined", polyline({{100, 119}, {100, 100}}), 0x100, 1, 0x100},

        // Out-and-back strokes.
        {"BackFirstLegRight", polyline({{100, 100}, {300, 100}, {110, 100}}), kSystem, 1, 0x40},
        {"BackFirstLegLeft", polyline({{300, 100}, {100, 100}, {290, 100}}), kSystem, 1, 0x8},
        {"BackFirstLegUp", polyline({{100, 300}, {100, 100}, {100, 290}}), kSystem, 1, 0x200},
        {"BackFirstLegDown", polyline({{100, 100}, {100, 300}, {100, 110}}), kSystem, 1, 0x1000},
        // Back to the very first point: the chord has no length, every point
        // is as far from it, and the middle of that plateau is the corner.
        {"BackToTheVeryStartPoint", polyline({{100, 100}, {100, 300}, {100, 100}}), kSystem, 1,
         0x1000},
        // Vertical out-and-back only when h * 10 / w > 35: 20 wide, 71 and 72 high.
        {"VerticalBackAt35IsNotTried", polyline({{100, 170}, {110, 100}, {119, 165}}), kSystem, 1,
         0},
        {"VerticalBackAt36", polyline({{100, 171}, {110, 100}, {119, 165}}), kSystem, 1, 0x200},
        {"BackFirstLegUpMenuMask", polyline({{100, 300}, {100, 100}, {100, 290}}), kMenu, 1, 0x200},
        // The menu mask holds no horizontal out-and-back, and the stroke is no L.
        {"HorizontalBackMenuMaskIsNothing", polyline({{100, 100}, {300, 100}, {110, 100}}), kMenu,
         1, 0},

        // L-shapes.
        {"LDownRight", polyline({{100, 100}, {100, 200}, {250, 200}}), kSystem, 1, 0x8000},
        {"LDownLeft", polyline({{250, 100}, {250, 200}, {100, 200}}), kSystem, 1, 0x4000},
        {"LUpRight", polyline({{100, 200}, {100, 100}, {250, 100}}), kSystem, 1, 0x800},
        {"LUpLeft", polyline({{250, 200}, {250, 100}, {100, 100}}), kSystem, 1, 0x400},
        {"LDownLeftMenuMaskGivesItsOwnBit", polyline({{250, 100}, {250, 200}, {100, 200}}), kMenu,
         1, 0x4000},
        {"LSecondLegExactly125PercentIsNoL", polyline({{100, 100}, {100, 200}, {225, 200}}),
         kSystem, 1, 0},
        {"LSecondLegJustLongerIsAnL", polyline({{100, 100}, {100, 200}, {226, 200}}), kSystem, 1,
         0x8000},

        // Caret.
        {"Caret", polyline({{100, 300}, {200, 100}, {300, 300}}), kSystem, 1, 0x80000000},
        // The caret's ends may differ by a third of its height (201), not more.
        {"CaretEndsAThirdOfTheHeightApart", polyline({{100, 300}, {200, 100}, {300, 233}}), kSystem,
         1, 0x80000000},
        {"CaretEndsMoreThanAThirdApartIsNothing", polyline({{100, 300}, {200, 100}, {300, 232}}),
         kSystem, 1, 0},
        {"UpsideDownCaretIsNothing", polyline({{100, 100}, {200, 300}, {300, 100}}), kSystem, 1, 0},

        // Scratch-out.
        {"ScratchOut", kZigzag, 0x40000000, 1, 0x40000000},
        {"ScratchOutVertical",
         polyline({{100, 100}, {105, 300}, {110, 100}, {115, 300}, {120, 100}, {125, 300}, {130, 100}}),
         0x40000000, 1, 0x40000000},
        // An out-and-back candidate with a crooked leg ends the test at once.
        {"ScratchAfterFailedBackCandidateIsNothing", kZigzag, 0x40000048, 1, 0},
        {"ScratchTravelExactly500PercentIsNothing", scribbleWithTravel(500), 0x40000000, 1, 0},
        {"ScratchTravel501PercentIsScratch", scribbleWithTravel(501), 0x40000000, 1, 0x40000000},

        // Hooks at the ends are trimmed in the second pass.
        {"HookAtEndTrimmed", polyline({{100, 100}, {400, 100}, {370, 130}}), 0x80, 1, 0x80},
        {"HookAtStartTrimmed", polyline({{370, 130}, {400, 100}, {100, 100}}), 0x4, 1, 0x4},
        {"UpHookThenLineIsAnLFirst", polyline({{300, 140}, {300, 100}, {100, 100}}), kSystem, 1,
         0x400},
        // The first fifth of the path ends one point past the corner, and that
        // short run still passes as straight: nothing is trimmed.
        {"HookEndingJustInsideTheFifthIsKept", polyline({{300, 140}, {300, 100}, {100, 100}}), 0x4,
         1, 0},

        // Markers and other strokes.
        {"LeadingPenUpsSkipped", join({penUps(3), polyline({{300, 100}, {100, 100}})}), 0x4, 1, 0x4},
        {"SecondStrokeIgnored",
         join({polyline({{300, 100}, {100, 100}}), penUps(1), polyline({{100, 400}, {100, 100}})}),
         0x104, 1, 0x4},
        {"TinyFirstStrokeDecides",
         join({polyline({{100, 100}, {104, 102}}), penUps(1), polyline({{300, 100}, {100, 100}})}),
         0x4, 1, 0},
    };
}

class GestureTable : public ::testing::TestWithParam<Case> {};

TEST_P(GestureTable, ClassifiesStroke) {
    const Case& c = GetParam();
    EXPECT_EQ(check(c.mask, c.points, c.scale), c.expected)
        << c.name << " mask 0x" << std::hex << c.mask;
}

INSTANTIATE_TEST_SUITE_P(Strokes, GestureTable, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

TEST(GestureCheckBadInput, GivesZeroWithoutFault) {
    const std::vector<int32_t> line = polyline({{300, 100}, {100, 100}});
    EXPECT_EQ(GestureCheck(0, nullptr, 100, 1), 0) << "mask 0 must not read the points";
    EXPECT_EQ(GestureCheck(0, line.data(), static_cast<int32_t>(line.size()), 1), 0);
    EXPECT_EQ(GestureCheck(-1, nullptr, 10, 1), 0);
    EXPECT_EQ(GestureCheck(-1, line.data(), 0, 1), 0);
    EXPECT_EQ(GestureCheck(-1, line.data(), -5, 1), 0);
    EXPECT_EQ(check(0xFFFFFFFF, penUps(50)), 0u);
    EXPECT_EQ(check(0xFFFFFFFF, repeat({50, 50}, 100)), 0u);
    EXPECT_EQ(check(0xFFFFFFFF, repeat({0, 0}, 1)), 0u);
    EXPECT_EQ(check(0xFFFFFFFF, join({penUps(2), repeat({7, 7}, 1), penUps(2)})), 0u);
}

TEST(GestureCheckBadInput, ExtremeCoordinatesDoNotOverflow) {
    EXPECT_EQ(check(0x4, polyline({{32767, 0}, {0, 0}}, 512)), 0x4u);
    EXPECT_EQ(check(0x4, polyline({{32767, 100}, {-32768, 100}}, 1024)), 0x4u);
    EXPECT_EQ(check(kSystem, polyline({{0, 32766}, {16383, 0}, {32767, 32766}}, 512)), 0x80000000u);
    EXPECT_EQ(check(0x80, polyline({{-32768, -32768}, {32767, 32767}}, 1024)), 0u);
    const auto scribble = polyline({{-32768, -32768}, {32767, -30000}, {-32768, -27000},
                                    {32767, -24000}, {-32768, -21000}, {32767, -18000},
                                    {-32768, -15000}},
                                   2048);
    EXPECT_EQ(check(0x40000000, scribble), 0x40000000u);
    EXPECT_EQ(check(0xFFFFFFFF, repeat({32767, 32767}, 10)), 0u);
    EXPECT_EQ(check(0xFFFFFFFF, repeat({-32768, 32767}, 10)), 0u);
}

TEST(GestureCheckBadInput, HugeScaleIsSafe) {
    const auto line = polyline({{300, 100}, {100, 100}});
    EXPECT_EQ(check(0x4, line, 0x7FFFFFFF), 0u);
    EXPECT_EQ(check(0x4, line, 0), 0x4u);
}

}  // namespace
