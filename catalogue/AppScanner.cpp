#include "catalogue/AppScanner.h"

#include "platform/bundles/BundleReader.h"
#include "platform/files/StandardLocations.h"
#include "platform/bundles/BundleIndex.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

const QString finderBundleID = QStringLiteral("com.apple.finder");
const QString finderPath = QStringLiteral("/System/Library/CoreServices/Finder.app");

// A string value of the dictionary, or nothing for a missing key or another type.
std::optional<QString> stringValue(const QVariantMap &dictionary, const QString &key)
{
    const QVariant value = dictionary.value(key);
    if (value.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

QString displayName(const Bundle &bundle, const QString &entryName)
{
    if (auto name = stringValue(bundle.infoDictionary, QStringLiteral("CFBundleDisplayName")))
        return *name;
    if (auto name = stringValue(bundle.infoDictionary, QStringLiteral("CFBundleName")))
        return *name;
    // Drops the last extension only: My.Tool.app gives My.Tool.
    return entryName.left(entryName.lastIndexOf(QLatin1Char('.')));
}

QStringList listEntries(const QString &root)
{
    // A missing or unreadable root lists nothing and is skipped.
    return QDir(root).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                QDir::Name);
}

} // namespace

namespace AppScanner {

QStringList scanRoots()
{
    return StandardLocations::applicationRoots();
}

AppIcon iconForBundle(const Bundle &bundle)
{
    const std::optional<QString> file = stringValue(bundle.infoDictionary, QStringLiteral("CFBundleIconFile"));
    // A resource name, never a path: a separator would point outside the bundle.
    if (!file || file->isEmpty() || file->contains(QLatin1Char('/')))
        return AppIcon();
    QString fileName = *file;
    if (QFileInfo(fileName).suffix().isEmpty())
        fileName += QStringLiteral(".icns");
    return AppIcon::fromFile(bundle.path + QStringLiteral("/Contents/Resources/") + fileName);
}

AppIcon iconForPath(const QString &bundlePath)
{
    const std::optional<Bundle> bundle = openBundle(bundlePath);
    return bundle ? iconForBundle(*bundle) : AppIcon();
}

QList<InstalledApp> scan(const QStringList &roots)
{
    QList<InstalledApp> apps;
    apps.append({QUuid::createUuid(), finderBundleID, QStringLiteral("Finder"), iconForPath(finderPath),
                 finderPath});
    QSet<QString> seen{finderBundleID};

    for (const QString &root : roots) {
        for (const QString &entry : listEntries(root)) {
            if (!entry.endsWith(QLatin1String(".app"), Qt::CaseSensitive))
                continue;
            const QString path = root + QLatin1Char('/') + entry;
            const std::optional<Bundle> bundle = openBundle(path);
            // Launches look identifiers up there instead of reading bundles again.
            BundleIndex::shared().remember(path, bundle);
            if (!bundle || !bundle->bundleIdentifier)
                continue;
            const QString &identifier = *bundle->bundleIdentifier;
            // Before the name and icon are looked at: a duplicate costs nothing more.
            if (seen.contains(identifier))
                continue;
            seen.insert(identifier);
            apps.append({QUuid::createUuid(), identifier, displayName(*bundle, entry), iconForBundle(*bundle),
                         path});
        }
    }
    sortCatalogue(apps);
    return apps;
}

void sortCatalogue(QList<InstalledApp> &apps)
{
    QCollator collator; // the user's locale
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(apps.begin(), apps.end(), [&](const InstalledApp &a, const InstalledApp &b) {
        if (a.bundleID == finderBundleID)
            return b.bundleID != finderBundleID;
        if (b.bundleID == finderBundleID)
            return false;
        return collator.compare(a.name, b.name) < 0;
    });
}

} // namespace AppScanner
