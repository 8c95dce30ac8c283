#include "ServiceWindow.h"

#include <shellapi.h>
#include <windowsx.h>

#include <string>
#include <vector>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "ink/IconsManager.h"
#include "ink/LocalInkManager.h"
#include "core/PendingServices.h"
#include "ink/InkCollectorBridge.h"
#include "core/RegisteredMessages.h"
#include "core/ServiceMessages.h"
#include "core/ServiceWork.h"
#include "core/Settings.h"
#include "Splash.h"
#include "Startup.h"
#include "Stickers.h"
#include "UpdateCheck.h"
#include "core/SystemHooks.h"
#include "core/Trace.h"
#include "ink/KeyboardOutput.h"
#include "ink/LiveInk.h"
#include "ink/MouseEmulation.h"
#include "ink/PenEventThread.h"
#include "ink/RecResult.h"
#include "ink/SelectionCorrection.h"
#include "ink/TargetText.h"
#include "resources/resource.h"
#include "win/Dialog.h"
#include "win/WinString.h"
#include "win/Window.h"
#include "recognition/LanguageTables.h"
#include "recognition/ProfileChooser.h"
#include "recognition/RecMgr.h"
#include "ui/binding/BindPanel.h"
#include "ui/menus/PureTextMenu.h"

namespace {

ServiceState& g_state = serviceState();
HANDLE g_queueEvent = nullptr;  // "InkDriverQueueEvent", opened on first use
HBITMAP g_menuPictures = nullptr;

constexpr DWORD kDoublePenOffMs = 2000;
constexpr UINT kCaptureCloseWaitMs = 1000;
constexpr DWORD kQuietBeforeUpdateMs = 20000;
constexpr UINT kUpdateRetryMs = 300000;
// The longest interval a system timer holds (USER_TIMER_MAXIMUM).
constexpr uint64_t kLongestTimerMs = 0x7FFFFFFF;

DWORD systemTicks() { return GetTickCount(); }
DWORD (*g_clock)() = systemTicks;

DWORD now() { return g_clock(); }

bool started() { return appGlobals().servicesStarted; }

bool keyDown(int key) { return (GetAsyncKeyState(key) & 0x8000) != 0; }

DWORD processOf(HWND window) {
    DWORD pid = 0;
    if (window) GetWindowThreadProcessId(window, &pid);
    return pid;
}

// True when `tick` is set and less than `span` ms ago.
bool within(bool valid, DWORD tick, DWORD span) { return valid && now() - tick < span; }

void removeQueued(HWND window, UINT message) {
    MSG msg;
    while (PeekMessageW(&msg, window, message, message, PM_REMOVE)) {
    }
}

// ---- the registered command message ----

LRESULT setPenAttribute(UINT code, LPARAM argument) {
    LocalInkManager* manager = getLocalInkManager();
    const bool markupBar = g_state.markupMode && markupBarExists();
    const int type = argument == 1 ? 1 : argument == 2 ? 3 : 2;
    if (markupBar) {
        if (code == 7) setMarkupPenColor(static_cast<COLORREF>(argument));
        if (code == 8) setMarkupPenWidth(static_cast<int>(argument));
        if (code == 9) setMarkupPenType(type);
        return 0;
    }
    if (!manager) return 0;
    PenState pen = manager->getPenState();
    if (code == 7) pen.color = static_cast<COLORREF>(argument);
    if (code == 8) pen.width = static_cast<int>(argument);
    if (code == 9) pen.type = type;
    manager->setPenState(pen, false);
    return 0;
}

// ---- private messages ----

LRESULT onForegroundChanged(HWND window, WPARAM wParam) {
    HWND foreground = reinterpret_cast<HWND>(wParam);
    if (!started() || (foreground && !IsWindow(foreground)))
        return DefWindowProcW(window, WM_INK_FOREGROUND_CHANGED, wParam, 0);
    LocalInkManager* manager = getLocalInkManager();
    if (appGlobals().inkDriverMode == 0 && manager && !manager->isMouseTransparent() &&
        now() - getLastResultDeliveryTick() > 700)
        setCurrentRecResult(nullptr, true, true);
    HWND last = hookLibrary().getLastForegroundWindow();
    const DWORD pid = processOf(foreground);
    if (last != g_state.lastForeground || pid != g_state.lastForegroundProcess) {
        clearPendingProfileChoice(1);
        g_state.lastForeground = last;
        g_state.lastForegroundProcess = pid;
    }
    if (!g_state.markupMode || !g_state.snapshot || pid == GetCurrentProcessId()) {
        if (!isBarMasterRegistered())
            stickers().clear();
        else
            refreshBindingPanel();
        return 1;
    }
    // Snapshot markup while another application came to the front.
    if (within(g_state.captureCloseValid, g_state.lastCaptureCloseTick, 1000))
        raiseMarkupWindows();
    else
        PostMessageW(window, WM_INK_MARKUP_SWITCH, 0, 0);
    return 0;
}

LRESULT onPenDown(HWND window, WPARAM wParam, LPARAM lParam) {
    if (!started()) return 0;
    stickers().clear();
    GeneralSettings& settings = generalSettings();
    if (settings.markupAvailable && keyDown(VK_CONTROL) && keyDown(VK_SHIFT)) {
        switchMarkupMode(true);
        if (g_state.snapshot) return 0;
    }
    HookLibrary& hooks = hookLibrary();
    HWND focus = hooks.getLastFocusWindow();
    HWND underPen = reinterpret_cast<HWND>(wParam);
    if (settings.useAppFilters && !g_state.markupMode) {
        if (const wchar_t* module = hooks.getTargetModuleName()) {
            if (!appsFilterAllows(module, focus, underPen, hooks.isEditTextInFocus() != 0))
                return 0;
        }
    }
    updateScreenMetrics();
    const DWORD pid = processOf(underPen);
    if ((pid == 0 || pid != GetCurrentProcessId()) && isSettingsDialogOpen()) return 0;
    LocalInkManager* manager = getLocalInkManager();
    if (!manager) return 0;
    const int x = GET_X_LPARAM(lParam), y = GET_Y_LPARAM(lParam);
    LocalClient* client = manager->findClientAt(focus, x, y);
    if (!client) {
        if (g_state.autoPenOffPending) {
            g_state.autoPenOffPending = false;
            manager->setPenOn(0);
        }
        return 0;
    }
    if (g_state.autoPenOffPending && !isWordListMenuClient(client)) {
        g_state.autoPenOffPending = false;
        manager->setPenOn(0);
        manager->broadcastEvent(INK_EVENT_ACCEPTED, 0);
        return 0;
    }
    manager->activateClient(client, focus, x, y);
    if (!manager->beginActiveInk()) return 0;
    return g_state.markupMode ? 1 : 2;
}

LRESULT onQueueEvent() {
    if (!g_queueEvent) g_queueEvent = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"InkDriverQueueEvent");
    if (g_queueEvent) SetEvent(g_queueEvent);
    return 1;
}

LRESULT onMessageForClient(WPARAM wParam) {
    const wchar_t* left = hookLibrary().getMessageToClientAddress();
    if (!left) return 1;
    // A copy of at most 1023 characters: the library's buffer is not ours.
    wchar_t text[1024];
    lstrcpynW(text, left, 1024);
    if (wParam == 0)
        showMessage(text);
    else
        debugTrace(L"%s", text);
    return 1;
}

LRESULT onEscape(HWND window) {
    if (!started()) return DefWindowProcW(window, WM_INK_ESCAPE, 0, 0);
    if (openModalBarCount() > 0) {
        PostMessageW(window, WM_INK_CLOSE_MODAL_BAR, 0, 0);
    } else if (isBarMasterRegistered()) {
        closeBindingPanel();
    } else if (g_state.markupMode) {
        if (!g_state.snapshot) {
            switchMarkupMode(false);
            if (openModalBarCount() > 0) PostMessageW(window, WM_INK_CLOSE_MODAL_BAR, 0, 0);
        } else {
            HWND markupCtrl = appGlobals().markupCtrlWindow;
            HWND foreground = GetForegroundWindow();
            if (!foreground || processOf(foreground) != GetCurrentProcessId() ||
                GetFocus() != markupCtrl) {
                if (HWND capture = FindWindowW(L"sxScreenCaptureCtrl", nullptr)) {
                    g_state.lastCaptureCloseTick = now();
                    g_state.captureCloseValid = true;
                    // Sent, so that the control has closed before the markup
                    // windows come up; a control that hangs is not waited for.
                    DWORD_PTR ignored = 0;
                    SendMessageTimeoutW(capture, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                                        kCaptureCloseWaitMs, &ignored);
                    SetForegroundWindow(markupCtrl);
                    raiseMarkupWindows();
                } else {
                    switchMarkupMode(false);
                }
            }
        }
    }
    // A burst of Escape presses acts once.
    removeQueued(window, WM_INK_ESCAPE);
    return DefWindowProcW(window, WM_INK_ESCAPE, 0, 0);
}

LRESULT onMouseAction(WPARAM wParam, LPARAM lParam) {
    const AppGlobals& g = appGlobals();
    const DWORD w = static_cast<DWORD>(wParam), l = static_cast<DWORD>(lParam);
    const int x1 = static_cast<int>((w >> 16) & 0x7FFF) + g.xVirtualScreen;
    const int y1 = static_cast<int>(w & 0xFFFF) + g.yVirtualScreen;
    const int x2 = static_cast<int>((l >> 16) & 0x7FFF) + g.xVirtualScreen;
    const int y2 = static_cast<int>(l & 0x7FFF) + g.yVirtualScreen;
    ULONG_PTR down = 0, up = 0;
    if (l & 0x80000000u) {
        down = kMouseDownMarker;
        up = kMouseUpMarker;
    } else if (l & 0x8000u) {
        down = up = kMouseOtherMarker;
    }
    startMouseEventsGenerator(x1, y1, x2, y2, (w & 0x80000000u) != 0, down, up);
    return 0;
}

LRESULT createMenuOwner(HWND service) {
    if (g_state.menuOwner && IsWindow(g_state.menuOwner))
        return reinterpret_cast<LRESULT>(g_state.menuOwner);
    const AppGlobals& g = appGlobals();
    g_state.menuOwnerThread.adopt();
    g_state.menuOwner = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
                                        L"VexaInkServiceMenuOwnerClass", L"VexaInkServiceMenuOwner",
                                        WS_POPUP, g.xVirtualScreen - 100, g.yVirtualScreen - 100, 1,
                                        1, nullptr, nullptr, getInstance(), nullptr);
    return reinterpret_cast<LRESULT>(g_state.menuOwner);
}

LRESULT onOutputRecord(LPARAM lParam) {
    // Only a record this process made: any program can post the number.
    const std::unique_ptr<OutputRecord> record = win::takeRecord<OutputRecord>(lParam);
    if (!record) return 0;
    if (record->target && record->typed) PostMessageW(record->target, WM_NULL, 0x3034, 0);
    int value =
        showPunctuationPopup(record->ownerList, record->target, record->position, record->mode);
    if (value != 0 && record->typed) {
        HKL layout = hookLibrary().askLastFocusKeyboardLayout();
        typeBarAnswer(value, layout);
        setCurrentRecResult(nullptr, true, true);
    }
    return 0;
}

LRESULT onCommandRecord(LPARAM lParam) {
    const std::unique_ptr<CommandRecord> record = win::takeRecord<CommandRecord>(lParam);
    if (!record) return 0;
    const bool plainMarkup = g_state.markupMode && !g_state.snapshot;
    int answer = 0;
    {
        MouseTransparentScope transparent(plainMarkup);
        const DWORD position = static_cast<DWORD>(record->argument2);
        POINT at = {static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
        answer = showColourPopup(reinterpret_cast<void*>(record->code),
                                 reinterpret_cast<HWND>(record->argument1), at);
    }
    if (answer > 0) setMarkupColorEntry(answer - 1);
    if (plainMarkup) resetPenInputQueue();
    return answer;
}

bool markupBarCovered(HWND bar) {
    RECT r;
    if (!GetWindowRect(bar, &r)) return false;
    POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    HWND top = WindowFromPoint(centre);
    return top && GetAncestor(top, GA_ROOT) != bar;
}

LRESULT onPenOffRequest(HWND window, WPARAM wParam) {
    if (!started()) return DefWindowProcW(window, WM_INK_PEN_OFF_REQUEST, wParam, 0);
    const DWORD tick = now();
    if (wParam == 1) {
        if (within(g_state.penOffTickValid, g_state.lastPenOffTick, kDoublePenOffMs)) {
            PostMessageW(window, WM_CLOSE, 0, 0);
            return DefWindowProcW(window, WM_INK_PEN_OFF_REQUEST, wParam, 0);
        }
        g_state.lastPenOffTick = tick;
        g_state.penOffTickValid = true;
        applyInkDriverParams(0, 0, 1, 0, 0, 0, 0, 0);
        PostMessageW(window, registeredMessages().command, 1, 0);
    }
    if (!g_state.markupMode) {
        if (generalSettings().showToolbar &&
            !within(g_state.mainBarRestoreValid, g_state.lastMainBarRestoreTick, 1001)) {
            restoreMainBar();
            g_state.lastMainBarRestoreTick = tick;
            g_state.mainBarRestoreValid = true;
        }
    } else if (markupBarExists()) {
        HWND bar = markupBarWindow();
        if (IsWindowVisible(bar) && markupBarCovered(bar) &&
            (wParam == 0 || !within(g_state.markupRaiseValid, g_state.lastMarkupRaiseTick, 2001))) {
            SetWindowPos(bar, HWND_TOPMOST, 0, 0, 0, 0, 0x53);
            if (wParam == 2) {
                g_state.lastMarkupRaiseTick = tick;
                g_state.markupRaiseValid = true;
            }
        }
    }
    return DefWindowProcW(window, WM_INK_PEN_OFF_REQUEST, wParam, 0);
}

LRESULT onLayerShow() {
    const AppGlobals& g = appGlobals();
    if (g.windowsGeneration == 3) return 0;
    g.layerOwner.check("shown");
    const UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS;
    if (g.inkLayerWindow) SetWindowPos(g.inkLayerWindow, HWND_TOP, 0, 0, 0, 0, flags);
    if (g.guardWindow && g.inkLayerWindow)
        SetWindowPos(g.guardWindow, g.inkLayerWindow, 0, 0, 0, 0, flags);
    emptyInkLayerDirtyRect();
    if (g.inkLayerWindow) SendMessageW(g.inkLayerWindow, WM_INK_LAYER_SHOW, 0, 0);
    return reinterpret_cast<LRESULT>(g.inkLayerWindow);
}

LRESULT onSetPen(HWND window, WPARAM wParam, LPARAM lParam) {
    debugTrace(L"-----WM_INK_SETPEN:\n");
    if (isBarMasterRegistered()) {
        closeBindingPanel();
        return DefWindowProcW(window, WM_INK_SETPEN, wParam, lParam);
    }
    if (g_state.markupMode) {
        PostMessageW(window, WM_INK_MARKUP_SWITCH, 0, 0);
        return DefWindowProcW(window, WM_INK_SETPEN, wParam, lParam);
    }
    LocalInkManager* manager = getLocalInkManager();
    if (!manager) return 0;
    const int on = manager->getPenState().penOn;
    if (lParam != 0)
        manager->setPenOn(on ? 0 : 1);
    else if (wParam != 0 && !on)
        manager->setPenOn(static_cast<int>(wParam));
    else if (wParam == 0 && on)
        manager->setPenOn(0);
    return 0;
}

}  // namespace

// The profile in force for the last focus window is marked in the profile
// choice menu; the chosen one becomes the pending choice with the scope of
// the setting. The filter entry of the menu saves the filter itself.
void chooseProfileForLastFocus(const wchar_t* prompt) {
    std::wstring current;
    getProfileForWindow(nullptr, current, false, true);
    std::wstring name;
    bool filterToggled = false;
    if (chooseProfileMenu(prompt, current, name, &filterToggled) && !filterToggled)
        getRecMgr().profileChooser().setChoice(name.c_str(), -1);
}

namespace {

// wParam 1: a macro's {UseProfile:?}, titled with the first two letters of
// the language's name ("En", "Ge"); else the main menu's entry, with the
// two-letter code of the layout's language ("en", "de").
LRESULT onChooseProfile(WPARAM fromMacro) {
    HKL layout = hookLibrary().askLastFocusKeyboardLayout();
    wchar_t language[16] = L"";
    if (fromMacro == 1) {
        std::wstring name;
        getLanguageName(reinterpret_cast<UINT_PTR>(layout), name, true);
        lstrcpynW(language, name.c_str(), 16);
    } else {
        const LCID locale = MAKELCID(LOWORD(reinterpret_cast<UINT_PTR>(layout)), SORT_DEFAULT);
        if (!GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, language, 16)) language[0] = L'\0';
    }
    const std::wstring prompt = win::format(L"Choose profile (%.2ls):", language);
    chooseProfileForLastFocus(prompt.c_str());
    return 0;
}

LRESULT onDisplayChanged(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    debugTrace(message == WM_SETTINGCHANGE   ? L"InkService: WM_SETTINGCHANGE\n"
               : message == WM_DISPLAYCHANGE ? L"InkService: WM_DISPLAYCHANGE\n"
                                             : L"InkService: WM_INK_DELAYED_CONFIG_CHG\n");
    updateScreenMetrics();
    hookLibrary().resetInkDriverSystemParams();
    if (LocalInkManager* manager = getLocalInkManager()) {
        manager->broadcastEvent(INK_EVENT_DISPLAY_CHANGED, 0);
        manager->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
    }
    if (isTabletCollectorInUse()) closeTabletCollector();
    if (g_state.markupMode) switchMarkupMode(false);
    return DefWindowProcW(window, message, wParam, lParam);
}

// ---- timers ----

void onUpdateTimer(HWND window) {
    KillTimer(window, TIMER_UPDATE_CHECK);
    if (g_state.updateWaitLeftMs > 0) {
        armUpdateTimer(window, g_state.updateWaitLeftMs);
        return;
    }
    LASTINPUTINFO input = {sizeof input, 0};
    // Input times are system ticks, as the service clock is unless a test sets its own.
    const DWORD tick = now();
    DWORD lastInput = GetLastInputInfo(&input) ? input.dwTime : 0;
    const DWORD pen = getLastPenWakeTick();
    if (pen && tick - pen < tick - lastInput) lastInput = pen;
    if (tick - lastInput < kQuietBeforeUpdateMs) {
        armUpdateTimer(window, kUpdateRetryMs);
    } else if (generalSettings().runAutoUpdate && !startUpdateThread(window)) {
        // The check cannot run now: the next one comes a period later, as after a check.
        armUpdateTimer(window, updatePeriodMs());
    }
}

LRESULT onTimer(HWND window, WPARAM id) {
    const UINT_PTR timer = id & 0xFFFF;
    if (timer == TIMER_ICON_HOLD) {
        KillTimer(window, id);
        iconsManagerMessage(static_cast<UINT>(id >> 16), 0x400);
        return 0;
    }
    switch (id) {
        case TIMER_DELAYED_START:
            KillTimer(window, id);
            SendMessageW(window, WM_INK_START_SERVICES, 0, 0);
            break;
        case TIMER_INK_BLOT:
            inkBlotFollowUp();
            break;
        case TIMER_AUTO_PEN_OFF:
            KillTimer(window, id);
            if (generalSettings().autoPenOffMode) {
                g_state.autoPenOffPending = true;
                if (LocalInkManager* manager = getLocalInkManager())
                    manager->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
            }
            break;
        case TIMER_UPDATE_CHECK:
            onUpdateTimer(window);
            break;
        case TIMER_SHOW_TIPS:
            KillTimer(window, id);
            if (LocalInkManager* manager = getLocalInkManager())
                manager->broadcastEvent(INK_EVENT_TIPS, g_state.tipsB);
            break;
        default:
            break;
    }
    return 0;
}

// ---- owner-drawn menu items ----

void drawBitmapCell(const DRAWITEMSTRUCT* item, HBITMAP bitmap, int x, int y, int width,
                    int height) {
    HDC memory = CreateCompatibleDC(item->hDC);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(item->hDC, item->rcItem.left, item->rcItem.top, width, height, memory, x, y, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

UINT checkMarkWidth() { return LOWORD(GetMenuCheckMarkDimensions()); }

// An owner-drawn menu item `width` wide and `height` high; the menu adds the
// check mark's width itself.
void measureMenuItem(MEASUREITEMSTRUCT* item, UINT width, UINT height) {
    const UINT check = checkMarkWidth();
    item->itemHeight = height;
    item->itemWidth = check < width ? width - check : 0;
}

// ---- the service window's own messages ----

LRESULT onPrivateMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool* handled) {
    *handled = true;
    LocalInkManager* manager = getLocalInkManager();
    switch (message) {
        case WM_INK_START_SERVICES: {
            const int result = OnStartServices(window);
            if (result) {
                appGlobals().servicesStarted = true;
                if (generalSettings().runAutoUpdate)
                    armUpdateTimer(window, getFirstUpdateDelay() + uint64_t{kQuietBeforeUpdateMs});
                if (LocalInkManager* m = getLocalInkManager())
                    m->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
            }
            return result;
        }
        case WM_INK_FOREGROUND_CHANGED:
            return onForegroundChanged(window, wParam);
        case WM_INK_PEN_DOWN:
            return onPenDown(window, wParam, lParam);
        case WM_INK_QUEUE_EVENT:
            return onQueueEvent();
        case WM_INK_MESSAGE_FOR_CLIENT:
            return onMessageForClient(wParam);
        case WM_INK_ESCAPE:
            return onEscape(window);
        case WM_INK_MOUSE_ACTION:
            return onMouseAction(wParam, lParam);
        case WM_INK_CREATE_MENU_OWNER:
            return createMenuOwner(window);
        case WM_INK_WORDLIST_FOR_SELECTION: {
            POINT at = {GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)};
            const auto* list = reinterpret_cast<const RecWordList*>(lParam);
            // A list comes from the current result; once another result has
            // taken its place (the request was posted) the list may be gone.
            std::shared_ptr<const RecWordList> held;
            if (list) {
                if (RecResultRef current = getCurrentRecResult()) held = current->wordList();
                if (held.get() != list) return 0;
            }
            return showWordListForSelection(nullptr, list, at, true, false);
        }
        case WM_INK_OUTPUT_RECORD:
            return onOutputRecord(lParam);
        case WM_INK_UPDATE_ANSWER:
            if (lParam) {
                bool shown;
                {
                    MouseTransparentScope transparent;
                    shown = showUpdateAutoCheck(lParam);
                }
                // An argument that names no answer of this process changes nothing.
                if (shown) {
                    KillTimer(window, TIMER_UPDATE_CHECK);
                    g_state.updateWaitLeftMs = 0;
                    if (generalSettings().runAutoUpdate) armUpdateTimer(window, updatePeriodMs());
                }
            } else if (wParam == UPDATE_ANSWER_REARM) {
                KillTimer(window, TIMER_UPDATE_CHECK);
                g_state.updateWaitLeftMs = 0;
                if (generalSettings().runAutoUpdate) armUpdateTimer(window, updatePeriodMs());
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_INK_SHOW_STICKERS:
            stickers().showAll();
            return 0;
        case WM_INK_CLEAR_STICKERS:
            stickers().clear();
            return 0;
        case WM_INK_OPEN_SETTINGS:
            if (!isSettingsDialogOpen()) openSettingsDialog(static_cast<int>(wParam));
            return 0;
        case WM_INK_BINDING_PANEL:
            if (wParam == 0)
                closeBindingPanel();
            else
                openBindingPanel(window);
            return 0;
        case WM_INK_MAIN_MENU: {
            MouseTransparentScope transparent(wParam != 0);
            showMainMenu(static_cast<int>(lParam));
            return DefWindowProcW(window, message, wParam, lParam);
        }
        case WM_INK_COMMAND_RECORD:
            return onCommandRecord(lParam);
        case WM_INK_FORWARD_TO_FOCUS:
            if (started()) {
                HWND focus = GetFocus();
                if (focus && focus != window) PostMessageW(focus, message, wParam, lParam);
            }
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_INK_MARKUP_SWITCH:
            if (wParam == 3 && IsWindow(reinterpret_cast<HWND>(lParam))) {
                if (g_state.snapshot) raiseMarkupWindows();
            } else {
                switchMarkupMode(wParam != 0);
            }
            return 0;
        case WM_INK_PEN_ON:
            if (manager) manager->setPenOn(static_cast<int>(wParam));
            return 0;
        case WM_INK_PEN_OFF_REQUEST:
            return onPenOffRequest(window, wParam);
        case WM_INK_MOUSE_SHAKE:
            // Any program can send it: the shake lasts at most kLongestShakeMs.
            if (wParam >= 1) {
                const int n = wParam < static_cast<WPARAM>(kLongestShakeMs)
                                  ? static_cast<int>(wParam)
                                  : kLongestShakeMs;
                startMouseShaker((n - 1) / 3, n, 3, 0);
            }
            return 0;
        case WM_INK_CLIP_READY:
            if (markupBarExists()) handMarkupClip(lParam);
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_INK_LAYER_SHOW:
            return onLayerShow();
        case WM_INK_LAYER_HIDE:
            if (appGlobals().inkLayerWindow)
                SendMessageW(appGlobals().inkLayerWindow, WM_INK_LAYER_HIDE, wParam, lParam);
            return 0;
        case WM_INK_SETPEN:
            return onSetPen(window, wParam, lParam);
        case WM_INK_IS_PEN_ON:
            return manager && manager->getPenState().penOn ? 1 : 0;
        case WM_INK_TIPS_TO_MASTER:
            postToBarMaster(0x282, wParam, lParam);
            return 0;
        case WM_INK_RAISE_MARKUP:
            if (g_state.markupMode && g_state.snapshot) raiseMarkupWindows();
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_INK_CHOOSE_PROFILE:
            return onChooseProfile(wParam);
        case WM_INK_SHOW_TIPS:
            g_state.tipsA = wParam;
            g_state.tipsB = lParam;
            SetTimer(window, TIMER_SHOW_TIPS, 1, nullptr);
            return 0;
        case WM_INK_BROADCAST_EVENT:
            if (manager) manager->broadcastEvent(INK_EVENT_SERVICE, lParam);
            return 0;
        case WM_INK_MAIN_BAR:
            if (wParam == 2)
                notifyMainBar(static_cast<int>(lParam));
            else
                showMainBar(wParam != 0);
            return 0;
        case WM_INK_ICON_NOTIFY:
            return iconsManagerMessage(static_cast<UINT>(wParam), static_cast<UINT>(lParam));
        default:
            *handled = false;
            return 0;
    }
}

// ---- the About box ----

class AboutDialog : public win::Dialog {
  protected:
    bool onInit() override {
        SetDlgItemTextW(hwnd(), IDC_ABOUT_PRODUCT, L"Scribix for Windows");
        wchar_t version[160];
        SetDlgItemTextW(hwnd(), IDC_ABOUT_VERSION, getVersionText(version));
        SetDlgItemTextW(hwnd(), IDC_ABOUT_INFO, generalSettings().regKey);
        return true;
    }
    bool onCommand(WORD id, WORD notification) override {
        if (id == IDC_ABOUT_UPGRADE) {
            checkForUpdateNow(hwnd());
            end(id);
            return true;
        }
        return win::Dialog::onCommand(id, notification);
    }
};

void openHelpFile() {
    const std::wstring path = win::moduleFolder(nullptr) + L"\\ScribixProHelp.html";
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&info)) {
        MouseTransparentScope transparent;
        showMessage(L"The help file ScribixProHelp.html could not be opened.");
    }
}

// ---- the main popup menu ----

struct MenuEntry {
    UINT textId;  // 0: separator
    int command;
    bool checked;
    bool enabled;
};

std::vector<MenuEntry> mainMenuEntries(int variant) {
    std::vector<MenuEntry> entries;
    LocalInkManager* manager = getLocalInkManager();
    const bool transparent = manager && manager->isMouseTransparent();
    const bool binding = isBarMasterRegistered();
    const bool penOn = manager && manager->getPenState().penOn;
    const GeneralSettings& settings = generalSettings();
    if (!g_state.markupMode) {
        entries.push_back(
            {IDS_MENU_PEN_ON, 2, penOn, !transparent && !binding && !g_state.autoPenOffPending});
        entries.push_back({IDS_MENU_MARKUP, 14, false, !transparent});
        entries.push_back({IDS_MENU_BINDING, 13, binding,
                           !transparent && (settings.useContextReco || settings.useAppFilters)});
        if (variant == 7) entries.push_back({IDS_MENU_USE_PROFILE, 22, false, true});
        const bool correctable = !transparent && penOn && !binding && !isWordListMenuOpen() &&
                                 (getCurrentRecResult() || focusedFieldHasSelection());
        entries.push_back({IDS_MENU_CORRECT_LAST, 23, false, correctable});
        entries.push_back({IDS_MENU_ADD_PUNCTUATION, 6, false, correctable});
        entries.push_back({0, 0, false, true});
        entries.push_back(
            {settings.showToolbar ? UINT{IDS_MENU_HIDE_TOOLBAR} : UINT{IDS_MENU_SHOW_TOOLBAR}, 10,
             false, true});
        if (variant == 1 || variant == 7)
            entries.push_back({IDS_MENU_CUSTOMIZE_TOOLBAR, 21, false, true});
        entries.push_back({IDS_MENU_SETTINGS, 7, false, !isSettingsDialogOpen()});
        entries.push_back({0, 0, false, true});
        entries.push_back({IDS_MENU_HELP, 8, false, true});
        entries.push_back({IDS_MENU_ABOUT, 9, false, true});
        entries.push_back({IDS_MENU_CHECK_UPGRADE, 12, false, true});
        entries.push_back({0, 0, false, true});
    } else {
        entries.push_back({IDS_MENU_MARKUP, 14, true, true});
        entries.push_back({0, 0, false, true});
        if (variant == 2) entries.push_back({IDS_MENU_CUSTOMIZE_TOOLBAR, 21, false, true});
        entries.push_back({IDS_MENU_CLEAR_INK_ON_EXIT, 25, settings.clearInkOnExit != 0, true});
        entries.push_back({0, 0, false, true});
    }
    entries.push_back({IDS_MENU_CLOSE, 1, false, true});
    return entries;
}

// Runs the entries as the program's text menu at the cursor; the command
// picked, or 0. A greyed entry shows but does not act.
int runMainTextMenu(const std::vector<MenuEntry>& entries) {
    if (!getServiceWindow()) return 0;
    auto* menu = new PureTextMenu(nullptr, nullptr, 1, 0, nullptr, 0, nullptr, nullptr);
    for (const MenuEntry& e : entries) {
        if (e.textId == 0) {
            menu->addSeparator(false);
            continue;
        }
        const std::wstring text = win::loadString(getInstance(), e.textId);
        menu->addItem(static_cast<UINT>(e.command), text.c_str(),
                      (e.enabled ? 0u : 0x1u) | (e.checked ? 0x8u : 0u));
    }
    const UINT picked = menu->showModal();  // the menu is gone afterwards
    for (const MenuEntry& e : entries)
        if (e.textId != 0 && static_cast<UINT>(e.command) == picked)
            return e.enabled ? e.command : 0;
    return 0;
}

}  // namespace

void releaseServiceResources() {
    if (g_queueEvent) CloseHandle(g_queueEvent);
    if (g_menuPictures) DeleteObject(g_menuPictures);
    g_queueEvent = nullptr;
    g_menuPictures = nullptr;
}

void measureMenuPicture(MEASUREITEMSTRUCT* item) { measureMenuItem(item, 29, 28); }

void drawMenuPicture(const DRAWITEMSTRUCT* item) {
    if (!g_menuPictures)
        g_menuPictures = LoadBitmapW(getInstance(), MAKEINTRESOURCEW(IDB_MENU_PICTURES));
    if (!g_menuPictures) return;
    const int cell = static_cast<int>(item->itemData);
    const int column = cell / 6, row = cell % 6;
    drawBitmapCell(item, g_menuPictures, column * 31 + 2, row * 27 + 2, 32, 28);
}

void setServiceClock(DWORD (*tickCount)()) { g_clock = tickCount ? tickCount : systemTicks; }

int outputValue(int value) { return characterOfPickedValue(value); }

uint64_t updatePeriodMs() {
    const int days = generalSettings().autoUpdatePeriodDays;
    return static_cast<uint64_t>(days > 0 ? days : 3) * 86400000ull;
}

void armUpdateTimer(HWND window, uint64_t milliseconds) {
    if (!window) return;
    const uint64_t step = milliseconds < kLongestTimerMs ? milliseconds : kLongestTimerMs;
    g_state.updateWaitLeftMs = milliseconds - step;
    SetTimer(window, TIMER_UPDATE_CHECK, static_cast<UINT>(step), nullptr);
}

void raiseMarkupWindows() {
    if (!g_state.markupMode || !markupBarExists()) return;
    HWND bar = markupBarWindow();
    HWND markupCtrl = appGlobals().markupCtrlWindow;
    if (g_state.snapshot && markupCtrl) {
        SetFocus(markupCtrl);
        SetWindowPos(markupCtrl, bar, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    SetWindowLongPtrW(bar, GWL_EXSTYLE, GetWindowLongPtrW(bar, GWL_EXSTYLE) | WS_EX_TOPMOST);
    SetWindowPos(bar, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_ASYNCWINDOWPOS);
    if (g_state.snapshot && markupCtrl) SetFocus(markupCtrl);
}

LRESULT OnExternalCommand(UINT code, LPARAM argument) {
    HWND service = getServiceWindow();
    if (code < 1 || code > 10 || !service) return 0;
    switch (code) {
        case 1:
            PostMessageW(service, WM_INK_BINDING_PANEL, 0, 0);
            PostMessageW(service, WM_INK_MARKUP_SWITCH, 0, 0);
            PostMessageW(service, WM_INK_PEN_ON, static_cast<WPARAM>(argument), 0);
            return 0;
        case 2:
            PostMessageW(service, WM_INK_BINDING_PANEL, 0, 0);
            PostMessageW(service, WM_INK_MARKUP_SWITCH, static_cast<WPARAM>(argument), 0);
            return 0;
        case 3:
            PostMessageW(service, WM_INK_MARKUP_SWITCH, 0, 0);
            PostMessageW(service, WM_INK_BINDING_PANEL, static_cast<WPARAM>(argument), 0);
            return 0;
        case 4: {
            LocalInkManager* manager = getLocalInkManager();
            LRESULT bits = 0;
            if (manager && manager->getPenState().penOn) bits |= 1;
            if (g_state.markupMode) bits |= 2;
            if (isBarMasterRegistered()) bits |= 4;
            if (isSettingsDialogOpen()) bits |= 8;
            return bits;
        }
        case 5:
            // Opened from the queue: the sender does not wait for the dialog.
            PostMessageW(service, WM_INK_OPEN_SETTINGS, 0, 0);
            return 0;
        case 7:
        case 8:
        case 9:
            return setPenAttribute(code, argument);
        case 10:
            if (g_state.markupMode && markupBarExists()) startMarkupCapture();
            return 0;
        default:
            return 0;
    }
}

void showMainMenu(int variant) {
    g_state.mainMenuOpen = true;
    const int command = runMainTextMenu(mainMenuEntries(variant));
    g_state.mainMenuOpen = false;
    if (command == 0) return;
    runMenuCommand(command);
    refreshBarButtons();
}

void runMenuCommand(int command) {
    HWND service = getServiceWindow();
    if (!service) return;
    LocalInkManager* manager = getLocalInkManager();
    switch (command) {
        case 1:
            PostMessageW(service, WM_CLOSE, 0, 0);
            break;
        case 2:
            if (manager) manager->setPenOn(manager->getPenState().penOn ? 0 : 1);
            break;
        case 6:
            showPunctuationMenuForFocus();
            break;
        case 7:
            PostMessageW(service, WM_INK_OPEN_SETTINGS, 0, 0);
            break;
        case 8:
            if (isBarMasterRegistered()) leaveBindingMode();
            openHelpFile();
            break;
        case 9: {
            leaveBindingMode();
            MouseTransparentScope transparent;
            AboutDialog about;
            about.runModal(getInstance(), MAKEINTRESOURCEW(IDD_ABOUT), nullptr);
            break;
        }
        case 10:
            showMainBar(!generalSettings().showToolbar);
            break;
        case 11:
            g_state.traceCollection = !g_state.traceCollection;
            debugTrace(g_state.traceCollection
                           ? L"~~~~~~~~~~~~~~~~ collection started ~~~~~~~~~~~~~~~~~~~~~"
                           : L"~~~~~~~~~~~~~~~~ collection stopped ~~~~~~~~~~~~~~~~~~~~~");
            break;
        case 12: {
            leaveBindingMode();
            MouseTransparentScope transparent;
            checkForUpdateNow(service);
            break;
        }
        case 13:
            PostMessageW(service, WM_INK_BINDING_PANEL, isBarMasterRegistered() ? 0 : 1, 0);
            break;
        case 14:
            leaveBindingMode();
            g_state.snapshot = !keyDown(VK_SHIFT) && !keyDown(VK_CONTROL);
            postMarkupModeSwitch();  // switched from the queue, as every other way asks
            break;
        case 16:
            if (markupBarExists())
                postServiceCommandRecord(0, reinterpret_cast<INT_PTR>(markupBarWindow()), 0, true);
            break;
        case 18:
        case 20:
            postToBarMaster(0x1F5, command == 18 ? 0xFA1 : 0xFA2, 0);
            break;
        case 21: {
            leaveBindingMode();
            MouseTransparentScope transparent;
            if (g_state.markupMode)
                showCustomizeDialog(256, appGlobals().markupCtrlWindow);
            else
                showCustomizeDialog(255, service);
            break;
        }
        case 22:
            PostMessageW(service, WM_INK_CHOOSE_PROFILE, 0, 0);
            break;
        case 23:
            leaveBindingMode();
            correctLastResultOrSelection();
            break;
        case 24:
            makeSnapshot();
            break;
        case 25:
            generalSettings().clearInkOnExit = generalSettings().clearInkOnExit ? 0 : 1;
            break;
        case 26:
            toggleShapeEnhancer();
            break;
        case 27:
            if (markupBarExists()) startMarkupCapture();
            break;
        default:
            break;
    }
}

LRESULT postServiceCommandRecord(INT_PTR code, INT_PTR argument1, INT_PTR argument2, bool post) {
    HWND service = getServiceWindow();
    if (!service) return 0;
    const CommandRecord record = {code, argument1, argument2};
    if (!post) return sendCommandRecord(service, record);
    postCommandRecord(service, record);
    return 0;
}

LRESULT CALLBACK ServiceWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The window ends the message loop whatever state the program is in.
    if (message == WM_DESTROY) {
        if (getServiceWindow() == window) {
            // Already on its way out: stopInkService must not close it again.
            appGlobals().serviceWindow = nullptr;
            stopInkService();
        }
        endSplash();
        PostQuitMessage(0);
        return 0;
    }
    if (window != getServiceWindow()) return DefWindowProcW(window, message, wParam, lParam);

    const RegisteredMessages& registered = registeredMessages();
    if (message == registered.command) return OnExternalCommand(LOWORD(wParam), lParam);
    if (message == registered.fatInkToOwner) {
        return markupBarExists() ? passToMarkupBar(wParam, lParam)
                                 : DefWindowProcW(window, message, wParam, lParam);
    }

    switch (message) {
        case WM_SETTINGCHANGE:
        case WM_DISPLAYCHANGE:
        case WM_INK_DELAYED_CONFIG_CHG:
            return onDisplayChanged(window, message, wParam, lParam);
        case WM_POWERBROADCAST:
            debugTrace(L"InkService: WM_POWERBROADCAST: wParam = 0x%x", static_cast<UINT>(wParam));
            if (isTabletCollectorInUse()) closeTabletCollector();
            return DefWindowProcW(window, message, wParam, lParam);
        case WM_MEASUREITEM:
            measureMenuItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam), 17, 17);
            return 1;
        case WM_DRAWITEM: {
            auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            if (item->itemData)
                drawBitmapCell(item, reinterpret_cast<HBITMAP>(item->itemData), 0, 0, 17, 17);
            return 1;
        }
        case WM_TIMER:
            return onTimer(window, wParam);
        case WM_INK_POSTED_WORK:
            runPostedWork(lParam);
            return 0;
        default:
            break;
    }
    bool handled = false;
    const LRESULT result = onPrivateMessage(window, message, wParam, lParam, &handled);
    return handled ? result : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK MenuOwnerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INK_MENU_TRACK: {
            // Only a record this process holds while it sends the message.
            const MenuTrackRecord* record = win::peekRecord<MenuTrackRecord>(lParam);
            if (!record) return 0;
            SetForegroundWindow(window);
            const BOOL chosen = TrackPopupMenuEx(record->menu, record->flags, record->x, record->y,
                                                 window, nullptr);
            // Lets the menu close properly when the click went elsewhere.
            PostMessageW(window, WM_NULL, 0, 0);
            return chosen;
        }
        case WM_INK_MENU_FOREGROUND:
            SetForegroundWindow(reinterpret_cast<HWND>(wParam));
            return reinterpret_cast<LRESULT>(GetForegroundWindow());
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATEANDEAT;
        case WM_MEASUREITEM:
            measureMenuPicture(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DRAWITEM:
            drawMenuPicture(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}
