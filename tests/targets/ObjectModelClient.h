// For tests: reaching a target's native object model from another process the
// way the program's text handlers do (AccessibleObjectFromWindow with
// OBJID_NATIVEOM and IID_IDispatch, then QueryInterface), and calling
// IDispatch members by name or id.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>

namespace targets {

// Holds one reference to a COM interface.
template <class T>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(other.pointer_) { other.pointer_ = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = other.pointer_;
            other.pointer_ = nullptr;
        }
        return *this;
    }

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For an out parameter: drops what is held first.
    T** GetAddressOf() {
        Reset();
        return &pointer_;
    }
    void Reset() {
        if (pointer_) pointer_->Release();
        pointer_ = nullptr;
    }

  private:
    T* pointer_ = nullptr;
};

// A single-threaded apartment for the test's thread while it lives.
class ComApartment {
  public:
    ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    HRESULT hr_;
};

// The object the window serves for OBJID_NATIVEOM, as interface T.
template <class T>
HRESULT nativeObject(HWND window, REFIID iid, ComPtr<T>& out) {
    out.Reset();
    ComPtr<IDispatch> dispatch;
    HRESULT hr =
        AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_NATIVEOM), IID_IDispatch,
                                   reinterpret_cast<void**>(dispatch.GetAddressOf()));
    if (FAILED(hr)) return hr;
    if (!dispatch) return E_NOINTERFACE;
    return dispatch->QueryInterface(iid, reinterpret_cast<void**>(out.GetAddressOf()));
}

inline HRESULT dispatchId(IDispatch* object, const wchar_t* name, DISPID& id) {
    LPOLESTR names[1] = {const_cast<LPOLESTR>(name)};
    return object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
}

// Property get by id; the result is cleared first.
inline HRESULT getProperty(IDispatch* object, DISPID id, VARIANT& result,
                           EXCEPINFO* excep = nullptr) {
    VariantClear(&result);
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                          excep, nullptr);
}

inline HRESULT getProperty(IDispatch* object, const wchar_t* name, VARIANT& result) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispatchId(object, name, id);
    return FAILED(hr) ? hr : getProperty(object, id, result);
}

// Property put by id, with the named argument DISPID_PROPERTYPUT.
inline HRESULT putProperty(IDispatch* object, DISPID id, const VARIANT& value,
                           EXCEPINFO* excep = nullptr) {
    VARIANT argument = value;
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {&argument, &named, 1, 1};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                          excep, nullptr);
}

inline HRESULT putProperty(IDispatch* object, const wchar_t* name, const VARIANT& value) {
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispatchId(object, name, id);
    return FAILED(hr) ? hr : putProperty(object, id, value);
}

// Owns a VARIANT (cleared on destruction).
struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    explicit Variant(LONG value) {
        VariantInit(this);
        vt = VT_I4;
        lVal = value;
    }
    explicit Variant(const wchar_t* text) {
        VariantInit(this);
        vt = VT_BSTR;
        bstrVal = SysAllocString(text);
    }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    std::wstring text() const {
        return vt == VT_BSTR && bstrVal ? std::wstring(bstrVal, SysStringLen(bstrVal))
                                        : std::wstring();
    }
};

// Owns a BSTR.
struct Bstr {
    BSTR value = nullptr;
    Bstr() = default;
    explicit Bstr(const std::wstring& text)
        : value(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(value); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR* out() {
        SysFreeString(value);
        value = nullptr;
        return &value;
    }
    std::wstring text() const {
        return value ? std::wstring(value, SysStringLen(value)) : std::wstring();
    }
};

}  // namespace targets
