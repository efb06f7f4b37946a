#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <optional>

// Which bundle holds an identifier, answered without reading every Info.plist
// again: each bundle's identifier is kept with the identity of the Info.plist
// it came from (device, inode, size, times), and read again only when that
// changes. The catalogue scan fills it from its worker thread; lookups on the
// main thread then cost a listing of the roots and one stat per bundle.
class BundleIndex {
public:
    static BundleIndex &shared();

    // The first bundle directly inside `roots` (in order, entries by name)
    // whose identifier is `identifier`.
    std::optional<QString> pathFor(const QString &identifier, const QStringList &roots);

    // What a reader of the bundle at `bundlePath` just found.
    void remember(const QString &bundlePath, const std::optional<QString> &identifier);

    qsizetype size() const;

private:
    struct Stamp {
        quint64 device = 0, inode = 0;
        qint64 size = -1, modified = 0, changed = 0;
        friend bool operator==(const Stamp &, const Stamp &) = default;
    };
    struct Entry {
        Stamp stamp;
        std::optional<QString> identifier;
    };
    static Stamp stampOf(const QString &bundlePath);
    std::optional<QString> identifierAt(const QString &bundlePath);

    mutable QMutex m_mutex;
    QHash<QString, Entry> m_entries;
};
