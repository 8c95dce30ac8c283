// Handwritten macros: the store ("macro.xml"), the executor libraries named in
// the registry, and the player of the macro text language, which types
// through a recording link and posts to a service window of the test's own.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "RecTestSupport.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "recognition/Macro.h"
#include "recognition/RecMgr.h"
#include "recognition/RecProfile.h"
#include "xml/IxlScribixHelper.h"

namespace {

const HKL kLayout = reinterpret_cast<HKL>(static_cast<UINT_PTR>(0x04090409));

// What the player did, as one string: characters typed with the walk's
// layout as themselves, key-only characters as "~c", other layouts as "!c",
// virtual keys as "[0D]", modifiers as "<Ctrl>" ... "</Ctrl>", strings as
// "«text»" and the program's windows as "(...)".
class RecordingLink : public MacroLink {
  public:
    std::wstring log;
    std::vector<std::wstring> launched;  // file|parameters|folder
    bool launchSucceeds = true;
    HANDLE lastProcess = nullptr;
    bool settingsOpen = false;
    bool bindingMode = false;

    void typeCharKey(UINT code, HKL layout, bool keyOnly) override {
        if (keyOnly)
            log += L'~';
        else if (layout != kLayout)
            log += L'!';
        log += static_cast<wchar_t>(code);
    }
    void typeVirtualKey(WORD key) override {
        wchar_t text[8];
        swprintf(text, 8, L"[%02X]", key);
        log += text;
    }
    void typeString(const wchar_t* text, HKL, bool) override {
        log += L"\u00AB" + std::wstring(text) + L"\u00BB";
    }
    void modifierKey(BYTE key, bool up) override {
        const wchar_t* name = key == VK_CONTROL ? L"Ctrl"
                              : key == VK_MENU  ? L"Alt"
                              : key == VK_SHIFT ? L"Shift"
                              : key == VK_LWIN  ? L"Win"
                                                : L"?";
        log += up ? L"</" : L"<";
        log += name;
        log += L">";
    }
    void sleep(DWORD ms) override { log += L"(sleep " + std::to_wstring(ms) + L")"; }
    bool shellExecute(SHELLEXECUTEINFOW& info) override {
        launched.push_back(std::wstring(info.lpFile ? info.lpFile : L"") + L"|" +
                           (info.lpParameters ? info.lpParameters : L"(none)") + L"|" +
                           (info.lpDirectory ? info.lpDirectory : L"(none)"));
        if (!launchSucceeds) return false;
        // A real handle that the caller must close.
        info.hProcess =
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, GetCurrentProcessId());
        lastProcess = info.hProcess;
        return true;
    }
    BOOL forceForegroundWindow(HWND) override { return TRUE; }
    bool isSettingsDialogOpen() override { return settingsOpen; }
    void showWordMenu() override { log += L"(word menu)"; }
    bool isBindingMode() override { return bindingMode; }
    void setBindingMode(bool on) override { log += on ? L"(bind on)" : L"(bind off)"; }
    void chooseProfile(const wchar_t* prompt, int scope) override {
        log += L"(choose " + std::wstring(prompt) + L" " + std::to_wstring(scope) + L")";
    }
};

class LayoutHookLibrary : public HookLibrary {
  public:
    HKL askLastFocusKeyboardLayout() override { return kLayout; }
    HWND getLastFocusWindow() override { return focus; }
    HWND focus = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234));
};

// A window that stands for the service window: what is posted to it is read back.
class PostedMessages {
  public:
    PostedMessages() {
        window_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        appGlobals().serviceWindow = window_;
    }
    ~PostedMessages() {
        take();
        appGlobals().serviceWindow = nullptr;
        DestroyWindow(window_);
    }
    // "message wParam lParam" of each posted message; a 3039 record shows
    // its fields and is freed.
    std::vector<std::string> take() {
        std::vector<std::string> out;
        MSG msg;
        while (PeekMessageW(&msg, window_, 0, 0, PM_REMOVE)) {
            char line[128];
            if (msg.message == WM_INK_OUTPUT_RECORD) {
                std::unique_ptr<OutputRecord> r = win::takeRecord<OutputRecord>(msg.lParam);
                if (!r) {
                    out.push_back("3039 with no record of this process");
                    continue;
                }
                snprintf(line, sizeof line, "3039 owner=%p target=%p typed=%d mode=%d",
                         r->ownerList, static_cast<void*>(r->target), r->typed, r->mode);
            } else {
                snprintf(line, sizeof line, "%u %llu %lld", msg.message,
                         static_cast<unsigned long long>(msg.wParam),
                         static_cast<long long>(msg.lParam));
            }
            out.push_back(line);
        }
        return out;
    }

  private:
    HWND window_;
};

DWORD windowsOfThisThread() {
    DWORD count = 0;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND, LPARAM n) CALLBACK {
            ++*reinterpret_cast<DWORD*>(n);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

std::wstring sampleLibrary() { return rt::binFolder() + L"\\SampleMacroExec.dll"; }
std::wstring probeLibrary() { return rt::binFolder() + L"\\ProbeMacroExec.dll"; }

void setExecutors(const std::vector<std::pair<int, std::wstring>>& values) {
    for (const auto& v : values) {
        const std::wstring name = L"CustomExecDll" + std::to_wstring(v.first);
        WriteSetting(L"MacroCustomExecutors", name.c_str(), v.second.c_str(), SETTING_STRING, 0);
    }
}

const char kMacros[] =
    "<macroses>\r\n"
    "\t<macro description=\"Signature\" name=\"sig\" param=\"\" type=\"keystroke\">Best "
    "regards,{Enter}Ann</macro>\r\n"
    "\t<macro name=\"self\" type=\"keystroke\">a{RunMacro:self}</macro>\r\n"
    "\t<macro name=\"outer\" type=\"keystroke\">(o{RunMacro:inner})</macro>\r\n"
    "\t<macro name=\"inner\" type=\"keystroke\">i\nj</macro>\r\n"
    // Line breaks as the editor's text box gives them (CR LF; the writer keeps
    // the CR as a character reference), a lone CR and a lone LF.
    "\t<macro name=\"lines\" type=\"keystroke\">one&#xd;\ntwo&#xd;\nthree</macro>\r\n"
    "\t<macro name=\"mixed\" type=\"keystroke\">a&#xd;b\nc&#xd;&#xd;\nd</macro>\r\n"
    "\t<macro name=\"callsPad\" type=\"keystroke\">[{RunMacro:pad}]</macro>\r\n"
    "\t<macro name=\"loop\" type=\"keystroke\">{Custom:Loop}</macro>\r\n"
    "\t<macro name=\"pad\" type=\"launch\">\"C:\\Program Files\\Pad\\pad.exe\" -x</macro>\r\n"
    "\t<macro name=\"bare\" type=\"launch\">notepad.exe</macro>\r\n"
    "\t<macro name=\"open\" type=\"launch\">\"C:\\pad.exe -x</macro>\r\n"
    "\t<macro name=\"num\" param=\"#sys-numeric\" type=\"useProfile\"/>\r\n"
    "\t<macro name=\"untyped\">text</macro>\r\n"
    "\t<macro name=\"empty\" type=\"keystroke\"/>\r\n"
    "</macroses>\r\n";

// A macro store over kMacros with a recording link, a layout from the hook
// library and the executors the test names.
class MacroPlayerTest : public testing::Test {
  protected:
    void SetUp() override {
        previousHooks_ = setHookLibrary(&hooks_);
        setMacroLink(&link_);
        path_ = dir_.path() + L"\\macro.xml";
        ASSERT_TRUE(rt::writeBytes(path_, kMacros));
    }
    void TearDown() override {
        setMacroLink(nullptr);
        setHookLibrary(previousHooks_ == &hooks_ ? nullptr : previousHooks_);
        getRecMgr().profileChooser().clear(-1);
    }
    // Made after the registry holds the executors: they are read once.
    CMacro& macro() {
        if (!macro_) {
            macro_ = std::make_unique<CMacro>();
            EXPECT_TRUE(macro_->loadFile(path_.c_str()));
        }
        return *macro_;
    }
    std::wstring play(const wchar_t* text) {
        link_.log.clear();
        EXPECT_TRUE(macro().playText(text, kLayout, false, nullptr, nullptr));
        EXPECT_EQ(macro().depth(), 0);
        return link_.log;
    }
    std::wstring run(const wchar_t* name, bool expected = true) {
        link_.log.clear();
        std::wstring out = L"left over";
        EXPECT_EQ(macro().runMacro(name, nullptr, nullptr, out), expected) << name;
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(macro().depth(), 0) << "the depth returns to 0 after every run";
        return link_.log;
    }

    rt::SettingsScope settings_;
    TempDir dir_;
    std::wstring path_;
    RecordingLink link_;
    LayoutHookLibrary hooks_;
    HookLibrary* previousHooks_ = nullptr;
    PostedMessages posted_;
    std::unique_ptr<CMacro> macro_;
};

// ---- the text language ----

struct TextCase {
    const char* name;
    const wchar_t* text;
    const wchar_t* played;
};

class MacroText : public MacroPlayerTest, public testing::WithParamInterface<TextCase> {};

TEST_P(MacroText, PlaysAsTheUserWroteIt) {
    setExecutors({{1, sampleLibrary()}, {2, probeLibrary()}});
    EXPECT_EQ(play(GetParam().text), GetParam().played);
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, MacroText,
    testing::Values(
        TextCase{"PlainText", L"Hi there\r", L"Hi there\r"}, TextCase{"EmptyText", L"", L""},
        TextCase{"DoubleBraceTypesOneBrace", L"a{{b", L"a{b"},
        TextCase{"UnknownTokenLosesItsBrace", L"{Foo}x", L"Foo}x"},
        TextCase{"KeyName", L"{Enter}", L"[0D]"},
        TextCase{"KeyNamesAreCaseSensitive", L"{enter}", L"enter}"},
        TextCase{"FunctionAndKeypadKeys", L"{F1}{F12}{#0}{#9}", L"[70][7B][60][69]"},
        TextCase{"ModifierGroupTypesKeysOnly", L"{Ctrl+c}", L"<Ctrl>~c</Ctrl>"},
        TextCase{"ModifierGroupIsNotNested", L"{Ctrl+Shift+s}", L"<Ctrl>~S~h~i~f~t~+~s</Ctrl>"},
        TextCase{"NestedModifierGroups", L"{Ctrl+{Shift+s}}", L"<Ctrl><Shift>~s</Shift></Ctrl>"},
        TextCase{"AllFourModifiers", L"{Win+{Alt+{Shift+{Ctrl+x}}}}!",
                 L"<Win><Alt><Shift><Ctrl>~x</Ctrl></Shift></Alt></Win>!"},
        TextCase{"KeyInsideAGroup", L"{Alt+{F4}}", L"<Alt>[73]</Alt>"},
        TextCase{"UnclosedGroupEndsWithTheText", L"{Ctrl+c", L"<Ctrl>~c</Ctrl>"},
        TextCase{"HexVirtualKey", L"{HexVk:2e}", L"[2E]"},
        TextCase{"BadHexVirtualKey", L"{HexVk:zz}", L"zz}"},
        TextCase{"HexVirtualKeyZero", L"{HexVk:0}", L"0}"},
        TextCase{"HexChar", L"{HexChar:41}", L"A"},
        TextCase{"HexCharOutOfRange", L"{HexChar:263a}", L"263a}"},
        TextCase{"Delay", L"a{Delay:5}b", L"a(sleep 5)b"},
        TextCase{"DelayZero", L"{Delay:0}", L"0}"},
        TextCase{"LongTokenIsNoKeyAndHasNoArgument", L"{Delay:0000000000000000000000000000000005}",
                 L"0000000000000000000000000000000005}"},
        TextCase{"TokenOf39CharactersStillReads", L"{Delay:00000000000000000000000000000005}",
                 L"(sleep 5)"},
        TextCase{"TokenWithoutClosingBrace", L"{Enter", L"Enter"},
        TextCase{"CommandMustBeFollowedByItsBrace", L"{Toolbar x}", L"Toolbar x}"},
        TextCase{"Toolbar", L"{Toolbar}", L""}, TextCase{"WordMenu", L"{WordMenu}", L"(word menu)"},
        TextCase{"Bind", L"{Bind}", L"(bind on)"},
        TextCase{"UseProfileChoiceMenu", L"{UseProfile:?}", L"(choose Choose profile (En): 1)"},
        TextCase{"CustomCommandOfTheFirstLibrary", L"{Custom:Upper:abc}", L"ABC"},
        TextCase{"CustomCommandOfTheSecondLibrary", L"{Custom:Echo:a:b}", L"a:b"},
        TextCase{"CustomCommandWithoutParameter", L"{Custom:Echo}", L"(null)"},
        TextCase{"CustomTextIsPlayed", L"{Custom:Wrap:F5}", L"[74]"},
        TextCase{"DeclinedTextIsNotUsed", L"{Custom:Decline}.", L"."},
        TextCase{"UnknownCustomCommand", L"{Custom:Nobody}.", L"."},
        TextCase{"RunMacroOfAMissingMacro", L"{RunMacro:nobody}", L"RunMacro:nobody}"},
        TextCase{"RunMacroNests", L"<{RunMacro:outer}>", L"<(oi\rj)>"}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

TEST_F(MacroPlayerTest, NullTextFails) {
    EXPECT_FALSE(macro().playText(nullptr, kLayout, false, nullptr, nullptr));
}

TEST_F(MacroPlayerTest, KeyOnlyFlagReachesEveryCharacterOfTheWalk) {
    link_.log.clear();
    macro().playText(L"a{HexChar:62}{{", kLayout, true, nullptr, nullptr);
    EXPECT_EQ(link_.log, L"~a~b~{");
}

// The forty names of the table, both ways.
TEST(MacroKeyNames, FortyNamesBothWays) {
    struct Row {
        const wchar_t* name;
        UINT key;
    };
    std::vector<Row> rows = {{L"Esc", 0x1B},    {L"Enter", 0x0D},   {L"Home", 0x24},
                             {L"PrtScr", 0x2C}, {L"End", 0x23},     {L"ScrLock", 0x91},
                             {L"Del", 0x2E},    {L"NumLock", 0x90}, {L"Bksp", 0x08},
                             {L"Space", 0x20},  {L"Ins", 0x2D},     {L"Left", 0x25},
                             {L"Right", 0x27},  {L"Up", 0x26},      {L"Down", 0x28},
                             {L"PgUp", 0x21},   {L"PgDn", 0x22},    {L"Tab", 0x09}};
    std::vector<std::wstring> names;
    for (int i = 1; i <= 12; ++i) names.push_back(L"F" + std::to_wstring(i));
    for (int i = 0; i < 10; ++i) names.push_back(L"#" + std::to_wstring(i));
    for (int i = 0; i < 12; ++i) rows.push_back({names[i].c_str(), 0x70u + i});
    for (int i = 0; i < 10; ++i) rows.push_back({names[12 + i].c_str(), 0x60u + i});
    ASSERT_EQ(rows.size(), 40u);
    for (const Row& row : rows) {
        EXPECT_EQ(macroKeyByName(row.name), row.key) << testing::PrintToString(row.name);
        std::wstring text;
        EXPECT_TRUE(formatKeyName(row.key, text));
        EXPECT_EQ(text, L"{" + std::wstring(row.name) + L"}");
    }
    std::wstring text = L"old";
    EXPECT_FALSE(formatKeyName('A', text));
    EXPECT_TRUE(text.empty());
    for (const wchar_t* none : {L"enter", L"F13", L"#10", L"", L"Ctrl"})
        EXPECT_EQ(macroKeyByName(none), 0u) << testing::PrintToString(none);
}

TEST_F(MacroPlayerTest, BackquotedDateAndTimeAreTheirTokens) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t shortDate[64], longDate[64], time[64];
    const LCID locale = MAKELCID(0x0409, SORT_DEFAULT);
    GetDateFormatW(locale, DATE_SHORTDATE, &now, nullptr, shortDate, 64);
    GetDateFormatW(locale, DATE_LONGDATE, &now, nullptr, longDate, 64);
    GetTimeFormatW(locale, TIME_NOSECONDS, &now, nullptr, time, 64);
    const std::wstring played = play(L"`DateShort`|`DateLong`|{Time}");
    // The minute may turn between the two readings: compare around it.
    EXPECT_EQ(played, L"\u00AB" + std::wstring(shortDate) + L"\u00BB|\u00AB" + longDate +
                          L"\u00BB|\u00AB" + time + L"\u00BB");
    EXPECT_EQ(std::wstring(time).find(L':'), std::wstring(time).rfind(L':'))
        << "the time has no seconds";
}

// ---- the program's commands ----

TEST_F(MacroPlayerTest, ProgramCommandsPostToTheServiceWindow) {
    const struct {
        const wchar_t* text;
        bool settingsOpen;
        bool markupMode;
        std::vector<std::string> posted;
    } cases[] = {
        {L"{Settings:Ink}", false, false, {"3043 8 0"}},
        {L"{Settings:Macros}{Settings:Reco}{Settings:Input}",
         false,
         false,
         {"3043 29 0", "3043 9 0", "3043 61 0"}},
        {L"{Settings:Nowhere}", false, false, {"3043 0 0"}},
        {L"{Settings:Ink}", true, false, {}},
        {L"{MainMenu}", false, false, {"3045 0 4"}},
        {L"{Markup}", false, false, {"3050 1 0"}},
        {L"{Markup}", false, true, {"3050 0 0"}},
    };
    for (const auto& c : cases) {
        link_.settingsOpen = c.settingsOpen;
        serviceState().markupMode = c.markupMode;
        EXPECT_EQ(play(c.text), L"") << testing::PrintToString(c.text);
        EXPECT_EQ(posted_.take(), c.posted) << testing::PrintToString(c.text);
    }
    serviceState().markupMode = false;
}

TEST_F(MacroPlayerTest, WithoutTheProgramsLinkRequestsStillReachTheServiceWindow) {
    setMacroLink(nullptr);
    play(L"{UseProfile:?}{Bind}");
    EXPECT_EQ(posted_.take(), (std::vector<std::string>{"3097 1 0", "3044 1 0"}));
}

TEST_F(MacroPlayerTest, PunctuationPaneIsAskedForTheLastFocusWindow) {
    play(L"{PunctPane}");
    const std::vector<std::string> posted = posted_.take();
    ASSERT_EQ(posted.size(), 1u);
    char expected[96];
    snprintf(expected, sizeof expected, "3039 owner=%p target=%p typed=1 mode=0",
             static_cast<void*>(nullptr), static_cast<void*>(hooks_.focus));
    EXPECT_EQ(posted[0], expected);
}

// Macros run on the recognition thread, which owns no window: the main bar
// is shown or hidden by the service window, on the thread that owns the bars.
TEST_F(MacroPlayerTest, ToolbarAndBindToggle) {
    GeneralSettings& general = generalSettings();
    const DWORD windowsBefore = windowsOfThisThread();
    general.showToolbar = 0;
    EXPECT_EQ(play(L"{Toolbar}"), L"");
    general.showToolbar = 1;
    EXPECT_EQ(play(L"{Toolbar}"), L"");
    EXPECT_EQ(posted_.take(), (std::vector<std::string>{"3101 1 0", "3101 0 0"}));
    EXPECT_EQ(windowsOfThisThread(), windowsBefore) << "the player made no window";
    link_.bindingMode = true;
    EXPECT_EQ(play(L"{Bind}"), L"(bind off)");
}

TEST_F(MacroPlayerTest, ProfileCommandsSetThePendingChoice) {
    CProfileChooser& chooser = getRecMgr().profileChooser();
    GeneralSettings& general = generalSettings();
    general.useProfileScope = PROFILE_SCOPE_FOCUS;
    chooser.setChoice(L"Earlier", PROFILE_SCOPE_ALWAYS);

    play(L"{UseProfileScope:Focus}");
    EXPECT_TRUE(chooser.isSet()) << "the same scope leaves the choice";
    play(L"{UseProfileScope:Sometimes}");
    EXPECT_TRUE(chooser.isSet()) << "an unknown scope is ignored";
    EXPECT_EQ(general.useProfileScope, PROFILE_SCOPE_FOCUS);
    play(L"{UseProfileScope:Once}");
    EXPECT_FALSE(chooser.isSet()) << "a new scope clears the choice";
    EXPECT_EQ(general.useProfileScope, PROFILE_SCOPE_ONCE);
    int stored = -1;
    EXPECT_EQ(ReadSetting(nullptr, L"useProfileScope", &stored, SETTING_NUMBER, 0), 0)
        << "the scope is not written to the registry";

    EXPECT_EQ(play(L"{UseProfile:Mail}x"), L"x");
    std::wstring name;
    EXPECT_TRUE(chooser.take(name, true));
    EXPECT_EQ(name, L"Mail");
    EXPECT_FALSE(chooser.isSet()) << "with the scope Once, taking it used it up";
    general.useProfileScope = PROFILE_SCOPE_FOCUS;
}

// ---- running macros ----

TEST_F(MacroPlayerTest, KeystrokeMacroTypesItsBodyWithTheFocusLayout) {
    EXPECT_EQ(run(L"sig"), L"Best regards,[0D]Ann");
    EXPECT_EQ(run(L"inner"), L"i\rj") << "line feeds become carriage returns";
}

// A line break is one Enter however the text holds it: CR LF (as the
// editor's text box gives it), a lone LF or a lone CR.
TEST_F(MacroPlayerTest, EveryLineBreakIsOneEnter) {
    EXPECT_EQ(run(L"lines"), L"one\rtwo\rthree");
    EXPECT_EQ(run(L"mixed"), L"a\rb\rc\r\rd");
}

TEST_F(MacroPlayerTest, MacrosThatAreNotRunFail) {
    for (const wchar_t* name : {L"nobody", L"Sig", L"num", L"untyped", L"empty"})
        EXPECT_EQ(run(name, false), L"") << testing::PrintToString(name);
}

TEST_F(MacroPlayerTest, SelfCallingMacroStopsAtTheFourthLevel) {
    // Levels 1 to 4 type "a"; the fifth is refused and its token typed.
    EXPECT_EQ(run(L"self"), L"aaaaRunMacro:self}");
}

TEST_F(MacroPlayerTest, ExecutorTextCountsAsANestingLevel) {
    setExecutors({{1, probeLibrary()}});
    // Level 1 asks; its text plays at level 2, 3 and 4; the fourth asks again
    // but its text is refused.
    EXPECT_EQ(run(L"loop"), L"xxx");
    using Count = LONG(__cdecl*)();
    HMODULE probe = GetModuleHandleW(probeLibrary().c_str());
    ASSERT_NE(probe, nullptr);
    auto outstanding =
        reinterpret_cast<Count>(reinterpret_cast<void*>(GetProcAddress(probe, "probeOutstanding")));
    ASSERT_NE(outstanding, nullptr);
    EXPECT_EQ(outstanding(), 0) << "every text went back to its library";
}

TEST_F(MacroPlayerTest, LaunchStartsTheProgramInItsFolderAndClosesTheHandle) {
    EXPECT_EQ(run(L"pad"), L"");
    ASSERT_EQ(link_.launched.size(), 1u);
    EXPECT_EQ(link_.launched[0], L"C:\\Program Files\\Pad\\pad.exe|-x|C:\\Program Files\\Pad");
    ASSERT_NE(link_.lastProcess, nullptr);
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(link_.lastProcess, &flags)) << "the process handle is closed";

    run(L"bare");
    EXPECT_EQ(link_.launched[1], L"notepad.exe|(none)|(none)");
}

TEST_F(MacroPlayerTest, LaunchReportsWhatTheShellSaid) {
    link_.launchSucceeds = false;
    run(L"pad", false);
    EXPECT_EQ(link_.launched.size(), 1u);
    run(L"open", false);
    EXPECT_EQ(link_.launched.size(), 1u) << "an unclosed quote starts nothing";
}

// A launch that fails inside a nested macro is still reported, but nothing of
// the macro's own text reaches the user's field: the token was a macro that
// ran. A name that is no macro stays text, as before.
TEST_F(MacroPlayerTest, AFailedLaunchInsideANestedMacroTypesNothingOfItsToken) {
    const struct {
        bool launchSucceeds;
        const wchar_t* typed;
    } cases[] = {{true, L"[]"}, {false, L"[]"}};
    for (const auto& c : cases) {
        link_.launchSucceeds = c.launchSucceeds;
        EXPECT_EQ(run(L"callsPad"), c.typed) << c.launchSucceeds;
    }
    EXPECT_EQ(link_.launched.size(), 2u);
    link_.launchSucceeds = false;
    EXPECT_EQ(run(L"pad", false), L"") << "the launch itself still reports the failure";
}

// The shell itself starts the programs of launch macros, quoted or not.
TEST_F(MacroPlayerTest, LaunchMacrosStartRealPrograms) {
    class ShellLink : public RecordingLink {
      public:
        bool shellExecute(SHELLEXECUTEINFOW& info) override {
            return MacroLink::shellExecute(info);
        }
    } shell;
    setMacroLink(&shell);
    wchar_t system[MAX_PATH];
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring quoted = dir_.path() + L"\\quoted.txt";
    const std::wstring bare = dir_.path() + L"\\bare.txt";
    const std::string xml =
        "<macroses>"
        "<macro name=\"quoted\" type=\"launch\">\"" +
        rt::narrow(system) + "\\cmd.exe\" /c echo q&gt;" + rt::narrow(quoted) +
        "</macro>"
        "<macro name=\"bare\" type=\"launch\">cmd.exe /c echo b&gt;" +
        rt::narrow(bare) +
        "</macro>"
        "<macro name=\"none\" type=\"launch\">C:\\nowhere\\none.exe</macro>"
        "</macroses>";
    ASSERT_TRUE(rt::writeBytes(path_, xml));
    std::wstring out;
    EXPECT_TRUE(macro().runMacro(L"quoted", nullptr, nullptr, out));
    EXPECT_TRUE(macro().runMacro(L"bare", nullptr, nullptr, out));
    EXPECT_FALSE(macro().runMacro(L"none", nullptr, nullptr, out)) << "the shell's failure";
    const DWORD until = GetTickCount() + 10000;
    while ((!rt::exists(quoted) || !rt::exists(bare)) && GetTickCount() < until) Sleep(50);
    EXPECT_TRUE(rt::exists(quoted)) << "the quoted program ran with its parameters";
    EXPECT_TRUE(rt::exists(bare)) << "the unquoted program ran with its parameters";
    setMacroLink(&link_);
}

TEST(MacroLaunchText, SplitAndJoin) {
    const struct {
        const wchar_t* text;
        bool ok;
        const wchar_t* program;
        const wchar_t* parameters;
    } splits[] = {
        {L"\"C:\\Program Files\\Pad\\pad.exe\" -x", true, L"C:\\Program Files\\Pad\\pad.exe",
         L"-x"},
        {L"\" pad.exe \"  -a  -b ", true, L"pad.exe", L"-a  -b"},
        {L"notepad.exe a.txt b.txt", true, L"notepad.exe", L"a.txt b.txt"},
        {L"notepad.exe", true, L"notepad.exe", L""},
        {L"\"C:\\pad.exe -x", false, L"", L""},
        {L"", true, L"", L""},
    };
    for (const auto& s : splits) {
        std::wstring program = L"old", parameters = L"old";
        EXPECT_EQ(splitLaunchCommand(s.text, program, parameters), s.ok)
            << testing::PrintToString(s.text);
        EXPECT_EQ(program, s.program) << testing::PrintToString(s.text);
        EXPECT_EQ(parameters, s.parameters) << testing::PrintToString(s.text);
    }
    std::wstring program, parameters;
    EXPECT_FALSE(splitLaunchCommand(nullptr, program, parameters));

    const struct {
        const wchar_t* program;
        const wchar_t* parameters;
        bool ok;
        const wchar_t* text;
    } joins[] = {
        {L"C:\\Program Files\\Pad\\pad.exe", L"-x", true,
         L"\"C:\\Program Files\\Pad\\pad.exe\" -x"},
        {L"  pad.exe ", L"  ", true, L"pad.exe"},
        {L"\"C:\\a b\\p.exe\"", nullptr, true, L"\"C:\\a b\\p.exe\""},
        {L"   ", L"-x", false, L""},
        {nullptr, L"-x", false, L""},
    };
    for (const auto& j : joins) {
        std::wstring text = L"old";
        EXPECT_EQ(joinLaunchCommand(j.program, j.parameters, text), j.ok);
        EXPECT_EQ(text, j.text);
        if (!j.ok) continue;
        // What the editor joins, the player splits back.
        std::wstring p, a;
        ASSERT_TRUE(splitLaunchCommand(text.c_str(), p, a));
    }
}

// ---- the store and the executor list ----

TEST_F(MacroPlayerTest, StoreAnswersByExactName) {
    EXPECT_TRUE(macro().hasMacros());
    EXPECT_TRUE(macro().hasMacro(L"sig"));
    for (const wchar_t* name : {L"Sig", L"si", L"", static_cast<const wchar_t*>(nullptr)})
        EXPECT_FALSE(macro().hasMacro(name)) << testing::PrintToString(name ? name : L"(null)");
    EXPECT_EQ(macro().macroNames(),
              (std::vector<std::wstring>{L"sig", L"self", L"outer", L"inner", L"lines", L"mixed",
                                         L"callsPad", L"loop", L"pad", L"bare", L"open", L"num",
                                         L"untyped", L"empty"}));
    macro().clear();
    EXPECT_FALSE(macro().hasMacros());
    EXPECT_FALSE(macro().hasMacro(L"sig"));
    EXPECT_EQ(run(L"sig", false), L"");
}

TEST_F(MacroPlayerTest, MissingOrBrokenFileHoldsNoMacros) {
    CMacro missing;
    EXPECT_TRUE(missing.loadFile((dir_.path() + L"\\none.xml").c_str()))
        << "a missing file is an empty store";
    EXPECT_FALSE(missing.hasMacros());
    ASSERT_TRUE(rt::writeBytes(path_, "<macroses><macro name=\"a\">"));
    CMacro broken;
    EXPECT_FALSE(broken.loadFile(path_.c_str()));
    EXPECT_FALSE(broken.hasMacros());
}

TEST_F(MacroPlayerTest, ExecutorsAreReadInOrderUpToTheFirstGap) {
    const struct {
        const char* name;
        std::vector<std::pair<int, std::wstring>> values;
        size_t listed;
        const wchar_t* upper;  // what {Custom:Upper:abc} types
    } cases[] = {
        {"NoneListed", {}, 0, L""},
        {"SampleFirst", {{1, sampleLibrary()}, {2, probeLibrary()}}, 2, L"ABC"},
        {"ProbeFirst", {{1, probeLibrary()}, {2, sampleLibrary()}}, 2, L"probe"},
        {"GapEndsTheList", {{1, sampleLibrary()}, {3, probeLibrary()}}, 1, L"ABC"},
        {"NoFirstValue", {{2, sampleLibrary()}}, 0, L""},
        {"MissingLibraryStaysListed",
         {{1, L"C:\\nowhere\\none.dll"}, {2, sampleLibrary()}},
         2,
         L"ABC"},
    };
    for (const auto& c : cases) {
        RegDeleteTreeW(HKEY_CURRENT_USER,
                       (std::wstring(settingsRootKey()) + L"\\MacroCustomExecutors").c_str());
        setExecutors(c.values);
        macro_.reset();
        EXPECT_EQ(macro().executors().size(), c.listed) << c.name;
        EXPECT_EQ(play(L"{Custom:Upper:abc}"), c.upper) << c.name;
    }
    EXPECT_FALSE(macro().executors().at(0).loaded());
    EXPECT_FALSE(macro().executors().at(0).canRun());
}

TEST(MacroTokens, CopyAndSkip) {
    std::wstring out = L"old";
    EXPECT_TRUE(copyMacroToken(L"Enter}x", 40, out));
    EXPECT_EQ(out, L"Enter");
    EXPECT_FALSE(copyMacroToken(L"Enter", 40, out));
    EXPECT_TRUE(out.empty());
    EXPECT_FALSE(copyMacroToken(L"Enter}", 5, out)) << "five characters need room for six";
    EXPECT_TRUE(copyMacroToken(L"Ente}", 5, out));
    const wchar_t* text = L"ab}cd}";
    EXPECT_EQ(skipMacroToken(text), text + 3);
    EXPECT_EQ(*skipMacroToken(L"abc"), L'\0');
}

}  // namespace

namespace {

int collectWord(const wchar_t* word, void* parameter) {
    static_cast<std::vector<std::wstring>*>(parameter)->push_back(word);
    return 1;
}

std::vector<std::wstring> macroDictionaryWords(RecModule& module) {
    std::vector<std::wstring> words;
    RecProfile* profile = module.findProfile(L"#sys-macro");
    if (!profile || !profile->getFirstUserDict()) return words;
    profile->enumUserDictWords(profile->getFirstUserDict()->name(), collectWord, &words);
    std::sort(words.begin(), words.end());
    return words;
}

// The English module over the installed engine: its macro set follows
// "macro.xml" of its data folder and the "#sys-macro" dictionary holds the names.
class MacroModuleTest : public testing::Test {
  protected:
    rt::SettingsScope settings_;
    rt::EnglishModule english_;
    std::wstring macroFile() const { return english_.languageFolder() + L"\\macro.xml"; }
};

TEST_F(MacroModuleTest, WithoutAFileTheModuleHasNoMacros) {
    RecModule& module = *english_.module;
    ASSERT_NE(module.macroSet(), nullptr);
    EXPECT_FALSE(module.loadMacros());
    EXPECT_FALSE(module.hasMacros());
    EXPECT_FALSE(module.hasMacro(L"sig"));
    EXPECT_FALSE(module.runMacro(L"sig", nullptr, L"edit.exe"));
    EXPECT_EQ(module.getMacroFilePath(), macroFile());
}

TEST_F(MacroModuleTest, MacroNamesFillTheMacroProfilesDictionary) {
    RecModule& module = *english_.module;
    ASSERT_TRUE(rt::writeBytes(macroFile(),
                               "<macroses><macro name=\"sig\" type=\"keystroke\">S</macro>"
                               "<macro name=\"home\" type=\"keystroke\">{Home}</macro>"
                               "</macroses>"));
    ASSERT_TRUE(module.loadMacros());
    EXPECT_TRUE(module.hasMacros());
    EXPECT_TRUE(module.hasMacro(L"home"));
    EXPECT_EQ(macroDictionaryWords(module), (std::vector<std::wstring>{L"home", L"sig"}));

    // The recognizer answers macro names with that profile.
    RecModule::ProfileLock lock = module.lockProfiles();
    RecProfile* profile = module.findProfile(L"#sys-macro");
    ASSERT_NE(profile, nullptr);
    std::unique_ptr<RecWordList> answers = rt::recognize(*profile, rt::inkOf("home"));
    ASSERT_TRUE(answers);
    EXPECT_EQ(rt::textOf(*answers), L"home");
}

TEST_F(MacroModuleTest, MacrosWrittenByTheEditorAreReadBack) {
    RecModule& module = *english_.module;
    // What the macro editor does: load the document alone, add, save.
    IxlScribixHelper document(IXL_KIND_MACRO);
    ASSERT_TRUE(document.load(macroFile().c_str(), true)) << "no file yet: an empty document";
    CLiteElem macro(XS("macro"));
    macro.setAttribute(XS("name"), XS("greet"));
    macro.setAttribute(XS("type"), XS("keystroke"));
    macro.setAttribute(XS("description"), XS("A & B"));
    macro.addText(XS("Hello{Enter}"));
    ASSERT_TRUE(document.appendItem(macro));
    ASSERT_TRUE(document.save());
    EXPECT_EQ(rt::readBytes(macroFile()),
              "<macroses>\r\n\t<macro description=\"A &amp; B\" name=\"greet\" "
              "type=\"keystroke\">Hello{Enter}</macro>\r\n</macroses>\r\n");

    ASSERT_TRUE(module.loadMacros());
    EXPECT_TRUE(module.hasMacro(L"greet"));
    EXPECT_EQ(macroDictionaryWords(module), std::vector<std::wstring>{L"greet"});

    // Removing the last macro and reloading leaves the module without macros.
    CLiteElem item;
    ASSERT_TRUE(document.findItemByName(item, XS("greet")));
    ASSERT_TRUE(document.removeItem(item));
    ASSERT_TRUE(document.save());
    EXPECT_FALSE(module.loadMacros());
    EXPECT_FALSE(module.hasMacros());
}

TEST(MacroModules, OnlyEnglishKeepsMacros) {
    rt::SettingsScope settings;
    TempDir data;
    RecVexaModule french(rt::englishLibrary(), L"French", data.path());
    EXPECT_EQ(french.macroSet(), nullptr);
    EXPECT_FALSE(french.loadMacros());
    EXPECT_FALSE(french.hasMacros());
    EXPECT_FALSE(french.hasMacro(L"sig"));
    EXPECT_FALSE(french.runMacro(L"sig", nullptr, nullptr));
}

}  // namespace
