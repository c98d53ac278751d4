#pragma once

#include <string>

namespace kpx {

// The break message window shown before each block.
class BreakScreen
{
public:
    virtual ~BreakScreen() = default;

    // The coming block's delay text (its Label2).
    virtual void setDelayCaption(const std::string &text) = 0;
    // Shown over the choice window, it becomes active and receives the keys.
    virtual void show() = 0;
    virtual void hide() = 0;
};

} // namespace kpx
