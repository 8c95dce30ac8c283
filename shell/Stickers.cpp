#include "Stickers.h"

#include "core/AppGlobals.h"
#include "core/ServiceMessages.h"
#include "core/ServiceWork.h"
#include "recognition/Binding.h"
#include "ui/tips/Tips.h"
#include "win/ScopedLock.h"

CSticker::CSticker(int x, int y, int flags, int parameter, const wchar_t* text,
                   CDeletableByPtr* owned)
    : flags_(flags), x_(x), y_(y), parameter_(parameter), text_(text ? text : L""), owned_(owned) {}

CSticker::~CSticker() {
    owner_.check("deleted");
    if (tip_) {
        // The window goes first, on its own thread; then what it showed.
        HWND window = tip_->window();
        if (window && IsWindow(window) && owner_.isCurrent()) DestroyWindow(window);
        delete tip_;
    }
    delete owned_;
}

void CSticker::show() {
    owner_.check("show");
    if (!tip_) {
        owner_.adopt();
        tip_ = new Tips(getServiceWindow(), (flags_ >> 1) & 7, 12);
    }
    tip_->show(x_, y_, text_.c_str(), static_cast<UINT>(parameter_ > 0 ? parameter_ : 0),
               reinterpret_cast<UINT_PTR>(this), true, true);
}

bool CSticker::equals(const CSticker& o) const {
    if (flags_ != o.flags_ || x_ != o.x_ || y_ != o.y_ || parameter_ != o.parameter_ ||
        text_ != o.text_)
        return false;
    if (!owned_ || !o.owned_) return !owned_ && !o.owned_;
    // The program tells its classes by name, not by the compiler's type information.
    if (!owned_->isKindOf(L"CBindingInfo") || !o.owned_->isKindOf(L"CBindingInfo")) return false;
    return static_cast<const CBindingInfo*>(owned_)->equals(
        *static_cast<const CBindingInfo*>(o.owned_));
}

CStickers::CStickers() { InitializeCriticalSection(&lock_); }

CStickers::~CStickers() {
    clear();
    // At the end whatever is left goes, the owners' windows with their threads.
    for (CSticker* sticker : leftStickers_) delete sticker;
    for (CStickerFrame* frame : leftFrames_) delete frame;
    DeleteCriticalSection(&lock_);
}

namespace {

template <typename T>
bool freeableHere(const T* item) {
    const DWORD owner = item->ownerThreadId();
    return owner == 0 || owner == GetCurrentThreadId();
}

}  // namespace

void CStickers::dispose(std::vector<CSticker*>& stickers, std::vector<CStickerFrame*>& frames) {
    bool leftSome = false;
    {
        win::ScopedLock lock(lock_);
        for (auto it = stickers.begin(); it != stickers.end();) {
            if (freeableHere(*it)) {
                ++it;
                continue;
            }
            leftStickers_.push_back(*it);
            it = stickers.erase(it);
            leftSome = true;
        }
        for (auto it = frames.begin(); it != frames.end();) {
            if (freeableHere(*it)) {
                ++it;
                continue;
            }
            leftFrames_.push_back(*it);
            it = frames.erase(it);
            leftSome = true;
        }
    }
    for (CSticker* sticker : stickers) delete sticker;
    for (CStickerFrame* frame : frames) delete frame;
    stickers.clear();
    frames.clear();
    // The program's set is shown by the service window's thread: it frees them.
    if (leftSome && this == &::stickers())
        runOnServiceThread([] { ::stickers().freeOwnLeftovers(); });
}

void CStickers::freeOwnLeftovers() {
    std::vector<CSticker*> stickers;
    std::vector<CStickerFrame*> frames;
    {
        win::ScopedLock lock(lock_);
        if (leftStickers_.empty() && leftFrames_.empty()) return;
        for (auto it = leftStickers_.begin(); it != leftStickers_.end();) {
            if (!freeableHere(*it)) {
                ++it;
                continue;
            }
            stickers.push_back(*it);
            it = leftStickers_.erase(it);
        }
        for (auto it = leftFrames_.begin(); it != leftFrames_.end();) {
            if (!freeableHere(*it)) {
                ++it;
                continue;
            }
            frames.push_back(*it);
            it = leftFrames_.erase(it);
        }
    }
    for (CSticker* sticker : stickers) delete sticker;
    for (CStickerFrame* frame : frames) delete frame;
}

size_t CStickers::leftoverCount() {
    win::ScopedLock lock(lock_);
    return leftStickers_.size() + leftFrames_.size();
}

void CStickers::addSticker(int x, int y, int flags, int parameter, const wchar_t* text,
                           CDeletableByPtr* owned) {
    freeOwnLeftovers();
    auto* sticker = new CSticker(x, y, flags, parameter, text, owned);
    std::vector<CSticker*> replaced;
    std::vector<CStickerFrame*> none;
    {
        win::ScopedLock lock(lock_);
        if (text && *text) {
            for (auto it = stickers_.begin(); it != stickers_.end(); ++it) {
                CSticker* old = *it;
                if (old->x() == x && old->y() == y && old->flags() == flags) {
                    stickers_.erase(it);
                    replaced.push_back(old);
                    break;
                }
            }
        }
        stickers_.push_back(sticker);
    }
    dispose(replaced, none);
}

void CStickers::addFrame(CStickerFrame* frame) {
    if (!frame) return;
    freeOwnLeftovers();
    win::ScopedLock lock(lock_);
    frames_.push_back(frame);
}

void CStickers::showAll() {
    freeOwnLeftovers();
    win::ScopedLock lock(lock_);
    for (CStickerFrame* frame : frames_) frame->show();
    for (CSticker* sticker : stickers_) sticker->show();
}

void CStickers::clear() {
    freeOwnLeftovers();
    std::vector<CSticker*> stickers;
    std::vector<CStickerFrame*> frames;
    {
        win::ScopedLock lock(lock_);
        stickers.swap(stickers_);
        frames.swap(frames_);
    }
    dispose(stickers, frames);
}

bool CStickers::hasStickers() {
    win::ScopedLock lock(lock_);
    return !stickers_.empty() || !frames_.empty();
}

size_t CStickers::stickerCount() {
    win::ScopedLock lock(lock_);
    return stickers_.size();
}

size_t CStickers::frameCount() {
    win::ScopedLock lock(lock_);
    return frames_.size();
}

namespace {

// Keeps the items of `kept` that `fresh` holds too and appends those only
// `fresh` holds; returns what is to be deleted (outside the locks).
template <typename T>
std::vector<T*> mergeItems(std::vector<T*>& kept, std::vector<T*>& fresh) {
    std::vector<T*> gone, result;
    std::vector<bool> used(fresh.size(), false);
    for (T* item : kept) {
        bool found = false;
        for (size_t i = 0; i < fresh.size() && !found; ++i) {
            if (!used[i] && item->equals(*fresh[i])) found = used[i] = true;
        }
        (found ? result : gone).push_back(item);
    }
    for (size_t i = 0; i < fresh.size(); ++i) (used[i] ? gone : result).push_back(fresh[i]);
    fresh.clear();
    kept.swap(result);
    return gone;
}

}  // namespace

void CStickers::mergeFrom(CStickers& fresh) {
    if (&fresh == this) return;
    freeOwnLeftovers();
    std::vector<CSticker*> goneStickers;
    std::vector<CStickerFrame*> goneFrames;
    {
        win::ScopedLock lock(lock_);
        win::ScopedLock other(fresh.lock_);
        goneStickers = mergeItems(stickers_, fresh.stickers_);
        goneFrames = mergeItems(frames_, fresh.frames_);
    }
    dispose(goneStickers, goneFrames);
}

CStickers& stickers() {
    static CStickers set;
    return set;
}

bool showSingleSticker(const wchar_t* text, int parameter, const POINT* point) {
    POINT at;
    if (point) {
        at = *point;
    } else if (!GetCursorPos(&at)) {
        return false;
    }
    stickers().clear();
    stickers().addSticker(at.x, at.y, 5, parameter, text, nullptr);
    if (HWND service = getServiceWindow()) SendMessageW(service, WM_INK_SHOW_STICKERS, 0, 0);
    return true;
}
