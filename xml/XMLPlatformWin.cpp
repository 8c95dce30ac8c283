// The platform seam of the XML library on Windows.
#include <windows.h>

#include <string>

#include "xml/Paths.h"
#include "xml/XMLFileStream.h"
#include "xml/XMLPlatform.h"
#include "xml/XMLString.h"
#include "xml/XMLValues.h"

bool xmlOpenFileStream(const xchar* path, std::unique_ptr<IXMLStream>& stream, XString& errorText) {
    auto file = std::make_unique<CXMLFileStream>();
    if (!file->open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) {
        errorText = file->errorText();
        return false;
    }
    stream = std::move(file);
    return true;
}

namespace {

// The attributes a file may carry that its replacement should carry too.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

bool writeAll(CFile& file, const void* bytes, size_t size) {
    DWORD n = 0;
    return size == 0 || file.write(bytes, static_cast<DWORD>(size), &n);
}

// Makes a new file of a fresh name in the folder; false with the error when
// none can be made there.
bool createNewFileBeside(const XString& folder, CFile& file, XString& name, DWORD& error) {
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t leaf[40];
        _snwprintf(leaf, 40, L"\\sx%04lx%04lx.tmp", GetCurrentProcessId() & 0xFFFF,
                   static_cast<unsigned long>(InterlockedIncrement(&counter)) & 0xFFFF);
        leaf[39] = L'\0';
        name = folder + leaf;
        if (file.open(name.c_str(), GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL))
            return true;
        error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

// Whether another program holds the file so that it cannot be replaced now.
// Asked first, because a failed replacement can leave a file of its own.
bool canReplace(const xchar* path) {
    HANDLE file = CreateFileW(path, GENERIC_READ | DELETE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// Where no new file can be made beside the old one (a folder that lets files
// be changed but not created), the old file is rewritten in place. Its bytes
// are kept first, in memory and as a copy in the temporary folder, and written
// back when the new ones cannot be written whole.
bool rewriteInPlace(const xchar* path, const void* bytes, size_t size) {
    CFile file;
    if (!file.open(path, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL))
        return false;
    uint64_t oldSize = 0;
    if (!file.getSize64(&oldSize) || oldSize > 0x7FFFFFFFu) return false;
    std::string old(static_cast<size_t>(oldSize), '\0');
    DWORD got = 0;
    if (oldSize && (!file.read(&old[0], static_cast<DWORD>(oldSize), &got) || got != oldSize))
        return false;

    wchar_t copy[MAX_PATH] = L"";
    wchar_t tempFolder[MAX_PATH];
    const DWORD n = GetTempPathW(MAX_PATH, tempFolder);
    bool copied = n > 0 && n < MAX_PATH && GetTempFileNameW(tempFolder, L"sx", 0, copy) &&
                  CopyFileW(path, copy, FALSE);
    if (!copied && copy[0]) DeleteFileW(copy);

    bool written = file.seek64(0, FILE_BEGIN, nullptr) && writeAll(file, bytes, size) &&
                   file.setEnd() && file.flush();
    if (!written) {
        const bool restored = file.seek64(0, FILE_BEGIN, nullptr) &&
                              writeAll(file, old.data(), old.size()) && file.setEnd() &&
                              file.flush();
        if (!restored && copied) {
            xmlDebugOutput(L"xmlReplaceFile: the old file could not be put back; its copy is ");
            xmlDebugOutput(copy);
            xmlDebugOutput(L"\n");
            return false;
        }
    }
    if (copied) DeleteFileW(copy);
    return written;
}

}  // namespace

bool xmlReplaceFile(const xchar* path, const void* bytes, size_t size) {
    if (!path || !*path || size > 0xFFFFFFFFu) return false;
    // The new file is made beside the old one, so that replacing the old file
    // stays on one volume and happens in one step.
    XString folder;
    if (!pathFolder(path, folder)) return false;
    if (folder.empty()) folder = L".";
    const DWORD oldAttributes = GetFileAttributesW(path);
    const bool oldFile =
        oldAttributes != INVALID_FILE_ATTRIBUTES && !(oldAttributes & FILE_ATTRIBUTE_DIRECTORY);

    XString temp;
    bool written = false;
    {
        CFile file;
        DWORD error = 0;
        if (!createNewFileBeside(folder, file, temp, error)) {
            if (oldFile && (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT))
                return rewriteInPlace(path, bytes, size);
            return false;
        }
        written = writeAll(file, bytes, size) && file.flush();
    }
    if (written) {
        if (!oldFile) {
            if (MoveFileExW(temp.c_str(), path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
                return true;
        } else if (canReplace(path) &&
                   ReplaceFileW(path, temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                                nullptr, nullptr)) {
            // The system keeps the replaced file's attributes; not every one does.
            if ((GetFileAttributesW(path) & kKeptAttributes) != (oldAttributes & kKeptAttributes))
                SetFileAttributesW(path, (oldAttributes & kKeptAttributes)
                                             ? (oldAttributes & kKeptAttributes)
                                             : FILE_ATTRIBUTE_NORMAL);
            return true;
        }
    }
    DeleteFileW(temp.c_str());
    return false;
}

void xmlDebugOutput(const xchar* text) { OutputDebugStringW(text); }

XString xmlNarrowToWide(const char* text) {
    if (!text || !*text) return XString();
    const int n = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return XString();
    XString out(static_cast<size_t>(n - 1), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, &out[0], n);
    return out;
}

std::string xmlWideToNarrow(const XString& text) {
    if (text.empty()) return std::string();
    const int n =
        WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

namespace {

bool toSystemTime(double value, SYSTEMTIME& st) {
    unsigned y, mo, d, h, mi, s;
    if (!xmlDateToParts(value, y, mo, d, h, mi, s)) return false;
    st = SYSTEMTIME{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    return true;
}

bool fromSystemTime(const SYSTEMTIME& st, double& value) {
    return xmlDateFromParts(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, value);
}

}  // namespace

bool xmlUtcToLocal(double utc, double& local) {
    SYSTEMTIME u, l;
    return toSystemTime(utc, u) && SystemTimeToTzSpecificLocalTime(nullptr, &u, &l) &&
           fromSystemTime(l, local);
}

bool xmlLocalToUtc(double local, double& utc) {
    SYSTEMTIME l, u;
    return toSystemTime(local, l) && TzSpecificLocalTimeToSystemTime(nullptr, &l, &u) &&
           fromSystemTime(u, utc);
}
