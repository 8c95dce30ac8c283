#include "recognition/ProfileChooser.h"

#include "recognition/RecMgr.h"
#include "core/HookLibrary.h"
#include "core/PendingServices.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "recognition/BindClassify.h"
#include "recognition/RecModule.h"
#include "xml/LiteDom.h"

const wchar_t* const CProfileChooser::kWindowProperty = L"ScribixRecProfileProperty";

void CProfileChooser::setChoice(const wchar_t* name, int scope) {
    if (scope < 0) scope = generalSettings().useProfileScope;
    std::lock_guard<std::mutex> guard(lock_);
    choice_ = name ? name : L"";
    scope_ = scope;
}

bool CProfileChooser::isSet() const {
    std::lock_guard<std::mutex> guard(lock_);
    return !choice_.empty();
}

bool CProfileChooser::take(std::wstring& name, bool consume) {
    std::lock_guard<std::mutex> guard(lock_);
    name = choice_;
    if (choice_.empty()) return false;
    if (consume && scope_ == PROFILE_SCOPE_ONCE) choice_.clear();
    return true;
}

void CProfileChooser::clear(int level) {
    std::lock_guard<std::mutex> guard(lock_);
    if (level < 0 || scope_ <= level) choice_.clear();
}

bool getWindowProfileProperty(HWND window, std::wstring& name) {
    name.clear();
    if (!window) return false;
    const ATOM atom = static_cast<ATOM>(
        reinterpret_cast<UINT_PTR>(GetPropW(window, CProfileChooser::kWindowProperty)));
    if (!atom) return false;
    wchar_t text[CProfileChooser::kMaxPropertyName + 1] = {};
    const UINT length = GlobalGetAtomNameW(atom, text, CProfileChooser::kMaxPropertyName + 1);
    if (length == 0) return false;
    name.assign(text, length);
    return true;
}

bool CProfileChooser::findBoundProfile(HWND window, RECT* area, bool skip,
                                       std::wstring& name) const {
    name.clear();
    if (!window || skip) return false;
    if (getWindowProfileProperty(window, name)) {
        if (area && !GetWindowRect(window, area)) SetRectEmpty(area);
        return true;
    }
    if (!generalSettings().useContextReco) return false;
    CAccElem element;
    if (!focusedElementOf(window, element)) return false;
    if (area && !element.getLocation(area, true)) SetRectEmpty(area);
    BindClassification classified;
    if (!ClassifyBindContext(element, classified)) return false;
    const wchar_t* module = hookLibrary().getTargetModuleName();
    if (!module) return false;
    // The hook library names the target by its path; the tree by file name.
    CBindElem found;
    if (!findBinding(moduleFileName(module), classified.type, classified.doc, classified.candidate,
                     found))
        return false;
    name = found.profile;
    return !name.empty();
}

bool CProfileChooser::findBoundProfileChecked(HWND window, std::wstring& name) const {
    if (!findBoundProfile(window, nullptr, false, name)) return false;
    RecMgr& manager = getRecMgr();
    RecModule* module = manager.getCurrentModule();
    if (!module) return false;
    RecModule::ProfileLock lock = module->lockProfiles();
    if (module->findProfile(name.c_str())) return true;
    name.clear();
    return false;
}

namespace {
CProfileChooser::ElementSource g_elementSource = nullptr;
}

void CProfileChooser::setElementSource(ElementSource source) { g_elementSource = source; }

bool CProfileChooser::focusedElementOf(HWND window, CAccElem& element) {
    return g_elementSource ? g_elementSource(window, element) : getFocusedElement(window, element);
}

bool CProfileChooser::loadBindings(const std::wstring& path) {
    std::wstring file;
    {
        std::unique_lock<win::SharedLock> guard(treeLock_);
        if (!path.empty()) tree_.path = path;
        file = tree_.path;
    }
    if (file.empty()) return false;
    CLiteDom dom;
    CLiteElem root;
    XString rootName;
    if (!dom.load(file.c_str()) || !dom.getRoot(root) || !root.getName(rootName) ||
        rootName != XString(L"bindings")) {
        debugTrace(L"CProfileChooser::loadBindings(): cannot read %ls\n", file.c_str());
        return false;
    }
    CBindTree loaded;
    loaded.readFrom(root);
    std::unique_lock<win::SharedLock> guard(treeLock_);
    tree_.modules = std::move(loaded.modules);
    return true;
}

bool CProfileChooser::saveBindings(const std::wstring& path) {
    CLiteDom dom;
    CLiteElem root(L"bindings");
    std::wstring file;
    {
        std::unique_lock<win::SharedLock> guard(treeLock_);
        if (!path.empty()) tree_.path = path;
        file = tree_.path;
        if (file.empty() || !tree_.writeTo(root)) return false;
    }
    if (!dom.setRoot(root) || !dom.save(file.c_str())) {
        debugTrace(L"CProfileChooser::saveBindings(): cannot write %ls\n", file.c_str());
        return false;
    }
    return true;
}

bool CProfileChooser::initBindings(const std::wstring& folder) {
    if (folder.empty()) return false;
    const std::wstring path = folder + L"\\binding.xml";
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return saveBindings(path);
    return loadBindings(path);
}

std::wstring CProfileChooser::bindingsPath() const {
    std::shared_lock<win::SharedLock> guard(treeLock_);
    return tree_.path;
}

bool CProfileChooser::findBinding(const std::wstring& module, int type, const std::wstring& doc,
                                  const CBindElem& candidate, CBindElem& found) const {
    std::shared_lock<win::SharedLock> guard(treeLock_);
    return tree_.findBinding(module, type, doc, candidate, found);
}

bool CProfileChooser::setBinding(const std::wstring& module, int type, const std::wstring& doc,
                                 const CBindElem& record) {
    std::unique_lock<win::SharedLock> guard(treeLock_);
    return tree_.setBinding(module, type, doc, record);
}

bool CProfileChooser::copyContext(const std::wstring& module, int type, const std::wstring& doc,
                                  CBindContext& context) const {
    std::shared_lock<win::SharedLock> guard(treeLock_);
    const CBindContext* found = tree_.findContext(module, type, doc);
    if (!found) return false;
    context = *found;
    return true;
}

CBindTree CProfileChooser::bindTree() const {
    std::shared_lock<win::SharedLock> guard(treeLock_);
    return tree_;
}

void CProfileChooser::setBindTree(const CBindTree& tree) {
    std::unique_lock<win::SharedLock> guard(treeLock_);
    const std::wstring path = tree_.path;
    tree_ = tree;
    if (tree_.path.empty()) tree_.path = path;
}

bool getProfileForWindow(HWND window, std::wstring& name, bool consume, bool selection,
                         bool (*hasShortSelection)(HWND window)) {
    if (!window) window = hookLibrary().getLastFocusWindow();
    name.clear();
    CProfileChooser& chooser = getRecMgr().profileChooser();
    // A pending choice is a found profile: the caller must use it.
    if (chooser.take(name, consume)) return true;
    const bool skip = !selection && hasShortSelection && window && hasShortSelection(window);
    return chooser.findBoundProfile(window, nullptr, skip, name);
}

bool CProfileChooser::chooseForWindow(HWND window, RECT* area, bool skip) {
    std::wstring name;
    if (!findBoundProfile(window, area, skip, name)) return false;
    setChoice(name.c_str(), PROFILE_SCOPE_ONCE);
    return true;
}

void clearPendingProfileChoice(int level) { getRecMgr().profileChooser().clear(level); }
