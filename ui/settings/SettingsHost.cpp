#include "ui/settings/SettingsHost.h"

#include <commctrl.h>

#include <atomic>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "ink/LocalInkManager.h"
#include "resources/SettingsResources.h"
#include "ui/settings/SettingsPages.h"
#include "win/Checks.h"
#include "win/PostedRecord.h"

namespace {

const SettingsPageRow kPages[kSettingsPageCount] = {
    {GeneralPageProc, IDS_TAB_GENERAL, L"TABBED_GENERAL"},
    {InputPageProc, IDS_TAB_INPUT, L"TABBED_INPUT"},
    {InkPageProc, IDS_TAB_INK, L"TABBED_INK"},
    {WordMenuPageProc, IDS_TAB_WORDMENU, L"TABBED_WORD"},
    {MacrosPageProc, IDS_TAB_MACROS, L"TABBED_MACRO"},
    {RecoPageProc, IDS_TAB_RECO, L"TABBED_PROFILES"},
    {TuneupPageProc, IDS_TAB_TUNEUP, L"TABBED_TUNEUP"},
    {TouchPageProc, IDS_TAB_TOUCH, L"TABBED_TOUCH"},
};
const int kApplyOrder[kSettingsPageCount] = {0, 1, 3, 2, 4, 5, 6, 7};

constexpr int kIdOk = kSettingsOk;
constexpr int kIdCancel = kSettingsCancel;
constexpr int kIdApply = kSettingsApply;
constexpr int kIdReset = kSettingsReset;

constexpr char kHostName[] = "settings dialog";

// The dialog's state across openings. While the dialog is open it is its
// thread's (the one that made it); between openings no thread owns it. Only
// `open` is read from any thread.
struct HostGlobals {
    std::atomic<bool> open{false};
    win::OwnerThread owner{kHostName};
    int firstPage = 0;
    bool changesPending = false;
    bool creatingPage = false;
    int pagesInUse = 0;
    int forcedCount = 0;
    HWND dialog = nullptr;
};
HostGlobals g_host;

// One open dialog.
struct SettingsHost {
    HWND tab = nullptr;
    RECT display = {};
    HWND pages[kSettingsPageCount] = {};
    const DLGTEMPLATE* templates[kSettingsPageCount] = {};
};

SettingsHost* hostOf(HWND dialog) {
    return reinterpret_cast<SettingsHost*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

HINSTANCE resourceModule() {
    HINSTANCE module = getInstance();
    return module ? module : GetModuleHandleW(nullptr);
}

// The size of a dialog template in dialog units (both template forms).
SIZE templateSize(const DLGTEMPLATE* dialogTemplate) {
    const WORD* words = reinterpret_cast<const WORD*>(dialogTemplate);
    if (words[0] == 1 && words[1] == 0xFFFF) {
        // DLGTEMPLATEEX: version, signature, help id, ex style, style, items, x, y, cx, cy.
        const short* numbers = reinterpret_cast<const short*>(words + 2 + 2 + 2 + 2 + 1);
        return SIZE{numbers[2], numbers[3]};
    }
    return SIZE{dialogTemplate->cx, dialogTemplate->cy};
}

void enableApply(HWND dialog, bool enable) {
    HWND apply = GetDlgItem(dialog, kIdApply);
    const bool hadFocus = GetFocus() == apply;
    EnableWindow(apply, enable ? TRUE : FALSE);
    // A disabled button drops the focus, and with no focus the dialog would
    // hear no key (Escape, Enter): the focus goes to "&OK".
    if (!enable && (hadFocus || !GetFocus()) && GetActiveWindow() == dialog)
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, kIdOk)),
                     TRUE);
}

int selectedTab(const SettingsHost* host) {
    return static_cast<int>(SendMessageW(host->tab, TCM_GETCURSEL, 0, 0));
}

void showSettingsPage(HWND dialog) {
    SettingsHost* host = hostOf(dialog);
    if (!host) return;
    const int index = selectedTab(host);
    if (index < 0 || index >= g_host.pagesInUse) return;
    g_host.firstPage = index;
    for (int i = 0; i < g_host.pagesInUse; ++i)
        if (i != index && host->pages[i] && IsWindowVisible(host->pages[i]))
            ShowWindow(host->pages[i], SW_HIDE);
    g_host.creatingPage = true;
    if (!host->pages[index] && host->templates[index]) {
        host->pages[index] = CreateDialogIndirectParamW(resourceModule(), host->templates[index],
                                                        dialog, kPages[index].procedure, 0);
        if (!host->pages[index])
            debugTrace(L"showSettingsPage: page %d not created (error %lu)\n", index,
                       GetLastError());
    }
    if (host->pages[index]) {
        ShowWindow(host->pages[index], SW_SHOW);
        UpdateWindow(host->pages[index]);
    }
    g_host.creatingPage = false;
}

void selectTab(HWND dialog, int index) {
    SettingsHost* host = hostOf(dialog);
    if (host && index >= 0 && index < g_host.pagesInUse)
        SendMessageW(host->tab, TCM_SETCURSEL, index, 0);
}

// Sends a page command; the index of the first page that refused, -1 when
// pages accepted, -2 when no page was sent to. `accepted` marks each page that
// took the command.
int sendToSettingsPages(HWND dialog, WPARAM command, bool currentOnly,
                        bool accepted[kSettingsPageCount]) {
    SettingsHost* host = hostOf(dialog);
    for (int i = 0; i < kSettingsPageCount; ++i) accepted[i] = false;
    if (!host) return -2;
    auto sendTo = [&](int index) -> bool {
        SettingsPageAnswer answer;
        win::ScopedRecord<SettingsPageAnswer> record(&answer);
        SendMessageW(host->pages[index], WM_COMMAND, command, record.param());
        accepted[index] = answer.accepted;
        return answer.accepted;
    };
    if (currentOnly) {
        const int index = selectedTab(host);
        if (index < 0 || index >= g_host.pagesInUse || !host->pages[index]) return -2;
        return sendTo(index) ? -1 : index;
    }
    bool sent = false;
    for (int n = 0; n < g_host.pagesInUse; ++n) {
        const int index = kApplyOrder[n];
        if (!host->pages[index]) continue;
        sent = true;
        if (!sendTo(index)) return index;
    }
    return sent ? -1 : -2;
}

// Destroys the pages that took their values: shown again they are created
// afresh from the settings. A page that refused, and the pages the command
// never reached, keep their windows and with them the user's edits.
void destroyAppliedPages(HWND dialog, const bool accepted[kSettingsPageCount]) {
    SettingsHost* host = hostOf(dialog);
    if (!host) return;
    for (int i = 0; i < kSettingsPageCount; ++i) {
        if (accepted[i] && host->pages[i]) {
            DestroyWindow(host->pages[i]);
            host->pages[i] = nullptr;
        }
    }
}

bool anyPageKept(HWND dialog) {
    SettingsHost* host = hostOf(dialog);
    if (!host) return false;
    for (HWND page : host->pages)
        if (page) return true;
    return false;
}

// Writes the settings in memory to the registry and gives the hook library
// its tablet mode.
void saveSettings() {
    if (LocalInkManager* manager = getLocalInkManager())
        manager->savePenState();
    else
        writeGeneralSettings();
    writeWordListBarSettings();
    applyHookTabletMode(true);
}

// Places the dialog near the cursor, inside the cursor's monitor.
void placeNearCursor(HWND dialog) {
    RECT window = {};
    GetWindowRect(dialog, &window);
    const int width = window.right - window.left, height = window.bottom - window.top;
    POINT cursor = {};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof monitor;
    int x, y;
    if (GetCursorPos(&cursor) &&
        GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& area = monitor.rcWork;
        x = cursor.x - width / 2;
        y = cursor.y - height / 2;
        if (x + width > area.right) x = area.right - width;
        if (y + height > area.bottom) y = area.bottom - height;
        if (x < area.left) x = area.left;
        if (y < area.top) y = area.top;
    } else {
        x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
        y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    }
    SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool initSettingsHost(HWND dialog) {
    g_host.owner.adopt();
    SettingsHost* host = new SettingsHost();
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(host));
    g_host.dialog = dialog;
    HINSTANCE module = resourceModule();
    SIZE page = {0, 0};
    for (int i = 0; i < g_host.pagesInUse; ++i) {
        HRSRC found = FindResourceW(module, kPages[i].templateName, RT_DIALOG);
        HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
        host->templates[i] =
            loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
        if (!host->templates[i]) {
            debugTrace(L"initSettingsHost: no template %s\n", kPages[i].templateName);
            continue;
        }
        const SIZE size = templateSize(host->templates[i]);
        if (size.cx > page.cx) page.cx = size.cx;
        if (size.cy > page.cy) page.cy = size.cy;
    }
    RECT pageRect = {0, 0, page.cx + 1, page.cy};
    MapDialogRect(dialog, &pageRect);

    static bool classesRegistered = false;
    if (!classesRegistered) {
        INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
        classesRegistered = InitCommonControlsEx(&controls) != FALSE;
    }
    RECT unit = {0, 0, 4, 8};  // one base unit in dialog units
    MapDialogRect(dialog, &unit);
    const int baseX = unit.right, baseY = unit.bottom;
    host->tab = CreateWindowExW(
        0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_MULTILINE, 0, 0,
        pageRect.right + baseX, pageRect.bottom + 2 * baseY, dialog, nullptr, module, nullptr);
    if (!host->tab) return false;
    SendMessageW(host->tab, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
    for (int i = 0; i < g_host.pagesInUse; ++i) {
        wchar_t title[65] = {};
        LoadStringW(module, kPages[i].titleId, title, 64);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = title;
        SendMessageW(host->tab, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    // The tab control's rectangle around the page area, moved in from the
    // dialog's corner; the pages go into the area it shows inside itself.
    RECT tabRect = pageRect;
    SendMessageW(host->tab, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
    OffsetRect(&tabRect, baseX / 2 - tabRect.left, baseY - tabRect.top);
    SetWindowPos(host->tab, HWND_BOTTOM, tabRect.left, tabRect.top, tabRect.right - tabRect.left,
                 tabRect.bottom - tabRect.top, 0);
    host->display = tabRect;
    SendMessageW(host->tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&host->display));

    // The buttons one base unit below the tab control, with equal gaps.
    const int ids[4] = {kIdOk, kIdCancel, kIdApply, kIdReset};
    RECT button = {};
    GetWindowRect(GetDlgItem(dialog, kIdOk), &button);
    const int buttonWidth = button.right - button.left, buttonHeight = button.bottom - button.top;
    const int gap = (tabRect.right - tabRect.left - 4 * buttonWidth) / 3;
    for (int i = 0; i < 4; ++i)
        SetWindowPos(GetDlgItem(dialog, ids[i]), nullptr, tabRect.left + i * (buttonWidth + gap),
                     tabRect.bottom + baseY, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const int width = tabRect.right + 2 * GetSystemMetrics(SM_CXDLGFRAME) + baseY;
    const int height = GetSystemMetrics(SM_CYCAPTION) +
                       2 * (GetSystemMetrics(SM_CYDLGFRAME) + baseY) + buttonHeight +
                       tabRect.bottom;
    SetWindowPos(dialog, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    placeNearCursor(dialog);

    if (g_host.firstPage >= 0 && g_host.firstPage < g_host.pagesInUse)
        selectTab(dialog, g_host.firstPage);
    showSettingsPage(dialog);
    g_host.changesPending = false;
    enableApply(dialog, false);
    return true;
}

void onApply(HWND dialog) {
    bool accepted[kSettingsPageCount];
    const int refused = sendToSettingsPages(dialog, kIdApply, false, accepted);
    if (refused >= 0) selectTab(dialog, refused);
    destroyAppliedPages(dialog, accepted);
    showSettingsPage(dialog);
    // Pages that refused or were not reached still hold edits to apply.
    g_host.changesPending = refused >= 0 && anyPageKept(dialog);
    enableApply(dialog, g_host.changesPending);
    saveSettings();
}

void onOk(HWND dialog) {
    bool accepted[kSettingsPageCount];
    const int refused = sendToSettingsPages(dialog, kIdOk, false, accepted);
    saveSettings();
    if (refused >= 0) {
        destroyAppliedPages(dialog, accepted);
        selectTab(dialog, refused);
        showSettingsPage(dialog);
        g_host.changesPending = true;
        enableApply(dialog, true);
        return;
    }
    EndDialog(dialog, 1);
}

void onCancel(HWND dialog, WPARAM wParam) {
    bool accepted[kSettingsPageCount];
    sendToSettingsPages(dialog, MAKEWPARAM(kIdCancel, HIWORD(wParam)), false, accepted);
    EndDialog(dialog, 2);
}

INT_PTR CALLBACK SettingsHostDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            if (!initSettingsHost(dialog)) {
                debugTrace(L"SettingsHostDlgProc: no tab control\n");
                EndDialog(dialog, -1);
            }
            return FALSE;
        case WM_NOTIFY: {
            const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
            SettingsHost* host = hostOf(dialog);
            if (host && header->hwndFrom == host->tab && header->code == TCN_SELCHANGE)
                showSettingsPage(dialog);
            return FALSE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kIdApply:
                    onApply(dialog);
                    return TRUE;
                case kIdOk:
                    onOk(dialog);
                    return TRUE;
                case kIdReset: {
                    bool accepted[kSettingsPageCount];
                    sendToSettingsPages(dialog, kIdReset, true, accepted);
                    g_host.changesPending = true;
                    enableApply(dialog, true);
                    return TRUE;
                }
                case kIdCancel:
                    onCancel(dialog, wParam);
                    return TRUE;
                case IDCANCEL:
                    // Escape or the close box: only when nothing waits to be applied.
                    if (!IsWindowEnabled(GetDlgItem(dialog, kIdApply))) onCancel(dialog, wParam);
                    return TRUE;
            }
            return FALSE;
        case WM_DESTROY: {
            SettingsHost* host = hostOf(dialog);
            SetWindowLongPtrW(dialog, DWLP_USER, 0);
            if (host) {
                for (HWND& page : host->pages)
                    if (page) DestroyWindow(page), page = nullptr;
                delete host;
            }
            g_host.dialog = nullptr;
            return FALSE;
        }
    }
    return FALSE;
}

}  // namespace

const SettingsPageRow* settingsPageTable() { return kPages; }
const int* settingsApplyOrder() { return kApplyOrder; }

bool isSettingsDialogOpen() { return g_host.open; }

bool selectSettingsPageById(UINT titleId) {
    g_host.owner.check("selectSettingsPageById");
    for (int i = 0; i < kSettingsPageCount; ++i) {
        if (kPages[i].titleId == titleId) {
            g_host.firstPage = i;
            return true;
        }
    }
    return false;
}

void applyHookTabletMode(bool superGesture) {
    const GeneralSettings& settings = generalSettings();
    const int tabletCollector =
        GetSystemMetrics(SM_TABLETPC) != 0 && settings.useTabletCollector ? 1 : 0;
    if (!superGesture) {
        hookLibrary().setHookTabletMode(tabletCollector, settings.allowedInputType, 0, 0, nullptr);
        return;
    }
    const int superFlag =
        settings.superGestureAllowed && ((GetSystemMetrics(SM_DIGITIZER) & NID_MULTI_INPUT) != 0 ||
                                         settings.superGestureID != 101)
            ? 1
            : 0;
    hookLibrary().setHookTabletMode(tabletCollector, settings.allowedInputType, superFlag,
                                    settings.superGestureID, &settings.superGestureScreenArea);
}

void showSettingsDialog(HWND owner) {
    // One dialog at a time, whichever threads ask at once.
    if (g_host.open.exchange(true)) return;
    LocalInkManager* manager = getLocalInkManager();
    if (manager && isBarMasterRegistered()) {
        if (HWND service = getServiceWindow()) PostMessageW(service, WM_INK_BINDING_PANEL, 0, 0);
    }
    if (manager) manager->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
    const bool altAndCtrl =
        (GetAsyncKeyState(VK_MENU) & 0x8000) != 0 && (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0;
    g_host.pagesInUse = g_host.forcedCount ? g_host.forcedCount : (altAndCtrl ? 8 : 6);
    {
        MouseTransparentScope transparent;
        const INT_PTR result =
            DialogBoxParamW(resourceModule(), L"TABBED_MAIN", owner, SettingsHostDlgProc, 0);
        if (result == -1) debugTrace(L"showSettingsDialog: the dialog did not run\n");
    }
    g_host.pagesInUse = 0;
    g_host.owner = win::OwnerThread(kHostName);
    g_host.open = false;
    // The program may have been closed while the dialog ran: its ink manager
    // is gone then, and the dialog ended with the message loop.
    if (LocalInkManager* after = getLocalInkManager())
        after->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

void openSettingsDialog(int titleId) {
    if (g_host.open) return;
    if (titleId != 0) selectSettingsPageById(static_cast<UINT>(titleId));
    showSettingsDialog(nullptr);
}

bool isSettingsPageCommand(WPARAM wParam, LPARAM lParam) {
    const WORD id = LOWORD(wParam);
    return (id == kSettingsApply || id == kSettingsOk || id == kSettingsReset) &&
           win::peekRecord<SettingsPageAnswer>(lParam) != nullptr;
}

void refusePageCommand(LPARAM lParam) {
    if (SettingsPageAnswer* answer = win::peekRecord<SettingsPageAnswer>(lParam))
        answer->accepted = false;
}

void placeSettingsPage(HWND page) {
    g_host.owner.check("placeSettingsPage");
    HWND dialog = GetParent(page);
    SettingsHost* host = dialog && dialog == g_host.dialog ? hostOf(dialog) : nullptr;
    if (!host) return;
    SetWindowPos(page, HWND_TOP, host->display.left, host->display.top, 0, 0, SWP_NOSIZE);
}

void markSettingsChanged(HWND page) {
    g_host.owner.check("markSettingsChanged");
    if (g_host.creatingPage || !page || !GetParent(page) || g_host.changesPending) return;
    g_host.changesPending = true;
    if (g_host.dialog) enableApply(g_host.dialog, true);
}

int rememberedSettingsPage() {
    g_host.owner.check("rememberedSettingsPage");
    return g_host.firstPage;
}
void setRememberedSettingsPage(int index) {
    g_host.owner.check("setRememberedSettingsPage");
    g_host.firstPage = index;
}
int settingsPagesInUse() {
    g_host.owner.check("settingsPagesInUse");
    return g_host.pagesInUse;
}
HWND settingsDialogWindow() {
    g_host.owner.check("settingsDialogWindow");
    return g_host.dialog;
}
HWND settingsPageWindow(int index) {
    g_host.owner.check("settingsPageWindow");
    SettingsHost* host = g_host.dialog ? hostOf(g_host.dialog) : nullptr;
    return host && index >= 0 && index < kSettingsPageCount ? host->pages[index] : nullptr;
}
void forceSettingsPageCount(int count) {
    g_host.owner.check("forceSettingsPageCount");
    g_host.forcedCount = count;
}
