#include "ink/Ramka.h"

#include "core/AppGlobals.h"

namespace {

constexpr int kBorder = 4;
constexpr COLORREF kUnattachedColour = 0x00F0F0;

bool registerRamkaClass() {
    static const bool registered = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = CRamka::RamkaWndProc;
        wc.hInstance = getInstance() ? getInstance() : GetModuleHandleW(nullptr);
        wc.lpszClassName = RAMKA_WINDOW_CLASS;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

CRamka* attached(HWND window) {
    return reinterpret_cast<CRamka*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

// The frame: the window minus its inside, with the diagonal bands of the kind.
void shapeFrame(HWND window) {
    RECT r;
    if (!GetWindowRect(window, &r)) return;
    const int w = r.right - r.left, h = r.bottom - r.top;
    HRGN frame = CreateRectRgn(0, 0, w, h);
    HRGN inside = CreateRectRgn(kBorder, kBorder, w - kBorder, h - kBorder);
    CombineRgn(frame, frame, inside, RGN_DIFF);
    DeleteObject(inside);
    const CRamka* ramka = attached(window);
    const int kind = ramka ? ramka->kind() : CRamka::kPlain;
    if (kind >= CRamka::kOneDiagonal) {
        const POINT rising[] = {{4, h - 5}, {w - 5, 4}, {w - 4, 5}, {5, h - 4}, {4, h - 5}};
        HRGN band = CreatePolygonRgn(rising, 5, WINDING);
        CombineRgn(frame, frame, band, RGN_OR);
        DeleteObject(band);
    }
    if (kind >= CRamka::kBothDiagonals) {
        const POINT falling[] = {{5, 4}, {w - 4, h - 5}, {w - 5, h - 4}, {4, 5}, {5, 4}};
        HRGN band = CreatePolygonRgn(falling, 5, WINDING);
        CombineRgn(frame, frame, band, RGN_OR);
        DeleteObject(band);
    }
    // The window owns the region from now on.
    if (!SetWindowRgn(window, frame, TRUE)) DeleteObject(frame);
}

void paintFrame(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    const CRamka* ramka = attached(window);
    HBRUSH fill = CreateSolidBrush(ramka ? ramka->colour() : kUnattachedColour);
    FillRect(dc, &client, fill);
    DeleteObject(fill);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(BLACK_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, 2, 2, client.right - 2, client.bottom - 2);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    EndPaint(window, &paint);
}

}  // namespace

CRamka::CRamka(const RECT* rect, COLORREF colour, int kind) : colour_(colour), kind_(kind) {
    if (rect)
        rect_ = *rect;
    else
        SetRectEmpty(&rect_);
}

CRamka::~CRamka() {
    if (!window_) return;
    owner_.check("deleted");
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    if (owner_.isCurrent()) {
        DestroyWindow(window_);
        return;
    }
    // Without its object the window goes when it sees WM_CLOSE.
    PostMessageW(window_, WM_CLOSE, 0, 0);
}

void CRamka::show(const RECT* rect) {
    owner_.check("show");
    if (rect) rect_ = *rect;
    if (!rect && IsRectEmpty(&rect_)) {
        hide();
        return;
    }
    if (!window_) {
        if (!registerRamkaClass()) return;
        owner_.adopt();
        window_ = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW | WS_EX_TOPMOST,
                                  RAMKA_WINDOW_CLASS, L"", WS_POPUP, 0, 0, 0, 0, getServiceWindow(),
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
        if (!window_) return;
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    RECT place = rect_;
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (place.bottom - place.top < screenHeight / 4) InflateRect(&place, kBorder, kBorder);
    SetWindowPos(window_, HWND_TOPMOST, place.left, place.top, place.right - place.left,
                 place.bottom - place.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    shown_ = true;
}

void CRamka::hide() {
    shown_ = false;
    if (!window_) return;
    owner_.check("hide");
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    SetWindowPos(window_, nullptr, left - 100, top - 100, 10, 10,
                 SWP_NOACTIVATE | SWP_NOZORDER | SWP_HIDEWINDOW);
}

LRESULT CALLBACK CRamka::RamkaWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOVE:
        case WM_SIZE:
            shapeFrame(window);
            break;
        case WM_PAINT:
            paintFrame(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_CLOSE:
            if (attached(window))
                ShowWindow(window, SW_HIDE);
            else
                DestroyWindow(window);
            return 0;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
