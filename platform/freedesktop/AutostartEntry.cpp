#include "platform/freedesktop/AutostartEntry.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QFileInfo>

namespace {

// Exec quoting of the desktop entry format: a quoted argument escapes ", `,
// $ and \ with a backslash.
QString quotedForExec(const QString &argument)
{
    static const QString plain = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+");
    bool needsQuotes = argument.isEmpty();
    for (const QChar c : argument)
        needsQuotes = needsQuotes || !plain.contains(c);
    if (!needsQuotes)
        return argument;
    QString quoted;
    for (const QChar c : argument) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    // The entry's string type doubles every backslash once more.
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    return u'"' + quoted + u'"';
}

} // namespace

AutostartEntry::AutostartEntry(QString desktopId, QString program)
    : m_desktopId(std::move(desktopId)), m_program(std::move(program))
{
}

QString AutostartEntry::filePath() const
{
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/") + m_desktopId + QStringLiteral(".desktop");
}

bool AutostartEntry::isEnabled() const
{
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'['))
            inMainGroup = line == QLatin1String("[Desktop Entry]");
        else if (inMainGroup && (QString(line).remove(u' ') == QLatin1String("Hidden=true")
                                 || line == QLatin1String("X-GNOME-Autostart-enabled=false")))
            return false;
    }
    return true;
}

bool AutostartEntry::setEnabled(bool enabled, QString *error) const
{
    const QString path = filePath();
    if (!enabled) {
        QFile file(path);
        if (!file.exists() || file.remove())
            return true;
        if (error)
            *error = file.errorString();
        return false;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(QStringLiteral("[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Tendril\n"
                                  "Comment=Lets your phone control this computer\n"
                                  "Exec=%1\n"
                                  "Icon=%2\n"
                                  "Terminal=false\n"
                                  "X-GNOME-Autostart-enabled=true\n")
                       .arg(quotedForExec(m_program), m_desktopId)
                       .toUtf8());
        if (file.commit())
            return true;
    }
    if (error)
        *error = file.errorString();
    return false;
}
