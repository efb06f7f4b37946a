#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The persisted form of one grid slot.
struct AppSelection {
    QString bundleID;
    QString displayName;
    qint64 gridIndex = 0;

    friend bool operator==(const AppSelection &, const AppSelection &) = default;
};

// A compact JSON array of objects with the keys "bundleID", "displayName"
// and "gridIndex".
QByteArray encodeAppSelections(const QList<AppSelection> &selections);
// Nothing unless `json` is such an array with all three keys, of the right
// types, in every element (keys in any order, other keys ignored).
std::optional<QList<AppSelection>> decodeAppSelections(const QByteArray &json);
