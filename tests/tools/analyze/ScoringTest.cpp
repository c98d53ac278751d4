#include "analyze/Scoring.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using kpx::DelayValues;

const DelayValues ExamplePoints{97.5, 92.5, 62.5, 47.5, 32.5, 22.5, 2.5};

DelayValues hyperbolaPoints(double k)
{
    DelayValues points{};
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = 100.0 / (1.0 + k * kpx::StandardDelayDays[i]);
    return points;
}

// Written out independently of the library, to judge its fit against.
double squaredError(const DelayValues &points, double lnK)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const double residual = points[i] / 100.0 - 1.0 / (1.0 + std::exp(lnK) * kpx::StandardDelayDays[i]);
        sum += residual * residual;
    }
    return sum;
}

struct AreaCase
{
    const char *name;
    DelayValues points;
    double auc;
    double aucOrdinal;
};

void PrintTo(const AreaCase &c, std::ostream *os)
{
    *os << c.name;
}

class AreaUnderCurve : public ::testing::TestWithParam<AreaCase>
{
};

TEST_P(AreaUnderCurve, MatchesTheTrapezoidsWorkedByHand)
{
    const kpx::Score score = kpx::scoreProfile(GetParam().points);
    EXPECT_NEAR(score.auc, GetParam().auc, 1e-12);
    EXPECT_NEAR(score.aucOrdinal, GetParam().aucOrdinal, 1e-12);
}

// Worked in days (x = D/1825) and in steps (x = i/7), starting from (0, 1):
// trapezoid sums 0.9875 + 1824 * 0.975, 0.9875 + 6 * 0.975 and so on.
INSTANTIATE_TEST_SUITE_P(
    Profiles, AreaUnderCurve,
    ::testing::Values(AreaCase{"All97", {97.5, 97.5, 97.5, 97.5, 97.5, 97.5, 97.5}, 1779.3875 / 1825, 6.8375 / 7},
                      AreaCase{"All2", {2.5, 2.5, 2.5, 2.5, 2.5, 2.5, 2.5}, 46.1125 / 1825, 0.6625 / 7},
                      AreaCase{"Example", ExamplePoints, 326.8875 / 1825, 4.0625 / 7}),
    [](const auto &info) { return std::string(info.param.name); });

struct FlagCase
{
    const char *name;
    DelayValues points;
    bool jbC1;
    bool jbC2;
};

void PrintTo(const FlagCase &c, std::ostream *os)
{
    *os << c.name;
}

class JohnsonBickelFlags : public ::testing::TestWithParam<FlagCase>
{
};

TEST_P(JohnsonBickelFlags, AreRaisedOnlyPastTheirThresholds)
{
    const kpx::Score score = kpx::scoreProfile(GetParam().points);
    EXPECT_EQ(score.jbC1, GetParam().jbC1);
    EXPECT_EQ(score.jbC2, GetParam().jbC2);
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, JohnsonBickelFlags,
    ::testing::Values(FlagCase{"Orderly", ExamplePoints, false, false},
                      FlagCase{"Rise25", {97.5, 92.5, 62.5, 87.5, 32.5, 22.5, 2.5}, true, false},
                      FlagCase{"RiseExactly20", {97.5, 92.5, 62.5, 82.5, 32.5, 22.5, 2.5}, false, false},
                      FlagCase{"RiseAtLastDelay", {97.5, 92.5, 62.5, 47.5, 32.5, 2.5, 27.5}, true, false},
                      FlagCase{"RiseOf20TypedAsDecimals", {97.5, 92.5, 12.2, 32.2, 22.5, 12.5, 2.5}, false, false},
                      FlagCase{"Drop7", {57.5, 57.5, 55.0, 52.5, 52.5, 50.0, 50.0}, false, true},
                      FlagCase{"DropExactly10", {57.5, 57.5, 55.0, 52.5, 52.5, 50.0, 47.5}, false, false},
                      FlagCase{"DropOf10TypedAsDecimals", {16.4, 16.4, 12.5, 10.0, 7.5, 7.5, 6.4}, false, false},
                      FlagCase{"Flat", {97.5, 97.5, 97.5, 97.5, 97.5, 97.5, 97.5}, false, true},
                      FlagCase{"Both", {52.5, 22.5, 72.5, 42.5, 52.5, 47.5, 47.5}, true, true}),
    [](const auto &info) { return std::string(info.param.name); });

class HyperbolicFitOfExactCurve : public ::testing::TestWithParam<double>
{
};

TEST_P(HyperbolicFitOfExactCurve, RecoversTheKItWasBuiltFrom)
{
    const double k = GetParam();
    const kpx::HyperbolicFit fit = kpx::fitHyperbola(hyperbolaPoints(k));
    EXPECT_NEAR(fit.lnK, std::log(k), 1e-6);
    EXPECT_NEAR(fit.k, k, k * 1e-6);
    ASSERT_TRUE(fit.r2);
    EXPECT_NEAR(*fit.r2, 1.0, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Ks, HyperbolicFitOfExactCurve, ::testing::Values(0.0001, 0.001, 0.01, 0.1, 1.0));

class HyperbolicFitOfRealProfiles : public ::testing::TestWithParam<DelayValues>
{
};

TEST_P(HyperbolicFitOfRealProfiles, FindsTheLowestErrorAnywhereInTheSearchRange)
{
    const DelayValues &points = GetParam();
    const kpx::HyperbolicFit fit = kpx::fitHyperbola(points);
    const double fitted = squaredError(points, fit.lnK);
    for (double lnK = kpx::LnKSearchMin; lnK <= kpx::LnKSearchMax; lnK += 0.001)
        ASSERT_LE(fitted, squaredError(points, lnK) + 1e-12) << "ln k " << lnK << " fits better than " << fit.lnK;
}

TEST_P(HyperbolicFitOfRealProfiles, ExplainsVarianceAsOneMinusResidualOverTotal)
{
    const DelayValues &points = GetParam();
    const kpx::HyperbolicFit fit = kpx::fitHyperbola(points);
    double mean = 0.0;
    for (double ip : points)
        mean += ip / 100.0 / 7.0;
    double total = 0.0;
    for (double ip : points)
        total += (ip / 100.0 - mean) * (ip / 100.0 - mean);
    ASSERT_TRUE(fit.r2);
    EXPECT_NEAR(*fit.r2, 1.0 - squaredError(points, fit.lnK) / total, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Profiles, HyperbolicFitOfRealProfiles,
                         ::testing::Values(ExamplePoints, DelayValues{52.5, 22.5, 12.5, 7.5, 2.5, 2.5, 2.5},
                                           DelayValues{2.5, 97.5, 2.5, 97.5, 2.5, 97.5, 2.5},
                                           DelayValues{2.5, 10.0, 20.0, 40.0, 60.0, 80.0, 97.5}));

TEST(HyperbolicFit, LeavesR2EmptyWhenAllPointsAreEqual)
{
    for (double ip : {97.5, 2.5, 0.1}) {
        const kpx::HyperbolicFit fit = kpx::fitHyperbola({ip, ip, ip, ip, ip, ip, ip});
        EXPECT_FALSE(fit.r2) << ip;
        EXPECT_TRUE(std::isfinite(fit.k)) << ip;
    }
}

TEST(MedianPerDelay, TakesTheMiddleOrTheMeanOfTheTwoMiddles)
{
    const DelayValues a{10, 10, 10, 10, 10, 10, 10};
    const DelayValues b{30, 20, 90, 10, 10, 10, 10};
    const DelayValues c{20, 60, 50, 10, 10, 10, 40};
    EXPECT_EQ(kpx::medianPerDelay({a, b, c}), (DelayValues{20, 20, 50, 10, 10, 10, 10}));
    EXPECT_EQ(kpx::medianPerDelay({a, b, c, c}), (DelayValues{20, 40, 50, 10, 10, 10, 25}));
}

} // namespace
