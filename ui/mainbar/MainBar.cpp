#include "ui/mainbar/MainBar.h"

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "ink/LocalInkManager.h"
#include "ink/RecResult.h"
#include "ink/SelectionCorrection.h"
#include "ink/TargetText.h"
#include "ui/bars/BarFramework.h"
#include "ui/bars/BarGestures.h"
#include "ui/customize/ToolbarCustomization.h"
#include "ui/markup/PickerBars.h"
#include "win/Checks.h"

#include <atomic>

namespace {

constexpr const wchar_t* kKey = L"ToolBar";
constexpr int kDefaultX = 260;  // from the desktop's right edge
constexpr int kDefaultY = 64;   // from its top

struct ButtonKind {
    UINT id;
    int tip;
    const wchar_t* large;
    const wchar_t* small;
};
// In the order they are made and laid out.
const ButtonKind kButtons[] = {
    {MAIN_BAR_PEN, 13, L"pen_button64.png", L"pen_button32.png"},
    {MAIN_BAR_MARKUP, 44, L"markup_button64.png", L"markup_button32.png"},
    {MAIN_BAR_PUNCTUATION, 65, L"punctuation_button64.png", L"punctuation_button32.png"},
    {MAIN_BAR_CORRECTION, 66, L"correction_button64.png", L"correction_button32.png"},
    {MAIN_BAR_BINDING, 64, L"binding_button64.png", L"binding_button32.png"},
    {MAIN_BAR_MENU, 70, L"menu_button64.png", L"menu_button32.png"},
};

// The slot: made, shown, hidden and freed on the main thread only (other
// threads post 3101 to the service window); read atomically, since the
// notification and tip paths may look at it from elsewhere.
std::atomic<CMainBar*> g_mainBar{nullptr};

// True on the thread that owns the bars (any thread before the program
// names its main thread, as in tests of one floor).
bool onBarThread() {
    const DWORD main = win::mainThread();
    return main == 0 || main == GetCurrentThreadId();
}

bool bindingAvailable() {
    const GeneralSettings& g = generalSettings();
    return g.useContextReco || g.useAppFilters;
}

bool penReady() {
    LocalInkManager* manager = getLocalInkManager();
    return manager && manager->getPenState().penOn && !serviceState().autoPenOffPending &&
           !manager->isMouseTransparent() && !isBarMasterRegistered();
}

}  // namespace

MainBarSettings defaultMainBarSettings() {
    MainBarSettings s;
    const RECT d = desktopRect();
    s.position = {d.left + (d.right - d.left) - kDefaultX, d.top + kDefaultY};
    return s;
}

MainBarSettings readMainBarSettings() {
    MainBarSettings s = defaultMainBarSettings();
    ReadSetting(kKey, L"position", &s.position, SETTING_POINT, 0);
    ReadSetting(kKey, L"buttons", &s.buttons, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"sizeMode", &s.sizeMode, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"layoutMode", &s.layoutMode, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"autoHide", &s.autoHide, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"lastLarge", &s.lastLarge, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"lastVertical", &s.lastVertical, SETTING_NUMBER, 0);
    if (s.sizeMode < SIZE_SMALL || s.sizeMode > SIZE_FOLLOW_INPUT) s.sizeMode = SIZE_FOLLOW_INPUT;
    if (s.layoutMode < LAYOUT_HORIZONTAL || s.layoutMode > LAYOUT_AUTOMATIC)
        s.layoutMode = LAYOUT_AUTOMATIC;
    // A stored parked position would keep the bar off the screen for good.
    if (s.position.x >= kParkedPosition || s.position.y >= kParkedPosition)
        s.position = defaultMainBarSettings().position;
    return s;
}

void writeMainBarSettings(const MainBarSettings& s) {
    if (s.position.x < kParkedPosition && s.position.y < kParkedPosition)
        WriteSetting(kKey, L"position", &s.position, SETTING_POINT, 0);
    WriteSetting(kKey, L"buttons", &s.buttons, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"sizeMode", &s.sizeMode, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"layoutMode", &s.layoutMode, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"autoHide", &s.autoHide, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"lastLarge", &s.lastLarge, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"lastVertical", &s.lastVertical, SETTING_NUMBER, 0);
}

// --- the bar ---

CMainBar::CMainBar() : CBaseBar<CMainBar>(L"sxMainBar") { applySettings(readMainBarSettings()); }

CMainBar::~CMainBar() {
    writeMainBarSettings(settings());
    CMainBar* self = this;
    g_mainBar.compare_exchange_strong(self, nullptr);
}

MainBarSettings CMainBar::settings() const {
    MainBarSettings s;
    s.position = position_;
    s.buttons = buttonsMask_;
    s.sizeMode = sizeModeSetting_;
    s.layoutMode = layoutMode_;
    s.autoHide = autoHide_ ? 1 : 0;
    s.lastLarge = sizeMode_ ? 1 : 0;
    s.lastVertical = vertical_ ? 1 : 0;
    return s;
}

void CMainBar::applySettings(const MainBarSettings& s) {
    position_ = s.position;
    buttonsMask_ = s.buttons;
    sizeModeSetting_ = s.sizeMode;
    layoutMode_ = s.layoutMode;
    autoHide_ = s.autoHide != 0;
    sizeMode_ = s.lastLarge ? 1 : 0;
    vertical_ = s.lastVertical != 0;
    inputIsTouch_ = sizeModeSetting_ == SIZE_FOLLOW_INPUT && sizeMode_ == 1;
}

void CMainBar::layoutButtons(int) {
    removeAllButtons();
    const bool large = largeForSetting();
    sizeMode_ = large ? 1 : 0;
    // Without context recognition and application filters there is no
    // binding mode: its button is left out, but the user's mask keeps it.
    int shown = buttonsMask_;
    if (!bindingAvailable()) shown &= ~static_cast<int>(MAIN_BAR_BINDING);
    for (const ButtonKind& kind : kButtons)
        if (shown & static_cast<int>(kind.id))
            addButton(kind.id, large ? kind.large : kind.small, kind.tip, BarButton::TOGGLE);
    useFrame(L"base_bgr64.png", large);
    if (layoutMode_ == LAYOUT_VERTICAL) vertical_ = true;
    if (layoutMode_ == LAYOUT_HORIZONTAL) vertical_ = false;
    relayout();
    if (autoHide_) startAutoHideTimer();
}

void CMainBar::onOrientation(bool vertical) { vertical_ = vertical; }

void CMainBar::refreshButtons() {
    checkOwner("refreshButtons");
    LocalInkManager* manager = getLocalInkManager();
    const bool transparent = manager && manager->isMouseTransparent();
    const bool binding = isBarMasterRegistered();
    const bool settingsOpen = isSettingsDialogOpen();
    const bool wordList = isWordListMenuOpen();
    const bool modal = openModalBarCount() != 0 || toolbarCustomizationWindow() != nullptr;
    const bool ready = penReady();
    // The punctuation bar runs modally: its button is disabled then, and on.
    const bool punctuationOpen = DelimBarMaster::openBar() != nullptr;

    struct State {
        UINT id;
        bool disabled;
        bool on;
    };
    State states[] = {
        {MAIN_BAR_PEN, transparent || binding, ready},
        {MAIN_BAR_MARKUP, settingsOpen, serviceState().markupMode.load()},
        {MAIN_BAR_MENU, settingsOpen, isMainMenuOpen()},
        {MAIN_BAR_BINDING, settingsOpen || !bindingAvailable(), binding},
        {MAIN_BAR_PUNCTUATION, binding || punctuationOpen, punctuationOpen},
        {MAIN_BAR_CORRECTION, !ready || binding || wordList, wordList},
    };
    for (State& s : states) {
        if (s.id == MAIN_BAR_CORRECTION && generalSettings().autoUpdateCorrectionBtn &&
            !s.disabled) {
            const RecResultRef current = getCurrentRecResult();
            bool selection = false;
            if (!current) {
                HWND focus = hookLibrary().getLastFocusWindow();
                if (focus) selection = CTargetText(focus).hasSelection();
            }
            if (!current && !selection) s.disabled = true;
        }
        if (modal) s.disabled = true;
        if (s.disabled && s.id != MAIN_BAR_MENU && s.id != MAIN_BAR_PUNCTUATION) s.on = false;
        setButtonState(findButton(s.id), s.disabled, s.on);
    }
}

void CMainBar::keepOnTop() {
    if (!meantVisible_ || openModalBarCount() != 0 || isWordListMenuOpen()) return;
    CBaseBar<CMainBar>::keepOnTop();
}

bool CMainBar::onTimer(UINT_PTR id) {
    if (id == BAR_TIMER_KEEP_ON_TOP && generalSettings().autoUpdateCorrectionBtn) refreshButtons();
    return CBaseBar<CMainBar>::onTimer(id);
}

void CMainBar::onContextMenu(POINT point) {
    LocalInkManager* manager = getLocalInkManager();
    BarButton* pen = findButton(MAIN_BAR_PEN);
    const bool onPen = pen && PtInRect(&pen->rect, point);
    const LPARAM variant = manager && manager->getPenState().penOn && onPen ? 7 : 1;
    PostMessageW(getServiceWindow(), WM_INK_MAIN_MENU, 0, variant);
}

void CMainBar::onButton(BarButton* button) {
    if (!button || dragging() || morphing() || (button->flags & BarButton::DISABLED)) return;
    const std::shared_ptr<bool> alive = alive_;
    runCommand(button->id);
    if (!*alive) return;  // the program was closed inside the command
    slideIn(300);
}

void CMainBar::runCommand(UINT id) {
    LocalInkManager* manager = getLocalInkManager();
    HWND service = getServiceWindow();
    switch (id) {
        case MAIN_BAR_PEN:
            if (manager && !manager->isMouseTransparent() && !isBarMasterRegistered())
                manager->setPenOn(manager->getPenState().penOn ? 0 : 1);
            break;
        case MAIN_BAR_MARKUP: {
            if (isBarMasterRegistered()) leaveBindingMode();
            const bool modifier =
                (GetAsyncKeyState(VK_SHIFT) & 0x8000) || (GetAsyncKeyState(VK_CONTROL) & 0x8000);
            serviceState().snapshot = !modifier;
            // The button toggles: in markup mode it leaves it.
            postMarkupModeSwitch();
            break;
        }
        case MAIN_BAR_MENU: {
            POINT cursor;
            GetCursorPos(&cursor);
            ScreenToClient(hwnd(), &cursor);
            onContextMenu(cursor);
            break;
        }
        case MAIN_BAR_BINDING:
            if (isBarMasterRegistered())
                leaveBindingMode();
            else
                enterBindingMode();
            break;
        case MAIN_BAR_PUNCTUATION: {
            if (isBarMasterRegistered()) leaveBindingMode();
            // The service window frees the record once handled.
            sendOutputRecord(
                service, OutputRecord{nullptr, hookLibrary().getLastFocusWindow(), {0, 0}, 1, 0});
            break;
        }
        case MAIN_BAR_CORRECTION: {
            if (isBarMasterRegistered()) leaveBindingMode();
            POINT point;
            if (wordListBarSettings().autoShow == 2)
                GetCursorPos(&point);
            else
                point = wordListBarSettings().customMenuPosition;
            const RecResultRef current = getCurrentRecResult();
            std::shared_ptr<const RecWordList> words = current ? current->wordList() : nullptr;
            if (current && words)
                showWordListForSelection(static_cast<HWND>(current->target()), words.get(), point,
                                         false, false);
            else
                showWordListForSelection(hookLibrary().getLastFocusWindow(), nullptr, point, false,
                                         false);
            break;
        }
        default:
            break;
    }
}

int CMainBar::onClientNotify(int event, LPARAM argument) {
    switch (event) {
        case INK_EVENT_WRITE_ICON_SETTINGS:
            writeMainBarSettings(settings());
            break;
        case INK_EVENT_READ_ICON_SETTINGS:
            applySettings(readMainBarSettings());
            break;
        case 11:
            if (argument == 0 && hwnd()) {
                Sleep(100);
                MSG m;
                while (PeekMessageW(&m, hwnd(), WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE)) {
                }
                refreshButtons();
            }
            break;
        case INK_EVENT_ACCEPTED:
        case INK_EVENT_PEN_CHANGED:
        case INK_EVENT_RESULT_CHANGED:
        case INK_EVENT_RELEASED:
        case 14:
        case kMainBarLanguageChanged:  // the buttons' states follow the language's module
            refreshButtons();
            break;
        case INK_EVENT_TIPS:
            // The point of the last input: its type decides the size.
            onInputType();
            break;
        case INK_EVENT_DISPLAY_CHANGED:
            reloadLayoutState();
            break;
        default:
            break;
    }
    return CBaseBar<CMainBar>::onClientNotify(event, argument);
}

bool CMainBar::onGesture(DWORD id, DWORD flags, POINT point, ULONGLONG) {
    return handleBarGesture(*this, gestures_, id, flags, point);
}

// --- the slot ---

CMainBar* mainBar() { return g_mainBar; }

bool createMainBar() {
    if (g_mainBar) return true;
    if (!onBarThread()) {
        // A bar made here would belong to a thread that never paints it.
        debugTrace(L"MainBar: not made on thread %lu; the main thread makes it\n",
                   GetCurrentThreadId());
        return false;
    }
    CMainBar* bar = new (std::nothrow) CMainBar;
    if (!bar) return false;
    g_mainBar = bar;
    if (!bar->createBar(getServiceWindow())) {
        g_mainBar = nullptr;
        delete bar;
        debugTrace(L"MainBar: the window could not be made\n");
        return false;
    }
    return true;
}

void showMainBarNow() {
    if (!createMainBar()) return;
    CMainBar* bar = g_mainBar;
    RECT before = {}, after = {};
    GetWindowRect(bar->hwnd(), &before);
    bar->slideIn(300);
    GetWindowRect(bar->hwnd(), &after);
    if (EqualRect(&before, &after)) {
        KillTimer(bar->hwnd(), BAR_TIMER_AUTO_HIDE);
        SetTimer(bar->hwnd(), BAR_TIMER_AUTO_HIDE, 3000, nullptr);
    }
    ShowWindow(bar->hwnd(), SW_SHOWNOACTIVATE);
    InvalidateRect(bar->hwnd(), nullptr, FALSE);
    bar->setMeantVisible(true);
}

void hideMainBar() {
    if (!createMainBar()) return;
    if (CMainBar* bar = g_mainBar) {
        bar->slideIn(300);
        KillTimer(bar->hwnd(), BAR_TIMER_AUTO_HIDE);
        SetTimer(bar->hwnd(), BAR_TIMER_AUTO_HIDE, 3000, nullptr);
        ShowWindow(bar->hwnd(), SW_HIDE);
        bar->setMeantVisible(false);
    }
}

void destroyMainBar() { delete g_mainBar.exchange(nullptr); }

void mainBarRefreshButtons() {
    CMainBar* bar = g_mainBar;
    if (!bar) return;
    if (bar->ownerThread().isCurrent())
        bar->refreshButtons();
    else if (bar->hwnd())
        PostMessageW(bar->hwnd(), WM_COMMAND, BAR_CMD_REFRESH_BUTTONS, 0);
}

void mainBarKeepOnTop() {
    if (CMainBar* bar = g_mainBar) bar->keepOnTop();
}

void mainBarKeepInScreen() {
    CMainBar* bar = g_mainBar;
    if (bar && !bar->dragging() && !bar->morphing()) bar->slideIn(300);
}

bool mainBarWindowRect(RECT* rect) {
    CMainBar* bar = g_mainBar;
    return bar && bar->hwnd() && GetWindowRect(bar->hwnd(), rect);
}

void notifyMainBar(int event) {
    if (CMainBar* bar = g_mainBar) bar->onClientNotify(event, 0);
}

// --- services the shell drives ---

void loadBarSettings() {
    // The main bar reads its own group when it is made; here only the
    // word-list bar's group is read again for the menus.
    readWordListBarSettings();
}

void showMainBar(bool show) {
    if (show)
        showMainBarNow();
    else
        hideMainBar();
}

void wakeMainBar(int ms) {
    CMainBar* bar = g_mainBar;
    if (bar && bar->meantVisible() && !bar->dragging() && !bar->morphing()) bar->slideIn(ms);
}

void restoreMainBar() {
    CMainBar* bar = g_mainBar;
    if (!bar || !bar->meantVisible()) return;
    showMainBarNow();
    bar->keepOnTop();
}

void refreshBarButtons() { mainBarRefreshButtons(); }
