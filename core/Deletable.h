// The base of objects that an owner deletes through a pointer without knowing
// their type: a sticker deletes what its caller attached to it, and tells the
// binding snapshot attached to a sticker by its class name (isKindOf).
#pragma once

#include "VexaSuper.h"

class CDeletableByPtr : public VexaSuper {
    VEXA_CLASS(CDeletableByPtr, VexaSuper)

  public:
    ~CDeletableByPtr() override = default;
};
