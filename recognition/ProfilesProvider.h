// The profiles file of one language as the profile loader reads it: the
// document with its typed records and their packed form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/VexaSuper.h"
#include "xml/IxlScribixHelper.h"

class ProfilesProvider : public VexaSuper {
    VEXA_CLASS(ProfilesProvider, VexaSuper)

  public:
    enum Status {
        kLoaded,      // the file, or an empty document when there is no file
        kCannotOpen,  // the file exists but cannot be opened (held, reading denied)
        kUnreadable,  // the file exists but is no profiles document
        kTooLarge,    // it loaded but does not fit the packed form
    };

    ProfilesProvider() : helper_(IXL_KIND_PROFILE) {}

    Status load(const std::wstring& path);
    // What the document layer said of the last failed load (for the trace).
    std::wstring errorInfo() const;
    // The packed root record (valid after kLoaded).
    const PlainElem* root() const {
        return blob_.empty() ? nullptr : reinterpret_cast<const PlainElem*>(blob_.data());
    }
    const IxlScribixHelper& helper() const { return helper_; }

  private:
    IxlScribixHelper helper_;
    std::vector<uint8_t> blob_;
};
