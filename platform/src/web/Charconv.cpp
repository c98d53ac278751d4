#include "platform/Charconv.h"

namespace kpx {

// Emscripten's libc++ has no floating-point to_chars or from_chars: the C library's stand in.

std::to_chars_result toChars(char *first, char *last, double value)
{
    return clib::toChars(first, last, value);
}

std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format)
{
    return clib::toChars(first, last, value, format);
}

std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format, int precision)
{
    return clib::toChars(first, last, value, format, precision);
}

std::from_chars_result fromChars(const char *first, const char *last, double &value)
{
    return clib::fromChars(first, last, value);
}

} // namespace kpx
