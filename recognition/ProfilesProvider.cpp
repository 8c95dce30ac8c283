#include "recognition/ProfilesProvider.h"

ProfilesProvider::Status ProfilesProvider::load(const std::wstring& path) {
    blob_.clear();
    if (!helper_.load(path.c_str())) return kUnreadable;
    const size_t size = helper_.packPlain(nullptr, 0);
    if (size == 0) return kTooLarge;
    blob_.resize(size);
    if (helper_.packPlain(blob_.data(), blob_.size()) != size) {
        blob_.clear();
        return kTooLarge;
    }
    return kLoaded;
}
