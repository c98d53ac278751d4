#include "presentation/QtEventWaiter.h"

#include "presentation/PreciseDeadline.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>

namespace kpx {

void QtEventWaiter::pauseThen(double seconds, const std::function<void()> &prepare)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + duration_cast<steady_clock::duration>(duration<double>(seconds));

    QEventLoop loop;
    m_loops.push_back(&loop);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);

    // Events are dispatched until shortly before the deadline (a wake() ends a pass early), then
    // the last few milliseconds are slept, so the pause ends on time and is never short.
    for (int wait = earlyWakeMs(deadline); wait > 0 && !m_cancelled; wait = earlyWakeMs(deadline)) {
        timer.start(wait);
        loop.exec();
    }
    m_loops.pop_back();
    if (m_cancelled)
        return;
    if (prepare)
        prepare();
    sleepUntil(deadline);
}

void QtEventWaiter::waitUntil(const std::function<bool()> &done)
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
