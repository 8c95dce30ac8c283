// A thread with its own loop runs the work this process posts to it, and
// nothing that another sender makes up: any process can post WM_USER to it.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>

#include "win/UiThread.h"

namespace {

TEST(UiThread, RunsPostedWorkAndIgnoresMadeUpArguments) {
    win::UiThread thread;
    ASSERT_TRUE(thread.start(L"test loop"));
    std::atomic<int> ran{0};
    ASSERT_TRUE(thread.post([&] { ++ran; }));
    // What another process could post: a number that is no work of ours.
    for (LPARAM madeUp : {LPARAM(0x1234), LPARAM(-1), LPARAM(0)})
        ASSERT_TRUE(PostThreadMessageW(thread.threadId(), WM_USER, 0, madeUp));
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(thread.post([&] {
        ++ran;
        SetEvent(done);
    }));
    EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(ran, 2);
    EXPECT_TRUE(thread.running());
    EXPECT_TRUE(thread.join(5000));
    CloseHandle(done);
}

// Posts race the loop's end: whether each gets in before it or is refused,
// none is left in the queue of a thread that no longer reads it.
TEST(UiThread, WorkLeftUnrunAtTheEndIsFreed) {
    auto* counter = new std::atomic<int>(0);
    for (int round = 0; round < 200; ++round) {
        win::UiThread thread;
        ASSERT_TRUE(thread.start(L"test loop"));
        // The first work ends the loop; the rest is never run, only freed.
        ASSERT_TRUE(thread.post([] { PostQuitMessage(0); }));
        struct Tracker {
            std::atomic<int>* c;
            explicit Tracker(std::atomic<int>* c) : c(c) { ++*c; }
            Tracker(const Tracker& o) : c(o.c) { ++*c; }
            ~Tracker() { --*c; }
        };
        for (int i = 0; i < 3; ++i) thread.post([t = Tracker(counter)] {});
        EXPECT_TRUE(thread.join(5000));
    }
    EXPECT_EQ(*counter, 0);
    delete counter;
}

}  // namespace
