#include "ink/InkCollectorBridge.h"

#include <new>

#include "ink/LiveInk.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "win/FaultGuard.h"

namespace {

constexpr int kSeparatorX = 30000;
constexpr int kSeparatorY = -1;
constexpr DWORD kCollectorContext =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr UINT kCloseRequest = WM_APP + 1;
const wchar_t kCloserClass[] = L"ScribixCollectorCloserWndClass";

// The one collector, and the lock that guards making and closing it: the UI
// thread and the recognition thread may both close it.
CRITICAL_SECTION& collectorLock() {
    static CRITICAL_SECTION lock = [] {
        CRITICAL_SECTION made;
        InitializeCriticalSection(&made);
        return made;
    }();
    return lock;
}
CMyInkCollector* g_collector = nullptr;

class CollectorLock {
  public:
    CollectorLock() { EnterCriticalSection(&collectorLock()); }
    ~CollectorLock() { LeaveCriticalSection(&collectorLock()); }
    CollectorLock(const CollectorLock&) = delete;
    CollectorLock& operator=(const CollectorLock&) = delete;
};

// The argument at `index` in the event's own order (the array holds them last first).
VARIANT* argumentAt(DISPPARAMS* parameters, UINT index) {
    if (!parameters || index >= parameters->cArgs) return nullptr;
    return &parameters->rgvarg[parameters->cArgs - 1 - index];
}

IDispatch* dispatchAt(DISPPARAMS* parameters, UINT index) {
    VARIANT* v = argumentAt(parameters, index);
    return v && v->vt == VT_DISPATCH ? v->pdispVal : nullptr;
}

LONG longAt(DISPPARAMS* parameters, UINT index) {
    VARIANT* v = argumentAt(parameters, index);
    if (!v) return 0;
    if (v->vt == VT_I4) return v->lVal;
    if (v->vt == (VT_I4 | VT_BYREF) && v->plVal) return *v->plVal;
    return 0;
}

// Runs one call into the platform's objects under the fault guard: a fault
// inside the platform's code is traced and the closing goes on.
template <typename F>
void platformStep(const wchar_t* step, F&& call) {
    DWORD fault = 0;
    if (!win::guarded(call, &fault))
        debugTrace(L"closePenEventsCollector: exception 0x%08lX while %ls the collector\n",
                   static_cast<unsigned long>(fault), step);
}

// Deletes the collector. Its destructor guards each of its platform calls;
// this guard takes whatever else the platform's code may still do.
void deleteCollector(CMyInkCollector* collector) {
    platformStep(L"deleting", [collector] { delete collector; });
}

}  // namespace

// ---- the event sink ----

InkCollectorEvents::~InkCollectorEvents() {
    if (marshaler_) marshaler_->Release();
    if (renderer_) renderer_->Release();
}

HRESULT STDMETHODCALLTYPE InkCollectorEvents::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(_IInkCollectorEvents)) {
        *object = static_cast<_IInkCollectorEvents*>(this);
        AddRef();
        return S_OK;
    }
    if (iid == IID_IMarshal && marshaler_) return marshaler_->QueryInterface(iid, object);
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE InkCollectorEvents::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG STDMETHODCALLTYPE InkCollectorEvents::Release() {
    return static_cast<ULONG>(InterlockedDecrement(&references_));
}

HRESULT STDMETHODCALLTYPE InkCollectorEvents::GetTypeInfoCount(UINT* count) {
    if (count) *count = 0;
    return count ? S_OK : E_POINTER;
}

HRESULT STDMETHODCALLTYPE InkCollectorEvents::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE InkCollectorEvents::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID,
                                                            DISPID*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE InkCollectorEvents::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p,
                                                     VARIANT*, EXCEPINFO*, UINT*) {
    switch (id) {
        case kInkEventStroke: {
            VARIANT* cancel = argumentAt(p, 2);
            Stroke(dispatchAt(p, 0), dispatchAt(p, 1),
                   cancel && cancel->vt == (VT_BOOL | VT_BYREF) ? cancel->pboolVal : nullptr);
            break;
        }
        case kInkEventCursorDown:
            CursorDown(dispatchAt(p, 0), dispatchAt(p, 1));
            break;
        case kInkEventNewPackets:
            NewPackets(dispatchAt(p, 0), dispatchAt(p, 1), longAt(p, 2), argumentAt(p, 3));
            break;
        case kInkEventNewInAirPackets:
            NewInAirPackets(dispatchAt(p, 0), longAt(p, 1), argumentAt(p, 2));
            break;
        case kInkEventCursorButtonDown:
            CursorButtonDown(dispatchAt(p, 0), dispatchAt(p, 1));
            break;
        case kInkEventCursorButtonUp:
            CursorButtonUp(dispatchAt(p, 0), dispatchAt(p, 1));
            break;
        default:  // the further cursor, gesture, tablet and mouse events: nothing to do
            break;
    }
    return S_OK;
}

HRESULT InkCollectorEvents::advise(IInkCollector* collector) {
    if (!collector) return E_POINTER;
    if (!marshaler_) {
        const HRESULT made = CoCreateFreeThreadedMarshaler(
            static_cast<IUnknown*>(static_cast<_IInkCollectorEvents*>(this)), &marshaler_);
        if (FAILED(made)) return made;
    }
    IConnectionPointContainer* container = nullptr;
    HRESULT hr = collector->QueryInterface(IID_IConnectionPointContainer,
                                           reinterpret_cast<void**>(&container));
    if (FAILED(hr)) return hr;
    IConnectionPoint* point = nullptr;
    hr = container->FindConnectionPoint(__uuidof(_IInkCollectorEvents), &point);
    container->Release();
    if (FAILED(hr)) return hr;
    hr = point->Advise(static_cast<IUnknown*>(static_cast<_IInkCollectorEvents*>(this)), &cookie_);
    point->Release();
    return hr;
}

void InkCollectorEvents::unadvise(IInkCollector* collector) {
    if (!collector || !cookie_) return;
    IConnectionPointContainer* container = nullptr;
    if (FAILED(collector->QueryInterface(IID_IConnectionPointContainer,
                                         reinterpret_cast<void**>(&container))))
        return;
    IConnectionPoint* point = nullptr;
    if (SUCCEEDED(container->FindConnectionPoint(__uuidof(_IInkCollectorEvents), &point))) {
        point->Unadvise(cookie_);
        point->Release();
    }
    container->Release();
    cookie_ = 0;
}

void InkCollectorEvents::keepWindow(HWND window, IInkRenderer* renderer, HDC dc) {
    window_ = window;
    if (renderer_) renderer_->Release();
    renderer_ = renderer;
    dc_ = dc;
}

// ---- the program's handlers ----

void CMyInkEvents::Stroke(IDispatch*, IDispatch*, VARIANT_BOOL* cancel) {
    // The collector keeps no ink of its own: the program draws and keeps it.
    if (cancel) *cancel = VARIANT_TRUE;
    hookLibrary().putPointToClientExternal(kSeparatorX, kSeparatorY);
}

void CMyInkEvents::CursorButtonUp(IDispatch*, IDispatch*) {
    hookLibrary().putPointToClientExternal(kSeparatorX, kSeparatorY);
}

void CMyInkEvents::NewPackets(IDispatch*, IDispatch*, LONG packetCount, VARIANT* packetData) {
    VARIANT* data = packetData;
    if (data && data->vt == (VT_VARIANT | VT_BYREF)) data = data->pvarVal;
    if (!data || data->vt != (VT_ARRAY | VT_I4) || !data->parray || packetCount <= 0 || !renderer_)
        return;
    SAFEARRAY* array = data->parray;
    LONG low = 0, high = -1;
    if (SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &low)) ||
        FAILED(SafeArrayGetUBound(array, 1, &high)))
        return;
    // Every packet carries its own point: the packet size is what the array
    // holds per packet, x and y first.
    const LONG elements = high - low + 1;
    const LONG packetSize = elements / packetCount;
    if (packetSize < 2) return;

    const AppGlobals& g = appGlobals();
    POINT origin{0, 0};
    if (generalSettings().multiMonitorInking)
        origin = POINT{g.xVirtualScreen, g.yVirtualScreen};
    else
        ClientToScreen(window_, &origin);
    origin.x *= 4;
    origin.y *= 4;

    LONG* values = nullptr;
    if (FAILED(SafeArrayAccessData(array, reinterpret_cast<void**>(&values)))) return;
    for (LONG packet = 0; packet < packetCount; ++packet) {
        LONG x = values[packet * packetSize];
        LONG y = values[packet * packetSize + 1];
        renderer_->InkSpaceToPixel(reinterpret_cast<LONG_PTR>(dc_), &x, &y);
        if (x < 0 || y < 0 || x > g.cxVirtualScreen || y > g.cyVirtualScreen) {
            debugTrace(L"-----COLLECTOR_RESET!!!!!!!!!!!!!!!!!!!!!");
            PostMessageW(window_, WM_INK_LAYER_COLLECTOR, 0, 0);
            break;
        }
        hookLibrary().putPointToClientExternal(4 * x + origin.x, 4 * y + origin.y);
    }
    SafeArrayUnaccessData(array);
}

// ---- the collector ----

CMyInkCollector::CMyInkCollector() : ownerThread_(GetCurrentThreadId()) {
    comEntered_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    static const ATOM closerClass = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &CMyInkCollector::closerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kCloserClass;
        return RegisterClassW(&wc);
    }();
    if (closerClass) {
        closer_ = CreateWindowExW(0, kCloserClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (closer_) SetWindowLongPtrW(closer_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
}

CMyInkCollector::~CMyInkCollector() {
    // Each platform call on its own, so that one that faults leaves the
    // others to run and this object to be freed whole.
    if (IInkCollector* collector = collector_) {
        collector_ = nullptr;
        platformStep(L"disconnecting", [&] { events_.unadvise(collector); });
        platformStep(L"disabling", [&] { collector->put_Enabled(VARIANT_FALSE); });
        platformStep(L"releasing", [&] { collector->Release(); });
    }
    platformStep(L"releasing the renderer of",
                 [&] { events_.keepWindow(nullptr, nullptr, nullptr); });
    if (dc_) ReleaseDC(window_, dc_);
    if (closer_) DestroyWindow(closer_);
    if (comEntered_) CoUninitialize();
}

HRESULT CMyInkCollector::attach(HWND window) {
    void* object = nullptr;
    HRESULT hr = CoCreateInstance(kClsidInkCollector, nullptr, kCollectorContext,
                                  __uuidof(IInkCollector), &object);
    if (FAILED(hr)) return hr;
    if (!object) return E_POINTER;
    collector_ = static_cast<IInkCollector*>(object);
    if (FAILED(hr = events_.advise(collector_))) return hr;
    if (FAILED(hr = collector_->SetEventInterest(ICEI_Stroke, VARIANT_TRUE))) return hr;
    if (FAILED(hr = collector_->SetEventInterest(ICEI_NewPackets, VARIANT_TRUE))) return hr;
    if (FAILED(hr = collector_->SetEventInterest(ICEI_DblClick, VARIANT_TRUE))) return hr;
    if (FAILED(hr = collector_->put_CollectionMode(ICM_InkOnly))) return hr;
    if (FAILED(hr = collector_->put_DynamicRendering(VARIANT_FALSE))) return hr;
    if (FAILED(hr = collector_->put_AutoRedraw(VARIANT_FALSE))) return hr;
    if (FAILED(hr = collector_->put_MouseIcon(nullptr))) return hr;
    if (FAILED(hr = collector_->put_MousePointer(IMP_Custom))) return hr;
    if (FAILED(hr = collector_->put_MarginX(0))) return hr;
    if (FAILED(hr = collector_->put_MarginY(0))) return hr;
    if (FAILED(hr = collector_->SetAllTabletsMode(VARIANT_TRUE))) return hr;
    IInkRenderer* renderer = nullptr;
    if (FAILED(hr = collector_->get_Renderer(&renderer))) return hr;
    window_ = window;
    dc_ = GetDC(window);
    events_.keepWindow(window, renderer, dc_);
    if (FAILED(hr = collector_->put_hWnd(reinterpret_cast<LONG_PTR>(window)))) return hr;
    return collector_->put_Enabled(VARIANT_TRUE);
}

bool CMyInkCollector::requestCloseOnOwnerThread() {
    return closer_ && PostMessageW(closer_, kCloseRequest, 0, 0);
}

LRESULT CALLBACK CMyInkCollector::closerProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == kCloseRequest) {
        auto* collector =
            reinterpret_cast<CMyInkCollector*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (collector) {
            CollectorLock lock;
            if (g_collector == collector) g_collector = nullptr;
            deleteCollector(collector);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// ---- the process's collector ----

namespace {

// Forgets the current collector and deletes it on its own thread: at once
// when that is this thread, else by a request to its thread. Under the lock.
void retireCurrentCollector() {
    CMyInkCollector* collector = g_collector;
    if (!collector) return;
    g_collector = nullptr;
    if (collector->ownerThread() == GetCurrentThreadId()) {
        deleteCollector(collector);
    } else if (!collector->requestCloseOnOwnerThread()) {
        // Its thread is gone, and with it the apartment of its objects:
        // nothing can be released safely any more.
        debugTrace(L"closePenEventsCollector: the collector's thread is gone; left as it is\n");
    }
}

}  // namespace

bool createPenEventsCollector(HWND window) {
    CollectorLock lock;
    retireCurrentCollector();
    CMyInkCollector* collector = new (std::nothrow) CMyInkCollector;
    if (!collector) return false;
    const HRESULT hr = collector->attach(window);
    if (FAILED(hr)) {
        debugTrace(L"createPenEventsCollector: attach failed (0x%08X)\n",
                   static_cast<unsigned>(hr));
        deleteCollector(collector);
        return false;
    }
    g_collector = collector;
    return true;
}

void closePenEventsCollector() {
    CollectorLock lock;
    debugTrace(L"------ closePenEventsCollector()\n");
    retireCurrentCollector();
}

bool isPenEventsCollectorActive() {
    CollectorLock lock;
    return g_collector != nullptr;
}

// ---- what the shell asks of the collector ----

bool isTabletCollectorInUse() { return tabletCollectorSwitchesOn(); }
bool isTabletCollectorRunning() { return isPenEventsCollectorActive(); }
bool createTabletCollector(HWND window) { return createPenEventsCollector(window); }
void closeTabletCollector() { closePenEventsCollector(); }
