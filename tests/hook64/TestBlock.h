// The shared block as its creator (the 32-bit hook library) makes it, for
// tests of the 64-bit hook library and its host. Processes the hooks reached
// may still hold the block from an earlier test; then this opens that same
// block and starts it afresh.
#pragma once

#include <windows.h>

#include <string.h>

#include "hook64/SharedData.h"

namespace hook64test {

// Marks the tests' block at its end (bytes the block's creator keeps free),
// so a probe can tell views of it from other memory.
constexpr char kMarker[] = "hook64-test-block";
constexpr size_t kMarkerOffset = 4000;

class TestBlock {
  public:
    explicit TestBlock(HWND program = nullptr) {
        wchar_t name[32];
        formatMapFileName(name, 32);
        mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      SHARED_DATA_SIZE, name);
        view_ = static_cast<SharedDataStruct*>(
            MapViewOfFile(mapping_, FILE_MAP_WRITE, 0, 0, SHARED_DATA_SIZE));
        ZeroMemory(view_, SHARED_DATA_SIZE);
        view_->_iCheckSize = SHARED_DATA_SIZE;
        memcpy(reinterpret_cast<char*>(view_) + kMarkerOffset, kMarker, sizeof kMarker);
        setProgram(program);
    }
    ~TestBlock() {
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
    }
    TestBlock(const TestBlock&) = delete;
    TestBlock& operator=(const TestBlock&) = delete;

    SharedDataStruct* operator->() const { return view_; }
    // The program's service window as the block names it (null: the program has gone).
    void setProgram(HWND window) {
        view_->_hwndMain = static_cast<uint32_t>(reinterpret_cast<UINT_PTR>(window));
    }

  private:
    HANDLE mapping_;
    SharedDataStruct* view_;
};

}  // namespace hook64test
