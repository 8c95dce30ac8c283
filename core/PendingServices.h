// Services of other subsystems that the shell drives, reached through the
// operations their owners name and define (ink, ui and the shell itself).
// Only the shell and the floors that define an operation call it: a lower
// floor that needs one reaches it through the shell's link (ShellLink.h).
#pragma once

#include <windows.h>

class LocalClient;

// --- System client ---
// Tick of the last delivery of a result (system client, word-list menu).
DWORD getLastResultDeliveryTick();
// Forgets the name of the profile chosen for the last writing.
void forgetLastWritingProfile();
// The recognition thread's priority (a thread priority, not a setting).
void setRecognitionThreadPriority(int priority);

// --- Recognizer manager and profiles ---
// Drops the pending profile choice up to `level`.
void clearPendingProfileChoice(int level);
// Shows the profile choice for the last focus window under `prompt` and makes
// the chosen profile the pending choice.
void chooseProfileForLastFocus(const wchar_t* prompt);

// --- Ink clients ---
bool startInkBlotClient();
// Timer 19 of the service window: the ink-blot client's follow-up step.
void inkBlotFollowUp();
bool startSystemClient(HINSTANCE instance);

// --- Markup control window ---
LRESULT CALLBACK MarkupCtrlWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// --- Application filter ---
bool loadAppsFilter(const wchar_t* path);
bool appsFilterAllows(const wchar_t* modulePath, HWND focusWindow, HWND windowUnderPen,
                      bool editInFocus);

// --- Update check ---
// Milliseconds until the next automatic check (64 bits: periods of many days).
unsigned long long getFirstUpdateDelay();
bool startUpdateThread(HWND window);
void checkForUpdateNow(HWND owner);
// Shows the automatic check's answer (message 3040) and frees it; false (and
// nothing shown) when the argument names no answer this process made.
bool showUpdateAutoCheck(LPARAM answer);

// --- Bars and menus ---
void loadBarSettings();
bool isBarMasterRegistered();
void postToBarMaster(UINT code, WPARAM wParam, LPARAM lParam);
// The number of bars and menus running modally now.
LONG openModalBarCount();
LRESULT CALLBACK MenuBarWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool isWordListMenuOpen();
// True for the word-list menu's own ink client.
bool isWordListMenuClient(const LocalClient* client);

// --- Main bar ---
void showMainBar(bool show);
// Tells the main bar, when it exists, an ink-client event (main thread).
void notifyMainBar(int event);
// Wakes a hidden or faded main bar for `ms` (the notification icon's mouse move).
void wakeMainBar(int ms);
void restoreMainBar();
// The main bar (or, in markup mode, the markup bar) redraws its buttons.
void refreshBarButtons();

// --- Markup bar and markup mode ---
void createMarkupBar();
bool markupBarExists();
HWND markupBarWindow();
// The markup bar's own ink client (null without the bar).
LocalClient* markupBarClient();
// The markup bar is told whether it stands above the shown ink layer.
void setMarkupBarAboveLayer(bool above);
// Enters or leaves markup mode; the service window's markup flag follows.
void switchMarkupMode(bool on);
// The markup bar keeps the main bar hidden and will show it again afterwards.
bool markupBarWillShowMainBar();
LRESULT passToMarkupBar(WPARAM wParam, LPARAM lParam);
void setMarkupPenColor(COLORREF color);
void setMarkupPenWidth(int width);
void setMarkupPenType(int type);
void setMarkupColorEntry(int index);
void startMarkupCapture();
void handMarkupClip(LPARAM clip);
void toggleShapeEnhancer();
void makeSnapshot();

// --- Punctuation and colour bars ---
// The punctuation bar as a modal pop-up; the value picked (0 none).
int showPunctuationPopup(void* ownerList, HWND window, POINT position, int mode);
// The colour bar as a modal pop-up for a command record; 0 when one is open already.
int showColourPopup(void* ownerList, HWND window, POINT position);
void showPunctuationMenuForFocus();

// --- Settings dialogs and the binding panel ---
bool isSettingsDialogOpen();
void openSettingsDialog(int page);
void showCustomizeDialog(int resourceId, HWND owner);
// The markup bar's customization dialog (resource 256) over `owner`.
void showMarkupCustomizeDialog(HWND owner);
void openBindingPanel(HWND serviceWindow);
void closeBindingPanel();
void refreshBindingPanel();
