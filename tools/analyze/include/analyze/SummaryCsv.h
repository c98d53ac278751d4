#pragma once

#include "analyze/ResultsFile.h"
#include "analyze/Scoring.h"

#include <optional>
#include <string>
#include <string_view>

namespace kpx {

// One scored results file, as the summary reports it.
struct SummaryRow
{
    std::string subject;
    std::string file;
    DelayValues indifferencePoints{};
    // Empty when the .TC file is missing or unreadable.
    std::optional<int> trialsTotal;
    Score score;
};

// A CSV field per RFC 4180: quoted, quotes doubled, when it holds a comma, quote, CR or LF.
std::string csvField(std::string_view text);

// The shortest text that reads back as the same double, always with '.' as decimal point.
std::string roundTripNumber(double value);

// The value to a number of significant digits, '.' as decimal point, trailing zeros dropped.
std::string significantNumber(double value, int digits);

// The header line, CR LF included.
std::string summaryHeader();

// One row, CR LF included.
std::string summaryLine(const SummaryRow &row);

} // namespace kpx
