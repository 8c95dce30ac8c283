#include "ServiceState.h"

#include "core/AppGlobals.h"
#include "core/ServiceMessages.h"

// A function-local object, so that the service window's own reference to it
// is good whatever order the static objects are made in.
ServiceState& serviceState() {
    static ServiceState state;
    return state;
}

bool isMainMenuOpen() { return serviceState().mainMenuOpen; }

bool postMarkupModeSwitch() {
    HWND service = getServiceWindow();
    return service &&
           PostMessageW(service, WM_INK_MARKUP_SWITCH, serviceState().markupMode ? 0 : 1, 0);
}
