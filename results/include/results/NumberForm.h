#pragma once

#include <string>

namespace kpx {

// Every number the project writes to a file or a summary is formatted here, with '.' as decimal
// point whatever the process locale (a results line may ask for the user's separator).

// A number as a results line holds it: a sign position (space or '-'), the shortest
// decimal text with no exponent, then one space. The decimal separator is the user's.
std::string numberForm(double value, char decimalSeparator = '.');

// The shortest text with no exponent that reads back as the same value ("62.5", "0.001").
std::string plainNumber(double value);

// Exactly this many decimals, rounded ("12.345"); times in the trial log keep the microsecond.
std::string fixedNumber(double value, int decimals);

// The shortest text that reads back as the same value, with an exponent when that is shorter ("1e-07").
std::string roundTripNumber(double value);

// The value to a number of significant digits, trailing zeros dropped.
std::string significantNumber(double value, int digits);

} // namespace kpx
