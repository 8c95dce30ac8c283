// Runs a script of the build host's shell from a Windows test under Wine (for
// xdotool and the host's tools). Wine starts Unix programs but gives no handle
// to wait on, so the script leaves its exit status in a file beside itself
// when it is done. While a caller waits, its thread's messages are dispatched.
// Windows tests only.
#pragma once

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

namespace hostshell {

// The Windows name of a host path (Wine's Z: drive is the host's root).
inline std::wstring windowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

// A name under /tmp that no other test process uses.
inline std::string uniqueHostPath(const char* what) {
    static LONG counter = 0;
    // Process ids are Wine's own, counted per prefix: tests of other prefixes
    // (other build trees) have the same ones, so the time makes the name unique.
    LARGE_INTEGER now = {};
    QueryPerformanceCounter(&now);
    return std::string("/tmp/sx-") + what + "-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(now.QuadPart) + "-" + std::to_string(InterlockedIncrement(&counter));
}

// `script` started with /bin/sh and left running; `wait` collects it. The
// script is ended (killed when it must) after `timeoutMs`.
class Started {
  public:
    Started(const std::string& script, DWORD timeoutMs)
        : base_(uniqueHostPath("host")), timeoutMs_(timeoutMs) {
        {
            std::ofstream body(windowsPath(base_ + ".body.sh").c_str(), std::ios::binary);
            body << script << "\n";
            std::ofstream file(windowsPath(base_ + ".sh").c_str(), std::ios::binary);
            file << "timeout -k 1 " << (timeoutMs + 999) / 1000 << " /bin/sh " << base_
                 << ".body.sh >" << base_ << ".out 2>&1\n"
                 << "echo $? >" << base_ << ".tmp && mv " << base_ << ".tmp " << base_
                 << ".done\n";
            if (!body || !file) return;
        }
        std::wstring commandLine = L"/bin/sh " + std::wstring(base_.begin(), base_.end()) + L".sh";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(L"Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &info))
            return;
        if (info.hProcess) CloseHandle(info.hProcess);
        if (info.hThread) CloseHandle(info.hThread);
        started_ = GetTickCount();
        running_ = true;
    }
    ~Started() {
        if (running_) wait();
        for (const char* suffix : {".body.sh", ".sh", ".done", ".out", ".tmp"})
            DeleteFileW(windowsPath(base_ + suffix).c_str());
    }
    Started(const Started&) = delete;
    Started& operator=(const Started&) = delete;

    // Waits until the script ended; true when it did with status 0. `output`,
    // when given, receives what it wrote (stdout and stderr).
    bool wait(std::string* output = nullptr) {
        bool ended = false;
        const std::wstring doneFile = windowsPath(base_ + ".done");
        while (running_) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            if (GetFileAttributesW(doneFile.c_str()) != INVALID_FILE_ATTRIBUTES) {
                ended = true;
                break;
            }
            // The script's own limit ends it first; this one is the last resort.
            if (GetTickCount() - started_ >= timeoutMs_ + 3000) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
        running_ = false;
        std::string status;
        if (ended) std::getline(std::ifstream(doneFile.c_str()), status);
        if (output) {
            std::ifstream file(windowsPath(base_ + ".out").c_str(), std::ios::binary);
            output->assign(std::istreambuf_iterator<char>(file),
                           std::istreambuf_iterator<char>());
        }
        return ended && status == "0";
    }

  private:
    std::string base_;
    DWORD timeoutMs_;
    DWORD started_ = 0;
    bool running_ = false;
};

// Runs `script` with /bin/sh; true when it ended within `timeoutMs` with
// status 0. `output`, when given, receives what it wrote (stdout and stderr).
inline bool run(const std::string& script, DWORD timeoutMs, std::string* output = nullptr) {
    Started started(script, timeoutMs);
    return started.wait(output);
}

}  // namespace hostshell
