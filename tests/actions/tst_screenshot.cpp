// Screenshots with the real capture tool on the test's X display, shown
// through a file manager on a private session bus.
#include "platform/FileViewer.h"
#include "platform/Pasteboard.h"
#include "platform/ScreenCapture.h"
#include "server/ClipboardActions.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QUrl>
#include <QtTest>

// Stands in for the desktop's file manager on the bus.
class FileManagerService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;

public slots:
    void ShowItems(const QStringList &uris, const QString &) { shown += uris; }
};

class ScreenshotTest : public QObject {
    Q_OBJECT

    QTemporaryDir home;
    QtPasteboard pasteboard;
    ScrotScreenCapture capture;
    FreedesktopFileViewer viewer;
    FileManagerService fileManager;

    QString desktop() const { return home.path() + "/Desktop"; }

private slots:
    void initTestCase()
    {
        QVERIFY(home.isValid());
        qputenv("HOME", home.path().toUtf8());
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY2(bus.isConnected(), "needs the private session bus");
        QVERIFY(bus.registerObject("/org/freedesktop/FileManager1", &fileManager, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService("org.freedesktop.FileManager1"));
    }

    void init()
    {
        fileManager.shown.clear();
        QDir(desktop()).removeRecursively();
    }

    void screenshotLandsOnTheDesktopAndIsShown()
    {
        ClipboardActions actions(pasteboard, capture, viewer);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        actions.takeScreenshot();
        QTRY_COMPARE_WITH_TIMEOUT(fileManager.shown.size(), 1, 15000);
        const qint64 after = QDateTime::currentSecsSinceEpoch();

        const QString path = QUrl(fileManager.shown.first()).toLocalFile();
        QCOMPARE(QFileInfo(path).absolutePath(), desktop());
        const QString name = QFileInfo(path).fileName();
        QVERIFY2(name.startsWith("Tendril_") && name.endsWith(".png"), qPrintable(name));
        const qint64 seconds = name.mid(8, name.size() - 12).toLongLong();
        QVERIFY(seconds >= before && seconds <= after);

        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(8).startsWith("\x89PNG\r\n\x1a\n"));
        QCOMPARE(QImage(path).size(), QGuiApplication::primaryScreen()->size());
    }

    void aSecondShotInTheSameSecondReplacesTheFirst()
    {
        ClipboardActions actions(pasteboard, capture, viewer);
        // The name carries whole seconds.
        const QString path = ClipboardActions::screenshotPath(desktop(), 1'700'000'000'900);
        QDir().mkpath(desktop());
        QFile stale(path);
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("an older file") && stale.flush());
        actions.captureScreen(path);
        QCOMPARE(QDir(desktop()).entryList(QDir::Files), QStringList{"Tendril_1700000000.png"});
        QVERIFY(!QImage(path).isNull());
        QTRY_COMPARE(fileManager.shown, QStringList{QUrl::fromLocalFile(path).toString()});
    }

    void failedCaptureShowsNothing()
    {
        // Without the tool on the path the capture cannot start.
        QTemporaryDir emptyPath;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", emptyPath.path().toUtf8());
        ClipboardActions actions(pasteboard, capture, viewer);
        actions.takeScreenshot();
        QThreadPool::globalInstance()->waitForDone();
        qputenv("PATH", path);
        QTest::qWait(300); // time for a wrongly sent request to arrive
        QVERIFY(fileManager.shown.isEmpty());
        QVERIFY(QDir(desktop()).entryList(QDir::Files).isEmpty());
    }
};

int main(int argc, char **argv)
{
    // A private session bus, so that nothing reaches a real desktop's file manager.
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!bus.waitForStarted() || !bus.waitForReadyRead(5000)) {
        qCritical("dbus-daemon did not start");
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());

    int status;
    {
        QGuiApplication app(argc, argv);
        ScreenshotTest test;
        status = QTest::qExec(&test, argc, argv);
    }
    bus.terminate();
    bus.waitForFinished();
    return status;
}

#include "tst_screenshot.moc"
