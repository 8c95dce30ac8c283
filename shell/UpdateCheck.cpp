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

// The update thread, the request to stop it, and the session of the fetch it
// is inside: a stop closes that session so that the fetch ends at once
// instead of after its time-out.
struct UpdateThreadState {
    CRITICAL_SECTION lock;
    HANDLE stop;
    HANDLE thread = nullptr;
    HINTERNET fetchSession = nullptr;
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
                if (!info_.Link.empty()) {
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

// The fetch's WinINet handles. A cancellable fetch lends its session to the
// update thread's state, where a stop may close it (closing the request with
// it); whoever takes the session back closes the handles.
class FetchHandles {
  public:
    explicit FetchHandles(bool cancellable) : cancellable_(cancellable) {}
    ~FetchHandles() {
        if (cancellable_ && session_) {
            UpdateThreadState& state = updateThread();
            win::ScopedLock lock(state.lock);
            if (state.fetchSession != session_) return;  // a stop closed it already
            state.fetchSession = nullptr;
        }
        if (request_) InternetCloseHandle(request_);
        if (session_) InternetCloseHandle(session_);
    }
    FetchHandles(const FetchHandles&) = delete;
    FetchHandles& operator=(const FetchHandles&) = delete;

    // False when a stop is already asked for (the session is closed then).
    bool adoptSession(HINTERNET session) {
        session_ = session;
        if (!cancellable_ || !session) return session != nullptr;
        UpdateThreadState& state = updateThread();
        win::ScopedLock lock(state.lock);
        if (stopRequested()) {
            InternetCloseHandle(session);
            session_ = nullptr;
            return false;
        }
        state.fetchSession = session;
        return true;
    }
    void setRequest(HINTERNET request) { request_ = request; }

  private:
    bool cancellable_;
    HINTERNET session_ = nullptr;
    HINTERNET request_ = nullptr;
};

bool fetchText(const std::wstring& address, std::wstring& text, DWORD timeoutMs, bool cancellable) {
    text.clear();
    const DWORD started = GetTickCount();
    FetchHandles handles(cancellable);
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
    if (used == 0) return true;
    const int wide =
        MultiByteToWideChar(CP_THREAD_ACP, 0, buffer.data(), static_cast<int>(used), nullptr, 0);
    if (wide <= 0) return false;
    text.resize(wide);
    MultiByteToWideChar(CP_THREAD_ACP, 0, buffer.data(), static_cast<int>(used), &text[0], wide);
    return !(cancellable && stopRequested());
}

}  // namespace

bool httpGetText(const std::wstring& address, std::wstring& text, DWORD timeoutMs) {
    return fetchText(address, text, timeoutMs, false);
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

// One fetch of the automatic check, run on a thread of its own so that the
// check can stop waiting for it at once. The fetch touches nothing but this
// record (shared by both threads, freed by the last one); a stop cuts its
// session off, and whatever the network layer still finishes is its
// time-out's bounded work, left behind when the program ends.
struct FetchJob {
    std::wstring address;
    std::wstring text;
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
    job->ok = fetchText(job->address, job->text, kAutomaticTimeoutMs, true);
    SetEvent(job->done);
    job->release();
    return 0;
}

enum class Fetch { Answered, Failed, Stopped };

Fetch fetchUnlessStopped(const std::wstring& address, std::wstring& text) {
    auto* job = new FetchJob;
    job->address = address;
    HANDLE thread = job->done ? CreateThread(nullptr, 0, fetchJobProc, job, 0, nullptr) : nullptr;
    if (!thread) {
        job->refs = 1;
        job->release();
        if (stopRequested()) return Fetch::Stopped;
        return fetchText(address, text, kAutomaticTimeoutMs, true) ? Fetch::Answered
               : stopRequested()                                   ? Fetch::Stopped
                                                                   : Fetch::Failed;
    }
    CloseHandle(thread);
    const HANDLE waits[2] = {job->done, updateThread().stop};
    const DWORD woken = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    Fetch result = Fetch::Stopped;
    if (woken == WAIT_OBJECT_0 && !stopRequested()) {
        text = job->text;
        result = job->ok ? Fetch::Answered : Fetch::Failed;
    }
    job->release();
    return result;
}

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
        if (state.fetchSession) {
            InternetCloseHandle(state.fetchSession);
            state.fetchSession = nullptr;
        }
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
    return true;
}

INT_PTR showUpdatePanel(HWND owner, const UpdateInfo& info, bool autoCheck) {
    UpdatePanel panel(info, autoCheck);
    return panel.runModal(getInstance(), autoCheck ? L"UPDATE_AUTOCHECK" : L"UPDATE_INFO", owner);
}

void checkForUpdateNow(HWND owner) {
    std::wstring address, text;
    UpdateInfo info;
    if (buildUpdateRequest(address) && httpGetText(address, text, kManualTimeoutMs) &&
        parseUpdateAnswer(text, info)) {
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
