// Helpers of the recognition tests: the installed engine folder beside the
// test program, program folders of their own, the messages the recognition
// side shows, handwriting as ink, and files read and written whole.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "../support/TempDir.h"
#include "Handwriting.h"
#include "ink/RecResult.h"
#include "recognition/RecWordList.h"
#include "recognition/RecMessages.h"
#include "recognition/RecVexaModule.h"

namespace rt {

// The folder of the test program, where the program and its "English"
// engine folder are laid out, without a trailing "\".
std::wstring binFolder();
// The installed English recognizer library.
std::wstring englishLibrary();

// Collects what the recognition side shows the user while it lives.
class MessageCollector {
  public:
    MessageCollector();
    ~MessageCollector();
    std::vector<std::wstring> texts() const;
    // True when some message holds `piece`.
    bool saw(const std::wstring& piece) const;
    void clear();
};

// Points the settings store at a registry key of its own for the test.
class SettingsScope {
  public:
    SettingsScope();
    ~SettingsScope();

  private:
    std::wstring key_;
};

// A loaded English module over the installed library, its user data in a
// fresh folder. Its profiles are loaded (written for the first time).
struct EnglishModule {
    EnglishModule();
    TempDir data;
    std::unique_ptr<RecVexaModule> module;
    std::wstring languageFolder() const { return data.path() + L"\\English"; }
};

// The ink of `text` as the program's ink point list.
std::vector<PSO_POINT> inkOf(const std::string& text, uint32_t seed = 7);

// One session on the profile with the ink in one call; the answers, or null.
std::unique_ptr<RecWordList> recognize(RecProfile& profile, const std::vector<PSO_POINT>& ink,
                                       bool stopAtWeakBlock = false);

// The first alternatives joined (the list's own join).
std::wstring textOf(const RecWordList& list);
// Every alternative of a word.
std::vector<std::wstring> altsOf(const RecWord& word);

std::string readBytes(const std::wstring& path);
bool writeBytes(const std::wstring& path, const std::string& bytes);
bool exists(const std::wstring& path);
std::string narrow(const std::wstring& text);

}  // namespace rt
