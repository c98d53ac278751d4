#include "engine/DelayTable.h"

namespace kpx {

DelayTable StandardDelayTable()
{
    DelayTable table;
    table[1] = {1, "IN 1 DAY"};
    table[2] = {7, "IN 1 WEEK"};
    table[3] = {30, "IN 1 MONTH"};
    table[4] = {90, "IN 3 MONTHS"};
    table[5] = {180, "IN 6 MONTHS"};
    table[6] = {365, "IN 1 YEAR"};
    table[7] = {1825, "IN 5 YEARS"};
    return table;
}

PresentationOrder IdentityOrder()
{
    PresentationOrder order;
    for (int k = 1; k <= DelayCount; ++k)
        order[k] = static_cast<std::int16_t>(k);
    return order;
}

} // namespace kpx
