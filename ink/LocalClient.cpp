#include "ink/LocalClient.h"

#include <cstring>
#include <vector>

#include "core/MemoryBlocks.h"
#include "core/AppGlobals.h"
#include "ink/LocalInkManager.h"
#include "win/ScopedLock.h"

namespace {

// A screen coordinate in thousandths of `extent`. A coordinate left of or
// above the primary screen is scaled as an unsigned value, so it lands far
// outside every area.
int64_t thousandths(int value, int extent) {
    if (extent <= 0) return -1;
    return static_cast<int64_t>(static_cast<uint32_t>(value) * 1000u /
                                static_cast<uint32_t>(extent));
}

}  // namespace

LocalClient::LocalClient(const LocalClientRecord* record) {
    InitializeCriticalSection(&penLock_);
    if (record)
        record_ = *record;
    else
        std::memset(&record_, 0, sizeof record_);
    record_.name[59] = L'\0';
    // Cursors the caller put in the record stay the caller's.
    record_.cursor1 = record_.cursor2 = nullptr;
    copyAreas(record_.areas, record_.areaCount);
    reloadIcons();
}

LocalClient::LocalClient(const wchar_t* name, int32_t enabled, int32_t flags, int32_t inkMode) {
    InitializeCriticalSection(&penLock_);
    std::memset(&record_, 0, sizeof record_);
    if (name) lstrcpynW(record_.name, name, 60);
    record_.enabled = enabled;
    record_.registrable = 1;
    record_.flags = flags;
    record_.inkMode = inkMode;
}

LocalClient::~LocalClient() {
    destroyCursors();
    freeMemory(areaCopy_);
    DeleteCriticalSection(&penLock_);
}

void LocalClient::copyAreas(const void* areas, int32_t count) {
    record_.areas = nullptr;
    if (count <= 0 || !areas) {
        record_.areaCount = count > 0 ? 0 : count;
        return;
    }
    const size_t each =
        (record_.flags & CLIENT_AREAS_ARE_WINDOWS) ? sizeof(HWND) : sizeof(ClientArea);
    if (static_cast<size_t>(count) > static_cast<size_t>(INT32_MAX) / each) {
        record_.areaCount = 0;
        return;
    }
    areaCopy_ = allocMemory(static_cast<int>(each * static_cast<size_t>(count)));
    if (!areaCopy_) {
        // Without its areas the client must not claim the whole screen.
        record_.areaCount = 0;
        record_.enabled = 0;
        return;
    }
    std::memcpy(areaCopy_, areas, each * static_cast<size_t>(count));
    record_.areas = areaCopy_;
}

void LocalClient::destroyCursors() {
    if (record_.cursor1) DestroyIcon(record_.cursor1);
    if (record_.cursor2) DestroyIcon(record_.cursor2);
    record_.cursor1 = record_.cursor2 = nullptr;
}

int LocalClient::onNotify(int code, LPARAM) {
    if (code == 3) {
        if (LocalInkManager* manager = inkManager()) {
            const PenState pen = manager->getPenState();
            takePen(pen.type, pen.width, pen.color, pen.antialiasing, pen.version, false);
        }
    }
    return 0;
}

bool LocalClient::takePen(int32_t type, int32_t width, COLORREF colour, int32_t antialiasing,
                          unsigned version, bool remakeCursors) {
    win::ScopedLock lock(penLock_);
    // Read before a change that another thread has taken already: stale.
    if (penTaken_ && static_cast<int>(version - penVersion_) < 0) return false;
    penTaken_ = true;
    penVersion_ = version;
    if (record_.penType == type && record_.penWidth == width && record_.penColor == colour &&
        record_.penAntialiasing == antialiasing)
        return false;
    record_.penType = type;
    record_.penWidth = width;
    record_.penColor = colour;
    record_.penAntialiasing = antialiasing;
    if (remakeCursors) reloadIcons();
    return true;
}

void LocalClient::cursors(HICON& first, HICON& second) const {
    win::ScopedLock lock(penLock_);
    first = record_.cursor1;
    second = record_.cursor2;
}

int LocalClient::beginInk(HWND window, int, int) {
    inkWindow_ = window;
    return 1;
}

int LocalClient::onStrokes(InkPoint* points, int) {
    freeMemory(points);
    return 1;
}

void LocalClient::onReset() {}

int LocalClient::registerSelf() {
    LocalInkManager* manager = inkManager();
    return manager ? manager->registerClient(this) : 0;
}

bool LocalClient::stopThreads() { return true; }

int LocalClient::unregisterSelf(bool deleteAfterwards) {
    LocalInkManager* manager = inkManager();
    return manager ? manager->unregisterClient(this, deleteAfterwards) : 0;
}

LocalInkManager* LocalClient::inkManager() const { return getLocalInkManager(); }

int LocalClient::hitTest(HWND, int x, int y) {
    const int32_t count = record_.areaCount;
    if (record_.flags & CLIENT_AREAS_ARE_WINDOWS) {
        if (count <= 0 || !record_.areas) return 0;
        const auto* windows = static_cast<const HWND*>(record_.areas);
        for (HWND w = WindowFromPoint(POINT{x, y}); w; w = GetParent(w))
            for (int32_t i = 0; i < count; ++i)
                if (windows[i] == w) return 1;
        return 0;
    }
    if (count <= 0 || !record_.areas) return 1;  // no areas: the whole screen
    const int64_t tx = thousandths(x, appGlobals().primaryWidth());
    const int64_t ty = thousandths(y, appGlobals().primaryHeight());
    const auto* areas = static_cast<const ClientArea*>(record_.areas);
    for (int32_t i = 0; i < count; ++i) {
        const ClientArea& a = areas[i];
        if (tx >= a.left && tx < a.right && ty >= a.top && ty < a.bottom) return 1;
    }
    return 0;
}

int LocalClient::claimsPoint(HWND window, int x, int y) { return hitTest(window, x, y); }

void LocalClient::reloadIcons() {
    win::ScopedLock lock(penLock_);
    destroyCursors();
    if (record_.penType != 0 && record_.penWidth != 0)
        record_.cursor1 = makePenTipCursor(record_.penWidth, record_.penColor);
}

void LocalClient::penWords(int32_t words[4]) const {
    win::ScopedLock lock(penLock_);
    words[0] = record_.penType;
    words[1] = record_.penWidth;
    words[2] = static_cast<int32_t>(record_.penColor);
    words[3] = record_.penAntialiasing;
}

LocalVexaBarClient::LocalVexaBarClient(const wchar_t* name) : LocalClient(name, 1, 0x2B, 0) {}

LocalMonitoringClient::LocalMonitoringClient(const wchar_t* name) : LocalClient(name, 0, 5, 0) {}

HICON makePenTipCursor(int width, COLORREF colour) {
    const int size = GetSystemMetrics(SM_CXCURSOR) > 0 ? GetSystemMetrics(SM_CXCURSOR) : 32;
    if (width < 1) width = 1;
    if (width > size) width = size;
    // The colour image (32 bits, top-down) and the mask (1: the screen shows through).
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size, 0);
    const int rowBytes = ((size + 15) / 16) * 2;
    std::vector<uint8_t> mask(static_cast<size_t>(rowBytes) * size, 0xFF);
    const uint32_t rgb = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    const int centre = size / 2;
    const double radius = width / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = x + 0.5 - (centre + (width % 2 ? 0.5 : 0.0));
            const double dy = y + 0.5 - (centre + (width % 2 ? 0.5 : 0.0));
            if (dx * dx + dy * dy > radius * radius + 0.25) continue;
            pixels[static_cast<size_t>(y) * size + x] = rgb;
            mask[static_cast<size_t>(y) * rowBytes + x / 8] &=
                static_cast<uint8_t>(~(0x80 >> (x % 8)));
        }
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HBITMAP colourBitmap =
        CreateDIBitmap(screen, &info.bmiHeader, CBM_INIT, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    HBITMAP maskBitmap = CreateBitmap(size, size, 1, 1, mask.data());
    HICON cursor = nullptr;
    if (colourBitmap && maskBitmap) {
        ICONINFO icon = {};
        icon.fIcon = FALSE;
        icon.xHotspot = static_cast<DWORD>(centre);
        icon.yHotspot = static_cast<DWORD>(centre);
        icon.hbmMask = maskBitmap;
        icon.hbmColor = colourBitmap;
        cursor = CreateIconIndirect(&icon);
    }
    if (colourBitmap) DeleteObject(colourBitmap);
    if (maskBitmap) DeleteObject(maskBitmap);
    return cursor;
}
