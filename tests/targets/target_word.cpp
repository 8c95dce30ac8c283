// target_word.exe: a window with a child of class "_WwG", as the word
// processor's document window, that takes the focus, draws a plain text buffer
// with its selection and caret, and serves the word processor's Window and
// Selection objects through WM_GETOBJECT(OBJID_NATIVEOM) (see WordObjects.h).
//   /ready:NAME  the event to set once the window takes input
//
// Keys: characters, Tab and Return (a paragraph mark "\r") replace the selection;
// Backspace, Delete; Left, Right, Home, End (with Shift to extend); Ctrl+A, Ctrl+C,
// Ctrl+X, Ctrl+V; Ctrl+Z undoes one edit (a run of typed characters counts as one).
#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TargetApp.h"
#include "WordObjects.h"

namespace targets {
namespace {

constexpr wchar_t kDocumentClass[] = L"_WwG";
constexpr int kMargin = 4;

class WordView final : public TargetView, public SelectionHost {
  public:
    HWND create(HWND frame) override {
        // Without the library other processes cannot reach the objects; the
        // window still works, so a failure here is not fatal.
        registerWordTypeLibrary();
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = &WordView::windowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_IBEAM);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kDocumentClass;
        if (!RegisterClassExW(&windowClass)) return nullptr;
        object_ = new WordWindow(this);
        window_ = CreateWindowExW(0, kDocumentClass, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 0, 0,
                                  10, 10, frame, reinterpret_cast<HMENU>(1), instance, this);
        return window_;
    }

    ControlState state() override {
        ControlState state;
        state.text = text_;
        state.selStart = selectionStart();
        state.selEnd = selectionEnd();
        state.caret = active_;
        return state;
    }

    void setText(const std::wstring& text) override {
        text_ = text;
        anchor_ = active_ = length();
        undo_.clear();
        lastEdit_ = EditKind::None;
        changed();
    }

    void setSelection(LONG anchor, LONG active) override {
        select(anchor < 0 ? length() : clamp(anchor), active < 0 ? length() : clamp(active));
    }

    bool setFaults(LONG faults) override {
        if (faults & ~(kFaultNoObjectModel | kFaultCallsFail | kFaultStartStaysBack)) return false;
        faults_ = faults;
        return true;
    }

    // SelectionHost
    LONG selectionStart() override { return std::min(anchor_, active_); }
    LONG selectionEnd() override { return std::max(anchor_, active_); }

    std::wstring selectionText() override {
        LONG start = selectionStart(), end = selectionEnd();
        if (start == end) return text_.substr(start, start < length() ? 1 : 0);
        return text_.substr(start, end - start);
    }

    void setSelectionText(const std::wstring& text) override {
        beginEdit(EditKind::Other);
        LONG start = selectionStart();
        text_.replace(start, selectionEnd() - start, text);
        anchor_ = start;
        active_ = start + static_cast<LONG>(text.size());
        changed();
    }

    void setSelectionStart(LONG start) override {
        start = clamp(start);
        select(start, std::max(selectionEnd(), start));
    }

    void setSelectionEnd(LONG end) override {
        end = clamp(end);
        select(std::min(selectionStart(), end), end);
    }

    bool refusesCalls() override { return faults_ & kFaultCallsFail; }
    bool refusesStart(LONG start) override {
        return (faults_ & kFaultStartStaysBack) && start > selectionStart();
    }

  private:
    // Runs of typed characters, or of deletions, undo as one step.
    enum class EditKind { None, Typing, Deleting, Other };
    struct Snapshot {
        std::wstring text;
        LONG anchor;
        LONG active;
    };

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        WordView* self = reinterpret_cast<WordView*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (message == WM_NCCREATE) {
            self = static_cast<WordView*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        if (!self) return DefWindowProcW(window, message, wParam, lParam);
        switch (message) {
            case WM_GETOBJECT:
                if (static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_NATIVEOM &&
                    self->object_ && !(self->faults_ & kFaultNoObjectModel))
                    return LresultFromObject(IID_IDispatch, wParam, self->object_);
                break;
            case WM_GETDLGCODE:
                return DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
            case WM_SETFOCUS:
                CreateCaret(window, nullptr, 1, self->lineHeight());
                self->placeCaret();
                ShowCaret(window);
                return 0;
            case WM_KILLFOCUS:
                DestroyCaret();
                return 0;
            case WM_LBUTTONDOWN:
                SetFocus(window);
                return 0;
            case WM_CHAR:
                self->onChar(static_cast<wchar_t>(wParam));
                return 0;
            case WM_KEYDOWN:
                self->onKeyDown(static_cast<UINT>(wParam));
                return 0;
            case WM_PAINT: {
                PAINTSTRUCT paint;
                HDC dc = BeginPaint(window, &paint);
                self->paint(dc);
                EndPaint(window, &paint);
                return 0;
            }
            case WM_NCDESTROY:
                if (self->object_) {
                    self->object_->detach();
                    self->object_->Release();
                    self->object_ = nullptr;
                }
                self->window_ = nullptr;
                SetWindowLongPtrW(window, GWLP_USERDATA, 0);
                break;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    LONG length() const { return static_cast<LONG>(text_.size()); }
    LONG clamp(LONG cp) const { return std::max(0L, std::min(cp, length())); }

    void beginEdit(EditKind kind) {
        if (kind == lastEdit_ && kind != EditKind::Other) return;
        undo_.push_back({text_, anchor_, active_});
        lastEdit_ = kind;
    }

    void replaceSelection(const std::wstring& with, EditKind kind) {
        beginEdit(kind);
        LONG start = selectionStart();
        text_.replace(start, selectionEnd() - start, with);
        anchor_ = active_ = start + static_cast<LONG>(with.size());
        changed();
    }

    void erase(LONG from, LONG to) {
        beginEdit(EditKind::Deleting);
        text_.erase(from, to - from);
        anchor_ = active_ = from;
        changed();
    }

    // Selects from anchor to active (the caret); a run of edits ends here.
    void select(LONG anchor, LONG active) {
        anchor_ = anchor;
        active_ = active;
        lastEdit_ = EditKind::None;
        changed();
    }

    void moveCaret(LONG to, bool extend) {
        to = clamp(to);
        select(extend ? anchor_ : to, to);
    }

    LONG paragraphStart(LONG cp) const {
        size_t mark = cp > 0 ? text_.rfind(L'\r', cp - 1) : std::wstring::npos;
        return mark == std::wstring::npos ? 0 : static_cast<LONG>(mark) + 1;
    }

    LONG paragraphEnd(LONG cp) const {
        size_t mark = text_.find(L'\r', cp);
        return mark == std::wstring::npos ? length() : static_cast<LONG>(mark);
    }

    void onChar(wchar_t ch) {
        if (ch == L'\b') {
            LONG start = selectionStart(), end = selectionEnd();
            if (start != end)
                erase(start, end);
            else if (start > 0)
                erase(start - 1, start);
            return;
        }
        // Other control characters come with Ctrl shortcuts, handled as keys.
        if (ch == L'\r' || ch == L'\t' || (ch >= 32 && ch != 127))
            replaceSelection(std::wstring(1, ch), EditKind::Typing);
    }

    void onKeyDown(UINT key) {
        bool shift = GetKeyState(VK_SHIFT) < 0;
        bool ctrl = GetKeyState(VK_CONTROL) < 0;
        LONG start = selectionStart(), end = selectionEnd();
        switch (key) {
            case VK_LEFT:
                moveCaret(!shift && start != end ? start : active_ - 1, shift);
                return;
            case VK_RIGHT:
                moveCaret(!shift && start != end ? end : active_ + 1, shift);
                return;
            case VK_HOME:
                moveCaret(paragraphStart(active_), shift);
                return;
            case VK_END:
                moveCaret(paragraphEnd(active_), shift);
                return;
            case VK_DELETE:
                if (start != end)
                    erase(start, end);
                else if (end < length())
                    erase(end, end + 1);
                return;
        }
        if (!ctrl) return;
        switch (key) {
            case 'A':
                select(0, length());
                return;
            case 'C':
                copy();
                return;
            case 'X':
                if (copy() && start != end) erase(start, end);
                return;
            case 'V':
                paste();
                return;
            case 'Z':
                undo();
                return;
        }
    }

    void undo() {
        if (undo_.empty()) return;
        Snapshot last = undo_.back();
        undo_.pop_back();
        text_ = last.text;
        select(last.anchor, last.active);
    }

    bool copy() {
        std::wstring text = text_.substr(selectionStart(), selectionEnd() - selectionStart());
        if (text.empty() || !OpenClipboard(window_)) return false;
        EmptyClipboard();
        // The clipboard takes line breaks as "\r\n".
        std::wstring lines;
        for (wchar_t ch : text) lines += ch == L'\r' ? std::wstring(L"\r\n") : std::wstring(1, ch);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (lines.size() + 1) * sizeof(wchar_t));
        bool placed = false;
        if (memory) {
            memcpy(GlobalLock(memory), lines.c_str(), (lines.size() + 1) * sizeof(wchar_t));
            GlobalUnlock(memory);
            placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
            if (!placed) GlobalFree(memory);
        }
        CloseClipboard();
        return placed;
    }

    void paste() {
        if (!OpenClipboard(window_)) return;
        std::wstring text;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
            if (const wchar_t* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
                size_t limit = GlobalSize(data) / sizeof(wchar_t);
                for (size_t i = 0; i < limit && chars[i]; ++i) {
                    if (chars[i] == L'\n' && i > 0 && chars[i - 1] == L'\r') continue;
                    text += chars[i] == L'\n' ? L'\r' : chars[i];
                }
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        if (!text.empty()) replaceSelection(text, EditKind::Other);
    }

    // ---- drawing ----

    HFONT font() const { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }

    int lineHeight() const {
        HDC dc = GetDC(window_);
        HGDIOBJ old = SelectObject(dc, font());
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        SelectObject(dc, old);
        ReleaseDC(window_, dc);
        return metrics.tmHeight > 0 ? metrics.tmHeight : 16;
    }

    int widthOf(HDC dc, LONG from, LONG to) const {
        if (to <= from) return 0;
        DWORD size = GetTabbedTextExtentW(dc, text_.c_str() + from, to - from, 0, nullptr);
        return LOWORD(size);
    }

    POINT pointOf(LONG cp) const {
        LONG paragraph = static_cast<LONG>(std::count(text_.begin(), text_.begin() + cp, L'\r'));
        HDC dc = GetDC(window_);
        HGDIOBJ old = SelectObject(dc, font());
        POINT point = {kMargin + widthOf(dc, paragraphStart(cp), cp),
                       kMargin + paragraph * lineHeight()};
        SelectObject(dc, old);
        ReleaseDC(window_, dc);
        return point;
    }

    void placeCaret() {
        if (!window_ || GetFocus() != window_) return;
        POINT point = pointOf(active_);
        SetCaretPos(point.x, point.y);
    }

    void changed() {
        if (!window_) return;
        InvalidateRect(window_, nullptr, TRUE);
        placeCaret();
    }

    void paint(HDC dc) {
        HGDIOBJ old = SelectObject(dc, font());
        SetBkMode(dc, TRANSPARENT);
        int height = lineHeight();
        LONG start = selectionStart(), end = selectionEnd();
        int y = kMargin;
        for (LONG from = 0; from <= length(); y += height) {
            LONG to = paragraphEnd(from);
            TabbedTextOutW(dc, kMargin, y, text_.c_str() + from, to - from, 0, nullptr, kMargin);
            LONG selFrom = std::max(start, from), selTo = std::min(end, to);
            bool markSelected = start <= to && end > to;
            if (selFrom < selTo || markSelected) {
                RECT band = {kMargin + widthOf(dc, from, selFrom), y,
                             kMargin + widthOf(dc, from, selTo) + (markSelected ? 4 : 0),
                             y + height};
                InvertRect(dc, &band);
            }
            from = to + 1;
        }
        SelectObject(dc, old);
    }

    HWND window_ = nullptr;
    WordWindow* object_ = nullptr;  // one reference, released with the window
    std::wstring text_;
    LONG anchor_ = 0;
    LONG active_ = 0;  // the caret
    LONG faults_ = kFaultNone;
    EditKind lastEdit_ = EditKind::None;
    std::vector<Snapshot> undo_;
};

}  // namespace
}  // namespace targets

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    targets::WordView view;
    return targets::runTarget(targets::kWordFrameClass, L"Scribix test target: word processor",
                              view);
}
