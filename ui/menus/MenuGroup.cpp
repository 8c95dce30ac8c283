#include "MenuGroup.h"

#include <algorithm>

#include "win/ScopedLock.h"

SyncSection::SyncSection() {
    InitializeCriticalSection(&listLock_);
    InitializeCriticalSection(&linkLock_);
}

SyncSection::~SyncSection() {
    DeleteCriticalSection(&linkLock_);
    DeleteCriticalSection(&listLock_);
}

void SyncSection::add(const void* member) {
    if (!member) return;
    win::ScopedLock lock(listLock_);
    members_.push_back(member);
}

bool SyncSection::contains(const void* member) const {
    win::ScopedLock lock(listLock_);
    return std::find(members_.begin(), members_.end(), member) != members_.end();
}

int SyncSection::size() const {
    win::ScopedLock lock(listLock_);
    return static_cast<int>(members_.size());
}

bool SyncSection::remove(const void* member) {
    bool empty;
    {
        win::ScopedLock lock(listLock_);
        members_.erase(std::remove(members_.begin(), members_.end(), member), members_.end());
        empty = members_.empty();
    }
    // The lock is a member: it must be let go before the section goes.
    if (empty) delete this;
    return empty;
}
