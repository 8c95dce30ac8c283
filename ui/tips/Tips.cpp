#include "Tips.h"

#include <memory>
#include <string>

#include "core/AppGlobals.h"
#include "core/ServiceMessages.h"
#include "win/Window.h"

namespace {

constexpr UINT kShowRequest = WM_APP + 1;
constexpr UINT kHideRequest = WM_APP + 2;
constexpr UINT_PTR kHideTimer = 1;

// What the window shows; owned by the window, freed (with its font and
// brush) when it is destroyed.
struct TipState {
    TipState() = default;
    TipState(const TipState&) = delete;
    TipState& operator=(const TipState&) = delete;
    ~TipState() {
        if (font) DeleteObject(font);
        if (ownBrush) DeleteObject(brush);
    }

    std::wstring text;
    RECT textRect = {};
    HFONT font = nullptr;
    HBRUSH brush = nullptr;
    bool ownBrush = false;
    COLORREF textColour = 0;
    HWND owner = nullptr;
    bool hideOnMouseMove = true;
    bool notifyOwner = false;
};

struct ShowRequest {
    int x, y;
    const wchar_t* text;
    UINT showTimeMs;
};

TipState* stateOf(HWND window) {
    return reinterpret_cast<TipState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Measures the text and places the window at the screen point (x, y).
bool measureAndPlace(HWND window, TipState* s, int x, int y) {
    if (!s->font) return false;
    HDC dc = GetDC(window);
    if (!dc) return false;
    HGDIOBJ old = SelectObject(dc, s->font);
    RECT r = {0, 0, 0, 0};
    DrawTextExW(dc, const_cast<wchar_t*>(s->text.c_str()), static_cast<int>(s->text.size()), &r,
                DT_CALCRECT | DT_NOPREFIX, nullptr);
    SIZE x_extent = {0, 0};
    int fit = 0;
    GetTextExtentExPointW(dc, L"x", 1, 250, &fit, nullptr, &x_extent);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    if (r.right <= 0 || r.bottom <= 0) return false;

    const int width = r.right + x_extent.cx;
    const int height = r.bottom;
    const int screenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    int left = x;
    int top = y > screenHeight / 2 ? y - 2 - height : y + GetSystemMetrics(SM_CYCURSOR) / 2;
    if (left + width + 2 > screenWidth) left = screenWidth - width - 2;
    s->textRect = {r.left, r.top, width, height};
    MoveWindow(window, left, top, width + 2, height + 2, FALSE);
    return true;
}

LRESULT paint(HWND window, TipState* s) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    FillRect(dc, &s->textRect, s->brush);
    SetTextColor(dc, s->textColour);
    SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = SelectObject(dc, s->font);
    RECT r = s->textRect;
    DrawTextExW(dc, const_cast<wchar_t*>(s->text.c_str()), static_cast<int>(s->text.size()), &r,
                DT_NOPREFIX, nullptr);
    SelectObject(dc, old);
    EndPaint(window, &ps);
    return 0;
}

void hideWindow(HWND window) {
    KillTimer(window, kHideTimer);
    ShowWindow(window, SW_HIDE);
}

}  // namespace

LRESULT CALLBACK Tips::TipsWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The window owns the state from here on and frees it at WM_NCDESTROY,
        // which also comes when the creation fails after this message.
        auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* holder = static_cast<std::unique_ptr<TipState>*>(created->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(holder->release()));
    }
    TipState* s = stateOf(window);
    if (!s) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            return 0;
        case kShowRequest: {
            const auto* request = reinterpret_cast<const ShowRequest*>(lParam);
            s->text = request->text ? request->text : L"";
            if (!measureAndPlace(window, s, request->x, request->y)) {
                hideWindow(window);
                return 0;
            }
            ShowWindow(window, SW_SHOWNOACTIVATE);
            InvalidateRect(window, nullptr, TRUE);
            UpdateWindow(window);
            if (request->showTimeMs)
                SetTimer(window, kHideTimer, request->showTimeMs, nullptr);
            else
                KillTimer(window, kHideTimer);
            return 1;
        }
        case kHideRequest:
            hideWindow(window);
            return 0;
        case WM_PAINT:
            return paint(window, s);
        case WM_ERASEBKGND:
            return 1;
        case WM_SETCURSOR:
            if (s->notifyOwner && s->owner)
                PostMessageW(s->owner, WM_INK_TIPS_TO_MASTER, 0, reinterpret_cast<LPARAM>(window));
            return 4;
        case WM_TIMER:
            if (wParam == kHideTimer) hideWindow(window);
            return 0;
        case WM_MOUSEMOVE:
            if (s->hideOnMouseMove) hideWindow(window);
            return 0;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            delete s;
            return DefWindowProcW(window, message, wParam, lParam);
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool registerTipsWindowClass(HINSTANCE instance) {
    win::WindowClass c;
    c.name = TIPS_WINDOW_CLASS;
    c.procedure = Tips::TipsWndProc;
    c.instance = instance;
    c.cursor = LoadCursorW(nullptr, IDC_ARROW);
    return win::registerClass(c);
}

Tips::Tips(HWND owner, int colourScheme, int fontSize) : owner_(owner) {
    std::unique_ptr<TipState> state(new TipState);
    TipState* s = state.get();
    s->owner = owner;
    const bool highlight = colourScheme > 0;
    s->textColour = GetSysColor(highlight ? COLOR_HIGHLIGHTTEXT : COLOR_INFOTEXT);
    s->brush = CreateSolidBrush(GetSysColor(highlight ? COLOR_HIGHLIGHT : COLOR_INFOBK));
    s->ownBrush = s->brush != nullptr;
    if (!s->brush) s->brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    LOGFONTW font = {};
    font.lfHeight = -((dpi * fontSize + 36) / 108);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = PROOF_QUALITY;
    lstrcpyW(font.lfFaceName, L"Courier New");
    s->font = CreateFontIndirectW(&font);
    window_ =
        CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TIPS_WINDOW_CLASS, L"",
                        WS_POPUP | WS_BORDER, -100, -100, 1, 1, owner, nullptr, getInstance(),
                        &state);
    // A creation that failed before the window took the state leaves it here to be freed.
}

Tips::~Tips() {
    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
}

bool Tips::show(int x, int y, const wchar_t* text, UINT showTimeMs, UINT_PTR tag,
                bool screenCoordinates, bool force) {
    if (!window_) return false;
    if (!force && tag != kNoTag && tag == shownTag_) return false;
    POINT p = {x, y};
    if (!screenCoordinates && (!owner_ || !ClientToScreen(owner_, &p))) return false;
    ShowRequest request = {p.x, p.y, text, showTimeMs};
    const bool shown =
        SendMessageW(window_, kShowRequest, 0, reinterpret_cast<LPARAM>(&request)) != 0;
    shownTag_ = shown ? tag : kNoTag;
    return shown;
}

void Tips::hide(bool reset) {
    if (reset) shownTag_ = kNoTag;
    if (window_) SendMessageW(window_, kHideRequest, 0, 0);
}

void initToolInfo(TTTOOLINFOW* info, UINT flags, HWND window, UINT_PTR id, const RECT* rect,
                  const wchar_t* text, LPARAM parameter) {
    static_assert(sizeof(TTTOOLINFOW) == 48 || sizeof(void*) != 4, "tool record of 48 bytes");
    ZeroMemory(info, sizeof *info);
    info->cbSize = sizeof *info;
    info->uFlags = flags;
    info->hwnd = window;
    info->uId = id;
    if (id == 0) {
        info->uFlags |= TTF_IDISHWND;
        info->hwnd = GetParent(window);
        info->uId = reinterpret_cast<UINT_PTR>(window);
    }
    if (rect) info->rect = *rect;
    info->hinst = getInstance();
    info->lpszText = const_cast<wchar_t*>(text);
    info->lParam = parameter;
}
