#pragma once

#include "protocol/TDMessage.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// Why a message could not be written. A non-finite float is the only cause a
// well-formed message can meet.
struct EncodingError {
    QString description;
};

// Why a frame body is not a message: the failure kind, the keys leading to
// the offending value (array elements as "Index N"), and a readable text.
struct DecodingError {
    enum class Kind { typeMismatch, keyNotFound, valueNotFound, dataCorrupted };

    Kind kind = Kind::dataCorrupted;
    QStringList codingPath;
    QString description;
};

// The message's JSON text: {"<kind>":{<fields in declaration order>}}, compact.
std::optional<QByteArray> encodeMessage(const TDMessage &message,
                                        EncodingError *error = nullptr);

// Appends the JSON text to `out`. On failure `out` is left exactly as it was.
bool appendEncodedMessage(QByteArray &out, const TDMessage &message,
                          EncodingError *error = nullptr);

// Reads one message from a complete JSON document.
std::optional<TDMessage> decodeMessage(QByteArrayView bytes,
                                       DecodingError *error = nullptr);
