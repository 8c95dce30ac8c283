// The word import's logic: the case-blind word set, the extraction of new
// words through the import filter, the main-dictionary check, and the
// splitting of an edited list.
#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "ui/dictionary/WordImport.h"

namespace {

std::vector<std::wstring> listOf(const WordSet& words) { return {words.begin(), words.end()}; }

using Words = std::vector<std::wstring>;

TEST(WordImport, ExtractsWordsThroughTheFilter) {
    struct Case {
        const char* what;
        const wchar_t* text;
        const wchar_t* start;
        const wchar_t* inside;
        const wchar_t* end;
        int minimum;
        Words expected;
    };
    const Case cases[] = {
        {"final period dropped", L"e-mail.", L"", L"-.@'", L"", 3, {L"e-mail"}},
        {"address kept whole",
         L"write to joe@example.com today",
         L"",
         L"-.@'",
         L"",
         3,
         {L"joe@example.com", L"today", L"write"}},
        {"one-letter words never", L"a b c I", L"", L"", L"", 2, {}},
        {"two letters skipped at three", L"an ox ate hay", L"", L"", L"", 3, {L"ate", L"hay"}},
        {"two letters taken at two", L"an ox", L"", L"", L"", 2, {L"an", L"ox"}},
        {"minimum below two takes nothing", L"many words here", L"", L"", L"", 1, {}},
        {"digits inside a word",
         L"mp3 player r2d2",
         L"",
         L"",
         L"",
         3,
         {L"mp3", L"player", L"r2d2"}},
        {"no word starts at a digit", L"42nd street", L"", L"", L"", 2, {L"nd", L"street"}},
        {"allowed end symbols kept", L"yahoo! wow!!", L"", L"", L"!", 3, {L"wow!!", L"yahoo!"}},
        {"end symbols not added after a drop", L"c-- c++", L"", L"-", L"+", 2, {L"c++"}},
        {"start symbols before a letter",
         L"#tag and ##more",
         L"#",
         L"",
         L"",
         3,
         {L"##more", L"#tag", L"and"}},
        {"start symbols without a letter", L"### #", L"#", L"", L"", 2, {}},
        {"other symbols split words",
         L"one,two;three(four)",
         L"",
         L"",
         L"",
         3,
         {L"four", L"one", L"three", L"two"}},
        {"apostrophes inside", L"don't 'quote'", L"", L"'", L"", 3, {L"don't", L"quote"}},
        {"only the first letter left", L"x-- y..", L"", L"-.", L"", 2, {}},
        {"duplicates once, first form", L"Hello hello HELLO", L"", L"", L"", 3, {L"Hello"}},
        {"non-latin letters",
         L"\x043F\x0440\x0438\x0432\x0435\x0442 \x043C\x0438\x0440",
         L"",
         L"",
         L"",
         3,
         {L"\x043C\x0438\x0440", L"\x043F\x0440\x0438\x0432\x0435\x0442"}},
        {"tabs and line breaks",
         L"alpha\tbeta\r\ngamma",
         L"",
         L"",
         L"",
         3,
         {L"alpha", L"beta", L"gamma"}},
    };
    for (const Case& c : cases) {
        WordSet out;
        const int added = extractNewWords(LOCALE_USER_DEFAULT, nullptr, c.text, c.start, c.inside,
                                          c.end, c.minimum, out, WordSet(), false);
        EXPECT_EQ(c.expected, listOf(out)) << c.what;
        EXPECT_EQ(static_cast<int>(c.expected.size()), added) << c.what;
    }
}

TEST(WordImport, KnownWordsAreNotOfferedAgain) {
    WordSet known = {L"Alpha", L"beta"};
    WordSet out = {L"gamma"};
    const int added = extractNewWords(LOCALE_USER_DEFAULT, nullptr, L"alpha BETA gamma delta delta",
                                      L"", L"", L"", 3, out, known, false);
    EXPECT_EQ(1, added) << "only delta is new; gamma was there already";
    EXPECT_EQ((Words{L"delta", L"gamma"}), listOf(out));
}

TEST(WordImport, MainDictionaryIsAskedAsWrittenAndCapitalsInLowerCase) {
    // The recognizer knows only lower-case "paris" and "nasa", and "Tokyo" as written.
    const std::set<std::wstring> lexicon = {L"paris", L"nasa", L"Tokyo", L"x-ray"};
    auto knows = [&](const std::wstring& word) { return lexicon.count(word) > 0; };
    struct Case {
        const wchar_t* word;
        bool offered;
    };
    const Case cases[] = {
        {L"paris", false}, {L"PARIS", false}, {L"Paris", true}, {L"NASA", false},
        {L"NaSa", true},   {L"Tokyo", false}, {L"TOKYO", true}, {L"X-RAY", false},
        {L"berlin", true}, {L"NASA2", true},
    };
    for (const Case& c : cases) {
        WordSet out;
        extractNewWords(LOCALE_USER_DEFAULT, knows, c.word, L"", L"-", L"", 3, out, WordSet(),
                        true);
        EXPECT_EQ(c.offered, out.size() == 1)
            << std::wstring(c.word).size() << " " << static_cast<char>(c.word[0]);
        WordSet unchecked;
        extractNewWords(LOCALE_USER_DEFAULT, knows, c.word, L"", L"-", L"", 3, unchecked, WordSet(),
                        false);
        EXPECT_EQ(1u, unchecked.size()) << "without the check every word is offered";
    }
}

TEST(WordImport, WordSetIgnoresCaseAndKeepsTheFirstForm) {
    WordSet words;
    for (const wchar_t* word : {L"beta", L"Alpha", L"ALPHA", L"alpha", L"Gamma", L"BETA"})
        words.insert(word);
    EXPECT_EQ((Words{L"Alpha", L"beta", L"Gamma"}), listOf(words));
}

TEST(WordImport, EditedListsSplitAtBlanksAndControls) {
    struct Case {
        const wchar_t* text;
        size_t minimumRun;
        Words expected;
    };
    const Case cases[] = {
        {L"one\r\ntwo\r\nx\r\n\r\nthree  four\tfive",
         2,
         {L"five", L"four", L"one", L"three", L"two"}},
        {L"one\r\nx\r\n", 1, {L"one", L"x"}},
        {L"Word\r\nword\r\nWORD", 2, {L"Word"}},
        {L"", 2, {}},
        {L"e-mail,\r\n", 2, {L"e-mail,"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, listOf(splitWordList(c.text, c.minimumRun)))
            << std::wstring(c.text).size();
    EXPECT_EQ(L"a\r\nB\r\nc", joinWordList(WordSet{L"c", L"B", L"a"}));
}

TEST(WordImport, TextFileIsReadLineByLine) {
    TempDir dir;
    const std::wstring path = dir.file(L"words.txt");
    std::string content = "first line\r\nsecond\n";
    content += std::string(1500, 'z') + "\n";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    std::vector<std::wstring> lines;
    ASSERT_TRUE(readTextFileLines(path, [&](const std::wstring& line) { lines.push_back(line); }));
    ASSERT_EQ(4u, lines.size()) << "a line longer than 999 characters comes in two pieces";
    EXPECT_EQ(L"first line\r\n", lines[0]);
    EXPECT_EQ(999u, lines[2].size());
    EXPECT_FALSE(readTextFileLines(dir.file(L"missing.txt"), [](const std::wstring&) {}));
}

TEST(WordImport, DefaultsResetTheInsideSet) {
    ImportFilter filter;
    filter.insideSet = L"x";
    filter.startSet = L"#";
    filter.endSet = L"!";
    filter.minimumSize = 5;
    resetImportFilter(filter);
    EXPECT_EQ(L"-.@'", filter.insideSet);
    EXPECT_EQ(L"", filter.startSet);
    EXPECT_EQ(L"", filter.endSet);
    EXPECT_EQ(5, filter.minimumSize) << "the minimum size is not an import option of the reset";
}

}  // namespace
