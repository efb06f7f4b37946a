// Clipboard actions on the real X11 clipboard, checked from outside with xclip.
#include "platform/FileViewer.h"
#include "platform/Pasteboard.h"
#include "platform/ScreenCapture.h"
#include "server/ClipboardActions.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct NoCapture : ScreenCapture {
    std::optional<QString> capture(const QString &) override { return QStringLiteral("unused"); }
};
struct NoViewer : FileViewer {
    void showFile(const QString &) override {}
};

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

bool samePixels(const QImage &a, const QImage &b)
{
    return a.convertToFormat(QImage::Format_ARGB32) == b.convertToFormat(QImage::Format_ARGB32);
}

} // namespace

class ClipboardTest : public QObject {
    Q_OBJECT

    QtPasteboard pasteboard;
    NoCapture capture;
    NoViewer viewer;
    QTemporaryDir files;

    ClipboardActions actions() { return ClipboardActions(pasteboard, capture, viewer); }

    // Asks xclip, as another X client would; this process keeps serving the
    // clipboard while it waits.
    QByteArray readFromOutside(const QString &target)
    {
        QProcess xclip;
        xclip.start("xclip", {"-o", "-selection", "clipboard", "-t", target});
        QSignalSpy finished(&xclip, &QProcess::finished);
        if (!finished.wait(5000))
            return "(xclip did not finish)";
        return xclip.readAllStandardOutput();
    }

    // Another client takes the clipboard and offers the file as `target`.
    void offerFromOutside(const QByteArray &bytes, const QString &target)
    {
        const QString path = files.filePath("offer");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        QCOMPARE(QProcess::execute("xclip", {"-i", "-selection", "clipboard", "-t", target, path}), 0);
        QTRY_VERIFY(!QGuiApplication::clipboard()->ownsClipboard());
    }

    static QImage imageOf(const TDMessage &message)
    {
        const td::ClipboardImagePayload *payload = message.get<td::ClipboardImagePayload>();
        if (!payload)
            return {};
        const auto bytes = QByteArray::fromBase64Encoding(payload->data.toLatin1(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
        if (!bytes || !bytes.decoded.startsWith("\x89PNG"))
            return {};
        return QImage::fromData(bytes.decoded, "PNG");
    }

    static QString textOf(const TDMessage &message)
    {
        const td::ClipboardPayload *payload = message.get<td::ClipboardPayload>();
        return payload ? payload->text : QStringLiteral("(not a text payload)");
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QGuiApplication::platformName() == "xcb", "needs an X display");
    }

    // Taking the clipboard back ends any xclip still offering it.
    void cleanup() { QGuiApplication::clipboard()->setText(QString()); }

    void imagesComeAsMarkedTextOrImagePayloads()
    {
        ClipboardActions clipboard = actions();
        clipboard.receiveTextPayload("[IMAGE]" + encoded(sampleImage(), "PNG").toBase64());
        QVERIFY(samePixels(QImage::fromData(readFromOutside("image/png"), "PNG"), sampleImage()));
        QVERIFY(readFromOutside("UTF8_STRING").isEmpty());
        QVERIFY(samePixels(imageOf(clipboard.sendClipboard()), sampleImage()));

        clipboard.receiveTextPayload("before");
        clipboard.receiveImagePayload(encoded(sampleImage(), "BMP").toBase64()); // any readable format
        QVERIFY(samePixels(QImage::fromData(readFromOutside("image/png"), "PNG"), sampleImage()));
        QVERIFY(samePixels(imageOf(clipboard.sendClipboard()), sampleImage()));
    }

    // Text replaces an image; text that only looks like a marked image stays text.
    void textGoesInAndOut_data()
    {
        QTest::addColumn<QString>("text");
        const QString base64 = encoded(sampleImage(), "PNG").toBase64();
        QTest::newRow("text") << QString("héllo, desktop");
        QTest::newRow("lower-case marker") << "[image]" + base64;
        QTest::newRow("not base64") << QString("[IMAGE]this is not base64!");
        QTest::newRow("base64 with a line break") << "[IMAGE]" + base64.left(8) + "\n" + base64.mid(8);
        QTest::newRow("base64 of no image") << "[IMAGE]" + QString(QByteArray("plain words").toBase64());
        QTest::newRow("marker alone") << QString("[IMAGE]");
    }
    void textGoesInAndOut()
    {
        QFETCH(QString, text);
        ClipboardActions clipboard = actions();
        clipboard.receiveImagePayload(encoded(sampleImage(), "PNG").toBase64()); // replaced below
        clipboard.receiveTextPayload(text);
        QCOMPARE(textOf(clipboard.sendClipboard()), text);
        QCOMPARE(readFromOutside("UTF8_STRING"), text.toUtf8());
    }

    void badImagePayloadLeavesTheClipboardAlone_data()
    {
        QTest::addColumn<QString>("data");
        QTest::newRow("not base64") << QString("%%%not base64%%%");
        QTest::newRow("unpadded") << QString(encoded(sampleImage(), "PNG").toBase64()).chopped(1);
        QTest::newRow("no image") << QString(QByteArray("just some bytes").toBase64());
        QTest::newRow("empty") << QString();
    }
    void badImagePayloadLeavesTheClipboardAlone()
    {
        QFETCH(QString, data);
        ClipboardActions clipboard = actions();
        clipboard.receiveTextPayload("kept");
        clipboard.receiveImagePayload(data);
        QCOMPARE(textOf(clipboard.sendClipboard()), QString("kept"));
        QCOMPARE(readFromOutside("UTF8_STRING"), QByteArray("kept"));
    }

    void imagesFromOtherProgramsGoOutAsPNG_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("format");
        QTest::newRow("png") << "image/png" << QByteArray("PNG");
        QTest::newRow("tiff") << "image/tiff" << QByteArray("TIFF");
        QTest::newRow("jpeg is not looked for") << "image/jpeg" << QByteArray("JPEG");
    }
    void imagesFromOtherProgramsGoOutAsPNG()
    {
        QFETCH(QString, target);
        QFETCH(QByteArray, format);
        offerFromOutside(encoded(sampleImage(), format.constData()), target);
        if (format == "JPEG")
            QCOMPARE(textOf(actions().sendClipboard()), QString());
        else
            QVERIFY(samePixels(imageOf(actions().sendClipboard()), sampleImage()));
    }

    void anImageWinsOverTextAndNothingSendsEmptyText()
    {
        auto *both = new QMimeData;
        both->setImageData(sampleImage());
        both->setText("also text");
        QGuiApplication::clipboard()->setMimeData(both);
        QVERIFY(samePixels(imageOf(actions().sendClipboard()), sampleImage()));
        QGuiApplication::clipboard()->clear();
        QCOMPARE(textOf(actions().sendClipboard()), QString());
    }
};

QTEST_MAIN(ClipboardTest)
#include "tst_clipboard.moc"
