#include "ShellLink.h"

#include <atomic>

namespace {

ShellLink g_none;
// Read by the pen-event and recognition threads.
std::atomic<ShellLink*> g_link{&g_none};

}  // namespace

ShellLink& shellLink() { return *g_link.load(); }

void setShellLink(ShellLink* link) { g_link.store(link ? link : &g_none); }
