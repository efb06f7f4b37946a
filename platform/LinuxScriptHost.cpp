#include "platform/LinuxScriptHost.h"

#include "platform/ApplicationServices.h"
#include "platform/ChildProcess.h"
#include "platform/X11Desktop.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

std::optional<QString> lockSession()
{
    const std::optional<QString> logind = runChildProcess(QStringLiteral("loginctl"),
                                                          {QStringLiteral("lock-session")});
    if (!logind)
        return std::nullopt;
    const std::optional<QString> screensaver = runChildProcess(QStringLiteral("xdg-screensaver"),
                                                               {QStringLiteral("lock")});
    if (!screensaver)
        return std::nullopt;
    return QStringLiteral("Cannot lock the screen: %1; %2").arg(*logind, *screensaver);
}

std::optional<QString> toggleColorScheme()
{
    const QString gsettings = QStringLiteral("gsettings");
    const QStringList key = {QStringLiteral("org.gnome.desktop.interface"),
                             QStringLiteral("color-scheme")};
    QByteArray current;
    if (auto error = runChildProcess(gsettings, QStringList{QStringLiteral("get")} + key, &current))
        return QStringLiteral("Cannot read the colour scheme: %1").arg(*error);
    const bool dark = current.trimmed() == "'prefer-dark'";
    const QString next = dark ? QStringLiteral("default") : QStringLiteral("prefer-dark");
    if (auto error = runChildProcess(gsettings, QStringList{QStringLiteral("set")} + key + QStringList{next}))
        return QStringLiteral("Cannot set the colour scheme: %1").arg(*error);
    return std::nullopt;
}

std::optional<QString> setOutputVolume(int level)
{
    const QString percent = QString::number(level) + u'%';
    const bool havePulse = !QStandardPaths::findExecutable(QStringLiteral("pactl")).isEmpty();
    const bool haveAlsa = !QStandardPaths::findExecutable(QStringLiteral("amixer")).isEmpty();
    if (havePulse)
        return runChildProcess(QStringLiteral("pactl"),
                               {QStringLiteral("set-sink-volume"), QStringLiteral("@DEFAULT_SINK@"), percent});
    if (haveAlsa)
        return runChildProcess(QStringLiteral("amixer"),
                               {QStringLiteral("-q"), QStringLiteral("sset"), QStringLiteral("Master"), percent});
    return QStringLiteral("Cannot set the volume: neither pactl nor amixer is installed");
}

std::optional<QString> toggleShowingDesktop()
{
    X11Desktop desktop;
    if (!desktop.isOpen())
        return QStringLiteral("Cannot show the desktop: no X display");
    if (!desktop.supports("_NET_SHOWING_DESKTOP"))
        return QStringLiteral("Cannot show the desktop: the window manager does not offer it");
    desktop.toggleShowingDesktop();
    return std::nullopt;
}

int removeEntries(const QString &folder)
{
    int failures = 0;
    const QFileInfoList entries = QDir(folder).entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        const bool removed = entry.isDir() && !entry.isSymLink()
            ? QDir(entry.filePath()).removeRecursively()
            : QFile::remove(entry.filePath());
        if (!removed)
            ++failures;
    }
    return failures;
}

} // namespace

std::optional<QString> emptyFreedesktopTrash()
{
    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(dataHome))
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    const QString trash = dataHome + QStringLiteral("/Trash");
    const int failures = removeEntries(trash + QStringLiteral("/files"))
        + removeEntries(trash + QStringLiteral("/info"));
    QFile::remove(trash + QStringLiteral("/directorysizes")); // a cache of what was just removed
    if (failures)
        return QStringLiteral("Cannot empty the trash: %1 item(s) could not be removed").arg(failures);
    return std::nullopt;
}

LinuxScriptHost::LinuxScriptHost(ApplicationServices &applications) : m_applications(applications) {}

std::optional<QString> LinuxScriptHost::run(const QString &source)
{
    if (source == Scripts::lockScreen)
        return lockSession();
    if (source == Scripts::emptyTrash)
        return emptyFreedesktopTrash();
    if (source == Scripts::toggleDarkMode)
        return toggleColorScheme();
    if (source == Scripts::showDesktop)
        return toggleShowingDesktop();
    if (source == Scripts::missionControl)
        return QStringLiteral("Mission Control has no counterpart on this desktop");
    if (const std::optional<int> level = Scripts::outputVolumeLevel(source))
        return setOutputVolume(*level);
    if (const std::optional<QString> name = Scripts::minimizedProcessName(source))
        return minimizeWindowsOf(*name);
    return QStringLiteral("This desktop cannot run the script: %1").arg(source);
}

std::optional<QString> LinuxScriptHost::minimizeWindowsOf(const QString &processName)
{
    // Like a scripting host, a process is named by its display name, or by its
    // identifier when it has none.
    QList<RunningApplication> named;
    for (const RunningApplication &app : m_applications.runningApplications())
        if (app.localizedName.value_or(app.bundleIdentifier.value_or(QString())) == processName)
            named.append(app);
    if (named.isEmpty())
        return QStringLiteral("Cannot find the process \"%1\"").arg(processName);

    if (!X11Desktop().isOpen())
        return QStringLiteral("Cannot minimise the windows of \"%1\": no X display").arg(processName);
    // Hiding is iconifying here: every normal window of the application.
    for (const RunningApplication &app : named)
        m_applications.hide(app);
    return std::nullopt;
}
