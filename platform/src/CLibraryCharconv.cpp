#include "platform/Charconv.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace kpx::clib {
namespace {

std::to_chars_result put(char *first, char *last, const std::string &text)
{
    if (text.size() > static_cast<std::size_t>(last - first))
        return {last, std::errc::value_too_large};
    return {std::copy(text.begin(), text.end(), first), std::errc()};
}

// printf in the C locale, where '.' is the decimal point: the only locale a page or Node has.
std::string printed(const char *format, int precision, double value)
{
    const int length = std::snprintf(nullptr, 0, format, precision, value);
    std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
    std::snprintf(text.data(), text.size() + 1, format, precision, value);
    return text;
}

bool readsBackAs(const std::string &text, double value)
{
    return std::strtod(text.c_str(), nullptr) == value;
}

// A positive finite value as few significant digits as read back as it: value = d.ddd × 10^exponent.
struct Digits
{
    std::string digits;
    int exponent = 0;
};

std::string scientific(const Digits &d)
{
    std::string text(1, d.digits[0]);
    if (d.digits.size() > 1)
        text += "." + d.digits.substr(1);
    const int magnitude = std::abs(d.exponent);
    text += d.exponent < 0 ? "e-" : "e+";
    if (magnitude < 10)
        text += '0';
    return text + std::to_string(magnitude);
}

Digits parsedScientific(const std::string &text)
{
    const std::size_t e = text.find('e');
    Digits d;
    for (std::size_t i = 0; i < e; ++i) {
        if (text[i] != '.')
            d.digits += text[i];
    }
    d.exponent = std::atoi(text.c_str() + e + 1);
    return d;
}

Digits shortestDigits(double magnitude)
{
    for (int count = 1; count <= 17; ++count) {
        const std::string nearest = printed("%.*e", count - 1, magnitude);
        Digits d = parsedScientific(nearest);
        if (readsBackAs(nearest, magnitude))
            return d;
        // The nearest digits miss; those on the value's other side can still read back, just
        // above a power of two, where the gap below is half the gap above.
        const bool below = std::strtod(nearest.c_str(), nullptr) < magnitude;
        std::uint64_t m = std::stoull(d.digits);
        std::uint64_t unit = 1;
        for (int i = 1; i < count; ++i)
            unit *= 10;
        Digits other = d;
        if (below) {
            ++m;
            if (m == unit * 10) {
                m = unit;
                ++other.exponent;
            }
            other.digits = std::to_string(m);
        } else {
            if (m == 1)
                continue;
            --m;
            other.digits = std::to_string(m);
            if (m < unit)
                --other.exponent;
        }
        if (readsBackAs(scientific(other), magnitude))
            return other;
    }
    return parsedScientific(printed("%.*e", 16, magnitude));
}

Digits trimmed(Digits d)
{
    while (d.digits.size() > 1 && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

std::string fixed(const Digits &d, double magnitude)
{
    const int count = static_cast<int>(d.digits.size());
    // A whole number: its exact digits are no longer than the shortest ones padded with zeros, and
    // nearer the value, which is what to_chars writes.
    if (d.exponent >= count - 1)
        return printed("%.*f", 0, magnitude);
    if (d.exponent >= 0)
        return d.digits.substr(0, static_cast<std::size_t>(d.exponent) + 1) + "." +
               d.digits.substr(static_cast<std::size_t>(d.exponent) + 1);
    return "0." + std::string(static_cast<std::size_t>(-d.exponent - 1), '0') + d.digits;
}

// inf, nan and zero, as to_chars writes them; empty for every other value.
std::string special(double value)
{
    const std::string sign = std::signbit(value) ? "-" : "";
    if (std::isinf(value))
        return sign + "inf";
    if (std::isnan(value))
        return sign + "nan";
    if (value == 0.0)
        return sign + "0";
    return {};
}

std::string withoutHexPrefix(std::string text)
{
    const std::size_t x = text.find_first_of("xX");
    return x == std::string::npos ? text : text.erase(x - 1, 2);
}

} // namespace

std::to_chars_result toChars(char *first, char *last, double value)
{
    if (const std::string text = special(value); !text.empty())
        return put(first, last, text);
    const double magnitude = std::fabs(value);
    const Digits d = trimmed(shortestDigits(magnitude));
    const std::string asFixed = fixed(d, magnitude);
    const std::string asScientific = scientific(d);
    const std::string sign = value < 0 ? "-" : "";
    return put(first, last, sign + (asScientific.size() < asFixed.size() ? asScientific : asFixed));
}

std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format)
{
    if (format == std::chars_format::hex)
        return put(first, last, withoutHexPrefix(printed("%.*a", -1, value)));
    if (const std::string text = special(value); !text.empty() && (format != std::chars_format::scientific ||
                                                                   !std::isfinite(value)))
        return put(first, last, text);
    if (value == 0.0)
        return put(first, last, std::string(std::signbit(value) ? "-" : "") + "0e+00");
    const double magnitude = std::fabs(value);
    const Digits d = trimmed(shortestDigits(magnitude));
    const std::string sign = value < 0 ? "-" : "";
    if (format == std::chars_format::fixed)
        return put(first, last, sign + fixed(d, magnitude));
    if (format == std::chars_format::scientific)
        return put(first, last, sign + scientific(d));
    // General: the shortest digits, placed as %g places them at its default precision of 6.
    const bool asScientific = d.exponent < -4 || d.exponent >= 6;
    return put(first, last, sign + (asScientific ? scientific(d) : fixed(d, magnitude)));
}

std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format, int precision)
{
    switch (format) {
    case std::chars_format::fixed:
        return put(first, last, printed("%.*f", precision, value));
    case std::chars_format::scientific:
        return put(first, last, printed("%.*e", precision, value));
    case std::chars_format::hex:
        return put(first, last, withoutHexPrefix(printed("%.*a", precision, value)));
    default:
        return put(first, last, printed("%.*g", precision, value));
    }
}

std::from_chars_result fromChars(const char *first, const char *last, double &value)
{
    const std::string text(first, last);
    // from_chars takes no space and no '+' before the number, and no "0x": of "0x1" only the "0".
    const std::size_t start = text.starts_with('-') ? 1 : 0;
    if (start >= text.size() || std::string_view("0123456789.iInN").find(text[start]) == std::string_view::npos)
        return {first, std::errc::invalid_argument};
    if (text[start] == '0' && start + 1 < text.size() && (text[start + 1] == 'x' || text[start + 1] == 'X')) {
        value = start == 1 ? -0.0 : 0.0;
        return {first + start + 1, std::errc()};
    }
    errno = 0;
    char *end = nullptr;
    const double read = std::strtod(text.c_str(), &end);
    if (end == text.c_str())
        return {first, std::errc::invalid_argument};
    const char *stop = first + (end - text.c_str());
    // strtod also says ERANGE of a tiny value it could still hold; from_chars only of one it could not.
    if (errno == ERANGE && (read == 0.0 || std::isinf(read)))
        return {stop, std::errc::result_out_of_range};
    value = read;
    return {stop, std::errc()};
}

} // namespace kpx::clib
