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
    QString desktop = home.path() + "/Desktop";
    QtPasteboard pasteboard;
    ScrotScreenCapture capture;
    FreedesktopFileViewer viewer;
    FileManagerService fileManager;

private slots:
    void initTestCase()
    {
        qputenv("HOME", home.path().toUtf8());
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY(bus.registerObject("/org/freedesktop/FileManager1", &fileManager, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService("org.freedesktop.FileManager1"));
    }

    void init()
    {
        fileManager.shown.clear();
        QDir(desktop).removeRecursively();
    }

    // A PNG of the whole screen named by the time, on the Desktop, shown.
    void screenshotLandsOnTheDesktopAndIsShown()
    {
        ClipboardActions actions(pasteboard, capture, viewer);
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        actions.takeScreenshot();
        QTRY_COMPARE_WITH_TIMEOUT(fileManager.shown.size(), 1, 15000);
        const QFileInfo file(QUrl(fileManager.shown.first()).toLocalFile());
        QCOMPARE(file.absolutePath(), desktop);
        QVERIFY2(file.fileName().startsWith("Tendril_") && file.suffix() == "png", qPrintable(file.fileName()));
        const qint64 seconds = file.completeBaseName().mid(8).toLongLong();
        QVERIFY(seconds >= before && seconds <= QDateTime::currentSecsSinceEpoch());
        QFile png(file.filePath());
        QVERIFY(png.open(QIODevice::ReadOnly) && png.read(8) == "\x89PNG\r\n\x1a\n");
        QCOMPARE(QImage(file.filePath()).size(), QGuiApplication::primaryScreen()->size());
    }

    // The name carries whole seconds: a second shot in one replaces the first.
    void aSecondShotInTheSameSecondReplacesTheFirst()
    {
        ClipboardActions actions(pasteboard, capture, viewer);
        const QString path = ClipboardActions::screenshotPath(desktop, 1'700'000'000'900);
        QDir().mkpath(desktop);
        QFile stale(path);
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("an older file") && stale.flush());
        actions.captureScreen(path);
        QCOMPARE(QDir(desktop).entryList(QDir::Files), QStringList{"Tendril_1700000000.png"});
        QVERIFY(!QImage(path).isNull());
        QTRY_COMPARE(fileManager.shown, QStringList{QUrl::fromLocalFile(path).toString()});
    }

    // Without the tool on the path the capture cannot start: nothing is shown.
    void failedCaptureShowsNothing()
    {
        QTemporaryDir emptyPath;
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", emptyPath.path().toUtf8());
        ClipboardActions(pasteboard, capture, viewer).takeScreenshot();
        QThreadPool::globalInstance()->waitForDone();
        qputenv("PATH", path);
        QTest::qWait(300); // time for a wrongly sent request to arrive
        QVERIFY(fileManager.shown.isEmpty());
        QVERIFY(QDir(desktop).entryList(QDir::Files).isEmpty());
    }
};

// A private session bus, so that nothing reaches a real desktop's file manager.
int main(int argc, char **argv)
{
    QProcess bus;
    bus.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!bus.waitForStarted() || !bus.waitForReadyRead(5000))
        qFatal("dbus-daemon did not start");
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
