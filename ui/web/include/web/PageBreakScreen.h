#pragma once

#include "presentation/BreakScreen.h"

#include <string>

namespace kpx::web {

class PageBridge;

// The break message in the page, over the choice window; the space bar or a touch on it continues.
class PageBreakScreen final : public BreakScreen
{
public:
    // The bridge must outlive the screen.
    explicit PageBreakScreen(PageBridge &bridge)
        : m_bridge(bridge)
    {
    }

    void setDelayCaption(const std::string &text) override { m_caption = text; }
    void show() override;
    void hide() override;

private:
    PageBridge &m_bridge;
    std::string m_caption;
};

} // namespace kpx::web
