// The Windows side of the seam: LoadLibraryA and GetProcAddress, and the
// library's own path from the module handle kept at process attach.
#include <windows.h>

#include <cstring>

#include "Platform.h"

namespace {

HINSTANCE g_module = nullptr;

void* loadModule(const char* path) { return reinterpret_cast<void*>(LoadLibraryA(path)); }

void* moduleSymbol(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void unloadModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

const ombra::ModuleLoader kWindowsLoader = {loadModule, moduleSymbol, unloadModule};
const ombra::ModuleLoader* g_loader = &kWindowsLoader;

}  // namespace

#ifdef OMBRA_DLL
extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}
#endif

namespace ombra {

const ModuleLoader& moduleLoader() { return *g_loader; }

void setModuleLoader(const ModuleLoader* loader) { g_loader = loader ? loader : &kWindowsLoader; }

void ownDirectory(char out[kPathChars]) {
    out[0] = 0;
    if (ownDirectoryOverride()[0]) {
        std::strcpy(out, ownDirectoryOverride());
        return;
    }
    // Linked into a program rather than loaded as the DLL, the module is the
    // program's, whose folder holds the engines just the same.
    char path[kPathChars];
    const DWORD n = GetModuleFileNameA(g_module, path, kPathChars);
    if (n == 0 || n >= kPathChars) return;
    char* cut = nullptr;
    for (char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') cut = p;
    if (!cut) return;
    cut[1] = 0;
    std::strcpy(out, path);
}

bool currentDirectory(char out[kPathChars]) {
    const DWORD n = GetCurrentDirectoryA(kPathChars, out);
    if (n == 0 || n >= kPathChars) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool setCurrentDirectory(const char* directory) {
    return directory && directory[0] && SetCurrentDirectoryA(directory);
}

}  // namespace ombra
