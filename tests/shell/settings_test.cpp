// The settings store: typed values through the registry, the general groups
// and their defaults, the Run value.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "TestSupport.h"
#include "core/Settings.h"
#include "win/WinString.h"

namespace {

using sxtest::TestSettingsKey;

// Writes a raw registry value under the test key (or its subkey).
void putRaw(const std::wstring& key, const wchar_t* name, DWORD type, const void* data,
            DWORD bytes) {
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(k, name, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(k);
}

void putText(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    putRaw(key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2));
}

std::wstring rawText(const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[512] = L"";
    DWORD bytes = sizeof buffer - 2;
    if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer,
                     &bytes) != ERROR_SUCCESS)
        return L"<missing>";
    return buffer;
}

// Every value type written and read back, with the registry form it takes.
struct RoundTrip {
    const char* name;
    int type;
    std::vector<uint8_t> value;  // the bytes of the variable
    int size;                    // characters or numbers
    std::wstring stored;         // the REG_SZ text, empty for REG_DWORD
};

template <typename T>
std::vector<uint8_t> bytesOf(const T& v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    return std::vector<uint8_t>(p, p + sizeof v);
}

std::vector<RoundTrip> roundTrips() {
    const wchar_t text[16] = L"profile name";
    const int32_t list[4] = {10, 0, 2147483647, 7};
    const RECT rect = {-5, 10, 1280, 1024};
    const POINT point = {-1000, 25};
    return {
        {"Number", SETTING_NUMBER, bytesOf(int32_t{-17}), 0, L""},
        {"NumberDirect", SETTING_NUMBER_DIRECT, bytesOf(int32_t{86400}), 0, L""},
        {"String", SETTING_STRING, bytesOf(text), 16, L"profile name"},
        {"Point", SETTING_POINT, bytesOf(point), 0, L"-1000,25"},
        {"Rect", SETTING_RECT, bytesOf(rect), 0, L"-5,10,1280,1024"},
        {"Colour", SETTING_COLOR, bytesOf(COLORREF{RGB(12, 34, 56)}), 0, L"RGB(12,34,56)"},
        {"NumberList", SETTING_NUMBER_LIST, bytesOf(list), 4, L"10,0,2147483647,7"},
        {"Flag", SETTING_FLAG, bytesOf(uint8_t{1}), 0, L""},
    };
}

class SettingRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(SettingRoundTrip, ReadsBackWhatWasWritten) {
    const RoundTrip& c = GetParam();
    TestSettingsKey key(L"roundtrip");
    for (const wchar_t* subkey : {static_cast<const wchar_t*>(nullptr), L"MarkupBar"}) {
        ASSERT_EQ(WriteSetting(subkey, L"value", c.value.data(), c.type, c.size), 1);
        if (!c.stored.empty()) {
            const std::wstring path = subkey ? key.path() + L"\\" + subkey : key.path();
            EXPECT_EQ(rawText(path, L"value"), c.stored);
        }
        std::vector<uint8_t> back(c.value.size(), 0);
        ASSERT_EQ(ReadSetting(subkey, L"value", back.data(), c.type, c.size), 1);
        EXPECT_EQ(back, c.value);
    }
}

INSTANTIATE_TEST_SUITE_P(AllTypes, SettingRoundTrip, ::testing::ValuesIn(roundTrips()),
                         [](const ::testing::TestParamInfo<RoundTrip>& info) {
                             return std::string(info.param.name);
                         });

TEST(ReadSetting, ConvertsStoredTextsAsDocumented) {
    TestSettingsKey key(L"texts");
    RECT area = {0, 0, 100, 100};
    putText(key.path(), L"superGestureScreenArea", L"1,2,3");
    EXPECT_EQ(ReadSetting(nullptr, L"superGestureScreenArea", &area, SETTING_RECT, 0), 0);
    EXPECT_EQ(area.left, 1);
    EXPECT_EQ(area.top, 2);
    EXPECT_EQ(area.right, 3) << "the numbers found so far are kept";
    EXPECT_EQ(area.bottom, 100);

    COLORREF colour = 0;
    putText(key.path(), L"PenColor", L"RGB(255,0,0)");
    ASSERT_EQ(ReadSetting(nullptr, L"PenColor", &colour, SETTING_COLOR, 0), 1);
    EXPECT_EQ(colour & 0xFF, 255u) << "red in the low byte";
    EXPECT_EQ(colour, RGB(255, 0, 0));

    int32_t list[3] = {};
    putText(key.path(), L"penWidths", L"10, -20 ,30");
    ASSERT_EQ(ReadSetting(nullptr, L"penWidths", list, SETTING_NUMBER_LIST, 3), 1);
    EXPECT_EQ(std::vector<int32_t>(list, list + 3), (std::vector<int32_t>{10, 20, 30}));
    int32_t four[4] = {};
    EXPECT_EQ(ReadSetting(nullptr, L"penWidths", four, SETTING_NUMBER_LIST, 4), 0);
    EXPECT_EQ(ReadSetting(nullptr, L"penWidths", four, SETTING_NUMBER_LIST, 0), 0);
    putText(key.path(), L"huge", L"99999999999999999999,1");
    ASSERT_EQ(ReadSetting(nullptr, L"huge", list, SETTING_NUMBER_LIST, 2), 1);
    EXPECT_EQ(list[0], 2147483647) << "a number too long saturates";

    wchar_t regKey[64] = L"";
    const std::wstring guid = L"{01234567-89AB-CDEF-0123-456789ABCDEF}";
    putText(key.path(), L"regKey", guid);
    ASSERT_EQ(ReadSetting(nullptr, L"regKey", regKey, SETTING_STRING, 64), 1);
    EXPECT_EQ(std::wstring(regKey), guid);

    wchar_t skip[32] = L"default";
    putText(key.path(), L"autoUpdateSkipVersion", std::wstring(32, L'9'));
    EXPECT_EQ(ReadSetting(nullptr, L"autoUpdateSkipVersion", skip, SETTING_STRING, 32), 0);
    EXPECT_EQ(std::wstring(skip), L"default") << "too long for the buffer: the default stays";
}

TEST(ReadSetting, RefusesWhatItCannotReadSafely) {
    TestSettingsKey key(L"refuse");
    int32_t number = 5;
    EXPECT_EQ(ReadSetting(nullptr, L"missing", &number, SETTING_NUMBER, 0), 0);
    EXPECT_EQ(number, 5);

    putText(key.path(), L"textAsNumber", L"12");
    EXPECT_EQ(ReadSetting(nullptr, L"textAsNumber", &number, SETTING_NUMBER_DIRECT, 0), 0);
    EXPECT_EQ(number, 5) << "a text is no number, even read in place";
    const uint16_t two = 7;
    putRaw(key.path(), L"shortBinary", REG_BINARY, &two, sizeof two);
    EXPECT_EQ(ReadSetting(nullptr, L"shortBinary", &number, SETTING_NUMBER, 0), 0);
    EXPECT_EQ(ReadSetting(nullptr, L"x", nullptr, SETTING_NUMBER_DIRECT, 0), 0);
    EXPECT_EQ(ReadSetting(nullptr, L"x", &number, 9, 0), 0);
    EXPECT_EQ(ReadSetting(nullptr, L"x", &number, 0, 0), 0);

    // A subkey too long for the 256-character path is refused before the registry.
    const std::wstring longName(230, L'k');
    EXPECT_EQ(WriteSetting(longName.c_str(), L"v", &number, SETTING_NUMBER, 0), 0);
    const std::wstring fits(229, L'k');
    EXPECT_EQ(WriteSetting(fits.c_str(), L"v", &number, SETTING_NUMBER, 0), 1);
}

TEST(ReadSetting, StringsAreAlwaysTerminated) {
    TestSettingsKey key(L"terminated");
    // Stored without a terminator, as a careless writer may leave it.
    const wchar_t raw[5] = {L'a', L'b', L'c', L'd', L'e'};
    putRaw(key.path(), L"open", REG_SZ, raw, sizeof raw);
    wchar_t text[8];
    std::wmemset(text, L'#', 8);
    ASSERT_EQ(ReadSetting(nullptr, L"open", text, SETTING_STRING, 8), 1);
    EXPECT_EQ(std::wstring(text), L"abcde");

    // 256 characters and no terminator: as much as the store reads, terminated.
    const std::wstring full(256, L'z');
    putRaw(key.path(), L"full", REG_SZ, full.data(), 512);
    std::vector<wchar_t> big(300, L'#');
    ASSERT_EQ(ReadSetting(nullptr, L"full", big.data(), SETTING_STRING, 300), 1);
    EXPECT_EQ(std::wstring(big.data()), full);
    putText(key.path(), L"fullList", std::wstring(255, L'1'));
    int32_t n = 0;
    EXPECT_EQ(ReadSetting(nullptr, L"fullList", &n, SETTING_NUMBER_LIST, 1), 1);
}

TEST(GeneralSettings, FirstRunLeavesTheDefaultsAndWritesThemWhole) {
    TestSettingsKey key(L"general");
    EXPECT_EQ(readGeneralSettings(), 0) << "nothing stored yet";
    const GeneralSettings defaults;
    const GeneralSettings& s = generalSettings();
    EXPECT_EQ(s.showToolbar, 1);
    EXPECT_EQ(s.startInPenOnMode, 1);
    EXPECT_EQ(s.allowedInputType, 15);
    EXPECT_EQ(s.superGestureID, 6);
    EXPECT_TRUE(EqualRect(&s.superGestureScreenArea, &defaults.superGestureScreenArea));
    EXPECT_EQ(s.useProfileScope, 1);
    EXPECT_EQ(s.autoUpdatePeriodDays, 3);
    EXPECT_EQ(s.useGuardWindow, 1);
    EXPECT_EQ(s.regKey[0], L'\0');
    EXPECT_EQ(wordListBarSettings().customMenuPosition.x, -1000);
    EXPECT_EQ(wordListBarSettings().fadingPeriod, 1800);

    generalSettings().showIntroScreen = 0;
    generalSettings().superGestureScreenArea = {1, 2, 3, 4};
    lstrcpyW(generalSettings().regKey, L"{ID}");
    wordListBarSettings().mainFontSize = 160;
    writeGeneralSettings();
    resetSettingsToDefaults();
    EXPECT_EQ(readGeneralSettings(), 1) << "every value is there now";
    EXPECT_EQ(s.showIntroScreen, 0);
    EXPECT_EQ(s.superGestureScreenArea.bottom, 4);
    EXPECT_EQ(std::wstring(s.regKey), L"{ID}");
    EXPECT_EQ(wordListBarSettings().mainFontSize, 160);
    EXPECT_EQ(rawText(key.path() + L"\\WordListBar", L"customMenuPosition"), L"-1000,-1000");
}

TEST(PenSettings, LoadedOnlyWhenAllFourAreThere) {
    TestSettingsKey key(L"pen");
    PenSettings pen;
    EXPECT_EQ(loadPenSettings(nullptr, &pen), 0);
    EXPECT_EQ(pen.color, RGB(0, 0, 255));
    pen.type = 1;
    pen.width = 9;
    pen.color = RGB(1, 2, 3);
    savePenSettings(nullptr, &pen);
    PenSettings back;
    EXPECT_EQ(loadPenSettings(nullptr, &back), 1);
    EXPECT_EQ(back.width, 9);
    EXPECT_EQ(back.color, RGB(1, 2, 3));
    EXPECT_EQ(rawText(key.path(), L"PenColor"), L"RGB(1,2,3)");
}

TEST(Autostart, OnAndOffChangeTheRunValue) {
    const std::wstring run = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    ASSERT_TRUE(setAutostart(false));
    int on = -1;
    ASSERT_TRUE(isAutostartOn(&on));
    EXPECT_EQ(on, 0);

    ASSERT_TRUE(setAutostart(true));
    ASSERT_TRUE(isAutostartOn(&on));
    EXPECT_EQ(on, 1);
    const std::wstring program = win::modulePath(nullptr);
    wchar_t expected[MAX_PATH + 4];
    autostartCommand(program.c_str(), expected, MAX_PATH + 4);
    EXPECT_EQ(rawText(run, L"Scribix"), expected);
    ASSERT_TRUE(setAutostart(true)) << "the same path again writes nothing and succeeds";

    ASSERT_TRUE(setAutostart(false));
    ASSERT_TRUE(isAutostartOn(&on));
    EXPECT_EQ(on, 0);
    EXPECT_EQ(rawText(run, L"Scribix"), L"<missing>");
    EXPECT_TRUE(setAutostart(false)) << "nothing to delete is no failure";
}

TEST(Autostart, PathsWithBlanksAreQuoted) {
    wchar_t command[300];
    autostartCommand(L"C:\\Program Files\\Scribix\\Scribix.exe", command, 300);
    EXPECT_STREQ(command, L"\"C:\\Program Files\\Scribix\\Scribix.exe\"");
    autostartCommand(L"C:\\Scribix\\Scribix.exe", command, 300);
    EXPECT_STREQ(command, L"C:\\Scribix\\Scribix.exe");
}

}  // namespace
