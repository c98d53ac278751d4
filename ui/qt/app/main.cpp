#include "QtOptions.h"

#include "engine/RandomSource.h"
#include "forms/CommandLine.h"
#include "forms/RunSeed.h"
#include "kpx/Version.h"
#include "platform/Process.h"
#include "platform/RealtimeScheduling.h"
#include "results/Clock.h"
#include "ui/ApplicationTitle.h"
#include "ui/QtDialogs.h"
#include "ui/Session.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>

#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

QStringList argumentsOf(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// Answers --help and --version, or tells what was not understood; empty when the task should run.
std::optional<int> answerCommandLine(const QStringList &arguments)
{
    std::vector<std::string> text;
    for (const QString &argument : arguments)
        text.push_back(argument.toStdString());
    return kpx::answerAppArguments(text, std::cout, std::cerr);
}

} // namespace

int main(int argc, char *argv[])
{
    // The command line is answered before the window system is opened, which needs a display:
    // --help, --version and a bad argument alike. Qt's own options are left to QApplication.
    if (const auto status = answerCommandLine(kpx::withoutQtOptions(argumentsOf(argc, argv))))
        return *status;
    QApplication app(argc, argv);
    // A file-size limit must show as a write failure the experimenter is told of.
    kpx::reportOversizedWritesAsErrors();
    // What QApplication left is ours; an option of Qt's it did not take here is reported too.
    if (const auto status = answerCommandLine(argumentsOf(argc, argv)))
        return *status;

    // Dialogs and message boxes without a title of their own carry the application title.
    QApplication::setApplicationName(kpx::ApplicationTitle);
    // Ties the windows to kpx2.desktop (its name and icon), which Wayland desktops go by.
    QGuiApplication::setDesktopFileName(QStringLiteral("kpx2"));

    // Each run draws its amounts from a seed taken from the clock when the task starts (or KPX2_SEED).
    kpx::SeededRandom random(kpx::forms::runSeedSource([](std::uint64_t seed) {
        std::cerr << "kpx2: every run draws its amounts from the fixed seed " << seed << " (KPX2_SEED).\n";
    }));
    kpx::SystemClock clock;
    kpx::QtDialogs dialogs;
    kpx::Session session(kpx::Timings{}, random, clock, dialogs, [] { QCoreApplication::exit(0); });

    // For timing audits (bench/timing): the onset of every trial phase, one line each.
    std::unique_ptr<QFile> trace;
    if (const QString path = qEnvironmentVariable("KPX2_PHASE_TRACE"); !path.isEmpty()) {
        trace = std::make_unique<QFile>(path);
        if (trace->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            session.flow().setPhaseTrace([file = trace.get()](const char *phase, double ms) {
                QTextStream(file) << phase << ' ' << QString::number(ms, 'f', 3) << '\n';
                file->flush();
            });
        }
    }

    // From the task's start the trials are timed to the millisecond: the application's threads run
    // ahead of other programs where the system allows it, and the experimenter hears when it does not.
    std::optional<kpx::RealtimeScheduling> realtime;
    session.setTaskStarting([&realtime] {
        realtime.emplace();
        if (!realtime->granted())
            std::cerr << "kpx2: real-time scheduling was not granted (" << realtime->refusal()
                      << "); the trials' timings may stray by a few milliseconds on a busy machine.\n";
    });

    session.show();
    return QApplication::exec();
}
