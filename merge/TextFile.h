// The merging library's text-file layer: model configuration and study files
// are read through tracked streams whose lines are unscrambled as they are
// read, and the file names they hold are made relative to the configuration's
// folder by the path functions below. The helpers for blanks, case and numbers
// are shared by every reader of the library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace tessel {

// The key constant of the line scrambling.
constexpr uint32_t kScrambleKey = 5237;
// fopen mode of a text stream for reading ("t" is Windows' own letter).
#if defined(_WIN32)
constexpr const char* kReadTextMode = "rt";
#else
constexpr const char* kReadTextMode = "r";
#endif
// The longest path part and path the library builds (the Windows limit).
constexpr size_t kMaxPathChars = 260;

// Opens a stream and enters it into the tracked list with line counter 0.
// modeKind 1 reads in text mode ("rt"); 2 and 4 write in text mode ("at" when
// append is 3, else "wt"); other kinds open nothing. Returns the stream or null.
FILE* openTracked(const char* path, int modeKind, int append);
// Reads one line as fgets does (at most size - 1 characters, newline kept);
// null at end of file. A tracked stream's line is unscrambled with its counter,
// which then counts on; a line longer than the buffer comes in pieces and each
// piece counts as a line.
char* readScrambledLine(char* buffer, int size, FILE* stream);
// Removes the stream from the tracked list and closes it.
void closeTracked(FILE* stream);

// Unscrambles (scrambles) the first `length` characters of a line read as the
// `lineNumber`-th (0-based) of its stream. Characters outside 32..122 stay;
// the others are rotated within 32..122, so each is the other's inverse.
void unscrambleLine(char* line, size_t length, uint64_t lineNumber);
void scrambleLine(char* line, size_t length, uint64_t lineNumber);
// The longest line piece the model configuration reader and the study file
// reader take (their buffers hold one more character); a file must be
// scrambled with its reader's width.
constexpr size_t kConfigLineChars = 519;
constexpr size_t kStudyLineChars = 249;
// Copies a plain text stream to a scrambled one, reading lines in pieces of at
// most `width` characters as a reader with a buffer of width + 1 would (see
// kConfigLineChars and kStudyLineChars). False when reading or writing fails.
bool scrambleStream(FILE* in, FILE* out, size_t width);

// 'A'..'Z' to 'a'..'z' (and back) in place; no other byte is touched.
void toLowerAscii(char* s);
void toUpperAscii(char* s);
inline bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }
// White space in the C locale (blank, tab, line feed, vertical tab, form feed, return).
inline bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
// Drops leading and trailing white space and turns every inner run into one blank.
void normaliseBlanks(char* s);

// Splits a path into drive (up to the first ':' before any separator),
// directory (up to the last separator, kept), name and extension (from the
// last '.' after the last separator). Each output may be null and must hold
// kMaxPathChars + 1 bytes; a part longer than kMaxPathChars is returned empty,
// and the result is then false (parts not asked for are not checked). Both
// '\\' and '/' separate folders.
bool splitPath(const char* path, char* drive, char* directory, char* name, char* extension);
// Joins the parts into `out` (kMaxPathChars + 1 bytes), adding a separator
// after a directory that lacks one and '.' before an extension that lacks it.
// Whatever would pass kMaxPathChars is left off; the result is then false.
bool makePath(char* out, const char* drive, const char* directory, const char* name,
              const char* extension);

// Reads a number at the start of s as "%lg" would, leaving the rest; false
// when none is there or it is not finite. *end receives where it stopped.
bool parseDouble(const char* s, double* value, const char** end = nullptr);
// Reads a 32-bit integer as "%i" would (decimal, 0x hexadecimal or 0 octal);
// false when none is there or it does not fit.
bool parseInt32(const char* s, int32_t* value);

// Closes a stream opened by openTracked when it leaves scope.
class TrackedFile {
  public:
    explicit TrackedFile(FILE* stream) : stream_(stream) {}
    ~TrackedFile() { closeTracked(stream_); }
    TrackedFile(const TrackedFile&) = delete;
    TrackedFile& operator=(const TrackedFile&) = delete;
    FILE* get() const { return stream_; }

  private:
    FILE* stream_;
};

}  // namespace tessel
