#include "protocol/MessageCodec.h"

#include "protocol/Base64.h"
#include "protocol/JsonWriter.h"
#include "protocol/MessageFields.h"
#include "protocol/UuidText.h"

#include <cmath>

namespace {
using namespace td::wire;

// Writes one message into `out`; `failure` is set when a value cannot be
// represented in JSON (a non-finite float).
struct Writer {
    QByteArray &out;
    QString failure;

    void write(const QString &text) { appendJsonString(out, QStringView(text)); }
    void write(bool value) { value ? out.append("true", 4) : out.append("false", 5); }
    void write(qint64 value) { appendJsonInteger(out, value); }

    void write(float value)
    {
        if (!std::isfinite(value)) {
            failure = QStringLiteral("Unable to encode %1 directly in JSON.").arg(value);
            return;
        }
        appendJsonFloat(out, value);
    }

    void write(const QUuid &id)
    {
        out.append('"');
        appendUuid(out, id);
        out.append('"');
    }

    // Byte fields travel as base64 text.
    void write(const QByteArray &bytes)
    {
        reserveExtra(out, (bytes.size() + 2) / 3 * 4 + 2);
        out.append('"');
        appendBase64(out, bytes);
        out.append('"');
    }

    template <class T> void write(const QList<T> &list)
    {
        out.append('[');
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (i > 0)
                out.append(',');
            write(list[i]);
        }
        out.append(']');
    }

    void write(const AppItem &item) { writeObject(item); }

    template <class T> void writeMember(bool &first, std::string_view label, const T &value)
    {
        if (!first)
            out.append(',');
        first = false;
        out.append('"');
        out.append(label.data(), qsizetype(label.size()));
        out.append("\":", 2);
        write(value);
    }

    // Absent optionals are left out, never written as null.
    template <class T>
    void writeMember(bool &first, std::string_view label, const std::optional<T> &value)
    {
        if (value)
            writeMember(first, label, *value);
    }

    template <class Record> void writeObject(const Record &record)
    {
        out.append('{');
        bool first = true;
        std::apply([&](const auto &...fields) {
            (writeMember(first, fields.label, record.*(fields.member)), ...);
        }, Fields<Record>::list);
        out.append('}');
    }
};

} // namespace

bool appendEncodedMessage(QByteArray &out, const TDMessage &message, EncodingError *error)
{
    const qsizetype start = out.size();
    Writer writer{out, {}};
    out.append("{\"", 2);
    out.append(kindName(message.kind()));
    out.append("\":", 2);
    std::visit([&](const auto &payload) { writer.writeObject(payload); },
               static_cast<const TDMessagePayload &>(message));
    out.append('}');
    if (writer.failure.isEmpty())
        return true;
    out.truncate(start);
    if (error)
        error->description = writer.failure;
    return false;
}

std::optional<QByteArray> encodeMessage(const TDMessage &message, EncodingError *error)
{
    QByteArray out;
    if (!appendEncodedMessage(out, message, error))
        return std::nullopt;
    return out;
}
