#include "protocol/MessageCodec.h"

// Placeholder bodies until the codec lands; they fail every call.
std::optional<QByteArray> encodeMessage(const TDMessage &, EncodingError *error)
{
    if (error)
        error->description = QStringLiteral("Not implemented");
    return std::nullopt;
}

bool appendEncodedMessage(QByteArray &, const TDMessage &, EncodingError *error)
{
    if (error)
        error->description = QStringLiteral("Not implemented");
    return false;
}

std::optional<TDMessage> decodeMessage(QByteArrayView, DecodingError *error)
{
    if (error)
        *error = {DecodingError::Kind::dataCorrupted, {}, QStringLiteral("Not implemented")};
    return std::nullopt;
}
