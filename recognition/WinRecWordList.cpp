#include "WinRecWordList.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/Trace.h"

namespace {

const char kStamp[] = "WinRec wordlist Version 1.0";

// Every read takes at most 255 characters, so a longer line comes back in pieces.
constexpr int kReadBuffer = 256;

void cutAtLineEnd(char* line) { line[std::strcspn(line, "\r\n")] = '\0'; }

std::wstring fromCodePage(const char* text) {
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return std::wstring();
    std::wstring wide(static_cast<size_t>(n - 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    return wide;
}

// False when the code page has no character for some of the word.
bool toCodePage(const std::wstring& word, std::string& out) {
    BOOL usedDefault = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, word.c_str(), -1, nullptr, 0,
                                nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return false;
    out.assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, word.c_str(), -1, &out[0], n, nullptr,
                        &usedDefault);
    out.resize(static_cast<size_t>(n - 1));
    return !usedDefault;
}

struct File {
    FILE* f = nullptr;
    ~File() {
        if (f) fclose(f);
    }
    bool close() {
        bool ok = f && fclose(f) == 0;
        f = nullptr;
        return ok;
    }
};

bool writeAll(const std::vector<std::wstring>& words, const std::wstring& path) {
    // Convert everything first: a word that cannot be written must not leave a
    // half-written file behind.
    std::vector<std::string> lines;
    for (const std::wstring& w : words) {
        if (w.empty()) continue;
        std::string line;
        if (!toCodePage(w, line)) {
            debugTrace(L"Save WinRec dict: word not representable in the code page\n");
            return false;
        }
        lines.push_back(std::move(line));
    }
    File file;
    if (_wfopen_s(&file.f, path.c_str(), L"wt") != 0 || !file.f) {
        debugTrace(L"Save WinRec dict: _tfopen_s FAILED\n");
        return false;
    }
    if (fputs(kStamp, file.f) < 0 || fputc('\n', file.f) == EOF) {
        debugTrace(L"Save WinRec dict: dict stamp writing FAILED\n");
        return false;
    }
    for (const std::string& line : lines) {
        if (fputs(line.c_str(), file.f) < 0 || fputc('\n', file.f) == EOF) {
            debugTrace(L"Save WinRec dict: word writing FAILED\n");
            return false;
        }
    }
    if (!file.close()) {
        debugTrace(L"Save WinRec dict: closing FAILED\n");
        return false;
    }
    return true;
}

}  // namespace

bool LoadWinRecDictFromFile(const std::wstring& path, std::vector<std::wstring>& words,
                            bool mayBeMissing) {
    words.clear();
    File file;
    if (_wfopen_s(&file.f, path.c_str(), L"rt") != 0 || !file.f) {
        if (mayBeMissing) return true;
        debugTrace(L"Load WinRec dict: _tfopen_s FAILED\n");
        return false;
    }
    char line[kReadBuffer];
    if (!fgets(line, kReadBuffer, file.f)) {
        debugTrace(L"Load WinRec dict: dict stamp reading FAILED\n");
        return false;
    }
    cutAtLineEnd(line);
    if (std::strcmp(line, kStamp) != 0) {
        debugTrace(L"Load WinRec dict: dict stamp checking FAILED\n");
        return false;
    }
    while (fgets(line, kReadBuffer, file.f)) {
        cutAtLineEnd(line);
        if (line[0]) words.push_back(fromCodePage(line));
    }
    if (!feof(file.f)) {
        debugTrace(L"Load WinRec dict: read string FAILED\n");
        words.clear();
        return false;
    }
    return true;
}

bool SaveWinRecDictToFile(const std::vector<std::wstring>& words, const std::wstring& path,
                          const wchar_t* backupExtension) {
    bool backedUp = false;
    std::wstring backup;
    if (backupExtension && *backupExtension) {
        backup = path + backupExtension;
        DeleteFileW(backup.c_str());
        backedUp = MoveFileW(path.c_str(), backup.c_str()) != 0;
    }
    if (writeAll(words, path)) return true;
    if (backedUp) {
        DeleteFileW(path.c_str());
        MoveFileW(backup.c_str(), path.c_str());
    }
    return false;
}
