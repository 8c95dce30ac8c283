// The markup bar's customization dialog: whether the bar hides itself at the
// screen edge, its button size and its appearance (compact, extended or
// following the size). OK and Apply store the choice and lay the bar out again.
#pragma once

#include <windows.h>

// The markup bar as the dialog sees it.
class CustomizableMarkupBar {
  public:
    virtual ~CustomizableMarkupBar() = default;

    virtual bool autoHide() const = 0;
    // 1 small, 2 large, 3 following the last input.
    virtual int sizeModeSetting() const = 0;
    // 1 compact, 2 extended, 3 compact when large, else extended.
    virtual int showMode() const = 0;
    // Stores the choice, lays the bar out with it and writes its settings.
    virtual void applyChoice(bool autoHide, int sizeModeSetting, int showMode) = 0;
};

// The choices of the dialog's controls.
struct MarkupChoice {
    bool autoHide = false;
    bool large = false, small = false;       // neither: size follows the input
    bool compact = false, extended = false;  // neither: automatic appearance
};

// The appearance value of the radios (a checked first radio wins).
int showModeFromChoice(const MarkupChoice& choice);
// What OK and Apply do.
void applyMarkupChoice(CustomizableMarkupBar& bar, const MarkupChoice& choice);

// The dialog procedure of resource 256; the WM_INITDIALOG parameter is the
// CustomizableMarkupBar to work on. The dialog ends with 1 (OK) or 0 (Cancel).
// The thread that makes the dialog owns it: in checked runs a call from
// another thread fails.
INT_PTR CALLBACK MarkupCustomizationDlgProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

// Runs the dialog over `owner` on `bar`; 1 after OK, 0 after Cancel (what Apply
// stored stays), -1 when the dialog could not be made. While one is open a
// second call, from any thread, has the dialog's own thread bring it to the
// front and answers 0.
INT_PTR runMarkupCustomization(CustomizableMarkupBar& bar, HWND owner);

// The open markup customization dialog (null when none), for any thread.
HWND markupCustomizationWindow();
