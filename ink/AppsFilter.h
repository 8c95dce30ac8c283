// The application filter: applications over which the pen does not write (it
// acts as a plain pointer there), kept by program path in "AppsFilter.xml":
//
//   <apps-filter>
//     <app path="C:\Games\Chess.exe"/>
//     <app allowIfCaret="1" path="C:\Tools\Viewer.exe"/>
//
// An entry with allowIfCaret still takes writing where the target shows a
// text caret. Paths compare without regard to letter case.
//
// Threads: the service window asks at every pen-down, the binding thread
// looks applications up and the binding panel edits the list on the UI
// thread: every operation takes the filter's lock.
#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

class CAppFilterInfo {
  public:
    CAppFilterInfo() = default;
    CAppFilterInfo(const std::wstring& p, bool allow) : path(p), allowIfCaret(allow) {}
    virtual ~CAppFilterInfo() = default;

    std::wstring path;
    bool allowIfCaret = false;
};

class CAppsFilter {
  public:
    CAppsFilter() = default;
    virtual ~CAppsFilter() = default;
    CAppsFilter(const CAppsFilter&) = delete;
    CAppsFilter& operator=(const CAppsFilter&) = delete;

    // Empties the list and reads `path`; false when the file cannot be read or
    // parsed, its root is not "apps-filter" or an "app" has no "path" (the
    // list then stays empty).
    bool load(const std::wstring& path);
    // Writes the list to `path` (null: the file last loaded or saved) in one
    // step: a failed save leaves the old file whole.
    bool save(const wchar_t* path);

    // The first entry for `path`; false when the application is not listed.
    bool findApp(const std::wstring& path, bool* allowIfCaret) const;
    // Lists the application or changes its flag; false when it was listed
    // with that flag already.
    bool setApp(const std::wstring& path, bool allowIfCaret);
    bool removeApp(const std::wstring& path);

    // Whether the pen may write over the application of `modulePath`: an
    // application that is not listed, one allowed where a caret is while
    // there is one, and a listed one whose focus window belongs to another
    // process than the foreground window (a dialog of another program).
    bool isAllowed(const std::wstring& modulePath, HWND focusWindow, HWND foregroundWindow,
                   bool caretPresent) const;

    std::vector<CAppFilterInfo> entries() const;
    std::wstring filePath() const;
    bool blockListed() const;

  private:
    mutable std::mutex lock_;
    std::vector<CAppFilterInfo> entries_;
    bool blockListed_ = true;
    std::wstring filePath_;
};

// The program's filter, read at start from the data folder.
CAppsFilter& appsFilter();
