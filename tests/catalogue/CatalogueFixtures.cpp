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

QString xmlValue(const QVariant &value)
{
    QString out;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool() ? "<true/>" : "<false/>";
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QStringLiteral("<integer>%1</integer>").arg(value.toLongLong());
    case QMetaType::QVariantList:
        for (const QVariant &element : value.toList())
            out += xmlValue(element);
        return "<array>" + out + "</array>";
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            out += "<key>" + it.key().toHtmlEscaped() + "</key>" + xmlValue(it.value());
        return "<dict>" + out + "</dict>";
    }
    default:
        return "<string>" + value.toString().toHtmlEscaped() + "</string>";
    }
}

QByteArray plistBytes(const QVariantMap &info, PlistFormat format)
{
    const QByteArray xml = QByteArrayLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                                             "<plist version=\"1.0\">")
        + xmlValue(info).toUtf8() + QByteArrayLiteral("</plist>\n");
    if (format == PlistFormat::Xml)
        return xml;
    // The same document converted by libplist.
    plist_t root = nullptr;
    plist_from_xml(xml.constData(), uint32_t(xml.size()), &root);
    char *bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    const QByteArray result(bytes, length);
    std::free(bytes);
    plist_free(root);
    return result;
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
        // The element types for 16, 32, 64, 128, 256, 512 and 1024 pixels.
        static const QList<int> sides = {16, 32, 64, 128, 256, 512, 1024};
        const char *types[] = {"icp4", "icp5", "icp6", "ic07", "ic08", "ic09", "ic10"};
        const qsizetype index = sides.indexOf(image.width());
        if (index < 0 || image.width() != image.height())
            return false;
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG"))
            return false;
        elements.append(types[index], 4);
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
