// target_richedit.exe: a window with one rich edit control ("RichEdit20W") that
// has the focus and answers WM_GETOBJECT(OBJID_NATIVEOM) with its own Text
// Object Model document (TextDocument), reachable from other processes through
// AccessibleObjectFromWindow and standard COM marshalling.
//   /msftedit    the newer rich edit class ("RICHEDIT50W") instead
//   /ready:NAME  the event to set once the window takes input
#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>
#include <richedit.h>

#include "TargetApp.h"
#include "TextDocument.h"

namespace targets {
namespace {

class RichEditView final : public TargetView {
  public:
    explicit RichEditView(bool newerClass) : newerClass_(newerClass) {}

    HWND create(HWND frame) override {
        if (!LoadLibraryW(newerClass_ ? L"msftedit.dll" : L"riched20.dll")) return nullptr;
        DWORD style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE |
                      ES_AUTOVSCROLL | ES_WANTRETURN | ES_NOHIDESEL;
        edit_ = CreateWindowExW(WS_EX_CLIENTEDGE, newerClass_ ? MSFTEDIT_CLASS : RICHEDIT_CLASSW,
                                L"", style, 0, 0, 10, 10, frame, reinterpret_cast<HMENU>(1),
                                GetModuleHandleW(nullptr), nullptr);
        if (!edit_) return nullptr;
        document_ = new TextDocument(edit_);
        SetWindowSubclass(edit_, &RichEditView::subclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
        return edit_;
    }

    ControlState state() override {
        ControlState state;
        if (!document_) return state;
        state.text = document_->text();
        document_->controlSelection(state.selStart, state.selEnd);
        state.caret = document_->activeEnd(state.selStart, state.selEnd);
        return state;
    }

    void setText(const std::wstring& text) override {
        SetWindowTextW(edit_, text.c_str());
        SendMessageW(edit_, EM_SETSEL, -1, -1);
    }

    // Wine's rich edit lets EM_SETSEL reach past the final paragraph mark, and
    // orders the ends: the caret goes to the end even when the anchor is there.
    void setSelection(LONG anchor, LONG active) override {
        LONG length = document_ ? static_cast<LONG>(document_->text().size()) : 0;
        auto clamp = [length](LONG cp) { return cp < 0 || cp > length ? length : cp; };
        SendMessageW(edit_, EM_SETSEL, clamp(anchor), clamp(active));
    }

    bool setFaults(LONG faults) override {
        if (faults & ~(kFaultNoObjectModel | kFaultCallsFail)) return false;
        faults_ = faults;
        if (document_) document_->setRefuseCalls(faults & kFaultCallsFail);
        return true;
    }

  private:
    static LRESULT CALLBACK subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data) {
        RichEditView* self = reinterpret_cast<RichEditView*>(data);
        if (message == WM_GETOBJECT &&
            static_cast<LONG>(static_cast<DWORD>(lParam)) == OBJID_NATIVEOM && self->document_ &&
            !(self->faults_ & kFaultNoObjectModel)) {
            return LresultFromObject(IID_IDispatch, wParam,
                                     static_cast<ITextDocument*>(self->document_));
        }
        if (self->document_ && TextDocument::movesSelection(message)) {
            LONG start, end;
            self->document_->controlSelection(start, end);
            LRESULT result = DefSubclassProc(window, message, wParam, lParam);
            if (self->document_) self->document_->selectionMoved(message, start, end);
            return result;
        }
        if (message == WM_NCDESTROY) {
            RemoveWindowSubclass(window, &RichEditView::subclassProc, id);
            if (self->document_) {
                self->document_->detach();
                self->document_->Release();
                self->document_ = nullptr;
            }
        }
        return DefSubclassProc(window, message, wParam, lParam);
    }

    const bool newerClass_;
    HWND edit_ = nullptr;
    TextDocument* document_ = nullptr;  // one reference, released with the window
    LONG faults_ = kFaultNone;
};

}  // namespace
}  // namespace targets

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    targets::RichEditView view(targets::hasSwitch(L"msftedit"));
    return targets::runTarget(targets::kRichEditFrameClass, L"Scribix test target: rich edit",
                              view);
}
