#include "core/SettingsStore.h"

#include "core/Failure.h"
#include "core/ProductInfo.h"
#include "core/WindowsError.h"

#include <string>
#include <windows.h>

// On Windows the store is the current user's part of the registry: the key
// HKEY_CURRENT_USER\<filePath>\<section>, one text (REG_SZ) value per setting, named as the
// setting. The registry writes each value whole, so a reader never sees half of one.

namespace {

QString keyPath(const QString& application, const QString& section)
{
    return application + u'\\' + section;
}

const wchar_t* wide(const QString& text)
{
    return reinterpret_cast<const wchar_t*>(text.utf16());
}

} // namespace

SettingsStore::SettingsStore(QString filePath, QString section)
    : m_filePath(std::move(filePath)), m_section(std::move(section))
{
}

SettingsStore SettingsStore::forUser()
{
    return SettingsStore(QStringLiteral("Software\\") + ProductInfo::kSettingsApplication,
                         ProductInfo::kProductName);
}

void SettingsStore::removeStaleTemporaryFiles() const
{
    // A registry write leaves nothing behind.
}

QString SettingsStore::read(const QString& key, const QString& defaultValue) const
{
    const QString path = keyPath(m_filePath, m_section);
    DWORD bytes = 0;
    // Other kinds of value under the same name (numbers, binary) read as missing.
    if (RegGetValueW(HKEY_CURRENT_USER, wide(path), wide(key), RRF_RT_REG_SZ, nullptr, nullptr,
                     &bytes) != ERROR_SUCCESS)
        return defaultValue;
    for (;;) {
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = DWORD(value.size() * sizeof(wchar_t));
        const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, wide(path), wide(key), RRF_RT_REG_SZ,
                                            nullptr, value.data(), &size);
        if (status == ERROR_MORE_DATA) { // written again between the two calls
            bytes = size;
            continue;
        }
        if (status != ERROR_SUCCESS)
            return defaultValue;
        // The size counts the terminating null, which RegGetValueW always writes.
        return QString::fromWCharArray(value.data(),
                                       qMax<qsizetype>(0, qsizetype(size / sizeof(wchar_t)) - 1));
    }
}

void SettingsStore::write(const QString& key, const QString& value)
{
    const QString path = keyPath(m_filePath, m_section);
    HKEY handle = nullptr;
    LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, wide(path), 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &handle, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(handle, wide(key), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.utf16()),
                                DWORD((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(handle);
    }
    if (status != ERROR_SUCCESS)
        throw Failure(QStringLiteral("The setting %1 cannot be stored in HKEY_CURRENT_USER\\%2: %3")
                          .arg(key, path, windowsErrorText(status)));
}
