// A reader-writer lock over the system's slim lock, for std::shared_lock and
// std::unique_lock. The C++ library's shared mutex of the mingw runtime let a
// reader in while a writer held it (readers saw a tree in the middle of a
// change, a few times in a hundred runs under Wine); the system's own lock
// does not.
#pragma once

#include <windows.h>

namespace win {

class SharedLock {
  public:
    SharedLock() = default;
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

    void lock() { AcquireSRWLockExclusive(&lock_); }
    bool try_lock() { return TryAcquireSRWLockExclusive(&lock_) != 0; }
    void unlock() { ReleaseSRWLockExclusive(&lock_); }
    void lock_shared() { AcquireSRWLockShared(&lock_); }
    bool try_lock_shared() { return TryAcquireSRWLockShared(&lock_) != 0; }
    void unlock_shared() { ReleaseSRWLockShared(&lock_); }

  private:
    SRWLOCK lock_ = SRWLOCK_INIT;
};

}  // namespace win
