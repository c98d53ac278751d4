#include "analyze/TrialScoring.h"

#include "analyze/Scoring.h"

#include <algorithm>
#include <cmath>

namespace kpx {
namespace {

// Counts answers that agree with their block's indifference point.
struct Agreement
{
    int agreeing = 0;
    int scored = 0;

    void add(std::optional<bool> agrees)
    {
        if (agrees) {
            ++scored;
            agreeing += *agrees ? 1 : 0;
        }
    }

    std::optional<double> share() const
    {
        if (scored == 0)
            return std::nullopt;
        return static_cast<double>(agreeing) / scored;
    }
};

// The recorded indifference point of each block (index block - 1), where the block ended.
std::vector<std::optional<double>> pointsPerBlock(const std::vector<TrialRow> &rows)
{
    std::vector<std::optional<double>> points(ResultsDelayCount);
    for (const TrialRow &row : rows) {
        if (row.indifferencePoint)
            points[static_cast<std::size_t>(row.block - 1)] = row.indifferencePoint;
    }
    return points;
}

std::vector<double> sortedTimes(const std::vector<TrialRow> &rows)
{
    std::vector<double> times;
    times.reserve(rows.size());
    for (const TrialRow &row : rows)
        times.push_back(row.rtMs);
    std::sort(times.begin(), times.end());
    return times;
}

} // namespace

std::optional<bool> agreesWith(const TrialRow &row, double indifferencePoint)
{
    if (row.amount == indifferencePoint)
        return std::nullopt;
    return row.immediate == (row.amount > indifferencePoint);
}

std::vector<BlockFigures> scoreBlocks(const std::vector<TrialRow> &rows)
{
    const std::vector<std::optional<double>> points = pointsPerBlock(rows);
    std::vector<BlockFigures> blocks;
    for (std::size_t begin = 0; begin < rows.size();) {
        std::size_t end = begin;
        while (end < rows.size() && rows[end].block == rows[begin].block)
            ++end;
        const std::vector<TrialRow> blockRows(rows.begin() + static_cast<std::ptrdiff_t>(begin),
                                              rows.begin() + static_cast<std::ptrdiff_t>(end));
        BlockFigures figures;
        figures.block = rows[begin].block;
        figures.delayDays = rows[begin].delayDays;
        figures.trials = static_cast<int>(blockRows.size());
        figures.rtMedianMs = quantile(sortedTimes(blockRows), 0.5);
        const std::optional<double> point = points[static_cast<std::size_t>(figures.block - 1)];
        figures.ended = point.has_value();
        Agreement agreement;
        for (const TrialRow &row : blockRows) {
            figures.distractors += row.distractor ? 1 : 0;
            if (point)
                agreement.add(agreesWith(row, *point));
        }
        figures.consistency = agreement.share();
        blocks.push_back(figures);
        begin = end;
    }
    return blocks;
}

RunFigures scoreRun(const std::vector<TrialRow> &rows)
{
    RunFigures figures;
    const std::vector<std::optional<double>> points = pointsPerBlock(rows);
    figures.unfinished = std::count(points.begin(), points.end(), std::nullopt) > 0;
    if (rows.empty())
        return figures;

    const std::vector<double> times = sortedTimes(rows);
    figures.rtMedianMs = quantile(times, 0.5);
    figures.rtIqrMs = quantile(times, 0.75) - quantile(times, 0.25);
    figures.fastResponses = static_cast<int>(std::count_if(times.begin(), times.end(),
                                                           [](double rt) { return rt < FastResponseMs; }));
    Agreement all;
    Agreement distractors;
    Agreement far;
    for (const TrialRow &row : rows) {
        const std::optional<double> point = points[static_cast<std::size_t>(row.block - 1)];
        if (!point)
            continue;
        all.add(agreesWith(row, *point));
        if (row.distractor)
            distractors.add(agreesWith(row, *point));
        if (std::fabs(row.amount - *point) >= FarFromPointDollars)
            far.add(agreesWith(row, *point));
    }
    figures.consistency = all.share();
    figures.distractorConsistency = distractors.share();
    figures.farConsistency = far.share();
    return figures;
}

} // namespace kpx
