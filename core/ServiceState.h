// The service window's state that the floors below the shell read and set:
// the markup flags the pen-event thread and live ink follow, the menu and
// pen-off bookkeeping. The service window owns it; it lives here so that
// those floors reach it without including the shell.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "win/Checks.h"

// State of the service window (UI thread, except the flags other threads read).
struct ServiceState {
    std::atomic<bool> markupMode{false};
    // Markup is drawn over a still snapshot of the screen.
    std::atomic<bool> snapshot{true};
    std::atomic<bool> autoPenOffPending{false};
    DWORD lastForegroundProcess = 0;
    HWND lastForeground = nullptr;
    bool penOffTickValid = false;
    DWORD lastPenOffTick = 0;  // last accepted 3052 with wParam 1
    bool mainBarRestoreValid = false;
    DWORD lastMainBarRestoreTick = 0;
    bool markupRaiseValid = false;
    DWORD lastMarkupRaiseTick = 0;
    bool captureCloseValid = false;
    DWORD lastCaptureCloseTick = 0;
    WPARAM tipsA = 0;
    LPARAM tipsB = 0;
    // Milliseconds of the update period still to wait after the armed step of timer 21.
    uint64_t updateWaitLeftMs = 0;
    bool traceCollection = false;
    HWND menuOwner = nullptr;
    // The thread that made the menu-owner window; others send it their menus.
    win::OwnerThread menuOwnerThread{"menu-owner window"};
    std::atomic<bool> mainMenuOpen{false};
};

ServiceState& serviceState();

// True while the main popup menu is open.
bool isMainMenuOpen();

// Asks the service window to toggle markup mode: posts 3050 with wParam 1
// while markup mode is off and 0 while it is on. False when there is no
// service window or the post failed.
bool postMarkupModeSwitch();
