// The "Reco" page: the recognition profiles of one language, edited in a
// copy of that language's profiles file and saved on Apply, and the
// advanced recognition options.
#include <windows.h>

#include <shellapi.h>

#include <memory>

#include "core/AppGlobals.h"
#include "core/PendingServices.h"
#include "core/Settings.h"
#include "ink/SystemClient.h"
#include "recognition/RecMgr.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "resources/SettingsResources.h"
#include "ui/settings/ProfileEditor.h"
#include "ui/settings/SettingsMessages.h"
#include "ui/settings/SettingsPage.h"
#include "ui/settings/SettingsPages.h"
#include "win/Checks.h"
#include "xml/IxlScribixHelper.h"

namespace {

constexpr int kLanguage = 3004, kList = 3095, kEdit = 3097, kNew = 3096, kCopy = 3099,
              kRemove = 3098, kDescription = 3125, kAdvanced = 3100;

// The options of the advanced dialog, as the page holds them until Apply.
struct RecoOptions {
    int showCurrentRecProfile = 1;
    int useContextReco = 0;
    int useAppFilters = 0;
    int useProfileScope = 1;

    static RecoOptions fromSettings() {
        const GeneralSettings& s = generalSettings();
        RecoOptions o;
        o.showCurrentRecProfile = s.showCurrentRecProfile;
        o.useContextReco = s.useContextReco;
        o.useAppFilters = s.useAppFilters;
        o.useProfileScope =
            s.useProfileScope >= 0 && s.useProfileScope <= 2 ? s.useProfileScope : 0;
        return o;
    }
    bool operator==(const RecoOptions& o) const {
        return showCurrentRecProfile == o.showCurrentRecProfile &&
               useContextReco == o.useContextReco && useAppFilters == o.useAppFilters &&
               useProfileScope == o.useProfileScope;
    }
};

// The language the page shows, kept for the process.
std::wstring& pageLanguage() {
    static std::wstring language;
    return language;
}

std::wstring attribute(const CLiteElem& element, const wchar_t* name) {
    XString value;
    element.getAttrString(name, value);
    return std::wstring(value.c_str());
}

class RecoPage : public SettingsPage {
    void load() override {
        fillLanguages();
        fill(true, nullptr);
    }

    RecModule* module() const { return getRecMgr().getModule(pageLanguage().c_str()); }

    void fillLanguages() {
        HWND combo = item(kLanguage);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        for (const auto& entry : getRecMgr().modules())
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.first.c_str()));
        std::wstring language = pageLanguage();
        if (language.empty() || SendMessageW(combo, CB_FINDSTRINGEXACT, -1,
                                             reinterpret_cast<LPARAM>(language.c_str())) == CB_ERR)
            language = defaultLanguage();
        SendMessageW(combo, CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(language.c_str()));
    }

    static std::wstring defaultLanguage() {
        RecModule* current = getRecMgr().getCurrentModule();
        return current ? current->languageName() : getRecMgr().currentLanguage();
    }

    std::wstring selectedLanguage() const {
        HWND combo = item(kLanguage);
        const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        if (index == CB_ERR) return L"";
        wchar_t text[128] = {};
        if (SendMessageW(combo, CB_GETLBTEXTLEN, index, 0) >= 128) return L"";
        SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return text;
    }

    // Fills the list; with `reload` the document is read again from the file
    // and the options from the settings (a refill after an edit keeps the
    // options the user chose and has not applied yet).
    void fill(bool reload, CXMLNode* toSelect) {
        if (reload) options_ = RecoOptions::fromSettings();
        std::wstring language = selectedLanguage();
        if (language.empty()) {
            language = defaultLanguage();
            SendMessageW(item(kLanguage), CB_SELECTSTRING, -1,
                         reinterpret_cast<LPARAM>(language.c_str()));
        }
        pageLanguage() = language;
        std::wstring selectedName;
        if (!toSelect) selectedName = selectedProfileName();
        if (reload) {
            document_.reset();
            pending_ = false;
            if (RecModule* m = module()) {
                auto document = std::make_unique<IxlScribixHelper>(IXL_KIND_PROFILE);
                if (document->load(m->getProfilesFilePath().c_str(), true))
                    document_ = std::move(document);
            }
        }
        HWND list = item(kList);
        SendMessageW(list, LB_RESETCONTENT, 0, 0);
        if (selectedName.empty()) selectedName = getLastWritingProfile();
        CLiteElem root;
        if (document_ && document_->dom().getRoot(root)) {
            CLiteElem child;
            for (size_t i = 0; root.getChildElement(child, i); ++i) {
                XString elementName;
                if (!child.getName(elementName) || elementName != XString(L"profile")) continue;
                const std::wstring name = attribute(child, L"name");
                if (name != L"#sys-default" && isSystemProfileName(name.c_str())) continue;
                const LRESULT index =
                    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
                SendMessageW(list, LB_SETITEMDATA, index,
                             reinterpret_cast<LPARAM>(child.getXMLNode()));
                if (toSelect ? child.getXMLNode() == toSelect : name == selectedName)
                    SendMessageW(list, LB_SETCURSEL, index, 0);
            }
        }
        updateButtons();
    }

    // The element of the selected item (empty when none).
    CLiteElem selectedElement() const {
        CLiteElem element;
        const LRESULT index = SendMessageW(item(kList), LB_GETCURSEL, 0, 0);
        if (index == LB_ERR) return element;
        element.attach(
            reinterpret_cast<CXMLNode*>(SendMessageW(item(kList), LB_GETITEMDATA, index, 0)));
        return element;
    }

    std::wstring selectedProfileName() const {
        CLiteElem element = selectedElement();
        return element.isEmpty() ? L"" : attribute(element, L"name");
    }

    // The list's items point at the document's elements: before the
    // document loses one, the list lets go of all of them, so that nothing
    // reads an element that is gone (the refill selects by name).
    void forgetListItems() { SendMessageW(item(kList), LB_RESETCONTENT, 0, 0); }

    void updateButtons() {
        if (!document_) {
            for (int id : {kEdit, kNew, kCopy, kRemove}) enable(id, false);
            setText(kDescription, L"");
            return;
        }
        enable(kNew, true);
        CLiteElem element = selectedElement();
        const bool selection = !element.isEmpty();
        enable(kEdit, selection);
        enable(kCopy, selection);
        const std::wstring name = selection ? attribute(element, L"name") : L"";
        enable(kRemove, selection && !isSystemProfileName(name.c_str()));
        setText(kDescription, selection ? attribute(element, L"description") : L"");
    }

    void markChanged() {
        pending_ = true;
        changed();
    }

    // Runs the editor on a profile: an empty element for a new one.
    void editProfile(bool fromSelection, bool copy) {
        RecModule* m = module();
        if (!m || !document_) return;
        std::unique_ptr<RecProfile> profile;
        {
            RecModule::ProfileLock lock = m->lockProfiles();
            if (fromSelection) {
                CLiteElem element = selectedElement();
                if (element.isEmpty()) return;
                profile = std::make_unique<RecProfile>(m);
                if (!profile->loadFromXml(element)) return;
            } else {
                RecProfile* base = m->getDefaultProfile();
                profile =
                    base ? std::make_unique<RecProfile>(*base) : std::make_unique<RecProfile>(m);
                profile->name.clear();
                profile->description.clear();
            }
        }
        if (copy) profile->name.clear();
        EdpDlgState state;
        prepareProfileEditor(state, profile.get(), document_.get());
        if (runProfileEditor(hwnd(), state) != 1) return;
        // Storing may remove an element (a rename onto another profile).
        forgetListItems();
        storeProfileIntoDocument(*document_, state.nameAtOpening, *profile);
        markChanged();
        fill(false, nullptr);
        selectByName(profile->name);
    }

    void selectByName(const std::wstring& name) {
        HWND list = item(kList);
        const LRESULT found =
            SendMessageW(list, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>(name.c_str()));
        if (found != LB_ERR) SendMessageW(list, LB_SETCURSEL, found, 0);
        updateButtons();
    }

    void removeProfile() {
        CLiteElem element = selectedElement();
        if (element.isEmpty() || !document_) return;
        if (isSystemProfileName(attribute(element, L"name").c_str())) {
            settingsMessageBox(hwnd(), L"Can not delete the System Profile", L"Rec Profiles",
                               MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        forgetListItems();
        document_->removeItem(element);
        markChanged();
        fill(false, nullptr);
    }

    void advanced() {
        RecoOptions edited = options_;
        HINSTANCE module = getInstance() ? getInstance() : GetModuleHandleW(nullptr);
        if (DialogBoxParamW(module, L"ADV_RECO", hwnd(), AdvancedRecoDlgProc,
                            reinterpret_cast<LPARAM>(&edited)) != 1)
            return;
        options_ = edited;
        if (!(options_ == RecoOptions::fromSettings())) {
            changed();
            pending_ = true;
        }
        updateButtons();
    }

    // Saves the document and hands the options over; false when the file
    // could not be written (the edits stay in the page).
    bool applyChanges() {
        RecModule* m = module();
        // Without a change on the page there is nothing to save, and loading
        // the profiles again would only release every profile's context and
        // dictionaries.
        if (!document_ || !m || !pending_) return true;
        const RecoOptions before = RecoOptions::fromSettings();
        GeneralSettings& settings = generalSettings();
        if (!document_->save()) {
            const std::wstring text =
                L"The recognition profiles could not be saved to " +
                std::wstring(document_->path().c_str()) +
                L".\nYour changes are kept: apply them again once the file can be written.";
            settingsMessageBox(hwnd(), text.c_str(), L"Rec Profiles", MB_OK | MB_ICONEXCLAMATION);
            return false;
        }
        pending_ = false;
        settings.showCurrentRecProfile = options_.showCurrentRecProfile;
        settings.useContextReco = options_.useContextReco;
        settings.useAppFilters = options_.useAppFilters;
        settings.useProfileScope = options_.useProfileScope;
        if (before.useProfileScope != options_.useProfileScope) clearPendingProfileChoice(-1);
        HCURSOR old = SetCursor(LoadCursor(nullptr, IDC_WAIT));
        m->loadProfiles();
        m->loadMacros();
        SetCursor(old);
        return true;
    }

    bool apply(bool) override { return applyChanges(); }

    void languageChanged() {
        const std::wstring chosen = selectedLanguage();
        const std::wstring old = pageLanguage();
        if (chosen == old) return;
        if (pending_) {
            wchar_t text[512];
            wsprintfW(text,
                      L"Apply changes for %s Recognition Profiles?\nIf you'll choose \"No\" - "
                      L"changes will be ignored.",
                      old.c_str());
            const int answer = settingsMessageBox(hwnd(), text, L"Profiles Language Switch",
                                                  MB_YESNOCANCEL | MB_ICONQUESTION);
            if (answer == IDCANCEL) {
                SendMessageW(item(kLanguage), CB_SELECTSTRING, -1,
                             reinterpret_cast<LPARAM>(old.c_str()));
                return;
            }
            if (answer == IDYES) {
                pageLanguage() = old;
                if (!applyChanges()) {
                    SendMessageW(item(kLanguage), CB_SELECTSTRING, -1,
                                 reinterpret_cast<LPARAM>(old.c_str()));
                    return;
                }
            }
            pending_ = false;
        }
        fill(true, nullptr);
    }

    bool onControl(WORD id, WORD code, HWND) override {
        switch (id) {
            case kLanguage:
                if (code == CBN_SELCHANGE) languageChanged();
                return true;
            case kList:
                if (code == LBN_SELCHANGE) updateButtons();
                if (code == LBN_DBLCLK)
                    PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(kEdit, BN_CLICKED),
                                 reinterpret_cast<LPARAM>(item(kEdit)));
                return true;
            case kEdit:
                if (code == BN_CLICKED) editProfile(true, false);
                return true;
            case kNew:
                if (code == BN_CLICKED) editProfile(false, false);
                return true;
            case kCopy:
                if (code == BN_CLICKED) editProfile(true, true);
                return true;
            case kRemove:
                if (code == BN_CLICKED) removeProfile();
                return true;
            case kAdvanced:
                if (code == BN_CLICKED) advanced();
                return true;
        }
        return false;
    }

    std::unique_ptr<IxlScribixHelper> document_;
    bool pending_ = false;
    RecoOptions options_;
};

// Opens the help file beside the program at its part on bound profiles.
void openContextRecoHelp() {
    wchar_t path[500] = {};
    GetModuleFileNameW(nullptr, path, 499);
    wchar_t* slash = wcsrchr(path, L'\\');
    if (!slash) return;
    lstrcpynW(slash + 1, L"ScribixProHelp.html", static_cast<int>(500 - (slash + 1 - path)));
    wchar_t program[MAX_PATH] = {};
    if (reinterpret_cast<INT_PTR>(FindExecutableW(path, nullptr, program)) <= 32) return;
    std::wstring url = L"\"file:///";
    for (const wchar_t* c = path; *c; ++c) url += *c == L'\\' ? L'/' : *c;
    url += L"#contextreco\"";
    ShellExecuteW(getServiceWindow(), L"open", program, url.c_str(), nullptr, SW_SHOW);
}

// One run of the advanced options dialog: the page's copy of the options it
// edits, and the thread that made it.
struct AdvancedRecoRun {
    explicit AdvancedRecoRun(RecoOptions* edited) : options(edited) { owner.adopt(); }
    RecoOptions* options;
    win::OwnerThread owner{"advanced recognition options"};
};

}  // namespace

INT_PTR CALLBACK RecoPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    return SettingsPage::procedure<RecoPage>(page, message, wParam, lParam);
}

INT_PTR CALLBACK AdvancedRecoDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    AdvancedRecoRun* run = reinterpret_cast<AdvancedRecoRun*>(GetWindowLongPtrW(dialog, DWLP_USER));
    // The system calls it on the dialog's thread; a direct call from another
    // thread would work the dialog and the page's options off their owner.
    if (run) run->owner.check("AdvancedRecoDlgProc");
    RecoOptions* options = run ? run->options : nullptr;
    switch (message) {
        case WM_INITDIALOG: {
            options = reinterpret_cast<RecoOptions*>(lParam);
            run = new AdvancedRecoRun(options);
            SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
            CheckRadioButton(dialog, 3131, 3133, 3131 + options->useProfileScope);
            CheckDlgButton(dialog, 3128,
                           options->showCurrentRecProfile ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, 3129, options->useContextReco ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(dialog, 3136, options->useAppFilters ? BST_CHECKED : BST_UNCHECKED);
            HINSTANCE module = getInstance() ? getInstance() : GetModuleHandleW(nullptr);
            const struct {
                int control;
                UINT text;
            } statics[] = {{3134, IDS_ADV_SCOPE_INFO},
                           {3135, IDS_ADV_BINDING_INFO},
                           {3137, IDS_ADV_FILTER_INFO}};
            for (const auto& s : statics) {
                wchar_t text[512] = {};
                LoadStringW(module, s.text, text, 512);
                SetDlgItemTextW(dialog, s.control, text);
            }
            return TRUE;
        }
        case WM_COMMAND:
            if (!options) return FALSE;
            switch (LOWORD(wParam)) {
                case IDOK:
                    options->useProfileScope = IsDlgButtonChecked(dialog, 3133)   ? 2
                                               : IsDlgButtonChecked(dialog, 3132) ? 1
                                                                                  : 0;
                    options->showCurrentRecProfile = IsDlgButtonChecked(dialog, 3128) ? 1 : 0;
                    options->useContextReco = IsDlgButtonChecked(dialog, 3129) ? 1 : 0;
                    options->useAppFilters = IsDlgButtonChecked(dialog, 3136) ? 1 : 0;
                    EndDialog(dialog, 1);
                    return TRUE;
                case IDCANCEL:
                    EndDialog(dialog, 2);
                    return TRUE;
                case 3:
                    openContextRecoHelp();
                    return TRUE;
            }
            return FALSE;
        case WM_NCDESTROY:
            SetWindowLongPtrW(dialog, DWLP_USER, 0);
            delete run;
            return FALSE;
    }
    return FALSE;
}
