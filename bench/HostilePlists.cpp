#include "HostilePlists.h"

namespace HostilePlists {
namespace {

void appendNumber(QByteArray &bytes, quint64 value, int width)
{
    for (int shift = (width - 1) * 8; shift >= 0; shift -= 8)
        bytes.append(char(value >> shift));
}

// Header, objects, offset table and trailer around `objects`, whose offsets
// are given; object 0 is the root.
QByteArray binaryPlist(const QByteArray &objects, const QList<quint64> &offsets, int refSize)
{
    QByteArray bytes = "bplist00" + objects;
    const quint64 table = quint64(bytes.size());
    for (quint64 offset : offsets)
        appendNumber(bytes, 8 + offset, 4);
    bytes.append(6, '\0');
    bytes.append(char(4)).append(char(refSize));
    appendNumber(bytes, quint64(offsets.size()), 8);
    appendNumber(bytes, 0, 8);
    appendNumber(bytes, table, 8);
    return bytes;
}

} // namespace

QByteArray deepXml(int depth)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>k</key>"
           + QByteArray("<array>").repeated(depth) + QByteArray("</array>").repeated(depth) + "</dict></plist>\n";
}

QByteArray deepBinary(int depth)
{
    QByteArray objects;
    QList<quint64> offsets;
    for (int i = 0; i < depth; ++i) {
        offsets.append(quint64(objects.size()));
        if (i + 1 == depth) {
            objects.append(char(0xA0));
            break;
        }
        objects.append(char(0xA1));
        appendNumber(objects, quint64(i + 1), 4);
    }
    return binaryPlist(objects, offsets, 4);
}

QByteArray sharedReferenceBomb(int levels)
{
    QByteArray objects;
    QList<quint64> offsets;
    for (int i = 0; i < levels; ++i) {
        offsets.append(quint64(objects.size()));
        objects.append(char(0xA2)).append(char(i + 1)).append(char(i + 1));
    }
    offsets.append(quint64(objects.size()));
    objects.append("\x51x", 2);
    return binaryPlist(objects, offsets, 1);
}

} // namespace HostilePlists
