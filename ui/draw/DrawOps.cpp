#include "ui/draw/DrawOps.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/AppGlobals.h"
#include "win/Gdiplus.h"

namespace {

HDC newMemoryDC() { return CreateCompatibleDC(nullptr); }

// A 32-bit top-down section of w x h; `bits` receives its pixels.
HBITMAP makeSection(int w, int h, void** bits) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* dummy = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits ? bits : &dummy, nullptr, 0);
}

// The pixels of `bitmap` as 0x00RRGGBB (COLORREF order swapped back to RGB()).
bool readPixels(HBITMAP bitmap, int w, int h, std::vector<COLORREF>* pixels) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> raw(static_cast<size_t>(w) * h);
    HDC screen = GetDC(nullptr);
    const int rows = GetDIBits(screen, bitmap, 0, h, raw.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != h) return false;
    pixels->resize(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        const DWORD v = raw[i];
        (*pixels)[i] = RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }
    return true;
}

HPALETTE paletteFromColourTable(HDC sourceDC) {
    RGBQUAD table[256];
    const UINT used = GetDIBColorTable(sourceDC, 0, 256, table);
    if (used == 0) return CreateHalftonePalette(nullptr);
    std::vector<BYTE> buffer(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * used);
    LOGPALETTE* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = static_cast<WORD>(used);
    for (UINT i = 0; i < used; ++i)
        palette->palPalEntry[i] = {table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    HPALETTE made = CreatePalette(palette);
    return made ? made : CreateHalftonePalette(nullptr);
}

}  // namespace

// --- LayeredBitmap ---

LayeredBitmap::LayeredBitmap(int resourceId, int layers, int stretchColumn) {
    resourceId_ = resourceId;
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(getInstance(), MAKEINTRESOURCEW(resourceId),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    build(bitmap, layers, stretchColumn);
}

LayeredBitmap::LayeredBitmap(HBITMAP bitmap, int layers, int stretchColumn) {
    build(bitmap, layers, stretchColumn);
}

void LayeredBitmap::build(HBITMAP bitmap, int layers, int stretchColumn) {
    BITMAP info = {};
    if (!bitmap || layers < 1 || !GetObjectW(bitmap, sizeof info, &info) ||
        info.bmHeight < layers) {
        if (bitmap) DeleteObject(bitmap);
        return;
    }
    width_ = info.bmWidth;
    layers_ = layers;
    layerHeight_ = info.bmHeight / layers;
    smart_ = layers == 6;
    stretchColumn_ = stretchColumn > 0 ? stretchColumn : width_ / 6;
    sourceBitmap_ = bitmap;
    sourceDC_ = newMemoryDC();
    sourceOld_ = SelectObject(sourceDC_, sourceBitmap_);
    keyColour_ = GetPixel(sourceDC_, 0, 0);
    HDC screen = GetDC(nullptr);
    if (smart_ && (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE))
        palette_ = paletteFromColourTable(sourceDC_);
    ReleaseDC(nullptr, screen);
    rebuildFace();
}

void LayeredBitmap::rebuildFace() {
    if (faceDC_) {
        SelectObject(faceDC_, faceOld_);
        DeleteObject(faceBitmap_);
        DeleteDC(faceDC_);
        SelectObject(workDC_, workOld_);
        DeleteObject(workBitmap_);
        DeleteDC(workDC_);
    }
    faceBitmap_ = makeSection(width_, layerHeight_, nullptr);
    workBitmap_ = makeSection(width_, layerHeight_, nullptr);
    faceDC_ = newMemoryDC();
    workDC_ = newMemoryDC();
    faceOld_ = SelectObject(faceDC_, faceBitmap_);
    workOld_ = SelectObject(workDC_, workBitmap_);
    // A monochrome mask drawn into these: set bits come out black, clear ones white.
    for (HDC dc : {faceDC_, workDC_}) {
        SetTextColor(dc, maskTextColour_);
        SetBkColor(dc, RGB(0, 0, 0));
    }
    BitBlt(faceDC_, 0, 0, width_, layerHeight_, sourceDC_, 0, 0, SRCCOPY);
}

LayeredBitmap::~LayeredBitmap() {
    if (faceDC_) {
        SelectObject(faceDC_, faceOld_);
        DeleteObject(faceBitmap_);
        DeleteDC(faceDC_);
        SelectObject(workDC_, workOld_);
        DeleteObject(workBitmap_);
        DeleteDC(workDC_);
    }
    if (sourceDC_) {
        SelectObject(sourceDC_, sourceOld_);
        DeleteDC(sourceDC_);
    }
    if (sourceBitmap_) DeleteObject(sourceBitmap_);
    if (widened_ && widened_ != sourceBitmap_) DeleteObject(widened_);
    if (palette_) DeleteObject(palette_);
}

COLORREF LayeredBitmap::keyAt(int x, int y, bool inWindow) const {
    if (!sourceDC_) return CLR_INVALID;
    if (inWindow) {
        x -= faceOffset_.x;
        y -= faceOffset_.y;
    }
    if (x < 0 || y < 0 || x >= width_ || y >= layerHeight_) return CLR_INVALID;
    const int keyLayer = smart_ ? LAYER_KEY : layers_ - 1;
    return GetPixel(sourceDC_, x, keyLayer * layerHeight_ + y);
}

HBITMAP LayeredBitmap::unitMask(COLORREF key, RECT* bounds) const {
    if (!sourceDC_) return nullptr;
    const int keyLayer = smart_ ? LAYER_KEY : layers_ - 1;
    std::vector<COLORREF> all;
    if (!readPixels(layerImage(), width_, layerHeight_ * layers_, &all)) return nullptr;
    const int stride = ((width_ + 15) / 16) * 2;  // monochrome rows are word-aligned
    std::vector<BYTE> bits(static_cast<size_t>(stride) * layerHeight_, 0);
    RECT box = {width_, layerHeight_, -1, -1};
    for (int y = 0; y < layerHeight_; ++y) {
        const COLORREF* row = &all[static_cast<size_t>(keyLayer * layerHeight_ + y) * width_];
        for (int x = 0; x < width_; ++x) {
            if (row[x] != key) continue;
            bits[static_cast<size_t>(y) * stride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
            box.left = std::min<LONG>(box.left, x);
            box.top = std::min<LONG>(box.top, y);
            box.right = std::max<LONG>(box.right, x + 1);
            box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    }
    if (box.right < 0) return nullptr;
    if (bounds) *bounds = box;
    return CreateBitmap(width_, layerHeight_, 1, 1, bits.data());
}

void LayeredBitmap::throughMask(HDC target, int targetX, int targetY, int layer, HBITMAP mask) {
    if (!sourceDC_ || !mask || layer < 0 || layer >= layers_) return;
    HDC maskDC = takeMemoryDC();
    HGDIOBJ old = SelectObject(maskDC, mask);
    const COLORREF text = SetTextColor(target, maskTextColour_);
    const COLORREF back = SetBkColor(target, RGB(0, 0, 0));
    // The mask's set bits are the unit's pixels: clear them in the target,
    // keep only them of the layer, and put the two together.
    BitBlt(workDC_, 0, 0, width_, layerHeight_, sourceDC_, 0, layer * layerHeight_, SRCCOPY);
    BitBlt(workDC_, 0, 0, width_, layerHeight_, maskDC, 0, 0, 0x00220326 /* D and not S */);
    BitBlt(target, targetX, targetY, width_, layerHeight_, maskDC, 0, 0, SRCAND);
    BitBlt(target, targetX, targetY, width_, layerHeight_, workDC_, 0, 0, SRCPAINT);
    SetTextColor(target, text);
    SetBkColor(target, back);
    SelectObject(maskDC, old);
    giveMemoryDC(maskDC);
}

void LayeredBitmap::composeUnitLayer(int layer, HBITMAP mask) {
    throughMask(faceDC_, 0, 0, layer, mask);
}

void LayeredBitmap::paintUnitLayer(HDC dc, int layer, HBITMAP mask) {
    composeUnitLayer(layer, mask);
    if (dc) throughMask(dc, faceOffset_.x, faceOffset_.y, layer, mask);
}

HRGN LayeredBitmap::windowRegion() const {
    if (!sourceDC_) return nullptr;
    std::vector<COLORREF> pixels;
    if (!readPixels(layerImage(), width_, layerHeight_ * layers_, &pixels)) return nullptr;
    std::vector<RECT> runs;
    for (int y = 0; y < layerHeight_; ++y) {
        const COLORREF* row = &pixels[static_cast<size_t>(y) * width_];
        for (int x = 0; x < width_;) {
            if (row[x] == keyColour_) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < width_ && row[x] != keyColour_) ++x;
            runs.push_back({start, y, x, y + 1});
        }
    }
    std::vector<BYTE> data(sizeof(RGNDATAHEADER) + runs.size() * sizeof(RECT));
    RGNDATA* region = reinterpret_cast<RGNDATA*>(data.data());
    region->rdh.dwSize = sizeof(RGNDATAHEADER);
    region->rdh.iType = RDH_RECTANGLES;
    region->rdh.nCount = static_cast<DWORD>(runs.size());
    region->rdh.nRgnSize = static_cast<DWORD>(runs.size() * sizeof(RECT));
    region->rdh.rcBound = {0, 0, width_, layerHeight_};
    if (!runs.empty()) std::memcpy(region->Buffer, runs.data(), runs.size() * sizeof(RECT));
    return ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()), region);
}

bool LayeredBitmap::widen(int newWidth, bool force) {
    if (!sourceDC_ || newWidth < 1) return false;
    if (newWidth == width_ && !force) return false;
    const int height = layerHeight_ * layers_;
    HBITMAP wider = makeSection(newWidth, height, nullptr);
    if (!wider) return false;
    HDC dc = newMemoryDC();
    HGDIOBJ old = SelectObject(dc, wider);
    const int keep = std::min(stretchColumn_, newWidth);
    BitBlt(dc, 0, 0, keep, height, sourceDC_, 0, 0, SRCCOPY);
    const int rest = width_ - stretchColumn_;
    const int added = newWidth - width_;
    if (added > 0 && stretchColumn_ > 0) {
        StretchBlt(dc, stretchColumn_, 0, added, height, sourceDC_, stretchColumn_ - 1, 0, 1,
                   height, SRCCOPY);
    }
    // The part right of the stretched column keeps its pixels; narrower faces cut it.
    const int restAt = std::max(keep, stretchColumn_ + added);
    if (rest > 0 && restAt < newWidth)
        BitBlt(dc, restAt, 0, std::min(rest, newWidth - restAt), height, sourceDC_, stretchColumn_,
               0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    SelectObject(sourceDC_, wider);
    if (widened_ == nullptr) {
        // The original stays alive until the object goes (it is the first source).
        widened_ = wider;
    } else {
        DeleteObject(widened_);
        widened_ = wider;
    }
    width_ = newWidth;
    rebuildFace();
    return true;
}

void LayeredBitmap::faceBlit(HDC dc) const {
    if (!faceDC_ || !dc) return;
    HPALETTE oldPalette = nullptr;
    if (palette_) {
        oldPalette = SelectPalette(dc, palette_, FALSE);
        RealizePalette(dc);
    }
    BitBlt(dc, faceOffset_.x, faceOffset_.y, width_, layerHeight_, faceDC_, 0, 0, SRCCOPY);
    if (oldPalette) SelectPalette(dc, oldPalette, FALSE);
}

int LayeredBitmap::layerForState(unsigned state) {
    if (state & UNIT_HIDDEN) return LAYER_NONE;
    if (!(state & UNIT_ENABLED)) return LAYER_DISABLED;
    const bool down = (state & (UNIT_SELECTED | UNIT_PRESSED)) != 0;
    if (state & UNIT_HOVER) return down ? LAYER_HOVER_SELECTED : LAYER_HOVER;
    return down ? LAYER_SELECTED : LAYER_NORMAL;
}

// --- memory contexts ---

namespace {
constexpr int kSlotsPerPool = 4;
HDC volatile g_dcSlots[DC_POOL_COUNT][kSlotsPerPool] = {};
}  // namespace

HDC takeMemoryDC(int pool) {
    if (pool >= 0 && pool < DC_POOL_COUNT) {
        for (HDC volatile& slot : g_dcSlots[pool]) {
            HDC dc = static_cast<HDC>(
                InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&slot), nullptr));
            if (dc) return dc;
        }
    }
    return newMemoryDC();
}

void giveMemoryDC(HDC dc, int pool) {
    if (!dc) return;
    if (pool >= 0 && pool < DC_POOL_COUNT) {
        for (HDC volatile& slot : g_dcSlots[pool]) {
            if (InterlockedCompareExchangePointer(reinterpret_cast<PVOID volatile*>(&slot), dc,
                                                  nullptr) == nullptr)
                return;
        }
    }
    DeleteDC(dc);
}

// --- PNG images ---

PngImage::~PngImage() { clear(); }

void PngImage::clear() {
    while (nesting_ > 0) release();
    if (bitmap_) DeleteObject(bitmap_);
    bitmap_ = nullptr;
    width_ = height_ = 0;
    hasAlpha_ = false;
    transparent_ = static_cast<COLORREF>(-1);
}

bool PngImage::loadFromMemory(const void* data, size_t size) {
    int w = 0, h = 0;
    bool alpha = false;
    HBITMAP bitmap = win::decodeImageToDib(data, size, &w, &h, &alpha);
    if (!bitmap) return false;
    clear();
    bitmap_ = bitmap;
    width_ = w;
    height_ = h;
    hasAlpha_ = alpha;
    return true;
}

void PngImage::adopt(HBITMAP bitmap, COLORREF transparentColour, bool hasAlpha) {
    clear();
    BITMAP info = {};
    if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return;
    bitmap_ = bitmap;
    width_ = info.bmWidth;
    height_ = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    transparent_ = transparentColour;
    hasAlpha_ = hasAlpha;
}

bool PngImage::load(const wchar_t* name, bool allowFile) {
    if (!name || !*name) return false;
    if (allowFile) {
        wchar_t path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            wchar_t* slash = wcsrchr(path, L'\\');
            if (slash && (slash - path) + 1 + wcslen(name) < MAX_PATH) {
                wcscpy(slash + 1, name);
                HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
                if (file != INVALID_HANDLE_VALUE) {
                    // A button image is a few kilobytes: a file beside the
                    // program larger than this is no image of ours, and its
                    // size must not size an allocation.
                    constexpr DWORD kMaxImageBytes = 16u << 20;
                    const DWORD size = GetFileSize(file, nullptr);
                    std::vector<BYTE> data(
                        size == INVALID_FILE_SIZE || size > kMaxImageBytes ? 0 : size);
                    DWORD read = 0;
                    const bool ok = !data.empty() &&
                                    ReadFile(file, data.data(), size, &read, nullptr) &&
                                    read == size;
                    CloseHandle(file);
                    if (ok && loadFromMemory(data.data(), data.size())) return true;
                }
            }
        }
    }
    // The resource's name: upper case, without the extension.
    wchar_t resource[64];
    size_t n = 0;
    for (const wchar_t* c = name; *c && *c != L'.' && n + 1 < 64; ++c)
        resource[n++] = static_cast<wchar_t>(towupper(*c));
    resource[n] = L'\0';
    HMODULE module =
        getInstance() ? static_cast<HMODULE>(getInstance()) : GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, resource, L"PNG");
    if (!found) return false;
    HGLOBAL handle = LoadResource(module, found);
    const void* data = handle ? LockResource(handle) : nullptr;
    return data && loadFromMemory(data, SizeofResource(module, found));
}

HDC PngImage::select() const {
    if (nesting_++ == 0) {
        selectedDC_ = takeMemoryDC();
        selectedOld_ = SelectObject(selectedDC_, bitmap_);
    }
    return selectedDC_;
}

void PngImage::release() const {
    if (nesting_ <= 0) return;
    if (--nesting_ == 0) {
        SelectObject(selectedDC_, selectedOld_);
        giveMemoryDC(selectedDC_);
        selectedDC_ = nullptr;
    }
}

bool PngImage::drawImage(HDC dc, const RECT& d, const RECT& s) const {
    if (!bitmap_ || !dc) return false;
    HDC source = select();
    const int dw = d.right - d.left, dh = d.bottom - d.top;
    const int sw = s.right - s.left, sh = s.bottom - s.top;
    BOOL ok;
    if (transparent_ != static_cast<COLORREF>(-1)) {
        ok = TransparentBlt(dc, d.left, d.top, dw, dh, source, s.left, s.top, sw, sh, transparent_);
    } else if (hasAlpha_) {
        BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ok = AlphaBlend(dc, d.left, d.top, dw, dh, source, s.left, s.top, sw, sh, blend);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
        ok = StretchBlt(dc, d.left, d.top, dw, dh, source, s.left, s.top, sw, sh, SRCCOPY);
    }
    release();
    return ok != FALSE;
}

bool PngImage::drawImageBlended(HDC dc, const RECT& d, const RECT& s) const {
    BITMAP info = {};
    if (!bitmap_ || !dc || !GetObjectW(bitmap_, sizeof info, &info) || info.bmBitsPixel != 32)
        return drawImage(dc, d, s);
    const int w = d.right - d.left, h = d.bottom - d.top;
    if (w <= 0 || h <= 0) return false;
    void* under = nullptr;
    void* over = nullptr;
    HBITMAP underBitmap = makeSection(w, h, &under);
    HBITMAP overBitmap = makeSection(w, h, &over);
    bool ok = false;
    if (underBitmap && overBitmap) {
        HDC a = newMemoryDC(), b = newMemoryDC();
        HGDIOBJ oldA = SelectObject(a, underBitmap), oldB = SelectObject(b, overBitmap);
        HDC source = select();
        BitBlt(a, 0, 0, w, h, dc, d.left, d.top, SRCCOPY);
        SetStretchBltMode(b, COLORONCOLOR);
        StretchBlt(b, 0, 0, w, h, source, s.left, s.top, s.right - s.left, s.bottom - s.top,
                   SRCCOPY);
        release();
        GdiFlush();
        BYTE* u = static_cast<BYTE*>(under);
        const BYTE* o = static_cast<const BYTE*>(over);
        // Premultiplied channels hold the source's share already; straight
        // ones are weighed by their alpha here. A channel above its alpha in
        // a premultiplied image is no share: the sum stops at 255.
        for (int i = 0; i < w * h; ++i, u += 4, o += 4) {
            const int alpha = o[3];
            for (int c = 0; c < 3; ++c) {
                const int mixed = hasAlpha_ ? (u[c] * (255 - alpha)) / 255 + o[c]
                                            : (u[c] * (255 - alpha) + o[c] * alpha) / 255;
                u[c] = static_cast<BYTE>(std::min(mixed, 255));
            }
        }
        ok = BitBlt(dc, d.left, d.top, w, h, a, 0, 0, SRCCOPY) != FALSE;
        SelectObject(a, oldA);
        SelectObject(b, oldB);
        DeleteDC(a);
        DeleteDC(b);
    }
    if (underBitmap) DeleteObject(underBitmap);
    if (overBitmap) DeleteObject(overBitmap);
    return ok;
}

bool blendWithOpacity(HDC dc, const RECT& r, HDC source, BYTE opacity) {
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, opacity, 0};
    const int w = r.right - r.left, h = r.bottom - r.top;
    return AlphaBlend(dc, r.left, r.top, w, h, source, r.left, r.top, w, h, blend) != FALSE;
}

bool copyRect(HDC destination, HDC source, const RECT& r) {
    return BitBlt(destination, r.left, r.top, r.right - r.left, r.bottom - r.top, source, r.left,
                  r.top, SRCCOPY) != FALSE;
}

bool copyRectFrom(HDC destination, HDC source, const RECT& r, POINT from) {
    return BitBlt(destination, r.left, r.top, r.right - r.left, r.bottom - r.top, source, from.x,
                  from.y, SRCCOPY) != FALSE;
}

bool copyRectToOrigin(HDC destination, HDC source, const RECT& r) {
    return BitBlt(destination, 0, 0, r.right - r.left, r.bottom - r.top, source, r.left, r.top,
                  SRCCOPY) != FALSE;
}

// --- buffered painting ---

BufferedPaint::BufferedPaint(HDC target, const RECT* rectangle) : target_(target) {
    if (rectangle)
        rect_ = *rectangle;
    else
        GetClipBox(target, &rect_);
    const int w = rect_.right - rect_.left, h = rect_.bottom - rect_.top;
    if (w <= 0 || h <= 0) return;
    memory_ = CreateCompatibleDC(target);
    bitmap_ = CreateCompatibleBitmap(target, w, h);
    if (!memory_ || !bitmap_) {
        if (memory_) DeleteDC(memory_);
        if (bitmap_) DeleteObject(bitmap_);
        memory_ = nullptr;
        bitmap_ = nullptr;
        return;
    }
    old_ = SelectObject(memory_, bitmap_);
    SetWindowOrgEx(memory_, rect_.left, rect_.top, nullptr);
}

BufferedPaint::~BufferedPaint() {
    if (!memory_) return;
    SetWindowOrgEx(memory_, 0, 0, nullptr);
    BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top,
           memory_, 0, 0, SRCCOPY);
    SelectObject(memory_, old_);
    DeleteObject(bitmap_);
    DeleteDC(memory_);
}

// --- cursor and screen ---

int penDotCursorSize(int width) { return (std::max(width, 3) + 1) * 2 + 1; }

HCURSOR penDotCursor(int width, COLORREF colour) {
    const int size = penDotCursorSize(width);
    const int diameter = std::max(width, 3) + 1;
    if (colour == RGB(255, 255, 255)) colour = 0xFEFEFE;
    HDC screen = GetDC(nullptr);
    HBITMAP picture = CreateCompatibleBitmap(screen, size, size);
    HBITMAP mask = CreateBitmap(size, size, 1, 1, nullptr);
    ReleaseDC(nullptr, screen);
    if (!picture || !mask) {
        if (picture) DeleteObject(picture);
        if (mask) DeleteObject(mask);
        return nullptr;
    }
    const int from = (size - diameter) / 2;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture);
    RECT all = {0, 0, size, size};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    HBRUSH brush = CreateSolidBrush(colour);
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    Ellipse(dc, from, from, from + diameter + 1, from + diameter + 1);
    // The mask: white (screen shows) everywhere but the dot.
    SelectObject(dc, mask);
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    Ellipse(dc, from, from, from + diameter + 1, from + diameter + 1);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectObject(dc, old);
    DeleteObject(brush);
    DeleteDC(dc);
    ICONINFO info = {};
    info.fIcon = FALSE;
    info.xHotspot = static_cast<DWORD>(size / 2);
    info.yHotspot = static_cast<DWORD>(size / 2);
    info.hbmMask = mask;
    info.hbmColor = picture;
    HCURSOR cursor = CreateIconIndirect(&info);
    DeleteObject(picture);
    DeleteObject(mask);
    return cursor;
}

bool primaryWorkArea(RECT* rect) {
    return rect && SystemParametersInfoW(SPI_GETWORKAREA, 0, rect, 0) != FALSE;
}

bool placeTipNearCursor(SIZE tip, POINT point, POINT offset, const RECT& area, RECT* out) {
    RECT r = {point.x + offset.x, point.y - offset.y - tip.cy, 0, 0};
    r.right = r.left + tip.cx;
    r.bottom = r.top + tip.cy;
    if (r.right > area.right) {
        r.left = point.x - offset.x - tip.cx;
        r.right = r.left + tip.cx;
    }
    if (r.top < area.top) {
        r.top = point.y + offset.y;
        r.bottom = r.top + tip.cy;
    }
    if (out) *out = r;
    return !IsRectEmpty(&r);
}

POINT clampToCaptureArea(POINT p, const RECT& area) {
    if (p.x < area.left || p.x > area.right) p.x = area.right;
    if (p.y < area.top) p.y = area.top;
    if (p.y > area.bottom) p.y = area.bottom;
    return p;
}

bool isNearLastClick(POINT p, POINT last) {
    const int dx = GetSystemMetrics(SM_CXDOUBLECLK) / 2;
    const int dy = GetSystemMetrics(SM_CYDOUBLECLK) / 2;
    return p.x >= last.x - dx && p.x <= last.x + dx && p.y >= last.y - dy && p.y <= last.y + dy;
}

HWND windowUnderPoint(POINT p, HWND own, bool deepest) {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == own || !IsWindowVisible(w)) continue;
        RECT r;
        if (!GetWindowRect(w, &r) || !PtInRect(&r, p)) continue;
        if (!deepest) return w;
        HWND found = w;
        for (;;) {
            POINT client = p;
            ScreenToClient(found, &client);
            HWND child = ChildWindowFromPointEx(found, client, CWP_SKIPINVISIBLE);
            if (!child || child == found) break;
            found = child;
        }
        return found;
    }
    return nullptr;
}
