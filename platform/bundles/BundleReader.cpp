#include "platform/bundles/BundleReader.h"

#include "platform/bundles/PlistBounds.h"
#include "platform/files/RegularFile.h"

#include <QDateTime>
#include <QFileInfo>
#include <QVariantList>
#include <QXmlStreamReader>

#include <plist/plist.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr int maxDepth = PlistBounds::maxDepth;

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// libplist parses both formats, but its value getters abort the process on
// strings it built inconsistently from crafted files (an embedded NUL, a
// non-string dictionary key). So the parsed tree is written back out as XML,
// which never touches those getters, and the XML is read here.
QVariant readValue(QXmlStreamReader &xml, int depth);

QVariantMap readDict(QXmlStreamReader &xml, int depth)
{
    QVariantMap map;
    while (xml.readNextStartElement()) {
        if (xml.name() != QLatin1String("key")) {
            // A value without a key: read past it.
            xml.skipCurrentElement();
            continue;
        }
        const QString key = xml.readElementText();
        if (!xml.readNextStartElement())
            break;
        const QVariant value = readValue(xml, depth + 1);
        if (value.isValid())
            map.insert(key, value);
    }
    return map;
}

QVariantList readArray(QXmlStreamReader &xml, int depth)
{
    QVariantList list;
    while (xml.readNextStartElement()) {
        const QVariant value = readValue(xml, depth + 1);
        if (value.isValid())
            list.append(value);
    }
    return list;
}

QVariant readInteger(const QString &text)
{
    bool ok = false;
    if (const qlonglong value = text.toLongLong(&ok); ok)
        return value;
    if (const qulonglong value = text.toULongLong(&ok); ok)
        return value;
    return {};
}

// The current start element's value, leaving the reader at its end element.
QVariant readValue(QXmlStreamReader &xml, int depth)
{
    const QStringView name = xml.name();
    if (depth > maxDepth) {
        xml.skipCurrentElement();
        return {};
    }
    if (name == QLatin1String("dict"))
        return readDict(xml, depth);
    if (name == QLatin1String("array"))
        return readArray(xml, depth);
    if (name == QLatin1String("true") || name == QLatin1String("false")) {
        const bool value = name == QLatin1String("true");
        xml.skipCurrentElement();
        return value;
    }
    const QString kind = name.toString();
    const QString text = xml.readElementText(QXmlStreamReader::SkipChildElements);
    if (kind == QLatin1String("string"))
        return text;
    if (kind == QLatin1String("integer"))
        return readInteger(text.trimmed());
    if (kind == QLatin1String("real")) {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        return ok ? QVariant(value) : QVariant();
    }
    if (kind == QLatin1String("data"))
        return QByteArray::fromBase64(text.toLatin1());
    if (kind == QLatin1String("date")) {
        const QDateTime value = QDateTime::fromString(text.trimmed(), Qt::ISODate);
        return value.isValid() ? QVariant(value) : QVariant();
    }
    return {};
}

QVariantMap readXmlPlist(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("plist"))
        return {};
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("dict"))
        return {};
    QVariantMap map = readDict(xml, 0);
    // A document that breaks off (or holds characters XML forbids) is no plist.
    while (!xml.atEnd())
        xml.readNext();
    return xml.hasError() ? QVariantMap() : map;
}

// The Info.plist's top-level dictionary, in either format; empty when the
// file is missing, unreadable or not a dictionary.
QVariantMap readInfoDictionary(const QString &plistPath)
{
    const std::optional<QByteArray> bytes = RegularFile::read(plistPath, PlistBounds::maxBytes);
    return bytes ? parseInfoPlist(*bytes) : QVariantMap();
}

} // namespace

QVariantMap parseInfoPlist(const QByteArray &bytes)
{
    // Refused before the library builds anything: such a bundle is one
    // without an identifier.
    if (bytes.isEmpty() || PlistBounds::check(bytes) != PlistBounds::Verdict::fits)
        return {};
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    const PlistPtr owner(root);
    if (!root || plist_get_node_type(root) != PLIST_DICT)
        return {};

    char *xml = nullptr;
    uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    const QByteArray normalised(xml, xml ? qsizetype(length) : 0);
    plist_to_xml_free(xml);
    return readXmlPlist(normalised);
}

std::optional<Bundle> openBundle(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return std::nullopt;

    Bundle bundle;
    bundle.path = path;
    bundle.infoDictionary = readInfoDictionary(path + QStringLiteral("/Contents/Info.plist"));
    const QVariant identifier = bundle.infoDictionary.value(QStringLiteral("CFBundleIdentifier"));
    if (identifier.metaType().id() == QMetaType::QString)
        bundle.bundleIdentifier = identifier.toString();
    return bundle;
}
