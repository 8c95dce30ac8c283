// A hand-made accessible object for tests: every answer the element code reads
// is a public field, so a test builds exactly the tree (and the failures) it
// needs. `alive()` counts the objects not yet released, so tests also catch a
// reference that the code under test forgot to release.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <oleacc.h>

#include <string>
#include <vector>

#include "hook64/AccElem.h"

class FakeAccessible : public IAccessible, public IOleWindow {
  public:
    // A new object with one reference, owned by the caller.
    static FakeAccessible* make(LONG role = ROLE_SYSTEM_CLIENT) {
        FakeAccessible* f = new FakeAccessible;
        f->role = role;
        return f;
    }
    static LONG& alive() {
        static LONG count = 0;
        return count;
    }

    // One entry of a children list: a simple child (object null) or an object.
    struct Child {
        LONG id;
        FakeAccessible* object;
    };
    enum class Focus { Fails, None, Child, Object };

    HRESULT roleResult = S_OK;
    LONG role = ROLE_SYSTEM_CLIENT;
    bool roleIsText = false;  // answers a string instead of a number
    LONG state = 0;
    HRESULT nameResult = S_OK;
    const wchar_t* name = nullptr;  // null: no name (S_FALSE)
    HRESULT locationResult = S_OK;
    RECT location = {0, 0, 0, 0};
    // Per simple child: its own location when it has one.
    std::vector<std::pair<LONG, RECT>> childLocations;
    FakeAccessible* parent = nullptr;  // not owned
    HRESULT parentResult = S_OK;
    HRESULT childCountResult = S_OK;
    LONG claimedChildren = -1;    // when not negative: the child count answered
    std::vector<Child> children;  // objects not owned
    Focus focus = Focus::Fails;
    LONG focusChild = CHILDID_SELF;
    FakeAccessible* focusObject = nullptr;  // not owned
    // accHitTest: the answer (a simple child, or an object when set).
    LONG hitChild = CHILDID_SELF;
    FakeAccessible* hitObject = nullptr;  // not owned
    bool hitNothing = false;              // the point is not on this object
    HWND window = nullptr;                // answered through IOleWindow when set

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidAccessible)
            *out = static_cast<IAccessible*>(this);
        else if (riid == IID_IOleWindow && window)
            *out = static_cast<IOleWindow*>(this);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }
    LONG refs() const { return refs_; }

    // IDispatch: not used by the element code.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (n) *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** out) override {
        *out = nullptr;
        if (parentResult != S_OK) return parentResult;
        if (!parent) return S_FALSE;
        parent->AddRef();
        *out = static_cast<IAccessible*>(parent);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
        *count = claimedChildren >= 0 ? claimedChildren : static_cast<LONG>(children.size());
        return childCountResult;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        *out = nullptr;
        if (child.vt != VT_I4 || child.lVal < 1 || child.lVal > static_cast<LONG>(children.size()))
            return E_INVALIDARG;
        FakeAccessible* object = children[child.lVal - 1].object;
        if (!object) return S_FALSE;
        object->AddRef();
        *out = static_cast<IAccessible*>(object);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT, BSTR* out) override {
        *out = nullptr;
        if (nameResult != S_OK) return nameResult;
        if (!name) return S_FALSE;
        *out = SysAllocString(name);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT, BSTR* out) override {
        *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT, BSTR* out) override {
        *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT, VARIANT* out) override {
        VariantInit(out);
        if (roleResult != S_OK) return roleResult;
        if (roleIsText) {
            out->vt = VT_BSTR;
            out->bstrVal = SysAllocString(L"custom role");
        } else {
            out->vt = VT_I4;
            out->lVal = role;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT, VARIANT* out) override {
        VariantInit(out);
        out->vt = VT_I4;
        out->lVal = state;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT, BSTR* out) override {
        *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) override {
        *file = nullptr;
        *topic = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT, BSTR* out) override {
        *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override {
        VariantInit(out);
        switch (focus) {
            case Focus::Fails:
                return E_FAIL;
            case Focus::None:
                return S_OK;
            case Focus::Child:
                out->vt = VT_I4;
                out->lVal = focusChild;
                return S_OK;
            case Focus::Object:
                focusObject->AddRef();
                out->vt = VT_DISPATCH;
                out->pdispVal = static_cast<IAccessible*>(focusObject);
                return S_OK;
        }
        return E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
        VariantInit(out);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT, BSTR* out) override {
        *out = nullptr;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG, VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* x, LONG* y, LONG* w, LONG* h,
                                          VARIANT child) override {
        RECT r = location;
        HRESULT hr = locationResult;
        if (child.vt == VT_I4 && child.lVal != CHILDID_SELF) {
            hr = E_FAIL;
            for (const auto& c : childLocations)
                if (c.first == child.lVal) r = c.second, hr = S_OK;
        }
        if (hr != S_OK) return hr;
        *x = r.left;
        *y = r.top;
        *w = r.right - r.left;
        *h = r.bottom - r.top;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG, VARIANT, VARIANT* out) override {
        VariantInit(out);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG, LONG, VARIANT* out) override {
        VariantInit(out);
        if (hitNothing) return S_FALSE;
        if (hitObject) {
            hitObject->AddRef();
            out->vt = VT_DISPATCH;
            out->pdispVal = static_cast<IAccessible*>(hitObject);
        } else {
            out->vt = VT_I4;
            out->lVal = hitChild;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
        *out = window;
        return window ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  private:
    FakeAccessible() { ++alive(); }
    virtual ~FakeAccessible() { --alive(); }
    LONG refs_ = 1;
};

// Holds one reference to a fake for the length of a test.
class FakeRef {
  public:
    explicit FakeRef(LONG role = ROLE_SYSTEM_CLIENT) : fake_(FakeAccessible::make(role)) {}
    ~FakeRef() { fake_->Release(); }
    FakeRef(const FakeRef&) = delete;
    FakeRef& operator=(const FakeRef&) = delete;
    FakeAccessible* operator->() const { return fake_; }
    FakeAccessible* get() const { return fake_; }

  private:
    FakeAccessible* fake_;
};

// A window of this thread that serves a fake tree through WM_GETOBJECT, as an
// application with its own accessibility does.
class FakeAccessibleWindow {
  public:
    FakeAccessibleWindow(const wchar_t* className, FakeAccessible* client, DWORD exStyle = 0,
                         RECT bounds = {100, 100, 400, 300})
        : client_(client) {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        RegisterClassW(&wc);  // fails harmlessly when registered before
        window_ =
            CreateWindowExW(exStyle, className, L"fake", WS_POPUP | WS_VISIBLE, bounds.left,
                            bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                            nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (client_) client_->window = window_;
    }
    ~FakeAccessibleWindow() {
        if (client_) client_->window = nullptr;
        DestroyWindow(window_);
    }
    FakeAccessibleWindow(const FakeAccessibleWindow&) = delete;
    FakeAccessibleWindow& operator=(const FakeAccessibleWindow&) = delete;
    HWND handle() const { return window_; }
    // The screen-reader flag as it stood when the object was last asked for.
    BOOL readerFlagSeen = FALSE;

  private:
    static LRESULT CALLBACK proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<FakeAccessibleWindow*>(GetWindowLongPtrW(w, GWLP_USERDATA));
        // Every system object id (client, window, caret...) gets the fake; an
        // application-defined id (positive) is not served.
        if (m == WM_GETOBJECT && self && self->client_ && static_cast<LONG>(lp) <= 0) {
            SystemParametersInfoW(SPI_GETSCREENREADER, 0, &self->readerFlagSeen, 0);
            return LresultFromObject(kIidAccessible, wp, static_cast<IAccessible*>(self->client_));
        }
        return DefWindowProcW(w, m, wp, lp);
    }
    FakeAccessible* client_;
    HWND window_ = nullptr;
};
