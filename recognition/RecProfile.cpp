#include "recognition/RecProfile.h"

#include <windows.h>

#include <cwctype>

#include "recognition/RecWordList.h"
#include "recognition/RecMessages.h"
#include "recognition/RecModule.h"
#include "core/AppGlobals.h"
#include "core/Trace.h"
#include "xml/IxlSchema.h"
#include "xml/LiteDom.h"
#include "xml/PlainElem.h"

namespace {

// Session start flags (the library's PSO_SF_* values).
constexpr uint32_t kFlagWordSegmentation = PSO_SF_WORD_SEGMENTATION;
constexpr uint32_t kFlagSeparateLetters = PSO_SF_SEPARATE_LETTERS;
constexpr uint32_t kFlagSoftBreaksOnly = PSO_SF_SOFT_BREAKS_ONLY;
constexpr uint32_t kFlagMultiLineWords = PSO_SF_MULTI_LINE_WORDS;
constexpr uint32_t kFlagGateOff = PSO_SF_GATE_OFF;
constexpr uint32_t kFlagGateWide = PSO_SF_GATE_WIDE;
constexpr uint32_t kFlagBoxed = PSO_SF_BOXED;

constexpr uint16_t kStrokeSeparatorY = 0xFFFF;

struct AttrName {
    int id;
    const wchar_t* name;
};
// The attributes of a "profile" element, in the order they are written.
const AttrName kWrittenAttrs[] = {
    {IXL_PROFILE_NAME, L"name"},
    {IXL_PROFILE_DESCRIPTION, L"description"},
    {IXL_PROFILE_LEX_GEN_FILE, L"lexGenFile"},
    {IXL_PROFILE_LEX_GEN_STANDARD, L"lexGenStandard"},
    {IXL_PROFILE_SEP_LET, L"sepLet"},
    {IXL_PROFILE_WORD_SEGM, L"wordSegm"},
    {IXL_PROFILE_WORD_MULTI_LINE, L"wordMultiLine"},
    {IXL_PROFILE_ADD_SPACE_AFTER, L"addSpaceAfter"},
    {IXL_PROFILE_SOFT_BREAKS_ONLY, L"softBreaksOnly"},
    {IXL_PROFILE_ENABLE_GATE, L"enableGate"},
    {IXL_PROFILE_PRELOAD_CONTEXT, L"preloadContext"},
    {IXL_PROFILE_USE_REC_CTX_FROM, L"useRecCtxFromProfile"},
    {IXL_PROFILE_REC_TIMEOUT, L"recTimeout"},
    {IXL_PROFILE_USER_DICTS, L"userDicts"},
    {IXL_PROFILE_CAPITALIZATION, L"capitalization"},
    {IXL_PROFILE_ENABLED, L"enabled"},
    {IXL_PROFILE_ONLY_FOR_LANGUAGE, L"onlyForLanguage"},
};

const wchar_t* attrName(int id) {
    for (const AttrName& a : kWrittenAttrs)
        if (a.id == id) return a.name;
    return nullptr;
}

const wchar_t* const kCapsWords[] = {L"all", L"first", L"none"};

// Names of profiles and dictionaries are "|"-separated lists in the file; a
// "|" inside a name is written twice.
std::wstring escapeBars(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        out += c;
        if (c == L'|') out += L'|';
    }
    return out;
}

// The packed profiles file holds every string as a compiled pattern; this
// gives the text back.
std::wstring decodePattern(const xchar* pattern) {
    if (!pattern) return std::wstring();
    switch (pattern[0]) {
        case 3:
            return L"*" + std::wstring(pattern + 1);
        case 4:
            return std::wstring(pattern + 1) + L"*";
        case 5:
            return L"*" + std::wstring(pattern + 1) + L"*";
        default:
            return pattern;
    }
}

std::wstring lowerCase(std::wstring text) {
    if (!text.empty()) CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

// ---- attribute sources: a document element or a packed record ----

struct RecProfile::AttrReader {
    virtual ~AttrReader() = default;
    virtual bool has(int id) const = 0;
    virtual bool text(int id, std::wstring& out) const = 0;
    virtual bool list(int id, std::vector<std::wstring>& out) const = 0;
    virtual bool flag(int id, bool& out) const = 0;
    virtual bool number(int id, int& out) const = 0;
    // 0 to 2; false for a missing or unknown word.
    virtual bool capitalization(int& out) const = 0;
};

struct RecProfile::ElementReader : RecProfile::AttrReader {
    explicit ElementReader(const CLiteElem& e) : element(e) {}
    const CLiteElem& element;

    bool raw(int id, std::wstring& out) const {
        const wchar_t* n = attrName(id);
        return n && element.getAttrString(n, out, true);
    }
    bool has(int id) const override {
        std::wstring v;
        return raw(id, v);
    }
    bool text(int id, std::wstring& out) const override {
        if (id == IXL_PROFILE_NAME) {
            // A list in the schema: the first name, with "||" read as "|".
            std::vector<std::wstring> names;
            if (!list(id, names)) return false;
            out = names.empty() ? std::wstring() : names.front();
            return true;
        }
        return raw(id, out);
    }
    bool list(int id, std::vector<std::wstring>& out) const override {
        out.clear();
        std::wstring v;
        if (!raw(id, v)) return false;
        splitTokens(v, out, L"|");
        return true;
    }
    bool flag(int id, bool& out) const override {
        const wchar_t* n = attrName(id);
        return n && element.getAttrBool(n, out);
    }
    bool number(int id, int& out) const override {
        const wchar_t* n = attrName(id);
        return n && element.getAttrInt(n, out, false);
    }
    bool capitalization(int& out) const override {
        std::wstring v;
        if (!raw(IXL_PROFILE_CAPITALIZATION, v)) return false;
        for (int i = 0; i < 3; ++i) {
            if (v == kCapsWords[i]) {
                out = i;
                return true;
            }
        }
        return false;
    }
};

struct RecProfile::PlainReader : RecProfile::AttrReader {
    explicit PlainReader(const PlainElem* record) { fillPlainElemAttrTable(record, slots, kSlots); }
    static constexpr int kSlots = IXL_PROFILE_ATTR_SLOTS;
    const PlainAttr* slots[kSlots];

    const PlainAttr* slot(int id) const { return id >= 0 && id < kSlots ? slots[id] : nullptr; }
    bool has(int id) const override { return slot(id) != nullptr; }
    bool text(int id, std::wstring& out) const override {
        const PlainAttr* a = slot(id);
        if (!a || !a->isText()) return false;
        out = decodePattern(a->text());
        return true;
    }
    bool list(int id, std::vector<std::wstring>& out) const override {
        out.clear();
        const PlainAttr* a = slot(id);
        if (!a || !a->isText()) return false;
        if (!a->isList()) {
            const std::wstring one = decodePattern(a->text());
            if (!one.empty()) out.push_back(one);
            return true;
        }
        for (const xchar* item = a->text(); *item; item += xstrlen(item) + 1)
            out.push_back(decodePattern(item));
        return true;
    }
    bool flag(int id, bool& out) const override {
        const PlainAttr* a = slot(id);
        if (!a || a->isText()) return false;
        out = a->boolValue();
        return true;
    }
    bool number(int id, int& out) const override {
        const PlainAttr* a = slot(id);
        if (!a || a->isText()) return false;
        out = a->intValue();
        return true;
    }
    bool capitalization(int& out) const override {
        int v = 0;
        if (!number(IXL_PROFILE_CAPITALIZATION, v) || v < 0 || v > 2) return false;
        out = v;
        return true;
    }
};

// ---- life cycle and settings ----

RecProfile::RecProfile(RecModule* module) : module_(module) {}

RecProfile::RecProfile(const RecProfile& other) : module_(other.module_) { assignSettings(other); }

RecProfile::~RecProfile() { releaseRecContext(); }

void RecProfile::assignSettings(const RecProfile& other) {
    name = other.name;
    description = other.description;
    lexGenFile_ = other.lexGenFile_;
    lexGenStandard = other.lexGenStandard;
    sepLet = other.sepLet;
    wordSegm = other.wordSegm;
    softBreaksOnly = other.softBreaksOnly;
    wordMultiLine = other.wordMultiLine;
    addSpaceAfter = other.addSpaceAfter;
    capitalization = other.capitalization;
    gateDisabled = other.gateDisabled;
    preloadContext = other.preloadContext;
    useRecCtxFromProfile = other.useRecCtxFromProfile;
    recTimeout = other.recTimeout;
    userDicts = other.userDicts;
}

void RecProfile::resetSettings() { assignSettings(RecProfile(module_)); }

void RecProfile::setLexGenFile(const std::wstring& file) {
    lexGenFile_ = file;
    if (lexGenFile_.size() >= 4 && lowerCase(lexGenFile_.substr(lexGenFile_.size() - 4)) == L".ban")
        lexGenFile_.resize(lexGenFile_.size() - 4);
}

bool RecProfile::sameSystemSettings(const RecProfile& o) const {
    return name == o.name && lexGenFile_ == o.lexGenFile_ && lexGenStandard == o.lexGenStandard &&
           sepLet == o.sepLet && wordSegm == o.wordSegm && softBreaksOnly == o.softBreaksOnly &&
           addSpaceAfter == o.addSpaceAfter && capitalization == o.capitalization &&
           preloadContext == o.preloadContext && useRecCtxFromProfile == o.useRecCtxFromProfile &&
           recTimeout == o.recTimeout && userDicts == o.userDicts;
}

// ---- the profiles file ----

bool RecProfile::applyAttributes(const AttrReader& r) {
    resetSettings();
    std::wstring text;
    if (r.text(IXL_PROFILE_NAME, text)) name = text;
    if (r.text(IXL_PROFILE_DESCRIPTION, text)) description = text;
    std::wstring lexicon = lexGenFile_;
    r.text(IXL_PROFILE_LEX_GEN_FILE, lexicon);
    r.flag(IXL_PROFILE_LEX_GEN_STANDARD, lexGenStandard);
    r.flag(IXL_PROFILE_SEP_LET, sepLet);
    r.flag(IXL_PROFILE_WORD_SEGM, wordSegm);
    r.flag(IXL_PROFILE_WORD_MULTI_LINE, wordMultiLine);
    r.flag(IXL_PROFILE_ADD_SPACE_AFTER, addSpaceAfter);
    r.flag(IXL_PROFILE_SOFT_BREAKS_ONLY, softBreaksOnly);
    bool gate = false;
    if (r.flag(IXL_PROFILE_ENABLE_GATE, gate)) gateDisabled = !gate;
    r.flag(IXL_PROFILE_PRELOAD_CONTEXT, preloadContext);
    r.text(IXL_PROFILE_USE_REC_CTX_FROM, useRecCtxFromProfile);
    r.number(IXL_PROFILE_REC_TIMEOUT, recTimeout);
    r.list(IXL_PROFILE_USER_DICTS, userDicts);
    int caps = kCapsNotSet;
    if (r.capitalization(caps)) capitalization = caps;
    setLexGenFile(lexicon);
    return true;
}

bool RecProfile::loadFromXml(const CLiteElem& element) {
    return applyAttributes(ElementReader(element));
}

bool RecProfile::loadFromPlain(const PlainElem* record) {
    if (!record) return false;
    PlainReader r(record);
    applyAttributes(r);
    bool enabled = true;
    if (r.flag(IXL_PROFILE_ENABLED, enabled) && !enabled) return false;
    std::wstring only;
    if (r.text(IXL_PROFILE_ONLY_FOR_LANGUAGE, only)) {
        const std::wstring language = module_ ? module_->languageName() : std::wstring();
        std::vector<std::wstring> patterns;
        splitTokens(only, patterns, L"|");
        bool match = false;
        for (const std::wstring& p : patterns)
            if (matchPatternList(language.c_str(), ixlCompilePattern(p).c_str(), false))
                match = true;
        if (!match) return false;
    }
    // A profile that borrows another's context cannot bring dictionaries of its own.
    return !(r.has(IXL_PROFILE_USE_REC_CTX_FROM) && r.has(IXL_PROFILE_USER_DICTS));
}

bool RecProfile::saveToXml(CLiteElem& parent) const {
    CLiteElem e(L"profile");
    e.setAttribute(L"name", escapeBars(name));
    e.setAttribute(L"description", description);
    e.setAttribute(L"lexGenFile", lexGenFile_);
    e.setAttrBool(L"lexGenStandard", lexGenStandard);
    e.setAttrBool(L"sepLet", sepLet);
    e.setAttrBool(L"wordSegm", wordSegm);
    e.setAttrBool(L"wordMultiLine", wordMultiLine);
    e.setAttrBool(L"addSpaceAfter", addSpaceAfter);
    e.setAttrBool(L"softBreaksOnly", softBreaksOnly);
    e.setAttrBool(L"enableGate", !gateDisabled);
    e.setAttrBool(L"preloadContext", preloadContext);
    e.setAttribute(L"useRecCtxFromProfile", useRecCtxFromProfile);
    e.setAttrInt(L"recTimeout", recTimeout);
    std::wstring dicts;
    for (const std::wstring& d : userDicts) {
        if (!dicts.empty()) dicts += L'|';
        dicts += escapeBars(d);
    }
    dicts = xmlTrim(dicts);
    if (!dicts.empty()) e.setAttribute(L"userDicts", dicts);
    if (capitalization >= 0 && capitalization <= 2)
        e.setAttribute(L"capitalization", kCapsWords[capitalization]);
    return parent.appendChild(e);
}

// ---- the recognition context ----

namespace {

RecModule::ProfileLock lockOf(RecModule* module) {
    return module ? module->lockProfiles() : RecModule::ProfileLock();
}

}  // namespace

bool RecProfile::createRecContext() {
    auto lock = lockOf(module_);
    contextCreationTried_ = true;
    if (!useRecCtxFromProfile.empty()) return true;
    if (!releaseRecContext()) return false;
    if (!module_) return false;
    context_ = module_->createRecContext(*this);
    if (!context_) return false;
    loadUserDicts(true);
    contextCreationTried_ = false;
    return true;
}

bool RecProfile::releaseRecContext() {
    auto lock = lockOf(module_);
    bool ok = true;
    if (context_) {
        if (module_) {
            module_->PSO_DeleteRecognitionContext(context_);
        } else {
            debugTrace(
                L"RecProfile::releaseRecContext(): no rm_pRecModule is defined for %s profile",
                name.c_str());
            ok = false;
        }
        context_ = nullptr;
    }
    sessionOpen_ = false;
    userDictMap_.clear();
    return ok;
}

// ---- sessions ----

uint32_t RecProfile::sessionFlags() const {
    uint32_t flags = 0;
    if (sepLet) flags |= kFlagSeparateLetters;
    if (wordSegm) flags |= kFlagWordSegmentation;
    if (wordMultiLine) flags |= kFlagMultiLineWords;
    if (softBreaksOnly) flags |= kFlagSoftBreaksOnly;
    if (module_ && module_->hasGate()) {
        if (gateDisabled)
            flags |= kFlagGateOff;
        else if (!(lexGenStandard && lexGenFile_ == L"default"))
            flags |= kFlagGateWide;
    }
    return flags;
}

bool RecProfile::startSession(intptr_t value) {
    if (!module_) return false;
    auto lock = lockOf(module_);
    if (!context_ && !contextCreationTried_) createRecContext();
    if (!context_) return false;
    const PSO_SESSION_START start{0, sessionFlags()};
    sessionOpen_ = true;
    const int32_t result = module_->PSO_StartRecognitionSession(context_, &start);
    if (value) module_->PSO_SetExtraSessionParameters(context_, PSO_EXTRA_FLAGS, value);
    return result == PSO_OK;
}

bool RecProfile::startBoxedSession(int left, int top, int width, int height, int sixth) {
    if (!module_) return false;
    auto lock = lockOf(module_);
    if (!context_ && !contextCreationTried_) createRecContext();
    if (!context_) return false;
    uint32_t flags = kFlagBoxed;
    if (sepLet) flags |= kFlagSeparateLetters;
    if (wordSegm) flags |= kFlagWordSegmentation;
    if (module_->hasGate() && gateDisabled) flags |= kFlagGateOff;
    const AppGlobals& g = appGlobals();
    PSO_GUIDE guide{
        24,         (left - g.xVirtualScreen) * 4, (top - g.yVirtualScreen) * 4, width * 4,
        height * 4, sixth > 0 ? sixth * 4 : sixth};
    const PSO_SESSION_START start{0, flags};
    sessionOpen_ = true;
    const int32_t result = module_->PSO_StartRecognitionSession(context_, &start);
    module_->PSO_SetExtraSessionParameters(context_, PSO_EXTRA_GUIDE,
                                           reinterpret_cast<intptr_t>(&guide));
    return result == PSO_OK;
}

bool RecProfile::addInk(const PSO_POINT* points, int count) {
    if (!module_) return false;
    auto lock = lockOf(module_);
    if (!context_) return false;
    std::vector<PSO_POINT> moved;
    if (points && count > 0) {
        const AppGlobals& g = appGlobals();
        moved.assign(points, points + count);
        for (PSO_POINT& p : moved) {
            p.x = static_cast<int16_t>(p.x - 4 * g.xVirtualScreen);
            if (static_cast<uint16_t>(p.y) != kStrokeSeparatorY)
                p.y = static_cast<int16_t>(p.y - 4 * g.yVirtualScreen);
        }
    }
    return module_->PSO_AddInkToRecSession(context_, moved.empty() ? nullptr : moved.data(), count,
                                           0, nullptr, 0) == PSO_OK;
}

bool RecProfile::endSession() {
    if (!module_) return false;
    auto lock = lockOf(module_);
    if (!context_) return false;
    const int32_t result = module_->PSO_EndRecognitionSession(context_);
    sessionOpen_ = false;
    return result == PSO_OK;
}

RecWordList* RecProfile::getAnswers(bool stopAtWeakBlock) {
    if (!module_) return nullptr;
    auto lock = lockOf(module_);
    return context_ ? module_->getAnswers(context_, capitalization, stopAtWeakBlock) : nullptr;
}

// ---- words ----

bool RecProfile::checkWord(const wchar_t* word) {
    auto lock = lockOf(module_);
    return module_ && context_ && module_->checkWord(context_, word);
}

bool RecProfile::getWordVariants(const wchar_t* word, std::vector<std::wstring>* variants,
                                 int maximum) const {
    if (!variants) return false;
    variants->clear();
    auto lock = lockOf(module_);
    if (!module_ || !context_ || maximum < 1) return false;
    return module_->getWordVariants(context_, word, *variants, maximum);
}

bool RecProfile::addWord(PSO_HUSERDICT dictionary, const wchar_t* word) {
    auto lock = lockOf(module_);
    return module_ && context_ && module_->addWordToUserDict(context_, dictionary, word);
}

// ---- user dictionaries ----

std::wstring RecProfile::userDictKey(const std::wstring& dictName) const {
    std::wstring path;
    if (!module_ ||
        !module_->makeFilePath(dictName.c_str(), module_->getUserDictExtension(), true, path))
        return std::wstring();
    return lowerCase(path);
}

bool RecProfile::loadUserDict(const std::wstring& dictName, bool reload) {
    auto lock = lockOf(module_);
    if (!module_ || !context_) return false;
    const std::wstring key = userDictKey(dictName);
    if (key.empty()) return false;
    auto it = userDictMap_.find(key);
    if (it != userDictMap_.end()) {
        if (!reload) return true;
        // Drop the engine's copy; a library that cannot only gets it emptied.
        if (module_->PSO_RemoveUserDictFromRecContext(context_, it->second.handle()) != PSO_OK)
            module_->PSO_UserDict_Clear(context_, it->second.handle());
        userDictMap_.erase(it);
    }
    const PSO_HUSERDICT handle = module_->LoadUserDictFromFile(context_, key.c_str(), true);
    if (handle) {
        userDictMap_.emplace(key, UserDict(key, handle));
        return true;
    }
    debugTrace(L"===RecProfile::loadUserDict:Error while loading the user dictionary -  %s\n",
               key.c_str());
    recMessageBox(MB_ICONEXCLAMATION,
                  L"Error while loading the user dictionary -  %s\nUser dictionary feature is "
                  L"turned off.",
                  key.c_str());
    return false;
}

bool RecProfile::loadUserDicts(bool reload) {
    auto lock = lockOf(module_);
    if (!module_ || !context_) return false;
    for (const std::wstring& d : userDicts) loadUserDict(d, reload);
    return true;
}

bool RecProfile::reloadUserDict(const wchar_t* key) {
    auto lock = lockOf(module_);
    if (!module_ || !context_) return false;
    const UserDict* d = findUserDict(key);
    if (!d) return false;
    const std::wstring held = d->name();
    return loadUserDict(held, true);
}

const UserDict* RecProfile::findUserDict(const wchar_t* key) const {
    if (!key) return userDictMap_.empty() ? nullptr : &userDictMap_.begin()->second;
    auto it = userDictMap_.find(key);
    return it == userDictMap_.end() ? nullptr : &it->second;
}

bool RecProfile::usesUserDict(const std::wstring& key) const {
    return userDictMap_.count(key) != 0;
}

bool RecProfile::saveUserDict(const std::wstring& key, bool keepBackup) {
    auto lock = lockOf(module_);
    const UserDict* d = findUserDict(key.c_str());
    if (!module_ || !context_ || !d) return false;
    return module_->SaveUserDictToFile(context_, d->handle(), key.c_str(),
                                       keepBackup ? L".BAK" : nullptr);
}

bool RecProfile::clearUserDict(const std::wstring& key) {
    auto lock = lockOf(module_);
    const UserDict* d = findUserDict(key.c_str());
    if (!module_ || !context_ || !d) return false;
    return module_->PSO_UserDict_Clear(context_, d->handle()) <= 0;
}

bool RecProfile::dropUserDict(const std::wstring& key) {
    auto lock = lockOf(module_);
    auto it = userDictMap_.find(key);
    if (!module_ || !context_ || it == userDictMap_.end()) return false;
    // Out of the engine's context; a library that cannot only gets it emptied.
    if (module_->PSO_RemoveUserDictFromRecContext(context_, it->second.handle()) != PSO_OK)
        module_->PSO_UserDict_Clear(context_, it->second.handle());
    userDictMap_.erase(it);
    return true;
}

bool RecProfile::enumUserDictWords(const std::wstring& key, UserDictWordCallback callback,
                                   void* parameter) {
    auto lock = lockOf(module_);
    const UserDict* d = findUserDict(key.c_str());
    if (!module_ || !context_ || !d) return false;
    return module_->enumUserDictWords(context_, d->handle(), callback, parameter);
}
