#include "engine/RandomSource.h"
#include "results/Clock.h"
#include "ui/QtDialogs.h"
#include "ui/Session.h"

#include <QApplication>
#include <QFile>
#include <QTextStream>

#include <chrono>
#include <cstdint>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Dialogs and message boxes without a title of their own carry the application title.
    QApplication::setApplicationName(QStringLiteral("KPX2"));

    // Each run draws its amounts from a seed taken from the clock when the task starts.
    kpx::SeededRandom random(
        [] { return static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()); });
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

    session.show();
    return QApplication::exec();
}
