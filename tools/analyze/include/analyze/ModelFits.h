#pragma once

#include "results/ResultsReader.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace kpx {

// The discounting models compared for every profile, in the order of the summary's columns; a tie
// in BIC goes to the earlier one.
enum class DiscountModel { Noise, Exponential, Hyperbolic, Hyperboloid, Rachlin, BetaDelta };

inline constexpr std::array<DiscountModel, 6> DiscountModels{DiscountModel::Noise,       DiscountModel::Exponential,
                                                             DiscountModel::Hyperbolic,  DiscountModel::Hyperboloid,
                                                             DiscountModel::Rachlin,     DiscountModel::BetaDelta};

// The model's name in the summary: noise, exp, hyp, hyperboloid, rachlin, betadelta.
std::string_view modelName(DiscountModel model);

// How many parameters the model fits (1 or 2), as BIC counts them.
int parameterCount(DiscountModel model);

// The ranges searched. ln k and ln r share one; a parameter at an edge is reported as it is.
inline constexpr double LnRateMin = -20.0;
inline constexpr double LnRateMax = 5.0;
inline constexpr double ShapeMin = 0.05;
inline constexpr double ShapeMax = 5.0;

// A residual sum of squares below this counts as this, so a perfect fit keeps a finite BIC.
inline constexpr double ResidualFloor = 1e-12;

// One model fitted to one profile. The parameters a model does not have keep the values that
// leave them out, so valueAt reads the same for every model:
//   noise c                      level
//   exp        exp(-kD)          rate
//   hyp        1/(1 + kD)        rate
//   hyperboloid 1/(1 + kD)^s     rate, shape
//   rachlin    1/(1 + k D^s)     rate, shape
//   betadelta  beta exp(-rD)     level, rate
struct ModelFit
{
    DiscountModel model = DiscountModel::Noise;
    double level = 1.0;
    double rate = 0.0;
    double shape = 1.0;
    // The residual sum of squares of the fractions y = IP / 100, unfloored.
    double rss = 0.0;
    double bic = 0.0;

    // The model's value, as a fraction of the delayed amount, at a delay in days.
    double valueAt(double days) const;

    // The delay in days at which the value falls to one half; empty for noise, and for betadelta
    // when 2 beta <= 1, where it never gets there from above.
    std::optional<double> ed50Days() const;
};

// Every model's fit and which of them the data favour.
struct ModelComparison
{
    // In the order of DiscountModels.
    std::array<ModelFit, DiscountModels.size()> fits{};
    DiscountModel best = DiscountModel::Noise;
    // exp(-(BIC_best - BIC_min) / 2) over the sum of that term for every model.
    double bestProbability = 0.0;

    const ModelFit &fit(DiscountModel model) const { return fits[static_cast<std::size_t>(model)]; }
    const ModelFit &bestFit() const { return fit(best); }
};

// BIC = n ln(RSS / n) + p ln n for the seven points, the RSS floored at ResidualFloor.
double bayesianInformationCriterion(double rss, int parameters);

// Least-squares fit of one model other than hyp to the seven fractions y = IP / 100: the global
// minimum within the ranges, from a grid over them refined by a bounded Newton search.
ModelFit fitModel(DiscountModel model, const DelayValues &fractions);

// Every model fitted, hyp taken as given (the summary's own hyperbola), compared by BIC.
ModelComparison compareModels(const DelayValues &fractions, const ModelFit &hyperbola);

} // namespace kpx
