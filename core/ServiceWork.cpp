#include "ServiceWork.h"

#include <memory>
#include <utility>

#include "AppGlobals.h"
#include "win/PostedRecord.h"

namespace {

struct PostedWork {
    std::function<void()> work;
};

}  // namespace

bool runOnServiceThread(std::function<void()> work) {
    HWND service = getServiceWindow();
    if (!service || !work) return false;
    if (GetWindowThreadProcessId(service, nullptr) == GetCurrentThreadId()) {
        work();
        return true;
    }
    return win::postRecord(service, WM_INK_POSTED_WORK, 0,
                           std::unique_ptr<PostedWork>(new PostedWork{std::move(work)}));
}

bool runPostedWork(LPARAM argument) {
    const std::unique_ptr<PostedWork> posted = win::takeRecord<PostedWork>(argument);
    if (!posted) return false;
    if (posted->work) posted->work();
    return true;
}
