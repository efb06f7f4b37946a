#include "CatalogueFixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include <plist/plist.h>

#include <cstdlib>

namespace {

QByteArray swapEnv(const char *name, const QByteArray &value)
{
    const QByteArray old = qgetenv(name);
    if (value.isNull())
        qunsetenv(name);
    else
        qputenv(name, value);
    return old;
}

QString xmlEscaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString xmlValue(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("<true/>") : QStringLiteral("<false/>");
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QStringLiteral("<integer>%1</integer>").arg(value.toLongLong());
    case QMetaType::QVariantList: {
        QString out = QStringLiteral("<array>");
        for (const QVariant &element : value.toList())
            out += xmlValue(element);
        return out + QStringLiteral("</array>");
    }
    case QMetaType::QVariantMap: {
        QString out = QStringLiteral("<dict>");
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            out += QStringLiteral("<key>%1</key>").arg(xmlEscaped(it.key())) + xmlValue(it.value());
        return out + QStringLiteral("</dict>");
    }
    default:
        return QStringLiteral("<string>%1</string>").arg(xmlEscaped(value.toString()));
    }
}

plist_t plistNode(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return plist_new_bool(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
        return plist_new_uint(value.toULongLong());
    case QMetaType::QVariantList: {
        plist_t array = plist_new_array();
        for (const QVariant &element : value.toList())
            plist_array_append_item(array, plistNode(element));
        return array;
    }
    case QMetaType::QVariantMap: {
        plist_t dict = plist_new_dict();
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            plist_dict_set_item(dict, it.key().toUtf8().constData(), plistNode(it.value()));
        return dict;
    }
    default:
        return plist_new_string(value.toString().toUtf8().constData());
    }
}

QByteArray plistBytes(const QVariantMap &info, PlistFormat format)
{
    if (format == PlistFormat::Xml) {
        return QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                 "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                 "<plist version=\"1.0\">")
            + xmlValue(info).toUtf8() + QByteArrayLiteral("</plist>\n");
    }
    plist_t root = plistNode(info);
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    const QByteArray result(bytes, length);
    std::free(bytes);
    plist_free(root);
    return result;
}

const char *icnsType(int side)
{
    switch (side) {
    case 16: return "icp4";
    case 32: return "icp5";
    case 64: return "icp6";
    case 128: return "ic07";
    case 256: return "ic08";
    case 512: return "ic09";
    case 1024: return "ic10";
    default: return nullptr;
    }
}

void appendBigEndian(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

TemporaryHome::TemporaryHome()
{
    m_oldHome = swapEnv("HOME", m_dir.path().toUtf8());
    m_oldConfig = swapEnv("XDG_CONFIG_HOME", QByteArray());
    m_oldCache = swapEnv("XDG_CACHE_HOME", QByteArray());
}

TemporaryHome::~TemporaryHome()
{
    swapEnv("HOME", m_oldHome);
    swapEnv("XDG_CONFIG_HOME", m_oldConfig);
    swapEnv("XDG_CACHE_HOME", m_oldCache);
}

QString makeBundle(const QString &root, const QString &entryName, const QVariantMap &info,
                   PlistFormat format)
{
    const QString bundle = root + QLatin1Char('/') + entryName;
    QDir().mkpath(bundle + QStringLiteral("/Contents/Resources"));
    QFile file(bundle + QStringLiteral("/Contents/Info.plist"));
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(plistBytes(info, format));
    return bundle;
}

bool writeIcns(const QString &path, const QList<QImage> &images)
{
    QByteArray elements;
    for (const QImage &image : images) {
        const char *type = icnsType(image.width());
        if (!type || image.width() != image.height())
            return false;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            return false;
        elements.append(type, 4);
        appendBigEndian(elements, quint32(png.size() + 8));
        elements.append(png);
    }
    QByteArray file("icns");
    appendBigEndian(file, quint32(elements.size() + 8));
    file.append(elements);

    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(file) == file.size();
}

QImage solidImage(int side, QColor color)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}
