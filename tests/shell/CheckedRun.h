// What the end-to-end tests that drive the program hard and end it in the
// middle of its work use: the staged program run as a traced process whose
// standard output and error (the checked run's "heap check:" and "thread
// check:" lines) go to a file of the test's own; the program's settings key
// and data folder as they are, to compare before and after; the program's
// processes still alive; its windows found and worked from outside (xdotool,
// posted messages, its main menu by the keys). Wine's own reports (heap
// damage) go to the test's output, where scripts/wine-exec finds them.
// Windows tests only.
#pragma once

#include <windows.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/ink/WritingTestSupport.h"
#include "core/ServiceMessages.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/HostShell.h"
#include "tests/support/TempDir.h"
#include "tests/support/TracedProcess.h"

namespace checkedrun {

// A file of the test's own that takes a program's standard output and error.
class OutputFile {
  public:
    OutputFile() {
        path_ = dir_.file(L"output.txt");
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        handle_ = CreateFileW(path_.c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) handle_ = nullptr;
    }
    ~OutputFile() {
        if (handle_) CloseHandle(handle_);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    HANDLE handle() const { return handle_; }
    std::string text() const { return sxtest::readFile(path_); }

  private:
    TempDir dir_;
    std::wstring path_;
    HANDLE handle_ = nullptr;
};

// The lines of a program's output or trace that report heap damage or a
// window object used off its owner thread.
inline std::vector<std::string> damageReports(const std::vector<std::string>& lines) {
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (line.find("err:heap") != std::string::npos || line.rfind("heap check:", 0) == 0 ||
            line.rfind("thread check:", 0) == 0)
            found.push_back(line);
    return found;
}

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The processes now running the program (by its file name).
inline std::vector<DWORD> programProcesses(const wchar_t* name = L"Scribix.exe") {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, name) == 0) found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

// A tree of named contents (registry values or files), each as bytes.
using Tree = std::map<std::wstring, std::string>;

inline void readKey(HKEY root, const std::wstring& path, Tree& out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0, size = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::string data(size, '\0');
        nameLength = 256;
        RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                      &size);
        data.resize(size);
        out[path + L"\\" + name] = std::to_string(type) + ":" + data;
    }
    std::vector<std::wstring> subkeys;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subkeys.push_back(name);
    }
    RegCloseKey(key);
    for (const std::wstring& subkey : subkeys) readKey(root, path + L"\\" + subkey, out);
}

// Every value under a key of HKEY_CURRENT_USER.
inline Tree registryTree(const std::wstring& path) {
    Tree tree;
    readKey(HKEY_CURRENT_USER, path, tree);
    return tree;
}

inline void readFolder(const std::wstring& folder, const std::wstring& relative, Tree& out) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            readFolder(folder + L"\\" + name, relative + name + L"\\", out);
        else
            out[relative + name] = sxtest::readFile(folder + L"\\" + name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// Every file under a folder with its content.
inline Tree folderTree(const std::wstring& folder) {
    Tree tree;
    readFolder(folder, L"", tree);
    return tree;
}

// What differs between two trees, one line per name; empty when they are equal.
inline std::string differences(const Tree& before, const Tree& after) {
    std::string out;
    auto shown = [](const std::string& bytes) {
        std::string text;
        for (char c : bytes.substr(0, 60)) text += c >= 0x20 && c < 0x7F ? c : '.';
        return text + (bytes.size() > 60 ? "..." : "");
    };
    for (const auto& [name, content] : before) {
        auto it = after.find(name);
        if (it == after.end())
            out += "  gone: " + writingtest::narrow(name) + "\n";
        else if (it->second != content)
            out += "  changed: " + writingtest::narrow(name) + ": \"" + shown(content) +
                   "\" became \"" + shown(it->second) + "\"\n";
    }
    for (const auto& [name, content] : after)
        if (!before.count(name))
            out += "  new: " + writingtest::narrow(name) + ": \"" + shown(content) + "\"\n";
    return out;
}

// The user's data folder of the program ("Scribix" in the application data).
inline std::wstring programDataFolder() {
    wchar_t appData[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData);
    return std::wstring(appData) + L"\\Scribix";
}

// ---- the program's windows, worked from outside ----

inline bool xdotool(const std::string& arguments) {
    std::string output;
    const bool ok = hostshell::run("xdotool " + arguments, 10000, &output);
    if (!ok) ADD_FAILURE() << "xdotool " << arguments << ": " << output;
    return ok;
}

inline std::string at(POINT p) { return std::to_string(p.x) + " " + std::to_string(p.y); }

// Pumps this thread's messages for `ms`.
inline void settle(DWORD ms) {
    sxtest::pumpUntil([] { return false; }, ms);
}

inline bool classIs(HWND window, const wchar_t* name) {
    wchar_t text[64] = {};
    return GetClassNameW(window, text, 64) && wcscmp(text, name) == 0;
}

// A visible top-level window of the process with that class (and title).
inline HWND windowOf(DWORD pid, const wchar_t* className, const wchar_t* title = nullptr) {
    return sxtest::findWindowOf(pid, className, title);
}

// A button of a dialog or of one of its child dialogs (a settings page).
inline HWND controlOf(HWND dialog, int id) {
    struct Find {
        int id;
        HWND found;
    } find = {id, nullptr};
    EnumChildWindows(
        dialog,
        [](HWND w, LPARAM p) CALLBACK -> BOOL {
            Find* f = reinterpret_cast<Find*>(p);
            if (GetDlgCtrlID(w) != f->id || !classIs(w, L"Button")) return TRUE;
            f->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

// A click on a button as the button reports it to its dialog.
inline void pressButton(HWND button) {
    PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

inline RECT rectOf(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

// Main menu entries counted from the bottom: the last one, "&Close Scribix",
// is 1 (separators are not counted).
constexpr int kMenuClose = 1;
constexpr int kMenuCheckUpgrade = 2;
constexpr int kMenuCustomize = 6;

// The program's main menu over whatever is open (as the main bar's menu
// button or its right button asks for it: variant 1 outside markup mode, 2 in
// it), then a tap on the entry `fromBottom`; false when no menu showed. The
// menu is the program's own text menu: its lines are of one height, its
// separators one pixel, laid out from one pixel below its top; the entries
// are those a fresh program shows.
inline bool chooseFromMainMenu(HWND service, DWORD pid, int fromBottom, int variant) {
    // 'i' an item, 's' a separator, from the top.
    const std::string layout = variant == 2 ? "isiisi" : "iiiiisiiisiiisi";
    // Another text menu may be open already (the word list, a panel's menu):
    // the main menu is the one that was not there before.
    const std::vector<HWND> before =
        sxtest::findWindowsOf(pid, L"VexaInkServiceMenuBarWndClass", L"PureTextMenu");
    PostMessageW(service, WM_INK_MAIN_MENU, 0, variant);
    HWND menu = nullptr;
    RECT r = {};
    if (!sxtest::pumpUntil(
            [&] {
                menu = nullptr;
                for (HWND w :
                     sxtest::findWindowsOf(pid, L"VexaInkServiceMenuBarWndClass", L"PureTextMenu"))
                    if (std::find(before.begin(), before.end(), w) == before.end()) menu = w;
                // Laid out on the screen (it is made off-screen first).
                return menu && IsWindowVisible(menu) && GetWindowRect(menu, &r) &&
                       r.left >= GetSystemMetrics(SM_XVIRTUALSCREEN) && r.bottom - r.top > 20;
            },
            10000))
        return false;
    settle(200);
    GetClientRect(menu, &r);
    const int items = static_cast<int>(std::count(layout.begin(), layout.end(), 'i'));
    const int separators = static_cast<int>(layout.size()) - items;
    const int line = (r.bottom - 2 - separators) / items;
    const int target = items - fromBottom;  // counted from the top, from 0
    int y = 1, item = 0;
    for (char entry : layout) {
        if (entry == 's') {
            y += 1;
            continue;
        }
        if (item++ == target) break;
        y += line;
    }
    const LPARAM at = MAKELPARAM(r.right / 2, y + line / 2);
    PostMessageW(menu, WM_MOUSEMOVE, 0, at);
    PostMessageW(menu, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(menu, WM_LBUTTONUP, 0, at);
    return true;
}

// ---- the program's own state ----

constexpr wchar_t kSettingsKey[] = L"Software\\Zorvane\\Scribix";

// The staged program run under the test's eye: traced, its output in a file.
class CheckedProgram {
  public:
    explicit CheckedProgram(const writingtest::StagedProgram& staged) {
        process_ = std::make_unique<TracedProcess>(staged.program(), L"", staged.folder(),
                                                   output_.handle());
    }
    bool started() const { return process_->started(); }
    DWORD pid() const { return process_->pid(); }
    TracedProcess& trace() { return *process_; }
    std::string output() const { return output_.text(); }

    // Ready once the service window answers with the pen on and the system
    // client's recognition event exists.
    HWND waitUntilReady(DWORD ms) {
        HWND service = nullptr;
        const bool ready = sxtest::pumpUntil(
            [&] {
                service = writingtest::serviceWindowOf(pid());
                HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"SystemClientRecognitionEvent");
                if (event) CloseHandle(event);
                const LRESULT state = service ? sxtest::sendCommand(service, 4, 0) : -1;
                return event && state != -1 && (state & 1) == 1;
            },
            ms);
        return ready ? service : nullptr;
    }

    // The heap reports and thread checks in the output and the trace.
    std::vector<std::string> damage() const {
        // The program writes each to both; a line of the trace alone counts too.
        std::vector<std::string> found = damageReports(splitLines(output()));
        for (std::string line : damageReports(process_->lines())) {
            while (!line.empty() && line.back() == '\n') line.pop_back();
            if (std::find(found.begin(), found.end(), line) == found.end()) found.push_back(line);
        }
        return found;
    }
    // The program's output and trace, into the test's output.
    void report() const {
        std::string trace;
        for (const std::string& line : process_->lines()) trace += "  " + line;
        std::printf("---- the program's output:\n%s---- its trace:\n%s----\n", output().c_str(),
                    trace.c_str());
        std::fflush(stdout);
    }

  private:
    OutputFile output_;
    std::unique_ptr<TracedProcess> process_;
};

// Starts the staged program and waits until it is ready and its start-up
// has settled.
inline ::testing::AssertionResult startChecked(const writingtest::StagedProgram& staged,
                                               std::unique_ptr<CheckedProgram>& program,
                                               HWND* service) {
    if (!staged.ok()) return ::testing::AssertionFailure() << "the program could not be staged";
    if (!sxtest::waitForNoServiceWindow(5000))
        return ::testing::AssertionFailure() << "an instance is left from before";
    program = std::make_unique<CheckedProgram>(staged);
    if (!program->started()) return ::testing::AssertionFailure() << "Scribix did not start";
    *service = program->waitUntilReady(writingtest::kStartMs);
    if (!*service) return ::testing::AssertionFailure() << "Scribix did not get ready";
    settle(writingtest::kSettleMs);
    return ::testing::AssertionSuccess();
}

}  // namespace checkedrun
