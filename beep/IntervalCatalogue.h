#pragma once

#include <QString>
#include <array>

/// The intervals the user can choose from, in list order.
namespace IntervalCatalogue {

struct Row
{
    QString text; ///< shown in the list and used as the lookup key
    qint32 seconds;
};

/// The rows in list order; position = index + 1. The chosen row is stored by its position
/// (the setting OftenIndex), so rows are only ever appended: a row inserted or removed above
/// the end would silently move every user onto another interval.
inline const std::array kRows{
    Row{QStringLiteral("Beep every 1 second"), 1},
    Row{QStringLiteral("Beep every 5 seconds"), 5},
    Row{QStringLiteral("Beep every 15 seconds"), 15},
    Row{QStringLiteral("Beep every 30 seconds"), 30},
    Row{QStringLiteral("Beep every 1 minute"), 60},
    Row{QStringLiteral("Beep every 5 minutes"), 300},
    Row{QStringLiteral("Beep every 10 minutes"), 600},
    Row{QStringLiteral("Beep every 15 minutes"), 900},
    Row{QStringLiteral("Beep every 20 minutes"), 1200},
    Row{QStringLiteral("Beep every 30 minutes"), 1800},
    Row{QStringLiteral("Beep every 1 hour"), 3600},
    Row{QStringLiteral("Beep every 2 hours"), 7200},
    Row{QStringLiteral("Beep every 4 hours"), 14400},
    Row{QStringLiteral("Beep every 8 hours"), 28800},
    Row{QStringLiteral("Beep every 16 hours"), 57600},
    Row{QStringLiteral("Beep every 24 hours"), 86400},
};

inline const QString kColumnHeader = QStringLiteral("How often would you like to beep?");
constexpr int kColumnWidthTwips = 7000;

/// The seconds of the row whose text equals @p rowText exactly; 0 when none does.
qint32 secondsForText(const QString& rowText);

/// The stored position text as a 16-bit whole number (surrounding spaces allowed).
/// Throws Failure when it is not one.
qint16 positionFromText(const QString& stored);

} // namespace IntervalCatalogue
