#include "catalogue/AppSelection.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

const QString bundleIDKey = QStringLiteral("bundleID");
const QString displayNameKey = QStringLiteral("displayName");
const QString gridIndexKey = QStringLiteral("gridIndex");

// A JSON number that is a whole signed 64-bit value.
std::optional<qint64> integerValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const QVariant number = value.toVariant();
    if (number.metaType().id() == QMetaType::LongLong)
        return number.toLongLong();
    const double real = value.toDouble();
    // 2^63 itself is out of range; every double below it converts exactly.
    if (std::trunc(real) != real || real < -9223372036854775808.0 || real >= 9223372036854775808.0)
        return std::nullopt;
    return qint64(real);
}

std::optional<AppSelection> decodeOne(const QJsonValue &element)
{
    if (!element.isObject())
        return std::nullopt;
    const QJsonObject object = element.toObject();
    const QJsonValue bundleID = object.value(bundleIDKey);
    const QJsonValue displayName = object.value(displayNameKey);
    const std::optional<qint64> gridIndex = integerValue(object.value(gridIndexKey));
    if (!bundleID.isString() || !displayName.isString() || !gridIndex)
        return std::nullopt;
    return AppSelection{bundleID.toString(), displayName.toString(), *gridIndex};
}

} // namespace

QByteArray encodeAppSelections(const QList<AppSelection> &selections)
{
    QJsonArray array;
    for (const AppSelection &selection : selections) {
        array.append(QJsonObject{
            {bundleIDKey, selection.bundleID},
            {displayNameKey, selection.displayName},
            {gridIndexKey, selection.gridIndex},
        });
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<AppSelection>> decodeAppSelections(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;

    QList<AppSelection> selections;
    for (const QJsonValue &element : document.array()) {
        const std::optional<AppSelection> selection = decodeOne(element);
        if (!selection)
            return std::nullopt;
        selections.append(*selection);
    }
    return selections;
}
