// Stand-in for the note application's command-line tool: it keeps what it was
// asked beside itself. Each run appends its arguments to "ZVScript.log" (one
// line per run, arguments separated by " | ", UTF-8) and, for "createNote",
// copies the file named after "/s" to "ZVScript<N>.bin", N counting the runs.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::wstring folderOfProgram() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, n);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::string utf8(const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n,
                            nullptr, nullptr);
    return out;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring line, source;
    bool createNote = false;
    for (int i = 1; argv && i < argc; ++i) {
        if (i > 1) line += L" | ";
        line += argv[i];
        if (i == 1 && lstrcmpiW(argv[i], L"createNote") == 0) createNote = true;
        if (lstrcmpiW(argv[i], L"/s") == 0 && i + 1 < argc) source = argv[i + 1];
    }
    if (argv) LocalFree(argv);
    const std::wstring folder = folderOfProgram();

    // The run's number: lines already in the log plus one.
    const std::wstring logPath = folder + L"ZVScript.log";
    int run = 1;
    HANDLE log = CreateFileW(logPath.c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return 1;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(log, buffer, sizeof buffer, &got, nullptr) && got > 0)
        for (DWORD i = 0; i < got; ++i) run += buffer[i] == '\n';
    if (createNote && !source.empty())
        CopyFileW(source.c_str(), (folder + L"ZVScript" + std::to_wstring(run) + L".bin").c_str(),
                  FALSE);
    const std::string text = utf8(line) + "\n";
    DWORD written = 0;
    SetFilePointer(log, 0, nullptr, FILE_END);
    WriteFile(log, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(log);
    return 0;
}
