// Small input simulations: clicks on threads of their own (a pen contact the
// hook library hands back as a mouse action), a cursor shake, left-button
// clicks by SendInput, and the modifier-key watch of the screen clipping.
// Every emulated input carries an extra-information marker so that the hook
// library knows it for the program's own.
#pragma once

#include <windows.h>

// Markers of emulated mouse input.
constexpr ULONG_PTR kMouseDownMarker = 0x6F855;   // 456789: the pen thread's and a down
constexpr ULONG_PTR kMouseUpMarker = 0x6F854;     // an up
constexpr ULONG_PTR kMouseOtherMarker = 0x5464E;  // 345678
constexpr ULONG_PTR kShakeReleaseMarker = 0xFF515780;

// Work on a thread of its own, which deletes the object when done.
class SelfDeletingWorker {
  public:
    virtual ~SelfDeletingWorker() = default;
    // Starts the thread; false (and the object deleted) when it cannot start.
    bool start();

  protected:
    // The thread's result.
    virtual DWORD work() = 0;

  private:
    static DWORD WINAPI run(void* self);
};

// A left-button action at (x, y) (screen pixels) on a thread of its own that
// deletes the object when done. With `release` the button goes down and up at
// (x, y); without, it goes down, the cursor moves on to the restore point and
// the button is left to the pen.
class CMouseEventsGenerator : public SelfDeletingWorker {
  public:
    CMouseEventsGenerator(int x, int y, int restoreX, int restoreY, bool release,
                          ULONG_PTR downMarker, ULONG_PTR upMarker);

  private:
    DWORD work() override;

    int x_, y_, restoreX_, restoreY_;
    bool release_;
    ULONG_PTR downMarker_, upMarker_;
};

void startMouseEventsGenerator(int x, int y, int restoreX, int restoreY, bool release,
                               ULONG_PTR downMarker, ULONG_PTR upMarker);

// Moves the mouse by (+delta, +delta) and back every `stepMs` until
// `durationMs` have passed, on a thread of its own that deletes the object.
class CMouseShaker : public SelfDeletingWorker {
  public:
    CMouseShaker(int stepMs, int durationMs, int delta, ULONG_PTR marker);
    // The owner stops the shake early by setting the duration to 0.
    void setDuration(int durationMs) { duration_ = durationMs; }

  private:
    // -1 without a step, else 0.
    DWORD work() override;

    int step_;
    volatile LONG duration_;
    int delta_;
    ULONG_PTR marker_;
};

// The longest shake; a longer duration is cut to it.
constexpr int kLongestShakeMs = 2000;

// A left-button up (marker 0xFF515780), then the shaker's thread. One shake
// at a time: while one runs, another is not started (false).
bool startMouseShaker(int stepMs, int durationMs, int delta, ULONG_PTR marker);
// True while a shake started here runs.
bool mouseShakerRunning();

// One mouse input by SendInput with `marker` as its extra information.
void sendMouse(DWORD flags, LONG dx, LONG dy, ULONG_PTR marker);

// A left click (down, up) at the cursor.
void sendMouseClick();
// A left-button up at the cursor.
void sendMouseLeftUp();

// Ctrl 1, Shift 2, Alt 4, as GetKeyState sees them now.
int modifierKeyMask();
// When the modifier mask differs from `*lastMask`, calls `listener` (context,
// new mask, old mask) and keeps the new mask. The screen clipping control
// calls it on its timer.
void checkModifierKeys(int* lastMask, void (*listener)(void* context, int newMask, int oldMask),
                       void* context);

// The absolute SendInput coordinate (0..65535) of screen pixel `value` over
// `extent` pixels: the middle of the pixel, so it maps back to that pixel.
LONG absoluteMouseCoordinate(int value, int extent);
