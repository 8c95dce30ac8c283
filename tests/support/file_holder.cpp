// Holds a file open in a process of its own, as another program on the
// user's machine would (a scanner, a sync tool, an editor), until told to let
// go. Arguments: the path, the share mode (a number), and a name for the two
// events: "<name>-held" is set once the file is open (the exit code tells a
// failure to open), "<name>-release" ends the hold. Used through FileHolder.h.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) return 2;
    const DWORD share = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 0));
    const std::wstring name = argv[3];
    HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, (name + L"-held").c_str());
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, (name + L"-release").c_str());
    if (!held || !release) return 3;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 4;
    SetEvent(held);
    // A test that dies never leaves the file held for long.
    WaitForSingleObject(release, 120000);
    CloseHandle(file);
    return 0;
}
