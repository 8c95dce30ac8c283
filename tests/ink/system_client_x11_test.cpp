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

#include <shlobj.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/ink/WritingTestSupport.h"
#include "tests/targets/TargetClient.h"

namespace {

using namespace writingtest;

// The program's wait for the next stroke, set for the run.
constexpr int kWaitNextStroke = 1000;

class WritingOverAnApplication : public testing::Test {
  protected:
    void SetUp() override {
        sxtest::prepareProgramSettings(0);
        writeSystemClientSetting(L"waitNextStrokeTimeout", kWaitNextStroke);
        writeSystemClientSetting(L"waitGestureEndTimeout", 600);
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

        ASSERT_TRUE(openFocusedEdit(target_, &field_));
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
    // The writing ends one wait after its last stroke; then it is recognized and
    // typed. How long that takes is recorded, not asserted: a busy machine
    // takes longer.
    const bool typed = fieldHolds(L"hello world ", kWaitNextStroke + 5000);
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

class MacroWritingOverAnApplication : public WritingOverAnApplication {
  protected:
    void SetUp() override {
        ASSERT_TRUE(macros_.ok);
        WritingOverAnApplication::SetUp();
    }
    ProgramMacroFile macros_{
        "<macroses>\r\n"
        "\t<macro description=\"Signature\" name=\"sig\" type=\"keystroke\">Best "
        "regards,{Enter}Ann</macro>\r\n"
        "</macroses>\r\n"};
};

TEST_F(MacroWritingOverAnApplication, CircledMacroNameTypesTheMacro) {
    // The name, then at once a loop around it, as the user circles a word.
    // "sig" of this hand at this height spans 0..33 by -23..10 pixels from
    // where it starts; the loop keeps close to it, as a user's would.
    const int x = left(), y = baseline();
    const int l = x - 12, t = y - 35, r = x + 45, b = y + 22;
    std::vector<pacedpen::Step> steps;
    ASSERT_TRUE(writingSteps("sig", x, y, 3, 6, 0, &steps));
    const std::vector<pacedpen::Step> loop =
        pacedpen::strokeSteps({{l, t}, {r, t}, {r, b}, {l, b}, {l, t}, {l + 20, t}});
    steps.insert(steps.end(), loop.begin(), loop.end());
    ASSERT_TRUE(penRuns(steps, "the circled name"));
    EXPECT_TRUE(fieldHolds(L"Best regards,\r\nAnn", kWaitNextStroke + 4000))
        << "the field holds \"" << narrow(target_->text()) << "\"";
    EXPECT_EQ(resultAfter(1, 500), "(none)") << "the word itself is not delivered";
    EXPECT_TRUE(boxes_.texts().empty());
}

}  // namespace
