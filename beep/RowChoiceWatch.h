#pragma once

#include <QObject>

class QTreeWidget;

/// Tells once for every choice of a row the user makes in a list, whatever the gesture: a
/// left click (also on the row already chosen), a press on one row and a release on another,
/// a right or middle click, the keyboard. Changes of the current row that the program makes
/// itself (while \a programIsSelecting is true) are not choices.
class RowChoiceWatch : public QObject
{
    Q_OBJECT
  public:
    RowChoiceWatch(QTreeWidget* list, const bool& programIsSelecting);

  Q_SIGNALS:
    /// The user chose a row; the list's selection is that row.
    void rowChosen();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Kept apart from the list: events reach the filter while the list is being destroyed,
    // when it may no longer be asked for its viewport.
    QObject* m_viewport;
    const bool& m_programIsSelecting;
    // A row changed while a mouse button was down: chosen when the button goes up, unless
    // that release is a click, which says so itself.
    bool m_changedUnderMouse = false;
};
