// Handwritten macros: the macro store of a language module ("macro.xml"), the
// custom executor libraries named in the registry, and the player of the
// macro text language.
//
// A macro is a named entry of "macro.xml":
//   <macroses>
//     <macro name="sig" description="Signature" type="keystroke" param="">Best
//     regards,{Enter}Ann</macro> <macro name="pad" type="launch">"C:\Program Files\Pad\pad.exe"
//     -new</macro>
//   </macroses>
// The system client recognizes a writing with the "#sys-macro" profile, whose
// user dictionary holds the macro names (fillMacroDictionary), and runs the
// macro whose name was written (runMacro) instead of typing the text.
//
// Keystroke texts: characters are typed; "{...}" tokens are keys ("{Enter}",
// "{F5}", "{#3}"), modifier groups ("{Ctrl+c}", "{Ctrl+{Shift+s}}"), codes
// ("{HexVk:2e}", "{HexChar:41}"), "{Delay:ms}", "{RunMacro:name}",
// "{Custom:command:parameter}", the profile commands ("{UseProfile:name}",
// "{UseProfileScope:Once|Focus|Always}"), program commands ("{Settings:Ink}",
// "{Toolbar}", "{PunctPane}", "{WordMenu}", "{Bind}", "{Markup}",
// "{MainMenu}") and the date and time ("{DateShort}", "{DateLong}", "{Time}").
// "{{" types "{"; a token that matches nothing types its text and its "}".
//
// Threads: macros run on the recognition thread; the editors reload the store
// on the main thread. The document is guarded by the store's own lock, which
// is held only to look a macro up, never while a macro plays.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "outside/MacroExecutor.h"
#include "xml/IxlScribixHelper.h"

class RecModule;
class RecProfile;
class UserDict;

// One executor library of the registry list. The library stays loaded for
// the life of the object.
class CCustomMacroExecutor {
  public:
    explicit CCustomMacroExecutor(std::wstring path);
    virtual ~CCustomMacroExecutor();
    CCustomMacroExecutor(const CCustomMacroExecutor&) = delete;
    CCustomMacroExecutor& operator=(const CCustomMacroExecutor&) = delete;

    // Loads the library and looks its two entries up; false when it did not load.
    bool load();
    const std::wstring& path() const { return path_; }
    bool loaded() const { return library_ != nullptr; }
    bool canRun() const { return run_ != nullptr; }

    // Asks the library to run the command. True when it handled it; `text`
    // then holds a copy of what it returned (empty when nothing). The
    // library's own text is released through its ReleaseStringProc; a library
    // without that entry keeps it (it cannot be freed here).
    bool run(HWND target, const wchar_t* command, const wchar_t* parameter, std::wstring& text,
             bool& returnedText) const;

  private:
    std::wstring path_;
    HMODULE library_ = nullptr;
    DoCustomMacroProcFn run_ = nullptr;
    ReleaseStringProcFn release_ = nullptr;
};

// The ordered executor list read from the registry.
class CCustomMacroExecutors {
  public:
    // The registry subkey and the prefix of its values (CustomExecDll1, ...).
    static const wchar_t* const kSubkey;       // "MacroCustomExecutors"
    static const wchar_t* const kValuePrefix;  // "CustomExecDll"
    static constexpr int kMaxPath = 255;

    virtual ~CCustomMacroExecutors() = default;

    // Empties the list, then reads CustomExecDll1, CustomExecDll2, ... up to
    // the first missing number; every named library is kept, loaded or not.
    void load();
    size_t size() const { return list_.size(); }
    const CCustomMacroExecutor& at(size_t i) const { return *list_[i]; }

    // Asks the executors in order; the first that handles the command wins.
    // False when none did. `text` is what the winner returned, `returnedText`
    // whether it returned one at all.
    bool ask(HWND target, const wchar_t* command, const wchar_t* parameter, std::wstring& text,
             bool& returnedText) const;

  private:
    std::vector<std::unique_ptr<CCustomMacroExecutor>> list_;
};

// What the player needs of the floors above it: the typing operations, the
// pen's windows and the program's bars and dialogs. Until the program hands
// its own down (setMacroLink) nothing is typed and no menu is shown; modifier
// keys, launches and the requests to the service window go out as they are.
class MacroLink {
  public:
    virtual ~MacroLink() = default;

    // The typing operations (see the program's keyboard output): a character
    // by its key under `layout` (with keyOnly, without its shift state), a
    // virtual key down and up, a string.
    virtual void typeCharKey(UINT code, HKL layout, bool keyOnly) {}
    virtual void typeVirtualKey(WORD virtualKey) {}
    virtual void typeString(const wchar_t* text, HKL layout, bool keyOnly) {}
    // A modifier key down or up, with its scan code.
    virtual void modifierKey(BYTE virtualKey, bool up);
    virtual void sleep(DWORD ms) { Sleep(ms); }

    // Starts a program (ShellExecuteExW); the caller owns info.hProcess.
    virtual bool shellExecute(SHELLEXECUTEINFOW& info);
    virtual BOOL forceForegroundWindow(HWND window) { return FALSE; }

    // The program's windows.
    virtual bool isSettingsDialogOpen();
    // Message 3101 to the service window, which shows or hides the main bar.
    virtual void showMainBar(bool show);
    virtual void showWordMenu() {}
    // Binding mode: its panel has taken the bar master's messages.
    virtual bool isBindingMode();
    // Message 3044 to the service window.
    virtual void setBindingMode(bool on);
    // The profile choice menu under `prompt`; the chosen profile becomes the
    // pending choice with `scope`. By default the service window shows it.
    virtual void chooseProfile(const wchar_t* prompt, int scope);
};

MacroLink& macroLink();
// Null puts the default back. Set at start-up, before the recognition thread runs.
void setMacroLink(MacroLink* link);

class CMacro {
  public:
    // The deepest nesting of macro runs: a run at this level starts no other.
    static constexpr int kMaxDepth = 4;
    // Room for a token's text up to its "}" (what its arguments are read from).
    static constexpr size_t kTokenRoom = 40;

    CMacro();
    virtual ~CMacro();
    CMacro(const CMacro&) = delete;
    CMacro& operator=(const CMacro&) = delete;

    // ---- the store ----
    // Drops the document and loads the module's "macro.xml" (a missing file
    // gives an empty document).
    bool load(const RecModule& module);
    // Loads from a path (what load(module) does with the module's path).
    bool loadFile(const wchar_t* path);
    void clear();
    bool hasMacros() const;
    bool hasMacro(const wchar_t* name) const;
    // The names in document order.
    std::vector<std::wstring> macroNames() const;
    // Empties the profile's dictionary and adds every macro name to it.
    bool fillMacroDictionary(RecProfile* profile, const UserDict* dictionary);

    CCustomMacroExecutors& executors() { return executors_; }
    const CCustomMacroExecutors& executors() const { return executors_; }
    int depth() const { return depth_; }

    // ---- the player ----
    // Runs the macro `name` for `target`; `callerValue` goes unchanged to
    // nested runs. False for no such macro, a type that is not run, the
    // nesting limit, a launch the shell refused, or an exception.
    bool runMacro(const wchar_t* name, HWND target, const void* callerValue, std::wstring& out);
    // Plays a keystroke text; false only for a null text.
    bool playText(const wchar_t* text, HKL layout, bool keyOnly, HWND target,
                  const void* callerValue);
    // Plays the token whose text starts at `at` (after its "{"); returns where
    // the walk goes on.
    const wchar_t* playToken(const wchar_t* at, HKL layout, bool keyOnly, HWND target,
                             const void* callerValue);

  private:
    // What became of a run: the macro did not run at all (no such macro, a
    // type that is not run, the nesting limit), it ran, or it ran and what it
    // asked for failed (a launch the shell refused, an exception).
    enum class Run { NotRun, Done, Failed };
    Run run(const wchar_t* name, HWND target, const void* callerValue, std::wstring& out);
    Run runBody(const wchar_t* name, HWND target, const void* callerValue, std::wstring& out);
    bool launch(const std::wstring& text);
    const wchar_t* playModifierGroup(const wchar_t* at, BYTE modifier, HKL layout, HWND target,
                                     const void* callerValue);
    void playCustom(const wchar_t* command, HKL layout, bool keyOnly, HWND target,
                    const void* callerValue);

    mutable std::mutex lock_;
    std::unique_ptr<IxlScribixHelper> document_;
    int depth_ = 0;
    CCustomMacroExecutors executors_;
};

// ---- the text forms ----

// Copies the token at `text` up to its first "}" into `out`; false (and `out`
// empty) when there is no "}" or the token has `room` characters or more.
bool copyMacroToken(const wchar_t* text, size_t room, std::wstring& out);
// The position just after the first "}", or the end of the text.
const wchar_t* skipMacroToken(const wchar_t* text);

// "{Name}" of a key of the key-name table; false and an empty text for others.
bool formatKeyName(UINT virtualKey, std::wstring& out);
// The virtual key of a key name (exact, case-sensitive); 0 for none.
UINT macroKeyByName(const wchar_t* name);

// A launch text: "\"program\" parameters" or "program parameters".
bool splitLaunchCommand(const wchar_t* text, std::wstring& program, std::wstring& parameters);
bool joinLaunchCommand(const wchar_t* program, const wchar_t* parameters, std::wstring& out);

// The "{UseProfile:name}" command: "?" offers the profile choice menu, any
// other name becomes the pending profile choice with `scope`.
void useProfileCommand(const wchar_t* name, int scope);
