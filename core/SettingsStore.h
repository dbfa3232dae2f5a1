#pragma once

#include <QString>

/// The per-user settings store: text values by key in one section of an INI file.
///
/// Reads never create anything; a missing file, section or key gives the default, and an
/// empty stored value is returned as empty. Each write re-reads the file under an advisory
/// lock (so another running copy's keys survive), replaces or adds the one line of the key,
/// keeping every other line byte for byte, and replaces the file atomically: when write()
/// returns the value is on disk, and a crash never leaves a half-written file.
class SettingsStore
{
  public:
    /// A store kept in the file at @p filePath, in the section @p section.
    SettingsStore(QString filePath, QString section);

    /// The user's store of this program: "Wrenfield.ini" in the user's configuration folder
    /// ($XDG_CONFIG_HOME, by default ~/.config), section "Pingora".
    static SettingsStore forUser();

    /// The stored text of @p key, or @p defaultValue when the key is not stored.
    QString read(const QString& key, const QString& defaultValue) const;

    /// Stores @p value under @p key. Throws Failure when it cannot be stored, also when the file
    /// would grow past the largest one a read accepts (1 MiB); the file is then left as it was.
    void write(const QString& key, const QString& value);

    const QString& filePath() const { return m_filePath; }

    /// Removes the new files that writes interrupted a minute ago or earlier left beside the
    /// store (forUser() does this once at start-up).
    void removeStaleTemporaryFiles() const;

  private:
    QString m_filePath;
    QString m_section;
};

/// The keys of the settings, written once.
namespace SettingKeys {
inline const QString kBeep = QStringLiteral("Beep");
inline const QString kOftenIndex = QStringLiteral("OftenIndex");
inline const QString kStartStopState = QStringLiteral("StartStopState");
inline const QString kWindowsStartup = QStringLiteral("Windows Startup");
inline const QString kMinimized = QStringLiteral("Minimized");
} // namespace SettingKeys

/// The exact, case-sensitive on/off texts of the store.
namespace SettingValues {
inline const QString kOn = QStringLiteral("On");
inline const QString kOff = QStringLiteral("Off");
} // namespace SettingValues
