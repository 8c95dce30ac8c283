// The pages over the registry settings: General, Input, WordMenu, Tuneup
// and Touch.
#include <windows.h>

#include <commctrl.h>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "ink/LocalInkManager.h"
#include "ink/SystemClient.h"
#include "ui/settings/SettingsHost.h"
#include "ui/settings/SettingsPage.h"
#include "ui/settings/SettingsPages.h"

#include <cwchar>

namespace {

// The service window's timer of the automatic update check.
constexpr UINT_PTR kUpdateCheckTimer = 21;
// The system client's own settings subkey: read and written directly only
// when there is no system client (the client keeps them otherwise).
const wchar_t kSystemClientKey[] = L"InnerSystemClient";

void broadcastPenChanged() {
    if (LocalInkManager* manager = getLocalInkManager())
        manager->broadcastEvent(INK_EVENT_PEN_CHANGED, 0);
}

int readClientValue(const wchar_t* name, int fallback) {
    int value = fallback;
    ReadSetting(kSystemClientKey, name, &value, SETTING_NUMBER, 0);
    return value;
}

void writeClientValue(const wchar_t* name, int value) {
    WriteSetting(kSystemClientKey, name, &value, SETTING_NUMBER, 0);
}

// ---------------------------------------------------------------- General
class GeneralPage : public SettingsPage {
    struct Box {
        int id;
        int GeneralSettings::*value;
    };
    static constexpr Box kBoxes[] = {
        {2028, &GeneralSettings::showIntroScreen}, {2031, &GeneralSettings::startInPenOnMode},
        {2030, &GeneralSettings::runAutoUpdate},   {2041, &GeneralSettings::markupAvailable},
        {2042, &GeneralSettings::clearInkOnExit},
    };

    void load() override {
        GeneralSettings& settings = generalSettings();
        for (const Box& box : kBoxes) setChecked(box.id, settings.*box.value != 0);
        int autostart = settings.autostart;
        if (isAutostartOn(&autostart)) settings.autostart = autostart;
        setChecked(2029, settings.autostart != 0);
    }

    bool apply(bool) override {
        GeneralSettings& settings = generalSettings();
        const int updateBefore = settings.runAutoUpdate;
        for (const Box& box : kBoxes) settings.*box.value = checked(box.id) ? 1 : 0;
        settings.autostart = checked(2029) ? 1 : 0;
        if (settings.runAutoUpdate != updateBefore) {
            settings.autoUpdateLastAsk = 0;
            if (HWND service = getServiceWindow()) {
                KillTimer(service, kUpdateCheckTimer);
                // What was left of a long wait armed before is dropped too,
                // or the timer would wait for it instead of checking.
                serviceState().updateWaitLeftMs = 0;
                if (settings.runAutoUpdate) SetTimer(service, kUpdateCheckTimer, 1000, nullptr);
            }
        }
        broadcastPenChanged();
        return true;
    }

    bool onControl(WORD id, WORD code, HWND) override {
        if (code != BN_CLICKED) return false;
        changed();
        return true;
    }
};

// ---------------------------------------------------------------- Input
class InputPage : public SettingsPage {
    void load() override {
        const GeneralSettings& settings = generalSettings();
        setChecked(2041, (settings.allowedInputType & 1) != 0);
        setChecked(3136, (settings.allowedInputType & 2) != 0);
        setChecked(2042, (settings.allowedInputType & 4) != 0);
        setChecked(2039, settings.autoPenOffMode != 0);
        setupSpin(2027, 0, 1800, 10, settings.autoPenOffTimeout);
        int waitNext = 1000, startHold = 500;
        if (!getSystemClientTimeouts(&waitNext, &startHold, nullptr)) {
            waitNext = readClientValue(L"waitNextStrokeTimeout", waitNext);
            startHold = readClientValue(L"startHoldTimeout", startHold);
        }
        setupSpin(2025, 100, 5000, 100, startHold);
        setupSpin(2024, 100, 10000, 100, waitNext > 10000 ? 10000 : waitNext);
        enableTimeout();
    }

    void enableTimeout() {
        enable(2022, checked(2039));
        enable(2027, checked(2039));
    }

    bool apply(bool) override {
        GeneralSettings& settings = generalSettings();
        const int penOffTimeout = static_cast<int>(number(2022));
        const int hold = static_cast<int>(number(2023));
        const int waitNext = static_cast<int>(number(2020));
        settings.allowedInputType = allowedInputTypeAfter(settings.allowedInputType, checked(2041),
                                                          checked(3136), checked(2042));
        settings.autoPenOffMode = checked(2039) ? 1 : 0;
        settings.autoPenOffTimeout = penOffTimeout;
        if (!setSystemClientTimeouts(&waitNext, &hold, &hold)) {
            writeClientValue(L"waitNextStrokeTimeout", waitNext);
            writeClientValue(L"startHoldTimeout", hold);
            writeClientValue(L"endHoldTimeout", hold);
        }
        broadcastPenChanged();
        return true;
    }

    bool onControl(WORD id, WORD code, HWND) override {
        if (code == BN_CLICKED && id == 2039) enableTimeout();
        return changedBy(code);
    }
};

// ---------------------------------------------------------------- WordMenu
class WordMenuPage : public SettingsPage {
    void load() override {
        const WordListBarSettings& settings = wordListBarSettings();
        setupSpin(3055, 6, 40, 1, fontSizeShown(settings.mainFontSize));
        setChecked(3045, settings.acceptMenuMode == 0);
        setChecked(3044, settings.autoExpandSubmenu != 0);
        setChecked(3047, settings.autoShow != 0);
        setupSpin(3056, 500, 20000, 100,
                  settings.fadingPeriod > 20000 ? 20000 : settings.fadingPeriod);
        enableFading();
    }

    void enableFading() {
        const bool on = checked(3047);
        enable(3054, on);
        enable(3056, on);
        enable(3048, on);
    }

    bool apply(bool) override {
        WordListBarSettings& settings = wordListBarSettings();
        settings.mainFontSize = static_cast<int>(number(3053)) * 10;
        settings.acceptMenuMode = checked(3045) ? 0 : 1;
        settings.autoExpandSubmenu = checked(3044) ? 1 : 0;
        settings.autoShow = autoShowAfter(checked(3047), settings.autoShow);
        settings.fadingPeriod = static_cast<int>(number(3054));
        return true;
    }

    bool onControl(WORD id, WORD code, HWND) override {
        if (code == BN_CLICKED && id == 3047) enableFading();
        return changedBy(code);
    }
};

// ---------------------------------------------------------------- Tuneup
class TuneupPage : public SettingsPage {
    struct Priority {
        int spin;
        int edit;
        int SystemClientSettings::*value;
        const wchar_t* name;
    };
    static constexpr Priority kPriorities[] = {
        {2030, 2029, &SystemClientSettings::priorityMouseCollector, L"priorityMouseCollector"},
        {2033, 2032, &SystemClientSettings::priorityInkCollector, L"priorityInkCollector"},
        {2035, 2034, &SystemClientSettings::priorityRecInter, L"priorityRecInter"},
        {2037, 2036, &SystemClientSettings::priorityRecFinal, L"priorityRecFinal"},
    };

    void load() override {
        const GeneralSettings& settings = generalSettings();
        setChecked(3149, settings.useTabletCollector != 0);
        setChecked(3148, settings.useTPCRecsOnly != 0);
        setupSpin(2039, 1, 50, 1, settings.delayAfterSendSpecSymb);
        SystemClientSettings defaults;
        SystemClient* client = getSystemClient();
        for (const Priority& p : kPriorities) {
            const int value =
                client ? client->settings().*p.value : readClientValue(p.name, defaults.*p.value);
            setupSpin(p.spin, 85, 115, 1, value);
        }
    }

    bool apply(bool) override {
        GeneralSettings& settings = generalSettings();
        settings.delayAfterSendSpecSymb = static_cast<int>(number(2038));
        SystemClient* client = getSystemClient();
        for (const Priority& p : kPriorities) {
            const int value = static_cast<int>(number(p.edit));
            if (client)
                client->settings().*p.value = value;
            else
                writeClientValue(p.name, value);
        }
        settings.useTabletCollector = checked(3149) ? 1 : 0;
        settings.useTPCRecsOnly = checked(3148) ? 1 : 0;
        applyHookTabletMode(true);
        return true;
    }

    bool onControl(WORD, WORD code, HWND) override { return changedBy(code); }
};

// ---------------------------------------------------------------- Touch
class TouchPage : public SettingsPage {
    static constexpr int kEdits[5] = {3083, 3084, 3085, 3086, 3087};

    void load() override {
        int values[5] = {0, 0, 0, 0, 0};
        hookLibrary().getTouchParams(&values[0], &values[1], &values[2], &values[3], &values[4]);
        for (int i = 0; i < 5; ++i) setNumber(kEdits[i], values[i]);
    }

    bool apply(bool) override {
        std::wstring texts[5];
        const wchar_t* pointers[5];
        for (int i = 0; i < 5; ++i) {
            texts[i] = text(kEdits[i]);
            pointers[i] = texts[i].c_str();
        }
        int values[5];
        // A box that holds no number keeps every old value (and is no refusal).
        if (parseTouchParams(pointers, values))
            hookLibrary().setTouchParams(values[0], values[1], values[2], values[3], values[4]);
        return true;
    }

    bool onControl(WORD id, WORD code, HWND) override {
        if (code != EN_CHANGE) return false;
        changed();
        return true;
    }
};

}  // namespace

int fontSizeShown(int mainFontSize) { return mainFontSize >= 400 ? 40 : mainFontSize / 10; }

int autoShowAfter(bool checked, int autoShow) {
    if (!checked) return 0;
    return autoShow == 0 ? 2 : autoShow;
}

int allowedInputTypeAfter(int allowedInputType, bool mouse, bool pen, bool finger) {
    return (allowedInputType & ~7) | (mouse ? 1 : 0) | (pen ? 2 : 0) | (finger ? 4 : 0);
}

bool parseTouchParams(const wchar_t* const texts[5], int values[5]) {
    int parsed[5];
    for (int i = 0; i < 5; ++i) {
        const wchar_t* text = texts[i];
        if (!text) return false;
        while (*text == L' ') ++text;
        if (*text < L'0' || *text > L'9') return false;
        wchar_t* end = nullptr;
        const unsigned long value = std::wcstoul(text, &end, 10);
        while (end && *end == L' ') ++end;
        if (!end || *end != 0 || value > 0x7FFFFFFFul) return false;
        parsed[i] = static_cast<int>(value);
    }
    for (int i = 0; i < 5; ++i) values[i] = parsed[i];
    return true;
}

INT_PTR CALLBACK GeneralPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return SettingsPage::procedure<GeneralPage>(page, message, wParam, lParam);
}
INT_PTR CALLBACK InputPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return SettingsPage::procedure<InputPage>(page, message, wParam, lParam);
}
INT_PTR CALLBACK WordMenuPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return SettingsPage::procedure<WordMenuPage>(page, message, wParam, lParam);
}
INT_PTR CALLBACK TuneupPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return SettingsPage::procedure<TuneupPage>(page, message, wParam, lParam);
}
INT_PTR CALLBACK TouchPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return SettingsPage::procedure<TouchPage>(page, message, wParam, lParam);
}
