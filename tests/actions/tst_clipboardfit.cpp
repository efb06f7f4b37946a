// Clipboard answers within one frame: images scaled down, text cut, one log
// line each; PNG bytes that fit go out unchanged; re-encoding is lossless.
// And any failure is one log line.
#include "tests/server/FakePlatform.h"

#include "protocol/MessageCodec.h"
#include "actions/ClipboardActions.h"

#include <QRandomGenerator>
#include <QTest>
#include <QTextBoundaryFinder>

namespace {

struct OfferingPasteboard : MemoryPasteboard {
    QMap<QString, QByteArray> offered; // by type, as another program would
    std::optional<QByteArray> data(const QString &type) override
    {
        return offered.contains(type) ? std::optional(offered.value(type)) : std::nullopt;
    }
};

// Incompressible, so that its PNG is about as large as its pixels.
QImage noise(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(image.bits()),
                                  image.sizeInBytes() / 4);
    return image;
}

} // namespace

class ClipboardFitTest : public QObject {
    Q_OBJECT

    OfferingPasteboard pasteboard;
    NoScreenCapture capture;
    RecordingFileViewer viewer;
    QStringList logged;
    ActionLog log{[this](QtMsgType, const QString &line) { logged << line; }};
    ClipboardActions actions{pasteboard, capture, viewer, log};

    QImage sentImage() { return QImage::fromData(QByteArray::fromBase64(sentBase64()), "PNG"); }
    QByteArray sentBase64()
    {
        const TDMessage answer = actions.sendClipboard();
        return encodeMessage(answer)->size() <= 9'999'999
            ? std::get<td::ClipboardImagePayload>(answer).data.toLatin1() : QByteArray("(too long)");
    }

private slots:
    void init() { pasteboard = OfferingPasteboard(), logged.clear(); }

    void images_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QString>("type");
        QTest::newRow("alpha") << noise(300, 200, QImage::Format_ARGB32) << Pasteboard::typeTIFF;
        QTest::newRow("16 bits a channel") << noise(30, 20, QImage::Format_RGBA64) << Pasteboard::typeTIFF;
        QTest::newRow("over the limit")
            << noise(2400, 1600, QImage::Format_RGB32) << Pasteboard::typePNG;
    }
    void images()
    {
        QFETCH(QImage, image);
        QFETCH(QString, type);
        pasteboard.offered[type] = encoded(image, type == Pasteboard::typePNG ? "PNG" : "TIFF");
        const QImage held = QImage::fromData(pasteboard.offered[type]), sent = sentImage();
        if (image.width() < 2000) {
            QCOMPARE(sent.convertToFormat(held.format()), held); // lossless
            QCOMPARE(held.depth(), image.depth());
            QVERIFY(logged.isEmpty());
            return;
        }
        QVERIFY(sent.width() < held.width() && qAbs(sent.width() * 2 - sent.height() * 3) <= 3);
        QCOMPARE(logged, QStringList(QStringLiteral("[Clipboard] Image 2400x1600 too large for one "
                                                    "message to the phone, sent at %1x%2")
                                         .arg(sent.width()).arg(sent.height())));
    }

    void pngThatFitsGoesOutAsItIs()
    {
        const QByteArray png = encoded(noise(64, 48, QImage::Format_ARGB32), "PNG");
        pasteboard.offered[Pasteboard::typePNG] = png;
        pasteboard.offered[Pasteboard::typeTIFF] = encoded(QImage(2, 2, QImage::Format_RGB32), "TIFF");
        QCOMPARE(sentBase64(), png.toBase64());
        pasteboard.offered[Pasteboard::typePNG].chop(1); // cut short: not passed on
        QCOMPARE(sentImage().size(), QSize(2, 2));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("largestCharacter"); // in bytes of JSON
        QTest::newRow("escapes") << QStringLiteral("a\"\x01") << 6;
        QTest::newRow("combined, joined") // e and an accent, a family of three
            << QStringLiteral("e\u0301\U0001F468\u200D\U0001F469\u200D\U0001F467") << 18;
    }
    void texts()
    {
        QFETCH(QString, unit);
        QFETCH(int, largestCharacter);
        const QString text = unit.repeated(12'000'000 / unit.toUtf8().size());
        pasteboard.text = text;
        const QString sent = std::get<td::ClipboardPayload>(actions.sendClipboard()).text;
        const qsizetype body = encodeMessage(td::ClipboardPayload{sent})->size();
        QVERIFY(text.startsWith(sent) && body <= 9'999'999 && body > 9'999'999 - largestCharacter);
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme,
                                       text.mid(sent.size() - 30, 60));
        characters.setPosition(30);
        QVERIFY(characters.isAtBoundary());
        QCOMPARE(logged, QStringList(QStringLiteral("[Clipboard] Text of %1 bytes too long for one "
                                                    "message to the phone, sent its first %2 bytes")
                                         .arg(text.toUtf8().size()).arg(sent.toUtf8().size())));
    }

    void multiLineErrorsAreOneLine()
    {
        for (const char *line : {"[AppleScript] ", "[AppleScript] 87:95: error\n(-1728)",
                                 "[Launch] a: \nb:\r\n\r\n  c\n"})
            log.write(QString::fromUtf8(line));
        QCOMPARE(logged, (QStringList{"[AppleScript] ", "[AppleScript] 87:95: error (-1728)",
                                      "[Launch] a: b: c"}));
    }
};

QTEST_MAIN(ClipboardFitTest)
#include "tst_clipboardfit.moc"
