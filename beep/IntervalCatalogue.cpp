#include "beep/IntervalCatalogue.h"

#include "core/Failure.h"

const std::array<IntervalCatalogue::Row, 16>& IntervalCatalogue::rows()
{
    static const std::array<Row, 16> table{{
        {QStringLiteral("Beep every 1 second"), 1},
        {QStringLiteral("Beep every 5 seconds"), 5},
        {QStringLiteral("Beep every 15 seconds"), 15},
        {QStringLiteral("Beep every 30 seconds"), 30},
        {QStringLiteral("Beep every 1 minute"), 60},
        {QStringLiteral("Beep every 5 minutes"), 300},
        {QStringLiteral("Beep every 10 minutes"), 600},
        {QStringLiteral("Beep every 15 minutes"), 900},
        {QStringLiteral("Beep every 20 minutes"), 1200},
        {QStringLiteral("Beep every 30 minutes"), 1800},
        {QStringLiteral("Beep every 1 hour"), 3600},
        {QStringLiteral("Beep every 2 hours"), 7200},
        {QStringLiteral("Beep every 4 hours"), 14400},
        {QStringLiteral("Beep every 8 hours"), 28800},
        {QStringLiteral("Beep every 16 hours"), 57600},
        {QStringLiteral("Beep every 24 hours"), 86400},
    }};
    return table;
}

qint32 IntervalCatalogue::secondsForText(const QString& rowText)
{
    for (const Row& row : rows())
        if (row.text == rowText)
            return row.seconds;
    return 0;
}

qint16 IntervalCatalogue::positionFromText(const QString& stored)
{
    bool ok = false;
    const short position = stored.trimmed().toShort(&ok);
    if (!ok) {
        // A long value is quoted by its start: the report must still fit on the screen.
        constexpr qsizetype kLongestQuote = 40;
        const QString quoted = stored.size() > kLongestQuote
                                   ? stored.left(kLongestQuote) + QStringLiteral("…")
                                   : stored;
        throw Failure(
            QStringLiteral("The stored interval \"%1\" is not a whole number from -32768 to 32767.")
                .arg(quoted));
    }
    return position;
}
