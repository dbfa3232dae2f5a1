#include "desktop/TrayText.h"

#include <QTextBoundaryFinder>

namespace TrayText {

QString cutToCharacters(const QString& text, int maxChars)
{
    if (maxChars <= 0)
        return {};
    // Fast path: every UTF-16 unit is at most one code point, so a short text fits.
    if (text.size() <= maxChars)
        return text;

    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
    qsizetype lastFit = 0;
    qsizetype codePoints = 0;
    qsizetype previous = 0;
    for (qsizetype boundary = graphemes.toNextBoundary(); boundary != -1;
         boundary = graphemes.toNextBoundary()) {
        for (qsizetype i = previous; i < boundary; ++i) {
            if (!text.at(i).isLowSurrogate())
                ++codePoints;
        }
        if (codePoints > maxChars)
            break;
        lastFit = boundary;
        previous = boundary;
    }
    return text.left(lastFit);
}

} // namespace TrayText
