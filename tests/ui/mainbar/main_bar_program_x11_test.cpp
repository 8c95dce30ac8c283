// The main bar of the real program on the test's X display: a fresh start
// shows it with its default buttons at its default place, its pen button
// switches the pen, its menu button opens the main menu (whose last item
// ends the program), and the place is kept for the next start.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "ui/bars/FloatingBar.h"
#include "ui/bars/BarGeometry.h"

namespace {

constexpr DWORD kStartMs = 20000;

HWND findBar(DWORD pid) { return sxtest::findWindowOf(pid, FLOATING_BAR_CLASS); }

bool click(POINT p, int button) {
    std::string output;
    const bool ok =
        hostshell::run("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) +
                           " sleep 0.2 click " + std::to_string(button),
                       10000, &output);
    if (!ok) ADD_FAILURE() << output;
    return ok;
}

int penOn(HWND service) { return static_cast<int>(sxtest::sendCommand(service, 4, 0) & 1); }

TEST(MainBarProgram, FreshStartShowsTheBarWhoseButtonsDriveTheProgram) {
    ASSERT_TRUE(sxtest::waitForNoServiceWindow(5000)) << "an instance is left from before";
    sxtest::MessageBoxWatcher boxes;
    sxtest::prepareProgramSettings();
    sxtest::deleteUserKey(L"Software\\Zorvane\\Scribix\\ToolBar");
    sxtest::Journal journal;
    sxtest::ScribixProcess program(L"", {{L"SCRIBIX35_JOURNAL", journal.path()}});
    ASSERT_TRUE(program.started());
    HWND service = program.waitForServiceWindow(kStartMs);
    ASSERT_NE(service, nullptr);
    HWND bar = nullptr;
    ASSERT_TRUE(
        sxtest::pumpUntil([&] { return (bar = findBar(program.pid())) != nullptr; }, kStartMs))
        << "no main bar";
    sxtest::pumpUntil([] { return false; }, 500);  // its slide-in is over

    const RECT desktop = desktopRect();
    RECT r;
    GetWindowRect(bar, &r);
    EXPECT_EQ(r.left, desktop.right - 260);
    EXPECT_EQ(r.top, desktop.top + 64);
    // Five small buttons (pen, markup, punctuation, correction, menu) in a frame.
    EXPECT_EQ(r.right - r.left, 5 * 32 + 10);
    EXPECT_EQ(r.bottom - r.top, 32 + 10);
    const screenshot::Result shot =
        screenshot::checkWindow(bar, MAIN_BAR_REFERENCES, "program_main_bar");
    EXPECT_TRUE(shot.ok) << shot.message;

    // The pen button switches the pen off and on again.
    const POINT pen = {r.left + 5 + 16, r.top + 5 + 16};
    ASSERT_EQ(penOn(service), 1);
    for (int expected : {0, 1}) {
        SCOPED_TRACE(expected);
        ASSERT_TRUE(click(pen, 1));
        EXPECT_TRUE(sxtest::pumpUntil([&] { return penOn(service) == expected; }, 3000));
    }

    // The menu button opens the main menu; its last item closes the program.
    const POINT menu = {r.left + 5 + 4 * 32 + 16, r.top + 5 + 16};
    ASSERT_TRUE(click(menu, 1));
    ASSERT_TRUE(sxtest::pickLastMenuItem(5000)) << "no menu";
    EXPECT_TRUE(program.waitForExit(10000));

    // The place and the layout were kept.
    POINT saved = {-1, -1};
    int vertical = -1;
    ReadSetting(L"ToolBar", L"position", &saved, SETTING_POINT, 0);
    ReadSetting(L"ToolBar", L"lastVertical", &vertical, SETTING_NUMBER, 0);
    EXPECT_EQ(saved.x, r.left);
    EXPECT_EQ(saved.y, r.top);
    EXPECT_EQ(vertical, 0);
    EXPECT_TRUE(boxes.texts().empty());
}

}  // namespace
