// target_edit.exe: a window with one plain edit control that has the focus.
//   /multiline   a multi-line edit (Return makes a new line); single-line otherwise
//   /ready:NAME  the event to set once the window takes input
// Besides the requests of TargetProtocol.h, the edit answers the usual edit
// messages from other processes (WM_GETTEXT, EM_GETSEL, EM_SETSEL, EM_REPLACESEL).
#include <windows.h>

#include "TargetApp.h"

namespace targets {
namespace {

// Which end of the selection the edit's caret is at: the start only for a
// selection made leftwards. The edit does not say; its caret position does.
LONG caretOf(HWND edit, LONG start, LONG end) {
    if (start == end || GetFocus() != edit) return end;
    POINT caret;
    if (!GetCaretPos(&caret)) return end;
    LRESULT atStart = SendMessageW(edit, EM_POSFROMCHAR, start, 0);
    if (atStart == -1) return end;
    LONG dx = caret.x - static_cast<short>(LOWORD(atStart));
    LONG dy = caret.y - static_cast<short>(HIWORD(atStart));
    return dx * dx + dy * dy <= 1 ? start : end;
}

class EditView final : public TargetView {
  public:
    explicit EditView(bool multiline) : multiline_(multiline) {}

    HWND create(HWND frame) override {
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_NOHIDESEL;
        if (multiline_) style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
        edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"", style, 0, 0, 10, 10, frame,
                                reinterpret_cast<HMENU>(1), GetModuleHandleW(nullptr), nullptr);
        if (edit_)
            SendMessageW(edit_, WM_SETFONT,
                         reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        return edit_;
    }

    ControlState state() override {
        ControlState state;
        int length = GetWindowTextLengthW(edit_);
        state.text.resize(length + 1);
        length = GetWindowTextW(edit_, &state.text[0], length + 1);
        state.text.resize(length);
        DWORD start = 0, end = 0;
        SendMessageW(edit_, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        state.selStart = static_cast<LONG>(start);
        state.selEnd = static_cast<LONG>(end);
        state.caret = caretOf(edit_, state.selStart, state.selEnd);
        return state;
    }

    void setText(const std::wstring& text) override {
        SetWindowTextW(edit_, text.c_str());
        SendMessageW(edit_, EM_SETSEL, text.size(), text.size());
    }

    void setSelection(LONG anchor, LONG active) override {
        LONG length = GetWindowTextLengthW(edit_);
        // The edit keeps the caret at the second position given.
        SendMessageW(edit_, EM_SETSEL, anchor < 0 ? length : anchor, active < 0 ? length : active);
    }

  private:
    const bool multiline_;
    HWND edit_ = nullptr;
};

}  // namespace
}  // namespace targets

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    targets::EditView view(targets::hasSwitch(L"multiline"));
    return targets::runTarget(targets::kEditFrameClass, L"Scribix test target: edit", view);
}
