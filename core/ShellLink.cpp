#include "ShellLink.h"

#include <atomic>

#include "ServiceState.h"

namespace {

ShellLink g_none;
// Read by the pen-event and recognition threads.
std::atomic<ShellLink*> g_link{&g_none};

}  // namespace

// Without the bars nothing can end markup mode, so the flag only follows.
void ShellLink::switchMarkupMode(bool on) { serviceState().markupMode = on; }

ShellLink& shellLink() { return *g_link.load(); }

void setShellLink(ShellLink* link) { g_link.store(link ? link : &g_none); }
