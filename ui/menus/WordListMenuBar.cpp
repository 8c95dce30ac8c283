#include <algorithm>
#include <cwchar>
#include <new>

#include "core/AppGlobals.h"
#include "core/Trace.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/Trace.h"
#include "core/Settings.h"
#include "ink/KeyboardOutput.h"
#include "ink/LocalInkManager.h"
#include "ink/SelectionCorrection.h"
#include "ink/SystemClient.h"
#include "ink/TargetText.h"
#include "recognition/RecMgr.h"
#include "recognition/RecProfile.h"
#include "recognition/RecWordList.h"
#include "resources/resource.h"
#include "ui/bars/BarGeometry.h"
#include "ui/menus/MenuMath.h"
#include "ui/menus/PureTextMenu.h"
#include "ui/menus/WordListMenu.h"
#include "win/ScopedLock.h"

namespace {

constexpr COLORREF kMenuBack = 0xCCFFFF;
constexpr COLORREF kItemLit = 0xCCD4D4;
constexpr COLORREF kItemLitText = 0x0000FF;
constexpr int kHeaderTop = 3;
constexpr int kButtonSize = 18;
constexpr int kButtonGap = 3;

WordListMenuBarMaster* g_openMenu = nullptr;
DWORD g_foregroundChangeTick = 0;

// Gesture calls of the window manager, looked up at run time: older systems lack them.
using GetGestureInfoFn = BOOL(WINAPI*)(HGESTUREINFO, PGESTUREINFO);
using SetGestureConfigFn = BOOL(WINAPI*)(HWND, DWORD, UINT, PGESTURECONFIG, UINT);

template <typename F>
F user32Function(const char* name) {
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
                  : nullptr;
}

// Milliseconds between a two-finger gesture that took the foreground and the
// check whether the focus went elsewhere for good.
constexpr int kRefocusCheckMs = 300;

RecProfile* currentOrDefault() {
    RecMgr& manager = getRecMgr();
    RecProfile* profile = manager.getCurrentProfile();
    return profile ? profile : manager.getDefaultProfile();
}

int fontHeightOf(HDC dc) {
    POINT h = {0, MulDiv(wordListBarSettings().mainFontSize, GetDeviceCaps(dc, LOGPIXELSY), 720)};
    DPtoLP(dc, &h, 1);
    return -std::abs(static_cast<int>(h.y));
}

SIZE sizeIn(HDC dc, HFONT font, const wchar_t* text, int length = -1) {
    SIZE s = {0, 0};
    if (!dc) return s;
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    GetTextExtentPoint32W(dc, text, length < 0 ? static_cast<int>(wcslen(text)) : length, &s);
    if (old) SelectObject(dc, old);
    return s;
}

class MenuCorrectionServices : public CorrectionServices {
  public:
    LRESULT showWordListMenuBar(HKL layout, const RecWordList* words, POINT point,
                                const wchar_t* trailing) override {
        return ::showWordListMenuBar(layout, words, &point, trailing);
    }
    bool hasWordListMenu() const override { return true; }
};
MenuCorrectionServices g_services;

}  // namespace

WordListMenuBarMaster::WordListMenuBarMaster(const RecWordList* words, const POINT* position,
                                             const wchar_t* trailing, HKL layout)
    : WordListBaseMaster(nullptr, nullptr, words, 0, 0, position),
      trailing_(trailing ? trailing : L""),
      layout_(layout) {
    InitializeCriticalSection(&gestureLock_);
    if (dc_ && font_) {
        const SIZE x = sizeIn(dc_, font_, L"x");
        cornerSize_ = std::max<int>(1, x.cy / 3);
    }
    maxRowWidth_ = GetSystemMetrics(SM_CXSCREEN) * 2 / 3;
    alternativesShown_ = wordListBarSettings().autoExpandSubmenu != 0;
    focusWindow_ = hookLibrary().getLastFocusWindow();
    foregroundWindow_ = GetForegroundWindow();
    // Two fingers zoom the font; the other touch gestures would only get in the way.
    static const auto setConfig = user32Function<SetGestureConfigFn>("SetGestureConfig");
    if (setConfig && window_) {
        GESTURECONFIG config[] = {
            {GID_ZOOM, GC_ZOOM, 0},
            {GID_PAN, 0,
             GC_PAN | GC_PAN_WITH_SINGLE_FINGER_VERTICALLY |
                 GC_PAN_WITH_SINGLE_FINGER_HORIZONTALLY | GC_PAN_WITH_GUTTER | GC_PAN_WITH_INERTIA},
            {GID_PRESSANDTAP, 0, GC_PRESSANDTAP},
            {GID_TWOFINGERTAP, 0, GC_TWOFINGERTAP},
        };
        setConfig(window_, 0, sizeof config / sizeof config[0], config, sizeof(GESTURECONFIG));
    }
}

void WordListMenuBarMaster::rememberPlace() {
    RECT r;
    if (window_ && GetWindowRect(window_, &r))
        wordListBarSettings().customMenuPosition = POINT{r.left, r.top};
}

void WordListMenuBarMaster::releaseWindowResources() {
    rememberPlace();
    WordListBaseMaster::releaseWindowResources();
}

WordListMenuBarMaster::~WordListMenuBarMaster() {
    rememberPlace();
    DeleteCriticalSection(&gestureLock_);
    if (g_openMenu == this) {
        g_openMenu = nullptr;
        refreshBarButtons();
    }
}

void WordListMenuBarMaster::onStateChanged(unsigned oldFlags, unsigned newFlags) {
    if (!acceptMode_) return;
    if (BarUnit* submit = findUnitById(WORD_MENU_SUBMIT))
        submit->setStateBits(UNIT_ENABLED, (newFlags & 0x4u) != 0, true);
}

void WordListMenuBarMaster::paint(HDC dc) {
    checkOwner("paint");
    RECT client;
    GetClientRect(window_, &client);
    if (font_) SelectObject(dc, font_);
    SetTextAlign(dc, TA_LEFT | TA_TOP);
    SetBkMode(dc, TRANSPARENT);
    // Behind the rounded corners: the colour the region cuts away anyway.
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBRUSH fill = CreateSolidBrush(kMenuBack);
    HPEN frame = CreatePen(PS_SOLID, 3, 0x808080);
    HGDIOBJ oldBrush = SelectObject(dc, fill);
    HGDIOBJ oldPen = SelectObject(dc, frame);
    const int corner = std::max<int>(2, sizeIn(dc, font_, L"x").cy * 2 / 3);
    RoundRect(dc, client.left + 1, client.top + 1, client.right, client.bottom, corner, corner);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    DeleteObject(frame);
    DeleteObject(fill);
    for (int i = 0; i < unitCount(); ++i)
        if (BarUnit* u = unit(i)) u->paint(dc);
}

void WordListMenuBarMaster::buildUnits() {
    checkOwner("buildUnits");
    deleteAllUnits();
    UINT highlighted = 0xFFFFFFFF;
    if (group_) {
        win::ScopedLock lock(group_->linkLock());
        if (child_) highlighted = static_cast<UINT>(child_->creator());
    }
    for (int w = 0; w < model_.wordCount(); ++w) {
        const MenuWord* word = model_.wordAt(w);
        if (word->alts.empty()) continue;
        auto* item = new (std::nothrow)
            WordListMenuBarUnit(this, static_cast<UINT>(w), 0x50E, nullptr, word->text().c_str(),
                                font_, kMenuBack, 0, kItemLit, kItemLitText);
        if (!addUnit(item)) return;
        if (item->id() == highlighted) item->setStateBits(UNIT_HOVER, true, true);
    }
    if (alternativesShown_) {
        for (int w = 0; w < model_.wordCount(); ++w) {
            const MenuWord* word = model_.wordAt(w);
            for (size_t a = 1; a < word->alts.size(); ++a) {
                const UINT id = (static_cast<UINT>(w + 1) << 16) | static_cast<UINT>(a);
                auto* item = new (std::nothrow)
                    WordListMenuBarUnit(this, id, 0x10E, nullptr, word->alts[a].c_str(), smallFont_,
                                        kMenuBack, 0, kItemLit, kItemLitText);
                if (!addUnit(item)) return;
                if (id == highlighted) item->setStateBits(UNIT_HOVER, true, true);
            }
        }
    }
    const bool accept = acceptMode_ != 0;
    struct Button {
        UINT id;
        unsigned flags;
        UINT tip;  // its text in the string table
    } buttons[] = {
        {WORD_MENU_SCROLL_LEFT, 0x11E, IDS_WORDMENU_SCROLL_LEFT},
        {WORD_MENU_SCROLL_RIGHT, 0x11E, IDS_WORDMENU_SCROLL_RIGHT},
        {WORD_MENU_PIN, 0x10F, IDS_WORDMENU_PIN},
        {WORD_MENU_MOVE, 0x30E, IDS_TIP_MOVE_BAR},
        {WORD_MENU_SUBMIT, 0x10E, IDS_WORDMENU_SUBMIT},
        {WORD_MENU_CLOSE, 0x10E, IDS_WORDMENU_CLOSE},
    };
    for (const Button& b : buttons) {
        if (b.id == WORD_MENU_SUBMIT && !accept) continue;
        const std::wstring tip = menuText(b.tip);
        auto* button = new (std::nothrow) WordMenuButtonUnit(this, b.id, b.flags, tip.c_str());
        if (!addUnit(button)) return;
        if (b.id == WORD_MENU_PIN && wordListBarSettings().autoShow == 3)
            button->setSelected(true, true);
        if (b.id == WORD_MENU_SCROLL_LEFT || b.id == WORD_MENU_SCROLL_RIGHT)
            button->setStateBits(UNIT_HIDDEN, true, true);
        if (b.id == WORD_MENU_SUBMIT)
            button->setStateBits(UNIT_ENABLED, (barFlags_ & 0x4u) != 0, true);
    }
    RecProfile* profile = getRecMgr().getCurrentProfile();
    if (profile && !profile->name.empty()) {
        wchar_t line[160];
        _snwprintf(line, 160, L"Profile: %ls", profile->name.c_str());
        line[159] = 0;
        const int height = dc_ ? fontHeightOf(dc_) * 7 / 12 : -10;
        LOGFONTW lf = {};
        lf.lfHeight = height;
        lf.lfWeight = 600;
        lf.lfItalic = 1;
        lf.lfPitchAndFamily = 8;
        wcscpy(lf.lfFaceName, L"Courier New");
        static HFONT profileFont = nullptr;  // one for the program, the menus come and go
        if (!profileFont) profileFont = CreateFontIndirectW(&lf);
        addUnit(new (std::nothrow)
                    WordListMenuBarProfileUnit(this, WORD_MENU_PROFILE_LINE, 0, nullptr, line,
                                               profileFont, kMenuBack, 0x408080, kMenuBack, 0));
    }
    layoutItems();
    redraw();
}

int WordListMenuBarMaster::setSelection(int first, int last) {
    const int changed = WordListBaseMaster::setSelection(first, last);
    if (BarUnit* left = findUnitById(WORD_MENU_SCROLL_LEFT)) {
        left->setStateBits(UNIT_HIDDEN, first == 0, true);
        left->setStateBits(UNIT_ENABLED, first != 0, true);
    }
    if (BarUnit* right = findUnitById(WORD_MENU_SCROLL_RIGHT)) {
        right->setStateBits(UNIT_HIDDEN, last == -1, true);
        right->setStateBits(UNIT_ENABLED, last >= 0, true);
    }
    return changed;
}

int WordListMenuBarMaster::layoutItems() {
    checkOwner("layoutItems");
    if (!dc_) return 0;
    std::vector<WordListMenuBarUnit*> words, alts;
    for (int i = 0; i < unitCount(); ++i) {
        BarUnit* u = unit(i);
        if (!u || !u->isKindOf(L"WordListMenuBarUnit")) continue;
        auto* w = static_cast<WordListMenuBarUnit*>(u);
        (w->isWordItem() ? words : alts).push_back(w);
    }
    int tallest = 0;
    std::vector<int> widths;
    for (WordListMenuBarUnit* w : words) {
        w->setStateBits(UNIT_ENABLED, true, true);
        const SIZE s = w->measure();
        widths.push_back(s.cx);
        tallest = std::max<int>(tallest, s.cy);
    }
    const SIZE x = sizeIn(dc_, font_, L"x");
    const SIZE smallX = sizeIn(dc_, smallFont_, L"x");
    const int rowHeight = std::max<int>(1, tallest * 9 / 8);

    // The page: word indexes of the items are the model's.
    const std::pair<int, int> page =
        chooseVisiblePage(widths, maxRowWidth_, itemIndexOf(first_, words),
                          itemIndexOf(last_, words), itemIndexOf(model_.lastChanged(), words));
    const int firstItem = page.first;
    const int lastItem = page.second < 0 ? static_cast<int>(words.size()) - 1 : page.second;
    model_.resetChanged();

    const int top = kHeaderTop + kButtonSize + 4;
    int left = x.cx * 3 / 2 + 1;
    for (int i = 0; i < static_cast<int>(words.size()); ++i) {
        WordListMenuBarUnit* w = words[i];
        if (i < firstItem || i > lastItem) {
            w->setStateBits(UNIT_ENABLED, false, true);
            w->setRect(RECT{-500, -500, -500, -500});
            continue;
        }
        w->setRect(RECT{left, top, left + widths[i], top + rowHeight});
        w->setTextOffset(0, rowHeight / 8);
        left += widths[i];
    }
    for (WordListMenuBarUnit* a : alts) {
        const int wordIndex = static_cast<int>(a->id() >> 16) - 1;
        const int altIndex = static_cast<int>(a->id() & 0xFFFF);
        WordListMenuBarUnit* owner = wordItem(wordIndex);
        if (!owner || !(owner->state() & UNIT_ENABLED)) {
            a->setStateBits(UNIT_ENABLED, false, true);
            a->setRect(RECT{-500, -500, -500, -500});
            continue;
        }
        a->setStateBits(UNIT_ENABLED, true, true);
        const SIZE s = a->measure();
        const int pad = 2 * x.cx / 3;
        const int l = owner->rect().left + owner->textOffset().x;
        const int t = owner->rect().bottom + (altIndex - 1) * smallX.cy;
        a->setRect(RECT{l, t, l + s.cx + 2 * pad, t + s.cy});
        a->setTextOffset(pad, 0);
    }
    int right = 0, bottom = top + rowHeight;
    for (int i = 0; i < unitCount(); ++i) {
        BarUnit* u = unit(i);
        if (!u || !u->isKindOf(L"WordListMenuBarUnit") || !(u->state() & UNIT_ENABLED)) continue;
        const RECT& r = static_cast<BarRectUnit*>(u)->rect();
        right = std::max<int>(right, r.right);
        bottom = std::max<int>(bottom, r.bottom);
    }
    if (BarUnit* p = findUnitById(WORD_MENU_PROFILE_LINE)) {
        auto* line = static_cast<BarTextMenuUnit*>(p);
        const SIZE s = line->measure();
        const SIZE lx = sizeIn(dc_, line->getFont(), L"x");
        right = std::max<int>(right, s.cx + 4 * lx.cx);
        bottom += lx.cy * 3 / 2;
        const int l = (right - s.cx) / 2;
        line->setRect(RECT{l, bottom - lx.cy, l + s.cx, bottom});
        line->setTextOffset(0, 0);
    }
    // The header: scroll buttons at the left, pin, move, (submit) and close at the right.
    const int buttonsRight = (acceptMode_ ? 4 : 3) * (kButtonSize + kButtonGap) + 2 * cornerSize_;
    headerWidth_ = 2 * (kButtonSize + kButtonGap) + buttonsRight + 8;
    int width = std::max<int>(right + 4 * x.cx / 3, headerWidth_);
    const int height = bottom + smallX.cy;
    int menuX = position_.x;
    if (scrollRight_ && window_) {
        RECT r;
        GetWindowRect(window_, &r);
        menuX = r.right - width - 2;
    }
    RECT rect = {menuX, position_.y, menuX + width + 2, position_.y + height + 2};
    keepRectInDesktop(&rect);
    position_ = POINT{rect.left, rect.top};

    int bx = cornerSize_ + 2;
    for (UINT id : {WORD_MENU_SCROLL_LEFT, WORD_MENU_SCROLL_RIGHT}) {
        if (BarUnit* b = findUnitById(id))
            static_cast<BarRectUnit*>(b)->setRect(
                RECT{bx, kHeaderTop, bx + kButtonSize, kHeaderTop + kButtonSize});
        bx += kButtonSize + kButtonGap;
    }
    bx = width - cornerSize_ - kButtonSize;
    for (UINT id : {WORD_MENU_CLOSE, WORD_MENU_SUBMIT, WORD_MENU_MOVE, WORD_MENU_PIN}) {
        BarUnit* b = findUnitById(id);
        if (!b) continue;
        static_cast<BarRectUnit*>(b)->setRect(
            RECT{bx, kHeaderTop, bx + kButtonSize, kHeaderTop + kButtonSize});
        bx -= kButtonSize + kButtonGap;
    }

    if (window_) {
        RECT current;
        GetWindowRect(window_, &current);
        if (current.left != rect.left || current.top != rect.top ||
            current.right - current.left != width + 2 ||
            current.bottom - current.top != height + 2) {
            HRGN region =
                CreateRoundRectRgn(0, 0, width + 3, height + 3, 2 * cornerSize_, 2 * cornerSize_);
            if (region && !SetWindowRgn(window_, region, TRUE)) DeleteObject(region);
            MoveWindow(window_, rect.left, rect.top, width + 2, height + 2, TRUE);
        }
    }
    const int firstWord =
        firstItem < static_cast<int>(words.size()) ? static_cast<int>(words[firstItem]->id()) : 0;
    const int lastWord = page.second < 0 ? -1 : static_cast<int>(words[page.second]->id());
    setSelection(firstItem == 0 ? 0 : firstWord, lastWord);
    traceLayout();
    return 1;
}

int WordListMenuBarMaster::itemIndexOf(int word,
                                       const std::vector<WordListMenuBarUnit*>& items) const {
    if (word < 0) return word;
    for (size_t i = 0; i < items.size(); ++i)
        if (static_cast<int>(items[i]->id()) >= word) return static_cast<int>(i);
    return static_cast<int>(items.size()) - 1;
}

void WordListMenuBarMaster::traceLayout() const {
    for (int i = 0; i < unitCount(); ++i) {
        BarUnit* u = unit(i);
        if (!u || !u->isKindOf(L"WordListMenuBarUnit") || !(u->state() & UNIT_ENABLED)) continue;
        auto* t = static_cast<WordListMenuBarUnit*>(u);
        RECT r = t->rect();
        MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        debugTrace(L"WordMenuBar item %u \"%ls\" at %d,%d,%d,%d\n", t->id(), t->text().c_str(),
                   r.left, r.top, r.right, r.bottom);
    }
}

void WordListMenuBarMaster::endDrag() {
    checkOwner("endDrag");
    WordListBaseMaster::endDrag();
    rememberPlace();
    refreshHover();
}

void WordListMenuBarMaster::refreshHover() {
    checkOwner("refreshHover");
    POINT cursor;
    if (!window_ || !GetCursorPos(&cursor)) return;
    LocalInkManager* manager = inkManager();
    const bool anyActive = manager && manager->getActiveClient() != nullptr;
    if (!anyActive && WindowFromPoint(cursor) != window_) {
        // The drag took the menu from under the pointer: nothing stays lit.
        hoverPoint_.x = -1;
        KillTimer(window_, 1);
        hideTip(true);
        dispatchToUnits(BAR_MOVE, kAllUnits, 0, packPoint(-100, -100));
        return;
    }
    POINT client = cursor;
    ScreenToClient(window_, &client);
    trackHover(client.x, client.y, false);
}

void WordListMenuBarMaster::applyText(const std::wstring& text) {
    HWND focus = hookLibrary().getLastFocusWindow();
    if (focus) {
        CTargetText target(focus);
        if (target.hasHandler() && target.hasSelection()) {
            const std::wstring replaced = text + trailing_;
            target.replaceSelection(replaced.c_str(), true);
            applied_ = true;
            noteResultDelivery();
            return;
        }
    }
    WordListBaseMaster::applyText(text);
}

void WordListMenuBarMaster::pinOrUnpin() {
    checkOwner("pinOrUnpin");
    WordListBarSettings& s = wordListBarSettings();
    if (s.autoShow == 3) {
        s.autoShow = 2;
    } else {
        s.autoShow = 3;
        RECT r;
        if (window_ && GetWindowRect(window_, &r)) s.customMenuPosition = POINT{r.left, r.top};
    }
    if (LocalInkManager* manager = inkManager()) manager->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

void WordListMenuBarMaster::addWordToDictionary(POINT client) {
    checkOwner("addWordToDictionary");
    hideTip(true);
    if (LocalInkManager* manager = inkManager())
        manager->broadcastEvent(INK_EVENT_REFUSED, reinterpret_cast<LPARAM>(this));
    BarUnit* u = unitAt(client.x, client.y);
    if (!u || !u->isKindOf(L"WordListMenuBarUnit")) return;
    auto* item = static_cast<WordListMenuBarUnit*>(u);
    if (item->text().empty()) return;
    RecProfile* profile = currentOrDefault();
    if (!profile) return;
    POINT screen = client;
    if (window_) ClientToScreen(window_, &screen);
    if (!profile->checkWord(item->text().c_str()))
        showWordToDictMenu(this, item->text().c_str(), screen, profile);
    else
        showTip(client.x, client.y, menuText(IDS_WORDMENU_ALREADY_IN_DICT).c_str(), item);
}

void WordListMenuBarMaster::zoomBegin(unsigned distance, POINT location) {
    win::ScopedLock lock(gestureLock_);
    gestureDistance_ = distance;
    gesturePrevious_ = location;
    gestureLocation_ = location;
}

void WordListMenuBarMaster::zoomStep(unsigned distance, POINT location) {
    win::ScopedLock lock(gestureLock_);
    if (distance == 0 || distance == gestureDistance_) return;
    const unsigned before = gestureDistance_;
    gestureDistance_ = distance;
    gesturePrevious_ = gestureLocation_;
    gestureLocation_ = location;
    WordListBarSettings& s = wordListBarSettings();
    const int size = menus::zoomFontSize(s.mainFontSize, before, distance);
    if (size != s.mainFontSize) {
        s.mainFontSize = size;
        if (window_) PostMessageW(window_, WM_BAR_COALESCED, 0, 0);
    }
}

void WordListMenuBarMaster::zoomEnd() {
    checkOwner("zoomEnd");
    win::ScopedLock lock(gestureLock_);
    // Touching the menu with two fingers may have handed the foreground to
    // another window: give it back to the window the user was writing in, and
    // close the menu shortly after if the focus still went elsewhere.
    if (GetForegroundWindow() == foregroundWindow_) return;
    g_foregroundChangeTick = GetTickCount();
    if (foregroundWindow_) SetForegroundWindow(foregroundWindow_);
    if (!window_) return;
    postMsgToMasterDelayed(window_, BAR_DELAYED, 0, 0, kRefocusCheckMs);
    RECT r;
    if (GetWindowRect(window_, &r)) SetCursorPos(r.left + 2, (r.top + r.bottom) / 2);
}

bool WordListMenuBarMaster::onGesture(LPARAM info) {
    static const auto getInfo = user32Function<GetGestureInfoFn>("GetGestureInfo");
    if (!getInfo || !info) return false;
    GESTUREINFO gesture = {};
    gesture.cbSize = sizeof gesture;
    const HGESTUREINFO handle = reinterpret_cast<HGESTUREINFO>(info);
    if (!getInfo(handle, &gesture) || gesture.dwID != GID_ZOOM) return false;
    const unsigned distance = static_cast<unsigned>(gesture.ullArguments);
    const POINT location = {gesture.ptsLocation.x, gesture.ptsLocation.y};
    if (gesture.dwFlags & GF_BEGIN)
        zoomBegin(distance, location);
    else if (gesture.dwFlags & GF_END)
        zoomEnd();
    else
        zoomStep(distance, location);
    // The bar window hands the message on to the default handling, which frees the handle.
    return true;
}

LRESULT WordListMenuBarMaster::onMessage(UINT code, LPARAM a, LPARAM b) {
    switch (code) {
        case BAR_GESTURE:
            onGesture(b);
            return 0;
        case BAR_UNIT_STATE:
            if (a == 3) return 0;  // submenus open on a pick only
            break;
        case BAR_UNIT_PICKED: {
            const UINT id = static_cast<UINT>(a);
            switch (id) {
                case WORD_MENU_SUBMIT:
                    postMsgToMaster(WORD_MENU_APPLY_AND_CLOSE, 0, 0);
                    return 0;
                case WORD_MENU_PIN:
                    pinOrUnpin();
                    return 0;
                case WORD_MENU_CLOSE:
                    if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
                    return 0;
                case WORD_MENU_SCROLL_LEFT:
                    postMsgToMaster(WORD_MENU_PAGE_BEFORE, 0, 0);
                    return 0;
                case WORD_MENU_SCROLL_RIGHT:
                    postMsgToMaster(WORD_MENU_PAGE_AFTER, 0, 0);
                    return 0;
                case kApplyItemId:
                    postMsgToMaster(WORD_MENU_APPLY_AND_CLOSE, 0, 0);
                    return 0;
                default:
                    break;
            }
            if (id < 0x10000) {
                if (!autoExpand_) {
                    alternativesShown_ = !alternativesShown_;
                    rebuild();
                    computeBoxes(false);
                }
                return 0;
            }
            if (id != kSeparatorId) {
                const int altIndex = static_cast<int>(id & 0xFFFF);
                const int word = static_cast<int>(id >> 16) - 1;
                const MenuWord* w = model_.wordAt(word);
                if (!w || altIndex == 0) return 0;
                const int oldLength = static_cast<int>(w->text().size());
                const int firstBox = boxOf(word, 0);
                if (!model_.pickAlternative(word, altIndex)) return 0;
                {
                    win::ScopedLock lock(group_->linkLock());
                    remakeWordRecords(word, firstBox, oldLength);
                }
                return onMessage(MENU_WORDS_CHANGED, 0, 0);
            }
            return 0;
        }
        case BAR_RBUTTON_DOWN:
            addWordToDictionary(unpackPoint(b));
            return 0;
        case BAR_DELAYED:
            if (hookLibrary().getLastFocusWindow() != focusWindow_ && window_)
                PostMessageW(window_, WM_CLOSE, 0, 0);
            return 0;
        case BAR_GESTURE_NOTIFY:
            keepPointerOnMenu(b);
            return 0;
        case MENU_LETTER_GUESS: {
            auto* u = reinterpret_cast<BarUnit*>(b);
            const WordListBarSettings& s = wordListBarSettings();
            const bool wordItemUnit = u && u->id() < 0x10000;
            if (!autoExpand_ && (!s.useLetterGuesser || !alternativesShown_) && wordItemUnit) {
                alternativesShown_ = !alternativesShown_;
                rebuild();
                computeBoxes(false);
                return 0;
            }
            if (!s.useLetterGuesser) return 0;
            break;
        }
        default:
            break;
    }
    return WordListBaseMaster::onMessage(code, a, b);
}

// --- the program's one word-list menu ---

WordListMenuBarMaster* openWordListMenu() { return g_openMenu; }

DWORD menuForegroundChangeTick() { return g_foregroundChangeTick; }

bool isWordListMenuOpen() { return g_openMenu != nullptr; }

bool isWordListMenuClient(const LocalClient* client) {
    return client && g_openMenu && client == static_cast<const LocalClient*>(g_openMenu);
}

LRESULT showWordListMenuBar(HKL layout, const RecWordList* words, const POINT* position,
                            const wchar_t* trailing) {
    if (g_openMenu) return 0;
    RecWordList* blank = nullptr;
    RecResultRef own;
    if (!words) {
        blank = new (std::nothrow) RecWordList();
        if (!blank) return 0;
        auto* word = new (std::nothrow) RecWord(0, nullptr);
        if (!word || !word->addAlt(new (std::nothrow) RecAlt(L" ", RecAlt::kTypedScore)) ||
            !blank->appendWord(word)) {
            delete blank;
            return 0;
        }
        own = adoptRecResult(new (std::nothrow) RecResult(hookLibrary().getLastFocusWindow(),
                                                          nullptr, blank, layout));
        if (!own) return 0;
        setCurrentRecResult(own, true, false);
        words = blank;
    } else if (RecResultRef current = getCurrentRecResult()) {
        if (current->wordList().get() == words) own = current;
    }
    std::shared_ptr<const RecWordList> keep = own ? own->wordList() : nullptr;
    auto* menu = new (std::nothrow) WordListMenuBarMaster(words, position, trailing, layout);
    if (!menu) return 0;
    if (own) menu->setOwnResult(own);
    g_openMenu = menu;
    refreshBarButtons();
    menu->show();
    if (blank) setLastTypedLength(0);
    return 0;
}

void installWordListMenu() { setCorrectionServices(&g_services); }
