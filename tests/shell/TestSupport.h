// Helpers of the shell and stand-in tests under Wine: message boxes found and
// closed from a watcher thread, settings in a registry key of the test's own,
// the real Scribix.exe in a process of its own, and the hook library
// stand-in's journal.
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace sxtest {

// The folder of the test program (the tree's bin folder, where every program lives).
std::wstring binFolder();

// Pumps this thread's messages until `done` answers true or `ms` have passed.
bool pumpUntil(const std::function<bool()>& done, DWORD ms);

// Waits (without pumping) until `done` answers true or `ms` have passed.
bool waitUntil(const std::function<bool()>& done, DWORD ms);

// Runs this thread's messages until WM_QUIT; false when it does not come in time.
bool runUntilQuit(DWORD ms);
// Drops a WM_QUIT left in this thread's queue.
void dropQuit();

// The number of threads of this process now.
size_t threadsOfThisProcess();

// A window of this process of class `className` (registered with `procedure`
// on first use), made with the given styles and place; the caller destroys it.
HWND createTestWindow(const wchar_t* className, WNDPROC procedure, DWORD exStyle, DWORD style,
                      int x, int y, int width, int height);

// Waits for the main menu (the program's text menu, or a system popup menu)
// on screen and picks its last item ("Close Scribix" in the main menu): a tap
// on its last line, or the keyboard; false when no menu showed.
bool pickLastMenuItem(DWORD ms);

// The whole content of a file (empty when it cannot be read).
std::string readFile(const std::wstring& path);

// Finds message boxes captioned "Scribix" in any process, keeps their text and
// closes them, so that none can block a test.
class MessageBoxWatcher {
  public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    std::vector<std::wstring> texts();
    bool waitForCount(size_t count, DWORD ms);
    void clear();
    // From now on each box is left open for `ms` after it was seen (a user
    // who does not answer at once), then closed.
    void holdBoxes(DWORD ms);
    // The boxes seen and not closed yet.
    size_t openCount();

  private:
    void run();
    std::mutex lock_;
    std::vector<std::wstring> texts_;
    std::vector<HWND> closed_;
    DWORD holdMs_ = 0;
    std::vector<std::pair<HWND, DWORD>> held_;  // box, tick when seen
    HANDLE stop_;
    std::thread thread_;
};

// Points the settings store at a key of its own for the life of the object;
// the key is deleted afterwards.
class TestSettingsKey {
  public:
    explicit TestSettingsKey(const wchar_t* name);
    ~TestSettingsKey();
    const std::wstring& path() const { return path_; }

  private:
    std::wstring path_;
};

// Deletes a key of HKEY_CURRENT_USER with everything under it.
void deleteUserKey(const std::wstring& path);

// A temporary file for the hook library stand-in's journal.
class Journal {
  public:
    Journal();
    ~Journal();
    const std::wstring& path() const { return path_; }
    std::vector<std::string> lines() const;
    // The lines whose first word is `call`.
    std::vector<std::string> calls(const std::string& call) const;
    bool waitFor(const std::string& line, DWORD ms) const;  // a line starting with `line`
    // The index of the first (last) line starting with `line`, or -1.
    int indexOf(const std::string& line) const;
    int lastIndexOf(const std::string& line) const;

  private:
    std::wstring path_;
};

// The number in "thread=<id>" of a journal line (0 when there is none).
DWORD threadOfLine(const std::string& line);

// Scribix.exe with `arguments`, started from the bin folder with extra
// environment variables; killed when still running at the end.
class ScribixProcess {
  public:
    ScribixProcess(const std::wstring& arguments,
                   const std::vector<std::pair<std::wstring, std::wstring>>& environment = {});
    ~ScribixProcess();
    ScribixProcess(const ScribixProcess&) = delete;
    ScribixProcess& operator=(const ScribixProcess&) = delete;

    bool started() const { return process_ != nullptr; }
    DWORD pid() const { return pid_; }
    // The service window of this process, once it exists.
    HWND waitForServiceWindow(DWORD ms);
    bool waitForExit(DWORD ms, DWORD* exitCode = nullptr);
    void kill();

  private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
};

// The service window of any running instance, or null.
HWND findServiceWindow();
// A visible top-level window of process `pid` of that class (and title, when
// one is given), or null.
HWND findWindowOf(DWORD pid, const wchar_t* className, const wchar_t* title = nullptr);
// Every such window, the top one first.
std::vector<HWND> findWindowsOf(DWORD pid, const wchar_t* className,
                                const wchar_t* title = nullptr);
// Waits until no service window exists any more.
bool waitForNoServiceWindow(DWORD ms);

// Sends the registered command message to `window`; the answer or -1 on a time-out.
LRESULT sendCommand(HWND window, UINT code, LPARAM argument);

// Writes the real settings the program reads at start (no splash, no update
// check) under its own key, as a tidy first run would leave them.
void prepareProgramSettings(int showIntroScreen = 0);

}  // namespace sxtest
