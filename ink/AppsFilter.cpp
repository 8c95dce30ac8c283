#include "ink/AppsFilter.h"

#include "core/PendingServices.h"
#include "core/Trace.h"
#include "xml/LiteDom.h"

namespace {

bool samePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

DWORD processOf(HWND window) {
    DWORD pid = 0;
    if (window) GetWindowThreadProcessId(window, &pid);
    return pid;
}

}  // namespace

bool CAppsFilter::load(const std::wstring& path) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        blockListed_ = true;
        entries_.clear();
        filePath_ = path;
    }
    CLiteDom dom;
    CLiteElem root;
    XString name;
    if (path.empty() || !dom.load(path.c_str()) || !dom.getRoot(root) || !root.getName(name) ||
        name != XString(L"apps-filter")) {
        debugTrace(L"CAppsFilter::load(): cannot read %ls\n", path.c_str());
        return false;
    }
    std::vector<CAppFilterInfo> read;
    CLiteElem app;
    for (size_t i = 0; root.findChild(app, L"app", i); ++i) {
        CAppFilterInfo info;
        XString value;
        if (!app.getAttrString(L"path", value) || value.empty()) {
            debugTrace(L"CAppsFilter::load(): an app without a path in %ls\n", path.c_str());
            return false;
        }
        info.path.assign(value.begin(), value.end());
        // The file says "1"; the library's booleans are "true" and "yes". Both
        // are read, or the flag would not survive its own save.
        XString flag;
        if (app.getAttrString(L"allowIfCaret", flag) && flag == XString(L"1"))
            info.allowIfCaret = true;
        else
            app.getAttrBool(L"allowIfCaret", info.allowIfCaret);
        read.push_back(info);
    }
    std::lock_guard<std::mutex> guard(lock_);
    entries_ = std::move(read);
    return true;
}

bool CAppsFilter::save(const wchar_t* path) {
    CLiteDom dom;
    CLiteElem root(L"apps-filter");
    std::wstring file;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (path && *path) filePath_ = path;
        file = filePath_;
        for (const CAppFilterInfo& entry : entries_) {
            CLiteElem app(L"app");
            app.setAttribute(L"path", entry.path.c_str());
            if (entry.allowIfCaret) app.setAttribute(L"allowIfCaret", L"1");
            if (!root.appendChild(app)) return false;
        }
    }
    if (file.empty() || !dom.setRoot(root) || !dom.save(file.c_str())) {
        debugTrace(L"CAppsFilter::save(): cannot write %ls\n", file.c_str());
        return false;
    }
    return true;
}

bool CAppsFilter::findApp(const std::wstring& path, bool* allowIfCaret) const {
    std::lock_guard<std::mutex> guard(lock_);
    for (const CAppFilterInfo& entry : entries_) {
        if (!samePath(entry.path, path)) continue;
        if (allowIfCaret) *allowIfCaret = entry.allowIfCaret;
        return true;
    }
    return false;
}

bool CAppsFilter::setApp(const std::wstring& path, bool allowIfCaret) {
    std::lock_guard<std::mutex> guard(lock_);
    for (CAppFilterInfo& entry : entries_) {
        if (!samePath(entry.path, path)) continue;
        if (entry.allowIfCaret == allowIfCaret) return false;
        entry.allowIfCaret = allowIfCaret;
        return true;
    }
    entries_.emplace_back(path, allowIfCaret);
    return true;
}

bool CAppsFilter::removeApp(const std::wstring& path) {
    std::lock_guard<std::mutex> guard(lock_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (samePath(it->path, path)) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

bool CAppsFilter::isAllowed(const std::wstring& modulePath, HWND focusWindow, HWND foregroundWindow,
                            bool caretPresent) const {
    bool allowIfCaret = false;
    if (!findApp(modulePath, &allowIfCaret)) return true;
    if (caretPresent && allowIfCaret) return true;
    // Only a window known to belong to another program (a dialog of another
    // program over the listed one) lets the pen write; an unknown window is
    // no reason to write over a listed application.
    const DWORD focusProcess = processOf(focusWindow);
    const DWORD foregroundProcess = processOf(foregroundWindow);
    return focusProcess != 0 && foregroundProcess != 0 && focusProcess != foregroundProcess;
}

std::vector<CAppFilterInfo> CAppsFilter::entries() const {
    std::lock_guard<std::mutex> guard(lock_);
    return entries_;
}

std::wstring CAppsFilter::filePath() const {
    std::lock_guard<std::mutex> guard(lock_);
    return filePath_;
}

bool CAppsFilter::blockListed() const {
    std::lock_guard<std::mutex> guard(lock_);
    return blockListed_;
}

CAppsFilter& appsFilter() {
    static CAppsFilter filter;
    return filter;
}

bool loadAppsFilter(const wchar_t* path) { return appsFilter().load(path ? path : L""); }

bool appsFilterAllows(const wchar_t* modulePath, HWND focusWindow, HWND windowUnderPen,
                      bool editInFocus) {
    return appsFilter().isAllowed(modulePath ? modulePath : L"", focusWindow, windowUnderPen,
                                  editInFocus);
}
