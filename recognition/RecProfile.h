// A recognition profile: a named set of recognition settings of one language
// module (lexicon, word segmentation, capitalization, user dictionaries) and
// the engine context that holds them. Every recognition runs on a profile:
//
//   RecModule::ProfileLock lock = module->lockProfiles();   // see RecModule
//   RecProfile* p = module->findProfile(L"#sys-default");
//   p->startSession(0);  p->addInk(points, n);  p->endSession();
//   RecWordList* words = p->getAnswers(false);
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "outside/VexaScript.h"
#include "recognition/RecWordList.h"
#include "recognition/UserDict.h"

class CLiteElem;
class RecModule;
struct PlainElem;

// Capitalization of the answers.
enum RecCapitalization { kCapsNotSet = -1, kCapsAll = 0, kCapsFirst = 1, kCapsNone = 2 };

// Exactly "#sys-default", "#sys-macro", "#sys-numeric" or "#sys-correct".
bool isSystemProfileName(const wchar_t* name);

// Called for each word of a user dictionary; 0 stops the walk.
using UserDictWordCallback = int (*)(const wchar_t* word, void* parameter);

// A profile is also what a word list made from text asks for the variants of
// its words.
class RecProfile : public RecProfileVariants {
  public:
    explicit RecProfile(RecModule* module);
    // Copies the settings and the dictionary names. The copy owns no
    // recognition context and has no loaded dictionaries: it makes its own
    // context when it needs one, so no two profiles ever delete one context.
    RecProfile(const RecProfile& other);
    RecProfile& operator=(const RecProfile&) = delete;
    // Releases the context.
    virtual ~RecProfile();

    // ---- settings ----
    RecModule* module() const { return module_; }
    std::wstring name;
    std::wstring description;
    const std::wstring& lexGenFile() const { return lexGenFile_; }
    // A trailing ".ban" (any case) is cut.
    void setLexGenFile(const std::wstring& file);
    bool lexGenStandard =
        true;  // lexicon from the engine's "standard" set, else the user's "custom"
    bool sepLet = false;
    bool wordSegm = true;
    bool softBreaksOnly = true;
    bool wordMultiLine = false;
    bool addSpaceAfter = true;
    int capitalization = kCapsNotSet;
    bool gateDisabled = true;  // the inverse of the file's enableGate
    bool preloadContext = true;
    std::wstring useRecCtxFromProfile;  // a profile named here never makes a context
    int recTimeout = 1200;
    std::vector<std::wstring> userDicts;

    // Every setting back to its default; the module stays.
    void resetSettings();
    // The settings that decide whether a system profile still is its template.
    bool sameSystemSettings(const RecProfile& other) const;

    // ---- the profiles file ----
    // Reads a "profile" element (what the editors load directly).
    bool loadFromXml(const CLiteElem& element);
    // Appends a "profile" element with the settings to `parent`.
    bool saveToXml(CLiteElem& parent) const;
    // Reads a profile record of the packed profiles file. False for a profile
    // the module must refuse: disabled, meant for another language, or
    // borrowing a context while naming dictionaries.
    bool loadFromPlain(const PlainElem* record);

    // ---- the recognition context ----
    bool hasRecContext() const { return context_ != nullptr; }
    PSO_HRC recContext() const { return context_; }
    bool createRecContext();
    bool releaseRecContext();

    // ---- sessions (each false without a module or a context) ----
    bool startSession(intptr_t value);
    bool startBoxedSession(int left, int top, int width, int height, int sixth);
    // `points` are ink point list entries in quarter pixels of the virtual screen.
    bool addInk(const PSO_POINT* points, int count);
    bool endSession();
    bool isSessionOpen() const { return sessionOpen_; }
    // A new word list, or null.
    RecWordList* getAnswers(bool stopAtWeakBlock);
    // The start flags a session of this profile uses now.
    uint32_t sessionFlags() const;

    // ---- words ----
    bool checkWord(const wchar_t* word);
    // Up to `maximum` near words of the lexicon (`variants` emptied first);
    // false without a module or a context, or with a maximum below 1.
    bool getWordVariants(const wchar_t* word, std::vector<std::wstring>* variants,
                         int maximum) const override;
    bool addWord(PSO_HUSERDICT dictionary, const wchar_t* word);

    // ---- user dictionaries (keys are lower-cased full paths) ----
    bool loadUserDict(const std::wstring& name, bool reload);
    bool loadUserDicts(bool reload);
    bool reloadUserDict(const wchar_t* key);
    // Null key: the first dictionary.
    const UserDict* findUserDict(const wchar_t* key) const;
    const UserDict* getFirstUserDict() const { return findUserDict(nullptr); }
    bool usesUserDict(const std::wstring& key) const;
    bool saveUserDict(const std::wstring& key, bool keepBackup);
    bool clearUserDict(const std::wstring& key);
    // Takes a loaded dictionary out of the profile and its context, unsaved.
    bool dropUserDict(const std::wstring& key);
    bool enumUserDictWords(const std::wstring& key, UserDictWordCallback callback, void* parameter);
    // The key of a dictionary name of this profile's module.
    std::wstring userDictKey(const std::wstring& name) const;
    const std::map<std::wstring, UserDict>& loadedUserDicts() const { return userDictMap_; }

  private:
    friend class RecModule;
    // Every setting of the other profile; the module and the context stay.
    void assignSettings(const RecProfile& other);

    struct AttrReader;
    struct ElementReader;
    struct PlainReader;
    bool applyAttributes(const AttrReader& reader);

    RecModule* module_;
    std::wstring lexGenFile_ = L"default";
    bool contextCreationTried_ = false;
    bool sessionOpen_ = false;
    PSO_HRC context_ = nullptr;
    std::map<std::wstring, UserDict> userDictMap_;
};
