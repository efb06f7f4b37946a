#include "DesktopFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool writeFile(const QString &path, const QByteArray &bytes, bool executable)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
        && (!executable || file.setPermissions(file.permissions() | QFile::ExeOwner));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeDesktopEntry(const QString &dir, const QString &relativePath, const QString &keys)
{
    return writeFile(dir + '/' + relativePath,
                     ("[Desktop Entry]\nType=Application\nExec=true\n" + keys + '\n').toUtf8());
}

QByteArray solidSvg(QColor color)
{
    return QString("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\">"
                   "<rect width=\"16\" height=\"16\" fill=\"%1\"/></svg>")
        .arg(color.name())
        .toUtf8();
}
