// The settings store: typed values under the user's key of the program
// ("Software\Zorvane\Scribix" under HKEY_CURRENT_USER) and its subkeys, the
// groups of values the shell reads and writes together, the autostart value,
// and the screen metrics kept beside them.
//
// Every settings variable holds its default until it is read: a missing or
// unreadable value leaves it as it is.
#pragma once

#include <windows.h>

#include <cstdint>

enum SettingType {
    SETTING_NUMBER = 1,         // int32, REG_DWORD
    SETTING_NUMBER_DIRECT = 2,  // int32 read in place, REG_DWORD
    SETTING_STRING = 3,         // wchar_t[n], REG_SZ
    SETTING_POINT = 4,          // POINT, REG_SZ "%d,%d"
    SETTING_RECT = 5,           // RECT, REG_SZ "%d,%d,%d,%d"
    SETTING_COLOR = 6,          // COLORREF, REG_SZ "RGB(%d,%d,%d)"
    SETTING_NUMBER_LIST = 7,    // int32[n], REG_SZ "%d,%d,..."
    SETTING_FLAG = 8,           // one byte 0 or 1, REG_DWORD
};

// Reads one value of `type` from the program's key (or its `subkey`) into
// `target`; `size` is the capacity in characters (type 3) or the number of
// integers (type 7). 1 when read and converted, else 0.
int ReadSetting(const wchar_t* subkey, const wchar_t* name, void* target, int type, int size);

// Writes one value; `count` is the number of integers for type 7. 1 on success.
int WriteSetting(const wchar_t* subkey, const wchar_t* name, const void* source, int type,
                 int count);

// The registry path of the program's key. Tests point it at a key of their own.
void setSettingsRootKey(const wchar_t* path);
const wchar_t* settingsRootKey();

// The general values (root key), with their defaults.
struct GeneralSettings {
    int markupAvailable = 1;
    int clearInkOnExit = 0;
    int showToolbar = 1;
    int multiMonitorInking = 1;
    int copyBitsFromScreen = 1;
    int autoPenOffMode = 0;
    int autoPenOffTimeout = 0;  // seconds
    int startInPenOnMode = 1;
    int allowedInputType = 15;
    int superGestureAllowed = 1;
    int superGestureID = 6;
    RECT superGestureScreenArea = {0, 0, 100, 100};
    int delayAfterSendSpecSymb = 10;
    int barClickMaxDist = 15;
    int showCurrentRecProfile = 1;
    int useContextReco = 0;
    int useAppFilters = 0;
    int useProfileScope = 1;
    int showIntroScreen = 1;
    int autoCreateRecForTPC = 1;
    int useTPCRecsOnly = 0;
    int useTabletCollector = 0;
    int autoUpdateCorrectionBtn = 0;
    int runAutoUpdate = 1;
    int autoUpdateLastAsk = 0;
    int autoUpdatePeriodDays = 3;
    wchar_t regKey[64] = L"";
    wchar_t autoUpdateSkipVersion[32] = L"";
    int useGuardWindow = 1;
    // Not a registry value of the group: the autostart probe's answer, written
    // back as the Run value by writeGeneralSettings.
    int autostart = 0;
};

// The word-list menu's values (subkey "WordListBar").
struct WordListBarSettings {
    int acceptMenuMode = 0;
    int allowSelCorrection = 1;
    POINT customMenuPosition = {-1000, -1000};
    int correctRecTimeout = 1000;
    int horizontalLayout = 1;
    int autoShow = 2;
    int autoExpandSubmenu = 1;
    int useLetterGuesser = 1;
    int startTransparency = 100;
    int endTransparency = 20;
    int fadingPeriod = 1800;
    int fadingDelta = 5;
    int mainFontSize = 200;
};

// The pen attributes as the registry keeps them ("PenType", "PenWidth",
// "PenAntialiasing", "PenColor").
struct PenSettings {
    int type = 2;
    int width = 3;
    int antialiasing = 1;
    COLORREF color = RGB(0, 0, 255);
};

GeneralSettings& generalSettings();
WordListBarSettings& wordListBarSettings();
// Puts every settings variable back to its default (tests, and nothing else).
void resetSettingsToDefaults();

// 1 when every general value was read (the three read in place do not count).
int readGeneralSettings();
void writeGeneralSettings();
void readWordListBarSettings();
void writeWordListBarSettings();
// 1 only when all four pen values were read.
int loadPenSettings(const wchar_t* subkey, PenSettings* pen);
void savePenSettings(const wchar_t* subkey, const PenSettings* pen);

// The Run value "Scribix" under HKCU\Software\Microsoft\Windows\CurrentVersion\Run.
bool isAutostartOn(int* on);
bool setAutostart(bool on);
// The command line the Run value holds for `programPath`: quoted when it has a blank.
void autostartCommand(const wchar_t* programPath, wchar_t* command, int capacity);

// Refreshes the screen metrics and the Windows generation in the application globals.
void updateScreenMetrics();
