#include "sim/SimOptions.h"
#include "sim/Simulation.h"

#include "i18n/Tr.h"
#include "kpx/Version.h"
#include "platform/Process.h"

#include <chrono>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    const std::vector<std::string> arguments = kpx::programArguments(argc, argv);
    // The messages, the usage among them, are in the run's language from the first.
    kpx::i18n::setLanguage(kpx::messageLanguage(arguments));
    const auto parsed = kpx::parseSimArguments(arguments);
    if (const auto *message = std::get_if<std::string>(&parsed)) {
        std::cerr << "kpx2-sim: "
                  << kpx::i18n::arg(kpx::i18n::tr(KPX_TR("%1 (kpx2-sim --help shows the usage)")), {*message}) << '\n';
        return kpx::SimExit::BadInput;
    }
    const auto &options = std::get<kpx::SimOptions>(parsed);
    if (options.helpRequested) {
        std::cout << kpx::simUsageText();
        return kpx::SimExit::Ok;
    }
    if (options.versionRequested) {
        std::cout << "kpx2-sim " << kpx::kVersion << '\n';
        return kpx::SimExit::Ok;
    }
    const std::uint64_t seed = options.seed.value_or(
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    // A file-size limit must show as a write failure, reported like a full disk.
    kpx::reportOversizedWritesAsErrors();
    return kpx::runSimulation(options, seed, std::cin, std::cout, std::cerr);
}
