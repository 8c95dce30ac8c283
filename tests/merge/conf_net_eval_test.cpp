// Evaluating confidence nets written by the test, against outputs computed by
// hand: the matrix-weighted distance for every dimension a net may have, the
// two kernel shapes, and the normalisation of the output sums.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ConfNet.h"
#include "ConfNetEval.h"
#include "merge_test_util.h"

namespace {

using mergetest::kernelNet;
using mergetest::kernelUnit;
using mergetest::NetFile;
using tessel::ConfNet;
using tessel::ConfNetWork;

class ConfNetEval : public ::testing::Test {
  protected:
    ConfNetEval() : dir_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    // The net as the library reads it from its file.
    const ConfNet& load(const NetFile& file) {
        mergetest::writeFile(dir_.path("net.bin"), mergetest::encodeNet(file));
        net_ = ConfNet();
        EXPECT_TRUE(tessel::readConfNet(net_, dir_.path("net.bin").c_str()));
        EXPECT_TRUE(tessel::prepareConfNetWork(net_, work_));
        return net_;
    }
    std::vector<double> eval(const std::vector<double>& x) {
        const double* out = nullptr;
        const double* result = tessel::evalConfNet(net_, x.data(), work_, &out);
        EXPECT_EQ(result, out);
        return std::vector<double>(out, out + work_.sums.count());
    }

    mergetest::TempDir dir_;
    ConfNet net_;
    ConfNetWork work_;
};

TEST_F(ConfNetEval, DistanceIsTheSquaredLengthOfMatrixTimesDifference) {
    const struct {
        const char* name;
        std::vector<double> matrix;
        double distance;
    } cases[] = {
        {"identity", {1, 0, 0, 1}, 1 + 4},
        {"scaled first row", {2, 0, 0, 1}, 4 + 4},
        // Row-major: (1 2; 0 1) (1, 2) = (5, 2); its transpose would give (1, 4).
        {"rows, not columns", {1, 2, 0, 1}, 25 + 4},
    };
    for (const auto& c : cases) {
        load(kernelNet(1005, 2, {kernelUnit(0, {1, 2}, 1, 0.5, 1.0, 0.5, c.matrix)}));
        const double x[] = {2, 4};
        EXPECT_EQ(tessel::confNetDistance(net_, net_.units[0], x, work_), c.distance) << c.name;
        EXPECT_EQ(work_.diff[0], 1.0);
        EXPECT_EQ(work_.diff[1], 2.0);
    }
}

// Every dimension the reader accepts is measured in full; nets over 37 to 100
// features once got distance 0 and so answered their priors alone.
TEST_F(ConfNetEval, EveryDimensionGetsItsDistance) {
    for (int32_t dim : {1, 2, 5, 6, 20, 36, 37, 64, 100}) {
        std::vector<double> matrix(static_cast<size_t>(dim * dim), 0.0);
        for (int32_t i = 0; i < dim; ++i) matrix[static_cast<size_t>(i * dim + i)] = 0.5;
        std::vector<double> x;
        for (int32_t i = 0; i < dim; ++i) x.push_back(0.1 * (i + 1));
        const NetFile file =
            kernelNet(1005, 2,
                      {kernelUnit(0, std::vector<double>(dim, 0.0), 1, 0.5, 1.0, 0.5, matrix),
                       kernelUnit(1, x, 1, 0.5)});
        load(file);
        // 0.25 * sum (0.1 i)^2 over i = 1..dim.
        const double expected = 0.25 * 0.01 * dim * (dim + 1) * (2 * dim + 1) / 6;
        EXPECT_NEAR(tessel::confNetDistance(net_, net_.units[0], x.data(), work_), expected,
                    1e-12 * expected)
            << "dim " << dim;
        // Unit 1 sits on x: output 1 = 1 / (1 + exp(-d / 2)).
        EXPECT_NEAR(eval(x)[1], 1.0 / (1.0 + std::exp(-0.5 * expected)), 1e-12) << "dim " << dim;
    }
}

TEST_F(ConfNetEval, ActivationFollowsTheKernelShape) {
    const struct {
        const char* name;
        double power, scale, prior, distance, activation;
    } cases[] = {
        {"gaussian", 1.0, 9.0, 0.5, 4.0, 0.5 * std::exp(-2.0)},
        {"gaussian, far: prior folded in", 1.0, 9.0, 0.5, 100.0, std::exp(-50.0 + std::log(0.5))},
        {"gaussian at the threshold", 1.0, 9.0, 0.5, 60.0, 0.5 * std::exp(-30.0)},
        {"power 2", 2.0, 0.5, 0.25, 4.0, 0.25 * std::exp(-4.0)},
        {"power 0.5", 0.5, 2.0, 0.25, 8.0, 0.25 * std::exp(-4.0)},
        {"at the centre", 3.0, 1.0, 0.125, 0.0, 0.125},
    };
    for (const auto& c : cases) {
        const mergetest::NetUnit u = kernelUnit(0, {0}, 1, c.prior, c.power, c.scale);
        tessel::ConfNetUnit unit;
        unit.prior = u.prior;
        unit.logPrior = u.logPrior;
        unit.power = u.power;
        unit.scale = u.scale;
        EXPECT_NEAR(tessel::confNetActivation(unit, c.distance), c.activation,
                    1e-15 * c.activation + 1e-300)
            << c.name;
    }
}

TEST_F(ConfNetEval, OutputsAreNormalisedSums) {
    const double e = std::exp(1.0);
    const struct {
        const char* name;
        int32_t version;
        std::vector<mergetest::NetUnit> units;
        std::vector<double> x;
        std::vector<double> outputs;
    } cases[] = {
        {"both units on output 0",
         1005,
         {kernelUnit(0, {0}, 1, 0.5), kernelUnit(0, {1}, 1, 0.5)},
         {0.5},
         {1.0, 0.0}},
        {"weights 1 and 3, equal activations",
         1005,
         {kernelUnit(0, {0}, 1, 0.5), kernelUnit(1, {1}, 3, 0.5)},
         {0.5},
         {0.25, 0.75}},
        // Old layout: prior stored, power 1. d0 = 2, d1 = 5; sums 0.5/e and 2 * 0.25/e^2.5.
        {"version 1002 by hand",
         1002,
         {kernelUnit(0, {0, 0}, 1, 0.5), kernelUnit(1, {3, 0}, 2, 0.25)},
         {1, 1},
         {1 / (1 + std::exp(-1.5)), std::exp(-1.5) / (1 + std::exp(-1.5))}},
        // Power 2, scale 0.5: f = d^2 / 4; d0 = 2 (f 1), d1 = 4 (f 4), priors equal.
        {"power 2 by hand",
         1005,
         {kernelUnit(0, {0, 0}, 1, 0.5, 2.0, 0.5), kernelUnit(1, {1, 1}, 1, 0.5, 2.0, 0.5)},
         {1, -1},
         {1 / (1 + std::exp(-3.0)), std::exp(-3.0) / (1 + std::exp(-3.0))}},
        {"three outputs",
         1005,
         {kernelUnit(0, {0}, 1, 1.0), kernelUnit(1, {0}, 2, 1.0), kernelUnit(2, {2}, 1, 1.0)},
         {0},
         {1 / (3 + 1 / (e * e)), 2 / (3 + 1 / (e * e)), (1 / (e * e)) / (3 + 1 / (e * e))}},
    };
    for (const auto& c : cases) {
        load(kernelNet(c.version, static_cast<int32_t>(c.outputs.size()), c.units));
        const std::vector<double> first = eval(c.x);
        ASSERT_EQ(first.size(), c.outputs.size()) << c.name;
        for (size_t o = 0; o < c.outputs.size(); ++o)
            EXPECT_NEAR(first[o], c.outputs[o], 1e-12) << c.name << ", output " << o;
        EXPECT_EQ(eval(c.x), first) << c.name << ": the net is not changed by evaluating it";
    }
}

TEST_F(ConfNetEval, UnnormalisedSumsAndFarAwayUnits) {
    load(kernelNet(1005, 2, {kernelUnit(0, {0}, 2, 0.5), kernelUnit(1, {0}, 1, 0.25)}));
    const double x[] = {0};
    const double* sums = nullptr;
    tessel::evalConfNetUnits(net_, x, work_, &sums);
    EXPECT_EQ(sums[0], 1.0);
    EXPECT_EQ(sums[1], 0.25);
    // Every activation 0: there is no probability to give.
    const double far[] = {1e6};
    const double* out = tessel::evalConfNet(net_, far, work_, nullptr);
    EXPECT_TRUE(std::isnan(out[0]) && std::isnan(out[1]));
}

TEST_F(ConfNetEval, WorkspaceKeepsWhatItHoldsAndZeroesEverySum) {
    load(kernelNet(1005, 2, {kernelUnit(1, {0}, 1, 0.5)}));
    ConfNetWork work;
    ASSERT_TRUE(work.sums.setCount(3));
    work.sums[0] = 7.0;
    work.sums[2] = 9.0;
    ASSERT_TRUE(tessel::prepareConfNetWork(net_, work));
    EXPECT_EQ(work.sums.count(), 2u) << "sized to the net's outputs";
    EXPECT_EQ(work.diff.count(), 1u);
    const double x[] = {0};
    const double* out = tessel::evalConfNet(net_, x, work, nullptr);
    EXPECT_EQ(out[0], 0.0);
    EXPECT_EQ(out[1], 1.0);
}

}  // namespace
