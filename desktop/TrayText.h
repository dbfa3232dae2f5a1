#pragma once

#include <QString>

namespace TrayText {

/// The longest beginning of @p text with at most @p maxChars characters (Unicode code
/// points) that ends on a character boundary: a surrogate pair, a letter with its
/// combining marks or an emoji sequence is never cut in two, it is left out whole.
QString cutToCharacters(const QString& text, int maxChars);

} // namespace TrayText
