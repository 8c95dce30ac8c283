#include <gtest/gtest.h>

#include "recognition/LanguageTables.h"

namespace {

HKL layout(UINT_PTR value) { return reinterpret_cast<HKL>(value); }

TEST(LanguageTables, EveryRowMapsNameToIdAndBack) {
    const LanguageTables& t = LanguageTables::instance();
    const auto rows = LanguageTables::rows();
    ASSERT_EQ(rows.size(), 120u);
    for (const auto& [name, id] : rows) {
        EXPECT_EQ(t.getLanguageId(name), id) << std::string(name.begin(), name.end());
        std::wstring back;
        ASSERT_TRUE(t.getLanguageName(static_cast<UINT_PTR>(id), back, false));
        // Ids with several names give the last of them; every other id its own name.
        EXPECT_EQ(t.getLanguageId(back), id);
    }
}

TEST(LanguageTables, SharedIdsGiveTheLastName) {
    struct Case {
        int id;
        const wchar_t* name;
    } cases[] = {{26, L"Serbian"}, {41, L"Persian"}, {46, L"Upper_sorbian"}};
    for (const Case& c : cases) {
        std::wstring name;
        ASSERT_TRUE(getLanguageName(static_cast<UINT_PTR>(c.id), name, false));
        EXPECT_EQ(name, c.name);
    }
    EXPECT_EQ(getLanguageId(L"Croatian"), 26);
    EXPECT_EQ(getLanguageId(L"Bosnian"), 26);
    EXPECT_EQ(getLanguageId(L"Farsi"), 41);
    EXPECT_EQ(getLanguageId(L"Lower_sorbian"), 46);
}

TEST(LanguageTables, NamesAreCapitalisedAndMatchedExactly) {
    EXPECT_EQ(LanguageTables::capitalise(L"LOWER_SORBIAN"), L"Lower_sorbian");
    EXPECT_EQ(LanguageTables::capitalise(L"ENGLISH"), L"English");
    EXPECT_EQ(getLanguageId(L"English"), 9);
    EXPECT_EQ(getLanguageId(L"ENGLISH"), 0);
    EXPECT_EQ(getLanguageId(L"english"), 0);
    EXPECT_EQ(getLanguageId(L""), 0);
    EXPECT_EQ(getLanguageId(L"Klingon"), 0);
}

TEST(LanguageTables, LayoutHandlesUseTheLowByte) {
    struct Case {
        UINT_PTR id;
        bool fallback;
        bool found;
        const wchar_t* name;
    } cases[] = {
        {0x04090409, false, true, L"English"},
        {0x04190419, false, true, L"Russian"},
        {0x0809, false, true, L"English"},  // English (United Kingdom)
        {200, true, true, L"English"},
        {200, false, false, L"unchanged"},
        {0, false, false, L"unchanged"},
    };
    for (const Case& c : cases) {
        std::wstring name = L"unchanged";
        EXPECT_EQ(getLanguageName(c.id, name, c.fallback), c.found) << c.id;
        EXPECT_EQ(name, c.name) << c.id;
    }
}

TEST(LanguageTables, KeyboardLayoutIsFoundAmongTheFirstTen) {
    LanguageTables t;
    std::vector<HKL> installed;
    t.setLayoutSource([&](int maxCount) {
        std::vector<HKL> list = installed;
        if (list.size() > static_cast<size_t>(maxCount)) list.resize(static_cast<size_t>(maxCount));
        return list;
    });
    installed = {layout(0x04070407), layout(0x04190419), layout(0x04090409), layout(0x08090809)};
    EXPECT_EQ(t.getKeyboardLayoutOfLanguage(L"English"), layout(0x04090409)) << "the first match";
    EXPECT_EQ(t.getKeyboardLayoutOfLanguage(L"Russian"), layout(0x04190419));
    EXPECT_EQ(t.getKeyboardLayoutOfLanguage(L"French"), nullptr);
    EXPECT_EQ(t.getKeyboardLayoutOfLanguage(L"Klingon"), nullptr);

    installed.assign(10, layout(0x04070407));
    installed.push_back(layout(0x040C040C));  // French only as the eleventh
    EXPECT_EQ(t.getKeyboardLayoutOfLanguage(L"French"), nullptr);
    EXPECT_EQ(t.getKeyboardLayoutOfLanguage(L"German"), layout(0x04070407));
}

TEST(LanguageTables, InstalledLayoutsOfThisSystem) {
    // The system has at least one layout, and its language is in the table.
    HKL current = GetKeyboardLayout(0);
    std::wstring name;
    ASSERT_TRUE(getLanguageName(reinterpret_cast<UINT_PTR>(current), name, false));
    EXPECT_NE(getKeyboardLayoutOfLanguage(name), nullptr);
}

TEST(LanguageTables, LocaleLanguageIdComesFromTheRuntime) {
    EXPECT_EQ(getLocaleLanguageId(L"English"), 0x0409);
    EXPECT_EQ(PRIMARYLANGID(getLocaleLanguageId(L"Russian")), LANG_RUSSIAN);
    EXPECT_EQ(PRIMARYLANGID(getLocaleLanguageId(L"German")), LANG_GERMAN);
    EXPECT_EQ(getLocaleLanguageId(L"Klingon"), 0);
    EXPECT_EQ(getLocaleLanguageId(L"Engl\u00EFsh"), 0);
}

}  // namespace
