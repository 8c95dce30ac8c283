#include "recognition/BindClassify.h"

#include <exception>

#include "core/HookLibrary.h"
#include "hook64/SharedData.h"

namespace {

std::wstring nameOf(const CAccElem& element) {
    std::wstring name;
    element.getName(&name);
    return name;
}

// A window object of the standard dialog class counts as a dialog: that is
// how dialogs of most applications show in the tree.
LONG contextRole(const CAccElem& element) {
    LONG role = element.getRole();
    if (role != kBindRoleWindow) return role;
    HWND window = nullptr;
    if (!element.getWindow(&window) || !window) return role;
    wchar_t cls[19] = {};
    GetClassNameW(window, cls, 19);
    return wcscmp(cls, L"#32770") == 0 ? LONG{kBindRoleDialog} : role;
}

struct Walk {
    const CBindContext& context;
    std::vector<BoundField>& found;
    const std::function<bool()>& cancelled;

    bool stop() const { return cancelled && cancelled(); }

    bool deeperRecordUnder(const std::wstring& signature) const {
        for (const CBindElem& record : context.binds)
            if (record.signature.compare(0, signature.size(), signature) == 0 &&
                record.signature.size() >= signature.size())
                return true;
        return false;
    }

    void visit(const CAccElem& element, const std::wstring& parentSignature) {
        if (stop()) return;
        const LONG role = element.getRole();
        bool stateRead = false, writable = false;
        for (const CBindElem& record : context.binds) {
            if (record.role != role || record.signature != parentSignature) continue;
            if (!stateRead) {
                const LONG state = element.getState();
                writable = (state & kBindStateFocusable) && !(state & kStateReadOnly);
                stateRead = true;
            }
            if (!writable) break;
            CBindElem candidate;
            makeBindCandidate(element, parentSignature, candidate);
            if (!record.matches(candidate)) continue;
            BoundField field;
            if (!element.getLocation(&field.rect, true)) SetRectEmpty(&field.rect);
            field.record = record;
            found.push_back(field);
            return;
        }
        // The signature counts a dialog window as a dialog, as the
        // classification that built the records does.
        const std::wstring own = appendRoleSignature(
            parentSignature, role == kBindRoleWindow ? contextRole(element) : role);
        if (!deeperRecordUnder(own) || element.childId() != CHILDID_SELF) return;
        std::vector<CAccElem> children;
        if (element.getChildren(&children) <= 0) return;
        for (const CAccElem& child : children) {
            if (stop()) return;
            visit(child, own);
        }
    }
};

}  // namespace

std::wstring appendRoleSignature(const std::wstring& signature, LONG role) {
    if (signature.empty()) return std::to_wstring(role);
    if (role == 0) return signature + L",";
    return signature + L"," + std::to_wstring(role);
}

void makeBindCandidate(const CAccElem& element, const std::wstring& signature,
                       CBindElem& candidate) {
    candidate = CBindElem();
    candidate.role = element.getRole();
    // A list item's name is its text, which changes with the content: the
    // position and the control id identify it instead.
    if (candidate.role != kRoleListItem) candidate.name = nameOf(element);
    candidate.id = 0;
    candidate.pos = element.childId();
    candidate.winId = -1;
    if (candidate.name.empty()) {
        HWND window = nullptr;
        if (element.getWindow(&window) && window)
            candidate.winId = static_cast<int>(GetWindowLongW(window, GWL_ID));
    }
    candidate.checkLevel = 0;
    candidate.signature = signature;
}

bool ClassifyBindContext(const CAccElem& element, BindClassification& out) {
    out = BindClassification();
    out.element = element;
    if (!element.isAttached()) return false;

    CAccElem current = element;
    std::vector<LONG> roles;  // innermost first
    LONG runRole = 0;
    int run = 0;
    for (int step = 0; step < kBindMaxParents; ++step) {
        CAccElem parent;
        if (!current.getParent(&parent)) break;
        if (nameOf(parent) == L"Desktop") {
            out.type = BIND_CONTEXT_WINAPP;
            out.doc = nameOf(current);
            break;
        }
        const LONG role = contextRole(parent);
        run = (run > 0 && role == runRole) ? run + 1 : 1;
        runRole = role;
        if (run > kBindMaxSameRole) break;
        roles.push_back(role);
        current = parent;
        if (role == kBindRolePane || role == kRoleDocument) {
            out.type = BIND_CONTEXT_WEBDOC;
            CAccElem outer;
            std::wstring outerName;
            if (current.getParent(&outer)) outerName = nameOf(outer);
            out.doc = outerName.empty() ? nameOf(current) : outerName;
            break;
        }
        if (role == kBindRoleDialog) {
            out.type = BIND_CONTEXT_DIALOG;
            out.doc = nameOf(current);
            break;
        }
    }

    std::wstring signature;
    for (auto it = roles.rbegin(); it != roles.rend(); ++it) {
        if (it == roles.rbegin())
            signature = std::to_wstring(*it);
        else
            signature = appendRoleSignature(signature, *it);
    }
    makeBindCandidate(element, signature, out.candidate);
    out.top = roles.empty() ? element : current;
    if (out.type == BIND_CONTEXT_WINAPP) out.doc.clear();
    return true;
}

void findBoundFields(const CBindContext& context, const CAccElem& start,
                     std::vector<BoundField>& found, const std::function<bool()>& cancelled) {
    if (!start.isAttached()) return;
    Walk walk{context, found, cancelled};
    // The tree belongs to another process and may be anything: a walk that
    // fails (runs out of memory on it, say) ends with nothing found, not the
    // thread that walks.
    const size_t before = found.size();
    try {
        walk.visit(start, std::wstring());
    } catch (const std::exception&) {
        found.resize(before);
    }
}

bool getFocusedElement(HWND window, CAccElem& element) {
    element.clear();
    UI_ELEM_INFO info = {};
    if (hookLibrary().getLastFocusedElemInfo(&info, nullptr) && info.hwnd && IsWindow(info.hwnd) &&
        element.fromEvent(info.hwnd, info.idObject, info.idChild))
        return true;
    if (!window || !IsWindow(window)) return false;
    bool hasFocus = false;
    return element.fromWindowFocus(window, &hasFocus, true, false);
}
