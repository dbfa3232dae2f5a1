#include "app/Form1.h"
#include "app/Form1Layout.h"
#include "beep/IntervalCatalogue.h"
#include "core/ErrorTrap.h"
#include "core/Failure.h"

#include <QScopedValueRollback>
#include <QTreeWidget>
#include <algorithm>

namespace {

constexpr int kLastRowStatement = 171;

} // namespace

void Form1::fillIntervalList(ErrorTrap& trap)
{
    trap.run(136, [&] { ListView1->setHeaderLabels({IntervalCatalogue::kColumnHeader}); });
    trap.run(138, [&] {
        ListView1->setColumnWidth(0, Form1Layout::px(IntervalCatalogue::kColumnWidthTwips));
    });
    // The sixteen first rows are statements 140 to 170; rows appended later share 171, the
    // one number left before the next step.
    int line = 140;
    for (const IntervalCatalogue::Row& row : IntervalCatalogue::kRows) {
        trap.run(line, [&] { new QTreeWidgetItem(ListView1, QStringList{row.text}); });
        line = std::min(line + 2, kLastRowStatement);
    }
    qint16 position = 0;
    trap.run(172, [&] {
        position = IntervalCatalogue::positionFromText(m_settings.read(SettingKeys::kOftenIndex));
    });
    trap.run(174, [&] { selectIntervalRow(position); });
    // A failed restore leaves the default row chosen: the countdown always has an interval.
    const int defaultPosition =
        IntervalCatalogue::positionFromText(SettingKeys::kOftenIndex.defaultValue);
    if (ListView1->selectedItems().isEmpty() && ListView1->topLevelItemCount() >= defaultPosition)
        selectIntervalRow(defaultPosition);
}

void Form1::selectIntervalRow(int position)
{
    QTreeWidgetItem* item = ListView1->topLevelItem(position - 1);
    if (!item)
        throw Failure(
            QStringLiteral("There is no interval at position %1 of the list.").arg(position));
    const QScopedValueRollback guard(m_selectingProgrammatically, true);
    ListView1->setCurrentItem(item);
    ListView1->scrollToItem(item);
}

qint32 Form1::IntervalSeconds() const
{
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        throw Failure(QStringLiteral("No interval is selected in the list."));
    return IntervalCatalogue::secondsForText(selected.first()->text(0));
}

void Form1::ListView1_Click()
{
    const QList<QTreeWidgetItem*> selected = ListView1->selectedItems();
    if (selected.isEmpty())
        throw Failure(QStringLiteral("No interval is selected in the list."));
    const int position = ListView1->indexOfTopLevelItem(selected.first()) + 1;
    m_settings.write(SettingKeys::kOftenIndex, QString::number(position));
    IntervalTarget = IntervalSeconds();
    ElapsedSeconds = 0;
    prepareSoundIfWithin(IntervalTarget); // a short row beeps within seconds
}
