#pragma once

#include "engine/DelayTable.h"
#include "engine/RunState.h"

#include <cstdint>
#include <string>

namespace kpx {

class RandomSource;

// The most answers one block can count.
inline constexpr int TrialCountLimit = 32767;

enum class ResponseOutcome { Continue, BlockFinished, RunFinished };

// The four bounds at one moment.
struct Bounds
{
    std::int16_t LowInner = 0;
    std::int16_t LowOuter = 0;
    std::int16_t HighInner = 0;
    std::int16_t HighOuter = 0;

    bool operator==(const Bounds &) const = default;
};

// What ApplyResponse reports: the outcome and whether the next trial is a distractor.
struct ResponseResult
{
    ResponseOutcome outcome = ResponseOutcome::Continue;
    bool DistractorNext = false;
    // The bounds as the response left them, before a block end resets them.
    Bounds bounds;

    bool operator==(const ResponseResult &) const = default;
};

// The adjusting-amount procedure of one run: delay schedule, titration, amount draws.
class TaskEngine
{
public:
    explicit TaskEngine(RandomSource &random);

    // Reset steps 1-6: delay table, reseed, order, bounds, block 1, first amount.
    void resetSchedule();
    // Reset steps 7-10: response flags, distractor counter and threshold, trial count.
    void resetCounters(std::int16_t distractorThreshold);
    // The whole reset, in order.
    void reset(std::int16_t distractorThreshold);

    // Applies the recorded response (ChoseDelayed / ChoseImmediate) to the bounds and counters.
    ResponseResult ApplyResponse();

    // The block has taken as many answers as its 16-bit count holds without ending (only
    // contradictory answering gets here): no further answer may be applied, the run must stop.
    bool blockFull() const;

    // Draws the next trial's amount (never the current one) and clears the response flags.
    void DrawNextAmount(bool DistractorNext);

    // DelayTable index of the current block; BlockIndex must be 1..7.
    int currentDelayIndex() const;
    const DelayEntry &currentDelay() const;
    const std::string &currentDelayText() const { return currentDelay().text; }

    RunState &state() { return m_state; }
    const RunState &state() const { return m_state; }
    const DelayTable &delayTable() const { return m_delayTable; }
    const PresentationOrder &presentationOrder() const { return m_order; }

private:
    std::int16_t rangeDraw();
    std::int16_t distractorDraw();
    int drawIndex(int count);

    RandomSource &m_random;
    RunState m_state;
    DelayTable m_delayTable;
    PresentationOrder m_order;
};

// What the experimenter is told when a block fills up (blockFull) and the run stops.
std::string blockFullMessage(int block);

// The amount as the active language writes money: "$" and the digits in English.
std::string FormatAmount(std::int16_t amount);

} // namespace kpx
