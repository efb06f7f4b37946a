#include "platform/bundles/BundleIndex.h"

#include "platform/bundles/BundleReader.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {

std::optional<QString> stringValue(const QVariantMap &info, const QString &key)
{
    const QVariant value = info.value(key);
    return value.typeId() == QMetaType::QString ? std::optional(value.toString()) : std::nullopt;
}

// More bundles than any machine has; beyond it the index starts over rather
// than grow with whatever someone drops into a root.
constexpr qsizetype maxEntries = 8192;
} // namespace

BundleIndex &BundleIndex::shared()
{
    static BundleIndex index;
    return index;
}

BundleIndex::Stamp BundleIndex::stampOf(const QString &bundlePath)
{
    struct stat status {};
    const QByteArray plist = QFile::encodeName(bundlePath + QStringLiteral("/Contents/Info.plist"));
    if (::stat(plist.constData(), &status) != 0)
        return {};
    return {quint64(status.st_dev), quint64(status.st_ino), qint64(status.st_size),
            qint64(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec,
            qint64(status.st_ctim.tv_sec) * 1'000'000'000 + status.st_ctim.tv_nsec};
}

std::optional<BundleIndex::Facts> BundleIndex::factsOf(const std::optional<Bundle> &bundle)
{
    if (!bundle)
        return std::nullopt;
    Facts facts{bundle->bundleIdentifier, stringValue(bundle->infoDictionary, QStringLiteral("CFBundleDisplayName"))};
    if (!facts.name)
        facts.name = stringValue(bundle->infoDictionary, QStringLiteral("CFBundleName"));
    return facts;
}

void BundleIndex::remember(const QString &bundlePath, const std::optional<Bundle> &bundle)
{
    keep(bundlePath, factsOf(bundle));
}

void BundleIndex::keep(const QString &bundlePath, const std::optional<Facts> &facts)
{
    const Stamp stamp = stampOf(bundlePath);
    const QMutexLocker lock(&m_mutex);
    if (m_entries.size() >= maxEntries && !m_entries.contains(bundlePath))
        m_entries.clear();
    m_entries.insert(bundlePath, {stamp, facts});
}

qsizetype BundleIndex::size() const
{
    const QMutexLocker lock(&m_mutex);
    return m_entries.size();
}

std::optional<BundleIndex::Facts> BundleIndex::factsAt(const QString &bundlePath)
{
    const Stamp stamp = stampOf(bundlePath);
    {
        const QMutexLocker lock(&m_mutex);
        const auto found = m_entries.constFind(bundlePath);
        if (found != m_entries.cend() && found->stamp == stamp)
            return found->facts;
    }
    // New or changed: read once (bounded), outside the lock.
    const std::optional<Facts> facts = factsOf(openBundle(bundlePath));
    keep(bundlePath, facts);
    return facts;
}

std::optional<QString> BundleIndex::pathFor(const QString &identifier, const QStringList &roots)
{
    for (const QString &root : roots) {
        const QStringList entries = QDir(root).entryList(
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString &entry : entries) {
            if (!entry.endsWith(QLatin1String(".app"), Qt::CaseSensitive))
                continue;
            const QString path = root + QLatin1Char('/') + entry;
            const std::optional<Facts> facts = factsAt(path);
            if (facts && facts->identifier == identifier)
                return path;
        }
    }
    return std::nullopt;
}
