#pragma once

#include <QObject>
#include <QTimer>

/// The window's timer: ticks every Interval() milliseconds while Interval() is above 0, and
/// is stopped while it is 0. Ticks keep to the wall clock (no drift from late handling) and
/// never overlap: a tick that comes while the previous one is still running is skipped.
class WindowTimer : public QObject
{
    Q_OBJECT
  public:
    explicit WindowTimer(QObject* parent = nullptr);

    int Interval() const { return m_interval; }
    /// 0 stops the timer; a new positive interval (re)starts it.
    void setInterval(int milliseconds);

  Q_SIGNALS:
    /// One tick.
    void Timer();

  private:
    void tick();

    QTimer m_timer;
    int m_interval = 0;
    bool m_inTick = false;
};
