#pragma once

#include <QHash>
#include <QMutex>
#include <QString>
#include <QStringList>

#include <optional>

struct Bundle;

// Which bundle holds an identifier, and what a bundle is called, answered
// without reading every Info.plist again: each bundle's identifier and name
// are kept with the identity of the Info.plist they came from (device,
// inode, size, times), and read again only when that changes. The catalogue
// scan fills it from its worker thread; lookups on the main thread then cost
// a listing of the roots and one stat per bundle.
class BundleIndex {
public:
    // What is kept of one bundle.
    struct Facts {
        std::optional<QString> identifier;
        std::optional<QString> name; // CFBundleDisplayName, else CFBundleName
    };

    static BundleIndex &shared();

    // The first bundle directly inside `roots` (in order, entries by name)
    // whose identifier is `identifier`.
    std::optional<QString> pathFor(const QString &identifier, const QStringList &roots);

    // The bundle at `bundlePath`, nothing when there is none; read only when
    // new or changed (a running bundle is looked at on every poll).
    std::optional<Facts> factsAt(const QString &bundlePath);

    // What a reader of the bundle at `bundlePath` just found.
    void remember(const QString &bundlePath, const std::optional<Bundle> &bundle);

    qsizetype size() const;

private:
    struct Stamp {
        quint64 device = 0, inode = 0;
        qint64 size = -1, modified = 0, changed = 0;
        friend bool operator==(const Stamp &, const Stamp &) = default;
    };
    struct Entry {
        Stamp stamp;
        std::optional<Facts> facts;
    };
    static Stamp stampOf(const QString &bundlePath);
    static std::optional<Facts> factsOf(const std::optional<Bundle> &bundle);
    void keep(const QString &bundlePath, const std::optional<Facts> &facts);

    mutable QMutex m_mutex;
    QHash<QString, Entry> m_entries;
};
