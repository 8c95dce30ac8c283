// Small pieces of the shell: command-line switches, the morph steps and clock,
// the version text, the process walk.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "shell/Morph.h"
#include "core/Settings.h"
#include "shell/Splash.h"
#include "shell/ServiceWindow.h"
#include "shell/Startup.h"
#include "shell/Stickers.h"
#include "core/SystemHooks.h"
#include "ui/tips/Tips.h"

namespace {

TEST(CommandSwitch, OnlySlashZeroOneTwoAfterBlanksCount) {
    struct {
        const wchar_t* line;
        CommandSwitch expected;
    } cases[] = {
        {L"/0", CommandSwitch::PenOff},
        {L"/1", CommandSwitch::PenOn},
        {L"/2", CommandSwitch::Toggle},
        {L"  /1", CommandSwitch::PenOn},
        {L"\t /0 more", CommandSwitch::PenOff},
        {L"/5", CommandSwitch::None},
        {L"x", CommandSwitch::None},
        {L"", CommandSwitch::None},
        {L"/", CommandSwitch::None},
        {L"-1", CommandSwitch::None},
        {nullptr, CommandSwitch::None},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseCommandSwitch(c.line), c.expected) << (c.line ? c.line : L"(null)");
}

TEST(Morph, StepsLandOnTheTarget) {
    const RECT start = {0, 0, 1, 1};
    const RECT oneEdge = {0, 0, 2, 1};
    EXPECT_EQ(morphStepCount(start, oneEdge), 1);
    const RECT last = morphStepRect(start, oneEdge, 0, 1);
    EXPECT_TRUE(EqualRect(&last, &oneEdge)) << "the only step is the target";

    const RECT from = {100, 100, 110, 110};
    const RECT to = {0, 50, 400, 290};
    const int n = morphStepCount(from, to);
    EXPECT_EQ(n, 290);
    const RECT first = morphStepRect(from, to, 0, n);
    EXPECT_EQ(first.left, 100 + (0 - 100) * 1 / n);
    EXPECT_EQ(first.right - first.left, 10 + (400 - 10) * 1 / n);
    const RECT middle = morphStepRect(from, to, 144, n);
    EXPECT_EQ(middle.left, 100 - 100 * 145 / 290);
    EXPECT_EQ(middle.top, 100 - 50 * 145 / 290);
    EXPECT_EQ(middle.bottom - middle.top, 10 + 230 * 145 / 290);
    const RECT end = morphStepRect(from, to, n - 1, n);
    EXPECT_TRUE(EqualRect(&end, &to));
    const RECT same = {5, 5, 5, 5};
    EXPECT_EQ(morphStepCount(same, same), 1);
    const RECT wide = {-30000, -30000, 30000, 30000};
    const RECT half = morphStepRect(same, wide, 29999, 60000);
    EXPECT_EQ(half.left, 5 + (-30005LL) * 30000 / 60000) << "no overflow on long edges";
}

DWORD g_ticks = 0;
DWORD fakeTicks() { return g_ticks; }

TEST(MorphClock, TickCountAcrossItsWrapAround) {
    MorphClock::setTickSource(fakeTicks);
    MorphClock::forceTickCount(true);
    g_ticks = 0xFFFFFF00u;
    MorphClock clock(10, 100, 0);
    g_ticks = 0x00000050u;
    EXPECT_DOUBLE_EQ(clock.elapsedMs(), 0x150);
    MorphClock::forceTickCount(false);
    MorphClock::setTickSource(nullptr);
    MorphClock precise(1, 1, 0);
    EXPECT_GE(precise.elapsedMs(), 0.0);
}

TEST(VersionText, NumbersAndVendor) {
    sxtest::TestSettingsKey key(L"version");
    wchar_t text[160];
    EXPECT_STREQ(getVersionText(text), L"4.0.42.ps");
    WriteSetting(nullptr, L"Vendor", L"oem", SETTING_STRING, 0);
    EXPECT_STREQ(getVersionText(text), L"4.0.42.oem");
}

TEST(ToolInfo, WindowWithoutIdBecomesItsOwnId) {
    TTTOOLINFOW info;
    RECT r = {1, 2, 3, 4};
    HWND desktop = GetDesktopWindow();
    initToolInfo(&info, TTF_SUBCLASS, desktop, 0, &r, L"tip", 42);
    // The whole system record, lpReserved included: 48 bytes in a 32-bit
    // process, 72 in a 64-bit one.
    EXPECT_EQ(info.cbSize, sizeof(void*) == 4 ? 48u : 72u);
    EXPECT_EQ(info.uFlags, static_cast<UINT>(TTF_SUBCLASS | TTF_IDISHWND));
    EXPECT_EQ(info.uId, reinterpret_cast<UINT_PTR>(desktop));
    EXPECT_EQ(info.hwnd, GetParent(desktop));
    EXPECT_EQ(info.rect.right, 3);
    EXPECT_EQ(info.lParam, 42);
    initToolInfo(&info, 0, desktop, 7, nullptr, L"tip", 0);
    EXPECT_EQ(info.uFlags, 0u);
    EXPECT_EQ(info.uId, 7u);
    EXPECT_EQ(info.hwnd, desktop);
}

TEST(OutputRecord, TheBarsCodePageValuesBecomeTheirCharacters) {
    struct {
        int picked, typed;
    } cases[] = {
        {128, 0x20AC},   // the euro sign, as the bar answers it
        {-128, 0x20AC},  // the same byte taken signed
        {0xA3, 0xA3},    // the pound sign
        {0x96, 0x2013},  // a dash of the code page, from the bar's settings
        {255, 0xFF},
        {-1, 0xFF},
        {L',', L','},
        {0x20AC, 0x20AC},  // characters stay
        {1, 1},
        {2, 2},
        {3, 3},
        {0x10000 | VK_LEFT, 0x10000 | VK_LEFT},  // commands and keys stay
        {0x10000 | 13, 0x10000 | 13},
    };
    for (const auto& c : cases) EXPECT_EQ(outputValue(c.picked), c.typed) << c.picked;
}

TEST(Stickers, SameTextAtTheSamePlaceReplacesAndEmptyTextNeverRemoves) {
    CStickers set;
    set.addSticker(10, 20, 5, 8000, L"#sys-default", nullptr);
    set.addSticker(10, 20, 5, 8000, L"#sys-default", nullptr);
    EXPECT_EQ(set.stickerCount(), 1u);
    set.addSticker(10, 20, 5, 8000, L"", nullptr);
    EXPECT_EQ(set.stickerCount(), 2u) << "an empty text removes nothing";
    set.addSticker(10, 20, 11, 0, L"No Writing", nullptr);
    set.addSticker(11, 20, 5, 0, L"Writing Ok", nullptr);
    EXPECT_EQ(set.stickerCount(), 4u) << "other flags or another point are other stickers";
    std::wstring texts;
    set.forEach([&](CSticker& s) { texts += s.text() + L"|"; });
    EXPECT_EQ(texts, L"#sys-default||No Writing|Writing Ok|");
    set.clear();
    EXPECT_FALSE(set.hasStickers());
}

TEST(Stickers, AttachedObjectsAreDeletedWithTheirSticker) {
    static int deleted = 0;
    struct Attached : CDeletableByPtr {
        ~Attached() override { ++deleted; }
    };
    CStickers set;
    set.addSticker(1, 1, 5, 0, L"a", new Attached);
    set.addSticker(1, 1, 5, 0, L"b", new Attached);
    EXPECT_EQ(deleted, 1) << "the replaced sticker took its object along";
    set.clear();
    EXPECT_EQ(deleted, 2);
}

struct Walk {
    std::vector<DWORD> ids;
    std::wstring ownName;
    int stopAfter = -1;
};

BOOL collect(DWORD id, const wchar_t* name, LPARAM parameter) {
    auto* walk = reinterpret_cast<Walk*>(parameter);
    walk->ids.push_back(id);
    if (id == GetCurrentProcessId() && name) walk->ownName = name;
    return walk->stopAfter < 0 || static_cast<int>(walk->ids.size()) < walk->stopAfter;
}

TEST(WalkProcesses, ReportsEveryProcessAndStopsWhenAsked) {
    Walk all;
    ASSERT_TRUE(walkProcesses(0, collect, reinterpret_cast<LPARAM>(&all)));
    EXPECT_NE(std::find(all.ids.begin(), all.ids.end(), GetCurrentProcessId()), all.ids.end());
    EXPECT_EQ(all.ownName, L"test_shell_units.exe");

    Walk one;
    one.stopAfter = 1;
    ASSERT_TRUE(walkProcesses(0, collect, reinterpret_cast<LPARAM>(&one)));
    EXPECT_EQ(one.ids.size(), 1u);

    SetLastError(0);
    EXPECT_FALSE(walkProcesses(1, collect, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

// The system's list of process ids as a test gives it: `listed` ids, none of
// a real process, as many as fit the block; or a refusal with `error`. It
// keeps the size of each block the walk asks it to fill and of the heap block
// behind it.
struct IdsSource {
    DWORD listed = 0;
    DWORD error = 0;
    std::vector<DWORD> asked;
    SIZE_T largestHeapBlock = 0;
};
IdsSource g_idsSource;
constexpr DWORD kFirstFakeId = 0x7FFF0000;

BOOL WINAPI fakeProcessIds(DWORD* ids, DWORD bytes, DWORD* returned) {
    g_idsSource.asked.push_back(bytes);
    g_idsSource.largestHeapBlock =
        std::max(g_idsSource.largestHeapBlock, HeapSize(GetProcessHeap(), 0, ids));
    if (g_idsSource.error) {
        SetLastError(g_idsSource.error);
        return FALSE;
    }
    const DWORD count = std::min<DWORD>(g_idsSource.listed, bytes / sizeof(DWORD));
    for (DWORD i = 0; i < count; ++i) ids[i] = kFirstFakeId + 4 * i;
    *returned = count * sizeof(DWORD);
    return TRUE;
}

// The block of ids grows by doubling from 256 bytes while the system fills it,
// and never past 4 MiB: a list that would need more ends the walk with FALSE
// and "not enough memory", before any process is reported.
TEST(WalkProcesses, TheBlockOfIdsGrowsUpToItsCeilingOnly) {
    constexpr DWORD kCeiling = 4u << 20;
    constexpr DWORD kIdsAtCeiling = kCeiling / sizeof(DWORD);
    const struct {
        const char* name;
        DWORD listed, error;
        BOOL result;
        DWORD lastError, blocks;
        size_t reported;
    } cases[] = {
        {"a short list", 3, 0, TRUE, 0, 1, 3},
        {"a list past the first block", 100, 0, TRUE, 0, 2, 1},
        {"one id under the ceiling", kIdsAtCeiling - 1, 0, TRUE, 0, 15, 1},
        {"a list that fills the ceiling", kIdsAtCeiling, 0, FALSE, ERROR_NOT_ENOUGH_MEMORY, 15, 0},
        {"a list far beyond it", 0x40000000, 0, FALSE, ERROR_NOT_ENOUGH_MEMORY, 15, 0},
        {"the system refuses", 10, ERROR_ACCESS_DENIED, FALSE, ERROR_ACCESS_DENIED, 1, 0},
    };
    setProcessIdsSource(fakeProcessIds);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_idsSource = IdsSource();
        g_idsSource.listed = c.listed;
        g_idsSource.error = c.error;
        Walk walk;
        walk.stopAfter = c.listed > 3 ? 1 : -1;  // past a few, naming processes is slow
        SetLastError(0);
        EXPECT_EQ(walkProcesses(0, collect, reinterpret_cast<LPARAM>(&walk)), c.result);
        if (!c.result) {
            EXPECT_EQ(GetLastError(), c.lastError);
        }
        std::vector<DWORD> doubling;
        for (DWORD bytes = 256; doubling.size() < c.blocks; bytes *= 2) doubling.push_back(bytes);
        EXPECT_EQ(g_idsSource.asked, doubling);
        EXPECT_LE(g_idsSource.largestHeapBlock, kCeiling);
        EXPECT_EQ(g_idsSource.largestHeapBlock, doubling.back());
        ASSERT_EQ(walk.ids.size(), c.reported);
        for (size_t i = 0; i < walk.ids.size(); ++i) EXPECT_EQ(walk.ids[i], kFirstFakeId + 4 * i);
    }
    setProcessIdsSource(nullptr);
}

}  // namespace
