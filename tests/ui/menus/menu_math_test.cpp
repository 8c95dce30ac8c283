// The menus' small rules without windows: the fading of a menu while the
// pointer is away, the two-finger zoom of the font, and the punctuation
// bar's answer as a letter.
#include <gtest/gtest.h>

#include <vector>

#include "ui/menus/MenuMath.h"

namespace {

TEST(Fading, DefaultsCloseOnTheTwentyFirstTickAway) {
    int current = 100;
    int ticks = 0;
    std::vector<int> seen;
    while (ticks < 100) {
        ++ticks;
        if (menus::fadeAway(100, 20, 5, current)) break;
        seen.push_back(current);
    }
    EXPECT_EQ(ticks, 21);
    EXPECT_EQ(seen.front(), 96);
    EXPECT_EQ(seen.back(), 20);
    EXPECT_EQ(menus::fadeInterval(5, 1800), 90u);
}

TEST(Fading, StepRules) {
    struct Case {
        int start, end, step, current, after;
        bool closes;
    } cases[] = {
        {100, 20, 5, 100, 96, false},
        {100, 99, 1, 100, 99, false},  // (1 × 1) / 100 is 0: still one point
        {30, 60, 5, 30, 30, true},     // start below end: the first tick away closes
        {100, 20, 5, 21, 17, true},
    };
    for (const Case& c : cases) {
        int current = c.current;
        EXPECT_EQ(menus::fadeAway(c.start, c.end, c.step, current), c.closes);
        EXPECT_EQ(current, c.after);
    }
}

TEST(Zoom, RatioInFixedPointKeepsSmallPinchesSmall) {
    struct Case {
        int size;
        unsigned before, now;
        int after;
    } cases[] = {
        {200, 100, 110, 220},  // a slight spread grows the font a little
        {200, 110, 100, 182},  // a slight pinch shrinks it a little, not to 80
        {200, 100, 100, 200},  {200, 0, 100, 200},   {200, 100, 0, 200},
        {200, 100, 1000, 480}, {200, 1000, 100, 80}, {400, 100, 150, 480},
    };
    for (const Case& c : cases)
        EXPECT_EQ(menus::zoomFontSize(c.size, c.before, c.now), c.after)
            << c.size << " " << c.before << "->" << c.now;
}

// What the punctuation bar answers, as the letter that replaces one of the
// word-list menu's letters: signs only, never a key or a command.
TEST(PunctuationSign, OnlySignsReplaceALetter) {
    struct Case {
        const char* name;
        int answer;
        wchar_t letter;  // 0: nothing replaces the letter
    } cases[] = {
        {"comma", L',', L','},
        {"question mark", L'?', L'?'},
        {"pound sign", 0xA3, 0xA3},
        {"a sign from the settings", L'A', L'A'},
        {"space", 32, L' '},
        {"the euro sign's code-page byte", 0x80, 0x20AC},
        {"nothing picked", 0, 0},
        {"more", 1, 0},
        {"undo", 2, 0},
        {"redo", 3, 0},
        {"Left", 0x10000 + 0x25, 0},
        {"Delete", 0x10000 + 0x2E, 0},
        {"Backspace", 0x10000 + 0x08, 0},
        {"Enter", 0x10000 + 0x0D, 0},
        {"a backspace character", 8, 0},
        {"a tab character", 9, 0},
        {"delete character", 0x7F, 0},
        {"another control character", 0x9B, 0},
        {"a lone surrogate", 0xD800, 0},
        {"beyond 16 bits", 0x1F600, 0},
        {"negative", -128, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(menus::signToLetter(c.answer), c.letter) << c.name;
}

}  // namespace
