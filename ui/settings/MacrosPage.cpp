#include "ui/settings/SettingsPage.h"
#include "ui/settings/SettingsPages.h"

namespace {
class MacrosPage : public SettingsPage {
    void load() override {}
};
}  // namespace

INT_PTR CALLBACK MacrosPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return SettingsPage::procedure<MacrosPage>(page, message, wParam, lParam);
}
