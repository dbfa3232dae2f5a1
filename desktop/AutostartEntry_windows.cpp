#include "desktop/AutostartEntry.h"

#include "core/Failure.h"
#include "core/ProductInfo.h"
#include "core/WindowsError.h"

#include <QDir>
#include <windows.h>

// On Windows the program starts at log-on through a value named as the program under the
// current user's Run key, holding the command line that starts it: its quoted path. The user's
// own key, like the user's own autostart folder on Linux: an ordinary user may write it, and
// what the box shows then holds.

namespace AutostartEntry {

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

const wchar_t* wide(const QString& text)
{
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

} // namespace

QString autostartEntryPath()
{
    return QStringLiteral("HKEY_CURRENT_USER\\") + QString::fromWCharArray(kRunKey) + u'\\' +
           ProductInfo::kProductName;
}

QString quoteExecArgument(const QString& argument)
{
    // A Windows file name holds no double quote, so quotes around it keep its spaces in.
    return u'"' + QDir::toNativeSeparators(argument) + u'"';
}

QString execLine(const QByteArray& executablePath)
{
    return quoteExecArgument(QString::fromUtf8(executablePath));
}

QString autostartEntryText(const QByteArray& executablePath)
{
    return execLine(executablePath);
}

void SetRunEntry(const QByteArray& executablePath)
{
    const QString command = autostartEntryText(executablePath);
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(key, wide(ProductInfo::kProductName), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(command.utf16()),
                                DWORD((command.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    if (status != ERROR_SUCCESS)
        throw Failure(QStringLiteral("The log-on entry %1 could not be written: %2")
                          .arg(autostartEntryPath(), windowsErrorText(status)));
}

void DeleteRunEntry()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key, wide(ProductInfo::kProductName));
    RegCloseKey(key);
}

} // namespace AutostartEntry
