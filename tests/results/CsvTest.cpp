#include "results/Csv.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct FieldCase
{
    std::string text;
    std::string expected;
};

void PrintTo(const FieldCase &c, std::ostream *os)
{
    *os << ::testing::PrintToString(c.text);
}

class CsvField : public ::testing::TestWithParam<FieldCase>
{
};

TEST_P(CsvField, IsQuotedOnlyWhenItMustBe)
{
    EXPECT_EQ(kpx::CsvField(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, CsvField,
                         ::testing::Values(FieldCase{"S01", "S01"}, FieldCase{"", ""}, FieldCase{"S 01", "S 01"},
                                           FieldCase{"Smith, J", "\"Smith, J\""},
                                           FieldCase{"say \"hi\"", "\"say \"\"hi\"\"\""},
                                           FieldCase{"a\nb", "\"a\nb\""}, FieldCase{"a\rb", "\"a\rb\""}));

} // namespace
