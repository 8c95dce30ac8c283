#include "shell/BindShow.h"

#include <vector>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "ink/AppsFilter.h"
#include "ink/Ramka.h"
#include "recognition/LanguageTables.h"
#include "recognition/ProfileChooser.h"
#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "shell/Stickers.h"
#include "ui/tips/Tips.h"
#include "win/ScopedLock.h"
#include "win/UiThread.h"

namespace {

constexpr COLORREF kRed = 255;
constexpr COLORREF kGreen = 65280;
constexpr COLORREF kYellow = 61680;
constexpr int kStickerFlags = 11;    // a bound or writable field
constexpr int kOtherFieldFlags = 9;  // a bound field the focus does not match
constexpr int kMaxClassName = 256;

bool sameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

bool endsWithProgramName(const wchar_t* module) {
    static const wchar_t kName[] = L"scribix.exe";
    const size_t n = module ? wcslen(module) : 0;
    return n >= 11 && CompareStringOrdinal(module + n - 11, 11, kName, 11, TRUE) == CSTR_EQUAL;
}

void postShowStickers() {
    if (HWND service = getServiceWindow()) PostMessageW(service, WM_INK_SHOW_STICKERS, 0, 0);
}

// A window made with its class's name starting "AVL_" paints its children
// only after a resize; a one-pixel nudge makes it draw the fields we mark.
void nudgeWindow(HWND window, const RECT& r) {
    const int width = r.right - r.left, height = r.bottom - r.top;
    MoveWindow(window, r.left, r.top, width - 1, height, FALSE);
    MoveWindow(window, r.left, r.top, width, height, TRUE);
}

}  // namespace

// Frames are deleted wherever the sticker set lets them go, the binding
// thread among them; their windows belong to the UI thread, which may be
// painting one: the frame window goes on its own thread, then its object.
CBindFrame::~CBindFrame() { CRamka::release(ramka_); }

void CBindFrame::show() {
    owner_.check("show");
    if (!ramka_) {
        owner_.adopt();
        ramka_ = new CRamka(&rect_, colour_, style_);
    }
    ramka_->show(&rect_);
}

bool CBindFrame::equals(const CStickerFrame& other) const {
    if (!other.isKindOf(L"CBindFrame")) return false;
    const auto& o = static_cast<const CBindFrame&>(other);
    return sameRect(rect_, o.rect_) && colour_ == o.colour_ && style_ == o.style_;
}

CBindFrame* makeBindFrame(const RECT& rect, COLORREF colour, int style) {
    return new CBindFrame(rect, colour, style);
}

bool CBindShow::Seen::operator==(const Seen& o) const {
    return focus == o.focus && foreground == o.foreground &&
           sameRect(foregroundRect, o.foregroundRect) && listed == o.listed &&
           allowIfCaret == o.allowIfCaret && found == o.found && role == o.role &&
           layout == o.layout && sameRect(elementRect, o.elementRect);
}

CBindShow::CBindShow(DWORD periodMs, bool startThread) : period_(periodMs) {
    InitializeCriticalSection(&lock_);
    event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (startThread) thread_ = CreateThread(nullptr, 0, BindShowThreadProc, this, 0, &threadId_);
}

CBindShow::~CBindShow() {
    if (thread_) CloseHandle(thread_);
    if (event_) CloseHandle(event_);
    DeleteCriticalSection(&lock_);
}

void CBindShow::wake() {
    {
        win::ScopedLock lock(lock_);
        updateRequested_ = true;
    }
    SetEvent(event_);
}

void CBindShow::stop() {
    const bool threadless = thread_ == nullptr;
    {
        win::ScopedLock lock(lock_);
        updateRequested_ = true;
        quit_ = true;
    }
    SetEvent(event_);
    if (threadless) delete this;
}

bool CBindShow::updateRequested() {
    win::ScopedLock lock(lock_);
    return updateRequested_;
}

DWORD WINAPI CBindShow::BindShowThreadProc(void* self) {
    static_cast<CBindShow*>(self)->run();
    return 0;
}

void CBindShow::run() {
    win::nameThisThread(L"BindShowThread");
    CoInitialize(nullptr);
    for (;;) {
        DWORD wait;
        {
            win::ScopedLock lock(lock_);
            if (quit_) break;
            wait = updateRequested_ ? INFINITE : period_;
        }
        const bool signalled = WaitForSingleObject(event_, wait) == WAIT_OBJECT_0;
        bool pass = false;
        {
            win::ScopedLock lock(lock_);
            if (quit_) break;
            if (!updateRequested_ || signalled) {
                updateRequested_ = false;
                pass = true;
            }
        }
        if (pass) UpdateBindShow(signalled);
    }
    CoUninitialize();
    delete this;
}

void CBindShow::UpdateBindShow(bool woken) {
    HookLibrary& hooks = hookLibrary();
    const GeneralSettings& settings = generalSettings();
    CStickers& global = stickers();
    // The hook library's buffer changes with the foreground: one copy per pass.
    const wchar_t* named = hooks.getTargetModuleName();
    const std::wstring module = named ? named : L"";
    const wchar_t* modulePath = named ? module.c_str() : nullptr;
    HWND focus = hooks.getLastFocusWindow();

    // 1. Our own window in front: nothing to mark.
    if (endsWithProgramName(modulePath)) {
        seen_.focus = nullptr;
        global.clear();
        return;
    }
    // 2, 3. The filter and the foreground window.
    Seen now;
    now.focus = focus;
    if (settings.useAppFilters && modulePath)
        now.listed = appsFilter().findApp(modulePath, &now.allowIfCaret);
    now.foreground = hooks.getLastForegroundWindow();
    if (!now.foreground || !GetWindowRect(now.foreground, &now.foregroundRect))
        SetRectEmpty(&now.foregroundRect);

    // 4. A listed application takes no writing: one mark over its window.
    if (now.listed && (!now.allowIfCaret || !settings.useContextReco)) {
        if (!woken && now.focus == seen_.focus && now.foreground == seen_.foreground &&
            sameRect(now.foregroundRect, seen_.foregroundRect) && now.listed == seen_.listed &&
            now.allowIfCaret == seen_.allowIfCaret)
            return;
        seen_ = now;
        if (now.foreground) {
            const RECT& r = now.foregroundRect;
            global.clear();
            global.addSticker((r.left + r.right) / 2, (r.top + r.bottom) / 2, kStickerFlags, 0,
                              L"No Writing", nullptr);
            global.addFrame(makeBindFrame(r, kRed, now.allowIfCaret ? 1 : 2));
            postShowStickers();
        }
        return;
    }

    // 5.
    if (now.focus && now.foreground) {
        wchar_t cls[kMaxClassName + 1] = {};
        GetClassNameW(now.foreground, cls, kMaxClassName + 1);
        if (wcsncmp(cls, L"AVL_", 4) == 0) nudgeWindow(now.foreground, now.foregroundRect);
    }

    // 6, 7. The focused element and whether it takes writing.
    CAccElem element;
    LONG state = 0;
    bool rectKnown = false;
    SetRectEmpty(&now.elementRect);
    if (settings.useContextReco && now.focus &&
        CProfileChooser::focusedElementOf(now.focus, element)) {
        now.found = true;
        now.role = element.getRole();
        rectKnown = element.getLocation(&now.elementRect, true);
        if (!rectKnown) SetRectEmpty(&now.elementRect);
        state = element.getState();
    }
    const bool textRole = now.role == kRoleText || now.role == kRoleClient ||
                          now.role == kRoleComboBox || now.role == kRoleDocument;
    const bool writable = rectKnown && textRole && (state & kBindStateFocusable) &&
                          !(state & (kStateReadOnly | kBindStateInvisible));

    // 8. Menus come and go over the field: they change nothing.
    if (now.role == kBindRoleMenuPopup || now.role == kBindRoleMenuItem ||
        now.role == kBindRoleSeparator)
        return;
    now.layout = hooks.askLastFocusKeyboardLayout();
    if (!woken && now == seen_) return;
    seen_ = now;

    // 9. Build the marks.
    const bool useGlobal = woken || !global.hasStickers();
    CStickers temporary;
    CStickers& target = useGlobal ? global : temporary;
    target.clear();
    if (now.listed && now.allowIfCaret && now.foreground)
        target.addFrame(makeBindFrame(now.foregroundRect, kRed, 1));
    BindClassification classified;
    if (now.found && ClassifyBindContext(element, classified))
        showFieldBinding(target, useGlobal, now.focus, classified, module, now.elementRect,
                         writable, now.layout);

    // 10, 11.
    if (!updateRequested() && !useGlobal) global.mergeFrom(temporary);
    if (updateRequested()) {
        global.clear();
        return;
    }
    if (!global.hasStickers() && now.foreground) {
        RECT r = now.foregroundRect;
        InflateRect(&r, -3, -3);
        global.addSticker(r.left, r.top, kStickerFlags, 0, L"Writing Ok", nullptr);
        global.addFrame(makeBindFrame(r, kRed, 0));
    }
    if (global.hasStickers()) postShowStickers();
}

void CBindShow::showFieldBinding(CStickers& target, bool useGlobal, HWND focus,
                                 const BindClassification& classified,
                                 const std::wstring& modulePath, const RECT& elementRect,
                                 bool writable, HKL layout) {
    if (updateRequested()) return;
    std::wstring language;
    getLanguageName(reinterpret_cast<UINT_PTR>(layout), language, true);
    const std::wstring module = bindModuleKey(moduleFileName(modulePath));

    if (!IsRectEmpty(&elementRect) && writable) {
        std::wstring label;
        if (!getRecMgr().profileChooser().findBoundProfileChecked(focus, label))
            label = L"<default>";
        target.addFrame(makeBindFrame(elementRect, kGreen, 0));
        target.addSticker(
            elementRect.left, elementRect.top, kStickerFlags, 0, label.c_str(),
            new CBindingInfo(module, classified.type, classified.doc, classified.candidate));
        if (useGlobal && !updateRequested()) postShowStickers();
    }

    CBindContext context;
    if (!getRecMgr().profileChooser().copyContext(module, classified.type, classified.doc, context))
        return;
    std::vector<BoundField> fields;
    findBoundFields(context, classified.top, fields, [this] { return updateRequested(); });
    // The profiles the pen would use are the current module's, whatever the
    // keyboard's language: a bound profile missing there is marked so.
    RecModule* recModule = getRecMgr().getCurrentModule();
    for (const BoundField& field : fields) {
        if (updateRequested()) return;
        RECT overlap;
        if (IntersectRect(&overlap, &field.rect, &elementRect)) continue;
        std::wstring label = field.record.profile;
        bool known = false;
        if (recModule) {
            RecModule::ProfileLock lock = recModule->lockProfiles();
            known = recModule->findProfile(label.c_str()) != nullptr;
        }
        if (!known) {
            wchar_t text[300];
            _snwprintf(text, 300, L"%ls (not found in %.2ls)", label.c_str(), language.c_str());
            text[299] = L'\0';
            label = text;
        }
        const bool matchesFocus = field.record.matches(classified.candidate);
        target.addSticker(field.rect.left, field.rect.top,
                          matchesFocus ? kStickerFlags : kOtherFieldFlags, 0, label.c_str(),
                          new CBindingInfo(module, classified.type, classified.doc, field.record));
        target.addFrame(makeBindFrame(field.rect, matchesFocus ? kGreen : kYellow, 0));
    }
}

namespace {
CBindShow* g_bindShow = nullptr;
}

void startBindShow(DWORD periodMs) {
    if (!g_bindShow) g_bindShow = new CBindShow(periodMs);
}

void wakeBindShow() {
    if (g_bindShow) g_bindShow->wake();
}

bool stopBindShow(DWORD waitMs) {
    if (!g_bindShow) return true;
    HANDLE thread = nullptr;
    if (waitMs && g_bindShow->threadHandle())
        DuplicateHandle(GetCurrentProcess(), g_bindShow->threadHandle(), GetCurrentProcess(),
                        &thread, SYNCHRONIZE, FALSE, 0);
    g_bindShow->stop();
    g_bindShow = nullptr;
    if (!thread) return true;
    const bool ended = WaitForSingleObject(thread, waitMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return ended;
}

bool bindShowRunning() { return g_bindShow != nullptr; }

bool bindShowUpdatePending() { return g_bindShow && g_bindShow->updateRequested(); }

CBindingInfo* copyStickerBindingInfo(HWND tipWindow) {
    CBindingInfo* copy = nullptr;
    if (!tipWindow) return nullptr;
    stickers().forEach([&](CSticker& s) {
        if (copy || !s.tip() || s.tip()->window() != tipWindow) return;
        if (const auto* info = dynamic_cast<const CBindingInfo*>(s.owned())) copy = info->clone();
    });
    return copy;
}
