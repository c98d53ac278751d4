#include "platform/Charconv.h"

namespace kpx {

std::to_chars_result toChars(char *first, char *last, double value)
{
    return std::to_chars(first, last, value);
}

std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format)
{
    return std::to_chars(first, last, value, format);
}

std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format, int precision)
{
    return std::to_chars(first, last, value, format, precision);
}

std::from_chars_result fromChars(const char *first, const char *last, double &value)
{
    return std::from_chars(first, last, value);
}

} // namespace kpx
