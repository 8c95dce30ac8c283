// The private messages of the service window (and of the windows beside it),
// its timers, and the names of the registered messages. The hook libraries post
// the messages marked (F) from other processes.
#pragma once

#include <windows.h>

#include <memory>

#include "win/PostedRecord.h"

enum ServiceMessage : UINT {
    WM_INK_START_SERVICES = 3024,      // deferred start-up
    WM_INK_FOREGROUND_CHANGED = 3025,  // (F) wParam: the window now in front
    WM_INK_PEN_DOWN = 3026,            // (F) pen-down query
    WM_INK_QUEUE_EVENT = 3030,         // (F) wake the pen-event thread
    WM_INK_MESSAGE_FOR_CLIENT = 3031,  // (F) a text from the hook library
    WM_INK_ESCAPE = 3033,              // (F) Escape pressed in another application
    WM_INK_MOUSE_ACTION = 3034,        // (F) simulate a mouse action
    WM_INK_MENU_TRACK = 3035,          // menu-owner window: show a popup menu
    WM_INK_MENU_FOREGROUND = 3036,     // menu-owner window: foreground to wParam
    WM_INK_CREATE_MENU_OWNER = 3037,
    WM_INK_WORDLIST_FOR_SELECTION = 3038,
    WM_INK_OUTPUT_RECORD = 3039,
    WM_INK_UPDATE_ANSWER = 3040,
    WM_INK_SHOW_STICKERS = 3041,
    WM_INK_CLEAR_STICKERS = 3042,
    WM_INK_OPEN_SETTINGS = 3043,
    WM_INK_BINDING_PANEL = 3044,
    WM_INK_MAIN_MENU = 3045,
    WM_INK_COMMAND_RECORD = 3046,
    WM_INK_CLOSE_MODAL_BAR = 3048,
    WM_INK_FORWARD_TO_FOCUS = 3049,  // (F)
    WM_INK_MARKUP_SWITCH = 3050,
    WM_INK_PEN_ON = 3051,
    WM_INK_PEN_OFF_REQUEST = 3052,  // (F) wParam 1 twice within 2 s ends the program
    WM_INK_MOUSE_SHAKE = 3053,
    WM_INK_CLIP_READY = 3055,
    WM_INK_DELAYED_CONFIG_CHG = 3056,
    WM_INK_LAYER_SHOW = 3064,       // (F)
    WM_INK_LAYER_HIDE = 3065,       // (F)
    WM_INK_LAYER_COLLECTOR = 3066,  // (F) handled by the ink layer window
    WM_INK_SETPEN = 3074,           // wParam pen state / lParam toggle
    WM_INK_IS_PEN_ON = 3075,
    WM_INK_TIPS_TO_MASTER = 3094,
    WM_INK_RAISE_MARKUP = 3096,  // (F)
    WM_INK_CHOOSE_PROFILE = 3097,
    WM_INK_SHOW_TIPS = 3098,
    WM_INK_BROADCAST_EVENT = 3099,
    WM_INK_SHOW_CURSOR = 3100,  // handled by the ink layer window
    // The main bar, for threads that own no window: wParam 0 hides it, 1
    // shows it, 2 tells it the event in lParam (the recognition language changed).
    WM_INK_MAIN_BAR = 3101,
    WM_INK_ICON_NOTIFY = 4025,  // notification-area icons
};

// The main bar's event (message 3101 with wParam 2): the recognition language changed.
constexpr int kMainBarLanguageChanged = 7;

// Posted to every top-level window before the second attempt to set the hooks.
constexpr UINT kHookRetryNotice = 1021;

enum ServiceTimer : UINT_PTR {
    TIMER_DELAYED_START = 16,
    TIMER_INK_LAYER = 17,
    TIMER_ICON_HOLD = 18,  // the real id is (icon id << 16) + 18
    TIMER_INK_BLOT = 19,
    TIMER_AUTO_PEN_OFF = 20,
    TIMER_UPDATE_CHECK = 21,
    TIMER_SHOW_TIPS = 22,
};

#define SCRIBIX_COMMAND_MESSAGE_NAME L"ScribixMessageCommandName"
#define SCRIBIX_BROADCAST_MESSAGE_NAME L"InkService_Message_for_broadcast"
#define SERVICE_WINDOW_CLASS L"VexaInkServiceWndClass"
#define SERVICE_WINDOW_TITLE L"VexaInkServiceWnd"

// Records that messages carry. Any process on the desktop can post the same
// numbers, so a record goes registered (win/PostedRecord): its receiver takes
// only a record this process made and still owns, and ignores any other
// argument. Senders use the helpers below.

// Carried by message 3039; allocated by the sender, freed by the service window.
struct OutputRecord {
    void* ownerList;
    HWND target;
    POINT position;
    BYTE typed;
    BYTE mode;
};

// Three words carried by message 3046 (the colour bar for a bar: the asking
// bar's owner list, its window, the position); allocated by the sender,
// freed by the service window.
struct CommandRecord {
    INT_PTR code;
    INT_PTR argument1;
    INT_PTR argument2;
};

// A popup menu for the menu-owner window or the ink layer (message 3035); the
// sender keeps it, the receiver only reads it while the message is sent.
struct MenuTrackRecord {
    HMENU menu;
    int x;
    int y;
    UINT flags;
};

// Message 3039 with a copy of `record` to the service window: posted (false
// when it cannot be) or sent (the answer). The service window frees the copy.
inline bool postOutputRecord(HWND service, const OutputRecord& record) {
    return service && win::postRecord(service, WM_INK_OUTPUT_RECORD, 0,
                                      std::make_unique<OutputRecord>(record));
}
inline LRESULT sendOutputRecord(HWND service, const OutputRecord& record) {
    return win::sendRecord(service, WM_INK_OUTPUT_RECORD, 0,
                           std::make_unique<OutputRecord>(record));
}

// Message 3046 with a copy of `record`, as above.
inline bool postCommandRecord(HWND service, const CommandRecord& record) {
    return service && win::postRecord(service, WM_INK_COMMAND_RECORD, 0,
                                      std::make_unique<CommandRecord>(record));
}
inline LRESULT sendCommandRecord(HWND service, const CommandRecord& record) {
    return win::sendRecord(service, WM_INK_COMMAND_RECORD, 0,
                           std::make_unique<CommandRecord>(record));
}

// Message 3035: `window` (the menu-owner window or the ink layer) tracks the
// menu of `record`; the id chosen, or 0.
inline int trackMenuThrough(HWND window, MenuTrackRecord record) {
    win::ScopedRecord<MenuTrackRecord> scoped(&record);
    return static_cast<int>(SendMessageW(window, WM_INK_MENU_TRACK, 0, scoped.param()));
}
