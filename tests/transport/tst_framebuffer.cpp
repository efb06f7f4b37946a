#include "transport/FrameBuffer.h"

#include <QtTest>

namespace {

QByteArray frameOf(QByteArrayView body) { return *makeFrame(body); }

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

} // namespace

class TestFrameBuffer : public QObject {
    Q_OBJECT
private slots:
    void resynchronisesOverStrayBytesAndBadLengths_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QList<QByteArray>>("bodies");
        QTest::addColumn<QByteArray>("left");
        const auto row = [](const char *name, const QByteArray &input, const QList<QByteArray> &bodies,
                            const QByteArray &left = {}) { QTest::newRow(name) << input << bodies << left; };
        row("stray bytes", "xyz" + frameOf("hi"), {"hi"});
        row("broken marker", QByteArray::fromHex("deadbe00") + frameOf("hi"), {"hi"});
        row("only garbage keeps seven bytes", "abcdefghij", {}, "defghij");
        row("marker bytes in garbage", QByteArray::fromHex("dededeadde00deadbeadbeef") + frameOf("ok"), {"ok"});
        row("marker in the last seven bytes waits", "0123456789" + QByteArray::fromHex("deadbeef0000"), {},
            "9" + QByteArray::fromHex("deadbeef0000"));
        row("zero length", header(0) + frameOf("after zero"), {"after zero"});
        // One above the limit is rejected at once, without waiting for a body.
        row("over the limit", header(10'000'000) + frameOf("after huge"), {"after huge"});
        // The length bytes of a rejected header are the next candidate marker.
        row("length is the next marker", QByteArray::fromHex("deadbeef") + header(2) + "hi", {"hi"});
    }

    void resynchronisesOverStrayBytesAndBadLengths()
    {
        QFETCH(QByteArray, input);
        QFETCH(QList<QByteArray>, bodies);
        QFETCH(QByteArray, left);
        FrameBuffer buffer;
        buffer.append(input);
        QCOMPARE(drain(buffer), bodies);
        QCOMPARE(buffer.pending().toByteArray(), left);
    }

    void waitsForLargestBody()
    {
        FrameBuffer buffer;
        const QByteArray frame = header(9'999'999) + QByteArray(9'999'999, 'b');
        for (qsizetype offset = 0; offset < frame.size(); offset += 65'536) {
            QVERIFY(!buffer.nextFrame());
            buffer.append(QByteArrayView(frame).sliced(offset, std::min<qsizetype>(65'536, frame.size() - offset)));
        }
        const auto cut = buffer.nextFrame();
        QVERIFY(cut && *cut == QByteArrayView(frame).sliced(8));
        QCOMPARE(buffer.size(), 0);
    }

    void framesCarryMarkerAndBigEndianLength()
    {
        QCOMPARE(frameOf(QByteArray(0x010203, 'x')).first(8), QByteArray::fromHex("deadbeef00010203"));
        QCOMPARE(frameOf("{}"), QByteArray::fromHex("deadbeef00000002") + "{}");
        QByteArray reserved = QByteArray(8, '\0') + "body";
        QVERIFY(writeFrameHeader(reserved));
        QCOMPARE(reserved, QByteArray::fromHex("deadbeef00000004") + "body");
        QByteArray tooShort("abc");
        QVERIFY(!writeFrameHeader(tooShort));
        QCOMPARE(tooShort, QByteArray("abc"));
        // Only the size is looked at before refusing, so a view longer than
        // its storage stands in for a body of 4 GiB.
        const char probe[1] = {};
        QVERIFY(!makeFrame(QByteArrayView(probe, qsizetype(0x1'0000'0000))));
    }
};

QTEST_GUILESS_MAIN(TestFrameBuffer)
#include "tst_framebuffer.moc"
