#pragma once

#include "results/ResultsReader.h"
#include "analyze/ModelFits.h"

#include <optional>
#include <vector>

namespace kpx {

// The hyperbola V/A = 1 / (1 + kD) fitted by least squares to one profile.
struct HyperbolicFit
{
    double k = 0.0;
    double lnK = 0.0;
    // Empty when every point is the same, where the fit explains no variance at all.
    std::optional<double> r2;
    // The residual sum of squares of the fractions IP / 100.
    double rss = 0.0;
};

// Everything the summary reports about one profile.
struct Score
{
    double auc = 0.0;
    double aucOrdinal = 0.0;
    HyperbolicFit fit;
    // Every discounting model, the hyperbola among them as fitted above.
    ModelComparison models;
    bool jbC1 = false;
    bool jbC2 = false;
};

// The range searched for ln k; a fit at either end means the data lie beyond it.
inline constexpr double LnKSearchMin = LnRateMin;
inline constexpr double LnKSearchMax = LnRateMax;

// Area under the discounting curve over delays scaled to 0..1, with (0, 1) added first.
double areaUnderCurve(const DelayValues &indifferencePoints);

// The same area with the delays spaced evenly (i/7), so the long delays do not dominate.
double ordinalAreaUnderCurve(const DelayValues &indifferencePoints);

// The hyperbola's value, as a fraction of the delayed amount, at a delay in days.
double hyperbolicFraction(double k, double days);

// Least-squares hyperbola through the seven points, ln k refined to 1e-6 within the search range.
HyperbolicFit fitHyperbola(const DelayValues &indifferencePoints);

// Johnson & Bickel criterion 1: some point rises more than $20 above the one before it.
bool failsJohnsonBickel1(const DelayValues &indifferencePoints);

// Johnson & Bickel criterion 2: the first point exceeds the last by less than $10.
bool failsJohnsonBickel2(const DelayValues &indifferencePoints);

// All of the above for one profile.
Score scoreProfile(const DelayValues &indifferencePoints);

// The p-quantile (0..1) of values sorted ascending, interpolated linearly between the two nearest
// (h = (n - 1) p; Hyndman & Fan type 7, the default of R and NumPy); 0 when there are none.
double quantile(const std::vector<double> &sorted, double p);

// The median of each delay's points over all profiles; zeros when there are none.
DelayValues medianPerDelay(const std::vector<DelayValues> &profiles);

} // namespace kpx
