#include "xml/XMLFileStream.h"

bool CXMLFileStream::read(void* buffer, uint32_t size, uint32_t* bytesRead) {
    if (bytesRead) *bytesRead = 0;
    if (size == 0) return true;
    DWORD n = 0;
    const bool ok = CFile::read(buffer, size, &n);
    if (bytesRead) *bytesRead = n;
    return ok;
}

bool CXMLFileStream::write(const void* buffer, uint32_t size, uint32_t* bytesWritten) {
    if (bytesWritten) *bytesWritten = 0;
    if (size == 0) return true;
    DWORD n = 0;
    const bool ok = CFile::write(buffer, size, &n);
    if (bytesWritten) *bytesWritten = n;
    return ok;
}

bool CXMLFileStream::seek(int64_t distance, unsigned origin, uint64_t* newPosition) {
    return CFile::seek64(distance, origin, newPosition);
}

bool CXMLFileStream::setSize(uint64_t size) { return CFile::setSize(size); }

bool CXMLFileStream::getSize(uint64_t* size) { return CFile::getSize64(size); }

bool CXMLFileStream::flush() { return CFile::flush(); }

const xchar* CXMLFileStream::getPath() { return path().c_str(); }

const xchar* CXMLFileStream::getErrorText() { return errorText().c_str(); }
