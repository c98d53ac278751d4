#include "analyze/Scoring.h"

#include "engine/RunState.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kpx {
namespace {

// Points are in $ of the delayed amount.
constexpr double Delayed = DelayedAmount;

// Points typed as decimals (40.1, 20.1) differ by a hair more or less than they read; a
// difference of exactly $20 or $10 on paper must not trip a flag through that.
constexpr double DecimalSlack = 1e-9;

double trapezoidArea(const DelayValues &indifferencePoints, const DelayValues &x)
{
    double previousX = 0.0;
    double previousY = 1.0; // nothing is lost to a delay of zero
    double area = 0.0;
    for (std::size_t i = 0; i < ResultsDelayCount; ++i) {
        const double y = indifferencePoints[i] / Delayed;
        area += (x[i] - previousX) * (y + previousY) / 2.0;
        previousX = x[i];
        previousY = y;
    }
    return area;
}

// The points as fractions of the delayed amount, as every fit takes them.
DelayValues fractionsOf(const DelayValues &indifferencePoints)
{
    DelayValues fractions{};
    for (std::size_t i = 0; i < ResultsDelayCount; ++i)
        fractions[i] = indifferencePoints[i] / Delayed;
    return fractions;
}

double squaredError(const DelayValues &fractions, double lnK)
{
    const double k = std::exp(lnK);
    double sum = 0.0;
    for (std::size_t i = 0; i < ResultsDelayCount; ++i) {
        const double residual = fractions[i] - hyperbolicFraction(k, StandardDelayDays[i]);
        sum += residual * residual;
    }
    return sum;
}

// The hyperbola at every node of the grid and every delay, worked once with the very operations
// squaredError uses, so the grid's errors are the ones it would give.
struct HyperbolaGrid
{
    static constexpr double Step = 0.01;
    static constexpr int Points = 2501; // (LnKSearchMax - LnKSearchMin) / Step + 1
    std::vector<DelayValues> values;

    double squaredError(const DelayValues &fractions, int node) const
    {
        const DelayValues &v = values[static_cast<std::size_t>(node)];
        double sum = 0.0;
        for (std::size_t i = 0; i < ResultsDelayCount; ++i) {
            const double residual = fractions[i] - v[i];
            sum += residual * residual;
        }
        return sum;
    }
};

const HyperbolaGrid &hyperbolaGrid()
{
    static_assert(HyperbolaGrid::Points == static_cast<int>((LnKSearchMax - LnKSearchMin) / HyperbolaGrid::Step + 0.5) + 1);
    static const HyperbolaGrid grid = [] {
        HyperbolaGrid g;
        g.values.resize(HyperbolaGrid::Points);
        for (int node = 0; node < HyperbolaGrid::Points; ++node) {
            const double k = std::exp(LnKSearchMin + node * HyperbolaGrid::Step);
            for (std::size_t i = 0; i < ResultsDelayCount; ++i)
                g.values[static_cast<std::size_t>(node)][i] = hyperbolicFraction(k, StandardDelayDays[i]);
        }
        return g;
    }();
    return grid;
}

// Library code run before (the C library's or Qt's) can leave the upper halves of the AVX registers
// in use. Every SSE instruction then waits on them: the fits ran three to four times slower in the
// analyzer than alone, on the development machine. Clearing them costs one instruction.
void clearUpperVectorState()
{
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool hasAvx = __builtin_cpu_supports("avx");
    if (hasAvx)
        __asm__ volatile("vzeroupper");
#endif
}

} // namespace

double areaUnderCurve(const DelayValues &indifferencePoints)
{
    const double longest = StandardDelayDays.back();
    DelayValues x{};
    for (std::size_t i = 0; i < ResultsDelayCount; ++i)
        x[i] = StandardDelayDays[i] / longest;
    return trapezoidArea(indifferencePoints, x);
}

double ordinalAreaUnderCurve(const DelayValues &indifferencePoints)
{
    DelayValues x{};
    for (std::size_t i = 0; i < ResultsDelayCount; ++i)
        x[i] = static_cast<double>(i + 1) / ResultsDelayCount;
    return trapezoidArea(indifferencePoints, x);
}

double hyperbolicFraction(double k, double days)
{
    return 1.0 / (1.0 + k * days);
}

HyperbolicFit fitHyperbola(const DelayValues &indifferencePoints)
{
    const DelayValues fractions = fractionsOf(indifferencePoints);

    // A fine grid first: with odd profiles the error can have more than one dip, and a
    // local search started blind could settle in the wrong one.
    const HyperbolaGrid &grid = hyperbolaGrid();
    int best = 0;
    double bestError = grid.squaredError(fractions, 0);
    for (int i = 1; i < HyperbolaGrid::Points; ++i) {
        const double error = grid.squaredError(fractions, i);
        if (error < bestError) {
            bestError = error;
            best = i;
        }
    }

    // Then golden-section search within the grid cells either side of the best point.
    double low = std::max(LnKSearchMin, LnKSearchMin + (best - 1) * HyperbolaGrid::Step);
    double high = std::min(LnKSearchMax, LnKSearchMin + (best + 1) * HyperbolaGrid::Step);
    const double ratio = (std::sqrt(5.0) - 1.0) / 2.0;
    double a = high - ratio * (high - low);
    double b = low + ratio * (high - low);
    double errorA = squaredError(fractions, a);
    double errorB = squaredError(fractions, b);
    while (high - low > 1e-7) {
        if (errorA <= errorB) {
            high = b;
            b = a;
            errorB = errorA;
            a = high - ratio * (high - low);
            errorA = squaredError(fractions, a);
        } else {
            low = a;
            a = b;
            errorA = errorB;
            b = low + ratio * (high - low);
            errorB = squaredError(fractions, b);
        }
    }

    HyperbolicFit fit;
    fit.lnK = (low + high) / 2.0;
    fit.k = std::exp(fit.lnK);
    fit.rss = squaredError(fractions, fit.lnK);

    // All-equal points leave nothing to explain; tested on the inputs, as a mean of equal
    // doubles need not come out exactly equal to them.
    const bool allEqual = std::all_of(indifferencePoints.begin(), indifferencePoints.end(),
                                      [&](double ip) { return ip == indifferencePoints.front(); });
    if (!allEqual) {
        double mean = 0.0;
        for (double y : fractions)
            mean += y;
        mean /= ResultsDelayCount;
        double total = 0.0;
        for (double y : fractions)
            total += (y - mean) * (y - mean);
        fit.r2 = 1.0 - fit.rss / total;
    }
    return fit;
}

bool failsJohnsonBickel1(const DelayValues &indifferencePoints)
{
    constexpr double AllowedRise = 0.20 * Delayed + DecimalSlack;
    for (std::size_t i = 1; i < ResultsDelayCount; ++i) {
        if (indifferencePoints[i] - indifferencePoints[i - 1] > AllowedRise)
            return true;
    }
    return false;
}

bool failsJohnsonBickel2(const DelayValues &indifferencePoints)
{
    constexpr double RequiredDrop = 0.10 * Delayed - DecimalSlack;
    return indifferencePoints.front() - indifferencePoints.back() < RequiredDrop;
}

Score scoreProfile(const DelayValues &indifferencePoints)
{
    clearUpperVectorState();
    Score score;
    score.auc = areaUnderCurve(indifferencePoints);
    score.aucOrdinal = ordinalAreaUnderCurve(indifferencePoints);
    score.fit = fitHyperbola(indifferencePoints);
    ModelFit hyperbola;
    hyperbola.model = DiscountModel::Hyperbolic;
    hyperbola.rate = score.fit.k;
    hyperbola.rss = score.fit.rss;
    score.models = compareModels(fractionsOf(indifferencePoints), hyperbola);
    score.jbC1 = failsJohnsonBickel1(indifferencePoints);
    score.jbC2 = failsJohnsonBickel2(indifferencePoints);
    return score;
}

double quantile(const std::vector<double> &sorted, double p)
{
    if (sorted.empty())
        return 0.0;
    const double h = static_cast<double>(sorted.size() - 1) * p;
    const auto below = static_cast<std::size_t>(std::floor(h));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (h - static_cast<double>(below)) * (sorted[above] - sorted[below]);
}

DelayValues medianPerDelay(const std::vector<DelayValues> &profiles)
{
    DelayValues medians{};
    if (profiles.empty())
        return medians;
    std::vector<double> column(profiles.size());
    for (std::size_t delay = 0; delay < ResultsDelayCount; ++delay) {
        for (std::size_t p = 0; p < profiles.size(); ++p)
            column[p] = profiles[p][delay];
        std::sort(column.begin(), column.end());
        medians[delay] = quantile(column, 0.5);
    }
    return medians;
}

} // namespace kpx
