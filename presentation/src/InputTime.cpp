#include "presentation/InputTime.h"

namespace kpx {

namespace {

// No event takes this long to arrive; a difference beyond it means the event clock jumped.
constexpr double MaxDeliveryMs = 1000.0;

} // namespace

double InputTimeMap::eventTime(std::uint64_t timestampMs, double handledMs)
{
    if (timestampMs == 0)
        return handledMs;
    const double offset = handledMs - static_cast<double>(timestampMs);
    if (!m_offset || offset < *m_offset || offset - *m_offset > MaxDeliveryMs)
        m_offset = offset;
    return static_cast<double>(timestampMs) + *m_offset;
}

} // namespace kpx
