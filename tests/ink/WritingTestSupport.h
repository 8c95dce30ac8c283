// The end-to-end tests' side of the main road on the X display: Scribix.exe
// staged in a folder of its own as it is installed (the program, the hook
// library stand-in, the gesture library, the crash reporter and the English
// engine folder) and run with this process as its debugger, so that its trace
// is read; xdotool moving the X server's own pointer along the strokes of the
// test handwriting generator (HANDWRITE_TOOL names it on the build host).
// Windows tests only.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "hook64/SharedData.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/HostShell.h"
#include "tests/support/PacedPen.h"
#include "tests/support/SharedBlockView.h"
#include "tests/support/TempDir.h"
#include "tests/support/TracedProcess.h"
#include "tests/targets/TargetClient.h"

#ifndef HANDWRITE_TOOL
#error "HANDWRITE_TOOL names the handwriting generator's tool on the build host"
#endif

namespace writingtest {

constexpr DWORD kStartMs = 30000;
constexpr DWORD kSettleMs = 1500;
constexpr char kResultTrace[] = "SystemClient: current result ";

inline bool copyFolder(const std::wstring& from, const std::wstring& to) {
    if (!CreateDirectoryW(to.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((from + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ok = copyFolder(from + L"\\" + name, to + L"\\" + name) && ok;
        else
            ok = CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE) && ok;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return ok;
}

// The program as installed: its folder holds the program, its libraries and
// the engine folders, nothing else of the build.
class StagedProgram {
  public:
    StagedProgram() {
        const std::wstring bin = sxtest::binFolder();
        ok_ = true;
        for (const wchar_t* file :
             {L"Scribix.exe", L"Scribix35.dll", L"gestures.dll", L"ZVCrashRep.dll", L"ZVFatInk.dll"})
            ok_ = CopyFileW((bin + L"\\" + file).c_str(), folder_.file(file).c_str(), FALSE) && ok_;
        ok_ = copyFolder(bin + L"\\English", folder_.file(L"English")) && ok_;
    }
    bool ok() const { return ok_; }
    const std::wstring& folder() const { return folder_.path(); }
    std::wstring program() const { return folder_.file(L"Scribix.exe"); }

  private:
    TempDir folder_;
    bool ok_ = false;
};

// The focus window the hook library saw last, from the block it shares.
inline HWND hookFocusWindow() {
    SharedBlockView block;
    return block.get() ? reinterpret_cast<HWND>(static_cast<ULONG_PTR>(block->_hwndFocus))
                       : nullptr;
}

// Our edit target (multi-line) started, in front with its field focused as
// the hook library sees it; `field` takes the field's place on the screen.
inline ::testing::AssertionResult openFocusedEdit(std::unique_ptr<targets::TargetProcess>& target,
                                                  RECT* field) {
    target = std::make_unique<targets::TargetProcess>(targets::TargetKind::Edit, L"/multiline");
    if (!target->ok()) return ::testing::AssertionFailure() << target->error();
    if (!target->activate())
        return ::testing::AssertionFailure() << "the edit did not come to the front";
    if (!sxtest::pumpUntil([&] { return hookFocusWindow() == target->control(); }, 10000))
        return ::testing::AssertionFailure()
               << "the hook library did not see the edit take the focus";
    GetWindowRect(target->control(), field);
    return ::testing::AssertionSuccess();
}

// The generator's strokes of `text` as pen steps, the first baseline starting
// at the screen pixel (x, y), a point every `pointMs`, each at least `minStep`
// pixels from the one before (a faster pen).
inline bool writingSteps(const std::string& text, int x, int y, int seed, int pointMs,
                         int minStep, std::vector<pacedpen::Step>* steps) {
    const std::string command = std::string(HANDWRITE_TOOL) + " --xdotool --seed " +
                                std::to_string(seed) + " --height 16 --point-ms " +
                                std::to_string(pointMs) + " --min-step " +
                                std::to_string(minStep) + " --x " + std::to_string(x) + " --y " +
                                std::to_string(y) + " '" + text + "'";
    std::string script;
    if (!hostshell::run(command, 60000, &script)) {
        ADD_FAILURE() << "the generator could not write \"" << text << "\": " << script;
        return false;
    }
    const std::vector<pacedpen::Step> more = pacedpen::parseXdotool(script);
    steps->insert(steps->end(), more.begin(), more.end());
    return true;
}

// The pen takes the steps, keeping pace with the desktop
// (tests/support/PacedPen.h): no point is sent before the one before has
// reached the system. `what` names the input in a failure.
inline bool penRuns(const std::vector<pacedpen::Step>& steps, const std::string& what) {
    pacedpen::Pen pen;
    std::string error;
    const bool ok = pen.run(steps, &error);
    if (!ok) ADD_FAILURE() << what << " failed: " << error;
    return ok;
}

// The pen writes `text` (see writingSteps).
inline bool writeWithPen(const std::string& text, int x, int y, int seed = 3, int pointMs = 6,
                         int minStep = 0) {
    std::vector<pacedpen::Step> steps;
    return writingSteps(text, x, y, seed, pointMs, minStep, &steps) &&
           penRuns(steps, "writing \"" + text + "\"");
}

// The pen draws one stroke through the corners.
inline bool drawStroke(std::initializer_list<POINT> corners) {
    return penRuns(pacedpen::strokeSteps(corners), "drawing a stroke");
}

// The gestures as strokes from a corner point (x, y) in screen pixels.
inline bool drawUndo(int x, int y) { return drawStroke({{x + 70, y + 40}, {x + 70, y}, {x, y}}); }
inline bool drawBackspace(int x, int y) { return drawStroke({{x + 80, y}, {x, y}}); }
inline bool drawSpace(int x, int y) { return drawStroke({{x, y}, {x, y + 40}, {x + 70, y + 40}}); }

inline HWND serviceWindowOf(DWORD pid) {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, SERVICE_WINDOW_CLASS, nullptr))) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == pid) return window;
    }
    return nullptr;
}

// A value of the system client's settings in the program's own key.
inline void writeSystemClientSetting(const wchar_t* name, int value) {
    const std::wstring previous = settingsRootKey();
    setSettingsRootKey(nullptr);
    WriteSetting(L"InnerSystemClient", name, &value, SETTING_NUMBER_DIRECT, 0);
    setSettingsRootKey(previous.c_str());
}

// The program's macro file in the user's data folder for the life of the
// object, written before the program starts (it reads it at start-up).
class ProgramMacroFile {
  public:
    explicit ProgramMacroFile(const char* xml) {
        wchar_t appData[MAX_PATH];
        SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData);
        const std::wstring folder = std::wstring(appData) + L"\\Scribix";
        CreateDirectoryW(folder.c_str(), nullptr);
        CreateDirectoryW((folder + L"\\English").c_str(), nullptr);
        path_ = folder + L"\\English\\macro.xml";
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD n = 0;
        ok = file != INVALID_HANDLE_VALUE &&
             WriteFile(file, xml, static_cast<DWORD>(strlen(xml)), &n, nullptr);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    ~ProgramMacroFile() { DeleteFileW(path_.c_str()); }
    bool ok = false;

  private:
    std::wstring path_;
};

// Scribix.exe staged and running with the pen on, its trace collected; it is
// shut down as a user closes it (WM_CLOSE to its service window).
class RunningScribix {
  public:
    // `waitNextStroke`: the program's wait for the next stroke of a writing.
    explicit RunningScribix(int waitNextStroke) : waitNextStroke_(waitNextStroke) {
        sxtest::prepareProgramSettings(0);
        writeSystemClientSetting(L"waitNextStrokeTimeout", waitNextStroke);
        writeSystemClientSetting(L"waitGestureEndTimeout", std::min(600, waitNextStroke));
    }
    ~RunningScribix() {
        if (process_) stop();
    }

    // Starts the program and waits until the system client runs and the pen is on.
    ::testing::AssertionResult start() {
        if (!staged_.ok())
            return ::testing::AssertionFailure() << "the program could not be staged";
        process_ = std::make_unique<TracedProcess>(staged_.program(), L"", staged_.folder());
        if (!process_->started()) return ::testing::AssertionFailure() << "Scribix did not start";
        const bool ready = sxtest::pumpUntil(
            [&] {
                service_ = serviceWindowOf(process_->pid());
                HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"SystemClientRecognitionEvent");
                if (event) CloseHandle(event);
                const LRESULT state = service_ ? sxtest::sendCommand(service_, 4, 0) : -1;
                return event && state != -1 && (state & 1) == 1;
            },
            kStartMs);
        if (!ready) return ::testing::AssertionFailure() << "Scribix did not get ready";
        // The rest of the start-up (the icons, the graphics library, the helper
        // program) goes on after the pen is on, as a user waits for the icon.
        sxtest::pumpUntil([] { return false; }, kSettleMs);
        return ::testing::AssertionSuccess();
    }

    // Closes the program; its trace goes to the failure report when `report`.
    void stop(bool report = false) {
        if (!process_) return;
        if (report) {
            std::string trace;
            for (const std::string& line : process_->lines()) trace += "  " + line;
            ADD_FAILURE() << "the program's trace:\n" << trace;
        }
        // An ordinary shut-down, which stops the recognition thread.
        if (service_) PostMessageW(service_, WM_CLOSE, 0, 0);
        DWORD status = 0;
        EXPECT_TRUE(process_->waitForExit(15000, &status)) << "Scribix did not end after WM_CLOSE";
        EXPECT_EQ(status, 1u) << "the program's normal exit code";
        process_.reset();
    }

    int waitNextStroke() const { return waitNextStroke_; }
    TracedProcess& trace() { return *process_; }
    size_t resultCount() const { return process_->countLinesStartingWith(kResultTrace); }

    // Pumps until the program has delivered `count` results in all and
    // returns the last one's text without its quotes, or "(none)".
    std::string resultAfter(size_t count, DWORD ms = 5000) {
        sxtest::pumpUntil([&] { return resultCount() >= count; }, ms);
        if (resultCount() < count) return "(none)";
        std::string line = process_->lastLineStartingWith(kResultTrace);
        line = line.substr(sizeof kResultTrace - 1);
        while (!line.empty() && (line.back() == '\n' || line.back() == '"')) line.pop_back();
        if (!line.empty() && line.front() == '"') line.erase(0, 1);
        return line;
    }

  private:
    int waitNextStroke_;
    StagedProgram staged_;
    std::unique_ptr<TracedProcess> process_;
    HWND service_ = nullptr;
};

inline std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

// Wine's own programs that the tests write into: their frame and field
// classes, and where they are (under the Windows folder or the program files;
// the process's own bitness picks the copy).
struct ProgramKind {
    const char* name;
    const wchar_t* path;  // under the Windows folder, or under the program files
    bool underProgramFiles;
    const wchar_t* frameClass;
    const wchar_t* fieldClass;
};

inline const ProgramKind kNotepad = {"Notepad", L"notepad.exe", false, L"Notepad", L"Edit"};
inline const ProgramKind kWordpad = {"Wordpad", L"Windows NT\\Accessories\\wordpad.exe", true,
                                     L"WORDPADTOP", L"RichEdit20W"};

inline std::wstring programPath(const ProgramKind& kind) {
    wchar_t folder[MAX_PATH] = {};
    if (kind.underProgramFiles) {
        if (!GetEnvironmentVariableW(L"ProgramFiles", folder, MAX_PATH)) return kind.path;
    } else {
        GetSystemDirectoryW(folder, MAX_PATH);
    }
    return std::wstring(folder) + L"\\" + kind.path;
}

// One of Wine's programs, started by this test and ended with it.
class WineProgram {
  public:
    explicit WineProgram(const ProgramKind& kind) : kind_(kind) {
        std::wstring commandLine = L"\"" + programPath(kind) + L"\"";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &info)) {
            error_ = "could not start " + narrow(commandLine);
            return;
        }
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
        WaitForInputIdle(process_, 10000);
        sxtest::pumpUntil(
            [&] {
                frame_ = nullptr;
                while ((frame_ = FindWindowExW(nullptr, frame_, kind_.frameClass, nullptr))) {
                    DWORD owner = 0;
                    GetWindowThreadProcessId(frame_, &owner);
                    if (owner == pid_ && IsWindowVisible(frame_)) break;
                }
                field_ =
                    frame_ ? FindWindowExW(frame_, nullptr, kind_.fieldClass, nullptr) : nullptr;
                return field_ != nullptr;
            },
            targets::TargetProcess::kStartTimeoutMs);
        if (!field_) error_ = std::string(kind.name) + " did not show its field";
    }
    // A program with unsaved text would ask about it: it is ended outright.
    ~WineProgram() {
        if (!process_) return;
        TerminateProcess(process_, 0);
        WaitForSingleObject(process_, 10000);
        CloseHandle(process_);
    }
    WineProgram(const WineProgram&) = delete;
    WineProgram& operator=(const WineProgram&) = delete;

    bool ok() const { return field_ != nullptr; }
    const std::string& error() const { return error_; }
    HWND frame() const { return frame_; }
    HWND field() const { return field_; }

    std::wstring text() const {
        wchar_t buffer[4096] = {};
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(field_, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                                 SMTO_ABORTIFHUNG, 2000, &copied))
            return L"(no answer)";
        return std::wstring(buffer, copied);
    }
    // The field holds `text` with the caret at its end; its undo starts afresh.
    bool setText(const std::wstring& text) const {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(field_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                 SMTO_ABORTIFHUNG, 2000, &answer))
            return false;
        const LPARAM end = static_cast<LPARAM>(text.size());
        SendMessageTimeoutW(field_, EM_SETSEL, end, end, SMTO_ABORTIFHUNG, 2000, &answer);
        SendMessageTimeoutW(field_, EM_EMPTYUNDOBUFFER, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer);
        return this->text() == text;
    }
    // In front with its field focused, as after the user clicked its title.
    bool activate() const {
        return sxtest::pumpUntil(
            [&] {
                if (GetForegroundWindow() != frame_) SetForegroundWindow(frame_);
                GUITHREADINFO info = {};
                info.cbSize = sizeof info;
                return GetForegroundWindow() == frame_ &&
                       GetGUIThreadInfo(GetWindowThreadProcessId(frame_, nullptr), &info) &&
                       info.hwndFocus == field_;
            },
            5000);
    }

  private:
    const ProgramKind& kind_;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND frame_ = nullptr;
    HWND field_ = nullptr;
    std::string error_;
};

}  // namespace writingtest
