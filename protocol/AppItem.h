#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

// One slot of the phone's grid. Equality and hashing cover all eight fields,
// in declaration order.
struct AppItem {
    QUuid id;
    QString bundleIdentifier;
    QString displayName;
    std::optional<QByteArray> iconData;
    qint64 gridIndex = 0;
    bool isRunning = false;
    bool isFrontmost = false;
    bool wasLastUsed = false;

    AppItem() = default;
    AppItem(QUuid id, QString bundleIdentifier, QString displayName,
            std::optional<QByteArray> iconData, qint64 gridIndex,
            bool isRunning, bool isFrontmost, bool wasLastUsed)
        : id(id), bundleIdentifier(std::move(bundleIdentifier)),
          displayName(std::move(displayName)), iconData(std::move(iconData)),
          gridIndex(gridIndex), isRunning(isRunning), isFrontmost(isFrontmost),
          wasLastUsed(wasLastUsed) {}

    friend bool operator==(const AppItem &, const AppItem &) = default;
};

size_t qHash(const AppItem &item, size_t seed = 0) noexcept;

template <> struct std::hash<AppItem> {
    size_t operator()(const AppItem &item) const noexcept { return qHash(item); }
};
