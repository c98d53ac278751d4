#include "platform/Charconv.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

std::string shortest(double value)
{
    char buffer[64];
    const auto [end, error] = kpx::toChars(buffer, buffer + sizeof buffer, value);
    return error == std::errc() ? std::string(buffer, end) : "(error)";
}

std::string inFormat(double value, std::chars_format format)
{
    char buffer[400];
    const auto [end, error] = kpx::toChars(buffer, buffer + sizeof buffer, value, format);
    return error == std::errc() ? std::string(buffer, end) : "(error)";
}

std::string withPrecision(double value, std::chars_format format, int precision)
{
    char buffer[400];
    const auto [end, error] = kpx::toChars(buffer, buffer + sizeof buffer, value, format, precision);
    return error == std::errc() ? std::string(buffer, end) : "(error)";
}

struct Shown
{
    const char *name;
    double value;
    const char *shortest;
    const char *fixed;
};

class NumberText : public ::testing::TestWithParam<Shown>
{
};

// What the results files hold, the same on every system: the web build's text is its own code's.
TEST_P(NumberText, IsTheShortestThatReadsBackInEitherNotation)
{
    EXPECT_EQ(shortest(GetParam().value), GetParam().shortest);
    EXPECT_EQ(inFormat(GetParam().value, std::chars_format::fixed), GetParam().fixed);
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberText,
    ::testing::Values(Shown{"AWholeAmount", 1000.0, "1000", "1000"},
                      Shown{"AHalvedAmount", 523.4375, "523.4375", "523.4375"},
                      Shown{"ATenthThatNoBinaryHolds", 0.1, "0.1", "0.1"},
                      Shown{"ARateOfDiscounting", 0.0123, "0.0123", "0.0123"},
                      Shown{"ASmallRateGoesScientific", 1e-7, "1e-07", "0.0000001"},
                      Shown{"ALargeRoundNumberGoesScientific", 1e22, "1e+22", "10000000000000000000000"},
                      Shown{"APowerOfTwoAboveTheDigitsIsWrittenExactly", 1152921504606846976.0,
                            "1152921504606846976", "1152921504606846976"},
                      Shown{"AThirdNeedsSeventeenDigits", 1.0 / 3.0, "0.3333333333333333", "0.3333333333333333"},
                      Shown{"ANegativeAmount", -42.5, "-42.5", "-42.5"},
                      Shown{"NegativeZero", -0.0, "-0", "-0"},
                      Shown{"Infinity", std::numeric_limits<double>::infinity(), "inf", "inf"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(NumberText, WithPrecisionRoundsTheExactValue)
{
    // 2.675 is held as 2.67499999999999982236431605997495353221893310546875.
    EXPECT_EQ(withPrecision(2.675, std::chars_format::fixed, 2), "2.67");
    EXPECT_EQ(withPrecision(0.125, std::chars_format::fixed, 2), "0.12");
    EXPECT_EQ(withPrecision(123456.789, std::chars_format::general, 4), "1.235e+05");
    EXPECT_EQ(withPrecision(0.0001234, std::chars_format::general, 3), "0.000123");
}

TEST(NumberText, TooSmallABufferIsRefused)
{
    char buffer[3];
    EXPECT_EQ(kpx::toChars(buffer, buffer + sizeof buffer, 1234.5).ec, std::errc::value_too_large);
}

struct Read
{
    const char *name;
    const char *text;
    std::errc error;
    std::size_t used;
    double value;
};

class NumberReading : public ::testing::TestWithParam<Read>
{
};

TEST_P(NumberReading, TakesWhatFromCharsTakes)
{
    const std::string text = GetParam().text;
    double value = -1.0;
    const auto [end, error] = kpx::fromChars(text.data(), text.data() + text.size(), value);
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(static_cast<std::size_t>(end - text.data()), GetParam().used);
    if (std::isnan(GetParam().value))
        EXPECT_TRUE(std::isnan(value));
    else
        EXPECT_EQ(value, GetParam().value);
}

constexpr double Untouched = -1.0;

INSTANTIATE_TEST_SUITE_P(
    Texts, NumberReading,
    ::testing::Values(Read{"APlainNumber", "523.4375", std::errc(), 8, 523.4375},
                      Read{"ANegativeExponent", "-1.5e-3", std::errc(), 7, -0.0015},
                      Read{"AFractionWithoutItsZero", ".5", std::errc(), 2, 0.5},
                      Read{"StopsAtTheFirstCharacterNotOfTheNumber", "12x", std::errc(), 2, 12.0},
                      Read{"AnExponentWithoutDigitsIsNotRead", "1e", std::errc(), 1, 1.0},
                      Read{"NoLeadingSpace", " 1", std::errc::invalid_argument, 0, Untouched},
                      Read{"NoLeadingPlus", "+1", std::errc::invalid_argument, 0, Untouched},
                      Read{"NoHexadecimal", "0x10", std::errc(), 1, 0.0},
                      Read{"NothingAtAll", "", std::errc::invalid_argument, 0, Untouched},
                      Read{"ALoneMinus", "-", std::errc::invalid_argument, 0, Untouched},
                      Read{"BeyondTheLargestIsOutOfRange", "1e400", std::errc::result_out_of_range, 5, Untouched},
                      Read{"BelowTheSmallestIsOutOfRange", "1e-400", std::errc::result_out_of_range, 6, Untouched},
                      Read{"ASubnormalIsRead", "5e-324", std::errc(), 6, 5e-324},
                      Read{"Infinity", "inf", std::errc(), 3, std::numeric_limits<double>::infinity()},
                      Read{"NotANumber", "nan", std::errc(), 3, std::numeric_limits<double>::quiet_NaN()}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
