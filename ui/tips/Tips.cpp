#include "Tips.h"

#include <memory>
#include <string>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/RegisteredMessages.h"
#include "core/ServiceMessages.h"
#include "win/PostedRecord.h"
#include "win/Window.h"

namespace {

// Requests of the Tips object to its window (sent, so they run on the
// window's thread and come back with the answer).
enum : UINT {
    kShowRequest = WM_APP + 1,
    kHideRequest,
    kSetFontHeight,
    kArmRequest,
    kCancelRequest,
    kSetFlag,
    kQuery,
};

enum Query : WPARAM { kQueryTag, kQueryLastShownTag, kQueryText, kQueryFontHeight, kQueryPending };
enum Flag : WPARAM { kFlagHideOnMouseMove, kFlagNotifyOwner };

// What the window shows and remembers; owned by the window, freed (with its
// font and brush) when it is destroyed.
struct TipState {
    TipState() = default;
    TipState(const TipState&) = delete;
    TipState& operator=(const TipState&) = delete;
    ~TipState() {
        if (font) DeleteObject(font);
        if (ownBrush) DeleteObject(brush);
    }

    HWND owner = nullptr;
    UINT_PTR tag = Tips::kNoTag;
    RECT textRect = {};
    std::wstring text;
    HFONT font = nullptr;
    LOGFONTW fontSpec = {};
    HBRUSH brush = nullptr;
    bool ownBrush = false;
    // Where a tip appears relative to the point (above it; below it).
    int aboveDx = 0, aboveDy = -2;
    int belowDx = 0, belowDy = 0;
    // The deferred request.
    int requestX = 0, requestY = 0;
    bool requestScreen = false;
    bool pending = false;
    BYTE requestFlags = 0;
    UINT requestShowTime = Tips::kShowTimeMs;
    bool hideOnMouseMove = true;
    bool notifyOwner = false;
    UINT_PTR lastShownTag = Tips::kNoTag;
    COLORREF textColour = 0;
};

struct ShowRequest {
    int x, y;
    const wchar_t* text;
    UINT showTimeMs;
    UINT_PTR tag;
    bool screenCoordinates;
    bool force;
};

struct ArmRequest {
    int x, y;
    UINT_PTR tag;
    bool screenCoordinates;
    BYTE flags;
    UINT showTimeMs;
    UINT delayMs;
};

TipState* stateOf(HWND window) {
    return reinterpret_cast<TipState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// Measures the text and places the window at the screen point (x, y): above
// the point in the lower half of the screen, below it otherwise, and pushed
// left when it would pass the screen's right edge.
bool measureAndPlace(HWND window, TipState* s, int x, int y) {
    if (!s->font) return false;
    HDC dc = GetDC(window);
    if (!dc) return false;
    HGDIOBJ old = SelectObject(dc, s->font);
    RECT r = {0, 0, 0, 0};
    DrawTextExW(dc, const_cast<wchar_t*>(s->text.c_str()), static_cast<int>(s->text.size()), &r,
                DT_CALCRECT | DT_NOPREFIX, nullptr);
    SIZE xExtent = {0, 0};
    int fit = 0;
    GetTextExtentExPointW(dc, L"x", 1, 250, &fit, nullptr, &xExtent);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    if (r.right <= r.left || r.bottom <= r.top) return false;

    const int width = r.right + xExtent.cx;
    const int height = r.bottom;
    const int screenWidth = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    int left, top;
    if (y > screenHeight / 2) {
        left = x + s->aboveDx;
        top = y + s->aboveDy - height;
    } else {
        left = x + s->belowDx;
        top = y + s->belowDy;
    }
    if (left + width + 2 > screenWidth) left = screenWidth - width - 2;
    s->textRect = {r.left, r.top, width, height};
    MoveWindow(window, left, top, width + 2, height + 2, FALSE);
    return true;
}

void hideWindow(HWND window) {
    KillTimer(window, Tips::kHideTimer);
    ShowWindow(window, SW_HIDE);
}

// Shows the state's text at (x, y); the tag is cleared when nothing can be shown.
bool showNow(HWND window, TipState* s, int x, int y, UINT showTimeMs, bool screenCoordinates) {
    POINT p = {x, y};
    if (!screenCoordinates && (!s->owner || !ClientToScreen(s->owner, &p))) return false;
    if (!measureAndPlace(window, s, p.x, p.y)) {
        s->tag = Tips::kNoTag;
        hideWindow(window);
        return false;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    if (showTimeMs)
        SetTimer(window, Tips::kHideTimer, showTimeMs, nullptr);
    else
        KillTimer(window, Tips::kHideTimer);
    s->lastShownTag = s->tag;
    return true;
}

LRESULT showRequested(HWND window, TipState* s, const ShowRequest& r) {
    if (!r.force && s->tag != Tips::kNoTag && r.tag == s->tag) return 0;
    // A point in the owner's client area cannot be placed without an owner;
    // such a request is refused before it takes the tag, so it blocks nothing.
    if (!r.screenCoordinates && !IsWindow(s->owner)) return 0;
    s->tag = r.tag;
    s->text = r.text ? r.text : L"";
    return showNow(window, s, r.x, r.y, r.showTimeMs, r.screenCoordinates) ? 1 : 0;
}

// Timer 2: asks the owner for the text of the armed tag and shows it.
LRESULT deferredText(HWND window, TipState* s) {
    if (s->pending && s->tag != Tips::kNoTag && IsWindow(s->owner)) {
        const UINT_PTR tag = s->tag;
        std::wstring text;
        SendMessageW(s->owner, registeredMessages().tooltipsGetText, tag,
                     reinterpret_cast<LPARAM>(&text));
        // The owner may have closed the tip, or asked for another tip, while
        // it answered: then this request has nothing left to show.
        if (!IsWindow(window) || stateOf(window) != s) return 0;
        if (!text.empty() && s->pending && s->tag == tag) {
            s->pending = false;
            ShowRequest request = {s->requestX, s->requestY,      text.c_str(), s->requestShowTime,
                                   tag,         s->requestScreen, true};
            return showRequested(window, s, request);
        }
    }
    s->pending = false;
    return 0;
}

LRESULT applyFontHeight(HWND window, TipState* s, int height) {
    if (s->font && s->fontSpec.lfHeight == height) return 0;
    LOGFONTW spec = s->fontSpec;
    spec.lfHeight = height;
    HFONT font = CreateFontIndirectW(&spec);
    if (!font) return 0;
    if (s->font) DeleteObject(s->font);
    s->font = font;
    s->fontSpec = spec;
    RECT r = {};
    GetWindowRect(window, &r);
    if (measureAndPlace(window, s, r.left, r.top)) InvalidateRect(window, nullptr, TRUE);
    return 1;
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

LRESULT query(TipState* s, WPARAM what, LPARAM out) {
    switch (what) {
        case kQueryTag:
            return static_cast<LRESULT>(s->tag);
        case kQueryLastShownTag:
            return static_cast<LRESULT>(s->lastShownTag);
        case kQueryText:
            if (std::wstring* text = win::peekRecord<std::wstring>(out)) {
                *text = s->text;
                return 1;
            }
            return 0;
        case kQueryFontHeight:
            return s->fontSpec.lfHeight;
        case kQueryPending:
            return s->pending ? 1 : 0;
        default:
            return 0;
    }
}

}  // namespace

LRESULT CALLBACK Tips::TipsWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The window owns the state from here on and frees it at WM_NCDESTROY,
        // which also comes when the creation fails after this message.
        auto* created = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* holder = static_cast<std::unique_ptr<TipState>*>(created->lpCreateParams);
        if (holder)
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(holder->release()));
    }
    TipState* s = stateOf(window);
    if (!s) return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
        case WM_CREATE:
            return 0;
        // The requests that carry a record take it only when this process
        // made it for them: any process can send the same numbers.
        case kShowRequest: {
            const ShowRequest* r = win::peekRecord<ShowRequest>(lParam);
            return r ? showRequested(window, s, *r) : 0;
        }
        case kHideRequest:
            if (wParam) s->tag = kNoTag;
            hideWindow(window);
            return 0;
        case kSetFontHeight:
            return applyFontHeight(window, s, static_cast<int>(wParam));
        case kArmRequest: {
            const ArmRequest* r = win::peekRecord<ArmRequest>(lParam);
            if (!r) return 0;
            s->requestX = r->x;
            s->requestY = r->y;
            s->requestScreen = r->screenCoordinates;
            s->requestFlags = r->flags;
            s->requestShowTime = r->showTimeMs;
            s->tag = r->tag;
            s->pending = true;
            SetTimer(window, kDeferredTimer, r->delayMs ? r->delayMs : 1, nullptr);
            return 1;
        }
        case kCancelRequest:
            s->pending = false;
            KillTimer(window, kDeferredTimer);
            return 0;
        case kSetFlag:
            if (wParam == kFlagHideOnMouseMove) s->hideOnMouseMove = lParam != 0;
            if (wParam == kFlagNotifyOwner) s->notifyOwner = lParam != 0;
            return 0;
        case kQuery:
            return query(s, wParam, lParam);
        case WM_PAINT:
            return paint(window, s);
        case WM_ERASEBKGND:
            return 1;
        case WM_SETCURSOR:
            if (s->notifyOwner && s->owner)
                PostMessageW(s->owner, WM_INK_TIPS_TO_MASTER, 0, reinterpret_cast<LPARAM>(window));
            return 4;
        case WM_TIMER:
            if (wParam == kHideTimer) {
                hideWindow(window);
            } else if (wParam == kDeferredTimer) {
                KillTimer(window, kDeferredTimer);
                deferredText(window, s);
            }
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
    s->belowDy = GetSystemMetrics(SM_CYCURSOR) / 2;
    const bool highlight = colourScheme > 0;
    s->textColour = GetSysColor(highlight ? COLOR_HIGHLIGHTTEXT : COLOR_INFOTEXT);
    s->brush = CreateSolidBrush(GetSysColor(highlight ? COLOR_HIGHLIGHT : COLOR_INFOBK));
    s->ownBrush = s->brush != nullptr;
    if (!s->brush) s->brush = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    LOGFONTW& font = s->fontSpec;
    font.lfHeight = -((dpi * fontSize + 36) / 108);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = PROOF_QUALITY;
    lstrcpyW(font.lfFaceName, L"Courier New");
    s->font = CreateFontIndirectW(&font);
    window_ = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
                              TIPS_WINDOW_CLASS, L"", WS_POPUP | WS_BORDER, -100, -100, 1, 1, owner,
                              nullptr, getInstance(), &state);
    if (window_) ownerThread_.adopt();
    // A creation that failed before the window took the state leaves it here to be freed.
}

Tips::~Tips() {
    if (!window_) return;
    if (ownerThread_.isCurrent())
        DestroyWindow(window_);
    else
        PostMessageW(window_, WM_CLOSE, 0, 0);
}

bool Tips::show(int x, int y, const wchar_t* text, UINT showTimeMs, UINT_PTR tag,
                bool screenCoordinates, bool force) {
    ownerThread_.check("show");
    if (!window_) return false;
    ShowRequest request = {x, y, text, showTimeMs, tag, screenCoordinates, force};
    win::ScopedRecord<ShowRequest> record(&request);
    return SendMessageW(window_, kShowRequest, 0, record.param()) != 0;
}

void Tips::hide(bool reset) {
    ownerThread_.check("hide");
    if (window_) SendMessageW(window_, kHideRequest, reset ? 1 : 0, 0);
}

void Tips::setFontHeight(int height) {
    ownerThread_.check("setFontHeight");
    if (window_) SendMessageW(window_, kSetFontHeight, static_cast<WPARAM>(height), 0);
}

void Tips::requestText(int x, int y, UINT_PTR tag, bool screenCoordinates, BYTE flags,
                       UINT showTimeMs, UINT delayMs) {
    ownerThread_.check("requestText");
    if (!window_) return;
    ArmRequest request = {x, y, tag, screenCoordinates, flags, showTimeMs, delayMs};
    win::ScopedRecord<ArmRequest> record(&request);
    SendMessageW(window_, kArmRequest, 0, record.param());
}

void Tips::cancelRequest() {
    ownerThread_.check("cancelRequest");
    if (window_) SendMessageW(window_, kCancelRequest, 0, 0);
}

void Tips::setHideOnMouseMove(bool on) {
    ownerThread_.check("setHideOnMouseMove");
    if (window_) SendMessageW(window_, kSetFlag, kFlagHideOnMouseMove, on ? 1 : 0);
}

void Tips::setOwnerNotification(bool on) {
    ownerThread_.check("setOwnerNotification");
    if (window_) SendMessageW(window_, kSetFlag, kFlagNotifyOwner, on ? 1 : 0);
}

UINT_PTR Tips::tag() const {
    return window_ ? static_cast<UINT_PTR>(SendMessageW(window_, kQuery, kQueryTag, 0)) : kNoTag;
}

UINT_PTR Tips::lastShownTag() const {
    return window_ ? static_cast<UINT_PTR>(SendMessageW(window_, kQuery, kQueryLastShownTag, 0))
                   : kNoTag;
}

std::wstring Tips::text() const {
    std::wstring text;
    win::ScopedRecord<std::wstring> record(&text);
    if (window_) SendMessageW(window_, kQuery, kQueryText, record.param());
    return text;
}

int Tips::fontHeight() const {
    return window_ ? static_cast<int>(SendMessageW(window_, kQuery, kQueryFontHeight, 0)) : 0;
}

bool Tips::requestPending() const {
    return window_ && SendMessageW(window_, kQuery, kQueryPending, 0) != 0;
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

bool testInputType(DWORD mask, bool defaultValue) {
    if (mask == 0x12345) return defaultValue;
    if (mask == 0) return false;
    if (mask == 15) return true;
    return (static_cast<DWORD>(hookLibrary().getLastInputType()) & mask) != 0;
}

void MemorySurface::release(bool deleteBitmap) {
    if (dc_) {
        if (replaced_) SelectObject(dc_, replaced_);
        DeleteDC(dc_);
    }
    if (deleteBitmap && bitmap_) DeleteObject(bitmap_);
    dc_ = nullptr;
    bitmap_ = nullptr;
    replaced_ = nullptr;
}

bool MemorySurface::make(HDC compatible, int width, int height) {
    release(true);
    if (width <= 0 || height <= 0) return false;
    HDC reference = compatible ? compatible : GetDC(nullptr);
    if (!reference) return false;
    dc_ = CreateCompatibleDC(reference);
    if (dc_) bitmap_ = CreateCompatibleBitmap(reference, width, height);
    if (!compatible) ReleaseDC(nullptr, reference);
    if (!dc_ || !bitmap_) {
        release(true);
        return false;
    }
    replaced_ = SelectObject(dc_, bitmap_);
    return true;
}

bool MemorySurface::makeFromResource(UINT id) {
    release(true);
    bitmap_ = static_cast<HBITMAP>(
        LoadImageW(getInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap_) return false;
    dc_ = CreateCompatibleDC(nullptr);
    if (!dc_) {
        release(true);
        return false;
    }
    replaced_ = SelectObject(dc_, bitmap_);
    return true;
}
