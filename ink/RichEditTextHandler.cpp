#include <oleacc.h>
#include <tom.h>

#include <cwchar>

#include "TargetTextHandlers.h"

namespace {

// Declared by tom.h but defined by no import library; the selection comes
// from the document as an ITextSelection ({8CC497C1-A1DF-11CE-8098-00AA0047BE5D}).
constexpr GUID kIidTextDocument = {
    0x8CC497C0, 0xA1DF, 0x11CE, {0x80, 0x98, 0x00, 0xAA, 0x00, 0x47, 0xBE, 0x5D}};

bool textOf(ITextRange* range, std::wstring& text) {
    BSTR value = nullptr;
    if (!range || FAILED(range->GetText(&value))) return false;
    const UINT length = value ? SysStringLen(value) : 0;
    // The other program's text is copied only up to the longest read.
    const bool taken = length <= kLongestTargetTextRead;
    if (taken) text.assign(value ? value : L"", length);
    SysFreeString(value);
    return taken;
}

}  // namespace

CRichEditTextHandler::~CRichEditTextHandler() {
    if (selection_) selection_->Release();
    if (document_) document_->Release();
}

bool CRichEditTextHandler::initHandler(HWND window, LONG& selStart, LONG& selEnd,
                                       LONG& textLength) {
    if (!window) return false;
    IDispatch* dispatch = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_NATIVEOM), IID_IDispatch,
                                          reinterpret_cast<void**>(&dispatch))) ||
        !dispatch)
        return false;
    HRESULT hr = dispatch->QueryInterface(kIidTextDocument, reinterpret_cast<void**>(&document_));
    dispatch->Release();
    if (FAILED(hr) || !document_) {
        document_ = nullptr;
        return false;
    }
    if (FAILED(document_->GetSelection(&selection_)) || !selection_) {
        selection_ = nullptr;
        return false;
    }

    textLength = -1;
    ITextRange* whole = nullptr;
    if (SUCCEEDED(document_->Range(0, 0, &whole)) && whole) {
        LONG story = 0;
        if (SUCCEEDED(whole->GetStoryLength(&story))) textLength = story;
        whole->Release();
    }
    return getSelection(selStart, selEnd);
}

bool CRichEditTextHandler::getSelection(LONG& start, LONG& end) {
    if (!selection_) return false;
    LONG from = -1, to = -1;
    if (FAILED(selection_->GetStart(&from)) || FAILED(selection_->GetEnd(&to))) return false;
    start = from;
    end = to;
    return true;
}

bool CRichEditTextHandler::getSelectionText(std::wstring& text) { return textOf(selection_, text); }

bool CRichEditTextHandler::replaceSelection(const wchar_t* text, bool selectInserted) {
    if (!selection_ || !text) return false;
    LONG start = -1;
    if (selectInserted && FAILED(selection_->GetStart(&start))) return false;
    BSTR value = SysAllocString(text);
    if (!value) return false;
    HRESULT hr = selection_->SetText(value);
    SysFreeString(value);
    if (FAILED(hr)) return false;
    if (!selectInserted) return true;
    ITextRange* inserted = nullptr;
    if (FAILED(document_->Range(start, start + static_cast<LONG>(wcslen(text)), &inserted)) ||
        !inserted)
        return false;
    hr = inserted->Select();
    inserted->Release();
    return SUCCEEDED(hr);
}

bool CRichEditTextHandler::getCharBefore(LONG start, wchar_t& before) {
    before = 0;
    if (start <= 0) return start == 0;
    if (!document_) return false;
    ITextRange* range = nullptr;
    if (FAILED(document_->Range(start - 1, start, &range)) || !range) return false;
    std::wstring text;
    bool read = textOf(range, text);
    range->Release();
    if (!read || text.empty()) return false;
    before = text[0];
    return true;
}
