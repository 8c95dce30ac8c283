// A file held open by another process (tests/support/file_holder.cpp) for the
// life of the object or until release(): the share mode says what others may
// still do with it (0: nothing, not even read it). Windows tests only; the
// test program depends on the file_holder target, which lies beside it.
#pragma once

#include <windows.h>

#include <string>

class FileHolder {
  public:
    FileHolder(const std::wstring& path, DWORD share) {
        static LONG counter = 0;
        const std::wstring name = L"Local\\scribix-file-holder-" +
                                  std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(InterlockedIncrement(&counter));
        held_ = CreateEventW(nullptr, TRUE, FALSE, (name + L"-held").c_str());
        release_ = CreateEventW(nullptr, TRUE, FALSE, (name + L"-release").c_str());
        wchar_t self[MAX_PATH];
        const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring program(self, n);
        program = program.substr(0, program.find_last_of(L"\\/") + 1) + L"file_holder.exe";
        std::wstring command =
            L"\"" + program + L"\" \"" + path + L"\" " + std::to_wstring(share) + L" " + name;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!held_ || !release_ ||
            !CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &info))
            return;
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        const HANDLE either[] = {held_, process_};
        ok_ = WaitForMultipleObjects(2, either, FALSE, 20000) == WAIT_OBJECT_0;
    }
    ~FileHolder() {
        release();
        if (held_) CloseHandle(held_);
        if (release_) CloseHandle(release_);
    }
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

    // The other process has the file open.
    bool held() const { return ok_; }
    // Lets go of the file and waits until the other process has ended.
    void release() {
        if (!process_) return;
        SetEvent(release_);
        WaitForSingleObject(process_, 20000);
        CloseHandle(process_);
        process_ = nullptr;
        ok_ = false;
    }

  private:
    HANDLE held_ = nullptr;
    HANDLE release_ = nullptr;
    HANDLE process_ = nullptr;
    bool ok_ = false;
};
