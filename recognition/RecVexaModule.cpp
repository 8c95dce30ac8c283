#include "recognition/RecVexaModule.h"

#include <cstring>
#include <new>

#include "recognition/RecWordList.h"
#include "recognition/RecMessages.h"
#include "core/Trace.h"
#include "xml/XMLPlatform.h"

namespace {

// A dump of a user dictionary in the current format begins with these 18 bytes.
const char kDictHeader[] = "Nubo dict v.1.01  ";
constexpr size_t kDictHeaderSize = 18;
static_assert(sizeof(kDictHeader) == kDictHeaderSize + 1, "the header is 18 bytes");

constexpr int kTextBuffer = PSO_TEXT_BUFFER;  // bytes of a word's 8-bit text
constexpr int kWordIntegers = 100;            // stroke numbers kept per word
constexpr int kVariantRecord = PSO_VARIANT_RECORD;
constexpr int kInfoBuffer = 512;

enum class ReadResult { kRead, kMissing, kFailed };

// The largest dictionary or lexicon file read, and the largest dump of a
// dictionary taken from the library: far above any real word list, and a
// size from a file or another library never sizes an allocation beyond it.
constexpr int64_t kMaxDictionaryBytes = int64_t(64) << 20;

// The whole file. A missing file is told apart from one that exists but
// cannot be opened or read (or is larger than any word list).
ReadResult readWholeFile(const wchar_t* path, std::vector<uint8_t>& out) {
    out.clear();
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadResult::kMissing
                                                                              : ReadResult::kFailed;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart > 0;
    if (ok && size.QuadPart > kMaxDictionaryBytes) {
        debugTrace(L"readWholeFile: %s holds %I64d bytes, more than a word list has\n", path,
                   size.QuadPart);
        ok = false;
    }
    if (ok) {
        out.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &read, nullptr) &&
             read == out.size();
    }
    CloseHandle(file);
    if (!ok) out.clear();
    return ok ? ReadResult::kRead : ReadResult::kFailed;
}

std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool equalsIgnoringCase(const std::wstring& a, const wchar_t* b) {
    return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b, -1) == CSTR_EQUAL;
}

struct EnumAdapterRecord {
    void* parameter;
    UserDictWordCallback callback;
    const ModuleLocale* locale;
};

int32_t PSO_CALL enumAdapter(const char* word, void* param) {
    const EnumAdapterRecord* r = static_cast<const EnumAdapterRecord*>(param);
    if (!word || !*word) return 0;
    const std::wstring wide = r->locale->toWide(word);
    return r->callback(wide.c_str(), r->parameter);
}

}  // namespace

// ---- the gate probe ----

bool probeGateLibrary(const std::wstring& engineFolder) {
    CurrentDirectoryScope scope(engineFolder);
    const std::wstring path = engineFolder + L"\\Gate_T.dll";
    HMODULE gate = LoadLibraryW(path.c_str());
    if (!gate) return false;
    auto create = reinterpret_cast<decltype(&::PSO_CreateRecognitionContext)>(
        GetProcAddress(gate, "PSO_CreateRecognitionContext"));
    auto remove = reinterpret_cast<decltype(&::PSO_DeleteRecognitionContext)>(
        GetProcAddress(gate, "PSO_DeleteRecognitionContext"));
    bool ok = false;
    if (create && remove) {
        if (PSO_HRC context = create()) {
            remove(context);
            ok = true;
        }
    }
    FreeLibrary(gate);
    return ok;
}

// ---- life cycle ----

RecVexaModule::RecVexaModule(const std::wstring& libraryPath, const std::wstring& languageName,
                             const std::wstring& dataFolder)
    : RecModule(languageName, dataFolder), libraryPath_(libraryPath) {}

RecVexaModule::~RecVexaModule() {
    releaseProfiles();
    if (library_) FreeLibrary(library_);
}

bool RecVexaModule::load() {
    if (!library_) {
        // The library's own folder is the engine folder: its lexicons and the
        // gate library lie beside it.
        const std::wstring folder = folderOf(libraryPath_);
        setEngineFolder(folder);
        CurrentDirectoryScope scope(folder);
        library_ = LoadLibraryW(libraryPath_.c_str());
    }
    if (!library_) return false;
    bindEntries();
    return RecModule::load();
}

void RecVexaModule::bindEntries() {
    auto bind = [this](auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
            GetProcAddress(library_, name));
        if (!entry) debugTrace(L"RecVexaModule: the library has no %S\n", name);
    };
    bind(pso_.GetRecognizerInfo, "PSO_GetRecognizerInfo");
    bind(pso_.CreateRecognitionContext, "PSO_CreateRecognitionContext");
    bind(pso_.DeleteRecognitionContext, "PSO_DeleteRecognitionContext");
    bind(pso_.StartRecognitionSession, "PSO_StartRecognitionSession");
    bind(pso_.EndRecognitionSession, "PSO_EndRecognitionSession");
    bind(pso_.AddInkToRecSession, "PSO_AddInkToRecSession");
    bind(pso_.SetExtraSessionParameters, "PSO_SetExtraSessionParameters");
    bind(pso_.GetNumAnswerBlocks, "PSO_GetNumAnswerBlocks");
    bind(pso_.GetNumWordsInAnswerBlock, "PSO_GetNumWordsInAnswerBlock");
    bind(pso_.GetWordFromAnswerBlock, "PSO_GetWordFromAnswerBlock");
    bind(pso_.GetAnswerConfidence, "PSO_GetAnswerConfidence");
    bind(pso_.GetExtraAnswerData, "PSO_GetExtraAnswerData");
    bind(pso_.GetNumStrokes, "PSO_GetNumStrokes");
    bind(pso_.GetStrokeLen, "PSO_GetStrokeLen");
    bind(pso_.GetStroke, "PSO_GetStroke");
    bind(pso_.AddLexGeneratorToRecContext, "PSO_AddLexGeneratorToRecContext");
    bind(pso_.AddUserDictToRecContext, "PSO_AddUserDictToRecContext");
    bind(pso_.DumpUserDictToMemoryBuffer, "PSO_DumpUserDictToMemoryBuffer");
    bind(pso_.UserDict_Features, "PSO_UserDict_Features");
    bind(pso_.UserDict_AddWord, "PSO_UserDict_AddWord");
    bind(pso_.UserDict_Clear, "PSO_UserDict_Clear");
    bind(pso_.UserDict_EnumWords, "PSO_UserDict_EnumWords");
    bind(pso_.RemoveUserDictFromRecContext, "PSO_RemoveUserDictFromRecContext");
}

// ---- the library's functions ----
// A function the library lacks answers "not supported" (or its failure value).

int32_t RecVexaModule::PSO_GetRecognizerInfo(int32_t kind, char* buffer) {
    return pso_.GetRecognizerInfo ? pso_.GetRecognizerInfo(kind, buffer) : PSO_ERR_NOT_SUPPORTED;
}

PSO_HRC RecVexaModule::PSO_CreateRecognitionContext() {
    if (!pso_.CreateRecognitionContext) return nullptr;
    CurrentDirectoryScope scope(engineFolder());
    return pso_.CreateRecognitionContext();
}

int32_t RecVexaModule::PSO_DeleteRecognitionContext(PSO_HRC context) {
    return pso_.DeleteRecognitionContext ? pso_.DeleteRecognitionContext(context)
                                         : PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_StartRecognitionSession(PSO_HRC context,
                                                   const PSO_SESSION_START* start) {
    return pso_.StartRecognitionSession ? pso_.StartRecognitionSession(context, start)
                                        : PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_EndRecognitionSession(PSO_HRC context) {
    return pso_.EndRecognitionSession ? pso_.EndRecognitionSession(context) : PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_AddInkToRecSession(PSO_HRC context, const PSO_POINT* points,
                                              int32_t count, int32_t reserved,
                                              int32_t* strokesAdded, int32_t source) {
    return pso_.AddInkToRecSession
               ? pso_.AddInkToRecSession(context, points, count, reserved, strokesAdded, source)
               : PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_SetExtraSessionParameters(PSO_HRC context, int32_t kind,
                                                     intptr_t value) {
    return pso_.SetExtraSessionParameters ? pso_.SetExtraSessionParameters(context, kind, value)
                                          : PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_GetNumAnswerBlocks(PSO_HRC context) {
    return pso_.GetNumAnswerBlocks ? pso_.GetNumAnswerBlocks(context) : -PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_GetNumWordsInAnswerBlock(PSO_HRC context, int32_t block) {
    return pso_.GetNumWordsInAnswerBlock ? pso_.GetNumWordsInAnswerBlock(context, block)
                                         : -PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_GetWordFromAnswerBlock(PSO_HRC context, int32_t block,
                                                  int32_t alternative, char* text, int32_t* weight,
                                                  int32_t* strokes, int32_t* strokeCount,
                                                  int32_t room) {
    return pso_.GetWordFromAnswerBlock
               ? pso_.GetWordFromAnswerBlock(context, block, alternative, text, weight, strokes,
                                             strokeCount, room)
               : PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_GetAnswerConfidence(PSO_HRC context, int32_t block,
                                               int32_t* confidence) {
    return pso_.GetAnswerConfidence ? pso_.GetAnswerConfidence(context, block, confidence)
                                    : PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_GetExtraAnswerData(PSO_HRC context, int32_t block, int32_t alternative,
                                              int32_t request, int32_t index, void* buffer) {
    return pso_.GetExtraAnswerData
               ? pso_.GetExtraAnswerData(context, block, alternative, request, index, buffer)
               : -1;
}

int32_t RecVexaModule::PSO_GetNumStrokes(PSO_HRC context) {
    return pso_.GetNumStrokes ? pso_.GetNumStrokes(context) : -PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_GetStrokeLen(PSO_HRC context, int32_t stroke) {
    return pso_.GetStrokeLen ? pso_.GetStrokeLen(context, stroke) : -PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_GetStroke(PSO_HRC context, int32_t stroke, PSO_POINT* buffer,
                                     int32_t room) {
    return pso_.GetStroke ? pso_.GetStroke(context, stroke, buffer, room) : -PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_AddLexGeneratorToRecContext(PSO_HRC context, const void* bytes,
                                                       int32_t length) {
    return pso_.AddLexGeneratorToRecContext
               ? pso_.AddLexGeneratorToRecContext(context, bytes, length)
               : PSO_ERR_NOT_SUPPORTED;
}

PSO_HUSERDICT RecVexaModule::PSO_AddUserDictToRecContext(PSO_HRC context, const void* bytes) {
    return pso_.AddUserDictToRecContext ? pso_.AddUserDictToRecContext(context, bytes) : nullptr;
}

int32_t RecVexaModule::PSO_DumpUserDictToMemoryBuffer(PSO_HRC context, PSO_HUSERDICT dictionary,
                                                      void* buffer) {
    return pso_.DumpUserDictToMemoryBuffer
               ? pso_.DumpUserDictToMemoryBuffer(context, dictionary, buffer)
               : -PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_UserDict_Features(PSO_HRC context, PSO_HUSERDICT dictionary,
                                             int32_t* wordCount) {
    return pso_.UserDict_Features ? pso_.UserDict_Features(context, dictionary, wordCount)
                                  : -PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_UserDict_AddWord(PSO_HRC context, PSO_HUSERDICT dictionary,
                                            const char* word) {
    return pso_.UserDict_AddWord ? pso_.UserDict_AddWord(context, dictionary, word)
                                 : PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_UserDict_Clear(PSO_HRC context, PSO_HUSERDICT dictionary) {
    return pso_.UserDict_Clear ? pso_.UserDict_Clear(context, dictionary) : PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_UserDict_EnumWords(PSO_HRC context, PSO_HUSERDICT dictionary,
                                              PSO_ENUMWORDS_CALLBACK callback, void* param) {
    return pso_.UserDict_EnumWords ? pso_.UserDict_EnumWords(context, dictionary, callback, param)
                                   : PSO_ERR_NOT_SUPPORTED;
}

int32_t RecVexaModule::PSO_RemoveUserDictFromRecContext(PSO_HRC context, PSO_HUSERDICT dictionary) {
    return pso_.RemoveUserDictFromRecContext
               ? pso_.RemoveUserDictFromRecContext(context, dictionary)
               : PSO_ERR_NOT_SUPPORTED;
}

// ---- text ----

bool RecVexaModule::wordToBytes(const wchar_t* word, std::string& out,
                                const wchar_t* operation) const {
    if (locale().toNarrow(word ? word : L"", out)) return true;
    debugTrace(L"RecVexaModule::%s: \"%s\" cannot be written in code page %u\n", operation, word,
               locale().codePage());
    return false;
}

std::wstring RecVexaModule::answerToWide(const char* text) const {
    if (russianByteMapping() && equalsIgnoringCase(languageName(), L"Russian"))
        return locale().toWideBytewise(text);
    return locale().toWide(text);
}

// ---- words ----

bool RecVexaModule::checkWord(PSO_HRC context, const wchar_t* word) {
    if (!word || !context) return false;
    if (std::wcslen(word) + 1 > static_cast<size_t>(kTextBuffer)) return false;
    std::string bytes;
    if (!wordToBytes(word, bytes, L"checkWord")) return false;
    if (bytes.size() + 1 > static_cast<size_t>(kTextBuffer)) return false;
    char buffer[kTextBuffer] = {};
    std::memcpy(buffer, bytes.data(), bytes.size());
    if (PSO_GetExtraAnswerData(context, 0, 0, PSO_EXTRA_CHECK_WORD, 0, buffer) == -1) return false;
    int32_t known = 0;
    std::memcpy(&known, buffer, sizeof known);
    return known != 0;
}

bool RecVexaModule::getWordVariants(PSO_HRC context, const wchar_t* word,
                                    std::vector<std::wstring>& out, int maximum) {
    out.clear();
    if (!context || !word || maximum < 1) return false;
    std::string bytes;
    if (!wordToBytes(word, bytes, L"getWordVariants")) return false;
    const int records = maximum + 1;
    size_t size = static_cast<size_t>(records) * kVariantRecord;
    if (bytes.size() + 1 > size) size = bytes.size() + 1;
    std::vector<char> buffer;
    try {
        buffer.assign(size, '\0');
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::memcpy(buffer.data(), bytes.c_str(), bytes.size() + 1);
    int32_t n =
        PSO_GetExtraAnswerData(context, 0, 0, PSO_EXTRA_WORD_VARIANTS, records, buffer.data());
    if (n < 1) return false;
    // The library's count is never read past the records the buffer holds.
    if (n > records) n = records;
    for (int32_t i = 0; i < n && static_cast<int>(out.size()) < maximum; ++i) {
        char* record = buffer.data() + static_cast<size_t>(i) * kVariantRecord;
        record[kTextBuffer - 1] = '\0';
        int32_t flag = 0;
        std::memcpy(&flag, record + kTextBuffer, sizeof flag);
        if (flag != 0) out.push_back(answerToWide(record));
    }
    return true;
}

bool RecVexaModule::addWordToUserDict(PSO_HRC context, PSO_HUSERDICT dictionary,
                                      const wchar_t* word) {
    if (!word) return true;
    std::string bytes;
    if (!wordToBytes(word, bytes, L"addWordToUserDict")) return false;
    return PSO_UserDict_AddWord(context, dictionary, bytes.c_str()) == PSO_OK;
}

bool RecVexaModule::enumUserDictWords(PSO_HRC context, PSO_HUSERDICT dictionary,
                                      UserDictWordCallback callback, void* parameter) {
    if (!dictionary || !context || !callback) return false;
    EnumAdapterRecord record{parameter, callback, &locale()};
    return PSO_UserDict_EnumWords(context, dictionary, enumAdapter, &record) <= 0;
}

// ---- user dictionary files ----

PSO_HUSERDICT RecVexaModule::LoadUserDictFromFile(PSO_HRC context, const wchar_t* path,
                                                  bool mayBeMissing) {
    if (!path) return nullptr;
    std::vector<uint8_t> bytes;
    switch (readWholeFile(path, bytes)) {
        case ReadResult::kMissing:
            return mayBeMissing ? PSO_AddUserDictToRecContext(context, nullptr) : nullptr;
        case ReadResult::kFailed:
            // A file that is there but cannot be read is never taken for a
            // new, empty dictionary: its next save would replace the words.
            debugTrace(L"====LoadUserDictFromFile: ERROR while reading %s\n", path);
            return nullptr;
        case ReadResult::kRead:
            break;
    }
    // The library reads the bytes up to a NUL after them. A file that holds a
    // NUL itself would be read only in part, and its words after the NUL
    // lost at the next save: it is refused and left as it is.
    if (std::memchr(bytes.data(), 0, bytes.size())) {
        debugTrace(L"LoadUserDictFromFile: %s holds a NUL byte; the file is left as it is\n", path);
        return nullptr;
    }
    const bool oldFormat = bytes.size() < kDictHeaderSize ||
                           std::memcmp(bytes.data(), kDictHeader, kDictHeaderSize) != 0;
    bytes.push_back(0);
    PSO_HUSERDICT dictionary = PSO_AddUserDictToRecContext(context, bytes.data());
    if (!dictionary) {
        debugTrace(
            L"LoadUserDictFromFile: the engine refused %s (%s); the file is left as it "
            L"is\n",
            path, oldFormat ? L"not a word list" : L"a damaged or cut dictionary");
        return nullptr;
    }
    if (oldFormat) {
        if (SaveUserDictToFile(context, dictionary, path, L".BAK"))
            recMessageBox(MB_ICONEXCLAMATION,
                          L"User dictionary %s has been converted to new format.\nThe old "
                          L"dictionary was saved as %s.BAK",
                          path, path);
        else
            recMessageBox(MB_ICONEXCLAMATION,
                          L"Error while saving the user dictionary %s after converting to new "
                          L"format.",
                          path);
    }
    return dictionary;
}

bool RecVexaModule::SaveUserDictToFile(PSO_HRC context, PSO_HUSERDICT dictionary,
                                       const wchar_t* path, const wchar_t* backupExtension) {
    if (!context || !path) return false;
    // The dump comes first: when the engine cannot give it, no file is touched.
    // The buffer holds what the library said it needs; the profile lock that
    // every caller holds keeps the dictionary as it is between the two calls.
    const int32_t size = PSO_DumpUserDictToMemoryBuffer(context, dictionary, nullptr);
    if (size < 0 || size > kMaxDictionaryBytes) {
        debugTrace(L"SaveUserDictToFile: no dump of %s (%d)\n", path, size);
        return false;
    }
    std::vector<uint8_t> dump(static_cast<size_t>(size));
    if (size > 0 && PSO_DumpUserDictToMemoryBuffer(context, dictionary, dump.data()) != size)
        return false;

    const bool backup = backupExtension && *backupExtension;
    const std::wstring backupPath = std::wstring(path) + (backup ? backupExtension : L"");
    const bool exists = GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
    if (size == 0) {
        // An empty dictionary has no file; with a backup the old one stays there.
        if (backup && exists) {
            DeleteFileW(backupPath.c_str());
            if (MoveFileW(path, backupPath.c_str())) return true;
        }
        return DeleteFileW(path) || GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES;
    }
    if (backup && exists) {
        DeleteFileW(backupPath.c_str());
        if (!CopyFileW(path, backupPath.c_str(), FALSE))
            debugTrace(L"SaveUserDictToFile: no backup %s\n", backupPath.c_str());
    }
    // The new file replaces the old one only once it is complete.
    if (xmlReplaceFile(path, dump.data(), dump.size())) return true;
    debugTrace(L"SaveUserDictToFile: writing %s failed; the previous file stays\n", path);
    return false;
}

// ---- contexts and answers ----

PSO_HRC RecVexaModule::createRecContext(RecProfile& profile) {
    PSO_HRC context = PSO_CreateRecognitionContext();
    if (!context) return nullptr;
    std::wstring folder;
    if (profile.lexGenStandard)
        makeFilePath(L"standard", nullptr, false, folder);
    else
        makeFilePath(L"custom", nullptr, true, folder);
    const std::wstring lexicon = folder + L"\\" + profile.lexGenFile() + L".ban";
    std::vector<uint8_t> bytes;
    if (readWholeFile(lexicon.c_str(), bytes) == ReadResult::kRead)
        PSO_AddLexGeneratorToRecContext(context, bytes.data(), static_cast<int32_t>(bytes.size()));
    return context;
}

RecWordList* RecVexaModule::getAnswers(PSO_HRC context, int capitalization, bool stopAtWeakBlock) {
    if (!context) return nullptr;
    RecWordList* list = new (std::nothrow) RecWordList;
    if (!list) return nullptr;
    const int32_t blocks = PSO_GetNumAnswerBlocks(context);
    for (int32_t block = 0; block < blocks; ++block) {
        const int32_t alternatives = PSO_GetNumWordsInAnswerBlock(context, block);
        if (alternatives < 1) return list;
        RecWord* word = nullptr;
        for (int32_t alt = 0; alt < alternatives; ++alt) {
            char text[kTextBuffer] = {};
            int32_t weight = 0;
            int32_t strokes[kWordIntegers];
            int32_t strokeCount = 0;
            const bool first = alt == 0;
            const int32_t result = PSO_GetWordFromAnswerBlock(
                context, block, alt, text, &weight, first ? strokes : nullptr,
                first ? &strokeCount : nullptr, kWordIntegers);
            if (result != PSO_OK) {
                delete word;
                delete list;
                return nullptr;
            }
            text[kTextBuffer - 1] = '\0';
            if (first) {
                if (weight == 0 || (weight == 1 && stopAtWeakBlock)) return list;
                if (strokeCount > kWordIntegers) strokeCount = kWordIntegers;
                word = new (std::nothrow) RecWord(strokeCount, strokes);
                if (!word) {
                    delete list;
                    return nullptr;
                }
            }
            std::string bytes(text);
            switch (capitalization) {
                case kCapsAll:
                    locale().toUpper(bytes);
                    break;
                case kCapsNone:
                    locale().toLower(bytes);
                    break;
                case kCapsFirst:
                    locale().capitalizeFirst(bytes);
                    break;
                default:
                    break;
            }
            RecAlt* a = new (std::nothrow)
                RecAlt(answerToWide(bytes.c_str()).c_str(), static_cast<uint32_t>(weight));
            if (!a || !word->addAlt(a)) {
                delete word;
                delete list;
                return nullptr;
            }
        }
        if (!list->appendWord(word)) {
            delete list;
            return nullptr;
        }
    }
    return list;
}
