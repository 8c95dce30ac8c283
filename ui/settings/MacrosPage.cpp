// The "Macros" page: the handwritten macros of the macro file, edited in a
// copy of the file that Apply saves, with their export and import.
#include <windows.h>

#include <memory>

#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "ui/settings/MacroEditor.h"
#include "ui/settings/SettingsMessages.h"
#include "ui/settings/SettingsPage.h"
#include "ui/settings/SettingsPages.h"
#include "xml/IxlScribixHelper.h"

namespace {

constexpr int kList = 3056, kEdit = 3059, kNew = 3058, kCopy = 3060, kRemove = 3057, kExport = 3061,
              kImport = 3062, kDescription = 3126;

// Only the English module keeps macros.
const wchar_t kMacroLanguage[] = L"English";

// What the page keeps for the process.
struct MacrosGlobals {
    std::wstring lastSelected;
    bool exporting = false;
    bool importing = false;
};
MacrosGlobals g_macros;

std::wstring attribute(const CLiteElem& element, const wchar_t* name) {
    XString value;
    element.getAttrString(name, value);
    return std::wstring(value.c_str());
}

class MacrosPage : public SettingsPage {
    RecModule* module() const { return getRecMgr().getModule(kMacroLanguage); }

    void load() override { fill(true, nullptr); }

    void fill(bool reload, CXMLNode* toSelect) {
        if (reload) {
            document_.reset();
            pending_ = false;
            RecModule* m = module();
            const std::wstring path = m ? m->getMacroFilePath() : std::wstring();
            if (!path.empty()) {
                auto document = std::make_unique<IxlScribixHelper>(IXL_KIND_MACRO);
                if (document->load(path.c_str(), true)) document_ = std::move(document);
            }
        }
        HWND list = item(kList);
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        CLiteElem root;
        if (document_ && document_->dom().getRoot(root)) {
            CLiteElem child;
            for (size_t i = 0; root.getChildElement(child, i); ++i) {
                XString elementName;
                if (!child.getName(elementName) || elementName != XString(L"macro")) continue;
                const std::wstring name = attribute(child, L"name");
                const LRESULT index =
                    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
                SendMessageW(list, LB_SETITEMDATA, index,
                             reinterpret_cast<LPARAM>(child.getXMLNode()));
                if (toSelect ? child.getXMLNode() == toSelect : name == g_macros.lastSelected)
                    SendMessageW(list, LB_SETSEL, TRUE, index);
            }
        }
        updateButtons();
    }

    std::vector<CXMLNode*> selection() const {
        HWND list = item(kList);
        std::vector<CXMLNode*> nodes;
        const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i)
            if (SendMessageW(list, LB_GETSEL, i, 0) > 0)
                nodes.push_back(
                    reinterpret_cast<CXMLNode*>(SendMessageW(list, LB_GETITEMDATA, i, 0)));
        return nodes;
    }

    bool allSelected() const {
        const int count = static_cast<int>(SendMessageW(item(kList), LB_GETCOUNT, 0, 0));
        return count > 0 && static_cast<int>(selection().size()) == count;
    }

    void updateButtons() {
        if (!document_) {
            for (int id : {kEdit, kNew, kCopy, kRemove, kExport, kImport}) enable(id, false);
            setText(kDescription, L"");
            return;
        }
        for (int id : {kNew, kExport, kImport}) enable(id, true);
        const std::vector<CXMLNode*> selected = selection();
        enable(kEdit, selected.size() == 1);
        enable(kCopy, selected.size() == 1);
        enable(kRemove, !selected.empty());
        if (selected.size() == 1) {
            CLiteElem element;
            element.attach(selected.front());
            setText(kDescription, attribute(element, L"description"));
            g_macros.lastSelected = attribute(element, L"name");
        } else {
            setText(kDescription, L"");
        }
    }

    void markChanged() {
        pending_ = true;
        changed();
    }

    void edit(bool existing, bool copy) {
        if (!document_) return;
        MacroEditState state;
        state.document = document_.get();
        state.copy = copy;
        if (existing) {
            const std::vector<CXMLNode*> selected = selection();
            if (selected.size() != 1) return;
            state.element = selected.front();
        }
        if (runMacroEditor(hwnd(), state) != 1) return;
        markChanged();
        CXMLNode* edited = existing && !copy ? state.element : nullptr;
        if (!edited) {
            // A new macro (or a copy) is the last element named as typed.
            edited = lastMacroNode();
        }
        fill(false, edited);
    }

    CXMLNode* lastMacroNode() const {
        CLiteElem root, child;
        CXMLNode* last = nullptr;
        if (document_ && document_->dom().getRoot(root))
            for (size_t i = 0; root.getChildElement(child, i); ++i) last = child.getXMLNode();
        return last;
    }

    void remove() {
        if (!document_) return;
        const std::vector<CXMLNode*> selected = selection();
        if (selected.empty()) return;
        if (allSelected()) {
            CLiteElem root;
            if (document_->dom().getRoot(root)) root.removeAllChildElements();
        } else {
            for (CXMLNode* node : selected) {
                CLiteElem element;
                element.attach(node);
                document_->removeItem(element);
            }
        }
        fill(false, nullptr);
        markChanged();
    }

    void exportSelected() {
        if (!document_ || g_macros.exporting) return;
        g_macros.exporting = true;
        exportMacros(hwnd(), *document_, selection(), allSelected());
        g_macros.exporting = false;
    }

    void import() {
        if (!document_ || g_macros.importing) return;
        g_macros.importing = true;
        bool suffixAdded = false;
        const int result = importMacros(hwnd(), *document_, suffixAdded);
        if (result != 0) {
            const wchar_t* text = result < 0    ? L"Error during macros import"
                                  : suffixAdded ? L"Macros imported successfully.\nSuffix  "
                                                  L"'_imported'  is added to macros with "
                                                  L"duplicated names."
                                                : L"Macros imported successfully";
            settingsMessageBox(hwnd(), text, L"Import macros",
                               MB_OK | (result < 0 ? MB_ICONEXCLAMATION : MB_ICONINFORMATION));
            // Elements appended before a failing one stay: the list shows them.
            fill(false, nullptr);
            markChanged();
        }
        g_macros.importing = false;
    }

    bool apply(bool) override {
        if (!pending_) return true;
        RecModule* m = module();
        if (!document_ || !m) {
            fill(true, nullptr);
            return false;
        }
        if (!document_->save()) {
            // The edits stay in the page: nothing is read back over them.
            const std::wstring text = L"The macros could not be saved to " +
                                      std::wstring(document_->path().c_str()) +
                                      L".\nYour changes are kept: apply them again once the file "
                                      L"can be written.";
            settingsMessageBox(hwnd(), text.c_str(), L"Macros", MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        pending_ = false;
        // With no macro left there is nothing to load: the recognizer then
        // simply has no macros, which is what the user asked for.
        if (!m->loadMacros() && !document_->isEmpty()) {
            settingsMessageBox(hwnd(),
                               L"The macros were saved, but the recognizer could not load them: "
                               L"handwritten macros are not available until it can.",
                               L"Macros", MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        return true;
    }

    bool onControl(WORD id, WORD code, HWND) override {
        switch (id) {
            case kList:
                if (code == LBN_SELCHANGE) updateButtons();
                if (code == LBN_DBLCLK)
                    PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(kEdit, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(item(kEdit)));
                return true;
            case kNew:
                if (code == BN_CLICKED) edit(false, false);
                return true;
            case kEdit:
                if (code == BN_CLICKED) edit(true, false);
                return true;
            case kCopy:
                if (code == BN_CLICKED) edit(true, true);
                return true;
            case kRemove:
                if (code == BN_CLICKED) remove();
                return true;
            case kExport:
                if (code == BN_CLICKED) exportSelected();
                return true;
            case kImport:
                if (code == BN_CLICKED) import();
                return true;
        }
        return false;
    }

    std::unique_ptr<IxlScribixHelper> document_;
    bool pending_ = false;
};

}  // namespace

INT_PTR CALLBACK MacrosPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return SettingsPage::procedure<MacrosPage>(page, message, wParam, lParam);
}
