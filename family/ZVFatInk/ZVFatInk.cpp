// Stand-in for the product family's ink control: a picture as background and
// ink drawn over it with the mouse or pen, in the tools, widths and colours
// its messages set, with undo, redo, a selection that can be cut, copied and
// pasted, and notifications to its owner. Every message of its interface that
// it receives is also written, one line each, to the file named by the
// environment variable ZVFATINK_LOG when that is set, so tests can read what
// the program told it.
#include "ZVFatInk.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

enum Tool { kPen = 0, kPencil = 1, kTool2 = 2, kCutter = 3, kSelector = 4, kMarker = 5 };

struct Stroke {
    std::vector<POINT> points;
    COLORREF colour = 0;
    int width = 1;
    int tool = kPencil;
    bool selected = false;
};

struct Control {
    HBITMAP background = nullptr;
    HWND owner = nullptr;
    int tool = kPencil;
    int width = 4;
    COLORREF colour = RGB(0, 0, 255);
    bool shapes = false;
    int mode = 0;
    std::wstring recognizer;
    std::vector<Stroke> strokes;
    std::vector<std::vector<Stroke>> undo, redo;
    std::vector<Stroke> copied;
    bool drawing = false;
    Stroke current;
    POINT dragStart = {};
};

std::mutex g_lock;
std::map<HWND, Control*> g_controls;

Control* controlOf(HWND window, bool create) {
    std::lock_guard<std::mutex> lock(g_lock);
    auto it = g_controls.find(window);
    if (it != g_controls.end()) return it->second;
    if (!create) return nullptr;
    auto* control = new Control;
    g_controls[window] = control;
    return control;
}

void forget(HWND window) {
    Control* control = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        auto it = g_controls.find(window);
        if (it == g_controls.end()) return;
        control = it->second;
        g_controls.erase(it);
    }
    if (control->background) DeleteObject(control->background);
    delete control;
}

void logLine(const char* text) {
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"ZVFATINK_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(file);
}

void logMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    char line[160];
    std::snprintf(line, sizeof line, "%u %llu %lld\n", message,
                  static_cast<unsigned long long>(wParam), static_cast<long long>(lParam));
    logLine(line);
}

void notifyOwner(HWND window, Control* control, WPARAM code) {
    static const UINT toOwner = RegisterWindowMessageW(L"fatInkMsgToOwner");
    if (control->owner && IsWindow(control->owner))
        PostMessageW(control->owner, toOwner, code, reinterpret_cast<LPARAM>(window));
}

void remember(Control* control) {
    control->undo.push_back(control->strokes);
    control->redo.clear();
}

RECT boundsOf(const Stroke& stroke) {
    RECT r = {LONG_MAX, LONG_MAX, LONG_MIN, LONG_MIN};
    for (const POINT& p : stroke.points) {
        r.left = std::min(r.left, p.x);
        r.top = std::min(r.top, p.y);
        r.right = std::max(r.right, p.x + 1);
        r.bottom = std::max(r.bottom, p.y + 1);
    }
    const int grow = stroke.width / 2 + 1;
    InflateRect(&r, grow, grow);
    return r;
}

bool anySelected(const Control* control) {
    for (const Stroke& s : control->strokes)
        if (s.selected) return true;
    return false;
}

void drawStroke(HDC dc, const Stroke& stroke) {
    if (stroke.points.empty()) return;
    const bool marker = stroke.tool == kMarker;
    HPEN pen = CreatePen(PS_SOLID, std::max(1, stroke.width), stroke.colour);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    // A marker lets the picture under it show through, as a highlighter does.
    const int oldRop = SetROP2(dc, marker ? R2_MASKPEN : R2_COPYPEN);
    if (stroke.points.size() == 1) {
        const POINT p = stroke.points[0];
        MoveToEx(dc, p.x, p.y, nullptr);
        LineTo(dc, p.x + 1, p.y);
    } else {
        Polyline(dc, stroke.points.data(), static_cast<int>(stroke.points.size()));
    }
    SetROP2(dc, oldRop);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
    if (stroke.selected) {
        RECT r = boundsOf(stroke);
        HPEN dash = CreatePen(PS_DOT, 1, RGB(0, 0, 0));
        oldPen = SelectObject(dc, dash);
        HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
        SelectObject(dc, oldBrush);
        SelectObject(dc, oldPen);
        DeleteObject(dash);
    }
}

void paint(HWND window, Control* control) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP frame = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ oldFrame = SelectObject(memory, frame);
    FillRect(memory, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (control->background) {
        HDC picture = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(picture, control->background);
        BITMAP info = {};
        GetObjectW(control->background, sizeof info, &info);
        BitBlt(memory, 0, 0, info.bmWidth, info.bmHeight, picture, 0, 0, SRCCOPY);
        SelectObject(picture, old);
        DeleteDC(picture);
    }
    for (const Stroke& stroke : control->strokes) drawStroke(memory, stroke);
    if (control->drawing && control->tool != kSelector && control->tool != kCutter)
        drawStroke(memory, control->current);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldFrame);
    DeleteObject(frame);
    DeleteDC(memory);
    EndPaint(window, &ps);
}

bool segmentsCross(POINT a, POINT b, POINT c, POINT d) {
    auto side = [](POINT p, POINT q, POINT r) {
        const long long v = static_cast<long long>(q.x - p.x) * (r.y - p.y) -
                            static_cast<long long>(q.y - p.y) * (r.x - p.x);
        return (v > 0) - (v < 0);
    };
    return side(a, b, c) * side(a, b, d) <= 0 && side(c, d, a) * side(c, d, b) <= 0;
}

void finishStroke(HWND window, Control* control) {
    Stroke drawn = control->current;
    control->current = Stroke();
    if (control->tool == kSelector) {
        RECT area = {std::min(control->dragStart.x, drawn.points.back().x),
                     std::min(control->dragStart.y, drawn.points.back().y),
                     std::max(control->dragStart.x, drawn.points.back().x) + 1,
                     std::max(control->dragStart.y, drawn.points.back().y) + 1};
        for (Stroke& s : control->strokes) {
            RECT b = boundsOf(s), common;
            s.selected = IntersectRect(&common, &b, &area) != FALSE;
        }
        notifyOwner(window, control, ZVIN_SELECTION_CHANGED);
    } else if (control->tool == kCutter) {
        // The cutter erases every stroke its path crosses.
        std::vector<Stroke> kept;
        for (const Stroke& s : control->strokes) {
            bool crossed = false;
            for (size_t i = 1; i < drawn.points.size() && !crossed; ++i)
                for (size_t j = 1; j < s.points.size() && !crossed; ++j)
                    crossed = segmentsCross(drawn.points[i - 1], drawn.points[i], s.points[j - 1],
                                            s.points[j]);
            if (!crossed) kept.push_back(s);
        }
        if (kept.size() != control->strokes.size()) {
            remember(control);
            control->strokes = kept;
            notifyOwner(window, control, ZVIN_INK_CHANGED);
        }
    } else {
        remember(control);
        for (Stroke& s : control->strokes) s.selected = false;
        control->strokes.push_back(drawn);
        notifyOwner(window, control, ZVIN_INK_CHANGED);
    }
    char line[64];
    std::snprintf(line, sizeof line, "strokes %u\n",
                  static_cast<unsigned>(control->strokes.size()));
    logLine(line);
    InvalidateRect(window, nullptr, FALSE);
}

LRESULT onMouse(HWND window, Control* control, UINT message, LPARAM lParam) {
    const POINT p = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    switch (message) {
        case WM_LBUTTONDOWN:
            SetCapture(window);
            control->drawing = true;
            control->dragStart = p;
            control->current = Stroke();
            control->current.colour = control->colour;
            control->current.width = control->tool == kMarker ? control->width * 2 : control->width;
            control->current.tool = control->tool;
            control->current.points.push_back(p);
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_MOUSEMOVE:
            if (control->drawing) {
                control->current.points.push_back(p);
                InvalidateRect(window, nullptr, FALSE);
            }
            return 0;
        case WM_LBUTTONUP:
            if (control->drawing) {
                control->current.points.push_back(p);
                control->drawing = false;
                ReleaseCapture();
                finishStroke(window, control);
            }
            return 0;
        default:
            return 0;
    }
}

void step(std::vector<std::vector<Stroke>>& from, std::vector<std::vector<Stroke>>& to,
          Control* control) {
    if (from.empty()) return;
    to.push_back(control->strokes);
    control->strokes = from.back();
    from.pop_back();
}

}  // namespace

LRESULT CALLBACK ZVInkCtrlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCDESTROY) {
        forget(window);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    const bool own = (message >= ZVIC_SET_TOOL && message <= ZVIC_SET_BACKGROUND) ||
                     message == ZVIC_REDO || message == WM_UNDO || message == EM_UNDO ||
                     message == WM_CUT || message == WM_COPY || message == WM_PASTE;
    if (own) logMessage(message, wParam, lParam);
    Control* control = controlOf(window, true);
    switch (message) {
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            paint(window, control);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
            return onMouse(window, control, message, lParam);
        case WM_CAPTURECHANGED:
            if (control->drawing && reinterpret_cast<HWND>(lParam) != window) {
                control->drawing = false;
                InvalidateRect(window, nullptr, FALSE);
            }
            return 0;
        case ZVIC_SET_BACKGROUND:
            if (control->background) DeleteObject(control->background);
            control->background = reinterpret_cast<HBITMAP>(lParam);
            InvalidateRect(window, nullptr, FALSE);
            return 1;
        case ZVIC_SET_OWNER:
            control->owner = lParam ? reinterpret_cast<HWND>(wParam) : nullptr;
            return 1;
        case ZVIC_SET_MODE:
            control->mode = static_cast<int>(wParam);
            return 1;
        case ZVIC_SET_RECOGNIZER: {
            const auto* record = reinterpret_cast<const ZVInkRecognizerRecord*>(lParam);
            if (!record || record->size != sizeof(ZVInkRecognizerRecord)) return 0;
            control->recognizer.assign(record->path, wcsnlen(record->path, MAX_PATH));
            char line[MAX_PATH * 3 + 16];
            int n = WideCharToMultiByte(CP_UTF8, 0, control->recognizer.c_str(), -1, line + 9,
                                        sizeof line - 10, nullptr, nullptr);
            if (n > 0) {
                memcpy(line, "folder = ", 9);
                strcat(line, "\n");
                logLine(line);
            }
            return 1;
        }
        case ZVIC_SET_TOOL:
            control->tool = static_cast<int>(wParam);
            return 1;
        case ZVIC_GET_TOOL:
            return control->tool;
        case ZVIC_SET_WIDTH:
            if (wParam > 1000) control->width = static_cast<int>(wParam - 1000);
            return 1;
        case ZVIC_GET_WIDTH:
            return control->width;
        case ZVIC_SET_COLOR:
            control->colour = static_cast<COLORREF>(wParam) & 0xFFFFFF;
            return 1;
        case ZVIC_GET_COLOR:
            return control->colour;
        case ZVIC_SET_SHAPE_MODE:
            control->shapes = wParam != 0;
            return 1;
        case ZVIC_GET_SHAPE_MODE:
            return control->shapes ? 1 : 0;
        case ZVIC_HAS_SELECTION:
            return anySelected(control) ? 1 : 0;
        case ZVIC_ENHANCE_SELECTION:
            // Clean shapes: each selected stroke becomes the straight line
            // between its ends.
            if (!anySelected(control)) return 0;
            remember(control);
            for (Stroke& s : control->strokes)
                if (s.selected && s.points.size() > 2)
                    s.points = {s.points.front(), s.points.back()};
            InvalidateRect(window, nullptr, FALSE);
            notifyOwner(window, control, ZVIN_INK_CHANGED);
            return 1;
        case ZVIC_CLEAR:
            if (!control->strokes.empty()) {
                remember(control);
                control->strokes.clear();
                InvalidateRect(window, nullptr, FALSE);
                notifyOwner(window, control, ZVIN_INK_CHANGED);
            }
            return 1;
        case WM_UNDO:
        case EM_UNDO:
            step(control->undo, control->redo, control);
            InvalidateRect(window, nullptr, FALSE);
            notifyOwner(window, control, ZVIN_INK_CHANGED);
            return 1;
        case ZVIC_REDO:
            step(control->redo, control->undo, control);
            InvalidateRect(window, nullptr, FALSE);
            notifyOwner(window, control, ZVIN_INK_CHANGED);
            return 1;
        case WM_COPY:
        case WM_CUT: {
            std::vector<Stroke> copied, kept;
            for (const Stroke& s : control->strokes) (s.selected ? copied : kept).push_back(s);
            if (copied.empty()) return 0;
            control->copied = copied;
            if (message == WM_CUT) {
                remember(control);
                control->strokes = kept;
                InvalidateRect(window, nullptr, FALSE);
                notifyOwner(window, control, ZVIN_INK_CHANGED);
            }
            return 1;
        }
        case WM_PASTE:
            if (control->copied.empty()) return 0;
            remember(control);
            for (Stroke& s : control->strokes) s.selected = false;
            for (Stroke s : control->copied) {
                for (POINT& p : s.points) p.x += 10, p.y += 10;
                s.selected = true;
                control->strokes.push_back(s);
            }
            InvalidateRect(window, nullptr, FALSE);
            notifyOwner(window, control, ZVIN_INK_CHANGED);
            return 1;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
