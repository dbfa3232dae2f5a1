#include "desktop/RegStuff.h"

#include "app/ProductInfo.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringList>

namespace RegStuff {

QString autostartEntryPath()
{
    const QString configHome =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return configHome + QStringLiteral("/autostart/") + ProductInfo::kAppId +
           QStringLiteral(".desktop");
}

QString quoteExecArgument(const QString& argument)
{
    // Quoting rule of the Exec key, then the general escapes of a string value on top.
    QString quoted;
    quoted.reserve(argument.size() + 8);
    quoted += u'"';
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
        if (c == u'%')
            quoted += u'%';
    }
    quoted += u'"';

    QString value;
    value.reserve(quoted.size() + 8);
    for (const QChar c : quoted) {
        switch (c.unicode()) {
        case u'\\':
            value += QStringLiteral("\\\\");
            break;
        case u'\n':
            value += QStringLiteral("\\n");
            break;
        case u'\t':
            value += QStringLiteral("\\t");
            break;
        case u'\r':
            value += QStringLiteral("\\r");
            break;
        default:
            value += c;
        }
    }
    return value;
}

QString execLine(const QString& executablePath)
{
    if (!executablePath.contains(u'%'))
        return quoteExecArgument(executablePath);
    // GLib (GNOME's session, gio) looks for the program's file before it undoes the %% of a
    // percent sign, and so rejects such an entry; a shell started by its fixed path runs the
    // program from its first argument, untouched.
    QStringList line;
    for (const QString& argument : {QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                                    QStringLiteral("exec \"$0\""), executablePath})
        line.append(quoteExecArgument(argument));
    return line.join(u' ');
}

QString autostartEntryText(const QString& executablePath)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Icon=%2\n"
                          "Exec=%3\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(ProductInfo::kProductName, ProductInfo::kAppId, execLine(executablePath));
}

void SetRunEntry(const QString& executablePath)
{
    const QString path = autostartEntryPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile entry(path);
    if (!entry.open(QIODevice::WriteOnly))
        return;
    entry.write(autostartEntryText(executablePath).toUtf8());
    entry.commit();
}

void DeleteRunEntry()
{
    QFile::remove(autostartEntryPath());
}

} // namespace RegStuff
