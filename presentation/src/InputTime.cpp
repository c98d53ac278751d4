#include "presentation/InputTime.h"

#include <algorithm>

namespace kpx {

namespace {

// No event takes this long to arrive; a difference beyond it means the event clock jumped.
constexpr double MaxDeliveryMs = 1000.0;

} // namespace

InputStamp InputStamp::retrievedBefore(double ms)
{
    InputStamp stamp;
    stamp.m_retrievedBeforeMs = std::max(0.0, ms);
    return stamp;
}

double InputTimeMap::eventTime(const InputStamp &stamp, double handledMs)
{
    if (stamp.retrievedBeforeMs())
        return handledMs - *stamp.retrievedBeforeMs();
    const std::uint64_t timestampMs = stamp.timestampMs();
    if (timestampMs == 0)
        return handledMs;
    const double offset = handledMs - static_cast<double>(timestampMs);
    if (!m_offset || offset < *m_offset || offset - *m_offset > MaxDeliveryMs)
        m_offset = offset;
    return static_cast<double>(timestampMs) + *m_offset;
}

} // namespace kpx
