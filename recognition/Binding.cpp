#include "recognition/Binding.h"

#include <windows.h>

#include "xml/LiteDom.h"

namespace {

const wchar_t* const kTypeNames[] = {L"Unknown", L"WinApp", L"Dialog", L"WebDoc"};

bool numberMatches(int stored, int candidate) { return stored < 0 || stored == candidate; }

bool startsWith(const std::wstring& value, const std::wstring& prefix) {
    return value.size() >= prefix.size() && value.compare(0, prefix.size(), prefix) == 0;
}

std::wstring text(const XString& s) { return std::wstring(s.begin(), s.end()); }

void readRecord(const CLiteElem& e, CBindElem& r) {
    XString s;
    e.getAttrString(L"name", s);
    r.name = text(s);
    e.getAttrString(L"description", s);
    r.description = text(s);
    e.getAttrString(L"signature", s);
    r.signature = text(s);
    e.getAttrString(L"profile", s);
    r.profile = text(s);
    e.getAttrInt(L"role", r.role);
    e.getAttrInt(L"id", r.id);
    e.getAttrInt(L"pos", r.pos);
    e.getAttrInt(L"winId", r.winId);
    e.getAttrInt(L"checkLevel", r.checkLevel);
}

bool writeRecord(CLiteElem& parent, const CBindElem& r) {
    CLiteElem e(L"bind");
    // Strings only when not empty and numbers only when not 0: a missing
    // attribute reads back as exactly that.
    if (!r.name.empty()) e.setAttribute(L"name", r.name.c_str());
    if (!r.description.empty()) e.setAttribute(L"description", r.description.c_str());
    if (!r.signature.empty()) e.setAttribute(L"signature", r.signature.c_str());
    if (!r.profile.empty()) e.setAttribute(L"profile", r.profile.c_str());
    if (r.role) e.setAttrInt(L"role", r.role);
    if (r.id) e.setAttrInt(L"id", r.id);
    if (r.pos) e.setAttrInt(L"pos", r.pos);
    if (r.winId) e.setAttrInt(L"winId", r.winId);
    if (r.checkLevel) e.setAttrInt(L"checkLevel", r.checkLevel);
    return parent.appendChild(e);
}

// Puts `record` into `context`: replaces or erases the record of the same
// element, else inserts it before the first general record it falls under,
// else appends it.
void setInContext(CBindContext& context, const CBindElem& record) {
    auto& binds = context.binds;
    for (auto it = binds.begin(); it != binds.end(); ++it) {
        if (!it->sameElement(record)) continue;
        if (record.profile.empty())
            binds.erase(it);
        else
            *it = record;
        return;
    }
    if (record.profile.empty()) return;
    for (auto it = binds.begin(); it != binds.end(); ++it) {
        if (it->matches(record)) {
            binds.insert(it, record);
            return;
        }
    }
    binds.push_back(record);
}

}  // namespace

const wchar_t* bindContextTypeName(int type) {
    return type >= 0 && type < 4 ? kTypeNames[type] : nullptr;
}

bool parseBindContextType(const wchar_t* value, int& type) {
    if (!value) return false;
    for (int i = 0; i < 4; ++i) {
        if (wcscmp(value, kTypeNames[i]) == 0) {
            type = i;
            return true;
        }
    }
    return false;
}

bool MatchNamePattern(const std::wstring& value, const std::wstring& pattern) {
    if (pattern.empty()) return value.empty();
    if (pattern == L"*" || pattern == L"**") return true;
    const bool head = pattern.front() == L'*';
    const bool tail = pattern.back() == L'*';
    if (tail && !head) return startsWith(value, pattern.substr(0, pattern.size() - 1));
    if (head && tail)
        return value.find(pattern.substr(1, pattern.size() - 2)) != std::wstring::npos;
    if (head) {
        const std::wstring end = pattern.substr(1);
        return value.size() >= end.size() &&
               value.compare(value.size() - end.size(), end.size(), end) == 0;
    }
    return value == pattern;
}

bool CBindElem::matches(const CBindElem& c) const {
    return numberMatches(role, c.role) && numberMatches(id, c.id) && numberMatches(pos, c.pos) &&
           numberMatches(winId, c.winId) && MatchNamePattern(c.signature, signature) &&
           MatchNamePattern(c.name, name);
}

bool CBindElem::sameElement(const CBindElem& o) const {
    return role == o.role && id == o.id && pos == o.pos && winId == o.winId &&
           signature == o.signature && name == o.name;
}

bool CBindElem::operator==(const CBindElem& o) const {
    return sameElement(o) && description == o.description && checkLevel == o.checkLevel &&
           profile == o.profile;
}

const CBindElem* CBindContext::findMatch(const CBindElem& candidate) const {
    for (const CBindElem& record : binds)
        if (record.matches(candidate)) return &record;
    return nullptr;
}

CBindContext* CBindModule::findContext(int type, const std::wstring& doc) {
    for (CBindContext& context : contexts)
        if (context.type == type && context.doc == doc) return &context;
    return nullptr;
}

const CBindContext* CBindModule::findContext(int type, const std::wstring& doc) const {
    return const_cast<CBindModule*>(this)->findContext(type, doc);
}

std::wstring bindModuleKey(const std::wstring& module) {
    std::wstring key = module;
    if (!key.empty()) CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

std::wstring moduleFileName(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

const CBindContext* CBindTree::findContext(const std::wstring& module, int type,
                                           const std::wstring& doc) const {
    auto it = modules.find(bindModuleKey(module));
    return it == modules.end() ? nullptr : it->second.findContext(type, doc);
}

bool CBindTree::findBinding(const std::wstring& module, int type, const std::wstring& doc,
                            const CBindElem& candidate, CBindElem& found) const {
    const CBindContext* context = findContext(module, type, doc);
    const CBindElem* record = context ? context->findMatch(candidate) : nullptr;
    if (!record) return false;
    found = *record;
    return true;
}

bool CBindTree::setBinding(const std::wstring& moduleName, int type, const std::wstring& doc,
                           const CBindElem& record) {
    const std::wstring key = bindModuleKey(moduleName);
    if (key.empty()) return false;
    auto it = modules.find(key);
    if (it == modules.end()) {
        if (record.profile.empty()) return true;
        CBindModule& module = modules[key];
        module.name = key;
        it = modules.find(key);
    }
    CBindModule& module = it->second;
    if (CBindContext* context = module.findContext(type, doc)) {
        setInContext(*context, record);
        return true;
    }
    if (record.profile.empty()) return true;
    CBindContext context;
    context.type = type;
    context.doc = doc;
    context.binds.push_back(record);
    module.contexts.push_back(std::move(context));
    return true;
}

void CBindTree::readFrom(const CLiteElem& root) {
    modules.clear();
    CLiteElem moduleElem;
    for (size_t m = 0; root.getChildElement(moduleElem, m); ++m) {
        XString tag;
        if (!moduleElem.getName(tag) || tag != XString(L"module")) continue;
        XString name;
        moduleElem.getAttrString(L"name", name);
        CBindModule module;
        module.name = text(name);
        CLiteElem contextElem;
        for (size_t c = 0; moduleElem.getChildElement(contextElem, c); ++c) {
            if (!contextElem.getName(tag) || tag != XString(L"context")) continue;
            XString typeText, doc;
            CBindContext context;
            if (!contextElem.getAttrString(L"type", typeText) ||
                !parseBindContextType(typeText.c_str(), context.type))
                continue;
            contextElem.getAttrString(L"doc", doc);
            context.doc = text(doc);
            CLiteElem bindElem;
            for (size_t b = 0; contextElem.getChildElement(bindElem, b); ++b) {
                if (!bindElem.getName(tag) || tag != XString(L"bind")) continue;
                CBindElem record;
                readRecord(bindElem, record);
                context.binds.push_back(std::move(record));
            }
            module.contexts.push_back(std::move(context));
        }
        modules[module.name] = std::move(module);
    }
}

bool CBindTree::writeTo(CLiteElem& root) const {
    for (const auto& entry : modules) {
        CLiteElem moduleElem(L"module");
        moduleElem.setAttribute(L"name", entry.first.c_str());
        for (const CBindContext& context : entry.second.contexts) {
            CLiteElem contextElem(L"context");
            contextElem.setAttribute(L"doc", context.doc.c_str());
            contextElem.setAttribute(L"type", bindContextTypeName(context.type));
            for (const CBindElem& record : context.binds)
                if (!writeRecord(contextElem, record)) return false;
            if (!moduleElem.appendChild(contextElem)) return false;
        }
        if (!root.appendChild(moduleElem)) return false;
    }
    return true;
}

CBindingInfo::CBindingInfo() { reset(); }

CBindingInfo::CBindingInfo(const std::wstring& moduleName, int contextType,
                           const std::wstring& document, const CBindElem& record)
    : module(moduleName), type(contextType), doc(document), elem(record) {}

bool CBindingInfo::equals(const CBindingInfo& o) const {
    return state == o.state && module == o.module && type == o.type && doc == o.doc &&
           elem == o.elem;
}

CBindingInfo* CBindingInfo::clone() const {
    CBindingInfo* copy = new CBindingInfo(module, type, doc, elem);
    copy->state = 1;
    return copy;
}

void CBindingInfo::reset() {
    module.clear();
    doc.clear();
    type = -1;
    elem.clear();
    elem.winId = -1;
}
