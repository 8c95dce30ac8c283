#include "ui/settings/SettingsMessages.h"

#include <commdlg.h>

#include "ink/LocalInkManager.h"

namespace {
SettingsMessageSink& messageSink() {
    static SettingsMessageSink sink;
    return sink;
}
SettingsFileSink& fileSink() {
    static SettingsFileSink sink;
    return sink;
}
}  // namespace

void setSettingsMessageSink(SettingsMessageSink sink) { messageSink() = std::move(sink); }
void setSettingsFileSink(SettingsFileSink sink) { fileSink() = std::move(sink); }

int settingsMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type) {
    if (messageSink())
        return messageSink()(owner, text ? text : L"", caption ? caption : L"", type);
    MouseTransparentScope transparent;
    return MessageBoxW(owner, text, caption, type | MB_SETFOREGROUND);
}

bool chooseSettingsFile(HWND owner, const FileDialogRequest& request, std::wstring& path,
                        bool* failed) {
    if (failed) *failed = false;
    if (fileSink()) return fileSink()(request, path, failed);
    wchar_t buffer[MAX_PATH] = {};
    lstrcpynW(buffer, request.initialName.c_str(), MAX_PATH);
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = request.filter;
    dialog.lpstrFile = buffer;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrTitle = request.title;
    dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!request.save) dialog.Flags |= OFN_FILEMUSTEXIST;
    MouseTransparentScope transparent;
    const BOOL chosen = request.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!chosen) {
        if (failed) *failed = CommDlgExtendedError() != 0;
        return false;
    }
    path = buffer;
    return true;
}
