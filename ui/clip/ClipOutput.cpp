#include "ClipOutput.h"

#include <shellapi.h>
#include <shlobj.h>
#include <objidl.h>
#include <propidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/AppGlobals.h"
#include "core/PendingServices.h"
#include "core/RegisteredMessages.h"
#include "core/ServiceMessages.h"
#include "core/Trace.h"
#include "ink/LocalInkManager.h"
#include "outside/Zorvane.h"
#include "win/Gdiplus.h"

// ------------------------------------------------------------- CBufferStream

CBufferStream::CBufferStream(DWORD maxSize) : maxSize_(maxSize) {}

bool CBufferStream::extendTo(DWORD size) {
    const DWORD length = static_cast<DWORD>(buffer_.size());
    if (size <= length) return true;
    if (size > maxSize_ || !buffer_.reserve(size - length)) return false;
    memset(buffer_.end(), 0, size - length);
    buffer_.setSize(size);
    return true;
}

CBufferStream::~CBufferStream() = default;

HRESULT CBufferStream::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IStream || iid == IID_ISequentialStream) {
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CBufferStream::AddRef() { return InterlockedIncrement(&references_); }

ULONG CBufferStream::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return left;
}

HRESULT CBufferStream::Read(void* bytes, ULONG count, ULONG* read) {
    if (!bytes) return E_POINTER;
    // A position at or beyond the end reads nothing.
    const DWORD length = static_cast<DWORD>(buffer_.size());
    const DWORD available = position_ < length ? length - position_ : 0;
    const DWORD n = std::min<DWORD>(count, available);
    if (n) memcpy(bytes, buffer_.data() + position_, n);
    position_ += n;
    if (read) *read = n;
    return n < count ? S_FALSE : S_OK;
}

HRESULT CBufferStream::Write(const void* bytes, ULONG count, ULONG* written) {
    if (written) *written = 0;
    if (!bytes) return E_POINTER;
    if (count == 0) return S_OK;
    if (count > 0xFFFFFFFFu - position_) return STG_E_MEDIUMFULL;
    const DWORD end = position_ + count;
    if (!extendTo(end)) return STG_E_MEDIUMFULL;
    memcpy(buffer_.data() + position_, bytes, count);
    position_ = end;
    if (written) *written = count;
    return S_OK;
}

HRESULT CBufferStream::Seek(LARGE_INTEGER offset, DWORD origin, ULARGE_INTEGER* newPosition) {
    long long base = 0;
    switch (origin) {
        case STREAM_SEEK_SET:
            base = 0;
            break;
        case STREAM_SEEK_CUR:
            base = position_;
            break;
        case STREAM_SEEK_END:
            base = static_cast<DWORD>(buffer_.size());
            break;
        default:
            return STG_E_INVALIDFUNCTION;
    }
    const long long target = base + offset.QuadPart;
    if (target < 0 || target > 0xFFFFFFFFll) return STG_E_INVALIDFUNCTION;
    position_ = static_cast<DWORD>(target);
    if (newPosition) newPosition->QuadPart = position_;
    return S_OK;
}

HRESULT CBufferStream::SetSize(ULARGE_INTEGER size) {
    if (size.QuadPart > 0xFFFFFFFFull) return STG_E_INVALIDFUNCTION;
    const DWORD wanted = static_cast<DWORD>(size.QuadPart);
    // A size the buffer cannot take is reported, not answered as done.
    if (!extendTo(wanted)) return STG_E_MEDIUMFULL;
    buffer_.setSize(wanted);
    return S_OK;
}

HRESULT CBufferStream::CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                              ULARGE_INTEGER* written) {
    if (read) read->QuadPart = 0;
    if (written) written->QuadPart = 0;
    if (!target) return E_POINTER;
    BYTE chunk[4096];
    unsigned long long left = count.QuadPart, totalRead = 0, totalWritten = 0;
    HRESULT result = S_OK;
    while (left > 0) {
        ULONG got = 0;
        const HRESULT r =
            Read(chunk, static_cast<ULONG>(std::min<unsigned long long>(left, sizeof chunk)), &got);
        if (FAILED(r)) {
            result = r;
            break;
        }
        totalRead += got;
        ULONG put = 0;
        if (got) {
            const HRESULT w = target->Write(chunk, got, &put);
            totalWritten += put;
            if (FAILED(w)) {
                result = w;
                break;
            }
        }
        left -= got;
        if (got < std::min<unsigned long long>(left + got, sizeof chunk) || put < got) break;
    }
    if (read) read->QuadPart = totalRead;
    if (written) written->QuadPart = totalWritten;
    return result;
}

HRESULT CBufferStream::Commit(DWORD) { return E_NOTIMPL; }
HRESULT CBufferStream::Revert() { return E_NOTIMPL; }
HRESULT CBufferStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return E_NOTIMPL; }
HRESULT CBufferStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return E_NOTIMPL; }
HRESULT CBufferStream::Clone(IStream**) { return E_NOTIMPL; }

HRESULT CBufferStream::Stat(STATSTG* stat, DWORD) {
    if (!stat) return E_POINTER;
    memset(stat, 0, sizeof *stat);
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = static_cast<DWORD>(buffer_.size());
    return S_OK;
}

// ------------------------------------------------------- loadResourceByPath

bool loadResourceByPath(const wchar_t* path, const void** bytes, DWORD* size) {
    if (bytes) *bytes = nullptr;
    if (size) *size = 0;
    if (!path || !bytes || !size) return false;
    const size_t length = wcsnlen(path, MAX_PATH + 1);
    if (length == 0 || length > MAX_PATH) return false;
    const std::wstring text(path, length);

    HMODULE module = getInstance() ? getInstance() : GetModuleHandleW(nullptr);
    std::wstring resource = text;
    const size_t slash = text.find(L'/');
    if (slash != std::wstring::npos) {
        const std::wstring file = text.substr(0, slash);
        resource = text.substr(slash + 1);
        if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
        // Loaded once per file and kept: the bytes handed out point into it.
        static std::mutex lock;
        static std::map<std::wstring, HMODULE> loaded;
        std::lock_guard<std::mutex> guard(lock);
        HMODULE& kept = loaded[file];
        if (!kept) kept = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        module = kept;
        if (!module) return false;
    }
    std::wstring name = resource;
    std::wstring type;
    const size_t dot = resource.rfind(L'.');
    if (dot != std::wstring::npos) {
        name = resource.substr(0, dot);
        type = resource.substr(dot + 1);
    }
    if (name.empty()) return false;
    HRSRC found = type.empty() ? FindResourceW(module, name.c_str(), MAKEINTRESOURCEW(23))
                               : FindResourceW(module, name.c_str(), type.c_str());
    if (!found) return false;
    const DWORD bytesSize = SizeofResource(module, found);
    HGLOBAL handle = LoadResource(module, found);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data || bytesSize == 0) return false;
    *bytes = data;
    *size = bytesSize;
    return true;
}

// ----------------------------------------------------------------- finding

namespace {

bool fileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring joinPath(std::wstring folder, const std::wstring& name) {
    if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
    return folder + name;
}

// A string value of `key` under `root` (at most 260 characters); empty when missing.
std::wstring readString(HKEY root, const wchar_t* key, const wchar_t* value) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return L"";
    wchar_t text[MAX_PATH + 1] = {};
    DWORD size = sizeof text - sizeof(wchar_t), type = 0;
    const LONG r =
        RegQueryValueExW(opened, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(opened);
    if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return L"";
    text[std::min<DWORD>(size / sizeof(wchar_t), MAX_PATH)] = 0;
    return text;
}

// The value under HKEY_LOCAL_MACHINE, else under HKEY_CURRENT_USER, as a folder
// ending in a backslash; empty when missing or empty.
std::wstring readAppRegistryString(const wchar_t* key, const wchar_t* value) {
    std::wstring text = readString(HKEY_LOCAL_MACHINE, key, value);
    if (text.empty()) text = readString(HKEY_CURRENT_USER, key, value);
    if (!text.empty() && text.back() != L'\\') text += L'\\';
    return text;
}

// Major and minor of a file's version, or false.
bool fileVersion(const std::wstring& path, WORD* major, WORD* minor) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0) return false;
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data())) return false;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info)
        return false;
    *major = HIWORD(info->dwFileVersionMS);
    *minor = LOWORD(info->dwFileVersionMS);
    return true;
}

std::wstring systemMessage(DWORD error) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = text ? text : L"";
    if (text) LocalFree(text);
    return message;
}

}  // namespace

bool CZorvaneAppFinder::FindExe(const wchar_t* uninstallKey, std::wstring* path,
                                const wchar_t* name) {
    if (!path) return false;
    const std::wstring exe = name && *name ? name : ZORVANE_EXE_NAME;
    auto found = [&](const std::wstring& candidate) {
        if (!fileExists(candidate)) return false;
        *path = candidate;
        debugTrace(L"CZorvaneAppFinder::FindExe: %s\n", candidate.c_str());
        return true;
    };
    wchar_t own[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::wstring folder(own, n);
    folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
    if (found(folder + exe)) return true;

    const std::wstring appPaths =
        L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + exe;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        const std::wstring value = readString(root, appPaths.c_str(), nullptr);
        if (!value.empty() && found(value)) return true;
    }
    if (uninstallKey && *uninstallKey) {
        for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
            std::wstring location = readString(root, uninstallKey, L"InstallLocation");
            if (location.empty()) continue;
            std::wstring stripped = exe;
            while (!stripped.empty() && stripped.front() == L'\\') stripped.erase(0, 1);
            if (found(joinPath(location, stripped))) return true;
        }
    }
    return false;
}

HWND CZorvaneAppFinder::ExecExe(const wchar_t* path, const wchar_t* parameters, int show,
                                DWORD waitMs) {
    std::wstring file = path ? path : L"";
    if (file.empty()) {
        const std::wstring key = std::wstring(ZORVANE_UNINSTALL_KEY_ROOT) + ZORVANE_PRODUCT_CODE_2;
        if (!FindExe(key.c_str(), &file, nullptr)) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return nullptr;
        }
    }
    debugTrace(L"CZorvaneAppFinder::ExecExe: %s\n", file.c_str());
    if (waitMs == 0) waitMs = 5000;

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_UNICODE;
    info.lpFile = file.c_str();
    info.lpParameters = parameters;
    info.nShow = show;
    if (!ShellExecuteExW(&info)) {
        const DWORD error = GetLastError();
        debugTrace(L"CZorvaneAppFinder::ExecExe: ShellExecuteEx() failed, error: %s\n",
                   systemMessage(error).c_str());
        SetLastError(error);
        return nullptr;
    }
    DWORD newPid = 0;
    if (info.hProcess) {
        newPid = GetProcessId(info.hProcess);
        CloseHandle(info.hProcess);
    }
    const DWORD start = GetTickCount();
    for (;;) {
        HWND listener = FindWindowW(ZORVANE_LISTENER_CLASS, nullptr);
        if (listener) {
            DWORD windowPid = 0;
            GetWindowThreadProcessId(listener, &windowPid);
            debugTrace(L"CZorvaneAppFinder::ExecExe: hwnd=%08x pidWnd/New=%04x/%04x\n",
                       static_cast<UINT>(reinterpret_cast<UINT_PTR>(listener)), windowPid, newPid);
            SetLastError(windowPid == newPid ? 0 : ERROR_ALREADY_EXISTS);
            return listener;
        }
        if (GetTickCount() - start >= waitMs) break;
        Sleep(100);
    }
    SetLastError(ERROR_NOT_READY);
    return nullptr;
}

bool FindNoteAppFolder(std::wstring* folder) {
    if (!folder) return false;
    const std::wstring uninstall = std::wstring(ZORVANE_UNINSTALL_KEY_ROOT) + ZORVANE_PRODUCT_CODE;
    std::wstring found = readAppRegistryString(ZORVANE_APP_PATHS_KEY, L"Path");
    if (!found.empty()) {
        WORD major = 0, minor = 0;
        if (fileVersion(found + ZORVANE_EXE_NAME, &major, &minor) && major == 3 && minor == 1) {
            const std::wstring location =
                readAppRegistryString(uninstall.c_str(), L"InstallLocation");
            if (!location.empty()) found = location;
        }
        *folder = found;
        return true;
    }
    found = readAppRegistryString(uninstall.c_str(), L"InstallLocation");
    if (found.empty()) return false;
    *folder = found;
    return true;
}

// ---------------------------------------------------------------- images

namespace {

// Starts GDI+ once for the process (the program has started it already; a
// test has not).
bool gdiplusReady() {
    static const ULONG_PTR token =
        appGlobals().gdiplusToken ? appGlobals().gdiplusToken : win::startGdiplus();
    return token != 0;
}

bool pngEncoder(CLSID* clsid) {
    UINT count = 0, size = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0) return false;
    std::vector<BYTE> data(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(data.data());
    if (Gdiplus::GetImageEncoders(count, size, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && wcscmp(codecs[i].MimeType, L"image/png") == 0) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

std::string utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n,
                            nullptr, nullptr);
    return out;
}

std::wstring localDate() {
    wchar_t text[128] = {};
    GetDateFormatW(LOCALE_SYSTEM_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, text, 128);
    return text;
}

std::wstring localTime() {
    wchar_t text[128] = {};
    GetTimeFormatW(LOCALE_SYSTEM_DEFAULT, TIME_NOSECONDS, nullptr, nullptr, text, 128);
    return text;
}

}  // namespace

bool encodePng(HBITMAP bitmap, IStream* stream) {
    if (!bitmap || !stream || !gdiplusReady()) return false;
    CLSID clsid;
    if (!pngEncoder(&clsid)) return false;
    Gdiplus::Bitmap image(bitmap, nullptr);
    if (image.GetLastStatus() != Gdiplus::Ok) return false;
    return image.Save(stream, &clsid, nullptr) == Gdiplus::Ok;
}

bool savePng(HBITMAP bitmap, const wchar_t* path) {
    if (!bitmap || !path || !gdiplusReady()) return false;
    CLSID clsid;
    if (!pngEncoder(&clsid)) return false;
    Gdiplus::Bitmap image(bitmap, nullptr);
    if (image.GetLastStatus() != Gdiplus::Ok) return false;
    DeleteFileW(path);
    return image.Save(path, &clsid, nullptr) == Gdiplus::Ok;
}

std::wstring screenClipTitle() {
    return L"Scribix Screen Clip " + localDate() + L" " + localTime();
}

std::wstring snapshotFilePath() {
    wchar_t appData[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData)))
        return L"";
    const std::wstring folder = std::wstring(appData) + L"\\Scribix";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\sxSnapshot.png";
}

// ---------------------------------------------------------------- hand-off

bool SendClipByCommandLine(HBITMAP clip, const std::wstring& folder) {
    const std::wstring png = snapshotFilePath();
    if (png.empty() || !savePng(clip, png.c_str())) return false;
    const std::wstring parameters = L"createNote /s \"" + png + L"\" /i \"Scribix Screen Clip " +
                                    localDate() + L" " + localTime() + L"\"";
    std::wstring tool = folder;
    if (!tool.empty() && tool.back() == L'\\') tool.pop_back();
    tool += L"\\ZvScript.exe";
    // The tool's own answer is not waited for.
    ShellExecuteW(nullptr, L"open", tool.c_str(), parameters.c_str(), L"", SW_SHOWMINNOACTIVE);
    return true;
}

bool checkListenerReady(HWND listener) {
    const UINT check = registeredMessages().checkListener;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (attempt > 0) Sleep(1000);
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(listener, check, 0, 0, SMTO_ABORTIFHUNG, 3000, &answer))
            return false;
        if (answer != 0) return true;
    }
    return false;
}

bool SendClipToListener(HBITMAP clip) {
    if (!clip) return false;
    HWND listener = FindWindowW(ZORVANE_LISTENER_CLASS, nullptr);
    if (!listener) listener = CZorvaneAppFinder::ExecExe(nullptr, nullptr, SW_SHOWNA, 0);
    if (!listener || !checkListenerReady(listener)) return false;

    CBufferStream* png = new CBufferStream;
    const bool encoded = encodePng(clip, png);
    bool sent = false;
    if (encoded) {
        GrowBuffer block;
        const std::string title = utf8(screenClipTitle());
        static const char fileName[] = "ScreenClip.png";
        static const char mime[] = "image/png";
        static const char reserved[] = "";
        if (block.append(title.c_str(), static_cast<DWORD>(title.size() + 1)) &&
            block.append(fileName, sizeof fileName) && block.append(mime, sizeof mime) &&
            block.append(reserved, sizeof reserved) &&
            block.append(png->buffer().data(), png->buffer().size())) {
            COPYDATASTRUCT copy = {};
            copy.dwData = registeredMessages().createNoteFromFile;
            copy.cbData = static_cast<DWORD>(block.size());
            copy.lpData = block.data();
            DWORD_PTR answer = 0;
            sent = SendMessageTimeoutW(
                       listener, WM_COPYDATA, reinterpret_cast<WPARAM>(getServiceWindow()),
                       reinterpret_cast<LPARAM>(&copy), SMTO_ABORTIFHUNG, 3000, &answer) != 0;
        }
    }
    png->Release();
    return sent;
}

bool SendScreenClipToNoteApp(HBITMAP clip) {
    std::wstring folder;
    if (!FindNoteAppFolder(&folder)) {
        const std::wstring text =
            std::wstring(
                L"Zorvane software is not found on your PC.\nTo install Zorvane for "
                L"Windows, visit the page\n") +
            ZORVANE_DOWNLOAD_PAGE;
        showMessageBox(text.c_str(), MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (fileExists(joinPath(folder, ZORVANE_SCRIPT_NAME)))
        return SendClipByCommandLine(clip, folder);
    return SendClipToListener(clip);
}

// ---------------------------------------------------------- clip send menu

bool copyClipToClipboard(HBITMAP clip) {
    if (!clip) return false;
    // A device-dependent copy: a DIB section on the clipboard does not reach
    // other processes everywhere.
    BITMAP info = {};
    if (!GetObjectW(clip, sizeof info, &info)) return false;
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    HBITMAP copy = CreateCompatibleBitmap(screen, info.bmWidth, info.bmHeight);
    bool copied = false;
    if (from && to && copy) {
        HGDIOBJ oldFrom = SelectObject(from, clip);
        HGDIOBJ oldTo = SelectObject(to, copy);
        copied = BitBlt(to, 0, 0, info.bmWidth, info.bmHeight, from, 0, 0, SRCCOPY) != FALSE;
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
    }
    if (to) DeleteDC(to);
    if (from) DeleteDC(from);
    ReleaseDC(nullptr, screen);
    if (!copied) {
        if (copy) DeleteObject(copy);
        return false;
    }
    HWND owner = getServiceWindow();
    bool placed = false;
    for (int attempt = 0; attempt < 10 && !placed; ++attempt) {
        if (OpenClipboard(owner)) {
            EmptyClipboard();
            placed = SetClipboardData(CF_BITMAP, copy) != nullptr;
            CloseClipboard();
            break;
        }
        Sleep(20);  // another program holds the clipboard for a moment
    }
    if (!placed) DeleteObject(copy);  // the clipboard owns it once placed
    return placed;
}

namespace {

int popupChooser(HWND owner, POINT at) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return 0;
    AppendMenuW(menu, MF_STRING, 1, L"Save to clipboard");
    AppendMenuW(menu, MF_STRING, 2, L"Send to Zorvane");
    AppendMenuW(menu, MF_STRING, 3, L"Cancel");
    const UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN;
    int chosen = 0;
    HWND service = getServiceWindow();
    HWND menuOwner =
        service ? reinterpret_cast<HWND>(SendMessageW(service, WM_INK_CREATE_MENU_OWNER, 0, 0))
                : nullptr;
    if (menuOwner) {
        chosen = trackMenuThrough(menuOwner, {menu, at.x, at.y, flags});
    } else if (owner) {
        SetForegroundWindow(owner);
        chosen = TrackPopupMenuEx(menu, flags, at.x, at.y, owner, nullptr);
        PostMessageW(owner, WM_NULL, 0, 0);
    }
    DestroyMenu(menu);
    return chosen;
}

ClipMenuChooser g_chooser = popupChooser;

}  // namespace

void setClipMenuChooser(ClipMenuChooser chooser) { g_chooser = chooser ? chooser : popupChooser; }

bool showClipSendMenu(HBITMAP clip) {
    POINT at = {};
    GetCursorPos(&at);
    HWND owner = markupBarWindow() ? markupBarWindow() : getServiceWindow();
    int chosen = 0;
    {
        // The pen must not ink into the menu.
        MouseTransparentScope transparent(getLocalInkManager() != nullptr);
        chosen = g_chooser(owner, at);
    }
    if (chosen == 1)
        copyClipToClipboard(clip);
    else if (chosen == 2)
        SendScreenClipToNoteApp(clip);
    refreshBarButtons();
    return chosen != 0;
}
