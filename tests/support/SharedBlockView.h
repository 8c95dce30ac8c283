// The block that the hook libraries share with the program
// (hook64/SharedData.h), mapped by the test as another party maps it: to read
// what the library keeps there, or to change it. Empty (null) when no
// library has made the block. Windows tests only.
#pragma once

#include <windows.h>

#include "hook64/SharedData.h"

class SharedBlockView {
  public:
    explicit SharedBlockView(bool write = false) {
        wchar_t name[32];
        formatMapFileName(name, 32);
        const DWORD access = write ? FILE_MAP_WRITE : FILE_MAP_READ;
        mapping_ = OpenFileMappingW(access, FALSE, name);
        if (mapping_)
            block_ = static_cast<SharedDataStruct*>(
                MapViewOfFile(mapping_, access, 0, 0, SHARED_DATA_SIZE));
    }
    ~SharedBlockView() {
        if (block_) UnmapViewOfFile(block_);
        if (mapping_) CloseHandle(mapping_);
    }
    SharedBlockView(const SharedBlockView&) = delete;
    SharedBlockView& operator=(const SharedBlockView&) = delete;

    SharedDataStruct* get() const { return block_; }
    SharedDataStruct* operator->() const { return block_; }

  private:
    HANDLE mapping_ = nullptr;
    SharedDataStruct* block_ = nullptr;
};
