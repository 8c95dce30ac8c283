#include "recognition/ModuleLocale.h"

#include <cstring>

namespace {

// Language names are plain ASCII; anything else is no locale name.
bool asciiName(const std::wstring& name, std::string& out) {
    out.clear();
    for (wchar_t c : name) {
        if (c == 0 || c > 0x7F) return false;
        out.push_back(static_cast<char>(c));
    }
    return !out.empty();
}

size_t boundedLength(const char* text, size_t length) {
    if (!text) return 0;
    if (length == std::wstring::npos) return std::strlen(text);
    const void* nul = std::memchr(text, 0, length);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : length;
}

}  // namespace

ModuleLocale::ModuleLocale(const std::wstring& languageName) {
    std::string narrow;
    if (!asciiName(languageName, narrow)) return;
    locale_ = _create_locale(LC_ALL, narrow.c_str());
    if (!locale_) return;
    languageId_ = LANGIDFROMLCID(locale_->locinfo->lc_handle[LC_COLLATE]);
    codePage_ = locale_->locinfo->lc_codepage;
    if (codePage_ == 0) codePage_ = CP_ACP;
}

ModuleLocale::~ModuleLocale() {
    if (locale_) _free_locale(locale_);
}

std::wstring ModuleLocale::toWide(const char* text, size_t length) const {
    const size_t n = boundedLength(text, length);
    if (!locale_ || n == 0) return std::wstring();
    const int size = MultiByteToWideChar(codePage_, 0, text, static_cast<int>(n), nullptr, 0);
    if (size <= 0) return std::wstring();
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage_, 0, text, static_cast<int>(n), &out[0], size);
    return out;
}

std::wstring ModuleLocale::toWideBytewise(const char* text, size_t length) const {
    const size_t n = boundedLength(text, length);
    std::wstring out;
    if (!locale_) return out;
    for (size_t i = 0; i < n; ++i) {
        const unsigned char byte = static_cast<unsigned char>(text[i]);
        if (byte == 0xA3 || byte == 0xA5) {
            out.push_back(static_cast<wchar_t>(byte));
            continue;
        }
        wchar_t wide = 0;
        if (MultiByteToWideChar(codePage_, MB_ERR_INVALID_CHARS, &text[i], 1, &wide, 1) != 1) break;
        out.push_back(wide);
    }
    return out;
}

bool ModuleLocale::toNarrow(const std::wstring& text, std::string& out) const {
    out.clear();
    if (!locale_) return false;
    if (text.empty()) return true;
    BOOL usedDefault = FALSE;
    const int size =
        WideCharToMultiByte(codePage_, WC_NO_BEST_FIT_CHARS, text.data(),
                            static_cast<int>(text.size()), nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return false;
    out.assign(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage_, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()),
                        &out[0], size, nullptr, &usedDefault);
    if (usedDefault || out.find('\0') != std::string::npos) {
        out.clear();
        return false;
    }
    return true;
}

namespace {

// Case mapping goes through wide text, so that a double-byte code page never
// has half a character mapped; a text whose mapped form has no 8-bit form
// stays as it was.
void mapCase(const ModuleLocale& locale, LCID lcid, std::string& text, DWORD how, bool firstOnly) {
    std::wstring wide = locale.toWide(text.c_str(), text.size());
    if (wide.empty()) return;
    auto mapRange = [&](size_t from, size_t count, DWORD flags) {
        if (count == 0) return;
        std::wstring part = wide.substr(from, count);
        const int n =
            LCMapStringW(lcid, flags, part.c_str(), static_cast<int>(part.size()), nullptr, 0);
        if (n <= 0) return;
        std::wstring mapped(static_cast<size_t>(n), L'\0');
        LCMapStringW(lcid, flags, part.c_str(), static_cast<int>(part.size()), &mapped[0], n);
        wide.replace(from, count, mapped);
    };
    if (firstOnly) {
        // The rest first: its length may change the index of nothing before it.
        mapRange(1, wide.size() - 1, LCMAP_LOWERCASE);
        mapRange(0, 1, LCMAP_UPPERCASE);
    } else {
        mapRange(0, wide.size(), how);
    }
    std::string narrow;
    if (locale.toNarrow(wide, narrow)) text = narrow;
}

}  // namespace

LCID ModuleLocale::caseLocale() const {
    const LCID lcid = locale_ ? locale_->locinfo->lc_handle[LC_CTYPE] : 0;
    return lcid ? lcid : LOCALE_INVARIANT;
}

void ModuleLocale::toUpper(std::string& text) const {
    if (locale_) mapCase(*this, caseLocale(), text, LCMAP_UPPERCASE, false);
}

void ModuleLocale::toLower(std::string& text) const {
    if (locale_) mapCase(*this, caseLocale(), text, LCMAP_LOWERCASE, false);
}

void ModuleLocale::capitalizeFirst(std::string& text) const {
    if (locale_) mapCase(*this, caseLocale(), text, 0, true);
}
