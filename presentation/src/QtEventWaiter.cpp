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
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);

    // Timers have millisecond granularity: wait again for any remainder so the pause is never short.
    for (qint64 left = duration - elapsed.nsecsElapsed(); left >= 0; left = duration - elapsed.nsecsElapsed()) {
        timer.start(static_cast<int>((left + 999'999) / 1'000'000));
        loop.exec();
    }
}

void QtEventWaiter::WaitUntil(const std::function<bool()> &done)
{
    while (!done()) {
        QEventLoop loop;
        m_waits.push_back(&loop);
        loop.exec();
        m_waits.pop_back();
    }
}

void QtEventWaiter::wake()
{
    for (QEventLoop *loop : m_waits)
        loop->quit();
}

} // namespace kpx
