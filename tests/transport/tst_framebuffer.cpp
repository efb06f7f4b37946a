#include "transport/FrameBuffer.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

QByteArray frameOf(QByteArrayView body)
{
    return *makeFrame(body);
}

QByteArray header(quint32 length)
{
    QByteArray h = QByteArray::fromHex("deadbeef");
    for (int shift = 24; shift >= 0; shift -= 8)
        h.append(char(length >> shift));
    return h;
}

QList<QByteArray> drain(FrameBuffer &buffer)
{
    QList<QByteArray> bodies;
    while (auto body = buffer.nextFrame())
        bodies.append(body->toByteArray());
    return bodies;
}

// The cutting rules done the slow, literal way: drop one byte per position
// without a marker, four on a bad length, stop below a header's worth.
struct LiteralCutter {
    QByteArray bytes;

    QList<QByteArray> drain()
    {
        QList<QByteArray> bodies;
        while (bytes.size() >= 8) {
            if (!bytes.startsWith(QByteArray::fromHex("deadbeef"))) {
                bytes.remove(0, 1);
                continue;
            }
            const auto *u = reinterpret_cast<const unsigned char *>(bytes.constData());
            const quint32 length = quint32(u[4]) << 24 | quint32(u[5]) << 16 | quint32(u[6]) << 8 | u[7];
            if (length == 0 || length > 9'999'999) {
                bytes.remove(0, 4);
                continue;
            }
            if (bytes.size() < 8 + qsizetype(length))
                break;
            bodies.append(bytes.mid(8, length));
            bytes.remove(0, 8 + length);
        }
        return bodies;
    }
};

} // namespace

class TestFrameBuffer : public QObject {
    Q_OBJECT
private slots:
    void resynchronisesOverStrayBytesAndBadLengths_data();
    void resynchronisesOverStrayBytesAndBadLengths();
    void waitsForLargestBody();
    void matchesLiteralCuttingOnRandomStreams();
    void framesCarryMarkerAndBigEndianLength();
};

void TestFrameBuffer::resynchronisesOverStrayBytesAndBadLengths_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<QByteArray>>("bodies");
    QTest::addColumn<QByteArray>("left");

    QTest::newRow("three stray bytes") << "xyz" + frameOf("hi") << QList<QByteArray>{"hi"} << QByteArray();
    QTest::newRow("broken marker") << QByteArray::fromHex("deadbe00") + frameOf("hi")
                                   << QList<QByteArray>{"hi"} << QByteArray();
    QTest::newRow("only garbage keeps seven bytes") << QByteArray("abcdefghij") << QList<QByteArray>{}
                                                    << QByteArray("defghij");
    QTest::newRow("marker bytes scattered in garbage")
        << QByteArray::fromHex("dededeadde00deadbeadbeef") + frameOf("ok")
        << QList<QByteArray>{"ok"} << QByteArray();
    QTest::newRow("marker in the last seven bytes waits")
        << QByteArray("0123456789") + QByteArray::fromHex("deadbeef0000")
        << QList<QByteArray>{} << QByteArray("9") + QByteArray::fromHex("deadbeef0000");
    QTest::newRow("zero length") << header(0) + frameOf("after zero") << QList<QByteArray>{"after zero"}
                                 << QByteArray();
    // One above the limit is rejected at once, without waiting for a body.
    QTest::newRow("over the limit") << header(10'000'000) + frameOf("after huge")
                                    << QList<QByteArray>{"after huge"} << QByteArray();
    // The length bytes of a rejected header are the next candidate marker.
    QTest::newRow("length is the next marker") << QByteArray::fromHex("deadbeef") + header(2) + "hi"
                                               << QList<QByteArray>{"hi"} << QByteArray();
}

void TestFrameBuffer::resynchronisesOverStrayBytesAndBadLengths()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<QByteArray>, bodies);
    QFETCH(QByteArray, left);

    FrameBuffer buffer;
    buffer.append(input);
    QCOMPARE(drain(buffer), bodies);
    QCOMPARE(buffer.pending().toByteArray(), left);
}

void TestFrameBuffer::waitsForLargestBody()
{
    FrameBuffer buffer;
    const QByteArray body(9'999'999, 'b');
    const QByteArray frame = header(9'999'999) + body;
    qsizetype offset = 0;
    while (offset < frame.size()) {
        QVERIFY(!buffer.nextFrame());
        const qsizetype chunk = std::min<qsizetype>(65'536, frame.size() - offset);
        buffer.append(QByteArrayView(frame).sliced(offset, chunk));
        offset += chunk;
    }
    const auto cut = buffer.nextFrame();
    QVERIFY(cut);
    QCOMPARE(cut->size(), body.size());
    QVERIFY(*cut == body);
    QCOMPARE(buffer.size(), 0);
}

void TestFrameBuffer::matchesLiteralCuttingOnRandomStreams()
{
    QRandomGenerator random(20261206);
    for (int round = 0; round < 300; ++round) {
        // Valid frames, garbage rich in marker bytes, bad and near-limit
        // lengths, truncated frames.
        QByteArray stream;
        const int pieces = random.bounded(1, 30);
        for (int i = 0; i < pieces; ++i) {
            switch (random.bounded(6)) {
            case 0:
            case 1:
                stream += frameOf(QByteArray(random.bounded(1, 300), char('a' + i % 26)));
                break;
            case 2:
                for (int n = random.bounded(1, 40); n > 0; --n)
                    stream += "\xde\xad\xbe\xef\x00\x01x"[random.bounded(7)];
                break;
            case 3:
                stream += header(random.bounded(2) ? 0 : 10'000'000 + random.bounded(100));
                break;
            case 4:
                stream += frameOf(QByteArray(50, 'z')).first(random.bounded(1, 58));
                break;
            case 5:
                stream += header(9'999'999).first(random.bounded(1, 9));
                break;
            }
        }

        FrameBuffer buffer;
        LiteralCutter literal;
        QList<QByteArray> cut, expected;
        qsizetype offset = 0;
        while (offset < stream.size()) {
            const qsizetype chunk = std::min<qsizetype>(random.bounded(1, 200), stream.size() - offset);
            const QByteArrayView part = QByteArrayView(stream).sliced(offset, chunk);
            offset += chunk;
            buffer.append(part);
            literal.bytes.append(part.data(), part.size());
            cut += drain(buffer);
            expected += literal.drain();
            QCOMPARE(buffer.pending().toByteArray(), literal.bytes);
        }
        QCOMPARE(cut, expected);
    }
}

void TestFrameBuffer::framesCarryMarkerAndBigEndianLength()
{
    QCOMPARE(frameOf(QByteArray(0x010203, 'x')).first(8), QByteArray::fromHex("deadbeef00010203"));
    QCOMPARE(frameOf("{}"), QByteArray::fromHex("deadbeef00000002") + "{}");

    QByteArray reserved(8, '\0');
    reserved += "body";
    QVERIFY(writeFrameHeader(reserved));
    QCOMPARE(reserved, QByteArray::fromHex("deadbeef00000004") + "body");

    QByteArray tooShort("abc");
    QVERIFY(!writeFrameHeader(tooShort));
    QCOMPARE(tooShort, QByteArray("abc"));

    // Only the size is looked at before refusing, so a view longer than its
    // storage stands in for a body of 4 GiB.
    if constexpr (sizeof(qsizetype) >= 8) {
        const char probe[1] = {};
        QVERIFY(!makeFrame(QByteArrayView(probe, qsizetype(0x1'0000'0000))));
    }
}

QTEST_GUILESS_MAIN(TestFrameBuffer)
#include "tst_framebuffer.moc"
