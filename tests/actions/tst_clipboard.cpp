// Clipboard actions on the real X11 clipboard, checked from outside with xclip.
#include "platform/Pasteboard.h"
#include "server/ClipboardActions.h"
#include "tests/server/FakePlatform.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QImage sampleImage()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    for (int i = 0; i < 6; ++i)
        image.setPixel(i % 3, i / 3, qRgb(40 * i, 255 - 40 * i, i % 2 ? 200 : 10));
    return image;
}

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QString base64Png() { return encoded(sampleImage(), "PNG").toBase64(); }

bool isSample(const QImage &image)
{
    return image.convertToFormat(QImage::Format_ARGB32) == sampleImage();
}

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
    return payload ? payload->text : QStringLiteral("(not a text payload)");
}

} // namespace

class ClipboardTest : public QObject {
    Q_OBJECT

    QtPasteboard pasteboard;
    NoScreenCapture capture;
    RecordingFileViewer viewer;
    QTemporaryDir files;

    ClipboardActions actions() { return ClipboardActions(pasteboard, capture, viewer); }

    // Asks xclip, as another X client would, while this process serves it.
    QByteArray readFromOutside(const QString &target)
    {
        QProcess xclip;
        xclip.start("xclip", {"-o", "-selection", "clipboard", "-t", target});
        QSignalSpy finished(&xclip, &QProcess::finished);
        return finished.wait(5000) ? xclip.readAllStandardOutput() : "(xclip did not finish)";
    }

private slots:
    void initTestCase() { QVERIFY2(QGuiApplication::platformName() == "xcb", "needs an X display"); }
    // Taking the clipboard back ends any xclip still offering it.
    void cleanup() { QGuiApplication::clipboard()->setText(QString()); }

    // A marked text or an image payload in any readable format goes in as an image.
    void imagesComeAsMarkedTextOrImagePayloads()
    {
        ClipboardActions clipboard = actions();
        clipboard.receiveTextPayload("[IMAGE]" + base64Png());
        QVERIFY(isSample(QImage::fromData(readFromOutside("image/png"), "PNG")));
        QVERIFY(readFromOutside("UTF8_STRING").isEmpty());
        QVERIFY(isSample(imageOf(clipboard.sendClipboard())));
        clipboard.receiveTextPayload("before");
        clipboard.receiveImagePayload(encoded(sampleImage(), "BMP").toBase64());
        QVERIFY(isSample(QImage::fromData(readFromOutside("image/png"), "PNG")));
        QVERIFY(isSample(imageOf(clipboard.sendClipboard())));
    }

    // Text replaces an image; text that only looks like a marked image stays
    // text; a bad image payload leaves the clipboard alone.
    void textGoesInAndOut()
    {
        const QString base64 = base64Png();
        for (const QString &text : {QString("héllo, desktop"), "[image]" + base64, QString("[IMAGE]this is not base64!"),
                                    "[IMAGE]" + base64.left(8) + "\n" + base64.mid(8),
                                    "[IMAGE]" + QString(QByteArray("plain words").toBase64()), QString("[IMAGE]")}) {
            ClipboardActions clipboard = actions();
            clipboard.receiveImagePayload(base64);
            clipboard.receiveTextPayload(text);
            for (const QString &bad : {QString("%%%not base64%%%"), base64.chopped(1),
                                       QString(QByteArray("just some bytes").toBase64()), QString()})
                clipboard.receiveImagePayload(bad);
            QCOMPARE(textOf(clipboard.sendClipboard()), text);
            QCOMPARE(readFromOutside("UTF8_STRING"), text.toUtf8());
        }
    }

    // PNG and TIFF from another client go out as PNG; JPEG is not looked for.
    void imagesFromOtherProgramsGoOutAsPNG()
    {
        for (const auto &[target, format] : QList<std::pair<QString, const char *>>{
                 {"image/png", "PNG"}, {"image/tiff", "TIFF"}, {"image/jpeg", "JPEG"}}) {
            QFile file(files.filePath("offer"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(encoded(sampleImage(), format)));
            file.close();
            QCOMPARE(QProcess::execute("xclip", {"-i", "-selection", "clipboard", "-t", target, file.fileName()}), 0);
            QTRY_VERIFY(!QGuiApplication::clipboard()->ownsClipboard());
            if (target == "image/jpeg")
                QCOMPARE(textOf(actions().sendClipboard()), QString());
            else
                QVERIFY2(isSample(imageOf(actions().sendClipboard())), qPrintable(target));
            cleanup();
        }
    }

    void anImageWinsOverTextAndNothingSendsEmptyText()
    {
        auto *both = new QMimeData;
        both->setImageData(sampleImage());
        both->setText("also text");
        QGuiApplication::clipboard()->setMimeData(both);
        QVERIFY(isSample(imageOf(actions().sendClipboard())));
        QGuiApplication::clipboard()->clear();
        QCOMPARE(textOf(actions().sendClipboard()), QString());
    }
};

QTEST_MAIN(ClipboardTest)
#include "tst_clipboard.moc"
