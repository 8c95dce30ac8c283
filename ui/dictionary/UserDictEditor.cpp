#include "UserDictEditor.h"

#include <commdlg.h>

#include <vector>

#include "ink/LocalInkManager.h"
#include "recognition/RecModule.h"
#include "recognition/RecProfile.h"
#include "resources/resource.h"
#include "core/AppGlobals.h"
#include "win/Dialog.h"
#include "win/WinString.h"

namespace {

constexpr wchar_t kImportTitle[] = L"UserDict New Words Import";

// The import settings stay shown or hidden for the run of the program.
bool g_moreShown = false;

const int kFilterControls[] = {IDC_DICT_MIN_SIZE,       IDC_DICT_START_SET,   IDC_DICT_INSIDE_SET,
                               IDC_DICT_END_SET,        IDC_DICT_DEFAULTS,    IDC_DICT_FILTER_GROUP,
                               IDC_DICT_MIN_SIZE_LABEL, IDC_DICT_START_LABEL, IDC_DICT_INSIDE_LABEL,
                               IDC_DICT_END_LABEL};

std::wstring itemText(HWND dialog, int id) { return win::windowText(GetDlgItem(dialog, id)); }

class WaitCursor {
  public:
    WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous_); }

  private:
    HCURSOR previous_;
};

// Keeps the help static in step with the control under the cursor.
class ContextHelp {
  public:
    explicit ContextHelp(bool importDialog) : importDialog_(importDialog) {}
    void onSetCursor(HWND dialog, HWND under) {
        if (under == last_) return;
        last_ = under;
        const int id = under && under != dialog ? GetDlgCtrlID(under) : 0;
        SetDlgItemTextW(dialog, IDC_DICT_HELP, dictionaryHelpText(importDialog_, id));
    }

  private:
    bool importDialog_;
    HWND last_ = nullptr;
};

class ImportDialog : public win::Dialog {
  public:
    explicit ImportDialog(const WordSet& words) : words_(words) {}
    WordSet accepted;

  protected:
    bool onInit() override {
        SetDlgItemTextW(hwnd(), IDC_DICT_LIST, joinWordList(words_).c_str());
        return true;
    }
    bool onCommand(WORD id, WORD) override {
        if (id == IDC_DICT_SUBMIT) {
            accepted = splitWordList(itemText(hwnd(), IDC_DICT_LIST), 2);
            end(IDOK);
            return true;
        }
        if (id == IDCANCEL) {
            end(IDCANCEL);
            return true;
        }
        return false;
    }
    bool onMessage(UINT message, WPARAM wParam, LPARAM, LRESULT*) override {
        if (message == WM_SETCURSOR) help_.onSetCursor(hwnd(), reinterpret_cast<HWND>(wParam));
        return false;
    }

  private:
    const WordSet& words_;
    ContextHelp help_{true};
};

class UserDictEditDlg : public win::Dialog {
  public:
    explicit UserDictEditDlg(DictEditTarget& target) : target_(target) {}

  protected:
    bool onInit() override {
        SetWindowTextW(hwnd(),
                       win::format(L"Edit User Dictionary - %ls", target_.name().c_str()).c_str());
        shown_ = target_.words();
        filling_ = true;
        SetDlgItemTextW(hwnd(), IDC_DICT_LIST, joinWordList(shown_).c_str());
        filling_ = false;
        fillFilter();
        RECT window, button;
        GetWindowRect(hwnd(), &window);
        GetWindowRect(GetDlgItem(hwnd(), IDC_DICT_MORE), &button);
        fullHeight_ = window.bottom - window.top;
        shortHeight_ = button.bottom + 8 - window.top;
        showMore(g_moreShown);
        EnableWindow(GetDlgItem(hwnd(), IDC_DICT_SUBMIT), FALSE);
        return true;
    }

    bool onCommand(WORD id, WORD notification) override {
        switch (id) {
            case IDC_DICT_LIST:
                if (notification == EN_CHANGE && !filling_) markChanged();
                return true;
            case IDC_DICT_MIN_SIZE:
                if (notification == EN_KILLFOCUS) {
                    BOOL ok = FALSE;
                    const int size = static_cast<int>(GetDlgItemInt(hwnd(), id, &ok, TRUE));
                    if (ok && size >= 2)
                        importFilter().minimumSize = size;
                    else
                        SetDlgItemInt(hwnd(), id, importFilter().minimumSize, TRUE);
                }
                return true;
            case IDC_DICT_START_SET:
                if (notification == EN_KILLFOCUS) importFilter().startSet = itemText(hwnd(), id);
                return true;
            case IDC_DICT_INSIDE_SET:
                if (notification == EN_KILLFOCUS) importFilter().insideSet = itemText(hwnd(), id);
                return true;
            case IDC_DICT_END_SET:
                if (notification == EN_KILLFOCUS) importFilter().endSet = itemText(hwnd(), id);
                return true;
            case IDC_DICT_DEFAULTS:
                resetImportFilter(importFilter());
                fillFilter();
                return true;
            case IDC_DICT_MORE:
                showMore(!g_moreShown);
                return true;
            case IDC_DICT_FROM_FILE:
                importFromFile();
                return true;
            case IDC_DICT_FROM_CLIPBOARD:
                importWords([this](const WordSet& known, WordSet& found) {
                    collect(clipboardText(hwnd()), known, found);
                });
                return true;
            case IDC_DICT_FROM_ADDRESS_BOOK:
                importWords([this](const WordSet& known, WordSet& found) {
                    struct Sink {
                        UserDictEditDlg* self;
                        const WordSet& known;
                        WordSet& found;
                    } sink{this, known, found};
                    importFromAddressBook(
                        [](const wchar_t* name, void* data) {
                            auto* s = static_cast<Sink*>(data);
                            s->self->collect(name, s->known, s->found);
                            return true;
                        },
                        &sink);
                });
                return true;
            case IDC_DICT_SUBMIT:
                submit();
                return true;
            case IDCANCEL:
                end(2);
                return true;
            default:
                return false;
        }
    }

    bool onMessage(UINT message, WPARAM wParam, LPARAM, LRESULT*) override {
        if (message == WM_SETCURSOR) help_.onSetCursor(hwnd(), reinterpret_cast<HWND>(wParam));
        return false;
    }

  private:
    void markChanged() {
        if (changed_) return;
        changed_ = true;
        EnableWindow(GetDlgItem(hwnd(), IDC_DICT_SUBMIT), TRUE);
    }

    void fillFilter() {
        const ImportFilter& filter = importFilter();
        SetDlgItemInt(hwnd(), IDC_DICT_MIN_SIZE, filter.minimumSize, TRUE);
        SetDlgItemTextW(hwnd(), IDC_DICT_START_SET, filter.startSet.c_str());
        SetDlgItemTextW(hwnd(), IDC_DICT_INSIDE_SET, filter.insideSet.c_str());
        SetDlgItemTextW(hwnd(), IDC_DICT_END_SET, filter.endSet.c_str());
    }

    void showMore(bool shown) {
        g_moreShown = shown;
        RECT window;
        GetWindowRect(hwnd(), &window);
        SetWindowPos(hwnd(), nullptr, 0, 0, window.right - window.left,
                     shown ? fullHeight_ : shortHeight_,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        for (int id : kFilterControls) EnableWindow(GetDlgItem(hwnd(), id), shown);
        SetDlgItemTextW(hwnd(), IDC_DICT_MORE, shown ? L"<< Less" : L"&More >>");
    }

    void collect(const std::wstring& text, const WordSet& known, WordSet& found) {
        const ImportFilter& filter = importFilter();
        extractNewWords(
            target_.locale(), [this](const std::wstring& word) { return target_.knowsWord(word); },
            text, filter.startSet, filter.insideSet, filter.endSet, filter.minimumSize, found,
            known, true);
    }

    template <typename Source>
    void importWords(Source source) {
        WordSet found;
        {
            WaitCursor wait;
            const WordSet known = splitWordList(itemText(hwnd(), IDC_DICT_LIST), 1);
            source(known, found);
        }
        confirmImport(found);
    }

    void importFromFile() {
        wchar_t path[MAX_PATH] = L"";
        OPENFILENAMEW open = {};
        open.lStructSize = sizeof open;
        open.hwndOwner = hwnd();
        open.lpstrFilter = L"Text Files\0*.txt\0All Files\0*.*\0";
        open.lpstrFile = path;
        open.nMaxFile = MAX_PATH;
        open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        if (!GetOpenFileNameW(&open)) return;
        importWords([&](const WordSet& known, WordSet& found) {
            readTextFileLines(path, [&](const std::wstring& line) { collect(line, known, found); });
        });
    }

    void confirmImport(const WordSet& found) {
        if (found.empty()) {
            MessageBoxW(hwnd(), L"No new words found in the importing source", kImportTitle,
                        MB_OK | MB_ICONINFORMATION);
            return;
        }
        ImportDialog dialog(found);
        if (dialog.runModal(getInstance(), L"DICT_IMPORT", hwnd()) != IDOK) return;
        WordSet list = splitWordList(itemText(hwnd(), IDC_DICT_LIST), 1);
        int added = 0;
        for (const std::wstring& word : dialog.accepted)
            if (list.insert(word).second) ++added;
        if (added > 0) {
            filling_ = true;
            SetDlgItemTextW(hwnd(), IDC_DICT_LIST, joinWordList(list).c_str());
            filling_ = false;
        }
        MessageBoxW(hwnd(), win::format(L"%d new words added to dictionary list", added).c_str(),
                    kImportTitle, MB_OK | MB_ICONINFORMATION);
        if (added > 0) markChanged();
    }

    static bool sameWords(const WordSet& a, const WordSet& b) {
        if (a.size() != b.size()) return false;
        for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y)
            if (*x != *y) return false;
        return true;
    }

    void submit() {
        if (!changed_) return;
        bool same = false, replaced = false;
        std::wstring refused;
        {
            WaitCursor wait;
            const WordSet words = splitWordList(itemText(hwnd(), IDC_DICT_LIST), 2);
            same = sameWords(words, shown_);
            if (!same) replaced = target_.replaceWords(words, &refused);
        }
        if (same || replaced) {
            end(replaced ? 1 : 2);
            return;
        }
        // The dictionary is as it was; the user's list stays to be mended.
        const std::wstring text =
            refused.empty()
                ? std::wstring(
                      L"The words cannot be added to the user dictionary.\nThe "
                      L"dictionary is unchanged.")
                : L"The word \"" + refused +
                      L"\" cannot be added to the user dictionary.\nThe dictionary is unchanged.";
        MessageBoxW(hwnd(), text.c_str(), L"UserDict Word Error", MB_OK | MB_ICONEXCLAMATION);
    }

    DictEditTarget& target_;
    WordSet shown_;
    bool changed_ = false;
    bool filling_ = false;
    int fullHeight_ = 0;
    int shortHeight_ = 0;
    ContextHelp help_{false};
};

struct HelpEntry {
    bool importDialog;
    int id;
    const wchar_t* text;
};

const HelpEntry kHelp[] = {
    {false, IDC_DICT_MIN_SIZE, L"Minimum word length to be imported."},
    {false, IDC_DICT_SUBMIT,
     L"Save the list as the new user dictionary.Note: words present in the main dictionary will "
     L"be ignored. "},
    {false, IDC_DICT_FROM_FILE,
     L"Import words from a text file.\n\rNote: only words absent both in main and user "
     L"dictionaries will be added. Use \"More >>\" to change import options."},
    {false, IDC_DICT_FROM_ADDRESS_BOOK,
     L"Import words from the Outlook Personal Address Book.\n\rNote: only words absent both in "
     L"main and user dictionaries will be added. Use \"More >>\" to change import options."},
    {false, IDC_DICT_LIST,
     L"Add, edit or remove words from this list as in a regular text editor. Press \"Submit "
     L"changes\" when done."},
    {false, IDC_DICT_DEFAULTS, L"Reset import options to default values."},
    {false, IDC_DICT_FROM_CLIPBOARD,
     L"Import words from the clipboard.\n\rNote: only words absent both in main and user "
     L"dictionaries will be added. Use \"More >>\" to change import options."},
    {false, IDC_DICT_MORE, L"Show/hide import options."},
    {false, IDC_DICT_START_SET, L"Allowed non-alphanumeric symbols in the beginning of the word."},
    {false, IDC_DICT_INSIDE_SET, L"Allowed non-alphanumeric symbols inside the word."},
    {false, IDC_DICT_END_SET, L"Allowed non-alphanumeric symbols at the end of the word."},
    {true, IDC_DICT_SUBMIT, L"Add words to dictionary list"},
    {true, IDC_DICT_LIST,
     L"This is the list of imported words. You may edit/add/remove words just like in a regular "
     L"text editor. Press \"Accept\" to add the original or edited list to the User Dictionary."},
};

}  // namespace

const wchar_t* dictionaryHelpText(bool importDialog, int controlId) {
    for (const HelpEntry& entry : kHelp)
        if (entry.importDialog == importDialog && entry.id == controlId) return entry.text;
    return L"";
}

INT_PTR runUserDictEditor(HWND owner, DictEditTarget& target) {
    MouseTransparentScope transparent;
    UserDictEditDlg dialog(target);
    const INT_PTR result = dialog.runModal(getInstance(), L"DICT_EDIT", owner);
    return result == 1 ? 1 : 2;
}

// ---- a profile's user dictionary ----

ProfileUserDict::ProfileUserDict(RecProfile& profile, std::wstring key, std::wstring name)
    : profile_(profile), key_(std::move(key)), name_(std::move(name)) {}

WordSet ProfileUserDict::words() {
    WordSet words;
    profile_.enumUserDictWords(
        key_,
        [](const wchar_t* word, void* data) {
            if (word && *word) static_cast<WordSet*>(data)->insert(word);
            return 1;
        },
        &words);
    return words;
}

bool ProfileUserDict::knowsWord(const std::wstring& word) {
    return profile_.checkWord(word.c_str());
}

LCID ProfileUserDict::locale() const {
    const RecModule* module = profile_.module();
    return module && module->localeLanguageId() ? MAKELCID(module->localeLanguageId(), SORT_DEFAULT)
                                                : LOCALE_USER_DEFAULT;
}

bool ProfileUserDict::replaceWords(const WordSet& words, std::wstring* refused) {
    if (refused) refused->clear();
    const UserDict* found = profile_.findUserDict(key_.c_str());
    if (!found) return false;
    const PSO_HUSERDICT handle = found->handle();
    // The dictionary takes the new words whole or keeps the old ones: what it
    // holds now is kept aside, and put back when a word cannot be added.
    const WordSet old = this->words();
    // Emptied first, so that the words the user deleted are gone and the
    // check asks only the main dictionary.
    if (!profile_.clearUserDict(key_)) return false;
    std::vector<std::wstring> added;
    for (const std::wstring& word : words)
        if (!profile_.checkWord(word.c_str())) added.push_back(word);
    for (const std::wstring& word : added) {
        if (profile_.addWord(handle, word.c_str())) continue;
        if (refused) *refused = word;
        profile_.clearUserDict(key_);
        for (const std::wstring& back : old) profile_.addWord(handle, back.c_str());
        profile_.addWord(handle, nullptr);  // the engine takes the list in again
        return false;
    }
    profile_.addWord(handle, nullptr);
    return true;
}
