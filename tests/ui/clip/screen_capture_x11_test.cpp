// The screen clipping tool on the test's Xvfb, driven by xdotool as a user
// drives it: a click clips the window under it with its title, a drag the
// rectangle, Escape ends the tool without a clip, and one tool after another
// can run in one process.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "tests/ui/clip/RefusingCaptureClass.h"
#include "ui/clip/ScreenCapture.h"

namespace {

const std::string kReferences = SCRIBIX_CLIP_REFERENCES;

// Dispatches this thread's messages until `done` or `ms` passed.
template <typename F>
bool pumpUntil(F done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

bool xdotool(const std::string& arguments) { return hostshell::run("xdotool " + arguments, 10000); }

class RecordingCallback : public IScreenCaptureCallback {
  public:
    void started(CScreenCaptureCtrl*) override { ++startedCount; }
    void cancelled(CScreenCaptureCtrl*) override { ++cancelledCount; }
    bool hotKey(CScreenCaptureCtrl*, int, LPARAM) override { return false; }
    void modifiersChanged(CScreenCaptureCtrl*, UINT, UINT) override {}
    void done(CScreenCaptureCtrl*, HBITMAP* clip, const wchar_t* title) override {
        std::lock_guard<std::mutex> lock(mutex);
        BITMAP info = {};
        GetObjectW(*clip, sizeof info, &info);
        size = {info.bmWidth, info.bmHeight};
        this->title = title ? title : L"(none)";
        // Takes the clip, as the markup bar does.
        if (bitmap) DeleteObject(bitmap);
        bitmap = *clip;
        *clip = nullptr;
        ++doneCount;
    }
    ~RecordingCallback() {
        if (bitmap) DeleteObject(bitmap);
    }

    std::atomic<int> startedCount{0}, cancelledCount{0}, doneCount{0};
    std::mutex mutex;
    SIZE size = {};
    std::wstring title;
    HBITMAP bitmap = nullptr;
};

LRESULT CALLBACK targetProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(w, &ps);
        RECT r;
        GetClientRect(w, &r);
        HBRUSH green = CreateSolidBrush(RGB(40, 160, 60));
        FillRect(dc, &r, green);
        DeleteObject(green);
        EndPaint(w, &ps);
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

class ScreenCaptureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = targetProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"CaptureTargetClass";
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        RegisterClassW(&wc);
        target = CreateWindowExW(0, L"CaptureTargetClass", L"Capture Target Window",
                                 WS_POPUP | WS_VISIBLE, 100, 100, 240, 160, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(target);
        UpdateWindow(target);
        pumpUntil([] { return false; }, 200);
    }
    void TearDown() override {
        if (control) close();
        DestroyWindow(target);
    }

    // Starts a tool and waits until its window is up.
    void start() {
        control = createScreenCapture(nullptr, &callback);
        ASSERT_TRUE(control);
        ASSERT_TRUE(
            pumpUntil([&] { return callback.startedCount > 0 && control->window(); }, 5000));
        pumpUntil([] { return false; }, 300);  // the snapshot is painted
    }
    void close() {
        HWND window = control->window();
        control->close();
        control = nullptr;
        pumpUntil([&] { return !IsWindow(window); }, 5000);
        // The tool's thread lets its mutex go when it ends.
        pumpUntil(
            [] {
                HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, SCREEN_CAPTURE_MUTEX);
                if (m) CloseHandle(m);
                return m == nullptr;
            },
            5000);
    }

    HWND target = nullptr;
    RecordingCallback callback;
    CScreenCaptureCtrl* control = nullptr;
};

TEST_F(ScreenCaptureTest, AClickClipsTheWindowUnderItWithItsTitle) {
    start();
    EXPECT_EQ(createScreenCapture(nullptr, &callback), nullptr) << "a second tool started";
    ASSERT_TRUE(xdotool("mousemove 180 170 click 1"));
    ASSERT_TRUE(pumpUntil([&] { return callback.doneCount > 0; }, 5000));
    EXPECT_EQ(callback.title, L"Capture Target Window");
    EXPECT_EQ(callback.size.cx, 240);
    EXPECT_EQ(callback.size.cy, 160);
    // Delivered: further clicks are ignored until the owner closes the tool.
    ASSERT_TRUE(xdotool("mousemove 20 20 click 1"));
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(callback.doneCount, 1);
}

TEST_F(ScreenCaptureTest, AClickOnTheBackgroundClipsTheDesktop) {
    start();
    ASSERT_TRUE(xdotool("mousemove 30 400 click 1"));
    ASSERT_TRUE(pumpUntil([&] { return callback.doneCount > 0; }, 5000));
    EXPECT_EQ(callback.title, L"Desktop clip");
    const RECT area = CScreenCaptureCtrl::computeCaptureArea(nullptr);
    EXPECT_EQ(callback.size.cx, area.right - area.left);
    EXPECT_EQ(callback.size.cy, area.bottom - area.top);
}

TEST_F(ScreenCaptureTest, ADragClipsTheRectangleWithoutTitle) {
    start();
    ASSERT_TRUE(xdotool("mousemove 60 70 mousedown 1 mousemove 150 120 mousemove 260 210"));
    pumpUntil([] { return false; }, 300);
    // The selection with its size label over the shaded screen.
    RECT shot = {40, 50, 400, 260};
    const screenshot::Result result = screenshot::check(shot, kReferences, "capture_drag");
    EXPECT_TRUE(result.ok) << result.message;
    ASSERT_TRUE(xdotool("mouseup 1"));
    ASSERT_TRUE(pumpUntil([&] { return callback.doneCount > 0; }, 5000));
    EXPECT_EQ(callback.title, L"(none)");
    EXPECT_EQ(callback.size.cx, 200);
    EXPECT_EQ(callback.size.cy, 140);
    // The clip is the screen as it was: the target's green at its place.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, callback.bitmap);
    EXPECT_EQ(GetPixel(dc, 100, 100), RGB(40, 160, 60));
    SelectObject(dc, old);
    DeleteDC(dc);
}

TEST_F(ScreenCaptureTest, EscapeWhileDraggingEndsTheToolWithoutAClip) {
    start();
    HWND window = control->window();
    ASSERT_TRUE(xdotool("mousemove 60 70 mousedown 1 mousemove 200 200"));
    pumpUntil([] { return false; }, 200);
    ASSERT_TRUE(xdotool("key Escape"));
    ASSERT_TRUE(pumpUntil([&] { return !IsWindow(window); }, 5000));
    xdotool("mouseup 1");
    EXPECT_EQ(callback.doneCount, 0);
    EXPECT_EQ(callback.cancelledCount, 1);
}

// However the window is closed, its owner hears of the end once.
TEST_F(ScreenCaptureTest, TheOwnerHearsOnceThatTheWindowClosed) {
    const struct Way {
        const char* name;
        UINT message;
        WPARAM wParam;
    } ways[] = {
        {"WM_CLOSE", WM_CLOSE, 0},
        {"the Escape key", WM_KEYDOWN, VK_ESCAPE},
        {"the Escape hot key", WM_HOTKEY, 27},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        callback.startedCount = 0;
        callback.cancelledCount = 0;
        start();
        HWND window = control->window();
        PostMessageW(window, way.message, way.wParam, 0);
        ASSERT_TRUE(pumpUntil([&] { return !IsWindow(window); }, 5000));
        pumpUntil([] { return false; }, 200);
        EXPECT_EQ(callback.cancelledCount, 1);
        close();
    }
}

TEST_F(ScreenCaptureTest, ADragEndingOutsideTheAreaIsClampedToItsEdge) {
    start();
    HWND window = control->window();
    const RECT area = control->area();
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(9000, 9000));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(9000, 9000));
    ASSERT_TRUE(pumpUntil([&] { return callback.doneCount > 0; }, 5000));
    // Up to the area's edge: its last column and row are in the clip.
    EXPECT_EQ(callback.size.cx, area.right - area.left - 100);
    EXPECT_EQ(callback.size.cy, area.bottom - area.top - 100);
}

// The screen pixel at (x, y).
COLORREF screenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
}

// A drag toward the top left, then a repaint of the whole window: the
// selection is drawn again as it stands, the screen inside it unshaded.
TEST_F(ScreenCaptureTest, ARepaintDuringADragTowardTheTopLeftKeepsTheSelection) {
    start();
    HWND window = control->window();
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 240));
    PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 150));
    pumpUntil([] { return false; }, 300);
    ASSERT_EQ(screenPixel(250, 200), RGB(40, 160, 60)) << "inside the selection: the target";
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(screenPixel(250, 200), RGB(40, 160, 60)) << "the repaint lost the selection";
    EXPECT_NE(screenPixel(120, 110), RGB(40, 160, 60)) << "outside it the screen is shaded";
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(200, 150));
    ASSERT_TRUE(pumpUntil([&] { return callback.doneCount > 0; }, 5000));
    EXPECT_EQ(callback.size.cx, 100);
    EXPECT_EQ(callback.size.cy, 90);
}

// A move of the selection's corner repaints only the strips that joined or
// left the selection (and the size label): a mark inside the part that
// stayed selected is left alone.
TEST_F(ScreenCaptureTest, AMoveRepaintsOnlyTheStripsThatChanged) {
    start();
    HWND window = control->window();
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(110, 110));
    PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(300, 240));
    pumpUntil([] { return false; }, 300);
    HDC dc = GetDC(window);
    const RECT mark = {150, 150, 160, 160};
    HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &mark, magenta);
    DeleteObject(magenta);
    ReleaseDC(window, dc);
    GdiFlush();
    // The window's surface reaches the screen when its thread comes to it.
    ASSERT_TRUE(pumpUntil([] { return screenPixel(155, 155) == RGB(255, 0, 255); }, 2000));
    PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(320, 250));
    pumpUntil([] { return false; }, 300);
    EXPECT_EQ(screenPixel(155, 155), RGB(255, 0, 255)) << "the unchanged inside was repainted";
    EXPECT_EQ(screenPixel(310, 120), screenPixel(250, 200)) << "the strip that joined";
    PostMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(280, 230));
    pumpUntil([] { return false; }, 300);
    EXPECT_NE(screenPixel(310, 120), screenPixel(250, 200)) << "the strip that left is shaded";
    EXPECT_EQ(screenPixel(155, 155), RGB(255, 0, 255));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(280, 230));
    ASSERT_TRUE(pumpUntil([&] { return callback.doneCount > 0; }, 5000));
}

// The owner closes the tool and goes (as the markup bar does when the
// program ends): once close returns, the tool's thread has ended and its
// callback is never called again, so it may be freed at once.
TEST_F(ScreenCaptureTest, CloseCutsTheCallbackAndWaitsForTheThread) {
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        auto owner = std::make_unique<RecordingCallback>();
        control = createScreenCapture(nullptr, owner.get());
        ASSERT_TRUE(control);
        ASSERT_TRUE(pumpUntil([&] { return owner->startedCount > 0 && control->window(); }, 5000));
        HWND window = control->window();
        const int cancelledBefore = owner->cancelledCount;
        control->close();
        control = nullptr;
        EXPECT_FALSE(IsWindow(window)) << "the tool's window outlived close";
        HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, SCREEN_CAPTURE_MUTEX);
        EXPECT_EQ(m, nullptr) << "the tool's mutex outlived close";
        if (m) CloseHandle(m);
        pumpUntil([] { return false; }, 100);
        EXPECT_EQ(owner->cancelledCount, cancelledBefore) << "the callback was called after close";
        owner.reset();  // the owner is gone
        pumpUntil([] { return false; }, 100);
    }
    // Closed before its thread ran: the thread still finds its object.
    for (int round = 0; round < 20; ++round) {
        control = createScreenCapture(nullptr, &callback);
        ASSERT_TRUE(control) << round;
        control->close();
        control = nullptr;
        HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, SCREEN_CAPTURE_MUTEX);
        EXPECT_EQ(m, nullptr) << round;
        if (m) CloseHandle(m);
    }
}

// A tool whose window cannot be made gives up and says so: the owner hears
// "cancelled", closes it, and the next tool can start.
TEST_F(ScreenCaptureTest, AToolThatCannotMakeItsWindowReportsCancelled) {
    ASSERT_TRUE(refusingcapture::registerRefusingClass());
    control = createScreenCapture(nullptr, &callback);
    ASSERT_TRUE(control);
    EXPECT_TRUE(pumpUntil([&] { return callback.cancelledCount > 0; }, 3000))
        << "the tool gave up without a word";
    EXPECT_EQ(callback.startedCount, 0);
    close();
    ASSERT_TRUE(refusingcapture::unregisterRefusingClass());
    start();  // a working tool after it
    EXPECT_NE(control->window(), nullptr);
}

// A tool whose thread cannot take the mutex in time (another tool that
// started at the same moment holds it) gives up and says so; once the mutex
// is free the next tool starts.
TEST_F(ScreenCaptureTest, AToolThatCannotTakeTheMutexInTimeReportsCancelled) {
    HANDLE held = CreateMutexW(nullptr, TRUE, SCREEN_CAPTURE_MUTEX);
    ASSERT_TRUE(held);
    ASSERT_NE(GetLastError(), DWORD(ERROR_ALREADY_EXISTS)) << "a tool of before still runs";
    EXPECT_EQ(createScreenCapture(nullptr, &callback), nullptr) << "the held mutex was not seen";
    control = createScreenCaptureUnchecked(nullptr, &callback);
    ASSERT_TRUE(control);
    EXPECT_TRUE(pumpUntil([&] { return callback.cancelledCount > 0; }, 3000))
        << "the tool gave up without a word";
    pumpUntil([] { return false; }, 200);
    EXPECT_EQ(callback.cancelledCount, 1);
    EXPECT_EQ(callback.startedCount, 0);
    EXPECT_EQ(control->window(), nullptr);
    ReleaseMutex(held);
    CloseHandle(held);
    close();
    start();  // a working tool after it
    EXPECT_NE(control->window(), nullptr);
}

TEST_F(ScreenCaptureTest, ToolsRunOneAfterAnother) {
    for (int round = 1; round <= 3; ++round) {
        start();
        ASSERT_TRUE(xdotool("mousemove 180 170 click 1")) << round;
        ASSERT_TRUE(pumpUntil([&] { return callback.doneCount == round; }, 5000)) << round;
        close();
    }
    EXPECT_EQ(callback.title, L"Capture Target Window");
}

}  // namespace
