// The toolbar customization dialog: the user chooses which buttons the main
// bar shows, whether it hides itself at the screen edge, its layout and its
// button size. It works on the bar's own settings and applies them at once.
#pragma once

#include <windows.h>

// The main bar as the dialog sees it.
class CustomizableToolbar {
  public:
    virtual ~CustomizableToolbar() = default;

    // The mask of the buttons shown (bits 1 pen, 2 markup, 4 menu, 8 binding,
    // 16 punctuation, 32 correction).
    virtual DWORD buttons() const = 0;
    virtual bool autoHide() const = 0;
    // 1 horizontal, 2 vertical, 3 automatic.
    virtual int layoutMode() const = 0;
    // 1 small, 2 large, 3 following the last input.
    virtual int sizeModeSetting() const = 0;
    virtual void setLayoutChoice(bool autoHide, int layoutMode, int sizeModeSetting) = 0;
    // Lays the bar out with the buttons of `mask`, which become its buttons.
    virtual void layoutButtons(DWORD mask) = 0;
    // Writes the bar's settings to the store.
    virtual void saveSettings() = 0;
    virtual void refreshButtons() = 0;
};

// The button check boxes: control id and button bit, in the dialog's order.
struct ToolbarButtonBox {
    int controlId;
    DWORD bit;
};
extern const ToolbarButtonBox kToolbarButtonBoxes[6];

// The choices of the dialog's controls.
struct ToolbarChoice {
    bool boxes[6] = {};  // in the order of kToolbarButtonBoxes
    bool autoHide = false;
    bool vertical = false, horizontal = false;  // neither: automatic layout
    bool large = false, small = false;          // neither: size follows the input
};

// A group of three radios stands for the values 2, 1 and 3 in that order (the
// bars' size and layout choices, the markup bar's appearance): the radio of
// `value` (0 for another value), and the value of the checked radio (a checked
// first radio wins; neither of the first two: 3).
int customizeRadioOf(const int (&radios)[3], int value);
int customizeValueOf(bool first, bool second);

// The mask of the checked boxes.
DWORD toolbarMaskFromChoice(const ToolbarChoice& choice);
// Layout and size values of the radios (a checked first radio wins).
int layoutModeFromChoice(const ToolbarChoice& choice);
int sizeModeFromChoice(const ToolbarChoice& choice);

// What OK and Apply do: false (nothing stored) for an empty button set;
// otherwise the choice is stored in the bar, the bar is laid out with it, and
// the settings are written with the new values in place.
bool applyToolbarChoice(CustomizableToolbar& bar, const ToolbarChoice& choice);

// The dialog procedure of resource 255; the WM_INITDIALOG parameter is the
// CustomizableToolbar to work on. The dialog ends with 1 (OK) or 0 (Cancel).
// The thread that makes the dialog owns it: in checked runs a call from
// another thread fails.
INT_PTR CALLBACK ToolbarCustomizationDlgProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam);

// Runs the dialog (resource 255) over `owner` on `bar`; 1 after OK, 0 after
// Cancel (what Apply stored stays), -1 when the dialog could not be made.
// While a dialog is open, a second request, from any thread, has the dialog's
// own thread bring it forward and answers 0.
INT_PTR runToolbarCustomization(CustomizableToolbar& bar, HWND owner);

// The open customization dialog (null when none), for any thread: the main
// bar keeps its buttons disabled while it is open.
HWND toolbarCustomizationWindow();

// The text and caption of the refusal of an empty button set.
extern const wchar_t kNoButtonMessage[];
extern const wchar_t kNoButtonCaption[];
