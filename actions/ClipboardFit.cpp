#include "actions/ClipboardFit.h"

#include "protocol/JsonWriter.h"
#include "protocol/MessageCodec.h"
#include "actions/PngFile.h"
#include "transport/FrameBuffer.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cmath>

namespace clipboardfit {
namespace {

constexpr qsizetype frameLimit = FrameBuffer::maximumBodyLength;

// The body of `message` with its one text field empty.
qsizetype emptyBodySize(const TDMessage &message)
{
    return encodeMessage(message).value_or(QByteArray()).size();
}

// Where the character (grapheme cluster) holding position `at` begins.
qsizetype graphemeStart(const QString &text, qsizetype at)
{
    // Clusters are short: a little context either side is enough to judge.
    const qsizetype from = std::max<qsizetype>(0, at - 64);
    const qsizetype to = std::min(text.size(), at + 8);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, to - from);
    finder.setPosition(at - from);
    if (finder.isAtBoundary())
        return at;
    const qsizetype start = finder.toPreviousBoundary();
    return start > 0 || from == 0 ? from + std::max<qsizetype>(start, 0) : at;
}

} // namespace

qsizetype maxPngBytes()
{
    // Base64 turns every 3 bytes into 4 characters, none of them escaped.
    static const qsizetype bytes =
        (frameLimit - emptyBodySize(td::ClipboardImagePayload{})) / 4 * 3;
    return bytes;
}

std::optional<FittedImage> fitImage(const QImage &image, qsizetype knownPngSize)
{
    const qsizetype budget = maxPngBytes();
    std::optional<QByteArray> png;
    // Other programs write smaller files than our fast encoder; aim by what
    // ours would make of the whole image.
    qsizetype encoded = knownPngSize + knownPngSize / 4;
    if (knownPngSize <= budget) {
        png = png::encode(image);
        if (!png)
            return std::nullopt;
        encoded = png->size();
    }
    QImage scaled = image;
    double scale = 1.0;
    while (encoded > budget) {
        // A PNG's size goes roughly with its pixel count; aim a little under.
        scale *= std::min(0.95, std::sqrt(double(budget) / double(encoded)) * 0.95);
        const QSize target = (QSizeF(image.size()) * scale).toSize().expandedTo(QSize(1, 1));
        if (target == scaled.size())
            return std::nullopt;
        scaled = image.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        png = png::encode(scaled);
        if (!png)
            return std::nullopt;
        encoded = png->size();
    }
    return FittedImage{std::move(*png), scaled.size()};
}

std::optional<QString> cutToFit(const QString &text)
{
    // The quotes around the text are part of the empty message's body.
    const qsizetype room = frameLimit - emptyBodySize(td::ClipboardPayload{});
    // No UTF-16 unit takes more than a six-byte escape.
    if (text.size() <= room / 6)
        return std::nullopt;
    const QByteArray utf8 = text.toUtf8();
    qsizetype keep = td::wire::jsonStringPrefixFitting(utf8, room);
    if (keep == utf8.size())
        return std::nullopt;
    while (keep > 0 && (uchar(utf8[keep]) & 0xC0) == 0x80)
        --keep; // back to the first byte of a UTF-8 sequence
    QString cut = QString::fromUtf8(utf8.first(keep));
    cut.truncate(graphemeStart(text, cut.size()));
    return cut;
}

} // namespace clipboardfit
