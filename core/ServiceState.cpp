#include "ServiceState.h"

// A function-local object, so that the service window's own reference to it
// is good whatever order the static objects are made in.
ServiceState& serviceState() {
    static ServiceState state;
    return state;
}

bool isMainMenuOpen() { return serviceState().mainMenuOpen; }
