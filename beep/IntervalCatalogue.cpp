#include "beep/IntervalCatalogue.h"

#include "core/Failure.h"

qint32 IntervalCatalogue::secondsForText(const QString& rowText)
{
    for (const Row& row : kRows)
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
