#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace kpx {

// Text that comes from outside the program: file names as the system's bytes, subjects as the files
// hold them. Neither need be UTF-8, and either may hold control characters.

// Whether the bytes are UTF-8 throughout.
bool isValidUtf8(std::string_view bytes);

// The bytes as the summary and the messages write them, always valid UTF-8 and on one line: every
// byte of a control character (U+0000 to U+001F, U+007F to U+009F) and every byte that is not part
// of UTF-8 becomes \xHH, two upper-case hex digits; everything else stays as it is.
std::string escapedText(std::string_view bytes);

// A command-line argument or file name as Qt text, without loss: bytes that are not UTF-8 become the
// code units U+DC80 to U+DCFF, which no UTF-8 decodes to, so toSystemBytes gives the bytes back.
QString fromSystemBytes(std::string_view bytes);

// The bytes fromSystemBytes was given; other text as UTF-8.
std::string toSystemBytes(const QString &text);

} // namespace kpx
