// Under Wine: the time from the end of the system client's wait after the last
// stroke of a writing to its text being in the field. The real system client
// with its recognition thread, the English engine folder beside the program,
// the gesture library, the target text handlers and the system's keyboard
// typing into an edit control of this process, which has the focus; the
// strokes are the handwriting generator's "hello world", handed over as the
// pen-event thread hands them. Each sample is one writing; the figure is the
// median of the samples' times after the wait. The reference beside it is
// the recognition of the same ink alone (session, ink, answers) on the
// default profile.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Handwriting.h"
#include "harness.h"
#include "core/MemoryBlocks.h"
#include "recognition/RecWordList.h"
#include "ink/SystemClient.h"
#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "ink/LocalInkManager.h"
#include "core/Settings.h"
#include "tests/support/TempDir.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t kBenchKey[] = L"Software\\Zorvane\\ScribixBench";
constexpr int kWaitMs = 300;
constexpr char kText[] = "hello world";
constexpr wchar_t kTyped[] = L"hello world ";

// The hook library as far as the client asks it: the focus is our edit.
class FocusLibrary : public HookLibrary {
  public:
    HWND getLastFocusWindow() override { return focus; }
    int setInkDriverParams(int, int, int, int, int, int, int, int) override { return 1; }
    HWND focus = nullptr;
};

void pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::wstring textOf(HWND edit) {
    wchar_t text[256] = {};
    GetWindowTextW(edit, text, 256);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kBenchKey);
    setSettingsRootKey(kBenchKey);
    const int wait = kWaitMs;
    WriteSetting(L"InnerSystemClient", L"waitNextStrokeTimeout", &wait, SETTING_NUMBER_DIRECT, 0);
    const int noMenu = 0;
    WriteSetting(L"WordListBar", L"autoShow", &noMenu, SETTING_NUMBER, 0);
    readGeneralSettings();

    RecMgr& manager = getRecMgr();
    TempDir userData;  // the user's recognizer files of the run
    manager.setDataFolder(userData.path());
    manager.loadEngines(nullptr);
    RecModule* english = manager.getModule(L"English");
    if (!english) {
        std::fprintf(stderr, "bench: no English engine folder beside the program\n");
        return 1;
    }
    manager.setCurrentLanguage(L"English");

    handwriting::Options options;
    options.seed = 3;
    const handwriting::Writing writing = handwriting::write(kText, options);
    std::vector<std::vector<InkPoint>> strokes;
    for (size_t i = 0; i < writing.strokes.size(); ++i) {
        const std::vector<PSO_POINT> points = writing.strokePoints(i);
        std::vector<InkPoint> stroke(points.size());
        std::memcpy(stroke.data(), points.data(), points.size() * sizeof(InkPoint));
        strokes.push_back(stroke);
    }
    const std::vector<PSO_POINT> allInk = writing.pointList();

    HWND frame = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP | WS_VISIBLE, 50, 50, 400, 60,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    HWND edit = CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 400,
                                60, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(frame);
    SetFocus(edit);

    FocusLibrary hooks;
    hooks.focus = edit;
    setHookLibrary(&hooks);
    auto* inkManager = new LocalInkManager;
    appGlobals().inkManager = inkManager;
    const LocalClientRecord record = SystemClient::defaultRecord();
    auto* client = new SystemClient(&record);
    inkManager->registerClient(client);

    // One writing: its strokes, then the time until the text is in the field.
    auto oneWriting = [&]() -> double {
        SetWindowTextW(edit, L"");
        pump();
        Clock::time_point lastStroke;
        for (const std::vector<InkPoint>& stroke : strokes) {
            inkManager->activateClient(client, edit, 100, 100);
            auto* block = static_cast<InkPoint*>(allocMemory(static_cast<int>(stroke.size() * 4)));
            std::memcpy(block, stroke.data(), stroke.size() * sizeof(InkPoint));
            inkManager->passStrokeToActiveClient(block, static_cast<int>(stroke.size()));
            lastStroke = Clock::now();
        }
        const Clock::time_point limit = lastStroke + std::chrono::seconds(10);
        while (textOf(edit) != kTyped && Clock::now() < limit) {
            pump();
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
        const Clock::time_point typed = Clock::now();
        if (textOf(edit) != kTyped) return -1;
        // The delivery sleeps after typing: let it end before the next writing.
        const Clock::time_point rest = Clock::now() + std::chrono::milliseconds(400);
        while (Clock::now() < rest) {
            pump();
            Sleep(5);
        }
        return std::chrono::duration<double>(typed - lastStroke).count() - kWaitMs / 1000.0;
    };

    bench::Harness harness(argc, argv);
    harness.add("recognizing \"hello world\" (session, ink, answers)", [&] {
        RecModule::ProfileLock lock = english->lockProfiles();
        RecProfile* profile = english->getDefaultProfile();
        profile->startSession(0);
        profile->addInk(allInk.data(), static_cast<int>(allInk.size()));
        profile->endSession();
        RecWordList* answers = profile->getAnswers(false);
        bench::keep(answers);
        delete answers;
    });

    std::vector<double> samples;
    const int writings = harness.quick() ? 1 : 9;
    for (int i = 0; i < writings; ++i) {
        const double seconds = oneWriting();
        if (seconds < 0) {
            std::fprintf(stderr, "bench: the field holds \"%ls\", not \"%ls\"\n",
                         textOf(edit).c_str(), kTyped);
            return 1;
        }
        samples.push_back(seconds);
    }
    harness.addMeasured("end of the wait to the text in the field", bench::median(samples),
                        "writing");
    const int result = harness.run();

    inkManager->unregisterClient(client, true);
    appGlobals().inkManager = nullptr;
    delete inkManager;
    setHookLibrary(nullptr);
    DestroyWindow(frame);
    RegDeleteTreeW(HKEY_CURRENT_USER, kBenchKey);
    return result;
}
