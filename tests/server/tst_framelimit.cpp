// What the phone receives stays within one frame: clipboard images scaled
// down, clipboard text cut, anything else left unsent; PNG bytes the
// clipboard offers go out unchanged when they fit.
#include "ServerFixture.h"
#include "TestPhone.h"

#include "server/ClipboardActions.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTest>
#include <QTextBoundaryFinder>

#include <cstdio>
#include <unistd.h>

namespace {

// Offers bytes per type, as another program's clipboard would.
struct OfferingPasteboard : MemoryPasteboard {
    QMap<QString, QByteArray> offered;
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

// Incompressible pixels, so that the PNG is about as large as the raw image.
QImage noise(int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    QRandomGenerator random(7);
    for (int y = 0; y < height; ++y)
        random.fillRange(reinterpret_cast<quint32 *>(image.scanLine(y)), image.bytesPerLine() / 4);
    return image;
}

// The lines `action` writes to standard output, where failures are logged.
QStringList linesPrinted(const std::function<void()> &action)
{
    QTemporaryFile file;
    file.open();
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(file.handle(), STDOUT_FILENO);
    action();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    file.seek(0);
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class FrameLimitTest : public QObject, ServerFixture {
    Q_OBJECT

    OfferingPasteboard pasteboard;
    QStringList logged;
    std::unique_ptr<TestPhone> phone;

    // The clipboard's answer, as the phone receives it; lines logged meanwhile
    // go to `logged`.
    TDMessage requestClipboard()
    {
        std::optional<TDMessage> answer;
        logged = linesPrinted([&] {
            phone->send(td::RequestClipboard{});
            answer = phone->take();
        });
        return *answer;
    }

private slots:
    void init()
    {
        setUp();
        // A server whose clipboard offers what each test puts on it.
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
    void cleanup()
    {
        phone.reset();
        tearDown();
    }

    void images_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("scaled");
        const QImage small = noise(300, 200, QImage::Format_ARGB32);
        QTest::newRow("TIFF with alpha, exact") << small << Pasteboard::typeTIFF << false;
        QTest::newRow("TIFF without alpha, exact")
            << small.convertToFormat(QImage::Format_RGB32) << Pasteboard::typeTIFF << false;
        QTest::newRow("16 bits a channel, exact")
            << small.convertToFormat(QImage::Format_RGBA64) << Pasteboard::typeTIFF << false;
        QTest::newRow("PNG over the limit") << noise(2400, 1600, QImage::Format_RGB32)
                                            << Pasteboard::typePNG << true;
    }
    void images()
    {
        QFETCH(QImage, image);
        QFETCH(QString, type);
        QFETCH(bool, scaled);
        const QByteArray offered = encoded(image, type == Pasteboard::typePNG ? "PNG" : "TIFF");
        pasteboard.offered[type] = offered;

        const TDMessage answer = requestClipboard();
        const QByteArray png = QByteArray::fromBase64(std::get<td::ClipboardImagePayload>(answer).data.toLatin1());
        QVERIFY(png.startsWith("\x89PNG"));
        const QImage received = QImage::fromData(png, "PNG");
        if (!scaled) {
            const QImage held = QImage::fromData(offered);
            QCOMPARE(received.convertToFormat(held.format()), held);
            QVERIFY(logged.isEmpty());
            return;
        }
        QVERIFY(png.size() * 4 / 3 < 9'999'999);
        QVERIFY(received.width() < image.width());
        QVERIFY(qAbs(received.width() * 2 - received.height() * 3) <= 3); // 3:2 kept
        QCOMPARE(logged, QStringList(QStringLiteral("[Clipboard] Image 2400x1600 too large for one "
                                                    "message to the phone, sent at %1x%2")
                                         .arg(received.width()).arg(received.height())));
    }

    void pngThatFitsGoesOutAsItIs()
    {
        const QByteArray png = encoded(noise(64, 48, QImage::Format_ARGB32), "PNG");
        pasteboard.offered[Pasteboard::typePNG] = png;
        pasteboard.offered[Pasteboard::typeTIFF] = encoded(QImage(2, 2, QImage::Format_RGB32), "TIFF");
        QCOMPARE(std::get<td::ClipboardImagePayload>(requestClipboard()).data.toLatin1(), png.toBase64());

        // Cut short, it is no PNG to pass on: the TIFF is read instead.
        pasteboard.offered[Pasteboard::typePNG] = png.first(png.size() - 1);
        const QImage answered = QImage::fromData(QByteArray::fromBase64(
            std::get<td::ClipboardImagePayload>(requestClipboard()).data.toLatin1()));
        QCOMPARE(answered.size(), QSize(2, 2));
    }

    void texts_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("unitBytes");    // in the JSON text
        QTest::addColumn<int>("largestCharacter"); // idem
        QTest::newRow("letters") << QStringLiteral("abc") << 3 << 1;
        QTest::newRow("escapes") << QStringLiteral("\"\x01") << 8 << 6;
        QTest::newRow("combined and joined") // e + accent, then a family of three
            << QStringLiteral("e\u0301\U0001F468\u200D\U0001F469\u200D\U0001F467") << 21 << 18;
    }
    void texts()
    {
        QFETCH(QString, unit);
        QFETCH(int, unitBytes);
        QFETCH(int, largestCharacter);
        const QString text = unit.repeated(12'000'000 / unitBytes);
        pasteboard.text = text;

        const QString sent = std::get<td::ClipboardPayload>(requestClipboard()).text;
        QVERIFY(text.startsWith(sent));
        const qsizetype body = encodeMessage(td::ClipboardPayload{sent})->size();
        QVERIFY(body <= 9'999'999);
        QVERIFY(body > 9'999'999 - largestCharacter);
        QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text.mid(sent.size() - 30, 60));
        characters.setPosition(30);
        QVERIFY(characters.isAtBoundary());
        QCOMPARE(logged, QStringList(QStringLiteral("[Clipboard] Text of %1 bytes too long for one "
                                                    "message to the phone, sent its first %2 bytes")
                                         .arg(text.toUtf8().size())
                                         .arg(sent.toUtf8().size())));
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
