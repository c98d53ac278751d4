#include "forms/RunSeed.h"

#include <chrono>
#include <charconv>
#include <cstdlib>

namespace kpx::forms {

std::optional<std::uint64_t> parseSeed(std::string_view text)
{
    std::uint64_t value = 0;
    const char *end = text.data() + text.size();
    // from_chars takes no sign, space or other prefix; all of the text must be the number.
    if (text.empty() || text.front() < '0' || text.front() > '9')
        return std::nullopt;
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end)
        return std::nullopt;
    return value;
}

std::function<std::uint64_t()> runSeedSource(const std::function<void(std::uint64_t)> &told)
{
    const char *given = std::getenv(SeedVariable);
    if (const std::optional<std::uint64_t> fixed = given ? parseSeed(given) : std::nullopt) {
        if (told)
            told(*fixed);
        return [seed = *fixed] { return seed; };
    }
    return [] { return static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()); };
}

} // namespace kpx::forms
