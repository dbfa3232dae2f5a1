#include "core/SystemFileName.h"

// QFile::encodeName() would give the ANSI code page, which loses every character outside it;
// the file calls of PosixCalls_windows take UTF-8.
QByteArray SystemFileName(const QString& path)
{
    return path.toUtf8();
}
