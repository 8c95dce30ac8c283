#include "recognition/ProfileChooser.h"

#include "recognition/RecMgr.h"
#include "core/PendingServices.h"
#include "core/Settings.h"

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
    // The binding tree of "binding.xml" is not kept yet: no field is bound.
    return false;
}

bool CProfileChooser::chooseForWindow(HWND window, RECT* area, bool skip) {
    std::wstring name;
    if (!findBoundProfile(window, area, skip, name)) return false;
    setChoice(name.c_str(), PROFILE_SCOPE_ONCE);
    return true;
}

void clearPendingProfileChoice(int level) { getRecMgr().profileChooser().clear(level); }
