#include "PickerBars.h"

#include <cstdio>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "ink/LocalInkManager.h"
#include "resources/resource.h"
#include "ui/markup/MarkupCanvas.h"
#include "ui/menus/MenuGroup.h"

namespace {

constexpr int kDelimCellWidth = 31;
constexpr int kDelimCellHeight = 27;
constexpr int kDelimLayers = 6;
constexpr unsigned kDelimBehaviour = 0x90E;
constexpr unsigned kColourBehaviour = 0x90F;
constexpr int kColourRunCode = 11;
constexpr int kDelimRunCode = 14;

DelimBarMaster* g_openDelimBar = nullptr;
ColorsBarMaster* g_openColoursBar = nullptr;

// The right-hand keys: column, row, id.
struct RightKey {
    int column, row, id;
};
// In the order they are built.
constexpr RightKey kRightKeys[] = {
    {6, 0, DELIM_UNDO},
    {7, 0, DELIM_REDO},
    {8, 0, DELIM_CLOSE},
    {6, 1, kDelimVirtualKey + VK_TAB},
    {7, 1, kDelimVirtualKey + VK_BACK},
    {8, 1, kDelimVirtualKey + VK_PRIOR},
    {6, 2, kDelimVirtualKey + VK_INSERT},
    {7, 2, kDelimVirtualKey + VK_DELETE},
    {8, 2, kDelimVirtualKey + VK_NEXT},
    {6, 3, kDelimVirtualKey + VK_HOME},
    {7, 3, kDelimVirtualKey + VK_UP},
    {8, 3, kDelimVirtualKey + VK_END},
    {6, 4, kDelimVirtualKey + VK_LEFT},
    {7, 4, kDelimVirtualKey + VK_DOWN},
    {8, 4, kDelimVirtualKey + VK_RIGHT},
};
constexpr RightKey kLastKeys[] = {
    {6, 5, DELIM_MORE},
    {7, 5, DELIM_SPACE},
    {8, 5, kDelimVirtualKey + VK_RETURN},
};
constexpr wchar_t kFixedRow5[6] = {L'!', L'?', L'~', L'@', L'#', L'='};

// The face of the punctuation bar: resource 225 with the symbols of the table
// drawn into its face layers.
LayeredBitmap* makeDelimFace(const PunctuationSymbols& symbols) {
    HBITMAP bitmap =
        static_cast<HBITMAP>(LoadImageW(getInstance(), MAKEINTRESOURCEW(IDB_PUNCTUATION_BAR),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) return nullptr;
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    const int layerHeight = info.bmHeight / kDelimLayers;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HFONT font = CreateFontW(-21, 0, 0, 0, 700, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             FIXED_PITCH | FF_MODERN, L"Courier New");
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    static const COLORREF kInk[5] = {RGB(0, 0, 0), RGB(0, 0, 0), RGB(255, 255, 255),
                                     RGB(255, 255, 255), RGB(0x80, 0x80, 0x80)};
    for (int layer = 0; layer < 5; ++layer) {
        SetTextColor(dc, kInk[layer]);
        for (int row = 0; row < 6; ++row) {
            for (int column = 0; column < 6; ++column) {
                const wchar_t text[2] = {symbols.cell[row][column], 0};
                RECT r = {column * kDelimCellWidth + 3,
                          layer * layerHeight + row * kDelimCellHeight + 3,
                          column * kDelimCellWidth + 33,
                          layer * layerHeight + row * kDelimCellHeight + 29};
                DrawTextW(dc, text, 1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            }
        }
    }
    SelectObject(dc, oldFont);
    DeleteObject(font);
    SelectObject(dc, oldBitmap);
    DeleteDC(dc);
    return new LayeredBitmap(bitmap, kDelimLayers, 0);
}

// Sizes the bar window to its face, keeps it in the desktop and shows its shape.
void fitWindowToFace(BarBitmapMaster* master) {
    LayeredBitmap* face = master->face();
    HWND window = master->window();
    if (!face || !face->valid() || !window) return;
    SetWindowPos(window, nullptr, master->position().x, master->position().y, face->width(),
                 face->layerHeight(), SWP_NOZORDER | SWP_NOACTIVATE);
    if (HRGN region = face->windowRegion()) {
        if (!SetWindowRgn(window, region, TRUE)) DeleteObject(region);
    }
    master->keepInDesktop();
    InvalidateRect(window, nullptr, FALSE);
}

// The cursor when no position is given.
POINT positionOrCursor(const POINT* position) {
    POINT at = {};
    if (position && (position->x != 0 || position->y != 0)) return *position;
    GetCursorPos(&at);
    return at;
}

}  // namespace

// ------------------------------------------------------------- the symbols

PunctuationSymbols defaultPunctuationSymbols() {
    return {{
        {L',', L'\'', L'(', L')', L'*', L'$'},
        {L'.', L'"', L'[', L']', L'&', 0x00A3},
        {L':', L';', L'{', L'}', L'^', 0x00A5},
        {L'-', L'+', L'<', L'>', L'%', 0x20AC},
        {L'/', L'\\', L'_', L'|', 0x00A9, 0x00AE},
        {L'!', L'?', L'~', L'@', L'#', L'='},
    }};
}

PunctuationSymbols& punctuationSymbols() {
    static PunctuationSymbols symbols = defaultPunctuationSymbols();
    return symbols;
}

namespace {

// A code a symbol key may carry: a sign, not a control character, not one of
// the ids of the bar's other keys (close, more, undo, redo, space) and not
// half a character.
bool isSymbolCode(int code) {
    return code > 32 && code < 0xFFFE && !(code >= 0x7F && code <= 0x9F) &&
           !(code >= 0xD800 && code <= 0xDFFF);
}

}  // namespace

void loadPunctuationBar() {
    // From the built-in table each time: a value removed from the settings
    // leaves no trace of an earlier load.
    PunctuationSymbols symbols = defaultPunctuationSymbols();
    for (int n = 1; n <= 36; ++n) {
        wchar_t name[16];
        _snwprintf(name, 16, L"symb%d", n);
        wchar_t text[21] = {};
        if (!ReadSetting(L"PunctuationBar", name, text, SETTING_STRING, 21)) break;
        int row = 0, column = 0, code = 0;
        if (swscanf(text, L"%d,%d,%d", &row, &column, &code) != 3) continue;
        if (row < 1 || row > 5 || column < 1 || column > 5 || !isSymbolCode(code)) continue;
        symbols.cell[row][column] = static_cast<wchar_t>(code);
    }
    punctuationSymbols() = symbols;
}

POINT delimSamplePoint(int column, int row) {
    return {column * kDelimCellWidth + 18, row * kDelimCellHeight + 15};
}

POINT colourSamplePoint(int column, int row) { return {column * 25 + 23, row * 21 + 18}; }

// ------------------------------------------------------------ punctuation

DelimBarUnit::DelimBarUnit(BarMaster* master, int id, LayeredBitmap* face, COLORREF key)
    : BarSmartBitmapUnit(master, static_cast<UINT>(id), kDelimBehaviour, nullptr, face, key) {}

DelimBarMaster::DelimBarMaster(const POINT* position, HWND parent, int* resultSlot,
                               bool symbolsOnly)
    : BarSmartBitmapMaster(position, reinterpret_cast<LPARAM>(resultSlot),
                           (loadPunctuationBar(), makeDelimFace(punctuationSymbols())), nullptr,
                           parent, L"Scribix"),
      symbolsOnly_(symbolsOnly) {
    wcsncpy(record().name, L"DelimBar", 59);
    g_openDelimBar = this;
}

DelimBarMaster::~DelimBarMaster() {
    if (g_openDelimBar == this) g_openDelimBar = nullptr;
    refreshBarButtons();
}

DelimBarMaster* DelimBarMaster::openBar() { return g_openDelimBar; }

void DelimBarMaster::buildUnits() {
    deleteAllUnits();
    LayeredBitmap* f = face();
    if (!f || !f->valid()) return;
    auto add = [&](int column, int row, int id, bool enabled) {
        const POINT s = delimSamplePoint(column, row);
        auto* unit = new DelimBarUnit(this, id, f, f->keyAt(s.x, s.y, false));
        if (!enabled) unit->setStateBits(UNIT_ENABLED, false, true);
        addUnit(unit);
    };
    const PunctuationSymbols& symbols = punctuationSymbols();
    for (int row = 0; row < 6; ++row)
        for (int column = 0; column < 6; ++column)
            add(column, row, symbols.cell[row][column], true);
    for (const RightKey& key : kRightKeys)
        add(key.column, key.row, key.id, !symbolsOnly_ || key.id == DELIM_CLOSE);
    for (int column = 0; column < 6; ++column) add(column, 5, kFixedRow5[column], true);
    for (const RightKey& key : kLastKeys)
        add(key.column, key.row, key.id, !symbolsOnly_ || key.id == DELIM_SPACE);
    fitWindowToFace(this);
}

LRESULT DelimBarMaster::onMessage(UINT code, LPARAM a, LPARAM b) {
    if (code != BAR_UNIT_PICKED) return BarSmartBitmapMaster::onMessage(code, a, b);
    const LRESULT result = BarSmartBitmapMaster::onMessage(code, a, b);
    int* slot = reinterpret_cast<int*>(owner());
    if (findUnitById(static_cast<UINT>(a)) && slot)
        *slot = a == 0x20AC ? kDelimEuroValue : static_cast<int>(a);
    close(true);
    return result;
}

int DelimBarMaster::onNotify(int event, LPARAM argument) {
    if (handOffToOwner(event, argument)) return LocalSystemBarClient::onNotify(event, argument);
    if (event == INK_EVENT_PEN_CHANGED) {
        for (int i = 0; i < unitCount(); ++i) unit(i)->repaint();
        keepInDesktop();
        return LocalSystemBarClient::onNotify(event, argument);
    }
    if (event == 12) {
        // A pen-down outside the bar closes it.
        const POINT p = unpackPoint(argument);
        RECT r;
        if (window() && GetWindowRect(window(), &r) && !PtInRect(&r, p)) {
            close(true);
            return 0;
        }
    }
    return BarSmartBitmapMaster::onNotify(event, argument);
}

// ---------------------------------------------------------------- colours

ColorBarUnit::ColorBarUnit(BarMaster* master, int id, LayeredBitmap* face, COLORREF key)
    : BarSmartBitmapUnit(master, static_cast<UINT>(id), kColourBehaviour, nullptr, face, key) {}

ColorsBarMaster::ColorsBarMaster(const POINT* position, HWND parent, int* resultSlot)
    : BarSmartBitmapMaster(position, reinterpret_cast<LPARAM>(resultSlot),
                           new LayeredBitmap(IDB_COLOURS_BAR, kDelimLayers, 0), nullptr, parent,
                           L"Scribix") {
    wcsncpy(record().name, L"ColorsBar", 59);
    g_openColoursBar = this;
}

ColorsBarMaster::~ColorsBarMaster() {
    if (g_openColoursBar == this) g_openColoursBar = nullptr;
}

ColorsBarMaster* ColorsBarMaster::openBar() { return g_openColoursBar; }

void ColorsBarMaster::buildUnits() {
    deleteAllUnits();
    LayeredBitmap* f = face();
    if (!f || !f->valid()) return;
    const COLORREF pen = markup_canvas::currentColour();
    for (int row = 0; row < 8; ++row) {
        for (int column = 0; column < 8; ++column) {
            const POINT s = colourSamplePoint(column, row);
            // Cells beyond the face have no key colour and never match a point.
            const bool inside = s.x < f->width() && s.y < f->layerHeight();
            const COLORREF colour = inside ? GetPixel(f->faceDC(), s.x, s.y) : CLR_INVALID;
            const COLORREF key = inside ? f->keyAt(s.x, s.y, false) : CLR_INVALID;
            auto* unit = new ColorBarUnit(this, static_cast<int>(colour) + 1, f, key);
            addUnit(unit);
            if (inside && colour == pen) unit->setSelected(true, true);
        }
    }
    fitWindowToFace(this);
}

LRESULT ColorsBarMaster::onMessage(UINT code, LPARAM a, LPARAM b) {
    if (code != BAR_UNIT_PICKED) return BarSmartBitmapMaster::onMessage(code, a, b);
    const LRESULT result = BarSmartBitmapMaster::onMessage(code, a, b);
    int* slot = reinterpret_cast<int*>(owner());
    if (findUnitById(static_cast<UINT>(a)) && slot) *slot = static_cast<int>(a);
    close(true);
    return result;
}

int ColorsBarMaster::onNotify(int event, LPARAM argument) {
    if (handOffToOwner(event, argument)) return LocalSystemBarClient::onNotify(event, argument);
    if (event == INK_EVENT_PEN_CHANGED) {
        for (int i = 0; i < unitCount(); ++i) unit(i)->repaint();
        keepInDesktop();
        return LocalSystemBarClient::onNotify(event, argument);
    }
    return BarSmartBitmapMaster::onNotify(event, argument);
}

// ----------------------------------------------------------------- pop-ups

namespace {
// With an owner list (the menu group that asks), the bar is one of the group,
// owned by the asking window: a pen-down on it does not close the menus of
// the group, and the pointer over it is over the menu.
int runPunctuationBar(SyncSection* group, HWND window, const POINT* position, int mode) {
    if (g_openDelimBar) return 0;
    int answer = 0;
    const POINT at = positionOrCursor(position);
    auto* bar = new DelimBarMaster(&at, group ? window : nullptr, &answer, mode == 2);
    LocalClient* member = bar;
    if (group) group->add(member);
    bar->show();
    // The bar deletes itself when it closes.
    bar->runModal(kDelimRunCode);
    if (group) group->remove(member);
    return answer;
}
}  // namespace

int showPunctuationPopupAt(const POINT* position, HWND window, int mode) {
    return runPunctuationBar(nullptr, window, position, mode);
}

int showPunctuationPopup(void* ownerList, HWND window, POINT position, int mode) {
    return runPunctuationBar(static_cast<SyncSection*>(ownerList), window, &position, mode);
}

int showColourPopup(void* ownerList, HWND window, POINT position) {
    (void)ownerList;
    if (g_openColoursBar) return 0;
    int answer = 0;
    const POINT at = positionOrCursor(&position);
    auto* bar = new ColorsBarMaster(&at, window, &answer);
    bar->show();
    bar->runModal(kColourRunCode);
    return answer;
}

void showPunctuationMenuForFocus() {
    HWND service = getServiceWindow();
    if (!service) return;
    postOutputRecord(service,
                     OutputRecord{nullptr, hookLibrary().getLastFocusWindow(), {0, 0}, 1, 0});
}
