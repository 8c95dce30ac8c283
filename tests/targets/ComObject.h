// Reference counting and QueryInterface for the targets' COM objects, which
// all derive from IDispatch.
#pragma once

#include <windows.h>
#include <ole2.h>

namespace targets {

template <class Interface>
class ComObject : public Interface {
  public:
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return left;
    }

  protected:
    ComObject() = default;
    virtual ~ComObject() = default;

    // Answers IUnknown, IDispatch, `own` and, when given, `also`.
    HRESULT query(REFIID riid, void** out, const GUID& own, const GUID* also = nullptr) {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == own ||
            (also && riid == *also)) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

  private:
    LONG refs_ = 1;
};

}  // namespace targets
