// The binding thread's passes over a fake hook library and hand-made
// accessible trees: which marks (stickers and frames) it builds for the
// application in front and its focused field, that unchanged marks stay in
// place, and that the thread starts, wakes and ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/Settings.h"
#include "ink/AppsFilter.h"
#include "recognition/ProfileChooser.h"
#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "shell/BindShow.h"
#include "ink/Ramka.h"
#include "shell/Stickers.h"
#include "tests/recognition/BindingTestSupport.h"
#include "tests/shell/TestSupport.h"
#include "tests/support/TempDir.h"
#include "ui/tips/Tips.h"

namespace {

struct Mark {
    std::wstring text;
    int flags, x, y;
    bool hasInfo;
};

struct FrameMark {
    RECT rect;
    COLORREF colour;
    int style;
};

std::vector<Mark> marks() {
    std::vector<Mark> out;
    stickers().forEach([&](CSticker& s) {
        out.push_back({s.text(), s.flags(), s.x(), s.y(), s.owned() != nullptr});
    });
    return out;
}

std::vector<FrameMark> frames() {
    std::vector<FrameMark> out;
    stickers().forEachFrame([&](CStickerFrame& f) {
        if (auto* b = dynamic_cast<CBindFrame*>(&f))
            out.push_back({b->rect(), b->colour(), b->style()});
    });
    return out;
}

FakeAccessible* g_focused = nullptr;
bool servedElement(HWND, CAccElem& element) {
    element = g_focused ? CAccElem(g_focused, 0) : CAccElem();
    return g_focused != nullptr;
}

constexpr LONG kWritable = 0x100000;  // focusable

class BindShowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        registerTipsWindowClass(GetModuleHandleW(nullptr));
        saved_ = generalSettings();
        foreground_ = CreateWindowExW(0, L"STATIC", L"target", WS_POPUP, 100, 200, 400, 300,
                                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        hooks_.focus = foreground_;
        hooks_.foreground = foreground_;
        hooks_.module = L"C:\\Apps\\Notes.exe";
        CProfileChooser::setElementSource(servedElement);
        stickers().clear();
        show_ = new CBindShow(1000, false);
    }
    void TearDown() override {
        show_->stop();  // without a thread it deletes itself
        stickers().clear();
        CProfileChooser::setElementSource(nullptr);
        getRecMgr().profileChooser().setBindTree(CBindTree());
        appsFilter().removeApp(L"C:\\Apps\\Notes.exe");
        g_focused = nullptr;
        DestroyWindow(foreground_);
        generalSettings() = saved_;
        CoUninitialize();
    }

    GeneralSettings saved_;
    HWND foreground_ = nullptr;
    BindingHookLibrary hooks_;
    HookLibraryScope scope_{&hooks_};
    CBindShow* show_ = nullptr;
};

TEST_F(BindShowTest, OwnProgramInFrontClearsTheMarks) {
    stickers().addSticker(1, 2, 11, 0, L"old", nullptr);
    hooks_.module = L"C:\\Program Files\\Scribix\\SCRIBIX.EXE";
    show_->UpdateBindShow(true);
    EXPECT_FALSE(stickers().hasStickers());
}

TEST_F(BindShowTest, AListedApplicationIsMarkedNoWriting) {
    generalSettings().useAppFilters = 1;
    struct Case {
        const char* what;
        bool allowIfCaret;
        int useContextReco;
        int style;
    } cases[] = {
        {"listed", false, 1, 2},
        {"allowed where a caret is, but no context lookups", true, 0, 1},
    };
    for (const Case& c : cases) {
        appsFilter().setApp(L"c:\\apps\\notes.exe", c.allowIfCaret);
        generalSettings().useContextReco = c.useContextReco;
        show_->UpdateBindShow(true);
        const std::vector<Mark> m = marks();
        ASSERT_EQ(m.size(), 1u) << c.what;
        EXPECT_EQ(m[0].text, L"No Writing");
        EXPECT_EQ(m[0].flags, 11);
        EXPECT_EQ(m[0].x, 300) << "the centre of the window";
        EXPECT_EQ(m[0].y, 350);
        const std::vector<FrameMark> f = frames();
        ASSERT_EQ(f.size(), 1u) << c.what;
        EXPECT_EQ(f[0].colour, 255u);
        EXPECT_EQ(f[0].style, c.style) << c.what;
        EXPECT_EQ(f[0].rect.right, 500);
    }
    // Nothing changed and not woken: the pass leaves the set alone.
    stickers().clear();
    show_->UpdateBindShow(false);
    EXPECT_FALSE(stickers().hasStickers());
    show_->UpdateBindShow(true);
    EXPECT_TRUE(stickers().hasStickers());
}

TEST_F(BindShowTest, WithoutAFieldTheWindowIsMarkedWritingOk) {
    generalSettings().useContextReco = 0;
    show_->UpdateBindShow(true);
    const std::vector<Mark> m = marks();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, L"Writing Ok");
    EXPECT_EQ(m[0].x, 103);
    EXPECT_EQ(m[0].y, 203);
    const std::vector<FrameMark> f = frames();
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].style, 0);
    EXPECT_EQ(f[0].rect.right, 497);
}

// A notes window with three fields: the focused "Subject", a bound "Body"
// and an unbound read-only "Log".
class BindShowFieldsTest : public BindShowTest {
  protected:
    void SetUp() override {
        BindShowTest::SetUp();
        generalSettings().useContextReco = 1;
        FakeAccessible* desktop = tree_.add(nullptr, 9, L"Desktop");
        FakeAccessible* app = tree_.add(desktop, 9, L"Notes");
        subject_ = tree_.add(app, 42, L"Subject", kWritable);
        subject_->location = {110, 210, 300, 230};
        body_ = tree_.add(app, 42, L"Body", kWritable);
        body_->location = {110, 250, 480, 480};
        log_ = tree_.add(app, 42, L"Log", kWritable | 0x40);
        log_->location = {110, 490, 480, 495};
        g_focused = subject_;
    }
    FakeTree tree_;
    FakeAccessible *subject_ = nullptr, *body_ = nullptr, *log_ = nullptr;
};

CBindElem bound(const wchar_t* name, const wchar_t* profile) {
    CBindElem r;
    r.name = name;
    r.role = 42;
    r.id = r.pos = r.winId = -1;
    r.signature = L"9";
    r.profile = profile;
    return r;
}

TEST_F(BindShowFieldsTest, MarksTheFocusedFieldAndTheOtherBoundFields) {
    CProfileChooser& chooser = getRecMgr().profileChooser();
    chooser.setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"", bound(L"Body", L"Prose"));
    chooser.setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"", bound(L"Log", L"Logs"));
    show_->UpdateBindShow(true);

    const std::vector<Mark> m = marks();
    ASSERT_EQ(m.size(), 2u);
    // The focused field: no profile of the current language is bound to it.
    EXPECT_EQ(m[0].text, L"<default>");
    EXPECT_EQ(m[0].flags, 11);
    EXPECT_EQ(m[0].x, 110);
    EXPECT_TRUE(m[0].hasInfo);
    // The other bound field; its profile is missing from the language's module.
    EXPECT_EQ(m[1].text, L"Prose (not found in En)");
    EXPECT_EQ(m[1].flags, 9) << "it does not match the focused field";
    EXPECT_EQ(m[1].y, 250);
    EXPECT_TRUE(m[1].hasInfo);
    const std::vector<FrameMark> f = frames();
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0].colour, 65280u);
    EXPECT_EQ(f[1].colour, 61680u);

    // The attached snapshot names the module, context and record.
    stickers().forEach([](CSticker& s) {
        const auto* info = dynamic_cast<const CBindingInfo*>(s.owned());
        ASSERT_NE(info, nullptr);
        EXPECT_EQ(info->module, L"notes.exe");
        EXPECT_EQ(info->type, BIND_CONTEXT_WINAPP);
    });
}

TEST_F(BindShowFieldsTest, ARecordMatchingTheFocusTooIsGreen) {
    getRecMgr().profileChooser().setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"",
                                            bound(L"*", L"Any"));
    show_->UpdateBindShow(true);
    const std::vector<Mark> m = marks();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[1].text, L"Any (not found in En)");
    EXPECT_EQ(m[1].flags, 11);
    EXPECT_EQ(frames()[1].colour, 65280u);
}

TEST_F(BindShowFieldsTest, MenusAndReadOnlyFields) {
    // A menu over the field changes nothing.
    stickers().addSticker(5, 5, 11, 0, L"kept", nullptr);
    FakeAccessible* item = tree_.add(nullptr, 12, L"Open");
    g_focused = item;
    show_->UpdateBindShow(true);
    ASSERT_EQ(marks().size(), 1u);
    EXPECT_EQ(marks()[0].text, L"kept");

    // A read-only field is no place to write: only the window is marked.
    g_focused = log_;
    show_->UpdateBindShow(true);
    const std::vector<Mark> m = marks();
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].text, L"Writing Ok");
}

TEST_F(BindShowFieldsTest, UnchangedMarksStayInPlace) {
    getRecMgr().profileChooser().setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"",
                                            bound(L"Body", L"Prose"));
    show_->UpdateBindShow(true);
    // Shown once, each mark has its window; a mark made again has none until
    // the set is shown again, so the windows tell kept marks from new ones
    // (an address could be reused by a new mark).
    stickers().showAll();
    auto windows = [] {
        std::vector<HWND> out;
        stickers().forEach(
            [&](CSticker& s) { out.push_back(s.tip() ? s.tip()->window() : nullptr); });
        stickers().forEachFrame([&](CStickerFrame& f) {
            auto* b = dynamic_cast<CBindFrame*>(&f);
            out.push_back(b && b->ramka() ? b->ramka()->window() : nullptr);
        });
        return out;
    };
    const std::vector<HWND> first = windows();
    ASSERT_EQ(first.size(), 4u);
    for (HWND w : first) ASSERT_NE(w, nullptr);

    // Another keyboard layout of the same language: the pass runs again, but
    // builds the same marks, and the ones on the screen stay.
    hooks_.layout = reinterpret_cast<HKL>(static_cast<UINT_PTR>(0x00010409));
    show_->UpdateBindShow(false);
    EXPECT_EQ(windows(), first);

    // The body moves: its mark and frame are new, the subject's stay.
    body_->location = {110, 260, 480, 480};
    hooks_.layout = reinterpret_cast<HKL>(static_cast<UINT_PTR>(0x04090409));
    show_->UpdateBindShow(false);
    const std::vector<HWND> moved = windows();
    ASSERT_EQ(moved.size(), 4u);
    EXPECT_EQ(moved[0], first[0]) << "the subject's sticker stays";
    EXPECT_EQ(moved[1], nullptr) << "the body's sticker is new";
    EXPECT_EQ(moved[2], first[2]) << "the subject's frame stays";
    EXPECT_EQ(moved[3], nullptr) << "the body's frame is new";
    EXPECT_EQ(marks()[1].y, 260);

    // Nothing seen changed and not woken: the pass does nothing at all.
    stickers().clear();
    show_->UpdateBindShow(false);
    EXPECT_FALSE(stickers().hasStickers());
}

// The binding thread lets frames go while the UI thread may be painting
// them: a frame deleted on another thread keeps its window and object until
// the window's own thread destroys the window, then frees the object.
TEST_F(BindShowTest, AFrameLetGoOnAnotherThreadGoesOnItsOwnThread) {
    const RECT r = {100, 100, 300, 200};
    struct Case {
        const char* how;
        void (*letGo)(CBindFrame*);
    };
    const Case cases[] = {
        {"deleted", [](CBindFrame* frame) { delete frame; }},
        {"cleared from the sticker set",
         [](CBindFrame* frame) {
             stickers().addFrame(frame);
             stickers().clear();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        CBindFrame* frame = makeBindFrame(r, 65280, 0);
        frame->show();
        ASSERT_NE(frame->ramka(), nullptr);
        HWND window = frame->ramka()->window();
        const LONG_PTR object = reinterpret_cast<LONG_PTR>(frame->ramka());
        ASSERT_TRUE(IsWindow(window));
        std::thread([&] { c.letGo(frame); }).join();
        EXPECT_TRUE(IsWindow(window)) << "not destroyed from another thread";
        EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), object)
            << "the window still has its (living) object while it may paint";
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        MSG msg;
        const DWORD start = GetTickCount();
        while (IsWindow(window) && GetTickCount() - start < 2000) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
            Sleep(5);
        }
        EXPECT_FALSE(IsWindow(window)) << "its own thread destroyed it";
    }
}

// A program folder with English and German engines (copies of the
// installed English one) and a data folder, in the recognizer manager for
// the life of the object; afterwards the manager holds no module.
class TwoEngines {
  public:
    TwoEngines() {
        const std::wstring installed = sxtest::binFolder() + L"\\English";
        for (const wchar_t* language : {L"English", L"German"}) {
            const std::wstring folder = program_.path() + L"\\" + language;
            CreateDirectoryW(folder.c_str(), nullptr);
            CreateDirectoryW((folder + L"\\standard").c_str(), nullptr);
            for (const wchar_t* file : {L"VexaScript.dll", L"Gate_T.dll", L"standard\\default.ban",
                                        L"standard\\empty.ban", L"standard\\numeric.ban"})
                CopyFileW((installed + L"\\" + file).c_str(), (folder + L"\\" + file).c_str(),
                          FALSE);
        }
        getRecMgr().setDataFolder(data_.path());
        ok_ = getRecMgr().loadEngines((program_.path() + L"\\").c_str()) &&
              getRecMgr().getModule(L"English") && getRecMgr().getModule(L"German");
    }
    ~TwoEngines() {
        getRecMgr().loadEngines((empty_.path() + L"\\").c_str());
        getRecMgr().setCurrentLanguage(L"English");
    }
    bool ok() const { return ok_; }

  private:
    TempDir program_, data_, empty_;
    bool ok_ = false;
};

// Whether a bound profile is "not found" is asked of the current language's
// module, whose profiles the pen uses, not of the keyboard's language.
TEST_F(BindShowFieldsTest, ABoundProfileIsLookedUpInTheCurrentModule) {
    TwoEngines engines;
    ASSERT_TRUE(engines.ok());
    {
        RecModule* english = getRecMgr().getModule(L"English");
        RecModule::ProfileLock lock = english->lockProfiles();
        RecProfile prose(english);
        prose.name = L"Prose";
        ASSERT_TRUE(english->addProfile(prose, true));
    }
    getRecMgr().profileChooser().setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"",
                                            bound(L"Body", L"Prose"));
    const struct {
        const wchar_t* current;
        UINT_PTR layout;
        const wchar_t* label;
    } cases[] = {
        {L"English", 0x04070407, L"Prose"},
        {L"German", 0x04090409, L"Prose (not found in En)"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(getRecMgr().setCurrentLanguage(c.current));
        hooks_.layout = reinterpret_cast<HKL>(c.layout);
        show_->UpdateBindShow(true);
        const std::vector<Mark> m = marks();
        ASSERT_EQ(m.size(), 2u);
        EXPECT_EQ(m[1].text, c.label) << "current " << c.current;
    }
}

// The panel changes a binding while a pass runs: the pass stops marking and
// leaves the set empty for the pass the wake brings.
CBindShow* g_waking = nullptr;
bool wakingElement(HWND window, CAccElem& element) {
    if (g_waking) g_waking->wake();
    return servedElement(window, element);
}

TEST_F(BindShowFieldsTest, AWakeDuringAPassLeavesNoMarks) {
    getRecMgr().profileChooser().setBinding(L"notes.exe", BIND_CONTEXT_WINAPP, L"",
                                            bound(L"Body", L"Prose"));
    stickers().addSticker(5, 5, 11, 0, L"old", nullptr);
    g_waking = show_;
    CProfileChooser::setElementSource(wakingElement);
    show_->UpdateBindShow(true);
    g_waking = nullptr;
    EXPECT_TRUE(show_->updateRequested());
    EXPECT_FALSE(stickers().hasStickers());
}

TEST(StickerMerge, KeepsWhatBothSetsHold) {
    CStickers global, fresh;
    const RECT r = {0, 0, 10, 10};
    global.addSticker(1, 1, 11, 0, L"same", new CBindingInfo(L"a.exe", 1, L"", CBindElem()));
    global.addSticker(2, 2, 11, 0, L"gone", nullptr);
    global.addFrame(makeBindFrame(r, 255, 0));
    fresh.addSticker(1, 1, 11, 0, L"same", new CBindingInfo(L"a.exe", 1, L"", CBindElem()));
    fresh.addSticker(3, 3, 11, 0, L"new", nullptr);
    fresh.addSticker(4, 4, 11, 0, L"Same", nullptr);
    fresh.addFrame(makeBindFrame(r, 255, 0));
    fresh.addFrame(makeBindFrame(r, 65280, 0));
    const CSticker* kept = nullptr;
    global.forEach([&](CSticker& s) {
        if (s.text() == L"same") kept = &s;
    });
    global.mergeFrom(fresh);
    std::vector<std::wstring> texts;
    const CSticker* stillThere = nullptr;
    global.forEach([&](CSticker& s) {
        texts.push_back(s.text());
        if (s.text() == L"same") stillThere = &s;
    });
    EXPECT_EQ(texts, (std::vector<std::wstring>{L"same", L"new", L"Same"}));
    EXPECT_EQ(stillThere, kept);
    EXPECT_EQ(global.frameCount(), 2u);
    EXPECT_FALSE(fresh.hasStickers());

    // A sticker with a snapshot never equals one without, nor one with another.
    CSticker with(1, 1, 11, 0, L"x", new CBindingInfo(L"a.exe", 1, L"", CBindElem()));
    CSticker other(1, 1, 11, 0, L"x", new CBindingInfo(L"b.exe", 1, L"", CBindElem()));
    CSticker without(1, 1, 11, 0, L"x", nullptr);
    EXPECT_FALSE(with.equals(without));
    EXPECT_FALSE(without.equals(with));
    EXPECT_FALSE(with.equals(other));
    EXPECT_TRUE(without.equals(without));
    CSticker same(1, 1, 11, 0, L"x", new CBindingInfo(L"a.exe", 1, L"", CBindElem()));
    EXPECT_TRUE(with.equals(same));
    // Another kind of attached object is never a snapshot.
    struct Attached : CDeletableByPtr {};
    CSticker attached(1, 1, 11, 0, L"x", new Attached);
    EXPECT_FALSE(attached.equals(with));
    EXPECT_FALSE(with.equals(attached));
    struct OtherFrame : CStickerFrame {
        void show() override {}
    };
    EXPECT_FALSE(CBindFrame(RECT{1, 2, 3, 4}, 255, 0).equals(OtherFrame()));
    EXPECT_TRUE(CBindFrame(RECT{1, 2, 3, 4}, 255, 0).equals(CBindFrame(RECT{1, 2, 3, 4}, 255, 0)));
}

TEST(BindingInfo, EqualityCloneAndReset) {
    CBindElem r;
    r.name = L"Name";
    r.profile = L"P";
    CBindingInfo info(L"a.exe", 2, L"Find", r);
    std::unique_ptr<CBindingInfo> copy(info.clone());
    EXPECT_TRUE(copy->equals(info));
    copy->elem.description = L"changed";
    EXPECT_FALSE(copy->equals(info));
    copy->reset();
    EXPECT_EQ(copy->type, -1);
    EXPECT_EQ(copy->elem.winId, -1);
    EXPECT_TRUE(copy->module.empty() && copy->elem.name.empty());
}

TEST_F(BindShowTest, TheThreadStartsWakesAndEnds) {
    generalSettings().useContextReco = 0;
    startBindShow(50);
    ASSERT_TRUE(bindShowRunning());
    const DWORD until = GetTickCount() + 5000;
    while (!stickers().hasStickers() && GetTickCount() < until) Sleep(10);
    ASSERT_TRUE(stickers().hasStickers()) << "the first poll marks the window";
    stickers().clear();
    wakeBindShow();
    const DWORD again = GetTickCount() + 5000;
    while (!stickers().hasStickers() && GetTickCount() < again) Sleep(10);
    EXPECT_TRUE(stickers().hasStickers()) << "a wake runs a pass whatever was seen";
    EXPECT_TRUE(stopBindShow(5000)) << "the thread ended";
    EXPECT_FALSE(bindShowRunning());
}

// The thread carries its name, which debuggers and thread lists show.
TEST_F(BindShowTest, TheThreadIsNamedBindShowThread) {
    using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    const auto getDescription = reinterpret_cast<GetDescription>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
    if (!getDescription) GTEST_SKIP() << "the system keeps no thread names";
    generalSettings().useContextReco = 0;
    auto* show = new CBindShow(1000);
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), show->threadHandle(), GetCurrentProcess(), &thread,
                    THREAD_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, 0);
    ASSERT_NE(thread, nullptr);
    std::wstring name;
    const DWORD until = GetTickCount() + 3000;
    while (name.empty() && GetTickCount() < until) {
        PWSTR text = nullptr;
        if (SUCCEEDED(getDescription(thread, &text)) && text) {
            name = text;
            LocalFree(text);
        }
        if (name.empty()) Sleep(10);
    }
    show->stop();
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(name, L"BindShowThread");
}

}  // namespace
