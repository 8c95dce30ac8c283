// The punctuation and colour bars on the test's Xvfb, tapped with xdotool
// while they run modally: what a tap writes into the caller's slot, which keys
// are disabled, the symbols the settings replace, and how the bars look.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "core/AppGlobals.h"
#include "core/Settings.h"
#include "outside/ZVFatInk.h"
#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "ui/markup/MarkupCanvas.h"
#include "ui/markup/PickerBars.h"

namespace {

const std::string kReferences = SCRIBIX_MARKUP_REFERENCES;

void registerClasses() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MenuBarWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = BAR_WINDOW_CLASS;
    RegisterClassW(&wc);
    wc.lpfnWndProc = MarkupCtrlWndProc;
    wc.lpszClassName = L"ScribixMarkupCtrlWndClass";
    RegisterClassW(&wc);
}

// Runs xdotool from another thread while this one runs the bar's modal loop;
// before the taps, an optional screenshot of the bar's window.
class Tapper {
  public:
    Tapper(std::string taps, POINT barAt, std::string shot)
        : thread_([=] {
              // The bar is placed once its keys are built.
              HWND bar = nullptr;
              RECT r = {};
              for (int i = 0; i < 500; ++i) {
                  bar = FindWindowW(BAR_WINDOW_CLASS, L"Scribix");
                  if (bar && GetWindowRect(bar, &r) && r.left == barAt.x && r.top == barAt.y) break;
                  Sleep(20);
              }
              Sleep(300);
              if (!shot.empty()) {
                  shotResult = screenshot::checkWindow(bar, kReferences, shot);
                  shotTaken = true;
              }
              ok = hostshell::run("xdotool " + taps, 15000);
          }) {}
    ~Tapper() { thread_.join(); }
    bool ok = false;
    bool shotTaken = false;
    screenshot::Result shotResult;

  private:
    std::thread thread_;
};

// "mousemove x y click 1" at a client point of a bar placed at (left, top).
std::string tapAt(POINT client, int left, int top) {
    return "mousemove " + std::to_string(left + client.x) + " " + std::to_string(top + client.y) +
           " click 1 ";
}

class PickerBarsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        appGlobals().instance = GetModuleHandleW(nullptr);
        registerClasses();
        setSettingsRootKey(L"Software\\Zorvane\\ScribixPickerTest");
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Zorvane\\ScribixPickerTest");
        punctuationSymbols() = defaultPunctuationSymbols();
        // No key shows hover where the bars will open.
        hostshell::run("xdotool mousemove 1200 1000", 5000);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Zorvane\\ScribixPickerTest");
        setSettingsRootKey(nullptr);
        if (appGlobals().markupCtrlWindow) DestroyWindow(appGlobals().markupCtrlWindow);
        appGlobals().markupCtrlWindow = nullptr;
    }
};

TEST_F(PickerBarsTest, ATapOnAKeyWritesItsCode) {
    struct Case {
        int column, row;
        int value;
    };
    const Case cases[] = {
        {5, 3, 128},   // the euro sign
        {5, 1, 0xA3},  // the pound sign
        {0, 0, ','},  {1, 4, '\\'},
        {3, 5, '@'},  {7, 1, 0x10000 + VK_BACK},  // an editing key: its virtual key
        {6, 5, 1},                                // "..."
        {6, 0, 2},                                // undo
        {7, 5, 32},                               // space
        {8, 0, 0},                                // close: nothing picked
    };
    for (const Case& c : cases) {
        POINT at = {120, 110};
        Tapper tapper(tapAt(delimSamplePoint(c.column, c.row), at.x, at.y), at,
                      c.column == 5 && c.row == 3 ? "punctuation_bar" : "");
        EXPECT_EQ(showPunctuationPopupAt(&at, nullptr, 0), c.value)
            << "column " << c.column << " row " << c.row;
        EXPECT_EQ(DelimBarMaster::openBar(), nullptr);
        if (tapper.shotTaken) {
            EXPECT_TRUE(tapper.shotResult.ok) << tapper.shotResult.message;
        }
    }
}

TEST_F(PickerBarsTest, SymbolsOnlyDisablesTheEditingKeysButCloseAndSpace) {
    POINT at = {120, 110};
    // Tab and an arrow do nothing; space still picks.
    Tapper tapper(tapAt(delimSamplePoint(6, 1), at.x, at.y) +
                      tapAt(delimSamplePoint(8, 4), at.x, at.y) +
                      tapAt(delimSamplePoint(7, 5), at.x, at.y),
                  at, "punctuation_bar_symbols_only");
    EXPECT_EQ(showPunctuationPopupAt(&at, nullptr, 2), 32);
    EXPECT_TRUE(tapper.shotResult.ok) << tapper.shotResult.message;
}

TEST_F(PickerBarsTest, SettingsReplaceSymbolsOutsideTheFirstRow) {
    struct Value {
        const wchar_t* name;
        const wchar_t* text;
    };
    const Value values[] = {
        {L"symb1", L"0,3,65"},                         // row 0 cannot be replaced
        {L"symb2", L"2,3,65"},                         // 'A' at row 2, column 3
        {L"symb3", L"3,9,66"},                         // no column 9
        {L"symb4", L"4,1"},                            // not three numbers
        {L"symb5", L"5,5,67"}, {L"symb7", L"1,1,68"},  // after the gap: not read
    };
    for (const Value& v : values)
        WriteSetting(L"PunctuationBar", v.name, v.text, SETTING_STRING, 0);
    loadPunctuationBar();
    const PunctuationSymbols table = punctuationSymbols();
    const PunctuationSymbols plain = defaultPunctuationSymbols();
    for (int row = 0; row < 6; ++row) {
        for (int column = 0; column < 6; ++column) {
            wchar_t expected = plain.cell[row][column];
            if (row == 2 && column == 3) expected = L'A';
            if (row == 5 && column == 5) expected = L'C';
            EXPECT_EQ(table.cell[row][column], expected) << row << "," << column;
        }
    }
    // The bar offers the replaced key.
    POINT at = {120, 110};
    Tapper tapper(tapAt(delimSamplePoint(3, 2), at.x, at.y), at, "");
    EXPECT_EQ(showPunctuationPopupAt(&at, nullptr, 0), 'A');
}

// Each load starts from the built-in table, and only signs replace a key:
// the codes of the other keys (close, more, undo, redo, space), control
// characters and codes beyond one character are ignored.
TEST_F(PickerBarsTest, ALoadStartsAfreshAndTakesOnlySigns) {
    WriteSetting(L"PunctuationBar", L"symb1", L"2,3,65", SETTING_STRING, 0);
    loadPunctuationBar();
    ASSERT_EQ(punctuationSymbols().cell[2][3], L'A');
    const struct {
        const wchar_t* text;
        int row, column;
        wchar_t expected;
    } values[] = {
        {L"2,1,0", 2, 1, L';'},      // close
        {L"2,2,3", 2, 2, L'{'},      // redo
        {L"2,4,-5", 2, 4, L'^'},     // negative
        {L"3,1,65601", 3, 1, L'+'},  // beyond 0xFFFF: not 'A'
        {L"3,2,32", 3, 2, L'<'},     // the space key's
        {L"3,3,9", 3, 3, L'>'},      // a control character
        {L"3,4,66", 3, 4, L'B'},     // a sign
    };
    int n = 1;
    for (const auto& v : values)
        WriteSetting(L"PunctuationBar", (L"symb" + std::to_wstring(n++)).c_str(), v.text,
                     SETTING_STRING, 0);
    loadPunctuationBar();
    const PunctuationSymbols& table = punctuationSymbols();
    EXPECT_EQ(table.cell[2][3], L'}') << "the earlier load left its letter";
    for (const auto& v : values)
        EXPECT_EQ(table.cell[v.row][v.column], v.expected) << v.row << "," << v.column;
}

TEST_F(PickerBarsTest, TheColourBarPicksAndShowsThePensColour) {
    // The markup canvas holds the pen colour the bar shows selected.
    appGlobals().markupCtrlWindow =
        CreateWindowExW(WS_EX_TOOLWINDOW, L"ScribixMarkupCtrlWndClass", L"", WS_POPUP, 0, 0, 10, 10,
                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(appGlobals().markupCtrlWindow);
    markup_canvas::setColour(RGB(255, 0, 0));
    struct Case {
        int column, row;
        int value;
    };
    const Case cases[] = {
        {0, 0, 1},  // black is 1, never 0
        {6, 0, RGB(255, 0, 0) + 1},
        {4, 0, RGB(255, 255, 255) + 1},
        {5, 2, RGB(0, 0, 255) + 1},
    };
    bool first = true;
    for (const Case& c : cases) {
        POINT at = {150, 130};
        Tapper tapper(tapAt(colourSamplePoint(c.column, c.row), at.x, at.y), at,
                      first ? "colours_bar" : "");
        EXPECT_EQ(showColourPopup(nullptr, nullptr, at), c.value) << c.column << "," << c.row;
        if (first) {
            EXPECT_TRUE(tapper.shotResult.ok) << tapper.shotResult.message;
        }
        first = false;
        EXPECT_EQ(ColorsBarMaster::openBar(), nullptr);
    }
}

}  // namespace
