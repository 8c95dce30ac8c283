#include "TargetText.h"

#include <cwchar>
#include <cwctype>

#include "TargetTextHandlers.h"
#include "core/HookLibrary.h"

const wchar_t* const CTargetText::kWordClass = L"_WwG";
const wchar_t* const CTargetText::kRichEditPrefix = L"RichEdit";

namespace {

// Selections this long or longer are never a short part of the text.
constexpr LONG kPartialLimit = 33;
// Edit selections this long or longer are not read to decide the space after.
constexpr LONG kNeedSpaceReadLimit = 256;

bool isControlToCut(wchar_t ch) { return ch < 32 && ch != L'\t'; }

}  // namespace

CTargetText::CTargetText(HWND window) : window_(window) {
    wchar_t name[100] = {};
    if (window) GetClassNameW(window, name, 100);
    if (wcscmp(name, kWordClass) == 0) {
        handler_ = new CMSWordTextHandler;
        kind_ = KIND_OBJECT_MODEL;
    } else if (_wcsnicmp(name, kRichEditPrefix, 8) == 0) {
        handler_ = new CRichEditTextHandler;
        kind_ = KIND_OBJECT_MODEL;
    } else {
        handler_ = new CEditTextHandler;
        kind_ = KIND_EDIT;
    }
    bool ready = handler_->initHandler(window, selStart_, selEnd_, textLength_);
    if (!ready && _wcsnicmp(name, kRichEditPrefix, 8) == 0) {
        // A rich edit whose window serves no object model (not every host
        // answers OBJID_NATIVEOM) still answers the edit messages: the blank
        // before a writing and the selection are read through them.
        delete handler_;
        handler_ = new CEditTextHandler(CEditTextHandler::PARAGRAPH_MARKS);
        kind_ = KIND_EDIT;
        selStart_ = selEnd_ = -1;
        textLength_ = -1;
        ready = handler_->initHandler(window, selStart_, selEnd_, textLength_);
    }
    if (!ready) {
        delete handler_;
        handler_ = nullptr;
        kind_ = KIND_NONE;
        selStart_ = selEnd_ = -1;
        textLength_ = -1;
    }
}

CTargetText::~CTargetText() { delete handler_; }

bool CTargetText::getSelectionText(std::wstring& text, std::wstring& trailing) {
    text.clear();
    trailing.clear();
    refusedForControls_ = false;
    if (!handler_) return false;
    std::wstring selected;
    if (!handler_->getSelectionText(selected)) return false;
    size_t cut = 0;
    while (cut < selected.size() && !isControlToCut(selected[cut])) ++cut;
    for (size_t i = cut; i < selected.size(); ++i) {
        if (selected[i] >= 32 || selected[i] == L'\n') {
            refusedForControls_ = true;
            return false;
        }
    }
    text = selected.substr(0, cut);
    trailing = selected.substr(cut);
    return true;
}

bool CTargetText::replaceSelection(const wchar_t* text, bool selectInserted) {
    return handler_ && handler_->replaceSelection(text, selectInserted);
}

bool CTargetText::charBeforeSelection(wchar_t& before) {
    before = 0;
    return handler_ && selStart_ >= 0 && handler_->getCharBefore(selStart_, before);
}

bool CTargetText::needsLeadingSpace(const wchar_t* text) {
    wchar_t before = 0;
    return charBeforeSelection(before) && leadingSpaceWanted(before, text);
}

bool leadingSpaceWanted(wchar_t before, const wchar_t* text) {
    if (before == 0 || before < 32 || iswspace(before) || before == 0xA0) return false;
    if (wcschr(L"([{", before)) return false;
    if (text) {
        const wchar_t first = text[0];
        if (first == 0 || first < 32 || iswspace(first) || first == 0xA0) return false;
        if (wcschr(L".,;:!?)]}%'\u2019", first)) return false;
    }
    return true;
}

namespace {

bool checkSelection(CTargetText& target, int& kind, bool& needSpace, bool& partial) {
    kind = target.kind();
    if (!target.hasSelection()) {
        partial = false;
        needSpace = false;
        return false;
    }
    const LONG length = target.selectionLength();
    if (length >= kPartialLimit)
        partial = false;
    else
        partial = !(target.textLength() > 0 && length >= target.textLength() - 1);

    // A replaced selection that ended with a blank needs one after the new text.
    needSpace = true;
    if (kind == CTargetText::KIND_EDIT && length < kNeedSpaceReadLimit) {
        std::wstring text, trailing;
        if (target.getSelectionText(text, trailing) && !text.empty() && trailing.empty())
            needSpace = text.back() == L' ';
    }
    return true;
}

}  // namespace

bool checkTargetSelection(HWND window, int& kind, bool& needSpace, bool& partial) {
    CTargetText target(window);
    return checkSelection(target, kind, needSpace, partial);
}

bool checkTargetSelection(HWND window, int& kind, bool& needSpace, bool& partial, wchar_t& before,
                          bool* selectionLeftMoved) {
    CTargetText target(window);
    target.charBeforeSelection(before);
    if (selectionLeftMoved) *selectionLeftMoved = target.selectionLeftMoved();
    return checkSelection(target, kind, needSpace, partial);
}

bool focusedFieldHasSelection() {
    CTargetText target(hookLibrary().getLastFocusWindow());
    return target.hasSelection();
}
