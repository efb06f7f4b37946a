#pragma once

#include <QString>
#include <QVariantMap>

#include <optional>

// An application bundle opened from disk: NAME.app/Contents/Info.plist, in
// the XML or the binary property-list format.
struct Bundle {
    QString path;
    std::optional<QString> bundleIdentifier;
    QVariantMap infoDictionary; // the unlocalised Info.plist
};

// Nothing when `path` is not an accessible bundle.
std::optional<Bundle> openBundle(const QString &path);

// The top-level dictionary of an Info.plist's bytes, XML or binary; empty when
// the bytes are not a property list holding a dictionary.
QVariantMap parseInfoPlist(const QByteArray &bytes);
