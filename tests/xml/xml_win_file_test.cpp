// The Windows file class, mapped views and the path helpers.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "xml/File.h"
#include "xml/Paths.h"
#include "xml/XMLFileStream.h"
#include "xml_test_util.h"

using xmltest::pathText;
using xmltest::ScratchDir;

namespace {

struct NameCase {
    const wchar_t* text;
    const wchar_t* valid;
};

class MakeValidFileName : public ::testing::TestWithParam<NameCase> {};

TEST_P(MakeValidFileName, RemovesReservedCharacters) {
    EXPECT_EQ(makeValidFileName(GetParam().text), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(Cases, MakeValidFileName,
                         ::testing::Values(NameCase{L"a\tb", L"a b"}, NameCase{L"C:a?b|c", L"Cabc"},
                                           NameCase{L" <x>\"/\\*  ", L"x"},
                                           NameCase{L"\x01name\x1F", L"name"},
                                           NameCase{L"plain.xml", L"plain.xml"}));

struct BackslashCase {
    const wchar_t* path;
    const wchar_t* result;
    bool appended;
};

class AddTrailingBackslash : public ::testing::TestWithParam<BackslashCase> {};

TEST_P(AddTrailingBackslash, AppendsOnlyWhenMissing) {
    XString path = GetParam().path;
    EXPECT_EQ(addTrailingBackslash(path), GetParam().appended);
    EXPECT_EQ(path, GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Cases, AddTrailingBackslash,
                         ::testing::Values(BackslashCase{L"", L"\\", true},
                                           BackslashCase{L"C:\\a", L"C:\\a\\", true},
                                           BackslashCase{L"C:\\a\\", L"C:\\a\\", false},
                                           BackslashCase{L"C:/a/", L"C:/a/", false}));

TEST(Paths, Splitting) {
    XString out;
    EXPECT_TRUE(pathFileName(L"C:\\data\\profiles.xml", out));
    EXPECT_EQ(out, L"profiles.xml");
    EXPECT_FALSE(pathFileName(L"profiles.xml", out));  // only a name: unchanged, reported false
    EXPECT_EQ(out, L"profiles.xml");
    EXPECT_TRUE(pathFolder(L"C:\\data\\profiles.xml", out));
    EXPECT_EQ(out, L"C:\\data");
    EXPECT_TRUE(pathWithoutExtension(L"C:\\data\\profiles.xml", out));
    EXPECT_EQ(out, L"C:\\data\\profiles");
    EXPECT_TRUE(pathReplaceExtension(L"C:\\data\\profiles.xml", L".bak", out));
    EXPECT_EQ(out, L"C:\\data\\profiles.bak");
    EXPECT_TRUE(pathReplaceExtension(L"C:\\data\\profiles.xml", nullptr, out));
    EXPECT_EQ(out, L"C:\\data\\profiles");
    EXPECT_TRUE(pathWithoutBackslash(L"C:\\data\\", out));
    EXPECT_EQ(out, L"C:\\data");
    EXPECT_EQ(fileNameOf(L"C:\\x\\y.txt"), L"y.txt");
    EXPECT_TRUE(hasWildcards(L"*.xml"));
    EXPECT_TRUE(hasWildcards(L"a?.xml"));
    EXPECT_FALSE(hasWildcards(L"a.xml"));
    EXPECT_TRUE(pathsEqual(L"C:\\Data\\A.XML", L"c:\\data\\a.xml"));
    EXPECT_FALSE(pathsEqual(L"C:\\Data\\A.XML", L"c:\\data\\b.xml"));
    const std::wstring tooLong(300, L'a');
    EXPECT_FALSE(pathFolder(tooLong.c_str(), out));
}

TEST(Paths, FoldersAndFiles) {
    ScratchDir dir("win_paths");
    const XString base = pathText(dir.path());
    const XString nested = base + L"\\one\\two\\file.txt";
    EXPECT_TRUE(createFolderOf(nested.c_str()));
    EXPECT_TRUE(isDirectory((base + L"\\one\\two").c_str()));
    EXPECT_TRUE(createFolderOf(nested.c_str()));  // exists already
    EXPECT_TRUE(writeWholeFile(nested.c_str(), "abc", 3));
    EXPECT_TRUE(fileExists(nested.c_str(), true));
    EXPECT_EQ(xmltest::readBytes(dir / "one" / "two" / "file.txt"), "abc");

    const XString a = base + L"\\a.txt", b = base + L"\\b.txt";
    EXPECT_TRUE(writeWholeFile(a.c_str(), "new", 3));
    EXPECT_TRUE(writeWholeFile(b.c_str(), "old", 3));
    EXPECT_FALSE(moveFile(a.c_str(), b.c_str(), true));
    EXPECT_TRUE(moveFile(a.c_str(), b.c_str(), false));  // replaces the existing file
    EXPECT_FALSE(fileExists(a.c_str(), true));
    EXPECT_EQ(xmltest::readBytes(dir / "b.txt"), "new");
    EXPECT_TRUE(copyFile(b.c_str(), a.c_str(), true));
    EXPECT_FALSE(copyFile(b.c_str(), a.c_str(), true));
    EXPECT_TRUE(deleteFile(a.c_str()));
    EXPECT_FALSE(deleteFile(a.c_str()));

    XString title;
    EXPECT_TRUE(fileTitle(b.c_str(), title));
    EXPECT_NE(title.find(L"b"), XString::npos);
    XString current, full;
    EXPECT_TRUE(currentDirectory(current));
    EXPECT_TRUE(fullPath(L"x.xml", full));
    EXPECT_EQ(full.substr(0, current.size()), current);
}

TEST(FileFinder, ListsFilesWithTheirFullPaths) {
    ScratchDir dir("win_finder");
    for (const char* name : {"one.xml", "two.xml", "other.txt"})
        xmltest::writeBytes(dir / name, "x");
    const XString pattern = pathText(dir.path()) + L"\\*.xml";
    CFileFinder finder;
    std::vector<std::wstring> names;
    for (bool ok = finder.first(pattern.c_str()); ok; ok = finder.next()) {
        names.push_back(finder.fileName());
        wchar_t full[MAX_PATH];
        ASSERT_TRUE(finder.fullPath(full, MAX_PATH));
        EXPECT_TRUE(fileExists(full, true)) << full;
        wchar_t tiny[4];
        EXPECT_FALSE(finder.fullPath(tiny, 4));
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"one.xml", L"two.xml"}));
    CFileFinder none;
    EXPECT_FALSE(none.first((pathText(dir.path()) + L"\\*.none").c_str()));
}

TEST(CFile, ReadWriteSeekAndSize) {
    ScratchDir dir("win_cfile");
    const XString path = pathText(dir / "f.bin");
    CFile f;
    ASSERT_TRUE(f.open(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(f.path(), path);
    DWORD n = 0;
    EXPECT_TRUE(f.write("0123456789", 10, &n));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(f.getSize(), 10u);
    EXPECT_EQ(f.seek(2, FILE_BEGIN), 2u);
    char buf[4] = {};
    EXPECT_TRUE(f.read(buf, 3, &n));
    EXPECT_EQ(std::string(buf, 3), "234");
    uint64_t pos = 0;
    EXPECT_TRUE(f.position64(&pos));
    EXPECT_EQ(pos, 5u);
    EXPECT_TRUE(f.setSize(4));
    uint64_t size = 0;
    EXPECT_TRUE(f.getSize64(&size));
    EXPECT_EQ(size, 4u);
    EXPECT_TRUE(f.flush());
    f.close();
    EXPECT_TRUE(f.path().empty());

    CFile missing;
    EXPECT_FALSE(
        missing.open((path + L".none").c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0));
    EXPECT_EQ(missing.lastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(missing.errorText(), errorText(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(missing.errorText().empty());
    EXPECT_EQ(missing.errorText().find_first_of(L"\r\n"), XString::npos);
}

TEST(CFile, ErrorTextFollowsTheCode) {
    CFile f;
    EXPECT_EQ(f.lastError(), 0u);
    f.setError(ERROR_DISK_FULL);
    EXPECT_EQ(f.lastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_FALSE(f.errorText().empty());
    EXPECT_EQ(f.errorText(), errorText(ERROR_DISK_FULL));
    EXPECT_TRUE(errorText(0x7FFFFFF0).empty());  // no message for an unknown code
}

// A write that the system takes only in part (here a pipe that no one reads,
// which holds a few bytes at most and does not wait) is a failure with
// error 112, the code of a full disk, and its text; the count says how far
// it got.
TEST(CFile, AShortWriteFailsAsADiskFull) {
    wchar_t name[64];
    swprintf(name, 64, L"\\\\.\\pipe\\scribix-short-write-%lu", GetCurrentProcessId());
    HANDLE server =
        CreateNamedPipeW(name, PIPE_ACCESS_INBOUND,
                         PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_NOWAIT, 1, 0, 64, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    CFile f;
    ASSERT_TRUE(f.open(name, GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL));
    DWORD mode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    ASSERT_TRUE(SetNamedPipeHandleState(f.handle(), &mode, nullptr, nullptr));
    const std::string bytes(100000, 'x');
    DWORD n = 12345;
    EXPECT_FALSE(f.write(bytes.data(), static_cast<DWORD>(bytes.size()), &n));
    EXPECT_LT(n, bytes.size());
    EXPECT_EQ(f.lastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(f.errorText(), errorText(ERROR_DISK_FULL));
    EXPECT_FALSE(f.errorText().empty());
    f.close();
    CloseHandle(server);
}

TEST(CFile, MappedViewsWalkTheFile) {
    ScratchDir dir("win_mapped");
    const DWORD g = allocationGranularity();
    EXPECT_EQ(roundUpToGranularity(1), g);
    EXPECT_EQ(roundUpToGranularity(g), g);
    std::string content(g * 2 + g / 2, 'x');
    for (size_t i = 0; i < content.size(); i += g) content[i] = static_cast<char>('A' + i / g);
    xmltest::writeBytes(dir / "m.bin", content);
    const XString path = pathText(dir / "m.bin");

    CFile f;
    f.setViewLength(g);
    ASSERT_TRUE(f.openMapped(path.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0));
    EXPECT_EQ(f.lastError(), 0u);
    std::string seen;
    do {
        seen += static_cast<const char*>(f.view())[0];
        EXPECT_LE(f.viewSize(), static_cast<SIZE_T>(g));
    } while (f.mapNextView());
    EXPECT_EQ(seen, "ABC");
    EXPECT_EQ(f.lastError(), 0u);  // past the end
    f.closeMapped();

    // The whole file in one view, and a view length of 0 cannot move on.
    CFile whole;
    ASSERT_TRUE(whole.openMapped(path.c_str(), GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0));
    EXPECT_EQ(whole.viewSize(), static_cast<SIZE_T>(content.size()));
    EXPECT_EQ(std::string(static_cast<const char*>(whole.view()), content.size()), content);
    EXPECT_FALSE(whole.mapNextView());
    EXPECT_EQ(whole.lastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
}

TEST(CFile, MappedEmptyFileFails) {
    ScratchDir dir("win_mapped_empty");
    xmltest::writeBytes(dir / "empty.bin", "");
    CFile f;
    EXPECT_FALSE(f.openMapped(pathText(dir / "empty.bin").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              OPEN_EXISTING, 0));
    EXPECT_EQ(f.lastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(f.view(), nullptr);
}

TEST(CFile, MappedWriteWithPresetSize) {
    ScratchDir dir("win_mapped_write");
    const XString path = pathText(dir / "w.bin");
    CFile f;
    f.setMappedSize(100);
    ASSERT_TRUE(f.openMapped(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, 0));
    std::memcpy(f.view(), "mapped", 6);
    f.closeMapped();
    const std::string back = xmltest::readBytes(dir / "w.bin");
    EXPECT_EQ(back.size(), 100u);
    EXPECT_EQ(back.substr(0, 6), "mapped");

    CFileMapping pageFile;
    ASSERT_TRUE(pageFile.create(INVALID_HANDLE_VALUE, PAGE_READWRITE, 4096, nullptr));
    CFileView view;
    ASSERT_TRUE(view.map(pageFile.handle(), FILE_MAP_WRITE, 0, 4096));
    static_cast<char*>(view.data())[0] = 'x';
}

TEST(CXMLFileStream, MapsOntoTheFile) {
    ScratchDir dir("win_stream");
    const XString path = pathText(dir / "s.xml");
    CXMLFileStream s;
    ASSERT_TRUE(s.open(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS, 0));
    IXMLStream& stream = s;
    uint32_t n = 0;
    EXPECT_TRUE(stream.write("<a/>", 4, &n));
    EXPECT_TRUE(stream.write("", 0, &n));
    uint64_t size = 0;
    EXPECT_TRUE(stream.getSize(&size));
    EXPECT_EQ(size, 4u);
    EXPECT_TRUE(stream.seek(0, XML_SEEK_BEGIN, nullptr));
    CXMLDocument doc;
    EXPECT_TRUE(doc.loadStream(stream, 0));
    EXPECT_TRUE(stream.setSize(2));
    EXPECT_TRUE(stream.flush());
    EXPECT_EQ(XString(stream.getPath()), path);
}

}  // namespace
