// The longest the GUI thread's event loop went unturned, as a precise timer sees it: the
// gap between two of its ticks, or from the last tick to now. The window benchmarks hold
// their figures for the GUI thread against this.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

namespace vx414::bench {

class LoopGaps {
public:
    // Starts the clock and a timer ticking every `intervalMs`.
    explicit LoopGaps(int intervalMs)
    {
        beat_.setTimerType(Qt::PreciseTimer);
        beat_.setInterval(intervalMs);
        QObject::connect(&beat_, &QTimer::timeout, [this] {
            const qint64 now = clock_.nsecsElapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        clock_.start();
        beat_.start();
    }
    LoopGaps(const LoopGaps&) = delete;
    LoopGaps& operator=(const LoopGaps&) = delete;

    qint64 elapsedMs() const { return clock_.elapsed(); }
    qint64 elapsedNs() const { return clock_.nsecsElapsed(); }
    qint64 longestNs() const { return std::max(longest_, clock_.nsecsElapsed() - last_); }

    // Turns the event loop until `done()` or until `untilMs` have passed since the start.
    template <typename Done>
    void turnUntil(qint64 untilMs, Done done) const
    {
        while (!done() && clock_.elapsed() < untilMs)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    void turnUntil(qint64 untilMs) const
    {
        turnUntil(untilMs, [] { return false; });
    }

private:
    QElapsedTimer clock_;
    QTimer beat_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

}  // namespace vx414::bench
