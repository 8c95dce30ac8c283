#include "ui/menus/TextMenu.h"

#include <cwchar>
#include <new>

#include "core/AppGlobals.h"
#include "core/Settings.h"
#include "ink/LocalInkManager.h"
#include "ink/PenEventThread.h"
#include "ui/bars/BarGeometry.h"
#include "ui/menus/MenuMath.h"
#include "win/ScopedLock.h"
#include "win/WinString.h"
#include "win/Window.h"

namespace {

constexpr int kFarAway = 500;
constexpr DWORD kMenuExStyle = WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;

}  // namespace

bool ensureMenuWindowClass() {
    win::WindowClass windowClass;
    windowClass.name = BAR_WINDOW_CLASS;
    windowClass.procedure = MenuBarWndProc;
    windowClass.instance = getInstance();
    windowClass.cursor = LoadCursorW(nullptr, IDC_ARROW);
    return win::registerClass(windowClass);
}

std::wstring menuText(UINT id) {
    return win::loadString(getInstance() ? getInstance() : GetModuleHandleW(nullptr), id);
}

// --- master ---

BarTextMenuMaster::BarTextMenuMaster(BarTextMenuMaster* parent, SyncSection* group, int plain,
                                     int creator, const POINT* position, const Options& options)
    : BarMaster(position, 0), creator_(creator), plain_(plain), parent_(parent) {
    group_ = group ? group : new (std::nothrow) OwnedSyncSection(this);
    if (parent && options.fadingPeriod == 0 && options.startOpacity == 0 &&
        options.endOpacity == 0 && options.fadingStep == 0) {
        startOpacity_ = parent->startOpacity_;
        endOpacity_ = parent->endOpacity_;
        currentOpacity_ = parent->currentOpacity_;
        fadingPeriod_ = parent->fadingPeriod_;
        fadingStep_ = parent->fadingStep_;
    } else {
        startOpacity_ = currentOpacity_ = options.startOpacity;
        endOpacity_ = options.endOpacity;
        fadingPeriod_ = options.fadingPeriod;
        fadingStep_ = options.fadingStep;
    }
    if (group_) group_->add(this);
    if (fadingPeriod_ < 1 || startOpacity_ < 1)
        startOpacity_ = endOpacity_ = currentOpacity_ = fadingPeriod_ = fadingStep_ = 0;
    horizontal_ = options.horizontal;
    autoExpand_ = options.autoExpand;
    acceptMode_ = options.acceptMode;
    keyboardLanguage_ = static_cast<int>(reinterpret_cast<UINT_PTR>(GetKeyboardLayout(0)) & 0xFF);

    ensureMenuWindowClass();
    const RECT desktop = desktopRect();
    window_ = CreateWindowExW(kMenuExStyle | (fading() ? WS_EX_LAYERED : 0), BAR_WINDOW_CLASS,
                              options.title ? options.title : L"", WS_POPUP,
                              desktop.left - kFarAway, desktop.top - kFarAway, 100, 100,
                              parent ? parent->window() : nullptr, nullptr, getInstance(), this);
    if (window_) {
        SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                     SWP_ASYNCWINDOWPOS | SWP_NOMOVE | SWP_NOSIZE | SWP_NOREDRAW | SWP_NOACTIVATE |
                         SWP_NOZORDER);
        ShowWindow(window_, SW_SHOWNOACTIVATE);
        ownsWindow_ = true;
    }
    if (fading() && window_) {
        applyLayered();
        setAlpha(currentOpacity_);
        restartFadeTimer();
    }
    if (!plain_) {
        record().penType = 2;
        record().penWidth = 1;
        record().penColor = 0xFF0000;
        record().penAntialiasing = 1;
    }
    setAreaWindow(window_);
    if (window_) {
        dc_ = GetWindowDC(window_);
        createFonts();
        SetTextAlign(dc_, TA_LEFT | TA_TOP);
    }
    reloadIcons();
    postMsgToMaster(BAR_FIRST_SHOW, 0, 0);
}

BarTextMenuMaster::~BarTextMenuMaster() {
    BarTextMenuMaster* child = nullptr;
    if (group_) {
        win::ScopedLock lock(group_->linkLock());
        if (parent_ && parent_->child_ == this) parent_->child_ = nullptr;
        parent_ = nullptr;
        child = child_;
        if (child) child->parent_ = nullptr;
        child_ = nullptr;
    }
    if (child) {
        LocalInkManager* manager = inkManager();
        if (manager && manager->isRegistered(child))
            manager->unregisterClient(child, true);
        else if (!child->registered_)
            delete child;
        // else: the manager is deleting its clients (shut-down) and takes it too.
    }
    HWND window = window_;
    if (window) KillTimer(window, kFadeTimer);
    close(false);
    if (dc_ && window) ReleaseDC(window, dc_);
    dc_ = nullptr;
    if (group_) group_->remove(this);
    group_ = nullptr;
    if (font_) DeleteObject(font_);
    font_ = nullptr;
}

void BarTextMenuMaster::restartFadeTimer() {
    if (window_ && fading())
        SetTimer(window_, kFadeTimer, menus::fadeInterval(fadingStep_, fadingPeriod_), nullptr);
}

void BarTextMenuMaster::keepPointerOnMenu(LPARAM packed) const {
    POINT p = unpackPoint(packed);
    RECT r;
    if (!window_ || !GetWindowRect(window_, &r)) return;
    if (!PtInRect(&r, p)) p = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    SetCursorPos(p.x, p.y);
}

BarTextMenuUnit* BarTextMenuMaster::textUnit(int i) const {
    BarUnit* u = unit(i);
    return u && u->isKindOf(L"BarTextMenuUnit") ? static_cast<BarTextMenuUnit*>(u) : nullptr;
}

bool BarTextMenuMaster::isLayered() const {
    return window_ && (GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
}

void BarTextMenuMaster::applyLayered() {
    checkOwner("applyLayered");
    if (!fading() || !window_ || isLayered()) return;
    RECT r;
    if (!GetWindowRect(window_, &r)) return;
    const RECT desktop = desktopRect();
    if (r.left < desktop.left || r.top < desktop.top) return;
    SetWindowLongPtrW(window_, GWL_EXSTYLE,
                      GetWindowLongPtrW(window_, GWL_EXSTYLE) | WS_EX_LAYERED);
    setAlpha(currentOpacity_);
}

void BarTextMenuMaster::removeLayered() {
    checkOwner("removeLayered");
    if (!isLayered()) return;
    SetWindowLongPtrW(window_, GWL_EXSTYLE,
                      GetWindowLongPtrW(window_, GWL_EXSTYLE) & ~WS_EX_LAYERED);
}

void BarTextMenuMaster::closeOnOwnThread() {
    HWND window = window_;
    if (!ownerThread().isCurrent()) {
        if (window) PostMessageW(window, WM_CLOSE, 0, 0);
        return;
    }
    close(true);
}

void BarTextMenuMaster::stopFadingWhilePinned() {
    checkOwner("stopFadingWhilePinned");
    if (!fading() || wordListBarSettings().autoShow != 3 || !window_) return;
    KillTimer(window_, kFadeTimer);
    removeLayered();
}

// Notifications come from whichever thread the ink manager runs on (a new
// result and the pen settings are announced by the recognition thread too):
// what touches the menu's window or state is done on the menu's own thread.
int BarTextMenuMaster::onNotify(int code, LPARAM argument) {
    switch (code) {
        case INK_EVENT_ACCEPTED:
        case INK_EVENT_REFUSED: {
            // Activating one menu of a group leaves the others open (a plain
            // menu opened from another as well: the word-list menu taken by
            // the pen leaves its letter-guess and word-to-dictionary menus).
            const auto* other = reinterpret_cast<const LocalClient*>(argument);
            if (other == this) return 0;
            if (!(group_ && group_->contains(other))) closeOnOwnThread();
            return 0;
        }
        case INK_EVENT_PEN_CHANGED:
            if (ownerThread().isCurrent())
                stopFadingWhilePinned();
            else
                postMsgToMaster(MENU_PEN_CHANGED, 0, 0);
            return 0;
        case INK_EVENT_RESULT_CHANGED:
        case INK_EVENT_DISPLAY_CHANGED:
            closeOnOwnThread();
            return 0;
        case 11:
            if (reinterpret_cast<HWND>(argument) != window_) closeOnOwnThread();
            return 0;
        default:
            return 0;
    }
}

int BarTextMenuMaster::claimsPoint(HWND window, int x, int y) {
    checkOwner("claimsPoint");
    if (plain_) return 0;
    if (!hitTest(window, x, y)) return 0;
    // The hit test takes the windows the menu owns for its own: a pen-down on
    // a menu of the group opened over this one (the letter-guess menu, the
    // word-to-dictionary menu) is taken to be handed on to it as a tap, never
    // as a tap on the items under it.
    penDownMember_ = nullptr;
    if (BarMaster* other = groupMemberAt(POINT{x, y})) {
        if (other == this) return 0;
        // (Asked once the pen is down the ink layer may cover it: it is kept now.)
        penDownMember_ = other->window();
        return 1;
    }
    removeLayered();
    POINT p = {x, y};
    if (window_) ScreenToClient(window_, &p);
    BarUnit* u = unitAt(p.x, p.y);
    if (!u) return 0;
    if (u->behaviour() & TEXT_UNIT_DRAGS) {
        beginDrag(p.x, p.y);
        return 1;
    }
    // A pen tap on an item that reacts must reach it as a tap, not as the
    // writing of the client under the menu.
    return (u->behaviour() & (TEXT_UNIT_LETTER_BOXES | UNIT_REPORTS_PICK)) ? 1 : 0;
}

BarMaster* BarTextMenuMaster::groupMember(HWND window) const {
    wchar_t className[64] = {};
    if (!window || !IsWindow(window) || !GetClassNameW(window, className, 64) ||
        wcscmp(className, BAR_WINDOW_CLASS) != 0)
        return nullptr;
    BarMaster* member = BarMaster::fromWindow(window);
    return member && member != this && group_ && group_->contains(static_cast<LocalClient*>(member))
               ? member
               : nullptr;
}

BarMaster* BarTextMenuMaster::groupMemberAt(POINT screen) const {
    HWND under = WindowFromPoint(screen);
    HWND top = under ? GetAncestor(under, GA_ROOT) : nullptr;
    if (!top || top == window_) return nullptr;
    BarMaster* member = groupMember(top);
    return member ? member : const_cast<BarTextMenuMaster*>(this);
}

bool BarTextMenuMaster::penDownOnMember(POINT screen, bool tap) {
    if (!penDownMember_) return false;
    BarMaster* other = groupMember(penDownMember_);
    penDownMember_ = nullptr;
    if (!other || !tap) return true;
    POINT client = screen;
    ScreenToClient(other->window(), &client);
    other->postMsgToMaster(BAR_PRESS, 0, packPoint(client.x, client.y));
    other->postMsgToMaster(BAR_RELEASE, 0, packPoint(client.x, client.y));
    return true;
}

void BarTextMenuMaster::show() {
    checkOwner("show");
    if (!window_) return;
    // Never activated: the target field keeps the focus the text is typed into.
    if (!IsWindowVisible(window_)) ShowWindow(window_, SW_SHOWNOACTIVATE);
    InvalidateRect(window_, nullptr, FALSE);
}

void BarTextMenuMaster::paint(HDC dc) {
    RECT client;
    if (!window_ || !GetClientRect(window_, &client)) return;
    HBRUSH back = CreateSolidBrush(0xCCFFFF);
    FillRect(dc, &client, back);
    DeleteObject(back);
    if (font_) SelectObject(dc, font_);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    for (int i = 0; i < unitCount(); ++i)
        if (BarUnit* u = unit(i)) u->paint(dc);
}

void BarTextMenuMaster::rebuild() {
    Sleep(1);
    buildUnits();
    if (registerSelf()) registered_ = true;
}

void BarTextMenuMaster::redraw() {
    checkOwner("redraw");
    if (!window_) return;
    const bool layered = isLayered();
    if (layered) removeLayered();
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    if (layered) applyLayered();
}

void BarTextMenuMaster::fadeTick() {
    checkOwner("fadeTick");
    if (!fading() || !window_) return;
    KillTimer(window_, kFadeTimer);
    POINT cursor;
    const bool read = GetCursorPos(&cursor) != FALSE;
    HWND under = read ? WindowFromPoint(cursor) : nullptr;
    const bool penMouse = penEventSnapshot().penMouseMode;
    // A layered window may be passed over by the point test: the rectangle decides too.
    RECT own = {0, 0, 0, 0};
    const bool overOwn = read && GetWindowRect(window_, &own) && PtInRect(&own, cursor);
    if (read && under && under != window_ && GetParent(under) != window_ && !overOwn && !penMouse) {
        if (menus::fadeAway(startOpacity_, endOpacity_, fadingStep_, currentOpacity_)) {
            close(true);
            return;
        }
    } else {
        currentOpacity_ = startOpacity_;
    }
    if (isLayered()) setAlpha(currentOpacity_);
    restartFadeTimer();
}

LRESULT BarTextMenuMaster::onMessage(UINT code, LPARAM a, LPARAM b) {
    checkOwner("onMessage");
    switch (code) {
        case MENU_QUERY_FONT:
            return reinterpret_cast<LRESULT>(font_);
        case MENU_QUERY_DC:
            return reinterpret_cast<LRESULT>(dc_);
        case MENU_QUERY_PLAIN:
            return plain_;
        case BAR_UNIT_STATE:
            if (a == 3) {
                auto* u = reinterpret_cast<BarUnit*>(b);
                if (u && u->id() < 0x10000 && autoExpand_ && (u->behaviour() & TEXT_UNIT_SUBMENU) &&
                    u->id() != kApplyItemId)
                    u->postToMaster(BAR_UNIT_PICKED, u->id(), b);
            }
            break;
        case BAR_PRESS: {
            BarMaster::onMessage(code, a, b);
            postMsgToMaster(MENU_LAYERED, 1, 0);
            return 0;
        }
        case BAR_TIMER:
            if (a == static_cast<LPARAM>(kFadeTimer)) {
                fadeTick();
                return 0;
            }
            break;
        case MENU_LAYERED:
            if (a)
                applyLayered();
            else
                removeLayered();
            return 0;
        case MENU_PEN_CHANGED:
            stopFadingWhilePinned();
            return 0;
        default:
            break;
    }
    return BarMaster::onMessage(code, a, b);
}

int BarTextMenuMaster::layoutItems() {
    checkOwner("layoutItems");
    return (!plain_ && horizontal_) ? horizontalLayout() : verticalLayout();
}

void BarTextMenuMaster::createFonts() {
    checkOwner("createFonts");
    if (!dc_) return;
    const int size = wordListBarSettings().mainFontSize;
    LOGFONTW lf = {};
    POINT height = {0, MulDiv(size, GetDeviceCaps(dc_, LOGPIXELSY), 720)};
    DPtoLP(dc_, &height, 1);
    lf.lfHeight = -std::abs(static_cast<int>(height.y));
    if (!plain_) lf.lfHeight = lf.lfHeight * 3 / 2;
    lf.lfWeight = plain_ ? 400 : 700;
    lf.lfCharSet = keyboardLanguage_ == 25 ? 204 : 0;
    wcscpy(lf.lfFaceName, L"Courier New");
    SelectObject(dc_, GetStockObject(SYSTEM_FIXED_FONT));
    HFONT made = CreateFontIndirectW(&lf);
    if (font_) DeleteObject(font_);
    font_ = made;
    if (font_) SelectObject(dc_, font_);
}

SIZE BarTextMenuMaster::textSize(const wchar_t* text, int length) const {
    SIZE size = {0, 0};
    if (!dc_ || !text) return size;
    if (length < 0) length = static_cast<int>(wcslen(text));
    GetTextExtentPoint32W(dc_, text, length, &size);
    return size;
}

void BarTextMenuMaster::placeWindow(int x, int y, int width, int height) {
    checkOwner("placeWindow");
    RECT r = {x, y, x + width, y + height};
    if (keepRectInDesktop(&r)) position_ = POINT{r.left, r.top};
    if (window_) MoveWindow(window_, r.left, r.top, width, height, TRUE);
}

int BarTextMenuMaster::verticalLayout() {
    if (unitCount() == 0) return 0;
    int widest = 0, tallest = 0;
    for (int i = 0; i < unitCount(); ++i) {
        BarTextMenuUnit* u = textUnit(i);
        if (!u) continue;
        const SIZE s = u->measure();
        if (s.cx > widest) widest = s.cx;
        if (s.cy > tallest) tallest = s.cy;
    }
    if (dc_ && font_) SelectObject(dc_, font_);
    const int xWidth = textSize(L"x").cx;
    const int itemWidth = widest + 2 * xWidth;
    const int itemHeight = tallest * 3 / 2;
    RECT running = {1, 1, itemWidth + 1, itemHeight + 1};
    int lastBottom = 1;
    for (int i = 0; i < unitCount(); ++i) {
        BarTextMenuUnit* u = textUnit(i);
        if (!u) continue;
        RECT r = running;
        if (u->isSeparator()) r = RECT{1, running.top, itemWidth + 1, running.top + 1};
        u->setRect(r);
        u->setTextOffset(xWidth, itemHeight / 8);
        const int height = r.bottom - r.top;
        running.top += height;
        running.bottom = running.top + itemHeight;
        lastBottom = r.bottom;
    }
    placeWindow(position_.x, position_.y, itemWidth + 2, lastBottom + 1);
    return 1;
}

int BarTextMenuMaster::horizontalLayout() {
    if (unitCount() == 0) return 0;
    int tallest = 0;
    for (int i = 0; i < unitCount(); ++i)
        if (BarTextMenuUnit* u = textUnit(i)) tallest = std::max<int>(tallest, u->measure().cy);
    if (dc_ && font_) SelectObject(dc_, font_);
    const int rowHeight = tallest * 3 / 2;
    const int xWidth = textSize(L"x").cx;
    const int spaceWidth = textSize(L" ").cx;
    int left = 1, lastRight = 1;
    bool first = true;
    for (int i = 0; i < unitCount(); ++i) {
        BarTextMenuUnit* u = textUnit(i);
        if (!u) continue;
        const int w = u->isSeparator() ? 1 : u->measure().cx;
        const int margin = first ? xWidth : 0;
        const int right = left + spaceWidth + w + margin;
        u->setRect(RECT{left, 1, right, rowHeight});
        u->setTextOffset(margin, rowHeight / 8);
        left = right;
        lastRight = right;
        first = false;
    }
    placeWindow(position_.x, position_.y, lastRight + 2, rowHeight + 2);
    return 1;
}

// --- unit ---

BarTextMenuUnit::BarTextMenuUnit(BarTextMenuMaster* master, UINT id, unsigned flags,
                                 const wchar_t* tip, const wchar_t* text, HFONT font,
                                 COLORREF background, COLORREF textColour,
                                 COLORREF highlightBackground, COLORREF highlightText)
    : BarRectUnit(master, id, flags, tip, RECT{0, 0, 0, 0}),
      text_(text ? text : L""),
      background_(background),
      textColour_(textColour),
      highlightBackground_(highlightBackground),
      highlightText_(highlightText),
      font_(font) {
    HDC dc = getDrawingContext();
    if (dc && font_) SelectObject(dc, font_);
    if ((flags & TEXT_UNIT_LETTER_BOXES) && dc) {
        for (wchar_t c : text_) {
            SIZE s = {0, 0};
            GetTextExtentPoint32W(dc, &c, 1, &s);
            letterWidths_.push_back(s.cx);
        }
    }
}

HDC BarTextMenuUnit::getDrawingContext() const {
    return master_ ? reinterpret_cast<HDC>(master_->onMessage(MENU_QUERY_DC, 0, 0)) : nullptr;
}

SIZE BarTextMenuUnit::measure() const {
    if (isSeparator()) return SIZE{1, 1};
    SIZE size = {0, 0};
    HDC dc = getDrawingContext();
    if (!dc) return size;
    if (font_) SelectObject(dc, font_);
    if (text_.empty()) {
        GetTextExtentPoint32W(dc, L" ", 1, &size);
        size.cx = 0;
    } else {
        GetTextExtentPoint32W(dc, text_.c_str(), length(), &size);
    }
    return size;
}

int BarTextMenuUnit::letterAt(int x) const {
    if (text_.empty() || x <= rect_.left + offset_.x) return -1;
    int edge = rect_.left + offset_.x;
    for (int i = 0; i < length() && i < static_cast<int>(letterWidths_.size()); ++i) {
        edge += letterWidths_[i];
        if (edge > x) return i;
    }
    return -1;
}

int BarTextMenuUnit::letterPosition(int index, int* width) const {
    if (index < 0 || index > length()) return -1;
    int x = rect_.left + offset_.x;
    for (int i = 0; i < index && i < static_cast<int>(letterWidths_.size()); ++i)
        x += letterWidths_[i];
    if (width)
        *width = index < length() && index < static_cast<int>(letterWidths_.size())
                     ? letterWidths_[index]
                     : 0;
    return x;
}

void BarTextMenuUnit::selectLetter(int index, bool repaintNow) {
    const int value = (index < 0 || index > length()) ? -1 : index;
    if (value == selected_) return;
    selected_ = value;
    if (repaintNow) repaint();
}

void BarTextMenuUnit::paint(HDC dc) {
    if (!(state_ & UNIT_ENABLED)) return;
    const bool lit = (state_ & UNIT_HOVER) != 0;
    const COLORREF back = lit ? highlightBackground_ : background_;
    const COLORREF fore = lit ? highlightText_ : textColour_;
    if (font_) SelectObject(dc, font_);
    HBRUSH brush = CreateSolidBrush(back);
    FillRect(dc, &rect_, brush);
    DeleteObject(brush);
    SetBkColor(dc, back);
    SetTextColor(dc, fore);

    auto* menu = static_cast<BarTextMenuMaster*>(master_);
    if (isSeparator()) {
        HPEN pen = CreatePen(PS_SOLID, 1, fore);
        HGDIOBJ old = SelectObject(dc, pen);
        if (menu && menu->horizontal()) {
            const int x = (rect_.left + rect_.right) / 2;
            MoveToEx(dc, x, rect_.top, nullptr);
            LineTo(dc, x, rect_.bottom);
        } else {
            const int y = (rect_.top + rect_.bottom) / 2;
            MoveToEx(dc, rect_.left, y, nullptr);
            LineTo(dc, rect_.right, y);
        }
        SelectObject(dc, old);
        DeleteObject(pen);
        return;
    }

    if ((behaviour_ & TEXT_UNIT_LETTER_BOXES) && !letterWidths_.empty()) {
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc, &metrics);
        const int base = rect_.top + offset_.y + metrics.tmAscent + 3;
        int x = rect_.left + offset_.x;
        for (size_t i = 0; i < letterWidths_.size(); ++i) {
            const int w = letterWidths_[i];
            const bool chosen = static_cast<int>(i) == selected_;
            HPEN pen = CreatePen(PS_SOLID, chosen ? 2 : 1, chosen ? 0xFF0000 : 0x008080);
            HGDIOBJ old = SelectObject(dc, pen);
            POINT bracket[4] = {
                {x + 2, base - 2}, {x + 2, base}, {x + w - 3, base}, {x + w - 3, base - 2}};
            Polyline(dc, bracket, 4);
            SelectObject(dc, old);
            DeleteObject(pen);
            x += w;
        }
    }

    // Line breaks and tabs are shown as signs, never obeyed.
    std::wstring shown = text_;
    for (wchar_t& c : shown) {
        if (c == 13)
            c = 182;
        else if (c == 9 || c == 10 || c == 11)
            c = 172;
    }
    RECT textRect = {rect_.left + offset_.x, rect_.top + offset_.y, rect_.right, rect_.bottom};
    DrawTextExW(dc, &shown[0], static_cast<int>(shown.size()), &textRect, DT_NOPREFIX, nullptr);
}
