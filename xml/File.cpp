#include "xml/File.h"

XString errorText(DWORD code) {
    wchar_t* message = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    XString text;
    for (DWORD i = 0; i < n; ++i)
        if (message[i] != L'\n' && message[i] != L'\r') text.push_back(message[i]);
    if (message) LocalFree(message);
    return text;
}

CFile::CFile() { setError(0); }

CFile::~CFile() {
    closeMapped();
    close();
}

void CFile::setError(DWORD code) {
    m_lastError = code;
    m_errorText = ::errorText(code);
}

bool CFile::open(const xchar* path, DWORD access, DWORD share, DWORD creation, DWORD attributes) {
    close();
    m_path = xstr(path);
    m_handle = CreateFileW(path, access, share, nullptr, creation, attributes, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE) {
        setError(GetLastError());
        return false;
    }
    return true;
}

void CFile::close() {
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
    m_path.clear();
}

bool CFile::read(void* buffer, DWORD size, DWORD* count) {
    DWORD done = 0;
    const BOOL ok = ReadFile(m_handle, buffer, size, &done, nullptr);
    if (count) *count = done;
    if (!ok) setError(GetLastError());
    return ok != FALSE;
}

bool CFile::write(const void* buffer, DWORD size, DWORD* count) {
    DWORD done = 0;
    const BOOL ok = WriteFile(m_handle, buffer, size, &done, nullptr);
    if (count) *count = done;
    if (!ok) {
        setError(GetLastError());
        return false;
    }
    if (done < size) {
        setError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

DWORD CFile::getSize() {
    const DWORD size = GetFileSize(m_handle, nullptr);
    if (size == INVALID_FILE_SIZE) setError(GetLastError());
    return size;
}

bool CFile::getSize64(uint64_t* size) {
    LARGE_INTEGER s;
    if (!GetFileSizeEx(m_handle, &s)) {
        setError(GetLastError());
        return false;
    }
    *size = static_cast<uint64_t>(s.QuadPart);
    return true;
}

DWORD CFile::seek(LONG distance, DWORD origin) {
    const DWORD pos = SetFilePointer(m_handle, distance, nullptr, origin);
    if (pos == INVALID_SET_FILE_POINTER) setError(GetLastError());
    return pos;
}

bool CFile::seek64(int64_t distance, DWORD origin, uint64_t* newPosition) {
    LARGE_INTEGER d, p;
    d.QuadPart = distance;
    if (!SetFilePointerEx(m_handle, d, &p, origin)) {
        setError(GetLastError());
        return false;
    }
    if (newPosition) *newPosition = static_cast<uint64_t>(p.QuadPart);
    return true;
}

bool CFile::position64(uint64_t* position) { return seek64(0, FILE_CURRENT, position); }

bool CFile::setEnd() {
    if (!SetEndOfFile(m_handle)) {
        setError(GetLastError());
        return false;
    }
    return true;
}

bool CFile::setSize(uint64_t size) {
    return seek64(static_cast<int64_t>(size), FILE_BEGIN, nullptr) && setEnd();
}

bool CFile::flush() {
    if (!FlushFileBuffers(m_handle)) {
        setError(GetLastError());
        return false;
    }
    return true;
}

bool CFile::mapView() {
    SIZE_T length = m_viewLength;
    if (m_viewOffset >= m_mappedSize) {
        setError(0);
        return false;
    }
    const uint64_t left = m_mappedSize - m_viewOffset;
    if (length == 0 || length > left) length = static_cast<SIZE_T>(left);
    m_view = MapViewOfFile(m_mapping, m_viewAccess, static_cast<DWORD>(m_viewOffset >> 32),
                           static_cast<DWORD>(m_viewOffset), length);
    if (!m_view) {
        setError(GetLastError());
        return false;
    }
    m_viewSize = length;
    return true;
}

bool CFile::openMapped(const xchar* path, DWORD access, DWORD share, DWORD creation,
                       DWORD attributes) {
    const uint64_t preset = m_mappedSize;
    closeMapped();
    if (!open(path, access, share, creation, attributes)) return false;
    const bool writing = (access & GENERIC_WRITE) != 0;
    if (writing && preset) {
        if (!setSize(preset)) {
            close();
            return false;
        }
        m_mappedSize = preset;
    } else {
        uint64_t size = 0;
        if (!getSize64(&size)) {
            close();
            return false;
        }
        if (size == 0) {
            setError(ERROR_INVALID_DATA);
            close();
            return false;
        }
        m_mappedSize = size;
    }
    m_mapping = CreateFileMappingW(m_handle, nullptr, writing ? PAGE_READWRITE : PAGE_READONLY, 0,
                                   0, nullptr);
    if (!m_mapping) {
        setError(GetLastError());
        closeMapped();
        return false;
    }
    m_viewAccess = writing ? FILE_MAP_WRITE : FILE_MAP_READ;
    if (!mapView()) {
        const DWORD code = m_lastError;
        closeMapped();
        setError(code);
        return false;
    }
    setError(0);
    return true;
}

bool CFile::mapNextView() {
    if (m_viewLength == 0) {
        setError(ERROR_INVALID_DATA);
        return false;
    }
    if (m_view) UnmapViewOfFile(m_view);
    m_view = nullptr;
    m_viewSize = 0;
    m_viewOffset += m_viewLength;
    return mapView();
}

void CFile::closeMapped() {
    if (m_view) UnmapViewOfFile(m_view);
    m_view = nullptr;
    m_viewSize = 0;
    m_mappedSize = 0;
    if (m_mapping) CloseHandle(m_mapping);
    m_mapping = nullptr;
    close();
}

bool CFileMapping::create(HANDLE file, DWORD protect, uint64_t size, const xchar* name) {
    close();
    m_handle = CreateFileMappingW(file, nullptr, protect, static_cast<DWORD>(size >> 32),
                                  static_cast<DWORD>(size), name);
    return m_handle != nullptr;
}

void CFileMapping::close() {
    if (m_handle) CloseHandle(m_handle);
    m_handle = nullptr;
}

bool CFileView::map(HANDLE mapping, DWORD access, uint64_t offset, SIZE_T size) {
    unmap();
    m_data = MapViewOfFile(mapping, access, static_cast<DWORD>(offset >> 32),
                           static_cast<DWORD>(offset), size);
    return m_data != nullptr;
}

void CFileView::unmap() {
    if (m_data) UnmapViewOfFile(m_data);
    m_data = nullptr;
}

DWORD allocationGranularity() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity;
}

uint64_t roundUpToGranularity(uint64_t size) {
    const uint64_t g = allocationGranularity();
    return (size + g - 1) / g * g;
}
