// Checks that a checked run makes and a user's run does not: whether the heaps
// are whole at the end, and whether a window object is used on the thread
// that owns it. Test runs set the environment variable SCRIBIX_CHECKS=1 (the
// test harness does it for every Windows test and what it starts).
#pragma once

#include <windows.h>

#include <typeinfo>

namespace win {

// True when the environment asks for the checks (read once).
bool checkedRun();

// Validates every heap of the process; the number that are damaged. The
// system reports a damaged block on its own (the test prefixes have the
// heap's free and tail checking on); this also traces "heap check: ..." so
// that a damaged heap is never silent.
int validateHeaps();

// The program's main thread, which owns every window but the few that
// run a loop of their own. Set once at start-up; 0 in programs that never set
// it (tests then make their windows on threads of their own).
void setMainThread(DWORD threadId);
DWORD mainThread();

// Reports a broken invariant (trace, standard error) and ends the process
// with status 0xC000A0C1, so that a checked run cannot carry on past it.
[[noreturn]] void failCheck(const char* text);

// The thread that owns a window object: the one that made its window. Work
// from any other thread must be posted to it; the object is freed there too.
// In checked runs, `check` from another thread fails loudly, naming the
// object and both threads.
// The name of a type as the source spells it, namespaces included, rather
// than the compiler's mangled form: the checks' messages name objects by it.
// The text lives as long as the process.
const char* readableTypeName(const std::type_info& type);

class OwnerThread {
  public:
    explicit OwnerThread(const char* name) : name_(name) {}

    // The calling thread becomes the owner (when the window is made).
    void adopt() { id_ = GetCurrentThreadId(); }
    // As adopt, and in checked runs the calling thread must be the main thread
    // when the program has named one.
    void adoptOnMainThread(const char* operation);
    DWORD id() const { return id_; }
    const char* name() const { return name_; }
    // True on the owner thread, or while no thread owns the object yet.
    bool isCurrent() const { return id_ == 0 || id_ == GetCurrentThreadId(); }
    // In checked runs: `operation` must run on the owner thread.
    void check(const char* operation) const {
        if (!isCurrent() && checkedRun()) fail(operation, name_);
    }
    // The same, naming the object `name` (its dynamic type, say).
    void check(const char* operation, const char* name) const {
        if (!isCurrent() && checkedRun()) fail(operation, name);
    }

  private:
    [[noreturn]] void fail(const char* operation, const char* name) const;

    const char* name_;
    DWORD id_ = 0;
};

}  // namespace win
