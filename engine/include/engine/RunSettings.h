#pragma once

#include "engine/TaskRules.h"

#include <cstdint>
#include <string>

namespace kpx {

// What the experimenter sets up for one run; texts are UTF-8.
struct RunSettings
{
    std::string SubjectId;
    std::string OutputDirectory;
    std::int16_t DistractorThreshold = DefaultDistractorThreshold;
    std::int16_t MaxTrials = DefaultMaxTrials;
};

} // namespace kpx
