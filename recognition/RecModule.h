// A recognizer module: one recognition engine of one language behind the
// recognizer library's PSO_ interface, with the language's recognition
// profiles and the paths of its files. RecVexaModule implements it over the
// recognizer library of an engine folder.
//
// Results of the PSO_ operations: 0 success, 1 failure, 2 not supported,
// 3 no recognition context, 7 bad argument.
//
// Threads: the main thread (editors, menus) and the recognition thread of the
// system client both use a module. Every operation on the profiles takes the
// module's profile lock; a caller that keeps a RecProfile* across several
// calls (a whole recognition, from the session start to the answers) holds
// lockProfiles() meanwhile, so that a reload of the profiles cannot delete the
// profile under it.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "outside/VexaScript.h"
#include "recognition/ModuleLocale.h"
#include "recognition/RecMessages.h"
#include "recognition/RecProfile.h"
#include "core/VexaSuper.h"

class CMacro;
class RecWordList;
struct PlainElem;

class RecModule : public VexaSuper {
    VEXA_CLASS(RecModule, VexaSuper)

  public:
    // Makes sure that the language's data folder (dataFolder\languageName) exists.
    RecModule(const std::wstring& languageName, const std::wstring& dataFolder);
    // Releases every profile's context.
    ~RecModule() override;
    RecModule(const RecModule&) = delete;
    RecModule& operator=(const RecModule&) = delete;

    // ---- operations each engine builds on its own PSO_ operations ----
    virtual bool checkWord(PSO_HRC context, const wchar_t* word) = 0;
    // A dictionary handle, 0 on failure.
    virtual PSO_HUSERDICT LoadUserDictFromFile(PSO_HRC context, const wchar_t* path,
                                               bool mayBeMissing) = 0;
    virtual bool SaveUserDictToFile(PSO_HRC context, PSO_HUSERDICT dictionary, const wchar_t* path,
                                    const wchar_t* backupExtension) = 0;
    virtual PSO_HRC createRecContext(RecProfile& profile) = 0;
    // A new word list, or null.
    virtual RecWordList* getAnswers(PSO_HRC context, int capitalization, bool stopAtWeakBlock) = 0;
    virtual bool getWordVariants(PSO_HRC context, const wchar_t* word,
                                 std::vector<std::wstring>& out, int maximum) = 0;
    virtual const wchar_t* getUserDictExtension() const = 0;
    virtual bool addWordToUserDict(PSO_HRC context, PSO_HUSERDICT dictionary,
                                   const wchar_t* word) = 0;
    virtual bool enumUserDictWords(PSO_HRC context, PSO_HUSERDICT dictionary,
                                   UserDictWordCallback callback, void* parameter) = 0;
    // Loads the profiles, then probes the engine folder for the gate library.
    virtual bool load();
    // Releases every profile's context and empties the profile map.
    virtual void releaseProfiles();

    // ---- the recognizer library's functions (see VexaScript.h) ----
    virtual int32_t PSO_GetRecognizerInfo(int32_t kind, char* buffer) = 0;
    virtual PSO_HRC PSO_CreateRecognitionContext() = 0;
    virtual int32_t PSO_DeleteRecognitionContext(PSO_HRC context) = 0;
    virtual int32_t PSO_StartRecognitionSession(PSO_HRC context,
                                                const PSO_SESSION_START* start) = 0;
    virtual int32_t PSO_EndRecognitionSession(PSO_HRC context) = 0;
    virtual int32_t PSO_AddInkToRecSession(PSO_HRC context, const PSO_POINT* points, int32_t count,
                                           int32_t reserved, int32_t* strokesAdded,
                                           int32_t source) = 0;
    virtual int32_t PSO_SetExtraSessionParameters(PSO_HRC context, int32_t kind,
                                                  intptr_t value) = 0;
    virtual int32_t PSO_GetNumAnswerBlocks(PSO_HRC context) = 0;
    virtual int32_t PSO_GetNumWordsInAnswerBlock(PSO_HRC context, int32_t block) = 0;
    virtual int32_t PSO_GetWordFromAnswerBlock(PSO_HRC context, int32_t block, int32_t alternative,
                                               char* text, int32_t* weight, int32_t* strokes,
                                               int32_t* strokeCount, int32_t room) = 0;
    virtual int32_t PSO_GetAnswerConfidence(PSO_HRC context, int32_t block,
                                            int32_t* confidence) = 0;
    virtual int32_t PSO_GetExtraAnswerData(PSO_HRC context, int32_t block, int32_t alternative,
                                           int32_t request, int32_t index, void* buffer) = 0;
    virtual int32_t PSO_GetNumStrokes(PSO_HRC context) = 0;
    virtual int32_t PSO_GetStrokeLen(PSO_HRC context, int32_t stroke) = 0;
    virtual int32_t PSO_GetStroke(PSO_HRC context, int32_t stroke, PSO_POINT* buffer,
                                  int32_t room) = 0;
    virtual int32_t PSO_AddLexGeneratorToRecContext(PSO_HRC context, const void* bytes,
                                                    int32_t length) = 0;
    // `bytes` end at a NUL byte after them (null: a new, empty dictionary).
    virtual PSO_HUSERDICT PSO_AddUserDictToRecContext(PSO_HRC context, const void* bytes) = 0;
    // Buffer null: the dump's size; else `buffer` holds that many bytes.
    virtual int32_t PSO_DumpUserDictToMemoryBuffer(PSO_HRC context, PSO_HUSERDICT dictionary,
                                                   void* buffer) = 0;
    virtual int32_t PSO_UserDict_Features(PSO_HRC context, PSO_HUSERDICT dictionary,
                                          int32_t* wordCount) = 0;
    virtual int32_t PSO_UserDict_AddWord(PSO_HRC context, PSO_HUSERDICT dictionary,
                                         const char* word) = 0;
    virtual int32_t PSO_UserDict_Clear(PSO_HRC context, PSO_HUSERDICT dictionary) = 0;
    virtual int32_t PSO_UserDict_EnumWords(PSO_HRC context, PSO_HUSERDICT dictionary,
                                           PSO_ENUMWORDS_CALLBACK callback, void* param) = 0;
    // Frees a dictionary of the context (a reload drops the old copy: a
    // context holds only so many). Libraries without it answer not supported.
    virtual int32_t PSO_RemoveUserDictFromRecContext(PSO_HRC, PSO_HUSERDICT) {
        return PSO_ERR_NOT_SUPPORTED;
    }

    // ---- the module's own data ----
    const std::wstring& languageName() const { return languageName_; }
    const std::wstring& engineFolder() const { return engineFolder_; }
    const std::wstring& dataFolder() const { return dataFolder_; }
    const ModuleLocale& locale() const { return locale_; }
    // The locale's language identifier; a module whose id is 0 is never kept.
    LANGID localeLanguageId() const { return locale_.languageId(); }
    bool hasGate() const { return gate_; }
    bool russianByteMapping() const { return russianByteMapping_; }
    void setRussianByteMapping(bool on) { russianByteMapping_ = on; }

    // A name that starts with "\" or holds ":\" unchanged (no extension);
    // otherwise engineFolder\name, or with inDataFolder
    // dataFolder\language\name, then the extension. False for a null name.
    bool makeFilePath(const wchar_t* name, const wchar_t* extension, bool inDataFolder,
                      std::wstring& out) const;
    std::wstring getProfilesFilePath() const;

    // ---- profiles ----
    // The profile lock, held like a std::unique_lock. While a thread holds
    // one, what the recognition side has to tell the user waits until the
    // thread lets go of its last (RecMessages.h): no box is ever up while the
    // profiles are locked.
    class ProfileLock {
      public:
        ProfileLock() = default;
        explicit ProfileLock(std::recursive_mutex& mutex) : lock_(mutex) { holdRecMessages(); }
        ProfileLock(ProfileLock&& other) noexcept : lock_(std::move(other.lock_)) {}
        ProfileLock& operator=(ProfileLock&& other) noexcept {
            if (this != &other) {
                unlock();
                lock_ = std::move(other.lock_);
            }
            return *this;
        }
        ~ProfileLock() { unlock(); }
        bool owns_lock() const { return lock_.owns_lock(); }
        void unlock() {
            if (!lock_.owns_lock()) return;
            lock_.unlock();
            releaseRecMessages();
        }

      private:
        std::unique_lock<std::recursive_mutex> lock_;
    };
    ProfileLock lockProfiles() const { return ProfileLock(profilesLock_); }

    // The profile of that exact name, or null; a null name gives the default.
    RecProfile* findProfile(const wchar_t* name);
    // "#sys-default" when present, else the first profile, else null.
    RecProfile* getDefaultProfile();
    RecProfile* getCurrentProfile() const { return currentProfile_; }
    // Names in map order.
    std::vector<std::wstring> profileNames() const;

    // Reads "profiles.xml" of the language's data folder (see RecProfiles.cpp);
    // always true: failures are reported to the user.
    bool loadProfiles();
    // Writes every profile; with keepBackup the file it replaces stays as ".bak".
    bool saveProfiles(bool keepBackup);
    // Stores a copy of the profile (which must belong to this module). Without
    // `replace` an existing profile of that name fails.
    bool addProfile(const RecProfile& profile, bool replace);
    bool removeProfile(const wchar_t* name);
    // Adds the missing system profiles from their templates; true when any was added.
    bool restoreSystemProfiles();
    bool profilesChanged() const { return profilesChanged_; }

    // ---- user dictionaries across the profiles ----
    bool refreshUserDictInOtherProfiles(const RecProfile* profile, const std::wstring& key);
    bool findUserDictHandle(const std::wstring& key, PSO_HUSERDICT& handle, PSO_HRC& context);
    bool addWordToUserDictInAllProfiles(const wchar_t* word, const std::wstring& key);

    // ---- macros ----
    // Only the "English" module keeps a macro set; the others answer false.
    bool hasMacros() const;
    bool hasMacro(const wchar_t* name) const;
    // Runs the macro `name` for the target window and the target's module name.
    bool runMacro(const wchar_t* name, HWND target, const wchar_t* targetModule);
    // (Re)loads "macro.xml" and fills the "#sys-macro" profile's dictionary
    // with the macro names. False without a macro set, without a "#sys-macro"
    // profile holding exactly one loaded dictionary (the set is then
    // emptied), or when the dictionary cannot be filled.
    bool loadMacros();
    // "macro.xml" of the language's data folder (empty without one).
    std::wstring getMacroFilePath() const;
    // The macro set, or null (what the macro editor works on).
    CMacro* macroSet() const { return macro_.get(); }

    // A system profile's template; false for a name that is none.
    static bool makeSystemTemplate(RecModule* module, const std::wstring& name, RecProfile& out);

  protected:
    void setEngineFolder(const std::wstring& folder) { engineFolder_ = folder; }
    // Puts a system profile back to its template where it may not differ;
    // true (and the profiles-changed flag set) when that changed it.
    bool normaliseSystemProfile(RecProfile& profile);
    void preloadContexts();

  private:
    bool enumProfiles(const PlainElem* record);
    // A profile read from the file: its texts repaired, then added.
    bool addLoadedProfile(RecProfile& profile);

    RecProfile* currentProfile_ = nullptr;
    bool russianByteMapping_ = true;
    std::wstring languageName_;
    std::wstring engineFolder_;
    std::wstring dataFolder_;
    ModuleLocale locale_;
    std::map<std::wstring, RecProfile> profiles_;
    bool profilesChanged_ = false;
    bool gate_ = false;
    mutable std::recursive_mutex profilesLock_;
    std::unique_ptr<CMacro> macro_;
};

// Whether an engine folder holds a "Gate_T.dll" that can create and delete a
// recognition context.
bool probeGateLibrary(const std::wstring& engineFolder);

// Makes an engine folder the process's current directory for the life of
// the object (the library and its helpers find their files there) and puts
// the previous one back. An empty folder switches nothing. One scope at a
// time in the process, so two threads never restore each other's folder.
class CurrentDirectoryScope {
  public:
    explicit CurrentDirectoryScope(const std::wstring& folder);
    ~CurrentDirectoryScope();
    CurrentDirectoryScope(const CurrentDirectoryScope&) = delete;
    CurrentDirectoryScope& operator=(const CurrentDirectoryScope&) = delete;

  private:
    std::unique_lock<std::recursive_mutex> lock_;
    std::wstring saved_;
    bool switched_ = false;
};
