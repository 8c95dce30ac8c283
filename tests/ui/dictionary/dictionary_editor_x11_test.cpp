// The dialog "Edit User Dictionary" on the Xvfb, clicked with xdotool as a
// user would: imports from the clipboard and a text file through the import
// list, the import options, the context help, "Submit changes" (deleted words
// leave the dictionary, an unchanged list counts as cancelled), and the same
// over a real profile's user dictionary.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "core/AppGlobals.h"
#include "recognition/RecProfile.h"
#include "recognition/RecVexaModule.h"
#include "resources/resource.h"
#include "tests/recognition/RecTestSupport.h"
#include "tests/support/ModalDriver.h"
#include "tests/support/Screenshot.h"
#include "tests/support/TempDir.h"
#include "ui/dictionary/UserDictEditor.h"

namespace {

const std::string kReferences = SCRIBIX_DICTIONARY_REFERENCES;
const wchar_t kEditorTitle[] = L"Edit User Dictionary - personal";
const wchar_t kImportTitle[] = L"Import Words To User Dictionary";
const wchar_t kNoticeTitle[] = L"UserDict New Words Import";

using Words = std::vector<std::wstring>;

class FakeDictionary : public DictEditTarget {
  public:
    explicit FakeDictionary(Words words) : words_(words.begin(), words.end()) {}
    std::wstring name() const override { return L"personal"; }
    WordSet words() override { return words_; }
    bool knowsWord(const std::wstring& word) override { return mainWords.count(word) > 0; }
    LCID locale() const override { return MAKELCID(0x0409, SORT_DEFAULT); }
    bool replaceWords(const WordSet& words, std::wstring* refused) override {
        ++replaceCalls;
        if (!refuse.empty() && words.count(refuse)) {
            if (refused) *refused = refuse;
            return false;
        }
        words_.clear();
        for (const std::wstring& word : words)
            if (!knowsWord(word)) words_.insert(word);
        return true;
    }
    Words current() const { return Words(words_.begin(), words_.end()); }

    std::set<std::wstring> mainWords = {L"paris", L"house", L"and"};
    std::wstring refuse;  // a word the dictionary cannot take
    int replaceCalls = 0;

  private:
    WordSet words_;
};

void setClipboard(const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

// Waits for a window of this process captioned `caption` and gives it to `action`.
HWND waitFor(const wchar_t* caption) { return modal::waitForWindow(caption, 10000); }

// The dialog's client area: whether its caption shows active is the window
// manager's business, not the dialog's.
void expectShot(HWND window, const char* name) {
    RECT client;
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const screenshot::Result shot = screenshot::check(client, kReferences, name);
    EXPECT_TRUE(shot.ok) << name << ": " << shot.message;
}

// The text of the message box captioned `caption`, after it was clicked away.
std::wstring answerNotice(const wchar_t* caption) {
    HWND box = waitFor(caption);
    if (!box) return L"(no notice)";
    Sleep(200);
    const std::wstring text = modal::controlText(box, 0xFFFF);
    EXPECT_TRUE(modal::clickControl(box, IDOK));
    for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
    return text;
}

// The list of a dialog becomes `text` as the user's typing leaves it: the
// text is put in, then the user clicks into the list and types a letter and
// takes it back, so the edit control reports the change as for any typing.
void userEdits(HWND dialog, const std::wstring& text) {
    SetDlgItemTextW(dialog, IDC_DICT_LIST, text.c_str());
    EXPECT_TRUE(modal::clickControl(dialog, IDC_DICT_LIST));
    EXPECT_TRUE(hostshell::run("xdotool key ctrl+End type x && xdotool key BackSpace", 5000));
    Sleep(100);
    EXPECT_EQ(text, modal::controlText(dialog, IDC_DICT_LIST));
}

class DictionaryEditor : public ::testing::Test {
  protected:
    void SetUp() override {
        appGlobals().instance = GetModuleHandleW(nullptr);
        importFilter() = ImportFilter();
    }
};

// First of the dialog tests: the system's file dialog, once other dialogs of
// this process have come and gone, stays half made under Wine.
TEST_F(DictionaryEditor, TextFileWordsComeThroughTheOpenDialog) {
    TempDir dir;
    const std::wstring path = dir.file(L"words.txt");
    const std::string content = "Scribbles and doodles\r\nalpha SCRIBBLES\r\n";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);

    FakeDictionary dictionary({L"alpha"});
    std::wstring offered;
    modal::Driver driver(kEditorTitle, [&](HWND editor) {
        EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_FROM_FILE));
        HWND open = waitFor(L"Open");
        ASSERT_NE(nullptr, open);
        // The dialog is ready once it shows the folder it looks in.
        for (int i = 0; i < 100 && modal::controlText(open, 1137).empty(); ++i) Sleep(50);
        Sleep(300);
        // The file's path goes into the file name field; the user clicks Open.
        SetDlgItemTextW(open, 1148, path.c_str());
        EXPECT_EQ(path, modal::controlText(open, 1148));
        EXPECT_TRUE(modal::clickControl(open, IDOK));
        if (HWND import = waitFor(kImportTitle)) {
            Sleep(200);
            offered = modal::controlText(import, IDC_DICT_LIST);
            EXPECT_TRUE(modal::clickControl(import, IDCANCEL));
        }
        EXPECT_TRUE(modal::clickControl(editor, IDCANCEL));
    });
    EXPECT_EQ(2, runUserDictEditor(nullptr, dictionary));
    driver.join();
    EXPECT_EQ(L"doodles\r\nScribbles", offered);
    EXPECT_EQ((Words{L"alpha"}), dictionary.current()) << "a cancelled import adds nothing";
}

TEST_F(DictionaryEditor, ClipboardWordsJoinTheListAndSubmitReplacesTheDictionary) {
    FakeDictionary dictionary({L"alpha", L"Beta", L"gamma"});
    setClipboard(L"Write to me by e-mail. PARIS, alpha and zeta; x BETA zeta");
    std::wstring offered, notice, listAfterImport;
    bool submitEnabledAtStart = true;
    modal::Driver driver(kEditorTitle, [&](HWND editor) {
        submitEnabledAtStart = IsWindowEnabled(GetDlgItem(editor, IDC_DICT_SUBMIT)) != FALSE;
        expectShot(editor, "dict-edit");
        EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_FROM_CLIPBOARD));
        if (HWND import = waitFor(kImportTitle)) {
            Sleep(200);
            offered = modal::controlText(import, IDC_DICT_LIST);
            expectShot(import, "dict-import");
            EXPECT_TRUE(modal::clickControl(import, IDC_DICT_SUBMIT));
        }
        notice = answerNotice(kNoticeTitle);
        listAfterImport = modal::controlText(editor, IDC_DICT_LIST);
        // The user deletes "gamma" from the list.
        userEdits(editor, L"alpha\r\nBeta\r\ne-mail\r\nWrite\r\nzeta");
        EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_SUBMIT));
    });
    const INT_PTR result = runUserDictEditor(nullptr, dictionary);
    driver.join();
    EXPECT_FALSE(driver.closedByDriver());
    EXPECT_FALSE(submitEnabledAtStart);
    EXPECT_EQ(L"e-mail\r\nWrite\r\nzeta", offered)
        << "known words, the main dictionary's capitals and one letter stay out";
    EXPECT_EQ(L"3 new words added to dictionary list", notice);
    EXPECT_EQ(L"alpha\r\nBeta\r\ne-mail\r\ngamma\r\nWrite\r\nzeta", listAfterImport);
    EXPECT_EQ(1, result);
    EXPECT_EQ((Words{L"alpha", L"Beta", L"e-mail", L"Write", L"zeta"}), dictionary.current())
        << "the deleted word is gone from the dictionary";
}

TEST_F(DictionaryEditor, EditedImportListIsWhatJoins) {
    FakeDictionary dictionary({L"alpha"});
    setClipboard(L"kiwi mango papaya");
    std::wstring notice, list;
    modal::Driver driver(kEditorTitle, [&](HWND editor) {
        EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_FROM_CLIPBOARD));
        if (HWND import = waitFor(kImportTitle)) {
            // The user keeps two of the words and adds a one-letter line.
            userEdits(import, L"kiwi\r\npapaya\r\nq");
            EXPECT_TRUE(modal::clickControl(import, IDC_DICT_SUBMIT));
        }
        notice = answerNotice(kNoticeTitle);
        list = modal::controlText(editor, IDC_DICT_LIST);
        EXPECT_TRUE(modal::clickControl(editor, IDCANCEL));
    });
    EXPECT_EQ(2, runUserDictEditor(nullptr, dictionary));
    driver.join();
    EXPECT_EQ(L"2 new words added to dictionary list", notice);
    EXPECT_EQ(L"alpha\r\nkiwi\r\npapaya", list);
    EXPECT_EQ(0, dictionary.replaceCalls) << "Cancel saves nothing";
}

TEST_F(DictionaryEditor, NothingNewToImportSaysSoAndChangesNothing) {
    struct Case {
        const char* what;
        std::wstring clipboard;  // empty: the clipboard holds no text
    };
    const Case cases[] = {
        {"only known words", L"alpha Alpha house a"},
        {"no text", L""},
    };
    for (const Case& c : cases) {
        FakeDictionary dictionary({L"alpha"});
        if (c.clipboard.empty()) {
            ASSERT_TRUE(OpenClipboard(nullptr));
            EmptyClipboard();
            CloseClipboard();
        } else {
            setClipboard(c.clipboard);
        }
        std::wstring notice;
        bool submitEnabled = true;
        modal::Driver driver(kEditorTitle, [&](HWND editor) {
            EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_FROM_CLIPBOARD));
            notice = answerNotice(kNoticeTitle);
            submitEnabled = IsWindowEnabled(GetDlgItem(editor, IDC_DICT_SUBMIT)) != FALSE;
            EXPECT_TRUE(modal::clickControl(editor, IDCANCEL));
        });
        EXPECT_EQ(2, runUserDictEditor(nullptr, dictionary)) << c.what;
        driver.join();
        EXPECT_EQ(L"No new words found in the importing source", notice) << c.what;
        EXPECT_FALSE(submitEnabled) << c.what;
    }
}

TEST_F(DictionaryEditor, UnchangedOrOneLetterEditsEndAsCancelled) {
    struct Case {
        const char* what;
        const wchar_t* list;
        INT_PTR result;
        Words after;
    };
    const Case cases[] = {
        {"same words in another order",
         L"gamma\r\nalpha\r\nBeta",
         2,
         {L"alpha", L"Beta", L"gamma"}},
        {"a one-letter line", L"alpha\r\nBeta\r\ngamma\r\nq", 2, {L"alpha", L"Beta", L"gamma"}},
        {"a word deleted", L"alpha\r\ngamma", 1, {L"alpha", L"gamma"}},
        {"a word of the main dictionary",
         L"alpha\r\nBeta\r\ngamma\r\nhouse",
         1,
         {L"alpha", L"Beta", L"gamma"}},
    };
    for (const Case& c : cases) {
        FakeDictionary dictionary({L"alpha", L"Beta", L"gamma"});
        modal::Driver driver(kEditorTitle, [&](HWND editor) {
            userEdits(editor, c.list);
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(editor, IDC_DICT_SUBMIT))) << c.what;
            EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_SUBMIT));
        });
        EXPECT_EQ(c.result, runUserDictEditor(nullptr, dictionary)) << c.what;
        driver.join();
        EXPECT_FALSE(driver.closedByDriver()) << c.what;
        EXPECT_EQ(c.after, dictionary.current()) << c.what;
        EXPECT_EQ(c.result == 1 ? 1 : 0, dictionary.replaceCalls) << c.what;
    }
}

// A list the dictionary cannot take whole is refused with the word named;
// the dialog stays open with the user's list, and the dictionary is as it was.
TEST_F(DictionaryEditor, AListWithAWordTheDictionaryCannotTakeStaysOpen) {
    FakeDictionary dictionary({L"alpha", L"Beta"});
    dictionary.refuse = L"gamma";
    std::wstring notice, listAfter;
    modal::Driver driver(kEditorTitle, [&](HWND editor) {
        userEdits(editor, L"alpha\r\ngamma");
        EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_SUBMIT));
        notice = answerNotice(L"UserDict Word Error");
        listAfter = modal::controlText(editor, IDC_DICT_LIST);
        EXPECT_TRUE(modal::clickControl(editor, IDCANCEL));
    });
    EXPECT_EQ(2, runUserDictEditor(nullptr, dictionary));
    driver.join();
    EXPECT_FALSE(driver.closedByDriver());
    EXPECT_EQ(
        L"The word \"gamma\" cannot be added to the user dictionary.\nThe dictionary is unchanged.",
        notice);
    EXPECT_EQ(L"alpha\r\ngamma", listAfter) << "the user's list stays";
    EXPECT_EQ((Words{L"alpha", L"Beta"}), dictionary.current());
}

TEST_F(DictionaryEditor, ImportOptionsShowRefuseASmallMinimumAndReset) {
    FakeDictionary dictionary({L"alpha"});
    importFilter().insideSet = L"#";
    int shortHeight = 0, fullHeight = 0, shortAgain = 0;
    bool filterEnabledShort = true, filterEnabledFull = false;
    std::wstring minimum, inside, help, moreText;
    modal::Driver driver(kEditorTitle, [&](HWND editor) {
        RECT rect;
        GetWindowRect(editor, &rect);
        shortHeight = rect.bottom - rect.top;
        filterEnabledShort = IsWindowEnabled(GetDlgItem(editor, IDC_DICT_MIN_SIZE)) != FALSE;
        EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_MORE));
        Sleep(200);
        GetWindowRect(editor, &rect);
        fullHeight = rect.bottom - rect.top;
        filterEnabledFull = IsWindowEnabled(GetDlgItem(editor, IDC_DICT_MIN_SIZE)) != FALSE;
        moreText = modal::controlText(editor, IDC_DICT_MORE);
        // A minimum of 1 is refused when the field loses the focus.
        EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_MIN_SIZE));
        hostshell::run("xdotool key ctrl+a BackSpace type 1", 5000);
        EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_END_SET));
        Sleep(200);
        minimum = modal::controlText(editor, IDC_DICT_MIN_SIZE);
        EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_DEFAULTS));
        Sleep(200);
        inside = modal::controlText(editor, IDC_DICT_INSIDE_SET);
        // Context help follows the pointer.
        RECT more;
        GetWindowRect(GetDlgItem(editor, IDC_DICT_DEFAULTS), &more);
        hostshell::run("xdotool mousemove " + std::to_string((more.left + more.right) / 2) + " " +
                           std::to_string((more.top + more.bottom) / 2 + 1),
                       5000);
        Sleep(300);
        help = modal::controlText(editor, IDC_DICT_HELP);
        expectShot(editor, "dict-edit-more");
        EXPECT_TRUE(modal::clickControl(editor, IDC_DICT_MORE));
        Sleep(200);
        GetWindowRect(editor, &rect);
        shortAgain = rect.bottom - rect.top;
        EXPECT_TRUE(modal::clickControl(editor, IDCANCEL));
    });
    EXPECT_EQ(2, runUserDictEditor(nullptr, dictionary));
    driver.join();
    EXPECT_FALSE(filterEnabledShort);
    EXPECT_TRUE(filterEnabledFull);
    EXPECT_GT(fullHeight, shortHeight + 50);
    EXPECT_EQ(shortHeight, shortAgain);
    EXPECT_EQ(L"<< Less", moreText);
    EXPECT_EQ(L"3", minimum);
    EXPECT_EQ(3, importFilter().minimumSize);
    EXPECT_EQ(L"-.@'", inside);
    EXPECT_EQ(L"-.@'", importFilter().insideSet);
    EXPECT_EQ(L"Reset import options to default values.", help);
}

TEST(DictionaryHelp, EachControlHasItsText) {
    EXPECT_STREQ(L"Minimum word length to be imported.",
                 dictionaryHelpText(false, IDC_DICT_MIN_SIZE));
    EXPECT_STREQ(
        L"Save the list as the new user dictionary.Note: words present in the main "
        L"dictionary will be ignored. ",
        dictionaryHelpText(false, IDC_DICT_SUBMIT));
    EXPECT_STREQ(
        L"Import words from the clipboard.\n\rNote: only words absent both in main and user "
        L"dictionaries will be added. Use \"More >>\" to change import options.",
        dictionaryHelpText(false, IDC_DICT_FROM_CLIPBOARD));
    EXPECT_STREQ(L"Add words to dictionary list", dictionaryHelpText(true, IDC_DICT_SUBMIT));
    EXPECT_STREQ(L"", dictionaryHelpText(true, IDC_DICT_MORE));
    EXPECT_STREQ(L"", dictionaryHelpText(false, IDCANCEL));
}

// ---- over a real profile ----

std::vector<std::wstring> wordsOf(RecProfile& profile, const std::wstring& key) {
    std::vector<std::wstring> words;
    profile.enumUserDictWords(
        key,
        [](const wchar_t* word, void* out) {
            static_cast<std::vector<std::wstring>*>(out)->push_back(word);
            return 1;
        },
        &words);
    std::sort(words.begin(), words.end());
    return words;
}

// The English engine's default profile with a user dictionary that holds
// "Zorvane" and "scribbling".
class ProfileDictionary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(module.load());
        profile = module.findProfile(L"#sys-default");
        ASSERT_NE(nullptr, profile);
        key = profile->userDictKey(L"default");
        const UserDict* dictionary = profile->findUserDict(key.c_str());
        ASSERT_NE(nullptr, dictionary);
        ASSERT_TRUE(profile->addWord(dictionary->handle(), L"Zorvane"));
        ASSERT_TRUE(profile->addWord(dictionary->handle(), L"scribbling"));
    }
    rt::SettingsScope settings;
    TempDir data;
    RecVexaModule module{rt::englishLibrary(), L"English", data.path()};
    RecProfile* profile = nullptr;
    std::wstring key;
};

TEST_F(ProfileDictionary, ReplacingKeepsTheListAndDropsDeletedAndMainWords) {
    ASSERT_TRUE(profile->checkWord(L"house")) << "the main dictionary knows ordinary words";
    ProfileUserDict target(*profile, key, L"default");
    const WordSet shown = target.words();
    EXPECT_EQ((Words{L"scribbling", L"Zorvane"}), Words(shown.begin(), shown.end()));
    ASSERT_TRUE(target.replaceWords(WordSet{L"Zorvane", L"Vexascript", L"house"}));
    EXPECT_EQ((Words{L"Vexascript", L"Zorvane"}), wordsOf(*profile, key))
        << "scribbling was deleted; house is the main dictionary's";
}

// A word the engine cannot take (it has no letter of the module's code page)
// fails the whole replacement: the dictionary keeps the words it had, not the
// part of the new list that went in before the failure.
TEST_F(ProfileDictionary, AWordThatCannotBeAddedLeavesTheDictionaryAsItWas) {
    ProfileUserDict target(*profile, key, L"default");
    std::wstring refused;
    EXPECT_FALSE(target.replaceWords(WordSet{L"Aardvarkly", L"\u65e5\u672c\u8a9e"}, &refused));
    EXPECT_EQ(refused, L"\u65e5\u672c\u8a9e");
    EXPECT_EQ((Words{L"Zorvane", L"scribbling"}), wordsOf(*profile, key));
}

}  // namespace
