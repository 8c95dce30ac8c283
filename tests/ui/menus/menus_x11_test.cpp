// The text menus on the test's X display: the word-list menu for a result
// typed into an edit of this test, picked from with xdotool as a user clicks;
// letter edits by gestures written on the menu; the letter-guess menu; long
// results in pages; fading; the plain pop-up menu's modal run; the
// word-to-dictionary menu. Screenshots are compared with the references.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <memory>
#include <set>
#include <thread>
#include <string>
#include <vector>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/MemoryBlocks.h"
#include "core/PendingServices.h"
#include "core/Settings.h"
#include "core/ShellLink.h"
#include "ink/InkBlotClient.h"
#include "ink/KeyboardOutput.h"
#include "ink/LocalInkManager.h"
#include "ink/RecResult.h"
#include "ink/SystemClient.h"
#include "recognition/RecMessages.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "recognition/RecWinModule.h"
#include "recognition/RecWordList.h"
#include "recognition/WinRecWordList.h"
#include "tests/ink/KeyRecorder.h"
#include "tests/recognition/StubRecModule.h"
#include "tests/shell/FakeHookLibrary.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/FileHolder.h"
#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TempDir.h"
#include "tests/tablet/StandInScope.h"
#include "ui/markup/PickerBars.h"
#include "ui/menus/PureTextMenu.h"
#include "ui/menus/WordListMenu.h"
#include "ui/tips/Tips.h"
#include "win/WinString.h"

#ifndef MENU_REFERENCES
#define MENU_REFERENCES ""
#endif

namespace {

const std::string kReferences = MENU_REFERENCES;

void pump(DWORD ms = 100) {
    sxtest::pumpUntil([] { return false; }, ms);
}

bool xdotool(const std::string& arguments) { return hostshell::run("xdotool " + arguments, 10000); }

bool clickAt(POINT p) {
    // (--sync waits for a motion event, which never comes when the pointer is there already.)
    return xdotool("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) +
                   " sleep 0.2 click 1 sleep 0.2");
}

// Starts xdotool without waiting for it (a modal run pumps meanwhile).
void clickLater(POINT p, int delayMs) {
    std::wstring command = L"/bin/sh -c \"sleep " + std::to_wstring(delayMs / 1000.0) +
                           L"; xdotool mousemove " + std::to_wstring(p.x) + L" " +
                           std::to_wstring(p.y) + L" sleep 0.1 click 1\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(L"Z:\\bin\\sh", &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &info)) {
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
}

std::unique_ptr<RecWordList> makeList(const std::vector<std::wstring>& words) {
    auto list = std::make_unique<RecWordList>();
    for (const std::wstring& spec : words) {
        auto* word = new RecWord(0, nullptr);
        size_t start = 0;
        while (true) {
            const size_t bar = spec.find(L'|', start);
            word->addAlt(new RecAlt(spec.substr(start, bar - start).c_str(), 60));
            if (bar == std::wstring::npos) break;
            start = bar + 1;
        }
        list->appendWord(word);
    }
    return list;
}

// A window with an edit that holds the focus: the target the menu types into.
struct TargetField {
    HWND frame = nullptr;
    HWND edit = nullptr;
    TargetField() {
        frame = CreateWindowExW(0, L"STATIC", L"menu target", WS_POPUP | WS_VISIBLE | WS_BORDER, 40,
                                400, 420, 60, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 4, 4, 400,
                               40, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetForegroundWindow(frame);
        SetFocus(edit);
        pump(200);
    }
    ~TargetField() { DestroyWindow(frame); }
    std::wstring text() const {
        wchar_t buffer[256] = {};
        GetWindowTextW(edit, buffer, 256);
        return buffer;
    }
    // As if the system client had typed `text` as the last insertion.
    void typed(const std::wstring& text) {
        SetWindowTextW(edit, text.c_str());
        SendMessageW(edit, EM_SETSEL, text.size(), text.size());
        setLastTypedLength(static_cast<int>(text.size()));
    }
};

class WordMenuTest : public testing::Test {
  protected:
    void SetUp() override {
        setSettingsRootKey(L"Software\\ScribixTests\\Menus");
        resetSettingsToDefaults();
        // The program's resources (the texts, the punctuation bar's face) are this program's.
        appGlobals().instance = GetModuleHandleW(nullptr);
        // Fading has its own test; here the menu stays while the pointer is away.
        wordListBarSettings().fadingPeriod = 0;
        ensureMenuWindowClass();
        // The pointer starts far from where the menus open: what an earlier
        // program on the display left under it would be highlighted.
        xdotool("mousemove 1270 1010");
    }
    void TearDown() override {
        if (WordListMenuBarMaster* menu = openWordListMenu())
            PostMessageW(menu->window(), WM_CLOSE, 0, 0);
        pump(200);
        clearRecResults();
        sxtest::deleteUserKey(L"Software\\ScribixTests\\Menus");
    }

    // Makes the list the current result for `target` and opens its menu at `at`.
    WordListMenuBarMaster* openFor(std::unique_ptr<RecWordList> list, HWND target, POINT at) {
        RecWordList* words = list.release();
        RecResultRef result = adoptRecResult(new RecResult(target, nullptr, words, nullptr));
        setCurrentRecResult(result, true, false);
        showWordListMenuBar(nullptr, words, &at, nullptr);
        pump(300);
        return openWordListMenu();
    }

    static POINT centreOf(BarMaster* menu, UINT id) {
        auto* unit = static_cast<BarRectUnit*>(menu->findUnitById(id));
        if (!unit) return POINT{-1, -1};
        RECT r = unit->rect();
        MapWindowPoints(menu->window(), nullptr, reinterpret_cast<POINT*>(&r), 2);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    static std::wstring itemText(BarMaster* menu, UINT id) {
        BarUnit* u = menu->findUnitById(id);
        return u ? static_cast<BarTextMenuUnit*>(u)->text() : L"(none)";
    }
    static UINT altId(int word, int alt) { return (static_cast<UINT>(word + 1) << 16) | alt; }
};

// Writes a stroke on the menu: screen points in quarter pixels, then the pen-up mark.
void writeStroke(BarMaster* menu, const std::vector<POINT>& screen) {
    const int count = static_cast<int>(screen.size()) + 1;
    auto* points = static_cast<InkPoint*>(allocMemory(count * static_cast<int>(sizeof(InkPoint))));
    for (size_t i = 0; i < screen.size(); ++i)
        points[i] = makeInkPoint(screen[i].x * 4, screen[i].y * 4);
    points[screen.size()] = kInkSeparator;
    menu->onStrokes(points, count);
}

// The middle of letter `letter` of word `word`'s item, in window coordinates.
POINT letterPoint(BarMaster* menu, int word, int letter) {
    auto* item = static_cast<BarTextMenuUnit*>(menu->findUnitById(static_cast<UINT>(word)));
    if (!item) return POINT{-1, -1};
    int width = 0;
    const int x = item->letterPosition(letter, &width);
    return POINT{x + width / 2, (item->rect().top + item->rect().bottom) / 2};
}

// The menus' texts are the program's string table's (a translated table
// translates them): the header buttons' tips and the word-to-dictionary
// menu's item and tips.
TEST_F(WordMenuTest, TheMenusTextsComeFromTheStringTable) {
    const HINSTANCE program = GetModuleHandleW(nullptr);
    struct Text {
        UINT id;
        const wchar_t* text;
    } table[] = {
        {17, L"Move Bar"},
        {19, L"Already in Dictionary"},
        {20, L"Add to Dictionary"},
        {21, L"Could not be added to Dictionary"},
        {22, L"Close"},
        {23, L"Scroll Left"},
        {24, L"Scroll Right"},
        {25, L"Pin/Unpin WordMenu"},
        {26, L"Submit"},
    };
    for (const Text& t : table) EXPECT_EQ(win::loadString(program, t.id), t.text) << t.id;

    wordListBarSettings().acceptMenuMode = 1;  // with "Submit"
    WordListMenuBarMaster* menu = openFor(makeList({L"tips"}), nullptr, POINT{60, 80});
    ASSERT_TRUE(menu);
    struct Tip {
        UINT unit, text;
    } tips[] = {
        {WORD_MENU_PIN, 25},   {WORD_MENU_MOVE, 17},        {WORD_MENU_SUBMIT, 26},
        {WORD_MENU_CLOSE, 22}, {WORD_MENU_SCROLL_LEFT, 23}, {WORD_MENU_SCROLL_RIGHT, 24},
    };
    for (const Tip& t : tips) {
        BarUnit* unit = menu->findUnitById(t.unit);
        ASSERT_TRUE(unit) << t.unit;
        const wchar_t* tip = unit->getTipText();
        EXPECT_EQ(std::wstring(tip ? tip : L"(none)"), win::loadString(program, t.text)) << t.unit;
    }
    WordToDictMenu* dict = showWordToDictMenu(menu, L"tips", POINT{80, 160}, nullptr);
    ASSERT_TRUE(dict);
    pump(300);
    ASSERT_EQ(dict->unitCount(), 1);
    EXPECT_EQ(static_cast<BarTextMenuUnit*>(dict->unit(0))->text(), win::loadString(program, 20));
}

TEST_F(WordMenuTest, ShowsTheWordsWithTheirAlternatives) {
    WordListMenuBarMaster* menu =
        openFor(makeList({L"hello", L"wrld|world|weld"}), nullptr, POINT{60, 80});
    ASSERT_TRUE(menu);
    EXPECT_TRUE(isWordListMenuOpen());
    EXPECT_TRUE(isWordListMenuClient(menu));
    // Every blank is a word of its own, the last one the empty box at the end.
    EXPECT_EQ(itemText(menu, 0), L"hello");
    EXPECT_EQ(itemText(menu, 1), L" ");
    EXPECT_EQ(itemText(menu, 2), L"wrld");
    EXPECT_EQ(itemText(menu, 3), L" ");
    EXPECT_EQ(itemText(menu, altId(2, 1)), L"world");
    EXPECT_EQ(itemText(menu, altId(2, 2)), L"weld");
    EXPECT_EQ(menu->listText(), L"hello wrld");
    // Everything fits: both scroll buttons are hidden.
    EXPECT_TRUE(menu->findUnitById(WORD_MENU_SCROLL_LEFT)->hidden());
    EXPECT_TRUE(menu->findUnitById(WORD_MENU_SCROLL_RIGHT)->hidden());
    // One menu at a time.
    showWordListMenuBar(nullptr, nullptr, nullptr, nullptr);
    pump();
    EXPECT_EQ(openWordListMenu(), menu);

    screenshot::Result shot = screenshot::checkWindow(menu->window(), kReferences, "word_menu");
    EXPECT_TRUE(shot.ok) << shot.message;
}

TEST_F(WordMenuTest, PickingAnAlternativeTypesItAndPickingItAgainRestoresTheWord) {
    TargetField field;
    field.typed(L"hello wrld");
    WordListMenuBarMaster* menu =
        openFor(makeList({L"hello", L"wrld|world|weld"}), field.edit, POINT{60, 80});
    ASSERT_TRUE(menu);
    const POINT alternative = centreOf(menu, altId(2, 1));
    ASSERT_TRUE(clickAt(alternative));
    EXPECT_TRUE(sxtest::pumpUntil([&] { return field.text() == L"hello world"; }, 3000))
        << "the field holds \"" << std::string(field.text().begin(), field.text().end()) << "\"";
    EXPECT_EQ(itemText(menu, 2), L"world");
    EXPECT_EQ(itemText(menu, altId(2, 1)), L"wrld");

    ASSERT_TRUE(clickAt(alternative));
    EXPECT_TRUE(sxtest::pumpUntil([&] { return field.text() == L"hello wrld"; }, 3000));
    EXPECT_EQ(itemText(menu, 2), L"wrld");
    EXPECT_TRUE(menu->applied());
}

TEST_F(WordMenuTest, TheEditedWordsGoBackOnlyToTheirOwnResult) {
    for (bool newerResult : {false, true}) {
        SCOPED_TRACE(newerResult ? "a newer result came" : "its own result is current");
        WordListMenuBarMaster* menu =
            openFor(makeList({L"hello", L"wrld|world"}), nullptr, POINT{60, 80});
        ASSERT_TRUE(menu);
        menu->onMessage(BAR_UNIT_PICKED, altId(2, 1), 0);
        pump();
        if (newerResult) {
            RecWordList* newer = makeList({L"newer"}).release();
            setCurrentRecResult(adoptRecResult(new RecResult(nullptr, nullptr, newer, nullptr)),
                                true, false);
        }
        PostMessageW(menu->window(), WM_CLOSE, 0, 0);
        pump(200);
        ASSERT_FALSE(isWordListMenuOpen());
        RecResultRef current = getCurrentRecResult();
        ASSERT_TRUE(current);
        wchar_t* text = current->wordList()->joinText(false);
        EXPECT_EQ(std::wstring(text ? text : L""), newerResult ? L"newer" : L"hello world");
        freeMemory(text);
    }
}

TEST_F(WordMenuTest, GesturesWrittenOnAWordEditItsLetters) {
    // Strokes start on a letter of "wrld": the gesture's first point names it.
    struct Case {
        const char* name;
        int letter;
        std::vector<POINT> shape;  // offsets in pixels from the letter's middle
        std::wstring text;
    } cases[] = {
        {"down then right inserts a blank", 2, {{0, 0}, {0, 40}, {60, 40}}, L"hello wr ld"},
        {"right to left deletes", 1, {{0, 0}, {-70, 0}}, L"hello wld"},
        {"upwards changes the case", 0, {{0, 0}, {0, -70}}, L"hello Wrld"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WordListMenuBarMaster* menu =
            openFor(makeList({L"hello", L"wrld|world"}), nullptr, POINT{60, 200});
        ASSERT_TRUE(menu);
        auto* word = static_cast<BarTextMenuUnit*>(menu->findUnitById(2));
        ASSERT_TRUE(word);
        int width = 0;
        POINT start = {word->letterPosition(c.letter, &width) + width / 2,
                       (word->rect().top + word->rect().bottom) / 2};
        ClientToScreen(menu->window(), &start);
        std::vector<InkPoint> stroke;
        for (size_t i = 0; i + 1 < c.shape.size(); ++i) {
            for (int s = 0; s < 12; ++s) {
                const int x = c.shape[i].x + (c.shape[i + 1].x - c.shape[i].x) * s / 12;
                const int y = c.shape[i].y + (c.shape[i + 1].y - c.shape[i].y) * s / 12;
                stroke.push_back(makeInkPoint((start.x + x) * 4, (start.y + y) * 4));
            }
        }
        stroke.push_back(
            makeInkPoint((start.x + c.shape.back().x) * 4, (start.y + c.shape.back().y) * 4));
        stroke.push_back(kInkSeparator);
        auto* points =
            static_cast<InkPoint*>(allocMemory(static_cast<int>(stroke.size() * sizeof(InkPoint))));
        std::copy(stroke.begin(), stroke.end(), points);
        menu->onStrokes(points, static_cast<int>(stroke.size()));
        pump(300);
        EXPECT_EQ(menu->listText(), c.text);
        // The other alternatives went with the edit.
        EXPECT_EQ(menu->findUnitById(altId(2, 1)), nullptr);
        PostMessageW(menu->window(), WM_CLOSE, 0, 0);
        pump(200);
    }
}

TEST_F(WordMenuTest, TappingALetterOpensItsGuessesAndAPickReplacesIt) {
    WordListMenuBarMaster* menu =
        openFor(makeList({L"hello", L"wrld|world|weld"}), nullptr, POINT{60, 80});
    ASSERT_TRUE(menu);
    auto* word = static_cast<BarTextMenuUnit*>(menu->findUnitById(2));
    int width = 0;
    POINT tap = {word->letterPosition(1, &width) + width / 2,
                 (word->rect().top + word->rect().bottom) / 2};
    ClientToScreen(menu->window(), &tap);
    std::vector<InkPoint> stroke = {makeInkPoint(tap.x * 4, tap.y * 4),
                                    makeInkPoint(tap.x * 4 + 4, tap.y * 4), kInkSeparator};
    auto* points =
        static_cast<InkPoint*>(allocMemory(static_cast<int>(stroke.size() * sizeof(InkPoint))));
    std::copy(stroke.begin(), stroke.end(), points);
    menu->onStrokes(points, static_cast<int>(stroke.size()));
    pump(400);

    auto* guess = static_cast<GuessSymbMenu*>(menu->childMenu());
    ASSERT_TRUE(guess) << "no letter-guess menu";
    EXPECT_TRUE(guess->isKindOf(L"GuessSymbMenu"));
    // The box of 'r' guesses r (wrld), o (world) and e (weld), then the signs.
    std::vector<std::wstring> rows;
    for (int i = 0; i < guess->unitCount(); ++i)
        rows.push_back(static_cast<BarTextMenuUnit*>(guess->unit(i))->text());
    EXPECT_EQ(rows, (std::vector<std::wstring>{L"r", L"o", L"e", L"", L",.;"}));
    EXPECT_EQ(word->selectedLetter(), 1);
    screenshot::Result shot =
        screenshot::checkWindow(guess->window(), kReferences, "letter_guess_menu");
    EXPECT_TRUE(shot.ok) << shot.message;

    ASSERT_TRUE(clickAt(centreOf(guess, L'o')));
    pump(300);
    EXPECT_EQ(menu->listText(), L"hello wold");
    EXPECT_EQ(menu->childMenu(), nullptr);
}

// With the pen, the letter-guess menu (a plain menu that takes no ink) lies
// over the word-list menu that opened it: the pen-down there is the word-list
// menu's, which hands a tap on to the letter-guess menu. Taking the word-list
// menu leaves the letter-guess menu of its group open.
TEST_F(WordMenuTest, APenTapOnTheLetterGuessMenuPicksFromIt) {
    WordListMenuBarMaster* menu =
        openFor(makeList({L"hello", L"wrld|world|weld"}), nullptr, POINT{60, 80});
    ASSERT_TRUE(menu);
    const POINT letter = letterPoint(menu, 2, 1);
    menu->postMsgToUnits(MENU_LETTER_GUESS, kAllUnits, 0, packPoint(letter.x, letter.y));
    pump(300);
    auto* guess = static_cast<GuessSymbMenu*>(menu->childMenu());
    ASSERT_TRUE(guess && guess->isKindOf(L"GuessSymbMenu"));
    const HWND guessWindow = guess->window();
    const POINT o = centreOf(guess, L'o');
    EXPECT_EQ(guess->claimsPoint(nullptr, o.x, o.y), 0) << "a plain menu takes no ink";
    ASSERT_EQ(menu->claimsPoint(nullptr, o.x, o.y), 1);
    // The ink manager names the client it gave the pen-down to.
    guess->onNotify(INK_EVENT_ACCEPTED, reinterpret_cast<LPARAM>(static_cast<LocalClient*>(menu)));
    ASSERT_TRUE(IsWindow(guessWindow)) << "taking the word-list menu closed its letter-guess menu";
    writeStroke(menu, {o, POINT{o.x + 1, o.y}});
    pump(300);
    EXPECT_EQ(menu->listText(), L"hello wold");
    EXPECT_FALSE(IsWindow(guessWindow));
}

TEST_F(WordMenuTest, AResultWiderThanTwoThirdsOfTheScreenPages) {
    std::vector<std::wstring> words;
    for (int i = 0; i < 40; ++i) words.push_back(L"word" + std::to_wstring(10 + i));
    WordListMenuBarMaster* menu = openFor(makeList(words), nullptr, POINT{10, 120});
    ASSERT_TRUE(menu);
    RECT r;
    GetWindowRect(menu->window(), &r);
    const int screen = GetSystemMetrics(SM_CXSCREEN);
    EXPECT_LE(r.right - r.left, screen * 2 / 3 + 120);
    EXPECT_EQ(menu->firstVisible(), 0);
    const int last = menu->lastVisible();
    EXPECT_GT(last, 0);
    EXPECT_LT(last, 79);
    EXPECT_TRUE(menu->findUnitById(WORD_MENU_SCROLL_LEFT)->hidden());
    EXPECT_FALSE(menu->findUnitById(WORD_MENU_SCROLL_RIGHT)->hidden());
    screenshot::Result shot =
        screenshot::checkWindow(menu->window(), kReferences, "word_menu_paged");
    EXPECT_TRUE(shot.ok) << shot.message;

    ASSERT_TRUE(clickAt(centreOf(menu, WORD_MENU_SCROLL_RIGHT)));
    pump(300);
    EXPECT_EQ(menu->firstVisible(), last + 1);
    EXPECT_FALSE(menu->findUnitById(WORD_MENU_SCROLL_LEFT)->hidden());
    // Words of the first page are hidden now.
    EXPECT_FALSE(menu->findUnitById(0)->state() & 0x4);

    ASSERT_TRUE(clickAt(centreOf(menu, WORD_MENU_SCROLL_LEFT)));
    pump(300);
    EXPECT_EQ(menu->lastVisible(), last);
}

TEST_F(WordMenuTest, FadesWhileThePointerIsAwayAndClosesAfterItsTime) {
    wordListBarSettings().fadingPeriod = 1800;  // the defaults: 100 to 20 percent in steps of 5
    ASSERT_TRUE(xdotool("mousemove 900 700 sleep 0.1"));
    const DWORD start = GetTickCount();
    WordListMenuBarMaster* menu = openFor(makeList({L"fade"}), nullptr, POINT{60, 80});
    ASSERT_TRUE(menu);
    EXPECT_TRUE(menu->fading());
    sxtest::pumpUntil([&] { return !isWordListMenuOpen() || menu->currentOpacity() < 100; }, 1000);
    ASSERT_TRUE(isWordListMenuOpen());
    // A tick of 90 ms away takes 4 points.
    EXPECT_LT(menu->currentOpacity(), 100);
    EXPECT_GE(menu->currentOpacity(), 84);
    EXPECT_EQ(menu->currentOpacity() % 4, 0);
    // The pointer back on the menu: full opacity at once, and it stays.
    RECT r;
    GetWindowRect(menu->window(), &r);
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(r.left + 8) + " " +
                        std::to_string(r.bottom - 8) + " sleep 0.1"));
    pump(400);
    ASSERT_TRUE(isWordListMenuOpen());
    EXPECT_EQ(menu->currentOpacity(), 100);
    // Away again: 21 ticks of 90 ms.
    ASSERT_TRUE(xdotool("mousemove 900 700 sleep 0.1"));
    const DWORD away = GetTickCount();
    EXPECT_TRUE(sxtest::pumpUntil([] { return !isWordListMenuOpen(); }, 5000));
    const DWORD closedAfter = GetTickCount() - away;
    EXPECT_GE(closedAfter, 1700u);
    EXPECT_LE(closedAfter, 3500u);
    (void)start;
}

// A stroke on the menu arrives on the pen-event thread; the menu's words,
// boxes and timers belong to its own thread, which does the edit.
TEST_F(WordMenuTest, AStrokeFromThePenThreadIsHandledOnTheMenusThread) {
    WordListMenuBarMaster* menu =
        openFor(makeList({L"hello", L"wrld|world"}), nullptr, POINT{60, 200});
    ASSERT_TRUE(menu);
    auto* word = static_cast<BarTextMenuUnit*>(menu->findUnitById(0));
    int width = 0;
    POINT start = {word->letterPosition(0, &width) + width / 2,
                   (word->rect().top + word->rect().bottom) / 2};
    ClientToScreen(menu->window(), &start);
    std::vector<InkPoint> stroke;
    for (int s = 0; s <= 12; ++s)
        stroke.push_back(makeInkPoint(start.x * 4, (start.y - s * 6) * 4));
    stroke.push_back(kInkSeparator);
    std::thread pen([&] {
        auto* points =
            static_cast<InkPoint*>(allocMemory(static_cast<int>(stroke.size() * sizeof(InkPoint))));
        std::copy(stroke.begin(), stroke.end(), points);
        menu->onStrokes(points, static_cast<int>(stroke.size()));
    });
    pen.join();
    EXPECT_EQ(menu->listText(), L"hello wrld");  // nothing done on the pen's thread
    pump(300);
    EXPECT_EQ(menu->listText(), L"Hello wrld");
}

TEST_F(WordMenuTest, TwoFingerZoomScalesTheFontByTheFingersDistance) {
    WordListMenuBarMaster* menu = openFor(makeList({L"zoom"}), nullptr, POINT{60, 80});
    ASSERT_TRUE(menu);
    const LONG before = static_cast<BarRectUnit*>(menu->findUnitById(0))->rect().right -
                        static_cast<BarRectUnit*>(menu->findUnitById(0))->rect().left;
    menu->zoomBegin(100);
    menu->zoomStep(110);  // a little wider apart: a little larger, not a jump to a bound
    EXPECT_EQ(wordListBarSettings().mainFontSize, 220);
    pump(300);
    const LONG after = static_cast<BarRectUnit*>(menu->findUnitById(0))->rect().right -
                       static_cast<BarRectUnit*>(menu->findUnitById(0))->rect().left;
    EXPECT_GT(after, before);
    menu->zoomStep(110);  // the same distance: nothing
    EXPECT_EQ(wordListBarSettings().mainFontSize, 220);
    menu->zoomStep(1000);
    EXPECT_EQ(wordListBarSettings().mainFontSize, 480);
    menu->zoomStep(1);
    EXPECT_EQ(wordListBarSettings().mainFontSize, 80);
    pump(200);
}

TEST_F(WordMenuTest, InAcceptModeChangesGoOutOnlyWithSubmit) {
    wordListBarSettings().acceptMenuMode = 1;
    TargetField field;
    field.typed(L"hello wrld");
    WordListMenuBarMaster* menu =
        openFor(makeList({L"hello", L"wrld|world"}), field.edit, POINT{60, 80});
    ASSERT_TRUE(menu);
    BarUnit* submit = menu->findUnitById(WORD_MENU_SUBMIT);
    ASSERT_TRUE(submit);
    EXPECT_FALSE(submit->enabled());
    ASSERT_TRUE(clickAt(centreOf(menu, altId(2, 1))));
    pump(300);
    EXPECT_EQ(field.text(), L"hello wrld");
    EXPECT_EQ(menu->listText(), L"hello world");
    submit = menu->findUnitById(WORD_MENU_SUBMIT);
    EXPECT_TRUE(submit->enabled());
    ASSERT_TRUE(clickAt(centreOf(menu, WORD_MENU_SUBMIT)));
    EXPECT_TRUE(sxtest::pumpUntil([&] { return field.text() == L"hello world"; }, 3000));
    EXPECT_FALSE(isWordListMenuOpen());
}

TEST(InkBlot, ShownAtTheCaretItTakesFlicksAndGoesAfterItsTime) {
    setSettingsRootKey(L"Software\\ScribixTests\\Menus");
    resetSettingsToDefaults();
    const int shortTime = 400;
    WriteSetting(L"InnerBlotClient", L"maxShowTime", &shortTime, SETTING_NUMBER_DIRECT, 0);
    TargetField field;
    field.typed(L"ab");
    {
        InkBlotClient blot;
        EXPECT_EQ(blot.maxShowTime(), shortTime);
        EXPECT_FALSE(blot.visible());  // nothing shows it at start-up
        EXPECT_EQ(std::wstring(blot.name()), L"InnerBlotClient");
        EXPECT_EQ(blot.claimsPoint(field.edit, 10, 10), 0);

        ASSERT_TRUE(blot.showBlot(field.edit, 0));
        EXPECT_TRUE(blot.visible());
        const RECT r = blot.blotRect();
        POINT caret;
        GetCaretPos(&caret);
        ClientToScreen(field.edit, &caret);
        EXPECT_EQ(r.left, caret.x);
        EXPECT_EQ(r.top, caret.y);
        EXPECT_EQ(r.right - r.left, 14);
        RECT around = {r.left - 20, r.top - 6, r.right + 20, r.bottom + 6};
        // Drawn straight onto the screen: shot at once, after the field has painted.
        pump(300);
        blot.onBlotTimer();
        screenshot::Options atOnce;
        atOnce.settleMs = 0;
        screenshot::Result shot = screenshot::check(around, kReferences, "ink_blot", atOnce);
        EXPECT_TRUE(shot.ok) << shot.message;

        // The edges belong to the blot; another window's point hides it.
        EXPECT_EQ(blot.claimsPoint(field.edit, r.right, r.bottom), 1);
        EXPECT_EQ(blot.claimsPoint(field.frame, r.left, r.top), 0);
        EXPECT_FALSE(blot.visible());

        // A flick to the right, three blots wide: a space.
        ASSERT_TRUE(blot.showBlot(field.edit, 0));
        std::vector<InkPoint> flick;
        for (int i = 0; i <= 42; i += 6)
            flick.push_back(makeInkPoint((r.left + i) * 4, (r.top + 5) * 4));
        auto* points =
            static_cast<InkPoint*>(allocMemory(static_cast<int>(flick.size() * sizeof(InkPoint))));
        std::copy(flick.begin(), flick.end(), points);
        EXPECT_EQ(blot.onStrokes(points, static_cast<int>(flick.size())), 1);
        EXPECT_TRUE(sxtest::pumpUntil([&] { return field.text() == L"ab "; }, 2000));
        EXPECT_FALSE(blot.visible());

        // The time runs out even with the caret in place.
        ASSERT_TRUE(blot.showBlot(field.edit, 0));
        pump(shortTime + 100);
        blot.onBlotTimer();
        EXPECT_FALSE(blot.visible());
    }
    sxtest::deleteUserKey(L"Software\\ScribixTests\\Menus");
}

TEST(PureTextMenu, ModalRunAnswersThePickedIdOrZero) {
    ensureMenuWindowClass();
    for (bool pick : {true, false}) {
        SCOPED_TRACE(pick ? "picked" : "closed");
        POINT at = {300, 200};
        auto* menu = new PureTextMenu(nullptr, nullptr, 1, 0, &at, 16, nullptr, nullptr);
        menu->addItem(11, L"&Pen On", 0x8);
        menu->addSeparator(true);
        menu->addItem(12, L"&Settings...", 0);
        menu->addItem(13, L"E&xit", 0x1);
        pump(200);
        // Items without "&"; one checked item marks them all.
        ASSERT_EQ(menu->unitCount(), 4);
        EXPECT_EQ(static_cast<BarTextMenuUnit*>(menu->unit(0))->text(), L"\x2022 Pen On");
        EXPECT_EQ(static_cast<BarTextMenuUnit*>(menu->unit(2))->text(), L"  Settings...");
        BarRectUnit* settings = static_cast<BarRectUnit*>(menu->unit(2));
        RECT r = settings->rect();
        MapWindowPoints(menu->window(), nullptr, reinterpret_cast<POINT*>(&r), 2);
        if (pick) {
            screenshot::Result shot =
                screenshot::checkWindow(menu->window(), kReferences, "pure_text_menu");
            EXPECT_TRUE(shot.ok) << shot.message;
            clickLater(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}, 500);
        } else {
            PostMessageW(menu->window(), WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(menu->showModal(), pick ? 12u : 0u);
        pump(300);
    }
}

TEST_F(WordMenuTest, WordToDictionaryMenuOffersTheWord) {
    WordListMenuBarMaster* menu = openFor(makeList({L"scribixword"}), nullptr, POINT{60, 80});
    ASSERT_TRUE(menu);
    std::wstring longWord(200, L'a');
    WordToDictMenu* dict = showWordToDictMenu(menu, longWord.c_str(), POINT{80, 160}, nullptr);
    ASSERT_TRUE(dict);
    pump(300);
    EXPECT_EQ(std::wstring(dict->word()).size(), 127u);
    ASSERT_EQ(dict->unitCount(), 1);
    EXPECT_EQ(static_cast<BarTextMenuUnit*>(dict->unit(0))->text(), L"Add to Dictionary");
    // It is of the word-list menu's group: a pen-down on it leaves the word-list menu open.
    EXPECT_TRUE(menu->group()->contains(dict));
    menu->onNotify(INK_EVENT_ACCEPTED, reinterpret_cast<LPARAM>(static_cast<LocalClient*>(dict)));
    ASSERT_EQ(openWordListMenu(), menu);
    // ... and a pen-down on the word-list menu leaves it open.
    dict->onNotify(INK_EVENT_ACCEPTED, reinterpret_cast<LPARAM>(static_cast<LocalClient*>(menu)));
    ASSERT_TRUE(IsWindow(dict->window()));
    screenshot::Result shot =
        screenshot::checkWindow(dict->window(), kReferences, "word_to_dict_menu");
    EXPECT_TRUE(shot.ok) << shot.message;
    // Without a profile nothing is added, no tip shows, and the menu closes.
    const HWND dictWindow = dict->window();
    ASSERT_TRUE(clickAt(centreOf(dict, 1)));
    pump(300);
    EXPECT_FALSE(IsWindow(dictWindow)) << "the word-to-dictionary menu stays after the pick";
    EXPECT_EQ(openWordListMenu(), menu);
    EXPECT_TRUE(!menu->tips() || !IsWindowVisible(menu->tips()->window()));
}

TEST_F(WordMenuTest, AfterADragTheHoverFollowsThePointer) {
    struct Case {
        const char* name;
        POINT shift;        // how far the pen drags the menu
        bool pointerStays;  // the pointer is still over the menu afterwards
    } cases[] = {
        {"dragged away from under the pointer: nothing stays lit", {300, 260}, false},
        {"dragged a little: the hover is where the pointer now is", {12, 6}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WordListMenuBarMaster* menu = openFor(makeList({L"drag", L"me"}), nullptr, POINT{60, 80});
        ASSERT_TRUE(menu);
        // The pointer rests on "Move Bar": the button is lit.
        const POINT handle = centreOf(menu, WORD_MENU_MOVE);
        ASSERT_TRUE(xdotool("mousemove " + std::to_string(handle.x) + " " +
                            std::to_string(handle.y) + " sleep 0.2"));
        // (The X server's motion may reach the menu late or not at all: the move the menu
        // sees is sent as well.)
        POINT over = handle;
        ScreenToClient(menu->window(), &over);
        SendMessageW(menu->window(), WM_MOUSEMOVE, 0, packPoint(over.x, over.y));
        pump(300);
        BarUnit* move = menu->findUnitById(WORD_MENU_MOVE);
        ASSERT_TRUE(move);
        ASSERT_TRUE(move->state() & UNIT_HOVER);
        // The pen goes down on the button and drags; the mouse pointer does not follow a pen
        // that writes.
        ASSERT_EQ(menu->claimsPoint(menu->window(), handle.x, handle.y), 1);
        ASSERT_TRUE(menu->dragging());
        RECT before;
        GetWindowRect(menu->window(), &before);
        const POINT end = {handle.x + c.shift.x, handle.y + c.shift.y};
        writeStroke(menu, {handle, POINT{(handle.x + end.x) / 2, (handle.y + end.y) / 2}, end});
        // Only the stroke is handled: the hover must be right at once, not on the next tick of
        // the tip timer.
        MSG msg;
        while (PeekMessageW(&msg, menu->window(), WM_BAR_MSG_TO_MASTER, WM_BAR_MSG_TO_MASTER,
                            PM_REMOVE))
            DispatchMessageW(&msg);
        EXPECT_FALSE(menu->dragging());
        RECT r;
        GetWindowRect(menu->window(), &r);
        EXPECT_EQ(r.left, before.left + c.shift.x);
        EXPECT_EQ(r.top, before.top + c.shift.y);
        POINT cursor;
        GetCursorPos(&cursor);
        EXPECT_EQ(cursor.x, handle.x);
        if (c.pointerStays) {
            POINT client = cursor;
            ScreenToClient(menu->window(), &client);
            EXPECT_EQ(menu->hoverPoint().x, client.x);
            EXPECT_EQ(menu->hoverPoint().y, client.y);
        } else {
            EXPECT_EQ(menu->hoverPoint().x, -1);
            for (int i = 0; i < menu->unitCount(); ++i)
                EXPECT_FALSE(menu->unit(i)->state() & UNIT_HOVER) << "unit " << menu->unit(i)->id();
        }
        PostMessageW(menu->window(), WM_CLOSE, 0, 0);
        pump(200);
    }
}

// Whatever closes the menu, the next one opens where this one was.
TEST_F(WordMenuTest, WhateverClosesTheMenuItKeepsItsPlace) {
    const struct {
        const char* name;
        void (*closeIt)(WordListMenuBarMaster*);
    } cases[] = {
        {"its window closed",
         [](WordListMenuBarMaster* m) { PostMessageW(m->window(), WM_CLOSE, 0, 0); }},
        {"closed by its own code", [](WordListMenuBarMaster* m) { m->close(true); }},
        {"another client took the pen",
         [](WordListMenuBarMaster* m) { m->onNotify(INK_EVENT_ACCEPTED, 0); }},
    };
    int shift = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        shift += 17;
        wordListBarSettings().customMenuPosition = POINT{-1000, -1000};
        WordListMenuBarMaster* menu =
            openFor(makeList({L"keep", L"place"}), nullptr, POINT{60 + shift, 80 + shift});
        ASSERT_TRUE(menu);
        RECT r;
        ASSERT_TRUE(GetWindowRect(menu->window(), &r));
        c.closeIt(menu);
        ASSERT_TRUE(sxtest::pumpUntil([] { return openWordListMenu() == nullptr; }, 3000));
        EXPECT_EQ(wordListBarSettings().customMenuPosition.x, r.left);
        EXPECT_EQ(wordListBarSettings().customMenuPosition.y, r.top);
    }
}

// The hook library's view of the focus, set by the test.
class FocusHooks : public HookLibrary {
  public:
    HWND focus = nullptr;
    HWND getLastFocusWindow() override { return focus; }
};

TEST_F(WordMenuTest, AZoomThatTookTheForegroundGivesItBackAndClosesWhenTheFocusStaysAway) {
    struct Case {
        const char* name;
        bool foregroundTaken;  // the two fingers made another window the foreground
        bool focusMoved;       // the focus is elsewhere when the check comes
        bool closes;
    } cases[] = {
        {"foreground kept: nothing happens", false, true, false},
        {"foreground taken, focus back in the field: the menu stays", true, false, false},
        {"foreground taken, focus elsewhere: the menu closes", true, true, true},
    };
    FocusHooks hooks;
    HookLibrary* previous = setHookLibrary(&hooks);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TargetField field;
        hooks.focus = field.edit;
        WordListMenuBarMaster* menu = openFor(makeList({L"pinch"}), field.edit, POINT{60, 80});
        ASSERT_TRUE(menu);
        ASSERT_EQ(menu->foregroundAtCreation(), field.frame);
        ASSERT_TRUE(xdotool("mousemove 700 500 sleep 0.1"));
        std::unique_ptr<TargetField> other;
        if (c.foregroundTaken) {
            other = std::make_unique<TargetField>();
            ASSERT_EQ(GetForegroundWindow(), other->frame);
        }
        if (c.focusMoved && other) hooks.focus = other->edit;
        const DWORD tickBefore = menuForegroundChangeTick();
        menu->zoomBegin(100, POINT{80, 90});
        menu->zoomStep(100, POINT{81, 90});
        menu->zoomEnd();
        POINT cursor;
        GetCursorPos(&cursor);
        RECT r;
        GetWindowRect(menu->window(), &r);
        if (c.foregroundTaken) {
            EXPECT_EQ(GetForegroundWindow(), field.frame);
            EXPECT_NE(menuForegroundChangeTick(), tickBefore);
            EXPECT_EQ(cursor.x, r.left + 2);
            EXPECT_EQ(cursor.y, (r.top + r.bottom) / 2);
        } else {
            EXPECT_EQ(menuForegroundChangeTick(), tickBefore);
            EXPECT_EQ(cursor.x, 700);
        }
        // The check comes a moment later, not at once.
        pump(120);
        EXPECT_TRUE(isWordListMenuOpen());
        if (c.closes) {
            EXPECT_TRUE(sxtest::pumpUntil([] { return !isWordListMenuOpen(); }, 2000));
        } else {
            pump(700);
            EXPECT_TRUE(isWordListMenuOpen());
            PostMessageW(menu->window(), WM_CLOSE, 0, 0);
            pump(200);
        }
    }
    setHookLibrary(previous);
}

// A recognizer whose user dictionary knows some words.
class DictionaryModule : public StubRecModule {
    VEXA_CLASS(DictionaryModule, StubRecModule)

  public:
    using StubRecModule::StubRecModule;
    std::set<std::wstring> known;
    bool checkWord(PSO_HRC, const wchar_t* word) override { return known.count(word) != 0; }
    PSO_HUSERDICT LoadUserDictFromFile(PSO_HRC, const wchar_t*, bool) override {
        return reinterpret_cast<PSO_HUSERDICT>(0x20);
    }
    PSO_HRC createRecContext(RecProfile&) override { return reinterpret_cast<PSO_HRC>(0x10); }
};

TEST_F(WordMenuTest, AddingAWordTheDictionaryKnowsSaysSoOnTheWordListMenu) {
    ASSERT_TRUE(registerTipsWindowClass(GetModuleHandleW(nullptr)));
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    DictionaryModule module(L"English", std::wstring(temp) + L"scribix-menus-dict");
    module.known = {L"known"};
    RecProfile profile(&module);
    profile.userDicts = {L"user"};
    ASSERT_TRUE(profile.createRecContext());
    ASSERT_TRUE(profile.getFirstUserDict());

    WordListMenuBarMaster* menu = openFor(makeList({L"known"}), nullptr, POINT{60, 80});
    ASSERT_TRUE(menu);
    // The user pressed on the word: the pointer is over it, and the pop-up opens there.
    const POINT word = centreOf(menu, 0);
    ASSERT_TRUE(xdotool("mousemove " + std::to_string(word.x) + " " + std::to_string(word.y) +
                        " sleep 0.2"));
    pump(300);
    WordToDictMenu* dict = showWordToDictMenu(menu, L"known", word, &profile);
    ASSERT_TRUE(dict);
    pump(300);
    ASSERT_TRUE(clickAt(centreOf(dict, 1)));
    pump(200);
    ASSERT_TRUE(menu->tips());
    EXPECT_EQ(menu->tips()->text(), L"Already in Dictionary");
    // Long enough to be read: the tip outlives the closed pop-up under the pointer.
    pump(800);
    EXPECT_TRUE(IsWindowVisible(menu->tips()->window()));
    screenshot::Result shot =
        screenshot::checkWindow(menu->tips()->window(), kReferences, "tip_already_in_dictionary");
    EXPECT_TRUE(shot.ok) << shot.message;
    menu->hideTip(true);

    // A word the dictionary does not know, which it refuses to take: the tip says so.
    dict = showWordToDictMenu(menu, L"unknown", word, &profile);
    ASSERT_TRUE(dict);
    pump(300);
    const HWND dictWindow = dict->window();
    ASSERT_TRUE(clickAt(centreOf(dict, 1)));
    pump(200);
    EXPECT_FALSE(IsWindow(dictWindow));
    ASSERT_TRUE(menu->tips());
    EXPECT_EQ(menu->tips()->text(), L"Could not be added to Dictionary");
    menu->hideTip(true);
}

// The guesses of every letter box of the menu, box by box.
std::vector<std::wstring> boxGuesses(const WordListBaseMaster* menu) {
    std::vector<std::wstring> out;
    for (const LetterRecord& r : menu->boxes().records) out.emplace_back(r.guesses, r.count);
    return out;
}

// Every edit of the menu keeps the guesses of the boxes it does not change:
// a box gains or loses its record only where a letter came or went.
TEST_F(WordMenuTest, LetterGuessesSurviveEveryEdit) {
    wordListBarSettings().correctRecTimeout = 60000;  // the test hands the answers over itself
    WordListMenuBarMaster* menu =
        openFor(makeList({L"hello|hallo", L"wrld|world|weld"}), nullptr, POINT{60, 200});
    ASSERT_TRUE(menu);
    using Boxes = std::vector<std::wstring>;
    ASSERT_EQ(boxGuesses(menu),
              (Boxes{L"h", L"ea", L"l", L"l", L"o", L"", L"wo", L"roe", L"lr", L"dl", L""}));
    auto edit = [&](UINT code, int word, int letter) {
        menu->onMessage(code, letter, reinterpret_cast<LPARAM>(menu->findUnitById(word)));
        pump(100);
    };

    edit(MENU_LETTER_CASE, 2, 0);
    EXPECT_EQ(menu->listText(), L"hello Wrld");
    EXPECT_EQ(boxGuesses(menu),
              (Boxes{L"h", L"ea", L"l", L"l", L"o", L"", L"wo", L"roe", L"lr", L"dl", L""}))
        << "after a case change";

    edit(MENU_LETTER_SPACE, 2, 2);
    EXPECT_EQ(menu->listText(), L"hello Wr ld");
    EXPECT_EQ(boxGuesses(menu),
              (Boxes{L"h", L"ea", L"l", L"l", L"o", L"", L"wo", L"roe", L"", L"lr", L"dl", L""}))
        << "after a blank was inserted";

    edit(MENU_LETTER_DELETE, 2, 1);
    EXPECT_EQ(menu->listText(), L"hello W ld");
    EXPECT_EQ(boxGuesses(menu),
              (Boxes{L"h", L"ea", L"l", L"l", L"o", L"", L"wo", L"", L"lr", L"dl", L""}))
        << "after a letter was deleted";

    // Picking an alternative remakes the boxes of its own word only.
    menu->onMessage(BAR_UNIT_PICKED, altId(0, 1), 0);
    pump(100);
    EXPECT_EQ(menu->listText(), L"hallo W ld");
    EXPECT_EQ(boxGuesses(menu),
              (Boxes{L"h", L"ae", L"l", L"l", L"o", L"", L"wo", L"", L"lr", L"dl", L""}))
        << "after an alternative was picked";

    // A letter-guess pick: 'l' for the 'd' of "W ld".
    menu->onMessage(MENU_GUESS_PICKED, L'l', (3 << 16) | 2);
    pump(100);
    EXPECT_EQ(menu->listText(), L"hallo W ll");
    EXPECT_EQ(boxGuesses(menu),
              (Boxes{L"h", L"ae", L"l", L"l", L"o", L"", L"wo", L"", L"lr", L"dl", L""}))
        << "after a letter-guess pick";

    // Writing a letter into the box after the text: a new empty box follows it.
    const CBoxedInput& boxes = menu->boxes();
    ASSERT_FALSE(boxes.widths.empty());
    int x = boxes.left;
    for (size_t i = 0; i + 1 < boxes.widths.size(); ++i) x += boxes.widths[i];
    POINT centre = {x + boxes.widths.back() / 2, boxes.top + boxes.height / 2};
    ClientToScreen(menu->window(), &centre);
    std::vector<POINT> circle;
    for (int i = 0; i <= 16; ++i) {
        const double angle = i * 3.14159265 / 8;
        circle.push_back(POINT{centre.x + static_cast<LONG>(7 * std::cos(angle)),
                               centre.y + static_cast<LONG>(7 * std::sin(angle))});
    }
    writeStroke(menu, circle);
    pump(200);
    std::unique_ptr<RecWordList> answer = makeList({L"x|X"});
    menu->takeAnswers(answer.get());
    EXPECT_EQ(menu->listText(), L"hallo W llx");
    EXPECT_EQ(boxGuesses(menu),
              (Boxes{L"h", L"ae", L"l", L"l", L"o", L"", L"wo", L"", L"lr", L"dl", L"xX", L""}))
        << "after writing into the box after the text";
}

// While a punctuation bar runs modally for a menu, a thread timer of the
// test's own thread looks at it and picks `answer` on it.
struct SeenBar {
    bool open = false;
    bool inGroup = false;      // a member of the menu's group
    bool ownedByMenu = false;  // its window is owned by the menu's window
    bool keysOffered = false;  // an editing key could be picked
    bool menuStayed = false;   // a pen-down on the bar left the menu open
};
std::function<void()> g_onBarTimer;

void CALLBACK barTimer(HWND, UINT, UINT_PTR id, DWORD) {
    if (!DelimBarMaster::openBar()) return;
    KillTimer(nullptr, id);
    if (g_onBarTimer) g_onBarTimer();
    // A bar the pick did not close would hold the test in its modal loop.
    if (DelimBarMaster* left = DelimBarMaster::openBar())
        PostMessageW(left->window(), WM_CLOSE, 0, 0);
}

UINT_PTR watchBar(int answer, SeenBar* seen) {
    g_onBarTimer = [answer, seen] {
        DelimBarMaster* bar = DelimBarMaster::openBar();
        seen->open = true;
        WordListMenuBarMaster* menu = openWordListMenu();
        LocalClient* client = bar;
        seen->inGroup = menu && menu->group() && menu->group()->contains(client);
        seen->ownedByMenu = menu && GetWindow(bar->window(), GW_OWNER) == menu->window() &&
                            GetParent(bar->window()) == menu->window();
        BarUnit* left = bar->findUnitById(kDelimVirtualKey + VK_LEFT);
        seen->keysOffered = left && left->enabled();
        // The pen went down on the bar: the ink manager names it to every client.
        if (menu) menu->onNotify(INK_EVENT_ACCEPTED, reinterpret_cast<LPARAM>(client));
        seen->menuStayed = menu && openWordListMenu() == menu;
        bar->onMessage(BAR_UNIT_PICKED, answer, 0);
    };
    return SetTimer(nullptr, 0, 100, barTimer);
}

// A sign picked on the punctuation bar for a letter (gesture 704, or the
// letter-guess menu's ",.;") replaces it: the bar is offered with its signs
// only, belongs to the menu's group and is owned by the menu, so that a
// pen-down on it neither closes the menu nor loses the pick.
TEST_F(WordMenuTest, ASignFromThePunctuationBarReplacesTheLetter) {
    struct Case {
        const char* name;
        bool viaGuessMenu;
        int word, letter;
        int answer;
        std::wstring text;
    } cases[] = {
        {"a sign for a letter", false, 2, 1, L',', L"hello w,ld"},
        {"a sign for the blank between words goes before it", false, 1, 0, L',', L"hello, wrld"},
        {"the euro sign", false, 2, 0, 0x20AC, L"hello \x20ACrld"},
        {"a key is no sign", false, 2, 1, kDelimVirtualKey + VK_LEFT, L"hello wrld"},
        {"undo is no sign", false, 2, 1, DELIM_UNDO, L"hello wrld"},
        {"the letter-guess menu's signs", true, 2, 1, L'.', L"hello w.ld"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WordListMenuBarMaster* menu =
            openFor(makeList({L"hello", L"wrld|world"}), nullptr, POINT{60, 200});
        ASSERT_TRUE(menu);
        const POINT at = letterPoint(menu, c.word, c.letter);
        if (c.viaGuessMenu) {
            menu->postMsgToUnits(MENU_LETTER_GUESS, kAllUnits, 0, packPoint(at.x, at.y));
            pump(300);
            BarTextMenuMaster* guess = menu->childMenu();
            ASSERT_TRUE(guess && guess->isKindOf(L"GuessSymbMenu"));
            guess->onMessage(BAR_UNIT_PICKED, kGuessPunctuationId, 0);
        } else {
            menu->postMsgToUnits(MENU_LETTER_SIGN, kAllUnits, 0, packPoint(at.x, at.y));
        }
        SeenBar seen;
        const UINT_PTR timer = watchBar(c.answer, &seen);
        sxtest::pumpUntil([&] { return seen.open && !DelimBarMaster::openBar(); }, 3000);
        KillTimer(nullptr, timer);
        pump(100);
        EXPECT_TRUE(seen.open) << "no punctuation bar";
        EXPECT_TRUE(seen.inGroup);
        EXPECT_TRUE(seen.ownedByMenu);
        EXPECT_FALSE(seen.keysOffered) << "the bar offers keys besides the signs";
        EXPECT_TRUE(seen.menuStayed) << "a pen-down on the bar closed the menu";
        menu = openWordListMenu();
        ASSERT_TRUE(menu);
        EXPECT_EQ(menu->listText(), c.text);
        PostMessageW(menu->window(), WM_CLOSE, 0, 0);
        pump(200);
    }
}

// Corrections replace the last recognition's text, typed as the system
// client typed it: with a space after it when that recognition's profile
// (perhaps the field's own) adds one. Each is a delivery of the result, which
// the foreground change's guard counts.
TEST_F(WordMenuTest, CorrectionsFollowTheLastRecognitionsSpaceAndCountAsDeliveries) {
    for (bool spaceAfter : {true, false}) {
        SCOPED_TRACE(spaceAfter ? "typed with a space after" : "typed without one");
        TargetField field;
        field.typed(spaceAfter ? L"hello wrld " : L"hello wrld");
        noteRecognitionSpaceAfter(spaceAfter);
        WordListMenuBarMaster* menu =
            openFor(makeList({L"hello", L"wrld|world"}), field.edit, POINT{60, 80});
        ASSERT_TRUE(menu);
        const DWORD before = GetTickCount();
        Sleep(20);
        menu->onMessage(BAR_UNIT_PICKED, altId(2, 1), 0);
        const std::wstring expected = spaceAfter ? L"hello world " : L"hello world";
        EXPECT_TRUE(sxtest::pumpUntil([&] { return field.text() == expected; }, 3000));
        const std::wstring now = field.text();
        EXPECT_EQ(std::string(now.begin(), now.end()),
                  std::string(expected.begin(), expected.end()));
        EXPECT_LT(getLastResultDeliveryTick() - before - 1, 10000u)
            << "the menu's delivery was not noted";
        PostMessageW(menu->window(), WM_CLOSE, 0, 0);
        pump(200);
    }
    noteRecognitionSpaceAfter(false);
}

// Pinning the menu is announced to every client, from whichever thread
// changed the pen settings: the menu stops fading on its own thread.
TEST_F(WordMenuTest, PinnedFromAnotherThreadTheMenuStopsFading) {
    wordListBarSettings().fadingPeriod = 1800;
    ASSERT_TRUE(xdotool("mousemove 900 700 sleep 0.1"));
    WordListMenuBarMaster* menu = openFor(makeList({L"pinned"}), nullptr, POINT{60, 80});
    ASSERT_TRUE(menu);
    ASSERT_TRUE(menu->fading());
    wordListBarSettings().autoShow = 3;
    // (This thread answers what the other one sends meanwhile.)
    auto other =
        std::async(std::launch::async, [menu] { menu->onNotify(INK_EVENT_PEN_CHANGED, 0); });
    ASSERT_TRUE(sxtest::pumpUntil(
        [&] { return other.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        3000));
    pump(2600);  // longer than the whole fall from the start to the end opacity
    ASSERT_TRUE(isWordListMenuOpen()) << "the pinned menu faded away";
    EXPECT_FALSE(menu->isLayered());
    wordListBarSettings().autoShow = 2;
}

// The ink manager of the test's own, over a hook library that does nothing.
class TestInkManager {
  public:
    TestInkManager() {
        previous_ = setHookLibrary(&hooks_);
        hooks_.SetInitValues();
        manager_ = new LocalInkManager;
        appGlobals().inkManager = manager_;
    }
    ~TestInkManager() {
        appGlobals().inkManager = nullptr;
        delete manager_;
        setHookLibrary(previous_ == &hooks_ ? nullptr : previous_);
    }
    LocalInkManager* operator->() const { return manager_; }

  private:
    FakeHookLibrary hooks_;
    HookLibrary* previous_ = nullptr;
    LocalInkManager* manager_ = nullptr;
};

class CountingBlot : public InkBlotClient {
  public:
    int asked = 0;
    int claimsPoint(HWND window, int x, int y) override {
        ++asked;
        return InkBlotClient::claimsPoint(window, x, y);
    }
};

// As the program starts it the blot is registered but hidden: a pen-down at
// the caret goes elsewhere, and the blot is never asked for it.
TEST(InkBlot, RegisteredAtStartItIsNeverAskedForAPenDown) {
    setSettingsRootKey(L"Software\\ScribixTests\\Menus");
    resetSettingsToDefaults();
    TargetField field;
    field.typed(L"ab");
    POINT caret = {0, 0};
    GetCaretPos(&caret);
    ClientToScreen(field.edit, &caret);
    {
        TestInkManager manager;
        ASSERT_TRUE(startInkBlotClient());
        InkBlotClient* started = inkBlotClient();
        ASSERT_TRUE(started);
        EXPECT_TRUE(manager->isRegistered(started));
        EXPECT_FALSE(started->visible());
        auto* counting = new CountingBlot;
        ASSERT_TRUE(counting->registerSelf());
        EXPECT_EQ(manager->findClientAt(field.edit, caret.x, caret.y), nullptr);
        EXPECT_EQ(manager->findClientAt(field.edit, caret.x + 3, caret.y + 3), nullptr);
        EXPECT_EQ(counting->asked, 0);
    }
    EXPECT_EQ(inkBlotClient(), nullptr);
    sxtest::deleteUserKey(L"Software\\ScribixTests\\Menus");
}

// The shell's punctuation bar for the ink blot, without the rest of the shell.
class PunctuationLink : public ShellLink {
  public:
    int showPunctuationPopup(void* ownerList, HWND window, POINT position, int mode) override {
        return ::showPunctuationPopup(ownerList, window, position, mode);
    }
};

// An upward flick on the blot arrives on the pen-event thread, which must not
// wait for the punctuation bar: the bar runs on the blot's own (the UI)
// thread, and its answer is typed as what it is: a key, a command or a sign.
TEST(InkBlot, AnUpwardFlickShowsThePunctuationBarOnTheUiThreadAndTypesTheAnswer) {
    setSettingsRootKey(L"Software\\ScribixTests\\Menus");
    resetSettingsToDefaults();
    appGlobals().instance = GetModuleHandleW(nullptr);
    ensureMenuWindowClass();
    PunctuationLink link;
    setShellLink(&link);
    struct Case {
        const char* name;
        int answer;
        std::string keys;
    } cases[] = {
        {"a sign", L',', "+Comma -Comma"},
        {"redo", DELIM_REDO, "+Ctrl +Y -Y -Ctrl"},
        {"undo", DELIM_UNDO, "+Ctrl +Z -Z -Ctrl"},
        {"a key", kDelimVirtualKey + VK_LEFT, "+Left -Left"},
        {"nothing", DELIM_CLOSE, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TargetField field;
        field.typed(L"ab");
        InkBlotClient blot;
        ASSERT_TRUE(blot.showBlot(field.edit, 0));
        const RECT r = blot.blotRect();
        std::vector<InkPoint> flick;
        for (int i = 0; i <= 42; i += 6)
            flick.push_back(makeInkPoint((r.left + 5) * 4, (r.bottom - i) * 4));
        typingtest::KeyRecorder keys;
        auto pen = std::async(std::launch::async, [&] {
            auto* points = static_cast<InkPoint*>(
                allocMemory(static_cast<int>(flick.size() * sizeof(InkPoint))));
            std::copy(flick.begin(), flick.end(), points);
            return blot.onStrokes(points, static_cast<int>(flick.size()));
        });
        const bool penReturned = pen.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
        EXPECT_TRUE(penReturned) << "the pen-event thread waits for the punctuation bar";
        if (!penReturned) {
            if (DelimBarMaster* bar = DelimBarMaster::openBar())
                PostMessageW(bar->window(), WM_CLOSE, 0, 0);
            pen.wait();
            continue;
        }
        EXPECT_EQ(pen.get(), 1);
        SeenBar seen;
        g_onBarTimer = [&] {
            DelimBarMaster* bar = DelimBarMaster::openBar();
            seen.open = GetWindowThreadProcessId(bar->window(), nullptr) == GetCurrentThreadId();
            BarUnit* left = bar->findUnitById(kDelimVirtualKey + VK_LEFT);
            seen.keysOffered = left && left->enabled();
            bar->onMessage(BAR_UNIT_PICKED, c.answer, 0);
        };
        const UINT_PTR timer = SetTimer(nullptr, 0, 100, barTimer);
        sxtest::pumpUntil([&] { return seen.open && !DelimBarMaster::openBar(); }, 3000);
        KillTimer(nullptr, timer);
        EXPECT_TRUE(seen.open) << "no punctuation bar on the blot's thread";
        EXPECT_TRUE(seen.keysOffered) << "the blot's bar offers the keys too";
        pump(800);  // the pause after the answer
        EXPECT_EQ(keys.log, c.keys);
        // After an answer the blot shows again at the caret; after none it stays away.
        EXPECT_EQ(blot.visible(), !c.keys.empty());
        blot.hideBlot();
    }
    g_onBarTimer = nullptr;
    setShellLink(nullptr);
    sxtest::deleteUserKey(L"Software\\ScribixTests\\Menus");
}

// The messages of the recognition side while a test runs.
std::vector<std::wstring> g_recMessages;
int collectRecMessage(const wchar_t* text, UINT) {
    g_recMessages.push_back(text);
    return IDOK;
}

// The platform recognizer's word list (".voc.win") is held open by another
// program, with no sharing, while the profile loads it; then the user adds a
// word from the word menu. The file keeps every word the user had, whether
// the other program still holds it at the add or let go before.
TEST_F(WordMenuTest, AWordListFileHeldByAnotherProgramKeepsEveryWord) {
    struct Case {
        const char* what;
        bool releasedBeforeTheAdd;
    } cases[] = {
        {"let go before the word is added", true},
        {"held while the word is added", false},
    };
    ASSERT_TRUE(registerTipsWindowClass(GetModuleHandleW(nullptr)));
    const RecMessageSink previousSink = setRecMessageSink(collectRecMessage);
    const std::vector<std::wstring> kept = {L"alpha", L"beta", L"gamma"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        g_recMessages.clear();
        StandInScope standIns;
        TempDir data;
        RecWinModule module(L"English", data.path());
        ASSERT_TRUE(module.load());
        const std::wstring file = data.path() + L"\\English\\mine.voc.win";
        ASSERT_TRUE(SaveWinRecDictToFile(kept, file, nullptr));
        RecProfile mine(&module);
        mine.name = L"mine";
        mine.userDicts = {L"mine"};
        ASSERT_TRUE(module.addProfile(mine, true));
        RecProfile* profile = module.findProfile(L"mine");
        ASSERT_TRUE(profile);

        FileHolder holder(file, 0);
        ASSERT_TRUE(holder.held());
        // The profile's first session makes its context and loads its word list.
        profile->createRecContext();
        ASSERT_TRUE(profile->hasRecContext());
        if (c.releasedBeforeTheAdd) holder.release();

        WordListMenuBarMaster* menu = openFor(makeList({L"delta"}), nullptr, POINT{60, 80});
        ASSERT_TRUE(menu);
        const POINT word = centreOf(menu, 0);
        ASSERT_TRUE(xdotool("mousemove " + std::to_string(word.x) + " " +
                            std::to_string(word.y) + " sleep 0.2"));
        pump(300);
        WordToDictMenu* dict = showWordToDictMenu(menu, L"delta", word, profile);
        ASSERT_TRUE(dict);
        pump(300);
        ASSERT_TRUE(clickAt(centreOf(dict, 1)));
        pump(300);
        PostMessageW(menu->window(), WM_CLOSE, 0, 0);
        pump(200);
        holder.release();

        std::vector<std::wstring> words;
        ASSERT_TRUE(LoadWinRecDictFromFile(file, words, false));
        for (const std::wstring& w : kept)
            EXPECT_NE(std::find(words.begin(), words.end(), w), words.end())
                << std::string(w.begin(), w.end()) << " is gone; the file holds " << words.size() << " words";
        // The user was told that the list could not be loaded.
        bool told = false;
        for (const std::wstring& m : g_recMessages)
            told = told || m.find(L"Error while loading the user dictionary") == 0;
        EXPECT_TRUE(told);
    }
    setRecMessageSink(previousSink);
}

}  // namespace
