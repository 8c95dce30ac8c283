// The floating toolbar of markup mode: tools, widths, colours, clear, undo,
// redo, shape enhancer, snapshot and exit, over the markup canvas. Compact it
// shows ten buttons, the tool and width buttons opening two pickers (the pens
// and widths bars); extended it shows every tool and width. It is also the
// screen clipping tool's owner and hands the finished clip on.
#pragma once

#include <windows.h>

#include "ui/bars/BarGestures.h"
#include "ui/bars/FloatingBar.h"
#include "ui/clip/ScreenCapture.h"
#include "ui/markup/MarkupCanvas.h"

// Button ids: each is a bit.
enum MarkupBarButton : UINT {
    MB_EXIT = 0x1,
    MB_TOOL = 0x2,
    MB_COLOURS = 0x4,
    MB_WIDTH = 0x8,
    MB_CLEAR = 0x10,
    MB_SNAPSHOT = 0x20,
    MB_UNDO = 0x40,
    MB_REDO = 0x80,
    MB_SHAPES = 0x100,
    MB_MENU = 0x200,
    MB_PENCIL = 0x1000,
    MB_PEN = 0x2000,
    MB_MARKER = 0x4000,
    MB_SELECTOR = 0x8000,
    MB_CUTTER = 0x10000,
    MB_WIDTH1 = 0x100000,  // MB_WIDTH1 << i for width index i
};

// Appearance ("showMode").
enum MarkupAppearance { APPEARANCE_COMPACT = 1, APPEARANCE_EXTENDED = 2, APPEARANCE_AUTO = 3 };

// No colour kept for a tool.
constexpr COLORREF kNoColour = 0x12345678;

// The pen table of settings key "MarkupBar", with its defaults.
struct MarkupPenTable {
    int widths[5] = {1, 4, 8, 16, 24};
    int lastPencilWidth = 0;
    int lastStyloWidth = 0;
    int lastMarkerWidth = 0;
    COLORREF lastPencilColor = RGB(255, 0, 0);
    COLORREF lastStyloColor = RGB(0, 0, 255);
    COLORREF lastMarkerColor = RGB(255, 255, 0);
    POINT position = {0, 0};
    bool hasPosition = false;  // none kept: the bar's default place
    int sizeMode = SIZE_FOLLOW_INPUT;
    int autoHide = 0;
    int shapeRecMode = 0;
    int showMode = APPEARANCE_AUTO;
};
MarkupPenTable readMarkupPenTable();
void writeMarkupPenTable(const MarkupPenTable& table);

// The index of the width in `widths` nearest to `width`: the first i of 0..3
// whose width lies below (w[i] + w[i + 1]) / 2, else 4.
int nearestWidthIndex(const int widths[5], int width);

class CPickerBar;
class CPensBar;
struct DeliveredClip;
class CWidthsBar;

// A floating bar that is made hidden: markup mode shows it, and the pickers
// are shown on demand; none of them may flash on the screen at start-up.
template <typename Bar>
class CHiddenStartBar : public CBaseBar<Bar> {
  public:
    explicit CHiddenStartBar(const wchar_t* clientName) : CBaseBar<Bar>(clientName) {}

  protected:
    void onCreate() override;
};

class CMarkupBar : public CHiddenStartBar<CMarkupBar>, public IScreenCaptureCallback {
  public:
    CMarkupBar();
    ~CMarkupBar() override;

    // Creates the window owned by `owner` (hidden) and the pickers.
    bool create(HWND owner);

    // Tools, widths and colours: each tells the canvas, keeps the value and
    // refreshes the buttons.
    void selectTool(int tool);
    void setPenColour(COLORREF colour);
    void setPenWidth(int width);
    void setPenWidthIndex(int index);
    void startScreenCapture();
    // The clip the clipping tool delivered goes to its destination; the tool closes.
    void handClip();
    // The ink control's notifications (registered message "fatInkMsgToOwner").
    LRESULT onControlNotification(WPARAM code, LPARAM control);
    void toggleShapeEnhancer();
    // The customization dialog's choice: kept, the bar laid out with it and
    // the settings written.
    void applyAppearance(bool autoHide, int sizeModeSetting, int showMode);
    // Runs the command of a button id as a press on it would.
    void runCommand(UINT id);

    // The template's operations.
    void onButton(BarButton* button) override;
    void refreshButtons() override;
    void layoutButtons(int size) override;
    bool calcBarSize(bool vertical, SIZE* size) override;
    void arrangeButtons(const RECT& rect) override;
    void paint(HDC dc) override;
    void keepOnTop() override;
    void onContextMenu(POINT point) override;
    int onClientNotify(int event, LPARAM argument) override;

    // IScreenCaptureCallback (called on the tool's thread, which only posts
    // what happened to the bar's own).
    void started(CScreenCaptureCtrl* control) override {}
    void cancelled(CScreenCaptureCtrl* control) override;
    bool hotKey(CScreenCaptureCtrl* control, int id, LPARAM lParam) override { return false; }
    void modifiersChanged(CScreenCaptureCtrl* control, UINT mask, UINT previous) override {}
    void done(CScreenCaptureCtrl* control, HBITMAP* clip, const wchar_t* title) override;

    bool compact() const;
    int sizeModeSetting() const { return sizeModeSetting_; }
    const MarkupPenTable& penTable() const { return table_; }
    MarkupPenTable& penTable() { return table_; }
    int currentTool() const { return currentTool_; }
    CPensBar* pensBar() const { return pensBar_; }
    CWidthsBar* widthsBar() const { return widthsBar_; }
    bool aboveLayer() const { return aboveLayer_; }
    void setAboveLayer(bool above) { aboveLayer_ = above; }
    bool hidesMainBar() const { return hidesMainBar_; }
    void setHidesMainBar(bool hides) { hidesMainBar_ = hides; }
    HBITMAP lastClip() const { return lastClip_; }
    const wchar_t* lastClipCaption() const { return lastClipCaption_; }
    HWND captureWindow() const;
    // A picker ended on its own (the ink manager deletes its client, and the
    // client the picker): the bar no longer owns it.
    void pickerGone(CVexaBar* picker);

  protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void keepLast(int tool, int width, COLORREF colour);
    // The bar's place becomes the table's (written with it).
    void keepPosition();
    // Clear without the canvas: the ink drawn over the desktop goes.
    void clearInkOverTheDesktop();
    // A clip the tool delivered, now the bar's.
    void keepClip(DeliveredClip& delivered);
    int lastWidthOf(int tool) const;
    COLORREF lastColourOf(int tool) const;
    void closeCapture();

    MarkupPenTable table_;
    CPensBar* pensBar_ = nullptr;
    CWidthsBar* widthsBar_ = nullptr;
    int currentTool_ = TOOL_PENCIL;
    int currentWidth_ = 0;
    COLORREF currentColour_ = kNoColour;
    int shownTool_ = 0;    // the tool whose picture the tool button shows
    int shownWidth_ = -1;  // the width index whose picture the width button shows
    bool aboveLayer_ = false;
    bool hidesMainBar_ = false;
    CScreenCaptureCtrl* capture_ = nullptr;
    HBITMAP lastClip_ = nullptr;
    wchar_t lastClipCaption_[320] = {};
};

// The pickers the compact markup bar opens at the cursor: each shows at the
// cursor in the opposite orientation of the markup bar, hands the pick to the
// markup bar and hides; it hides as soon as anything else happens. Owned by
// the markup bar (through their ink clients, which the ink manager deletes).
class CPickerBar : public CHiddenStartBar<CPickerBar> {
  public:
    CPickerBar(const wchar_t* clientName, CMarkupBar* markup);
    ~CPickerBar() override;
    // The markup bar goes first: the picker no longer reaches it.
    void detachMarkup() { markup_ = nullptr; }
    CMarkupBar* markup() const { return markup_; }
    bool create(HWND owner);
    void showAt(POINT point);
    void onButton(BarButton* button) override;
    int onClientNotify(int event, LPARAM argument) override;
    // Pan flicks the picker, zoom is noted, rotate flips it.
    bool onGesture(DWORD id, DWORD flags, POINT point, ULONGLONG arguments) override {
        return handleBarGesture(*this, gestures_, id, flags, point);
    }
    const BarGestureTrack& gestures() const { return gestures_; }

    // A button of a picker: its id, tooltip string and image base name.
    struct Kind {
        UINT id;
        int tip;
        const wchar_t* image;
    };

  protected:
    // The markup bar takes the pick of button `id`.
    virtual void pick(CMarkupBar& markup, UINT id) = 0;
    // The buttons of `kinds`, with the frame of the size.
    void layoutKinds(const Kind* kinds, int count);

  private:
    CMarkupBar* markup_;
    BarGestureTrack gestures_;
};

class CPensBar : public CPickerBar {
  public:
    explicit CPensBar(CMarkupBar* markup);
    void refreshButtons() override;
    void layoutButtons(int size) override;

  protected:
    void pick(CMarkupBar& markup, UINT id) override;
};

class CWidthsBar : public CPickerBar {
  public:
    explicit CWidthsBar(CMarkupBar* markup);
    void refreshButtons() override;
    void layoutButtons(int size) override;

  protected:
    void pick(CMarkupBar& markup, UINT id) override;
};

// The application's markup bar (null before start-up made it).
CMarkupBar* markupBar();
