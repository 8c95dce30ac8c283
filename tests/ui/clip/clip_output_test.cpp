// Where a finished clip goes: the memory stream it is encoded into, the note
// application's two hand-offs (run against its stand-ins, which keep what they
// receive beside themselves) and the clipboard, read back by another process.
#include <windows.h>
#include <objidl.h>
#include <propidl.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/RegisteredMessages.h"
#include "outside/Zorvane.h"
#include "tests/support/TempDir.h"
#include "ui/clip/ClipOutput.h"

namespace {

std::wstring hostToWindows(const char* unixPath) {
    std::wstring path = L"Z:";
    for (const char* c = unixPath; *c; ++c) path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    return path;
}

std::string readFile(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool waitForFile(const std::wstring& path, DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (GetTickCount() - start > ms) return false;
        Sleep(50);
    }
    Sleep(100);  // the writer closes the file
    return true;
}

std::string utf8(const std::wstring& text) {
    std::string out;
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    out.resize(n > 0 ? n - 1 : 0);
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    return out;
}

// A 40 x 30 picture: red left half, blue right half.
HBITMAP makeClip(int width = 40, int height = 30) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0)), blue = CreateSolidBrush(RGB(0, 0, 255));
    RECT left = {0, 0, width / 2, height}, right = {width / 2, 0, width, height};
    FillRect(dc, &left, red);
    FillRect(dc, &right, blue);
    DeleteObject(red);
    DeleteObject(blue);
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

// Width and height of PNG bytes, decoded by GDI+; 0 x 0 when they are no image.
SIZE pngSize(const std::string& bytes) {
    static ULONG_PTR token = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR t = 0;
        Gdiplus::GdiplusStartup(&t, &input, nullptr);
        return t;
    }();
    (void)token;
    SIZE size = {0, 0};
    if (bytes.size() < 8 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return size;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (SUCCEEDED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        Gdiplus::Bitmap image(stream, FALSE);
        if (image.GetLastStatus() == Gdiplus::Ok) {
            size.cx = image.GetWidth();
            size.cy = image.GetHeight();
        }
        stream->Release();
    }
    return size;
}

// ------------------------------------------------------------ the stream

struct StreamHolder {
    explicit StreamHolder(DWORD max = 0xFFFFFFFF) : stream(new CBufferStream(max)) {}
    ~StreamHolder() { stream->Release(); }
    CBufferStream* stream;
};

TEST(BufferStream, ReadsWhatThereIsAndNoMore) {
    StreamHolder s;
    ULONG done = 0;
    ASSERT_EQ(s.stream->Write("hello", 5, &done), S_OK);
    struct Case {
        LONGLONG seek;
        ULONG ask;
        HRESULT result;
        ULONG read;
        const char* bytes;
    };
    const Case cases[] = {
        {0, 5, S_OK, 5, "hello"}, {0, 3, S_OK, 3, "hel"}, {3, 10, S_FALSE, 2, "lo"},
        {5, 4, S_FALSE, 0, ""},   {9, 4, S_FALSE, 0, ""},  // beyond the end: nothing, no overrun
        {0, 0, S_OK, 0, ""},
    };
    for (const Case& c : cases) {
        LARGE_INTEGER at;
        at.QuadPart = c.seek;
        ASSERT_EQ(s.stream->Seek(at, STREAM_SEEK_SET, nullptr), S_OK);
        char out[16];
        memset(out, '#', sizeof out);
        ULONG read = 99;
        EXPECT_EQ(s.stream->Read(out, c.ask, &read), c.result) << c.seek << "/" << c.ask;
        EXPECT_EQ(read, c.read) << c.seek << "/" << c.ask;
        EXPECT_EQ(std::string(out, read), c.bytes);
        EXPECT_EQ(out[read], '#') << "wrote beyond what it read";
    }
    ULONG read = 0;
    EXPECT_EQ(s.stream->Read(nullptr, 1, &read), E_POINTER);
    EXPECT_EQ(s.stream->Write(nullptr, 1, &read), E_POINTER);
}

TEST(BufferStream, SeeksFromEachOrigin) {
    StreamHolder s;
    ULONG done = 0;
    s.stream->Write("0123456789", 10, &done);
    struct Case {
        DWORD origin;
        LONGLONG offset;
        HRESULT result;
        DWORD position;  // after the call (unchanged on failure)
    };
    const Case cases[] = {
        {STREAM_SEEK_SET, 4, S_OK, 4},
        {STREAM_SEEK_CUR, 3, S_OK, 7},
        {STREAM_SEEK_CUR, -7, S_OK, 0},
        {STREAM_SEEK_END, -2, S_OK, 8},
        {STREAM_SEEK_END, 5, S_OK, 15},  // beyond the end is allowed
        {STREAM_SEEK_SET, -1, STG_E_INVALIDFUNCTION, 15},
        {STREAM_SEEK_SET, 0x100000000ll, STG_E_INVALIDFUNCTION, 15},
        {7, 0, STG_E_INVALIDFUNCTION, 15},
    };
    for (const Case& c : cases) {
        LARGE_INTEGER offset;
        offset.QuadPart = c.offset;
        ULARGE_INTEGER now = {};
        EXPECT_EQ(s.stream->Seek(offset, c.origin, &now), c.result) << c.origin << " " << c.offset;
        EXPECT_EQ(s.stream->position(), c.position) << c.origin << " " << c.offset;
    }
}

TEST(BufferStream, WritesBeyondTheEndFillTheGapWithZeros) {
    StreamHolder s;
    LARGE_INTEGER at;
    at.QuadPart = 4;
    s.stream->Seek(at, STREAM_SEEK_SET, nullptr);
    ULONG written = 0;
    ASSERT_EQ(s.stream->Write("ab", 2, &written), S_OK);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.stream->buffer().data()), 6),
              std::string("\0\0\0\0ab", 6));
}

TEST(BufferStream, SetSizeReportsWhatItCouldNotReserve) {
    StreamHolder s(64);
    ULONG done = 0;
    s.stream->Write("0123456789", 10, &done);
    struct Case {
        ULONGLONG size;
        HRESULT result;
        DWORD length;
    };
    const Case cases[] = {
        {20, S_OK, 20},
        {4, S_OK, 4},
        {64, S_OK, 64},
        {65, STG_E_MEDIUMFULL, 64},  // more than the buffer may hold: reported, left as it was
        {0x100000000ull, STG_E_INVALIDFUNCTION, 64},
        {0, S_OK, 0},
    };
    for (const Case& c : cases) {
        ULARGE_INTEGER size;
        size.QuadPart = c.size;
        EXPECT_EQ(s.stream->SetSize(size), c.result) << c.size;
        EXPECT_EQ(s.stream->buffer().size(), c.length) << c.size;
        EXPECT_EQ(s.stream->position(), 10u) << "the position stays";
    }
    // A write that cannot grow the buffer writes nothing.
    std::vector<BYTE> big(100, 1);
    ULONG written = 9;
    EXPECT_EQ(s.stream->Write(big.data(), 100, &written), STG_E_MEDIUMFULL);
    EXPECT_EQ(written, 0u);
}

TEST(BufferStream, CopiesInChunksAndAnswersItsInterfaces) {
    StreamHolder from, to;
    std::vector<BYTE> bytes(10000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<BYTE>(i * 7);
    ULONG done = 0;
    from.stream->Write(bytes.data(), 10000, &done);
    LARGE_INTEGER start = {};
    from.stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ULARGE_INTEGER count, read, written;
    count.QuadPart = 20000;  // more than there is: stops at the end
    EXPECT_EQ(from.stream->CopyTo(to.stream, count, &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 10000u);
    EXPECT_EQ(written.QuadPart, 10000u);
    EXPECT_EQ(memcmp(to.stream->buffer().data(), bytes.data(), 10000), 0);

    STATSTG stat;
    EXPECT_EQ(to.stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.type, static_cast<DWORD>(STGTY_STREAM));
    EXPECT_EQ(stat.cbSize.QuadPart, 10000u);

    for (const IID* iid : {&IID_IUnknown, &IID_IStream, &IID_ISequentialStream}) {
        void* object = nullptr;
        EXPECT_EQ(to.stream->QueryInterface(*iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<IStream*>(to.stream));
        to.stream->Release();
    }
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(to.stream->QueryInterface(IID_IPersist, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    IStream* clone = nullptr;
    EXPECT_EQ(to.stream->Clone(&clone), E_NOTIMPL);
    EXPECT_EQ(to.stream->Commit(0), E_NOTIMPL);
}

TEST(BufferStream, HoldsTheClipAsPng) {
    StreamHolder s;
    HBITMAP clip = makeClip();
    ASSERT_TRUE(encodePng(clip, s.stream));
    DeleteObject(clip);
    const std::string bytes(reinterpret_cast<const char*>(s.stream->buffer().data()),
                            s.stream->buffer().size());
    const SIZE size = pngSize(bytes);
    EXPECT_EQ(size.cx, 40);
    EXPECT_EQ(size.cy, 30);
}

TEST(ResourceByPath, RefusesWhatItCannotFind) {
    const void* bytes = reinterpret_cast<const void*>(1);
    DWORD size = 7;
    const std::wstring tooLong(300, L'a');
    for (const wchar_t* path :
         {L"", L"NoSuchResource.png", L"Z:\\no\\such.dll/x.png", L"x", tooLong.c_str()}) {
        EXPECT_FALSE(loadResourceByPath(path, &bytes, &size)) << utf8(path);
        EXPECT_EQ(bytes, nullptr);
        EXPECT_EQ(size, 0u);
    }
}

// ---------------------------------------------------------- the note app

class NoteAppTest : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, ZORVANE_APP_PATHS_KEY);
        stopListener();
    }
    void TearDown() override {
        stopListener();
        RegDeleteTreeW(HKEY_CURRENT_USER, ZORVANE_APP_PATHS_KEY);
    }

    // Installs the stand-ins in the temporary folder (the tool only when asked)
    // and names the folder in the registry as the installer does.
    void install(bool withTool) {
        const std::wstring from = hostToWindows(SCRIBIX_ZORVANE_DIR);
        ASSERT_TRUE(
            CopyFileW((from + L"\\Zorvane.exe").c_str(), dir.file(L"Zorvane.exe").c_str(), FALSE));
        if (withTool) {
            ASSERT_TRUE(CopyFileW((from + L"\\ZVScript.exe").c_str(),
                                  dir.file(L"ZVScript.exe").c_str(), FALSE));
        }
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ZORVANE_APP_PATHS_KEY, 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const std::wstring folder = dir.path();
        const std::wstring exe = dir.file(L"Zorvane.exe");
        RegSetValueExW(key, L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(exe.c_str()),
                       static_cast<DWORD>((exe.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }

    void startListener(const wchar_t* arguments) {
        std::wstring line = L"\"" + dir.file(L"Zorvane.exe") + L"\" " + arguments;
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &info));
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        for (int i = 0; i < 100 && !FindWindowW(ZORVANE_LISTENER_CLASS, nullptr); ++i) Sleep(50);
        ASSERT_TRUE(FindWindowW(ZORVANE_LISTENER_CLASS, nullptr));
    }

    static void stopListener() {
        for (int i = 0; i < 100; ++i) {
            HWND listener = FindWindowW(ZORVANE_LISTENER_CLASS, nullptr);
            if (!listener) return;
            PostMessageW(listener, WM_CLOSE, 0, 0);
            Sleep(50);
        }
    }

    // "Scribix Screen Clip <date> <time>" as this machine writes them.
    static bool isClipTitle(const std::string& title) {
        const std::string expected = utf8(screenClipTitle());
        // The minute may turn between the send and the check.
        return title.compare(0, 20, "Scribix Screen Clip ") == 0 && title.size() == expected.size();
    }

    TempDir dir;
};

TEST_F(NoteAppTest, FindsTheFolderOnlyWhenInstalled) {
    std::wstring folder;
    EXPECT_FALSE(FindNoteAppFolder(&folder));
    install(false);
    ASSERT_TRUE(FindNoteAppFolder(&folder));
    EXPECT_EQ(folder, dir.path() + L"\\");
}

TEST_F(NoteAppTest, TheListenerReceivesTheTitleAndThePngBytes) {
    install(false);
    HBITMAP clip = makeClip();
    // Not running yet: the application is started and waited for.
    ASSERT_TRUE(SendScreenClipToNoteApp(clip));
    DeleteObject(clip);
    ASSERT_TRUE(waitForFile(dir.file(L"received1.txt"), 5000));
    const std::string fields = readFile(dir.file(L"received1.txt"));
    const std::string title = fields.substr(8, fields.find('\n') - 8);
    EXPECT_TRUE(isClipTitle(title)) << title;
    EXPECT_NE(fields.find("\nfile = ScreenClip.png\nmime = image/png\nreserved = \n"),
              std::string::npos)
        << fields;
    const SIZE size = pngSize(readFile(dir.file(L"received1.bin")));
    EXPECT_EQ(size.cx, 40);
    EXPECT_EQ(size.cy, 30);
    EXPECT_EQ(readFile(dir.file(L"checks.txt")), "1\n");
}

TEST_F(NoteAppTest, AListenerThatIsNeverReadyGetsNoClip) {
    install(false);
    startListener(L"/notready 4");
    HBITMAP clip = makeClip();
    EXPECT_FALSE(SendClipToListener(clip));
    DeleteObject(clip);
    EXPECT_EQ(readFile(dir.file(L"checks.txt")), "4\n");
    EXPECT_EQ(GetFileAttributesW(dir.file(L"received1.txt").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(NoteAppTest, AListenerReadyAtTheFourthCheckGetsTheClip) {
    install(false);
    startListener(L"/notready 3");
    HBITMAP clip = makeClip();
    EXPECT_TRUE(SendClipToListener(clip));
    DeleteObject(clip);
    EXPECT_EQ(readFile(dir.file(L"checks.txt")), "4\n");
    EXPECT_TRUE(waitForFile(dir.file(L"received1.txt"), 2000));
}

TEST_F(NoteAppTest, TheToolIsUsedWhenPresentAndTheListenerNever) {
    install(true);
    startListener(L"");
    HBITMAP clip = makeClip(24, 12);
    ASSERT_TRUE(SendScreenClipToNoteApp(clip));
    DeleteObject(clip);
    ASSERT_TRUE(waitForFile(dir.file(L"ZVScript.log"), 10000));
    const std::string line = readFile(dir.file(L"ZVScript.log"));
    const std::string png = utf8(snapshotFilePath());
    const std::string start = "createNote | /s | " + png + " | /i | ";
    ASSERT_EQ(line.compare(0, start.size(), start), 0) << line;
    EXPECT_TRUE(isClipTitle(line.substr(start.size(), line.size() - start.size() - 1))) << line;
    const SIZE size = pngSize(readFile(dir.file(L"ZVScript1.bin")));
    EXPECT_EQ(size.cx, 24);
    EXPECT_EQ(size.cy, 12);
    Sleep(300);
    EXPECT_EQ(GetFileAttributesW(dir.file(L"checks.txt").c_str()), INVALID_FILE_ATTRIBUTES)
        << "the listener was asked";
}

// ----------------------------------------------------------- the clipboard

int chooseClipboard(HWND, POINT) { return 1; }
int chooseCancel(HWND, POINT) { return 3; }
int chooseNothing(HWND, POINT) { return 0; }

std::string readClipboardFromAnotherProcess(DWORD* status) {
    const std::wstring reader = hostToWindows(SCRIBIX_BIN_DIR) + L"\\clip_reader.exe";
    wchar_t out[MAX_PATH];
    GetTempPathW(MAX_PATH, out);
    const std::wstring outFile = std::wstring(out) + L"clip_reader.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileW(outFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                              CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION info = {};
    std::wstring line = L"\"" + reader + L"\"";
    *status = 99;
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &info)) {
        WaitForSingleObject(info.hProcess, 10000);
        GetExitCodeProcess(info.hProcess, status);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(file);
    std::string text = readFile(outFile);
    DeleteFileW(outFile.c_str());
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

TEST(ClipSendMenu, SavingToTheClipboardReachesOtherProcesses) {
    struct Case {
        ClipMenuChooser chooser;
        bool chosen;
        bool onClipboard;
    };
    const Case cases[] = {
        {chooseNothing, false, false},
        {chooseCancel, true, false},
        {chooseClipboard, true, true},
    };
    for (const Case& c : cases) {
        if (OpenClipboard(nullptr)) {
            EmptyClipboard();
            CloseClipboard();
        }
        setClipMenuChooser(c.chooser);
        HBITMAP clip = makeClip(33, 21);
        EXPECT_EQ(showClipSendMenu(clip), c.chosen);
        DeleteObject(clip);  // the clipboard holds a copy of its own
        DWORD status = 0;
        const std::string size = readClipboardFromAnotherProcess(&status);
        if (c.onClipboard) {
            EXPECT_EQ(status, 0u);  // read by another process
            EXPECT_EQ(size, "33x21");
        } else {
            EXPECT_EQ(status, 1u) << size;
        }
    }
    setClipMenuChooser(nullptr);
}

}  // namespace
