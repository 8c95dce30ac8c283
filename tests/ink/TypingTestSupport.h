// Helpers shared by the keyboard output and target text tests.
#pragma once

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/targets/TargetClient.h"

namespace typingtest {

// A top-level window of this process with the given class name (registered on
// first use with the default window procedure). Class names are matched
// without regard to case, so names used in one test program differ in more
// than case.
class ClassWindow {
  public:
    explicit ClassWindow(const wchar_t* className, DWORD style = WS_POPUP) {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = className;
        RegisterClassW(&windowClass);
        window_ = CreateWindowExW(0, className, L"", style, 0, 0, 50, 50, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    }
    ~ClassWindow() { DestroyWindow(window_); }
    ClassWindow(const ClassWindow&) = delete;
    ClassWindow& operator=(const ClassWindow&) = delete;
    HWND get() const { return window_; }

  private:
    HWND window_;
};

// Test names for the target kinds.
inline std::string kindName(const ::testing::TestParamInfo<targets::TargetKind>& info) {
    switch (info.param) {
        case targets::TargetKind::Edit:
            return "Edit";
        case targets::TargetKind::RichEdit:
            return "RichEdit";
        default:
            return "Word";
    }
}

}  // namespace typingtest
