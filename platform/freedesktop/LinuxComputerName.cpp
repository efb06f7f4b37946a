#include "platform/freedesktop/LinuxComputerName.h"

#include "platform/freedesktop/HostName.h"

#include <QFile>
#include <QSysInfo>

LinuxComputerName::LinuxComputerName(QString machineInfoPath)
    : m_machineInfoPath(std::move(machineInfoPath))
{
}

QString LinuxComputerName::prettyHostName(const QByteArray &machineInfo)
{
    for (const QByteArray &rawLine : machineInfo.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (!line.startsWith("PRETTY_HOSTNAME="))
            continue;
        QByteArray value = line.mid(int(sizeof("PRETTY_HOSTNAME=") - 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')
            && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        // Shell-style escapes as written by hostnamectl.
        QByteArray unescaped;
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                ++i;
            unescaped.append(value[i]);
        }
        return QString::fromUtf8(unescaped).trimmed();
    }
    return {};
}

QString LinuxComputerName::printable(const QString &name)
{
    // DNS-SD names may hold any UTF-8 but control characters.
    QString kept;
    for (QChar c : name)
        kept += c.category() == QChar::Other_Control ? u' ' : c;
    return kept.simplified();
}

QString LinuxComputerName::localName() const
{
    QFile file(m_machineInfoPath);
    if (file.open(QIODevice::ReadOnly)) {
        const QString pretty = printable(prettyHostName(file.readAll()));
        if (!pretty.isEmpty())
            return pretty;
    }
    return printable(QSysInfo::machineHostName());
}

QString LinuxComputerName::bestName() const
{
    return m_hostname1 ? *m_hostname1 : localName();
}

QString LinuxComputerName::localizedName()
{
    lookUp();
    m_lastGiven = bestName();
    return m_lastGiven;
}

void LinuxComputerName::lookUp()
{
    if (m_lookingUp)
        return;
    m_lookingUp = true;
    lookUpHostname1Name(&m_lookups, [this](std::optional<QString> answer) {
        m_lookingUp = false;
        m_hostname1.reset();
        if (answer)
            if (QString kept = printable(*answer); !kept.isEmpty())
                m_hostname1 = kept;
        if (const QString name = bestName(); name != m_lastGiven) {
            m_lastGiven = name;
            changed();
        }
    });
}
