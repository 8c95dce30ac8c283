// The system client in this process: handwriting from the test generator and
// gesture strokes handed over as the pen-event thread hands them, the real
// recognizer of the English engine folder beside the test, the gesture
// library, the target text handlers on an edit control of the test's own, and
// a recording keyboard in place of the system's. What the client types,
// which result it makes current and what it posts to the service window are
// read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Handwriting.h"
#include "InkTestSupport.h"
#include "KeyRecorder.h"
#include "gestures/gestures.h"
#include "ink/InkSmoother.h"
#include "ink/KeyboardOutput.h"
#include "ink/MacroOutput.h"
#include "core/MemoryBlocks.h"
#include "ink/RecResult.h"
#include "recognition/RecWordList.h"
#include "ink/SystemClient.h"
#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/ServiceWork.h"
#include "shell/ServiceWindow.h"
#include "core/ShellLink.h"
#include "shell/Startup.h"
#include "shell/Stickers.h"
#include "core/Settings.h"
#include "recognition/ProfileChooser.h"
#include "tests/hook64/FakeAccessible.h"
#include "tests/support/TempDir.h"
#include "tests/support/TraceCapture.h"
#include "tests/targets/ObjectModelClient.h"
#include "tests/targets/TargetClient.h"
#include "win/Checks.h"

namespace {

using Points = std::vector<InkPoint>;

// The keys the recorder saw as the text they type: letters with their shift,
// "\b", "\r", "\t" and " " for their keys, "^X" for X pressed with Ctrl.
std::wstring typedText(const std::string& log) {
    std::wstring text;
    bool shift = false, ctrl = false;
    size_t at = 0;
    while (at < log.size()) {
        size_t end = log.find(' ', at);
        if (end == std::string::npos) end = log.size();
        const std::string event = log.substr(at, end - at);
        at = end + 1;
        if (event.size() < 2) continue;
        const bool down = event[0] == '+';
        const std::string key = event.substr(1);
        if (event.rfind("U+", 0) == 0) {
            text += static_cast<wchar_t>(std::stoul(event.substr(2), nullptr, 16));
            continue;
        }
        if (key == "Shift") {
            shift = down;
            continue;
        }
        if (key == "Ctrl") {
            ctrl = down;
            continue;
        }
        if (!down) continue;
        if (ctrl) {
            text += L'^';
            text += static_cast<wchar_t>(key[0]);
        } else if (key == "Space") {
            text += L' ';
        } else if (key == "Back") {
            text += L'\b';
        } else if (key == "Return") {
            text += L'\r';
        } else if (key == "Tab") {
            text += L'\t';
        } else if (key.size() == 1 && key[0] >= 'A' && key[0] <= 'Z') {
            text += static_cast<wchar_t>(shift ? key[0] : key[0] - 'A' + 'a');
        } else if (key.size() == 1) {
            text += static_cast<wchar_t>(key[0]);
        } else {
            text += L'<' + std::wstring(key.begin(), key.end()) + L'>';
        }
    }
    return text;
}

// A straight polyline through the corners (quarter pixels), a point every
// 8 units, closed by the separator.
Points polyline(std::initializer_list<POINT> corners) {
    Points points;
    const POINT* previous = nullptr;
    for (const POINT& corner : corners) {
        if (!previous) {
            points.push_back(makeInkPoint(corner.x, corner.y));
        } else {
            const int span =
                std::max(std::abs(corner.x - previous->x), std::abs(corner.y - previous->y));
            const int steps = std::max(1, span / 8);
            for (int i = 1; i <= steps; ++i)
                points.push_back(makeInkPoint(previous->x + (corner.x - previous->x) * i / steps,
                                              previous->y + (corner.y - previous->y) * i / steps));
        }
        previous = &corner;
    }
    points.push_back(kInkSeparator);
    return points;
}

// The strokes of `text` from the test generator, each closed by its separator.
std::vector<Points> handwritingOf(const std::string& text, uint32_t seed = 3) {
    handwriting::Options options;
    options.seed = seed;
    const handwriting::Writing writing = handwriting::write(text, options);
    std::vector<Points> strokes;
    for (size_t i = 0; i < writing.strokes.size(); ++i) {
        const std::vector<PSO_POINT> points = writing.strokePoints(i);
        Points stroke(points.size());
        std::memcpy(stroke.data(), points.data(), points.size() * sizeof(InkPoint));
        strokes.push_back(stroke);
    }
    return strokes;
}

// The hook library's last focus window is the test's edit control.
class FocusHookLibrary : public FakeHookLibrary {
  public:
    HWND getLastFocusWindow() override { return focus; }
    HWND focus = nullptr;
};

// Stands for the service window: keeps what the client posts and sends it.
class ServiceWindowStandIn {
  public:
    ServiceWindowStandIn() {
        window_ = sxtest::createTestWindow(L"SxSystemClientService", &ServiceWindowStandIn::proc, 0,
                                           WS_POPUP, 0, 0, 10, 10);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        appGlobals().serviceWindow = window_;
    }
    ~ServiceWindowStandIn() {
        appGlobals().serviceWindow = nullptr;
        DestroyWindow(window_);
    }
    int count(UINT message) const {
        int n = 0;
        for (UINT m : messages_)
            if (m == message) ++n;
        return n;
    }
    HWND window() const { return window_; }
    bool timerFired(UINT_PTR id) const {
        for (UINT_PTR t : timers_)
            if (t == id) return true;
        return false;
    }

  private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self =
            reinterpret_cast<ServiceWindowStandIn*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_INK_POSTED_WORK) {
            runPostedWork(lParam);
            return 0;
        }
        if (self && message == WM_TIMER) {
            self->timers_.push_back(static_cast<UINT_PTR>(wParam));
            KillTimer(window, wParam);
            return 0;
        }
        if (self && message == WM_INK_CLEAR_STICKERS) stickers().clear();
        if (self && message >= WM_INK_START_SERVICES && message <= WM_INK_ICON_NOTIFY) {
            self->messages_.push_back(message);
            if (message == WM_INK_OUTPUT_RECORD) win::takeRecord<OutputRecord>(lParam);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    HWND window_;
    std::vector<UINT> messages_;
    std::vector<UINT_PTR> timers_;
};

// The recognizer manager of the process over the engine folder beside the
// test, with its user data in a folder of the suite's own.
class SystemClientTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        data_ = new TempDir;
        getRecMgr().setDataFolder(data_->path());
        getRecMgr().loadEngines(nullptr);
        // The profile sticker is the shell's: it hands it down as at start-up.
        setShellLink(&shellOwnLink());
    }
    static void TearDownTestSuite() {
        setShellLink(nullptr);
        delete data_;
        data_ = nullptr;
    }

    void SetUp() override {
        ASSERT_NE(getRecMgr().getModule(L"English"), nullptr)
            << "no English engine beside the test";
        previous_ = setHookLibrary(&hooks_);
        hooks_.SetInitValues();
        updateScreenMetrics();
        edit_ = CreateWindowExW(0, L"EDIT", L"", WS_POPUP | WS_VISIBLE | ES_AUTOHSCROLL, 100, 100,
                                300, 40, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(edit_, nullptr);
        hooks_.focus = edit_;
        setTimeouts(kWait, kGestureWait);
        manager_ = new LocalInkManager;
        appGlobals().inkManager = manager_;
        setCurrentRecResult(nullptr, false, false);
        clearRecResults();
    }
    void TearDown() override {
        if (client_) manager_->unregisterClient(client_, true);
        client_ = nullptr;
        appGlobals().inkManager = nullptr;
        delete manager_;
        clearRecResults();
        getRecMgr().profileChooser().clear(-1);
        DestroyWindow(edit_);
        setHookLibrary(previous_ == &hooks_ ? nullptr : previous_);
        updateScreenMetrics();
    }

    static constexpr int kWait = 250;
    static constexpr int kGestureWait = 200;

    void setTimeouts(int waitNextStroke, int waitGestureEnd) {
        WriteSetting(L"InnerSystemClient", L"waitNextStrokeTimeout", &waitNextStroke,
                     SETTING_NUMBER_DIRECT, 0);
        WriteSetting(L"InnerSystemClient", L"waitGestureEndTimeout", &waitGestureEnd,
                     SETTING_NUMBER_DIRECT, 0);
    }

    void startClient() {
        const LocalClientRecord record = SystemClient::defaultRecord();
        client_ = new SystemClient(&record);
        client_->onNotify(INK_EVENT_PEN_CHANGED, 0);
        ASSERT_EQ(manager_->registerClient(client_), 1);
        ASSERT_TRUE(client_->isRecognitionThreadRunning());
    }

    // One stroke as the pen gives it: a pen-down that makes the client
    // active, then the finished stroke from the pen-event thread's side.
    void stroke(const Points& points) {
        ASSERT_EQ(manager_->activateClient(client_, edit_, 200, 200), client_);
        auto* block = static_cast<InkPoint*>(allocMemory(static_cast<int>(points.size() * 4)));
        ASSERT_NE(block, nullptr);
        std::memcpy(block, points.data(), points.size() * sizeof(InkPoint));
        manager_->passStrokeToActiveClient(block, static_cast<int>(points.size()));
    }
    void write(const std::string& text) {
        for (const Points& s : handwritingOf(text)) stroke(s);
    }

    // Pumps (the client sends to the edit) until the client has delivered
    // `deliveries` writings in all.
    bool waitForDeliveries(size_t deliveries, DWORD ms = 10000) {
        return sxtest::pumpUntil([&] { return deliveryLines().size() >= deliveries; }, ms);
    }
    std::vector<std::string> deliveryLines() const {
        std::vector<std::string> found;
        for (const std::string& line : trace_.lines())
            if (line.rfind("SystemClient: ", 0) == 0 && line.find("result") != std::string::npos)
                found.push_back(line);
        return found;
    }
    // The client has had the time to act on everything it was given.
    void settle(DWORD ms = 4 * kWait) {
        sxtest::pumpUntil([] { return false; }, ms);
    }

    static std::wstring currentText() {
        RecResultRef current = getCurrentRecResult();
        if (!current || !current->wordList()) return L"(none)";
        wchar_t* joined = current->wordList()->joinText(false);
        std::wstring text = joined ? joined : L"";
        freeMemory(joined);
        return text;
    }

    void setField(const wchar_t* text, int selStart, int selEnd) {
        SetWindowTextW(edit_, text);
        SendMessageW(edit_, EM_SETSEL, selStart, selEnd);
    }

    static TempDir* data_;
    TraceCapture trace_;
    sxtest::TestSettingsKey key_{L"sysclient"};
    typingtest::KeyRecorder keys_;
    FocusHookLibrary hooks_;
    HookLibrary* previous_ = nullptr;
    LocalInkManager* manager_ = nullptr;
    SystemClient* client_ = nullptr;
    HWND edit_ = nullptr;
};

TempDir* SystemClientTest::data_ = nullptr;

TEST_F(SystemClientTest, AWritingIsTypedIntoTheTargetAndBecomesTheCurrentResult) {
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_EQ(typedText(keys_.log), L"hello ") << "the default profile adds a space after";
    EXPECT_EQ(currentText(), L"hello");
    RecResultRef current = getCurrentRecResult();
    ASSERT_TRUE(current);
    EXPECT_EQ(current->target(), edit_);
    EXPECT_EQ(current->typedLength(), 6) << "the text and its space, for a later replacement";
    ASSERT_NE(current->ink(), nullptr) << "the result keeps the writing's ink";
    EXPECT_EQ(current->ink()->count(), static_cast<int>(handwritingOf("hello").size()));
    EXPECT_EQ(deliveryLines().back(), "SystemClient: current result \"hello\"\n");
    EXPECT_EQ(manager_->getActiveClient(), nullptr) << "the writing released the pen";
    EXPECT_EQ(hooks_.calls("lockInking").back().values, std::vector<int>{0});
}

// What the field holds around the caret decides the blanks around the text.
struct FieldCase {
    const char* name;
    const wchar_t* text;
    int selStart, selEnd;
    const wchar_t* typed;
};

class FieldBlanks : public SystemClientTest, public testing::WithParamInterface<FieldCase> {};

TEST_P(FieldBlanks, BlanksAroundTheRecognizedText) {
    const FieldCase& c = GetParam();
    setField(c.text, c.selStart, c.selEnd);
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_EQ(typedText(keys_.log), c.typed);
}

INSTANTIATE_TEST_SUITE_P(
    SystemClient, FieldBlanks,
    testing::Values(FieldCase{"EmptyField", L"", 0, 0, L"hello "},
                    FieldCase{"AfterABlank", L"say ", 4, 4, L"hello "},
                    FieldCase{"AfterALetter", L"say", 3, 3, L" hello "},
                    FieldCase{"AfterABracket", L"(", 1, 1, L"hello "},
                    FieldCase{"InsideAWord", L"abcd", 2, 2, L" hello "},
                    // A replaced selection that ended with a blank keeps one after the text...
                    FieldCase{"SelectionWithBlank", L"one two three", 4, 8, L"hello "},
                    // ...and one that did not gets none, or "one hello three" would
                    // become "one hello  three".
                    FieldCase{"SelectionWithoutBlank", L"one two three", 4, 7, L"hello"},
                    FieldCase{"SelectedAfterALetter", L"onetwo", 3, 6, L" hello"}),
    [](const testing::TestParamInfo<FieldCase>& info) { return info.param.name; });

// A gesture as the first stroke of a writing becomes its key.
struct GestureCase {
    const char* name;
    Points stroke;
    const wchar_t* typed;
};

class Gestures : public SystemClientTest, public testing::WithParamInterface<GestureCase> {};

TEST_P(Gestures, FirstStrokeGestureBecomesItsKey) {
    startClient();
    stroke(GetParam().stroke);
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_EQ(typedText(keys_.log), GetParam().typed);
    RecResultRef current = getCurrentRecResult();
    ASSERT_TRUE(current) << "a delivered key is a result of its own";
    EXPECT_FALSE(current->wordList()) << "with no words";
    EXPECT_EQ(manager_->getActiveClient(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    SystemClient, Gestures,
    testing::Values(
        GestureCase{"SpaceIsDownThenRight", polyline({{800, 800}, {800, 1000}, {1100, 1000}}),
                    L" "},
        GestureCase{"EnterIsDownThenLeft", polyline({{1100, 800}, {1100, 1000}, {800, 1000}}),
                    L"\r"},
        GestureCase{"TabIsUpThenRight", polyline({{800, 1000}, {800, 800}, {1100, 800}}), L"\t"},
        GestureCase{"BackspaceIsALineToTheLeft", polyline({{1200, 900}, {800, 900}}), L"\b"},
        GestureCase{"CopyIsLeftAndBack", polyline({{1200, 900}, {800, 904}, {1180, 908}}), L"^C"},
        GestureCase{"CutIsRightAndBack", polyline({{800, 900}, {1200, 904}, {820, 908}}), L"^X"},
        // The finer units of the gesture test wrap in 16 bits at every 2048
        // pixels (quarter pixel 8192): strokes across those lines, and one
        // wider than that.
        GestureCase{"SpaceAcrossPixel2048", polyline({{8100, 800}, {8100, 1000}, {8400, 1000}}),
                    L" "},
        GestureCase{"BackspaceAcrossPixel6144", polyline({{24800, 900}, {24400, 900}}), L"\b"},
        GestureCase{"BackspaceWiderThan2048Pixels", polyline({{29900, 900}, {20000, 904}}), L"\b"}),
    [](const testing::TestParamInfo<GestureCase>& info) { return info.param.name; });

// The pen event reaches the client from the recognition thread and the UI
// thread: a thread that read the pen before a later change was taken by the
// other comes too late, and the client keeps the newer pen and its cursor.
TEST_F(SystemClientTest, APenReadBeforeALaterChangeIsNotTakenOverIt) {
    startClient();
    const PenState early = manager_->getPenState();
    PenState later = early;
    later.width = early.width + 6;
    manager_->setPenState(later, false);  // taken at once, on this thread
    const HICON cursor = client_->record().cursor1;
    EXPECT_FALSE(client_->takePen(early.type, early.width, early.color, early.antialiasing,
                                  early.version, true));
    int32_t words[4];
    client_->penWords(words);
    EXPECT_EQ(words[1], later.width);
    EXPECT_EQ(client_->record().cursor1, cursor) << "its cursor stays";
}

// The word processor's selection is widened back by one character to read the
// character before the caret, then put back. A word processor that refuses to
// put it back would have the writing typed over that character: the writing
// is then not typed at all (it stays the current result), and the field keeps
// its text.
TEST_F(SystemClientTest, NothingIsTypedOverTheCharacterReadBeforeTheCaret) {
    targets::ComApartment apartment;
    targets::TargetProcess word(targets::TargetKind::Word);
    ASSERT_TRUE(word.ok()) << word.error();
    ASSERT_TRUE(word.setText(L"hello"));
    ASSERT_TRUE(word.setSelection(5, 5));
    ASSERT_TRUE(word.setFaults(targets::kFaultStartStaysBack));
    hooks_.focus = word.control();
    startClient();
    for (const Points& s : handwritingOf("world")) {
        ASSERT_EQ(manager_->activateClient(client_, word.control(), 200, 200), client_);
        auto* block = static_cast<InkPoint*>(allocMemory(static_cast<int>(s.size() * 4)));
        ASSERT_NE(block, nullptr);
        std::memcpy(block, s.data(), s.size() * sizeof(InkPoint));
        manager_->passStrokeToActiveClient(block, static_cast<int>(s.size()));
    }
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_EQ(typedText(keys_.log), L"") << "typed over the widened selection";
    EXPECT_EQ(currentText(), L"world") << "the writing is the current result";
    ASSERT_TRUE(word.setFaults(targets::kFaultNone));
    EXPECT_EQ(word.text(), L"hello");
}

// The start makes the client and registers it. When the registration fails
// and the client's thread does not end in time, the client must stay: the
// thread would go on in freed memory. Here the thread is held up at its first
// trace until the start has given up on it.
HANDLE g_holdRecognitionStart = nullptr;
LONG CALLBACK holdRecognitionStart(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    if (r->ExceptionCode == DBG_PRINTEXCEPTION_C && r->NumberParameters >= 2 &&
        strstr(reinterpret_cast<const char*>(r->ExceptionInformation[1]),
               "the recognition thread runs"))
        WaitForSingleObject(g_holdRecognitionStart, 30000);
    return EXCEPTION_CONTINUE_SEARCH;
}

TEST_F(SystemClientTest, AClientThatCannotRegisterStaysWhileItsThreadRuns) {
    g_holdRecognitionStart = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    PVOID handler = AddVectoredExceptionHandler(1, holdRecognitionStart);
    appGlobals().inkManager = nullptr;  // nothing to register with
    const size_t threads = sxtest::threadsOfThisProcess();
    EXPECT_FALSE(startSystemClient(GetModuleHandleW(nullptr)));
    SetEvent(g_holdRecognitionStart);
    // Let go, the thread sees that it was asked to end, and ends.
    EXPECT_TRUE(
        sxtest::pumpUntil([&] { return sxtest::threadsOfThisProcess() < threads + 1; }, 5000));
    RemoveVectoredExceptionHandler(handler);
    CloseHandle(g_holdRecognitionStart);
    appGlobals().inkManager = manager_;
    EXPECT_EQ(win::validateHeaps(), 0) << "the thread ran on in a freed client";
    // Its thread has ended now: the client that stayed can go.
    SystemClient* kept = getSystemClient();
    ASSERT_NE(kept, nullptr);
    delete kept;
}

TEST_F(SystemClientTest, UndoGestureRestoresThePreviousResult) {
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    write("world");
    ASSERT_TRUE(waitForDeliveries(2));
    ASSERT_EQ(currentText(), L"world");
    keys_.clear();
    setLastTypedLength(0);

    stroke(polyline({{1100, 1000}, {1100, 800}, {800, 800}}));  // up, then left
    ASSERT_TRUE(waitForDeliveries(3));
    EXPECT_EQ(typedText(keys_.log), L"^Z") << "the target undoes its last typing";
    EXPECT_EQ(currentText(), L"hello");
    EXPECT_EQ(getLastTypedLength(), 6) << "a replacement erases the restored result's text";
    EXPECT_EQ(deliveryLines().back(), "SystemClient: current result \"hello\"\n");
}

TEST_F(SystemClientTest, CaretGestureAloneIsPaste) {
    startClient();
    stroke(polyline({{800, 1100}, {950, 800}, {1100, 1100}}));
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_EQ(typedText(keys_.log), L"^V");
}

TEST_F(SystemClientTest, PunctuationGestureAloneAsksForThePunctuationBar) {
    ServiceWindowStandIn service;
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    ASSERT_TRUE(getCurrentRecResult());
    stroke(polyline({{900, 1200}, {904, 800}, {908, 1180}}));  // up and back down
    ASSERT_TRUE(sxtest::pumpUntil([&] { return service.count(WM_INK_OUTPUT_RECORD) == 1; }, 5000));
    EXPECT_FALSE(getCurrentRecResult()) << "the result is finished before the bar types";
    EXPECT_TRUE(isPreviousRecResultRestorable());
}

TEST_F(SystemClientTest, PendingGestureFollowedByInkIsInk) {
    ServiceWindowStandIn service;
    setTimeouts(1500, 1500);
    startClient();
    stroke(polyline({{900, 1200}, {904, 800}, {908, 1180}}));
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_EQ(service.count(WM_INK_OUTPUT_RECORD), 0) << "no punctuation bar";
    RecResultRef current = getCurrentRecResult();
    ASSERT_TRUE(current && current->wordList()) << "the writing was recognized";
    EXPECT_EQ(current->ink()->count(), static_cast<int>(handwritingOf("hello").size()) + 1)
        << "the gesture's stroke is part of the writing";
}

TEST_F(SystemClientTest, CorrectionGestureAloneOpensTheWordListForTheResult) {
    ServiceWindowStandIn service;
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    const int menusBefore = service.count(WM_INK_WORDLIST_FOR_SELECTION);
    stroke(polyline({{900, 800}, {904, 1200}, {908, 820}}));  // down and back up
    ASSERT_TRUE(sxtest::pumpUntil(
        [&] { return service.count(WM_INK_WORDLIST_FOR_SELECTION) == menusBefore + 1; }, 5000));
    EXPECT_EQ(currentText(), L"hello") << "the result stays for its correction";
}

TEST_F(SystemClientTest, CancelledWritingTypesNothing) {
    setTimeouts(1500, 600);
    startClient();
    for (const Points& s : handwritingOf("hello")) stroke(s);
    stroke({kInkFinishMarker, kInkSeparator});
    ASSERT_TRUE(sxtest::pumpUntil([&] { return trace_.contains("TRACE_IGNORE-->finish"); }, 5000));
    settle();
    EXPECT_EQ(keys_.log, "");
    EXPECT_FALSE(getCurrentRecResult());
    EXPECT_EQ(manager_->getActiveClient(), nullptr);
}

TEST_F(SystemClientTest, CancelMarkerWithoutWritingStartsNone) {
    startClient();
    stroke({kInkFinishMarker, kInkSeparator});
    settle();
    EXPECT_EQ(keys_.log, "");
    EXPECT_FALSE(getCurrentRecResult());
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_EQ(currentText(), L"hello") << "the next writing starts afresh";
}

TEST_F(SystemClientTest, WindowPropertyNamesTheProfile) {
    ServiceWindowStandIn service;
    const ATOM atom = GlobalAddAtomW(L"#sys-correct");
    ASSERT_TRUE(SetPropW(edit_, CProfileChooser::kWindowProperty,
                         reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom))));
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_EQ(getLastWritingProfile(), L"#sys-correct");
    const std::wstring typed = typedText(keys_.log);
    ASSERT_FALSE(typed.empty());
    EXPECT_NE(typed.back(), L' ') << "that profile adds no space after: " << typed.c_str();
    EXPECT_FALSE(getRecMgr().profileChooser().isSet()) << "a choice for one writing";
    RemovePropW(edit_, CProfileChooser::kWindowProperty);
    GlobalDeleteAtom(atom);
}

// The focused field of the bound application, served as a hand-made tree
// (Wine's own window objects answer nothing the classification asks).
FakeAccessible* g_boundField = nullptr;
bool boundFieldOf(HWND, CAccElem& element) {
    element = g_boundField ? CAccElem(g_boundField, 0) : CAccElem();
    return g_boundField != nullptr;
}

TEST_F(SystemClientTest, BindingTreeNamesTheProfileOfTheField) {
    FakeAccessible* desktop = FakeAccessible::make(ROLE_SYSTEM_WINDOW);
    desktop->name = L"Desktop";
    FakeAccessible* app = FakeAccessible::make(ROLE_SYSTEM_WINDOW);
    app->name = L"Notes";
    app->parent = desktop;
    g_boundField = FakeAccessible::make(ROLE_SYSTEM_TEXT);
    g_boundField->name = L"Subject";
    g_boundField->parent = app;
    CProfileChooser::setElementSource(boundFieldOf);
    lstrcpyW(hooks_.targetModule, L"C:\\Apps\\Notes.exe");
    const int savedContextReco = generalSettings().useContextReco;
    CBindElem record;
    record.name = L"Subj*";
    record.role = ROLE_SYSTEM_TEXT;
    record.id = record.pos = record.winId = -1;
    record.signature = L"9";
    record.profile = L"#sys-correct";
    getRecMgr().profileChooser().setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"", record);

    struct Case {
        const char* what;
        int useContextReco;
        const wchar_t* profile;
    } cases[] = {
        {"bound while context lookups are on", 1, L"#sys-correct"},
        {"the default while they are off", 0, L""},
    };
    for (const Case& c : cases) {
        generalSettings().useContextReco = c.useContextReco;
        if (!client_) startClient();
        const size_t before = deliveryLines().size();
        write("hello");
        ASSERT_TRUE(waitForDeliveries(before + 1)) << c.what;
        EXPECT_EQ(getLastWritingProfile(), c.profile) << c.what;
    }

    generalSettings().useContextReco = savedContextReco;
    getRecMgr().profileChooser().setBindTree(CBindTree());
    hooks_.targetModule[0] = L'\0';
    CProfileChooser::setElementSource(nullptr);
    g_boundField->Release();
    g_boundField = nullptr;
    app->Release();
    desktop->Release();
}

TEST_F(SystemClientTest, ProfileStickerShowsTheChosenProfile) {
    ServiceWindowStandIn service;
    getRecMgr().profileChooser().setChoice(L"#sys-correct", PROFILE_SCOPE_ONCE);
    startClient();
    stroke(handwritingOf("hello").front());
    ASSERT_TRUE(sxtest::pumpUntil([&] { return service.count(WM_INK_SHOW_STICKERS) > 0; }, 5000));
    std::vector<std::wstring> texts;
    stickers().forEach([&](const CSticker& s) { texts.push_back(s.text()); });
    EXPECT_EQ(texts, std::vector<std::wstring>{L"#sys-correct"});
    ASSERT_TRUE(waitForDeliveries(1));
}

TEST_F(SystemClientTest, DeliveryClearsTheProfileStickerOnTheServiceWindow) {
    ServiceWindowStandIn service;
    getRecMgr().profileChooser().setChoice(L"#sys-correct", PROFILE_SCOPE_ONCE);
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_GE(service.count(WM_INK_CLEAR_STICKERS), 2) << "before the sticker and at delivery";
    EXPECT_EQ(stickers().stickerCount(), 0u);
}

TEST_F(SystemClientTest, AutoPenOffModeArmsTheServiceTimerAfterAWriting) {
    ServiceWindowStandIn service;
    const int on = 1, oneSecond = 1;
    WriteSetting(nullptr, L"autoPenOffMode", &on, SETTING_NUMBER, 0);
    WriteSetting(nullptr, L"autoPenOffTimeout", &oneSecond, SETTING_NUMBER_DIRECT, 0);
    readGeneralSettings();
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_TRUE(sxtest::pumpUntil([&] { return service.timerFired(TIMER_AUTO_PEN_OFF); }, 5000))
        << "timer 20 of the service window, armed for the recognition thread";
}

// A stored time-out too long for the timer (seconds x 1000 beyond 32 bits)
// waits as long as the timer can, not the milliseconds left after a wrap
// (4294968 s would be 704 ms).
TEST_F(SystemClientTest, AutoPenOffTimeoutBeyondTheTimersRangeDoesNotWrap) {
    ServiceWindowStandIn service;
    const int on = 1, tooLong = 4294968;
    WriteSetting(nullptr, L"autoPenOffMode", &on, SETTING_NUMBER, 0);
    WriteSetting(nullptr, L"autoPenOffTimeout", &tooLong, SETTING_NUMBER_DIRECT, 0);
    readGeneralSettings();
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    sxtest::pumpUntil([] { return false; }, 1500);
    EXPECT_FALSE(service.timerFired(TIMER_AUTO_PEN_OFF)) << "the time-out wrapped";
    EXPECT_TRUE(KillTimer(service.window(), TIMER_AUTO_PEN_OFF)) << "the timer is armed";
}

TEST_F(SystemClientTest, UnknownProfileNameFallsBackToTheDefault) {
    getRecMgr().profileChooser().setChoice(L"no such profile", PROFILE_SCOPE_ONCE);
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_EQ(getLastWritingProfile(), L"");
    EXPECT_EQ(typedText(keys_.log), L"hello ");
}

TEST_F(SystemClientTest, ProfilesReloadedDuringAWritingStillRecognizeItWhole) {
    setTimeouts(3000, 600);
    startClient();
    const std::vector<Points> strokes = handwritingOf("hello");
    const size_t half = strokes.size() / 2;
    for (size_t i = 0; i < half; ++i) stroke(strokes[i]);
    RecModule* module = getRecMgr().getModule(L"English");
    // The thread has opened its session with the first strokes.
    ASSERT_TRUE(sxtest::pumpUntil(
        [&] {
            RecModule::ProfileLock lock = module->lockProfiles();
            RecProfile* profile = module->findProfile(L"#sys-default");
            return profile && profile->isSessionOpen();
        },
        5000));
    ASSERT_TRUE(module->loadProfiles());  // every profile object is made anew
    for (size_t i = half; i < strokes.size(); ++i) stroke(strokes[i]);
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_TRUE(trace_.contains("was reloaded, the session starts again"));
    EXPECT_EQ(currentText(), L"hello");
}

TEST_F(SystemClientTest, StrokeOfAnInactiveClientIsNotKept) {
    startClient();
    auto* block = static_cast<InkPoint*>(allocMemory(3 * sizeof(InkPoint)));
    block[0] = makeInkPoint(400, 400);
    block[1] = makeInkPoint(480, 400);
    block[2] = kInkSeparator;
    EXPECT_EQ(client_->onStrokes(block, 3), 0);
    settle();
    EXPECT_EQ(keys_.log, "");
}

TEST_F(SystemClientTest, DeletingTheClientStopsItsThreadMidWriting) {
    const size_t threadsBefore = sxtest::threadsOfThisProcess();
    setTimeouts(3000, 600);
    startClient();
    for (const Points& s : handwritingOf("hello")) stroke(s);
    settle(200);
    manager_->unregisterClient(client_, true);
    client_ = nullptr;
    EXPECT_EQ(sxtest::threadsOfThisProcess(), threadsBefore) << "the thread was joined";
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"SystemClientRecognitionEvent");
    EXPECT_EQ(event, nullptr) << "the event was closed";
    if (event) CloseHandle(event);
    EXPECT_EQ(keys_.log, "") << "nothing typed once the client went";
}

// ---- settings ----

TEST_F(SystemClientTest, LongStoredWaitRunsAs2500) {
    setTimeouts(20000, 600);
    startClient();
    EXPECT_EQ(client_->settings().waitNextStrokeTimeout, 2500);
}

// A negative wait, taken as a thread wait, would never end.
TEST_F(SystemClientTest, StoredWaitsRunWithinTheirRanges) {
    setTimeouts(-5, -1);
    startClient();
    EXPECT_EQ(client_->settings().waitNextStrokeTimeout, 2500);
    EXPECT_EQ(client_->settings().waitGestureEndTimeout, 600);
    EXPECT_EQ(waitNextStrokeTimeout(), 2500) << "the pen-event thread's copy";

    struct {
        int next, gestureEnd, wantNext, wantGestureEnd;
    } cases[] = {
        {-1, 600, 2500, 600}, {20000, 300, 2500, 300},  {1000, -1, 1000, 600}, {400, -1, 400, 400},
        {0, 0, 0, 0},         {10000, 700, 10000, 700},
    };
    for (const auto& c : cases) {
        setTimeouts(c.next, c.gestureEnd);
        client_->onNotify(INK_EVENT_READ_ICON_SETTINGS, 0);
        EXPECT_EQ(client_->settings().waitNextStrokeTimeout, c.wantNext) << c.next;
        EXPECT_EQ(client_->settings().waitGestureEndTimeout, c.wantGestureEnd)
            << c.next << ", " << c.gestureEnd;
    }

    const int negative = -300;
    ASSERT_TRUE(setSystemClientTimeouts(&negative, nullptr, nullptr));
    EXPECT_EQ(client_->settings().waitNextStrokeTimeout, 2500);
    EXPECT_EQ(waitNextStrokeTimeout(), 2500);
}

TEST_F(SystemClientTest, SettingsAreWrittenAndReadUnderTheClientsName) {
    startClient();
    const int wait = 700, start = 321;
    ASSERT_TRUE(setSystemClientTimeouts(&wait, &start, nullptr));
    EXPECT_EQ(client_->settings().waitGestureEndTimeout, 200) << "below the new wait already";
    const int shorter = 150;
    ASSERT_TRUE(setSystemClientTimeouts(&shorter, nullptr, nullptr));
    EXPECT_EQ(client_->settings().waitGestureEndTimeout, 150) << "never above the wait";

    int stored = 0;
    ASSERT_TRUE(ReadSetting(L"InnerSystemClient", L"startHoldTimeout", &stored, SETTING_NUMBER, 0));
    EXPECT_EQ(stored, 321);
    wchar_t recDir[128] = L"";
    ASSERT_TRUE(ReadSetting(L"InnerSystemClient", L"recDir", recDir, SETTING_STRING, 128));
    EXPECT_STREQ(recDir, L"English");

    const int other = 900;
    WriteSetting(L"InnerSystemClient", L"waitNextStrokeTimeout", &other, SETTING_NUMBER_DIRECT, 0);
    client_->onNotify(INK_EVENT_READ_ICON_SETTINGS, 0);
    int wait2 = 0, hold = 0;
    ASSERT_TRUE(getSystemClientTimeouts(&wait2, &hold, nullptr));
    EXPECT_EQ(wait2, 900);
    EXPECT_EQ(hold, 321);
}

// "recDir" is rewritten on the UI thread (settings read again, 5; the
// language changed, 7) while the recognition thread reads it: every read is
// one of the values written, whole.
TEST_F(SystemClientTest, RecDirReadWhileNotificationsRewriteItIsAlwaysAWrittenValue) {
    startClient();
    const std::wstring language = getRecMgr().currentLanguage();
    const std::wstring stored[] = {L"Xy", std::wstring(120, L'L') + L"ong"};
    std::atomic<bool> reading{false}, done{false};
    std::atomic<int> reads{0};
    std::wstring odd;
    std::thread reader([&] {
        reading = true;
        while (!done) {
            const std::wstring dir = client_->recDir();
            if (dir != language && dir != stored[0] && dir != stored[1] && odd.empty()) odd = dir;
            ++reads;
        }
    });
    while (!reading) Sleep(0);
    for (int i = 0; i < 100; ++i) {
        if (i % 3 == 0) manager_->broadcastEvent(7, 0);  // the language changed
        const std::wstring& value = stored[i % 2];
        WriteSetting(L"InnerSystemClient", L"recDir", const_cast<wchar_t*>(value.c_str()),
                     SETTING_STRING, 0);
        manager_->broadcastEvent(INK_EVENT_READ_ICON_SETTINGS, 0);
    }
    done = true;
    reader.join();
    EXPECT_TRUE(odd.empty()) << "a read that was never written: "
                             << std::string(odd.begin(), odd.end());
    EXPECT_GT(reads, 0);
    EXPECT_EQ(client_->recDir(), stored[1]) << "the last value read from the settings";
}

// ---- handwritten macros ----

// A macro set in the English module's data folder for the life of the object;
// the program's typing is the player's output, as at start-up.
class MacroFile {
  public:
    MacroFile(const std::wstring& dataFolder, const char* xml)
        : path_(dataFolder + L"\\English\\macro.xml") {
        FILE* f = _wfopen(path_.c_str(), L"wb");
        if (f) {
            fputs(xml, f);
            fclose(f);
        }
        setMacroLink(&inkMacroLink());
        loaded = getRecMgr().getModule(L"English")->loadMacros();
    }
    ~MacroFile() {
        DeleteFileW(path_.c_str());
        getRecMgr().getModule(L"English")->loadMacros();
        setMacroLink(nullptr);
    }
    bool loaded = false;

  private:
    std::wstring path_;
};

// A closed stroke around the strokes, as the user circles a writing.
Points loopAround(const std::vector<Points>& strokes) {
    int left = 1 << 30, top = 1 << 30, right = -(1 << 30), bottom = -(1 << 30);
    for (const Points& s : strokes)
        for (const InkPoint& p : s) {
            if (p.y == kInkSeparator.y && p.x == kInkSeparator.x) continue;
            left = std::min<int>(left, p.x);
            right = std::max<int>(right, p.x);
            top = std::min<int>(top, p.y);
            bottom = std::max<int>(bottom, p.y);
        }
    const int m = 60;
    return polyline({{left - m, top - m},
                     {right + m, top - m},
                     {right + m, bottom + m},
                     {left - m, bottom + m},
                     {left - m, top - m + 8}});
}

TEST_F(SystemClientTest, CircledMacroNameRunsItsMacroInsteadOfTyping) {
    MacroFile macros(data_->path(),
                     "<macroses>\r\n"
                     "\t<macro name=\"sig\" type=\"keystroke\">Best regards{Enter}Ann</macro>\r\n"
                     "\t<macro name=\"home\" type=\"keystroke\">{Ctrl+{Home}}</macro>\r\n"
                     "</macroses>\r\n");
    ASSERT_TRUE(macros.loaded);
    startClient();
    const std::vector<Points> strokes = handwritingOf("sig");
    for (const Points& s : strokes) stroke(s);
    stroke(loopAround(strokes));
    ASSERT_TRUE(sxtest::pumpUntil([&] { return typedText(keys_.log).size() >= 16; }, 10000))
        << "typed: " << testing::PrintToString(typedText(keys_.log));
    settle();
    EXPECT_EQ(typedText(keys_.log), L"Best regards\rAnn") << "the macro, not the word";
    EXPECT_EQ(currentText(), L"(none)") << "nothing was delivered as a result";
}

TEST_F(SystemClientTest, UncircledMacroNameIsTypedAsText) {
    MacroFile macros(data_->path(),
                     "<macroses><macro name=\"hello\" type=\"keystroke\">Best regards</macro>"
                     "</macroses>");
    ASSERT_TRUE(macros.loaded);
    startClient();
    write("hello");
    ASSERT_TRUE(waitForDeliveries(1));
    EXPECT_EQ(typedText(keys_.log), L"hello ");
}

// ---- the rules ----

TEST(SystemClientRules, ClosedLoopMustCoverTwoThirdsOfTheWriting) {
    struct Case {
        RECT writing, stroke;
        bool covers;
    };
    const Case cases[] = {
        {{0, 0, 100, 30}, {-10, -10, 110, 40}, true},  // around it
        {{0, 0, 100, 30}, {0, 0, 50, 30}, false},      // half of it
        {{0, 0, 90, 30}, {0, 0, 60, 30}, true},        // exactly two thirds
        {{0, 0, 90, 30}, {0, 0, 59, 30}, false},       // just below
        {{0, 0, 100, 30}, {200, 0, 300, 30}, false},   // beside it
    };
    for (const Case& c : cases)
        EXPECT_EQ(strokeCoversWriting(c.writing, c.stroke), c.covers)
            << c.stroke.left << "," << c.stroke.top << "," << c.stroke.right << ","
            << c.stroke.bottom;
}

}  // namespace
