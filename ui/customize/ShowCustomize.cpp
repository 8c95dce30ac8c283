// The service's entry to the customization dialogs (the main menu's
// "&Customize Toolbar...").
#include "core/PendingServices.h"
#include "core/Trace.h"
#include "ToolbarCustomization.h"
#include "ink/LocalInkManager.h"
#include "ui/mainbar/MainBar.h"

namespace {

// The main bar's stored settings, for a bar that has not been made yet: the
// dialog edits them, and the bar reads them when it is made.
class StoredToolbar : public CustomizableToolbar {
  public:
    StoredToolbar() : settings_(readMainBarSettings()) {}

    DWORD buttons() const override { return static_cast<DWORD>(settings_.buttons); }
    bool autoHide() const override { return settings_.autoHide != 0; }
    int layoutMode() const override { return settings_.layoutMode; }
    int sizeModeSetting() const override { return settings_.sizeMode; }
    void setLayoutChoice(bool autoHide, int layoutMode, int sizeModeSetting) override {
        settings_.autoHide = autoHide ? 1 : 0;
        settings_.layoutMode = layoutMode;
        settings_.sizeMode = sizeModeSetting;
    }
    void layoutButtons(DWORD mask) override { settings_.buttons = static_cast<int>(mask); }
    void saveSettings() override { writeMainBarSettings(settings_); }
    void refreshButtons() override {}

  private:
    MainBarSettings settings_;
};

// The main bar object itself: the dialog's choices apply at once.
class LiveMainBar : public CustomizableToolbar {
  public:
    explicit LiveMainBar(CMainBar& bar) : bar_(bar) {}

    DWORD buttons() const override { return static_cast<DWORD>(bar_.buttonsMask()); }
    bool autoHide() const override { return bar_.autoHide(); }
    int layoutMode() const override { return bar_.layoutMode(); }
    int sizeModeSetting() const override { return bar_.settings().sizeMode; }
    void setLayoutChoice(bool autoHide, int layoutMode, int sizeModeSetting) override {
        MainBarSettings s = bar_.settings();
        s.autoHide = autoHide ? 1 : 0;
        s.layoutMode = layoutMode;
        s.sizeMode = sizeModeSetting;
        bar_.applySettings(s);
    }
    void layoutButtons(DWORD mask) override {
        MainBarSettings s = bar_.settings();
        s.buttons = static_cast<int>(mask);
        bar_.applySettings(s);
        bar_.layoutButtons(0);
    }
    // The bar's ink client writes the bar's settings on event 4.
    void saveSettings() override {
        if (LocalClient* client = bar_.client())
            client->onNotify(INK_EVENT_WRITE_ICON_SETTINGS, 0);
        else
            writeMainBarSettings(bar_.settings());
    }
    void refreshButtons() override { bar_.refreshButtons(); }

  private:
    CMainBar& bar_;
};

}  // namespace

void showCustomizeDialog(int resourceId, HWND owner) {
    switch (resourceId) {
        case 255:
            if (CMainBar* bar = mainBar()) {
                LiveMainBar live(*bar);
                runToolbarCustomization(live, owner);
            } else {
                StoredToolbar stored;
                runToolbarCustomization(stored, owner);
            }
            break;
        case 256:
            showMarkupCustomizeDialog(owner);
            break;
        default:
            debugTrace(L"showCustomizeDialog: no dialog %d\n", resourceId);
            break;
    }
}
