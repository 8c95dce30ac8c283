// The three ways `CTargetText` reaches a control's text.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <vector>

#include "TargetText.h"

struct ITextDocument;
struct ITextSelection;

// A plain edit control, by window messages. Only the reading of the text is
// bounded in time (the target may hang); the other messages wait for it.
class CEditTextHandler : public CTargetTextHandler {
  public:
    // How long the text may take to arrive.
    static constexpr UINT kReadTimeoutMs = 100;

    // How the control counts a line break in its positions: as the two
    // characters its text holds, or, like a rich edit, as one paragraph mark
    // ("\r") while its text still gives "\r\n".
    enum LineBreaks { TEXT_AS_IS, PARAGRAPH_MARKS };
    explicit CEditTextHandler(LineBreaks breaks = TEXT_AS_IS) : breaks_(breaks) {}

    bool initHandler(HWND window, LONG& selStart, LONG& selEnd, LONG& textLength) override;
    bool getSelection(LONG& start, LONG& end) override;
    bool getSelectionText(std::wstring& text) override;
    bool replaceSelection(const wchar_t* text, bool selectInserted) override;
    bool getCharBefore(LONG start, wchar_t& before) override;

  private:
    // The first `count` characters of the text; false unless all arrived in time.
    bool readText(LONG count, std::wstring& text);

    // The whole text in the control's own positions, or false.
    bool readAll(std::wstring& text);
    // WM_GETTEXT into a buffer of `capacity` characters (terminated); false
    // when the control did not answer in time.
    bool fetchText(size_t capacity, std::vector<wchar_t>& buffer, DWORD_PTR& copied);

    LineBreaks breaks_;
    HWND window_ = nullptr;
    // The selection last read: the text read is the one the caller was told of,
    // and a target that hangs meanwhile holds the reader up no longer than
    // the bounded read.
    LONG start_ = -1, end_ = -1;
};

// A rich edit control, through the Text Object Model document that its window
// serves for OBJID_NATIVEOM.
class CRichEditTextHandler : public CTargetTextHandler {
  public:
    ~CRichEditTextHandler() override;

    bool initHandler(HWND window, LONG& selStart, LONG& selEnd, LONG& textLength) override;
    bool getSelection(LONG& start, LONG& end) override;
    bool getSelectionText(std::wstring& text) override;
    bool replaceSelection(const wchar_t* text, bool selectInserted) override;
    bool getCharBefore(LONG start, wchar_t& before) override;

  private:
    ITextDocument* document_ = nullptr;
    ITextSelection* selection_ = nullptr;
};

// The word processor's document window, through the `Window` object its window
// serves for OBJID_NATIVEOM and that window's `Selection`, by IDispatch. An
// exception raised by the word processor's object model fails the operation
// and is reported to the debugger output.
class CMSWordTextHandler : public CTargetTextHandler {
  public:
    ~CMSWordTextHandler() override;

    bool initHandler(HWND window, LONG& selStart, LONG& selEnd, LONG& textLength) override;
    bool getSelection(LONG& start, LONG& end) override;
    bool getSelectionText(std::wstring& text) override;
    bool replaceSelection(const wchar_t* text, bool selectInserted) override;
    bool getCharBefore(LONG start, wchar_t& before) override;
    bool selectionLeftMoved() const override { return selectionLeftMoved_; }

  private:
    // One selection member (its id found at attach time).
    enum Member { TEXT, START, END, MEMBER_COUNT };
    HRESULT getNumber(Member member, LONG& value);
    HRESULT putNumber(Member member, LONG value);
    HRESULT getText(std::wstring& text);
    HRESULT putText(const wchar_t* text);
    bool attach(HWND window);

    // Puts the selection at (start, end) and checks that it is there.
    bool putSelectionBack(LONG start, LONG end);

    IDispatch* selection_ = nullptr;
    DISPID ids_[MEMBER_COUNT] = {};
    bool selectionLeftMoved_ = false;
};
