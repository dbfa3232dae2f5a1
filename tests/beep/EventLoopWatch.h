#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <algorithm>

/// Measures how long the event loop of the calling thread is held up: a 5 ms timer notes the
/// longest gap between two of its ticks while the watch runs.
class EventLoopWatch : public QObject
{
  public:
    EventLoopWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this,
                [this] { m_longestGapMs = std::max(m_longestGapMs, m_sinceTick.restart()); });
        m_sinceTick.start();
        m_timer.start();
    }

    /// The longest time in ms between two ticks, or since the last tick if that is longer.
    qint64 longestGapMs() const { return std::max(m_longestGapMs, m_sinceTick.elapsed()); }

  private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    qint64 m_longestGapMs = 0;
};
