// The update check against a small HTTP server of the test's own on the
// loopback interface: the request, the fetch and its failures, the answer,
// the first delay, the check from the menu ("Latest" and a new version), the
// automatic check (a skipped version re-arms the timer, a new version reaches
// the service window) and the update panel driven with xdotool.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/AppGlobals.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "resources/resource.h"
#include "shell/ServiceWindow.h"
#include "shell/UpdateCheck.h"
#include "tests/shell/LoopbackHttp.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/TraceCapture.h"
#include "tests/support/Screenshot.h"

namespace {

const std::string kReferences = SCRIBIX_SHELL_REFERENCES;

std::string answer(const std::string& action, const std::string& version,
                   const std::string& message, const std::string& link) {
    return "<update action=\"" + action + "\" curVer=\"" + version + "\"><Message>" + message +
           "</Message><Link>" + link + "</Link></update>";
}

std::vector<std::wstring> g_opened;
bool recordOpen(const wchar_t* link) {
    g_opened.push_back(link);
    return true;
}

class UpdateCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        appGlobals().instance = GetModuleHandleW(nullptr);
        _snwprintf(generalSettings().regKey, 64, L"{TEST-KEY}");
        WriteSetting(nullptr, L"UpgURL", server.url(L"/upgrades").c_str(), SETTING_STRING, 0);
        g_opened.clear();
        setUpdateLinkOpener(recordOpen);
        setUpdateRetryDelays(50, 10);
    }
    void TearDown() override {
        EXPECT_TRUE(stopUpdateThread(5000)) << "no check is left running";
        setUpdateLinkOpener(nullptr);
        appGlobals().serviceWindow = nullptr;
    }

    sxtest::TestSettingsKey key{L"UpdateCheck"};
    LoopbackHttp server;
};

TEST_F(UpdateCheck, RequestGoesToTheConfiguredBaseWithProductVersionAndKey) {
    std::wstring address;
    ASSERT_TRUE(buildUpdateRequest(address));
    EXPECT_EQ(server.url(L"/upgrades/?pr=ScribixPro&ver=4.0.42.ps&op=autoChk&key={TEST-KEY}"),
              address);

    RegDeleteKeyValueW(HKEY_CURRENT_USER, key.path().c_str(), L"UpgURL");
    ASSERT_TRUE(buildUpdateRequest(address));
    EXPECT_EQ(0u, address.find(L"http://")) << std::string(address.begin(), address.end());
    EXPECT_NE(std::wstring::npos, address.find(L"/upgrades/?pr=ScribixPro&ver="));
}

TEST_F(UpdateCheck, FetchNeedsASuccessfulReplyWithItsAnnouncedLength) {
    struct Case {
        const char* what;
        LoopbackHttp::Response response;
        DWORD timeoutMs;
        bool ok;
    };
    auto make = [](int status, bool length, int shortBy, DWORD delay) {
        LoopbackHttp::Response r;
        r.status = status;
        r.body = "<update action=\"Latest\"/>";
        r.contentLength = length;
        r.shortBy = shortBy;
        r.delayMs = delay;
        return r;
    };
    const Case cases[] = {
        {"plain answer", make(200, true, 0, 0), 5000, true},
        {"no content length", make(200, false, 0, 0), 5000, false},
        {"longer than announced", make(200, true, 5, 0), 5000, false},
        {"error page", make(404, true, 0, 0), 5000, false},
        {"slower than the time-out", make(200, true, 0, 1500), 500, false},
    };
    for (const Case& c : cases) {
        server.respond(c.response);
        std::wstring text = L"left over";
        EXPECT_EQ(c.ok, httpGetText(server.url(L"/upgrades/"), text, c.timeoutMs)) << c.what;
        const std::wstring expected = c.ok ? L"<update action=\"Latest\"/>" : L"";
        EXPECT_EQ(expected, text) << c.what;
    }
    std::wstring text;
    EXPECT_FALSE(httpGetText(L"http://127.0.0.1:1/upgrades/", text, 3000)) << "nobody listens";
}

TEST_F(UpdateCheck, AnswerIsAnUpdateElementWithActionVersionMessageAndLink) {
    struct Case {
        const wchar_t* text;
        bool ok;
        UpdateInfo info;
    };
    const Case cases[] = {
        {L"<update action=\"Download\" curVer=\"4.1\"><Message>New\nthings</Message>"
         L"<Link>http://x/y</Link></update>",
         true,
         {L"Download", L"4.1", L"New\nthings", L"http://x/y"}},
        {L"<update action=\"Latest\"/>", true, {L"Latest", L"", L"", L""}},
        {L"<upgrade action=\"Download\"/>", false, {}},
        {L"not xml at all", false, {}},
        {L"", false, {}},
    };
    for (const Case& c : cases) {
        UpdateInfo info;
        EXPECT_EQ(c.ok, parseUpdateAnswer(c.text, info)) << std::wstring(c.text).size();
        EXPECT_EQ(c.info.action, info.action);
        EXPECT_EQ(c.info.curVer, info.curVer);
        EXPECT_EQ(c.info.Message, info.Message);
        EXPECT_EQ(c.info.Link, info.Link);
    }
}

TEST(UpdateLink, OnlyHttpLinksToTheConfiguredSiteAreOpened) {
    const std::wstring base = L"http://updates.example.org/upgrades";
    struct Case {
        const wchar_t* link;
        bool allowed;
    };
    const Case cases[] = {
        {L"http://updates.example.org/download/setup.exe", true},
        {L"https://UPDATES.example.org/download", true},
        {L"http://updates.example.org:8080/x", true},
        {L"http://elsewhere.example.com/setup.exe", false},
        {L"http://updates.example.org@elsewhere.example.com/", false},
        {L"http://updates.example.org.elsewhere.com/", false},
        {L"file:///C:/Windows/System32/calc.exe", false},
        {L"C:\\Windows\\System32\\calc.exe", false},
        {L"calc.exe", false},
        {L"ftp://updates.example.org/setup.exe", false},
        {L"javascript://updates.example.org/%0aalert(1)", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.allowed, isUpdateLinkAllowed(c.link, base)) << std::wstring(c.link).size();
}

TEST_F(UpdateCheck, FirstDelayIsWhatIsLeftOfThePeriodSinceTheLastCheck) {
    GeneralSettings& settings = generalSettings();
    const uint64_t day = 86400000;
    struct Case {
        int periodDays;
        bool checked;
        DWORD agoMs;
        uint64_t expected;  // within a second
    };
    const Case cases[] = {
        {3, false, 0, 0},
        {3, true, 1000, 3 * day - 1000},
        {0, true, 1000, 3 * day - 1000},
        {1, true, 2 * 3600000, day - 2 * 3600000},
        {3, true, 4000000000u, 0},  // longer ago than the period (across the wrap)
    };
    for (const Case& c : cases) {
        settings.autoUpdatePeriodDays = c.periodDays;
        DWORD last = c.checked ? GetTickCount() - c.agoMs : 0;
        if (c.checked && last == 0) last = 1;
        settings.autoUpdateLastAsk = static_cast<int>(last);
        const uint64_t delay = getFirstUpdateDelay();
        EXPECT_LE(delay, c.expected) << c.periodDays << " " << c.agoMs;
        EXPECT_GE(delay + 1000, c.expected) << c.periodDays << " " << c.agoMs;
    }
    settings.autoUpdatePeriodDays = 0;
    EXPECT_EQ(259200000u, updatePeriodMs());
}

LRESULT CALLBACK recordProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
std::vector<std::pair<WPARAM, LPARAM>> g_answers;

LRESULT CALLBACK recordProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INK_UPDATE_ANSWER) {
        g_answers.push_back({wParam, lParam});
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

struct RecorderWindow {
    HWND hwnd;
    RecorderWindow() {
        g_answers.clear();
        hwnd =
            sxtest::createTestWindow(L"UpdateAnswerRecorder", recordProc, 0, WS_POPUP, 0, 0, 1, 1);
    }
    ~RecorderWindow() { DestroyWindow(hwnd); }
};

TEST_F(UpdateCheck, SkippedVersionRearmsTheTimerForThePeriod) {
    RecorderWindow recorder;
    wcscpy(generalSettings().autoUpdateSkipVersion, L"4.5");
    server.respondXml(answer("Download", "4.5", "Offered again", "http://x/"));
    ASSERT_TRUE(startUpdateThread(recorder.hwnd));
    ASSERT_TRUE(sxtest::pumpUntil([] { return !g_answers.empty(); }, 10000));
    ASSERT_EQ(1u, g_answers.size());
    EXPECT_EQ(UPDATE_ANSWER_REARM, g_answers[0].first);
    EXPECT_EQ(0, g_answers[0].second);
    EXPECT_EQ(1u, server.requests().size());
    EXPECT_NE(0, generalSettings().autoUpdateLastAsk) << "the check's tick is remembered";

    // The service window re-arms timer 21 for the whole period (three days
    // when the setting says 0; a long period is armed in steps).
    appGlobals().serviceWindow = recorder.hwnd;
    generalSettings().autoUpdatePeriodDays = 30;
    ServiceWndProc(recorder.hwnd, WM_INK_UPDATE_ANSWER, UPDATE_ANSWER_REARM, 0);
    EXPECT_EQ(30 * 86400000ull - 0x7FFFFFFF, serviceState().updateWaitLeftMs);
    EXPECT_TRUE(KillTimer(recorder.hwnd, TIMER_UPDATE_CHECK));
    generalSettings().autoUpdatePeriodDays = 0;
    ServiceWndProc(recorder.hwnd, WM_INK_UPDATE_ANSWER, UPDATE_ANSWER_REARM, 0);
    EXPECT_EQ(0u, serviceState().updateWaitLeftMs);
    EXPECT_TRUE(KillTimer(recorder.hwnd, TIMER_UPDATE_CHECK));
}

TEST_F(UpdateCheck, LatestAndMalformedAnswersOfferNothing) {
    for (const std::string& body :
         {answer("Latest", "4.0.42", "", ""), std::string("<html/>"), std::string("garbage")}) {
        RecorderWindow recorder;
        server.respondXml(body);
        runAutomaticUpdateCheck(recorder.hwnd);
        sxtest::pumpUntil([] { return !g_answers.empty(); }, 2000);
        ASSERT_EQ(1u, g_answers.size()) << body;
        EXPECT_EQ(UPDATE_ANSWER_REARM, g_answers[0].first) << body;
    }
}

TEST_F(UpdateCheck, UnreachableEndpointIsRetriedUntilItAnswers) {
    RecorderWindow recorder;
    LoopbackHttp::Response broken;
    broken.status = 500;
    server.respond(broken);
    ASSERT_TRUE(startUpdateThread(recorder.hwnd));
    ASSERT_TRUE(sxtest::waitUntil([&] { return server.requests().size() >= 3; }, 10000));
    EXPECT_TRUE(g_answers.empty());
    server.respondXml(answer("Latest", "", "", ""));
    ASSERT_TRUE(sxtest::pumpUntil([] { return !g_answers.empty(); }, 10000));
    EXPECT_EQ(UPDATE_ANSWER_REARM, g_answers[0].first);
}

// The shut-down stops the automatic check wherever it waits for the site:
// between the retries of a site that cannot be reached, or inside a fetch
// that a site never answers. It ends at once and offers nothing.
TEST_F(UpdateCheck, ShutDownEndsTheCheckPromptlyWhileTheSiteIsUnreachable) {
    struct Case {
        const char* name;
        bool refused;   // nothing listens at the address
        int status;     // else the site's answer...
        DWORD delayMs;  // ...after this long
    };
    const Case cases[] = {
        {"nothing listens, waiting to retry", true, 0, 0},
        {"error page, waiting to retry", false, 500, 0},
        {"no answer, inside the fetch", false, 200, 8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackHttp site;
        LoopbackHttp::Response response;
        response.status = c.status;
        response.body = answer("Download", "9.9", "New", "http://127.0.0.1/");
        response.delayMs = c.delayMs;
        site.respond(response);
        const std::wstring base = c.refused ? L"http://127.0.0.1:1" : site.url(L"/upgrades");
        WriteSetting(nullptr, L"UpgURL", base.c_str(), SETTING_STRING, 0);
        setUpdateRetryDelays(300000, 60000);
        RecorderWindow recorder;
        ASSERT_TRUE(startUpdateThread(recorder.hwnd));
        if (c.refused)
            Sleep(1000);
        else
            ASSERT_TRUE(sxtest::waitUntil([&] { return !site.requests().empty(); }, 10000));
        Sleep(200);

        const DWORD start = GetTickCount();
        EXPECT_TRUE(stopUpdateThread(5000)) << "the thread has ended";
        EXPECT_LT(GetTickCount() - start, 1500u);
        sxtest::pumpUntil([] { return false; }, 200);
        EXPECT_TRUE(g_answers.empty()) << "a stopped check offers nothing";
    }
    // After a stop that ended the thread the checks may start again.
    setUpdateRetryDelays(50, 10);
    RecorderWindow recorder;
    server.respondXml(answer("Latest", "", "", ""));
    WriteSetting(nullptr, L"UpgURL", server.url(L"/upgrades").c_str(), SETTING_STRING, 0);
    ASSERT_TRUE(startUpdateThread(recorder.hwnd));
    EXPECT_TRUE(sxtest::pumpUntil([] { return !g_answers.empty(); }, 10000));
}

TEST_F(UpdateCheck, MenuCheckSaysLatestWhenNothingIsNewer) {
    server.respondXml(answer("Latest", "4.0.42", "", ""));
    std::wstring text;
    modal::Driver driver(L"Scribix", [&](HWND box) {
        text = modal::controlText(box, 0xFFFF);
        const screenshot::Result shot = screenshot::checkWindow(box, kReferences, "update-latest");
        EXPECT_TRUE(shot.ok) << shot.message;
        EXPECT_TRUE(modal::clickControl(box, IDOK));
    });
    checkForUpdateNow(nullptr);
    driver.join();
    EXPECT_TRUE(driver.found());
    EXPECT_FALSE(driver.closedByDriver());
    EXPECT_EQ(L"You already have the most recent version of Scribix installed.", text);
}

TEST_F(UpdateCheck, MenuCheckReportsAnUnavailableEndpoint) {
    LoopbackHttp::Response missing;
    missing.contentLength = false;
    missing.body = answer("Download", "5.0", "x", "y");
    server.respond(missing);
    std::wstring text;
    modal::Driver driver(L"Scribix", [&](HWND box) {
        text = modal::controlText(box, 0xFFFF);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    checkForUpdateNow(nullptr);
    driver.join();
    EXPECT_EQ(0u, text.find(L"Scribix upgrade information is unavailable.\nPlease check your "
                            L"Internet connectivity and firewall settings and check for upgrade "
                            L"again.\n"));
}

// A site that takes the connection and never answers: the menu's check
// gives up at its time-out and says the information is unavailable.
TEST_F(UpdateCheck, MenuCheckOnASilentSiteGivesUpAtItsTimeOut) {
    LoopbackHttp::Response silent;
    silent.body = answer("Latest", "", "", "");
    silent.delayMs = 60000;
    server.respond(silent);
    std::wstring text;
    modal::Driver driver(
        L"Scribix",
        [&](HWND box) {
            text = modal::controlText(box, 0xFFFF);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        },
        90000);
    const DWORD start = GetTickCount();
    checkForUpdateNow(nullptr);
    const DWORD took = GetTickCount() - start;
    driver.join();
    EXPECT_EQ(1u, server.requests().size());
    EXPECT_LT(took, 12000u) << "the time-out is 10 s";
    EXPECT_EQ(0u, text.find(L"Scribix upgrade information is unavailable.")) << text.size();
}

// While the menu's check waits for the site, the thread's messages go on;
// the program closed meanwhile (the quit message) ends the wait at once,
// shows nothing, and leaves the quit message to the loops outside.
TEST_F(UpdateCheck, MenuCheckKeepsTheThreadGoingAndEndsWithTheProgram) {
    LoopbackHttp::Response silent;
    silent.body = answer("Latest", "", "", "");
    silent.delayMs = 60000;
    server.respond(silent);
    static int dispatched;
    dispatched = 0;
    HWND window = sxtest::createTestWindow(
        L"UpdateCheckWaitProbe",
        [](HWND w, UINT m, WPARAM wp, LPARAM lp) CALLBACK -> LRESULT {
            if (m == WM_APP) ++dispatched;
            if (m == WM_CLOSE) PostQuitMessage(7);  // as the service window's end
            return DefWindowProcW(w, m, wp, lp);
        },
        0, WS_POPUP, 0, 0, 10, 10);
    ASSERT_NE(window, nullptr);
    DWORD closed = 0;
    std::thread user([&] {
        sxtest::waitUntil([&] { return !server.requests().empty(); }, 10000);
        Sleep(300);
        PostMessageW(window, WM_APP, 0, 0);
        Sleep(300);
        closed = GetTickCount();
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    modal::Driver driver(
        L"Scribix", [](HWND box) { PostMessageW(box, WM_COMMAND, IDOK, 0); }, 4000);
    checkForUpdateNow(nullptr);
    const DWORD returned = GetTickCount();
    user.join();
    EXPECT_EQ(1, dispatched) << "the thread's messages waited for the site";
    EXPECT_LT(returned - closed, 1000u) << "the check outlived the program's end";
    MSG quit = {};
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "the quit message was kept from the loops outside";
    EXPECT_EQ(7u, quit.wParam);
    DestroyWindow(window);
    driver.join();
    EXPECT_FALSE(driver.found()) << "a closing program showed the check's box";
}

// Anyone on the way can rewrite the reply of the update site. A reply the
// check cannot use is no answer, however it looks: a body announced at 2 GB,
// a body longer than announced, a site that never answers. The check from
// the menu says that no upgrade information is there and shows no update;
// the program goes on, commits no memory for the announced size and keeps to
// its time-out (a site that never answers is cut off when it passes). The
// automatic check asks again later and offers nothing.
TEST_F(UpdateCheck, RepliesThatCannotBeUsedAreNoAnswer) {
    const std::string offer = answer("Download", "9.9", "A new version", "http://127.0.0.1/x");
    struct Case {
        const char* what;
        LoopbackHttp::Response response;
        const char* trace;  // what the fetch says of the reply
    };
    std::vector<Case> cases(3);
    cases[0].what = "a body announced at 2 GB";
    cases[0].response.body = offer;
    cases[0].response.announced = 2147483648ll;
    cases[0].trace = "UpdateCheck: a reply of 2147483648 bytes is no answer";
    cases[1].what = "a body longer than announced";
    cases[1].response.body = offer;
    cases[1].response.shortBy = 7;
    cases[1].trace = "";
    cases[2].what = "a site that never answers";
    cases[2].response.silent = true;
    cases[2].trace = "UpdateCheck: no answer within 10000 ms";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LoopbackHttp site;
        site.respond(c.response);
        WriteSetting(nullptr, L"UpgURL", site.url(L"/upgrades").c_str(), SETTING_STRING, 0);
        // Whatever the check shows is read and closed: the notice, or the
        // update panel it must not show.
        std::atomic<bool> done{false}, panelShown{false};
        std::wstring text;
        std::thread watcher([&] {
            while (!done) {
                if (HWND dialog = modal::findWindow(L"Scribix Update Panel")) {
                    panelShown = true;
                    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
                }
                if (HWND box = modal::findWindow(L"Scribix")) {
                    Sleep(100);
                    text = modal::controlText(box, 0xFFFF);
                    PostMessageW(box, WM_COMMAND, IDOK, 0);
                }
                Sleep(50);
            }
        });
        TraceCapture traces;
        const DWORD start = GetTickCount();
        checkForUpdateNow(nullptr);
        const DWORD took = GetTickCount() - start;
        done = true;
        watcher.join();
        EXPECT_FALSE(panelShown) << "no update is offered";
        EXPECT_EQ(0u, text.find(L"Scribix upgrade information is unavailable."));
        EXPECT_TRUE(traces.contains(c.trace)) << traces.text();
        EXPECT_LT(took, 15000u) << "the menu's time-out holds";
    }

    // The automatic check: the 2 GB reply is asked again later, and nothing reaches
    // the service window.
    LoopbackHttp site;
    site.respond(cases[0].response);
    WriteSetting(nullptr, L"UpgURL", site.url(L"/upgrades").c_str(), SETTING_STRING, 0);
    RecorderWindow recorder;
    ASSERT_TRUE(startUpdateThread(recorder.hwnd));
    EXPECT_TRUE(sxtest::pumpUntil([&] { return site.requests().size() >= 3; }, 10000));
    EXPECT_TRUE(g_answers.empty());
    EXPECT_TRUE(stopUpdateThread(5000));
}

TEST_F(UpdateCheck, MenuCheckShowsANewVersionAndItsLinkOpensOnlyOnTheUpdateSite) {
    struct Case {
        std::string link;
        bool opened;
    };
    const std::string site = "http://127.0.0.1:" + std::to_string(server.port());
    const Case cases[] = {
        {site + "/download/ScribixSetup.exe", true},
        {"C:\\Windows\\System32\\cmd.exe", false},
        {"http://elsewhere.example.com/setup.exe", false},
    };
    bool shot = false;
    for (const Case& c : cases) {
        g_opened.clear();
        server.respondXml(
            answer("Download Now", "4.1.0", "Scribix 4.1 is out.\nFaster recognition.", c.link));
        std::wstring message, action, version;
        modal::Driver driver(L"Scribix Update Panel", [&](HWND dialog) {
            message = modal::controlText(dialog, IDC_UPDATE_MESSAGE);
            action = modal::controlText(dialog, IDC_UPDATE_ACTION);
            version = modal::controlText(dialog, IDC_UPDATE_VERSION);
            if (!shot) {
                const screenshot::Result result =
                    screenshot::checkWindow(dialog, kReferences, "update-info");
                EXPECT_TRUE(result.ok) << result.message;
                shot = true;
            }
            EXPECT_TRUE(modal::clickControl(dialog, IDC_UPDATE_ACTION));
        });
        checkForUpdateNow(nullptr);
        driver.join();
        EXPECT_TRUE(driver.found());
        EXPECT_FALSE(driver.closedByDriver());
        EXPECT_EQ(L"Scribix 4.1 is out.\r\nFaster recognition.", message);
        EXPECT_EQ(L"Download Now", action);
        EXPECT_EQ(L"Your version: 4.0.42.ps", version);
        ASSERT_EQ(c.opened ? 1u : 0u, g_opened.size()) << c.link;
        if (c.opened) {
            EXPECT_EQ(std::wstring(c.link.begin(), c.link.end()), g_opened[0]);
        }
    }
}

TEST_F(UpdateCheck, AutomaticOfferReachesTheServiceWindowAndCanBeSkipped) {
    RecorderWindow recorder;
    const std::string link = "http://127.0.0.1:" + std::to_string(server.port()) + "/setup.exe";
    server.respondXml(answer("Download", "4.2.7", "Version 4.2.7 is ready.", link));
    ASSERT_TRUE(startUpdateThread(recorder.hwnd));
    ASSERT_TRUE(sxtest::pumpUntil([] { return !g_answers.empty(); }, 10000));
    ASSERT_EQ(0u, g_answers[0].first);
    ASSERT_NE(0, g_answers[0].second);

    modal::Driver driver(L"Scribix Update Panel", [&](HWND dialog) {
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_UPDATE_SKIP)));
        const screenshot::Result result =
            screenshot::checkWindow(dialog, kReferences, "update-autocheck");
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_TRUE(modal::clickControl(dialog, IDC_UPDATE_SKIP));
    });
    EXPECT_TRUE(showUpdateAutoCheck(g_answers[0].second));  // frees the record
    driver.join();
    EXPECT_FALSE(driver.closedByDriver());
    EXPECT_STREQ(L"4.2.7", generalSettings().autoUpdateSkipVersion);
    wchar_t stored[32] = L"";
    ASSERT_TRUE(ReadSetting(nullptr, L"autoUpdateSkipVersion", stored, SETTING_STRING, 32));
    EXPECT_STREQ(L"4.2.7", stored);
    EXPECT_TRUE(g_opened.empty());

    // The next automatic check finds the same version and offers nothing.
    g_answers.clear();
    runAutomaticUpdateCheck(recorder.hwnd);
    sxtest::pumpUntil([] { return !g_answers.empty(); }, 2000);
    ASSERT_EQ(1u, g_answers.size());
    EXPECT_EQ(UPDATE_ANSWER_REARM, g_answers[0].first);
}

TEST_F(UpdateCheck, SkipWithoutALinkOrAVersionChangesNoSetting) {
    struct Case {
        UpdateInfo info;
        bool skipEnabled;
    };
    const Case cases[] = {
        {{L"Download", L"4.3", L"No link given", L""}, true},
        {{L"Download", L"", L"No version given", L"http://x/"}, false},
    };
    for (const Case& c : cases) {
        wcscpy(generalSettings().autoUpdateSkipVersion, L"old");
        bool enabled = !c.skipEnabled;
        modal::Driver driver(L"Scribix Update Panel", [&](HWND dialog) {
            enabled = IsWindowEnabled(GetDlgItem(dialog, IDC_UPDATE_SKIP)) != FALSE;
            if (enabled) {
                EXPECT_TRUE(modal::clickControl(dialog, IDC_UPDATE_SKIP));
            } else {
                // The button's command arrives all the same (a keyboard
                // shortcut, another program): without a version it skips nothing.
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_UPDATE_SKIP, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_UPDATE_SKIP)));
            }
        });
        EXPECT_TRUE(showUpdateAutoCheck(win::recordParam(new UpdateInfo(c.info))));
        driver.join();
        EXPECT_FALSE(driver.closedByDriver()) << c.info.Message.size();
        EXPECT_EQ(c.skipEnabled, enabled);
        EXPECT_STREQ(L"old", generalSettings().autoUpdateSkipVersion);
    }
}

}  // namespace
