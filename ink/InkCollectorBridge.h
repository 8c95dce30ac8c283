// The Tablet PC ink collector bridge: where the platform's ink collector
// delivers the pen better than the system hooks, a collector attached to the
// transparent ink layer turns its packets into the same quarter-pixel ink
// entries the hook library makes, handed to its putPointToClientExternal, so
// that the pen-event thread treats both sources alike.
//
// Threads: the collector's events arrive on the thread that made it (the
// single-threaded apartment its constructor enters), and it is closed on that
// thread too: a close asked on another thread is handed to the collector's
// own thread, which deletes it there and leaves COM as it entered it.
#pragma once

#include <windows.h>

#include "outside/TabletPc.h"

// The event sink of a collector: IDispatch events by dispatch id to handlers.
class InkCollectorEvents : public _IInkCollectorEvents {
  public:
    InkCollectorEvents() = default;
    virtual ~InkCollectorEvents();
    InkCollectorEvents(const InkCollectorEvents&) = delete;
    InkCollectorEvents& operator=(const InkCollectorEvents&) = delete;

    // IUnknown. The sink lives inside its collector object: the count does
    // not delete it.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: only Invoke is implemented.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID locale, WORD flags,
                                     DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override;

    // The event handlers.
    virtual void Stroke(IDispatch* cursor, IDispatch* stroke, VARIANT_BOOL* cancel) {}
    virtual void CursorDown(IDispatch* cursor, IDispatch* stroke) {}
    virtual void NewPackets(IDispatch* cursor, IDispatch* stroke, LONG packetCount,
                            VARIANT* packetData) {}
    virtual void NewInAirPackets(IDispatch* cursor, LONG packetCount, VARIANT* packetData) {}
    virtual void CursorButtonDown(IDispatch* cursor, IDispatch* button) {}
    virtual void CursorButtonUp(IDispatch* cursor, IDispatch* button) {}

    // Connects the sink to the collector's events and keeps what the
    // handlers need of the window; an error ends it with that step's error.
    HRESULT advise(IInkCollector* collector);
    void unadvise(IInkCollector* collector);
    // The collector's renderer and the window's device context.
    void keepWindow(HWND window, IInkRenderer* renderer, HDC dc);

  protected:
    DWORD cookie_ = 0;
    IInkRenderer* renderer_ = nullptr;
    HDC dc_ = nullptr;
    HWND window_ = nullptr;
    IUnknown* marshaler_ = nullptr;  // the free-threaded marshaler aggregated into the sink
    volatile LONG references_ = 0;
};

// The program's handlers: packets become ink entries, the collector's own ink
// is cancelled, a stroke's end and a button release close the stroke.
class CMyInkEvents : public InkCollectorEvents {
  public:
    void Stroke(IDispatch* cursor, IDispatch* stroke, VARIANT_BOOL* cancel) override;
    void NewPackets(IDispatch* cursor, IDispatch* stroke, LONG packetCount,
                    VARIANT* packetData) override;
    void CursorButtonUp(IDispatch* cursor, IDispatch* button) override;
};

class CMyInkCollector {
  public:
    // Enters COM (apartment threaded) on the calling thread.
    CMyInkCollector();
    // Disconnects the events, disables and releases the collector, leaves COM.
    // Runs on the thread that made the object.
    virtual ~CMyInkCollector();
    CMyInkCollector(const CMyInkCollector&) = delete;
    CMyInkCollector& operator=(const CMyInkCollector&) = delete;

    HRESULT attach(HWND window);
    DWORD ownerThread() const { return ownerThread_; }
    // Asks the owner thread to delete the object; false when that thread has
    // no window for it any more.
    bool requestCloseOnOwnerThread();

  private:
    static LRESULT CALLBACK closerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    IInkCollector* collector_ = nullptr;
    CMyInkEvents events_;
    bool comEntered_ = false;
    DWORD ownerThread_ = 0;
    HWND window_ = nullptr;
    HDC dc_ = nullptr;       // the window's, kept for the renderer's conversions
    HWND closer_ = nullptr;  // message-only window on the owner thread
};

// Deletes any current collector and makes one on `window`; false (and no
// collector) when attaching fails.
bool createPenEventsCollector(HWND window);
// Deletes the current collector (on its own thread) and forgets it.
void closePenEventsCollector();
// A current collector exists.
bool isPenEventsCollectorActive();

// What the rest of the program asks of the collector.
bool isTabletCollectorInUse();
// The collector is collecting now.
bool isTabletCollectorRunning();
// Makes a new collector on `window`; false when it cannot be made.
bool createTabletCollector(HWND window);
void closeTabletCollector();
