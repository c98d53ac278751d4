#include "web/PageBreakScreen.h"

#include "web/PageBridge.h"

namespace kpx::web {

void PageBreakScreen::show()
{
    m_bridge.showBreak(m_caption);
}

void PageBreakScreen::hide()
{
    m_bridge.hideBreak();
}

} // namespace kpx::web
