#include "ui/menus/PureTextMenu.h"

#include <algorithm>
#include <cwchar>
#include <new>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "ink/LocalInkManager.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "recognition/UserDict.h"
#include "resources/resource.h"
#include "ui/bars/BarGeometry.h"

namespace {

constexpr int kTouchSize = 24;
constexpr int kNormalSize = 16;

BarTextMenuMaster::Options plainOptions(const wchar_t* title) {
    BarTextMenuMaster::Options o;
    o.title = title;
    return o;
}

bool touchInput() { return (hookLibrary().getLastInputType() & 4) != 0; }

HFONT makeFont(const wchar_t* face, int height, int weight, int charset) {
    LOGFONTW lf = {};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfCharSet = static_cast<BYTE>(charset);
    wcsncpy(lf.lfFaceName, face, LF_FACESIZE - 1);
    return CreateFontIndirectW(&lf);
}

// Paints the units over the menu colour inside a black frame.
void paintFramed(BarTextMenuMaster* menu, HDC dc) {
    RECT client;
    if (!menu->window() || !GetClientRect(menu->window(), &client)) return;
    HBRUSH back = CreateSolidBrush(0xCCFFFF);
    FillRect(dc, &client, back);
    DeleteObject(back);
    if (menu->font()) SelectObject(dc, menu->font());
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    FrameRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    for (int i = 0; i < menu->unitCount(); ++i)
        if (BarUnit* u = menu->unit(i)) u->paint(dc);
}

std::wstring withoutAmpersands(const wchar_t* text) {
    std::wstring out;
    for (const wchar_t* p = text; p && *p; ++p)
        if (*p != L'&') out += *p;
    return out;
}

}  // namespace

// --- PureTextMenu ---

PureTextMenu::PureTextMenu(BarTextMenuMaster* parent, SyncSection* group, int plain, int creator,
                           const POINT* position, int fontSize, const RECT* anchor, int* alive)
    : BarTextMenuMaster(parent, group, plain, creator, position, plainOptions(L"PureTextMenu")),
      alive_(alive) {
    if (alive_) *alive_ = 1;
    if (anchor) anchor_ = *anchor;
    makeFonts(fontSize);
}

PureTextMenu::~PureTextMenu() {
    if (dc_ && font_) SelectObject(dc_, font_);
    if (boldFont_) DeleteObject(boldFont_);
    boldFont_ = nullptr;
    if (alive_) *alive_ = 0;
}

void PureTextMenu::makeFonts(int size) {
    checkOwner("makeFonts");
    if (size == 0) size = touchInput() ? kTouchSize : kNormalSize;
    fontSize_ = size;
    if (!dc_) return;
    const int height = -((GetDeviceCaps(dc_, LOGPIXELSY) * size + 36) / 108);
    const int charset = keyboardLanguage_ == 25 ? 204 : 0;
    HFONT normal = makeFont(L"Arial", height, 400, charset);
    if (normal) {
        SelectObject(dc_, normal);
        if (font_) DeleteObject(font_);
        font_ = normal;
    }
    HFONT bold = makeFont(L"Arial", height, 700, charset);
    if (bold) {
        if (boldFont_) DeleteObject(boldFont_);
        boldFont_ = bold;
    }
}

void PureTextMenu::addItemText(const wchar_t* text, UINT id, const wchar_t* tip, bool highlight) {
    checkOwner("addItemText");
    PureMenuItem item;
    item.text = text ? text : L"";
    item.tip = tip ? tip : L"";
    item.id = id;
    item.flags = 0x90E;
    if (highlight) {
        item.textColour = 0xFF0000;
        item.background = 0xCCFFFF;
        item.checked = true;
        marks_ = true;
    }
    items_.push_back(item);
}

void PureTextMenu::addItem(UINT id, const wchar_t* text, unsigned state) {
    checkOwner("addItem");
    PureMenuItem item;
    item.text = withoutAmpersands(text);
    item.id = id;
    item.flags = 0x90E;
    if (state & 0x1) {
        item.textColour = 0x808080;
    } else if (state & 0x80) {
        item.bold = true;
        item.textColour = 0xFF0000;
        item.background = 0xCCFFFF;
    }
    if (state & 0x8) {
        item.checked = true;
        marks_ = true;
    }
    items_.push_back(item);
}

void PureTextMenu::addColoredItem(const wchar_t* text, const wchar_t* tip, bool highlight) {
    checkOwner("addColoredItem");
    PureMenuItem item;
    item.text = text ? text : L"";
    item.tip = tip ? tip : L"";
    item.id = 0;
    item.flags = 0;
    if (highlight) {
        item.textColour = 0xFF0000;
        item.background = 0xCCFFFF;
    }
    items_.push_back(item);
}

void PureTextMenu::addSeparator(bool highlight) {
    checkOwner("addSeparator");
    PureMenuItem item;
    item.id = kSeparatorId;
    item.flags = 0;
    if (highlight) {
        item.textColour = 0xFF0000;
        item.background = 0xCCFFFF;
    }
    items_.push_back(item);
}

void PureTextMenu::buildUnits() {
    checkOwner("buildUnits");
    deleteAllUnits();
    for (const PureMenuItem& item : items_) {
        std::wstring text = item.text;
        if (marks_ && item.id != kSeparatorId) text = (item.checked ? L"\x2022 " : L"  ") + text;
        auto* unitMade = new (std::nothrow) BarTextMenuUnit(
            this, item.id, item.flags, item.tip.empty() ? nullptr : item.tip.c_str(), text.c_str(),
            item.bold ? boldFont_ : font_, item.background, item.textColour,
            item.highlightBackground, item.highlightText);
        // Items that do not react (labels, separators) are still shown.
        if (unitMade) unitMade->setState(unitMade->state() | UNIT_ENABLED, true);
        if (!addUnit(unitMade)) return;
    }
    layoutItems();
    if (anchor_.left != anchor_.right || anchor_.top != anchor_.bottom) {
        RECT r;
        if (window_ && GetWindowRect(window_, &r)) {
            const POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            if (placeNear(&r, anchor_, centre.x, centre.y, false)) {
                position_ = POINT{r.left, r.top};
                MoveWindow(window_, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
            }
        }
    }
    redraw();
}

void PureTextMenu::paint(HDC dc) { paintFramed(this, dc); }

UINT PureTextMenu::showModal() {
    checkOwner("showModal");
    UINT result = 0;
    result_ = &result;
    show();
    if (window_)
        SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0,
                     SWP_ASYNCWINDOWPOS | SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE);
    runModal(11);
    return result;
}

int PureTextMenu::onNotify(int code, LPARAM argument) {
    if (code == INK_EVENT_SERVICE) {
        const POINT p = {static_cast<short>(LOWORD(argument)),
                         static_cast<short>(HIWORD(argument))};
        if (WindowFromPoint(p) != window_) {
            closeOnOwnThread();
            return 0;
        }
    }
    return BarTextMenuMaster::onNotify(code, argument);
}

LRESULT PureTextMenu::onMessage(UINT code, LPARAM a, LPARAM b) {
    checkOwner("onMessage");
    switch (code) {
        case BAR_UNIT_PICKED:
            if (result_) *result_ = static_cast<UINT>(a);
            result_ = nullptr;
            close(true);
            return 0;
        case BAR_GESTURE_NOTIFY:
            keepPointerOnMenu(b);
            return 0;
        case BAR_GESTURE:
            if (fontSize_ != kTouchSize && fontSize_ != kNormalSize) {
                makeFonts(kTouchSize);
                buildUnits();
            }
            return 0;
        default:
            return BarTextMenuMaster::onMessage(code, a, b);
    }
}

// --- GuessSymbMenu ---

GuessSymbMenu::GuessSymbMenu(int word, int letter, BarTextMenuMaster* parent, SyncSection* group,
                             int plain, int creator, const POINT* position, const RECT* box)
    : PureTextMenu(parent, group, plain, creator, position, 0, nullptr, nullptr),
      word_(word),
      letter_(letter) {
    if (box) box_ = *box;
    if (box_.left != box_.right || box_.top != box_.bottom)
        anchor_ = RECT{0, box_.top, 0, box_.bottom};
    if (dc_) {
        const int height = -((GetDeviceCaps(dc_, LOGPIXELSY) * 20 + 36) / 108);
        HFONT courier = makeFont(L"Courier New", height, 400, keyboardLanguage_ == 25 ? 204 : 0);
        if (courier) {
            SelectObject(dc_, courier);
            if (font_) DeleteObject(font_);
            font_ = courier;
        }
    }
    postMsgToMaster(BAR_FIRST_SHOW, 0, 0);
}

LRESULT GuessSymbMenu::onMessage(UINT code, LPARAM a, LPARAM b) {
    checkOwner("onMessage");
    if (code == BAR_UNIT_PICKED) {
        picked_ = true;
        if (parent_)
            parent_->postMsgToMaster(MENU_GUESS_PICKED, a,
                                     (static_cast<LPARAM>(letter_) << 16) | (word_ & 0xFFFF));
        close(true);
        return 0;
    }
    if (code == BAR_FIRST_SHOW) {
        // Posted twice (by the text menu and by this menu's own fonts): built once.
        if (unitCount() > 0) return 0;
    }
    return BarTextMenuMaster::onMessage(code, a, b);
}

// --- WordToDictMenu ---

WordToDictMenu::WordToDictMenu(BarTextMenuMaster* parent, const wchar_t* word,
                               const POINT* position, RecProfile* profile)
    : BarTextMenuMaster(parent, parent ? parent->group() : nullptr, 1, 1, position,
                        plainOptions(L"WordToDictMenu")),
      profile_(profile) {
    if (word) wcsncpy(word_, word, kMaxWord);
    word_[kMaxWord] = 0;
    if (dc_) {
        const int height = -(((GetDeviceCaps(dc_, LOGPIXELSY) * 20 + 36) / 108) * 2 / 3);
        HFONT courier = makeFont(L"Courier New", height, 400, keyboardLanguage_ == 25 ? 204 : 0);
        if (courier) {
            SelectObject(dc_, courier);
            if (font_) DeleteObject(font_);
            font_ = courier;
        }
    }
}

void WordToDictMenu::buildUnits() {
    checkOwner("buildUnits");
    deleteAllUnits();
    const std::wstring text = menuText(IDS_WORDMENU_ADD_TO_DICT);
    addUnit(new (std::nothrow) BarTextMenuUnit(this, 1, 0x10E, nullptr, text.c_str(), font_,
                                               0xCCFFFF, 0, 0xCCD4D4, 0x0000FF));
    layoutItems();
    redraw();
}

void WordToDictMenu::paint(HDC dc) { paintFramed(this, dc); }

LRESULT WordToDictMenu::onMessage(UINT code, LPARAM a, LPARAM b) {
    checkOwner("onMessage");
    if (code != BAR_UNIT_PICKED) return BarTextMenuMaster::onMessage(code, a, b);
    const UserDict* dictionary = profile_ ? profile_->getFirstUserDict() : nullptr;
    BarTextMenuMaster* parent = parent_;
    POINT at = {0, 0};
    BarUnit* item = nullptr;
    if (parent && parent->window()) {
        GetCursorPos(&at);
        ScreenToClient(parent->window(), &at);
        item = parent->unitAt(at.x, at.y);
    }
    if (dictionary && profile_) {
        if (profile_->checkWord(word_)) {
            if (parent)
                parent->showTip(at.x, at.y, menuText(IDS_WORDMENU_ALREADY_IN_DICT).c_str(), item);
        } else {
            RecModule* module = profile_->module();
            const std::wstring key = dictionary->name();
            const bool added = module && module->addWordToUserDictInAllProfiles(word_, key);
            if (!added) {
                if (parent)
                    parent->showTip(at.x, at.y, menuText(IDS_WORDMENU_NOT_ADDED).c_str(), item);
            } else {
                profile_->saveUserDict(key, false);
                module->refreshUserDictInOtherProfiles(profile_, key);
            }
        }
    }
    close(true);
    return 0;
}

WordToDictMenu* showWordToDictMenu(BarTextMenuMaster* wordListMenu, const wchar_t* word,
                                   POINT position, RecProfile* profile) {
    auto* menu = new (std::nothrow) WordToDictMenu(wordListMenu, word, &position, profile);
    if (menu) menu->show();
    return menu;
}
