#include "desktop/AutostartEntry.h"

#include "core/AtomicFile.h"
#include "core/Failure.h"
#include "core/ProductInfo.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>

namespace AutostartEntry {

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

namespace {

QString shellStarting(const QString& script, const QString& argument)
{
    QStringList line;
    for (const QString& word : {QStringLiteral("/bin/sh"), QStringLiteral("-c"), script, argument})
        line.append(quoteExecArgument(word));
    return line.join(u' ');
}

// Every byte outside printable ASCII, and the backslash, as an octal escape of printf's %b.
QString octalEscaped(const QByteArray& bytes)
{
    QString escaped;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || byte == '\\')
            escaped += QStringLiteral("\\0%1").arg(byte, 3, 8, QLatin1Char('0'));
        else
            escaped += QLatin1Char(c);
    }
    return escaped;
}

// A control character that a string value cannot hold even as an escape.
bool hasBareControlCharacter(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
        return (c < u' ' && c != u'\t' && c != u'\n' && c != u'\r') || c == u'\x7f';
    });
}

} // namespace

QString execLine(const QByteArray& executablePath)
{
    const QString text = QString::fromUtf8(executablePath);
    if (text.toUtf8() != executablePath || hasBareControlCharacter(text)) {
        // A desktop entry is UTF-8 text without control characters, so a name that is not is
        // spelled in escapes that the shell turns back into the exact bytes (the x keeps a
        // trailing line break).
        return shellStarting(QStringLiteral("p=\"$(printf %bx \"$0\")\"; exec \"${p%x}\""),
                             octalEscaped(executablePath));
    }
    if (!text.contains(u'%'))
        return quoteExecArgument(text);
    // GLib (GNOME's session, gio) looks for the program's file before it undoes the %% of a
    // percent sign, and so rejects such an entry; a shell started by its fixed path runs the
    // program from its first argument, untouched.
    return shellStarting(QStringLiteral("exec \"$0\""), text);
}

QString autostartEntryText(const QByteArray& executablePath)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "Icon=%2\n"
                          "Exec=%3\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(ProductInfo::kProductName, ProductInfo::kAppId, execLine(executablePath));
}

void SetRunEntry(const QByteArray& executablePath)
{
    const QString path = autostartEntryPath();
    const auto fail = [&](const QString& reason) {
        throw Failure(QStringLiteral("The log-on entry %1 could not be written: %2")
                          .arg(QDir::toNativeSeparators(path), reason));
    };
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("the folder %1 could not be made.").arg(folder));
    try {
        AtomicFile::replace(path, autostartEntryText(executablePath).toUtf8());
    } catch (const Failure& failure) {
        fail(failure.description());
    }
}

void DeleteRunEntry()
{
    QFile::remove(autostartEntryPath());
}

} // namespace AutostartEntry
