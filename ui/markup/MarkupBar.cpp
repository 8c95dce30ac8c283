#include "ui/markup/MarkupBar.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "core/AppGlobals.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "ink/LocalInkManager.h"
#include "ink/PenEventThread.h"
#include "resources/resource.h"
#include "ui/bars/BarFramework.h"
#include "ink/LiveInk.h"
#include "ui/clip/ClipOutput.h"
#include "win/PostedRecord.h"
#include "win/ScopedLock.h"

// A clip on its way from the clipping tool's thread to the bar.
struct DeliveredClip {
    DeliveredClip() = default;
    DeliveredClip(const DeliveredClip&) = delete;
    DeliveredClip& operator=(const DeliveredClip&) = delete;
    ~DeliveredClip() {
        if (clip) DeleteObject(clip);
    }
    HBITMAP clip = nullptr;
    wchar_t caption[320] = {};
};

namespace {

constexpr const wchar_t* kKey = L"MarkupBar";
constexpr UINT kClipCommand = 2001;
// The clipping tool's thread hands the bar what it delivered: a clip with
// its caption (lParam: a DeliveredClip record), or the end of the tool
// (lParam: the tool, only compared).
constexpr UINT WM_MARKUP_CLIP_DELIVERED = WM_APP + 0x42;
constexpr UINT WM_MARKUP_CAPTURE_ENDED = WM_APP + 0x43;

struct ButtonKind {
    UINT id;
    int tip;
    const wchar_t* image;  // "<image>_button_large.png" / "_small.png"
    bool compactOnly;
    bool extendedOnly;
};
// In creation order.
const ButtonKind kButtons[] = {
    {MB_CLEAR, IDS_TIP_CLEAR_ALL, L"clear", false, false},
    {MB_UNDO, IDS_TIP_UNDO, L"undo", false, false},
    {MB_REDO, IDS_TIP_REDO, L"redo", false, false},
    {MB_SNAPSHOT, IDS_TIP_MAKE_SNAPSHOT, L"photo", false, false},
    {MB_EXIT, IDS_TIP_LEAVE_MARKUP, L"exit", false, false},
    {MB_TOOL, IDS_TIP_MARKUP_TOOL, nullptr, true, false},
    {MB_COLOURS, IDS_TIP_PEN_COLORS, L"color", false, false},
    {MB_WIDTH, IDS_TIP_PEN_WIDTH, nullptr, true, false},
    {MB_SHAPES, IDS_TIP_SHAPE_ENHANCER, L"shapes", false, false},
    {MB_MENU, IDS_TIP_MENU, L"menu", false, false},
    {MB_PENCIL, IDS_TIP_PENCIL, L"pencil", false, true},
    {MB_PEN, IDS_TIP_PEN, L"pen", false, true},
    {MB_MARKER, IDS_TIP_MARKER, L"marker", false, true},
    {MB_CUTTER, IDS_TIP_CUTTER, L"cutter", false, true},
    {MB_SELECTOR, IDS_TIP_SELECTOR, L"selector", false, true},
    {MB_WIDTH1, IDS_TIP_PEN_WIDTH, L"width1", false, true},
    {MB_WIDTH1 << 1, IDS_TIP_PEN_WIDTH, L"width2", false, true},
    {MB_WIDTH1 << 2, IDS_TIP_PEN_WIDTH, L"width3", false, true},
    {MB_WIDTH1 << 3, IDS_TIP_PEN_WIDTH, L"width4", false, true},
    {MB_WIDTH1 << 4, IDS_TIP_PEN_WIDTH, L"width5", false, true},
};

// The extended bar's cells, row by row, 6 columns.
const UINT kExtendedLayout[3][6] = {
    {MB_CLEAR, MB_UNDO, MB_REDO, MB_SHAPES, MB_SNAPSHOT, MB_EXIT},
    {MB_PENCIL, MB_PEN, MB_MARKER, MB_CUTTER, MB_SELECTOR, MB_MENU},
    {MB_COLOURS, MB_WIDTH1, MB_WIDTH1 << 1, MB_WIDTH1 << 2, MB_WIDTH1 << 3, MB_WIDTH1 << 4},
};

std::wstring imageName(const wchar_t* base, bool large, const wchar_t* suffix = L"") {
    return std::wstring(base) + (large ? L"_button_large" : L"_button_small") + suffix + L".png";
}

const wchar_t* toolImage(int tool) {
    switch (tool) {
        case TOOL_PEN:
            return L"pen";
        case TOOL_MARKER:
            return L"marker";
        case TOOL_SELECTOR:
            return L"selector";
        case TOOL_CUTTER:
            return L"cutter";
        default:
            return L"pencil";
    }
}

bool isPenTool(int tool) { return tool == TOOL_PEN || tool == TOOL_PENCIL || tool == TOOL_MARKER; }

bool modalBusy() {
    LocalInkManager* manager = getLocalInkManager();
    return (manager && manager->isMouseTransparent()) || openModalBarCount() != 0;
}

void postToService(UINT message, WPARAM wParam, LPARAM lParam) {
    if (HWND service = getServiceWindow()) PostMessageW(service, message, wParam, lParam);
}

CMarkupBar* g_markupBar = nullptr;

// A picker's registered ink client owns it: the picker goes with its client.
void endPicker(CVexaBar* picker) {
    if (!picker) return;
    LocalClient* client = picker->client();
    LocalInkManager* manager = getLocalInkManager();
    if (manager && client && manager->isRegistered(client)) {
        manager->unregisterClient(client, true);
    } else if (!manager && client && appGlobals().servicesStarted) {
        // Shut-down: the ink manager is deleting its clients, this picker's among them.
    } else {
        delete picker;
    }
}

}  // namespace

// ------------------------------------------------------------ hidden start

template <typename Bar>
void CHiddenStartBar<Bar>::onCreate() {
    // As every floating bar starts, but not shown.
    this->onClientNotify(INK_EVENT_READ_ICON_SETTINGS, 0);
    using SetLayered = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
    if (auto fn = reinterpret_cast<SetLayered>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetLayeredWindowAttributes"))))
        fn(this->hwnd(), kBarTransparentColour, 255, LWA_COLORKEY | LWA_ALPHA);
    if (this->client_) {
        this->client_->setWindow(this->hwnd());
        this->client_->registerSelf();
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    this->tooltip_ = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSW, nullptr,
                                     WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, this->hwnd(),
                                     nullptr, getInstance(), nullptr);
    if (this->tooltip_) {
        SendMessageW(this->tooltip_, TTM_SETDELAYTIME, TTDT_AUTOPOP, 3000);
        SendMessageW(this->tooltip_, TTM_SETDELAYTIME, TTDT_INITIAL, 1000);
        SendMessageW(this->tooltip_, TTM_SETDELAYTIME, TTDT_RESHOW, 1200);
    }
    this->layoutButtons(this->sizeMode_);
    SetTimer(this->hwnd(), BAR_TIMER_KEEP_ON_TOP, 3000, nullptr);
}

template class CHiddenStartBar<CMarkupBar>;
template class CHiddenStartBar<CPickerBar>;

// ------------------------------------------------------------ the settings

MarkupPenTable readMarkupPenTable() {
    MarkupPenTable t;
    wchar_t text[257] = {};
    if (ReadSetting(kKey, L"penWidths", text, SETTING_STRING, 257)) {
        int w[5];
        if (swscanf(text, L"%d,%d,%d,%d,%d", &w[0], &w[1], &w[2], &w[3], &w[4]) == 5) {
            bool sane = true;
            for (int v : w) sane = sane && v > 0 && v < 1000;
            if (sane)
                for (int i = 0; i < 5; ++i) t.widths[i] = w[i];
        }
    }
    ReadSetting(kKey, L"lastPencilWidth", &t.lastPencilWidth, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"lastStyloWidth", &t.lastStyloWidth, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"lastMarkerWidth", &t.lastMarkerWidth, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"lastPencilColor", &t.lastPencilColor, SETTING_COLOR, 0);
    ReadSetting(kKey, L"lastStyloColor", &t.lastStyloColor, SETTING_COLOR, 0);
    ReadSetting(kKey, L"lastMarkerColor", &t.lastMarkerColor, SETTING_COLOR, 0);
    t.hasPosition = ReadSetting(kKey, L"position", &t.position, SETTING_POINT, 0) != 0;
    ReadSetting(kKey, L"sizeMode", &t.sizeMode, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"autoHide", &t.autoHide, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"shapeRecMode", &t.shapeRecMode, SETTING_NUMBER, 0);
    ReadSetting(kKey, L"showMode", &t.showMode, SETTING_NUMBER, 0);
    if (t.sizeMode < SIZE_SMALL || t.sizeMode > SIZE_FOLLOW_INPUT) t.sizeMode = SIZE_FOLLOW_INPUT;
    if (t.showMode < APPEARANCE_COMPACT || t.showMode > APPEARANCE_AUTO)
        t.showMode = APPEARANCE_AUTO;
    return t;
}

void writeMarkupPenTable(const MarkupPenTable& t) {
    wchar_t text[64];
    _snwprintf(text, 64, L"%d,%d,%d,%d,%d", t.widths[0], t.widths[1], t.widths[2], t.widths[3],
               t.widths[4]);
    WriteSetting(kKey, L"penWidths", text, SETTING_STRING, 0);
    WriteSetting(kKey, L"lastPencilWidth", &t.lastPencilWidth, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"lastStyloWidth", &t.lastStyloWidth, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"lastMarkerWidth", &t.lastMarkerWidth, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"lastPencilColor", &t.lastPencilColor, SETTING_COLOR, 0);
    WriteSetting(kKey, L"lastStyloColor", &t.lastStyloColor, SETTING_COLOR, 0);
    WriteSetting(kKey, L"lastMarkerColor", &t.lastMarkerColor, SETTING_COLOR, 0);
    // Left of or above the primary monitor is a place too; parked is not.
    if (t.hasPosition && t.position.x < kParkedPosition && t.position.y < kParkedPosition)
        WriteSetting(kKey, L"position", &t.position, SETTING_POINT, 0);
    WriteSetting(kKey, L"sizeMode", &t.sizeMode, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"autoHide", &t.autoHide, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"shapeRecMode", &t.shapeRecMode, SETTING_NUMBER, 0);
    WriteSetting(kKey, L"showMode", &t.showMode, SETTING_NUMBER, 0);
}

int nearestWidthIndex(const int widths[5], int width) {
    for (int i = 0; i < 4; ++i)
        if (width < (widths[i] + widths[i + 1]) / 2) return i;
    return 4;
}

// ------------------------------------------------------------ the bar

CMarkupBar::CMarkupBar() : CHiddenStartBar<CMarkupBar>(L"MarkupBar") {
    table_ = readMarkupPenTable();
    sizeModeSetting_ = table_.sizeMode;
    autoHide_ = table_.autoHide != 0;
    layoutMode_ = LAYOUT_HORIZONTAL;
    const RECT d = desktopRect();
    position_ = table_.hasPosition ? table_.position : POINT{d.left + 40, d.top + 40};
    pensBar_ = new CPensBar(this);
    widthsBar_ = new CWidthsBar(this);
}

CMarkupBar::~CMarkupBar() {
    // The tool's thread calls this bar back: it is cut off and waited for first.
    closeCapture();
    if (pensBar_) pensBar_->detachMarkup();
    if (widthsBar_) widthsBar_->detachMarkup();
    keepPosition();
    writeMarkupPenTable(table_);
    endPicker(pensBar_);
    endPicker(widthsBar_);
    pensBar_ = nullptr;
    widthsBar_ = nullptr;
    if (lastClip_) DeleteObject(lastClip_);
    lastClip_ = nullptr;
    if (g_markupBar == this) g_markupBar = nullptr;
}

bool CMarkupBar::create(HWND owner) {
    // The canvas starts with the pencil in its last width and colour.
    markup_canvas::setTool(TOOL_PENCIL);
    if (table_.lastPencilWidth) markup_canvas::setWidth(table_.lastPencilWidth);
    markup_canvas::setColour(table_.lastPencilColor);
    if (!createBar(owner)) return false;
    if (pensBar_) pensBar_->create(hwnd());
    if (widthsBar_) widthsBar_->create(hwnd());
    selectTool(currentTool_);
    markup_canvas::setRecognizerFolder();
    return true;
}

bool CMarkupBar::compact() const {
    return table_.showMode == APPEARANCE_COMPACT ||
           (table_.showMode == APPEARANCE_AUTO && sizeMode_ == 1);
}

HWND CMarkupBar::captureWindow() const {
    CScreenCaptureCtrl* capture = capture_;
    return capture ? capture->window() : nullptr;
}

int CMarkupBar::lastWidthOf(int tool) const {
    switch (tool) {
        case TOOL_PEN:
            return table_.lastStyloWidth;
        case TOOL_PENCIL:
            return table_.lastPencilWidth;
        case TOOL_MARKER:
            return table_.lastMarkerWidth;
        default:
            return 0;
    }
}

COLORREF CMarkupBar::lastColourOf(int tool) const {
    switch (tool) {
        case TOOL_PEN:
            return table_.lastStyloColor;
        case TOOL_PENCIL:
            return table_.lastPencilColor;
        case TOOL_MARKER:
            return table_.lastMarkerColor;
        default:
            return kNoColour;
    }
}

void CMarkupBar::keepLast(int tool, int width, COLORREF colour) {
    switch (tool) {
        case TOOL_PEN:
            table_.lastStyloWidth = width;
            table_.lastStyloColor = colour;
            break;
        case TOOL_PENCIL:
            table_.lastPencilWidth = width;
            table_.lastPencilColor = colour;
            break;
        case TOOL_MARKER:
            table_.lastMarkerWidth = width;
            table_.lastMarkerColor = colour;
            break;
        default:
            break;
    }
}

void CMarkupBar::keepPosition() {
    table_.position = position_;
    table_.hasPosition = true;
}

void CMarkupBar::selectTool(int tool) {
    checkOwner("selectTool");
    if (tool == TOOL_CUTTER && markup_canvas::hasSelection()) {
        // The cutter over a selection cuts it, and the tool stays.
        markup_canvas::cutSelection();
        refreshButtons();
        return;
    }
    markup_canvas::setTool(tool);
    if (const int width = lastWidthOf(tool)) markup_canvas::setWidth(width);
    const COLORREF colour = lastColourOf(tool);
    if (colour != kNoColour) markup_canvas::setColour(colour);
    currentTool_ = tool;
    if (hwnd() && compact()) layoutButtons(sizeMode_);
    refreshButtons();
}

void CMarkupBar::setPenColour(COLORREF colour) {
    checkOwner("setPenColour");
    markup_canvas::setColour(colour);
    currentColour_ = colour;
    if (isPenTool(currentTool_)) keepLast(currentTool_, markup_canvas::currentWidth(), colour);
    refreshButtons();
    if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void CMarkupBar::setPenWidth(int width) {
    checkOwner("setPenWidth");
    markup_canvas::setWidth(width);
    currentWidth_ = width;
    if (isPenTool(currentTool_)) keepLast(currentTool_, width, markup_canvas::currentColour());
    refreshButtons();
}

void CMarkupBar::setPenWidthIndex(int index) {
    if (index < 0) index = 0;
    if (index > 4) index = 4;
    setPenWidth(table_.widths[index]);
}

void CMarkupBar::applyAppearance(bool autoHide, int sizeModeSetting, int showMode) {
    table_.autoHide = autoHide ? 1 : 0;
    table_.sizeMode = sizeModeSetting;
    table_.showMode = showMode;
    autoHide_ = autoHide;
    sizeModeSetting_ = sizeModeSetting;
    if (hwnd()) {
        if (!autoHide_) {
            KillTimer(hwnd(), BAR_TIMER_AUTO_HIDE);
            // A bar slid out to the edge would stay there with nothing to
            // bring it back.
            if (slidOut()) slideIn(300);
        }
        layoutButtons(sizeMode_);
        refreshButtons();
        InvalidateRect(hwnd(), nullptr, FALSE);
    }
    keepPosition();
    writeMarkupPenTable(table_);
}

void CMarkupBar::toggleShapeEnhancer() {
    const bool on = !markup_canvas::shapeModeOn();
    markup_canvas::setShapeMode(on);
    table_.shapeRecMode = on ? 1 : 0;
    refreshButtons();
}

// --- layout ---

void CMarkupBar::layoutButtons(int) {
    removeAllButtons();
    const bool large = largeForSetting();
    sizeMode_ = large ? 1 : 0;
    const bool isCompact = compact();
    const int widthIndex =
        nearestWidthIndex(table_.widths, hwnd() ? markup_canvas::currentWidth() : table_.widths[1]);
    for (const ButtonKind& kind : kButtons) {
        if ((kind.compactOnly && !isCompact) || (kind.extendedOnly && isCompact)) continue;
        std::wstring image;
        if (kind.id == MB_TOOL)
            image = imageName(toolImage(currentTool_), large, L"_tr");
        else if (kind.id == MB_WIDTH)
            image = imageName((L"width" + std::to_wstring(widthIndex + 1)).c_str(), large, L"_tr");
        else
            image = imageName(kind.image, large);
        addButton(kind.id, image.c_str(), kind.tip, BarButton::TOGGLE);
    }
    shownTool_ = currentTool_;
    shownWidth_ = widthIndex;
    useFrame(L"markup_bgr64.png", large);
    vertical_ = false;
    relayout();
    if (autoHide_) startAutoHideTimer();
}

bool CMarkupBar::calcBarSize(bool, SIZE* size) {
    if (!size || buttons_.empty()) return false;
    const int w = buttons_.front()->width(), h = buttons_.front()->height();
    const SIZE area = compact() ? SIZE{5 * w, 2 * h} : SIZE{6 * w, 3 * h};
    if (!frameOuterSize(area, size)) *size = area;
    return true;
}

void CMarkupBar::arrangeButtons(const RECT& r) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    const bool isCompact = compact();
    win::ScopedLock lock(buttonsLock_);
    for (int i = 0; i < buttonCount(); ++i) {
        BarButton* b = buttons_[i];
        int column = -1, row = -1;
        if (isCompact) {
            if (i < 10) column = i % 5, row = i / 5;
        } else {
            for (int y = 0; y < 3 && column < 0; ++y)
                for (int x = 0; x < 6; ++x)
                    if (kExtendedLayout[y][x] == b->id) column = x, row = y;
        }
        if (column < 0) {
            if (!(b->flags & BarButton::HIDDEN)) {
                b->flags |= BarButton::HIDDEN;
                if (hwnd()) InvalidateRect(hwnd(), &b->rect, FALSE);
            }
            continue;
        }
        b->flags &= ~BarButton::HIDDEN;
        const int columns = isCompact ? 5 : 6, rows = isCompact ? 2 : 3;
        int x = r.left + (column * width) / columns;
        int y = r.top + (height * row) / rows;
        if (b->flags & BarButton::CENTRED) {
            // Centred across its cell: the bar's rows run horizontally.
            const int cellTop = y, cellBottom = r.top + (height * (row + 1)) / rows;
            y = cellTop + ((cellBottom - cellTop) - b->height()) / 2;
        }
        b->rect = {x, y, x + b->width(), y + b->height()};
        if (tooltip_) {
            // The tip's area follows the picture.
            TTTOOLINFOW info = {};
            info.cbSize = TTTOOLINFOW_V2_SIZE;
            info.uFlags = TTF_SUBCLASS;
            info.hwnd = hwnd();
            info.uId = b->id;
            info.rect = b->rect;
            info.hinst = getInstance();
            info.lpszText = MAKEINTRESOURCEW(b->tipStringId);
            if (b->tipAdded) {
                SendMessageW(tooltip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
            } else {
                b->tipAdded =
                    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != 0;
            }
        }
        if (hwnd()) InvalidateRect(hwnd(), &b->rect, FALSE);
    }
}

void CMarkupBar::paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd(), &client);
    HBRUSH key = CreateSolidBrush(kBarTransparentColour);
    FillRect(dc, &client, key);
    DeleteObject(key);
    frame_.paint(dc, client);
    if (BarButton* colours = findButton(MB_COLOURS)) {
        // The swatch of the pen's colour behind the colours button.
        RECT swatch = colours->rect;
        InflateRect(&swatch, -2, -2);
        const COLORREF old = SetBkColor(dc, markup_canvas::currentColour());
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &swatch, nullptr, 0, nullptr);
        SetBkColor(dc, old);
    }
    win::ScopedLock lock(buttonsLock_);
    for (BarButton* b : buttons_)
        if (!(b->flags & BarButton::HIDDEN)) b->paint(dc);
}

// --- button states ---

void CMarkupBar::refreshButtons() {
    checkOwner("refreshButtons");
    if (!hwnd()) return;
    const int tool = markup_canvas::currentTool();
    const int width = markup_canvas::currentWidth();
    const COLORREF colour = markup_canvas::currentColour();
    if (isPenTool(tool)) keepLast(tool, width, colour);
    const int widthIndex = nearestWidthIndex(table_.widths, width);
    const bool toolChanged = tool != currentTool_;
    const bool colourChanged = colour != currentColour_;
    currentTool_ = tool;
    currentWidth_ = width;
    currentColour_ = colour;
    if (compact() && (tool != shownTool_ || widthIndex != shownWidth_)) {
        // The tool and width buttons show the current ones' pictures.
        layoutButtons(sizeMode_);
        return;
    }
    (void)toolChanged;
    const bool busy = modalBusy();
    const bool snapshot = serviceState().snapshot;
    const bool cutter = tool == TOOL_CUTTER;
    const bool shapesOn = markup_canvas::shapeModeOn();
    const bool menuOpen = isMainMenuOpen();
    win::ScopedLock lock(buttonsLock_);
    for (BarButton* b : buttons_) {
        bool on = false, disabled = busy;
        switch (b->id) {
            case MB_PENCIL:
                on = tool == TOOL_PENCIL;
                break;
            case MB_PEN:
                on = tool == TOOL_PEN;
                break;
            case MB_MARKER:
                on = tool == TOOL_MARKER;
                break;
            case MB_SELECTOR:
                on = tool == TOOL_SELECTOR;
                break;
            case MB_CUTTER:
                on = tool == TOOL_CUTTER;
                break;
            case MB_SHAPES:
                on = shapesOn;
                break;
            case MB_MENU:
                on = menuOpen;
                break;
            default:
                if (b->id >= MB_WIDTH1 && b->id <= (MB_WIDTH1 << 4))
                    on = b->id == (MB_WIDTH1 << widthIndex);
                break;
        }
        if (!snapshot) {
            switch (b->id) {
                case MB_UNDO:
                case MB_REDO:
                case MB_SNAPSHOT:
                case MB_MARKER:
                case MB_SELECTOR:
                case MB_CUTTER:
                case MB_SHAPES:
                case MB_MENU:
                    disabled = true;
                    break;
                default:
                    break;
            }
        }
        if (cutter && (b->id == MB_COLOURS || b->id == MB_WIDTH || b->id == MB_SHAPES ||
                       (b->id >= MB_WIDTH1 && b->id <= (MB_WIDTH1 << 4))))
            disabled = true;
        if (disabled && b->id != MB_MENU) on = false;
        setButtonState(b, disabled, on);
        if (b->id == MB_COLOURS && colourChanged) InvalidateRect(hwnd(), &b->rect, FALSE);
    }
}

// --- commands ---

void CMarkupBar::onButton(BarButton* button) {
    if (!button || dragging() || morphing() || (button->flags & BarButton::DISABLED)) return;
    runCommand(button->id);
    slideIn(300);
}

void CMarkupBar::runCommand(UINT id) {
    checkOwner("runCommand");
    switch (id) {
        case MB_EXIT:
            postToService(WM_INK_MARKUP_SWITCH, serviceState().markupMode ? 0 : 1, 0);
            break;
        case MB_TOOL:
        case MB_WIDTH: {
            POINT cursor;
            GetCursorPos(&cursor);
            if (id == MB_TOOL && pensBar_)
                pensBar_->showAt(cursor);
            else if (id == MB_WIDTH && widthsBar_)
                widthsBar_->showAt(cursor);
            break;
        }
        case MB_COLOURS: {
            resetPenInputQueue();
            // The colour choice is the service window's: a command record
            // for this bar (freed there).
            postCommandRecord(getServiceWindow(),
                              CommandRecord{0, reinterpret_cast<INT_PTR>(hwnd()), 0});
            resetPenInputQueue();
            break;
        }
        case MB_CLEAR:
            if (markup_canvas::window() && IsWindowVisible(markup_canvas::window()))
                markup_canvas::clearInk();
            else
                clearInkOverTheDesktop();
            break;
        case MB_SNAPSHOT:
            startScreenCapture();
            break;
        case MB_UNDO:
            markup_canvas::undo();
            break;
        case MB_REDO:
            markup_canvas::redo();
            break;
        case MB_SHAPES:
            toggleShapeEnhancer();
            break;
        case MB_MENU:
            postToService(WM_INK_MAIN_MENU, 0, 2);
            break;
        case MB_PENCIL:
            selectTool(TOOL_PENCIL);
            break;
        case MB_PEN:
            selectTool(TOOL_PEN);
            break;
        case MB_MARKER:
            selectTool(TOOL_MARKER);
            break;
        case MB_SELECTOR:
            selectTool(TOOL_SELECTOR);
            break;
        case MB_CUTTER:
            selectTool(TOOL_CUTTER);
            break;
        default:
            for (int i = 0; i < 5; ++i)
                if (id == (MB_WIDTH1 << i)) setPenWidthIndex(i);
            break;
    }
}

void CMarkupBar::clearInkOverTheDesktop() {
    // Without the canvas the ink lies on the screen itself: the desktop is
    // drawn again, the ink window shown afresh (what was drawn into it goes),
    // and nothing waits to be restored from before.
    RedrawWindow(nullptr, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HWND ink = appGlobals().inkLayerWindow;
    if (ink && IsWindowVisible(ink)) {
        ShowWindow(ink, SW_HIDE);
        ShowWindow(ink, SW_SHOWNOACTIVATE);
    }
    if (serviceState().markupMode) keepOnTop();
    emptyInkLayerDirtyRect();
}

void CMarkupBar::onContextMenu(POINT) { postToService(WM_INK_MAIN_MENU, 0, 2); }

void CMarkupBar::keepOnTop() {
    if (!serviceState().markupMode || markup_canvas::findCaptureWindow()) return;
    CHiddenStartBar<CMarkupBar>::keepOnTop();
}

int CMarkupBar::onClientNotify(int event, LPARAM argument) {
    switch (event) {
        case INK_EVENT_ACCEPTED:
        case INK_EVENT_RESULT_CHANGED:
        case INK_EVENT_RELEASED:
            refreshButtons();
            break;
        case INK_EVENT_PEN_CHANGED:
            refreshButtons();
            return 0;
        case INK_EVENT_WRITE_ICON_SETTINGS:
            keepPosition();
            writeMarkupPenTable(table_);
            break;
        case INK_EVENT_READ_ICON_SETTINGS:
            table_ = readMarkupPenTable();
            sizeModeSetting_ = table_.sizeMode;
            autoHide_ = table_.autoHide != 0;
            // The bar's client (its record named after the same key) inks
            // with the markup pencil.
            if (client_) {
                LocalClientRecord& record = client_->record();
                record.penType = 2;  // the pencil
                record.penWidth = table_.lastPencilWidth;
                record.penColor = table_.lastPencilColor;
            }
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
        case INK_EVENT_TIPS:
            onInputType();
            break;
        case INK_EVENT_DISPLAY_CHANGED:
            reloadLayoutState();
            break;
        default:
            break;
    }
    return CHiddenStartBar<CMarkupBar>::onClientNotify(event, argument);
}

LRESULT CMarkupBar::onControlNotification(WPARAM code, LPARAM) {
    switch (code) {
        case 1:
        case 4:
            refreshButtons();
            break;
        case 2:
            if (serviceState().markupMode) startScreenCapture();
            break;
        case 3:
            if (serviceState().markupMode) postToService(WM_INK_MARKUP_SWITCH, 0, 0);
            break;
        default:
            break;
    }
    return 0;
}

LRESULT CMarkupBar::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ACTIVATE && wParam != 0) {
        if (HWND canvas = markup_canvas::window()) SetFocus(canvas);
    } else if (message == WM_COMMAND && LOWORD(wParam) == kClipCommand) {
        handClip();
        return 0;
    } else if (message == WM_MARKUP_CLIP_DELIVERED) {
        if (std::unique_ptr<DeliveredClip> delivered = win::takeRecord<DeliveredClip>(lParam))
            keepClip(*delivered);
        return 0;
    } else if (message == WM_MARKUP_CAPTURE_ENDED) {
        // The tool's window went (Escape, or its thread gave up): nothing is
        // kept of it, and the next clip can start.
        if (capture_ && reinterpret_cast<LPARAM>(capture_) == lParam) closeCapture();
        return 0;
    }
    return CHiddenStartBar<CMarkupBar>::onMessage(message, wParam, lParam);
}

// --- the clipping tool ---

void CMarkupBar::pickerGone(CVexaBar* picker) {
    if (picker == pensBar_) pensBar_ = nullptr;
    if (picker == widthsBar_) widthsBar_ = nullptr;
}

void CMarkupBar::startScreenCapture() {
    checkOwner("startScreenCapture");
    if (capture_) return;
    capture_ = createScreenCapture(hwnd(), this);
}

void CMarkupBar::closeCapture() {
    checkOwner("closeCapture");
    // Once only: the tool is cut off from this bar and waited for, then the
    // creator's reference goes.
    CScreenCaptureCtrl* capture = capture_;
    capture_ = nullptr;
    if (capture) capture->close();
}

// The callbacks come on the tool's thread: they only post to the bar.

void CMarkupBar::cancelled(CScreenCaptureCtrl* control) {
    if (HWND window = hwnd())
        PostMessageW(window, WM_MARKUP_CAPTURE_ENDED, 0, reinterpret_cast<LPARAM>(control));
}

void CMarkupBar::done(CScreenCaptureCtrl*, HBITMAP* clip, const wchar_t* title) {
    HWND window = hwnd();
    if (!clip || !*clip || !window) return;
    std::unique_ptr<DeliveredClip> delivered(new (std::nothrow) DeliveredClip);
    if (!delivered) return;
    BITMAP info = {};
    GetObjectW(*clip, sizeof info, &info);
    if (title)
        _snwprintf(delivered->caption, 320, L"%u x %u - %ls", static_cast<unsigned>(info.bmWidth),
                   static_cast<unsigned>(info.bmHeight), title);
    else
        _snwprintf(delivered->caption, 320, L"%u x %u", static_cast<unsigned>(info.bmWidth),
                   static_cast<unsigned>(info.bmHeight));
    delivered->caption[319] = 0;
    delivered->clip = *clip;
    *clip = nullptr;
    // Not delivered (the bar's window went): the record frees the clip.
    win::postRecord(window, WM_MARKUP_CLIP_DELIVERED, 0, std::move(delivered));
}

void CMarkupBar::keepClip(DeliveredClip& delivered) {
    if (lastClip_) DeleteObject(lastClip_);
    lastClip_ = delivered.clip;
    delivered.clip = nullptr;
    wcsncpy(lastClipCaption_, delivered.caption, 319);
    lastClipCaption_[319] = 0;
    postToService(WM_INK_CLIP_READY, 0, 0);
}

void CMarkupBar::handClip() {
    checkOwner("handClip");
    HBITMAP clip = lastClip_;
    // The tool has done its work: it closes, so the next clip can start.
    closeCapture();
    if (clip) showClipSendMenu(clip);
    if (serviceState().markupMode) keepOnTop();
}

// ------------------------------------------------------------ the pickers

namespace {

const CPickerBar::Kind kPens[] = {
    {TOOL_PENCIL, IDS_TIP_PENCIL, L"pencil"}, {TOOL_PEN, IDS_TIP_PEN, L"pen"},
    {TOOL_MARKER, IDS_TIP_MARKER, L"marker"}, {TOOL_SELECTOR, IDS_TIP_SELECTOR, L"selector"},
    {TOOL_CUTTER, IDS_TIP_CUTTER, L"cutter"},
};
const CPickerBar::Kind kWidths[] = {
    {1, 0, L"width1"}, {2, 0, L"width2"}, {3, 0, L"width3"}, {4, 0, L"width4"}, {5, 0, L"width5"},
};

// Whether an ink manager event hides a shown picker.
bool pickerHides(CVexaBar* picker, int event, LPARAM argument) {
    const bool markup = serviceState().markupMode;
    switch (event) {
        case INK_EVENT_ACCEPTED:
            return !(markup && argument == reinterpret_cast<LPARAM>(picker->client()));
        case INK_EVENT_PEN_CHANGED:
        case INK_EVENT_RESULT_CHANGED:
        case INK_EVENT_RELEASED:
            return !markup;
        case INK_EVENT_SERVICE: {
            const POINT p = unpackPoint(argument);
            HWND under = WindowFromPoint(p);
            return !(markup && under && GetAncestor(under, GA_ROOT) == picker->hwnd());
        }
        default:
            return false;
    }
}

}  // namespace

CPickerBar::CPickerBar(const wchar_t* clientName, CMarkupBar* markup)
    : CHiddenStartBar<CPickerBar>(clientName), markup_(markup) {
    layoutMode_ = LAYOUT_HORIZONTAL;
    sizeModeSetting_ = SIZE_SMALL;
}

CPickerBar::~CPickerBar() {
    if (markup_) markup_->pickerGone(this);
}

bool CPickerBar::create(HWND owner) { return createBar(owner); }

void CPickerBar::layoutKinds(const Kind* kinds, int count) {
    removeAllButtons();
    const bool large = sizeMode_ == 1;
    for (int i = 0; i < count; ++i)
        addButton(kinds[i].id, imageName(kinds[i].image, large).c_str(), kinds[i].tip,
                  BarButton::TOGGLE);
    useFrame(L"markup_bgr64.png", large);
    relayout();
}

void CPickerBar::showAt(POINT point) {
    checkOwner("showAt");
    if (!markup_) return;
    // The markup bar's size, across its orientation.
    sizeMode_ = markup_->sizeMode();
    vertical_ = !markup_->vertical();
    layoutButtons(sizeMode_);
    if (shown()) hideBar();
    showAtStart(point);
    refreshButtons();
}

void CPickerBar::onButton(BarButton* button) {
    if (!button || dragging() || morphing() || (button->flags & BarButton::DISABLED)) return;
    // Shut-down detaches the markup bar before it goes: a late pick is dropped.
    if (markup_) pick(*markup_, button->id);
    hideBar();
}

int CPickerBar::onClientNotify(int event, LPARAM argument) {
    if (shown() && pickerHides(this, event, argument)) {
        hideBar();
    } else if (event == INK_EVENT_PEN_CHANGED || event == INK_EVENT_RESULT_CHANGED ||
               event == INK_EVENT_RELEASED) {
        refreshButtons();
    } else if (event == INK_EVENT_TIPS) {
        onInputType();
    } else if (event == INK_EVENT_DISPLAY_CHANGED) {
        reloadLayoutState();
    }
    return CHiddenStartBar<CPickerBar>::onClientNotify(event, argument);
}

CPensBar::CPensBar(CMarkupBar* markup) : CPickerBar(L"sxPensBar", markup) {}

void CPensBar::layoutButtons(int) { layoutKinds(kPens, 5); }

void CPensBar::pick(CMarkupBar& markup, UINT id) { markup.selectTool(static_cast<int>(id)); }

void CPensBar::refreshButtons() {
    const int tool = markup_canvas::currentTool();
    const bool snapshot = serviceState().snapshot;
    win::ScopedLock lock(buttonsLock_);
    for (int i = 0; i < buttonCount(); ++i) {
        BarButton* b = button(i);
        // Without the snapshot only the pencil and the pen draw.
        const bool disabled = !snapshot && b->id != TOOL_PENCIL && b->id != TOOL_PEN;
        setButtonState(b, disabled, static_cast<int>(b->id) == tool && !disabled);
    }
}

CWidthsBar::CWidthsBar(CMarkupBar* markup) : CPickerBar(L"sxWidthsBar", markup) {}

void CWidthsBar::layoutButtons(int) { layoutKinds(kWidths, 5); }

void CWidthsBar::pick(CMarkupBar& markup, UINT id) {
    markup.setPenWidthIndex(static_cast<int>(id) - 1);
}

void CWidthsBar::refreshButtons() {
    if (!markup()) return;
    const int index =
        nearestWidthIndex(markup()->penTable().widths, markup_canvas::currentWidth()) + 1;
    win::ScopedLock lock(buttonsLock_);
    for (int i = 0; i < buttonCount(); ++i) {
        BarButton* b = button(i);
        setButtonState(b, (b->flags & BarButton::DISABLED) != 0, static_cast<int>(b->id) == index);
    }
}

// ------------------------------------------------------------ the slot

CMarkupBar* markupBar() { return g_markupBar; }

void createMarkupBar() {
    if (g_markupBar) return;
    auto* bar = new (std::nothrow) CMarkupBar;
    if (!bar) return;
    g_markupBar = bar;
    if (!bar->create(getServiceWindow())) {
        g_markupBar = nullptr;
        delete bar;
        debugTrace(L"MarkupBar: the window could not be made\n");
    }
}

bool markupBarExists() { return g_markupBar != nullptr; }
HWND markupBarWindow() { return g_markupBar ? g_markupBar->hwnd() : nullptr; }
LocalClient* markupBarClient() { return g_markupBar ? g_markupBar->client() : nullptr; }
void setMarkupBarAboveLayer(bool above) {
    if (g_markupBar) g_markupBar->setAboveLayer(above);
}
bool markupBarWillShowMainBar() { return g_markupBar && g_markupBar->hidesMainBar(); }
LRESULT passToMarkupBar(WPARAM wParam, LPARAM lParam) {
    return g_markupBar ? g_markupBar->onControlNotification(wParam, lParam) : 0;
}
void setMarkupPenColor(COLORREF colour) {
    if (g_markupBar) g_markupBar->setPenColour(colour);
}
void setMarkupPenWidth(int width) {
    if (g_markupBar) g_markupBar->setPenWidth(width);
}
void setMarkupPenType(int type) {
    if (g_markupBar) g_markupBar->selectTool(type);
}
void setMarkupColorEntry(int index) {
    if (g_markupBar) g_markupBar->setPenColour(static_cast<COLORREF>(index));
}
void startMarkupCapture() {
    if (g_markupBar) g_markupBar->startScreenCapture();
}
void handMarkupClip(LPARAM) {
    if (g_markupBar) g_markupBar->handClip();
}
void toggleShapeEnhancer() {
    if (g_markupBar) g_markupBar->toggleShapeEnhancer();
}
void makeSnapshot() {
    if (g_markupBar) g_markupBar->startScreenCapture();
}
