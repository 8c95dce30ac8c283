#include "Settings.h"

#include <climits>
#include <cstdio>
#include <cwchar>
#include <string>

#include "AppGlobals.h"
#include "PendingServices.h"
#include "ShellLink.h"
#include "Trace.h"

namespace {

constexpr wchar_t kDefaultRoot[] = L"Software\\Zorvane\\Scribix";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kRunValue[] = L"Scribix";
// Text values are read into 256 characters; one more keeps room for the terminator
// the registry does not promise.
constexpr int kTextChars = 256;

std::wstring g_root = kDefaultRoot;
GeneralSettings g_general;
WordListBarSettings g_wordList;

// The key path for `subkey`, or false when the subkey is too long for the
// 256-character path the program allows.
bool keyPath(const wchar_t* subkey, std::wstring* path) {
    if (!subkey) {
        *path = g_root;
        return true;
    }
    if (std::wcslen(subkey) + 27 > 256) return false;
    *path = g_root + L"\\" + subkey;
    return true;
}

// Reads a REG_DWORD of exactly four bytes.
bool queryNumber(HKEY key, const wchar_t* name, int32_t* value) {
    DWORD type = 0, bytes = sizeof(*value);
    int32_t v = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&v), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof(v))
        return false;
    *value = v;
    return true;
}

// Reads a string value of at most kTextChars characters into `text`
// (kTextBuffer characters), always terminated: the registry does not promise a
// terminator, and it may add one for which a full buffer has no room.
constexpr int kTextBuffer = kTextChars + 2;
bool queryText(HKEY key, const wchar_t* name, wchar_t* text) {
    DWORD type = 0, bytes = (kTextChars + 1) * sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    text[bytes / sizeof(wchar_t)] = L'\0';
    return std::wcslen(text) <= static_cast<size_t>(kTextChars);
}

// Reads exactly `count` numbers: every character that is not a digit separates,
// a run of digits is one number (so no number is negative).
bool parseNumberList(const wchar_t* text, int32_t* out, int count) {
    int found = 0;
    const wchar_t* p = text;
    while (found < count) {
        while (*p && !(*p >= L'0' && *p <= L'9')) ++p;
        if (!*p) break;
        int64_t value = 0;
        while (*p >= L'0' && *p <= L'9') {
            if (value <= INT_MAX) value = value * 10 + (*p - L'0');
            ++p;
        }
        out[found++] = static_cast<int32_t>(value > INT_MAX ? INT_MAX : value);
    }
    return found == count;
}

bool convertText(const wchar_t* text, void* target, int type, int size) {
    switch (type) {
        case SETTING_STRING: {
            const size_t length = std::wcslen(text);
            if (size <= 0 || length + 1 > static_cast<size_t>(size)) return false;
            std::wmemcpy(static_cast<wchar_t*>(target), text, length + 1);
            return true;
        }
        case SETTING_POINT: {
            auto* pt = static_cast<POINT*>(target);
            return swscanf(text, L"%ld,%ld", &pt->x, &pt->y) == 2;
        }
        case SETTING_RECT: {
            auto* r = static_cast<RECT*>(target);
            return swscanf(text, L"%ld,%ld,%ld,%ld", &r->left, &r->top, &r->right, &r->bottom) == 4;
        }
        case SETTING_COLOR: {
            int red = 0, green = 0, blue = 0;
            if (swscanf(text, L"RGB(%d,%d,%d)", &red, &green, &blue) != 3) return false;
            *static_cast<COLORREF*>(target) = RGB(red, green, blue);
            return true;
        }
        case SETTING_NUMBER_LIST:
            return size >= 1 && parseNumberList(text, static_cast<int32_t*>(target), size);
        default:
            return false;
    }
}

// The registry text of a value of types 4 to 7; false when it does not fit in
// what ReadSetting can read back.
bool formatText(const void* source, int type, int count, std::wstring* text) {
    wchar_t buffer[kTextChars];
    switch (type) {
        case SETTING_POINT: {
            auto* pt = static_cast<const POINT*>(source);
            _snwprintf(buffer, kTextChars, L"%ld,%ld", pt->x, pt->y);
            break;
        }
        case SETTING_RECT: {
            auto* r = static_cast<const RECT*>(source);
            _snwprintf(buffer, kTextChars, L"%ld,%ld,%ld,%ld", r->left, r->top, r->right,
                       r->bottom);
            break;
        }
        case SETTING_COLOR: {
            COLORREF c = *static_cast<const COLORREF*>(source);
            _snwprintf(buffer, kTextChars, L"RGB(%d,%d,%d)", GetRValue(c), GetGValue(c),
                       GetBValue(c));
            break;
        }
        case SETTING_NUMBER_LIST: {
            auto* values = static_cast<const int32_t*>(source);
            text->clear();
            for (int i = 0; i < count; ++i) {
                _snwprintf(buffer, kTextChars, i == 0 ? L"%d" : L",%d", values[i]);
                buffer[kTextChars - 1] = L'\0';
                *text += buffer;
            }
            return count >= 1 && text->size() < static_cast<size_t>(kTextChars);
        }
        default:
            return false;
    }
    buffer[kTextChars - 1] = L'\0';
    *text = buffer;
    return true;
}

}  // namespace

void setSettingsRootKey(const wchar_t* path) { g_root = path && *path ? path : kDefaultRoot; }
const wchar_t* settingsRootKey() { return g_root.c_str(); }

int ReadSetting(const wchar_t* subkey, const wchar_t* name, void* target, int type, int size) {
    std::wstring path;
    if (!keyPath(subkey, &path) || type < SETTING_NUMBER || type > SETTING_FLAG || !target)
        return 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    bool ok = false;
    if (type == SETTING_NUMBER || type == SETTING_NUMBER_DIRECT || type == SETTING_FLAG) {
        int32_t value = 0;
        ok = queryNumber(key, name, &value);
        if (ok && type == SETTING_FLAG)
            *static_cast<uint8_t*>(target) = value != 0 ? 1 : 0;
        else if (ok)
            *static_cast<int32_t*>(target) = value;
    } else {
        wchar_t text[kTextBuffer];
        ok = queryText(key, name, text) && convertText(text, target, type, size);
    }
    RegCloseKey(key);
    return ok ? 1 : 0;
}

int WriteSetting(const wchar_t* subkey, const wchar_t* name, const void* source, int type,
                 int count) {
    std::wstring path;
    if (!keyPath(subkey, &path) || type < SETTING_NUMBER || type > SETTING_FLAG || !source)
        return 0;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 0;
    LONG status = ERROR_INVALID_DATA;
    if (type == SETTING_NUMBER || type == SETTING_NUMBER_DIRECT || type == SETTING_FLAG) {
        DWORD value = type == SETTING_FLAG ? (*static_cast<const uint8_t*>(source) ? 1 : 0)
                                           : *static_cast<const DWORD*>(source);
        status = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                sizeof value);
    } else {
        std::wstring text;
        const wchar_t* data = nullptr;
        if (type == SETTING_STRING) {
            data = static_cast<const wchar_t*>(source);
        } else if (formatText(source, type, count, &text)) {
            data = text.c_str();
        }
        if (data)
            status = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                    static_cast<DWORD>((std::wcslen(data) + 1) * sizeof(wchar_t)));
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 1 : 0;
}

GeneralSettings& generalSettings() { return g_general; }
WordListBarSettings& wordListBarSettings() { return g_wordList; }

void resetSettingsToDefaults() {
    g_general = GeneralSettings();
    g_wordList = WordListBarSettings();
}

namespace {

// One general value: its name, type and variable (size for strings).
struct GeneralValue {
    const wchar_t* name;
    int type;
    void* (*field)(GeneralSettings&);
    int size;
};

#define FIELD(member) [](GeneralSettings& s) -> void* { return &s.member; }
const GeneralValue kGeneralValues[] = {
    {L"markupAvailable", SETTING_NUMBER, FIELD(markupAvailable), 0},
    {L"clearInkOnExit", SETTING_NUMBER, FIELD(clearInkOnExit), 0},
    {L"showToolbar", SETTING_NUMBER, FIELD(showToolbar), 0},
    {L"multiMonitorInking", SETTING_NUMBER, FIELD(multiMonitorInking), 0},
    {L"copyBitsFromScreen", SETTING_NUMBER, FIELD(copyBitsFromScreen), 0},
    {L"autoPenOffMode", SETTING_NUMBER, FIELD(autoPenOffMode), 0},
    {L"autoPenOffTimeout", SETTING_NUMBER_DIRECT, FIELD(autoPenOffTimeout), 0},
    {L"startInPenOnMode", SETTING_NUMBER, FIELD(startInPenOnMode), 0},
    {L"allowedInputType", SETTING_NUMBER, FIELD(allowedInputType), 0},
    {L"superGestureAllowed", SETTING_NUMBER, FIELD(superGestureAllowed), 0},
    {L"superGestureID", SETTING_NUMBER, FIELD(superGestureID), 0},
    {L"superGestureScreenArea", SETTING_RECT, FIELD(superGestureScreenArea), 0},
    {L"delayAfterSendSpecSymb", SETTING_NUMBER, FIELD(delayAfterSendSpecSymb), 0},
    {L"barClickMaxDist", SETTING_NUMBER, FIELD(barClickMaxDist), 0},
    {L"showCurrentRecProfile", SETTING_NUMBER, FIELD(showCurrentRecProfile), 0},
    {L"useContextReco", SETTING_NUMBER, FIELD(useContextReco), 0},
    {L"useAppFilters", SETTING_NUMBER, FIELD(useAppFilters), 0},
    {L"useProfileScope", SETTING_NUMBER, FIELD(useProfileScope), 0},
    {L"showIntroScreen", SETTING_NUMBER, FIELD(showIntroScreen), 0},
    {L"autoCreateRecForTPC", SETTING_NUMBER, FIELD(autoCreateRecForTPC), 0},
    {L"useTPCRecsOnly", SETTING_NUMBER, FIELD(useTPCRecsOnly), 0},
    {L"useTabletCollector", SETTING_NUMBER, FIELD(useTabletCollector), 0},
    {L"autoUpdateCorrectionBtn", SETTING_NUMBER, FIELD(autoUpdateCorrectionBtn), 0},
    {L"runAutoUpdate", SETTING_NUMBER, FIELD(runAutoUpdate), 0},
    {L"autoUpdateLastAsk", SETTING_NUMBER_DIRECT, FIELD(autoUpdateLastAsk), 0},
    {L"autoUpdatePeriodDays", SETTING_NUMBER_DIRECT, FIELD(autoUpdatePeriodDays), 0},
    {L"regKey", SETTING_STRING, FIELD(regKey), 64},
    {L"autoUpdateSkipVersion", SETTING_STRING, FIELD(autoUpdateSkipVersion), 32},
    {L"useGuardWindow", SETTING_NUMBER, FIELD(useGuardWindow), 0},
};
#undef FIELD

struct WordListValue {
    const wchar_t* name;
    int type;
    void* (*field)(WordListBarSettings&);
};

#define FIELD(member) [](WordListBarSettings& s) -> void* { return &s.member; }
const WordListValue kWordListValues[] = {
    {L"acceptMenuMode", SETTING_NUMBER, FIELD(acceptMenuMode)},
    {L"allowSelCorrection", SETTING_NUMBER, FIELD(allowSelCorrection)},
    {L"customMenuPosition", SETTING_POINT, FIELD(customMenuPosition)},
    {L"correctRecTimeout", SETTING_NUMBER_DIRECT, FIELD(correctRecTimeout)},
    {L"horizontalLayout", SETTING_NUMBER, FIELD(horizontalLayout)},
    {L"autoShow", SETTING_NUMBER, FIELD(autoShow)},
    {L"autoExpandSubmenu", SETTING_NUMBER, FIELD(autoExpandSubmenu)},
    {L"useLetterGuesser", SETTING_NUMBER, FIELD(useLetterGuesser)},
    {L"startTransparency", SETTING_NUMBER, FIELD(startTransparency)},
    {L"endTransparency", SETTING_NUMBER, FIELD(endTransparency)},
    {L"fadingPeriod", SETTING_NUMBER, FIELD(fadingPeriod)},
    {L"fadingDelta", SETTING_NUMBER, FIELD(fadingDelta)},
    {L"mainFontSize", SETTING_NUMBER, FIELD(mainFontSize)},
};
#undef FIELD

constexpr wchar_t kWordListBar[] = L"WordListBar";

}  // namespace

int readGeneralSettings() {
    int all = 1;
    for (const GeneralValue& v : kGeneralValues) {
        const int read = ReadSetting(nullptr, v.name, v.field(g_general), v.type, v.size);
        if (!read && v.type != SETTING_NUMBER_DIRECT) all = 0;
    }
    readWordListBarSettings();
    int on = 0;
    if (isAutostartOn(&on)) g_general.autostart = on;
    return all;
}

void writeGeneralSettings() {
    for (const GeneralValue& v : kGeneralValues) {
        int showToolbar = g_general.showToolbar;
        void* value = v.field(g_general);
        // While markup mode hides the main bar, the stored choice stays "shown".
        if (value == &g_general.showToolbar && showToolbar == 0 &&
            shellLink().markupBarWillShowMainBar()) {
            showToolbar = 1;
            value = &showToolbar;
        }
        WriteSetting(nullptr, v.name, value, v.type, 0);
    }
    writeWordListBarSettings();
    setAutostart(g_general.autostart != 0);
}

void readWordListBarSettings() {
    for (const WordListValue& v : kWordListValues)
        ReadSetting(kWordListBar, v.name, v.field(g_wordList), v.type, 0);
}

void writeWordListBarSettings() {
    for (const WordListValue& v : kWordListValues)
        WriteSetting(kWordListBar, v.name, v.field(g_wordList), v.type, 0);
}

int loadPenSettings(const wchar_t* subkey, PenSettings* pen) {
    if (!pen) return 0;
    int read = 0;
    read += ReadSetting(subkey, L"PenType", &pen->type, SETTING_NUMBER, 0);
    read += ReadSetting(subkey, L"PenWidth", &pen->width, SETTING_NUMBER, 0);
    read += ReadSetting(subkey, L"PenAntialiasing", &pen->antialiasing, SETTING_NUMBER, 0);
    read += ReadSetting(subkey, L"PenColor", &pen->color, SETTING_COLOR, 0);
    return read == 4 ? 1 : 0;
}

void savePenSettings(const wchar_t* subkey, const PenSettings* pen) {
    if (!pen) return;
    WriteSetting(subkey, L"PenType", &pen->type, SETTING_NUMBER, 0);
    WriteSetting(subkey, L"PenWidth", &pen->width, SETTING_NUMBER, 0);
    WriteSetting(subkey, L"PenAntialiasing", &pen->antialiasing, SETTING_NUMBER, 0);
    WriteSetting(subkey, L"PenColor", &pen->color, SETTING_COLOR, 0);
}

bool isAutostartOn(int* on) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    const bool exists =
        RegQueryValueExW(key, kRunValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (on) *on = exists ? 1 : 0;
    return true;
}

void autostartCommand(const wchar_t* programPath, wchar_t* command, int capacity) {
    if (!command || capacity <= 0) return;
    // The shell splits an unquoted command line at the first blank.
    const bool quote = std::wcschr(programPath, L' ') != nullptr;
    _snwprintf(command, capacity, quote ? L"\"%ls\"" : L"%ls", programPath);
    command[capacity - 1] = L'\0';
}

bool setAutostart(bool on) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    bool ok = true;
    if (on) {
        wchar_t program[MAX_PATH + 1];
        const DWORD n = GetModuleFileNameW(nullptr, program, MAX_PATH + 1);
        if (n == 0 || n > MAX_PATH) {
            RegCloseKey(key);
            return false;
        }
        wchar_t command[MAX_PATH + 4];
        autostartCommand(program, command, MAX_PATH + 4);
        wchar_t stored[kTextBuffer];
        const bool same = queryText(key, kRunValue, stored) && std::wcscmp(stored, command) == 0;
        if (!same)
            ok = RegSetValueExW(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command),
                                static_cast<DWORD>((std::wcslen(command) + 1) * sizeof(wchar_t))) ==
                 ERROR_SUCCESS;
    } else if (RegQueryValueExW(key, kRunValue, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS) {
        const LONG status = RegDeleteValueW(key, kRunValue);
        if (status != ERROR_SUCCESS) {
            debugTrace(L"RegDeleteKey() return is %d\n", static_cast<int>(status));
            ok = false;
        }
    }
    RegCloseKey(key);
    return ok;
}

void updateScreenMetrics() {
    AppGlobals& g = appGlobals();
    g.cxScreen = GetSystemMetrics(SM_CXSCREEN);
    g.cyScreen = GetSystemMetrics(SM_CYSCREEN);
    g.cxVirtualScreen = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    g.cyVirtualScreen = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    g.xVirtualScreen = GetSystemMetrics(SM_XVIRTUALSCREEN);
    g.yVirtualScreen = GetSystemMetrics(SM_YVIRTUALSCREEN);
    g.cyMenu = GetSystemMetrics(SM_CYMENU);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL known = GetVersionExW(&version);
#pragma GCC diagnostic pop
    int generation = 1;
    if (known && version.dwMajorVersion == 4)
        generation = 3;
    else if (known && version.dwMajorVersion == 5 && version.dwMinorVersion != 0)
        generation = 2;
    g.windowsGeneration = generation;
}
