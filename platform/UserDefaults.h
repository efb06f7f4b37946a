#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// A per-user key/value store that survives restarts.
class UserDefaults {
public:
    virtual ~UserDefaults() = default;

    // The byte blob under `key`; nothing when the key is missing or holds a
    // value of another type.
    virtual std::optional<QByteArray> data(const QString &key) const = 0;
    virtual void setData(const QString &key, const QByteArray &value) = 0;

    // Any value as the store keeps it (text, list of texts, truth value);
    // an invalid value when the key is missing.
    virtual QVariant value(const QString &key) const = 0;
    virtual void setValue(const QString &key, const QVariant &value) = 0;
};
