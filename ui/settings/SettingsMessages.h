// What the settings dialog and its editors ask and tell the user: message
// boxes with their own captions, and the open and save file dialogs. Tests
// put answers of their own in place of the user.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// MessageBoxW over `owner` (inside the ink manager's mouse-transparent mode);
// the button pressed.
int settingsMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

// One file dialog: open (the file must exist) or save.
struct FileDialogRequest {
    bool save = false;
    const wchar_t* title = L"";
    const wchar_t* filter = L"";  // pairs of texts, each ended by a NUL
    std::wstring initialName;
};
// The chosen path; false when the user cancelled. `failed` is set when the
// dialog itself failed (not a cancel).
bool chooseSettingsFile(HWND owner, const FileDialogRequest& request, std::wstring& path,
                        bool* failed = nullptr);

// Tests: answer message boxes and file dialogs in place of the user. A null
// function gives the real dialogs back.
using SettingsMessageSink = std::function<int(HWND owner, const std::wstring& text,
                                              const std::wstring& caption, UINT type)>;
void setSettingsMessageSink(SettingsMessageSink sink);
using SettingsFileSink =
    std::function<bool(const FileDialogRequest& request, std::wstring& path, bool* failed)>;
void setSettingsFileSink(SettingsFileSink sink);
