// The ink blot: a small picture drawn straight onto the screen at the caret of
// the target field. Strokes that start on it are flicks: right types a space,
// left takes the last insertion back, up opens the punctuation bar, a tap
// opens the correction of the last result. It follows the caret and goes away
// after "maxShowTime" milliseconds.
#pragma once

#include <windows.h>

#include <memory>

#include "ink/LocalClient.h"

// What a stroke that began on the blot asks for.
enum class BlotGesture { Space, TakeBack, Punctuation, Correction };

// The first and last point of the stroke (quarter pixels, trailing separators
// ignored) against the blot's size in pixels: a horizontal move wider than
// the blot is a space (right) or a take-back (left); an upward move taller
// than the blot opens the punctuation bar; anything else, and fewer than two
// points, is a tap.
BlotGesture classifyBlotStroke(const InkPoint* points, int count, int blotWidth, int blotHeight);

// The blot lives on the thread that made it (the UI thread): its strokes
// arrive on the pen-event thread, which hands them over and waits for
// nothing; the flicks are read and carried out on the blot's own thread.
class InkBlotClient : public LocalClient {
    VEXA_CLASS(InkBlotClient, LocalClient)

  public:
    static constexpr int kDefaultMaxShowTime = 8000;
    static constexpr UINT kFollowMs = 1000;
    static constexpr UINT kAfterOutputMs = 500;

    InkBlotClient();
    ~InkBlotClient() override;

    int onNotify(int code, LPARAM argument) override;
    // Any thread: the stroke goes to the blot's thread.
    int onStrokes(InkPoint* points, int count) override;
    int claimsPoint(HWND window, int x, int y) override;

    // Shows the blot at `window`'s caret for `ms` (0: "maxShowTime"); true when shown.
    bool showBlot(HWND window, int ms);
    void hideBlot();
    // The follow-up step of the service timer.
    void onBlotTimer();

    bool visible() const { return record().enabled != 0; }
    RECT blotRect() const;
    int maxShowTime() const { return maxShowTime_; }

  private:
    class Relay;
    struct Stroke;
    // On the blot's thread: the flick of one stroke.
    void takeStroke(Stroke& stroke);
    void afterOutput();
    void checkOwner(const char* operation) const;
    void drawBlot();
    void loadSettings();
    void saveSettings();

    std::unique_ptr<Relay> relay_;  // the blot's window on its own thread
    HWND window_ = nullptr;
    HWND outputWindow_ = nullptr;  // where the last answer went, for the blot shown after it
    POINT at_ = {0, 0};
    SIZE size_ = {0, 0};
    int showTime_ = 0;
    DWORD startTick_ = 0;
    int maxShowTime_ = kDefaultMaxShowTime;
};

// The program's blot client (null before start-up made it).
InkBlotClient* inkBlotClient();
