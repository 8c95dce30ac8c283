#include <cwchar>
#include <vector>

#include "TargetTextHandlers.h"

bool CEditTextHandler::initHandler(HWND window, LONG& selStart, LONG& selEnd, LONG& textLength) {
    if (!window) return false;
    window_ = window;
    textLength = static_cast<LONG>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    if (breaks_ == PARAGRAPH_MARKS) {
        std::wstring all;
        textLength = readAll(all) ? static_cast<LONG>(all.size()) : -1;
    }
    if (!getSelection(selStart, selEnd)) {
        window_ = nullptr;
        return false;
    }
    return true;
}

bool CEditTextHandler::getSelection(LONG& start, LONG& end) {
    if (!window_) return false;
    DWORD from = static_cast<DWORD>(-1), to = static_cast<DWORD>(-1);
    LRESULT answer = SendMessageW(window_, EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                                  reinterpret_cast<LPARAM>(&to));
    // A window that is no edit control answers 0 and leaves the values alone.
    if (answer == 0 || from == static_cast<DWORD>(-1) || to == static_cast<DWORD>(-1) || to < from)
        return false;
    start = start_ = static_cast<LONG>(from);
    end = end_ = static_cast<LONG>(to);
    return true;
}

bool CEditTextHandler::fetchText(size_t capacity, std::vector<wchar_t>& buffer, DWORD_PTR& copied) {
    copied = 0;
    // The capacity comes from the control's own answers.
    if (capacity == 0 || capacity > kLongestTargetTextRead + 1) return false;
    buffer.assign(capacity, L'\0');
    if (!SendMessageTimeoutW(window_, WM_GETTEXT, buffer.size(),
                             reinterpret_cast<LPARAM>(buffer.data()), SMTO_ABORTIFHUNG,
                             kReadTimeoutMs, &copied))
        return false;
    buffer.back() = L'\0';
    return true;
}

bool CEditTextHandler::readAll(std::wstring& text) {
    const LRESULT length = SendMessageW(window_, WM_GETTEXTLENGTH, 0, 0);
    std::vector<wchar_t> buffer;
    DWORD_PTR copied = 0;
    if (length < 0 || static_cast<ULONG_PTR>(length) > kLongestTargetTextRead ||
        !fetchText(static_cast<size_t>(length) + 1, buffer, copied))
        return false;
    text.clear();
    for (const wchar_t* p = buffer.data(); *p; ++p) {
        if (breaks_ == PARAGRAPH_MARKS && p[0] == L'\r' && p[1] == L'\n') ++p;
        text.push_back(breaks_ == PARAGRAPH_MARKS && *p == L'\n' ? L'\r' : *p);
    }
    return true;
}

bool CEditTextHandler::readText(LONG count, std::wstring& text) {
    if (!window_ || count <= 0 || static_cast<size_t>(count) > kLongestTargetTextRead) return false;
    if (breaks_ == PARAGRAPH_MARKS) {
        // The text is longer than the positions by its line breaks: read it whole.
        std::wstring all;
        if (!readAll(all) || all.size() < static_cast<size_t>(count)) return false;
        text = all.substr(0, static_cast<size_t>(count));
        return true;
    }
    std::vector<wchar_t> buffer;
    DWORD_PTR copied = 0;
    if (!fetchText(static_cast<size_t>(count) + 1, buffer, copied)) return false;
    if (copied == 0 || copied != wcslen(buffer.data()) || copied < static_cast<DWORD_PTR>(count))
        return false;
    text.assign(buffer.data(), copied);
    return true;
}

bool CEditTextHandler::getSelectionText(std::wstring& text) {
    if (start_ < 0 || start_ == end_) return false;
    std::wstring all;
    if (!readText(end_, all)) return false;
    text = all.substr(start_, end_ - start_);
    return !text.empty();
}

bool CEditTextHandler::replaceSelection(const wchar_t* text, bool selectInserted) {
    if (!window_ || !text) return false;
    LONG start = -1, end = -1;
    if (selectInserted && !getSelection(start, end)) return false;
    SendMessageW(window_, EM_REPLACESEL, 1, reinterpret_cast<LPARAM>(text));
    if (selectInserted)
        SendMessageW(window_, EM_SETSEL, start, start + static_cast<LONG>(wcslen(text)));
    return true;
}

bool CEditTextHandler::getCharBefore(LONG start, wchar_t& before) {
    before = 0;
    if (start <= 0) return start == 0;
    std::wstring head;
    if (!readText(start, head)) return false;
    before = head[start - 1];
    return true;
}
