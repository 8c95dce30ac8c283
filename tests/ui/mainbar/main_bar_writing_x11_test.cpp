// The real program with its main bar shown: writings are recognized and
// delivered on the recognition thread, each result announced to the bars,
// while the bar's own thread lays the bar out again and again (orientation
// switches sent to its window). Every writing is typed, and the program ends
// normally with its heaps whole (the test prefix checks them, and the run is
// checked: a bar used off its own thread ends the program).
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/Settings.h"
#include "tests/ink/WritingTestSupport.h"
#include "tests/targets/TargetClient.h"
#include "ui/bars/FloatingBar.h"

namespace {

using namespace writingtest;

constexpr int kWaitNextStroke = 800;

// The program's main bar window, once it shows.
HWND mainBarOf(DWORD pid) { return sxtest::findWindowOf(pid, FLOATING_BAR_CLASS, L"sxMainBar"); }

std::wstring wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

TEST(MainBarWriting, ResultsArriveWhileTheBarIsRelaidOut) {
    RunningScribix scribix(kWaitNextStroke);
    {
        // The main bar shows at start.
        const std::wstring previous = settingsRootKey();
        setSettingsRootKey(nullptr);
        const int on = 1;
        WriteSetting(nullptr, L"showToolbar", &on, SETTING_NUMBER, 0);
        setSettingsRootKey(previous.c_str());
    }
    ASSERT_TRUE(scribix.start());
    HWND bar = nullptr;
    ASSERT_TRUE(sxtest::pumpUntil(
        [&] { return (bar = mainBarOf(scribix.trace().pid())) != nullptr; }, kStartMs))
        << "no main bar";

    targets::TargetProcess target(targets::TargetKind::Edit, L"/multiline");
    ASSERT_TRUE(target.ok()) << target.error();
    ASSERT_TRUE(target.activate());
    ASSERT_TRUE(sxtest::pumpUntil([&] { return hookFocusWindow() == target.control(); }, 10000));
    RECT field;
    GetWindowRect(target.control(), &field);

    // The bar's thread relays the bar while the writings are recognized.
    std::atomic<bool> stop{false};
    std::atomic<int> relays{0};
    std::thread relayer([&] {
        for (bool vertical = true; !stop; vertical = !vertical) {
            PostMessageW(bar, WM_COMMAND,
                         vertical ? BAR_CMD_MAKE_VERTICAL : BAR_CMD_MAKE_HORIZONTAL, 0);
            ++relays;
            Sleep(120);
        }
    });

    // Each writing into the emptied field: what was recognized is what is typed.
    const char* const words[] = {"hello", "world", "pen", "bar", "ink", "text", "word", "menu"};
    size_t results = 0;
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(words[i]);
        ASSERT_TRUE(target.setText(L""));
        const int x = field.left + 20 + (i % 2) * 220, y = field.top + 50 + (i / 2) * 60;
        ASSERT_TRUE(writeWithPen(words[i], x, y));
        const std::string result = scribix.resultAfter(++results, kWaitNextStroke + 5000);
        ASSERT_NE(result, "(none)") << "no result for the writing";
        const std::wstring expected = wide(result) + L" ";
        EXPECT_TRUE(sxtest::pumpUntil([&] { return target.text() == expected; }, 5000))
            << "the field holds \"" << narrow(target.text()) << "\" for \"" << result << "\"";
    }
    stop = true;
    relayer.join();
    EXPECT_GT(relays.load(), 10) << "the bar was hardly relaid out";
    EXPECT_TRUE(IsWindow(bar));
    // The program ends normally (its exit code and its heaps are checked as it goes).
    scribix.stop(HasFailure());
}

}  // namespace
