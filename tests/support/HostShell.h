// Runs a script of the build host's shell from a Windows test under Wine (for
// xdotool and the host's tools) and waits for it. Wine starts Unix programs
// but gives no handle to wait on, so the script leaves its exit status in a
// file beside itself when it is done. While it runs, this thread's messages
// are dispatched. Windows tests only.
#pragma once

#include <windows.h>

#include <fstream>
#include <string>

namespace hostshell {

// Runs `script` with /bin/sh; true when it ended within `timeoutMs` with
// status 0. `output`, when given, receives what it wrote (stdout and stderr).
inline bool run(const std::string& script, DWORD timeoutMs, std::string* output = nullptr) {
    static LONG counter = 0;
    // Wine's process ids are small and repeat in every prefix: the clock makes
    // the name this run's own, so no other test's leftover file is taken for ours.
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const std::string base = "/tmp/sx-host-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(now.QuadPart) + "-" +
                             std::to_string(InterlockedIncrement(&counter));
    auto windowsPath = [](const std::string& unixPath) {
        std::wstring path = L"Z:";
        for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
        return path;
    };
    const std::wstring bodyFile = windowsPath(base + ".body.sh");
    const std::wstring scriptFile = windowsPath(base + ".sh");
    const std::wstring doneFile = windowsPath(base + ".done");
    const std::wstring outputFile = windowsPath(base + ".out");
    {
        std::ofstream body(bodyFile.c_str(), std::ios::binary);
        body << script << "\n";
        // The script ends (killed when it must) before the caller gives up on it.
        std::ofstream file(scriptFile.c_str(), std::ios::binary);
        file << "timeout -k 1 " << (timeoutMs + 999) / 1000 << " /bin/sh " << base << ".body.sh >"
             << base << ".out 2>&1\n"
             << "echo $? >" << base << ".tmp && mv " << base << ".tmp " << base << ".done\n";
        if (!body || !file) return false;
    }
    std::wstring commandLine = L"/bin/sh " + std::wstring(base.begin(), base.end()) + L".sh";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    bool ended = false;
    if (CreateProcessW(L"Z:\\bin\\sh", &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &info)) {
        if (info.hProcess) CloseHandle(info.hProcess);
        if (info.hThread) CloseHandle(info.hThread);
        const DWORD started = GetTickCount();
        for (;;) {
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
            if (GetTickCount() - started >= timeoutMs + 3000) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        }
    }
    std::string status;
    if (ended) std::getline(std::ifstream(doneFile.c_str()), status);
    if (output) {
        std::ifstream file(outputFile.c_str(), std::ios::binary);
        output->assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    DeleteFileW(bodyFile.c_str());
    DeleteFileW(scriptFile.c_str());
    DeleteFileW(doneFile.c_str());
    DeleteFileW(outputFile.c_str());
    return ended && status == "0";
}

}  // namespace hostshell
