#pragma once

// Gives a test its own settings world: a fresh temporary folder holds the
// per-user configuration folder (XDG_CONFIG_HOME) and serves as the working
// directory, and ServerSettings starts zeroed. Everything is put back when
// the sandbox goes.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

class SettingsSandbox
{
public:
    SettingsSandbox();
    ~SettingsSandbox();
    SettingsSandbox(const SettingsSandbox&) = delete;
    SettingsSandbox& operator=(const SettingsSandbox&) = delete;

    bool IsValid() const { return root.isValid(); }

    QString WorkingDirectory() const;
    // Where a save with settingsInWorkingDir = 0 goes.
    QString UserSettingsFile() const;
    // Where a save with settingsInWorkingDir = 1 goes.
    QString WorkingSettingsFile() const;

    // The file's bytes, or a null array when there is no such file.
    static QByteArray ReadFile(const QString& path);
    static bool WriteFile(const QString& path, const QByteArray& bytes);

private:
    QTemporaryDir root;
    QByteArray savedConfigHome;
    bool hadConfigHome = false;
    QString savedWorkingDirectory;
};
