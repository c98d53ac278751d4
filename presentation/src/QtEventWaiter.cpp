#include "presentation/QtEventWaiter.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cmath>

namespace kpx {

void QtEventWaiter::Pause(double seconds)
{
    const auto duration = static_cast<qint64>(std::llround(seconds * 1e9));
    QElapsedTimer elapsed;
    elapsed.start();

    QEventLoop loop;
    m_loops.push_back(&loop);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);

    // Timers have millisecond granularity: wait again for any remainder so the pause is never short.
    for (qint64 left = duration - elapsed.nsecsElapsed(); left >= 0 && !m_cancelled;
         left = duration - elapsed.nsecsElapsed()) {
        timer.start(static_cast<int>((left + 999'999) / 1'000'000));
        loop.exec();
    }
    m_loops.pop_back();
}

void QtEventWaiter::WaitUntil(const std::function<bool()> &done)
{
    while (!done() && !m_cancelled) {
        QEventLoop loop;
        m_loops.push_back(&loop);
        loop.exec();
        m_loops.pop_back();
    }
}

void QtEventWaiter::wake()
{
    for (QEventLoop *loop : m_loops)
        loop->quit();
}

void QtEventWaiter::cancel()
{
    // Once the application is told to exit, every new event loop returns at once: a wait
    // that went on looping would spin instead of letting the process end.
    m_cancelled = true;
    wake();
}

} // namespace kpx
