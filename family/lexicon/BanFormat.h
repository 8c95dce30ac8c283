// The ".ban" lexicon file of the recognizer: a sorted word list with the few
// rules that come with it. The recognizer reads it from the bytes that
// PSO_AddLexGeneratorToRecContext hands over; banmake writes it from a plain
// word list. This header is the format's one definition, used by both.
//
// Layout, all integers little-endian:
//
//   offset  size  field
//   0       8     magic: "VXBAN" 0x0D 0x0A 0x1A (a file mangled by a text-mode
//                 copy or shown as text is recognised as broken)
//   8       2     version: 1
//   10      2     header size: 40
//   12      4     flags: 0x1 words only (a word read with this lexicon must be
//                 one of its words or of a user dictionary), 0x2 numbers (the
//                 recognizer reads digits and number signs only)
//   16      2     code page of the words: 1252
//   18      2     n: length of the character set (0: every readable character)
//   20      4     word count
//   24      4     m: length of the word block in bytes
//   28      4     checksum: 32-bit FNV-1a of the n + m bytes after the header
//   32      8     reserved, zero
//   40      n     character set: the 8-bit characters a word may hold (no NUL)
//   40 + n  m     word block: the words in strictly ascending byte order, each
//                 as one byte "shared" (leading bytes in common with the word
//                 before), one byte "rest" (bytes that follow) and the rest
//                 bytes. A word is 1 to 79 bytes, none below 0x20.
//
// The file is exactly 40 + n + m bytes. A lexicon with no words (flags 0x1)
// lets only user dictionary words through.
#ifndef SCRIBIX_LEXICON_BANFORMAT_H
#define SCRIBIX_LEXICON_BANFORMAT_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace ban {

constexpr uint8_t kMagic[8] = {'V', 'X', 'B', 'A', 'N', 0x0D, 0x0A, 0x1A};
constexpr uint16_t kVersion = 1;
constexpr size_t kHeaderSize = 40;
constexpr uint16_t kCodePage = 1252;
constexpr size_t kMaxWordBytes = 79;

constexpr uint32_t kFlagWordsOnly = 0x1;
constexpr uint32_t kFlagNumbers = 0x2;
constexpr uint32_t kKnownFlags = kFlagWordsOnly | kFlagNumbers;

struct Lexicon {
    uint32_t flags = 0;
    std::string charset;             // empty: every readable character
    std::vector<std::string> words;  // ascending byte order
};

inline uint32_t fnv1a(const uint8_t* data, size_t size, uint32_t hash = 2166136261u) {
    for (size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 16777619u;
    return hash;
}

inline uint32_t readU32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline void putU32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void putU16(std::vector<uint8_t>& out, size_t at, uint16_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Code page 1252, the words' code page, to Unicode and back. The five bytes
// the code page leaves undefined stand for the code points of the same value,
// as Windows converts them.
inline uint32_t cp1252ToUnicode(unsigned char c) {
    static const uint16_t high[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    return c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c;
}

// The 1252 byte of a code point, or -1.
inline int unicodeToCp1252(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int c = 0x80; c < 0xA0; ++c)
        if (cp1252ToUnicode(static_cast<unsigned char>(c)) == cp) return c;
    return -1;
}

// True for a word the format can hold.
inline bool validWord(const std::string& w) {
    if (w.empty() || w.size() > kMaxWordBytes) return false;
    for (unsigned char c : w)
        if (c < 0x20 || c == 0x7F) return false;
    return true;
}

// Reads a lexicon; on failure `error` says why and `out` is unspecified.
inline bool parse(const void* bytes, size_t size, Lexicon& out, std::string& error) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    if (!p || size < kHeaderSize) return error = "shorter than the header", false;
    if (std::memcmp(p, kMagic, sizeof kMagic) != 0) return error = "not a lexicon", false;
    if (readU16(p + 8) != kVersion) return error = "unknown version", false;
    if (readU16(p + 10) != kHeaderSize) return error = "unknown header size", false;
    out.flags = readU32(p + 12);
    if (out.flags & ~kKnownFlags) return error = "unknown flags", false;
    if (readU16(p + 16) != kCodePage) return error = "unknown code page", false;
    const size_t n = readU16(p + 18);
    const uint32_t count = readU32(p + 20);
    const size_t m = readU32(p + 24);
    if (size != kHeaderSize + n + m) return error = "size does not match the header", false;
    if (fnv1a(p + kHeaderSize, n + m) != readU32(p + 28)) return error = "checksum", false;
    for (int i = 32; i < 40; ++i)
        if (p[i]) return error = "reserved bytes in use", false;
    out.charset.assign(reinterpret_cast<const char*>(p + kHeaderSize), n);
    for (unsigned char c : out.charset)
        if (c < 0x20) return error = "control byte in the character set", false;
    // Each word takes at least 3 bytes, which bounds the count before reserving.
    if (count > m / 3) return error = "word count does not fit the word block", false;
    out.words.clear();
    out.words.reserve(count);
    const uint8_t* w = p + kHeaderSize + n;
    const uint8_t* end = w + m;
    std::string prev;
    for (uint32_t i = 0; i < count; ++i) {
        if (end - w < 2) return error = "word block cut short", false;
        const size_t shared = w[0], rest = w[1];
        w += 2;
        if (shared > prev.size() || static_cast<size_t>(end - w) < rest)
            return error = "bad word entry", false;
        std::string word = prev.substr(0, shared);
        word.append(reinterpret_cast<const char*>(w), rest);
        w += rest;
        if (!validWord(word)) return error = "bad word", false;
        if (i > 0 && !(prev < word)) return error = "words out of order", false;
        out.words.push_back(word);
        prev = std::move(word);
    }
    if (w != end) return error = "bytes after the last word", false;
    return true;
}

// Writes a lexicon. The words are sorted and made unique first; words the
// format cannot hold are dropped (their number goes to *dropped when given).
inline std::vector<uint8_t> build(Lexicon lex, size_t* dropped = nullptr) {
    std::vector<std::string> words;
    size_t bad = 0;
    for (std::string& w : lex.words) {
        if (validWord(w))
            words.push_back(std::move(w));
        else
            ++bad;
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    if (dropped) *dropped = bad;
    std::string charset;
    for (unsigned char c : lex.charset)
        if (c >= 0x20 && charset.find(static_cast<char>(c)) == std::string::npos) charset += c;
    if (charset.size() > 0xFFFF) charset.resize(0xFFFF);

    // Sizes first, then one buffer filled in place.
    std::vector<size_t> shared(words.size(), 0);
    size_t block = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (i > 0) {
            const std::string& prev = words[i - 1];
            while (shared[i] < prev.size() && shared[i] < w.size() &&
                   prev[shared[i]] == w[shared[i]])
                ++shared[i];
        }
        block += 2 + w.size() - shared[i];
    }
    std::vector<uint8_t> out(kHeaderSize + charset.size() + block, 0);
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    putU16(out, 8, kVersion);
    putU16(out, 10, kHeaderSize);
    putU32(out, 12, lex.flags & kKnownFlags);
    putU16(out, 16, kCodePage);
    putU16(out, 18, static_cast<uint16_t>(charset.size()));
    putU32(out, 20, static_cast<uint32_t>(words.size()));
    putU32(out, 24, static_cast<uint32_t>(block));
    size_t at = kHeaderSize;
    for (char c : charset) out[at++] = static_cast<uint8_t>(c);
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        out[at++] = static_cast<uint8_t>(shared[i]);
        out[at++] = static_cast<uint8_t>(w.size() - shared[i]);
        for (size_t k = shared[i]; k < w.size(); ++k) out[at++] = static_cast<uint8_t>(w[k]);
    }
    putU32(out, 28, fnv1a(out.data() + kHeaderSize, out.size() - kHeaderSize));
    return out;
}

}  // namespace ban

#endif
