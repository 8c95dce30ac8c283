// The service's entry to the customization dialogs (the main menu's
// "&Customize Toolbar...").
#include "core/PendingServices.h"
#include "core/Trace.h"
#include "MarkupCustomization.h"
#include "ToolbarCustomization.h"
#include "ink/LocalInkManager.h"
#include "ui/mainbar/MainBar.h"
#include "ui/markup/MarkupBar.h"

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

// The main bar object itself: the dialog's choices apply at once. The bar is
// looked up at each step, as it may go while the dialog runs (the service
// handles its messages meanwhile); without it every step does nothing.
class LiveMainBar : public CustomizableToolbar {
  public:
    DWORD buttons() const override {
        CMainBar* bar = mainBar();
        return bar ? static_cast<DWORD>(bar->buttonsMask()) : 0;
    }
    bool autoHide() const override {
        CMainBar* bar = mainBar();
        return bar && bar->autoHide();
    }
    int layoutMode() const override {
        CMainBar* bar = mainBar();
        return bar ? bar->layoutMode() : 0;
    }
    int sizeModeSetting() const override {
        CMainBar* bar = mainBar();
        return bar ? bar->settings().sizeMode : 0;
    }
    void setLayoutChoice(bool autoHide, int layoutMode, int sizeModeSetting) override {
        CMainBar* bar = mainBar();
        if (!bar) return;
        MainBarSettings s = bar->settings();
        s.autoHide = autoHide ? 1 : 0;
        s.layoutMode = layoutMode;
        s.sizeMode = sizeModeSetting;
        bar->applySettings(s);
    }
    void layoutButtons(DWORD mask) override {
        CMainBar* bar = mainBar();
        if (!bar) return;
        MainBarSettings s = bar->settings();
        s.buttons = static_cast<int>(mask);
        bar->applySettings(s);
        bar->layoutButtons(0);
    }
    // The bar's ink client writes the bar's settings on event 4.
    void saveSettings() override {
        CMainBar* bar = mainBar();
        if (!bar) return;
        if (LocalClient* client = bar->client())
            client->onNotify(INK_EVENT_WRITE_ICON_SETTINGS, 0);
        else
            writeMainBarSettings(bar->settings());
    }
    void refreshButtons() override { mainBarRefreshButtons(); }
};

// The markup bar's stored settings, for a bar that has not been made yet.
class StoredMarkupBar : public CustomizableMarkupBar {
  public:
    StoredMarkupBar() : table_(readMarkupPenTable()) {}
    bool autoHide() const override { return table_.autoHide != 0; }
    int sizeModeSetting() const override { return table_.sizeMode; }
    int showMode() const override { return table_.showMode; }
    void applyChoice(bool autoHide, int sizeModeSetting, int showMode) override {
        table_.autoHide = autoHide ? 1 : 0;
        table_.sizeMode = sizeModeSetting;
        table_.showMode = showMode;
        writeMarkupPenTable(table_);
    }

  private:
    MarkupPenTable table_;
};

// The markup bar itself, looked up at each step as it may go while the
// dialog runs; without it the choice is stored for the next bar.
class LiveMarkupBar : public CustomizableMarkupBar {
  public:
    bool autoHide() const override {
        CMarkupBar* bar = markupBar();
        return bar ? bar->autoHide() : StoredMarkupBar().autoHide();
    }
    int sizeModeSetting() const override {
        CMarkupBar* bar = markupBar();
        return bar ? bar->sizeModeSetting() : StoredMarkupBar().sizeModeSetting();
    }
    int showMode() const override {
        CMarkupBar* bar = markupBar();
        return bar ? bar->penTable().showMode : StoredMarkupBar().showMode();
    }
    void applyChoice(bool autoHide, int sizeModeSetting, int showMode) override {
        if (CMarkupBar* bar = markupBar())
            bar->applyAppearance(autoHide, sizeModeSetting, showMode);
        else
            StoredMarkupBar().applyChoice(autoHide, sizeModeSetting, showMode);
    }
};

}  // namespace

void showCustomizeDialog(int resourceId, HWND owner) {
    switch (resourceId) {
        case 255:
            if (mainBar()) {
                LiveMainBar live;
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

void showMarkupCustomizeDialog(HWND owner) {
    LiveMarkupBar bar;
    runMarkupCustomization(bar, owner);
}
