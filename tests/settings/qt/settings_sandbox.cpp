#include "settings_sandbox.h"

#include "settings/server_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

SettingsSandbox::SettingsSandbox()
    : savedConfigHome(qgetenv("XDG_CONFIG_HOME"))
    , hadConfigHome(qEnvironmentVariableIsSet("XDG_CONFIG_HOME"))
    , savedWorkingDirectory(QDir::currentPath())
{
    QDir(root.path()).mkpath(QStringLiteral("config"));
    QDir(root.path()).mkpath(QStringLiteral("work"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.path() + QStringLiteral("/config")));
    QDir::setCurrent(WorkingDirectory());
    serverSettings = ServerSettings{};
}

SettingsSandbox::~SettingsSandbox()
{
    serverSettings = ServerSettings{};
    QDir::setCurrent(savedWorkingDirectory);
    if (hadConfigHome) {
        qputenv("XDG_CONFIG_HOME", savedConfigHome);
    } else {
        qunsetenv("XDG_CONFIG_HOME");
    }
}

QString SettingsSandbox::WorkingDirectory() const
{
    return root.path() + QStringLiteral("/work");
}

QString SettingsSandbox::UserSettingsFile() const
{
    return root.path() + QStringLiteral("/config/ferry/ferry.ini");
}

QString SettingsSandbox::WorkingSettingsFile() const
{
    return WorkingDirectory() + QStringLiteral("/ferry.ini");
}

QByteArray SettingsSandbox::ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QByteArray bytes = file.readAll();
    // An existing but empty file must still read as "there".
    return bytes.isNull() ? QByteArray("") : bytes;
}

bool SettingsSandbox::WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}
