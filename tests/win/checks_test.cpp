// The checks of a checked run: a window object used off its owner thread
// ends the process loudly, naming the object and both threads; a window
// object made off the main thread too; on the owner thread nothing happens.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "win/Checks.h"

namespace {

// Test runs have it already; a hand run of this program gets it too.
const bool g_checked = [] {
    SetEnvironmentVariableW(L"SCRIBIX_CHECKS", L"1");
    return true;
}();

constexpr int kCheckFailed = static_cast<int>(0xC000A0C1);

template <typename F>
void onOtherThread(F work) {
    std::thread other(work);
    other.join();
}

TEST(OwnerThread, NothingOwnsItBeforeItsWindowIsMade) {
    win::OwnerThread owner("CTestBar");
    onOtherThread([&] { EXPECT_TRUE(owner.isCurrent()); });
    owner.check("refreshButtons");  // no owner yet: no fault
}

TEST(OwnerThread, TheOwnerThreadPassesAndOthersAreOthers) {
    EXPECT_TRUE(win::checkedRun());
    win::OwnerThread owner("CTestBar");
    owner.adopt();
    EXPECT_EQ(owner.id(), GetCurrentThreadId());
    owner.check("refreshButtons");
    onOtherThread([&] { EXPECT_FALSE(owner.isCurrent()); });
}

TEST(OwnerThreadDeathTest, UseFromAnotherThreadEndsTheProcessNamingBothThreads) {
    win::OwnerThread owner("CTestBar");
    owner.adopt();
    EXPECT_EXIT(onOtherThread([&] { owner.check("setButtonState"); }),
                testing::ExitedWithCode(kCheckFailed),
                "thread check: CTestBar: setButtonState on thread \\d+; its owner is thread \\d+");
}

TEST(OwnerThreadDeathTest, AWindowObjectMadeOffTheMainThreadEndsTheProcess) {
    win::setMainThread(GetCurrentThreadId());
    EXPECT_EXIT(onOtherThread([] {
                    win::OwnerThread owner("CMainBar");
                    owner.adoptOnMainThread("createMainBar");
                }),
                testing::ExitedWithCode(kCheckFailed),
                "thread check: CMainBar: createMainBar on thread \\d+; its window belongs on "
                "the main thread \\d+");
    win::OwnerThread owner("CMainBar");
    owner.adoptOnMainThread("createMainBar");  // on the main thread: fine
    win::setMainThread(0);
}

namespace named {
struct SettingsPanel {
    virtual ~SettingsPanel() = default;
};
struct ProfilePanel : SettingsPanel {};
}  // namespace named

// A dialog's checks name it by its dynamic type, which must read as the
// source spells it.
TEST(OwnerThread, TypesAreNamedAsTheSourceSpellsThem) {
    named::ProfilePanel panel;
    const named::SettingsPanel& base = panel;
    EXPECT_STREQ(win::readableTypeName(typeid(base)), "(anonymous namespace)::named::ProfilePanel");
    EXPECT_EQ(win::readableTypeName(typeid(base)), win::readableTypeName(typeid(panel)))
        << "one text per type";
}

TEST(HeapValidation, WholeHeapsReportNothing) { EXPECT_EQ(win::validateHeaps(), 0); }

}  // namespace
