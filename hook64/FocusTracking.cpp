// The accessibility event hook, run in context: inside each hooked process it
// keeps the block up to date with the focused window, the foreground
// application, the focused element, the caret and open popup menus, and on
// request checks the point under the cursor.
#include "hook64/FocusTracking.h"

#include <string>

#include "hook64/AccElem.h"
#include "hook64/Hook64State.h"
#include "hook64/MessageHooks.h"
#include "hook64/ReaderScreenMode.h"
#include "hook64/vexaHook64.h"

namespace {

constexpr DWORD kEventMenuPopupStart = 6;  // EVENT_SYSTEM_MENUPOPUPSTART
constexpr DWORD kEventMenuPopupEnd = 7;    // EVENT_SYSTEM_MENUPOPUPEND
constexpr DWORD kEventShow = 0x8002;       // EVENT_OBJECT_SHOW
constexpr DWORD kEventHide = 0x8003;       // EVENT_OBJECT_HIDE
constexpr DWORD kEventFocus = 0x8005;      // EVENT_OBJECT_FOCUS
constexpr LONG kObjectCursor = -9;         // OBJID_CURSOR
// A second focus event this soon after the stored one is the same move of
// the focus seen again (unsigned difference of event times).
constexpr DWORD kSameFocusMs = 100;
// Windows that never take the focus from the user.
constexpr LONG_PTR kNotFocusTaking = WS_EX_NOACTIVATE | WS_EX_TRANSPARENT;

// -1 when the point lies outside `r` or on the scroll area of a large list
// near its right or bottom edge, else 1.
int listTest(const RECT& r, POINT pt) {
    const SharedDataStruct* block = sharedBlock();
    if (pt.x < r.left || pt.x >= r.right || pt.y < r.top || pt.y >= r.bottom) return -1;
    const int mx = block->_iListMarginX, my = block->_iListMarginY;
    if (r.right - r.left > 5 * mx && pt.x >= r.right - mx) return -1;
    if (r.bottom - r.top > 5 * my && pt.y >= r.bottom - my) return -1;
    return 1;
}

void storeFocusWindow(SharedDataStruct* block, HWND window) {
    if (handle32(window) == block->_hwndFocus) return;
    if (GetWindowLongPtrW(window, GWL_EXSTYLE) & kNotFocusTaking) return;
    block->_hwndFocus = handle32(window);
    HWND foreground = GetForegroundWindow();
    if (handle32(foreground) == block->_hwndForeground) return;
    block->_hwndForeground = handle32(foreground);
    WCHAR path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    path[n < MAX_PATH ? n : MAX_PATH - 1] = L'\0';
    lstrcpynW(block->_szForegroundModule, path, ARRAYSIZE(block->_szForegroundModule));
}

// Whether this focus event only repeats the stored element (some document
// windows report their client and document objects in quick succession).
bool keepStoredElement(const SharedDataStruct* block, const CAccElem& element, LONG role,
                       HWND window, DWORD eventTime) {
    const bool soon = eventTime - block->_dwFocusTime < kSameFocusMs;
    if (role == kRoleDocument) {
        locationWithReaderMode(element, true);
        return handle32(window) == block->_hwndElem && (block->_iSameWindow == 0 || soon) &&
               hasAvlClassPrefix(window);
    }
    if (role == kRoleClient && soon) {
        if (hasAvlClassPrefix(window)) locationWithReaderMode(element, true);
        HWND stored = handleOf(block->_hwndElem);
        if (isSameProcessWindow(window, stored)) return hasAvlClassPrefix(stored);
    }
    return false;
}

void storeElement(SharedDataStruct* block, const CAccElem& element, LONG role, HWND window,
                  LONG idObject, LONG idChild, DWORD eventTime) {
    const LONG state = element.getState();
    block->_iSameWindow = handle32(window) == block->_hwndElem ? 1 : 0;
    block->_hwndElem = handle32(window);
    block->_idObject = idObject;
    block->_idChild = idChild;
    block->_dwRole = static_cast<uint32_t>(role);
    block->_dwState = static_cast<uint32_t>(state);
    block->_dwFocusTime = eventTime;
    block->_rcElem = locationOrNowhere(element);
    if (role == kRoleText || role == kRoleComboBox || role == kRoleClient) {
        block->_iEditable = (state & kStateReadOnly) ? 0 : 1;
        if (hasAvlClassPrefix(window) && !element.hasParent()) {
            // These windows build their tree only when a reader asks once.
            CSafeSetReaderScreenMode reader;
            CAccElem client;
            RECT ignored;
            if (client.fromWindow(window, true)) client.getLocation(&ignored);
        }
    } else {
        block->_iEditable = 0;
    }
}

}  // namespace

bool hasAvlClassPrefix(HWND window, const wchar_t* prefix) {
    if (!window) return false;
    WCHAR name[99];
    if (!GetClassNameW(window, name, ARRAYSIZE(name))) return false;
    return wcsncmp(name, prefix, 4) == 0;
}

RECT locationOrNowhere(const CAccElem& element) {
    RECT r;
    if (element.getLocation(&r, false)) return r;
    const SharedDataStruct* block = sharedBlock();
    const LONG x = block->_xNoLocation - 1, y = block->_yNoLocation - 1;
    return RECT{x, y, x, y};
}

RECT locationWithReaderMode(const CAccElem& element, bool raise) {
    CSafeSetReaderScreenMode reader(raise);
    return locationOrNowhere(element);
}

int checkPointUnderCursor(POINT point) {
    CAccElem element;
    if (!element.fromPoint(point)) {
        debugPrint(L"LATE_CHECK64:FAILED\n");
        return 0;
    }
    const LONG role = element.getRole();
    switch (role) {
        case kRoleList:
            return listTest(locationOrNowhere(element), point);
        case kRoleListItem:
        case kRoleClient: {
            CAccElem list;
            if (element.findEnclosingList(&list) && list.getRole() == kRoleList)
                return listTest(locationOrNowhere(list), point);
            return 1;
        }
        case kRoleIndicator:
        case kRolePushButton:
            return -1;
        default:
            return 1;
    }
}

void CALLBACK WinEventProc(HWINEVENTHOOK, DWORD event, HWND window, LONG idObject, LONG idChild,
                           DWORD eventThread, DWORD eventTime) {
    SharedDataStruct* block = sharedBlock();
    if (!block || block->_hwndMain == 0 || block->_iEnabled == 0) return;
    const bool ownThread = eventThread == GetCurrentThreadId();

    if (block->_iCursorCheckRequest != 0 && idObject == kObjectCursor && ownThread) {
        block->_dwCursorCheckTime = eventTime;
        POINT cursor = {0, 0};
        GetCursorPos(&cursor);
        const int answer = checkPointUnderCursor(cursor);
        if (answer != 0) block->_iCursorCheckRequest = 0;
        if (answer < 0) block->_iCursorCheckRefused = 1;
    }
    if (block->_iPaused != 0) return;

    switch (event) {
        case kEventMenuPopupStart:
            block->_hwndMenu = handle32(window);
            break;
        case kEventMenuPopupEnd:
            block->_hwndMenu = 0;
            break;
        case kEventShow:
        case kEventHide:
        case kEventFocus:
            break;
        default:
            return;
    }
    if (!window || !IsWindow(window) || !ownThread) return;

    CAccElem element;
    if (!element.fromEvent(window, idObject, idChild, false)) {
        debugPrint(
            L"------ EVENT HANDLER setFromEvent failed !!!!!!!! -----idEvent=0x%X "
            L"idObject=%d idChild=%d hwndMsg=0x%X \n",
            event, idObject, idChild, handle32(window));
        return;
    }
    const LONG role = element.getRole();
    if (role == kRoleCaret) {
        if (event == kEventShow) block->_iCaretShown = 1;
        if (event == kEventHide) block->_iCaretShown = 0;
        return;
    }
    if (event != kEventFocus) return;
    storeFocusWindow(block, window);
    if (keepStoredElement(block, element, role, window, eventTime)) return;
    storeElement(block, element, role, window, idObject, idChild, eventTime);
}

void printWindowInfo(const wchar_t* prefix, HWND window) {
    WCHAR line[256];
    if (!IsWindow(window)) {
        _snwprintf(line, ARRAYSIZE(line), L"%ls wnd=0x%X  IsWindow()==NULL\n", prefix,
                   handle32(window));
        line[ARRAYSIZE(line) - 1] = L'\0';
        OutputDebugStringW(line);
        return;
    }
    WCHAR className[99] = L"";
    GetClassNameW(window, className, ARRAYSIZE(className));
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
    struct Bit {
        DWORD bit;
        const wchar_t* name;
    };
    static const Bit styles[] = {{0x80000000, L" WS_POPUP"},    {0x40000000, L" WS_CHILD"},
                                 {0x20000000, L" WS_MINIMIZE"}, {0x10000000, L" WS_VISIBLE"},
                                 {0x08000000, L" WS_DISABLED"}, {0x00400000, L" WS_DLGFRAME"}};
    static const Bit exStyles[] = {
        {0x1, L" WS_EX_DLGMODALFRAME"},    {0x8, L" WS_EX_TOPMOST"},
        {0x20, L" WS_EX_TRANSPARENT"},     {0x80, L" WS_EX_TOOLWINDOW"},
        {0x40000, L" WS_EX_APPWINDOW"},    {0x80000, L" WS_EX_LAYERED"},
        {0x2000000, L" WS_EX_COMPOSITED"}, {0x8000000, L" WS_EX_NOACTIVATE"}};
    WCHAR piece[200];
    _snwprintf(piece, ARRAYSIZE(piece), L"%ls wnd=0x%X class=%ls style=0x%X(", prefix,
               handle32(window), className, style);
    piece[ARRAYSIZE(piece) - 1] = L'\0';
    std::wstring text = piece;
    for (const Bit& b : styles)
        if (style & b.bit) text += b.name;
    _snwprintf(piece, ARRAYSIZE(piece), L"...) exStyle=0x%X(", exStyle);
    piece[ARRAYSIZE(piece) - 1] = L'\0';
    text += piece;
    for (const Bit& b : exStyles)
        if (exStyle & b.bit) text += b.name;
    text += L" ...)\n";
    lstrcpynW(line, text.c_str(), ARRAYSIZE(line));
    OutputDebugStringW(line);
}

void printInputElemInfo() {
    const SharedDataStruct* block = sharedBlock();
    if (!block || block->_hwndMain == 0 || block->_iEnabled == 0) return;
    CAccElem element;
    if (!element.fromEvent(handleOf(block->_hwndElem), block->_idObject, block->_idChild, false))
        return;
    std::wstring name, role, state;
    if (!element.getName(&name)) name.clear();
    element.getRoleText(&role);
    element.getStateText(&state);
    const RECT r = locationOrNowhere(element);
    debugPrint(
        L"+++ELEM_INFO(LAST): Role=%s State=%s location={%d,%d,%d,%d}, name=%s "
        L"idObject=%ld idChild=%ld dwmsEventTime=%ld\n",
        role.c_str(), state.c_str(), r.left, r.top, r.right, r.bottom, name.c_str(),
        block->_idObject, block->_idChild, block->_dwmsEventTime);
    printWindowInfo(L"****hwndMsg:", handleOf(block->_hwndElem));
}
