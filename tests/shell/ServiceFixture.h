// The program's spine in this process with a fake hook library: a fixture
// that starts the real service window (startInkService) and shuts it down.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "FakeHookLibrary.h"
#include "TestSupport.h"
#include "core/AppGlobals.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "core/SystemHooks.h"
#include "ink/LocalInkManager.h"
#include "shell/ServiceWindow.h"
#include "shell/Startup.h"

class ServiceTest : public ::testing::Test {
  public:
    static bool pump(DWORD ms) {
        return sxtest::pumpUntil([] { return false; }, ms);
    }

  protected:
    void SetUp() override {
        previous_ = setHookLibrary(&fake_);
        ServiceState& state = serviceState();
        state.markupMode = false;
        state.snapshot = true;
        state.autoPenOffPending = false;
        state.penOffTickValid = false;
        setIntroScreen(0);
    }

    void TearDown() override {
        shutDown();
        setHookLibrary(previous_ == &fake_ ? nullptr : previous_);
        setHookThreadTimeLimit(15000);
        setServiceClock(nullptr);
    }

    void setIntroScreen(int on) {
        WriteSetting(nullptr, L"showIntroScreen", &on, SETTING_NUMBER, 0);
        const int off = 0;
        WriteSetting(nullptr, L"runAutoUpdate", &off, SETTING_NUMBER, 0);
    }

    HWND start(const wchar_t* commandLine = L"") {
        service_ = startInkService(GetModuleHandleW(nullptr), commandLine);
        return service_;
    }

    bool startAndWait() {
        return start() &&
               sxtest::pumpUntil([] { return appGlobals().servicesStarted.load(); }, 15000);
    }

    void shutDown() {
        if (HWND service = getServiceWindow()) {
            PostMessageW(service, WM_CLOSE, 0, 0);
            sxtest::runUntilQuit(5000);
        }
        stopInkService();
        sxtest::dropQuit();
    }

    LRESULT command(UINT code, LPARAM argument) {
        const LRESULT result = sxtest::sendCommand(service_, code, argument);
        sxtest::pumpUntil([] { return false; }, 30);  // what the command posted
        return result;
    }

    int penOn() { return getLocalInkManager()->getPenState().penOn; }

    std::vector<int> lastInkDriverParams() { return fake_.lastValues("setInkDriverParams"); }

    sxtest::TestSettingsKey key_{L"service"};
    FakeHookLibrary fake_;
    HookLibrary* previous_ = nullptr;
    sxtest::MessageBoxWatcher boxes_;
    HWND service_ = nullptr;
};
