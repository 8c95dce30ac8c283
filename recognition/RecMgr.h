// The recognizer manager: the one object that finds the engine folders beside
// the program, keeps one recognizer module per language, and tells the
// recognition thread, the menus and the dialogs which module and which
// profile to use.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "recognition/ProfileChooser.h"

class RecModule;
class RecProfile;

// The Windows Tablet PC recognizer, as far as the manager asks about it.
class PlatformRecognizers {
  public:
    virtual ~PlatformRecognizers() = default;
    // The platform's recognizers collection can be created.
    virtual bool available();
    // It has a default recognizer for the language.
    virtual bool hasDefaultRecognizer(LANGID language);
    // The module of a language recognized by the platform (a RecWinModule).
    virtual RecModule* createModule(const std::wstring& languageName,
                                    const std::wstring& dataFolder);
};

class RecMgr {
  public:
    RecMgr();
    // Deletes every module.
    virtual ~RecMgr();
    RecMgr(const RecMgr&) = delete;
    RecMgr& operator=(const RecMgr&) = delete;

    // The user's data folder (%APPDATA%\Scribix, made when missing), then the
    // engines of `baseFolder` (null: the program's folder).
    bool init(const wchar_t* baseFolder);
    // Finds the engine folders and keeps one loaded module per language.
    bool loadEngines(const wchar_t* baseFolder);

    // An empty or null name means "English"; a language without a module
    // falls back to "English". False when neither has a module.
    bool setCurrentLanguage(const wchar_t* name);
    std::wstring currentLanguage() const;
    // Takes the keyboard layout of the field that had the focus, activates it
    // for this thread and makes its language current. `layout`, when given,
    // receives that layout.
    bool selectLanguageOfFocus(HKL* layout = nullptr);
    // The recognizer's description for the About box, "(R)" shown as "®".
    bool getRecognizerInfo(const wchar_t* language, std::wstring& text);

    // On the module of the current language; null or false without one.
    RecProfile* findProfile(const wchar_t* name);
    RecProfile* getDefaultProfile();
    RecProfile* getCurrentProfile();
    bool hasProfile(const wchar_t* name);
    // The pending profile override, else "#sys-default", else the module's default.
    RecProfile* getProfileForInput();

    // The pending profile choice and the lookup of the profile bound to a window.
    CProfileChooser& profileChooser() { return chooser_; }

    RecModule* getModule(const wchar_t* language) const;
    RecModule* getCurrentModule() const;
    const std::map<std::wstring, RecModule*>& modules() const { return modules_; }

    static bool isSystemProfileName(const wchar_t* name);

    const std::wstring& dataFolder() const { return dataFolder_; }
    // Seams for tests: where the user's data go, the platform recognizer and
    // the installed keyboard layouts (at most `maxCount`).
    void setDataFolder(const std::wstring& folder) { dataFolder_ = folder; }
    void setPlatformRecognizers(PlatformRecognizers* platform) { platform_ = platform; }
    using LayoutSource = std::function<std::vector<HKL>(int maxCount)>;
    void setLayoutSource(LayoutSource source) { layouts_ = std::move(source); }

  private:
    void deleteModules();
    // The engine folders the platform recognizer can serve for the installed
    // keyboard layouts.
    void createFoldersForKeyboardLanguages(const std::wstring& baseFolder);
    std::wstring takeProfileOverride();

    std::map<std::wstring, RecModule*> modules_;
    std::wstring currentLanguage_;
    std::wstring dataFolder_;
    mutable std::mutex languageLock_;
    PlatformRecognizers* platform_ = nullptr;
    LayoutSource layouts_;
    CProfileChooser chooser_;
};

// The program's one recognizer manager.
RecMgr& getRecMgr();

// Deferred start-up: the manager's init over the program's own folder.
void initRecognitionManager(int flags);
