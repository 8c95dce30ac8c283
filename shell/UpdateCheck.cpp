#include "UpdateCheck.h"

#include <shellapi.h>
#include <wininet.h>

#include <atomic>
#include <memory>
#include <vector>

#include "ServiceWindow.h"
#include "Splash.h"
#include "core/AppGlobals.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "ink/LocalInkManager.h"
#include "ink/PenEventThread.h"
#include "resources/resource.h"
#include "win/Dialog.h"
#include "win/ScopedLock.h"
#include "win/WinString.h"
#include "xml/LiteDom.h"

namespace {

constexpr wchar_t kDefaultEndpoint[] = L"http://www.zorvane.com";
constexpr wchar_t kProductKey[] = L"ScribixPro";
constexpr DWORD kManualTimeoutMs = 10000;
constexpr DWORD kAutomaticTimeoutMs = 20000;
constexpr DWORD kIdleInputMs = 10000;
constexpr int kIdleWaits = 120;

std::atomic<DWORD> g_retryMs{300000};
std::atomic<DWORD> g_idleSleepMs{60000};

bool shellOpen(const wchar_t* link) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = link;
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

bool (*g_openLink)(const wchar_t*) = shellOpen;
std::atomic<bool> g_threadAllowed{true};

std::wstring lowered(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

// The scheme ("http", "https"; lower case) and host (lower case, no port) of
// an absolute address; false when it is not of the form scheme://host...
bool splitAddress(const std::wstring& address, std::wstring& scheme, std::wstring& host) {
    const size_t colon = address.find(L"://");
    if (colon == std::wstring::npos || colon == 0) return false;
    scheme = lowered(address.substr(0, colon));
    const size_t start = colon + 3;
    size_t end = address.find_first_of(L"/?#\\", start);
    if (end == std::wstring::npos) end = address.size();
    std::wstring authority = address.substr(start, end - start);
    // A user part ("site@elsewhere") would hide the real host.
    if (authority.find(L'@') != std::wstring::npos) return false;
    const size_t port = authority.find(L':');
    if (port != std::wstring::npos) {
        for (size_t i = port + 1; i < authority.size(); ++i)
            if (authority[i] < L'0' || authority[i] > L'9') return false;
        authority.resize(port);
    }
    for (wchar_t c : authority)
        if (c <= L' ') return false;
    host = lowered(authority);
    return !host.empty();
}

uint64_t periodMs() { return updatePeriodMs(); }

std::wstring versionText() {
    wchar_t version[160];
    return getVersionText(version);
}

// The later of the system's last input and the pen-event thread's last wake.
DWORD msSinceLastInput() {
    const DWORD tick = GetTickCount();
    LASTINPUTINFO input = {sizeof input, 0};
    DWORD last = GetLastInputInfo(&input) ? input.dwTime : 0;
    const DWORD pen = getLastPenWakeTick();
    if (pen && tick - pen < tick - last) last = pen;
    return tick - last;
}

void rememberCheckTick() {
    DWORD tick = GetTickCount();
    if (tick == 0) tick = 1;  // 0 stands for "never checked"
    GeneralSettings& settings = generalSettings();
    settings.autoUpdateLastAsk = static_cast<int>(tick);
    WriteSetting(nullptr, L"autoUpdateLastAsk", &settings.autoUpdateLastAsk, SETTING_NUMBER, 0);
}

// Where a fetch lends its WinINet session, so that another thread can cut
// the fetch off: closing the session ends a blocking call at once, which the
// network layer's own time-outs do not always do (a site that takes the
// request and never answers).
class SessionSlot {
  public:
    SessionSlot() { InitializeCriticalSection(&lock_); }
    ~SessionSlot() { DeleteCriticalSection(&lock_); }
    SessionSlot(const SessionSlot&) = delete;
    SessionSlot& operator=(const SessionSlot&) = delete;

    // Lends `session`; false (and the session closed) when the slot is cut.
    bool lend(HINTERNET session) {
        win::ScopedLock lock(lock_);
        if (cut_) {
            InternetCloseHandle(session);
            return false;
        }
        session_ = session;
        return true;
    }
    // Takes `session` back; false when a cut has closed it.
    bool takeBack(HINTERNET session) {
        win::ScopedLock lock(lock_);
        if (session_ != session) return false;
        session_ = nullptr;
        return true;
    }
    // Closes the lent session and refuses the next ones until reopened.
    void cut() {
        win::ScopedLock lock(lock_);
        cut_ = true;
        if (session_) InternetCloseHandle(session_);
        session_ = nullptr;
    }
    void reopen() {
        win::ScopedLock lock(lock_);
        cut_ = false;
    }
    bool isCut() {
        win::ScopedLock lock(lock_);
        return cut_;
    }

  private:
    CRITICAL_SECTION lock_;
    HINTERNET session_ = nullptr;
    bool cut_ = false;
};

// The update thread, the request to stop it, and the slot of the fetch it
// is inside: a stop cuts that fetch off so that it ends at once instead of
// after its time-out.
struct UpdateThreadState {
    CRITICAL_SECTION lock;
    HANDLE stop;
    HANDLE thread = nullptr;
    SessionSlot fetch;
    UpdateThreadState() {
        InitializeCriticalSection(&lock);
        stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
};

UpdateThreadState& updateThread() {
    static UpdateThreadState* state = new UpdateThreadState;  // outlives a thread left running
    return *state;
}

bool stopRequested() { return WaitForSingleObject(updateThread().stop, 0) == WAIT_OBJECT_0; }

// Sleeps `ms` unless a stop comes first; false when it did.
bool sleepUnlessStopped(DWORD ms) {
    return WaitForSingleObject(updateThread().stop, ms) != WAIT_OBJECT_0;
}

DWORD WINAPI updateThreadProc(void* parameter) {
    runAutomaticUpdateCheck(static_cast<HWND>(parameter));
    return 0;
}

class UpdatePanel : public win::Dialog {
  public:
    UpdatePanel(const UpdateInfo& info, bool autoCheck) : info_(info), autoCheck_(autoCheck) {}

  protected:
    bool onInit() override {
        SetDlgItemTextW(hwnd(), IDC_UPDATE_VERSION,
                        win::format(L"Your version: %ls", versionText().c_str()).c_str());
        std::wstring message;
        for (wchar_t c : info_.Message) {
            if (c == L'\n') message += L'\r';
            message += c;
        }
        SetDlgItemTextW(hwnd(), IDC_UPDATE_MESSAGE, message.c_str());
        SetDlgItemTextW(hwnd(), IDC_UPDATE_ACTION, info_.action.c_str());
        if (autoCheck_) EnableWindow(GetDlgItem(hwnd(), IDC_UPDATE_SKIP), !info_.curVer.empty());
        return true;
    }

    bool onCommand(WORD id, WORD) override {
        switch (id) {
            case IDC_UPDATE_ACTION:
                if (!info_.Link.empty()) {
                    if (isUpdateLinkAllowed(info_.Link, updateRequestBase()))
                        g_openLink(info_.Link.c_str());
                    else
                        debugTrace(L"Update panel: link refused: %s\n", info_.Link.c_str());
                }
                end(id);
                return true;
            case IDC_UPDATE_SKIP:
                // Only an offered version can be skipped (the button is
                // disabled without one, but its command may come anyway).
                if (!info_.Link.empty() && !info_.curVer.empty()) {
                    GeneralSettings& settings = generalSettings();
                    lstrcpynW(settings.autoUpdateSkipVersion, info_.curVer.c_str(),
                              ARRAYSIZE(settings.autoUpdateSkipVersion));
                    writeGeneralSettings();
                }
                end(id);
                return true;
            case IDC_UPDATE_REMIND:
            case IDCANCEL:
                end(id);
                return true;
            default:
                return false;
        }
    }

  private:
    UpdateInfo info_;
    bool autoCheck_;
};

}  // namespace

std::wstring updateRequestBase() {
    wchar_t configured[129] = L"";
    if (ReadSetting(nullptr, L"UpgURL", configured, SETTING_STRING, 129) && configured[0])
        return configured;
    return win::format(L"%ls%ls", kDefaultEndpoint, L"/upgrades");
}

bool buildUpdateRequest(std::wstring& address) {
    const std::wstring base = updateRequestBase();
    address = win::format(L"%ls/?pr=%ls&ver=%ls&op=autoChk&key=%ls", base.c_str(), kProductKey,
                          versionText().c_str(), generalSettings().regKey);
    return !base.empty();
}

namespace {

// The fetch's WinINet handles. A fetch with a slot lends its session there,
// where a stop or a time-out may close it (closing the request with it);
// whoever takes the session back closes the handles.
class FetchHandles {
  public:
    explicit FetchHandles(SessionSlot* slot) : slot_(slot) {}
    ~FetchHandles() {
        if (slot_ && session_ && !slot_->takeBack(session_)) return;  // cut off already
        if (request_) InternetCloseHandle(request_);
        if (session_) InternetCloseHandle(session_);
    }
    FetchHandles(const FetchHandles&) = delete;
    FetchHandles& operator=(const FetchHandles&) = delete;

    // False when the fetch is cut off already (the session is closed then).
    bool adoptSession(HINTERNET session) {
        session_ = session;
        if (!slot_ || !session) return session != nullptr;
        if (slot_->lend(session)) return true;
        session_ = nullptr;
        return false;
    }
    void setRequest(HINTERNET request) { request_ = request; }

  private:
    SessionSlot* slot_;
    HINTERNET session_ = nullptr;
    HINTERNET request_ = nullptr;
};

// The answer is a few hundred bytes of XML; anyone on the way can rewrite the
// reply, so a reply announcing more than this is no answer (and nothing is
// allocated for it).
constexpr DWORD kMaxAnswerBytes = 64 * 1024;

bool fetchText(const std::wstring& address, std::wstring& text, DWORD timeoutMs,
               SessionSlot* slot) {
    text.clear();
    const DWORD started = GetTickCount();
    FetchHandles handles(slot);
    const HINTERNET session =
        InternetOpenW(L"Scribix", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!handles.adoptSession(session)) return false;
    DWORD limit = timeoutMs;
    InternetSetOptionW(session, INTERNET_OPTION_CONNECT_TIMEOUT, &limit, sizeof limit);
    InternetSetOptionW(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &limit, sizeof limit);
    InternetSetOptionW(session, INTERNET_OPTION_SEND_TIMEOUT, &limit, sizeof limit);
    const HINTERNET request = InternetOpenUrlW(
        session, address.c_str(), nullptr, 0,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI, 0);
    if (!request) return false;
    handles.setRequest(request);
    // An error page is no answer, whatever it holds.
    DWORD status = 0, size = sizeof status;
    if (HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                       nullptr) &&
        (status < 200 || status > 299))
        return false;
    DWORD length = 0;
    size = sizeof length;
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size,
                        nullptr))
        return false;
    if (length > kMaxAnswerBytes) {
        debugTrace(L"UpdateCheck: a reply of %lu bytes is no answer\n",
                   static_cast<unsigned long>(length));
        return false;
    }
    std::vector<char> buffer(static_cast<size_t>(length) + 2, 0);
    size_t used = 0;
    for (;;) {
        if (GetTickCount() - started > timeoutMs) return false;
        const size_t left = buffer.size() - used;
        if (left < 2) return false;  // more than announced
        DWORD read = 0;
        if (!InternetReadFile(request, buffer.data() + used, static_cast<DWORD>(left - 1), &read))
            return false;
        if (read == 0) break;
        used += read;
    }
    if (slot && slot->isCut()) return false;
    if (used == 0) return true;
    const int wide =
        MultiByteToWideChar(CP_THREAD_ACP, 0, buffer.data(), static_cast<int>(used), nullptr, 0);
    if (wide <= 0) return false;
    text.resize(wide);
    MultiByteToWideChar(CP_THREAD_ACP, 0, buffer.data(), static_cast<int>(used), &text[0], wide);
    return true;
}

// One fetch on a thread of its own, so that its caller can stop waiting for
// it at once. The fetch touches nothing but this record (shared by both
// threads, freed by the last one); a stop or a time-out cuts its session off,
// and whatever the network layer still finishes is bounded work left behind.
struct FetchJob {
    std::wstring address;
    std::wstring text;
    DWORD timeoutMs = 0;
    SessionSlot* slot = nullptr;  // the update thread's, or `own`
    SessionSlot own;
    bool ok = false;
    HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> refs{2};
    void release() {
        if (--refs == 0) {
            if (done) CloseHandle(done);
            delete this;
        }
    }
};

DWORD WINAPI fetchJobProc(void* parameter) {
    auto* job = static_cast<FetchJob*>(parameter);
    job->ok = fetchText(job->address, job->text, job->timeoutMs, job->slot);
    SetEvent(job->done);
    job->release();
    return 0;
}

// Starts `job` on its thread; false (the job then the caller's alone) when
// no thread can be made.
bool startFetchJob(FetchJob* job) {
    HANDLE thread = job->done ? CreateThread(nullptr, 0, fetchJobProc, job, 0, nullptr) : nullptr;
    if (!thread) {
        job->refs = 1;
        return false;
    }
    CloseHandle(thread);
    return true;
}

}  // namespace

bool httpGetText(const std::wstring& address, std::wstring& text, DWORD timeoutMs) {
    text.clear();
    auto* job = new FetchJob;
    job->address = address;
    job->timeoutMs = timeoutMs;
    job->slot = &job->own;
    if (!startFetchJob(job)) {
        const bool ok = fetchText(address, text, timeoutMs, nullptr);
        job->release();
        return ok;
    }
    // The time-out holds whatever the network layer does: past it (and a
    // moment's grace for a fetch just ending) the fetch is cut off.
    bool ok = false;
    if (WaitForSingleObject(job->done, timeoutMs + 1000) == WAIT_OBJECT_0) {
        ok = job->ok;
        if (ok) text = job->text;
    } else {
        debugTrace(L"UpdateCheck: no answer within %lu ms\n",
                   static_cast<unsigned long>(timeoutMs));
        job->own.cut();
    }
    job->release();
    return ok;
}

bool parseUpdateAnswer(const std::wstring& text, UpdateInfo& info) {
    info = UpdateInfo();
    CLiteDom dom;
    if (text.empty() || !dom.loadFromString(text.c_str(), text.size())) return false;
    CLiteElem root;
    XString name;
    if (!dom.getRoot(root) || !root.getName(name) || name != L"update") return false;
    XString value;
    if (root.getAttrString(L"action", value)) info.action = value;
    if (root.getAttrString(L"curVer", value)) info.curVer = value;
    CLiteElem child;
    if (root.findChild(child, L"Message") && child.tryGetText(value)) info.Message = value;
    CLiteElem link;
    if (root.findChild(link, L"Link") && link.tryGetText(value)) info.Link = value;
    return true;
}

bool isUpdateLinkAllowed(const std::wstring& link, const std::wstring& base) {
    std::wstring scheme, host, baseScheme, baseHost;
    if (!splitAddress(link, scheme, host) || !splitAddress(base, baseScheme, baseHost))
        return false;
    return (scheme == L"http" || scheme == L"https") && host == baseHost;
}

void setUpdateLinkOpener(bool (*opener)(const wchar_t*)) {
    g_openLink = opener ? opener : shellOpen;
}

void setUpdateThreadAllowed(bool allowed) { g_threadAllowed = allowed; }

void setUpdateRetryDelays(DWORD retryMs, DWORD idleSleepMs) {
    g_retryMs = retryMs;
    g_idleSleepMs = idleSleepMs;
}

unsigned long long getFirstUpdateDelay() {
    const DWORD last = static_cast<DWORD>(generalSettings().autoUpdateLastAsk);
    if (last == 0) return 0;
    // Unsigned difference: right across the tick count's wrap-around.
    const uint64_t since = static_cast<DWORD>(GetTickCount() - last);
    const uint64_t period = periodMs();
    return since >= period ? 0 : period - since;
}

namespace {

enum class Fetch { Answered, Failed, Stopped };

Fetch fetchUnlessStopped(const std::wstring& address, std::wstring& text) {
    auto* job = new FetchJob;
    job->address = address;
    job->timeoutMs = kAutomaticTimeoutMs;
    job->slot = &job->own;
    if (!startFetchJob(job)) {
        job->release();
        if (stopRequested()) return Fetch::Stopped;
        return fetchText(address, text, kAutomaticTimeoutMs, &updateThread().fetch)
                   ? Fetch::Answered
               : stopRequested() ? Fetch::Stopped
                                 : Fetch::Failed;
    }
    // A stop, or the time-out passing (the network layer may not keep it),
    // cuts the fetch off.
    const HANDLE waits[2] = {job->done, updateThread().stop};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, kAutomaticTimeoutMs + 1000);
    Fetch result = Fetch::Failed;
    if (woken == WAIT_OBJECT_0 && !stopRequested()) {
        text = job->text;
        result = job->ok ? Fetch::Answered : Fetch::Failed;
    } else {
        job->own.cut();
        if (stopRequested()) result = Fetch::Stopped;
    }
    job->release();
    return result;
}

// Runs this thread's messages that are waiting; false when the quit message
// came, which is posted again for the loops outside.
bool dispatchWaitingMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return true;
}

// The menu's fetch, on a thread of its own while the UI thread goes on with
// its messages: the program closed meanwhile ends the wait at once, and the
// time-out holds whatever the network layer does with its own (a silent site
// keeps a request open well past it): past it the fetch is cut off.
Fetch fetchWhileDispatching(const std::wstring& address, std::wstring& text) {
    auto* job = new FetchJob;
    job->address = address;
    job->timeoutMs = kManualTimeoutMs;
    job->slot = &job->own;
    if (!startFetchJob(job)) {
        job->release();
        return fetchText(address, text, kManualTimeoutMs, nullptr) ? Fetch::Answered
                                                                   : Fetch::Failed;
    }
    const DWORD started = GetTickCount();
    Fetch result = Fetch::Failed;
    bool finished = false;
    for (;;) {
        const DWORD waited = GetTickCount() - started;
        if (waited >= kManualTimeoutMs) break;
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &job->done, kManualTimeoutMs - waited,
                                                        QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0) {
            finished = true;
            if (job->ok) {
                text = job->text;
                result = Fetch::Answered;
            }
            break;
        }
        if (woken != WAIT_OBJECT_0 + 1) break;
        if (!dispatchWaitingMessages()) {
            result = Fetch::Stopped;
            break;
        }
    }
    if (!finished) {
        if (result != Fetch::Stopped)
            debugTrace(L"UpdateCheck: no answer within %lu ms\n",
                       static_cast<unsigned long>(kManualTimeoutMs));
        job->own.cut();
    }
    job->release();
    return result;
}

bool g_menuCheckRunning = false;  // UI thread only

}  // namespace

void runAutomaticUpdateCheck(HWND window) {
    std::wstring address;
    if (!buildUpdateRequest(address)) return;
    std::wstring text;
    for (;;) {
        const Fetch fetched = fetchUnlessStopped(address, text);
        if (fetched == Fetch::Answered) break;
        if (fetched == Fetch::Stopped || !sleepUnlessStopped(g_retryMs)) return;
    }
    rememberCheckTick();
    auto info = std::make_unique<UpdateInfo>();
    if (!parseUpdateAnswer(text, *info) || info->action == L"Latest" ||
        info->curVer == generalSettings().autoUpdateSkipVersion) {
        // Timers belong to the window's thread: the service window re-arms it.
        PostMessageW(window, WM_INK_UPDATE_ANSWER, UPDATE_ANSWER_REARM, 0);
        return;
    }
    for (int i = 0; i < kIdleWaits && msSinceLastInput() < kIdleInputMs; ++i) {
        if (!sleepUnlessStopped(g_idleSleepMs)) return;
    }
    if (stopRequested()) return;
    win::postRecord(window, WM_INK_UPDATE_ANSWER, 0, std::move(info));
}

bool startUpdateThread(HWND window) {
    UpdateThreadState& state = updateThread();
    win::ScopedLock lock(state.lock);
    // A check still fetching or waiting for the user goes on; a second one
    // would only ask the same question again.
    if (state.thread && WaitForSingleObject(state.thread, 0) == WAIT_TIMEOUT) return true;
    if (state.thread) CloseHandle(state.thread);
    state.thread = nullptr;
    // After a stop whose thread did not end, no new check begins.
    if (stopRequested()) return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, TRUE};
    DWORD id = 0;
    HANDLE thread =
        g_threadAllowed ? CreateThread(&attributes, 0, updateThreadProc, window, 0, &id) : nullptr;
    if (!thread) {
        SetTimer(window, TIMER_UPDATE_CHECK, 300000, nullptr);
        return false;
    }
    state.thread = thread;
    return true;
}

bool stopUpdateThread(DWORD waitMs) {
    UpdateThreadState& state = updateThread();
    HANDLE thread;
    {
        win::ScopedLock lock(state.lock);
        SetEvent(state.stop);
        state.fetch.cut();
        thread = state.thread;
    }
    if (thread && WaitForSingleObject(thread, waitMs) != WAIT_OBJECT_0) {
        debugTrace(L"UpdateCheck: the update thread did not end in time\n");
        return false;
    }
    win::ScopedLock lock(state.lock);
    if (state.thread) CloseHandle(state.thread);
    state.thread = nullptr;
    ResetEvent(state.stop);
    state.fetch.reopen();
    return true;
}

INT_PTR showUpdatePanel(HWND owner, const UpdateInfo& info, bool autoCheck) {
    UpdatePanel panel(info, autoCheck);
    return panel.runModal(getInstance(), autoCheck ? L"UPDATE_AUTOCHECK" : L"UPDATE_INFO", owner);
}

void checkForUpdateNow(HWND owner) {
    // The messages run while the site is asked: a second request meanwhile
    // (the menu again, the About box) waits for the first one's answer.
    if (g_menuCheckRunning) return;
    std::wstring address, text;
    UpdateInfo info;
    Fetch fetched = Fetch::Failed;
    if (buildUpdateRequest(address)) {
        g_menuCheckRunning = true;
        fetched = fetchWhileDispatching(address, text);
        g_menuCheckRunning = false;
    }
    if (fetched == Fetch::Stopped) return;  // the program is closing
    if (fetched == Fetch::Answered && parseUpdateAnswer(text, info)) {
        if (info.action == L"Latest")
            showMessage(L"You already have the most recent version of Scribix installed.");
        else
            showUpdatePanel(owner, info, false);
        HWND service = getServiceWindow();
        if (generalSettings().runAutoUpdate && service) armUpdateTimer(service, periodMs());
        return;
    }
    showMessageBox(
        L"Scribix upgrade information is unavailable.\nPlease check your Internet connectivity "
        L"and firewall settings and check for upgrade again.\nIf the problem persists, please "
        L"report it through the contact form on the Zorvane web site.",
        MB_ICONWARNING);
}

bool showUpdateAutoCheck(LPARAM answer) {
    std::unique_ptr<UpdateInfo> info = win::takeRecord<UpdateInfo>(answer);
    if (!info) return false;
    showUpdatePanel(getServiceWindow(), *info, true);
    return true;
}

void formatCurrentDate(std::wstring& text, LCID locale, DWORD flags) {
    wchar_t buffer[60] = L"";
    GetDateFormatW(locale, flags, nullptr, nullptr, buffer, 20);
    text = buffer;
}

void formatCurrentTime(std::wstring& text, LCID locale, DWORD flags) {
    wchar_t buffer[60] = L"";
    GetTimeFormatW(locale, flags, nullptr, nullptr, buffer, 20);
    text = buffer;
}

void getWindowClassName(HWND window, wchar_t* text, int maxChars) {
    if (!text || maxChars <= 0) return;
    text[0] = L'\0';
    GetClassNameW(window, text, maxChars);
}
