// The 32-bit hook library stand-in, called by name as the program calls it:
// the shared block and the queue event, the pen-event ring, the hooks that
// follow another application's focus and report Escape, the mouse hook that
// captures pen strokes, and their removal.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <cwctype>
#include <string>
#include <thread>
#include <vector>

#include "outside/Scribix35.h"
#include "ink/InkPointList.h"
#include "ink/MouseEmulation.h"
#include "core/ServiceMessages.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/SharedBlockView.h"
#include "tests/targets/TargetClient.h"

namespace {

using sxtest::pumpUntil;
using sxtest::waitUntil;

// Stands for the program's service window: counts what the library posts.
class ServiceWindowStandIn {
  public:
    ServiceWindowStandIn() {
        window_ = sxtest::createTestWindow(L"SxServiceStandIn", proc, WS_EX_TOOLWINDOW, WS_POPUP,
                                           -200, -200, 10, 10);
        received().clear();
    }
    ~ServiceWindowStandIn() { DestroyWindow(window_); }
    HWND window() const { return window_; }
    static std::vector<MSG>& received() {
        static std::vector<MSG> messages;
        return messages;
    }
    static size_t count(UINT message) {
        return std::count_if(received().begin(), received().end(),
                             [&](const MSG& m) { return m.message == message; });
    }
    // The answer to the pen-down question (3026).
    static LRESULT& penDownAnswer() {
        static LRESULT answer = 0;
        return answer;
    }

  private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m >= WM_INK_START_SERVICES && m <= WM_INK_SHOW_CURSOR) {
            MSG msg = {w, m, wp, lp, 0, {0, 0}};
            received().push_back(msg);
        }
        if (m == WM_INK_PEN_DOWN) return penDownAnswer();
        return DefWindowProcW(w, m, wp, lp);
    }
    HWND window_;
};

// A thread that installs the hooks and keeps its message loop, as the program's hook thread.
class HookThread {
  public:
    explicit HookThread(HWND service) {
        thread_ = std::thread([this, service] {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
            id_ = GetCurrentThreadId();
            result_ = InsertHooks(nullptr, service);
            ready_ = true;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        });
        waitUntil([this] { return ready_.load(); }, 5000);
    }
    ~HookThread() {
        PostThreadMessageW(id_, WM_QUIT, 0, 0);
        thread_.join();
    }
    int result() const { return result_; }

  private:
    std::thread thread_;
    std::atomic<DWORD> id_{0};
    std::atomic<bool> ready_{false};
    std::atomic<int> result_{0};
};

bool endsWithNoCase(const std::wstring& text, const std::wstring& tail) {
    if (text.size() < tail.size()) return false;
    return std::equal(tail.rbegin(), tail.rend(), text.rbegin(),
                      [](wchar_t a, wchar_t b) { return towlower(a) == towlower(b); });
}

class Scribix35Test : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        journal_ = new sxtest::Journal;
        // Read once, at the library's first call.
        SetEnvironmentVariableW(L"SCRIBIX35_JOURNAL", journal_->path().c_str());
        ASSERT_EQ(SetInitValues(), 1);
    }
    static void TearDownTestSuite() {
        delete journal_;
        journal_ = nullptr;
    }
    static sxtest::Journal* journal_;
};
sxtest::Journal* Scribix35Test::journal_ = nullptr;

TEST_F(Scribix35Test, SetInitValuesMakesTheBlockAndTheQueueEvent) {
    SharedBlockView block;
    ASSERT_NE(block.get(), nullptr) << "the block is named sxMapFile_4_0_42";
    EXPECT_EQ(block->_iCheckSize, SHARED_DATA_SIZE);
    EXPECT_EQ(block->_iEnabled, 1);
    HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"InkDriverQueueEvent");
    EXPECT_NE(event, nullptr);
    if (event) CloseHandle(event);
    EXPECT_EQ(SetInitValues(), 1) << "a second call keeps what is there";
    EXPECT_FALSE(journal_->calls("SetInitValues").empty());
}

TEST_F(Scribix35Test, RingTakesPointsAndSignalsTheQueueEvent) {
    PenEventRing* ring = getEventStack(0);
    ASSERT_NE(ring, nullptr);
    SharedBlockView block;
    const auto* shared = reinterpret_cast<const PenEventRing*>(block->_creatorArea);
    HANDLE event = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, L"InkDriverQueueEvent");
    ASSERT_NE(event, nullptr);
    ResetEvent(event);
    ring->readIndex = ring->writeIndex;

    setInkDriverParams(1, 1, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(isTabletInputMissing(), 1);
    const LONG at = ring->writeIndex;
    ASSERT_EQ(putPointToClientExternal(400, 804), 1);
    EXPECT_EQ(static_cast<uint32_t>(ring->entries[at]), (804u << 16) | 400u);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(isTabletInputMissing(), 0);
    ASSERT_EQ(putPointToClientExternal(30000, -1), 1);
    EXPECT_EQ(static_cast<uint32_t>(ring->entries[(at + 1) % PEN_EVENT_RING_SIZE]), 0xFFFF7530u);
    EXPECT_EQ(shared->writeIndex, ring->writeIndex) << "the ring lives in the shared block";

    // Unread, the ring holds 499 entries; the next one is refused until the reader moves.
    int stored = 2;
    while (putPointToClientExternal(stored, stored)) ++stored;
    EXPECT_EQ(stored, PEN_EVENT_RING_SIZE - 1);
    const LONG last = ring->writeIndex;
    EXPECT_EQ(last, (at + PEN_EVENT_RING_SIZE - 1) % PEN_EVENT_RING_SIZE);
    ring->readIndex = last;
    EXPECT_EQ(putPointToClientExternal(1, 1), 1) << "and goes on around the ring";
    EXPECT_EQ(ring->entries[last], (1 << 16) | 1);
    EXPECT_EQ(ring->writeIndex, (last + 1) % PEN_EVENT_RING_SIZE);
    setInkDriverParams(0, 0, 1, 0, 0, 0, 0, 0);
    CloseHandle(event);
}

TEST_F(Scribix35Test, HooksFollowTheFocusOfAnotherApplicationAndReportEscape) {
    ServiceWindowStandIn service;
    HookThread hooks(service.window());
    ASSERT_EQ(hooks.result(), 1);
    SharedBlockView block;
    EXPECT_EQ(block->_hwndMain,
              static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(service.window())));

    // Another application, which brings its edit field to the front and focuses it.
    targets::TargetProcess target(targets::TargetKind::Edit);
    ASSERT_TRUE(target.ok()) << target.error();
    const auto reportedFront = [&] {
        for (const MSG& m : ServiceWindowStandIn::received())
            if (m.message == WM_INK_FOREGROUND_CHANGED &&
                reinterpret_cast<HWND>(m.wParam) == target.frame())
                return true;
        return false;
    };
    ASSERT_TRUE(pumpUntil(reportedFront, 10000))
        << "3025 with its window when the other application came to the front";
    ASSERT_TRUE(pumpUntil([&] { return getLastFocusWindow() == target.control(); }, 5000));
    EXPECT_EQ(getLastForegroundWindow(), target.frame());
    EXPECT_EQ(getTargetFgrWindow(), target.frame());
    EXPECT_EQ(isEditTextInFocus(), 1);
    EXPECT_NE(askLastFocusKeyboardLayout(), nullptr);
    UI_ELEM_INFO element = {};
    RECT where = {};
    ASSERT_EQ(getLastFocusedElemInfo(&element, &where), 1);
    EXPECT_EQ(element.hwnd, target.control());
    EXPECT_GT(where.right - where.left, 0);
    const wchar_t* module = getTargetModuleName();
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(endsWithNoCase(module, L"target_edit.exe")) << module;

    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    EXPECT_TRUE(pumpUntil([] { return ServiceWindowStandIn::count(WM_INK_ESCAPE) == 1; }, 5000))
        << "3033 for the Escape key";

    // Removed from another thread than the one that set them.
    EXPECT_EQ(RemoveAllHooks(), 1);
    EXPECT_EQ(block->_hwndMain, 0u) << "the 64-bit side sees the program has gone";
    const size_t escapes = ServiceWindowStandIn::count(WM_INK_ESCAPE);
    SendInput(2, keys, sizeof(INPUT));
    pumpUntil([] { return false; }, 200);
    EXPECT_EQ(ServiceWindowStandIn::count(WM_INK_ESCAPE), escapes) << "no hook left";
    EXPECT_EQ(journal_->calls("InsertHooks").size(), 1u);
    EXPECT_EQ(journal_->calls("RemoveAllHooks").size(), 1u);
}

TEST_F(Scribix35Test, AFieldFocusedBeforeTheHooksAreSetIsKnownAtOnce) {
    // Another application is in front with its edit focused before the
    // program starts: no focus event will come until the user moves it.
    targets::TargetProcess target(targets::TargetKind::Edit);
    ASSERT_TRUE(target.ok()) << target.error();
    ASSERT_TRUE(target.activate());
    ASSERT_TRUE(pumpUntil([&] { return GetForegroundWindow() == target.frame(); }, 5000));

    ServiceWindowStandIn service;
    HookThread hooks(service.window());
    ASSERT_EQ(hooks.result(), 1);
    EXPECT_EQ(getLastFocusWindow(), target.control()) << "the field that has the focus";
    EXPECT_EQ(getLastForegroundWindow(), target.frame());
    EXPECT_EQ(getTargetFgrWindow(), target.frame());
    EXPECT_EQ(isEditTextInFocus(), 1);
    EXPECT_TRUE(pumpUntil([] { return ServiceWindowStandIn::count(WM_INK_FOREGROUND_CHANGED) > 0; },
                          2000))
        << "the program hears of the front window as of a change";
    RemoveAllHooks();
}

TEST_F(Scribix35Test, HooksCanBeSetAgainAfterRemoval) {
    ServiceWindowStandIn service;
    {
        HookThread hooks(service.window());
        EXPECT_EQ(hooks.result(), 1);
        EXPECT_EQ(RemoveAllHooks(), 1);
    }
    HookThread again(service.window());
    EXPECT_EQ(again.result(), 1);
    EXPECT_EQ(RemoveAllHooks(), 1);
}

TEST_F(Scribix35Test, KeepsWhatTheProgramSets) {
    setTouchParams(11, 12, 250, 120, 175);
    int values[5] = {};
    getTouchParams(&values[0], &values[1], &values[2], &values[3], &values[4]);
    EXPECT_EQ(std::vector<int>(values, values + 5), (std::vector<int>{11, 12, 250, 120, 175}));
    getTouchParams(nullptr, nullptr, nullptr, nullptr, nullptr);

    const RECT area = {0, 0, 100, 100};
    setHookTabletMode(0, 15, 1, 6, &area);
    setMouseTransparent();
    unsetMouseTransparent();
    EXPECT_EQ(journal_->calls("setHookTabletMode")
                  .back()
                  .rfind("setHookTabletMode 0 15 1 6 0,0,100,100", 0),
              0u);
    EXPECT_EQ(journal_->calls("setMouseTransparent").size(), 1u);
    EXPECT_NE(getMessageToClientAddress(), nullptr);
    EXPECT_NE(getLastInputType() & SX_INPUT_PEN, 0) << "after points from a tablet";
}

// A window of this process that counts the clicks it gets.
class ClickTarget {
  public:
    ClickTarget() {
        window_ = sxtest::createTestWindow(L"SxClickTarget", proc, WS_EX_TOPMOST,
                                           WS_POPUP | WS_VISIBLE, 200, 200, 200, 100);
        clicks() = 0;
    }
    ~ClickTarget() { DestroyWindow(window_); }
    HWND window() const { return window_; }
    static int& clicks() {
        static int n = 0;
        return n;
    }

  private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_LBUTTONDOWN || m == WM_LBUTTONUP) ++clicks();
        return DefWindowProcW(w, m, wp, lp);
    }
    HWND window_;
};

// Mouse input as a pen or a mouse gives it; `tag` is its extra information.
void mouseAt(DWORD flags, int x, int y, ULONG_PTR tag = 0) {
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = absoluteMouseCoordinate(x, GetSystemMetrics(SM_CXSCREEN));
    input.mi.dy = absoluteMouseCoordinate(y, GetSystemMetrics(SM_CYSCREEN));
    input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
    input.mi.dwExtraInfo = tag;
    SendInput(1, &input, sizeof input);
}

void drag(ULONG_PTR tag = 0) {
    mouseAt(0, 210, 210, tag);
    mouseAt(MOUSEEVENTF_LEFTDOWN, 210, 210, tag);
    mouseAt(0, 230, 215, tag);
    mouseAt(0, 230, 215, tag);
    mouseAt(0, 250, 220, tag);
    mouseAt(MOUSEEVENTF_LEFTUP, 250, 220, tag);
}

uint32_t entry(int x, int y) { return inkPointValue(makeInkPoint(x, y)); }

// The unread entries of the ring, which are then taken as read.
std::vector<uint32_t> takeRing(PenEventRing* ring) {
    std::vector<uint32_t> out;
    while (ring->readIndex != ring->writeIndex) {
        out.push_back(static_cast<uint32_t>(ring->entries[ring->readIndex]));
        ring->readIndex = (ring->readIndex + 1) % PEN_EVENT_RING_SIZE;
    }
    return out;
}

class PenCapture : public Scribix35Test {
  protected:
    void SetUp() override {
        ServiceWindowStandIn::penDownAnswer() = 2;
        ring_ = getEventStack(0);
        ASSERT_NE(ring_, nullptr);
        ring_->readIndex = ring_->writeIndex;
        setInkDriverParams(1, 0, 1, 0, 0, 0, 0, 0);
        unsetMouseTransparent();
        lockInking(0);
        hooks_ = std::make_unique<HookThread>(service_.window());
        ASSERT_EQ(hooks_->result(), 1);
        pumpUntil([] { return false; }, 50);
    }
    void TearDown() override {
        setInkDriverParams(0, 0, 1, 0, 0, 0, 0, 0);
        RemoveAllHooks();
        mouseAt(MOUSEEVENTF_LEFTUP, 5, 5);
        pumpUntil([] { return false; }, 50);
    }
    // Runs the drag and waits until the input went through the hook.
    void dragAndSettle(ULONG_PTR tag = 0) {
        drag(tag);
        pumpUntil([] { return false; }, 200);
    }

    ServiceWindowStandIn service_;
    std::unique_ptr<HookThread> hooks_;  // removed in TearDown, then the thread ends
    PenEventRing* ring_ = nullptr;
};

TEST_F(PenCapture, AcceptedPressBecomesOneStrokeInTheRingAndNoClick) {
    ClickTarget target;
    HANDLE event = OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE, L"InkDriverQueueEvent");
    ResetEvent(event);
    dragAndSettle();
    ASSERT_EQ(ServiceWindowStandIn::count(WM_INK_PEN_DOWN), 1u) << "asked once, at the press";
    const MSG& asked = *std::find_if(ServiceWindowStandIn::received().begin(),
                                     ServiceWindowStandIn::received().end(),
                                     [](const MSG& m) { return m.message == WM_INK_PEN_DOWN; });
    EXPECT_EQ(reinterpret_cast<HWND>(asked.wParam), target.window()) << "the window under the pen";
    EXPECT_EQ(asked.lParam, MAKELPARAM(210, 210));
    EXPECT_EQ(ServiceWindowStandIn::count(WM_INK_LAYER_SHOW), 1u);
    EXPECT_EQ(
        takeRing(ring_),
        (std::vector<uint32_t>{entry(840, 840), inkPointValue(kInkLiveInkMarker), entry(920, 860),
                               entry(1000, 880), inkPointValue(kInkSeparator)}))
        << "quarter pixels, the live-ink marker after the first, one entry per position";
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "the reader was woken";
    CloseHandle(event);
    EXPECT_EQ(ClickTarget::clicks(), 0) << "the window under the pen got no click";

    // The program ends the inking period: the finish marker, a separator, the layer hides.
    setInkDriverParams(1, 1, 1, 500, 500, 1, 0, 0);
    setInkDriverParams(1, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(takeRing(ring_), (std::vector<uint32_t>{inkPointValue(kInkFinishMarker),
                                                      inkPointValue(kInkSeparator)}));
    pumpUntil([] { return false; }, 50);
    EXPECT_EQ(ServiceWindowStandIn::count(WM_INK_LAYER_HIDE), 1u);
}

// A service window on a thread of its own that answers the pen-down question
// with ink only when the test opens the gate.
class GatedService {
  public:
    GatedService() : gate_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([this] {
            window_ = sxtest::createTestWindow(L"SxGatedService", proc, WS_EX_TOOLWINDOW, WS_POPUP,
                                               -200, -200, 10, 10);
            SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            ready_ = true;
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
            DestroyWindow(window_);
        });
        waitUntil([this] { return ready_.load(); }, 5000);
    }
    ~GatedService() {
        SetEvent(gate_);
        PostThreadMessageW(GetWindowThreadProcessId(window_, nullptr), WM_QUIT, 0, 0);
        thread_.join();
        CloseHandle(gate_);
    }
    HWND window() const { return window_; }
    void open() { SetEvent(gate_); }
    int asked() const { return asked_; }

  private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<GatedService*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        if (self && m == WM_INK_PEN_DOWN) {
            ++self->asked_;
            return WaitForSingleObject(self->gate_, 5000) == WAIT_OBJECT_0 ? 2 : 0;
        }
        return DefWindowProcW(w, m, wp, lp);
    }
    HANDLE gate_;
    HWND window_ = nullptr;
    std::thread thread_;
    std::atomic<bool> ready_{false};
    std::atomic<int> asked_{0};
};

// The program answers late (its UI thread is busy): the hook must not wait
// for it, or the pointer's other moves would wait with it and the system
// would skip the hook. The press is held and inked once the answer comes; a
// press that comes while the one before is still being asked about (quick
// strokes of one writing) waits its turn instead of going to the window under
// the pen as a click.
TEST_F(Scribix35Test, PressesAreHeldUntilTheProgramAnswers) {
    const uint32_t separator = inkPointValue(kInkSeparator);
    const uint32_t live = inkPointValue(kInkLiveInkMarker);
    const struct {
        const char* name;
        void (*input)();
        int asks;
        std::vector<uint32_t> ring;
    } cases[] = {
        {"one stroke",
         [] { drag(); },
         1,
         {entry(840, 840), live, entry(920, 860), entry(1000, 880), separator}},
        {"a stroke, a dot and a short line before any answer",
         [] {
             drag();
             mouseAt(MOUSEEVENTF_LEFTDOWN, 260, 200);
             mouseAt(MOUSEEVENTF_LEFTUP, 260, 200);
             mouseAt(0, 270, 205);
             mouseAt(MOUSEEVENTF_LEFTDOWN, 270, 205);
             mouseAt(0, 280, 205);
             mouseAt(MOUSEEVENTF_LEFTUP, 280, 205);
         },
         3,
         {entry(840, 840), live, entry(920, 860), entry(1000, 880), separator, entry(1040, 800),
          live, separator, entry(1080, 820), live, entry(1120, 820), separator}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PenEventRing* ring = getEventStack(0);
        ASSERT_NE(ring, nullptr);
        ring->readIndex = ring->writeIndex;
        setInkDriverParams(1, 0, 1, 0, 0, 0, 0, 0);
        unsetMouseTransparent();
        lockInking(0);
        ClickTarget target;
        GatedService service;
        HookThread hooks(service.window());
        ASSERT_EQ(hooks.result(), 1);
        c.input();
        pumpUntil([] { return false; }, 100);
        EXPECT_TRUE(takeRing(ring).empty()) << "no point before the answer";
        service.open();
        EXPECT_TRUE(pumpUntil([&] { return service.asked() == c.asks; }, 3000));
        pumpUntil([] { return false; }, 200);
        EXPECT_EQ(service.asked(), c.asks) << "asked once for each press";
        EXPECT_EQ(takeRing(ring), c.ring)
            << "the held points of each press in order, each release's separator";
        EXPECT_EQ(ClickTarget::clicks(), 0) << "no press went to the window as a click";
        setInkDriverParams(0, 0, 1, 0, 0, 0, 0, 0);
        RemoveAllHooks();
    }
}

TEST_F(PenCapture, InputIsLeftAloneWhenNotToBeInked) {
    ClickTarget target;
    struct {
        const char* when;
        std::function<void()> set, reset;
        ULONG_PTR tag;
        size_t asked;
    } cases[] = {
        {"the program says no", [] { ServiceWindowStandIn::penDownAnswer() = 0; },
         [] { ServiceWindowStandIn::penDownAnswer() = 2; }, 0, 1},
        {"the pen is off", [] { setInkDriverParams(0, 0, 1, 0, 0, 0, 0, 0); },
         [] { setInkDriverParams(1, 0, 1, 0, 0, 0, 0, 0); }, 0, 0},
        {"mouse-transparent", [] { setMouseTransparent(); }, [] { unsetMouseTransparent(); }, 0, 0},
        {"the program's own input", [] {}, [] {}, kMouseDownMarker, 0},
        {"the program's own up", [] {}, [] {}, kMouseUpMarker, 0},
    };
    for (auto& c : cases) {
        ServiceWindowStandIn::received().clear();
        ClickTarget::clicks() = 0;
        c.set();
        drag(c.tag);
        // The click reaches the window through the hooks and the desktop,
        // which a busy machine slows: wait for it, then for anything more.
        pumpUntil([] { return ClickTarget::clicks() >= 2; }, 3000);
        pumpUntil([] { return false; }, 200);
        c.reset();
        EXPECT_EQ(ServiceWindowStandIn::count(WM_INK_PEN_DOWN), c.asked) << c.when;
        EXPECT_EQ(ClickTarget::clicks(), 2) << c.when << ": the window got its click";
        EXPECT_TRUE(takeRing(ring_).empty()) << c.when;
    }
}

TEST_F(PenCapture, PenOffDuringAStrokeEndsItAndSwallowsTheRest) {
    ClickTarget target;
    setInkDriverParams(1, 1, 1, 500, 500, 1, 0, 0);
    mouseAt(0, 210, 210);
    mouseAt(MOUSEEVENTF_LEFTDOWN, 210, 210);
    mouseAt(0, 220, 210);
    pumpUntil([] { return false; }, 100);
    setInkDriverParams(0, 0, 1, 0, 0, 0, 0, 0);
    mouseAt(0, 240, 210);
    mouseAt(MOUSEEVENTF_LEFTUP, 240, 210);
    pumpUntil([] { return false; }, 100);
    EXPECT_EQ(
        takeRing(ring_),
        (std::vector<uint32_t>{entry(840, 840), inkPointValue(kInkLiveInkMarker), entry(880, 840),
                               inkPointValue(kInkFinishMarker), inkPointValue(kInkSeparator)}))
        << "no point after the end, and no second separator";
    EXPECT_EQ(ClickTarget::clicks(), 0) << "the release of the inked press is swallowed too";
}

}  // namespace
