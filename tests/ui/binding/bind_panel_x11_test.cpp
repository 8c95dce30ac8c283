// The binding panel on the Xvfb, clicked with xdotool as a user would: its
// buttons, the application menu that bans writing over the application in
// front, the profile choice that binds a profile to a field (and unbinds it),
// the filter entry of a field's menu that leaves the field's binding alone,
// the sticker without a record, leaving binding mode and the screen saver.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/AppGlobals.h"
#include "core/PendingServices.h"
#include "core/Settings.h"
#include "ink/LocalInkManager.h"
#include "core/ShellLink.h"
#include "ink/AppsFilter.h"
#include "recognition/Binding.h"
#include "recognition/ProfileChooser.h"
#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "shell/Startup.h"
#include "shell/Stickers.h"
#include "tests/recognition/BindingTestSupport.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/HostShell.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TempDir.h"
#include "ui/binding/BindPanel.h"
#include "ui/tips/Tips.h"

namespace {

const std::string kReferences = SCRIBIX_BINDING_REFERENCES;
const wchar_t kModule[] = L"C:\\Apps\\Notes.exe";

bool click(POINT at) {
    return hostshell::run("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) +
                              " sleep 0.15 click 1",
                          10000);
}

// The centre of a panel button on the screen.
POINT unitCentre(CBindPanel* panel, UINT id) {
    auto* unit = static_cast<BarSmartBitmapUnit*>(panel->findUnitById(id));
    POINT at = {-1, -1};
    if (!unit) return at;
    const RECT& r = unit->maskBounds();
    at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(panel->window(), &at);
    return at;
}

HWND waitForMenu(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        HWND menu = FindWindowW(BAR_WINDOW_CLASS, L"PureTextMenu");
        if (menu && IsWindowVisible(menu)) return menu;
        Sleep(20);
    } while (GetTickCount() - start < ms);
    return nullptr;
}

// The centre of the menu item `id` on the screen.
POINT itemCentre(HWND menuWindow, UINT id) {
    POINT at = {-1, -1};
    BarMaster* menu = BarMaster::fromWindow(menuWindow);
    if (!menu) return at;
    auto* item = static_cast<BarRectUnit*>(menu->findUnitById(id));
    if (!item) return at;
    const RECT& r = item->rect();
    at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(menuWindow, &at);
    return at;
}

// Runs `user` (clicks and looks) on a thread of its own while this thread
// pumps its messages, as the program's UI thread would.
void asUser(const std::function<void()>& user, DWORD ms = 20000) {
    std::atomic<bool> done{false};
    std::thread thread([&] {
        user();
        done = true;
    });
    sxtest::pumpUntil([&] { return done.load(); }, ms);
    // A menu left open is closed so the thread and the test can end.
    while (!done) {
        if (HWND menu = FindWindowW(BAR_WINDOW_CLASS, L"PureTextMenu"))
            PostMessageW(menu, WM_CLOSE, 0, 0);
        sxtest::pumpUntil([&] { return done.load(); }, 500);
    }
    thread.join();
    sxtest::pumpUntil([] { return false; }, 200);
}

void expectShot(HWND window, const char* name) {
    const screenshot::Result shot = screenshot::checkWindow(window, kReferences, name);
    EXPECT_TRUE(shot.ok) << name << ": " << shot.message;
}

class BindPanelTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        appGlobals().instance = instance;
        WNDCLASSW wc = {};
        wc.lpfnWndProc = MenuBarWndProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = BAR_WINDOW_CLASS;
        RegisterClassW(&wc);
        registerTipsWindowClass(instance);
        setShellLink(&shellOwnLink());
    }

    void SetUp() override {
        settings_ = generalSettings();
        getRecMgr().setDataFolder(data_.path());
        ASSERT_TRUE(getRecMgr().loadEngines(nullptr));
        ASSERT_TRUE(getRecMgr().setCurrentLanguage(L"English"));
        RecModule* module = getRecMgr().getCurrentModule();
        ASSERT_NE(nullptr, module);
        for (const wchar_t* name : {L"Prose", L"Numbers"}) {
            RecProfile profile(module);
            profile.name = name;
            module->addProfile(profile, true);
        }
        hooks_.module = kModule;
        filterPath_ = data_.file(L"AppsFilter.xml");
        appsFilter().load(L"");
        for (const CAppFilterInfo& entry : appsFilter().entries())
            appsFilter().removeApp(entry.path);
        ASSERT_TRUE(appsFilter().save(filterPath_.c_str()));
        ASSERT_TRUE(getRecMgr().profileChooser().initBindings(data_.path()));
        getRecMgr().profileChooser().setBindTree(CBindTree());
        subject_.name = L"Subject";
        subject_.role = 42;
        subject_.id = subject_.pos = subject_.winId = -1;
        subject_.signature = L"9";
        setScreenSaverProbe([] { return false; });
    }

    void TearDown() override {
        closeBindPanel();
        sxtest::pumpUntil([] { return false; }, 200);
        setScreenSaverProbe(nullptr);
        stickers().clear();
        getRecMgr().profileChooser().setBindTree(CBindTree());
        generalSettings() = settings_;
    }

    CBindPanel* openPanel() {
        EXPECT_TRUE(showBindPanel(nullptr));
        sxtest::pumpUntil([] { return false; }, 300);
        CBindPanel* panel = bindPanel();
        if (!panel) return nullptr;
        RECT r;
        GetWindowRect(panel->window(), &r);
        EXPECT_GE(r.left, 0) << "the panel comes onto the screen";
        EXPECT_GE(r.top, 0);
        panel->moveTo(200, 120);
        sxtest::pumpUntil([] { return false; }, 300);
        return panel;
    }

    std::wstring boundProfile() {
        CBindElem found;
        if (!getRecMgr().profileChooser().findBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"",
                                                      subject_, found))
            return L"(none)";
        return found.profile;
    }

    CBindingInfo subjectInfo() {
        return CBindingInfo(L"notes.exe", BIND_CONTEXT_WINAPP, L"", subject_);
    }

    TempDir data_;
    GeneralSettings settings_;
    BindingHookLibrary hooks_;
    HookLibraryScope scope_{&hooks_};
    std::wstring filterPath_;
    CBindElem subject_;
};

TEST_F(BindPanelTest, OpensOnceWithItsButtonsAndLeavesByItsButton) {
    CBindPanel* panel = openPanel();
    ASSERT_NE(nullptr, panel);
    EXPECT_FALSE(showBindPanel(nullptr)) << "one panel at most";
    EXPECT_TRUE(isBarMasterRegistered());
    const UINT order[] = {BIND_UNIT_MOVE,  BIND_UNIT_LEAVE,       BIND_UNIT_LEAVE_TOO,
                          BIND_UNIT_FIELD, BIND_UNIT_APPLICATION, BIND_UNIT_SETTINGS};
    ASSERT_EQ(6, panel->unitCount());
    for (int i = 0; i < 6; ++i) EXPECT_EQ(order[i], panel->unit(i)->id());
    EXPECT_STREQ(L"Leave Binding Mode", panel->findUnitById(BIND_UNIT_LEAVE)->getTipText());
    EXPECT_STREQ(L"Allow/disallow writing over \nforeground application windows",
                 panel->findUnitById(BIND_UNIT_APPLICATION)->getTipText());
    expectShot(panel->window(), "bind-panel");

    const POINT leave = unitCentre(panel, BIND_UNIT_LEAVE);
    asUser([&] { EXPECT_TRUE(click(leave)); });
    EXPECT_TRUE(sxtest::pumpUntil([] { return bindPanel() == nullptr; }, 3000));
    EXPECT_FALSE(isBarMasterRegistered());
    EXPECT_FALSE(closeBindPanel()) << "nothing left to close";
}

TEST_F(BindPanelTest, ApplicationMenuBansAndAllowsWritingOverTheApplication) {
    CBindPanel* panel = openPanel();
    ASSERT_NE(nullptr, panel);
    struct Case {
        UINT item;
        bool listed;
        bool allowIfCaret;
        const char* shot;
    };
    const Case cases[] = {
        {BIND_MENU_NEVER, true, false, "bind-app-menu"},
        {BIND_MENU_TEXT_FIELDS, true, true, nullptr},
        {BIND_MENU_ALWAYS, false, false, nullptr},
    };
    for (const Case& c : cases) {
        const POINT button = unitCentre(panel, BIND_UNIT_APPLICATION);
        asUser([&] {
            ASSERT_TRUE(click(button));
            HWND menu = waitForMenu(5000);
            ASSERT_NE(nullptr, menu);
            Sleep(300);
            if (c.shot) expectShot(menu, c.shot);
            EXPECT_TRUE(click(itemCentre(menu, c.item)));
        });
        bool allow = false;
        EXPECT_EQ(c.listed, appsFilter().findApp(kModule, &allow)) << c.item;
        if (c.listed) {
            EXPECT_EQ(c.allowIfCaret, allow) << c.item;
        }
        const std::string saved = sxtest::readFile(filterPath_);
        EXPECT_EQ(c.listed, saved.find("Notes.exe") != std::string::npos) << saved;
        EXPECT_TRUE(panel->idle());
    }
}

TEST_F(BindPanelTest, ProfileChoiceBindsAndUnbindsTheField) {
    CBindPanel* panel = openPanel();
    ASSERT_NE(nullptr, panel);
    const CBindingInfo info = subjectInfo();
    struct Case {
        UINT item;  // 1 default (unbind), then the profiles in order
        std::wstring name;
        std::wstring bound;
        const char* shot;
    };
    RecModule* module = getRecMgr().getCurrentModule();
    std::vector<std::wstring> names;
    for (const std::wstring& name : module->profileNames())
        if (!isSystemProfileName(name.c_str())) names.push_back(name);
    const UINT prose =
        static_cast<UINT>(std::find(names.begin(), names.end(), L"Prose") - names.begin()) + 2;
    const Case cases[] = {
        {prose, L"Prose", L"Prose", "bind-profile-menu"},
        {prose, L"Prose", L"Prose", nullptr},  // the same again still saves
        {1, L"", L"(none)", nullptr},
    };
    for (const Case& c : cases) {
        DeleteFileW(getRecMgr().profileChooser().bindingsPath().c_str());
        bool changed = false;
        std::thread user([&] {
            HWND menu = waitForMenu(5000);
            if (!menu) return;
            Sleep(300);
            if (c.shot) expectShot(menu, c.shot);
            EXPECT_TRUE(click(itemCentre(menu, c.item)));
        });
        changed = panel->fieldMenu(&info);
        user.join();
        EXPECT_TRUE(changed);
        EXPECT_EQ(c.bound, boundProfile());
        const std::string saved = sxtest::readFile(getRecMgr().profileChooser().bindingsPath());
        EXPECT_FALSE(saved.empty()) << "the binding file is saved at once";
        EXPECT_NE(std::string::npos, saved.find("notes.exe")) << saved;
        EXPECT_EQ(!c.name.empty(), saved.find("Prose") != std::string::npos) << saved;
    }
}

TEST_F(BindPanelTest, FilterEntryOfAFieldMenuKeepsTheFieldBinding) {
    CBindPanel* panel = openPanel();
    ASSERT_NE(nullptr, panel);
    generalSettings().useAppFilters = 1;
    CBindElem bound = subject_;
    bound.profile = L"Prose";
    ASSERT_TRUE(
        getRecMgr().profileChooser().setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"", bound));
    const CBindingInfo info = subjectInfo();
    std::thread user([&] {
        HWND menu = waitForMenu(5000);
        if (!menu) return;
        Sleep(300);
        EXPECT_TRUE(click(itemCentre(menu, BIND_MENU_NO_WRITING)));
    });
    EXPECT_TRUE(panel->fieldMenu(&info));
    user.join();
    EXPECT_TRUE(appsFilter().findApp(kModule, nullptr)) << "the application is listed";
    EXPECT_EQ(L"Prose", boundProfile()) << "the field keeps its profile";
}

TEST_F(BindPanelTest, StickerWithoutARecordOffersOnlyTheFilterEntry) {
    CBindPanel* panel = openPanel();
    ASSERT_NE(nullptr, panel);
    generalSettings().useAppFilters = 1;
    std::vector<std::wstring> texts;
    asUser([&] {
        panel->postMsgToMaster(BIND_PANEL_STICKER_CLICK, 0, 0);
        HWND menu = waitForMenu(5000);
        ASSERT_NE(nullptr, menu);
        Sleep(300);
        expectShot(menu, "bind-field-menu");
        BarMaster* master = BarMaster::fromWindow(menu);
        EXPECT_NE(nullptr, master->findUnitById(BIND_MENU_NO_WRITING));
        EXPECT_NE(nullptr, master->findUnitById(BIND_MENU_CLOSE));
        EXPECT_EQ(nullptr, master->findUnitById(1)) << "no profiles without a record";
        EXPECT_TRUE(click(itemCentre(menu, BIND_MENU_NO_WRITING)));
    });
    EXPECT_TRUE(appsFilter().findApp(kModule, nullptr));
    EXPECT_NE(std::string::npos, sxtest::readFile(filterPath_).find("Notes.exe"));
}

TEST_F(BindPanelTest, ScreenSaverEndsBindingModeWithinThreeSeconds) {
    ASSERT_NE(nullptr, openPanel());
    setScreenSaverProbe([] { return true; });
    const DWORD start = GetTickCount();
    EXPECT_TRUE(sxtest::pumpUntil([] { return bindPanel() == nullptr; }, 5000));
    EXPECT_LE(GetTickCount() - start, 3600u);
    EXPECT_FALSE(isBarMasterRegistered());
}

// Binding mode switches the ink manager's mode while the panel is open and
// puts back the mode it found, however binding mode ends.
TEST_F(BindPanelTest, InkManagerModeIsBindingWhileThePanelIsOpen) {
    struct Case {
        const char* name;
        std::function<void(CBindPanel*)> leave;
    };
    const Case cases[] = {
        {"closeBindPanel", [](CBindPanel*) { EXPECT_TRUE(closeBindPanel()); }},
        {"leave button",
         [](CBindPanel* panel) {
             const POINT leave = unitCentre(panel, BIND_UNIT_LEAVE);
             asUser([&] { EXPECT_TRUE(click(leave)); });
         }},
        {"WM_CLOSE", [](CBindPanel* panel) { PostMessageW(panel->window(), WM_CLOSE, 0, 0); }},
        {"screen saver", [](CBindPanel*) { setScreenSaverProbe([] { return true; }); }},
    };
    auto* manager = new LocalInkManager;
    appGlobals().inkManager = manager;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setScreenSaverProbe([] { return false; });
        ASSERT_EQ(INK_MODE_WRITING, manager->mode());
        CBindPanel* panel = openPanel();
        ASSERT_NE(nullptr, panel);
        EXPECT_EQ(INK_MODE_BINDING, manager->mode());
        c.leave(panel);
        EXPECT_TRUE(sxtest::pumpUntil([] { return bindPanel() == nullptr; }, 5000));
        EXPECT_EQ(INK_MODE_WRITING, manager->mode()) << "the mode found is put back";
        manager->setMode(INK_MODE_WRITING);
    }
    // A mode other than writing found at the start is the one put back.
    manager->setMode(INK_MODE_BINDING);
    ASSERT_NE(nullptr, openPanel());
    EXPECT_TRUE(closeBindPanel());
    EXPECT_EQ(INK_MODE_BINDING, manager->mode());
    appGlobals().inkManager = nullptr;
    delete manager;
}

// The main menu's "Use profile ...": the profile picked in the choice menu
// becomes the pending choice, "default (unbind)" leaves none, and closing the
// menu keeps the choice made before.
TEST_F(BindPanelTest, UseProfileMenuMakesThePickedProfileThePendingChoice) {
    RecModule* module = getRecMgr().getCurrentModule();
    ASSERT_NE(nullptr, module);
    std::vector<std::wstring> names;
    for (const std::wstring& name : module->profileNames())
        if (!isSystemProfileName(name.c_str())) names.push_back(name);
    const UINT prose =
        static_cast<UINT>(std::find(names.begin(), names.end(), L"Prose") - names.begin()) + 2;
    struct Case {
        UINT item;
        std::wstring pending;  // empty: no pending choice
    } const cases[] = {
        {prose, L"Prose"},
        {1, L""},
        {BIND_MENU_CLOSE, L"Numbers"},
    };
    for (const Case& c : cases) {
        getRecMgr().profileChooser().setChoice(L"Numbers", PROFILE_SCOPE_ALWAYS);
        std::thread user([&] {
            HWND menu = waitForMenu(5000);
            if (!menu) return;
            Sleep(300);
            EXPECT_TRUE(click(itemCentre(menu, c.item))) << c.item;
        });
        chooseProfileForLastFocus(L"Choose profile (en):");
        user.join();
        std::wstring name;
        getRecMgr().profileChooser().take(name, false);
        EXPECT_EQ(c.pending, name) << "item " << c.item;
    }
    getRecMgr().profileChooser().clear(-1);
}

}  // namespace
