#include "PageGenerator.h"

#include "TableGroup.h"

namespace {

const char* const kWords[] = {"the",   "cat",   "sat",   "dog",   "sun",   "hello", "world",
                              "apple", "pear",  "plum",  "some",  "words", "here",  "end",
                              "new",   "page",  "first", "line",  "kept",  "map",   "road",
                              "green", "house", "tree",  "water", "light", "small", "river"};
constexpr int kWordCount = sizeof(kWords) / sizeof(kWords[0]);
constexpr int32_t kBandGap = 160;  // empty space between bands: five line heights

class Random {
  public:
    explicit Random(uint32_t seed) : state_(seed * 2654435761u + 1) {}
    uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    int range(int lo, int hi) { return lo + static_cast<int>(next() % (hi - lo + 1)); }
    const char* word() { return kWords[next() % kWordCount]; }

  private:
    uint32_t state_;
};

// Returns the band's bottom.
int32_t textBand(MadePage& page, Random& r, int32_t top, int lines, uint32_t seed) {
    MadeBand band;
    band.kind = ombra::kGroupText;
    band.lines = lines;
    std::string text;
    for (int l = 0; l < lines; ++l) {
        const int n = r.range(1, 3);
        for (int w = 0; w < n; ++w) {
            band.words.push_back(r.word());
            text += band.words.back();
            text += w + 1 < n ? " " : "";
        }
        if (l + 1 < lines) text += "\n";
    }
    // Sizes from small to large writing; every third band in a careless hand.
    const int32_t xHeight = r.range(16, 26);
    page.ink.write(text, 100 + r.range(0, 60), top + 2 * xHeight, xHeight, seed, seed % 3 == 0);
    page.bands.push_back(band);
    return top + 2 * xHeight + (lines - 1) * (xHeight * 34 / 10) + xHeight;
}

// A list of two to four items, one word each, after its marker: numbers from
// 1, letters from a or A, or dashes.
int32_t listBand(MadePage& page, Random& r, int32_t top, uint32_t seed) {
    MadeBand band;
    band.kind = ombra::kGroupText;
    band.lines = band.listItems = r.range(2, 4);
    const int type = r.range(0, 3);
    std::string text;
    for (int l = 0; l < band.lines; ++l) {
        std::string marker;
        switch (type) {
            case 0:
                marker = std::to_string(l + 1) + ".";
                break;
            case 1:
                marker = std::string(1, static_cast<char>('a' + l)) + ")";
                break;
            case 2:
                marker = std::string(1, static_cast<char>('A' + l)) + ".";
                break;
            default:
                marker = "-";
                break;
        }
        band.words.push_back(marker);
        band.words.push_back(r.word());
        text += marker + " " + band.words.back() + (l + 1 < band.lines ? "\n" : "");
    }
    const int32_t xHeight = r.range(18, 24);
    page.ink.write(text, 100 + r.range(0, 60), top + 2 * xHeight, xHeight, seed);
    page.bands.push_back(band);
    return top + 2 * xHeight + (band.lines - 1) * (xHeight * 34 / 10) + xHeight;
}

int32_t shapesBand(MadePage& page, Random& r, int32_t top) {
    const int32_t w = r.range(500, 800), h = r.range(60, 90), left = r.range(80, 200);
    page.ink.draw(
        {{left, top}, {left + w, top}, {left + w, top + h}, {left, top + h}, {left, top}});
    page.ink.ellipse(left + w / 2, top + h / 2, w * 2 / 5, h * 3 / 8);
    const int32_t iw = w / 2, ih = h / 3;
    const int32_t il = left + (w - iw) / 2, it = top + (h - ih) / 2;
    page.ink.draw({{il, it}, {il + iw, it}, {il + iw, it + ih}, {il, it + ih}, {il, it}});
    page.ink.draw({{left + w + 50, top + h / 2}, {left + w + 300, top + h / 2}});
    MadeBand band;
    band.kind = ombra::kGroupBand;
    page.bands.push_back(band);
    return top + h;
}

int32_t tableBand(MadePage& page, Random& r, int32_t top, uint32_t seed) {
    const int32_t x1 = r.range(380, 420), x2 = r.range(780, 820);
    page.ink.draw({{x1, top}, {x1, top + 200}});
    page.ink.draw({{x2, top}, {x2, top + 200}});
    MadeBand band;
    band.kind = ombra::kGroupTable;
    const int32_t xs[3] = {130, x1 + 80, x2 + 80};
    for (int c = 0; c < 3; ++c) {
        band.words.push_back(r.word());
        page.ink.write(band.words.back(), xs[c], top + 100 + r.range(-15, 15), 20, seed + c);
    }
    page.bands.push_back(band);
    return top + 200;
}

int32_t chartBand(MadePage& page, Random& r, int32_t top, uint32_t seed) {
    MadeBand band;
    band.kind = ombra::kGroupChart;
    for (int f = 0; f < 2; ++f) {
        const int32_t left = 100 + f * 600 + r.range(0, 40), w = r.range(380, 440);
        page.ink.draw(
            {{left, top}, {left + w, top}, {left + w, top + 200}, {left, top + 200}, {left, top}});
        band.words.push_back(r.word());
        page.ink.write(band.words.back(), left + 80, top + 120, 20, seed + f);
    }
    page.bands.push_back(band);
    return top + 200;
}

}  // namespace

MadePage makePage(uint32_t seed) {
    MadePage page;
    Random r(seed);
    int32_t y = 100;
    const int bands = r.range(3, 5);
    for (int b = 0; b < bands; ++b) {
        const uint32_t s = seed * 31 + b;
        switch (r.range(0, 6)) {
            case 0:
            case 1:
            case 2:
                y = textBand(page, r, y, r.range(1, 3), s);
                break;
            case 3:
                y = shapesBand(page, r, y);
                break;
            case 4:
                y = tableBand(page, r, y, s);
                break;
            case 5:
                y = chartBand(page, r, y, s);
                break;
            default:
                y = listBand(page, r, y, s);
                break;
        }
        y += kBandGap;
    }
    return page;
}

MadePage makeTextAndTablePage(int lines, uint32_t seed) {
    MadePage page;
    Random r(seed);
    const int32_t y = textBand(page, r, 100, lines, seed);
    tableBand(page, r, y + kBandGap, seed + 1);
    return page;
}
