#include "ui/menus/WordListMenu.h"

#include <algorithm>
#include <cwchar>
#include <new>

#include "core/AppGlobals.h"
#include "core/Trace.h"
#include "core/HookLibrary.h"
#include "core/MemoryBlocks.h"
#include "core/PendingServices.h"
#include "core/Settings.h"
#include "gestures/gestures.h"
#include "ink/KeyboardOutput.h"
#include "ink/LiveInk.h"
#include "ink/LocalInkManager.h"
#include "ink/PenEventThread.h"
#include "ink/SelectionCorrection.h"
#include "ink/SystemClient.h"
#include "ink/TargetText.h"
#include "recognition/RecMgr.h"
#include "recognition/RecProfile.h"
#include "recognition/RecWordList.h"
#include "ui/bars/BarGeometry.h"
#include "ui/menus/MenuMath.h"
#include "ui/menus/PureTextMenu.h"
#include "win/ScopedLock.h"

namespace {

constexpr COLORREF kMenuBack = 0xCCFFFF;
constexpr COLORREF kItemLit = 0xCCD4D4;
constexpr COLORREF kItemLitText = 0x0000FF;
constexpr int kCorrectGestureMask = 0x9304;

BarTextMenuMaster::Options wordMenuOptions(int plain) {
    const WordListBarSettings& s = wordListBarSettings();
    BarTextMenuMaster::Options o;
    o.title = L"WordMenuBar";
    o.autoExpand = s.autoExpandSubmenu;
    o.horizontal = s.horizontalLayout;
    o.acceptMode = s.acceptMenuMode;
    const bool noFading = plain > 0 || s.autoShow == 3;
    o.fadingPeriod = noFading ? 0 : s.fadingPeriod;
    o.startOpacity = s.startTransparency;
    o.endOpacity = s.endTransparency;
    o.fadingStep = s.fadingDelta;
    return o;
}

HFONT makeCourier(int height, int weight, bool italic, int charset) {
    LOGFONTW lf = {};
    lf.lfHeight = height;
    lf.lfWeight = weight;
    lf.lfItalic = italic ? 1 : 0;
    lf.lfCharSet = static_cast<BYTE>(charset);
    lf.lfPitchAndFamily = 8;
    wcscpy(lf.lfFaceName, L"Courier New");
    return CreateFontIndirectW(&lf);
}

// The unscaled menu font height for the drawing context.
int menuFontHeight(HDC dc) {
    POINT h = {0, MulDiv(wordListBarSettings().mainFontSize, GetDeviceCaps(dc, LOGPIXELSY), 720)};
    DPtoLP(dc, &h, 1);
    return -std::abs(static_cast<int>(h.y));
}

}  // namespace

// --- units ---

LRESULT WordListMenuBarUnit::onEvent(UINT code, LPARAM a, LPARAM b) {
    if ((code >= MENU_LETTER_SPACE && code <= MENU_LETTER_SIGN) || code == MENU_LETTER_GUESS ||
        code == MENU_LETTER_TAP_SPACE) {
        const POINT p = unpackPoint(b);
        if (!(state_ & UNIT_ENABLED) || !hitTest(p.x, p.y) || id_ == kSeparatorId ||
            id_ == kApplyItemId)
            return 0;
        int letter = letterAt(p.x);
        if (letter < 0) {
            const int end = letterPosition(length(), nullptr);
            letter = (!text_.empty() && p.x < end) ? -1 : length();
        }
        notifyMaster(code == MENU_LETTER_TAP_SPACE ? MENU_LETTER_SPACE : code, letter,
                     reinterpret_cast<LPARAM>(this));
        return 1;
    }
    return BarTextMenuUnit::onEvent(code, a, b);
}

WordMenuButtonUnit::WordMenuButtonUnit(BarMaster* master, UINT id, unsigned flags,
                                       const wchar_t* tip)
    : BarRectUnit(master, id, flags, tip, RECT{0, 0, 0, 0}) {}

// The header buttons are drawn as small signs in the menu's own colours, not
// blitted from a picture strip: they keep to the menu's size when its font
// is zoomed and to its layout with or without "Submit", where fixed pictures
// would need a set for each, and the menu shows nothing a picture would add.
void WordMenuButtonUnit::paint(HDC dc) {
    if (state_ & UNIT_HIDDEN) return;
    const bool lit = (state_ & UNIT_HOVER) != 0;
    const bool on = (state_ & UNIT_SELECTED) != 0;
    const bool usable = (state_ & UNIT_ENABLED) != 0;
    HBRUSH back = CreateSolidBrush(lit ? kItemLit : (on ? 0x99DDDD : kMenuBack));
    FillRect(dc, &rect_, back);
    DeleteObject(back);
    const COLORREF ink = usable ? (lit ? kItemLitText : 0x404040) : 0xA0A0A0;
    HPEN pen = CreatePen(PS_SOLID, 2, ink);
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    const int l = rect_.left + 4, t = rect_.top + 4, r = rect_.right - 4, b = rect_.bottom - 4;
    const int cx = (l + r) / 2, cy = (t + b) / 2;
    switch (id_) {
        case WORD_MENU_PIN:
            Ellipse(dc, cx - 3, t, cx + 4, t + 7);
            MoveToEx(dc, cx, t + 7, nullptr);
            LineTo(dc, cx, b + 1);
            break;
        case WORD_MENU_MOVE:
            MoveToEx(dc, l, cy, nullptr);
            LineTo(dc, r + 1, cy);
            MoveToEx(dc, cx, t, nullptr);
            LineTo(dc, cx, b + 1);
            break;
        case WORD_MENU_CLOSE:
            MoveToEx(dc, l, t, nullptr);
            LineTo(dc, r + 1, b + 1);
            MoveToEx(dc, r, t, nullptr);
            LineTo(dc, l - 1, b + 1);
            break;
        case WORD_MENU_SUBMIT:
            MoveToEx(dc, l, cy, nullptr);
            LineTo(dc, cx - 1, b);
            LineTo(dc, r + 1, t - 1);
            break;
        case WORD_MENU_SCROLL_LEFT:
            MoveToEx(dc, r, t, nullptr);
            LineTo(dc, l, cy);
            LineTo(dc, r + 1, b + 1);
            break;
        case WORD_MENU_SCROLL_RIGHT:
            MoveToEx(dc, l, t, nullptr);
            LineTo(dc, r, cy);
            LineTo(dc, l - 1, b + 1);
            break;
        default:
            break;
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);
}

// --- base master ---

WordListBaseMaster::WordListBaseMaster(BarTextMenuMaster* parent, SyncSection* group,
                                       const RecWordList* words, int plain, int creator,
                                       const POINT* position)
    : BarTextMenuMaster(parent, group, plain, creator, position, wordMenuOptions(plain)),
      alive_(std::make_shared<bool>(true)) {
    wcsncpy(record().name, L"WordListMenu", 59);
    first_ = 0;
    last_ = 1;
    if (words) {
        model_ = WordListModel(*words);
        model_.prepareForLetterEditing();
        hasList_ = true;
    }
    createFonts();
}

WordListBaseMaster::~WordListBaseMaster() {
    *alive_ = false;
    clearWriting();
    if (smallFont_) DeleteObject(smallFont_);
    smallFont_ = nullptr;
    writeWordListBarSettings();
    // The corrected words go back to the result they came from, and only while
    // it is still the current one: a newer result keeps its own words.
    if (applied_ && hasList_ && hasOwnResult_) {
        RecResultRef own = ownResult_.lock();
        RecResultRef current = getCurrentRecResult();
        if (own && own == current) {
            if (RecWordList* list = model_.toRecWordList()) own->setWordList(list);
        }
    }
}

void WordListBaseMaster::createFonts() {
    checkOwner("createFonts");
    BarTextMenuMaster::createFonts();
    if (!dc_) return;
    const int height = menuFontHeight(dc_) * 2 / 3;
    HFONT made = makeCourier(height, 400, false, keyboardLanguage_ == 25 ? 204 : 0);
    if (smallFont_) DeleteObject(smallFont_);
    smallFont_ = made;
    if (font_) SelectObject(dc_, font_);
}

int WordListBaseMaster::setSelection(int first, int last) {
    checkOwner("setSelection");
    if (first == first_ && last == last_) return 0;
    first_ = first;
    last_ = last;
    int letters = 0;
    for (int w = 0; w < first && w < model_.wordCount(); ++w)
        if (wordItem(w)) letters += static_cast<int>(model_.wordAt(w)->text().size());
    lettersBefore_ = letters;
    if (first == 0 && last == -1)
        barFlags_ &= ~0x8u;
    else
        barFlags_ |= 0x8u;
    return 1;
}

void WordListBaseMaster::applyText(const std::wstring& text) {
    checkOwner("applyText");
    LocalInkManager* manager = inkManager();
    std::wstring typed = L"\x03";
    typed += text;
    // The text replaces the last insertion as it was typed: with a space after
    // it when its recognition's profile (perhaps the field's own) added one.
    bool wantSpace = false;
    if (getLastTypedLength() > 0)
        wantSpace = lastRecognitionSpaceAfter();
    else
        setLastTypedLength(0);
    HWND target = hookLibrary().getLastFocusWindow();
    HKL layout = getCurrentRecResultLayout();
    if (manager)
        manager->typeTextByKeys(target, typed.c_str(), wantSpace, layout);
    else
        typeTextToTarget(target, typed.c_str(), wantSpace, layout);
    applied_ = true;
    // A delivery of the result, as the system client's: a foreground change
    // right after it does not finish the result.
    noteResultDelivery();
}

WordListMenuBarUnit* WordListBaseMaster::wordItem(int word) const {
    for (int i = 0; i < unitCount(); ++i) {
        BarUnit* u = unit(i);
        if (u && u->id() == static_cast<UINT>(word) && u->isKindOf(L"WordListMenuBarUnit"))
            return static_cast<WordListMenuBarUnit*>(u);
    }
    return nullptr;
}

std::vector<WordListMenuBarUnit*> WordListBaseMaster::visibleWordItems() const {
    std::vector<WordListMenuBarUnit*> items;
    for (int i = 0; i < unitCount(); ++i) {
        BarUnit* u = unit(i);
        if (!u || !u->isKindOf(L"WordListMenuBarUnit")) continue;
        auto* w = static_cast<WordListMenuBarUnit*>(u);
        if (w->isWordItem() && (w->state() & UNIT_ENABLED)) items.push_back(w);
    }
    return items;
}

void WordListBaseMaster::computeBoxes(bool remake) {
    checkOwner("computeBoxes");
    if (!group_) return;
    win::ScopedLock lock(group_->linkLock());
    const std::vector<WordListMenuBarUnit*> items = visibleWordItems();
    CBoxedInput boxes;
    std::vector<const MenuWord*> words;
    for (WordListMenuBarUnit* item : items) {
        boxes.words.push_back(static_cast<int>(item->id()));
        for (int w : item->letterWidths()) boxes.widths.push_back(w);
        if (const MenuWord* word = model_.wordAt(static_cast<int>(item->id())))
            words.push_back(word);
    }
    if (!items.empty()) {
        const RECT& r = items.front()->rect();
        boxes.left = r.left + items.front()->textOffset().x;
        boxes.top = r.top;
        boxes.height = r.bottom - r.top;
    }
    // The records stay with their boxes while the row shows the same words
    // with as many letters as there are records (the edits keep them so);
    // another page, or a row that no longer matches, gets new ones.
    if (remake || boxes.words != boxes_.words || boxes_.records.size() != boxes.widths.size())
        boxes.records = buildLetterRecords(words);
    else
        boxes.records = std::move(boxes_.records);
    boxes_ = std::move(boxes);
}

int WordListBaseMaster::boxOf(int word, int letter) const {
    if (std::find(boxes_.words.begin(), boxes_.words.end(), word) == boxes_.words.end()) return -1;
    return model_.lettersBefore(word) - lettersBefore_ + letter;
}

void WordListBaseMaster::insertBoxRecord(int box) {
    if (box >= 0 && box <= static_cast<int>(boxes_.records.size()))
        boxes_.records.insert(boxes_.records.begin() + box, LetterRecord());
    else
        boxes_.words.clear();  // the boxes are made anew
}

void WordListBaseMaster::removeBoxRecord(int box) {
    if (box >= 0 && box < static_cast<int>(boxes_.records.size()))
        boxes_.records.erase(boxes_.records.begin() + box);
    else
        boxes_.words.clear();
}

void WordListBaseMaster::remakeWordRecords(int word, int firstBox, int oldLength) {
    const MenuWord* w = model_.wordAt(word);
    if (!w || firstBox < 0 || firstBox + oldLength > static_cast<int>(boxes_.records.size())) {
        boxes_.words.clear();
        return;
    }
    std::vector<LetterRecord> made = buildLetterRecords({w});
    // The same letter count: what the boxes held besides stays behind the new guesses.
    if (static_cast<int>(made.size()) == oldLength)
        for (int i = 0; i < oldLength; ++i) made[i].merge(boxes_.records[firstBox + i], false);
    auto first = boxes_.records.begin() + firstBox;
    first = boxes_.records.erase(first, first + oldLength);
    boxes_.records.insert(first, made.begin(), made.end());
}

void WordListBaseMaster::afterChange(int word) {
    checkOwner("afterChange");
    model_.markChanged(word);
    const int last = model_.wordCount() - 1;
    if (model_.restoreTrailingSpace() && !boxes_.words.empty() && boxes_.words.back() == last) {
        // The new blank at the end has a box of its own behind the others.
        boxes_.words.push_back(last + 1);
        boxes_.records.emplace_back();
    }
    barFlags_ |= 0x4u;
    onStateChanged(barFlags_ & ~0x4u, barFlags_);
    const std::wstring text = model_.text();
    rebuild();
    if (!acceptMode_) applyText(text);
    computeBoxes(false);
}

void WordListBaseMaster::letterEdit(UINT code, int word, int letter) {
    checkOwner("letterEdit");
    if (plain_ || !hasList_ || !group_) return;
    const MenuWord* w = model_.wordAt(word);
    if (!w) return;
    const int n = static_cast<int>(w->text().size());
    bool changed = false;
    switch (code) {
        case MENU_LETTER_SPACE: {
            win::ScopedLock lock(group_->linkLock());
            const int box = boxOf(word, letter < 0 || letter > n ? n : letter);
            changed = model_.insertSpace(word, letter);
            if (changed) insertBoxRecord(box);
            break;
        }
        case MENU_LETTER_DELETE:
            if (letter >= 0 && letter < n) {
                win::ScopedLock lock(group_->linkLock());
                changed = model_.deleteLetter(word, letter);
                if (changed) removeBoxRecord(boxOf(word, letter));
            }
            break;
        case MENU_LETTER_CASE:
            if (letter >= 0 && letter < n) {
                win::ScopedLock lock(group_->linkLock());
                changed = model_.toggleCase(word, letter);
            }
            break;
        case MENU_LETTER_SIGN: {
            if (letter < 0 || letter >= n) return;
            // The group outlives this menu while the punctuation bar runs.
            std::shared_ptr<bool> alive = alive_;
            SyncSection* group = group_;
            static int marker;
            group->add(&marker);
            RECT box = {0, 0, 0, 0};
            if (WordListMenuBarUnit* item = wordItem(word)) {
                int width = 0;
                const int x = item->letterPosition(letter, &width);
                box = RECT{x, item->rect().top, x + width, item->rect().bottom};
                MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&box), 2);
            }
            // Signs only: the bar's keys and commands are no letters.
            const wchar_t sign = menus::signToLetter(
                showPunctuationPopup(group, window_, POINT{box.left, box.bottom}, kSignsOnly));
            if (sign != 0 && *alive) {
                win::ScopedLock lock(group_->linkLock());
                // A sign for a blank that ends a word goes before it: the
                // blank (and its box) stays between this word and the next.
                if (letter == n - 1 && model_.wordAt(word)->text()[letter] == L' ' &&
                    model_.insertSpace(word, letter))
                    insertBoxRecord(boxOf(word, letter));
                changed = model_.replaceLetter(word, letter, sign);
            }
            group->remove(&marker);
            if (!*alive) return;
            break;
        }
        case MENU_LETTER_GUESS:
            if (letter >= 0 && letter < n) openLetterGuess(word, letter);
            return;
        default:
            return;
    }
    if (changed) afterChange(word);
}

void WordListBaseMaster::openLetterGuess(int word, int letter) {
    checkOwner("openLetterGuess");
    WordListMenuBarUnit* item = wordItem(word);
    if (!item) return;
    const int box = boxOf(word, letter);
    if (box < 0 || box >= static_cast<int>(boxes_.records.size())) return;
    const LetterRecord record = boxes_.records[box];
    int width = 0;
    const int x = item->letterPosition(letter, &width);
    RECT anchor = {x, item->rect().top, x + width, item->rect().bottom};
    MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&anchor), 2);

    // As many rows as fit in half the monitor's height above or below the box.
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromRect(&anchor, MONITOR_DEFAULTTONEAREST), &info))
        screenHeight = info.rcMonitor.bottom - info.rcMonitor.top;
    const POINT at = {anchor.left, anchor.bottom};
    auto* menu = new (std::nothrow) GuessSymbMenu(word, letter, this, group_, 1, 1, &at, &anchor);
    if (!menu) return;
    const int rowHeight = std::max<int>(1, menu->textSize(L"x").cy * 3 / 2);
    int rows = (screenHeight - (anchor.bottom - anchor.top)) / 2 / rowHeight;
    if (rows < 4 || rows > 19) rows = 20;
    for (int i = 0; i < record.count && i < rows; ++i) {
        const wchar_t text[2] = {record.guesses[i], 0};
        menu->addItemText(text, record.guesses[i], nullptr, false);
    }
    menu->addSeparator(false);
    menu->addItemText(L",.;", kGuessPunctuationId, nullptr, false);
    {
        win::ScopedLock lock(group_->linkLock());
        if (child_ && child_ != menu) {
            BarTextMenuMaster* old = child_;
            child_ = nullptr;
            old->close(true);
        }
        child_ = menu;
    }
    menu->show();
    item->selectLetter(letter, true);
}

void WordListBaseMaster::guessPicked(int code, int word, int letter) {
    checkOwner("guessPicked");
    debugTrace(L"WordMenuBar: letter-guess pick %d for letter %d of word %d\n", code, letter, word);
    WordListMenuBarUnit* item = wordItem(word);
    if (code == 0) {
        if (item) item->selectLetter(-1, true);
        return;
    }
    if (code == static_cast<int>(kGuessPunctuationId)) {
        if (item) letterEdit(MENU_LETTER_SIGN, word, letter);
        return;
    }
    const MenuWord* w = model_.wordAt(word);
    if (!w || letter < 0 || letter >= static_cast<int>(w->text().size())) return;
    {
        win::ScopedLock lock(group_->linkLock());
        model_.replaceLetter(word, letter, static_cast<wchar_t>(code));
    }
    afterChange(word);
}

int WordListBaseMaster::onStrokes(InkPoint* points, int count) {
    // The pen-event thread hands the stroke over; the word list, the boxes
    // and the menu's timers belong to the menu's own thread.
    if (!postMsgToWindow(window_, WORD_MENU_STROKE, count, reinterpret_cast<LPARAM>(points))) {
        freeMemory(points);
        if (LocalInkManager* manager = inkManager()) manager->releaseActiveClient(this, false);
    }
    return 1;
}

namespace {
RECT pixelBounds(const std::vector<InkPoint>& points, int margin) {
    RECT r = {0, 0, 0, 0};
    bool any = false;
    for (const InkPoint& p : points) {
        if (p.x == kInkControlX) continue;
        const int x = p.x >> 2, y = p.y >> 2;
        if (!any) {
            r = RECT{x, y, x + 1, y + 1};
            any = true;
        } else {
            r.left = std::min<LONG>(r.left, x);
            r.top = std::min<LONG>(r.top, y);
            r.right = std::max<LONG>(r.right, x + 1);
            r.bottom = std::max<LONG>(r.bottom, y + 1);
        }
    }
    if (any) InflateRect(&r, margin, margin);
    return r;
}
}  // namespace

void WordListBaseMaster::takeStroke(InkPoint* points, int count) {
    checkOwner("takeStroke");
    std::vector<InkPoint> stroke;
    if (points && count > 0) stroke.assign(points, points + count);
    freeMemory(points);
    if (window_) KillTimer(window_, kNextStrokeTimer);
    LocalInkManager* manager = inkManager();

    if (dragging()) {
        POINT last = {0, 0};
        bool have = false;
        for (const InkPoint& p : stroke) {
            if (p.x == kInkControlX) continue;
            last = POINT{p.x >> 2, p.y >> 2};
            have = true;
        }
        if (have && window_) ScreenToClient(window_, &last);
        // The menu reaches the pen's last point before the drag ends, so that
        // what the end of the drag looks at (the hover) is where the menu stays.
        if (have) {
            RECT r;
            if (window_ && GetWindowRect(window_, &r))
                moveTo(r.left + last.x - dragOrigin_.x, r.top + last.y - dragOrigin_.y);
        }
        for (const InkPoint& p : stroke) {
            if (isSeparator(p)) {
                endDrag();
                if (manager) manager->releaseActiveClient(this, false);
            }
        }
        return;
    }

    int real = 0;
    for (const InkPoint& p : stroke)
        if (p.x != kInkControlX) ++real;
    if (real == 0) return;
    const POINT firstOnScreen = {stroke[0].x >> 2, stroke[0].y >> 2};
    POINT first = firstOnScreen;
    if (window_) ScreenToClient(window_, &first);

    // The pen went down on a menu of the group over this one: a tap is its
    // click, anything else nothing.
    const RECT bounds = pixelBounds(stroke, 0);
    const bool tap = bounds.right - bounds.left < 10 && bounds.bottom - bounds.top < 10;
    if (strokes_.empty() && penDownOnMember(firstOnScreen, tap)) {
        if (manager) manager->releaseActiveClient(this, false);
        restoreScreenArea(pixelBounds(stroke, 3));
        applyLayered();
        return;
    }

    if (strokes_.empty() && unitCount() > 0) {
        UINT code = 0;
        if (tap) {
            BarUnit* under = unitAt(first.x, first.y);
            if (under && !(under->behaviour() & TEXT_UNIT_LETTER_BOXES)) {
                // A tap on an alternative or a button is its press and release.
                if (manager) manager->releaseActiveClient(this, false);
                postMsgToMaster(BAR_PRESS, 0, packPoint(first.x, first.y));
                postMsgToMaster(BAR_RELEASE, 0, packPoint(first.x, first.y));
                restoreScreenArea(pixelBounds(stroke, 3));
                applyLayered();
                return;
            }
            code = MENU_LETTER_GUESS;
        } else {
            std::vector<int32_t> raw(stroke.size());
            for (size_t i = 0; i < stroke.size(); ++i)
                raw[i] = static_cast<int32_t>(inkPointValue(stroke[i]));
            const int32_t g =
                GestureCheck(kCorrectGestureMask, raw.data(), static_cast<int32_t>(raw.size()), 1);
            if (g == 0x8000)
                code = MENU_LETTER_SPACE;
            else if (g == 0x4)
                code = MENU_LETTER_DELETE;
            else if (g == 0x100)
                code = MENU_LETTER_CASE;
            else if (g == 0x200 || g == 0x1000)
                code = MENU_LETTER_SIGN;
            else if (g != 0)
                code = 0xFFFFFFFF;  // a gesture of the mask that edits nothing
        }
        if (code != 0) {
            if (manager) manager->releaseActiveClient(this, false);
            if (code != 0xFFFFFFFF) postMsgToUnits(code, kAllUnits, 0, packPoint(first.x, first.y));
            // No new ink while the gesture's ink is cleared; the edit itself is
            // queued on this thread ahead of any later pen-down, so inking may
            // go on at once: a lock left in place would turn the next stroke on
            // the menu into a click.
            if (!tap) hookLibrary().lockInking(1);
            restoreScreenArea(pixelBounds(stroke, 3));
            if (!tap && manager) manager->unlockInking();
            applyLayered();
            return;
        }
    }

    RecProfile* profile = getRecMgr().findProfile(L"#sys-correct");
    debugTrace(L"WordMenuBar: writing on the boxes, stroke %d, %ls profile\n",
               static_cast<int>(strokes_.size()) + 1, profile ? L"with the" : L"without a");
    if (strokes_.empty()) {
        const std::vector<WordListMenuBarUnit*> items = visibleWordItems();
        if (profile && !items.empty() && !boxes_.widths.empty()) {
            POINT origin = {boxes_.left, boxes_.top};
            if (window_) ClientToScreen(window_, &origin);
            sessionOpen_ = profile->startBoxedSession(origin.x, origin.y, boxes_.widths[0],
                                                      boxes_.height, boxes_.height / 3);
        } else if (profile) {
            sessionOpen_ = profile->startSession(0);
        }
    }
    if (profile && sessionOpen_)
        profile->addInk(reinterpret_cast<const PSO_POINT*>(stroke.data()),
                        static_cast<int>(stroke.size()));
    strokes_.push_back(std::move(stroke));
    if (!window_ || !SetTimer(window_, kNextStrokeTimer,
                              static_cast<UINT>(wordListBarSettings().correctRecTimeout), nullptr))
        debugTrace(L"SetTimer(...BAR_TIMER_NEXTSTROKE_WAITING...) failed\n");
}

void WordListBaseMaster::clearWriting() {
    RECT area = {0, 0, 0, 0};
    for (const auto& stroke : strokes_) {
        RECT r = pixelBounds(stroke, 3);
        UnionRect(&area, &area, &r);
    }
    strokes_.clear();
    if (!IsRectEmpty(&area)) restoreScreenArea(area);
}

void WordListBaseMaster::endOfWriting() {
    checkOwner("endOfWriting");
    if (window_) KillTimer(window_, kNextStrokeTimer);
    RecProfile* profile = getRecMgr().findProfile(L"#sys-correct");
    RecWordList* answers = nullptr;
    if (profile && sessionOpen_) {
        profile->endSession();
        answers = profile->getAnswers(false);
    }
    sessionOpen_ = false;
    takeAnswers(answers);
    delete answers;
}

void WordListBaseMaster::takeAnswers(const RecWordList* answers) {
    checkOwner("takeAnswers");
    int reported = -1;
    std::vector<int> changedWords;
    debugTrace(L"WordMenuBar: end of writing, %d strokes, %d answer words\n",
               static_cast<int>(strokes_.size()), answers ? answers->wordCount() : -1);
    if (answers && !visibleWordItems().empty() && !boxes_.widths.empty()) {
        // The boxes the strokes fell in, by the centre of each stroke.
        std::vector<int> hit;
        for (const auto& stroke : strokes_) {
            RECT r = pixelBounds(stroke, 0);
            POINT centre = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            if (window_) ScreenToClient(window_, &centre);
            const int box = boxAtX(boxes_.left, boxes_.widths, centre.x);
            if (box < 0) break;
            if (std::find(hit.begin(), hit.end(), box) == hit.end()) hit.push_back(box);
        }
        std::vector<WrittenWord> written;
        if (answers->wordCount() == 1) {
            WrittenWord w;
            const RecWord* word = answers->wordAt(0);
            for (int a = 0; a < word->altCount(); ++a) w.alts.push_back(word->altAt(a)->text());
            w.boxes = hit;
            written.push_back(std::move(w));
        } else {
            // Several words over the boxes: their letters in order, one box each.
            WrittenWord w;
            std::wstring joined;
            for (int i = 0; i < answers->wordCount(); ++i) joined += answers->wordAt(i)->text();
            w.alts.push_back(joined);
            w.boxes = hit;
            written.push_back(std::move(w));
        }
        for (const WrittenWord& w : written)
            debugTrace(L"WordMenuBar: answer \"%ls\" over %d boxes (first %d) of %d\n",
                       w.alts.empty() ? L"" : w.alts[0].c_str(), static_cast<int>(w.boxes.size()),
                       w.boxes.empty() ? -1 : w.boxes[0], static_cast<int>(boxes_.widths.size()));
        const std::vector<LetterRecord> fresh =
            recordsFromWriting(boxes_.records.size(), written, &reported);
        for (size_t i = 0; i < fresh.size() && i < boxes_.records.size(); ++i)
            if (fresh[i].set) boxes_.records[i].takeWriting(fresh[i]);

        win::ScopedLock lock(group_->linkLock());
        size_t box = 0;
        for (int wordIndex : boxes_.words) {
            const MenuWord* word = model_.wordAt(wordIndex);
            if (!word) continue;
            const int n = static_cast<int>(word->text().size());
            bool wordChanged = false;
            for (int i = 0; i < n && box < boxes_.records.size(); ++i, ++box) {
                const LetterRecord& r = boxes_.records[box];
                if (!r.set || r.count == 0) continue;
                model_.replaceLetter(wordIndex, i, r.guesses[0]);
                wordChanged = true;
            }
            if (wordChanged) {
                model_.markChanged(wordIndex);
                changedWords.push_back(wordIndex);
            }
        }
    }
    clearWriting();
    if (LocalInkManager* manager = inkManager()) manager->releaseActiveClient(this, false);
    if (!changedWords.empty()) {
        // The merged guesses stay for the letter-guess menu, written no more.
        for (LetterRecord& r : boxes_.records) r.set = 0;
        afterChange(changedWords.back());
    }
    if (reported >= 0 && reported < static_cast<int>(boxes_.widths.size())) {
        int x = boxes_.left;
        for (int i = 0; i < reported; ++i) x += boxes_.widths[i];
        x += boxes_.widths[reported] / 2;
        postMsgToUnits(MENU_LETTER_GUESS, kAllUnits, 0,
                       packPoint(x, boxes_.top + boxes_.height / 2));
    }
    applyLayered();
}

LRESULT WordListBaseMaster::onMessage(UINT code, LPARAM a, LPARAM b) {
    switch (code) {
        case WORD_MENU_STROKE:
            takeStroke(reinterpret_cast<InkPoint*>(b), static_cast<int>(a));
            return 0;
        case BAR_TIMER:
            if (a == static_cast<LPARAM>(kNextStrokeTimer)) {
                if (penEventSnapshot().penMouseMode) return 0;
                endOfWriting();
                return 0;
            }
            break;
        case BAR_FIRST_SHOW:
            BarTextMenuMaster::onMessage(code, a, b);
            computeBoxes(true);
            return 0;
        case WORD_MENU_APPLY_AND_CLOSE:
            if (hasList_) applyText(model_.text());
            close(true);
            return 0;
        case WORD_MENU_PAGE_BEFORE:
            if (first_ >= 1) {
                setSelection(0, first_ - 1);
                layoutItems();
                redraw();
                computeBoxes(true);
            }
            return 0;
        case WORD_MENU_PAGE_AFTER:
            if (last_ >= 0) {
                setSelection(last_ + 1, -1);
                scrollRight_ = true;
                layoutItems();
                scrollRight_ = false;
                redraw();
                computeBoxes(true);
            }
            return 0;
        case BAR_COALESCED:
            createFonts();
            rebuild();
            computeBoxes(true);
            return 0;
        case MENU_WORDS_CHANGED: {
            barFlags_ |= 0x4u;
            rebuild();
            {
                win::ScopedLock lock(group_->linkLock());
                if (parent_) parent_->postMsgToMaster(MENU_WORDS_CHANGED, a, b);
            }
            if (!plain_ && !acceptMode_ && hasList_) applyText(model_.text());
            computeBoxes(false);
            return 0;
        }
        case MENU_LETTER_SPACE:
        case MENU_LETTER_DELETE:
        case MENU_LETTER_CASE:
        case MENU_LETTER_SIGN:
        case MENU_LETTER_GUESS: {
            auto* u = reinterpret_cast<BarUnit*>(b);
            if (u && u->id() < 0x10000)
                letterEdit(code, static_cast<int>(u->id()), static_cast<int>(a));
            return 0;
        }
        case MENU_GUESS_PICKED:
            guessPicked(static_cast<int>(a), static_cast<int>(b & 0xFFFF),
                        static_cast<int>((b >> 16) & 0xFFFF));
            return 0;
        default:
            break;
    }
    return BarTextMenuMaster::onMessage(code, a, b);
}
