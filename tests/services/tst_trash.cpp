// Emptying every trash folder: the home trash and those of other volumes,
// which are mounted here as tmpfs (root only), with links that must not be
// followed.
#include "platform/freedesktop/Trash.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class TrashTest : public QObject {
    Q_OBJECT

    QTemporaryDir home, volume, linkedVolume, outside;
    const QString uid = QString::number(::getuid());

    static void touch(const QString &path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile(path).open(QIODevice::WriteOnly);
    }
    static QStringList left(const QString &folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

private slots:
    void cleanup()
    {
        ::umount(qPrintable(volume.path()));
        ::umount(qPrintable(linkedVolume.path()));
    }

    void emptiesEveryTrashFolder()
    {
        if (::mount("tendril", qPrintable(volume.path()), "tmpfs", 0, nullptr) != 0
            || ::mount("tendril", qPrintable(linkedVolume.path()), "tmpfs", 0, nullptr) != 0)
            QSKIP("needs to mount tmpfs volumes (root)");
        qputenv("HOME", home.path().toUtf8());
        qunsetenv("XDG_DATA_HOME");
        const QString homeTrash = home.path() + "/.local/share/Trash";
        const QString volumeTrash = volume.path() + "/.Trash-" + uid;
        const QString sharedTrash = volume.path() + "/.Trash/" + uid;
        touch(outside.filePath("keep/inside.txt"));
        touch(outside.filePath("files/victim.txt"));
        for (const QString &trash : {homeTrash, volumeTrash, sharedTrash}) {
            touch(trash + "/files/a.txt");
            touch(trash + "/files/folder/nested/b.txt");
            touch(trash + "/info/a.txt.trashinfo");
            QVERIFY(QFile::link(outside.filePath("keep"), trash + "/files/link"));
        }
        QVERIFY(::chmod(qPrintable(volume.path() + "/.Trash"), 01777) == 0); // sticky: shared trash
        // A trash folder that is a link leads elsewhere: left alone.
        QVERIFY(QFile::link(outside.path(), linkedVolume.path() + "/.Trash-" + uid));

        QVERIFY(mountedVolumes().contains(volume.path()));
        // These volumes only: the script would empty the trash of all this machine's.
        QCOMPARE(emptyTrashFolders(trashFolders({volume.path(), linkedVolume.path()})), std::nullopt);
        QCOMPARE(left(homeTrash + "/files") + left(homeTrash + "/info") + left(volumeTrash + "/files")
                     + left(sharedTrash + "/files") + left(volumeTrash + "/info"),
                 QStringList());
        QVERIFY(QFile::exists(outside.filePath("keep/inside.txt")));
        QVERIFY(QFile::exists(outside.filePath("files/victim.txt")));
    }
};

QTEST_GUILESS_MAIN(TrashTest)
#include "tst_trash.moc"
