#include "platform/bundles/BundleIndex.h"

#include "platform/bundles/BundleReader.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

namespace {
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

void BundleIndex::remember(const QString &bundlePath, const std::optional<QString> &identifier)
{
    const Stamp stamp = stampOf(bundlePath);
    const QMutexLocker lock(&m_mutex);
    if (m_entries.size() >= maxEntries && !m_entries.contains(bundlePath))
        m_entries.clear();
    m_entries.insert(bundlePath, {stamp, identifier});
}

qsizetype BundleIndex::size() const
{
    const QMutexLocker lock(&m_mutex);
    return m_entries.size();
}

std::optional<QString> BundleIndex::identifierAt(const QString &bundlePath)
{
    const Stamp stamp = stampOf(bundlePath);
    {
        const QMutexLocker lock(&m_mutex);
        const auto found = m_entries.constFind(bundlePath);
        if (found != m_entries.cend() && found->stamp == stamp)
            return found->identifier;
    }
    // New or changed: read once (bounded), outside the lock.
    const std::optional<Bundle> bundle = openBundle(bundlePath);
    const std::optional<QString> identifier = bundle ? bundle->bundleIdentifier : std::nullopt;
    remember(bundlePath, identifier);
    return identifier;
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
            if (identifierAt(path) == identifier)
                return path;
        }
    }
    return std::nullopt;
}
