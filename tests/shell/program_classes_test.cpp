// The program's own classes answer their class names and the is-kind-of test
// along their real chains of bases (the root class's rule is in
// vexa_super_test.cpp): a class given a wrong base shows here.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/VexaSuper.h"
#include "ink/IconsManager.h"
#include "ink/InkBlotClient.h"
#include "ink/InkStroke.h"
#include "ink/InkTrace.h"
#include "ink/LocalClient.h"
#include "ink/RecResult.h"
#include "ink/SystemClient.h"
#include "recognition/Binding.h"
#include "recognition/RecWordList.h"

namespace {

struct ClassCase {
    const char* name;
    std::function<VexaSuper*()> make;
    const wchar_t* className;
    std::vector<const wchar_t*> kinds, notKinds;
};

void PrintTo(const ClassCase& c, std::ostream* out) { *out << c.name; }

// A system client with its recognition thread: stopped before it is deleted.
void deleteObject(VexaSuper* object) {
    if (object && object->isKindOf(L"LocalClient")) {
        auto* client = static_cast<LocalClient*>(object);
        if (!client->stopThreads()) return;
    }
    delete object;
}

class ProgramClass : public ::testing::TestWithParam<ClassCase> {
  protected:
    sxtest::TestSettingsKey key_{L"classes"};
};

TEST_P(ProgramClass, AnswersItsNameAndItsBases) {
    const ClassCase& c = GetParam();
    std::unique_ptr<VexaSuper, void (*)(VexaSuper*)> object(c.make(), deleteObject);
    ASSERT_NE(object, nullptr);
    EXPECT_STREQ(object->className(), c.className);
    for (const wchar_t* kind : c.kinds) EXPECT_EQ(object->isKindOf(kind), 1) << kind;
    for (const wchar_t* kind : c.notKinds) EXPECT_EQ(object->isKindOf(kind), 0) << kind;
    EXPECT_EQ(object->isKindOf(L""), 0);
}

LocalClientRecord systemRecord() { return SystemClient::defaultRecord(); }

INSTANTIATE_TEST_SUITE_P(
    Chains, ProgramClass,
    ::testing::Values(
        ClassCase{"SystemClient",
                  [] {
                      const LocalClientRecord record = systemRecord();
                      return static_cast<VexaSuper*>(new SystemClient(&record));
                  },
                  L"SystemClient",
                  {L"SystemClient", L"LocalClient", L"VexaSuper"},
                  {L"InkBlotClient", L"localclient", L"LocalMonitoringClient"}},
        ClassCase{"InkBlotClient",
                  [] { return static_cast<VexaSuper*>(new InkBlotClient); },
                  L"InkBlotClient",
                  {L"InkBlotClient", L"LocalClient", L"VexaSuper"},
                  {L"SystemClient", L"LocalVexaBarClient"}},
        ClassCase{"LocalVexaBarClient",
                  [] { return static_cast<VexaSuper*>(new LocalVexaBarClient(L"bar")); },
                  L"LocalVexaBarClient",
                  {L"LocalVexaBarClient", L"LocalClient", L"VexaSuper"},
                  {L"LocalMonitoringClient"}},
        ClassCase{"IconsManager",
                  [] { return static_cast<VexaSuper*>(new IconsManager); },
                  L"IconsManager",
                  {L"IconsManager", L"LocalMonitoringClient", L"LocalClient", L"VexaSuper"},
                  {L"InkIcon"}},
        ClassCase{"PenIcon",
                  [] { return static_cast<VexaSuper*>(new PenIcon(1, nullptr)); },
                  L"PenIcon",
                  {L"PenIcon", L"InkIcon", L"VexaSuper"},
                  {L"LocalClient", L"IconsManager"}},
        ClassCase{"InkStroke",
                  [] { return static_cast<VexaSuper*>(new InkStroke(nullptr, 0, nullptr)); },
                  L"InkStroke",
                  {L"InkStroke", L"VexaSuper"},
                  {L"InkTrace"}},
        ClassCase{"InkTrace",
                  [] { return static_cast<VexaSuper*>(new InkTrace(nullptr)); },
                  L"InkTrace",
                  {L"InkTrace", L"VexaSuper"},
                  {L"InkStroke"}},
        ClassCase{"RecResult",
                  [] {
                      return static_cast<VexaSuper*>(
                          new RecResult(nullptr, nullptr, nullptr, nullptr));
                  },
                  L"RecResult",
                  {L"RecResult", L"VexaSuper"},
                  {L"RecWordList"}},
        ClassCase{"RecWordList",
                  [] { return static_cast<VexaSuper*>(new RecWordList); },
                  L"RecWordList",
                  {L"RecWordList", L"VexaSuper"},
                  {L"RecWord", L"RecAlt"}},
        ClassCase{"RecAlt",
                  [] { return static_cast<VexaSuper*>(new RecAlt(L"word", 1)); },
                  L"RecAlt",
                  {L"RecAlt", L"VexaSuper"},
                  {L"RecWord"}},
        ClassCase{"CBindingInfo",
                  [] { return static_cast<VexaSuper*>(new CBindingInfo); },
                  L"CBindingInfo",
                  {L"CBindingInfo", L"CDeletableByPtr", L"VexaSuper"},
                  {L"CStickerFrame"}}),
    [](const ::testing::TestParamInfo<ClassCase>& info) { return std::string(info.param.name); });

}  // namespace
