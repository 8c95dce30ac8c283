// The real Scribix.exe with the hook library stand-in, driven from this
// process as another program would: the single-instance guard, the command
// message, the calls the program makes at start and exit, the broadcast, and
// every way of shutting down. A process left running is killed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/ServiceMessages.h"

namespace {

using sxtest::Journal;
using sxtest::MessageBoxWatcher;
using sxtest::ScribixProcess;

constexpr DWORD kStartMs = 20000;
constexpr DWORD kEndMs = 2000;  // the program ends this soon after it is told to

// The start is complete when the pen is set as the settings say (last step).
const std::string kStarted = "setInkDriverParams 1 0 1 0 0 0 0 0";

class ProgramTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(sxtest::waitForNoServiceWindow(5000)) << "an instance is left from before";
        sxtest::prepareProgramSettings();
    }

    // Starts an instance and waits until its services run.
    std::unique_ptr<ScribixProcess> startProgram(
        const Journal& journal, std::vector<std::pair<std::wstring, std::wstring>> more = {}) {
        more.push_back({L"SCRIBIX35_JOURNAL", journal.path()});
        auto program = std::make_unique<ScribixProcess>(L"", more);
        EXPECT_TRUE(program->started());
        service_ = program->waitForServiceWindow(kStartMs);
        EXPECT_NE(service_, nullptr);
        // The manager applies the pen once as it loads it, then once more at the end.
        EXPECT_TRUE(sxtest::waitUntil(
            [&] { return journal.calls("setInkDriverParams").size() >= 3; }, kStartMs));
        return program;
    }

    MessageBoxWatcher boxes_;
    HWND service_ = nullptr;
};

// A window of the service window's class that records the 3074 it receives,
// standing in for a running instance.
class FakeRunningInstance {
  public:
    FakeRunningInstance() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = SERVICE_WINDOW_CLASS;
        RegisterClassW(&wc);
        window_ = CreateWindowExW(0, SERVICE_WINDOW_CLASS, L"fake", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        received().clear();
    }
    ~FakeRunningInstance() {
        DestroyWindow(window_);
        UnregisterClassW(SERVICE_WINDOW_CLASS, GetModuleHandleW(nullptr));
    }
    static std::vector<std::pair<WPARAM, LPARAM>>& received() {
        static std::vector<std::pair<WPARAM, LPARAM>> messages;
        return messages;
    }

  private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_INK_SETPEN) received().push_back({wp, lp});
        return DefWindowProcW(w, m, wp, lp);
    }
    HWND window_;
};

struct SwitchCase {
    const char* name;
    const wchar_t* arguments;
    WPARAM penState;
    LPARAM toggle;
};

class SecondInstance : public ProgramTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SecondInstance, ForwardsItsSwitchAndExits) {
    const SwitchCase& c = GetParam();
    FakeRunningInstance running;
    ScribixProcess second(c.arguments);
    ASSERT_TRUE(second.started());
    DWORD code = 0;
    ASSERT_TRUE(sxtest::pumpUntil([&] { return second.waitForExit(0, &code); }, 10000));
    sxtest::pumpUntil([] { return !FakeRunningInstance::received().empty(); }, 1000);
    ASSERT_EQ(FakeRunningInstance::received().size(), 1u);
    EXPECT_EQ(FakeRunningInstance::received()[0].first, c.penState);
    EXPECT_EQ(FakeRunningInstance::received()[0].second, c.toggle);
    EXPECT_TRUE(boxes_.texts().empty());
}

INSTANTIATE_TEST_SUITE_P(Switches, SecondInstance,
                         ::testing::Values(SwitchCase{"PenOff", L"/0", 0, 0},
                                           SwitchCase{"PenOn", L"/1", 1, 0},
                                           SwitchCase{"PenOnAfterBlanks", L"  /1", 1, 0},
                                           SwitchCase{"Toggle", L"/2", 0, 1}),
                         [](const ::testing::TestParamInfo<SwitchCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(ProgramTest, SecondInstanceWithoutSwitchSaysSoAndExits) {
    Journal journal;
    auto first = startProgram(journal);
    for (const wchar_t* arguments : {L"", L"/5", L"x"}) {
        boxes_.clear();
        ScribixProcess second(arguments);
        ASSERT_TRUE(boxes_.waitForCount(1, 10000)) << "arguments: " << arguments;
        EXPECT_EQ(boxes_.texts()[0], L"Scribix is already running.");
        EXPECT_TRUE(second.waitForExit(5000));
    }
    // A switch reaches the running program: the pen goes off.
    ScribixProcess off(L"/0");
    EXPECT_TRUE(off.waitForExit(5000));
    EXPECT_TRUE(sxtest::waitUntil(
        [&] {
            return journal.calls("setInkDriverParams")
                       .back()
                       .rfind("setInkDriverParams 0 0 1", 0) == 0;
        },
        5000));
    EXPECT_EQ(sxtest::sendCommand(service_, 4, 0), 0);
    PostMessageW(service_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(first->waitForExit(kEndMs));
}

TEST_F(ProgramTest, InstanceStillStartingMakesTheSecondExitSilently) {
    // An instance holds the mutex for the whole of its start.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"ScribixOneAppMutex");
    ASSERT_NE(mutex, nullptr);
    ScribixProcess second(L"");
    DWORD code = 0;
    EXPECT_TRUE(second.waitForExit(10000, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(sxtest::findServiceWindow(), nullptr);
    EXPECT_TRUE(boxes_.texts().empty()) << "no message";
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST_F(ProgramTest, CommandMessageFromAnotherProcess) {
    Journal journal;
    auto program = startProgram(journal);
    struct {
        UINT code;
        LPARAM argument;
        LRESULT expected, stateAfter;
    } steps[] = {
        {4, 0, 1, 1}, {0, 0, 0, 1}, {11, 0, 0, 1}, {0xFFFF, 0, 0, 1},  {1, 0, 0, 0}, {1, 1, 0, 1},
        {2, 1, 0, 3}, {2, 0, 0, 1}, {3, 1, 0, 5},  {3, 0, 0, 1}, {5, 0, 0, 9},       {6, 0, 0, 1}, {7, 255, 0, 1},
        {8, 5, 0, 1}, {9, 2, 0, 1}, {10, 0, 0, 1}, {0x20004, 0, 1, 1},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(sxtest::sendCommand(service_, s.code, s.argument), s.expected)
            << "code " << s.code;
        // What a command posts is handled after the sent message: wait for it.
        LRESULT state = -1;
        EXPECT_TRUE(sxtest::waitUntil(
            [&] { return (state = sxtest::sendCommand(service_, 4, 0)) == s.stateAfter; }, 2000))
            << "after code " << s.code << " the state is " << state;
        if (s.code == 5) {
            // The settings dialog is open (state bit 8): the user cancels it.
            HWND dialog = FindWindowW(L"#32770", L"Scribix Settings");
            EXPECT_NE(dialog, nullptr);
            PostMessageW(dialog, WM_COMMAND, 3002, 0);
            EXPECT_TRUE(sxtest::waitUntil(
                [&] { return (state = sxtest::sendCommand(service_, 4, 0)) == 1; }, 2000))
                << "the dialog closed";
        }
    }
    EXPECT_TRUE(boxes_.texts().empty());
    PostMessageW(service_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program->waitForExit(kEndMs));
}

// A top-level window of this process that counts the shut-down broadcast.
class BroadcastListener {
  public:
    BroadcastListener() {
        message_ = RegisterWindowMessageW(SCRIBIX_BROADCAST_MESSAGE_NAME);
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"SxBroadcastListener";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"listener", WS_POPUP, 0, 0,
                                  1, 1, nullptr, nullptr, wc.hInstance, nullptr);
        count_ = 0;
    }
    ~BroadcastListener() { DestroyWindow(window_); }
    int count() const { return count_; }

  private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == message_) ++count_;
        return DefWindowProcW(w, m, wp, lp);
    }
    static UINT message_;
    static int count_;
    HWND window_;
};
UINT BroadcastListener::message_ = 0;
int BroadcastListener::count_ = 0;

TEST_F(ProgramTest, CallsTheHookLibraryInOrderAndBroadcastsAtExit) {
    BroadcastListener listener;
    Journal journal;
    auto program = startProgram(journal);
    const std::vector<std::string> lines = journal.lines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0].rfind("SetInitValues", 0), 0u);
    const DWORD mainThread = sxtest::threadOfLine(lines[0]);
    EXPECT_EQ(lines[1].rfind("InsertHooks", 0), 0u);
    char window[32];
    snprintf(window, sizeof window, "window=0x%08X",
             static_cast<unsigned>(reinterpret_cast<UINT_PTR>(service_)));
    EXPECT_NE(lines[1].find(window), std::string::npos) << "the hooks report to the service window";
    EXPECT_NE(sxtest::threadOfLine(lines[1]), mainThread) << "set on the hook thread";

    const auto params = journal.calls("setInkDriverParams");
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[0].rfind("setInkDriverParams 1 0 1 0 0 0 0 0", 0), 0u);
    EXPECT_EQ(params[1].rfind("setInkDriverParams 0 0 1 0 0 0 0 0", 0), 0u) << "off while starting";
    EXPECT_EQ(params[2].rfind(kStarted, 0), 0u);
    for (const auto& line : params) EXPECT_EQ(sxtest::threadOfLine(line), mainThread);
    EXPECT_LT(journal.indexOf("setHookTabletMode 0 15 0 6 0,0,100,100"),
              journal.lastIndexOf(kStarted));
    EXPECT_EQ(journal.calls("setMouseTransparent").size(),
              journal.calls("unsetMouseTransparent").size());
    EXPECT_TRUE(boxes_.texts().empty()) << "no box, though the 64-bit helper is not here";

    PostMessageW(service_, WM_CLOSE, 0, 0);
    DWORD code = 0;
    ASSERT_TRUE(program->waitForExit(kEndMs, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(journal.calls("RemoveAllHooks").size(), 1u);
    EXPECT_EQ(sxtest::threadOfLine(journal.calls("RemoveAllHooks")[0]), mainThread);
    EXPECT_TRUE(sxtest::pumpUntil([&] { return listener.count() == 1; }, 2000))
        << "the broadcast reached this process's window";
}

TEST_F(ProgramTest, InsertHooksFailingTwiceShowsOneMessageAndRunsOn) {
    Journal journal;
    auto program = startProgram(journal, {{L"SCRIBIX35_INSERT_FAILURES", L"2"}});
    EXPECT_EQ(journal.calls("InsertHooks").size(), 2u);
    ASSERT_TRUE(boxes_.waitForCount(1, 5000));
    EXPECT_EQ(boxes_.texts(), std::vector<std::wstring>{L"InkService hooks install error"});
    EXPECT_EQ(sxtest::sendCommand(service_, 4, 0), 1);
    PostMessageW(service_, WM_CLOSE, 0, 0);
    EXPECT_TRUE(program->waitForExit(kEndMs));
    EXPECT_EQ(boxes_.texts().size(), 1u);
}

// A user who leaves the hook-install error box open (longer than the start
// waits for the hook thread) and then closes it: the start has gone on
// meanwhile, and the program runs on without hooks.
TEST_F(ProgramTest, HookInstallErrorLeftOpenThirtySecondsDoesNotEndTheProgram) {
    boxes_.holdBoxes(30000);
    Journal journal;
    ScribixProcess program(
        L"", {{L"SCRIBIX35_JOURNAL", journal.path()}, {L"SCRIBIX35_INSERT_FAILURES", L"2"}});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(boxes_.waitForCount(1, kStartMs));
    EXPECT_EQ(boxes_.texts(), std::vector<std::wstring>{L"InkService hooks install error"});
    EXPECT_EQ(boxes_.openCount(), 1u);
    // While the box is open the services start.
    EXPECT_TRUE(sxtest::waitUntil([&] { return journal.calls("setInkDriverParams").size() >= 3; },
                                  kStartMs))
        << "the start waited for the box";
    // The box is closed after 30 s.
    ASSERT_TRUE(sxtest::waitUntil([&] { return boxes_.openCount() == 0; }, 40000));
    sxtest::pumpUntil([] { return false; }, 500);
    EXPECT_EQ(boxes_.texts(), std::vector<std::wstring>{L"InkService hooks install error"})
        << "no other box";
    HWND service = program.waitForServiceWindow(1000);
    ASSERT_NE(service, nullptr) << "the program has ended";
    EXPECT_EQ(sxtest::sendCommand(service, 4, 0), 1) << "the program runs, its pen on";
    EXPECT_EQ(journal.calls("InsertHooks").size(), 2u) << "without hooks";
    PostMessageW(service, WM_CLOSE, 0, 0);
    DWORD code = 0;
    ASSERT_TRUE(program.waitForExit(kEndMs, &code));
    EXPECT_EQ(code, 1u);
}

// The hook library that cannot be made ready, or whose hook thread never
// reports, stops the start: no service runs and the process ends.
struct FailedStart {
    const char* name;
    const wchar_t* variable;
    std::vector<std::wstring> messages;
};

class FailedStartOf : public ProgramTest, public ::testing::WithParamInterface<FailedStart> {};

TEST_P(FailedStartOf, EndsTheProcessWithoutServices) {
    const FailedStart& c = GetParam();
    Journal journal;
    ScribixProcess program(L"", {{L"SCRIBIX35_JOURNAL", journal.path()}, {c.variable, L"1"}});
    DWORD code = 0;
    // The hook thread's time limit is 15 s.
    ASSERT_TRUE(program.waitForExit(30000, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(boxes_.texts(), c.messages);
    EXPECT_TRUE(journal.calls("setInkDriverParams").empty()) << "no service started";
    EXPECT_EQ(journal.calls("RemoveAllHooks").size(), 1u);
    EXPECT_EQ(sxtest::findServiceWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    HookLibrary, FailedStartOf,
    ::testing::Values(FailedStart{"NotReady", L"SCRIBIX35_INIT_FAIL", {}},
                      FailedStart{"HookThreadNeverReports",
                                  L"SCRIBIX35_INSERT_HANG",
                                  {L"The system hooks set process is timed out."}}),
    [](const ::testing::TestParamInfo<FailedStart>& info) { return std::string(info.param.name); });

// A message whose argument names a record (3039 output, 3046 command, 3040
// update answer, 3035 menu to track) posted by another program with a made-up
// pointer: the program takes only records it made itself, so it runs on, and
// ends normally when told to.
struct MadeUpRecord {
    const char* name;
    UINT message;
    enum Receiver { Service, MenuOwner, InkLayer } receiver;
};

void PrintTo(const MadeUpRecord& c, std::ostream* out) { *out << c.name; }

class MadeUpPointer : public ProgramTest, public ::testing::WithParamInterface<MadeUpRecord> {};

// The window of process `pid` of class `className`, or null.
HWND windowOfProcess(DWORD pid, const wchar_t* className) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, className, nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid) return window;
    }
    return nullptr;
}

TEST_P(MadeUpPointer, IsIgnoredAndTheProgramRunsOn) {
    const MadeUpRecord& c = GetParam();
    Journal journal;
    auto program = startProgram(journal);
    ASSERT_NE(service_, nullptr);
    HWND receiver = service_;
    if (c.receiver == MadeUpRecord::MenuOwner) {
        DWORD_PTR made = 0;
        ASSERT_TRUE(SendMessageTimeoutW(service_, WM_INK_CREATE_MENU_OWNER, 0, 0, SMTO_NORMAL, 5000,
                                        &made));
        receiver = reinterpret_cast<HWND>(made);
    } else if (c.receiver == MadeUpRecord::InkLayer) {
        receiver = windowOfProcess(program->pid(), L"TransparentLayerWndClass");
    }
    ASSERT_TRUE(receiver && IsWindow(receiver));
    // Small numbers, a number in the middle of the address space, and one that
    // is aligned as a heap block would be.
    for (LPARAM madeUp : {LPARAM{0x1234}, LPARAM{0x10}, LPARAM{0x7FFF0000}, LPARAM{0x00A01000}})
        ASSERT_TRUE(PostMessageW(receiver, c.message, 0, madeUp));
    // Posted messages are handled in order: once a later posted command has
    // been handled, so have they.
    sxtest::pumpUntil([] { return false; }, 1000);
    EXPECT_EQ(sxtest::sendCommand(service_, 4, 0), 1) << "the program answers with its pen on";
    EXPECT_TRUE(boxes_.texts().empty());
    PostMessageW(service_, WM_CLOSE, 0, 0);
    DWORD code = 0;
    ASSERT_TRUE(program->waitForExit(kEndMs, &code));
    EXPECT_EQ(code, 1u) << "a normal end";
}

INSTANTIATE_TEST_SUITE_P(
    Records, MadeUpPointer,
    ::testing::Values(MadeUpRecord{"OutputRecord", 3039, MadeUpRecord::Service},
                      MadeUpRecord{"CommandRecord", 3046, MadeUpRecord::Service},
                      MadeUpRecord{"UpdateAnswer", 3040, MadeUpRecord::Service},
                      MadeUpRecord{"MenuOwnerTrack", 3035, MadeUpRecord::MenuOwner},
                      MadeUpRecord{"InkLayerTrack", 3035, MadeUpRecord::InkLayer}),
    [](const ::testing::TestParamInfo<MadeUpRecord>& info) {
        return std::string(info.param.name);
    });

// Each way of ending the program ends the process soon, with the hooks removed.
struct Shutdown {
    const char* name;
    void (*tell)(HWND service);
};

class ShutdownWay : public ProgramTest, public ::testing::WithParamInterface<Shutdown> {};

TEST_P(ShutdownWay, EndsTheProcessWithTheHooksRemoved) {
    Journal journal;
    auto program = startProgram(journal);
    GetParam().tell(service_);
    DWORD code = 0;
    EXPECT_TRUE(program->waitForExit(kEndMs, &code));
    EXPECT_EQ(code, 1u);
    EXPECT_EQ(journal.calls("RemoveAllHooks").size(), 1u);
    EXPECT_EQ(sxtest::findServiceWindow(), nullptr);
}

void closeMessage(HWND service) { PostMessageW(service, WM_CLOSE, 0, 0); }

void twoPenOffRequests(HWND service) {
    PostMessageW(service, WM_INK_PEN_OFF_REQUEST, 1, 0);
    PostMessageW(service, WM_INK_PEN_OFF_REQUEST, 1, 0);
}

void mainMenu(HWND service) {
    PostMessageW(service, WM_INK_MAIN_MENU, 0, 1);
    EXPECT_TRUE(sxtest::pickLastMenuItem(5000));
}

INSTANTIATE_TEST_SUITE_P(Ways, ShutdownWay,
                         ::testing::Values(Shutdown{"CloseMessage", closeMessage},
                                           Shutdown{"TwoPenOffRequests", twoPenOffRequests},
                                           Shutdown{"MainMenu", mainMenu}),
                         [](const ::testing::TestParamInfo<Shutdown>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
