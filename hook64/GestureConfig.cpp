#include "hook64/GestureConfig.h"

#include "hook64/Hook64State.h"

namespace {

constexpr DWORD kGesturePan = 4;  // GID_PAN
// Single-finger vertical (0x2) and horizontal (0x4) panning.
constexpr DWORD kPanSingleFinger = 0x6;
constexpr DWORD kBlockPanFlag = 0x4;

bool functionsBound() {
    const GestureFunctions& f = hook64Process().gestures;
    return f.getGestureConfig && f.setGestureConfig;
}

bool sameIds(const RememberedGestureConfig& r, HWND window, const GESTURECONFIG* entries,
             UINT count) {
    if (r.window != window || r.count != count) return false;
    for (UINT i = 0; i < count; ++i)
        if (r.applied[i].dwID != entries[i].dwID) return false;
    return true;
}

// Several UI threads of one process may run the hooks at once; they share the
// remembered configuration under this lock (re-entered by the nested calls).
CRITICAL_SECTION& configLock() {
    static CRITICAL_SECTION lock;
    static const bool ready = (InitializeCriticalSection(&lock), true);
    (void)ready;
    return lock;
}

class ConfigLock {
  public:
    ConfigLock() { EnterCriticalSection(&configLock()); }
    ~ConfigLock() { LeaveCriticalSection(&configLock()); }
    ConfigLock(const ConfigLock&) = delete;
    ConfigLock& operator=(const ConfigLock&) = delete;
};

}  // namespace

RememberedGestureConfig& rememberedGestureConfig() {
    static RememberedGestureConfig config;
    return config;
}

bool readGestureConfig(HWND window, GESTURECONFIG* out, UINT count, const DWORD* ids) {
    const GestureFunctions& f = hook64Process().gestures;
    if (!window || !out || count < 1 || !f.getGestureConfig) return false;
    for (UINT i = 0; i < count; ++i) out[i] = GESTURECONFIG{ids[i], 0, 0};
    UINT asked = count;
    // Flags 0: the window's own configuration, its ancestors' not included.
    const BOOL ok = f.getGestureConfig(window, 0, 0, &asked, out, sizeof(GESTURECONFIG));
    for (UINT i = 0; i < count; ++i)
        if (out[i].dwID != ids[i]) return false;
    return ok != FALSE;
}

bool readGestureInfo(HGESTUREINFO handle, GESTUREINFO* info) {
    const GestureFunctions& f = hook64Process().gestures;
    if (!f.getGestureInfo || !f.closeGestureInfoHandle || !info) return false;
    *info = GESTUREINFO{};
    info->cbSize = sizeof(GESTUREINFO);
    if (!f.getGestureInfo(handle, info)) return false;
    f.closeGestureInfoHandle(handle);
    return true;
}

bool restoreModifiedGestureConfig64(bool check) {
    ConfigLock lock;
    RememberedGestureConfig& r = rememberedGestureConfig();
    if (!functionsBound() || !r.remembered || r.count < 1 || r.count > 2) return false;
    r.remembered = false;
    if (check) {
        DWORD ids[2] = {r.applied[0].dwID, r.applied[1].dwID};
        GESTURECONFIG current[2];
        if (readGestureConfig(r.window, current, r.count, ids)) {
            bool allChanged = true;
            for (UINT i = 0; i < r.count; ++i)
                if (current[i].dwWant == r.applied[i].dwWant ||
                    current[i].dwBlock == r.applied[i].dwBlock)
                    allChanged = false;
            if (allChanged) return false;
        }
    }
    if (hook64Process().gestures.setGestureConfig(r.window, 0, r.count, r.saved,
                                                  sizeof(GESTURECONFIG)))
        return true;
    debugPrint(L"===restoreModifiedGestureConfig64: SetGestureConfig failed; err=0x%X \n",
               GetLastError());
    return false;
}

bool resetGesturesConfigIfNeeded64(HWND window, const WantedGestureConfig* wanted, UINT count) {
    ConfigLock lock;
    if (!window || count < 1 || count > 2 || !functionsBound()) return false;
    DWORD ids[2] = {};
    for (UINT i = 0; i < count; ++i) ids[i] = wanted[i].id;
    GESTURECONFIG current[2];
    if (!readGestureConfig(window, current, count, ids)) return false;

    GESTURECONFIG applied[2];
    bool allSatisfied = true;
    for (UINT i = 0; i < count; ++i) {
        const WantedGestureConfig& w = wanted[i];
        const GESTURECONFIG& c = current[i];
        if ((w.mask & c.dwWant) == w.want && (w.mask & c.dwBlock) == w.block) {
            applied[i] = c;
        } else {
            applied[i] = GESTURECONFIG{c.dwID, (c.dwWant & ~w.mask) | w.want,
                                       (c.dwBlock & ~w.mask) | w.block};
            allSatisfied = false;
        }
    }
    if (allSatisfied) return true;

    RememberedGestureConfig& r = rememberedGestureConfig();
    if (r.remembered && !sameIds(r, window, applied, count)) restoreModifiedGestureConfig64(false);

    if (!hook64Process().gestures.setGestureConfig(window, 0, count, applied,
                                                   sizeof(GESTURECONFIG))) {
        debugPrint(L"===resetGesturesConfigIfNeeded64: SetGestureConfig failed; err=0x%X \n",
                   GetLastError());
        return false;
    }
    r.window = window;
    r.count = count;
    for (UINT i = 0; i < count; ++i) {
        r.saved[i] = current[i];
        r.applied[i] = applied[i];
    }
    r.remembered = true;
    return true;
}

void adjustGestureConfig(HWND target) {
    ConfigLock lock;
    RememberedGestureConfig& r = rememberedGestureConfig();
    if (r.remembered && r.window != target) restoreModifiedGestureConfig64(false);
    if (!target) return;
    const SharedDataStruct* block = sharedBlock();
    if (!block) return;
    const bool blockPan = block->_iBlockPan != 0 && (block->_dwFlags & kBlockPanFlag) != 0;
    const bool tap = block->_iTwoFingerTap != 0;
    if (r.remembered && !blockPan && !tap) {
        restoreModifiedGestureConfig64(false);
        return;
    }
    const WantedGestureConfig pan = {kGesturePan, kPanSingleFinger, 0, kPanSingleFinger};
    const WantedGestureConfig tapEntry = {block->_dwTapGestureID, block->_dwTapGestureWant,
                                          block->_dwTapGestureWant, 0};
    WantedGestureConfig wanted[2];
    UINT count = 0;
    if (blockPan) wanted[count++] = pan;
    if (tap) wanted[count++] = tapEntry;
    if (r.remembered && r.count != count) restoreModifiedGestureConfig64(false);
    if (count != 0 && resetGesturesConfigIfNeeded64(target, wanted, count)) return;
    restoreModifiedGestureConfig64(false);
}

bool restoreGestureConfigAtDetach() {
    // A process that is ending may have lost a thread while it held the lock:
    // then the window's configuration goes with the process, but detach must not hang.
    if (!TryEnterCriticalSection(&configLock())) return false;
    const bool restored = restoreModifiedGestureConfig64(true);
    LeaveCriticalSection(&configLock());
    return restored;
}
