// The live objects behind the opaque handles a library hands out. Every call
// looks its handle up here first, so a null, deleted or foreign handle is
// refused instead of being followed. One lock guards the set; the objects
// themselves are used by one caller thread at a time.
#ifndef SCRIBIX_VEXASCRIPT_HANDLEREGISTRY_H
#define SCRIBIX_VEXASCRIPT_HANDLEREGISTRY_H

#include <memory>
#include <mutex>
#include <set>

namespace vexa {

template <class T>
class HandleRegistry {
  public:
    // Takes the object and answers its handle.
    T* add(std::unique_ptr<T> object) {
        std::lock_guard<std::mutex> guard(lock_);
        T* handle = object.get();
        live_.insert(handle);
        object.release();
        return handle;
    }

    // The object of a live handle, or null.
    T* find(const void* handle) const {
        if (!handle) return nullptr;
        std::lock_guard<std::mutex> guard(lock_);
        auto it = live_.find(static_cast<const void*>(handle));
        return it == live_.end() ? nullptr : static_cast<T*>(const_cast<void*>(*it));
    }

    // Deletes the object of a live handle; false for any other handle.
    bool remove(const void* handle) {
        T* object = nullptr;
        {
            std::lock_guard<std::mutex> guard(lock_);
            auto it = live_.find(handle);
            if (!handle || it == live_.end()) return false;
            object = static_cast<T*>(const_cast<void*>(*it));
            live_.erase(it);
        }
        delete object;
        return true;
    }

  private:
    mutable std::mutex lock_;
    std::set<const void*> live_;
};

}  // namespace vexa

#endif
