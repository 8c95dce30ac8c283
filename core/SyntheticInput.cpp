#include "core/SyntheticInput.h"

namespace {
// The tick and whether one was recorded, packed in one 64-bit value so that a
// reader on another thread never sees a tick without its flag or the reverse.
volatile LONG64 g_synthetic = 0;
constexpr LONG64 kRecorded = LONG64(1) << 32;
}  // namespace

void noteSyntheticInputTick(DWORD tick) {
    InterlockedExchange64(&g_synthetic, kRecorded | static_cast<LONG64>(tick));
}

bool lastSyntheticInputTick(DWORD* tick) {
    const LONG64 value = InterlockedCompareExchange64(&g_synthetic, 0, 0);
    if (!(value & kRecorded)) return false;
    if (tick) *tick = static_cast<DWORD>(value & 0xFFFFFFFF);
    return true;
}

void clearSyntheticInputTick() { InterlockedExchange64(&g_synthetic, 0); }
