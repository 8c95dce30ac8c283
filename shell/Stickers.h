// Stickers: short text labels shown as tips at screen points (the profile in
// use, "No Writing", "Writing Ok"), kept with their frame windows in one
// lock-guarded global set that the UI thread and worker threads share.
//
// A sticker or a frame belongs to the thread that made its window (the one
// that showed it, the UI thread in the program): it is freed there, after its
// window. What another thread takes out of a set (clear, a replaced sticker,
// a merge) is put away for the owner thread and the service window is asked
// to free it; the owner frees its own at its next use of the set too.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "core/Deletable.h"
#include "win/Checks.h"
#include "win/ScopedLock.h"

class Tips;

// A frame drawn around a window rectangle (made by the ink layer's frame windows).
class CStickerFrame : public CDeletableByPtr {
    VEXA_CLASS(CStickerFrame, CDeletableByPtr)

  public:
    virtual void show() = 0;
    // The same mark: a set rebuilt with it keeps the old one on the screen.
    virtual bool equals(const CStickerFrame& other) const { return false; }
    // The thread that made the frame's window (0 before it has one): the one
    // that frees the frame.
    virtual DWORD ownerThreadId() const { return 0; }
};

class CSticker {
  public:
    CSticker(int x, int y, int flags, int parameter, const wchar_t* text, CDeletableByPtr* owned);
    ~CSticker();
    CSticker(const CSticker&) = delete;
    CSticker& operator=(const CSticker&) = delete;

    // Shows the text at the sticker's point for `parameter` milliseconds; the tip
    // window is made on first use (on the calling thread, owned by the service
    // window), and that thread owns the sticker from then on.
    void show();
    // The thread that made the tip window (0 before the first show).
    DWORD ownerThreadId() const { return owner_.id(); }

    int flags() const { return flags_; }
    int x() const { return x_; }
    int y() const { return y_; }
    int parameter() const { return parameter_; }
    const std::wstring& text() const { return text_; }
    Tips* tip() const { return tip_; }
    const CDeletableByPtr* owned() const { return owned_; }
    // Flags, point, parameter and text equal, and the attached objects both
    // missing or both binding snapshots that are equal.
    bool equals(const CSticker& other) const;

  private:
    int flags_, x_, y_, parameter_;
    std::wstring text_;
    Tips* tip_ = nullptr;
    CDeletableByPtr* owned_;
    win::OwnerThread owner_{"sticker"};
};

class CStickers {
  public:
    CStickers();
    ~CStickers();
    CStickers(const CStickers&) = delete;
    CStickers& operator=(const CStickers&) = delete;

    // Appends a sticker; with a text, one at the same point with the same flags goes first.
    void addSticker(int x, int y, int flags, int parameter, const wchar_t* text,
                    CDeletableByPtr* owned);
    void addFrame(CStickerFrame* frame);
    void showAll();
    void clear();
    bool hasStickers();
    size_t stickerCount();
    size_t frameCount();
    // Takes over the marks of `fresh` without flicker: what both sets hold
    // stays as it is here, what only this set holds is deleted, what only
    // `fresh` holds moves over. `fresh` is left empty.
    void mergeFrom(CStickers& fresh);
    template <typename F>
    void forEachFrame(F visit) {
        win::ScopedLock lock(lock_);
        for (CStickerFrame* f : frames_) visit(*f);
    }
    // Calls `visit` for each sticker under the lock.
    template <typename F>
    void forEach(F visit) {
        win::ScopedLock lock(lock_);
        for (CSticker* s : stickers_) visit(*s);
    }
    // Frees what was put away for the calling thread (see above).
    void freeOwnLeftovers();
    // Stickers and frames put away for their owner threads, not freed yet.
    size_t leftoverCount();

  private:
    // Frees what the calling thread may free (never shown, or shown by it) and
    // puts the rest away for their owners.
    void dispose(std::vector<CSticker*>& stickers, std::vector<CStickerFrame*>& frames);

    std::vector<CSticker*> stickers_;
    std::vector<CStickerFrame*> frames_;
    std::vector<CSticker*> leftStickers_;
    std::vector<CStickerFrame*> leftFrames_;
    CRITICAL_SECTION lock_;
};

// The program's sticker set.
CStickers& stickers();

// Replaces all stickers by one (flags 5) at `point`, or at the cursor when
// null, showing `text` for `parameter` ms, and has the service window show it.
// False when no point is given and the cursor cannot be read.
bool showSingleSticker(const wchar_t* text, int parameter, const POINT* point);
