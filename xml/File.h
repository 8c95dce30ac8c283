// CFile: the XML library's thin file class over the Windows file functions,
// with memory-mapped views, and the small mapping and view holders beside it.
// Every failure keeps the Windows error code and its system message.
#pragma once

#include <windows.h>

#include <cstdint>

#include "xml/XMLChar.h"

// The system message of a Windows error code, without line breaks; empty for
// an unknown code.
XString errorText(DWORD code);

class CFile {
  public:
    CFile();
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Closes any open file, remembers the path, calls CreateFileW.
    bool open(const xchar* path, DWORD access, DWORD share, DWORD creation, DWORD attributes);
    // Closes the handle (if any) and empties the path.
    void close();
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }

    bool read(void* buffer, DWORD size, DWORD* count);
    // A write that succeeds with fewer bytes than asked fails with error 112.
    bool write(const void* buffer, DWORD size, DWORD* count);
    // INVALID_FILE_SIZE on failure.
    DWORD getSize();
    bool getSize64(uint64_t* size);
    // The new position, or INVALID_SET_FILE_POINTER.
    DWORD seek(LONG distance, DWORD origin);
    bool seek64(int64_t distance, DWORD origin, uint64_t* newPosition);
    bool position64(uint64_t* position);
    bool setEnd();
    // Seeks to size from the start, then ends the file there.
    bool setSize(uint64_t size);
    bool flush();

    // Opens the file and maps a view. With write access and a preset mapped
    // size the file is first set to that size; otherwise an empty file fails
    // with error 13. The view starts at the view offset and spans the view
    // length (0: the whole file).
    bool openMapped(const xchar* path, DWORD access, DWORD share, DWORD creation, DWORD attributes);
    // Moves the view on by its length; past the end of the file it fails with
    // error 0, with a view length of 0 with error 13.
    bool mapNextView();
    // Unmaps the view, closes the mapping and the file.
    void closeMapped();

    void setMappedSize(uint64_t size) { m_mappedSize = size; }
    void setViewOffset(uint64_t offset) { m_viewOffset = offset; }
    void setViewLength(SIZE_T length) { m_viewLength = length; }
    void* view() const { return m_view; }
    SIZE_T viewSize() const { return m_viewSize; }
    uint64_t viewOffset() const { return m_viewOffset; }
    uint64_t mappedSize() const { return m_mappedSize; }

    HANDLE handle() const { return m_handle; }
    DWORD lastError() const { return m_lastError; }
    const XString& errorText() const { return m_errorText; }
    const XString& path() const { return m_path; }
    // Keeps the code and replaces the error text by its system message.
    void setError(DWORD code);

  private:
    bool mapView();

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    DWORD m_lastError = 0;
    XString m_errorText;
    XString m_path;
    HANDLE m_mapping = nullptr;
    void* m_view = nullptr;
    uint64_t m_mappedSize = 0;
    DWORD m_viewAccess = 0;
    uint64_t m_viewOffset = 0;
    SIZE_T m_viewLength = 0;
    SIZE_T m_viewSize = 0;
};

// A file mapping over a file or over the page file.
class CFileMapping {
  public:
    CFileMapping() = default;
    ~CFileMapping() { close(); }
    CFileMapping(const CFileMapping&) = delete;
    CFileMapping& operator=(const CFileMapping&) = delete;
    // file INVALID_HANDLE_VALUE maps the page file; a size of 0 maps the whole file.
    bool create(HANDLE file, DWORD protect, uint64_t size, const xchar* name);
    void close();
    HANDLE handle() const { return m_handle; }

  private:
    HANDLE m_handle = nullptr;
};

// A mapped view of a mapping.
class CFileView {
  public:
    CFileView() = default;
    ~CFileView() { unmap(); }
    CFileView(const CFileView&) = delete;
    CFileView& operator=(const CFileView&) = delete;
    bool map(HANDLE mapping, DWORD access, uint64_t offset, SIZE_T size);
    void unmap();
    void* data() const { return m_data; }

  private:
    void* m_data = nullptr;
};

// The system's allocation granularity, and a size rounded up to it.
DWORD allocationGranularity();
uint64_t roundUpToGranularity(uint64_t size);
