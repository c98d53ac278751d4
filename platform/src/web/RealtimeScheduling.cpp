#include "platform/RealtimeScheduling.h"

namespace kpx {

struct RealtimeScheduling::Saved
{
};

RealtimeScheduling::RealtimeScheduling()
    : m_refusal("a web page cannot raise its priority")
{
    // The browser schedules the page; nothing is raised, so nothing is put back.
}

RealtimeScheduling::~RealtimeScheduling() = default;

} // namespace kpx
