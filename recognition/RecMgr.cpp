#include "recognition/RecMgr.h"

#include <objbase.h>
#include <shlobj.h>

#include "recognition/LanguageTables.h"
#include "recognition/RecEnv.h"
#include "recognition/RecModule.h"
#include "recognition/RecVexaModule.h"
#include "recognition/RecWinModule.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "xml/Paths.h"

namespace {

constexpr int kMaxKeyboardLayouts = 20;
constexpr int kInfoKind = 2;
constexpr int kInfoBuffer = 512;

// The main bar hears of a new language on its own thread: the language
// changes on the recognition thread too.
void notifyLanguageChanged() {
    if (HWND service = getServiceWindow())
        PostMessageW(service, WM_INK_MAIN_BAR, 2, kMainBarLanguageChanged);
}

// COM for the calling thread for the life of the object.
class ComScope {
  public:
    ComScope() : ok_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope() {
        if (ok_) CoUninitialize();
    }

  private:
    bool ok_;
};

IInkRecognizers* createRecognizers() {
    void* object = nullptr;
    if (FAILED(CoCreateInstance(kClsidInkRecognizers, nullptr, CLSCTX_ALL,
                                __uuidof(IInkRecognizers), &object)))
        return nullptr;
    return static_cast<IInkRecognizers*>(object);
}

void replaceAll(std::wstring& text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = text.find(from); at != std::wstring::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

}  // namespace

// ---- the platform recognizer ----

bool PlatformRecognizers::available() {
    ComScope com;
    IInkRecognizers* recognizers = createRecognizers();
    if (!recognizers) return false;
    recognizers->Release();
    return true;
}

bool PlatformRecognizers::hasDefaultRecognizer(LANGID language) {
    ComScope com;
    IInkRecognizers* recognizers = createRecognizers();
    if (!recognizers) return false;
    IInkRecognizer* recognizer = nullptr;
    const bool found =
        SUCCEEDED(recognizers->GetDefaultRecognizer(static_cast<LONG>(language), &recognizer)) &&
        recognizer;
    if (recognizer) recognizer->Release();
    recognizers->Release();
    return found;
}

RecModule* PlatformRecognizers::createModule(const std::wstring& languageName,
                                             const std::wstring& dataFolder) {
    return new RecWinModule(languageName, dataFolder);
}

// ---- the manager ----

RecMgr::RecMgr() : layouts_(LanguageTables::installedLayouts) {}

RecMgr::~RecMgr() { deleteModules(); }

void RecMgr::deleteModules() {
    for (auto& entry : modules_) delete entry.second;
    modules_.clear();
}

bool RecMgr::init(const wchar_t* baseFolder) {
    wchar_t appData[MAX_PATH];
    if (SUCCEEDED(
            SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData))) {
        dataFolder_ = std::wstring(appData) + L"\\Scribix";
        if (!isDirectory(dataFolder_.c_str())) CreateDirectoryW(dataFolder_.c_str(), nullptr);
    } else {
        dataFolder_.clear();
    }
    const bool loaded = loadEngines(baseFolder);
    chooser_.initBindings(dataFolder_);
    return loaded;
}

void RecMgr::createFoldersForKeyboardLanguages(const std::wstring& baseFolder) {
    PlatformRecognizers& platform = *platform_;
    for (HKL layout : layouts_(kMaxKeyboardLayouts)) {
        std::wstring language;
        if (!getLanguageName(reinterpret_cast<UINT_PTR>(layout), language, false)) continue;
        const std::wstring folder = baseFolder + language;
        if (isDirectory(folder.c_str())) continue;
        if (platform.hasDefaultRecognizer(getLocaleLanguageId(language)))
            CreateDirectoryW(folder.c_str(), nullptr);
    }
}

bool RecMgr::loadEngines(const wchar_t* baseFolder) {
    PlatformRecognizers defaultPlatform;
    if (!platform_) platform_ = &defaultPlatform;
    // The two values decide which engines exist, so they are read now, not
    // only with the other general settings after the engines were made.
    GeneralSettings& settings = generalSettings();
    ReadSetting(nullptr, L"autoCreateRecForTPC", &settings.autoCreateRecForTPC, SETTING_NUMBER, 0);
    ReadSetting(nullptr, L"useTPCRecsOnly", &settings.useTPCRecsOnly, SETTING_NUMBER, 0);

    const bool platformAvailable = platform_->available();
    const std::wstring base = RecEnv::resolveBaseFolder(baseFolder);
    if (platformAvailable && settings.autoCreateRecForTPC && !base.empty())
        createFoldersForKeyboardLanguages(base);

    deleteModules();
    RecEnv env(base.c_str());
    for (const RecEngineInfo& engine : env.engines()) {
        RecModule* module = nullptr;
        if (!settings.useTPCRecsOnly && !engine.libraryPath.empty())
            module = new RecVexaModule(engine.libraryPath, engine.name, dataFolder_);
        else if (platformAvailable)
            module = platform_->createModule(engine.name, dataFolder_);
        if (!module) continue;
        if (module->localeLanguageId() != 0 && module->load() &&
            !modules_.count(module->languageName())) {
            modules_[module->languageName()] = module;
        } else {
            delete module;
        }
    }
    if (platform_ == &defaultPlatform) platform_ = nullptr;
    return true;
}

bool RecMgr::setCurrentLanguage(const wchar_t* name) {
    const std::wstring language = name && *name ? name : L"English";
    {
        std::lock_guard<std::mutex> lock(languageLock_);
        if (language == currentLanguage_) return true;
        if (modules_.count(language)) {
            currentLanguage_ = language;
            notifyLanguageChanged();
            return true;
        }
    }
    if (language == L"English") return false;
    return setCurrentLanguage(L"English");
}

std::wstring RecMgr::currentLanguage() const {
    std::lock_guard<std::mutex> lock(languageLock_);
    return currentLanguage_;
}

bool RecMgr::selectLanguageOfFocus(HKL* focusLayout) {
    HKL layout = hookLibrary().askLastFocusKeyboardLayout();
    if (focusLayout) *focusLayout = layout;
    ActivateKeyboardLayout(layout, 0);
    std::wstring language;
    getLanguageName(reinterpret_cast<UINT_PTR>(layout), language, true);
    return setCurrentLanguage(language.c_str());
}

bool RecMgr::getRecognizerInfo(const wchar_t* language, std::wstring& text) {
    text.clear();
    RecModule* module = language && *language ? getModule(language) : getCurrentModule();
    if (!module) return false;
    char buffer[kInfoBuffer] = {};
    if (module->PSO_GetRecognizerInfo(kInfoKind, buffer) != 0) return false;
    buffer[kInfoBuffer - 1] = '\0';
    text = module->locale().toWide(buffer);
    replaceAll(text, L"(R)", L"\u00AE");
    return true;
}

RecModule* RecMgr::getModule(const wchar_t* language) const {
    if (!language) return nullptr;
    auto it = modules_.find(language);
    return it == modules_.end() ? nullptr : it->second;
}

RecModule* RecMgr::getCurrentModule() const {
    std::wstring language = currentLanguage();
    if (language.empty()) language = L"English";
    return getModule(language.c_str());
}

RecProfile* RecMgr::findProfile(const wchar_t* name) {
    RecModule* module = getCurrentModule();
    return module ? module->findProfile(name) : nullptr;
}

RecProfile* RecMgr::getDefaultProfile() {
    RecModule* module = getCurrentModule();
    return module ? module->getDefaultProfile() : nullptr;
}

RecProfile* RecMgr::getCurrentProfile() {
    RecModule* module = getCurrentModule();
    return module ? module->getCurrentProfile() : nullptr;
}

bool RecMgr::hasProfile(const wchar_t* name) {
    RecModule* module = getCurrentModule();
    return module && name && module->findProfile(name) != nullptr;
}

std::wstring RecMgr::takeProfileOverride() {
    std::wstring name;
    chooser_.take(name, true);
    return name;
}

RecProfile* RecMgr::getProfileForInput() {
    RecModule* module = getCurrentModule();
    if (!module) return nullptr;
    std::wstring name = takeProfileOverride();
    if (name.empty()) name = L"#sys-default";
    RecModule::ProfileLock lock = module->lockProfiles();
    RecProfile* profile = module->findProfile(name.c_str());
    return profile ? profile : module->getDefaultProfile();
}

bool RecMgr::isSystemProfileName(const wchar_t* name) { return ::isSystemProfileName(name); }

RecMgr& getRecMgr() {
    static RecMgr manager;
    return manager;
}

void initRecognitionManager(int) { getRecMgr().init(nullptr); }
