// The base of objects that an owner deletes through a pointer without knowing
// their type: a sticker deletes what its caller attached to it, and the
// binding snapshot attached to a sticker is compared through this base.
#pragma once

class CDeletableByPtr {
  public:
    virtual ~CDeletableByPtr() = default;
};
