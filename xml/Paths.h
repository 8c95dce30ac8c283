// File and path helpers of the XML library (Windows): attributes, copying and
// moving, current and full paths, file-name cleaning, path splitting, folder
// creation, directory enumeration and whole-file writing. Paths are limited to
// MAX_PATH (260) characters where the Windows path functions need it.
#pragma once

#include <windows.h>

#include <cstddef>

#include "xml/File.h"
#include "xml/XMLChar.h"
#include "xml/XMLPlatform.h"  // fileExists

bool isDirectory(const xchar* path);
// Holds '*' or '?'.
bool hasWildcards(const xchar* path);
// Case-insensitive comparison.
bool pathsEqual(const xchar* a, const xchar* b);

bool deleteFile(const xchar* path);
bool copyFile(const xchar* source, const xchar* target, bool failIfExists);
// Without failIfExists an existing target file is deleted first (a failed
// delete fails the move).
bool moveFile(const xchar* source, const xchar* target, bool failIfExists);

bool currentDirectory(XString& out);
bool currentDirectory(xchar* buffer, size_t capacity);
bool fullPath(const xchar* path, XString& out);
bool fullPath(const xchar* path, xchar* buffer, size_t capacity);

// Every character below 32 becomes a space, each of <>:"/\|?* is removed, and
// the result is trimmed.
XString makeValidFileName(const xchar* text);

// The file-name part; a text that is only a file name is left as it is and
// reported false.
bool pathFileName(const xchar* path, XString& out);
// The folder part (PathRemoveFileSpecW).
bool pathFolder(const xchar* path, XString& out);
bool pathWithoutExtension(const xchar* path, XString& out);
// Removes the extension, then appends the new one when given.
bool pathReplaceExtension(const xchar* path, const xchar* extension, XString& out);
bool pathWithoutBackslash(const xchar* path, XString& out);
// GetFileTitleW.
bool fileTitle(const xchar* path, XString& out);
// The file-name part as a new string.
XString fileNameOf(const xchar* path);

// Appends '\' unless the path is non-empty and ends with '\' or '/'; true when
// it appended.
bool addTrailingBackslash(XString& path);
// Creates every missing folder of the path's folder part; also true when the
// folder exists already.
bool createFolderOf(const xchar* path);

// Creates or replaces the file (write access, no sharing) and writes the bytes.
bool writeWholeFile(const xchar* path, const void* bytes, size_t size);

// Enumerates the files matching a pattern ("*.*" when null).
class CFileFinder {
  public:
    CFileFinder() = default;
    ~CFileFinder() { close(); }
    CFileFinder(const CFileFinder&) = delete;
    CFileFinder& operator=(const CFileFinder&) = delete;

    bool first(const xchar* pattern);
    bool next();
    void close();
    const xchar* fileName() const { return m_data.cFileName; }
    const xchar* alternateName() const { return m_data.cAlternateFileName; }
    bool isDirectory() const { return (m_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // Folder of the pattern + separator + name; false when it does not fit.
    bool fullPath(xchar* buffer, size_t capacity) const;
    DWORD lastError() const { return m_lastError; }

  private:
    HANDLE m_find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW m_data{};
    XString m_folder;
    xchar m_separator = L'\\';
    DWORD m_lastError = 0;
};
