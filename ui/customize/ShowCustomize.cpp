// The service's entry to the customization dialogs (the main menu's
// "&Customize Toolbar...").
#include "core/PendingServices.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "ToolbarCustomization.h"

namespace {

const wchar_t kToolBarKey[] = L"ToolBar";

// The main bar's stored settings, for a bar that has not been made yet: the
// dialog edits them, and the bar reads them when it is made.
class StoredToolbar : public CustomizableToolbar {
  public:
    StoredToolbar() {
        int value = 0;
        if (ReadSetting(kToolBarKey, L"buttons", &value, SETTING_NUMBER, 0))
            buttons_ = static_cast<DWORD>(value);
        if (ReadSetting(kToolBarKey, L"layoutMode", &value, SETTING_NUMBER, 0)) layout_ = value;
        if (ReadSetting(kToolBarKey, L"sizeMode", &value, SETTING_NUMBER, 0)) size_ = value;
        unsigned char flag = 0;
        if (ReadSetting(kToolBarKey, L"autoHide", &flag, SETTING_FLAG, 0)) autoHide_ = flag != 0;
    }

    DWORD buttons() const override { return buttons_; }
    bool autoHide() const override { return autoHide_; }
    int layoutMode() const override { return layout_; }
    int sizeModeSetting() const override { return size_; }
    void setLayoutChoice(bool autoHide, int layoutMode, int sizeModeSetting) override {
        autoHide_ = autoHide;
        layout_ = layoutMode;
        size_ = sizeModeSetting;
    }
    void layoutButtons(DWORD mask) override { buttons_ = mask; }
    void saveSettings() override {
        const int buttons = static_cast<int>(buttons_);
        WriteSetting(kToolBarKey, L"buttons", &buttons, SETTING_NUMBER, 0);
        WriteSetting(kToolBarKey, L"sizeMode", &size_, SETTING_NUMBER, 0);
        WriteSetting(kToolBarKey, L"layoutMode", &layout_, SETTING_NUMBER, 0);
        const unsigned char flag = autoHide_ ? 1 : 0;
        WriteSetting(kToolBarKey, L"autoHide", &flag, SETTING_FLAG, 0);
    }
    void refreshButtons() override { refreshBarButtons(); }

  private:
    DWORD buttons_ = 55;  // every button but binding
    bool autoHide_ = false;
    int layout_ = 3;
    int size_ = 3;
};

}  // namespace

void showCustomizeDialog(int resourceId, HWND owner) {
    switch (resourceId) {
        case 255: {
            StoredToolbar stored;
            runToolbarCustomization(stored, owner);
            break;
        }
        case 256:
            showMarkupCustomizeDialog(owner);
            break;
        default:
            debugTrace(L"showCustomizeDialog: no dialog %d\n", resourceId);
            break;
    }
}
