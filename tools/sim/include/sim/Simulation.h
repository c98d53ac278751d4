#pragma once

#include "sim/SimOptions.h"

#include <cstdint>
#include <iosfwd>

namespace kpx {

// Exit statuses of the simulator.
namespace SimExit {
constexpr int Ok = 0;
constexpr int WriteFailed = 1;
constexpr int BadInput = 2;
constexpr int EndOfInput = 3;
// The trial log was removed or replaced during the run and written again in full; the run went on.
constexpr int LogWrittenAgain = 4;
// A block took as many answers as its trial count holds without ending; the run stopped, its log kept.
constexpr int BlockFull = 5;
} // namespace SimExit

// Runs the real engine and results writer for the participant the options name.
int runSimulation(const SimOptions &options, std::uint64_t seed, std::istream &in, std::ostream &out,
                  std::ostream &err);

} // namespace kpx
