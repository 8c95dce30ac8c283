#include "TextFile.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

namespace tessel {

namespace {

struct TrackedEntry {
    FILE* stream;
    uint64_t lineCounter;
    TrackedEntry* next;
};

// Newest first. Per thread: loading two models on two threads at once must
// not share the list, and the library takes no locks.
thread_local TrackedEntry* trackedFiles = nullptr;

TrackedEntry* findTracked(FILE* stream) {
    for (TrackedEntry* e = trackedFiles; e; e = e->next)
        if (e->stream == stream) return e;
    return nullptr;
}

constexpr uint32_t kShiftModulus = kScrambleKey % 16 + 16;

// The shift of the character at position j of line n.
uint32_t lineShift(uint64_t n, uint64_t j) {
    const uint64_t s = (n * n) % 16 + (j * j + 16 * n + 32) / 15 + 16;
    return static_cast<uint32_t>(s % kShiftModulus);
}

bool scrambles(unsigned char c) { return c >= 32 && c <= 122; }

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// Copies [begin, end) into out when out is given; too long gives an empty
// part and false. A part nobody asked for always fits.
bool copyPart(const char* begin, const char* end, char* out) {
    if (!out) return true;
    const size_t n = static_cast<size_t>(end - begin);
    const bool fits = n <= kMaxPathChars;
    const size_t kept = fits ? n : 0;
    std::memcpy(out, begin, kept);
    out[kept] = '\0';
    return fits;
}

}  // namespace

FILE* openTracked(const char* path, int modeKind, int append) {
#if defined(_WIN32)
    const char* const appendMode = "at";
    const char* const writeMode = "wt";
#else
    const char* const appendMode = "a";
    const char* const writeMode = "w";
#endif
    const char* mode = nullptr;
    if (modeKind == 1) {
        mode = kReadTextMode;
    } else if (modeKind == 2 || modeKind == 4) {
        mode = append == 3 ? appendMode : writeMode;
    }
    if (!path || !mode) return nullptr;
    FILE* stream = std::fopen(path, mode);
    if (!stream) return nullptr;
    // Without memory for the entry the stream is still usable, just not unscrambled.
    if (TrackedEntry* entry = new (std::nothrow) TrackedEntry{stream, 0, trackedFiles})
        trackedFiles = entry;
    return stream;
}

char* readScrambledLine(char* buffer, int size, FILE* stream) {
    if (!buffer || size < 2 || !stream) return nullptr;
    if (!std::fgets(buffer, size, stream)) return nullptr;
    if (TrackedEntry* entry = findTracked(stream))
        unscrambleLine(buffer, std::strlen(buffer), entry->lineCounter++);
    return buffer;
}

void closeTracked(FILE* stream) {
    if (!stream) return;
    for (TrackedEntry** link = &trackedFiles; *link; link = &(*link)->next) {
        if ((*link)->stream == stream) {
            TrackedEntry* gone = *link;
            *link = gone->next;
            delete gone;
            break;
        }
    }
    std::fclose(stream);
}

void unscrambleLine(char* line, size_t length, uint64_t lineNumber) {
    for (size_t j = 0; j < length; ++j) {
        const unsigned char c = static_cast<unsigned char>(line[j]);
        if (!scrambles(c)) continue;
        unsigned int plain = c - lineShift(lineNumber, j);
        if (plain < 32) plain += 91;
        line[j] = static_cast<char>(plain);
    }
}

void scrambleLine(char* line, size_t length, uint64_t lineNumber) {
    for (size_t j = 0; j < length; ++j) {
        const unsigned char c = static_cast<unsigned char>(line[j]);
        if (!scrambles(c)) continue;
        unsigned int coded = c + lineShift(lineNumber, j);
        if (coded > 122) coded -= 91;
        line[j] = static_cast<char>(coded);
    }
}

bool scrambleStream(FILE* in, FILE* out, size_t width) {
    if (!in || !out || width == 0) return false;
    char* piece = new (std::nothrow) char[width];
    if (!piece) return false;
    uint64_t lineNumber = 0;
    bool ok = true;
    for (;;) {
        size_t n = 0;
        int c = 0;
        while (n < width && (c = std::getc(in)) != EOF) {
            piece[n++] = static_cast<char>(c);
            if (c == '\n') break;
        }
        if (n == 0) break;
        // The reader sees a C string: what follows a NUL byte stays as it is.
        const void* nul = std::memchr(piece, '\0', n);
        const size_t length = nul ? static_cast<size_t>(static_cast<const char*>(nul) - piece) : n;
        scrambleLine(piece, length, lineNumber++);
        if (std::fwrite(piece, 1, n, out) != n) {
            ok = false;
            break;
        }
    }
    delete[] piece;
    return ok && !std::ferror(in) && std::fflush(out) == 0;
}

void toLowerAscii(char* s) {
    for (; s && *s; ++s)
        if (*s >= 'A' && *s <= 'Z') *s = static_cast<char>(*s - 'A' + 'a');
}

void toUpperAscii(char* s) {
    for (; s && *s; ++s)
        if (*s >= 'a' && *s <= 'z') *s = static_cast<char>(*s - 'a' + 'A');
}

void normaliseBlanks(char* s) {
    if (!s) return;
    char* out = s;
    bool pendingBlank = false;
    for (const char* in = s; *in; ++in) {
        if (isBlank(*in)) {
            pendingBlank = out != s;
            continue;
        }
        if (pendingBlank) *out++ = ' ';
        pendingBlank = false;
        *out++ = *in;
    }
    *out = '\0';
}

bool splitPath(const char* path, char* drive, char* directory, char* name, char* extension) {
    if (!path) path = "";
    const char* p = path;
    const char* rest = path;
    for (; *p && !isSeparator(*p); ++p) {
        if (*p == ':') {
            rest = p + 1;
            break;
        }
    }
    const char* end = rest + std::strlen(rest);
    const char* nameBegin = rest;
    for (const char* q = rest; q < end; ++q)
        if (isSeparator(*q)) nameBegin = q + 1;
    const char* dot = end;
    for (const char* q = nameBegin; q < end; ++q)
        if (*q == '.') dot = q;
    bool fits = copyPart(path, rest, drive);
    fits = copyPart(rest, nameBegin, directory) && fits;
    fits = copyPart(nameBegin, dot, name) && fits;
    fits = copyPart(dot, end, extension) && fits;
    return fits;
}

bool makePath(char* out, const char* drive, const char* directory, const char* name,
              const char* extension) {
    if (!out) return false;
    size_t used = 0;
    out[0] = '\0';
    // Appends whole pieces only: a path cut in the middle of a name would name another file.
    auto put = [&](const char* piece, size_t n) {
        if (used + n > kMaxPathChars) return false;
        std::memcpy(out + used, piece, n);
        used += n;
        out[used] = '\0';
        return true;
    };
    const char separator[] = {kSeparator};
    const char dot[] = {'.'};
    if (drive && *drive && !put(drive, std::strlen(drive))) return false;
    if (directory && *directory) {
        const size_t n = std::strlen(directory);
        if (!put(directory, n)) return false;
        if (!isSeparator(directory[n - 1]) && !put(separator, 1)) return false;
    }
    if (name && *name && !put(name, std::strlen(name))) return false;
    if (extension && *extension) {
        if (*extension != '.' && !put(dot, 1)) return false;
        if (!put(extension, std::strlen(extension))) return false;
    }
    return true;
}

bool parseDouble(const char* s, double* value, const char** end) {
    if (!s) return false;
    char* stop = nullptr;
    const double v = std::strtod(s, &stop);
    if (stop == s || !std::isfinite(v)) return false;
    if (value) *value = v;
    if (end) *end = stop;
    return true;
}

bool parseInt32(const char* s, int32_t* value) {
    if (!s) return false;
    char* stop = nullptr;
    errno = 0;
    const long long v = std::strtoll(s, &stop, 0);
    if (stop == s || errno == ERANGE || v < INT32_MIN || v > INT32_MAX) return false;
    if (value) *value = static_cast<int32_t>(v);
    return true;
}

}  // namespace tessel
