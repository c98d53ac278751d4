#pragma once

#include <string>

namespace kpx::test {

// How a scripted participant answers a trial.
struct Answer
{
    bool immediate = false; // Left, or a click on the immediate option
    bool click = false;     // a click on Label3 (immediate) or VDelay (delayed), else an arrow key
    bool shift = false;     // the arrow pressed with Shift held
};

// A participant who values the delayed $100 at `value` dollars now: takes the immediate amount exactly
// when it is worth that or more, mostly by arrow key (every third one with Shift held), every fourth
// by a click. The same participant answers the windows of either front-end.
class ParticipantRule
{
public:
    explicit ParticipantRule(int value)
        : m_value(value)
    {
    }

    // The answer to the trial whose VReward reads `amount` ("$45").
    Answer answer(const std::string &amount)
    {
        ++responses;
        const bool immediate = std::stoi(amount.substr(1)) >= m_value;
        return {immediate, responses % 4 == 0, responses % 3 == 0};
    }

    int responses = 0;

private:
    int m_value;
};

} // namespace kpx::test
