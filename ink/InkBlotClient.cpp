#include "InkBlotClient.h"

#include <cstdlib>
#include <cwchar>
#include <new>

#include "ink/KeyboardOutput.h"
#include "ink/LiveInk.h"
#include "ink/LocalInkManager.h"
#include "ink/RecResult.h"
#include "ink/SelectionCorrection.h"
#include "core/AppGlobals.h"
#include "core/MemoryBlocks.h"
#include "core/PendingServices.h"
#include "core/ShellLink.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"

namespace {

constexpr wchar_t kClientName[] = L"InnerBlotClient";
constexpr int kBitmapWithResult = 202;
constexpr int kBitmapWithoutResult = 203;
constexpr DWORD kAfterOutputMs = 500;

InkBlotClient* g_blot = nullptr;

HBITMAP loadBlotBitmap() {
    const int id = getCurrentRecResult() && getCurrentRecResult()->wordList()
                       ? kBitmapWithResult
                       : kBitmapWithoutResult;
    HINSTANCE module = getInstance() ? getInstance() : GetModuleHandleW(nullptr);
    return static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
}

void typeText(LocalInkManager* manager, HWND window, const wchar_t* text, bool wantSpace,
              HKL layout) {
    if (manager)
        manager->typeTextByKeys(window, text, wantSpace, layout);
    else
        typeTextToTarget(window, text, wantSpace, layout);
}

}  // namespace

BlotGesture classifyBlotStroke(const InkPoint* points, int count, int blotWidth, int blotHeight) {
    while (count > 0 && isSeparator(points[count - 1])) --count;
    if (!points || count < 2) return BlotGesture::Correction;
    const int dx = (points[count - 1].x >> 2) - (points[0].x >> 2);
    const int dy = (points[count - 1].y >> 2) - (points[0].y >> 2);
    if (std::abs(dx) > std::abs(dy)) {
        if (std::abs(dx) > blotWidth) return dx > 0 ? BlotGesture::Space : BlotGesture::TakeBack;
        return BlotGesture::Correction;
    }
    if (std::abs(dy) > blotHeight && dy < 0) return BlotGesture::Punctuation;
    return BlotGesture::Correction;
}

InkBlotClient::InkBlotClient() : LocalClient(kClientName, 0, 1, 1) { loadSettings(); }

InkBlotClient::~InkBlotClient() {
    saveSettings();
    if (g_blot == this) g_blot = nullptr;
}

void InkBlotClient::loadSettings() {
    int value = maxShowTime_;
    if (ReadSetting(kClientName, L"maxShowTime", &value, SETTING_NUMBER_DIRECT, 1))
        maxShowTime_ = value;
}

void InkBlotClient::saveSettings() {
    WriteSetting(kClientName, L"maxShowTime", &maxShowTime_, SETTING_NUMBER_DIRECT, 1);
}

int InkBlotClient::onNotify(int code, LPARAM argument) {
    if (code == INK_EVENT_READ_ICON_SETTINGS) loadSettings();
    if (code == INK_EVENT_WRITE_ICON_SETTINGS) saveSettings();
    return LocalClient::onNotify(code, argument);
}

RECT InkBlotClient::blotRect() const {
    return RECT{at_.x, at_.y, at_.x + size_.cx, at_.y + size_.cy};
}

bool InkBlotClient::showBlot(HWND window, int ms) {
    hideBlot();
    if (ms == 0) ms = maxShowTime_;
    const DWORD own = GetCurrentThreadId();
    const DWORD target = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    const bool attached = target && target != own && AttachThreadInput(own, target, TRUE);
    bool shown = false;
    POINT caret = {0, 0};
    if (GetCaretPos(&caret) && (caret.x != 0 || caret.y != 0) && ClientToScreen(window, &caret)) {
        window_ = window;
        at_ = caret;
        showTime_ = ms;
        startTick_ = GetTickCount();
        record().enabled = 1;
        drawBlot();
        if (HWND service = getServiceWindow())
            SetTimer(service, TIMER_INK_BLOT, kFollowMs, nullptr);
        shown = true;
    }
    if (attached) AttachThreadInput(own, target, FALSE);
    return shown;
}

void InkBlotClient::drawBlot() {
    HBITMAP bitmap = loadBlotBitmap();
    if (!bitmap) return;
    BITMAP info = {};
    GetObjectW(bitmap, sizeof(info), &info);
    size_ = SIZE{info.bmWidth, info.bmHeight};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(screen, at_.x, at_.y, size_.cx, size_.cy, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
}

void InkBlotClient::hideBlot() {
    if (!visible()) return;
    if (HWND service = getServiceWindow()) KillTimer(service, TIMER_INK_BLOT);
    window_ = nullptr;
    record().enabled = 0;
    restoreScreenArea(blotRect());
}

void InkBlotClient::onBlotTimer() {
    if (!visible()) {
        if (HWND service = getServiceWindow()) KillTimer(service, TIMER_INK_BLOT);
        return;
    }
    const DWORD used = GetTickCount() - startTick_;
    if (static_cast<long long>(used) >= showTime_) {
        hideBlot();
        return;
    }
    HWND window = window_;
    POINT caret = {0, 0};
    const DWORD own = GetCurrentThreadId();
    const DWORD target = window ? GetWindowThreadProcessId(window, nullptr) : 0;
    const bool attached = target && target != own && AttachThreadInput(own, target, TRUE);
    const bool same = GetCaretPos(&caret) && ClientToScreen(window, &caret) && caret.x == at_.x &&
                      caret.y == at_.y;
    if (attached) AttachThreadInput(own, target, FALSE);
    if (same) {
        drawBlot();
        return;
    }
    showBlot(window, showTime_ - static_cast<int>(used));
}

int InkBlotClient::claimsPoint(HWND window, int x, int y) {
    if (visible() && window == window_) {
        const RECT r = blotRect();
        if (x >= r.left && x <= r.right && y >= r.top && y <= r.bottom) return 1;
    }
    hideBlot();
    return 0;
}

int InkBlotClient::onStrokes(InkPoint* points, int count) {
    HWND window = window_;
    const SIZE size = size_;
    hideBlot();
    LocalInkManager* manager = inkManager();
    const RecResultRef current = getCurrentRecResult();
    const BlotGesture gesture = classifyBlotStroke(points, count, size.cx, size.cy);
    POINT first = {0, 0};
    if (points && count > 0 && !isSeparator(points[0]))
        first = POINT{points[0].x >> 2, points[0].y >> 2};
    freeMemory(points);

    const HKL layout = getCurrentRecResultLayout();
    switch (gesture) {
        case BlotGesture::Space:
        case BlotGesture::TakeBack: {
            const wchar_t text[2] = {gesture == BlotGesture::Space ? L' ' : L'\x03', 0};
            typeText(manager, window, text, false, layout);
            break;
        }
        case BlotGesture::Punctuation: {
            const int value = shellLink().showPunctuationPopup(nullptr, window, POINT{0, 0}, 1);
            if (value != 0) {
                const wchar_t text[2] = {static_cast<wchar_t>(characterOfPickedValue(value)), 0};
                typeText(manager, window, text, false, layout);
                Sleep(kAfterOutputMs);
                setCurrentRecResult(nullptr, true, true);
                showBlot(window, 0);
            } else {
                setCurrentRecResult(nullptr, true, true);
            }
            break;
        }
        case BlotGesture::Correction:
            if (current) {
                // The menu types its changes itself, replacing the last
                // insertion; the request answers no text to type here.
                std::shared_ptr<const RecWordList> words = current->wordList();
                showWordListForSelection(window, words.get(), first, false, false);
            }
            break;
    }
    if (manager) manager->releaseActiveClient(this, true);
    return 1;
}

InkBlotClient* inkBlotClient() { return g_blot; }

bool startInkBlotClient() {
    if (g_blot) return true;
    auto* client = new (std::nothrow) InkBlotClient();
    if (!client) return false;
    if (!client->registerSelf()) {
        delete client;
        return false;
    }
    g_blot = client;
    return true;
}

void inkBlotFollowUp() {
    if (g_blot) g_blot->onBlotTimer();
}
