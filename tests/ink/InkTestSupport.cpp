#include "InkTestSupport.h"

#include "ink/TransparentLayer.h"

namespace inktest {

namespace {

LRESULT CALLBACK guardProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        ValidateRect(window, nullptr);
        return 0;
    }
    if (message == WM_ERASEBKGND) return 0;
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

InkLayerWindows::InkLayerWindows() {
    const AppGlobals& g = appGlobals();
    guard_ = sxtest::createTestWindow(L"ScribixTraceGuardWndClass", guardProc,
                                      WS_EX_NOACTIVATE | WS_EX_TOPMOST, WS_POPUP | WS_CLIPSIBLINGS,
                                      g.xVirtualScreen - 110, g.yVirtualScreen - 110, 10, 10);
    // The layer as the start-up makes it, in a class of the test's own registration.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = TransparentLayerWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = INK_LAYER_WINDOW_CLASS;
    RegisterClassW(&wc);
    layer_ = createInkLayerWindow(GetModuleHandleW(nullptr));
    appGlobals().inkLayerWindow = layer_;
    appGlobals().guardWindow = guard_;
}

InkLayerWindows::~InkLayerWindows() {
    appGlobals().inkLayerWindow = nullptr;
    appGlobals().guardWindow = nullptr;
    if (layer_) DestroyWindow(layer_);
    if (guard_) DestroyWindow(guard_);
}

std::vector<uint32_t> readWindowPixels(HWND window, const RECT& area) {
    const int w = area.right - area.left, h = area.bottom - area.top;
    std::vector<uint32_t> out;
    if (w <= 0 || h <= 0) return out;
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, w, h, dc, area.left, area.top, SRCCOPY)) {
            GdiFlush();
            const auto* pixels = static_cast<const uint32_t*>(bits);
            out.assign(pixels, pixels + static_cast<size_t>(w) * h);
            for (uint32_t& p : out) p &= 0x00FFFFFF;
        }
        SelectObject(memory, old);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(window, dc);
    return out;
}

}  // namespace inktest
