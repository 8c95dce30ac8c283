#include "recognition/RecEnv.h"

#include <windows.h>

#include "xml/XMLPlatform.h"

std::wstring RecEnv::programFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring RecEnv::resolveBaseFolder(const wchar_t* baseFolder) {
    std::wstring base = baseFolder && *baseFolder ? baseFolder : programFolder();
    if (!base.empty() && base.back() != L'\\' && base.back() != L'/') base += L'\\';
    return base;
}

RecEnv::RecEnv(const wchar_t* baseFolder) : baseFolder_(resolveBaseFolder(baseFolder)) {
    if (baseFolder_.empty()) return;

    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((baseFolder_ + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring folder = baseFolder_ + name;
        const std::wstring library = folder + L"\\VexaScript.dll";
        engines_.emplace_back(name, folder,
                              fileExists(library.c_str(), true) ? library : std::wstring());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}
