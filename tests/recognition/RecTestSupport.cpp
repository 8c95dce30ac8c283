#include "RecTestSupport.h"

#include <gtest/gtest.h>

#include <mutex>

#include "core/MemoryBlocks.h"
#include "core/Settings.h"

namespace rt {

namespace {

std::mutex g_messagesLock;
std::vector<std::wstring> g_messages;

int collect(const wchar_t* text, UINT) {
    std::lock_guard<std::mutex> lock(g_messagesLock);
    g_messages.push_back(text);
    return IDOK;
}

}  // namespace

std::wstring binFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring p(path, n);
    return p.substr(0, p.find_last_of(L"\\/"));
}

std::wstring englishLibrary() { return binFolder() + L"\\English\\VexaScript.dll"; }

MessageCollector::MessageCollector() {
    clear();
    setRecMessageSink(collect);
}

MessageCollector::~MessageCollector() { setRecMessageSink(nullptr); }

std::vector<std::wstring> MessageCollector::texts() const {
    std::lock_guard<std::mutex> lock(g_messagesLock);
    return g_messages;
}

bool MessageCollector::saw(const std::wstring& piece) const {
    for (const std::wstring& t : texts())
        if (t.find(piece) != std::wstring::npos) return true;
    return false;
}

void MessageCollector::clear() {
    std::lock_guard<std::mutex> lock(g_messagesLock);
    g_messages.clear();
}

SettingsScope::SettingsScope() {
    key_ = L"Software\\Zorvane\\ScribixTest\\recognition-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
    setSettingsRootKey(key_.c_str());
    resetSettingsToDefaults();
}

SettingsScope::~SettingsScope() {
    setSettingsRootKey(nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, key_.c_str());
    resetSettingsToDefaults();
}

EnglishModule::EnglishModule()
    : module(std::make_unique<RecVexaModule>(englishLibrary(), L"English", data.path())) {
    EXPECT_TRUE(module->load()) << "the installed library loads";
}

std::vector<PSO_POINT> inkOf(const std::string& text, uint32_t seed) {
    handwriting::Options o;
    o.seed = seed;
    return handwriting::write(text, o).pointList();
}

std::unique_ptr<RecWordList> recognize(RecProfile& profile, const std::vector<PSO_POINT>& ink,
                                       bool stopAtWeakBlock) {
    RecModule::ProfileLock lock = profile.module()->lockProfiles();
    EXPECT_TRUE(profile.startSession(0));
    if (!ink.empty()) {
        EXPECT_TRUE(profile.addInk(ink.data(), static_cast<int>(ink.size())));
    }
    EXPECT_TRUE(profile.endSession());
    return std::unique_ptr<RecWordList>(profile.getAnswers(stopAtWeakBlock));
}

std::wstring textOf(const RecWordList& list) {
    wchar_t* joined = list.joinText(false);
    std::wstring text = joined ? joined : L"";
    freeMemory(joined);
    return text;
}

std::vector<std::wstring> altsOf(const RecWord& word) {
    std::vector<std::wstring> alts;
    for (int i = 0; i < word.altCount(); ++i) alts.push_back(word.altAt(i)->text());
    return alts;
}

std::string readBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return bytes;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0) bytes.append(buffer, n);
    CloseHandle(f);
    return bytes;
}

bool writeBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    const bool ok = bytes.empty() ||
                    (WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
                     n == bytes.size());
    CloseHandle(f);
    return ok;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace rt
