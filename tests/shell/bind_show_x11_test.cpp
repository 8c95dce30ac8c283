// The binding marks on the screen: a window with three fields, the focused
// one bound to no profile of the language, another bound to a profile the
// language lacks, a third unbound. One pass of the binding thread, then the
// set is shown as the service window shows it (message 3041), and the screen
// is compared with the reference picture.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "core/AppGlobals.h"
#include "core/Settings.h"
#include "ink/AppsFilter.h"
#include "recognition/ProfileChooser.h"
#include "recognition/RecMgr.h"
#include "shell/BindShow.h"
#include "shell/Stickers.h"
#include "ui/tips/Tips.h"
#include "tests/recognition/BindingTestSupport.h"
#include "tests/support/Screenshot.h"

namespace {

FakeAccessible* g_focused = nullptr;
bool servedElement(HWND, CAccElem& element) {
    element = g_focused ? CAccElem(g_focused, 0) : CAccElem();
    return g_focused != nullptr;
}

RECT screenRectOf(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

TEST(BindShowScreen, MarksTheFieldsOfTheWindowInFront) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // What the start-up does before any sticker shows.
    appGlobals().instance = instance;
    ASSERT_TRUE(registerTipsWindowClass(instance));
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE | WS_BORDER | SS_WHITERECT, 60, 60,
                        420, 260, nullptr, nullptr, instance, nullptr);
    ASSERT_TRUE(window);
    const struct {
        const wchar_t* text;
        int y, height;
    } fields[] = {{L"Subject", 30, 24}, {L"Body", 90, 90}, {L"Notes", 200, 24}};
    HWND edits[3];
    for (int i = 0; i < 3; ++i)
        edits[i] =
            CreateWindowExW(0, L"EDIT", fields[i].text, WS_CHILD | WS_VISIBLE | WS_BORDER, 40,
                            fields[i].y, 340, fields[i].height, window, nullptr, instance, nullptr);

    FakeTree tree;
    FakeAccessible* desktop = tree.add(nullptr, 9, L"Desktop");
    FakeAccessible* app = tree.add(desktop, 9, L"Notes");
    FakeAccessible* nodes[3];
    for (int i = 0; i < 3; ++i) {
        nodes[i] = tree.add(app, 42, fields[i].text, 0x100000);
        nodes[i]->location = screenRectOf(edits[i]);
    }
    g_focused = nodes[0];
    CProfileChooser::setElementSource(servedElement);

    BindingHookLibrary hooks;
    hooks.module = L"C:\\Apps\\Notes.exe";
    hooks.focus = edits[0];
    hooks.foreground = window;
    HookLibraryScope scope(&hooks);
    GeneralSettings saved = generalSettings();
    generalSettings().useContextReco = 1;
    CBindElem body;
    body.name = L"Body";
    body.role = 42;
    body.id = body.pos = body.winId = -1;
    body.signature = L"9";
    body.profile = L"Prose";
    getRecMgr().profileChooser().setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"", body);

    CBindShow* show = new CBindShow(1000, false);
    show->UpdateBindShow(true);
    EXPECT_EQ(stickers().stickerCount(), 2u);
    stickers().showAll();
    stickers().forEach([](CSticker& s) {
        ASSERT_NE(s.tip(), nullptr);
        EXPECT_TRUE(IsWindowVisible(s.tip()->window())) << "the sticker shows";
    });

    RECT area = screenRectOf(window);
    InflateRect(&area, 20, 20);
    const screenshot::Result result =
        screenshot::check(area, SCRIBIX_BIND_REFERENCES, "binding_marks");
    EXPECT_TRUE(result.ok) << result.message;

    // A click on a sticker reaches the panel with the sticker's tip window:
    // the snapshot attached to that sticker comes back as a copy.
    std::vector<HWND> tips;
    stickers().forEach([&](CSticker& s) { tips.push_back(s.tip()->window()); });
    ASSERT_EQ(tips.size(), 2u);
    std::unique_ptr<CBindingInfo> focused(copyStickerBindingInfo(tips[0]));
    std::unique_ptr<CBindingInfo> other(copyStickerBindingInfo(tips[1]));
    ASSERT_TRUE(focused && other);
    EXPECT_EQ(focused->module, L"notes.exe");
    EXPECT_EQ(focused->elem.name, L"Subject");
    EXPECT_EQ(focused->elem.profile, L"") << "the candidate of the focused field";
    EXPECT_EQ(other->elem.profile, L"Prose") << "the record of the bound field";
    EXPECT_EQ(copyStickerBindingInfo(window), nullptr);

    // The application listed in the filter: one mark over its whole window.
    generalSettings().useAppFilters = 1;
    appsFilter().setApp(hooks.module, false);
    show->UpdateBindShow(true);
    EXPECT_EQ(stickers().stickerCount(), 1u);
    stickers().showAll();
    const screenshot::Result listed =
        screenshot::check(area, SCRIBIX_BIND_REFERENCES, "binding_no_writing");
    EXPECT_TRUE(listed.ok) << listed.message;
    appsFilter().removeApp(hooks.module);

    show->stop();
    stickers().clear();
    CProfileChooser::setElementSource(nullptr);
    getRecMgr().profileChooser().setBindTree(CBindTree());
    generalSettings() = saved;
    g_focused = nullptr;
    DestroyWindow(window);
    CoUninitialize();
}

}  // namespace
