// The profile side of a recognizer module: reading and writing the
// language's "profiles.xml", repairing the system profiles, preloading their
// contexts.
#include <windows.h>

#include "recognition/LanguageTables.h"
#include "recognition/ProfilesProvider.h"
#include "recognition/RecMessages.h"
#include "recognition/RecModule.h"
#include "core/Trace.h"
#include "xml/LiteDom.h"
#include "xml/PlainElem.h"
#include "xml/XMLPlatform.h"

namespace {

bool hasLatin1Supplement(const std::wstring& text) {
    for (wchar_t c : text)
        if (c >= 0x80 && c <= 0xFF) return true;
    return false;
}

// Names saved by older versions went through the ANSI code page of the
// user's thread and were read back by the system's. The text is passed
// there and back once; true when that changed it. A text the thread's code
// page cannot hold exactly is left alone rather than filled with "?".
// Only a text that changed marks the profiles changed, not every text that
// holds a character from U+0080 to U+00FF: such a name comes back the same
// when the two code pages agree, and marking it would write the file (and
// replace its ".bak") at every start with nothing repaired.
bool repairAnsiText(std::wstring& text) {
    if (!hasLatin1Supplement(text)) return false;
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1,
                                      nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy) return false;
    std::string narrow(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_THREAD_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(), -1, &narrow[0], n,
                        nullptr, &lossy);
    const int w = MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, nullptr, 0);
    if (w <= 0) return false;
    std::wstring back(static_cast<size_t>(w), L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, &back[0], w);
    back.resize(static_cast<size_t>(w - 1));
    if (back == text) return false;
    text = back;
    return true;
}

}  // namespace

// Walks the packed records: the root (and any "profiles" inside it) walks its
// children, a "profile" is read and added. Stops at the first failure.
bool RecModule::enumProfiles(const PlainElem* record) {
    switch (record->m_Id) {
        case IXL_PROFILES:
            for (const PlainElem* c = record->firstChild(); c < record->end(); c = c->next())
                if (!enumProfiles(c)) return false;
            return true;
        case IXL_PROFILE: {
            RecProfile profile(this);
            if (!profile.loadFromPlain(record) || !addLoadedProfile(profile)) {
                debugTrace(L"EnumProfilesIxl: loadProfileFromIxl failed\n");
                return false;
            }
            return true;
        }
        default:
            debugTrace(L"EnumProfilesIxl: wrong element type - %d\n", record->m_Id);
            return false;
    }
}

bool RecModule::addLoadedProfile(RecProfile& profile) {
    if (repairAnsiText(profile.name)) profilesChanged_ = true;
    if (repairAnsiText(profile.description)) profilesChanged_ = true;
    return addProfile(profile, false);
}

bool RecModule::loadProfiles() {
    ProfileLock lock(profilesLock_);
    releaseProfiles();
    const std::wstring path = getProfilesFilePath();
    if (!path.empty()) {
        const wchar_t* language = languageName_.c_str();
        profilesChanged_ = false;
        ProfilesProvider provider;
        const ProfilesProvider::Status status = provider.load(path);
        // A file that cannot be opened now (another program holds it) or
        // cannot be read as profiles is the user's: it is reported and left
        // exactly as it is, and nothing is written over it. The language then
        // has no profiles until the file is mended or can be read again.
        if (status == ProfilesProvider::kCannotOpen)
            debugTrace(L"RecModule::loadProfiles: %s cannot be opened: %s\n", path.c_str(),
                       provider.errorInfo().c_str());
        else if (status != ProfilesProvider::kLoaded)
            debugTrace(L"RecModule::loadProfiles: %s cannot be read: %s\n", path.c_str(),
                       provider.errorInfo().c_str());
        const bool ok = status == ProfilesProvider::kLoaded && enumProfiles(provider.root());
        if (!ok) {
            recMessageBox(MB_ICONEXCLAMATION,
                          L"Error during recognition profiles loading for %s.\nRecognition in %s "
                          L"will not work correctly.\nPlease set right %s profiles or reinstall "
                          L"Scribix",
                          language, language, language);
        } else {
            const bool added = restoreSystemProfiles();
            if (added || profilesChanged_) saveProfiles(true);
            preloadContexts();
        }
    }
    currentProfile_ = getDefaultProfile();
    return true;
}

void RecModule::preloadContexts() {
    const bool hasLayout = getKeyboardLayoutOfLanguage(languageName_) != nullptr;
    // English keeps its macro profile ready even without a keyboard layout.
    const bool macroWithoutLayout = languageName_ == L"English";
    bool failed = false;
    for (auto& entry : profiles_) {
        RecProfile& p = entry.second;
        if (!isSystemProfileName(p.name.c_str()) || p.hasRecContext()) continue;
        if (!hasLayout && !(macroWithoutLayout && p.name == L"#sys-macro")) continue;
        if (!p.createRecContext()) failed = true;
    }
    if (failed) {
        const wchar_t* language = languageName_.c_str();
        recMessageBox(MB_ICONEXCLAMATION,
                      L"Error during recognition profiles initialization for %s.\nRecognition in "
                      L"%s will not work correctly.\nPlease set right %s profiles or reinstall "
                      L"Scribix",
                      language, language, language);
    }
}

bool RecModule::saveProfiles(bool keepBackup) {
    ProfileLock lock(profilesLock_);
    const std::wstring path = getProfilesFilePath();
    if (path.empty()) return false;
    CLiteDom dom;
    CLiteElem root(L"profiles");
    for (const auto& entry : profiles_)
        if (!entry.second.saveToXml(root)) return false;
    if (!dom.setRoot(root)) return false;
    // The old file is copied, not moved: "profiles.xml" stays in place until
    // the new one is complete and replaces it, so a failed save loses nothing.
    if (keepBackup && fileExists(path.c_str(), true)) {
        const std::wstring backup = path + L".bak";
        if (!CopyFileW(path.c_str(), backup.c_str(), FALSE)) {
            debugTrace(L"RecModule::saveProfiles: no backup %s (%u); the file is not written\n",
                       backup.c_str(), GetLastError());
            return false;
        }
    }
    if (!dom.save(path)) {
        debugTrace(L"RecModule::saveProfiles: writing %s failed\n", path.c_str());
        return false;
    }
    return true;
}
