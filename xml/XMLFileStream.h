// CXMLFileStream: a file as an IXMLStream, each operation mapped onto the
// CFile operation of the same meaning.
#pragma once

#include "xml/File.h"
#include "xml/XMLStream.h"

class CXMLFileStream : public IXMLStream, public CFile {
  public:
    bool read(void* buffer, uint32_t size, uint32_t* bytesRead) override;
    bool write(const void* buffer, uint32_t size, uint32_t* bytesWritten) override;
    bool seek(int64_t distance, unsigned origin, uint64_t* newPosition) override;
    bool setSize(uint64_t size) override;
    bool getSize(uint64_t* size) override;
    bool flush() override;
    const xchar* getPath() override;
    const xchar* getErrorText() override;
};
