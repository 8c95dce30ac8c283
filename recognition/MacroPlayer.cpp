// The macro player: the nesting guard, keystroke and launch macros, the brace
// tokens of the macro text language and its key-name table.
#include <map>
#include <mutex>

#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/ServiceMessages.h"
#include "core/ServiceState.h"
#include "core/Settings.h"
#include "core/Trace.h"
#include "recognition/LanguageTables.h"
#include "recognition/Macro.h"
#include "recognition/RecMgr.h"

namespace {

// ---- the key-name table ----

struct KeyNames {
    std::map<std::wstring, UINT> byName;
    std::map<UINT, std::wstring> byKey;
};

const KeyNames& keyNames() {
    static KeyNames names;
    static std::once_flag built;
    std::call_once(built, [] {
        const struct {
            const wchar_t* name;
            UINT key;
        } kRows[] = {
            {L"Esc", 0x1B},   {L"Enter", 0x0D},   {L"Home", 0x24}, {L"PrtScr", 0x2C},
            {L"End", 0x23},   {L"ScrLock", 0x91}, {L"Del", 0x2E},  {L"NumLock", 0x90},
            {L"Bksp", 0x08},  {L"Space", 0x20},   {L"Ins", 0x2D},  {L"Left", 0x25},
            {L"Right", 0x27}, {L"Up", 0x26},      {L"Down", 0x28}, {L"PgUp", 0x21},
            {L"PgDn", 0x22},  {L"Tab", 0x09},
        };
        auto add = [](const std::wstring& name, UINT key) {
            names.byName[name] = key;
            names.byKey[key] = name;
        };
        for (const auto& row : kRows) add(row.name, row.key);
        for (UINT i = 0; i < 12; ++i) add(L"F" + std::to_wstring(i + 1), 0x70 + i);
        for (UINT i = 0; i < 10; ++i) add(L"#" + std::to_wstring(i), 0x60 + i);
    });
    return names;
}

// ---- token helpers ----

bool startsWith(const wchar_t* text, const wchar_t* prefix, size_t& length) {
    length = wcslen(prefix);
    return wcsncmp(text, prefix, length) == 0;
}

// The argument of a token after its command prefix of `length` characters,
// read from the token's copy (empty when the copy failed).
std::wstring argumentOf(const std::wstring& copy, bool copied, size_t length) {
    if (!copied || copy.size() < length) return std::wstring();
    return copy.substr(length);
}

// A whole number read like "%x" or "%d": optional blanks and sign, digits;
// what follows them does not matter.
bool scanNumber(const std::wstring& text, bool hex, long& value) {
    int n = 0;
    const int read =
        hex ? swscanf(text.c_str(), L"%lx%n", reinterpret_cast<unsigned long*>(&value), &n)
            : swscanf(text.c_str(), L"%ld%n", &value, &n);
    return read == 1;
}

void postToService(UINT message, WPARAM wParam, LPARAM lParam) {
    if (HWND service = getServiceWindow()) PostMessageW(service, message, wParam, lParam);
}

int settingsPageOf(const std::wstring& name) {
    static const struct {
        const wchar_t* name;
        int page;
    } kPages[] = {{L"General", 7},     {L"Ink", 8},  {L"WordMenu", 11}, {L"Macros", 29},
                  {L"Recognition", 9}, {L"Reco", 9}, {L"Input", 61}};
    for (const auto& p : kPages)
        if (name == p.name) return p.page;
    return 0;
}

void typeDateOrTime(const wchar_t* which, HKL layout, bool keyOnly) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const LANGID language = LOWORD(reinterpret_cast<UINT_PTR>(layout));
    const LCID locale = language ? MAKELCID(language, SORT_DEFAULT) : LOCALE_USER_DEFAULT;
    wchar_t text[64] = L"";
    int n = 0;
    if (wcscmp(which, L"DateShort") == 0)
        n = GetDateFormatW(locale, DATE_SHORTDATE, &now, nullptr, text, 20);
    else if (wcscmp(which, L"DateLong") == 0)
        n = GetDateFormatW(locale, DATE_LONGDATE, &now, nullptr, text, 60);
    else
        n = GetTimeFormatW(locale, TIME_NOSECONDS, &now, nullptr, text, 60);
    if (n <= 0) {
        debugTrace(L"CMacro: cannot format %ls (error %lu)\n", which, GetLastError());
        return;
    }
    macroLink().typeString(text, layout, keyOnly);
}

void replaceAll(std::wstring& text, const std::wstring& find, const std::wstring& with) {
    for (size_t at = 0; (at = text.find(find, at)) != std::wstring::npos; at += with.size())
        text.replace(at, find.size(), with);
}

std::wstring trimmed(const std::wstring& text) {
    const wchar_t* blanks = L" \t\r\n\v\f";
    const size_t first = text.find_first_not_of(blanks);
    if (first == std::wstring::npos) return std::wstring();
    const size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// Keeps the nesting depth raised for its life, also when an exception leaves.
class DepthScope {
  public:
    explicit DepthScope(int& depth) : depth_(depth) { ++depth_; }
    ~DepthScope() { --depth_; }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;

  private:
    int& depth_;
};

}  // namespace

// ---- text forms ----

bool copyMacroToken(const wchar_t* text, size_t room, std::wstring& out) {
    out.clear();
    if (!text) return false;
    const wchar_t* end = wcschr(text, L'}');
    if (!end || static_cast<size_t>(end - text) >= room) return false;
    out.assign(text, end);
    return true;
}

const wchar_t* skipMacroToken(const wchar_t* text) {
    const wchar_t* end = wcschr(text, L'}');
    return end ? end + 1 : text + wcslen(text);
}

bool formatKeyName(UINT virtualKey, std::wstring& out) {
    out.clear();
    const KeyNames& names = keyNames();
    auto it = names.byKey.find(virtualKey);
    if (it == names.byKey.end()) return false;
    out = L"{" + it->second + L"}";
    return true;
}

UINT macroKeyByName(const wchar_t* name) {
    if (!name) return 0;
    const KeyNames& names = keyNames();
    auto it = names.byName.find(name);
    return it == names.byName.end() ? 0 : it->second;
}

bool splitLaunchCommand(const wchar_t* text, std::wstring& program, std::wstring& parameters) {
    program.clear();
    parameters.clear();
    if (!text) return false;
    const std::wstring t(text);
    if (!t.empty() && t[0] == L'"') {
        const size_t close = t.find(L'"', 1);
        if (close == std::wstring::npos) return false;
        program = t.substr(1, close - 1);
        parameters = t.substr(close + 1);
    } else {
        const size_t blank = t.find(L' ');
        if (blank == std::wstring::npos) {
            program = t;
        } else {
            program = t.substr(0, blank);
            parameters = t.substr(blank + 1);
        }
    }
    program = trimmed(program);
    parameters = trimmed(parameters);
    return true;
}

bool joinLaunchCommand(const wchar_t* program, const wchar_t* parameters, std::wstring& out) {
    out.clear();
    if (!program) return false;
    const std::wstring p = trimmed(program);
    if (p.empty()) return false;
    if (p[0] == L'"' || p.find(L' ') == std::wstring::npos)
        out = p;
    else
        out = L"\"" + p + L"\"";
    const std::wstring rest = parameters ? trimmed(parameters) : std::wstring();
    if (!rest.empty()) out += L" " + rest;
    return true;
}

void useProfileCommand(const wchar_t* name, int scope) {
    if (!name || !*name) return;
    if (wcscmp(name, L"?") == 0) {
        std::wstring language;
        const HKL layout = hookLibrary().askLastFocusKeyboardLayout();
        getLanguageName(reinterpret_cast<UINT_PTR>(layout), language, true);
        wchar_t prompt[64];
        _snwprintf(prompt, 64, L"Choose profile (%.2ls):", language.c_str());
        prompt[63] = L'\0';
        macroLink().chooseProfile(prompt, scope);
        return;
    }
    getRecMgr().profileChooser().setChoice(name, scope);
}

// ---- running ----

bool CMacro::runMacro(const wchar_t* name, HWND target, const void* callerValue,
                      std::wstring& out) {
    return run(name, target, callerValue, out) == Run::Done;
}

CMacro::Run CMacro::run(const wchar_t* name, HWND target, const void* callerValue,
                        std::wstring& out) {
    if (depth_ + 1 > kMaxDepth) {
        debugTrace(L"CMacro::runMacro: %ls refused at nesting level %d\n", name ? name : L"",
                   depth_ + 1);
        return Run::NotRun;
    }
    DepthScope level(depth_);
    try {
        return runBody(name, target, callerValue, out);
    } catch (...) {
        debugTrace(L"CMacro::runMacro: exception while running %ls\n", name ? name : L"");
        return Run::Failed;
    }
}

// The text of a keystroke macro as it is typed: every line break is one
// Enter, whether the text holds it as CR LF (what the editor's text box gives,
// kept by the file as it was typed), as a lone LF or as a lone CR.
static std::wstring keystrokeText(const wchar_t* body) {
    std::wstring text;
    for (const wchar_t* c = body; *c; ++c) {
        if (*c == L'\r' && c[1] == L'\n') ++c;
        text += *c == L'\n' ? L'\r' : *c;
    }
    return text;
}

CMacro::Run CMacro::runBody(const wchar_t* name, HWND target, const void* callerValue,
                            std::wstring& out) {
    out.clear();
    if (!name) return Run::NotRun;
    XString type, body;
    bool hasBody = false;
    {
        std::lock_guard<std::mutex> lock(lock_);
        CLiteElem item;
        if (!document_ || !document_->findItemByName(item, name)) return Run::NotRun;
        if (!item.getAttrString(XS("type"), type)) return Run::NotRun;
        hasBody = item.getText(body);
    }
    if (type == XS("keystroke")) {
        if (!hasBody) return Run::NotRun;
        const std::wstring text = keystrokeText(body.c_str());
        const HKL layout = hookLibrary().askLastFocusKeyboardLayout();
        playText(text.c_str(), layout, false, target, callerValue);
        return Run::Done;
    }
    if (type == XS("launch")) {
        if (!hasBody) return Run::NotRun;
        return launch(std::wstring(body.c_str())) ? Run::Done : Run::Failed;
    }
    return Run::NotRun;
}

bool CMacro::launch(const std::wstring& text) {
    std::wstring program, parameters;
    if (!splitLaunchCommand(text.c_str(), program, parameters)) return false;
    std::wstring folder;
    const size_t slash = program.find_last_of(L"\\/");
    if (slash != std::wstring::npos) folder = program.substr(0, slash);

    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    // The recognition thread must not wait on a shell error box.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    const bool started = macroLink().shellExecute(info);
    if (!started)
        debugTrace(L"CMacro: cannot start %ls (error %lu)\n", program.c_str(), GetLastError());
    if (info.hProcess) {
        WaitForInputIdle(info.hProcess, 1000);
        CloseHandle(info.hProcess);
    }
    HWND front = GetForegroundWindow();
    HWND last = hookLibrary().getLastForegroundWindow();
    if (front && last && front != last) macroLink().forceForegroundWindow(last);
    return started;
}

// ---- playing ----

bool CMacro::playText(const wchar_t* text, HKL layout, bool keyOnly, HWND target,
                      const void* callerValue) {
    if (!text) return false;
    std::wstring t(text);
    replaceAll(t, L"`DateLong`", L"{DateLong}");
    replaceAll(t, L"`DateShort`", L"{DateShort}");
    replaceAll(t, L"`Time`", L"{Time}");
    const wchar_t* p = t.c_str();
    while (*p) {
        if (*p == L'{')
            p = playToken(p + 1, layout, keyOnly, target, callerValue);
        else
            macroLink().typeCharKey(*p++, layout, keyOnly);
    }
    return true;
}

const wchar_t* CMacro::playModifierGroup(const wchar_t* at, BYTE modifier, HKL layout, HWND target,
                                         const void* callerValue) {
    MacroLink& link = macroLink();
    link.modifierKey(modifier, false);
    const wchar_t* p = at;
    while (*p && *p != L'}') {
        if (*p == L'{')
            p = playToken(p + 1, layout, true, target, callerValue);
        else
            link.typeCharKey(*p++, nullptr, true);
    }
    if (*p == L'}') ++p;
    link.modifierKey(modifier, true);
    return p;
}

void CMacro::playCustom(const wchar_t* command, HKL layout, bool keyOnly, HWND target,
                        const void* callerValue) {
    std::wstring name(command), parameter;
    bool hasParameter = false;
    const size_t colon = name.find(L':');
    if (colon != std::wstring::npos) {
        parameter = name.substr(colon + 1);
        name.resize(colon);
        hasParameter = true;
    }
    std::wstring text;
    bool returnedText = false;
    if (!executors_.ask(target, name.c_str(), hasParameter ? parameter.c_str() : nullptr, text,
                        returnedText) ||
        !returnedText)
        return;
    // An executor's text may hold tokens that ask an executor again: it counts
    // as a nesting level, so that a text that names itself cannot recurse
    // without end.
    if (depth_ + 1 > kMaxDepth) {
        debugTrace(L"CMacro: the text of Custom:%ls refused at nesting level %d\n", name.c_str(),
                   depth_ + 1);
        return;
    }
    DepthScope level(depth_);
    playText(text.c_str(), layout, keyOnly, target, callerValue);
}

const wchar_t* CMacro::playToken(const wchar_t* at, HKL layout, bool keyOnly, HWND target,
                                 const void* callerValue) {
    MacroLink& link = macroLink();
    keyNames();

    if (*at == L'{') {
        link.typeCharKey(L'{', layout, keyOnly);
        return at + 1;
    }

    static const struct {
        const wchar_t* prefix;
        BYTE key;
    } kModifiers[] = {
        {L"Ctrl+", VK_CONTROL}, {L"Alt+", VK_MENU}, {L"Shift+", VK_SHIFT}, {L"Win+", VK_LWIN}};
    size_t length = 0;
    for (const auto& m : kModifiers)
        if (startsWith(at, m.prefix, length))
            return playModifierGroup(at + length, m.key, layout, target, callerValue);

    std::wstring copy;
    const bool copied = copyMacroToken(at, kTokenRoom, copy);
    const wchar_t* after = skipMacroToken(at);

    if (copied) {
        if (const UINT key = macroKeyByName(copy.c_str())) {
            link.typeVirtualKey(static_cast<WORD>(key));
            return after;
        }
    }

    long value = 0;
    if (startsWith(at, L"HexVk:", length)) {
        if (!scanNumber(argumentOf(copy, copied, length), true, value) || value < 1 || value > 255)
            return at + length;
        link.typeVirtualKey(static_cast<WORD>(value));
        return after;
    }
    if (startsWith(at, L"HexChar:", length)) {
        if (!scanNumber(argumentOf(copy, copied, length), true, value) || value < 1 || value > 255)
            return at + length;
        link.typeCharKey(static_cast<UINT>(value), layout, keyOnly);
        return after;
    }
    if (startsWith(at, L"Delay:", length)) {
        if (!scanNumber(argumentOf(copy, copied, length), false, value) || value < 1)
            return at + length;
        link.sleep(static_cast<DWORD>(value));
        return after;
    }
    if (startsWith(at, L"Settings:", length)) {
        if (!link.isSettingsDialogOpen())
            postToService(WM_INK_OPEN_SETTINGS,
                          static_cast<WPARAM>(settingsPageOf(argumentOf(copy, copied, length))), 0);
        return after;
    }
    if (startsWith(at, L"RunMacro:", length)) {
        std::wstring scratch;
        const std::wstring name = argumentOf(copy, copied, length);
        // A macro that ran goes on after its token even when what it asked
        // for failed: its own text is never typed into the user's field.
        return run(name.c_str(), target, callerValue, scratch) == Run::NotRun ? at : after;
    }
    if (startsWith(at, L"Custom:", length)) {
        playCustom(argumentOf(copy, copied, length).c_str(), layout, keyOnly, target, callerValue);
        return after;
    }
    if (startsWith(at, L"UseProfileScope:", length)) {
        const std::wstring scope = argumentOf(copy, copied, length);
        int v = -1;
        if (scope == L"Once") v = 0;
        if (scope == L"Focus") v = 1;
        if (scope == L"Always") v = 2;
        GeneralSettings& settings = generalSettings();
        if (v >= 0 && v != settings.useProfileScope) {
            getRecMgr().profileChooser().clear(-1);
            settings.useProfileScope = v;
        }
        return after;
    }
    if (startsWith(at, L"UseProfile:", length)) {
        useProfileCommand(argumentOf(copy, copied, length).c_str(),
                          generalSettings().useProfileScope);
        return after;
    }

    if (startsWith(at, L"Toolbar}", length)) {
        link.showMainBar(generalSettings().showToolbar == 0);
        return at + length;
    }
    if (startsWith(at, L"PunctPane}", length)) {
        postOutputRecord(getServiceWindow(),
                         OutputRecord{nullptr, hookLibrary().getLastFocusWindow(), {0, 0}, 1, 0});
        return at + length;
    }
    if (startsWith(at, L"WordMenu}", length)) {
        link.showWordMenu();
        return at + length;
    }
    if (startsWith(at, L"Bind}", length)) {
        link.setBindingMode(!link.isBindingMode());
        return at + length;
    }
    if (startsWith(at, L"Markup}", length)) {
        postMarkupModeSwitch();
        return at + length;
    }
    if (startsWith(at, L"MainMenu}", length)) {
        postToService(WM_INK_MAIN_MENU, 0, 4);
        return at + length;
    }
    for (const wchar_t* which : {L"DateShort", L"DateLong", L"Time"}) {
        const size_t n = wcslen(which);
        if (wcsncmp(at, which, n) == 0 && at[n] == L'}') {
            typeDateOrTime(which, layout, keyOnly);
            return at + n + 1;
        }
    }
    return at;
}
