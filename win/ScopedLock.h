#pragma once

#include <windows.h>

namespace win {

// Holds a critical section for the rest of a scope, released on every way out.
class ScopedLock {
  public:
    explicit ScopedLock(CRITICAL_SECTION& section) : section_(section) {
        EnterCriticalSection(&section_);
    }
    ~ScopedLock() { LeaveCriticalSection(&section_); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

  private:
    CRITICAL_SECTION& section_;
};

}  // namespace win
