#include "engine/RandomSource.h"
#include "forms/CommandLine.h"
#include "forms/RunSeed.h"
#include "platform/RealtimeScheduling.h"
#include "results/Clock.h"
#include "win32/Drawing.h"
#include "win32/MessageLoop.h"
#include "win32/Session.h"
#include "win32/Win32Dialogs.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> arguments()
{
    int count = 0;
    LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> list;
    for (int i = 1; i < count; ++i)
        list.push_back(kpx::win32::narrow(wide[i]));
    LocalFree(wide);
    return list;
}

// A program without a console of its own answers on the one it was started from, if any.
void attachConsole()
{
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::vector<std::string> given = arguments();
    if (!given.empty())
        attachConsole();
    if (const auto status = kpx::answerAppArguments(given, std::cout, std::cerr))
        return *status;
    // The folder chooser is a shell object.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    kpx::win32::MessageLoop loop;
    // Each run draws its amounts from a seed taken from the clock when the task starts (or KPX2_SEED).
    kpx::SeededRandom random(kpx::forms::runSeedSource([](std::uint64_t seed) {
        std::cerr << "kpx2: every run draws its amounts from the fixed seed " << seed << " (KPX2_SEED).\n";
    }));
    kpx::SystemClock clock;
    kpx::win32::Win32Dialogs dialogs;
    kpx::win32::Session session(loop, kpx::Timings{}, random, clock, dialogs, [] { PostQuitMessage(0); });

    // For timing audits (bench/windows): the onset of every trial phase, one line each.
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> trace(nullptr, &std::fclose);
    if (const wchar_t *path = _wgetenv(L"KPX2_PHASE_TRACE"); path && *path) {
        trace.reset(_wfopen(path, L"w"));
        if (trace) {
            session.flow().setPhaseTrace([file = trace.get()](const char *phase, double ms) {
                std::fprintf(file, "%s %.3f\n", phase, ms);
                std::fflush(file);
            });
        }
    }

    // From the task's start the trials are timed to the millisecond: the run's threads run ahead of
    // other programs where the system allows it, and the experimenter hears when it does not.
    std::optional<kpx::RealtimeScheduling> realtime;
    session.setTaskStarting([&realtime] {
        realtime.emplace();
        if (!realtime->granted())
            std::cerr << "kpx2: a raised priority was not granted (" << realtime->refusal()
                      << "); the trials' timings may stray by a few milliseconds on a busy machine.\n";
    });

    session.show();
    const int status = loop.run();
    CoUninitialize();
    return status;
}
