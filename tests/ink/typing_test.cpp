// Keyboard output without a desktop: what the typing operations send, recorded
// by a fake keyboard, for texts, control codes, replacements, window classes,
// Caps Lock and slow targets.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "KeyRecorder.h"
#include "TypingTestSupport.h"
#include "ink/KeyboardOutput.h"
#include "core/Settings.h"
#include "core/SyntheticInput.h"

namespace typingtest {
namespace {

class TypingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetSettingsToDefaults();
        setLastTypedLength(0);
    }
    void TearDown() override {
        releaseTypingState();
        resetSettingsToDefaults();
    }

    // Types into a plain window and gives what was sent.
    std::string typed(const std::wstring& text, bool wantSpace = false, HKL layout = nullptr) {
        keys_.clear();
        result_ = typeTextToTarget(plain_.get(), text.c_str(), wantSpace, layout);
        return keys_.log;
    }

    KeyRecorder keys_;
    ClassWindow plain_{L"ScribixTypingPlain"};
    int result_ = -1;
};

struct TypedCase {
    const wchar_t* text;
    const char* keys;
    int length;  // the length of the insertion afterwards
};

TEST_F(TypingTest, TypesEachCharacterWithItsKeyOrAsAUnicodeEvent) {
    const TypedCase cases[] = {
        {L"ab", "+A -A +B -B", 2},
        {L"Hi!", "+Shift +H -H -Shift +I -I +Shift +1 -1 -Shift", 3},
        {L"a b, c.", "+A -A +Space -Space +B -B +Comma -Comma +Space -Space +C -C +Period -Period",
         7},
        // No key on the layout: a Unicode event, never Alt with keypad digits.
        {L"\u20ac", "U+20AC", 1},
        {L"\u00e9t\u00e9", "U+00E9 +T -T U+00E9", 3},
        {L"\u0416\u2713", "U+0416 U+2713", 2},
        // A key that needs Ctrl: the character itself.
        {L"\x01", "U+0001", 1},
        // Outside the basic plane: both halves, counted as the field counts them.
        {L"\U0001F600", "U+D83D U+DE00", 2},
    };
    for (const TypedCase& c : cases) {
        EXPECT_EQ(c.keys, typed(c.text)) << c.keys;
        EXPECT_EQ(c.length, result_) << c.keys;
        EXPECT_EQ(c.length, getLastTypedLength()) << c.keys;
        EXPECT_FALSE(keys_.badScanCodes) << c.keys;
        EXPECT_EQ(std::string::npos, keys_.log.find("Alt")) << c.keys;
        EXPECT_EQ(std::string::npos, keys_.log.find("Num")) << c.keys;
    }
}

TEST_F(TypingTest, CharactersNeedingAltGrGoAsUnicodeEventsOnTheTargetsLayout) {
    EXPECT_EQ("U+20AC", typed(L"\u20ac", false, germanLayout()));
    EXPECT_EQ(germanLayout(), keys_.lastLayout);
    EXPECT_EQ("+; -;", typed(L"\u0436", false, cyrillicLayout()));
    EXPECT_EQ("U+0071", typed(L"q", false, cyrillicLayout()));
}

TEST_F(TypingTest, ControlCodesPressShortcutsAndLeaveNothingToReplace) {
    const TypedCase cases[] = {
        {L"\x03", "+Ctrl +Z -Z -Ctrl", 0},
        {L"\x04", "+Ctrl +C -C -Ctrl", 0},
        {L"\x05", "+Ctrl +X -X -Ctrl", 0},
        {L"\x06", "+Ctrl +V -V -Ctrl", 0},
        {L"a\x06", "+A -A +Ctrl +V -V -Ctrl", 0},
        {L"ab\b", "+A -A +B -B +Back -Back", 0},
        // A virtual key moves the caret: what was typed before it is no longer
        // at the caret, so nothing may be erased later.
        {L"ab\x07\x25", "+A -A +B -B +Left -Left", 0},
        {L"\x07\x74", "+F5 -F5", 0},
        // A line feed types nothing and is not counted.
        {L"a\nb", "+A -A +B -B", 2},
    };
    for (const TypedCase& c : cases) {
        setLastTypedLength(7);
        EXPECT_EQ(c.keys, typed(c.text)) << c.keys;
        EXPECT_EQ(c.length, result_) << c.keys;
        EXPECT_EQ(c.length, getLastTypedLength()) << c.keys;
    }
    // The virtual key goes without a scan code, as it is.
    typed(L"\x07\x25");
    EXPECT_EQ("Left Left ", keys_.rawKeys);
}

TEST_F(TypingTest, ReplacementErasesTheLastInsertionFirst) {
    setLastTypedLength(4);
    EXPECT_EQ("+Back -Back +Back -Back +Back -Back +Back -Back +T -T +H -H +E -E",
              typed(L"\x03the"));
    EXPECT_EQ(3, result_);

    EXPECT_EQ("+Back -Back +Back -Back +Back -Back +O -O +N -N +E -E +Space -Space",
              typed(L"\x03one", true));
    EXPECT_EQ(4, result_);

    // Nothing typed before: nothing erased.
    setLastTypedLength(0);
    EXPECT_EQ("+A -A", typed(L"\x03"
                             L"a"));
    EXPECT_EQ(1, result_);
}

TEST_F(TypingTest, EmptyTextTypesNothingAndForgetsTheLastInsertion) {
    setLastTypedLength(5);
    EXPECT_EQ("", typed(L""));
    EXPECT_EQ(0, result_);
    EXPECT_EQ(0, getLastTypedLength());
    setLastTypedLength(5);
    EXPECT_EQ(0, typeTextToTarget(plain_.get(), nullptr, true, nullptr));
    EXPECT_EQ(0, getLastTypedLength());
}

struct ClassCase {
    const wchar_t* className;
    bool wantSpace;
    int flags;
};

TEST_F(TypingTest, TargetFlagsFollowTheWindowClassExactly) {
    const ClassCase cases[] = {
        {L"RichEdit20W", false, 4 | 2},    {L"RichEdit20W", true, 4 | 2 | 16},
        {L"RichEdit20WX", false, 4},       {L"RichEdit50W", false, 4},
        {L"EXCEL7", true, 4 | 16 | 32},    {L"EXCEL", false, 4},
        {L"IHWindowClass", false, 4 | 64}, {L"_WwG", false, 4},
        {L"ScribixTypingPlain", true, 20}, {L"TSSHELLWND", false, 4},
    };
    for (const ClassCase& c : cases) {
        ClassWindow window(c.className);
        ASSERT_TRUE(window.get());
        EXPECT_EQ(c.flags, getTargetInputFlags(window.get(), L"x", c.wantSpace)) << c.className;
    }
}

TEST_F(TypingTest, SpreadsheetEndsWithDeleteAndRichEditWithLeftRight) {
    ClassWindow excel(L"EXCEL7");
    ClassWindow richEdit(L"RichEdit20W");
    keys_.clear();
    EXPECT_EQ(4, typeTextToTarget(excel.get(), L"abc", true, nullptr));
    EXPECT_EQ("+A -A +B -B +C -C +Space -Space +Delete -Delete", keys_.log);
    // A replacement keeps what follows the insertion.
    keys_.clear();
    EXPECT_EQ(2, typeTextToTarget(excel.get(), L"\x03xy", false, nullptr));
    EXPECT_EQ("+Back -Back +Back -Back +Back -Back +Back -Back +X -X +Y -Y", keys_.log);

    keys_.clear();
    EXPECT_EQ(2, typeTextToTarget(richEdit.get(), L"ab", false, nullptr));
    EXPECT_EQ("+A -A +B -B +Left -Left +Right -Right", keys_.log);
}

TEST_F(TypingTest, SingleEnterOrTabCountsOneAndSkipsTheClassKeys) {
    ClassWindow excel(L"EXCEL7");
    ClassWindow richEdit(L"RichEdit20W");
    for (HWND window : {excel.get(), richEdit.get()}) {
        keys_.clear();
        EXPECT_EQ(1, typeTextToTarget(window, L"\r", true, nullptr));
        EXPECT_EQ("+Return -Return +Space -Space", keys_.log);
        EXPECT_EQ(1, getLastTypedLength());
        keys_.clear();
        EXPECT_EQ(1, typeTextToTarget(window, L"\t", false, nullptr));
        EXPECT_EQ("+Tab -Tab", keys_.log);
    }
}

TEST_F(TypingTest, CapsLockInvertsShiftForLettersOnly) {
    keys_.capsToggled = true;
    EXPECT_EQ("+Shift +A -A -Shift +B -B +1 -1 +Shift +1 -1 -Shift", typed(L"aB1!"));
    // Pressed since the last look: the state is about to flip.
    keys_.capsPressed = true;
    EXPECT_EQ("+A -A +Shift +B -B -Shift", typed(L"aB"));
    // A single character reads the toggle state anew.
    keys_.capsPressed = false;
    keys_.clear();
    typeChar(L'a', false, nullptr);
    EXPECT_EQ("+Shift +A -A -Shift", keys_.log);
}

TEST_F(TypingTest, SlowTargetsWaitAroundShiftAndAfterBackspace) {
    ClassWindow slow(L"IHWindowClass");
    generalSettings().delayAfterSendSpecSymb = 25;
    keys_.clear();
    setLastTypedLength(1);
    typeTextToTarget(slow.get(),
                     L"\x03"
                     L"aB",
                     false, nullptr);
    EXPECT_EQ("+Back -Back pause:25 +A -A +Shift pause:25 +B -B -Shift pause:25", keys_.log);
    // Other targets never wait.
    EXPECT_EQ("+Shift +B -B -Shift", typed(L"B"));
    // Nor does a slow one when the setting is 0.
    generalSettings().delayAfterSendSpecSymb = 0;
    keys_.clear();
    typeTextToTarget(slow.get(), L"B", false, nullptr);
    EXPECT_EQ("+Shift +B -B -Shift", keys_.log);
}

TEST_F(TypingTest, KeyOnlyPressesTheKeyWithoutModifiers) {
    struct KeyCase {
        UINT code;
        HKL layout;
        bool keyOnly;
        const char* keys;
    };
    const KeyCase cases[] = {
        {L'A', nullptr, false, "+Shift +A -A -Shift"},
        {L'A', nullptr, true, "+A -A"},
        {L'!', nullptr, true, "+1 -1"},
        // Letters the layout lacks: the upper-case letter's key.
        {L'Q', cyrillicLayout(), true, "+Q -Q"},
        {L'q', cyrillicLayout(), true, "+Q -Q"},
        // Any other character without a key is dropped.
        {0x20AC, nullptr, true, ""},
        {0x20AC, nullptr, false, "U+20AC"},
        {4, nullptr, false, "+Ctrl +C -C -Ctrl"},
    };
    for (const KeyCase& c : cases) {
        keys_.clear();
        typeCharKey(c.code, c.layout, c.keyOnly);
        EXPECT_EQ(c.keys, keys_.log) << c.code << " keyOnly " << c.keyOnly;
    }
    keys_.clear();
    typeString(L"Ab", nullptr, false);
    EXPECT_EQ("+Shift +A -A -Shift +B -B", keys_.log);
    keys_.clear();
    typeString(L"Ab", nullptr, true);
    EXPECT_EQ("+A -A +B -B", keys_.log);
}

TEST_F(TypingTest, SingleKeysAndShortcuts) {
    typeVirtualKey(VK_F5);
    EXPECT_EQ("+F5 -F5", keys_.log);
    EXPECT_FALSE(keys_.badScanCodes);
    keys_.clear();
    pressWithCtrl('Z', 0);
    EXPECT_EQ("+Ctrl +Z -Z -Ctrl", keys_.log);
    keys_.clear();
    pressWithCtrl('V', 40);
    EXPECT_EQ("+Ctrl +V -V -Ctrl pause:40", keys_.log);
    EXPECT_FALSE(keys_.badScanCodes);
}

TEST_F(TypingTest, ReleasedStateHasNothingToReplace) {
    typed(L"hello");
    EXPECT_EQ(5, getLastTypedLength());
    releaseTypingState();
    EXPECT_EQ(0, getLastTypedLength());
    EXPECT_EQ("+W -W", typed(L"\x03w"));
}

// Every key the typing sends leaves the tick of the program's own last input,
// so that idleness is judged on the user's input; sending nothing leaves none.
TEST_F(TypingTest, SentKeysRecordTheTickOfTheProgramsOwnInput) {
    struct TickCase {
        const char* name;
        std::function<void()> send;
        bool sends;
    };
    const TickCase cases[] = {
        {"text by keys", [this] { typed(L"ab"); }, true},
        {"text as Unicode events", [this] { typed(L"\u20ac"); }, true},
        {"shifted key", [] { typeCharKey(L'A', nullptr, false); }, true},
        {"single key", [] { typeVirtualKey(VK_F5); }, true},
        {"shortcut", [] { pressWithCtrl('Z', 0); }, true},
        {"string", [] { typeString(L"ok", nullptr, true); }, true},
        {"empty text", [this] { typed(L""); }, false},
        {"key-only character without a key", [] { typeCharKey(0x20AC, nullptr, true); }, false},
    };
    for (const TickCase& c : cases) {
        clearSyntheticInputTick();
        keys_.clear();
        const DWORD before = GetTickCount();
        c.send();
        const DWORD after = GetTickCount();
        DWORD tick = 0;
        ASSERT_EQ(c.sends, !keys_.log.empty()) << c.name << ": " << keys_.log;
        EXPECT_EQ(c.sends, lastSyntheticInputTick(&tick)) << c.name;
        if (c.sends) {
            EXPECT_LE(static_cast<LONG>(before - tick), 0) << c.name;
            EXPECT_LE(static_cast<LONG>(tick - after), 0) << c.name;
        }
    }
    clearSyntheticInputTick();
}

}  // namespace
}  // namespace typingtest
