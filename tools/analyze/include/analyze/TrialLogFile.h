#pragma once

#include "results/ResultsReader.h"
#include "results/TrialLog.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kpx {

// The columns of a trial log that scoring reads, found by name in its header line.
inline constexpr TrialLogColumn TrialLogColumnsRead[] = {
    TrialLogColumn::Subject, TrialLogColumn::Block,  TrialLogColumn::DelayDays,  TrialLogColumn::Kind,
    TrialLogColumn::Amount,  TrialLogColumn::Choice, TrialLogColumn::RtMs,       TrialLogColumn::BlockEnded,
    TrialLogColumn::IndifferencePoint};

// One answered trial, as scoring needs it.
struct TrialRow
{
    // The line of the file the row starts on, for messages.
    int line = 0;
    int block = 0;
    int delayDays = 0;
    bool distractor = false;
    int amount = 0;
    bool immediate = false;
    double rtMs = 0.0;
    // Set on the row that ended its block, with the block's recorded indifference point.
    std::optional<double> indifferencePoint;
};

// What could be read of a trial log: every row up to the first that could not be.
struct TrialLogContents
{
    // The subject of the rows; empty when there are none.
    std::string subject;
    std::vector<TrialRow> rows;
    // The first row that could not be read (cut off, malformed, out of order); nothing after it is read.
    std::optional<FileProblem> stoppedAt;
};

// Parses a trial log (CSV per RFC 4180 with a header line). Only a header that is not a trial
// log's is a problem by itself; a bad row ends the rows read and is reported in stoppedAt.
Parsed<TrialLogContents> parseTrialLog(std::string_view contents);

} // namespace kpx
