// Another process's view of the clipboard: prints "<width>x<height>" of the
// bitmap on it (read as CF_DIB, which the system makes from CF_BITMAP) and
// exits with 0, or exits with 1 when there is none.
#include <windows.h>

#include <cstdio>

int main() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (OpenClipboard(nullptr)) break;
        Sleep(20);
    }
    HANDLE data = GetClipboardData(CF_DIB);
    const auto* header = data ? static_cast<const BITMAPINFOHEADER*>(GlobalLock(data)) : nullptr;
    int status = 1;
    if (header) {
        std::printf("%ldx%ld\n", header->biWidth,
                    header->biHeight < 0 ? -header->biHeight : header->biHeight);
        GlobalUnlock(data);
        status = 0;
    }
    CloseClipboard();
    return status;
}
