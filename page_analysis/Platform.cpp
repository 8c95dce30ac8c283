// What both platforms share: the folder a host says the library lives in.
#include <cstring>

#include "Platform.h"

namespace ombra {

namespace {

char g_directoryOverride[kPathChars];

}  // namespace

void setOwnDirectory(const char* directory) {
    g_directoryOverride[0] = 0;
    if (directory) {
        std::strncpy(g_directoryOverride, directory, kPathChars - 1);
        g_directoryOverride[kPathChars - 1] = 0;
    }
}

const char* ownDirectoryOverride() { return g_directoryOverride; }

}  // namespace ombra
