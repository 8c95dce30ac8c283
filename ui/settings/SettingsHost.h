// The tabbed settings dialog "Scribix Settings": its host, which creates the
// pages lazily and runs their common Apply, Reset, OK and Cancel protocol,
// and what a page needs to take part.
//
// A page is a modeless child dialog (148 by 140 dialog units) listed in
// settingsPageTable(). Its dialog procedure:
//   WM_INITDIALOG  calls placeSettingsPage(page), then loads its controls from
//                  the settings in memory;
//   WM_COMMAND     with wParam kSettingsApply or kSettingsOk copies its controls
//                  into the settings in memory, with kSettingsReset reloads its
//                  controls, with kSettingsCancel (high word kept) drops its
//                  edits; lParam names the host's SettingsPageAnswer, preset
//                  to accepted: a page that cannot take its values refuses it
//                  (refusePageCommand). Any other process can send a page the
//                  same command, so a page takes only an answer the host made;
//   any user edit  calls markSettingsChanged(page) (edit boxes only on
//                  EN_CHANGE);
//   WM_DESTROY     frees what it holds and answers 0.
// After every Apply or OK the host writes the settings to the registry and
// gives the hook library its tablet mode.
//
// The thread that opens the dialog owns it and its pages until it closes:
// every function below that touches the dialog or its state is for that
// thread (checked runs fail loudly on another), except isSettingsDialogOpen.
#pragma once

#include <windows.h>

// Commands the host sends to its pages (WM_COMMAND's low word).
enum SettingsPageCommand : WORD {
    kSettingsApply = 3,
    kSettingsReset = 4,
    kSettingsCancel = 3002,
    kSettingsOk = 3003,
};

// One row of the page table.
struct SettingsPageRow {
    DLGPROC procedure;
    UINT titleId;                 // string-table id of the tab title
    const wchar_t* templateName;  // the page's dialog template
};

constexpr int kSettingsPageCount = 8;
// Pages 0 to 5 always; 6 ("Tuneup") and 7 ("Touch") only when the dialog is
// opened with Alt and Ctrl held.
const SettingsPageRow* settingsPageTable();
// Page indexes in the order Apply and OK reach them.
const int* settingsApplyOrder();

// The dialog is open (one at a time); any thread may ask.
bool isSettingsDialogOpen();
// Makes the page whose tab title has that string id the page shown first;
// false (nothing changed) when no page has it.
bool selectSettingsPageById(UINT titleId);
// Runs the modal dialog over `owner` (may be null) on the calling thread,
// which owns it while it runs; returns at once when it is open already.
void showSettingsDialog(HWND owner);
// What the service window does for its open-settings message: when the
// dialog is closed, selects the page `titleId` (0: the remembered one) and
// shows the dialog without owner.
void openSettingsDialog(int titleId);

// Gives the hook library its tablet mode from the settings: the tablet
// collector on a Tablet PC with "useTabletCollector", the allowed input
// types, and, with `superGesture`, the super gesture when it is allowed and
// can be made (a multi-touch digitizer, or a gesture other than 101).
void applyHookTabletMode(bool superGesture);

// ---- for the pages ----
// Moves the page to the top-left corner of the host's page area.
void placeSettingsPage(HWND page);
// A user change on a page: enables "&Apply" (not while a page is being
// created, so a page's own loading counts for nothing).
void markSettingsChanged(HWND page);
// The answer a page gives to one of the host's commands.
struct SettingsPageAnswer {
    bool accepted = true;
};
// True for a WM_COMMAND that is one of the host's page commands: those come
// with the host's answer in lParam, a control's command with the control's
// window. A command whose lParam is not an answer the host made and still
// waits for is no page command.
bool isSettingsPageCommand(WPARAM wParam, LPARAM lParam);
// A page refuses the command it was sent (the host then shows that page).
void refusePageCommand(LPARAM lParam);

// ---- state, for tests and the service window ----
// The index of the page shown first (remembered between openings).
int rememberedSettingsPage();
void setRememberedSettingsPage(int index);
// The number of pages of the current opening (6 or 8), 0 when closed.
int settingsPagesInUse();
// The host dialog while it is open.
HWND settingsDialogWindow();
// The page window of `index` while the dialog is open, or null (never shown
// yet, or destroyed by an Apply).
HWND settingsPageWindow(int index);
// Forces the number of pages of the next opening (0: decided by the keys
// held, as for the user); for tests, which cannot hold keys on every display.
void forceSettingsPageCount(int count);
