// The application globals: process-wide values alive for the whole process.
// Other parts read them through the accessors below.
#pragma once

#include <windows.h>

#include <atomic>

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
};

AppGlobals& appGlobals();

LocalInkManager* getLocalInkManager();
HWND getServiceWindow();
HINSTANCE getInstance();
