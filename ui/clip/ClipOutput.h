// Where a finished screen clip goes: the clipboard, or the Zorvane note
// application (through its command-line tool when it has one, else through its
// listener window as a WM_COPYDATA block carrying the clip as PNG bytes). With
// the small memory and image routines this needs: an IStream over a growable
// byte buffer, and resource bytes named by a path.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <string>

#include "xml/GrowBuffer.h"

// An IStream over a growable buffer with a 32-bit position (reference counted,
// starting at 1). It never holds more than `maxSize` bytes.
class CBufferStream final : public IStream {
  public:
    explicit CBufferStream(DWORD maxSize = 0xFFFFFFFF);

    const GrowBuffer& buffer() const { return buffer_; }
    DWORD position() const { return position_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // ISequentialStream
    HRESULT STDMETHODCALLTYPE Read(void* bytes, ULONG count, ULONG* read) override;
    HRESULT STDMETHODCALLTYPE Write(const void* bytes, ULONG count, ULONG* written) override;
    // IStream
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER offset, DWORD origin,
                                   ULARGE_INTEGER* newPosition) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                                         DWORD type) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER count,
                                           DWORD type) override;
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** stream) override;

  private:
    ~CBufferStream();

    LONG references_ = 1;
    // Makes the length `size`, the new bytes zero; false when it cannot.
    bool extendTo(DWORD size);

    GrowBuffer buffer_;
    DWORD position_ = 0;
    DWORD maxSize_;
};

// Resource bytes named "module/name.type" (or "name.type" in the program
// itself; without a type, 23 (HTML)). A module named here stays loaded for the
// rest of the process, so the bytes stay valid.
bool loadResourceByPath(const wchar_t* path, const void** bytes, DWORD* size);

// Finds and starts the note application.
class CZorvaneAppFinder {
  public:
    // The executable `name` ("Zorvane.exe" when empty): beside this program,
    // else by the App Paths entry, else in the install location of
    // `uninstallKey`. True with `path` set when a file was found.
    static bool FindExe(const wchar_t* uninstallKey, std::wstring* path, const wchar_t* name);
    // Starts `path` (found by FindExe when empty) and waits up to `waitMs`
    // (0: 5000) for the listener window; the window or null, with the thread's
    // last error: 0 a new instance answered, 183 an earlier one, 2 nothing to
    // start, 21 no window within the wait.
    static HWND ExecExe(const wchar_t* path, const wchar_t* parameters, int show, DWORD waitMs);
};

// The note application's folder (ending in a backslash).
bool FindNoteAppFolder(std::wstring* folder);

// Hands `clip` to the note application; true when it was handed over.
bool SendScreenClipToNoteApp(HBITMAP clip);

// The parts of the hand-off, for the ones who need them alone.
bool SendClipByCommandLine(HBITMAP clip, const std::wstring& folder);
bool SendClipToListener(HBITMAP clip);
// Sends "ZVM_CHECKLISTENER" until it is answered non-zero (four tries, 1000 ms apart).
bool checkListenerReady(HWND listener);
// The clip's title "Scribix Screen Clip <short date> <time without seconds>".
std::wstring screenClipTitle();
// Encodes `bitmap` as PNG into `stream`.
bool encodePng(HBITMAP bitmap, IStream* stream);
// Saves `bitmap` as a PNG file.
bool savePng(HBITMAP bitmap, const wchar_t* path);
// The temporary clip file "sxSnapshot.png" in the program's data folder.
std::wstring snapshotFilePath();

// Puts a copy of `clip` on the clipboard as CF_BITMAP; true when it is there.
bool copyClipToClipboard(HBITMAP clip);

// The clip's destinations at the cursor: "Save to clipboard" (1), "Send to
// Zorvane" (2), "Cancel" (3). True when an entry was chosen.
bool showClipSendMenu(HBITMAP clip);
// Who picks the entry: the popup menu, or a test in its place.
using ClipMenuChooser = int (*)(HWND owner, POINT at);
void setClipMenuChooser(ClipMenuChooser chooser);
