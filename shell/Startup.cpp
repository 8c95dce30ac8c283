#include "Startup.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "ink/LocalInkManager.h"
#include "core/PendingServices.h"
#include "ink/InkCollectorBridge.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/ShellLink.h"
#include "BindShow.h"
#include "ServiceWindow.h"
#include "core/Settings.h"
#include "Splash.h"
#include "Stickers.h"
#include "UpdateCheck.h"
#include "core/SystemHooks.h"
#include "ui/tips/Tips.h"
#include "ui/binding/BindPanel.h"
#include "ui/menus/WordListMenu.h"
#include "core/Trace.h"
#include "outside/ZVCrashRep.h"
#include "ink/InkTrace.h"
#include "ink/KeyboardOutput.h"
#include "ink/MacroOutput.h"
#include "ink/LiveInk.h"
#include "ink/RecResult.h"
#include "ink/TransparentLayer.h"
#include "recognition/RecMgr.h"
#include "resources/resource.h"
#include "win/Checks.h"
#include "win/Gdiplus.h"
#include "win/WinString.h"
#include "win/Window.h"

namespace {

constexpr wchar_t kMutexName[] = L"ScribixOneAppMutex";
// How long the shut-down waits for the update check to end.
constexpr DWORD kUpdateThreadStopMs = 3000;
constexpr wchar_t kSupportMail[] = L"SMTP:support@zorvane.com";

// The messages lower-integrity processes (the hook library's hosts) may post.
constexpr UINT kFilteredMessages[] = {3026, 3027, 3030, 3031, 3025, 3064, 3065,
                                      3034, 3033, 3096, 3052, 3066, 3049};

std::atomic<bool> g_stopped{true};  // stopInkService has run for this start
DWORD g_mainThread = 0;
bool g_servicesRan = false;
// Message 3024 has started the services of this start: any window on the
// desktop can post it again, and a second start would make a second ink
// manager with its windows and threads and lose the first.
bool g_servicesStartTaken = false;

void releaseMutex() {
    HANDLE mutex = appGlobals().oneAppMutex;
    if (mutex) ReleaseMutex(mutex);
}

template <typename F>
F lookUp(const wchar_t* module, const char* name) {
    HMODULE handle = GetModuleHandleW(module);
    return handle ? reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(handle, name)))
                  : nullptr;
}

bool registerWindowClasses(HINSTANCE instance) {
    struct ClassEntry {
        const wchar_t* name;
        WNDPROC procedure;
        bool arrow;
        const wchar_t* failure;
    };
    HCURSOR arrow = LoadCursorW(nullptr, IDC_ARROW);

    win::WindowClass service;
    service.name = SERVICE_WINDOW_CLASS;
    service.procedure = ServiceWndProc;
    service.instance = instance;
    service.icon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SCRIBIX));
    service.windowExtra = 4;
    if (!win::registerClass(service)) {
        debugTrace(L"RegisterClass Failed\n");
        return false;
    }
    appGlobals().tabletPC = GetSystemMetrics(SM_TABLETPC);

    const ClassEntry others[] = {
        {L"VexaInkServiceMenuOwnerClass", MenuOwnerWndProc, true, L"RegisterClass Failed\n"},
        {TIPS_WINDOW_CLASS, Tips::TipsWndProc, true, L"Tips::RegisterClass Failed\n"},
        {L"VexaInkServiceMenuBarWndClass", MenuBarWndProc, true, L"MenuBar:RegisterClass Failed\n"},
        {L"TestClass", DefWindowProcW, false, L"RegisterClass Failed\n"},
        {INK_LAYER_WINDOW_CLASS, TransparentLayerWndProc, false,
         L"TransparentLayer RegisterClass Failed\n"},
        {L"ScribixMarkupCtrlWndClass", MarkupCtrlWndProc, false,
         L"MarkupCtrlWnd RegisterClass Failed\n"},
        {L"ScribixTraceGuardWndClass", TraceGuardWndProc, false,
         L"TraceGuardWnd RegisterClass Failed\n"},
    };
    for (const ClassEntry& entry : others) {
        win::WindowClass c;
        c.name = entry.name;
        c.procedure = entry.procedure;
        c.instance = instance;
        c.cursor = entry.arrow ? arrow : nullptr;
        if (!win::registerClass(c)) {
            debugTrace(entry.failure);
            return false;
        }
    }
    return true;
}

// A helper window 110 pixels left of and above the virtual screen, 10 x 10.
HWND createOffscreenWindow(DWORD exStyle, const wchar_t* className, const wchar_t* title,
                           DWORD style, HWND owner) {
    const AppGlobals& g = appGlobals();
    return CreateWindowExW(exStyle, className, title, style, g.xVirtualScreen - 110,
                           g.yVirtualScreen - 110, 10, 10, owner, nullptr, g.instance, nullptr);
}

void startDaemon64() {
    const std::wstring folder = win::moduleFolder(nullptr);
    const std::wstring program = folder + L"\\ScribixDaemon64.exe";
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    // No error box of the shell when the helper is missing: start-up goes on.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_HIDE;
    MouseTransparentScope transparent;
    if (ShellExecuteExW(&info) && info.hProcess) {
        WaitForInputIdle(info.hProcess, 1000);
        CloseHandle(info.hProcess);
    } else {
        debugTrace(L"startInkService: ScribixDaemon64 did not start (%d)\n",
                   static_cast<int>(GetLastError()));
    }
}

void makeInstallationId() {
    GeneralSettings& settings = generalSettings();
    if (settings.regKey[0]) return;
    GUID id;
    if (FAILED(CoCreateGuid(&id))) return;
    _snwprintf(settings.regKey, 64, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
               static_cast<unsigned>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1],
               id.Data4[2], id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
    settings.regKey[63] = L'\0';
    WriteSetting(nullptr, L"regKey", settings.regKey, SETTING_STRING, 0);
}

// What runs at every exit from the guarded block: the services stop, the
// screen-reader flag goes off.
void leaveGuardedBlock() {
    if (g_servicesRan) stopInkService();
    SystemParametersInfoW(SPI_SETSCREENREADER, FALSE, nullptr, SPIF_SENDCHANGE);
}

void announceResultChanged() {
    if (LocalInkManager* manager = getLocalInkManager())
        manager->broadcastEvent(INK_EVENT_RESULT_CHANGED, 0);
}

// What the floors below the shell ask of it, handed down at start-up.
class ShellOwnLink : public ShellLink {
  public:
    void showMainMenu(int variant) override { ::showMainMenu(variant); }
    void measureMenuPicture(MEASUREITEMSTRUCT* item) override { ::measureMenuPicture(item); }
    void drawMenuPicture(const DRAWITEMSTRUCT* item) override { ::drawMenuPicture(item); }
    bool showSingleSticker(const wchar_t* text, int ms, const POINT* point) override {
        return ::showSingleSticker(text, ms, point);
    }
    void addSticker(int x, int y, int flags, int ms, const wchar_t* text) override {
        stickers().addSticker(x, y, flags, ms, text, nullptr);
    }
    void clearStickers() override { stickers().clear(); }
    void startBindShow(int periodMs) override { ::startBindShow(static_cast<DWORD>(periodMs)); }
    void wakeBindShow() override { ::wakeBindShow(); }
    void stopBindShow() override { ::stopBindShow(); }
    bool bindShowUpdatePending() override { return ::bindShowUpdatePending(); }
    void showAllStickers() override { stickers().showAll(); }
    void showMainBar(bool show) override { ::showMainBar(show); }
    void wakeMainBar(int ms) override { ::wakeMainBar(ms); }
    bool isBarMasterRegistered() override { return ::isBarMasterRegistered(); }
    bool isSettingsDialogOpen() override { return ::isSettingsDialogOpen(); }
    bool markupBarWillShowMainBar() override { return ::markupBarWillShowMainBar(); }
    bool markupBarExists() override { return ::markupBarExists(); }
    HWND markupBarWindow() override { return ::markupBarWindow(); }
    LocalClient* markupBarClient() override { return ::markupBarClient(); }
    void setMarkupBarAboveLayer(bool above) override { ::setMarkupBarAboveLayer(above); }
    void switchMarkupMode(bool on) override { ::switchMarkupMode(on); }
    int showPunctuationPopup(void* ownerList, HWND window, POINT position, int mode) override {
        return ::showPunctuationPopup(ownerList, window, position, mode);
    }
    CBindingInfo* copyStickerBindingInfo(HWND tipWindow) override {
        return ::copyStickerBindingInfo(tipWindow);
    }
};

// What the records and the ink need of the rest of the program.
void connectInkServices() {
    RecResultEvents events;
    events.clearPendingProfileChoice = clearPendingProfileChoice;
    events.forgetLastWritingProfile = forgetLastWritingProfile;
    events.resultChanged = announceResultChanged;
    setRecResultEvents(events);
    InkTrace::setScreenRestore(restoreScreenArea);
    setMacroLink(&inkMacroLink());
}

// Destroys a window the UI thread made, on that thread.
void destroyOwnWindow(HWND* window, const win::OwnerThread& owner) {
    if (*window && IsWindow(*window)) {
        owner.check("destroyed");
        DestroyWindow(*window);
    }
    *window = nullptr;
}

}  // namespace

CommandSwitch parseCommandSwitch(const wchar_t* commandLine) {
    if (!commandLine) return CommandSwitch::None;
    const wchar_t* p = commandLine;
    while (*p == L' ' || *p == L'\t') ++p;
    if (p[0] != L'/') return CommandSwitch::None;
    switch (p[1]) {
        case L'0':
            return CommandSwitch::PenOff;
        case L'1':
            return CommandSwitch::PenOn;
        case L'2':
            return CommandSwitch::Toggle;
        default:
            return CommandSwitch::None;
    }
}

bool userDataFolder(wchar_t* path, int capacity) {
    wchar_t appData[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData)))
        return false;
    const int n = _snwprintf(path, capacity, L"%ls\\Scribix", appData);
    return n > 0 && n < capacity;
}

LRESULT CALLBACK TraceGuardWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            // Nothing is drawn, but the update region is cleared, or WM_PAINT comes back forever.
            ValidateRect(window, nullptr);
            return 0;
        case WM_ERASEBKGND:
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

LONG WINAPI crashFilter(EXCEPTION_POINTERS* exception) {
    HookLibrary& hooks = hookLibrary();
    hooks.setMouseTransparent();
    const LONG verdict = ZvCrashRepExceptionFilter(exception);
    hooks.unsetMouseTransparent();
    // The process ends: the main thread's block is left, so its termination work runs.
    if (verdict == EXCEPTION_EXECUTE_HANDLER && GetCurrentThreadId() == g_mainThread)
        leaveGuardedBlock();
    return verdict;
}

int AppMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    g_mainThread = GetCurrentThreadId();
    win::setMainThread(g_mainThread);
    // A checked run validates the heaps once everything is gone, the static
    // objects made after this point too: damage done at shut-down shows.
    if (win::checkedRun()) std::atexit([] { win::validateHeaps(); });
    g_servicesRan = false;
    ZvCrashRepMailOptions(kSupportMail, 0);
    LPTOP_LEVEL_EXCEPTION_FILTER previous = SetUnhandledExceptionFilter(crashFilter);
    if (startInkService(instance, commandLine)) {
        g_servicesRan = true;
        win::runMessageLoop();
    }
    leaveGuardedBlock();
    SetUnhandledExceptionFilter(previous);
    return 1;
}

HWND startInkService(HINSTANCE instance, const wchar_t* commandLine) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    debugTrace(L"startInkService begin\n");
    setShellLink(&shellOwnLink());
    g_stopped = false;
    g_servicesStartTaken = false;
    AppGlobals& g = appGlobals();
    g.startupFinished = false;
    g.servicesStarted = false;

    const CommandSwitch command = parseCommandSwitch(commandLine);
    g.commandSwitchGiven = command == CommandSwitch::PenOff || command == CommandSwitch::PenOn;
    g.switchPenState = command == CommandSwitch::PenOn;

    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    if (auto isWow64 = lookUp<IsWow64ProcessFn>(L"kernel32", "IsWow64Process")) {
        BOOL wow64 = FALSE;
        g.wow64 = isWow64(GetCurrentProcess(), &wow64) && wow64;
    }

    g.instance = instance;
    updateScreenMetrics();
    if (g.windowsGeneration == 2) generalSettings().useTabletCollector = 1;

    if (g.oneAppMutex) CloseHandle(g.oneAppMutex);
    g.oneAppMutex = CreateMutexW(nullptr, FALSE, kMutexName);
    if (!g.oneAppMutex) {
        showMessage(L"Scribix failed to initialize mutex object.");
        CoUninitialize();
        return nullptr;
    }
    // An instance that died holding the mutex leaves it abandoned: it is ours then.
    const DWORD waited = WaitForSingleObject(g.oneAppMutex, 250);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CoUninitialize();
        return nullptr;
    }

    HWND running = FindWindowW(SERVICE_WINDOW_CLASS, nullptr);
    if (!running) {
        Sleep(50);
        running = FindWindowW(SERVICE_WINDOW_CLASS, nullptr);
    }
    if (running) {
        if (command == CommandSwitch::Toggle)
            PostMessageW(running, WM_INK_SETPEN, 0, 1);
        else if (g.commandSwitchGiven)
            PostMessageW(running, WM_INK_SETPEN, g.switchPenState ? 1 : 0, 0);
        else
            showMessage(L"Scribix is already running.");
        releaseMutex();
        CoUninitialize();
        return nullptr;
    }

    if (!registerWindowClasses(instance)) {
        releaseMutex();
        CoUninitialize();
        return nullptr;
    }

    HWND service = CreateWindowExW(WS_EX_TOOLWINDOW, SERVICE_WINDOW_CLASS, SERVICE_WINDOW_TITLE,
                                   0x02EC0000, g.xVirtualScreen - 200, g.yVirtualScreen - 200, 100,
                                   100, nullptr, nullptr, instance, nullptr);
    g.serviceWindow = service;
    if (service) {
        SetForegroundWindow(service);
        ShowWindow(service, SW_HIDE);
    }

    if (!service || !hookLibrary().SetInitValues() || !StartHookThread()) {
        g.startupFinished = true;
        stopInkService();
        releaseMutex();
        return nullptr;
    }

    if (g.startDelay)
        SetTimer(service, TIMER_DELAYED_START, g.startDelay, nullptr);
    else
        PostMessageW(service, WM_INK_START_SERVICES, 0, 0);

    ReadSetting(nullptr, L"showIntroScreen", &generalSettings().showIntroScreen, SETTING_NUMBER, 0);
    if (generalSettings().showIntroScreen)
        startSplash(service, g.cxScreen / 2, g.cyScreen / 2, IDB_SPLASH, 1, 3000, 10000);

    SetPriorityClass(GetCurrentProcess(), HIGH_PRIORITY_CLASS);
    releaseMutex();
    return service;
}

int OnStartServices(HWND service) {
    if (g_servicesStartTaken) {
        debugTrace(L"OnStartServices: the services have started already\n");
        return 0;
    }
    g_servicesStartTaken = true;
    AppGlobals& g = appGlobals();
    GeneralSettings& settings = generalSettings();

    using ChangeWindowMessageFilterFn = BOOL(WINAPI*)(UINT, DWORD);
    using SetProcessDPIAwareFn = BOOL(WINAPI*)();
    auto changeFilter = lookUp<ChangeWindowMessageFilterFn>(L"user32", "ChangeWindowMessageFilter");
    if (auto dpiAware = lookUp<SetProcessDPIAwareFn>(L"user32", "SetProcessDPIAware")) dpiAware();
    if (changeFilter)
        for (UINT message : kFilteredMessages) changeFilter(message, 1 /* MSGFLT_ADD */);

    initRecognitionManager(0);
    g.digitizerReady = (GetSystemMetrics(SM_DIGITIZER) & 0x40) != 0;
    HookLibrary& hooks = hookLibrary();
    hooks.setMouseTransparent();

    readGeneralSettings();
    loadBarSettings();
    makeInstallationId();

    connectInkServices();
    g.inkManager = new (std::nothrow) LocalInkManager;
    applyInkDriverParams(0, 0, 1, 0, 0, 0, 0, 0);
    applyHookTabletMode();

    g.layerOwner.adoptOnMainThread("ink layer made");
    g.guardWindow = settings.useGuardWindow
                        ? createOffscreenWindow(
                              WS_EX_NOACTIVATE | WS_EX_TOPMOST, L"ScribixTraceGuardWndClass",
                              L"ScribixTraceGuardWndName", WS_POPUP | WS_CLIPSIBLINGS, nullptr)
                        : nullptr;
    emptyInkLayerDirtyRect();
    g.inkLayerWindow = createInkLayerWindow(g.instance);
    // With the collector path on, the layer makes the collector now, as its
    // reset does (a failure there hands tablet input back to the hooks).
    if (g.inkLayerWindow && tabletCollectorSwitchesOn())
        PostMessageW(g.inkLayerWindow, WM_INK_LAYER_COLLECTOR, 0, 0);
    g.markupCtrlWindow = createOffscreenWindow(WS_EX_TOOLWINDOW, L"ScribixMarkupCtrlWndClass",
                                               L"ScribixMarkupCtrlWndName", WS_POPUP, service);
    if (!markupBarExists()) createMarkupBar();

    // A service that cannot start closes the window; start-up ends either way.
    auto fail = [&](const wchar_t* trace) {
        PostMessageW(service, WM_CLOSE, 0, 0);
        g.startupFinished = true;
        hooks.unsetMouseTransparent();
        debugTrace(trace);
        return 0;
    };
    if (!g.inkManager) return fail(L"==== !_pLocalInkManager\n");
    g.inkManager->createIconsManager();
    installWordListMenu();
    startInkBlotClient();
    if (!startSystemClient(g.instance)) return fail(L"==== !startSystemClient(_hInst)\n");

    g.startupFinished = true;
    wchar_t folder[MAX_PATH], filterPath[MAX_PATH + 32];
    if (userDataFolder(folder, MAX_PATH)) {
        _snwprintf(filterPath, MAX_PATH + 32, L"%ls\\%ls", folder, L"AppsFilter.xml");
        filterPath[MAX_PATH + 31] = L'\0';
        loadAppsFilter(filterPath);
    }

    g.markupCursor = LoadCursorW(g.instance, L"MARKER_CURSOR");
    g.gdiplusToken = win::startGdiplus();
    hooks.unsetMouseTransparent();

    if (g.wow64) startDaemon64();

    if (settings.showIntroScreen) {
        Sleep(100);
        waitForSplash();
    }
    applyInkDriverParams(g.inkManager->getPenState().penOn, 0, 1, 0, 0, 0, 0, 0);
    showMainBar(settings.showToolbar != 0);
    return 1;
}

void stopInkService() {
    if (g_stopped.exchange(true)) return;
    debugTrace(L"====++++stopInkService()++++====\n");
    AppGlobals& g = appGlobals();
    // Before anything the update check reads goes: it must not be left
    // inside a fetch or a retry wait while the program ends.
    stopUpdateThread(kUpdateThreadStopMs);

    // Markup mode ends while its bar, its canvas and the clipping tool are
    // all still there: the ink manager deletes the bar with its clients next.
    if (serviceState().markupMode) switchMarkupMode(false);
    // Binding mode ends before the ink manager deletes its clients: a panel
    // whose menu is running (the close came inside it) is left to the menu,
    // which deletes it when it returns.
    closeBindPanel();

    LocalInkManager* manager = g.inkManager;
    g.inkManager = nullptr;
    const bool threadsEnded = destroyLocalInkManager(manager);

    closeTabletCollector();
    removeHooks();
    stopHookThread();
    stopBindShow(2000);

    // Every window goes on the thread that made it: this one, or the splash's own.
    endSplash();
    destroyOwnWindow(&g.guardWindow, g.layerOwner);
    destroyOwnWindow(&g.inkLayerWindow, g.layerOwner);
    destroyOwnWindow(&serviceState().menuOwner, serviceState().menuOwnerThread);
    g.markupCtrlWindow = nullptr;  // owned by the service window, which takes it along

    HWND service = g.serviceWindow;
    g.serviceWindow = nullptr;
    g.servicesStarted = false;
    if (service && IsWindow(service)) SendMessageW(service, WM_CLOSE, 0, 0);

    releaseServiceResources();
    clearRecResults();
    // The pen-event thread lets go of live ink as it ends; one that is still
    // running keeps it.
    if (threadsEnded) releaseLiveInk();
    releaseTypingState();
    win::stopGdiplus(g.gdiplusToken);
    g.gdiplusToken = 0;
    CoUninitialize();
}

ShellLink& shellOwnLink() {
    static ShellOwnLink link;
    return link;
}
