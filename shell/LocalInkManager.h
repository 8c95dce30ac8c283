// The process's one ink manager: the pen state, mouse-transparent mode and the
// events it broadcasts to the ink clients. What the shell needs of it is here;
// the ink capture work adds the client list, the hit test, the active client,
// the pen-event thread and the notification-area icons.
#pragma once

#include <windows.h>

#include "VexaSuper.h"

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
};

// Events broadcast to the ink clients.
enum InkEvent {
    INK_EVENT_ACCEPTED = 1,
    INK_EVENT_REFUSED = 2,
    INK_EVENT_PEN_CHANGED = 3,
    INK_EVENT_RESULT_CHANGED = 6,
    INK_EVENT_RELEASED = 10,
    INK_EVENT_SERVICE = 12,
    INK_EVENT_TIPS = 13,
    INK_EVENT_DISPLAY_CHANGED = 15,
};

class LocalInkManager : public VexaSuper {
    VEXA_CLASS(LocalInkManager, VexaSuper)

  public:
    // Loads the pen state (and applies it).
    LocalInkManager();
    // Saves the pen state and the general settings.
    ~LocalInkManager() override;

    // Starts the pen-event side (the pen-event thread and the notification-area icons).
    bool createIconsManager();
    IconsManager* getIconsManager() const { return nullptr; }
    LocalClient* getActiveClient() const { return nullptr; }

    // The pen-down hit test of the service window: the client under the pen, or null.
    LocalClient* findClientAt(HWND focusWindow, int x, int y);
    LocalClient* activateClient(LocalClient* client, HWND window, int x, int y);
    int beginActiveInk();

    // Calls every registered client's notification; the last client's result.
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

  private:
    PenState pen_;
    int transparentLevel_ = 0;
    mutable CRITICAL_SECTION lock_;  // the pen state and the transparent level
};

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
