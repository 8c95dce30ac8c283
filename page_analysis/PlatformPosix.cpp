// The host side of the seam: no engine libraries to load unless a test
// installs a loader, and the library's folder is whatever the host says.
#include <unistd.h>

#include <cstring>

#include "Platform.h"

namespace {

void* loadNothing(const char*) { return nullptr; }
void* noSymbol(void*, const char*) { return nullptr; }
void unloadNothing(void*) {}

const ombra::ModuleLoader kNoLoader = {loadNothing, noSymbol, unloadNothing};
const ombra::ModuleLoader* g_loader = &kNoLoader;

}  // namespace

namespace ombra {

const ModuleLoader& moduleLoader() { return *g_loader; }

void setModuleLoader(const ModuleLoader* loader) { g_loader = loader ? loader : &kNoLoader; }

void ownDirectory(char out[kPathChars]) { std::strcpy(out, ownDirectoryOverride()); }

bool currentDirectory(char out[kPathChars]) {
    if (!getcwd(out, kPathChars)) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool setCurrentDirectory(const char* directory) {
    return directory && directory[0] && chdir(directory) == 0;
}

}  // namespace ombra
