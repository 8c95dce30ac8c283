// The update check: asks the maker's web endpoint by plain HTTP GET whether a
// newer version exists, automatically every few days on a worker thread and
// on demand from the program menu, and shows the answer in the update panel
// (open the download link, skip the offered version, remind later).
//
// The operations the shell drives (getFirstUpdateDelay, startUpdateThread,
// checkForUpdateNow, showUpdateAutoCheck) are declared in core/PendingServices.h.
#pragma once

#include <windows.h>

#include <string>

#include "core/PendingServices.h"

// wParam of message 3040 without an answer record: the automatic check made
// no offer; the service window re-arms timer 21 for the update period.
constexpr WPARAM UPDATE_ANSWER_REARM = 1;

// The answer of the endpoint; missing parts are empty.
struct UpdateInfo {
    std::wstring action;  // caption of the action button; "Latest" means no newer version
    std::wstring curVer;  // the version offered
    std::wstring Message;
    std::wstring Link;
};

// The request address: "<base>/?pr=ScribixPro&ver=<version>&op=autoChk&key=<id>"
// with the base `UpgURL` when set, else the default endpoint + "/upgrades".
bool buildUpdateRequest(std::wstring& address);

// The base the requests go to (the setting `UpgURL` or the default endpoint).
std::wstring updateRequestBase();

// GETs `address` and gives the body as text of the thread's code page. False
// (text emptied) on any failure: no connection, no content length, a body
// longer than announced, or reading longer than `timeoutMs`.
bool httpGetText(const std::wstring& address, std::wstring& text, DWORD timeoutMs);

// False when `text` is not XML or its root is not "update".
bool parseUpdateAnswer(const std::wstring& text, UpdateInfo& info);

// True when `link` may be opened for an answer that came from `base`: an
// http or https address whose host is the host of `base`. An answer arrives
// over plain HTTP, so anyone on the way could name any program or file.
bool isUpdateLinkAllowed(const std::wstring& link, const std::wstring& base);

// The automatic check's work without a thread (the update thread runs it);
// `window` receives timer 21 or message 3040. Tests call it directly.
void runAutomaticUpdateCheck(HWND window);

// The milliseconds the automatic check waits between failed fetches and the
// longest time it waits for the user to be idle; tests shorten them.
void setUpdateRetryDelays(DWORD retryMs, DWORD idleSleepMs);

// The update panel for `info`: the dialog "UPDATE_INFO" (autoCheck false) or
// "UPDATE_AUTOCHECK". The dialog's result.
INT_PTR showUpdatePanel(HWND owner, const UpdateInfo& info, bool autoCheck);

// Text operations other parts use.
void formatCurrentDate(std::wstring& text, LCID locale, DWORD flags);
void formatCurrentTime(std::wstring& text, LCID locale, DWORD flags);
void getWindowClassName(HWND window, wchar_t* text, int maxChars);

// What opens an allowed link (the shell's "open" by default); tests record it.
void setUpdateLinkOpener(bool (*opener)(const wchar_t* link));

// Stops the update thread: its sleeps end and a fetch in progress is cut
// off; waits at most `waitMs` for it to end. False when it is still running
// (it then stays stopped and no new check starts); true otherwise, and the
// checks may start again.
bool stopUpdateThread(DWORD waitMs);

// Whether the update thread may be made; false makes startUpdateThread take
// its path for a thread that cannot be made (tests).
void setUpdateThreadAllowed(bool allowed);
