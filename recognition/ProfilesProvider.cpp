#include "recognition/ProfilesProvider.h"

#include "xml/XMLDocument.h"

ProfilesProvider::Status ProfilesProvider::load(const std::wstring& path) {
    blob_.clear();
    if (!helper_.load(path.c_str())) {
        const CXMLDocument* document = helper_.dom().document();
        return document && document->errorCode() == XML_ERROR_CANT_OPEN_FILE ? kCannotOpen
                                                                              : kUnreadable;
    }
    const size_t size = helper_.packPlain(nullptr, 0);
    if (size == 0) return kTooLarge;
    blob_.resize(size);
    if (helper_.packPlain(blob_.data(), blob_.size()) != size) {
        blob_.clear();
        return kTooLarge;
    }
    return kLoaded;
}

std::wstring ProfilesProvider::errorInfo() const { return helper_.dom().getErrorInfo(); }
