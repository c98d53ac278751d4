#pragma once

#include "engine/DelayTable.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kpx {

// Results files list one value per delay, in the order of the task's delay table.
inline constexpr std::size_t ResultsDelayCount = DelayCount;

// One value per delay, in delay order.
using DelayValues = std::array<double, ResultsDelayCount>;

// Why some text is not a results file; line is 1-based, 0 when no single line is at fault.
struct FileProblem
{
    int line = 0;
    std::string reason;
};

// What a .KPX file holds: the subject as typed and indifference points in $ of the delayed $100.
struct IndifferenceFile
{
    std::string subject;
    DelayValues indifferencePoints{};
};

// What a .TC file holds: the subject as typed and the trials each delay took.
struct TrialCountFile
{
    std::string subject;
    std::array<int, ResultsDelayCount> trialCounts{};
};

// Either the parsed file or the first reason it is not one.
template <typename T>
using Parsed = std::variant<T, FileProblem>;

// Offending text for a one-line message, in quotes: at most 32 bytes, anything but printable ASCII
// shown as '?', so control bytes, cut UTF-8 and runaway lengths cannot reach the terminal.
std::string quotedExcerpt(std::string_view text);

// Reads a value in number form ("-2.5", " 62,5 "); '.' or ',' is the decimal separator.
// Anything else, exponents, signs other than '-' and empty text included, is not a number.
std::optional<double> parseNumberForm(std::string_view text);

// Parses a whole .KPX file: eight lines (CR LF or LF), subject then seven values in 0..100.
Parsed<IndifferenceFile> parseIndifferenceFile(std::string_view contents);

// Parses a whole .TC file: eight lines, subject then seven whole numbers in 0..32767 (the task counts
// trials in 16 bits and sets no other limit).
Parsed<TrialCountFile> parseTrialCountFile(std::string_view contents);

} // namespace kpx
