// The splash window shown at start: on a thread of its own it grows to its
// bitmap, stays for its showing time, then waits (up to its life time) for the
// start-up to finish, and closes.
#pragma once

#include <windows.h>

#include "Morph.h"
#include "win/UiThread.h"
#include "win/Window.h"

// The object is made and freed by the UI thread (its creator); its window is
// made, moved and destroyed by the splash's own thread, which owns it, and the
// object is freed only after that thread (and with it the window) has ended.
class CSplashWnd : public win::Window, public CMorphed<CSplashWnd>, public win::UiThread {
  public:
    // Loads the bitmap and starts the splash thread.
    CSplashWnd(HWND owner, int x, int y, UINT bitmapId, int morphMs, int showingMs, int lifeMs);
    // Cuts the waits short, closes the window and waits for the thread.
    ~CSplashWnd() override;

    using win::Window::hwnd;
    // The bitmap's rectangle centred on the centre point.
    RECT targetRect() const;
    // Ends the showing and life waits at once.
    void cancel();
    // Set once the splash has ended (its window is closing).
    bool ended() const;
    // Waits until the splash has ended, answering messages sent to this thread meanwhile.
    void waitUntilEnded();

  protected:
    bool onStart() override;
    void onEnd() override;
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    void work();
    void paint(HDC dc);
    void markEnded();

    HWND owner_;
    POINT centre_;
    int morphMs_, showingMs_, lifeMs_;
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    SIZE size_ = {0, 0};
    HANDLE cancel_ = nullptr;  // manual-reset: end the waits
    HANDLE ended_ = nullptr;   // manual-reset: the splash has ended
    win::OwnerThread creator_{"splash"};
};

// The program's splash (started by startInkService when "showIntroScreen" is set).
bool startSplash(HWND owner, int x, int y, UINT bitmapId, int morphMs, int showingMs, int lifeMs);
// True when no splash runs or it has ended.
bool splashEnded();
// Waits until the running splash has ended (deferred start-up).
void waitForSplash();
// Ends the splash now (shut-down): marks it ended, asks the desktop to repaint
// where it stood, and waits for its thread.
void endSplash();

// The version text "4.0.42.<vendor>" (the root setting "Vendor", "ps" when
// missing) written into `buffer` of at least 160 characters; returns `buffer`.
wchar_t* getVersionText(wchar_t* buffer);
