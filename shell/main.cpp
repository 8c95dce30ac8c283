// Scribix.exe: pen input over any application.
#include <windows.h>

#include "Startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, PWSTR commandLine, int showCommand) {
    return AppMain(instance, previous, commandLine, showCommand);
}
