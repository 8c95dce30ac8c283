#include "hook64/AccElem.h"

#include "hook64/ReaderScreenMode.h"

#include <cwctype>

namespace {

// A broken application may hand out a parent chain that loops; a walk up the
// tree stops after this many steps instead of hanging the hooked process.
constexpr int kMaxAncestors = 64;

// Takes the IAccessible of a dispatch answer and releases the answer.
IAccessible* accessibleOf(IDispatch* dispatch) {
    if (!dispatch) return nullptr;
    IAccessible* object = nullptr;
    if (FAILED(dispatch->QueryInterface(kIidAccessible, reinterpret_cast<void**>(&object))))
        object = nullptr;
    dispatch->Release();
    return object;
}

// The value of an I4 answer, 0 for anything else; the answer is cleared.
LONG takeI4(HRESULT hr, VARIANT* v) {
    const LONG value = (hr == S_OK && v->vt == VT_I4) ? v->lVal : 0;
    VariantClear(v);
    return value;
}

}  // namespace

CAccElem::CAccElem(IAccessible* object, LONG childId) : m_object(object), m_childId(childId) {
    if (m_object) m_object->AddRef();
}

CAccElem::CAccElem(const CAccElem& other) : m_object(other.m_object), m_childId(other.m_childId) {
    if (m_object) m_object->AddRef();
}

CAccElem& CAccElem::operator=(const CAccElem& other) {
    if (this != &other) {
        if (other.m_object) other.m_object->AddRef();
        attach(other.m_object, other.m_childId);
    }
    return *this;
}

CAccElem::~CAccElem() { clear(); }

void CAccElem::clear() { attach(nullptr, CHILDID_SELF); }

void CAccElem::attach(IAccessible* object, LONG childId) {
    IAccessible* old = m_object;
    m_object = object;
    m_childId = childId;
    if (old) old->Release();
}

VARIANT CAccElem::self() const {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = m_childId;
    return v;
}

// Takes an answer of the system's element functions: an object and a child.
bool CAccElem::takeAnswer(HRESULT hr, IAccessible* object, VARIANT* child) {
    if (hr == S_OK && object && child->vt == VT_I4) {
        attach(object, child->lVal);
        return true;
    }
    if (object) object->Release();
    VariantClear(child);
    return false;
}

bool CAccElem::fromEvent(HWND window, LONG objectId, LONG childId, bool raiseReader) {
    IAccessible* object = nullptr;
    VARIANT child;
    VariantInit(&child);
    HRESULT hr;
    {
        CSafeSetReaderScreenMode reader(raiseReader, 0);
        hr = AccessibleObjectFromEvent(window, objectId, childId, &object, &child);
    }
    return takeAnswer(hr, object, &child);
}

bool CAccElem::fromPoint(POINT screenPoint) {
    IAccessible* object = nullptr;
    VARIANT child;
    VariantInit(&child);
    const HRESULT hr = AccessibleObjectFromPoint(screenPoint, &object, &child);
    return takeAnswer(hr, object, &child);
}

bool CAccElem::fromWindow(HWND window, bool client) {
    IAccessible* object = nullptr;
    const HRESULT hr =
        AccessibleObjectFromWindow(window, client ? static_cast<DWORD>(OBJID_CLIENT) : OBJID_WINDOW,
                                   kIidAccessible, reinterpret_cast<void**>(&object));
    if (hr != S_OK || !object) return false;
    attach(object, CHILDID_SELF);
    return true;
}

bool CAccElem::fromWindowFocus(HWND window, bool* hasFocus, bool fixLocationToo, bool raiseReader) {
    bool focusSeen = false;
    CAccElem windowObject;
    {
        CSafeSetReaderScreenMode reader(raiseReader, 0);
        if (!windowObject.fromWindow(window, false)) return false;
    }
    VARIANT focus;
    VariantInit(&focus);
    if (windowObject.m_object->get_accFocus(&focus) != S_OK) {
        VariantClear(&focus);
        *this = windowObject;
    } else {
        focusSeen = true;
        if (focus.vt == VT_I4) {
            *this = CAccElem(windowObject.m_object, focus.lVal);
        } else if (focus.vt == VT_DISPATCH) {
            IAccessible* inner = accessibleOf(focus.pdispVal);
            focus.vt = VT_EMPTY;  // the reference went with accessibleOf
            if (!inner) {
                if (hasFocus) *hasFocus = focusSeen;
                return false;
            }
            VARIANT second;
            VariantInit(&second);
            if (inner->get_accFocus(&second) == S_OK) {
                if (second.vt == VT_I4) {
                    attach(inner, second.lVal);
                    inner = nullptr;
                } else if (second.vt == VT_DISPATCH) {
                    if (IAccessible* deepest = accessibleOf(second.pdispVal))
                        attach(deepest, CHILDID_SELF);
                    second.vt = VT_EMPTY;
                }
            }
            VariantClear(&second);
            if (inner) inner->Release();
        } else {
            VariantClear(&focus);
            if (hasFocus) *hasFocus = focusSeen;
            return false;
        }
    }
    if (hasFocus) *hasFocus = focusSeen;
    if (fixLocationToo) fixLocation();
    // A second level that named no focus leaves nothing new attached: only an
    // element that is really there may be reported.
    return isAttached();
}

LONG CAccElem::getRole() const {
    if (!m_object) return 0;
    VARIANT role;
    VariantInit(&role);
    return takeI4(m_object->get_accRole(self(), &role), &role);
}

LONG CAccElem::getState() const {
    if (!m_object) return 0;
    VARIANT state;
    VariantInit(&state);
    return takeI4(m_object->get_accState(self(), &state), &state);
}

namespace {

template <class TextOf>
void readText(DWORD value, std::wstring* text, TextOf textOf) {
    if (!text) return;
    text->clear();
    if (!value) return;
    const UINT length = textOf(value, nullptr, 0);
    if (!length) return;
    std::wstring buffer(length + 1, L'\0');
    const UINT got = textOf(value, &buffer[0], length + 1);
    buffer.resize(got);
    *text = buffer;
}

}  // namespace

LONG CAccElem::getRoleText(std::wstring* text) const {
    const LONG role = getRole();
    readText(static_cast<DWORD>(role), text, GetRoleTextW);
    return role;
}

LONG CAccElem::getStateText(std::wstring* text) const {
    const LONG state = getState();
    readText(static_cast<DWORD>(state), text, GetStateTextW);
    return state;
}

bool CAccElem::getName(std::wstring* name) const {
    if (!m_object) return false;
    BSTR raw = nullptr;
    if (m_object->get_accName(self(), &raw) != S_OK || !raw) {
        if (raw) SysFreeString(raw);
        return false;
    }
    std::wstring text(raw, SysStringLen(raw));
    SysFreeString(raw);
    for (wchar_t& c : text)
        if (c == 0xA0) c = L' ';
    size_t first = 0, last = text.size();
    while (first < last && std::iswspace(text[first])) ++first;
    while (last > first && std::iswspace(text[last - 1])) --last;
    if (name) *name = text.substr(first, last - first);
    return true;
}

bool CAccElem::getParent(CAccElem* parent) const {
    if (!m_object || !parent) return false;
    if (m_childId != CHILDID_SELF) {
        *parent = CAccElem(m_object, CHILDID_SELF);
        return true;
    }
    IDispatch* dispatch = nullptr;
    if (m_object->get_accParent(&dispatch) != S_OK || !dispatch) {
        if (dispatch) dispatch->Release();
        return false;
    }
    IAccessible* object = accessibleOf(dispatch);
    if (!object) return false;
    parent->attach(object, CHILDID_SELF);
    return true;
}

bool CAccElem::hasParent() const {
    CAccElem parent;
    return getParent(&parent);
}

bool CAccElem::getLocation(RECT* rect, bool clip) const {
    if (!m_object || !rect) return false;
    LONG x = 0, y = 0, width = 0, height = 0;
    if (m_object->accLocation(&x, &y, &width, &height, self()) != S_OK) return false;
    RECT location = {x, y, x + width, y + height};
    if (clip) {
        HWND window = nullptr;
        RECT windowRect;
        if (getWindow(&window) && GetWindowRect(window, &windowRect)) {
            RECT cut;
            if (!IntersectRect(&cut, &location, &windowRect)) return false;
            location = cut;
        }
    }
    *rect = location;
    return true;
}

void CAccElem::fixLocation() {
    RECT rect;
    if (getLocation(&rect)) return;
    CAccElem parent;
    if (getParent(&parent) && parent.getLocation(&rect)) *this = parent;
}

LONG CAccElem::getChildCount() const {
    if (!m_object || m_childId != CHILDID_SELF) return 0;
    LONG count = 0;
    if (m_object->get_accChildCount(&count) != S_OK) return 0;
    return count;
}

int CAccElem::getChildren(std::vector<CAccElem>* children) const {
    LONG count = getChildCount();
    if (count <= 0 || !children) return 0;
    if (count > kMaxAccChildren) count = kMaxAccChildren;
    std::vector<VARIANT> answers(static_cast<size_t>(count));
    for (VARIANT& v : answers) VariantInit(&v);
    LONG obtained = 0;
    const HRESULT hr = AccessibleChildren(m_object, 0, count, answers.data(), &obtained);
    if (hr != S_OK && hr != S_FALSE) return 0;
    if (obtained > count) obtained = count;
    for (LONG i = 0; i < obtained; ++i) {
        VARIANT& v = answers[static_cast<size_t>(i)];
        if (v.vt == VT_I4) {
            children->push_back(CAccElem(m_object, v.lVal));
        } else if (v.vt == VT_DISPATCH) {
            if (IAccessible* object = accessibleOf(v.pdispVal)) {
                CAccElem child;
                child.attach(object, CHILDID_SELF);
                children->push_back(child);
            }
            v.vt = VT_EMPTY;
        }
        VariantClear(&v);
    }
    return static_cast<int>(children->size());
}

bool CAccElem::getWindow(HWND* window) const {
    if (!m_object || !window) return false;
    HWND found = nullptr;
    if (WindowFromAccessibleObject(m_object, &found) != S_OK) return false;
    *window = found;
    return true;
}

bool CAccElem::findEnclosingList(CAccElem* list) const {
    CAccElem current;
    if (!getParent(&current)) return false;
    CAccElem outermost;
    LONG outermostRole = 0;
    for (int step = 0; step < kMaxAncestors; ++step) {
        const LONG role = current.getRole();
        if (role != kRoleList && role != kRoleListItem) break;
        outermost = current;
        outermostRole = role;
        CAccElem next;
        if (!current.getParent(&next)) break;
        current = next;
    }
    if (!outermost.isAttached() || outermostRole != kRoleList || !list) return false;
    *list = outermost;
    return true;
}
