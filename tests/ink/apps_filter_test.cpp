// The application filter: its file "AppsFilter.xml", the list operations and
// the decision at a pen-down whether the pen may write over an application.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "core/PendingServices.h"
#include "ink/AppsFilter.h"
#include "tests/ink/click_target.h"
#include "tests/support/TempDir.h"

namespace {

std::string readFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::wstring& path, const std::string& text) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out << text;
}

std::vector<std::wstring> pathsOf(const CAppsFilter& filter) {
    std::vector<std::wstring> out;
    for (const CAppFilterInfo& e : filter.entries())
        out.push_back(e.path + (e.allowIfCaret ? L" +caret" : L""));
    return out;
}

class AppsFilterFileTest : public ::testing::Test {
  protected:
    TempDir dir_;
    CAppsFilter filter_;
    std::wstring file(const std::string& text, const wchar_t* name = L"AppsFilter.xml") {
        const std::wstring path = dir_.file(name);
        writeFile(path, text);
        return path;
    }
};

TEST_F(AppsFilterFileTest, LoadsTheListInFileOrder) {
    ASSERT_TRUE(
        filter_.load(file("<apps-filter>\n"
                          "\t<app path=\"C:\\Games\\Chess.exe\"/>\n"
                          "\t<other path=\"ignored.exe\"/>\n"
                          "\t<app allowIfCaret=\"1\" path=\"C:\\Tools\\View.exe\"/>\n"
                          "\t<app allowIfCaret=\"yes\" path=\"b.exe\"/>\n"
                          "\t<app allowIfCaret=\"0\" path=\"c.exe\"/>\n"
                          "</apps-filter>\n")));
    EXPECT_EQ(pathsOf(filter_),
              (std::vector<std::wstring>{L"C:\\Games\\Chess.exe", L"C:\\Tools\\View.exe +caret",
                                         L"b.exe +caret", L"c.exe"}));
    EXPECT_TRUE(filter_.blockListed());
    EXPECT_EQ(filter_.filePath(), dir_.file(L"AppsFilter.xml"));
}

TEST_F(AppsFilterFileTest, RefusesFilesItCannotTrust) {
    const struct {
        const char* what;
        const char* text;
    } cases[] = {
        {"another root", "<apps><app path=\"a.exe\"/></apps>"},
        {"an app without a path", "<apps-filter><app path=\"a.exe\"/><app/></apps-filter>"},
        {"an app with an empty path", "<apps-filter><app path=\"\"/></apps-filter>"},
        {"broken XML", "<apps-filter><app path=\"a.exe\">"},
        {"an empty file", ""},
    };
    for (const auto& c : cases) {
        filter_.setApp(L"before.exe", false);
        EXPECT_FALSE(filter_.load(file(c.text))) << c.what;
        EXPECT_TRUE(filter_.entries().empty()) << c.what << ": nothing read is kept";
    }
    EXPECT_FALSE(filter_.load(dir_.file(L"missing.xml")));
}

TEST_F(AppsFilterFileTest, SavesWhatItLoads) {
    filter_.setApp(L"C:\\Games\\Chess.exe", false);
    filter_.setApp(L"C:\\Tools\\View.exe", true);
    const std::wstring path = dir_.file(L"AppsFilter.xml");
    ASSERT_TRUE(filter_.save(path.c_str()));
    EXPECT_EQ(readFile(path),
              "<apps-filter>\r\n"
              "\t<app path=\"C:\\Games\\Chess.exe\"/>\r\n"
              "\t<app allowIfCaret=\"1\" path=\"C:\\Tools\\View.exe\"/>\r\n"
              "</apps-filter>\r\n");
    CAppsFilter again;
    ASSERT_TRUE(again.load(path));
    EXPECT_EQ(pathsOf(again), pathsOf(filter_));

    // Null saves to the file last loaded or saved.
    again.removeApp(L"c:\\games\\chess.exe");
    ASSERT_TRUE(again.save(nullptr));
    EXPECT_EQ(readFile(path),
              "<apps-filter>\r\n"
              "\t<app allowIfCaret=\"1\" path=\"C:\\Tools\\View.exe\"/>\r\n"
              "</apps-filter>\r\n");

    // A save that cannot be written leaves the old file whole.
    EXPECT_FALSE(again.save(dir_.file(L"no such folder\\AppsFilter.xml").c_str()));
    CAppsFilter never;
    EXPECT_FALSE(never.save(nullptr)) << "no file to save to";
}

TEST(AppsFilter, ListOperationsIgnoreLetterCase) {
    CAppsFilter filter;
    EXPECT_TRUE(filter.setApp(L"C:\\APPS\\EDIT.EXE", false));
    bool caret = true;
    EXPECT_TRUE(filter.findApp(L"c:\\apps\\edit.exe", &caret));
    EXPECT_FALSE(caret);
    EXPECT_FALSE(filter.setApp(L"c:\\apps\\edit.exe", false)) << "already so";
    EXPECT_EQ(filter.entries().size(), 1u);
    EXPECT_TRUE(filter.setApp(L"c:\\apps\\edit.exe", true));
    EXPECT_TRUE(filter.findApp(L"C:\\Apps\\Edit.exe", &caret));
    EXPECT_TRUE(caret);
    EXPECT_EQ(filter.entries()[0].path, L"C:\\APPS\\EDIT.EXE") << "the first spelling stays";
    EXPECT_TRUE(filter.setApp(L"c:\\apps\\other.exe", false));
    EXPECT_TRUE(filter.removeApp(L"C:\\apps\\EDIT.exe"));
    EXPECT_FALSE(filter.removeApp(L"C:\\apps\\EDIT.exe"));
    EXPECT_FALSE(filter.findApp(L"c:\\apps\\edit.exe", nullptr));
    EXPECT_EQ(filter.entries().size(), 1u);
}

// A window of another process for the life of the object: the click target
// program beside this test, started with a small window off the screen.
class ProgramWindow {
  public:
    ProgramWindow() {
        wchar_t self[MAX_PATH] = L"";
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring program(self);
        program = program.substr(0, program.find_last_of(L'\\') + 1) + L"ink_click_target.exe";
        std::wstring commandLine = L"\"" + program + L"\" -300 -300 40 40";
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                            nullptr, &startup, &info))
            return;
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        pid_ = info.dwProcessId;
        const DWORD start = GetTickCount();
        while (!window_ && GetTickCount() - start < 10000) {
            HWND found = FindWindowW(kClickTargetClass, nullptr);
            DWORD pid = 0;
            if (found && GetWindowThreadProcessId(found, &pid) && pid == pid_)
                window_ = found;
            else
                Sleep(20);
        }
    }
    ~ProgramWindow() {
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (process_) {
            if (WaitForSingleObject(process_, 5000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
            CloseHandle(process_);
        }
    }
    HWND window() const { return window_; }

  private:
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND window_ = nullptr;
};

TEST(AppsFilter, DecidesWhetherThePenWrites) {
    CAppsFilter filter;
    filter.setApp(L"C:\\Listed.exe", false);
    filter.setApp(L"C:\\Caret.exe", true);
    HWND own = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    HWND ownToo = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(own && ownToo);
    // A window of another process: our click target program, off the screen.
    ProgramWindow otherProgram;
    HWND other = otherProgram.window();
    ASSERT_NE(other, nullptr) << "the click target program shows its window";

    struct Case {
        const char* what;
        const wchar_t* module;
        HWND focus, foreground;
        bool caret, allowed;
    } cases[] = {
        {"not listed", L"C:\\Free.exe", own, ownToo, false, true},
        {"listed", L"C:\\Listed.exe", own, ownToo, false, false},
        {"listed, written in lower case", L"c:\\listed.exe", own, ownToo, true, false},
        {"listed for a caret, with one", L"C:\\Caret.exe", own, ownToo, true, true},
        {"listed for a caret, without one", L"C:\\Caret.exe", own, ownToo, false, false},
        {"listed, focus in another process", L"C:\\Listed.exe", other, own, false, true},
        {"listed, focus here, the window in front another's", L"C:\\Listed.exe", own, other, false,
         true},
        {"listed, no windows known", L"C:\\Listed.exe", nullptr, nullptr, false, false},
        {"listed, focus unknown", L"C:\\Listed.exe", nullptr, own, false, false},
        {"listed, window under the pen unknown", L"C:\\Listed.exe", other, nullptr, false, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(filter.isAllowed(c.module, c.focus, c.foreground, c.caret), c.allowed) << c.what;
    DestroyWindow(own);
    DestroyWindow(ownToo);
}

TEST(AppsFilter, TheProgramsFilterAnswersThePenDown) {
    TempDir dir;
    const std::wstring path = dir.file(L"AppsFilter.xml");
    writeFile(path, "<apps-filter><app path=\"C:\\Listed.exe\"/></apps-filter>");
    ASSERT_TRUE(loadAppsFilter(path.c_str()));
    HWND own = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    EXPECT_FALSE(appsFilterAllows(L"C:\\Listed.exe", own, own, false));
    EXPECT_TRUE(appsFilterAllows(L"C:\\Other.exe", own, own, false));
    writeFile(path, "<bindings/>");
    EXPECT_FALSE(loadAppsFilter(path.c_str()));
    EXPECT_TRUE(appsFilterAllows(L"C:\\Listed.exe", own, own, false))
        << "a failed load lists nothing";
    DestroyWindow(own);
}

}  // namespace
