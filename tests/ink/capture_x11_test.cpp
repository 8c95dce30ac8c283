// Pen capture end to end on the X display: the program's start-up in this
// process with the real hook library stand-in, a test ink client registered
// with the ink manager, and a drag made by xdotool (as the X server's own
// pointer, so hardware input for Wine) over a window of another process.
// With the pen on, the drag reaches the client as one stroke in quarter
// pixels and the window gets no click; with the pen off it is a click.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "InkTestSupport.h"
#include "click_target.h"
#include "ink/PenEventThread.h"
#include "core/ServiceMessages.h"
#include "shell/Startup.h"

namespace {

using inktest::Points;
using inktest::values;

struct Pixel {
    int x, y;
};

// The drag: a hover to the first point, the press, moves, the release.
const std::vector<Pixel> kDrag = {{350, 350}, {361, 352}, {373, 356}, {386, 361}, {400, 366}};

// Runs xdotool through the shell (Wine starts Unix programs but gives no
// handle to wait on): the shell leaves a file when xdotool has ended.
bool runXdotool(const std::string& arguments, DWORD timeoutMs) {
    const std::wstring done = L"sx-ink-x11-" + std::to_wstring(GetCurrentProcessId()) + L".done";
    const std::wstring windowsPath = L"Z:\\tmp\\" + done;
    DeleteFileW(windowsPath.c_str());
    std::wstring command = L"/bin/sh -c \"xdotool " +
                           std::wstring(arguments.begin(), arguments.end()) + L"; echo $? > /tmp/" +
                           done + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(L"Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    const bool ended = sxtest::pumpUntil(
        [&] { return GetFileAttributesW(windowsPath.c_str()) != INVALID_FILE_ATTRIBUTES; },
        timeoutMs);
    sxtest::pumpUntil([] { return false; }, 50);  // what the last events set off
    const std::string status = sxtest::readFile(windowsPath);
    DeleteFileW(windowsPath.c_str());
    return ended && status.rfind("0", 0) == 0;
}

std::string dragCommand() {
    std::string c = "mousemove --sync " + std::to_string(kDrag[0].x) + " " +
                    std::to_string(kDrag[0].y) + " sleep 0.05 mousedown 1 sleep 0.05";
    for (size_t i = 1; i < kDrag.size(); ++i)
        c += " mousemove --sync " + std::to_string(kDrag[i].x) + " " + std::to_string(kDrag[i].y) +
             " sleep 0.05";
    return c + " mouseup 1 sleep 0.05 mousemove --sync 20 20";
}

// The other process's window.
class ClickTarget {
  public:
    ClickTarget() {
        std::wstring command = sxtest::binFolder() + L"\\ink_click_target.exe 300 300 300 200";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info)) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
        }
        sxtest::waitUntil(
            [&] { return (window_ = FindWindowW(kClickTargetClass, nullptr)) != nullptr; }, 10000);
    }
    ~ClickTarget() {
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (process_ && WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0)
            TerminateProcess(process_, 1);
        if (process_) CloseHandle(process_);
    }
    HWND window() const { return window_; }
    LRESULT presses() const { return ask(kAskPresses); }
    LRESULT releases() const { return ask(kAskReleases); }

  private:
    LRESULT ask(UINT question) const {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(window_, question, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer))
            return -1;
        return static_cast<LRESULT>(answer);
    }
    HANDLE process_ = nullptr;
    HWND window_ = nullptr;
};

// Takes every stroke and ends the writing at once, as the system client does
// when it has recognized it.
class ReleasingClient : public inktest::TestInkClient {
  public:
    ReleasingClient() : TestInkClient(record()) {}
    int onStrokes(InkPoint* points, int count) override {
        TestInkClient::onStrokes(points, count);
        inkManager()->releaseActiveClient(this, false);
        return 1;
    }

  private:
    static LocalClientRecord record() {
        // Ahead of the program's own system client, which claims the whole screen.
        LocalClientRecord r = inktest::clientRecord(L"x11 writer", CLIENT_REGISTER_FIRST);
        r.penType = 2;
        r.penWidth = 3;
        r.penColor = RGB(255, 0, 0);
        return r;
    }
};

class PenCaptureOnX11 : public testing::Test {
  protected:
    void SetUp() override {
        const int off = 0, on = 1;
        WriteSetting(nullptr, L"showIntroScreen", &off, SETTING_NUMBER, 0);
        WriteSetting(nullptr, L"runAutoUpdate", &off, SETTING_NUMBER, 0);
        WriteSetting(nullptr, L"startInPenOnMode", &on, SETTING_NUMBER, 0);
        ASSERT_TRUE(target_.window()) << "ink_click_target.exe did not show its window";
        service_ = startInkService(GetModuleHandleW(nullptr), L"");
        ASSERT_NE(service_, nullptr);
        ASSERT_TRUE(sxtest::pumpUntil([] { return appGlobals().servicesStarted.load(); }, 15000));
        manager_ = getLocalInkManager();
        ASSERT_NE(manager_, nullptr);
        ASSERT_TRUE(isPenEventThreadRunning());
        client_ = new ReleasingClient;
        ASSERT_EQ(manager_->registerClient(client_), 1);
    }
    void TearDown() override {
        if (HWND service = getServiceWindow()) {
            PostMessageW(service, WM_CLOSE, 0, 0);
            sxtest::runUntilQuit(5000);
        }
        stopInkService();
        sxtest::dropQuit();
    }

    sxtest::TestSettingsKey key_{L"x11"};
    sxtest::MessageBoxWatcher boxes_;
    ClickTarget target_;
    HWND service_ = nullptr;
    LocalInkManager* manager_ = nullptr;
    ReleasingClient* client_ = nullptr;
};

TEST_F(PenCaptureOnX11, DragWithThePenOnIsOneStrokeAndNoClick) {
    manager_->setPenOn(1);
    ASSERT_TRUE(runXdotool(dragCommand(), 10000)) << "xdotool failed";
    ASSERT_TRUE(sxtest::pumpUntil([&] { return !client_->strokes().empty(); }, 5000))
        << "no stroke reached the client";

    Points expected;
    for (const Pixel& p : kDrag) expected.push_back(makeInkPoint(4 * p.x, 4 * p.y));
    expected.push_back(kInkSeparator);
    const auto strokes = client_->strokes();
    ASSERT_EQ(strokes.size(), 1u);
    EXPECT_EQ(values(strokes[0]), values(expected)) << "the drag in quarter pixels";
    EXPECT_EQ(target_.presses(), 0) << "the window under the pen got no click";
    EXPECT_EQ(target_.releases(), 0);
    EXPECT_EQ(manager_->getActiveClient(), nullptr) << "released after the stroke";
    EXPECT_TRUE(
        sxtest::pumpUntil([] { return !IsWindowVisible(appGlobals().inkLayerWindow); }, 3000))
        << "the layer hides when the inking ends";
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(PenCaptureOnX11, DragWithThePenOffClicksTheWindow) {
    manager_->setPenOn(0);
    ASSERT_TRUE(runXdotool(dragCommand(), 10000)) << "xdotool failed";
    EXPECT_TRUE(sxtest::pumpUntil([&] { return target_.releases() == 1; }, 5000));
    EXPECT_EQ(target_.presses(), 1) << "the same drag is a click now";
    EXPECT_TRUE(client_->strokes().empty());
    EXPECT_FALSE(IsWindowVisible(appGlobals().inkLayerWindow));
}

}  // namespace
