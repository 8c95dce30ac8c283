// The notification-area icon: the pen icon, whose picture tells whether the
// pen is on, whose click toggles the pen, and whose right click, double click
// or press-and-hold opens the program menu. The icons belong to the
// IconsManager, an ink client that only follows the manager's notifications.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include "ink/LocalClient.h"
#include "core/VexaSuper.h"

class IconsManager;

// Mouse messages of the icon's callback (4025), and the hold timer's 1024.
enum IconMouse : UINT {
    ICON_MOUSE_MOVE = WM_MOUSEMOVE,        // 512
    ICON_LEFT_DOWN = WM_LBUTTONDOWN,       // 513
    ICON_LEFT_UP = WM_LBUTTONUP,           // 514
    ICON_LEFT_DOUBLE = WM_LBUTTONDBLCLK,   // 515
    ICON_RIGHT_DOWN = WM_RBUTTONDOWN,      // 516
    ICON_RIGHT_UP = WM_RBUTTONUP,          // 517
    ICON_RIGHT_DOUBLE = WM_RBUTTONDBLCLK,  // 518
    ICON_HOLD_EXPIRED = 1024,
};

// The service-window timer of an icon's press-and-hold: (id << 16) | 18.
UINT_PTR iconHoldTimerId(UINT iconId);

class InkIcon : public VexaSuper {
    VEXA_CLASS(InkIcon, VexaSuper)

  public:
    InkIcon(UINT id, bool holdEnabled, IconsManager* owner);
    ~InkIcon() override;
    InkIcon(const InkIcon&) = delete;
    InkIcon& operator=(const InkIcon&) = delete;

    // add, remove and modify run whole under the icon's lock: the pen event
    // that calls modify comes from the UI thread and the recognition thread,
    // and the picture handed over last must be the one worked out last.
    // updateState, then shows the icon. True.
    virtual bool add();
    // Takes the icon out of the notification area. True.
    virtual bool remove();
    // Shows the new picture when updateState reports a change; false otherwise.
    virtual bool modify();
    // True when the picture changed.
    virtual bool updateState();
    // The press-and-hold logic: true when `message` counts for this icon.
    virtual bool trackMouse(UINT message);
    virtual void onMouse(UINT message);

    UINT id() const { return id_; }
    HICON icon() const { return icon_; }
    const wchar_t* tip() const { return tip_; }
    bool pressed() const { return pressed_ != 0; }

    // Where the hold test reads the cursor (GetCursorPos); tests set their own.
    static void setCursorSource(BOOL(WINAPI* source)(POINT*));
    // Forgets the shared hold state (tests).
    static void resetHoldState();
    // Where the icons go (Shell_NotifyIconW); tests set their own.
    static void setNotifySink(BOOL(WINAPI* sink)(DWORD, PNOTIFYICONDATAW));

  protected:
    // Hands the icon to the notification area (NIM_ADD, NIM_MODIFY, NIM_DELETE).
    bool notify(DWORD action);

    wchar_t tip_[64] = L"";
    UINT id_;
    HICON icon_ = nullptr;
    // The window the icon was added with: the notification area knows the icon
    // by it and the id, and the service window may already be forgotten when
    // the icon is taken away at shut-down.
    HWND window_ = nullptr;
    int holdEnabled_;
    int pressed_ = 0;
    IconsManager* owner_;
    CRITICAL_SECTION lock_;
};

class PenIcon : public InkIcon {
    VEXA_CLASS(PenIcon, InkIcon)

  public:
    PenIcon(UINT id, IconsManager* owner);

    // -1 unknown, 0 pen off (icon 104), 1 pen on (icon 105).
    int state() const { return state_; }
    bool updateState() override;
    void onMouse(UINT message) override;

  private:
    int state_ = -1;
};

class IconsManager : public LocalMonitoringClient {
    VEXA_CLASS(IconsManager, LocalMonitoringClient)

  public:
    static constexpr int kDefaultHoldTimeout = 1200;
    static constexpr int kMaxIcons = 4;

    // Reads "IconHoldTimeout" and registers with the ink manager.
    IconsManager();
    // Writes "IconHoldTimeout", removes and deletes the icons.
    ~IconsManager() override;

    int onNotify(int code, LPARAM argument) override;
    // True when an icon of `kind` exists or was made (only kind 1, the pen
    // icon, and only while there are none).
    bool addIcon(UINT kind);
    // The service window's 4025 (and its hold timer, with 1024).
    LRESULT onTrayMessage(UINT id, UINT message);

    InkIcon* iconById(UINT id) const;
    int iconCount() const { return count_; }
    int holdTimeout() const { return holdTimeout_; }
    void setHoldTimeout(int ms) { holdTimeout_ = ms; }

  private:
    InkIcon* icons_[kMaxIcons] = {};
    int count_ = 0;
    int holdTimeout_ = kDefaultHoldTimeout;
};

// The service window's entry for 4025 and the hold timer: the ink manager's
// icons answer, 0 without them.
LRESULT iconsManagerMessage(UINT iconId, UINT mouseMessage);
