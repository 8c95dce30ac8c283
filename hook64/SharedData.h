// The block shared by the 32-bit hook library, the 64-bit hook library and the
// program: one named file mapping of 4084 bytes, the same layout in 32-bit and
// 64-bit processes. Window handles written by 32-bit parties are stored as
// 32-bit values and zero-extended when used as handles. Bytes not named below
// belong to whichever party created the block.
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdio.h>
#include <stdint.h>

// "sxMapFile_%d_%d_%d" with the library version 4.0.42.
#define SHARED_DATA_MAP_FORMAT L"sxMapFile_%d_%d_%d"
#define SHARED_DATA_VERSION_MAJOR 4
#define SHARED_DATA_VERSION_MINOR 0
#define SHARED_DATA_VERSION_BUILD 42
#define SHARED_DATA_SIZE 4084

// Reserved bytes 964..4047, free for the creator of the block.
#define SHARED_DATA_CREATOR_AREA_OFFSET 964
#define SHARED_DATA_CREATOR_AREA_SIZE 3084

#pragma pack(push, 4)

struct SharedDataStruct {
    int32_t _iCheckSize;  // 0: the size as built; must be 4084
    uint8_t _reserved4[32];
    int32_t _iEnabled;   // 36
    int32_t _iBlockPan;  // 40
    int32_t _iPaused;    // 44
    uint8_t _reserved48[20];
    uint32_t _dwFlags;  // 68
    uint8_t _reserved72[24];
    int32_t _iTwoFingerTap;      // 96
    uint32_t _dwLastTapTick;     // 100
    uint32_t _dwTapGestureID;    // 104
    uint32_t _dwTapGestureWant;  // 108
    RECT _rcTap;                 // 112
    uint8_t _reserved128[120];
    int32_t _xNoLocation;   // 248
    int32_t _yNoLocation;   // 252
    int32_t _iListMarginX;  // 256
    int32_t _iListMarginY;  // 260
    uint8_t _reserved264[12];
    uint32_t _hwndMain;   // 276: the program's service window; 0 when the program has gone
    uint32_t _hwndFocus;  // 280
    uint8_t _reserved284[8];
    uint32_t _hwndForeground;  // 292
    uint8_t _reserved296[16];
    WCHAR _szForegroundModule[260];  // 312
    uint8_t _reserved832[60];
    uint32_t _hwndElem;                                   // 892
    int32_t _dwmsEventTime;                               // 896
    int32_t _idObject;                                    // 900
    int32_t _idChild;                                     // 904
    uint32_t _dwRole;                                     // 908
    uint32_t _dwState;                                    // 912
    int32_t _iCaretShown;                                 // 916
    int32_t _iEditable;                                   // 920
    int32_t _iSameWindow;                                 // 924
    uint32_t _dwFocusTime;                                // 928
    RECT _rcElem;                                         // 932
    uint32_t _hwndMenu;                                   // 948
    uint32_t _dwCursorCheckTime;                          // 952
    int32_t _iCursorCheckRequest;                         // 956
    int32_t _iCursorCheckRefused;                         // 960
    uint8_t _creatorArea[SHARED_DATA_CREATOR_AREA_SIZE];  // 964
    uint64_t _hwndHelper64;                               // 4048
    uint64_t _hCallWndHook64;                             // 4056
    uint64_t _hGetMsgHook64;                              // 4064
    uint64_t _hWinEventHook64;                            // 4072
    uint8_t _reserved4080[4];
};

#pragma pack(pop)

// The last focused accessible element: its window, object id and child id.
struct UI_ELEM_INFO {
    HWND hwnd;
    LONG idObject;
    LONG idChild;
};

#ifdef __cplusplus
// The block is the same bytes to 32-bit and 64-bit processes: every field the
// libraries use at its fixed offset, whatever the bitness of the build.
#define SHARED_DATA_AT(field, offset) \
    static_assert(offsetof(SharedDataStruct, field) == (offset), #field " moved")
static_assert(sizeof(SharedDataStruct) == SHARED_DATA_SIZE, "shared block size");
SHARED_DATA_AT(_iCheckSize, 0);
SHARED_DATA_AT(_iEnabled, 36);
SHARED_DATA_AT(_iBlockPan, 40);
SHARED_DATA_AT(_iPaused, 44);
SHARED_DATA_AT(_dwFlags, 68);
SHARED_DATA_AT(_iTwoFingerTap, 96);
SHARED_DATA_AT(_dwLastTapTick, 100);
SHARED_DATA_AT(_dwTapGestureID, 104);
SHARED_DATA_AT(_dwTapGestureWant, 108);
SHARED_DATA_AT(_rcTap, 112);
SHARED_DATA_AT(_xNoLocation, 248);
SHARED_DATA_AT(_yNoLocation, 252);
SHARED_DATA_AT(_iListMarginX, 256);
SHARED_DATA_AT(_iListMarginY, 260);
SHARED_DATA_AT(_hwndMain, 276);
SHARED_DATA_AT(_hwndFocus, 280);
SHARED_DATA_AT(_hwndForeground, 292);
SHARED_DATA_AT(_szForegroundModule, 312);
SHARED_DATA_AT(_hwndElem, 892);
SHARED_DATA_AT(_dwmsEventTime, 896);
SHARED_DATA_AT(_idObject, 900);
SHARED_DATA_AT(_idChild, 904);
SHARED_DATA_AT(_dwRole, 908);
SHARED_DATA_AT(_dwState, 912);
SHARED_DATA_AT(_iCaretShown, 916);
SHARED_DATA_AT(_iEditable, 920);
SHARED_DATA_AT(_iSameWindow, 924);
SHARED_DATA_AT(_dwFocusTime, 928);
SHARED_DATA_AT(_rcElem, 932);
SHARED_DATA_AT(_hwndMenu, 948);
SHARED_DATA_AT(_dwCursorCheckTime, 952);
SHARED_DATA_AT(_iCursorCheckRequest, 956);
SHARED_DATA_AT(_iCursorCheckRefused, 960);
SHARED_DATA_AT(_creatorArea, SHARED_DATA_CREATOR_AREA_OFFSET);
SHARED_DATA_AT(_hwndHelper64, 4048);
SHARED_DATA_AT(_hCallWndHook64, 4056);
SHARED_DATA_AT(_hGetMsgHook64, 4064);
SHARED_DATA_AT(_hWinEventHook64, 4072);
#undef SHARED_DATA_AT
static_assert(sizeof(RECT) == 16 && sizeof(WCHAR) == 2, "the block's rectangles and texts");
// The element record: the window (pointer-sized), then two LONGs.
static_assert(offsetof(UI_ELEM_INFO, idObject) == sizeof(HWND) &&
                  offsetof(UI_ELEM_INFO, idChild) == sizeof(HWND) + 4 &&
                  sizeof(UI_ELEM_INFO) == sizeof(HWND) + 8 && sizeof(LONG) == 4,
              "UI_ELEM_INFO layout");
#endif

// Writes the mapping's name ("sxMapFile_4_0_42") into `name` (at least 32 characters).
inline void formatMapFileName(WCHAR* name, int capacity) {
    if (!name || capacity <= 0) return;
    _snwprintf(name, capacity, SHARED_DATA_MAP_FORMAT, SHARED_DATA_VERSION_MAJOR,
               SHARED_DATA_VERSION_MINOR, SHARED_DATA_VERSION_BUILD);
    name[capacity - 1] = L'\0';
}
