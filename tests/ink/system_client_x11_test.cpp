// The main road end to end on the X display: Scribix.exe staged in a folder of
// its own as it is installed (the program, the hook library stand-in, the
// gesture library, the crash reporter and the English engine folder), our
// target program's edit control with the focus, and xdotool moving the X
// server's own pointer along the strokes of the test handwriting generator.
// What the edit holds is read from the target; the program's current result
// is read from its trace, which this test collects as the program's debugger.
// Nothing stands in between the pen and the field.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "hook64/SharedData.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/HostShell.h"
#include "tests/support/TempDir.h"
#include "tests/support/TracedProcess.h"
#include "tests/targets/TargetClient.h"

#ifndef HANDWRITE_TOOL
#error "HANDWRITE_TOOL names the handwriting generator's tool on the build host"
#endif

namespace {

// The program's wait for the next stroke, set for the run.
constexpr int kWaitNextStroke = 1000;
constexpr DWORD kStartMs = 30000;
constexpr char kResultTrace[] = "SystemClient: current result ";

bool copyFolder(const std::wstring& from, const std::wstring& to) {
    if (!CreateDirectoryW(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((from + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = copyFolder(from + L"\\" + name, to + L"\\" + name) && ok;
        else
            ok = CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE) && ok;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return ok;
}

// The program as installed: its folder holds the program, its libraries and
// the engine folders, nothing else of the build.
class StagedProgram {
  public:
    StagedProgram() {
        const std::wstring bin = sxtest::binFolder();
        ok_ = true;
        for (const wchar_t* file :
             {L"Scribix.exe", L"Scribix35.dll", L"gestures.dll", L"ZVCrashRep.dll"})
            ok_ = CopyFileW((bin + L"\\" + file).c_str(), folder_.file(file).c_str(), FALSE) && ok_;
        ok_ = copyFolder(bin + L"\\English", folder_.file(L"English")) && ok_;
    }
    bool ok() const { return ok_; }
    const std::wstring& folder() const { return folder_.path(); }
    std::wstring program() const { return folder_.file(L"Scribix.exe"); }

  private:
    TempDir folder_;
    bool ok_ = false;
};

// The focus window the hook library saw last, from the block it shares.
HWND hookFocusWindow() {
    wchar_t name[32];
    formatMapFileName(name, 32);
    HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, name);
    if (!mapping) return nullptr;
    HWND focus = nullptr;
    if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, SHARED_DATA_SIZE)) {
        focus = reinterpret_cast<HWND>(
            static_cast<ULONG_PTR>(static_cast<const SharedDataStruct*>(view)->_hwndFocus));
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return focus;
}

// xdotool writes `text` with the generator's strokes, the first baseline
// starting at the screen pixel (x, y).
bool writeWithPen(const std::string& text, int x, int y) {
    const std::string command =
        std::string(HANDWRITE_TOOL) + " --xdotool --seed 3 --height 16 --point-ms 6" + " --x " +
        std::to_string(x) + " --y " + std::to_string(y) + " '" + text + "' | xdotool -";
    std::string output;
    const bool ok = hostshell::run(command, 60000, &output);
    if (!ok) ADD_FAILURE() << "writing \"" << text << "\" failed: " << output;
    return ok;
}

// xdotool draws one stroke through the corners (screen pixels), a point
// every few pixels at a pen's pace (moves that come faster are merged by the
// receiving side, as the generator's writing is paced too).
bool drawStroke(std::initializer_list<POINT> corners) {
    std::string script = "xdotool";
    const POINT* previous = nullptr;
    for (const POINT& corner : corners) {
        if (!previous) {
            script += " mousemove " + std::to_string(corner.x) + " " + std::to_string(corner.y) +
                      " mousedown 1";
        } else {
            const int span =
                std::max(std::abs(corner.x - previous->x), std::abs(corner.y - previous->y));
            const int steps = std::max(1, span / 3);
            for (int i = 1; i <= steps; ++i)
                script += " mousemove " +
                          std::to_string(previous->x + (corner.x - previous->x) * i / steps) + " " +
                          std::to_string(previous->y + (corner.y - previous->y) * i / steps) +
                          " sleep 0.006";
        }
        previous = &corner;
    }
    script += " mouseup 1";
    return hostshell::run(script, 20000);
}

HWND serviceWindowOf(DWORD pid) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, SERVICE_WINDOW_CLASS, nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid) return window;
    }
    return nullptr;
}

class WritingOverAnApplication : public testing::Test {
  protected:
    void SetUp() override {
        sxtest::prepareProgramSettings(0);
        writeProgramSetting(L"waitNextStrokeTimeout", kWaitNextStroke);
        writeProgramSetting(L"waitGestureEndTimeout", 600);
        ASSERT_TRUE(staged_.ok()) << "the program could not be staged";
        scribix_ = std::make_unique<TracedProcess>(staged_.program(), L"", staged_.folder());
        ASSERT_TRUE(scribix_->started());
        // Ready when the system client runs and the pen is on.
        ASSERT_TRUE(sxtest::pumpUntil(
            [&] {
                service_ = serviceWindowOf(scribix_->pid());
                HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"SystemClientRecognitionEvent");
                if (event) CloseHandle(event);
                const LRESULT state = service_ ? sxtest::sendCommand(service_, 4, 0) : -1;
                return event && state != -1 && (state & 1) == 1;
            },
            kStartMs))
            << "Scribix did not get ready";

        target_ =
            std::make_unique<targets::TargetProcess>(targets::TargetKind::Edit, L"/multiline");
        ASSERT_TRUE(target_->ok()) << target_->error();
        ASSERT_TRUE(target_->activate());
        ASSERT_TRUE(
            sxtest::pumpUntil([&] { return hookFocusWindow() == target_->control(); }, 10000))
            << "the hook library did not see the edit take the focus";
        GetWindowRect(target_->control(), &field_);
    }

    void TearDown() override {
        target_.reset();
        if (!scribix_) return;
        if (HasFailure()) {
            std::string trace;
            for (const std::string& line : scribix_->lines()) trace += "  " + line;
            ADD_FAILURE() << "the program's trace:\n" << trace;
        }
        // An ordinary shut-down, which stops the recognition thread.
        if (service_) PostMessageW(service_, WM_CLOSE, 0, 0);
        DWORD status = 0;
        EXPECT_TRUE(scribix_->waitForExit(15000, &status)) << "Scribix did not end after WM_CLOSE";
        EXPECT_EQ(status, 1u) << "the program's normal exit code";
        scribix_.reset();
    }

    static void writeProgramSetting(const wchar_t* name, int value) {
        const std::wstring previous = settingsRootKey();
        setSettingsRootKey(nullptr);
        WriteSetting(L"InnerSystemClient", name, &value, SETTING_NUMBER_DIRECT, 0);
        setSettingsRootKey(previous.c_str());
    }

    // Pumps until the edit holds `text`, at most `ms`.
    bool fieldHolds(const std::wstring& text, DWORD ms) {
        return sxtest::pumpUntil([&] { return target_->text() == text; }, ms);
    }
    // Pumps until the program has delivered `count` results in all and
    // returns the last one's text as the trace gives it.
    std::string resultAfter(size_t count, DWORD ms = 5000) {
        sxtest::pumpUntil([&] { return scribix_->countLinesStartingWith(kResultTrace) >= count; },
                          ms);
        if (scribix_->countLinesStartingWith(kResultTrace) < count) return "(none)";
        const std::string line = scribix_->lastLineStartingWith(kResultTrace);
        return line.substr(sizeof kResultTrace - 1);
    }
    std::string quoted(const std::string& text) { return "\"" + text + "\"\n"; }

    // Where a writing starts: inside the edit, on its first line.
    int left() const { return field_.left + 20; }
    int baseline() const { return field_.top + 60; }

    StagedProgram staged_;
    std::unique_ptr<TracedProcess> scribix_;
    std::unique_ptr<targets::TargetProcess> target_;
    HWND service_ = nullptr;
    RECT field_ = {};
    sxtest::MessageBoxWatcher boxes_;
};

TEST_F(WritingOverAnApplication, HandwritingBecomesTheFieldsText) {
    ASSERT_TRUE(writeWithPen("hello world", left(), baseline()));
    const DWORD written = GetTickCount();
    // The writing ends one wait after its last stroke; then it is recognized and typed.
    const bool typed = fieldHolds(L"hello world ", kWaitNextStroke + 1000);
    const DWORD took = GetTickCount() - written;
    const std::wstring field = target_->text();
    EXPECT_TRUE(typed) << "the field holds \"" << std::string(field.begin(), field.end())
                       << "\" after " << took << " ms";
    RecordProperty("msFromLastStrokeToText", static_cast<int>(took));
    EXPECT_EQ(resultAfter(1), quoted("hello world"));
    EXPECT_TRUE(boxes_.texts().empty());
}

TEST_F(WritingOverAnApplication, BlankBeforeTheTextFollowsTheField) {
    ASSERT_TRUE(target_->setText(L"say"));
    ASSERT_TRUE(writeWithPen("hello", left() + 40, baseline() + 40));
    EXPECT_TRUE(fieldHolds(L"say hello ", 5000)) << "a blank after a letter";
    EXPECT_EQ(resultAfter(1), quoted("hello"));
}

TEST_F(WritingOverAnApplication, GesturesBecomeKeysAndUndoRestoresThePreviousResult) {
    ASSERT_TRUE(writeWithPen("hello", left(), baseline()));
    ASSERT_TRUE(fieldHolds(L"hello ", 5000));
    ASSERT_EQ(resultAfter(1), quoted("hello"));

    // A clean undo step in the field, as after the user's own editing.
    ASSERT_TRUE(target_->setText(L"hello "));
    ASSERT_TRUE(writeWithPen("world", left(), baseline() + 60));
    ASSERT_TRUE(fieldHolds(L"hello world ", 5000));
    ASSERT_EQ(resultAfter(2), quoted("world"));

    const int x = left() + 150, y = baseline() + 100;
    // Up, then left: undo.
    ASSERT_TRUE(drawStroke({{x + 70, y + 40}, {x + 70, y}, {x, y}}));
    EXPECT_TRUE(fieldHolds(L"hello ", 5000)) << "the field undid the last writing";
    EXPECT_EQ(resultAfter(3), quoted("hello")) << "the previous result is current again";

    // A line to the left: backspace.
    ASSERT_TRUE(drawStroke({{x + 80, y}, {x, y}}));
    EXPECT_TRUE(fieldHolds(L"hello", 5000));
    // Down, then right: space.
    ASSERT_TRUE(drawStroke({{x, y}, {x, y + 40}, {x + 70, y + 40}}));
    EXPECT_TRUE(fieldHolds(L"hello ", 5000));
    // Down, then left: return.
    ASSERT_TRUE(drawStroke({{x + 70, y}, {x + 70, y + 40}, {x, y + 40}}));
    EXPECT_TRUE(fieldHolds(L"hello \r\n", 5000));
}

}  // namespace
