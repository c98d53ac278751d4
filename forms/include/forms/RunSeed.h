#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace kpx::forms {

// The environment variable that fixes the seed, for benchmarks that give two builds the same amounts.
inline constexpr const char *SeedVariable = "KPX2_SEED";

// A seed written as decimal digits that fit 64 bits; nothing for any other text.
std::optional<std::uint64_t> parseSeed(std::string_view text);

// Where each run takes its seed when the task starts: the number in KPX2_SEED when it holds one
// (told once on `told`, so that a fixed seed is never mistaken for a fresh one), otherwise the clock.
std::function<std::uint64_t()> runSeedSource(const std::function<void(std::uint64_t)> &told);

} // namespace kpx::forms
