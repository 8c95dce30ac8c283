// The application globals: process-wide values alive for the whole process.
// Other parts read them through the accessors below.
#pragma once

#include <windows.h>

#include <atomic>

#include "win/Checks.h"

class LocalInkManager;

struct AppGlobals {
    HINSTANCE instance = nullptr;
    HWND serviceWindow = nullptr;
    LocalInkManager* inkManager = nullptr;
    HANDLE oneAppMutex = nullptr;
    std::atomic<bool> servicesStarted{false};
    // Set when start-up ended (either way) or a message box is shown; the
    // splash window ends when it sees it.
    std::atomic<bool> startupFinished{false};
    bool commandSwitchGiven = false;
    bool switchPenState = false;
    bool wow64 = false;
    bool digitizerReady = false;
    int tabletPC = 0;
    // 3 for Windows 4.x, 2 for 5.x with a minor version other than 0, else 1.
    int windowsGeneration = 1;
    // Screen metrics, refreshed by updateScreenMetrics.
    int cxScreen = 0;
    int cyScreen = 0;
    // The primary screen's size: the metrics last read, or the system's own
    // before they were first read.
    int primaryWidth() const { return cxScreen > 0 ? cxScreen : GetSystemMetrics(SM_CXSCREEN); }
    int primaryHeight() const { return cyScreen > 0 ? cyScreen : GetSystemMetrics(SM_CYSCREEN); }
    int xVirtualScreen = 0;
    int yVirtualScreen = 0;
    int cxVirtualScreen = 0;
    int cyVirtualScreen = 0;
    int cyMenu = 0;
    // Milliseconds before the services start; 0 starts them at once.
    UINT startDelay = 0;
    HWND guardWindow = nullptr;
    HWND inkLayerWindow = nullptr;
    // The thread that made the guard window and the ink layer (the UI
    // thread): it alone moves, shows, hides and destroys them in place; the
    // pen-event thread's live ink asks it (asynchronous window calls).
    win::OwnerThread layerOwner{"ink layer and guard window"};
    HWND markupCtrlWindow = nullptr;
    HCURSOR markupCursor = nullptr;
    ULONG_PTR gdiplusToken = 0;
    // The second value of the last applyInkDriverParams (1 while a client inks).
    std::atomic<int> inkDriverMode{0};
};

AppGlobals& appGlobals();

LocalInkManager* getLocalInkManager();
HWND getServiceWindow();
HINSTANCE getInstance();
