// The profile for a target window: a window property binds a profile, but
// not while the user corrects a short part of the field's text. The system
// client reads the target's selection through the target text handlers and
// skips the bound profile for a partial one.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ink/TargetText.h"
#include "recognition/ProfileChooser.h"
#include "recognition/RecMgr.h"

namespace {

// What the system client asks of the target before it looks a profile up.
bool partialSelection(HWND window) {
    int kind = 0;
    bool needSpace = false, partial = false;
    return checkTargetSelection(window, kind, needSpace, partial) && partial;
}

TEST(ProfileForTarget, AShortPartialSelectionTakesNoBoundProfile) {
    HWND edit = CreateWindowExW(0, L"EDIT", L"hello world", WS_POPUP, 0, 0, 200, 30, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(edit);
    SetPropW(edit, CProfileChooser::kWindowProperty,
             reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(GlobalAddAtomW(L"Bound"))));
    getRecMgr().profileChooser().clear(-1);
    struct Case {
        const char* what;
        int start, end;
        bool selectionFlag;
        const wchar_t* expected;
    } cases[] = {
        {"no selection", 3, 3, false, L"Bound"},
        {"a short part selected", 0, 5, false, L""},
        {"a short part, the caller asks anyway", 0, 5, true, L"Bound"},
        {"the whole text", 0, 11, false, L"Bound"},
        {"all but one character", 0, 10, false, L"Bound"},
    };
    for (const Case& c : cases) {
        SendMessageW(edit, EM_SETSEL, c.start, c.end);
        std::wstring name;
        EXPECT_EQ(getProfileForWindow(edit, name, true, c.selectionFlag, partialSelection),
                  *c.expected != L'\0')
            << c.what;
        EXPECT_EQ(name, c.expected) << c.what;
    }
    RemovePropW(edit, CProfileChooser::kWindowProperty);
    DestroyWindow(edit);
}

}  // namespace
