#include "platform/bundles/PlistBounds.h"

#include <QXmlStreamReader>

#include <optional>
#include <utility>
#include <vector>

namespace PlistBounds {
namespace {

// The XML parser is walked to its end: a document it cannot read as XML is
// refused rather than guessed at, since then nothing bounds what the
// library's own, more lenient parser would build from it.
Verdict checkXml(QByteArrayView bytes)
{
    QXmlStreamReader xml(QByteArray::fromRawData(bytes.data(), bytes.size()));
    int depth = 0;
    int objects = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            // The <plist> element around the root is not an object.
            if (++depth > maxDepth + 1)
                return Verdict::tooDeep;
            if (++objects > maxObjects + 1)
                return Verdict::tooManyObjects;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return xml.hasError() ? Verdict::malformed : Verdict::fits;
}

// The binary format: a header, objects, an offset table and a 32-byte
// trailer naming the sizes and the root object.
class BinaryWalk {
public:
    explicit BinaryWalk(QByteArrayView bytes) : m_data(reinterpret_cast<const uchar *>(bytes.data())), m_size(bytes.size()) {}

    Verdict run()
    {
        constexpr qsizetype header = 8, trailer = 32;
        if (m_size < header + trailer + 1)
            return Verdict::malformed;
        const uchar *t = m_data + m_size - trailer;
        m_offsetSize = t[6];
        m_refSize = t[7];
        const quint64 objectCount = number(t + 8, 8);
        const quint64 root = number(t + 16, 8);
        m_tableOffset = number(t + 24, 8);
        if (m_offsetSize < 1 || m_offsetSize > 8 || m_refSize < 1 || m_refSize > 8)
            return Verdict::malformed;
        const quint64 end = quint64(m_size - trailer);
        if (objectCount == 0 || objectCount > end || root >= objectCount || m_tableOffset < header
            || m_tableOffset > end || (end - m_tableOffset) / m_offsetSize < objectCount)
            return Verdict::malformed;
        m_objectCount = objectCount;
        return walk(root);
    }

private:
    static quint64 number(const uchar *p, int width)
    {
        quint64 value = 0;
        for (int i = 0; i < width; ++i)
            value = value << 8 | p[i];
        return value;
    }

    // Offset of object `index` inside the object area, or nothing.
    std::optional<quint64> offsetOf(quint64 index) const
    {
        const quint64 offset = number(m_data + m_tableOffset + index * m_offsetSize, m_offsetSize);
        if (offset < 8 || offset >= m_tableOffset)
            return std::nullopt;
        return offset;
    }

    // The element count of the object at `offset` and where its contents
    // begin; a low nibble of 0xF means an integer object follows.
    std::optional<std::pair<quint64, quint64>> lengthAt(quint64 offset) const
    {
        const uchar low = m_data[offset] & 0x0F;
        if (low != 0x0F)
            return std::pair{quint64(low), offset + 1};
        if (offset + 2 > m_tableOffset || (m_data[offset + 1] & 0xF0) != 0x10)
            return std::nullopt;
        const int width = 1 << (m_data[offset + 1] & 0x0F);
        if (width > 8 || offset + 2 + quint64(width) > m_tableOffset)
            return std::nullopt;
        return std::pair{number(m_data + offset + 2, width), offset + 2 + quint64(width)};
    }

    // Depth first, with a stack of its own: every reference is visited as
    // often as it is used, which is what the library would build.
    Verdict walk(quint64 root)
    {
        std::vector<std::pair<quint64, int>> pending{{root, 1}};
        int visited = 0;
        qint64 payload = 0;
        while (!pending.empty()) {
            const auto [index, depth] = pending.back();
            pending.pop_back();
            if (++visited > maxObjects)
                return Verdict::tooManyObjects;
            if (depth > maxDepth)
                return Verdict::tooDeep;
            const std::optional<quint64> offset = offsetOf(index);
            if (!offset)
                return Verdict::malformed;
            const uchar kind = m_data[*offset] >> 4;
            if (kind < 0x4 || kind == 0x8)
                continue; // fixed-size scalars
            const auto length = lengthAt(*offset);
            if (!length || length->first > quint64(m_size))
                return Verdict::malformed;
            const auto [count, start] = *length;
            if (kind == 0x4 || kind == 0x5 || kind == 0x6 || kind == 0x7) {
                // UTF-16 units may take three bytes each once converted.
                payload += qint64(count) * (kind == 0x6 ? 3 : 1);
                if (payload > maxPayloadBytes)
                    return Verdict::tooManyObjects;
                continue;
            }
            if (kind != 0xA && kind != 0xC && kind != 0xD)
                return Verdict::malformed;
            const quint64 refs = kind == 0xD ? count * 2 : count;
            if (refs > quint64(maxObjects) || start + refs * m_refSize > m_tableOffset)
                return refs > quint64(maxObjects) ? Verdict::tooManyObjects : Verdict::malformed;
            if (visited + pending.size() + refs > quint64(maxObjects))
                return Verdict::tooManyObjects;
            for (quint64 i = 0; i < refs; ++i) {
                const quint64 child = number(m_data + start + i * m_refSize, m_refSize);
                if (child >= m_objectCount)
                    return Verdict::malformed;
                pending.emplace_back(child, depth + 1);
            }
        }
        return Verdict::fits;
    }

    const uchar *m_data;
    qsizetype m_size;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_objectCount = 0;
    quint64 m_tableOffset = 0;
};

} // namespace

Verdict check(QByteArrayView bytes)
{
    if (bytes.size() > maxBytes)
        return Verdict::tooLarge;
    if (bytes.startsWith(QByteArrayView("bplist")))
        return BinaryWalk(bytes).run();
    return checkXml(bytes);
}

} // namespace PlistBounds
