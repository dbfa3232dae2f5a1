#include "core/WindowTimer.h"

#include <QScopedValueRollback>

WindowTimer::WindowTimer(QObject* parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &WindowTimer::tick);
}

void WindowTimer::setInterval(int milliseconds)
{
    if (milliseconds == m_interval)
        return;
    m_interval = qMax(0, milliseconds);
    if (m_interval == 0)
        m_timer.stop();
    else
        m_timer.start(m_interval);
}

void WindowTimer::tick()
{
    if (m_inTick)
        return;
    const QScopedValueRollback guard(m_inTick, true);
    Q_EMIT Timer();
}
