#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "RecTestSupport.h"
#include "recognition/WinRecWordList.h"
#include "tests/support/FileHolder.h"
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

// A file that is there but cannot be opened (another program holds it
// without letting others read it) is no missing file: taking it for an empty
// list would let the next save replace the user's words.
TEST(WinRecWordList, AFileThatCannotBeOpenedIsNotAMissingOne) {
    TempDir dir;
    const std::wstring path = dir.file(L"held.voc.win");
    const std::string kept = "WinRec wordlist Version 1.0\r\nalpha\r\nbeta\r\n";
    writeBytes(path, kept);
    for (DWORD share : {DWORD{0}, DWORD{FILE_SHARE_WRITE}, DWORD{FILE_SHARE_DELETE}}) {
        SCOPED_TRACE("share mode " + std::to_string(share));
        FileHolder holder(path, share);
        ASSERT_TRUE(holder.held());
        TraceCapture trace;
        Words words = {L"stale"};
        EXPECT_FALSE(LoadWinRecDictFromFile(path, words, true));
        EXPECT_TRUE(words.empty());
        EXPECT_TRUE(trace.contains("Load WinRec dict: _tfopen_s FAILED\n")) << trace.text();
        holder.release();
        EXPECT_EQ(readBytes(path), kept);
        ASSERT_TRUE(LoadWinRecDictFromFile(path, words, true));
        EXPECT_EQ(words, (Words{L"alpha", L"beta"}));
    }
}

// The new file takes the old one's place only once it is complete: a reader
// of the file at any moment of the saves finds one whole list or the other,
// never a file cut short.
TEST(WinRecWordList, AReaderNeverFindsAHalfWrittenFile) {
    TempDir dir;
    const std::wstring path = dir.file(L"busy.voc.win");
    Words first, second;
    for (int i = 0; i < 3000; ++i) {
        first.push_back(L"first" + std::to_wstring(i));
        second.push_back(L"second" + std::to_wstring(i));
    }
    ASSERT_TRUE(SaveWinRecDictToFile(first, path, nullptr));
    const std::string wholeFirst = readBytes(path);
    ASSERT_TRUE(SaveWinRecDictToFile(second, path, nullptr));
    const std::string wholeSecond = readBytes(path);
    std::atomic<bool> stop{false};
    std::atomic<int> reads{0}, partial{0};
    std::thread reader([&] {
        while (!stop) {
            HANDLE f = CreateFileW(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, 0, nullptr);
            if (f == INVALID_HANDLE_VALUE) continue;
            std::string bytes;
            char buffer[4096];
            DWORD n = 0;
            while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0)
                bytes.append(buffer, n);
            CloseHandle(f);
            ++reads;
            if (bytes != wholeFirst && bytes != wholeSecond) ++partial;
        }
    });
    int saved = 0;
    for (int i = 0; i < 60; ++i)
        if (SaveWinRecDictToFile(i % 2 ? second : first, path, nullptr)) ++saved;
    stop = true;
    reader.join();
    EXPECT_EQ(partial, 0) << "of " << reads << " reads during " << saved << " saves";
    EXPECT_GT(saved, 0);
    EXPECT_GT(reads, 0);
    ASSERT_TRUE(SaveWinRecDictToFile(first, path, nullptr));
    EXPECT_EQ(readBytes(path), wholeFirst);
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
