// Scribix closed in the middle of everything, end to end on the X display:
// the staged program is brought into one state after another from outside
// (the command message, the service window's own messages, xdotool on its
// bars and menus, handwriting over our edit target) and closed there, once by
// its main menu's "Close Scribix" and once by WM_CLOSE posted to its service
// window, as a log-off does. Each time it must end within 5 s with its normal
// status, leave no process behind, report no heap damage and no window object
// used off its thread, and leave the settings and files it had saved before
// as they were.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "resources/SettingsResources.h"
#include "tests/ink/WritingTestSupport.h"
#include "tests/shell/CheckedRun.h"
#include "tests/shell/LoopbackHttp.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/HostShell.h"
#include "tests/support/TempDir.h"
#include "tests/targets/TargetClient.h"
#include "ui/bars/BarFramework.h"
#include "ui/bars/FloatingBar.h"

namespace {

using namespace writingtest;
using namespace checkedrun;

constexpr DWORD kCloseMs = 5000;
constexpr DWORD kStateMs = 10000;
constexpr char kItemTrace[] = "WordMenuBar item ";

// Controls of the settings pages and the macro editor.
constexpr int kRecoNew = 3096;
constexpr int kMacrosNew = 3058;
constexpr int kMacroRecord = 3;

// The program's settings of the run: no splash and no automatic update
// check, the main bar as the cases click it, the word-list menu shown after
// each writing with its letter guesser, the update site on the loopback, and
// a pen of its own colour, so that settings written back from anything but
// what was read show.
void writeSettingsOfTheRun(const std::wstring& updateSite) {
    sxtest::prepareProgramSettings(0);
    const std::wstring previous = settingsRootKey();
    setSettingsRootKey(nullptr);
    writeSystemClientSetting(L"waitNextStrokeTimeout", 1000);
    writeSystemClientSetting(L"waitGestureEndTimeout", 600);
    const struct {
        const wchar_t* name;
        int value;
    } menu[] = {{L"autoShow", 2},
                {L"autoExpandSubmenu", 1},
                {L"useLetterGuesser", 1},
                {L"acceptMenuMode", 0},
                {L"fadingPeriod", 0}};
    for (const auto& v : menu) WriteSetting(L"WordListBar", v.name, &v.value, SETTING_NUMBER, 0);
    // The main bar small and across with its five buttons, never sliding away.
    const struct {
        const wchar_t* name;
        int value;
    } bar[] = {{L"buttons", 0x37}, {L"sizeMode", 1},  {L"layoutMode", 1},
               {L"autoHide", 0},   {L"lastLarge", 0}, {L"lastVertical", 0}};
    for (const auto& v : bar) WriteSetting(L"ToolBar", v.name, &v.value, SETTING_NUMBER, 0);
    const COLORREF colour = RGB(12, 34, 56);
    const int width = 5;
    WriteSetting(nullptr, L"PenColor", &colour, SETTING_COLOR, 0);
    WriteSetting(nullptr, L"PenWidth", &width, SETTING_NUMBER, 0);
    WriteSetting(nullptr, L"UpgURL", updateSite.c_str(), SETTING_STRING, 0);
    setSettingsRootKey(previous.c_str());
}

// A macro file of the user's, which the program reads at start and must
// never write unasked.
const char kMacros[] =
    "<macroses>\r\n"
    "\t<macro description=\"Signature\" name=\"sig\" type=\"keystroke\">Best "
    "regards,{Enter}Ann</macro>\r\n"
    "</macroses>\r\n";

enum class Way { Menu, Message };

class CloseAnytime;
using Reach = ::testing::AssertionResult (CloseAnytime::*)();

struct Case {
    const char* name;
    bool target;  // our edit target in front, with the focus
    Reach reach;
};

class CloseAnytime : public ::testing::TestWithParam<std::tuple<size_t, Way>> {
  public:
    static void SetUpTestSuite() {
        site_ = new LoopbackHttp;
        LoopbackHttp::Response silent;
        silent.body = "<update action=\"Latest\"/>";
        silent.delayMs = 60000;  // a site that never answers in time
        site_->respond(silent);
        canvasLog_ = new TempDir;
        SetEnvironmentVariableW(L"ZVFATINK_LOG", canvasLog_->file(L"fatink.log").c_str());
        staged_ = new StagedProgram;
        writeSettingsOfTheRun(site_->url(L"/upgrades"));
        macros_ = new ProgramMacroFile(kMacros);
        // A first run leaves what every start and ordinary end writes (the
        // profiles and binding files, the bars' places: the markup bar takes
        // the main bar's on its way in); the cases start from it.
        if (!staged_->ok()) return;
        CheckedProgram first(*staged_);
        if (HWND service = first.waitUntilReady(kStartMs)) {
            settle(kSettleMs);
            for (int on : {1, 0}) {
                sxtest::sendCommand(service, 2, on);
                sxtest::pumpUntil(
                    [&] { return (sxtest::sendCommand(service, 4, 0) & 2) == on * 2; }, kStateMs);
                settle(600);
            }
            PostMessageW(service, WM_CLOSE, 0, 0);
        }
        first.trace().waitForExit(15000);
    }
    static void TearDownTestSuite() {
        delete macros_;
        delete staged_;
        delete canvasLog_;
        delete site_;
        SetEnvironmentVariableW(L"ZVFATINK_LOG", nullptr);
    }

    // The states, each reached from outside as a user or another program would.
    ::testing::AssertionResult clippingTool();
    ::testing::AssertionResult clippingToolMidDrag();
    ::testing::AssertionResult bindingPanelMenu();
    ::testing::AssertionResult wordListLetterGuesses();
    ::testing::AssertionResult punctuationBar();
    ::testing::AssertionResult settingsProfileEditor();
    ::testing::AssertionResult settingsMacroRecording();
    ::testing::AssertionResult toolbarCustomization();
    ::testing::AssertionResult markupWithInk();
    ::testing::AssertionResult updateCheckOnASilentSite();

    static const std::vector<Case>& cases();

  protected:
    void SetUp() override {
        // Nothing of an earlier instance may write while the settings are taken.
        ASSERT_TRUE(sxtest::waitForNoServiceWindow(5000)) << "an instance is left from before";
        settingsBefore_ = checkedrun::registryTree(checkedrun::kSettingsKey);
        filesBefore_ = checkedrun::folderTree(checkedrun::programDataFolder());
        requestsBefore_ = site_->requests().size();
        DeleteFileW(canvasLog_->file(L"fatink.log").c_str());
        ASSERT_TRUE(startChecked(*staged_, program_, &service_));
        if (kase().target) {
            ASSERT_TRUE(openFocusedEdit(target_, &field_));
        }
    }

    void TearDown() override {
        // A drag left held, or a menu of a program that did not end.
        hostshell::run("xdotool mouseup 1 mousemove 5 5", 5000);
        if (program_ && program_->trace().running()) {
            program_->trace().kill();
            ADD_FAILURE() << "the program was still running and was killed";
        }
        if (HasFailure() && program_) program_->report();
        program_.reset();
        target_.reset();
    }

    const Case& kase() const { return cases()[std::get<0>(GetParam())]; }
    Way way() const { return std::get<1>(GetParam()); }
    DWORD pid() const { return program_->pid(); }
    LRESULT state() { return sxtest::sendCommand(service_, 4, 0); }
    bool markupOn() {
        const LRESULT s = state();
        return s != -1 && (s & 2) != 0;
    }

    bool chooseFromMainMenu(int up, int variant) {
        return checkedrun::chooseFromMainMenu(service_, pid(), up, variant);
    }

    // The settings dialog opened on a page (by its title's string id), and a
    // button of that page.
    ::testing::AssertionResult settingsPageButton(UINT page, int id, HWND* button) {
        PostMessageW(service_, WM_INK_OPEN_SETTINGS, page, 0);
        if (!sxtest::pumpUntil(
                [&] {
                    HWND dialog = windowOf(pid(), L"#32770", L"Scribix Settings");
                    *button = dialog ? controlOf(dialog, id) : nullptr;
                    return *button != nullptr;
                },
                kStateMs))
            return ::testing::AssertionFailure()
                   << "the settings dialog did not open on page " << page;
        settle(300);
        return ::testing::AssertionSuccess();
    }

    ::testing::AssertionResult enterMarkup() {
        sxtest::sendCommand(service_, 2, 1);
        if (!sxtest::pumpUntil(
                [&] { return markupOn() && windowOf(pid(), L"ScribixMarkupCtrlWndClass"); },
                kStateMs))
            return ::testing::AssertionFailure() << "markup mode did not start";
        settle(600);  // the bar's slide-in is over
        return ::testing::AssertionSuccess();
    }

    std::string canvasLog() { return sxtest::readFile(canvasLog_->file(L"fatink.log")); }

    // A text setting that the state's own end writes, as it is expected after the close.
    void expectSetting(const wchar_t* group, const wchar_t* name, const std::wstring& text) {
        const std::wstring value =
            std::wstring(checkedrun::kSettingsKey) + L"\\" + group + L"\\" + name;
        const std::string bytes(reinterpret_cast<const char*>(text.c_str()),
                                (text.size() + 1) * sizeof(wchar_t));
        settingsBefore_[value] = std::to_string(REG_SZ) + ":" + bytes;
    }

    static StagedProgram* staged_;
    static LoopbackHttp* site_;
    static TempDir* canvasLog_;
    static ProgramMacroFile* macros_;

    std::unique_ptr<CheckedProgram> program_;
    std::unique_ptr<targets::TargetProcess> target_;
    HWND service_ = nullptr;
    RECT field_ = {};
    checkedrun::Tree settingsBefore_, filesBefore_;
    size_t requestsBefore_ = 0;
};

StagedProgram* CloseAnytime::staged_ = nullptr;
LoopbackHttp* CloseAnytime::site_ = nullptr;
TempDir* CloseAnytime::canvasLog_ = nullptr;
ProgramMacroFile* CloseAnytime::macros_ = nullptr;

::testing::AssertionResult CloseAnytime::clippingTool() {
    if (auto entered = enterMarkup(); !entered) return entered;
    sxtest::sendCommand(service_, 10, 0);
    if (!sxtest::pumpUntil([&] { return windowOf(pid(), L"sxScreenCaptureCtrl"); }, kStateMs))
        return ::testing::AssertionFailure() << "no clipping tool";
    settle(300);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CloseAnytime::clippingToolMidDrag() {
    if (auto open = clippingTool(); !open) return open;
    // The button stays down: the tool holds the mouse and draws the selection.
    if (!xdotool("mousemove 300 300 sleep 0.1 mousedown 1 mousemove 340 330 sleep 0.05 "
                 "mousemove 420 390 sleep 0.05 mousemove 480 430"))
        return ::testing::AssertionFailure() << "the drag did not start";
    settle(300);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CloseAnytime::bindingPanelMenu() {
    sxtest::sendCommand(service_, 3, 1);
    HWND panel = nullptr;
    if (!sxtest::pumpUntil(
            [&] {
                panel = windowOf(pid(), BAR_WINDOW_CLASS, L"Scribix");
                return panel && (state() & 4) != 0;
            },
            kStateMs))
        return ::testing::AssertionFailure() << "no binding panel";
    settle(500);
    // Its "Application" button, in the middle of the panel's third quarter.
    const RECT r = rectOf(panel);
    if (!xdotool("mousemove " + at({r.left + 121, r.top + 15}) + " sleep 0.2 click 1"))
        return ::testing::AssertionFailure();
    if (!sxtest::pumpUntil([&] { return windowOf(pid(), BAR_WINDOW_CLASS, L"PureTextMenu"); },
                           kStateMs))
        return ::testing::AssertionFailure() << "the application menu did not open";
    settle(300);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CloseAnytime::wordListLetterGuesses() {
    if (!writeWithPen("hello", field_.left + 20, field_.top + 60))
        return ::testing::AssertionFailure() << "the writing failed";
    // The menu's first word as the program laid it out.
    RECT word = {};
    HWND menu = nullptr;
    const bool shown = sxtest::pumpUntil(
        [&] {
            menu = windowOf(pid(), BAR_WINDOW_CLASS, L"WordMenuBar");
            for (const std::string& line : program_->trace().lines()) {
                unsigned id = 0;
                char text[128] = {};
                int l, t, r, b;
                if (line.rfind(kItemTrace, 0) == 0 &&
                    std::sscanf(line.c_str() + sizeof kItemTrace - 1,
                                "%u \"%127[^\"]\" at %d,%d,%d,%d", &id, text, &l, &t, &r,
                                &b) == 6 &&
                    id == 0)
                    word = RECT{l, t, r, b};
            }
            return menu && word.right > word.left;
        },
        8000);
    if (!shown) return ::testing::AssertionFailure() << "no word-list menu after the writing";
    settle(500);
    // Whatever closes the menu, it keeps its place for the next one.
    const RECT place = rectOf(menu);
    expectSetting(L"WordListBar", L"customMenuPosition",
                  std::to_wstring(place.left) + L"," + std::to_wstring(place.top));
    // A tap on its second letter opens the letter's guesses.
    const int letter = (word.right - word.left) / 5;
    const POINT tap = {word.left + letter + letter / 2, (word.top + word.bottom) / 2};
    if (!xdotool("mousemove " + at(tap) + " sleep 0.2 click 1 sleep 0.2 mousemove 5 5"))
        return ::testing::AssertionFailure();
    if (!sxtest::pumpUntil([&] { return windowOf(pid(), BAR_WINDOW_CLASS, L"PureTextMenu"); },
                           kStateMs))
        return ::testing::AssertionFailure() << "the letter-guess menu did not open";
    settle(300);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CloseAnytime::punctuationBar() {
    HWND bar = nullptr;
    if (!sxtest::pumpUntil(
            [&] {
                bar = windowOf(pid(), FLOATING_BAR_CLASS);
                return bar != nullptr;
            },
            kStateMs))
        return ::testing::AssertionFailure() << "no main bar";
    // Its third button (pen, markup, punctuation), pointed at first: a bar
    // that slid to the screen's edge comes back under the pointer. A click
    // that the bar did not take as its button's is given again.
    auto button = [&] {
        const RECT r = rectOf(bar);
        return POINT{r.left + 5 + 2 * 32 + 16, r.top + 5 + 16};
    };
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!xdotool("mousemove " + at(button()) + " sleep 0.5")) break;
        if (!xdotool("mousemove " + at(button()) + " sleep 0.2 click 1")) break;
        if (sxtest::pumpUntil([&] { return windowOf(pid(), BAR_WINDOW_CLASS, L"Scribix"); },
                              3000)) {
            settle(300);
            return ::testing::AssertionSuccess();
        }
    }
    return ::testing::AssertionFailure() << "the punctuation bar did not open";
}

::testing::AssertionResult CloseAnytime::settingsProfileEditor() {
    HWND button = nullptr;
    if (auto open = settingsPageButton(IDS_TAB_RECO, kRecoNew, &button); !open) return open;
    pressButton(button);
    // A new profile's editor says so in its title.
    if (!sxtest::pumpUntil([&] { return windowOf(pid(), L"#32770", L"New Profile"); }, kStateMs))
        return ::testing::AssertionFailure() << "the profile editor did not open";
    settle(300);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CloseAnytime::settingsMacroRecording() {
    HWND button = nullptr;
    if (auto open = settingsPageButton(IDS_TAB_MACROS, kMacrosNew, &button); !open) return open;
    pressButton(button);
    HWND editor = nullptr, record = nullptr;
    if (!sxtest::pumpUntil(
            [&] {
                editor = windowOf(pid(), L"#32770", L"Edit Macro");
                record = editor ? GetDlgItem(editor, kMacroRecord) : nullptr;
                return record != nullptr;
            },
            kStateMs))
        return ::testing::AssertionFailure() << "the macro editor did not open";
    settle(300);
    pressButton(record);
    if (!sxtest::pumpUntil(
            [&] {
                wchar_t text[32] = {};
                GetWindowTextW(record, text, 32);
                return wcscmp(text, L"Stop record") == 0;
            },
            kStateMs))
        return ::testing::AssertionFailure() << "the macro editor did not start recording";
    settle(300);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CloseAnytime::toolbarCustomization() {
    if (!chooseFromMainMenu(kMenuCustomize, 1)) return ::testing::AssertionFailure() << "no menu";
    if (!sxtest::pumpUntil([&] { return windowOf(pid(), L"#32770", L"Customize toolbar"); },
                           kStateMs))
        return ::testing::AssertionFailure() << "the customization dialog did not open";
    settle(300);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CloseAnytime::markupWithInk() {
    if (auto entered = enterMarkup(); !entered) return entered;
    if (!xdotool("mousemove 700 600 mousedown 1 mousemove 760 640 mousemove 820 610 "
                 "mousemove 880 660 mouseup 1"))
        return ::testing::AssertionFailure();
    if (!sxtest::pumpUntil([&] { return canvasLog().find("strokes 1\n") != std::string::npos; },
                           kStateMs))
        return ::testing::AssertionFailure() << "no ink on the canvas:\n" << canvasLog();
    settle(300);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult CloseAnytime::updateCheckOnASilentSite() {
    if (!chooseFromMainMenu(kMenuCheckUpgrade, 1))
        return ::testing::AssertionFailure() << "no menu";
    if (!sxtest::pumpUntil([&] { return site_->requests().size() > requestsBefore_; }, kStateMs))
        return ::testing::AssertionFailure() << "the update site was not asked";
    settle(500);
    return ::testing::AssertionSuccess();
}

const std::vector<Case>& CloseAnytime::cases() {
    static const std::vector<Case> table = {
        {"ClippingTool", false, &CloseAnytime::clippingTool},
        {"ClippingToolMidDrag", false, &CloseAnytime::clippingToolMidDrag},
        {"BindingPanelApplicationMenu", true, &CloseAnytime::bindingPanelMenu},
        {"WordListMenuLetterGuesses", true, &CloseAnytime::wordListLetterGuesses},
        {"PunctuationBar", true, &CloseAnytime::punctuationBar},
        {"SettingsProfileEditor", false, &CloseAnytime::settingsProfileEditor},
        {"SettingsMacroEditorRecording", false, &CloseAnytime::settingsMacroRecording},
        {"ToolbarCustomization", false, &CloseAnytime::toolbarCustomization},
        {"MarkupWithInk", false, &CloseAnytime::markupWithInk},
        {"UpdateCheckOnASilentSite", false, &CloseAnytime::updateCheckOnASilentSite},
    };
    return table;
}

TEST_P(CloseAnytime, EndsPromptlyAndCleanlyKeepingWhatWasSaved) {
    const ::testing::AssertionResult reached = (this->*kase().reach)();
    ASSERT_TRUE(reached) << "the state was not reached";

    DWORD closed = 0;
    if (way() == Way::Menu) {
        // The main menu of the bar in use; its last entry is "&Close Scribix".
        ASSERT_TRUE(chooseFromMainMenu(kMenuClose, markupOn() ? 2 : 1)) << "no main menu";
    } else {
        PostMessageW(service_, WM_CLOSE, 0, 0);
    }
    closed = GetTickCount();
    DWORD status = 0;
    const bool ended = program_->trace().waitForExit(kCloseMs, &status);
    const DWORD took = GetTickCount() - closed;
    EXPECT_TRUE(ended) << "the program still ran " << kCloseMs << " ms after the close";
    if (!ended) {
        ASSERT_TRUE(program_->trace().waitForExit(20000, &status)) << "it never ended";
    }
    RecordProperty("msToEnd", static_cast<int>(took));
    EXPECT_EQ(status, 1u) << "the program's normal exit status";
    EXPECT_TRUE(sxtest::waitUntil([] { return checkedrun::programProcesses().empty(); }, 3000))
        << "a process of the program is left";
    EXPECT_TRUE(sxtest::waitForNoServiceWindow(1000));

    const std::vector<std::string> damage = program_->damage();
    std::string reports;
    for (const std::string& line : damage) reports += "  " + line + "\n";
    EXPECT_TRUE(damage.empty()) << "reports of damage:\n" << reports;

    EXPECT_EQ(checkedrun::differences(settingsBefore_,
                                      checkedrun::registryTree(checkedrun::kSettingsKey)),
              "")
        << "the settings changed";
    EXPECT_EQ(checkedrun::differences(filesBefore_,
                                      checkedrun::folderTree(checkedrun::programDataFolder())),
              "")
        << "the program's files changed";
}

std::string caseName(const ::testing::TestParamInfo<std::tuple<size_t, Way>>& info) {
    return std::string(CloseAnytime::cases()[std::get<0>(info.param)].name) +
           (std::get<1>(info.param) == Way::Menu ? "_ByMenu" : "_ByMessage");
}

INSTANTIATE_TEST_SUITE_P(States, CloseAnytime,
                         ::testing::Combine(::testing::Range<size_t>(0,
                                                                     CloseAnytime::cases().size()),
                                            ::testing::Values(Way::Menu, Way::Message)),
                         caseName);

}  // namespace
