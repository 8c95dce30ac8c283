#include "ui/settings/ProfileEditor.h"

#include <algorithm>

#include "core/AppGlobals.h"
#include "recognition/LexiconTable.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "recognition/RecVexaModule.h"
#include "ui/dictionary/UserDictEditor.h"
#include "ui/settings/SettingsMessages.h"
#include "ui/settings/SettingsPage.h"
#include "win/Checks.h"
#include "xml/IxlScribixHelper.h"

namespace {

enum : int {
    kName = 3099,
    kDescription = 3100,
    kStandard = 3101,
    kCustom = 3103,
    kLexicon = 3104,
    kDictionary = 3105,
    kDictionaryEdit = 3075,
    kSeparateLetters = 3107,
    kNormal = 3109,
    kLexical = 3117,
    kOff = 3118,
    kAddSpace = 3113,
    kCapitals = 3112,
    kAllCapitals = 3115,
    kFirstCapital = 3108,
    kNoCapitals = 3116,
    kFusion = 3111,
    kHelp = 3114,
};

const wchar_t kNoDictionary[] = L"<none>";

bool sameTextNoCase(const std::wstring& a, const std::wstring& b) {
    return lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// A dictionary name that is a plain file name of the data folder.
bool isUsableDictionaryName(const std::wstring& name) {
    if (name.size() >= MAX_PATH) return false;
    return name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

class ProfileEditor {
  public:
    explicit ProfileEditor(HWND dialog, EdpDlgState* state) : dialog_(dialog), state_(state) {
        owner_.adopt();
    }

    void checkOwner(const char* operation) const { owner_.check(operation); }

    void open() {
        RecProfile& p = *state_->profile;
        if (p.name.empty()) SetWindowTextW(dialog_, L"New Profile");
        SetDlgItemTextW(dialog_, kName, p.name.c_str());
        SetDlgItemTextW(dialog_, kDescription, p.description.c_str());
        CheckRadioButton(dialog_, kStandard, kCustom, p.lexGenStandard ? kStandard : kCustom);
        fillLexiconCombo();
        selectLexicon(p.lexGenFile());
        fillDictionaryCombo();
        setChecked(kSeparateLetters, p.sepLet);
        int segmentation = kNormal;
        if (!p.wordSegm)
            segmentation = kOff;
        else if (p.wordMultiLine && state_->lexiconFiles)
            segmentation = kLexical;
        setSegmentation(segmentation);
        setChecked(kAddSpace, p.addSpaceAfter);
        setChecked(kCapitals, p.capitalization != kCapsNotSet);
        setChecked(kAllCapitals, p.capitalization == kCapsAll);
        setChecked(kFirstCapital, p.capitalization == kCapsFirst);
        setChecked(kNoCapitals, p.capitalization == kCapsNone);
        RecModule* module = p.module();
        const bool fusion = state_->lexiconFiles && module && module->hasGate() &&
                            module->languageName() == L"English";
        setChecked(kFusion, fusion && !p.gateDisabled);
        enable(kFusion, fusion);
        state_->changes = false;
        update(false);
    }

    INT_PTR command(WORD id, WORD code) {
        switch (id) {
            case IDOK:
                ok();
                return TRUE;
            case IDCANCEL:
                EndDialog(dialog_, 2);
                return TRUE;
            case kName:
            case kDescription:
                if (code == EN_CHANGE) changed(false);
                return TRUE;
            case kLexicon:
                if (code == CBN_SELENDOK || code == CBN_SELCHANGE || code == CBN_EDITCHANGE ||
                    code == CBN_EDITUPDATE)
                    changed(true);
                return TRUE;
            case kDictionary:
                if (code == CBN_SELENDOK || code == CBN_EDITCHANGE || code == CBN_EDITUPDATE)
                    changed(false);
                return TRUE;
            case kStandard:
            case kCustom:
                if (code == BN_CLICKED) {
                    fillLexiconCombo();
                    changed(true);
                }
                return TRUE;
            case kSeparateLetters:
            case kAddSpace:
            case kCapitals:
            case kAllCapitals:
            case kFirstCapital:
            case kNoCapitals:
            case kFusion:
                if (code == BN_CLICKED) changed(false);
                return TRUE;
            case kNormal:
            case kLexical:
            case kOff:
                if (code == BN_CLICKED) segmentationClicked(id);
                return TRUE;
            case kDictionaryEdit:
                if (code == BN_CLICKED) editDictionary();
                return TRUE;
        }
        return FALSE;
    }

    void showContextHelp(HWND window) {
        if (window == lastHelpWindow_) return;
        lastHelpWindow_ = window;
        int id =
            window && window != dialog_ && GetParent(window) == dialog_ ? GetDlgCtrlID(window) : 0;
        std::wstring help = id ? profileContextHelp(id, state_->lexiconFiles) : L"";
        if (help.empty() && window && GetParent(window) == item(kDictionary))
            help = profileContextHelp(kDictionary, state_->lexiconFiles);
        SetDlgItemTextW(dialog_, kHelp, help.c_str());
    }

  private:
    HWND item(int id) const { return GetDlgItem(dialog_, id); }
    bool checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    void setChecked(int id, bool on) {
        CheckDlgButton(dialog_, id, on ? BST_CHECKED : BST_UNCHECKED);
    }
    void enable(int id, bool on) { EnableWindow(item(id), on ? TRUE : FALSE); }
    std::wstring text(int id) const { return windowText(item(id)); }

    std::wstring chosenLexicon() const {
        HWND combo = item(kLexicon);
        const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
        if (index == CB_ERR) return L"";
        wchar_t name[MAX_PATH] = {};
        if (SendMessageW(combo, CB_GETLBTEXTLEN, index, 0) >= MAX_PATH) return L"";
        SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name));
        return name;
    }

    void fillLexiconCombo() {
        const std::wstring chosen = chosenLexicon();
        HWND combo = item(kLexicon);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        for (const std::wstring& name :
             profileEditorLexicons(*state_->profile, state_->lexiconFiles, checked(kStandard)))
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        if (!chosen.empty()) selectLexicon(chosen);
    }

    void selectLexicon(const std::wstring& name) {
        SendMessageW(item(kLexicon), CB_SELECTSTRING, -1, reinterpret_cast<LPARAM>(name.c_str()));
    }

    void fillDictionaryCombo() {
        HWND combo = item(kDictionary);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kNoDictionary));
        RecModule* module = state_->profile->module();
        if (module) {
            const std::wstring folder = module->dataFolder() + L"\\" + module->languageName();
            const std::wstring extension = module->getUserDictExtension();
            WIN32_FIND_DATAW found;
            HANDLE search = FindFirstFileW((folder + L"\\*" + extension).c_str(), &found);
            if (search != INVALID_HANDLE_VALUE) {
                do {
                    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
                    std::wstring name = found.cFileName;
                    if (name.size() > extension.size()) name.resize(name.size() - extension.size());
                    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
                } while (FindNextFileW(search, &found));
                FindClose(search);
            }
        }
        const std::vector<std::wstring>& dictionaries = state_->profile->userDicts;
        SetWindowTextW(combo, dictionaries.empty() ? kNoDictionary : dictionaries.front().c_str());
    }

    std::wstring dictionaryName() const {
        const std::vector<std::wstring>& dictionaries = state_->profile->userDicts;
        if (!dictionaries.empty() && !dictionaries.front().empty()) return dictionaries.front();
        return text(kDictionary);
    }

    int presetOfChosenLexicon() const {
        return lexiconSegmentationPreset(state_->lexiconFiles, checked(kStandard), chosenLexicon());
    }

    void setSegmentation(int radio) {
        for (int id : {kNormal, kLexical, kOff}) setChecked(id, id == radio);
    }

    void update(bool presetSegmentation) {
        const bool system = state_->systemProfile;
        const bool files = state_->lexiconFiles;
        if (system && files) {
            for (int id : {kName, kLexicon, kDictionary, kStandard, kCustom}) enable(id, false);
            if (!state_->defaultProfile) {
                for (int id : {kDictionaryEdit, kSeparateLetters, kNormal, kAddSpace, kCapitals,
                               kAllCapitals, kFirstCapital, kNoCapitals, kFusion})
                    enable(id, false);
                updateOk();
                return;
            }
        }
        if (system && !files)
            for (int id : {kName, kDictionary, kDictionaryEdit, kLexicon}) enable(id, false);
        if (!files)
            for (int id : {kStandard, kCustom, kSeparateLetters, kFusion, kLexical})
                enable(id, false);
        const bool capitals = checked(kCapitals);
        for (int id : {kAllCapitals, kFirstCapital, kNoCapitals}) enable(id, capitals);
        if (capitals) {
            if (!checked(kAllCapitals) && !checked(kFirstCapital) && !checked(kNoCapitals)) {
                setChecked(kFirstCapital, true);
                state_->changes = true;
            }
        } else {
            for (int id : {kAllCapitals, kFirstCapital, kNoCapitals}) setChecked(id, false);
        }
        if (!system) enable(kDictionary, !(files && state_->dictionaryEdited));
        if (!(system && !files)) {
            const std::wstring dictionary = dictionaryName();
            enable(kDictionaryEdit, !dictionary.empty() && dictionary != kNoDictionary);
        }
        if (presetSegmentation) {
            if (files) {
                const int preset = presetOfChosenLexicon();
                setSegmentation(preset == 1 ? kNormal : preset == 3 ? kOff : kLexical);
            } else {
                setSegmentation(kNormal);
            }
        }
        updateOk();
    }

    void updateOk() {
        const bool ok = state_->changes && !text(kName).empty() &&
                        (!state_->lexiconFiles || !chosenLexicon().empty());
        enable(IDOK, ok);
    }

    void changed(bool presetSegmentation) {
        state_->changes = true;
        update(presetSegmentation);
    }

    void segmentationClicked(int id) {
        if (state_->lexiconFiles && checked(kStandard)) {
            const std::wstring lexicon = chosenLexicon();
            const LexiconEntry* entry = lexicon.empty() ? nullptr : LexiconTable::find(lexicon);
            if (entry) {
                const int preset = entry->segmentationPreset;
                const int presetRadio = preset == 1 ? kNormal : preset == 3 ? kOff : kLexical;
                if (presetRadio != id) {
                    wchar_t text[600];
                    const std::wstring presetText = windowText(item(presetRadio));
                    wsprintfW(text,
                              L"The preset word segmentation mode for this lexicon is \"%s\";"
                              L"changing it may decrease recognition accuracy.\nPress \"Yes\" to "
                              L"confirm the change or \"No\" to return to the preset mode.",
                              presetText.c_str());
                    if (settingsMessageBox(dialog_, text, L"Profile Editor",
                                           MB_YESNO | MB_ICONQUESTION) == IDNO)
                        setSegmentation(presetRadio);
                }
            }
        }
        changed(false);
    }

    // Runs the user dictionary editor on the profile's dictionary, loaded
    // into the profile (and its own recognition context) on the first run;
    // storing the profile saves it. A first run that is cancelled takes the
    // dictionary out again, so that the profile never holds one the user
    // did not accept, and another name can be edited instead.
    void editDictionary() {
        RecProfile& profile = *state_->profile;
        const bool first = !state_->dictionaryEdited || profile.loadedUserDicts().empty();
        bool madeContext = false;
        std::wstring key;
        if (first) {
            // The name "&Ok" would refuse is refused here too, before any
            // file of that name is prepared.
            const std::wstring typed = text(kDictionary);
            if (typed != kNoDictionary && !isUsableDictionaryName(typed)) {
                settingsMessageBox(dialog_, L"Wrong name for user dictionary",
                                   L"UserDict Name Error", MB_OK | MB_ICONEXCLAMATION);
                return;
            }
            storeControls();
            if (profile.userDicts.empty()) return;
            key = profile.userDictKey(profile.userDicts.front());
            const bool wasLoaded = profile.findUserDict(key.c_str()) != nullptr;
            if (!profile.hasRecContext()) {
                if (!profile.createRecContext()) return;
                madeContext = true;
            }
            if (!profile.loadUserDict(profile.userDicts.front(), false)) return;
            if (wasLoaded) key.clear();  // not prepared here: nothing to drop
        }
        const std::wstring name = profile.userDicts.front();
        ProfileUserDict target(profile, profile.userDictKey(name), name);
        if (runUserDictEditor(dialog_, target) == 1) {
            state_->dictionaryEdited = true;
            changed(false);
            return;
        }
        if (!first) return;
        if (madeContext)
            profile.releaseRecContext();  // the prepared dictionary goes with it
        else if (!key.empty())
            profile.dropUserDict(key);
        update(false);
    }

    void storeControls() {
        RecProfile& p = *state_->profile;
        p.name = text(kName);
        p.description = text(kDescription);
        p.lexGenStandard = checked(kStandard);
        const std::wstring lexicon = chosenLexicon();
        if (!lexicon.empty()) p.setLexGenFile(lexicon);
        const std::wstring dictionary = text(kDictionary);
        p.userDicts.clear();
        if (!dictionary.empty() && dictionary != kNoDictionary) p.userDicts.push_back(dictionary);
        p.sepLet = checked(kSeparateLetters);
        // Normal (1, 0, 0), Lexical (1, 1, 1), Off (0, 0, 1).
        if (checked(kOff)) {
            p.wordSegm = false, p.softBreaksOnly = false, p.wordMultiLine = true;
        } else if (checked(kLexical)) {
            p.wordSegm = true, p.softBreaksOnly = true, p.wordMultiLine = true;
        } else {
            p.wordSegm = true, p.softBreaksOnly = false, p.wordMultiLine = false;
        }
        p.addSpaceAfter = checked(kAddSpace);
        if (!checked(kCapitals))
            p.capitalization = kCapsNotSet;
        else
            p.capitalization = checked(kAllCapitals)  ? kCapsAll
                               : checked(kNoCapitals) ? kCapsNone
                                                      : kCapsFirst;
        p.gateDisabled = !checked(kFusion);
    }

    void ok() {
        if (!state_->profile) {
            EndDialog(dialog_, 2);
            return;
        }
        const std::wstring name = text(kName);
        if (name.find(L' ') != std::wstring::npos) {
            settingsMessageBox(dialog_, L"No spaces are allowed in the profile name",
                               L"Profile Name Error", MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        if (name.empty()) {
            settingsMessageBox(dialog_, L"No profile name is specified", L"Profile Name Error",
                               MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        const std::wstring dictionary = text(kDictionary);
        if (dictionary != kNoDictionary && !isUsableDictionaryName(dictionary)) {
            settingsMessageBox(dialog_, L"Wrong name for user dictionary", L"UserDict Name Error",
                               MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        if (name != state_->nameAtOpening) {
            if (isSystemProfileName(name.c_str())) {
                settingsMessageBox(dialog_, L"The profile name is reserved for system usage.",
                                   L"Profile Editor", MB_OK | MB_ICONEXCLAMATION);
                return;
            }
            CLiteElem existing;
            if (state_->document && state_->document->findItemByName(existing, name.c_str()) &&
                settingsMessageBox(dialog_,
                                   L"Another profile with this name is found.\nDo you want to "
                                   L"replace it.",
                                   L"Profile Editor", MB_YESNO | MB_ICONQUESTION) == IDNO)
                return;
        }
        storeControls();
        EndDialog(dialog_, 1);
    }

    HWND dialog_;
    win::OwnerThread owner_{"profile editor"};
    EdpDlgState* state_;
    HWND lastHelpWindow_ = nullptr;
};

}  // namespace

void prepareProfileEditor(EdpDlgState& state, RecProfile* profile,
                          const IxlScribixHelper* document) {
    state = EdpDlgState();
    state.profile = profile;
    state.document = document;
    if (!profile) return;
    state.nameAtOpening = profile->name;
    state.systemProfile = isSystemProfileName(profile->name.c_str());
    state.defaultProfile = profile->name == L"#sys-default";
    state.lexiconFiles = dynamic_cast<RecVexaModule*>(profile->module()) != nullptr;
}

std::vector<std::wstring> profileEditorLexicons(const RecProfile& profile, bool lexiconFiles,
                                                bool standard) {
    std::vector<std::wstring> names;
    if (!lexiconFiles) {
        for (const LexiconEntry& entry : LexiconTable::entries())
            if (entry.offeredForPlatform) names.push_back(entry.name);
        return names;
    }
    RecModule* module = profile.module();
    if (!module) return names;
    const std::wstring folder =
        standard ? module->engineFolder() + L"\\standard"
                 : module->dataFolder() + L"\\" + module->languageName() + L"\\custom";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*.ban").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::wstring name = found.cFileName;
        if (name.size() <= 4 || !sameTextNoCase(name.substr(name.size() - 4), L".ban")) continue;
        names.push_back(name.substr(0, name.size() - 4));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

int lexiconSegmentationPreset(bool lexiconFiles, bool standard, const std::wstring& lexicon) {
    if (!lexiconFiles) return 1;
    if (!standard || lexicon.empty()) return 2;
    const LexiconEntry* entry = LexiconTable::find(lexicon);
    return entry ? entry->segmentationPreset : 2;
}

std::wstring profileContextHelp(int controlId, bool lexiconFiles) {
    switch (controlId) {
        case 1:
            return L"Accept changes and close the dialog box.";
        case 2:
            return L"Close the dialog box without any changes.";
        case kName:
            return L"Profile names will appear in the list and will be displayed in target "
                   L"applications and forms fields.";
        case kDescription:
            return L"Add a brief description of profile.";
        case kStandard:
            return lexiconFiles ? L"Standard lexicons are vocabularies and data templates shipping "
                                  L"with Scribix."
                                : L"Standard lexicons are vocabularies and data templates shipping "
                                  L"with TabletPC recognition (factoids).";
        case kCustom:
            return lexiconFiles
                       ? L"You can create custom lexicons using Scribix Pro\u2019s lexical "
                         L"utility."
                       : L"";
        case kLexicon:
            return lexiconFiles
                       ? L"List of pre-built and custom lexicons: choose a lexicon for your "
                         L"current "
                         L"recognition profile. If you want only the words from your custom User "
                         L"dictionary recognized, choose the \"empty\" lexicon. If you don\u2019t "
                         L"want to limit recognition to special vocabularies or data templates, "
                         L"leave the \"default\" lexicon."
                       : L"List of pre-built and custom lexicons: choose a lexicon for your "
                         L"current "
                         L"recognition profile. ";
        case kDictionary:
            return L"Optional user dictionary: type in dictionary name and press \"Edit\" to enter "
                   L"or import additional terms such as customer or product names. You can also "
                   L"select previously created user dictionary.";
        case kSeparateLetters:
            return L"Writing in separate letters only is allowed for this profile.";
        case kFirstCapital:
            return L"Capitalize first letter of each word.";
        case kNormal:
            return lexiconFiles
                       ? L"Standard mode \u2013 your handwritten words on one or several lines of "
                         L"text will be separated by spaces. Use this mode for regular text, "
                         L"especially with the default lexicon."
                       : L"Standard mode \u2013 your handwritten words on one or several lines of "
                         L"text will be separated by spaces. ";
        case kCapitals:
            return L"Apply special rules for word capitalization.";
        case kAddSpace:
            return L"Augment recognized text with a space.";
        case kAllCapitals:
            return L"Display text in capital letters.";
        case kNoCapitals:
            return L"Display text in small letters.";
        case kLexical:
            return lexiconFiles
                       ? L"Improves recognition with non-default lexicons whose entries include "
                         L"spaces, such as a date (\"March 12, 2024\") or a full name (\"John "
                         L"Smith\"); your writing may wrap over several lines."
                       : L"";
        case kOff:
            return L"Your writing on one or several lines of text will produce a single word "
                   L"without spaces. Use this mode to write emails, web addresses and form fields "
                   L"where strictly one word is required. Do not use it if your text includes "
                   L"spaces between words.";
    }
    return L"";
}

bool storeProfileIntoDocument(IxlScribixHelper& document, const std::wstring& nameAtOpening,
                              RecProfile& profile) {
    // A profile the page edits holds only the dictionaries its editor
    // prepared and the user accepted (a cancelled first edit drops its own):
    // each is saved, not only the one whose name sorts first.
    std::vector<std::wstring> keys;
    for (const auto& loaded : profile.loadedUserDicts()) keys.push_back(loaded.first);
    for (const std::wstring& key : keys) profile.saveUserDict(key, true);
    CLiteElem root;
    if (!document.dom().getRoot(root)) return false;
    // The profile's element, made under a scratch parent and copied from there.
    CLiteElem scratch(L"profiles");
    CLiteElem written;
    if (!profile.saveToXml(scratch) || !scratch.getChildElement(written, 0)) return false;

    CLiteElem sameName, oldName;
    bool replaced = false;
    if (root.findChildByAttr(sameName, L"profile", L"name", profile.name.c_str())) {
        sameName.copyContentFrom(written);
        replaced = true;
    }
    const bool renamed = !nameAtOpening.empty() && nameAtOpening != profile.name;
    if (renamed && root.findChildByAttr(oldName, L"profile", L"name", nameAtOpening.c_str())) {
        if (replaced) return root.removeChild(oldName);
        oldName.copyContentFrom(written);
        return true;
    }
    if (replaced) return true;
    CLiteElem appended(L"profile");
    appended.copyContentFrom(written);
    return root.appendChild(appended);
}

INT_PTR CALLBACK ProfileEditorDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ProfileEditor* editor = reinterpret_cast<ProfileEditor*>(GetWindowLongPtrW(dialog, DWLP_USER));
    // The system calls it on the editor's thread; a direct call from another
    // thread would work the editor and its state off their owner.
    if (editor) editor->checkOwner("ProfileEditorDlgProc");
    switch (message) {
        case WM_INITDIALOG: {
            EdpDlgState* state = reinterpret_cast<EdpDlgState*>(lParam);
            editor = new ProfileEditor(dialog, state);
            SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(editor));
            if (state && state->profile) editor->open();
            return TRUE;
        }
        case WM_COMMAND:
            return editor ? editor->command(LOWORD(wParam), HIWORD(wParam)) : FALSE;
        case WM_SETCURSOR:
            if (editor) editor->showContextHelp(reinterpret_cast<HWND>(wParam));
            return FALSE;
        case WM_NCDESTROY:
            SetWindowLongPtrW(dialog, DWLP_USER, 0);
            delete editor;
            return FALSE;
    }
    return FALSE;
}

INT_PTR runProfileEditor(HWND owner, EdpDlgState& state) {
    HINSTANCE module = getInstance() ? getInstance() : GetModuleHandleW(nullptr);
    return DialogBoxParamW(module, L"PROFILE_VEXA_EDIT", owner, ProfileEditorDlgProc,
                           reinterpret_cast<LPARAM>(&state));
}
