// A thread with its own message loop, to which work can be posted (the
// program's CThread): windows that must not wait for the main thread live here.
#pragma once

#include <windows.h>

#include <functional>

namespace win {

class UiThread {
  public:
    UiThread() = default;
    UiThread(const UiThread&) = delete;
    UiThread& operator=(const UiThread&) = delete;
    // Ends the loop and waits for the thread (see join).
    virtual ~UiThread();

    // Starts the thread; it names itself `name`, runs onStart and then its loop.
    bool start(const wchar_t* name);
    // Runs `work` on the thread (message WM_USER); false when it cannot be posted.
    bool post(std::function<void()> work);
    // Asks the loop to end and waits up to `milliseconds`; true when the thread ended.
    bool join(DWORD milliseconds);

    DWORD threadId() const { return threadId_; }
    bool running() const;

  protected:
    // On the thread, before the loop; false ends the thread at once.
    virtual bool onStart() { return true; }
    // On the thread, after the loop.
    virtual void onEnd() {}

  private:
    static DWORD WINAPI threadMain(void* self);
    // On the thread as it ends: no post gets in afterwards, and what was
    // posted and never run is freed.
    void stopAccepting();

    // Held (shared) while posting, (exclusive) while the thread stops
    // accepting: nothing is posted to a thread that no longer reads its queue.
    SRWLOCK postLock_ = SRWLOCK_INIT;
    bool accepting_ = false;

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HANDLE ready_ = nullptr;
    const wchar_t* name_ = nullptr;
};

// Gives the calling thread a name that debuggers show (when the system can).
void nameThisThread(const wchar_t* name);

}  // namespace win
