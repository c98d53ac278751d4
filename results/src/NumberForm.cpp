#include "results/NumberForm.h"

#include <array>
#include "platform/Charconv.h"

#include <charconv>
#include <cmath>
#include <optional>

namespace kpx {
namespace {

// Long enough for any double in fixed notation (up to 309 integer digits) with its decimals.
using NumberBuffer = std::array<char, 400>;

// Neither looks at the locale, so '.' is always the decimal point.
template <typename... Format>
std::string toChars(double value, Format... format)
{
    NumberBuffer buffer{};
    const auto [end, error] = kpx::toChars(buffer.data(), buffer.data() + buffer.size(), value, format...);
    return error == std::errc() ? std::string(buffer.data(), end) : std::string();
}

} // namespace

std::string numberForm(double value, char decimalSeparator)
{
    std::string text(1, std::signbit(value) && value != 0.0 ? '-' : ' ');
    const std::string digits = plainNumber(std::fabs(value));
    std::string body = digits.empty() ? std::string(1, '0') : digits;
    for (char &c : body) {
        if (c == '.')
            c = decimalSeparator;
    }
    text += body;
    text += ' ';
    return text;
}

std::string plainNumber(double value)
{
    return toChars(value, std::chars_format::fixed);
}

std::string fixedNumber(double value, int decimals)
{
    return toChars(value, std::chars_format::fixed, decimals);
}

std::string roundTripNumber(double value)
{
    return toChars(value);
}

std::string significantNumber(double value, int digits)
{
    return toChars(value, std::chars_format::general, digits);
}

} // namespace kpx
