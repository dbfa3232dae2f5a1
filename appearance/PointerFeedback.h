#pragma once

#include <QCursor>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>

#include <optional>
#include <vector>

class QWidget;

/// The main window's pointer setting: one value for the whole window that decides the pointer
/// shown over the window and every control on it.
///
/// - Default (0): each control's own usual pointer (the arrow, the text cursor over a text box).
/// - Busy (11): the hourglass over the window and all its controls.
/// - Custom (99): the custom pointer (the hand) over the window and all its controls; without a
///   custom pointer it looks like Default.
///
/// As an event filter it follows the mouse: moving over a "custom" widget (the push buttons)
/// sets Custom, moving over a "default" widget (the window background, the frames, the list and
/// its viewport) sets Default, unless the setting is Busy, which only setBusy()/setDefault()
/// change. Other controls leave the setting as it is. It switches mouse tracking on for the
/// widgets it watches, because Qt reports mouse moves without a pressed button only then.
class PointerFeedback : public QObject
{
    Q_OBJECT
  public:
    /// Values of the pointer setting.
    enum Value : int { Default = 0, Busy = 11, Custom = 99 };

    /// Watches @p customWidgets and @p defaultWidgets, which lie on @p window; it is owned by
    /// @p window. The setting starts as Default.
    PointerFeedback(QWidget* window, const QList<QWidget*>& customWidgets,
                    const QList<QWidget*>& defaultWidgets);

    /// The pointer shown for Custom, for instance the hand read from the cursor file.
    void setCustomCursor(const QCursor& cursor);

    /// The custom pointer, when one was given.
    const std::optional<QCursor>& customCursor() const { return m_customCursor; }

    /// The current pointer setting: Default, Busy or Custom.
    int value() const { return m_value; }
    /// Shows the hourglass until setDefault(); mouse movement leaves it in place.
    void setBusy() { setValue(Busy); }
    /// Shows each control's ordinary pointer again.
    void setDefault() { setValue(Default); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void setValue(int value);
    void showPointer();
    void overridePointer(const QCursor& cursor);
    void restorePointers();

    QPointer<QWidget> m_window;
    QSet<const QObject*> m_customWidgets;
    QSet<const QObject*> m_defaultWidgets;
    std::optional<QCursor> m_customCursor;
    int m_value = Default;

    /// A widget whose pointer is overridden, with its own pointer if it had one.
    struct Overridden
    {
        QPointer<QWidget> widget;
        std::optional<QCursor> ownCursor;
    };
    std::vector<Overridden> m_overridden;
};
