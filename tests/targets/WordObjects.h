// The word processor's object model as the word processor target serves it: the
// document window's `Window` object (reached through
// AccessibleObjectFromWindow(OBJID_NATIVEOM) on the "_WwG" window) and its
// `Selection`, both driven through IDispatch only.
//
//   Window     {00020962-0000-0000-C000-000000000046}
//     Selection  DISPID 4, get: VT_DISPATCH (the Selection object)
//   Selection  {00020975-0000-0000-C000-000000000046}
//     Text       DISPID 0, get/put: VT_BSTR
//     Start      DISPID 3, get/put: VT_I4
//     End        DISPID 4, get/put: VT_I4
//
// Names are matched without regard to case. A put needs the named argument
// DISPID_PROPERTYPUT; values are coerced (a BSTR "5" sets Start to 5). Refused
// calls fail with DISP_E_EXCEPTION and an EXCEPINFO, as the word processor's
// own do.
//
// For other processes to get these interfaces, COM must know how to marshal
// them: registerWordTypeLibrary() describes them in a type library (made at run
// time under the user's local application data) and registers it, as the word
// processor's installation does with its own.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>

#include "ComObject.h"

namespace targets {

constexpr GUID kIidWordWindow = {
    0x00020962, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidWordSelection = {
    0x00020975, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr DISPID kDispidWindowSelection = 4;
constexpr DISPID kDispidSelectionText = 0;
constexpr DISPID kDispidSelectionStart = 3;
constexpr DISPID kDispidSelectionEnd = 4;

// The document the selection works on (the "_WwG" window's text).
class SelectionHost {
  public:
    virtual ~SelectionHost() = default;
    virtual LONG selectionStart() = 0;
    virtual LONG selectionEnd() = 0;
    // The selected text; for an empty selection the character after it, as the
    // word processor answers (empty at the end of the text).
    virtual std::wstring selectionText() = 0;
    // Replaces the selection; the new text is selected afterwards.
    virtual void setSelectionText(const std::wstring& text) = 0;
    // A start beyond the end moves the end along, an end before the start the start.
    virtual void setSelectionStart(LONG start) = 0;
    virtual void setSelectionEnd(LONG end) = 0;
    virtual bool refusesCalls() = 0;
    // A put of Start to `start` is refused (the call fails).
    virtual bool refusesStart(LONG start) { return false; }
};

// Makes (once) and registers the type library; returns it loaded, or null when
// it cannot be made (then only callers in this process can use the objects).
ITypeLib* registerWordTypeLibrary();

class WordSelection;

// The Window object of one "_WwG" window; holds its Selection.
class WordWindow final : public ComObject<IDispatch> {
  public:
    explicit WordWindow(SelectionHost* host);
    WordWindow(const WordWindow&) = delete;
    WordWindow& operator=(const WordWindow&) = delete;

    // The window is going away: remote callers are disconnected, calls fail.
    void detach();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                                     UINT* argErr) override;

  private:
    ~WordWindow() override;

    SelectionHost* host_;
    WordSelection* selection_;
};

}  // namespace targets
