// Emptying every trash folder: the home trash and those of other volumes,
// which are mounted here as tmpfs (root only), with links that must not be
// followed.
#include "platform/freedesktop/Trash.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

class TrashTest : public QObject {
    Q_OBJECT

    QTemporaryDir home, data, volume, linkedVolume, outside;
    const QString uid = QString::number(::getuid());

    static bool touch(const QString &path) { return QDir().mkpath(QFileInfo(path).path()) && QFile(path).open(QIODevice::WriteOnly); }
    // Hidden, nested and linked entries with their info files.
    void fill(const QString &trash)
    {
        for (const char *path : {"/files/a.txt", "/files/.hidden", "/files/folder/nested/b.txt", "/info/a.txt.trashinfo", "/directorysizes"})
            QVERIFY(touch(trash + path));
        QVERIFY(QFile::link(outside.filePath("keep"), trash + "/files/link"));
    }
    // What is left in a trash beside its empty files and info folders.
    static QStringList left(const QString &trash)
    {
        QStringList found;
        for (QDirIterator it(trash, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                             QDirIterator::Subdirectories); it.hasNext();)
            found << it.next().mid(trash.size());
        found.removeOne("/files");
        found.removeOne("/info");
        return found;
    }

private slots:
    void cleanup()
    {
        ::umount(qPrintable(volume.path()));
        ::umount(qPrintable(linkedVolume.path()));
    }

    void emptiesEveryTrashFolder()
    {
        qputenv("HOME", home.path().toUtf8());
        qunsetenv("XDG_DATA_HOME");
        const QString homeTrash = home.path() + "/.local/share/Trash";
        QVERIFY(touch(outside.filePath("keep/inside.txt")) && touch(outside.filePath("files/victim.txt")));
        QCOMPARE(emptyTrashFolders(trashFolders({})), std::nullopt); // no trash yet: nothing to fail on
        fill(homeTrash);
        QCOMPARE(emptyTrashFolders(trashFolders({})), std::nullopt);
        QCOMPARE(left(homeTrash), QStringList());
        // The home trash follows XDG_DATA_HOME.
        fill(data.path() + "/Trash");
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        QCOMPARE(emptyTrashFolders(trashFolders({})), std::nullopt);
        qunsetenv("XDG_DATA_HOME");
        QCOMPARE(left(data.path() + "/Trash"), QStringList());
        QVERIFY(QFile::exists(outside.filePath("keep/inside.txt")));

        if (::mount("tendril", qPrintable(volume.path()), "tmpfs", 0, nullptr) != 0
            || ::mount("tendril", qPrintable(linkedVolume.path()), "tmpfs", 0, nullptr) != 0)
            QSKIP("needs to mount tmpfs volumes (root)");
        const QString volumeTrash = volume.path() + "/.Trash-" + uid, sharedTrash = volume.path() + "/.Trash/" + uid;
        fill(volumeTrash);
        fill(sharedTrash);
        QVERIFY(::chmod(qPrintable(volume.path() + "/.Trash"), 01777) == 0); // sticky: shared trash
        // A trash folder that is a link leads elsewhere: left alone.
        QVERIFY(QFile::link(outside.path(), linkedVolume.path() + "/.Trash-" + uid));
        QVERIFY(mountedVolumes().contains(volume.path()));
        // These volumes only: the script would empty the trash of all this machine's.
        QCOMPARE(emptyTrashFolders(trashFolders({volume.path(), linkedVolume.path()})), std::nullopt);
        QCOMPARE(left(volumeTrash) + left(sharedTrash), QStringList());
        QVERIFY(QFile::exists(outside.filePath("keep/inside.txt")) && QFile::exists(outside.filePath("files/victim.txt")));
    }
};

QTEST_GUILESS_MAIN(TrashTest)
#include "tst_trash.moc"
