// The process's one ink manager: the registered ink clients, the pen-down hit
// test, the active client that receives the finished strokes, the pen state,
// mouse-transparent mode and the events it broadcasts to the clients; it owns
// the notification-area icons and runs the pen-event thread.
//
// The UI thread registers clients and answers the pen-down test, the
// pen-event thread hands strokes to the active client, the recognition thread
// releases it: the client list, the active client and the transparent level
// are guarded by the manager's lock. Callbacks into clients run outside that
// lock; a stroke is handed over under a delivery lock of its own, so that a
// client being removed is not deleted while its onStrokes or onReset runs.
#pragma once

#include <windows.h>

#include <vector>

#include "ink/InkPointList.h"
#include "core/VexaSuper.h"

class LocalClient;
class IconsManager;

// The pen state record: pen on, "useMouseExtraPoints", "PenType", "PenWidth",
// "PenColor", "PenAntialiasing", in this order.
struct PenState {
    int penOn = 1;
    int useMouseExtraPoints = 1;
    int type = 2;
    int width = 3;
    COLORREF color = RGB(0, 0, 255);
    int antialiasing = 1;
    // Counts the manager's changes of the pen: a client that is told from two
    // threads keeps the newer of what they read (setPenState ignores it).
    unsigned version = 0;
};

// Events broadcast to the ink clients.
enum InkEvent {
    INK_EVENT_ACCEPTED = 1,
    INK_EVENT_REFUSED = 2,
    INK_EVENT_PEN_CHANGED = 3,
    INK_EVENT_WRITE_ICON_SETTINGS = 4,
    INK_EVENT_READ_ICON_SETTINGS = 5,
    INK_EVENT_RESULT_CHANGED = 6,
    INK_EVENT_RELEASED = 10,
    INK_EVENT_SERVICE = 12,
    INK_EVENT_TIPS = 13,
    INK_EVENT_DISPLAY_CHANGED = 15,
};

// What the pen is used for: writing, or pointing at the applications and
// fields the user binds while the binding panel is open.
enum InkManagerMode {
    INK_MODE_WRITING = 0,
    INK_MODE_BINDING = 1,
};

class LocalInkManager : public VexaSuper {
    VEXA_CLASS(LocalInkManager, VexaSuper)

  public:
    // At most this many clients are registered at once.
    static constexpr int kMaxClients = 19;

    // Loads the pen state (and applies it).
    LocalInkManager();
    // Saves the pen state and the general settings, stops the pen-event
    // thread, then deletes the icons and every client, the last registered first.
    ~LocalInkManager() override;
    LocalInkManager(const LocalInkManager&) = delete;
    LocalInkManager& operator=(const LocalInkManager&) = delete;

    // Ends the pen-event thread and the clients' own threads; false when one
    // did not end in time (nothing it can reach may be freed then).
    bool stopThreads();

    // Starts the pen-event thread and shows the notification-area icon.
    bool createIconsManager();
    IconsManager* getIconsManager() const;
    LocalClient* getActiveClient() const;

    // 1 when registered (or registered already), 0 when refused.
    int registerClient(LocalClient* client);
    // 1 when the client was registered; with `deleteAfterwards` it is deleted.
    // A client that was active is no longer.
    int unregisterClient(LocalClient* client, bool deleteAfterwards);
    bool isRegistered(const LocalClient* client) const;
    // The registered clients, in hit-test order.
    std::vector<LocalClient*> clients() const;

    // The pen-down hit test of the service window: the client under the pen, or null.
    LocalClient* findClientAt(HWND focusWindow, int x, int y);
    // Makes `client` active if it accepts the pen-down; the active client or null.
    LocalClient* activateClient(LocalClient* client, HWND window, int x, int y);
    // How many pen-downs have activated a client so far: a client tells by it
    // whether a new contact began after its last stroke.
    unsigned activationCount() const;
    // Prepares the pen-event thread for the active client's ink; 0 without one.
    int beginActiveInk();
    bool activeClientTakesInk() const;
    // The active client's pen as the four pen words of a stroke; false without one.
    bool activeClientPen(int32_t words[4]) const;
    // Hands a finished stroke (the caller's allocMemory block, given away) to
    // the active client; without one the screen under it is redrawn and the
    // points freed. Pen-event thread.
    void passStrokeToActiveClient(InkPoint* points, int count);
    // The stroke being written was cancelled (pen-event thread).
    void notifyActiveClient();
    // Clears `client` as the active client (nothing when it is not); stops
    // the hook library's inking, with `wait` 100 ms for the last ink to show,
    // and tells the client (event 10).
    void releaseActiveClient(LocalClient* client, bool wait);
    // When the active client has left the list meanwhile, it is active no longer.
    void reselectActiveClient();
    // The hook library may ink again (a writing has ended).
    void unlockInking();

    // Calls every registered client's notification; the last client's result.
    // Any thread: a client that another thread unregisters meanwhile is
    // notified no more, and is deleted only once its notification returned.
    int broadcastEvent(int code, LPARAM argument);

    void setPenOn(int on);
    PenState getPenState() const;
    // Takes the attributes of `state` (all of them with `force`); event 3 when changed.
    void setPenState(const PenState& state, bool force);
    void loadPenState();
    void savePenState();

    // Nested: the first level tells the hook library, the last level lets go.
    void beginMouseTransparent();
    void endMouseTransparent();
    bool isMouseTransparent() const;

    InkManagerMode mode() const;
    // Switches the mode; the one it replaces, so that the caller can put it back.
    InkManagerMode setMode(InkManagerMode mode);

    // Types `text` into `window` (the typing routine of the text output).
    int typeTextByKeys(HWND window, const wchar_t* text, bool wantSpace, HKL layout);

  private:
    void applyClientInkParams(LocalClient* client);
    // Waits until no other thread is inside a notification of `client`.
    void waitForNotificationsOf(const LocalClient* client) const;

    // A notification in progress: the client and the thread giving it.
    struct Notifying {
        const LocalClient* client;
        DWORD thread;
    };

    PenState pen_;
    int transparentLevel_ = 0;
    InkManagerMode mode_ = INK_MODE_WRITING;
    LocalClient* clients_[kMaxClients + 1] = {};
    int clientCount_ = 0;
    LocalClient* active_ = nullptr;
    std::vector<Notifying> notifying_;
    unsigned activations_ = 0;
    IconsManager* icons_ = nullptr;
    bool penEventThreadStarted_ = false;
    // The pen state, the transparent level, the mode, the client list, the active
    // client and the notifications in progress.
    mutable CRITICAL_SECTION lock_;
    // Held while a stroke or a reset is handed to the active client.
    CRITICAL_SECTION deliveryLock_;
};

// Deletes the manager with its clients once every thread that can reach them
// has ended; when one does not end in time they are all left alive (the
// program is ending) rather than freed under it. True when deleted.
bool destroyLocalInkManager(LocalInkManager* manager);

// Runs `work` inside a begin/end pair of the ink manager's mouse-transparent mode.
class MouseTransparentScope {
  public:
    explicit MouseTransparentScope(bool active = true);
    ~MouseTransparentScope();
    MouseTransparentScope(const MouseTransparentScope&) = delete;
    MouseTransparentScope& operator=(const MouseTransparentScope&) = delete;

  private:
    LocalInkManager* manager_;
};

// Post 3044 (1 or 0) to the service window: open or close the binding panel.
void enterBindingMode();
void leaveBindingMode();
