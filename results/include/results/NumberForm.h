#pragma once

#include <string>

namespace kpx {

// A number as a results line holds it: a sign position (space or '-'), the shortest
// decimal text with no exponent, then one space. The decimal separator is the user's.
std::string NumberForm(double value, char decimalSeparator = '.');

} // namespace kpx
