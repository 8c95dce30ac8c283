// The main road over programs that no one here wrote: Wine's own notepad (a
// plain edit) and wordpad (a rich edit that serves no object model), opened
// before Scribix starts and after it, as a user has them. The pen is the X
// server's own pointer moved by xdotool along the handwriting generator's
// strokes; what the field holds is read from outside with WM_GETTEXT, and
// every check fails on the first wrong text with the text it found.
//
// The tests of one setting write on, one after the other, into the same
// running program and Scribix, as a user does (each starts from an empty
// field); a test that fails ends them, and the next starts afresh. The
// build runs each setting as a test of its own (a filter on its name).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "tests/ink/WritingTestSupport.h"
#include "tests/targets/TargetClient.h"

namespace {

using namespace writingtest;

// The program's wait for the next stroke, set for the run: short, so that
// twenty writings stay quick, and long enough for the generator's pauses
// between the strokes of a word even when a stroke waits on a busy machine
// for the program's answer to its press (a shorter wait splits the writing).
constexpr int kWaitNextStroke = 1200;
// The pen's pace: a point every so many milliseconds. Each pointer event goes
// through the system's low-level hooks before the next is read; on a busy
// machine a faster pen has its moves merged, and the writing reads otherwise
// (a point every 10 ms misread a writing in most runs on a machine running
// both Windows trees' tests at once).
constexpr int kPointMs = 16;
// The pen moves at least this many pixels between points: a brisk hand, at
// half the events of the generator's every pixel.
constexpr int kMinStep = 2;
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

// Scribix and the program, started in the setting's order, kept for the
// setting's next test while the tests pass.
struct Session {
    Setting setting;
    std::unique_ptr<RunningScribix> scribix;
    std::unique_ptr<WineProgram> program;

    bool serves(const Setting& wanted) const {
        return setting.program == wanted.program &&
               setting.openBeforeScribix == wanted.openBeforeScribix;
    }
    // Scribix is closed first, as a user closes it; the program is ended after.
    void end(bool report) {
        if (scribix) scribix->stop(report);
        scribix.reset();
        program.reset();
    }
};
std::unique_ptr<Session> session;

// No word-list menu after a writing: it opens where the pen was, which is
// where the next writing starts, and a writing that begins before it comes up
// has its later strokes land on it (the menu has its own tests). The run
// leaves the setting as it found it.
void showWordMenus(bool show) {
    const std::wstring previous = settingsRootKey();
    setSettingsRootKey(nullptr);
    const int autoShow = show ? 2 : 0;
    WriteSetting(L"WordListBar", L"autoShow", &autoShow, SETTING_NUMBER, 0);
    setSettingsRootKey(previous.c_str());
}

// The last session ends with the run, as a user closes Scribix.
class EndTheLastSession : public ::testing::Environment {
  public:
    void TearDown() override {
        if (session) session->end(false);
        session.reset();
        showWordMenus(true);
    }
};
const auto* const endTheLastSession = ::testing::AddGlobalTestEnvironment(new EndTheLastSession);

class WritingIntoWinePrograms : public ::testing::TestWithParam<Setting> {
  protected:
    void SetUp() override {
        if (session && !session->serves(GetParam())) {
            session->end(false);
            session.reset();
        }
        if (!session) {
            session = std::make_unique<Session>();
            session->setting = GetParam();
            session->scribix = std::make_unique<RunningScribix>(kWaitNextStroke);
            showWordMenus(false);
            if (GetParam().openBeforeScribix) {
                openProgram();
                if (HasFatalFailure()) return;
                ASSERT_TRUE(session->scribix->start());
            } else {
                ASSERT_TRUE(session->scribix->start());
                openProgram();
                if (HasFatalFailure()) return;
            }
        } else {
            // Where the last test left off: the field emptied, the program in front.
            ASSERT_TRUE(session->program->setText(L""));
            ASSERT_TRUE(session->program->activate()) << "the program did not come to the front";
        }
        scribix_ = session->scribix.get();
        program_ = session->program.get();
        ASSERT_TRUE(
            sxtest::pumpUntil([&] { return hookFocusWindow() == program_->field(); }, 10000))
            << "the hook library does not know the focused field: it holds " << hookFocusWindow()
            << " (" << narrow(targets::classNameOf(hookFocusWindow())) << "), the field is "
            << program_->field();
        GetWindowRect(program_->field(), &field_);
        resultsBefore_ = scribix_->resultCount();
    }

    void TearDown() override {
        // What a failed test leaves is no start for the next one.
        if (HasFailure() && session) {
            session->end(true);
            session.reset();
        }
    }

    void openProgram() {
        session->program = std::make_unique<WineProgram>(*GetParam().program);
        ASSERT_TRUE(session->program->ok()) << session->program->error();
        ASSERT_TRUE(session->program->activate()) << "the program did not come to the front";
    }

    // Where a writing starts: inside the field, near its top left.
    int left() const { return field_.left + 20; }
    int baseline() const { return field_.top + 45; }
    // Where gestures are drawn: inside the field, right of the writing.
    int gestureX() const { return field_.left + 260; }
    int gestureY() const { return field_.top + 30; }

    // Writes `text`; the field must then hold `head`, the program's result for
    // the writing and a blank, and the result must be the writing, but for one
    // letter that the recognizer may read as another (a writing that lost
    // strokes or points reads very differently). The result goes to `read`.
    ::testing::AssertionResult writeAndExpect(const std::string& text, const std::wstring& head,
                                              std::wstring* read = nullptr) {
        const size_t results = scribix_->resultCount() + 1;
        if (!writeWithPen(text, left(), baseline(), 3, kPointMs, kMinStep))
            return ::testing::AssertionFailure() << "xdotool could not write \"" << text << "\"";
        const std::string result = scribix_->resultAfter(results, kWaitNextStroke + kDeliveryMs);
        if (!readAsWritten(result, text))
            return ::testing::AssertionFailure()
                   << "the writing \"" << text << "\" was read as \"" << result
                   << "\"; the field holds \"" << narrow(program_->text()) << "\"";
        const std::wstring wide(result.begin(), result.end());
        if (read) *read = wide;
        return expectField(head + wide + L" ", results, "after writing \"" + text + "\"");
    }
    ::testing::AssertionResult expectField(const std::wstring& expected, size_t results,
                                           const std::string& when) {
        sxtest::pumpUntil([&] { return program_->text() == expected; },
                          kWaitNextStroke + kDeliveryMs);
        // The delivery ends with its trace, after the text: the next writing
        // is counted from there.
        scribix_->resultAfter(results, kDeliveryMs);
        const std::wstring found = program_->text();
        if (found != expected)
            return ::testing::AssertionFailure()
                   << when << ": the field holds \"" << narrow(found) << "\", not \""
                   << narrow(expected) << "\" (the program's last result \""
                   << scribix_->resultAfter(results, 0) << "\")";
        return ::testing::AssertionSuccess();
    }
    static bool readAsWritten(const std::string& result, const std::string& written) {
        if (result.size() != written.size()) return false;
        int differ = 0;
        for (size_t i = 0; i < result.size(); ++i) differ += result[i] != written[i];
        return differ <= 1;
    }

    RunningScribix* scribix_ = nullptr;
    WineProgram* program_ = nullptr;
    RECT field_ = {};
    // The program's results before this test.
    size_t resultsBefore_ = 0;
};

// Words and short phrases of the generator's hand, one writing each.
const char* const kWritings[] = {
    "hello", "world",     "pen",      "input", "the quick", "brown fox", "jumps",
    "over",  "lazy dogs", "every",    "time",  "green tea", "paper",     "notes",
    "house", "music",     "and more", "words", "again",     "done",
};

TEST_P(WritingIntoWinePrograms, TwentyWritingsInARowArriveWholeWithTheBlanksBetween) {
    std::wstring field;
    for (const char* writing : kWritings) {
        // Each writing follows the blank typed after the one before.
        std::wstring read;
        ASSERT_TRUE(writeAndExpect(writing, field, &read));
        field += read + L" ";
    }
    const size_t writings = sizeof kWritings / sizeof kWritings[0];
    EXPECT_EQ(scribix_->resultCount() - resultsBefore_, writings) << "one result for each writing";
}

TEST_P(WritingIntoWinePrograms, ABlankComesBeforeAWritingAfterALetter) {
    // The field's own text ends in a letter: the writing stands apart from it.
    ASSERT_TRUE(program_->setText(L"say"));
    ASSERT_TRUE(writeAndExpect("hello", L"say "));
}

TEST_P(WritingIntoWinePrograms, GesturesBetweenWritingsEditTheField) {
    std::wstring first, second;
    ASSERT_TRUE(writeAndExpect("hello", L"", &first));
    // A clean undo step in the field, as after the user's own editing.
    ASSERT_TRUE(program_->setText(first + L" "));
    ASSERT_TRUE(writeAndExpect("world", first + L" ", &second));

    size_t results = scribix_->resultCount();
    ASSERT_TRUE(drawUndo(gestureX(), gestureY()));
    ASSERT_TRUE(expectField(first + L" ", ++results, "after the undo gesture"));
    EXPECT_EQ(scribix_->resultAfter(results), narrow(first))
        << "the previous result is current again";

    ASSERT_TRUE(drawBackspace(gestureX(), gestureY()));
    ASSERT_TRUE(expectField(first, ++results, "after the backspace gesture"));
    ASSERT_TRUE(drawSpace(gestureX(), gestureY()));
    ASSERT_TRUE(expectField(first + L" ", ++results, "after the space gesture"));

    ASSERT_TRUE(writeAndExpect("again", first + L" "));
}

TEST_P(WritingIntoWinePrograms, FocusGoesToAnotherWindowAndBack) {
    std::wstring first;
    ASSERT_TRUE(writeAndExpect("hello", L"", &first));

    targets::TargetProcess other(targets::TargetKind::Edit);
    ASSERT_TRUE(other.ok()) << other.error();
    ASSERT_TRUE(other.activate());
    ASSERT_TRUE(sxtest::pumpUntil([&] { return hookFocusWindow() == other.control(); }, 5000));
    // Written over the other window's field, the text goes there.
    RECT otherField;
    GetWindowRect(other.control(), &otherField);
    const size_t results = scribix_->resultCount() + 1;
    ASSERT_TRUE(writeWithPen("world", otherField.left + 10, otherField.top + 40, 3, kPointMs,
                             kMinStep));
    const std::string there = scribix_->resultAfter(results, kWaitNextStroke + kDeliveryMs);
    const std::wstring otherText(there.begin(), there.end());
    EXPECT_TRUE(other.waitForText(otherText + L" ", kDeliveryMs))
        << "the other field holds \"" << narrow(other.text()) << "\"";
    EXPECT_EQ(program_->text(), first + L" ") << "nothing of it reached the program's field";

    // Back in front, the program's field is the target again (whether or not
    // its return raised a focus event).
    ASSERT_TRUE(program_->activate());
    ASSERT_TRUE(writeAndExpect("again", first + L" "));
    EXPECT_EQ(other.text(), otherText + L" ") << "nothing more reached the other window";
}

TEST_P(WritingIntoWinePrograms, AWritingDuringTheDeliveryOfTheLastArrivesAfterIt) {
    ASSERT_TRUE(writeWithPen("hello", left(), baseline(), 3, kPointMs, kMinStep));
    // The first writing's text has been typed, and its delivery goes on (the
    // field settles, the result is made current): the second starts now.
    ASSERT_TRUE(sxtest::pumpUntil(
        [&] {
            const std::wstring text = program_->text();
            return text.size() > 1 && text.back() == L' ';
        },
        kWaitNextStroke + kDeliveryMs))
        << "the field holds \"" << narrow(program_->text()) << "\"";
    ASSERT_EQ(scribix_->resultCount(), resultsBefore_) << "the first delivery was over already";
    ASSERT_TRUE(writeWithPen("world", left(), baseline() + 40, 3, kPointMs, kMinStep));

    const size_t two = resultsBefore_ + 2;
    const std::string second = scribix_->resultAfter(two, kWaitNextStroke + kDeliveryMs);
    const std::vector<std::string> lines = scribix_->trace().lines();
    std::vector<std::string> results;
    for (const std::string& line : lines)
        if (line.rfind(kResultTrace, 0) == 0) results.push_back(line);
    results.erase(results.begin(), results.begin() + std::min(resultsBefore_, results.size()));
    ASSERT_EQ(results.size(), 2u) << "two writings, two results (the second: " << second << ")";
    const std::string first = results[0].substr(
        sizeof kResultTrace, results[0].find('"', sizeof kResultTrace) - sizeof kResultTrace);
    EXPECT_TRUE(readAsWritten(first, "hello")) << "the first result: " << first;
    EXPECT_TRUE(readAsWritten(second, "world")) << "the second result came last: " << second;
    const std::wstring expected = std::wstring(first.begin(), first.end()) + L" " +
                                  std::wstring(second.begin(), second.end()) + L" ";
    ASSERT_TRUE(expectField(expected, two, "after two writings in quick succession"));
}

// The windows of process `pid` of class `className` shown on the screen (the
// program keeps some of its bars shown far off the screen).
std::vector<HWND> shownWindowsOf(DWORD pid, const wchar_t* className) {
    std::vector<HWND> shown;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, className, nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        RECT r;
        if (owner == pid && IsWindowVisible(window) && GetWindowRect(window, &r) && r.left >= 0 &&
            r.top >= 0)
            shown.push_back(window);
    }
    return shown;
}

// One such window that is not among `known`, or null.
HWND newWindowOf(DWORD pid, const wchar_t* className, const std::vector<HWND>& known = {}) {
    for (HWND window : shownWindowsOf(pid, className))
        if (std::find(known.begin(), known.end(), window) == known.end()) return window;
    return nullptr;
}

::testing::AssertionResult clickAt(POINT at) {
    std::string output;
    const DWORD start = GetTickCount();
    if (hostshell::run("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) +
                           " sleep 0.2 click 1",
                       10000, &output))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "xdotool did not click at " << at.x << "," << at.y
                                         << " (" << GetTickCount() - start << " ms): " << output;
}

std::string codesOf(const std::wstring& text) {
    std::string out;
    char code[8];
    for (wchar_t c : text) {
        snprintf(code, sizeof code, " %04X", static_cast<unsigned>(c));
        out += code;
    }
    return out;
}

TEST_P(WritingIntoWinePrograms, TheEuroSignPickedOnThePunctuationBarArrivesAsTheEuroSign) {
    ASSERT_TRUE(program_->setText(L"price "));
    ASSERT_TRUE(program_->activate());
    const DWORD pid = scribix_->trace().pid();
    // The main bar's third button asks for the punctuation bar.
    HWND mainBar = nullptr;
    ASSERT_TRUE(sxtest::pumpUntil(
        [&] { return (mainBar = newWindowOf(pid, L"ScribixFloatingBarWndClass")); }, 5000))
        << "no main bar";
    RECT r;
    GetWindowRect(mainBar, &r);
    // The bars shown before (the word menu of the last writing, say) are not it.
    const std::vector<HWND> before = shownWindowsOf(pid, L"VexaInkServiceMenuBarWndClass");
    ASSERT_TRUE(clickAt(POINT{r.left + 5 + 2 * 32 + 16, r.top + 5 + 16}));
    HWND punctuation = nullptr;
    ASSERT_TRUE(sxtest::pumpUntil(
        [&] { return (punctuation = newWindowOf(pid, L"VexaInkServiceMenuBarWndClass", before)); },
        5000))
        << "no punctuation bar";
    sxtest::pumpUntil([] { return false; }, 500);  // the bar has settled
    // The euro key: row 3, column 5 of the keypad (the bar answers 128 for it).
    GetWindowRect(punctuation, &r);
    ASSERT_TRUE(clickAt(POINT{r.left + 5 * 31 + 18, r.top + 3 * 27 + 15}));
    const std::wstring expected = L"price \u20AC";
    sxtest::pumpUntil([&] { return program_->text() == expected; }, kDeliveryMs);
    EXPECT_EQ(program_->text(), expected) << "the field holds" << codesOf(program_->text());
}

INSTANTIATE_TEST_SUITE_P(WineTargets, WritingIntoWinePrograms,
                         ::testing::Values(Setting{&kNotepad, true}, Setting{&kNotepad, false},
                                           Setting{&kWordpad, true}, Setting{&kWordpad, false}),
                         settingName);

}  // namespace
