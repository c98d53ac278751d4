#pragma once

#include "results/ResultsReader.h"
#include "analyze/Scoring.h"
#include "analyze/TrialScoring.h"

#include <optional>
#include <string>
#include <string_view>

namespace kpx {

// One trial log's figures and where the log is.
struct TrialLogFigures
{
    std::string path;
    RunFigures run;
};

// One scored results file, one of its subject's trial logs, or both, as the summary reports them.
// Subjects and paths are the bytes read; the CSV writes them escaped as escapedText does.
struct SummaryRow
{
    std::string subject;
    // The .KPX file; empty for a trial log that has none.
    std::string file;
    DelayValues indifferencePoints{};
    // Empty when the .TC file is missing or unreadable.
    std::optional<int> trialsTotal;
    // Empty when there is no .KPX file: its columns are left empty.
    std::optional<Score> score;
    // Empty when there is no trial log: its columns are left empty.
    std::optional<TrialLogFigures> log;
};

// The header line, CR LF included.
std::string summaryHeader();

// One row, CR LF included.
std::string summaryLine(const SummaryRow &row);

// The header line of the per-block file, CR LF included.
std::string blocksHeader();

// One block of one trial log, CR LF included.
std::string blocksLine(const std::string &subject, const std::string &logPath, const BlockFigures &block);

} // namespace kpx
