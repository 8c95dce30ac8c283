#include "TextDocument.h"

#include <richedit.h>

#include <algorithm>

#include "TomIds.h"

namespace targets {

namespace {

// Not in every tom.h: GetPoint may report a point outside the client area.
constexpr LONG kTomAllowOffClient = 0x200;

LONG clampTo(LONG value, LONG low, LONG high) { return std::max(low, std::min(value, high)); }

// Where position p goes when [start, end) is replaced by `inserted` characters.
LONG movedBy(LONG p, LONG start, LONG end, LONG inserted, bool isEnd) {
    if (p <= start) return p;
    if (p >= end) return p + inserted - (end - start);
    return isEnd ? start + inserted : start;
}

HRESULT setBstr(BSTR* out, const std::wstring& text) {
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT dispatchTypeInfo(ITypeInfo* info, UINT index, ITypeInfo** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    if (!info) return E_NOTIMPL;
    info->AddRef();
    *out = info;
    return S_OK;
}

HRESULT rangeEnds(ITextRange* range, LONG& start, LONG& end) {
    if (!range) return E_INVALIDARG;
    HRESULT hr = range->GetStart(&start);
    if (SUCCEEDED(hr)) hr = range->GetEnd(&end);
    return hr;
}

}  // namespace

// ---- TextDocument ----------------------------------------------------------

TextDocument::TextDocument(HWND richEdit) : window_(richEdit) {}

TextDocument::~TextDocument() {
    if (typeLib_) typeLib_->Release();
}

void TextDocument::detach() {
    window_ = nullptr;
    // Remote callers get "disconnected" from now on instead of waiting on a
    // window that is gone.
    std::vector<TextRange*> live = ranges_;
    for (TextRange* range : live) range->AddRef();
    for (TextRange* range : live) {
        range->disconnect();
        range->Release();
    }
    CoDisconnectObject(static_cast<ITextDocument*>(this), 0);
    if (selection_) {
        TextRange* selection = selection_;
        selection_ = nullptr;
        selection->Release();
    }
}

HRESULT TextDocument::usable() const {
    if (!window_) return CO_E_OBJNOTCONNECTED;
    return refuseCalls_ ? E_FAIL : S_OK;
}

std::wstring TextDocument::text() const {
    if (!window_) return std::wstring();
    GETTEXTLENGTHEX lengthOf = {GTL_NUMCHARS | GTL_PRECISE, 1200};
    LRESULT length =
        SendMessageW(window_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthOf), 0);
    if (length <= 0) return std::wstring();
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    GETTEXTEX get = {};
    get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    get.flags = GT_DEFAULT;
    get.codepage = 1200;
    LRESULT got = SendMessageW(window_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get),
                               reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(std::max<LRESULT>(0, got)));
    return text;
}

void TextDocument::controlSelection(LONG& start, LONG& end) const {
    CHARRANGE range = {0, 0};
    if (window_) SendMessageW(window_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    start = range.cpMin;
    end = range.cpMax;
}

void TextDocument::selectInControl(LONG anchor, LONG active) {
    if (window_) SendMessageW(window_, EM_SETSEL, anchor, active);
}

bool TextDocument::movesSelection(UINT message) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_CHAR:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_MOUSEMOVE:
        case WM_SETTEXT:
        case WM_CUT:
        case WM_PASTE:
        case WM_UNDO:
        case EM_UNDO:
        case EM_REDO:
        case EM_SETSEL:
        case EM_EXSETSEL:
        case EM_REPLACESEL:
            return true;
        default:
            return false;
    }
}

// A selection set by message has its caret at the end (Wine's rich edit orders
// the ends of EM_SETSEL too). Otherwise, when only the start moved, the
// selection grew or shrank at its start (Shift+Left, a leftward drag), so that
// is where the caret is.
void TextDocument::selectionMoved(UINT message, LONG oldStart, LONG oldEnd) {
    LONG start, end;
    controlSelection(start, end);
    if (start == oldStart && end == oldEnd) return;
    bool byMessage = message == EM_SETSEL || message == EM_EXSETSEL;
    activeAtStart_ = !byMessage && start != end && start != oldStart && end == oldEnd;
}

LONG TextDocument::replace(LONG start, LONG end, const std::wstring& with, TextRange* origin) {
    LONG before = static_cast<LONG>(text().size());
    start = clampTo(start, 0, before);
    end = clampTo(end, start, before);
    LONG selStart, selEnd;
    controlSelection(selStart, selEnd);
    CHARRANGE target = {start, end};
    SendMessageW(window_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&target));
    SendMessageW(window_, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(with.c_str()));
    LONG inserted = static_cast<LONG>(text().size()) - (before - (end - start));
    for (TextRange* range : ranges_) {
        if (range != origin) range->adjust(start, end, inserted);
    }
    if (!selection_ || origin != selection_) {
        CHARRANGE kept = {movedBy(selStart, start, end, inserted, false),
                          movedBy(selEnd, start, end, inserted, true)};
        SendMessageW(window_, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&kept));
    }
    return inserted;
}

bool TextDocument::pointOf(LONG cp, POINT& top, LONG& height, LONG& ascent) const {
    if (!window_) return false;
    POINTL at = {0, 0};
    SendMessageW(window_, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&at), cp);
    top.x = at.x;
    top.y = at.y;
    // The line's metrics come from the character format at the position.
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    SendMessageW(window_, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    HDC dc = GetDC(window_);
    LOGFONTW logFont = {};
    logFont.lfHeight =
        -MulDiv(format.yHeight ? format.yHeight : 200, GetDeviceCaps(dc, LOGPIXELSY), 1440);
    lstrcpynW(logFont.lfFaceName, format.szFaceName, LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&logFont);
    HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(window_, dc);
    height = metrics.tmHeight;
    ascent = metrics.tmAscent;
    return true;
}

ITypeInfo* TextDocument::typeInfo(REFIID iid) {
    if (!typeLibTried_) {
        typeLibTried_ = true;
        if (FAILED(LoadRegTypeLib(kLibidTom, 1, 0, LOCALE_NEUTRAL, &typeLib_))) typeLib_ = nullptr;
    }
    if (!typeLib_) return nullptr;
    ITypeInfo* info = nullptr;
    if (FAILED(typeLib_->GetTypeInfoOfGuid(iid, &info))) return nullptr;
    info->Release();  // the library keeps it alive
    return info;
}

void TextDocument::rangeDied(TextRange* range) {
    ranges_.erase(std::remove(ranges_.begin(), ranges_.end(), range), ranges_.end());
}

HRESULT TextDocument::QueryInterface(REFIID riid, void** out) {
    return query(riid, out, kIidTextDocument);
}

HRESULT TextDocument::GetTypeInfoCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = typeInfo(kIidTextDocument) ? 1 : 0;
    return S_OK;
}

HRESULT TextDocument::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return dispatchTypeInfo(typeInfo(kIidTextDocument), index, info);
}

HRESULT TextDocument::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    ITypeInfo* info = typeInfo(kIidTextDocument);
    return info ? DispGetIDsOfNames(info, names, count, ids) : E_NOTIMPL;
}

HRESULT TextDocument::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = typeInfo(kIidTextDocument);
    if (!info) return E_NOTIMPL;
    return DispInvoke(static_cast<ITextDocument*>(this), info, id, flags, params, result, excep,
                      argErr);
}

HRESULT TextDocument::GetName(BSTR* name) {
    if (!name) return E_INVALIDARG;
    *name = nullptr;
    return usable();  // an unsaved document has no name
}

HRESULT TextDocument::GetSelection(ITextSelection** selection) {
    if (!selection) return E_INVALIDARG;
    *selection = nullptr;
    if (HRESULT hr = usable(); FAILED(hr)) return hr;
    if (!selection_) selection_ = new TextRange(this, 0, 0, true);
    selection_->AddRef();
    *selection = selection_;
    return S_OK;
}

HRESULT TextDocument::GetStoryCount(LONG* count) {
    if (!count) return E_INVALIDARG;
    *count = 1;
    return usable();
}

HRESULT TextDocument::GetStoryRanges(ITextStoryRanges** stories) {
    if (stories) *stories = nullptr;
    return E_NOTIMPL;
}

HRESULT TextDocument::GetSaved(LONG* value) {
    if (!value) return E_INVALIDARG;
    if (HRESULT hr = usable(); FAILED(hr)) return hr;
    *value = SendMessageW(window_, EM_GETMODIFY, 0, 0) ? tomFalse : tomTrue;
    return S_OK;
}

HRESULT TextDocument::SetSaved(LONG value) {
    if (HRESULT hr = usable(); FAILED(hr)) return hr;
    SendMessageW(window_, EM_SETMODIFY, value == tomFalse, 0);
    return S_OK;
}

HRESULT TextDocument::GetDefaultTabStop(float*) { return E_NOTIMPL; }
HRESULT TextDocument::SetDefaultTabStop(float) { return E_NOTIMPL; }
HRESULT TextDocument::New() { return E_NOTIMPL; }
HRESULT TextDocument::Open(VARIANT*, LONG, LONG) { return E_NOTIMPL; }
HRESULT TextDocument::Save(VARIANT*, LONG, LONG) { return E_NOTIMPL; }

HRESULT TextDocument::Freeze(LONG* count) {
    if (HRESULT hr = usable(); FAILED(hr)) return hr;
    ++frozen_;
    if (count) *count = frozen_;
    return S_OK;
}

HRESULT TextDocument::Unfreeze(LONG* count) {
    if (HRESULT hr = usable(); FAILED(hr)) return hr;
    if (frozen_ > 0) --frozen_;
    if (count) *count = frozen_;
    return frozen_ ? S_FALSE : S_OK;
}

HRESULT TextDocument::BeginEditCollection() { return E_NOTIMPL; }
HRESULT TextDocument::EndEditCollection() { return E_NOTIMPL; }

HRESULT TextDocument::Undo(LONG count, LONG* done) {
    if (HRESULT hr = usable(); FAILED(hr)) return hr;
    LONG n = 0;
    while (n < count && SendMessageW(window_, EM_CANUNDO, 0, 0) &&
           SendMessageW(window_, EM_UNDO, 0, 0))
        ++n;
    if (done) *done = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT TextDocument::Redo(LONG count, LONG* done) {
    if (HRESULT hr = usable(); FAILED(hr)) return hr;
    LONG n = 0;
    while (n < count && SendMessageW(window_, EM_CANREDO, 0, 0) &&
           SendMessageW(window_, EM_REDO, 0, 0))
        ++n;
    if (done) *done = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT TextDocument::Range(LONG cp1, LONG cp2, ITextRange** range) {
    if (!range) return E_INVALIDARG;
    *range = nullptr;
    if (HRESULT hr = usable(); FAILED(hr)) return hr;
    LONG story = storyLength();
    cp1 = clampTo(cp1, 0, story);
    cp2 = clampTo(cp2, 0, story);
    *range = new TextRange(this, std::min(cp1, cp2), std::max(cp1, cp2), false);
    return S_OK;
}

HRESULT TextDocument::RangeFromPoint(LONG x, LONG y, ITextRange** range) {
    if (!range) return E_INVALIDARG;
    *range = nullptr;
    if (HRESULT hr = usable(); FAILED(hr)) return hr;
    POINT point = {x, y};
    ScreenToClient(window_, &point);
    POINTL at = {point.x, point.y};
    LONG cp =
        static_cast<LONG>(SendMessageW(window_, EM_CHARFROMPOS, 0, reinterpret_cast<LPARAM>(&at)));
    return Range(cp, cp, range);
}

// ---- TextRange -------------------------------------------------------------

TextRange::TextRange(TextDocument* document, LONG start, LONG end, bool isSelection)
    : document_(document), start_(start), end_(end), isSelection_(isSelection) {
    document_->AddRef();
    document_->rangeBorn(this);
}

TextRange::~TextRange() {
    document_->rangeDied(this);
    document_->Release();
}

void TextRange::disconnect() {
    disconnected_ = true;
    CoDisconnectObject(static_cast<ITextSelection*>(this), 0);
}

void TextRange::adjust(LONG start, LONG end, LONG inserted) {
    if (isSelection_) return;  // the control moves its own selection
    start_ = movedBy(start_, start, end, inserted, false);
    end_ = movedBy(end_, start, end, inserted, true);
}

HRESULT TextRange::load(LONG& start, LONG& end) const {
    if (disconnected_) return CO_E_OBJNOTCONNECTED;
    if (HRESULT hr = document_->usable(); FAILED(hr)) return hr;
    if (isSelection_) {
        document_->controlSelection(start, end);
    } else {
        LONG story = document_->storyLength();
        start = std::min(start_, story);
        end = std::min(end_, story);
    }
    return S_OK;
}

void TextRange::store(LONG start, LONG end, bool activeAtStart) {
    LONG story = document_->storyLength();
    start = clampTo(start, 0, story);
    end = clampTo(end, 0, story);
    if (end < start) std::swap(start, end);
    if (isSelection_) {
        if (activeAtStart)
            document_->selectInControl(end, start);
        else
            document_->selectInControl(start, end);
    } else {
        start_ = start;
        end_ = end;
    }
}

HRESULT TextRange::QueryInterface(REFIID riid, void** out) {
    return query(riid, out, kIidTextRange, isSelection_ ? &kIidTextSelection : nullptr);
}

HRESULT TextRange::GetTypeInfoCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = document_->typeInfo(isSelection_ ? kIidTextSelection : kIidTextRange) ? 1 : 0;
    return S_OK;
}

HRESULT TextRange::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return dispatchTypeInfo(document_->typeInfo(isSelection_ ? kIidTextSelection : kIidTextRange),
                            index, info);
}

HRESULT TextRange::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    ITypeInfo* info = document_->typeInfo(isSelection_ ? kIidTextSelection : kIidTextRange);
    return info ? DispGetIDsOfNames(info, names, count, ids) : E_NOTIMPL;
}

HRESULT TextRange::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                          VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = document_->typeInfo(isSelection_ ? kIidTextSelection : kIidTextRange);
    if (!info) return E_NOTIMPL;
    return DispInvoke(static_cast<ITextSelection*>(this), info, id, flags, params, result, excep,
                      argErr);
}

HRESULT TextRange::GetText(BSTR* text) {
    if (!text) return E_INVALIDARG;
    *text = nullptr;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    std::wstring story = document_->text() + L"\r";  // with the final paragraph mark
    return setBstr(text, story.substr(start, end - start));
}

HRESULT TextRange::SetText(BSTR text) {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    std::wstring with = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    LONG inserted = document_->replace(start, end, with, this);
    // The range (or selection) now covers the new text.
    store(start, start + inserted);
    return S_OK;
}

HRESULT TextRange::GetChar(LONG* ch) {
    if (!ch) return E_INVALIDARG;
    *ch = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    std::wstring story = document_->text() + L"\r";
    if (start < static_cast<LONG>(story.size())) *ch = story[start];
    return S_OK;
}

HRESULT TextRange::SetChar(LONG ch) {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (start >= document_->storyLength() - 1) return S_FALSE;  // not the final mark
    document_->replace(start, start + 1, std::wstring(1, static_cast<wchar_t>(ch)), nullptr);
    return S_OK;
}

HRESULT TextRange::GetDuplicate(ITextRange** range) {
    if (!range) return E_INVALIDARG;
    *range = nullptr;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    *range = new TextRange(document_, start, end, false);
    return S_OK;
}

HRESULT TextRange::GetFormattedText(ITextRange** range) { return GetDuplicate(range); }
HRESULT TextRange::SetFormattedText(ITextRange*) { return E_NOTIMPL; }

HRESULT TextRange::GetStart(LONG* cp) {
    if (!cp) return E_INVALIDARG;
    LONG start, end;
    HRESULT hr = load(start, end);
    *cp = SUCCEEDED(hr) ? start : 0;
    return hr;
}

HRESULT TextRange::SetStart(LONG cp) {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    cp = clampTo(cp, 0, document_->storyLength());
    if (cp == start) return S_FALSE;
    // A start beyond the end drags the end along.
    store(cp, std::max(cp, end));
    return S_OK;
}

HRESULT TextRange::GetEnd(LONG* cp) {
    if (!cp) return E_INVALIDARG;
    LONG start, end;
    HRESULT hr = load(start, end);
    *cp = SUCCEEDED(hr) ? end : 0;
    return hr;
}

HRESULT TextRange::SetEnd(LONG cp) {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    cp = clampTo(cp, 0, document_->storyLength());
    if (cp == end) return S_FALSE;
    store(std::min(start, cp), cp);
    return S_OK;
}

HRESULT TextRange::GetFont(ITextFont** font) {
    if (font) *font = nullptr;
    return E_NOTIMPL;
}
HRESULT TextRange::SetFont(ITextFont*) { return E_NOTIMPL; }
HRESULT TextRange::GetPara(ITextPara** para) {
    if (para) *para = nullptr;
    return E_NOTIMPL;
}
HRESULT TextRange::SetPara(ITextPara*) { return E_NOTIMPL; }

HRESULT TextRange::GetStoryLength(LONG* length) {
    if (!length) return E_INVALIDARG;
    LONG start, end;
    HRESULT hr = load(start, end);
    *length = SUCCEEDED(hr) ? document_->storyLength() : 0;
    return hr;
}

HRESULT TextRange::GetStoryType(LONG* type) {
    if (!type) return E_INVALIDARG;
    *type = tomMainTextStory;
    LONG start, end;
    return load(start, end);
}

HRESULT TextRange::Collapse(LONG toStart) {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (start == end) return S_FALSE;
    if (toStart == tomStart || toStart == tomCollapseStart)
        store(start, start);
    else
        store(end, end);
    return S_OK;
}

HRESULT TextRange::Expand(LONG unit, LONG* delta) {
    if (delta) *delta = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    LONG newStart = start, newEnd = end;
    if (unit == tomStory) {
        newStart = 0;
        newEnd = document_->storyLength();
    } else if (unit == tomCharacter) {
        if (start == end) newEnd = std::min(end + 1, document_->storyLength());
    } else {
        return E_NOTIMPL;
    }
    store(newStart, newEnd);
    if (delta) *delta = (newEnd - newStart) - (end - start);
    return newStart == start && newEnd == end ? S_FALSE : S_OK;
}

HRESULT TextRange::GetIndex(LONG unit, LONG* index) {
    if (!index) return E_INVALIDARG;
    *index = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (unit == tomStory) {
        *index = 1;
    } else if (unit == tomCharacter) {
        *index = start + 1;
    } else {
        return E_NOTIMPL;
    }
    return S_OK;
}

HRESULT TextRange::SetIndex(LONG unit, LONG index, LONG extend) {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (unit != tomCharacter) return E_NOTIMPL;
    LONG story = document_->storyLength();
    if (index < 1 || index > story) return E_INVALIDARG;
    store(index - 1, extend ? index : index - 1);
    return S_OK;
}

HRESULT TextRange::SetRange(LONG cpActive, LONG cpOther) {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    store(std::min(cpActive, cpOther), std::max(cpActive, cpOther), cpActive < cpOther);
    return S_OK;
}

HRESULT TextRange::InRange(ITextRange* range, LONG* result) {
    if (result) *result = tomFalse;
    LONG start, end, otherStart, otherEnd;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (HRESULT hr = rangeEnds(range, otherStart, otherEnd); FAILED(hr)) return hr;
    bool inside = otherStart <= start && end <= otherEnd;
    if (result) *result = inside ? tomTrue : tomFalse;
    return inside ? S_OK : S_FALSE;
}

HRESULT TextRange::InStory(ITextRange* range, LONG* result) {
    if (result) *result = tomFalse;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (!range) return E_INVALIDARG;
    if (result) *result = tomTrue;  // one story only
    return S_OK;
}

HRESULT TextRange::IsEqual(ITextRange* range, LONG* result) {
    if (result) *result = tomFalse;
    LONG start, end, otherStart, otherEnd;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (HRESULT hr = rangeEnds(range, otherStart, otherEnd); FAILED(hr)) return hr;
    bool same = otherStart == start && otherEnd == end;
    if (result) *result = same ? tomTrue : tomFalse;
    return same ? S_OK : S_FALSE;
}

HRESULT TextRange::Select() {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    document_->selectInControl(start, end);
    return S_OK;
}

HRESULT TextRange::StartOf(LONG unit, LONG extend, LONG* delta) {
    if (delta) *delta = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (unit == tomCharacter) {
        if (!extend && start != end) store(start, start);
        return S_FALSE;
    }
    if (unit != tomStory) return E_NOTIMPL;
    store(0, extend ? end : 0);
    if (delta) *delta = start == 0 ? 0 : -1;
    return start == 0 ? S_FALSE : S_OK;
}

HRESULT TextRange::EndOf(LONG unit, LONG extend, LONG* delta) {
    if (delta) *delta = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (unit == tomCharacter) {
        if (!extend && start != end) store(end, end);
        return S_FALSE;
    }
    if (unit != tomStory) return E_NOTIMPL;
    LONG story = document_->storyLength();
    store(extend ? start : story, story);
    if (delta) *delta = end == story ? 0 : 1;
    return end == story ? S_FALSE : S_OK;
}

// Moves the start and/or the end by `count` characters (or to either end of
// the story for tomStory). Moving both collapses a non-degenerate range first,
// which counts as one unit.
HRESULT TextRange::moveEnds(LONG unit, LONG count, bool moveStart, bool moveEnd, LONG* delta) {
    if (delta) *delta = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (unit != tomCharacter && unit != tomStory) return E_NOTIMPL;
    if (count == 0) return S_FALSE;
    LONG story = document_->storyLength();
    auto step = [&](LONG from, LONG& moved) {
        LONG to = unit == tomStory ? (count > 0 ? story : 0) : clampTo(from + count, 0, story);
        moved = unit == tomStory ? (to == from ? 0 : (count > 0 ? 1 : -1)) : to - from;
        return to;
    };
    LONG moved = 0;
    if (moveStart && moveEnd) {
        LONG from = count > 0 ? end : start;
        LONG extra = 0;
        if (start != end) {
            extra = count > 0 ? 1 : -1;
            count -= extra;
        }
        LONG to = count == 0 ? from : step(from, moved);
        moved += extra;
        store(to, to);
    } else if (moveStart) {
        LONG to = step(start, moved);
        store(to, std::max(to, end));
    } else {
        LONG to = step(end, moved);
        store(std::min(start, to), to);
    }
    if (delta) *delta = moved;
    return moved ? S_OK : S_FALSE;
}

HRESULT TextRange::Move(LONG unit, LONG count, LONG* delta) {
    return moveEnds(unit, count, true, true, delta);
}
HRESULT TextRange::MoveStart(LONG unit, LONG count, LONG* delta) {
    return moveEnds(unit, count, true, false, delta);
}
HRESULT TextRange::MoveEnd(LONG unit, LONG count, LONG* delta) {
    return moveEnds(unit, count, false, true, delta);
}

HRESULT TextRange::MoveWhile(VARIANT*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT TextRange::MoveStartWhile(VARIANT*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT TextRange::MoveEndWhile(VARIANT*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT TextRange::MoveUntil(VARIANT*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT TextRange::MoveStartUntil(VARIANT*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT TextRange::MoveEndUntil(VARIANT*, LONG, LONG*) { return E_NOTIMPL; }
HRESULT TextRange::FindText(BSTR, LONG, LONG, LONG*) { return E_NOTIMPL; }
HRESULT TextRange::FindTextStart(BSTR, LONG, LONG, LONG*) { return E_NOTIMPL; }
HRESULT TextRange::FindTextEnd(BSTR, LONG, LONG, LONG*) { return E_NOTIMPL; }

HRESULT TextRange::Delete(LONG unit, LONG count, LONG* delta) {
    if (delta) *delta = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (unit != tomCharacter) return E_NOTIMPL;
    LONG length = document_->storyLength() - 1;  // the final mark stays
    LONG from = start, to = end;
    if (start == end) {
        if (count == 0) return S_FALSE;
        from = count > 0 ? start : std::max(0L, start + count);
        to = count > 0 ? std::min(length, start + count) : start;
    }
    if (from >= to) return S_FALSE;
    document_->replace(from, to, std::wstring(), this);
    store(from, from);
    if (delta) *delta = start == end ? (count > 0 ? to - from : from - to) : (count < 0 ? -1 : 1);
    return S_OK;
}

HRESULT TextRange::Cut(VARIANT* var) {
    if (!isSelection_ || (var && var->vt != VT_EMPTY)) return E_NOTIMPL;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    SendMessageW(document_->window(), WM_CUT, 0, 0);
    return S_OK;
}

HRESULT TextRange::Copy(VARIANT* var) {
    if (!isSelection_ || (var && var->vt != VT_EMPTY)) return E_NOTIMPL;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    SendMessageW(document_->window(), WM_COPY, 0, 0);
    return S_OK;
}

HRESULT TextRange::Paste(VARIANT* var, LONG) {
    if (!isSelection_ || (var && var->vt != VT_EMPTY)) return E_NOTIMPL;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    SendMessageW(document_->window(), WM_PASTE, 0, 0);
    return S_OK;
}

HRESULT TextRange::CanPaste(VARIANT*, LONG, LONG* result) {
    if (result) *result = tomFalse;
    return E_NOTIMPL;
}

HRESULT TextRange::CanEdit(LONG* result) {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    bool readOnly = GetWindowLongW(document_->window(), GWL_STYLE) & ES_READONLY;
    if (result) *result = readOnly ? tomFalse : tomTrue;
    return readOnly ? S_FALSE : S_OK;
}

HRESULT TextRange::ChangeCase(LONG) { return E_NOTIMPL; }

HRESULT TextRange::GetPoint(LONG type, LONG* x, LONG* y) {
    if (!x || !y) return E_INVALIDARG;
    *x = *y = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    POINT point;
    LONG height, ascent;
    if (!document_->pointOf((type & tomStart) ? start : end, point, height, ascent)) return E_FAIL;
    if ((type & TA_BASELINE) == TA_BASELINE)
        point.y += ascent;
    else if (type & TA_BOTTOM)
        point.y += height;
    RECT client;
    GetClientRect(document_->window(), &client);
    if (!PtInRect(&client, point) && !(type & kTomAllowOffClient)) return S_FALSE;
    if (!(type & tomClientCoord)) ClientToScreen(document_->window(), &point);
    *x = point.x;
    *y = point.y;
    return S_OK;
}

HRESULT TextRange::SetPoint(LONG, LONG, LONG, LONG) { return E_NOTIMPL; }

HRESULT TextRange::ScrollIntoView(LONG) {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (isSelection_) SendMessageW(document_->window(), EM_SCROLLCARET, 0, 0);
    return S_OK;
}

HRESULT TextRange::GetEmbeddedObject(IUnknown** object) {
    if (!object) return E_INVALIDARG;
    *object = nullptr;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    return S_FALSE;
}

HRESULT TextRange::GetFlags(LONG* flags) {
    if (!flags) return E_INVALIDARG;
    *flags = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    HWND window = document_->window();
    if (start != end && document_->activeEnd(start, end) == start) *flags |= tomSelStartActive;
    if (GetFocus() == window) *flags |= tomSelActive;
    return S_OK;
}

HRESULT TextRange::SetFlags(LONG) {
    LONG start, end;
    return load(start, end);
}

HRESULT TextRange::GetType(LONG* type) {
    if (!type) return E_INVALIDARG;
    *type = tomNoSelection;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    *type = start == end ? tomSelectionIP : tomSelectionNormal;
    return S_OK;
}

HRESULT TextRange::MoveLeft(LONG unit, LONG count, LONG extend, LONG* delta) {
    return MoveRight(unit, -count, extend, delta);
}

// Moves the active end like the arrow keys: with `extend` the anchor stays; without
// it a selection first collapses towards the move (one unit).
HRESULT TextRange::MoveRight(LONG unit, LONG count, LONG extend, LONG* delta) {
    if (delta) *delta = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    if (unit != tomCharacter) return E_NOTIMPL;
    if (!extend) {
        HRESULT hr = moveEnds(unit, count, true, true, delta);
        if (delta) *delta = *delta < 0 ? -*delta : *delta;
        return hr;
    }
    LONG active = document_->activeEnd(start, end);
    LONG anchor = active == start ? end : start;
    LONG moved = clampTo(active + count, 0, document_->storyLength()) - active;
    document_->selectInControl(anchor, active + moved);
    if (delta) *delta = moved < 0 ? -moved : moved;
    return moved ? S_OK : S_FALSE;
}

HRESULT TextRange::MoveUp(LONG, LONG, LONG, LONG*) { return E_NOTIMPL; }
HRESULT TextRange::MoveDown(LONG, LONG, LONG, LONG*) { return E_NOTIMPL; }

HRESULT TextRange::HomeKey(LONG unit, LONG extend, LONG* delta) {
    if (unit != tomStory) return E_NOTIMPL;
    return StartOf(unit, extend, delta);
}

HRESULT TextRange::EndKey(LONG unit, LONG extend, LONG* delta) {
    if (unit != tomStory) return E_NOTIMPL;
    if (delta) *delta = 0;
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    LONG last = document_->storyLength() - 1;  // before the final mark
    store(extend ? start : last, last);
    if (delta) *delta = end == last ? 0 : 1;
    return end == last ? S_FALSE : S_OK;
}

HRESULT TextRange::TypeText(BSTR text) {
    LONG start, end;
    if (HRESULT hr = load(start, end); FAILED(hr)) return hr;
    std::wstring with = text ? std::wstring(text, SysStringLen(text)) : std::wstring();
    LONG inserted = document_->replace(start, end, with, this);
    // Like typing: the caret follows the text.
    store(start + inserted, start + inserted);
    return S_OK;
}

}  // namespace targets
