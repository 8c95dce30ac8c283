// The platform seam of the XML library on Windows.
#include <windows.h>

#include "xml/Paths.h"
#include "xml/XMLFileStream.h"
#include "xml/XMLPlatform.h"
#include "xml/XMLString.h"
#include "xml/XMLValues.h"

bool xmlOpenFileStream(const xchar* path, std::unique_ptr<IXMLStream>& stream, XString& errorText) {
    auto file = std::make_unique<CXMLFileStream>();
    if (!file->open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL)) {
        errorText = file->errorText();
        return false;
    }
    stream = std::move(file);
    return true;
}

bool xmlReplaceFile(const xchar* path, const void* bytes, size_t size) {
    if (!path || !*path || size > 0xFFFFFFFFu) return false;
    // The new file is made beside the old one, so that the final move stays on
    // one volume and replaces the old file in one step.
    XString folder;
    if (!pathFolder(path, folder)) return false;
    if (folder.empty()) folder = L".";
    wchar_t temp[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"sx", 0, temp)) return false;
    bool written = false;
    {
        CFile file;
        if (file.open(temp, GENERIC_WRITE, 0, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL)) {
            DWORD n = 0;
            written =
                (size == 0 || file.write(bytes, static_cast<DWORD>(size), &n)) && file.flush();
        }
    }
    if (written && MoveFileExW(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileW(temp);
    return false;
}

void xmlDebugOutput(const xchar* text) { OutputDebugStringW(text); }

XString xmlNarrowToWide(const char* text) {
    if (!text || !*text) return XString();
    const int n = MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1) return XString();
    XString out(static_cast<size_t>(n - 1), L'\0');
    MultiByteToWideChar(CP_THREAD_ACP, 0, text, -1, &out[0], n);
    return out;
}

std::string xmlWideToNarrow(const XString& text) {
    if (text.empty()) return std::string();
    const int n =
        WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return std::string();
    std::string out(static_cast<size_t>(n - 1), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

namespace {

bool toSystemTime(double value, SYSTEMTIME& st) {
    unsigned y, mo, d, h, mi, s;
    if (!xmlDateToParts(value, y, mo, d, h, mi, s)) return false;
    st = SYSTEMTIME{};
    st.wYear = static_cast<WORD>(y);
    st.wMonth = static_cast<WORD>(mo);
    st.wDay = static_cast<WORD>(d);
    st.wHour = static_cast<WORD>(h);
    st.wMinute = static_cast<WORD>(mi);
    st.wSecond = static_cast<WORD>(s);
    return true;
}

bool fromSystemTime(const SYSTEMTIME& st, double& value) {
    return xmlDateFromParts(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, value);
}

}  // namespace

bool xmlUtcToLocal(double utc, double& local) {
    SYSTEMTIME u, l;
    return toSystemTime(utc, u) && SystemTimeToTzSpecificLocalTime(nullptr, &u, &l) &&
           fromSystemTime(l, local);
}

bool xmlLocalToUtc(double local, double& utc) {
    SYSTEMTIME l, u;
    return toSystemTime(local, l) && TzSpecificLocalTimeToSystemTime(nullptr, &l, &u) &&
           fromSystemTime(u, utc);
}
