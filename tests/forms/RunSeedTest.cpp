#include "forms/RunSeed.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace {

// A fixed seed is taken only when the whole text is a decimal number that fits; anything else
// leaves the seed to the clock rather than fixing a wrong one.
TEST(RunSeedText, IsTakenOnlyWhenItIsWhollyADecimalNumberThatFits)
{
    const std::pair<std::string, std::optional<std::uint64_t>> cases[] = {
        {"2024", 2024}, {"0", 0}, {"18446744073709551615", UINT64_MAX}, {"18446744073709551616", std::nullopt},
        {"", std::nullopt}, {"-1", std::nullopt}, {"+1", std::nullopt}, {" 1", std::nullopt},
        {"12x", std::nullopt}, {"0x10", std::nullopt}};
    for (const auto &[text, seed] : cases)
        EXPECT_EQ(kpx::forms::parseSeed(text), seed) << '"' << text << '"';
}

} // namespace
