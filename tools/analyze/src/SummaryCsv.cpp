#include "analyze/SummaryCsv.h"

#include <array>
#include <charconv>

namespace kpx {
namespace {

// Long enough for any double to_chars can print, shortest or to 17 digits.
using NumberBuffer = std::array<char, 64>;

// k, ln k and the ED50 come out of a numerical search; more digits would only show its noise.
constexpr int FitDigits = 6;

constexpr std::string_view LineEnd = "\r\n";

} // namespace

std::string csvField(std::string_view text)
{
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string roundTripNumber(double value)
{
    NumberBuffer buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string significantNumber(double value, int digits)
{
    NumberBuffer buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, digits);
    return std::string(buffer.data(), result.ptr);
}

std::string summaryHeader()
{
    std::string header = "subject,file,ip_1d,ip_1w,ip_1m,ip_3m,ip_6m,ip_1y,ip_5y,trials_total,"
                         "auc,auc_ordinal,k,ln_k,r2,ed50_days,jb_c1,jb_c2";
    return header.append(LineEnd);
}

std::string summaryLine(const SummaryRow &row)
{
    std::string line = csvField(row.subject) + ',' + csvField(row.file);
    for (double ip : row.indifferencePoints)
        line += ',' + roundTripNumber(ip);
    line += ',';
    if (row.trialsTotal)
        line += std::to_string(*row.trialsTotal);

    const Score &score = row.score;
    line += ',' + roundTripNumber(score.auc);
    line += ',' + roundTripNumber(score.aucOrdinal);
    line += ',' + significantNumber(score.fit.k, FitDigits);
    line += ',' + significantNumber(score.fit.lnK, FitDigits);
    line += ',';
    if (score.fit.r2)
        line += roundTripNumber(*score.fit.r2);
    line += ',' + significantNumber(1.0 / score.fit.k, FitDigits);
    line += score.jbC1 ? ",1" : ",0";
    line += score.jbC2 ? ",1" : ",0";
    return line.append(LineEnd);
}

} // namespace kpx
