#include "beep/RowChoiceWatch.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QTreeWidget>

RowChoiceWatch::RowChoiceWatch(QTreeWidget* list, const bool& programIsSelecting)
    : QObject(list), m_viewport(list->viewport()), m_programIsSelecting(programIsSelecting)
{
    connect(list, &QTreeWidget::itemClicked, this, [this] {
        m_changedUnderMouse = false;
        Q_EMIT rowChosen();
    });
    connect(list, &QTreeWidget::currentItemChanged, this, [this] {
        if (m_programIsSelecting)
            return;
        if (QGuiApplication::mouseButtons() == Qt::NoButton)
            Q_EMIT rowChosen(); // the keyboard
        else
            m_changedUnderMouse = true;
    });
    m_viewport->installEventFilter(this);
}

bool RowChoiceWatch::eventFilter(QObject* watched, QEvent* event)
{
    // The view reports a click after this release has been handled; what is left over then
    // was a drag, or a click of another button.
    if (watched == m_viewport && event->type() == QEvent::MouseButtonRelease && m_changedUnderMouse)
        QTimer::singleShot(0, this, [this] {
            if (!m_changedUnderMouse)
                return;
            m_changedUnderMouse = false;
            Q_EMIT rowChosen();
        });
    return QObject::eventFilter(watched, event);
}
