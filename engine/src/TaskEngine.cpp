#include "engine/TaskEngine.h"

#include "engine/RandomSource.h"
#include "i18n/Tr.h"

#include <cmath>
#include <cstdlib>

namespace kpx {

TaskEngine::TaskEngine(RandomSource &random)
    : m_random(random)
    , m_delayTable(standardDelayTable())
    , m_order(identityOrder())
{
}

void TaskEngine::resetSchedule()
{
    m_delayTable = standardDelayTable();
    m_random.reseed();
    m_order = identityOrder();
    m_state.LowInner = 0;
    m_state.LowOuter = 0;
    m_state.HighInner = DelayedAmount;
    m_state.HighOuter = DelayedAmount;
    m_state.BlockIndex = 1;
    // No current amount to avoid on the first draw.
    m_state.ImmediateAmount = rangeDraw();
}

void TaskEngine::resetCounters(std::int16_t distractorThreshold)
{
    m_state.ChoseDelayed = false;
    m_state.ChoseImmediate = false;
    m_state.DistractorCounter = 0;
    m_state.DistractorThreshold = distractorThreshold;
    m_state.TrialCount = 0;
}

void TaskEngine::reset(std::int16_t distractorThreshold)
{
    resetSchedule();
    resetCounters(distractorThreshold);
}

ResponseResult TaskEngine::ApplyResponse()
{
    RunState &s = m_state;
    const std::int16_t x = s.ImmediateAmount;
    ResponseResult result;

    if (s.ChoseDelayed) {
        if (x <= s.LowInner) {
            s.LowOuter = x;
        } else {
            s.LowOuter = s.LowInner;
            s.LowInner = x;
            if (x > s.HighInner) {
                s.HighInner = x;
                s.HighOuter = DelayedAmount;
            }
        }
    }
    // Tested after the delayed branch, not as its alternative.
    if (s.ChoseImmediate) {
        if (x >= s.HighInner) {
            s.HighOuter = x;
        } else {
            s.HighOuter = s.HighInner;
            s.HighInner = x;
            if (x < s.LowInner) {
                s.LowInner = x;
                s.LowOuter = 0;
            }
        }
    }

    // Never wraps: callers stop the run once blockFull() holds.
    if (s.TrialCount < TrialCountLimit)
        ++s.TrialCount;
    result.bounds = {s.LowInner, s.LowOuter, s.HighInner, s.HighOuter};

    const int width = std::abs(s.HighOuter - s.LowOuter);
    if (width <= s.DistractorThreshold) {
        ++s.DistractorCounter;
        if (s.DistractorCounter == 3) {
            s.DistractorCounter = 0;
            result.DistractorNext = true;
        }
    }

    if (width == Step) {
        const int k = m_order[s.BlockIndex];
        s.IndifferencePoints[k] = (s.LowOuter + s.HighOuter) / 2.0;
        s.TrialCounts[k] = s.TrialCount;
        ++s.BlockIndex;
        s.TrialCount = 0;
        s.LowInner = 0;
        s.LowOuter = 0;
        s.HighInner = DelayedAmount;
        s.HighOuter = DelayedAmount;
        result.DistractorNext = false;
        s.DistractorCounter = 0;
        result.outcome = s.BlockIndex == FinishedBlock ? ResponseOutcome::RunFinished
                                                       : ResponseOutcome::BlockFinished;
    }
    return result;
}

std::string blockFullMessage(int block)
{
    return i18n::arg(i18n::tr(KPX_TR("Block %1 has taken %2 answers without ending, as many as its trial count can "
                                     "hold.  The task is stopped: the results files are not written; every answer "
                                     "is in the trial log.")),
                     {std::to_string(block), std::to_string(TrialCountLimit)});
}

bool TaskEngine::blockFull() const
{
    return m_state.TrialCount >= TrialCountLimit;
}

void TaskEngine::DrawNextAmount(bool DistractorNext)
{
    std::int16_t candidate;
    do {
        candidate = DistractorNext ? distractorDraw() : rangeDraw();
    } while (candidate == m_state.ImmediateAmount);
    m_state.ImmediateAmount = candidate;
    m_state.ChoseDelayed = false;
    m_state.ChoseImmediate = false;
}

int TaskEngine::currentDelayIndex() const
{
    return m_order[m_state.BlockIndex];
}

const DelayEntry &TaskEngine::currentDelay() const
{
    return m_delayTable[currentDelayIndex()];
}

int TaskEngine::drawIndex(int count)
{
    // Int(r * count + 1): 1..count for r in [0, 1); 1 when count is 0.
    const double r = m_random.next();
    return static_cast<int>(std::floor(r * count + 1.0));
}

std::int16_t TaskEngine::rangeDraw()
{
    const int steps = (m_state.HighOuter - m_state.LowOuter) / Step;
    const int candidate = drawIndex(steps) * Step + m_state.LowOuter;
    // With all four bounds at the top the rule would offer $105, more than the delayed
    // amount itself; the one amount below the top is the sound choice.
    if (candidate > DelayedAmount)
        return DelayedAmount - Step;
    return static_cast<std::int16_t>(candidate);
}

std::int16_t TaskEngine::distractorDraw()
{
    return static_cast<std::int16_t>(drawIndex(DelayedAmount / Step) * Step);
}

std::string FormatAmount(std::int16_t amount)
{
    return i18n::money(std::abs(static_cast<int>(amount)));
}

} // namespace kpx
