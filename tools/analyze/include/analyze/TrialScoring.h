#pragma once

#include "analyze/TrialLogFile.h"

#include <optional>
#include <vector>

namespace kpx {

// Answers faster than this after the options turned black are counted as fast.
inline constexpr double FastResponseMs = 200.0;

// Answers at amounts at least this many dollars from their block's point are the ones an attentive
// participant gives one way only; far_consistency scores them.
inline constexpr double FarFromPointDollars = 20.0;

// The trial-level figures of one block of a trial log.
struct BlockFigures
{
    int block = 0;
    int delayDays = 0;
    int trials = 0;
    int distractors = 0;
    double rtMedianMs = 0.0;
    // Empty when the block has no recorded indifference point or no answer to score against it.
    std::optional<double> consistency;
    bool ended = false;
};

// The trial-level figures of one run, as the summary reports them.
struct RunFigures
{
    // Empty when the log holds no answered trial.
    std::optional<double> rtMedianMs;
    std::optional<double> rtIqrMs;
    int fastResponses = 0;
    std::optional<double> consistency;
    std::optional<double> distractorConsistency;
    // Over the answers at amounts FarFromPointDollars or more from their block's point, distractor or not.
    std::optional<double> farConsistency;
    // Fewer than seven blocks ended.
    bool unfinished = true;
};

// Whether an answer agrees with an indifference point: immediate when the amount lies above it,
// delayed when below. Empty when the amount equals it, where either answer fits.
std::optional<bool> agreesWith(const TrialRow &row, double indifferencePoint);

// One entry per block the rows reach, in block order.
std::vector<BlockFigures> scoreBlocks(const std::vector<TrialRow> &rows);

// The run's figures over every row; consistency only over blocks that ended.
RunFigures scoreRun(const std::vector<TrialRow> &rows);

} // namespace kpx
