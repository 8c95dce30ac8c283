// The "Ink" page: the pen type, its width and its colour, on a copy of the
// ink manager's pen state that Apply hands back.
#include "core/AppGlobals.h"
#include "core/Settings.h"
#include "ink/LocalInkManager.h"
#include "resources/SettingsResources.h"
#include "ui/settings/SettingsPage.h"
#include "ui/settings/SettingsPages.h"

const COLORREF InkColorTable[kInkColorCount] = {
    RGB(255, 255, 255), RGB(255, 0, 0),     RGB(0, 255, 0),     RGB(0, 0, 255),
    RGB(255, 192, 255), RGB(255, 255, 192), RGB(192, 255, 255), RGB(236, 232, 208),
    RGB(192, 192, 192), RGB(192, 0, 0),     RGB(0, 192, 0),     RGB(0, 0, 192),
    RGB(255, 128, 255), RGB(255, 255, 128), RGB(128, 255, 255), RGB(224, 216, 192),
    RGB(128, 128, 128), RGB(128, 0, 0),     RGB(0, 128, 0),     RGB(0, 0, 128),
    RGB(255, 64, 255),  RGB(255, 255, 64),  RGB(64, 255, 255),  RGB(216, 204, 192),
    RGB(0, 0, 0),       RGB(64, 0, 0),      RGB(0, 64, 0),      RGB(0, 0, 64),
    RGB(255, 0, 255),   RGB(255, 255, 0),   RGB(0, 255, 255),   RGB(200, 184, 160),
};

int inkColorIndex(COLORREF color) {
    for (int i = 0; i < kInkColorCount; ++i)
        if (InkColorTable[i] == color) return i;
    return -1;
}

int inkWidthOfSizeButton(int id) {
    switch (id) {
        case 1003:
            return 1;
        case 1004:
            return 2;
        case 1005:
            return 3;
        case 1006:
            return 5;
    }
    return 0;
}

namespace {

constexpr int kPencil = 1000, kPen = 1001;
constexpr int kFirstSize = 1003, kLastSize = 1006;
constexpr int kFirstSwatch = 1101, kLastSwatch = kFirstSwatch + kInkColorCount - 1;

// The pen type a pen button stands for ("Pencil" 2, "Pen" 1).
int typeOfPenButton(int id) { return id == kPencil ? 2 : id == kPen ? 1 : 0; }

class InkPage : public SettingsPage {
  public:
    ~InkPage() override {
        for (HBITMAP& picture : pictures_)
            if (picture) DeleteObject(picture);
    }

  private:
    // Pictures by button: pencil, pen, size 1 to 4; normal and selected.
    struct PictureIds {
        int button;
        int normal;
        int selected;
    };
    static constexpr PictureIds kPictures[] = {
        {kPencil, IDB_INK_PENCIL, IDB_INK_PENCIL_SELECTED},
        {kPen, IDB_INK_PEN, IDB_INK_PEN_SELECTED},
        {1003, IDB_INK_SIZE1, IDB_INK_SIZE1_SELECTED},
        {1004, IDB_INK_SIZE2, IDB_INK_SIZE2_SELECTED},
        {1005, IDB_INK_SIZE3, IDB_INK_SIZE3_SELECTED},
        {1006, IDB_INK_SIZE4, IDB_INK_SIZE4_SELECTED},
    };

    void load() override {
        if (!picturesLoaded_) {
            HINSTANCE module = getInstance() ? getInstance() : GetModuleHandleW(nullptr);
            for (size_t i = 0; i < 6; ++i) {
                pictures_[2 * i] = LoadBitmapW(module, MAKEINTRESOURCEW(kPictures[i].normal));
                pictures_[2 * i + 1] = LoadBitmapW(module, MAKEINTRESOURCEW(kPictures[i].selected));
            }
            picturesLoaded_ = true;
        }
        if (LocalInkManager* manager = getLocalInkManager()) {
            pen_ = manager->getPenState();
        } else {
            PenSettings stored;
            loadPenSettings(nullptr, &stored);
            pen_.type = stored.type;
            pen_.width = stored.width;
            pen_.color = stored.color;
            pen_.antialiasing = stored.antialiasing;
        }
        redrawButtons();
    }

    bool apply(bool) override {
        if (LocalInkManager* manager = getLocalInkManager()) {
            pen_.penOn = manager->getPenState().penOn;
            manager->setPenState(pen_, false);
        } else {
            PenSettings stored;
            stored.type = pen_.type;
            stored.width = pen_.width;
            stored.color = pen_.color;
            stored.antialiasing = pen_.antialiasing;
            savePenSettings(nullptr, &stored);
        }
        return true;
    }

    bool onControl(WORD id, WORD code, HWND) override {
        if (code != BN_CLICKED) return false;
        bool different = false;
        if (const int type = typeOfPenButton(id)) {
            different = pen_.type != type;
            pen_.type = type;
            pen_.penOn = 1;
        } else if (const int width = inkWidthOfSizeButton(id)) {
            different = pen_.width != width;
            pen_.width = width;
        } else if (id >= kFirstSwatch && id <= kLastSwatch) {
            const COLORREF color = InkColorTable[id - kFirstSwatch];
            different = pen_.color != color;
            pen_.color = color;
        } else {
            return false;
        }
        if (different) changed();
        redrawButtons();
        return true;
    }

    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override {
        if (message != WM_DRAWITEM) return false;
        const DRAWITEMSTRUCT* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        const int id = static_cast<int>(draw->CtlID);
        if (id >= kFirstSwatch && id <= kLastSwatch)
            drawSwatch(*draw, id);
        else
            drawPicture(*draw, id);
        *result = TRUE;
        return true;
    }

    // The value of the button equals the copy's: the button is "checked".
    bool isChecked(int id) const {
        if (const int type = typeOfPenButton(id)) return pen_.type == type;
        if (const int width = inkWidthOfSizeButton(id)) return pen_.width == width;
        if (id >= kFirstSwatch && id <= kLastSwatch)
            return InkColorTable[id - kFirstSwatch] == pen_.color;
        return false;
    }

    static bool highlighted(const DRAWITEMSTRUCT& draw) {
        return (draw.itemState & (ODS_SELECTED | ODS_FOCUS | ODS_CHECKED)) != 0;
    }

    void drawPicture(const DRAWITEMSTRUCT& draw, int id) {
        FillRect(draw.hDC, &draw.rcItem, GetSysColorBrush(COLOR_BTNFACE));
        HBITMAP picture = nullptr;
        for (size_t i = 0; i < 6; ++i)
            if (kPictures[i].button == id)
                picture = pictures_[2 * i + (highlighted(draw) || isChecked(id) ? 1 : 0)];
        if (!picture) return;
        HDC memory = CreateCompatibleDC(draw.hDC);
        HGDIOBJ old = SelectObject(memory, picture);
        const int width = draw.rcItem.right - draw.rcItem.left;
        const int height = draw.rcItem.bottom - draw.rcItem.top;
        const int x = draw.rcItem.left + (width - 23) / 2, y = draw.rcItem.top + (height - 23) / 2;
        BitBlt(draw.hDC, x, y, 23, 23, memory, 0, 0, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }

    void drawSwatch(const DRAWITEMSTRUCT& draw, int id) {
        RECT rect = draw.rcItem;
        FillRect(draw.hDC, &rect, GetSysColorBrush(COLOR_BTNFACE));
        if (highlighted(draw) || isChecked(id))
            FrameRect(draw.hDC, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&rect, -2, -2);
        FrameRect(draw.hDC, &rect, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
        InflateRect(&rect, -1, -1);
        HBRUSH fill = CreateSolidBrush(InkColorTable[id - kFirstSwatch]);
        FillRect(draw.hDC, &rect, fill);
        DeleteObject(fill);
    }

    void redrawButtons() {
        for (int id : {kPencil, kPen}) InvalidateRect(item(id), nullptr, TRUE);
        for (int id = kFirstSize; id <= kLastSize; ++id) InvalidateRect(item(id), nullptr, TRUE);
        for (int id = kFirstSwatch; id <= kLastSwatch; ++id)
            InvalidateRect(item(id), nullptr, TRUE);
    }

    PenState pen_;
    HBITMAP pictures_[12] = {};
    bool picturesLoaded_ = false;
};

}  // namespace

INT_PTR CALLBACK InkPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return SettingsPage::procedure<InkPage>(page, message, wParam, lParam);
}
