#include "protocol/MessageCodec.h"

#include "protocol/Base64.h"
#include "protocol/MessageFields.h"
#include "protocol/UuidText.h"

#include <simdjson.h>

#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <memory>

namespace {
using namespace td::wire;
using simdjson::dom::element;
using simdjson::dom::element_type;
using Kind = DecodingError::Kind;

// A parser that grew for a large document is dropped afterwards rather than
// kept for the rest of the thread's life: its buffers take about 15 bytes per
// byte of capacity (tape, structural indexes, strings, the padded copy).
constexpr size_t kKeptParserCapacity = 1024 * 1024;

simdjson::dom::parser &threadParser(std::unique_ptr<simdjson::dom::parser> &slot)
{
    if (!slot)
        slot = std::make_unique<simdjson::dom::parser>();
    return *slot;
}

QString describe(element_type type)
{
    switch (type) {
    case element_type::ARRAY: return QStringLiteral("an array");
    case element_type::OBJECT: return QStringLiteral("an object");
    case element_type::INT64:
    case element_type::UINT64:
    case element_type::DOUBLE: return QStringLiteral("a number");
    case element_type::STRING: return QStringLiteral("a string");
    case element_type::BOOL: return QStringLiteral("a Boolean");
    case element_type::NULL_VALUE: return QStringLiteral("null");
    }
    return {};
}

// Reads values into records and remembers where it is, so that a failure can
// name the key path. The path is kept as views and only turned into strings
// when something fails.
class Reader {
public:
    explicit Reader(DecodingError *error) : m_error(error) {}

    bool fail(Kind kind, const QString &description)
    {
        if (m_error) {
            m_error->kind = kind;
            m_error->description = description;
            m_error->codingPath.clear();
            for (int i = 0; i < m_depth; ++i) {
                const Segment &s = m_path[size_t(i)];
                m_error->codingPath.append(
                    s.index < 0 ? QString::fromUtf8(s.key.data(), qsizetype(s.key.size()))
                                : QStringLiteral("Index %1").arg(s.index));
            }
        }
        return false;
    }

    bool typeMismatch(const char *expected, element value)
    {
        return fail(Kind::typeMismatch, QStringLiteral("Expected %1 but found %2 instead.")
                                            .arg(QLatin1StringView(expected), describe(value.type())));
    }

    // Reads a value that must be there; null counts as missing.
    template <class T> bool readRequired(element value, T &target)
    {
        if (value.is_null())
            return fail(Kind::valueNotFound, QStringLiteral("Expected %1 but found null instead.")
                                                 .arg(QLatin1StringView(expectedName(target))));
        return read(value, target);
    }

    template <class Record> bool readPayload(std::string_view kind, element value, Record &record)
    {
        Scope scope(*this, kind);
        return readRequired(value, record);
    }

private:
    struct Segment {
        std::string_view key;
        qsizetype index = -1;
    };

    // Depth never exceeds kind → apps → element → field.
    static constexpr int kMaxDepth = 8;

    struct Scope {
        Scope(Reader &r, std::string_view key) : reader(r) { reader.push({key, -1}); }
        Scope(Reader &r, qsizetype index) : reader(r) { reader.push({{}, index}); }
        ~Scope() { --reader.m_depth; }
        Reader &reader;
    };

    void push(Segment segment)
    {
        Q_ASSERT(m_depth < kMaxDepth);
        m_path[size_t(m_depth++)] = segment;
    }

    static const char *expectedName(const QString &) { return "a string"; }
    static const char *expectedName(bool) { return "a Boolean"; }
    static const char *expectedName(float) { return "a number"; }
    static const char *expectedName(qint64) { return "a number"; }
    static const char *expectedName(const QUuid &) { return "a string"; }
    static const char *expectedName(const QByteArray &) { return "a string"; }
    template <class T> static const char *expectedName(const QList<T> &) { return "an array"; }
    template <class Record> static const char *expectedName(const Record &) { return "an object"; }

    bool read(element value, QString &target)
    {
        std::string_view text;
        if (value.get_string().get(text))
            return typeMismatch(expectedName(target), value);
        target = QString::fromUtf8(text.data(), qsizetype(text.size()));
        return true;
    }

    bool read(element value, bool &target)
    {
        if (value.get_bool().get(target))
            return typeMismatch(expectedName(target), value);
        return true;
    }

    // Any number whose value rounds to a finite single-precision float.
    bool read(element value, float &target)
    {
        switch (value.type()) {
        case element_type::INT64: target = float(value.get_int64().value_unsafe()); return true;
        case element_type::UINT64: target = float(value.get_uint64().value_unsafe()); return true;
        case element_type::DOUBLE: break;
        default: return typeMismatch(expectedName(target), value);
        }
        const double number = value.get_double().value_unsafe();
        // Halfway between FLT_MAX and 2^128: from here on it rounds to infinity.
        constexpr double overflow = 0x1.ffffffp127;
        if (std::fabs(number) >= overflow)
            return fail(Kind::dataCorrupted,
                        QStringLiteral("Parsed JSON number <%1> does not fit in a 32-bit float.").arg(number));
        target = std::fabs(number) > double(FLT_MAX) ? std::copysign(FLT_MAX, float(number))
                                                     : float(number);
        return true;
    }

    // Any whole number within the signed 64-bit range, 1.0 included.
    bool read(element value, qint64 &target)
    {
        switch (value.type()) {
        case element_type::INT64: target = value.get_int64().value_unsafe(); return true;
        case element_type::UINT64: break;
        case element_type::DOUBLE: {
            const double number = value.get_double().value_unsafe();
            constexpr double limit = 0x1p63;
            if (number >= -limit && number < limit && std::trunc(number) == number) {
                target = qint64(number);
                return true;
            }
            break;
        }
        default: return typeMismatch(expectedName(target), value);
        }
        return fail(Kind::dataCorrupted,
                    QStringLiteral("Parsed JSON number <%1> does not fit in a signed 64-bit integer.")
                        .arg(QString::fromStdString(simdjson::minify(value))));
    }

    bool read(element value, QUuid &target)
    {
        std::string_view text;
        if (value.get_string().get(text))
            return typeMismatch(expectedName(target), value);
        const std::optional<QUuid> id = parseUuid(text);
        if (!id)
            return fail(Kind::dataCorrupted, QStringLiteral("Attempted to decode a UUID from an invalid UUID string."));
        target = *id;
        return true;
    }

    // Byte fields travel as base64 text.
    bool read(element value, QByteArray &target)
    {
        std::string_view text;
        if (value.get_string().get(text))
            return typeMismatch(expectedName(target), value);
        std::optional<QByteArray> bytes = decodeBase64(text);
        if (!bytes)
            return fail(Kind::dataCorrupted, QStringLiteral("Encountered data that is not valid base64."));
        target = std::move(*bytes);
        return true;
    }

    template <class T> bool read(element value, QList<T> &target)
    {
        simdjson::dom::array array;
        if (value.get_array().get(array))
            return typeMismatch(expectedName(target), value);
        target.clear();
        target.reserve(qsizetype(array.size()));
        qsizetype index = 0;
        for (element item : array) {
            Scope scope(*this, index++);
            T decoded{};
            if (!readRequired(item, decoded))
                return false;
            target.append(std::move(decoded));
        }
        return true;
    }

    template <class Record> bool read(element value, Record &record)
    {
        simdjson::dom::object object;
        if (value.get_object().get(object))
            return typeMismatch(expectedName(record), value);
        return std::apply([&](const auto &...fields) {
            return (readMember(object, fields.label, record.*(fields.member)) && ...);
        }, Fields<Record>::list);
    }

    // With duplicate names the last member counts, as with a dictionary.
    static std::optional<element> findMember(simdjson::dom::object object, std::string_view label)
    {
        std::optional<element> found;
        for (const auto member : object)
            if (member.key == label)
                found = member.value;
        return found;
    }

    template <class T> bool readMember(simdjson::dom::object object, std::string_view label, T &target)
    {
        const std::optional<element> value = findMember(object, label);
        if (!value)
            return fail(Kind::keyNotFound,
                        QStringLiteral("No value associated with key \"%1\".")
                            .arg(QString::fromUtf8(label.data(), qsizetype(label.size()))));
        Scope scope(*this, label);
        return readRequired(*value, target);
    }

    // Optional members: missing and null both mean absent.
    template <class T>
    bool readMember(simdjson::dom::object object, std::string_view label, std::optional<T> &target)
    {
        const std::optional<element> value = findMember(object, label);
        if (!value || value->is_null()) {
            target.reset();
            return true;
        }
        Scope scope(*this, label);
        T decoded{};
        if (!read(*value, decoded))
            return false;
        target = std::move(decoded);
        return true;
    }

    std::array<Segment, kMaxDepth> m_path{};
    int m_depth = 0;
    DecodingError *m_error;
};

template <size_t I>
std::optional<TDMessage> readKind(Reader &reader, element value)
{
    std::variant_alternative_t<I, TDMessagePayload> payload{};
    if (!reader.readPayload(std::string_view(kindName(TDMessageKind(I)).data(),
                                             size_t(kindName(TDMessageKind(I)).size())),
                            value, payload))
        return std::nullopt;
    return TDMessage(std::in_place_index<I>, std::move(payload));
}

using KindReader = std::optional<TDMessage> (*)(Reader &, element);
constexpr auto kKindReaders = []<size_t... I>(std::index_sequence<I...>) {
    return std::array<KindReader, sizeof...(I)>{&readKind<I>...};
}(std::make_index_sequence<TDMessageKindCount>{});

std::optional<TDMessage> readMessage(Reader &reader, element root)
{
    simdjson::dom::object object;
    if (root.get_object().get(object)) {
        reader.typeMismatch("an object", root);
        return std::nullopt;
    }

    // Only members named after a kind count; the same name twice is one kind.
    uint32_t seenKinds = 0;
    element payload;
    for (const auto member : object) {
        if (const std::optional<TDMessageKind> kind = kindFromName(member.key)) {
            seenKinds |= 1u << int(*kind);
            payload = member.value;
        }
    }
    if (std::popcount(seenKinds) != 1) {
        reader.fail(Kind::typeMismatch, QStringLiteral("Invalid number of keys found, expected one."));
        return std::nullopt;
    }
    const int kind = std::countr_zero(seenKinds);
    return kKindReaders[size_t(kind)](reader, payload);
}

} // namespace

std::optional<TDMessage> decodeMessage(QByteArrayView bytes, DecodingError *error)
{
    Reader reader(error);
    if (bytes.isEmpty()) {
        reader.fail(Kind::dataCorrupted, QStringLiteral("The given data was not valid JSON (empty input)."));
        return std::nullopt;
    }

    thread_local std::unique_ptr<simdjson::dom::parser> parserSlot;
    simdjson::dom::parser &parser = threadParser(parserSlot);
    std::optional<TDMessage> message;
    // The parser copies the bytes into its own padded buffer.
    element root;
    if (const auto parseError = parser.parse(bytes.data(), size_t(bytes.size()), true).get(root)) {
        reader.fail(Kind::dataCorrupted, QStringLiteral("The given data was not valid JSON (%1).")
                                             .arg(QLatin1StringView(simdjson::error_message(parseError))));
    } else {
        message = readMessage(reader, root);
    }
    if (parser.capacity() > kKeptParserCapacity)
        parserSlot.reset();
    return message;
}
