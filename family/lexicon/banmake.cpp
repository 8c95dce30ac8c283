// banmake: makes a ".ban" lexicon (see BanFormat.h) from a plain word list,
// or lists the words of one. One portable source: every build tree compiles it
// with the build host's compiler and runs it there.
//
//   banmake [options] <word list> <out.ban>
//   banmake [options] --empty <out.ban>        a lexicon without words
//   banmake --list <file.ban>                  prints the words, one a line
//
// Options:
//   --words-only          a word must come from the lexicon or a user dictionary
//   --numbers             the recognizer reads digits and number signs only (the
//                         character set becomes 0-9 + - . , : / % $ ( ) # * = unless given)
//   --charset <chars>     the characters a word may hold (UTF-8)
//   --skip-possessives    leave out words ending in "'s"
//   --min-length <n>      leave out shorter words
//
// The word list is UTF-8 text (a byte that is not UTF-8 is taken as code page
// 1252), one word a line; blank lines are skipped. Words the lexicon's code
// page 1252 cannot hold are left out and counted.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BanFormat.h"

namespace {

// Decodes one UTF-8 sequence at s[i]; a byte that does not start a valid
// sequence is taken alone as code page 1252.
uint32_t decodeOne(const std::string& s, size_t& i) {
    const unsigned char c = s[i];
    int len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (len > 1 && i + len <= s.size()) {
        uint32_t cp = c & (0x7F >> len);
        bool ok = true;
        for (int k = 1; k < len && ok; ++k) {
            const unsigned char d = s[i + k];
            ok = (d & 0xC0) == 0x80;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (ok) {
            i += len;
            return cp;
        }
    }
    ++i;
    return len == 1 ? c : ban::cp1252ToUnicode(c);
}

// UTF-8 text to 1252 bytes; false when a character has no 1252 byte.
bool utf8To1252(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size();) {
        const int b = ban::unicodeToCp1252(decodeOne(in, i));
        if (b < 0) return false;
        out += static_cast<char>(b);
    }
    return true;
}

void put1252AsUtf8(const std::string& w, std::FILE* f) {
    for (unsigned char c : w) {
        const uint32_t cp = ban::cp1252ToUnicode(c);
        if (cp < 0x80) {
            std::fputc(static_cast<int>(cp), f);
        } else if (cp < 0x800) {
            std::fputc(0xC0 | (cp >> 6), f);
            std::fputc(0x80 | (cp & 0x3F), f);
        } else {
            std::fputc(0xE0 | (cp >> 12), f);
            std::fputc(0x80 | ((cp >> 6) & 0x3F), f);
            std::fputc(0x80 | (cp & 0x3F), f);
        }
    }
    std::fputc('\n', f);
}

bool readFile(const char* path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

int usage() {
    std::fprintf(
        stderr,
        "usage: banmake [--words-only] [--numbers] [--charset CHARS] [--skip-possessives]\n"
        "               [--min-length N] (<word list> | --empty) <out.ban>\n"
        "       banmake --list <file.ban>\n");
    return 2;
}

int list(const char* path) {
    std::string bytes, error;
    ban::Lexicon lex;
    if (!readFile(path, bytes)) {
        std::fprintf(stderr, "banmake: cannot read %s\n", path);
        return 1;
    }
    if (!ban::parse(bytes.data(), bytes.size(), lex, error)) {
        std::fprintf(stderr, "banmake: %s: %s\n", path, error.c_str());
        return 1;
    }
    for (const std::string& w : lex.words) put1252AsUtf8(w, stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    ban::Lexicon lex;
    bool empty = false, skipPossessives = false;
    size_t minLength = 1;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--list" && i + 1 < argc) return list(argv[i + 1]);
        if (a == "--words-only") {
            lex.flags |= ban::kFlagWordsOnly;
        } else if (a == "--numbers") {
            lex.flags |= ban::kFlagNumbers;
        } else if (a == "--charset" && i + 1 < argc) {
            if (!utf8To1252(argv[++i], lex.charset)) {
                std::fprintf(stderr, "banmake: the character set is not in code page 1252\n");
                return 1;
            }
        } else if (a == "--skip-possessives") {
            skipPossessives = true;
        } else if (a == "--min-length" && i + 1 < argc) {
            minLength = std::strtoul(argv[++i], nullptr, 10);
        } else if (a == "--empty") {
            empty = true;
        } else if (!a.empty() && a[0] == '-') {
            return usage();
        } else {
            files.push_back(argv[i]);
        }
    }
    if (files.size() != (empty ? 1u : 2u)) return usage();
    if ((lex.flags & ban::kFlagNumbers) && lex.charset.empty())
        lex.charset = "0123456789+-.,:/%$()#*=";

    size_t unrepresentable = 0, skipped = 0;
    if (!empty) {
        std::string text;
        if (!readFile(files[0], text)) {
            std::fprintf(stderr, "banmake: cannot read %s\n", files[0]);
            return 1;
        }
        size_t pos = 0;
        while (pos < text.size()) {
            size_t end = text.find('\n', pos);
            if (end == std::string::npos) end = text.size();
            std::string line = text.substr(pos, end - pos);
            pos = end + 1;
            while (!line.empty() &&
                   (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
                line.pop_back();
            size_t lead = 0;
            while (lead < line.size() && (line[lead] == ' ' || line[lead] == '\t')) ++lead;
            line.erase(0, lead);
            if (line.empty()) continue;
            std::string word;
            if (!utf8To1252(line, word)) {
                ++unrepresentable;
                continue;
            }
            const bool possessive = word.size() > 2 && word.compare(word.size() - 2, 2, "'s") == 0;
            if ((skipPossessives && possessive) || word.size() < minLength) {
                ++skipped;
                continue;
            }
            lex.words.push_back(word);
        }
    }
    size_t invalid = 0;
    const std::vector<uint8_t> bytes = ban::build(lex, &invalid);
    const char* outPath = files.back();
    std::FILE* f = std::fopen(outPath, "wb");
    bool written = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f && std::fclose(f) != 0) written = false;
    if (!written) {
        std::fprintf(stderr, "banmake: cannot write %s\n", outPath);
        std::remove(outPath);
        return 1;
    }
    ban::Lexicon check;
    std::string error;
    ban::parse(bytes.data(), bytes.size(), check, error);
    std::printf(
        "banmake: %s: %zu words, %zu bytes (%zu skipped, %zu not in code page 1252, "
        "%zu unusable)\n",
        outPath, check.words.size(), bytes.size(), skipped, unrepresentable, invalid);
    return 0;
}
