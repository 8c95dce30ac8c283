// Reading confidence-net files: every layout field by field, the limits of the
// header, and files that end early or lie about their counts.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "ConfNet.h"
#include "merge_test_util.h"

namespace {

using mergetest::encodeNet;
using mergetest::NetFile;
using mergetest::patchInt32;
using mergetest::sampleNet;
using mergetest::TempDir;
using mergetest::writeFile;
using tessel::ConfNet;

// Compares a read net with the file it came from, field by field.
void expectNetEquals(const ConfNet& net, const NetFile& file) {
    EXPECT_EQ(net.version, file.version);
    EXPECT_EQ(net.dim, file.dim);
    EXPECT_EQ(net.outputs, file.outputs);
    ASSERT_EQ(net.outputInts.count(), file.outputInts.size());
    ASSERT_EQ(net.outputDoubles.count(), file.outputDoubles.size());
    for (size_t o = 0; o < file.outputInts.size(); ++o) {
        EXPECT_EQ(net.outputInts[o], file.outputInts[o]);
        EXPECT_EQ(net.outputDoubles[o], file.outputDoubles[o]);
    }
    EXPECT_EQ(net.legacyValue, file.version < 1005 ? file.legacyValue : 0.0);
    ASSERT_EQ(net.auxValues.count(), file.auxValues.size());
    for (size_t a = 0; a < file.auxValues.size(); ++a)
        EXPECT_EQ(net.auxValues[a], file.auxValues[a]);
    ASSERT_EQ(net.units.count(), file.units.size());
    for (size_t u = 0; u < file.units.size(); ++u) {
        const tessel::ConfNetUnit& got = net.units[u];
        const mergetest::NetUnit& want = file.units[u];
        SCOPED_TRACE("unit " + std::to_string(u));
        EXPECT_EQ(got.weight, want.weight);
        EXPECT_EQ(got.output, want.output);
        ASSERT_EQ(got.centre.count(), want.centre.size());
        ASSERT_EQ(got.matrix.count(), want.matrix.size());
        for (size_t i = 0; i < want.centre.size(); ++i) EXPECT_EQ(got.centre[i], want.centre[i]);
        for (size_t i = 0; i < want.matrix.size(); ++i) EXPECT_EQ(got.matrix[i], want.matrix[i]);
        if (file.version < 1003) {
            EXPECT_EQ(got.prior, want.prior);
            EXPECT_EQ(got.logPrior, std::log(want.prior));
            EXPECT_EQ(got.power, 1.0);
            EXPECT_EQ(got.scale, 0.5);
        } else {
            EXPECT_EQ(got.logPrior, want.logPrior);
            EXPECT_EQ(got.prior, std::exp(want.logPrior));
            EXPECT_EQ(got.power, want.power);
            EXPECT_EQ(got.scale, want.scale);
        }
    }
}

class ConfNetFile : public ::testing::Test {
  protected:
    ConfNetFile() : dir_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    bool read(const std::string& bytes, ConfNet& net) {
        writeFile(dir_.path("net.bin"), bytes);
        return tessel::readConfNet(net, dir_.path("net.bin").c_str());
    }
    bool read(const std::string& bytes) {
        ConfNet net;
        return read(bytes, net);
    }

    TempDir dir_;
};

struct LayoutCase {
    int32_t version;  // 0: no version word
    int32_t dim;
    int32_t units;
    int32_t outputs;
    int32_t aux;
};

class ConfNetLayout : public ConfNetFile, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(ConfNetLayout, ReadsBackFieldByField) {
    const LayoutCase& c = GetParam();
    const NetFile file = sampleNet(c.version, c.dim, c.units, c.outputs, c.aux);
    ConfNet net;
    ASSERT_TRUE(read(encodeNet(file), net));
    expectNetEquals(net, file);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, ConfNetLayout,
    ::testing::Values(LayoutCase{0, 2, 3, 2, 1},  // oldest layout
                      LayoutCase{1000, 1, 1, 2, 3}, LayoutCase{1002, 3, 4, 2, 2},
                      LayoutCase{1003, 3, 4, 3, 2}, LayoutCase{1004, 5, 2, 2, 1},
                      LayoutCase{1005, 2, 6, 4, 3}, LayoutCase{2000, 4, 2, 2, 2},
                      LayoutCase{0, 100, 1, 2, 1}, LayoutCase{1005, 1, 500, 500, 1}));

TEST_F(ConfNetFile, FileSizesFollowTheLayout) {
    // Version 1005, dim 2: 16 header + 12 per output + 4 + 8 per aux value +
    // 84 per unit; no legacy value.
    EXPECT_EQ(encodeNet(sampleNet(1005, 2, 3, 2, 1)).size(), 16u + 24 + 4 + 8 + 3 * 84);
    // Version 1004 keeps the legacy value; 1002 has one double per unit after the matrix.
    EXPECT_EQ(encodeNet(sampleNet(1004, 2, 3, 2, 1)).size(), 16u + 24 + 8 + 4 + 8 + 3 * 84);
    EXPECT_EQ(encodeNet(sampleNet(1002, 2, 3, 2, 1)).size(), 16u + 24 + 8 + 4 + 8 + 3 * 68);
    EXPECT_EQ(encodeNet(sampleNet(0, 2, 3, 2, 1)).size(), 12u + 24 + 8 + 4 + 8 + 3 * 68);
}

TEST_F(ConfNetFile, FirstWordDecidesTheVersion) {
    std::string bytes = encodeNet(sampleNet(1005, 2, 1));
    ConfNet net;
    patchInt32(bytes, 0, 1000);  // version 1000: the layout with legacy value and prior
    EXPECT_FALSE(read(bytes, net)) << "a 1005 body read as version 1000 is too short";
    EXPECT_TRUE(read(encodeNet(sampleNet(1000, 2, 1)), net));
    EXPECT_EQ(net.version, 1000);
    EXPECT_EQ(net.dim, 2);
    std::string dim999 = encodeNet(sampleNet(0, 2, 1));
    patchInt32(dim999, 0, 999);
    EXPECT_FALSE(read(dim999)) << "999 is a dimension, and too large";
}

struct HeaderCase {
    const char* name;
    int32_t dim, units, outputs, aux;
    bool valid;
};

class ConfNetHeader : public ConfNetFile, public ::testing::WithParamInterface<HeaderCase> {};

// The header's counts are patched into an otherwise consistent small file, so
// counts too large also meet a file far too short for them.
TEST_P(ConfNetHeader, AcceptsOnlyCountsInRange) {
    const HeaderCase& c = GetParam();
    const bool sane = c.dim >= 1 && c.dim <= 8 && c.units >= 1 && c.units <= 500 &&
                      c.outputs >= 2 && c.outputs <= 500 && c.aux >= 0 && c.aux <= 4;
    NetFile file =
        sane ? sampleNet(1005, c.dim, c.units, c.outputs, c.aux) : sampleNet(1005, 2, 2, 2, 1);
    std::string bytes = encodeNet(file);
    patchInt32(bytes, 4, c.dim);
    patchInt32(bytes, 8, c.units);
    patchInt32(bytes, 12, c.outputs);
    if (sane) patchInt32(bytes, 16 + 12 * static_cast<size_t>(c.outputs), c.aux);
    EXPECT_EQ(read(bytes), c.valid);
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ConfNetHeader,
    ::testing::Values(
        HeaderCase{"DimZero", 0, 2, 2, 1, false}, HeaderCase{"Dim101", 101, 2, 2, 1, false},
        HeaderCase{"DimNegative", -1, 2, 2, 1, false}, HeaderCase{"UnitsZero", 2, 0, 2, 1, false},
        HeaderCase{"Units501", 2, 501, 2, 1, false},
        HeaderCase{"UnitsNegative", 2, -5, 2, 1, false},
        HeaderCase{"UnitsHuge", 2, INT_MAX, 2, 1, false},
        HeaderCase{"Outputs501", 2, 2, 501, 1, false},
        HeaderCase{"OutputsNegative", 2, 2, -1, 1, false},
        HeaderCase{"OutputsMin", 2, 2, INT_MIN, 1, false},
        HeaderCase{"OutputsHuge", 2, 2, INT_MAX, 1, false},
        HeaderCase{"AllAtMaximumButShort", 100, 500, 500, 1, false},
        HeaderCase{"Outputs500", 2, 2, 500, 1, true}, HeaderCase{"Units500", 1, 500, 2, 1, true},
        HeaderCase{"AuxZero", 2, 2, 2, 0, false}, HeaderCase{"AuxFour", 2, 2, 2, 4, false},
        HeaderCase{"AuxThree", 2, 2, 2, 3, true}, HeaderCase{"AuxOne", 2, 2, 2, 1, true}),
    [](const ::testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.name); });

TEST_F(ConfNetFile, UnitOutputMustNameAnOutput) {
    for (int32_t output : {-1, 2, INT_MAX}) {
        NetFile file = sampleNet(1005, 2, 3, 2, 1);
        file.units[2].output = output;
        EXPECT_FALSE(read(encodeNet(file))) << "output " << output;
    }
}

TEST_F(ConfNetFile, NoOutputsLeavesNoUnitAnOutput) {
    NetFile file = sampleNet(1005, 2, 1, 0, 1);
    EXPECT_FALSE(read(encodeNet(file)));
}

TEST_F(ConfNetFile, EveryTruncationFailsAndLeavesTheNetAsItWas) {
    const NetFile before = sampleNet(1003, 3, 2, 3, 2);
    ConfNet net;
    ASSERT_TRUE(read(encodeNet(before), net));
    for (int32_t version : {0, 1002, 1004, 1005}) {
        const std::string bytes = encodeNet(sampleNet(version, 2, 3, 2, 2));
        for (size_t size = 0; size < bytes.size(); ++size) {
            ASSERT_FALSE(read(bytes.substr(0, size), net))
                << "version " << version << ", " << size << " bytes";
        }
    }
    expectNetEquals(net, before);
}

TEST_F(ConfNetFile, BytesAfterTheLastUnitAreIgnored) {
    ConfNet net;
    EXPECT_TRUE(read(encodeNet(sampleNet(1005, 2, 2)) + std::string(13, '\x7f'), net));
    EXPECT_EQ(net.units.count(), 2u);
}

TEST_F(ConfNetFile, MissingFileLeavesTheNetAsItWas) {
    const NetFile before = sampleNet(1005, 2, 2);
    ConfNet net;
    ASSERT_TRUE(read(encodeNet(before), net));
    EXPECT_FALSE(tessel::readConfNet(net, dir_.path("absent.bin").c_str()));
    EXPECT_FALSE(tessel::readConfNet(net, nullptr));
    expectNetEquals(net, before);
}

TEST_F(ConfNetFile, SecondFileReplacesTheFirst) {
    ConfNet net;
    ASSERT_TRUE(read(encodeNet(sampleNet(1005, 4, 6, 3, 3)), net));
    const NetFile second = sampleNet(0, 2, 2, 2, 1);
    ASSERT_TRUE(read(encodeNet(second), net));
    expectNetEquals(net, second);  // also the version: the second file has none
}

}  // namespace
