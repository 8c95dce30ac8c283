// The floating toolbars (main bar, markup bar, pens and widths bars) share one
// window: a layered, never-activated, topmost tool window whose colour
// 0x666564 is see-through, with a row or column of image buttons in a frame.
// The shared behaviour lives here:
//
//   CIterated  runs timed steps (an animation) on the bar's thread;
//   CMorphed   moves and sizes the window to a target rectangle, eased;
//   CDragged   drags the window with the pen or the mouse, stopping at the
//              desktop's edges and noting which edges it met;
//   CVexaBar   buttons, layout, sliding out to an edge and back (auto-hide),
//              keep-on-top, placement, the position filter (positions of
//              20000 and more are parked windows and never stored);
//   CBaseBar   the window itself, its tooltip control and its ink client.
//
// A bar class derives from CBaseBar<Bar> and supplies its buttons, layout,
// frame, commands (onButton) and settings. Everything runs on the UI thread.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "ink/LocalClient.h"
#include "ui/bars/BarGeometry.h"
#include "ui/draw/DrawOps.h"
#include "win/Window.h"

// Window class of the floating bars.
#define FLOATING_BAR_CLASS L"ScribixFloatingBarWndClass"

// The colour that shows the window below.
constexpr COLORREF kBarTransparentColour = RGB(100, 101, 102);  // 0x666564

// Window commands of a floating bar (WM_COMMAND ids).
enum FloatingBarCommand : UINT {
    BAR_CMD_MAKE_VERTICAL = 1001,
    BAR_CMD_MAKE_HORIZONTAL = 1002,
    BAR_CMD_KEEP_ON_TOP = 1003,
    BAR_CMD_REFRESH_BUTTONS = 1004,
    BAR_CMD_CHECK_POSITION = 1005,
};

// An ink manager event (wParam = event, lParam = argument) that reached the
// bar's client on another thread, handed to the bar's own thread.
constexpr UINT WM_BAR_CLIENT_EVENT = WM_APP + 0x41;

// Timers of a floating bar.
enum FloatingBarTimer : UINT_PTR {
    BAR_TIMER_AUTO_HIDE = 1001,
    BAR_TIMER_KEEP_ON_TOP = 1002,
};

// Layout modes ("layoutMode").
enum BarLayoutMode { LAYOUT_HORIZONTAL = 1, LAYOUT_VERTICAL = 2, LAYOUT_AUTOMATIC = 3 };
// Size modes ("sizeMode"): 1 small, 2 large, 3 follow the last input (large after touch).
enum BarSizeMode { SIZE_SMALL = 1, SIZE_LARGE = 2, SIZE_FOLLOW_INPUT = 3 };

// Positions at or beyond this are parked (hidden) windows.
constexpr int kParkedPosition = 20000;

// Bits of CDragged::edgeHits.
enum EdgeHit : unsigned { EDGE_LEFT = 1, EDGE_RIGHT = 2, EDGE_TOP = 4, EDGE_BOTTOM = 8 };

// Runs steps 0..steps-1 over `ms`, each when the clock says it is due. The
// animated window's own messages and the thread's paints are dispatched as
// it goes; the rest waits for its end (it may end the bar).
class CIterated {
  public:
    virtual ~CIterated() = default;
    // False when refused (already running). With `interruptible` the run stops
    // at the first waiting message for `interruptWindow` other than a paint.
    bool run(int mode, int steps, int ms, bool interruptible, bool* interrupted);
    bool running() const { return running_; }

  protected:
    virtual void iterationStep(int i) = 0;
    virtual HWND interruptWindow() const = 0;

  private:
    bool running_ = false;
};

// Animated moves of the window.
class CMorphed : public CIterated {
  public:
    // Refused without a rectangle, with ms < 1, while a morph runs, or when
    // the target is the window's rectangle.
    bool morphTo(const RECT* target, int ms);
    bool morphing() const { return morphing_; }
    // Step i of the morph: the rectangle (target - start) x (i + 1) / steps
    // of the way, the last step exactly the target.
    static RECT morphRect(const RECT& start, const RECT& target, int i, int steps);

  protected:
    virtual HWND morphWindow() const = 0;
    virtual void onMorphRect(const RECT&) {}
    void morphStep(int i);
    void iterationStep(int i) override { morphStep(i); }
    HWND interruptWindow() const override { return morphWindow(); }

    bool morphing_ = false;
    RECT morphStart_ = {};
    RECT morphTarget_ = {};
    RECT morphLast_ = {};
    int morphSteps_ = 0;
};

// Dragging with desktop edges.
class CDragged {
  public:
    CDragged();
    virtual ~CDragged() = default;

    // x, y in client coordinates of the bar (the grip point).
    virtual bool beginDrag(int x, int y);
    virtual void setDragAnchor(int x, int y);
    // Stores the window's top-left as the position; whether a drag ran.
    virtual bool endDrag();
    virtual void dragStep(int x, int y);
    // Reads the desktop again and keeps the bar at the same distance from
    // its nearer edges. False when the window rectangle cannot be read.
    bool acceptSystemParamsChanges();

    bool dragging() const { return dragging_; }
    unsigned edgeHits() const { return edgeHits_; }
    int dragDistance() const { return dragDistance_; }
    const RECT& desktop() const { return desktop_; }

  protected:
    virtual HWND dragWindow() const = 0;
    virtual void storePosition(int x, int y) = 0;

    bool dragging_ = false;
    POINT dragStart_ = {};  // the reference (grip) point
    RECT desktop_ = {};
    unsigned edgeHits_ = 0;
    int dragDistance_ = 0;
    DWORD dragStartTick_ = 0;
    POINT dragStartCursor_ = {};
};

// One image button of a floating bar.
struct BarButton {
    enum Flag : unsigned {
        TOGGLE = 0x1,
        TOGGLED_ON = 0x2,
        HOVER = 0x4,
        PRESSED = 0x8,
        DISABLED = 0x10,
        HIDDEN = 0x20,
        TO_OWNER = 0x40,  // the command goes to the bar's owner
        CENTRED = 0x80,   // centred across the bar
    };
    UINT id = 0;
    RECT rect = {};
    unsigned flags = 0;
    int tipStringId = 0;
    PngImage image;  // six state pictures side by side
    bool hasImage = false;
    bool tipAdded = false;  // registered with the bar's tooltip control

    int width() const;
    int height() const;
    // The state picture shown: 0 normal, 1 hover, 2 on or pressed, 3 hover and on, 4 disabled.
    int pictureIndex() const;
    void paint(HDC dc) const;
};

// The background frame: an image whose inner rectangle holds the buttons; its
// margins are stretched (corners kept) to any outer size.
struct BarFrame {
    PngImage image;
    RECT inner = {};    // in the image
    RECT margins = {};  // drawn margins: left, top, right, bottom
    bool present() const { return image.loaded(); }
    void paint(HDC dc, const RECT& outer) const;
};

class CVexaBar;
class Tips;

// The ink client of a floating bar: it forwards the manager's events to the
// bar. The manager calls it on whichever thread raises an event (a result
// from the recognition thread, a pen change from the pen-event thread): an
// event from a thread other than the bar's is posted to the bar's window and
// handled there, so the bar, its buttons and its window are only ever used on
// their own thread. The ink manager deletes its registered clients at
// shut-down; a bar's client then deletes its bar.
class FloatingBarClient : public LocalVexaBarClient {
    VEXA_CLASS(FloatingBarClient, LocalVexaBarClient)

  public:
    FloatingBarClient(const wchar_t* name, CVexaBar* bar);
    ~FloatingBarClient() override;
    // The bar goes first: the client no longer reaches it.
    void detachBar() { bar_ = nullptr; }
    int onNotify(int event, LPARAM argument) override;
    // The bar's window, on its own thread (which becomes the bar's thread).
    void setWindow(HWND window);
    // The event as the base client handles it.
    int baseNotify(int event, LPARAM argument) {
        return LocalVexaBarClient::onNotify(event, argument);
    }

  private:
    CVexaBar* bar_;
    HWND window_ = nullptr;
    DWORD barThread_ = 0;
};

class CVexaBar : public CDragged, public CMorphed, public win::Window {
  public:
    CVexaBar(const wchar_t* clientName, DWORD style, DWORD exStyle);
    ~CVexaBar() override;

    // --- operations a bar class supplies or refines ---
    virtual void onInputType();
    virtual void keepOnTop();
    virtual void paint(HDC dc);
    virtual void onButton(BarButton* button) {}
    virtual void refreshButtons() {}
    virtual void layoutButtons(int size) {}
    virtual bool calcBarSize(bool vertical, SIZE* size);
    virtual bool frameInnerRect(SIZE outer, RECT* inner);
    virtual bool frameOuterSize(SIZE client, SIZE* outer);
    virtual void arrangeButtons(const RECT& rect);
    virtual void removeAllButtons();
    virtual void slideIn(int ms);
    virtual void slideOut(int ms);
    virtual bool onTimer(UINT_PTR id);
    // The right button was released over the bar (client point).
    virtual void onContextMenu(POINT point) {}
    // Events of the ink manager; the default passes them to the base client.
    virtual int onClientNotify(int event, LPARAM argument);
    // A gesture (identifier 3 zoom, 4 pan, 5 rotate, 7 press-and-tap); true when handled.
    virtual bool onGesture(DWORD id, DWORD flags, POINT point, ULONGLONG arguments) {
        return false;
    }
    // The bar's orientation flips (1001 vertical, 1002 horizontal); a bar class relays.
    virtual void onOrientation(bool vertical);

    // --- the window ---
    // Creates the window owned by `owner` and runs onCreate. False on failure.
    bool createBar(HWND owner);
    // The bar's size from calcBarSize, buttons arranged, window moved to the position.
    void relayout();
    // Places the bar at `rect` (its size from calcBarSize), choosing the
    // orientation by the edges it touches when the layout is automatic.
    void placeAt(const RECT& rect, bool snap);
    // The asynchronous position check (1005).
    void checkPosition();
    // Reloads the layout state (timer, desktop, strips): display settings changed.
    void reloadLayoutState();
    void showAtStart(POINT point);
    void hideBar();

    BarButton* addButton(UINT id, const wchar_t* imageName, int tipStringId, unsigned flags);
    BarButton* buttonAt(POINT client);
    BarButton* findButton(UINT id);
    int buttonCount() const { return static_cast<int>(buttons_.size()); }
    BarButton* button(int i) { return i >= 0 && i < buttonCount() ? buttons_[i] : nullptr; }

    POINT position() const { return position_; }
    void setPosition(POINT p) { position_ = p; }
    bool vertical() const { return vertical_; }
    bool slidOut() const { return slidOut_; }
    int sizeMode() const { return sizeMode_; }
    bool inputIsTouch() const { return inputIsTouch_; }
    int layoutMode() const { return layoutMode_; }
    bool autoHide() const { return autoHide_; }
    FloatingBarClient* client() const { return client_; }
    HWND tooltip() const { return tooltip_; }
    // The bar's second tooltip object: the program's own tip window, made on
    // the first tip, for texts the tooltip control cannot show (it only shows
    // a button's string under the mouse). Null until then.
    Tips* tips() const { return tips_; }
    // Shows `text` at (x, y) in the bar's client area for 5000 ms, tagged
    // `tag`; unless forced, nothing happens while the same tag is on show.
    // Nothing with no text, while a drag or an animation runs, or while the
    // bar is hidden or parked. True when the tip was shown.
    bool showTip(int x, int y, const wchar_t* text, UINT_PTR tag, bool force = false);
    // A button's tip under the button, tagged with the button.
    bool showButtonTip(const BarButton* button, bool force = false);
    // Hides the tip, when there is one; with `reset` the tag is forgotten.
    void hideTip(bool reset);
    SIZE penStrip() const { return penStrip_; }
    SIZE touchStrip() const { return touchStrip_; }
    bool shown() const { return shown_; }
    // The client was deleted (by the ink manager): the bar goes with it.
    void forgetClient() { client_ = nullptr; }

    // The window under the cursor is this bar (or one of its children).
    bool cursorOverBar() const;

    static LRESULT CALLBACK barWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static bool registerBarClass(HINSTANCE instance);

  protected:
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    HWND dragWindow() const override { return hwnd(); }
    HWND morphWindow() const override { return hwnd(); }
    void storePosition(int x, int y) override;
    virtual void onCreate();

    void startAutoHideTimer();
    // The size the setting asks for now: large after touch input when the
    // size follows the input, large or small when it is fixed.
    bool largeForSetting() const;
    // The background frame from `image`, with the margins of the size.
    void useFrame(const wchar_t* image, bool large);
    // Sets a button's disabled and toggled-on flags; the button is redrawn
    // only when either changed.
    void setButtonState(BarButton* button, bool disabled, bool on);
    void onMouseDown(POINT client);
    void onMouseMove(POINT client, bool nonClient);
    void onMouseUp(POINT client);
    void onHover(POINT client, bool leave);
    void relayToTooltip(UINT message, WPARAM wParam, LPARAM lParam);
    void flipOrientation(bool vertical);

    std::vector<BarButton*> buttons_;
    CRITICAL_SECTION buttonsLock_;
    int sizeMode_ = 0;  // 0 small, 1 large
    int sizeModeSetting_ = SIZE_FOLLOW_INPUT;
    bool inputIsTouch_ = false;
    bool autoHide_ = false;
    int layoutMode_ = LAYOUT_AUTOMATIC;
    bool vertical_ = false;
    POINT position_ = {0, 0};
    DWORD lastKeepOnTopTick_ = 0;
    int slideInMs_ = 300;
    int slideOutMs_ = 800;
    bool slidOut_ = false;
    unsigned moveMode_ = 0;
    Tips* tips_ = nullptr;  // the second tooltip object, made on the first tip
    SIZE penStrip_ = {};
    SIZE touchStrip_ = {};
    BarFrame frame_;
    HWND tooltip_ = nullptr;
    FloatingBarClient* client_ = nullptr;
    bool shown_ = false;
    DWORD style_;
    DWORD exStyle_;
    int clickMaxDistance_ = 15;
    // The press that may become a click.
    UINT pressedButton_ = 0;
    POINT pressPosition_ = {};
    bool mouseDown_ = false;
    bool tracking_ = false;
    // False once the bar is deleted: a button's command may run a loop of its
    // own (the punctuation bar), inside which the program can be closed and
    // the bar deleted with the ink manager's clients.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// Window traits of the floating bars.
struct FloatingBarTraits {
    static constexpr DWORD style = WS_POPUP;
    // no-activate, layered, tool window, topmost
    static constexpr DWORD exStyle = 0x08080088;
};

// The template a bar class derives from: `Bar` is the bar class itself.
template <typename Bar, typename Traits = FloatingBarTraits>
class CBaseBar : public CVexaBar {
  public:
    explicit CBaseBar(const wchar_t* clientName)
        : CVexaBar(clientName, Traits::style, Traits::exStyle) {}
    Bar* self() { return static_cast<Bar*>(this); }
};
