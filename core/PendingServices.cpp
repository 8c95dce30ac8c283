// Defaults of the services other subsystems build (see PendingServices.h).
// Each owner moves the operations it builds out of this file.
#include "PendingServices.h"

#include "ServiceState.h"

void chooseProfileForLastFocus(const wchar_t*) {}

LRESULT CALLBACK MarkupCtrlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

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

int showPunctuationPopup(void*, HWND, POINT, int) { return 0; }
int showColourPopup(void*, HWND, POINT) { return 0; }
void showPunctuationMenuForFocus() {}

void showMarkupCustomizeDialog(HWND) {}
