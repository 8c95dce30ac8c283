// Stand-in for the product family's 32-bit hook library.
//
// What it does for real: it creates the shared block and the queue event, keeps
// the pen-event ring in the block, installs out-of-context accessibility hooks
// that follow the focus and the foreground window of other applications (from
// the window in front when the hooks are set on), and a
// low-level keyboard hook that reports Escape; it answers the program's
// questions from what those hooks saw and posts the service window's (F)
// messages: 3025 when another window comes to the front, 3033 on Escape, 3031
// when it has a text for the program.
//
// Pen capture (the mouse stands for the pen): while the pen is on and the
// program is not mouse-transparent, a low-level mouse hook asks the service
// window at every left-button press whether to ink there (3026, sent). When
// the program says yes, the press, the moves and the release of that contact
// are swallowed, so the window under the pen gets no click; their points go
// into the ring in quarter pixels of the virtual screen, the first one followed
// by the live-ink marker and the release by a separator, and the queue event is
// signalled. 3064 asks the program to show its ink layer at the press. When the
// program ends the inking period (setInkDriverParams with the mode back at 0,
// or the pen off), the finish marker and a separator close it and 3065 hides
// the layer. Input that carries one of the program's own extra-information
// tags is never taken for the pen (Wine marks input of its own as injected
// too, so the injected flag cannot tell). putPointToClientExternal feeds the
// same ring.
//
// For tests the library reads three environment variables once:
//   SCRIBIX35_JOURNAL          a file to which every call is appended, one line each,
//                              ending in "thread=<id>"
//   SCRIBIX35_INSERT_FAILURES  InsertHooks fails this many times before it succeeds
//   SCRIBIX35_INSERT_HANG      when "1", InsertHooks never returns
//   SCRIBIX35_INIT_FAIL        when "1", SetInitValues reports failure
#include "Scribix35.h"
#include "Scribix35Area.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace {

// The ring's control entries, the program's input tags and the messages to
// the service window, by the names this library uses for them.
constexpr int kInkControlX = SX_RING_CONTROL_X;
constexpr uint16_t kInkSeparatorY = SX_RING_SEPARATOR_Y;
constexpr uint16_t kInkFinishY = SX_RING_FINISH_Y;
constexpr uint16_t kInkLiveInkY = SX_RING_LIVE_INK_Y;
constexpr ULONG_PTR kMouseDownMarker = SX_PROGRAM_INPUT_DOWN;
constexpr ULONG_PTR kMouseUpMarker = SX_PROGRAM_INPUT_UP;
constexpr ULONG_PTR kMouseOtherMarker = SX_PROGRAM_INPUT_OTHER;
constexpr ULONG_PTR kShakeReleaseMarker = SX_PROGRAM_INPUT_SHAKE_RELEASE;
enum : UINT {
    WM_INK_FOREGROUND_CHANGED = SX_MSG_FOREGROUND_CHANGED,
    WM_INK_PEN_DOWN = SX_MSG_PEN_DOWN,
    WM_INK_MESSAGE_FOR_CLIENT = SX_MSG_MESSAGE_FOR_CLIENT,
    WM_INK_ESCAPE = SX_MSG_ESCAPE,
    WM_INK_LAYER_SHOW = SX_MSG_LAYER_SHOW,
    WM_INK_LAYER_HIDE = SX_MSG_LAYER_HIDE,
};

// Marks our own synthetic input (same tag as the program's mouse emulation).
constexpr ULONG_PTR kOwnInputTag = kMouseDownMarker;
// Every extra-information tag of the program's emulated mouse input.
constexpr ULONG_PTR kProgramInputTags[] = {kMouseDownMarker, kMouseUpMarker, kMouseOtherMarker,
                                           kShakeReleaseMarker};
// How long the hook waits for the program's answer to a pen-down.
constexpr UINT kPenDownAnswerMs = 500;
// How long a control entry waits for room in a full ring.
constexpr DWORD kControlEntryWaitMs = 50;
constexpr UINT kRemoveHooksRequest = WM_APP + 1;
constexpr wchar_t kOwnerClass[] = L"Scribix35HookOwner";

HMODULE g_module = nullptr;
CRITICAL_SECTION g_lock;  // guards set-up and removal, the journal and the message text
HANDLE g_mapping = nullptr;
SharedDataStruct* g_block = nullptr;
Scribix35Area* g_area = nullptr;
HANDLE g_queueEvent = nullptr;

HWINEVENTHOOK g_focusHook = nullptr;
HWINEVENTHOOK g_foregroundHook = nullptr;
HHOOK g_keyboardHook = nullptr;
HHOOK g_mouseHook = nullptr;

// The writer side of the ring: the hook thread, setInkDriverParams and
// putPointToClientExternal (any thread) write under this lock.
CRITICAL_SECTION g_ringLock;

// The pen contact the mouse hook is inking. The low-level hook must answer at
// once: while it runs, the thread that reads the pointer (in whichever process
// owns the window under it) waits, its pending moves are merged into one, and
// a hook that keeps the system waiting is skipped or removed. So the hook
// never waits for the program: a press while the pen is on is swallowed and
// its points are held while the asker thread puts the pen-down question
// (3026); ink lets them into the ring, no ink gives the press (and what
// followed it) back to the window under the pen.
enum class ContactState { NONE, ASKING, INK, CLICK };

constexpr int kHeldPoints = 256;

struct PenContact {
    ContactState state;
    bool cancelled;  // the inking period ended under it: no more points
    bool released;   // the release came while the question was still open
    int32_t lastEntry;
    bool hasLast;
    POINT held[kHeldPoints];  // the press and the moves while asking
    int heldCount;

    void reset(ContactState now) {
        state = now;
        cancelled = released = hasLast = false;
        lastEntry = 0;
        heldCount = 0;
    }
    void hold(POINT pt) {
        if (heldCount == kHeldPoints) heldCount = kHeldPoints - 1;  // the latest position wins
        held[heldCount++] = pt;
    }
};
PenContact g_contact = {};
// Presses that came while the contact before them was still being asked
// about (it was released already): each is asked about in turn. Quick
// strokes of one writing come faster than an answer under load.
constexpr int kWaitingContacts = 8;
PenContact g_waiting[kWaitingContacts] = {};
int g_waitingCount = 0;
CRITICAL_SECTION g_contactLock;  // the hook thread, the asker and setInkDriverParams

// The asker thread: it puts the pen-down question for the hook.
HANDLE g_askEvent = nullptr;
HANDLE g_askerThread = nullptr;
volatile LONG g_askerStopping = 0;

HWND g_hookOwner = nullptr;  // message-only window on the thread that installed the hooks
volatile LONG g_focusEventSeen = 0;  // a focus event came since the hooks were set
DWORD g_hookThread = 0;

WCHAR g_messageToClient[512];

bool g_configRead = false;
WCHAR g_journalPath[MAX_PATH];
LONG g_insertFailuresLeft = 0;
bool g_insertHangs = false;
bool g_initFails = false;

void readConfig() {
    if (g_configRead) return;
    g_configRead = true;
    WCHAR value[32];
    if (!GetEnvironmentVariableW(L"SCRIBIX35_JOURNAL", g_journalPath, MAX_PATH))
        g_journalPath[0] = L'\0';
    if (GetEnvironmentVariableW(L"SCRIBIX35_INSERT_FAILURES", value, 32))
        g_insertFailuresLeft = _wtoi(value);
    if (GetEnvironmentVariableW(L"SCRIBIX35_INSERT_HANG", value, 32))
        g_insertHangs = value[0] == L'1';
    if (GetEnvironmentVariableW(L"SCRIBIX35_INIT_FAIL", value, 32)) g_initFails = value[0] == L'1';
}

// Appends one line to the journal file, when there is one.
void journal(const char* format, ...) {
    EnterCriticalSection(&g_lock);
    readConfig();
    if (g_journalPath[0]) {
        char line[512];
        va_list args;
        va_start(args, format);
        int n = _vsnprintf(line, sizeof line - 40, format, args);
        va_end(args);
        if (n < 0) n = static_cast<int>(sizeof line) - 41;
        n += std::snprintf(line + n, sizeof line - n, " thread=%lu\r\n", GetCurrentThreadId());
        HANDLE file = CreateFileW(g_journalPath, FILE_APPEND_DATA,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, line, static_cast<DWORD>(n), &written, nullptr);
            CloseHandle(file);
        }
    }
    LeaveCriticalSection(&g_lock);
}

inline uint32_t handle32(HWND window) {
    return static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(window));
}
inline HWND handleOf(uint32_t value) {
    return reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
}

HWND serviceWindow() { return g_block ? handleOf(g_block->_hwndMain) : nullptr; }

void postToService(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND target = serviceWindow();
    if (target) PostMessageW(target, message, wParam, lParam);
}

inline int32_t ringEntry(int x, int y) {
    return static_cast<int32_t>((static_cast<uint32_t>(y & 0xFFFF) << 16) |
                                static_cast<uint32_t>(x & 0xFFFF));
}

// Writes one entry at the write index; false when the ring is full.
bool writeRingEntry(int32_t entry) {
    if (!g_area) return false;
    EnterCriticalSection(&g_ringLock);
    PenEventRing& ring = g_area->ring;
    const LONG write = ring.writeIndex;
    const LONG next = (write + 1) % PEN_EVENT_RING_SIZE;
    const bool room = next != ring.readIndex;
    if (room) {
        ring.entries[write] = entry;
        MemoryBarrier();
        ring.writeIndex = next;
    }
    LeaveCriticalSection(&g_ringLock);
    return room;
}

void signalQueue() {
    if (g_queueEvent) SetEvent(g_queueEvent);
}

// A control entry (x = kInkControlX) must not be lost: it waits a little for the reader.
void writeControlEntry(uint16_t y) {
    const DWORD start = GetTickCount();
    while (!writeRingEntry(ringEntry(kInkControlX, y))) {
        if (GetTickCount() - start >= kControlEntryWaitMs) return;
        signalQueue();
        Sleep(1);
    }
}

// Leaves a text for the program and tells it (3031; wParam 0 shows it, 1 traces it).
void leaveMessageForClient(const WCHAR* text, bool show) {
    EnterCriticalSection(&g_lock);
    lstrcpynW(g_messageToClient, text, ARRAYSIZE(g_messageToClient));
    LeaveCriticalSection(&g_lock);
    postToService(WM_INK_MESSAGE_FOR_CLIENT, show ? 0 : 1, 0);
}

void readScreenMetrics() {
    if (!g_area) return;
    RECT r;
    r.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    r.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    r.right = r.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    r.bottom = r.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    g_area->virtualScreen = r;
    g_block->_rcTap = r;
    g_block->_iListMarginX = GetSystemMetrics(SM_CXVSCROLL);
    g_block->_iListMarginY = GetSystemMetrics(SM_CYHSCROLL);
}

bool isEditClass(HWND window) {
    WCHAR name[64];
    if (!GetClassNameW(window, name, ARRAYSIZE(name))) return false;
    return lstrcmpiW(name, L"Edit") == 0 || _wcsnicmp(name, L"RichEdit", 8) == 0 ||
           lstrcmpW(name, L"_WwG") == 0;
}

void storeModulePath(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    WCHAR path[MAX_PATH] = L"";
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (process) {
        DWORD size = MAX_PATH;
        if (!QueryFullProcessImageNameW(process, 0, path, &size)) path[0] = L'\0';
        CloseHandle(process);
    }
    lstrcpynW(g_block->_szForegroundModule, path, ARRAYSIZE(g_block->_szForegroundModule));
}

void noteForeground(HWND window) {
    if (!g_block || !window || !IsWindow(window)) return;
    if (handle32(window) == g_block->_hwndForeground) return;
    g_block->_hwndForeground = handle32(window);
    storeModulePath(window);
    postToService(WM_INK_FOREGROUND_CHANGED, reinterpret_cast<WPARAM>(window), 0);
}

void noteFocus(HWND window, LONG idObject, LONG idChild, DWORD eventTime) {
    g_block->_iSameWindow = g_block->_hwndElem == handle32(window) ? 1 : 0;
    g_block->_hwndFocus = handle32(window);
    g_block->_hwndElem = handle32(window);
    g_block->_idObject = idObject;
    g_block->_idChild = idChild;
    g_block->_dwFocusTime = eventTime;
    g_block->_iEditable = isEditClass(window) ? 1 : 0;
    RECT r;
    if (GetWindowRect(window, &r)) g_block->_rcElem = r;
    // Wine raises no foreground events: the focus tells us which window is in front.
    HWND root = GetAncestor(window, GA_ROOT);
    noteForeground(root ? root : GetForegroundWindow());
}

// The taskbar and the notification area take the focus when clicked, or when
// an icon appears (Wine's stand-alone tray window comes to the front when the
// program adds its icon): no field to write into there, so the application
// the user left stays the target.
bool isShellTray(HWND window) {
    HWND root = GetAncestor(window, GA_ROOT);
    WCHAR name[64];
    if (!root || !GetClassNameW(root, name, ARRAYSIZE(name))) return false;
    return lstrcmpW(name, L"Shell_TrayWnd") == 0 || lstrcmpW(name, L"Shell_SecondaryTrayWnd") == 0 ||
           lstrcmpW(name, L"NotifyIconOverflowWindow") == 0 ||
           lstrcmpW(name, L"__winex11_standalone_tray") == 0;
}

void CALLBACK onWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG idObject, LONG idChild,
                         DWORD, DWORD eventTime) {
    if (!g_block || !window || isShellTray(window)) return;
    if (event == EVENT_SYSTEM_FOREGROUND) {
        noteForeground(window);
        return;
    }
    if (event != EVENT_OBJECT_FOCUS) return;
    InterlockedExchange(&g_focusEventSeen, 1);
    noteFocus(window, idObject, idChild, eventTime);
}

bool ownProcess(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid == GetCurrentProcessId();
}

// The front window of another application: the foreground window, or, while
// the program's own start-up windows or the notification area hold the
// foreground, the highest visible top-level window of another process (the
// one the user looks at).
HWND frontWindowOfAnotherApplication() {
    HWND foreground = GetForegroundWindow();
    if (foreground && !ownProcess(foreground) && !isShellTray(foreground)) return foreground;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        const LONG_PTR exStyle = GetWindowLongPtrW(w, GWL_EXSTYLE);
        if (!IsWindowVisible(w) || GetWindow(w, GW_OWNER) || (exStyle & WS_EX_TOOLWINDOW) ||
            ownProcess(w) || isShellTray(w))
            continue;
        return w;
    }
    return nullptr;
}

// The largest visible text field in `root`, or null. An application that lost
// the activation (to the program's own start-up windows, or to the
// notification area) has no focus until it is activated again, when it gives
// it back to its field; its document field is the largest one.
struct FieldSearch {
    HWND best;
    LONG area;
};

BOOL CALLBACK considerTextField(HWND child, LPARAM context) {
    auto* search = reinterpret_cast<FieldSearch*>(context);
    RECT r;
    if (!IsWindowVisible(child) || !isEditClass(child) || !GetWindowRect(child, &r)) return TRUE;
    const LONG area = (r.right - r.left) * (r.bottom - r.top);
    if (area > search->area) {
        search->best = child;
        search->area = area;
    }
    return TRUE;
}

HWND largestTextField(HWND root) {
    FieldSearch search = {nullptr, 0};
    EnumChildWindows(root, considerTextField, reinterpret_cast<LPARAM>(&search));
    return search.best;
}

// The focus events come only with the next change: a field that already had
// the focus when the program started would stay unknown, and what is written
// over it would reach nothing. The current front window and its focus are
// taken as if they had just been focused. True when a focused field was found.
bool noteCurrentFocus() {
    HWND front = frontWindowOfAnotherApplication();
    if (!front) return false;
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof thread;
    HWND focus = nullptr;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(front, nullptr), &thread))
        focus = thread.hwndFocus;
    const bool found = focus && GetAncestor(focus, GA_ROOT) == front;
    if (!found) focus = largestTextField(front);
    noteFocus(focus ? focus : front, OBJID_CLIENT, CHILDID_SELF, GetTickCount());
    return found;
}

// Not every application's return to the front raises a focus event (Wine's
// rich edit keeps its focus through a deactivation and says nothing when it
// comes back): when another application than the last focus's is in front,
// its focus is asked for before the program is answered.
void followForeground() {
    if (!g_block) return;
    HWND front = GetForegroundWindow();
    if (!front || ownProcess(front) || isShellTray(front)) return;
    HWND focus = handleOf(g_block->_hwndFocus);
    if (focus && IsWindow(focus) && GetAncestor(focus, GA_ROOT) == front) return;
    noteCurrentFocus();
}

// The program's own start-up windows may have held the foreground a moment
// ago: the application in front gets it back and focuses its field a little
// later. Until a focus event tells, it is asked again a few times.
constexpr UINT_PTR kFocusRetryTimer = 1;
constexpr UINT kFocusRetryMs = 100;
constexpr int kFocusRetries = 30;
int g_focusRetriesLeft = 0;

void askForCurrentFocus() {
    InterlockedExchange(&g_focusEventSeen, 0);
    g_focusRetriesLeft = kFocusRetries;
    if (!noteCurrentFocus() && g_hookOwner) SetTimer(g_hookOwner, kFocusRetryTimer, kFocusRetryMs, nullptr);
}

void retryCurrentFocus(HWND owner) {
    if (g_focusEventSeen || --g_focusRetriesLeft <= 0 || noteCurrentFocus())
        KillTimer(owner, kFocusRetryTimer);
}

LRESULT CALLBACK onLowLevelKey(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if ((wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) && key->vkCode == VK_ESCAPE &&
            key->dwExtraInfo != kOwnInputTag)
            postToService(WM_INK_ESCAPE, 0, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool isProgramInput(ULONG_PTR extraInfo) {
    for (ULONG_PTR tag : kProgramInputTags)
        if (extraInfo == tag) return true;
    return false;
}

// A screen pixel in quarter pixels, kept inside the signed 16 bits of an entry.
int quarterPixels(LONG pixel) {
    const LONG q = pixel * 4;
    return q < -32768 ? -32768 : q > 32764 ? 32764 : static_cast<int>(q);
}

// The window the pen is over: the ink layer of the program is see-through.
HWND windowUnderPen(POINT pt) {
    HWND window = WindowFromPoint(pt);
    WCHAR name[64];
    if (!window || !GetClassNameW(window, name, ARRAYSIZE(name)) ||
        lstrcmpW(name, L"TransparentLayerWndClass") != 0)
        return window;
    HWND top = ChildWindowFromPointEx(GetDesktopWindow(), pt,
                                      CWP_SKIPINVISIBLE | CWP_SKIPDISABLED | CWP_SKIPTRANSPARENT);
    if (!top || top == window) return nullptr;
    for (HWND child = top;;) {
        POINT local = pt;
        ScreenToClient(child, &local);
        HWND inner = ChildWindowFromPointEx(child, local, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!inner || inner == child) return child;
        child = inner;
    }
}

bool penCaptureWanted() {
    return g_area && g_area->inkDriverParams[0] != 0 && !g_area->mouseTransparent &&
           !g_area->inkingLocked && serviceWindow() != nullptr;
}

// The contact's point, once for each new position (under g_contactLock).
void addContactPoint(POINT pt) {
    const int32_t entry = ringEntry(quarterPixels(pt.x), quarterPixels(pt.y));
    if (g_contact.hasLast && g_contact.lastEntry == entry) return;
    if (!writeRingEntry(entry)) return;  // the reader is behind: the point is lost
    g_contact.lastEntry = entry;
    g_contact.hasLast = true;
}

// The program's answer to 3026 (0 no ink, 1 markup ink, 2 ink).
LRESULT askToInk(POINT pt) {
    DWORD_PTR answer = 0;
    HWND under = windowUnderPen(pt);
    const LPARAM at = MAKELPARAM(static_cast<WORD>(pt.x), static_cast<WORD>(pt.y));
    if (!SendMessageTimeoutW(serviceWindow(), WM_INK_PEN_DOWN, reinterpret_cast<WPARAM>(under), at,
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, kPenDownAnswerMs, &answer))
        return 0;
    return static_cast<LRESULT>(answer);
}

// Gives a press that is not ink back to the window under the pen: the press,
// the moves that came while asking and the release when it came, tagged as
// the program's own so that the hook lets them through.
void replayAsClick(const POINT* points, int count, bool released) {
    const int screenX = GetSystemMetrics(SM_CXSCREEN), screenY = GetSystemMetrics(SM_CYSCREEN);
    for (int i = 0; i < count + (released ? 1 : 0); ++i) {
        const POINT pt = points[i < count ? i : count - 1];
        INPUT input = {};
        input.type = INPUT_MOUSE;
        // The middle of the pixel, so that it maps back to that pixel.
        input.mi.dx = screenX > 0 ? MulDiv(2 * pt.x + 1, 32768, screenX) : 0;
        input.mi.dy = screenY > 0 ? MulDiv(2 * pt.y + 1, 32768, screenY) : 0;
        input.mi.dwFlags = MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE |
                           (i == 0 ? MOUSEEVENTF_LEFTDOWN : 0) |
                           (i == count ? MOUSEEVENTF_LEFTUP : 0);
        input.mi.dwExtraInfo = kOwnInputTag;
        SendInput(1, &input, sizeof input);
    }
}

// One open question: ask, then settle the held points as the answer says.
// True when a waiting contact became the open question.
bool settleContact() {
    POINT press;
    EnterCriticalSection(&g_contactLock);
    const bool open = g_contact.state == ContactState::ASKING && g_contact.heldCount > 0;
    if (open) press = g_contact.held[0];
    LeaveCriticalSection(&g_contactLock);
    if (!open) return false;

    const bool ink = askToInk(press) != 0;
    if (ink) postToService(WM_INK_LAYER_SHOW, 0, 0);
    POINT replay[kHeldPoints];
    int replayCount = 0;
    bool released = false;
    EnterCriticalSection(&g_contactLock);
    if (ink) {
        // The points in order: the first, the live-ink marker, the moves, and
        // the separator when the release came already.
        if (!g_contact.cancelled) {
            for (int i = 0; i < g_contact.heldCount; ++i) {
                addContactPoint(g_contact.held[i]);
                if (i == 0) writeControlEntry(kInkLiveInkY);
            }
            if (g_contact.released) writeControlEntry(kInkSeparatorY);
        }
        g_contact.heldCount = 0;
        if (g_contact.released)
            g_contact.reset(ContactState::NONE);
        else
            g_contact.state = ContactState::INK;
    } else {
        replayCount = g_contact.heldCount;
        for (int i = 0; i < replayCount; ++i) replay[i] = g_contact.held[i];
        released = g_contact.released;
        // From here the contact's input goes through as it comes.
        g_contact.reset(released ? ContactState::NONE : ContactState::CLICK);
    }
    // The next press that waited is asked about now (contacts wait only
    // behind a released one, so the settled contact is over).
    const bool next = g_contact.state == ContactState::NONE && g_waitingCount > 0;
    if (next) {
        g_contact = g_waiting[0];
        for (int i = 1; i < g_waitingCount; ++i) g_waiting[i - 1] = g_waiting[i];
        --g_waitingCount;
    }
    LeaveCriticalSection(&g_contactLock);
    if (ink)
        signalQueue();
    else
        replayAsClick(replay, replayCount, released);
    return next;
}

DWORD WINAPI askerMain(void*) {
    while (WaitForSingleObject(g_askEvent, INFINITE) == WAIT_OBJECT_0 && !g_askerStopping)
        while (settleContact()) {
        }
    return 0;
}

bool startAsker() {
    if (g_askerThread) return true;
    if (!g_askEvent) g_askEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    g_askerStopping = 0;
    g_askerThread = g_askEvent ? CreateThread(nullptr, 0, askerMain, nullptr, 0, nullptr) : nullptr;
    return g_askerThread != nullptr;
}

void stopAsker() {
    if (!g_askerThread) return;
    InterlockedExchange(&g_askerStopping, 1);
    SetEvent(g_askEvent);
    // An open question ends within its own time-out.
    WaitForSingleObject(g_askerThread, kPenDownAnswerMs + 1000);
    CloseHandle(g_askerThread);
    g_askerThread = nullptr;
    EnterCriticalSection(&g_contactLock);
    g_contact.reset(ContactState::NONE);
    g_waitingCount = 0;
    LeaveCriticalSection(&g_contactLock);
}

// What the hook does with one event of the left button's contact; true swallows it.
bool onContactEvent(WPARAM message, POINT pt) {
    bool swallow = false;
    bool ask = false;
    bool wake = false;
    EnterCriticalSection(&g_contactLock);
    switch (message) {
        case WM_LBUTTONDOWN:
            if (g_contact.state == ContactState::ASKING && g_contact.released &&
                (g_waitingCount == 0 || g_waiting[g_waitingCount - 1].released) &&
                g_waitingCount < kWaitingContacts && penCaptureWanted()) {
                PenContact& waiting = g_waiting[g_waitingCount++];
                waiting.reset(ContactState::ASKING);
                waiting.hold(pt);
                swallow = true;
                break;
            }
            if (g_contact.state != ContactState::NONE || !penCaptureWanted()) break;
            g_contact.reset(ContactState::ASKING);
            g_contact.hold(pt);
            swallow = ask = true;
            break;
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP: {
            const bool up = message == WM_LBUTTONUP;
            if (g_waitingCount > 0) {
                // The latest press is still waiting: what follows is its.
                PenContact& waiting = g_waiting[g_waitingCount - 1];
                if (!waiting.released) waiting.hold(pt);
                if (up) waiting.released = true;
                swallow = true;
                break;
            }
            if (g_contact.state == ContactState::CLICK) {
                if (up) g_contact.reset(ContactState::NONE);
                break;
            }
            if (g_contact.state == ContactState::ASKING) {
                if (!g_contact.released) g_contact.hold(pt);
                if (up) g_contact.released = true;
                swallow = true;
                break;
            }
            if (g_contact.state != ContactState::INK) break;
            swallow = true;
            if (!g_contact.cancelled) {
                addContactPoint(pt);
                if (up) writeControlEntry(kInkSeparatorY);
                wake = true;
            }
            if (up) g_contact.reset(ContactState::NONE);
            break;
        }
        default:
            break;
    }
    LeaveCriticalSection(&g_contactLock);
    if (ask) SetEvent(g_askEvent);
    if (wake) signalQueue();
    return swallow;
}

LRESULT CALLBACK onLowLevelMouse(int code, WPARAM wParam, LPARAM lParam) {
    if (code != HC_ACTION || !g_area) return CallNextHookEx(nullptr, code, wParam, lParam);
    const auto* mouse = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    if (isProgramInput(mouse->dwExtraInfo)) return CallNextHookEx(nullptr, code, wParam, lParam);
    g_area->lastInputType = SX_INPUT_MOUSE;
    if (onContactEvent(wParam, mouse->pt)) return 1;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void unhookAll() {
    if (g_mouseHook) UnhookWindowsHookEx(g_mouseHook);
    g_mouseHook = nullptr;
    if (g_keyboardHook) UnhookWindowsHookEx(g_keyboardHook);
    if (g_focusHook) UnhookWinEvent(g_focusHook);
    if (g_foregroundHook) UnhookWinEvent(g_foregroundHook);
    g_keyboardHook = nullptr;
    g_focusHook = g_foregroundHook = nullptr;
}

LRESULT CALLBACK hookOwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && wParam == kFocusRetryTimer) {
        retryCurrentFocus(window);
        return 0;
    }
    if (message == kRemoveHooksRequest) {
        unhookAll();
        DestroyWindow(window);
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool createHookOwner() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = hookOwnerProc;
    wc.hInstance = g_module;
    wc.lpszClassName = kOwnerClass;
    if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    g_hookOwner = CreateWindowExW(0, kOwnerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  g_module, nullptr);
    return g_hookOwner != nullptr;
}

bool openBlock() {
    if (g_block) return true;
    WCHAR name[32];
    formatMapFileName(name, ARRAYSIZE(name));
    g_mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                   SHARED_DATA_SIZE, name);
    if (!g_mapping) return false;
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    g_block = static_cast<SharedDataStruct*>(
        MapViewOfFile(g_mapping, FILE_MAP_WRITE, 0, 0, SHARED_DATA_SIZE));
    if (!g_block) {
        CloseHandle(g_mapping);
        g_mapping = nullptr;
        return false;
    }
    g_area = reinterpret_cast<Scribix35Area*>(g_block->_creatorArea);
    if (!existed || g_block->_iCheckSize != SHARED_DATA_SIZE) {
        ZeroMemory(g_block, SHARED_DATA_SIZE);
        g_block->_iCheckSize = SHARED_DATA_SIZE;
        g_block->_iEnabled = 1;
        g_block->_iTwoFingerTap = 1;
        g_block->_dwTapGestureID = 6;    // two-finger tap
        g_block->_dwTapGestureWant = 1;  // its "enable" bit
        g_block->_xNoLocation = -32000;
        g_block->_yNoLocation = -32000;
        g_area->lastInputType = SX_INPUT_MOUSE;
        const int32_t touchDefaults[5] = {10, 10, 200, 100, 150};
        for (int i = 0; i < 5; ++i) g_area->touchParams[i] = touchDefaults[i];
        g_area->inkDriverParams[2] = 1;
    }
    readScreenMetrics();
    return true;
}

void closeBlock() {
    if (g_block) UnmapViewOfFile(g_block);
    if (g_mapping) CloseHandle(g_mapping);
    if (g_queueEvent) CloseHandle(g_queueEvent);
    g_block = nullptr;
    g_area = nullptr;
    g_mapping = nullptr;
    g_queueEvent = nullptr;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = module;
        InitializeCriticalSection(&g_lock);
        InitializeCriticalSection(&g_ringLock);
        InitializeCriticalSection(&g_contactLock);
        DisableThreadLibraryCalls(module);
    } else if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
        // Unloaded while the process goes on: no hook may call into the gone
        // code, and the block is let go. At process exit the system does both.
        unhookAll();
        closeBlock();
        DeleteCriticalSection(&g_contactLock);
        DeleteCriticalSection(&g_ringLock);
        DeleteCriticalSection(&g_lock);
    }
    return TRUE;
}

extern "C" {

int SCRIBIX35_CALL SetInitValues(void) {
    journal("SetInitValues");
    EnterCriticalSection(&g_lock);
    readConfig();
    bool ok = !g_initFails && openBlock();
    if (ok && !g_queueEvent) {
        g_queueEvent = CreateEventW(nullptr, TRUE, FALSE, L"InkDriverQueueEvent");
        ok = g_queueEvent != nullptr;
    }
    if (ok) g_area->ring.readIndex = g_area->ring.writeIndex = 0;
    LeaveCriticalSection(&g_lock);
    return ok ? 1 : 0;
}

int SCRIBIX35_CALL InsertHooks(HINSTANCE, HWND window) {
    journal("InsertHooks window=0x%08X", handle32(window));
    readConfig();
    if (g_insertHangs) {
        for (;;) Sleep(INFINITE);
    }
    if (InterlockedDecrement(&g_insertFailuresLeft) >= 0) return 0;
    EnterCriticalSection(&g_lock);
    bool ok = g_block != nullptr && g_hookOwner == nullptr;
    if (ok) {
        g_block->_hwndMain = handle32(window);
        ok = createHookOwner() && startAsker();
    }
    if (ok) {
        const DWORD flags = WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS;
        g_focusHook = SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, onWinEvent,
                                      0, 0, flags);
        g_foregroundHook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND,
                                           nullptr, onWinEvent, 0, 0, flags);
        g_keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, onLowLevelKey, g_module, 0);
        g_mouseHook = SetWindowsHookExW(WH_MOUSE_LL, onLowLevelMouse, g_module, 0);
        ok = g_focusHook && g_foregroundHook && g_keyboardHook && g_mouseHook;
        if (!ok) {
            unhookAll();
            DestroyWindow(g_hookOwner);
            g_hookOwner = nullptr;
        }
    }
    if (ok) {
        g_hookThread = GetCurrentThreadId();
        askForCurrentFocus();
    }
    LeaveCriticalSection(&g_lock);
    if (!ok && g_block)
        leaveMessageForClient(L"Scribix35: the system hooks could not be set\n", false);
    return ok ? 1 : 0;
}

int SCRIBIX35_CALL RemoveAllHooks(void) {
    journal("RemoveAllHooks");
    EnterCriticalSection(&g_lock);
    HWND owner = g_hookOwner;
    const bool sameThread = g_hookThread == GetCurrentThreadId();
    g_hookOwner = nullptr;
    g_hookThread = 0;
    LeaveCriticalSection(&g_lock);
    if (owner) {
        // Accessibility hooks can only be removed by the thread that set them:
        // ask it, and do what can be done here when it does not answer.
        DWORD_PTR done = 0;
        if (sameThread) {
            hookOwnerProc(owner, kRemoveHooksRequest, 0, 0);
        } else if (!SendMessageTimeoutW(owner, kRemoveHooksRequest, 0, 0, SMTO_NORMAL, 2000,
                                        &done) ||
                   !done) {
            unhookAll();
        }
    }
    stopAsker();
    if (g_block) g_block->_hwndMain = 0;
    return 1;
}

int SCRIBIX35_CALL setInkDriverParams(int penOn, int mode, int value3, int value4, int value5,
                                      int value6, int value7, int value8) {
    journal("setInkDriverParams %d %d %d %d %d %d %d %d", penOn, mode, value3, value4, value5,
            value6, value7, value8);
    if (!g_area) return 0;
    const int32_t values[8] = {penOn, mode, value3, value4, value5, value6, value7, value8};
    const bool wasInking = g_area->inkDriverParams[1] == 1;
    // A new inking period starts: nothing has come from a tablet for it yet.
    if (mode == 1 && !wasInking) g_area->tabletInputSeen = 0;
    for (int i = 0; i < 8; ++i) g_area->inkDriverParams[i] = values[i];
    if (wasInking && (mode != 1 || penOn == 0)) {
        // The inking period is over: the rest of a contact is not ink, and the
        // separator after the finish marker ends the program's ignoring.
        EnterCriticalSection(&g_contactLock);
        if (g_contact.state != ContactState::NONE) g_contact.cancelled = true;
        LeaveCriticalSection(&g_contactLock);
        writeControlEntry(kInkFinishY);
        writeControlEntry(kInkSeparatorY);
        signalQueue();
        postToService(WM_INK_LAYER_HIDE, 0, 0);
    }
    return 1;
}

void SCRIBIX35_CALL resetInkDriverSystemParams(void) {
    journal("resetInkDriverSystemParams");
    readScreenMetrics();
}

void SCRIBIX35_CALL setHookTabletMode(int tabletMode, int allowedInputType, int superGesture,
                                      int superGestureId, const RECT* superGestureArea) {
    if (superGestureArea)
        journal("setHookTabletMode %d %d %d %d %ld,%ld,%ld,%ld", tabletMode, allowedInputType,
                superGesture, superGestureId, superGestureArea->left, superGestureArea->top,
                superGestureArea->right, superGestureArea->bottom);
    else
        journal("setHookTabletMode %d %d %d %d none", tabletMode, allowedInputType, superGesture,
                superGestureId);
    if (!g_area) return;
    g_area->tabletMode = tabletMode;
    g_area->allowedInputType = allowedInputType;
    g_area->superGesture = superGesture;
    g_area->superGestureId = superGestureId;
    if (superGestureArea) g_area->superGestureArea = *superGestureArea;
}

PenEventRing* SCRIBIX35_CALL getEventStack(int) { return g_area ? &g_area->ring : nullptr; }

int SCRIBIX35_CALL checkHoldState(void) { return g_area ? g_area->holdState : 0; }

int SCRIBIX35_CALL putPointToClientExternal(int x, int y) {
    if (!writeRingEntry(ringEntry(x, y))) return 0;  // full: the reader is behind
    g_area->tabletInputSeen = 1;
    g_area->lastInputType = SX_INPUT_PEN;
    signalQueue();
    return 1;
}

void SCRIBIX35_CALL lockInking(int lock) {
    if (g_area) g_area->inkingLocked = lock;
}

int SCRIBIX35_CALL isTabletInputMissing(void) { return g_area && g_area->tabletInputSeen ? 0 : 1; }

int SCRIBIX35_CALL getLastInputType(void) { return g_area ? g_area->lastInputType : 0; }

HWND SCRIBIX35_CALL getLastFocusWindow(void) {
    followForeground();
    return g_block ? handleOf(g_block->_hwndFocus) : nullptr;
}

HWND SCRIBIX35_CALL getLastForegroundWindow(void) {
    return g_block ? handleOf(g_block->_hwndForeground) : nullptr;
}

HWND SCRIBIX35_CALL getTargetFgrWindow(void) {
    if (!g_block) return nullptr;
    followForeground();
    HWND focus = handleOf(g_block->_hwndFocus);
    if (focus && IsWindow(focus)) return GetAncestor(focus, GA_ROOT);
    HWND foreground = handleOf(g_block->_hwndForeground);
    return foreground && IsWindow(foreground) ? foreground : nullptr;
}

const WCHAR* SCRIBIX35_CALL getTargetModuleName(void) {
    return g_block && g_block->_szForegroundModule[0] ? g_block->_szForegroundModule : nullptr;
}

int SCRIBIX35_CALL getLastFocusedElemInfo(UI_ELEM_INFO* element, RECT* location) {
    followForeground();
    if (!g_block || !g_block->_hwndElem) return 0;
    if (element) {
        element->hwnd = handleOf(g_block->_hwndElem);
        element->idObject = g_block->_idObject;
        element->idChild = g_block->_idChild;
    }
    if (location) *location = g_block->_rcElem;
    return 1;
}

HKL SCRIBIX35_CALL askLastFocusKeyboardLayout(void) {
    HWND focus = getLastFocusWindow();
    DWORD thread = focus && IsWindow(focus) ? GetWindowThreadProcessId(focus, nullptr) : 0;
    return GetKeyboardLayout(thread);
}

int SCRIBIX35_CALL isEditTextInFocus(void) {
    if (!g_block) return 0;
    followForeground();
    HWND focus = handleOf(g_block->_hwndFocus);
    return focus && IsWindow(focus) && (g_block->_iEditable || isEditClass(focus)) ? 1 : 0;
}

const WCHAR* SCRIBIX35_CALL getMessageToClientAddress(void) { return g_messageToClient; }

void SCRIBIX35_CALL setMouseTransparent(void) {
    journal("setMouseTransparent");
    if (g_area) g_area->mouseTransparent = 1;
}

void SCRIBIX35_CALL unsetMouseTransparent(void) {
    journal("unsetMouseTransparent");
    if (g_area) g_area->mouseTransparent = 0;
}

void SCRIBIX35_CALL setNoForegroundToRestore(void) {
    if (g_area) g_area->noForegroundToRestore = 1;
}

void SCRIBIX35_CALL showCurrentCursor(int) {
    // The stand-in never hides the cursor; nothing to show again.
}

void SCRIBIX35_CALL getTouchParams(int* maxCx, int* maxCy, int* maxClickMs, int* maxSureClickMs,
                                   int* sureExpandPercent) {
    int* out[5] = {maxCx, maxCy, maxClickMs, maxSureClickMs, sureExpandPercent};
    for (int i = 0; i < 5; ++i)
        if (out[i]) *out[i] = g_area ? g_area->touchParams[i] : 0;
}

void SCRIBIX35_CALL setTouchParams(int maxCx, int maxCy, int maxClickMs, int maxSureClickMs,
                                   int sureExpandPercent) {
    if (!g_area) return;
    const int values[5] = {maxCx, maxCy, maxClickMs, maxSureClickMs, sureExpandPercent};
    for (int i = 0; i < 5; ++i) g_area->touchParams[i] = values[i];
}

}  // extern "C"
