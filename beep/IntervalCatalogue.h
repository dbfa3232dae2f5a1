#pragma once

#include <QString>
#include <array>

/// The sixteen intervals the user can choose from, in list order.
namespace IntervalCatalogue {

struct Row
{
    QString text; ///< shown in the list and used as the lookup key
    qint32 seconds;
};

inline const QString kColumnHeader = QStringLiteral("How often would you like to beep?");
constexpr int kColumnWidthTwips = 7000;
/// The 1-based position of the row chosen when none is stored: "Beep every 5 minutes".
constexpr int kDefaultPosition = 6;
inline const QString kDefaultPositionText = QStringLiteral("6");

/// The rows in list order; position = index + 1.
const std::array<Row, 16>& rows();

/// The seconds of the row whose text equals @p rowText exactly; 0 when none does.
qint32 secondsForText(const QString& rowText);

/// The stored position text as a 16-bit whole number (surrounding spaces allowed).
/// Throws Failure when it is not one.
qint16 positionFromText(const QString& stored);

} // namespace IntervalCatalogue
