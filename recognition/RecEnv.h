// Engine discovery: every sub-folder of the program folder is an engine
// folder named after its language ("English"); the ones that hold
// "VexaScript.dll" carry the recognizer library.
#pragma once

#include <string>
#include <vector>

class RecEngineInfo {
  public:
    RecEngineInfo(std::wstring name, std::wstring folder, std::wstring libraryPath)
        : name(std::move(name)), folder(std::move(folder)), libraryPath(std::move(libraryPath)) {}
    virtual ~RecEngineInfo() = default;

    std::wstring name;         // the folder's own name: the language
    std::wstring folder;       // full path of the folder
    std::wstring libraryPath;  // folder + "\VexaScript.dll" when that file is there, else empty
};

class RecEnv {
  public:
    // Searches `baseFolder` (with or without a trailing "\"), or the folder of
    // the program's own file when it is null or empty.
    explicit RecEnv(const wchar_t* baseFolder);
    virtual ~RecEnv() = default;

    // In the order of the file system's search; hidden folders count too.
    const std::vector<RecEngineInfo>& engines() const { return engines_; }
    // The folder searched, with a trailing "\".
    const std::wstring& baseFolder() const { return baseFolder_; }

    // The folder of the program's own file, with a trailing "\".
    static std::wstring programFolder();
    // The folder a search of `baseFolder` looks in, with a trailing "\".
    static std::wstring resolveBaseFolder(const wchar_t* baseFolder);

  private:
    std::vector<RecEngineInfo> engines_;
    std::wstring baseFolder_;
};
