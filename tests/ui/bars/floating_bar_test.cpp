// The floating bars' shared window: dragging against the desktop's edges,
// clicks that stay clicks, sliding out and in, eased and interruptible
// animations, refused far moves, and keeping the distance to the nearer edges
// when the desktop changes.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <vector>

#include "core/AppGlobals.h"
#include "ui/bars/BarFramework.h"
#include "ui/bars/FloatingBar.h"
#include "ui/tips/Tips.h"
#include "win/Gdiplus.h"

namespace {

void pump() {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

// Three 32-pixel buttons in a row, no frame; it notes the buttons pressed.
class TestBar : public CBaseBar<TestBar> {
  public:
    TestBar() : CBaseBar<TestBar>(L"sxTestBar") { layoutMode_ = LAYOUT_HORIZONTAL; }
    void layoutButtons(int) override {
        removeAllButtons();
        for (UINT id : {1u, 2u, 4u}) addButton(id, L"pen_button32.png", 13, BarButton::TOGGLE);
        relayout();
    }
    void onButton(BarButton* b) override { pressed.push_back(b->id); }
    void setOldDesktop(const RECT& r) { desktop_ = r; }
    std::vector<UINT> pressed;
};

RECT windowRect(HWND w) {
    RECT r = {};
    GetWindowRect(w, &r);
    return r;
}

class FloatingBar : public testing::Test {
  protected:
    void SetUp() override {
        appGlobals().instance = GetModuleHandleW(nullptr);
        gdiplus_ = win::startGdiplus();
        registerTipsWindowClass(GetModuleHandleW(nullptr));
        desktop_ = desktopRect();
        bar_ = new TestBar;
        bar_->setPosition({desktop_.left + 300, desktop_.top + 200});
        ASSERT_TRUE(bar_->createBar(nullptr));
        pump();
        moveTo(desktop_.left + 300, desktop_.top + 200);
    }
    void TearDown() override {
        delete bar_;
        bar_ = nullptr;
        pump();
        win::stopGdiplus(gdiplus_);
    }
    void moveTo(int x, int y) {
        SetWindowPos(bar_->hwnd(), nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        pump();
    }
    TestBar* bar_ = nullptr;
    RECT desktop_ = {};
    ULONG_PTR gdiplus_ = 0;
};

TEST_F(FloatingBar, ButtonsAreLaidOutInARow) {
    ASSERT_EQ(bar_->buttonCount(), 3);
    const RECT r = windowRect(bar_->hwnd());
    EXPECT_EQ(r.right - r.left, 96);
    EXPECT_EQ(r.bottom - r.top, 32);
    EXPECT_EQ(bar_->button(2)->rect.left, 64);
}

// Against the left edge the bar stops; further motion to the left is ignored,
// and the bar follows again as soon as the pen moves back to the right.
TEST_F(FloatingBar, DragStopsAtTheLeftEdgeUntilThePenComesBack) {
    moveTo(desktop_.left + 20, desktop_.top + 200);
    ASSERT_TRUE(bar_->beginDrag(10, 10));
    struct Step {
        int x;  // client x of the pen
        int left;
        unsigned hits;
    } steps[] = {
        {-40, static_cast<int>(desktop_.left), EDGE_LEFT},  // 50 left: cut to 20
        {-60, static_cast<int>(desktop_.left), EDGE_LEFT},  // further left: ignored
        {-35, static_cast<int>(desktop_.left) + 25, 0},     // 25 back right: followed
        {-60, static_cast<int>(desktop_.left) + 25, 0},     // the pen rests there: nothing
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.x);
        bar_->dragStep(s.x, 10);
        EXPECT_EQ(windowRect(bar_->hwnd()).left, s.left);
        EXPECT_EQ(bar_->edgeHits(), s.hits);
    }
    EXPECT_TRUE(bar_->endDrag());
    EXPECT_EQ(bar_->position().x, desktop_.left + 25);
}

TEST_F(FloatingBar, ShortDragIsAClickLongDragIsNot) {
    struct Case {
        const char* name;
        int moveBy;
        std::vector<UINT> pressed;
        int movedBy;
    } cases[] = {{"click", 3, {2}, 0}, {"drag", 40, {}, 40}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        moveTo(desktop_.left + 300, desktop_.top + 200);
        bar_->pressed.clear();
        HWND w = bar_->hwnd();
        SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 10));
        SendMessageW(w, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(40 + c.moveBy, 10));
        // The window moved with the pen: the pen is at the grip again.
        SendMessageW(w, WM_LBUTTONUP, 0, MAKELPARAM(40, 10));
        EXPECT_EQ(bar_->pressed, c.pressed);
        EXPECT_EQ(windowRect(w).left, desktop_.left + 300 + c.movedBy);
    }
}

TEST_F(FloatingBar, SlidesOutOnlyFromAnEdgeAndBackIn) {
    bar_->slideOut(10);
    EXPECT_FALSE(bar_->slidOut());
    EXPECT_EQ(windowRect(bar_->hwnd()).left, desktop_.left + 300);

    moveTo(desktop_.left, desktop_.top + 200);
    bar_->slideOut(10);
    EXPECT_TRUE(bar_->slidOut());
    const RECT out = windowRect(bar_->hwnd());
    EXPECT_EQ(out.right, desktop_.left + bar_->penStrip().cx);
    bar_->slideIn(10);
    EXPECT_FALSE(bar_->slidOut());
    EXPECT_EQ(windowRect(bar_->hwnd()).left, desktop_.left);
}

TEST_F(FloatingBar, AParkedBarDoesNotSlide) {
    for (int x : {20000, 20001}) {
        SCOPED_TRACE(x);
        moveTo(x, 100);
        bar_->slideOut(10);
        EXPECT_FALSE(bar_->slidOut());
        EXPECT_EQ(windowRect(bar_->hwnd()).left, x);
    }
}

TEST_F(FloatingBar, MovesBeyond32000AreRefused) {
    moveTo(33000, 100);
    EXPECT_EQ(windowRect(bar_->hwnd()).left, desktop_.left + 300);
    moveTo(25000, 100);  // parked: allowed, but not the bar's position
    EXPECT_EQ(windowRect(bar_->hwnd()).left, 25000);
    EXPECT_EQ(bar_->position().x, desktop_.left + 300);
}

TEST_F(FloatingBar, MorphReachesItsTargetAndRefusesNothingToDo) {
    RECT target = windowRect(bar_->hwnd());
    EXPECT_FALSE(bar_->morphTo(&target, 100));  // already there
    OffsetRect(&target, 37, 21);
    target.right += 10;
    EXPECT_FALSE(bar_->morphTo(&target, 0));
    EXPECT_FALSE(bar_->morphTo(nullptr, 100));
    EXPECT_TRUE(bar_->morphTo(&target, 60));
    const RECT r = windowRect(bar_->hwnd());
    EXPECT_TRUE(EqualRect(&r, &target));
}

// A window whose message deletes the bar: as the program's close does to
// every bar (it is a message to the service window).
struct BarEnder {
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_APP) {
            delete *reinterpret_cast<TestBar**>(lp);
            *reinterpret_cast<TestBar**>(lp) = nullptr;
            return 0;
        }
        return DefWindowProcW(w, m, wp, lp);
    }
};

// An animation dispatches its own window's messages and the paints as it
// goes; a message for another window that ends the bar waits for the
// animation's end instead of deleting the bar under it.
TEST_F(FloatingBar, AMessageThatEndsTheBarWaitsForTheAnimationsEnd) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BarEnder::proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"FloatingBarEnder";
    RegisterClassW(&wc);
    HWND ender = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    RECT target = windowRect(bar_->hwnd());
    OffsetRect(&target, 120, 40);
    PostMessageW(ender, WM_APP, 0, reinterpret_cast<LPARAM>(&bar_));
    EXPECT_TRUE(bar_->morphTo(&target, 150));
    ASSERT_NE(bar_, nullptr) << "the bar was deleted during its own animation";
    const RECT r = windowRect(bar_->hwnd());
    EXPECT_TRUE(EqualRect(&r, &target));
    pump();
    EXPECT_EQ(bar_, nullptr) << "the message waited and then ended the bar";
    DestroyWindow(ender);
}

// The bar's second tooltip object: made on the first tip, showing a button's
// string under the button once per button unless forced.
TEST_F(FloatingBar, ButtonTipShowsTheButtonsTextUnderItOncePerButton) {
    EXPECT_EQ(bar_->tips(), nullptr);
    BarButton* b = bar_->button(1);
    ASSERT_TRUE(bar_->showButtonTip(b));
    Tips* tips = bar_->tips();
    ASSERT_NE(tips, nullptr);
    EXPECT_TRUE(IsWindowVisible(tips->window()));
    EXPECT_EQ(tips->text(), L"Pen On/Off");
    EXPECT_EQ(tips->tag(), reinterpret_cast<UINT_PTR>(b));
    EXPECT_EQ(GetWindow(tips->window(), GW_OWNER), bar_->hwnd());
    POINT under = {b->rect.left, b->rect.bottom};
    ClientToScreen(bar_->hwnd(), &under);
    const RECT tip = windowRect(tips->window());
    EXPECT_EQ(tip.left, under.x);
    EXPECT_GE(tip.top, under.y);  // the upper half of the screen: below the point

    EXPECT_FALSE(bar_->showButtonTip(b));  // already on show
    EXPECT_TRUE(bar_->showButtonTip(b, true));
    EXPECT_TRUE(bar_->showButtonTip(bar_->button(2)));
    EXPECT_EQ(tips->tag(), reinterpret_cast<UINT_PTR>(bar_->button(2)));
    EXPECT_EQ(bar_->tips(), tips);  // one object for all tips
}

TEST_F(FloatingBar, NoTipWithoutTextWhileDraggingOrWhenHiddenOrParked) {
    struct Case {
        const char* name;
        std::function<void(TestBar*)> before;
        std::function<bool(TestBar*)> show;
        std::function<void(TestBar*)> after;
    };
    const auto plain = [](TestBar* bar) { return bar->showTip(5, 5, L"text", 1); };
    const auto nothing = [](TestBar*) {};
    const Case cases[] = {
        {"no text", nothing, [](TestBar* bar) { return bar->showTip(5, 5, nullptr, 1); }, nothing},
        {"empty text", nothing, [](TestBar* bar) { return bar->showTip(5, 5, L"", 1); }, nothing},
        {"button without a tip", [](TestBar* bar) { bar->button(0)->tipStringId = 0; },
         [](TestBar* bar) { return bar->showButtonTip(bar->button(0)); }, nothing},
        {"hidden button", [](TestBar* bar) { bar->button(0)->flags |= BarButton::HIDDEN; },
         [](TestBar* bar) { return bar->showButtonTip(bar->button(0)); },
         [](TestBar* bar) { bar->button(0)->flags &= ~BarButton::HIDDEN; }},
        {"while dragging", [](TestBar* bar) { bar->beginDrag(5, 5); }, plain,
         [](TestBar* bar) { bar->endDrag(); }},
        {"hidden bar", [](TestBar* bar) { ShowWindow(bar->hwnd(), SW_HIDE); }, plain,
         [](TestBar* bar) { ShowWindow(bar->hwnd(), SW_SHOWNOACTIVATE); }},
        {"parked bar",
         [](TestBar* bar) {
             SetWindowPos(bar->hwnd(), nullptr, 20000, 100, 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
         },
         plain, nothing},
    };
    for (const Case& c : cases) {
        c.before(bar_);
        EXPECT_FALSE(c.show(bar_)) << c.name;
        EXPECT_TRUE(!bar_->tips() || !IsWindowVisible(bar_->tips()->window())) << c.name;
        c.after(bar_);
    }
}

// A press on the bar (the start of a drag or a click), sliding out and hiding
// the bar each take the tip away, and the same tip may show again afterwards.
TEST_F(FloatingBar, PressSlideOutAndHideTakeTheTipAway) {
    struct Case {
        const char* name;
        std::function<void(TestBar*)> act;
    };
    const Case cases[] = {
        {"press",
         [](TestBar* bar) {
             SendMessageW(bar->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(70, 10));
             SendMessageW(bar->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(70, 10));
         }},
        {"slide out",
         [](TestBar* bar) {
             const RECT d = desktopRect();
             SetWindowPos(bar->hwnd(), nullptr, d.left, d.top + 200, 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
             bar->slideOut(10);
         }},
        {"hide",
         [](TestBar* bar) {
             bar->showAtStart({desktopRect().left + 300, desktopRect().top + 200});
             bar->hideBar();
         }},
    };
    for (const Case& c : cases) {
        moveTo(desktop_.left + 300, desktop_.top + 200);
        ShowWindow(bar_->hwnd(), SW_SHOWNOACTIVATE);
        if (bar_->slidOut()) bar_->slideIn(10);
        ASSERT_TRUE(bar_->showTip(5, 5, L"text", 7, true)) << c.name;
        c.act(bar_);
        pump();
        EXPECT_FALSE(IsWindowVisible(bar_->tips()->window())) << c.name;
        EXPECT_EQ(bar_->tips()->tag(), Tips::kNoTag) << c.name;
    }
}

// Deleting the bar deletes its tip object and the tip window goes with it.
TEST_F(FloatingBar, TheTipWindowGoesWithTheBar) {
    ASSERT_TRUE(bar_->showButtonTip(bar_->button(0)));
    const HWND tip = bar_->tips()->window();
    ASSERT_TRUE(IsWindow(tip));
    delete bar_;
    bar_ = nullptr;
    pump();
    EXPECT_FALSE(IsWindow(tip));
}

TEST(MorphRect, StepsAreFractionsAndTheLastIsTheTarget) {
    const RECT start = {0, 0, 10, 10};
    const RECT target = {30, 10, 60, 20};  // width 30, height 10
    struct Case {
        int i;
        RECT expected;
    } cases[] = {
        {0, {10, 3, 26, 13}},  // a third: width 10 + 20/3
        {1, {20, 6, 43, 16}},
        {2, {30, 10, 60, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.i);
        const RECT r = CMorphed::morphRect(start, target, c.i, 3);
        EXPECT_TRUE(EqualRect(&r, &c.expected))
            << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
}

// An interruptible run stops at the first waiting input message for its
// window, but not for paint messages.
class PostingRun : public CIterated {
  public:
    explicit PostingRun(HWND w, UINT message) : window_(w), message_(message) {}
    int last = -1;  // the last step run; a late run skips steps, but never its last

  protected:
    void iterationStep(int i) override {
        last = i;
        // At the first step: a run starved of time may jump past any later one.
        if (i == 0) {
            if (message_ == WM_PAINT)
                InvalidateRect(window_, nullptr, FALSE);
            else
                PostMessageW(window_, message_, 0, 0);
        }
    }
    HWND interruptWindow() const override { return window_; }

  private:
    HWND window_;
    UINT message_;
};

TEST(CIterated, InterruptibleRunStopsForInputButNotForPaint) {
    HWND w = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
    struct Case {
        UINT message;
        bool interrupted;
    } cases[] = {{WM_MOUSEMOVE, true}, {WM_PAINT, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        PostingRun run(w, c.message);
        bool interrupted = false;
        EXPECT_TRUE(run.run(1, 8, 80, true, &interrupted));
        MSG waiting = {};
        PeekMessageW(&waiting, w, 0, 0, PM_NOREMOVE);
        EXPECT_EQ(interrupted, c.interrupted) << "the first message waiting: " << waiting.message;
        EXPECT_EQ(run.last < 7, c.interrupted);
        pump();
    }
    DestroyWindow(w);
}

// After the desktop grows 200 pixels to the right, a bar nearer the old right
// edge keeps its distance from the right edge; one nearer the left stays; a
// bar exactly halfway counts as nearer the right.
TEST_F(FloatingBar, DesktopChangeKeepsTheDistanceToTheNearerEdge) {
    const RECT now = desktopRect();
    RECT old = now;
    old.right -= 200;
    const int width = old.right - old.left;
    const int w = windowRect(bar_->hwnd()).right - windowRect(bar_->hwnd()).left;
    struct Case {
        const char* name;
        int left;
        int expected;
    } cases[] = {
        {"near the right", static_cast<int>(old.right) - w - 10,
         static_cast<int>(now.right) - w - 10},
        {"near the left", static_cast<int>(old.left) + 10, static_cast<int>(old.left) + 10},
        {"halfway", static_cast<int>(old.left) + width / 2,
         static_cast<int>(old.left) + width / 2 + 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        moveTo(c.left, now.top + 100);
        bar_->setOldDesktop(old);
        EXPECT_TRUE(bar_->acceptSystemParamsChanges());
        EXPECT_EQ(windowRect(bar_->hwnd()).left, c.expected);
    }
}

}  // namespace
