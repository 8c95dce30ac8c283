// The screen clipping tool: a still snapshot over the whole screen with a
// cross-hair; a drag cuts out a rectangle, a click the window under it. The
// clip goes to the owner's callback. One tool at a time in the whole system
// (the mutex "ZVScreenCaptureMutex"); its window runs on a thread of its own.
#pragma once

#include <windows.h>

#include "win/Checks.h"

class CScreenCaptureCtrl;

// What the owner of a clipping tool is told. Called on the tool's thread.
class IScreenCaptureCallback {
  public:
    virtual void started(CScreenCaptureCtrl* control) = 0;
    // Called once as the tool ends: as its window is destroyed (after its
    // pictures are released), or when its thread gives up.
    virtual void cancelled(CScreenCaptureCtrl* control) = 0;
    // True when the callback handled the hot key itself.
    virtual bool hotKey(CScreenCaptureCtrl* control, int id, LPARAM lParam) = 0;
    // Shift = 2, Ctrl = 1, Alt = 4.
    virtual void modifiersChanged(CScreenCaptureCtrl* control, UINT mask, UINT previous) = 0;
    // The clip (the callback takes it by setting *clip to null) and its title
    // (null for a dragged rectangle).
    virtual void done(CScreenCaptureCtrl* control, HBITMAP* clip, const wchar_t* title) = 0;

  protected:
    ~IScreenCaptureCallback() = default;
};

#define SCREEN_CAPTURE_CLASS L"sxScreenCaptureCtrl"
#define SCREEN_CAPTURE_MUTEX L"ZVScreenCaptureMutex"

// The tool lives on a thread of its own, which owns its window and its
// pictures; the owner talks to it only through close() and the window's
// messages, and the callback is called on the tool's thread.
class CScreenCaptureCtrl {
  public:
    // Ends the tool for its owner: the callback is cut (no call starts after
    // this, and one in progress is waited for), the window is closed and the
    // tool's thread is waited for (at most kCloseWaitMs, answering messages
    // sent to the caller meanwhile); then the creator's reference goes. A
    // thread that does not end in time keeps the object alive for itself.
    void close();
    void addRef();
    void release();

    static constexpr DWORD kCloseWaitMs = 3000;

    HWND window() const { return window_; }
    DWORD threadId() const { return threadId_; }
    RECT area() const { return area_; }

    // The clipping area: the virtual screen, else the monitor nearest to
    // `owner`, else the primary screen.
    static RECT computeCaptureArea(HWND owner);

  private:
    friend CScreenCaptureCtrl* createScreenCaptureUnchecked(HWND owner,
                                                            IScreenCaptureCallback* callback);
    CScreenCaptureCtrl(HWND owner, IScreenCaptureCallback* callback);
    ~CScreenCaptureCtrl();
    bool start();

    static DWORD WINAPI captureThreadProc(void* self);
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The thread could not take the mutex or make its window: it ends, and
    // the owner hears "cancelled" so that the next tool can start.
    void giveUp();
    // The callback, under the lock that close() takes to cut it.
    void notifyStarted();
    void notifyCancelled();
    bool askHotKey(int id, LPARAM lParam);
    void notifyModifiers(UINT mask, UINT previous);

    void onCreate();
    void takeScreenSnapshot();
    void makeLinePictures();
    void paint(HDC dc);
    POINT clamp(LPARAM lParam) const;
    void drawCrossHair(HDC dc, POINT at);
    void restoreFromSnapshot(HDC dc, const RECT& r);
    void drawSelection(HDC dc, POINT at);
    void drawSizeLabel(HDC dc, POINT at);
    void onButtonDown(POINT at);
    void finishCapture(POINT at);
    void deliverClip(const wchar_t* title);
    void releasePictures();

    LONG references_ = 1;
    win::OwnerThread toolThread_{"screen clipping tool"};  // its window and pictures
    HWND owner_;
    CRITICAL_SECTION callbackLock_;
    IScreenCaptureCallback* callback_;  // null once the owner closed the tool
    HANDLE mutex_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    volatile LONG closing_ = 0;  // the owner closed the tool
    HWND window_ = nullptr;
    RECT area_ = {};

    HDC memoryDc_ = nullptr;  // pictures are selected into DCs of their own
    HBITMAP snapshot_ = nullptr;
    HDC snapshotDc_ = nullptr;
    HBITMAP shaded_ = nullptr;
    HDC shadedDc_ = nullptr;
    HBITMAP vertical_ = nullptr;
    HDC verticalDc_ = nullptr;
    HBITMAP horizontal_ = nullptr;
    HDC horizontalDc_ = nullptr;
    HBITMAP tip_ = nullptr;  // 32-bit premultiplied, drawn with AlphaBlend
    SIZE tipSize_ = {};

    RECT lastVertical_ = {}, lastHorizontal_ = {}, lastTip_ = {}, lastSelection_ = {},
         lastLabel_ = {};
    bool selectionDrawn_ = false;
    POINT anchor_ = {};
    POINT current_ = {};  // the corner the cursor holds while dragging
    RECT selection_ = {};
    bool dragging_ = false;
    UINT modifiers_ = 0;
    bool busy_ = false;

    HFONT font_ = nullptr;
    HBRUSH labelBrush_ = nullptr;
    HPEN labelPen_ = nullptr;
};

// A new clipping tool, or null while one exists (in this process or another).
CScreenCaptureCtrl* createScreenCapture(HWND owner, IScreenCaptureCallback* callback);
// The same without looking first for a tool that exists: only the wait of the
// tool's thread for the mutex decides, as when two tools start at one moment
// and neither finds the other yet. Null only when the tool cannot be made.
CScreenCaptureCtrl* createScreenCaptureUnchecked(HWND owner, IScreenCaptureCallback* callback);
