// What the phone receives stays within one frame: clipboard images scaled
// down, clipboard text cut, anything else left unsent; PNG bytes the
// clipboard offers go out unchanged when they fit.
#include "ServerFixture.h"
#include "TestPhone.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTextBoundaryFinder>

#include <unistd.h>

namespace {

struct OfferingPasteboard : MemoryPasteboard {
    QMap<QString, QByteArray> offered; // by type, as another program would
    std::optional<QByteArray> data(const QString &type) override
    {
        return offered.contains(type) ? std::optional(offered.value(type)) : std::nullopt;
    }
};

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// Incompressible, so that its PNG is about as large as its pixels.
QImage noise(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    QRandomGenerator random(7);
    random.fillRange(reinterpret_cast<quint32 *>(image.bits()), image.sizeInBytes() / 4);
    return image;
}

} // namespace

class FrameLimitTest : public QObject, ServerFixture {
    Q_OBJECT

    OfferingPasteboard pasteboard;
    QStringList logged;
    std::unique_ptr<TestPhone> phone;

    // The answer as the phone receives it; lines written to standard output
    // meanwhile go to `logged`.
    TDMessage requestClipboard()
    {
        QTemporaryFile out;
        out.open();
        std::fflush(stdout);
        const int saved = ::dup(STDOUT_FILENO);
        ::dup2(out.handle(), STDOUT_FILENO);
        phone->send(td::RequestClipboard{});
        TDMessage answer = phone->take();
        std::fflush(stdout);
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
        out.seek(0);
        logged = QString::fromUtf8(out.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return answer;
    }

private slots:
    void init()
    {
        setUp();
        pasteboard = OfferingPasteboard();
        server.reset();
        fake->platform.pasteboard = &pasteboard;
        server = std::make_unique<MacServerService>(*store, &fake->platform);
        server->setListeningPort(port);
        QVERIFY(startServer(1234));
        phone = std::make_unique<TestPhone>(port);
        QVERIFY(phone->waitFor(1));
        phone->take();
    }
    void cleanup() { phone.reset(), tearDown(); }

    void images_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QString>("type");
        const QImage small = noise(300, 200, QImage::Format_ARGB32);
        QTest::newRow("alpha") << small << Pasteboard::typeTIFF;
        QTest::newRow("16 bits a channel") << small.convertToFormat(QImage::Format_RGBA64) << Pasteboard::typeTIFF;
        QTest::newRow("over the limit") << noise(2400, 1600, QImage::Format_RGB32) << Pasteboard::typePNG;
    }
    void images()
    {
        QFETCH(QImage, image);
        QFETCH(QString, type);
        const QByteArray offered = encoded(image, type == Pasteboard::typePNG ? "PNG" : "TIFF");
        pasteboard.offered[type] = offered;
        const QImage sent = QImage::fromData(QByteArray::fromBase64(
            std::get<td::ClipboardImagePayload>(requestClipboard()).data.toLatin1()), "PNG");
        const QImage held = QImage::fromData(offered);
        if (image.width() < 2000) {
            QCOMPARE(sent.convertToFormat(held.format()), held); // lossless
            QVERIFY(logged.isEmpty());
            return;
        }
        QVERIFY(sent.width() < held.width() && qAbs(sent.width() * 2 - sent.height() * 3) <= 3);
        QCOMPARE(logged, QStringList(QStringLiteral("[Clipboard] Image 2400x1600 too large for one "
            "message to the phone, sent at %1x%2").arg(sent.width()).arg(sent.height())));
    }

    void pngThatFitsGoesOutAsItIs()
    {
        const QByteArray png = encoded(noise(64, 48, QImage::Format_ARGB32), "PNG");
        pasteboard.offered[Pasteboard::typePNG] = png;
        pasteboard.offered[Pasteboard::typeTIFF] = encoded(QImage(2, 2, QImage::Format_RGB32), "TIFF");
        QCOMPARE(std::get<td::ClipboardImagePayload>(requestClipboard()).data.toLatin1(), png.toBase64());
        pasteboard.offered[Pasteboard::typePNG].chop(1); // cut short: not passed on
        QCOMPARE(QImage::fromData(QByteArray::fromBase64(std::get<td::ClipboardImagePayload>(
                     requestClipboard()).data.toLatin1())).size(), QSize(2, 2));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("largestCharacter"); // in bytes of JSON
        QTest::newRow("letters") << QStringLiteral("abc") << 1;
        QTest::newRow("escapes") << QStringLiteral("\"\x01") << 6;
        QTest::newRow("combined, joined") << QStringLiteral("e\u0301\U0001F468\u200D\U0001F469\u200D\U0001F467") << 18;
    }
    void texts()
    {
        QFETCH(QString, unit);
        QFETCH(int, largestCharacter);
        const QString text = unit.repeated(12'000'000 / unit.toUtf8().size());
        pasteboard.text = text;
        const QString sent = std::get<td::ClipboardPayload>(requestClipboard()).text;
        const qsizetype body = encodeMessage(td::ClipboardPayload{sent})->size();
        QVERIFY(text.startsWith(sent) && body <= 9'999'999 && body > 9'999'999 - largestCharacter);
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text.mid(sent.size() - 30, 60));
        characters.setPosition(30);
        QVERIFY(characters.isAtBoundary());
        QCOMPARE(logged, QStringList(QStringLiteral("[Clipboard] Text of %1 bytes too long for one message "
            "to the phone, sent its first %2 bytes").arg(text.toUtf8().size()).arg(sent.toUtf8().size())));
    }

    void otherMessagesOverTheLimitAreNotSent()
    {
        QTcpSocket raw; // bytes as they come, before any frame is cut
        raw.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(QTest::qWaitFor([&] { return server->isConnected() && raw.bytesAvailable() > 0; }));
        raw.readAll(); // macHello
        server->send(td::LaunchApp{QString(10'000'000, QLatin1Char('x'))});
        server->send(td::Ping{});
        const QByteArray ping = *makeFrame(*encodeMessage(td::Ping{}));
        QByteArray bytes;
        QVERIFY(QTest::qWaitFor([&] { return (bytes += raw.readAll()).size() >= ping.size(); }));
        QCOMPARE(bytes, ping);
    }
};

QTEST_MAIN(FrameLimitTest)
#include "tst_framelimit.moc"
