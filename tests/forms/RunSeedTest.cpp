#include "forms/RunSeed.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

using kpx::forms::parseSeed;

namespace {

struct SeedCase
{
    const char *name;
    std::string text;
    std::optional<std::uint64_t> seed;
};

class RunSeedText : public testing::TestWithParam<SeedCase>
{
};

TEST_P(RunSeedText, IsTakenOnlyWhenItIsWhollyADecimalNumberThatFits)
{
    EXPECT_EQ(parseSeed(GetParam().text), GetParam().seed);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RunSeedText,
    testing::Values(SeedCase{"Digits", "2024", 2024}, SeedCase{"Zero", "0", 0},
                    SeedCase{"LargestThatFits", "18446744073709551615", UINT64_MAX},
                    SeedCase{"OneMoreOverflows", "18446744073709551616", std::nullopt},
                    SeedCase{"Empty", "", std::nullopt}, SeedCase{"Negative", "-1", std::nullopt},
                    SeedCase{"Plus", "+1", std::nullopt}, SeedCase{"LeadingSpace", " 1", std::nullopt},
                    SeedCase{"TrailingText", "12x", std::nullopt}, SeedCase{"Hex", "0x10", std::nullopt}),
    [](const testing::TestParamInfo<SeedCase> &info) { return std::string(info.param.name); });

} // namespace
