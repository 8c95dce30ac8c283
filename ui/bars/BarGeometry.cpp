#include "ui/bars/BarGeometry.h"

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <mutex>
#include <new>
#include <thread>

#include "ink/LocalInkManager.h"

RECT desktopRect() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN),
            top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

bool keepRectInDesktop(RECT* r) {
    if (!r) return false;
    const RECT d = desktopRect();
    int dx = 0, dy = 0;
    if (r->left < d.left)
        dx = d.left - r->left;
    else if (r->right > d.right)
        dx = d.right - r->right;
    if (r->top < d.top)
        dy = d.top - r->top;
    else if (r->bottom > d.bottom)
        dy = d.bottom - r->bottom;
    OffsetRect(r, dx, dy);
    return dx != 0 || dy != 0;
}

bool fitRectIn(RECT* r, const RECT& area, bool centre) {
    if (!r) return false;
    const RECT before = *r;
    const int w = r->right - r->left, h = r->bottom - r->top;
    if (centre) {
        const int x = area.left + (area.right - area.left - w) / 2;
        const int y = area.top + (area.bottom - area.top - h) / 2;
        *r = {x, y, x + w, y + h};
    } else {
        if (r->right > area.right) OffsetRect(r, area.right - r->right, 0);
        if (r->bottom > area.bottom) OffsetRect(r, 0, area.bottom - r->bottom);
        if (r->left < area.left) OffsetRect(r, area.left - r->left, 0);
        if (r->top < area.top) OffsetRect(r, 0, area.top - r->top);
    }
    return !EqualRect(&before, r);
}

bool placeNear(RECT* r, const RECT& anchor, int x, int y, bool centre) {
    HMONITOR monitor = MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONULL);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!r || !monitor || !GetMonitorInfoW(monitor, &info)) return false;
    const RECT& area = info.rcWork;
    fitRectIn(r, area, centre);
    const int w = r->right - r->left, h = r->bottom - r->top;
    RECT overlap;
    if (IntersectRect(&overlap, r, &anchor)) {
        // Beside the anchor: right if it fits, else left; below if it fits, else above.
        if (anchor.right + w <= area.right)
            r->left = anchor.right;
        else if (anchor.left - w >= area.left)
            r->left = anchor.left - w;
        if (anchor.bottom + h <= area.bottom)
            r->top = anchor.bottom;
        else if (anchor.top - h >= area.top)
            r->top = anchor.top - h;
        r->right = r->left + w;
        r->bottom = r->top + h;
    }
    return true;
}

bool rectsEqual(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

int fontHeightFromPoints(int tenths, HDC dc) {
    HDC use = dc ? dc : GetDC(nullptr);
    const int height = -std::abs(MulDiv(GetDeviceCaps(use, LOGPIXELSY), tenths, 720));
    if (!dc) ReleaseDC(nullptr, use);
    return height;
}

bool classNameIs(HWND window, const wchar_t* name) {
    wchar_t text[256];
    return window && name && GetClassNameW(window, text, 256) > 0 && wcscmp(text, name) == 0;
}

bool shellOpen(const wchar_t* file, const wchar_t* parameters, const wchar_t* folder) {
    if (!file || !*file) return false;
    wchar_t ownFolder[MAX_PATH] = L"";
    if (!folder) {
        lstrcpynW(ownFolder, file, MAX_PATH);
        wchar_t* slash = wcsrchr(ownFolder, L'\\');
        if (slash)
            *slash = L'\0';
        else
            ownFolder[0] = L'\0';
        folder = ownFolder[0] ? ownFolder : nullptr;
    }
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    // No error box of the shell: a missing file would block in it.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = folder;
    info.nShow = SW_SHOWNORMAL;
    BOOL ok;
    {
        MouseTransparentScope transparent;
        ok = ShellExecuteExW(&info);
    }
    if (ok && info.hProcess) {
        WaitForInputIdle(info.hProcess, 1000);
        CloseHandle(info.hProcess);
    }
    return ok != FALSE;
}

DWORD laterInputTick(DWORD userTick, const DWORD* ownTick, DWORD now) {
    if (!ownTick) return userTick;
    const DWORD own = *ownTick;
    return static_cast<LONG>(own - userTick) > 0 && static_cast<LONG>(now - own) >= 0 ? own
                                                                                      : userTick;
}

DWORD idleSinceTick() {
    using GetLastInputInfoFn = BOOL(WINAPI*)(PLASTINPUTINFO);
    static const auto fn = reinterpret_cast<GetLastInputInfoFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetLastInputInfo")));
    LASTINPUTINFO info = {sizeof info, 0};
    const DWORD user = fn && fn(&info) ? info.dwTime : 0;
    DWORD own = 0;
    return laterInputTick(user, lastSyntheticInputTick(&own) ? &own : nullptr, GetTickCount());
}

bool postDelayed(HWND window, UINT message, WPARAM wParam, LPARAM lParam, int ms,
                 void (*undelivered)(LPARAM lParam)) {
    struct Record {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        int ms;
        void (*undelivered)(LPARAM lParam);
    };
    Record* record = new (std::nothrow) Record{window, message, wParam, lParam, ms, undelivered};
    if (!record) return false;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* p) WINAPI -> DWORD {
            Record* r = static_cast<Record*>(p);
            if (r->ms > 0 && r->ms < 10000) Sleep(static_cast<DWORD>(r->ms));
            // A window closed meanwhile cannot free what the message owns.
            if (!PostMessageW(r->window, r->message, r->wParam, r->lParam) && r->undelivered)
                r->undelivered(r->lParam);
            delete r;
            return 0;
        },
        record, 0, nullptr);
    if (!thread) {
        delete record;
        return false;
    }
    CloseHandle(thread);
    return true;
}

bool pointIsMarker(const InkPoint& p) {
    return p.x == kInkControlX && static_cast<uint16_t>(p.y) == kInkSeparatorY;
}

RECT strokeBounds(const InkPoint* points, int count, int dx, int dy) {
    RECT r = {0, 0, 0, 0};
    bool any = false;
    for (int i = 0; points && i < count; ++i) {
        if (points[i].x == kInkControlX) continue;
        const int x = points[i].x >> 2, y = points[i].y >> 2;
        if (!any) {
            r = {x, y, x + 1, y + 1};
            any = true;
            continue;
        }
        r.left = std::min<LONG>(r.left, x);
        r.top = std::min<LONG>(r.top, y);
        r.right = std::max<LONG>(r.right, x + 1);
        r.bottom = std::max<LONG>(r.bottom, y + 1);
    }
    if (any) InflateRect(&r, dx, dy);
    return r;
}

double AnimationCurve::valueAt(int i) const {
    if (steps <= 0) return total;
    if (mode == 2) {
        if (2 * i + 2 <= steps) return total * std::sqrt(static_cast<double>(i) / steps * 0.5);
        return total - total * std::sqrt(static_cast<double>(steps - i - 1) / steps * 0.5);
    }
    return total * i / steps;
}

int AnimationCurve::stepAt(double v) const {
    if (total == 0) return steps - 1;
    if (mode == 2) {
        if (v >= total) return steps - 1;
        if (2 * v <= total) return static_cast<int>(2.0 * steps * v * v / (total * total));
        return static_cast<int>(steps - 2.0 * steps * (total - v) * (total - v) / (total * total));
    }
    return static_cast<int>(steps * v / total);
}

namespace {

struct GestureFunctions {
    using GetInfo = BOOL(WINAPI*)(HANDLE, void*);
    using CloseInfo = BOOL(WINAPI*)(HANDLE);
    using SetConfig = BOOL(WINAPI*)(HWND, DWORD, UINT, void*, UINT);
    GetInfo getInfo = nullptr;
    CloseInfo closeInfo = nullptr;
    SetConfig setConfig = nullptr;
    bool available = false;
};

// user32 stays loaded for the process's life; the reference is given back at exit.
struct SafeLoadLibrary {
    HMODULE module = nullptr;
    ~SafeLoadLibrary() {
        if (module) FreeLibrary(module);
    }
};

const GestureFunctions& gestureFunctions() {
    static std::once_flag once;
    static GestureFunctions functions;
    static SafeLoadLibrary library;
    std::call_once(once, [] {
        library.module = LoadLibraryW(L"user32.dll");
        if (!library.module) return;
        auto look = [](const char* name) {
            return reinterpret_cast<void*>(GetProcAddress(library.module, name));
        };
        functions.getInfo = reinterpret_cast<GestureFunctions::GetInfo>(look("GetGestureInfo"));
        functions.closeInfo =
            reinterpret_cast<GestureFunctions::CloseInfo>(look("CloseGestureInfoHandle"));
        functions.setConfig =
            reinterpret_cast<GestureFunctions::SetConfig>(look("SetGestureConfig"));
        functions.available = functions.getInfo && functions.closeInfo && functions.setConfig;
    });
    return functions;
}

}  // namespace

bool CGestureHelpAPI::available() { return gestureFunctions().available; }

BOOL CGestureHelpAPI::getGestureInfo(HANDLE info, void* out) {
    return available() ? gestureFunctions().getInfo(info, out) : FALSE;
}

BOOL CGestureHelpAPI::closeGestureInfoHandle(HANDLE info) {
    return available() ? gestureFunctions().closeInfo(info) : FALSE;
}

BOOL CGestureHelpAPI::setGestureConfig(HWND window, DWORD reserved, UINT count, void* configs,
                                       UINT size) {
    return available() ? gestureFunctions().setConfig(window, reserved, count, configs, size)
                       : FALSE;
}
