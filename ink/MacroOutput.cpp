#include "ink/MacroOutput.h"

#include <memory>

#include "core/HookLibrary.h"
#include "ink/KeyboardOutput.h"
#include "ink/SelectionCorrection.h"
#include "recognition/RecWordList.h"

namespace {

class InkMacroLink : public MacroLink {
  public:
    void typeCharKey(UINT code, HKL layout, bool keyOnly) override {
        ::typeCharKey(code, layout, keyOnly);
    }
    void typeVirtualKey(WORD virtualKey) override { ::typeVirtualKey(virtualKey); }
    void typeString(const wchar_t* text, HKL layout, bool keyOnly) override {
        ::typeString(text, layout, keyOnly);
    }
    // Through the keyboard device, as every other key of the program goes.
    void modifierKey(BYTE virtualKey, bool up) override {
        KeyboardDevice& keyboard = keyboardDevice();
        keyboard.keyEvent(virtualKey, keyboard.scanCode(virtualKey, nullptr),
                          up ? KEYEVENTF_KEYUP : 0);
    }
    BOOL forceForegroundWindow(HWND window) override { return ::forceForegroundWindow(window); }
    void showWordMenu() override {
        POINT at = {0, 0};
        GetCursorPos(&at);
        HWND target = nullptr;
        std::shared_ptr<const RecWordList> wordList;
        if (correctionServices().currentResultForCorrection(target, wordList))
            showWordListForSelection(target, wordList.get(), at, false, false);
        else
            showWordListForSelection(hookLibrary().getLastFocusWindow(), nullptr, at, false, false);
    }
};

}  // namespace

MacroLink& inkMacroLink() {
    static InkMacroLink link;
    return link;
}
