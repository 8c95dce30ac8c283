// The Zorvane note application, as the program sees it: its files, its
// registry entries, its listener window and the block a clip is sent in.
#pragma once

#include <windows.h>

#define ZORVANE_EXE_NAME L"Zorvane.exe"
#define ZORVANE_SCRIPT_NAME L"ZVScript.exe"
#define ZORVANE_LISTENER_CLASS L"ZVListenerWindow"
#define ZORVANE_APP_PATHS_KEY \
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Zorvane.exe"
#define ZORVANE_UNINSTALL_KEY_ROOT L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
// The uninstall keys' product codes of the two generations of the application.
#define ZORVANE_PRODUCT_CODE L"{6C1E2B7A-3F0D-4E8B-9A51-2D7C0F4B8E13}"
#define ZORVANE_PRODUCT_CODE_2 L"{A94D3E60-5B2F-4C17-8E0A-71F3C6D9B245}"
#define ZORVANE_DOWNLOAD_PAGE L"https://www.zorvane.example/download"

// Registered names (RegisterWindowMessageW / RegisterClipboardFormatW).
#define ZVM_CHECKLISTENER_NAME L"ZVM_CHECKLISTENER"              // answered non-zero when ready
#define ZVCD_CREATENOTEFROMFILE_NAME L"ZVCD_CREATENOTEFROMFILE"  // WM_COPYDATA identifier

// WM_COPYDATA block of a clip, fields back to back: title, file name, MIME type
// and one reserved field, each UTF-8 with its terminating zero byte, then the
// file's bytes to the end of the block.
