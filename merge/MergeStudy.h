// Merge study files: what an earlier study of the recognizers measured. A
// scrambled text file with a description section (lines "Key: value" up to an
// empty line) and a data section of probability tables and confidence-level
// borders, read into a shared, reference-counted study record.
#pragma once

#include <cstdint>

namespace tessel {

constexpr uint32_t kMergeStudyTag = 0x649B390D;
constexpr int kStudyTextChars = 259;

// The description keys, in the order they are tested.
enum StudyKey {
    kStudyComment,
    kStudySetFile,
    kStudyTestSetFile,
    kStudyTruthFile,
    kStudyRec1Results,
    kStudyRec2Results,
    kStudyRec3Results,
    kStudyKey,
    kStudyMerge,
    kStudyResults,
    kStudyAnswerClasses,
    kStudyAltReportFile,
    kStudyKeyCount
};
extern const char* const kStudyKeyTexts[kStudyKeyCount];

// Key codes ("Key: ").
enum StudyKeyCode {
    kKeyResults1 = 1,
    kKeyResults2 = 2,
    kKeyResults3 = 4,
    kKeyStudy = 8,
    kKeyTest = 16,
    kKeyStudyTest = 32,
};

// Merge mode bits ("Merge: "): which recognizers take part, and how.
enum MergeModeBits {
    kModeRec1 = 1,
    kModeRec2 = 2,
    kModeRec3 = 4,
    kModeApproximate = 8,
    kModeGaussApproximation = 16,
    kModeClasses = 32,
};

// One recognizer's table: probabilities at rising confidence levels.
struct StudySingleTable {
    double probabilities[10];
    double levels[10];
};

// The five 10 x 10 tables of a pair block, in file order.
enum StudyPairCase {
    kPairEqual,
    kPairDifferentFirstRight,
    kPairDifferentSecondRight,
    kPairInListFirstRight,
    kPairInListSecondRight,
    kPairCaseCount
};

// A pair of recognizers: interval borders (rows 0..2 for the first, 3..5 for
// the second: equal answers, different answers, answer found in a list) and
// the probability tables, rows by the first's interval, columns by the second's.
struct StudyPairBlock {
    double borders[6][11];
    double tables[kPairCaseCount][10][10];
    int32_t fullInterpolation;  // set unless the merge mode has the Gaussian bit
};

struct MergeStudy {
    int32_t referenceCount;  // the record is freed when this falls to 0
    uint32_t tag;
    int32_t writeMode;  // from the file reference: 0 none, 1 write, 3 write only
    char texts[kStudyKeyCount][kStudyTextChars + 1];
    int32_t resultsCodes[3];  // type code | sub-type code, 0 when not given
    int32_t truthCode;
    int32_t wordListResults;  // index (0..2) of the "wrd+" results file, -1 when none
    int32_t keyCode;
    int32_t mergeMode;
    StudySingleTable singles[3];
    StudyPairBlock pairs[3];
};

// The top-answer probabilities that a study lookup yields for Rec1, Rec2 and
// the merged list. The lookup fills only the recognizers its merge mode names
// and nothing for a study read with a write mode, so the others must start
// as a missing answer's probability, 0.0.
struct StudyProbabilities {
    double p[3] = {0.0, 0.0, 0.0};
};

// Reads the study file named by a reference: a file name, in double quotes when
// it holds blanks, optionally followed by the mode words "write" or "write
// only". Null when anything fails.
MergeStudy* readMergeStudyFile(const char* reference);
void addRefMergeStudy(MergeStudy* study);
// Decrements the count and frees the record at 0; null is ignored.
void releaseMergeStudy(MergeStudy* study);

// Codes of a results descriptor ("name type sub-type"), 0 when it is invalid.
int32_t resultsDescriptorCode(const char* descriptor, bool* isWordList);
// Codes of the "Key: " and "Merge: " values, 0 when unknown.
int32_t studyKeyCode(const char* value);
int32_t mergeModeCode(const char* value);

}  // namespace tessel
