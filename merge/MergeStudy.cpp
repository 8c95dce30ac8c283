#include "MergeStudy.h"

#include <cstring>
#include <new>

#include "TextFile.h"

namespace tessel {

const char* const kStudyKeyTexts[kStudyKeyCount] = {
    "Comment: ",      "Study set file: ", "Test set file: ",  "Truth file: ",
    "Rec1 results: ", "Rec2 results: ",   "Rec3 results: ",   "Key: ",
    "Merge: ",        "Study results: ",  "Answer classes: ", "Alt report file: ",
};

namespace {

constexpr int kDataLineChars = 255;
constexpr int32_t kWordListType = 272;  // "wrd+"

struct NamedCode {
    const char* name;
    int32_t code;
};

const NamedCode kResultTypes[] = {
    {"wrd", 16},         {"wrd+", kWordListType}, {"logw", 32},      {"logw+", 288},
    {"logh", 256},       {"logwh", 512},          {"logi", 544},     {"remittance", 768},
    {"logh2_1", 1024},   {"logh2_2", 1280},       {"logm", 800},     {"logm_mem", 928},
    {"logm_uk", 1056},   {"logm_mem_uk", 1184},   {"logs", 1312},    {"logs+", 1328},
    {"logs_mem", 1440},  {"logs+_mem", 1456},     {"logc", 1536},    {"ads", 1792},
    {"truw", 64},        {"trud", 320},           {"truc", 576},     {"trudc", 832},
    {"trucensus", 1088}, {"truads", 2624},        {"trusign", 2880}, {"truwnocase", 3136},
};

const NamedCode kResultSubTypes[] = {
    {"w", 1},      {"d", 2},   {"c", 3},         {"dc", 4},
    {"census", 5}, {"adr", 8}, {"signature", 9}, {"wnocase", 10},
};

const NamedCode kModePrefixes[] = {
    {"1+2", 3},    {"1+3", 5},    {"2+3", 6},     {"12+3", 71},
    {"13+2", 135}, {"23+1", 199}, {"1+2+3", 263}, {"123 sym", 327},
};

const NamedCode kModeWays[] = {
    {"simple", 0},
    {"approximate", kModeApproximate},
    {"gauss_ap", kModeGaussApproximation},
};

const NamedCode kSingleModes[] = {
    {"1", 1}, {"2", 2}, {"3", 4}, {"1 classes", 33}, {"2 classes", 34}, {"3 classes", 36},
};

template <size_t N>
int32_t codeOf(const NamedCode (&table)[N], const char* name) {
    for (const NamedCode& entry : table)
        if (std::strcmp(entry.name, name) == 0) return entry.code;
    return 0;
}

bool startsWith(const char* s, const char* prefix) {
    return std::strncmp(s, prefix, std::strlen(prefix)) == 0;
}

// Copies at most max characters.
void copyCut(char* out, const char* begin, size_t n, size_t max) {
    if (n > max) n = max;
    std::memcpy(out, begin, n);
    out[n] = '\0';
}

// Next blank-separated word of s into out (kStudyTextChars + 1 bytes); false at the end.
bool nextWord(const char*& s, char* out) {
    while (*s && isBlank(*s)) ++s;
    if (!*s) return false;
    const char* begin = s;
    while (*s && !isBlank(*s)) ++s;
    copyCut(out, begin, static_cast<size_t>(s - begin), kStudyTextChars);
    return true;
}

bool parseReference(const char* reference, char* name, int32_t* writeMode) {
    const char* p = reference;
    while (*p == ' ' || *p == '\t' || *p == '\n') ++p;
    const char* rest;
    if (*p == '"') {
        const char* close = std::strchr(p + 1, '"');
        if (!close) return false;
        copyCut(name, p + 1, static_cast<size_t>(close - p - 1), kStudyTextChars);
        rest = close + 1;
    } else {
        const char* end = p;
        while (*end && *end != ' ' && *end != '\t' && *end != '\n') ++end;
        copyCut(name, p, static_cast<size_t>(end - p), kStudyTextChars);
        rest = end;
    }
    char* mode = new (std::nothrow) char[std::strlen(rest) + 1];
    if (!mode) return false;
    std::strcpy(mode, rest);
    normaliseBlanks(mode);
    toLowerAscii(mode);
    bool ok = true;
    if (!*mode) {
        *writeMode = 0;
    } else if (std::strstr(mode, "write")) {
        *writeMode = std::strstr(mode, "only") ? 3 : 1;
    } else {
        ok = false;
    }
    delete[] mode;
    return ok;
}

// Reads a line, taking a "\r\n" ending as "\n" as a Windows text stream does.
bool readLine(FILE* file, char* buffer, int size) {
    if (!readScrambledLine(buffer, size, file)) return false;
    const size_t n = std::strlen(buffer);
    if (n >= 2 && buffer[n - 2] == '\r' && buffer[n - 1] == '\n') {
        buffer[n - 2] = '\n';
        buffer[n - 1] = '\0';
    }
    return true;
}

bool readDescription(FILE* file, MergeStudy& study) {
    char line[kStudyLineChars + 1];
    bool keyed = false;
    while (readLine(file, line, sizeof line) && std::strcmp(line, "\n") != 0) {
        for (int k = 0; k < kStudyKeyCount; ++k) {
            const char* key = kStudyKeyTexts[k];
            if (study.texts[k][0] || !startsWith(line, key)) continue;
            copyCut(study.texts[k], line + std::strlen(key), std::strlen(line + std::strlen(key)),
                    kStudyTextChars);
            normaliseBlanks(study.texts[k]);
            keyed = true;
            break;
        }
    }
    return keyed;
}

bool validateDescription(MergeStudy& study) {
    const int resultsKeys[3] = {kStudyRec1Results, kStudyRec2Results, kStudyRec3Results};
    bool isWordList[3] = {false, false, false};
    for (int i = 0; i < 3; ++i) {
        const char* text = study.texts[resultsKeys[i]];
        if (!*text) continue;
        study.resultsCodes[i] = resultsDescriptorCode(text, &isWordList[i]);
        if (!study.resultsCodes[i]) return false;
    }
    // At most one results file may be a word list.
    for (int i = 0; i < 3; ++i) {
        if (!isWordList[i]) continue;
        if (study.wordListResults != -1) return false;
        study.wordListResults = i;
    }
    if (study.texts[kStudyTruthFile][0]) {
        study.truthCode = resultsDescriptorCode(study.texts[kStudyTruthFile], nullptr);
        if (!study.truthCode) return false;
    }
    study.keyCode = studyKeyCode(study.texts[kStudyKey]);
    study.mergeMode = mergeModeCode(study.texts[kStudyMerge]);
    switch (study.keyCode) {
        case kKeyResults1:
            return study.resultsCodes[0] != 0;
        case kKeyResults2:
            return study.resultsCodes[1] != 0;
        case kKeyResults3:
            return study.resultsCodes[2] != 0;
        case kKeyStudy:
        case kKeyTest:
        case kKeyStudyTest:
            if (!study.mergeMode) return false;
            if ((study.mergeMode & kModeClasses) && !study.texts[kStudyAnswerClasses][0])
                return false;
            for (int i = 0; i < 3; ++i)
                if ((study.mergeMode & (1 << i)) && !study.resultsCodes[i]) return false;
            return true;
        default:
            return false;
    }
}

class DataReader {
  public:
    explicit DataReader(FILE* file) : file_(file) {}

    bool heading(const char* text) {
        if (!readLine(file_, line_, sizeof line_)) return false;
        const size_t n = std::strlen(text);
        return std::strncmp(line_, text, n) == 0 && std::strcmp(line_ + n, "\n") == 0;
    }

    bool emptyLine() {
        return readLine(file_, line_, sizeof line_) && std::strcmp(line_, "\n") == 0;
    }

    bool numbers(double* out, int count) {
        if (!readLine(file_, line_, sizeof line_)) return false;
        const char* p = line_;
        for (int i = 0; i < count; ++i)
            if (!parseDouble(p, &out[i], &p)) return false;
        return true;
    }

    bool rows(double* out, int rowCount, int columns) {
        for (int r = 0; r < rowCount; ++r)
            if (!numbers(out + r * columns, columns)) return false;
        return true;
    }

  private:
    FILE* file_;
    char line_[kDataLineChars + 1];
};

bool readData(FILE* file, MergeStudy& study) {
    static const char* const kCaseHeadings[kPairCaseCount] = {
        "Equal answers:",
        "Different answers, first is right:",
        "Different answers, second is right:",
        "Answer in list, first is right:",
        "Answer in list, second is right:",
    };
    DataReader in(file);
    for (StudySingleTable& single : study.singles) {
        if (!in.heading("Probabilty/Confidence level") || !in.numbers(single.probabilities, 10) ||
            !in.numbers(single.levels, 10) || !in.emptyLine())
            return false;
    }
    for (StudyPairBlock& pair : study.pairs) {
        if (!in.heading("Borders of confidence level intervals:") ||
            !in.rows(&pair.borders[0][0], 6, 11) || !in.emptyLine())
            return false;
        for (int c = 0; c < kPairCaseCount; ++c) {
            if (!in.heading(kCaseHeadings[c]) || !in.rows(&pair.tables[c][0][0], 10, 10) ||
                !in.emptyLine())
                return false;
        }
        pair.fullInterpolation = (study.mergeMode & kModeGaussApproximation) ? 0 : 1;
    }
    return true;
}

}  // namespace

int32_t resultsDescriptorCode(const char* descriptor, bool* isWordList) {
    if (isWordList) *isWordList = false;
    if (!descriptor) return 0;
    char name[kStudyTextChars + 1], type[kStudyTextChars + 1], subType[kStudyTextChars + 1];
    const char* p = descriptor;
    if (!nextWord(p, name) || !nextWord(p, type) || !nextWord(p, subType)) return 0;
    toLowerAscii(type);
    const int32_t typeCode = codeOf(kResultTypes, type);
    const int32_t subTypeCode = codeOf(kResultSubTypes, subType);
    if (!typeCode || !subTypeCode) return 0;
    if (isWordList) *isWordList = typeCode == kWordListType;
    return typeCode | subTypeCode;
}

int32_t studyKeyCode(const char* value) {
    if (!value) return 0;
    if (std::strcmp(value, "results1") == 0) return kKeyResults1;
    if (std::strcmp(value, "results2") == 0) return kKeyResults2;
    if (std::strcmp(value, "results3") == 0) return kKeyResults3;
    if (std::strcmp(value, "study") == 0) return kKeyStudy;
    if (startsWith(value, "test")) return kKeyTest;
    if (startsWith(value, "study test")) return kKeyStudyTest;
    return 0;
}

int32_t mergeModeCode(const char* value) {
    if (!value) return 0;
    if (const int32_t single = codeOf(kSingleModes, value)) return single;
    const char* blank = std::strrchr(value, ' ');
    if (!blank) return 0;
    char prefix[kStudyTextChars + 1];
    copyCut(prefix, value, static_cast<size_t>(blank - value), kStudyTextChars);
    const int32_t base = codeOf(kModePrefixes, prefix);
    if (!base) return 0;
    for (const NamedCode& way : kModeWays)
        if (std::strcmp(way.name, blank + 1) == 0) return base | way.code;
    return 0;
}

MergeStudy* readMergeStudyFile(const char* reference) {
    if (!reference) return nullptr;
    char name[kStudyTextChars + 1];
    int32_t writeMode = 0;
    if (!parseReference(reference, name, &writeMode)) return nullptr;
    TrackedFile file(openTracked(name, 1, 0));
    if (!file.get()) return nullptr;
    MergeStudy* study = new (std::nothrow) MergeStudy();
    if (!study) return nullptr;
    study->referenceCount = 1;
    study->tag = kMergeStudyTag;
    study->writeMode = writeMode;
    study->wordListResults = -1;
    if (!readDescription(file.get(), *study) || !validateDescription(*study) ||
        !readData(file.get(), *study)) {
        releaseMergeStudy(study);
        return nullptr;
    }
    return study;
}

void addRefMergeStudy(MergeStudy* study) {
    if (study) ++study->referenceCount;
}

void releaseMergeStudy(MergeStudy* study) {
    if (study && --study->referenceCount <= 0) delete study;
}

}  // namespace tessel
