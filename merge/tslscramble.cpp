// tslscramble: scrambles plain text files into the form in which the merging
// library reads its model configuration and study files.
//
//   tslscramble [-w WIDTH] PLAIN SCRAMBLED [[-w WIDTH] PLAIN SCRAMBLED ...]
//
// The reader unscrambles a file line by line, each line by its number, and
// reads a line longer than its buffer in pieces that count as lines of their
// own; WIDTH is the reader's longest piece: 519 (the default) for a model
// configuration, 249 for a study file, whose lines must stay within it. A -w
// applies to the files after it.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "TextFile.h"

namespace {

int usage() {
    std::fprintf(
        stderr, "usage: tslscramble [-w WIDTH] PLAIN SCRAMBLED [[-w WIDTH] PLAIN SCRAMBLED ...]\n");
    return 2;
}

bool scrambleFile(const char* plainPath, const char* scrambledPath, size_t width) {
    // Read as the library reads (text mode), write the bytes as they are.
    FILE* in = std::fopen(plainPath, tessel::kReadTextMode);
    if (!in) {
        std::fprintf(stderr, "tslscramble: cannot open %s\n", plainPath);
        return false;
    }
    FILE* out = std::fopen(scrambledPath, "wb");
    if (!out) {
        std::fprintf(stderr, "tslscramble: cannot create %s\n", scrambledPath);
        std::fclose(in);
        return false;
    }
    bool ok = tessel::scrambleStream(in, out, width);
    std::fclose(in);
    ok = std::fclose(out) == 0 && ok;
    if (!ok) {
        std::fprintf(stderr, "tslscramble: failed to write %s\n", scrambledPath);
        std::remove(scrambledPath);
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    size_t width = tessel::kConfigLineChars;
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-w") == 0) {
            char* end = nullptr;
            const long w = i + 1 < argc ? std::strtol(argv[++i], &end, 10) : 0;
            if (!end || *end || w < 1 || w > 65535) return usage();
            width = static_cast<size_t>(w);
            continue;
        }
        if (i + 1 >= argc) return usage();
        if (!scrambleFile(argv[i], argv[i + 1], width)) return 1;
        ++i;
        ++files;
    }
    return files > 0 ? 0 : usage();
}
