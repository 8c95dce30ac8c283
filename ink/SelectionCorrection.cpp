#include "SelectionCorrection.h"

#include <string>

#include "RecResult.h"
#include "recognition/RecWordList.h"
#include "TargetText.h"
#include "recognition/LanguageTables.h"
#include "recognition/RecMgr.h"
#include "recognition/RecProfile.h"
#include "core/AppGlobals.h"
#include "core/HookLibrary.h"
#include "core/ServiceMessages.h"
#include "core/Settings.h"
#include "core/ShellLink.h"

namespace {

CorrectionServices g_ownServices;
CorrectionServices* g_services = &g_ownServices;

constexpr int kStickerMs = 3000;

// A sticker at the menu's point, or at the cursor when that point is on no screen.
void showCorrectionSticker(const wchar_t* text, POINT point) {
    const bool onScreen = MonitorFromPoint(point, MONITOR_DEFAULTTONULL) != nullptr;
    shellLink().showSingleSticker(text, kStickerMs, onScreen ? &point : nullptr);
}

}  // namespace

HKL CorrectionServices::currentResultLayout() { return getCurrentRecResultLayout(); }

bool CorrectionServices::currentResultForCorrection(HWND& target,
                                                    std::shared_ptr<const RecWordList>& wordList) {
    RecResultRef current = getCurrentRecResult();
    if (!current) return false;
    std::shared_ptr<const RecWordList> words = current->wordList();
    if (!words) return false;
    target = current->target();
    wordList = std::move(words);
    return true;
}

void CorrectionServices::setCurrentLanguage(const wchar_t* language) {
    getRecMgr().setCurrentLanguage(language);
}

RecWordList* CorrectionServices::makeWordListFromText(const wchar_t* text) {
    return ::makeWordListFromText(text, getRecMgr().getDefaultProfile());
}

void CorrectionServices::deleteWordList(RecWordList* wordList) { delete wordList; }

// Until the word-list menu is built: no menu.
LRESULT CorrectionServices::showWordListMenuBar(HKL, const RecWordList*, POINT, const wchar_t*) {
    return 0;
}

bool CorrectionServices::hasWordListMenu() const { return false; }

CorrectionServices& correctionServices() { return *g_services; }

CorrectionServices* setCorrectionServices(CorrectionServices* services) {
    CorrectionServices* previous = g_services == &g_ownServices ? nullptr : g_services;
    g_services = services ? services : &g_ownServices;
    return previous;
}

LRESULT showWordListForSelection(HWND owner, const RecWordList* wordList, POINT point, bool direct,
                                 bool post) {
    if (!wordList && !wordListBarSettings().allowSelCorrection) return 0;
    if (!direct) {
        HWND service = getServiceWindow();
        if (!service) return 0;
        const WPARAM at = static_cast<WPARAM>((static_cast<DWORD>(point.y) << 16) |
                                              (static_cast<DWORD>(point.x) & 0xFFFF));
        const LPARAM list = reinterpret_cast<LPARAM>(wordList);
        if (post) {
            PostMessageW(service, WM_INK_WORDLIST_FOR_SELECTION, at, list);
            return 0;
        }
        return SendMessageW(service, WM_INK_WORDLIST_FOR_SELECTION, at, list);
    }

    CorrectionServices& services = correctionServices();
    HKL layout = wordList ? services.currentResultLayout() : nullptr;
    if (!layout) layout = hookLibrary().askLastFocusKeyboardLayout();
    if (layout) {
        ActivateKeyboardLayout(layout, 0);
        std::wstring language;
        getLanguageName(reinterpret_cast<UINT_PTR>(layout), language, true);
        services.setCurrentLanguage(language.c_str());
    }
    if (wordList) return services.showWordListMenuBar(layout, wordList, point, nullptr);

    CTargetText target(hookLibrary().getLastFocusWindow());
    if (!target.hasHandler() || !target.hasSelection()) return 0;
    if (target.selectionLength() >= kMaxCorrectedSelection) {
        showCorrectionSticker(L"selection is too big", point);
        return 0;
    }
    std::wstring text, trailing;
    if (!target.getSelectionText(text, trailing)) {
        // An unreadable selection (a hung target) is no fault of the user's.
        if (target.refusedForControls())
            showCorrectionSticker(L"control characters were found inside of the selection", point);
        return 0;
    }
    RecWordList* made = services.makeWordListFromText(text.c_str());
    if (!made) return 0;
    LRESULT result = services.showWordListMenuBar(layout, made, point, trailing.c_str());
    services.deleteWordList(made);
    return result;
}

void correctLastResultOrSelection() {
    const WordListBarSettings& menu = wordListBarSettings();
    POINT at = menu.customMenuPosition;
    if (menu.autoShow == 2) GetCursorPos(&at);
    HWND target = nullptr;
    std::shared_ptr<const RecWordList> wordList;
    if (correctionServices().currentResultForCorrection(target, wordList))
        showWordListForSelection(target, wordList.get(), at, false, false);
    else
        showWordListForSelection(hookLibrary().getLastFocusWindow(), nullptr, at, false, false);
}
