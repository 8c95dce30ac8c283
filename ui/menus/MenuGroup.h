// A group of text menus that belong together: a menu and the submenus opened
// from it. Activating one member of the group does not close the others; the
// group lives as long as its last member.
#pragma once

#include <windows.h>

#include <vector>

#include "core/VexaSuper.h"

class SyncSection : public VexaSuper {
    VEXA_CLASS(SyncSection, VexaSuper)

  public:
    SyncSection();
    ~SyncSection() override;
    SyncSection(const SyncSection&) = delete;
    SyncSection& operator=(const SyncSection&) = delete;

    // A null member is ignored.
    void add(const void* member);
    bool contains(const void* member) const;
    // Removes every occurrence of `member`; when none is left the section
    // deletes itself (after letting go of its lock). True when it did.
    bool remove(const void* member);
    int size() const;

    // Guards the parent and child links of the members.
    CRITICAL_SECTION& linkLock() { return linkLock_; }

  private:
    std::vector<const void*> members_;
    mutable CRITICAL_SECTION listLock_;
    CRITICAL_SECTION linkLock_;
};

class OwnedSyncSection : public SyncSection {
    VEXA_CLASS(OwnedSyncSection, SyncSection)

  public:
    explicit OwnedSyncSection(const void* owner) : owner_(owner) {}
    const void* owner() const { return owner_; }

  private:
    const void* owner_;
};
