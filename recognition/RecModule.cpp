#include "recognition/RecModule.h"

#include <windows.h>

#include <cwchar>

#include "core/Trace.h"
#include "recognition/Macro.h"

namespace {

const wchar_t* const kSystemProfiles[] = {L"#sys-default", L"#sys-correct", L"#sys-numeric",
                                          L"#sys-macro"};

bool isMacroLanguage(const std::wstring& language) { return language == L"English"; }

}  // namespace

bool isSystemProfileName(const wchar_t* name) {
    if (!name) return false;
    for (const wchar_t* s : kSystemProfiles)
        if (std::wcscmp(name, s) == 0) return true;
    return false;
}

// ---- current directory ----

namespace {

std::recursive_mutex& directoryLock() {
    static std::recursive_mutex lock;
    return lock;
}

}  // namespace

CurrentDirectoryScope::CurrentDirectoryScope(const std::wstring& folder) {
    if (folder.empty()) return;
    lock_ = std::unique_lock<std::recursive_mutex>(directoryLock());
    wchar_t saved[MAX_PATH];
    const DWORD n = GetCurrentDirectoryW(MAX_PATH, saved);
    if (n == 0 || n >= MAX_PATH) return;
    saved_ = saved;
    switched_ = SetCurrentDirectoryW(folder.c_str()) != 0;
}

CurrentDirectoryScope::~CurrentDirectoryScope() {
    if (switched_) SetCurrentDirectoryW(saved_.c_str());
}

// ---- RecModule ----

RecModule::RecModule(const std::wstring& languageName, const std::wstring& dataFolder)
    : languageName_(languageName), dataFolder_(dataFolder), locale_(languageName) {
    // The executor libraries are read once, here: a change in the registry
    // takes effect at the next start.
    if (isMacroLanguage(languageName_)) macro_ = std::make_unique<CMacro>();
    if (!dataFolder_.empty()) {
        const std::wstring folder = dataFolder_ + L"\\" + languageName_;
        if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
            CreateDirectoryW(folder.c_str(), nullptr);
    }
}

RecModule::~RecModule() {
    // The engine's own destructor released the contexts while its functions
    // were still there; what is left can only be forgotten now.
    ProfileLock lock(profilesLock_);
    for (auto& entry : profiles_) entry.second.module_ = nullptr;
    currentProfile_ = nullptr;
    profiles_.clear();
}

bool RecModule::load() {
    loadProfiles();
    loadMacros();
    gate_ = probeGateLibrary(engineFolder_);
    return true;
}

void RecModule::releaseProfiles() {
    ProfileLock lock(profilesLock_);
    for (auto& entry : profiles_) entry.second.releaseRecContext();
    currentProfile_ = nullptr;
    profiles_.clear();
}

bool RecModule::hasMacros() const { return macro_ && macro_->hasMacros(); }

bool RecModule::hasMacro(const wchar_t* name) const { return macro_ && macro_->hasMacro(name); }

bool RecModule::runMacro(const wchar_t* name, HWND target, const wchar_t* targetModule) {
    if (!macro_) return false;
    std::wstring scratch;
    return macro_->runMacro(name, target, targetModule, scratch);
}

bool RecModule::loadMacros() {
    if (!macro_) return false;
    ProfileLock lock(profilesLock_);
    RecProfile* profile = findProfile(L"#sys-macro");
    if (!profile || profile->loadedUserDicts().size() != 1) {
        macro_->clear();
        return false;
    }
    macro_->load(*this);
    if (!macro_->fillMacroDictionary(profile, profile->getFirstUserDict())) {
        macro_->clear();
        return false;
    }
    return true;
}

std::wstring RecModule::getMacroFilePath() const {
    std::wstring path;
    if (dataFolder_.empty()) return path;
    makeFilePath(L"macro.xml", nullptr, true, path);
    return path;
}

bool RecModule::makeFilePath(const wchar_t* name, const wchar_t* extension, bool inDataFolder,
                             std::wstring& out) const {
    out.clear();
    if (!name) return false;
    const std::wstring n(name);
    if (!n.empty() && (n[0] == L'\\' || n.find(L":\\") != std::wstring::npos)) {
        out = n;
        return true;
    }
    out =
        inDataFolder ? dataFolder_ + L"\\" + languageName_ + L"\\" + n : engineFolder_ + L"\\" + n;
    if (extension && *extension) out += extension;
    return true;
}

std::wstring RecModule::getProfilesFilePath() const {
    std::wstring path;
    if (dataFolder_.empty()) return path;
    makeFilePath(L"profiles.xml", nullptr, true, path);
    return path;
}

RecProfile* RecModule::findProfile(const wchar_t* name) {
    ProfileLock lock(profilesLock_);
    if (!name) return getDefaultProfile();
    auto it = profiles_.find(name);
    return it == profiles_.end() ? nullptr : &it->second;
}

RecProfile* RecModule::getDefaultProfile() {
    ProfileLock lock(profilesLock_);
    auto it = profiles_.find(L"#sys-default");
    if (it != profiles_.end()) return &it->second;
    return profiles_.empty() ? nullptr : &profiles_.begin()->second;
}

std::vector<std::wstring> RecModule::profileNames() const {
    ProfileLock lock(profilesLock_);
    std::vector<std::wstring> names;
    for (const auto& entry : profiles_) names.push_back(entry.first);
    return names;
}

bool RecModule::makeSystemTemplate(RecModule* module, const std::wstring& name, RecProfile& out) {
    struct Template {
        const wchar_t* name;
        const wchar_t* description;
        const wchar_t* lexGenFile;
        bool sepLet, wordSegm, softBreaksOnly, addSpaceAfter;
        int recTimeout;
        const wchar_t* userDicts;
    };
    static const Template kTemplates[] = {
        {L"#sys-default", L"System default profile", L"default", false, true, false, true, 1200,
         L"default"},
        {L"#sys-correct", L"WordList correction system profile", L"default", true, true, true,
         false, 900, nullptr},
        {L"#sys-macro", L"System macro profile", L"empty", false, false, false, false, 1200,
         L"#sys-macro"},
        {L"#sys-numeric", L"System numeric profile", L"numeric", true, false, true, false, 1200,
         nullptr},
    };
    for (const Template& t : kTemplates) {
        if (name != t.name) continue;
        out.module_ = module;
        out.resetSettings();
        out.name = t.name;
        out.description = t.description;
        out.setLexGenFile(t.lexGenFile);
        out.lexGenStandard = true;
        out.sepLet = t.sepLet;
        out.wordSegm = t.wordSegm;
        out.softBreaksOnly = t.softBreaksOnly;
        out.wordMultiLine = false;
        out.addSpaceAfter = t.addSpaceAfter;
        out.recTimeout = t.recTimeout;
        if (t.userDicts) out.userDicts.push_back(t.userDicts);
        return true;
    }
    return false;
}

bool RecModule::normaliseSystemProfile(RecProfile& profile) {
    if (!profile.module() || profile.hasRecContext() || !isSystemProfileName(profile.name.c_str()))
        return false;
    RecProfile model(this);
    if (!makeSystemTemplate(this, profile.name, model)) return false;
    if (profile.name == L"#sys-default") {
        // The user may tune the default profile, except where it finds its words.
        const bool same = profile.lexGenFile() == model.lexGenFile() &&
                          profile.lexGenStandard == model.lexGenStandard &&
                          profile.preloadContext == model.preloadContext &&
                          profile.useRecCtxFromProfile == model.useRecCtxFromProfile &&
                          profile.userDicts == model.userDicts &&
                          profile.softBreaksOnly == model.softBreaksOnly;
        if (same) return false;
        profile.setLexGenFile(model.lexGenFile());
        profile.lexGenStandard = model.lexGenStandard;
        profile.preloadContext = model.preloadContext;
        profile.useRecCtxFromProfile = model.useRecCtxFromProfile;
        profile.userDicts = model.userDicts;
        profile.softBreaksOnly = model.softBreaksOnly;
    } else {
        if (profile.sameSystemSettings(model)) return false;
        profile.assignSettings(model);
    }
    profilesChanged_ = true;
    return true;
}

bool RecModule::addProfile(const RecProfile& profile, bool replace) {
    if (profile.module() != this) return false;
    ProfileLock lock(profilesLock_);
    auto it = profiles_.find(profile.name);
    if (it != profiles_.end() && !replace) return false;
    RecProfile copy(profile);
    normaliseSystemProfile(copy);
    const bool wasCurrent = it != profiles_.end() && currentProfile_ == &it->second;
    if (it != profiles_.end()) profiles_.erase(it);
    auto placed = profiles_.emplace(copy.name, copy).first;
    if (wasCurrent) currentProfile_ = &placed->second;
    return true;
}

bool RecModule::removeProfile(const wchar_t* name) {
    if (!name) return false;
    ProfileLock lock(profilesLock_);
    auto it = profiles_.find(name);
    if (it == profiles_.end()) return false;
    const bool wasCurrent = currentProfile_ == &it->second;
    profiles_.erase(it);
    if (wasCurrent) currentProfile_ = getDefaultProfile();
    return true;
}

bool RecModule::restoreSystemProfiles() {
    ProfileLock lock(profilesLock_);
    bool added = false;
    for (const wchar_t* name : kSystemProfiles) {
        if (std::wcscmp(name, L"#sys-macro") == 0 && !isMacroLanguage(languageName_)) continue;
        if (profiles_.count(name)) continue;
        RecProfile model(this);
        if (makeSystemTemplate(this, name, model) && addProfile(model, false)) added = true;
    }
    return added;
}

bool RecModule::refreshUserDictInOtherProfiles(const RecProfile* profile, const std::wstring& key) {
    ProfileLock lock(profilesLock_);
    bool any = false;
    for (auto& entry : profiles_) {
        if (&entry.second == profile) continue;
        if (entry.second.reloadUserDict(key.c_str())) any = true;
    }
    return any;
}

bool RecModule::findUserDictHandle(const std::wstring& key, PSO_HUSERDICT& handle,
                                   PSO_HRC& context) {
    ProfileLock lock(profilesLock_);
    for (auto& entry : profiles_) {
        const RecProfile& p = entry.second;
        if (!p.hasRecContext()) continue;
        const UserDict* d = p.findUserDict(key.c_str());
        if (d && d->handle()) {
            handle = d->handle();
            context = p.recContext();
            return true;
        }
    }
    return false;
}

bool RecModule::addWordToUserDictInAllProfiles(const wchar_t* word, const std::wstring& key) {
    ProfileLock lock(profilesLock_);
    bool ok = true;
    // A word added to no dictionary at all is not a success: the caller would
    // tell the user it was added.
    bool found = false;
    for (auto& entry : profiles_) {
        RecProfile& p = entry.second;
        if (!p.hasRecContext()) continue;
        const UserDict* d = p.findUserDict(key.c_str());
        if (!d) continue;
        found = true;
        if (!addWordToUserDict(p.recContext(), d->handle(), word)) ok = false;
    }
    return ok && found;
}
