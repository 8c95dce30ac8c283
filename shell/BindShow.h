// The binding thread: while the binding panel is open it follows the focused
// window and field of the other application and marks, with stickers and
// frames, whether the pen writes there and which profile is bound to the
// field and to the other bound fields of its context.
//
// The thread ("BindShowThread") wakes once per period or when the panel
// reports a changed binding, compares what it sees with what it saw last and
// only then rebuilds the marks: into a set of its own that is merged into the
// program's sticker set, so that unchanged marks stay on the screen. The
// service window shows the set when it is posted message 3041.
#pragma once

#include <windows.h>

#include <string>

#include "recognition/BindClassify.h"
#include "shell/Stickers.h"

class CRamka;

// A frame around a screen rectangle (red, green or yellow; style 0 plain, 1
// one diagonal, 2 both). Its window is made by the first show, on the thread
// that shows the sticker set (the UI thread), never on the binding thread.
// The frame may be deleted on any thread: its window is destroyed, and its
// window object freed, on the window's own thread.
class CBindFrame : public CStickerFrame {
    VEXA_CLASS(CBindFrame, CStickerFrame)

  public:
    CBindFrame(const RECT& rect, COLORREF colour, int style)
        : rect_(rect), colour_(colour), style_(style) {}
    ~CBindFrame() override;
    void show() override;
    bool equals(const CStickerFrame& other) const override;
    // Freeable on any thread (its window object goes to its own thread by
    // itself), so the sticker set never has to keep it for the owner.
    DWORD ownerThreadId() const override { return 0; }

    const RECT& rect() const { return rect_; }
    COLORREF colour() const { return colour_; }
    int style() const { return style_; }
    CRamka* ramka() const { return ramka_; }

  private:
    RECT rect_;
    COLORREF colour_;
    int style_;
    CRamka* ramka_ = nullptr;
    win::OwnerThread owner_{"sticker frame"};
};
CBindFrame* makeBindFrame(const RECT& rect, COLORREF colour, int style);

class CBindShow {
  public:
    // Starts the thread, which polls every `periodMs`. With `startThread`
    // false nothing runs until a caller drives UpdateBindShow itself (tests).
    explicit CBindShow(DWORD periodMs, bool startThread = true);
    CBindShow(const CBindShow&) = delete;
    CBindShow& operator=(const CBindShow&) = delete;

    // A binding changed: the next pass runs whatever it remembers, and a pass
    // under way stops at its next check.
    void wake();
    // Ends the thread, which then deletes this object: do not use it after.
    void stop();

    // One pass of the worker; `woken` when the event was signalled.
    void UpdateBindShow(bool woken);

    bool updateRequested();
    DWORD threadId() const { return threadId_; }
    HANDLE threadHandle() const { return thread_; }

    // Deleted by its own thread; tests that drive it without one delete it.
    ~CBindShow();

  private:
    static DWORD WINAPI BindShowThreadProc(void* self);
    void run();
    void showFieldBinding(CStickers& target, bool useGlobal, HWND focus,
                          const BindClassification& classified, const std::wstring& module,
                          const RECT& elementRect, bool writable, HKL layout);

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE event_ = nullptr;
    DWORD period_;
    CRITICAL_SECTION lock_;
    bool updateRequested_ = false;
    bool quit_ = false;

    // What the last pass saw.
    struct Seen {
        HWND focus = nullptr;
        HWND foreground = nullptr;
        RECT foregroundRect = {};
        bool listed = false;
        bool allowIfCaret = false;
        bool found = false;
        LONG role = 0;
        HKL layout = nullptr;
        RECT elementRect = {};
        bool operator==(const Seen& o) const;
    } seen_;
};

// The binding panel's thread, one at a time (UI thread): started when the
// panel opens, woken when a binding changes, stopped when it closes.
void startBindShow(DWORD periodMs);
void wakeBindShow();
// With `waitMs`, waits that long for the thread to end; false when it did not.
bool stopBindShow(DWORD waitMs = 0);
bool bindShowRunning();
// A wake is waiting for the thread's next pass.
bool bindShowUpdatePending();
// A copy of the binding snapshot of the sticker shown in `tipWindow`.
CBindingInfo* copyStickerBindingInfo(HWND tipWindow);
