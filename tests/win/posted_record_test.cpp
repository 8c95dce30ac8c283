// Records in message arguments: only what this process made, of the kind the
// message carries, and only once; a failed post frees its record.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "win/PostedRecord.h"

namespace {

struct Counted {
    static int alive;
    int value;
    explicit Counted(int v) : value(v) { ++alive; }
    ~Counted() { --alive; }
};
int Counted::alive = 0;

struct Other {
    int value = 0;
};

TEST(PostedRecord, ArgumentsThisProcessDidNotMakeAreRefused) {
    int onStack = 0;
    const LPARAM madeUp[] = {0, 0x1234, -1, reinterpret_cast<LPARAM>(&onStack)};
    for (LPARAM param : madeUp) {
        EXPECT_EQ(win::takeRecord<Counted>(param), nullptr) << param;
        EXPECT_EQ(win::peekRecord<Counted>(param), nullptr) << param;
    }
}

TEST(PostedRecord, ARecordIsTakenOnceAndOnlyAsItsOwnKind) {
    const LPARAM param = win::recordParam(new Counted(7));
    EXPECT_EQ(Counted::alive, 1);
    EXPECT_EQ(win::takeRecord<Other>(param), nullptr);
    EXPECT_EQ(win::peekRecord<Other>(param), nullptr);
    ASSERT_NE(win::peekRecord<Counted>(param), nullptr);
    {
        std::unique_ptr<Counted> taken = win::takeRecord<Counted>(param);
        ASSERT_NE(taken, nullptr);
        EXPECT_EQ(taken->value, 7);
        EXPECT_EQ(win::takeRecord<Counted>(param), nullptr);  // a second delivery of the same
    }
    EXPECT_EQ(Counted::alive, 0);
}

TEST(PostedRecord, APostedRecordReachesTheWindowAndAFailedPostFreesIt) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread's queue
    ASSERT_TRUE(
        win::postThreadRecord(GetCurrentThreadId(), WM_APP + 46, 0, std::make_unique<Counted>(46)));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP + 46, WM_APP + 46, PM_REMOVE));
    std::unique_ptr<Counted> got = win::takeRecord<Counted>(msg.lParam);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->value, 46);
    got.reset();

    // A window that is gone: the post fails, nothing leaks.
    EXPECT_FALSE(
        win::postRecord(reinterpret_cast<HWND>(0x7FFF0), WM_APP, 0, std::make_unique<Counted>(1)));
    EXPECT_EQ(Counted::alive, 0);
}

LRESULT CALLBACK takingWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 39) {
        std::unique_ptr<Counted> taken = win::takeRecord<Counted>(lParam);
        return taken ? taken->value : -1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(PostedRecord, ASentRecordIsTheReceiversAndOneForNoWindowIsFreed) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = takingWindow;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SxTakingWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(win::sendRecord(window, WM_APP + 39, 0, std::make_unique<Counted>(39)), 39);
    EXPECT_EQ(Counted::alive, 0) << "taken and freed by the receiver";
    DestroyWindow(window);
    EXPECT_EQ(win::sendRecord(window, WM_APP + 39, 0, std::make_unique<Counted>(1)), 0);
    EXPECT_EQ(Counted::alive, 0) << "no window: freed by the sender";
}

TEST(PostedRecord, AScopedRecordIsReadableOnlyWhileItsOwnerHoldsIt) {
    Counted kept(3);
    LPARAM param;
    {
        win::ScopedRecord<Counted> record(&kept);
        param = record.param();
        ASSERT_EQ(win::peekRecord<Counted>(param), &kept);
    }
    EXPECT_EQ(win::peekRecord<Counted>(param), nullptr);
}

}  // namespace
