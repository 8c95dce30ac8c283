// The macro store and the custom executor libraries (the player is in
// MacroPlayer.cpp).
#include "recognition/Macro.h"

#include <atomic>
#include <cwchar>

#include "core/AppGlobals.h"
#include "core/PendingServices.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "core/ShellLink.h"
#include "core/SyntheticInput.h"
#include "core/Trace.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "recognition/UserDict.h"

// ---- executors ----

CCustomMacroExecutor::CCustomMacroExecutor(std::wstring path) : path_(std::move(path)) {}

CCustomMacroExecutor::~CCustomMacroExecutor() {
    if (library_) FreeLibrary(library_);
}

bool CCustomMacroExecutor::load() {
    if (library_) return true;
    library_ = LoadLibraryW(path_.c_str());
    if (!library_) {
        debugTrace(L"CCustomMacroExecutor: cannot load %ls (error %lu)\n", path_.c_str(),
                   GetLastError());
        return false;
    }
    run_ = reinterpret_cast<DoCustomMacroProcFn>(
        reinterpret_cast<void*>(GetProcAddress(library_, MACRO_EXECUTOR_RUN_NAME)));
    release_ = reinterpret_cast<ReleaseStringProcFn>(
        reinterpret_cast<void*>(GetProcAddress(library_, MACRO_EXECUTOR_RELEASE_NAME)));
    if (!run_) debugTrace(L"CCustomMacroExecutor: %ls has no DoCustomMacroProc\n", path_.c_str());
    return true;
}

bool CCustomMacroExecutor::run(HWND target, const wchar_t* command, const wchar_t* parameter,
                               std::wstring& text, bool& returnedText) const {
    text.clear();
    returnedText = false;
    if (!run_) return false;
    wchar_t* result = nullptr;
    const int handled = run_(target, command, parameter, &result);
    if (!handled) {
        // A text that comes with "not handled" is neither used nor released:
        // the library has not handed it over.
        return false;
    }
    if (result) {
        returnedText = true;
        text = result;
        if (release_)
            release_(result);
        else
            debugTrace(L"CCustomMacroExecutor: %ls returned a text but cannot release it\n",
                       path_.c_str());
    }
    return true;
}

const wchar_t* const CCustomMacroExecutors::kSubkey = L"MacroCustomExecutors";
const wchar_t* const CCustomMacroExecutors::kValuePrefix = L"CustomExecDll";

void CCustomMacroExecutors::load() {
    list_.clear();
    for (int n = 1;; ++n) {
        wchar_t name[32];
        _snwprintf(name, 32, L"%ls%d", kValuePrefix, n);
        name[31] = L'\0';
        wchar_t path[kMaxPath + 1] = L"";
        if (!ReadSetting(kSubkey, name, path, SETTING_STRING, kMaxPath + 1)) break;
        auto executor = std::make_unique<CCustomMacroExecutor>(path);
        executor->load();
        list_.push_back(std::move(executor));
    }
}

bool CCustomMacroExecutors::ask(HWND target, const wchar_t* command, const wchar_t* parameter,
                                std::wstring& text, bool& returnedText) const {
    text.clear();
    returnedText = false;
    for (const auto& executor : list_)
        if (executor->run(target, command, parameter, text, returnedText)) return true;
    return false;
}

// ---- the link to the floors above ----

void MacroLink::modifierKey(BYTE virtualKey, bool up) {
    keybd_event(virtualKey, static_cast<BYTE>(MapVirtualKeyW(virtualKey, 0)),
                up ? KEYEVENTF_KEYUP : 0, 0);
    noteSyntheticInputTick(GetTickCount());
}

bool MacroLink::shellExecute(SHELLEXECUTEINFOW& info) { return ShellExecuteExW(&info) != FALSE; }

bool MacroLink::isSettingsDialogOpen() { return shellLink().isSettingsDialogOpen(); }

void MacroLink::showMainBar(bool show) {
    // Macros run on the recognition thread, which owns no window: the bar is
    // made, shown and hidden on the thread that owns the bars, as the other
    // window commands of the player are.
    if (HWND service = getServiceWindow())
        PostMessageW(service, WM_INK_MAIN_BAR, show ? 1 : 0, 0);
    else
        debugTrace(L"Macro: no service window to show or hide the main bar\n");
}

bool MacroLink::isBindingMode() { return shellLink().isBarMasterRegistered(); }

void MacroLink::setBindingMode(bool on) {
    if (HWND service = getServiceWindow()) PostMessageW(service, WM_INK_BINDING_PANEL, on, 0);
}

void MacroLink::chooseProfile(const wchar_t* prompt, int scope) {
    // Menus live on the main thread, and the service window's own command
    // (3097) shows this very menu with the scope of the setting: a macro on
    // the recognition thread hands it over.
    HWND service = getServiceWindow();
    if (service && scope == generalSettings().useProfileScope &&
        PostMessageW(service, WM_INK_CHOOSE_PROFILE, 1, 0))  // 1: titled as a macro's
        return;
    // Without the program's service window there is no menu to show.
    debugTrace(L"Macro: no service window for the profile choice \"%ls\"\n", prompt);
}

namespace {
MacroLink g_defaultLink;
std::atomic<MacroLink*> g_link{&g_defaultLink};
}  // namespace

MacroLink& macroLink() { return *g_link.load(); }

void setMacroLink(MacroLink* link) { g_link.store(link ? link : &g_defaultLink); }

// ---- the store ----

CMacro::CMacro() { executors_.load(); }

CMacro::~CMacro() = default;

bool CMacro::load(const RecModule& module) {
    const std::wstring path = module.getMacroFilePath();
    if (path.empty()) {
        clear();
        return false;
    }
    return loadFile(path.c_str());
}

bool CMacro::loadFile(const wchar_t* path) {
    auto document = std::make_unique<IxlScribixHelper>(IXL_KIND_MACRO);
    const bool loaded = path && document->load(path, true);
    if (!loaded) debugTrace(L"CMacro::load: cannot load %ls\n", path ? path : L"(null)");
    std::lock_guard<std::mutex> lock(lock_);
    document_ = std::move(document);
    return loaded;
}

void CMacro::clear() {
    std::lock_guard<std::mutex> lock(lock_);
    document_.reset();
}

bool CMacro::hasMacros() const {
    std::lock_guard<std::mutex> lock(lock_);
    CLiteElem root, first;
    return document_ && document_->isLoaded() && document_->dom().getRoot(root) &&
           root.getChildElement(first, 0);
}

bool CMacro::hasMacro(const wchar_t* name) const {
    if (!name) return false;
    std::lock_guard<std::mutex> lock(lock_);
    CLiteElem item;
    return document_ && document_->isLoaded() && document_->findItemByName(item, name);
}

std::vector<std::wstring> CMacro::macroNames() const {
    std::vector<std::wstring> names;
    std::lock_guard<std::mutex> lock(lock_);
    if (!document_ || !document_->isLoaded()) return names;
    std::vector<XString> found;
    document_->getMacroNames(found);
    for (const XString& n : found) names.emplace_back(n.c_str());
    return names;
}

bool CMacro::fillMacroDictionary(RecProfile* profile, const UserDict* dictionary) {
    if (!dictionary) return false;
    std::vector<std::wstring> names;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (!document_ || document_->isEmpty()) return false;
        std::vector<XString> found;
        document_->getMacroNames(found);
        for (const XString& n : found) names.emplace_back(n.c_str());
    }
    if (!profile || !profile->hasRecContext() || !profile->module() || !dictionary->handle())
        return false;
    RecModule* module = profile->module();
    module->PSO_UserDict_Clear(profile->recContext(), dictionary->handle());
    int added = 0;
    for (const std::wstring& name : names)
        if (profile->addWord(dictionary->handle(), name.c_str())) ++added;
    // The call without a word tells the engine that the list is complete.
    if (added) profile->addWord(dictionary->handle(), nullptr);
    return true;
}
