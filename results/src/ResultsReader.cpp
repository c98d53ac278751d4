#include "results/ResultsReader.h"

#include "engine/RunState.h"
#include "platform/Charconv.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace kpx {
namespace {

constexpr std::size_t ResultsLineCount = 1 + ResultsDelayCount;

// Files edited by hand on Windows may start with a byte-order mark; it is not part of the subject.
constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";

std::vector<std::string_view> splitLines(std::string_view text)
{
    if (text.starts_with(Utf8ByteOrderMark))
        text.remove_prefix(Utf8ByteOrderMark.size());

    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::string_view trimmed(std::string_view text)
{
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Where the run of digits starting at pos ends.
std::size_t digitsEnd(std::string_view text, std::size_t pos)
{
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
        ++pos;
    return pos;
}

struct EightLines
{
    std::string subject;
    DelayValues values{};
};

Parsed<EightLines> parseEightLines(std::string_view contents, double maxValue)
{
    const std::vector<std::string_view> lines = splitLines(contents);
    if (lines.size() < ResultsLineCount) {
        return FileProblem{static_cast<int>(lines.size()) + 1,
                           "missing: the file ends after " + std::to_string(lines.size())
                               + " lines, a results file has 8"};
    }
    if (lines.size() > ResultsLineCount) {
        return FileProblem{static_cast<int>(ResultsLineCount) + 1,
                           "unexpected: a results file has 8 lines, this one has "
                               + std::to_string(lines.size())};
    }

    EightLines parsed;
    parsed.subject = std::string(lines[0]);
    for (std::size_t i = 0; i < ResultsDelayCount; ++i) {
        const int lineNumber = static_cast<int>(i) + 2;
        const std::string_view text = lines[i + 1];
        const std::optional<double> value = parseNumberForm(text);
        if (!value)
            return FileProblem{lineNumber, quotedExcerpt(text) + " is not a number"};
        if (*value < 0.0 || *value > maxValue)
            return FileProblem{lineNumber, quotedExcerpt(trimmed(text)) + " is outside 0.."
                                               + std::to_string(static_cast<long>(maxValue))};
        parsed.values[i] = *value;
    }
    return parsed;
}

} // namespace

std::string quotedExcerpt(std::string_view text)
{
    constexpr std::size_t MaxShown = 32;
    std::string shown = "\"";
    for (std::size_t i = 0; i < text.size() && i < MaxShown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        shown += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '?';
    }
    if (text.size() > MaxShown)
        shown += "...";
    return shown + "\"";
}

std::optional<double> parseNumberForm(std::string_view text)
{
    text = trimmed(text);

    // Check the whole shape first: from_chars alone would accept exponents, "inf" and "1." as well.
    // A '-', at least one digit, then optionally a decimal separator and at least one digit.
    const std::size_t integerStart = text.starts_with('-') ? 1 : 0;
    std::size_t pos = digitsEnd(text, integerStart);
    if (pos == integerStart)
        return std::nullopt;
    std::string plain(text.substr(0, pos));
    if (pos < text.size() && (text[pos] == '.' || text[pos] == ',')) {
        const std::size_t fractionStart = pos + 1;
        pos = digitsEnd(text, fractionStart);
        if (pos == fractionStart)
            return std::nullopt;
        plain += '.';
        plain += text.substr(fractionStart, pos - fractionStart);
    }
    if (pos != text.size())
        return std::nullopt;

    double value = 0.0;
    const auto [end, error] = kpx::fromChars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size() || !std::isfinite(value))
        return std::nullopt;
    // "-0" is zero; a negative zero would print as "-0" in the summary.
    return value + 0.0;
}

Parsed<IndifferenceFile> parseIndifferenceFile(std::string_view contents)
{
    Parsed<EightLines> lines = parseEightLines(contents, DelayedAmount);
    if (auto *problem = std::get_if<FileProblem>(&lines))
        return std::move(*problem);
    auto &parsed = std::get<EightLines>(lines);
    return IndifferenceFile{std::move(parsed.subject), parsed.values};
}

Parsed<TrialCountFile> parseTrialCountFile(std::string_view contents)
{
    // Nothing limits a block's trials but the task's 16-bit counter: an inattentive participant
    // can well need more than a hundred.
    Parsed<EightLines> lines = parseEightLines(contents, std::numeric_limits<std::int16_t>::max());
    if (auto *problem = std::get_if<FileProblem>(&lines))
        return std::move(*problem);
    auto &parsed = std::get<EightLines>(lines);

    TrialCountFile counts{std::move(parsed.subject), {}};
    for (std::size_t i = 0; i < ResultsDelayCount; ++i) {
        const double value = parsed.values[i];
        if (value != std::floor(value)) {
            std::string text(32, '\0');
            const auto end = kpx::toChars(text.data(), text.data() + text.size(), value).ptr;
            text.resize(static_cast<std::size_t>(end - text.data()));
            return FileProblem{static_cast<int>(i) + 2, "\"" + text + "\" is not a whole number of trials"};
        }
        counts.trialCounts[i] = static_cast<int>(value);
    }
    return counts;
}

} // namespace kpx
