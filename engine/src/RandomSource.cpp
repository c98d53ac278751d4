#include "engine/RandomSource.h"

#include <utility>

namespace kpx {

SeededRandom::SeededRandom(std::function<std::uint64_t()> seedSource)
    : m_seedSource(std::move(seedSource))
{
    reseed();
}

SeededRandom SeededRandom::fixed(std::uint64_t seed)
{
    return SeededRandom([seed] { return seed; });
}

void SeededRandom::reseed()
{
    const std::uint64_t seed = m_seedSource();
    std::seed_seq sequence{static_cast<std::uint32_t>(seed), static_cast<std::uint32_t>(seed >> 32)};
    m_generator.seed(sequence);
}

float SeededRandom::next()
{
    // The top 24 bits fill a float's mantissa exactly, so the result is a multiple of
    // 2^-24 below 1.0. std::generate_canonical<float> may round up to 1.0, which would
    // draw one step above the range.
    const std::uint32_t bits = m_generator() >> 8;
    return static_cast<float>(bits) * (1.0f / 16777216.0f);
}

} // namespace kpx
