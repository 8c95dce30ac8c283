// The seam between the page analysis and the operating system: how engine
// libraries are loaded and bound by name, where the library itself lives and
// the process's current directory. Windows uses the module functions; hosts
// without them (the sanitizer tests) install a loader of their own that hands
// out linked or faked engines.
#ifndef OMBRA_PLATFORM_H
#define OMBRA_PLATFORM_H

#include <cstddef>

namespace ombra {

constexpr int kPathChars = 260;

struct ModuleLoader {
    void* (*load)(const char* path);
    void* (*symbol)(void* module, const char* name);
    void (*unload)(void* module);
};

const ModuleLoader& moduleLoader();
// Null restores the platform's own loader.
void setModuleLoader(const ModuleLoader* loader);

// The module's entry named `name` as the function type of `entry`; null when
// the module lacks it.
template <class F>
F boundEntry(void* module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(moduleLoader().symbol(module, name)));
}

// The library's own folder with its trailing separator, "" when unknown.
void ownDirectory(char out[kPathChars]);
// Where a host without module paths says the library lives (tests); null
// or "" forgets it.
void setOwnDirectory(const char* directory);
const char* ownDirectoryOverride();

bool currentDirectory(char out[kPathChars]);
bool setCurrentDirectory(const char* directory);

}  // namespace ombra

#endif
