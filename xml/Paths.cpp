#include "xml/Paths.h"

#include <commdlg.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace {

// A copy of the path in a MAX_PATH buffer for the in-place path functions.
bool copyPath(const xchar* path, wchar_t (&buffer)[MAX_PATH]) {
    const size_t n = xstrlen(path);
    if (!path || n >= MAX_PATH) return false;
    lstrcpynW(buffer, path, MAX_PATH);
    return true;
}

}  // namespace

bool fileExists(const xchar* path, bool filesOnly) {
    if (!path) return false;
    const DWORD a = GetFileAttributesW(path);
    if (a == INVALID_FILE_ATTRIBUTES) return false;
    return !filesOnly || !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool isDirectory(const xchar* path) {
    if (!path) return false;
    const DWORD a = GetFileAttributesW(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool hasWildcards(const xchar* path) {
    for (const xchar* p = path; p && *p; ++p)
        if (*p == L'*' || *p == L'?') return true;
    return false;
}

bool pathsEqual(const xchar* a, const xchar* b) { return a && b && lstrcmpiW(a, b) == 0; }

bool deleteFile(const xchar* path) { return path && DeleteFileW(path); }

bool copyFile(const xchar* source, const xchar* target, bool failIfExists) {
    return source && target && CopyFileW(source, target, failIfExists);
}

bool moveFile(const xchar* source, const xchar* target, bool failIfExists) {
    if (!source || !target) return false;
    if (!failIfExists && fileExists(target, true) && !DeleteFileW(target)) return false;
    return MoveFileW(source, target) != FALSE;
}

bool currentDirectory(xchar* buffer, size_t capacity) {
    if (!buffer || !capacity) return false;
    const DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(capacity), buffer);
    return n && n < capacity;
}

bool currentDirectory(XString& out) {
    wchar_t buffer[MAX_PATH];
    if (!currentDirectory(buffer, MAX_PATH)) return false;
    out = buffer;
    return true;
}

bool fullPath(const xchar* path, xchar* buffer, size_t capacity) {
    if (!path || !buffer || !capacity) return false;
    const DWORD n = GetFullPathNameW(path, static_cast<DWORD>(capacity), buffer, nullptr);
    return n && n < capacity;
}

bool fullPath(const xchar* path, XString& out) {
    wchar_t buffer[MAX_PATH];
    if (!fullPath(path, buffer, MAX_PATH)) return false;
    out = buffer;
    return true;
}

XString makeValidFileName(const xchar* text) {
    XString out;
    for (const xchar* p = text; p && *p; ++p) {
        const xchar c = *p;
        if (c < 32)
            out.push_back(L' ');
        else if (!wcschr(L"<>:\"/\\|?*", c))
            out.push_back(c);
    }
    return xmlTrim(out);
}

bool pathFileName(const xchar* path, XString& out) {
    wchar_t buffer[MAX_PATH];
    if (!copyPath(path, buffer)) return false;
    const wchar_t* name = PathFindFileNameW(buffer);
    out = name;
    return name != buffer;
}

bool pathFolder(const xchar* path, XString& out) {
    wchar_t buffer[MAX_PATH];
    if (!copyPath(path, buffer)) return false;
    PathRemoveFileSpecW(buffer);
    out = buffer;
    return true;
}

bool pathWithoutExtension(const xchar* path, XString& out) {
    wchar_t buffer[MAX_PATH];
    if (!copyPath(path, buffer)) return false;
    PathRemoveExtensionW(buffer);
    out = buffer;
    return true;
}

bool pathReplaceExtension(const xchar* path, const xchar* extension, XString& out) {
    if (!pathWithoutExtension(path, out)) return false;
    if (extension && *extension) {
        if (out.size() + xstrlen(extension) >= MAX_PATH) return false;
        out += extension;
    }
    return true;
}

bool pathWithoutBackslash(const xchar* path, XString& out) {
    wchar_t buffer[MAX_PATH];
    if (!copyPath(path, buffer)) return false;
    PathRemoveBackslashW(buffer);
    out = buffer;
    return true;
}

bool fileTitle(const xchar* path, XString& out) {
    wchar_t buffer[MAX_PATH];
    if (!path || GetFileTitleW(path, buffer, MAX_PATH) != 0) return false;
    out = buffer;
    return true;
}

XString fileNameOf(const xchar* path) {
    XString name;
    pathFileName(path, name);
    return name;
}

bool addTrailingBackslash(XString& path) {
    if (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) return false;
    path.push_back(L'\\');
    return true;
}

bool createFolderOf(const xchar* path) {
    XString folder;
    if (!pathFolder(path, folder) || folder.empty()) return false;
    if (folder.size() > MAX_PATH - 1) folder.resize(MAX_PATH - 1);
    wchar_t full[MAX_PATH];
    if (!fullPath(folder.c_str(), full, MAX_PATH)) return false;
    const int r = SHCreateDirectoryExW(nullptr, full, nullptr);
    return r == ERROR_SUCCESS || r == ERROR_FILE_EXISTS || r == ERROR_ALREADY_EXISTS;
}

bool writeWholeFile(const xchar* path, const void* bytes, size_t size) {
    CFile file;
    if (!file.open(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL)) return false;
    DWORD written = 0;
    return size == 0 || file.write(bytes, static_cast<DWORD>(size), &written);
}

bool CFileFinder::first(const xchar* pattern) {
    close();
    if (!pattern) pattern = L"*.*";
    m_find = FindFirstFileW(pattern, &m_data);
    if (m_find == INVALID_HANDLE_VALUE) {
        m_lastError = GetLastError();
        return false;
    }
    wchar_t full[MAX_PATH];
    if (!::fullPath(pattern, full, MAX_PATH)) {
        close();
        m_lastError = ERROR_INVALID_NAME;
        return false;
    }
    m_folder = full;
    const size_t back = m_folder.rfind(L'\\'), slash = m_folder.rfind(L'/');
    size_t cut = back;
    m_separator = L'\\';
    if (slash != XString::npos && (back == XString::npos || slash > back)) {
        cut = slash;
        m_separator = L'/';
    }
    m_folder.resize(cut == XString::npos ? 0 : cut);
    m_lastError = 0;
    return true;
}

bool CFileFinder::next() {
    if (m_find == INVALID_HANDLE_VALUE) return false;
    if (!FindNextFileW(m_find, &m_data)) {
        m_lastError = GetLastError();
        return false;
    }
    return true;
}

void CFileFinder::close() {
    if (m_find != INVALID_HANDLE_VALUE) FindClose(m_find);
    m_find = INVALID_HANDLE_VALUE;
}

bool CFileFinder::fullPath(xchar* buffer, size_t capacity) const {
    XString path = m_folder;
    if (path.empty() || (path.back() != L'\\' && path.back() != L'/')) path.push_back(m_separator);
    path += m_data.cFileName;
    if (path.size() + 1 > capacity) return false;
    lstrcpynW(buffer, path.c_str(), static_cast<int>(capacity));
    return true;
}
