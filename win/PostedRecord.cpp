#include "PostedRecord.h"

#include <mutex>
#include <unordered_map>

namespace win {
namespace detail {

namespace {

struct Registry {
    std::mutex lock;
    std::unordered_map<const void*, const void*> kinds;  // record -> kind
};

// Never destroyed: records may still be posted while static objects go away.
Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

}  // namespace

void addRecord(const void* record, const void* kind) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.kinds[record] = kind;
}

bool removeRecord(const void* record, const void* kind) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.kinds.find(record);
    if (it == r.kinds.end() || it->second != kind) return false;
    r.kinds.erase(it);
    return true;
}

bool hasRecord(const void* record, const void* kind) {
    Registry& r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto it = r.kinds.find(record);
    return it != r.kinds.end() && it->second == kind;
}

}  // namespace detail
}  // namespace win
