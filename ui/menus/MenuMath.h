// Small rules of the text menus that need no window: the fading of a menu
// while the cursor is away, the two-finger zoom of the word-list menu's font
// and the sign the punctuation bar hands back for a letter.
#pragma once

namespace menus {

// One fading tick with the cursor away: the opacity falls by
// (start − end) × step / 100 percent, by 1 at least. True when it fell
// below `end` (the menu closes).
inline bool fadeAway(int start, int end, int fadingStep, int& current) {
    int fall = (start - end) * fadingStep / 100;
    current -= fall;
    if (fall < 1) current -= 1;
    return current < end;
}

// The timer interval of the fading: step × period / 100 milliseconds.
inline unsigned fadeInterval(int fadingStep, int period) {
    const long long ms = static_cast<long long>(fadingStep) * period / 100;
    return ms > 0 ? static_cast<unsigned>(ms) : 1u;
}

constexpr int kMinFontSize = 80;
constexpr int kMaxFontSize = 480;

// The font size (tenths of a point) after the fingers' distance went from
// `before` to `now`: scaled by the ratio in fixed point, so that a small
// pinch changes the size a little instead of snapping it to a bound; kept
// within 80..480. A distance of 0 changes nothing.
inline int zoomFontSize(int size, unsigned before, unsigned now) {
    if (before == 0 || now == 0 || before == now) return size;
    // 16.16 fixed point, rounded to the nearest tenth of a point.
    const unsigned long long ratio = (static_cast<unsigned long long>(now) << 16) / before;
    long long scaled =
        static_cast<long long>((static_cast<unsigned long long>(size) * ratio + 0x8000) >> 16);
    if (scaled < kMinFontSize) scaled = kMinFontSize;
    if (scaled > kMaxFontSize) scaled = kMaxFontSize;
    return static_cast<int>(scaled);
}

// The letter a punctuation bar's answer puts in place of a word-list menu's
// letter, 0 when the answer is no sign. The bar answers keys (their virtual
// key plus 0x10000) and commands (1 more, 2 undo, 3 redo) as well; cast to a
// character they would become '%' for Left, '.' for Delete or a control code
// inside the word, which the target then carries out. The bar answers the
// euro sign in the code page's byte (0x80); the menu types Unicode, where
// that byte is a control character.
inline wchar_t signToLetter(int sign) {
    if (sign == 0x80) return static_cast<wchar_t>(0x20AC);
    if (sign < 0x20 || sign > 0xFFFF) return 0;
    if (sign >= 0x7F && sign <= 0x9F) return 0;      // control characters
    if (sign >= 0xD800 && sign <= 0xDFFF) return 0;  // half a character
    return static_cast<wchar_t>(sign);
}

}  // namespace menus
