// ZVFatInk: the product family's ink control, as the program sees it. One
// window procedure, imported by name (`_ZVInkCtrlWindowProc@16`), that a
// window of any class hands its messages to; the control then keeps a picture
// as background, ink strokes drawn over it with pen tools, an undo history and
// a selection. It is driven by the messages below and tells its owner what
// happened through the registered message "fatInkMsgToOwner".
#pragma once

#include <windows.h>

// The exported name carries the 32-bit stdcall decoration in every build; the
// label binds this declaration to it in both bitnesses.
#ifdef _WIN64
#define ZVFATINK_PROC_LABEL "_ZVInkCtrlWindowProc@16"
#else
#define ZVFATINK_PROC_LABEL "__ZVInkCtrlWindowProc@16"
#endif

#ifdef __cplusplus
extern "C" {
#endif

LRESULT CALLBACK ZVInkCtrlWindowProc(HWND window, UINT message, WPARAM wParam,
                                     LPARAM lParam) __asm__(ZVFATINK_PROC_LABEL);

#ifdef __cplusplus
}
#endif

// Messages of the control (wParam / lParam; result).
enum ZVInkCtrlMessage : UINT {
    ZVIC_REDO = 1108,            // redo the last undone step
    ZVIC_SET_TOOL = 1281,        // tool code (0 pen, 1 pencil, 2, 3 cutter, 4 selector, 5 marker)
    ZVIC_GET_TOOL = 1282,        // ; the tool code
    ZVIC_SET_WIDTH = 1283,       // width + 1000
    ZVIC_GET_WIDTH = 1284,       // 1 ; the width in pixels
    ZVIC_SET_COLOR = 1285,       // COLORREF
    ZVIC_GET_COLOR = 1286,       // ; the COLORREF
    ZVIC_SET_SHAPE_MODE = 1287,  // 2 on, 0 off
    ZVIC_GET_SHAPE_MODE = 1288,  // ; non-zero while shapes are enhanced
    ZVIC_CLEAR = 1299,           // removes all ink (undoable)
    ZVIC_SET_RECOGNIZER = 1305,  // 0 / ZVInkRecognizerRecord*
    ZVIC_SET_OWNER = 1310,       // owner window / 1: the owner receives the notifications
    ZVIC_HAS_SELECTION = 1309,   // ; non-zero when strokes are selected
    ZVIC_SET_MODE = 1311,        // its own mode word (1, 0 in markup)
    ZVIC_ENHANCE_SELECTION = 1314,  // 2: the selected strokes become clean shapes
    ZVIC_SET_BACKGROUND = 1321,     // 0 / HBITMAP (the control takes it; null removes it)
};

// Notification codes sent with "fatInkMsgToOwner" as wParam (lParam: the control).
enum ZVInkCtrlNotification : WPARAM {
    ZVIN_INK_CHANGED = 1,    // a stroke was added, removed or changed
    ZVIN_CLIP_REQUEST = 2,   // the user asked for a screen clip
    ZVIN_CLOSE_REQUEST = 3,  // the user asked to leave
    ZVIN_SELECTION_CHANGED = 4,
};

// Record of message 1305.
struct ZVInkRecognizerRecord {
    DWORD size;  // 528
    DWORD reserved;
    WCHAR path[MAX_PATH];
};
