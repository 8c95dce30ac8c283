#include "MarkupCanvas.h"

#include <string>

#include "core/AppGlobals.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "outside/ZVFatInk.h"
#include "ui/clip/ScreenCapture.h"
#include "win/Checks.h"
#include "win/WinString.h"

namespace {
// The thread that made the canvas window (the main thread): the control's
// state is that thread's, and so are the requests to it.
win::OwnerThread g_canvasOwner("markup canvas");
}  // namespace

namespace markup_canvas {

namespace {

// Markup tool n (1..6) is the control's code kToControl[n - 1].
constexpr int kToControl[6] = {0, 1, 5, 2, 4, 3};

LRESULT send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    HWND w = window();
    if (!w) return 0;
    g_canvasOwner.check("a request to the ink control");
    return SendMessageW(w, message, wParam, lParam);
}

}  // namespace

int toolToControl(int tool) { return tool >= 1 && tool <= 6 ? kToControl[tool - 1] : 1; }

int toolFromControl(int code) {
    for (int tool = 1; tool <= 6; ++tool)
        if (kToControl[tool - 1] == code) return tool;
    return TOOL_PENCIL;
}

HWND window() { return appGlobals().markupCtrlWindow; }

HWND findCaptureWindow() { return FindWindowW(SCREEN_CAPTURE_CLASS, nullptr); }

bool closeCaptureWindow() {
    HWND capture = findCaptureWindow();
    if (!capture) return false;
    ServiceState& state = serviceState();
    state.lastCaptureCloseTick = GetTickCount();
    state.captureCloseValid = true;
    PostMessageW(capture, WM_CLOSE, 0, 0);
    return true;
}

HBITMAP takeDesktopSnapshot() {
    const int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN),
              height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) return nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP snapshot = CreateCompatibleBitmap(screen, width, height);
    if (dc && snapshot) {
        HGDIOBJ old = SelectObject(dc, snapshot);
        BitBlt(dc, 0, 0, width, height, screen, x, y, SRCCOPY | CAPTUREBLT);
        // The frame tells the user the screen is a still picture now.
        HPEN red = CreatePen(PS_SOLID, 3, RGB(255, 0, 0));
        HGDIOBJ oldPen = SelectObject(dc, red);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, 2, 2, width - 2, height - 2);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(red);
        SelectObject(dc, old);
    }
    if (dc) DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return snapshot;
}

void showCanvas(HBITMAP snapshot) {
    g_canvasOwner.check("showCanvas");
    HWND w = window();
    if (!w) {
        if (snapshot) DeleteObject(snapshot);
        return;
    }
    SendMessageW(w, ZVIC_SET_BACKGROUND, 0, reinterpret_cast<LPARAM>(snapshot));
    SendMessageW(w, ZVIC_SET_OWNER, reinterpret_cast<WPARAM>(getServiceWindow()), 1);
    SendMessageW(w, ZVIC_SET_MODE, 1, 0);
    SetWindowPos(w, HWND_TOP, GetSystemMetrics(SM_XVIRTUALSCREEN),
                 GetSystemMetrics(SM_YVIRTUALSCREEN), GetSystemMetrics(SM_CXVIRTUALSCREEN),
                 GetSystemMetrics(SM_CYVIRTUALSCREEN), SWP_SHOWWINDOW);
    SetForegroundWindow(w);
    InvalidateRect(w, nullptr, FALSE);
    if (HWND service = getServiceWindow())
        PostMessageW(service, WM_INK_MARKUP_SWITCH, 3, reinterpret_cast<LPARAM>(w));
}

void hideCanvas() {
    g_canvasOwner.check("hideCanvas");
    if (HWND w = window()) ShowWindow(w, SW_HIDE);
}

void setRecognizerFolder() {
    ZVInkRecognizerRecord record = {};
    record.size = sizeof record;
    const std::wstring folder = win::moduleFolder(nullptr) + L"\\English";
    wcsncpy(record.path, folder.c_str(), MAX_PATH - 1);
    send(ZVIC_SET_RECOGNIZER, 0, reinterpret_cast<LPARAM>(&record));
}

int currentTool() { return toolFromControl(static_cast<int>(send(ZVIC_GET_TOOL))); }
void setTool(int tool) { send(ZVIC_SET_TOOL, toolToControl(tool)); }
int currentWidth() { return static_cast<int>(send(ZVIC_GET_WIDTH, 1)); }
void setWidth(int width) { send(ZVIC_SET_WIDTH, static_cast<WPARAM>(width + 1000)); }
COLORREF currentColour() { return static_cast<COLORREF>(send(ZVIC_GET_COLOR)); }
void setColour(COLORREF colour) { send(ZVIC_SET_COLOR, colour); }
bool hasSelection() { return send(ZVIC_HAS_SELECTION) != 0; }
bool shapeModeOn() { return send(ZVIC_GET_SHAPE_MODE) != 0; }

void setShapeMode(bool on) {
    if (on && hasSelection())
        send(ZVIC_ENHANCE_SELECTION, 2);
    else
        send(ZVIC_SET_SHAPE_MODE, on ? 2 : 0);
}

void undo() { send(WM_UNDO); }
void redo() { send(ZVIC_REDO); }
void clearInk() { send(ZVIC_CLEAR); }
void cutSelection() { send(WM_CUT); }

}  // namespace markup_canvas

namespace {

bool ctrlDown() { return (GetKeyState(VK_CONTROL) & 0x8000) != 0; }

void leaveMarkup() {
    if (HWND service = getServiceWindow()) PostMessageW(service, WM_INK_MARKUP_SWITCH, 0, 0);
}

// Copy and paste go through the clipboard: the service window takes the
// foreground meanwhile, and the control its focus back.
void clipboardCommand(HWND window, UINT message) {
    ZVInkCtrlWindowProc(window, message, 0, 0);
    if (HWND service = getServiceWindow()) SetForegroundWindow(service);
    SetFocus(window);
}

LRESULT onKeyDown(HWND window, WPARAM key) {
    switch (key) {
        case VK_ESCAPE:
        case VK_TAB:
            // While the clipping tool is open, Escape is the tool's.
            if (!markup_canvas::findCaptureWindow()) leaveMarkup();
            return 0;
        case VK_DELETE:
        case VK_BACK:
            PostMessageW(window, WM_CUT, 0, 0);
            return 0;
        default:
            break;
    }
    if (!ctrlDown()) return 0;
    switch (key) {
        case 'C':
            clipboardCommand(window, WM_COPY);
            break;
        case 'V':
            clipboardCommand(window, WM_PASTE);
            break;
        case 'X':
            PostMessageW(window, WM_CUT, 0, 0);
            break;
        case 'Y':
            PostMessageW(window, ZVIC_REDO, 0, 0);
            break;
        case 'Z':
            PostMessageW(window, EM_UNDO, 0, 0);
            break;
        default:
            break;
    }
    return 0;
}

void onKillFocus(HWND window, HWND newFocus) {
    HWND foreground = GetForegroundWindow();
    if (foreground) {
        const std::wstring cls = win::windowClassName(foreground);
        if (cls == SCREEN_CAPTURE_CLASS || cls == L"wndclass_desked_gsk") return;
    }
    if (!foreground && !newFocus) {
        SetFocus(window);
        return;
    }
    if (!newFocus) return;
    DWORD pid = 0;
    GetWindowThreadProcessId(newFocus, &pid);
    HWND bar = markupBarWindow();
    const bool barOrChild = bar && (newFocus == bar || IsChild(bar, newFocus));
    if (pid != GetCurrentProcessId() && !barOrChild) leaveMarkup();
}

}  // namespace

LRESULT CALLBACK MarkupCtrlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            g_canvasOwner.adopt();
            SetWindowLongPtrW(window, GWL_STYLE, GetWindowLongPtrW(window, GWL_STYLE) | 1);
            break;
        case WM_KEYDOWN:
            return onKeyDown(window, wParam);
        case WM_KEYUP:
        case WM_CHAR:
            return 0;
        case WM_WINDOWPOSCHANGED:
            if (HWND service = getServiceWindow())
                PostMessageW(service, WM_INK_PEN_OFF_REQUEST, 0, 0);
            break;
        case WM_KILLFOCUS:
            onKillFocus(window, reinterpret_cast<HWND>(wParam));
            break;
        default:
            break;
    }
    return ZVInkCtrlWindowProc(window, message, wParam, lParam);
}
