#include "AppGlobals.h"

AppGlobals& appGlobals() {
    static AppGlobals globals;
    return globals;
}

LocalInkManager* getLocalInkManager() { return appGlobals().inkManager; }
HWND getServiceWindow() { return appGlobals().serviceWindow; }
HINSTANCE getInstance() { return appGlobals().instance; }
