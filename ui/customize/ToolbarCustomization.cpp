#include "ToolbarCustomization.h"

#include <atomic>

#include "core/AppGlobals.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "resources/resource.h"
#include "win/Checks.h"

const ToolbarButtonBox kToolbarButtonBoxes[6] = {
    {IDC_CUSTOMIZE_PEN, 1},         {IDC_CUSTOMIZE_MARKUP, 2},  {IDC_CUSTOMIZE_PUNCTUATION, 16},
    {IDC_CUSTOMIZE_CORRECTION, 32}, {IDC_CUSTOMIZE_BINDING, 8}, {IDC_CUSTOMIZE_MENU, 4},
};

const wchar_t kNoButtonMessage[] = L"At least one button should be selected";
const wchar_t kNoButtonCaption[] = L"Toolbar Customization";

namespace {

// The open dialog, written by the thread that runs it; any thread may read
// it, to post to the dialog or to see that one is open.
std::atomic<HWND> g_openDialog{nullptr};

// A second request from any thread: the dialog comes forward on its own thread.
constexpr UINT kBringForwardMessage = WM_APP + 1;

const int kLayoutRadios[] = {IDC_CUSTOMIZE_VERTICAL, IDC_CUSTOMIZE_HORIZONTAL,
                             IDC_CUSTOMIZE_LAYOUT_AUTO};
const int kSizeRadios[] = {IDC_CUSTOMIZE_LARGE, IDC_CUSTOMIZE_SMALL, IDC_CUSTOMIZE_SIZE_AUTO};

bool isOptionControl(WORD id) {
    return (id >= IDC_CUSTOMIZE_PEN && id <= IDC_CUSTOMIZE_AUTO_HIDE) ||
           (id >= IDC_CUSTOMIZE_VERTICAL && id <= IDC_CUSTOMIZE_SIZE_AUTO);
}

// The dialog's state and handlers; ToolbarCustomizationDlgProc hands the
// messages to it.
class ToolbarCustomizationDlg {
  public:
    ToolbarCustomizationDlg(HWND window, CustomizableToolbar& bar) : window_(window), bar_(bar) {
        owner_.adopt();
    }

    void checkOwner(const char* operation) const { owner_.check(operation); }

    bool onInit() {
        g_openDialog = hwnd();
        bar_.refreshButtons();
        const DWORD buttons = bar_.buttons();
        const GeneralSettings& settings = generalSettings();
        const bool bindingAvailable = settings.useContextReco || settings.useAppFilters;
        for (const ToolbarButtonBox& box : kToolbarButtonBoxes) {
            bool on = (buttons & box.bit) != 0;
            if (box.controlId == IDC_CUSTOMIZE_BINDING && !bindingAvailable) {
                EnableWindow(GetDlgItem(hwnd(), box.controlId), FALSE);
                on = false;
            }
            CheckDlgButton(hwnd(), box.controlId, on ? BST_CHECKED : BST_UNCHECKED);
        }
        if (int radio = customizeRadioOf(kLayoutRadios, bar_.layoutMode()))
            CheckRadioButton(hwnd(), kLayoutRadios[0], kLayoutRadios[2], radio);
        if (int radio = customizeRadioOf(kSizeRadios, bar_.sizeModeSetting()))
            CheckRadioButton(hwnd(), kSizeRadios[0], kSizeRadios[2], radio);
        CheckDlgButton(hwnd(), IDC_CUSTOMIZE_AUTO_HIDE,
                       bar_.autoHide() ? BST_CHECKED : BST_UNCHECKED);
        enableCommit(false);
        return true;
    }

    bool onCommand(WORD id, WORD notification) {
        if (isOptionControl(id)) {
            if (notification == BN_CLICKED) enableCommit(true);
            return true;
        }
        switch (id) {
            case IDOK:
            case IDC_CUSTOMIZE_APPLY:
                // Enter reaches OK even while it is disabled: nothing changed
                // since the last commit, so there is nothing to store.
                if (!IsWindowEnabled(GetDlgItem(hwnd(), id))) return true;
                if (!applyToolbarChoice(bar_, readChoice())) {
                    MessageBoxW(hwnd(), kNoButtonMessage, kNoButtonCaption,
                                MB_OK | MB_ICONEXCLAMATION);
                    return true;
                }
                if (id == IDOK)
                    end(1);
                else
                    enableCommit(false);
                return true;
            case IDCANCEL:
                end(0);
                return true;
            default:
                return false;
        }
    }

    void onDestroy() {
        HWND mine = hwnd();
        g_openDialog.compare_exchange_strong(mine, nullptr);
        bar_.refreshButtons();
    }

  private:
    HWND hwnd() const { return window_; }
    void end(INT_PTR code) { EndDialog(window_, code); }
    void enableCommit(bool on) {
        EnableWindow(GetDlgItem(hwnd(), IDOK), on);
        EnableWindow(GetDlgItem(hwnd(), IDC_CUSTOMIZE_APPLY), on);
    }

    bool checked(int id) const { return IsDlgButtonChecked(hwnd(), id) == BST_CHECKED; }

    ToolbarChoice readChoice() const {
        ToolbarChoice choice;
        for (int i = 0; i < 6; ++i) choice.boxes[i] = checked(kToolbarButtonBoxes[i].controlId);
        choice.autoHide = checked(IDC_CUSTOMIZE_AUTO_HIDE);
        choice.vertical = checked(IDC_CUSTOMIZE_VERTICAL);
        choice.horizontal = checked(IDC_CUSTOMIZE_HORIZONTAL);
        choice.large = checked(IDC_CUSTOMIZE_LARGE);
        choice.small = checked(IDC_CUSTOMIZE_SMALL);
        return choice;
    }

    HWND window_;
    CustomizableToolbar& bar_;
    win::OwnerThread owner_{"toolbar customization dialog"};
};

}  // namespace

INT_PTR CALLBACK ToolbarCustomizationDlgProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    auto* dialog = reinterpret_cast<ToolbarCustomizationDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    // The system calls it on the dialog's thread; a direct call from another
    // thread would work the dialog and the bar off their owner.
    if (dialog) dialog->checkOwner("ToolbarCustomizationDlgProc");
    switch (message) {
        case WM_INITDIALOG: {
            auto* bar = reinterpret_cast<CustomizableToolbar*>(lParam);
            if (!bar) {
                EndDialog(window, -1);
                return TRUE;
            }
            dialog = new ToolbarCustomizationDlg(window, *bar);
            SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
            return dialog->onInit() ? TRUE : FALSE;
        }
        case WM_COMMAND:
            return dialog && dialog->onCommand(LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
        case kBringForwardMessage:
            SetForegroundWindow(window);
            return TRUE;
        case WM_DESTROY:
            if (dialog) {
                dialog->onDestroy();
                SetWindowLongPtrW(window, DWLP_USER, 0);
                delete dialog;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

DWORD toolbarMaskFromChoice(const ToolbarChoice& choice) {
    DWORD mask = 0;
    for (int i = 0; i < 6; ++i)
        if (choice.boxes[i]) mask |= kToolbarButtonBoxes[i].bit;
    return mask;
}

int customizeRadioOf(const int (&radios)[3], int value) {
    switch (value) {
        case 2:
            return radios[0];
        case 1:
            return radios[1];
        case 3:
            return radios[2];
        default:
            return 0;
    }
}

int customizeValueOf(bool first, bool second) { return first ? 2 : second ? 1 : 3; }

int layoutModeFromChoice(const ToolbarChoice& choice) {
    return customizeValueOf(choice.vertical, choice.horizontal);
}

int sizeModeFromChoice(const ToolbarChoice& choice) {
    return customizeValueOf(choice.large, choice.small);
}

bool applyToolbarChoice(CustomizableToolbar& bar, const ToolbarChoice& choice) {
    const DWORD mask = toolbarMaskFromChoice(choice);
    if (mask == 0) return false;
    bar.setLayoutChoice(choice.autoHide, layoutModeFromChoice(choice), sizeModeFromChoice(choice));
    // The layout takes the mask as the bar's buttons; only then are the
    // settings written, so the store gets the new mask and not the old one.
    bar.layoutButtons(mask);
    bar.saveSettings();
    return true;
}

INT_PTR runToolbarCustomization(CustomizableToolbar& bar, HWND owner) {
    if (HWND open = g_openDialog) {
        // A second dialog over the same settings: the inner one's end would
        // empty the slot while the outer stays open. The open one is brought
        // forward by its own thread, whichever thread asks.
        PostMessageW(open, kBringForwardMessage, 0, 0);
        return 0;
    }
    const INT_PTR result =
        DialogBoxParamW(getInstance(), MAKEINTRESOURCEW(IDD_CUSTOMIZE_TOOLBAR), owner,
                        ToolbarCustomizationDlgProc, reinterpret_cast<LPARAM>(&bar));
    if (result == -1) debugTrace(L"Toolbar customization dialog failed\n");
    return result;
}

HWND toolbarCustomizationWindow() { return g_openDialog.load(); }
