// The pen-event thread's handling of the hook library's ring: entries across
// the wrap-around, separators, the finish and live-ink markers, repeated
// points, strokes longer than the point buffer, streaming clients, and each
// stroke delivered to the client that was active for it. Then the thread
// itself: woken by the queue event, and stopped and joined.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "InkTestSupport.h"
#include "ink/PenEventThread.h"
#include "ink/RecResult.h"

namespace {

using inktest::Points;
using inktest::TestInkClient;
using inktest::values;

InkPoint q(int x, int y) { return makeInkPoint(x, y); }
const InkPoint SEP = kInkSeparator;
const InkPoint FINISH = kInkFinishMarker;
const InkPoint LIVE = kInkLiveInkMarker;

// `n` distinct points along a line, from (x, y) on.
Points line(int n, int x = 400, int y = 400) {
    Points out;
    for (int i = 0; i < n; ++i) out.push_back(q(x + i % 4000, y + i / 4000));
    return out;
}

Points join(std::initializer_list<Points> parts) {
    Points out;
    for (const Points& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// One step of a case: a pen-down that activates a client (or none), or ring
// entries written and drained in one pass.
struct Step {
    int activate = -2;  // -2: no pen-down; -1: a pen-down with no client; else the client
    Points entries;
};

Step penDown(int client) { return Step{client, {}}; }
Step ring(Points entries) { return Step{-2, std::move(entries)}; }

struct Delivery {
    int client;
    Points points;
};

struct RingCase {
    const char* name;
    LONG startIndex;  // read and write index before the first step
    std::vector<Step> steps;
    std::vector<Delivery> deliveries = {};  // in the order each client got them
    std::vector<int> resets = {};           // onReset calls per client
    int streamingClient = -1;               // a client with ink mode 2
};

class RingTable : public inktest::InkManagerFixture, public testing::WithParamInterface<RingCase> {
  protected:
    void SetUp() override {
        InkManagerFixture::SetUp();
        for (int i = 0; i < 2; ++i) {
            LocalClientRecord record = inktest::clientRecord(i == 0 ? L"A" : L"B");
            clients_.push_back(new TestInkClient(record));
            ASSERT_EQ(manager_->registerClient(clients_.back()), 1);
        }
        ASSERT_TRUE(openPenEventRing(&fake_.ring));
    }
    void TearDown() override {
        closePenEventRing();
        InkManagerFixture::TearDown();
    }

    // Writes `entries` into the fake ring, draining whenever it fills up.
    void write(const Points& entries) {
        for (const InkPoint& p : entries) {
            const LONG next = (fake_.ring.writeIndex + 1) % PEN_EVENT_RING_SIZE;
            if (next == fake_.ring.readIndex) drainPenEventRing();
            fake_.queue({static_cast<int32_t>(inkPointValue(p))});
        }
    }

    std::vector<TestInkClient*> clients_;
};

TEST_P(RingTable, DeliversEachStrokeToItsClient) {
    const RingCase& c = GetParam();
    if (c.streamingClient >= 0) clients_[c.streamingClient]->record().inkMode = 2;
    fake_.ring.readIndex = fake_.ring.writeIndex = c.startIndex;
    for (const Step& step : c.steps) {
        if (step.activate == -1) {
            manager_->activateClient(nullptr, nullptr, 0, 0);
            resetPenEventState(0, 0);
        } else if (step.activate >= 0) {
            manager_->activateClient(clients_[step.activate], nullptr, 0, 0);
            manager_->beginActiveInk();
        }
        if (step.entries.empty()) continue;
        write(step.entries);
        drainPenEventRing();
        EXPECT_EQ(fake_.ring.readIndex, fake_.ring.writeIndex) << "everything was read";
    }
    for (size_t i = 0; i < clients_.size(); ++i) {
        std::vector<std::vector<uint32_t>> expected;
        for (const Delivery& d : c.deliveries)
            if (d.client == static_cast<int>(i)) expected.push_back(values(d.points));
        std::vector<std::vector<uint32_t>> got;
        for (const Points& s : clients_[i]->strokes()) got.push_back(values(s));
        EXPECT_EQ(got, expected) << "client " << i;
        const int resets = i < c.resets.size() ? c.resets[i] : 0;
        EXPECT_EQ(clients_[i]->resets, resets) << "client " << i;
    }
}

const Points kLong = line(10001);
// The 10,001st point is dropped and the separator takes the 10,000th place.
const Points kLongDelivered = join({Points(kLong.begin(), kLong.begin() + 9999), {SEP}});

INSTANTIATE_TEST_SUITE_P(
    Table, RingTable,
    testing::Values(
        RingCase{"OneStroke",
                 0,
                 {penDown(0), ring({q(40, 40), q(44, 41), q(48, 43), SEP})},
                 {{0, {q(40, 40), q(44, 41), q(48, 43), SEP}}}},
        RingCase{"AcrossTheWrapAround",
                 498,
                 {penDown(0), ring({q(1, 1), q(2, 2), q(3, 3), SEP})},
                 {{0, {q(1, 1), q(2, 2), q(3, 3), SEP}}}},
        RingCase{"RepeatedPointIsCollectedOnce",
                 0,
                 {penDown(0), ring({q(8, 8), q(8, 8), q(9, 8), q(9, 8), SEP})},
                 {{0, {q(8, 8), q(9, 8), SEP}}}},
        RingCase{"SamePointAfterASeparatorIsCollectedAgain",
                 0,
                 {penDown(0), ring({q(8, 8), SEP, q(8, 8), SEP})},
                 {{0, {q(8, 8), SEP}}, {0, {q(8, 8), SEP}}}},
        RingCase{"StrokeOverSeveralPasses",
                 250,
                 {penDown(0), ring({q(1, 0), q(2, 0)}), ring({q(3, 0)}), ring({q(4, 0), SEP})},
                 {{0, {q(1, 0), q(2, 0), q(3, 0), q(4, 0), SEP}}}},
        RingCase{"EachStrokeToTheClientActiveForIt",
                 0,
                 {penDown(0), ring({q(1, 1), q(2, 2), SEP}), penDown(1), ring({q(5, 5), SEP}),
                  penDown(0), ring({q(7, 7), SEP})},
                 {{0, {q(1, 1), q(2, 2), SEP}}, {1, {q(5, 5), SEP}}, {0, {q(7, 7), SEP}}}},
        RingCase{"LiveInkMarkerIsNotCollected",
                 0,
                 {penDown(0), ring({q(10, 10), LIVE, q(20, 10), SEP})},
                 {{0, {q(10, 10), q(20, 10), SEP}}}},
        RingCase{"FinishMarkerCancelsTheStrokeAndIgnoresUpToTheNextSeparator",
                 0,
                 {penDown(0), ring({q(1, 1), q(2, 2), FINISH, q(3, 3), SEP, q(4, 4), SEP})},
                 {{0, {q(4, 4), SEP}}},
                 {1, 0}},
        RingCase{"FinishMarkerAfterAStrokeOnlyEndsTheInking",
                 0,
                 {penDown(1), ring({q(1, 1), SEP, FINISH, SEP}), penDown(1), ring({q(2, 2), SEP})},
                 {{1, {q(1, 1), SEP}}, {1, {q(2, 2), SEP}}},
                 {0, 0}},
        RingCase{"StrokeWithoutAClientIsDropped",
                 0,
                 {penDown(-1), ring({q(1, 1), SEP}), penDown(0), ring({q(2, 2), SEP})},
                 {{0, {q(2, 2), SEP}}}},
        RingCase{"StreamingClientGetsEachPassAndTheStroke",
                 0,
                 {penDown(0), ring({q(1, 1), q(2, 2)}), ring({q(3, 3), SEP})},
                 {{0, {q(1, 1), q(2, 2)}}, {0, {q(1, 1), q(2, 2), q(3, 3), SEP}}},
                 {},
                 0},
        RingCase{"StrokeLongerThanTheBufferIsClosedAndTheNextOneKept",
                 0,
                 {penDown(0), ring(join({kLong, {SEP}})), ring({q(9, 9), SEP})},
                 {{0, kLongDelivered}, {0, {q(9, 9), SEP}}}}),
    [](const testing::TestParamInfo<RingCase>& info) { return info.param.name; });

class PenEventState : public inktest::InkManagerFixture {};

TEST_F(PenEventState, WrappedRingIsReadInOrderAndTheReadIndexFollows) {
    auto* client = new TestInkClient(L"A");
    ASSERT_EQ(manager_->registerClient(client), 1);
    ASSERT_TRUE(openPenEventRing(&fake_.ring));
    manager_->activateClient(client, nullptr, 0, 0);
    manager_->beginActiveInk();
    fake_.ring.readIndex = 498;
    fake_.ring.entries[498] = static_cast<int32_t>(inkPointValue(q(1, 0)));
    fake_.ring.entries[499] = static_cast<int32_t>(inkPointValue(q(2, 0)));
    fake_.ring.entries[0] = static_cast<int32_t>(inkPointValue(q(3, 0)));
    fake_.ring.entries[1] = static_cast<int32_t>(inkPointValue(SEP));
    fake_.ring.writeIndex = 2;
    EXPECT_EQ(drainPenEventRing(), 4);
    EXPECT_EQ(fake_.ring.readIndex, 2);
    ASSERT_EQ(client->strokes().size(), 1u);
    EXPECT_EQ(values(client->strokes()[0]), values({q(1, 0), q(2, 0), q(3, 0), SEP}));
    closePenEventRing();
}

TEST_F(PenEventState, AppendKeepsPointsUntilTheBufferIsFullThenClosesWithASeparator) {
    ASSERT_TRUE(openPenEventRing(&fake_.ring));
    resetPenEventState(0, 0);
    EXPECT_TRUE(appendPenPoint(5, 5));
    EXPECT_FALSE(appendPenPoint(5, 5)) << "repeated";
    for (int i = 1; i < kPenPointBufferSize; ++i) ASSERT_TRUE(appendPenPoint(5 + i, 5));
    EXPECT_EQ(penEventSnapshot().pointCount, kPenPointBufferSize);
    EXPECT_FALSE(appendPenPoint(1, 1)) << "the 10,001st point is dropped";
    EXPECT_TRUE(appendPenPoint(30000, 0xFFFF)) << "the separator closes the stroke";
    EXPECT_TRUE(isSeparator(penPointBuffer()[kPenPointBufferSize - 1]));
    EXPECT_EQ(inkPointValue(penPointBuffer()[kPenPointBufferSize - 2]),
              inkPointValue(q(5 + kPenPointBufferSize - 2, 5)));
    closePenEventRing();
}

TEST_F(PenEventState, FinishMarkerWhileHoldingClearsTheCurrentResult) {
    auto* client = new TestInkClient(L"A");
    ASSERT_EQ(manager_->registerClient(client), 1);
    ASSERT_TRUE(openPenEventRing(&fake_.ring));
    setCurrentRecResult(adoptRecResult(new RecResult(nullptr, nullptr, nullptr, nullptr)), false,
                        false);
    manager_->activateClient(client, nullptr, 0, 0);
    manager_->beginActiveInk();  // the hold test runs until a stroke ends
    fake_.queue(
        {static_cast<int32_t>(inkPointValue(FINISH)), static_cast<int32_t>(inkPointValue(SEP))});
    drainPenEventRing();
    EXPECT_EQ(getCurrentRecResult(), nullptr);
    EXPECT_TRUE(isPreviousRecResultRestorable());
    const PenEventSnapshot state = penEventSnapshot();
    EXPECT_FALSE(state.holdCheckActive);
    EXPECT_FALSE(state.ignoreUntilSeparator) << "the separator after the marker ended it";
    clearRecResults();
    closePenEventRing();
}

TEST_F(PenEventState, ThreadWakesOnTheQueueEventAndIsJoinedWhenStopped) {
    auto* client = new TestInkClient(L"A");
    ASSERT_EQ(manager_->registerClient(client), 1);
    const size_t threadsBefore = sxtest::threadsOfThisProcess();
    ASSERT_TRUE(startPenEventThread());
    EXPECT_TRUE(isPenEventThreadRunning());
    EXPECT_TRUE(startPenEventThread()) << "once is enough";
    manager_->activateClient(client, nullptr, 0, 0);
    manager_->beginActiveInk();
    fake_.queue({static_cast<int32_t>(inkPointValue(q(12, 12))),
                 static_cast<int32_t>(inkPointValue(q(16, 12)))});
    fake_.queue({static_cast<int32_t>(inkPointValue(SEP))});
    ASSERT_TRUE(sxtest::waitUntil([&] { return client->strokes().size() == 1; }, 5000));
    EXPECT_EQ(values(client->strokes()[0]), values({q(12, 12), q(16, 12), SEP}));
    EXPECT_NE(getLastPenWakeTick(), 0u);
    EXPECT_FALSE(getPenMouseMode());

    stopPenEventThread();
    EXPECT_FALSE(isPenEventThreadRunning());
    EXPECT_EQ(penPointBuffer(), nullptr) << "the buffer goes after the thread";
    EXPECT_EQ(sxtest::threadsOfThisProcess(), threadsBefore) << "the thread has ended";
    stopPenEventThread();  // again: nothing left to stop
}

TEST_F(PenEventState, ThreadStuckInAClientKeepsWhatItReaches) {
    auto* client = new TestInkClient(L"A");
    ASSERT_EQ(manager_->registerClient(client), 1);
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    client->strokeGate = gate;
    ASSERT_TRUE(startPenEventThread());
    manager_->activateClient(client, nullptr, 0, 0);
    manager_->beginActiveInk();
    fake_.queue(
        {static_cast<int32_t>(inkPointValue(q(12, 12))), static_cast<int32_t>(inkPointValue(SEP))});
    ASSERT_TRUE(sxtest::waitUntil([&] { return client->strokes().size() == 1; }, 5000));

    // Held inside the client past the time limit.
    EXPECT_FALSE(stopPenEventThread());
    EXPECT_FALSE(manager_->stopThreads());
    EXPECT_TRUE(isPenEventThreadRunning());
    EXPECT_NE(penPointBuffer(), nullptr) << "its buffer stays";

    SetEvent(gate);
    EXPECT_TRUE(stopPenEventThread()) << "waits again, and now it ends";
    EXPECT_FALSE(isPenEventThreadRunning());
    EXPECT_EQ(penPointBuffer(), nullptr);
    CloseHandle(gate);
}

TEST_F(PenEventState, OwnTimeOutIsNoPenActivity) {
    auto* client = new TestInkClient(L"A");
    ASSERT_EQ(manager_->registerClient(client), 1);
    ASSERT_TRUE(startPenEventThread());
    setWaitNextStrokeTimeout(300);
    manager_->activateClient(client, nullptr, 0, 0);
    manager_->beginActiveInk();
    fake_.queue({static_cast<int32_t>(inkPointValue(q(12, 12))),
                 static_cast<int32_t>(inkPointValue(q(16, 12))),
                 static_cast<int32_t>(inkPointValue(SEP))});
    // After the stroke the thread waits for the next one, then gives up waiting.
    ASSERT_TRUE(sxtest::waitUntil([&] { return penEventSnapshot().waitTimeout == 300; }, 5000));
    const DWORD afterStroke = getLastPenWakeTick();
    ASSERT_TRUE(sxtest::waitUntil([&] { return penEventSnapshot().waitTimeout == -1; }, 5000));
    EXPECT_EQ(getLastPenWakeTick(), afterStroke)
        << "the system client measures the pen's rest from the stroke, not from the time-out";
    stopPenEventThread();
    setWaitNextStrokeTimeout(1000);
}

TEST(PenEventThread, DoesNotStartWithoutTheQueueEventOrTheRing) {
    sxtest::MessageBoxWatcher boxes;
    FakeHookLibrary fake;  // no SetInitValues: no event
    HookLibrary* previous = setHookLibrary(&fake);
    // An event that no process of the prefix holds, whatever else runs there.
    const std::wstring missing = L"SxNoQueueEvent-" + std::to_wstring(GetCurrentProcessId());
    setPenQueueEventName(missing.c_str());
    EXPECT_FALSE(startPenEventThread());
    setPenQueueEventName(nullptr);
    EXPECT_TRUE(boxes.waitForCount(1, 2000));
    EXPECT_EQ(boxes.texts(), std::vector<std::wstring>{L"Inking: Could not open Touch event."});
    struct NoRing : FakeHookLibrary {
        PenEventRing* getEventStack(int) override { return nullptr; }
    } noRing;
    setHookLibrary(&noRing);
    noRing.SetInitValues();
    EXPECT_FALSE(startPenEventThread()) << "no ring";
    EXPECT_FALSE(isPenEventThreadRunning());
    setHookLibrary(previous == &fake || previous == &noRing ? nullptr : previous);
}

}  // namespace
