#include "WinRecWordList.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "core/Trace.h"
#include "xml/XMLPlatform.h"

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
};

// True only when the file is surely not there. A file that exists but cannot
// be opened (another program holds it, reading is denied) is not missing.
bool isMissing(const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The whole file as it goes to disk: the stamp, then one word a line, CR LF
// line ends (what text mode writes).
bool fileBytes(const std::vector<std::wstring>& words, std::string& out) {
    out = kStamp;
    out += "\r\n";
    for (const std::wstring& w : words) {
        if (w.empty()) continue;
        std::string line;
        if (!toCodePage(w, line)) {
            debugTrace(L"Save WinRec dict: word not representable in the code page\n");
            return false;
        }
        out += line;
        out += "\r\n";
    }
    return true;
}

}  // namespace

bool LoadWinRecDictFromFile(const std::wstring& path, std::vector<std::wstring>& words,
                            bool mayBeMissing) {
    words.clear();
    File file;
    if (_wfopen_s(&file.f, path.c_str(), L"rt") != 0 || !file.f) {
        if (mayBeMissing && isMissing(path)) return true;
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
    // Everything is converted first: a word that cannot be written leaves the
    // file as it is.
    std::string bytes;
    if (!fileBytes(words, bytes)) return false;
    if (backupExtension && *backupExtension && !isMissing(path)) {
        // The backup is a copy: the file itself stays in place until its
        // replacement is complete.
        const std::wstring backup = path + backupExtension;
        DeleteFileW(backup.c_str());
        if (!CopyFileW(path.c_str(), backup.c_str(), FALSE))
            debugTrace(L"Save WinRec dict: no backup %s\n", backup.c_str());
    }
    // The new file replaces the old one only once it is written whole; on any
    // failure the old one stays untouched.
    if (xmlReplaceFile(path.c_str(), bytes.data(), bytes.size())) return true;
    debugTrace(L"Save WinRec dict: _tfopen_s FAILED\n");
    return false;
}
