#include "BindPanel.h"

#include <memory>
#include <vector>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "core/ShellLink.h"
#include "ink/AppsFilter.h"
#include "ink/LocalInkManager.h"
#include "recognition/Binding.h"
#include "recognition/ProfileChooser.h"
#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "resources/resource.h"
#include "ui/draw/DrawOps.h"
#include "ui/menus/PureTextMenu.h"
#include "win/ScopedLock.h"
#include "win/WinString.h"

namespace {

constexpr UINT_PTR kPanelTimer = 6;
constexpr UINT kPanelTimerMs = 3000;
constexpr DWORD kBindShowPeriodMs = 1000;
// A sticker's state value that lets its click open the field menu.
constexpr int kStickerStateOpen = 1;

CRITICAL_SECTION* panelLock() {
    static CRITICAL_SECTION section;
    static bool made = [] {
        InitializeCriticalSection(&section);
        return true;
    }();
    (void)made;
    return &section;
}

CBindPanel* g_panel = nullptr;

bool systemScreenSaverRunning() {
    BOOL running = FALSE;  // the system may not write it
    SystemParametersInfoW(SPI_GETSCREENSAVERRUNNING, 0, &running, 0);
    return running != FALSE;
}
bool (*g_screenSaverRunning)() = systemScreenSaverRunning;

std::wstring targetModule() {
    const wchar_t* name = hookLibrary().getTargetModuleName();
    return name ? name : L"";
}

// A tip text: the string resource, or its English text when it is missing.
std::wstring tipText(UINT id, const wchar_t* fallback) {
    std::wstring text = win::loadString(getInstance(), id);
    return text.empty() ? fallback : text;
}

POINT cursorPoint() {
    POINT at = {0, 0};
    GetCursorPos(&at);
    return at;
}

// Toggles the target application in the filter (listed without a caret
// exception, or removed) and saves the filter.
void toggleNoWriting(const std::wstring& module) {
    if (module.empty()) return;
    bool allow = false;
    if (appsFilter().findApp(module, &allow))
        appsFilter().removeApp(module);
    else
        appsFilter().setApp(module, false);
    appsFilter().save(nullptr);
}

// ---- the panel's face: six layers of one strip ----
// Layer 0 normal, 1 hover, 2 pressed, 3 hover and pressed, 4 disabled, 5 the
// key layer where each unit's area has a colour of its own.

struct FaceButton {
    UINT id;
    int left, right;
    const wchar_t* label;
    COLORREF key;
};

constexpr int kFaceWidth = 268;
constexpr int kFaceHeight = 30;
const FaceButton kFaceButtons[] = {
    {BIND_UNIT_MOVE, 2, 16, L"", RGB(10, 0, 0)},
    {BIND_UNIT_FIELD, 18, 76, L"Field", RGB(20, 0, 0)},
    {BIND_UNIT_APPLICATION, 78, 164, L"Application", RGB(30, 0, 0)},
    {BIND_UNIT_SETTINGS, 166, 236, L"Settings", RGB(40, 0, 0)},
    {BIND_UNIT_LEAVE, 238, 266, L"\x00D7", RGB(50, 0, 0)},
};
// The second "leave" unit has no area of its own on this face.
constexpr COLORREF kUnusedKey = RGB(60, 0, 0);
constexpr COLORREF kOutside = RGB(255, 0, 255);

HBITMAP makePanelFace() {
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kFaceWidth, kFaceHeight * 6);
    ReleaseDC(nullptr, screen);
    if (!dc || !bitmap) {
        if (dc) DeleteDC(dc);
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HFONT font = CreateFontW(-13, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                             ANTIALIASED_QUALITY, 0, L"DejaVu Sans");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    auto fill = [&](const RECT& r, COLORREF colour) {
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
    };
    const COLORREF bodies[5] = {RGB(236, 240, 246), RGB(255, 250, 214), RGB(196, 208, 228),
                                RGB(238, 226, 170), RGB(236, 240, 246)};
    for (int layer = 0; layer < 5; ++layer) {
        const int top = layer * kFaceHeight;
        RECT whole = {0, top, kFaceWidth, top + kFaceHeight};
        fill(whole, RGB(60, 90, 140));  // the frame
        for (const FaceButton& button : kFaceButtons) {
            RECT r = {button.left, top + 2, button.right, top + kFaceHeight - 2};
            fill(r, bodies[layer]);
            if (button.id == BIND_UNIT_MOVE) {
                for (int y = top + 7; y < top + kFaceHeight - 6; y += 4) {
                    RECT dot = {button.left + 5, y, button.left + 7, y + 2};
                    fill(dot, RGB(90, 110, 150));
                    OffsetRect(&dot, 4, 0);
                    fill(dot, RGB(90, 110, 150));
                }
                continue;
            }
            SetTextColor(dc, layer == 4 ? RGB(150, 150, 150) : RGB(20, 30, 60));
            DrawTextW(dc, button.label, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        }
        // The corner pixel is the see-through colour of the bar's region.
        SetPixel(dc, 0, top, kOutside);
    }
    const int keyTop = 5 * kFaceHeight;
    RECT keyWhole = {0, keyTop, kFaceWidth, keyTop + kFaceHeight};
    fill(keyWhole, RGB(0, 0, 0));
    for (const FaceButton& button : kFaceButtons) {
        RECT r = {button.left, keyTop + 2, button.right, keyTop + kFaceHeight - 2};
        fill(r, button.key);
    }
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    return bitmap;
}

}  // namespace

// ---- the panel ----

CBindPanel::CBindPanel(const POINT* position)
    : BarSmartBitmapMaster(position, 0, new LayeredBitmap(makePanelFace(), 6, 0), nullptr, nullptr,
                           L"Scribix") {
    // The pen points at fields to bind while the panel is open; the mode it
    // had is put back when the panel goes.
    if (LocalInkManager* manager = getLocalInkManager())
        savedInkMode_ = manager->setMode(INK_MODE_BINDING);
    {
        win::ScopedLock lock(*panelLock());
        g_panel = this;
        shellLink().startBindShow(kBindShowPeriodMs);
    }
    registerBarMaster(this);
    setSticky(true);
    if (window() && face_ && face_->valid()) {
        SetWindowPos(window(), nullptr, 0, 0, face_->width(), face_->layerHeight(),
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (HRGN region = face_->windowRegion()) SetWindowRgn(window(), region, TRUE);
    }
    restartTimer();
}

void CBindPanel::placeOnScreen() {
    if (!window() || !face_) return;
    // Near the top right corner of the work area, out of the way of the
    // application whose fields the user binds.
    RECT work = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    moveTo(work.right - face_->width() - 24, work.top + 24);
}

CBindPanel::~CBindPanel() {
    stopTimer();
    {
        win::ScopedLock lock(*panelLock());
        if (g_panel == this) g_panel = nullptr;
        shellLink().stopBindShow();
    }
    unregisterBarMaster(this);
    if (LocalInkManager* manager = getLocalInkManager()) manager->setMode(savedInkMode_);
    shellLink().clearStickers();
}

void CBindPanel::restartTimer() {
    if (window()) timer_ = SetTimer(window(), kPanelTimer, kPanelTimerMs, nullptr);
}

void CBindPanel::stopTimer() {
    if (window() && timer_) KillTimer(window(), kPanelTimer);
    timer_ = 0;
}

int CBindPanel::onNotify(int code, LPARAM argument) {
    if (code == INK_EVENT_TIPS) shellLink().showAllStickers();
    return BarSmartBitmapMaster::onNotify(code, argument);
}

void CBindPanel::buildUnits() {
    deleteAllUnits();
    const unsigned button = UNIT_REPORTS_PICK | UNIT_HOVER | UNIT_PRESSED;
    struct Spec {
        UINT id;
        unsigned behaviour;
        UINT tip;
        const wchar_t* tipText;
        COLORREF key;
    };
    const Spec specs[] = {
        {BIND_UNIT_MOVE, UNIT_DRAG_HANDLE | UNIT_HOVER, IDS_TIP_MOVE_BAR, L"Move Bar",
         kFaceButtons[0].key},
        {BIND_UNIT_LEAVE, button, IDS_TIP_LEAVE_BINDING, L"Leave Binding Mode",
         kFaceButtons[4].key},
        {BIND_UNIT_LEAVE_TOO, button, IDS_TIP_LEAVE_BINDING, L"Leave Binding Mode", kUnusedKey},
        {BIND_UNIT_FIELD, button, IDS_TIP_BIND_FIELD,
         L"Bind/unbind recognition profile\nfor selected input field", kFaceButtons[1].key},
        {BIND_UNIT_APPLICATION, button, IDS_TIP_BIND_APPLICATION,
         L"Allow/disallow writing over \nforeground application windows", kFaceButtons[2].key},
        {BIND_UNIT_SETTINGS, button, IDS_TIP_SETTINGS, L"Settings...", kFaceButtons[3].key},
    };
    for (const Spec& spec : specs) {
        const std::wstring tip = tipText(spec.tip, spec.tipText);
        addUnit(
            new BarSmartBitmapUnit(this, spec.id, spec.behaviour, tip.c_str(), face_, spec.key));
    }
}

// The field and application buttons show pressed while one of their menus is open.
void CBindPanel::markMenuUnits(bool open) {
    for (UINT id : {BIND_UNIT_FIELD, BIND_UNIT_APPLICATION})
        if (BarUnit* unit = findUnitById(id)) unit->setStateBits(UNIT_SELECTED, open, false);
}

void CBindPanel::closeAfterMenu() {
    closeWanted_ = true;
    if (openMenu_ && IsWindow(openMenu_)) PostMessageW(openMenu_, WM_CLOSE, 0, 0);
}

template <typename Menu>
bool CBindPanel::runMenu(Menu menu, bool wakeOnChange) {
    stopTimer();
    idle_ = false;
    const bool changed = menu();
    idle_ = true;
    if (closeWanted_) {
        closeBindPanel();  // deletes this panel
        return false;
    }
    if (wakeOnChange ? changed : shellLink().bindShowUpdatePending()) shellLink().wakeBindShow();
    restartTimer();
    return true;
}

LRESULT CBindPanel::onMessage(UINT code, LPARAM a, LPARAM b) {
    switch (code) {
        case BAR_UNIT_PICKED:
            switch (static_cast<UINT>(a)) {
                case BIND_UNIT_FIELD:
                    // One menu at a time: a second would outlive the first's loop.
                    if (idle_) runMenu([this] { return fieldMenu(nullptr); }, true);
                    return 0;
                case BIND_UNIT_APPLICATION:
                    if (idle_) runMenu([this] { return applicationMenu(); }, false);
                    return 0;
                case BIND_UNIT_LEAVE:
                case BIND_UNIT_LEAVE_TOO:
                    if (window()) PostMessageW(window(), WM_CLOSE, 0, 0);
                    return 0;
                case BIND_UNIT_SETTINGS:
                    openSettingsDialog(0);
                    return 0;
                default:
                    break;
            }
            break;
        case BAR_TIMER:
            if (static_cast<UINT_PTR>(a) != kPanelTimer) break;
            stopTimer();
            if (g_screenSaverRunning()) {
                closeBindPanel();  // deletes this panel
                return 0;
            }
            if (idle_ && shellLink().bindShowUpdatePending()) shellLink().wakeBindShow();
            restartTimer();
            return 0;
        case BIND_PANEL_FOCUS_HINT: {
            HWND focus = hookLibrary().getLastFocusWindow();
            if (focus == lastFocus_) return 0;
            lastFocus_ = focus;
            stopTimer();
            if (idle_) shellLink().wakeBindShow();
            restartTimer();
            return 0;
        }
        case BIND_PANEL_STICKER_CLICK: {
            if (!idle_) return 0;
            std::unique_ptr<CBindingInfo> info(
                shellLink().copyStickerBindingInfo(reinterpret_cast<HWND>(a)));
            if (!info || info->state == kStickerStateOpen)
                runMenu([this, &info] { return fieldMenu(info.get()); }, true);
            return 0;
        }
        default:
            break;
    }
    return BarSmartBitmapMaster::onMessage(code, a, b);
}

bool CBindPanel::applicationMenu() {
    const std::wstring module = targetModule();
    if (module.empty()) return false;
    bool allowIfCaret = false;
    const bool listed = appsFilter().findApp(module, &allowIfCaret);
    const POINT at = cursorPoint();
    auto* menu = new PureTextMenu(nullptr, nullptr, 1, 0, &at, 0, nullptr, nullptr);
    menu->addItem(0, L"Writing over the application", 0x1);
    menu->addSeparator(false);
    menu->addItem(BIND_MENU_ALWAYS, L"Always", !listed ? 0x8 : 0);
    menu->addItem(BIND_MENU_TEXT_FIELDS, L"For text fields only", listed && allowIfCaret ? 0x8 : 0);
    menu->addItem(BIND_MENU_NEVER, L"Never", listed && !allowIfCaret ? 0x8 : 0);
    markMenuUnits(true);
    openMenu_ = menu->window();
    const UINT choice = menu->showModal();
    openMenu_ = nullptr;
    markMenuUnits(false);
    if (closeWanted_) return false;
    switch (choice) {
        case BIND_MENU_ALWAYS:
            appsFilter().removeApp(module);
            break;
        case BIND_MENU_NEVER:
            appsFilter().setApp(module, false);
            break;
        case BIND_MENU_TEXT_FIELDS:
            appsFilter().setApp(module, true);
            break;
        default:
            return false;
    }
    appsFilter().save(nullptr);
    return true;
}

bool CBindPanel::fieldMenu(const CBindingInfo* info) {
    if (!info) {
        if (!getRecMgr().getCurrentModule()) return false;
        const std::wstring module = targetModule();
        const POINT at = cursorPoint();
        auto* menu = new PureTextMenu(nullptr, nullptr, 1, 0, &at, 0, nullptr, nullptr);
        if (generalSettings().useAppFilters) {
            menu->addSeparator(false);
            menu->addItem(BIND_MENU_NO_WRITING, L"No writing over this app",
                          !module.empty() && appsFilter().findApp(module, nullptr) ? 0x8 : 0);
        }
        menu->addSeparator(false);
        menu->addItem(BIND_MENU_CLOSE, L"Close menu", 0);
        markMenuUnits(true);
        openMenu_ = menu->window();
        const UINT choice = menu->showModal();
        openMenu_ = nullptr;
        markMenuUnits(false);
        if (closeWanted_ || choice != BIND_MENU_NO_WRITING) return false;
        toggleNoWriting(module);
        return true;
    }
    CProfileChooser& chooser = getRecMgr().profileChooser();
    CBindElem bound;
    const bool found = chooser.findBinding(info->module, info->type, info->doc, info->elem, bound);
    markMenuUnits(true);
    std::wstring name;
    bool filterToggled = false;
    const bool chosen =
        chooseProfileMenu(nullptr, found ? bound.profile : L"", name, &filterToggled, &openMenu_);
    openMenu_ = nullptr;
    markMenuUnits(false);
    if (closeWanted_ || !chosen) return false;
    // The filter entry of the menu says nothing about the field's profile:
    // its binding stays as it is.
    if (filterToggled) return true;
    CBindElem record = info->elem;
    record.profile = name;
    chooser.clear(-1);
    if (chooser.setBinding(info->module, info->type, info->doc, record)) {
        win::ScopedLock lock(*panelLock());
        if (g_panel && getServiceWindow())
            PostMessageW(getServiceWindow(), WM_INK_SHOW_STICKERS, 0, 0);
        else if (!g_panel)
            shellLink().clearStickers();
        chooser.saveBindings(chooser.bindingsPath());
    }
    return true;
}

// ---- the profile choice menu ----

bool chooseProfileMenu(const wchar_t* title, const std::wstring& current, std::wstring& name,
                       bool* filterToggled, HWND* shownMenu) {
    name.clear();
    if (filterToggled) *filterToggled = false;
    RecModule* module = getRecMgr().getCurrentModule();
    if (!module) return false;
    const std::wstring target = targetModule();
    const bool useFilter = generalSettings().useAppFilters != 0;
    const bool listed = useFilter && !target.empty() && appsFilter().findApp(target, nullptr);

    const POINT at = cursorPoint();
    auto* menu = new PureTextMenu(nullptr, nullptr, 1, 0, &at, 0, nullptr, nullptr);
    if (title) {
        menu->addItem(0, title, 0x1);
        menu->addSeparator(false);
    }
    std::vector<std::wstring> names;
    if (!listed) {
        names.push_back(L"");
        menu->addItem(1, L"default (unbind)", current.empty() ? 0x8 : 0);
        for (const std::wstring& profile : module->profileNames()) {
            if (isSystemProfileName(profile.c_str())) continue;
            names.push_back(profile);
            menu->addItem(static_cast<UINT>(names.size()), profile.c_str(),
                          profile == current ? 0x8 : 0);
        }
    }
    if (useFilter) {
        if (!names.empty()) menu->addSeparator(false);
        menu->addItem(BIND_MENU_NO_WRITING, L"No writing over this app", listed ? 0x8 : 0);
    }
    menu->addSeparator(false);
    menu->addItem(BIND_MENU_CLOSE, L"Close menu", 0);
    if (shownMenu) *shownMenu = menu->window();
    const UINT choice = menu->showModal();
    if (shownMenu) *shownMenu = nullptr;
    if (choice >= 1 && choice <= names.size()) {
        name = names[choice - 1];
        return true;
    }
    if (choice == BIND_MENU_NO_WRITING) {
        toggleNoWriting(target);
        if (filterToggled) *filterToggled = true;
        return true;
    }
    return false;
}

void setScreenSaverProbe(bool (*probe)()) {
    g_screenSaverRunning = probe ? probe : systemScreenSaverRunning;
}

// ---- opening and closing ----

bool showBindPanel(HWND) {
    win::ScopedLock lock(*panelLock());
    if (g_panel) return false;
    const POINT at = {GetSystemMetrics(SM_XVIRTUALSCREEN) - 1000,
                      GetSystemMetrics(SM_YVIRTUALSCREEN) - 1000};
    CBindPanel* panel = new CBindPanel(&at);
    panel->show();
    panel->placeOnScreen();
    return true;
}

bool closeBindPanel() {
    win::ScopedLock lock(*panelLock());
    if (!g_panel) return false;
    if (g_panel->menuRunning()) {
        // This runs inside the menu's loop (a second instance's switch, the
        // command message): the panel below it must live until the menu
        // returns to it, which then ends binding mode.
        g_panel->closeAfterMenu();
        // The program may be closing inside the menu: the ink manager, which
        // deletes its clients as it goes, must leave this one to its menu.
        if (LocalInkManager* manager = g_panel->inkManager())
            if (manager->isRegistered(g_panel)) manager->unregisterClient(g_panel, false);
        return true;
    }
    delete g_panel;  // its destructor unregisters it and stops the binding thread
    shellLink().clearStickers();
    return true;
}

void notifyBindPanelFocus() {
    CBindPanel* panel = nullptr;
    {
        win::ScopedLock lock(*panelLock());
        panel = g_panel;
    }
    if (panel && panel->window())
        BarMaster::postMsgToWindow(panel->window(), BIND_PANEL_FOCUS_HINT, 0, 0);
}

CBindPanel* bindPanel() {
    win::ScopedLock lock(*panelLock());
    return g_panel;
}

// The shell's operations for binding mode.
void openBindingPanel(HWND serviceWindow) { showBindPanel(serviceWindow); }
void closeBindingPanel() { closeBindPanel(); }
void refreshBindingPanel() { notifyBindPanelFocus(); }
