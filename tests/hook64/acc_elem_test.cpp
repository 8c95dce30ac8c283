// The accessible element over hand-made accessible trees: what it reads, what
// it walks to, what it refuses, and that it releases every object it took.
#include <gtest/gtest.h>

#include "hook64/AccElem.h"
#include "hook64/ReaderScreenMode.h"
#include "tests/hook64/FakeAccessible.h"

namespace {

class AccElemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        aliveBefore_ = FakeAccessible::alive();
    }
    void TearDown() override {
        EXPECT_EQ(FakeAccessible::alive(), aliveBefore_) << "an object was not released";
        CoUninitialize();
    }

  private:
    LONG aliveBefore_ = 0;
};

TEST_F(AccElemTest, CopiesShareTheObjectAndReleaseItOnce) {
    FakeRef fake;
    {
        CAccElem a(fake.get(), 4);
        CAccElem b(a);
        CAccElem c;
        c = b;
        c = c;
        EXPECT_EQ(fake->refs(), 4);
        EXPECT_EQ(c.childId(), 4);
        c = CAccElem();
        EXPECT_FALSE(c.isAttached());
        EXPECT_EQ(c.childId(), CHILDID_SELF);
    }
    EXPECT_EQ(fake->refs(), 1);
}

TEST_F(AccElemTest, NameHasNoBreakSpacesAsBlanksAndNoWhiteSpaceAround) {
    struct Case {
        const wchar_t* raw;
        HRESULT result;
        bool ok;
        const wchar_t* name;
    } cases[] = {
        {L"  two\u00A0words \t", S_OK, true, L"two words"},
        {L"\u00A0\u00A0edge\u00A0", S_OK, true, L"edge"},
        {L"plain", S_OK, true, L"plain"},
        {L" \u00A0 ", S_OK, true, L""},
        {nullptr, S_OK, false, L"kept"},  // no name
        {L"failing", E_FAIL, false, L"kept"},
    };
    for (const Case& c : cases) {
        FakeRef fake;
        fake->name = c.raw;
        fake->nameResult = c.result;
        std::wstring name = L"kept";
        EXPECT_EQ(CAccElem(fake.get(), 0).getName(&name), c.ok) << (c.raw ? c.raw : L"(none)");
        EXPECT_EQ(name, c.name);
    }
}

TEST_F(AccElemTest, FailingAndOddAnswersGiveNothing) {
    FakeRef fake(ROLE_SYSTEM_LIST);
    fake->roleIsText = true;
    fake->locationResult = E_FAIL;
    fake->parentResult = E_FAIL;
    fake->childCountResult = E_FAIL;
    CAccElem element(fake.get(), 0);

    std::wstring text = L"x";
    EXPECT_EQ(element.getRoleText(&text), 0) << "a role given as a string";
    EXPECT_EQ(text, L"");
    RECT r = {1, 2, 3, 4};
    EXPECT_FALSE(element.getLocation(&r));
    EXPECT_EQ(r.left, 1);
    CAccElem parent;
    EXPECT_FALSE(element.getParent(&parent));
    EXPECT_FALSE(element.hasParent());
    EXPECT_EQ(element.getChildCount(), 0);
    std::vector<CAccElem> children(1);
    EXPECT_EQ(element.getChildren(&children), 0);
    EXPECT_EQ(children.size(), 1u) << "the vector is left alone";

    fake->roleIsText = false;
    fake->roleResult = E_FAIL;
    EXPECT_EQ(element.getRole(), 0);

    CAccElem empty;
    EXPECT_EQ(empty.getRole(), 0);
    EXPECT_EQ(empty.getState(), 0);
    EXPECT_FALSE(empty.getName(&text));
    EXPECT_FALSE(empty.getParent(&parent));
    EXPECT_FALSE(empty.getLocation(&r));
    HWND window = nullptr;
    EXPECT_FALSE(empty.getWindow(&window));
    EXPECT_FALSE(empty.findEnclosingList(&parent));
}

TEST_F(AccElemTest, RoleAndStateTextsComeFromTheSystem) {
    FakeRef fake(ROLE_SYSTEM_PUSHBUTTON);
    fake->state = STATE_SYSTEM_FOCUSED;
    CAccElem element(fake.get(), 0);
    std::wstring role, state;
    EXPECT_EQ(element.getRoleText(&role), ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(element.getStateText(&state), STATE_SYSTEM_FOCUSED);
    wchar_t expected[64];
    GetRoleTextW(ROLE_SYSTEM_PUSHBUTTON, expected, 64);
    EXPECT_EQ(role, expected);
    EXPECT_FALSE(state.empty());
}

TEST_F(AccElemTest, SimpleChildHasNoChildrenAndItsObjectAsParent) {
    FakeRef fake;
    FakeRef other;
    fake->children = {{1, nullptr}, {2, other.get()}};
    fake->parentResult = E_FAIL;  // not asked for a simple child
    CAccElem child(fake.get(), 5);
    EXPECT_EQ(child.getChildCount(), 0);
    CAccElem parent;
    ASSERT_TRUE(child.getParent(&parent));
    EXPECT_EQ(parent.object(), static_cast<IAccessible*>(fake.get()));
    EXPECT_EQ(parent.childId(), CHILDID_SELF);
}

TEST_F(AccElemTest, ChildrenAreSimpleChildrenOrObjects) {
    FakeRef list(ROLE_SYSTEM_LIST);
    FakeRef item(ROLE_SYSTEM_LISTITEM);
    list->children = {{1, nullptr}, {2, item.get()}, {3, nullptr}};
    std::vector<CAccElem> children;
    ASSERT_EQ(CAccElem(list.get(), 0).getChildren(&children), 3);
    EXPECT_EQ(children[0].object(), static_cast<IAccessible*>(list.get()));
    EXPECT_EQ(children[0].childId(), 1);
    EXPECT_EQ(children[1].getRole(), ROLE_SYSTEM_LISTITEM);
    EXPECT_EQ(children[1].childId(), CHILDID_SELF);
    EXPECT_EQ(children[2].childId(), 3);
}

TEST_F(AccElemTest, AnAbsurdChildCountIsCapped) {
    // Another process's server may claim any number of children: the list is
    // read up to a cap, never sized by the claim.
    FakeRef list(ROLE_SYSTEM_LIST);
    list->children = {{1, nullptr}, {2, nullptr}};
    for (LONG claimed : {LONG{0x7FFFFFFF}, LONG{100000}}) {
        list->claimedChildren = claimed;
        std::vector<CAccElem> children;
        int got = -1;
        EXPECT_NO_THROW(got = CAccElem(list.get(), 0).getChildren(&children)) << claimed;
        EXPECT_GE(got, 2) << claimed;
        EXPECT_LE(got, kMaxAccChildren) << claimed;
    }
}

// A chain of parents, innermost first; the element starts below the first.
struct Chain {
    std::vector<FakeAccessible*> links;
    explicit Chain(std::initializer_list<LONG> roles) {
        for (LONG role : roles) links.push_back(FakeAccessible::make(role));
        for (size_t i = 0; i + 1 < links.size(); ++i) links[i]->parent = links[i + 1];
    }
    ~Chain() {
        for (FakeAccessible* f : links) f->Release();
    }
};

TEST_F(AccElemTest, EnclosingListIsTheOutermostOfAnUnbrokenChain) {
    const LONG L = ROLE_SYSTEM_LIST, I = ROLE_SYSTEM_LISTITEM, C = ROLE_SYSTEM_CLIENT;
    struct Case {
        const char* what;
        std::initializer_list<LONG> ancestors;
        int expectedIndex;  // -1: none
    } cases[] = {
        {"item in a list", {L, C}, 0},  {"list item of an outer list", {L, I, L, C}, 2},
        {"no list around", {C, L}, -1}, {"chain ends in a list item", {I, C}, -1},
        {"list at the top", {I, L}, 1},
    };
    for (const Case& c : cases) {
        Chain chain(c.ancestors);
        FakeRef start(ROLE_SYSTEM_LISTITEM);
        start->parent = chain.links[0];
        CAccElem list;
        const bool found = CAccElem(start.get(), 0).findEnclosingList(&list);
        EXPECT_EQ(found, c.expectedIndex >= 0) << c.what;
        if (found && c.expectedIndex >= 0) {
            EXPECT_EQ(list.object(), static_cast<IAccessible*>(chain.links[c.expectedIndex]))
                << c.what;
        }
    }
}

TEST_F(AccElemTest, EnclosingListOfALoopingTreeEnds) {
    FakeRef list(ROLE_SYSTEM_LIST);
    list->parent = list.get();  // a broken application's tree
    FakeRef item(ROLE_SYSTEM_LISTITEM);
    item->parent = list.get();
    CAccElem found;
    EXPECT_TRUE(CAccElem(item.get(), 0).findEnclosingList(&found));
    EXPECT_EQ(found.object(), static_cast<IAccessible*>(list.get()));
}

TEST_F(AccElemTest, LocationIsClippedToTheElementsWindow) {
    FakeRef root;
    FakeAccessibleWindow window(L"SxClipTestWnd", root.get(), 0, {100, 100, 400, 300});
    struct Case {
        const char* what;
        RECT location;
        bool ok;
        RECT expected;
    } cases[] = {
        {"inside", {150, 150, 200, 180}, true, {150, 150, 200, 180}},
        {"across the right edge", {350, 120, 450, 140}, true, {350, 120, 400, 140}},
        {"wholly outside", {500, 500, 520, 520}, false, {0, 0, 0, 0}},
        {"touching the edge only", {400, 120, 450, 140}, false, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        FakeRef element(ROLE_SYSTEM_TEXT);
        element->location = c.location;
        element->parent = root.get();
        RECT r = {0, 0, 0, 0};
        EXPECT_EQ(CAccElem(element.get(), 0).getLocation(&r, true), c.ok) << c.what;
        EXPECT_TRUE(EqualRect(&r, &c.expected)) << c.what;
        EXPECT_TRUE(CAccElem(element.get(), 0).getLocation(&r, false)) << c.what;
        EXPECT_TRUE(EqualRect(&r, &c.location)) << c.what << ": unclipped";
    }
    FakeRef orphan;
    orphan->location = {500, 500, 520, 520};
    RECT r;
    EXPECT_TRUE(CAccElem(orphan.get(), 0).getLocation(&r, true)) << "no window: unclipped";
    EXPECT_EQ(r.left, 500);
}

// The focus inside a window whose window object is a fake.
class FocusTest : public AccElemTest {};

TEST_F(FocusTest, FocusIsFoundThroughAtMostTwoLevels) {
    using F = FakeAccessible::Focus;
    enum Expect { WindowObject, WindowChild, InnerChild, Deepest, Nothing };
    struct Case {
        const char* what;
        F first;
        F second;
        bool result;
        bool hasFocus;
        Expect element;
    } cases[] = {
        {"no focus answer", F::Fails, F::Fails, true, false, WindowObject},
        {"a child of the window object", F::Child, F::Fails, true, true, WindowChild},
        {"first level names no focus", F::None, F::Fails, false, true, Nothing},
        {"a child of the focused object", F::Object, F::Child, true, true, InnerChild},
        {"an object two levels down", F::Object, F::Object, true, true, Deepest},
        {"second level names no focus", F::Object, F::None, false, true, Nothing},
        {"second level fails", F::Object, F::Fails, false, true, Nothing},
    };
    for (const Case& c : cases) {
        FakeRef windowObject, inner, deepest;
        windowObject->focus = c.first;
        windowObject->focusChild = 3;
        windowObject->focusObject = inner.get();
        inner->focus = c.second;
        inner->focusChild = 7;
        inner->focusObject = deepest.get();
        FakeAccessibleWindow window(L"SxFocusTestWnd", windowObject.get());

        CAccElem element;
        bool hasFocus = !c.hasFocus;
        EXPECT_EQ(element.fromWindowFocus(window.handle(), &hasFocus, false, false), c.result)
            << c.what;
        EXPECT_EQ(hasFocus, c.hasFocus) << c.what;
        EXPECT_EQ(element.isAttached(), c.element != Nothing) << c.what;
        if (c.element == Nothing) continue;
        // The object may come back through the marshaller: compare by answers.
        const LONG expectedChild = c.element == WindowChild ? 3 : c.element == InnerChild ? 7 : 0;
        EXPECT_EQ(element.childId(), expectedChild) << c.what;
        if (c.element == Deepest) {
            EXPECT_EQ(element.object(), static_cast<IAccessible*>(deepest.get())) << c.what;
        } else if (c.element == InnerChild) {
            EXPECT_EQ(element.object(), static_cast<IAccessible*>(inner.get())) << c.what;
        }
    }
}

TEST_F(FocusTest, AFocusWithoutLocationGivesWayToItsParent) {
    FakeRef windowObject, focused;
    windowObject->location = {10, 10, 50, 50};
    windowObject->focus = FakeAccessible::Focus::Object;
    windowObject->focusObject = focused.get();
    focused->focus = FakeAccessible::Focus::Child;
    focused->focusChild = CHILDID_SELF;
    focused->locationResult = E_FAIL;
    focused->parent = windowObject.get();
    FakeAccessibleWindow window(L"SxFocusTestWnd", windowObject.get());

    CAccElem element;
    bool hasFocus = false;
    ASSERT_TRUE(element.fromWindowFocus(window.handle(), &hasFocus, true, false));
    RECT r;
    ASSERT_TRUE(element.getLocation(&r));
    EXPECT_EQ(r.right, 50) << "the parent's location";

    CAccElem unfixed;
    ASSERT_TRUE(unfixed.fromWindowFocus(window.handle(), &hasFocus, false, false));
    EXPECT_FALSE(unfixed.getLocation(&r));
}

TEST_F(FocusTest, NoWindowNoElement) {
    HWND gone = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
    DestroyWindow(gone);
    CAccElem element;
    bool hasFocus = false;
    EXPECT_FALSE(element.fromWindowFocus(gone, &hasFocus, false, false));
    EXPECT_FALSE(element.isAttached());
}

// Sets the screen-reader flag for a test and puts it back after.
class ReaderFlag {
  public:
    explicit ReaderFlag(BOOL on) {
        SystemParametersInfoW(SPI_GETSCREENREADER, 0, &was_, 0);
        SystemParametersInfoW(SPI_SETSCREENREADER, on, nullptr, 0);
    }
    ~ReaderFlag() { SystemParametersInfoW(SPI_SETSCREENREADER, was_, nullptr, 0); }
    static BOOL now() {
        BOOL on = FALSE;
        SystemParametersInfoW(SPI_GETSCREENREADER, 0, &on, 0);
        return on;
    }

  private:
    BOOL was_ = FALSE;
};

TEST_F(AccElemTest, TheReaderFlagIsRaisedAroundTheCallOnlyWhenAskedAndWasDown) {
    FakeRef client(ROLE_SYSTEM_TEXT);
    FakeAccessibleWindow window(L"SxReaderFlagWnd", client.get());
    const struct {
        const char* what;
        BOOL before;
        bool raise;
        BOOL during;
    } cases[] = {
        {"down and raised", FALSE, true, TRUE},
        {"down, not asked", FALSE, false, FALSE},
        {"already up", TRUE, true, TRUE},
    };
    for (const auto& c : cases) {
        ReaderFlag flag(c.before);
        window.readerFlagSeen = -1;
        CAccElem element;
        ASSERT_TRUE(element.fromEvent(window.handle(), OBJID_CLIENT, CHILDID_SELF, c.raise))
            << c.what;
        EXPECT_EQ(window.readerFlagSeen, c.during) << c.what;
        EXPECT_EQ(ReaderFlag::now(), c.before) << c.what << ": as it was after the call";
        bool hasFocus = false;
        window.readerFlagSeen = -1;
        element.fromWindowFocus(window.handle(), &hasFocus, false, c.raise);
        EXPECT_EQ(window.readerFlagSeen, c.during) << c.what << " (focus)";
        EXPECT_EQ(ReaderFlag::now(), c.before) << c.what << " (focus)";
    }
}

TEST_F(AccElemTest, TheReaderScreenModeHoldsTheFlagUpWhileItLives) {
    for (BOOL before : {FALSE, TRUE}) {
        ReaderFlag flag(before);
        {
            CSafeSetReaderScreenMode mode;
            EXPECT_EQ(mode.raised(), !before);
            EXPECT_TRUE(ReaderFlag::now());
        }
        EXPECT_EQ(ReaderFlag::now(), before) << "put back as it was";
        CSafeSetReaderScreenMode notWanted(false);
        EXPECT_FALSE(notWanted.raised());
        EXPECT_EQ(ReaderFlag::now(), before);
    }
}

TEST_F(AccElemTest, FromEventAndFromWindowTakeTheServedObject) {
    FakeRef client(ROLE_SYSTEM_TEXT);
    FakeRef item(ROLE_SYSTEM_LISTITEM);
    client->children = {{1, nullptr}, {2, item.get()}};
    FakeAccessibleWindow window(L"SxEventTestWnd", client.get());

    CAccElem element;
    ASSERT_TRUE(element.fromEvent(window.handle(), OBJID_CLIENT, CHILDID_SELF));
    EXPECT_EQ(element.getRole(), ROLE_SYSTEM_TEXT);
    ASSERT_TRUE(element.fromEvent(window.handle(), OBJID_CLIENT, 1));
    EXPECT_EQ(element.childId(), 1) << "a simple child";
    ASSERT_TRUE(element.fromEvent(window.handle(), OBJID_CLIENT, 2));
    EXPECT_EQ(element.getRole(), ROLE_SYSTEM_LISTITEM) << "an object child";
    EXPECT_EQ(element.childId(), CHILDID_SELF);

    CAccElem fromWindow;
    ASSERT_TRUE(fromWindow.fromWindow(window.handle(), true));
    EXPECT_EQ(fromWindow.getRole(), ROLE_SYSTEM_TEXT);
    HWND found = nullptr;
    ASSERT_TRUE(fromWindow.getWindow(&found));
    EXPECT_EQ(found, window.handle());
}

}  // namespace
