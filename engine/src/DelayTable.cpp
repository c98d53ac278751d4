#include "engine/DelayTable.h"

namespace kpx {

DelayTable standardDelayTable()
{
    DelayTable table;
    table[1] = {StandardDelayDays[0], "IN 1 DAY"};
    table[2] = {StandardDelayDays[1], "IN 1 WEEK"};
    table[3] = {StandardDelayDays[2], "IN 1 MONTH"};
    table[4] = {StandardDelayDays[3], "IN 3 MONTHS"};
    table[5] = {StandardDelayDays[4], "IN 6 MONTHS"};
    table[6] = {StandardDelayDays[5], "IN 1 YEAR"};
    table[7] = {StandardDelayDays[6], "IN 5 YEARS"};
    return table;
}

PresentationOrder identityOrder()
{
    PresentationOrder order;
    for (int k = 1; k <= DelayCount; ++k)
        order[k] = static_cast<std::int16_t>(k);
    return order;
}

} // namespace kpx
