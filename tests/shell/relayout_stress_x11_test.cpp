// A minute of writings over our edit target while the program's UI thread
// lays its bars out again, end to end on the X display: each writing's result
// is delivered from the recognition thread while, from outside, the main bar
// switches between its pen and touch sizes (the hook library's last input
// kind and the tips event that has the bar look at it), the toolbar
// customization dialog applies a new button set over and over, and markup
// mode goes on and off (hiding and showing the main bar). The program must
// type every writing, fault nowhere, report no heap damage and no window
// object used off its thread, and end normally afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "family/Scribix35/Scribix35Area.h"
#include "resources/resource.h"
#include "tests/ink/WritingTestSupport.h"
#include "tests/shell/CheckedRun.h"
#include "tests/support/SharedBlockView.h"
#include "tests/targets/TargetClient.h"
#include "ui/bars/FloatingBar.h"

namespace {

using namespace writingtest;
using namespace checkedrun;

constexpr DWORD kRunMs = 60000;
// Long enough after a writing's last stroke for the customization dialog to
// be open before its result is typed: a dialog that comes up in the middle of
// the typing takes the keys, as it would from a user.
constexpr int kWaitNextStroke = 2000;
const char* const kWords[] = {"hello", "world", "water", "house", "green", "paper"};

// The input kind that the hook library saw last, set as input from a touch
// screen or a mouse leaves it; the main bar takes its size from it.
class LastInputKind {
  public:
    bool ok() const { return block_.get() != nullptr; }
    void set(int32_t kind) {
        auto* area = reinterpret_cast<Scribix35Area*>(block_->_creatorArea);
        InterlockedExchange(reinterpret_cast<volatile LONG*>(&area->lastInputType), kind);
    }

    // The hook library would take a pen-down now as ink (not mouse input for
    // the window under it): neither mouse-transparent nor locked.
    bool inkTaken() const {
        auto* area = reinterpret_cast<const Scribix35Area*>(block_->_creatorArea);
        return area->mouseTransparent == 0 && area->inkingLocked == 0;
    }

  private:
    SharedBlockView block_{true};
};

// What the UI thread is kept busy with while a writing is delivered.
enum class Churn { MarkupToggles, CustomizationApply };

// What the busy thread saw happen, so that the test cannot pass idle.
struct Seen {
    std::atomic<int> sizeChanges{0};  // the main bar's width changed
    std::atomic<int> applies{0};      // Apply pressed in an open customization dialog
    std::atomic<int> markupOn{0};     // markup mode found on
};

class ResultsWhileTheBarsRelayout : public ::testing::Test {
  protected:
    void SetUp() override {
        sxtest::prepareProgramSettings(0);
        writeSystemClientSetting(L"waitNextStrokeTimeout", kWaitNextStroke);
        writeSystemClientSetting(L"waitGestureEndTimeout", 600);
        const std::wstring previous = settingsRootKey();
        setSettingsRootKey(nullptr);
        // No word-list menu: each result is typed and nothing else.
        const int never = 0, followInput = 3, shown = 1, no = 0, fiveButtons = 0x37;
        WriteSetting(L"WordListBar", L"autoShow", &never, SETTING_NUMBER, 0);
        // The main bar small and across, with its five buttons, the size following the input.
        WriteSetting(L"ToolBar", L"sizeMode", &followInput, SETTING_NUMBER, 0);
        WriteSetting(L"ToolBar", L"lastLarge", &no, SETTING_NUMBER, 0);
        WriteSetting(L"ToolBar", L"lastVertical", &no, SETTING_NUMBER, 0);
        WriteSetting(L"ToolBar", L"buttons", &fiveButtons, SETTING_NUMBER, 0);
        WriteSetting(nullptr, L"showToolbar", &shown, SETTING_NUMBER, 0);
        setSettingsRootKey(previous.c_str());
        ASSERT_TRUE(startChecked(staged_, program_, &service_));
        ASSERT_TRUE(openFocusedEdit(target_, &field_));
    }

    void TearDown() override {
        hostshell::run("xdotool keyup shift mouseup 1 mousemove 5 5", 5000);
        if (program_ && program_->trace().running()) program_->trace().kill();
        if (HasFailure() && program_) program_->report();
        program_.reset();
        target_.reset();
        const std::wstring previous = settingsRootKey();
        setSettingsRootKey(nullptr);
        const int autoShow = 2;
        WriteSetting(L"WordListBar", L"autoShow", &autoShow, SETTING_NUMBER, 0);
        setSettingsRootKey(previous.c_str());
    }

    DWORD pid() const { return program_->pid(); }
    bool markupOn() {
        const LRESULT s = sxtest::sendCommand(service_, 4, 0);
        return s != -1 && (s & 2) != 0;
    }
    HWND mainBar() {
        HWND bar = windowOf(pid(), FLOATING_BAR_CLASS);
        wchar_t title[32] = {};
        if (bar) GetWindowTextW(bar, title, 32);
        return bar && wcscmp(title, L"MarkupBar") != 0 ? bar : nullptr;
    }
    HWND customization() { return windowOf(pid(), L"#32770", L"Customize toolbar"); }

    // Markup mode without the snapshot of the screen (the main bar's markup
    // button with Shift held): the toggles then leave the front window, and
    // the typing into it, alone.
    ::testing::AssertionResult enterPlainMarkupOnce() {
        HWND bar = nullptr;
        if (!sxtest::pumpUntil([&] { return (bar = mainBar()) != nullptr; }, 10000))
            return ::testing::AssertionFailure() << "no main bar";
        const RECT r = rectOf(bar);
        if (!xdotool("keydown shift mousemove " + at({r.left + 5 + 32 + 16, r.top + 5 + 16}) +
                     " sleep 0.2 click 1 sleep 0.3 keyup shift mousemove 5 5"))
            return ::testing::AssertionFailure();
        if (!sxtest::pumpUntil([&] { return markupOn(); }, 5000))
            return ::testing::AssertionFailure() << "the markup button did not start markup mode";
        sxtest::sendCommand(service_, 2, 0);
        if (!sxtest::pumpUntil([&] { return !markupOn() && mainBar(); }, 5000))
            return ::testing::AssertionFailure() << "markup mode did not end";
        settle(500);
        return ::testing::AssertionSuccess();
    }

    // Runs on a thread of its own until `stop`: the main bar between its
    // touch and pen sizes every 50 ms, and markup toggles or the customization
    // dialog applying; everything is left as it was at the end.
    void churn(Churn kind, const std::atomic<bool>& stop, Seen& seen) {
        LastInputKind input;
        if (!input.ok()) return;
        bool touch = false, markup = false, applying = false;
        HWND dialog = nullptr;
        DWORD lastToggle = 0;
        LONG width = 0;
        while (!stop) {
            touch = !touch;
            input.set(touch ? SX_INPUT_TOUCH : SX_INPUT_MOUSE);
            PostMessageW(service_, WM_INK_SHOW_TIPS, 0, 0);
            if (HWND bar = mainBar()) {
                const RECT r = rectOf(bar);
                if (width && r.right - r.left != width) ++seen.sizeChanges;
                width = r.right - r.left;
            }
            if (kind == Churn::MarkupToggles && GetTickCount() - lastToggle >= 200) {
                markup = !markup;
                PostMessageW(service_, WM_INK_MARKUP_SWITCH, markup ? 1 : 0, 0);
                lastToggle = GetTickCount();
                if (markupOn()) ++seen.markupOn;
            }
            if (kind == Churn::CustomizationApply && !applying) {
                applying = true;
                if (chooseFromMainMenu(service_, pid(), kMenuCustomize, 1))
                    sxtest::waitUntil([&] { return (dialog = customization()) != nullptr; }, 5000);
            }
            if (dialog && GetTickCount() - lastToggle >= 150) {
                PostMessageW(GetDlgItem(dialog, IDC_CUSTOMIZE_CORRECTION), BM_CLICK, 0, 0);
                pressButton(GetDlgItem(dialog, IDC_CUSTOMIZE_APPLY));
                lastToggle = GetTickCount();
                ++seen.applies;
            }
            Sleep(50);
        }
        input.set(SX_INPUT_MOUSE);
        PostMessageW(service_, WM_INK_SHOW_TIPS, 0, 0);
        if (markup) PostMessageW(service_, WM_INK_MARKUP_SWITCH, 0, 0);
        if (dialog) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        sxtest::waitUntil([&] { return !markupOn() && !customization(); }, 5000);
        Sleep(300);  // out of the dialog's mouse-transparent mode
    }

    StagedProgram staged_;
    std::unique_ptr<CheckedProgram> program_;
    std::unique_ptr<targets::TargetProcess> target_;
    HWND service_ = nullptr;
    RECT field_ = {};
};

TEST_F(ResultsWhileTheBarsRelayout, EveryWritingOfAMinuteIsTypedWithoutAFault) {
    ASSERT_TRUE(enterPlainMarkupOnce());
    std::string typed;
    size_t writings = 0;
    Seen seen;
    const LastInputKind input;
    ASSERT_TRUE(input.ok());
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kRunMs) {
        const std::string word = kWords[writings % (sizeof kWords / sizeof kWords[0])];
        // As a user writes again once what the last churn did is over: the
        // dialog and markup mode gone, the UI thread free to answer the pen
        // (a pen-down it leaves unanswered for half a second is a click).
        ASSERT_TRUE(sxtest::pumpUntil(
            [&] {
                DWORD_PTR answer = 0;
                // The pen on (bit 0), markup mode over (bit 1).
                const LRESULT state = sxtest::sendCommand(service_, 4, 0);
                return input.inkTaken() && state != -1 && (state & 3) == 1 &&
                       SendMessageTimeoutW(service_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 50, &answer);
            },
            5000))
            << "the program does not take ink after writing " << writings;
        settle(100);
        ASSERT_TRUE(writeWithPen(word, field_.left + 20, field_.top + 60));
        ++writings;
        SCOPED_TRACE("writing " + std::to_string(writings) + ", \"" + word + "\"");
        // The UI thread is kept busy from the last stroke on: the result is
        // delivered meanwhile.
        std::atomic<bool> stop{false};
        const Churn kind = writings % 2 ? Churn::MarkupToggles : Churn::CustomizationApply;
        std::thread busy([&] { churn(kind, stop, seen); });
        size_t results = 0;
        sxtest::pumpUntil(
            [&] {
                results = program_->trace().countLinesStartingWith(kResultTrace);
                return results >= writings || !program_->trace().running();
            },
            kWaitNextStroke + 6000);
        std::string result = program_->trace().lastLineStartingWith(kResultTrace);
        if (result.size() > sizeof kResultTrace - 1) result.erase(0, sizeof kResultTrace - 1);
        while (!result.empty() && (result.back() == '\n' || result.back() == '"'))
            result.pop_back();
        if (!result.empty() && result.front() == '"') result.erase(0, 1);
        const std::string expected = typed + result + " ";
        const bool arrived = sxtest::pumpUntil(
            [&] { return narrow(target_->text()) == expected || !program_->trace().running(); },
            5000);
        stop = true;
        busy.join();
        ASSERT_TRUE(program_->trace().running()) << "the program ended";
        ASSERT_EQ(results, writings) << "a writing gave no result";
        ASSERT_TRUE(arrived) << "the field holds \"" << narrow(target_->text()) << "\", not \""
                             << expected << "\"";
        const std::vector<std::string> damage = program_->damage();
        ASSERT_TRUE(damage.empty()) << damage.front();
        typed = expected;
        // The edit in front with the focus, as the user leaves it after a
        // dialog, for the next writing.
        ASSERT_TRUE(target_->activate());
    }
    RecordProperty("writings", static_cast<int>(writings));
    EXPECT_GE(writings, 10u);
    EXPECT_GT(seen.sizeChanges, 0) << "the main bar never changed its size";
    EXPECT_GT(seen.applies, 0) << "the customization dialog never applied";
    EXPECT_GT(seen.markupOn, 0) << "markup mode never went on";
    std::printf(
        "%zu writings; the main bar changed its size %d times; %d applies; markup on "
        "%d times\n",
        writings, seen.sizeChanges.load(), seen.applies.load(), seen.markupOn.load());

    PostMessageW(service_, WM_CLOSE, 0, 0);
    DWORD status = 0;
    EXPECT_TRUE(program_->trace().waitForExit(5000, &status)) << "the program did not end";
    EXPECT_EQ(status, 1u);
    const std::vector<std::string> damage = program_->damage();
    std::string reports;
    for (const std::string& line : damage) reports += "  " + line + "\n";
    EXPECT_TRUE(damage.empty()) << reports;
}

}  // namespace
