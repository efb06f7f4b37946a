#include "platform/BundleReader.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QVariantList>

#include <plist/plist.h>

#include <cstdlib>
#include <memory>

namespace {

// An Info.plist is a few kilobytes; anything this large is not one.
constexpr qint64 maxInfoPlistBytes = 8 * 1024 * 1024;
// Deeper nesting than this is not a real Info.plist; it would only cost stack.
constexpr int maxDepth = 64;

// Seconds between 1970-01-01 and the property-list epoch 2001-01-01.
constexpr qint64 plistEpochOffset = 978307200;

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

QString takeString(char *text)
{
    const QString result = text ? QString::fromUtf8(text) : QString();
    std::free(text);
    return result;
}

QVariant toVariant(plist_t node, int depth);

QVariantMap toMap(plist_t dict, int depth)
{
    QVariantMap map;
    plist_dict_iter it = nullptr;
    plist_dict_new_iter(dict, &it);
    if (!it)
        return map;
    for (;;) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(dict, it, &key, &value);
        if (!value) {
            std::free(key);
            break;
        }
        const QString name = takeString(key);
        const QVariant converted = toVariant(value, depth + 1);
        if (converted.isValid())
            map.insert(name, converted);
    }
    std::free(it);
    return map;
}

QVariant toVariant(plist_t node, int depth)
{
    if (depth > maxDepth)
        return {};
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return bool(value);
    }
    case PLIST_UINT: {
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QVariant::fromValue(quint64(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return value;
    }
    case PLIST_STRING: {
        char *value = nullptr;
        plist_get_string_val(node, &value);
        return takeString(value);
    }
    case PLIST_DATA: {
        char *value = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &value, &length);
        const QByteArray bytes(value, qsizetype(length));
        std::free(value);
        return bytes;
    }
    case PLIST_DATE: {
        int32_t seconds = 0, micros = 0;
        plist_get_date_val(node, &seconds, &micros);
        return QDateTime::fromMSecsSinceEpoch((plistEpochOffset + seconds) * 1000 + micros / 1000,
                                              Qt::UTC);
    }
    case PLIST_ARRAY: {
        QVariantList list;
        const uint32_t size = plist_array_get_size(node);
        for (uint32_t i = 0; i < size; ++i) {
            const QVariant converted = toVariant(plist_array_get_item(node, i), depth + 1);
            if (converted.isValid())
                list.append(converted);
        }
        return list;
    }
    case PLIST_DICT:
        return toMap(node, depth);
    case PLIST_UID: {
        uint64_t value = 0;
        plist_get_uid_val(node, &value);
        return QVariant::fromValue(quint64(value));
    }
    default:
        return {};
    }
}

// The Info.plist's top-level dictionary, in either format; empty when the
// file is missing, unreadable or not a dictionary.
QVariantMap readInfoDictionary(const QString &plistPath)
{
    QFile file(plistPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxInfoPlistBytes)
        return {};
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return {};

    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    const PlistPtr owner(root);
    if (!root || plist_get_node_type(root) != PLIST_DICT)
        return {};
    return toMap(root, 0);
}

} // namespace

std::optional<Bundle> openBundle(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return std::nullopt;

    Bundle bundle;
    bundle.path = path;
    bundle.infoDictionary = readInfoDictionary(path + QStringLiteral("/Contents/Info.plist"));
    const QVariant identifier = bundle.infoDictionary.value(QStringLiteral("CFBundleIdentifier"));
    if (identifier.metaType().id() == QMetaType::QString)
        bundle.bundleIdentifier = identifier.toString();
    return bundle;
}
