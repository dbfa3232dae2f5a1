#include "appearance/PointerFeedback.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>

PointerFeedback::PointerFeedback(QWidget* window, const QList<QWidget*>& customWidgets,
                                 const QList<QWidget*>& defaultWidgets)
    : QObject(window), m_window(window)
{
    const auto watch = [this](QWidget* widget, QSet<const QObject*>& set) {
        set.insert(widget);
        widget->setMouseTracking(true);
        widget->installEventFilter(this);
    };
    for (QWidget* widget : customWidgets)
        watch(widget, m_customWidgets);
    for (QWidget* widget : defaultWidgets)
        watch(widget, m_defaultWidgets);
}

void PointerFeedback::setCustomCursor(const QCursor& cursor)
{
    m_customCursor = cursor;
    if (m_value == Custom)
        showPointer();
}

bool PointerFeedback::eventFilter(QObject* watched, QEvent* event)
{
    // Enter comes first when the pointer arrives from outside the widget; the moves follow.
    QPointF position;
    if (event->type() == QEvent::MouseMove)
        position = static_cast<QMouseEvent*>(event)->position();
    else if (event->type() == QEvent::Enter)
        position = static_cast<QEnterEvent*>(event)->position();
    else
        return false;
    // Qt passes a move that a button ignores on to its parents, and sends Enter to every
    // widget the pointer enters, parents included: only the widget really under the pointer
    // counts, not a frame or window whose control it is over.
    if (static_cast<QWidget*>(watched)->childAt(position.toPoint()))
        return false;

    if (m_value == Busy)
        return false;
    if (m_customWidgets.contains(watched))
        setValue(Custom);
    else if (m_defaultWidgets.contains(watched))
        setValue(Default);
    return false;
}

void PointerFeedback::setValue(int value)
{
    // Setting the same value again shows the same pointer; skip the work on every mouse move.
    if (value == m_value)
        return;
    m_value = value;
    showPointer();
}

void PointerFeedback::showPointer()
{
    if (m_value == Busy)
        overridePointer(QCursor(Qt::WaitCursor));
    else if (m_value == Custom && m_customCursor)
        overridePointer(*m_customCursor);
    else
        restorePointers();
}

void PointerFeedback::overridePointer(const QCursor& cursor)
{
    if (!m_window)
        return;
    const auto isOverridden = [this](const QWidget* widget) {
        return std::any_of(m_overridden.begin(), m_overridden.end(),
                           [widget](const Overridden& entry) { return entry.widget == widget; });
    };
    const auto overrideOne = [&](QWidget* widget) {
        if (!isOverridden(widget)) {
            std::optional<QCursor> own;
            if (widget->testAttribute(Qt::WA_SetCursor))
                own = widget->cursor();
            m_overridden.push_back({widget, own});
        }
        widget->setCursor(cursor);
    };

    // Controls without a pointer of their own show their parent's, hence the window's; those
    // with one (the text cursor of a text box) must be overridden one by one.
    overrideOne(m_window);
    const auto children = m_window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        // Dialogs the window owns are windows of their own and keep their pointers.
        if (child->window() != m_window)
            continue;
        if (child->testAttribute(Qt::WA_SetCursor) || isOverridden(child))
            overrideOne(child);
    }
}

void PointerFeedback::restorePointers()
{
    for (const Overridden& entry : m_overridden) {
        if (!entry.widget)
            continue;
        if (entry.ownCursor)
            entry.widget->setCursor(*entry.ownCursor);
        else
            entry.widget->unsetCursor();
    }
    m_overridden.clear();
}
