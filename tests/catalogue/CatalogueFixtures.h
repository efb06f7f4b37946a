#pragma once

#include <QImage>
#include <QList>
#include <QStringList>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>

#include <optional>

// A temporary home: HOME points at it and the XDG folders fall back to it,
// for as long as the object lives.
class TemporaryHome {
public:
    TemporaryHome();
    ~TemporaryHome();
    QString path() const { return m_dir.path(); }
    QString applications() const { return m_dir.path() + "/Applications"; }

private:
    QTemporaryDir m_dir;
    QByteArray m_old[5];
};

enum class PlistFormat { Xml, Binary };

// NAME.app/Contents/Info.plist under `root` holding `info` (strings, booleans,
// integers, lists and maps); returns the bundle path.
QString makeBundle(const QString &root, const QString &entryName, const QVariantMap &info,
                   PlistFormat format = PlistFormat::Xml);

// An .icns file holding `images` as PNG elements, each square with a side
// that the format names (16, 32, 64, 128, 256, 512 or 1024).
bool writeIcns(const QString &path, const QList<QImage> &images);

QImage solidImage(int side, QColor color);
// The colour at the centre of an image, or of a PNG; invalid for none.
QColor centre(const QImage &image);
QColor centre(const std::optional<QByteArray> &png);

// The names of `apps` (installed apps or their records), in order.
template <class Apps>
QStringList appNames(const Apps &apps)
{
    QStringList result;
    for (const auto &app : apps)
        result.append(app.name);
    return result;
}
