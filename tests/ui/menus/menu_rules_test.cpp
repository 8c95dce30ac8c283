#include <gtest/gtest.h>

#include <vector>

#include "ink/InkBlotClient.h"
#include "ui/menus/MenuGroup.h"
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
        {200, 100, 100, 200},
        {200, 0, 100, 200},
        {200, 100, 0, 200},
        {200, 100, 1000, 480},
        {200, 1000, 100, 80},
        {400, 100, 150, 480},
    };
    for (const Case& c : cases)
        EXPECT_EQ(menus::zoomFontSize(c.size, c.before, c.now), c.after)
            << c.size << " " << c.before << "->" << c.now;
}

TEST(PunctuationSign, EuroByteBecomesTheEuroSign) {
    EXPECT_EQ(menus::signToLetter(0x80), static_cast<wchar_t>(0x20AC));
    EXPECT_EQ(menus::signToLetter(L','), L',');
    EXPECT_EQ(menus::signToLetter(L'?'), L'?');
}

TEST(SyncSection, LivesAsLongAsItsLastMember) {
    int a = 0, b = 0;
    auto* group = new OwnedSyncSection(&a);
    group->add(&a);
    group->add(nullptr);
    group->add(&b);
    group->add(&b);
    EXPECT_EQ(group->size(), 3);
    EXPECT_TRUE(group->contains(&b));
    EXPECT_FALSE(group->remove(&b));  // every occurrence goes
    EXPECT_FALSE(group->contains(&b));
    EXPECT_EQ(group->owner(), &a);
    EXPECT_TRUE(group->isKindOf(L"SyncSection"));
    EXPECT_TRUE(group->remove(&a));  // deleted itself, its lock let go first
}

InkPoint q(int x, int y) { return makeInkPoint(x * 4, y * 4); }

TEST(InkBlot, FlicksAgainstTheBlotSize) {
    struct Case {
        const char* name;
        std::vector<InkPoint> points;
        BlotGesture gesture;
    } cases[] = {
        {"right, three blots wide", {q(100, 100), q(121, 101), q(142, 102)}, BlotGesture::Space},
        {"left, three blots wide", {q(142, 100), q(100, 102)}, BlotGesture::TakeBack},
        {"trailing separators ignored", {q(100, 100), q(142, 100), kInkSeparator, kInkSeparator},
         BlotGesture::Space},
        {"short horizontal", {q(100, 100), q(110, 100)}, BlotGesture::Correction},
        {"up", {q(100, 100), q(101, 60)}, BlotGesture::Punctuation},
        {"down", {q(100, 60), q(101, 100)}, BlotGesture::Correction},
        {"diagonal is not horizontal", {q(100, 100), q(140, 60)}, BlotGesture::Punctuation},
        {"diagonal down is a tap", {q(100, 100), q(140, 140)}, BlotGesture::Correction},
        {"one point", {q(100, 100)}, BlotGesture::Correction},
        {"nothing", {}, BlotGesture::Correction},
    };
    for (const Case& c : cases)
        EXPECT_EQ(classifyBlotStroke(c.points.data(), static_cast<int>(c.points.size()), 14, 14),
                  c.gesture)
            << c.name;
}

}  // namespace
