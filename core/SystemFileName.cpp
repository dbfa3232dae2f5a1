#include "core/SystemFileName.h"

#include <QFile>

QByteArray SystemFileName(const QString& path)
{
    return QFile::encodeName(path);
}
