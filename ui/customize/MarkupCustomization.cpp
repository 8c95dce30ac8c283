#include "MarkupCustomization.h"

#include <atomic>

#include "ToolbarCustomization.h"
#include "core/AppGlobals.h"
#include "core/Trace.h"
#include "resources/resource.h"
#include "win/Checks.h"

namespace {

// The open dialog, written by the thread that runs it; any thread may read
// it, to post to the dialog or to see that one is open.
std::atomic<HWND> g_openDialog{nullptr};

// A second request from any thread: the dialog comes forward on its own thread.
constexpr UINT kBringForwardMessage = WM_APP + 1;

const int kSizeRadios[] = {IDC_CUSTOMIZE_LARGE, IDC_CUSTOMIZE_SMALL, IDC_CUSTOMIZE_SIZE_AUTO};
const int kAppearanceRadios[] = {IDC_CUSTOMIZE_COMPACT, IDC_CUSTOMIZE_EXTENDED,
                                 IDC_CUSTOMIZE_APPEARANCE_AUTO};

bool isOptionControl(WORD id) {
    return id == IDC_CUSTOMIZE_AUTO_HIDE ||
           (id >= IDC_CUSTOMIZE_LARGE && id <= IDC_CUSTOMIZE_APPEARANCE_AUTO);
}

class MarkupCustomizationDlg {
  public:
    MarkupCustomizationDlg(HWND window, CustomizableMarkupBar& bar) : window_(window), bar_(bar) {
        owner_.adopt();
    }

    void checkOwner(const char* operation) const { owner_.check(operation); }

    void onInit() {
        g_openDialog = window_;
        CheckDlgButton(window_, IDC_CUSTOMIZE_AUTO_HIDE,
                       bar_.autoHide() ? BST_CHECKED : BST_UNCHECKED);
        if (int radio = customizeRadioOf(kSizeRadios, bar_.sizeModeSetting()))
            CheckRadioButton(window_, kSizeRadios[0], kSizeRadios[2], radio);
        // The appearance radios stand for 1, 2 and 3 in their order.
        const int show = bar_.showMode();
        if (show >= 1 && show <= 3)
            CheckRadioButton(window_, kAppearanceRadios[0], kAppearanceRadios[2],
                             kAppearanceRadios[show - 1]);
        enableCommit(false);
    }

    bool onCommand(WORD id, WORD notification) {
        if (isOptionControl(id)) {
            if (notification == BN_CLICKED) enableCommit(true);
            return true;
        }
        switch (id) {
            case IDOK:
            case IDC_CUSTOMIZE_APPLY:
                // Enter reaches OK while it is disabled: nothing to store then.
                if (!IsWindowEnabled(GetDlgItem(window_, id))) return true;
                applyMarkupChoice(bar_, readChoice());
                if (id == IDOK)
                    EndDialog(window_, 1);
                else
                    enableCommit(false);
                return true;
            case IDCANCEL:
                EndDialog(window_, 0);
                return true;
            default:
                return false;
        }
    }

    void onDestroy() {
        HWND mine = window_;
        g_openDialog.compare_exchange_strong(mine, nullptr);
    }

  private:
    void enableCommit(bool on) {
        EnableWindow(GetDlgItem(window_, IDOK), on);
        EnableWindow(GetDlgItem(window_, IDC_CUSTOMIZE_APPLY), on);
    }
    bool checked(int id) const { return IsDlgButtonChecked(window_, id) == BST_CHECKED; }

    MarkupChoice readChoice() const {
        MarkupChoice choice;
        choice.autoHide = checked(IDC_CUSTOMIZE_AUTO_HIDE);
        choice.large = checked(IDC_CUSTOMIZE_LARGE);
        choice.small = checked(IDC_CUSTOMIZE_SMALL);
        choice.compact = checked(IDC_CUSTOMIZE_COMPACT);
        choice.extended = checked(IDC_CUSTOMIZE_EXTENDED);
        return choice;
    }

    HWND window_;
    CustomizableMarkupBar& bar_;
    win::OwnerThread owner_{"markup bar customization dialog"};
};

}  // namespace

int showModeFromChoice(const MarkupChoice& choice) {
    return choice.compact ? 1 : choice.extended ? 2 : 3;
}

void applyMarkupChoice(CustomizableMarkupBar& bar, const MarkupChoice& choice) {
    bar.applyChoice(choice.autoHide, customizeValueOf(choice.large, choice.small),
                    showModeFromChoice(choice));
}

INT_PTR CALLBACK MarkupCustomizationDlgProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    auto* dialog = reinterpret_cast<MarkupCustomizationDlg*>(GetWindowLongPtrW(window, DWLP_USER));
    // The system calls it on the dialog's thread; a direct call from another
    // thread would work the dialog and the bar off their owner.
    if (dialog) dialog->checkOwner("MarkupCustomizationDlgProc");
    switch (message) {
        case WM_INITDIALOG: {
            auto* bar = reinterpret_cast<CustomizableMarkupBar*>(lParam);
            if (!bar) {
                EndDialog(window, -1);
                return TRUE;
            }
            dialog = new MarkupCustomizationDlg(window, *bar);
            SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(dialog));
            dialog->onInit();
            return TRUE;
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

INT_PTR runMarkupCustomization(CustomizableMarkupBar& bar, HWND owner) {
    if (HWND open = g_openDialog) {
        // A second dialog over the same settings would let one undo the other.
        // The open one is brought forward by its own thread, whichever asks.
        PostMessageW(open, kBringForwardMessage, 0, 0);
        return 0;
    }
    const INT_PTR result =
        DialogBoxParamW(getInstance(), MAKEINTRESOURCEW(IDD_CUSTOMIZE_MARKUP), owner,
                        MarkupCustomizationDlgProc, reinterpret_cast<LPARAM>(&bar));
    if (result == -1) debugTrace(L"Markup bar customization dialog failed\n");
    return result;
}

HWND markupCustomizationWindow() { return g_openDialog.load(); }
