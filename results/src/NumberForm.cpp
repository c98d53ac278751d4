#include "results/NumberForm.h"

#include <array>
#include <charconv>
#include <cmath>

namespace kpx {

std::string NumberForm(double value, char decimalSeparator)
{
    std::string text(1, std::signbit(value) && value != 0.0 ? '-' : ' ');
    std::array<char, 400> digits{};
    // Fixed notation, shortest text that reads back as the same value.
    const auto [end, error] = std::to_chars(digits.data(), digits.data() + digits.size(), std::fabs(value),
                                            std::chars_format::fixed);
    std::string body = error == std::errc() ? std::string(digits.data(), end) : std::string("0");
    for (char &c : body) {
        if (c == '.')
            c = decimalSeparator;
    }
    text += body;
    text += ' ';
    return text;
}

} // namespace kpx
