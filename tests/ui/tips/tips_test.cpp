// The tip window on the X display: where it stands, which requests it refuses,
// its timers, the text it asks its owner for, the mouse over it (moved with
// xdotool) and how it looks. Also the input-type test and the memory drawing
// surfaces that live beside it.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/RegisteredMessages.h"
#include "core/ServiceMessages.h"
#include "resources/resource.h"
#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "ui/tips/Tips.h"
#include "win/Checks.h"
#include "tests/shell/TestSupport.h"

namespace {

// ---- a small owner window that answers the tip's questions ----

std::wstring g_answer;
UINT_PTR g_askedTag = 0;
int g_askCount = 0;
LPARAM g_notifiedTip = 0;
int g_notifyCount = 0;
// What the owner does to the tip while it answers.
std::function<void()> g_whileAnswering;

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == registeredMessages().tooltipsGetText) {
        ++g_askCount;
        g_askedTag = wParam;
        *reinterpret_cast<std::wstring*>(lParam) = g_answer;
        if (g_whileAnswering) g_whileAnswering();
        return 0;
    }
    if (message == WM_INK_TIPS_TO_MASTER) {
        ++g_notifyCount;
        g_notifiedTip = lParam;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

using sxtest::pumpUntil;

void pump(DWORD ms) {
    pumpUntil([] { return false; }, ms);
}

bool xdotool(const std::string& arguments) { return hostshell::run("xdotool " + arguments, 10000); }

RECT rectOf(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

class TipsTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        appGlobals().instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(registerTipsWindowClass(getInstance()));
        WNDCLASSW wc = {};
        wc.lpfnWndProc = ownerProc;
        wc.hInstance = getInstance();
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        wc.lpszClassName = L"TipsTestOwner";
        RegisterClassW(&wc);
    }

    void SetUp() override {
        g_answer.clear();
        g_askedTag = 0;
        g_askCount = 0;
        g_notifiedTip = 0;
        g_notifyCount = 0;
        g_whileAnswering = nullptr;
        owner_ = CreateWindowExW(WS_EX_TOOLWINDOW, L"TipsTestOwner", L"", WS_POPUP, kOwnerX,
                                 kOwnerY, 300, 200, nullptr, nullptr, getInstance(), nullptr);
        ASSERT_NE(owner_, nullptr);
        ShowWindow(owner_, SW_SHOWNOACTIVATE);
        UpdateWindow(owner_);
        // Park the cursor away from every tip these tests show.
        xdotool("mousemove 5 5");
    }

    void TearDown() override {
        tips_.reset();
        pump(50);  // the posted WM_CLOSE
        DestroyWindow(owner_);
    }

    Tips& tips(int colourScheme = 0, int fontSize = 16) {
        if (!tips_) tips_.reset(new Tips(owner_, colourScheme, fontSize));
        return *tips_;
    }

    static constexpr int kOwnerX = 200, kOwnerY = 150;
    HWND owner_ = nullptr;
    std::unique_ptr<Tips> tips_;
};

TEST_F(TipsTest, IsAHiddenNonActivatingPopupOwnedByItsOwner) {
    HWND w = tips().window();
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_EQ(GetWindow(w, GW_OWNER), owner_);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(w, GWL_EXSTYLE)) &
                  (WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW),
              static_cast<DWORD>(WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(w, GWL_STYLE)) & (WS_POPUP | WS_BORDER),
              static_cast<DWORD>(WS_POPUP | WS_BORDER));
    wchar_t name[64] = {};
    GetClassNameW(w, name, 64);
    EXPECT_STREQ(name, L"VexaInkTipsWndClass");
    EXPECT_STREQ(tips().className(), L"Tips");
    EXPECT_EQ(tips().tag(), Tips::kNoTag);
}

// Where a tip stands for a point: below it in the upper half of the screen,
// above it (ending at the point) in the lower half, pushed left at the right edge.
TEST_F(TipsTest, PlacesTheTipBesideThePointInsideTheScreen) {
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    const int below = GetSystemMetrics(SM_CYCURSOR) / 2;
    enum Expect { kBelow, kAbove, kRightEdge };
    struct Case {
        const char* name;
        int x, y;
        Expect expect;
    } cases[] = {
        {"upper half", 100, 100, kBelow},
        {"exactly half way", 100, height / 2, kBelow},
        {"lower half", 100, height - 100, kAbove},
        {"at the right edge", width - 5, 100, kRightEdge},
        {"right edge, lower half", width - 5, height - 60, kRightEdge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(tips().show(c.x, c.y, L"Pen On/Off", 0, 1, true, true));
        EXPECT_TRUE(IsWindowVisible(tips().window()));
        const RECT r = rectOf(tips().window());
        switch (c.expect) {
            case kBelow:
                EXPECT_EQ(r.left, c.x);
                EXPECT_EQ(r.top, c.y + below);
                break;
            case kAbove:
                EXPECT_EQ(r.left, c.x);
                EXPECT_EQ(r.bottom, c.y);
                break;
            case kRightEdge:
                EXPECT_EQ(r.right, width);
                EXPECT_LT(r.left, c.x);
                break;
        }
    }
}

TEST_F(TipsTest, ClientPointsAreTheOwnersAndNeedAnOwner) {
    ASSERT_TRUE(tips().show(10, 20, L"Open menu", 0, 1, false, false));
    const RECT r = rectOf(tips().window());
    EXPECT_EQ(r.left, kOwnerX + 10);
    EXPECT_EQ(r.top, kOwnerY + 20 + GetSystemMetrics(SM_CYCURSOR) / 2);

    Tips orphan(nullptr, 0, 16);
    EXPECT_FALSE(orphan.show(10, 20, L"Open menu", 0, 1, false, false));
    EXPECT_FALSE(IsWindowVisible(orphan.window()));
    EXPECT_EQ(orphan.tag(), Tips::kNoTag) << "a refused request must not block its tag";
    EXPECT_TRUE(orphan.show(10, 20, L"Open menu", 0, 1, true, false)) << "screen points need none";
}

// Requests in a row, each with what it should answer and the tag after it.
TEST_F(TipsTest, TheTagOnShowRefusesRepeatsUntilForcedOrReset) {
    enum Op { kShow, kForce, kHide, kHideReset };
    struct Step {
        const char* name;
        Op op;
        UINT_PTR tag;
        bool shown;         // what show answers
        UINT_PTR tagAfter;  // the tag on show afterwards
    } steps[] = {
        {"first show of a unit", kShow, 7, true, 7},
        {"the same unit again", kShow, 7, false, 7},
        {"the same unit, forced", kForce, 7, true, 7},
        {"another unit", kShow, 8, true, 8},
        {"hidden without reset", kHide, 0, false, 8},
        {"the same unit after a plain hide", kShow, 8, false, 8},
        {"hidden with reset", kHideReset, 0, false, Tips::kNoTag},
        {"the same unit after the reset", kShow, 8, true, 8},
        {"no tag never blocks", kShow, Tips::kNoTag, true, Tips::kNoTag},
        {"no tag again", kShow, Tips::kNoTag, true, Tips::kNoTag},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        bool shown = false;
        switch (s.op) {
            case kShow:
            case kForce:
                shown = tips().show(50, 50, L"Punctuation Menu", 0, s.tag, true, s.op == kForce);
                break;
            case kHide:
            case kHideReset:
                tips().hide(s.op == kHideReset);
                EXPECT_FALSE(IsWindowVisible(tips().window()));
                break;
        }
        EXPECT_EQ(shown, s.shown);
        EXPECT_EQ(tips().tag(), s.tagAfter);
    }
    EXPECT_EQ(tips().lastShownTag(), Tips::kNoTag);
}

TEST_F(TipsTest, NothingToMeasureHidesTheTipAndForgetsItsTag) {
    ASSERT_TRUE(tips().show(50, 50, L"Correct Last/Select", 0, 3, true, false));
    EXPECT_FALSE(tips().show(50, 50, L"", 0, 4, true, false));
    EXPECT_FALSE(IsWindowVisible(tips().window()));
    EXPECT_EQ(tips().tag(), Tips::kNoTag);
    EXPECT_EQ(tips().lastShownTag(), 3u);
}

TEST_F(TipsTest, TheShowTimeHidesTheTipAndZeroKeepsIt) {
    struct Case {
        UINT showTime;
        bool visibleAfter;
    } cases[] = {{300, false}, {0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.showTime);
        ASSERT_TRUE(tips().show(60, 60, L"Switch to Markup", c.showTime, 5, true, true));
        const DWORD start = GetTickCount();
        const bool hidden = pumpUntil([&] { return !IsWindowVisible(tips().window()); }, 1200);
        EXPECT_EQ(hidden, !c.visibleAfter);
        if (hidden) {
            EXPECT_GE(GetTickCount() - start, 250u) << "hidden before its time";
            EXPECT_EQ(tips().tag(), 5u) << "the timer keeps the tag";
        }
    }
}

// The deferred text: the owner is asked for the text of the tag after the delay.
TEST_F(TipsTest, TheDeferredTextComesFromTheOwner) {
    struct Case {
        const char* name;
        const wchar_t* answer;
        UINT_PTR tag;
        int asks;
        bool shown;
    } cases[] = {
        {"an answer shows", L"Switch to Binding", 42, 1, true},
        {"an empty answer shows nothing", L"", 43, 1, false},
        {"without a tag the owner is not asked", L"Switch to Binding", Tips::kNoTag, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tips().hide(true);
        g_answer = c.answer;
        g_askCount = 0;
        tips().requestText(30, 40, c.tag, false, 0, 0, 100);
        EXPECT_TRUE(tips().requestPending());
        EXPECT_FALSE(IsWindowVisible(tips().window())) << "shown before the delay";
        EXPECT_TRUE(pumpUntil([&] { return !tips().requestPending(); }, 2000));
        EXPECT_EQ(g_askCount, c.asks);
        if (c.asks) {
            EXPECT_EQ(g_askedTag, c.tag);
        }
        EXPECT_EQ(IsWindowVisible(tips().window()) != FALSE, c.shown);
        if (c.shown) {
            EXPECT_EQ(tips().text(), c.answer);
            const RECT r = rectOf(tips().window());
            EXPECT_EQ(r.left, kOwnerX + 30);
        }
    }
}

// The owner may hide or even close the tip while it answers; the tip then
// shows nothing and does not touch what is gone.
TEST_F(TipsTest, AnOwnerThatHidesOrClosesTheTipWhileAnsweringIsSafe) {
    g_answer = L"Open menu";
    Tips& t = tips();
    g_whileAnswering = [&] { t.hide(true); };
    t.requestText(30, 40, 12, false, 0, 0, 50);
    EXPECT_TRUE(pumpUntil([&] { return g_askCount == 1 && !t.requestPending(); }, 2000));
    pump(100);
    EXPECT_FALSE(IsWindowVisible(t.window())) << "shown after the owner hid it";

    HWND window = t.window();
    g_whileAnswering = [window] { DestroyWindow(window); };
    t.requestText(30, 40, 13, false, 0, 0, 50);
    EXPECT_TRUE(pumpUntil([&] { return g_askCount == 2; }, 2000));
    pump(100);
    EXPECT_FALSE(IsWindow(window));
    g_whileAnswering = nullptr;
}

TEST_F(TipsTest, ACancelledRequestAsksNothing) {
    g_answer = L"Open menu";
    tips().requestText(30, 40, 9, false, 0, 0, 100);
    tips().cancelRequest();
    pump(400);
    EXPECT_EQ(g_askCount, 0);
    EXPECT_FALSE(IsWindowVisible(tips().window()));
}

TEST_F(TipsTest, ANewFontHeightResizesTheTip) {
    Tips& t = tips(0, 16);
    ASSERT_TRUE(t.show(80, 80, L"Pen On/Off", 0, 1, true, true));
    const RECT before = rectOf(t.window());
    const int height = t.fontHeight();
    EXPECT_LT(height, 0) << "a character height from the point size";
    t.setFontHeight(height * 2);
    EXPECT_EQ(t.fontHeight(), height * 2);
    const RECT after = rectOf(t.window());
    EXPECT_GT(after.bottom - after.top, before.bottom - before.top);
    EXPECT_GT(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.left, before.left);
    EXPECT_TRUE(IsWindowVisible(t.window()));
}

// The mouse over the tip (moved by the X server, as a user's hand does).
TEST_F(TipsTest, TheMouseOverTheTipHidesItOrTellsTheOwner) {
    struct Case {
        const char* name;
        bool hideOnMouseMove;
        bool notifyOwner;
    } cases[] = {
        {"hides by default", true, false},
        {"stays and tells the owner", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tips().setHideOnMouseMove(c.hideOnMouseMove);
        tips().setOwnerNotification(c.notifyOwner);
        g_notifyCount = 0;
        ASSERT_TRUE(tips().show(400, 80, L"Punctuation Menu", 0, 11, true, true));
        const RECT r = rectOf(tips().window());
        ASSERT_TRUE(xdotool("mousemove " + std::to_string(r.left + 5) + " " +
                            std::to_string(r.top + 4) + " sleep 0.1 mousemove " +
                            std::to_string(r.left + 15) + " " + std::to_string(r.top + 5)));
        pumpUntil([&] { return !IsWindowVisible(tips().window()) || g_notifyCount > 0; }, 2000);
        pump(100);
        EXPECT_EQ(IsWindowVisible(tips().window()) != FALSE, !c.hideOnMouseMove);
        if (c.notifyOwner) {
            EXPECT_GT(g_notifyCount, 0);
            EXPECT_EQ(reinterpret_cast<HWND>(g_notifiedTip), tips().window());
        } else {
            EXPECT_EQ(g_notifyCount, 0);
        }
        xdotool("mousemove 5 5");
        tips().hide(true);
    }
}

TEST_F(TipsTest, LooksLikeItsReference) {
    struct Case {
        int colourScheme;
        const char* name;
    } cases[] = {{0, "tip_info_colours"}, {1, "tip_highlight_colours"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tips t(owner_, c.colourScheme, 16);
        ASSERT_TRUE(t.show(120, 90, L"Pen On/Off", 0, 1, true, false));
        screenshot::Result shot = screenshot::checkWindow(t.window(), TIPS_REFERENCES, c.name);
        EXPECT_TRUE(shot.ok) << shot.message;
    }
}

// ---- the input-type test ----

class InputTypeLibrary : public HookLibrary {
  public:
    int lastInputType = 0;
    int getLastInputType() override { return lastInputType; }
};

// The tip lives on the thread that made its window: deleting it there takes
// the window at once; deleting it on another thread (a sticker cleared by the
// binding thread) leaves the window to close on its own thread; using it on
// another thread ends a checked run loudly.
// Another process can send the tip window any message number with any
// argument: a made-up address, or one of ours that the tip did not hand out.
TEST_F(TipsTest, RequestsWithRecordsTheTipDidNotMakeAreIgnored) {
    HWND window = tips().window();
    ASSERT_TRUE(IsWindow(window));
    std::wstring ours = L"ours";
    const LPARAM arguments[] = {0x1234, reinterpret_cast<LPARAM>(&ours)};
    for (LPARAM lParam : arguments) {
        for (UINT message = WM_APP; message <= WM_APP + 16; ++message) {
            for (WPARAM wParam = 0; wParam <= 4; ++wParam) {
                SendMessageW(window, message, wParam, lParam);
            }
        }
    }
    pump(100);
    EXPECT_EQ(ours, L"ours");
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_EQ(tips().tag(), Tips::kNoTag) << "no request was armed";
    EXPECT_EQ(g_askCount, 0);
    EXPECT_TRUE(tips().show(20, 20, L"tip", 0, 7, false, true)) << "the tip's own requests still work";
    EXPECT_EQ(tips().text(), L"tip");
}

TEST_F(TipsTest, TheTipBelongsToTheThreadThatMadeIt) {
    HWND mine = tips().window();
    ASSERT_TRUE(IsWindow(mine));
    tips_.reset();
    EXPECT_FALSE(IsWindow(mine)) << "deleted on its own thread, the window goes at once";

    HWND posted = tips().window();
    Tips* handle = tips_.release();
    std::thread([handle] { delete handle; }).join();
    EXPECT_TRUE(IsWindow(posted)) << "destroyed from another thread";
    EXPECT_TRUE(pumpUntil([&] { return !IsWindow(posted); }, 1000));

    ASSERT_TRUE(win::checkedRun());
    Tips& used = tips();
    EXPECT_EXIT(std::thread([&] { used.show(10, 10, L"tip", 0, 1, false, true); }).join(),
                testing::ExitedWithCode(static_cast<int>(0xC000A0C1)), "Tips: show on thread");
}

TEST(InputTypeTest, SpecialMasksAndTheLastInputType) {
    InputTypeLibrary library;
    HookLibrary* previous = setHookLibrary(&library);
    struct Case {
        DWORD mask;
        bool defaultValue;
        int lastInput;
        bool expect;
    } cases[] = {
        {0x12345, true, 0, true}, {0x12345, false, 7, false}, {0, true, 7, false},
        {15, false, 0, true},     {4, false, 4, true},        {4, true, 2, false},
        {6, false, 2, true},      {1, true, 0, false},        {0x10, false, 0x11, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mask " << c.mask << " last " << c.lastInput);
        library.lastInputType = c.lastInput;
        EXPECT_EQ(testInputType(c.mask, c.defaultValue), c.expect);
    }
    setHookLibrary(previous);
}

// ---- memory drawing surfaces ----

TEST(MemorySurfaceTest, MakesReleasesAndRefusesWhatCannotBeMade) {
    appGlobals().instance = GetModuleHandleW(nullptr);
    MemorySurface surface;
    ASSERT_TRUE(surface.make(nullptr, 40, 30));
    BITMAP info = {};
    ASSERT_TRUE(GetObjectW(surface.bitmap(), sizeof info, &info));
    EXPECT_EQ(info.bmWidth, 40);
    EXPECT_EQ(info.bmHeight, 30);
    EXPECT_EQ(GetCurrentObject(surface.dc(), OBJ_BITMAP), surface.bitmap());

    // A second make releases the first surface.
    HBITMAP first = surface.bitmap();
    HDC screen = GetDC(nullptr);
    ASSERT_TRUE(surface.make(screen, 10, 12));
    ReleaseDC(nullptr, screen);
    EXPECT_NE(surface.bitmap(), first);
    EXPECT_EQ(GetObjectType(first), 0u) << "the first bitmap was not deleted";

    EXPECT_FALSE(surface.make(nullptr, 0, 10));
    EXPECT_EQ(surface.dc(), nullptr);

    ASSERT_TRUE(surface.makeFromResource(IDB_SPLASH));
    ASSERT_TRUE(GetObjectW(surface.bitmap(), sizeof info, &info));
    EXPECT_GT(info.bmWidth, 0);
    EXPECT_FALSE(surface.makeFromResource(9999));
    EXPECT_EQ(surface.bitmap(), nullptr);

    // A release that keeps the bitmap hands it to the caller.
    ASSERT_TRUE(surface.make(nullptr, 8, 8));
    HBITMAP kept = surface.bitmap();
    surface.release(false);
    EXPECT_EQ(GetObjectType(kept), static_cast<DWORD>(OBJ_BITMAP));
    DeleteObject(kept);
}

}  // namespace
