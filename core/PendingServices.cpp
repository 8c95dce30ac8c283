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


void createMarkupBar() {}
bool markupBarExists() { return false; }
HWND markupBarWindow() { return nullptr; }
LocalClient* markupBarClient() { return nullptr; }
void setMarkupBarAboveLayer(bool) {}
void switchMarkupMode(bool on) { serviceState().markupMode = on; }
bool markupBarWillShowMainBar() { return false; }
LRESULT passToMarkupBar(WPARAM, LPARAM) { return 0; }
void setMarkupPenColor(COLORREF) {}
void setMarkupPenWidth(int) {}
void setMarkupPenType(int) {}
void setMarkupColorEntry(int) {}
void startMarkupCapture() {}
void handMarkupClip(LPARAM) {}
void toggleShapeEnhancer() {}
void makeSnapshot() {}


bool isSettingsDialogOpen() { return false; }
void openSettingsDialog(int) {}
void showCustomizeDialog(int, HWND) {}
void openBindingPanel(HWND) {}
void closeBindingPanel() {}
void refreshBindingPanel() {}
