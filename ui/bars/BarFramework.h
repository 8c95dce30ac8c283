// The bar framework: the small toolkit every pen-operated pop-up is built on
// (punctuation and colour bars, the binding panel, the text menus).
//
// A bar is a borderless, topmost, never-activated pop-up window of the class
// "VexaInkServiceMenuBarWndClass" owned by a master (BarMaster); the master
// holds the units (its buttons or items). The master is also an ink client: a
// pen stroke that starts on the bar reaches the master as points, and the
// master turns it into the press, move and release codes the mouse gives.
// Everything that happens on a bar ends in one handler, onMessage(code, a, b):
//
//   500  unit state change (a = 1..12, b = the unit)    501  unit picked (a = id, b = unit)
//   601  pointer moved   602 press   603 release        (b = packed client point)
//   604  timer (a = id)  605/606 right button down/up   607 system move ended
//   608  position changed  609 non-client hit test (b = screen point): 2 caption, 1 client
//   611  first show (posted by the constructor): rebuild()
//   615  coalesced 8027   616 delayed request   621..624 menu queries (622: the window's DC)
//   661/662 gesture notify / gesture   701..708 menu gestures and picks
//
// Messages of the bar window: 8024 hide and close after 500 ms; 8025 a posted
// MsgToMaster for onMessage; 8026 a posted MsgToMaster for the units; 8027
// coalesced into one 615. A posted MsgToMaster is freed by the window procedure.
// Any process can post those message numbers: the window takes a record only
// when this process made it for a bar and has not handed it over yet
// (win/PostedRecord.h); anything else is ignored.
//
// Threads: a bar lives on the thread that made its window. onStrokes runs on
// the pen-event thread and only posts to the bar window; an ink manager event
// that arrives on another thread (a result from the recognition thread, say)
// is posted to the bar and handled there (handOffToOwner). The count of open
// modal bars is changed with interlocked operations, since other threads read
// it.
#pragma once

#include <windows.h>

#include "core/VexaSuper.h"
#include "ink/LocalClient.h"
#include "ui/draw/DrawOps.h"
#include "win/Checks.h"

class LayeredBitmap;
class Tips;
class BarMaster;

// Window messages of a bar window.
enum BarWindowMessage : UINT {
    WM_BAR_CLOSE_ANIMATED = 8024,
    WM_BAR_MSG_TO_MASTER = 8025,
    WM_BAR_MSG_TO_UNITS = 8026,
    WM_BAR_COALESCED = 8027,
};

#define BAR_WINDOW_CLASS L"VexaInkServiceMenuBarWndClass"

// Codes of BarMaster::onMessage.
enum BarCode : UINT {
    BAR_UNIT_STATE = 500,
    BAR_UNIT_PICKED = 501,
    BAR_MOVE = 601,
    BAR_PRESS = 602,
    BAR_RELEASE = 603,
    BAR_TIMER = 604,
    BAR_RBUTTON_DOWN = 605,
    BAR_RBUTTON_UP = 606,
    BAR_MOVE_ENDED = 607,
    BAR_POSITION_CHANGED = 608,
    BAR_NC_HIT_TEST = 609,
    BAR_FIRST_SHOW = 611,
    BAR_COALESCED = 615,
    BAR_DELAYED = 616,
    BAR_QUERY_DC = 622,
    BAR_GESTURE_NOTIFY = 661,
    BAR_GESTURE = 662,
    // The pen stroke handler runs on another thread: it hands a drag step to
    // the bar's thread with this code (a = 1 ends the drag; b = the packed
    // screen point, made a client point when it is handled, so that steps
    // that queue up do not add up).
    BAR_PEN_DRAG = 690,
    // A close asked for on another thread (a = deleteAfter), done on the bar's own.
    BAR_CLOSE_REQUEST = 691,
    // An ink manager event (a = event, b = argument) that reached the bar on
    // another thread, handled again on the bar's own.
    BAR_CLIENT_EVENT = 692,
};

constexpr UINT kAllUnits = 0xFFFF;

// Packs a client point as the window messages do (x low, y high, signed 16 bits).
inline LPARAM packPoint(int x, int y) {
    return static_cast<LPARAM>(
        static_cast<DWORD>(static_cast<WORD>(static_cast<short>(x))) |
        (static_cast<DWORD>(static_cast<WORD>(static_cast<short>(y))) << 16));
}
inline POINT unpackPoint(LPARAM packed) {
    return {static_cast<short>(LOWORD(packed)), static_cast<short>(HIWORD(packed))};
}

// A record posted to a bar window (8025 for the master, 8026 for its units).
class MsgToMaster : public VexaSuper {
    VEXA_CLASS(MsgToMaster, VexaSuper)

  public:
    MsgToMaster(UINT code, LPARAM a, LPARAM b, UINT unitId = kAllUnits)
        : code(code), a(a), b(b), unitId(unitId) {}
    UINT code;
    LPARAM a;
    LPARAM b;
    UINT unitId;  // kAllUnits: every unit
};

// An ink client built without a record: enabled, registrable, flags 11
// (registered first, areas are window handles), ink mode 1, no areas.
class LocalSystemBarClient : public LocalClient {
    VEXA_CLASS(LocalSystemBarClient, LocalClient)

  public:
    explicit LocalSystemBarClient(const wchar_t* name);
};

// Behaviour bits of a unit.
enum BarUnitBehaviour : unsigned {
    UNIT_TRACK_MASK = 0xFF,       // the state bits the unit tracks
    UNIT_REPORTS_PICK = 0x100,    // posts 501 when released
    UNIT_DRAG_HANDLE = 0x200,     // a press drags the bar; hit test answers caption
    UNIT_RELEASE_ANYWAY = 0x800,  // a release counts even without a press on it
};

// One button or item of a bar. State bits: UNIT_SELECTED, UNIT_HOVER,
// UNIT_ENABLED, UNIT_PRESSED, UNIT_HIDDEN, UNIT_APP_BIT (ui/draw/DrawOps.h).
class BarUnit : public VexaSuper {
    VEXA_CLASS(BarUnit, VexaSuper)

  public:
    BarUnit(BarMaster* master, UINT id, unsigned behaviour, const wchar_t* tipText);
    ~BarUnit() override;
    BarUnit(const BarUnit&) = delete;
    BarUnit& operator=(const BarUnit&) = delete;

    // 601 hover, 602 press, 603 release (b = packed client point); returns 0
    // so that a dispatched event reaches every unit.
    virtual LRESULT onEvent(UINT code, LPARAM a, LPARAM b);
    virtual LRESULT notifyMaster(UINT code, LPARAM a, LPARAM b);
    virtual void postToMaster(UINT code, LPARAM a, LPARAM b);
    virtual bool hitTest(int x, int y) = 0;
    virtual void paint(HDC dc) = 0;
    virtual void repaint() {}
    virtual const wchar_t* getTipText() const { return tipText_; }

    // Stores the tracked bits of `newState` (bits the behaviour does not track
    // are left as they were) and, unless silent, notifies 500 per changed bit.
    void setState(unsigned newState, bool silent);
    void setStateBits(unsigned bits, bool on, bool silent);
    void setSelected(bool on, bool silent) { setStateBits(0x1, on, silent); }

    unsigned state() const { return state_; }
    unsigned behaviour() const { return behaviour_; }
    void setBehaviour(unsigned behaviour) { behaviour_ = behaviour; }
    UINT id() const { return id_; }
    BarMaster* master() const { return master_; }
    bool enabled() const { return (state_ & 0x4) != 0; }
    bool hidden() const { return (state_ & 0x10) != 0; }
    bool isDragHandle() const { return (behaviour_ & UNIT_DRAG_HANDLE) != 0; }

  protected:
    unsigned state_ = 0x4;
    unsigned behaviour_;
    UINT id_;
    BarMaster* master_;
    wchar_t* tipText_ = nullptr;
};

// A unit that is a rectangle of the bar's client area.
class BarRectUnit : public BarUnit {
    VEXA_CLASS(BarRectUnit, BarUnit)

  public:
    BarRectUnit(BarMaster* master, UINT id, unsigned behaviour, const wchar_t* tipText,
                const RECT& rect);
    bool hitTest(int x, int y) override;
    void paint(HDC) override {}
    void repaint() override;
    const RECT& rect() const { return rect_; }
    void setRect(const RECT& rect) { rect_ = rect; }

  protected:
    RECT rect_;
};

// A unit drawn from its master's layered bitmap.
class BarBitmapUnit : public BarUnit {
    VEXA_CLASS(BarBitmapUnit, BarUnit)

  public:
    BarBitmapUnit(BarMaster* master, UINT id, unsigned behaviour, const wchar_t* tipText,
                  LayeredBitmap* face);

  protected:
    LayeredBitmap* face_;  // the master's, shared
};

// A unit of a six-layer bitmap: its area is the key layer's pixels of its own
// colour; it paints only those pixels, from the layer its state selects.
class BarSmartBitmapUnit : public BarBitmapUnit {
    VEXA_CLASS(BarSmartBitmapUnit, BarBitmapUnit)

  public:
    BarSmartBitmapUnit(BarMaster* master, UINT id, unsigned behaviour, const wchar_t* tipText,
                       LayeredBitmap* face, COLORREF key);
    ~BarSmartBitmapUnit() override;
    bool hitTest(int x, int y) override;
    void paint(HDC dc) override;
    void repaint() override;
    COLORREF key() const { return key_; }
    const RECT& maskBounds() const { return maskBounds_; }

  private:
    COLORREF key_;
    HBITMAP mask_ = nullptr;
    RECT maskBounds_ = {};
};

// Bits of BarMaster::barFlags.
enum BarFlag : unsigned {
    BAR_DRAGGING = 0x1,
    BAR_STICKY = 0x2,  // not closed by a press elsewhere, another client or a new result
};

class BarMaster : public LocalSystemBarClient {
    VEXA_CLASS(BarMaster, LocalSystemBarClient)

  public:
    // position null: the cursor position.
    BarMaster(const POINT* position, LPARAM owner);
    // Deletes the units, lets go of the ink manager, unregisters, deletes the
    // tips and closes an owned window.
    ~BarMaster() override;

    // Ink client: the pen-down is accepted exactly when hitTest answers > 0.
    int beginInk(HWND window, int x, int y) override;

    virtual void onStateChanged(unsigned oldFlags, unsigned newFlags) {}
    virtual void paint(HDC dc);
    virtual void buildUnits() = 0;
    // Layered-window alpha percent x 255 / 100; false without the function.
    virtual bool setAlpha(int percent);
    virtual void rebuild();
    virtual void beginDrag(int x, int y);
    virtual void endDrag();
    virtual void dragTo(int x, int y);
    virtual void moveTo(int x, int y);
    virtual void show();
    virtual void hide();
    // Posts WM_CLOSE to the window and unregisters the client (deleting it
    // with `deleteAfter`, unless the master is kept).
    virtual void close(bool deleteAfter);
    virtual void showTip(int x, int y, const wchar_t* text, BarUnit* unit);
    virtual void hideTip(bool force);
    virtual LRESULT onMessage(UINT code, LPARAM a, LPARAM b);
    virtual LRESULT dispatchToUnits(UINT code, UINT unitId, LPARAM a, LPARAM b);
    virtual void deleteAllUnits();
    // Appends; null (and an empty list) when the list cannot grow.
    virtual BarUnit* addUnit(BarUnit* unit);
    // Pumps the thread's messages until the bar closes; see BarFramework.cpp.
    virtual void runModal(int event);

    BarUnit* unitAt(int x, int y) const;
    BarUnit* findUnitById(UINT id) const;
    void postMsgToMaster(UINT code, LPARAM a, LPARAM b);
    void postMsgToUnits(UINT code, UINT unitId, LPARAM a, LPARAM b);
    static void postMsgToMasterDelayed(HWND window, UINT code, LPARAM a, LPARAM b, int delayMs);
    // Posts a MsgToMaster for the master of `window` (the bar window frees
    // it); false when it could not be posted.
    static bool postMsgToWindow(HWND window, UINT code, LPARAM a, LPARAM b);

    HWND window() const { return window_; }
    int unitCount() const { return unitCount_; }
    BarUnit* unit(int i) const { return i >= 0 && i < unitCount_ ? units_[i] : nullptr; }
    unsigned barFlags() const { return barFlags_; }
    void setSticky(bool sticky);
    bool dragging() const { return (barFlags_ & BAR_DRAGGING) != 0; }
    bool pressed() const { return pressed_; }
    bool kept() const { return kept_; }
    void setKept(bool kept) { kept_ = kept; }
    POINT position() const { return position_; }
    LPARAM owner() const { return owner_; }
    Tips* tips() const { return tips_; }
    POINT hoverPoint() const { return hoverPoint_; }

    // The thread that made the bar's window; the bar's window and state are its.
    const win::OwnerThread& ownerThread() const { return ownerThread_; }
    // In checked runs: `operation` must run on the owner thread.
    void checkOwner(const char* operation) const;

    // Bar window procedure (the class "VexaInkServiceMenuBarWndClass").
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The window procedure's master, or null.
    static BarMaster* fromWindow(HWND window);

  protected:
    // Makes the window the client's only area.
    void setAreaWindow(HWND window);
    void trackHover(int x, int y, bool forced);
    void onTipTimer();
    void detachWindow();
    // On a thread other than the bar's: posts the event to the bar, where
    // onNotify sees it again, and answers true (the caller then only passes
    // the event to the base client). False on the bar's own thread.
    bool handOffToOwner(int event, LPARAM argument);
    // The window is about to be forgotten (closed, destroyed or detached):
    // what was taken from it is given back while it still exists.
    virtual void releaseWindowResources() {}

    BarUnit** units_ = nullptr;
    int unitCount_ = 0;
    int unitCapacity_ = 0;
    unsigned barFlags_ = 0;
    HWND window_ = nullptr;
    bool ownsWindow_ = false;
    bool kept_ = false;
    POINT position_ = {0, 0};
    Tips* tips_ = nullptr;
    POINT dragOrigin_ = {0, 0};
    int savedPenType_ = 0;
    int savedInkMode_ = 0;
    LPARAM owner_ = 0;
    POINT hoverPoint_ = {-1, 0};
    DWORD lastMoveTick_ = 0;
    POINT tipAnchor_ = {0, 0};
    DWORD tipTick_ = 0;
    POINT lastMousePoint_ = {100000, 100000};
    bool pressed_ = false;
    HWND areaWindow_ = nullptr;
    win::OwnerThread ownerThread_{"bar"};

    friend LRESULT CALLBACK MenuBarWndProc(HWND, UINT, WPARAM, LPARAM);
};

// A master whose face is a LayeredBitmap from a bitmap resource; it makes its
// own window unless given one.
class BarBitmapMaster : public BarMaster {
    VEXA_CLASS(BarBitmapMaster, BarMaster)

  public:
    // face: taken over (null: loaded from resourceId with `layers`).
    BarBitmapMaster(const POINT* position, LPARAM owner, LayeredBitmap* face, HWND window,
                    HWND parent, const wchar_t* title);
    ~BarBitmapMaster() override;

    int onNotify(int event, LPARAM argument) override;
    int onStrokes(InkPoint* points, int count) override;
    void paint(HDC dc) override;
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;

    LayeredBitmap* face() const { return face_; }
    // The window's device context, taken once; given back when the window goes.
    HDC windowDC() const { return windowDC_; }
    // Shifts the bar into the desktop; stores and moves when it changed.
    void keepInDesktop();

  protected:
    void releaseWindowResources() override;

    LayeredBitmap* face_ = nullptr;
    HDC windowDC_ = nullptr;
};

// A master of a six-layer bitmap whose pen strokes arrive as live chunks.
class BarSmartBitmapMaster : public BarBitmapMaster {
    VEXA_CLASS(BarSmartBitmapMaster, BarBitmapMaster)

  public:
    BarSmartBitmapMaster(const POINT* position, LPARAM owner, LayeredBitmap* face, HWND window,
                         HWND parent, const wchar_t* title);
    int onStrokes(InkPoint* points, int count) override;
    void paint(HDC dc) override;
    LRESULT onMessage(UINT code, LPARAM a, LPARAM b) override;

  protected:
    volatile LONG strokePressed_ = 0;
    POINT lastPenPoint_ = {0, 0};
};

// The count of bars and menus running modally now (also core/PendingServices.h).
LONG openModalBarCount();

// The bar master that has taken the master messages (the binding panel), kept
// under a lock: it is set and cleared by that master, read by the service window.
void registerBarMaster(BarMaster* master);
void unregisterBarMaster(BarMaster* master);
bool isBarMasterRegistered();
// Posts a MsgToMaster to the registered master's window.
void postToBarMaster(UINT code, WPARAM wParam, LPARAM lParam);

// The window procedure of "VexaInkServiceMenuBarWndClass" (registered at start-up).
LRESULT CALLBACK MenuBarWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
