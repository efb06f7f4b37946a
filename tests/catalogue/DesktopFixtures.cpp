#include "DesktopFixtures.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool writeDesktopEntry(const QString &dir, const QString &relativePath, const QString &keys)
{
    return writeFile(dir + '/' + relativePath,
                     ("[Desktop Entry]\nType=Application\nExec=true\n" + keys + '\n').toUtf8());
}

bool writeIconTheme(const QString &base, const QString &name, const QString &inherits,
                    const QList<ThemeFolder> &folders)
{
    QStringList paths;
    QString groups;
    for (const ThemeFolder &folder : folders) {
        paths.append(folder.path);
        groups += QString("\n[%1]\nSize=%2\nType=%3\nMinSize=8\nMaxSize=512\n")
                      .arg(folder.path).arg(folder.size).arg(folder.type);
    }
    const QString index = QString("[Icon Theme]\nName=%1\nInherits=%2\nDirectories=%3\n")
                              .arg(name, inherits, paths.join(','));
    return writeFile(base + '/' + name + "/index.theme", (index + groups).toUtf8());
}

QByteArray solidSvg(QColor color)
{
    return QString("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\">"
                   "<rect width=\"16\" height=\"16\" fill=\"%1\"/></svg>")
        .arg(color.name())
        .toUtf8();
}
