#include "WordObjects.h"

#include <shlobj.h>

#include <string>

// Exported by oleaut32 (Windows Vista and later) but not declared by mingw's headers.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path,
                                                 OLECHAR* helpFolder);

namespace targets {

namespace {

constexpr GUID kLibidWordTarget = {
    0x6b5fe7ee, 0x1265, 0x458d, {0x8a, 0x89, 0x77, 0xcb, 0xfc, 0x27, 0x5c, 0xe6}};
constexpr WORD kLibraryMajor = 1;
constexpr WORD kLibraryMinor = 0;

struct Member {
    const wchar_t* name;
    DISPID id;
    VARTYPE type;
    bool canPut;
};

constexpr Member kWindowMembers[] = {
    {L"Selection", kDispidWindowSelection, VT_DISPATCH, false},
};

constexpr Member kSelectionMembers[] = {
    {L"Text", kDispidSelectionText, VT_BSTR, true},
    {L"Start", kDispidSelectionStart, VT_I4, true},
    {L"End", kDispidSelectionEnd, VT_I4, true},
};

template <size_t N>
const Member* memberById(const Member (&members)[N], DISPID id) {
    for (const Member& member : members) {
        if (member.id == id) return &member;
    }
    return nullptr;
}

template <size_t N>
HRESULT idsOfNames(const Member (&members)[N], LPOLESTR* names, UINT count, DISPID* ids) {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    for (const Member& member : members) {
        if (names[0] && _wcsicmp(names[0], member.name) == 0) ids[0] = member.id;
    }
    // Only properties here: no parameter names to find.
    for (UINT i = 0; i < count; ++i) {
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

ITypeLib*& loadedLibrary() {
    static ITypeLib* library = nullptr;
    return library;
}

HRESULT typeInfoOf(REFIID iid, UINT index, ITypeInfo** info) {
    if (!info) return E_INVALIDARG;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ITypeLib* library = loadedLibrary();
    return library ? library->GetTypeInfoOfGuid(iid, info) : E_NOTIMPL;
}

HRESULT refused(EXCEPINFO* excep) {
    if (excep) {
        *excep = EXCEPINFO();
        excep->bstrSource = SysAllocString(L"Scribix test target");
        excep->bstrDescription = SysAllocString(L"The document refuses object-model calls.");
        excep->scode = E_FAIL;
    }
    return DISP_E_EXCEPTION;
}

// Checks the shape of a property call: a get takes no argument; a put takes one
// value, named DISPID_PROPERTYPUT, coerced to the member's type into `value`.
HRESULT checkCall(const Member* member, WORD flags, DISPPARAMS* params, VARIANT& value,
                  UINT* argErr) {
    if (!member) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    if (flags & DISPATCH_PROPERTYGET) {
        return params->cArgs == 0 ? S_OK : DISP_E_BADPARAMCOUNT;
    }
    if (!(flags & DISPATCH_PROPERTYPUT) || !member->canPut) return DISP_E_MEMBERNOTFOUND;
    if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (params->cNamedArgs != 1 || !params->rgdispidNamedArgs ||
        params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
        return DISP_E_PARAMNOTFOUND;
    if (FAILED(VariantChangeType(&value, &params->rgvarg[0], 0, member->type))) {
        if (argErr) *argErr = 0;
        return DISP_E_TYPEMISMATCH;
    }
    return S_OK;
}

// Creates the library describing Window and Selection, as dispinterfaces.
class LibraryWriter {
  public:
    HRESULT write(const std::wstring& path) {
        ICreateTypeLib2* library = nullptr;
        HRESULT hr = CreateTypeLib2(SYS_WIN32, path.c_str(), &library);
        if (FAILED(hr)) return hr;
        library->SetGuid(kLibidWordTarget);
        library->SetVersion(kLibraryMajor, kLibraryMinor);
        library->SetName(const_cast<LPOLESTR>(L"ScribixWordProcessorTarget"));
        library->SetLcid(LOCALE_NEUTRAL);
        hr = writeInterfaces(library);
        if (SUCCEEDED(hr)) hr = library->SaveAllChanges();
        library->Release();
        return hr;
    }

  private:
    HRESULT writeInterfaces(ICreateTypeLib2* library) {
        ITypeLib* standard = nullptr;
        HRESULT hr = LoadRegTypeLib(IID_StdOle, 2, 0, LOCALE_NEUTRAL, &standard);
        if (FAILED(hr)) return hr;
        ITypeInfo* dispatch = nullptr;
        hr = standard->GetTypeInfoOfGuid(IID_IDispatch, &dispatch);
        standard->Release();
        if (FAILED(hr)) return hr;
        ICreateTypeInfo* selection = nullptr;
        ICreateTypeInfo* window = nullptr;
        ITypeInfo* selectionInfo = nullptr;
        hr = begin(library, L"Selection", kIidWordSelection, dispatch, &selection);
        UINT index = 0;
        for (const Member& member : kSelectionMembers) {
            if (SUCCEEDED(hr)) hr = addProperty(selection, index, member, nullptr);
        }
        if (SUCCEEDED(hr)) hr = selection->LayOut();
        if (SUCCEEDED(hr))
            hr = selection->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&selectionInfo));
        if (SUCCEEDED(hr)) hr = begin(library, L"Window", kIidWordWindow, dispatch, &window);
        index = 0;
        if (SUCCEEDED(hr)) hr = addProperty(window, index, kWindowMembers[0], selectionInfo);
        if (SUCCEEDED(hr)) hr = window->LayOut();
        if (selectionInfo) selectionInfo->Release();
        if (window) window->Release();
        if (selection) selection->Release();
        dispatch->Release();
        return hr;
    }

    static HRESULT begin(ICreateTypeLib2* library, const wchar_t* name, REFIID iid,
                         ITypeInfo* dispatch, ICreateTypeInfo** out) {
        HRESULT hr = library->CreateTypeInfo(const_cast<LPOLESTR>(name), TKIND_DISPATCH, out);
        if (FAILED(hr)) return hr;
        (*out)->SetGuid(iid);
        HREFTYPE base = 0;
        hr = (*out)->AddRefTypeInfo(dispatch, &base);
        if (SUCCEEDED(hr)) hr = (*out)->AddImplType(0, base);
        return hr;
    }

    // A property get (and put when the member allows it); an object-valued get
    // is typed as a pointer to `objectType`.
    static HRESULT addProperty(ICreateTypeInfo* info, UINT& index, const Member& member,
                               ITypeInfo* objectType) {
        TYPEDESC pointee = {};
        FUNCDESC get = {};
        get.memid = member.id;
        get.funckind = FUNC_DISPATCH;
        get.invkind = INVOKE_PROPERTYGET;
        get.callconv = CC_STDCALL;
        get.elemdescFunc.tdesc.vt = member.type;
        if (objectType) {
            HREFTYPE ref = 0;
            HRESULT hr = info->AddRefTypeInfo(objectType, &ref);
            if (FAILED(hr)) return hr;
            pointee.vt = VT_USERDEFINED;
            pointee.hreftype = ref;
            get.elemdescFunc.tdesc.vt = VT_PTR;
            get.elemdescFunc.tdesc.lptdesc = &pointee;
        }
        LPOLESTR name = const_cast<LPOLESTR>(member.name);
        HRESULT hr = info->AddFuncDesc(index, &get);
        if (SUCCEEDED(hr)) hr = info->SetFuncAndParamNames(index++, &name, 1);
        if (FAILED(hr) || !member.canPut) return hr;
        ELEMDESC value = {};
        value.tdesc.vt = member.type;
        value.paramdesc.wParamFlags = PARAMFLAG_FIN;
        FUNCDESC put = {};
        put.memid = member.id;
        put.funckind = FUNC_DISPATCH;
        put.invkind = INVOKE_PROPERTYPUT;
        put.callconv = CC_STDCALL;
        put.cParams = 1;
        put.lprgelemdescParam = &value;
        put.elemdescFunc.tdesc.vt = VT_VOID;
        hr = info->AddFuncDesc(index, &put);
        if (SUCCEEDED(hr)) hr = info->SetFuncAndParamNames(index++, &name, 1);
        return hr;
    }
};

bool describesBoth(ITypeLib* library) {
    ITypeInfo* info = nullptr;
    for (const GUID* iid : {&kIidWordWindow, &kIidWordSelection}) {
        if (FAILED(library->GetTypeInfoOfGuid(*iid, &info))) return false;
        info->Release();
    }
    return true;
}

std::wstring libraryPath() {
    wchar_t base[MAX_PATH] = {};
    if (FAILED(
            SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, base)))
        return std::wstring();
    std::wstring folder = std::wstring(base) + L"\\Scribix test targets";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\word-processor-target-1.0.tlb";
}

ITypeLib* loadComplete(const std::wstring& path) {
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return nullptr;
    if (describesBoth(library)) return library;
    library->Release();
    return nullptr;
}

// ---- Selection -------------------------------------------------------------

}  // namespace

class WordSelection final : public ComObject<IDispatch> {
  public:
    explicit WordSelection(SelectionHost* host) : host_(host) {}

    void detach() {
        host_ = nullptr;
        CoDisconnectObject(this, 0);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        return query(riid, out, kIidWordSelection);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_INVALIDARG;
        *count = loadedLibrary() ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        return typeInfoOf(kIidWordSelection, index, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        return idsOfNames(kSelectionMembers, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (!host_) return CO_E_OBJNOTCONNECTED;
        VARIANT value;
        VariantInit(&value);
        HRESULT hr = checkCall(memberById(kSelectionMembers, id), flags, params, value, argErr);
        if (FAILED(hr)) return hr;
        if (host_->refusesCalls()) {
            VariantClear(&value);
            return refused(excep);
        }
        if (flags & DISPATCH_PROPERTYGET) {
            if (!result) return S_OK;
            VariantInit(result);
            if (id == kDispidSelectionText) {
                std::wstring text = host_->selectionText();
                result->vt = VT_BSTR;
                result->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
                return result->bstrVal ? S_OK : E_OUTOFMEMORY;
            }
            result->vt = VT_I4;
            result->lVal =
                id == kDispidSelectionStart ? host_->selectionStart() : host_->selectionEnd();
            return S_OK;
        }
        if (id == kDispidSelectionStart && host_->refusesStart(value.lVal)) {
            VariantClear(&value);
            return refused(excep);
        }
        if (id == kDispidSelectionText) {
            host_->setSelectionText(std::wstring(value.bstrVal, SysStringLen(value.bstrVal)));
        } else if (id == kDispidSelectionStart) {
            host_->setSelectionStart(value.lVal);
        } else {
            host_->setSelectionEnd(value.lVal);
        }
        VariantClear(&value);
        return S_OK;
    }

  private:
    ~WordSelection() override = default;

    SelectionHost* host_;
};

// ---- Window ----------------------------------------------------------------

WordWindow::WordWindow(SelectionHost* host) : host_(host), selection_(new WordSelection(host)) {}

WordWindow::~WordWindow() { selection_->Release(); }

void WordWindow::detach() {
    host_ = nullptr;
    selection_->detach();
    CoDisconnectObject(this, 0);
}

HRESULT WordWindow::QueryInterface(REFIID riid, void** out) {
    return query(riid, out, kIidWordWindow);
}

HRESULT WordWindow::GetTypeInfoCount(UINT* count) {
    if (!count) return E_INVALIDARG;
    *count = loadedLibrary() ? 1 : 0;
    return S_OK;
}

HRESULT WordWindow::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return typeInfoOf(kIidWordWindow, index, info);
}

HRESULT WordWindow::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    return idsOfNames(kWindowMembers, names, count, ids);
}

HRESULT WordWindow::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!host_) return CO_E_OBJNOTCONNECTED;
    VARIANT value;
    VariantInit(&value);
    HRESULT hr = checkCall(memberById(kWindowMembers, id), flags, params, value, argErr);
    if (FAILED(hr)) return hr;
    if (host_->refusesCalls()) return refused(excep);
    if (result) {
        VariantInit(result);
        result->vt = VT_DISPATCH;
        result->pdispVal = selection_;
        selection_->AddRef();
    }
    return S_OK;
}

ITypeLib* registerWordTypeLibrary() {
    ITypeLib*& library = loadedLibrary();
    if (library) return library;
    std::wstring path = libraryPath();
    if (path.empty()) return nullptr;
    library = loadComplete(path);
    if (!library) {
        // Several targets may start at once: each writes its own file and moves
        // it into place; when the move loses the race the winner's file serves.
        std::wstring fresh = path + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
        if (SUCCEEDED(LibraryWriter().write(fresh)))
            MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
        DeleteFileW(fresh.c_str());
        library = loadComplete(path);
    }
    if (!library) return nullptr;
    // Machine-wide where allowed, else for this user only.
    if (FAILED(RegisterTypeLib(library, const_cast<LPOLESTR>(path.c_str()), nullptr)))
        RegisterTypeLibForUser(library, const_cast<LPOLESTR>(path.c_str()), nullptr);
    return library;
}

}  // namespace targets
