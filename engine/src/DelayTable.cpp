#include "engine/DelayTable.h"

#include "i18n/Tr.h"

namespace kpx {

DelayTable standardDelayTable()
{
    DelayTable table;
    // The English words stay the delay's text in every language, so the logs of every language
    // score alike; the windows show them through the catalogue.
    table[1] = {StandardDelayDays[0], KPX_TR("IN 1 DAY")};
    table[2] = {StandardDelayDays[1], KPX_TR("IN 1 WEEK")};
    table[3] = {StandardDelayDays[2], KPX_TR("IN 1 MONTH")};
    table[4] = {StandardDelayDays[3], KPX_TR("IN 3 MONTHS")};
    table[5] = {StandardDelayDays[4], KPX_TR("IN 6 MONTHS")};
    table[6] = {StandardDelayDays[5], KPX_TR("IN 1 YEAR")};
    table[7] = {StandardDelayDays[6], KPX_TR("IN 5 YEARS")};
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
