#pragma once

#include <charconv>

namespace kpx {

// std::to_chars and std::from_chars for double, with their results, on every system: the web's C++
// library (Emscripten 3.1.6's libc++) has neither for floating point, and the results files must be
// the same bytes there. Where the C++ library has them, these are they.
std::to_chars_result toChars(char *first, char *last, double value);
std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format);
std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format, int precision);
std::from_chars_result fromChars(const char *first, const char *last, double &value);

namespace clib {

// The same, made of the C library's printf and strtod, which round exactly (glibc, musl): what the
// web build uses. Built everywhere, so the tests hold it to std::to_chars where that is had.
std::to_chars_result toChars(char *first, char *last, double value);
std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format);
std::to_chars_result toChars(char *first, char *last, double value, std::chars_format format, int precision);
std::from_chars_result fromChars(const char *first, const char *last, double &value);

} // namespace clib

} // namespace kpx
