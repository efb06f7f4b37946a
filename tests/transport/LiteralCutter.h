#pragma once

#include <QByteArray>
#include <QList>

// The frame-cutting rules done the slow, literal way: drop one byte per
// position without a marker, four on a bad length, stop below a header's worth.
struct LiteralCutter {
    QByteArray bytes;

    QList<QByteArray> drain()
    {
        QList<QByteArray> bodies;
        while (bytes.size() >= 8) {
            if (!bytes.startsWith("\xDE\xAD\xBE\xEF")) {
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
