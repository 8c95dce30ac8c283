// The screenshot comparison that the window tests rely on: a shot matches its
// own reference, a changed window does not, and a missing reference is named.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>

#include "tests/support/Screenshot.h"
#include "tests/support/TempDir.h"

namespace {

COLORREF g_fill = RGB(40, 120, 200);

LRESULT CALLBACK paintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        HBRUSH brush = CreateSolidBrush(g_fill);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, L"Scribix", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct ShotWindow {
    HWND hwnd = nullptr;
    ShotWindow() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = paintProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ScreenshotTestWindow";
        RegisterClassW(&wc);
        hwnd = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP,
                               100, 100, 160, 60, nullptr, nullptr, wc.hInstance, nullptr);
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
        UpdateWindow(hwnd);
    }
    ~ShotWindow() { DestroyWindow(hwnd); }
};

std::string hostDir(const TempDir& dir) { return screenshot::detail::hostPath(dir.path()); }

TEST(Screenshot, MatchesItsReferenceAndCatchesAChange) {
    TempDir references;
    ShotWindow window;
    g_fill = RGB(40, 120, 200);

    _putenv("SCRIBIX_MAKE_REFERENCES=1");
    screenshot::Result made = screenshot::checkWindow(window.hwnd, hostDir(references), "plain");
    _putenv("SCRIBIX_MAKE_REFERENCES=");
    ASSERT_TRUE(made.ok) << made.message;

    screenshot::Result same = screenshot::checkWindow(window.hwnd, hostDir(references), "plain");
    EXPECT_TRUE(same.ok) << same.message;

    g_fill = RGB(200, 60, 40);
    InvalidateRect(window.hwnd, nullptr, TRUE);
    screenshot::Result changed = screenshot::checkWindow(window.hwnd, hostDir(references), "plain");
    EXPECT_FALSE(changed.ok) << changed.message;
    EXPECT_NE(changed.message.find("pixels differ"), std::string::npos) << changed.message;
}

TEST(Screenshot, AMissingReferenceIsNamed) {
    TempDir references;
    ShotWindow window;
    screenshot::Result result = screenshot::checkWindow(window.hwnd, hostDir(references), "absent");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("no reference image"), std::string::npos) << result.message;
}

}  // namespace
