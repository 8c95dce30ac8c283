// Defaults of the services other subsystems build (see PendingServices.h).
// Each owner moves the operations it builds out of this file.
#include "PendingServices.h"

#include "ServiceState.h"

void chooseProfileForLastFocus(const wchar_t*) {}

bool startInkBlotClient() { return true; }
void inkBlotFollowUp() {}

bool loadAppsFilter(const wchar_t*) { return false; }
bool appsFilterAllows(const wchar_t*, HWND, HWND, bool) { return true; }

unsigned long long getFirstUpdateDelay() { return 0; }
bool startUpdateThread(HWND) { return false; }
void checkForUpdateNow(HWND) {}
void showUpdateAutoCheck(LPARAM) {}

bool isWordListMenuOpen() { return false; }
bool isWordListMenuClient(const LocalClient*) { return false; }

bool isSettingsDialogOpen() { return false; }
void openSettingsDialog(int) {}
void showCustomizeDialog(int, HWND) {}
void openBindingPanel(HWND) {}
void closeBindingPanel() {}
void refreshBindingPanel() {}
