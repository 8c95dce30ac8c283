// The main road over programs that no one here wrote: Wine's own notepad (a
// plain edit) and wordpad (a rich edit that serves no object model), opened
// before Scribix starts and after it, as a user has them. The pen is the X
// server's own pointer moved by xdotool along the handwriting generator's
// strokes; what the field holds is read from outside with WM_GETTEXT, and
// every check fails on the first wrong text with the text it found.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/ink/WritingTestSupport.h"
#include "tests/targets/TargetClient.h"

namespace {

using namespace writingtest;

// The program's wait for the next stroke, set for the run: short, so that
// twenty writings stay quick, and long enough for the generator's pauses
// between the strokes of a word.
constexpr int kWaitNextStroke = 700;
// A writing's text reaches the field within this after the pen rested.
constexpr DWORD kDeliveryMs = 4000;

struct Setting {
    const ProgramKind* program;
    bool openBeforeScribix;
};

void PrintTo(const Setting& setting, std::ostream* out) {
    *out << setting.program->name
         << (setting.openBeforeScribix ? " opened before" : " opened after");
}

std::string settingName(const ::testing::TestParamInfo<Setting>& info) {
    return std::string(info.param.program->name) +
           (info.param.openBeforeScribix ? "_OpenBeforeScribix" : "_OpenAfterScribix");
}

class WritingIntoWinePrograms : public ::testing::TestWithParam<Setting> {
  protected:
    void SetUp() override {
        scribix_ = std::make_unique<RunningScribix>(kWaitNextStroke);
        if (GetParam().openBeforeScribix) {
            openProgram();
            if (HasFatalFailure()) return;
            ASSERT_TRUE(scribix_->start());
        } else {
            ASSERT_TRUE(scribix_->start());
            openProgram();
            if (HasFatalFailure()) return;
        }
        ASSERT_TRUE(
            sxtest::pumpUntil([&] { return hookFocusWindow() == program_->field(); }, 10000))
            << "the hook library does not know the focused field: it holds " << hookFocusWindow()
            << " (" << narrow(targets::classNameOf(hookFocusWindow())) << "), the field is "
            << program_->field();
        GetWindowRect(program_->field(), &field_);
    }

    void TearDown() override {
        if (scribix_) scribix_->stop(HasFailure());
        scribix_.reset();
        program_.reset();
    }

    void openProgram() {
        program_ = std::make_unique<WineProgram>(*GetParam().program);
        ASSERT_TRUE(program_->ok()) << program_->error();
        ASSERT_TRUE(program_->activate()) << "the program did not come to the front";
    }

    // Where a writing starts: inside the field, near its top left.
    int left() const { return field_.left + 20; }
    int baseline() const { return field_.top + 45; }
    // Where gestures are drawn: inside the field, right of the writing.
    int gestureX() const { return field_.left + 260; }
    int gestureY() const { return field_.top + 30; }

    // Writes `text` and checks that the field then holds `expected`; the
    // failure names the writing and the text found.
    ::testing::AssertionResult writeAndExpect(const std::string& text,
                                              const std::wstring& expected) {
        const size_t before = scribix_->resultCount();
        if (!writeWithPen(text, left(), baseline()))
            return ::testing::AssertionFailure() << "xdotool could not write \"" << text << "\"";
        return expectField(expected, before + 1, "after writing \"" + text + "\"");
    }
    ::testing::AssertionResult expectField(const std::wstring& expected, size_t results,
                                           const std::string& when) {
        sxtest::pumpUntil([&] { return program_->text() == expected; },
                          kWaitNextStroke + kDeliveryMs);
        const std::wstring found = program_->text();
        if (found != expected)
            return ::testing::AssertionFailure()
                   << when << ": the field holds \"" << narrow(found) << "\", not \""
                   << narrow(expected) << "\" (the program's last result \""
                   << scribix_->resultAfter(results, 0) << "\")";
        return ::testing::AssertionSuccess();
    }

    std::unique_ptr<RunningScribix> scribix_;
    std::unique_ptr<WineProgram> program_;
    RECT field_ = {};
};

// Words and short phrases of the generator's hand, one writing each.
const char* const kWritings[] = {
    "hello", "world",     "pen",      "input", "the quick", "brown fox", "jumps",
    "over",  "lazy dogs", "every",    "time",  "green tea", "paper",     "notes",
    "house", "music",     "and more", "words", "again",     "done",
};

TEST_P(WritingIntoWinePrograms, TwentyWritingsInARowArriveWholeWithTheBlanksBetween) {
    std::wstring expected;
    for (const char* writing : kWritings) {
        // Each writing follows the blank typed after the one before.
        expected += std::wstring(writing, writing + strlen(writing)) + L" ";
        ASSERT_TRUE(writeAndExpect(writing, expected));
    }
    const size_t writings = sizeof kWritings / sizeof kWritings[0];
    EXPECT_EQ(scribix_->resultAfter(writings), kWritings[writings - 1]);
    EXPECT_EQ(scribix_->resultCount(), writings) << "one result for each writing";
}

TEST_P(WritingIntoWinePrograms, ABlankComesBeforeAWritingAfterALetter) {
    // The field's own text ends in a letter: the writing stands apart from it.
    ASSERT_TRUE(program_->setText(L"say"));
    ASSERT_TRUE(writeAndExpect("hello", L"say hello "));
}

TEST_P(WritingIntoWinePrograms, GesturesBetweenWritingsEditTheField) {
    ASSERT_TRUE(writeAndExpect("hello", L"hello "));
    // A clean undo step in the field, as after the user's own editing.
    ASSERT_TRUE(program_->setText(L"hello "));
    ASSERT_TRUE(writeAndExpect("world", L"hello world "));

    size_t results = scribix_->resultCount();
    ASSERT_TRUE(drawUndo(gestureX(), gestureY()));
    ASSERT_TRUE(expectField(L"hello ", ++results, "after the undo gesture"));
    EXPECT_EQ(scribix_->resultAfter(results), "hello") << "the previous result is current again";

    ASSERT_TRUE(drawBackspace(gestureX(), gestureY()));
    ASSERT_TRUE(expectField(L"hello", ++results, "after the backspace gesture"));
    ASSERT_TRUE(drawSpace(gestureX(), gestureY()));
    ASSERT_TRUE(expectField(L"hello ", ++results, "after the space gesture"));

    ASSERT_TRUE(writeAndExpect("again", L"hello again "));
}

TEST_P(WritingIntoWinePrograms, FocusGoesToAnotherWindowAndBack) {
    ASSERT_TRUE(writeAndExpect("hello", L"hello "));

    targets::TargetProcess other(targets::TargetKind::Edit);
    ASSERT_TRUE(other.ok()) << other.error();
    ASSERT_TRUE(other.activate());
    ASSERT_TRUE(sxtest::pumpUntil([&] { return hookFocusWindow() == other.control(); }, 5000));
    // Written over the other window's field, the text goes there.
    RECT otherField;
    GetWindowRect(other.control(), &otherField);
    const size_t before = scribix_->resultCount();
    ASSERT_TRUE(writeWithPen("world", otherField.left + 10, otherField.top + 40));
    EXPECT_TRUE(other.waitForText(L"world ", kWaitNextStroke + kDeliveryMs))
        << "the other field holds \"" << narrow(other.text()) << "\"";
    scribix_->resultAfter(before + 1);

    ASSERT_TRUE(program_->activate());
    ASSERT_TRUE(sxtest::pumpUntil([&] { return hookFocusWindow() == program_->field(); }, 5000));
    ASSERT_TRUE(writeAndExpect("again", L"hello again "));
    EXPECT_EQ(other.text(), L"world ") << "nothing more reached the other window";
}

TEST_P(WritingIntoWinePrograms, AWritingDuringTheDeliveryOfTheLastArrivesAfterIt) {
    ASSERT_TRUE(writeWithPen("hello", left(), baseline()));
    // The first writing's text has been typed, and its delivery goes on (the
    // field settles, the result is made current): the second starts now.
    ASSERT_TRUE(sxtest::pumpUntil([&] { return program_->text() == L"hello "; },
                                  kWaitNextStroke + kDeliveryMs))
        << "the field holds \"" << narrow(program_->text()) << "\"";
    ASSERT_EQ(scribix_->resultCount(), 0u) << "the first delivery was over already";
    ASSERT_TRUE(writeWithPen("world", left(), baseline() + 40));
    ASSERT_TRUE(expectField(L"hello world ", 2, "after two writings in quick succession"));
    EXPECT_EQ(scribix_->resultAfter(2), "world") << "the second writing came last";
    EXPECT_EQ(scribix_->resultCount(), 2u) << "two writings, two results";
}

INSTANTIATE_TEST_SUITE_P(WineTargets, WritingIntoWinePrograms,
                         ::testing::Values(Setting{&kNotepad, true}, Setting{&kNotepad, false},
                                           Setting{&kWordpad, true}, Setting{&kWordpad, false}),
                         settingName);

}  // namespace
