// For tests in another process: starts a target program (target_edit.exe,
// target_richedit.exe, target_word.exe, found beside the test program), waits
// until its window takes input, reads back and sets its text, selection and
// caret (TargetProtocol.h), types into it from outside, and always ends it:
// the destructor closes it (and kills it when it does not go), and every
// target runs in a job object that kills it when the test process dies.
//
//   targets::TargetProcess edit(targets::TargetKind::Edit, L"/multiline");
//   ASSERT_TRUE(edit.ok()) << edit.error();
//   ASSERT_TRUE(edit.activate());
//   targets::sendUnicodeText(L"hello");
//   EXPECT_TRUE(edit.waitForText(L"hello"));
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "TargetProtocol.h"

namespace targets {

enum class TargetKind { Edit, RichEdit, Word };

inline std::wstring classNameOf(HWND window) {
    wchar_t name[100] = {};
    GetClassNameW(window, name, 100);
    return name;
}

struct TargetState {
    std::wstring text;
    LONG selStart = -1;
    LONG selEnd = -1;
    LONG caret = -1;
    HWND control = nullptr;
};

class TargetProcess {
  public:
    // How long a target may take to show its window, and to answer a request.
    static constexpr DWORD kStartTimeoutMs = 30000;
    static constexpr DWORD kRequestTimeoutMs = 5000;

    explicit TargetProcess(TargetKind kind, const std::wstring& switches = std::wstring())
        : kind_(kind) {
        start(switches);
    }
    ~TargetProcess() { end(); }
    TargetProcess(const TargetProcess&) = delete;
    TargetProcess& operator=(const TargetProcess&) = delete;

    bool ok() const { return frame_ != nullptr; }
    const std::string& error() const { return error_; }
    HWND frame() const { return frame_; }
    HWND control() const { return control_; }
    DWORD processId() const { return processId_; }
    HANDLE process() const { return process_; }
    TargetKind kind() const { return kind_; }

    static const wchar_t* programName(TargetKind kind) {
        switch (kind) {
            case TargetKind::Edit:
                return L"target_edit.exe";
            case TargetKind::RichEdit:
                return L"target_richedit.exe";
            default:
                return L"target_word.exe";
        }
    }

    // The target's text, selection and caret; false when it does not answer.
    bool state(TargetState& out) const {
        reply_.clear();
        COPYDATASTRUCT request = {kGetState, 0, nullptr};
        if (!send(request)) return false;
        if (reply_.size() < sizeof(StateHeader)) return false;
        StateHeader header;
        memcpy(&header, reply_.data(), sizeof(header));
        if (header.textLength < 0 ||
            reply_.size() != sizeof(header) + header.textLength * sizeof(wchar_t))
            return false;
        out.text.assign(reinterpret_cast<const wchar_t*>(reply_.data() + sizeof(header)),
                        header.textLength);
        out.selStart = header.selStart;
        out.selEnd = header.selEnd;
        out.caret = header.caret;
        out.control = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(header.control));
        return true;
    }
    TargetState state() const {
        TargetState current;
        if (!state(current)) current = TargetState();
        return current;
    }
    std::wstring text() const { return state().text; }

    bool setText(const std::wstring& text) const {
        COPYDATASTRUCT request = {kSetText, static_cast<DWORD>(text.size() * sizeof(wchar_t)),
                                  const_cast<wchar_t*>(text.data())};
        return send(request);
    }
    // Selects from anchor to active (the caret); -1 stands for the end of the text.
    bool setSelection(LONG anchor, LONG active) const {
        LONG ends[2] = {anchor, active};
        COPYDATASTRUCT request = {kSetSelection, sizeof(ends), ends};
        return send(request);
    }
    // The target's UI thread stops answering for `ms` from now on.
    bool hang(LONG ms) const {
        COPYDATASTRUCT request = {kHang, sizeof(ms), &ms};
        return send(request);
    }
    bool setFaults(LONG faults) const {
        COPYDATASTRUCT request = {kSetFaults, sizeof(faults), &faults};
        return send(request);
    }

    // Brings the target to the foreground with its control focused, so that
    // keyboard input goes there.
    bool activate() const {
        if (!frame_) return false;
        return waitFor(
            [this] {
                if (GetForegroundWindow() != frame_) SetForegroundWindow(frame_);
                GUITHREADINFO info = {};
                info.cbSize = sizeof(info);
                return GetForegroundWindow() == frame_ &&
                       GetGUIThreadInfo(GetWindowThreadProcessId(frame_, nullptr), &info) &&
                       info.hwndFocus == control_;
            },
            kRequestTimeoutMs);
    }

    // Typed input is handled by the target after SendInput returns: poll until
    // the target shows what the test expects (or the time-out passes).
    template <class Predicate>
    static bool waitFor(Predicate done, DWORD timeoutMs = kRequestTimeoutMs) {
        DWORD started = GetTickCount();
        for (;;) {
            if (done()) return true;
            if (GetTickCount() - started > timeoutMs) return false;
            Sleep(10);
        }
    }
    bool waitForText(const std::wstring& expected, DWORD timeoutMs = kRequestTimeoutMs) const {
        return waitFor([&] { return text() == expected; }, timeoutMs);
    }

    // Closes the target, and kills it when it does not end in time. Safe to
    // call twice.
    void end() {
        if (process_) {
            // A target that does not answer at all is killed without waiting for it.
            DWORD_PTR answer = 0;
            bool answers = frame_ && SendMessageTimeoutW(frame_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG,
                                                         500, &answer);
            if (answers) PostMessageW(frame_, WM_CLOSE, 0, 0);
            if (!answers || WaitForSingleObject(process_, 3000) != WAIT_OBJECT_0) {
                TerminateProcess(process_, 1);
                WaitForSingleObject(process_, 10000);
            }
            CloseHandle(process_);
            process_ = nullptr;
        }
        frame_ = nullptr;
        control_ = nullptr;
        if (replyWindow_) {
            DestroyWindow(replyWindow_);
            replyWindow_ = nullptr;
        }
    }

  private:
    static const wchar_t* frameClass(TargetKind kind) {
        switch (kind) {
            case TargetKind::Edit:
                return kEditFrameClass;
            case TargetKind::RichEdit:
                return kRichEditFrameClass;
            default:
                return kWordFrameClass;
        }
    }

    static std::wstring besideThisProgram(const wchar_t* name) {
        wchar_t path[MAX_PATH] = {};
        DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring folder(path, length);
        size_t slash = folder.find_last_of(L"\\/");
        return (slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1)) + name;
    }

    // Kills every target when the test process ends, however it ends.
    static HANDLE killOnCloseJob() {
        static HANDLE job = [] {
            HANDLE made = CreateJobObjectW(nullptr, nullptr);
            if (!made) return made;
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            if (!SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits,
                                         sizeof(limits))) {
                CloseHandle(made);
                made = nullptr;
            }
            return made;
        }();
        return job;
    }

    static LRESULT CALLBACK replyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_COPYDATA) {
            auto* sink =
                reinterpret_cast<std::vector<BYTE>*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
            if (!sink || !data || data->dwData != kStateReply) return 0;
            const BYTE* bytes = static_cast<const BYTE*>(data->lpData);
            sink->assign(bytes, bytes + (bytes ? data->cbData : 0));
            return 1;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void fail(const std::string& what) {
        error_ = what + " (error " + std::to_string(GetLastError()) + ")";
        end();
    }

    void start(const std::wstring& switches) {
        static LONG counter = 0;
        std::wstring program = besideThisProgram(programName(kind_));
        std::wstring eventName = L"ScribixTargetReady-" + std::to_wstring(GetCurrentProcessId()) +
                                 L"-" + std::to_wstring(InterlockedIncrement(&counter));
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
        if (!ready) return fail("cannot make the ready event");
        std::wstring commandLine = L"\"" + program + L"\" /ready:" + eventName;
        if (!switches.empty()) commandLine += L" " + switches;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        // Wine reports a new process that ended inside its loader, before it
        // ran any code of its own, as ERROR_INTERNAL_ERROR; seen on a loaded
        // machine and gone on the next try. Any other refusal is final.
        bool made = false;
        for (int attempt = 0; attempt < 3 && !made; ++attempt) {
            made = CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                                  CREATE_SUSPENDED, nullptr, nullptr, &startup, &info);
            if (!made && GetLastError() != ERROR_INTERNAL_ERROR) break;
            if (!made) Sleep(500);
        }
        if (!made) {
            const DWORD error = GetLastError();
            CloseHandle(ready);
            SetLastError(error);
            return fail("cannot start the target");
        }
        process_ = info.hProcess;
        processId_ = info.dwProcessId;
        if (HANDLE job = killOnCloseJob()) AssignProcessToJobObject(job, process_);
        ResumeThread(info.hThread);
        CloseHandle(info.hThread);

        HANDLE waits[2] = {ready, process_};
        DWORD woke = WaitForMultipleObjects(2, waits, FALSE, kStartTimeoutMs);
        CloseHandle(ready);
        if (woke != WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process_, &code);
            return fail(woke == WAIT_OBJECT_0 + 1
                            ? "the target ended before its window was ready, exit code " +
                                  std::to_string(code)
                            : "the target did not get ready in time");
        }
        frame_ = findFrame();
        if (!frame_) return fail("the target's window was not found");

        WNDCLASSEXW windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &TargetProcess::replyProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"ScribixTargetClientReply";
        RegisterClassExW(&windowClass);  // fails harmlessly once registered
        replyWindow_ = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0,
                                       HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
        if (!replyWindow_) return fail("cannot make the reply window");
        SetWindowLongPtrW(replyWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&reply_));

        TargetState first;
        if (!state(first) || !first.control) return fail("the target does not answer");
        control_ = first.control;
    }

    struct FrameSearch {
        DWORD processId;
        const wchar_t* className;
        HWND found;
    };

    static BOOL CALLBACK matchFrame(HWND window, LPARAM param) {
        auto* search = reinterpret_cast<FrameSearch*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != search->processId || classNameOf(window) != search->className) return TRUE;
        search->found = window;
        return FALSE;
    }

    HWND findFrame() const {
        FrameSearch search = {processId_, frameClass(kind_), nullptr};
        EnumWindows(&TargetProcess::matchFrame, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    // The answer to kGetState arrives at replyWindow_ while SendMessage waits.
    bool send(COPYDATASTRUCT& request) const {
        if (!frame_ || !replyWindow_) return false;
        DWORD_PTR answer = 0;
        return SendMessageTimeoutW(frame_, WM_COPYDATA, reinterpret_cast<WPARAM>(replyWindow_),
                                   reinterpret_cast<LPARAM>(&request), SMTO_NORMAL,
                                   kRequestTimeoutMs, &answer) &&
               answer == 1;
    }

    TargetKind kind_;
    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HWND frame_ = nullptr;
    HWND control_ = nullptr;
    HWND replyWindow_ = nullptr;
    mutable std::vector<BYTE> reply_;
    std::string error_;
};

// ---- typing from outside, into the foreground window ----

// Types the text as Unicode key events (KEYEVENTF_UNICODE) in one SendInput.
inline bool sendUnicodeText(const std::wstring& text) {
    std::vector<INPUT> inputs;
    for (wchar_t ch : text) {
        for (DWORD up : {DWORD(0), DWORD(KEYEVENTF_KEYUP)}) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = ch;
            input.ki.dwFlags = KEYEVENTF_UNICODE | up;
            inputs.push_back(input);
        }
    }
    if (inputs.empty()) return true;
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) ==
           inputs.size();
}

// Presses and releases a virtual key with keybd_event (with its scan code),
// holding Shift and/or Ctrl around it.
inline void pressKey(BYTE key, bool shift = false, bool ctrl = false) {
    auto send = [](BYTE vk, DWORD flags) {
        keybd_event(vk, static_cast<BYTE>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)), flags, 0);
    };
    if (ctrl) send(VK_CONTROL, 0);
    if (shift) send(VK_SHIFT, 0);
    send(key, 0);
    send(key, KEYEVENTF_KEYUP);
    if (shift) send(VK_SHIFT, KEYEVENTF_KEYUP);
    if (ctrl) send(VK_CONTROL, KEYEVENTF_KEYUP);
}

// Types the text through the keyboard layout: each character's key (with Shift
// when the layout needs it) by keybd_event. False when a character has no
// key without Ctrl or Alt (nothing is typed then).
inline bool typeWithKeys(const std::wstring& text) {
    std::vector<SHORT> keys;
    for (wchar_t ch : text) {
        SHORT key = VkKeyScanW(ch);
        if (key == -1 || (HIBYTE(key) & ~1)) return false;
        keys.push_back(key);
    }
    for (SHORT key : keys) pressKey(LOBYTE(key), HIBYTE(key) & 1);
    return true;
}

}  // namespace targets
