// The ink clients: everything that can receive ink registers with the local
// ink manager as a LocalClient (the system client, the ink blot, the bars,
// the notification-area icons). The manager's pen-down hit test picks the
// client under the pen; that client then receives the finished strokes.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ink/InkPointList.h"
#include "core/VexaSuper.h"

class LocalInkManager;

// Flags of a client record.
enum LocalClientFlag : int32_t {
    CLIENT_REGISTER_FIRST = 0x2,     // registered before the other clients
    CLIENT_AREAS_ARE_WINDOWS = 0x8,  // the areas are window handles, else rectangles
    CLIENT_TAKES_PEN_DOWN = 0x20,    // the client works the pen-down itself: no ink
};

// Ink mode 2: the client takes no ink strokes but is streamed the points (bars).
constexpr int32_t kInkModeStreamPoints = 2;

// An area in thousandths of the primary screen's width and height (right and
// bottom exclusive).
struct ClientArea {
    int32_t left, top, right, bottom;
};

// The record a client is built from; the client keeps its own copy.
struct LocalClientRecord {
    wchar_t name[60];     // also the registry subkey of the client's settings
    int32_t enabled;      // 0: the hit test skips the client
    int32_t registrable;  // must be 1 for registration
    int32_t flags;        // LocalClientFlag
    int32_t inkParam1;    // handed to the hook library when the client becomes active
    int32_t inkParam2;    // the start hold time-out
    int32_t inkParam3;    // the end hold time-out
    int32_t penType;      // 0: no own cursor, no live ink
    int32_t penWidth;
    COLORREF penColor;
    int32_t penAntialiasing;
    int32_t inkMode;    // kInkModeStreamPoints: points streamed, no strokes
    int32_t areaCount;  // 0 or less: no areas
    // areaCount ClientArea entries, or areaCount window handles under
    // CLIENT_AREAS_ARE_WINDOWS; the client copies them.
    const void* areas;
    HICON cursor1;  // made by reloadIcons
    HICON cursor2;
};

class LocalClient : public VexaSuper {
    VEXA_CLASS(LocalClient, VexaSuper)

  public:
    // Copies `record` whole (null gives a zeroed one) with its areas, then
    // makes the cursors.
    explicit LocalClient(const LocalClientRecord* record);
    // Frees the area copy and both cursors.
    ~LocalClient() override;
    LocalClient(const LocalClient&) = delete;
    LocalClient& operator=(const LocalClient&) = delete;

    // Notifications of the manager; the base takes the manager's pen on 3
    // (pen changed). The result of the last client is the broadcast's result.
    virtual int onNotify(int code, LPARAM argument);
    // Non-zero accepts the pen-down at (x, y) (screen pixels) over `window`;
    // the base keeps the window and accepts.
    virtual int beginInk(HWND window, int x, int y);
    // A finished stroke (or, for streaming clients, a batch of points): the
    // client owns `points` (an allocMemory block) and must free them. Runs on
    // the pen-event thread, so it must not wait for the UI thread.
    virtual int onStrokes(InkPoint* points, int count);
    // The stroke being written was cancelled (pen-event thread).
    virtual void onReset();
    virtual int registerSelf();
    virtual int unregisterSelf(bool deleteAfterwards);
    virtual LocalInkManager* inkManager() const;
    // 1 when (x, y) (screen pixels) lies in one of the client's areas.
    virtual int hitTest(HWND window, int x, int y);
    // The pen-down test of the manager; the base asks hitTest.
    virtual int claimsPoint(HWND window, int x, int y);
    // Makes the cursors again: a pen-tip cursor of the pen's width and colour
    // when the pen has a type and a width.
    virtual void reloadIcons();
    // Takes the manager's pen of change count `version` (under the pen lock;
    // the pen event comes from the UI thread and the recognition thread): a
    // pen older than the one taken last is ignored; true when it differs from
    // the client's, which then takes it and makes its cursors again when asked.
    bool takePen(int32_t type, int32_t width, COLORREF colour, int32_t antialiasing,
                 unsigned version, bool remakeCursors);
    // The two cursors, read under the pen lock.
    void cursors(HICON& first, HICON& second) const;
    // Ends the client's own threads, waiting a while; false when one did not
    // end in time: the client must then not be deleted, or the thread would
    // use it freed. The base has none.
    virtual bool stopThreads();

    const LocalClientRecord& record() const { return record_; }
    LocalClientRecord& record() { return record_; }
    const wchar_t* name() const { return record_.name; }
    // The window given to the last beginInk.
    HWND inkWindow() const { return inkWindow_; }
    // The pen the client inks with, as the four pen words of a stroke (read
    // under the pen lock).
    void penWords(int32_t words[4]) const;

  protected:
    // For clients built without a record: the name copied, everything else 0.
    LocalClient(const wchar_t* name, int32_t enabled, int32_t flags, int32_t inkMode);

  private:
    void copyAreas(const void* areas, int32_t count);
    void destroyCursors();

    LocalClientRecord record_;
    void* areaCopy_ = nullptr;  // an allocMemory block
    HWND inkWindow_ = nullptr;
    // Guards the pen fields of the record, the cursors and the pen's change count.
    mutable CRITICAL_SECTION penLock_;
    unsigned penVersion_ = 0;
    bool penTaken_ = false;
};

// A toolbar's client: enabled, registrable, flags 0x2B, no pen, no areas.
class LocalVexaBarClient : public LocalClient {
    VEXA_CLASS(LocalVexaBarClient, LocalClient)

  public:
    explicit LocalVexaBarClient(const wchar_t* name);
};

// A client that is registered to follow the manager's notifications but is
// never hit: disabled, flags 5, ink mode 0, no areas.
class LocalMonitoringClient : public LocalClient {
    VEXA_CLASS(LocalMonitoringClient, LocalClient)

  public:
    explicit LocalMonitoringClient(const wchar_t* name);
};

// A cursor showing the pen tip: a dot of `width` pixels in `colour`, its hot
// spot in the middle. Null when it cannot be made.
HICON makePenTipCursor(int width, COLORREF colour);
