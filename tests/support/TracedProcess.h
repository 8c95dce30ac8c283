// Runs a program with this process as its debugger, so that a test (or a
// benchmark) reads what the program writes with OutputDebugString (the
// program's debugTrace) while the program runs as it always does. The program
// ends with its debugger: a test that dies takes it along.
//
//   TracedProcess scribix(folder + L"\\Scribix.exe", L"", folder);
//   ASSERT_TRUE(scribix.started());
//   ... scribix.lastLineStartingWith("SystemClient: current result") ...
//
// The debugger's events arrive on a thread of its own (the thread that starts
// the program must be the one that waits for its events); every exception of
// the program but its first break-in goes back to the program unhandled.
// `output`, when given, is an inheritable handle that takes the program's
// standard output and error (Wine's own reports still go to the test's
// output). Windows tests only.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TracedProcess {
  public:
    TracedProcess(const std::wstring& program, const std::wstring& arguments,
                  const std::wstring& folder, HANDLE output = nullptr)
        : started_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        thread_ = std::thread([=] { run(program, arguments, folder, output); });
        WaitForSingleObject(started_, INFINITE);
    }
    // Ends the program when it still runs.
    ~TracedProcess() {
        kill();
        if (thread_.joinable()) thread_.join();
        if (process_) CloseHandle(process_);
        CloseHandle(started_);
    }
    TracedProcess(const TracedProcess&) = delete;
    TracedProcess& operator=(const TracedProcess&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    bool running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

    // The trace texts so far, one per OutputDebugString call.
    std::vector<std::string> lines() const {
        std::lock_guard<std::mutex> guard(lock_);
        return lines_;
    }
    // The last text that starts with `prefix`, or empty.
    std::string lastLineStartingWith(const std::string& prefix) const {
        const std::vector<std::string> all = lines();
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            if (it->rfind(prefix, 0) == 0) return *it;
        return std::string();
    }
    size_t countLinesStartingWith(const std::string& prefix) const {
        size_t n = 0;
        for (const std::string& line : lines())
            if (line.rfind(prefix, 0) == 0) ++n;
        return n;
    }

    bool waitForExit(DWORD ms, DWORD* exitCode = nullptr) {
        if (!process_ || WaitForSingleObject(process_, ms) != WAIT_OBJECT_0) return false;
        if (exitCode) GetExitCodeProcess(process_, exitCode);
        return true;
    }
    void kill() {
        if (running()) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, 10000);
        }
    }

  private:
    void run(const std::wstring& program, const std::wstring& arguments, const std::wstring& folder,
             HANDLE output) {
        std::wstring commandLine = L"\"" + program + L"\"";
        if (!arguments.empty()) commandLine += L" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        if (output) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = output;
            startup.hStdError = output;
        }
        PROCESS_INFORMATION info = {};
        const bool made =
            CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, output != nullptr,
                           DEBUG_ONLY_THIS_PROCESS, nullptr,
                           folder.empty() ? nullptr : folder.c_str(), &startup, &info);
        if (made) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
            pid_ = info.dwProcessId;
        }
        SetEvent(started_);
        if (!made) return;

        bool brokeIn = false;
        for (;;) {
            DEBUG_EVENT event = {};
            // The wait is bounded and a failed one is tried again while the
            // program runs: this thread ending would close the debugging
            // and kill the program with it.
            if (!WaitForDebugEvent(&event, 500)) {
                const DWORD error = GetLastError();
                if (WaitForSingleObject(process_, 0) == WAIT_OBJECT_0) return;
                if (error != ERROR_SEM_TIMEOUT) {
                    note("(the debugger's wait failed, error " + std::to_string(error) + ")");
                    Sleep(50);
                }
                continue;
            }
            DWORD verdict = DBG_CONTINUE;
            switch (event.dwDebugEventCode) {
                case CREATE_PROCESS_DEBUG_EVENT:
                    if (event.u.CreateProcessInfo.hFile)
                        CloseHandle(event.u.CreateProcessInfo.hFile);
                    break;
                case LOAD_DLL_DEBUG_EVENT:
                    if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
                    break;
                case EXCEPTION_DEBUG_EVENT:
                    // The loader's break-in is the debugger's; the rest are the program's.
                    if (!brokeIn &&
                        event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT)
                        brokeIn = true;
                    else
                        verdict = DBG_EXCEPTION_NOT_HANDLED;
                    break;
                case OUTPUT_DEBUG_STRING_EVENT:
                    readString(event.u.DebugString);
                    break;
                default:
                    break;
            }
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, verdict);
            if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) return;
        }
    }

    void readString(const OUTPUT_DEBUG_STRING_INFO& info) {
        const size_t units = info.nDebugStringLength;
        if (units == 0) return;
        std::string text;
        SIZE_T read = 0;
        if (info.fUnicode) {
            std::vector<wchar_t> wide(units);
            if (!ReadProcessMemory(process_, info.lpDebugStringData, wide.data(),
                                   units * sizeof(wchar_t), &read))
                return unreadable();
            for (wchar_t c : wide) {
                if (!c) break;
                text.push_back(c < 0x80 ? static_cast<char>(c) : '?');
            }
        } else {
            std::vector<char> narrow(units);
            if (!ReadProcessMemory(process_, info.lpDebugStringData, narrow.data(), units, &read))
                return unreadable();
            text.assign(narrow.data(), strnlen(narrow.data(), read));
        }
        note(text);
    }
    void unreadable() {
        note("(a trace text could not be read, error " + std::to_string(GetLastError()) + ")");
    }
    void note(const std::string& text) {
        std::lock_guard<std::mutex> guard(lock_);
        lines_.push_back(text);
    }

    HANDLE started_;
    std::thread thread_;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    mutable std::mutex lock_;
    std::vector<std::string> lines_;
};
