#pragma once

#include <QString>

/// The exact, case-sensitive on/off texts of the store.
namespace SettingValues {
inline const QString kOn = QStringLiteral("On");
inline const QString kOff = QStringLiteral("Off");
} // namespace SettingValues

/// One setting: its key, exactly as users' files and the Windows registry hold it, and the
/// text a read gives while the key is not stored.
struct Setting
{
    QString key;
    QString defaultValue;
    /// The default names a file of the program's folder: a read puts the folder before it.
    bool defaultInProgramFolder = false;

    QString defaultIn(const QString& programFolder) const
    {
        return defaultInProgramFolder ? programFolder + defaultValue : defaultValue;
    }
};

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

    /// The stored text of @p setting, or its default (in @p programFolder when it names a file
    /// there) when it is not stored.
    QString read(const Setting& setting, const QString& programFolder = QString()) const
    {
        return read(setting.key, setting.defaultIn(programFolder));
    }

    /// Stores @p value under @p key. Throws Failure when it cannot be stored, also when the file
    /// would grow past the largest one a read accepts (1 MiB); the file is then left as it was.
    void write(const QString& key, const QString& value);

    void write(const Setting& setting, const QString& value) { write(setting.key, value); }

    const QString& filePath() const { return m_filePath; }

    /// Removes the new files that writes interrupted a minute ago or earlier left beside the
    /// store (forUser() does this once at start-up).
    void removeStaleTemporaryFiles() const;

  private:
    QString m_filePath;
    QString m_section;
};

/// Every setting of the program with its default, the one place of both.
namespace SettingKeys {
inline const Setting kBeep{QStringLiteral("Beep"), QStringLiteral("/beep.wav"), true};
/// The position of the chosen interval row; 6 is "Beep every 5 minutes".
inline const Setting kOftenIndex{QStringLiteral("OftenIndex"), QStringLiteral("6")};
inline const Setting kStartStopState{QStringLiteral("StartStopState"), SettingValues::kOn};
inline const Setting kWindowsStartup{QStringLiteral("Windows Startup"), SettingValues::kOff};
inline const Setting kMinimized{QStringLiteral("Minimized"), SettingValues::kOff};
} // namespace SettingKeys
