#include "ui/settings/SettingsPage.h"
#include "ui/settings/SettingsPages.h"

namespace {
class RecoPage : public SettingsPage {
    void load() override {}
};
}  // namespace

INT_PTR CALLBACK RecoPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return SettingsPage::procedure<RecoPage>(page, message, wParam, lParam);
}
INT_PTR CALLBACK AdvancedRecoDlgProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
