// Profiles bound by "binding.xml", end to end: Scribix.exe started with a
// binding file that binds every text field of our edit target to the
// profile "#sys-correct" (which adds no blank after the text), the setting
// `useContextReco` on, and a writing with the pen over the target's field.
// The field's focused element comes from the hook library and Wine's own
// accessibility, across the processes.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <fstream>
#include <memory>
#include <string>

#include "core/Settings.h"
#include "tests/ink/WritingTestSupport.h"
#include "tests/targets/TargetClient.h"

namespace {

using namespace writingtest;

constexpr int kWaitNextStroke = 1000;

std::wstring bindingFile() {
    wchar_t appData[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, appData);
    const std::wstring folder = std::wstring(appData) + L"\\Scribix";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\binding.xml";
}

void writeProgramSetting(const wchar_t* name, int value) {
    const std::wstring previous = settingsRootKey();
    setSettingsRootKey(nullptr);
    WriteSetting(nullptr, name, &value, SETTING_NUMBER, 0);
    setSettingsRootKey(previous.c_str());
}

// The binding file and the setting for one test; both go back afterwards.
class BindingScope {
  public:
    explicit BindingScope(const std::string& xml) : path_(bindingFile()) {
        std::ifstream in(path_.c_str(), std::ios::binary);
        hadFile_ = in.good();
        if (hadFile_) old_.assign(std::istreambuf_iterator<char>(in), {});
        in.close();
        std::ofstream(path_.c_str(), std::ios::binary | std::ios::trunc) << xml;
    }
    ~BindingScope() {
        if (hadFile_)
            std::ofstream(path_.c_str(), std::ios::binary | std::ios::trunc) << old_;
        else
            DeleteFileW(path_.c_str());
        writeProgramSetting(L"useContextReco", 0);
    }

  private:
    std::wstring path_;
    bool hadFile_ = false;
    std::string old_;
};

// Every text field of the target, whatever Wine's tree above it looks like.
const char kBindEveryField[] =
    "<bindings>\r\n"
    "\t<module name=\"target_edit.exe\">\r\n"
    "\t\t<context type=\"Unknown\">\r\n"
    "\t\t\t<bind id=\"-1\" name=\"*\" pos=\"-1\" profile=\"#sys-correct\" role=\"42\" "
    "signature=\"*\" winId=\"-1\"/>\r\n"
    "\t\t</context>\r\n"
    "\t\t<context type=\"WinApp\">\r\n"
    "\t\t\t<bind id=\"-1\" name=\"*\" pos=\"-1\" profile=\"#sys-correct\" role=\"42\" "
    "signature=\"*\" winId=\"-1\"/>\r\n"
    "\t\t</context>\r\n"
    "\t</module>\r\n"
    "</bindings>\r\n";

// Writes "hello" over the target's field and returns what the field holds
// and what the program recognized.
struct Outcome {
    std::string field, result;
};

void writeOverTheTarget(bool contextReco, Outcome& out) {
    BindingScope binding(kBindEveryField);
    RunningScribix scribix(kWaitNextStroke);
    writeProgramSetting(L"useContextReco", contextReco ? 1 : 0);
    ASSERT_TRUE(scribix.start());
    auto target =
        std::make_unique<targets::TargetProcess>(targets::TargetKind::Edit, L"/multiline");
    ASSERT_TRUE(target->ok()) << target->error();
    ASSERT_TRUE(target->activate());
    ASSERT_TRUE(sxtest::pumpUntil([&] { return hookFocusWindow() == target->control(); }, 10000))
        << "the hook library did not see the edit take the focus";
    RECT field = {};
    GetWindowRect(target->control(), &field);
    ASSERT_TRUE(writeWithPen("hello", field.left + 20, field.top + 60));
    out.result = scribix.resultAfter(1, kWaitNextStroke + 4000);
    sxtest::pumpUntil([&] { return !target->text().empty(); }, 3000);
    sxtest::pumpUntil([] { return false; }, 300);  // a blank after the text comes last
    out.field = narrow(target->text());
    target.reset();
    // A writing without a result fails the test: its trace goes with it.
    scribix.stop(::testing::Test::HasFailure() || out.result == "(none)");
}

TEST(BindingOverAnApplication, ABoundFieldIsRecognizedWithItsProfile) {
    // "#sys-correct" reads letters for a correction and types no blank after them.
    Outcome bound;
    writeOverTheTarget(true, bound);
    ASSERT_NE(bound.result, "(none)");
    EXPECT_EQ(bound.field, bound.result) << "no blank after a correction profile's text";

    Outcome unbound;
    writeOverTheTarget(false, unbound);
    EXPECT_EQ(unbound.result, "hello");
    EXPECT_EQ(unbound.field, "hello ") << "the default profile, with its blank";
}

}  // namespace
