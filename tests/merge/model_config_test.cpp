// Loading a merge model from its configuration file.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "AnswerMerger.h"
#include "Tessel.h"
#include "merge_test_util.h"

namespace {

using mergetest::encodeNet;
using mergetest::sampleNet;
using mergetest::TempDir;
using mergetest::writeFile;
using mergetest::writeScrambled;
using tessel::AnswerMergerImpl;
using tessel::kCrossChannel;
using tessel::kRec1Channel;
using tessel::kRec2Channel;

using OwnedMerger = mergetest::Owned<AnswerMerger>;

// The model files that the fixture configuration names, beside it in `dir`:
// the scrambled configuration and study files, the plain vocabulary, and nets
// that fit the configuration's feature sets.
void installFixtureModel(const TempDir& dir) {
    for (const char* file : {"model.cfg", "merge.sqr", "dist.sqr", "vocabulary.txt"})
        writeFile(dir.path(file), mergetest::readFile(mergetest::fixture(file)));
    writeFile(dir.path("rec1.net"), encodeNet(sampleNet(1005, 6, 4)));
    writeFile(dir.path("rec2.net"), encodeNet(sampleNet(1002, 3, 3)));
    writeFile(dir.path("cross.net"), encodeNet(sampleNet(0, 2, 5, 3)));
}

class ModelConfig : public ::testing::Test {
  protected:
    ModelConfig() : dir_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    // Loads a configuration of the given plain lines into a fresh merger.
    bool load(const std::string& plain) {
        writeScrambled(dir_.path("model.cfg"), plain);
        merger_ = std::make_unique<AnswerMergerImpl>();
        return tessel::loadMergerModel(*merger_, dir_.path("model.cfg").c_str()) == 1;
    }

    void writeNet(const std::string& file, int32_t dim, int32_t outputs = 2) {
        writeFile(dir_.path(file), encodeNet(sampleNet(1005, dim, 2, outputs)));
    }

    TempDir dir_;
    std::unique_ptr<AnswerMergerImpl> merger_;
};

TEST_F(ModelConfig, EmptyConfigurationLoadsTheDefaults) {
    ASSERT_TRUE(load(""));
    EXPECT_EQ(merger_->weight, 1.0);
    EXPECT_EQ(merger_->delta, 1.0);
    EXPECT_EQ(merger_->alpha, 1.0);
    EXPECT_EQ(merger_->outMaxWeight, 1000.0);
    EXPECT_EQ(merger_->outAddDist, 200.0);
    EXPECT_EQ(merger_->rescaleTpcList, 0);
    EXPECT_EQ(merger_->rescaleHmmList, 0);
    EXPECT_EQ(merger_->vocStatQual, 0.0);
    EXPECT_EQ(merger_->lexStatQual, 0.0);
    EXPECT_EQ(merger_->nonVocWeight, 0);
    EXPECT_EQ(merger_->mergeStudy, nullptr);
    EXPECT_EQ(merger_->distanceStudy, nullptr);
    EXPECT_EQ(merger_->vocabulary.entries.count(), 0u);
    for (const tessel::ConfidenceChannel& channel : merger_->channels) {
        EXPECT_EQ(channel.kind(), 0);
        EXPECT_EQ(channel.count(), 0);
        EXPECT_FALSE(channel.net().loaded());
    }
}

TEST_F(ModelConfig, CommentsAndBlankLinesAreSkipped) {
    EXPECT_TRUE(load("; a comment\n\n   \t \n;\nRec1/Rec2 weight = 2 ; two\n"));
    EXPECT_EQ(merger_->weight, 2.0);
}

TEST_F(ModelConfig, FixtureWithEveryKeyLoads) {
    installFixtureModel(dir_);
    merger_ = std::make_unique<AnswerMergerImpl>();
    ASSERT_EQ(tessel::loadMergerModel(*merger_, dir_.path("model.cfg").c_str()), 1);
    AnswerMergerImpl& m = *merger_;
    EXPECT_EQ(m.channels[kRec1Channel].kind(), 1);   // Six
    EXPECT_EQ(m.channels[kRec2Channel].kind(), 11);  // ThreeNoVoc
    EXPECT_EQ(m.channels[kCrossChannel].kind(), 9);  // TPC2NoVoc
    EXPECT_EQ(m.channels[kRec1Channel].net().dim, 6);
    EXPECT_EQ(m.channels[kRec2Channel].net().version, 1002);
    EXPECT_EQ(m.channels[kCrossChannel].net().outputs, 3);
    EXPECT_EQ(m.weight, 0.7);
    EXPECT_EQ(m.delta, 0.9);
    EXPECT_EQ(m.alpha, 1.1);
    EXPECT_EQ(m.outMaxWeight, 900.0);
    EXPECT_EQ(m.outAddDist, 150.5);
    EXPECT_EQ(m.vocStatQual, 2.5);
    EXPECT_EQ(m.lexStatQual, 0.125);
    EXPECT_EQ(m.nonVocWeight, 3);
    ASSERT_NE(m.mergeStudy, nullptr);
    EXPECT_EQ(m.mergeStudy->mergeMode, 11);  // "1+2 approximate"
    ASSERT_NE(m.distanceStudy, nullptr);
    EXPECT_EQ(m.distanceStudy->keyCode, 1);
    EXPECT_EQ(tessel::findWordLevel(m.vocabulary, "new york"), 12);
    EXPECT_EQ(m.rescaleTpcList, 0);
    EXPECT_EQ(m.rescaleHmmList, 1);
    EXPECT_EQ(m.featureCount(), 6 + 3 + 2);
}

// One configuration line and what it must do.
struct LineCase {
    const char* name;
    const char* line;
    bool loads;
    double AnswerMergerImpl::*field;  // checked when set
    double expected;
};

std::ostream& operator<<(std::ostream& os, const LineCase& c) { return os << c.line; }

class ConfigLine : public ModelConfig, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ConfigLine, LoadsOrFails) {
    const LineCase& c = GetParam();
    ASSERT_EQ(load(std::string(c.line) + "\n"), c.loads);
    if (c.loads && c.field) {
        EXPECT_EQ((*merger_).*c.field, c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigLine,
    ::testing::Values(
        LineCase{"Weight", "Rec1/Rec2 weight = 0.7", true, &AnswerMergerImpl::weight, 0.7},
        LineCase{"WeightWithComment", "Rec1/Rec2 weight = 0.7 ; from the study", true,
                 &AnswerMergerImpl::weight, 0.7},
        LineCase{"TextAfterNumber", "Rec1/Rec2 delta = 2.5x", true, &AnswerMergerImpl::delta, 2.5},
        LineCase{"Exponent", "Rec1-Rec2 alpha = 1e-1", true, &AnswerMergerImpl::alpha, 0.1},
        LineCase{"BlanksNormalised", "  Out   max\tweight =    12  ", true,
                 &AnswerMergerImpl::outMaxWeight, 12},
        LineCase{"OutAddDist", "Out add dist = -3", true, &AnswerMergerImpl::outAddDist, -3},
        LineCase{"VocStatQual", "Voc Stat Qual = 0.5", true, &AnswerMergerImpl::vocStatQual, 0.5},
        LineCase{"LexStatQual", "Lex Stat Qual = 4", true, &AnswerMergerImpl::lexStatQual, 4},
        LineCase{"OutDirWithoutValue", "Out Dir =", true, nullptr, 0},
        LineCase{"OutDirWithValue", "Out Dir = D:\\out", true, nullptr, 0},
        LineCase{"FeatureSet", "Cross Conf Features = None", true, nullptr, 0},
        LineCase{"NotANumber", "Rec1/Rec2 weight = heavy", false, nullptr, 0},
        LineCase{"NaN", "Rec1/Rec2 weight = nan", false, nullptr, 0},
        LineCase{"Infinity", "Rec1/Rec2 weight = inf", false, nullptr, 0},
        LineCase{"EmptyNumber", "Rec1/Rec2 weight = ", false, nullptr, 0},
        LineCase{"IntegerTooLarge", "Non Voc Weight = 4294967296", false, nullptr, 0},
        LineCase{"IntegerWord", "Non Voc Weight = many", false, nullptr, 0},
        LineCase{"UnknownKey", "Rec3 Conf Net = rec3.net", false, nullptr, 0},
        LineCase{"LowerCaseKey", "rec1 conf net = rec1.net", false, nullptr, 0},
        LineCase{"KeyWithoutBlank", "Rec1/Rec2 weight=0.7", false, nullptr, 0},
        LineCase{"NetWithoutValue", "Rec1 Conf Net =", false, nullptr, 0},
        LineCase{"FeatureSetCase", "Rec1 Conf Features = fourteen", false, nullptr, 0},
        LineCase{"FeatureSetUnknown", "Rec2 Conf Features = Seven", false, nullptr, 0},
        LineCase{"RescaleOther", "Rescale Hmm List = maybe", false, nullptr, 0},
        LineCase{"RescaleTwoWords", "Rescale Tpc List = yes please", false, nullptr, 0},
        LineCase{"MissingNet", "Rec1 Conf Net = absent.net", false, nullptr, 0},
        LineCase{"MissingStudy", "Merge Sqr = absent.sqr", false, nullptr, 0},
        LineCase{"MissingDistanceStudy", "Conf->Dist Sqr = absent.sqr", false, nullptr, 0},
        LineCase{"MissingVocabulary", "Voc = absent.txt", false, nullptr, 0}),
    [](const ::testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST_F(ModelConfig, IntegersAndYesNoValues) {
    ASSERT_TRUE(load("Non Voc Weight = 0x10\nRescale Tpc List = YES\nRescale Hmm List = No\n"));
    EXPECT_EQ(merger_->nonVocWeight, 16);
    EXPECT_EQ(merger_->rescaleTpcList, 1);
    EXPECT_EQ(merger_->rescaleHmmList, 0);
    ASSERT_TRUE(load("Non Voc Weight = -7.9\n"));
    EXPECT_EQ(merger_->nonVocWeight, -7);
}

TEST_F(ModelConfig, RepeatedKeyKeepsItsLastValue) {
    ASSERT_TRUE(
        load("Rec1/Rec2 weight = 2\nRec1/Rec2 weight = 3\nRescale Tpc List = yes\n"
             "Rescale Tpc List = no\n"));
    EXPECT_EQ(merger_->weight, 3.0);
    EXPECT_EQ(merger_->rescaleTpcList, 0);
}

TEST_F(ModelConfig, FileNamesAreReadFromTheConfigurationsFolder) {
    writeNet("rec1.net", 6);
    EXPECT_TRUE(
        load("Rec1 Conf Features = Six\n"
             "Rec1 Conf Net = C:\\elsewhere\\sub/rec1.net\n"));
    EXPECT_EQ(merger_->channels[kRec1Channel].net().dim, 6);
}

TEST_F(ModelConfig, NetThatDoesNotFitItsChannelLoadsAndGivesNoConfidence) {
    // Stored models whose net does not match the channel's features load; the
    // channel refuses to evaluate such a net and answers "no confidence" (0).
    writeNet("six.net", 6);
    writeNet("five.net", 5);
    writeNet("single.net", 6, 1);
    const struct {
        const char* config;
        bool fits;
    } cases[] = {
        {"Rec1 Conf Features = Six\nRec1 Conf Net = six.net\n", true},
        {"Rec1 Conf Net = six.net\nRec1 Conf Features = Six\n", true},
        {"Rec1 Conf Features = Six\nRec1 Conf Net = five.net\n", false},
        {"Rec1 Conf Features = Six\nRec1 Conf Net = single.net\n", false},
        {"Rec1 Conf Features = Six\n", false},
        {"Rec1 Conf Net = five.net\n", true},  // feature set None uses no net
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(load(c.config)) << c.config;
        tessel::ConfidenceChannel& rec1 = merger_->channels[kRec1Channel];
        EXPECT_EQ(rec1.netFitsFeatures(), c.fits) << c.config;
        // Features of a list whose values are all set: only the net decides.
        mergetest::Owned<AnswerList> list(TslCreateAnswerList());
        mergetest::Owned<AnswerItem> answer(TslCreateAnswerItem());
        answer->setText("word");
        for (int32_t k = 0; k < TSL_VALUE_COUNT; ++k) answer->setValue(60, k);
        list->add(answer.get());
        list->setListValue(77);
        rec1.scoreList(list.get());
        if (!c.fits) {
            EXPECT_EQ(list->listValue(), 0) << c.config;
        } else if (rec1.kind() == 0) {
            EXPECT_EQ(list->listValue(), 77) << c.config;
        }
    }
}

TEST_F(ModelConfig, BrokenNetFailsTheLoad) {
    std::string bytes = encodeNet(sampleNet(1005, 6, 2));
    bytes.resize(bytes.size() - 1);
    writeFile(dir_.path("short.net"), bytes);
    EXPECT_FALSE(load("Rec1 Conf Features = Six\nRec1 Conf Net = short.net\n"));
}

TEST_F(ModelConfig, LexiconGeneratorReplacesTheVocabulary) {
    int userData = 0;
    merger_ = std::make_unique<AnswerMergerImpl>();
    merger_->lexgen.userData = &userData;
    merger_->lexgen.callback = [](const char*, void*, signed char* r) {
        *r = 4;
        return 1;
    };
    writeScrambled(dir_.path("model.cfg"), "Voc = absent.txt\n");
    EXPECT_EQ(tessel::loadMergerModel(*merger_, dir_.path("model.cfg").c_str()), 1);
    EXPECT_EQ(merger_->lexgenClass("word"), 1);
}

TEST_F(ModelConfig, MissingConfigurationFails) {
    merger_ = std::make_unique<AnswerMergerImpl>();
    EXPECT_EQ(tessel::loadMergerModel(*merger_, dir_.path("absent.cfg").c_str()), 0);
    EXPECT_EQ(TslLoad(dir_.path("absent.cfg").c_str()), nullptr);
}

TEST_F(ModelConfig, OverlongFolderFailsInsteadOfReadingAnotherFile) {
    // A folder part longer than a path may be cannot be joined to a net's
    // name; the net must not be looked for anywhere else.
    writeNet("rec1.net", 6);
    writeScrambled(dir_.path("model.cfg"), "Rec1 Conf Features = Six\nRec1 Conf Net = rec1.net\n");
    std::string longPath = dir_.dir() + "/";
    while (longPath.size() < 300) longPath += "./";
    longPath += "model.cfg";
    EXPECT_EQ(TslLoad(longPath.c_str()), nullptr);
}

TEST(TslLoad, LoadsTheFixtureModelOrNothing) {
    TempDir dir("TslLoadFixture");
    installFixtureModel(dir);
    OwnedMerger merger(TslLoad(dir.path("model.cfg").c_str()));
    ASSERT_NE(merger, nullptr);
    EXPECT_EQ(merger->featureCount(), 11);

    // The same model with a bad last line: everything read before it is
    // thrown away with the merger (the leak checker sees the rest).
    std::string plain = mergetest::readUnscrambled(dir.path("model.cfg"));
    writeScrambled(dir.path("model.cfg"), plain + "Rec1/Rec2 weight = heavy\n");
    EXPECT_EQ(TslLoad(dir.path("model.cfg").c_str()), nullptr);
}

TEST(TslLoad, ForLexgenNeedsTheCallbackBeforeReading) {
    TempDir dir("TslLoadForLexgen");
    installFixtureModel(dir);
    int userData = 0;
    EXPECT_EQ(TslLoadForLexgen(dir.path("model.cfg").c_str(), &userData, nullptr), nullptr);
    auto callback = [](const char* word, void* data, signed char* r) {
        ++*static_cast<int*>(data);
        *r = 6;
        return 1;
    };
    std::remove(dir.path("vocabulary.txt").c_str());  // not read with a lexicon generator
    OwnedMerger merger(TslLoadForLexgen(dir.path("model.cfg").c_str(), &userData, callback));
    ASSERT_NE(merger, nullptr);
    EXPECT_EQ(merger->lexgenClass("word"), 6);
    EXPECT_EQ(userData, 1);
}

}  // namespace
