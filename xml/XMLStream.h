// IXMLStream: the byte stream through which files reach the XML reader. It
// reports only success or failure; its caller asks for the error text.
#pragma once

#include <cstdint>

#include "xml/XMLChar.h"

// Origins of seek (the values of FILE_BEGIN, FILE_CURRENT, FILE_END).
enum : unsigned { XML_SEEK_BEGIN = 0, XML_SEEK_CURRENT = 1, XML_SEEK_END = 2 };

class IXMLStream {
  public:
    // A size of 0 succeeds at once.
    virtual bool read(void* buffer, uint32_t size, uint32_t* bytesRead) = 0;
    virtual bool write(const void* buffer, uint32_t size, uint32_t* bytesWritten) = 0;
    virtual bool seek(int64_t distance, unsigned origin, uint64_t* newPosition) = 0;
    // Moves to size from the start and ends the stream there.
    virtual bool setSize(uint64_t size) = 0;
    virtual bool getSize(uint64_t* size) = 0;
    virtual bool flush() = 0;
    virtual const xchar* getPath() = 0;
    virtual const xchar* getErrorText() = 0;
    virtual ~IXMLStream() = default;
};
