#pragma once

#include <QString>

/// Whether Qt can parse @p styleSheet. Qt has no public style-sheet parser; it reports a sheet
/// it cannot parse only with the warning "Could not parse stylesheet of object ..." when the
/// sheet is set on a widget. This sets the sheet on a throw-away widget while a temporary
/// message handler listens for that warning (with warnings of the default logging category
/// switched on for that moment, so logging rules cannot hide it). Other messages pass on to
/// the handler installed before.
///
/// Qt's parser is lenient: it drops unknown properties and values, a trailing selector without
/// a block and a sheet of bare declarations, and fails on unbalanced braces, unterminated
/// strings and stray characters in selectors. Only the failures make this return false.
/// Call on the user-interface thread, with a QApplication.
bool styleSheetParses(const QString& styleSheet);
