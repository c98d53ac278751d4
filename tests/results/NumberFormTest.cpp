#include "results/NumberForm.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>

namespace kpx {
namespace {

struct NumberCase
{
    double value;
    char separator;
    std::string expected;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const NumberCase &c, std::ostream *out)
{
    *out << c.expected;
}

class NumberFormTable : public ::testing::TestWithParam<NumberCase>
{
};

TEST_P(NumberFormTable, HasSignPositionShortestDigitsAndTrailingSpace)
{
    const NumberCase &c = GetParam();
    EXPECT_EQ(numberForm(c.value, c.separator), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, NumberFormTable,
    ::testing::Values(NumberCase{62.5, '.', " 62.5 "}, NumberCase{2.5, '.', " 2.5 "}, NumberCase{97.5, '.', " 97.5 "},
                      NumberCase{14, '.', " 14 "}, NumberCase{100, '.', " 100 "}, NumberCase{0, '.', " 0 "},
                      NumberCase{-0.0, '.', " 0 "}, NumberCase{-3, '.', "-3 "}, NumberCase{-7.5, '.', "-7.5 "},
                      NumberCase{0.1, '.', " 0.1 "}, NumberCase{1e20, '.', " 100000000000000000000 "},
                      NumberCase{32767, '.', " 32767 "}, NumberCase{62.5, ',', " 62,5 "},
                      NumberCase{40, ',', " 40 "}));

// The forms the trial log, the simulator and the summary use: none may switch to an exponent
// where a column promises plain decimals, and each rounds rather than truncates.
TEST(NumberForms, KeepTheirNotationAndRounding)
{
    EXPECT_EQ(plainNumber(1e-7), "0.0000001");
    EXPECT_EQ(plainNumber(62.5), "62.5");
    EXPECT_EQ(fixedNumber(12.3456, 3), "12.346");
    EXPECT_EQ(fixedNumber(1e-7, 3), "0.000");
    EXPECT_EQ(fixedNumber(2.5, 0), "2");
    EXPECT_EQ(roundTripNumber(1e-7), "1e-07");
    EXPECT_EQ(roundTripNumber(1.0 / 3.0), "0.3333333333333333");
    EXPECT_EQ(significantNumber(0.0096219512, 6), "0.00962195");
    EXPECT_EQ(significantNumber(-4.5, 6), "-4.5");
}

} // namespace
} // namespace kpx
