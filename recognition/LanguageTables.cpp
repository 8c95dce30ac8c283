#include "LanguageTables.h"

#include <cwctype>

#include "recognition/ModuleLocale.h"

namespace {

struct Row {
    const wchar_t* name;
    int id;
};

// Language name and primary language id; where an id has several names the
// last one wins for id -> name.
const Row kRows[] = {
    {L"AFRIKAANS", 54},     {L"ALBANIAN", 28},    {L"ALSATIAN", 132},      {L"AMHARIC", 94},
    {L"ARABIC", 1},         {L"ARMENIAN", 43},    {L"ASSAMESE", 77},       {L"AZERI", 44},
    {L"BASHKIR", 109},      {L"BASQUE", 45},      {L"BELARUSIAN", 35},     {L"BENGALI", 69},
    {L"BRETON", 126},       {L"BOSNIAN", 26},     {L"BULGARIAN", 2},       {L"CATALAN", 3},
    {L"CHINESE", 4},        {L"CORSICAN", 131},   {L"CROATIAN", 26},       {L"CZECH", 5},
    {L"DANISH", 6},         {L"DARI", 140},       {L"DIVEHI", 101},        {L"DUTCH", 19},
    {L"ENGLISH", 9},        {L"ESTONIAN", 37},    {L"FAEROESE", 56},       {L"FARSI", 41},
    {L"FILIPINO", 100},     {L"FINNISH", 11},     {L"FRENCH", 12},         {L"FRISIAN", 98},
    {L"GALICIAN", 86},      {L"GEORGIAN", 55},    {L"GERMAN", 7},          {L"GREEK", 8},
    {L"GREENLANDIC", 111},  {L"GUJARATI", 71},    {L"HAUSA", 104},         {L"HEBREW", 13},
    {L"HINDI", 57},         {L"HUNGARIAN", 14},   {L"ICELANDIC", 15},      {L"IGBO", 112},
    {L"INDONESIAN", 33},    {L"INUKTITUT", 93},   {L"IRISH", 60},          {L"ITALIAN", 16},
    {L"JAPANESE", 17},      {L"KANNADA", 75},     {L"KASHMIRI", 96},       {L"KAZAK", 63},
    {L"KHMER", 83},         {L"KICHE", 134},      {L"KINYARWANDA", 135},   {L"KONKANI", 87},
    {L"KOREAN", 18},        {L"KYRGYZ", 64},      {L"LATVIAN", 84},        {L"LITHUANIAN", 39},
    {L"LOWER_SORBIAN", 46}, {L"LUXEMBOURGISH", 110}, {L"MACEDONIAN", 47},  {L"MALAY", 62},
    {L"MALAYALAM", 76},     {L"MALTESE", 58},     {L"MANIPURI", 88},       {L"MAORI", 129},
    {L"MAPUDUNGUN", 122},   {L"MARATHI", 78},     {L"MOHAWK", 124},        {L"MONGOLIAN", 80},
    {L"NEPALI", 97},        {L"NORWEGIAN", 20},   {L"OCCITAN", 130},       {L"ORIYA", 72},
    {L"PASHTO", 99},        {L"PERSIAN", 41},     {L"POLISH", 21},         {L"PORTUGUESE", 22},
    {L"PUNJABI", 70},       {L"QUECHUA", 107},    {L"ROMANIAN", 24},       {L"ROMANSH", 23},
    {L"RUSSIAN", 25},       {L"SAMI", 59},        {L"SANSKRIT", 79},       {L"SERBIAN", 26},
    {L"SINDHI", 89},        {L"SINHALESE", 91},   {L"SLOVAK", 27},         {L"SLOVENIAN", 36},
    {L"SOTHO", 108},        {L"SPANISH", 10},     {L"SWAHILI", 65},        {L"SWEDISH", 29},
    {L"SYRIAC", 90},        {L"TAJIK", 40},       {L"TAMAZIGHT", 95},      {L"TAMIL", 73},
    {L"TATAR", 68},         {L"TELUGU", 74},      {L"THAI", 30},           {L"TIBETAN", 81},
    {L"TIGRIGNA", 115},     {L"TSWANA", 50},      {L"TURKISH", 31},        {L"TURKMEN", 66},
    {L"UIGHUR", 128},       {L"UKRAINIAN", 34},   {L"UPPER_SORBIAN", 46},  {L"URDU", 32},
    {L"UZBEK", 67},         {L"VIETNAMESE", 42},  {L"WELSH", 82},          {L"WOLOF", 136},
    {L"XHOSA", 52},         {L"YAKUT", 133},      {L"YORUBA", 120},        {L"ZULU", 53},
};

constexpr int kMaxLayouts = 10;

}  // namespace

std::vector<HKL> LanguageTables::installedLayouts(int maxCount) {
    std::vector<HKL> list(static_cast<size_t>(maxCount));
    const int n = GetKeyboardLayoutList(maxCount, list.data());
    list.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return list;
}

std::wstring LanguageTables::capitalise(const wchar_t* name) {
    std::wstring s(name ? name : L"");
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = static_cast<wchar_t>(i == 0 ? std::towupper(s[i]) : std::towlower(s[i]));
    return s;
}

std::vector<std::pair<std::wstring, int>> LanguageTables::rows() {
    std::vector<std::pair<std::wstring, int>> all;
    for (const Row& r : kRows) all.emplace_back(capitalise(r.name), r.id);
    return all;
}

LanguageTables::LanguageTables() : layouts_(installedLayouts) {
    for (const auto& [name, id] : rows()) {
        nameToId_[name] = id;
        idToName_[id] = name;
    }
}

namespace {

LanguageTables& processTables() {
    static LanguageTables tables;
    return tables;
}

}  // namespace

const LanguageTables& LanguageTables::instance() { return processTables(); }

void LanguageTables::setProcessLayoutSource(LayoutSource source) {
    processTables().setLayoutSource(source ? std::move(source) : LayoutSource(installedLayouts));
}

bool LanguageTables::getLanguageName(UINT_PTR id, std::wstring& name, bool fallbackToEnglish) const {
    auto it = idToName_.find(static_cast<int>(id & 0xFF));
    if (it != idToName_.end()) {
        name = it->second;
        return true;
    }
    if (!fallbackToEnglish) return false;
    name = L"English";
    return true;
}

int LanguageTables::getLanguageId(const std::wstring& name) const {
    auto it = nameToId_.find(name);
    return it == nameToId_.end() ? 0 : it->second;
}

HKL LanguageTables::getKeyboardLayoutOfLanguage(const std::wstring& name) const {
    int id = getLanguageId(name);
    if (id == 0) return nullptr;
    for (HKL layout : layouts_(kMaxLayouts)) {
        if ((reinterpret_cast<UINT_PTR>(layout) & 0xFF) == static_cast<UINT_PTR>(id)) return layout;
    }
    return nullptr;
}

LANGID LanguageTables::getLocaleLanguageId(const std::wstring& name) {
    return ModuleLocale(name).languageId();
}

bool getLanguageName(UINT_PTR id, std::wstring& name, bool fallbackToEnglish) {
    return LanguageTables::instance().getLanguageName(id, name, fallbackToEnglish);
}

int getLanguageId(const std::wstring& name) { return LanguageTables::instance().getLanguageId(name); }

HKL getKeyboardLayoutOfLanguage(const std::wstring& name) {
    return LanguageTables::instance().getKeyboardLayoutOfLanguage(name);
}

LANGID getLocaleLanguageId(const std::wstring& name) {
    return LanguageTables::getLocaleLanguageId(name);
}
