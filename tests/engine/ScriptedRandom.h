#pragma once

#include "engine/RandomSource.h"
#include "engine/RunState.h"

#include <deque>
#include <stdexcept>

namespace kpx::test {

// A random source that returns the values a test queues.
class ScriptedRandom final : public RandomSource
{
public:
    void reseed() override { ++reseeds; }
    float next() override
    {
        if (values.empty())
            throw std::logic_error("no scripted random value left");
        const float value = values.front();
        values.pop_front();
        return value;
    }

    // Queues the value that makes an ordinary draw from the given state yield amount.
    void queueOrdinary(const RunState &state, int amount)
    {
        const int steps = (state.HighOuter - state.LowOuter) / Step;
        const int index = (amount - state.LowOuter) / Step;
        values.push_back(steps == 0 ? 0.0f : (index - 0.5f) / static_cast<float>(steps));
    }

    // Queues the value that makes a draw over the whole scale yield amount.
    void queueWholeScale(int amount) { values.push_back((amount / Step - 0.5f) / 20.0f); }

    std::deque<float> values;
    int reseeds = 0;
};

} // namespace kpx::test
