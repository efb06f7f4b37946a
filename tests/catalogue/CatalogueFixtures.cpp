#include "CatalogueFixtures.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QtEndian>

#include <plist/plist.h>

#include <cstdlib>

namespace {

const char *const homeVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"};

QString xmlValue(const QVariant &value)
{
    QString out;
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return value.toBool() ? "<true/>" : "<false/>";
    case QMetaType::Int:
        return QStringLiteral("<integer>%1</integer>").arg(value.toLongLong());
    case QMetaType::QVariantList:
        for (const QVariant &element : value.toList())
            out += xmlValue(element);
        return "<array>" + out + "</array>";
    case QMetaType::QVariantMap:
        for (const auto &[key, element] : value.toMap().asKeyValueRange())
            out += "<key>" + key.toHtmlEscaped() + "</key>" + xmlValue(element);
        return "<dict>" + out + "</dict>";
    default:
        return "<string>" + value.toString().toHtmlEscaped() + "</string>";
    }
}

QByteArray bigEndian(quint32 value)
{
    value = qToBigEndian(value);
    return QByteArray(reinterpret_cast<const char *>(&value), 4);
}

} // namespace

// HOME points at the folder and the XDG folders fall back to it; the data
// folders too, so the machine's own desktop entries stay out of the catalogue.
TemporaryHome::TemporaryHome()
{
    for (int i = 0; i < 5; ++i) {
        m_old[i] = qgetenv(homeVariables[i]);
        qunsetenv(homeVariables[i]);
    }
    qputenv("HOME", m_dir.path().toUtf8());
    qputenv("XDG_DATA_DIRS", (m_dir.path() + "/.system-data").toUtf8());
}

TemporaryHome::~TemporaryHome()
{
    for (int i = 0; i < 5; ++i)
        m_old[i].isNull() ? qunsetenv(homeVariables[i]) : qputenv(homeVariables[i], m_old[i]);
}

QString makeBundle(const QString &root, const QString &entryName, const QVariantMap &info, PlistFormat format)
{
    const QString bundle = root + '/' + entryName;
    QDir().mkpath(bundle + "/Contents/Resources");
    QByteArray bytes = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                       "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">"
                       + xmlValue(info).toUtf8() + "</plist>\n";
    if (format == PlistFormat::Binary) {
        // The same document converted by libplist.
        plist_t root = nullptr;
        plist_from_xml(bytes.constData(), uint32_t(bytes.size()), &root);
        char *binary = nullptr;
        uint32_t length = 0;
        plist_to_bin(root, &binary, &length);
        bytes = QByteArray(binary, length);
        std::free(binary);
        plist_free(root);
    }
    QFile file(bundle + "/Contents/Info.plist");
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? bundle : QString();
}

bool writeIcns(const QString &path, const QList<QImage> &images)
{
    // The element types for 16, 32, 64, 128, 256, 512 and 1024 pixels.
    static const QList<int> sides = {16, 32, 64, 128, 256, 512, 1024};
    const char *types[] = {"icp4", "icp5", "icp6", "ic07", "ic08", "ic09", "ic10"};
    QByteArray elements;
    for (const QImage &image : images) {
        const qsizetype index = sides.indexOf(image.width());
        QByteArray png;
        QBuffer buffer(&png);
        if (index < 0 || image.width() != image.height() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
            return false;
        elements += QByteArray(types[index], 4) + bigEndian(quint32(png.size() + 8)) + png;
    }
    const QByteArray file = "icns" + bigEndian(quint32(elements.size() + 8)) + elements;
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(file) == file.size();
}

QImage solidImage(int side, QColor color)
{
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

QColor centre(const QImage &image)
{
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

QColor centre(const std::optional<QByteArray> &png)
{
    return centre(QImage::fromData(png.value_or(QByteArray()), "PNG"));
}
