#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "ink/InkBlotClient.h"
#include "ui/menus/MenuGroup.h"

namespace {

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

// A member of a group whose last member leaves: while the section goes, its
// list can still be asked from another thread (the lock was let go first).
class ProbedSection : public SyncSection {
  public:
    explicit ProbedSection(bool* answered) : answered_(answered) {}
    ~ProbedSection() override {
        auto probe = std::async(std::launch::async, [this] { return contains(this); });
        *answered_ = probe.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
        if (!*answered_) std::terminate();  // the lock is held for good: nothing else can be done
    }

  private:
    bool* answered_;
};

TEST(SyncSection, DeletesItselfOnlyAfterLettingGoOfItsLock) {
    bool answered = false;
    int member = 0;
    auto* group = new ProbedSection(&answered);
    group->add(&member);
    EXPECT_TRUE(group->remove(&member));
    EXPECT_TRUE(answered);
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
        {"trailing separators ignored",
         {q(100, 100), q(142, 100), kInkSeparator, kInkSeparator},
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

TEST(InkBlot, NoPointsAreATapWhateverTheCount) {
    EXPECT_EQ(classifyBlotStroke(nullptr, 3, 14, 14), BlotGesture::Correction);
    EXPECT_EQ(classifyBlotStroke(nullptr, 0, 14, 14), BlotGesture::Correction);
}

}  // namespace
