#pragma once

#include <cstdint>
#include <functional>
#include <random>

namespace kpx {

// Uniform single-precision values in [0, 1) for the amount draws.
class RandomSource
{
public:
    virtual ~RandomSource() = default;

    // Starts a new sequence; called at every start of the task.
    virtual void reseed() = 0;

    // Never returns 1.0 or more.
    virtual float next() = 0;
};

// Mersenne Twister whose seed comes from an injected source (the clock in the application).
class SeededRandom final : public RandomSource
{
public:
    explicit SeededRandom(std::function<std::uint64_t()> seedSource);

    // A source that always starts from the same seed.
    static SeededRandom fixed(std::uint64_t seed);

    void reseed() override;
    float next() override;

private:
    std::function<std::uint64_t()> m_seedSource;
    std::mt19937 m_generator;
};

} // namespace kpx
