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
