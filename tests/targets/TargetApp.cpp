#include "TargetApp.h"

#include <ole2.h>
#include <shellapi.h>

#include <cstring>
#include <vector>

namespace targets {

namespace {

// How long a target waits on the caller's window when it answers.
constexpr UINT kReplyTimeoutMs = 5000;

struct Frame {
    TargetView* view = nullptr;
    HWND control = nullptr;
};

Frame g_frame;

std::vector<std::wstring> arguments() {
    std::vector<std::wstring> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return args;
    for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
    LocalFree(argv);
    return args;
}

LRESULT replyState(HWND frame, HWND replyTo) {
    ControlState state = g_frame.view->state();
    StateHeader header = {state.selStart, state.selEnd, state.caret,
                          static_cast<LONG>(state.text.size()),
                          static_cast<ULONG>(reinterpret_cast<ULONG_PTR>(g_frame.control))};
    std::vector<BYTE> data(sizeof(header) + state.text.size() * sizeof(wchar_t));
    memcpy(data.data(), &header, sizeof(header));
    if (!state.text.empty())
        memcpy(data.data() + sizeof(header), state.text.data(),
               state.text.size() * sizeof(wchar_t));
    COPYDATASTRUCT reply = {kStateReply, static_cast<DWORD>(data.size()), data.data()};
    DWORD_PTR answer = 0;
    LRESULT sent = SendMessageTimeoutW(replyTo, WM_COPYDATA, reinterpret_cast<WPARAM>(frame),
                                       reinterpret_cast<LPARAM>(&reply), SMTO_ABORTIFHUNG,
                                       kReplyTimeoutMs, &answer);
    return sent && answer ? 1 : 0;
}

// One request of TargetProtocol.h; the payload comes from another process, so
// its size is checked before it is read.
LRESULT onRequest(HWND frame, HWND replyTo, const COPYDATASTRUCT* request) {
    if (!request) return 0;
    const BYTE* data = static_cast<const BYTE*>(request->lpData);
    DWORD size = request->cbData;
    switch (request->dwData) {
        case kGetState:
            return replyState(frame, replyTo);
        case kSetText: {
            if (size % sizeof(wchar_t) != 0 || (size && !data)) return 0;
            std::wstring text(size / sizeof(wchar_t), L'\0');
            if (size) memcpy(&text[0], data, size);
            g_frame.view->setText(text);
            return 1;
        }
        case kSetSelection: {
            if (size != 2 * sizeof(LONG) || !data) return 0;
            LONG ends[2];
            memcpy(ends, data, sizeof(ends));
            g_frame.view->setSelection(ends[0], ends[1]);
            return 1;
        }
        case kHang: {
            if (size != sizeof(LONG) || !data) return 0;
            LONG ms;
            memcpy(&ms, data, sizeof(ms));
            if (ms <= 0) return 0;
            // The caller goes on at once while this thread sleeps, as a hung
            // application's does: nothing it sends next gets an answer.
            ReplyMessage(1);
            Sleep(static_cast<DWORD>(ms));
            return 1;
        }
        case kSetFaults: {
            if (size != sizeof(LONG) || !data) return 0;
            LONG faults;
            memcpy(&faults, data, sizeof(faults));
            return g_frame.view->setFaults(faults) ? 1 : 0;
        }
        default:
            return 0;
    }
}

LRESULT CALLBACK frameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            if (g_frame.control)
                MoveWindow(g_frame.control, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_SETFOCUS:
            if (g_frame.control) SetFocus(g_frame.control);
            return 0;
        case WM_COPYDATA:
            return onRequest(frame, reinterpret_cast<HWND>(wParam),
                             reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(frame, message, wParam, lParam);
    }
}

void signalReady() {
    static const wchar_t kPrefix[] = L"/ready:";
    const size_t prefixLength = wcslen(kPrefix);
    for (const std::wstring& arg : arguments()) {
        if (arg.compare(0, prefixLength, kPrefix) != 0) continue;
        HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, arg.c_str() + prefixLength);
        if (event) {
            SetEvent(event);
            CloseHandle(event);
        }
    }
}

}  // namespace

bool hasSwitch(const wchar_t* name) {
    std::wstring wanted = std::wstring(L"/") + name;
    for (const std::wstring& arg : arguments()) {
        if (_wcsicmp(arg.c_str(), wanted.c_str()) == 0) return true;
    }
    return false;
}

int runTarget(const wchar_t* frameClass, const wchar_t* title, TargetView& view) {
    if (FAILED(OleInitialize(nullptr))) return 2;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = frameProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = frameClass;
    if (!RegisterClassExW(&windowClass)) return 3;

    g_frame.view = &view;
    HWND frame = CreateWindowExW(0, frameClass, title, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 80,
                                 80, 480, 320, nullptr, nullptr, instance, nullptr);
    if (!frame) return 4;
    g_frame.control = view.create(frame);
    if (!g_frame.control) return 5;
    RECT client;
    GetClientRect(frame, &client);
    MoveWindow(g_frame.control, 0, 0, client.right, client.bottom, FALSE);
    ShowWindow(frame, SW_SHOWNORMAL);
    UpdateWindow(frame);
    SetForegroundWindow(frame);
    SetFocus(g_frame.control);
    signalReady();

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    g_frame = Frame();
    OleUninitialize();
    return 0;
}

}  // namespace targets
