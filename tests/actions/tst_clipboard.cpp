// Clipboard actions on the real X11 clipboard, checked from outside with
// xclip; screenshots with the real capture tool, shown through a file manager
// on a private session bus.
#include "platform/freedesktop/FreedesktopFileViewer.h"
#include "platform/x11/QtPasteboard.h"
#include "platform/freedesktop/ScrotScreenCapture.h"
#include "actions/ClipboardActions.h"
#include "tests/catalogue/DesktopFixtures.h"
#include "tests/server/FakePlatform.h"
#include "tests/services/PrivateBus.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDateTime>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QTemporaryDir>
#include <QUrl>
#include "tests/TestTime.h"

namespace {

QImage sampleImage()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    for (int i = 0; i < 6; ++i)
        image.setPixel(i % 3, i / 3, qRgb(40 * i, 255 - 40 * i, i % 2 ? 200 : 10));
    return image;
}

bool isSample(const QImage &image) { return image.convertToFormat(QImage::Format_ARGB32) == sampleImage(); }

// The PNG image a payload carries, strictly decoded.
QImage imageOf(const TDMessage &message)
{
    const auto *payload = message.get<td::ClipboardImagePayload>();
    const auto bytes = QByteArray::fromBase64Encoding(payload ? payload->data.toLatin1() : "",
                                                      QByteArray::AbortOnBase64DecodingErrors);
    return bytes && bytes.decoded.startsWith("\x89PNG") ? QImage::fromData(bytes.decoded, "PNG") : QImage();
}

QString textOf(const TDMessage &message)
{
    const auto *payload = message.get<td::ClipboardPayload>();
    return payload ? payload->text : "(not a text payload)";
}

} // namespace

// Stands in for the desktop's file manager on the bus.
class FileManagerService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public slots:
    void ShowItems(const QStringList &uris, const QString &) { shown += uris; }
};

class ClipboardTest : public QObject {
    Q_OBJECT

    QTemporaryDir files, home;
    QString desktop = home.path() + "/Desktop";
    QtPasteboard pasteboard;
    ScrotScreenCapture capture;
    FreedesktopFileViewer viewer;
    FileManagerService fileManager;
    ClipboardActions actions{pasteboard, capture, viewer};
    const QString base64 = encoded(sampleImage(), "PNG").toBase64();

    // Asks xclip, as another X client would, while this process serves it.
    QByteArray readFromOutside(const QString &target)
    {
        QProcess xclip;
        xclip.start("xclip", {"-o", "-selection", "clipboard", "-t", target});
        QSignalSpy finished(&xclip, &QProcess::finished);
        return finished.wait(scaledMs(5000)) ? xclip.readAllStandardOutput() : "(xclip did not finish)";
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "needs an X display");
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
    // Taking the clipboard back ends any xclip still offering it.
    void cleanup() { QGuiApplication::clipboard()->setText(QString()); }

    // A marked text or an image payload in any readable format goes in as an image.
    void imagesComeAsMarkedTextOrImagePayloads()
    {
        actions.receiveTextPayload("[IMAGE]" + base64);
        QVERIFY(isSample(QImage::fromData(readFromOutside("image/png"), "PNG")));
        QVERIFY(readFromOutside("UTF8_STRING").isEmpty());
        QVERIFY(isSample(imageOf(actions.sendClipboard())));
        actions.receiveTextPayload("before");
        actions.receiveImagePayload(encoded(sampleImage(), "BMP").toBase64());
        QVERIFY(isSample(QImage::fromData(readFromOutside("image/png"), "PNG")));
        QVERIFY(isSample(imageOf(actions.sendClipboard())));
    }

    // Text replaces an image; text that only looks like a marked image stays
    // text; a bad image payload leaves the clipboard alone.
    void textGoesInAndOut()
    {
        for (const QString &text : {QString("héllo, desktop"), "[image]" + base64, QString("[IMAGE]this is not base64!"),
                                    "[IMAGE]" + base64.left(8) + "\n" + base64.mid(8),
                                    "[IMAGE]" + QString(QByteArray("plain words").toBase64()), QString("[IMAGE]")}) {
            actions.receiveImagePayload(base64);
            actions.receiveTextPayload(text);
            for (const QString &bad : {QString("%%%not base64%%%"), base64.chopped(1),
                                       QString(QByteArray("just some bytes").toBase64()), QString()})
                actions.receiveImagePayload(bad);
            QCOMPARE(textOf(actions.sendClipboard()), text);
            QCOMPARE(readFromOutside("UTF8_STRING"), text.toUtf8());
        }
    }

    // PNG and TIFF from another client go out as PNG; JPEG is not looked for.
    void imagesFromOtherProgramsGoOutAsPNG()
    {
        for (const auto &[target, format] : QList<std::pair<QString, const char *>>{
                 {"image/png", "PNG"}, {"image/tiff", "TIFF"}, {"image/jpeg", "JPEG"}}) {
            QVERIFY(writeFile(files.filePath("offer"), encoded(sampleImage(), format)));
            QCOMPARE(QProcess::execute("xclip", {"-i", "-selection", "clipboard", "-t", target, files.filePath("offer")}), 0);
            TRY_VERIFY(!QGuiApplication::clipboard()->ownsClipboard());
            if (target == "image/jpeg")
                QCOMPARE(textOf(actions.sendClipboard()), QString());
            else
                QVERIFY2(isSample(imageOf(actions.sendClipboard())), qPrintable(target));
            cleanup();
        }
        // An image wins over text; nothing sends empty text.
        auto *both = new QMimeData;
        both->setImageData(sampleImage());
        both->setText("also text");
        QGuiApplication::clipboard()->setMimeData(both);
        QVERIFY(isSample(imageOf(actions.sendClipboard())));
        QGuiApplication::clipboard()->clear();
        QCOMPARE(textOf(actions.sendClipboard()), QString());
    }

    // A PNG of the whole screen named by the time in whole seconds, on the
    // Desktop, shown; a second shot in the same second replaces the first.
    void screenshotLandsOnTheDesktopAndIsShown()
    {
        const qint64 before = QDateTime::currentSecsSinceEpoch();
        actions.takeScreenshot();
        TRY_COMPARE_WITHIN(fileManager.shown.size(), 1, 15000);
        const QString path = QUrl(fileManager.shown.first()).toLocalFile();
        const qint64 seconds = QFileInfo(path).completeBaseName().mid(8).toLongLong();
        QVERIFY(seconds >= before && seconds <= QDateTime::currentSecsSinceEpoch());
        QCOMPARE(path, ClipboardActions::screenshotPath(desktop, seconds * 1000 + 999));
        QCOMPARE(ClipboardActions::screenshotPath(desktop, 1'700'000'000'900), desktop + "/Tendril_1700000000.png");
        QFile png(path);
        QVERIFY(png.open(QIODevice::ReadOnly) && png.read(8) == "\x89PNG\r\n\x1a\n");
        QCOMPARE(QImage(path).size(), QGuiApplication::primaryScreen()->size());
        png.close();
        QVERIFY(png.open(QIODevice::WriteOnly) && png.write("an older file") && png.flush());
        actions.captureScreen(path);
        QCOMPARE(QDir(desktop).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
        QVERIFY(!QImage(path).isNull());
        TRY_COMPARE(fileManager.shown, QStringList(2, QUrl::fromLocalFile(path).toString()));
    }

    // Without the tool on the path the capture cannot start: nothing is shown.
    void failedCaptureShowsNothing()
    {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        actions.takeScreenshot();
        QThreadPool::globalInstance()->waitForDone();
        qputenv("PATH", path);
        QTest::qWait(scaledMs(300)); // time for a wrongly sent request to arrive
        QVERIFY(fileManager.shown.isEmpty() && QDir(desktop).entryList(QDir::Files).isEmpty());
    }
};

PRIVATE_BUS_TEST_MAIN(QGuiApplication, ClipboardTest)
#include "tst_clipboard.moc"
