#include "UiThread.h"

#include "PostedRecord.h"
#include "Window.h"

namespace win {

namespace {

struct PostedWork {
    std::function<void()> work;
};

}  // namespace

void nameThisThread(const wchar_t* name) {
    using SetThreadDescriptionFn = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto setDescription =
        reinterpret_cast<SetThreadDescriptionFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (setDescription && name) setDescription(GetCurrentThread(), name);
}

UiThread::~UiThread() { join(INFINITE); }

bool UiThread::start(const wchar_t* name) {
    if (thread_) return false;
    name_ = name;
    ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ready_) return false;
    thread_ = CreateThread(nullptr, 0, threadMain, this, 0, &threadId_);
    if (!thread_) {
        CloseHandle(ready_);
        ready_ = nullptr;
        return false;
    }
    // The queue exists once the thread has started: posts cannot get lost.
    HANDLE both[2] = {ready_, thread_};
    WaitForMultipleObjects(2, both, FALSE, INFINITE);
    return true;
}

bool UiThread::running() const {
    return thread_ && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
}

bool UiThread::post(std::function<void()> work) {
    auto posted = std::make_unique<PostedWork>(PostedWork{std::move(work)});
    AcquireSRWLockShared(&postLock_);
    // Any process may post WM_USER to this thread: the loop runs only work
    // that this process posted and has not run yet.
    const bool ok = accepting_ && postThreadRecord(threadId_, WM_USER, 0, std::move(posted));
    ReleaseSRWLockShared(&postLock_);
    return ok;
}

bool UiThread::join(DWORD milliseconds) {
    if (!thread_) return true;
    if (GetCurrentThreadId() == threadId_) return false;
    PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
    // The thread's windows may send to ours (owners, for one): keep answering.
    if (waitAnsweringSentMessages(thread_, milliseconds) != WAIT_OBJECT_0) return false;
    CloseHandle(thread_);
    CloseHandle(ready_);
    thread_ = ready_ = nullptr;
    threadId_ = 0;
    return true;
}

DWORD WINAPI UiThread::threadMain(void* parameter) {
    auto* self = static_cast<UiThread*>(parameter);
    nameThisThread(self->name_);
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    AcquireSRWLockExclusive(&self->postLock_);
    self->accepting_ = true;
    ReleaseSRWLockExclusive(&self->postLock_);
    SetEvent(self->ready_);
    if (!self->onStart()) {
        self->stopAccepting();
        return 0;
    }
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0 && got != -1) {
        if (msg.hwnd == nullptr && msg.message == WM_USER) {
            if (std::unique_ptr<PostedWork> posted = takeRecord<PostedWork>(msg.lParam))
                if (posted->work) posted->work();
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    self->onEnd();
    self->stopAccepting();
    return 0;
}

void UiThread::stopAccepting() {
    AcquireSRWLockExclusive(&postLock_);
    accepting_ = false;
    ReleaseSRWLockExclusive(&postLock_);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_REMOVE))
        if (msg.hwnd == nullptr) takeRecord<PostedWork>(msg.lParam);
}

}  // namespace win
