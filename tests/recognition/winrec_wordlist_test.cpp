#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecTestSupport.h"
#include "recognition/WinRecWordList.h"
#include "tests/support/TempDir.h"
#include "tests/support/TraceCapture.h"

namespace {

using Words = std::vector<std::wstring>;

using rt::readBytes;
using rt::writeBytes;

TEST(WinRecWordList, RoundTripsWithCrLfOnDisk) {
    TempDir dir;
    const std::wstring path = dir.file(L"user.voc.win");
    struct Case {
        Words words;
        std::string file;
        Words loaded;
    } cases[] = {
        {{}, "WinRec wordlist Version 1.0\r\n", {}},
        {{L"alpha", L"beta"}, "WinRec wordlist Version 1.0\r\nalpha\r\nbeta\r\n", {L"alpha", L"beta"}},
        {{L"", L"x", L""}, "WinRec wordlist Version 1.0\r\nx\r\n", {L"x"}},
        {{L"caf\u00E9"}, "WinRec wordlist Version 1.0\r\ncaf\xE9\r\n", {L"caf\u00E9"}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(SaveWinRecDictToFile(c.words, path, nullptr));
        EXPECT_EQ(readBytes(path), c.file);
        Words loaded = {L"stale"};
        ASSERT_TRUE(LoadWinRecDictFromFile(path, loaded, false));
        EXPECT_EQ(loaded, c.loaded);
    }
}

TEST(WinRecWordList, MissingFile) {
    TempDir dir;
    Words words = {L"stale"};
    {
        TraceCapture trace;
        EXPECT_TRUE(LoadWinRecDictFromFile(dir.file(L"none.voc.win"), words, true));
        EXPECT_TRUE(words.empty());
        EXPECT_TRUE(trace.lines().empty()) << trace.text();
    }
    TraceCapture trace;
    words = {L"stale"};
    EXPECT_FALSE(LoadWinRecDictFromFile(dir.file(L"none.voc.win"), words, false));
    EXPECT_TRUE(words.empty());
    EXPECT_TRUE(trace.contains("Load WinRec dict: _tfopen_s FAILED\n")) << trace.text();
}

TEST(WinRecWordList, RefusesFilesWithoutTheExactStamp) {
    TempDir dir;
    const std::wstring path = dir.file(L"bad.voc.win");
    struct Case {
        std::string bytes;
        const char* trace;
    } cases[] = {
        {"WinRec wordlist Version 1.0 \r\nword\r\n", "dict stamp checking FAILED"},
        {"WinRec wordlist Version 2.0\r\nword\r\n", "dict stamp checking FAILED"},
        {"word\r\nother\r\n", "dict stamp checking FAILED"},
        {"", "dict stamp reading FAILED"},
    };
    for (const Case& c : cases) {
        writeBytes(path, c.bytes);
        TraceCapture trace;
        Words words = {L"stale"};
        EXPECT_FALSE(LoadWinRecDictFromFile(path, words, true)) << c.bytes;
        EXPECT_TRUE(words.empty());
        EXPECT_TRUE(trace.contains(c.trace)) << trace.text();
    }
}

TEST(WinRecWordList, ReadsLongLinesInPiecesAndSkipsEmptyLines) {
    TempDir dir;
    const std::wstring path = dir.file(L"long.voc.win");
    const std::string longWord(300, 'a');
    writeBytes(path, "WinRec wordlist Version 1.0\r\n\r\none\r\n\r\n" + longWord + "\r\ntwo");
    Words words;
    ASSERT_TRUE(LoadWinRecDictFromFile(path, words, false));
    ASSERT_EQ(words.size(), 4u);
    EXPECT_EQ(words[0], L"one");
    EXPECT_EQ(words[1], std::wstring(255, L'a'));
    EXPECT_EQ(words[2], std::wstring(45, L'a'));
    EXPECT_EQ(words[3], L"two");
}

TEST(WinRecWordList, BackupIsKeptAndAFailedSaveRestoresTheOldFile) {
    TempDir dir;
    const std::wstring path = dir.file(L"user.voc.win");
    ASSERT_TRUE(SaveWinRecDictToFile({L"old"}, path, L".bak"));
    ASSERT_TRUE(SaveWinRecDictToFile({L"new"}, path, L".bak"));
    Words words;
    ASSERT_TRUE(LoadWinRecDictFromFile(path + L".bak", words, false));
    EXPECT_EQ(words, Words{L"old"});

    // A word the code page cannot hold fails the save instead of turning into
    // "?", and the file the user had is back in place.
    TraceCapture trace;
    EXPECT_FALSE(SaveWinRecDictToFile({L"fine", L"\u4E2D\u6587"}, path, L".bak"));
    ASSERT_TRUE(LoadWinRecDictFromFile(path, words, false));
    EXPECT_EQ(words, Words{L"new"});
    EXPECT_TRUE(trace.contains("not representable")) << trace.text();

    // Without a backup the existing file is not touched either.
    EXPECT_FALSE(SaveWinRecDictToFile({L"\u4E2D"}, path, nullptr));
    ASSERT_TRUE(LoadWinRecDictFromFile(path, words, false));
    EXPECT_EQ(words, Words{L"new"});
}

TEST(WinRecWordList, SaveIntoAMissingFolderFails) {
    TempDir dir;
    TraceCapture trace;
    EXPECT_FALSE(SaveWinRecDictToFile({L"a"}, dir.file(L"no\\such\\x.voc.win"), L".bak"));
    EXPECT_TRUE(trace.contains("Save WinRec dict: _tfopen_s FAILED\n")) << trace.text();
}

}  // namespace
