// The local ink manager and its clients: registration (19 at most, some
// first), the pen-down hit test by areas in thousandths of the screen or by
// windows, activation with the hook library's ink parameters, hand-over of
// strokes, release, broadcast, the pen state and nested mouse-transparent
// mode from several threads.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>

#include "InkTestSupport.h"
#include "ink/PenEventThread.h"
#include "shell/ServiceWindow.h"

namespace {

using inktest::clientRecord;
using inktest::TestInkClient;

class InkManagerTest : public inktest::InkManagerFixture {
  protected:
    // Made and registered; the manager deletes it at the end.
    TestInkClient* add(const wchar_t* name, int32_t flags = 0) {
        auto* client = new TestInkClient(name, flags);
        EXPECT_EQ(manager_->registerClient(client), 1);
        return client;
    }
    TestInkClient* add(const LocalClientRecord& record) {
        auto* client = new TestInkClient(record);
        EXPECT_EQ(manager_->registerClient(client), 1);
        return client;
    }

    // `client` is held by another thread (`busy`) until `gate` opens:
    // unregistering it with deletion on a third thread must wait for that.
    void expectDeletionWaitsFor(TestInkClient* client, std::thread& busy, HANDLE gate,
                                const char* why) {
        bool deleted = false;
        client->deleted = &deleted;
        std::atomic<bool> removed{false};
        std::thread ui([&] {
            manager_->unregisterClient(client, true);
            removed = true;
        });
        Sleep(100);
        EXPECT_FALSE(removed) << why;
        EXPECT_FALSE(deleted);
        SetEvent(gate);
        busy.join();
        ui.join();
        EXPECT_TRUE(deleted);
    }
};

TEST_F(InkManagerTest, RegistersNineteenClientsAndRefusesTheTwentieth) {
    std::vector<TestInkClient*> added;
    for (int i = 0; i < LocalInkManager::kMaxClients; ++i) added.push_back(add(L"c"));
    auto extra = std::make_unique<TestInkClient>(L"extra");
    EXPECT_EQ(manager_->registerClient(extra.get()), 0);
    EXPECT_EQ(manager_->registerClient(added[3]), 1) << "already registered";
    EXPECT_EQ(manager_->clients().size(), 19u);

    EXPECT_EQ(manager_->unregisterClient(added[0], true), 1);
    EXPECT_EQ(manager_->unregisterClient(added[0], true), 0) << "gone already";
    EXPECT_EQ(manager_->registerClient(extra.get()), 1) << "a place became free";
    manager_->unregisterClient(extra.get(), false);

    LocalClientRecord notRegistrable = clientRecord(L"no");
    notRegistrable.registrable = 2;
    TestInkClient refused(notRegistrable);
    EXPECT_EQ(manager_->registerClient(&refused), 0);
    EXPECT_EQ(manager_->registerClient(nullptr), 0);
}

TEST_F(InkManagerTest, ClientRegisteredFirstIsTestedBeforeTheOthers) {
    TestInkClient* a = add(L"a");
    TestInkClient* b = add(L"b");
    TestInkClient* first = add(L"first", CLIENT_REGISTER_FIRST);
    EXPECT_EQ(manager_->clients(), (std::vector<LocalClient*>{first, a, b}));
    EXPECT_EQ(manager_->findClientAt(nullptr, 10, 10), first);
    EXPECT_EQ(a->claimCalls, 0) << "the walk stopped at the first client that claims";
}

struct AreaCase {
    const char* name;
    std::vector<ClientArea> areas;
    int x, y;
    bool claimed;
};

class RectangleAreas : public InkManagerTest, public testing::WithParamInterface<AreaCase> {};

// The primary screen is 1280 x 1024 in these tests.
TEST_P(RectangleAreas, ClaimPointsInThousandthsOfTheScreen) {
    const AreaCase& c = GetParam();
    TestInkClient client(clientRecord(L"areas", 0, &c.areas));
    EXPECT_EQ(client.hitTest(nullptr, c.x, c.y), c.claimed ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RectangleAreas,
    testing::Values(
        AreaCase{"NoAreasClaimTheWholeScreen", {}, 1279, 1023, true},
        AreaCase{"NoAreasClaimOutsideToo", {}, -50, 5000, true},
        AreaCase{"LeftHalfInside", {{0, 0, 500, 1000}}, 639, 512, true},
        AreaCase{"RightEdgeIsExclusive", {{0, 0, 500, 1000}}, 640, 512, false},
        AreaCase{"BottomEdgeIsExclusive", {{0, 0, 1000, 500}}, 10, 512, false},
        AreaCase{"TopLeftIsInclusive", {{250, 250, 500, 500}}, 320, 256, true},
        AreaCase{"NegativeXIsOutside", {{0, 0, 1000, 1000}}, -1, 10, false},
        AreaCase{"NegativeYIsOutside", {{0, 0, 1000, 1000}}, 10, -3, false},
        AreaCase{"SecondAreaCounts", {{0, 0, 100, 100}, {900, 900, 1000, 1000}}, 1270, 1000, true},
        AreaCase{"BetweenAreas", {{0, 0, 100, 100}, {900, 900, 1000, 1000}}, 640, 512, false}),
    [](const testing::TestParamInfo<AreaCase>& info) { return info.param.name; });

TEST_F(InkManagerTest, WindowAreasClaimTheirWindowAndItsChildren) {
    // Shown without activation: tests typing into the prefix's foreground
    // window may run meanwhile.
    HWND parent =
        sxtest::createTestWindow(L"SxAreaWindow", DefWindowProcW, WS_EX_TOPMOST | WS_EX_NOACTIVATE,
                                 WS_POPUP, 100, 100, 200, 200);
    HWND child = CreateWindowExW(0, L"SxAreaWindow", L"", WS_CHILD | WS_VISIBLE, 10, 10, 50, 50,
                                 parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(parent && child);
    ShowWindow(parent, SW_SHOWNA);
    HWND areas[] = {parent};
    LocalClientRecord record = clientRecord(L"windows", CLIENT_AREAS_ARE_WINDOWS);
    record.areaCount = 1;
    record.areas = areas;
    TestInkClient client(record);
    areas[0] = nullptr;  // the client keeps its own copy
    EXPECT_EQ(client.hitTest(nullptr, 150, 150), 1);
    EXPECT_EQ(client.hitTest(nullptr, 120, 120), 1) << "over the child";
    EXPECT_EQ(client.hitTest(nullptr, 50, 50), 0);
    LocalClientRecord none = clientRecord(L"none", CLIENT_AREAS_ARE_WINDOWS);
    TestInkClient noWindows(none);
    EXPECT_EQ(noWindows.hitTest(nullptr, 150, 150), 0) << "no windows, no claim";
    DestroyWindow(parent);
}

TEST_F(InkManagerTest, HitTestSkipsDisabledClientsAndGivesNoInkForSelfHandledPenDown) {
    EXPECT_EQ(manager_->findClientAt(nullptr, 1, 1), nullptr) << "no clients";
    TestInkClient* takesItself = add(L"bar", CLIENT_TAKES_PEN_DOWN);
    TestInkClient* behind = add(L"behind");
    EXPECT_EQ(manager_->findClientAt(nullptr, 1, 1), nullptr) << "the bar works the pen-down";
    takesItself->record().enabled = 0;
    EXPECT_EQ(manager_->findClientAt(nullptr, 1, 1), behind);
    serviceState().markupMode = true;
    EXPECT_EQ(manager_->findClientAt(nullptr, 1, 1), nullptr) << "markup mode without its bar";
    serviceState().markupMode = false;
}

TEST_F(InkManagerTest, ClientMayLeaveDuringTheHitTest) {
    struct Leaving : TestInkClient {
        using TestInkClient::TestInkClient;
        int claimsPoint(HWND, int, int) override {
            unregisterSelf(true);  // deletes this object
            return 0;
        }
    };
    auto* leaving = new Leaving(clientRecord(L"leaving"));
    ASSERT_EQ(manager_->registerClient(leaving), 1);
    TestInkClient* next = add(L"next");
    EXPECT_EQ(manager_->findClientAt(nullptr, 5, 5), next);
    EXPECT_EQ(manager_->clients(), (std::vector<LocalClient*>{next}));
}

TEST_F(InkManagerTest, AcceptedPenDownActivatesTheClientWithItsInkParameters) {
    TestInkClient* watcher = add(L"watcher");
    LocalClientRecord record = clientRecord(L"writer");
    record.penType = 1;
    record.penWidth = 5;
    record.penColor = RGB(200, 0, 0);
    TestInkClient* writer = add(record);
    ASSERT_NE(writer->record().cursor1, nullptr) << "a pen-tip cursor for a pen with a width";
    HWND window = reinterpret_cast<HWND>(0x1234);

    EXPECT_EQ(manager_->activateClient(writer, window, 40, 50), writer);
    EXPECT_EQ(manager_->getActiveClient(), writer);
    EXPECT_EQ(writer->inkWindow(), window);
    const int cursor1 = static_cast<int>(reinterpret_cast<INT_PTR>(writer->record().cursor1));
    EXPECT_EQ(lastInkDriverParams(), (std::vector<int>{1, 1, 1, 500, 700, 1, 0, cursor1}));
    EXPECT_EQ(appGlobals().inkDriverMode, 1);
    const auto notes = watcher->notes();
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back(), (std::pair<int, LPARAM>{1, reinterpret_cast<LPARAM>(writer)}));

    ASSERT_EQ(manager_->beginActiveInk(), 1);
    const PenEventSnapshot state = penEventSnapshot();
    EXPECT_EQ(state.holdInterval, 500) << "the smaller of the two hold time-outs";
    EXPECT_TRUE(state.holdCheckActive);

    writer->accept = false;
    EXPECT_EQ(manager_->activateClient(writer, window, 1, 1), nullptr);
    EXPECT_EQ(manager_->getActiveClient(), nullptr);
    EXPECT_EQ(watcher->notes().back(),
              (std::pair<int, LPARAM>{2, reinterpret_cast<LPARAM>(writer)}));
    EXPECT_EQ(manager_->beginActiveInk(), 0);
    EXPECT_EQ(manager_->activateClient(nullptr, window, 1, 1), nullptr);
}

TEST_F(InkManagerTest, HoldIntervalIsTheSmallerNonZeroTimeout) {
    struct {
        int start, end, interval;
    } cases[] = {{0, 800, 800}, {800, 0, 800}, {0, 0, -1}, {300, 200, 200}, {500, 500, 500}};
    for (const auto& c : cases) {
        resetPenEventState(c.start, c.end);
        EXPECT_EQ(penEventSnapshot().holdInterval, c.interval) << c.start << "/" << c.end;
    }
}

TEST_F(InkManagerTest, RemovedClientIsNoLongerActiveAndGetsNoStroke) {
    bool deleted = false;
    TestInkClient* client = add(L"leaving");
    client->deleted = &deleted;
    manager_->activateClient(client, nullptr, 0, 0);
    ASSERT_EQ(manager_->getActiveClient(), client);
    EXPECT_EQ(manager_->unregisterClient(client, true), 1);
    EXPECT_TRUE(deleted);
    EXPECT_EQ(manager_->getActiveClient(), nullptr);
    const MemoryCounters before = getMemoryCounters();
    auto* points = static_cast<InkPoint*>(allocMemory(2 * sizeof(InkPoint)));
    points[0] = makeInkPoint(40, 40);
    points[1] = kInkSeparator;
    manager_->passStrokeToActiveClient(points, 2);  // nobody: freed, the screen redrawn
    EXPECT_EQ(getMemoryCounters().liveBlocks, before.liveBlocks);
    manager_->notifyActiveClient();
}

TEST_F(InkManagerTest, ClientIsNotDeletedWhileItsStrokeIsHandedOver) {
    TestInkClient* client = add(L"busy");
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    client->strokeGate = gate;
    manager_->activateClient(client, nullptr, 0, 0);
    std::thread pen([&] {
        auto* points = static_cast<InkPoint*>(allocMemory(sizeof(InkPoint)));
        points[0] = kInkSeparator;
        manager_->passStrokeToActiveClient(points, 1);
    });
    ASSERT_TRUE(sxtest::waitUntil([&] { return client->strokes().size() == 1; }, 5000));
    expectDeletionWaitsFor(client, pen, gate, "waits for the hand-over");
    CloseHandle(gate);
}

TEST_F(InkManagerTest, ClientIsNotDeletedWhileAnotherThreadNotifiesIt) {
    // Held inside the notification until the gate opens.
    struct SlowListener : TestInkClient {
        using TestInkClient::TestInkClient;
        int onNotify(int code, LPARAM argument) override {
            SetEvent(entered);
            WaitForSingleObject(gate, 5000);
            return TestInkClient::onNotify(code, argument);
        }
        HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    };
    auto* client = new SlowListener(inktest::clientRecord(L"slow"));
    ASSERT_EQ(manager_->registerClient(client), 1);
    HANDLE entered = client->entered, gate = client->gate;
    std::thread broadcaster([&] { manager_->broadcastEvent(INK_EVENT_SERVICE, 0); });
    ASSERT_EQ(WaitForSingleObject(entered, 5000), WAIT_OBJECT_0);
    expectDeletionWaitsFor(client, broadcaster, gate, "waits for the notification to return");
    CloseHandle(entered);
    CloseHandle(gate);
}

TEST_F(InkManagerTest, ClientWithAThreadThatDoesNotEndIsNeverFreed) {
    struct Stuck : TestInkClient {
        using TestInkClient::TestInkClient;
        bool stopThreads() override { return !stuck; }
        bool stuck = true;
    };
    auto* stuck = new Stuck(inktest::clientRecord(L"stuck"));
    bool deleted = false;
    stuck->deleted = &deleted;
    ASSERT_EQ(manager_->registerClient(stuck), 1);
    EXPECT_EQ(manager_->unregisterClient(stuck, true), 1);
    EXPECT_FALSE(deleted) << "left alive for its thread";

    // A whole manager stays with its clients.
    auto* other = new LocalInkManager;
    ASSERT_EQ(other->registerClient(stuck), 1);
    EXPECT_FALSE(destroyLocalInkManager(other));
    EXPECT_FALSE(deleted);
    EXPECT_TRUE(other->isRegistered(stuck)) << "the manager is still there";
    stuck->stuck = false;
    EXPECT_TRUE(destroyLocalInkManager(other));
    EXPECT_TRUE(deleted);
}

TEST_F(InkManagerTest, ReleaseStopsInkingAndTellsOnlyThatClient) {
    TestInkClient* other = add(L"other");
    TestInkClient* writer = add(L"writer");
    manager_->activateClient(writer, nullptr, 0, 0);
    other->forget();
    writer->forget();
    manager_->releaseActiveClient(other, false);
    EXPECT_EQ(manager_->getActiveClient(), writer) << "only the active client is released";
    manager_->releaseActiveClient(writer, false);
    EXPECT_EQ(manager_->getActiveClient(), nullptr);
    EXPECT_EQ(lastInkDriverParams(), (std::vector<int>{1, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(writer->noteCodes(), std::vector<int>{INK_EVENT_RELEASED});
    EXPECT_TRUE(other->noteCodes().empty());
    const size_t calls = fake_.count("setInkDriverParams");
    manager_->activateClient(writer, nullptr, 0, 0);
    manager_->setPenOn(0);  // the inking mode is 0 now
    manager_->releaseActiveClient(writer, false);
    EXPECT_EQ(fake_.count("setInkDriverParams"), calls + 2) << "no stop when not inking";
    manager_->unlockInking();
    EXPECT_EQ(fake_.calls("lockInking").back().values, std::vector<int>{0});
}

TEST_F(InkManagerTest, BroadcastSurvivesAClientLeavingInItsNotification) {
    struct LeavesOnEvent : TestInkClient {
        using TestInkClient::TestInkClient;
        int onNotify(int code, LPARAM argument) override {
            if (code == 12) {
                unregisterSelf(true);
                return 0;
            }
            return TestInkClient::onNotify(code, argument);
        }
    };
    TestInkClient* first = add(L"first");
    ASSERT_EQ(manager_->registerClient(new LeavesOnEvent(clientRecord(L"leaves"))), 1);
    TestInkClient* last = add(L"last");
    last->notifyResult = 77;
    first->forget();
    EXPECT_EQ(manager_->broadcastEvent(12, 5), 77) << "the last client's answer";
    EXPECT_EQ(first->noteCodes(), std::vector<int>{12});
    EXPECT_EQ(last->noteCodes(), std::vector<int>{12});
    EXPECT_EQ(manager_->clients().size(), 2u);
}

TEST_F(InkManagerTest, PenChangesReachTheClientsPen) {
    TestInkClient* client = add(L"pen");
    PenState pen = manager_->getPenState();
    pen.type = 3;
    pen.width = 9;
    pen.color = RGB(1, 2, 3);
    manager_->setPenState(pen, false);
    EXPECT_EQ(client->record().penType, 3);
    EXPECT_EQ(client->record().penWidth, 9);
    EXPECT_EQ(client->record().penColor, RGB(1, 2, 3));
    client->forget();
    manager_->setPenState(pen, false);
    EXPECT_TRUE(client->noteCodes().empty()) << "nothing changed, nothing announced";

    serviceState().autoPenOffPending = true;
    manager_->setPenOn(pen.penOn);
    EXPECT_FALSE(serviceState().autoPenOffPending) << "cleared even without a change";
    EXPECT_TRUE(client->noteCodes().empty());
    manager_->setPenOn(pen.penOn ? 0 : 1);
    EXPECT_EQ(client->noteCodes(), std::vector<int>{INK_EVENT_PEN_CHANGED});
}

TEST_F(InkManagerTest, MouseTransparentLevelHoldsUnderThreadsThatNestIt) {
    const size_t set = fake_.count("setMouseTransparent");
    manager_->beginMouseTransparent();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([this] {
            for (int i = 0; i < 200; ++i) {
                manager_->beginMouseTransparent();
                manager_->endMouseTransparent();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_TRUE(manager_->isMouseTransparent()) << "the outer level is still open";
    EXPECT_EQ(fake_.count("setMouseTransparent"), set + 1);
    EXPECT_EQ(fake_.count("unsetMouseTransparent"), 0u);
    manager_->endMouseTransparent();
    EXPECT_FALSE(manager_->isMouseTransparent());
    EXPECT_EQ(fake_.count("unsetMouseTransparent"), 1u);
}

TEST_F(InkManagerTest, BarAndMonitoringClientsAreBuiltAsTheirKindsSay) {
    LocalVexaBarClient bar(L"bar");
    EXPECT_EQ(bar.record().flags, 0x2B);
    EXPECT_EQ(bar.record().enabled, 1);
    EXPECT_STREQ(bar.name(), L"bar");
    EXPECT_EQ(bar.isKindOf(L"LocalClient"), 1);
    LocalMonitoringClient monitor(L"monitor");
    EXPECT_EQ(monitor.record().enabled, 0) << "registered but never hit";
    EXPECT_EQ(monitor.record().flags, 5);
    EXPECT_STREQ(monitor.className(), L"LocalMonitoringClient");
    EXPECT_EQ(monitor.isKindOf(L"LocalVexaBarClient"), 0);
}

}  // namespace
