// Reading merge study files: the reference with its mode words, the
// description and its validation, and the data section.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "MergeStudy.h"
#include "merge_test_util.h"

namespace {

using mergetest::pairStudyDescription;
using mergetest::studyText;
using mergetest::TempDir;
using mergetest::writeScrambled;
using tessel::MergeStudy;

struct Release {
    void operator()(MergeStudy* s) const { tessel::releaseMergeStudy(s); }
};
using OwnedStudy = std::unique_ptr<MergeStudy, Release>;

constexpr size_t kStudyWidth = 249;

class StudyFile : public ::testing::Test {
  protected:
    StudyFile() : dir_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    // Writes the text scrambled as study.sqr and reads it through `reference`,
    // in which %s stands for the file's path.
    OwnedStudy read(const std::string& plain, const std::string& reference = "\"%s\"") {
        writeScrambled(dir_.path("study.sqr"), plain, kStudyWidth);
        std::string ref = reference;
        const size_t at = ref.find("%s");
        if (at != std::string::npos) ref.replace(at, 2, dir_.path("study.sqr"));
        return OwnedStudy(tessel::readMergeStudyFile(ref.c_str()));
    }

    // A pair study with one description line replaced, added (empty `key`
    // match) or dropped (empty `line`).
    OwnedStudy readWith(const std::string& key, const std::string& line) {
        std::vector<std::string> description = pairStudyDescription();
        bool replaced = false;
        for (auto it = description.begin(); it != description.end(); ++it) {
            if (!key.empty() && it->rfind(key, 0) == 0) {
                if (line.empty()) {
                    description.erase(it);
                } else {
                    *it = line;
                }
                replaced = true;
                break;
            }
        }
        if (!replaced) description.push_back(line);
        return read(studyText(description));
    }

    TempDir dir_;
};

TEST_F(StudyFile, PairStudyLoadsWithItsTables) {
    OwnedStudy study = read(studyText(pairStudyDescription()));
    ASSERT_NE(study, nullptr);
    EXPECT_EQ(study->referenceCount, 1);
    EXPECT_EQ(study->tag, tessel::kMergeStudyTag);
    EXPECT_EQ(study->writeMode, 0);
    EXPECT_STREQ(study->texts[tessel::kStudyComment], "study of two recognizers");
    EXPECT_STREQ(study->texts[tessel::kStudyRec2Results], "rec2.log wrd+ w");
    EXPECT_STREQ(study->texts[tessel::kStudyRec3Results], "");
    EXPECT_EQ(study->resultsCodes[0], 32 | 1);   // logw w
    EXPECT_EQ(study->resultsCodes[1], 272 | 1);  // wrd+ w
    EXPECT_EQ(study->resultsCodes[2], 0);
    EXPECT_EQ(study->truthCode, 64 | 1);  // truw w
    EXPECT_EQ(study->wordListResults, 1);
    EXPECT_EQ(study->keyCode, tessel::kKeyStudy);
    EXPECT_EQ(study->mergeMode, 3);
    // Values as studyText writes them: probabilities from 0.05 by 0.1 (+0.01
    // per recognizer), levels 5, 15, ..., borders from the row number by 10.
    EXPECT_DOUBLE_EQ(study->singles[0].probabilities[0], 0.05);
    EXPECT_DOUBLE_EQ(study->singles[2].probabilities[9], 0.07 + 0.9);
    EXPECT_EQ(study->singles[1].levels[9], 95.0);
    EXPECT_EQ(study->pairs[0].borders[5][10], 5.0 + 100);
    EXPECT_DOUBLE_EQ(study->pairs[2].tables[4][9][9], 0.01 * (9 + 4 + 2) + 0.45);
    for (const tessel::StudyPairBlock& pair : study->pairs) EXPECT_EQ(pair.fullInterpolation, 1);
    tessel::addRefMergeStudy(study.get());
    EXPECT_EQ(study->referenceCount, 2);
    tessel::releaseMergeStudy(study.get());
}

TEST_F(StudyFile, GaussianModeTurnsFullInterpolationOff) {
    OwnedStudy study = readWith("Merge: ", "Merge: 1+2 gauss_ap");
    ASSERT_NE(study, nullptr);
    EXPECT_EQ(study->mergeMode, 19);
    for (const tessel::StudyPairBlock& pair : study->pairs) EXPECT_EQ(pair.fullInterpolation, 0);
}

struct ReferenceCase {
    const char* name;
    const char* reference;
    bool loads;
    int32_t mode;
};

class StudyReference : public StudyFile, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(StudyReference, GivesTheWriteMode) {
    const ReferenceCase& c = GetParam();
    OwnedStudy study = read(studyText(pairStudyDescription()), c.reference);
    ASSERT_EQ(study != nullptr, c.loads);
    if (study) {
        EXPECT_EQ(study->writeMode, c.mode);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StudyReference,
                         ::testing::Values(ReferenceCase{"Plain", "%s", true, 0},
                                           ReferenceCase{"Quoted", "\"%s\"", true, 0},
                                           ReferenceCase{"LeadingBlanks", " \t\n%s", true, 0},
                                           ReferenceCase{"Write", "\"%s\" write", true, 1},
                                           ReferenceCase{"WriteOnly", "%s write only", true, 3},
                                           ReferenceCase{"WriteOnlyMixedCase", "%s  WRITE\tOnly ",
                                                         true, 3},
                                           ReferenceCase{"OtherWord", "%s read", false, 0},
                                           ReferenceCase{"NoClosingQuote", "\"%s", false, 0},
                                           ReferenceCase{"Empty", "", false, 0}),
                         [](const ::testing::TestParamInfo<ReferenceCase>& info) {
                             return std::string(info.param.name);
                         });

struct DescriptionCase {
    const char* name;
    const char* key;   // the line starting with this is replaced ("" adds)
    const char* line;  // "" drops it
    bool loads;
};

class StudyDescription : public StudyFile, public ::testing::WithParamInterface<DescriptionCase> {};

TEST_P(StudyDescription, IsValidated) {
    const DescriptionCase& c = GetParam();
    EXPECT_EQ(readWith(c.key, c.line) != nullptr, c.loads);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StudyDescription,
    ::testing::Values(
        DescriptionCase{"NoKey", "Key: ", "", false},
        DescriptionCase{"UnknownKey", "Key: ", "Key: studies", false},
        DescriptionCase{"KeyTest", "Key: ", "Key: test set 3", true},
        DescriptionCase{"KeyStudyTest", "Key: ", "Key: study test", true},
        DescriptionCase{"TwoWordLists", "Rec1 results: ", "Rec1 results: r1.log wrd+ d", false},
        DescriptionCase{"WordListTypeCase", "Rec2 results: ", "Rec2 results: r2.log WRD+ w", true},
        DescriptionCase{"UnknownType", "Rec1 results: ", "Rec1 results: r1.log logx w", false},
        DescriptionCase{"UnknownSubType", "Rec1 results: ", "Rec1 results: r1.log logw x", false},
        DescriptionCase{"DescriptorTooShort", "Rec1 results: ", "Rec1 results: r1.log logw", false},
        DescriptionCase{"BadTruthFile", "Truth file: ", "Truth file: t.txt truth w", false},
        DescriptionCase{"NoTruthFile", "Truth file: ", "", true},
        DescriptionCase{"UnknownMergeMode", "Merge: ", "Merge: 1+2 exact", false},
        DescriptionCase{"NoMergeMode", "Merge: ", "", false},
        DescriptionCase{"ModeNeedsRec3", "Merge: ", "Merge: 12+3 simple", false},
        DescriptionCase{"ModeWithoutRec2", "Merge: ", "Merge: 1", true},
        DescriptionCase{"ClassesNeedAnswerClasses", "Merge: ", "Merge: 1 classes", false},
        DescriptionCase{"ResultsKeyNeedsItsFile", "Key: ", "Key: results3", false},
        DescriptionCase{"ResultsKeyWithItsFile", "Key: ", "Key: results2", true},
        DescriptionCase{"SecondKeyLineIsIgnored", "", "Key: results3", true}),
    [](const ::testing::TestParamInfo<DescriptionCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(StudyFile, ClassesModeWithAnswerClassesLoads) {
    std::vector<std::string> description = pairStudyDescription();
    description.back() = "Merge: 2 classes";
    description.push_back("Answer classes: digits letters");
    OwnedStudy study = read(studyText(description));
    ASSERT_NE(study, nullptr);
    EXPECT_EQ(study->mergeMode, 34);
}

TEST_F(StudyFile, DescriptionWithoutAnyKeyFails) {
    EXPECT_EQ(read(studyText({"no key here", "nor here"})), nullptr);
}

TEST_F(StudyFile, WrittenWithWindowsLineEndsLoads) {
    std::string text = studyText(pairStudyDescription()), crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_NE(read(crlf), nullptr);
}

// Cuts the data section after each of its lines: every shorter file fails,
// also one that ends after two of the three confidence blocks.
TEST_F(StudyFile, EveryTruncatedDataSectionFails) {
    const std::string text = studyText(pairStudyDescription());
    const size_t dataStart = text.find("\n\n") + 2;
    size_t cuts = 0;
    for (size_t end = text.find('\n', dataStart); end + 1 < text.size();
         end = text.find('\n', end + 1)) {
        ASSERT_EQ(read(text.substr(0, end + 1)), nullptr) << "cut after byte " << end;
        ++cuts;
    }
    EXPECT_GT(cuts, 200u);
    EXPECT_NE(read(text), nullptr);
}

struct DataCase {
    const char* name;
    const char* from;
    const char* to;
};

class StudyData : public StudyFile, public ::testing::WithParamInterface<DataCase> {};

TEST_P(StudyData, BadLineFails) {
    const DataCase& c = GetParam();
    std::string text = studyText(pairStudyDescription());
    const size_t at = text.find(c.from, text.find("\n\n"));
    ASSERT_NE(at, std::string::npos);
    text.replace(at, std::string(c.from).size(), c.to);
    EXPECT_EQ(read(text), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StudyData,
    ::testing::Values(DataCase{"HeadingSpelledRight", "Probabilty/", "Probability/"},
                      DataCase{"HeadingWithBlank", "Equal answers:\n", "Equal answers: \n"},
                      DataCase{"TooFewNumbers", "\n5 15 25 35 45 55 65 75 85 95\n",
                               "\n5 15 25 35 45 55 65 75 85\n"},
                      DataCase{"WordForNumber", "\n5 15 25", "\n5 x 25"},
                      DataCase{"NotANumber", "\n5 15 25", "\n5 nan 25"},
                      DataCase{"MissingEmptyLine", "95\n\nProbabilty", "95\nProbabilty"},
                      DataCase{"ExtraLine", "95\n\nProbabilty", "95\n\n\nProbabilty"}),
    [](const ::testing::TestParamInfo<DataCase>& info) { return std::string(info.param.name); });

TEST_F(StudyFile, MissingFileFails) {
    EXPECT_EQ(tessel::readMergeStudyFile(dir_.path("absent.sqr").c_str()), nullptr);
    EXPECT_EQ(tessel::readMergeStudyFile(nullptr), nullptr);
}

TEST_F(StudyFile, FixtureMadeByTheScramblerLoads) {
    OwnedStudy study(
        tessel::readMergeStudyFile((mergetest::fixture("merge.sqr") + " write").c_str()));
    ASSERT_NE(study, nullptr);
    EXPECT_EQ(study->writeMode, 1);
    EXPECT_EQ(study->mergeMode, 11);
    EXPECT_STREQ(study->texts[tessel::kStudyResults], "merge-study.txt");
}

TEST(StudyCodes, ResultsDescriptors) {
    const struct {
        const char* descriptor;
        int32_t code;
        bool wordList;
    } cases[] = {
        {"f wrd w", 16 | 1, false},
        {"f WRD+ d", 272 | 2, true},
        {"f wrd W", 0, false},
        {"f truwnocase wnocase", 3136 | 10, false},
        {"f logs+_mem signature", 1456 | 9, false},
        {"f ads adr extra", 1792 | 8, false},
        {"f wrd", 0, false},
        {"", 0, false},
    };
    for (const auto& c : cases) {
        bool wordList = !c.wordList;
        EXPECT_EQ(tessel::resultsDescriptorCode(c.descriptor, &wordList), c.code) << c.descriptor;
        EXPECT_EQ(wordList, c.wordList) << c.descriptor;
    }
}

TEST(StudyCodes, KeysAndMergeModes) {
    const struct {
        const char* value;
        int32_t key;
    } keys[] = {
        {"results1", 1}, {"results2", 2},    {"results3", 4},      {"study", 8},    {"test", 16},
        {"testing", 16}, {"study test", 32}, {"study test 2", 32}, {"studying", 0}, {"results4", 0},
        {"", 0}};
    for (const auto& k : keys) EXPECT_EQ(tessel::studyKeyCode(k.value), k.key) << k.value;

    const char* prefixes[] = {"1+2", "1+3", "2+3", "12+3", "13+2", "23+1", "1+2+3", "123 sym"};
    const int32_t bases[] = {3, 5, 6, 71, 135, 199, 263, 327};
    const char* ways[] = {"simple", "approximate", "gauss_ap"};
    for (int p = 0; p < 8; ++p) {
        for (int w = 0; w < 3; ++w) {
            const std::string mode = std::string(prefixes[p]) + " " + ways[w];
            EXPECT_EQ(tessel::mergeModeCode(mode.c_str()), bases[p] + 8 * w) << mode;
        }
    }
    const struct {
        const char* value;
        int32_t mode;
    } others[] = {{"1", 1},          {"2", 2},          {"3", 4},      {"1 classes", 33},
                  {"2 classes", 34}, {"3 classes", 36}, {"4", 0},      {"1+2", 0},
                  {"1+2 Simple", 0}, {"123 simple", 0}, {"simple", 0}, {"", 0}};
    for (const auto& o : others) EXPECT_EQ(tessel::mergeModeCode(o.value), o.mode) << o.value;
}

}  // namespace
