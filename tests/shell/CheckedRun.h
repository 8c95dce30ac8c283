// What the end-to-end tests that end the program in the middle of its work
// look at: the staged program run as a traced process whose standard output
// and error (Wine's heap reports, the checked run's "heap check:" and
// "thread check:" lines) go to a file of the test's own; the program's
// settings key and data folder as they are, to compare before and after; the
// program's processes still alive. Windows tests only.
#pragma once

#include <windows.h>

#include <shlobj.h>
#include <tlhelp32.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/ink/WritingTestSupport.h"
#include "tests/shell/TestSupport.h"
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
        lines.push_back(text.substr(start, end - start));
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
        std::vector<std::string> found = damageReports(splitLines(output()));
        for (const std::string& line : damageReports(process_->lines())) found.push_back(line);
        return found;
    }
    std::string traceText() const {
        std::string text;
        for (const std::string& line : process_->lines()) text += "  " + line;
        return text;
    }

  private:
    OutputFile output_;
    std::unique_ptr<TracedProcess> process_;
};

}  // namespace checkedrun
