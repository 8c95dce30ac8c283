#include <oleacc.h>

#include <cwchar>

#include "TargetTextHandlers.h"

namespace {

// The word processor's Window and Selection interfaces.
constexpr GUID kIidWordWindow = {
    0x00020962, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidWordSelection = {
    0x00020975, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// An exception inside the word processor's object model reaches this process
// as one of these: raised by its automation code, or a fault of the server
// while it ran the call.
bool isException(HRESULT hr) { return hr == DISP_E_EXCEPTION || hr == RPC_E_SERVERFAULT; }

// The calls of one guarded operation: an exception that any of them meets is
// reported once, when the operation ends, and fails the operation.
class ExceptionGuard {
  public:
    explicit ExceptionGuard(const wchar_t* report) : report_(report) { active() = this; }
    ~ExceptionGuard() { active() = nullptr; }
    ExceptionGuard(const ExceptionGuard&) = delete;
    ExceptionGuard& operator=(const ExceptionGuard&) = delete;

    static void note(HRESULT hr) {
        if (isException(hr) && active()) active()->raised_ = true;
    }
    // The operation's result: false, reported, when an exception was met.
    bool finish(bool result) {
        if (!raised_) return result;
        // Straight to the debugger output, as the word processor's own faults
        // are reported, not through the program's trace.
        OutputDebugStringW(report_);
        return false;
    }

  private:
    static ExceptionGuard*& active() {
        static thread_local ExceptionGuard* current = nullptr;
        return current;
    }
    const wchar_t* report_;
    bool raised_ = false;
};

HRESULT invoke(IDispatch* object, DISPID id, WORD flags, VARIANT* argument, VARIANT* result) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {argument, argument ? &named : nullptr, argument ? 1u : 0u,
                         argument ? 1u : 0u};
    EXCEPINFO excep = {};
    HRESULT hr =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep, nullptr);
    if (hr == DISP_E_EXCEPTION) {
        SysFreeString(excep.bstrSource);
        SysFreeString(excep.bstrDescription);
        SysFreeString(excep.bstrHelpFile);
    }
    ExceptionGuard::note(hr);
    return hr;
}

HRESULT memberId(IDispatch* object, const wchar_t* name, DISPID& id) {
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    ExceptionGuard::note(hr);
    return hr;
}

}  // namespace

CMSWordTextHandler::~CMSWordTextHandler() {
    if (selection_) selection_->Release();
}

bool CMSWordTextHandler::attach(HWND window) {
    if (!window) return false;
    IDispatch* dispatch = nullptr;
    HRESULT hr = AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_NATIVEOM),
                                            IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    ExceptionGuard::note(hr);
    if (FAILED(hr) || !dispatch) return false;
    IDispatch* wordWindow = nullptr;
    hr = dispatch->QueryInterface(kIidWordWindow, reinterpret_cast<void**>(&wordWindow));
    dispatch->Release();
    if (FAILED(hr) || !wordWindow) return false;

    VARIANT selection;
    VariantInit(&selection);
    DISPID id = DISPID_UNKNOWN;
    hr = memberId(wordWindow, L"Selection", id);
    if (SUCCEEDED(hr)) hr = invoke(wordWindow, id, DISPATCH_PROPERTYGET, nullptr, &selection);
    wordWindow->Release();
    if (SUCCEEDED(hr) && selection.vt == VT_DISPATCH && selection.pdispVal)
        hr = selection.pdispVal->QueryInterface(kIidWordSelection,
                                                reinterpret_cast<void**>(&selection_));
    else if (SUCCEEDED(hr))
        hr = E_NOINTERFACE;
    VariantClear(&selection);
    if (FAILED(hr) || !selection_) {
        selection_ = nullptr;
        return false;
    }

    const wchar_t* const names[MEMBER_COUNT] = {L"Text", L"Start", L"End"};
    for (int member = 0; member < MEMBER_COUNT; ++member)
        if (FAILED(memberId(selection_, names[member], ids_[member]))) return false;
    return true;
}

HRESULT CMSWordTextHandler::getNumber(Member member, LONG& value) {
    if (!selection_) return E_POINTER;
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = invoke(selection_, ids_[member], DISPATCH_PROPERTYGET, nullptr, &result);
    if (SUCCEEDED(hr)) hr = VariantChangeType(&result, &result, 0, VT_I4);
    if (SUCCEEDED(hr)) value = result.lVal;
    VariantClear(&result);
    return hr;
}

HRESULT CMSWordTextHandler::putNumber(Member member, LONG value) {
    if (!selection_) return E_POINTER;
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_I4;
    argument.lVal = value;
    return invoke(selection_, ids_[member], DISPATCH_PROPERTYPUT, &argument, nullptr);
}

HRESULT CMSWordTextHandler::getText(std::wstring& text) {
    if (!selection_) return E_POINTER;
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = invoke(selection_, ids_[TEXT], DISPATCH_PROPERTYGET, nullptr, &result);
    if (SUCCEEDED(hr)) hr = VariantChangeType(&result, &result, 0, VT_BSTR);
    const UINT length = SUCCEEDED(hr) && result.bstrVal ? SysStringLen(result.bstrVal) : 0;
    // The other program's text is copied only up to the longest read.
    if (SUCCEEDED(hr) && length > kLongestTargetTextRead) hr = E_OUTOFMEMORY;
    if (SUCCEEDED(hr)) text.assign(result.bstrVal ? result.bstrVal : L"", length);
    VariantClear(&result);
    return hr;
}

HRESULT CMSWordTextHandler::putText(const wchar_t* text) {
    if (!selection_) return E_POINTER;
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = SysAllocString(text);
    if (!argument.bstrVal) return E_OUTOFMEMORY;
    HRESULT hr = invoke(selection_, ids_[TEXT], DISPATCH_PROPERTYPUT, &argument, nullptr);
    VariantClear(&argument);
    return hr;
}

bool CMSWordTextHandler::initHandler(HWND window, LONG& selStart, LONG& selEnd, LONG& textLength) {
    ExceptionGuard guard(L"---- Exception in CMSWordTextHandler::initHandler() \n");
    textLength = -1;
    return guard.finish(attach(window) && getSelection(selStart, selEnd));
}

bool CMSWordTextHandler::getSelection(LONG& start, LONG& end) {
    LONG from = -1, to = -1;
    if (FAILED(getNumber(START, from)) || FAILED(getNumber(END, to))) return false;
    start = from;
    end = to;
    return true;
}

bool CMSWordTextHandler::getSelectionText(std::wstring& text) {
    ExceptionGuard guard(L"---- Exception in CMSWordTextHandler::getSelectionText() \n");
    LONG start = -1, end = -1;
    // An empty selection's text is the character after it: only a real one is read.
    bool read = getSelection(start, end) && 0 <= start && start < end && SUCCEEDED(getText(text));
    return guard.finish(read);
}

bool CMSWordTextHandler::replaceSelection(const wchar_t* text, bool selectInserted) {
    if (!selection_ || !text) return false;
    LONG start = -1;
    if (selectInserted && FAILED(getNumber(START, start))) return false;
    if (FAILED(putText(text))) return false;
    if (!selectInserted) return true;
    return SUCCEEDED(putNumber(START, start)) &&
           SUCCEEDED(putNumber(END, start + static_cast<LONG>(wcslen(text))));
}

bool CMSWordTextHandler::putSelectionBack(LONG start, LONG end) {
    LONG nowStart = -1, nowEnd = -1;
    for (int attempt = 0; attempt < 2; ++attempt) {
        // The second time the end first: a start beyond the end moves the end along.
        if (attempt == 1) putNumber(END, end);
        putNumber(START, start);
        if (getSelection(nowStart, nowEnd) && nowStart == start && nowEnd == end) return true;
    }
    return false;
}

bool CMSWordTextHandler::getCharBefore(LONG start, wchar_t& before) {
    before = 0;
    if (start <= 0) return start == 0;
    // The selection is the only range at hand: widen it back by one character,
    // read that, and put it back. Typing goes where the selection is, so a
    // selection that cannot be put back is reported rather than left behind.
    LONG from = -1, to = -1;
    if (!getSelection(from, to)) return false;
    if (FAILED(putNumber(START, start - 1))) {
        if (!putSelectionBack(from, to)) selectionLeftMoved_ = true;
        return false;
    }
    std::wstring text;
    const HRESULT read = getText(text);
    if (!putSelectionBack(from, to)) {
        selectionLeftMoved_ = true;
        OutputDebugStringW(L"CMSWordTextHandler: the selection could not be put back\n");
        return false;
    }
    if (FAILED(read) || text.empty()) return false;
    before = text[0];
    return true;
}
