// The selection of another application's focused control: read it, replace it,
// and tell whether text typed there needs a leading blank.
//
// `CTargetText` wraps one target window and picks a handler by its class: a
// plain edit control is driven by window messages, a rich edit control through
// its Text Object Model, and the word processor's document window ("_WwG")
// through its own object model by IDispatch. Everything is synchronous; each
// call makes its own object, so nothing here is shared between threads. The
// object-model calls run in the caller's COM apartment (none is made here).
#pragma once

#include <windows.h>

#include <string>

// The longest text read from another program's control (characters): its
// lengths and selections are its own answers, and a read beyond this is
// refused rather than sized by them.
constexpr size_t kLongestTargetTextRead = 1u << 20;

// One way of reaching a control's text; owned by a `CTargetText`.
class CTargetTextHandler {
  public:
    virtual ~CTargetTextHandler() = default;
    virtual bool initHandler(HWND window, LONG& selStart, LONG& selEnd, LONG& textLength) = 0;
    virtual bool getSelection(LONG& start, LONG& end) = 0;
    virtual bool getSelectionText(std::wstring& text) = 0;
    virtual bool replaceSelection(const wchar_t* text, bool selectInserted) = 0;
    // The character just before `start` (0 when `start` is the beginning of
    // the text); false when it cannot be read.
    virtual bool getCharBefore(LONG start, wchar_t& before) = 0;
    // True when a getCharBefore had to move the selection and could not put
    // it back: text typed now would replace what the selection covers.
    virtual bool selectionLeftMoved() const { return false; }
};

class CTargetText {
  public:
    enum Kind { KIND_NONE = 0, KIND_EDIT = 1, KIND_OBJECT_MODEL = 3 };

    explicit CTargetText(HWND window);
    virtual ~CTargetText();
    CTargetText(const CTargetText&) = delete;
    CTargetText& operator=(const CTargetText&) = delete;

    HWND window() const { return window_; }
    int kind() const { return kind_; }
    LONG selStart() const { return selStart_; }
    LONG selEnd() const { return selEnd_; }
    // The whole text's length as the handler reports it (-1 when unknown); the
    // rich edit counts its final paragraph mark.
    LONG textLength() const { return textLength_; }

    bool hasHandler() const { return kind_ != KIND_NONE; }
    bool hasSelection() const { return handler_ && 0 <= selStart_ && selStart_ < selEnd_; }
    LONG selectionLength() const { return hasSelection() ? selEnd_ - selStart_ : 0; }

    // The selected text up to the first control character other than Tab; what
    // follows goes to `trailing`. A selection with printable text or a line
    // feed after that point is refused (both emptied, false, and
    // `refusedForControls` tells so); an unreadable one gives false too.
    bool getSelectionText(std::wstring& text, std::wstring& trailing);
    bool refusedForControls() const { return refusedForControls_; }
    bool replaceSelection(const wchar_t* text, bool selectInserted);

    // The character just before the selection (or caret); 0 at the start of
    // the text. False, with 0, when the handler cannot tell.
    bool charBeforeSelection(wchar_t& before);
    // The reading above moved the selection and it could not be put back.
    bool selectionLeftMoved() const { return handler_ && handler_->selectionLeftMoved(); }
    // Whether `text` (null: any word) typed at the selection needs a blank
    // before it to stand apart from what is already there
    // (`leadingSpaceWanted`); false when the handler cannot tell.
    bool needsLeadingSpace(const wchar_t* text = nullptr);

    // The class names that choose the handlers.
    static const wchar_t* const kWordClass;       // "_WwG", exactly
    static const wchar_t* const kRichEditPrefix;  // "RichEdit", any case

  private:
    HWND window_;
    CTargetTextHandler* handler_ = nullptr;
    int kind_ = KIND_NONE;
    LONG selStart_ = -1;
    LONG selEnd_ = -1;
    LONG textLength_ = -1;
    bool refusedForControls_ = false;
};

// Whether `text`, typed right after the character `before` (0: nothing
// before, or unknown), needs a blank in front of it: not at the start of the
// text, after white space or after an opening bracket; and not for a text
// (null: any word) that begins with a blank, a control code or closing
// punctuation.
bool leadingSpaceWanted(wchar_t before, const wchar_t* text);

// What the system client asks of the target window before it recognizes: its
// handler kind, whether a replacement of the selection needs a space after it
// (`needSpace`: the selected text of an edit ends with one, or the selection
// cannot be read), and whether the selection is a short part of the text
// (`partial`). The result tells whether there is a selection.
bool checkTargetSelection(HWND window, int& kind, bool& needSpace, bool& partial);
// The same, and the character before the selection or caret (0 at the start
// of the text or when it cannot be read), which decides a leading blank for
// the recognized text (`leadingSpaceWanted`).
// `selectionLeftMoved`, when given, tells that reading the character moved
// the selection and it could not be put back (nothing may be typed there).
bool checkTargetSelection(HWND window, int& kind, bool& needSpace, bool& partial, wchar_t& before,
                          bool* selectionLeftMoved = nullptr);

// True when the hook library's last focus window holds a selection.
bool focusedFieldHasSelection();
