// The accessibility event hook called directly with events about windows of
// this thread that serve hand-made accessible trees: what it stores in the
// block for focus, caret and popup-menu events, the rule that keeps a stored
// element, and the cursor check.
#include "tests/hook64/HookFixture.h"

#include <string>

#include "hook64/AccElem.h"
#include "hook64/FocusTracking.h"
#include "hook64/vexaHook64.h"
#include "tests/hook64/FakeAccessible.h"

namespace {

using hooktest::HookFixture;

constexpr DWORD kFocus = EVENT_OBJECT_FOCUS;

class FocusTrackingTest : public HookFixture {
  protected:
    void SetUp() override {
        HookFixture::SetUp();
        block()._xNoLocation = -30000;
        block()._yNoLocation = -30001;
        block()._iListMarginX = 17;
        block()._iListMarginY = 17;
    }
    void event(DWORD id, HWND window, DWORD time = 5000, LONG idObject = OBJID_CLIENT,
               DWORD thread = 0) {
        WinEventProc(nullptr, id, window, idObject, CHILDID_SELF,
                     thread ? thread : GetCurrentThreadId(), time);
    }
    // The element fields, so tests can tell "unchanged" in one comparison.
    std::string elementFields() {
        const SharedDataStruct& b = block();
        char text[200];
        snprintf(text, sizeof text, "%x %d %d %u %x %d %d %u {%ld,%ld,%ld,%ld}", b._hwndElem,
                 b._idObject, b._idChild, b._dwRole, b._dwState, b._iEditable, b._iSameWindow,
                 b._dwFocusTime, b._rcElem.left, b._rcElem.top, b._rcElem.right, b._rcElem.bottom);
        return text;
    }
};

TEST_F(FocusTrackingTest, FocusStoresTheElementAndWhetherItTakesText) {
    struct Case {
        const char* what;
        LONG role;
        LONG state;
        int editable;
    } cases[] = {
        {"text field", ROLE_SYSTEM_TEXT, STATE_SYSTEM_FOCUSED, 1},
        {"read-only text field", ROLE_SYSTEM_TEXT, STATE_SYSTEM_READONLY | STATE_SYSTEM_FOCUSED, 0},
        {"combo box", ROLE_SYSTEM_COMBOBOX, 0, 1},
        {"client area", ROLE_SYSTEM_CLIENT, 0, 1},
        {"push button", ROLE_SYSTEM_PUSHBUTTON, 0, 0},
        {"read-only push button", ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_READONLY, 0},
    };
    DWORD time = 10000;
    for (const Case& c : cases) {
        FakeRef field(c.role);
        field->state = c.state;
        field->location = {120, 130, 220, 150};
        FakeAccessibleWindow window(L"SxFocusFieldWnd", field.get());
        block()._iEditable = 7;
        time += 1000;
        event(kFocus, window.handle(), time);
        const SharedDataStruct& b = block();
        EXPECT_EQ(b._hwndElem, handle32(window.handle())) << c.what;
        EXPECT_EQ(b._hwndFocus, handle32(window.handle())) << c.what;
        EXPECT_EQ(b._idObject, OBJID_CLIENT) << c.what;
        EXPECT_EQ(b._idChild, CHILDID_SELF) << c.what;
        EXPECT_EQ(b._dwRole, static_cast<uint32_t>(c.role)) << c.what;
        EXPECT_EQ(b._dwState, static_cast<uint32_t>(c.state)) << c.what;
        EXPECT_EQ(b._iEditable, c.editable) << c.what;
        EXPECT_EQ(b._dwFocusTime, time) << c.what;
        EXPECT_EQ(b._rcElem.left, 120) << c.what;
        EXPECT_EQ(b._rcElem.bottom, 150) << c.what;
        EXPECT_EQ(b._iSameWindow, 0) << c.what;
    }
}

TEST_F(FocusTrackingTest, FocusStoresTheForegroundApplication) {
    FakeRef field(ROLE_SYSTEM_TEXT);
    FakeAccessibleWindow window(L"SxFocusFieldWnd", field.get());
    block()._hwndForeground = 0xDEAD;  // something else was in front
    event(kFocus, window.handle());
    EXPECT_EQ(block()._hwndForeground, handle32(GetForegroundWindow()));
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_STREQ(block()._szForegroundModule, self);

    // The same foreground: the path is not written again.
    block()._szForegroundModule[0] = L'\0';
    block()._hwndFocus = 0;
    event(kFocus, window.handle(), 9000);
    EXPECT_STREQ(block()._szForegroundModule, L"");
}

TEST_F(FocusTrackingTest, WindowsThatTakeNoFocusLeaveTheFocusWindowAlone) {
    for (DWORD exStyle : {WS_EX_NOACTIVATE, WS_EX_TRANSPARENT}) {
        FakeRef field(ROLE_SYSTEM_TEXT);
        FakeAccessibleWindow window(L"SxNoActivateWnd", field.get(), exStyle);
        block()._hwndFocus = 0x1111;
        block()._hwndForeground = 0x2222;
        block()._szForegroundModule[0] = L'\0';
        event(kFocus, window.handle());
        EXPECT_EQ(block()._hwndElem, handle32(window.handle())) << "the element is stored";
        EXPECT_EQ(block()._hwndFocus, 0x1111u);
        EXPECT_EQ(block()._hwndForeground, 0x2222u);
        EXPECT_STREQ(block()._szForegroundModule, L"");
    }
}

TEST_F(FocusTrackingTest, AnElementWithoutLocationIsStoredNowhere) {
    FakeRef field(ROLE_SYSTEM_TEXT);
    field->locationResult = E_FAIL;
    FakeAccessibleWindow window(L"SxFocusFieldWnd", field.get());
    event(kFocus, window.handle());
    const RECT& r = block()._rcElem;
    EXPECT_EQ(r.left, -30001);
    EXPECT_EQ(r.top, -30002);
    EXPECT_EQ(r.right, -30001);
    EXPECT_EQ(r.bottom, -30002);
}

TEST_F(FocusTrackingTest, ARepeatedFocusOnADocumentWindowKeepsTheStoredElement) {
    struct Case {
        const char* what;
        const wchar_t* windowClass;
        LONG role;
        DWORD after;     // ms after the stored focus event
        int sameWindow;  // the stored element's flag
        bool kept;
    } cases[] = {
        {"document 50 ms later", L"AVL_AVView", ROLE_SYSTEM_DOCUMENT, 50, 1, true},
        {"document 150 ms later", L"AVL_AVView", ROLE_SYSTEM_DOCUMENT, 150, 1, false},
        {"document 150 ms later, just arrived", L"AVL_AVView", ROLE_SYSTEM_DOCUMENT, 150, 0, true},
        {"document of another kind of window", L"SxDocumentWnd", ROLE_SYSTEM_DOCUMENT, 50, 1,
         false},
        {"client 50 ms later", L"AVL_AVView", ROLE_SYSTEM_CLIENT, 50, 1, true},
        {"client 150 ms later", L"AVL_AVView", ROLE_SYSTEM_CLIENT, 150, 1, false},
        {"client of another kind of window", L"SxDocumentWnd", ROLE_SYSTEM_CLIENT, 50, 1, false},
    };
    for (const Case& c : cases) {
        FakeRef element(c.role);
        element->location = {110, 110, 300, 200};
        FakeAccessibleWindow window(c.windowClass, element.get());
        event(kFocus, window.handle(), 20000);
        ASSERT_EQ(block()._hwndElem, handle32(window.handle())) << c.what;
        block()._iSameWindow = c.sameWindow;
        block()._dwRole = 0xBEEF;  // marks the stored element
        event(kFocus, window.handle(), 20000 + c.after);
        EXPECT_EQ(block()._dwRole == 0xBEEF, c.kept) << c.what;
        EXPECT_EQ(block()._dwFocusTime, c.kept ? 20000u : 20000u + c.after) << c.what;
    }
}

TEST_F(FocusTrackingTest, TheSecondFocusInOneWindowIsMarkedSameWindow) {
    FakeRef field(ROLE_SYSTEM_TEXT);
    FakeAccessibleWindow window(L"SxFocusFieldWnd", field.get());
    event(kFocus, window.handle(), 1000);
    EXPECT_EQ(block()._iSameWindow, 0);
    event(kFocus, window.handle(), 3000);
    EXPECT_EQ(block()._iSameWindow, 1);
}

TEST_F(FocusTrackingTest, CaretAndPopupMenuEvents) {
    FakeRef field(ROLE_SYSTEM_TEXT);
    FakeAccessibleWindow fieldWindow(L"SxFocusFieldWnd", field.get());
    event(kFocus, fieldWindow.handle());
    const std::string stored = elementFields();

    FakeRef caret(ROLE_SYSTEM_CARET);
    FakeAccessibleWindow caretWindow(L"SxCaretWnd", caret.get());
    FakeRef menu(ROLE_SYSTEM_MENUPOPUP);
    FakeAccessibleWindow menuWindow(L"SxMenuWnd", menu.get());
    struct Case {
        const char* what;
        DWORD event;
        HWND window;
        LONG idObject;
        int caretShown;
        uint32_t menu;
    } cases[] = {
        {"caret shown", EVENT_OBJECT_SHOW, caretWindow.handle(), OBJID_CARET, 1, 0},
        {"caret focused", kFocus, caretWindow.handle(), OBJID_CARET, 1, 0},
        {"caret hidden", EVENT_OBJECT_HIDE, caretWindow.handle(), OBJID_CARET, 0, 0},
        {"menu opens", EVENT_SYSTEM_MENUPOPUPSTART, menuWindow.handle(), OBJID_CLIENT, 0,
         handle32(menuWindow.handle())},
        {"something else shown", EVENT_OBJECT_SHOW, menuWindow.handle(), OBJID_CLIENT, 0,
         handle32(menuWindow.handle())},
        {"menu closes", EVENT_SYSTEM_MENUPOPUPEND, menuWindow.handle(), OBJID_CLIENT, 0, 0},
        {"menu opens, window gone", EVENT_SYSTEM_MENUPOPUPSTART, nullptr, OBJID_CLIENT, 0, 0},
    };
    for (const Case& c : cases) {
        event(c.event, c.window, 7000, c.idObject);
        EXPECT_EQ(block()._iCaretShown, c.caretShown) << c.what;
        EXPECT_EQ(block()._hwndMenu, c.menu) << c.what;
        EXPECT_EQ(elementFields(), stored) << c.what << ": no element field changes";
    }
}

TEST_F(FocusTrackingTest, EventsAreIgnoredWhenTheyAreNotOurs) {
    FakeRef field(ROLE_SYSTEM_TEXT);
    FakeAccessibleWindow window(L"SxFocusFieldWnd", field.get());
    const std::string untouched = elementFields();
    struct Case {
        const char* what;
        void (*arrange)(SharedDataStruct&);
        DWORD thread;  // 0: this one
        DWORD event;
    } cases[] = {
        {"tracking off", [](SharedDataStruct& b) { b._iEnabled = 0; }, 0, kFocus},
        {"paused", [](SharedDataStruct& b) { b._iPaused = 1; }, 0, kFocus},
        {"the program gone", [](SharedDataStruct& b) { b._hwndMain = 0; }, 0, kFocus},
        {"raised by another thread", [](SharedDataStruct&) {}, GetCurrentThreadId() + 1, kFocus},
        {"an event not followed", [](SharedDataStruct&) {}, 0, EVENT_OBJECT_NAMECHANGE},
    };
    for (const Case& c : cases) {
        const uint32_t main = block()._hwndMain;
        c.arrange(block());
        event(c.event, window.handle(), 5000, OBJID_CLIENT, c.thread);
        EXPECT_EQ(elementFields(), untouched) << c.what;
        EXPECT_EQ(block()._hwndFocus, 0u) << c.what;
        block()._iEnabled = 1;
        block()._iPaused = 0;
        block()._hwndMain = main;
    }
    hook64Process().block = nullptr;
    event(kFocus, window.handle());  // no block in this process: nothing to do, no crash
}

TEST_F(FocusTrackingTest, AnEventWithoutElementIsTracedAndChangesNothing) {
    TraceCapture trace;
    FakeRef field(ROLE_SYSTEM_TEXT);
    FakeAccessibleWindow window(L"SxFocusFieldWnd", field.get());
    const std::string untouched = elementFields();
    // An object the window does not serve: no element can be made for it.
    WinEventProc(nullptr, kFocus, window.handle(), 12345, CHILDID_SELF, GetCurrentThreadId(), 5000);
    EXPECT_EQ(elementFields(), untouched);
    EXPECT_TRUE(
        trace.contains("------ EVENT HANDLER setFromEvent failed !!!!!!!! -----idEvent=0x8005 "
                       "idObject=12345 idChild=0 hwndMsg=0x"))
        << trace.text();
}

// --- the cursor check ------------------------------------------------------

class CursorCheckTest : public FocusTrackingTest {};

TEST_F(CursorCheckTest, ListScrollAreasButtonsAndIndicatorsAreRefused) {
    // The window spans 100..400 x 100..300; the element under the point is a fake.
    struct Case {
        const char* what;
        LONG role;
        RECT listRect;  // the list's rectangle (the element itself, or its enclosing list)
        POINT point;
        int answer;
    } cases[] = {
        // clang-format off
        {"list, 10 px left of its right edge",  ROLE_SYSTEM_LIST, {100, 100, 400, 300}, {390, 150}, -1},
        {"list, 20 px left of its right edge",  ROLE_SYSTEM_LIST, {100, 100, 400, 300}, {380, 150},  1},
        {"list, 10 px above its bottom edge",   ROLE_SYSTEM_LIST, {100, 100, 400, 300}, {150, 290}, -1},
        {"narrow list, 10 px left of its edge", ROLE_SYSTEM_LIST, {100, 100, 180, 300}, {170, 150},  1},
        {"narrow list, 20 px left of its edge", ROLE_SYSTEM_LIST, {100, 100, 180, 300}, {160, 150},  1},
        {"list item near the list's edge", ROLE_SYSTEM_LISTITEM, {100, 100, 400, 300}, {390, 150}, -1},
        {"list item on the list",          ROLE_SYSTEM_LISTITEM, {100, 100, 400, 300}, {200, 150},  1},
        {"client in a list, outside it",   ROLE_SYSTEM_CLIENT,   {100, 100, 150, 150}, {200, 200}, -1},
        {"push button", ROLE_SYSTEM_PUSHBUTTON, {0, 0, 0, 0}, {200, 150}, -1},
        {"indicator",   ROLE_SYSTEM_INDICATOR,  {0, 0, 0, 0}, {200, 150}, -1},
        {"text field",  ROLE_SYSTEM_TEXT,       {0, 0, 0, 0}, {200, 150},  1},
        // clang-format on
    };
    for (const Case& c : cases) {
        FakeRef root(ROLE_SYSTEM_WINDOW);
        FakeRef list(ROLE_SYSTEM_LIST);
        FakeRef hit(c.role);
        list->location = c.listRect;
        list->parent = root.get();
        hit->location = c.role == ROLE_SYSTEM_LIST ? c.listRect : RECT{110, 110, 390, 290};
        hit->parent = list.get();
        root->hitObject = hit.get();
        FakeAccessibleWindow window(L"SxCursorWnd", root.get());
        EXPECT_EQ(checkPointUnderCursor(c.point), c.answer) << c.what;
    }
}

TEST_F(CursorCheckTest, ItemsOutsideAnyListAreAccepted) {
    FakeRef root(ROLE_SYSTEM_WINDOW);
    FakeRef item(ROLE_SYSTEM_LISTITEM);
    item->parent = root.get();
    root->hitObject = item.get();
    FakeAccessibleWindow window(L"SxCursorWnd", root.get());
    EXPECT_EQ(checkPointUnderCursor(POINT{390, 150}), 1);
}

TEST_F(CursorCheckTest, TheCursorEventAnswersARequest) {
    FakeRef root(ROLE_SYSTEM_WINDOW);
    FakeRef button(ROLE_SYSTEM_PUSHBUTTON);
    root->hitObject = button.get();
    FakeAccessibleWindow window(L"SxCursorWnd", root.get());
    ASSERT_TRUE(SetCursorPos(200, 150));
    POINT cursor;
    GetCursorPos(&cursor);
    ASSERT_EQ(cursor.x, 200) << "the cursor must be movable here";

    block()._iCursorCheckRequest = 1;
    block()._iPaused = 1;  // the check runs while paused too
    WinEventProc(nullptr, EVENT_OBJECT_LOCATIONCHANGE, nullptr, OBJID_CURSOR, CHILDID_SELF,
                 GetCurrentThreadId(), 4242);
    EXPECT_EQ(block()._dwCursorCheckTime, 4242u);
    EXPECT_EQ(block()._iCursorCheckRequest, 0);
    EXPECT_EQ(block()._iCursorCheckRefused, 1);

    // Nothing under the cursor: the request stays for the next cursor event.
    TraceCapture trace;
    root->hitObject = nullptr;
    root->hitNothing = true;
    block()._iCursorCheckRequest = 1;
    block()._iCursorCheckRefused = 0;
    WinEventProc(nullptr, EVENT_OBJECT_LOCATIONCHANGE, nullptr, OBJID_CURSOR, CHILDID_SELF,
                 GetCurrentThreadId(), 4343);
    EXPECT_EQ(block()._iCursorCheckRequest, 1);
    EXPECT_EQ(block()._iCursorCheckRefused, 0);
    EXPECT_TRUE(trace.contains("LATE_CHECK64:FAILED\n")) << trace.text();

    // Another thread's cursor event is not ours to answer.
    WinEventProc(nullptr, EVENT_OBJECT_LOCATIONCHANGE, nullptr, OBJID_CURSOR, CHILDID_SELF,
                 GetCurrentThreadId() + 1, 4444);
    EXPECT_EQ(block()._dwCursorCheckTime, 4343u);
}

TEST_F(FocusTrackingTest, ElementInfoTraceDescribesTheStoredElementAndItsWindow) {
    FakeRef field(ROLE_SYSTEM_TEXT);
    field->name = L" User\u00A0name ";
    field->location = {120, 130, 220, 150};
    FakeAccessibleWindow window(L"SxFocusFieldWnd", field.get(), WS_EX_TOOLWINDOW);
    event(kFocus, window.handle());
    block()._dwmsEventTime = 777;
    TraceCapture trace;
    printInputElemInfo();
    wchar_t role[64];
    GetRoleTextW(ROLE_SYSTEM_TEXT, role, 64);
    std::string roleText;
    for (const wchar_t* p = role; *p; ++p) roleText.push_back(static_cast<char>(*p));
    EXPECT_TRUE(trace.contains("+++ELEM_INFO(LAST): Role=" + roleText +
                               " State= location={120,130,220,150}, "
                               "name=User name idObject=-4 idChild=0 dwmsEventTime=777\n"))
        << trace.text();
    char window_line[128];
    snprintf(window_line, sizeof window_line,
             "****hwndMsg: wnd=0x%X class=SxFocusFieldWnd style=0x", handle32(window.handle()));
    EXPECT_TRUE(trace.contains(window_line)) << trace.text();
    EXPECT_TRUE(trace.contains(" WS_POPUP WS_VISIBLE...) exStyle=0x80( WS_EX_TOOLWINDOW ...)\n"))
        << trace.text();

    trace.clear();
    block()._iEnabled = 0;
    printInputElemInfo();
    EXPECT_EQ(trace.text(), "");
}

TEST_F(FocusTrackingTest, LastFocusedElementInfoIsCopiedFromTheBlock) {
    block()._hwndElem = 0x12345678;
    block()._idObject = OBJID_CLIENT;
    block()._idChild = 3;
    UI_ELEM_INFO info = {};
    EXPECT_EQ(getLastFocusedElemInfo(&info), 1);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(info.hwnd), 0x12345678u) << "zero-extended";
    EXPECT_EQ(info.idObject, OBJID_CLIENT);
    EXPECT_EQ(info.idChild, 3);
    hook64Process().block = nullptr;
    EXPECT_EQ(getLastFocusedElemInfo(&info), 1);
}

}  // namespace
