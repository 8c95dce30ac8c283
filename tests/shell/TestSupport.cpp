#include "TestSupport.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>

#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "win/WinString.h"

namespace sxtest {

std::wstring binFolder() { return win::moduleFolder(nullptr); }

bool pumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool waitUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= ms) return false;
        Sleep(10);
    }
    return true;
}

bool runUntilQuit(DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return true;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount() - start >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

void dropQuit() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

size_t threadsOfThisProcess() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    size_t n = 0;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++n;
    CloseHandle(snapshot);
    return n;
}

HWND createTestWindow(const wchar_t* className, WNDPROC procedure, DWORD exStyle, DWORD style,
                      int x, int y, int width, int height) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    return CreateWindowExW(exStyle, className, L"", style, x, y, width, height, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

bool pickLastMenuItem(DWORD ms) {
    // The program's text menu, laid out on the screen (it is made off-screen
    // first), or a system popup menu.
    HWND menu = nullptr;
    bool textMenu = false;
    if (!waitUntil(
            [&] {
                menu = FindWindowW(L"VexaInkServiceMenuBarWndClass", L"PureTextMenu");
                RECT r;
                textMenu = menu && IsWindowVisible(menu) && GetWindowRect(menu, &r) &&
                           r.left >= GetSystemMetrics(SM_XVIRTUALSCREEN) && r.bottom - r.top > 20;
                if (textMenu) return true;
                menu = FindWindowW(L"#32768", nullptr);
                return menu && IsWindowVisible(menu);
            },
            ms))
        return false;
    if (!textMenu) {
        PostMessageW(menu, WM_KEYDOWN, VK_UP, 0);
        PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        return true;
    }
    // A tap on the last line (its items fill the window above a 1-pixel frame).
    Sleep(100);
    RECT client;
    GetClientRect(menu, &client);
    const LPARAM at = MAKELPARAM(client.right / 2, client.bottom - 6);
    PostMessageW(menu, WM_MOUSEMOVE, 0, at);
    PostMessageW(menu, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(menu, WM_LBUTTONUP, 0, at);
    return true;
}

std::string readFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

// ---- message boxes ----

namespace {

struct BoxSearch {
    std::vector<HWND> boxes;
};

BOOL CALLBACK collectBoxes(HWND window, LPARAM parameter) {
    wchar_t name[16];
    if (GetClassNameW(window, name, 16) && wcscmp(name, L"#32770") == 0 &&
        win::windowText(window) == L"Scribix")
        reinterpret_cast<BoxSearch*>(parameter)->boxes.push_back(window);
    return TRUE;
}

BOOL CALLBACK findStaticText(HWND child, LPARAM parameter) {
    wchar_t name[16];
    if (GetClassNameW(child, name, 16) && _wcsicmp(name, L"Static") == 0) {
        std::wstring text = win::windowText(child);
        if (!text.empty()) {
            *reinterpret_cast<std::wstring*>(parameter) = text;
            return FALSE;
        }
    }
    return TRUE;
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher() : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this] { run(); });
}

MessageBoxWatcher::~MessageBoxWatcher() {
    SetEvent(stop_);
    thread_.join();
    CloseHandle(stop_);
}

void MessageBoxWatcher::run() {
    while (WaitForSingleObject(stop_, 20) == WAIT_TIMEOUT) {
        BoxSearch search;
        EnumWindows(collectBoxes, reinterpret_cast<LPARAM>(&search));
        for (HWND box : search.boxes) {
            DWORD hold;
            {
                std::lock_guard<std::mutex> guard(lock_);
                closed_.erase(std::remove_if(closed_.begin(), closed_.end(),
                                             [](HWND w) { return !IsWindow(w); }),
                              closed_.end());
                if (std::find(closed_.begin(), closed_.end(), box) != closed_.end()) continue;
                hold = holdMs_;
            }
            if (!IsWindowVisible(box)) continue;
            std::wstring text;
            EnumChildWindows(box, findStaticText, reinterpret_cast<LPARAM>(&text));
            {
                std::lock_guard<std::mutex> guard(lock_);
                texts_.push_back(text);
                closed_.push_back(box);
                if (hold) held_.push_back({box, GetTickCount()});
            }
            if (!hold) PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        std::lock_guard<std::mutex> guard(lock_);
        for (auto it = held_.begin(); it != held_.end();) {
            if (IsWindow(it->first) && GetTickCount() - it->second < holdMs_) {
                ++it;
                continue;
            }
            PostMessageW(it->first, WM_COMMAND, IDOK, 0);
            it = held_.erase(it);
        }
    }
}

void MessageBoxWatcher::holdBoxes(DWORD ms) {
    std::lock_guard<std::mutex> guard(lock_);
    holdMs_ = ms;
}

size_t MessageBoxWatcher::openCount() {
    std::lock_guard<std::mutex> guard(lock_);
    return held_.size();
}

std::vector<std::wstring> MessageBoxWatcher::texts() {
    std::lock_guard<std::mutex> guard(lock_);
    return texts_;
}

bool MessageBoxWatcher::waitForCount(size_t count, DWORD ms) {
    return waitUntil([&] { return texts().size() >= count; }, ms);
}

void MessageBoxWatcher::clear() {
    std::lock_guard<std::mutex> guard(lock_);
    texts_.clear();
}

// ---- settings ----

void deleteUserKey(const std::wstring& path) { RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()); }

TestSettingsKey::TestSettingsKey(const wchar_t* name) {
    path_ = L"Software\\Zorvane\\ScribixTest\\" + std::wstring(name) + L"-" +
            std::to_wstring(GetCurrentProcessId());
    deleteUserKey(path_);
    setSettingsRootKey(path_.c_str());
    resetSettingsToDefaults();
}

TestSettingsKey::~TestSettingsKey() {
    setSettingsRootKey(nullptr);
    deleteUserKey(path_);
    resetSettingsToDefaults();
}

void prepareProgramSettings(int showIntroScreen) {
    const std::wstring previous = settingsRootKey();
    setSettingsRootKey(nullptr);
    const int off = 0;
    WriteSetting(nullptr, L"showIntroScreen", &showIntroScreen, SETTING_NUMBER, 0);
    WriteSetting(nullptr, L"runAutoUpdate", &off, SETTING_NUMBER, 0);
    const int on = 1;
    WriteSetting(nullptr, L"startInPenOnMode", &on, SETTING_NUMBER, 0);
    setSettingsRootKey(previous.c_str());
}

// ---- the journal ----

Journal::Journal() {
    wchar_t folder[MAX_PATH], file[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"sxj", 0, file);
    path_ = file;
    DeleteFileW(path_.c_str());
}

Journal::~Journal() { DeleteFileW(path_.c_str()); }

std::vector<std::string> Journal::lines() const {
    std::vector<std::string> result;
    const std::string text = readFile(path_);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) break;  // a line still being written
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        result.push_back(line);
        start = end + 1;
    }
    return result;
}

std::vector<std::string> Journal::calls(const std::string& call) const {
    std::vector<std::string> result;
    for (const std::string& line : lines())
        if (line.compare(0, call.size(), call) == 0 &&
            (line.size() == call.size() || line[call.size()] == ' '))
            result.push_back(line);
    return result;
}

int Journal::indexOf(const std::string& line) const {
    const std::vector<std::string> all = lines();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].compare(0, line.size(), line) == 0) return static_cast<int>(i);
    return -1;
}

int Journal::lastIndexOf(const std::string& line) const {
    const std::vector<std::string> all = lines();
    for (size_t i = all.size(); i-- > 0;)
        if (all[i].compare(0, line.size(), line) == 0) return static_cast<int>(i);
    return -1;
}

bool Journal::waitFor(const std::string& line, DWORD ms) const {
    return waitUntil([&] { return indexOf(line) >= 0; }, ms);
}

DWORD threadOfLine(const std::string& line) {
    const size_t at = line.rfind("thread=");
    return at == std::string::npos ? 0 : std::stoul(line.substr(at + 7));
}

// ---- the program ----

ScribixProcess::ScribixProcess(
    const std::wstring& arguments,
    const std::vector<std::pair<std::wstring, std::wstring>>& environment) {
    for (const auto& variable : environment)
        SetEnvironmentVariableW(variable.first.c_str(), variable.second.c_str());
    const std::wstring folder = binFolder();
    const std::wstring program = folder + L"\\Scribix.exe";
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                       folder.c_str(), &startup, &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
    }
    for (const auto& variable : environment)
        SetEnvironmentVariableW(variable.first.c_str(), nullptr);
}

ScribixProcess::~ScribixProcess() {
    kill();
    if (process_) CloseHandle(process_);
}

void ScribixProcess::kill() {
    if (process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
}

HWND ScribixProcess::waitForServiceWindow(DWORD ms) {
    HWND found = nullptr;
    waitUntil(
        [&] {
            HWND window = FindWindowW(SERVICE_WINDOW_CLASS, nullptr);
            DWORD owner = 0;
            if (window) GetWindowThreadProcessId(window, &owner);
            if (window && owner == pid_) found = window;
            return found != nullptr ||
                   (process_ && WaitForSingleObject(process_, 0) == WAIT_OBJECT_0);
        },
        ms);
    return found;
}

bool ScribixProcess::waitForExit(DWORD ms, DWORD* exitCode) {
    if (!process_ || WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return false;
    if (exitCode) GetExitCodeProcess(process_, exitCode);
    return true;
}

HWND findServiceWindow() { return FindWindowW(SERVICE_WINDOW_CLASS, nullptr); }

std::vector<HWND> findWindowsOf(DWORD pid, const wchar_t* className, const wchar_t* title) {
    struct Found {
        DWORD pid;
        const wchar_t* className;
        const wchar_t* title;
        std::vector<HWND> windows;
    } found = {pid, className, title, {}};
    EnumWindows(
        [](HWND w, LPARAM p) CALLBACK -> BOOL {
            auto* f = reinterpret_cast<Found*>(p);
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            wchar_t cls[128] = {}, text[128] = {};
            GetClassNameW(w, cls, 128);
            GetWindowTextW(w, text, 128);
            if (owner == f->pid && wcscmp(cls, f->className) == 0 && IsWindowVisible(w) &&
                (!f->title || wcscmp(text, f->title) == 0))
                f->windows.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

HWND findWindowOf(DWORD pid, const wchar_t* className, const wchar_t* title) {
    const std::vector<HWND> windows = findWindowsOf(pid, className, title);
    return windows.empty() ? nullptr : windows.front();
}

bool waitForNoServiceWindow(DWORD ms) {
    return waitUntil([] { return findServiceWindow() == nullptr; }, ms);
}

LRESULT sendCommand(HWND window, UINT code, LPARAM argument) {
    static const UINT command = RegisterWindowMessageW(SCRIBIX_COMMAND_MESSAGE_NAME);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, command, code, argument, SMTO_NORMAL, 5000, &result))
        return -1;
    return static_cast<LRESULT>(result);
}

}  // namespace sxtest
