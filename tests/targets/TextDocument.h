// A Text Object Model document over one rich edit control, for the rich edit
// target. The system's rich edit under Wine does not answer
// WM_GETOBJECT(OBJID_NATIVEOM), and its own in-process objects lack TypeText,
// GetType and GetPoint; the target answers with this document instead, and
// other processes reach it through standard COM marshalling (the TOM type
// library is registered by the system).
//
// Everything works on the control through its own messages, on the control's
// thread (calls from other processes arrive through the apartment's message
// loop). Character positions are those of the control: a paragraph break is one
// character ("\r"), and the story ends with a final paragraph mark, so the story
// length is the text length plus one.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <tom.h>

#include <string>
#include <vector>

#include "ComObject.h"

namespace targets {

class TextRange;

class TextDocument final : public ComObject<ITextDocument> {
  public:
    explicit TextDocument(HWND richEdit);
    TextDocument(const TextDocument&) = delete;
    TextDocument& operator=(const TextDocument&) = delete;

    // The control is going away: every object of this document disconnects
    // from its remote callers and refuses further calls.
    void detach();
    // Makes every call fail (E_FAIL) while set, to show a refusing target.
    void setRefuseCalls(bool refuse) { refuseCalls_ = refuse; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    // IDispatch (through the registered TOM type library)
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                     UINT* argErr) override;
    // ITextDocument
    HRESULT STDMETHODCALLTYPE GetName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE GetSelection(ITextSelection** selection) override;
    HRESULT STDMETHODCALLTYPE GetStoryCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE GetStoryRanges(ITextStoryRanges** stories) override;
    HRESULT STDMETHODCALLTYPE GetSaved(LONG* value) override;
    HRESULT STDMETHODCALLTYPE SetSaved(LONG value) override;
    HRESULT STDMETHODCALLTYPE GetDefaultTabStop(float* value) override;
    HRESULT STDMETHODCALLTYPE SetDefaultTabStop(float value) override;
    HRESULT STDMETHODCALLTYPE New() override;
    HRESULT STDMETHODCALLTYPE Open(VARIANT* var, LONG flags, LONG codePage) override;
    HRESULT STDMETHODCALLTYPE Save(VARIANT* var, LONG flags, LONG codePage) override;
    HRESULT STDMETHODCALLTYPE Freeze(LONG* count) override;
    HRESULT STDMETHODCALLTYPE Unfreeze(LONG* count) override;
    HRESULT STDMETHODCALLTYPE BeginEditCollection() override;
    HRESULT STDMETHODCALLTYPE EndEditCollection() override;
    HRESULT STDMETHODCALLTYPE Undo(LONG count, LONG* done) override;
    HRESULT STDMETHODCALLTYPE Redo(LONG count, LONG* done) override;
    HRESULT STDMETHODCALLTYPE Range(LONG cp1, LONG cp2, ITextRange** range) override;
    HRESULT STDMETHODCALLTYPE RangeFromPoint(LONG x, LONG y, ITextRange** range) override;

    // What the ranges use.
    HRESULT usable() const;     // S_OK, or the failure every call gives now
    std::wstring text() const;  // the control's text, without the final mark
    LONG storyLength() const { return static_cast<LONG>(text().size()) + 1; }
    void controlSelection(LONG& start, LONG& end) const;
    void selectInControl(LONG anchor, LONG active);
    // The control does not tell which end of its selection is active (and
    // Wine's rich edit does not move the system caret to show it), so the
    // target reports each message that may move the selection, with the
    // selection from before it, and the document notes which end moved.
    static bool movesSelection(UINT message);
    void selectionMoved(UINT message, LONG oldStart, LONG oldEnd);
    LONG activeEnd(LONG start, LONG end) const {
        return start != end && activeAtStart_ ? start : end;
    }
    // Replaces [start, end) (the final mark is never replaced) and moves every
    // live range the way the edit moves its text; returns the inserted length
    // (the control may turn "\r\n" into one character).
    LONG replace(LONG start, LONG end, const std::wstring& with, TextRange* origin);
    // Position of character cp in client coordinates of the control, and the
    // height and ascent of its line.
    bool pointOf(LONG cp, POINT& top, LONG& height, LONG& ascent) const;
    HWND window() const { return window_; }
    ITypeInfo* typeInfo(REFIID iid);
    void rangeBorn(TextRange* range) { ranges_.push_back(range); }
    void rangeDied(TextRange* range);

  private:
    ~TextDocument() override;

    HWND window_;
    bool refuseCalls_ = false;
    LONG frozen_ = 0;
    bool activeAtStart_ = false;
    TextRange* selection_ = nullptr;  // owned reference, made on first use
    std::vector<TextRange*> ranges_;  // live ranges (not owned), the selection included
    ITypeLib* typeLib_ = nullptr;
    bool typeLibTried_ = false;
};

// A range of a TextDocument; the document's one selection is a TextRange whose
// ends are the control's selection.
class TextRange final : public ComObject<ITextSelection> {
  public:
    TextRange(TextDocument* document, LONG start, LONG end, bool isSelection);
    TextRange(const TextRange&) = delete;
    TextRange& operator=(const TextRange&) = delete;

    void disconnect();
    // The document replaced [start, end) by `inserted` characters.
    void adjust(LONG start, LONG end, LONG inserted);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                     UINT* argErr) override;
    // ITextRange
    HRESULT STDMETHODCALLTYPE GetText(BSTR* text) override;
    HRESULT STDMETHODCALLTYPE SetText(BSTR text) override;
    HRESULT STDMETHODCALLTYPE GetChar(LONG* ch) override;
    HRESULT STDMETHODCALLTYPE SetChar(LONG ch) override;
    HRESULT STDMETHODCALLTYPE GetDuplicate(ITextRange** range) override;
    HRESULT STDMETHODCALLTYPE GetFormattedText(ITextRange** range) override;
    HRESULT STDMETHODCALLTYPE SetFormattedText(ITextRange* range) override;
    HRESULT STDMETHODCALLTYPE GetStart(LONG* cp) override;
    HRESULT STDMETHODCALLTYPE SetStart(LONG cp) override;
    HRESULT STDMETHODCALLTYPE GetEnd(LONG* cp) override;
    HRESULT STDMETHODCALLTYPE SetEnd(LONG cp) override;
    HRESULT STDMETHODCALLTYPE GetFont(ITextFont** font) override;
    HRESULT STDMETHODCALLTYPE SetFont(ITextFont* font) override;
    HRESULT STDMETHODCALLTYPE GetPara(ITextPara** para) override;
    HRESULT STDMETHODCALLTYPE SetPara(ITextPara* para) override;
    HRESULT STDMETHODCALLTYPE GetStoryLength(LONG* length) override;
    HRESULT STDMETHODCALLTYPE GetStoryType(LONG* type) override;
    HRESULT STDMETHODCALLTYPE Collapse(LONG start) override;
    HRESULT STDMETHODCALLTYPE Expand(LONG unit, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE GetIndex(LONG unit, LONG* index) override;
    HRESULT STDMETHODCALLTYPE SetIndex(LONG unit, LONG index, LONG extend) override;
    HRESULT STDMETHODCALLTYPE SetRange(LONG cpActive, LONG cpOther) override;
    HRESULT STDMETHODCALLTYPE InRange(ITextRange* range, LONG* result) override;
    HRESULT STDMETHODCALLTYPE InStory(ITextRange* range, LONG* result) override;
    HRESULT STDMETHODCALLTYPE IsEqual(ITextRange* range, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Select() override;
    HRESULT STDMETHODCALLTYPE StartOf(LONG unit, LONG extend, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE EndOf(LONG unit, LONG extend, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE Move(LONG unit, LONG count, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveStart(LONG unit, LONG count, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveEnd(LONG unit, LONG count, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveWhile(VARIANT* set, LONG count, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveStartWhile(VARIANT* set, LONG count, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveEndWhile(VARIANT* set, LONG count, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveUntil(VARIANT* set, LONG count, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveStartUntil(VARIANT* set, LONG count, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveEndUntil(VARIANT* set, LONG count, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE FindText(BSTR text, LONG count, LONG flags, LONG* length) override;
    HRESULT STDMETHODCALLTYPE FindTextStart(BSTR text, LONG count, LONG flags,
                                            LONG* length) override;
    HRESULT STDMETHODCALLTYPE FindTextEnd(BSTR text, LONG count, LONG flags, LONG* length) override;
    HRESULT STDMETHODCALLTYPE Delete(LONG unit, LONG count, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE Cut(VARIANT* var) override;
    HRESULT STDMETHODCALLTYPE Copy(VARIANT* var) override;
    HRESULT STDMETHODCALLTYPE Paste(VARIANT* var, LONG format) override;
    HRESULT STDMETHODCALLTYPE CanPaste(VARIANT* var, LONG format, LONG* result) override;
    HRESULT STDMETHODCALLTYPE CanEdit(LONG* result) override;
    HRESULT STDMETHODCALLTYPE ChangeCase(LONG type) override;
    HRESULT STDMETHODCALLTYPE GetPoint(LONG type, LONG* x, LONG* y) override;
    HRESULT STDMETHODCALLTYPE SetPoint(LONG x, LONG y, LONG type, LONG extend) override;
    HRESULT STDMETHODCALLTYPE ScrollIntoView(LONG value) override;
    HRESULT STDMETHODCALLTYPE GetEmbeddedObject(IUnknown** object) override;
    // ITextSelection
    HRESULT STDMETHODCALLTYPE GetFlags(LONG* flags) override;
    HRESULT STDMETHODCALLTYPE SetFlags(LONG flags) override;
    HRESULT STDMETHODCALLTYPE GetType(LONG* type) override;
    HRESULT STDMETHODCALLTYPE MoveLeft(LONG unit, LONG count, LONG extend, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveRight(LONG unit, LONG count, LONG extend, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveUp(LONG unit, LONG count, LONG extend, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE MoveDown(LONG unit, LONG count, LONG extend, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE HomeKey(LONG unit, LONG extend, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE EndKey(LONG unit, LONG extend, LONG* delta) override;
    HRESULT STDMETHODCALLTYPE TypeText(BSTR text) override;

  private:
    ~TextRange() override;
    // Reads the ends (from the control for the selection) after checking that
    // the document still takes calls.
    HRESULT load(LONG& start, LONG& end) const;
    // Stores new ends, ordered and clamped to the story; the selection moves
    // the control's selection with `activeAtStart` telling where the caret goes.
    void store(LONG start, LONG end, bool activeAtStart = false);
    HRESULT moveEnds(LONG unit, LONG count, bool moveStart, bool moveEnd, LONG* delta);

    TextDocument* document_;  // holds a reference
    LONG start_;
    LONG end_;
    const bool isSelection_;
    bool disconnected_ = false;
};

}  // namespace targets
