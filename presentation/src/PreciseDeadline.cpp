#include "presentation/PreciseDeadline.h"

namespace kpx {

int earlyWakeMs(std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    const auto left = deadline - WakeEarly - monotonicNow();
    return left > steady_clock::duration::zero() ? static_cast<int>(duration_cast<milliseconds>(left).count()) : 0;
}

} // namespace kpx
