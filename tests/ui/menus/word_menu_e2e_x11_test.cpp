// The word-list menu end to end: Scribix.exe staged as it is installed, our
// edit target with the focus, xdotool writing with the handwriting
// generator's strokes and tapping the menu as a pen does. The menu's items
// and where they are come from the program's trace; what the field holds is
// read from the target.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "tests/ink/WritingTestSupport.h"
#include "tests/support/Screenshot.h"
#include "ui/bars/BarFramework.h"

#ifndef MENU_REFERENCES
#define MENU_REFERENCES ""
#endif

namespace {

using namespace writingtest;

constexpr char kItemTrace[] = "WordMenuBar item ";

struct Item {
    unsigned id = 0;
    std::string text;
    RECT rect = {};
    POINT centre() const {
        return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    }
    int word() const {
        return id < 0x10000 ? static_cast<int>(id) : static_cast<int>(id >> 16) - 1;
    }
};

void writeMenuSetting(const wchar_t* name, int value) {
    const std::wstring previous = settingsRootKey();
    setSettingsRootKey(nullptr);
    WriteSetting(L"WordListBar", name, &value, SETTING_NUMBER, 0);
    setSettingsRootKey(previous.c_str());
}

// Removes the user's dictionary of the program's English data: the words an
// earlier run added would be known already.
void removeUserDictionary() {
    wchar_t appData[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData))) return;
    DeleteFileW((std::wstring(appData) + L"\\Scribix\\English\\default.voc").c_str());
}

// The program's bars and menus of its own (class "VexaInkServiceMenuBarWndClass")
// with `title`, visible on the screen.
HWND barWindow(const wchar_t* title) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, BAR_WINDOW_CLASS, title))) {
        RECT r;
        if (IsWindowVisible(window) && GetWindowRect(window, &r) && r.left >= 0) return window;
    }
    return nullptr;
}

// The screen point of a key of the punctuation bar (its cells are 31 x 27).
POINT punctuationKey(HWND bar, int column, int row) {
    RECT r = {};
    GetWindowRect(bar, &r);
    return POINT{r.left + column * 31 + 18, r.top + row * 27 + 15};
}

bool tapAt(POINT p, int button = 1) {
    return hostshell::run("xdotool mousemove " + std::to_string(p.x) + " " + std::to_string(p.y) +
                              " sleep 0.2 click " + std::to_string(button) + " sleep 0.3",
                          10000);
}

class WordMenuEndToEnd : public testing::Test {
  protected:
    void SetUp() override {
        writeMenuSetting(L"autoShow", 2);
        writeMenuSetting(L"autoExpandSubmenu", 1);
        writeMenuSetting(L"useLetterGuesser", 1);
        writeMenuSetting(L"acceptMenuMode", 0);
        // The menu stays while the test's pointer is elsewhere; fading has its own test.
        writeMenuSetting(L"fadingPeriod", 0);
        removeUserDictionary();
        ASSERT_TRUE(scribix_.start());
        ASSERT_TRUE(openFocusedEdit(target_, &field_));
    }
    void TearDown() override {
        target_.reset();
        scribix_.stop(HasFailure());
        writeMenuSetting(L"autoShow", 2);
    }

    // The menu's items as the program traced them last (the latest layout).
    std::map<unsigned, Item> items() {
        std::map<unsigned, Item> out;
        for (const std::string& line : scribix_.trace().lines()) {
            if (line.rfind(kItemTrace, 0) != 0) continue;
            Item item;
            char text[128] = {};
            int l, t, r, b;
            if (sscanf(line.c_str() + sizeof kItemTrace - 1, "%u \"%127[^\"]\" at %d,%d,%d,%d",
                       &item.id, text, &l, &t, &r, &b) != 6)
                continue;
            if (item.id == 0) out.clear();  // a new layout starts with the first word
            item.text = text;
            item.rect = RECT{l, t, r, b};
            out[item.id] = item;
        }
        return out;
    }
    HWND menuWindow() { return barWindow(L"WordMenuBar"); }
    bool fieldHolds(const std::wstring& text, DWORD ms = 4000) {
        return sxtest::pumpUntil([&] { return target_->text() == text; }, ms);
    }
    std::string fieldText() { return narrow(target_->text()); }
    // Writes `text` into the field and waits for the menu of its result.
    bool writeAndWaitForMenu(const std::string& text, size_t results) {
        if (!writeWithPen(text, field_.left + 20, field_.top + 60)) return false;
        if (scribix_.resultAfter(results, 8000) == "(none)") return false;
        return sxtest::pumpUntil([&] { return menuWindow() != nullptr && !items().empty(); }, 5000);
    }

    // The wait for the next stroke: a stroke may wait for the answer to its
    // press on a busy machine, and a writing split in two reads otherwise.
    RunningScribix scribix_{1500};
    std::unique_ptr<targets::TargetProcess> target_;
    RECT field_ = {};
};

TEST_F(WordMenuEndToEnd, PickingAnAlternativeReplacesTheWordAndPickingItAgainRestoresIt) {
    ASSERT_TRUE(writeAndWaitForMenu("hello wrld", 1)) << "no word-list menu after the writing";
    const std::string typed = fieldText();
    std::map<unsigned, Item> shown = items();
    // The alternative of the last written word.
    const Item* alternative = nullptr;
    int lastWord = -1;
    for (const auto& [id, item] : shown)
        if (id < 0x10000 && item.text != " ") lastWord = item.word();
    for (const auto& [id, item] : shown)
        if (id >= 0x10000 && item.word() == lastWord && !alternative) alternative = &item;
    ASSERT_TRUE(alternative) << "the menu shows no alternative for \"" << shown[lastWord].text
                             << "\"";
    const std::string word = shown[lastWord].text;
    const std::string picked = alternative->text;
    const POINT at = alternative->centre();

    screenshot::Result shot =
        screenshot::checkWindow(menuWindow(), MENU_REFERENCES, "e2e_word_menu");
    EXPECT_TRUE(shot.ok) << shot.message;

    ASSERT_TRUE(tapAt(at));
    std::string expected = typed;
    expected.replace(expected.rfind(word), word.size(), picked);
    EXPECT_TRUE(fieldHolds(std::wstring(expected.begin(), expected.end())))
        << "the field holds \"" << fieldText() << "\", not \"" << expected << "\"";

    ASSERT_TRUE(tapAt(at));
    EXPECT_TRUE(fieldHolds(std::wstring(typed.begin(), typed.end())))
        << "the field holds \"" << fieldText() << "\", not \"" << typed << "\"";
}

TEST_F(WordMenuEndToEnd, LetterGesturesAndWritingOverABoxCorrectTheField) {
    ASSERT_TRUE(writeAndWaitForMenu("hello", 1));
    // The profile adds a blank after a word; the menu's replacements keep it.
    ASSERT_EQ(fieldText(), "hello ");
    const Item hello = items()[0];
    const int letter = (hello.rect.right - hello.rect.left) / 5;
    const int middle = (hello.rect.top + hello.rect.bottom) / 2;
    auto letterX = [&](int i) { return hello.rect.left + letter * i + letter / 2; };

    // Upwards on the 'h': upper case.
    ASSERT_TRUE(drawStroke({{letterX(0), middle + 10}, {letterX(0), middle - 60}}));
    EXPECT_TRUE(fieldHolds(L"Hello ")) << fieldText();
    // Right to left from the 'l': deleted.
    ASSERT_TRUE(drawStroke({{letterX(3), middle}, {letterX(3) - 90, middle}}));
    EXPECT_TRUE(fieldHolds(L"Helo ")) << fieldText();
    // Down then right on the 'o': a blank before it.
    ASSERT_TRUE(drawStroke(
        {{letterX(3), middle - 10}, {letterX(3), middle + 40}, {letterX(3) + 70, middle + 40}}));
    EXPECT_TRUE(fieldHolds(L"Hel o ")) << fieldText();

    // Writing an 'a' over the box of the 'e' (the profile for corrections reads it).
    ASSERT_TRUE(writeWithPen("a", letterX(1) - 5, hello.rect.bottom - 8, 5));
    EXPECT_TRUE(fieldHolds(L"Hal o ", 6000)) << fieldText();
}

TEST_F(WordMenuEndToEnd, AddToDictionaryMakesTheNextWritingReadTheWord) {
    ASSERT_TRUE(writeAndWaitForMenu("scribix", 1));
    std::map<unsigned, Item> shown = items();
    // When the lexicon read another word, the written one is among the alternatives.
    if (shown[0].text != "scribix") {
        const Item* raw = nullptr;
        for (const auto& [id, item] : shown)
            if (id >= 0x10000 && item.word() == 0 && item.text == "scribix") raw = &item;
        ASSERT_TRUE(raw) << "\"scribix\" is not offered; the menu shows \"" << shown[0].text
                         << "\"";
        ASSERT_TRUE(tapAt(raw->centre()));
        ASSERT_TRUE(fieldHolds(L"scribix ")) << fieldText();
        shown = items();
    }
    ASSERT_TRUE(tapAt(shown[0].centre(), 3));  // the right button on the word
    HWND dictionary = nullptr;
    ASSERT_TRUE(sxtest::pumpUntil(
        [&] { return (dictionary = FindWindowW(BAR_WINDOW_CLASS, L"WordToDictMenu")) != nullptr; },
        3000))
        << "no word-to-dictionary menu";
    RECT r;
    GetWindowRect(dictionary, &r);
    screenshot::Result shot =
        screenshot::checkWindow(dictionary, MENU_REFERENCES, "e2e_word_to_dict_menu");
    EXPECT_TRUE(shot.ok) << shot.message;
    ASSERT_TRUE(tapAt(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}));
    sxtest::pumpUntil([] { return false; }, 500);

    // A new line, then the same word again.
    target_->activate();
    SetWindowTextW(target_->control(), L"");
    ASSERT_TRUE(writeWithPen("scribix", field_.left + 20, field_.top + 60));
    EXPECT_EQ(scribix_.resultAfter(2, 8000), "scribix");
}

// A sign picked on the punctuation bar for a letter of the menu arrives in
// the field: by gesture 704 (up and back down over the letter) and by the
// letter-guess menu's ",.;" item. The bar offers the signs only, and a sign for
// the blank between two words goes before the blank.
TEST_F(WordMenuEndToEnd, SignsPickedForLettersArriveInTheField) {
    ASSERT_TRUE(writeAndWaitForMenu("hello world", 1)) << "no word-list menu after the writing";
    const std::string typed = fieldText();
    const size_t gap = typed.find(' ');
    ASSERT_NE(gap, std::string::npos) << "one word read: \"" << typed << "\"";
    std::map<unsigned, Item> shown = items();
    const Item* blank = nullptr;
    for (const auto& [id, item] : shown)
        if (id > 0 && id < 0x10000 && item.text == " " && !blank) blank = &item;
    ASSERT_TRUE(blank) << "no blank between the words";

    const POINT b = blank->centre();
    ASSERT_TRUE(drawStroke({{b.x, b.y + 10}, {b.x, b.y - 50}, {b.x, b.y + 12}}));
    HWND bar = nullptr;
    ASSERT_TRUE(sxtest::pumpUntil([&] { return (bar = barWindow(L"Scribix")) != nullptr; }, 4000))
        << "no punctuation bar for the blank";
    // Only signs are offered: Left does nothing and the bar stays.
    ASSERT_TRUE(tapAt(punctuationKey(bar, 6, 4)));
    sxtest::pumpUntil([] { return false; }, 500);
    EXPECT_EQ(fieldText(), typed);
    ASSERT_TRUE(IsWindowVisible(bar)) << "the bar went with a tap on a key it does not offer";
    ASSERT_TRUE(tapAt(punctuationKey(bar, 0, 0)));  // ','
    std::string expected = typed;
    expected.insert(gap, ",");
    EXPECT_TRUE(fieldHolds(std::wstring(expected.begin(), expected.end())))
        << "the field holds \"" << fieldText() << "\", not \"" << expected << "\"";
    ASSERT_NE(menuWindow(), nullptr) << "the menu closed with the pick";

    // The second letter of the first word: its letter-guess menu, then its signs.
    ASSERT_TRUE(sxtest::pumpUntil([&] { return items().count(0) != 0; }, 2000));
    const Item first = items()[0];
    const int letter = (first.rect.right - first.rect.left) / static_cast<int>(first.text.size());
    ASSERT_TRUE(tapAt(POINT{first.rect.left + letter + letter / 2, first.centre().y}));
    HWND guess = nullptr;
    ASSERT_TRUE(
        sxtest::pumpUntil([&] { return (guess = barWindow(L"PureTextMenu")) != nullptr; }, 3000))
        << "no letter-guess menu";
    RECT g = {};
    GetWindowRect(guess, &g);
    ASSERT_TRUE(tapAt(POINT{(g.left + g.right) / 2, g.bottom - 8}));  // the last row: ",.;"
    ASSERT_TRUE(sxtest::pumpUntil([&] { return (bar = barWindow(L"Scribix")) != nullptr; }, 4000))
        << "no punctuation bar from the letter-guess menu";
    ASSERT_TRUE(tapAt(punctuationKey(bar, 0, 1)));  // '.'
    expected[1] = '.';
    EXPECT_TRUE(fieldHolds(std::wstring(expected.begin(), expected.end())))
        << "the field holds \"" << fieldText() << "\", not \"" << expected << "\"";
}

}  // namespace
