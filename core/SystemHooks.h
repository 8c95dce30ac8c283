// Control of the system hooks: the hook thread that installs them and pumps
// their messages, their removal at shut-down, and the two hook-library calls
// that steer ink collection.
#pragma once

#include <windows.h>

struct PenEventRing;

// Starts the hook thread and waits (15000 ms) until it has tried to install
// the hooks: InsertHooks, once more after 2000 ms when refused. 1 when it
// reported in time (also when the installation failed: the program then runs
// without hooks), 0 on a time-out or when the thread cannot be started. When
// both tries failed, the thread shows "InkService hooks install error" only
// after it has let the start go on, so a box left open never times it out.
int StartHookThread();

// Removes the hooks, tells every top-level window of the system by the
// registered broadcast, and walks the process list.
void removeHooks();

// Ends the hook thread's message loop and waits for the thread.
void stopHookThread();

// setInkDriverParams; the second value is remembered in the application globals.
int applyInkDriverParams(int penOn, int mode, int value3, int value4, int value5, int value6,
                         int value7, int value8);

PenEventRing* getHookEventStack(int reserved);

// Calls `callback` (process id, executable file name or null, parameter) for every
// process until it answers FALSE. FALSE with the last error set when the walk failed.
typedef BOOL (*ProcessWalkCallback)(DWORD processId, const wchar_t* name, LPARAM parameter);
BOOL walkProcesses(DWORD reserved, ProcessWalkCallback callback, LPARAM parameter);
// The walk's source of process ids, shaped as the system's EnumProcesses: it
// fills the block of `bytes` and says how many bytes it wrote; a full block
// makes the walk ask again with one twice as large, up to 4 MiB. Tests put
// their own in place of the system's; null puts the system's back.
typedef BOOL(WINAPI* ProcessIdsSource)(DWORD* ids, DWORD bytes, DWORD* returned);
void setProcessIdsSource(ProcessIdsSource source);
void enumAllProcessModules();

// A thread priority clamped to the values SetThreadPriority takes (the
// priority settings hold the priority + 100).
int threadPriorityOf(int priority);

// Hands the hook library the input kinds and the super gesture of the
// settings, with the Tablet PC collector's tablet mode when it is in use.
void applyHookTabletMode();

// The hook thread's time limit; tests shorten it.
void setHookThreadTimeLimit(DWORD milliseconds);
