// Markup mode in the real program on the test's X display: the command
// message switches it on, the canvas covers the desktop with the snapshot and
// the ink control stand-in receives its background and settings (read from
// the log it writes); a drag draws real ink; the markup bar's buttons send the
// tool and width codes; Escape leaves markup mode, except while the clipping
// tool is open, where it closes the tool only.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include "core/Settings.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/HostShell.h"
#include "tests/support/PacedPen.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TempDir.h"
#include "ui/bars/BarGeometry.h"
#include "ui/bars/FloatingBar.h"

namespace {

constexpr DWORD kStartMs = 20000;
const std::string kReferences = SCRIBIX_MARKUP_REFERENCES;

std::string readFile(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool xdotool(const std::string& arguments) {
    std::string output;
    const bool ok = hostshell::run("xdotool " + arguments, 10000, &output);
    if (!ok) ADD_FAILURE() << "xdotool " << arguments << ": " << output;
    sxtest::pumpUntil([] { return false; }, 200);
    return ok;
}

using sxtest::findWindowOf;

class MarkupProgram : public testing::Test {
  protected:
    void SetUp() override {
        sxtest::prepareProgramSettings();
        sxtest::deleteUserKey(L"Software\\Zorvane\\Scribix\\MarkupBar");
        log_ = dir_.file(L"fatink.log");
        startProgram();
    }
    void TearDown() override {
        if (!program_) return;
        if (service_) PostMessageW(service_, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program_->waitForExit(15000));
    }

    // Starts the program and waits until the deferred start-up made the markup bar.
    void startProgram() {
        ASSERT_TRUE(sxtest::waitForNoServiceWindow(5000)) << "an instance is left from before";
        DeleteFileW(log_.c_str());
        service_ = nullptr;
        program_ = std::make_unique<sxtest::ScribixProcess>(
            L"", std::vector<std::pair<std::wstring, std::wstring>>{{L"ZVFATINK_LOG", log_}});
        ASSERT_TRUE(program_->started());
        service_ = program_->waitForServiceWindow(kStartMs);
        ASSERT_NE(service_, nullptr);
        ASSERT_TRUE(sxtest::pumpUntil(
            [&] {
                return sxtest::sendCommand(service_, 4, 0) >= 0 &&
                       readFile(log_).find("folder = ") != std::string::npos;
            },
            kStartMs))
            << "the markup bar was not made; the control's log:\n"
            << readFile(log_) << "\nstate " << sxtest::sendCommand(service_, 4, 0);
    }
    // Opens the clipping tool (command 10) in markup mode.
    void openClippingTool() {
        sxtest::sendCommand(service_, 10, 0);
        ASSERT_TRUE(sxtest::pumpUntil(
            [&] { return findWindowOf(program_->pid(), L"sxScreenCaptureCtrl"); }, 5000))
            << "no clipping tool";
    }

    bool markupOn() { return (sxtest::sendCommand(service_, 4, 0) & 2) != 0; }
    bool logHas(const std::string& line) {
        return readFile(log_).find(line + "\n") != std::string::npos;
    }
    HWND canvas() { return findWindowOf(program_->pid(), L"ScribixMarkupCtrlWndClass"); }
    HWND bar() { return findWindowOf(program_->pid(), FLOATING_BAR_CLASS, L"MarkupBar"); }

    void enterMarkup() {
        sxtest::sendCommand(service_, 2, 1);
        ASSERT_TRUE(sxtest::pumpUntil([&] { return markupOn() && canvas() && bar(); }, 10000))
            << "markup mode did not start";
        sxtest::pumpUntil([] { return false; }, 600);  // the bar's slide-in is over
    }

    TempDir dir_;
    std::wstring log_;
    std::unique_ptr<sxtest::ScribixProcess> program_;
    HWND service_ = nullptr;
};

TEST_F(MarkupProgram, TheCanvasCoversTheDesktopAndTheControlGetsItsSettings) {
    DeleteFileW(log_.c_str());
    enterMarkup();
    RECT r;
    GetWindowRect(canvas(), &r);
    const RECT desktop = desktopRect();
    EXPECT_TRUE(EqualRect(&r, &desktop))
        << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    const std::string log = readFile(log_);
    EXPECT_NE(log.find("\n1321 0 "), std::string::npos) << log;  // the background
    EXPECT_TRUE(logHas("1310 " + std::to_string(reinterpret_cast<UINT_PTR>(service_)) + " 1"))
        << log;
    EXPECT_TRUE(logHas("1311 1 0")) << log;

    // A drag over the canvas draws ink with the pencil. The pen keeps pace
    // with the desktop, so that every corner of the stroke reaches the canvas.
    pacedpen::Pen pen;
    std::string penError;
    ASSERT_TRUE(
        pen.run(pacedpen::strokeSteps({{700, 600}, {760, 640}, {820, 610}, {880, 660}}), &penError))
        << penError;
    ASSERT_TRUE(sxtest::pumpUntil([&] { return logHas("strokes 1"); }, 3000)) << readFile(log_);
    // The frame of the snapshot and the stroke.
    const RECT corner = {desktop.right - 40, desktop.bottom - 40, desktop.right, desktop.bottom};
    const screenshot::Result frame = screenshot::check(corner, kReferences, "canvas_corner");
    EXPECT_TRUE(frame.ok) << frame.message;
    const RECT stroke = {680, 580, 900, 680};
    const screenshot::Result ink = screenshot::check(stroke, kReferences, "canvas_stroke");
    EXPECT_TRUE(ink.ok) << ink.message;

    // The bar's tool and width buttons (extended: small and automatic).
    RECT b;
    ASSERT_TRUE(GetWindowRect(bar(), &b));
    const screenshot::Result look =
        screenshot::checkWindow(bar(), kReferences, "program_markup_bar");
    EXPECT_TRUE(look.ok) << look.message;
    struct Case {
        int column, row;
        const char* logged;
    };
    const Case cases[] = {
        {2, 1, "1281 5 0"},     // marker
        {5, 2, "1283 1024 0"},  // the fifth width
        {1, 1, "1281 0 0"},     // pen
        {2, 2, "1283 1004 0"},  // the second width
    };
    for (const Case& c : cases) {
        DeleteFileW(log_.c_str());
        const int x = b.left + 5 + 32 * c.column + 16, y = b.top + 5 + 32 * c.row + 16;
        ASSERT_TRUE(xdotool("mousemove " + std::to_string(x) + " " + std::to_string(y) +
                            " sleep 0.1 click 1"));
        EXPECT_TRUE(sxtest::pumpUntil([&] { return logHas(c.logged); }, 3000)) << c.logged << ":\n"
                                                                               << readFile(log_);
    }
}

TEST_F(MarkupProgram, EscapeLeavesMarkupButOnlyClosesAnOpenClippingTool) {
    enterMarkup();
    openClippingTool();
    sxtest::pumpUntil([] { return false; }, 300);
    // An Escape that reaches the canvas while the tool is open (the tool's
    // hot key usually takes it first) leaves markup mode on.
    HWND markupCanvas = canvas();
    ASSERT_NE(markupCanvas, nullptr);
    PostMessageW(markupCanvas, WM_KEYDOWN, VK_ESCAPE, 0x00010001);
    sxtest::pumpUntil([] { return false; }, 500);
    EXPECT_TRUE(markupOn()) << "the canvas left markup mode while the tool was open";
    ASSERT_TRUE(findWindowOf(program_->pid(), L"sxScreenCaptureCtrl"));
    // The tool's own Escape closes the tool only.
    ASSERT_TRUE(xdotool("key Escape"));
    ASSERT_TRUE(sxtest::pumpUntil(
        [&] { return !findWindowOf(program_->pid(), L"sxScreenCaptureCtrl"); }, 5000))
        << "the clipping tool stayed";
    sxtest::pumpUntil([] { return false; }, 500);
    EXPECT_TRUE(markupOn()) << "Escape for the tool left markup mode";

    // Without the tool, Escape on the canvas leaves markup mode.
    ASSERT_TRUE(xdotool("mousemove 640 500 sleep 0.2 key Escape"));
    EXPECT_TRUE(sxtest::pumpUntil([&] { return !markupOn(); }, 5000));
    EXPECT_TRUE(sxtest::pumpUntil([&] { return !canvas() && !bar(); }, 3000))
        << "the canvas or the bar stayed";
}

// "Close Scribix" (the menu's command posts WM_CLOSE to the service window)
// while the clipping tool is open: the program leaves markup mode, closes the
// tool and waits for its thread before the markup bar goes, and ends within
// seconds, its heaps whole (the test prefix checks them) - every time.
TEST_F(MarkupProgram, ClosingTheProgramWithTheClippingToolOpenEndsCleanly) {
    for (int round = 1; round <= 20; ++round) {
        SCOPED_TRACE(round);
        if (round > 1) startProgram();
        if (HasFatalFailure()) return;
        enterMarkup();
        openClippingTool();
        if (HasFatalFailure()) return;
        PostMessageW(service_, WM_CLOSE, 0, 0);
        DWORD status = 0;
        const DWORD start = GetTickCount();
        ASSERT_TRUE(program_->waitForExit(10000, &status)) << "the program did not end";
        EXPECT_LT(GetTickCount() - start, 5000u) << "the end took long";
        EXPECT_EQ(status, 1u) << "not the program's normal exit code";
        program_.reset();
        service_ = nullptr;
        HANDLE m = OpenMutexW(SYNCHRONIZE, FALSE, L"ZVScreenCaptureMutex");
        EXPECT_EQ(m, nullptr) << "the tool's mutex outlived the program";
        if (m) CloseHandle(m);
    }
}

}  // namespace
