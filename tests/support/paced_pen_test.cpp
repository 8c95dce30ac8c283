// The desktop tests' pen: every point of a stroke reaches a window whose
// thread is slow to read its input, in order, where xdotool's own pace lets
// Wine merge the moves that wait; and a pen whose moves never arrive says so.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/HostShell.h"
#include "tests/support/PacedPen.h"

namespace {

std::vector<POINT> g_moves;
bool g_pressed = false;

// Takes 20 ms over every move it gets, as a program busy drawing ink would.
LRESULT CALLBACK slowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
            g_pressed = true;
            return 0;
        case WM_LBUTTONUP:
            g_pressed = false;
            return 0;
        case WM_MOUSEMOVE:
            if (g_pressed) {
                POINT at = {static_cast<short>(LOWORD(lParam)),
                            static_cast<short>(HIWORD(lParam))};
                ClientToScreen(window, &at);
                g_moves.push_back(at);
                Sleep(20);
            }
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct SlowWindow {
    HWND hwnd = nullptr;
    SlowWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = slowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PacedPenTestWindow";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP, 100, 100, 400, 200,
                               nullptr, nullptr, wc.hInstance, nullptr);
        ShowWindow(hwnd, SW_SHOW);
        UpdateWindow(hwnd);
        SetForegroundWindow(hwnd);
    }
    ~SlowWindow() { DestroyWindow(hwnd); }
};

// A stroke across the window, one point every 2 pixels, 2 ms apart: much
// faster than the window takes them.
std::vector<pacedpen::Step> stroke(std::vector<POINT>* points) {
    std::vector<pacedpen::Step> steps;
    steps.push_back({pacedpen::Step::Move, 150, 200, 0});
    steps.push_back({pacedpen::Step::Down, 0, 0, 0});
    for (int i = 1; i <= 60; ++i) {
        const POINT at = {150 + 4 * i, 200 + (i % 10 < 5 ? i % 5 : 5 - i % 5) * 2};
        points->push_back(at);
        steps.push_back({pacedpen::Step::Move, static_cast<int>(at.x), static_cast<int>(at.y), 2});
    }
    steps.push_back({pacedpen::Step::Up, 0, 0, 0});
    return steps;
}

void pump(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
        Sleep(5);
    }
}

TEST(PacedPen, ASlowWindowGetsEveryPointInOrder) {
    SlowWindow window;
    pump(300);
    std::vector<POINT> sent;
    const std::vector<pacedpen::Step> steps = stroke(&sent);

    // xdotool at its own pace: the window falls behind and Wine merges the
    // moves it has not read, which is what bent the tests' writings.
    std::string script = "xdotool";
    for (const pacedpen::Step& step : steps) {
        if (step.kind == pacedpen::Step::Move)
            script += " mousemove " + std::to_string(step.x) + " " + std::to_string(step.y) +
                      " sleep 0.002";
        else
            script += step.kind == pacedpen::Step::Down ? " mousedown 1" : " mouseup 1";
    }
    g_moves.clear();
    ASSERT_TRUE(hostshell::run(script, 30000));
    pump(1500);
    EXPECT_LT(g_moves.size(), sent.size()) << "the unpaced stroke lost no move: the window is not "
                                              "slow enough to show what the pen is for";

    g_moves.clear();
    pacedpen::Pen pen;
    std::string error;
    ASSERT_TRUE(pen.run(steps, &error)) << error;
    pump(300);
    ASSERT_EQ(g_moves.size(), sent.size());
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(g_moves[i].x, sent[i].x) << "point " << i;
        EXPECT_EQ(g_moves[i].y, sent[i].y) << "point " << i;
    }
}

TEST(PacedPen, ParsesTheGeneratorsCommands) {
    const std::vector<pacedpen::Step> steps = pacedpen::parseXdotool(
        "mousemove 10 20\nmousedown 1\nmousemove 11 22\nsleep 0.006\nmouseup 1\nsleep 0.030\n");
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].kind, pacedpen::Step::Move);
    EXPECT_EQ(steps[0].x, 10);
    EXPECT_EQ(steps[0].y, 20);
    EXPECT_EQ(steps[1].kind, pacedpen::Step::Down);
    EXPECT_EQ(steps[2].pauseMs, 6u);
    EXPECT_EQ(steps[3].kind, pacedpen::Step::Up);
    EXPECT_EQ(steps[3].pauseMs, 30u);
}

}  // namespace
