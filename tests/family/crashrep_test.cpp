// The crash reporter stand-in: a report beside the program, and the process ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "outside/ZVCrashRep.h"
#include "tests/shell/TestSupport.h"

namespace {

using sxtest::readFile;

TEST(CrashReporter, ACrashLeavesAReportAndEndsTheProcess) {
    const std::wstring folder = sxtest::binFolder();
    const std::wstring report = folder + L"\\crash_helper.crash.txt";
    DeleteFileW(report.c_str());
    std::wstring program = folder + L"\\crash_helper.exe";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(program.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                               folder.c_str(), &startup, &info));
    CloseHandle(info.hThread);
    const DWORD waited = WaitForSingleObject(info.hProcess, 20000);
    if (waited != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
    DWORD code = 0;
    GetExitCodeProcess(info.hProcess, &code);
    CloseHandle(info.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION));

    const std::string text = readFile(report);
    EXPECT_NE(text.find("exception: 0xC0000005"), std::string::npos) << text;
    EXPECT_NE(text.find("access violation: writing"), std::string::npos) << text;
    EXPECT_NE(text.find("crash_helper.exe"), std::string::npos) << text;
    EXPECT_NE(text.find("mail: SMTP:test@example.org"), std::string::npos) << text;
    EXPECT_NE(text.find("mail flags: 3"), std::string::npos) << text;
    DeleteFileW(report.c_str());
}

TEST(CrashReporter, FilterAnswersExecuteHandlerAndReportsOnce) {
    const std::wstring report = sxtest::binFolder() + L"\\test_family_crashrep.crash.txt";
    DeleteFileW(report.c_str());
    EXCEPTION_RECORD record = {};
    record.ExceptionCode = 0xE0000042;
    EXCEPTION_POINTERS pointers = {&record, nullptr};
    EXPECT_EQ(ZvCrashRepExceptionFilter(&pointers), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_NE(readFile(report).find("exception: 0xE0000042"), std::string::npos);
    DeleteFileW(report.c_str());
    // A fault while a report is written (or a second one) only ends the process.
    EXPECT_EQ(ZvCrashRepExceptionFilter(&pointers), EXCEPTION_EXECUTE_HANDLER);
    EXPECT_EQ(GetFileAttributesW(report.c_str()), INVALID_FILE_ATTRIBUTES);
}

}  // namespace
