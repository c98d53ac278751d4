#include "analyze/ModelFits.h"

#include "engine/DelayTable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace kpx {
namespace {

constexpr std::size_t PointCount = ResultsDelayCount;

// The delays and their logarithms, in days, as the fits use them.
struct Delays
{
    std::array<double, PointCount> days{};
    std::array<double, PointCount> logDays{};
};

const Delays &delays()
{
    static const Delays table = [] {
        Delays d;
        for (std::size_t i = 0; i < PointCount; ++i) {
            d.days[i] = StandardDelayDays[i];
            d.logDays[i] = std::log(d.days[i]);
        }
        return d;
    }();
    return table;
}

const double LnShapeMin = std::log(ShapeMin);
const double LnShapeMax = std::log(ShapeMax);

// Up to two parameters, searched in these units: ln k, ln r and ln s rather than k, r and s, so
// that the grid spreads evenly over decades; beta as it is.
using Parameters = std::array<double, 2>;

struct Range
{
    double low;
    double high;
};

// The residual sum of squares with its gradient and Hessian (00, 01, 11) in the search units.
struct Evaluation
{
    double rss = 0.0;
    std::array<double, 2> gradient{};
    std::array<double, 3> hessian{};
};

// Adds one point's residual, given the model's value f there, its first derivatives df and second
// derivatives ddf (00, 01, 11).
void addPoint(Evaluation &e, double y, double f, const std::array<double, 2> &df, const std::array<double, 3> &ddf)
{
    const double r = y - f;
    e.rss += r * r;
    e.gradient[0] -= 2.0 * r * df[0];
    e.gradient[1] -= 2.0 * r * df[1];
    e.hessian[0] += 2.0 * (df[0] * df[0] - r * ddf[0]);
    e.hessian[1] += 2.0 * (df[0] * df[1] - r * ddf[1]);
    e.hessian[2] += 2.0 * (df[1] * df[1] - r * ddf[2]);
}

// A fit of a model in (ln k, ln s).
ModelFit rateAndShapeFit(DiscountModel model, const Parameters &p)
{
    ModelFit fit;
    fit.model = model;
    fit.rate = std::exp(p[0]);
    fit.shape = std::exp(p[1]);
    return fit;
}

// exp(-kD) in (ln k).
struct Exponential
{
    static constexpr int Count = 1;
    static std::array<Range, 2> ranges() { return {{{LnRateMin, LnRateMax}, {0.0, 0.0}}}; }

    static Evaluation evaluate(const Parameters &p, const DelayValues &y)
    {
        Evaluation e;
        const double k = std::exp(p[0]);
        for (std::size_t i = 0; i < PointCount; ++i) {
            const double kD = k * delays().days[i];
            const double f = std::exp(-kD);
            addPoint(e, y[i], f, {-kD * f, 0.0}, {-kD * f * (1.0 - kD), 0.0, 0.0});
        }
        return e;
    }

    static ModelFit fit(const Parameters &p)
    {
        ModelFit fit;
        fit.model = DiscountModel::Exponential;
        fit.rate = std::exp(p[0]);
        return fit;
    }
};

// (1 + kD)^-s in (ln k, ln s).
struct Hyperboloid
{
    static constexpr int Count = 2;
    static std::array<Range, 2> ranges() { return {{{LnRateMin, LnRateMax}, {LnShapeMin, LnShapeMax}}}; }

    static Evaluation evaluate(const Parameters &p, const DelayValues &y)
    {
        Evaluation e;
        const double k = std::exp(p[0]);
        const double s = std::exp(p[1]);
        for (std::size_t i = 0; i < PointCount; ++i) {
            const double kD = k * delays().days[i];
            const double logBase = std::log1p(kD);
            const double q = kD / (1.0 + kD); // d logBase / d ln k
            const double f = std::exp(-s * logBase);
            const double sq = s * q * f;
            const double sl = s * logBase;
            addPoint(e, y[i], f, {-sq, -sl * f},
                     {-sq * ((1.0 - q) - s * q), -sq * (1.0 - sl), -sl * f * (1.0 - sl)});
        }
        return e;
    }

    static ModelFit fit(const Parameters &p) { return rateAndShapeFit(DiscountModel::Hyperboloid, p); }
};

// 1 / (1 + k D^s) in (ln k, ln s): a logistic curve in z = ln k + s ln D.
struct Rachlin
{
    static constexpr int Count = 2;
    static std::array<Range, 2> ranges() { return {{{LnRateMin, LnRateMax}, {LnShapeMin, LnShapeMax}}}; }

    static Evaluation evaluate(const Parameters &p, const DelayValues &y)
    {
        Evaluation e;
        const double s = std::exp(p[1]);
        for (std::size_t i = 0; i < PointCount; ++i) {
            const double sLogD = s * delays().logDays[i];
            const double w = std::exp(p[0] + sLogD);
            const double f = 1.0 / (1.0 + w);
            const double a = w * f * f;         // -df/dz, f (1 - f) without the cancellation
            const double b = a * (1.0 - 2.0 * f); // d2f/dz2
            addPoint(e, y[i], f, {-a, -a * sLogD}, {b, b * sLogD, b * sLogD * sLogD - a * sLogD});
        }
        return e;
    }

    static ModelFit fit(const Parameters &p) { return rateAndShapeFit(DiscountModel::Rachlin, p); }
};

// beta exp(-rD) in (beta, ln r).
struct BetaDelta
{
    static constexpr int Count = 2;
    static std::array<Range, 2> ranges() { return {{{0.0, 1.0}, {LnRateMin, LnRateMax}}}; }

    static Evaluation evaluate(const Parameters &p, const DelayValues &y)
    {
        Evaluation e;
        const double beta = p[0];
        const double r = std::exp(p[1]);
        for (std::size_t i = 0; i < PointCount; ++i) {
            const double rD = r * delays().days[i];
            const double decay = std::exp(-rD);
            addPoint(e, y[i], beta * decay, {decay, -beta * rD * decay},
                     {0.0, -rD * decay, -beta * rD * decay * (1.0 - rD)});
        }
        return e;
    }

    static ModelFit fit(const Parameters &p)
    {
        ModelFit fit;
        fit.model = DiscountModel::BetaDelta;
        fit.level = p[0];
        fit.rate = std::exp(p[1]);
        return fit;
    }
};

// A grid over a model's ranges with the model's value at every node and delay, computed once.
// Rows of eight so the seven points and a zero pad line up for the vector unit.
struct Grid
{
    static constexpr std::size_t Row = 8;
    std::vector<Parameters> nodes;
    std::vector<double> values;
};

// Node i of steps across a range, the last one exactly at its end: a start that only seems to lie
// inside a range would let the search push against the edge instead of along it.
double gridPosition(const Range &range, std::size_t i, std::size_t steps)
{
    if (i == steps)
        return range.high;
    return range.low + (range.high - range.low) * static_cast<double>(i) / static_cast<double>(steps);
}

// The first parameter's steps, then the second's; the ends of both ranges are nodes.
template <typename M>
Grid makeGrid(std::size_t firstSteps, std::size_t secondSteps)
{
    const std::array<Range, 2> ranges = M::ranges();
    Grid grid;
    for (std::size_t a = 0; a <= firstSteps; ++a) {
        for (std::size_t b = 0; b <= secondSteps; ++b) {
            const Parameters p{gridPosition(ranges[0], a, firstSteps),
                               secondSteps == 0 ? 0.0 : gridPosition(ranges[1], b, secondSteps)};
            grid.nodes.push_back(p);
            const ModelFit fit = M::fit(p);
            for (std::size_t i = 0; i < Grid::Row; ++i)
                grid.values.push_back(i < PointCount ? fit.valueAt(delays().days[i]) : 0.0);
        }
    }
    return grid;
}

// The grids, coarse enough to scan in microseconds, fine enough that every dip of the error
// surface holds a node: the curves change over about one unit of ln k and a fifth of ln s.
constexpr std::size_t LineSteps = 250;     // ln k or ln r every 0.1
constexpr std::size_t RateSteps = 100;     // ln k every 0.25 beside ln s
constexpr std::size_t ShapeSteps = 30;     // ln s every 0.15

const Grid &exponentialGrid()
{
    static const Grid grid = makeGrid<Exponential>(LineSteps, 0);
    return grid;
}

const Grid &hyperboloidGrid()
{
    static const Grid grid = makeGrid<Hyperboloid>(RateSteps, ShapeSteps);
    return grid;
}

const Grid &rachlinGrid()
{
    static const Grid grid = makeGrid<Rachlin>(RateSteps, ShapeSteps);
    return grid;
}

// exp(-rD) with beta = 1 along ln r; beta is profiled out at every node. The BetaDelta ranges put
// beta first, so the grid is built along ln r by hand.
struct DecayGrid
{
    std::vector<double> logRates;
    std::vector<double> values;
    std::vector<double> squares; // sum over the points of exp(-rD)^2
};

const DecayGrid &decayGrid()
{
    static const DecayGrid grid = [] {
        DecayGrid g;
        for (std::size_t a = 0; a <= LineSteps; ++a) {
            const double logRate = gridPosition({LnRateMin, LnRateMax}, a, LineSteps);
            ModelFit fit;
            fit.model = DiscountModel::BetaDelta;
            fit.rate = std::exp(logRate);
            double squares = 0.0;
            for (std::size_t i = 0; i < Grid::Row; ++i) {
                const double v = i < PointCount ? fit.valueAt(delays().days[i]) : 0.0;
                g.values.push_back(v);
                squares += v * v;
            }
            g.logRates.push_back(logRate);
            g.squares.push_back(squares);
        }
        return g;
    }();
    return grid;
}

// The best beta for a decay, within [0, 1], and the error it leaves.
struct Profiled
{
    double beta;
    double rss;
};

Profiled profileBeta(const DelayValues &y, const double *decay, double squares)
{
    double yy = 0.0;
    double yd = 0.0;
    for (std::size_t i = 0; i < PointCount; ++i) {
        yy += y[i] * y[i];
        yd += y[i] * decay[i];
    }
    const double beta = std::clamp(yd / squares, 0.0, 1.0);
    return {beta, yy - 2.0 * beta * yd + beta * beta * squares};
}

// A grid's errors with a border of infinities around them, so that every node has eight neighbours.
template <std::size_t Rows, std::size_t Columns>
struct ErrorField
{
    static constexpr std::size_t Stride = Columns + 2;
    std::array<double, (Rows + 2) * Stride> values;

    ErrorField() { values.fill(std::numeric_limits<double>::infinity()); }

    double &at(std::size_t node) { return values[(node / Columns + 1) * Stride + node % Columns + 1]; }
};

// The lowest few nodes that are lower than every neighbour, ties going to the earlier node, so a
// flat stretch gives one start and not dozens.
constexpr std::size_t MaxStarts = 5;

struct Starts
{
    std::array<std::size_t, MaxStarts> nodes{};
    std::size_t count = 0;
};

template <std::size_t Rows, std::size_t Columns>
Starts localMinima(const ErrorField<Rows, Columns> &field)
{
    constexpr std::size_t Stride = ErrorField<Rows, Columns>::Stride;
    const double *v = field.values.data();
    std::array<std::size_t, MaxStarts + 1> kept{};
    std::array<double, MaxStarts + 1> keptValues{};
    std::size_t count = 0;
    for (std::size_t row = 1; row <= Rows; ++row) {
        for (std::size_t column = 1; column <= Columns; ++column) {
            const std::size_t at = row * Stride + column;
            // Without branches: the neighbours before the node in scan order must be higher, the
            // ones after it no lower.
            const double before = std::min(std::min(v[at - Stride - 1], v[at - Stride]), std::min(v[at - Stride + 1], v[at - 1]));
            const double after = std::min(std::min(v[at + Stride - 1], v[at + Stride]), std::min(v[at + Stride + 1], v[at + 1]));
            const double value = v[at];
            if (!(value < before && value <= after))
                continue;
            // Insertion into the few kept, lowest first; a later node never passes an equal one.
            std::size_t place = count;
            while (place > 0 && value < keptValues[place - 1]) {
                kept[place] = kept[place - 1];
                keptValues[place] = keptValues[place - 1];
                --place;
            }
            kept[place] = (row - 1) * Columns + (column - 1);
            keptValues[place] = value;
            count = std::min(count + 1, MaxStarts);
        }
    }
    Starts starts;
    starts.count = count;
    std::copy_n(kept.begin(), count, starts.nodes.begin());
    return starts;
}

// A Newton step for the free parameters, in range units: where the Hessian is not positive
// definite, or the step would not go downhill, the Hessian is shifted by enough to make it so and
// to keep the step near the radius.
std::array<double, 2> newtonStep(std::array<double, 2> g, std::array<double, 3> h, const std::array<bool, 2> &free,
                                 double radius)
{
    for (std::size_t i = 0; i < 2; ++i) {
        if (!free[i]) {
            g[i] = 0.0;
            h[1] = 0.0;
            h[i == 0 ? 0 : 2] = 1.0;
        }
    }
    const double gradientLength = std::sqrt(g[0] * g[0] + g[1] * g[1]);
    if (gradientLength == 0.0)
        return {0.0, 0.0};
    const double mean = (h[0] + h[2]) / 2.0;
    const double lowest = mean - std::sqrt((h[0] - h[2]) * (h[0] - h[2]) / 4.0 + h[1] * h[1]);
    const double shift = lowest > 0.0 ? 0.0 : -lowest + gradientLength / radius;
    const double a = h[0] + shift;
    const double c = h[2] + shift;
    const double determinant = a * c - h[1] * h[1];
    return {free[0] ? -(c * g[0] - h[1] * g[1]) / determinant : 0.0,
            free[1] ? -(a * g[1] - h[1] * g[0]) / determinant : 0.0};
}

// The step cut back to the trust radius.
std::array<double, 2> clipped(std::array<double, 2> step, double radius)
{
    const double length = std::sqrt(step[0] * step[0] + step[1] * step[1]);
    if (length > radius) {
        step[0] *= radius / length;
        step[1] *= radius / length;
    }
    return step;
}

// Newton's method within the ranges from a start near the minimum. Steps are taken in units of
// each range's width and kept within a trust radius that grows while steps succeed; a parameter
// at an edge the error falls beyond stays there. Only steps that do not raise the error are taken,
// and the search ends when a step no longer moves the parameters.
template <typename M>
std::pair<Parameters, double> refine(Parameters p, const DelayValues &y)
{
    constexpr int Count = M::Count;
    const std::array<Range, 2> ranges = M::ranges();
    std::array<double, 2> width{};
    for (int i = 0; i < Count; ++i)
        width[static_cast<std::size_t>(i)] = ranges[static_cast<std::size_t>(i)].high - ranges[static_cast<std::size_t>(i)].low;

    Evaluation e = M::evaluate(p, y);
    double radius = 0.05;
    for (int iteration = 0; iteration < 200; ++iteration) {
        // The gradient and Hessian in range units.
        const std::array<double, 2> g{e.gradient[0] * width[0], e.gradient[1] * width[1]};
        const std::array<double, 3> h{e.hessian[0] * width[0] * width[0], e.hessian[1] * width[0] * width[1],
                                      e.hessian[2] * width[1] * width[1]};
        // A parameter at an edge the error falls beyond is held there.
        std::array<bool, 2> free{};
        for (int i = 0; i < Count; ++i) {
            const auto u = static_cast<std::size_t>(i);
            free[u] = !((p[u] <= ranges[u].low && g[u] > 0.0) || (p[u] >= ranges[u].high && g[u] < 0.0));
        }
        std::array<double, 2> step = clipped(newtonStep(g, h, free, radius), radius);
        // The parameter the step takes past its edge first goes to that edge and is held there; the
        // other's step is worked again for that move, so that the search slides along the edge
        // instead of bouncing off it.
        int crossing = -1;
        double soonest = 1.0;
        double edge = 0.0;
        for (int i = 0; i < Count; ++i) {
            const auto u = static_cast<std::size_t>(i);
            const double target = p[u] + step[u] * width[u];
            if (!free[u] || (target >= ranges[u].low && target <= ranges[u].high))
                continue;
            const double fraction = ((target < ranges[u].low ? ranges[u].low : ranges[u].high) - p[u]) / (step[u] * width[u]);
            if (crossing < 0 || fraction < soonest) {
                crossing = i;
                soonest = fraction;
                edge = target < ranges[u].low ? ranges[u].low : ranges[u].high;
            }
        }
        if (crossing >= 0) {
            const auto u = static_cast<std::size_t>(crossing);
            const double edgeMove = soonest * step[u];
            free[u] = false;
            std::array<double, 2> shifted = g;
            shifted[1 - u] += h[1] * edgeMove;
            step = clipped(newtonStep(shifted, h, free, radius), radius);
            step[u] = edgeMove;
        }
        const double length = std::sqrt(step[0] * step[0] + step[1] * step[1]);
        if (length == 0.0 || !std::isfinite(length))
            break;

        Parameters next = p;
        for (int i = 0; i < Count; ++i) {
            const auto u = static_cast<std::size_t>(i);
            next[u] = i == crossing ? edge : std::clamp(p[u] + step[u] * width[u], ranges[u].low, ranges[u].high);
        }
        if (next == p)
            break;
        const Evaluation tried = M::evaluate(next, y);
        if (tried.rss <= e.rss) {
            double moved = 0.0;
            for (int i = 0; i < Count; ++i) {
                const auto u = static_cast<std::size_t>(i);
                moved = std::max(moved, std::fabs(next[u] - p[u]) / width[u]);
            }
            p = next;
            e = tried;
            if (moved < 1e-13)
                break;
            if (length >= 0.99 * radius)
                radius = std::min(2.0 * radius, 1.0);
        } else {
            radius = length / 4.0;
            if (radius < 1e-15)
                break;
        }
    }
    return {p, e.rss};
}

// Refines from every start and keeps the lowest error; a tie keeps the earlier, lower start.
template <typename M, typename StartAt>
ModelFit refineFromStarts(const Starts &starts, const DelayValues &y, StartAt startAt)
{
    Parameters best{};
    double bestRss = std::numeric_limits<double>::infinity();
    for (std::size_t s = 0; s < starts.count; ++s) {
        const auto [p, rss] = refine<M>(startAt(starts.nodes[s]), y);
        if (rss < bestRss) {
            best = p;
            bestRss = rss;
        }
    }
    ModelFit fit = M::fit(best);
    fit.rss = bestRss;
    return fit;
}

template <typename M, std::size_t Rows, std::size_t Columns>
ModelFit fitOnGrid(const Grid &grid, const DelayValues &y)
{
    std::array<double, Grid::Row> padded{};
    std::copy(y.begin(), y.end(), padded.begin());
    ErrorField<Rows, Columns> field;
    for (std::size_t node = 0; node < Rows * Columns; ++node) {
        const double *v = grid.values.data() + node * Grid::Row;
        std::array<double, Grid::Row> squares{};
        for (std::size_t i = 0; i < Grid::Row; ++i)
            squares[i] = (padded[i] - v[i]) * (padded[i] - v[i]);
        // Summed as a tree rather than in a chain, which the processor can work in parallel.
        field.at(node) = ((squares[0] + squares[1]) + (squares[2] + squares[3]))
            + ((squares[4] + squares[5]) + (squares[6] + squares[7]));
    }
    return refineFromStarts<M>(localMinima(field), y, [&](std::size_t node) { return grid.nodes[node]; });
}

ModelFit fitBetaDelta(const DelayValues &y)
{
    const DecayGrid &grid = decayGrid();
    ErrorField<LineSteps + 1, 1> field;
    std::array<double, LineSteps + 1> betas{};
    for (std::size_t node = 0; node <= LineSteps; ++node) {
        const Profiled profiled = profileBeta(y, grid.values.data() + node * Grid::Row, grid.squares[node]);
        field.at(node) = profiled.rss;
        betas[node] = profiled.beta;
    }
    return refineFromStarts<BetaDelta>(localMinima(field), y, [&](std::size_t node) {
        return Parameters{betas[node], grid.logRates[node]};
    });
}

ModelFit fitNoise(const DelayValues &y)
{
    double sum = 0.0;
    for (double v : y)
        sum += v;
    ModelFit fit;
    fit.model = DiscountModel::Noise;
    fit.level = std::clamp(sum / static_cast<double>(PointCount), 0.0, 1.0);
    for (double v : y)
        fit.rss += (v - fit.level) * (v - fit.level);
    return fit;
}

} // namespace

std::string_view modelName(DiscountModel model)
{
    switch (model) {
    case DiscountModel::Noise:
        return "noise";
    case DiscountModel::Exponential:
        return "exp";
    case DiscountModel::Hyperbolic:
        return "hyp";
    case DiscountModel::Hyperboloid:
        return "hyperboloid";
    case DiscountModel::Rachlin:
        return "rachlin";
    case DiscountModel::BetaDelta:
        return "betadelta";
    }
    return "";
}

int parameterCount(DiscountModel model)
{
    switch (model) {
    case DiscountModel::Noise:
    case DiscountModel::Exponential:
    case DiscountModel::Hyperbolic:
        return 1;
    case DiscountModel::Hyperboloid:
    case DiscountModel::Rachlin:
    case DiscountModel::BetaDelta:
        return 2;
    }
    return 0;
}

double ModelFit::valueAt(double days) const
{
    switch (model) {
    case DiscountModel::Noise:
        return level;
    case DiscountModel::Exponential:
    case DiscountModel::BetaDelta:
        return level * std::exp(-rate * days);
    case DiscountModel::Hyperbolic:
        return 1.0 / (1.0 + rate * days);
    case DiscountModel::Hyperboloid:
        return std::exp(-shape * std::log1p(rate * days));
    case DiscountModel::Rachlin:
        return 1.0 / (1.0 + rate * std::pow(days, shape));
    }
    return 0.0;
}

std::optional<double> ModelFit::ed50Days() const
{
    switch (model) {
    case DiscountModel::Noise:
        return std::nullopt;
    case DiscountModel::Exponential:
        return std::log(2.0) / rate;
    case DiscountModel::Hyperbolic:
        return 1.0 / rate;
    case DiscountModel::Hyperboloid:
        return std::expm1(std::log(2.0) / shape) / rate;
    case DiscountModel::Rachlin:
        return std::exp(-std::log(rate) / shape);
    case DiscountModel::BetaDelta:
        if (2.0 * level <= 1.0)
            return std::nullopt;
        return std::log(2.0 * level) / rate;
    }
    return std::nullopt;
}

double bayesianInformationCriterion(double rss, int parameters)
{
    const double n = static_cast<double>(PointCount);
    return n * std::log(std::max(rss, ResidualFloor) / n) + parameters * std::log(n);
}

ModelFit fitModel(DiscountModel model, const DelayValues &fractions)
{
    switch (model) {
    case DiscountModel::Noise:
        return fitNoise(fractions);
    case DiscountModel::Exponential:
        return fitOnGrid<Exponential, LineSteps + 1, 1>(exponentialGrid(), fractions);
    case DiscountModel::Hyperboloid:
        return fitOnGrid<Hyperboloid, RateSteps + 1, ShapeSteps + 1>(hyperboloidGrid(), fractions);
    case DiscountModel::Rachlin:
        return fitOnGrid<Rachlin, RateSteps + 1, ShapeSteps + 1>(rachlinGrid(), fractions);
    case DiscountModel::BetaDelta:
        return fitBetaDelta(fractions);
    case DiscountModel::Hyperbolic:
        break;
    }
    return ModelFit{model};
}

ModelComparison compareModels(const DelayValues &fractions, const ModelFit &hyperbola)
{
    ModelComparison comparison;
    for (std::size_t m = 0; m < DiscountModels.size(); ++m) {
        ModelFit &fit = comparison.fits[m];
        fit = DiscountModels[m] == DiscountModel::Hyperbolic ? hyperbola : fitModel(DiscountModels[m], fractions);
        fit.bic = bayesianInformationCriterion(fit.rss, parameterCount(fit.model));
        if (fit.bic < comparison.bestFit().bic || m == 0)
            comparison.best = fit.model;
    }
    double total = 0.0;
    for (const ModelFit &fit : comparison.fits)
        total += std::exp(-(fit.bic - comparison.bestFit().bic) / 2.0);
    comparison.bestProbability = 1.0 / total;
    return comparison;
}

} // namespace kpx
